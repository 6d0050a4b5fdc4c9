// A copy of the built demo installation and project for the layout tests,
// with the window layer started and helpers for dialog answers, combos and
// extra rows in a floor's component table.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "module/toolkit/vocabulary.h"
#include "platform/editor/input.h"
#include "platform/ui/ui.h"
#include "tests/module/shell/project_fixture.h"

namespace kivtest {

class DemoLayoutSandbox : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    const std::filesystem::path build = KIV_BINARY_DIR;
    const auto demoProject = build / "demo" / u8"示例工程", demoSystem = build / "suite" / u8"系统文件";
    if (!std::filesystem::exists(demoProject) || !std::filesystem::exists(demoSystem))
      GTEST_SKIP() << "demo data not built";
    ui::init();
    namespace fs = std::filesystem;
    fs::copy(demoSystem, suiteSystem(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy(demoProject, project(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    BuildGjCategoryTable();
  }
  void TearDown() override {
    ed::inputQueue().clear();
    ProjectSandbox::TearDown();
  }

  // Runs SQL on a table; answers what sqlite3 printed (empty when fine).
  std::string sql(const std::filesystem::path& table, const std::string& statements) {
    std::string out;
    const std::string cmd = "sqlite3 '" + table.string() + "' \"" + statements + "\" 2>&1";
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      ::pclose(p);
    }
    return out;
  }
  // A row of (name, number) in a floor's table right after the name's rows,
  // with the parameters of the name's first row.
  void addNumber(const std::string& floor, const std::string& name, const std::string& number) {
    const std::string last = "(SELECT max(_ord) FROM records WHERE 构件名称='" + name + "')";
    const std::string out =
        sql(project() / (floor + ".DB"),
            "UPDATE records SET _ord=-_ord-1 WHERE _ord>" + last + ";UPDATE records SET _ord=-_ord WHERE _ord<0;" +
                "INSERT INTO records(_ord,构件名称,编号,参数) VALUES(" + last + "+1,'" + name + "','" + number +
                "',(SELECT 参数 FROM records WHERE 构件名称='" + name + "' LIMIT 1));");
    ASSERT_TRUE(out.empty()) << out;
  }
  void combo(const std::wstring& name, const std::wstring& value) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(name.c_str(), value.c_str());
  }
  // A dialog answer (".click", ".set", ...) for the next dialog.
  static void directive(const std::wstring& name, std::vector<std::wstring> args) {
    ed::InputToken t;
    t.kind = ed::TokenKind::Directive;
    t.text = name;
    t.args = std::move(args);
    ed::inputQueue().push(t);
  }
};

}  // namespace kivtest
