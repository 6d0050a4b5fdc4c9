// The plumbing and electrical checks on small fixture drawings: exactly the
// loose points get a marker, and a second run replaces the markers.
#include <gtest/gtest.h>

#include "module/fittings/fittings_commands.h"
#include "module/fittings/pipe_fittings.h"
#include "tests/module/fittings/pipe_fixture.h"

namespace {

using kivtest::Point3d;

class ValidCheck : public kivtest::PipeSandbox {
 protected:
  static std::vector<Point3d> markers(const std::wstring& layer = L"marl_gps_prompt") {
    std::vector<Point3d> out;
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(layer, L"", ids, nullptr);
    for (cad::ObjectId id : ids) {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (ref) out.push_back(ref->position());
    }
    return out;
  }
  static cad::ObjectId fitting(const Point3d& p) {
    return CreatePipeFitting({geom::Vector3d(1, 0, 0)}, {32}, L"管道", nullptr, p);
  }
};

TEST_F(ValidCheck, MarksExactlyTheLoosePointsOfAFixtureDrawing) {
  // A basin fed from a tub, a second pipe ending at the basin too, a valve on
  // the first pipe and one standing 200 beside it, a lone fitting, a pipe end
  // exactly 30 from a fitting, and two pipes meeting without a fitting.
  pointGj(L"浴盆", L"", {0, 0, 500});
  pointGj(L"洗脸盆", L"", {1000, 0, 500});
  pipe({0, 0, 500}, {1000, 0, 500});
  pipe({1000, 1000, 500}, {1000, 0, 500});
  fitting({1000, 1000, 500});
  pointGj(L"阀门", L"", {500, 5, 500});
  pointGj(L"阀门", L"", {500, 200, 500});
  fitting({5000, 0, 500});
  pipe({6000, 0, 500}, {6970, 0, 500});
  fitting({7000, 0, 500});
  fitting({6000, 0, 500});
  pipe({8000, 0, 500}, {9000, 0, 500});
  pipe({9000, 0, 500}, {9000, 800, 500});
  fitting({8000, 0, 500});
  fitting({9000, 800, 500});

  CmdGPS_ValidCheck();
  auto m = markers();
  std::sort(m.begin(), m.end(), [](const Point3d& a, const Point3d& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  const std::vector<Point3d> expected = {{500, 200, 500}, {5000, 0, 500}, {6970, 0, 500}, {7000, 0, 500},
                                         {9000, 0, 500},  {9000, 0, 500}};
  ASSERT_EQ(m.size(), expected.size());
  for (std::size_t i = 0; i < m.size(); ++i) EXPECT_TRUE(m[i].isEqualTo(expected[i])) << i;

  // A second run replaces the markers; the fittings close the corner.
  CmdGPS_ValidCheck();
  EXPECT_EQ(markers().size(), expected.size());
  cad::ObjectIdArray corner;
  CollectIdsByLayerAndNumber(L"给水管", L"", corner, nullptr);
  GeneratePipeFittings(L"管道", {corner[corner.size() - 2], corner.back()});
  CmdGPS_ValidCheck();
  EXPECT_EQ(markers().size(), 4u);
}

TEST_F(ValidCheck, TheMarkerIsARedWarningTriangleOnItsRedLayer) {
  pipe({0, 0, 0}, {1000, 0, 0});
  CmdGPS_ValidCheck();
  EXPECT_EQ(markers().size(), 2u);
  cad::Database* db = cad::workingDatabase();
  const cad::ObjectId block = db->blockId(L"marl_gps_prompt");
  ASSERT_FALSE(block.isNull());
  cad::ObjectPtr<cad::BlockRecord> rec(block, cad::OpenMode::ForRead);
  ASSERT_TRUE(rec);
  const auto ids = rec->entityIds();
  ASSERT_EQ(ids.size(), 4u);
  cad::ObjectPtr<cad::Polyline> triangle(ids[0], cad::OpenMode::ForRead);
  ASSERT_TRUE(triangle);
  EXPECT_EQ(triangle->numVerts(), 7u);
  EXPECT_EQ(triangle->colorIndex(), 1);
  cad::ObjectPtr<cad::LayerRecord> layer(db->layerId(L"marl_gps_prompt"), cad::OpenMode::ForRead);
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->color(), cad::Color::fromIndex(1));
}

TEST_F(ValidCheck, ElectricalCheckMarksUnwiredLampsAndFreeLineEnds) {
  pointGj(L"配电箱", L"", {0, 0, 1500});
  pointGj(L"点状灯具", L"", {3000, 0, 1500});
  pointGj(L"点状灯具", L"", {3000, 2000, 1500});  // unwired
  pipe({0, 0, 1500}, {1500, 0, 1500}, L"WL1", L"照明导线");
  pipe({1500, 0, 1500}, {3000, 0, 1500}, L"WL1", L"照明导线");  // joined line ends
  pipe({0, 0, 1500}, {0, -900, 1500}, L"WL2", L"照明导线");     // a free end
  CmdDQ_ValidCheck();
  auto m = markers(L"marl_dq_prompt");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_TRUE(m[0].isEqualTo({0, -900, 1500}));
  EXPECT_TRUE(m[1].isEqualTo({3000, 2000, 1500}));
}

}  // namespace
