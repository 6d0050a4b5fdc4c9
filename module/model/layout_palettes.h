// The layout palettes: three small modeless dialogs that hold the parameters
// of the area layouts while their commands run — laying along a line
// (CDlgLine), the rectangle grid (CDlgRect) and the fan (CDlgFan). An engine
// opens its palette next to the drawing, reads it back before every layout
// step and closes it when the command ends; the runners RunDlgLine,
// RunDlgRect and RunDlgFan are the only way the engines touch them.
//
// Each palette has a small button (control 306) that takes the elevation from
// a component picked in the drawing: a level linear component (sloped pipe,
// riser or through pipe with equal start and end elevations) or a point
// component.
#pragma once

#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/gdi.h"

// Template and control ids of the palettes.
namespace palette_ids {
constexpr int kPickButton = 306;  // the elevation button of every palette
constexpr unsigned kPickBitmap = 228;

constexpr unsigned kLineTemplate = 229;
constexpr int kLineCount = 303;
constexpr int kLineEdge = 304;
constexpr int kLineElevation = 305;
constexpr int kLineAngle = 307;

constexpr unsigned kRectTemplate = 1202;
constexpr int kRectRows = 1201;
constexpr int kRectColumns = 1202;
constexpr int kRectHorizontalMargin = 1203;
constexpr int kRectVerticalMargin = 1204;
constexpr int kRectElevation = 1205;

constexpr unsigned kFanTemplate = 2203;
constexpr int kFanRows = 2202;
constexpr int kFanFirstRowCount = 2203;
constexpr int kFanDecrease = 2204;
constexpr int kFanElevation = 2205;
}  // namespace palette_ids

// Runner modes.
constexpr int kPaletteModeOpen = 1;
constexpr int kPaletteModeRead = 2;
constexpr int kPaletteModeClose = 4;

// The owner-drawn elevation button of every palette: its face is the
// standard pick bitmap.
class CPaletteButton : public ui::Button {
 public:
  // Loads the standard bitmap from the current resources; false when absent.
  bool AutoLoad();
  void DrawItem(ui::DrawItemStruct* dis) override;
  const ui::Bitmap& bitmap() const { return bitmap_; }

 private:
  ui::Bitmap bitmap_;
};

// The pick loop shared by the three palettes: asks for a component until one
// gives an elevation (answers true with it) or the user ends the pick
// (Escape, Enter, Space, right click: false, elevation unchanged).
bool PickElevationOfGj(double& elevation);

// The palettes' common frame: the caption (the window title), the keep-focus
// answer, the elevation button and its click.
class CLayoutPalette : public ui::Dialog {
 public:
  explicit CLayoutPalette(unsigned templateId);
  std::wstring caption;
  double elevation = 0;

  bool OnInitDialog() override;
  CPaletteButton& pickButton() { return pickButton_; }

 protected:
  // The elevation button's click.
  virtual void OnPickElevation() = 0;
  // The shared work of the click; cancelByCancel: Escape during the pick
  // ends the editor command with CancelEditorCommand instead of Complete.
  void pickElevation(bool cancelByCancel);
  CPaletteButton pickButton_;
};

// "布置数量", "距边距离", "楼层相对标高": count, angle, edge distance and
// elevation for laying along a line. The angle field is in radians; its edit
// shows degrees, which is what a person types.
class CDlgLine : public CLayoutPalette {
 public:
  CDlgLine();
  int count = 0;
  double angle = 0;  // radians
  double edgeDistance = 0;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnPickElevation() override;
};

// "矩形布置": rows, columns, margins and elevation of the rectangle grid.
class CDlgRect : public CLayoutPalette {
 public:
  CDlgRect();
  int rows = 0;
  int columns = 0;
  double horizontalMargin = 0;
  double verticalMargin = 0;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnPickElevation() override;
};

// "扇形布置": rows, first row count, decrease per row and elevation of the
// fan.
class CDlgFan : public CLayoutPalette {
 public:
  CDlgFan();
  int rows = 0;
  int firstRowCount = 0;
  int decreasePerRow = 0;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnPickElevation() override;
};

// The open palette of each kind, or null.
extern CDlgLine* g_dlgLine;
extern CDlgRect* g_dlgRect;
extern CDlgFan* g_dlgFan;

// The runners. Mode 1 opens the palette at the screen point (x, y), just
// behind the main window, with the caption and the values given (null ones
// keep the palette's zeros); an open palette of the same kind is closed
// first. Mode 2 reads the controls back (the platform's validation: a
// rejected entry keeps the field's previous value) and writes the fields into
// the values given. Mode 4 closes the palette.
// RunDlgLine: true for every mode; any mode but 1 and 2 closes.
// RunDlgRect / RunDlgFan: mode 2 answers false with no palette open (the
// values are left as they were); modes other than 1, 2 and 4 answer false.
bool RunDlgLine(int mode, int x, int y, int* count, double* edgeDistance, double* elevation, double* angle,
                const std::wstring& caption = L"");
bool RunDlgRect(int mode, int x, int y, int* rows, int* columns, double* horizontalMargin,
                double* verticalMargin, double* elevation, const std::wstring& caption = L"");
bool RunDlgFan(int mode, int x, int y, int* rows, int* firstRowCount, int* decreasePerRow, double* elevation,
               const std::wstring& caption = L"");
