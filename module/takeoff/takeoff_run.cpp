// The take-off run: the rule set, the rule tables, the component library and
// the floor list are read; each floor's components are sorted into per-kind
// lists and handed kind by kind to their calculators, which append the rows
// of 构件算量.DB; then the writers of the derived tables run.
//
// The new 构件算量.DB is built beside the project's tables in a work folder
// and put in place only when the floor loop ends without a cancel, so that an
// Escape at the progress window or a failure leaves the previous results whole.
#include <algorithm>
#include <cmath>
#include <cwchar>
#include <memory>

#include "module/model/project_tables.h"
#include "module/takeoff/circuit_rows.h"
#include "module/takeoff/circuit_tables.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/result_writers.h"
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

std::wstring readIni(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
  wchar_t buf[260] = {};
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_ReadIni_W", file.c_str(), section.c_str(), key.c_str(), buf);
  return buf;
}

bool unzip(const std::wstring& archive, const std::wstring& member, const std::wstring& folder) {
  return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, const wchar_t*)>::call(
             SuiteModule::Base, "Dll_UnZipFile_W", static_cast<unsigned char>(0), archive.c_str(), member.c_str(),
             folder.c_str()) != 0;
}

std::wstring ruleSetOfProject() {
  return readIni(ProjectFolderPath() + L"\\000.GC", L"工程档案", L"工程量规则");
}

void say(const std::wstring& text) { ed::printText(text); }

// A floor name is used as a file name and as a field of the run's floor list.
bool isUsableFloorName(const std::wstring& floor) {
  return !floor.empty() && floor != L"." && floor != L".." &&
         floor.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

void loadRuleTables(const std::wstring& ruleSet, StringArray& libNames) {
  g_ruleNormValues.clear();
  g_ruleBillValues.clear();
  {
    tablelib::Table t(ProjectRulePath(L".DB"));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      std::wstring attr = tablelib::FieldAsString(t, L"属性");
      g_ruleNormValues.push_back(attr + L"=" + tablelib::FieldAsString(t, L"定额值"));
      g_ruleBillValues.push_back(attr + L"=" + tablelib::FieldAsString(t, L"清单值"));
    }
  }
  g_libRuleItems.clear();
  libNames.clear();
  tablelib::Table lib(GjLibraryPath());
  for (tablelib::First(lib); !tablelib::Eof(lib); tablelib::Next(lib)) {
    std::wstring name = tablelib::FieldAsString(lib, L"构件名称");
    if (!ruleSet.empty()) AppendLibRuleItems(name, tablelib::FieldAsString(lib, ruleSet), g_libRuleItems);
    libNames.push_back(std::move(name));
  }
}

void loadFloorList(const std::wstring& currentFloor) {
  g_runFloorList.clear();
  tablelib::Table t(FloorTablePath());
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    std::wstring floor = tablelib::FieldAsString(t, L"楼层");
    if (g_totalMode != kTotalAll && floor != currentFloor) continue;
    if (!isUsableFloorName(floor)) {
      say(L"\n楼层名称[" + floor + L"]不能用作文件名，此楼层未计算。\n");
      continue;
    }
    std::wstring entry = floor;
    for (const wchar_t* f : {L"相同层", L"层高", L"砼强度等级", L"砌筑砂浆"}) {
      std::wstring v = tablelib::FieldAsString(t, f);
      ReplaceAll(v, L"||", L"|");
      entry += L"||" + v;
    }
    g_runFloorList.push_back(entry);
  }
}

// Puts the run's quantity table in place of the project's; the memo file
// follows when the template had one.
bool commitQuantityTable(const std::wstring& work, const std::wstring& project) {
  for (const wchar_t* ext : {L".DB", L".MB"}) {
    std::wstring from = work + L"\\" + kQuantityTable + ext, to = project + L"\\" + kQuantityTable + ext;
    if (!os::isFile(from)) {
      if (std::wstring(ext) == L".DB") return false;
      continue;
    }
    os::deleteFile(to + L"-journal");
    if (!os::renameFile(from, to, true)) return false;
  }
  return true;
}

// What one floor of the run holds while it is processed; the floor's table
// and per-kind lists are released however the floor ends.
struct FloorScope {
  std::unique_ptr<cad::Database> sideDb;
  FloorGjTable table;
  GjBuckets buckets;
  ~FloorScope() {
    g_floorGjTable = nullptr;
    g_gjBuckets = nullptr;
  }
};

// Processes floor i; false when the user cancelled.
bool runFloor(size_t i, const std::wstring& currentFloor, const std::wstring& currentName,
              const StringArray& libNames, std::vector<CircuitRow>& runCircuits) {
  StringArray f;
  SplitString(g_runFloorList[i], L"||", f);
  f.resize(5);
  const std::wstring floor = f[0];
  g_floorBaseElev = 0;
  g_runFloorName = g_workFloorName = floor;
  g_floorHeight = std::fabs(std::wcstod(f[2].c_str(), nullptr));
  g_runFloorCount = static_cast<int>(std::wcstol(f[1].c_str(), nullptr, 10));
  g_runConcreteGrade = f[3];
  g_runMortarGrade = f[4];
  StringArray doneKinds;

  const std::wstring tablePath = FloorGjTablePath(floor);
  if (!os::isFile(tablePath)) {
    say(L"\n[" + floor + L"]没有构件表，此楼层未计算。\n");
    return true;
  }
  FloorScope scope;
  if (floor != currentFloor) {
    const std::wstring dwg = ProjectFolderPath() + L"\\" + floor + L".DWG";
    if (!os::isFile(dwg)) {
      say(L"\n[" + floor + L"]没有楼层图形，此楼层未计算。\n");
      return true;
    }
    scope.sideDb = std::make_unique<cad::Database>(false);
    if (scope.sideDb->readDwgFile(os::nativePath(dwg)) != cad::Status::Ok) {
      say(L"\n[" + floor + L"]的楼层图形无法读取(" + os::fromUtf8(scope.sideDb->lastFileError()) +
          L")，此楼层未计算。\n");
      return true;
    }
  }
  if (!scope.table.load(tablePath)) {
    say(L"\n[" + floor + L"]的构件表无法读取，此楼层未计算。\n");
    return true;
  }
  if (g_runFloorCount < 1) {
    say(L"\n[" + floor + L"]的相同层数[" + f[1] + L"]无效，按1层计算。\n");
    g_runFloorCount = 1;
  }
  AppendFloorHeaderRow(floor, g_runFloorCount);
  g_floorGjTable = &scope.table;
  scope.buckets.database = scope.sideDb.get();
  g_gjBuckets = &scope.buckets;
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

bool runWriters() {
  if (!WriteGjParamTable() || !WriteNormQtyTable() || !AddChapterRows() || !WriteQtyTable()) return false;
  const std::wstring ruleSet = ruleSetOfProject();
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

void runCommand(int mode) {
  if (g_projectName.empty()) return;
  g_totalMode = mode;
  RunQuantityTakeoff();
}

}  // namespace

void RunQuantityTakeoff() {
  if (g_projectName.empty()) return;
  const std::wstring currentFloor = winlib::CmbGetName(winlib::kComboFloor);
  const std::wstring currentName = winlib::CmbGetName(winlib::kComboName);
  const std::wstring project = ProjectFolderPath();
  ForgetNormQtyRows();
  StringArray libNames;
  loadRuleTables(ruleSetOfProject(), libNames);
  loadFloorList(currentFloor);

  // A fresh quantity table from the template, in the work folder.
  const std::wstring work = project + L"\\" + kWorkFolder;
  os::removeDirectoryRecursive(work);
  os::createDirectories(work);
  const std::wstring archive = g_baseDir + L"\\GZK.ZIP";
  if (!unzip(archive, std::wstring(kQuantityTable) + L".DB", work)) {
    say(L"\n无法从" + archive + L"取出构件算量.DB的模板，工程量计算未进行。\n");
    os::removeDirectoryRecursive(work);
    return;
  }
  unzip(archive, std::wstring(kQuantityTable) + L".MB", work);
  BindQuantityTable(tablelib::OpenDb(work + L"\\" + kQuantityTable + L".DB"));

  progress(L"", 1, static_cast<int>(libNames.size() * g_runFloorList.size()), 1, 0);
  bool cancelled = false;
  std::vector<CircuitRow> runCircuits;
  for (size_t i = 0; i < g_runFloorList.size() && !cancelled; ++i)
    cancelled = !runFloor(i, currentFloor, currentName, libNames, runCircuits);
  tablelib::Close(g_quantityTable);
  g_quantityTable = 0;

  if (cancelled) {
    say(L"\n工程量计算已取消，原有的计算结果未改动。\n");
  } else if (!commitQuantityTable(work, project)) {
    say(L"\n无法写入" + project + L"\\构件算量.DB，原有的计算结果未改动。\n");
  } else if (runWriters()) {
    circuits::WriteCircuitTables(runCircuits);
  }
  os::removeDirectoryRecursive(work);
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
