#include "module/takeoff/run_floors.h"

#include <cmath>
#include <cwchar>

#include "module/model/project_tables.h"
#include "module/takeoff/calc_items.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

void say(const std::wstring& text) { ed::printText(text); }

// A floor name is used as a file name and as a field of the run's floor list.
bool isUsableFloorName(const std::wstring& floor) {
  return !floor.empty() && floor != L"." && floor != L".." &&
         floor.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

}  // namespace

std::wstring RunRuleSet() {
  wchar_t buf[260] = {};
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_ReadIni_W", (ProjectFolderPath() + L"\\000.GC").c_str(), L"工程档案", L"工程量规则",
      buf);
  return buf;
}

void LoadRunRules(const std::wstring& ruleSet, StringArray& libNames) {
  g_ruleNormValues.clear();
  g_ruleBillValues.clear();
  {
    tablelib::Table t(ProjectRulePath(L".DB"));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      const std::wstring attr = tablelib::FieldAsString(t, L"属性");
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

void LoadRunFloorList(const std::wstring& currentFloor) {
  g_runFloorList.clear();
  tablelib::Table t(FloorTablePath());
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    const std::wstring floor = tablelib::FieldAsString(t, L"楼层");
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

bool OpenRunFloor(size_t i, const std::wstring& currentFloor, RunFloorScope& scope, std::wstring& floor) {
  StringArray f;
  SplitString(g_runFloorList[i], L"||", f);
  f.resize(5);
  floor = f[0];
  g_floorBaseElev = 0;
  g_runFloorName = g_workFloorName = floor;
  g_floorHeight = std::fabs(std::wcstod(f[2].c_str(), nullptr));
  g_runFloorCount = static_cast<int>(std::wcstol(f[1].c_str(), nullptr, 10));
  g_runConcreteGrade = f[3];
  g_runMortarGrade = f[4];

  const std::wstring tablePath = FloorGjTablePath(floor);
  if (!os::isFile(tablePath)) {
    say(L"\n[" + floor + L"]没有构件表，此楼层未计算。\n");
    return false;
  }
  if (floor != currentFloor) {
    const std::wstring dwg = ProjectFolderPath() + L"\\" + floor + L".DWG";
    if (!os::isFile(dwg)) {
      say(L"\n[" + floor + L"]没有楼层图形，此楼层未计算。\n");
      return false;
    }
    scope.sideDb = std::make_unique<cad::Database>(false);
    if (scope.sideDb->readDwgFile(os::nativePath(dwg)) != cad::Status::Ok) {
      say(L"\n[" + floor + L"]的楼层图形无法读取(" + os::fromUtf8(scope.sideDb->lastFileError()) +
          L")，此楼层未计算。\n");
      return false;
    }
  }
  if (!scope.table.load(tablePath)) {
    say(L"\n[" + floor + L"]的构件表无法读取，此楼层未计算。\n");
    return false;
  }
  if (g_runFloorCount < 1) {
    say(L"\n[" + floor + L"]的相同层数[" + f[1] + L"]无效，按1层计算。\n");
    g_runFloorCount = 1;
  }
  AppendFloorHeaderRow(floor, g_runFloorCount);
  g_floorGjTable = &scope.table;
  scope.buckets.database = scope.sideDb.get();
  g_gjBuckets = &scope.buckets;
  return true;
}

bool CommitRunTable(const std::wstring& work, const std::wstring& project, const std::wstring& table) {
  for (const wchar_t* ext : {L".DB", L".MB"}) {
    const std::wstring from = work + L"\\" + table + ext, to = project + L"\\" + table + ext;
    if (!os::isFile(from)) {
      if (std::wstring(ext) == L".DB") return false;
      continue;
    }
    os::deleteFile(to + L"-journal");
    if (!os::renameFile(from, to, true)) return false;
  }
  return true;
}
