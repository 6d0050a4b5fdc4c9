// The device conversion: blocks and circles of an imported drawing become
// point components (lamps, boxes, fixtures, air openings and the like).
//
// CDeviceConv (template 208 "转换设备") is the modeless dialog: the user
// chooses discipline, category, component name, number and elevation, picks
// groups of similar blocks or circles into rows and converts every row. Each
// source becomes one point component at its position moved by target minus
// source of the conversion area: a block keeps its definition, a circle (or
// a circle drawn as two half-circle polyline arcs) gets an empty anchor block
// and its figure as the component's edge line. CDeviceEdit (template 223
// "设备信息") rewrites the settings of the selected row.
#pragma once

#include <string>
#include <vector>

#include "module/conversion/conv_base.h"
#include "platform/cad/entities.h"

namespace device_ids {
constexpr unsigned kTemplate = 208, kEditTemplate = 223;
constexpr int kPlumbing = 218, kElectrical = 219, kHvac = 220;
constexpr int kCategory = 223, kName = 224, kNumber = 225, kElevation = 227;
constexpr int kList = 217, kPick = 229, kConvert = 366, kEditRow = 368, kAdvanced = 286;
constexpr int kPickNumber = 230, kPickElevation = 228, kEditOk = 240;
constexpr int kByLayer = 288, kByShape = 1000, kByAttributes = 289, kByRotation = 287;
constexpr int kColNo = 0, kColCategory = 1, kColName = 2, kColNumber = 3, kColElev = 4, kColLayer = 5,
              kColColour = 6;
}  // namespace device_ids

// The categories offered for a discipline radio (218, 219, 220), in order.
const StringArray& DeviceCategories(int discipline);
// The discipline radio whose categories hold the category (219 when none).
int DisciplineOfCategory(const std::wstring& category);

// The component settings of new rows, shared with the row editor.
struct DeviceSettings {
  int discipline = 0;
  ui::ComboBox typeCombo, nameCombo, codeCombo;
  std::wstring typeText, nameText, codeText;
  double elevation = 0;
  void exchange(ui::DataExchange* dx);
  // The combos follow the discipline radio, the category and the name: the
  // numbers of a name are the floor's, then those of the rows; an empty
  // list gets the name followed by the suffix.
  void disciplineChanged(ui::Wnd* dlg, const CNewListCtrl* rows, const std::wstring& suffix);
  void categoryChanged(const CNewListCtrl* rows, const std::wstring& suffix);
  void nameChanged(const CNewListCtrl* rows, const std::wstring& suffix);
};

class CDeviceConv : public CComponentConv, public DeviceSettings {
 public:
  CDeviceConv();

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;

  bool MatchRow(int row, cad::ObjectId picked, const cad::ObjectIdArray* rowIds) override;
  void AddRow(cad::ObjectIdArray ids, const std::wstring& layer, const std::wstring& colour) override;
  void BeginCellEdit(int row, int column) override;
  void EndCellEdit(ui::NotifyHeader* info, ui::LResult* result) override;
  void UpdateConvertButton() override;

  void OnDiscipline();
  void OnCategoryChange();
  void OnNameChange();
  void OnNumberDropDown();
  void OnPickElevation();
  void OnPickNumber();
  void PickDeviceRows();
  void EditDeviceRow();
};

class CDeviceEdit : public ui::Dialog, public DeviceSettings {
 public:
  CDeviceEdit();
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnConfirm();
};

// True for a lightweight polyline drawn as a circle: exactly three vertices
// whose first two bulges are both ±1 (two half circles).
bool IsPolylineCircle(const cad::Entity* ent);

// The entities of the drawing like the picked block, circle or polyline
// circle, inside the dialog's area, by the four flags (layer, shape,
// rotation, attribute texts). Empty unless the picked layer is a source layer.
void FindSimilarDevices(CDeviceConv* dlg, int colourIndex, cad::ObjectIdArray* out, cad::ObjectId picked,
                        const std::wstring& layer, bool byLayer, bool byShape, bool byRotation,
                        bool byAttributes);
// The colour texts of the entities of a layer ("%d", or the layer colour
// followed by "(随层)" / "(随块)"), each once in drawing order.
void ListLayerColours(StringArray& out, const std::wstring& layer);

// Converts every row of the dialog (the 转换 button).
void ConvertDeviceRows(CDeviceConv* dlg);
// Clones the entities into model space on the layer; the id of the clone of
// the first entity (null when nothing was cloned).
cad::ObjectId DeepCloneToLayer(const cad::ObjectIdArray& ids, const std::wstring& layer, cad::Database* db);
