// KivSolid3d, KivSolidAll3d and KivSolid2d end to end: the built cadhost with
// the plug-in runs a script on a copy of the demo installation and project;
// the drawing is dumped, rendered and saved, and the saved file is opened
// with ezdxf.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

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

TEST_F(Solid3dEndToEnd, AllFloorsAreStackedByTheirLevels) {
  if (runShell("command -v sqlite3").empty()) GTEST_SKIP() << "sqlite3 missing";
  // The basement's height counts below 0 when it is negative.
  const fs::path floors = root_ / "projects" / u8"示例工程" / "007.DB";
  ASSERT_EQ(runShell("sqlite3 " + quoted(floors) + " \"UPDATE records SET 层高='-4200' WHERE 楼层='地下1层'\""), "");
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
