// A sandbox suite and project for the tests of the project tables, the
// project open and the colour manager: a temporary folder with a suite folder
// ("suite\系统文件") and a project ("projects\P"), tables made from
// tab-separated text by the built table tool, the real table, base and
// window libraries bound, and the path globals pointing into the sandbox.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <fstream>
#include <string>
#include <vector>

#include "module/toolkit/globals.h"
#include "module/toolkit/suite_call.h"
#include "platform/editor/editor.h"
#include "platform/editor/input.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace kivtest {

namespace fs = std::filesystem;

inline const std::wstring kBuiltSystemDir = os::fromUtf8(KIV_BINARY_DIR "/suite/系统文件");
inline const fs::path kTableTool = KIV_BINARY_DIR "/bin/tabletool";

// Runs a shell command: what it printed (standard output and error) and,
// when asked, its exit status.
inline std::string runShell(const std::string& cmd, int* status = nullptr) {
  std::string out;
  if (FILE* p = ::popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = ::pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  return out;
}

// A path quoted for the shell.
inline std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// The lines of an entity dump (cadhost's JSON lines) on a layer that hold
// the text near.
inline std::vector<std::string> onLayer(const fs::path& dump, const std::string& layer, const std::string& near) {
  std::vector<std::string> out;
  std::ifstream in(dump);
  for (std::string line; std::getline(in, line);)
    if (line.find("\"layer\":\"" + layer + "\"") != std::string::npos && line.find(near) != std::string::npos)
      out.push_back(line);
  return out;
}

// A fresh copy of the built installation and demo project for a test that
// runs cadhost on them: DIR/suite and DIR/projects/示例工程, in a new folder
// under the temporary folder named from tag and the process id.
inline fs::path MakeDemoSandbox(const std::string& tag) {
  const fs::path build = KIV_BINARY_DIR;
  const fs::path root = fs::temp_directory_path() / (tag + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "projects");
  fs::copy(build / "suite", root / "suite", fs::copy_options::recursive);
  fs::copy(build / "demo" / u8"示例工程", root / "projects" / u8"示例工程", fs::copy_options::recursive);
  return root;
}

class ProjectSandbox : public testing::Test {
 protected:
  void SetUp() override {
    if (!os::isFile(kBuiltSystemDir + L"/Ravn.dll") || !fs::exists(kTableTool))
      GTEST_SKIP() << "suite libraries or table tool not built";
    ed::resetEditor();
    ed::docManager().curDocument();  // the empty drawing becomes the working one
    root_ = fs::temp_directory_path() /
            ("kiv_project_" + std::to_string(::getpid()) + "_" + std::to_string(++counter()));
    fs::create_directories(suiteSystem());
    fs::create_directories(project());
    saved_[0] = g_baseDir;
    saved_[1] = g_systemDir;
    saved_[2] = g_projectRoot;
    saved_[3] = g_tempDir;
    saved_[4] = g_projectName;
    g_baseDir = os::windowsPath(root_ / "suite");
    g_systemDir = g_baseDir + L"\\系统文件";
    g_projectRoot = os::windowsPath(root_ / "projects");
    g_tempDir = g_baseDir + L"\\TMP";
    g_projectName = L"P";
    g_hostTableLib = os::loadLibrary(kBuiltSystemDir + L"/Ravn.dll");
    g_hostBaseLib = os::loadLibrary(kBuiltSystemDir + L"/Tolm.dll");
    g_hostWindowLib = os::loadLibrary(kBuiltSystemDir + L"/Pelk.dll");
    ASSERT_NE(g_hostTableLib, nullptr);
    ASSERT_NE(g_hostWindowLib, nullptr);
    if (auto reset = os::findFunction<KivPelk_Reset_fn>(g_hostWindowLib, "KivPelk_Reset")) reset();
    if (auto setProject = os::findFunction<KivPelk_SetProject_W_fn>(g_hostWindowLib, "KivPelk_SetProject_W"))
      setProject(g_baseDir.c_str(), g_projectRoot.c_str(), g_projectName.c_str());
  }

  void TearDown() override {
    for (os::ModuleHandle* h : {&g_hostTableLib, &g_hostBaseLib, &g_hostWindowLib}) {
      if (*h) os::freeLibrary(*h);
      *h = nullptr;
    }
    g_baseDir = saved_[0];
    g_systemDir = saved_[1];
    g_projectRoot = saved_[2];
    g_tempDir = saved_[3];
    g_projectName = saved_[4];
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }

  fs::path suiteSystem() const { return root_ / "suite" / u8"系统文件"; }
  fs::path project() const { return root_ / "projects" / "P"; }

  // Builds a table from tab-separated text (header line first; "\r\n" inside
  // a cell written as the two characters \r\n, as the table tool reads it).
  void makeTable(const fs::path& db, const std::string& tsv) {
    fs::path text = db;
    text.replace_extension(".tsv");
    {
      std::ofstream f(text, std::ios::binary);
      f << tsv;
    }
    std::string cmd = "'" + kTableTool.string() + "' import '" + text.string() + "' '" + db.string() + "' >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    fs::remove(text);
  }

  // Shows a floor in the host's floor combo.
  void showFloor(const std::wstring& floor) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"楼层", floor.c_str());
  }
  void showCategory(const std::wstring& category) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"分类", category.c_str());
  }

  // The rows of one field of a table, in table order, read with sqlite3.
  std::string column(const fs::path& db, const std::string& field) {
    std::string cmd = "sqlite3 '" + db.string() + "' \"SELECT ifnull(\\\"" + field +
                      "\\\",'') FROM records ORDER BY _ord\" 2>&1";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      ::pclose(p);
    }
    return out;
  }

  fs::path root_;

  // Scripted input: the next tokens the prompts read.
  static void push(ed::TokenKind kind, geom::Point3d p = {}, std::wstring text = L"") {
    ed::InputToken t;
    t.kind = kind;
    t.p1 = p;
    t.text = std::move(text);
    ed::inputQueue().push(t);
  }
  static void point(const geom::Point3d& p) { push(ed::TokenKind::Point, p); }
  static void points(std::initializer_list<geom::Point3d> pts) {
    for (const auto& p : pts) point(p);
  }
  static void word(const std::wstring& w) { push(ed::TokenKind::Text, {}, w); }
  static void pick(cad::ObjectId id) { push(ed::TokenKind::Pick, {}, id.handle().text()); }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::wstring saved_[5];
};

}  // namespace kivtest
