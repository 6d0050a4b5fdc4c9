// The list control in report view.
#include <algorithm>

#include "platform/ui/keep_alive.h"
#include "platform/ui/controls.h"
#include "platform/ui/detail.h"

namespace ui {

ListCtrl::ListCtrl() = default;
ListCtrl::~ListCtrl() {
  if (editing_) {
    Edit* e = editing_;
    editing_ = nullptr;
    e->DestroyWindow();
  }
}

bool ListCtrl::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::ListView, L"", style, r, parent, id);
}

LResult ListCtrl::notifyParent(NotifyHeader* hdr, int code) {
  hdr->hwndFrom = m_hWnd;
  hdr->idFrom = std::uintptr_t(GetDlgCtrlID());
  hdr->code = code;
  Wnd* p = GetParent();
  if (!p) {
    LResult r = 0;
    OnChildNotify(wm::Notify, hdr->idFrom, ToLParam(hdr), &r);
    return r;
  }
  return p->SendMessage(wm::Notify, WParam(hdr->idFrom), ToLParam(hdr));
}

// --- columns ---------------------------------------------------------------
int ListCtrl::InsertColumn(int col, const std::wstring& heading, int format, int width, int subItem) {
  if (col < 0) return -1;
  col = std::min(col, int(columns_.size()));
  if (width < 0) width = TextExtent(effectiveFont(), heading).cx + 12;
  columns_.insert(columns_.begin() + col, LvColumn{format, width, heading, subItem < 0 ? col : subItem});
  for (auto& r : rows_)
    if (int(r.texts.size()) > col) r.texts.insert(r.texts.begin() + col, std::wstring());
  Invalidate();
  return col;
}

bool ListCtrl::DeleteColumn(int col) {
  if (col < 0 || col >= int(columns_.size())) return false;
  columns_.erase(columns_.begin() + col);
  for (auto& r : rows_)
    if (int(r.texts.size()) > col) r.texts.erase(r.texts.begin() + col);
  Invalidate();
  return true;
}

int ListCtrl::GetColumnWidth(int col) const {
  return col >= 0 && col < int(columns_.size()) ? columns_[size_t(col)].cx : 0;
}
bool ListCtrl::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= int(columns_.size())) return false;
  columns_[size_t(col)].cx = std::max(0, width);
  Invalidate();
  return true;
}
const LvColumn* ListCtrl::column(int col) const {
  return col >= 0 && col < int(columns_.size()) ? &columns_[size_t(col)] : nullptr;
}
HeaderCtrl* ListCtrl::GetHeaderCtrl() {
  if (!header_) {
    header_ = std::make_unique<HeaderCtrl>();
    header_->list_ = this;
  }
  return header_.get();
}

// --- items -------------------------------------------------------------------
int ListCtrl::InsertItem(int index, const std::wstring& text) { return InsertItem(index, text, -1); }

int ListCtrl::InsertItem(int index, const std::wstring& text, int image) {
  LvItem it;
  it.mask = lvif::Text | (image >= 0 ? lvif::Image : 0);
  it.iItem = index;
  std::wstring t = text;
  it.pszText = t.data();
  it.iImage = image;
  return InsertItem(&it);
}

int ListCtrl::InsertItem(const LvItem* item) {
  if (!item || item->iItem < 0 || item->iSubItem != 0) return -1;
  int at = std::min(item->iItem, int(rows_.size()));
  Row r;
  r.texts.resize(std::max<size_t>(1, columns_.size()));
  if ((item->mask & lvif::Text) && item->pszText) r.texts[0] = item->pszText;
  if (item->mask & lvif::Param) r.data = std::uintptr_t(item->lParam);
  if (item->mask & lvif::Image) r.image = item->iImage;
  if (item->mask & lvif::State) r.state = item->state & item->stateMask;
  rows_.insert(rows_.begin() + at, r);
  if (selMark_ >= at) ++selMark_;
  NmListView nm;
  nm.iItem = at;
  notifyParent(&nm.hdr, lvn::InsertItem);
  Invalidate();
  return at;
}

bool ListCtrl::SetItem(const LvItem* item) {
  if (!item || item->iItem < 0 || item->iItem >= int(rows_.size())) return false;
  if ((item->mask & lvif::Text) && !SetItemText(item->iItem, item->iSubItem, item->pszText ? item->pszText : L""))
    return false;
  Row& r = rows_[size_t(item->iItem)];
  if (item->mask & lvif::Param) r.data = std::uintptr_t(item->lParam);
  if (item->mask & lvif::Image) r.image = item->iImage;
  if (item->mask & lvif::State) changeState(item->iItem, item->state, item->stateMask);
  return true;
}

bool ListCtrl::GetItem(LvItem* item) const {
  if (!item || item->iItem < 0 || item->iItem >= int(rows_.size())) return false;
  const Row& r = rows_[size_t(item->iItem)];
  if ((item->mask & lvif::Text) && item->pszText && item->cchTextMax > 0)
    GetItemText(item->iItem, item->iSubItem, item->pszText, item->cchTextMax);
  if (item->mask & lvif::Param) item->lParam = std::intptr_t(r.data);
  if (item->mask & lvif::Image) item->iImage = r.image;
  if (item->mask & lvif::State) item->state = r.state & item->stateMask;
  return true;
}

bool ListCtrl::SetItemText(int item, int sub, const std::wstring& text) {
  if (item < 0 || item >= int(rows_.size()) || sub < 0) return false;
  if (sub > 0 && sub >= int(columns_.size())) return false;
  Row& r = rows_[size_t(item)];
  if (int(r.texts.size()) <= sub) r.texts.resize(size_t(sub) + 1);
  r.texts[size_t(sub)] = text;
  Invalidate();
  return true;
}

std::wstring ListCtrl::GetItemText(int item, int sub) const {
  if (item < 0 || item >= int(rows_.size()) || sub < 0) return {};
  const Row& r = rows_[size_t(item)];
  return sub < int(r.texts.size()) ? r.texts[size_t(sub)] : std::wstring();
}

int ListCtrl::GetItemText(int item, int sub, wchar_t* buf, int len) const {
  if (!buf || len <= 0) return 0;
  std::wstring t = GetItemText(item, sub);
  int n = std::min(int(t.size()), len - 1);
  std::copy_n(t.data(), n, buf);
  buf[n] = 0;
  return n;
}

bool ListCtrl::SetItemData(int item, std::uintptr_t d) {
  if (item < 0 || item >= int(rows_.size())) return false;
  rows_[size_t(item)].data = d;
  return true;
}
std::uintptr_t ListCtrl::GetItemData(int item) const {
  return item >= 0 && item < int(rows_.size()) ? rows_[size_t(item)].data : 0;
}

void ListCtrl::changeState(int item, unsigned state, unsigned mask) {
  Row& r = rows_[size_t(item)];
  unsigned old = r.state;
  unsigned now = (old & ~mask) | (state & mask);
  if (now == old) return;
  NmListView nm;
  nm.iItem = item;
  nm.uOldState = old;
  nm.uNewState = now;
  nm.uChanged = lvif::State;
  nm.lParam = std::intptr_t(r.data);
  if (notifyParent(&nm.hdr, lvn::ItemChanging)) return;  // TRUE refuses
  if (item >= int(rows_.size())) return;
  rows_[size_t(item)].state = now;
  notifyParent(&nm.hdr, lvn::ItemChanged);
  Invalidate();
}

bool ListCtrl::SetItemState(int item, unsigned state, unsigned mask) {
  if (item == -1) {
    for (int i = 0; i < int(rows_.size()); ++i) changeState(i, state, mask);
    return true;
  }
  if (item < 0 || item >= int(rows_.size())) return false;
  // One selection (lvs::SingleSel) and one focused item at a time.
  if ((state & mask & lvis::Selected) && (GetStyle() & lvs::SingleSel))
    for (int i = 0; i < int(rows_.size()); ++i)
      if (i != item && (rows_[size_t(i)].state & lvis::Selected)) changeState(i, 0, lvis::Selected);
  if (state & mask & lvis::Focused)
    for (int i = 0; i < int(rows_.size()); ++i)
      if (i != item && (rows_[size_t(i)].state & lvis::Focused)) changeState(i, 0, lvis::Focused);
  if (item >= int(rows_.size())) return false;
  changeState(item, state, mask);
  if (state & mask & lvis::Selected) selMark_ = item;
  return true;
}

unsigned ListCtrl::GetItemState(int item, unsigned mask) const {
  return item >= 0 && item < int(rows_.size()) ? rows_[size_t(item)].state & mask : 0;
}

bool ListCtrl::DeleteItem(int item) {
  if (item < 0 || item >= int(rows_.size())) return false;
  if (editing_ && editItem_ == item) endEditLabel(true);
  NmListView nm;
  nm.iItem = item;
  nm.lParam = std::intptr_t(rows_[size_t(item)].data);
  notifyParent(&nm.hdr, lvn::DeleteItem);
  if (item >= int(rows_.size())) return false;
  rows_.erase(rows_.begin() + item);
  if (selMark_ == item) selMark_ = -1;
  else if (selMark_ > item) --selMark_;
  top_ = std::min(top_, std::max(0, int(rows_.size()) - 1));
  Invalidate();
  return true;
}

bool ListCtrl::DeleteAllItems() {
  if (editing_) endEditLabel(true);
  NmListView nm;
  nm.iItem = -1;
  // Answering TRUE suppresses the per-item notifications.
  bool quiet = notifyParent(&nm.hdr, lvn::DeleteAllItems) != 0;
  if (!quiet)
    for (int i = 0; i < int(rows_.size()); ++i) {
      NmListView one;
      one.iItem = i;
      one.lParam = std::intptr_t(rows_[size_t(i)].data);
      notifyParent(&one.hdr, lvn::DeleteItem);
    }
  rows_.clear();
  selMark_ = -1;
  top_ = 0;
  Invalidate();
  return true;
}

int ListCtrl::GetNextItem(int start, unsigned flags) const {
  for (int i = start + 1; i < int(rows_.size()); ++i) {
    unsigned s = rows_[size_t(i)].state;
    bool ok = true;
    if ((flags & lvni::Selected) && !(s & lvis::Selected)) ok = false;
    if ((flags & lvni::Focused) && !(s & lvis::Focused)) ok = false;
    if (ok) return i;
  }
  return -1;
}

unsigned ListCtrl::GetSelectedCount() const {
  return unsigned(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.state & lvis::Selected; }));
}

ListPosition ListCtrl::GetFirstSelectedItemPosition() const {
  int i = GetNextItem(-1, lvni::Selected);
  return i < 0 ? 0 : ListPosition(i + 1);
}

int ListCtrl::GetNextSelectedItem(ListPosition& pos) const {
  if (!pos) return -1;
  int cur = int(pos) - 1;
  int next = GetNextItem(cur, lvni::Selected);
  pos = next < 0 ? 0 : ListPosition(next + 1);
  return cur;
}

int ListCtrl::SetSelectionMark(int index) { return std::exchange(selMark_, index); }

// --- layout ------------------------------------------------------------------
int ListCtrl::rowHeight() const {
  int h = FontPixelHeight(effectiveFont()) + 4;
  if (images_[1] && images_[1]->IsValid()) h = std::max(h, images_[1]->imageSize().cy);
  return h;
}
int ListCtrl::headerHeight() const {
  if (GetStyle() & lvs::NoColumnHeader) return 0;
  return FontPixelHeight(effectiveFont()) + 8;
}
int ListCtrl::columnLeft(int col) const {
  int x = -scrollX_;
  for (int i = 0; i < col && i < int(columns_.size()); ++i) x += columns_[size_t(i)].cx;
  return x;
}
int ListCtrl::GetCountPerPage() const {
  int h = clientRect().Height() - headerHeight();
  return std::max(0, h / std::max(1, rowHeight()));
}

bool ListCtrl::EnsureVisible(int item, bool partialOk) {
  if (item < 0 || item >= int(rows_.size())) return false;
  int per = std::max(1, GetCountPerPage());
  if (item < top_)
    top_ = item;
  else if (item >= top_ + per)
    top_ = item - per + 1;
  (void)partialOk;
  Invalidate();
  return true;
}

bool ListCtrl::Scroll(Size s) {
  int rows = s.cy / std::max(1, rowHeight());
  top_ = std::clamp(top_ + rows, 0, std::max(0, int(rows_.size()) - std::max(1, GetCountPerPage())));
  scrollX_ = std::max(0, scrollX_ + s.cx);
  Invalidate();
  return true;
}

bool ListCtrl::GetItemRect(int item, Rect* r, int code) const {
  Rect b;
  if (!GetSubItemRect(item, 0, lvir::Bounds, b) || !r) return false;
  int total = columnLeft(int(columns_.size()));
  if (code == lvir::Bounds || code == lvir::SelectBounds) {
    *r = Rect(-scrollX_, b.top, std::max(total, -scrollX_ + 1), b.bottom);
    if (code == lvir::SelectBounds && !(exStyle_ & lvs_ex::FullRowSelect)) *r = Rect(b.left, b.top, b.right, b.bottom);
    return true;
  }
  return GetSubItemRect(item, 0, code, *r);
}

bool ListCtrl::GetSubItemRect(int item, int sub, int code, Rect& r) const {
  if (item < 0 || item >= int(rows_.size()) || sub < 0 || (sub > 0 && sub >= int(columns_.size()))) return false;
  int y = headerHeight() + (item - top_) * rowHeight();
  int x = columnLeft(sub);
  int w = sub < int(columns_.size()) ? columns_[size_t(sub)].cx : clientRect().Width();
  r = Rect(x, y, x + w, y + rowHeight());
  int icon = (sub == 0 && images_[1] && images_[1]->IsValid()) ? images_[1]->imageSize().cx : 0;
  if (code == lvir::Icon) r.right = r.left + icon;
  if (code == lvir::Label) r.left += icon;
  if (sub == 0 && code == lvir::Bounds && columns_.size() > 1 && false) r.right = columnLeft(int(columns_.size()));
  return true;
}

int ListCtrl::SubItemHitTest(LvHitTestInfo* info) const {
  if (!info) return -1;
  info->iItem = -1;
  info->iSubItem = 0;
  info->flags = lvht::Nowhere;
  Point p = info->pt;
  Rect c = clientRect();
  if (p.y < headerHeight()) {
    info->flags = lvht::Above;
    return -1;
  }
  if (p.y >= c.bottom) {
    info->flags = lvht::Below;
    return -1;
  }
  int item = top_ + (p.y - headerHeight()) / std::max(1, rowHeight());
  if (item < 0 || item >= int(rows_.size())) return -1;
  for (int col = 0; col < int(columns_.size()); ++col) {
    int l = columnLeft(col), r = l + columns_[size_t(col)].cx;
    if (p.x >= l && p.x < r) {
      info->iItem = item;
      info->iSubItem = col;
      Rect icon;
      GetSubItemRect(item, col, lvir::Icon, icon);
      info->flags = (col == 0 && icon.Width() > 0 && p.x < icon.right) ? lvht::OnItemIcon : lvht::OnItemLabel;
      return item;
    }
  }
  info->flags = p.x < 0 ? lvht::ToLeft : lvht::ToRight;
  return -1;
}

int ListCtrl::HitTest(Point p, unsigned* flags) const {
  LvHitTestInfo info;
  info.pt = p;
  int item = SubItemHitTest(&info);
  // Outside the first column a report view only hits with full-row selection.
  if (item >= 0 && info.iSubItem > 0 && !(exStyle_ & lvs_ex::FullRowSelect)) {
    item = -1;
    info.flags = lvht::Nowhere;
  }
  if (flags) *flags = info.flags;
  return item;
}

unsigned ListCtrl::SetExtendedStyle(unsigned ex) {
  Invalidate();
  return std::exchange(exStyle_, ex);
}
ImageList* ListCtrl::SetImageList(ImageList* list, int type) {
  if (type < 0 || type > 2) return nullptr;
  return std::exchange(images_[type], list);
}
ImageList* ListCtrl::GetImageList(int type) const { return type >= 0 && type <= 2 ? images_[type] : nullptr; }

// --- label editing -------------------------------------------------------------
Edit* ListCtrl::EditLabel(int item) {
  if (item < 0 || item >= int(rows_.size()) || !m_hWnd) return nullptr;
  if (editing_) endEditLabel(false);
  NmLvDispInfo di;
  di.item.iItem = item;
  di.item.mask = lvif::Text | lvif::Param;
  std::wstring text = GetItemText(item, 0);
  di.item.pszText = text.data();
  di.item.lParam = std::intptr_t(rows_[size_t(item)].data);
  if (notifyParent(&di.hdr, lvn::BeginLabelEdit)) return nullptr;
  Rect r;
  GetSubItemRect(item, 0, lvir::Label, r);
  auto* e = new Edit;
  if (!e->CreateEx(0, class_name::Edit, text, ws::Child | ws::Visible | ws::Border | es::AutoHScroll, r, this, 1)) {
    delete e;
    return nullptr;
  }
  editing_ = e;
  editItem_ = item;
  e->SetSel(0, -1);
  e->SetFocus();
  return e;
}

bool ListCtrl::endEditLabel(bool cancel) {
  if (!editing_) return false;
  Edit* e = editing_;
  int item = editItem_;
  editing_ = nullptr;
  editItem_ = -1;
  std::wstring text = e->GetWindowText();
  NmLvDispInfo di;
  di.item.iItem = item;
  di.item.mask = lvif::Text;
  di.item.pszText = cancel ? nullptr : text.data();
  di.item.cchTextMax = int(text.size()) + 1;
  if (item >= 0 && item < int(rows_.size())) di.item.lParam = std::intptr_t(rows_[size_t(item)].data);
  LResult accept = notifyParent(&di.hdr, lvn::EndLabelEdit);
  if (!cancel && accept && item >= 0 && item < int(rows_.size())) SetItemText(item, 0, text);
  e->DestroyWindow();
  delete e;
  Invalidate();
  return true;
}

// --- a person's actions ------------------------------------------------------
namespace {
NmItemActivate activationAt(int item, int sub, Point at) {
  NmItemActivate nm;
  nm.iItem = item;
  nm.iSubItem = sub;
  nm.ptAction = at;
  return nm;
}
}  // namespace

Point ListCtrl::labelPoint(int item, int sub, Point otherwise) const {
  Rect r;
  return GetSubItemRect(item, sub, lvir::Label, r) ? Point{r.left + 2, r.top + 2} : otherwise;
}

void ListCtrl::userClick(int item, int sub) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled()) return;
  Hwnd h = m_hWnd;
  Point p = labelPoint(item, sub, {2, headerHeight() + 2});
  Point sp = p;
  ClientToScreen(&sp);
  SetCursorPos(sp);
  detail::setMessagePos(sp);
  SetFocus();
  if (!IsWindow(h)) return;
  if (item >= 0 && item < int(rows_.size())) {
    if (!(GetKeyState(vk::Control) & 0x8000))
      for (int i = 0; i < int(rows_.size()); ++i)
        if (i != item && (rows_[size_t(i)].state & lvis::Selected)) changeState(i, 0, lvis::Selected);
    if (IsWindow(h) && item < int(rows_.size())) SetItemState(item, lvis::Selected | lvis::Focused, lvis::Selected | lvis::Focused);
  } else {
    for (int i = 0; i < int(rows_.size()); ++i)
      if (rows_[size_t(i)].state & lvis::Selected) changeState(i, 0, lvis::Selected);
  }
  if (!IsWindow(h)) return;
  NmItemActivate nm = activationAt(item, sub, p);
  notifyParent(&nm.hdr, nm::Click);
}

void ListCtrl::userDoubleClick(int item, int sub) {
  KeepAlive keep(this);
  Hwnd h = m_hWnd;
  userClick(item, sub);
  if (!IsWindow(h)) return;
  NmItemActivate nm = activationAt(item, sub, labelPoint(item, sub, Point()));
  notifyParent(&nm.hdr, nm::DblClk);
}

void ListCtrl::userRightClick(int item, int sub) {
  KeepAlive keep(this);
  Hwnd h = m_hWnd;
  userClick(item, sub);
  if (!IsWindow(h)) return;
  Point p = labelPoint(item, sub, {2, headerHeight() + 2});
  NmItemActivate nm = activationAt(item, sub, p);
  if (notifyParent(&nm.hdr, nm::RClick)) return;
  if (!IsWindow(h)) return;
  Point sp = p;
  ClientToScreen(&sp);
  SendMessage(wm::ContextMenu, ToWParam(m_hWnd), LParamFromPoint(sp));
}

void ListCtrl::userKey(unsigned vkCode) {
  KeepAlive keep(this);
  if (!m_hWnd) return;
  Hwnd h = m_hWnd;
  NmLvKeyDown kd;
  kd.wVKey = vkCode;
  notifyParent(&kd.hdr, lvn::KeyDown);
  if (!IsWindow(h)) return;
  int cur = GetNextItem(-1, lvni::Focused);
  int next = cur;
  if (vkCode == vk::Down) next = std::min(cur + 1, int(rows_.size()) - 1);
  if (vkCode == vk::Up) next = std::max(cur - 1, 0);
  if (vkCode == vk::Home) next = 0;
  if (vkCode == vk::End) next = int(rows_.size()) - 1;
  if (next != cur && next >= 0) {
    for (int i = 0; i < int(rows_.size()); ++i)
      if (i != next && (rows_[size_t(i)].state & lvis::Selected)) changeState(i, 0, lvis::Selected);
    SetItemState(next, lvis::Selected | lvis::Focused, lvis::Selected | lvis::Focused);
    EnsureVisible(next, false);
  }
  if (vkCode == vk::F2 && (GetStyle() & lvs::EditLabels) && cur >= 0) EditLabel(cur);
}

bool ListCtrl::PreTranslateMessage(Msg* m) {
  if (editing_ && m->hwnd == editing_->m_hWnd && m->message == wm::KeyDown &&
      (m->wParam == vk::Return || m->wParam == vk::Escape)) {
    endEditLabel(m->wParam == vk::Escape);
    return true;
  }
  return false;
}

void ListCtrl::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<ListCtrl*>(&previous)) {
    columns_ = p->columns_;
    rows_ = p->rows_;
    exStyle_ = p->exStyle_;
    top_ = p->top_;
    scrollX_ = p->scrollX_;
    selMark_ = p->selMark_;
    std::copy(std::begin(p->images_), std::end(p->images_), std::begin(images_));
    bk_ = p->bk_;
    text_ = p->text_;
    textBk_ = p->textBk_;
  }
}

// --- painting (with custom draw) ----------------------------------------------
void ListCtrl::paintList(DC& dc) {
  Rect c = clientRect();
  Color bk = bk_ != kNoColor ? bk_ : GetSysColor(color::Window);
  dc.FillSolidRect(c, bk);
  int hh = headerHeight();
  dc.SetBkMode(bkmode::Transparent);
  if (hh > 0) {
    for (int col = 0; col < int(columns_.size()); ++col) {
      Rect hr(columnLeft(col), 0, columnLeft(col) + columns_[size_t(col)].cx, hh);
      dc.FillSolidRect(hr, GetSysColor(color::BtnFace));
      Rect e = hr;
      dc.DrawEdge(&e, edge::Raised, bf::Rect);
      unsigned fmt = dt::SingleLine | dt::VCenter | dt::EndEllipsis | dt::NoPrefix;
      int f = columns_[size_t(col)].fmt & 3;
      if (f == lvcfmt::Center) fmt |= dt::Center;
      if (f == lvcfmt::Right) fmt |= dt::Right;
      dc.SetTextColor(GetSysColor(color::BtnText));
      Rect tr = hr;
      tr.DeflateRect(4, 0);
      dc.DrawText(columns_[size_t(col)].text, tr, fmt);
    }
  }
  auto custom = [&](unsigned stage, int item, int sub, Rect rc, NmLvCustomDraw& cd) -> unsigned {
    cd.nmcd.dwDrawStage = stage;
    cd.nmcd.hdc = &dc;
    cd.nmcd.rc = rc;
    cd.nmcd.dwItemSpec = std::uintptr_t(item < 0 ? 0 : item);
    cd.iSubItem = sub;
    if (item >= 0 && item < int(rows_.size())) {
      unsigned s = rows_[size_t(item)].state;
      cd.nmcd.uItemState = ((s & lvis::Selected) ? cdis::Selected : 0) | ((s & lvis::Focused) ? cdis::Focus : 0);
      cd.nmcd.lItemlParam = std::intptr_t(rows_[size_t(item)].data);
    }
    return unsigned(notifyParent(&cd.nmcd.hdr, nm::CustomDraw));
  };
  NmLvCustomDraw pre;
  unsigned preAnswer = custom(cdds::PrePaint, -1, 0, c, pre);
  if (preAnswer & cdrf::SkipDefault) return;
  int rh = rowHeight();
  for (int i = top_; i < int(rows_.size()); ++i) {
    int y = hh + (i - top_) * rh;
    if (y >= c.bottom) break;
    Rect rowR(-scrollX_, y, std::max(c.right, columnLeft(int(columns_.size()))), y + rh);
    bool sel = rows_[size_t(i)].state & lvis::Selected;
    Color textC = text_ != kNoColor ? text_ : GetSysColor(color::WindowText);
    Color textBkC = textBk_ != kNoColor ? textBk_ : bk;
    if (sel && (GetFocus() == this || (GetStyle() & lvs::ShowSelAlways))) {
      textC = GetSysColor(color::HighlightText);
      textBkC = GetSysColor(color::Highlight);
    }
    NmLvCustomDraw itemCd;
    itemCd.clrText = textC;
    itemCd.clrTextBk = textBkC;
    unsigned itemAnswer = cdrf::DoDefault;
    if (preAnswer & cdrf::NotifyItemDraw) {
      itemAnswer = custom(cdds::ItemPrePaint, i, 0, rowR, itemCd);
      if (itemAnswer & cdrf::SkipDefault) continue;
    }
    for (int col = 0; col < std::max(1, int(columns_.size())); ++col) {
      Rect cell;
      if (!GetSubItemRect(i, col, lvir::Bounds, cell)) cell = rowR;
      if (col > 0 && !(exStyle_ & lvs_ex::FullRowSelect)) {
        itemCd.clrText = text_ != kNoColor ? text_ : GetSysColor(color::WindowText);
        itemCd.clrTextBk = textBk_ != kNoColor ? textBk_ : bk;
      }
      NmLvCustomDraw subCd = itemCd;
      if (itemAnswer & cdrf::NotifySubItemDraw) {
        unsigned a = custom(cdds::SubItem | cdds::ItemPrePaint, i, col, cell, subCd);
        if (a & cdrf::SkipDefault) continue;
      }
      if (subCd.clrTextBk != kNoColor && subCd.clrTextBk != bk) dc.FillSolidRect(cell, subCd.clrTextBk);
      dc.SetTextColor(subCd.clrText != kNoColor ? subCd.clrText : GetSysColor(color::WindowText));
      Rect tr = cell;
      if (col == 0 && images_[1] && rows_[size_t(i)].image >= 0) {
        images_[1]->Draw(&dc, rows_[size_t(i)].image, tr.TopLeft(), ild::Transparent);
        tr.left += images_[1]->imageSize().cx;
      }
      tr.DeflateRect(4, 0);
      unsigned fmt = dt::SingleLine | dt::VCenter | dt::EndEllipsis | dt::NoPrefix;
      int f = col < int(columns_.size()) ? columns_[size_t(col)].fmt & 3 : 0;
      if (f == lvcfmt::Center) fmt |= dt::Center;
      if (f == lvcfmt::Right) fmt |= dt::Right;
      dc.DrawText(GetItemText(i, col), tr, fmt);
    }
    if (exStyle_ & lvs_ex::GridLines) {
      Pen grid(ps::Solid, 1, GetSysColor(color::BtnFace));
      Pen* old = dc.SelectObject(&grid);
      dc.MoveTo(rowR.left, rowR.bottom - 1);
      dc.LineTo(rowR.right, rowR.bottom - 1);
      dc.SelectObject(old);
    }
    if (itemAnswer & cdrf::NotifyPostPaint) custom(cdds::ItemPostPaint, i, 0, rowR, itemCd);
  }
  if (exStyle_ & lvs_ex::GridLines) {
    Pen grid(ps::Solid, 1, GetSysColor(color::BtnFace));
    Pen* old = dc.SelectObject(&grid);
    for (int col = 1; col <= int(columns_.size()); ++col) {
      int x = columnLeft(col) - 1;
      dc.MoveTo(x, hh);
      dc.LineTo(x, c.bottom);
    }
    dc.SelectObject(old);
  }
  if (preAnswer & cdrf::NotifyPostPaint) {
    NmLvCustomDraw post;
    custom(cdds::PostPaint, -1, 0, c, post);
  }
}

LResult ListCtrl::WindowProc(MsgId msg, WParam wp, LParam lp) {
  auto hitAt = [this](LParam at) {
    LvHitTestInfo info;
    info.pt = PointFromLParam(at);
    SubItemHitTest(&info);
    return info;
  };
  switch (msg) {
    case lvm::GetItemCount: return GetItemCount();
    case lvm::DeleteItem: return DeleteItem(int(wp)) ? 1 : 0;
    case lvm::DeleteAllItems: return DeleteAllItems() ? 1 : 0;
    case lvm::GetNextItem: return GetNextItem(int(std::intptr_t(wp)), unsigned(lp));
    case lvm::EnsureVisible: return EnsureVisible(int(wp), lp != 0) ? 1 : 0;
    case lvm::Scroll: return Scroll(Size(int(std::intptr_t(wp)), int(lp))) ? 1 : 0;
    case lvm::GetColumnWidth: return GetColumnWidth(int(wp));
    case lvm::SetColumnWidth: return SetColumnWidth(int(wp), GetXLParam(lp)) ? 1 : 0;
    case lvm::GetHeader: return LResult(GetHeaderCtrl());
    case lvm::GetTopIndex: return top_;
    case lvm::GetCountPerPage: return GetCountPerPage();
    case lvm::GetItemState: return GetItemState(int(wp), unsigned(lp));
    case lvm::SetItemState: {
      auto* it = reinterpret_cast<LvItem*>(lp);
      return it && SetItemState(int(std::intptr_t(wp)), it->state, it->stateMask) ? 1 : 0;
    }
    case lvm::GetSelectedCount: return GetSelectedCount();
    case lvm::SetExtendedListViewStyle: {
      unsigned mask = wp ? unsigned(wp) : 0xFFFFFFFFu;
      return SetExtendedStyle((exStyle_ & ~mask) | (unsigned(lp) & mask));
    }
    case lvm::GetExtendedListViewStyle: return exStyle_;
    case lvm::GetItemRect: {
      auto* r = reinterpret_cast<Rect*>(lp);
      return r && GetItemRect(int(wp), r, r->left) ? 1 : 0;
    }
    case lvm::GetSubItemRect: {
      auto* r = reinterpret_cast<Rect*>(lp);
      return r && GetSubItemRect(int(wp), r->top, r->left, *r) ? 1 : 0;
    }
    case lvm::SubItemHitTest: return SubItemHitTest(reinterpret_cast<LvHitTestInfo*>(lp));
    case lvm::GetSelectionMark: return selMark_;
    case lvm::SetSelectionMark: return SetSelectionMark(int(lp));
    case wm::Paint: {
      PaintDC dc(this);
      paintList(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::GetDlgCode: return dlgc::WantArrows | dlgc::WantChars;
    case wm::Command:
      // The label editor: Enter/Escape arrive as keys, focus loss ends it.
      if (editing_ && HwndFromParam(lp) == editing_->m_hWnd && HiWord(wp) == en::KillFocus) {
        endEditLabel(false);
        return 0;
      }
      break;
    case wm::LButtonDown: {
      LvHitTestInfo info = hitAt(lp);
      userClick(info.iItem, info.iSubItem);
      return 0;
    }
    case wm::LButtonDblClk: {
      LvHitTestInfo info = hitAt(lp);
      userDoubleClick(info.iItem, info.iSubItem);
      return 0;
    }
    case wm::RButtonDown: {
      LvHitTestInfo info = hitAt(lp);
      userRightClick(info.iItem, info.iSubItem);
      return 0;
    }
    case wm::RButtonUp: return 0;  // the context menu came with the right click
    case wm::KeyDown: userKey(unsigned(wp)); return 0;
    case wm::VScroll: {
      unsigned code = LoWord(wp);
      int per = std::max(1, GetCountPerPage());
      int n = int(rows_.size());
      if (code == sb::LineDown) top_ = std::min(top_ + 1, std::max(0, n - per));
      if (code == sb::LineUp) top_ = std::max(0, top_ - 1);
      if (code == sb::PageDown) top_ = std::min(top_ + per, std::max(0, n - per));
      if (code == sb::PageUp) top_ = std::max(0, top_ - per);
      if (code == sb::ThumbPosition || code == sb::ThumbTrack) top_ = std::clamp(int(HiWord(wp)), 0, std::max(0, n - per));
      if (code == sb::Top) top_ = 0;
      if (code == sb::Bottom) top_ = std::max(0, n - per);
      Invalidate();
      return 0;
    }
    case wm::HScroll: {
      unsigned code = LoWord(wp);
      if (code == sb::LineRight) scrollX_ += 10;
      if (code == sb::LineLeft) scrollX_ = std::max(0, scrollX_ - 10);
      if (code == sb::ThumbPosition || code == sb::ThumbTrack) scrollX_ = int(HiWord(wp));
      Invalidate();
      return 0;
    }
    case wm::MouseWheel: {
      int lines = -GetWheelDelta(wp) / 120 * 3;
      top_ = std::clamp(top_ + lines, 0, std::max(0, int(rows_.size()) - std::max(1, GetCountPerPage())));
      Invalidate();
      return 1;
    }
  }
  return Wnd::WindowProc(msg, wp, lp);
}

}  // namespace ui
