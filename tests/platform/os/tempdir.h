// A fresh folder under the system's temporary folder, removed at the end of
// the test.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace kivtest {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> n{0};
    path_ = std::filesystem::temp_directory_path() /
            ("kiv_os_test_" + std::to_string(getpid()) + "_" + std::to_string(n++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  // Creates a file (and its folders) below the folder.
  std::filesystem::path write(const std::string& rel, const std::string& bytes) const {
    auto p = path_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::string read(const std::string& rel) const {
    std::ifstream in(path_ / rel, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kivtest
