// Point components along a picked or drawn line or arc: positions along the
// curve, the edge distance, the first segment of a polyline, curves drawn
// with "D" that leave nothing behind.
#include "module/model/line_points_gj.h"

#include <numbers>

#include "module/toolkit/entities.h"
#include "tests/module/model/point_engine_fixture.h"

namespace {

using namespace pointtest;
using namespace palette_ids;

class AlongLine : public PointEngines {
 protected:
  // Appended and closed, as a drawing holds it.
  cad::ObjectId append(std::unique_ptr<cad::Entity> e) {
    cad::Entity* raw = e.release();
    const cad::ObjectId id = AppendToModelSpace(raw, L"0", nullptr);
    if (!id.isNull()) raw->close();
    return id;
  }
};

TEST_F(AlongLine, SevenPointsAlongA6000Arc) {
  // A quarter circle 6000 long about the origin, from +X to +Y.
  const double r = 6000 / (std::numbers::pi / 2);
  const cad::ObjectId arc = append(std::make_unique<cad::Arc>(Point3d(0, 0, 0), r, 0, std::numbers::pi / 2));
  typeInto(kLineCount, L"7");
  pick(arc);
  push(TokenKind::Escape);
  LayPointGjOnLine(L"沿线布灯");
  const auto got = placed(L"灯具");
  ASSERT_EQ(got.size(), 7u) << testing::PrintToString(ed::transcript());
  for (int i = 0; i < 7; ++i) {
    const double a = i * 1000 / r;
    EXPECT_NEAR(got[size_t(i)].position.x, r * std::cos(a), 0.01) << i;
    EXPECT_NEAR(got[size_t(i)].position.y, r * std::sin(a), 0.01) << i;
    EXPECT_EQ(got[size_t(i)].rotation, 0) << "components keep the palette's angle";
    EXPECT_EQ(got[size_t(i)].elevation, 2800);
  }
  EXPECT_EQ(g_dlgLine, nullptr);
  EXPECT_EQ(openTransactions(), 0);
}

TEST_F(AlongLine, EdgeDistanceAndCount) {
  struct Case {
    const wchar_t* count;
    const wchar_t* edge;
    std::vector<double> xs;
    bool refused;
  } cases[] = {
      {L"5", L"500", {500, 2750, 5000, 7250, 9500}, false},
      {L"1", L"500", {500}, false},
      {L"1", L"0", {0}, false},
      {L"1", L"5000", {5000}, false},
      {L"1", L"5001", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.count) + L"/" + c.edge));
    ui::clearMessageBoxLog();
    const cad::ObjectId line = append(std::make_unique<cad::Line>(Point3d(0, 0, 0), Point3d(10000, 0, 0)));
    typeInto(kLineCount, c.count);
    typeInto(kLineEdge, c.edge);
    pick(line);
    push(TokenKind::Escape);
    LayPointGjOnLine(L"沿线布灯");
    const auto got = placed(L"灯具");
    ASSERT_EQ(got.size(), c.xs.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i].position.x, c.xs[i], 1e-6);
    EXPECT_EQ(messageShown(kLineMarginTooLarge), c.refused);
    for (const auto& p : got) EraseEntity(p.id);
    EraseEntity(line);
  }
}

TEST_F(AlongLine, PolylineUsesItsFirstSegmentAndDrawnLinesVanish) {
  const cad::ObjectId pl = AddPolyline({{0, 0, 0}, {4000, 0, 0}, {4000, 9000, 0}}, {0, 0, 0}, false, 0, L"0", nullptr);
  typeInto(kLineCount, L"3");
  pick(pl);
  // "D": a line drawn from (0,10000) to (2000,10000).
  word(L"d");
  point({0, 10000, 0});
  point({2000, 10000, 0});
  push(TokenKind::Escape);
  const int before = entityCount();
  LayPointGjOnLine(L"沿线布灯");
  EXPECT_TRUE(messageShown(kLineOnlyFirstSegment));
  const auto got = placed(L"灯具");
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].position, Point3d(0, 0, 0));
  EXPECT_EQ(got[2].position, Point3d(4000, 0, 0));
  EXPECT_EQ(got[4].position, Point3d(1000, 10000, 0));
  // Six blocks and their labels; the drawn line is gone.
  int lines = 0;
  for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities())
    if (cad::ObjectPtr<cad::Line> l(id, cad::OpenMode::ForRead); l) ++lines;
  EXPECT_EQ(lines, 0);
  EXPECT_GT(entityCount(), before);
}

TEST_F(AlongLine, PickingSomethingElseLaysNothingAndEnterEnds) {
  const cad::ObjectId text = AddText({0, 0, 0}, L"X", 100, 0, 1, L"0", nullptr);
  pick(text);
  push(TokenKind::Enter);
  LayPointGjOnLine(L"沿线布灯");
  EXPECT_TRUE(placed(L"灯具").empty());
  EXPECT_EQ(g_dlgLine, nullptr);
}

}  // namespace
