// The standard controls: static text and pictures, edits, buttons (push,
// check, radio, group, owner-drawn), combo boxes, list boxes, the report-view
// list control, the tree control, tabs, progress bars, scroll bars, headers,
// and popup menus.
//
// Controls keep their content in the object and answer both their member
// functions and the raw control messages (cb::AddString, lvm::GetItemCount,
// bm::GetCheck, ...), so code that sends numbers works as well as code that
// calls members. Notifications go to the parent (wm::Command or wm::Notify)
// and are offered back to the control first (OnChildNotify), so a derived
// control can handle its own notifications.
//
// User actions (typing, clicking, choosing an item) are the members named
// user...: they change the content and send the notifications a person's
// action would. The scripted answers of dialogs use them.
//
// Class names for CreateEx and dialog templates: "Static", "Edit", "Button",
// "ComboBox", "ListBox", "ListView", "TreeView", "TabControl", "Progress",
// "ScrollBar", "Header".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/wnd.h"

namespace ui {

namespace class_name {
inline const std::wstring Static = L"Static", Edit = L"Edit", Button = L"Button",
                          ComboBox = L"ComboBox", ListBox = L"ListBox", ListView = L"ListView",
                          TreeView = L"TreeView", TabControl = L"TabControl",
                          Progress = L"Progress", ScrollBar = L"ScrollBar", Header = L"Header",
                          Dialog = L"Dialog", Window = L"Wnd";
}

// Registers the built-in classes (called by the layer on first use).
void registerControlClasses();

// ---------------------------------------------------------------------------
// Static text, frames and pictures
// ---------------------------------------------------------------------------
class Static : public Wnd {
 public:
  bool Create(const std::wstring& text, unsigned style, const Rect& r, Wnd* parent, unsigned id = unsigned(IDC_STATIC));
  using Wnd::Create;
  // Picture controls (ss::Bitmap): the bitmap shown; answers the previous.
  Bitmap* SetBitmap(Bitmap* bmp);
  Bitmap* GetBitmap() const { return bitmap_; }
  // An image file shown by the picture control (resources give bitmaps as files).
  void setImagePath(const std::wstring& path) { imagePath_ = path; Invalidate(); }
  const std::wstring& imagePath() const { return imagePath_; }
  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 protected:
  void paintStatic(DC& dc);
  Bitmap* bitmap_ = nullptr;
  std::wstring imagePath_;
};

// ---------------------------------------------------------------------------
// Edit
// ---------------------------------------------------------------------------
class Edit : public Wnd {
 public:
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  void SetSel(int start, int end, bool noScroll = false);
  void SetSel(std::uint32_t packed, bool noScroll = false) { SetSel(int(LoWord(packed)), int(HiWord(packed)), noScroll); }
  void GetSel(int& start, int& end) const;
  std::uint32_t GetSel() const;
  void ReplaceSel(std::wstring_view text, bool canUndo = false);
  bool SetReadOnly(bool readOnly = true);
  bool isReadOnly() const;
  void LimitText(int chars = 0);
  int GetLimitText() const { return limit_; }
  int GetLineCount() const;
  std::wstring GetLine(int index) const;
  bool GetModify() const { return modified_; }
  void SetModify(bool m = true) { modified_ = m; }
  bool CanUndo() const { return undo_.has_value(); }
  bool Undo();
  void Clear();  // deletes the selection
  void Copy();   // selection to the clipboard
  void Cut();
  void Paste();  // clipboard text replaces the selection

  // A person's typing: the text replaces the selection, en::Update and
  // en::Change follow. Read-only edits refuse (answer false).
  bool userType(std::wstring_view text);
  // A person selecting all and typing the new value.
  bool userSetText(std::wstring_view text);

  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 protected:
  void notify(unsigned code);
  void paintEdit(DC& dc);
  void applyText(std::wstring text, bool notifyChange);
  int selStart_ = 0, selEnd_ = 0;
  int limit_ = 0;
  bool modified_ = false;
  std::optional<std::wstring> undo_;
};

// ---------------------------------------------------------------------------
// Buttons
// ---------------------------------------------------------------------------
class Button : public Wnd {
 public:
  bool Create(const std::wstring& text, unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  int GetCheck() const { return check_; }
  void SetCheck(int check);
  unsigned GetState() const;
  void SetState(bool pushed);
  unsigned GetButtonStyle() const;
  void SetButtonStyle(unsigned style, bool redraw = true);
  Bitmap* SetBitmap(Bitmap* bmp);
  Bitmap* GetBitmap() const { return bitmap_; }
  // A person's click: an auto check box toggles, an auto radio button checks
  // itself and clears the others of its group; then bn::Clicked. A disabled
  // button ignores it (answers false).
  bool userClick();
  // Owner-drawn buttons (bs::OwnerDraw) paint through this.
  virtual void DrawItem(DrawItemStruct* dis);

  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;
  bool OnChildNotify(MsgId msg, WParam wp, LParam lp, LResult* result) override;
  unsigned typeOf() const { return GetStyle() & bs::TypeMask; }

 protected:
  void paintButton(DC& dc);
  int check_ = BST_UNCHECKED;
  bool pushed_ = false;
  Bitmap* bitmap_ = nullptr;
};

// ---------------------------------------------------------------------------
// Combo box and list box (shared item list)
// ---------------------------------------------------------------------------
struct ListEntry {
  std::wstring text;
  std::uintptr_t data = 0;
  bool selected = false;  // list boxes with several selections
};

// The item list and current item that combo boxes and list boxes share.
// Index errors answer -1 (cb::Err, lb::Err).
class ItemListWnd : public Wnd {
 public:
  int GetCount() const { return int(items_.size()); }
  int GetCurSel() const { return cur_; }
  // Case-insensitive prefix search starting after `after` (-1: from the
  // start), wrapping round. -1 when nothing matches.
  int FindString(int after, std::wstring_view prefix) const;
  int FindStringExact(int after, std::wstring_view text) const;
  int SetItemData(int index, std::uintptr_t data);
  std::uintptr_t GetItemData(int index) const;
  int SetItemDataPtr(int index, void* p) { return SetItemData(index, reinterpret_cast<std::uintptr_t>(p)); }
  void* GetItemDataPtr(int index) const { return reinterpret_cast<void*>(GetItemData(index)); }
  // Owner-drawn lists measure and paint through these.
  virtual void DrawItem(DrawItemStruct* dis);
  virtual void MeasureItem(MeasureItemStruct* mis);

  const std::vector<ListEntry>& items() const { return items_; }

 protected:
  bool inRange(int index) const { return index >= 0 && index < int(items_.size()); }
  // Inserts in sorted place (case-insensitive) when `sorted`, else at the
  // end, moving the current item along, and repaints. Answers the index.
  int addItem(std::wstring_view text, bool sorted);
  // Inserts at `index` (-1: the end) likewise; -1 when out of range.
  int insertItem(int index, std::wstring_view text);
  // Removes an item in range; true when it was the current one (cleared).
  bool eraseItem(int index);
  int itemText(int index, std::wstring& out) const;
  int itemTextLen(int index) const;
  // Copies an item's text and a closing nul into the buffer at `lp` (when
  // not null); answers the length, or -1 when out of range.
  LResult copyItemText(int index, LParam lp) const;
  // wm::DrawItem / wm::MeasureItem sent back to an owner-drawn list.
  bool ownerDrawNotify(MsgId msg, LParam lp, LResult* result);
  std::vector<ListEntry> items_;
  int cur_ = -1;
};

class ComboBox : public ItemListWnd {
 public:
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  // Adds at the end, or in sorted place with cbs::Sort (case-insensitive,
  // the empty string first). Answers the index.
  int AddString(std::wstring_view text);
  int InsertString(int index, std::wstring_view text);  // -1: at the end
  int DeleteString(int index);  // answers the count left, or cb::Err
  void ResetContent();
  int SetCurSel(int index);  // -1 clears; answers cb::Err when out of range
  int GetLBText(int index, std::wstring& out) const;
  std::wstring GetLBText(int index) const;
  int GetLBTextLen(int index) const;
  // FindString, then select it (cb::Err leaves the selection).
  int SelectString(int after, std::wstring_view prefix);
  int SetItemHeight(int index, unsigned height);  // -1: the selection field
  int GetItemHeight(int index) const;
  int SetDroppedWidth(unsigned width);
  int GetDroppedWidth() const;
  void SetHorizontalExtent(unsigned extent) { hExtent_ = extent; }
  unsigned GetHorizontalExtent() const { return hExtent_; }
  void ShowDropDown(bool show = true);
  bool GetDroppedState() const { return dropped_; }
  bool LimitText(int chars);
  bool SetEditSel(int start, int end);
  std::uint32_t GetEditSel() const;
  // The edit field of drop-down and simple combos (child id 1001), else null.
  Edit* editField() const;
  // The text shown: the edit field's, or the selected item's.
  std::wstring currentText() const;

  // Owner-drawn combos (cbs::OwnerDraw*) measure and paint through DrawItem
  // and MeasureItem.
  virtual int CompareItem(const std::wstring& a, const std::wstring& b) const;

  // A person choosing an item from the list: drop-down, selection, close-up
  // with cbn::DropDown, cbn::SelChange, cbn::SelEndOk, cbn::CloseUp. False
  // when disabled or out of range.
  bool userSelect(int index);
  // A person typing into the edit field (drop-down/simple combos; for a
  // drop-down list, the matching item is chosen instead).
  bool userSetText(std::wstring_view text);

  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;
  bool OnChildNotify(MsgId msg, WParam wp, LParam lp, LResult* result) override;
  // The window is the selection field; the height asked for is the height of
  // the open list, as in templates.
  bool PreCreateWindow(CreateStruct& cs) override;
  int droppedHeight() const { return droppedHeight_; }
  unsigned typeOf() const { return GetStyle() & cbs::TypeMask; }

 protected:
  void notify(unsigned code);
  void paintCombo(DC& dc);
  void syncEdit();
  bool ownerDraw() const { return GetStyle() & (cbs::OwnerDrawFixed | cbs::OwnerDrawVariable); }
  bool syncing_ = false;
  int droppedHeight_ = 0;
  int itemHeight_ = -1, fieldHeight_ = -1;
  unsigned droppedWidth_ = 0, hExtent_ = 0;
  bool dropped_ = false;
  int limit_ = 0;
};

class ListBox : public ItemListWnd {
 public:
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  int AddString(std::wstring_view text);
  int InsertString(int index, std::wstring_view text);
  int DeleteString(int index);
  void ResetContent();
  int SetCurSel(int index);
  int GetText(int index, std::wstring& out) const;
  std::wstring GetText(int index) const;
  int GetTextLen(int index) const;
  int SelectString(int after, std::wstring_view prefix);
  // Several selections (lbs::MultipleSel/ExtendedSel).
  int SetSel(int index, bool select = true);  // -1: all
  int GetSel(int index) const;
  int GetSelCount() const;
  std::vector<int> GetSelItems() const;
  int GetTopIndex() const { return top_; }
  int SetTopIndex(int index);
  int GetItemHeight(int index = 0) const;
  int SetItemHeight(int index, unsigned height);
  int GetItemRect(int index, Rect* r) const;
  // Index under a client point, or -1.
  int ItemFromPoint(Point p) const;

  // A person clicking an item (lbn::SelChange when lbs::Notify), double
  // clicking it (lbn::DblClk).
  bool userSelect(int index);
  bool userDoubleClick(int index);

  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;
  bool OnChildNotify(MsgId msg, WParam wp, LParam lp, LResult* result) override;

 protected:
  void notify(unsigned code);
  void paintList(DC& dc);
  int top_ = 0, itemHeight_ = -1;
};

// ---------------------------------------------------------------------------
// Header (the column header of a list control)
// ---------------------------------------------------------------------------
class HeaderCtrl : public Wnd {
 public:
  int GetItemCount() const;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 private:
  friend class ListCtrl;
  class ListCtrl* list_ = nullptr;
};

// ---------------------------------------------------------------------------
// List control (report view)
// ---------------------------------------------------------------------------
struct LvItem {
  unsigned mask = 0;  // lvif::
  int iItem = 0, iSubItem = 0;
  unsigned state = 0, stateMask = 0;
  wchar_t* pszText = nullptr;  // in: text to set; out: buffer of cchTextMax
  int cchTextMax = 0;
  int iImage = 0;
  std::intptr_t lParam = 0;
};
struct LvColumn {
  int fmt = lvcfmt::Left;
  int cx = 0;
  std::wstring text;
  int iSubItem = 0;
};
struct NmListView {
  NotifyHeader hdr;
  int iItem = -1, iSubItem = 0;
  unsigned uNewState = 0, uOldState = 0, uChanged = 0;
  Point ptAction;
  std::intptr_t lParam = 0;
};
struct NmItemActivate {
  NotifyHeader hdr;
  int iItem = -1, iSubItem = 0;
  unsigned uNewState = 0, uOldState = 0, uChanged = 0;
  Point ptAction;
  std::intptr_t lParam = 0;
  unsigned uKeyFlags = 0;
};
struct NmLvDispInfo {
  NotifyHeader hdr;
  LvItem item;  // end of label edit: pszText null when cancelled
};
struct NmLvKeyDown {
  NotifyHeader hdr;
  unsigned wVKey = 0, flags = 0;
};
struct NmCustomDraw {
  NotifyHeader hdr;
  unsigned dwDrawStage = 0;
  DC* hdc = nullptr;
  Rect rc;
  std::uintptr_t dwItemSpec = 0;
  unsigned uItemState = 0;  // cdis::
  std::intptr_t lItemlParam = 0;
};
struct NmLvCustomDraw {
  NmCustomDraw nmcd;
  Color clrText = kNoColor;
  Color clrTextBk = kNoColor;
  int iSubItem = 0;
};
struct LvHitTestInfo {
  Point pt;
  unsigned flags = 0;  // lvht::
  int iItem = -1, iSubItem = 0;
};

// Iteration over selected items (MFC-style positions: index + 1, 0 ends).
using ListPosition = std::uintptr_t;

class ListCtrl : public Wnd {
 public:
  ListCtrl();
  ~ListCtrl() override;
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;

  // Columns.
  int InsertColumn(int col, const std::wstring& heading, int format = lvcfmt::Left, int width = -1, int subItem = -1);
  bool DeleteColumn(int col);
  int GetColumnWidth(int col) const;
  bool SetColumnWidth(int col, int width);
  int columnCount() const { return int(columns_.size()); }
  const LvColumn* column(int col) const;
  HeaderCtrl* GetHeaderCtrl();

  // Items (row texts are per column: sub-item 0 is the label).
  int InsertItem(int index, const std::wstring& text);
  int InsertItem(int index, const std::wstring& text, int image);
  int InsertItem(const LvItem* item);
  bool SetItem(const LvItem* item);
  bool GetItem(LvItem* item) const;
  bool SetItemText(int item, int sub, const std::wstring& text);
  std::wstring GetItemText(int item, int sub) const;
  int GetItemText(int item, int sub, wchar_t* buf, int len) const;
  bool SetItemData(int item, std::uintptr_t data);
  std::uintptr_t GetItemData(int item) const;
  bool SetItemState(int item, unsigned state, unsigned mask);
  unsigned GetItemState(int item, unsigned mask) const;
  bool DeleteItem(int item);
  bool DeleteAllItems();
  int GetItemCount() const { return int(rows_.size()); }
  // Next item after `start` (-1: from the first) with all the lvni:: flags.
  int GetNextItem(int start, unsigned flags) const;
  unsigned GetSelectedCount() const;
  ListPosition GetFirstSelectedItemPosition() const;
  int GetNextSelectedItem(ListPosition& pos) const;
  int GetSelectionMark() const { return selMark_; }
  int SetSelectionMark(int index);

  // Layout: header row on top (unless lvs::NoColumnHeader), then rows of
  // rowHeight() from the top index, columns side by side from -scrollX.
  int rowHeight() const;
  int headerHeight() const;
  // Where a person points at a cell: just inside its label, or `otherwise`
  // when the cell has no label rectangle.
  Point labelPoint(int item, int sub, Point otherwise) const;
  bool EnsureVisible(int item, bool partialOk);
  bool Scroll(Size s);  // s.cy in pixels: rows scrolled = cy / rowHeight
  int GetTopIndex() const { return top_; }
  int GetCountPerPage() const;
  bool GetItemRect(int item, Rect* r, int code) const;
  bool GetSubItemRect(int item, int sub, int code, Rect& r) const;
  int HitTest(Point p, unsigned* flags = nullptr) const;
  int SubItemHitTest(LvHitTestInfo* info) const;

  unsigned SetExtendedStyle(unsigned ex);
  unsigned GetExtendedStyle() const { return exStyle_; }
  ImageList* SetImageList(ImageList* list, int type);
  ImageList* GetImageList(int type) const;
  bool SetBkColor(Color c) { bk_ = c; return true; }
  Color GetBkColor() const { return bk_; }
  bool SetTextColor(Color c) { text_ = c; return true; }
  Color GetTextColor() const { return text_; }
  bool SetTextBkColor(Color c) { textBk_ = c; return true; }
  Color GetTextBkColor() const { return textBk_; }

  // In-place label editing (lvs::EditLabels, or called directly): asks the
  // parent (lvn::BeginLabelEdit; TRUE refuses), then opens an edit over the
  // label holding its text. It ends on Enter, Escape, focus loss or
  // endEditLabel, with lvn::EndLabelEdit (pszText null when cancelled); when
  // the parent answers TRUE, the label takes the new text.
  Edit* EditLabel(int item);
  Edit* GetEditControl() const { return editing_; }
  int editingItem() const { return editItem_; }
  bool endEditLabel(bool cancel);

  // A person's actions: click (selects and focuses the item under the point,
  // NM_CLICK with the item and sub-item), double click (NM_DBLCLK), right click
  // (NM_RCLICK, then wm::ContextMenu), and a key press (lvn::KeyDown; arrows
  // move the selection).
  void userClick(int item, int sub = 0);
  void userDoubleClick(int item, int sub = 0);
  void userRightClick(int item, int sub = 0);
  void userKey(unsigned vkCode);

  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;
  // Enter and Escape in the label editor end the edit.
  bool PreTranslateMessage(Msg* msg) override;

 protected:
  struct Row {
    std::vector<std::wstring> texts;
    std::uintptr_t data = 0;
    unsigned state = 0;
    int image = -1;
  };
  LResult notifyParent(NotifyHeader* hdr, int code);
  void changeState(int item, unsigned state, unsigned mask);
  void paintList(DC& dc);
  int columnLeft(int col) const;
  std::vector<LvColumn> columns_;
  std::vector<Row> rows_;
  unsigned exStyle_ = 0;
  int top_ = 0, scrollX_ = 0, selMark_ = -1;
  ImageList* images_[3] = {nullptr, nullptr, nullptr};
  Color bk_ = kNoColor, text_ = kNoColor, textBk_ = kNoColor;
  Edit* editing_ = nullptr;
  int editItem_ = -1;
  std::unique_ptr<HeaderCtrl> header_;
};

// ---------------------------------------------------------------------------
// Tree control
// ---------------------------------------------------------------------------
struct TreeItemTag;
using HTreeItem = TreeItemTag*;
inline const HTreeItem TVI_ROOT = reinterpret_cast<HTreeItem>(std::intptr_t(-0x10000));
inline const HTreeItem TVI_FIRST = reinterpret_cast<HTreeItem>(std::intptr_t(-0x0FFFF));
inline const HTreeItem TVI_LAST = reinterpret_cast<HTreeItem>(std::intptr_t(-0x0FFFE));
inline const HTreeItem TVI_SORT = reinterpret_cast<HTreeItem>(std::intptr_t(-0x0FFFD));

struct TvItem {
  unsigned mask = 0;
  HTreeItem hItem = nullptr;
  unsigned state = 0, stateMask = 0;
  std::wstring text;
  int iImage = 0, iSelectedImage = 0;
  std::intptr_t lParam = 0;
};
struct NmTreeView {
  NotifyHeader hdr;
  unsigned action = 0;
  TvItem itemOld, itemNew;
  Point ptDrag;
};
struct TvHitTestInfo {
  Point pt;
  unsigned flags = 0;  // tvht::
  HTreeItem hItem = nullptr;
};

class TreeCtrl : public Wnd {
 public:
  TreeCtrl();
  ~TreeCtrl() override;
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;

  HTreeItem InsertItem(const std::wstring& text, HTreeItem parent = TVI_ROOT, HTreeItem after = TVI_LAST);
  HTreeItem InsertItem(const std::wstring& text, int image, int selectedImage, HTreeItem parent = TVI_ROOT,
                       HTreeItem after = TVI_LAST);
  bool DeleteItem(HTreeItem item);
  bool DeleteAllItems();
  std::wstring GetItemText(HTreeItem item) const;
  bool SetItemText(HTreeItem item, const std::wstring& text);
  std::uintptr_t GetItemData(HTreeItem item) const;
  bool SetItemData(HTreeItem item, std::uintptr_t data);
  bool GetItemImage(HTreeItem item, int& image, int& selectedImage) const;
  bool SetItemImage(HTreeItem item, int image, int selectedImage);
  HTreeItem GetRootItem() const;
  HTreeItem GetParentItem(HTreeItem item) const;
  HTreeItem GetChildItem(HTreeItem item) const;  // TVI_ROOT or null: the first root
  HTreeItem GetNextSiblingItem(HTreeItem item) const;
  HTreeItem GetPrevSiblingItem(HTreeItem item) const;
  HTreeItem GetNextItem(HTreeItem item, unsigned code) const;  // tvgn::
  HTreeItem GetNextVisibleItem(HTreeItem item) const;
  HTreeItem GetFirstVisibleItem() const;
  bool ItemHasChildren(HTreeItem item) const;
  unsigned GetCount() const;
  unsigned GetVisibleCount() const;
  bool Expand(HTreeItem item, unsigned code);  // tve::; sends tvn::ItemExpanding/Expanded
  unsigned GetItemState(HTreeItem item, unsigned mask) const;
  bool SetItemState(HTreeItem item, unsigned state, unsigned mask);
  // Check boxes (tvs::CheckBoxes).
  bool GetCheck(HTreeItem item) const;
  bool SetCheck(HTreeItem item, bool check = true);
  // Selection: tvn::SelChanging (TRUE refuses) and tvn::SelChanged.
  bool SelectItem(HTreeItem item);
  HTreeItem GetSelectedItem() const;
  bool EnsureVisible(HTreeItem item);
  // Rows of itemHeight() for the visible (expanded) items; indent 19 per
  // level; the check box (16) and image (16) sit before the label.
  int itemHeight() const;
  bool GetItemRect(HTreeItem item, Rect* r, bool textOnly) const;
  HTreeItem HitTest(Point p, unsigned* flags = nullptr) const;
  HTreeItem HitTest(TvHitTestInfo* info) const;
  ImageList* SetImageList(ImageList* list, int type);
  ImageList* GetImageList(int type) const;
  bool isValid(HTreeItem item) const;

  // A person's actions: click on an item's label (selects it, NM_CLICK), on
  // its check box (toggles the check, NM_CLICK), double click (NM_DBLCLK; an
  // item with children toggles open). The cursor is put at the point first,
  // so handlers can use GetMessagePos and HitTest.
  void userClick(HTreeItem item);
  void userClickCheckBox(HTreeItem item);
  void userDoubleClick(HTreeItem item);

  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 protected:
  struct Node;
  Node* node(HTreeItem item) const;
  std::vector<Node*> visibleNodes() const;
  LResult notifyParent(NotifyHeader* hdr, int code);
  void paintTree(DC& dc);
  void clickAt(HTreeItem item, Point clientPoint, int code);
  std::unique_ptr<Node> root_;
  std::map<HTreeItem, Node*> index_;
  std::uintptr_t nextId_ = 1;
  HTreeItem selected_ = nullptr;
  int top_ = 0;
  ImageList* images_[3] = {nullptr, nullptr, nullptr};
};

// ---------------------------------------------------------------------------
// Tabs
// ---------------------------------------------------------------------------
class TabCtrl : public Wnd {
 public:
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  int InsertItem(int index, const std::wstring& text, std::intptr_t data = 0);
  bool DeleteItem(int index);
  bool DeleteAllItems();
  int GetItemCount() const { return int(tabs_.size()); }
  std::wstring GetItemText(int index) const;
  int GetCurSel() const { return cur_; }
  int SetCurSel(int index);  // answers the previous; no notification
  bool GetItemRect(int index, Rect* r) const;
  void AdjustRect(bool larger, Rect* r) const;
  int HitTest(Point p) const;
  // A person clicking a tab: tcn::SelChanging (TRUE refuses), tcn::SelChange.
  bool userSelect(int index);
  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 protected:
  void paintTabs(DC& dc);
  struct Tab { std::wstring text; std::intptr_t data = 0; };
  std::vector<Tab> tabs_;
  int cur_ = -1;
};

// ---------------------------------------------------------------------------
// Progress bar
// ---------------------------------------------------------------------------
class ProgressCtrl : public Wnd {
 public:
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  void SetRange(short lower, short upper) { SetRange32(lower, upper); }
  void SetRange32(int lower, int upper);
  void GetRange(int& lower, int& upper) const { lower = lo_; upper = hi_; }
  int SetPos(int pos);  // answers the previous position
  int GetPos() const { return pos_; }
  int OffsetPos(int delta);
  int SetStep(int step);
  int StepIt();  // wraps to the lower end past the upper
  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 protected:
  int lo_ = 0, hi_ = 100, pos_ = 0, step_ = 10;
};

// ---------------------------------------------------------------------------
// Scroll-bar control
// ---------------------------------------------------------------------------
class ScrollBar : public Wnd {
 public:
  bool Create(unsigned style, const Rect& r, Wnd* parent, unsigned id);
  using Wnd::Create;
  bool SetScrollInfo(const ScrollInfo* si, bool redraw = true);
  bool GetScrollInfo(ScrollInfo* si, unsigned mask = sif::All) const;
  int SetScrollPos(int pos, bool redraw = true);
  int GetScrollPos() const;
  void SetScrollRange(int minPos, int maxPos, bool redraw = true);
  void GetScrollRange(int* minPos, int* maxPos) const;
  // A person using the bar: the parent gets wm::HScroll/VScroll with the
  // code (and position for thumb codes) and this control's handle.
  void userScroll(unsigned code, int pos = 0);
  void TakeOverFrom(Wnd& previous) override;
  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;

 protected:
  ScrollInfo info_{sizeof(ScrollInfo), sif::All, 0, 100, 0, 0, 0};
};

// ---------------------------------------------------------------------------
// Popup menus
// ---------------------------------------------------------------------------
class Menu {
 public:
  Menu();
  ~Menu();
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;
  bool CreatePopupMenu();
  bool CreateMenu();
  bool DestroyMenu();
  bool IsValid() const { return created_; }
  bool AppendMenu(unsigned flags, std::uintptr_t idOrSubMenu = 0, const std::wstring& text = L"");
  bool AppendMenu(unsigned flags, Menu* subMenu, const std::wstring& text);
  bool InsertMenu(unsigned position, unsigned flags, std::uintptr_t id, const std::wstring& text);
  bool RemoveMenu(unsigned position, unsigned flags);
  bool DeleteMenu(unsigned position, unsigned flags) { return RemoveMenu(position, flags); }
  // Answers the previous state (mf::Grayed|Disabled bits, or Checked), -1 when absent.
  int EnableMenuItem(unsigned idOrPos, unsigned flags);
  int CheckMenuItem(unsigned idOrPos, unsigned flags);
  unsigned GetMenuState(unsigned idOrPos, unsigned flags) const;
  int GetMenuItemCount() const { return int(items_.size()); }
  unsigned GetMenuItemID(int pos) const;
  std::wstring GetMenuString(unsigned idOrPos, unsigned flags) const;
  Menu* GetSubMenu(int pos) const;
  // Shows the menu and takes the choice from the input queue (`.menu ID`).
  // The chosen command is sent to the owner as wm::Command (unless
  // tpm::NoNotify) and answered when tpm::ReturnCmd is given; a disabled,
  // absent or missing choice dismisses the menu (answer 0).
  int TrackPopupMenu(unsigned flags, int x, int y, Wnd* owner, const Rect* r = nullptr);

  struct Item {
    unsigned flags = 0;
    std::uintptr_t id = 0;
    std::wstring text;
    Menu* sub = nullptr;
  };
  const std::vector<Item>& items() const { return items_; }

 private:
  const Item* find(unsigned idOrPos, unsigned flags) const;
  Item* find(unsigned idOrPos, unsigned flags);
  bool created_ = false;
  std::vector<Item> items_;
};

// The last menu shown by TrackPopupMenu (its items as they were), for tests
// and transcripts.
const std::vector<Menu::Item>& lastTrackedMenu();

}  // namespace ui
