// Side openings: along a duct at a spacing (positions, rotations,
// elevations, directions), the side figure and its label, and the spacings
// that place nothing.
#include "module/model/side_openings.h"

#include "module/toolkit/xdata.h"
#include "tests/module/model/point_engine_fixture.h"

namespace {

using namespace pointtest;

class SideOpenings : public PointEngines {
 protected:
  void SetUp() override {
    PointEngines::SetUp();
    if (IsSkipped()) return;
    show(L"风口", L"FK1");
  }
  void layOnDuct(cad::ObjectId duct) {
    pick(duct);
    point({0, 0, 0});  // the click that confirms the duct
    push(TokenKind::Escape);
    LaySideOpeningsOnDuct(L"\n选择要布置的管线：", L"送风管");
  }
};

TEST_F(SideOpenings, AlongADuctAtTheSpacing) {
  const double kPi = 3.14159265;
  struct Case {
    const char* what;
    Point3d start, end;
    std::vector<double> offsets;  // from the start along the duct
    double rotation;
    std::vector<double> elevations;
  } cases[] = {
      {"along +X", {0, 0, 2800}, {10000, 0, 2800}, {1250, 3750, 6250, 8750}, kPi, {2800, 2800, 2800, 2800}},
      {"along -X", {10000, 0, 2800}, {0, 0, 2800}, {1250, 3750, 6250, 8750}, 0, {2800, 2800, 2800, 2800}},
      {"along +Y, rising", {0, 0, 2800}, {0, 10000, 3800}, {1250, 3750, 6250, 8750}, kPi / 2,
       {2925, 3175, 3425, 3675}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const cad::ObjectId duct = run(L"送风管", L"SF1", c.start, c.end);
    layOnDuct(duct);
    const auto got = placed(L"风口");
    ASSERT_EQ(got.size(), c.offsets.size());
    const geom::Vector3d u = (geom::Point3d(c.end.x, c.end.y, 0) - geom::Point3d(c.start.x, c.start.y, 0)).normal();
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i].position.x, c.start.x + u.x * c.offsets[i], 1e-6);
      EXPECT_NEAR(got[i].position.y, c.start.y + u.y * c.offsets[i], 1e-6);
      EXPECT_NEAR(got[i].rotation, c.rotation, 1e-6);
      EXPECT_NEAR(got[i].elevation, c.elevations[i], 0.05);
    }
    if (c.start.z == c.end.z) {
      EXPECT_NEAR(got[0].direction.x, u.x, 0.05);
    }
    EXPECT_FALSE(suiteWindowOpen());
    EXPECT_EQ(openTransactions(), 0);
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) EraseEntity(id);
  }
}

TEST_F(SideOpenings, SpacingsThatPlaceNothing) {
  const cad::ObjectId duct = run(L"送风管", L"SF1", {0, 0, 2800}, {10000, 0, 2800});
  const int before = entityCount();
  for (double spacing : {20000.0, 0.0, -2500.0}) {
    typeInWindow(spacing);
    layOnDuct(duct);
    EXPECT_EQ(entityCount(), before) << spacing;
  }
  EXPECT_NE(ed::transcript().find(L"风口间距必须大于0"), std::wstring::npos);
}

TEST_F(SideOpenings, OpeningSideStandsItsFigureUpWithTheLabelAbove) {
  point({1000, 1000, 0});
  push(TokenKind::Escape);
  LaySideOpening();
  const auto got = placed(L"风口");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].elevation, 3000) << "底标高=层高 of the first floor";
  const std::wstring handle = GetHandleText(got[0].id);
  int figures = 0;
  double labelY = 0, figureTop = -1e300;
  for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    if (!e) continue;
    const std::wstring layer = e->layer();
    cad::Extents3d ext;
    e->getGeomExtents(ext);
    if (auto* t = dynamic_cast<cad::Text*>(e.get()); t && layer == L"风口名" && t->height() == 80) {
      labelY = t->alignmentPoint().y;
      continue;
    }
    if (layer != L"风口边线") continue;
    e.close();
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    ASSERT_FALSE(attrs.empty());
    EXPECT_EQ(attrs[0], handle);
    // Stood up: the figure is 150 high in z and flat in y.
    EXPECT_NEAR(ext.maxPoint.z - ext.minPoint.z, 150, 1e-6);
    EXPECT_NEAR(ext.maxPoint.y - ext.minPoint.y, 0, 1e-6);
    figureTop = std::max(figureTop, ext.maxPoint.y);
    ++figures;
  }
  EXPECT_EQ(figures, 1);
  EXPECT_NEAR(labelY, figureTop + 50, 1e-6);
}

}  // namespace
