// The full pass, the refresh of the twins and the swept meshes.
#include "module/solid3d/twins.h"

#include "module/model/seams.h"
#include "module/solid3d/swept_meshes.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/hostcmd.h"
#include "platform/solid/body.h"
#include "tests/module/solid3d/solid3d_fixture.h"

namespace {

using namespace s3dtest;

class TwinsTest : public SolidDrawingTest {
 protected:
  void SetUp() override {
    SolidDrawingTest::SetUp();
    g_solidMode = SolidMode::Floor3d;
  }
  void TearDown() override {
    g_solidMode = SolidMode::Plan;
    SolidDrawingTest::TearDown();
  }
  cad::ObjectId elbow(double x) { return fitting({x, 0, 0}, {L"1,0,0,50", L"0,1,0,50"}); }
};

TEST_F(TwinsTest, RefreshReplacesTheTwinOnlyInTheOneFloorView) {
  cad::ObjectId f = elbow(0);
  // The seam the layout and fitting commands call is ours once the module is loaded.
  RefreshSolid3dOfEntity(L"管道弯头", f, nullptr);
  Seams().refreshSolid3dOfEntity(L"管道弯头", f, nullptr);
  cad::ObjectIdArray twins = twinsOn(L"管道弯头");
  ASSERT_EQ(twins.size(), 1u);
  EXPECT_EQ(TwinKey(twins[0]), GetHandleText(f));
  StringArray attrs;
  std::wstring number;
  GetGjNumberAndAttrs(twins[0], number, attrs);
  EXPECT_EQ(number, L"F");
  EXPECT_EQ(attrs.size(), 1u);  // the key only, no 主键
  // In the all-floors view and back in 2D the refresh does nothing.
  for (SolidMode mode : {kSolidAllFloors3d, SolidMode::BackToPlan}) {
    g_solidMode = mode;
    RefreshSolid3dOfEntity(L"管道弯头", elbow(100), nullptr);
    EXPECT_EQ(twinsOn(L"管道弯头").size(), 1u);
  }
  // A type outside the table builds nothing.
  g_solidMode = SolidMode::Floor3d;
  RefreshSolid3dOfEntity(L"墙", f, nullptr);
  EXPECT_EQ(twinsOn(L"墙").size(), 0u);
  EXPECT_FALSE(HasSolidPass(L"墙"));
}

TEST_F(TwinsTest, ALockedTwinLayerStaysLockedAndStaleTwinsGo) {
  cad::ObjectId a = elbow(0), b = elbow(500);
  RefreshSolid3dOfType(L"管道弯头", {a, b}, nullptr);
  ASSERT_EQ(twinsOn(L"管道弯头").size(), 2u);
  setLayerFlag(L"管道弯头3D", false, false, true);
  // b is erased by some command; the next refresh of the type takes its twin away.
  ASSERT_EQ(EraseEntity(b), cad::Status::Ok);
  RefreshSolid3dOfEntity(L"管道弯头", a, nullptr);
  cad::ObjectIdArray twins = twinsOn(L"管道弯头");
  ASSERT_EQ(twins.size(), 1u);
  EXPECT_EQ(TwinKey(twins[0]), GetHandleText(a));
  bool locked = false;
  ASSERT_TRUE(GetLayerFlags(L"管道弯头3D", nullptr, nullptr, &locked, nullptr));
  EXPECT_TRUE(locked);
}

// The host's ERASE of a component in the one-floor view takes its twin with
// it at the command's end; in the other views twins are left alone.
TEST_F(TwinsTest, ErasingAComponentTakesItsTwinWithIt) {
  cad::ObjectId a = elbow(0), b = elbow(500), c = elbow(1000);
  RefreshSolid3dOfType(L"管道弯头", {a, b, c}, nullptr);
  ASSERT_EQ(twinsOn(L"管道弯头").size(), 3u);
  setLayerFlag(L"管道弯头3D", false, false, true);
  WatchErasedComponents();
  feed({pickHandle(b), token(ed::TokenKind::Enter)});
  ASSERT_EQ(ed::command({L"ERASE"}), ed::kNormal);
  cad::ObjectIdArray twins = twinsOn(L"管道弯头");
  ASSERT_EQ(twins.size(), 2u);
  EXPECT_EQ(TwinKey(twins[0]), GetHandleText(a));
  EXPECT_EQ(TwinKey(twins[1]), GetHandleText(c));
  bool locked = false;
  GetLayerFlags(L"管道弯头3D", nullptr, nullptr, &locked, nullptr);
  EXPECT_TRUE(locked);
  // Back in 2D an erase leaves the twins as they are.
  g_solidMode = SolidMode::BackToPlan;
  feed({pickHandle(c), token(ed::TokenKind::Enter)});
  ASSERT_EQ(ed::command({L"ERASE"}), ed::kNormal);
  EXPECT_EQ(twinsOn(L"管道弯头").size(), 2u);
}

TEST_F(TwinsTest, AFailingBodyOperationNamesTheComponentOnceAndTheRestIsBuilt) {
  cad::ObjectId a = fitting({0, 0, 0}, {L"1,0,0,50", L"-1,0,0,50", L"0,1,0,32"}, L"管道三通");
  cad::ObjectId b = fitting({500, 0, 0}, {L"1,0,0,50", L"-1,0,0,50", L"0,1,0,32"}, L"管道三通");
  cad::ObjectId hidden = fitting({900, 0, 0}, {L"1,0,0,50"}, L"管道三通");
  SetEntityVisible(hidden, 0);
  solid::FailNextOperations(1);
  const size_t mark = ed::transcriptMark();
  BuildSolidsOfTypes({}, {a, b, hidden}, nullptr);
  solid::FailNextOperations(0);
  const std::wstring said = ed::transcriptSince(mark);
  EXPECT_NE(said.find(GetHandleText(a)), std::wstring::npos) << testing::PrintToString(said);
  EXPECT_EQ(said.find(GetHandleText(b)), std::wstring::npos);
  cad::ObjectIdArray twins = twinsOn(L"管道三通");
  ASSERT_EQ(twins.size(), 1u);
  EXPECT_EQ(TwinKey(twins[0]), GetHandleText(b));
}

TEST_F(TwinsTest, FullPassSortsByLayerAndSkipsOtherLayers) {
  cad::ObjectId f = elbow(0);
  cad::ObjectId stray = line(0, 0, 100, 0, L"墙");
  primary(stray, L"Q1");
  BuildSolidsOfTypes({L"管道弯头", L"墙"}, {}, nullptr);
  EXPECT_EQ(twinsOn(L"管道弯头").size(), 1u);
  EXPECT_TRUE(db().layerId(L"墙3D").isNull());
  // An empty bucket makes no twin layer.
  EXPECT_TRUE(db().layerId(L"管道四通3D").isNull());
  (void)f;
}

class SweptMeshTest : public SolidDrawingTest {};

TEST_F(SweptMeshTest, RectangularDuctIsTwoRowsOfItsSection) {
  cad::ObjectId duct = run({0, 0, 0}, {3000, 0, 0}, 2800, 2800, L"SF1", L"送风管");
  TypeRows rows;
  rows.coords = {L"SF1=-200,-100|200,-100|200,100|-200,100"};
  TwinList out;
  ASSERT_EQ(MakeSweptSectionMesh(L"送风管", duct, rows, out), L"");
  auto* m = dynamic_cast<cad::PolygonMesh*>(out.at(0).get());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->mSize(), 2);
  EXPECT_EQ(m->nSize(), 4);
  // Each row stands across the duct: one x per row, 400 wide and 200 high about 2800.
  double zmin = 1e9, zmax = -1e9, ymin = 1e9, ymax = -1e9;
  for (int i = 0; i < 4; ++i) {
    const Point3d& p = m->vertices()[std::size_t(i)];
    EXPECT_NEAR(p.x, 0, 1e-9);
    zmin = std::min(zmin, p.z), zmax = std::max(zmax, p.z), ymin = std::min(ymin, p.y), ymax = std::max(ymax, p.y);
  }
  EXPECT_NEAR(zmax - zmin + ymax - ymin, 600, 1e-6);
  EXPECT_NEAR((zmax + zmin) / 2, 2800, 1e-6);
  // A run 0.9 long gets nothing.
  out.clear();
  EXPECT_EQ(MakeSweptSectionMesh(L"送风管", run({0, 0, 0}, {0.9, 0, 0}, 0, 0, L"SF1", L"送风管"), rows, out), L"");
  EXPECT_TRUE(out.empty());
}

TEST_F(SweptMeshTest, ArcTrayRowsAndRiserPrism) {
  TypeRows rows;
  rows.coords = {L"QJ1=-100,0|100,0|100,50|-100,50"};
  // A quarter circle: one row per 3.75 degrees plus the ends.
  cad::ObjectId tray = run({0, 0, 0}, {1000, 1000, 0}, 3000, 3000, L"QJ1", L"桥架", std::tan(M_PI / 8));
  TwinList out;
  ASSERT_EQ(MakeSweptSectionMesh(L"桥架", tray, rows, out), L"");
  EXPECT_EQ(dynamic_cast<cad::PolygonMesh&>(*out.at(0)).mSize(), 25);
  // A riser from 3000 down to 1000: rows at 1000 and 3000.
  cad::ObjectId riser = blockRef({0, 0, 0}, L"桥架");
  primary(riser, L"QJ1");
  std::wstring kind = L"立管";
  double z1 = 3000, z2 = 1000;
  ASSERT_TRUE(SetGjSpecial(nullptr, &kind, riser, &z1, &z2));
  out.clear();
  ASSERT_EQ(MakeSweptSectionMesh(L"桥架", riser, rows, out), L"");
  auto& m = dynamic_cast<cad::PolygonMesh&>(*out.at(0));
  ASSERT_EQ(m.mSize(), 2);
  EXPECT_NEAR(m.vertices()[0].z, 1000, 1e-9);
  EXPECT_NEAR(m.vertices()[4].z, 3000, 1e-9);
}

TEST_F(SweptMeshTest, WireInConduitDrawsItsWiresAcrossATenthOfTheConduit) {
  cad::ObjectId run1 = run({0, 0, 0}, {3000, 0, 0}, 0, 0, L"BV1", L"导线·导管");
  TypeRows rows;
  rows.coords = {L"BV1=-10,-10|10,-10|10,10|-10,10"};
  rows.params = {L"BV1=导线根数=3\r\n导管规格(mm)=20"};
  TwinList out;
  ASSERT_EQ(MakeWireInConduitMeshes(L"导线·导管", run1, rows, out), L"");
  ASSERT_EQ(out.size(), 4u);
  std::vector<double> offsets;
  for (std::size_t i = 1; i < 4; ++i) {
    auto& w = dynamic_cast<cad::Polyline3d&>(*out[i]);
    offsets.push_back(w.vertices().front().y);
    EXPECT_EQ(w.color().rgb(), (cad::Rgb{255, 0, 0}));
  }
  EXPECT_NEAR(offsets[0], -0.5, 1e-9);
  EXPECT_NEAR(offsets[1], 0, 1e-9);
  EXPECT_NEAR(offsets[2], 0.5, 1e-9);
  rows.params = {L"BV1=导线根数=0"};
  out.clear();
  MakeWireInConduitMeshes(L"导线·导管", run1, rows, out);
  EXPECT_EQ(out.size(), 1u);
}

}  // namespace
