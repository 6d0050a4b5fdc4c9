// Basic types and constants of the window layer: coordinates, colours, window
// handles, message parameters, and the numeric message, style, notification
// and flag values that windows and controls understand.
//
// The numeric values are the ones the module's code passes around (message
// 2024 = wm::User + 1000, keep-focus query 0x7101, grid notification codes
// -100/-101/-109/-175/-176, DrawText flags 0x8025, custom-draw results 0x20
// and 4, ...), so code that sends raw numbers and code that uses these names
// meet in the same place.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <string>

namespace ui {

// ---------------------------------------------------------------------------
// Coordinates and colours
// ---------------------------------------------------------------------------

struct Point {
  int x = 0, y = 0;
  constexpr Point() = default;
  constexpr Point(int x_, int y_) : x(x_), y(y_) {}
  constexpr Point operator+(Point o) const { return {x + o.x, y + o.y}; }
  constexpr Point operator-(Point o) const { return {x - o.x, y - o.y}; }
  constexpr bool operator==(const Point&) const = default;
};

struct Size {
  int cx = 0, cy = 0;
  constexpr Size() = default;
  constexpr Size(int w, int h) : cx(w), cy(h) {}
  constexpr bool operator==(const Size&) const = default;
};

// A rectangle; right and bottom are exclusive, as everywhere in this layer.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  constexpr Rect() = default;
  constexpr Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
  constexpr Rect(Point p, Size s) : left(p.x), top(p.y), right(p.x + s.cx), bottom(p.y + s.cy) {}
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr Size GetSize() const { return {Width(), Height()}; }
  constexpr Point TopLeft() const { return {left, top}; }
  constexpr Point BottomRight() const { return {right, bottom}; }
  constexpr Point CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
  constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
  constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  constexpr bool PtInRect(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  constexpr void SetRectEmpty() { left = top = right = bottom = 0; }
  constexpr void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
  constexpr void OffsetRect(Point p) { OffsetRect(p.x, p.y); }
  constexpr void InflateRect(int dx, int dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
  constexpr void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  constexpr void NormalizeRect() {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
  }
  // Intersection; an empty result is the null rectangle. Returns !empty.
  constexpr bool IntersectRect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.IsRectEmpty()) r = Rect{};
    *this = r;
    return !r.IsRectEmpty();
  }
  // Smallest rectangle holding both (an empty one does not count).
  constexpr bool UnionRect(const Rect& a, const Rect& b) {
    if (a.IsRectEmpty()) { *this = b; return !b.IsRectEmpty(); }
    if (b.IsRectEmpty()) { *this = a; return true; }
    *this = Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
    return true;
  }
  constexpr bool operator==(const Rect&) const = default;
};

// 0x00BBGGRR: red in the low byte.
using Color = std::uint32_t;
constexpr Color RGB(int r, int g, int b) {
  return Color(r & 0xFF) | (Color(g & 0xFF) << 8) | (Color(b & 0xFF) << 16);
}
constexpr int GetRValue(Color c) { return int(c & 0xFF); }
constexpr int GetGValue(Color c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(Color c) { return int((c >> 16) & 0xFF); }
// "No colour" marker for optional colour settings (never a real COLORREF).
constexpr Color kNoColor = 0xFF000000u;

// ---------------------------------------------------------------------------
// Handles and message parameters
// ---------------------------------------------------------------------------

// Opaque window handle. A handle stays unique for the whole process: after its
// window is destroyed it is simply invalid (IsWindow false), never reused.
struct HwndTag;
using Hwnd = HwndTag*;

using MsgId = unsigned;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

constexpr WParam MakeWParam(unsigned lo, unsigned hi) { return WParam((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)); }
constexpr LParam MakeLParam(int lo, int hi) { return LParam(std::uint32_t((lo & 0xFFFF) | ((hi & 0xFFFF) << 16))); }
constexpr unsigned LoWord(std::uintptr_t v) { return unsigned(v & 0xFFFF); }
constexpr unsigned HiWord(std::uintptr_t v) { return unsigned((v >> 16) & 0xFFFF); }
// Signed coordinates packed in an LParam (mouse messages).
constexpr int GetXLParam(LParam l) { return int(short(l & 0xFFFF)); }
constexpr int GetYLParam(LParam l) { return int(short((l >> 16) & 0xFFFF)); }
constexpr Point PointFromLParam(LParam l) { return {GetXLParam(l), GetYLParam(l)}; }
constexpr LParam LParamFromPoint(Point p) { return MakeLParam(p.x, p.y); }
// Wheel delta in the high word of the WParam of wm::MouseWheel.
constexpr int GetWheelDelta(WParam w) { return int(short(HiWord(w))); }

template <class T> inline WParam ToWParam(T* p) { return reinterpret_cast<WParam>(p); }
template <class T> inline LParam ToLParam(T* p) { return reinterpret_cast<LParam>(p); }
inline WParam ToWParam(Hwnd h) { return reinterpret_cast<WParam>(h); }
inline LParam ToLParam(Hwnd h) { return reinterpret_cast<LParam>(h); }
inline Hwnd HwndFromParam(std::intptr_t v) { return reinterpret_cast<Hwnd>(v); }

// One message, as the queue and PreTranslateMessage see it.
struct Msg {
  Hwnd hwnd = nullptr;
  MsgId message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  unsigned time = 0;  // virtual clock, ms
  Point pt;           // cursor position (screen) when the message was made
};

// Header of every wm::Notify payload.
struct NotifyHeader {
  Hwnd hwndFrom = nullptr;
  std::uintptr_t idFrom = 0;
  int code = 0;
};

// wm::CopyData payload.
struct CopyDataStruct {
  std::uintptr_t dwData = 0;
  unsigned cbData = 0;  // bytes
  const void* lpData = nullptr;
};

// Control ids of the standard buttons and message-box results.
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;
constexpr int IDC_STATIC = -1;

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------
namespace wm {
constexpr MsgId Null = 0x0000, Create = 0x0001, Destroy = 0x0002, Move = 0x0003, Size = 0x0005,
                Activate = 0x0006, SetFocus = 0x0007, KillFocus = 0x0008, Enable = 0x000A,
                SetRedraw = 0x000B, SetText = 0x000C, GetText = 0x000D, GetTextLength = 0x000E,
                Paint = 0x000F, Close = 0x0010, EraseBkgnd = 0x0014, SysColorChange = 0x0015,
                ShowWindow = 0x0018, SetCursor = 0x0020, MouseActivate = 0x0021,
                DrawItem = 0x002B, MeasureItem = 0x002C, DeleteItem = 0x002D, SetFont = 0x0030,
                GetFont = 0x0031, WindowPosChanging = 0x0046, WindowPosChanged = 0x0047,
                CopyData = 0x004A, Notify = 0x004E, ContextMenu = 0x007B, SetIcon = 0x0080,
                NcCreate = 0x0081, NcDestroy = 0x0082, NcCalcSize = 0x0083, NcHitTest = 0x0084,
                NcPaint = 0x0085, GetDlgCode = 0x0087, NcMouseMove = 0x00A0,
                NcLButtonDown = 0x00A1, NcRButtonDown = 0x00A4, NcMButtonDown = 0x00A7,
                KeyDown = 0x0100, KeyUp = 0x0101, Char = 0x0102, SysKeyDown = 0x0104,
                SysKeyUp = 0x0105, SysChar = 0x0106, InitDialog = 0x0110, Command = 0x0111,
                SysCommand = 0x0112, Timer = 0x0113, HScroll = 0x0114, VScroll = 0x0115,
                InitMenuPopup = 0x0117, CtlColorMsgBox = 0x0132, CtlColorEdit = 0x0133,
                CtlColorListBox = 0x0134, CtlColorBtn = 0x0135, CtlColorDlg = 0x0136,
                CtlColorScrollBar = 0x0137, CtlColorStatic = 0x0138, MouseMove = 0x0200,
                LButtonDown = 0x0201, LButtonUp = 0x0202, LButtonDblClk = 0x0203,
                RButtonDown = 0x0204, RButtonUp = 0x0205, RButtonDblClk = 0x0206,
                MButtonDown = 0x0207, MButtonUp = 0x0208, MouseWheel = 0x020A,
                CaptureChanged = 0x0215, User = 0x0400,
                // The host asks a modeless window whether it keeps the keyboard
                // focus; modeless dialogs answer TRUE.
                KeepFocus = 0x7101;
}  // namespace wm

// wm::Size types, wm::ShowWindow status.
namespace size_type { constexpr unsigned Restored = 0, Minimized = 1, Maximized = 2; }

// ---------------------------------------------------------------------------
// Window styles
// ---------------------------------------------------------------------------
namespace ws {
constexpr unsigned Overlapped = 0x00000000, Popup = 0x80000000, Child = 0x40000000,
                   Minimize = 0x20000000, Visible = 0x10000000, Disabled = 0x08000000,
                   ClipSiblings = 0x04000000, ClipChildren = 0x02000000, Maximize = 0x01000000,
                   Caption = 0x00C00000, Border = 0x00800000, DlgFrame = 0x00400000,
                   VScroll = 0x00200000, HScroll = 0x00100000, SysMenu = 0x00080000,
                   ThickFrame = 0x00040000, Group = 0x00020000, TabStop = 0x00010000,
                   MinimizeBox = 0x00020000, MaximizeBox = 0x00010000,
                   OverlappedWindow = 0x00CF0000, PopupWindow = 0x80880000;
}
namespace ws_ex {
constexpr unsigned DlgModalFrame = 0x00000001, NoParentNotify = 0x00000004, Topmost = 0x00000008,
                   AcceptFiles = 0x00000010, Transparent = 0x00000020, ToolWindow = 0x00000080,
                   WindowEdge = 0x00000100, ClientEdge = 0x00000200, ControlParent = 0x00010000,
                   StaticEdge = 0x00020000, AppWindow = 0x00040000;
}
// Dialog styles.
namespace ds {
constexpr unsigned AbsAlign = 0x01, SysModal = 0x02, LocalEdit = 0x20, SetFont = 0x40,
                   ModalFrame = 0x80, NoIdleMsg = 0x100, SetForeground = 0x200, Control = 0x400,
                   Center = 0x800, CenterMouse = 0x1000;
}
namespace es {
constexpr unsigned Left = 0x0000, Center = 0x0001, Right = 0x0002, Multiline = 0x0004,
                   Uppercase = 0x0008, Lowercase = 0x0010, Password = 0x0020,
                   AutoVScroll = 0x0040, AutoHScroll = 0x0080, NoHideSel = 0x0100,
                   OemConvert = 0x0400, ReadOnly = 0x0800, WantReturn = 0x1000, Number = 0x2000;
}
namespace bs {
constexpr unsigned PushButton = 0x0, DefPushButton = 0x1, CheckBox = 0x2, AutoCheckBox = 0x3,
                   RadioButton = 0x4, ThreeState = 0x5, Auto3State = 0x6, GroupBox = 0x7,
                   UserButton = 0x8, AutoRadioButton = 0x9, OwnerDraw = 0xB, TypeMask = 0xF,
                   LeftText = 0x20, Icon = 0x40, Bitmap = 0x80, Left = 0x100, Right = 0x200,
                   Center = 0x300, Top = 0x400, Bottom = 0x800, VCenter = 0xC00,
                   PushLike = 0x1000, Multiline = 0x2000, Notify = 0x4000, Flat = 0x8000;
}
// Button check states.
constexpr int BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8;

namespace ss {
constexpr unsigned Left = 0x00, Center = 0x01, Right = 0x02, Icon = 0x03, BlackRect = 0x04,
                   GrayRect = 0x05, WhiteRect = 0x06, BlackFrame = 0x07, GrayFrame = 0x08,
                   WhiteFrame = 0x09, Simple = 0x0B, OwnerDraw = 0x0D, Bitmap = 0x0E,
                   EtchedHorz = 0x10, EtchedVert = 0x11, EtchedFrame = 0x12, TypeMask = 0x1F,
                   NoPrefix = 0x80, Notify = 0x100, CenterImage = 0x200, Sunken = 0x1000;
}
namespace cbs {
constexpr unsigned Simple = 0x1, DropDown = 0x2, DropDownList = 0x3, TypeMask = 0x3,
                   OwnerDrawFixed = 0x10, OwnerDrawVariable = 0x20, AutoHScroll = 0x40,
                   OemConvert = 0x80, Sort = 0x100, HasStrings = 0x200, NoIntegralHeight = 0x400,
                   DisableNoScroll = 0x800, Uppercase = 0x2000, Lowercase = 0x4000;
}
namespace lbs {
constexpr unsigned Notify = 0x1, Sort = 0x2, NoRedraw = 0x4, MultipleSel = 0x8,
                   OwnerDrawFixed = 0x10, OwnerDrawVariable = 0x20, HasStrings = 0x40,
                   UseTabStops = 0x80, NoIntegralHeight = 0x100, ExtendedSel = 0x800,
                   DisableNoScroll = 0x1000, Standard = 0x00A00003;
}
namespace lvs {
constexpr unsigned Icon = 0x0, Report = 0x1, SmallIcon = 0x2, List = 0x3, TypeMask = 0x3,
                   SingleSel = 0x4, ShowSelAlways = 0x8, SortAscending = 0x10,
                   SortDescending = 0x20, ShareImageLists = 0x40, NoLabelWrap = 0x80,
                   AutoArrange = 0x100, EditLabels = 0x200, OwnerData = 0x1000,
                   NoScroll = 0x2000, OwnerDrawFixed = 0x400, NoColumnHeader = 0x4000,
                   NoSortHeader = 0x8000;
}
namespace lvs_ex {
constexpr unsigned GridLines = 0x1, SubItemImages = 0x2, CheckBoxes = 0x4, TrackSelect = 0x8,
                   HeaderDragDrop = 0x10, FullRowSelect = 0x20, OneClickActivate = 0x40,
                   Regional = 0x200, InfoTip = 0x400, LabelTip = 0x4000, DoubleBuffer = 0x10000,
                   JustifyColumns = 0x200000;
}
namespace tvs {
constexpr unsigned HasButtons = 0x1, HasLines = 0x2, LinesAtRoot = 0x4, EditLabels = 0x8,
                   DisableDragDrop = 0x10, ShowSelAlways = 0x20, CheckBoxes = 0x100,
                   TrackSelect = 0x200, SingleExpand = 0x400, FullRowSelect = 0x1000;
}
namespace tcs {
constexpr unsigned Tabs = 0x0, Buttons = 0x100, MultiLine = 0x200, FixedWidth = 0x400;
}
namespace sbs {
constexpr unsigned Horz = 0x0, Vert = 0x1, SizeBox = 0x8;
}
namespace pbs {
constexpr unsigned Smooth = 0x1, Vertical = 0x4;
}

// ---------------------------------------------------------------------------
// Control notifications (wm::Command high word, or NotifyHeader::code)
// ---------------------------------------------------------------------------
namespace bn { constexpr unsigned Clicked = 0, DoubleClicked = 5, SetFocus = 6, KillFocus = 7; }
namespace en {
constexpr unsigned SetFocus = 0x100, KillFocus = 0x200, Change = 0x300, Update = 0x400,
                   ErrSpace = 0x500, MaxText = 0x501, HScroll = 0x601, VScroll = 0x602;
}
namespace cbn {
constexpr unsigned ErrSpace = unsigned(-1), SelChange = 1, DblClk = 2, SetFocus = 3, KillFocus = 4,
                   EditChange = 5, EditUpdate = 6, DropDown = 7, CloseUp = 8, SelEndOk = 9,
                   SelEndCancel = 10;
}
namespace lbn { constexpr unsigned SelChange = 1, DblClk = 2, SelCancel = 3, SetFocus = 4, KillFocus = 5; }
namespace stn { constexpr unsigned Clicked = 0, DblClk = 1, Enable = 2, Disable = 3; }
namespace nm {
constexpr int OutOfMemory = -1, Click = -2, DblClk = -3, Return = -4, RClick = -5, RDblClk = -6,
              SetFocus = -7, KillFocus = -8, CustomDraw = -12, Hover = -13;
}
namespace lvn {
constexpr int ItemChanging = -100, ItemChanged = -101, InsertItem = -102, DeleteItem = -103,
              DeleteAllItems = -104, ColumnClick = -108, BeginDrag = -109, BeginRDrag = -111,
              KeyDown = -155, BeginLabelEdit = -175, EndLabelEdit = -176, GetDispInfo = -177;
}
namespace tvn {
constexpr int SelChanging = -450, SelChanged = -451, GetDispInfo = -452, ItemExpanding = -454,
              ItemExpanded = -455, BeginDrag = -456, DeleteItem = -458, BeginLabelEdit = -459,
              EndLabelEdit = -460, KeyDown = -412, ItemChanged = -419;
}
namespace tcn { constexpr int KeyDown = -550, SelChange = -551, SelChanging = -552; }

// ---------------------------------------------------------------------------
// Control messages
// ---------------------------------------------------------------------------
namespace em {
constexpr MsgId GetSel = 0xB0, SetSel = 0xB1, GetRect = 0xB2, Scroll = 0xB5, GetModify = 0xB8,
                SetModify = 0xB9, GetLineCount = 0xBA, LineIndex = 0xBB, LineLength = 0xC1,
                ReplaceSel = 0xC2, GetLine = 0xC4, LimitText = 0xC5, CanUndo = 0xC6, Undo = 0xC7,
                SetReadOnly = 0xCF, GetLimitText = 0xD5;
}
namespace bm {
constexpr MsgId GetCheck = 0xF0, SetCheck = 0xF1, GetState = 0xF2, SetState = 0xF3,
                SetStyle = 0xF4, Click = 0xF5, GetImage = 0xF6, SetImage = 0xF7;
}
namespace cb {
constexpr MsgId GetEditSel = 0x140, LimitText = 0x141, SetEditSel = 0x142, AddString = 0x143,
                DeleteString = 0x144, GetCount = 0x146, GetCurSel = 0x147, GetLBText = 0x148,
                GetLBTextLen = 0x149, InsertString = 0x14A, ResetContent = 0x14B,
                FindString = 0x14C, SelectString = 0x14D, SetCurSel = 0x14E,
                ShowDropDown = 0x14F, GetItemData = 0x150, SetItemData = 0x151,
                GetDroppedControlRect = 0x152, SetItemHeight = 0x153, GetItemHeight = 0x154,
                GetDroppedState = 0x157, FindStringExact = 0x158, GetHorizontalExtent = 0x15D,
                SetHorizontalExtent = 0x15E, GetDroppedWidth = 0x15F, SetDroppedWidth = 0x160;
constexpr int Err = -1;
}
namespace lb {
constexpr MsgId AddString = 0x180, InsertString = 0x181, DeleteString = 0x182,
                ResetContent = 0x184, SetSel = 0x185, SetCurSel = 0x186, GetSel = 0x187,
                GetCurSel = 0x188, GetText = 0x189, GetTextLen = 0x18A, GetCount = 0x18B,
                SelectString = 0x18C, GetTopIndex = 0x18E, FindString = 0x18F,
                GetSelCount = 0x190, SetTopIndex = 0x197, GetItemRect = 0x198,
                GetItemData = 0x199, SetItemData = 0x19A, SetItemHeight = 0x1A0,
                GetItemHeight = 0x1A1, FindStringExact = 0x1A2;
constexpr int Err = -1;
}
namespace sbm {
constexpr MsgId SetPos = 0xE0, GetPos = 0xE1, SetRange = 0xE2, GetRange = 0xE3,
                SetScrollInfo = 0xE9, GetScrollInfo = 0xEA;
}
namespace pbm {
constexpr MsgId SetRange = 0x401, SetPos = 0x402, DeltaPos = 0x403, SetStep = 0x404,
                StepIt = 0x405, SetRange32 = 0x406, GetRange = 0x407, GetPos = 0x408;
}
namespace lvm {
constexpr MsgId First = 0x1000, GetItemCount = 0x1004, DeleteItem = 0x1008,
                DeleteAllItems = 0x1009, GetNextItem = 0x100C, GetItemRect = 0x100E,
                EnsureVisible = 0x1013, Scroll = 0x1014, GetColumnWidth = 0x101D,
                SetColumnWidth = 0x101E, GetHeader = 0x101F, GetTopIndex = 0x1027,
                GetCountPerPage = 0x1028, SetItemState = 0x102B, GetItemState = 0x102C,
                GetSelectedCount = 0x1032, SetExtendedListViewStyle = 0x1036,
                GetExtendedListViewStyle = 0x1037, GetSubItemRect = 0x1038,
                SubItemHitTest = 0x1039, GetSelectionMark = 0x1042, SetSelectionMark = 0x1043;
}
namespace hdm { constexpr MsgId GetItemCount = 0x1200; }

// List-view item states, next-item flags, rectangle kinds, hit-test flags,
// column formats.
namespace lvis {
constexpr unsigned Focused = 0x1, Selected = 0x2, Cut = 0x4, DropHilited = 0x8,
                   StateImageMask = 0xF000;
}
namespace lvni { constexpr unsigned All = 0x0, Focused = 0x1, Selected = 0x2; }
namespace lvir { constexpr int Bounds = 0, Icon = 1, Label = 2, SelectBounds = 3; }
namespace lvht {
constexpr unsigned Nowhere = 0x1, OnItemIcon = 0x2, OnItemLabel = 0x4, OnItemStateIcon = 0x8,
                   OnItem = 0xE, Above = 0x8, Below = 0x10, ToRight = 0x20, ToLeft = 0x40;
}
namespace lvcfmt { constexpr int Left = 0, Right = 1, Center = 2; }
namespace lvif { constexpr unsigned Text = 0x1, Image = 0x2, Param = 0x4, State = 0x8; }
// Tree-view hit-test flags, expand codes, get-next codes.
namespace tvht {
constexpr unsigned Nowhere = 0x1, OnItemIcon = 0x2, OnItemLabel = 0x4, OnItemIndent = 0x8,
                   OnItemButton = 0x10, OnItemRight = 0x20, OnItemStateIcon = 0x40,
                   OnItem = 0x46, Above = 0x100, Below = 0x200, ToRight = 0x400, ToLeft = 0x800;
}
namespace tve { constexpr unsigned Collapse = 0x1, Expand = 0x2, Toggle = 0x3; }
namespace tvgn {
constexpr unsigned Root = 0x0, Next = 0x1, Previous = 0x2, Parent = 0x3, Child = 0x4,
                   FirstVisible = 0x5, NextVisible = 0x6, PreviousVisible = 0x7, Caret = 0x9;
}
namespace tvis { constexpr unsigned Selected = 0x2, Bold = 0x10, Expanded = 0x20, StateImageMask = 0xF000; }

// Custom draw stages and answers.
namespace cdds {
constexpr unsigned PrePaint = 0x1, PostPaint = 0x2, PreErase = 0x3, PostErase = 0x4,
                   Item = 0x10000, ItemPrePaint = 0x10001, ItemPostPaint = 0x10002,
                   SubItem = 0x20000;
}
namespace cdrf {
constexpr unsigned DoDefault = 0x0, NewFont = 0x2, SkipDefault = 0x4, NotifyPostPaint = 0x10,
                   NotifyItemDraw = 0x20, NotifySubItemDraw = 0x20, NotifyPostErase = 0x40;
}
namespace cdis {
constexpr unsigned Selected = 0x1, Grayed = 0x2, Disabled = 0x4, Checked = 0x8, Focus = 0x10,
                   Default = 0x20, Hot = 0x40;
}
// Owner draw: control types, actions, states.
namespace odt { constexpr unsigned Menu = 1, ListBox = 2, ComboBox = 3, Button = 4, Static = 5; }
namespace oda { constexpr unsigned DrawEntire = 1, Select = 2, Focus = 4; }
namespace ods {
constexpr unsigned Selected = 0x1, Grayed = 0x2, Disabled = 0x4, Checked = 0x8, Focus = 0x10,
                   Default = 0x20, ComboBoxEdit = 0x1000;
}
// Control-colour kinds passed to OnCtlColor.
namespace ctlcolor {
constexpr unsigned MsgBox = 0, Edit = 1, ListBox = 2, Btn = 3, Dlg = 4, ScrollBar = 5, Static = 6;
}

// ---------------------------------------------------------------------------
// Scrolling, showing, positioning, keys, mouse, hit tests, dialog codes
// ---------------------------------------------------------------------------
namespace sb {
constexpr int Horz = 0, Vert = 1, Ctl = 2, Both = 3;
constexpr unsigned LineUp = 0, LineLeft = 0, LineDown = 1, LineRight = 1, PageUp = 2,
                   PageLeft = 2, PageDown = 3, PageRight = 3, ThumbPosition = 4, ThumbTrack = 5,
                   Top = 6, Left = 6, Bottom = 7, Right = 7, EndScroll = 8;
}
namespace sif {
constexpr unsigned Range = 0x1, Page = 0x2, Pos = 0x4, DisableNoScroll = 0x8, TrackPos = 0x10,
                   All = 0x17;
}
struct ScrollInfo {
  unsigned cbSize = sizeof(ScrollInfo);
  unsigned fMask = 0;
  int nMin = 0, nMax = 0;
  unsigned nPage = 0;
  int nPos = 0, nTrackPos = 0;
};

namespace sw {
constexpr int Hide = 0, ShowNormal = 1, ShowMinimized = 2, ShowMaximized = 3, ShowNoActivate = 4,
              Show = 5, Minimize = 6, ShowMinNoActive = 7, ShowNA = 8, Restore = 9;
}
namespace swp {
constexpr unsigned NoSize = 0x1, NoMove = 0x2, NoZOrder = 0x4, NoRedraw = 0x8, NoActivate = 0x10,
                   FrameChanged = 0x20, ShowWindow = 0x40, HideWindow = 0x80,
                   NoOwnerZOrder = 0x200;
}
// Insert-after values of SetWindowPos.
inline const Hwnd HWND_TOP = nullptr;
inline const Hwnd HWND_BOTTOM = reinterpret_cast<Hwnd>(std::intptr_t(1));
inline const Hwnd HWND_TOPMOST = reinterpret_cast<Hwnd>(std::intptr_t(-1));
inline const Hwnd HWND_NOTOPMOST = reinterpret_cast<Hwnd>(std::intptr_t(-2));

namespace gw { constexpr unsigned HwndFirst = 0, HwndLast = 1, HwndNext = 2, HwndPrev = 3, Owner = 4, Child = 5; }

namespace vk {
constexpr unsigned LButton = 0x01, RButton = 0x02, Cancel = 0x03, MButton = 0x04, Back = 0x08,
                   Tab = 0x09, Clear = 0x0C, Return = 0x0D, Shift = 0x10, Control = 0x11,
                   Menu = 0x12, Pause = 0x13, Capital = 0x14, Escape = 0x1B, Space = 0x20,
                   Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25, Up = 0x26,
                   Right = 0x27, Down = 0x28, Insert = 0x2D, Delete = 0x2E, F1 = 0x70, F2 = 0x71,
                   F3 = 0x72, F4 = 0x73, F5 = 0x74, F6 = 0x75, F7 = 0x76, F8 = 0x77, F9 = 0x78,
                   F10 = 0x79, F11 = 0x7A, F12 = 0x7B, LShift = 0xA0, RShift = 0xA1,
                   LControl = 0xA2, RControl = 0xA3;
}
// Key and button flags in the WParam of mouse messages.
namespace mk { constexpr unsigned LButton = 0x1, RButton = 0x2, Shift = 0x4, Control = 0x8, MButton = 0x10; }

namespace ht {
constexpr int Error = -2, Transparent = -1, Nowhere = 0, Client = 1, Caption = 2, SysMenu = 3,
              HScroll = 6, VScroll = 7, Left = 10, Right = 11, Top = 12, Bottom = 15, Border = 18;
}
namespace dlgc {
constexpr unsigned WantArrows = 0x1, WantTab = 0x2, WantAllKeys = 0x4, WantMessage = 0x4,
                   HasSetSel = 0x8, DefPushButton = 0x10, UndefPushButton = 0x20,
                   RadioButton = 0x40, WantChars = 0x80, Static = 0x100, Button = 0x2000;
}

// Cursor ids (LoadCursor/SetCursor).
namespace idc {
constexpr unsigned Arrow = 32512, IBeam = 32513, Wait = 32514, Cross = 32515, UpArrow = 32516,
                   SizeNWSE = 32642, SizeNESW = 32643, SizeWE = 32644, SizeNS = 32645,
                   SizeAll = 32646, No = 32648, Hand = 32649, AppStarting = 32650;
}

// Class styles of registered window classes.
namespace cs {
constexpr unsigned VRedraw = 0x1, HRedraw = 0x2, DblClks = 0x8, OwnDC = 0x20, ClassDC = 0x40,
                   ParentDC = 0x80, NoClose = 0x200, SaveBits = 0x800, GlobalClass = 0x4000;
}

// System colour indexes.
namespace color {
constexpr int ScrollBar = 0, Background = 1, ActiveCaption = 2, InactiveCaption = 3, Menu = 4,
              Window = 5, WindowFrame = 6, MenuText = 7, WindowText = 8, CaptionText = 9,
              ActiveBorder = 10, InactiveBorder = 11, AppWorkspace = 12, Highlight = 13,
              HighlightText = 14, BtnFace = 15, BtnShadow = 16, GrayText = 17, BtnText = 18,
              InactiveCaptionText = 19, BtnHighlight = 20, DkShadow3D = 21, Light3D = 22,
              InfoText = 23, InfoBk = 24, HotLight = 26, Count = 31;
}
// System metric indexes.
namespace sm {
constexpr int CxScreen = 0, CyScreen = 1, CxVScroll = 2, CyHScroll = 3, CyCaption = 4,
              CxBorder = 5, CyBorder = 6, CxDlgFrame = 7, CyDlgFrame = 8, CyVThumb = 9,
              CxHThumb = 10, CxIcon = 11, CyIcon = 12, CxCursor = 13, CyCursor = 14,
              CyMenu = 15, CxFullScreen = 16, CyFullScreen = 17, CyVScroll = 20,
              CxHScroll = 21, CxMin = 28, CyMin = 29, CxFrame = 32, CyFrame = 33,
              CxDoubleClk = 36, CyDoubleClk = 37, CxEdge = 45, CyEdge = 46, CxSmIcon = 49,
              CySmIcon = 50, CxDrag = 68, CyDrag = 69, CMouseButtons = 43;
}

// Message boxes.
namespace mb {
constexpr unsigned Ok = 0x0, OkCancel = 0x1, AbortRetryIgnore = 0x2, YesNoCancel = 0x3,
                   YesNo = 0x4, RetryCancel = 0x5, TypeMask = 0xF, IconError = 0x10,
                   IconQuestion = 0x20, IconWarning = 0x30, IconInformation = 0x40,
                   IconMask = 0xF0, DefButton1 = 0x0, DefButton2 = 0x100, DefButton3 = 0x200,
                   DefMask = 0xF00, ApplModal = 0x0, SystemModal = 0x1000, TaskModal = 0x2000,
                   TopMost = 0x40000;
}
// Menus.
namespace mf {
constexpr unsigned String = 0x0, ByCommand = 0x0, Enabled = 0x0, Grayed = 0x1, Disabled = 0x2,
                   Bitmap = 0x4, Checked = 0x8, Popup = 0x10, MenuBarBreak = 0x20,
                   MenuBreak = 0x40, OwnerDraw = 0x100, ByPosition = 0x400, Separator = 0x800;
}
namespace tpm {
constexpr unsigned LeftAlign = 0x0, CenterAlign = 0x4, RightAlign = 0x8, LeftButton = 0x0,
                   RightButton = 0x2, TopAlign = 0x0, VCenterAlign = 0x10, BottomAlign = 0x20,
                   NoNotify = 0x80, ReturnCmd = 0x100;
}

// File dialogs.
namespace ofn {
constexpr unsigned ReadOnly = 0x1, OverwritePrompt = 0x2, HideReadOnly = 0x4, NoChangeDir = 0x8,
                   EnableHook = 0x20, EnableTemplate = 0x40, AllowMultiSelect = 0x200,
                   PathMustExist = 0x800, FileMustExist = 0x1000, CreatePrompt = 0x2000,
                   NoReadOnlyReturn = 0x8000, Explorer = 0x80000;
}

// Clipboard formats and drop effects.
namespace cf { constexpr unsigned Text = 1, Bitmap = 2, OemText = 7, UnicodeText = 13, HDrop = 15; }
namespace dropeffect {
constexpr unsigned None = 0, Copy = 1, Move = 2, Link = 4, Scroll = 0x80000000u;
}

}  // namespace ui
