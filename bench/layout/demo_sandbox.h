// A copy of the built demo installation and project in a temporary folder,
// with the suite's libraries bound and a floor shown in the host combo: what
// the layout benchmarks work on.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "module/model/project_tables.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/vocabulary.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace kivbench {

namespace fs = std::filesystem;

class DemoSandbox {
 public:
  explicit DemoSandbox(const char* name) {
    const fs::path build = KIV_BINARY_DIR;
    std::string tmpl = (fs::temp_directory_path() / (std::string("kiv-bench-") + name + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) std::abort();
    root_ = tmpl;
    fs::create_directories(root_ / "projects");
    fs::copy(build / "suite", root_ / "suite", fs::copy_options::recursive);
    fs::copy(build / "demo" / "示例工程", project(), fs::copy_options::recursive);
    g_baseDir = os::windowsPath(root_ / "suite");
    g_systemDir = g_baseDir + L"\\系统文件";
    g_projectRoot = os::windowsPath(root_ / "projects");
    g_projectName = L"示例工程";
    const fs::path system = root_ / "suite" / "系统文件";
    g_hostTableLib = os::loadLibrary(os::windowsPath(system / "Ravn.dll"));
    g_hostBaseLib = os::loadLibrary(os::windowsPath(system / "Tolm.dll"));
    g_hostWindowLib = os::loadLibrary(os::windowsPath(system / "Pelk.dll"));
    if (!g_hostTableLib || !g_hostWindowLib) std::abort();
    os::findFunction<KivPelk_SetProject_W_fn>(g_hostWindowLib, "KivPelk_SetProject_W")(
        g_baseDir.c_str(), g_projectRoot.c_str(), g_projectName.c_str());
    BuildGjCategoryTable();
  }
  DemoSandbox(const DemoSandbox&) = delete;
  DemoSandbox& operator=(const DemoSandbox&) = delete;
  ~DemoSandbox() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  fs::path project() const { return root_ / "projects" / "示例工程"; }
  void showFloor(const std::wstring& floor) const {
    os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W")(L"楼层", floor.c_str());
    LoadCurFloorLevels();
  }
  // Runs SQL statements on a table of the project.
  void sql(const std::string& table, const std::string& statements) const {
    const std::string cmd = "sqlite3 '" + (project() / table).string() + "' \"" + statements + "\"";
    if (std::system(cmd.c_str()) != 0) std::abort();
  }
  // A row of (name, number) right after the name's rows, with the 参数 of
  // the name's first row.
  void addNumber(const std::string& table, const std::string& name, const std::string& number) const {
    const std::string last = "(SELECT max(_ord) FROM records WHERE 构件名称='" + name + "')";
    sql(table, "UPDATE records SET _ord=-_ord-1 WHERE _ord>" + last + ";UPDATE records SET _ord=-_ord WHERE _ord<0;" +
                   "INSERT INTO records(_ord,构件名称,编号,参数,坐标) VALUES(" + last + "+1,'" + name + "','" + number +
                   "',(SELECT 参数 FROM records WHERE 构件名称='" + name + "' LIMIT 1),'-50,-50|50,-50|50,50|-50,50');");
  }

 private:
  fs::path root_;
};

// A fresh empty current drawing.
inline void freshDrawing() {
  ed::resetEditor();
  ed::docManager().curDocument();
}

}  // namespace kivbench
