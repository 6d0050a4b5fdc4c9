// Painting: pens, brushes, fonts, bitmaps, image lists and device contexts.
//
// Nothing is rasterised while a program paints. A device context records each
// drawing call, with a snapshot of the state it was drawn with (pen, brush,
// font, colours, background mode, clip), in device coordinates, into a
// Recording: the window's (paint, client and window DCs), the selected
// bitmap's (memory DCs) or the current page's (printer DCs). Tests assert on
// the recording; render.h turns it into a PNG file for a person to look at.
//
// Fonts have deterministic metrics so layouts are reproducible: a character
// is half the font's pixel height wide, a wide (CJK, full-width) character is
// the full height wide; the line height is the pixel height.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/types.h"

namespace ui {

class Wnd;
class DC;

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------
namespace dt {
constexpr unsigned Top = 0x0, Left = 0x0, Center = 0x1, Right = 0x2, VCenter = 0x4,
                   Bottom = 0x8, WordBreak = 0x10, SingleLine = 0x20, ExpandTabs = 0x40,
                   TabStop = 0x80, NoClip = 0x100, ExternalLeading = 0x200, CalcRect = 0x400,
                   NoPrefix = 0x800, Internal = 0x1000, EditControl = 0x2000,
                   PathEllipsis = 0x4000, EndEllipsis = 0x8000, ModifyString = 0x10000,
                   RtlReading = 0x20000, WordEllipsis = 0x40000;
}
namespace ps { constexpr int Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4, Null = 5, InsideFrame = 6; }
namespace brush_style { constexpr int Solid = 0, Null = 1, Hatched = 2, Pattern = 3; }
namespace bkmode { constexpr int Transparent = 1, Opaque = 2; }
namespace stock {
constexpr int WhiteBrush = 0, LtGrayBrush = 1, GrayBrush = 2, DkGrayBrush = 3, BlackBrush = 4,
              NullBrush = 5, HollowBrush = 5, WhitePen = 6, BlackPen = 7, NullPen = 8,
              OemFixedFont = 10, AnsiFixedFont = 11, AnsiVarFont = 12, SystemFont = 13,
              DeviceDefaultFont = 14, SystemFixedFont = 16, DefaultGuiFont = 17;
}
namespace bdr {
constexpr unsigned RaisedOuter = 0x1, SunkenOuter = 0x2, RaisedInner = 0x4, SunkenInner = 0x8,
                   Outer = 0x3, Inner = 0xC;
}
namespace edge {
constexpr unsigned Raised = 0x5, Sunken = 0xA, Etched = 0x6, Bump = 0x9;
}
namespace bf {
constexpr unsigned Left = 0x1, Top = 0x2, Right = 0x4, Bottom = 0x8, TopLeft = 0x3,
                   BottomRight = 0xC, Rect = 0xF, Middle = 0x800, Soft = 0x1000, Adjust = 0x2000,
                   Flat = 0x4000, Mono = 0x8000;
}
namespace mm { constexpr int Text = 1, LoMetric = 2, HiMetric = 3, LoEnglish = 4, HiEnglish = 5, Twips = 6, Isotropic = 7, Anisotropic = 8; }
namespace caps {
constexpr int HorzSize = 4, VertSize = 6, HorzRes = 8, VertRes = 10, BitsPixel = 12,
              LogPixelsX = 88, LogPixelsY = 90, PhysicalWidth = 110, PhysicalHeight = 111,
              PhysicalOffsetX = 112, PhysicalOffsetY = 113;
}
namespace fw { constexpr int DontCare = 0, Thin = 100, Light = 300, Normal = 400, Medium = 500, SemiBold = 600, Bold = 700, Heavy = 900; }
namespace charset { constexpr int Ansi = 0, Default = 1, Symbol = 2, GB2312 = 134, ChineseBig5 = 136; }
namespace out_precis { constexpr int Default = 0, String = 1, Character = 2, Stroke = 3, TT = 4; }
namespace clip_precis { constexpr int Default = 0, Character = 1, Stroke = 2; }
namespace ta {
constexpr unsigned NoUpdateCP = 0, UpdateCP = 1, Left = 0, Right = 2, Center = 6, Top = 0,
                   Bottom = 8, Baseline = 24;
}
namespace rop { constexpr unsigned SrcCopy = 0x00CC0020, SrcPaint = 0x00EE0086, SrcAnd = 0x008800C6, PatCopy = 0x00F00021, DstInvert = 0x00550009; }
namespace eto { constexpr unsigned Opaque = 0x2, Clipped = 0x4; }
// Image lists.
namespace ilc { constexpr unsigned Mask = 0x1, Color = 0x0, Color4 = 0x4, Color8 = 0x8, Color24 = 0x18, Color32 = 0x20; }
namespace ild { constexpr unsigned Normal = 0x0, Transparent = 0x1, Mask = 0x10, Blend25 = 0x2, Blend50 = 0x4, Selected = 0x4, Focus = 0x2; }
// Region results.
namespace rgn { constexpr int Error = 0, NullRegion = 1, Simple = 2, Complex = 3; }

// ---------------------------------------------------------------------------
// Fonts and metrics
// ---------------------------------------------------------------------------
struct LogFont {
  int lfHeight = -12;  // negative: character height in pixels; positive: cell height
  int lfWidth = 0;
  int lfEscapement = 0;
  int lfOrientation = 0;
  int lfWeight = fw::Normal;
  bool lfItalic = false;
  bool lfUnderline = false;
  bool lfStrikeOut = false;
  int lfCharSet = charset::Default;
  int lfOutPrecision = 0;
  int lfClipPrecision = 0;
  int lfQuality = 0;
  int lfPitchAndFamily = 0;
  std::wstring lfFaceName = L"宋体";
  bool operator==(const LogFont&) const = default;
};

struct TextMetric {
  int tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0;
  int tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0, tmOverhang = 0;
};

// The fonts the system uses for captions, menus and message text.
struct NonClientMetrics {
  unsigned cbSize = sizeof(NonClientMetrics);
  int iBorderWidth = 1, iScrollWidth = 17, iScrollHeight = 17, iCaptionWidth = 18,
      iCaptionHeight = 18, iMenuWidth = 18, iMenuHeight = 19;
  LogFont lfCaptionFont, lfSmCaptionFont, lfMenuFont, lfStatusFont, lfMessageFont;
};
const NonClientMetrics& GetNonClientMetrics();

// Pixel height of a font (|lfHeight|, 12 when 0).
int FontPixelHeight(const LogFont& f);
// Width of one character in a font of pixel height h: h for wide (CJK,
// full-width, Hangul, kana) characters, h/2 (at least 1) for the others, 0 for
// control characters. A tab is four narrow characters.
int CharWidth(wchar_t ch, int h);
bool IsWideChar(wchar_t ch);
// Extent of a single line of text (no line breaks interpreted).
Size TextExtent(const LogFont& f, std::wstring_view text);
TextMetric MetricsOf(const LogFont& f);

// ---------------------------------------------------------------------------
// GDI objects
// ---------------------------------------------------------------------------
struct PenData {
  int style = ps::Solid;
  int width = 0;  // 0 and 1 both draw one pixel wide
  Color color = RGB(0, 0, 0);
  bool operator==(const PenData&) const = default;
};
struct BrushData {
  int style = brush_style::Solid;
  Color color = RGB(255, 255, 255);
  int hatch = 0;
  bool operator==(const BrushData&) const = default;
};

class GdiObject {
 public:
  enum class Kind { Pen, Brush, Font, Bitmap, Region };
  virtual ~GdiObject() = default;
  virtual Kind kind() const = 0;
  // True once created (a default-constructed object holds nothing).
  bool IsValid() const { return valid_; }
  void DeleteObject() { valid_ = false; }

 protected:
  bool valid_ = false;
};

class Pen : public GdiObject {
 public:
  Pen() = default;
  Pen(int style, int width, Color c) { CreatePen(style, width, c); }
  bool CreatePen(int style, int width, Color c);
  const PenData& data() const { return data_; }
  Kind kind() const override { return Kind::Pen; }

 private:
  PenData data_;
};

class Brush : public GdiObject {
 public:
  Brush() = default;
  explicit Brush(Color c) { CreateSolidBrush(c); }
  bool CreateSolidBrush(Color c);
  bool CreateSysColorBrush(int index);
  bool CreateHatchBrush(int hatch, Color c);
  const BrushData& data() const { return data_; }
  Kind kind() const override { return Kind::Brush; }
  // Stock null brush construction.
  static Brush Null();

 private:
  BrushData data_;
};

class Font : public GdiObject {
 public:
  Font() = default;
  bool CreateFontIndirect(const LogFont* lf);
  bool CreateFont(int height, int width, int escapement, int orientation, int weight,
                  bool italic, bool underline, bool strikeOut, int charSet, int outPrecision,
                  int clipPrecision, int quality, int pitchAndFamily, const std::wstring& face);
  // pointSize in tenths of a point, at 96 pixels per inch (90 -> 12 pixels).
  bool CreatePointFont(int pointSize, const std::wstring& face, DC* dc = nullptr);
  int GetLogFont(LogFont* out) const;
  const LogFont& logFont() const { return lf_; }
  Kind kind() const override { return Kind::Font; }

 private:
  LogFont lf_;
};

struct Recording;

// A bitmap is either loaded from an image file (.png read for real, .bmp by its
// header; the pixels are only needed by the PNG renderer) or a drawing surface
// made by CreateCompatibleBitmap that a memory DC records into.
class Bitmap : public GdiObject {
 public:
  Bitmap();
  ~Bitmap() override;
  bool LoadFromFile(const std::wstring& path);
  // Loads bitmap resource id from the current resources (see resources.h).
  bool LoadBitmap(unsigned resourceId);
  bool CreateCompatibleBitmap(DC* dc, int width, int height);
  bool CreateBitmap(int width, int height);
  Size GetSize() const { return size_; }
  const std::wstring& path() const { return path_; }
  // Drawing recorded on the bitmap while selected into a memory DC.
  std::shared_ptr<Recording> canvas() const { return canvas_; }
  Kind kind() const override { return Kind::Bitmap; }

 private:
  Size size_;
  std::wstring path_;
  std::shared_ptr<Recording> canvas_;
};

// Rectangular clip regions (what the callers of this layer need).
class Region : public GdiObject {
 public:
  Region() = default;
  bool CreateRectRgn(int l, int t, int r, int b);
  bool CreateRectRgnIndirect(const Rect& r) { return CreateRectRgn(r.left, r.top, r.right, r.bottom); }
  const Rect& rect() const { return rect_; }
  Kind kind() const override { return Kind::Region; }

 private:
  Rect rect_;
};

// Stock objects (never deleted).
GdiObject* GetStockObject(int index);
// Brush of a system colour (shared, never deleted).
Brush* GetSysColorBrush(int index);

// ---------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------
enum class DrawOp {
  FillRect,       // rect filled with brush.color (FillRect, FillSolidRect: brush solid)
  FrameRect,      // one-pixel frame in brush.color
  Rectangle,      // pen outline, brush interior
  Ellipse,
  Line,           // points[0] -> points[1] with pen (MoveTo/LineTo)
  Polyline,       // points with pen
  Polygon,        // points, pen outline, brush interior
  Text,           // DrawText: text in rect with flags (dt::)
  TextOut,        // TextOut/ExtTextOut: text at points[0], rect = its extent box
  Edge,           // DrawEdge: rect, flags = edge | (bf << 16)
  FocusRect,      // DrawFocusRect
  InvertRect,
  Blit,           // BitBlt/StretchBlt: rect = destination, source = recording or bitmap
  Image,          // image list or bitmap drawn at rect (bitmap path in text)
  Pixel,
  Marker,         // a note in the recording (document and page starts, erasures)
};

struct DrawCall {
  DrawOp op = DrawOp::Marker;
  Rect rect;                  // device coordinates
  std::vector<Point> points;  // device coordinates
  std::wstring text;
  unsigned flags = 0;
  // State the call was drawn with.
  PenData pen;
  BrushData brush;
  LogFont font;
  Color textColor = RGB(0, 0, 0);
  Color bkColor = RGB(255, 255, 255);
  int bkMode = bkmode::Opaque;
  unsigned textAlign = 0;
  std::optional<Rect> clip;       // device clip rectangle, when one is set
  std::vector<Rect> excluded;     // device rectangles excluded from the clip
  // Blits and images: what was copied, and from where (source coordinates).
  std::shared_ptr<const Recording> source;
  Rect sourceRect;
  std::wstring imagePath;
};

struct Recording {
  Size size;  // surface size (window client, bitmap, page)
  std::vector<DrawCall> calls;

  void clear() { calls.clear(); }
  size_t count(DrawOp op) const;
  // Calls of one kind, in order.
  std::vector<const DrawCall*> of(DrawOp op) const;
  // Texts of Text and TextOut calls, in order.
  std::vector<std::wstring> texts() const;
  // First Text/TextOut call with exactly this text, or null.
  const DrawCall* findText(std::wstring_view text) const;
  // A short readable listing, one call per line (for failure messages).
  std::wstring dump() const;
};

// ---------------------------------------------------------------------------
// Device contexts
// ---------------------------------------------------------------------------
struct PaintStruct {
  DC* hdc = nullptr;
  bool fErase = false;
  Rect rcPaint;
};

class DC {
 public:
  enum class Kind { Window, Client, Paint, Memory, Screen, Printer, Info };

  DC();
  virtual ~DC();
  DC(const DC&) = delete;
  DC& operator=(const DC&) = delete;

  // An off-screen DC: draws into the bitmap selected into it.
  bool CreateCompatibleDC(DC* other);
  Kind kind() const { return kind_; }
  bool IsPrinting() const { return kind_ == Kind::Printer; }
  // The window a window/client/paint DC draws on (null otherwise).
  Wnd* GetWindow() const;
  Hwnd hwnd() const { return hwnd_; }

  // Selection: each answers the previously selected object of the kind.
  Pen* SelectObject(Pen* p);
  Brush* SelectObject(Brush* b);
  Font* SelectObject(Font* f);
  Bitmap* SelectObject(Bitmap* b);
  int SelectObject(Region* r);  // rgn:: result
  GdiObject* SelectObject(GdiObject* o);
  GdiObject* SelectStockObject(int index);
  Pen* GetCurrentPen() const { return penObj_; }
  Brush* GetCurrentBrush() const { return brushObj_; }
  Font* GetCurrentFont() const { return fontObj_; }
  Bitmap* GetCurrentBitmap() const { return bitmapObj_; }
  const LogFont& currentFont() const { return state_.font; }

  int SaveDC();
  bool RestoreDC(int saved);  // -1: the last saved state

  Color SetTextColor(Color c);
  Color GetTextColor() const { return state_.textColor; }
  Color SetBkColor(Color c);
  Color GetBkColor() const { return state_.bkColor; }
  int SetBkMode(int mode);
  int GetBkMode() const { return state_.bkMode; }
  unsigned SetTextAlign(unsigned align);
  unsigned GetTextAlign() const { return state_.textAlign; }

  // Mapping. Device = (logical - windowOrg) * viewportExt / windowExt + viewportOrg,
  // the extents counting only in mm::Anisotropic/Isotropic.
  int SetMapMode(int mode);
  int GetMapMode() const { return state_.mapMode; }
  Point SetWindowOrg(int x, int y);
  Point SetWindowOrg(Point p) { return SetWindowOrg(p.x, p.y); }
  Point GetWindowOrg() const { return state_.windowOrg; }
  Point OffsetWindowOrg(int dx, int dy);
  Size SetWindowExt(int cx, int cy);
  Size GetWindowExt() const { return state_.windowExt; }
  Point SetViewportOrg(int x, int y);
  Point SetViewportOrg(Point p) { return SetViewportOrg(p.x, p.y); }
  Point GetViewportOrg() const { return state_.viewportOrg; }
  Point OffsetViewportOrg(int dx, int dy);
  Size SetViewportExt(int cx, int cy);
  Size GetViewportExt() const { return state_.viewportExt; }
  void LPtoDP(Point* p, int count = 1) const;
  void LPtoDP(Rect* r) const;
  void DPtoLP(Point* p, int count = 1) const;
  void DPtoLP(Rect* r) const;

  // HorzRes/VertRes (surface size), LogPixelsX/Y (96; the printer's 600),
  // HorzSize/VertSize (mm), BitsPixel (32).
  virtual int GetDeviceCaps(int index) const;

  // Clipping (rectangular). GetClipBox answers logical coordinates.
  int GetClipBox(Rect* r) const;
  int IntersectClipRect(int l, int t, int r, int b);
  int IntersectClipRect(const Rect& r) { return IntersectClipRect(r.left, r.top, r.right, r.bottom); }
  int ExcludeClipRect(int l, int t, int r, int b);
  int ExcludeClipRect(const Rect& r) { return ExcludeClipRect(r.left, r.top, r.right, r.bottom); }
  int SelectClipRgn(Region* r);  // null: no clip beyond the surface
  bool PtVisible(Point p) const;
  bool RectVisible(const Rect& r) const;

  // Drawing.
  void FillSolidRect(const Rect& r, Color c);
  void FillSolidRect(int x, int y, int cx, int cy, Color c) { FillSolidRect(Rect(x, y, x + cx, y + cy), c); }
  void FillRect(const Rect& r, Brush* b);
  void FrameRect(const Rect& r, Brush* b);
  bool Rectangle(int l, int t, int r, int b);
  bool Rectangle(const Rect& r) { return Rectangle(r.left, r.top, r.right, r.bottom); }
  bool Ellipse(const Rect& r);
  Point MoveTo(int x, int y);
  Point MoveTo(Point p) { return MoveTo(p.x, p.y); }
  bool LineTo(int x, int y);
  bool LineTo(Point p) { return LineTo(p.x, p.y); }
  Point GetCurrentPosition() const { return state_.pos; }
  bool Polyline(const Point* pts, int count);
  bool Polygon(const Point* pts, int count);
  void Draw3dRect(const Rect& r, Color topLeft, Color bottomRight);
  bool DrawEdge(Rect* r, unsigned edgeKind, unsigned flags);
  void DrawFocusRect(const Rect& r);
  void InvertRect(const Rect& r);
  Color SetPixel(int x, int y, Color c);

  // Text. DrawText lays out single lines (dt::SingleLine) and, otherwise,
  // breaks at '\n' (and at words with dt::WordBreak); answers the text height.
  // dt::CalcRect measures only: the rect's right and bottom are set.
  int DrawText(std::wstring_view text, Rect* r, unsigned format);
  int DrawText(std::wstring_view text, const Rect& r, unsigned format) {
    Rect rr = r;
    return DrawText(text, &rr, format);
  }
  bool TextOut(int x, int y, std::wstring_view text);
  bool ExtTextOut(int x, int y, unsigned options, const Rect* r, std::wstring_view text);
  Size GetTextExtent(std::wstring_view text) const;
  Size GetOutputTextExtent(std::wstring_view text) const { return GetTextExtent(text); }
  bool GetTextMetrics(TextMetric* tm) const;

  // Copies from another DC (a memory DC's bitmap drawing, or a window's).
  bool BitBlt(int x, int y, int w, int h, DC* src, int xSrc, int ySrc, unsigned ropCode);
  bool StretchBlt(int x, int y, int w, int h, DC* src, int xSrc, int ySrc, int wSrc, int hSrc, unsigned ropCode);
  // Draws an image file (bitmap, image list entry) into rect.
  void DrawImage(const Rect& r, const std::wstring& path, unsigned style = 0);

  // A note in the recording (the layer uses it for erasures and pages).
  void Mark(std::wstring note);

  // Printing (meaningful on a printer DC; a plain DC answers failure, -1/0).
  virtual int StartDoc(const std::wstring& docName);
  virtual int EndDoc();
  virtual int AbortDoc();
  virtual int StartPage();
  virtual int EndPage();

  // Where this DC's calls go (null when nothing is selected to draw on).
  Recording* recording() const { return target_; }
  // Surface size in device units.
  Size surfaceSize() const;

 protected:
  struct State {
    PenData pen;
    BrushData brush;
    LogFont font;
    Color textColor = RGB(0, 0, 0);
    Color bkColor = RGB(255, 255, 255);
    int bkMode = bkmode::Opaque;
    unsigned textAlign = 0;
    int mapMode = mm::Text;
    Point windowOrg, viewportOrg;
    Size windowExt{1, 1}, viewportExt{1, 1};
    Point pos;
    std::optional<Rect> clip;  // device
    std::vector<Rect> excluded;
    Pen* penObj = nullptr;
    Brush* brushObj = nullptr;
    Font* fontObj = nullptr;
  };
  void attachWindow(Hwnd h, Kind k, const Rect& clipDevice, Point deviceOffset);
  DrawCall makeCall(DrawOp op) const;
  void record(DrawCall c);
  Rect toDevice(const Rect& r) const;
  Point toDevice(Point p) const;

  Kind kind_ = Kind::Info;
  Hwnd hwnd_ = nullptr;
  Recording* target_ = nullptr;
  std::shared_ptr<Recording> ownTarget_;
  Point deviceOffset_;  // window DCs: client origin inside the window surface
  State state_;
  std::vector<State> saved_;
  Pen* penObj_ = nullptr;
  Brush* brushObj_ = nullptr;
  Font* fontObj_ = nullptr;
  Bitmap* bitmapObj_ = nullptr;
  friend class Wnd;
};

// The DC of a window's client area for painting outside wm::Paint.
class ClientDC : public DC {
 public:
  explicit ClientDC(Wnd* w);
  ~ClientDC() override;
};

// The DC of the whole window (non-client area included).
class WindowDC : public DC {
 public:
  explicit WindowDC(Wnd* w);  // null: the screen
  ~WindowDC() override;
};

// BeginPaint/EndPaint in a scope, for OnPaint handlers. The window's paint
// recording is started afresh, the update region validated, and
// wm::EraseBkgnd sent when the update asked for erasing.
class PaintDC : public DC {
 public:
  explicit PaintDC(Wnd* w);
  ~PaintDC() override;
  PaintStruct m_ps;

 private:
  Wnd* wnd_;
};

// A printer: pages of recordings. The page is 2480 x 3508 device units at
// 300 dpi (A4) unless set otherwise.
class PrinterDC : public DC {
 public:
  explicit PrinterDC(Size page = {2480, 3508}, int dpi = 300);
  ~PrinterDC() override;
  int GetDeviceCaps(int index) const override;
  int StartDoc(const std::wstring& docName) override;
  int EndDoc() override;
  int AbortDoc() override;
  int StartPage() override;
  int EndPage() override;

  const std::wstring& docName() const { return docName_; }
  bool inDoc() const { return inDoc_; }
  bool finished() const { return finished_; }
  const std::vector<std::shared_ptr<Recording>>& pages() const { return pages_; }

 private:
  Size page_;
  int dpi_;
  std::wstring docName_;
  bool inDoc_ = false, inPage_ = false, finished_ = false;
  std::vector<std::shared_ptr<Recording>> pages_;
};

// What a print run keeps between pages.
struct PrintInfo {
  Rect m_rectDraw;
  unsigned m_nCurPage = 1;
  unsigned m_nNumPreviewPages = 1;
  bool m_bContinuePrinting = true;
  unsigned minPage = 1, maxPage = 0xFFFF;
  void SetMinPage(unsigned n) { minPage = n; }
  void SetMaxPage(unsigned n) { maxPage = n; }
  unsigned GetMinPage() const { return minPage; }
  unsigned GetMaxPage() const { return maxPage; }
};

// A list of same-sized images, each from a bitmap (file) or an icon.
class ImageList {
 public:
  bool Create(int cx, int cy, unsigned flags, int initial = 0, int grow = 0);
  // Adds a bitmap; the mask colour is kept for the renderer. Answers the index.
  int Add(Bitmap* bmp, Color mask);
  int Add(Bitmap* bmp, Bitmap* mask);
  bool Remove(int index);
  int GetImageCount() const { return int(images_.size()); }
  Size imageSize() const { return size_; }
  bool GetImageSize(int* cx, int* cy) const;
  bool Draw(DC* dc, int index, Point p, unsigned style) const;
  bool IsValid() const { return created_; }
  void DeleteImageList() { images_.clear(); created_ = false; }

 private:
  bool created_ = false;
  Size size_;
  unsigned flags_ = 0;
  std::vector<std::wstring> images_;
};

int MulDiv(int number, int numerator, int denominator);

}  // namespace ui
