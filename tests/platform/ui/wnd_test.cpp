// Window tree, message routing and order, queue, timers, focus and capture.
#include <algorithm>

#include "ui_fixture.h"

using namespace ui;

namespace {
class WndTest : public UiTest {};

// A parent that records the commands and notifications its children send.
class Parent : public LogWnd {
 public:
  std::vector<std::pair<int, unsigned>> commands;
  bool OnCommand(WParam wp, LParam lp) override {
    if (Wnd::OnCommand(wp, lp)) return true;
    commands.emplace_back(int(LoWord(wp)), HiWord(wp));
    return true;
  }
};

// A button that handles its own click notification (reflection).
class SelfButton : public Button {
 public:
  int own = 0;
  bool OnChildNotify(MsgId m, WParam wp, LParam lp, LResult* r) override {
    if (m == wm::Command && HiWord(wp) == bn::Clicked) {
      ++own;
      return true;
    }
    return Button::OnChildNotify(m, wp, lp, r);
  }
};
}  // namespace

TEST_F(WndTest, CreationSendsCreateSizeMoveAndDestructionTearsDownChildrenFirst) {
  LogWnd top;
  ASSERT_TRUE(top.CreateEx(0, L"Wnd", L"top", ws::Popup | ws::Visible | ws::Caption, Rect(10, 20, 210, 170), nullptr, 0));
  // Creation order as the platform: NcCreate, Create, then Size and Move.
  std::vector<MsgId> start(top.seen.begin(), top.seen.begin() + 4);
  EXPECT_EQ(start, (std::vector<MsgId>{wm::NcCreate, wm::Create, wm::Size, wm::Move}));
  // Caption 20 + frame 3 on each side.
  EXPECT_EQ(top.clientRect(), Rect(0, 0, 194, 124));
  Point p{0, 0};
  top.ClientToScreen(&p);
  EXPECT_EQ(p, Point(13, 43));

  auto* child = new LogWnd;
  ASSERT_TRUE(child->Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(5, 5, 50, 50), &top, 7));
  EXPECT_EQ(top.GetDlgItem(7), child);
  EXPECT_EQ(child->GetParent(), &top);
  Hwnd ch = child->m_hWnd;
  top.DestroyWindow();
  EXPECT_FALSE(IsWindow(ch));
  EXPECT_EQ(top.m_hWnd, nullptr);
  // The child's last messages: Destroy then NcDestroy.
  ASSERT_GE(child->seen.size(), 2u);
  EXPECT_EQ(child->seen[child->seen.size() - 2], wm::Destroy);
  EXPECT_EQ(child->seen.back(), wm::NcDestroy);
  delete child;
}

TEST_F(WndTest, PostedMessagesWaitForThePumpAndInvalidHandlesAreHarmless) {
  LogWnd w;
  w.CreateEx(0, L"Wnd", L"", ws::Popup, Rect(0, 0, 10, 10), nullptr, 0);
  w.PostMessage(wm::User + 5, 1, 2);
  w.PostMessage(wm::User + 6, 3, 4);
  EXPECT_EQ(w.count(wm::User + 5), 0u);
  pumpMessages();
  auto a = std::find(w.seen.begin(), w.seen.end(), wm::User + 5);
  auto b = std::find(w.seen.begin(), w.seen.end(), wm::User + 6);
  ASSERT_NE(a, w.seen.end());
  EXPECT_LT(a, b);
  Hwnd dead = w.m_hWnd;
  w.DestroyWindow();
  EXPECT_FALSE(ui::PostMessage(dead, wm::User, 0, 0));
  EXPECT_EQ(ui::SendMessage(dead, wm::GetTextLength, 0, 0), 0);
  EXPECT_EQ(Wnd::FromHandle(dead), nullptr);
}

TEST_F(WndTest, ControlNotificationsReachTheParentUnlessTheControlReflectsThem) {
  Parent p;
  p.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 200, 100), nullptr, 0);
  Button plain;
  plain.Create(L"A", ws::Child | ws::Visible | bs::PushButton, Rect(0, 0, 50, 20), &p, 11);
  SelfButton self;
  self.Create(L"B", ws::Child | ws::Visible | bs::PushButton, Rect(60, 0, 110, 20), &p, 12);
  sim::click(&plain, Point(5, 5));
  sim::click(&self, Point(5, 5));
  EXPECT_EQ(p.commands, (std::vector<std::pair<int, unsigned>>{{11, bn::Clicked}}));
  EXPECT_EQ(self.own, 1);
  // A disabled button ignores clicks.
  plain.EnableWindow(false);
  EXPECT_FALSE(plain.userClick());
  EXPECT_EQ(p.commands.size(), 1u);
}

TEST_F(WndTest, TimersFireInTimeOrderOnTheVirtualClock) {
  LogWnd a, b;
  a.CreateEx(0, L"Wnd", L"", ws::Popup, Rect(0, 0, 10, 10), nullptr, 0);
  b.CreateEx(0, L"Wnd", L"", ws::Popup, Rect(0, 0, 10, 10), nullptr, 0);
  a.SetTimer(513, 25);
  b.SetTimer(7, 40);
  advanceClock(24);
  EXPECT_TRUE(a.timers.empty());
  advanceClock(76);  // now 100: a at 25, 50, 75, 100; b at 40, 80
  EXPECT_EQ(a.timers.size(), 4u);
  EXPECT_EQ(b.timers.size(), 2u);
  EXPECT_TRUE(a.KillTimer(513));
  advanceClock(100);
  EXPECT_EQ(a.timers.size(), 4u);
  EXPECT_EQ(tickCount(), 200u);
  b.DestroyWindow();  // destroying a window drops its timers
  advanceClock(100);
}

TEST_F(WndTest, FocusAndCaptureChangesAreAnnounced) {
  LogWnd top;
  top.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 100, 100), nullptr, 0);
  LogWnd x, y;
  x.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(0, 0, 10, 10), &top, 1);
  y.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(20, 0, 30, 10), &top, 2);
  x.SetFocus();
  EXPECT_EQ(y.SetFocus(), &x);
  EXPECT_EQ(Wnd::GetFocus(), &y);
  EXPECT_EQ(x.count(wm::KillFocus), 1u);
  EXPECT_EQ(y.count(wm::SetFocus), 1u);
  x.SetCapture();
  y.SetCapture();
  EXPECT_EQ(x.count(wm::CaptureChanged), 1u);
  // While captured, mouse input goes to the capturing window in its coordinates.
  sim::mouseMove(&x, Point(3, 3));
  EXPECT_EQ(y.count(wm::MouseMove), 1u);
  ReleaseCapture();
  EXPECT_EQ(Wnd::GetCapture(), nullptr);
  EXPECT_EQ(y.count(wm::CaptureChanged), 1u);
  // Hiding the focus window takes the focus away.
  y.ShowWindow(sw::Hide);
  EXPECT_EQ(Wnd::GetFocus(), nullptr);
}

TEST_F(WndTest, ScrollBarsChangeTheClientAreaAndClampThePosition) {
  LogWnd w;
  w.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 200, 100), nullptr, 0);
  size_t sizes = w.count(wm::Size);
  ScrollInfo si;
  si.fMask = sif::Range | sif::Page | sif::Pos;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 500;
  EXPECT_EQ(w.SetScrollInfo(sb::Vert, &si), 90);  // clamped to max - page + 1
  EXPECT_TRUE(w.IsScrollBarShown(sb::Vert));
  EXPECT_EQ(w.clientRect().Width(), 200 - GetSystemMetrics(sm::CxVScroll));
  EXPECT_EQ(w.count(wm::Size), sizes + 1);
  // A page holding the whole range needs no bar.
  si.fMask = sif::Page;
  si.nPage = 100;
  w.SetScrollInfo(sb::Vert, &si);
  EXPECT_FALSE(w.IsScrollBarShown(sb::Vert));
  EXPECT_EQ(w.GetScrollPos(sb::Vert), 0);
}

TEST_F(WndTest, ZOrderAndWindowFromPoint) {
  LogWnd top;
  top.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 100, 100), nullptr, 0);
  LogWnd a, b;
  a.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(0, 0, 50, 50), &top, 1);
  b.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(0, 0, 50, 50), &top, 2);
  // Children are created at the bottom: a is above b.
  EXPECT_EQ(WindowFromPoint(Point(10, 10)), a.m_hWnd);
  b.SetWindowPos(HWND_TOP, 0, 0, 0, 0, swp::NoMove | swp::NoSize);
  EXPECT_EQ(WindowFromPoint(Point(10, 10)), b.m_hWnd);
  EXPECT_EQ(top.GetWindow(gw::Child), &b);
  EXPECT_EQ(WindowFromPoint(Point(80, 80)), top.m_hWnd);
}
