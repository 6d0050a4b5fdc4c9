// Device contexts that record, GDI objects and the deterministic font metrics.
#include "platform/ui/gdi.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/os/os.h"
#include "platform/ui/detail.h"
#include "platform/ui/resources.h"
#include "platform/ui/wnd.h"

namespace ui {

// ---------------------------------------------------------------------------
// Fonts and metrics
// ---------------------------------------------------------------------------
const NonClientMetrics& GetNonClientMetrics() {
  static const NonClientMetrics m = [] {
    NonClientMetrics n;
    LogFont f;
    f.lfHeight = -12;
    f.lfFaceName = L"宋体";
    n.lfCaptionFont = n.lfSmCaptionFont = n.lfMenuFont = n.lfStatusFont = n.lfMessageFont = f;
    n.lfCaptionFont.lfWeight = fw::Bold;
    return n;
  }();
  return m;
}

int FontPixelHeight(const LogFont& f) { return f.lfHeight == 0 ? 12 : std::abs(f.lfHeight); }

bool IsWideChar(wchar_t c) {
  unsigned u = unsigned(c);
  return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
         (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
         (u >= 0xFFE0 && u <= 0xFFE6) || (u >= 0x20000 && u <= 0x3FFFD) || u == 0x25A0 || u == 0x25A1;
}

int CharWidth(wchar_t ch, int h) {
  if (ch == L'\t') return 4 * std::max(1, h / 2);
  if (ch < 0x20 || ch == 0x7F) return 0;
  if (IsWideChar(ch)) return h;
  return std::max(1, h / 2);
}

Size TextExtent(const LogFont& f, std::wstring_view text) {
  int h = FontPixelHeight(f);
  int w = 0;
  for (wchar_t c : text) w += CharWidth(c, h);
  if (f.lfWeight >= fw::Bold && !text.empty()) w += 0;  // bold keeps the same advance
  return {w, h};
}

TextMetric MetricsOf(const LogFont& f) {
  int h = FontPixelHeight(f);
  TextMetric tm;
  tm.tmHeight = h;
  tm.tmAscent = h - h / 5;
  tm.tmDescent = h / 5;
  tm.tmInternalLeading = 0;
  tm.tmExternalLeading = 0;
  tm.tmAveCharWidth = std::max(1, h / 2);
  tm.tmMaxCharWidth = h;
  tm.tmWeight = f.lfWeight;
  tm.tmOverhang = 0;
  return tm;
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  long long v = (long long)number * numerator;
  long long half = std::llabs(denominator) / 2;
  long long r = (v >= 0) == (denominator > 0) ? (std::llabs(v) + half) / std::llabs(denominator)
                                              : -((std::llabs(v) + half) / std::llabs(denominator));
  return int(r);
}

// ---------------------------------------------------------------------------
// GDI objects
// ---------------------------------------------------------------------------
bool Pen::CreatePen(int style, int width, Color c) {
  data_ = PenData{style, width, c};
  valid_ = true;
  return true;
}

bool Brush::CreateSolidBrush(Color c) {
  data_ = BrushData{brush_style::Solid, c, 0};
  valid_ = true;
  return true;
}
bool Brush::CreateSysColorBrush(int index) { return CreateSolidBrush(GetSysColor(index)); }
bool Brush::CreateHatchBrush(int hatch, Color c) {
  data_ = BrushData{brush_style::Hatched, c, hatch};
  valid_ = true;
  return true;
}
Brush Brush::Null() {
  Brush b;
  b.data_ = BrushData{brush_style::Null, 0, 0};
  b.valid_ = true;
  return b;
}

bool Font::CreateFontIndirect(const LogFont* lf) {
  if (!lf) return false;
  lf_ = *lf;
  valid_ = true;
  return true;
}
bool Font::CreateFont(int height, int width, int escapement, int orientation, int weight, bool italic,
                      bool underline, bool strikeOut, int charSet, int outPrecision, int clipPrecision, int quality,
                      int pitchAndFamily, const std::wstring& face) {
  LogFont lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfStrikeOut = strikeOut;
  lf.lfCharSet = charSet;
  lf.lfOutPrecision = outPrecision;
  lf.lfClipPrecision = clipPrecision;
  lf.lfQuality = quality;
  lf.lfPitchAndFamily = pitchAndFamily;
  lf.lfFaceName = face;
  return CreateFontIndirect(&lf);
}
bool Font::CreatePointFont(int pointSize, const std::wstring& face, DC* dc) {
  int dpi = dc ? dc->GetDeviceCaps(caps::LogPixelsY) : 96;
  LogFont lf;
  lf.lfHeight = -MulDiv(pointSize, dpi, 720);
  lf.lfFaceName = face;
  return CreateFontIndirect(&lf);
}
int Font::GetLogFont(LogFont* out) const {
  if (!out || !valid_) return 0;
  *out = lf_;
  return int(sizeof(LogFont));
}

Bitmap::Bitmap() = default;
Bitmap::~Bitmap() = default;

namespace {
std::optional<Size> imageFileSize(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return std::nullopt;
  unsigned char head[32] = {};
  f.read(reinterpret_cast<char*>(head), sizeof head);
  if (f.gcount() >= 24 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G') {
    int w = (head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19];
    int h = (head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23];
    return Size{w, h};
  }
  if (f.gcount() >= 26 && head[0] == 'B' && head[1] == 'M') {
    int w = head[18] | (head[19] << 8) | (head[20] << 16) | (head[21] << 24);
    int h = head[22] | (head[23] << 8) | (head[24] << 16) | (head[25] << 24);
    return Size{w, std::abs(h)};
  }
  return std::nullopt;
}
}  // namespace

bool Bitmap::LoadFromFile(const std::wstring& path) {
  std::string native = os::nativePathUtf8(path);
  auto sz = imageFileSize(native);
  if (!sz) return false;
  size_ = *sz;
  path_ = os::fromUtf8(native);
  canvas_.reset();
  valid_ = true;
  return true;
}

bool Bitmap::LoadBitmap(unsigned id) {
  auto p = findBitmapPath(id);
  return p && LoadFromFile(*p);
}

bool Bitmap::CreateCompatibleBitmap(DC*, int width, int height) { return CreateBitmap(width, height); }

bool Bitmap::CreateBitmap(int width, int height) {
  if (width < 0 || height < 0) return false;
  size_ = {width, height};
  path_.clear();
  canvas_ = std::make_shared<Recording>();
  canvas_->size = size_;
  valid_ = true;
  return true;
}

bool Region::CreateRectRgn(int l, int t, int r, int b) {
  rect_ = Rect(l, t, r, b);
  rect_.NormalizeRect();
  valid_ = true;
  return true;
}

GdiObject* GetStockObject(int index) {
  static Brush brushes[6];
  static Pen pens[3];
  static Font fonts[8];
  static bool init = false;
  if (!init) {
    init = true;
    brushes[stock::WhiteBrush].CreateSolidBrush(RGB(255, 255, 255));
    brushes[stock::LtGrayBrush].CreateSolidBrush(RGB(192, 192, 192));
    brushes[stock::GrayBrush].CreateSolidBrush(RGB(128, 128, 128));
    brushes[stock::DkGrayBrush].CreateSolidBrush(RGB(64, 64, 64));
    brushes[stock::BlackBrush].CreateSolidBrush(RGB(0, 0, 0));
    brushes[stock::NullBrush] = Brush::Null();
    pens[0].CreatePen(ps::Solid, 0, RGB(255, 255, 255));
    pens[1].CreatePen(ps::Solid, 0, RGB(0, 0, 0));
    pens[2].CreatePen(ps::Null, 0, RGB(0, 0, 0));
    LogFont def;
    for (auto& f : fonts) f.CreateFontIndirect(&def);
  }
  if (index >= 0 && index <= stock::NullBrush) return &brushes[index];
  if (index >= stock::WhitePen && index <= stock::NullPen) return &pens[index - stock::WhitePen];
  if (index >= stock::OemFixedFont && index <= stock::DefaultGuiFont) return &fonts[index - stock::OemFixedFont];
  return nullptr;
}

Brush* GetSysColorBrush(int index) {
  static Brush brushes[color::Count];
  if (index < 0 || index >= color::Count) return nullptr;
  brushes[index].CreateSolidBrush(GetSysColor(index));
  return &brushes[index];
}

// ---------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------
size_t Recording::count(DrawOp op) const {
  return size_t(std::count_if(calls.begin(), calls.end(), [&](const DrawCall& c) { return c.op == op; }));
}
std::vector<const DrawCall*> Recording::of(DrawOp op) const {
  std::vector<const DrawCall*> out;
  for (auto& c : calls)
    if (c.op == op) out.push_back(&c);
  return out;
}
std::vector<std::wstring> Recording::texts() const {
  std::vector<std::wstring> out;
  for (auto& c : calls)
    if (c.op == DrawOp::Text || c.op == DrawOp::TextOut) out.push_back(c.text);
  return out;
}
const DrawCall* Recording::findText(std::wstring_view t) const {
  for (auto& c : calls)
    if ((c.op == DrawOp::Text || c.op == DrawOp::TextOut) && c.text == t) return &c;
  return nullptr;
}
std::wstring Recording::dump() const {
  static const wchar_t* names[] = {L"FillRect", L"FrameRect", L"Rectangle", L"Ellipse", L"Line",  L"Polyline",
                                   L"Polygon",  L"Text",      L"TextOut",   L"Edge",    L"Focus", L"Invert",
                                   L"Blit",     L"Image",     L"Pixel",     L"Marker"};
  std::wostringstream o;
  for (auto& c : calls) {
    o << names[int(c.op)] << L" (" << c.rect.left << L"," << c.rect.top << L")-(" << c.rect.right << L","
      << c.rect.bottom << L")";
    for (auto& p : c.points) o << L" " << p.x << L"," << p.y;
    if (!c.text.empty()) o << L" \"" << c.text << L"\"";
    if (c.flags) o << L" flags=0x" << std::hex << c.flags << std::dec;
    o << L"\n";
  }
  return o.str();
}

// ---------------------------------------------------------------------------
// DC
// ---------------------------------------------------------------------------
DC::DC() {
  state_.pen = PenData{ps::Solid, 0, RGB(0, 0, 0)};
  state_.brush = BrushData{brush_style::Solid, RGB(255, 255, 255), 0};
}

DC::~DC() = default;

bool DC::CreateCompatibleDC(DC*) {
  kind_ = Kind::Memory;
  hwnd_ = nullptr;
  target_ = nullptr;
  ownTarget_.reset();
  // A memory DC starts with a 1x1 surface until a bitmap is selected.
  ownTarget_ = std::make_shared<Recording>();
  ownTarget_->size = {1, 1};
  target_ = ownTarget_.get();
  return true;
}

Wnd* DC::GetWindow() const { return Wnd::FromHandle(hwnd_); }

void DC::attachWindow(Hwnd h, Kind k, const Rect& clipDevice, Point deviceOffset) {
  kind_ = k;
  hwnd_ = h;
  target_ = detail::paintRecordingOf(h);
  deviceOffset_ = deviceOffset;
  state_.clip = clipDevice;
  if (Wnd* w = Wnd::FromHandle(h)) state_.font = w->effectiveFont();
}

Pen* DC::SelectObject(Pen* p) {
  Pen* old = penObj_;
  if (p && p->IsValid()) {
    state_.pen = p->data();
    penObj_ = p;
  }
  return old ? old : static_cast<Pen*>(GetStockObject(stock::BlackPen));
}
Brush* DC::SelectObject(Brush* b) {
  Brush* old = brushObj_;
  if (b && b->IsValid()) {
    state_.brush = b->data();
    brushObj_ = b;
  }
  return old ? old : static_cast<Brush*>(GetStockObject(stock::WhiteBrush));
}
Font* DC::SelectObject(Font* f) {
  Font* old = fontObj_;
  if (f && f->IsValid()) {
    state_.font = f->logFont();
    fontObj_ = f;
  }
  return old ? old : static_cast<Font*>(GetStockObject(stock::SystemFont));
}
Bitmap* DC::SelectObject(Bitmap* b) {
  Bitmap* old = bitmapObj_;
  if (kind_ != Kind::Memory || !b) return old;
  bitmapObj_ = b;
  if (!b->canvas()) b->CreateBitmap(b->GetSize().cx, b->GetSize().cy);
  target_ = b->canvas().get();
  return old;
}
int DC::SelectObject(Region* r) { return SelectClipRgn(r); }
GdiObject* DC::SelectObject(GdiObject* o) {
  if (!o) return nullptr;
  switch (o->kind()) {
    case GdiObject::Kind::Pen: return SelectObject(static_cast<Pen*>(o));
    case GdiObject::Kind::Brush: return SelectObject(static_cast<Brush*>(o));
    case GdiObject::Kind::Font: return SelectObject(static_cast<Font*>(o));
    case GdiObject::Kind::Bitmap: return SelectObject(static_cast<Bitmap*>(o));
    case GdiObject::Kind::Region: SelectObject(static_cast<Region*>(o)); return nullptr;
  }
  return nullptr;
}
GdiObject* DC::SelectStockObject(int index) { return SelectObject(GetStockObject(index)); }

int DC::SaveDC() {
  State s = state_;
  s.penObj = penObj_;
  s.brushObj = brushObj_;
  s.fontObj = fontObj_;
  saved_.push_back(s);
  return int(saved_.size());
}
bool DC::RestoreDC(int n) {
  if (saved_.empty()) return false;
  size_t idx = n < 0 ? saved_.size() - 1 : size_t(n - 1);
  if (idx >= saved_.size()) return false;
  state_ = saved_[idx];
  penObj_ = state_.penObj;
  brushObj_ = state_.brushObj;
  fontObj_ = state_.fontObj;
  saved_.resize(idx);
  return true;
}

Color DC::SetTextColor(Color c) { return std::exchange(state_.textColor, c); }
Color DC::SetBkColor(Color c) { return std::exchange(state_.bkColor, c); }
int DC::SetBkMode(int m) { return std::exchange(state_.bkMode, m); }
unsigned DC::SetTextAlign(unsigned a) { return std::exchange(state_.textAlign, a); }

int DC::SetMapMode(int m) { return std::exchange(state_.mapMode, m); }
Point DC::SetWindowOrg(int x, int y) { return std::exchange(state_.windowOrg, Point{x, y}); }
Point DC::OffsetWindowOrg(int dx, int dy) {
  Point old = state_.windowOrg;
  state_.windowOrg = {old.x + dx, old.y + dy};
  return old;
}
Size DC::SetWindowExt(int cx, int cy) { return std::exchange(state_.windowExt, Size{cx ? cx : 1, cy ? cy : 1}); }
Point DC::SetViewportOrg(int x, int y) { return std::exchange(state_.viewportOrg, Point{x, y}); }
Point DC::OffsetViewportOrg(int dx, int dy) {
  Point old = state_.viewportOrg;
  state_.viewportOrg = {old.x + dx, old.y + dy};
  return old;
}
Size DC::SetViewportExt(int cx, int cy) { return std::exchange(state_.viewportExt, Size{cx ? cx : 1, cy ? cy : 1}); }

Point DC::toDevice(Point p) const {
  bool scaled = state_.mapMode == mm::Anisotropic || state_.mapMode == mm::Isotropic;
  int x = p.x - state_.windowOrg.x, y = p.y - state_.windowOrg.y;
  if (scaled) {
    x = MulDiv(x, state_.viewportExt.cx, state_.windowExt.cx);
    y = MulDiv(y, state_.viewportExt.cy, state_.windowExt.cy);
  }
  return {x + state_.viewportOrg.x + deviceOffset_.x, y + state_.viewportOrg.y + deviceOffset_.y};
}
Rect DC::toDevice(const Rect& r) const {
  Point a = toDevice(r.TopLeft()), b = toDevice(r.BottomRight());
  Rect d(a.x, a.y, b.x, b.y);
  d.NormalizeRect();
  return d;
}
void DC::LPtoDP(Point* p, int n) const {
  for (int i = 0; i < n; ++i) {
    Point d = toDevice(p[i]);
    p[i] = {d.x - deviceOffset_.x, d.y - deviceOffset_.y};
  }
}
void DC::LPtoDP(Rect* r) const {
  Point a = r->TopLeft(), b = r->BottomRight();
  LPtoDP(&a);
  LPtoDP(&b);
  *r = Rect(a.x, a.y, b.x, b.y);
}
void DC::DPtoLP(Point* p, int n) const {
  bool scaled = state_.mapMode == mm::Anisotropic || state_.mapMode == mm::Isotropic;
  for (int i = 0; i < n; ++i) {
    int x = p[i].x - state_.viewportOrg.x, y = p[i].y - state_.viewportOrg.y;
    if (scaled) {
      x = MulDiv(x, state_.windowExt.cx, state_.viewportExt.cx);
      y = MulDiv(y, state_.windowExt.cy, state_.viewportExt.cy);
    }
    p[i] = {x + state_.windowOrg.x, y + state_.windowOrg.y};
  }
}
void DC::DPtoLP(Rect* r) const {
  Point a = r->TopLeft(), b = r->BottomRight();
  DPtoLP(&a);
  DPtoLP(&b);
  *r = Rect(a.x, a.y, b.x, b.y);
}

Size DC::surfaceSize() const {
  if (target_) return target_->size;
  return {};
}

int DC::GetDeviceCaps(int index) const {
  Size s = surfaceSize();
  if (kind_ == Kind::Window || kind_ == Kind::Client || kind_ == Kind::Paint || kind_ == Kind::Screen ||
      kind_ == Kind::Info) {
    if (index == caps::HorzRes) return GetSystemMetrics(sm::CxScreen);
    if (index == caps::VertRes) return GetSystemMetrics(sm::CyScreen);
  }
  switch (index) {
    case caps::HorzRes: return s.cx;
    case caps::VertRes: return s.cy;
    case caps::LogPixelsX:
    case caps::LogPixelsY: return 96;
    case caps::HorzSize: return MulDiv(GetDeviceCaps(caps::HorzRes), 254, 960);
    case caps::VertSize: return MulDiv(GetDeviceCaps(caps::VertRes), 254, 960);
    case caps::BitsPixel: return 32;
  }
  return 0;
}

int DC::GetClipBox(Rect* r) const {
  Size s = surfaceSize();
  Rect dev = state_.clip ? *state_.clip : Rect(0, 0, s.cx, s.cy);
  dev.OffsetRect(-deviceOffset_.x, -deviceOffset_.y);
  DPtoLP(&dev);
  dev.NormalizeRect();
  if (r) *r = dev;
  if (dev.IsRectEmpty()) return rgn::NullRegion;
  return state_.excluded.empty() ? rgn::Simple : rgn::Complex;
}

int DC::IntersectClipRect(int l, int t, int r, int b) {
  Rect d = toDevice(Rect(l, t, r, b));
  Size s = surfaceSize();
  Rect cur = state_.clip ? *state_.clip : Rect(deviceOffset_.x, deviceOffset_.y, deviceOffset_.x + s.cx, deviceOffset_.y + s.cy);
  Rect n;
  n.IntersectRect(cur, d);
  state_.clip = n;
  return n.IsRectEmpty() ? rgn::NullRegion : rgn::Simple;
}

int DC::ExcludeClipRect(int l, int t, int r, int b) {
  state_.excluded.push_back(toDevice(Rect(l, t, r, b)));
  return rgn::Complex;
}

int DC::SelectClipRgn(Region* r) {
  state_.excluded.clear();
  if (!r) {
    state_.clip.reset();
    if (kind_ == Kind::Paint || kind_ == Kind::Client) {
      Size s = surfaceSize();
      state_.clip = Rect(0, 0, s.cx, s.cy);
    }
    return rgn::Simple;
  }
  Rect d = r->rect();
  d.OffsetRect(deviceOffset_);
  state_.clip = d;
  return d.IsRectEmpty() ? rgn::NullRegion : rgn::Simple;
}

bool DC::PtVisible(Point p) const {
  Point d = toDevice(p);
  if (state_.clip && !state_.clip->PtInRect(d)) return false;
  for (auto& e : state_.excluded)
    if (e.PtInRect(d)) return false;
  return true;
}

bool DC::RectVisible(const Rect& r) const {
  Rect d = toDevice(r);
  if (!state_.clip) return true;
  Rect i;
  return i.IntersectRect(*state_.clip, d);
}

DrawCall DC::makeCall(DrawOp op) const {
  DrawCall c;
  c.op = op;
  c.pen = state_.pen;
  c.brush = state_.brush;
  c.font = state_.font;
  c.textColor = state_.textColor;
  c.bkColor = state_.bkColor;
  c.bkMode = state_.bkMode;
  c.textAlign = state_.textAlign;
  c.clip = state_.clip;
  c.excluded = state_.excluded;
  return c;
}

void DC::record(DrawCall c) {
  if (target_) target_->calls.push_back(std::move(c));
}

void DC::FillSolidRect(const Rect& r, Color col) {
  DrawCall c = makeCall(DrawOp::FillRect);
  c.rect = toDevice(r);
  c.brush = BrushData{brush_style::Solid, col, 0};
  c.bkColor = col;
  state_.bkColor = col;  // as the platform does
  record(std::move(c));
}
void DC::FillRect(const Rect& r, Brush* b) {
  DrawCall c = makeCall(DrawOp::FillRect);
  c.rect = toDevice(r);
  if (b && b->IsValid()) c.brush = b->data();
  if (c.brush.style == brush_style::Null) return;
  record(std::move(c));
}
void DC::FrameRect(const Rect& r, Brush* b) {
  DrawCall c = makeCall(DrawOp::FrameRect);
  c.rect = toDevice(r);
  if (b && b->IsValid()) c.brush = b->data();
  record(std::move(c));
}
bool DC::Rectangle(int l, int t, int r, int b) {
  DrawCall c = makeCall(DrawOp::Rectangle);
  c.rect = toDevice(Rect(l, t, r, b));
  record(std::move(c));
  return true;
}
bool DC::Ellipse(const Rect& r) {
  DrawCall c = makeCall(DrawOp::Ellipse);
  c.rect = toDevice(r);
  record(std::move(c));
  return true;
}
Point DC::MoveTo(int x, int y) { return std::exchange(state_.pos, Point{x, y}); }
bool DC::LineTo(int x, int y) {
  DrawCall c = makeCall(DrawOp::Line);
  c.points = {toDevice(state_.pos), toDevice(Point{x, y})};
  state_.pos = {x, y};
  if (c.pen.style != ps::Null) record(std::move(c));
  return true;
}
bool DC::Polyline(const Point* pts, int n) {
  if (!pts || n < 2) return false;
  DrawCall c = makeCall(DrawOp::Polyline);
  for (int i = 0; i < n; ++i) c.points.push_back(toDevice(pts[i]));
  record(std::move(c));
  return true;
}
bool DC::Polygon(const Point* pts, int n) {
  if (!pts || n < 2) return false;
  DrawCall c = makeCall(DrawOp::Polygon);
  for (int i = 0; i < n; ++i) c.points.push_back(toDevice(pts[i]));
  record(std::move(c));
  return true;
}
void DC::Draw3dRect(const Rect& r, Color tl, Color br) {
  FillSolidRect(r.left, r.top, r.Width() - 1, 1, tl);
  FillSolidRect(r.left, r.top, 1, r.Height() - 1, tl);
  FillSolidRect(r.right - 1, r.top, 1, r.Height(), br);
  FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, br);
}
bool DC::DrawEdge(Rect* r, unsigned edgeKind, unsigned flags) {
  if (!r) return false;
  DrawCall c = makeCall(DrawOp::Edge);
  c.rect = toDevice(*r);
  c.flags = edgeKind | (flags << 16);
  record(std::move(c));
  if (flags & bf::Adjust) {
    int w = ((edgeKind & bdr::Outer) ? 1 : 0) + ((edgeKind & bdr::Inner) ? 1 : 0);
    if (flags & bf::Left) r->left += w;
    if (flags & bf::Top) r->top += w;
    if (flags & bf::Right) r->right -= w;
    if (flags & bf::Bottom) r->bottom -= w;
  }
  return true;
}
void DC::DrawFocusRect(const Rect& r) {
  DrawCall c = makeCall(DrawOp::FocusRect);
  c.rect = toDevice(r);
  record(std::move(c));
}
void DC::InvertRect(const Rect& r) {
  DrawCall c = makeCall(DrawOp::InvertRect);
  c.rect = toDevice(r);
  record(std::move(c));
}
Color DC::SetPixel(int x, int y, Color col) {
  DrawCall c = makeCall(DrawOp::Pixel);
  Point d = toDevice(Point{x, y});
  c.rect = Rect(d.x, d.y, d.x + 1, d.y + 1);
  c.brush = BrushData{brush_style::Solid, col, 0};
  record(std::move(c));
  return col;
}

namespace {
// Splits into lines for DrawText: at '\n' (dropping '\r'), and at word
// boundaries when wordBreak and a line is wider than width.
std::vector<std::wstring> layoutLines(std::wstring_view text, const LogFont& f, int width, bool wordBreak) {
  std::vector<std::wstring> out;
  std::wstring cur;
  int h = FontPixelHeight(f);
  int curW = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t ch = text[i];
    if (ch == L'\r') continue;
    if (ch == L'\n') {
      out.push_back(cur);
      cur.clear();
      curW = 0;
      continue;
    }
    int cw = CharWidth(ch, h);
    if (wordBreak && width > 0 && curW + cw > width && !cur.empty()) {
      // Break at the last space when there is one, else here.
      size_t sp = cur.find_last_of(L' ');
      if (sp != std::wstring::npos && !IsWideChar(ch)) {
        std::wstring rest = cur.substr(sp + 1);
        cur.resize(sp);
        out.push_back(cur);
        cur = rest;
      } else {
        out.push_back(cur);
        cur.clear();
      }
      curW = TextExtent(f, cur).cx;
      if (ch == L' ') continue;
    }
    cur += ch;
    curW += cw;
  }
  out.push_back(cur);
  return out;
}

std::wstring withoutPrefix(std::wstring_view s) {
  std::wstring r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&') {
      if (i + 1 < s.size() && s[i + 1] == L'&') {
        r += L'&';
        ++i;
      }
      continue;
    }
    r += s[i];
  }
  return r;
}

std::wstring ellipsize(const std::wstring& s, const LogFont& f, int width) {
  if (TextExtent(f, s).cx <= width) return s;
  std::wstring r = s;
  while (!r.empty() && TextExtent(f, r + L"...").cx > width) r.pop_back();
  return r + L"...";
}
}  // namespace

int DC::DrawText(std::wstring_view text, Rect* r, unsigned fmt) {
  if (!r) return 0;
  std::wstring t = (fmt & dt::NoPrefix) ? std::wstring(text) : withoutPrefix(text);
  const LogFont& f = state_.font;
  int h = FontPixelHeight(f);
  std::vector<std::wstring> lines;
  if (fmt & dt::SingleLine) {
    std::wstring one;
    for (wchar_t c : t)
      if (c != L'\r' && c != L'\n') one += c;
    lines.push_back(one);
  } else {
    lines = layoutLines(t, f, r->Width(), (fmt & dt::WordBreak) != 0);
  }
  int textH = h * int(lines.size());
  if (fmt & dt::CalcRect) {
    int w = 0;
    for (auto& l : lines) w = std::max(w, TextExtent(f, l).cx);
    r->right = r->left + w;
    r->bottom = r->top + textH;
    return textH;
  }
  if (fmt & (dt::EndEllipsis | dt::PathEllipsis | dt::WordEllipsis))
    for (auto& l : lines) l = ellipsize(l, f, r->Width());
  DrawCall c = makeCall(DrawOp::Text);
  c.rect = toDevice(*r);
  c.flags = fmt;
  std::wstring joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined += L'\n';
    joined += lines[i];
  }
  c.text = joined;
  record(std::move(c));
  return textH;
}

bool DC::TextOut(int x, int y, std::wstring_view text) { return ExtTextOut(x, y, 0, nullptr, text); }

bool DC::ExtTextOut(int x, int y, unsigned options, const Rect* r, std::wstring_view text) {
  if ((options & eto::Opaque) && r) {
    DrawCall fill = makeCall(DrawOp::FillRect);
    fill.rect = toDevice(*r);
    fill.brush = BrushData{brush_style::Solid, state_.bkColor, 0};
    record(std::move(fill));
  }
  Size ext = TextExtent(state_.font, text);
  int left = x, top = y;
  if ((state_.textAlign & ta::Center) == ta::Center)
    left = x - ext.cx / 2;
  else if (state_.textAlign & ta::Right)
    left = x - ext.cx;
  if ((state_.textAlign & ta::Baseline) == ta::Baseline)
    top = y - MetricsOf(state_.font).tmAscent;
  else if (state_.textAlign & ta::Bottom)
    top = y - ext.cy;
  DrawCall c = makeCall(DrawOp::TextOut);
  c.points = {toDevice(Point{x, y})};
  c.rect = toDevice(Rect(left, top, left + ext.cx, top + ext.cy));
  c.text = std::wstring(text);
  c.flags = options;
  if ((options & eto::Clipped) && r) {
    Rect clip = toDevice(*r);
    if (c.clip) {
      Rect i;
      i.IntersectRect(*c.clip, clip);
      c.clip = i;
    } else {
      c.clip = clip;
    }
  }
  record(std::move(c));
  return true;
}

Size DC::GetTextExtent(std::wstring_view text) const {
  Size s = TextExtent(state_.font, text);
  if (state_.mapMode == mm::Anisotropic || state_.mapMode == mm::Isotropic) {
    s.cx = MulDiv(s.cx, state_.windowExt.cx, state_.viewportExt.cx);
    s.cy = MulDiv(s.cy, state_.windowExt.cy, state_.viewportExt.cy);
  }
  return s;
}

bool DC::GetTextMetrics(TextMetric* tm) const {
  if (!tm) return false;
  *tm = MetricsOf(state_.font);
  return true;
}

bool DC::BitBlt(int x, int y, int w, int h, DC* src, int xs, int ys, unsigned ropCode) {
  return StretchBlt(x, y, w, h, src, xs, ys, w, h, ropCode);
}

bool DC::StretchBlt(int x, int y, int w, int h, DC* src, int xs, int ys, int ws, int hs, unsigned ropCode) {
  DrawCall c = makeCall(DrawOp::Blit);
  c.rect = toDevice(Rect(x, y, x + w, y + h));
  c.flags = ropCode;
  if (src) {
    Rect sr(xs, ys, xs + ws, ys + hs);
    c.sourceRect = src->toDevice(sr);
    if (src->target_) c.source = std::make_shared<Recording>(*src->target_);  // what it holds now
    if (src->bitmapObj_ && !src->bitmapObj_->path().empty()) c.imagePath = src->bitmapObj_->path();
  }
  record(std::move(c));
  return true;
}

void DC::DrawImage(const Rect& r, const std::wstring& path, unsigned style) {
  DrawCall c = makeCall(DrawOp::Image);
  c.rect = toDevice(r);
  c.imagePath = path;
  c.flags = style;
  record(std::move(c));
}

void DC::Mark(std::wstring note) {
  DrawCall c = makeCall(DrawOp::Marker);
  c.text = std::move(note);
  record(std::move(c));
}

int DC::StartDoc(const std::wstring&) { return -1; }
int DC::EndDoc() { return -1; }
int DC::AbortDoc() { return -1; }
int DC::StartPage() { return -1; }
int DC::EndPage() { return -1; }

// ---------------------------------------------------------------------------
// Window DCs
// ---------------------------------------------------------------------------
ClientDC::ClientDC(Wnd* w) {
  if (!w || !w->m_hWnd) return;
  Rect c = w->clientRect();
  attachWindow(w->m_hWnd, Kind::Client, c, Point{});
  if (target_ && target_->size == Size{}) target_->size = c.GetSize();
}
ClientDC::~ClientDC() = default;

WindowDC::WindowDC(Wnd* w) {
  if (!w || !w->m_hWnd) {
    kind_ = Kind::Screen;
    static Recording screen;
    screen.size = {GetSystemMetrics(sm::CxScreen), GetSystemMetrics(sm::CyScreen)};
    target_ = &screen;
    return;
  }
  Point off = detail::clientOffset(w->m_hWnd);
  Rect wr = w->windowRect();
  Rect clip(-off.x, -off.y, wr.Width() - off.x, wr.Height() - off.y);
  attachWindow(w->m_hWnd, Kind::Window, clip, Point{-off.x, -off.y});
}
WindowDC::~WindowDC() = default;

PaintDC::PaintDC(Wnd* w) : wnd_(w) {
  if (!w || !w->m_hWnd) return;
  bool erase = false;
  Rect upd = detail::beginPaint(w->m_hWnd, &erase);
  Rect c = w->clientRect();
  attachWindow(w->m_hWnd, Kind::Paint, c, Point{});
  m_ps.hdc = this;
  m_ps.rcPaint = upd;
  m_ps.fErase = erase;
  if (erase) m_ps.fErase = w->SendMessage(wm::EraseBkgnd, ToWParam(this)) == 0;
}
PaintDC::~PaintDC() = default;

// ---------------------------------------------------------------------------
// Printer
// ---------------------------------------------------------------------------
PrinterDC::PrinterDC(Size page, int dpi) : page_(page), dpi_(dpi) {
  kind_ = Kind::Printer;
  state_.font.lfHeight = -MulDiv(9, dpi, 72);
}
PrinterDC::~PrinterDC() = default;

int PrinterDC::GetDeviceCaps(int index) const {
  switch (index) {
    case caps::HorzRes:
    case caps::PhysicalWidth: return page_.cx;
    case caps::VertRes:
    case caps::PhysicalHeight: return page_.cy;
    case caps::LogPixelsX:
    case caps::LogPixelsY: return dpi_;
    case caps::HorzSize: return MulDiv(page_.cx, 254, dpi_ * 10);
    case caps::VertSize: return MulDiv(page_.cy, 254, dpi_ * 10);
    case caps::PhysicalOffsetX:
    case caps::PhysicalOffsetY: return 0;
    case caps::BitsPixel: return 24;
  }
  return 0;
}
int PrinterDC::StartDoc(const std::wstring& name) {
  if (inDoc_) return -1;
  docName_ = name;
  inDoc_ = true;
  finished_ = false;
  pages_.clear();
  return 1;
}
int PrinterDC::EndDoc() {
  if (!inDoc_) return -1;
  if (inPage_) EndPage();
  inDoc_ = false;
  finished_ = true;
  return 1;
}
int PrinterDC::AbortDoc() {
  inDoc_ = inPage_ = false;
  finished_ = false;
  target_ = nullptr;
  return 1;
}
int PrinterDC::StartPage() {
  if (!inDoc_ || inPage_) return -1;
  auto p = std::make_shared<Recording>();
  p->size = page_;
  pages_.push_back(p);
  target_ = p.get();
  inPage_ = true;
  return 1;
}
int PrinterDC::EndPage() {
  if (!inPage_) return -1;
  inPage_ = false;
  target_ = nullptr;
  return 1;
}

// ---------------------------------------------------------------------------
// Image lists
// ---------------------------------------------------------------------------
bool ImageList::Create(int cx, int cy, unsigned flags, int, int) {
  if (cx <= 0 || cy <= 0) return false;
  size_ = {cx, cy};
  flags_ = flags;
  images_.clear();
  created_ = true;
  return true;
}
int ImageList::Add(Bitmap* bmp, Color) {
  if (!created_) return -1;
  int per = size_.cx > 0 && bmp ? std::max(1, bmp->GetSize().cx / size_.cx) : 1;
  int first = int(images_.size());
  for (int i = 0; i < per; ++i) images_.push_back(bmp ? bmp->path() : std::wstring());
  return first;
}
int ImageList::Add(Bitmap* bmp, Bitmap*) { return Add(bmp, kNoColor); }
bool ImageList::Remove(int index) {
  if (index < 0) {
    images_.clear();
    return true;
  }
  if (index >= int(images_.size())) return false;
  images_.erase(images_.begin() + index);
  return true;
}
bool ImageList::GetImageSize(int* cx, int* cy) const {
  if (!created_) return false;
  if (cx) *cx = size_.cx;
  if (cy) *cy = size_.cy;
  return true;
}
bool ImageList::Draw(DC* dc, int index, Point p, unsigned style) const {
  if (!dc || index < 0 || index >= int(images_.size())) return false;
  dc->DrawImage(Rect(p, size_), images_[size_t(index)], style);
  return true;
}

}  // namespace ui
