// The shape description interpreter and the body helpers under it.
#include "module/solid3d/shape_solids.h"

#include <cmath>

#include "module/solid3d/body_helpers.h"
#include "platform/editor/cmdline.h"
#include "tests/module/solid3d/solid3d_fixture.h"

namespace {

using namespace s3dtest;

double volumeOf(const TwinList& out) {
  for (const auto& e : out)
    if (auto* b = dynamic_cast<const cad::Body3d*>(e.get())) return b->body().volume();
  return 0;
}

class ShapeTest : public SolidDrawingTest {
 protected:
  std::wstring run(const std::wstring& description, TwinList& out) {
    return InterpretShapeDescription(description, L"X1", L"2A", out);
  }
};

TEST_F(ShapeTest, RowsBuildBodiesAndFlatEntities) {
  struct Case {
    const char* name;
    std::wstring rows;
    std::size_t entities;
    double volume;
  } cases[] = {
      {"no guard", L"0,0,0|100|100|100..矩形", 0, 0},
      {"guard 0", L"0..高\r\n0,0,0|100|100|100..矩形", 0, 0},
      {"box", L"1200..高\r\n0,0,0|100|200|300..矩形", 1, 100.0 * 200 * 300},
      {"box less box", L"1200..高\r\n0,0,0|100|100|100..矩形\r\n0,0,0|50|100|100..矩形差集", 1, 0.5e6},
      {"subtraction first has no effect", L"1..高\r\n0,0,0|100|100|100..矩形差集", 1, 1e6},
      {"cylinder", L"1..高\r\n0,0,0|50|50|100..圆形", 1, M_PI * 2500 * 100},
      {"dome", L"1..高\r\n0,0,0|300|100..球缺", 1, M_PI * 100 * 100 * (1500 - 100) / 3},
      {"tapered prism", L"1..高\r\n-50,-50|50,-50|50,50|-50,50||0,0,0|100|0|0..截面", 1, 1e6},
      {"section without double bar", L"1..高\r\n0,0,0|100|0|0..截面", 0, 0},
      {"loft", L"1..高\r\n-50,-50|50,-50|50,50|-50,50||-50,-50|50,-50|50,50|-50,50||0,0,0|100..切面", 1, 1e6},
      {"outline and hatch", L"1..高\r\n0,0,0|0,0|100,0|100,100..平面,填充=ansi31", 2, 0},
      {"circle swept", L"1..高\r\n0,0,0|1000,0,0||0,0,0|10..圆面", 1, M_PI * 100 * 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TwinList out;
    EXPECT_EQ(run(c.rows, out), L"");
    EXPECT_EQ(out.size(), c.entities);
    if (c.volume > 0) {
      EXPECT_NEAR(volumeOf(out), c.volume, c.volume * 0.01);
    }
  }
}

TEST_F(ShapeTest, OptionsOfFlatRows) {
  TwinList out;
  ASSERT_EQ(run(L"1..高\r\n0,0,0|0,0|100,0|100,100..平面,线宽=2,填充=ansi31", out), L"");
  ASSERT_EQ(out.size(), 2u);
  auto* pl = dynamic_cast<cad::Polyline*>(out[0].get());
  ASSERT_NE(pl, nullptr);
  double w = -1;
  ASSERT_EQ(pl->getConstantWidth(w), cad::Status::Ok);
  EXPECT_DOUBLE_EQ(w, 10);
  auto* h = dynamic_cast<cad::Hatch*>(out[1].get());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->patternName(), L"ANSI31");
  out.clear();
  ASSERT_EQ(run(L"1..高\r\n0,0,0|0,0|100,0|100,100..平面,线宽=1,填充", out), L"");
  ASSERT_EQ(dynamic_cast<cad::Polyline*>(out[0].get())->getConstantWidth(w), cad::Status::Ok);
  EXPECT_DOUBLE_EQ(w, 0);
  EXPECT_EQ(dynamic_cast<cad::Hatch*>(out[1].get())->patternName(), L"SOLID");
}

TEST_F(ShapeTest, RotationPrefixTurnsTheRowAboutItsBasePoint) {
  TwinList out;
  ASSERT_EQ(run(L"1..高\r\n0,0,1:1.570796325!!500,0,0|200|100|50..矩形", out), L"");
  cad::Extents3d e;
  ASSERT_EQ(out.at(0)->getGeomExtents(e), cad::Status::Ok);
  EXPECT_NEAR(e.minPoint.x, 450, 0.01);
  EXPECT_NEAR(e.maxPoint.x, 550, 0.01);
  EXPECT_NEAR(e.maxPoint.y, 100, 0.01);
}

// A row that does not parse, or a sweep of zero radius: the component gets
// no twin, the reason comes back and the message is printed.
TEST_F(ShapeTest, BadRowsLeaveTheComponentWithoutATwin) {
  struct Case {
    std::wstring rows;
    const wchar_t* printed;
  } cases[] = {
      {L"1..高\r\n0,0,0|1000,0,0||0,0,0..圆面", L"参数不足"},
      {L"1..高\r\n0,0,0|1000,0,0||0,0,0|0..圆面", L"圆半径不能为零"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.rows));
    const size_t mark = ed::transcriptMark();
    TwinList out;
    EXPECT_NE(run(c.rows, out), L"");
    EXPECT_TRUE(out.empty());
    EXPECT_NE(ed::transcriptSince(mark).find(c.printed), std::wstring::npos);
  }
}

// A row with too few values, or a base point of fewer than three, is named
// and skipped: the rows before and after it still make the body.
TEST_F(ShapeTest, ShortRowsAreSkippedWithTheirMessage) {
  struct Case {
    const char* name;
    std::wstring rows;
    double volume;  // 0: no body
  } cases[] = {
      {"box base of two values", L"1..高\r\n0,0,0|100|100|100..矩形\r\n0,0|100|100|100..矩形", 1e6},
      {"cone of three parts", L"1..高\r\n0,0,0|100|100..圆形", 0},
      {"short row between two boxes",
       L"1..高\r\n0,0,0|100|100|100..矩形\r\n0,0,0|50|50..矩形\r\n0,0,100|100|100|100..矩形", 2e6},
      {"dome of two parts first", L"1..高\r\n0,0,0|300..球缺\r\n0,0,0|100|100|100..矩形", 1e6},
      {"loft base of two values",
       L"1..高\r\n0,0|10,0|10,10||0,0|10,0|10,10||0,0|100..切面\r\n0,0,0|100|100|100..矩形", 1e6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t mark = ed::transcriptMark();
    TwinList out;
    EXPECT_EQ(run(c.rows, out), L"");
    EXPECT_EQ(out.size(), c.volume > 0 ? 1u : 0u);
    EXPECT_NEAR(volumeOf(out), c.volume, c.volume * 1e-6);
    EXPECT_NE(ed::transcriptSince(mark).find(L"参数不够!"), std::wstring::npos);
  }
}

TEST_F(ShapeTest, PlacementTiltsByTheRotationVector) {
  cad::ObjectId id = blockRef({1000, 0, 0}, L"配电箱");
  double elev = 1200;
  Vector3d up(0, 0, 1);
  ASSERT_TRUE(SetPointGjSpecial(nullptr, id, &elev, &up));
  geom::Matrix3d m = ShapePlacement(id, geom::Matrix3d::translation({1000, 0, 0}), 0, {1000, 0, 0});
  // A point 100 up in the local frame leans over by a quarter turn, then rises to 1200.
  Point3d p = m * Point3d(0, 0, 100);
  EXPECT_NEAR(std::hypot(p.x - 1000, p.y), 100, 1e-6);
  EXPECT_NEAR(p.z, 1200, 1e-6);
  Vector3d flat(1, 0, 0);
  ASSERT_TRUE(SetPointGjSpecial(nullptr, id, &elev, &flat));
  p = ShapePlacement(id, geom::Matrix3d::translation({1000, 0, 0}), 0, {1000, 0, 0}) * Point3d(0, 0, 100);
  EXPECT_NEAR(p.x, 1000, 1e-6);
  EXPECT_NEAR(p.z, 1300, 1e-6);
  // A reference inserted at its elevation (z 1200) stands at 1200 all the same, not at twice it.
  for (Vector3d v : {flat, up}) {
    ASSERT_TRUE(SetPointGjSpecial(nullptr, id, &elev, &v));
    const Point3d at(1000, 0, 1200);
    p = ShapePlacement(id, geom::Matrix3d::translation(at.asVector()), 0, at) * Point3d(0, 0, 0);
    EXPECT_NEAR(p.x, 1000, 1e-6);
    EXPECT_NEAR(p.z, 1200, 1e-6);
  }
}

TEST(BodyHelpers, DomeMorphingMapAndRetries) {
  solid::Body dome = MakeDomeBody({0, 0, 0}, 300, 100);
  geom::Point3d lo, hi;
  ASSERT_TRUE(dome.extents(lo, hi));
  EXPECT_NEAR(hi.z, 100, 0.01);
  EXPECT_NEAR(hi.x, 300, 0.5);
  EXPECT_TRUE(MakeDomeBody({0, 0, 0}, 300, 0).isNull());
  EXPECT_TRUE(MakeConeBody({0, 0, 0}, 5, 5, 0).isNull());
  solid::MorphingMap map = MakeEdgeMorphingMap(4, 6);
  std::vector<int> from;
  for (auto [i, j] : map.pairs) from.push_back(i);
  EXPECT_EQ(from, (std::vector<int>{0, 1, 2, 3, 3, 3}));
  // The modeller fails five times: the sixth, nudged, try unites.
  solid::Body a = MakeConeBody({0, 0, 0}, 50, 50, 100), b = MakeConeBody({0, 0, 50}, 50, 50, 100);
  solid::FailNextOperations(5);
  EXPECT_TRUE(CombineBodiesWithRetry(a, b, BodyOp::Union));
  EXPECT_GT(a.volume(), M_PI * 2500 * 140);
  // It fails every time: the first body stays as it was, with the message.
  solid::Body c = MakeConeBody({0, 0, 0}, 50, 50, 100);
  const size_t mark = ed::transcriptMark();
  solid::FailNextOperations(24);
  EXPECT_FALSE(CombineBodiesWithRetry(c, b, BodyOp::Union));
  solid::FailNextOperations(0);
  EXPECT_NEAR(c.volume(), M_PI * 2500 * 100, 1);
  EXPECT_NE(ed::transcriptSince(mark).find(L"集合计算!"), std::wstring::npos);
}

}  // namespace
