// Rendering recorded painting to PNG files with cairo.
#include "platform/ui/render.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdlib>

#include <cmath>

#include "platform/os/os.h"
#include "platform/ui/detail.h"

namespace ui {

namespace {

void setColor(cairo_t* cr, Color c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void applyClip(cairo_t* cr, const DrawCall& c) {
  if (c.clip) {
    cairo_rectangle(cr, c.clip->left, c.clip->top, c.clip->Width(), c.clip->Height());
    cairo_clip(cr);
  }
  if (!c.excluded.empty()) {
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(cr, -100000, -100000, 200000, 200000);
    for (auto& e : c.excluded) cairo_rectangle(cr, e.left, e.top, e.Width(), e.Height());
    cairo_clip(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  }
}

void selectFont(cairo_t* cr, const LogFont& f) {
  releaseFontCachesAtExit();
  cairo_select_font_face(cr, "WenQuanYi Micro Hei", f.lfItalic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         f.lfWeight >= fw::SemiBold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, FontPixelHeight(f));
}

void showText(cairo_t* cr, double x, double baseline, const std::wstring& s) {
  if (s.empty()) return;
  std::string u = os::toUtf8(s);
  cairo_move_to(cr, x, baseline);
  cairo_show_text(cr, u.c_str());
}

bool strokePen(cairo_t* cr, const PenData& p) {
  if (p.style == ps::Null) return false;
  setColor(cr, p.color);
  cairo_set_line_width(cr, std::max(1, p.width));
  if (p.style == ps::Dot) {
    double d[] = {1, 2};
    cairo_set_dash(cr, d, 2, 0);
  } else if (p.style == ps::Dash) {
    double d[] = {4, 2};
    cairo_set_dash(cr, d, 2, 0);
  }
  return true;
}

void drawImageFile(cairo_t* cr, const Rect& r, const std::wstring& path) {
  std::string native = os::nativePathUtf8(path);
  cairo_surface_t* img = nullptr;
  if (native.size() > 4 && os::toLower(os::fromUtf8(native.substr(native.size() - 4))) == L".png")
    img = cairo_image_surface_create_from_png(native.c_str());
  if (img && cairo_surface_status(img) == CAIRO_STATUS_SUCCESS) {
    int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
    cairo_save(cr);
    cairo_translate(cr, r.left, r.top);
    if (w > 0 && h > 0) cairo_scale(cr, double(r.Width()) / w, double(r.Height()) / h);
    cairo_set_source_surface(cr, img, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
  } else {
    // A picture that cannot be shown: a crossed box.
    setColor(cr, RGB(128, 128, 128));
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.Width() - 1, r.Height() - 1);
    cairo_move_to(cr, r.left, r.top);
    cairo_line_to(cr, r.right, r.bottom);
    cairo_move_to(cr, r.right, r.top);
    cairo_line_to(cr, r.left, r.bottom);
    cairo_stroke(cr);
  }
  if (img) cairo_surface_destroy(img);
}

void replay(cairo_t* cr, const Recording& rec, int depth = 0);

void drawCall(cairo_t* cr, const DrawCall& c, int depth) {
  const Rect& r = c.rect;
  switch (c.op) {
    case DrawOp::FillRect:
    case DrawOp::Pixel:
      setColor(cr, c.brush.color);
      cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
      cairo_fill(cr);
      break;
    case DrawOp::FrameRect:
      setColor(cr, c.brush.color);
      cairo_set_line_width(cr, 1);
      cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.Width() - 1, r.Height() - 1);
      cairo_stroke(cr);
      break;
    case DrawOp::Rectangle:
    case DrawOp::Ellipse: {
      auto path = [&]() {
        if (c.op == DrawOp::Rectangle) {
          cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.Width() - 1, r.Height() - 1);
        } else {
          cairo_save(cr);
          cairo_translate(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
          cairo_scale(cr, std::max(1, r.Width()) / 2.0, std::max(1, r.Height()) / 2.0);
          cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
          cairo_restore(cr);
        }
      };
      if (c.brush.style != brush_style::Null) {
        path();
        setColor(cr, c.brush.color);
        cairo_fill(cr);
      }
      path();
      if (strokePen(cr, c.pen)) cairo_stroke(cr);
      cairo_new_path(cr);
      break;
    }
    case DrawOp::Line:
    case DrawOp::Polyline:
    case DrawOp::Polygon:
      if (c.points.size() < 2) break;
      cairo_move_to(cr, c.points[0].x + 0.5, c.points[0].y + 0.5);
      for (size_t i = 1; i < c.points.size(); ++i) cairo_line_to(cr, c.points[i].x + 0.5, c.points[i].y + 0.5);
      if (c.op == DrawOp::Polygon) {
        cairo_close_path(cr);
        if (c.brush.style != brush_style::Null) {
          setColor(cr, c.brush.color);
          cairo_fill_preserve(cr);
        }
      }
      if (strokePen(cr, c.pen)) cairo_stroke(cr);
      cairo_new_path(cr);
      break;
    case DrawOp::Text: {
      if (!(c.flags & dt::NoClip)) {
        cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
        cairo_clip(cr);
      }
      selectFont(cr, c.font);
      int h = FontPixelHeight(c.font);
      std::vector<std::wstring> lines;
      std::wstring cur;
      for (wchar_t ch : c.text) {
        if (ch == L'\n') {
          lines.push_back(cur);
          cur.clear();
        } else {
          cur += ch;
        }
      }
      lines.push_back(cur);
      int total = h * int(lines.size());
      int y = r.top;
      if (c.flags & dt::SingleLine) {
        if (c.flags & dt::VCenter) y = r.top + (r.Height() - h) / 2;
        else if (c.flags & dt::Bottom) y = r.bottom - h;
      }
      (void)total;
      for (auto& l : lines) {
        int w = TextExtent(c.font, l).cx;
        int x = r.left;
        if (c.flags & dt::Center) x = r.left + (r.Width() - w) / 2;
        else if (c.flags & dt::Right) x = r.right - w;
        if (c.bkMode == bkmode::Opaque) {
          setColor(cr, c.bkColor);
          cairo_rectangle(cr, x, y, w, h);
          cairo_fill(cr);
        }
        setColor(cr, c.textColor);
        showText(cr, x, y + h * 0.82, l);
        y += h;
      }
      break;
    }
    case DrawOp::TextOut: {
      selectFont(cr, c.font);
      int h = FontPixelHeight(c.font);
      if (c.bkMode == bkmode::Opaque) {
        setColor(cr, c.bkColor);
        cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
        cairo_fill(cr);
      }
      setColor(cr, c.textColor);
      showText(cr, r.left, r.top + h * 0.82, c.text);
      break;
    }
    case DrawOp::Edge: {
      unsigned edgeKind = c.flags & 0xFFFF, flags = c.flags >> 16;
      bool raised = edgeKind & (bdr::RaisedOuter | bdr::RaisedInner);
      Color tl = raised ? GetSysColor(color::BtnHighlight) : GetSysColor(color::BtnShadow);
      Color br = raised ? GetSysColor(color::DkShadow3D) : GetSysColor(color::BtnHighlight);
      if (edgeKind == edge::Etched) {
        tl = GetSysColor(color::BtnShadow);
        br = GetSysColor(color::BtnHighlight);
      }
      cairo_set_line_width(cr, 1);
      setColor(cr, tl);
      if (flags & bf::Top) { cairo_move_to(cr, r.left, r.top + 0.5); cairo_line_to(cr, r.right, r.top + 0.5); }
      if (flags & bf::Left) { cairo_move_to(cr, r.left + 0.5, r.top); cairo_line_to(cr, r.left + 0.5, r.bottom); }
      cairo_stroke(cr);
      setColor(cr, br);
      if (flags & bf::Bottom) { cairo_move_to(cr, r.left, r.bottom - 0.5); cairo_line_to(cr, r.right, r.bottom - 0.5); }
      if (flags & bf::Right) { cairo_move_to(cr, r.right - 0.5, r.top); cairo_line_to(cr, r.right - 0.5, r.bottom); }
      cairo_stroke(cr);
      if (flags & bf::Middle) {
        setColor(cr, GetSysColor(color::BtnFace));
        cairo_rectangle(cr, r.left + 1, r.top + 1, r.Width() - 2, r.Height() - 2);
        cairo_fill(cr);
      }
      break;
    }
    case DrawOp::FocusRect: {
      double d[] = {1, 1};
      cairo_set_dash(cr, d, 2, 0);
      cairo_set_line_width(cr, 1);
      setColor(cr, RGB(0, 0, 0));
      cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.Width() - 1, r.Height() - 1);
      cairo_stroke(cr);
      break;
    }
    case DrawOp::InvertRect:
      cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
      cairo_set_source_rgb(cr, 1, 1, 1);
      cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
      cairo_fill(cr);
      break;
    case DrawOp::Blit:
      cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
      cairo_clip(cr);
      if (c.source && depth < 8) {
        cairo_translate(cr, r.left - c.sourceRect.left, r.top - c.sourceRect.top);
        if (c.sourceRect.Width() > 0 && c.sourceRect.Height() > 0 &&
            (c.sourceRect.Width() != r.Width() || c.sourceRect.Height() != r.Height())) {
          cairo_translate(cr, c.sourceRect.left, c.sourceRect.top);
          cairo_scale(cr, double(r.Width()) / c.sourceRect.Width(), double(r.Height()) / c.sourceRect.Height());
          cairo_translate(cr, -c.sourceRect.left, -c.sourceRect.top);
        }
        replay(cr, *c.source, depth + 1);
      } else if (!c.imagePath.empty()) {
        drawImageFile(cr, r, c.imagePath);
      }
      break;
    case DrawOp::Image:
      drawImageFile(cr, r, c.imagePath);
      break;
    case DrawOp::Marker: break;
  }
}

void replay(cairo_t* cr, const Recording& rec, int depth) {
  for (auto& c : rec.calls) {
    cairo_save(cr);
    applyClip(cr, c);
    drawCall(cr, c, depth);
    cairo_restore(cr);
  }
}

void repaintTree(Wnd* w) {
  if (!w || !w->IsWindowVisible()) return;
  w->Invalidate(true);
  w->UpdateWindow();
  auto kids = w->children();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) repaintTree(*it);
}

void renderTree(cairo_t* cr, Wnd* w, Point origin, bool top) {
  if (!w || !(w->GetStyle() & ws::Visible)) return;
  Rect wr = w->windowRect();
  Point at{wr.left - origin.x, wr.top - origin.y};
  Point off = detail::clientOffset(w->m_hWnd);
  Rect cr0 = w->clientRect();
  cairo_save(cr);
  cairo_rectangle(cr, at.x, at.y, wr.Width(), wr.Height());
  cairo_clip(cr);
  // Non-client parts: frame, caption, scroll bars.
  unsigned style = w->GetStyle();
  if (off.x > 0 || off.y > 0 || (style & (ws::HScroll | ws::VScroll))) {
    setColor(cr, GetSysColor(color::BtnFace));
    cairo_rectangle(cr, at.x, at.y, wr.Width(), wr.Height());
    cairo_fill(cr);
    setColor(cr, top ? GetSysColor(color::WindowFrame) : GetSysColor(color::BtnShadow));
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, at.x + 0.5, at.y + 0.5, wr.Width() - 1, wr.Height() - 1);
    cairo_stroke(cr);
    if ((style & ws::Caption) == ws::Caption) {
      int ch = GetSystemMetrics(sm::CyCaption);
      int f = off.x;
      setColor(cr, GetSysColor(color::ActiveCaption));
      cairo_rectangle(cr, at.x + f, at.y + f, wr.Width() - 2 * f, ch);
      cairo_fill(cr);
      LogFont lf = GetNonClientMetrics().lfCaptionFont;
      selectFont(cr, lf);
      setColor(cr, GetSysColor(color::CaptionText));
      showText(cr, at.x + f + 4, at.y + f + ch * 0.75, w->GetWindowText());
    }
    int sbw = GetSystemMetrics(sm::CxVScroll);
    if (style & ws::VScroll) {
      setColor(cr, GetSysColor(color::ScrollBar));
      cairo_rectangle(cr, at.x + off.x + cr0.Width(), at.y + off.y, sbw, cr0.Height());
      cairo_fill(cr);
    }
    if (style & ws::HScroll) {
      setColor(cr, GetSysColor(color::ScrollBar));
      cairo_rectangle(cr, at.x + off.x, at.y + off.y + cr0.Height(), cr0.Width(), sbw);
      cairo_fill(cr);
    }
  }
  cairo_save(cr);
  cairo_translate(cr, at.x + off.x, at.y + off.y);
  cairo_rectangle(cr, 0, 0, cr0.Width(), cr0.Height());
  cairo_clip(cr);
  replay(cr, w->paintRecording());
  cairo_restore(cr);
  cairo_restore(cr);
  auto kids = w->children();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    cairo_save(cr);
    cairo_rectangle(cr, at.x + off.x, at.y + off.y, cr0.Width(), cr0.Height());
    cairo_clip(cr);
    renderTree(cr, *it, origin, false);
    cairo_restore(cr);
  }
}

bool writeSurface(cairo_surface_t* s, const std::filesystem::path& file, std::wstring* error) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  cairo_status_t st = cairo_surface_write_to_png(s, file.string().c_str());
  if (st != CAIRO_STATUS_SUCCESS) {
    if (error) *error = L"cannot write " + os::fromUtf8(file.string()) + L": " + os::fromUtf8(cairo_status_to_string(st));
    return false;
  }
  return true;
}

}  // namespace

void releaseFontCachesAtExit() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  std::atexit([] {
    cairo_debug_reset_static_data();
    FcFini();
  });
}

bool renderRecordingToPng(const Recording& rec, const std::filesystem::path& file, Size size, std::wstring* error) {
  if (size.cx <= 0 || size.cy <= 0) size = rec.size;
  size.cx = std::clamp(size.cx, 1, 16384);
  size.cy = std::clamp(size.cy, 1, 16384);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.cx, size.cy);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  replay(cr, rec);
  cairo_destroy(cr);
  bool ok = writeSurface(s, file, error);
  cairo_surface_destroy(s);
  return ok;
}

bool renderWindowToPng(Wnd* wnd, const std::filesystem::path& file, std::wstring* error) {
  if (!wnd || !wnd->m_hWnd) {
    if (error) *error = L"no window to render";
    return false;
  }
  // Paint as if shown, even when the window is hidden now.
  bool wasVisible = (wnd->GetStyle() & ws::Visible) != 0;
  if (!wasVisible) wnd->ModifyStyle(0, ws::Visible);
  repaintTree(wnd);
  Rect wr = wnd->windowRect();
  int w = std::clamp(wr.Width(), 1, 16384), h = std::clamp(wr.Height(), 1, 16384);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_t* cr = cairo_create(s);
  setColor(cr, GetSysColor(color::BtnFace));
  cairo_paint(cr);
  renderTree(cr, wnd, wr.TopLeft(), true);
  cairo_destroy(cr);
  if (!wasVisible) wnd->ModifyStyle(ws::Visible, 0);
  bool ok = writeSurface(s, file, error);
  cairo_surface_destroy(s);
  return ok;
}

}  // namespace ui
