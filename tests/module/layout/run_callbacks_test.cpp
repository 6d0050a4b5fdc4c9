// The run callbacks driven through the draw-by-points engine on a copy of the
// demo project: the primaries with their styles, widths and component data,
// the labels on the "名" layers, the outlines on the "边线" layers, arcs,
// risers, the overlap switch, the "构件" rule, visibility, the floor table
// rows, and the saved drawing as another reader sees it.
#include "module/layout/run_callbacks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/floor_table_writer.h"
#include "module/model/linear_entities.h"
#include "module/model/pipe_outline.h"
#include "module/model/special_data.h"
#include "module/model/vertical_gj.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/document.h"
#include "platform/editor/reactor.h"
#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;
using ed::TokenKind;

const fs::path kDemoProject = fs::path(KIV_BINARY_DIR) / "demo" / u8"示例工程";
const fs::path kDemoSystem = fs::path(KIV_BINARY_DIR) / "suite" / u8"系统文件";

constexpr double kPi = 3.14159265358979323846;

// Sections given to numbers of the first floor for these tests (the demo's
// linear components have none).
const char* const kSections =
    "UPDATE records SET 坐标='-16,-16|16,-16|16,16|-16,16' WHERE 构件名称='给水管' AND 编号='J1';"
    "UPDATE records SET 坐标='0,0|20,0' WHERE 构件名称='照明导线' AND 编号='WL1';"
    "UPDATE records SET 坐标='-250,-160|250,-160|250,160|-250,160' WHERE 构件名称='送风管' AND 编号='SF1';";
// Numbered rows added after the rows of their names (name, number, category,
// parameters, section).
const char* const kNewRows[][5] = {
    {"桥架", "QJ8", "电缆桥架", "B=300", "0,100|0,0|300,0"},
    {"桥架", "QJ9", "电缆桥架", "B=400", "-200,-50|200,-50|200,50|-200,50"},
    {"托盘", "TP1", "电缆桥架", "B=300", "0,100|0,0|300,0"},
    {"管道沟槽", "GC1", "排水零星", "沟宽(mm)=600", "-300,0|300,0|300,-800|-300,-800"},
    {"电缆", "DL1", "电缆桥架", "型号=YJV", ""},
    {"线槽", "XC1", "管线", "B=100", "0,0|{B},0|{B},50|0,50"},
};

// Inserts a row right after the last row of its name (the readers walk the
// rows of a name as one group), moving the rows below it down by one.
std::string insertAfterName(const char* const (&row)[5]) {
  const std::string last = "(SELECT max(_ord) FROM records WHERE 构件名称='" + std::string(row[0]) + "')";
  return "UPDATE records SET _ord=-_ord-1 WHERE _ord>" + last + ";UPDATE records SET _ord=-_ord WHERE _ord<0;" +
         "INSERT INTO records(_ord,构件名称,编号,构件分类,参数,坐标) VALUES(" + last + "+1,'" + row[0] + "','" +
         row[1] + "','" + row[2] + "','" + row[3] + "','" + row[4] + "');";
}

// Runs a shell command; its output (with errors) goes to out. The exit status.
int capture(const std::string& cmd, std::string& out) {
  FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  return ::pclose(p);
}

struct Label {
  cad::ObjectId id;
  std::wstring text, number, owner;
  Point3d at;
  double rotation = 0;
  bool visible = true;
  bool byLayer = false;
};

class RunCallbacks : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    if (!fs::exists(kDemoProject) || !fs::exists(kDemoSystem)) GTEST_SKIP() << "demo data not built";
    fs::copy(kDemoSystem, suiteSystem(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy(kDemoProject, project(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::string statements = kSections;
    for (const auto& row : kNewRows) statements += insertAfterName(row);
    const std::string out = sql(project() / u8"1层.DB", statements);
    ASSERT_TRUE(out.empty()) << out;
    showFloor(L"1层");
    savedCheck_ = g_checkGjOverlap;
    g_checkGjOverlap = 1;
    g_curLineGj = CurrentGj{};
    ForgetLayWindowElevations();
  }
  void TearDown() override {
    g_checkGjOverlap = savedCheck_;
    g_curLineGj = CurrentGj{};
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    ProjectSandbox::TearDown();
  }

  cad::Database& db() { return *ed::curDatabase(); }

  std::string sql(const fs::path& table, const std::string& statements) {
    std::string out;
    capture("sqlite3 '" + table.string() + "' \"" + statements + "\"", out);
    return out;
  }

  // What a layout command does: chooses the component in the host combos,
  // loads it and runs the engine with the pair; the script lays one run (the
  // points, then Enter) and Escape ends the command.
  void lay(const std::wstring& name, const std::wstring& number, CreateGjCb create, DecorateGjCb decorate,
           double elevation, const std::function<void()>& script) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"构件", name.c_str());
    set(L"编号", number.c_str());
    ASSERT_TRUE(LoadCurGjDefine());
    script();
    push(TokenKind::Escape);
    RunLinearGjByPoints(create, decorate, elevation);
    EXPECT_EQ(db().numOpenObjects(), 0u);
  }
  void layRun(const std::wstring& name, const std::wstring& number, CreateGjCb create, DecorateGjCb decorate,
              std::initializer_list<Point3d> pts, double elevation = 3000) {
    lay(name, number, create, decorate, elevation, [&] {
      points(pts);
      push(TokenKind::Enter);
    });
  }
  // One arc run from the origin through mid to end.
  void layArc(const std::wstring& name, const std::wstring& number, CreateGjCb create, DecorateGjCb decorate,
              const Point3d& mid, const Point3d& end) {
    lay(name, number, create, decorate, 0, [&] {
      points({{0, 0, 0}});
      word(L"A");
      points({mid, end});
      push(TokenKind::Enter);
    });
  }
  static void directive(const wchar_t* name) {
    ed::InputToken t;
    t.kind = TokenKind::Directive;
    t.text = name;
    ed::inputQueue().push(t);
  }
  // While the run waits for a point, the user raises the lay window's end
  // elevation and asks for a riser at the run's end.
  static void riserTo(double start, double end) {
    static double s, e;
    s = start;
    e = end;
    ed::registerDirective(L".riser", [](const ed::InputToken&, std::wstring&) {
      os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette")(s, e, 0, 2);
      CreateVerticalGj(0);
      return true;
    });
    directive(L".riser");
  }

  // Live entities of a layer in model-space order.
  std::vector<cad::ObjectId> on(const std::wstring& layer) {
    std::vector<cad::ObjectId> out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) out.push_back(id);
    }
    return out;
  }
  std::vector<Label> labels(const std::wstring& layer) {
    std::vector<Label> out;
    for (cad::ObjectId id : on(layer)) {
      Label l;
      l.id = id;
      {
        cad::ObjectPtr<cad::Text> t(id, cad::OpenMode::ForRead);
        if (!t) continue;
        EXPECT_EQ(t->height(), 120.0);
        EXPECT_EQ(t->widthFactor(), 1.0);
        EXPECT_EQ(t->horizontalMode(), cad::Text::kMid);
        EXPECT_EQ(t->verticalMode(), cad::Text::kVertMid);
        l.text = t->textString();
        l.at = t->alignmentPoint();
        l.rotation = t->rotation();
        l.visible = t->visible();
        l.byLayer = t->color().isByLayer();
      }
      StringArray attrs;
      GetGjNumberAndAttrs(id, l.number, attrs);
      EXPECT_EQ(attrs.size(), 1u) << "a decoration carries one 属性 line";
      if (!attrs.empty()) l.owner = attrs.front();
      out.push_back(l);
    }
    return out;
  }
  // The primary's stamp: 编号, [own handle, 主键], the special data.
  void expectPrimary(cad::ObjectId id, const std::wstring& number, const std::wstring& kind, double z1, double z2) {
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    EXPECT_EQ(n, number);
    EXPECT_EQ(attrs, (StringArray{id.handle().text(), L"主键"}));
    std::wstring k;
    double a = -1, b = -1;
    GetGjSpecial(id, &k, &a, &b);
    EXPECT_EQ(k, kind);
    EXPECT_EQ(a, z1);
    EXPECT_EQ(b, z2);
  }
  static void expectNear(const Point3d& a, const Point3d& b, double tol = 1e-6) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
  }
  // The start width of a polyline's vertex (-1 when it cannot be read).
  static double startWidth(cad::ObjectId id, unsigned vertex = 0) {
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    double s = -1, e = -1;
    if (pl) pl->getWidthsAt(vertex, s, e);
    return s;
  }
  // The vertices of the one entity of a layer; false when the layer holds
  // another number of entities or the entity has no vertices.
  bool onlyEntityVertices(const std::wstring& layer, PointList& pts, BulgeList& bulges) {
    const auto ids = on(layer);
    EXPECT_EQ(ids.size(), 1u) << os::toUtf8(layer);
    return ids.size() == 1 && GetEntityVertices(ids[0], pts, bulges) == cad::Status::Ok;
  }
  void polyline(cad::ObjectId id, PointList& pts, BulgeList& bulges) {
    ASSERT_EQ(GetEntityVertices(id, pts, bulges), cad::Status::Ok);
  }

  int savedCheck_ = 1;
};

// ---------------------------------------------------------------------------
// Pipes, wires, cables (the run decoration)
// ---------------------------------------------------------------------------

TEST_F(RunCallbacks, PipeRunWithRiserGetsLabelsAndTheRisersOutline) {
  lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, 2900, [&] {
    points({{0, 0, 0}, {2000, 0, 0}});
    riserTo(2900, 3500);
    points({{2000, 1500, 0}});
    push(TokenKind::Enter);
  });
  ed::unregisterDirective(L".riser");

  const auto primaries = on(L"给水管");
  ASSERT_EQ(primaries.size(), 3u);
  expectPrimary(primaries[0], L"J1", L"斜管", 2900, 2900);
  expectPrimary(primaries[1], L"J1", L"立管", 2900, 3500);
  expectPrimary(primaries[2], L"J1", L"斜管", 3500, 3500);
  ASSERT_TRUE(cad::ObjectPtr<cad::BlockReference>(primaries[1], cad::OpenMode::ForRead).ok());

  // One label per run segment (120 to the left) and one at the riser.
  const auto got = labels(L"给水管名");
  ASSERT_EQ(got.size(), 3u);
  expectNear(got[0].at, Point3d(1000, 120, 2900));
  EXPECT_EQ(got[0].owner, primaries[0].handle().text());
  EXPECT_EQ(got[1].owner, primaries[1].handle().text());
  expectNear(got[1].at, Point3d(2000, 16 + 120, 3200));
  EXPECT_EQ(got[2].owner, primaries[2].handle().text());
  for (const auto& l : got) EXPECT_EQ(l.text, L"J1");
  // The riser's section outline, closed, around the riser.
  const auto outlines = on(L"给水管边线");
  ASSERT_EQ(outlines.size(), 1u);
  PointList pts;
  BulgeList bulges;
  polyline(outlines[0], pts, bulges);
  ASSERT_GE(pts.size(), 4u);
  expectNear(pts[0], Point3d(2000 - 16, -16, 0));
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(outlines[0], number, attrs);
  EXPECT_EQ(attrs, StringArray{primaries[1].handle().text()});
}

TEST_F(RunCallbacks, WireRunIsABandOfItsSectionWithReadableLabels) {
  // A square run: east, north, west, south; section 0,0|20,0 gives 20.
  layRun(L"照明导线", L"WL1", &CreatePipeLineGj, &DecoratePipeLineGj,
         {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}, {0, 0, 0}}, 2700);
  const auto runs = on(L"照明导线");
  ASSERT_EQ(runs.size(), 4u);
  for (cad::ObjectId id : runs) {
    expectPrimary(id, L"WL1", L"斜管", 2700, 2700);
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(pl);
    for (unsigned i = 0; i < 2; ++i) {
      double s = 0, e = 0;
      ASSERT_EQ(pl->getWidthsAt(i, s, e), cad::Status::Ok);
      EXPECT_EQ(s, 20.0);
      EXPECT_EQ(e, 20.0);
    }
  }
  // 130 = 20 / 2 + 120 from the centre line, left of the reading direction.
  const struct {
    Point3d at;
    double rotation;
  } expect[] = {
      {{500, 130, 2700}, 0},                 // east
      {{1130, 500, 2700}, 1.5 * kPi},        // north: turned, reads downwards
      {{500, 1130, 2700}, 2 * kPi},          // west: turned, reads rightwards
      {{130, 500, 2700}, 1.5 * kPi},         // south: not turned
  };
  const auto got = labels(L"照明导线名");
  ASSERT_EQ(got.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    expectNear(got[i].at, expect[i].at, 1e-5);
    EXPECT_NEAR(got[i].rotation, expect[i].rotation, 1e-7);
    EXPECT_EQ(got[i].owner, runs[i].handle().text());
    EXPECT_EQ(got[i].number, L"WL1");
  }
  EXPECT_TRUE(on(L"照明导线边线").empty()) << "a run has no outline";
}

TEST_F(RunCallbacks, SectionWidthsOfTheRunDecoration) {
  const struct {
    std::wstring name, number, coords;
    double width;
  } cases[] = {
      {L"照明导线", L"WL1", L"0,0|20,0", 20},                              // two points: their distance
      {L"线槽", L"XC1", L"0,0|100,0|100,50|0,50", 100},                    // outline: its x extent
      {L"电缆", L"DL1", L"", 15},                                           // no section
  };
  double y = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.name));
    layRun(c.name, c.number, &CreatePipeLineGj, &DecoratePipeLineGj, {{0, y, 0}, {1000, y, 0}});
    const auto runs = on(c.name);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(startWidth(runs[0]), c.width);
    const auto got = labels(c.name + L"名");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(got[0].at.y - y, c.width / 2 + 120, 1e-9);
    y += 5000;
  }
}

TEST_F(RunCallbacks, ArcSegmentIsLabelledAtItsChord) {
  layArc(L"照明导线", L"WL1", &CreatePipeLineGj, &DecoratePipeLineGj, {500, -500, 0}, {1000, 0, 0});
  PointList pts;
  BulgeList bulges;
  ASSERT_TRUE(onlyEntityVertices(L"照明导线", pts, bulges));
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_NEAR(std::fabs(bulges[0]), 1.0, 1e-9);
  const auto got = labels(L"照明导线名");
  ASSERT_EQ(got.size(), 1u);
  // At the chord's midpoint, 130 off the chord, turned along the chord.
  expectNear(got[0].at, Point3d(500, 130, 0), 1e-6);
}

TEST_F(RunCallbacks, DispatchersOfTheWireFamily) {
  g_checkGjOverlap = 0;
  LoadGjDefineByName(L"电缆", true);
  // Names outside the family make nothing, and their decoration draws nothing.
  EXPECT_TRUE(CreatePipeLineGj(L"避雷带", L"B1", {0, 0, 0}, {1000, 0, 0}, 0, 0).isNull());
  EXPECT_TRUE(CreatePipeLineGj(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0}, 0, 0).isNull());
  cad::ObjectId pipe = CreatePipeGj(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0}, 0, 0);
  DecoratePipeLineGj(L"给水管", pipe);
  EXPECT_TRUE(on(L"给水管名").empty());
  DecoratePipeLineGj(L"电缆", cad::ObjectId());

  // A vertical cable asked of the dispatcher is a riser, as when made directly.
  cad::ObjectId riser = CreatePipeLineGj(L"电缆", L"DL1", {500, 500, 0}, {500, 500, 3000}, 0, 1);
  ASSERT_FALSE(riser.isNull());
  EXPECT_TRUE(cad::ObjectPtr<cad::BlockReference>(riser, cad::OpenMode::ForRead).ok());
  expectPrimary(riser, L"DL1", L"立管", 0, 3000);
  DecoratePipeLineGj(L"电缆", riser);
  // No section: only the label, 120 from the riser.
  const auto got = labels(L"电缆名");
  ASSERT_EQ(got.size(), 1u);
  expectNear(got[0].at, Point3d(500, 620, 1500));
  EXPECT_TRUE(on(L"电缆边线").empty());
  // A riser of no height is not made.
  EXPECT_TRUE(CreateCableGj(L"电缆", L"DL1", {0, 0, 100}, {0, 0, 100.5}, 0, 1).isNull());
}

TEST_F(RunCallbacks, OwnParameterLinesGiveTheSectionAndByLayer) {
  // 线槽 XC1's section is 0,0|{B},0|{B},50|0,50 with B=100 in the floor's
  // table; the entity's own lines say B=60, and a hidden entity hides its
  // labels.
  g_checkGjOverlap = 0;
  LoadGjDefineByName(L"线槽", true);
  cad::ObjectId run = CreateWireGj(L"线槽", L"XC1", {0, 0, 0}, {1000, 0, 0}, 0, 0);
  ASSERT_FALSE(run.isNull());
  StringArray own{L"B=60"};
  SetXdataLines(run, kXdataExternalGj, own, nullptr);
  SetEntityColorRGB(run, 0x0000FF);
  SetEntityVisible(run, 0);
  DecorateConduitGj(L"线槽", run);
  EXPECT_EQ(startWidth(run, 1), 60.0);
  {
    cad::ObjectPtr<cad::Entity> e(run, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->color().isByLayer());
  }
  auto got = labels(L"线槽名");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].at.y, 150, 1e-9);
  EXPECT_TRUE(got[0].byLayer);
  EXPECT_FALSE(got[0].visible);

  // Without own lines the colour is left alone and the label shows.
  cad::ObjectId plain = CreateWireGj(L"线槽", L"XC1", {0, 5000, 0}, {1000, 5000, 0}, 0, 0);
  SetEntityColorRGB(plain, 0x0000FF);
  DecorateConduitGj(L"线槽", plain);
  got = labels(L"线槽名");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NEAR(got[1].at.y, 5170, 1e-9);
  EXPECT_TRUE(got[1].visible);
  cad::ObjectPtr<cad::Entity> e(plain, cad::OpenMode::ForRead);
  EXPECT_FALSE(e->color().isByLayer());
}

TEST_F(RunCallbacks, PipeWithOwnParameterLinesIsDrawnByLayer) {
  g_checkGjOverlap = 0;
  LoadGjDefineByName(L"给水管", true);
  cad::ObjectId run = CreatePipeGj(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0}, 0, 0);
  StringArray own{L"公称管径D_0(mm)=40"};
  SetXdataLines(run, kXdataExternalGj, own, nullptr);
  SetEntityColorRGB(run, 0x0000FF);
  DecoratePipeGj(L"给水管", run);
  cad::ObjectPtr<cad::Entity> e(run, cad::OpenMode::ForRead);
  EXPECT_TRUE(e->color().isByLayer());
  e.close();
  const auto got = labels(L"给水管名");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].byLayer);
}

TEST_F(RunCallbacks, RebuildOfListedComponentsReplacesTheirDecorations) {
  layRun(L"桥架", L"QJ9", &CreateBridgeGj, &DecorateBridgeGj, {{0, 0, 0}, {2000, 0, 0}, {2000, 2000, 0}});
  const auto before = on(L"桥架");
  ASSERT_EQ(before.size(), 2u);
  const auto keptLabel = labels(L"桥架名")[1].id;
  RebuildGjByName(L"桥架", L"", &CreateBridgeGj, &DecorateBridgeGj, {before[0]});
  EXPECT_EQ(on(L"桥架").size(), 2u);
  EXPECT_EQ(on(L"桥架边线").size(), 2u) << "one band per segment, not a second one";
  const auto got = labels(L"桥架名");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, keptLabel) << "the other segment's label stays";
  EXPECT_EQ(got[1].owner, on(L"桥架")[1].handle().text());
}

TEST_F(RunCallbacks, ComponentWithoutAttributeLinesLendsItsOwnHandle) {
  g_checkGjOverlap = 0;
  LoadGjDefineByName(L"照明导线", true);
  cad::ObjectId run = CreateWireGj(L"照明导线", L"WL1", {0, 0, 0}, {1000, 0, 0}, 0, 0);
  ClearXdata(run, kXdataAttrs);
  DecorateWireGj(L"照明导线", run);
  const auto got = labels(L"照明导线名");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].owner, run.handle().text());
}

// ---------------------------------------------------------------------------
// Trays, bridges, ducts, grooves (the band decoration)
// ---------------------------------------------------------------------------

TEST_F(RunCallbacks, CentreLineStyles) {
  const struct {
    std::wstring name, number;
    CreateGjCb create;
    DecorateGjCb decorate;
    std::wstring linetype;
    double scale;
    bool blue;
  } cases[] = {
      {L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, L"DASHED", 10, false},
      {L"托盘", L"TP1", &CreateTrayGj, &DecorateTrayGj, L"BYLAYER", 1, true},
      {L"送风管", L"SF1", &CreateDuctGj, &DecorateDuctGj, L"CENTERX2", 10, true},
      {L"管道沟槽", L"GC1", &CreateGrooveGj, &DecorateGrooveGj, L"DASHED2", 10, false},
  };
  double y = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.name));
    layRun(c.name, c.number, c.create, c.decorate, {{0, y, 0}, {3000, y, 0}});
    const auto runs = on(c.name);
    ASSERT_EQ(runs.size(), 1u);
    expectPrimary(runs[0], c.number, L"斜管", 3000, 3000);
    cad::ObjectPtr<cad::Entity> e(runs[0], cad::OpenMode::ForRead);
    ASSERT_TRUE(e);
    EXPECT_EQ(os::toUpper(e->linetype()), c.linetype);
    EXPECT_EQ(e->linetypeScale(), c.scale);
    if (c.blue) {
      EXPECT_EQ(e->color(), cad::Color::fromRgb(0, 0, 255));
    } else {
      EXPECT_FALSE(e->color().isByRgb());
    }
    y += 5000;
  }
}

TEST_F(RunCallbacks, BandWidthsAndOutlinesOfStraightSegments) {
  // The same three-point section: a tray is as wide as its first side (100),
  // a duct as its outline (300). A duct rectangle 500 wide: band 500, label
  // 370 from the centre line.
  sql(project() / u8"1层.DB", "UPDATE records SET 坐标='0,100|0,0|300,0' WHERE 构件名称='送风管' AND 编号='SF2';");
  const struct {
    std::wstring name, number;
    CreateGjCb create;
    DecorateGjCb decorate;
    double width;
  } cases[] = {
      {L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, 100},
      {L"托盘", L"TP1", &CreateTrayGj, &DecorateTrayGj, 100},
      {L"送风管", L"SF2", &CreateDuctGj, &DecorateDuctGj, 300},
      {L"送风管", L"SF1", &CreateDuctGj, &DecorateDuctGj, 500},
      {L"管道沟槽", L"GC1", &CreateGrooveGj, &DecorateGrooveGj, 600},
  };
  double y = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.name + L" " + c.number));
    const size_t before = on(c.name + L"边线").size();
    const size_t labelsBefore = labels(c.name + L"名").size();
    layRun(c.name, c.number, c.create, c.decorate, {{0, y, 0}, {2000, y, 0}, {2000, y + 1000, 0}});
    const auto outlines = on(c.name + L"边线");
    ASSERT_EQ(outlines.size(), before + 2);
    PointList pts;
    BulgeList bulges;
    polyline(outlines[before], pts, bulges);
    const double h = c.width / 2;
    const Point3d band[] = {{0, y + h, 0}, {0, y - h, 0}, {2000, y - h, 0}, {2000, y + h, 0}, {0, y + h, 0}};
    ASSERT_EQ(pts.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
      expectNear(pts[i], band[i]);
      EXPECT_EQ(bulges[i], 0.0);
    }
    {
      cad::ObjectPtr<cad::Polyline> pl(outlines[before], cad::OpenMode::ForRead);
      EXPECT_FALSE(pl->isClosed());
      double w = -1;
      EXPECT_EQ(pl->getConstantWidth(w), cad::Status::Ok);
      EXPECT_EQ(w, 0.0);
    }
    const auto got = labels(c.name + L"名");
    ASSERT_EQ(got.size(), labelsBefore + 2);
    expectNear(got[labelsBefore].at, Point3d(1000, y + h + 120, 3000));
    EXPECT_EQ(startWidth(on(c.name).back()), 0.0) << "the centre line keeps its own width";
    y += 5000;
  }
}

TEST_F(RunCallbacks, ArcBandFollowsTheArc) {
  layArc(L"送风管", L"SF1", &CreateDuctGj, &DecorateDuctGj, {2000, -2000, 0}, {4000, 0, 0});
  PointList pts;
  BulgeList bulges;
  ASSERT_TRUE(onlyEntityVertices(L"送风管边线", pts, bulges));
  ASSERT_EQ(pts.size(), 5u);
  // Concentric arcs about (2000, 0) at radius 2000 -+ 250, closed by radial
  // end lines.
  for (const Point3d& p : pts) {
    const double r = std::hypot(p.x - 2000, p.y);
    EXPECT_TRUE(std::fabs(r - 1750) < 1e-6 || std::fabs(r - 2250) < 1e-6) << r;
  }
  EXPECT_EQ(bulges[0], 0.0);
  EXPECT_NE(bulges[1], 0.0);
  EXPECT_EQ(bulges[2], 0.0);
  EXPECT_NE(bulges[3], 0.0);
  const auto got = labels(L"送风管名");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].at.x, 2000, 1e-6);
  EXPECT_NEAR(std::fabs(got[0].at.y), 370, 1e-6);
}

TEST_F(RunCallbacks, OverlapSwitchErasesADuplicateSegmentOnlyWhileOn) {
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 0, 0}, {3000, 0, 0}});
  // The same segment again, drawn the other way: erased before any band or
  // label is drawn.
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{3000, 0, 0}, {0, 0, 0}});
  EXPECT_EQ(on(L"桥架").size(), 1u);
  EXPECT_EQ(on(L"桥架边线").size(), 1u);
  EXPECT_EQ(on(L"桥架名").size(), 1u);
  // Within the tolerance of 3 it is still a duplicate; a run beside it is not.
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{2, 0, 0}, {3001, 0, 0}});
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 500, 0}, {3000, 500, 0}});
  EXPECT_EQ(on(L"桥架").size(), 2u);
  // At another elevation it is no duplicate.
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 0, 0}, {3000, 0, 0}}, 4000);
  EXPECT_EQ(on(L"桥架").size(), 3u);

  // Switched off (as a rebuild does), the duplicate stays with its band.
  g_checkGjOverlap = 0;
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 0, 0}, {3000, 0, 0}});
  EXPECT_EQ(on(L"桥架").size(), 4u);
  EXPECT_EQ(on(L"桥架边线").size(), 4u);

  // The run decoration never checks.
  g_checkGjOverlap = 1;
  layRun(L"照明导线", L"WL1", &CreatePipeLineGj, &DecoratePipeLineGj, {{0, 0, 0}, {3000, 0, 0}});
  layRun(L"照明导线", L"WL1", &CreatePipeLineGj, &DecoratePipeLineGj, {{0, 0, 0}, {3000, 0, 0}});
  EXPECT_EQ(on(L"照明导线").size(), 2u);
}

TEST_F(RunCallbacks, DuplicateCheckSeesWhatAnotherCommandMovedOrTheUserErased) {
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 0, 0}, {3000, 0, 0}});
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 9000, 0}, {3000, 9000, 0}});
  ASSERT_EQ(on(L"桥架").size(), 2u);
  // Another command moves the first segment 5000 up, in place.
  ed::fireCommandWillStart(L"MOVE");
  {
    cad::ObjectPtr<cad::Entity> e(on(L"桥架")[0], cad::OpenMode::ForWrite);
    ASSERT_TRUE(e);
    e->transformBy(geom::Matrix3d::translation(geom::Vector3d(0, 5000, 0)));
  }
  ed::fireCommandEnded(L"MOVE");
  // A segment laid over it where it now lies is a duplicate; where it was
  // it is not.
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 5000, 0}, {3000, 5000, 0}});
  EXPECT_EQ(on(L"桥架").size(), 2u);
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 0, 0}, {3000, 0, 0}});
  EXPECT_EQ(on(L"桥架").size(), 3u);
  // An erased segment is no duplicate.
  EraseEntity(on(L"桥架")[1]);
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 9000, 0}, {3000, 9000, 0}});
  EXPECT_EQ(on(L"桥架").size(), 3u);
  EXPECT_EQ(labels(L"桥架名").size(), 4u);
}

TEST_F(RunCallbacks, RiserOutlinesAndLabels) {
  // A bridge riser: its section rectangle 400 x 100 around the riser, the
  // label 120 beyond the outline's top (50); a groove riser's label stands
  // 120 from the riser whatever its section.
  const struct {
    std::wstring name, number;
    CreateGjCb create;
    DecorateGjCb decorate;
    double labelOffset;
    size_t outlines;
  } cases[] = {
      {L"桥架", L"QJ9", &CreateBridgeGj, &DecorateBridgeGj, 170, 1},
      {L"管道沟槽", L"GC1", &CreateGrooveGj, &DecorateGrooveGj, 120, 1},
      {L"送风管", L"SF1", &CreateDuctGj, &DecorateDuctGj, 280, 1},
  };
  double x = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.name));
    lay(c.name, c.number, c.create, c.decorate, 1000, [&] {
      points({{x, 0, 0}});
      riserTo(1000, 4000);
      push(TokenKind::Enter);
    });
    ed::unregisterDirective(L".riser");
    const auto risers = on(c.name);
    ASSERT_EQ(risers.size(), 1u);
    expectPrimary(risers[0], c.number, L"立管", 1000, 4000);
    const auto outlines = on(c.name + L"边线");
    ASSERT_EQ(outlines.size(), c.outlines);
    cad::ObjectPtr<cad::Polyline> pl(outlines[0], cad::OpenMode::ForRead);
    ASSERT_TRUE(pl);
    EXPECT_TRUE(pl->isClosed());
    cad::Extents3d ext;
    ASSERT_EQ(pl->getGeomExtents(ext), cad::Status::Ok);
    EXPECT_NEAR((ext.minPoint.x + ext.maxPoint.x) / 2, x, 1e-6) << "moved to the riser";
    pl.close();
    const auto got = labels(c.name + L"名");
    ASSERT_EQ(got.size(), 1u);
    expectNear(got[0].at, Point3d(x, c.labelOffset, 2500));
    EXPECT_EQ(got[0].owner, risers[0].handle().text());
    x += 5000;
  }
}

TEST_F(RunCallbacks, TrayAndBridgeDecorationsAreAlike) {
  g_checkGjOverlap = 0;
  LoadGjDefineByName(L"桥架", true);
  cad::ObjectId a = CreateBridgeGj(L"桥架", L"QJ8", {0, 0, 0}, {1000, 500, 0}, 0.3, 0);
  cad::ObjectId b = CreateBridgeGj(L"桥架", L"QJ8", {0, 0, 0}, {1000, 500, 0}, 0.3, 0);
  DecorateBridgeGj(L"桥架", a);
  DecorateTrayGj(L"桥架", b);
  const auto outlines = on(L"桥架边线");
  ASSERT_EQ(outlines.size(), 2u);
  PointList pa, pb;
  BulgeList ba, bb;
  polyline(outlines[0], pa, ba);
  polyline(outlines[1], pb, bb);
  EXPECT_EQ(pa, pb);
  EXPECT_EQ(ba, bb);
  const auto got = labels(L"桥架名");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].at, got[1].at);
  EXPECT_EQ(got[0].rotation, got[1].rotation);
}

TEST_F(RunCallbacks, NullIdsAndUnreadableEntitiesDrawNothing) {
  const size_t before = db().modelSpaceEntities().size();
  for (DecorateGjCb decorate : {&DecoratePipeGj, &DecoratePipeLineGj, &DecorateWireGj, &DecorateConduitGj,
                                &DecorateCableGj, &DecorateTrayGj, &DecorateBridgeGj, &DecorateDuctGj,
                                &DecorateGrooveGj})
    decorate(L"桥架", cad::ObjectId());
  EXPECT_EQ(db().modelSpaceEntities().size(), before);
  // An erased component gets no decoration.
  g_checkGjOverlap = 0;
  cad::ObjectId gone = CreateBridgeGj(L"桥架", L"QJ8", {0, 0, 0}, {1000, 0, 0}, 0, 0);
  EraseEntity(gone);
  DecorateBridgeGj(L"桥架", gone);
  DecorateConduitGj(L"桥架", gone);
  EXPECT_TRUE(on(L"桥架名").empty());
  EXPECT_TRUE(on(L"桥架边线").empty());
}

// ---------------------------------------------------------------------------
// The floor's component table and the saved drawing
// ---------------------------------------------------------------------------

TEST_F(RunCallbacks, RunsLandInTheFloorTableRowsOfTheirNumbers) {
  layRun(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {{0, 0, 0}, {2000, 0, 0}});
  layRun(L"给水管", L"J7", &CreatePipeGj, &DecoratePipeGj, {{0, 1000, 0}, {2000, 1000, 0}});
  layRun(L"桥架", L"QJ8", &CreateBridgeGj, &DecorateBridgeGj, {{0, 2000, 0}, {2000, 2000, 0}});
  WriteGjToFloorTable(L"给水管,桥架");
  const fs::path table = project() / u8"1层.DB";
  EXPECT_EQ(sql(table, "SELECT 编号 FROM records WHERE 构件名称='给水管' AND 编号<>'' ORDER BY 编号;"),
            "J1\nJ2\nJ3\nJ7\n");
  EXPECT_EQ(sql(table, "SELECT count(*) FROM records WHERE 构件名称='桥架' AND 编号='QJ8';"), "1\n");
  // The section of the number the run was laid with stays in its row.
  EXPECT_EQ(sql(table, "SELECT 坐标 FROM records WHERE 构件名称='桥架' AND 编号='QJ8';"), "0,100|0,0|300,0\n");
}

TEST_F(RunCallbacks, SavedDrawingCarriesWidthsLayersAndComponentData) {
  layRun(L"照明导线", L"WL1", &CreatePipeLineGj, &DecoratePipeLineGj, {{0, 0, 0}, {2000, 0, 0}});
  layRun(L"送风管", L"SF1", &CreateDuctGj, &DecorateDuctGj, {{0, 3000, 0}, {4000, 3000, 0}});
  const fs::path saved = root_ / "runs.dxf";
  ASSERT_EQ(db().saveAs(saved), cad::Status::Ok);
  std::string out;
  ASSERT_EQ(capture("/usr/bin/python3 '" + std::string(KIV_SOURCE_DIR) + "/tests/module/layout/run_callbacks_dxf.py' '" +
                        saved.string() + "'",
                    out),
            0)
      << out;
  // One line per model-space entity: type, layer, widths or text, and the
  // component data.
  for (const char* line : {
           "LWPOLYLINE 照明导线 width=20.0 编号=WL1 属性=2 特殊=类型=斜管|起点标高=3000.0|终点标高=3000.0",
           "TEXT 照明导线名 text=WL1 编号=WL1 属性=1",
           "LWPOLYLINE 送风管 ltype=CENTERX2 ltscale=10.0 true_color=0x0000ff 编号=SF1 属性=2",
           "LWPOLYLINE 送风管边线 closed=0 points=5 width=0.0 编号=SF1 属性=1",
           "TEXT 送风管名 text=SF1 编号=SF1 属性=1",
       })
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  EXPECT_NE(out.find("owner-ok"), std::string::npos) << out;
}

}  // namespace
