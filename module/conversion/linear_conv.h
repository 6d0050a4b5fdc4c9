// The three linear conversion dialogs: air ducts (template 211 "转换风管"),
// pipes (203 "转换管道") and water pipes (210 "转换水管"). They share the
// template layout, the members, the seven list columns, the name and number
// combos, the row operations and the row editor (207 "编辑信息"); they differ
// in their name list, a few buttons and the convert handler.
#pragma once

#include <string>

#include "module/conversion/conv_base.h"
#include "module/conversion/network_passes.h"

namespace linear_ids {
constexpr unsigned kDuctTemplate = 211, kPipeTemplate = 203, kWaterTemplate = 210, kEditTemplate = 207;
constexpr int kStartElev = 200, kEndElev = 201, kPickStart = 233, kPickEnd = 234;
constexpr int kName = 224, kNumber = 225, kList = 227;
constexpr int kRun = 238, kRiser = 237;
constexpr int kPick = 364, kConvert = 366, kEditRow = 368, kEditOk = 240;
// The list columns.
constexpr int kColNo = 0, kColName = 1, kColNumber = 2, kColElev = 3, kColRiser = 4, kColLayer = 5,
              kColColour = 6;
}  // namespace linear_ids

enum class LinearKind { Duct, Pipe, Water };

// The settings of new rows (and of the row editor): name and number combos
// with their texts, start and end elevation.
struct RowSettings {
  ui::ComboBox nameCombo, numberCombo;
  std::wstring gjName, gjNumber;
  double startElev = 0, endElev = 0;
  void exchange(ui::DataExchange* dx);
};

// Fills a number combo with "自动识别", the floor's numbers of the name and
// the numbers of the list's rows of that name.
void FillNumberCombo(ui::ComboBox& combo, const CNewListCtrl& list, const std::wstring& name);

class CLinearConv : public CComponentConv, public RowSettings {
 public:
  CLinearConv(unsigned templateId, LinearKind kind);

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;

  bool MatchRow(int row, cad::ObjectId picked, const cad::ObjectIdArray* rowIds) override;
  void AddRow(cad::ObjectIdArray ids, const std::wstring& layer, const std::wstring& colour) override;
  void BeginCellEdit(int row, int column) override;
  void EndCellEdit(ui::NotifyHeader* info, ui::LResult* result) override;
  void UpdateConvertButton() override;

  void OnPick();
  void OnNameSelChange();
  void OnNumberDropDown();
  void EditConvRow();
  virtual void OnConvert() = 0;

  LinearKind kind() const { return kind_; }
  std::wstring riserText() const;


 protected:
  // Checks the rows before a conversion: rows without ids are passed over,
  // rows whose cells cannot be converted are named on the command line and
  // kept. Answers the rows to convert, last to first.
  std::vector<int> rowsToConvert();
  // Removes the converted rows and finishes: "\n转换结束\n" and the dialog
  // hidden when something was made, otherwise a message and the rows stay.
  void finish(const std::vector<int>& converted, int made, int skipped);

  LinearKind kind_;
};

class CAirDuctConv : public CLinearConv {
 public:
  CAirDuctConv();
  void OnConvert() override;
};

// The pipe and water-pipe dialogs: their convert handler runs the network
// passes over the segment lists of `network`.
class CPipeNetworkConv : public CLinearConv {
 public:
  CPipeNetworkConv(unsigned templateId, LinearKind kind);
  void OnConvert() override;
  PipeNetwork network;
};

class CPipeConv : public CPipeNetworkConv {
 public:
  CPipeConv();
  std::wstring viewAreaPrompt() const override { return L"\n转换区域\n回车或右键返回"; }
  void SetRiserElevations();
  void PickElevationFromGj(bool start);
};

class CWaterPipeConv : public CPipeNetworkConv {
 public:
  CWaterPipeConv();
};

// The row editor (template 207) of one linear conversion dialog.
class CLinearConvEdit : public ui::Dialog, public RowSettings {
 public:
  explicit CLinearConvEdit(CLinearConv* owner);
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnEditNameSelChange();
  void OnEditConfirm();

 private:
  CLinearConv* owner_;
};

// Prints how many runs of each number and how many risers the entities
// (those made by one conversion) hold.
void ReportMadeComponents(const std::unordered_set<cad::ObjectId>& made);

// The elevations of an elevation cell ("start;end"): false unless it has two
// parts that both read as numbers.
bool ParseElevationCell(const std::wstring& cell, double& start, double& end);

// The components one duct group makes: runs for every segment of its lines,
// polylines and arcs, risers for its circles and closed polylines; each with
// "B=" and "H=" lines. Answers how many were made; skipped counts the source
// entities that made nothing.
int BuildDuctGroup(CLinearConv* dlg, const cad::ObjectIdArray* ids, const std::wstring& name,
                   const std::wstring& number, int riser, double startElev, double endElev, int& skipped);
