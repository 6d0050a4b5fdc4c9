// The hooks of a linear run (offset filter, single-line and multi-line
// previews) and the runner that waits for a nested host command.
#include "module/model/input_hooks.h"

#include <gtest/gtest.h>

#include "module/model/draw_engine.h"
#include "module/toolkit/solid_mode.h"
#include "module/toolkit/window_lib.h"
#include <cmath>
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/input.h"
#include "platform/editor/status.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;
using ed::TokenKind;

class InputHooks : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    g_linearRun = LinearRun{};
    g_multiLineRows.clear();
    g_solidMode = SolidMode::Plan;
    ForgetLayWindowElevations();
  }
  void TearDown() override {
    if (!IsSkipped()) setOffset(0, 0);
    g_linearRun = LinearRun{};
    g_multiLineRows.clear();
    g_solidMode = SolidMode::Plan;
    EndWatchCommand();
    ProjectSandbox::TearDown();
  }
  void setOffset(double dx, double dy) {
    os::findFunction<KivPelk_SetOffset_fn>(g_hostWindowLib, "KivPelk_SetOffset")(dx, dy, 0);
  }
  static void push(TokenKind kind, Point3d p = {}) {
    ed::InputToken t;
    t.kind = kind;
    t.p1 = p;
    ed::inputQueue().push(t);
  }
  static ed::InputPointContext at(Point3d computed, Point3d raw) {
    ed::InputPointContext ctx;
    ctx.computedPoint = computed;
    ctx.rawPoint = raw;
    return ctx;
  }
  template <class M>
  static std::vector<ed::DrawCall> draw(M& monitor, const ed::InputPointContext& ctx) {
    ed::ViewportDraw d;
    bool append = false;
    std::wstring tip;
    monitor.monitorInputPoint(ctx, d, append, tip);
    return d.calls();
  }
  static std::vector<ed::DrawCall> of(const std::vector<ed::DrawCall>& calls, ed::DrawCall::Kind kind) {
    std::vector<ed::DrawCall> out;
    for (const auto& c : calls)
      if (c.kind == kind) out.push_back(c);
    return out;
  }
};

TEST_F(InputHooks, WatchFollowsTheNestedCommandToItsEnd) {
  struct Case {
    bool run;                        // run ARC at all
    std::vector<TokenKind> answers;  // the user's inputs to ARC after its start
    int status;
  } cases[] = {
      {true, {TokenKind::Point, TokenKind::Point}, ed::kNormal},
      {true, {TokenKind::Escape}, ed::kCancel},  // cancelled at its first prompt
      {false, {}, ed::kCancel},                  // never started
  };
  const Point3d pts[] = {{500, 500, 0}, {1000, 0, 0}};
  for (const auto& c : cases) {
    for (size_t i = 0; i < c.answers.size(); ++i) push(c.answers[i], pts[i]);
    BeginWatchCommand(L"arc");
    ASSERT_NE(g_commandWatcher, nullptr);
    EXPECT_EQ(g_commandWatcher->watchedName, L"ARC");
    EXPECT_EQ(g_commandWatcher->state, CInputReactor::kNotStarted);
    if (c.run) ed::command({L"arc", Point3d(0, 0, 0), L"\\"});
    EXPECT_EQ(WaitWatchedCommand(L"arc"), c.status);
    EndWatchCommand();
    EXPECT_EQ(g_commandWatcher, nullptr);
  }
  // Other commands leave the watcher's state alone; names compare in upper case.
  CInputReactor r;
  r.watchedName = L"ROTATE";
  r.commandWillStart(L"ARC");
  EXPECT_EQ(r.state, CInputReactor::kNotStarted);
  r.commandWillStart(L"rotate");
  EXPECT_EQ(r.state, CInputReactor::kStarted);
  r.commandCancelled(L"ROTATE");
  EXPECT_EQ(r.state, CInputReactor::kCancelled);
  r.commandEnded(L"Rotate");
  EXPECT_EQ(r.state, CInputReactor::kEnded);
}

TEST_F(InputHooks, FilterMovesByTheLayWindowOffsetToZeroElevation) {
  struct Case {
    double dx, dy;
    Point3d in;
    bool changed;
    Point3d out;
  } cases[] = {
      {0, 0, {10, 20, 5}, false, {10, 20, 5}},
      {100, 0, {10, 20, 5}, true, {110, 20, 0}},
      {0, -30, {10, 20, 5}, true, {10, -10, 0}},
  };
  for (const auto& c : cases) {
    setOffset(c.dx, c.dy);
    CKivInputPointFilter filter;
    bool changed = false, glyph = false;
    Point3d p = c.in;
    std::wstring tip;
    filter.processInputPoint(at(c.in, c.in), changed, p, glyph, tip);
    EXPECT_EQ(changed, c.changed);
    EXPECT_EQ(glyph, c.changed);
    EXPECT_EQ(p, c.out);
  }
}

TEST_F(InputHooks, SingleLinePreviewShowsLengthCrossAnd3dLine) {
  CKivInputPointMonitor monitor;
  monitor.active = 1;
  // Before the first point: no length text, no line.
  EXPECT_TRUE(draw(monitor, at({1000, 0, 0}, {1000, 0, 0})).empty());

  g_linearRun.points = {{0, 0, 0}};
  auto calls = draw(monitor, at({3000, 4000, 0}, {3000, 4000, 0}));
  auto texts = of(calls, ed::DrawCall::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, L"5000.00");
  EXPECT_EQ(texts[0].radius, 200);  // the text height
  EXPECT_EQ(texts[0].color, 7);
  // 30 to the left of the plan midpoint, seen along the segment.
  ASSERT_EQ(texts[0].pts.size(), 1u);
  EXPECT_NEAR(texts[0].pts[0].x, 1500 - 24, 1e-9);
  EXPECT_NEAR(texts[0].pts[0].y, 2000 + 18, 1e-9);
  EXPECT_TRUE(of(calls, ed::DrawCall::Polyline).empty());  // no offset, 3D view off

  // With an offset: the cross at z 0; in the 3D view with elevations also
  // the cross at the current elevation and the 3D line without the offset.
  setOffset(100, 0);
  g_linearRun.points = {{0, 0, 0}, {1000, 0, 0}};
  calls = draw(monitor, at({2100, 0, 0}, {2000, 0, 0}));
  EXPECT_EQ(of(calls, ed::DrawCall::Polyline).size(), 2u);

  auto setPalette = os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette");
  double zs = 0, ze = 0;
  winlib::LayLinearGj(winlib::kPaletteOpen, 0, 0, zs, ze);
  setPalette(3000, 3500, 0, 2);
  g_solidMode = SolidMode::Floor3d;
  calls = draw(monitor, at({2100, 0, 0}, {2000, 0, 0}));
  auto lines = of(calls, ed::DrawCall::Polyline);
  ASSERT_EQ(lines.size(), 5u);  // cross at 3500, cross at 0, 3D line
  EXPECT_EQ(lines[0].pts[0].z, 3500);
  EXPECT_EQ(lines[2].pts[0].z, 0);
  EXPECT_EQ(lines[4].pts, (std::vector<Point3d>{{1000, 0, 3000}, {2000, 0, 3500}}));
  texts = of(calls, ed::DrawCall::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, L"1118.03");  // from (1000,0,3000) to (2000,0,3500)
  // The values the preview read stay the run's for the step of the same click
  // and after it.
  double s = 0, e = 0;
  EXPECT_TRUE(ReadLayWindowElevations(s, e));
  EXPECT_EQ(s, 3000);
  EXPECT_EQ(e, 3500);
  ForgetLayWindowElevations();
  EXPECT_FALSE(ReadLayWindowElevations(s, e));
  winlib::LayLinearGj(winlib::kPaletteClose, 0, 0, zs, ze);

  // An inactive monitor draws nothing.
  monitor.active = 0;
  EXPECT_TRUE(draw(monitor, at({2100, 0, 0}, {2000, 0, 0})).empty());
}

TEST_F(InputHooks, MultiLinePreviewOffsetsEveryRow) {
  CKivMlineMonitor monitor;
  monitor.active = 1;
  g_linearRun.points = {{0, 0, 0}, {1000, 0, 0}};
  g_linearRun.bulges = {0, 0};
  monitor.lastInputPoint = Point3d(1000, 0, 0);

  // Rows whose offset is below 1 lie on the run itself.
  g_multiLineRows = {L"给水管,JL-1,0,0.5", L"给水管,JL-1,0,0", L"给水管,JL-1,0,-300"};
  auto plines = of(draw(monitor, at({1000, 1000, 0}, {1000, 1000, 0})), ed::DrawCall::Pline);
  ASSERT_EQ(plines.size(), 3u);
  const std::vector<Point3d> own{{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}};
  for (const auto& p : plines) EXPECT_EQ(p.pts, own);

  // A positive offset gives a parallel line with as many vertices.
  g_multiLineRows = {L"给水管,JL-1,0,100"};
  plines = of(draw(monitor, at({1000, 1000, 0}, {1000, 1000, 0})), ed::DrawCall::Pline);
  ASSERT_EQ(plines.size(), 1u);
  ASSERT_EQ(plines[0].pts.size(), 3u);
  EXPECT_NE(plines[0].pts, own);
  EXPECT_NEAR(std::fabs(plines[0].pts[0].y), 100, 1e-6);

  // While an arc is being entered the rubber band bends through its middle
  // point: the row's offset curve follows the arc, so the cursor's vertex is
  // moved along the arc's radius (on the x axis) instead of across a line.
  monitor.lastInputPoint = Point3d(1500, 500, 0);
  plines = of(draw(monitor, at({2000, 0, 0}, {2000, 0, 0})), ed::DrawCall::Pline);
  ASSERT_EQ(plines.size(), 1u);
  ASSERT_EQ(plines[0].pts.size(), 3u);
  EXPECT_NEAR(plines[0].pts[2].y, 0, 1e-6);
  EXPECT_NEAR(std::fabs(plines[0].pts[2].x - 2000), 100, 1e-6);
  // The band is drawn as the arc it is, not as its chord.
  ASSERT_EQ(plines[0].bulges.size(), 3u);
  EXPECT_EQ(plines[0].bulges[0], 0);
  EXPECT_GT(std::fabs(plines[0].bulges[1]), 0.9) << "about a half circle, met at the corner";
  EXPECT_EQ(plines[0].bulges[2], 0);
  monitor.lastInputPoint = Point3d(1000, 0, 0);

  // A row of three fields: a message and no line.
  g_multiLineRows = {L"给水管,JL-1,0"};
  const size_t mark = ed::transcriptMark();
  EXPECT_TRUE(of(draw(monitor, at({1000, 1000, 0}, {1000, 1000, 0})), ed::DrawCall::Pline).empty());
  EXPECT_EQ(ed::transcriptSince(mark), L"\n管线信息不正确");

  // Bulges that do not match the points: nothing.
  g_multiLineRows = {L"给水管,JL-1,0,0"};
  g_linearRun.bulges = {0};
  EXPECT_TRUE(draw(monitor, at({1000, 1000, 0}, {1000, 1000, 0})).empty());
}

}  // namespace
