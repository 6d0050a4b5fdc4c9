// DuctJoin, DuctRotate and LinkOpening on the demo's first floor.
#include <gtest/gtest.h>

#include <cmath>

#include "module/fittings/duct_frame.h"
#include "module/model/point_blocks.h"
#include "module/toolkit/entities.h"
#include "tests/module/fittings/duct_fitting_fixture.h"

namespace ductfit {
namespace {

class DuctJoinTest : public DuctFittingTest {
 protected:
  void fresh() {
    ed::resetEditor();
    ed::docManager().curDocument();
  }
  // The duct commands offer the layers of the type in the combo; its number
  // is not the picked duct's.
  void showDuctType() {
    combo(L"构件", kDuct);
    combo(L"编号", L"SF2");
  }
  static std::vector<Piece> risers(const std::vector<Piece>& all) {
    std::vector<Piece> out;
    for (const Piece& p : all)
      if (p.kind == L"立管") out.push_back(p);
    return out;
  }
};

// Split mode on a duct from (0,0) to (5000,0) at 3000.
struct SplitCase {
  const char* what;
  Point3d point;
  const wchar_t *reply1, *reply2;
  bool joint;     // the duct is split
  bool vertical;  // a vertical duct joins the pieces
  const wchar_t* message;
};

const SplitCase kSplits[] = {
    {"a point 99 from the duct", {2000, 99, 0}, L"2800", L"3200", true, true, L""},
    {"a point 100 from the duct", {2000, 100, 0}, L"2800", L"3200", false, false, L"选择扣弯点不在所选管道上"},
    {"Enter twice: equal elevations", {2000, 0, 0}, L"", L"", false, false, L"两管标高一样，无法生成扣管!"},
    {"replies 0.01 apart", {2000, 0, 0}, L"3000", L"3000.01", false, false, L"两管标高一样，无法生成扣管!"},
    {"replies 0.02 apart", {2000, 0, 0}, L"3000", L"3000.02", true, false, L""},
    {"replies 0.5 apart: pieces without a vertical duct", {2000, 0, 0}, L"3000", L"3000.5", true, false, L""},
    {"a point at the duct's end", {5000, 0.5, 0}, L"2800", L"3200", false, false, L""},
};

TEST_F(DuctJoinTest, SplitModeForATableOfPointsAndElevations) {
  for (const SplitCase& c : kSplits) {
    SCOPED_TRACE(c.what);
    fresh();
    const cad::ObjectId d = lay(L"SF1", {0, 0, 3000}, {5000, 0, 3000});
    showDuctType();
    const std::wstring before = snapshot();
    pick(d);
    point(c.point);
    word(c.reply1);
    word(c.reply2);
    run(&CmdDuctJoin);
    ed::inputQueue().clear();
    if (*c.message) {
      EXPECT_NE((printed() + alerted()).find(c.message), std::wstring::npos) << os::toUtf8(printed());
    }
    const std::vector<Piece> all = pieces();
    if (!c.joint) {
      EXPECT_EQ(snapshot(), before);
      continue;
    }
    const std::vector<Piece> vertical = risers(all);
    ASSERT_EQ(all.size() - vertical.size(), 2u) << os::toUtf8(printed());
    const Piece* toStart = pieceEndingAt(all, {0, 0, 0});
    const Piece* toEnd = pieceEndingAt(all, {5000, 0, 0});
    ASSERT_TRUE(toStart && toEnd);
    EXPECT_TRUE(sameSegment(*toStart, c.point, {0, 0, 0}));
    EXPECT_TRUE(sameSegment(*toEnd, c.point, {5000, 0, 0}));
    // Elevations are stored with one decimal.
    EXPECT_NEAR(toStart->startElev, std::wcstod(c.reply1, nullptr), 0.05);
    EXPECT_NEAR(toEnd->startElev, std::wcstod(c.reply2, nullptr), 0.05);
    // The pieces keep the picked duct's name and number.
    EXPECT_EQ(toStart->number, L"SF1");
    EXPECT_EQ(toEnd->layer, kDuct);
    ASSERT_EQ(vertical.size(), c.vertical ? 1u : 0u);
    if (c.vertical) {
      EXPECT_TRUE(near(vertical[0].s, c.point));
      EXPECT_DOUBLE_EQ(std::min(vertical[0].startElev, vertical[0].endElev), 2800);
      EXPECT_DOUBLE_EQ(std::max(vertical[0].startElev, vertical[0].endElev), 3200);
    }
  }
}

TEST_F(DuctJoinTest, EscapeAtThePointOrAnElevationLeavesTheDuct) {
  for (int escapeAt = 0; escapeAt < 3; ++escapeAt) {
    SCOPED_TRACE(escapeAt);
    fresh();
    const cad::ObjectId d = lay(L"SF1", {0, 0, 3000}, {5000, 0, 3000});
    showDuctType();
    const std::wstring before = snapshot();
    pick(d);
    if (escapeAt > 0) point({2000, 0, 0});
    if (escapeAt > 1) word(L"2800");
    run(&CmdDuctJoin);
    EXPECT_EQ(snapshot(), before);
  }
}

TEST_F(DuctJoinTest, AnArcDuctIsRefusedRatherThanSplitIntoChords) {
  combo(L"构件", kDuct);
  combo(L"编号", L"SF1");
  LoadGjDefineByName(kDuct, true);
  const cad::ObjectId arc = CreateDuctGj(kDuct, L"SF1", {0, 0, 3000}, {5000, 0, 3000}, 0.3, 0);
  ASSERT_FALSE(arc.isNull());
  DecorateDuctGj(kDuct, arc);
  const std::wstring before = snapshot();
  pick(arc);
  point({2500, -700, 0});
  word(L"2800");
  word(L"3200");
  run(&CmdDuctJoin);
  ed::inputQueue().clear();
  EXPECT_NE(printed().find(L"只支持两点的直风管!"), std::wstring::npos) << os::toUtf8(printed());
  EXPECT_EQ(snapshot(), before);
}

// Join mode: duct 1 from (0,0) to (5000,0) at 3000, duct 2 at 2600.
struct JoinCase {
  const char* what;
  Point3d s2, e2;
  size_t ducts;  // horizontal ducts afterwards
  Point3d redrawnFrom, redrawnTo;
  bool vertical;
  const wchar_t* message;
};

const JoinCase kJoins[] = {
    {"crossing ducts: only a vertical duct", {2500, -2000, 0}, {2500, 2000, 0}, 2, {}, {}, true, L""},
    {"a second duct stopping short", {2500, -2000, 0}, {2500, -500, 0}, 2, {2500, 0, 0}, {2500, -2000, 0}, true, L""},
    {"parallel ducts", {0, 2000, 0}, {5000, 2000, 0}, 2, {}, {}, false, L"管道平行不可生成扣管!"},
};

TEST_F(DuctJoinTest, JoinModeForATableOfSecondDucts) {
  for (const JoinCase& c : kJoins) {
    SCOPED_TRACE(c.what);
    fresh();
    const cad::ObjectId d1 = lay(L"SF1", {0, 0, 3000}, {5000, 0, 3000});
    const cad::ObjectId d2 = lay(L"SF2", AtElevation(c.s2, 2600), AtElevation(c.e2, 2600));
    showDuctType();
    const std::wstring before = snapshot();
    pick(d1);
    word(L"d");  // the keyword, typed in lower case
    pick(d2);
    run(&CmdDuctJoin);
    if (*c.message) {
      EXPECT_NE(alerted().find(c.message), std::wstring::npos);
      EXPECT_EQ(snapshot(), before);
      continue;
    }
    const std::vector<Piece> all = pieces();
    const std::vector<Piece> vertical = risers(all);
    EXPECT_EQ(all.size() - vertical.size(), c.ducts) << os::toUtf8(printed());
    ASSERT_EQ(vertical.size(), 1u);
    EXPECT_TRUE(near(vertical[0].s, {2500, 0, 0}));
    EXPECT_DOUBLE_EQ(std::min(vertical[0].startElev, vertical[0].endElev), 2600);
    EXPECT_DOUBLE_EQ(std::max(vertical[0].startElev, vertical[0].endElev), 3000);
    if (c.redrawnFrom.x != 0) {
      const Piece* redrawn = pieceEndingAt(all, c.redrawnTo);
      ASSERT_NE(redrawn, nullptr);
      EXPECT_TRUE(sameSegment(*redrawn, c.redrawnFrom, c.redrawnTo));
      EXPECT_EQ(redrawn->number, L"SF2");
      EXPECT_DOUBLE_EQ(redrawn->startElev, 2600);
    }
  }
}

TEST_F(DuctJoinTest, RotateTurnsTheDuctAboutItsFirstVertex) {
  for (const wchar_t* reply : {L"90", L"abc"}) {
    fresh();
    const cad::ObjectId d = lay(L"SF1", {1000, 0, 3000}, {2000, 0, 3000});
    showDuctType();
    pick(d);
    word(reply);
    run(&CmdDuctRotate);
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(d, pts, bulges);
    ASSERT_EQ(pts.size(), 2u);
    EXPECT_TRUE(near(pts[0], {1000, 0, 0}, 1e-6));
    EXPECT_TRUE(near(pts[1], std::wstring(reply) == L"90" ? Point3d(1000, 1000, 0) : Point3d(2000, 0, 0), 1e-3));
  }
}

TEST_F(DuctJoinTest, LinkOpeningJoinsOpeningsOnTheDuctLineOnce) {
  lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
  EnsureGjBlockDef(L"送风口", L"sys$送风口$test", 0);
  const geom::Vector3d noTurn(0, 0, 0);
  const std::wstring number = L"SK1";
  const double elev = 2600;
  for (const Point3d at : {Point3d(1000, 0.9, 0), Point3d(2000, 1.0, 0)}) {
    const cad::ObjectId id = InsertBlockRef(L"sys$送风口$test", at, 0, cad::Scale3d{1, 1, 1}, {0, 0, 1}, L"送风口", nullptr);
    ASSERT_FALSE(id.isNull());
    SetPointGjSpecial(&number, id, &elev, &noTurn);
  }
  for (int runNo = 0; runNo < 2; ++runNo) {
    run(&CmdLinkOpening);
    const std::vector<Piece> vertical = risers(pieces());
    ASSERT_EQ(vertical.size(), 1u) << "run " << runNo;
    EXPECT_TRUE(near(vertical[0].s, {1000, 0.9, 0}));
    EXPECT_EQ(vertical[0].number, L"送风管400*200");
    EXPECT_DOUBLE_EQ(std::min(vertical[0].startElev, vertical[0].endElev), 2600);
    EXPECT_DOUBLE_EQ(std::max(vertical[0].startElev, vertical[0].endElev), 3200);
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(vertical[0].id, n, attrs);
    // The size lines went into the floor table's row of the new number.
    ASSERT_EQ(attrs.size(), 2u);
    EXPECT_EQ(attrs[1], L"主键");
  }
  const std::string row = sql(project() / u8"1层.DB", "SELECT 参数 FROM records WHERE 编号='送风管400*200'");
  EXPECT_NE(row.find("B=400"), std::string::npos) << row;
  EXPECT_NE(row.find("H=200"), std::string::npos) << row;
}

TEST_F(DuctJoinTest, LinkOpeningNumbersTheVerticalDuctFromTheOpeningSize) {
  addRow("送风口", "KL", "风口", "'L=400'||char(13)||char(10)||'W=200'");
  addRow("送风口", "KR", "风口", "'R=300'");
  addRow("送风口", "KLL", "风口", "'L=500'");
  lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
  EnsureGjBlockDef(L"送风口", L"sys$送风口$test", 0);
  const geom::Vector3d noTurn(0, 0, 0);
  const double elev = 2600;
  const struct {
    const wchar_t* number;
    double x;
    const wchar_t* expected;
  } kOpenings[] = {{L"KL", 1000, L"送风管400*200"}, {L"KR", 2000, L"送风管300*300"}, {L"KLL", 3000, L"送风管500*500"}};
  for (const auto& o : kOpenings) {
    const std::wstring number = o.number;
    const cad::ObjectId id =
        InsertBlockRef(L"sys$送风口$test", {o.x, 0, 0}, 0, cad::Scale3d{1, 1, 1}, {0, 0, 1}, L"送风口", nullptr);
    SetPointGjSpecial(&number, id, &elev, &noTurn);
  }
  run(&CmdLinkOpening);
  const std::vector<Piece> vertical = risers(pieces());
  ASSERT_EQ(vertical.size(), 3u);
  for (const auto& o : kOpenings) {
    const Piece* at = pieceEndingAt(vertical, {o.x, 0, 0});
    ASSERT_NE(at, nullptr) << o.x;
    EXPECT_EQ(at->number, o.expected);
  }
}

}  // namespace
}  // namespace ductfit
