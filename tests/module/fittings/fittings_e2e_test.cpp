// The fitting commands end to end: the built cadhost with the plug-in runs a
// script on a copy of the demo project (lays a T, an L and a cross of water
// pipes away from the floor's own runs, fits the floor twice, raises one
// run with KivChangeElev and checks the floor) and the drawing is read back
// from its dumps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

struct Entity {
  std::string line;
  double x = 0, y = 0, z = 0;
};

// The entities of a dump on a layer whose first point lies at x >= 39000
// (the demo floor's own runs lie below that).
std::vector<Entity> onLayer(const fs::path& dump, const std::string& layer) {
  static const std::regex firstPoint(R"re("(?:position|vertices|start)":\[?\[(-?[0-9.e+-]+),(-?[0-9.e+-]+),(-?[0-9.e+-]+)\])re");
  std::vector<Entity> out;
  std::ifstream in(dump);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"layer\":\"" + layer + "\"") == std::string::npos) continue;
    std::smatch m;
    if (!std::regex_search(line, m, firstPoint)) continue;
    Entity e{line, std::stod(m[1]), std::stod(m[2]), std::stod(m[3])};
    if (e.x >= 39000) out.push_back(e);
  }
  return out;
}

int countAt(const std::vector<Entity>& es, double x, double y) {
  int n = 0;
  for (const Entity& e : es) n += e.x == x && e.y == y;
  return n;
}

TEST(FittingsEndToEnd, FitTwiceRaiseARunAndCheckThroughTheHost) {
  if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
      !fs::exists(kDemoProject) || !fs::exists(kBuild / "suite"))
    GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_fittings_");
  const fs::path first = root / "first.jsonl", second = root / "second.jsonl", raised = root / "raised.jsonl",
                 checked = root / "checked.jsonl";
  std::ofstream(root / "run.scr") << ".combo 楼层 1层\nKivSwitchFloor\n"
                                     ".combo 分类 管道\n.combo 构件 给水管\n.combo 编号 J1\n"
                                     "LayPipe\n.palette 2800 2800\n"
                                     "40000,0\n42000,0\n\n41000,0\n41000,1000\n\n"  // a T
                                     "45000,0\n46000,0\n46000,800\n\n"            // an L
                                     "48000,0\n50000,0\n\n49000,-1000\n49000,1000\n\n"  // a cross
                                     ".esc\n"
                                     "FloorPFittings\n.dump " + first.string() + "\n"
                                     "FloorPFittings\n.dump " + second.string() + "\n"
                                     "KivChangeElev\n.pick 45500,0\n\n.palette 3000 3000\n"
                                     ".dump " + raised.string() + "\n"
                                     "GPS_ValidCheck\n.dump " + checked.string() + "\n";
  int status = -1;
  const std::string out = kivtest::runShell(q(kBuild / "bin" / "cadhost") + " --suite " + q(root / "suite") + " --projects " +
                         q(root / "projects") + " --project 示例工程 --script " + q(root / "run.scr"), &status);
  EXPECT_EQ(status, 0) << out;

  for (const fs::path& dump : {first, second}) {
    SCOPED_TRACE(dump.filename().string());
    const auto tees = onLayer(dump, "管道三通"), elbows = onLayer(dump, "管道弯头"), crosses = onLayer(dump, "管道四通"),
               caps = onLayer(dump, "管道堵头");
    ASSERT_EQ(tees.size(), 1u) << out;
    EXPECT_EQ(countAt(tees, 41000, 0), 1);
    for (const char* arm : {"\"-1.000000,0.000000,0.000000,32.000000\"", "\"1.000000,0.000000,0.000000,32.000000\"",
                            "\"0.000000,1.000000,0.000000,32.000000\""})
      EXPECT_NE(tees[0].line.find(arm), std::string::npos) << tees[0].line;
    EXPECT_NE(tees[0].line.find("\"编号\":[\"管道三通-32*32*32\"]"), std::string::npos) << tees[0].line;
    ASSERT_EQ(elbows.size(), 1u);
    EXPECT_EQ(countAt(elbows, 46000, 0), 1);
    ASSERT_EQ(crosses.size(), 1u);
    EXPECT_EQ(countAt(crosses, 49000, 0), 1);
    EXPECT_EQ(caps.size(), 9u);
    EXPECT_EQ(onLayer(dump, "管道三通边线").size() + onLayer(dump, "管道弯头边线").size() +
                  onLayer(dump, "管道四通边线").size() + onLayer(dump, "管道堵头边线").size(),
              3u + 2u + 4u + 9u)
        << "the cross bars of the first run are gone";
  }

  // The crossing runs were cut: two pieces each, adding up to the run.
  double along = 0;
  int pieces = 0;
  for (const Entity& e : onLayer(second, "给水管")) {
    std::smatch m;
    static const std::regex two(R"re("vertices":\[\[(-?[0-9.]+),(-?[0-9.]+),0\],\[(-?[0-9.]+),(-?[0-9.]+),0\]\])re");
    if (!std::regex_search(e.line, m, two)) continue;
    const double x1 = std::stod(m[1]), y1 = std::stod(m[2]), x2 = std::stod(m[3]), y2 = std::stod(m[4]);
    if (y1 == 0 && y2 == 0 && std::min(x1, x2) >= 48000) {
      along += std::abs(x2 - x1);
      ++pieces;
    }
  }
  EXPECT_EQ(pieces, 2);
  EXPECT_EQ(along, 2000);

  // The raised run, and exactly its two ends and the cap left behind marked.
  bool raisedFound = false;
  for (const Entity& e : onLayer(raised, "给水管"))
    if (e.line.find("[[45000,0,0],[46000,0,0]]") != std::string::npos)
      raisedFound = e.line.find("\"起点标高=3000.0\",\"终点标高=3000.0\"") != std::string::npos;
  EXPECT_TRUE(raisedFound);
  const auto markers = onLayer(checked, "marl_gps_prompt");
  ASSERT_EQ(markers.size(), 3u) << out;
  EXPECT_EQ(countAt(markers, 45000, 0), 2);
  EXPECT_EQ(countAt(markers, 46000, 0), 1);
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
