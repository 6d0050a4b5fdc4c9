// The colour manager: a modeless dialog in which the user picks a component
// type from a tree grouped by discipline and category, changes its colour
// (from the colour dialog or from an entity picked in the drawing) and on OK
// applies the colours to the type's layers, writes them into the component
// library and saves the drawing. "恢复默认" puts back the colours of the
// installed library.
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/cad/color.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/gdi.h"

// Control and resource ids of the dialog template.
namespace colour_ids {
constexpr unsigned kTemplate = 226;
constexpr int kTree = 294;
constexpr int kRestore = 295;
constexpr int kSwatch = 298;
constexpr int kTabs = 301;
constexpr int kPick = 302;
constexpr unsigned kPickBitmap = 228;
}  // namespace colour_ids

// A button whose face is its colour: it answers the control-colour query
// reflected from its parent with a solid brush of that colour.
class CColorButton : public ui::Button {
 public:
  CColorButton();
  ui::Color color() const { return color_; }
  // Takes the colour (window byte order, red low), renews the brush and
  // redraws the button.
  void setColor(ui::Color c);
  bool OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) override;
  void DrawItem(ui::DrawItemStruct* dis) override;

 private:
  ui::Color color_;
  ui::Brush brush_;
};

class CColorManager : public ui::Dialog {
 public:
  CColorManager();

  bool OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(ui::DataExchange* dx) override;

  // The message handlers.
  void OnTabChange();
  void OnTreeClick();
  void OnChooseColor();
  void OnPickFromDrawing();
  void OnRestoreDefaults();

  // The changes made and not yet applied: names and their colour indexes.
  const StringArray& pendingNames() const { return pendingNames_; }
  const std::vector<int>& pendingColors() const { return pendingColors_; }
  const std::wstring& currentName() const { return currentName_; }
  const cad::Color& currentColor() const { return currentColor_; }
  ui::TabCtrl& tabs() { return tabs_; }
  ui::TreeCtrl& tree() { return tree_; }
  CColorButton& swatch() { return swatch_; }
  ui::Button& pickButton() { return pickButton_; }

  // The tab of a category of the host's category combo: 0 plumbing, 1
  // electrical, 2 HVAC; every other category opens the electrical tab.
  static int TabOfCategory(const std::wstring& category);

 private:
  void fillTree(int tab);
  void resetSwatch();
  void recordColor(int index);

  std::vector<int> pendingColors_;
  StringArray pendingNames_;
  ui::TabCtrl tabs_;
  ui::TreeCtrl tree_;
  ui::Button pickButton_;
  CColorButton swatch_;
  cad::Color currentColor_;
  std::wstring currentName_;
  ui::Bitmap pickBitmap_;
};

// The one colour manager, or null.
extern CColorManager* g_colorManagerDlg;

// The host's colour dialog: the colour index the user chooses, starting from
// current. Without allowMeta the choices ByLayer and ByBlock are not offered.
// False when the user cancels.
bool ChooseColorIndex(int current, bool allowMeta, int& chosen);

// KivColorManage's work, and the floor switch's end of the dialog.
void OpenColorManager();
void CloseColorManager();
