// Cutting chosen pipes where runs of their own type meet them and at the feet
// of taps: what is cut, what stays untouched, and what the pieces carry.
#include "module/fittings/pipe_break.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/module/fittings/pipe_fixture.h"

namespace {

using kivtest::Point3d;

class PipeBreak : public kivtest::PipeSandbox {
 protected:
  void SetUp() override {
    PipeSandbox::SetUp();
    if (IsSkipped()) return;
    g_createGjCb = &CreatePipeGj;
    g_decorateGjCb = &DecoratePipeGj;
  }
  static double lengthOf(const cad::ObjectIdArray& ids) {
    double sum = 0;
    for (cad::ObjectId id : ids) {
      Point3d s, e;
      EXPECT_TRUE(GetGjEndPoints3d(id, s, e));
      sum += s.distanceTo(e);
    }
    return sum;
  }
  static cad::ObjectIdArray break_(const cad::ObjectIdArray& chosen) {
    cad::ObjectIdArray out;
    BreakPipesAtIntersections(L"给水管,污水管", out, chosen);
    return out;
  }
};

TEST_F(PipeBreak, CrossingRunsOfOneTypeAreCutIntoPiecesThatAddUpToThem) {
  const auto a = pipe({0, 0, 2800}, {1000, 0, 2800});
  const auto b = pipe({300, -500, 2800}, {300, 700, 2800});
  const auto out = break_({a, b});
  ASSERT_EQ(out.size(), 4u);
  EXPECT_NEAR(lengthOf({out[0], out[1]}), 1000, 1e-9);
  EXPECT_NEAR(lengthOf({out[2], out[3]}), 1200, 1e-9);
  Point3d s, e;
  ASSERT_TRUE(GetGjEndPoints3d(out[0], s, e));
  EXPECT_TRUE(s.isEqualTo({0, 0, 2800}));
  EXPECT_TRUE(e.isEqualTo({300, 0, 2800}));
  EXPECT_EQ(countOn(L"给水管"), 4u) << "the cut runs are gone";
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(out[3], number, attrs);
  EXPECT_EQ(number, L"J1");
}

TEST_F(PipeBreak, RunsThatDoNotMeetInSpaceOrAreOfAnotherTypeStayUntouched) {
  struct Case {
    const char* what;
    Point3d bs, be;
    const wchar_t* type;
  } cases[] = {
      {"crossing in plan 200 higher", {300, -500, 3000}, {300, 500, 3000}, L"给水管"},
      {"crossing, another type", {300, -500, 2800}, {300, 500, 2800}, L"污水管"},
      {"passing the end", {1100, -500, 2800}, {1100, 500, 2800}, L"给水管"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto a = pipe({0, 0, 2800}, {1000, 0, 2800});
    const auto b = pipe(c.bs, c.be, L"J1", c.type);
    const auto out = break_({a, b});
    EXPECT_EQ(out, (cad::ObjectIdArray{a, b}));
    EraseEntities({a, b});
  }
}

TEST_F(PipeBreak, ABranchEndingOnARunCutsOnlyTheRun) {
  const auto run = pipe({0, 0, 2800}, {1000, 0, 2800});
  const auto branch = pipe({400, 0, 2800}, {400, 800, 2800});
  const auto out = break_({run, branch});
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[2], branch);
  EXPECT_NEAR(lengthOf({out[0], out[1]}), 1000, 1e-9);
}

TEST_F(PipeBreak, ATapCutsARunCloserThanTen) {
  for (double off : {9.0, 10.0}) {
    SCOPED_TRACE(off);
    const auto run = pipe({0, 0, 2800}, {1000, 0, 2800});
    const auto tap = pointGj(L"普通水嘴", L"", {500, off, 2800});
    const auto out = break_({run});
    EXPECT_EQ(out.size(), off < 10 ? 2u : 1u);
    if (out.size() == 2) {
      Point3d s, e;
      ASSERT_TRUE(GetGjEndPoints3d(out[0], s, e));
      EXPECT_TRUE(e.isEqualTo({500, 0, 2800}));
    }
    EraseEntities(out);
    EraseEntity(tap);
  }
}

TEST_F(PipeBreak, ARiserCrossingARunCutsBothAndStaysARiser) {
  const auto run = pipe({0, 0, 1000}, {1000, 0, 1000});
  const auto riser = pipe({500, 0, 0}, {500, 0, 3000});
  const auto out = break_({run, riser});
  ASSERT_EQ(out.size(), 4u);
  std::wstring kind;
  double s = 0, e = 0;
  GetGjSpecial(out[2], &kind, &s, &e);
  EXPECT_EQ(kind, L"立管");
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 1000);
}

TEST_F(PipeBreak, PiecesCarryTheRunsOwnDataAndAnUncutArcKeepsItsArc) {
  const auto run = pipe({0, 0, 2800}, {1000, 0, 2800});
  StringArray own{L"公称管径D_0(mm)=65"}, extra{L"备注=甲"};
  SetXdataLines(run, kXdataExternalGj, own, nullptr);
  SetXdataLines(run, kXdataAttrs, extra, nullptr);
  pipe({500, -300, 2800}, {500, 300, 2800});
  const auto arc = pipe({0, 2000, 2800}, {1000, 2000, 2800}, L"J1", L"给水管", 0.5);
  SetXdataLines(arc, kXdataExternalGj, own, nullptr);

  const auto out = break_({run, arc});
  ASSERT_EQ(out.size(), 3u);
  for (cad::ObjectId piece : {out[0], out[1]}) {
    StringArray lines;
    GetXdataLines(piece, kXdataExternalGj, lines);
    EXPECT_EQ(lines, own);
    GetXdataLines(piece, kXdataAttrs, lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], L"备注=甲");
  }
  EXPECT_EQ(out[2], arc);
  cad::ObjectPtr<cad::Polyline> pl(arc, cad::OpenMode::ForRead);
  ASSERT_TRUE(pl);
  double bulge = 0;
  pl->getBulgeAt(0, bulge);
  EXPECT_EQ(bulge, 0.5);
}

TEST_F(PipeBreak, WithoutCallbacksOrWhenAPieceCannotBeMadeTheDrawingStays) {
  const auto a = pipe({0, 0, 2800}, {1000, 0, 2800});
  pipe({300, -500, 2800}, {300, 500, 2800});
  g_createGjCb = nullptr;
  cad::ObjectIdArray out{cad::ObjectId()};
  BreakPipesAtIntersections(L"给水管", out, {a});
  EXPECT_EQ(out.size(), 1u) << "out left as it was";
  EXPECT_EQ(countOn(L"给水管"), 2u);

  g_createGjCb = [](const std::wstring&, const std::wstring&, const Point3d&, const Point3d&, double,
                    int) { return cad::ObjectId(); };
  const auto kept = break_({a});
  EXPECT_EQ(kept, cad::ObjectIdArray{a});
  Point3d s, e;
  EXPECT_TRUE(GetGjEndPoints3d(a, s, e)) << "the run is back whole";
  EXPECT_EQ(countOn(L"给水管"), 2u);
}

}  // namespace
