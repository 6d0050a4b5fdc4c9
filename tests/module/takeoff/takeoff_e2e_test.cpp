// ZebTotalAll end to end: the built cadhost with the plug-in runs a script on
// a copy of the demo installation and project, and 构件算量.DB is read back
// with sqlite3: a header per floor, a row per number of the linear kinds with
// 数量 and its quantity lines, and the separator rows.
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
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

using kivtest::quoted;
using kivtest::runShell;

TEST(TakeoffEndToEnd, DemoProjectGetsItsQuantityRows) {
  if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
      !fs::exists(kDemoProject) || runShell("command -v sqlite3").empty())
    GTEST_SKIP() << "cadhost, the plug-in, the demo data or sqlite3 missing";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_takeoff_e2e_");
  const fs::path project = root / "projects" / u8"示例工程";
  std::ofstream(root / "run.scr") << ".combo 楼层 1层\nKivSwitchFloor\nZebTotalAll\n";
  int status = -1;
  const std::string out = runShell(quoted(kBuild / "bin" / "cadhost") + " --suite " + quoted(root / "suite") + " --projects " +
                                  quoted(root / "projects") + " --project 示例工程 --script " + quoted(root / "run.scr"),
                              &status);
  ASSERT_EQ(status, 0) << out;
  const fs::path table = project / u8"构件算量.DB";
  auto sql = [&](const std::string& query) { return runShell("sqlite3 " + quoted(table) + " \"" + query + "\""); };
  // One header per floor, in floor-table order, each closed by a separator row.
  EXPECT_EQ(sql("SELECT 构件名称 FROM records WHERE 标志='楼层' ORDER BY _ord"),
            "■地下1层=1\n■1层=1\n■2层=1\n■3层=1\n");
  EXPECT_EQ(sql("SELECT count(*) FROM records WHERE ifnull(构件名称,'')='' AND ifnull(编号,'')=''"), "4\n");
  // The laid runs and placed components of the first floor, with their counts.
  EXPECT_EQ(sql("SELECT 构件名称||' '||编号||' '||数量 FROM records WHERE _ord > (SELECT _ord FROM records "
                "WHERE 构件名称='■1层=1') AND ifnull(编号,'')<>'' AND _ord < (SELECT _ord FROM records WHERE "
                "构件名称='■2层=1') ORDER BY _ord"),
            "给水管 J1 3\n给水管 J2 2\n给水管 J3 2\n热给水管 RJ1 2\n污水管 W1 2\n洗脸盆 XL1 2\n大便器 DB1 1\n"
            "照明导线 WL1 4\n导管 SC1 2\n导管 SC2 1\n线槽 XC1 1\n点状灯具 D1 2\n块状灯具 D2 1\n配电箱 AL1 1\n"
            "桥架 QJ1 1\n送风管 SF1 1\n送风管 SF2 0\n");
  // J1: a riser of 2.8 m and two runs of 7.5 m and 9 m at 2800, DN32.
  const std::string j1 = sql("SELECT 工程量 FROM records WHERE 编号='J1' AND 构件名称='给水管'");
  for (const char* part : {"=001=定额=长度=32==2.8给水管长=2.8", "=001=定额=长度=32==7.5给水管长=7.5",
                           "=001=定额=长度=32==9给水管长=9", "=002=定额=保温=0===0"})
    EXPECT_NE(j1.find(part), std::string::npos) << part << "\n" << j1;
  // The basement's sprinkler branches: nine runs of 12 m under one number.
  EXPECT_EQ(sql("SELECT 数量 FROM records WHERE 编号='ZP1'"), "9\n");
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
