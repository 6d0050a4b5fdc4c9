// Windows and messages.
//
// A headless window tree: every window has a handle (Hwnd), a registered
// class, a parent (or none, for top-level windows), an owner, an id, styles,
// a text, a font, a rectangle (relative to the parent's client area, or the
// screen for top-level windows), visibility, enabled state, scroll bars, an
// update region and a paint recording. Children are kept in z-order, top
// first.
//
// Each window is served by a Wnd object (or a class derived from it). Its
// virtual WindowProc dispatches messages to the overridable On... handlers;
// anything not handled goes to DefWindowProc, which runs the window class's
// procedure when the class has one, and the system's default behaviour
// otherwise. Windows created by class name (from dialog templates, or with a
// class registered by name) get an object made by the class factory, owned by
// the layer and deleted when the window goes; objects a program creates itself
// stay the program's, with PostNcDestroy as the last call they get
// (override it to `delete this` for self-owned windows).
//
// Messages are sent (SendMessage: handled at once) or posted (PostMessage:
// queued until pumpMessages, which the host calls between inputs). The pump
// dispatches the queue, then paints the windows that need it, then fires the
// timers that are due on a virtual clock the host and tests advance.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/gdi.h"
#include "platform/ui/types.h"

namespace ui {

class Wnd;
class ScrollBar;

// Window procedure of a registered class (for classes without a C++ object).
using WndProc = LResult (*)(Hwnd, MsgId, WParam, LParam);

// A registered window class. Registering a name twice keeps the first.
struct WindowClass {
  std::wstring name;
  unsigned style = 0;            // cs::
  WndProc proc = nullptr;        // null: the system default
  unsigned cursor = idc::Arrow;  // idc::
  int background = -1;           // system colour index + 1, or -1 for none
  Color backgroundColor = kNoColor;
  // Makes the object for windows created by class name; null: a plain Wnd.
  std::function<Wnd*()> factory;
};
bool RegisterWindowClass(const WindowClass& wc);
bool GetClassInfo(const std::wstring& name, WindowClass* out = nullptr);
bool UnregisterWindowClass(const std::wstring& name);

// What wm::Create and PreCreateWindow see.
struct CreateStruct {
  void* lpCreateParams = nullptr;
  Hwnd hwndParent = nullptr;
  unsigned id = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  unsigned style = 0, dwExStyle = 0;
  std::wstring lpszName;
  std::wstring lpszClass;
};

// wm::WindowPosChanging/Changed payload.
struct WindowPos {
  Hwnd hwnd = nullptr;
  Hwnd hwndInsertAfter = nullptr;
  int x = 0, y = 0, cx = 0, cy = 0;
  unsigned flags = 0;
};

// Owner-draw payloads (wm::DrawItem, wm::MeasureItem).
struct DrawItemStruct {
  unsigned CtlType = 0, CtlID = 0;
  int itemID = -1;
  unsigned itemAction = 0, itemState = 0;
  Hwnd hwndItem = nullptr;
  DC* hDC = nullptr;
  Rect rcItem;
  std::uintptr_t itemData = 0;
};
struct MeasureItemStruct {
  unsigned CtlType = 0, CtlID = 0;
  int itemID = -1;
  unsigned itemWidth = 0, itemHeight = 0;
  std::uintptr_t itemData = 0;
};

class Wnd {
 public:
  Wnd();
  virtual ~Wnd();  // destroys the window if it still exists
  Wnd(const Wnd&) = delete;
  Wnd& operator=(const Wnd&) = delete;

  // --- identity ---------------------------------------------------------
  Hwnd GetSafeHwnd() const { return m_hWnd; }
  // Handle of a possibly null object.
  static Hwnd SafeHwnd(const Wnd* w) { return w ? w->m_hWnd : nullptr; }
  operator Hwnd() const { return m_hWnd; }
  // The object serving a handle: null for an invalid handle.
  static Wnd* FromHandle(Hwnd h);
  // Name of the window class.
  std::wstring GetClassName() const;
  template <class T> bool IsKindOf() const { return dynamic_cast<const T*>(this) != nullptr; }

  // --- creation and destruction -----------------------------------------
  // The class must be registered (the built-in controls and "Wnd" are). The
  // rect is in the parent's client coordinates (screen for top-level).
  virtual bool CreateEx(unsigned exStyle, const std::wstring& className, const std::wstring& windowName,
                        unsigned style, const Rect& rect, Wnd* parent, unsigned id,
                        void* createParam = nullptr);
  virtual bool Create(const std::wstring& className, const std::wstring& windowName, unsigned style,
                      const Rect& rect, Wnd* parent, unsigned id, void* createParam = nullptr);
  virtual bool DestroyWindow();
  // Serve an existing window with this object (its previous object, when the
  // layer owned it, hands over its state and is deleted).
  bool SubclassWindow(Hwnd h);
  bool SubclassDlgItem(unsigned id, Wnd* parent);
  Hwnd UnsubclassWindow();
  bool Attach(Hwnd h) { return SubclassWindow(h); }
  Hwnd Detach() { return UnsubclassWindow(); }
  virtual bool PreCreateWindow(CreateStruct& cs);
  virtual void PreSubclassWindow();
  // Last call on the object after its window is gone.
  virtual void PostNcDestroy();
  // Called on a new object taking over a window from a layer-made one; a
  // control copies the control state (items, texts, checks). Default: nothing.
  virtual void TakeOverFrom(Wnd& previous);

  // --- messages ---------------------------------------------------------
  virtual LResult WindowProc(MsgId msg, WParam wp, LParam lp);
  LResult DefWindowProc(MsgId msg, WParam wp, LParam lp);
  // DefWindowProc with the message being handled (from inside an On... handler).
  LResult Default();
  LResult SendMessage(MsgId msg, WParam wp = 0, LParam lp = 0);
  bool PostMessage(MsgId msg, WParam wp = 0, LParam lp = 0);
  LResult SendDlgItemMessage(int id, MsgId msg, WParam wp = 0, LParam lp = 0);
  void SendMessageToDescendants(MsgId msg, WParam wp = 0, LParam lp = 0, bool deep = true);
  // Input messages from the queue pass every window from the target up to its
  // top-level window before being dispatched; true: consumed.
  virtual bool PreTranslateMessage(Msg* msg);
  // wm::Command and wm::Notify. The default gives a child control the
  // notification first (OnChildNotify: reflection), then answers false.
  virtual bool OnCommand(WParam wp, LParam lp);
  virtual bool OnNotify(WParam wp, LParam lp, LResult* result);
  // A notification this control sent to its parent, offered back to it first
  // (wm::Command, wm::Notify, wm::DrawItem, wm::MeasureItem, wm::CtlColor*,
  // scroll messages from a scroll-bar control). True: handled, the parent
  // does not see it.
  virtual bool OnChildNotify(MsgId msg, WParam wp, LParam lp, LResult* result);
  // The message being handled by this object (for handlers that need it).
  const Msg* currentMessage() const { return current_; }

  // --- handlers (the default of each runs Default()) -------------------
  virtual int OnCreate(CreateStruct* cs);
  virtual void OnDestroy();
  virtual void OnNcDestroy();
  virtual void OnPaint();
  virtual bool OnEraseBkgnd(DC* dc);
  virtual void OnSize(unsigned type, int cx, int cy);
  virtual void OnMove(int x, int y);
  virtual void OnShowWindow(bool show, unsigned status);
  virtual void OnClose();
  virtual void OnSetFocus(Wnd* oldWnd);
  virtual void OnKillFocus(Wnd* newWnd);
  virtual void OnEnable(bool enable);
  virtual void OnLButtonDown(unsigned flags, Point p);
  virtual void OnLButtonUp(unsigned flags, Point p);
  virtual void OnLButtonDblClk(unsigned flags, Point p);
  virtual void OnRButtonDown(unsigned flags, Point p);
  virtual void OnRButtonUp(unsigned flags, Point p);
  virtual void OnMButtonDown(unsigned flags, Point p);
  virtual void OnMButtonUp(unsigned flags, Point p);
  virtual void OnMouseMove(unsigned flags, Point p);
  virtual bool OnMouseWheel(unsigned flags, int delta, Point screenPoint);
  virtual void OnKeyDown(unsigned key, unsigned repeat, unsigned flags);
  virtual void OnKeyUp(unsigned key, unsigned repeat, unsigned flags);
  virtual void OnChar(unsigned ch, unsigned repeat, unsigned flags);
  virtual void OnSysChar(unsigned ch, unsigned repeat, unsigned flags);
  virtual void OnSysKeyDown(unsigned key, unsigned repeat, unsigned flags);
  virtual void OnTimer(std::uintptr_t id);
  // Scroll handlers: bar is the scroll-bar control, null for the window's own.
  virtual void OnHScroll(unsigned code, unsigned pos, ScrollBar* bar);
  virtual void OnVScroll(unsigned code, unsigned pos, ScrollBar* bar);
  virtual void OnContextMenu(Wnd* wnd, Point screenPoint);
  virtual bool OnSetCursor(Wnd* wnd, unsigned hitTest, unsigned message);
  virtual void OnCaptureChanged(Wnd* wnd);
  virtual unsigned OnGetDlgCode();
  virtual int OnNcHitTest(Point screenPoint);
  virtual void OnSysColorChange();
  virtual bool OnCopyData(Wnd* from, CopyDataStruct* data);
  virtual void OnWindowPosChanging(WindowPos* pos);
  virtual void OnWindowPosChanged(WindowPos* pos);
  virtual void OnDrawItem(int id, DrawItemStruct* dis);
  virtual void OnMeasureItem(int id, MeasureItemStruct* mis);
  // wm::CtlColor*: answers the brush the control's background is painted with.
  virtual Brush* OnCtlColor(DC* dc, Wnd* wnd, unsigned ctlColor);

  // --- tree -------------------------------------------------------------
  Wnd* GetParent() const;
  Wnd* SetParent(Wnd* parent);
  Wnd* GetOwner() const;
  void SetOwner(Wnd* owner);
  Wnd* GetTopLevelParent() const;
  Wnd* GetWindow(unsigned cmd) const;  // gw::
  Wnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  int SetDlgCtrlID(int id);
  bool IsChild(const Wnd* w) const;
  // Children in z-order, top first.
  std::vector<Wnd*> children() const;
  Wnd* ChildWindowFromPoint(Point clientPoint) const;

  // --- geometry ---------------------------------------------------------
  void GetWindowRect(Rect* r) const;  // screen
  void GetClientRect(Rect* r) const;  // (0,0)-(w,h)
  Rect windowRect() const;
  Rect clientRect() const;
  void ClientToScreen(Point* p) const;
  void ClientToScreen(Rect* r) const;
  void ScreenToClient(Point* p) const;
  void ScreenToClient(Rect* r) const;
  void MapWindowPoints(Wnd* to, Point* pts, int count) const;
  void MapWindowPoints(Wnd* to, Rect* r) const;
  void MoveWindow(int x, int y, int w, int h, bool repaint = true);
  void MoveWindow(const Rect& r, bool repaint = true) { MoveWindow(r.left, r.top, r.Width(), r.Height(), repaint); }
  bool SetWindowPos(const Wnd* insertAfter, int x, int y, int cx, int cy, unsigned flags);
  bool SetWindowPos(Hwnd insertAfter, int x, int y, int cx, int cy, unsigned flags);
  // Centres on alternate (or the owner/parent, else the screen's work area).
  void CenterWindow(Wnd* alternate = nullptr);
  void BringWindowToTop();

  // --- state ------------------------------------------------------------
  bool ShowWindow(int cmd);  // answers whether it was visible
  bool IsWindowVisible() const;  // visible itself and all its parents
  bool EnableWindow(bool enable = true);  // answers whether it was disabled
  bool IsWindowEnabled() const;
  Wnd* SetFocus();
  static Wnd* GetFocus();
  Wnd* SetCapture();
  static Wnd* GetCapture();
  Wnd* SetActiveWindow();
  static Wnd* GetActiveWindow();
  bool SetForegroundWindow();
  static Wnd* GetForegroundWindow();
  void SetWindowText(std::wstring_view text);
  void GetWindowText(std::wstring& out) const;
  std::wstring GetWindowText() const;
  int GetWindowTextLength() const;
  unsigned GetStyle() const;
  unsigned GetExStyle() const;
  bool ModifyStyle(unsigned remove, unsigned add, unsigned swpFlags = 0);
  bool ModifyStyleEx(unsigned remove, unsigned add, unsigned swpFlags = 0);
  void SetFont(Font* font, bool redraw = true);
  Font* GetFont() const;
  // Font the window draws with (its font, else the default GUI font).
  LogFont effectiveFont() const;
  std::intptr_t SetWindowLongPtr(int index, std::intptr_t value);  // user data slots
  std::intptr_t GetWindowLongPtr(int index) const;

  // --- painting ---------------------------------------------------------
  void Invalidate(bool erase = true);
  void InvalidateRect(const Rect* r, bool erase = true);
  void ValidateRect(const Rect* r);
  bool GetUpdateRect(Rect* r, bool erase = false) const;
  void UpdateWindow();
  bool RedrawWindow(const Rect* r = nullptr, unsigned flags = 0);
  // Scrolls the client area: children move, the area is invalidated.
  void ScrollWindow(int dx, int dy, const Rect* scrollRect = nullptr, const Rect* clipRect = nullptr);
  DC* GetDC();
  DC* GetWindowDC();
  int ReleaseDC(DC* dc);
  DC* BeginPaint(PaintStruct* ps);
  void EndPaint(PaintStruct* ps);
  // What the window's latest paint (and client DCs since) recorded.
  const Recording& paintRecording() const;
  Recording& paintRecording();

  // --- timers -----------------------------------------------------------
  std::uintptr_t SetTimer(std::uintptr_t id, unsigned elapseMs);
  bool KillTimer(std::uintptr_t id);

  // --- scroll bars (sb::Horz, sb::Vert) ---------------------------------
  int SetScrollInfo(int bar, const ScrollInfo* si, bool redraw = true);
  bool GetScrollInfo(int bar, ScrollInfo* si, unsigned mask = sif::All) const;
  int SetScrollPos(int bar, int pos, bool redraw = true);
  int GetScrollPos(int bar) const;
  void SetScrollRange(int bar, int minPos, int maxPos, bool redraw = true);
  void GetScrollRange(int bar, int* minPos, int* maxPos) const;
  int GetScrollLimit(int bar) const;
  void ShowScrollBar(int bar, bool show = true);
  void EnableScrollBarCtrl(int bar, bool enable = true);
  bool EnableScrollBar(int bar, unsigned arrows = 0);
  bool IsScrollBarShown(int bar) const;

  // --- dialog helpers (on any window, for its children) -----------------
  void SetDlgItemText(int id, std::wstring_view text);
  std::wstring GetDlgItemText(int id) const;
  int GetDlgItemText(int id, std::wstring& out) const;
  void SetDlgItemInt(int id, int value, bool isSigned = true);
  // Parses the child's text as an integer; ok=false (and 0) when it is not one.
  int GetDlgItemInt(int id, bool* ok = nullptr, bool isSigned = true) const;
  void CheckDlgButton(int id, int check);
  unsigned IsDlgButtonChecked(int id) const;
  void CheckRadioButton(int first, int last, int check);
  int GetCheckedRadioButton(int first, int last) const;
  Wnd* GetNextDlgTabItem(Wnd* ctl, bool previous = false) const;
  Wnd* GetNextDlgGroupItem(Wnd* ctl, bool previous = false) const;

  Hwnd m_hWnd = nullptr;

 protected:
  // Lets a derived class dispatch a message to the base handlers.
  LResult dispatchStandard(MsgId msg, WParam wp, LParam lp, bool* handled);

 private:
  friend struct WindowSystem;
  friend class DC;
  const Msg* current_ = nullptr;
  bool layerOwned_ = false;
};

// --- handles --------------------------------------------------------------
bool IsWindow(Hwnd h);
bool DestroyWindow(Hwnd h);
LResult SendMessage(Hwnd h, MsgId msg, WParam wp = 0, LParam lp = 0);
bool PostMessage(Hwnd h, MsgId msg, WParam wp = 0, LParam lp = 0);
// Creates a window of a registered class; its object is made by the class
// factory (a plain Wnd when none) and owned by the layer.
Hwnd CreateWindowEx(unsigned exStyle, const std::wstring& className, const std::wstring& windowName,
                    unsigned style, const Rect& rect, Hwnd parent, unsigned id, void* createParam = nullptr);
// The system default window procedure.
LResult DefWindowProc(Hwnd h, MsgId msg, WParam wp, LParam lp);
Hwnd WindowFromPoint(Point screenPoint);
Hwnd GetFocusHwnd();
// Ends the mouse capture (wm::CaptureChanged to the window that had it).
bool ReleaseCapture();
std::vector<Hwnd> topLevelWindows();  // z-order, top first
// Message being dispatched right now (innermost SendMessage/dispatch), or null.
const Msg* GetCurrentMessage();
// Cursor position when the current message was made (screen).
Point GetMessagePos();

// --- the queue --------------------------------------------------------------
// Dispatches posted messages (input messages pass PreTranslateMessage), then
// paints windows whose update region is not empty, then fires due timers.
// Answers the number of messages handled. Never blocks.
int pumpMessages();
// Dispatches one message the way the pump does (PreTranslateMessage first
// for input messages). Answers true when it was dispatched (not consumed).
bool dispatchInput(const Msg& m);
size_t queuedMessageCount();
// Drops every queued message (tests; a host resetting a session).
void clearMessageQueue();

// --- virtual clock and timers ----------------------------------------------
unsigned tickCount();
// Moves the clock on and fires the timers that fall due, in time order (ties in
// the order they were set), pumping messages between them.
void advanceClock(unsigned ms);

// --- cursor, keys, system settings ------------------------------------------
Point GetCursorPos();
void SetCursorPos(Point screenPoint);
// Cursor shape (idc::) last set; LoadCursor answers its id.
unsigned SetCursor(unsigned cursorId);
unsigned GetCursor();
unsigned LoadCursor(unsigned cursorId);
void ClipCursor(const Rect* r);
std::optional<Rect> cursorClip();
// Key state: bit 0x8000 (negative short) while down, bit 1 toggled.
short GetKeyState(unsigned vkCode);
short GetAsyncKeyState(unsigned vkCode);
void setKeyDown(unsigned vkCode, bool down);
void resetKeyState();
Color GetSysColor(int index);
void setSysColor(int index, Color c);
int GetSystemMetrics(int index);
// Double-click time (ms).
unsigned GetDoubleClickTime();

// --- output ----------------------------------------------------------------
// The layer reports to the user through one hook: message boxes, cancelled
// dialogs, unanswerable prompts. The host connects its command line; by
// default lines go to stdout.
using PrintHook = std::function<void(const std::wstring&)>;
void setPrintHook(PrintHook hook);
void print(const std::wstring& line);

// --- host windows ----------------------------------------------------------
// The CAD host's main frame (a top-level window, 1280 x 800 at (0,0)) and its
// drawing view (a child filling the frame's client area). Made on first use.
Wnd* mainFrame();
Wnd* drawingView();

// --- simulated user input ---------------------------------------------------
// These put input messages through the same path a real event would take:
// routed to the capture window when one is set (else the window under the
// point, or the focus window for keys), through PreTranslateMessage, then
// dispatched. Points are in the target's client coordinates.
namespace sim {
void mouseMove(Wnd* w, Point client, unsigned keys = 0);
void lButtonDown(Wnd* w, Point client, unsigned keys = 0);
void lButtonUp(Wnd* w, Point client, unsigned keys = 0);
void click(Wnd* w, Point client, unsigned keys = 0);        // down, up
void doubleClick(Wnd* w, Point client, unsigned keys = 0);  // down, up, dblclk, up
void rButtonDown(Wnd* w, Point client, unsigned keys = 0);
void rButtonUp(Wnd* w, Point client, unsigned keys = 0);   // also sends wm::ContextMenu
void rightClick(Wnd* w, Point client, unsigned keys = 0);
void wheel(Wnd* w, int delta, Point client = {}, unsigned keys = 0);
// Keys go to the focus window (or w when given).
void keyDown(unsigned vkCode, Wnd* w = nullptr);
void keyUp(unsigned vkCode, Wnd* w = nullptr);
void key(unsigned vkCode, Wnd* w = nullptr);  // down, the character it makes, up
void typeChar(wchar_t ch, Wnd* w = nullptr);
void typeText(std::wstring_view text, Wnd* w = nullptr);
}  // namespace sim

// Closes every window and resets the layer's global state (focus, capture,
// queue, timers, clock, key state, clipboard). For tests and host shutdown.
void resetWindowSystem();

}  // namespace ui
