// DuctBend on the demo's first floor: the bend's geometry for a table of
// corners, the riser elbow, and refusals that leave the drawing unchanged.
#include <gtest/gtest.h>

#include <cmath>

#include "module/model/seams.h"
#include "tests/module/fittings/duct_fitting_fixture.h"

namespace ductfit {
namespace {

class DuctBendTest : public DuctFittingTest {};

struct BendCase {
  const char* what;
  const wchar_t* number1;
  Point3d s1, e1;
  const wchar_t* number2;
  Point3d s2, e2;
  Point3d corner, t1, t2;  // expected corner and tangent points
  int turn;                // expected turn flag
  double w1, w2, h1, h2;
  double deflection = 1.5707963;  // expected angle a
};

// Ducts laid at 3200 (first) and 3000 (second); SF1 is 630 x 320, SF2 400 x 250.
const BendCase kBends[] = {
    {"left turn at a shared corner", L"SF1", {0, 0, 3200}, {5000, 0, 3200}, L"SF1", {5000, 0, 3000}, {5000, 4000, 3000},
     {5000, 0, 0}, {4370, 0, 0}, {5000, 630, 0}, 0, 630, 630, 320, 320},
    {"right turn, mirrored", L"SF1", {0, 0, 3200}, {5000, 0, 3200}, L"SF1", {5000, 0, 3000}, {5000, -4000, 3000},
     {5000, 0, 0}, {4370, 0, 0}, {5000, -630, 0}, 1, 630, 630, 320, 320},
    {"ducts that stop short of the corner", L"SF1", {0, 0, 3200}, {4800, 0, 3200}, L"SF1", {5000, 4000, 3000},
     {5000, 500, 3000}, {5000, 0, 0}, {4370, 0, 0}, {5000, 630, 0}, 0, 630, 630, 320, 320},
    {"narrower first duct: the wider width sets the bend", L"SF2", {0, 0, 3200}, {5000, 0, 3200}, L"SF1",
     {5000, 0, 3000}, {5000, 4000, 3000}, {5000, 0, 0}, {4370, 0, 0}, {5000, 630, 0}, 0, 400, 630, 250, 320},
    {"second duct drawn toward the corner", L"SF1", {5000, 0, 3200}, {0, 0, 3200}, L"SF1", {5000, 4000, 3000},
     {5000, 0, 3000}, {5000, 0, 0}, {4370, 0, 0}, {5000, 630, 0}, 0, 630, 630, 320, 320},
    {"a 45 degree turn: t = tan(22.5) x 630", L"SF1", {0, 0, 3200}, {5000, 0, 3200}, L"SF1", {5000, 0, 3000},
     {8000, 3000, 3000}, {5000, 0, 0}, {4739.045, 0, 0}, {5184.523, 184.523, 0}, 0, 630, 630, 320, 320,
     0.7853982},
    {"a 135 degree turn: t = tan(67.5) x 630", L"SF1", {0, 0, 3200}, {5000, 0, 3200}, L"SF1", {5000, 0, 3000},
     {2000, 3000, 3000}, {5000, 0, 0}, {3479.045, 0, 0}, {3924.523, 1075.477, 0}, 0, 630, 630, 320,
     320, 2.3561945},
};

TEST_F(DuctBendTest, BendGeometryForATableOfCorners) {
  for (const BendCase& c : kBends) {
    SCOPED_TRACE(c.what);
    ed::resetEditor();
    ed::docManager().curDocument();
    const cad::ObjectId d1 = lay(c.number1, c.s1, c.e1);
    const cad::ObjectId d2 = lay(c.number2, c.s2, c.e2);
    fitting(L"弯头", L"WT1");
    pick(d1);
    pick(d2);
    run(&CmdDuctBend);

    // The ducts are cut back to the tangent points, the second on the
    // first's layer and elevation with its own number.
    const std::vector<Piece> all = pieces();
    ASSERT_EQ(all.size(), 2u) << os::toUtf8(printed());
    const Point3d far1 = near(c.s1, c.corner, 1000) ? c.e1 : c.s1;
    const Point3d far2 = near(c.s2, c.corner, 1000) ? c.e2 : c.s2;
    const Piece* p1 = pieceEndingAt(all, c.t1);
    const Piece* p2 = pieceEndingAt(all, c.t2);
    ASSERT_NE(p1, nullptr) << os::toUtf8(printed());
    ASSERT_NE(p2, nullptr);
    EXPECT_TRUE(sameSegment(*p1, far1, c.t1));
    EXPECT_TRUE(sameSegment(*p2, far2, c.t2));
    EXPECT_EQ(p1->number, c.number1);
    EXPECT_EQ(p2->number, c.number2);
    EXPECT_DOUBLE_EQ(p2->startElev, 3200);
    EXPECT_DOUBLE_EQ(p2->endElev, 3200);

    // The fitting at the corner, marked as a point component at 3200.
    const auto bends = fittings(L"弯头");
    ASSERT_EQ(bends.size(), 1u);
    const cad::ObjectId b = bends[0];
    EXPECT_TRUE(near(positionOf(b), c.corner));
    double elev = 0;
    std::wstring kind;
    GetPointGjSpecial(b, &kind, &elev, nullptr);
    EXPECT_EQ(kind, L"点构件");
    EXPECT_DOUBLE_EQ(elev, 3200);
    EXPECT_FALSE(ed::curDatabase()->blockId(L"WT1").isNull());

    // Its figure: the outline with two arcs of opposite bulge, the label.
    const auto outlines = onLayer(L"弯头边线");
    ASSERT_EQ(outlines.size(), 1u);
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(outlines[0], pts, bulges);
    ASSERT_EQ(pts.size(), 5u);
    const double b1 = (c.turn ? -1 : 1) * std::tan(c.deflection / 4);
    EXPECT_NEAR(bulges[1], b1, 1e-6);
    EXPECT_NEAR(bulges[3], -b1, 1e-6);
    EXPECT_NEAR(pts[0].distanceTo(pts[1]), c.w1, 1e-6);
    EXPECT_NEAR(pts[2].distanceTo(pts[3]), c.w2, 1e-6);
    ASSERT_EQ(onLayer(L"弯头名").size(), 1u);
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(onLayer(L"弯头名")[0], number, attrs);
    EXPECT_EQ(number, L"WT1");
    ASSERT_FALSE(attrs.empty());
    EXPECT_EQ(attrs[0], b.handle().text());

    // The record read back.
    const cad::ValueChain r = record(L"弯头", b);
    ASSERT_EQ(r.size(), 12u);
    EXPECT_TRUE(near(pointItem(r, 0), c.t1));
    EXPECT_TRUE(near(pointItem(r, 1), c.t2));
    EXPECT_DOUBLE_EQ(pointItem(r, 0).z, 3200);
    EXPECT_NEAR(realItem(r, 2), c.deflection, 1e-6);
    EXPECT_TRUE(near(pointItem(r, 3), Point3d(0, 0, 0) + (c.corner - c.t1).normal() * 1.0, 1e-9));
    EXPECT_TRUE(near(pointItem(r, 4), Point3d(0, 0, 0) + (c.corner - c.t2).normal() * 1.0, 1e-9));
    EXPECT_DOUBLE_EQ(realItem(r, 5), c.w1);
    EXPECT_DOUBLE_EQ(realItem(r, 6), c.w2);
    EXPECT_DOUBLE_EQ(realItem(r, 7), c.h1);
    EXPECT_DOUBLE_EQ(realItem(r, 8), c.h2);
    EXPECT_EQ(r[9].integer(), c.turn);
    EXPECT_EQ(r[10].integer(), 0);
    EXPECT_DOUBLE_EQ(realItem(r, 11), 0.0);
    EXPECT_EQ(r[9].code, 90);
    EXPECT_EQ(r[2].code, 40);
    EXPECT_EQ(r[0].code, 10);

    // The fitting's layer is current afterwards.
    cad::ObjectPtr<cad::LayerRecord> layer(ed::curDatabase()->clayer(), cad::OpenMode::ForRead);
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->name(), L"弯头");
  }
}

// Each refusal says why and leaves every entity, block and the current layer
// as they were.
struct Refusal {
  const char* what;
  int layout;  // 0 perpendicular, 1 parallel, 2 short, 3 other type
  int script;  // 0 pick both, 1 Escape at once, 2 first then Escape, 3 same duct twice then Escape
  const wchar_t* message;
};

const Refusal kRefusals[] = {
    {"Escape at the first pick", 0, 1, L""},
    {"Escape at the second pick", 0, 2, L""},
    {"the same duct twice", 0, 3, L"选择了相同的管线"},
    {"parallel ducts", 1, 0, L"无法操作!"},
    {"ducts too short for the bend", 2, 0, L"管道太短"},
    {"ducts of two types", 3, 0, L"所选择的类型不一致!"},
};

TEST_F(DuctBendTest, RefusalsLeaveTheDrawingAsItWas) {
  for (const Refusal& c : kRefusals) {
    SCOPED_TRACE(c.what);
    ed::resetEditor();
    ed::docManager().curDocument();
    cad::ObjectId d1 = lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200}), d2;
    if (c.layout == 0) d2 = lay(L"SF1", {5000, 0, 3200}, {5000, 4000, 3200});
    if (c.layout == 1) d2 = lay(L"SF1", {0, 2000, 3200}, {5000, 2000, 3200});
    if (c.layout == 2) d2 = lay(L"SF1", {5000, 0, 3200}, {5000, 500, 3200});
    if (c.layout == 3) d2 = lay(L"", {5000, 0, 3200}, {5000, 4000, 3200}, false, L"回风管");
    fitting(L"弯头", L"WT1");
    const std::wstring before = snapshot();
    ASSERT_NE(before.find(L"送风管边线"), std::wstring::npos);
    if (c.script == 0) {
      pick(d1);
      pick(d2);
    }
    if (c.script == 2) pick(d1);
    if (c.script == 3) {
      pick(d1);
      pick(d1);
    }
    run(&CmdDuctBend);
    EXPECT_EQ(snapshot(), before);
    if (*c.message) {
      EXPECT_NE((printed() + alerted()).find(c.message), std::wstring::npos) << os::toUtf8(printed());
    }
    EXPECT_TRUE(fittings(L"弯头").empty());
  }
}

TEST_F(DuctBendTest, NoFittingNumberAsksForOneAndChangesNothing) {
  const cad::ObjectId d1 = lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
  const cad::ObjectId d2 = lay(L"SF1", {5000, 0, 3200}, {5000, 4000, 3200});
  fitting(L"弯头", L"");
  const std::wstring before = snapshot();
  pick(d1);
  pick(d2);
  const auto& sent = ed::docManager().sentStrings();
  const size_t queued = size_t(std::count(sent.begin(), sent.end(), L"GjType\n"));
  run(&CmdDuctBend);
  EXPECT_EQ(size_t(std::count(sent.begin(), sent.end(), L"GjType\n")), queued + 1);
  ed::inputQueue().clear();
  EXPECT_EQ(snapshot(), before);
}

TEST_F(DuctBendTest, ASecondBendAtTheSameCornerIsRefusedAsADuplicate) {
  const cad::ObjectId d1 = lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
  const cad::ObjectId d2 = lay(L"SF1", {5000, 0, 3200}, {5000, 4000, 3200});
  fitting(L"弯头", L"WT1");
  pick(d1);
  pick(d2);
  run(&CmdDuctBend);
  ASSERT_EQ(fittings(L"弯头").size(), 1u);
  // Bending the two pieces again meets the first fitting at the same corner.
  const std::vector<Piece> all = pieces();
  ASSERT_EQ(all.size(), 2u);
  const std::wstring before = snapshot();
  pick(all[0].id);
  pick(all[1].id);
  run(&CmdDuctBend);
  EXPECT_NE(printed().find(L"输入重复"), std::wstring::npos) << os::toUtf8(printed());
  EXPECT_NE(printed().find(L"配件未能生成"), std::wstring::npos);
  EXPECT_EQ(snapshot(), before);
}

// The 3D twins are brought up to date for each new piece and the fitting,
// after the change is in the drawing, and for nothing when a bend is refused.
std::vector<std::pair<std::wstring, cad::ObjectId>> g_refreshed;
void recordRefresh(const std::wstring& type, cad::ObjectId id, cad::Database*) {
  g_refreshed.emplace_back(type, id);
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  EXPECT_TRUE(ent.ok()) << "refreshed an entity that is not in the drawing";
}

TEST_F(DuctBendTest, TheRefreshSeesEveryNewEntityAndNothingOfARefusal) {
  GjSeams seams = Seams();
  seams.refreshSolid3dOfEntity = &recordRefresh;
  ScopedGjSeams scoped(seams);
  g_refreshed.clear();
  const cad::ObjectId d1 = lay(L"SF1", {0, 0, 3200}, {5000, 0, 3200});
  const cad::ObjectId d2 = lay(L"SF1", {5000, 0, 3200}, {5000, 500, 3200});
  const cad::ObjectId d3 = lay(L"SF1", {5000, 0, 3200}, {5000, -4000, 3200});
  fitting(L"弯头", L"WT1");
  g_refreshed.clear();
  pick(d1);
  pick(d2);  // too short
  run(&CmdDuctBend);
  EXPECT_TRUE(g_refreshed.empty());
  pick(d1);
  pick(d3);
  run(&CmdDuctBend);
  ASSERT_EQ(g_refreshed.size(), 3u);
  EXPECT_EQ(g_refreshed[0].first, kDuct);
  EXPECT_EQ(g_refreshed[1].first, kDuct);
  EXPECT_EQ(g_refreshed[2].first, L"弯头");
  EXPECT_EQ(g_refreshed[2].second, fittings(L"弯头").at(0));
}

// The riser elbow: a duct at 2800, 320 high, and a riser at its start.
struct ElbowCase {
  const char* what;
  double riserBottom, riserTop;
  double newBottom, newTop;  // the new riser's span
  int level;
};

const ElbowCase kElbows[] = {
    {"riser running down from the duct", 0, 2500, 0, 2480, 0},
    {"riser running up from the duct", 3000, 6000, 3120, 6000, 1},
};

TEST_F(DuctBendTest, RiserElbowShortensTheRiserAndTheDuctByOneDuctHeight) {
  for (const ElbowCase& c : kElbows) {
    SCOPED_TRACE(c.what);
    ed::resetEditor();
    ed::docManager().curDocument();
    const cad::ObjectId duct = lay(L"SF1", {0, 0, 2800}, {5000, 0, 2800});
    const cad::ObjectId riser = lay(L"SF2", {0, 0, c.riserBottom}, {0, 0, c.riserTop}, true);
    fitting(L"弯头", L"WT1");
    pick(duct);
    pick(riser);
    run(&CmdDuctBend);
    EXPECT_NE(printed().find(L"选择了立管和水平管"), std::wstring::npos);
    const std::vector<Piece> all = pieces();
    ASSERT_EQ(all.size(), 2u) << os::toUtf8(printed());
    const Piece* newDuct = nullptr;
    const Piece* newRiser = nullptr;
    for (const Piece& p : all) (p.kind == L"立管" ? newRiser : newDuct) = &p;
    ASSERT_NE(newDuct, nullptr);
    ASSERT_NE(newRiser, nullptr);
    EXPECT_TRUE(sameSegment(*newDuct, {320, 0, 0}, {5000, 0, 0}));
    EXPECT_EQ(newDuct->number, L"SF1");
    EXPECT_DOUBLE_EQ(std::min(newRiser->startElev, newRiser->endElev), c.newBottom);
    EXPECT_DOUBLE_EQ(std::max(newRiser->startElev, newRiser->endElev), c.newTop);
    EXPECT_EQ(newRiser->number, L"SF2");
    const auto elbows = fittings(L"弯头");
    ASSERT_EQ(elbows.size(), 1u);
    const cad::ValueChain r = record(L"弯头", elbows[0]);
    ASSERT_EQ(r.size(), 12u);
    // The duct's vertices as they were before it was shortened.
    EXPECT_TRUE(near(pointItem(r, 0), {0, 0, 0}));
    EXPECT_TRUE(near(pointItem(r, 1), {5000, 0, 0}));
    EXPECT_DOUBLE_EQ(realItem(r, 2), 0.0);
    EXPECT_DOUBLE_EQ(realItem(r, 5), 400);
    EXPECT_DOUBLE_EQ(realItem(r, 6), 630);
    EXPECT_DOUBLE_EQ(realItem(r, 8), 320);
    EXPECT_EQ(r[9].integer(), c.level);
    EXPECT_EQ(r[10].integer(), 1);
    EXPECT_DOUBLE_EQ(realItem(r, 11), 2800);
    // Its plan figure: a closed rectangle, one duct width by one duct height.
    const auto outlines = onLayer(L"弯头边线");
    ASSERT_EQ(outlines.size(), 1u);
    double area = 0;
    cad::ObjectPtr<cad::Polyline> pl(outlines[0], cad::OpenMode::ForRead);
    ASSERT_TRUE(pl);
    pl->getArea(area);
    EXPECT_NEAR(area, 630 * 320, 1e-3);
  }
}

TEST_F(DuctBendTest, ARiserOffTheDuctOrOnlyOnItsExtensionIsRefused) {
  for (const Point3d at : {Point3d(0, 500, 0), Point3d(-3000, 0, 0)}) {
    ed::resetEditor();
    ed::docManager().curDocument();
    const cad::ObjectId duct = lay(L"SF1", {0, 0, 2800}, {5000, 0, 2800});
    const cad::ObjectId riser = lay(L"SF2", {at.x, at.y, 0}, {at.x, at.y, 2500}, true);
    fitting(L"弯头", L"WT1");
    const std::wstring before = snapshot();
    pick(duct);
    pick(riser);
    run(&CmdDuctBend);
    EXPECT_NE(printed().find(L"不在同一直线上!"), std::wstring::npos);
    EXPECT_EQ(snapshot(), before);
  }
}

TEST_F(DuctBendTest, RecordWriterReplacesAKeyAndRefusesAnUnopenableFitting) {
  const cad::ObjectId duct = lay(L"SF1", {0, 0, 2800}, {5000, 0, 2800});
  ASSERT_TRUE(WriteDuctFittingGeom(L"弯头", duct, {GeomReal(1.0)}));
  ASSERT_TRUE(WriteDuctFittingGeom(L"弯头", duct, {GeomPoint({1, 2, 3}), GeomInt(7)}));
  const cad::ValueChain r = record(L"弯头", duct);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_TRUE(near(pointItem(r, 0), {1, 2, 0}));
  EXPECT_EQ(r[1].integer(), 7);
  cad::ObjectPtr<cad::DbObject> obj(duct, cad::OpenMode::ForRead);
  cad::ObjectPtr<cad::Dictionary> dict(obj->extensionDictionary(), cad::OpenMode::ForRead);
  ASSERT_TRUE(dict);
  EXPECT_EQ(dict->entries().size(), 1u);
  obj.close();
  dict.close();
  EraseEntity(duct);
  const size_t mark = ed::transcriptMark();
  EXPECT_FALSE(WriteDuctFittingGeom(L"弯头", duct, {GeomReal(1.0)}));
  EXPECT_NE(ed::transcriptSince(mark).find(L"实体打开失败!"), std::wstring::npos);
}

}  // namespace
}  // namespace ductfit
