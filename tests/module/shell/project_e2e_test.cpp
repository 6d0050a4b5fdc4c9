// The project commands end to end: the built cadhost with the plug-in runs a
// script on a copy of the demo installation and project; the tables, the
// library and the archive are checked afterwards with sqlite3 and unzip.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = KIV_BINARY_DIR;
// The demo project as built; build/projects holds the copy cadhost works on by default.
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

using kivtest::quoted;
using kivtest::runShell;

class ProjectEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
        !fs::exists(kDemoProject) || !fs::exists(kBuild / "suite"))
      GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
    if (runShell("command -v unzip sqlite3").find("unzip") == std::string::npos)
      GTEST_SKIP() << "unzip or sqlite3 missing";
    root_ = fs::temp_directory_path() / ("kiv_e2e_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "projects");
    fs::copy(kBuild / "suite", root_ / "suite", fs::copy_options::recursive);
    fs::copy(kDemoProject, project(), fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }
  fs::path project() const { return root_ / "projects" / u8"示例工程"; }

  std::string cadhost(const std::string& script, int& status) {
    const fs::path file = root_ / "run.scr";
    std::ofstream(file) << script;
    return runShell(quoted(kBuild / "bin" / "cadhost") + " --suite " + quoted(root_ / "suite") + " --projects " +
                   quoted(root_ / "projects") + " --project 示例工程 --script " + quoted(file),
               &status);
  }
  std::string sql(const fs::path& db, const std::string& query) {
    return runShell("sqlite3 " + quoted(db) + " \"" + query + "\"");
  }

  fs::path root_;
};

TEST_F(ProjectEndToEnd, OpenSwitchColoursAndArchive) {
  const fs::path archive = root_ / "示例工程备份.GCK";
  const fs::path floor2 = project() / u8"2层.DB";
  ASSERT_EQ(sql(floor2, "SELECT count(*) FROM records"), "1\n");

  int status = -1;
  std::string out = cadhost(
      ".combo 楼层 2层\n"
      "KivSwitchFloor\n"
      ".combo 楼层 1层\n"
      "KivSwitchFloor\n"
      "KivColorManage\n"
      ".select 301 给排水\n"
      ".select 294 给水管\n"
      ".click 298\n"
      "1\n"
      ".click 1\n"
      "KivSaveAs\n"
      ".file " + archive.string() + "\n",
      status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("当前楼层: 2层"), std::string::npos) << out;
  EXPECT_NE(out.find("当前楼层: 1层"), std::string::npos) << out;

  // The project received its rule table, and 2层 the library's installation
  // rows (marker row first), once.
  EXPECT_TRUE(fs::exists(project() / u8"计算规则.DB"));
  EXPECT_EQ(sql(floor2, "SELECT count(*) FROM records WHERE 构件分类='***给排水***'"), "1\n");
  const std::string libraryRows = sql(root_ / "suite" / u8"系统文件" / u8"构件库.DB",
                                      "SELECT count(*) FROM records WHERE _ord >= (SELECT _ord FROM records "
                                      "WHERE 构件分类='***给排水***')");
  EXPECT_EQ(sql(floor2, "SELECT count(*) FROM records"), std::to_string(std::stoi(libraryRows) + 1) + "\n");

  // OK in the colour manager wrote colour 1 (red) into both lines of 给水管.
  EXPECT_EQ(sql(root_ / "suite" / u8"系统文件" / u8"构件库.DB",
                "SELECT 颜色 FROM records WHERE 构件名称='给水管'"),
            "给水管=255\r\n给水管名=255\n");

  // The archive is a zip of the project's files; the temporary copy is gone.
  std::string listing = runShell("unzip -l " + quoted(archive));
  for (const char* member : {"000.GC", "007.DB", "2层.DB", "1层.DWG", "计算规则.DB"})
    EXPECT_NE(listing.find(member), std::string::npos) << member << "\n" << listing;
  if (fs::exists(root_ / "suite" / "TMP")) {
    EXPECT_TRUE(fs::is_empty(root_ / "suite" / "TMP"));
  }
}

TEST_F(ProjectEndToEnd, SecondOpenKeepsTheProjectsRules) {
  int status = -1;
  std::string out = cadhost(".echo first\n", status);
  ASSERT_EQ(status, 0) << out;
  const fs::path rules = project() / u8"计算规则.DB";
  ASSERT_TRUE(fs::exists(rules));
  sql(rules, "UPDATE records SET 定额值='9.75' WHERE _ord=1");
  const std::string before = sql(rules, "SELECT * FROM records ORDER BY _ord");
  ASSERT_NE(before.find("9.75"), std::string::npos) << before;

  out = cadhost("DaMain\n.echo second\n", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(sql(rules, "SELECT * FROM records ORDER BY _ord"), before);
  // The floor that was seeded at the first open is not seeded again.
  EXPECT_EQ(sql(project() / u8"地下1层.DB", "SELECT count(*) FROM records WHERE 构件分类='***给排水***'"),
            "1\n");
}

TEST_F(ProjectEndToEnd, ArchiveCancelledWritesNothing) {
  int status = -1;
  std::string out = cadhost("KivSaveAs\n.esc\n.echo after\n", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("after"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(root_ / "projects" / u8"示例工程.GCK"));
  if (fs::exists(root_ / "suite" / "TMP")) {
    EXPECT_TRUE(fs::is_empty(root_ / "suite" / "TMP"));
  }
}

TEST_F(ProjectEndToEnd, SwitchingOntoADamagedFloorTableSaysSoAndFails) {
  const fs::path table = project() / u8"2层.DB";
  {
    std::fstream f(table, std::ios::binary | std::ios::in | std::ios::out);
    const std::string junk(4096, '\x5a');
    f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  std::ifstream in(table, std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int status = -1;
  const std::string out = cadhost(".combo 楼层 2层\nKivSwitchFloor\n", status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("[2层]的构件表"), std::string::npos) << out;
  EXPECT_NE(out.find("无法读取(表已损坏或无法打开)"), std::string::npos) << out;
  std::ifstream after(table, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), before);
}

}  // namespace
