#include "module/model/layout_palettes.h"

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <numbers>

#include "module/model/image_dialogs.h"
#include "module/model/module_resources.h"
#include "module/model/picking.h"
#include "module/model/special_data.h"
#include "module/toolkit/module_scope.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/status.h"
#include "platform/ui/wnd.h"

CDlgLine* g_dlgLine = nullptr;
CDlgRect* g_dlgRect = nullptr;
CDlgFan* g_dlgFan = nullptr;

using namespace palette_ids;

// ---------------------------------------------------------------------------
// The elevation button
// ---------------------------------------------------------------------------

bool CPaletteButton::AutoLoad() {
  if (!bitmap_.LoadBitmap(kPickBitmap)) return false;
  SetBitmap(&bitmap_);
  return true;
}

void CPaletteButton::DrawItem(ui::DrawItemStruct* dis) {
  if (!dis || !dis->hDC) return;
  ui::DC& dc = *dis->hDC;
  ui::Rect r = dis->rcItem;
  const bool pushed = (dis->itemState & ui::ods::Selected) != 0;
  dc.FillSolidRect(r, ui::GetSysColor(ui::color::BtnFace));
  dc.DrawEdge(&r, pushed ? ui::edge::Sunken : ui::edge::Raised, ui::bf::Rect);
  const ui::Bitmap* bmp = GetBitmap();
  if (!bmp || bmp->path().empty()) return;
  const ui::Size s = bmp->GetSize();
  const int x = r.left + (r.Width() - s.cx) / 2 + (pushed ? 1 : 0);
  const int y = r.top + (r.Height() - s.cy) / 2 + (pushed ? 1 : 0);
  dc.DrawImage(ui::Rect(x, y, x + s.cx, y + s.cy), bmp->path(), 0);
}

// ---------------------------------------------------------------------------
// Taking the elevation from a component
// ---------------------------------------------------------------------------

bool PickElevationOfGj(double& elevation) {
  for (;;) {
    cad::ObjectIdArray gjIds, sameNumberIds, layerIds;
    geom::Point3d pickPoint;
    // No type list: the picked entity's own layer is searched, so any
    // component can give its elevation.
    const int rc = PickGj(L"", gjIds, sameNumberIds, layerIds, pickPoint, L"\n选择构件：", true);
    // Escape, Enter, Space and a right click end the pick; so does anything
    // the loop cannot use, so that it never waits forever.
    if (rc != ed::kNormal) return false;
    HighlightEntities(gjIds, 0);
    cad::ObjectIdArray primary;
    FilterPrimaryGjIds(primary, gjIds);
    if (primary.empty()) continue;
    StringArray special;
    GetXdataLines(primary.front(), kXdataSpecial, special);
    std::wstring kind;
    FindAttrValue(special, L"类型", kind);
    if (kind == kGjKindSloped || kind == kGjKindRiser || kind == kGjKindThrough) {
      double start = 0, end = 0;
      GetGjSpecial(primary.front(), nullptr, &start, &end);
      if (start != end) continue;  // a sloped run has no one elevation
      elevation = start;
      return true;
    }
    if (kind == kGjKindPoint) {
      double elev = 0;
      GetPointGjSpecial(primary.front(), nullptr, &elev, nullptr);
      elevation = elev;
      return true;
    }
  }
}

// ---------------------------------------------------------------------------
// The palettes
// ---------------------------------------------------------------------------

namespace {

// The text an edit shows for a number: plain decimals, the fewest that give
// the value back ("3000", "150.5", "-0.125"), never an exponent.
std::wstring numberText(double v) {
  wchar_t buf[400];
  for (int decimals = 0; decimals <= 10; ++decimals) {
    std::swprintf(buf, std::size(buf), L"%.*f", decimals, v);
    if (std::wcstod(buf, nullptr) == v) return buf;
  }
  std::swprintf(buf, std::size(buf), L"%.10f", v);
  std::wstring text = buf;
  if (text.find(L'.') != std::wstring::npos) {
    while (text.back() == L'0') text.pop_back();
    if (text.back() == L'.') text.pop_back();
  }
  return text;
}

// Moves a number between an edit and its field: the platform's text
// exchange and validation when saving, the plain decimal text when loading.
void exchangeNumber(ui::DataExchange* dx, int id, double& value) {
  if (dx->m_bSaveAndValidate)
    ui::DDX_Text(dx, id, value);
  else if (dx->m_pDlgWnd)
    dx->m_pDlgWnd->SetDlgItemText(id, numberText(value));
}

// The elevation edit of each palette.
int elevationEditOf(unsigned templateId) {
  switch (templateId) {
    case kLineTemplate: return kLineElevation;
    case kRectTemplate: return kRectElevation;
    default: return kFanElevation;
  }
}

}  // namespace

CLayoutPalette::CLayoutPalette(unsigned templateId) : ui::Dialog(templateId, nullptr) {
  AnswerKeepFocus(*this);
  onCommandCode(kPickButton, ui::bn::Clicked, [this] { OnPickElevation(); });
}

bool CLayoutPalette::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  pickButton_.AutoLoad();
  SetWindowText(caption);
  return true;
}

void CLayoutPalette::pickElevation(bool cancelByCancel) {
  BeginEditorCommand();
  double elev = elevation;
  if (!PickElevationOfGj(elev)) {
    if (cancelByCancel)
      CancelEditorCommand();
    else
      CompleteEditorCommand(true);
    return;
  }
  elevation = elev;
  // Only the elevation edit takes the new value: what the user typed into the
  // other edits and has not been read back yet stays.
  SetDlgItemText(elevationEditOf(templateId()), numberText(elevation));
  CompleteEditorCommand(true);
  if (ui::Wnd* frame = ui::mainFrame()) frame->SetFocus();
}

CDlgLine::CDlgLine() : CLayoutPalette(kLineTemplate) {}

void CDlgLine::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Text(dx, kLineCount, count);
  // The edit shows degrees; the field stays in radians. A rejected entry
  // leaves the field as it was (the exchange stops before the assignment).
  double degrees = angle * 180.0 / std::numbers::pi;
  exchangeNumber(dx, kLineAngle, degrees);
  if (dx->m_bSaveAndValidate) angle = degrees * std::numbers::pi / 180.0;
  exchangeNumber(dx, kLineEdge, edgeDistance);
  exchangeNumber(dx, kLineElevation, elevation);
  ui::DDX_Control(dx, kPickButton, pickButton_);
}

void CDlgLine::OnPickElevation() { pickElevation(false); }

CDlgRect::CDlgRect() : CLayoutPalette(kRectTemplate) {}

void CDlgRect::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Text(dx, kRectRows, rows);
  ui::DDX_Text(dx, kRectColumns, columns);
  exchangeNumber(dx, kRectHorizontalMargin, horizontalMargin);
  exchangeNumber(dx, kRectVerticalMargin, verticalMargin);
  exchangeNumber(dx, kRectElevation, elevation);
  ui::DDX_Control(dx, kPickButton, pickButton_);
}

void CDlgRect::OnPickElevation() { pickElevation(false); }

CDlgFan::CDlgFan() : CLayoutPalette(kFanTemplate) {}

void CDlgFan::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Text(dx, kFanRows, rows);
  ui::DDX_Text(dx, kFanFirstRowCount, firstRowCount);
  ui::DDX_Text(dx, kFanDecrease, decreasePerRow);
  exchangeNumber(dx, kFanElevation, elevation);
  ui::DDX_Control(dx, kPickButton, pickButton_);
}

void CDlgFan::OnPickElevation() { pickElevation(true); }

// ---------------------------------------------------------------------------
// The runners
// ---------------------------------------------------------------------------

namespace {

// The resources of this module for the time of a runner call: the document
// manager's handle and the window layer's templates.
struct RunnerScope {
  ModuleResourceScope module;
  UiResourceScope templates;
};

template <class Palette>
void closePalette(Palette*& slot) {
  Palette* p = slot;
  if (!p) return;
  slot = nullptr;
  if (p->m_hWnd) p->DestroyWindow();
  delete p;
}

// Creates the window, places it at (x, y) just behind the main window, shows
// it and fills the controls. False (nothing left open) when the window
// cannot be made.
template <class Palette>
bool showPalette(Palette*& slot, Palette* p, int x, int y, int showCmd) {
  static bool hooked = false;
  if (!hooked) {
    // A palette must be gone before the suite's libraries are freed.
    hooked = true;
    AddUnloadHook([] {
      closePalette(g_dlgLine);
      closePalette(g_dlgRect);
      closePalette(g_dlgFan);
      hooked = false;
    });
  }
  if (!p->Create(p->templateId(), nullptr)) {
    delete p;
    return false;
  }
  slot = p;
  p->SetWindowPos(ui::mainFrame(), x, y, 0, 0, ui::swp::NoSize);
  p->ShowWindow(showCmd);
  p->UpdateData(false);
  return true;
}

template <class T>
void copyIn(T& field, const T* value) {
  if (value) field = *value;
}
template <class T>
void copyOut(T* value, const T& field) {
  if (value) *value = field;
}

// How a runner treats the modes it is not asked to open or read.
enum class OtherModes { Close, Refuse };

// The open / read / close frame of every palette runner. bind(palette, in)
// copies the caller's values into the palette (in) or out of it. Mode 1
// replaces a palette left open with a new one showing the values; mode 2
// reads the values back (false with no palette when missingReadFails);
// mode 4, and with OtherModes::Close every other mode, closes it.
template <class Palette, class Bind>
bool runPalette(Palette*& slot, int mode, int x, int y, int showCmd, const std::wstring& caption,
                bool missingReadFails, OtherModes others, Bind bind) {
  RunnerScope scope;
  if (mode == kPaletteModeOpen) {
    closePalette(slot);  // a palette left open is replaced, not orphaned
    auto* p = new Palette;
    p->caption = caption;
    bind(*p, true);
    showPalette(slot, p, x, y, showCmd);
    return true;
  }
  if (mode == kPaletteModeRead) {
    Palette* p = slot;
    if (!p) return !missingReadFails;
    p->UpdateData(true);
    bind(*p, false);
    return true;
  }
  if (mode != kPaletteModeClose && others == OtherModes::Refuse) return false;
  closePalette(slot);
  return true;
}

// Copies one field in or out.
template <class T>
void bindField(bool in, T& field, T* value) {
  if (in)
    copyIn(field, static_cast<const T*>(value));
  else
    copyOut(value, field);
}

}  // namespace

bool RunDlgLine(int mode, int x, int y, int* count, double* edgeDistance, double* elevation, double* angle,
                const std::wstring& caption) {
  return runPalette(g_dlgLine, mode, x, y, ui::sw::ShowNormal, caption, false, OtherModes::Close,
                    [&](CDlgLine& p, bool in) {
                      bindField(in, p.count, count);
                      bindField(in, p.edgeDistance, edgeDistance);
                      bindField(in, p.elevation, elevation);
                      bindField(in, p.angle, angle);
                    });
}

bool RunDlgRect(int mode, int x, int y, int* rows, int* columns, double* horizontalMargin,
                double* verticalMargin, double* elevation, const std::wstring& caption) {
  return runPalette(g_dlgRect, mode, x, y, ui::sw::Show, caption, true, OtherModes::Refuse,
                    [&](CDlgRect& p, bool in) {
                      bindField(in, p.rows, rows);
                      bindField(in, p.columns, columns);
                      bindField(in, p.horizontalMargin, horizontalMargin);
                      bindField(in, p.verticalMargin, verticalMargin);
                      bindField(in, p.elevation, elevation);
                    });
}

bool RunDlgFan(int mode, int x, int y, int* rows, int* firstRowCount, int* decreasePerRow, double* elevation,
               const std::wstring& caption) {
  return runPalette(g_dlgFan, mode, x, y, ui::sw::Show, caption, true, OtherModes::Refuse,
                    [&](CDlgFan& p, bool in) {
                      bindField(in, p.rows, rows);
                      bindField(in, p.firstRowCount, firstRowCount);
                      bindField(in, p.decreasePerRow, decreasePerRow);
                      bindField(in, p.elevation, elevation);
                    });
}
