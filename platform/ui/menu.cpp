// Popup menus, answered from the input queue.
#include <algorithm>

#include "platform/editor/input.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/detail.h"

namespace ui {

namespace {
std::vector<Menu::Item>& lastMenu() {
  static std::vector<Menu::Item> m;
  return m;
}
}  // namespace

const std::vector<Menu::Item>& lastTrackedMenu() { return lastMenu(); }

Menu::Menu() = default;
Menu::~Menu() = default;

bool Menu::CreatePopupMenu() {
  created_ = true;
  items_.clear();
  return true;
}
bool Menu::CreateMenu() { return CreatePopupMenu(); }
bool Menu::DestroyMenu() {
  created_ = false;
  items_.clear();
  return true;
}

bool Menu::AppendMenu(unsigned flags, std::uintptr_t id, const std::wstring& text) {
  if (!created_) return false;
  Item it{flags, id, text, nullptr};
  if (flags & mf::Popup) {
    it.sub = reinterpret_cast<Menu*>(id);
    it.id = 0;
  }
  items_.push_back(it);
  return true;
}
bool Menu::AppendMenu(unsigned flags, Menu* sub, const std::wstring& text) {
  return AppendMenu(flags | mf::Popup, reinterpret_cast<std::uintptr_t>(sub), text);
}
bool Menu::InsertMenu(unsigned pos, unsigned flags, std::uintptr_t id, const std::wstring& text) {
  if (!created_) return false;
  size_t at = items_.size();
  if (flags & mf::ByPosition) {
    at = pos == unsigned(-1) ? items_.size() : std::min<size_t>(pos, items_.size());
  } else {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].id == pos) at = i;
  }
  Item it{flags & ~mf::ByPosition, id, text, nullptr};
  if (flags & mf::Popup) {
    it.sub = reinterpret_cast<Menu*>(id);
    it.id = 0;
  }
  items_.insert(items_.begin() + std::ptrdiff_t(at), it);
  return true;
}
const Menu::Item* Menu::find(unsigned idOrPos, unsigned flags) const {
  if (flags & mf::ByPosition) return idOrPos < items_.size() ? &items_[idOrPos] : nullptr;
  for (auto& i : items_)
    if (!(i.flags & (mf::Popup | mf::Separator)) && i.id == idOrPos) return &i;
  for (auto& i : items_)
    if (i.sub)
      if (const Item* f = i.sub->find(idOrPos, flags)) return f;
  return nullptr;
}
Menu::Item* Menu::find(unsigned idOrPos, unsigned flags) {
  return const_cast<Item*>(static_cast<const Menu*>(this)->find(idOrPos, flags));
}
bool Menu::RemoveMenu(unsigned pos, unsigned flags) {
  const Item* it = find(pos, flags);
  if (!it) return false;
  for (size_t i = 0; i < items_.size(); ++i)
    if (&items_[i] == it) {
      items_.erase(items_.begin() + std::ptrdiff_t(i));
      return true;
    }
  return false;
}
int Menu::EnableMenuItem(unsigned idOrPos, unsigned flags) {
  Item* it = find(idOrPos, flags);
  if (!it) return -1;
  int old = int(it->flags & (mf::Grayed | mf::Disabled));
  it->flags = (it->flags & ~(mf::Grayed | mf::Disabled)) | (flags & (mf::Grayed | mf::Disabled));
  return old;
}
int Menu::CheckMenuItem(unsigned idOrPos, unsigned flags) {
  Item* it = find(idOrPos, flags);
  if (!it) return -1;
  int old = int(it->flags & mf::Checked);
  it->flags = (it->flags & ~mf::Checked) | (flags & mf::Checked);
  return old;
}
unsigned Menu::GetMenuState(unsigned idOrPos, unsigned flags) const {
  const Item* it = find(idOrPos, flags);
  return it ? it->flags : unsigned(-1);
}
unsigned Menu::GetMenuItemID(int pos) const {
  if (pos < 0 || pos >= int(items_.size())) return unsigned(-1);
  const Item& it = items_[size_t(pos)];
  if (it.flags & mf::Popup) return unsigned(-1);
  return unsigned(it.id);
}
std::wstring Menu::GetMenuString(unsigned idOrPos, unsigned flags) const {
  const Item* it = find(idOrPos, flags);
  return it ? it->text : std::wstring();
}
Menu* Menu::GetSubMenu(int pos) const {
  return pos >= 0 && pos < int(items_.size()) ? items_[size_t(pos)].sub : nullptr;
}

int Menu::TrackPopupMenu(unsigned flags, int, int, Wnd* owner, const Rect*) {
  if (!created_) return 0;
  lastMenu() = items_;
  if (owner && !(flags & tpm::NoNotify)) owner->SendMessage(wm::InitMenuPopup, 0, 0);
  auto t = ed::nextInput();
  if (!t) {
    print(L"Menu dismissed: no input");
    return 0;
  }
  if (t->kind == ed::TokenKind::Escape) return 0;
  if (t->kind != ed::TokenKind::Directive || t->text != L".menu" || t->args.empty()) {
    ed::inputQueue().pushFront(*t);  // not ours: leave it for the next reader
    print(L"Menu dismissed: no .menu answer");
    return 0;
  }
  std::wstring arg = t->args[0];
  unsigned id = 0;
  if (auto n = parseId(arg); n && *n >= 0) {
    id = unsigned(*n);
  } else if (!parseInteger(arg)) {
    // A label chooses the item with that text.
    for (auto& it : items_)
      if (detail::iequalsW(it.text, arg) && !(it.flags & (mf::Popup | mf::Separator))) id = unsigned(it.id);
  }
  const Item* it = find(id, mf::ByCommand);
  if (!it || (it->flags & (mf::Grayed | mf::Disabled | mf::Separator))) {
    print(L"Menu item " + arg + L" is not available");
    return 0;
  }
  // The choice arrives as a posted command, handled when the queue is pumped.
  if (owner && !(flags & tpm::NoNotify) && !(flags & tpm::ReturnCmd))
    owner->PostMessage(wm::Command, MakeWParam(id, 0), 0);
  return (flags & tpm::ReturnCmd) ? int(id) : 1;
}

}  // namespace ui
