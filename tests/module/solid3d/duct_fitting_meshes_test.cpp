// Duct-fitting meshes made from geometry records.
#include "module/solid3d/duct_fitting_meshes.h"

#include <cmath>

#include "platform/cad/entities.h"
#include "tests/module/solid3d/solid3d_fixture.h"

namespace {

using namespace s3dtest;
using cad::TypedValue;
using cad::ValueChain;

TypedValue P(double x, double y, double z = 0) { return TypedValue{10, Point3d(x, y, z)}; }
TypedValue R(double v) { return TypedValue{40, v}; }
TypedValue I(int v) { return TypedValue{90, std::int64_t(v)}; }

const cad::PolygonMesh& mesh(const TwinList& out, std::size_t i) {
  return dynamic_cast<const cad::PolygonMesh&>(*out.at(i));
}
Point3d at(const cad::PolygonMesh& m, int row, int col) { return m.vertices()[std::size_t(row * m.nSize() + col)]; }

void expectPoint(const Point3d& p, double x, double y, double z) {
  EXPECT_NEAR(p.x, x, 0.01);
  EXPECT_NEAR(p.y, y, 0.01);
  EXPECT_NEAR(p.z, z, 0.01);
}

TEST(DuctFittingMeshes, RiserElbowBelowADuct) {
  // Riser at (0,0) below a duct along +x at 3000, section 400 x 250.
  ValueChain rec{P(0, 0, 3000), P(1000, 0, 3000), R(0), P(0, 0, 3000), P(1, 0), R(400), R(400),
                 R(250),        R(250),          R(0), I(1),          R(3000)};
  TwinList out;
  ASSERT_EQ(MakeDuctFittingMeshes(L"弯头", rec, 0, out), L"");
  ASSERT_EQ(out.size(), 1u);
  const auto& m = mesh(out, 0);
  ASSERT_EQ(m.mSize(), 5);
  ASSERT_EQ(m.nSize(), 16);
  // Inner arc from (250, 2875) to (125, 2750); the first row at y = -200.
  expectPoint(at(m, 0, 0), 250, -200, 2875);
  expectPoint(at(m, 0, 15), 125, -200, 2750);
  expectPoint(at(m, 1, 0), 250, 200, 2875);
  // Outer arc from (250, 3125) to (-125, 2750).
  expectPoint(at(m, 2, 0), 250, 200, 3125);
  expectPoint(at(m, 2, 15), -125, 200, 2750);
  // In the all-floors model a storey is raised by its base elevation.
  out.clear();
  MakeDuctFittingMeshes(L"弯头", rec, 3600, out);
  expectPoint(at(mesh(out, 0), 0, 0), 250, -200, 6475);
}

TEST(DuctFittingMeshes, TeeWallsAndTheThirdEndsOwnHeight) {
  ValueChain rec{P(0, -1), P(-1, 0), P(1, 0), R(300), R(400), R(500), R(200), R(300), R(100),
                 P(0, 600), P(600, 0), P(-600, 0), R(0.4142), I(0)};
  TwinList out;
  ASSERT_EQ(MakeDuctFittingMeshes(L"三通", rec, 0, out), L"");
  ASSERT_EQ(out.size(), 5u);
  expectPoint(at(mesh(out, 0), 0, 0), 150, 600, 100);
  expectPoint(at(mesh(out, 0), 0, 1), 600, 200, 150);
  expectPoint(at(mesh(out, 1), 0, 0), 600, -200, 150);
  // The third end has its own height (item 9): 100.
  expectPoint(at(mesh(out, 1), 0, 1), -600, -250, 50);
  expectPoint(at(mesh(out, 2), 0, 1), -150, 600, 100);
  EXPECT_EQ(mesh(out, 3).mSize(), 3);
  EXPECT_EQ(mesh(out, 4).nSize(), 2);
  // A short record gives nothing and says so.
  rec.pop_back();
  out.clear();
  EXPECT_NE(MakeDuctFittingMeshes(L"三通", rec, 0, out), L"");
  EXPECT_TRUE(out.empty());
}

TEST(DuctFittingMeshes, CrossArcsAndTop) {
  ValueChain rec{P(-1000, 0), P(1000, 0), P(0, 1000), P(0, -1000), R(0), R(0), R(std::tan(M_PI / 8)),
                 R(400),      R(300),     R(200),      R(200)};
  TwinList out;
  ASSERT_EQ(MakeDuctFittingMeshes(L"四通", rec, 0, out), L"");
  ASSERT_EQ(out.size(), 6u);
  expectPoint(at(mesh(out, 0), 0, 0), -1000, 200, 100);
  expectPoint(at(mesh(out, 0), 0, 15), -150, 1000, 100);
  expectPoint(at(mesh(out, 1), 0, 15), 1000, 200, 100);
  expectPoint(at(mesh(out, 3), 0, 0), -150, -1000, 100);
  const auto& top = mesh(out, 4);
  ASSERT_EQ(top.nSize(), 32);
  expectPoint(at(top, 0, 0), -1000, 200, 100);
  expectPoint(at(top, 0, 31), 1000, 200, 100);
  expectPoint(at(top, 1, 0), -1000, -200, 100);
  expectPoint(at(top, 1, 31), 1000, -200, 100);
}

TEST(DuctFittingMeshes, OffsetBendInflexionAndConcentricArcs) {
  ValueChain rec{P(0, 0), P(2000, 500), P(1, 0), P(1, 0), R(400), R(400), R(300), R(300), R(0.414)};
  TwinList out;
  ASSERT_EQ(MakeDuctFittingMeshes(L"来回弯", rec, 0, out), L"");
  ASSERT_EQ(out.size(), 4u);
  const auto& wall = mesh(out, 0);
  ASSERT_EQ(wall.nSize(), 32);
  // Side 1 runs from B+ = (2000,700) to A+ = (0,200) through M1 twice.
  expectPoint(at(wall, 0, 0), 2000, 700, 150);
  expectPoint(at(wall, 0, 15), 905.88, 426.47, 150);
  expectPoint(at(wall, 0, 16), 905.88, 426.47, 150);
  expectPoint(at(wall, 0, 31), 0, 200, 150);
  // The P1 end's arcs are concentric about (0, 2125): radii 1925 and 2325.
  const auto& bottom = mesh(out, 1);
  Point3d outer = at(bottom, 0, 24), inner = at(bottom, 1, 24);
  EXPECT_NEAR(std::hypot(outer.x, outer.y - 2125), 1925, 0.5);
  EXPECT_NEAR(std::hypot(inner.x, inner.y - 2125), 2325, 0.5);
  // No lateral offset: nothing, with a reason.
  ValueChain straight{P(0, 0), P(2000, 0), P(1, 0), P(1, 0), R(400), R(400), R(300), R(300), R(0.414)};
  out.clear();
  EXPECT_NE(MakeDuctFittingMeshes(L"来回弯", straight, 0, out), L"");
  EXPECT_TRUE(out.empty());
}

TEST(DuctFittingMeshes, BendFallsFromOneHeightToTheOther) {
  const double a = 3.14159265 - 1.570796325;
  ValueChain rec{P(0, -600), P(600, 0), R(a), P(0, 1), P(1, 0), R(400), R(400), R(300), R(200), R(0), I(0), R(0)};
  TwinList out;
  ASSERT_EQ(MakeDuctFittingMeshes(L"弯头", rec, 0, out), L"");
  const auto& m = mesh(out, 0);
  ASSERT_EQ(m.mSize(), 5);
  EXPECT_NEAR(at(m, 0, 0).z, 150, 1e-9);
  EXPECT_NEAR(at(m, 0, 1).z, 150 - 10.0 / 3, 1e-9);
  EXPECT_NEAR(at(m, 0, 15).z, 100, 1e-9);
  EXPECT_NEAR(at(m, 1, 0).z, -150, 1e-9);
  expectPoint(at(m, 4, 3), at(m, 0, 3).x, at(m, 0, 3).y, at(m, 0, 3).z);
}

class DuctFittingPass : public SolidDrawingTest {};

// A fitting without a record is named and skipped; the next one is built.
TEST_F(DuctFittingPass, AFittingWithoutARecordDoesNotStopThePass) {
  cad::ObjectId bad = blockRef({0, 0, 0}, L"大小头");
  primary(bad, L"D1");
  cad::ObjectId good = blockRef({0, 0, 0}, L"大小头");
  primary(good, L"D2");
  {
    cad::ObjectPtr<cad::Entity> e(good, cad::OpenMode::ForWrite);
    ASSERT_EQ(e->createExtensionDictionary(), cad::Status::Ok);
    cad::ObjectPtr<cad::Dictionary> d(e->extensionDictionary(), cad::OpenMode::ForWrite);
    auto x = std::make_unique<cad::Xrecord>();
    x->setFromRbChain({P(0, 0), P(1000, 0), P(1, 0), P(1, 0), R(400), R(300), R(200), R(200)});
    ASSERT_EQ(d->setAt(L"大小头", std::move(x)), cad::Status::Ok);
  }
  const size_t mark = ed::transcriptMark();
  BuildDuctFittingSolids(L"大小头", {bad, good});
  EXPECT_NE(ed::transcriptSince(mark).find(L"D1"), std::wstring::npos);
  cad::ObjectIdArray twins = twinsOn(L"大小头");
  ASSERT_EQ(twins.size(), 1u);
  EXPECT_EQ(TwinKey(twins[0]), GetHandleText(good));
}

}  // namespace
