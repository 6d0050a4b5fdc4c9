// The take-off run: the rule set, the rule tables, the component library and
// the floor list are read; each floor's components are sorted into per-kind
// lists and handed kind by kind to their calculators, which append the rows
// of 构件算量.DB; then the writers of the derived tables run.
//
// Every result table of a run is built in the run's work folder and the set is
// put in place only when the floor loop and every writer ended without a
// cancel or a failure (result_set.h), so that an Escape at the progress
// window or a failure leaves the previous results whole; the command line
// says what happened and the command counts as failed.
#include <algorithm>
#include <cmath>
#include <cwchar>
#include <functional>
#include <memory>

#include "module/model/project_tables.h"
#include "module/takeoff/background_work.h"
#include "module/takeoff/circuit_rows.h"
#include "module/takeoff/circuit_tables.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/qty_rows_cache.h"
#include "module/takeoff/result_set.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/result_writers.h"
#include "module/takeoff/run_floors.h"
#include "module/takeoff/takeoff_commands.h"
#include "module/takeoff/takeoff_state.h"
#include "module/takeoff/calc_items.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/solid_mode.h"
#include "module/toolkit/window_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/hostcmd.h"
#include "platform/os/os.h"

int g_totalMode = kTotalAll;
StringArray g_runFloorList;
StringArray g_ruleNormValues;
StringArray g_ruleBillValues;
StringArray g_libRuleItems;
std::wstring g_runFloorName;
std::wstring g_workFloorName;
int g_runFloorCount = 0;
std::wstring g_runConcreteGrade;
std::wstring g_runMortarGrade;
tablelib::Handle g_quantityTable = 0;
FloorGjTable* g_floorGjTable = nullptr;
GjBuckets* g_gjBuckets = nullptr;
std::wstring g_total3dFilter;

namespace {

const wchar_t* const kCaption = L"工程量计算";
const wchar_t* const kQuantityTable = L"构件算量";
// The work folder of a run inside the project folder.
const wchar_t* const kWorkFolder = L"~takeoff";

bool progress(const std::wstring& message, int a, int b, int c, int op) {
  return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, int, int, int, int)>::call(
             SuiteModule::Base, "Dll_ProgressWin_W", static_cast<unsigned char>(1), kCaption, message.c_str(), a,
             b, c, op) != 0;
}

// Processes floor i; false when the user cancelled or the floor failed.
bool runFloor(size_t i, const std::wstring& currentFloor, const std::wstring& currentName,
              const StringArray& libNames, std::vector<CircuitRow>& runCircuits) {
  RunFloorScope scope;
  std::wstring floor;
  const FloorOpen opened = OpenRunFloor(i, currentFloor, scope, floor);
  if (opened != FloorOpen::Opened) return opened == FloorOpen::Skipped;
  StringArray doneKinds;
  if (!progress(L"正在初始化构件....", 1, 1, 0, 2)) return false;
  SortFloorGjIntoBuckets(scope.buckets);

  const int libCount = static_cast<int>(libNames.size());
  for (int k = 0; k < libCount; ++k) {
    const std::wstring& name = libNames[k];
    if (!progress(L"[" + floor + L"] " + name, 1, 1, libCount * static_cast<int>(i) + k + 1, 2)) return false;
    if ((g_totalMode == kTotalCurGj || g_totalMode == kTotal3d) && name != currentName) continue;
    if (std::find(doneKinds.begin(), doneKinds.end(), name) != doneKinds.end()) continue;
    DispatchKindCalculator(name, doneKinds, scope.sideDb.get());
  }
  std::vector<CircuitRow> floorCircuits;
  circuits::BuildFloorCircuitRows(floor, floorCircuits);
  runCircuits.insert(runCircuits.end(), floorCircuits.begin(), floorCircuits.end());
  ClearGjBuckets(scope.buckets);
  AddSundryWorks(floor);
  AppendSeparatorRow();
  return true;
}

void runCommand(int mode) {
  if (g_projectName.empty()) return;
  g_totalMode = mode;
  RunQuantityTakeoff();
}

// The floor detail tables and the method summaries of the run's rule set.
bool writeFloorTables() {
  const std::wstring ruleSet = RunRuleSet();
  StringArray kinds;
  if (ruleSet == L"纯清单")
    kinds = {L"项"};
  else if (ruleSet == L"清单")
    kinds = {L"项", L"定额"};
  else
    kinds = {L"定额"};
  for (const std::wstring& k : kinds) {
    if (!WriteFloorDetailTable(k)) return false;
    for (int d = 1; d <= 4; ++d)
      if (!WriteDisciplineFloorDetailTable(k, d)) return false;
    if (!WriteMethodSummary(k)) return false;
    for (int d = 1; d <= 4; ++d)
      if (!WriteDisciplineMethodSummary(k, d)) return false;
  }
  return true;
}

// Writes a table on a worker thread: write() gives the message to show when
// the table cannot be written (empty when it was). What it reads stays as it
// is until finish() (or the destructor) has waited for it.
class TableWorker {
 public:
  explicit TableWorker(std::function<std::wstring()> write)
      : work_([this, write = std::move(write)] { failure_ = write(); }) {}
  void finish() {
    work_.wait();
    if (!failure_.empty()) NoteRunFailure(failure_);
  }

 private:
  std::wstring failure_;
  BackgroundWork work_;
};

}  // namespace

bool RunResultWriters(const std::function<void()>& alongside) {
  // The writers share one reading of 构件算量.DB.
  WriterRunScope sharedRows;
  // 构件参数.DB is written on a worker thread while the norm writer works
  // here: each reads fields of the component rows that the other leaves alone.
  if (!TakeoffProgress(L"正在写入工程量参数表...")) return false;
  std::vector<QuantityRow> unused;
  const std::vector<QuantityRow>& rows = QuantityRowsForWriter(unused);
  TableWorker paramTable([&rows, taken = TakenComponentName()] { return WriteGjParamTableOf(rows, taken); });
  if (!WriteNormQtyTable()) return false;
  paramTable.finish();
  // With the chapter rows in place, 工程量表.DB is written from the rows on a
  // worker thread while 001.DB and the floor and summary tables are written here.
  const ChapterRows chapters = PlaceChapterRows();
  if (!TakeoffProgress(L"正在写入工程量计算表...")) return false;
  TableWorker qtyTable([] { return WriteQtyTableOf(*NormQtyRowsOfRun()); });
  WriteChapterRows(chapters);
  // The component rows and 构件算量.DB have their computation lines from here on.
  WaitForRowWork();
  const bool done = writeFloorTables();
  if (done && alongside) alongside();
  qtyTable.finish();
  SettleChapterRows();
  return done;
}

void RunQuantityTakeoff() {
  if (g_projectName.empty()) return;
  const std::wstring currentFloor = winlib::CmbGetName(winlib::kComboFloor);
  const std::wstring currentName = winlib::CmbGetName(winlib::kComboName);
  ForgetNormQtyRows();
  BeginRunChecks();
  // A fresh quantity table from the template, in the work folder, where
  // every table of the run is built.
  RunResultSet set(kWorkFolder);
  StringArray libNames;
  std::wstring failure;
  if (!set.ready(failure))
    NoteRunFailure(failure);
  else if (LoadRunRules(RunRuleSet(), libNames) && LoadRunFloorList(currentFloor) &&
           !UnzipTemplate(kQuantityTable, set.folder()))
    NoteRunFailure(TemplateMissingText(kQuantityTable));
  if (RunFailed()) {
    EndRun(L"工程量计算");
    return;
  }
  BindQuantityTable(tablelib::OpenDb(set.folder() + L"\\" + kQuantityTable + L".DB"));

  progress(L"", 1, static_cast<int>(libNames.size() * g_runFloorList.size()), 1, 0);
  bool stopped = false;
  std::vector<CircuitRow> runCircuits;
  {
    RunDrawingReader reader;
    for (size_t i = 0; i < g_runFloorList.size() && !stopped; ++i)
      stopped = !runFloor(i, currentFloor, currentName, libNames, runCircuits);
  }
  if (stopped && !RunFailed()) NoteRunCancel();
  tablelib::Close(g_quantityTable);
  g_quantityTable = 0;
  CheckRunWrites();

  if (!RunCancelled() && !RunFailed()) RunResultWriters([&] { circuits::WriteCircuitTables(runCircuits); });
  CheckRunWrites();
  if (!RunCancelled() && !RunFailed() && !set.commit(failure)) NoteRunFailure(failure);
  EndRun(L"工程量计算");
  progress(L"", 1, 1, 1, 4);
}

void CmdZebTotalAll() { runCommand(kTotalAll); }
void CmdZebTotalCur() { runCommand(kTotalCurFloor); }
void CmdZebTotalGj() { runCommand(kTotalCurGj); }

void CmdZebTotal3d() {
  if (g_projectName.empty()) return;
  g_totalMode = kTotal3d;
  g_solidMode = SolidMode::BackToPlan;
  using TotalShow = unsigned char(int, const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*);
  auto show = [](int op, const wchar_t* a, const wchar_t* b, const wchar_t* c, wchar_t* d) {
    return SuiteCall<TotalShow>::call(SuiteModule::Window, "WinDll_TotalShow_W", static_cast<unsigned char>(0), op,
                                      a, b, c, d) != 0;
  };
  if (!show(3, nullptr, nullptr, nullptr, nullptr)) {
    const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
    const std::wstring name = winlib::CmbGetName(winlib::kComboName);
    const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
    show(1, floor.c_str(), name.c_str(), number.c_str(), nullptr);
    ed::command({L"Vpoint", L"1,-1,1"});
    ed::command({L"ShadeMode", L"F"});
    return;
  }
  StringArray layers{L"Layer3d"}, all;
  GetLayerNames(all, nullptr);
  for (const std::wstring& l : all)
    if (l.find(L"3D") != std::wstring::npos) layers.push_back(l);
  std::wstring list;
  JoinArray(layers, L",", list);
  EraseLayerEntities(list);
  wchar_t filter[101] = {};
  show(1001, nullptr, nullptr, nullptr, filter);
  g_total3dFilter = filter;
  RunQuantityTakeoff();
  wchar_t result[1] = {L'\0'};
  show(2, nullptr, nullptr, nullptr, result);
}
