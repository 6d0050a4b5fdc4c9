// Lines to components: the pick loop toggles lines and polylines in and out
// of the picked list, Enter converts every segment of the list through the
// callback pair at the two elevations of the window, and every way out
// closes the window.
#include "module/model/lines_to_gj.h"

#include <gtest/gtest.h>

#include <cmath>

#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/project_tables.h"
#include "module/toolkit/window_lib.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;
using ed::TokenKind;

struct Made {
  std::wstring name, number;
  Point3d start, end;
  double bulge;
  int vertical;
};
std::vector<Made> g_made;
std::vector<cad::ObjectId> g_decorated;

cad::ObjectId RecordCreate(const std::wstring& name, const std::wstring& number, const Point3d& s,
                           const Point3d& e, double bulge, int vertical) {
  g_made.push_back({name, number, s, e, bulge, vertical});
  return {};
}
void RecordDecorate(const std::wstring&, cad::ObjectId id) { g_decorated.push_back(id); }

class LinesToGj : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    setCombo(L"构件", L"给水管");
    setCombo(L"编号", L"JL-1");
    g_made.clear();
    g_decorated.clear();
    g_createGjCb = &RecordCreate;
    g_decorateGjCb = &RecordDecorate;
  }
  void TearDown() override {
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    ProjectSandbox::TearDown();
  }
  void setCombo(const std::wstring& combo, const std::wstring& value) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(combo.c_str(), value.c_str());
  }
  std::wstring pelkLog() {
    auto log = os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W");
    std::vector<wchar_t> buf(static_cast<std::size_t>(log(nullptr, 0)) + 1);
    log(buf.data(), static_cast<int>(buf.size()));
    return buf.data();
  }
  bool paletteOpen() {
    double v[3] = {};
    return os::findFunction<KivPelk_GetPalette_fn>(g_hostWindowLib, "KivPelk_GetPalette")(v) != 0;
  }
  cad::Database& db() { return *ed::curDatabase(); }
  cad::ObjectId append(std::unique_ptr<cad::Entity> e) {
    cad::ObjectId id;
    cad::ObjectPtr<cad::BlockRecord> space(db().modelSpaceId(), cad::OpenMode::ForWrite);
    EXPECT_EQ(space->appendEntity(std::move(e), &id), cad::Status::Ok);
    return id;
  }
  cad::ObjectId line(Point3d a, Point3d b) { return append(std::make_unique<cad::Line>(a, b)); }
  cad::ObjectId polyline(const std::vector<Point3d>& pts, const std::vector<double>& bulges = {}) {
    auto pl = std::make_unique<cad::Polyline>();
    for (std::size_t i = 0; i < pts.size(); ++i)
      pl->addVertexAt(static_cast<unsigned>(i), geom::Point2d(pts[i].x, pts[i].y),
                      i < bulges.size() ? bulges[i] : 0.0);
    return append(std::move(pl));
  }
  bool highlighted(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return e && e->isHighlighted();
  }
  static void push(TokenKind kind, std::wstring text = L"") {
    ed::InputToken t;
    t.kind = kind;
    t.text = std::move(text);
    ed::inputQueue().push(t);
  }
  static void pick(cad::ObjectId id) { push(TokenKind::Pick, id.handle().text()); }
};

TEST_F(LinesToGj, PicksToggleAndEnterConvertsTheListedSegmentsOnly) {
  const cad::ObjectId ln = line({0, 0, 0}, {1000, 0, 0});
  const cad::ObjectId pl = polyline({{0, 1000}, {1000, 1000}, {1000, 2000}, {0, 2000}});
  pick(ln);
  pick(pl);
  pick(ln);  // picked again: leaves the list
  push(TokenKind::Enter);
  push(TokenKind::Enter);  // nothing picked any more: the routine ends
  const size_t mark = ed::transcriptMark();
  LineToGj();

  const std::wstring out = ed::transcriptSince(mark);
  const size_t a = out.find(L"选中1个，总计1个");
  const size_t b = out.find(L"选中1个，总计2个");
  const size_t c = out.find(L"选中0个，总计1个");
  ASSERT_NE(a, std::wstring::npos) << os::toUtf8(out);
  ASSERT_NE(b, std::wstring::npos);
  ASSERT_NE(c, std::wstring::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);

  ASSERT_EQ(g_made.size(), 3u);
  const Point3d corners[] = {{0, 1000, 0}, {1000, 1000, 0}, {1000, 2000, 0}, {0, 2000, 0}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(g_made[i].name, L"给水管");
    EXPECT_EQ(g_made[i].number, L"JL-1");
    EXPECT_EQ(g_made[i].start.x, corners[i].x);
    EXPECT_EQ(g_made[i].start.y, corners[i].y);
    EXPECT_EQ(g_made[i].end.x, corners[i + 1].x);
    EXPECT_EQ(g_made[i].end.y, corners[i + 1].y);
    EXPECT_EQ(g_made[i].vertical, 0);
  }
  EXPECT_EQ(g_decorated.size(), 3u);
  // The picked entities stay, without highlight; the window is closed.
  EXPECT_FALSE(ln.isErased());
  EXPECT_FALSE(pl.isErased());
  EXPECT_FALSE(highlighted(pl));
  EXPECT_FALSE(highlighted(ln));
  EXPECT_FALSE(paletteOpen());
  EXPECT_NE(pelkLog().find(L"WinDll_InputTwoElev_W(4,0,0"), std::wstring::npos);
  // The three layers of the component exist.
  for (const wchar_t* layer : {L"给水管", L"给水管名", L"给水管边线"})
    EXPECT_FALSE(db().layerId(layer).isNull()) << os::toUtf8(layer);
}

TEST_F(LinesToGj, EverySegmentRunsFromTheFirstToTheSecondElevationAndKeepsItsBulge) {
  const cad::ObjectId pl = polyline({{0, 0}, {1000, 0}, {1000, 1000}}, {0.0, 0.5});
  auto setPalette = os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette");
  ASSERT_NE(setPalette, nullptr);
  setPalette(2800, 3000, 0, 2);  // typed into the window while picking
  pick(pl);
  push(TokenKind::Enter);
  push(TokenKind::Escape);
  LineToGj();
  ASSERT_EQ(g_made.size(), 2u);
  for (const Made& m : g_made) {
    EXPECT_EQ(m.start.z, 2800);
    EXPECT_EQ(m.end.z, 3000);
  }
  EXPECT_EQ(g_made[0].bulge, 0.0);
  EXPECT_EQ(g_made[1].bulge, 0.5);
  EXPECT_FALSE(paletteOpen());
}

TEST_F(LinesToGj, UnchangedWindowKeepsTheElevationItOpenedWith) {
  const cad::ObjectId ln = line({0, 0, 0}, {500, 0, 0});
  pick(ln);
  push(TokenKind::Enter);
  push(TokenKind::Escape);
  LineToGj();
  // The window could give no new values: the conversion goes on with those
  // it opened with.
  ASSERT_EQ(g_made.size(), 1u);
  const double z = LineToGjDefaultElevation();
  EXPECT_EQ(g_made[0].start.z, z);
  EXPECT_EQ(g_made[0].end.z, z);
}

TEST_F(LinesToGj, EndingsAndIgnoredPicksLeaveNothingBehind) {
  const cad::ObjectId ln = line({0, 0, 0}, {500, 0, 0});
  const cad::ObjectId circle = append(std::make_unique<cad::Circle>(Point3d(0, 0, 0), geom::Vector3d(0, 0, 1), 100));
  struct Case {
    const char* what;
    std::vector<ed::InputToken> input;
    const wchar_t* message;  // the count line printed, or null for none
  } cases[] = {
      {"Enter with nothing picked", {}, nullptr},
      {"Escape after a pick", {}, L"选中1个，总计1个"},
      {"a circle is passed over", {}, L"选中0个，总计0个"},
  };
  ed::InputToken enter, escape, pickLine, pickCircle;
  enter.kind = TokenKind::Enter;
  escape.kind = TokenKind::Escape;
  pickLine.kind = pickCircle.kind = TokenKind::Pick;
  pickLine.text = ln.handle().text();
  pickCircle.text = circle.handle().text();
  cases[0].input = {enter};
  cases[1].input = {pickLine, escape};
  cases[2].input = {pickCircle, enter};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_made.clear();
    for (const auto& t : c.input) ed::inputQueue().push(t);
    const size_t mark = ed::transcriptMark();
    LineToGj();
    EXPECT_TRUE(g_made.empty());
    EXPECT_FALSE(highlighted(ln));
    EXPECT_FALSE(paletteOpen());
    const std::wstring out = ed::transcriptSince(mark);
    if (c.message) {
      EXPECT_NE(out.find(c.message), std::wstring::npos) << os::toUtf8(out);
    } else {
      EXPECT_EQ(out.find(L"选中"), std::wstring::npos) << os::toUtf8(out);
    }
    EXPECT_TRUE(ed::inputQueue().empty());
  }
}

TEST_F(LinesToGj, NoNumberChosenDoesNothing) {
  setCombo(L"编号", L"");
  const cad::ObjectId ln = line({0, 0, 0}, {500, 0, 0});
  pick(ln);
  push(TokenKind::Enter);
  LineToGj();
  EXPECT_TRUE(g_made.empty());
  EXPECT_EQ(pelkLog().find(L"WinDll_InputTwoElev_W"), std::wstring::npos);
  ed::inputQueue().clear();
}

TEST(LinesToGjElevation, BottomElevationOfTheCurrentNumber) {
  const CurrentGj saved = g_curLineGj;
  const double savedHeight = g_floorHeight;
  g_floorHeight = 3000;
  struct Case {
    std::wstring params;
    double expected;
  } cases[] = {
      {L"JL-1=管径=25\r\n底标高=层高", 3000},
      {L"JL-1=底标高=2800\r\n管径=25", 2800},
      {L"JL-1=管径=25", 0},               // no bottom elevation
      {L"JL-2=底标高=1200", 0},           // another number's value is not taken
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.params));
    g_curLineGj = CurrentGj{};
    g_curLineGj.number = L"JL-1";
    g_curLineGj.params = {c.params};
    EXPECT_EQ(LineToGjDefaultElevation(), c.expected);
  }
  g_curLineGj = saved;
  g_floorHeight = savedHeight;
}

}  // namespace
