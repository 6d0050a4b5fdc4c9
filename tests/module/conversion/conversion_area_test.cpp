// The conversion area dialog and the parts of the linear dialogs around the
// rows: the area's save and quit, the view of the area, the pipe dialog's
// riser radio and elevation pick, the row editor, the cell combo and the
// name lists of the three kinds.
#include "module/conversion/conversion_dialogs.h"
#include "module/conversion/linear_conv.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "module/model/project_tables.h"
#include "platform/editor/input.h"
#include "platform/ui/ui.h"
#include "tests/module/conversion/network_fixture.h"

namespace {

using geom::Point3d;

class ConversionArea : public convtest::DialogDrawing {};

TEST_F(ConversionArea, SavedOnlyWithEntitiesAndAskedOnce) {
  const cad::ObjectId a = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  // Quit: nothing is saved and no dialog opens.
  answer(L".click", {L"2"});
  EXPECT_EQ(EnsureConvArea(), 2);
  EXPECT_EQ(g_convArea->saved, 0);

  // An empty selection leaves 保存 disabled; a window around the line
  // enables it; the points are picked.
  answer(L".click", {L"221"});
  push(ed::TokenKind::Window, {5000, 5000, 0}, {6000, 6000, 0});
  push(ed::TokenKind::Enter);
  answer(L".click", {L"1"});  // refused while disabled
  answer(L".click", {L"221"});
  push(ed::TokenKind::Window, {-10, -10, 0}, {1010, 10, 0});
  push(ed::TokenKind::Enter);
  answer(L".click", {L"116"});
  push(ed::TokenKind::Point, {100, 200, 0});
  answer(L".click", {L"1"});
  EXPECT_EQ(EnsureConvArea(), 1);
  EXPECT_EQ(g_convArea->areaIds, (cad::ObjectIdArray{a}));
  EXPECT_EQ(g_convArea->objectCount, 1);
  EXPECT_DOUBLE_EQ(g_convArea->targetX, 100);
  EXPECT_DOUBLE_EQ(g_convArea->targetY, 200);
  // Saved: the openers do not ask again.
  ShowPipeConv();
  ASSERT_NE(g_pipeConvDlg, nullptr);
  EXPECT_TRUE(g_pipeConvDlg->IsWindowVisible());
  EXPECT_DOUBLE_EQ(g_pipeConvDlg->targetY, 200);
  EXPECT_EQ(g_pipeConvDlg->areaIds, (cad::ObjectIdArray{a}));
  // While it is visible the opener keeps it.
  CPipeConv* first = g_pipeConvDlg;
  ShowPipeConv();
  EXPECT_EQ(g_pipeConvDlg, first);
}

TEST_F(ConversionArea, ModifyingTheAreaReachesTheDialogOnlyWhenSaved) {
  const cad::ObjectId a = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  const cad::ObjectId b = line(L"ZEB_给水", {0, 5000, 0}, {1000, 5000, 0});
  CAirDuctConv* dlg = open(g_airDuctConvDlg, &ShowAirDuctConv, {a});
  ASSERT_NE(dlg, nullptr);
  answer(L".click", {L"221"});
  push(ed::TokenKind::Window, {-10, 4990, 0}, {1010, 5010, 0});
  push(ed::TokenKind::Enter);
  answer(L".click", {L"2"});  // quit: the dialog keeps its area, so does the conversion area
  ModifyConvArea(dlg);
  EXPECT_EQ(dlg->areaIds, (cad::ObjectIdArray{a}));
  EXPECT_EQ(g_convArea->areaIds, (cad::ObjectIdArray{a}));
  answer(L".click", {L"221"});
  push(ed::TokenKind::Window, {-10, 4990, 0}, {1010, 5010, 0});
  push(ed::TokenKind::Enter);
  answer(L".set", {L"114", L"50"});
  answer(L".click", {L"1"});
  ModifyConvArea(dlg);
  EXPECT_EQ(dlg->areaIds, (cad::ObjectIdArray{b}));
  EXPECT_DOUBLE_EQ(dlg->targetX, 50);
  EXPECT_TRUE(dlg->IsWindowVisible());
}

TEST_F(ConversionArea, ViewZoomsToTheAreaGrownBy300) {
  const cad::ObjectId a = line(L"ZEB_给水", {0, 0, 0}, {1000, 500, 0});
  open(g_pipeConvDlg, &ShowPipeConv, {a});
  ASSERT_NE(g_pipeConvDlg, nullptr);
  push(ed::TokenKind::Enter);
  const std::size_t mark = ed::transcriptMark();
  ViewConvArea(g_pipeConvDlg);
  EXPECT_NE(ed::transcriptSince(mark).find(L"转换区域\n回车或右键返回"), std::wstring::npos);
  EXPECT_TRUE(g_pipeConvDlg->IsWindowVisible());
  // The view showed the area before the prompt waited for Enter.
  const ed::ViewState& view = ed::viewState();
  EXPECT_DOUBLE_EQ(view.min.x, -300);
  EXPECT_DOUBLE_EQ(view.min.y, -300);
  EXPECT_DOUBLE_EQ(view.max.x, 1300);
  EXPECT_DOUBLE_EQ(view.max.y, 800);
}

TEST_F(ConversionArea, PipeDialogPicksElevationsAndSetsRiserElevations) {
  makeTable(suiteSystem() / u8"构件库.DB",
            "构件分类:ftString:50\t构件名称:ftString:50\t图层\n管道\t给水管\t给水管\n卫生器具\t洗脸盆\t洗脸盆\n");
  ConvAreaObject()->saved = 1;
  ShowPipeConv();
  CPipeConv* dlg = g_pipeConvDlg;
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->nameCombo.GetCount(), 11);  // the template's plumbing names
  g_floorHeight = 3900;
  dlg->SetRiserElevations();
  dlg->UpdateData(true);
  EXPECT_EQ(dlg->startElev, 0);
  EXPECT_EQ(dlg->endElev, 3900);

  // 提取: a sloped run is refused, a point component gives its elevation.
  const GjSegment sloped = run(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 500});
  const cad::ObjectId basin = fixture(L"洗脸盆", {3000, 0, 0}, 1200);
  push(ed::TokenKind::Pick, {500, 0, 0});
  push(ed::TokenKind::Pick, {3000, 200, 0});
  const std::size_t mark = ed::transcriptMark();
  dlg->PickElevationFromGj(true);
  SCOPED_TRACE(testing::PrintToString(ed::transcriptSince(mark)));
  EXPECT_EQ(dlg->GetDlgItemText(linear_ids::kStartElev), L"1200.0");
  EXPECT_TRUE(dlg->IsWindowVisible());
  (void)sloped;
  (void)basin;
}

TEST_F(ConversionArea, RowEditorAndCellComboRewriteTheSelectedRow) {
  const cad::ObjectId a = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  ConvAreaObject()->saved = 1;
  ShowWaterPipeConv();
  CWaterPipeConv* dlg = g_waterPipeConvDlg;
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->nameCombo.GetLBText(0), L"热供水管");  // the water-pipe types
  EXPECT_EQ(dlg->nameCombo.GetCount(), 8);
  dlg->AddRow({a}, L"ZEB_给水", L"3");
  CNewListCtrl& list = dlg->rowList;
  EXPECT_EQ(list.GetItemText(0, linear_ids::kColColour), L"3");
  list.SetItemState(0, ui::lvis::Selected | ui::lvis::Focused, ui::lvis::Selected | ui::lvis::Focused);
  answer(L".set", {L"200", L"100"});
  answer(L".set", {L"201", L"2500"});
  answer(L".check", {L"237", L"1"});
  answer(L".click", {L"240"});
  dlg->EditConvRow();
  EXPECT_EQ(list.GetItemText(0, linear_ids::kColElev), L"100.000000;2500.000000");
  EXPECT_EQ(list.GetItemText(0, linear_ids::kColRiser), L"是");

  // The 立管 cell is edited in place; whatever ends the edit commits.
  dlg->BeginCellEdit(0, linear_ids::kColRiser);
  auto* combo = dynamic_cast<CNewComboBox*>(ui::Wnd::GetFocus());
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->GetCurSel(), 0);
  combo->SetCurSel(1);
  combo->SendMessage(ui::wm::Char, 27, 0);  // Esc keeps the choice
  EXPECT_EQ(list.GetItemText(0, linear_ids::kColRiser), L"否");
  EXPECT_TRUE(dlg->IsWindowVisible());
  ui::pumpMessages();
}

TEST(FindSegmentIndexTest, FirstSegmentOfTheId) {
  const cad::ObjectId a = cad::ObjectId::fromRaw(5), b = cad::ObjectId::fromRaw(6);
  GjSegmentArray segs{{a, {}, {}, L"", L""}, {b, {}, {}, L"", L""}, {b, {}, {}, L"", L""}};
  EXPECT_EQ(FindSegmentIndex({}, a), -1);
  EXPECT_EQ(FindSegmentIndex(segs, cad::ObjectId::fromRaw(9)), -1);
  EXPECT_EQ(FindSegmentIndex(segs, b), 1);
}

}  // namespace
