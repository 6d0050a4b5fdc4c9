// Windows: painting, timers and scroll bars.
#include "platform/ui/wnd.h"

#include <algorithm>

#include "platform/ui/controls.h"
#include "platform/ui/wnd_internal.h"

namespace ui {

using namespace wndsys;

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------
void Wnd::Invalidate(bool erase) { InvalidateRect(nullptr, erase); }
void Wnd::InvalidateRect(const Rect* r, bool erase) {
  if (WindowData* d = data(m_hWnd)) invalidate(d, r, erase);
}
void Wnd::ValidateRect(const Rect* r) {
  WindowData* d = data(m_hWnd);
  if (!d || !d->update) return;
  if (!r) {
    d->update.reset();
    d->erase = false;
    return;
  }
  // A rectangle covering the whole update validates it; partial validation
  // keeps the (rectangular) update region.
  Rect inter;
  inter.IntersectRect(*d->update, *r);
  if (inter == *d->update) {
    d->update.reset();
    d->erase = false;
  }
}
bool Wnd::GetUpdateRect(Rect* r, bool) const {
  WindowData* d = data(m_hWnd);
  if (!d || !d->update) {
    if (r) *r = Rect{};
    return false;
  }
  if (r) *r = *d->update;
  return true;
}
void Wnd::UpdateWindow() { paintWindow(m_hWnd); }
bool Wnd::RedrawWindow(const Rect* r, unsigned) {
  InvalidateRect(r, true);
  UpdateWindow();
  return true;
}
void Wnd::ScrollWindow(int dx, int dy, const Rect* scrollRect, const Rect*) {
  WindowData* d = data(m_hWnd);
  if (!d) return;
  if (!scrollRect)
    for (Hwnd c : d->children)
      if (WindowData* cd = data(c)) cd->rect.OffsetRect(dx, dy);
  invalidate(d, scrollRect, true);
}

DC* Wnd::GetDC() { return data(m_hWnd) ? new ClientDC(this) : nullptr; }
DC* Wnd::GetWindowDC() { return data(m_hWnd) ? new WindowDC(this) : nullptr; }
int Wnd::ReleaseDC(DC* dc) {
  delete dc;
  return 1;
}
DC* Wnd::BeginPaint(PaintStruct* ps) {
  auto* dc = new PaintDC(this);
  if (ps) *ps = dc->m_ps;
  return dc;
}
void Wnd::EndPaint(PaintStruct* ps) {
  if (ps && ps->hdc) delete ps->hdc;
}

const Recording& Wnd::paintRecording() const {
  static const Recording empty;
  WindowData* d = data(m_hWnd);
  return d ? *d->paint : empty;
}
Recording& Wnd::paintRecording() {
  static Recording scratch;
  WindowData* d = data(m_hWnd);
  if (!d) {
    scratch.clear();
    return scratch;
  }
  return *d->paint;
}

// ---------------------------------------------------------------------------
// Timers
// ---------------------------------------------------------------------------
std::uintptr_t Wnd::SetTimer(std::uintptr_t id, unsigned elapse) {
  if (!data(m_hWnd)) return 0;
  auto& s = sys();
  KillTimer(id);
  unsigned e = std::max(1u, elapse);
  s.timers.push_back(Timer{m_hWnd, id, e, s.clock + e, ++s.timerSeq});
  return id ? id : 1;
}

bool Wnd::KillTimer(std::uintptr_t id) {
  auto& t = sys().timers;
  auto it = std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.h == m_hWnd && x.id == id; });
  bool found = it != t.end();
  t.erase(it, t.end());
  return found;
}

// ---------------------------------------------------------------------------
// Scroll bars
// ---------------------------------------------------------------------------
namespace {
int clampPos(const ScrollInfo& si, int pos) {
  int maxPos = si.nMax - std::max(int(si.nPage) - 1, 0);
  return std::max(si.nMin, std::min(pos, std::max(si.nMin, maxPos)));
}
unsigned barStyle(int bar) { return bar == sb::Horz ? ws::HScroll : ws::VScroll; }
}  // namespace

int Wnd::SetScrollInfo(int bar, const ScrollInfo* si, bool redraw) {
  WindowData* d = data(m_hWnd);
  if (!d || !si) return 0;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<ScrollBar*>(this)) {
      sbc->SetScrollInfo(si, redraw);
      return sbc->GetScrollPos();
    }
    return 0;
  }
  if (bar != sb::Horz && bar != sb::Vert) return 0;
  ScrollInfo& s = d->scroll[bar];
  if (si->fMask & sif::Range) {
    s.nMin = si->nMin;
    s.nMax = std::max(si->nMin, si->nMax);
  }
  if (si->fMask & sif::Page) s.nPage = std::min<unsigned>(si->nPage, unsigned(s.nMax - s.nMin + 1));
  if (si->fMask & sif::Pos) s.nPos = si->nPos;
  s.nPos = clampPos(s, s.nPos);
  if (si->fMask & (sif::Range | sif::Page)) {
    bool needed = s.nMax > s.nMin && int(s.nPage) <= s.nMax - s.nMin;
    bool shown = (d->style & barStyle(bar)) != 0;
    if (needed != shown && !(si->fMask & sif::DisableNoScroll)) ShowScrollBar(bar, needed);
    else if (!needed && (si->fMask & sif::DisableNoScroll) && !shown) ShowScrollBar(bar, true);
  }
  if ((d = data(m_hWnd)) && redraw) invalidate(d, nullptr, false);
  return d ? d->scroll[bar].nPos : 0;
}

bool Wnd::GetScrollInfo(int bar, ScrollInfo* si, unsigned mask) const {
  WindowData* d = data(m_hWnd);
  if (!d || !si) return false;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<const ScrollBar*>(this)) return sbc->GetScrollInfo(si, mask);
    return false;
  }
  if (bar != sb::Horz && bar != sb::Vert) return false;
  const ScrollInfo& s = d->scroll[bar];
  si->fMask = mask;
  if (mask & sif::Range) { si->nMin = s.nMin; si->nMax = s.nMax; }
  if (mask & sif::Page) si->nPage = s.nPage;
  if (mask & sif::Pos) si->nPos = s.nPos;
  if (mask & sif::TrackPos) si->nTrackPos = s.nTrackPos;
  return true;
}

int Wnd::SetScrollPos(int bar, int pos, bool redraw) {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<ScrollBar*>(this)) return sbc->SetScrollPos(pos, redraw);
    return 0;
  }
  if (bar != sb::Horz && bar != sb::Vert) return 0;
  int old = d->scroll[bar].nPos;
  d->scroll[bar].nPos = clampPos(d->scroll[bar], pos);
  d->scroll[bar].nTrackPos = d->scroll[bar].nPos;
  return old;
}

int Wnd::GetScrollPos(int bar) const {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<const ScrollBar*>(this)) return sbc->GetScrollPos();
    return 0;
  }
  return (bar == sb::Horz || bar == sb::Vert) ? d->scroll[bar].nPos : 0;
}

void Wnd::SetScrollRange(int bar, int minPos, int maxPos, bool redraw) {
  ScrollInfo si;
  si.fMask = sif::Range;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(bar, &si, redraw);
}

void Wnd::GetScrollRange(int bar, int* minPos, int* maxPos) const {
  ScrollInfo si;
  GetScrollInfo(bar, &si, sif::Range);
  if (minPos) *minPos = si.nMin;
  if (maxPos) *maxPos = si.nMax;
}

int Wnd::GetScrollLimit(int bar) const {
  ScrollInfo si;
  if (!GetScrollInfo(bar, &si, sif::All)) return 0;
  return std::max(si.nMin, si.nMax - std::max(int(si.nPage) - 1, 0));
}

void Wnd::ShowScrollBar(int bar, bool show) {
  WindowData* d = data(m_hWnd);
  if (!d) return;
  unsigned bits = bar == sb::Both ? (ws::HScroll | ws::VScroll) : bar == sb::Horz ? ws::HScroll
                                                              : bar == sb::Vert   ? ws::VScroll
                                                                                  : 0;
  if (!bits) return;
  unsigned n = show ? (d->style | bits) : (d->style & ~bits);
  if (n == d->style) return;
  Size before = clientSize(d);
  d->style = n;
  if (clientSize(d) != before) {
    Hwnd h = m_hWnd;
    invalidate(d, nullptr, true);
    Size c = clientSize(d);
    callWindow(h, wm::Size, size_type::Restored, MakeLParam(c.cx, c.cy));
  }
}

void Wnd::EnableScrollBarCtrl(int bar, bool enable) {
  // Window scroll bars: enabling shows them, disabling hides them.
  ShowScrollBar(bar, enable);
}

bool Wnd::EnableScrollBar(int bar, unsigned arrows) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  auto set = [&](int b) { d->scrollEnabled[b] = arrows == 0; };
  if (bar == sb::Both) { set(0); set(1); }
  else if (bar == sb::Horz || bar == sb::Vert) set(bar);
  return true;
}

bool Wnd::IsScrollBarShown(int bar) const {
  WindowData* d = data(m_hWnd);
  return d && (bar == sb::Horz || bar == sb::Vert) && (d->style & barStyle(bar));
}

}  // namespace ui
