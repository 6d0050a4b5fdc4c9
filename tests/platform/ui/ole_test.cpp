// Clipboard, drag and drop, registry.
#include <filesystem>
#include <fstream>

#include "ui_fixture.h"

using namespace ui;

namespace {
class OleTest : public UiTest {};

struct Target : DropTarget {
  std::vector<std::wstring> log;
  std::wstring dropped;
  unsigned OnDragEnter(Wnd*, DataObject* d, unsigned, Point p) override {
    log.push_back(L"enter " + std::to_wstring(p.x));
    return d->IsDataAvailable(cf::Text) ? dropeffect::Copy | dropeffect::Move : dropeffect::None;
  }
  unsigned OnDragOver(Wnd*, DataObject*, unsigned, Point p) override {
    log.push_back(L"over " + std::to_wstring(p.x));
    return dropeffect::Copy | dropeffect::Move;
  }
  void OnDragLeave(Wnd*) override { log.push_back(L"leave"); }
  bool OnDrop(Wnd*, DataObject* d, unsigned effect, Point) override {
    dropped = d->text().value_or(L"");
    log.push_back(L"drop " + std::to_wstring(effect));
    return true;
  }
};
}  // namespace

TEST_F(OleTest, ClipboardTextIsOfferedInBothFormats) {
  EXPECT_FALSE(IsClipboardFormatAvailable(cf::Text));
  setClipboardText(L"DN25\t给水\r\n");
  EXPECT_TRUE(IsClipboardFormatAvailable(cf::Text));
  EXPECT_TRUE(IsClipboardFormatAvailable(cf::UnicodeText));
  DataObject d;
  d.AttachClipboard();
  auto bytes = d.GetGlobalData(cf::Text);
  ASSERT_TRUE(bytes);
  // 8-bit text is in the system code page (two bytes per Chinese character).
  EXPECT_EQ(bytes->size(), std::string("DN25\t").size() + 4 + 2 + 1);
  EXPECT_EQ(fromAnsi(bytes->c_str()), L"DN25\t给水\r\n");
  // An 8-bit source reads back as wide text too.
  DataObject src;
  src.CacheGlobalData(cf::Text, toAnsi(L"排水") + '\0');
  src.SetClipboard();
  EXPECT_EQ(clipboardText().value_or(L""), L"排水");
}

TEST_F(OleTest, EditCopiesAndPastesThroughTheClipboard) {
  Wnd top;
  top.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 100, 50), nullptr, 0);
  Edit e;
  e.Create(ws::Child | ws::Visible, Rect(0, 0, 100, 20), &top, 1);
  e.SetWindowText(L"abc给水");
  e.SetSel(3, 5);
  e.Copy();
  EXPECT_EQ(clipboardText().value_or(L""), L"给水");
  e.SetSel(0, 0);
  e.Paste();
  EXPECT_EQ(e.GetWindowText(), L"给水abc给水");
}

TEST_F(OleTest, ScriptedDragAndDropReachesTheTarget) {
  Wnd top;
  top.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 300, 200), nullptr, 0);
  Wnd src, dst;
  src.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(0, 0, 100, 100), &top, 10);
  dst.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(150, 0, 250, 100), &top, 20);
  Target t;
  ASSERT_TRUE(t.Register(&dst));
  DataObject data;
  data.setText(L"三通");
  queue(L".dragto", {L"10", L"5,5"});
  queue(L".dragto", {L"20", L"7,7"});
  queue(L".dragto", {L"20", L"9,9"});
  setKeyDown(vk::Control, true);  // Ctrl: copy
  queue(L".drop");
  EXPECT_EQ(DoDragDrop(data, dropeffect::Copy | dropeffect::Move, &src), dropeffect::Copy);
  setKeyDown(vk::Control, false);
  EXPECT_EQ(t.log, (std::vector<std::wstring>{L"enter 7", L"over 9", L"drop 1"}));
  EXPECT_EQ(t.dropped, L"三通");
  // Escape cancels and the target is left.
  t.log.clear();
  queue(L".dragto", {L"20", L"1,1"});
  queueKind(ed::TokenKind::Escape);
  EXPECT_EQ(DoDragDrop(data, dropeffect::Move, &src), dropeffect::None);
  EXPECT_EQ(t.log, (std::vector<std::wstring>{L"enter 1", L"leave"}));
}

TEST_F(OleTest, RegistryFileAndWheelLines) {
  clearRegistry();
  EXPECT_EQ(wheelScrollLines(), 3u);
  auto file = std::filesystem::path(KIV_BINARY_DIR) / "tests/ui_registry.txt";
  {
    std::ofstream f(file);
    f << "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\nWheelScrollLines=5\n";
  }
  ASSERT_TRUE(loadRegistry(file));
  EXPECT_EQ(wheelScrollLines(), 5u);
  setRegistryValue(hkey::CurrentUser, L"control panel\\desktop", L"wheelscrolllines", L"junk");
  EXPECT_EQ(wheelScrollLines(), 3u);
  EXPECT_TRUE(saveRegistry(file));
  clearRegistry();
  ASSERT_TRUE(loadRegistry(file));
  EXPECT_EQ(registryValue(hkey::CurrentUser, L"Control Panel\\Desktop", L"WheelScrollLines").value_or(L""), L"junk");
  clearRegistry();
}
