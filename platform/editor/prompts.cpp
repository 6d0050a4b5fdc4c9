#include "platform/editor/prompts.h"

#include <cmath>
#include <cwctype>
#include <numbers>

#include "platform/editor/app.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/detail.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/editor/selection.h"
#include "platform/editor/winmsg.h"
#include "platform/os/os.h"

namespace ed {

namespace {

struct PromptState {
  detail::InitGetState initGet;
  std::wstring lastKeyword;
  bool hasKeyword = false;
  std::vector<std::deque<InputToken>> feeds;
  double unitsPerPixel = 1.0;
  double aperture = 5.0;
};

PromptState& ps() {
  static PromptState s;
  return s;
}

std::wstring trim(const std::wstring& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::iswspace(s[a])) ++a;
  while (b > a && std::iswspace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

void echo(const std::wstring& text) {
  if (hostOptions().echo) printText(text);
}

std::wstring pointText(const geom::Point3d& p) {
  return format(L"%g,%g,%g", p.x, p.y, p.z);
}

Msg makeMsg(unsigned message, std::uintptr_t w, const geom::Point3d& world) {
  Msg m;
  m.message = message;
  m.wParam = w;
  m.world = world;
  double u = ps().unitsPerPixel > 0 ? ps().unitsPerPixel : 1.0;
  m.pt.x = long(std::lround(world.x / u));
  m.pt.y = long(std::lround(-world.y / u));
  return m;
}

// What a message became after the filters: the kind of event it now stands
// for, or nullopt when it was swallowed.
enum class MsgOutcome { Swallowed, Escape, Enter, Space, RightClick, Click, Other };

MsgOutcome deliver(Msg m) {
  if (!dispatchInputMessage(m)) return MsgOutcome::Swallowed;
  switch (m.message) {
    case kWmKeyDown:
      if (m.wParam == kVkEscape || m.wParam == kVkCancel) return MsgOutcome::Escape;
      if (m.wParam == kVkReturn) return MsgOutcome::Enter;
      if (m.wParam == kVkSpace) return MsgOutcome::Space;
      return MsgOutcome::Other;
    case kWmChar:
      if (m.wParam == 13) return MsgOutcome::Enter;
      if (m.wParam == 32) return MsgOutcome::Space;
      if (m.wParam == 27 || m.wParam == 3) return MsgOutcome::Escape;
      return MsgOutcome::Other;
    case kWmRButtonDown:
    case kWmRButtonUp:
      return MsgOutcome::RightClick;
    case kWmLButtonDown:
    case kWmLButtonUp:
      return MsgOutcome::Click;
    default:
      return MsgOutcome::Other;
  }
}

// Passes a point through the current document's input point manager.
geom::Point3d trackPoint(const geom::Point3d& raw, const geom::Point3d* base, bool picking) {
  InputPointContext ctx;
  ctx.picking = picking;
  ctx.rawPoint = raw;
  ctx.computedPoint = raw;
  if (base) ctx.lastPoint = *base;
  ctx.apertureEntities = entitiesNear(raw, pickAperture());
  return curDoc()->inputPointManager().process(std::move(ctx));
}

std::optional<InputToken> nextToken() {
  auto& feeds = ps().feeds;
  if (!feeds.empty() && !feeds.back().empty()) {
    InputToken t = feeds.back().front();
    feeds.back().pop_front();
    if (!(t.kind == TokenKind::Directive && t.text == detail::kPauseDirective)) return t;
  }
  runIdleHook();
  return nextInput();
}

detail::Event outcomeEvent(MsgOutcome o, detail::Event e) {
  switch (o) {
    case MsgOutcome::Escape: e.kind = detail::Event::Escape; break;
    case MsgOutcome::Enter: e.kind = detail::Event::Enter; break;
    case MsgOutcome::Space: e.kind = detail::Event::Space; break;
    case MsgOutcome::RightClick: e.kind = detail::Event::RightClick; break;
    default: break;
  }
  return e;
}

}  // namespace

namespace detail {

Event readReply(const ReadOptions& opt) {
  Event e = readEvent(opt);
  if (e.kind == Event::Space || e.kind == Event::RightClick) e.kind = Event::Enter;
  return e;
}

Event readEvent(const ReadOptions& opt) {
  for (;;) {
    auto t = nextToken();
    Event e;
    if (!t) {
      e.kind = Event::Escape;
      e.ranOut = true;
      cancelActiveCommand();
      printText(L"*取消*");
      return e;
    }
    const geom::Point3d here = t->p1;
    // Enter, space, right click and Escape go to the windows first as this
    // message; false when a window swallowed it (the next token is read).
    auto signal = [&](unsigned message, std::uintptr_t w, Event::Kind kind) {
      MsgOutcome o = deliver(makeMsg(message, w, here));
      if (o == MsgOutcome::Swallowed) return false;
      e.kind = kind;
      e = outcomeEvent(o, e);
      return true;
    };
    switch (t->kind) {
      case TokenKind::Hover: {
        geom::Point3d p = trackPoint(t->p1, opt.base, false);
        deliver(makeMsg(kWmMouseMove, 0, p));
        continue;
      }
      case TokenKind::ShiftDown:
      case TokenKind::ShiftUp: {
        bool down = t->kind == TokenKind::ShiftDown;
        setKeyDown(kVkShift, down);
        deliver(makeMsg(down ? kWmKeyDown : kWmKeyUp, kVkShift, here));
        continue;
      }
      case TokenKind::Key: {
        int vk = virtualKeyFromName(t->text);
        MsgOutcome o = deliver(makeMsg(kWmKeyDown, std::uintptr_t(vk), here));
        deliver(makeMsg(kWmKeyUp, std::uintptr_t(vk), here));
        if (o == MsgOutcome::Escape || o == MsgOutcome::Enter || o == MsgOutcome::Space) {
          e = outcomeEvent(o, e);
          break;
        }
        continue;
      }
      case TokenKind::Enter:
        if (!signal(kWmChar, 13, Event::Enter)) continue;
        break;
      case TokenKind::Space: {
        if (opt.textSpaceIsChar) {
          e.kind = Event::Text;
          e.text = L" ";
          break;
        }
        if (!signal(kWmChar, 32, Event::Space)) continue;
        break;
      }
      case TokenKind::RightClick:
        if (!signal(kWmRButtonDown, kVkRButton, Event::RightClick)) continue;
        break;
      case TokenKind::Escape:
        if (!signal(kWmKeyDown, kVkEscape, Event::Escape)) continue;
        break;
      case TokenKind::Point: {
        geom::Point3d p = trackPoint(t->p1, opt.base, true);
        MsgOutcome o = deliver(makeMsg(kWmLButtonDown, kVkLButton, p));
        if (o == MsgOutcome::Swallowed) continue;
        if (o != MsgOutcome::Click) {
          e = outcomeEvent(o, e);
          break;
        }
        e.kind = Event::Point;
        e.p1 = p;
        detail::setLastPoint(p);
        echo(pointText(p));
        break;
      }
      case TokenKind::Pick: {
        e.kind = Event::Pick;
        if (!t->text.empty()) {
          e.byHandle = true;
          e.text = t->text;
          e.p1 = t->p1;
        } else {
          e.p1 = trackPoint(t->p1, opt.base, true);
        }
        MsgOutcome o = deliver(makeMsg(kWmLButtonDown, kVkLButton, e.p1));
        if (o == MsgOutcome::Swallowed) continue;
        if (o != MsgOutcome::Click) e = outcomeEvent(o, e);
        break;
      }
      case TokenKind::Window:
      case TokenKind::Crossing:
        e.kind = t->kind == TokenKind::Window ? Event::Window : Event::Crossing;
        e.p1 = t->p1;
        e.p2 = t->p2;
        break;
      case TokenKind::Text:
        e.kind = Event::Text;
        e.text = t->text;
        echo(t->text);
        break;
      case TokenKind::Directive:
        if (t->text == kSelSetDirective && !t->args.empty()) {
          e.kind = Event::SelSet;
          e.text = t->args[0];
          break;
        }
        {
          std::wstring error;
          if (!routeAnswer(*t, error)) printText(L"\n** 此处不需要 " + t->text + L" ** " + error);
        }
        continue;
      default:
        continue;
    }
    if (e.kind == Event::Escape) {
      cancelActiveCommand();
      printText(L"*取消*");
    }
    return e;
  }
}

void pushArgFeed(std::deque<InputToken> tokens) { ps().feeds.push_back(std::move(tokens)); }
void popArgFeed() {
  if (!ps().feeds.empty()) ps().feeds.pop_back();
}
size_t argFeedDepth() { return ps().feeds.size(); }
std::optional<InputToken> argFeedFront() {
  auto& feeds = ps().feeds;
  if (feeds.empty() || feeds.back().empty()) return std::nullopt;
  InputToken t = feeds.back().front();
  feeds.back().pop_front();
  return t;
}

InitGetState takeInitGet() {
  InitGetState s = ps().initGet;
  ps().initGet = {};
  ps().hasKeyword = false;
  return s;
}

std::wstring matchKeyword(const InitGetState& ig, const std::wstring& textIn) {
  std::wstring text = os::toUpper(trim(textIn));
  if (text.empty()) return {};
  // An exact match first, then the short forms and prefixes.
  for (size_t i = 0; i < ig.local.size(); ++i)
    if (os::toUpper(ig.local[i]) == text) return ig.global[i];
  int found = -1;
  for (size_t i = 0; i < ig.local.size(); ++i) {
    const std::wstring& kw = ig.local[i];
    std::wstring up = os::toUpper(kw);
    std::wstring abbrev;
    for (wchar_t c : kw)
      if (std::iswupper(c) || std::iswdigit(c)) abbrev += c;
    bool isPrefix = up.compare(0, text.size(), text) == 0 && text.size() <= up.size();
    bool ok = false;
    if (!abbrev.empty() && abbrev.size() < kw.size()) {
      // Mixed case: the capitals are the short form; longer prefixes also do.
      ok = text == abbrev || (isPrefix && text.size() >= abbrev.size() &&
                              up.compare(0, abbrev.size(), abbrev) == 0);
      if (!ok && text == abbrev) ok = true;
    } else {
      ok = isPrefix;
    }
    if (ok) {
      if (found >= 0 && found != int(i)) return {};  // ambiguous
      found = int(i);
    }
  }
  return found >= 0 ? ig.global[found] : std::wstring();
}

void setLastKeyword(const std::wstring& kw) {
  ps().lastKeyword = kw;
  ps().hasKeyword = true;
}
void clearLastKeyword() { ps().hasKeyword = false; }

void resetPrompts() {
  ps().initGet = {};
  ps().hasKeyword = false;
  ps().lastKeyword.clear();
  ps().feeds.clear();
  ps().unitsPerPixel = 1.0;
  ps().aperture = 5.0;
}

}  // namespace detail

using detail::Event;

int initGet(int flags, const std::wstring& keywords) {
  detail::InitGetState s;
  s.flags = flags;
  std::vector<std::wstring> words;
  std::wstring cur;
  for (wchar_t c : keywords) {
    if (c == L' ' || c == L'\t' || c == L',') {
      if (!cur.empty()) words.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(cur);
  // "L1 L2 _G1 G2": local words, then after the "_" the global ones.
  size_t split = words.size();
  for (size_t i = 0; i < words.size(); ++i)
    if (words[i][0] == L'_') {
      split = i;
      break;
    }
  for (size_t i = 0; i < split; ++i) s.local.push_back(words[i]);
  for (size_t i = 0; i < s.local.size(); ++i) {
    size_t g = split + i;
    std::wstring gw = g < words.size() ? words[g] : s.local[i];
    if (!gw.empty() && gw[0] == L'_') gw.erase(0, 1);
    s.global.push_back(gw);
  }
  ps().initGet = s;
  return kNormal;
}

int getInput(std::wstring& out) {
  if (!ps().hasKeyword) {
    out.clear();
    return kError;
  }
  out = ps().lastKeyword;
  return kNormal;
}

bool parseReal(const std::wstring& textIn, double& out) {
  std::wstring text = trim(textIn);
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  double v = std::wcstod(text.c_str(), &end);
  if (!end || *end != 0 || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool parsePoint(const std::wstring& text, geom::Point3d& out) {
  std::vector<std::wstring> parts;
  std::wstring cur;
  for (wchar_t c : text) {
    if (c == L',') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  if (parts.size() < 2 || parts.size() > 3) return false;
  double v[3] = {0, 0, 0};
  for (size_t i = 0; i < parts.size(); ++i)
    if (!parseReal(parts[i], v[i])) return false;
  out = geom::Point3d(v[0], v[1], v[2]);
  return true;
}

namespace {

// Runs a transparent command typed at a prompt ("'zoom"); true when the
// text was one.
bool tryTransparent(const std::wstring& text) {
  if (text.size() < 2 || text[0] != L'\'') return false;
  runCommand(text);
  return true;
}

// Parses typed point text, with "@dx,dy" relative to base.
bool typedPoint(const std::wstring& textIn, const geom::Point3d* base, geom::Point3d& out) {
  std::wstring text = trim(textIn);
  if (!text.empty() && text[0] == L'@') {
    geom::Point3d d;
    geom::Point3d b = base ? *base : geom::Point3d();
    if (text.size() == 1) {
      out = b;
      return true;
    }
    if (!parsePoint(text.substr(1), d)) return false;
    out = geom::Point3d(b.x + d.x, b.y + d.y, b.z + d.z);
    return true;
  }
  return parsePoint(text, out);
}

// Resolves a pick event to a point (a handle pick: the entity's reference point).
geom::Point3d pickPoint(const Event& e);

int keywordResult(const detail::InitGetState& ig, const std::wstring& text) {
  std::wstring kw = detail::matchKeyword(ig, text);
  if (!kw.empty()) {
    detail::setLastKeyword(kw);
    return kKeyword;
  }
  if ((ig.flags & kArbitraryInput) && !ig.any()) {
    detail::setLastKeyword(text);
    return kKeyword;
  }
  return 0;
}

// Says what was wrong with a reply and asks again.
void retry(const std::wstring& why, const std::wstring& text) {
  printText(why);
  prompt(text);
}

bool nullAllowed(const detail::InitGetState& ig) { return !(ig.flags & kNoNull); }

// Common point reader for getPoint and getCorner.
int readPoint(const geom::Point3d* base, const std::wstring& text, geom::Point3d& out,
              const detail::InitGetState& ig) {
  prompt(text);
  detail::ReadOptions opt;
  opt.base = base;
  for (;;) {
    Event e = detail::readReply(opt);
    switch (e.kind) {
      case Event::Escape:
        return kCancel;
      case Event::Enter:  // or Space, or a right click
        if (nullAllowed(ig)) return kNone;
        retry(L"\n需要点或选项关键字。", text);
        continue;
      case Event::Point:
        out = e.p1;
        return kNormal;
      case Event::Pick:
        out = pickPoint(e);
        detail::setLastPoint(out);
        return kNormal;
      case Event::Text: {
        if (tryTransparent(e.text)) {
          prompt(text);
          continue;
        }
        geom::Point3d p;
        if (typedPoint(e.text, base, p)) {
          out = trackPoint(p, base, true);
          detail::setLastPoint(out);
          return kNormal;
        }
        if (int r = keywordResult(ig, e.text)) return r;
        retry(ig.any() ? L"\n需要点或选项关键字。" : L"\n点无效。", text);
        continue;
      }
      default:
        retry(L"\n点无效。", text);
        continue;
    }
  }
}

// Reads a number (or a point giving one through toNumber). kind: 0 int, 1 real.
template <class ToNumber>
int readNumber(const std::wstring& text, double& out, const detail::InitGetState& ig,
               const geom::Point3d* base, bool integer, const wchar_t* badText, ToNumber toNumber) {
  prompt(text);
  detail::ReadOptions opt;
  opt.base = base;
  for (;;) {
    Event e = detail::readReply(opt);
    double v = 0;
    bool have = false;
    switch (e.kind) {
      case Event::Escape:
        return kCancel;
      case Event::Enter:  // or Space, or a right click
        if (nullAllowed(ig)) return kNone;
        retry(L"\n需要输入值。", text);
        continue;
      case Event::Point:
      case Event::Pick: {
        geom::Point3d p = e.kind == Event::Pick ? pickPoint(e) : e.p1;
        int r = toNumber(p, v);
        if (r == 0) {
          retry(badText, text);
          continue;
        }
        if (r != kNormal) return r;
        have = true;
        break;
      }
      case Event::Text: {
        if (tryTransparent(e.text)) {
          prompt(text);
          continue;
        }
        if (parseReal(e.text, v)) {
          if (integer && (v != std::floor(v) || std::fabs(v) > 32767)) {
            retry(L"\n需要介于 -32768 和 32767 之间的整数。", text);
            continue;
          }
          have = true;
          if (!integer) v = toNumber.typed(v);
          break;
        }
        geom::Point3d p;
        if (!integer && typedPoint(e.text, base, p)) {
          int r = toNumber(p, v);
          if (r == 0) {
            retry(badText, text);
            continue;
          }
          if (r != kNormal) return r;
          have = true;
          break;
        }
        if (int r = keywordResult(ig, e.text)) return r;
        retry(badText, text);
        continue;
      }
      default:
        retry(badText, text);
        continue;
    }
    if (!have) continue;
    if ((ig.flags & kNoZero) && v == 0) {
      retry(L"\n值必须非零。", text);
      continue;
    }
    if ((ig.flags & kNoNegative) && v < 0) {
      retry(L"\n值必须为正。", text);
      continue;
    }
    out = v;
    return kNormal;
  }
}

struct NoPoint {
  int operator()(const geom::Point3d&, double&) const { return 0; }
  double typed(double v) const { return v; }
};

}  // namespace

int getPoint(const geom::Point3d* base, const std::wstring& text, geom::Point3d& out) {
  auto ig = detail::takeInitGet();
  return readPoint(base, text, out, ig);
}

int getCorner(const geom::Point3d& base, const std::wstring& text, geom::Point3d& out) {
  auto ig = detail::takeInitGet();
  return readPoint(&base, text, out, ig);
}

int getDist(const geom::Point3d* base, const std::wstring& text, double& out) {
  auto ig = detail::takeInitGet();
  struct ToDist {
    const geom::Point3d* base;
    bool plan;
    int operator()(const geom::Point3d& p, double& v) const {
      geom::Point3d b;
      if (base) {
        b = *base;
      } else {
        // The point is the first of two; ask for the second.
        geom::Point3d q;
        detail::InitGetState none;
        int r = readPoint(&p, L"\n指定第二点:", q, none);
        if (r != kNormal) return r == kNone ? kNone : r;
        b = p;
        v = plan ? b.planDistanceTo(q) : b.distanceTo(q);
        return kNormal;
      }
      v = plan ? b.planDistanceTo(p) : b.distanceTo(p);
      return kNormal;
    }
    double typed(double v) const { return v; }
  };
  return readNumber(text, out, ig, base, false, L"\n需要数值距离或两点。",
                    ToDist{base, (ig.flags & kIgnoreZ) != 0});
}

int getAngle(const geom::Point3d* base, const std::wstring& text, double& out) {
  auto ig = detail::takeInitGet();
  struct ToAngle {
    const geom::Point3d* base;
    int operator()(const geom::Point3d& p, double& v) const {
      geom::Point3d b, q;
      if (base) {
        b = *base;
        q = p;
      } else {
        detail::InitGetState none;
        int r = readPoint(&p, L"\n指定第二点:", q, none);
        if (r != kNormal) return r;
        b = p;
      }
      double a = std::atan2(q.y - b.y, q.x - b.x);
      if (a < 0) a += 2 * std::numbers::pi;
      v = a;
      return kNormal;
    }
    double typed(double deg) const { return deg * std::numbers::pi / 180.0; }
  };
  return readNumber(text, out, ig, base, false, L"\n需要数值角度或两点。", ToAngle{base});
}

int getString(bool allowSpaces, const std::wstring& text, std::wstring& out) {
  detail::takeInitGet();
  prompt(text);
  detail::ReadOptions opt;
  opt.textSpaceIsChar = allowSpaces;
  for (;;) {
    Event e = detail::readReply(opt);
    switch (e.kind) {
      case Event::Escape:
        return kCancel;
      case Event::Enter:  // or Space, or a right click
        out.clear();
        return kNormal;
      case Event::Text: {
        std::wstring s = e.text;
        if (!allowSpaces) {
          auto sp = s.find_first_of(L" \t");
          if (sp != std::wstring::npos) s = s.substr(0, sp);
        }
        out = s;
        return kNormal;
      }
      default:
        continue;  // clicks mean nothing at a text prompt
    }
  }
}

int getKeyword(const std::wstring& text, std::wstring& out) {
  auto ig = detail::takeInitGet();
  prompt(text);
  for (;;) {
    Event e = detail::readReply();
    switch (e.kind) {
      case Event::Escape:
        return kCancel;
      case Event::Enter:  // or Space, or a right click
        if (nullAllowed(ig)) {
          out.clear();
          return kNone;
        }
        retry(L"\n无效选项关键字。", text);
        continue;
      case Event::Text: {
        if (tryTransparent(e.text)) {
          prompt(text);
          continue;
        }
        std::wstring kw = detail::matchKeyword(ig, e.text);
        if (kw.empty() && (ig.flags & kArbitraryInput) && !ig.any()) kw = e.text;
        if (!kw.empty()) {
          out = kw;
          detail::setLastKeyword(kw);
          return kNormal;
        }
        retry(L"\n无效选项关键字。", text);
        continue;
      }
      default:
        retry(L"\n无效选项关键字。", text);
        continue;
    }
  }
}

int getInt(const std::wstring& text, int& out) {
  auto ig = detail::takeInitGet();
  double v = 0;
  int r = readNumber(text, v, ig, nullptr, true, L"\n需要整数值。", NoPoint{});
  if (r == kNormal) out = int(v);
  return r;
}

int getReal(const std::wstring& text, double& out) {
  auto ig = detail::takeInitGet();
  return readNumber(text, out, ig, nullptr, false, L"\n需要数值。", NoPoint{});
}

double viewUnitsPerPixel() { return ps().unitsPerPixel; }
void setViewUnitsPerPixel(double u) {
  if (u > 0) ps().unitsPerPixel = u;
}
geom::Point3d pixelToWorld(long x, long y) {
  double u = ps().unitsPerPixel;
  return geom::Point3d(x * u, -y * u, 0);
}
double pickAperture() { return ps().aperture; }
void setPickAperture(double u) {
  if (u > 0) ps().aperture = u;
}

namespace {
geom::Point3d pickPoint(const Event& e) {
  if (!e.byHandle) return e.p1;
  cad::ObjectId id = idFromHandle(e.text);
  return id ? detail::entityReferencePoint(id) : e.p1;
}
}  // namespace

}  // namespace ed
