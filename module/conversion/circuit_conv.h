// The electrical circuit conversion (command PipeLineConv) in its three
// steps:
// - CPipeLineSel (template 215 "选择转换图层"): the user picks the wiring
//   layers and the wire-count annotation layers and sets the merge and
//   connection distances; 下一步 traces the circuits (circuit_trace.h).
// - CPipeLineConv (template 201 "转换电气管线"): one row per circuit (a box's
//   circuit with the circuits that continue from its devices); the user
//   describes each row's wire, conduit, elevation and vertical wiring with
//   CPipeLineEdit (template 214 "管线信息"), picking circuits in the drawing
//   while CLoopMonitor shows the circuit under the cursor; 转换 makes the
//   wire-in-conduit components "导线·导管" of the described rows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "module/conversion/circuit_trace.h"
#include "module/conversion/conv_base.h"
#include "platform/cad/entities.h"
#include "platform/editor/inputpoint.h"

namespace circuit_ids {
constexpr unsigned kSelTemplate = 215, kConvTemplate = 201, kEditTemplate = 214;
// Step 1.
constexpr int kPipeList = 261, kCountList = 262, kPickPipes = 364, kDeletePipe = 249;
constexpr int kPickCounts = 245, kDeleteCount = 248, kMerge = 268, kMeasureMerge = 269;
constexpr int kConnect = 271, kMeasureConnect = 291, kModifyArea = 255, kPrev = 272, kNext = 270;
constexpr int kByWidth = 290, kByColour = 292, kByLinetype = 293, kAdvanced = 286;
// Step 2.
constexpr int kList = 250, kView = 252, kSetInfo = 289, kEditInfo = 368, kClearInfo = 273;
constexpr int kConvert = 366, kHideDescribed = 308;
constexpr int kColNo = 0, kColWire = 1, kColConduit = 2, kColElev = 3, kColVertical = 4;
// The circuit information dialog.
constexpr int kWireName = 266, kWireNumber = 262, kWireCount = 264, kConduitName = 267, kConduitNumber = 263;
constexpr int kElevation = 265, kVertWireName = 277, kVertWireNumber = 269, kVertWireCount = 276;
constexpr int kVertConduitName = 278, kVertConduitNumber = 268, kSameAsHorizontal = 275, kEditOk = 240;
}  // namespace circuit_ids

class CPipeLineSel : public CComponentConv {
 public:
  CPipeLineSel();
  ~CPipeLineSel() override;

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnCancel() override;

  bool MatchRow(int, cad::ObjectId, const cad::ObjectIdArray*) override { return false; }
  void AddRow(cad::ObjectIdArray, const std::wstring&, const std::wstring&) override {}
  void BeginCellEdit(int, int) override {}
  void EndCellEdit(ui::NotifyHeader*, ui::LResult*) override {}
  void UpdateConvertButton() override {}

  void OnPickPipes();
  void OnPickCounts();
  void OnDeleteItem(bool pipes);
  void OnMeasure(bool merge);
  void OnModifyArea();
  void OnNextStep();

  // Appends an item to the wiring list (pipes) or the annotation list; the
  // dialog keeps its ids. Answers the item's index.
  int addItem(bool pipes, const std::wstring& label, cad::ObjectIdArray ids);
  // The id arrays of a list's items (empty items left out).
  std::vector<cad::ObjectIdArray> itemIds(bool pipes) const;
  void emptyLists();

  ui::ListBox pipeList, countList;
  std::vector<std::unique_ptr<cad::ObjectIdArray>> owned_;  // the items' ids
  double mergeDistance = 1500.0;
  double connectDistance = 50.0;

 private:
  cad::ObjectIdArray* item(const ui::ListBox& list, int i) const;
  void deleteItem(ui::ListBox& list, int i);
  bool listed(const ui::ListBox& list, cad::ObjectId id) const;
  // A pick is refused with its message when the entity lies on a component
  // layer, is already listed or lies outside the area.
  bool acceptPick(const ui::ListBox& list, cad::ObjectId picked, const std::wstring& layer,
                  const std::unordered_set<cad::ObjectId>& area) const;
  // The area's entities (last to first) of the layer and class that are
  // alike, highlighted.
  cad::ObjectIdArray groupOf(const std::wstring& layer, const std::wstring& cls,
                              const std::function<bool(const cad::Entity*)>& alike) const;
  void highlightItems(int flag) const;
};

class CPipeLineConv : public CComponentConv {
 public:
  CPipeLineConv();
  ~CPipeLineConv() override;

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  bool PreTranslateMessage(ui::Msg* msg) override;
  void OnCancel() override;

  bool MatchRow(int, cad::ObjectId, const cad::ObjectIdArray*) override { return false; }
  void AddRow(cad::ObjectIdArray, const std::wstring&, const std::wstring&) override {}
  void BeginCellEdit(int, int) override {}
  void EndCellEdit(ui::NotifyHeader*, ui::LResult*) override {}
  void UpdateConvertButton() override;

  void OnViewCircuit();
  void OnSetCircuitInfo();
  void OnEditCircuitInfo();
  void OnClearCircuitInfo();
  void OnPrevStep();
  void OnConvert();

  std::vector<int> selectedRows;
  StringArray rowClipboard;
};

class CPipeLineEdit : public ui::Dialog {
 public:
  CPipeLineEdit();
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  void OnConfirm();
  void OnSameAsHorizontal();
  // Refills the number combo of a name combo with the floor's numbers.
  void fillNumbers(int nameId, int numberId);

  std::wstring wireName, wireNumber, conduitName, conduitNumber;
  int wireCount = 2;
  double elevation = 0.0;
  std::wstring vertWireName, vertWireNumber, vertConduitName, vertConduitNumber;
  int vertWireCount = 2;
  int sameAsHorizontal = 0;
  ui::ComboBox wireNameCombo, wireNumberCombo, conduitNameCombo, conduitNumberCombo;
  ui::ComboBox vertWireNameCombo, vertWireNumberCombo, vertConduitNameCombo, vertConduitNumberCombo;
};

// Highlights the circuit under the cursor while circuits are picked and
// shows its cells as a tooltip.
class CLoopMonitor : public ed::InputPointMonitor {
 public:
  CLoopMonitor(const cad::ObjectIdArray& ids, bool attach);
  ~CLoopMonitor() override;
  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& appendToTooltip,
                        std::wstring& additionalTooltip) override;
  bool excludeFromOsnapCalculation(const std::vector<cad::ObjectId>&, int) override { return false; }
  const cad::ObjectIdArray& highlighted() const { return ids_; }

 private:
  bool attached_ = false;
  cad::ObjectIdArray ids_;
  std::wstring tooltip_;  // the last text handed out, kept until the next call
};
extern CLoopMonitor* g_loopMonitor;

// The rows made of traced circuits: box circuits first, each absorbing the
// circuits that touch its entities (and theirs in turn), then the rest.
// Empties g_tracedCircuits.
std::vector<cad::ObjectIdArray> BuildCircuitRows();
int FindTracedCircuit(const cad::ObjectIdArray* ids);

// A wire count annotation: its text and position.
struct CountLabel {
  std::wstring text;
  geom::Point3d position;
};
// The labels of the annotation entities: texts, visible attributes of
// blocks, and the texts inside blocks without visible attributes (read
// without adding anything to the drawing).
std::vector<CountLabel> CollectCountLabels(const cad::ObjectIdArray& ids);
// The text of the nearest label within 500 whose foot lies on start-end
// (z ignored); false when there is none.
bool FindWireCountText(const std::vector<CountLabel>& labels, std::wstring* text, const geom::Point3d& start,
                       const geom::Point3d& end);
// The wire count of an annotation text: its first run of digits as a
// positive number ("4", "n=4", "4根"); 0 when it holds none.
int ParseWireCount(const std::wstring& text);
