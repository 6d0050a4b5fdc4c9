// KivSolid3d, KivSolidAll3d and KivSolid2d end to end: the built cadhost with
// the plug-in runs a script on a copy of the demo installation and project;
// the drawing is dumped, rendered and saved, and the saved file is opened
// with ezdxf.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kSource = KIV_SOURCE_DIR;
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

using kivtest::quoted;
using kivtest::runShell;

struct Counts {
  int primaries = 0, twinned = 0;
  bool operator==(const Counts&) const = default;
};

std::map<std::string, Counts> twinCounts(const fs::path& dump) {
  std::map<std::string, Counts> r;
  std::istringstream lines(runShell("/usr/bin/python3 " + quoted(kSource / "tests/module/solid3d/twin_counts.py") +
                                    " " + quoted(dump)));
  std::string type;
  Counts c;
  while (lines >> type >> c.primaries >> c.twinned) r[type] = c;
  return r;
}

class Solid3dEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
        !fs::exists(kDemoProject) || !fs::exists("/usr/bin/python3"))
      GTEST_SKIP() << "cadhost, the plug-in, the demo data or python missing";
    root_ = kivtest::MakeDemoSandbox("kiv_solid3d_e2e_");
  }
  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }
  std::string run(const std::string& script, int& status) {
    std::ofstream(root_ / "run.scr") << script;
    return runShell(quoted(kBuild / "bin" / "cadhost") + " --suite " + quoted(root_ / "suite") + " --projects " +
                        quoted(root_ / "projects") + " --project 示例工程 --script " + quoted(root_ / "run.scr"),
                    &status);
  }
  fs::path root_;
};

TEST_F(Solid3dEndToEnd, FirstFloorGetsATwinPerComponentAndTheFileOpensElsewhere) {
  const std::string r = root_.string();
  int status = -1;
  const std::string out = run(".combo 楼层 1层\nKivSwitchFloor\nKivSolid3d\n.dump " + r + "/3d.jsonl\n.render " + r +
                                  "/3d.png 400 300\n.saveas " + r + "/3d.dxf\nKivSolid2d\n.dump " + r + "/2d.jsonl\n",
                              status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("未生成三维实体"), std::string::npos) << out;
  auto counts = twinCounts(root_ / "3d.jsonl");
  int kinds = 0;
  for (const auto& [type, c] : counts) {
    if (c.primaries == 0) continue;
    ++kinds;
    EXPECT_EQ(c.twinned, c.primaries) << type;
  }
  EXPECT_GE(kinds, 5) << out;
  EXPECT_TRUE(fs::file_size(root_ / "3d.png") > 1000);
  // The saved drawing: ezdxf reads it and finds the twins as meshes.
  const std::string meshes = runShell("/usr/bin/python3 -c \"import ezdxf,sys; d=ezdxf.readfile(sys.argv[1]); "
                                      "print(sum(1 for e in d.modelspace() if e.dxftype()=='POLYLINE' and "
                                      "(e.is_poly_face_mesh or e.is_polygon_mesh) and e.dxf.layer.endswith('3D')))\" " +
                                      quoted(root_ / "3d.dxf"));
  EXPECT_GT(std::stoi(meshes.empty() ? "0" : meshes), 0) << meshes;
  // Back in 2D the twins stay and nothing else changed count.
  EXPECT_EQ(twinCounts(root_ / "2d.jsonl"), counts);
}

// The library's duct sections are centred on the duct's axis, as the duct
// fittings are: a 400 x 250 duct at 3000 fills its plan band at the height
// of its bend, and the bend's twin starts where the duct's twin ends.
TEST_F(Solid3dEndToEnd, DuctTwinsLieInTheirPlanBandAndMeetTheirBend) {
  const std::string r = root_.string();
  int status = -1;
  const std::string out = run(
      ".combo 楼层 1层\nKivSwitchFloor\n.combo 分类 风管\n.combo 构件 送风管\n.combo 编号 SF2\nLayAirDuct\n"
      ".palette 3000 3000\n50000,8000\n58000,8000\n58000,14000\n\n.esc\n"
      ".combo 构件 弯头\n.combo 编号 WT1\nDuctBend\n.pick 54000,8000\n.pick 58000,11000\n"
      "KivSolid3d\n.dump " + r + "/ducts.jsonl\n",
      status);
  ASSERT_EQ(status, 0) << out;
  // The boxes of the twins on a layer: x0 y0 z0 x1 y1 z1 per line.
  auto boxes = [&](const std::string& layer) {
    std::istringstream in(runShell(
        "/usr/bin/python3 -c \"import json,sys\nfor l in open(sys.argv[1]):\n e=json.loads(l)\n g=e['geometry']\n"
        " if e['layer']==sys.argv[2] and 'min' in g: print(*[round(v,1) for v in g['min']+g['max']])\" " +
        quoted(root_ / "ducts.jsonl") + " " + layer));
    std::vector<std::array<double, 6>> all;
    std::array<double, 6> b{};
    // Those of the ducts laid here (the floor has ducts of its own elsewhere).
    while (in >> b[0] >> b[1] >> b[2] >> b[3] >> b[4] >> b[5])
      if (b[0] > 49000 && b[3] < 59000 && b[1] > 7000 && b[4] < 15000) all.push_back(b);
    return all;
  };
  const auto ducts = boxes("送风管3D"), bends = boxes("弯头3D");
  ASSERT_EQ(ducts.size(), 2u) << out;
  ASSERT_EQ(bends.size(), 1u) << out;
  const auto& bend = bends[0];
  const auto& along = ducts[0][4] - ducts[0][1] < 500 ? ducts[0] : ducts[1];  // the duct along x
  // Its plan band is y 7800..8200, its height 3000 +- 125, and it ends where the bend begins.
  EXPECT_NEAR(along[1], 7800, 0.5);
  EXPECT_NEAR(along[4], 8200, 0.5);
  EXPECT_NEAR(along[2], 2875, 0.5);
  EXPECT_NEAR(along[5], 3125, 0.5);
  EXPECT_NEAR(along[0], 50000, 0.5);
  EXPECT_NEAR(along[3], bend[0], 0.5) << "the duct ends where its bend starts";
  EXPECT_NEAR(bend[1], 7800, 0.5);
  EXPECT_NEAR(bend[2], 2875, 0.5);
  EXPECT_NEAR(bend[5], 3125, 0.5);
  // The duct along y stands in its own band x 57800..58200 and starts where the bend ends.
  const auto& up = &along == &ducts[0] ? ducts[1] : ducts[0];
  EXPECT_NEAR(up[0], 57800, 0.5);
  EXPECT_NEAR(up[3], 58200, 0.5);
  EXPECT_NEAR(up[1], bend[4], 0.5);
  EXPECT_NEAR(bend[3], 58200, 0.5);
}

TEST_F(Solid3dEndToEnd, AllFloorsAreStackedByTheirLevels) {
  // The demo's basement has the height -4200: it stands below 0.
  const std::string r = root_.string();
  int status = -1;
  const std::string out = run(".combo 楼层 1层\nKivSwitchFloor\nKivSolidAll3d\n.dump " + r + "/all.jsonl\n", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("未生成三维实体"), std::string::npos) << out;
  // The z range of the twins of a layer.
  auto range = [&](const std::string& layer) {
    return runShell("/usr/bin/python3 -c \"import json,sys\nlo,hi=1e9,-1e9\nfor l in open(sys.argv[1]):\n"
                    " e=json.loads(l)\n g=e['geometry']\n if e['layer']==sys.argv[2] and 'min' in g:\n"
                    "  lo=min(lo,g['min'][2]); hi=max(hi,g['max'][2])\nprint(round(lo),round(hi))\" " +
                    quoted(root_ / "all.jsonl") + " " + layer);
  };
  // The basement's sprinkler branches stand below 0, the first floor's pipes on its own base 0.
  std::istringstream sprinklers(range("喷淋管3D")), water(range("给水管3D"));
  double lo = 0, hi = 0;
  sprinklers >> lo >> hi;
  EXPECT_LT(hi, 0) << out;
  EXPECT_GT(lo, -4200);
  water >> lo >> hi;
  EXPECT_GE(lo, -1);
  EXPECT_LT(hi, 3900);
}

}  // namespace
