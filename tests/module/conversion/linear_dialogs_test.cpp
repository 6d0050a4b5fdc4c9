// The linear conversion dialogs driven as a person would: the pick loop
// gathering rows, the list's menu and renumbering, the checks before a
// conversion, and the duct conversion.
#include "module/conversion/conversion_dialogs.h"
#include "module/conversion/linear_conv.h"
#include "platform/editor/input.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/ui.h"
#include "tests/module/conversion/network_fixture.h"

namespace {

using geom::Point3d;

using ed::makeToken;

class LinearDialogs : public convtest::DialogDrawing {
 protected:
  static void pickAt(const Point3d& p) { ed::inputQueue().push(makeToken(ed::TokenKind::Pick, L"", p)); }
  static void rightClick() { ed::inputQueue().push(makeToken(ed::TokenKind::RightClick)); }
  static std::wstring said(std::size_t mark) { return ed::transcriptSince(mark); }
  static bool highlighted(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return e && e->isHighlighted();
  }
};

TEST_F(LinearDialogs, PickLoopGathersSimilarEntitiesIntoRows) {
  const cad::ObjectId l1 = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  const cad::ObjectId l2 = line(L"ZEB_给水", {0, 500, 0}, {1000, 500, 0});
  const cad::ObjectId wide = polyline(L"ZEB_给水", {{0, 900, 0}, {1000, 900, 0}});
  const cad::ObjectId comp = line(L"给水管", {0, 2000, 0}, {1000, 2000, 0});
  const cad::ObjectId label = text(L"DN25", {0, 3000, 0}, 0, L"ZEB_给水");
  const cad::ObjectId outside = line(L"ZEB_给水", {0, 4000, 0}, {1000, 4000, 0});
  const cad::ObjectId plain = line(L"设计", {0, 5000, 0}, {1000, 5000, 0});
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, {l1, l2, wide, comp, label, plain});
  const std::size_t mark = ed::transcriptMark();
  pickAt({500, 0, 0});     // both lines of the layer: one row
  pickAt({500, 500, 0});   // picked again: the group leaves, the row goes
  pickAt({500, 2000, 0});  // a component
  pickAt({500, 3050, 0});  // a text
  pickAt({500, 4000, 0});  // outside the area
  pickAt({500, 5000, 0});  // a layer that is no source
  pickAt({500, 900, 0});   // the polyline: a row of its own class
  pickAt({500, 0, 0});     // the lines again: they join the polyline's row
  rightClick();
  ASSERT_TRUE(dlg->GetDlgItem(linear_ids::kPick));
  dlg->OnPick();
  const std::wstring text = said(mark);
  std::size_t refusal = text.find(L"目前选择的是算量构件，不能转换！");
  EXPECT_NE(refusal, std::wstring::npos);
  EXPECT_NE(text.find(L"目前选择的是算量构件，不能转换！", refusal + 1), std::wstring::npos);
  EXPECT_NE(text.find(L"AcDbText类型的实体不转换"), std::wstring::npos);
  EXPECT_NE(text.find(L"目前选择的实体不在转换区域内！"), std::wstring::npos);
  ASSERT_EQ(dlg->rowList.GetItemCount(), 1);
  EXPECT_EQ(*dlg->rowList.rowIds(0), (cad::ObjectIdArray{wide, l2, l1}));
  EXPECT_EQ(dlg->rowList.GetItemText(0, linear_ids::kColLayer), L"给水");
  EXPECT_TRUE(highlighted(l1));
  EXPECT_FALSE(highlighted(comp));
  EXPECT_TRUE(dlg->GetDlgItem(linear_ids::kConvert)->IsWindowEnabled());

  // With Shift held only the picked entity leaves its row.
  ed::setKeyDown(ed::kVkShift, true);
  pickAt({500, 500, 0});
  rightClick();
  dlg->OnPick();
  ed::setKeyDown(ed::kVkShift, false);
  EXPECT_EQ(*dlg->rowList.rowIds(0), (cad::ObjectIdArray{wide, l1}));
  EXPECT_FALSE(highlighted(l2));
  (void)outside;
}

TEST_F(LinearDialogs, APickedGroupLeavesEveryRowThatHeldPartOfIt) {
  const cad::ObjectId l1 = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  const cad::ObjectId l2 = line(L"ZEB_给水", {0, 500, 0}, {1000, 500, 0});
  const cad::ObjectId l3 = line(L"ZEB_给水", {0, 1000, 0}, {1000, 1000, 0});
  const cad::ObjectId pl = polyline(L"ZEB_给水", {{0, 1500, 0}, {1000, 1500, 0}});
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, {l1, l2, l3, pl});
  auto pickWith = [&](const wchar_t* elevation, const Point3d& at, bool shift) {
    dlg->SetDlgItemText(linear_ids::kStartElev, elevation);
    dlg->SetDlgItemText(linear_ids::kEndElev, elevation);
    ed::setKeyDown(ed::kVkShift, shift);
    pickAt(at);
    rightClick();
    dlg->OnPick();
    ed::setKeyDown(ed::kVkShift, false);
  };
  pickWith(L"100", {500, 0, 0}, true);     // row 1: l1 alone
  pickWith(L"200", {500, 500, 0}, true);   // row 2: l2 alone, at another elevation
  pickWith(L"200", {500, 1500, 0}, false); // the polyline joins row 2
  ASSERT_EQ(dlg->rowList.GetItemCount(), 2);
  EXPECT_EQ(*dlg->rowList.rowIds(1), (cad::ObjectIdArray{l2, pl}));
  // All three lines at a third elevation: l1 leaves row 1, which goes; l2
  // leaves row 2, which keeps the polyline and becomes row 1; the lines make
  // a new row.
  pickWith(L"300", {500, 1000, 0}, false);
  ASSERT_EQ(dlg->rowList.GetItemCount(), 2);
  EXPECT_EQ(*dlg->rowList.rowIds(0), (cad::ObjectIdArray{pl}));
  EXPECT_EQ(dlg->rowList.GetItemText(0, 0), L"1");
  EXPECT_EQ(dlg->rowList.GetItemText(0, linear_ids::kColElev), L"200;200");
  EXPECT_EQ(*dlg->rowList.rowIds(1), (cad::ObjectIdArray{l3, l2, l1}));
  EXPECT_EQ(dlg->rowList.GetItemText(1, linear_ids::kColElev), L"300;300");
  for (cad::ObjectId id : {l1, l2, l3, pl}) EXPECT_TRUE(highlighted(id));
}

TEST_F(LinearDialogs, RowsAreRenumberedAndTheMenuFollowsTheList) {
  const cad::ObjectId a = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, {a});
  CNewListCtrl& list = dlg->rowList;
  list.SendMessage(ui::wm::ContextMenu, 0, 0);
  const auto& empty = ui::lastTrackedMenu();
  ASSERT_EQ(empty.size(), 3u);
  EXPECT_FALSE(empty[0].flags & ui::mf::Grayed);
  EXPECT_TRUE(empty[1].flags & ui::mf::Grayed);
  EXPECT_TRUE(empty[2].flags & ui::mf::Grayed);
  for (int i = 0; i < 3; ++i) dlg->AddRow({a}, L"ZEB_给水", L"256");
  EXPECT_EQ(list.GetItemText(2, 0), L"3");
  EXPECT_EQ(list.GetItemText(0, linear_ids::kColElev), L"0;0");
  EXPECT_EQ(list.GetItemText(0, linear_ids::kColRiser), L"否");
  DeleteConvRow(&list, 1);
  EXPECT_EQ(list.GetItemText(0, 0), L"1");
  EXPECT_EQ(list.GetItemText(1, 0), L"2");
  list.SendMessage(ui::wm::Command, conv_ids::kMenuDeleteAll, 0);
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_FALSE(dlg->GetDlgItem(linear_ids::kConvert)->IsWindowEnabled());
  EXPECT_EQ(ColourCellText(L"7(随层)"), L"白色(随层)");
  EXPECT_EQ(ColourCellText(L"12"), L"12");
  EXPECT_EQ(ColourCellText(L"3"), L"绿色");
}

TEST_F(LinearDialogs, RowsThatCannotBeConvertedStayAndNothingIsReportedAsConverted) {
  const cad::ObjectId a = line(L"ZEB_给水", {0, 0, 0}, {1000, 0, 0});
  const cad::ObjectId c = circle(L"ZEB_立管", {0, 0, 0}, 100);
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, {a, c});
  CNewListCtrl& list = dlg->rowList;
  dlg->AddRow({a}, L"ZEB_给水", L"256");
  list.SetItemText(0, linear_ids::kColElev, L"abc;3000");
  dlg->AddRow({c}, L"ZEB_立管", L"256");
  list.SetItemText(1, linear_ids::kColRiser, L"是");  // a riser row with equal elevations
  dlg->list().SendMessage(ui::wm::Command, conv_ids::kMenuAddRow, 0);  // a row without entities
  const std::size_t mark = ed::transcriptMark();
  dlg->OnConvert();
  const std::wstring text = said(mark);
  EXPECT_NE(text.find(L"第1行的标高\"abc;3000\"不是两个数，该行未转换"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"第2行是立管，但起点标高与终点标高相同，该行未转换"), std::wstring::npos);
  EXPECT_NE(text.find(L"没有转换出任何构件"), std::wstring::npos);
  EXPECT_EQ(text.find(L"转换结束"), std::wstring::npos);
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_FALSE(a.isErased());
  EXPECT_TRUE(runsOn(L"给水管").empty());

  // Corrected, the rows convert and leave the list.
  list.SetItemText(0, linear_ids::kColElev, L"2800;2800");
  list.SetItemText(1, linear_ids::kColElev, L"0;3900");
  const std::size_t again = ed::transcriptMark();
  dlg->OnConvert();
  EXPECT_NE(said(again).find(L"转换结束"), std::wstring::npos) << said(again);
  EXPECT_EQ(list.GetItemCount(), 1);  // the empty row stays
  EXPECT_EQ(runsOn(L"给水管").size(), 3u);  // the run, and the riser cut where the run meets it
  EXPECT_FALSE(a.isErased());  // sources stay
}

TEST_F(LinearDialogs, DuctsConvertEverySegmentWithTheirSize) {
  const cad::ObjectId pl = polyline(L"ZEB_风管", {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {3000, 1000, 0}});
  const cad::ObjectId labelled = line(L"ZEB_风管", {0, 5000, 0}, {2000, 5000, 0});
  text(L"800x400 L=3", {500, 5100, 0}, 0, L"ZEB_风管");
  const cad::ObjectId risers = circle(L"ZEB_风立管", {8000, 0, 0}, 200);
  CAirDuctConv* dlg = open(g_airDuctConvDlg, &ShowAirDuctConv, {pl, labelled, risers});
  CNewListCtrl& list = dlg->rowList;
  dlg->gjName = L"送风管";
  dlg->gjNumber = L"SF1";
  dlg->UpdateData(false);
  dlg->AddRow({pl}, L"ZEB_风管", L"256");
  dlg->AddRow({labelled}, L"ZEB_风管", L"256");
  list.SetItemText(1, linear_ids::kColNumber, kAutoNumber);
  dlg->AddRow({risers}, L"ZEB_风立管", L"256");
  list.SetItemText(2, linear_ids::kColRiser, L"是");
  list.SetItemText(2, linear_ids::kColElev, L"0;3000");
  list.SetItemText(2, linear_ids::kColNumber, kAutoNumber);
  dlg->OnConvert();
  GjSegmentArray ducts = runsOn(L"送风管");
  ASSERT_EQ(ducts.size(), 5u);  // every segment of the polyline, the line and the riser
  int sf1 = 0;
  for (const GjSegment& d : ducts) {
    const StringArray attrs = attrsOf(d.id);
    if (d.number == L"SF1") {
      // A chosen number: the size is the number's row's, no size lines.
      ++sf1;
      EXPECT_EQ(attrs.size(), 2u);
    } else if (d.number == L"800x400") {
      EXPECT_EQ(attrs[attrs.size() - 2], L"B=800");
      EXPECT_EQ(attrs.back(), L"H=400");
    } else {
      EXPECT_EQ(d.number, L"垂直送风管");
      EXPECT_EQ(attrs.back(), L"H=400");
    }
  }
  EXPECT_EQ(sf1, 3);
}

TEST_F(LinearDialogs, DuctRowsMergeOnlyWhenEveryCellIsEqual) {
  const cad::ObjectId a = line(L"ZEB_风管", {0, 0, 0}, {1000, 0, 0});
  const cad::ObjectId b = line(L"ZEB_风管", {0, 1000, 0}, {1000, 1000, 0});
  CAirDuctConv* dlg = open(g_airDuctConvDlg, &ShowAirDuctConv, {a, b});
  CNewListCtrl& list = dlg->rowList;
  dlg->AddRow({a}, L"ZEB_风管", L"256");
  dlg->AddRow({b}, L"ZEB_风管", L"256");
  // Joined without separator both rows would read "送风管A1..." alike.
  list.SetItemText(0, linear_ids::kColName, L"送风管");
  list.SetItemText(0, linear_ids::kColNumber, L"A1");
  list.SetItemText(1, linear_ids::kColName, L"送风管A");
  list.SetItemText(1, linear_ids::kColNumber, L"1");
  dlg->OnConvert();
  ASSERT_EQ(runsOn(L"送风管").size(), 1u);
  EXPECT_EQ(runsOn(L"送风管")[0].number, L"A1");
  EXPECT_EQ(runsOn(L"送风管A").size(), 1u);
}

}  // namespace
