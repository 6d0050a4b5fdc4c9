// Where one command meets another, through the built cadhost on a copy of
// the demo project: a valve laid transparently inside a pipe run, a rebuild
// afterwards, a project that is not there, and the circuit information
// button without a circuit row.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using kivtest::onLayer;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

bool built() {
  return fs::exists(kBuild / "bin" / "cadhost") && fs::exists(kBuild / "bin" / "KivZeb.arx") &&
         fs::exists(kDemoProject) && fs::exists(kBuild / "suite");
}

std::string cadhost(const fs::path& root, const std::string& project, const std::string& script, int* status) {
  std::ofstream(root / "run.scr") << script;
  return kivtest::runShell(q(kBuild / "bin" / "cadhost") + " --suite " + q(root / "suite") + " --projects " +
                               q(root / "projects") + " --project " + project + " --script " + q(root / "run.scr"),
                           status);
}

TEST(CrossCommands, AValveInsideARunLeavesTheRunItsNameAndNumber) {
  if (!built()) GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_cross_valve_");
  const fs::path laid = root / "laid.jsonl", rebuilt = root / "rebuilt.jsonl";
  int status = -1;
  const std::string out = cadhost(root, "示例工程",
                                  ".combo 楼层 1层\nKivSwitchFloor\n"
                                  ".combo 分类 管道\n.combo 构件 给水管\n.combo 编号 J1\n"
                                  "LayPipe\n.palette 2800 2800\n"
                                  "60000,30000\n61000,30000\n"
                                  // A valve laid transparently, then back into the run.
                                  "'GPS_Acc\n60500,30000\n.esc\n"
                                  "62000,30000\n\n"
                                  // The next run of the same command.
                                  "63000,30000\n64000,30000\n\n.esc\n"
                                  ".dump " + laid.string() + "\n"
                                  "GjRebuildAll\n.dump " + rebuilt.string() + "\n",
                                  &status);
  EXPECT_EQ(status, 0) << out;
  for (const fs::path& dump : {laid, rebuilt}) {
    SCOPED_TRACE(dump.filename().string());
    const auto pipes = onLayer(dump, "给水管", ",30000,");
    ASSERT_EQ(pipes.size(), 3u) << out;
    for (const std::string& p : pipes) EXPECT_NE(p.find("\"编号\":[\"J1\"]"), std::string::npos) << p;
    const auto valves = onLayer(dump, "阀门", ",30000,");
    ASSERT_EQ(valves.size(), 1u) << "only the valve itself";
    EXPECT_EQ(valves[0].find("vertices"), std::string::npos) << valves[0];
  }
  std::error_code ec;
  fs::remove_all(root, ec);
}

TEST(CrossCommands, AMissingProjectIsSaidAtLoadAndItsCommandsFail) {
  if (!built()) GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_cross_noproject_");
  struct Case {
    std::string project, script, atLoad;
  };
  for (const Case& c : {Case{"没有的工程", "ZebTotalAll\n", "the project 没有的工程 does not exist"},
                        Case{"没有的工程", "KivSwitchFloor\n", "does not exist"},
                        Case{"没有的工程", "Light\n", "does not exist"}}) {
    SCOPED_TRACE(c.script);
    int status = -1;
    const std::string out = cadhost(root, c.project, c.script, &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find(c.atLoad), std::string::npos) << out;
    const std::string command = c.script.substr(0, c.script.size() - 1);
    EXPECT_NE(out.find("没有打开的工程，" + command + "未执行"), std::string::npos) << out;
  }
  // A projects folder that is not there.
  int status = -1;
  std::ofstream(root / "run.scr") << "ZebTotalAll\n";
  const std::string out = kivtest::runShell(q(kBuild / "bin" / "cadhost") + " --suite " + q(root / "suite") +
                                                " --projects " + q(root / "nowhere") +
                                                " --project 示例工程 --script " + q(root / "run.scr"),
                                            &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("the projects folder"), std::string::npos) << out;
  // With the project there, the same command runs as always.
  const std::string fine = cadhost(root, "示例工程", ".combo 楼层 1层\nKivSwitchFloor\n", &status);
  EXPECT_EQ(status, 0) << fine;
  EXPECT_EQ(fine.find("does not exist"), std::string::npos) << fine;
  std::error_code ec;
  fs::remove_all(root, ec);
}

TEST(CrossCommands, CircuitInformationWithoutARowSaysSo) {
  if (!built()) GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_cross_circuit_");
  int status = -1;
  const std::string out = cadhost(root, "示例工程",
                                  ".combo 楼层 1层\nKivSwitchFloor\nPipeLineConv\n.click 221\n"
                                  ".window 13000,2500 29500,17500\n\n.click 1\n.click 364\n"
                                  ".pick 13396,3002\n.rclick\n.click 270\n.click 368\n",
                                  &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("请先在列表中选择要编辑管线信息的回路"), std::string::npos) << out;
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
