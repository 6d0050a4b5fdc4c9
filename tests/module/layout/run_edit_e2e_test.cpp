// The run editors end to end: the built cadhost with the plug-in runs a
// script on a copy of the demo project (lay a pipe and slope it, lay a wire
// run, break it and join it again) and the drawing is read back from its
// dumps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using kivtest::onLayer;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(RunEditEndToEnd, SlopeBreakAndJoinThroughTheHost) {
  if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
      !fs::exists(kDemoProject) || !fs::exists(kBuild / "suite"))
    GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_run_edit_");
  const fs::path broken = root / "broken.jsonl", joined = root / "joined.jsonl";
  std::ofstream(root / "run.scr") << ".combo 楼层 1层\nKivSwitchFloor\n"
                                     // A pipe at 3000, sloped with the default 0.004.
                                     ".combo 分类 管道\n.combo 构件 给水管\n.combo 编号 J1\n"
                                     "LayPipe\n.palette 3000 3000\n0,0\n5000,0\n\n.esc\n"
                                     "PGradient\n.pick 2500,0\n\n\n.esc\n"
                                     // A wire run broken at (400, 30) and joined again.
                                     ".combo 分类 管线\n.combo 构件 照明导线\n.combo 编号 WL1\n"
                                     "LayPipeLine\n.palette 2800 2800\n0,2000\n1000,2000\n\n.esc\n"
                                     "BreakPipeLine\n.pick 100,2000\n400,2030\n.esc\n"
                                     ".dump " + broken.string() + "\n"
                                     "JoinPipeLine\n.pick 200,2000\n.pick 700,2000\n.esc\n"
                                     ".dump " + joined.string() + "\n";
  int status = -1;
  const std::string out = kivtest::runShell(q(kBuild / "bin" / "cadhost") + " --suite " + q(root / "suite") + " --projects " +
                         q(root / "projects") + " --project 示例工程 --script " + q(root / "run.scr"), &status);
  EXPECT_EQ(status, 0) << out;

  const auto pipes = onLayer(joined, "给水管", ",0,0]");
  ASSERT_EQ(pipes.size(), 1u) << out;
  EXPECT_NE(pipes[0].find("\"vertices\":[[0,0,0],[5000,0,0]]"), std::string::npos) << pipes[0];
  EXPECT_NE(pipes[0].find("\"起点标高=3000.0\",\"终点标高=3020.0\""), std::string::npos) << pipes[0];

  const auto pieces = onLayer(broken, "照明导线", ",2000,0]");
  ASSERT_EQ(pieces.size(), 2u) << out;
  EXPECT_NE(pieces[0].find("[[400,2000,0],[0,2000,0]]"), std::string::npos) << pieces[0];
  EXPECT_NE(pieces[1].find("[[400,2000,0],[1000,2000,0]]"), std::string::npos) << pieces[1];
  const auto wires = onLayer(joined, "照明导线", ",2000,0]");
  ASSERT_EQ(wires.size(), 1u);
  EXPECT_NE(wires[0].find("[[0,2000,0],[1000,2000,0]]"), std::string::npos) << wires[0];
  EXPECT_NE(wires[0].find("\"编号\":[\"WL1\"]"), std::string::npos) << wires[0];
  EXPECT_NE(wires[0].find("\"起点标高=2800.0\",\"终点标高=2800.0\""), std::string::npos) << wires[0];
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
