// The conversion area and the base of every conversion dialog.
//
// - The conversion area (CConvArea, one instance in g_convArea) is the set of
//   source entities the user chose once, with a source and a target base
//   point: every component a conversion makes lies at its source position
//   moved by target minus source. Source entities stay in the drawing.
// - CComponentConv is a modeless dialog with one list of rows; a row is a
//   group of similar source entities that becomes components of one kind.
//   The pick loop PickConvRows gathers such groups from the drawing. Each
//   row owns a heap id array in its item data; its entities stay highlighted
//   while it is listed.
// - CNewListCtrl is the row list: a click on a focused row starts a cell
//   edit through the owner, its context menu adds and deletes rows, and one
//   column may be drawn as colour swatches. ShowCellCombo opens the in-place
//   combo (CNewComboBox) that edits one cell; every way out of it commits.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

class CComponentConv;

// Control ids shared by the conversion dialogs.
namespace conv_ids {
constexpr unsigned kAreaTemplate = 202;
constexpr int kSourceX = 111, kSourceY = 112, kPickSource = 113;
constexpr int kTargetX = 114, kTargetY = 115, kPickTarget = 116;
constexpr int kObjectCount = 245, kSelectArea = 221;
constexpr int kViewArea = 236, kModifyArea = 363, kCancel = 239;
// The context menu of the row list.
constexpr int kMenuAddRow = 300, kMenuDeleteSelected = 301, kMenuDeleteAll = 302;
}  // namespace conv_ids

// The conversion area dialog (template 202).
class CConvArea : public ui::Dialog {
 public:
  CConvArea();
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnCancel() override;

  void OnPickPoint(bool target);
  void OnSelectArea();

  double sourceX = 0, sourceY = 0, targetX = 0, targetY = 0;
  int objectCount = 0;
  cad::ObjectIdArray areaIds;
  int saved = 0;
};

// The row list of a conversion dialog.
class CNewListCtrl : public ui::ListCtrl {
 public:
  int colourColumn = -1;
  CComponentConv* owner = nullptr;

  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override;
  bool OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) override;
  // The row's id array (null when the row has none).
  cad::ObjectIdArray* rowIds(int row) const;
  // Gives the row a new array (the old one is freed; null: none).
  void setRowIds(int row, cad::ObjectIdArray* ids);

 private:
  void showContextMenu(ui::Point screen);
};

// The in-place combo over one cell.
class CNewComboBox : public ui::ComboBox {
 public:
  int row = 0, column = 0, startIndex = -1, colourMode = 0;
  StringArray choices;
  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override;
  bool OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) override;
  bool PreTranslateMessage(ui::Msg* msg) override;
  void PostNcDestroy() override;
  // Sends the shown text to the list's owner as the end of the cell edit
  // (once) and closes the combo.
  void commit();

 private:
  bool committed_ = false;
};

class CComponentConv : public ui::Dialog {
 public:
  explicit CComponentConv(unsigned templateId);
  ~CComponentConv() override;

  bool OnInitDialog() override;
  void OnCancel() override;

  virtual bool MatchRow(int row, cad::ObjectId picked, const cad::ObjectIdArray* rowIds) = 0;
  virtual void AddRow(cad::ObjectIdArray ids, const std::wstring& layer, const std::wstring& colour) = 0;
  virtual void BeginCellEdit(int row, int column) = 0;
  virtual void EndCellEdit(ui::NotifyHeader* info, ui::LResult* result) = 0;
  virtual void UpdateConvertButton() = 0;

  void SetAreaIds(const cad::ObjectIdArray& ids) { areaIds = ids; }
  // The common forms of the two operations: the edited text goes into its
  // cell when it differs; 转换 (366) is enabled while the list has rows.
  void commitCellEdit(ui::NotifyHeader* info, ui::LResult* result);
  void enableConvertWhileRows();
  // Sets up the row list: grid lines, full-row selection, the centred
  // columns (title, width; column 0 is centred by inserting a placeholder
  // column first and deleting it), the colour column, no rows.
  // While the dialog is shown the CAD main frame takes no input (the dialog
  // stays enabled); then the extra handler runs with the new state.
  void blockMainFrameWhileShown(std::function<void(bool)> extra = {});
  void setUpRowList(std::initializer_list<std::pair<const wchar_t*, int>> columns, int colourColumn);
  // The prompt of 查看区域.
  virtual std::wstring viewAreaPrompt() const { return L"\n转换区域\n回车返回"; }
  // Drops every row's ids that are no longer in the drawing; nothing else.
  CNewListCtrl& list() { return rowList; }

  double sourceX = 0, sourceY = 0, targetX = 0, targetY = 0;
  cad::ObjectIdArray areaIds;
  CNewListCtrl rowList;
};

// Written by WatchConvPickMsg: 0 before each pick, 1 after a left button
// press, 2 after a right button press or Enter.
extern int g_convPickWatchFlag;
void WatchConvPickMsg(const ed::Msg* msg);
// One pick of the conversion pick loops: kNormal with an entity; kCancel when
// the loop is to end (Escape; the right button or Enter, after which the
// cancel key goes to the drawing view). Picks that hit nothing ask again.
int PickConvEntity(const std::wstring& prompt, cad::ObjectId& picked);

// The class names of the entities the linear conversions can turn into
// components: lines, lightweight polylines and arcs for runs; circles (and
// closed polylines) for risers.
inline constexpr const wchar_t* kLinearConvClasses = L"AcDbLine,AcDbPolyline,AcDbArc,AcDbCircle";
// The host's class name of an entity ("AcDbLine", "AcDb2dPolyline", ...).
std::wstring EntityClassName(const cad::DbObject* obj);

// The pick loop: groups of similar entities picked inside the area become
// rows, a picked group already listed leaves its row.
void PickConvRows(CComponentConv* dlg, const std::wstring& classList, int checkClasses);
// The entities of the dialog's area like the picked one: same layer, class,
// raw colour index and (polylines) vertex-0 widths. Last to first.
void FindSimilarEntities(CComponentConv* dlg, cad::ObjectIdArray* out, const std::wstring& className,
                         const std::wstring& layer, int colourIndex, double startWidth, double endWidth);
void ModifyConvArea(CComponentConv* dlg);
// Asks for components until one gives an elevation: a level run or riser
// (equal start and end elevations) or a point component; other picks ask
// again. False when the user ends the pick.
bool PickGjElevation(double& elev);
// The settings group at the bottom of the device and circuit dialogs: hidden
// at first (the window 65 pixels shorter, the button 286 reading "高级<<");
// the button shows and hides it again.
void CollapseAdvanced(ui::Dialog* dlg);
void ToggleAdvanced(ui::Dialog* dlg);
void ViewConvArea(CComponentConv* dlg);

// The list operations that keep the row model (highlight, owned arrays).
bool DeleteConvRow(CNewListCtrl* list, int row);
bool DeleteAllConvRows(CNewListCtrl* list);
CNewComboBox* ShowCellCombo(CNewListCtrl* list, int row, int column, const StringArray* choices,
                            int startIndex, int colourMode);
// The text of a colour cell as drawn: "红色" ... "白色" for 1 to 7 followed by
// the rest of the cell ("(随层)"), other texts as they are.
std::wstring ColourCellText(const std::wstring& cell);

// 1 when a conversion area is saved (now or before), 2 when the user quit.
int EnsureConvArea();
// True when the layer holds conversion sources: "0" or a name beginning
// with "ZEB_".
bool IsSourceLayer(const std::wstring& layer);

// Destroys a dialog's window, deletes it and clears the pointer.
template <class T>
void DestroyConvDialog(T*& dlg) {
  if (!dlg) return;
  if (dlg->m_hWnd) dlg->DestroyWindow();
  delete dlg;
  dlg = nullptr;
}
