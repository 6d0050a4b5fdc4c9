#include "fixture.h"

using namespace edtest;
using ed::TokenKind;

namespace {

// A pick loop's watch, as the modules write them: 1 for Enter, Space or the
// right button; 2 while Shift is down; 0 when it is released.
int g_flag = 0;
std::vector<unsigned> g_seen;
void watchPickKeys(const ed::Msg* m) {
  g_seen.push_back(m->message);
  if ((m->message == ed::kWmChar && (m->wParam == 13 || m->wParam == 32)) || m->message == ed::kWmRButtonDown)
    g_flag = 1;
  else if (m->message == ed::kWmKeyDown && m->wParam == ed::kVkShift)
    g_flag = 2;
  else if (m->message == ed::kWmKeyUp && m->wParam == ed::kVkShift)
    g_flag = 0;
}
// Turns a right click into Escape.
bool rightClickAsEscape(ed::Msg* m) {
  if (m->message != ed::kWmRButtonDown) return false;
  m->message = ed::kWmKeyDown;
  m->wParam = ed::kVkEscape;
  return false;
}
// Swallows right clicks.
bool swallowRightClick(ed::Msg* m) { return m->message == ed::kWmRButtonDown; }

class WinMsg : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    g_flag = 0;
    g_seen.clear();
  }
};

TEST_F(WinMsg, EntSelResultsAndWatchFlags) {
  cad::ObjectId line = addLine(0, 0, 100, 0);
  ASSERT_TRUE(ed::registerWatchWinMsg(watchPickKeys));
  EXPECT_FALSE(ed::registerWatchWinMsg(watchPickKeys));  // once only
  struct Case {
    ed::InputToken token;
    int result;
    int flag;
  };
  const Case cases[] = {
      {key(TokenKind::Enter), ed::kError, 1},
      {key(TokenKind::Space), ed::kError, 1},
      {key(TokenKind::RightClick), ed::kError, 1},
      {key(TokenKind::Escape), ed::kCancel, 0},
      {pickAt(50, 300), ed::kError, 0},  // a miss
      {pickAt(50, 1), ed::kNormal, 0},
      {pickHandle(line), ed::kNormal, 0},
  };
  for (const auto& c : cases) {
    g_flag = 0;
    feed({c.token});
    cad::ObjectId id;
    geom::Point3d p;
    EXPECT_EQ(ed::entSel(L"\n选择:", id, p), c.result) << int(c.token.kind);
    EXPECT_EQ(g_flag, c.flag) << int(c.token.kind);
    if (c.result == ed::kNormal) {
      EXPECT_EQ(id, line);
    }
  }
  EXPECT_TRUE(ed::removeWatchWinMsg(watchPickKeys));
  EXPECT_FALSE(ed::removeWatchWinMsg(watchPickKeys));
}

TEST_F(WinMsg, ShiftStateReachesWatchAndKeyState) {
  addLine(0, 0, 100, 0);
  ed::registerWatchWinMsg(watchPickKeys);
  feed({key(TokenKind::ShiftDown), pickAt(10, 0)});
  cad::ObjectId id;
  geom::Point3d p;
  EXPECT_EQ(ed::entSel(L"\n选择:", id, p), ed::kNormal);
  EXPECT_EQ(g_flag, 2);
  EXPECT_NE(ed::asyncKeyState(ed::kVkShift) & 0x8000, 0);
  feed({key(TokenKind::ShiftUp), key(TokenKind::Enter)});
  EXPECT_EQ(ed::entSel(L"\n选择:", id, p), ed::kError);
  EXPECT_EQ(ed::asyncKeyState(ed::kVkShift), 0);
  EXPECT_EQ(ed::asyncKeyState(ed::kVkControl), 0);
}

TEST_F(WinMsg, FiltersRewriteOrSwallowBeforeWatchesSeeIt) {
  ed::registerWatchWinMsg(watchPickKeys);
  ed::registerFilterWinMsg(rightClickAsEscape);
  geom::Point3d p;
  feed({key(TokenKind::RightClick)});
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kCancel);
  ASSERT_FALSE(g_seen.empty());
  EXPECT_EQ(g_seen.back(), ed::kWmKeyDown);  // the watch saw the rewritten message
  EXPECT_EQ(g_flag, 0);

  ed::removeFilterWinMsg(rightClickAsEscape);
  ed::registerFilterWinMsg(swallowRightClick);
  g_seen.clear();
  feed({key(TokenKind::RightClick), point(1, 2)});
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);  // the click never reached the prompt
  EXPECT_EQ(p, geom::Point3d(1, 2, 0));
  for (unsigned m : g_seen) EXPECT_NE(m, ed::kWmRButtonDown);
}

}  // namespace
