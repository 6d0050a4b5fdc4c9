// Offset input and snap filters: the offset of the offset window, the cross
// at the cursor, the layer limit of the object snap, the one-point prompt
// with its hooks, and the right-click message filters.
#include "module/toolkit/offset_input.h"

#include <gtest/gtest.h>

#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;

class OffsetInput : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    g_inputSnapPart = 1;
  }
  void TearDown() override {
    if (!IsSkipped()) setOffset(0, 0, 0);
    g_inputSnapPart = 1;
    ProjectSandbox::TearDown();
  }
  void setOffset(double dx, double dy, double z) {
    auto set = os::findFunction<KivPelk_SetOffset_fn>(g_hostWindowLib, "KivPelk_SetOffset");
    ASSERT_NE(set, nullptr);
    set(dx, dy, z);
  }
  cad::Database& db() { return *ed::curDatabase(); }
  void addLayer(const std::wstring& name) {
    cad::ObjectPtr<cad::LayerTable> t(db().layerTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::LayerRecord>();
    rec->setName(name);
    t->add(std::move(rec));
  }
  cad::ObjectId append(std::unique_ptr<cad::Entity> e, const std::wstring& layer) {
    if (db().layerId(layer).isNull()) addLayer(layer);
    e->setLayer(layer);
    cad::ObjectId id;
    cad::ObjectPtr<cad::BlockRecord> space(db().modelSpaceId(), cad::OpenMode::ForWrite);
    EXPECT_EQ(space->appendEntity(std::move(e), &id), cad::Status::Ok);
    return id;
  }
  cad::ObjectId line(const std::wstring& layer) {
    return append(std::make_unique<cad::Line>(Point3d(0, 0), Point3d(100, 0)), layer);
  }
  static void push(ed::TokenKind kind, Point3d p = {}, std::wstring text = L"") {
    ed::InputToken t;
    t.kind = kind;
    t.p1 = p;
    t.text = std::move(text);
    ed::inputQueue().push(t);
  }
};

TEST_F(OffsetInput, FilterMovesThePointByTheWindowOffsetAndTakesItsZ) {
  struct Case {
    double dx, dy, z;
    Point3d computed;
    bool changed;
    Point3d expected;
  } cases[] = {
      {100, 0, 0, {1000, 2000, 0}, true, {1100, 2000, 0}},
      {0, 0, 0, {1000, 2000, 0}, false, {1000, 2000, 0}},
      {0, 0, 500, {1000, 2000, 80}, true, {1000, 2000, 500}},  // z is the window's, not added
      {-5, 7, 0, {10, 20, 300}, true, {5, 27, 0}},
  };
  for (const auto& c : cases) {
    setOffset(c.dx, c.dy, c.z);
    CAcEdInputPointFilter filter;
    ed::InputPointContext ctx;
    ctx.computedPoint = c.computed;
    bool changed = false, glyph = false;
    Point3d out = c.computed;
    std::wstring tip;
    filter.processInputPoint(ctx, changed, out, glyph, tip);
    EXPECT_EQ(changed, c.changed) << c.dx << "," << c.dy << "," << c.z;
    EXPECT_EQ(glyph, c.changed);
    EXPECT_EQ(out, c.expected);
    // A point the host did not compute is left alone.
    ctx.pointComputed = false;
    changed = false;
    out = c.computed;
    filter.processInputPoint(ctx, changed, out, glyph, tip);
    EXPECT_FALSE(changed);
    EXPECT_EQ(out, c.computed);
  }
}

TEST_F(OffsetInput, MonitorDrawsTheCrossOnlyWithAnOffset) {
  CAcEdInputPointMonitor monitor;
  EXPECT_TRUE(monitor.layers().empty());
  EXPECT_EQ(monitor.state(), 0);
  ed::InputPointContext ctx;
  ctx.computedPoint = Point3d(1100, 2000, 0);
  bool append = false;
  std::wstring tip;

  setOffset(0, 0, 0);
  ed::ViewportDraw none;
  monitor.monitorInputPoint(ctx, none, append, tip);
  EXPECT_TRUE(none.calls().empty());

  setOffset(100, 0, 0);
  ed::ViewportDraw draw;
  monitor.monitorInputPoint(ctx, draw, append, tip);
  std::vector<std::vector<Point3d>> lines;
  int colour = -1;
  for (const auto& call : draw.calls()) {
    if (call.kind == ed::DrawCall::Color) colour = call.color;
    if (call.kind == ed::DrawCall::Polyline) {
      EXPECT_EQ(colour, 10);
      lines.push_back(call.pts);
    }
  }
  ASSERT_EQ(lines.size(), 2u);
  const double s = lines[0][1].x - 1100;
  EXPECT_GT(s, 0);
  EXPECT_EQ(lines[0], (std::vector<Point3d>{{1100 - s, 2000, 0}, {1100 + s, 2000, 0}}));
  EXPECT_EQ(lines[1], (std::vector<Point3d>{{1100, 2000 - s, 0}, {1100, 2000 + s, 0}}));
}

TEST_F(OffsetInput, SnapIsLimitedToTheListedLayers) {
  const cad::ObjectId axis = line(L"轴网");
  const cad::ObjectId wall = line(L"砖墙");
  const cad::ObjectId other = line(L"给水管");
  const cad::ObjectId upper = line(L"AXIS");
  auto hatch = std::make_unique<cad::Hatch>();
  const cad::ObjectId hatchOnAxis = append(std::move(hatch), L"轴网");

  struct Case {
    const wchar_t* list;
    int snapPart;
    cad::ObjectId entity;
    bool excluded;
  } cases[] = {
      {kDefaultSnapLayers, 1, axis, false},
      {kDefaultSnapLayers, 1, wall, false},
      {kDefaultSnapLayers, 1, other, true},
      {kDefaultSnapLayers, 1, hatchOnAxis, true},  // a hatch never snaps
      {L"axis", 1, upper, true},                   // names compare case-sensitively
      {L"AXIS", 1, upper, false},
      {kDefaultSnapLayers, 0, other, false},       // the limit is off
      {kDefaultSnapLayers, 0, hatchOnAxis, false},
      {L"*", 1, other, false},
      {L"#", 1, axis, true},
      {L"", 1, other, false},                      // no list, no limit
  };
  for (const auto& c : cases) {
    g_inputSnapPart = c.snapPart;
    CAcEdInputPointMonitor monitor;
    monitor.SetLayers(c.list, 1);
    EXPECT_EQ(monitor.IsSnapExcluded({c.entity}, 0), c.excluded)
        << std::string(os::toUtf8(c.list)) << " part " << c.snapPart;
    EXPECT_EQ(monitor.excludeFromOsnapCalculation({c.entity}, 0), c.excluded);
  }
  g_inputSnapPart = 1;
  CAcEdInputPointMonitor monitor;
  monitor.SetLayers(kDefaultSnapLayers, 0);
  EXPECT_FALSE(monitor.IsSnapExcluded({}, 0));  // nothing hit
  EXPECT_EQ(db().numOpenObjects(), 0u);
  // SetLayers replaces the list and resets the state.
  monitor.setState(3);
  monitor.SetLayers(L"a,b", 1);
  EXPECT_EQ(monitor.layers(), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(monitor.state(), 0);
}

TEST_F(OffsetInput, PointPromptAnswersEachStatusAndTakesItsHooksAway) {
  struct Case {
    ed::TokenKind kind;
    const wchar_t* text;
    int status;
  } cases[] = {
      {ed::TokenKind::Text, L"D", ed::kKeyword},  // any typed text
      {ed::TokenKind::Enter, L"", ed::kNone},
      {ed::TokenKind::Escape, L"", ed::kCancel},
  };
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  for (const auto& c : cases) {
    ed::initGet(0, L"Old");  // a keyword list set before is replaced
    push(c.kind, {}, c.text);
    Point3d p;
    EXPECT_EQ(GetPointWithOffset(L"\n指定扣弯点[选择第二个管道(D)]:", p, L""), c.status);
    EXPECT_EQ(ipm.currentPointFilter(), nullptr);
    EXPECT_TRUE(ipm.monitors().empty());
  }
  std::wstring word;
  ed::initGet(0, L"");
  push(ed::TokenKind::Text, {}, L"anything");
  Point3d p;
  ASSERT_EQ(GetPointWithOffset(L"\n请选择布置基点[撤销(U)/旋转(R)]:", p, L""), ed::kKeyword);
  ASSERT_EQ(ed::getInput(word), ed::kNormal);
  EXPECT_EQ(word, L"anything");

  // A picked point carries the offset of the window.
  setOffset(100, 0, 0);
  push(ed::TokenKind::Point, {1000, 2000, 0});
  ASSERT_EQ(GetPointWithOffset(L"\n点:", p, L""), ed::kNormal);
  EXPECT_EQ(p, Point3d(1100, 2000, 0));
}

TEST_F(OffsetInput, PointPromptSetsARunningEnginesFilterAsideAndPutsItBack) {
  struct Engine : ed::InputPointFilter {
    int calls = 0;
    int processInputPoint(const ed::InputPointContext&, bool&, Point3d&, bool&, std::wstring&) override {
      ++calls;
      return 0;
    }
  } engine;
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ASSERT_TRUE(ipm.registerPointFilter(&engine));
  setOffset(10, 10, 0);
  push(ed::TokenKind::Point, {0, 0, 0});
  Point3d p;
  ASSERT_EQ(GetPointWithOffset(L"\n点:", p, L"轴网"), ed::kNormal);
  EXPECT_EQ(p, Point3d(10, 10, 0));  // our filter had the point, not the engine's
  EXPECT_EQ(engine.calls, 0);
  EXPECT_EQ(ipm.currentPointFilter(), &engine);
  ipm.revokePointFilter();
}

TEST_F(OffsetInput, RightClickFilters) {
  ed::Msg right;
  right.message = ed::kWmRButtonDown;
  ed::Msg left;
  left.message = ed::kWmLButtonDown;

  ed::Msg m = right;
  EXPECT_FALSE(RightClickAsEscape(&m));
  EXPECT_EQ(m.message, ed::kWmKeyDown);
  EXPECT_EQ(m.wParam, std::uintptr_t(ed::kVkEscape));
  m = left;
  EXPECT_FALSE(RightClickAsEscape(&m));
  EXPECT_EQ(m.message, ed::kWmLButtonDown);

  const size_t mark = ed::transcriptMark();
  m = right;
  EXPECT_TRUE(SwallowRightClick(&m));
  EXPECT_EQ(ed::transcriptSince(mark), L"\n");
  m = left;
  EXPECT_FALSE(SwallowRightClick(&m));
  EXPECT_EQ(ed::transcriptSince(mark), L"\n");

  // Under RightClickAsEscape a right click cancels a prompt; under
  // SwallowRightClick it is passed over and the next input answers.
  ed::registerFilterWinMsg(RightClickAsEscape);
  push(ed::TokenKind::RightClick);
  Point3d p;
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kCancel);
  ed::removeFilterWinMsg(RightClickAsEscape);
  ed::registerFilterWinMsg(SwallowRightClick);
  push(ed::TokenKind::RightClick);
  push(ed::TokenKind::Point, {5, 6, 0});
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, Point3d(5, 6, 0));
  ed::removeFilterWinMsg(SwallowRightClick);
}

}  // namespace
