// The region take-off: which components each region holds (ends inside, runs
// crossing the outline, boundaries, arcs, fractional and negative extents),
// runs cut to their parts inside, the rows of 区域构件算量.DB per floor and
// region adding up to the floor's quantities, floors without regions, another
// floor's regions, and a cancelled run.
#include <gtest/gtest.h>

#include <fstream>

#include "module/takeoff/region_takeoff.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/entities.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {

// In circuit_rows_test.cpp.
cad::ObjectId PlacePointGj(cad::Database* db, const std::wstring& kind, const std::wstring& number, double x,
                           double y, double z);

namespace {

class RegionTakeoff : public TakeoffProject {
 protected:
  // A region polyline on 区域 with its number and attribute lines.
  static cad::ObjectId region(cad::Database* db, const std::wstring& label, const PointList& pts,
                              const BulgeList& bulges = {}) {
    GetOrCreateLayer(L"区域", db);
    auto pl = std::make_unique<cad::Polyline>();
    for (size_t i = 0; i < pts.size(); ++i)
      pl->addVertexAt(static_cast<unsigned>(i), geom::Point2d(pts[i].x, pts[i].y), i < bulges.size() ? bulges[i] : 0);
    pl->setClosed(true);
    pl->setLayer(L"区域");
    cad::ObjectId id;
    EXPECT_EQ(db->appendToModelSpace(std::move(pl), &id), cad::Status::Ok);
    StampGjPrimary(id, label);
    return id;
  }
  static PointList box(double x0, double y0, double x1, double y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
  }
  static cad::ObjectId point(cad::Database* db, const std::wstring& kind, const std::wstring& number, double x,
                             double y) {
    return PlacePointGj(db, kind, number, x, y, 0);
  }
  cad::ObjectId pipe(const std::wstring& number, geom::Point3d a, geom::Point3d b) {
    return run(working(), L"给水管", number, L"斜管", a, b, 0, 3000, 3000);
  }

  // The ids each region keeps, in model-space order (crossing runs whole).
  cad::ObjectIdArray inside(const PointList& pts, const BulgeList& bulges = {}) {
    PointList ring = pts;
    ring.push_back(pts.front());
    BulgeList b = bulges;
    b.resize(ring.size(), 0);
    RegionGjList list;
    ReadRegionGjList(nullptr, list);
    GjBuckets buckets;
    SortRegionGjIntoBuckets(buckets, list, ring, b, nullptr);
    return buckets.slots[0];
  }

  // The region's runs with parts cut into pieces: per id, its plan length
  // and elevations.
  struct Part {
    double length, zs, ze;
    std::wstring number;
  };
  std::vector<Part> parts(const PointList& pts, cad::Database* pieces) {
    PointList ring = pts;
    ring.push_back(pts.front());
    RegionGjList list;
    ReadRegionGjList(nullptr, list);
    GjBuckets buckets;
    SortRegionGjIntoBuckets(buckets, list, ring, BulgeList(ring.size(), 0), pieces);
    std::vector<Part> out;
    for (cad::ObjectId id : buckets.slots[GjKindSlot(L"给水管")]) {
      PointList v;
      BulgeList b;
      GetEntityVertices(id, v, b);
      Part p{GetOutlineLength(v, b), 0, 0, L""};
      GetGjSpecial(id, nullptr, &p.zs, &p.ze);
      StringArray attrs;
      GetGjNumberAndAttrs(id, p.number, attrs);
      out.push_back(p);
    }
    return out;
  }

  fs::path regionTable() const { return project() / u8"区域构件算量.DB"; }
  std::string regionRows() {
    const fs::path t = regionTable();
    return column(t, "构件名称") + "|" + column(t, "标志") + "|" + column(t, "编号") + "|" + column(t, "数量");
  }
};

TEST_F(RegionTakeoff, ComponentsInsideAreEndsInsideCrossingRunsAndBoundaries) {
  makeFloors("F1\t1\t3300\t\t\n", L"F1");
  cad::ObjectId inner = pipe(L"J1", {200, 500, 0}, {800, 500, 0});
  cad::ObjectId half = pipe(L"J2", {500, 200, 0}, {1500, 200, 0});
  cad::ObjectId through = pipe(L"J3", {-500, 700, 0}, {2500, 700, 0});
  cad::ObjectId edge = pipe(L"J4", {0, 0, 0}, {0, 1000, 0});
  cad::ObjectId outside = pipe(L"J5", {-500, 1500, 0}, {2500, 1500, 0});
  cad::ObjectId riser;
  CreateLinearGjEntity(riser, L"给水管", L"J6", {1000, 500, 0}, {1000, 500, 3000}, 0, 1);  // on the shared edge
  cad::ObjectId lamp = point(working(), L"点状灯具", L"D1", 1000, 1000);                  // on a corner
  cad::ObjectId far = point(working(), L"点状灯具", L"D1", 3000, 3000);
  (void)far;
  (void)outside;
  EXPECT_EQ(inside(box(0, 0, 1000, 1000)), (cad::ObjectIdArray{inner, half, through, edge, riser, lamp}));
  EXPECT_EQ(inside(box(1000, 0, 2000, 1000)), (cad::ObjectIdArray{half, through, riser, lamp}));
}

TEST_F(RegionTakeoff, RunsAcrossTheOutlineAreCutToTheirPartsInside) {
  makeFloors("F1\t1\t3300\t\t\n", L"F1");
  pipe(L"J1", {200, 500, 0}, {800, 500, 0});
  run(working(), L"给水管", L"J2", L"斜管", {500, 200, 0}, {1500, 200, 0}, 0, 3000, 2000);  // sloped, across x 1000
  run(working(), L"给水管", L"J3", L"斜管", {-500, 700, 0}, {2500, 700, 0}, 0, 3000, 3000);  // through both
  cad::Database pieces(true);
  struct Want {
    const wchar_t* number;
    double length, zs, ze;
  };
  auto check = [&](const PointList& region, std::vector<Want> want) {
    std::vector<Part> got = parts(region, &pieces);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(got[i].number, want[i].number);
      EXPECT_NEAR(got[i].length, want[i].length, 1e-6);
      EXPECT_NEAR(got[i].zs, want[i].zs, 0.05);
      EXPECT_NEAR(got[i].ze, want[i].ze, 0.05);
    }
  };
  check(box(0, 0, 1000, 1000), {{L"J1", 600, 3000, 3000}, {L"J2", 500, 3000, 2500}, {L"J3", 1000, 3000, 3000}});
  check(box(1000, 0, 2000, 1000), {{L"J2", 500, 2500, 2000}, {L"J3", 1000, 3000, 3000}});
}

TEST_F(RegionTakeoff, ExtentsAreExactAndArcsAreTheRegionsOwn) {
  makeFloors("F1\t1\t3300\t\t\n", L"F1");
  // Runs lying wholly between a fractional extent and its whole part.
  cad::ObjectId right = pipe(L"J1", {20.5, 10, 0}, {20.7, 10, 0});
  cad::ObjectId left = pipe(L"J2", {-1999.4, 10, 0}, {-1999.2, 10, 0});
  EXPECT_EQ(inside(box(0, 0, 20.9, 20)), (cad::ObjectIdArray{right}));
  EXPECT_EQ(inside(box(-1999.5, 0, -1000, 20)), (cad::ObjectIdArray{left}));

  // A half-circle bulge on the top edge (chord 100..2100 at y 1000, bulging
  // up by 1000): a lamp at (1100, 1800) is inside it, not inside the
  // straight box.
  cad::ObjectId lamp = point(working(), L"点状灯具", L"D1", 1100, 1800);
  const PointList square = box(100, 0, 2100, 1000);
  EXPECT_EQ(inside(square), (cad::ObjectIdArray{}));
  // Vertices 0..3 run counter-clockwise; the top edge goes from (2100,1000)
  // to (100,1000): bulge 1 turns it counter-clockwise, through (1100,2000).
  EXPECT_EQ(inside(square, {0, 0, 1, 0}), (cad::ObjectIdArray{lamp}));
}

TEST_F(RegionTakeoff, RowsPerFloorAndRegion) {
  makeFloorTable("F1", "给水管\tJ1\t\t[001]\\r\\n类型=长度\n给水管\tJ2\t\t[001]\\r\\n类型=长度\n");
  makeFloors("F1\t1\t3300\t\t\nF2\t1\t3000\t\t\nF3\t1\t3000\t\t\n", L"F1");
  region(working(), L"R1", box(0, 0, 1000, 1000));
  region(working(), L"R2", box(1000, 0, 2000, 1000));
  pipe(L"J1", {200, 500, 0}, {800, 500, 0});
  run(working(), L"给水管", L"J1", L"斜管", {900, 800, 0}, {1300, 800, 0}, 0, 3000, 2600);  // sloped, into R2
  pipe(L"J2", {500, 200, 0}, {1500, 200, 0});  // half in R1, half in R2

  // F2 (another drawing) has a region of its own around its run; F3 none.
  makeFloorTable("F2", "给水管\tJ1\t\t[001]\\r\\n类型=长度\n");
  {
    cad::Database side(true);
    run(&side, L"给水管", L"J1", L"斜管", {5000, 5000, 0}, {8000, 5000, 0}, 0, 3000, 3000);
    region(&side, L"R9", box(4000, 4000, 9000, 9000));
    ASSERT_EQ(side.saveAs(project() / "F2.DWG"), cad::Status::Ok);
  }
  makeFloorTable("F3", "给水管\tJ1\t\t[001]\\r\\n类型=长度\n");
  {
    cad::Database side(true);
    run(&side, L"给水管", L"J1", L"斜管", {0, 0, 0}, {1000, 0, 0}, 0, 3000, 3000);
    ASSERT_EQ(side.saveAs(project() / "F3.DWG"), cad::Status::Ok);
  }

  CmdZebTotalArea();  // the current floor only
  EXPECT_EQ(regionRows(), "■F1=1\nR1\n给水管\n给水管\nR2\n给水管\n给水管\n\n|"
                          "楼层\n区域\n\n\n区域\n\n\n\n|\n\nJ1\nJ2\n\nJ1\nJ2\n\n|\n\n2\n1\n\n1\n1\n\n");
  EXPECT_TRUE(fs::exists(project() / u8"区域001.DB"));

  CmdZebAllArea();
  EXPECT_EQ(column(regionTable(), "构件名称"), "■F1=1\nR1\n给水管\n给水管\nR2\n给水管\n给水管\n\n■F2=1\nR9\n给水管\n\n■F3=1\n");
  EXPECT_EQ(column(regionTable(), "数量"), "\n\n2\n1\n\n1\n1\n\n\n\n1\n\n\n");
  EXPECT_NE(commandLine().find(L"[F3]还没有划分区域，请先在此楼层布置区域构件"), std::wstring::npos);

  // The regions tile the first floor: per number, their quantities add up
  // to the floor's (each part rounded to 3 decimals on its own).
  CmdZebTotalCur();
  auto sums = [](const fs::path& table, const std::wstring& floorHeader) {
    std::map<std::wstring, double> out;
    tablelib::Table t(os::windowsPath(table));
    bool on = false;
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      const std::wstring name = tablelib::FieldAsString(t, L"构件名称");
      if (tablelib::FieldAsString(t, L"标志") == L"楼层") on = name == floorHeader;
      if (!on) continue;
      for (const std::wstring& r : QuantityResults(tablelib::FieldAsString(t, L"工程量")))
        out[tablelib::FieldAsString(t, L"编号")] += std::wcstod(r.c_str(), nullptr);
    }
    return out;
  };
  const auto floor = sums(quantityTable(), L"■F1=1"), regions = sums(regionTable(), L"■F1=1");
  ASSERT_EQ(floor.size(), 2u);
  EXPECT_NEAR(floor.at(L"J1"), 0.6 + std::sqrt(2.0 * 400 * 400) / 1000, 0.0005);
  for (const auto& [number, total] : floor) EXPECT_NEAR(regions.at(number), total, 0.0015) << number;
}

// 区域001.DB: a header row per floor and per region, and each region's norm
// rows summing only what lies inside it.
TEST_F(RegionTakeoff, RegionNormTableHasItsOwnSectionPerRegion) {
  makeFloorTable("F1", "给水管\tJ1\t\t[001]\\r\\n类型=长度\\r\\n编号=D11-011\\r\\n名称=给水管安装\\r\\n单位=m\n");
  makeFloors("F1\t1\t3300\t\t\n", L"F1");
  region(working(), L"R1", box(0, 0, 1000, 1000));
  region(working(), L"R2", box(1000, 0, 2000, 1000));
  pipe(L"J1", {100, 500, 0}, {900, 500, 0});
  pipe(L"J1", {1100, 500, 0}, {1600, 500, 0});
  CmdZebTotalArea();
  const fs::path t = project() / u8"区域001.DB";
  EXPECT_EQ(column(t, "编号"), "■F1=1\nR1\nD11-011\nR2\nD11-011\n\n");
  EXPECT_EQ(column(t, "标志"), "楼层\n区域\n定额\n区域\n定额\n\n");
  EXPECT_EQ(column(t, "标准工程量"), "\n\n0.8\n\n0.5\n\n");
  // The region rows of 区域构件算量.DB gain their norm lines.
  EXPECT_NE(column(regionTable(), "算式工程量").find("定额=D11-011"), std::string::npos);
}

TEST_F(RegionTakeoff, CancelKeepsThePreviousResults) {
  makeFloorTable("F1", "给水管\tJ1\t\t[001]\\r\\n类型=长度\n");
  makeFloors("F1\t1\t3300\t\t\n", L"F1");
  region(working(), L"R1", box(0, 0, 1000, 1000));
  pipe(L"J1", {200, 500, 0}, {800, 500, 0});
  CmdZebTotalArea();
  const std::string before = regionRows();
  auto bytes = [&](const char8_t* name) {
    std::ifstream in(project() / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::string norm = bytes(u8"区域001.DB"), rows = bytes(u8"区域构件算量.DB");
  pipe(L"J1", {300, 500, 0}, {800, 500, 0});
  auto cancelAt = os::findFunction<KivTolm_CancelProgressAt_fn>(g_hostBaseLib, "KivTolm_CancelProgressAt");
  ASSERT_NE(cancelAt, nullptr);
  cancelAt(3);
  CmdZebTotalArea();
  EXPECT_EQ(regionRows(), before);
  EXPECT_NE(commandLine().find(L"区域工程量计算已取消"), std::wstring::npos);
  // An Escape typed as the run begins is taken by its first progress update.
  for (void (*command)() : {CmdZebTotalArea, CmdZebAllArea}) {
    ed::InputToken escape;
    escape.kind = ed::TokenKind::Escape;
    ed::inputQueue().push(escape);
    ed::clearTranscript();
    command();
    EXPECT_TRUE(ed::inputQueue().empty());
    EXPECT_EQ(bytes(u8"区域001.DB"), norm);
    EXPECT_EQ(bytes(u8"区域构件算量.DB"), rows);
    EXPECT_NE(commandLine().find(L"区域工程量计算已取消"), std::wstring::npos);
  }
}

}  // namespace
}  // namespace kivtest
