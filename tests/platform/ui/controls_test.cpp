// Controls: their content, their notifications, and popup menus.
#include "ui_fixture.h"

using namespace ui;

namespace {
class ControlsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    host.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 400, 300), nullptr, 0);
  }
  struct Host : LogWnd {
    std::vector<std::pair<int, unsigned>> commands;
    std::vector<std::pair<int, int>> notes;  // id, code
    std::function<LResult(NotifyHeader*)> onNote;
    bool OnCommand(WParam wp, LParam lp) override {
      if (Wnd::OnCommand(wp, lp)) return true;
      commands.emplace_back(int(LoWord(wp)), HiWord(wp));
      return true;
    }
    bool OnNotify(WParam wp, LParam lp, LResult* r) override {
      if (Wnd::OnNotify(wp, lp, r)) return true;
      auto* h = reinterpret_cast<NotifyHeader*>(lp);
      notes.emplace_back(int(h->idFrom), h->code);
      *r = onNote ? onNote(h) : 0;
      return true;
    }
    bool noted(int code) const {
      for (auto& n : notes)
        if (n.second == code) return true;
      return false;
    }
  } host;
};
}  // namespace

TEST_F(ControlsTest, ComboSearchesSortsAndNotifiesLikeAPerson) {
  ComboBox c;
  ASSERT_TRUE(c.Create(ws::Child | ws::Visible | cbs::DropDownList | cbs::Sort, Rect(0, 0, 100, 100), &host, 30));
  for (auto s : {L"排水", L"", L"给水", L"Gas", L"gate"}) c.AddString(s);
  EXPECT_EQ(c.GetLBText(0), L"");  // the empty string sorts first
  // Case-insensitive prefix search after an index, wrapping round.
  int g1 = c.FindString(-1, L"GA");
  EXPECT_EQ(c.GetLBText(g1), L"Gas");
  EXPECT_EQ(c.GetLBText(c.FindString(g1, L"ga")), L"gate");
  EXPECT_EQ(c.FindString(-1, L"zz"), cb::Err);
  EXPECT_EQ(c.FindStringExact(-1, L"给"), cb::Err);
  // The program selecting sends nothing; a person selecting sends the sequence.
  c.SetCurSel(1);
  EXPECT_TRUE(host.commands.empty());
  ASSERT_TRUE(c.userSelect(c.FindStringExact(-1, L"给水")));
  std::vector<unsigned> codes;
  for (auto& [id, code] : host.commands) codes.push_back(code);
  EXPECT_EQ(codes, (std::vector<unsigned>{cbn::DropDown, cbn::SelChange, cbn::SelEndOk, cbn::CloseUp}));
  EXPECT_EQ(c.GetWindowText(), L"给水");
  // Raw messages reach the same content.
  EXPECT_EQ(c.SendMessage(cb::GetCount), 5);
  c.SendMessage(cb::SetItemData, 2, 77);
  EXPECT_EQ(c.GetItemData(2), 77u);
  EXPECT_EQ(c.SendMessage(cb::DeleteString, 9), cb::Err);
}

TEST_F(ControlsTest, DropDownComboHasAnEditFieldWhoseTypingIsReported) {
  ComboBox c;
  c.Create(ws::Child | ws::Visible | cbs::DropDown, Rect(0, 0, 100, 100), &host, 31);
  ASSERT_NE(c.editField(), nullptr);
  EXPECT_EQ(c.editField()->GetDlgCtrlID(), 1001);
  c.SetWindowText(L"程序");  // program text: no notification
  EXPECT_TRUE(host.commands.empty());
  c.userSetText(L"DN25");
  EXPECT_EQ(c.GetWindowText(), L"DN25");
  EXPECT_EQ(host.commands.back(), std::make_pair(31, cbn::EditChange));
}

TEST_F(ControlsTest, ListControlRowsStatesAndNotifications) {
  ListCtrl l;
  l.Create(ws::Child | ws::Visible | lvs::Report | lvs::SingleSel | lvs::EditLabels, Rect(0, 0, 300, 200), &host, 40);
  l.SetExtendedStyle(lvs_ex::GridLines | lvs_ex::FullRowSelect);
  l.InsertColumn(0, L"名称", lvcfmt::Left, 100);
  l.InsertColumn(1, L"数量", lvcfmt::Center, 60);
  EXPECT_EQ(l.GetHeaderCtrl()->GetItemCount(), 2);
  for (int i = 0; i < 3; ++i) {
    int r = l.InsertItem(i, L"行" + std::to_wstring(i));
    l.SetItemText(r, 1, std::to_wstring(i * 10));
    l.SetItemData(r, std::uintptr_t(100 + i));
  }
  EXPECT_FALSE(l.SetItemText(0, 5, L"x"));  // no such column
  EXPECT_EQ(l.SendMessage(lvm::GetItemCount), 3);
  host.notes.clear();
  l.userClick(1, 1);
  EXPECT_EQ(l.GetNextItem(-1, lvni::Selected), 1);
  EXPECT_EQ(l.GetItemState(1, lvis::Focused), lvis::Focused);
  EXPECT_TRUE(host.noted(lvn::ItemChanged));
  EXPECT_EQ(host.notes.back(), std::make_pair(40, nm::Click));
  l.userClick(2);
  EXPECT_EQ(l.GetSelectedCount(), 1u);  // single selection
  // Hit tests by point find the row and column.
  Rect cell;
  ASSERT_TRUE(l.GetSubItemRect(2, 1, lvir::Bounds, cell));
  LvHitTestInfo hit;
  hit.pt = cell.CenterPoint();
  EXPECT_EQ(l.SubItemHitTest(&hit), 2);
  EXPECT_EQ(hit.iSubItem, 1);
  EXPECT_EQ(hit.flags, lvht::OnItemLabel);
  // Deleting keeps the data of the rows that stay.
  EXPECT_TRUE(l.DeleteItem(0));
  EXPECT_EQ(l.GetItemData(0), 101u);
  EXPECT_EQ(l.GetItemText(1, 1), L"20");
}

TEST_F(ControlsTest, ListLabelEditEndsWithTheParentsAnswer) {
  ListCtrl l;
  l.Create(ws::Child | ws::Visible | lvs::Report | lvs::EditLabels, Rect(0, 0, 300, 200), &host, 41);
  l.InsertColumn(0, L"A", lvcfmt::Left, 100);
  l.InsertItem(0, L"old");
  struct Case {
    bool accept;
    bool cancel;
    std::wstring expect;
  } cases[] = {{true, false, L"new"}, {false, false, L"old"}, {true, true, L"old"}};
  for (auto& c : cases) {
    l.SetItemText(0, 0, L"old");
    bool sawNull = false;
    host.onNote = [&](NotifyHeader* h) -> LResult {
      if (h->code == lvn::EndLabelEdit) {
        sawNull = reinterpret_cast<NmLvDispInfo*>(h)->item.pszText == nullptr;
        return c.accept ? 1 : 0;
      }
      return 0;
    };
    Edit* e = l.EditLabel(0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetWindowText(), L"old");
    e->userSetText(L"new");
    sim::key(c.cancel ? vk::Escape : vk::Return, e);
    EXPECT_EQ(l.GetEditControl(), nullptr);
    EXPECT_EQ(l.GetItemText(0, 0), c.expect);
    EXPECT_EQ(sawNull, c.cancel);
  }
  // The parent may refuse to start editing.
  host.onNote = [](NotifyHeader* h) -> LResult { return h->code == lvn::BeginLabelEdit ? 1 : 0; };
  EXPECT_EQ(l.EditLabel(0), nullptr);
}

TEST_F(ControlsTest, ListCustomDrawStagesAndSkipping) {
  struct Colored : ListCtrl {
    std::vector<unsigned> stages;
    bool OnChildNotify(MsgId m, WParam wp, LParam lp, LResult* r) override {
      auto* h = reinterpret_cast<NotifyHeader*>(lp);
      if (m != wm::Notify || h->code != nm::CustomDraw) return ListCtrl::OnChildNotify(m, wp, lp, r);
      auto* cd = reinterpret_cast<NmLvCustomDraw*>(lp);
      stages.push_back(cd->nmcd.dwDrawStage);
      switch (cd->nmcd.dwDrawStage) {
        case cdds::PrePaint: *r = cdrf::NotifyItemDraw; break;
        case cdds::ItemPrePaint: *r = cdrf::NotifySubItemDraw; break;
        case cdds::SubItem | cdds::ItemPrePaint:
          if (cd->iSubItem == 1) {
            cd->clrText = RGB(255, 0, 0);
            *r = cdrf::DoDefault;
          } else {
            *r = cdrf::SkipDefault;  // column 0 is drawn by nobody
          }
          break;
      }
      return true;
    }
  } l;
  l.Create(ws::Child | ws::Visible | lvs::Report, Rect(0, 0, 300, 200), &host, 42);
  l.InsertColumn(0, L"A", lvcfmt::Left, 100);
  l.InsertColumn(1, L"B", lvcfmt::Left, 100);
  l.InsertItem(0, L"a0");
  l.SetItemText(0, 1, L"b0");
  pumpMessages();
  EXPECT_EQ(l.stages, (std::vector<unsigned>{cdds::PrePaint, cdds::ItemPrePaint, cdds::SubItem | cdds::ItemPrePaint,
                                             cdds::SubItem | cdds::ItemPrePaint}));
  const Recording& r = l.paintRecording();
  EXPECT_EQ(r.findText(L"a0"), nullptr);
  ASSERT_NE(r.findText(L"b0"), nullptr);
  EXPECT_EQ(r.findText(L"b0")->textColor, RGB(255, 0, 0));
  EXPECT_FALSE(host.noted(nm::CustomDraw));  // reflected: the parent never saw it
}

TEST_F(ControlsTest, TreeChecksHitTestsAndSelection) {
  TreeCtrl t;
  t.Create(ws::Child | ws::Visible | tvs::CheckBoxes | tvs::HasButtons | tvs::LinesAtRoot, Rect(0, 0, 200, 200), &host, 50);
  HTreeItem a = t.InsertItem(L"A.jpg");
  HTreeItem b = t.InsertItem(L"B.jpg");
  HTreeItem kid = t.InsertItem(L"子", a);
  EXPECT_EQ(t.GetParentItem(kid), a);
  EXPECT_EQ(t.GetParentItem(a), nullptr);
  EXPECT_TRUE(t.ItemHasChildren(a));
  EXPECT_EQ(t.GetNextSiblingItem(a), b);
  EXPECT_EQ(t.GetItemText(nullptr), L"");
  // Clicking the box toggles the check, after NM_CLICK, where the handler can
  // find what was hit from the message position.
  HTreeItem hitAtClick = nullptr;
  unsigned flagsAtClick = 0;
  host.onNote = [&](NotifyHeader* h) -> LResult {
    if (h->code == nm::Click) {
      Point p = GetMessagePos();
      t.ScreenToClient(&p);
      hitAtClick = t.HitTest(p, &flagsAtClick);
    }
    return 0;
  };
  t.userClickCheckBox(b);
  EXPECT_TRUE(t.GetCheck(b));
  EXPECT_EQ(hitAtClick, b);
  EXPECT_EQ(flagsAtClick, tvht::OnItemStateIcon);
  t.userClick(a);
  EXPECT_EQ(t.GetSelectedItem(), a);
  EXPECT_EQ(flagsAtClick, tvht::OnItemLabel);
  EXPECT_TRUE(host.noted(tvn::SelChanged));
  EXPECT_TRUE(t.DeleteItem(a));
  EXPECT_FALSE(t.isValid(kid));
  EXPECT_EQ(t.GetCount(), 1u);
}

TEST_F(ControlsTest, AutoRadioButtonsClearTheirGroup) {
  Button r1, r2, r3;
  r1.Create(L"1", ws::Child | ws::Visible | ws::Group | bs::AutoRadioButton, Rect(0, 0, 40, 10), &host, 1);
  r2.Create(L"2", ws::Child | ws::Visible | bs::AutoRadioButton, Rect(0, 10, 40, 20), &host, 2);
  r3.Create(L"3", ws::Child | ws::Visible | ws::Group | bs::AutoRadioButton, Rect(0, 20, 40, 30), &host, 3);
  r1.userClick();
  r3.userClick();
  r2.userClick();
  EXPECT_EQ(host.GetCheckedRadioButton(1, 2), 2);
  EXPECT_EQ(r1.GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(r3.GetCheck(), BST_CHECKED);  // another group
}

TEST_F(ControlsTest, PopupMenuTakesItsChoiceFromTheQueue) {
  Menu m;
  m.CreatePopupMenu();
  m.AppendMenu(mf::String, 300, L"删除");
  m.AppendMenu(mf::String | mf::Grayed, 301, L"复制");
  m.AppendMenu(mf::String, 302, L"粘贴");
  queue(L".menu", {L"302"});
  EXPECT_EQ(m.TrackPopupMenu(tpm::ReturnCmd, 0, 0, &host), 302);
  queue(L".menu", {L"300"});
  EXPECT_EQ(m.TrackPopupMenu(tpm::LeftAlign, 0, 0, &host), 1);
  pumpMessages();  // the command is posted
  EXPECT_EQ(host.commands.back(), std::make_pair(300, 0u));
  queue(L".menu", {L"301"});  // grayed: dismissed
  EXPECT_EQ(m.TrackPopupMenu(tpm::ReturnCmd, 0, 0, &host), 0);
  queue(L".menu", {L"4294967598"});  // 302 + 2^32: no such item, not 302
  EXPECT_EQ(m.TrackPopupMenu(tpm::ReturnCmd, 0, 0, &host), 0);
  EXPECT_EQ(m.TrackPopupMenu(tpm::ReturnCmd, 0, 0, &host), 0);  // nothing queued
  EXPECT_TRUE(printed(L"no input"));
}
