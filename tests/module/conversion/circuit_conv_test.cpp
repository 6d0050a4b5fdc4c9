// The circuit conversion from step 1 to the wire-in-conduit components, the
// circuit information dialog, the circuit monitor and the material table.
#include "module/conversion/material_table.h"
#include "module/model/module_resources.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "tests/module/conversion/circuit_fixture.h"

namespace {

using geom::Point3d;
using Ids = cad::ObjectIdArray;

class CircuitConversion : public convtest::CircuitDrawing {
 protected:
  // A box, two lamps, the wiring between them and two count texts; step 1
  // open with the wiring picked and the texts listed.
  void layout() {
    b = box({0, 0, 0}, 1500);
    l1 = lamp({6000, 0, 0}, 3000);
    l2 = lamp({6000, 4000, 0}, 3000);
    w1 = wire({0, 0, 0}, {6000, 0, 0});
    w2 = wire({6000, 0, 0}, {6000, 4000, 0});
    t1 = text(L"4", {3000, 200, 0}, 0, L"ZEB_根数");
    t2 = text(L"n=3", {6200, 2000, 0}, 0, L"ZEB_根数");
    step1 = open(g_pipeLineSelDlg, &ShowPipeLineConv, {w1, w2, t1, t2});
    ASSERT_NE(step1, nullptr);
    push(ed::TokenKind::Pick, {3000, 0, 0});
    push(ed::TokenKind::Pick, {6000, 2000, 0});  // the same group: refused
    push(ed::TokenKind::Enter);
    const std::size_t mark = ed::transcriptMark();
    step1->OnPickPipes();
    EXPECT_NE(ed::transcriptSince(mark).find(L"图层已经选择"), std::wstring::npos);
    ASSERT_EQ(step1->pipeList.GetCount(), 1);
    EXPECT_EQ(step1->pipeList.GetText(0), L"照明+线宽(0,0)+颜色(256)+线型(ByLayer)");
    step1->addItem(false, L"根数", Ids{t1, t2});
  }
  static void describe(int row, const std::wstring& vertical = L"照明导线,BV2.5,3;软导管,JDG20") {
    CNewListCtrl& list = g_pipeLineConvDlg->rowList;
    list.SetItemText(row, circuit_ids::kColWire, L"照明导线,BV2.5,2");
    list.SetItemText(row, circuit_ids::kColConduit, L"导管,PC20");
    list.SetItemText(row, circuit_ids::kColElev, L"2800.00");
    list.SetItemText(row, circuit_ids::kColVertical, vertical);
  }
  struct Made {
    std::wstring number, count;
    Point3d start, end;
    bool riser;
  };
  std::vector<Made> made() {
    std::vector<Made> out;
    for (cad::ObjectId id : db()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (!e || e->layer() != L"导线·导管") continue;
      const bool riser = cad::isKindOf<cad::BlockReference>(e.get());
      e.close();
      Made m;
      m.riser = riser;
      m.number = numberOf(id);
      const StringArray attrs = attrsOf(id);
      m.count = GetAttrValue(attrs, L"导线根数");
      EXPECT_EQ(GetAttrValue(attrs, L"导管规格(mm)"), L"15");
      GetGjEndPoints3d(id, m.start, m.end);
      out.push_back(m);
    }
    return out;
  }
  cad::ObjectId b, l1, l2, w1, w2, t1, t2;
  CPipeLineSel* step1 = nullptr;
};

TEST_F(CircuitConversion, DescribedCircuitBecomesWireInConduitRuns) {
  layout();
  // A wire of another name under the new run stays.
  cad::ObjectId other;
  CreateLinearGjEntity(other, L"照明导线", L"WL1", {0, 0, 2800}, {6000, 0, 2800}, 0, 0);
  ASSERT_FALSE(other.isNull());
  step1->OnNextStep();
  ASSERT_NE(g_pipeLineConvDlg, nullptr);
  EXPECT_FALSE(step1->IsWindowVisible());
  CNewListCtrl& list = g_pipeLineConvDlg->rowList;
  ASSERT_EQ(list.GetItemCount(), 1);  // the box circuit took the lamp-to-lamp one
  EXPECT_EQ(*list.rowIds(0), (Ids{b, w1, l1, l1, w2, l2}));

  // Not described: the row stays and says so.
  std::size_t mark = ed::transcriptMark();
  g_pipeLineConvDlg->OnConvert();
  EXPECT_NE(ed::transcriptSince(mark).find(L"请设置回路1的管线信息"), std::wstring::npos);
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_TRUE(made().empty());

  describe(0);
  mark = ed::transcriptMark();
  g_pipeLineConvDlg->OnConvert();
  EXPECT_NE(ed::transcriptSince(mark).find(L"转换结束"), std::wstring::npos);
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_FALSE(g_pipeLineConvDlg->IsWindowVisible());
  const std::vector<Made> runs = made();
  ASSERT_EQ(runs.size(), 6u);
  int horizontal = 0, risers = 0;
  for (const Made& m : runs) {
    if (!m.riser) {
      ++horizontal;
      EXPECT_DOUBLE_EQ(m.start.z, 2800);
      if (m.start.y == 0 && m.end.y == 0) {
        // From 15 past the box to the lamp, with the count of the text "4".
        EXPECT_DOUBLE_EQ(std::min(m.start.x, m.end.x), 15);
        EXPECT_DOUBLE_EQ(std::max(m.start.x, m.end.x), 6000);
        EXPECT_EQ(m.number, L"4*BV2.5+PC20");
        EXPECT_EQ(m.count, L"4");
      } else {
        EXPECT_EQ(m.number, L"3*BV2.5+PC20");  // "n=3" read as 3
      }
      continue;
    }
    ++risers;
    if (m.start.x == 15) {
      EXPECT_EQ(m.number, L"2*BV2.5+PC20");  // at the box: the horizontal data
      EXPECT_DOUBLE_EQ(std::min(m.start.z, m.end.z), 1500);
    } else {
      EXPECT_EQ(m.number, L"3*BV2.5+JDG20");  // at the lamps: the lamp data
    }
  }
  EXPECT_EQ(horizontal, 2);
  EXPECT_EQ(risers, 4);
  cad::ObjectPtr<cad::Entity> kept(other, cad::OpenMode::ForRead);
  EXPECT_TRUE(kept);
  kept.close();

  // Back to step 1 and again: the cut wiring is still listed, and the runs
  // already there are not made twice.
  step1->ShowWindow(ui::sw::Show);
  step1->OnNextStep();
  ASSERT_EQ(g_pipeLineConvDlg->rowList.GetItemCount(), 1);
  describe(0);
  g_pipeLineConvDlg->OnConvert();
  EXPECT_EQ(made().size(), 6u);
}

TEST_F(CircuitConversion, WiringArcsStayArcs) {
  // Box, lamp, lamp: the wiring from the first lamp to the second is a
  // semicircle of radius 2000 (an ARC on the wiring layer).
  b = box({0, 0, 0}, 1500);
  l1 = lamp({6000, 0, 0}, 3000);
  l2 = lamp({6000, 4000, 0}, 3000);
  w1 = wire({0, 0, 0}, {6000, 0, 0});
  auto* a = new cad::Arc({6000, 2000, 0}, 2000, -M_PI / 2, M_PI / 2);
  w2 = AppendToModelSpace(a, L"ZEB_照明", db());
  a->close();
  step1 = open(g_pipeLineSelDlg, &ShowPipeLineConv, {w1, w2});
  ASSERT_NE(step1, nullptr);
  step1->addItem(true, L"照明", Ids{w1, w2});
  step1->OnNextStep();
  ASSERT_NE(g_pipeLineConvDlg, nullptr);
  ASSERT_EQ(g_pipeLineConvDlg->rowList.GetItemCount(), 1);
  describe(0);
  g_pipeLineConvDlg->OnConvert();
  int arcs = 0;
  for (cad::ObjectId id : db()->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    if (!pl || pl->layer() != L"导线·导管" || pl->numVerts() < 2 || pl->bulgeAt(0) == 0.0) continue;
    ++arcs;
    // From 15 along the arc past the first lamp to the second lamp, on the
    // wiring's circle.
    EXPECT_NEAR(GetSegmentLength(pl->pointAt(0), pl->pointAt(1), pl->bulgeAt(0)), 2000 * M_PI - 15, 0.01);
    const Point3d centre(6000, 2000, 0);
    for (const Point3d& p : {pl->pointAt(0), pl->pointAt(1),
                             GetSegmentMidPoint(pl->pointAt(0), pl->pointAt(1), pl->bulgeAt(0))})
      EXPECT_NEAR(Point3d(p.x, p.y, 0).distanceTo(centre), 2000, 0.01);
  }
  EXPECT_EQ(arcs, 1);
}

TEST_F(CircuitConversion, CountTextsThatAreNoCountFallBackToTheRow) {
  EXPECT_EQ(ParseWireCount(L"4"), 4);
  EXPECT_EQ(ParseWireCount(L"n=4"), 4);
  EXPECT_EQ(ParseWireCount(L"4根"), 4);
  EXPECT_EQ(ParseWireCount(L"BV"), 0);
  const std::vector<CountLabel> labels{{L"5", {500, 300, 0}}, {L"6", {500, 200, 0}}, {L"7", {1500, 100, 0}}};
  std::wstring text;
  EXPECT_TRUE(FindWireCountText(labels, &text, {0, 0, 0}, {1000, 0, 0}));
  EXPECT_EQ(text, L"6");  // the nearest whose foot lies on the segment
  EXPECT_FALSE(FindWireCountText({{L"5", {500, 500, 0}}}, &text, {0, 0, 0}, {1000, 0, 0}));

  layout();
  {
    cad::ObjectPtr<cad::Text> t(t1, cad::OpenMode::ForWrite);
    t->setTextString(L"BV");
  }
  step1->OnNextStep();
  describe(0);
  const std::size_t mark = ed::transcriptMark();
  g_pipeLineConvDlg->OnConvert();
  EXPECT_NE(ed::transcriptSince(mark).find(L"根数标注\"BV\"不是导线根数"), std::wstring::npos);
  for (const Made& m : made())
    if (!m.riser && m.start.y == 0 && m.end.y == 0) {
      EXPECT_EQ(m.number, L"2*BV2.5+PC20");
    }
}

TEST_F(CircuitConversion, FewerThanTwoDevicesKeepStepOneAndTheDrawing) {
  b = box({0, 0, 0});
  const cad::ObjectId pl = polyline(L"ZEB_照明", {{0, 0, 0}, {3000, 0, 0}, {3000, 3000, 0}});
  step1 = open(g_pipeLineSelDlg, &ShowPipeLineConv, {pl});
  ASSERT_NE(step1, nullptr);
  step1->addItem(true, L"照明", Ids{pl});
  const std::size_t before = db()->modelSpaceEntities().size();
  const std::size_t mark = ed::transcriptMark();
  step1->OnNextStep();
  EXPECT_NE(ed::transcriptSince(mark).find(L"不足两个"), std::wstring::npos);
  EXPECT_EQ(db()->modelSpaceEntities().size(), before);
  EXPECT_TRUE(step1->IsWindowVisible());
  EXPECT_EQ(g_pipeLineConvDlg, nullptr);
  cad::ObjectPtr<cad::Entity> e(pl, cad::OpenMode::ForRead);
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->visible());
  EXPECT_TRUE(e->isHighlighted());
}

TEST_F(CircuitConversion, InformationDialogWritesTheSelectedRowsAndMonitorShowsThem) {
  layout();
  wire({20000, 0, 0}, {26000, 0, 0});
  const cad::ObjectId l3 = lamp({26000, 0, 0});
  const cad::ObjectId b2 = box({20000, 0, 0});
  (void)l3;
  (void)b2;
  ConvAreaObject()->areaIds.clear();
  step1->OnNextStep();
  ASSERT_NE(g_pipeLineConvDlg, nullptr);
  CNewListCtrl& list = g_pipeLineConvDlg->rowList;
  ASSERT_EQ(list.GetItemCount(), 1);  // the second box's wiring was not picked

  // An empty row opens with the first names and counts 2; 与水平管线相同
  // copies the horizontal data.
  g_pipeLineConvDlg->selectedRows = {0, 5};
  answer(L".set", {L"264", L"4"});
  answer(L".set", {L"265", L"2700"});
  answer(L".check", {L"275", L"1"});
  answer(L".click", {L"240"});
  {
    UiResourceScope resources;
    CPipeLineEdit edit;
    edit.DoModal();
  }
  EXPECT_EQ(list.GetItemText(0, circuit_ids::kColWire), L"照明导线,,4");
  EXPECT_EQ(list.GetItemText(0, circuit_ids::kColConduit), L"导管,");
  EXPECT_EQ(list.GetItemText(0, circuit_ids::kColElev), L"2700.00");
  EXPECT_EQ(list.GetItemText(0, circuit_ids::kColVertical), L"照明导线,,4;导管,");

  // The monitor: the lamp under the cursor shows its circuit.
  {
    CLoopMonitor monitor({}, true);
    EXPECT_EQ(g_loopMonitor, &monitor);
    ed::InputPointContext ctx;
    ctx.apertureEntities = {l2};
    ed::ViewportDraw draw;
    bool append = false;
    std::wstring tip;
    monitor.monitorInputPoint(ctx, draw, append, tip);
    EXPECT_TRUE(append);
    EXPECT_EQ(tip, L"序号:1\n水平导线:照明导线,,4\n水平导管:导管,\n标高:2700.00\n灯具竖向管线:照明导线,,4;导管,");
    EXPECT_TRUE(std::find(monitor.highlighted().begin(), monitor.highlighted().end(), w1) !=
                monitor.highlighted().end());
    ctx.apertureEntities = {t1};  // no component: nothing shown
    tip.clear();
    monitor.monitorInputPoint(ctx, draw, append, tip);
  }
  EXPECT_EQ(g_loopMonitor, nullptr);
  cad::ObjectPtr<cad::Entity> e(w1, cad::OpenMode::ForRead);
  ASSERT_TRUE(e);
  EXPECT_FALSE(e->isHighlighted());
  e.close();

  // Ctrl+C on the row, clear it, Ctrl+V brings the cells back.
  list.SetItemState(0, ui::lvis::Selected, ui::lvis::Selected);
  ed::setKeyDown(ed::kVkControl, true);
  ui::Msg copy{};
  copy.message = ui::wm::KeyDown;
  copy.wParam = 'C';
  g_pipeLineConvDlg->PreTranslateMessage(&copy);
  g_pipeLineConvDlg->OnClearCircuitInfo();
  EXPECT_EQ(list.GetItemText(0, circuit_ids::kColWire), L"");
  copy.wParam = 'V';
  g_pipeLineConvDlg->PreTranslateMessage(&copy);
  ed::setKeyDown(ed::kVkControl, false);
  EXPECT_EQ(list.GetItemText(0, circuit_ids::kColWire), L"照明导线,,4");
}

TEST_F(CircuitConversion, PickingCircuitsHidesThemAndRestoresVisibility) {
  layout();
  step1->OnNextStep();
  ASSERT_NE(g_pipeLineConvDlg, nullptr);
  push(ed::TokenKind::Pick, {3000, 0, 0});   // a piece of the row: selected and hidden
  push(ed::TokenKind::Escape);
  g_pipeLineConvDlg->OnSetCircuitInfo();
  EXPECT_EQ(g_pipeLineConvDlg->selectedRows, (std::vector<int>{0}));
  for (cad::ObjectId id : {b, w1, l1, l2}) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->visible());
  }
  EXPECT_EQ(g_loopMonitor, nullptr);
  EXPECT_TRUE(g_pipeLineConvDlg->IsWindowVisible());
}

TEST_F(CircuitConversion, PickingADeviceOfTwoRowsSelectsBoth) {
  b = box({0, 0, 0});
  const cad::ObjectId b2 = box({10000, 0, 0});
  l1 = lamp({5000, 0, 0});
  w1 = wire({0, 0, 0}, {5000, 0, 0});
  w2 = wire({10000, 0, 0}, {5000, 0, 0});
  step1 = open(g_pipeLineSelDlg, &ShowPipeLineConv, {w1, w2});
  ASSERT_NE(step1, nullptr);
  step1->addItem(true, L"照明", Ids{w1, w2});
  step1->OnNextStep();
  ASSERT_NE(g_pipeLineConvDlg, nullptr);
  ASSERT_EQ(g_pipeLineConvDlg->rowList.GetItemCount(), 2);  // box circuits never join
  push(ed::TokenKind::Pick, {4900, 150, 0});  // the shared lamp
  push(ed::TokenKind::Escape);
  g_pipeLineConvDlg->OnSetCircuitInfo();
  EXPECT_EQ(g_pipeLineConvDlg->selectedRows, (std::vector<int>{0, 1}));
  for (cad::ObjectId id : {b, b2, l1, w1, w2}) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->visible());
  }
}

TEST_F(CircuitConversion, MaterialTableLeavesEverythingAsItWas) {
  const std::size_t before = db()->modelSpaceEntities().size();
  const std::size_t mark = ed::transcriptMark();
  RunTableConv();
  EXPECT_EQ(db()->modelSpaceEntities().size(), before);
  EXPECT_EQ(ed::transcriptSince(mark), L"");
  UiResourceScope resources;
  CDeviceTableConv table;
  answer(L".click", {L"1"});
  table.DoModal();
  ASSERT_EQ(table.grid.GetColumnCount(), 4);
  EXPECT_EQ(table.grid.GetItemText(0, 1), L"构件名称");
  EXPECT_EQ(table.grid.GetItemText(0, 3), L"标高");
}

}  // namespace
