// DuctTee, DuctCross, DuctReducer and DuctFittings (offset bend) on the
// demo's first floor: where the ducts are cut, the fittings, their figures
// and records, and refusals that leave the drawing unchanged.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/module/fittings/duct_fitting_fixture.h"

namespace ductfit {
namespace {

class DuctTeeCrossTest : public DuctFittingTest {
 protected:
  void fresh() {
    ed::resetEditor();
    ed::docManager().curDocument();
  }
};

TEST_F(DuctTeeCrossTest, TeeOfABranchOnAMainDuctInBothPickOrders) {
  for (bool branchFirst : {true, false}) {
    SCOPED_TRACE(branchFirst ? "branch first" : "main first");
    fresh();
    const cad::ObjectId main = lay(L"SF500", {-3000, 0, 3200}, {3000, 0, 3200});
    const cad::ObjectId branch = lay(L"SF1", {0, 3000, 3000}, {0, 400, 3000});
    fitting(L"三通", L"ST1");
    pick(branchFirst ? branch : main);
    pick(branchFirst ? main : branch);
    // No third duct: the input ends (Escape).
    run(&CmdDuctTee);
    const std::vector<Piece> all = pieces();
    ASSERT_EQ(all.size(), 3u) << os::toUtf8(printed());
    // t = 1.5 x the larger of the first two widths (630).
    const double t = 1.5 * 630;
    const Piece* left = pieceEndingAt(all, {-t, 0, 0});
    const Piece* right = pieceEndingAt(all, {t, 0, 0});
    const Piece* up = pieceEndingAt(all, {0, t, 0});
    ASSERT_TRUE(left && right && up);
    EXPECT_TRUE(sameSegment(*left, {-3000, 0, 0}, {-t, 0, 0}));
    EXPECT_TRUE(sameSegment(*right, {3000, 0, 0}, {t, 0, 0}));
    EXPECT_TRUE(sameSegment(*up, {0, 3000, 0}, {0, t, 0}));
    EXPECT_EQ(left->number, L"SF500");
    EXPECT_EQ(up->number, L"SF1");
    EXPECT_DOUBLE_EQ(up->startElev, 3000);
    EXPECT_DOUBLE_EQ(left->startElev, 3200);
    const auto tees = fittings(L"三通");
    ASSERT_EQ(tees.size(), 1u);
    EXPECT_TRUE(near(positionOf(tees[0]), {0, 0, 0}));
    const cad::ValueChain r = record(L"三通", tees[0]);
    ASSERT_EQ(r.size(), 14u);
    EXPECT_DOUBLE_EQ(realItem(r, 8), 0.0);  // no third duct
    EXPECT_EQ(r[13].integer(), 0);
    EXPECT_NEAR(realItem(r, 12), 0.41421356, 1e-6);
    // PA, PB, PC run clockwise.
    const Point3d pa = pointItem(r, 9), pb = pointItem(r, 10), pc = pointItem(r, 11);
    EXPECT_LT((pb.x - pa.x) * (pc.y - pb.y) - (pb.y - pa.y) * (pc.x - pb.x), 0);
    EXPECT_DOUBLE_EQ(pa.z, branchFirst ? 3000 : 3200);
    ASSERT_EQ(onLayer(L"三通边线").size(), 1u);
    ASSERT_EQ(onLayer(L"三通名").size(), 1u);
  }
}

TEST_F(DuctTeeCrossTest, ThreeDuctTeeAndAThirdDuctMissingTheJunction) {
  const cad::ObjectId a = lay(L"SF500", {-3000, 0, 3200}, {0, 0, 3200});
  const cad::ObjectId b = lay(L"SF500", {3000, 0, 3200}, {0, 0, 3200});
  const cad::ObjectId miss = lay(L"SF500", {200, 3000, 3200}, {200, 5000, 3200});
  const cad::ObjectId c = lay(L"SF500", {0, 3000, 3200}, {0, 0, 3200});
  fitting(L"三通", L"ST1");
  std::wstring before = snapshot();
  pick(a);
  pick(c);
  pick(miss);
  run(&CmdDuctTee);
  EXPECT_NE(alerted().find(L"三风管不相交于同一点!"), std::wstring::npos);
  EXPECT_EQ(snapshot(), before);
  // a and b lie in one line: a third duct through the junction makes the tee.
  pick(a);
  pick(c);
  pick(b);
  run(&CmdDuctTee);
  const auto tees = fittings(L"三通");
  ASSERT_EQ(tees.size(), 1u) << os::toUtf8(printed());
  const std::vector<Piece> all = pieces();
  EXPECT_EQ(all.size(), 4u);  // three pieces and the untouched duct
  EXPECT_NE(pieceEndingAt(all, {-750, 0, 0}), nullptr);
  EXPECT_NE(pieceEndingAt(all, {750, 0, 0}), nullptr);
  EXPECT_NE(pieceEndingAt(all, {0, 750, 0}), nullptr);
  EXPECT_DOUBLE_EQ(realItem(record(L"三通", tees[0]), 8), 320);
}

TEST_F(DuctTeeCrossTest, CrossOfTwoCrossingDuctsAndDuctsThatDoNotCross) {
  const cad::ObjectId d1 = lay(L"SF2", {-3000, 0, 3200}, {3000, 0, 3200});
  const cad::ObjectId shortOne = lay(L"SF2", {0, 3000, 3000}, {0, 500, 3000});
  const cad::ObjectId d2 = lay(L"SF2", {500, -3000, 3000}, {500, 3000, 3000});
  fitting(L"四通", L"FT1");
  std::wstring before = snapshot();
  pick(d1);
  pick(shortOne);
  run(&CmdDuctCross);
  EXPECT_NE(printed().find(L"不处理!"), std::wstring::npos);
  EXPECT_EQ(snapshot(), before);

  pick(d1);
  pick(d2);
  run(&CmdDuctCross);
  const auto crosses = fittings(L"四通");
  ASSERT_EQ(crosses.size(), 1u) << os::toUtf8(printed());
  EXPECT_TRUE(near(positionOf(crosses[0]), {500, 0, 0}));
  const std::vector<Piece> all = pieces();
  ASSERT_EQ(all.size(), 5u);  // four pieces and the short duct
  for (const Point3d& end : {Point3d(-100, 0, 0), Point3d(1100, 0, 0), Point3d(500, -600, 0), Point3d(500, 600, 0)})
    EXPECT_NE(pieceEndingAt(all, end), nullptr) << end.x << "," << end.y;
  EXPECT_DOUBLE_EQ(pieceEndingAt(all, {500, 600, 0})->startElev, 3000);
  const cad::ValueChain r = record(L"四通", crosses[0]);
  ASSERT_EQ(r.size(), 11u);
  EXPECT_DOUBLE_EQ(pointItem(r, 0).z, 3200);
  EXPECT_DOUBLE_EQ(pointItem(r, 2).z, 3000);
  // QA, QC, QB follow each other clockwise.
  const Point3d qa = pointItem(r, 0), qb = pointItem(r, 1), qc = pointItem(r, 2);
  EXPECT_LT((qc.x - qa.x) * (qb.y - qc.y) - (qc.y - qa.y) * (qb.x - qc.x), 0);
  EXPECT_DOUBLE_EQ(realItem(r, 7), 400);
  PointList pts;
  BulgeList bulges;
  GetEntityVertices(onLayer(L"四通边线").at(0), pts, bulges);
  EXPECT_EQ(pts.size(), 9u);
}

// The reducer between collinear ducts 800 and 500 wide at 3200 and 3000.
struct ReducerCase {
  const char* what;
  double gap;       // between duct 1's end (5000) and duct 2's start
  double p2;        // where duct 2 starts afterwards
};

const ReducerCase kReducers[] = {
    {"gap of 100: duct 2 shortened by 500", 100, 5600},
    {"gap of 1000: duct 2 lengthened by 400", 1000, 5600},
    {"gap of 600: duct 2 kept", 600, 5600},
};

TEST_F(DuctTeeCrossTest, ReducerGeometryForATableOfGaps) {
  for (const ReducerCase& c : kReducers) {
    SCOPED_TRACE(c.what);
    fresh();
    const cad::ObjectId d1 = lay(L"SF800", {0, 0, 3200}, {5000, 0, 3200});
    const cad::ObjectId d2 = lay(L"SF500", {5000 + c.gap, 0, 3000}, {10000, 0, 3000});
    fitting(L"大小头", L"DX1");
    pick(d1);
    pick(d2);
    run(&CmdDuctReducer);
    const std::vector<Piece> all = pieces();
    ASSERT_EQ(all.size(), 2u) << os::toUtf8(printed());
    const Piece* first = pieceEndingAt(all, {0, 0, 0});
    const Piece* second = pieceEndingAt(all, {10000, 0, 0});
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(sameSegment(*first, {0, 0, 0}, {5000, 0, 0}));
    EXPECT_TRUE(sameSegment(*second, {c.p2, 0, 0}, {10000, 0, 0}));
    EXPECT_DOUBLE_EQ(second->startElev, 3000);
    EXPECT_EQ(second->number, L"SF500");
    const auto reducers = fittings(L"大小头");
    ASSERT_EQ(reducers.size(), 1u);
    const Point3d at = positionOf(reducers[0]);
    EXPECT_TRUE(near(at, {5300, 0, 0}));
    EXPECT_DOUBLE_EQ(at.z, 3100);
    const cad::ValueChain r = record(L"大小头", reducers[0]);
    ASSERT_EQ(r.size(), 8u);
    EXPECT_TRUE(near(pointItem(r, 0), {5000, 0, 0}));
    EXPECT_DOUBLE_EQ(pointItem(r, 0).z, 3200);
    EXPECT_TRUE(near(pointItem(r, 1), {c.p2, 0, 0}));
    EXPECT_DOUBLE_EQ(pointItem(r, 1).z, 3000);
    EXPECT_TRUE(near(pointItem(r, 2), {1, 0, 0}, 1e-9));
    EXPECT_TRUE(near(pointItem(r, 3), {-1, 0, 0}, 1e-9));
    EXPECT_DOUBLE_EQ(realItem(r, 4), 800);
    EXPECT_DOUBLE_EQ(realItem(r, 5), 500);
    EXPECT_DOUBLE_EQ(realItem(r, 6), 320);
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(onLayer(L"大小头边线").at(0), pts, bulges);
    ASSERT_EQ(pts.size(), 5u);
    EXPECT_NEAR(pts[0].distanceTo(pts[1]), 800, 1e-6);
    EXPECT_NEAR(pts[2].distanceTo(pts[3]), 500, 1e-6);
  }
}

TEST_F(DuctTeeCrossTest, ReducerRefusalsLeaveTheDrawingAsItWas) {
  const cad::ObjectId d1 = lay(L"SF800", {0, 0, 3200}, {5000, 0, 3200});
  const cad::ObjectId same = lay(L"SF800", {5100, 0, 3200}, {9000, 0, 3200});
  const cad::ObjectId skew = lay(L"SF500", {5100, 0, 3200}, {9000, 3000, 3200});
  const cad::ObjectId touching = lay(L"SF500", {5000, 0, 3200}, {-2000, 0, 3200});
  fitting(L"大小头", L"DX1");
  const std::wstring before = snapshot();
  pick(d1);
  pick(same);      // equal widths
  pick(skew);      // not parallel
  pick(touching);  // overlapping: no gap to fill
  pick(d1);        // the same duct
  run(&CmdDuctReducer);
  const std::wstring said = alerted();
  EXPECT_NE(said.find(L"两管的宽度不匹配!"), std::wstring::npos);
  EXPECT_NE(said.find(L"两管不平行!"), std::wstring::npos);
  EXPECT_NE(said.find(L"无法操作!"), std::wstring::npos) << os::toUtf8(said);
  EXPECT_NE(said.find(L"选择了相同的管线!"), std::wstring::npos);
  EXPECT_EQ(snapshot(), before);
}

TEST_F(DuctTeeCrossTest, OffsetBendBetweenDuctsSideBySideAndStaggered) {
  for (bool sideBySide : {true, false}) {
    SCOPED_TRACE(sideBySide ? "side by side" : "staggered");
    fresh();
    const cad::ObjectId d1 = lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
    const cad::ObjectId d2 = sideBySide ? lay(L"SF1", {5000, 1000, 3200}, {10000, 1000, 3200})
                                        : lay(L"SF1", {6000, 1000, 3200}, {10000, 1000, 3200});
    fitting(L"来回弯", L"LH1");
    pick(d1);
    pick(d2);
    run(&CmdDuctFittings);
    EXPECT_NE(printed().find(sideBySide ? L"在里面" : L"在外面"), std::wstring::npos);
    const std::vector<Piece> all = pieces();
    ASSERT_EQ(all.size(), 2u) << os::toUtf8(printed());
    if (sideBySide) {
      EXPECT_NE(pieceEndingAt(all, {4700, 0, 0}), nullptr);
      EXPECT_NE(pieceEndingAt(all, {5300, 1000, 0}), nullptr);
    } else {
      EXPECT_NE(pieceEndingAt(all, {5000, 0, 0}), nullptr);
      EXPECT_NE(pieceEndingAt(all, {5600, 1000, 0}), nullptr);
    }
    const auto bends = fittings(L"来回弯");
    ASSERT_EQ(bends.size(), 1u);
    const cad::ValueChain r = record(L"来回弯", bends[0]);
    ASSERT_EQ(r.size(), 9u);
    EXPECT_NEAR(realItem(r, 8), 0.414213561847382, 1e-12);
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(onLayer(L"来回弯边线").at(0), pts, bulges);
    ASSERT_EQ(pts.size(), 7u);
    EXPECT_NEAR(bulges[0], -bulges[1], 1e-12);
    EXPECT_NE(bulges[0], 0);
    EXPECT_NEAR(bulges[3], -bulges[4], 1e-12);
  }
}

TEST_F(DuctTeeCrossTest, OffsetBendRefusesDuctsInOneLine) {
  const cad::ObjectId d1 = lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
  const cad::ObjectId d2 = lay(L"SF1", {6000, 0, 3200}, {10000, 0, 3200});
  fitting(L"来回弯", L"LH1");
  const std::wstring before = snapshot();
  pick(d1);
  pick(d2);
  run(&CmdDuctFittings);
  EXPECT_NE(alerted().find(L"两管在同一直线上"), std::wstring::npos) << os::toUtf8(printed());
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace ductfit
