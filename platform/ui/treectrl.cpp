// The tree control.
#include <algorithm>
#include <functional>

#include "platform/ui/keep_alive.h"
#include "platform/ui/controls.h"
#include "platform/ui/detail.h"

namespace ui {

struct TreeCtrl::Node {
  HTreeItem handle = nullptr;
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> kids;
  std::wstring text;
  std::uintptr_t data = 0;
  unsigned state = 0;
  int image = 0, selImage = 0;
  bool checked = false;
};

namespace {
constexpr int kIndent = 19;
constexpr int kBox = 16;
}  // namespace

TreeCtrl::TreeCtrl() : root_(std::make_unique<Node>()) { root_->state = tvis::Expanded; }
TreeCtrl::~TreeCtrl() = default;

bool TreeCtrl::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::TreeView, L"", style, r, parent, id);
}

TreeCtrl::Node* TreeCtrl::node(HTreeItem item) const {
  if (!item) return nullptr;
  if (item == TVI_ROOT) return root_.get();
  auto it = index_.find(item);
  return it == index_.end() ? nullptr : it->second;
}

bool TreeCtrl::isValid(HTreeItem item) const { return item && item != TVI_ROOT && index_.count(item); }

LResult TreeCtrl::notifyParent(NotifyHeader* hdr, int code) {
  hdr->hwndFrom = m_hWnd;
  hdr->idFrom = std::uintptr_t(GetDlgCtrlID());
  hdr->code = code;
  Wnd* p = GetParent();
  if (!p) return 0;
  return p->SendMessage(wm::Notify, WParam(hdr->idFrom), ToLParam(hdr));
}

HTreeItem TreeCtrl::InsertItem(const std::wstring& text, HTreeItem parent, HTreeItem after) {
  return InsertItem(text, 0, 0, parent, after);
}

HTreeItem TreeCtrl::InsertItem(const std::wstring& text, int image, int selectedImage, HTreeItem parent,
                               HTreeItem after) {
  Node* p = node(parent ? parent : TVI_ROOT);
  if (!p) return nullptr;
  auto n = std::make_unique<Node>();
  n->handle = reinterpret_cast<HTreeItem>(nextId_++ * 16);
  n->parent = p;
  n->text = text;
  n->image = image;
  n->selImage = selectedImage;
  Node* raw = n.get();
  auto& k = p->kids;
  if (after == TVI_FIRST) {
    k.insert(k.begin(), std::move(n));
  } else if (after == TVI_SORT) {
    auto it = std::find_if(k.begin(), k.end(), [&](const std::unique_ptr<Node>& x) { return x->text > text; });
    k.insert(it, std::move(n));
  } else if (after == TVI_LAST || !after) {
    k.push_back(std::move(n));
  } else {
    auto it = std::find_if(k.begin(), k.end(), [&](const std::unique_ptr<Node>& x) { return x->handle == after; });
    k.insert(it == k.end() ? k.end() : it + 1, std::move(n));
  }
  index_[raw->handle] = raw;
  Invalidate();
  return raw->handle;
}

bool TreeCtrl::DeleteItem(HTreeItem item) {
  if (item == TVI_ROOT) return DeleteAllItems();
  Node* n = node(item);
  if (!n) return false;
  std::function<void(Node*)> unindex = [&](Node* x) {
    NmTreeView nm;
    nm.itemOld.hItem = x->handle;
    nm.itemOld.lParam = std::intptr_t(x->data);
    notifyParent(&nm.hdr, tvn::DeleteItem);
    index_.erase(x->handle);
    if (selected_ == x->handle) selected_ = nullptr;
    for (auto& c : x->kids) unindex(c.get());
  };
  unindex(n);
  auto& k = n->parent->kids;
  k.erase(std::remove_if(k.begin(), k.end(), [&](const std::unique_ptr<Node>& x) { return x.get() == n; }), k.end());
  Invalidate();
  return true;
}

bool TreeCtrl::DeleteAllItems() {
  auto kids = std::move(root_->kids);
  root_->kids.clear();
  for (auto& c : kids) {
    root_->kids.push_back(std::move(c));
    DeleteItem(root_->kids.back()->handle);
  }
  root_->kids.clear();
  index_.clear();
  selected_ = nullptr;
  top_ = 0;
  Invalidate();
  return true;
}

std::wstring TreeCtrl::GetItemText(HTreeItem item) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  return n ? n->text : std::wstring();
}
bool TreeCtrl::SetItemText(HTreeItem item, const std::wstring& text) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  n->text = text;
  Invalidate();
  return true;
}
std::uintptr_t TreeCtrl::GetItemData(HTreeItem item) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  return n ? n->data : 0;
}
bool TreeCtrl::SetItemData(HTreeItem item, std::uintptr_t d) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  n->data = d;
  return true;
}
bool TreeCtrl::GetItemImage(HTreeItem item, int& image, int& sel) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  image = n->image;
  sel = n->selImage;
  return true;
}
bool TreeCtrl::SetItemImage(HTreeItem item, int image, int sel) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  n->image = image;
  n->selImage = sel;
  Invalidate();
  return true;
}

HTreeItem TreeCtrl::GetRootItem() const { return root_->kids.empty() ? nullptr : root_->kids.front()->handle; }
HTreeItem TreeCtrl::GetParentItem(HTreeItem item) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n || n->parent == root_.get()) return nullptr;
  return n->parent->handle;
}
HTreeItem TreeCtrl::GetChildItem(HTreeItem item) const {
  Node* n = item ? node(item) : root_.get();
  if (!n || n->kids.empty()) return nullptr;
  return n->kids.front()->handle;
}
HTreeItem TreeCtrl::GetNextSiblingItem(HTreeItem item) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return nullptr;
  auto& k = n->parent->kids;
  for (size_t i = 0; i + 1 < k.size(); ++i)
    if (k[i].get() == n) return k[i + 1]->handle;
  return nullptr;
}
HTreeItem TreeCtrl::GetPrevSiblingItem(HTreeItem item) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return nullptr;
  auto& k = n->parent->kids;
  for (size_t i = 1; i < k.size(); ++i)
    if (k[i].get() == n) return k[i - 1]->handle;
  return nullptr;
}

std::vector<TreeCtrl::Node*> TreeCtrl::visibleNodes() const {
  std::vector<Node*> out;
  std::function<void(Node*)> walk = [&](Node* n) {
    for (auto& c : n->kids) {
      out.push_back(c.get());
      if (c->state & tvis::Expanded) walk(c.get());
    }
  };
  walk(root_.get());
  return out;
}

HTreeItem TreeCtrl::GetNextVisibleItem(HTreeItem item) const {
  auto v = visibleNodes();
  for (size_t i = 0; i + 1 < v.size(); ++i)
    if (v[i]->handle == item) return v[i + 1]->handle;
  return nullptr;
}
HTreeItem TreeCtrl::GetFirstVisibleItem() const {
  auto v = visibleNodes();
  return top_ < int(v.size()) ? v[size_t(top_)]->handle : nullptr;
}

HTreeItem TreeCtrl::GetNextItem(HTreeItem item, unsigned code) const {
  switch (code) {
    case tvgn::Root: return GetRootItem();
    case tvgn::Next: return GetNextSiblingItem(item);
    case tvgn::Previous: return GetPrevSiblingItem(item);
    case tvgn::Parent: return GetParentItem(item);
    case tvgn::Child: return GetChildItem(item);
    case tvgn::FirstVisible: return GetFirstVisibleItem();
    case tvgn::NextVisible: return GetNextVisibleItem(item);
    case tvgn::Caret: return selected_;
  }
  return nullptr;
}

bool TreeCtrl::ItemHasChildren(HTreeItem item) const {
  Node* n = item == TVI_ROOT ? root_.get() : (isValid(item) ? node(item) : nullptr);
  return n && !n->kids.empty();
}
unsigned TreeCtrl::GetCount() const { return unsigned(index_.size()); }
unsigned TreeCtrl::GetVisibleCount() const { return unsigned(std::max(0, clientRect().Height() / itemHeight())); }

bool TreeCtrl::Expand(HTreeItem item, unsigned code) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  bool open = n->state & tvis::Expanded;
  bool want = code == tve::Expand ? true : code == tve::Collapse ? false : !open;
  if (want == open) return true;
  NmTreeView nm;
  nm.action = want ? tve::Expand : tve::Collapse;
  nm.itemNew.hItem = item;
  nm.itemNew.lParam = std::intptr_t(n->data);
  if (notifyParent(&nm.hdr, tvn::ItemExpanding)) return false;
  if (!(n = node(item))) return false;
  if (want)
    n->state |= tvis::Expanded;
  else
    n->state &= ~tvis::Expanded;
  nm.itemNew.state = n->state;
  notifyParent(&nm.hdr, tvn::ItemExpanded);
  Invalidate();
  return true;
}

unsigned TreeCtrl::GetItemState(HTreeItem item, unsigned mask) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return 0;
  unsigned s = n->state | (item == selected_ ? tvis::Selected : 0);
  s = (s & ~tvis::StateImageMask) | ((n->checked ? 2u : 1u) << 12);
  return s & mask;
}

bool TreeCtrl::SetItemState(HTreeItem item, unsigned state, unsigned mask) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  if (mask & tvis::StateImageMask) n->checked = ((state & tvis::StateImageMask) >> 12) == 2;
  n->state = (n->state & ~(mask & ~tvis::StateImageMask)) | (state & mask & ~tvis::StateImageMask);
  Invalidate();
  return true;
}

bool TreeCtrl::GetCheck(HTreeItem item) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  return n && n->checked;
}
bool TreeCtrl::SetCheck(HTreeItem item, bool check) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  n->checked = check;
  Invalidate();
  return true;
}

bool TreeCtrl::SelectItem(HTreeItem item) {
  if (item && !isValid(item)) return false;
  if (item == selected_) return true;
  NmTreeView nm;
  nm.action = 0;
  nm.itemOld.hItem = selected_;
  nm.itemOld.lParam = std::intptr_t(GetItemData(selected_));
  nm.itemNew.hItem = item;
  nm.itemNew.lParam = std::intptr_t(GetItemData(item));
  if (notifyParent(&nm.hdr, tvn::SelChanging)) return false;
  selected_ = item;
  notifyParent(&nm.hdr, tvn::SelChanged);
  Invalidate();
  return true;
}
HTreeItem TreeCtrl::GetSelectedItem() const { return selected_; }

bool TreeCtrl::EnsureVisible(HTreeItem item) {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n) return false;
  for (Node* p = n->parent; p && p != root_.get(); p = p->parent) p->state |= tvis::Expanded;
  auto v = visibleNodes();
  int idx = int(std::find(v.begin(), v.end(), n) - v.begin());
  int per = std::max(1, int(GetVisibleCount()));
  if (idx < top_) top_ = idx;
  if (idx >= top_ + per) top_ = idx - per + 1;
  Invalidate();
  return true;
}

int TreeCtrl::itemHeight() const { return std::max(FontPixelHeight(effectiveFont()) + 4, 16); }

bool TreeCtrl::GetItemRect(HTreeItem item, Rect* r, bool textOnly) const {
  Node* n = isValid(item) ? node(item) : nullptr;
  if (!n || !r) return false;
  auto v = visibleNodes();
  auto it = std::find(v.begin(), v.end(), n);
  if (it == v.end()) return false;
  int row = int(it - v.begin()) - top_;
  int y = row * itemHeight();
  if (!textOnly) {
    *r = Rect(0, y, clientRect().Width(), y + itemHeight());
    return true;
  }
  int depth = 0;
  for (Node* p = n->parent; p != root_.get(); p = p->parent) ++depth;
  bool rootLines = GetStyle() & (tvs::LinesAtRoot);
  int x = (depth + (rootLines ? 1 : 0)) * kIndent;
  if (GetStyle() & tvs::CheckBoxes) x += kBox;
  if (images_[0] && images_[0]->IsValid()) x += images_[0]->imageSize().cx;
  int w = TextExtent(effectiveFont(), n->text).cx + 4;
  *r = Rect(x, y, x + w, y + itemHeight());
  return true;
}

HTreeItem TreeCtrl::HitTest(Point p, unsigned* flags) const {
  TvHitTestInfo info;
  info.pt = p;
  HTreeItem h = HitTest(&info);
  if (flags) *flags = info.flags;
  return h;
}

HTreeItem TreeCtrl::HitTest(TvHitTestInfo* info) const {
  if (!info) return nullptr;
  info->hItem = nullptr;
  Rect c = clientRect();
  Point p = info->pt;
  if (p.y < 0) { info->flags = tvht::Above; return nullptr; }
  if (p.y >= c.bottom) { info->flags = tvht::Below; return nullptr; }
  if (p.x < 0) { info->flags = tvht::ToLeft; return nullptr; }
  if (p.x >= c.right) { info->flags = tvht::ToRight; return nullptr; }
  auto v = visibleNodes();
  int row = top_ + p.y / itemHeight();
  if (row < 0 || row >= int(v.size())) {
    info->flags = tvht::Nowhere;
    return nullptr;
  }
  Node* n = v[size_t(row)];
  info->hItem = n->handle;
  Rect label;
  GetItemRect(n->handle, &label, true);
  int x = label.left;
  int imgW = (images_[0] && images_[0]->IsValid()) ? images_[0]->imageSize().cx : 0;
  int boxL = x - imgW - ((GetStyle() & tvs::CheckBoxes) ? kBox : 0);
  if (p.x >= label.right)
    info->flags = tvht::OnItemRight;
  else if (p.x >= x)
    info->flags = tvht::OnItemLabel;
  else if (imgW && p.x >= x - imgW)
    info->flags = tvht::OnItemIcon;
  else if ((GetStyle() & tvs::CheckBoxes) && p.x >= boxL)
    info->flags = tvht::OnItemStateIcon;
  else if ((GetStyle() & tvs::HasButtons) && !n->kids.empty() && p.x >= boxL - kIndent)
    info->flags = tvht::OnItemButton;
  else
    info->flags = tvht::OnItemIndent;
  return n->handle;
}

ImageList* TreeCtrl::SetImageList(ImageList* list, int type) {
  int t = type == 2 ? 1 : 0;
  return std::exchange(images_[t], list);
}
ImageList* TreeCtrl::GetImageList(int type) const { return images_[type == 2 ? 1 : 0]; }

void TreeCtrl::clickAt(HTreeItem item, Point p, int code) {
  Hwnd h = m_hWnd;
  Point sp = p;
  ClientToScreen(&sp);
  SetCursorPos(sp);
  SetFocus();
  if (!IsWindow(h)) return;
  NmTreeView nm;
  nm.itemNew.hItem = item;
  nm.ptDrag = p;
  detail::setMessagePos(sp);
  notifyParent(&nm.hdr, code);
}

void TreeCtrl::userClick(HTreeItem item) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled() || !isValid(item)) return;
  EnsureVisible(item);
  Rect r;
  GetItemRect(item, &r, true);
  Point p{r.left + 2, r.top + 2};
  Hwnd h = m_hWnd;
  clickAt(item, p, nm::Click);
  if (IsWindow(h) && isValid(item)) SelectItem(item);
}

void TreeCtrl::userClickCheckBox(HTreeItem item) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled() || !isValid(item) || !(GetStyle() & tvs::CheckBoxes)) return;
  EnsureVisible(item);
  Rect r;
  GetItemRect(item, &r, true);
  int imgW = (images_[0] && images_[0]->IsValid()) ? images_[0]->imageSize().cx : 0;
  Point p{r.left - imgW - kBox + 4, r.top + 2};
  Hwnd h = m_hWnd;
  clickAt(item, p, nm::Click);
  // The box toggles after the click notification, as the platform does.
  if (IsWindow(h) && isValid(item)) SetCheck(item, !GetCheck(item));
}

void TreeCtrl::userDoubleClick(HTreeItem item) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled() || !isValid(item)) return;
  Hwnd h = m_hWnd;
  userClick(item);
  if (!IsWindow(h) || !isValid(item)) return;
  Rect r;
  GetItemRect(item, &r, true);
  Point p{r.left + 2, r.top + 2};
  NmTreeView nm;
  nm.itemNew.hItem = item;
  Point sp = p;
  ClientToScreen(&sp);
  detail::setMessagePos(sp);
  LResult handled = notifyParent(&nm.hdr, nm::DblClk);
  if (!handled && IsWindow(h) && ItemHasChildren(item)) Expand(item, tve::Toggle);
}

void TreeCtrl::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<TreeCtrl*>(&previous)) {
    root_ = std::move(p->root_);
    p->root_ = std::make_unique<Node>();
    index_ = std::move(p->index_);
    p->index_.clear();
    nextId_ = p->nextId_;
    selected_ = p->selected_;
    top_ = p->top_;
    std::copy(std::begin(p->images_), std::end(p->images_), std::begin(images_));
  }
}

void TreeCtrl::paintTree(DC& dc) {
  Rect c = clientRect();
  dc.FillSolidRect(c, GetSysColor(color::Window));
  dc.SetBkMode(bkmode::Transparent);
  auto v = visibleNodes();
  int ih = itemHeight();
  for (int row = top_; row < int(v.size()); ++row) {
    Node* n = v[size_t(row)];
    int y = (row - top_) * ih;
    if (y >= c.bottom) break;
    Rect label;
    GetItemRect(n->handle, &label, true);
    if ((GetStyle() & tvs::HasButtons) && !n->kids.empty()) {
      int bx = label.left - ((GetStyle() & tvs::CheckBoxes) ? kBox : 0) - kIndent + 5;
      Rect b(bx, y + ih / 2 - 4, bx + 9, y + ih / 2 + 5);
      Brush frameB(GetSysColor(color::BtnShadow));
      dc.FrameRect(b, &frameB);
      dc.MoveTo(b.left + 2, b.top + 4);
      dc.LineTo(b.right - 2, b.top + 4);
      if (!(n->state & tvis::Expanded)) {
        dc.MoveTo(b.left + 4, b.top + 2);
        dc.LineTo(b.left + 4, b.bottom - 2);
      }
    }
    if (GetStyle() & tvs::CheckBoxes) {
      int imgW = (images_[0] && images_[0]->IsValid()) ? images_[0]->imageSize().cx : 0;
      Rect box(label.left - imgW - kBox + 2, y + ih / 2 - 6, label.left - imgW - 2 , y + ih / 2 + 6);
      dc.FillSolidRect(box, RGB(255, 255, 255));
      Brush frameB(RGB(0, 0, 0));
      dc.FrameRect(box, &frameB);
      if (n->checked) {
        dc.MoveTo(box.left + 2, box.top + 6);
        dc.LineTo(box.left + 5, box.bottom - 3);
        dc.LineTo(box.right - 2, box.top + 2);
      }
    }
    if (images_[0] && images_[0]->IsValid())
      images_[0]->Draw(&dc, n->handle == selected_ ? n->selImage : n->image,
                       Point{label.left - images_[0]->imageSize().cx, y}, ild::Transparent);
    if (n->handle == selected_) {
      dc.FillSolidRect(label, GetSysColor(color::Highlight));
      dc.SetTextColor(GetSysColor(color::HighlightText));
    } else {
      dc.SetTextColor(GetSysColor(color::WindowText));
    }
    dc.DrawText(n->text, label, dt::SingleLine | dt::VCenter | dt::NoPrefix);
  }
}

LResult TreeCtrl::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case wm::Paint: {
      PaintDC dc(this);
      paintTree(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::GetDlgCode: return dlgc::WantArrows | dlgc::WantChars;
    case wm::LButtonDown: {
      unsigned flags = 0;
      HTreeItem item = HitTest(PointFromLParam(lp), &flags);
      if (!item) return 0;
      if (flags & tvht::OnItemStateIcon)
        userClickCheckBox(item);
      else if (flags & tvht::OnItemButton)
        Expand(item, tve::Toggle);
      else
        userClick(item);
      return 0;
    }
    case wm::LButtonDblClk: {
      HTreeItem item = HitTest(PointFromLParam(lp), nullptr);
      if (item) userDoubleClick(item);
      return 0;
    }
    case wm::KeyDown: {
      auto v = visibleNodes();
      auto it = std::find_if(v.begin(), v.end(), [&](Node* n) { return n->handle == selected_; });
      int i = it == v.end() ? -1 : int(it - v.begin());
      if (wp == vk::Down && i + 1 < int(v.size())) SelectItem(v[size_t(i + 1)]->handle);
      if (wp == vk::Up && i > 0) SelectItem(v[size_t(i - 1)]->handle);
      if (wp == vk::Space && selected_ && (GetStyle() & tvs::CheckBoxes)) SetCheck(selected_, !GetCheck(selected_));
      return 0;
    }
  }
  return Wnd::WindowProc(msg, wp, lp);
}

}  // namespace ui
