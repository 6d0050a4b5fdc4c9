// Helpers shared by the drawing-file tests: a scratch folder per test program
// part and reading a file whole.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace cadtest {

// A scratch folder under the build's test folder, made on first use.
inline std::filesystem::path scratchDir(const std::string& name) {
  std::filesystem::path d = std::filesystem::path(KIV_BINARY_DIR) / "tests" / name;
  std::filesystem::create_directories(d);
  return d;
}

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace cadtest
