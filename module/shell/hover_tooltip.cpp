// The component hover tooltip (see hover_tooltip.h).
#include "module/shell/hover_tooltip.h"

#include <cwctype>

#include "module/model/component_types.h"
#include "module/model/picking.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/globals.h"
#include "module/shell/module.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/xdata.h"
#include "module/toolkit/vocabulary.h"
#include "platform/editor/document.h"
#include "platform/editor/selection.h"

TooltipInputPointFilter* g_hoverTipFilter = nullptr;

namespace {

// The tooltip leaves the filter slot to every point prompt with offset input
// and comes back after it.
[[maybe_unused]] const bool kHoverTipAroundPointPrompts = [] {
  g_pointPromptHooks = {&RemoveHoverTip, &InstallHoverTip};
  return true;
}();

constexpr const wchar_t* kBtnGjHint = L"BtnGjHint";
constexpr const wchar_t* kBtnZebHint = L"BtnZebHint";
// The base library writes at most this many characters of picked lines.
constexpr size_t kPickedChars = 20480;

std::wstring upper(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
  return s;
}

// Removes the first occurrence of word, found in the upper-cased text (word
// is upper-case), keeping the text's own case.
void eraseFirstWord(std::wstring& text, const std::wstring& word) {
  const size_t at = upper(text).find(word);
  if (at != std::wstring::npos) text.erase(at, word.size());
}

// The lines of a "\r\n" list whose name is one of the comma list names, by
// the base library; empty without it.
std::wstring pickNamedLines(const std::wstring& lines, const std::wstring& names) {
  std::wstring out(kPickedChars + 1, L'\0');
  SuiteCall<int(const wchar_t*, const wchar_t*, wchar_t*)>::call(SuiteModule::Base, "Dll_TStrsIndexOfNames_W", 0,
                                                                 lines.c_str(), names.c_str(), out.data());
  out.resize(std::wcslen(out.c_str()));
  return out;
}

std::wstring projectTable(const wchar_t* file) {
  return g_projectRoot + L"\\" + g_projectName + L"\\" + file;
}

// Splits at every sep with nothing trimmed.
StringArray splitAll(const std::wstring& text, const std::wstring& sep) {
  StringArray out;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(sep, from);
    if (at == std::wstring::npos) {
      out.push_back(text.substr(from));
      return out;
    }
    out.push_back(text.substr(from, at - from));
    from = at + sep.size();
  }
}

ed::InputPointManager* pointManager() {
  ed::Document* doc = ed::docManager().curDocument();
  return doc ? &doc->inputPointManager() : nullptr;
}

// Takes our filter out of the slot when it is there, closes the tooltip and
// deletes the filter.
void dropFilter() {
  if (ed::InputPointManager* m = pointManager())
    if (g_hoverTipFilter && m->currentPointFilter() == g_hoverTipFilter) m->revokePointFilter();
  winlib::Tooltip(winlib::kTipClose, nullptr);
  delete g_hoverTipFilter;
  g_hoverTipFilter = nullptr;
}

// The hint lines: number, parameters and the names of the special data.
StringArray gjHintLines(cad::ObjectId primary, const std::wstring& floor, const std::wstring& name,
                        const std::wstring& number) {
  StringArray params;
  ReadFloorGjParams(params, floor, name, number, kFieldParams);
  StringArray lines;
  GetXdataLines(primary, kXdataExternalGj, lines);
  if (lines.empty()) SplitLines(GetAttrValue(params, number), lines);
  StringArray special;
  GetXdataLines(primary, kXdataSpecial, special);
  for (const auto& s : special) {
    const size_t eq = s.find(L'=');
    lines.push_back(eq == std::wstring::npos ? s : s.substr(0, eq + 1));
  }
  StringArray out{L"编号=" + number};
  out.insert(out.end(), lines.begin(), lines.end());
  return out;
}

// The reinforcement lines of a reinforcement installation: the floor table's
// 钢筋参数 of the number, each value replaced by the entity's own "钢筋" item
// of that name when it has one; headings ("■") show their name alone.
StringArray rebarLines(cad::ObjectId primary, const std::wstring& floor, const std::wstring& name,
                       const std::wstring& number) {
  StringArray field;
  ReadFloorGjField(field, floor, name, number, L"钢筋参数");
  StringArray own;
  GetXdataLines(primary, L"钢筋", own);
  StringArray rows;
  SplitLines(GetAttrValue(field, number), rows);
  StringArray out;
  for (const auto& row : rows) {
    const size_t eq = row.find(L'=');
    const std::wstring itemName = eq == std::wstring::npos ? row : row.substr(0, eq);
    std::wstring value = eq == std::wstring::npos ? std::wstring() : row.substr(eq + 1);
    for (const auto& o : own) {
      const size_t oe = o.find(L'=');
      if (oe != std::wstring::npos && o.compare(0, oe, itemName) == 0) {
        value = o.substr(oe + 1);
        break;
      }
    }
    if (itemName.find(L'■') != std::wstring::npos)
      out.push_back(itemName);
    else
      out.push_back(itemName + L"=" + value);
  }
  if (!out.empty()) TrimAttrValuesAtColon(out);
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text pieces
// ---------------------------------------------------------------------------

std::wstring HoverGjNameOfLayer(const std::wstring& layer, const StringArray& attrs) {
  const std::wstring up = upper(layer);
  if (up.find(L"轴网") != std::wstring::npos) return L"";
  std::wstring name = up.find(k3dLayerMark) != std::wstring::npos ? GetAttrValue(attrs, k3dNameAttribute) : layer;
  eraseFirstWord(name, kLabelLayerSuffix);
  eraseFirstWord(name, k3dLayerSuffix);
  eraseFirstWord(name, kEdgeLayerSuffix);
  return name;
}

StringArray HoverQuantityLines(const std::wstring& pickedText) {
  StringArray lines, out;
  SplitLines(pickedText, lines);
  for (const auto& line : lines) {
    const StringArray p = splitAll(line, L"=");
    if (p.size() < 8) continue;
    out.push_back(p[2] + L":" + p[3] + L"=" + p[5] + L"=" + p[6] + L"=" + p[7]);
  }
  return out;
}

StringArray ReadHoverQuantities(const std::wstring& floor, const std::wstring& name, const std::wstring& number,
                                const std::wstring& handle) {
  // The number of identical floors of the floor (0 when it has no row).
  int identical = 0;
  {
    tablelib::Table floors(projectTable(L"007.DB"));
    if (floors && tablelib::Locate(floors, L"楼层", floor))
      identical = static_cast<int>(std::wcstol(tablelib::FieldAsString(floors, L"相同层").c_str(), nullptr, 10));
  }
  tablelib::Table table(projectTable(L"构件算量.DB"));
  if (!table) return {};
  const std::wstring marker = L"■" + floor + L"=" + std::to_wstring(identical);
  if (!tablelib::Locate(table, kFieldName, marker)) return {};
  // The floor's rows run up to the next floor's marker: a component that is
  // not on this floor must not show another floor's quantities.
  bool found = false;
  for (tablelib::Next(table); !tablelib::Eof(table); tablelib::Next(table)) {
    const std::wstring rowName = tablelib::FieldAsString(table, kFieldName);
    if (!rowName.empty() && rowName.front() == L'■') break;
    if (rowName == name && tablelib::FieldAsString(table, kFieldNumber) == number) {
      found = true;
      break;
    }
  }
  if (!found) return {};
  const std::wstring quantities = tablelib::FieldAsString(table, L"工程量");
  std::wstring picked = pickNamedLines(quantities, handle);
  // A line "handle=[a,b]" names the lines that hold the quantities.
  if (picked.find(L"=[") != std::wstring::npos) {
    std::wstring names = TrimWhiteRight(picked);
    names = names.substr(names.find(L"=[") + 2);
    const size_t close = names.find(L']');
    if (close != std::wstring::npos) names.erase(close);
    picked = pickNamedLines(quantities, names);
  }
  return HoverQuantityLines(picked);
}

// ---------------------------------------------------------------------------
// The filter
// ---------------------------------------------------------------------------

int TooltipInputPointFilter::processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint,
                                               geom::Point3d&, bool&, std::wstring&) {
  changedPoint = false;
  if (ctx.pointComputed) ShowHoverTip(ctx.apertureEntities);
  return 0;
}

void TooltipInputPointFilter::ShowHoverTip(const std::vector<cad::ObjectId>& apertureIds) {
  ed::ssSetFirst(0);
  if (apertureIds.empty()) {
    winlib::Tooltip(winlib::kTipBlank, nullptr);
    return;
  }

  cad::ObjectId primary;
  cad::ObjectIdArray gjIds;
  for (cad::ObjectId id : apertureIds) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (number.empty() || attrs.empty()) continue;
    std::wstring layer;
    GetEntityLayer(id, layer);
    const std::wstring name = HoverGjNameOfLayer(layer, attrs);
    if (name.empty()) continue;
    std::wstring layers = GetGjLayersOfTypes(name, L"图层");
    if (layers.empty()) continue;
    layers += L",Layer3d";
    cad::ObjectIdArray candidates, same, primaries;
    CollectIdsByLayerAndNumber(layers, L"", candidates, nullptr);
    CollectSameGjIdsOf(candidates, id, same);
    FilterPrimaryGjIds(primaries, same);
    if (primaries.empty()) continue;
    primary = primaries.front();
    gjIds = std::move(same);
    break;
  }
  if (primary.isNull()) return;

  // Every entity of the component shows as selected.
  ed::SelSet ss = 0;
  IdsToSS(gjIds, ss);
  ed::ssSetFirst(ss);
  ed::ssFree(ss);

  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(primary, number, attrs);
  std::wstring name;
  GetEntityLayer(primary, name);

  StringArray lines;
  if (winlib::TBarBtnStatus(kBtnGjHint) != 0) lines = gjHintLines(primary, floor, name, number);
  if (g_baseDir.find(L"钢筋") != std::wstring::npos) {
    StringArray rebar = rebarLines(primary, floor, name, number);
    lines.insert(lines.end(), rebar.begin(), rebar.end());
  }
  StringArray quantities;
  if (winlib::TBarBtnStatus(kBtnZebHint) != 0 && !attrs.empty())
    quantities = ReadHoverQuantities(floor, name, number, attrs.front());
  if (!lines.empty() && !quantities.empty()) lines.push_back(std::wstring(quantities.front().size(), L'-'));
  lines.insert(lines.end(), quantities.begin(), quantities.end());

  std::wstring text;
  JoinLines(lines, text);
  text = TrimWhiteRight(text);
  if (!text.empty()) winlib::Tooltip(winlib::kTipShow, text.c_str());
}

// ---------------------------------------------------------------------------
// Installing and removing
// ---------------------------------------------------------------------------

void InstallHoverTip() {
  if (g_projectName.empty()) return;
  if (winlib::TBarBtnStatus(kBtnGjHint) == 0 && winlib::TBarBtnStatus(kBtnZebHint) == 0) return;
  ed::InputPointManager* m = pointManager();
  if (!m || m->currentPointFilter()) return;
  dropFilter();
  static bool hooked = false;
  if (!hooked) {
    // The filter calls into the suite's libraries: it goes before they do.
    hooked = true;
    AddUnloadHook([] {
      dropFilter();
      hooked = false;
    });
  }
  g_hoverTipFilter = new TooltipInputPointFilter;
  winlib::Tooltip(winlib::kTipCreate, nullptr);
  m->registerPointFilter(g_hoverTipFilter);
}

void RemoveHoverTip() {
  if (g_projectName.empty()) return;
  dropFilter();
}
