// The draw-by-points engine: runs of segments and arcs with undo, the
// callback pair and its order, the step transactions, the lay window's
// elevations and the hooks around the prompts.
#include "module/model/draw_engine.h"

#include <gtest/gtest.h>

#include "module/model/vertical_gj.h"

#include "module/toolkit/window_lib.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;
using ed::TokenKind;

struct Made {
  std::wstring name, number;
  Point3d start, end;
  double bulge;
  int vertical;
  cad::ObjectId id;
};

// What the callbacks saw, in call order ("C" create, "D" decorate).
std::vector<Made> g_made;
std::wstring g_order;
std::vector<cad::ObjectId> g_decorated;
bool g_createNothing = false;

cad::ObjectId RecordCreate(const std::wstring& name, const std::wstring& number, const Point3d& s,
                           const Point3d& e, double bulge, int vertical) {
  g_order += L"C";
  cad::ObjectId id;
  if (!g_createNothing) {
    auto* line = new cad::Line(s, e);
    id = AppendToModelSpace(line, name, nullptr);
    if (!id.isNull()) line->close();  // the append leaves it open for write
  }
  g_made.push_back({name, number, s, e, bulge, vertical, id});
  return id;
}

void RecordDecorate(const std::wstring& name, cad::ObjectId id) {
  g_order += L"D";
  g_decorated.push_back(id);
  if (id.isNull()) return;
  // One edge line per segment on the edge-line layer.
  auto* edge = new cad::Line(Point3d(0, 0), Point3d(1, 1));
  if (!AppendToModelSpace(edge, name + L"边线", nullptr).isNull()) edge->close();
}

class DrawEngine : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"构件", L"给水管");
    set(L"编号", L"JL-1");
    g_made.clear();
    g_order.clear();
    g_decorated.clear();
    g_createNothing = false;
    ForgetLayWindowElevations();
    g_createGjCb = &RecordCreate;
    g_decorateGjCb = &RecordDecorate;
  }
  void TearDown() override {
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    ProjectSandbox::TearDown();
  }
  cad::Database& db() { return *ed::curDatabase(); }
  // Queues a host directive registered by the test.
  static void directive(const wchar_t* name) {
    ed::InputToken t;
    t.kind = TokenKind::Directive;
    t.text = name;
    ed::inputQueue().push(t);
  }
  // Live (not erased) entities of model space on a layer.
  int count(const std::wstring& layer) {
    int n = 0;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) ++n;
    }
    return n;
  }
  int openTransactions() { return ed::curDoc()->transactionManager()->numActiveTransactions(); }
  void expectHooksGone() {
    ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
    EXPECT_EQ(ipm.currentPointFilter(), nullptr);
    EXPECT_TRUE(ipm.monitors().empty());
    EXPECT_EQ(g_kivPointFilter, nullptr);
    EXPECT_EQ(g_kivPointMonitor, nullptr);
    EXPECT_EQ(ed::getVarInt(L"CMDECHO").value_or(-1), 0);
    EXPECT_EQ(openTransactions(), 0);
    EXPECT_FALSE(g_linearRun.active);
  }
};

TEST_F(DrawEngine, RunOfFourSegmentsEndedByEnterStaysInTheDrawing) {
  points({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}, {0, 0, 0}});
  push(TokenKind::Enter);
  const size_t mark = ed::transcriptMark();
  EXPECT_TRUE(LayLinearGjByPoints());

  ASSERT_EQ(g_made.size(), 4u);
  EXPECT_EQ(g_order, L"CDCDCDCD");
  const Point3d corners[] = {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}, {0, 0, 0}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(g_made[i].name, L"给水管");
    EXPECT_EQ(g_made[i].number, L"JL-1");
    EXPECT_EQ(g_made[i].start, corners[i]);
    EXPECT_EQ(g_made[i].end, corners[i + 1]);
    EXPECT_EQ(g_made[i].bulge, 0.0);
    EXPECT_EQ(g_made[i].vertical, 0);
    EXPECT_EQ(g_decorated[i], g_made[i].id);
  }
  EXPECT_EQ(count(L"给水管"), 4);
  EXPECT_EQ(count(L"给水管边线"), 4);
  EXPECT_EQ(g_linearRun.points.size(), 5u);  // the run's points stay readable
  EXPECT_TRUE(g_linearRun.segMarks.empty());
  // The three layers exist; the edge-line layer is current.
  EXPECT_FALSE(db().layerId(L"给水管名").isNull());
  EXPECT_EQ(db().clayer(), db().layerId(L"给水管边线"));
  EXPECT_NE(ed::transcriptSince(mark).find(L"\n指定下一点或[圆弧(A)/回退(U)]:"), std::wstring::npos);
  expectHooksGone();
}

TEST_F(DrawEngine, StartPromptAndEarlyEndings) {
  struct Case {
    std::vector<TokenKind> input;
    bool result;
  } cases[] = {
      {{TokenKind::Escape}, false},
      {{TokenKind::Enter}, false},
      {{TokenKind::RightClick}, false},  // a right click at the start cancels
      {{}, false},                       // input ran out
  };
  for (auto& c : cases) {
    for (auto kind : c.input) push(kind);
    EXPECT_EQ(LayLinearGjByPoints(), c.result);
    EXPECT_TRUE(g_made.empty());
    expectHooksGone();
  }
  // Enter right after the start point: a line break, nothing made, true.
  points({{0, 0, 0}});
  push(TokenKind::Enter);
  size_t mark = ed::transcriptMark();
  EXPECT_TRUE(LayLinearGjByPoints());
  EXPECT_TRUE(g_made.empty());
  EXPECT_NE(ed::transcriptSince(mark).find(L"\n"), std::wstring::npos);
  // "U" with only the start point ends the run with true.
  points({{0, 0, 0}});
  word(L"U");
  EXPECT_TRUE(LayLinearGjByPoints());
  EXPECT_TRUE(g_made.empty());
  expectHooksGone();
}

TEST_F(DrawEngine, UndoTakesBackTheNewestSegmentWithItsDecorations) {
  points({{0, 0, 0}, {1000, 0, 0}, {2000, 0, 0}, {3000, 0, 0}});
  word(L"u");
  points({{2000, 500, 0}});
  push(TokenKind::Escape);
  EXPECT_FALSE(LayLinearGjByPoints());  // Escape ends the command, segments stay
  ASSERT_EQ(g_made.size(), 4u);
  EXPECT_TRUE(g_made[2].id.isErased());
  // The next segment starts where the second one ended.
  EXPECT_EQ(g_made[3].start, Point3d(2000, 0, 0));
  EXPECT_EQ(g_made[3].end, Point3d(2000, 500, 0));
  EXPECT_EQ(count(L"给水管"), 3);
  EXPECT_EQ(count(L"给水管边线"), 3);
  expectHooksGone();

  // Undo back through every segment to the start point ends the run.
  g_made.clear();
  points({{0, 0, 0}, {1000, 0, 0}});
  word(L"U");
  word(L"U");
  EXPECT_TRUE(LayLinearGjByPoints());
  ASSERT_EQ(g_made.size(), 1u);
  EXPECT_TRUE(g_made[0].id.isErased());
  expectHooksGone();
}

TEST_F(DrawEngine, ANullIdStepIsCountedAndUndoneLikeAnyOther) {
  g_createNothing = true;
  points({{0, 0, 0}, {1000, 0, 0}, {2000, 0, 0}});
  word(L"U");
  points({{1000, 700, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ASSERT_EQ(g_made.size(), 3u);
  EXPECT_EQ(g_order, L"CDCDCD");
  for (auto id : g_decorated) EXPECT_TRUE(id.isNull());
  EXPECT_EQ(g_made[2].start, Point3d(1000, 0, 0));  // the undo dropped the null step's point
  expectHooksGone();
}

TEST_F(DrawEngine, RightClickAfterTheStartIsSwallowedAndOtherWordsReprompt) {
  points({{0, 0, 0}});
  push(TokenKind::RightClick);
  word(L"X");
  points({{500, 0, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ASSERT_EQ(g_made.size(), 1u);
  EXPECT_EQ(g_made[0].end, Point3d(500, 0, 0));
  expectHooksGone();
}

TEST_F(DrawEngine, LayWindowElevationsSlopeTheSegmentAndCarryOn) {
  auto setPalette = os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette");
  auto getPalette = os::findFunction<KivPelk_GetPalette_fn>(g_hostWindowLib, "KivPelk_GetPalette");
  ASSERT_NE(setPalette, nullptr);
  ASSERT_NE(getPalette, nullptr);
  double start = 2900, end = 2900;
  winlib::LayLinearGj(winlib::kPaletteOpen, 0, 0, start, end);
  setPalette(3000, 3500, 0, 2);  // the user types both elevations
  points({{0, 0, 0}, {1000, 0, 0}, {2000, 0, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ASSERT_EQ(g_made.size(), 2u);
  EXPECT_EQ(g_made[0].start, Point3d(0, 0, 3000));
  EXPECT_EQ(g_made[0].end, Point3d(1000, 0, 3500));
  double shown[3] = {};
  getPalette(shown);
  EXPECT_EQ(shown[0], 3500);  // written back: the next segment starts where this ended
  EXPECT_EQ(shown[1], 3500);
  // Without new values in the window the second segment starts where the
  // first ended and goes on level.
  EXPECT_EQ(g_made[1].start, Point3d(1000, 0, 3500));
  EXPECT_EQ(g_made[1].end, Point3d(2000, 0, 3500));
  winlib::LayLinearGj(winlib::kPaletteClose, 0, 0, start, end);
}

// A directive that types the values into the lay window when the engine
// reads it.
void registerTyping(const wchar_t* name, double start, double end) {
  ed::registerDirective(name, [start, end](const ed::InputToken&, std::wstring&) {
    os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette")(start, end, 0, 2);
    return true;
  });
}

TEST_F(DrawEngine, ElevationsCarryOnFromTheWindowThroughTheRun) {
  // The window opens at 3000: every segment of a three-segment run lies there.
  OpenLayWindow(0, 0, 3000);
  points({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ASSERT_EQ(g_made.size(), 3u);
  for (const auto& m : g_made) {
    EXPECT_EQ(m.start.z, 3000);
    EXPECT_EQ(m.end.z, 3000);
  }
  // A value typed in the window during the run applies from the next segment
  // on; the next run of the command goes on from there too.
  g_made.clear();
  points({{0, 0, 0}, {1000, 0, 0}});
  registerTyping(L".type3200", 3200, 3200);
  directive(L".type3200");
  points({{2000, 0, 0}, {3000, 0, 0}});
  push(TokenKind::Enter);
  points({{0, 500, 0}, {1000, 500, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  EXPECT_TRUE(LayLinearGjByPoints());
  ed::unregisterDirective(L".type3200");
  CloseLayWindow();
  ASSERT_EQ(g_made.size(), 4u);
  const double expected[][2] = {{3000, 3000}, {3200, 3200}, {3200, 3200}, {3200, 3200}};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(g_made[i].start.z, expected[i][0]);
    EXPECT_EQ(g_made[i].end.z, expected[i][1]);
  }
}

TEST_F(DrawEngine, ASegmentAfterARiserStartsAtTheRisersTop) {
  OpenLayWindow(0, 0, 2900);
  ed::registerDirective(L".riser", [](const ed::InputToken&, std::wstring&) {
    os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette")(2900, 3500, 0, 2);
    CreateVerticalGj(0);
    return true;
  });
  points({{0, 0, 0}, {1000, 0, 0}});
  directive(L".riser");
  points({{2000, 0, 0}});
  // Undoing a riser brings the run back to the height it had before it.
  directive(L".riser");
  word(L"U");
  points({{2000, 1000, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ed::unregisterDirective(L".riser");
  double shown[3] = {};
  os::findFunction<KivPelk_GetPalette_fn>(g_hostWindowLib, "KivPelk_GetPalette")(shown);
  CloseLayWindow();
  ASSERT_EQ(g_made.size(), 5u);
  EXPECT_EQ(g_made[0].start.z, 2900);
  EXPECT_EQ(g_made[0].end.z, 2900);
  EXPECT_EQ(g_made[1].vertical, 1);
  EXPECT_EQ(g_made[1].start, Point3d(1000, 0, 2900));
  EXPECT_EQ(g_made[1].end, Point3d(1000, 0, 3500));
  EXPECT_EQ(g_made[2].start, Point3d(1000, 0, 3500));
  EXPECT_EQ(g_made[2].end, Point3d(2000, 0, 3500));
  EXPECT_TRUE(g_made[3].id.isErased());  // the second riser, undone
  EXPECT_EQ(g_made[4].start, Point3d(2000, 0, 3500));
  EXPECT_EQ(g_made[4].end, Point3d(2000, 1000, 3500));
  EXPECT_EQ(shown[0], 3500);
  EXPECT_EQ(shown[1], 3500);
  expectHooksGone();
}

TEST_F(DrawEngine, ArcsAppendTheirFarEndWithTheBulgeAsDrawn) {
  struct Case {
    double z;  // the run's height
    Point3d mid;
    double bulge;
  } cases[] = {
      {0, {500, -500, 0}, 1.0},    // counter-clockwise from the current point
      {0, {500, 500, 0}, -1.0},    // clockwise: the arc is stored reversed, its bulge is negated
      {500, {500, -500, 0}, 1.0},  // a run above z 0 meets the arc in plan
      {500, {500, 500, 0}, -1.0},
  };
  for (const auto& c : cases) {
    g_made.clear();
    points({{0, 0, c.z}});
    word(L"A");
    points({c.mid, {1000, 0, 0}});
    points({{1000, 1000, 0}});
    push(TokenKind::Enter);
    EXPECT_TRUE(LayLinearGjByPoints());
    ASSERT_EQ(g_made.size(), 2u);
    EXPECT_EQ(g_made[0].start, Point3d(0, 0, c.z));
    EXPECT_NEAR(g_made[0].end.x, 1000, 1e-6);
    EXPECT_NEAR(g_made[0].end.y, 0, 1e-6);
    EXPECT_EQ(g_made[0].end.z, c.z);  // run points keep the start's z
    EXPECT_NEAR(g_made[0].bulge, c.bulge, 1e-9) << "z " << c.z;
    EXPECT_NEAR(g_made[1].start.x, 1000, 1e-6);
    EXPECT_EQ(g_made[1].end, Point3d(1000, 1000, c.z));
    expectHooksGone();
  }
  // The host's arc entities are gone: only our segments and edge lines remain.
  for (cad::ObjectId id : db().modelSpaceEntities()) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    if (e) {
      EXPECT_NE(e->kind(), cad::Kind::Arc);
    }
  }
}

TEST_F(DrawEngine, ACancelledArcLeavesTheRunAsItWas) {
  points({{0, 0, 0}, {1000, 0, 0}});
  word(L"A");
  push(TokenKind::Escape);  // Escape at ARC's own prompt
  points({{1000, 800, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ASSERT_EQ(g_made.size(), 2u);
  EXPECT_EQ(g_made[1].start, Point3d(1000, 0, 0));
  EXPECT_EQ(g_made[1].end, Point3d(1000, 800, 0));
  EXPECT_EQ(g_commandWatcher, nullptr);
  expectHooksGone();
}

TEST_F(DrawEngine, ARiserAddedDuringTheRunIsUndoneWithoutMovingTheCurrentPoint) {
  // Stands in for the host calling the riser export while the engine waits.
  ed::registerDirective(L".riser", [](const ed::InputToken&, std::wstring&) {
    const Point3d at = g_linearRun.points.back();
    MakeLinearGjStep(L"给水管", L"JL-1", at, Point3d(at.x, at.y, 3000), 0, 1, 1, LayWindowSnapshot());
    return true;
  });
  points({{0, 0, 0}, {1000, 0, 0}});
  directive(L".riser");
  word(L"U");  // takes the riser back
  points({{1000, 600, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  ed::unregisterDirective(L".riser");
  ASSERT_EQ(g_made.size(), 3u);
  EXPECT_EQ(g_made[1].vertical, 1);
  EXPECT_TRUE(g_made[1].id.isErased());
  EXPECT_FALSE(g_made[0].id.isErased());
  EXPECT_EQ(g_made[2].start, Point3d(1000, 0, 0));
  expectHooksGone();
}

TEST_F(DrawEngine, TheRunsOffsetFilterReplacesAFilterInstalledBefore) {
  struct Other : ed::InputPointFilter {
    int processInputPoint(const ed::InputPointContext&, bool&, Point3d&, bool&, std::wstring&) override {
      return 0;
    }
  } other;
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ASSERT_TRUE(ipm.registerPointFilter(&other));
  os::findFunction<KivPelk_SetOffset_fn>(g_hostWindowLib, "KivPelk_SetOffset")(100, 0, 0);
  points({{0, 0, 0}, {1000, 0, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  os::findFunction<KivPelk_SetOffset_fn>(g_hostWindowLib, "KivPelk_SetOffset")(0, 0, 0);
  ASSERT_EQ(g_made.size(), 1u);
  EXPECT_EQ(g_made[0].start, Point3d(100, 0, 0));  // both points carry the lay window's offset
  EXPECT_EQ(g_made[0].end, Point3d(1100, 0, 0));
  expectHooksGone();
}

TEST_F(DrawEngine, AnArcUnderAnOffsetStartsAtTheCurrentPoint) {
  auto setOffset = os::findFunction<KivPelk_SetOffset_fn>(g_hostWindowLib, "KivPelk_SetOffset");
  setOffset(100, 0, 0);
  points({{-100, 0, 0}});  // the run starts at (0, 0)
  word(L"A");
  points({{400, -500, 0}, {900, 0, 0}});  // through (500, -500) to (1000, 0) with the offset
  push(TokenKind::Enter);
  EXPECT_TRUE(LayLinearGjByPoints());
  setOffset(0, 0, 0);
  ASSERT_EQ(g_made.size(), 1u);
  EXPECT_EQ(g_made[0].start, Point3d(0, 0, 0));
  EXPECT_NEAR(g_made[0].end.x, 1000, 1e-6);
  EXPECT_NEAR(g_made[0].end.y, 0, 1e-6);
  EXPECT_NEAR(g_made[0].bulge, 1.0, 1e-9);
  expectHooksGone();
}

}  // namespace
