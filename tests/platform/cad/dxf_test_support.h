// Helpers shared by the drawing-file tests: a scratch folder per test program
// part and reading a file whole.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace cadtest {

// A scratch folder of this process under the build's test folder, made on
// first use and removed when the process ends. Each process has its own, so
// that runs of one test at the same time (parallel reruns, two test runs on
// one build) never replace or remove each other's files halfway through a
// save.
inline std::filesystem::path scratchDir(const std::string& name) {
  struct Folder {
    std::filesystem::path path;
    Folder(const std::filesystem::path& p) : path(p) { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static std::map<std::string, Folder> folders;
  auto at = folders.find(name);
  if (at == folders.end())
    at = folders.try_emplace(name, std::filesystem::path(KIV_BINARY_DIR) / "tests" / name /
                                       std::to_string(::getpid())).first;
  return at->second.path;
}

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace cadtest
