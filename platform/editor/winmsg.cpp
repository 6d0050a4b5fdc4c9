#include "platform/editor/winmsg.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <map>
#include <vector>

#include "platform/editor/detail.h"
#include "platform/os/os.h"

namespace ed {

namespace {
struct Hooks {
  std::vector<WatchFn> watches;
  std::vector<FilterFn> filters;
  std::map<int, bool> keys;
};
Hooks& hooks() {
  static Hooks h;
  return h;
}
template <class V, class F>
bool addOnce(V& v, F f) {
  if (!f || std::find(v.begin(), v.end(), f) != v.end()) return false;
  v.push_back(f);
  return true;
}
template <class V, class F>
bool removeOne(V& v, F f) {
  auto it = std::find(v.begin(), v.end(), f);
  if (it == v.end()) return false;
  v.erase(it);
  return true;
}
}  // namespace

bool registerWatchWinMsg(WatchFn fn) { return addOnce(hooks().watches, fn); }
bool removeWatchWinMsg(WatchFn fn) { return removeOne(hooks().watches, fn); }
bool registerFilterWinMsg(FilterFn fn) { return addOnce(hooks().filters, fn); }
bool removeFilterWinMsg(FilterFn fn) { return removeOne(hooks().filters, fn); }

bool dispatchInputMessage(Msg& msg) {
  if (!msg.hwnd) msg.hwnd = drawingViewHandle();
  // Copies: a hook may unregister itself while it runs.
  auto filters = hooks().filters;
  for (FilterFn f : filters)
    if (f(&msg)) return false;
  auto watches = hooks().watches;
  for (WatchFn w : watches) w(&msg);
  return true;
}

short asyncKeyState(int vk) {
  auto it = hooks().keys.find(vk);
  return (it != hooks().keys.end() && it->second) ? short(0x8000) : short(0);
}

void setKeyDown(int vk, bool down) { hooks().keys[vk] = down; }
void resetKeyState() { hooks().keys.clear(); }

}  // namespace ed
namespace ed::detail {
void resetWinMsgHooks() {
  hooks().watches.clear();
  hooks().filters.clear();
  hooks().keys.clear();
}
}  // namespace ed::detail
namespace ed {

int functionKeyNumber(const std::wstring& digits) {
  if (digits.empty()) return -1;
  std::string narrow;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return -1;
    narrow += char(c);
  }
  int k = 0;
  auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), k);
  return ec == std::errc() ? k : std::numeric_limits<int>::max();
}

int virtualKeyFromName(const std::wstring& nameIn) {
  std::wstring n = os::toUpper(nameIn);
  static const std::map<std::wstring, int> named = {
      {L"ESC", kVkEscape},    {L"ESCAPE", kVkEscape}, {L"ENTER", kVkReturn},
      {L"RETURN", kVkReturn}, {L"SPACE", kVkSpace},   {L"SHIFT", kVkShift},
      {L"CTRL", kVkControl},  {L"CONTROL", kVkControl}, {L"ALT", kVkMenu},
      {L"DEL", kVkDelete},    {L"DELETE", kVkDelete}, {L"TAB", kVkTab},
      {L"BACK", kVkBack},     {L"BACKSPACE", kVkBack}, {L"CANCEL", kVkCancel},
      {L"LEFT", 0x25},        {L"UP", 0x26},          {L"RIGHT", 0x27},
      {L"DOWN", 0x28},        {L"HOME", 0x24},        {L"END", 0x23},
      {L"PGUP", 0x21},        {L"PGDN", 0x22},        {L"INSERT", 0x2D},
  };
  auto it = named.find(n);
  if (it != named.end()) return it->second;
  if (n.size() >= 2 && n[0] == L'F') {
    int k = functionKeyNumber(n.substr(1));
    return (k >= 1 && k <= 24) ? kVkF1 + k - 1 : 0;
  }
  if (n.size() == 1 && ((n[0] >= L'A' && n[0] <= L'Z') || (n[0] >= L'0' && n[0] <= L'9')))
    return int(n[0]);
  return 0;
}

void* drawingViewHandle() {
  static int view = 0;
  return &view;
}

}  // namespace ed
