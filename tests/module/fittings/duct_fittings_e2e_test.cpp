// The duct fittings end to end: the built cadhost with the plug-in lays
// supply ducts on the demo project's first floor, makes a bend, a tee, a
// cross, a reducer and an offset bend by picking at points, and saves the
// floor; the saved drawing is read back and each fitting's block, figure and
// stored record checked, with the ducts cut at the fittings' distances.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "module/fittings/duct_fitting_geom.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kDemoProject = kBuild / "demo" / u8"示例工程";

// Lays one straight supply duct of the number at 3200.
std::string layDuct(const std::string& number, const std::string& from, const std::string& to) {
  return ".combo 构件 送风管\n.combo 编号 " + number + "\nLayAirDuct\n.palette 3200 3200\n" + from + "\n" + to +
         "\n\n.esc\n";
}
std::string fitting(const std::string& type, const std::string& number, const std::string& command) {
  return ".combo 构件 " + type + "\n.combo 编号 " + number + "\n" + command + "\n";
}

bool near(const Point3d& a, const Point3d& b, double tol = 0.01) {
  return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol;
}

class DuctFittingsEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
        !fs::exists(kDemoProject))
      GTEST_SKIP() << "cadhost, the plug-in or the demo data missing";
    root_ = kivtest::MakeDemoSandbox("kiv_duct_fittings_e2e_");
  }
  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }
  std::string run(const std::string& script, int& status) {
    std::ofstream(root_ / "run.scr") << script;
    return kivtest::runShell(kivtest::quoted(kBuild / "bin" / "cadhost") + " --suite " +
                                 kivtest::quoted(root_ / "suite") + " --projects " + kivtest::quoted(root_ / "projects") +
                                 " --project 示例工程 --script " + kivtest::quoted(root_ / "run.scr"),
                             &status);
  }
  fs::path root_;
};

// The plan ends of the primary ducts on 送风管 in the database.
std::vector<std::pair<Point3d, Point3d>> ducts(cad::Database* db) {
  cad::ObjectIdArray ids, primaries;
  CollectIdsByLayerAndNumber(L"送风管", L"", ids, db);
  FilterPrimaryGjIds(primaries, ids);
  std::vector<std::pair<Point3d, Point3d>> out;
  for (cad::ObjectId id : primaries) {
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(id, pts, bulges);
    if (pts.size() >= 2) out.emplace_back(pts.front(), pts.back());
  }
  return out;
}
bool hasDuctEndingAt(const std::vector<std::pair<Point3d, Point3d>>& all, const Point3d& p) {
  for (const auto& [s, e] : all)
    if (near(s, p) || near(e, p)) return true;
  return false;
}

TEST_F(DuctFittingsEndToEnd, FittingsMadeByPicksAreSavedWithTheirRecords) {
  std::string script = ".combo 楼层 1层\nKivSwitchFloor\n";
  // Bend: a corner at 38000,2000 of two SF1 runs (630 wide).
  script += layDuct("SF1", "32000,2000", "38000,2000") + layDuct("SF1", "38000,2000", "38000,6000");
  script += fitting("弯头", "WT1", "DuctBend") + ".pick 35000,2000\n.pick 38000,4000\n";
  // Tee: an SF2 branch (400) onto an SF1 main at 36000,10000.
  script += layDuct("SF1", "32000,10000", "40000,10000") + layDuct("SF2", "36000,7000", "36000,10000");
  script += fitting("三通", "ST1", "DuctTee") + ".pick 36000,8000\n.pick 33000,10000\n.esc\n";
  // Cross: two SF2 ducts crossing at 36000,14000.
  script += layDuct("SF2", "32000,14000", "40000,14000") + layDuct("SF2", "36000,12000", "36000,16000");
  script += fitting("四通", "FT1", "DuctCross") + ".pick 33000,14000\n.pick 36000,15500\n";
  // Reducer: SF1 then SF2 in one line with a gap of 100.
  script += layDuct("SF1", "32000,20000", "36000,20000") + layDuct("SF2", "36100,20000", "40000,20000");
  script += fitting("大小头", "DX1", "DuctReducer") + ".pick 33000,20000\n.pick 39000,20000\n";
  // Offset bend: two SF1 ducts side by side, 1000 apart.
  script += layDuct("SF1", "32000,24000", "36000,24000") + layDuct("SF1", "36000,25000", "40000,25000");
  script += fitting("来回弯", "LH1", "DuctFittings") + ".pick 33000,24000\n.pick 39000,25000\n";
  script += ".save\n";
  int status = -1;
  const std::string out = run(script, status);
  ASSERT_EQ(status, 0) << out;

  cad::Database side(false);
  ASSERT_EQ(side.readDwgFile(root_ / "projects" / u8"示例工程" / u8"1层.DWG"), cad::Status::Ok);
  const auto all = ducts(&side);
  // Where the ducts now end: t = 630 for the bend, 945 for the tee, 600 for
  // the cross; the reducer moves the SF2 duct to 600 beyond the SF1 end;
  // the offset bend leaves both ducts 300 short of their closest points.
  for (const Point3d& end : {Point3d(37370, 2000, 0), Point3d(38000, 2630, 0), Point3d(35055, 10000, 0),
                             Point3d(36945, 10000, 0), Point3d(36000, 9055, 0), Point3d(35400, 14000, 0),
                             Point3d(36600, 14000, 0), Point3d(36000, 13400, 0), Point3d(36000, 14600, 0),
                             Point3d(36000, 20000, 0), Point3d(36600, 20000, 0), Point3d(35700, 24000, 0),
                             Point3d(36300, 25000, 0)})
    EXPECT_TRUE(hasDuctEndingAt(all, end)) << end.x << "," << end.y << "\n" << out;

  struct Expect {
    const wchar_t* type;
    Point3d at;
    size_t items;
  };
  for (const Expect& e : {Expect{L"弯头", {38000, 2000, 0}, 12}, Expect{L"三通", {36000, 10000, 0}, 14},
                          Expect{L"四通", {36000, 14000, 0}, 11}, Expect{L"大小头", {36300, 20000, 0}, 8},
                          Expect{L"来回弯", {36000, 24500, 0}, 9}}) {
    SCOPED_TRACE(os::toUtf8(e.type));
    cad::ObjectIdArray blocks, outlines, labels;
    CollectIdsByLayerAndNumber(e.type, L"", blocks, &side);
    CollectIdsByLayerAndNumber(std::wstring(e.type) + L"边线", L"", outlines, &side);
    CollectIdsByLayerAndNumber(std::wstring(e.type) + L"名", L"", labels, &side);
    ASSERT_EQ(blocks.size(), 1u) << out;
    EXPECT_EQ(outlines.size(), 1u);
    EXPECT_EQ(labels.size(), 1u);
    cad::ObjectPtr<cad::BlockReference> ref(blocks[0], cad::OpenMode::ForRead);
    ASSERT_TRUE(ref);
    EXPECT_TRUE(near(ref->position(), e.at)) << ref->position().x << "," << ref->position().y;
    ref.close();
    cad::ValueChain chain;
    ASSERT_TRUE(ReadDuctFittingGeom(e.type, blocks[0], chain));
    EXPECT_EQ(chain.size(), e.items);
  }
}

}  // namespace
