// The run editors driven by scripted input on a copy of the demo project:
// pipe slope, breaking and joining wire runs, the lightning band along the
// outer walls and the down leads. Each command reads the script the way the
// host feeds it (picks at points, typed values, Enter, Escape).
#include "module/layout/run_edit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/ui/dialog.h"
#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;
using ed::TokenKind;

const fs::path kDemoProject = fs::path(KIV_BINARY_DIR) / "demo" / u8"示例工程";
const fs::path kDemoSystem = fs::path(KIV_BINARY_DIR) / "suite" / u8"系统文件";

// Numbered rows the demo's first floor lacks (name, number, parameters, section).
const char* const kRows[][4] = {
    {"避雷带", "LB1", "规格=Φ10", ""},
    {"避雷引下线", "YX1", "底标高=层高", "-50,-50|50,-50|50,50|-50,50"},
    {"避雷引下线", "YX2", "", "-50,-50|50,-50|50,50|-50,50"},
};

// A primary's plan run and elevations.
struct LaidRun {
  cad::ObjectId id;
  Point3d s, e;
  double bulge = 0;
  std::wstring number;
  StringArray attrs;
};

class RunEdit : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    if (!fs::exists(kDemoProject) || !fs::exists(kDemoSystem)) GTEST_SKIP() << "demo data not built";
    fs::copy(kDemoSystem, suiteSystem(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy(kDemoProject, project(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::string statements;
    for (const auto& r : kRows) {
      // After the last row of the name: the readers walk a name's rows as one group.
      const std::string last = std::string("(SELECT max(_ord) FROM records WHERE 构件名称='") + r[0] + "')";
      statements += "UPDATE records SET _ord=-_ord-1 WHERE _ord>" + last +
                    ";UPDATE records SET _ord=-_ord WHERE _ord<0;INSERT INTO records(_ord,构件名称,编号,构件分类,参数,坐标) "
                    "VALUES(" + last + "+1,'" + r[0] + "','" + r[1] + "','防雷接地','" + r[2] + "','" + r[3] + "');";
    }
    const std::string out = sql(project() / u8"1层.DB", statements);
    ASSERT_TRUE(out.empty()) << out;
    showFloor(L"1层");
    g_floorHeight = 3300;
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
  }
  void TearDown() override {
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    ProjectSandbox::TearDown();
  }

  cad::Database& db() { return *ed::curDatabase(); }

  std::string sql(const fs::path& table, const std::string& statements) {
    std::string out;
    const std::string cmd = "sqlite3 '" + table.string() + "' \"" + statements + "\" 2>&1";
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      ::pclose(p);
    }
    return out;
  }
  void setCombo(const wchar_t* combo, const std::wstring& value) {
    os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W")(combo, value.c_str());
  }
  void show(const std::wstring& name, const std::wstring& number) {
    setCombo(L"构件", name);
    setCombo(L"编号", number);
  }
  // A run as the layout commands leave it, with a wire count and the
  // suite's own "构件" lines as further component data.
  cad::ObjectId lay(const std::wstring& name, const std::wstring& number, CreateGjCb create, DecorateGjCb decorate,
                    const Point3d& s, const Point3d& e, double bulge = 0) {
    show(name, number);
    EXPECT_TRUE(LoadCurGjDefine());
    const cad::ObjectId id = create(name, number, s, e, bulge, 0);
    EXPECT_FALSE(id.isNull());
    StringArray extra{L"根数=4"}, own{L"材质=镀锌钢管", L"公称管径D_0(mm)=40"};
    SetXdataLines(id, kXdataAttrs, extra, nullptr);
    SetXdataLines(id, kXdataExternalGj, own, nullptr);
    decorate(name, id);
    return id;
  }

  static void pickAt(const Point3d& p) { push(TokenKind::Pick, p); }
  static void enter() { push(TokenKind::Enter); }
  static void escape() { push(TokenKind::Escape); }
  static void directive(const wchar_t* name, std::vector<std::wstring> args) {
    ed::InputToken t;
    t.kind = TokenKind::Directive;
    t.text = name;
    t.args = std::move(args);
    ed::inputQueue().push(t);
  }

  std::vector<cad::ObjectId> on(const std::wstring& layer) {
    std::vector<cad::ObjectId> out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) out.push_back(id);
    }
    return out;
  }
  // The runs of a layer (or its risers): plan ends with their elevations.
  std::vector<LaidRun> runs(const std::wstring& layer, bool risers = false) {
    std::vector<LaidRun> out;
    for (cad::ObjectId id : on(layer)) {
      LaidRun r;
      r.id = id;
      {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        auto* poly = dynamic_cast<const cad::Polyline*>(ent.get());
        auto* ref = dynamic_cast<const cad::BlockReference*>(ent.get());
        if (risers ? !ref : !poly) continue;
        r.s = risers ? ref->position() : poly->startPoint();
        r.e = risers ? ref->position() : poly->endPoint();
        r.bulge = risers ? 0 : poly->bulgeAt(0);
      }
      GetGjNumberAndAttrs(id, r.number, r.attrs);
      GetGjSpecial(id, nullptr, &r.s.z, &r.e.z);
      out.push_back(r);
    }
    return out;
  }
  // The carried data: the wire count after the stamp, and "构件".
  static void expectCarried(const LaidRun& r) {
    ASSERT_EQ(r.attrs.size(), 3u);
    EXPECT_EQ(r.attrs[0], r.id.handle().text());
    EXPECT_EQ(r.attrs[2], L"根数=4");
    StringArray own;
    GetXdataLines(r.id, kXdataExternalGj, own);
    EXPECT_EQ(own, (StringArray{L"材质=镀锌钢管", L"公称管径D_0(mm)=40"}));
  }
  static void expectNear(const Point3d& a, const Point3d& b, double tol = 1e-6) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
  }
  // Every label of the layer names a live primary of the runs' layer.
  void expectLabelsOwnedBy(const std::wstring& name, size_t count) {
    const auto labels = on(name + L"名");
    EXPECT_EQ(labels.size(), count);
    for (cad::ObjectId id : labels) {
      std::wstring number;
      StringArray attrs;
      GetGjNumberAndAttrs(id, number, attrs);
      ASSERT_EQ(attrs.size(), 1u);
      bool found = false;
      for (const auto& r : runs(name)) found = found || r.id.handle().text() == attrs[0];
      EXPECT_TRUE(found) << "a label of an erased run is left";
    }
  }
  size_t entityCount() { return db().modelSpaceEntities().size(); }
  bool noOpenObjects() { return db().numOpenObjects() == 0; }
};

// ---------------------------------------------------------------------------
// Pipe slope
// ---------------------------------------------------------------------------

TEST_F(RunEdit, ASlopeRaisesTheFarEndByTheSlopeTimesThePlanLength) {
  struct Case {
    const char* what;
    std::vector<std::wstring> replies;  // direction, slope ("" = Enter)
    Point3d start, end;
  };
  const Case cases[] = {
      {"Enter takes 0.004", {L"", L""}, {0, 0, 3000}, {5000, 0, 3020}},
      {"a typed slope", {L"", L"-0.01"}, {0, 0, 3000}, {5000, 0, 2950}},
      {"reversed", {L"r", L"0.002"}, {5000, 0, 3000}, {0, 0, 3010}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (cad::ObjectId id : db().modelSpaceEntities()) EraseEntity(id);
    lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {5000, 0, 3000});
    pickAt({2500, 0, 0});
    for (const auto& r : c.replies) r.empty() ? enter() : word(r);
    escape();
    CmdPGradient();
    const auto got = runs(L"给水管");
    ASSERT_EQ(got.size(), 1u);
    expectNear(got[0].s, c.start);
    expectNear(got[0].e, c.end);
    EXPECT_EQ(got[0].number, L"J1");
    expectCarried(got[0]);
    expectLabelsOwnedBy(L"给水管", 1);
    // No arrow is left behind.
    EXPECT_EQ(entityCount(), 2u);
    EXPECT_TRUE(noOpenObjects());
  }
}

TEST_F(RunEdit, AnArcRunKeepsItsArcAndSlopesAlongItsChord) {
  lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {4000, 0, 3000}, 0.5);
  pickAt({2000, -1000, 0});
  word(L"R");
  word(L"0.01");
  escape();
  CmdPGradient();
  const auto got = runs(L"给水管");
  ASSERT_EQ(got.size(), 1u);
  expectNear(got[0].s, {4000, 0, 3000});
  expectNear(got[0].e, {0, 0, 3040});
  EXPECT_DOUBLE_EQ(got[0].bulge, -0.5);
}

TEST_F(RunEdit, EscapeAtEitherSlopePromptLeavesTheDrawingAsItWas) {
  const cad::ObjectId id = lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {5000, 0, 3000});
  for (int at = 0; at < 2; ++at) {
    const auto before = db().modelSpaceEntities();
    pickAt({2500, 0, 0});
    if (at == 1) enter();
    escape();
    CmdPGradient();
    EXPECT_EQ(db().modelSpaceEntities(), before);
    const auto got = runs(L"给水管");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, id);
    EXPECT_EQ(got[0].e.z, 3000);
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_FALSE(e->isHighlighted());
  }
}

TEST_F(RunEdit, ANonNumericSlopeIsAskedAgain) {
  lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {5000, 0, 3000});
  pickAt({2500, 0, 0});
  enter();
  word(L"abc");
  word(L"0.001");
  escape();
  CmdPGradient();
  const auto got = runs(L"给水管");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].e.z, 3005);
  EXPECT_NE(ed::transcript().find(L"需要数值"), std::wstring::npos);
}

TEST_F(RunEdit, TheCopyPickedIsSlopedAndTheOriginalStays) {
  const cad::ObjectId original =
      lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {5000, 0, 3000});
  // A host copy 1000 above: it still names the original in its stamp.
  const cad::ObjectId copy = CreatePipeGj(L"给水管", L"J1", {0, 1000, 3000}, {5000, 1000, 3000}, 0, 0);
  StringArray attrs{original.handle().text(), L"主键"};
  ClearXdata(copy, kXdataAttrs);
  SetXdataLines(copy, kXdataAttrs, attrs, nullptr);
  pickAt({2500, 1000, 0});
  enter();
  enter();
  escape();
  CmdPGradient();
  const auto got = runs(L"给水管");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, original);
  EXPECT_EQ(got[0].e.z, 3000);
  EXPECT_EQ(got[0].attrs.front(), original.handle().text());
  expectNear(got[1].s, {0, 1000, 3000});
  expectNear(got[1].e, {5000, 1000, 3020});
  expectLabelsOwnedBy(L"给水管", 2);
}

TEST_F(RunEdit, ARiserIsNotSloped) {
  show(L"给水管", L"J1");
  ASSERT_TRUE(LoadCurGjDefine());
  const cad::ObjectId riser = CreatePipeGj(L"给水管", L"J1", {100, 100, 0}, {100, 100, 3000}, 0, 1);
  ASSERT_FALSE(riser.isNull());
  pickAt({100, 100, 0});
  escape();
  CmdPGradient();
  EXPECT_NE(ed::transcript().find(L"不能对立管起坡度"), std::wstring::npos);
  EXPECT_FALSE(cad::ObjectPtr<cad::Entity>(riser, cad::OpenMode::ForRead)->isErased());
}

TEST(SlopeGlyphs, TheSmallArrowIsAWedgeOffsetAlongTheDirection) {
  ed::resetEditor();
  ed::docManager().curDocument();
  const cad::ObjectId id = DrawDirArrowSmall({0, 0, 0}, 0, 0, {0, 1, 0});
  cad::ObjectPtr<cad::Polyline> poly(id, cad::OpenMode::ForRead);
  ASSERT_TRUE(poly);
  ASSERT_EQ(poly->numVerts(), 2u);
  EXPECT_EQ(poly->colorIndex(), 3);
  EXPECT_NEAR(poly->pointAt(0).y, 50, 1e-9);
  EXPECT_NEAR(poly->pointAt(1).x, 250, 1e-9);
  double sw = 0, ew = 0;
  poly->getWidthsAt(0, sw, ew);
  EXPECT_EQ(sw, 50);
  EXPECT_EQ(ew, 0.1);
}

// ---------------------------------------------------------------------------
// Breaking and joining wire runs
// ---------------------------------------------------------------------------

TEST_F(RunEdit, ABrokenRunJoinedAgainKeepsLengthNumberAndData) {
  lay(L"照明导线", L"WL1", &CreateWireGj, &DecorateWireGj, {0, 0, 3000}, {1000, 0, 3000});
  pickAt({100, 0, 0});
  point({400, 30, 0});
  escape();
  CmdBreakPipeLine();
  auto got = runs(L"照明导线");
  ASSERT_EQ(got.size(), 2u);
  expectNear(got[0].s, {400, 0, 3000});
  expectNear(got[0].e, {0, 0, 3000});
  expectNear(got[1].s, {400, 0, 3000});
  expectNear(got[1].e, {1000, 0, 3000});
  for (const auto& r : got) {
    EXPECT_EQ(r.number, L"WL1");
    expectCarried(r);
  }
  expectLabelsOwnedBy(L"照明导线", 2);

  show(L"照明导线", L"WL1");
  pickAt({200, 0, 0});
  pickAt({700, 0, 0});
  escape();
  CmdJoinPipeLine();
  got = runs(L"照明导线");
  ASSERT_EQ(got.size(), 1u);
  expectNear(got[0].s, {0, 0, 3000});
  expectNear(got[0].e, {1000, 0, 3000});
  EXPECT_EQ(got[0].number, L"WL1");
  expectCarried(got[0]);
  expectLabelsOwnedBy(L"照明导线", 1);
  EXPECT_TRUE(noOpenObjects());
}

TEST_F(RunEdit, ABreakPointOffTheRunOrAtAnEndBreaksNothing) {
  const cad::ObjectId id = lay(L"照明导线", L"WL1", &CreateWireGj, &DecorateWireGj, {0, 0, 3000}, {1000, 0, 3000});
  for (const Point3d& p : {Point3d(1500, 0, 0), Point3d(0.5, 0.5, 0), Point3d(-20, 40, 0)}) {
    pickAt({500, 0, 0});
    point(p);
  }
  escape();
  CmdBreakPipeLine();
  const auto got = runs(L"照明导线");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].id, id);
  EXPECT_NE(ed::transcript().find(L"断点不在所选管线上"), std::wstring::npos);
}

TEST_F(RunEdit, AnArcRunBreaksIntoTwoArcs) {
  // A half circle of radius 500 about (500, 0), bulging downwards.
  lay(L"照明导线", L"WL1", &CreateWireGj, &DecorateWireGj, {0, 0, 3000}, {1000, 0, 3000}, 1);
  pickAt({500, -500, 0});
  point({500, -600, 0});
  escape();
  CmdBreakPipeLine();
  const auto got = runs(L"照明导线");
  ASSERT_EQ(got.size(), 2u);
  expectNear(got[0].s, {500, -500, 3000});
  expectNear(got[0].e, {0, 0, 3000});
  expectNear(got[1].e, {1000, 0, 3000});
  const double quarter = std::tan(M_PI / 8);
  EXPECT_NEAR(got[0].bulge, -quarter, 1e-9);
  EXPECT_NEAR(got[1].bulge, quarter, 1e-9);
}

TEST_F(RunEdit, AJoinTakesARunDrawnTheOtherWayAndRefusesOneOffTheLine) {
  lay(L"照明导线", L"WL1", &CreateWireGj, &DecorateWireGj, {0, 0, 3000}, {1000, 0, 3000});
  lay(L"照明导线", L"WL1", &CreateWireGj, &DecorateWireGj, {1000, 500, 3000}, {2000, 500, 3000});
  lay(L"照明导线", L"WL1", &CreateWireGj, &DecorateWireGj, {2500, 0, 3000}, {1000, 0, 3000});
  pickAt({500, 0, 0});
  pickAt({1500, 500, 0});  // parallel but off the line: refused, the second pick repeats
  pickAt({2000, 0, 0});
  escape();
  CmdJoinPipeLine();
  EXPECT_EQ(ed::alerts().back(), L"第二根管与第一根管不在同一直线上，请重新选择第二根管");
  const auto got = runs(L"照明导线");
  ASSERT_EQ(got.size(), 2u);
  expectNear(got[0].s, {1000, 500, 3000});
  expectNear(got[1].s, {0, 0, 3000});
  expectNear(got[1].e, {2500, 0, 3000});
}

// ---------------------------------------------------------------------------
// Drop joints
// ---------------------------------------------------------------------------

class DropJoint : public RunEdit {
 protected:
  static void dialog(bool confirm) { directive(L".dialog", {confirm ? L"1" : L"0"}); }
};

TEST_F(DropJoint, APointSplitsTheRunAndARiserJoinsThePieces) {
  lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {1000, 0, 3000});
  pickAt({700, 0, 0});
  point({400, 1, 0});
  enter();
  word(L"2500");
  dialog(true);
  escape();
  CmdPipeJoin();
  const auto got = runs(L"给水管");
  ASSERT_EQ(got.size(), 2u);
  expectNear(got[0].s, {0, 0, 3000});
  expectNear(got[0].e, {400, 0, 3000});
  expectNear(got[1].s, {400, 0, 2500});
  expectNear(got[1].e, {1000, 0, 2500});
  for (const auto& r : got) expectCarried(r);
  const auto up = runs(L"给水管", true);
  ASSERT_EQ(up.size(), 1u);
  expectNear(up[0].s, {400, 0, 3000});
  expectNear(up[0].e, {400, 0, 2500});
  EXPECT_TRUE(noOpenObjects());
}

TEST_F(DropJoint, ACancelledOrRefusedJointLeavesTheRunAsItWas) {
  const cad::ObjectId id = lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {1000, 0, 3000});
  const auto before = db().modelSpaceEntities();
  struct Case {
    const char* what;
    std::function<void()> script;
    const wchar_t* message;
  };
  const Case cases[] = {
      {"equal elevations", [] { point({400, 0, 0}); enter(); enter(); }, L"两段管标高相等，无法生成扣管"},
      {"dialog cancelled", [] { point({400, 0, 0}); word(L"3000"); word(L"2000"); dialog(false); }, nullptr},
      {"escape at an elevation", [] { point({400, 0, 0}); word(L"2800"); escape(); }, nullptr},
      {"off the run", [] { point({400, 1.5, 0}); }, L"所指定的扣管插入点不在选择的管道上"},
      {"at an end", [] { point({1, 0, 0}); }, L"扣管插入点太靠近管道端点，无法生成扣管"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t boxes = ui::messageBoxLog().size();
    pickAt({700, 0, 0});
    c.script();
    escape();
    CmdPipeJoin();
    EXPECT_EQ(db().modelSpaceEntities(), before);
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->visible());
    if (c.message) {
      ASSERT_GT(ui::messageBoxLog().size(), boxes);
      EXPECT_EQ(ui::messageBoxLog().back().text, c.message);
    }
  }
}

TEST_F(DropJoint, ASecondRunOfAnotherTypeIsRefused) {
  lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, {0, 0, 3000}, {1000, 0, 3000});
  lay(L"污水管", L"W1", &CreatePipeGj, &DecoratePipeGj, {500, -500, 2000}, {500, 500, 2000});
  const auto before = db().modelSpaceEntities();
  pickAt({100, 0, 0});
  word(L"D");
  pickAt({500, 300, 0});
  escape();
  CmdPipeJoin();
  EXPECT_EQ(db().modelSpaceEntities(), before);
  ASSERT_FALSE(ui::messageBoxLog().empty());
  EXPECT_EQ(ui::messageBoxLog().back().text, L"所选的管道不符，无法生成扣管");
}

TEST_F(DropJoint, TwoRunsMeetAtTheirCrossing) {
  struct Case {
    const char* what;
    Point3d a0, a1, b0, b1;
    std::vector<std::pair<Point3d, Point3d>> first, second;  // plan runs after
  };
  const Case cases[] = {
      {"extended",
       {0, 0, 0}, {1000, 0, 0}, {1200, -500, 0}, {1200, -100, 0},
       {{{0, 0, 0}, {1200, 0, 0}}},
       {{{1200, -500, 0}, {1200, 0, 0}}}},
      {"crossing inside both",
       {0, 0, 0}, {1000, 0, 0}, {500, -500, 0}, {500, 500, 0},
       {{{0, 0, 0}, {500, 0, 0}}, {{500, 0, 0}, {1000, 0, 0}}},
       {{{500, -500, 0}, {500, 0, 0}}, {{500, 0, 0}, {500, 500, 0}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (cad::ObjectId id : db().modelSpaceEntities()) EraseEntity(id);
    lay(L"给水管", L"J1", &CreatePipeGj, &DecoratePipeGj, c.a0 + geom::Vector3d(0, 0, 3000),
        c.a1 + geom::Vector3d(0, 0, 3000));
    lay(L"给水管", L"J2", &CreatePipeGj, &DecoratePipeGj, c.b0 + geom::Vector3d(0, 0, 2000),
        c.b1 + geom::Vector3d(0, 0, 2000));
    pickAt({100, 0, 0});
    word(L"d");
    pickAt(c.b0 + (c.b1 - c.b0) * 0.25);
    enter();
    enter();
    dialog(true);
    escape();
    CmdPipeJoin();
    const auto got = runs(L"给水管");
    ASSERT_EQ(got.size(), c.first.size() + c.second.size());
    size_t i = 0;
    for (const auto& [s, e] : c.first) {
      expectNear(got[i].s, s + geom::Vector3d(0, 0, 3000));
      expectNear(got[i].e, e + geom::Vector3d(0, 0, 3000));
      EXPECT_EQ(got[i++].number, L"J1");
    }
    for (const auto& [s, e] : c.second) {
      expectNear(got[i].s, s + geom::Vector3d(0, 0, 2000));
      expectNear(got[i].e, e + geom::Vector3d(0, 0, 2000));
      EXPECT_EQ(got[i++].number, L"J2");
    }
    const auto up = runs(L"给水管", true);
    ASSERT_EQ(up.size(), 1u);
    expectNear(up[0].s, c.first.front().second + geom::Vector3d(0, 0, 3000));
    EXPECT_EQ(up[0].e.z, 2000);
  }
}

// ---------------------------------------------------------------------------
// Lightning band
// ---------------------------------------------------------------------------

class LightningBand : public RunEdit {
 protected:
  void wall(const wchar_t* layer, const PointList& pts, const BulgeList& bulges = {}) {
    BulgeList b = bulges;
    b.resize(pts.size(), 0);
    ASSERT_FALSE(AddPolyline(pts, b, true, 0, layer, nullptr).isNull());
  }
  void layBand() {
    show(L"避雷带", L"LB1");
    CmdLBand_Auto();
    EXPECT_TRUE(noOpenObjects());
  }
  // The band's primaries; every entity on the band's layer is one.
  std::vector<LaidRun> band() {
    auto got = runs(L"避雷带");
    EXPECT_EQ(got.size(), on(L"避雷带").size()) << "the temporary outline is gone";
    return got;
  }
};

TEST_F(LightningBand, ARectangleGetsFourSegments120Inside) {
  wall(L"砖墙", {{0, 0, 0}, {10000, 0, 0}, {10000, 6000, 0}, {0, 6000, 0}});
  enter();
  enter();
  layBand();
  const auto got = band();
  ASSERT_EQ(got.size(), 4u);
  double length = 0;
  for (const auto& r : got) {
    EXPECT_EQ(r.number, L"LB1");
    EXPECT_EQ(r.s.z, 0);
    for (const Point3d& p : {r.s, r.e}) {
      EXPECT_TRUE(std::fabs(p.x - 120) < 1e-6 || std::fabs(p.x - 9880) < 1e-6);
      EXPECT_TRUE(std::fabs(p.y - 120) < 1e-6 || std::fabs(p.y - 5880) < 1e-6);
    }
    length += std::hypot(r.e.x - r.s.x, r.e.y - r.s.y);
  }
  EXPECT_NEAR(length, 2 * (9760 + 5760), 1e-6);
  EXPECT_EQ(on(L"避雷带名").size(), 4u);
}

TEST_F(LightningBand, WallsDrawnAsOutlinesGiveOneBandInsideTheOuterFace) {
  // Four 200-thick walls around a 6000 x 4000 room: the union is a ring,
  // whose inner face is a hole and gets no band.
  wall(L"砖墙", {{0, 0, 0}, {6000, 0, 0}, {6000, 200, 0}, {0, 200, 0}});
  wall(L"砖墙", {{0, 3800, 0}, {6000, 3800, 0}, {6000, 4000, 0}, {0, 4000, 0}});
  wall(L"砼墙", {{0, 0, 0}, {200, 0, 0}, {200, 4000, 0}, {0, 4000, 0}});
  wall(L"砼墙", {{5800, 0, 0}, {6000, 0, 0}, {6000, 4000, 0}, {5800, 4000, 0}});
  word(L"9000");
  word(L"100");
  layBand();
  const auto got = band();
  ASSERT_EQ(got.size(), 4u);
  for (const auto& r : got) {
    EXPECT_EQ(r.s.z, 9000);
    EXPECT_TRUE(std::fabs(r.s.x - 100) < 1e-6 || std::fabs(r.s.x - 5900) < 1e-6);
  }
}

TEST_F(LightningBand, AnArcWallKeepsItsArc) {
  // A 4000 x 2000 plan whose east side bows outwards (bulge 0.5).
  wall(L"砖墙", {{0, 0, 0}, {4000, 0, 0}, {4000, 2000, 0}, {0, 2000, 0}}, {0, 0.5, 0, 0});
  enter();
  enter();
  layBand();
  const auto got = band();
  ASSERT_EQ(got.size(), 4u);
  int arcs = 0;
  for (const auto& r : got)
    if (std::fabs(r.bulge) > 1e-9) ++arcs;
  EXPECT_EQ(arcs, 1);
}

TEST_F(LightningBand, EscapeAtTheOffsetLeavesTheDrawingAsItWas) {
  wall(L"砖墙", {{0, 0, 0}, {10000, 0, 0}, {10000, 6000, 0}, {0, 6000, 0}});
  const auto before = db().modelSpaceEntities();
  enter();
  escape();
  layBand();
  EXPECT_EQ(db().modelSpaceEntities(), before);
}

TEST_F(LightningBand, NoWallsSaysSo) {
  layBand();
  EXPECT_TRUE(on(L"避雷带").empty());
  ASSERT_FALSE(ui::messageBoxLog().empty());
  EXPECT_EQ(ui::messageBoxLog().back().text, L"没有搜索到封闭的外墙边线！");
}

// ---------------------------------------------------------------------------
// Down leads
// ---------------------------------------------------------------------------

TEST_F(RunEdit, DownLeadsRunBetweenTheWindowsElevations) {
  show(L"避雷引下线", L"YX1");
  point({1000, 1000, 0});
  directive(L".palette", {L"-1500", L"12000"});
  point({5000, 1000, 0});
  escape();
  CmdDownLead();
  const auto leads = on(L"避雷引下线");
  ASSERT_EQ(leads.size(), 2u);
  const double expected[][2] = {{3300, 3300}, {-1500, 12000}};
  for (size_t i = 0; i < leads.size(); ++i) {
    cad::ObjectPtr<cad::BlockReference> ref(leads[i], cad::OpenMode::ForRead);
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->position().x, i == 0 ? 1000 : 5000);
    std::wstring kind, number;
    double z1 = 0, z2 = 0;
    GetGjSpecial(leads[i], &kind, &z1, &z2);
    EXPECT_EQ(kind, L"立管");
    EXPECT_EQ(z1, expected[i][0]);
    EXPECT_EQ(z2, expected[i][1]);
    StringArray attrs;
    GetGjNumberAndAttrs(leads[i], number, attrs);
    EXPECT_EQ(number, L"YX1");
  }
  EXPECT_TRUE(noOpenObjects());
}

TEST_F(RunEdit, ADownLeadWithoutBaseElevationStartsAtZero) {
  show(L"避雷引下线", L"YX2");
  point({1000, 1000, 0});
  escape();
  CmdDownLead();
  const auto leads = on(L"避雷引下线");
  ASSERT_EQ(leads.size(), 1u);
  double z1 = -1, z2 = -1;
  GetGjSpecial(leads[0], nullptr, &z1, &z2);
  EXPECT_EQ(z1, 0);
  EXPECT_EQ(z2, 0);
}

}  // namespace
