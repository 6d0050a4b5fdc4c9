// The clipboard, drag and drop, and the registry file.
#include "platform/ui/ole.h"

#include <algorithm>
#include <fstream>

#include "platform/os/os.h"
#include "platform/ui/detail.h"
#include "platform/ui/dialog.h"

namespace ui {

namespace {
DataObject& clip() {
  static DataObject d;
  return d;
}
bool& clipOpen() {
  static bool o = false;
  return o;
}
std::vector<DropTarget*>& targets() {
  static std::vector<DropTarget*> t;
  return t;
}
int& oleCount() {
  static int n = 0;
  return n;
}
}  // namespace

namespace detail {
void resetClipboard() {
  clip().clear();
  clipOpen() = false;
}
}  // namespace detail

std::string toAnsi(const std::wstring& w) { return os::toCodePage(w); }
std::wstring fromAnsi(const std::string& s) { return os::fromCodePage(s); }

// ---------------------------------------------------------------------------
// Data objects
// ---------------------------------------------------------------------------
void DataObject::setData(unsigned format, std::string bytes) { data_[format] = std::move(bytes); }

void DataObject::setText(const std::wstring& text) {
  std::string a = toAnsi(text);
  a.push_back('\0');
  data_[cf::Text] = a;
  std::string w(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  w.append(sizeof(wchar_t), '\0');
  data_[cf::UnicodeText] = w;
}

bool DataObject::IsDataAvailable(unsigned format) const {
  if (data_.count(format)) return true;
  // Text in one format is offered in the other as well.
  if (format == cf::Text || format == cf::OemText) return data_.count(cf::UnicodeText) != 0;
  if (format == cf::UnicodeText) return data_.count(cf::Text) != 0;
  return false;
}

std::optional<std::string> DataObject::GetGlobalData(unsigned format) const {
  if (auto it = data_.find(format); it != data_.end()) return it->second;
  if ((format == cf::Text || format == cf::OemText) && data_.count(cf::UnicodeText)) {
    std::string a = toAnsi(*text());
    a.push_back('\0');
    return a;
  }
  if (format == cf::UnicodeText && data_.count(cf::Text)) {
    std::wstring w = *text();
    std::string b(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
    b.append(sizeof(wchar_t), '\0');
    return b;
  }
  return std::nullopt;
}

std::optional<std::wstring> DataObject::text() const {
  if (auto it = data_.find(cf::UnicodeText); it != data_.end()) {
    const std::string& b = it->second;
    std::wstring w(b.size() / sizeof(wchar_t), L'\0');
    std::copy_n(b.data(), w.size() * sizeof(wchar_t), reinterpret_cast<char*>(w.data()));
    if (auto z = w.find(L'\0'); z != std::wstring::npos) w.resize(z);
    return w;
  }
  if (auto it = data_.find(cf::Text); it != data_.end()) {
    std::string a = it->second;
    if (auto z = a.find('\0'); z != std::string::npos) a.resize(z);
    return fromAnsi(a);
  }
  return std::nullopt;
}

bool DataObject::AttachClipboard() {
  *this = clip();
  return true;
}
void DataObject::SetClipboard() const { clip() = *this; }

bool OpenClipboard(Wnd*) {
  if (clipOpen()) return false;
  clipOpen() = true;
  return true;
}
bool CloseClipboard() {
  bool was = clipOpen();
  clipOpen() = false;
  return was;
}
bool EmptyClipboard() {
  clip().clear();
  return true;
}
bool IsClipboardFormatAvailable(unsigned format) { return clip().IsDataAvailable(format); }
void setClipboardText(const std::wstring& text) {
  clip().clear();
  clip().setText(text);
}
std::optional<std::wstring> clipboardText() { return clip().text(); }
void clearClipboard() { clip().clear(); }

// ---------------------------------------------------------------------------
// Drag and drop
// ---------------------------------------------------------------------------
DropTarget::~DropTarget() { Revoke(); }

bool DropTarget::Register(Wnd* wnd) {
  if (!wnd || !wnd->m_hWnd) return false;
  Revoke();
  wnd_ = wnd;
  targets().push_back(this);
  return true;
}
void DropTarget::Revoke() {
  auto& t = targets();
  t.erase(std::remove(t.begin(), t.end(), this), t.end());
  wnd_ = nullptr;
}
unsigned DropTarget::OnDragEnter(Wnd*, DataObject*, unsigned, Point) { return dropeffect::None; }
unsigned DropTarget::OnDragOver(Wnd*, DataObject*, unsigned, Point) { return dropeffect::None; }
void DropTarget::OnDragLeave(Wnd*) {}
bool DropTarget::OnDrop(Wnd*, DataObject*, unsigned, Point) { return false; }
unsigned DropTarget::OnDragScroll(Wnd*, unsigned, Point) { return dropeffect::None; }

DropTarget* dropTargetAt(Wnd* wnd) {
  for (Wnd* w = wnd; w; w = (w->GetStyle() & ws::Child) ? w->GetParent() : nullptr)
    for (DropTarget* t : targets())
      if (t->window() == w && w->m_hWnd) return t;
  return nullptr;
}

bool OleInitialize() {
  ++oleCount();
  return true;
}
void OleUninitialize() {
  if (oleCount() > 0) --oleCount();
}
bool oleInitialized() { return oleCount() > 0; }

unsigned DoDragDrop(DataObject& data, unsigned allowed, Wnd* source) {
  Wnd* top = source ? source->GetTopLevelParent() : nullptr;
  if (!top) top = source;
  DropTarget* over = nullptr;
  Wnd* overWnd = nullptr;
  Point overPt;
  unsigned effect = dropeffect::None;
  auto keyState = []() {
    unsigned k = mk::LButton;
    if (GetKeyState(vk::Control) & 0x8000) k |= mk::Control;
    if (GetKeyState(vk::Shift) & 0x8000) k |= mk::Shift;
    return k;
  };
  auto allowedEffect = [&](unsigned e) {
    e &= allowed;
    if ((e & dropeffect::Copy) && (e & dropeffect::Move))
      e = (GetKeyState(vk::Control) & 0x8000) ? dropeffect::Copy : dropeffect::Move;
    return e;
  };
  for (;;) {
    auto t = ed::nextInput();
    if (!t || t->kind == ed::TokenKind::Escape ||
        (t->kind == ed::TokenKind::Directive && t->text != L".dragto" && t->text != L".drop") ||
        (t->kind != ed::TokenKind::Directive)) {
      if (t && t->kind != ed::TokenKind::Escape) ed::inputQueue().pushFront(*t);
      if (over) over->OnDragLeave(overWnd);
      print(L"Drag cancelled");
      return dropeffect::None;
    }
    if (t->text == L".drop") {
      if (!over || effect == dropeffect::None) {
        if (over) over->OnDragLeave(overWnd);
        return dropeffect::None;
      }
      bool ok = over->OnDrop(overWnd, &data, effect, overPt);
      return ok ? effect : dropeffect::None;
    }
    // .dragto ID X,Y (or ID X Y)
    if (t->args.empty()) continue;
    auto id = parseId(t->args[0]);
    Wnd* w = nullptr;
    if (id && top) w = *id == 0 ? top : top->GetDlgItem(*id);
    if (!w) {
      print(L".dragto: no window " + t->args[0]);
      continue;
    }
    Point p;
    std::wstring coords;
    for (size_t i = 1; i < t->args.size(); ++i) coords += (i > 1 ? L"," : L"") + t->args[i];
    size_t comma = coords.find(L',');
    if (comma != std::wstring::npos) {
      p.x = int(parseInteger(coords.substr(0, comma)).value_or(0));
      p.y = int(parseInteger(coords.substr(comma + 1)).value_or(0));
    }
    Point sp = p;
    w->ClientToScreen(&sp);
    SetCursorPos(sp);
    DropTarget* tgt = dropTargetAt(w);
    Wnd* tw = tgt ? tgt->window() : nullptr;
    Point tp = sp;
    if (tw) tw->ScreenToClient(&tp);
    if (tgt != over) {
      if (over) over->OnDragLeave(overWnd);
      over = tgt;
      overWnd = tw;
      effect = over ? allowedEffect(over->OnDragEnter(overWnd, &data, keyState(), tp)) : dropeffect::None;
    } else if (over) {
      over->OnDragScroll(overWnd, keyState(), tp);
      effect = allowedEffect(over->OnDragOver(overWnd, &data, keyState(), tp));
    }
    overPt = tp;
    pumpMessages();
  }
}

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------
namespace {
struct Key {
  std::wstring path;
  std::vector<std::pair<std::wstring, std::wstring>> values;
};
std::vector<Key>& registry() {
  static std::vector<Key> r;
  return r;
}
std::wstring keyPath(const std::wstring& root, const std::wstring& key) {
  std::wstring k = key;
  while (!k.empty() && (k.front() == L'\\' || k.front() == L'/')) k.erase(0, 1);
  return k.empty() ? root : root + L"\\" + k;
}
Key* findKey(const std::wstring& path, bool create) {
  for (auto& k : registry())
    if (detail::iequalsW(k.path, path)) return &k;
  if (!create) return nullptr;
  registry().push_back(Key{path, {}});
  return &registry().back();
}
}  // namespace

bool loadRegistry(const std::filesystem::path& file) {
  std::wstring err;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::wstring text = os::fromUtf8(bytes);
  Key* cur = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find(L'\n', pos);
    std::wstring line = detail::trim(text.substr(pos, nl == std::wstring::npos ? std::wstring::npos : nl - pos));
    pos = nl == std::wstring::npos ? text.size() + 1 : nl + 1;
    if (line.empty() || line[0] == L';' || line[0] == L'#') continue;
    if (line.front() == L'[' && line.back() == L']') {
      cur = findKey(line.substr(1, line.size() - 2), true);
      continue;
    }
    size_t eq = line.find(L'=');
    if (!cur || eq == std::wstring::npos) continue;
    std::wstring name = detail::trim(line.substr(0, eq)), value = detail::trim(line.substr(eq + 1));
    bool found = false;
    for (auto& [n, v] : cur->values)
      if (detail::iequalsW(n, name)) {
        v = value;
        found = true;
      }
    if (!found) cur->values.emplace_back(name, value);
  }
  return true;
}

bool saveRegistry(const std::filesystem::path& file) {
  std::wstring out;
  for (auto& k : registry()) {
    out += L"[" + k.path + L"]\n";
    for (auto& [n, v] : k.values) out += n + L"=" + v + L"\n";
    out += L"\n";
  }
  std::ofstream f(file, std::ios::binary);
  if (!f) return false;
  std::string u = os::toUtf8(out);
  f.write(u.data(), std::streamsize(u.size()));
  return bool(f);
}

void clearRegistry() { registry().clear(); }

std::optional<std::wstring> registryValue(const std::wstring& root, const std::wstring& key, const std::wstring& name) {
  Key* k = findKey(keyPath(root, key), false);
  if (!k) return std::nullopt;
  for (auto& [n, v] : k->values)
    if (detail::iequalsW(n, name)) return v;
  return std::nullopt;
}

void setRegistryValue(const std::wstring& root, const std::wstring& key, const std::wstring& name,
                      const std::wstring& value) {
  Key* k = findKey(keyPath(root, key), true);
  for (auto& [n, v] : k->values)
    if (detail::iequalsW(n, name)) {
      v = value;
      return;
    }
  k->values.emplace_back(name, value);
}

bool registryKeyExists(const std::wstring& root, const std::wstring& key) {
  return findKey(keyPath(root, key), false) != nullptr;
}

unsigned wheelScrollLines() {
  auto v = registryValue(hkey::CurrentUser, L"Control Panel\\Desktop", L"WheelScrollLines");
  if (!v) return 3;
  auto n = parseInteger(*v);
  if (!n || *n < 0) return 3;
  return unsigned(*n);
}

}  // namespace ui
