#include "module/model/current_gj.h"

#include "module/toolkit/layers.h"

#include <cwchar>
#include <cwctype>

#include "module/model/params.h"
#include "module/model/project_tables.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/vocabulary.h"

CurrentGj g_curLineGj;
CurrentGj g_curPointGj;

namespace {

// A colour line's value as a decimal integer; a missing line or a text that
// is no number reads 0.
std::uint32_t colourValue(const StringArray& lines, const std::wstring& key) {
  std::wstring v = GetAttrValue(lines, key);
  const wchar_t* begin = v.c_str();
  wchar_t* end = nullptr;
  long long n = std::wcstoll(begin, &end, 10);
  if (end == begin) return 0;
  return static_cast<std::uint32_t>(n);
}

// Reads every field but the number of the named component on a floor.
void loadDefinition(CurrentGj& gj, const std::wstring& floor) {
  ReadFloorGjParams(gj.params, floor, gj.name, L"", kFieldParams);
  ReadFloorGjField(gj.coordFormulas, floor, gj.name, L"", L"坐标");
  ComputeGjCoords(gj.coordFormulas, gj.params, gj.coords, 0.0);
  StringArray colours;
  ReadGjLibraryField(colours, gj.name, kFieldColour);
  gj.colour = colourValue(colours, gj.name);
  gj.labelColour = colourValue(colours, gj.name + kLabelLayerSuffix);
}

bool loadCurrent(CurrentGj& gj) {
  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  gj.name = winlib::CmbGetName(winlib::kComboName);
  gj.number = winlib::CmbGetName(winlib::kComboNumber);
  loadDefinition(gj, floor);
  if (gj.number.empty()) {
    // Another module of the suite lets the user choose a number.
    SendCommandToAcad(L"GjType\n");
    return false;
  }
  return true;
}

void loadByName(CurrentGj& gj, const std::wstring& name, const std::wstring& floor, bool force) {
  if (name == gj.name && !force) return;
  gj.name = name;
  loadDefinition(gj, floor.empty() ? winlib::CmbGetName(winlib::kComboFloor) : floor);
}

StringArray linesOf(const StringArray& items, const std::wstring& number) {
  StringArray lines;
  SplitLines(GetAttrValue(items, number), lines);
  return lines;
}

}  // namespace

bool LoadCurGjDefine() { return loadCurrent(g_curLineGj); }
bool LoadCurPointGj() { return loadCurrent(g_curPointGj); }

void LoadGjDefineByName(const std::wstring& name, bool force) { loadByName(g_curLineGj, name, L"", force); }

void LoadPointGjByName(const std::wstring& name, const std::wstring& floor, bool force) {
  loadByName(g_curPointGj, name, floor, force);
}

StringArray GetGjParamLines(const CurrentGj& gj, const std::wstring& number) { return linesOf(gj.params, number); }
StringArray GetGjCoordLines(const CurrentGj& gj, const std::wstring& number) { return linesOf(gj.coords, number); }

void PrepareGjLayers(const std::wstring& name, const CurrentGj& def, cad::Database* db) {
  GetOrCreateLayer(name, db);
  SetLayerColorRGB(name, def.colour, db);
  GetOrCreateLayer(name + kLabelLayerSuffix, db);
  SetLayerColorRGB(name + kLabelLayerSuffix, def.labelColour, db);
  GetOrCreateLayer(name + kEdgeLayerSuffix, db);
  SetLayerColorRGB(name + kEdgeLayerSuffix, def.colour, db);
}
