// The text format of dialog templates, strings and bitmaps.
#include "platform/ui/resources.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/os/os.h"
#include "platform/ui/controls.h"
#include "platform/ui/detail.h"

namespace ui {

const ControlTemplate* DialogTemplate::control(int cid) const {
  for (auto& c : controls)
    if (c.id == cid) return &c;
  return nullptr;
}

namespace {

struct Token {
  std::wstring text;
  bool quoted = false;
};

// Splits a line into words and quoted strings ("..." with \" \\ \n \t).
bool tokenize(const std::wstring& line, std::vector<Token>& out, std::wstring& error) {
  size_t i = 0;
  while (i < line.size()) {
    wchar_t c = line[i];
    if (c == L' ' || c == L'\t' || c == L'\r') {
      ++i;
      continue;
    }
    if (c == L'#') break;
    if (c == L'"') {
      std::wstring s;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        wchar_t d = line[i++];
        if (d == L'"') {
          closed = true;
          break;
        }
        if (d == L'\\' && i < line.size()) {
          wchar_t e = line[i++];
          s += e == L'n' ? L'\n' : e == L't' ? L'\t' : e;
          continue;
        }
        s += d;
      }
      if (!closed) {
        error = L"unclosed quote";
        return false;
      }
      out.push_back({s, true});
      continue;
    }
    std::wstring w;
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t' && line[i] != L'\r') w += line[i++];
    out.push_back({w, false});
  }
  return true;
}

std::optional<long long> number(const std::wstring& s) {
  if (s.empty()) return std::nullopt;
  try {
    size_t used = 0;
    long long v = std::stoll(s, &used, 0);
    if (used != s.size()) return std::nullopt;
    return v;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<int> controlId(const std::wstring& s) {
  if (detail::iequalsW(s, L"IDOK")) return IDOK;
  if (detail::iequalsW(s, L"IDCANCEL")) return IDCANCEL;
  if (detail::iequalsW(s, L"IDC_STATIC")) return IDC_STATIC;
  if (auto v = number(s)) return int(*v);
  return std::nullopt;
}

struct Named {
  const wchar_t* name;
  unsigned value;
};

std::wstring canonicalClass(const std::wstring& cls) {
  static const std::wstring known[] = {class_name::Static,   class_name::Edit,     class_name::Button,
                                       class_name::ComboBox, class_name::ListBox,  class_name::ListView,
                                       class_name::TreeView, class_name::TabControl, class_name::Progress,
                                       class_name::ScrollBar};
  for (auto& k : known)
    if (detail::iequalsW(k, cls)) return k;
  return cls;
}

}  // namespace

std::optional<unsigned> templateStyleValue(const std::wstring& className, const std::wstring& nameIn, bool* ex) {
  std::wstring name = os::toUpper(nameIn);
  if (ex) *ex = false;
  if (auto v = number(nameIn)) return unsigned(*v);
  static const Named edit[] = {{L"LEFT", es::Left}, {L"CENTER", es::Center}, {L"RIGHT", es::Right},
                               {L"MULTILINE", es::Multiline}, {L"UPPERCASE", es::Uppercase},
                               {L"LOWERCASE", es::Lowercase}, {L"PASSWORD", es::Password},
                               {L"AUTOVSCROLL", es::AutoVScroll}, {L"AUTOHSCROLL", es::AutoHScroll},
                               {L"NOHIDESEL", es::NoHideSel}, {L"READONLY", es::ReadOnly},
                               {L"WANTRETURN", es::WantReturn}, {L"NUMBER", es::Number}};
  static const Named button[] = {{L"PUSHBUTTON", bs::PushButton}, {L"DEFPUSHBUTTON", bs::DefPushButton},
                                 {L"CHECKBOX", bs::CheckBox}, {L"AUTOCHECKBOX", bs::AutoCheckBox},
                                 {L"RADIOBUTTON", bs::RadioButton}, {L"3STATE", bs::ThreeState},
                                 {L"AUTO3STATE", bs::Auto3State}, {L"GROUPBOX", bs::GroupBox},
                                 {L"AUTORADIOBUTTON", bs::AutoRadioButton}, {L"OWNERDRAW", bs::OwnerDraw},
                                 {L"BITMAP", bs::Bitmap}, {L"ICON", bs::Icon}, {L"LEFTTEXT", bs::LeftText},
                                 {L"PUSHLIKE", bs::PushLike}, {L"MULTILINE", bs::Multiline},
                                 {L"NOTIFY", bs::Notify}, {L"FLAT", bs::Flat}, {L"CENTER", bs::Center}};
  static const Named stat[] = {{L"LEFT", ss::Left}, {L"CENTER", ss::Center}, {L"RIGHT", ss::Right},
                               {L"ICON", ss::Icon}, {L"BLACKRECT", ss::BlackRect}, {L"GRAYRECT", ss::GrayRect},
                               {L"WHITERECT", ss::WhiteRect}, {L"BLACKFRAME", ss::BlackFrame},
                               {L"GRAYFRAME", ss::GrayFrame}, {L"WHITEFRAME", ss::WhiteFrame},
                               {L"SIMPLE", ss::Simple}, {L"OWNERDRAW", ss::OwnerDraw}, {L"BITMAP", ss::Bitmap},
                               {L"ETCHEDHORZ", ss::EtchedHorz}, {L"ETCHEDVERT", ss::EtchedVert},
                               {L"ETCHEDFRAME", ss::EtchedFrame}, {L"NOPREFIX", ss::NoPrefix},
                               {L"NOTIFY", ss::Notify}, {L"CENTERIMAGE", ss::CenterImage}, {L"SUNKEN", ss::Sunken}};
  static const Named combo[] = {{L"SIMPLE", cbs::Simple}, {L"DROPDOWN", cbs::DropDown},
                                {L"DROPDOWNLIST", cbs::DropDownList}, {L"OWNERDRAWFIXED", cbs::OwnerDrawFixed},
                                {L"OWNERDRAWVARIABLE", cbs::OwnerDrawVariable}, {L"AUTOHSCROLL", cbs::AutoHScroll},
                                {L"SORT", cbs::Sort}, {L"HASSTRINGS", cbs::HasStrings},
                                {L"NOINTEGRALHEIGHT", cbs::NoIntegralHeight}, {L"DISABLENOSCROLL", cbs::DisableNoScroll},
                                {L"UPPERCASE", cbs::Uppercase}, {L"LOWERCASE", cbs::Lowercase}};
  static const Named list[] = {{L"NOTIFY", lbs::Notify}, {L"SORT", lbs::Sort}, {L"MULTIPLESEL", lbs::MultipleSel},
                               {L"OWNERDRAWFIXED", lbs::OwnerDrawFixed}, {L"OWNERDRAWVARIABLE", lbs::OwnerDrawVariable},
                               {L"HASSTRINGS", lbs::HasStrings}, {L"USETABSTOPS", lbs::UseTabStops},
                               {L"NOINTEGRALHEIGHT", lbs::NoIntegralHeight}, {L"EXTENDEDSEL", lbs::ExtendedSel},
                               {L"DISABLENOSCROLL", lbs::DisableNoScroll}, {L"STANDARD", lbs::Standard}};
  static const Named lv[] = {{L"ICON", lvs::Icon}, {L"REPORT", lvs::Report}, {L"SMALLICON", lvs::SmallIcon},
                             {L"LIST", lvs::List}, {L"SINGLESEL", lvs::SingleSel}, {L"SHOWSELALWAYS", lvs::ShowSelAlways},
                             {L"SORTASCENDING", lvs::SortAscending}, {L"SORTDESCENDING", lvs::SortDescending},
                             {L"SHAREIMAGELISTS", lvs::ShareImageLists}, {L"NOLABELWRAP", lvs::NoLabelWrap},
                             {L"AUTOARRANGE", lvs::AutoArrange}, {L"EDITLABELS", lvs::EditLabels},
                             {L"OWNERDATA", lvs::OwnerData}, {L"NOSCROLL", lvs::NoScroll},
                             {L"OWNERDRAWFIXED", lvs::OwnerDrawFixed}, {L"NOCOLUMNHEADER", lvs::NoColumnHeader},
                             {L"NOSORTHEADER", lvs::NoSortHeader}};
  static const Named tv[] = {{L"HASBUTTONS", tvs::HasButtons}, {L"HASLINES", tvs::HasLines},
                             {L"LINESATROOT", tvs::LinesAtRoot}, {L"EDITLABELS", tvs::EditLabels},
                             {L"DISABLEDRAGDROP", tvs::DisableDragDrop}, {L"SHOWSELALWAYS", tvs::ShowSelAlways},
                             {L"CHECKBOXES", tvs::CheckBoxes}, {L"TRACKSELECT", tvs::TrackSelect},
                             {L"SINGLEEXPAND", tvs::SingleExpand}, {L"FULLROWSELECT", tvs::FullRowSelect}};
  static const Named prog[] = {{L"SMOOTH", pbs::Smooth}, {L"VERTICAL", pbs::Vertical}};
  static const Named sbar[] = {{L"HORZ", sbs::Horz}, {L"VERT", sbs::Vert}};
  static const Named tab[] = {{L"BUTTONS", tcs::Buttons}, {L"MULTILINE", tcs::MultiLine}, {L"FIXEDWIDTH", tcs::FixedWidth}};
  static const Named general[] = {{L"POPUP", ws::Popup}, {L"CHILD", ws::Child}, {L"VISIBLE", ws::Visible},
                                  {L"DISABLED", ws::Disabled}, {L"CAPTION", ws::Caption}, {L"BORDER", ws::Border},
                                  {L"DLGFRAME", ws::DlgFrame}, {L"SYSMENU", ws::SysMenu},
                                  {L"THICKFRAME", ws::ThickFrame}, {L"VSCROLL", ws::VScroll},
                                  {L"HSCROLL", ws::HScroll}, {L"GROUP", ws::Group}, {L"TABSTOP", ws::TabStop},
                                  {L"CLIPCHILDREN", ws::ClipChildren}, {L"CLIPSIBLINGS", ws::ClipSiblings},
                                  {L"MODALFRAME", ds::ModalFrame}, {L"SETFONT", ds::SetFont},
                                  {L"CENTER", ds::Center}, {L"SETFOREGROUND", ds::SetForeground},
                                  {L"CONTROL", ds::Control}};
  static const Named exs[] = {{L"CLIENTEDGE", ws_ex::ClientEdge}, {L"STATICEDGE", ws_ex::StaticEdge},
                              {L"TOOLWINDOW", ws_ex::ToolWindow}, {L"TOPMOST", ws_ex::Topmost},
                              {L"TRANSPARENT", ws_ex::Transparent}, {L"WINDOWEDGE", ws_ex::WindowEdge},
                              {L"ACCEPTFILES", ws_ex::AcceptFiles}, {L"CONTROLPARENT", ws_ex::ControlParent}};
  auto look = [&](const Named* b, size_t n) -> std::optional<unsigned> {
    for (size_t i = 0; i < n; ++i)
      if (name == b[i].name) return b[i].value;
    return std::nullopt;
  };
  std::wstring cls = canonicalClass(className);
  std::optional<unsigned> v;
#define KIV_LOOK(arr) v = look(arr, std::size(arr))
  if (cls == class_name::Edit) KIV_LOOK(edit);
  else if (cls == class_name::Button) KIV_LOOK(button);
  else if (cls == class_name::Static) KIV_LOOK(stat);
  else if (cls == class_name::ComboBox) KIV_LOOK(combo);
  else if (cls == class_name::ListBox) KIV_LOOK(list);
  else if (cls == class_name::ListView) KIV_LOOK(lv);
  else if (cls == class_name::TreeView) KIV_LOOK(tv);
  else if (cls == class_name::Progress) KIV_LOOK(prog);
  else if (cls == class_name::ScrollBar) KIV_LOOK(sbar);
  else if (cls == class_name::TabControl) KIV_LOOK(tab);
  if (v) return v;
  KIV_LOOK(general);
  if (v) return v;
#undef KIV_LOOK
  v = look(exs, std::size(exs));
  if (v && ex) *ex = true;
  return v;
}

bool Resources::loadFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    errors_.push_back(os::fromUtf8(folder.string()) + L": not a folder");
    return false;
  }
  std::vector<std::filesystem::path> files;
  for (auto& e : std::filesystem::directory_iterator(folder, ec)) {
    std::string n = e.path().filename().string();
    if (e.is_regular_file() && n.size() > 7 && n.substr(n.size() - 7) == ".rc.txt") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  bool ok = true;
  for (auto& f : files) ok = loadFile(f) && ok;
  return ok;
}

bool Resources::loadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    errors_.push_back(os::fromUtf8(file.string()) + L": cannot be read");
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  return loadText(ss.str(), file);
}

bool Resources::loadText(const std::string& utf8, const std::filesystem::path& origin) {
  std::wstring text = os::fromUtf8(utf8);
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  std::wstring originW = os::fromUtf8(origin.string());
  std::filesystem::path base = origin.has_parent_path() ? origin.parent_path() : std::filesystem::path(".");
  size_t before = errors_.size();
  std::optional<DialogTemplate> dlg;
  ControlTemplate* lastControl = nullptr;
  std::wistringstream lines(text);
  std::wstring line;
  int lineNo = 0;
  auto fail = [&](const std::wstring& why) {
    errors_.push_back(originW + L":" + std::to_wstring(lineNo) + L": " + why);
  };
  while (std::getline(lines, line)) {
    ++lineNo;
    std::vector<Token> t;
    std::wstring err;
    if (!tokenize(line, t, err)) {
      fail(err);
      continue;
    }
    if (t.empty()) continue;
    std::wstring kw = os::toUpper(t[0].text);
    if (kw == L"DIALOG") {
      if (dlg) fail(L"DIALOG inside a dialog (missing END)");
      if (t.size() != 6) {
        fail(L"DIALOG needs: id x y width height");
        dlg.reset();
        continue;
      }
      auto id = number(t[1].text);
      auto x = number(t[2].text), y = number(t[3].text), w = number(t[4].text), h = number(t[5].text);
      if (!id || !x || !y || !w || !h || *id <= 0) {
        fail(L"DIALOG numbers are not valid");
        dlg.reset();
        continue;
      }
      dlg = DialogTemplate{};
      dlg->id = unsigned(*id);
      dlg->rect = Rect(int(*x), int(*y), int(*x + *w), int(*y + *h));
      dlg->file = originW;
      lastControl = nullptr;
      continue;
    }
    if (kw == L"STRING") {
      if (t.size() != 3 || !number(t[1].text) || !t[2].quoted) {
        fail(L"STRING needs: id \"text\"");
        continue;
      }
      strings_[unsigned(*number(t[1].text))] = t[2].text;
      continue;
    }
    if (kw == L"BITMAP") {
      if (t.size() != 3 || !number(t[1].text)) {
        fail(L"BITMAP needs: id \"path\"");
        continue;
      }
      std::filesystem::path p = os::nativePath(t[2].text);
      if (p.is_relative()) p = base / p;
      bitmaps_[unsigned(*number(t[1].text))] = os::fromUtf8(p.string());
      continue;
    }
    if (!dlg) {
      fail(L"unknown line outside a dialog: " + t[0].text);
      continue;
    }
    if (kw == L"END") {
      dialogs_[dlg->id] = *dlg;
      dlg.reset();
      lastControl = nullptr;
    } else if (kw == L"CAPTION") {
      if (t.size() != 2 || !t[1].quoted) fail(L"CAPTION needs: \"text\"");
      else dlg->caption = t[1].text;
    } else if (kw == L"FONT") {
      if (t.size() != 3 || !number(t[1].text)) fail(L"FONT needs: points \"face\"");
      else {
        dlg->fontPoints = int(*number(t[1].text));
        dlg->fontFace = t[2].text;
      }
    } else if (kw == L"STYLE" || kw == L"EXSTYLE") {
      unsigned style = 0, exStyle = 0;
      bool ok = true;
      for (size_t i = 1; i < t.size(); ++i) {
        bool isEx = false;
        auto v = templateStyleValue(class_name::Dialog, t[i].text, &isEx);
        if (!v) {
          fail(L"unknown style " + t[i].text);
          ok = false;
          continue;
        }
        (isEx || kw == L"EXSTYLE" ? exStyle : style) |= *v;
      }
      if (ok || style || exStyle) {
        dlg->style = style ? style : dlg->style;
        dlg->exStyle |= exStyle;
      }
    } else if (kw == L"CONTROL") {
      if (t.size() < 8 || !t[3].quoted) {
        fail(L"CONTROL needs: id class \"text\" x y width height [styles]");
        continue;
      }
      auto id = controlId(t[1].text);
      auto x = number(t[4].text), y = number(t[5].text), w = number(t[6].text), h = number(t[7].text);
      if (!id || !x || !y || !w || !h) {
        fail(L"CONTROL numbers are not valid");
        continue;
      }
      ControlTemplate c;
      c.id = *id;
      c.className = canonicalClass(t[2].text);
      c.text = t[3].text;
      c.rect = Rect(int(*x), int(*y), int(*x + *w), int(*y + *h));
      c.line = lineNo;
      for (size_t i = 8; i < t.size(); ++i) {
        if (os::toUpper(t[i].text) == L"HIDDEN") {
          c.hidden = true;
          continue;
        }
        bool isEx = false;
        auto v = templateStyleValue(c.className, t[i].text, &isEx);
        if (!v) {
          fail(L"unknown style " + t[i].text + L" for " + c.className);
          continue;
        }
        (isEx ? c.exStyle : c.style) |= *v;
      }
      dlg->controls.push_back(c);
      lastControl = &dlg->controls.back();
    } else if (kw == L"ITEMS") {
      if (!lastControl) {
        fail(L"ITEMS without a control before it");
        continue;
      }
      for (size_t i = 1; i < t.size(); ++i) lastControl->items.push_back(t[i].text);
    } else {
      fail(L"unknown keyword " + t[0].text);
    }
  }
  if (dlg) {
    fail(L"DIALOG " + std::to_wstring(dlg->id) + L" has no END");
    dialogs_[dlg->id] = *dlg;
  }
  return errors_.size() == before;
}

const DialogTemplate* Resources::dialog(unsigned id) const {
  auto it = dialogs_.find(id);
  return it == dialogs_.end() ? nullptr : &it->second;
}
std::optional<std::wstring> Resources::string(unsigned id) const {
  auto it = strings_.find(id);
  if (it == strings_.end()) return std::nullopt;
  return it->second;
}
std::optional<std::wstring> Resources::bitmapPath(unsigned id) const {
  auto it = bitmaps_.find(id);
  if (it == bitmaps_.end()) return std::nullopt;
  return it->second;
}
void Resources::addDialog(DialogTemplate t) { dialogs_[t.id] = std::move(t); }
void Resources::addString(unsigned id, std::wstring text) { strings_[id] = std::move(text); }
void Resources::addBitmap(unsigned id, std::wstring path) { bitmaps_[id] = std::move(path); }
std::vector<unsigned> Resources::dialogIds() const {
  std::vector<unsigned> out;
  for (auto& [k, v] : dialogs_) out.push_back(k);
  return out;
}
void Resources::clear() {
  dialogs_.clear();
  strings_.clear();
  bitmaps_.clear();
  errors_.clear();
}

namespace {
std::vector<const Resources*>& stack() {
  static std::vector<const Resources*> s;
  return s;
}
}  // namespace

Resources& baseResources() {
  static Resources r;
  return r;
}
void pushResources(const Resources* r) { stack().push_back(r); }
void popResources() {
  if (!stack().empty()) stack().pop_back();
}
int resourceDepth() { return int(stack().size()); }
const Resources* currentResources() { return stack().empty() ? &baseResources() : stack().back(); }

const DialogTemplate* findDialogTemplate(unsigned id) {
  for (auto it = stack().rbegin(); it != stack().rend(); ++it)
    if (*it)
      if (auto* d = (*it)->dialog(id)) return d;
  return baseResources().dialog(id);
}
std::optional<std::wstring> findBitmapPath(unsigned id) {
  for (auto it = stack().rbegin(); it != stack().rend(); ++it)
    if (*it)
      if (auto p = (*it)->bitmapPath(id)) return p;
  return baseResources().bitmapPath(id);
}
bool LoadString(unsigned id, std::wstring& out) {
  for (auto it = stack().rbegin(); it != stack().rend(); ++it)
    if (*it)
      if (auto s = (*it)->string(id)) {
        out = *s;
        return true;
      }
  if (auto s = baseResources().string(id)) {
    out = *s;
    return true;
  }
  return false;
}
std::wstring LoadString(unsigned id) {
  std::wstring s;
  LoadString(id, s);
  return s;
}

}  // namespace ui
