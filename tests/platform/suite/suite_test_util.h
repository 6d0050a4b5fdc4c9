// Helpers of the suite tests: the libraries loaded from the system folder by
// file name, a scratch folder per test, small table builders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace suitetest {

inline std::filesystem::path systemDir() {
  return std::filesystem::path(KIV_BINARY_DIR) / "suite" / "系统文件";
}

// One of the suite's libraries, loaded once per process like the module does.
class Lib {
 public:
  explicit Lib(const char* file) {
    handle_ = os::loadLibrary(os::windowsPath(systemDir() / file));
    EXPECT_NE(handle_, nullptr) << file << ": " << os::lastError();
  }
  ~Lib() {
    if (handle_) os::freeLibrary(handle_);
  }
  template <class Fn>
  Fn fn(const char* name) const {
    Fn f = os::findFunction<Fn>(handle_, name);
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  os::ModuleHandle handle() const { return handle_; }

 private:
  os::ModuleHandle handle_ = nullptr;
};

// Calls an export by name: SUITE(lib, DbDll_Next)(h).
#define SUITE(lib, name) (lib).fn<name##_fn>(#name)

// A fresh folder under the build tree for the running test.
inline std::filesystem::path scratch() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  auto dir = std::filesystem::path(KIV_BINARY_DIR) / "tmp" / "suite" /
             (std::string(info->test_suite_name()) + "." + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline void writeText(const std::filesystem::path& p, const std::string& text) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << text;
}

inline std::string readText(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline std::wstring W(const std::filesystem::path& p) { return os::windowsPath(p); }

inline std::filesystem::path tabletool() { return std::filesystem::path(KIV_BINARY_DIR) / "bin" / "tabletool"; }

// Runs tabletool with the arguments; answers its exit code.
inline int runTabletool(const std::string& args, const std::filesystem::path& output = {}) {
  std::string cmd = "\"" + tabletool().string() + "\" " + args;
  if (!output.empty()) cmd += " > \"" + output.string() + "\" 2>&1";
  else cmd += " 2>/dev/null";
  int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Builds a table from TSV text with tabletool.
inline void makeTable(const std::filesystem::path& db, const std::string& tsv) {
  auto src = db;
  src += ".src.tsv";
  writeText(src, tsv);
  ASSERT_EQ(runTabletool("import \"" + src.string() + "\" \"" + db.string() + "\""), 0) << tsv;
}

}  // namespace suitetest
