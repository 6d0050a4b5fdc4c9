// Dialogs built from templates, data exchange and the scripted answers.
#include "platform/ui/dialog.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <functional>
#include <limits>

#include "platform/os/os.h"
#include "platform/ui/detail.h"

namespace ui {

namespace {

struct DataExchangeFailure {};

std::vector<Dialog*>& modalStack() {
  static std::vector<Dialog*> s;
  return s;
}
// Modeless dialogs in the order they were last shown (most recent first).
std::vector<Dialog*>& modeless() {
  static std::vector<Dialog*> s;
  return s;
}

void forgetModeless(Dialog* d) {
  auto& m = modeless();
  m.erase(std::remove(m.begin(), m.end(), d), m.end());
}

std::wstring joinArgs(const std::vector<std::wstring>& a, size_t from) {
  std::wstring s;
  for (size_t i = from; i < a.size(); ++i) {
    if (i > from) s += L' ';
    s += a[i];
  }
  return s;
}

// A tree item by its text, or by a path of texts separated by '/' or '\'.
HTreeItem findTreeItem(TreeCtrl& t, const std::wstring& spec) {
  std::vector<std::wstring> parts;
  std::wstring cur;
  for (wchar_t c : spec) {
    if (c == L'/' || c == L'\\') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  if (parts.size() > 1) {
    HTreeItem level = nullptr;
    for (auto& p : parts) {
      HTreeItem c = t.GetChildItem(level);
      while (c && t.GetItemText(c) != p) c = t.GetNextSiblingItem(c);
      if (!c) return nullptr;
      level = c;
    }
    return level;
  }
  std::function<HTreeItem(HTreeItem)> walk = [&](HTreeItem first) -> HTreeItem {
    for (HTreeItem c = first; c; c = t.GetNextSiblingItem(c)) {
      if (t.GetItemText(c) == spec) return c;
      if (HTreeItem f = walk(t.GetChildItem(c))) return f;
    }
    return nullptr;
  };
  return walk(t.GetRootItem());
}

// An item of a list by exact text first, then "#N" or N as an index.
int pickIndex(const std::wstring& spec, int count, const std::function<std::wstring(int)>& textOf) {
  for (int i = 0; i < count; ++i)
    if (textOf(i) == spec) return i;
  std::wstring s = spec;
  if (!s.empty() && s[0] == L'#') s.erase(0, 1);
  auto n = parseInteger(s);
  if (n && *n >= 0 && *n < count) return int(*n);
  return -1;
}

}  // namespace

namespace detail {
void pushModal(Dialog* d) { modalStack().push_back(d); }
void popModal(Dialog* d) {
  auto& s = modalStack();
  s.erase(std::remove(s.begin(), s.end(), d), s.end());
}
void resetDialogs() {
  modalStack().clear();
  modeless().clear();
}
}  // namespace detail

// ---------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------
std::wstring formatDouble(double v) {
  if (std::isnan(v)) return L"nan";
  // Fifteen significant digits, as the host's data exchange shows a double:
  // 3000 reads "3000", 0.1 reads "0.1"; more digits only when needed to read
  // back the same value.
  wchar_t buf[64];
  std::swprintf(buf, 64, L"%.15g", v);
  if (std::wcstod(buf, nullptr) != v) std::swprintf(buf, 64, L"%.17g", v);
  return buf;
}

std::optional<double> parseDouble(std::wstring_view s) {
  std::wstring t = detail::trim(s);
  if (t.empty()) return std::nullopt;
  wchar_t* end = nullptr;
  double v = std::wcstod(t.c_str(), &end);
  if (!end || *end != 0 || std::isnan(v) || std::isinf(v)) return std::nullopt;
  return v;
}

std::optional<long long> parseInteger(std::wstring_view s) {
  std::wstring t = detail::trim(s);
  if (t.empty()) return std::nullopt;
  size_t i = (t[0] == L'-' || t[0] == L'+') ? 1 : 0;
  if (i >= t.size()) return std::nullopt;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < L'0' || t[k] > L'9') return std::nullopt;
  if (t.size() - i > 18) return std::nullopt;
  return std::stoll(t);
}

std::optional<int> parseId(std::wstring_view s) {
  auto v = parseInteger(s);
  if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return std::nullopt;
  return int(*v);
}

// ---------------------------------------------------------------------------
// Data exchange
// ---------------------------------------------------------------------------
Wnd* DataExchange::PrepareCtrl(int id) {
  lastId_ = id;
  return m_pDlgWnd ? m_pDlgWnd->GetDlgItem(id) : nullptr;
}

void DataExchange::Fail() {
  if (m_pDlgWnd)
    if (Wnd* c = m_pDlgWnd->GetDlgItem(lastId_)) {
      c->SetFocus();
      if (auto* e = dynamic_cast<Edit*>(c)) e->SetSel(0, -1);
    }
  throw DataExchangeFailure{};
}

namespace {
void failWith(DataExchange* dx, const std::wstring& message) {
  MessageBox(dx->m_pDlgWnd, message, L"", mb::Ok | mb::IconWarning);
  dx->Fail();
}

template <class T>
void ddxInteger(DataExchange* dx, int id, T& value, long long lo, long long hi) {
  Wnd* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    auto v = parseInteger(c->GetWindowText());
    if (!v || *v < lo || *v > hi) failWith(dx, kMsgEnterInteger);
    value = T(*v);
  } else {
    c->SetWindowText(std::to_wstring(value));
  }
}
}  // namespace

void DDX_Text(DataExchange* dx, int id, std::wstring& value) {
  Wnd* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (dx->m_bSaveAndValidate)
    value = c->GetWindowText();
  else
    c->SetWindowText(value);
}
void DDX_Text(DataExchange* dx, int id, int& v) { ddxInteger(dx, id, v, -2147483648LL, 2147483647LL); }
void DDX_Text(DataExchange* dx, int id, unsigned& v) { ddxInteger(dx, id, v, 0, 4294967295LL); }
void DDX_Text(DataExchange* dx, int id, long& v) { ddxInteger(dx, id, v, -2147483648LL, 2147483647LL); }
void DDX_Text(DataExchange* dx, int id, double& value) {
  Wnd* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    auto v = parseDouble(c->GetWindowText());
    if (!v) failWith(dx, kMsgEnterNumber);
    value = *v;
  } else {
    c->SetWindowText(formatDouble(value));
  }
}
void DDX_Text(DataExchange* dx, int id, float& value) {
  double d = value;
  DDX_Text(dx, id, d);
  if (dx->m_bSaveAndValidate) value = float(d);
}
void DDX_Check(DataExchange* dx, int id, int& value) {
  Wnd* c = dx->PrepareCtrl(id);
  if (!c) return;
  if (dx->m_bSaveAndValidate)
    value = int(c->SendMessage(bm::GetCheck));
  else
    c->SendMessage(bm::SetCheck, WParam(value));
}
void DDX_Radio(DataExchange* dx, int id, int& value) {
  Wnd* first = dx->PrepareCtrl(id);
  if (!first || !dx->m_pDlgWnd) return;
  auto kids = dx->m_pDlgWnd->children();
  auto it = std::find(kids.begin(), kids.end(), first);
  std::vector<Button*> group;
  for (; it != kids.end(); ++it) {
    if (it != kids.begin() && *it != first && ((*it)->GetStyle() & ws::Group)) break;
    auto* b = dynamic_cast<Button*>(*it);
    if (b && (b->typeOf() == bs::RadioButton || b->typeOf() == bs::AutoRadioButton)) group.push_back(b);
  }
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i)
      if (group[i]->GetCheck() == BST_CHECKED) value = int(i);
  } else {
    for (size_t i = 0; i < group.size(); ++i) group[i]->SetCheck(int(i) == value ? BST_CHECKED : BST_UNCHECKED);
  }
}
void DDX_CBIndex(DataExchange* dx, int id, int& index) {
  auto* c = dynamic_cast<ComboBox*>(dx->PrepareCtrl(id));
  if (!c) return;
  if (dx->m_bSaveAndValidate)
    index = c->GetCurSel();
  else
    c->SetCurSel(index);
}
void DDX_CBString(DataExchange* dx, int id, std::wstring& value) {
  auto* c = dynamic_cast<ComboBox*>(dx->PrepareCtrl(id));
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    value = c->currentText();
  } else if (c->SelectString(-1, value) == cb::Err && c->editField()) {
    c->SetWindowText(value);
  }
}
void DDX_CBStringExact(DataExchange* dx, int id, std::wstring& value) {
  auto* c = dynamic_cast<ComboBox*>(dx->PrepareCtrl(id));
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    value = c->currentText();
    return;
  }
  int i = c->FindStringExact(-1, value);
  if (i >= 0)
    c->SetCurSel(i);
  else if (c->editField())
    c->SetWindowText(value);
}
void DDX_LBIndex(DataExchange* dx, int id, int& index) {
  auto* c = dynamic_cast<ListBox*>(dx->PrepareCtrl(id));
  if (!c) return;
  if (dx->m_bSaveAndValidate)
    index = c->GetCurSel();
  else
    c->SetCurSel(index);
}
void DDX_LBString(DataExchange* dx, int id, std::wstring& value) {
  auto* c = dynamic_cast<ListBox*>(dx->PrepareCtrl(id));
  if (!c) return;
  if (dx->m_bSaveAndValidate)
    value = c->GetCurSel() >= 0 ? c->GetText(c->GetCurSel()) : std::wstring();
  else
    c->SelectString(-1, value);
}
void DDX_Control(DataExchange* dx, int id, Wnd& control) {
  if (control.m_hWnd || !dx->m_pDlgWnd) return;
  dx->PrepareCtrl(id);
  control.SubclassDlgItem(unsigned(id), dx->m_pDlgWnd);
}
void DDV_MinMaxInt(DataExchange* dx, int value, int lo, int hi) {
  if (dx->m_bSaveAndValidate && (value < lo || value > hi))
    failWith(dx, L"请输入一个介于 " + std::to_wstring(lo) + L" 和 " + std::to_wstring(hi) + L" 之间的整数。");
}
void DDV_MinMaxDouble(DataExchange* dx, double value, double lo, double hi) {
  if (dx->m_bSaveAndValidate && (value < lo || value > hi))
    failWith(dx, L"请输入一个介于 " + formatDouble(lo) + L" 和 " + formatDouble(hi) + L" 之间的数字。");
}
void DDV_MaxChars(DataExchange* dx, const std::wstring& value, int maxChars) {
  if (dx->m_bSaveAndValidate) {
    if (int(value.size()) > maxChars) failWith(dx, L"请输入不超过 " + std::to_wstring(maxChars) + L" 个字符。");
  } else if (auto* e = dynamic_cast<Edit*>(dx->m_pDlgWnd->GetDlgItem(dx->lastControl()))) {
    e->LimitText(maxChars);
  }
}

// ---------------------------------------------------------------------------
// Dialog
// ---------------------------------------------------------------------------
Dialog::Dialog() = default;
Dialog::Dialog(unsigned templateId, Wnd* parent) : templateId_(templateId), parent_(parent) {}
Dialog::~Dialog() {
  forgetModeless(this);
  detail::popModal(this);
}

bool Dialog::buildFromTemplate(const DialogTemplate& t, Wnd* parent) {
  templateId_ = t.id;
  font_ = LogFont{};
  font_.lfHeight = -MulDiv(t.fontPoints, 96, 72);
  font_.lfFaceName = t.fontFace;
  fontObj_.CreateFontIndirect(&font_);
  Rect px = t.rect;
  MapDialogRect(&px);
  unsigned style = t.style & ~ws::Visible;
  if (parent && (style & ws::Child)) {
    // A child dialog lives in the parent's client area.
  } else {
    style &= ~ws::Child;
    style |= ws::Popup;
  }
  Point origin = px.TopLeft();
  if (parent && !(style & ws::Child)) parent->ClientToScreen(&origin);
  Rect r(origin, px.GetSize());
  if (!CreateEx(t.exStyle, class_name::Dialog, t.caption, style, r, parent, 0)) return false;
  // Grow the window so its client area has the template's size.
  Rect wr = windowRect(), cr = clientRect();
  int dw = wr.Width() - cr.Width(), dh = wr.Height() - cr.Height();
  SetWindowPos(HWND_TOP, 0, 0, px.Width() + dw, px.Height() + dh, swp::NoMove | swp::NoZOrder | swp::NoActivate);
  SetFont(&fontObj_, false);
  for (const ControlTemplate& c : t.controls) {
    Rect cr2 = c.rect;
    MapDialogRect(&cr2);
    unsigned cs = c.style | ws::Child | (c.hidden ? 0 : ws::Visible);
    std::wstring cls = c.className;
    if (!GetClassInfo(cls)) {
      print(L"Dialog " + std::to_wstring(t.id) + L": window class \"" + cls + L"\" is not registered; control " +
            std::to_wstring(c.id) + L" is a plain window");
      cls = class_name::Window;
    }
    std::wstring text = c.text;
    Hwnd h = CreateWindowEx(c.exStyle, cls, text, cs, cr2, m_hWnd, unsigned(c.id));
    Wnd* w = Wnd::FromHandle(h);
    if (!w) continue;
    w->SetFont(&fontObj_, false);
    if (auto* cb = dynamic_cast<ComboBox*>(w))
      for (auto& item : c.items) cb->AddString(item);
    if (auto* lbx = dynamic_cast<ListBox*>(w))
      for (auto& item : c.items) lbx->AddString(item);
    if (auto* st = dynamic_cast<Static*>(w); st && ((cs & ss::TypeMask) == ss::Bitmap || (cs & ss::TypeMask) == ss::Icon)) {
      if (auto n = parseInteger(c.text))
        if (auto p = findBitmapPath(unsigned(*n))) st->setImagePath(*p);
    }
    if (auto* b = dynamic_cast<Button*>(w); b && b->typeOf() == bs::DefPushButton) defId_ = c.id;
  }
  if (t.style & ds::Center) CenterWindow();
  return true;
}

void Dialog::MapDialogRect(Rect* r) const {
  if (!r) return;
  int h = FontPixelHeight(font_);
  int bx = std::max(1, h / 2), by = h;
  r->left = MulDiv(r->left, bx, 4);
  r->right = MulDiv(r->right, bx, 4);
  r->top = MulDiv(r->top, by, 8);
  r->bottom = MulDiv(r->bottom, by, 8);
}

std::intptr_t Dialog::DoModal() {
  const DialogTemplate* t = findDialogTemplate(templateId_);
  if (!t) {
    print(L"Dialog template " + std::to_wstring(templateId_) + L" not found");
    return -1;
  }
  if (m_hWnd) return -1;
  modal_ = true;
  ended_ = false;
  result_ = IDCANCEL;
  Wnd* owner = parent_ ? parent_->GetTopLevelParent() : nullptr;
  if (!owner) owner = parent_;
  bool ownerEnabled = owner && owner->IsWindowEnabled();
  detail::pushModal(this);
  if (!buildFromTemplate(*t, owner)) {
    detail::popModal(this);
    modal_ = false;
    return -1;
  }
  if (owner) owner->EnableWindow(false);
  Hwnd h = m_hWnd;
  SendMessage(wm::InitDialog, 0, 0);
  if (IsWindow(h) && !ended_) ShowWindow(sw::Show);
  std::wstring caption = t->caption.empty() ? std::to_wstring(templateId_) : t->caption;
  while (!ended_ && IsWindow(h)) {
    pumpMessages();
    if (ended_ || !IsWindow(h)) break;
    auto tok = ed::nextInput();
    if (!tok) {
      print(L"Dialog \"" + caption + L"\" cancelled: no input");
      SendMessage(wm::Command, MakeWParam(IDCANCEL, bn::Clicked), 0);
      if (!ended_) EndDialog(IDCANCEL);
      break;
    }
    if (tok->kind == ed::TokenKind::Escape) {
      SendMessage(wm::Command, MakeWParam(IDCANCEL, bn::Clicked), 0);
      continue;
    }
    if (tok->kind == ed::TokenKind::Enter) {
      if (auto* b = dynamic_cast<Button*>(GetDlgItem(defId_)))
        b->userClick();
      else
        SendMessage(wm::Command, MakeWParam(unsigned(defId_), bn::Clicked), 0);
      continue;
    }
    if (tok->kind == ed::TokenKind::Directive && isDialogAnswer(tok->text)) {
      std::wstring err;
      if (!applyAnswer(*tok, err)) print(L"Dialog \"" + caption + L"\": " + err);
      continue;
    }
    // Input meant for someone else: leave it and cancel, so nothing waits.
    ed::inputQueue().pushFront(*tok);
    std::wstring what = tok->kind == ed::TokenKind::Directive ? tok->text : tok->text.empty() ? L"input" : tok->text;
    print(L"Dialog \"" + caption + L"\" cancelled: \"" + what + L"\" is not a dialog answer");
    SendMessage(wm::Command, MakeWParam(IDCANCEL, bn::Clicked), 0);
    if (!ended_) EndDialog(IDCANCEL);
    break;
  }
  detail::popModal(this);
  if (owner && ownerEnabled && IsWindow(owner->m_hWnd)) owner->EnableWindow(true);
  if (IsWindow(h)) {
    ShowWindow(sw::Hide);
    DestroyWindow();
  }
  modal_ = false;
  pumpMessages();
  return result_;
}

bool Dialog::Create(unsigned templateId, Wnd* parent) {
  const DialogTemplate* t = findDialogTemplate(templateId);
  if (!t) {
    print(L"Dialog template " + std::to_wstring(templateId) + L" not found");
    return false;
  }
  return CreateIndirect(*t, parent);
}

bool Dialog::CreateIndirect(const DialogTemplate& t, Wnd* parent) {
  if (m_hWnd) return false;
  modal_ = false;
  ended_ = false;
  parent_ = parent;
  if (!buildFromTemplate(t, parent)) return false;
  forgetModeless(this);
  modeless().push_back(this);
  Hwnd h = m_hWnd;
  SendMessage(wm::InitDialog, 0, 0);
  if (IsWindow(h) && (t.style & ws::Visible)) ShowWindow(sw::Show);
  return IsWindow(h);
}

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::DoDataExchange(DataExchange*) {}

bool Dialog::UpdateData(bool save) {
  DataExchange dx(this, save);
  try {
    DoDataExchange(&dx);
    return true;
  } catch (const DataExchangeFailure&) {
    return false;
  }
}

void Dialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (!modal_ && m_hWnd) ShowWindow(sw::Hide);
}

void Dialog::NextDlgCtrl() {
  if (Wnd* n = GetNextDlgTabItem(GetFocus(), false)) GotoDlgCtrl(n);
}
void Dialog::PrevDlgCtrl() {
  if (Wnd* n = GetNextDlgTabItem(GetFocus(), true)) GotoDlgCtrl(n);
}
void Dialog::GotoDlgCtrl(Wnd* ctl) {
  if (!ctl) return;
  ctl->SetFocus();
  if (auto* e = dynamic_cast<Edit*>(ctl)) e->SetSel(0, -1);
}

void Dialog::BeginEditorCommand() {
  editorCommand_ = true;
  wasVisible_ = IsWindowVisible();
  ShowWindow(sw::Hide);
  if (Wnd* o = GetParent(); o && modal_) o->EnableWindow(true);
}
void Dialog::CompleteEditorCommand(bool restore) {
  editorCommand_ = false;
  if (Wnd* o = GetParent(); o && modal_) o->EnableWindow(false);
  if (restore && wasVisible_) ShowWindow(sw::Show);
}
void Dialog::CancelEditorCommand() {
  editorCommand_ = false;
  if (Wnd* o = GetParent(); o && modal_) o->EnableWindow(false);
  if (wasVisible_) ShowWindow(sw::Show);
}

void Dialog::onCommand(int id, std::function<void()> fn) { commands_[id] = std::move(fn); }
void Dialog::onCommandCode(int id, unsigned code, std::function<void()> fn) {
  commandCodes_[{id, code}] = std::move(fn);
}
void Dialog::onNotify(int id, int code, std::function<void(NotifyHeader*, LResult*)> fn) {
  notifies_[{id, code}] = std::move(fn);
}
void Dialog::onMessage(MsgId msg, std::function<LResult(WParam, LParam)> fn) { messages_[msg] = std::move(fn); }

LResult Dialog::WindowProc(MsgId msg, WParam wp, LParam lp) {
  if (auto it = messages_.find(msg); it != messages_.end()) return it->second(wp, lp);
  switch (msg) {
    case wm::InitDialog: {
      bool focus = OnInitDialog();
      if (focus && m_hWnd && !ended_)
        if (Wnd* first = GetNextDlgTabItem(nullptr)) GotoDlgCtrl(first);
      return focus ? 1 : 0;
    }
    case wm::Close: SendMessage(wm::Command, MakeWParam(IDCANCEL, bn::Clicked), 0); return 0;
    case wm::NcDestroy: {
      forgetModeless(this);
      LResult r = Wnd::WindowProc(msg, wp, lp);
      return r;
    }
    case wm::ShowWindow:
      if (wp && !modal_) {
        forgetModeless(this);
        modeless().insert(modeless().begin(), this);
      }
      break;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

bool Dialog::OnCommand(WParam wp, LParam lp) {
  if (Wnd::OnCommand(wp, lp)) return true;
  int id = int(LoWord(wp));
  unsigned code = HiWord(wp);
  if (auto it = commandCodes_.find({id, code}); it != commandCodes_.end()) {
    auto fn = it->second;
    fn();
    return true;
  }
  if (code <= 1)
    if (auto it = commands_.find(id); it != commands_.end()) {
      auto fn = it->second;
      fn();
      return true;
    }
  if (code == bn::Clicked || code == 1) {
    if (id == IDOK) {
      OnOK();
      return true;
    }
    if (id == IDCANCEL) {
      OnCancel();
      return true;
    }
  }
  return false;
}

bool Dialog::OnNotify(WParam wp, LParam lp, LResult* result) {
  if (Wnd::OnNotify(wp, lp, result)) return true;
  auto* hdr = reinterpret_cast<NotifyHeader*>(lp);
  if (!hdr) return false;
  if (auto it = notifies_.find({int(hdr->idFrom), hdr->code}); it != notifies_.end()) {
    auto fn = it->second;
    LResult r = 0;
    fn(hdr, &r);
    if (result) *result = r;
    return true;
  }
  return false;
}

bool Dialog::PreTranslateMessage(Msg* m) {
  if (!m || m->message != wm::KeyDown || !m_hWnd) return false;
  Wnd* target = Wnd::FromHandle(m->hwnd);
  if (!target || (target != this && !IsChild(target))) return false;
  unsigned code = unsigned(ui::SendMessage(m->hwnd, wm::GetDlgCode, m->wParam, ToLParam(m)));
  switch (m->wParam) {
    case vk::Return: {
      if (code & dlgc::WantAllKeys) return false;
      auto* focusBtn = dynamic_cast<Button*>(Wnd::GetFocus());
      if (focusBtn && IsChild(focusBtn) && (focusBtn->typeOf() == bs::PushButton || focusBtn->typeOf() == bs::DefPushButton)) {
        focusBtn->userClick();
        return true;
      }
      Wnd* def = GetDlgItem(defId_);
      if (auto* b = dynamic_cast<Button*>(def)) {
        if (b->IsWindowEnabled()) b->userClick();
      } else {
        SendMessage(wm::Command, MakeWParam(unsigned(defId_), bn::Clicked), 0);
      }
      return true;
    }
    case vk::Escape:
      if (code & dlgc::WantAllKeys) return false;
      SendMessage(wm::Command, MakeWParam(IDCANCEL, bn::Clicked), ToLParam(SafeHwnd(GetDlgItem(IDCANCEL))));
      return true;
    case vk::Tab:
      if (code & (dlgc::WantTab | dlgc::WantAllKeys)) return false;
      if (GetKeyState(vk::Shift) & 0x8000)
        PrevDlgCtrl();
      else
        NextDlgCtrl();
      return true;
  }
  return false;
}

void Dialog::PostNcDestroy() {
  forgetModeless(this);
  Wnd::PostNcDestroy();
}

bool Dialog::applyAnswer(const ed::InputToken& t, std::wstring& error) {
  const std::wstring& name = t.text;
  const auto& a = t.args;
  if (a.empty()) {
    error = name + L" needs a control id";
    return false;
  }
  auto idv = parseId(a[0]);
  if (!idv) {
    error = name + L": \"" + a[0] + L"\" is not a control id";
    return false;
  }
  int id = *idv;
  Wnd* c = GetDlgItem(id);
  if (!c) {
    error = name + L": no control " + a[0];
    return false;
  }
  if (!c->IsWindowEnabled() && name != L".select") {
    error = name + L": control " + a[0] + L" is disabled";
    return false;
  }
  std::wstring value = joinArgs(a, 1);
  auto needValue = [&]() {
    if (a.size() < 2) {
      error = name + L" " + a[0] + L" needs a value";
      return false;
    }
    return true;
  };
  auto* edit = dynamic_cast<Edit*>(c);
  auto* combo = dynamic_cast<ComboBox*>(c);
  auto* button = dynamic_cast<Button*>(c);
  auto* lbox = dynamic_cast<ListBox*>(c);
  auto* list = dynamic_cast<ListCtrl*>(c);
  auto* tree = dynamic_cast<TreeCtrl*>(c);
  auto* tab = dynamic_cast<TabCtrl*>(c);

  auto setCheck = [&](bool on) -> bool {
    unsigned ty = button->typeOf();
    bool radio = ty == bs::RadioButton || ty == bs::AutoRadioButton;
    bool isCheck = ty == bs::CheckBox || ty == bs::AutoCheckBox || ty == bs::ThreeState || ty == bs::Auto3State;
    if (!radio && !isCheck) {
      error = name + L": control " + a[0] + L" is not a check box or radio button";
      return false;
    }
    if (radio && !on) {
      error = name + L": a radio button is cleared by checking another of its group";
      return false;
    }
    if ((button->GetCheck() == BST_CHECKED) == on) return true;
    if (ty == bs::AutoCheckBox || ty == bs::AutoRadioButton || ty == bs::Auto3State) {
      button->userClick();
    } else {
      // Plain check boxes and radio buttons leave the state to the dialog.
      button->SetCheck(on ? BST_CHECKED : BST_UNCHECKED);
      button->userClick();
    }
    return true;
  };

  if (name == L".set") {
    if (edit) {
      if (!edit->userSetText(value)) {
        error = L".set: edit " + a[0] + L" is read-only";
        return false;
      }
      return true;
    }
    if (combo) {
      if (!combo->userSetText(value)) {
        error = L".set: \"" + value + L"\" is not an item of combo " + a[0];
        return false;
      }
      return true;
    }
    if (button) {
      if (!needValue()) return false;
      return setCheck(value != L"0");
    }
    if (lbox || tab || tree) {
      ed::InputToken s = t;
      s.text = L".select";
      return applyAnswer(s, error);
    }
    if (list) {
      if (Edit* e = list->GetEditControl()) {
        e->userSetText(value);
        list->endEditLabel(false);
        return true;
      }
      error = L".set: list " + a[0] + L" has no label being edited";
      return false;
    }
    if (auto* p = dynamic_cast<ProgressCtrl*>(c)) {
      auto n = parseInteger(value);
      if (!n) {
        error = L".set: \"" + value + L"\" is not a number";
        return false;
      }
      p->SetPos(int(*n));
      return true;
    }
    if (auto* sbar = dynamic_cast<ScrollBar*>(c)) {
      auto n = parseInteger(value);
      if (!n) {
        error = L".set: \"" + value + L"\" is not a number";
        return false;
      }
      sbar->SetScrollPos(int(*n));
      sbar->userScroll(sb::ThumbPosition, int(*n));
      return true;
    }
    c->SetWindowText(value);
    return true;
  }
  if (name == L".check") {
    if (tree) {
      if (a.size() < 3) {
        error = L".check " + a[0] + L" needs an item and 0 or 1";
        return false;
      }
      std::wstring itemSpec = joinArgs(std::vector<std::wstring>(a.begin(), a.end() - 1), 1);
      HTreeItem item = findTreeItem(*tree, itemSpec);
      if (!item) {
        error = L".check: no item \"" + itemSpec + L"\" in tree " + a[0];
        return false;
      }
      bool on = a.back() != L"0";
      if (tree->GetCheck(item) != on) tree->userClickCheckBox(item);
      return true;
    }
    if (!button) {
      error = L".check: control " + a[0] + L" is not a check box or radio button";
      return false;
    }
    if (!needValue()) return false;
    return setCheck(value != L"0");
  }
  if (name == L".click" || name == L".dblclick") {
    bool dbl = name == L".dblclick";
    if (button && !dbl) {
      if (!button->IsWindowVisible() && button->GetParent() && button->GetParent()->IsWindowVisible()) {
        error = L".click: button " + a[0] + L" is hidden";
        return false;
      }
      button->userClick();
      return true;
    }
    if (list) {
      if (!needValue()) return false;
      int item = pickIndex(a[1], list->GetItemCount(), [&](int i) { return list->GetItemText(i, 0); });
      if (item < 0) {
        error = name + L": no row " + a[1] + L" in list " + a[0];
        return false;
      }
      int sub = 0;
      if (a.size() > 2) sub = int(parseInteger(a[2]).value_or(0));
      if (dbl)
        list->userDoubleClick(item, sub);
      else
        list->userClick(item, sub);
      return true;
    }
    if (tree) {
      if (!needValue()) return false;
      HTreeItem item = findTreeItem(*tree, value);
      if (!item) {
        error = name + L": no item \"" + value + L"\" in tree " + a[0];
        return false;
      }
      if (dbl)
        tree->userDoubleClick(item);
      else
        tree->userClick(item);
      return true;
    }
    if (lbox) {
      if (!needValue()) return false;
      int i = pickIndex(value, lbox->GetCount(), [&](int k) { return lbox->GetText(k); });
      if (i < 0) {
        error = name + L": no item \"" + value + L"\" in list " + a[0];
        return false;
      }
      return dbl ? lbox->userDoubleClick(i) : lbox->userSelect(i);
    }
    if (dbl) {
      error = L".dblclick: control " + a[0] + L" cannot be double-clicked";
      return false;
    }
    // Any other control: the command a click on it would send.
    SendMessage(wm::Command, MakeWParam(unsigned(id), bn::Clicked), ToLParam(c->m_hWnd));
    return true;
  }
  if (name == L".select") {
    if (!needValue()) return false;
    if (!c->IsWindowEnabled()) {
      error = L".select: control " + a[0] + L" is disabled";
      return false;
    }
    if (combo) {
      int i = pickIndex(value, combo->GetCount(), [&](int k) { return combo->GetLBText(k); });
      if (i < 0) {
        error = L".select: no item \"" + value + L"\" in combo " + a[0];
        return false;
      }
      combo->userSelect(i);
      return true;
    }
    if (lbox) {
      int i = pickIndex(value, lbox->GetCount(), [&](int k) { return lbox->GetText(k); });
      if (i < 0) {
        error = L".select: no item \"" + value + L"\" in list " + a[0];
        return false;
      }
      lbox->userSelect(i);
      return true;
    }
    if (list) {
      int i = pickIndex(value, list->GetItemCount(), [&](int k) { return list->GetItemText(k, 0); });
      if (i < 0) {
        error = L".select: no row \"" + value + L"\" in list " + a[0];
        return false;
      }
      list->userClick(i, 0);
      return true;
    }
    if (tree) {
      HTreeItem item = findTreeItem(*tree, value);
      if (!item) {
        error = L".select: no item \"" + value + L"\" in tree " + a[0];
        return false;
      }
      tree->userClick(item);
      return true;
    }
    if (tab) {
      int i = pickIndex(value, tab->GetItemCount(), [&](int k) { return tab->GetItemText(k); });
      if (i < 0 || !tab->userSelect(i)) {
        error = L".select: no tab \"" + value + L"\" in " + a[0];
        return false;
      }
      return true;
    }
    error = L".select: control " + a[0] + L" has no items";
    return false;
  }
  error = L"unknown dialog answer " + name;
  return false;
}

std::vector<Dialog*> openDialogs() {
  std::vector<Dialog*> out;
  for (Dialog* d : modeless())
    if (d->m_hWnd && d->IsWindowVisible()) out.push_back(d);
  return out;
}

Dialog* activeDialog() {
  auto open = openDialogs();
  if (Wnd* act = Wnd::GetActiveWindow())
    for (Dialog* d : open)
      if (d == act) return d;
  return open.empty() ? nullptr : open.front();
}

Dialog* currentDialog() {
  for (auto it = modalStack().rbegin(); it != modalStack().rend(); ++it)
    if ((*it)->m_hWnd && !(*it)->inEditorCommand()) return *it;
  return activeDialog();
}

bool applyAnswer(const ed::InputToken& t, std::wstring& error) {
  Dialog* d = currentDialog();
  if (!d) {
    error = t.text + L": no dialog is open";
    return false;
  }
  return d->applyAnswer(t, error);
}

bool isDialogAnswer(const std::wstring& n) {
  return n == L".set" || n == L".click" || n == L".dblclick" || n == L".select" || n == L".check";
}

}  // namespace ui
