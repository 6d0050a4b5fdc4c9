#include "module/takeoff/calc_items.h"

#include <vector>

#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/suite_call.h"

namespace {

// The base library's in-memory INI readers write at most as much as the INI
// text holds, so a buffer of its length is always enough.
std::wstring iniSections(const std::wstring& ini) {
  std::vector<wchar_t> buf(ini.size() + 1, L'\0');
  SuiteCall<void(const wchar_t*, wchar_t*)>::call(SuiteModule::Base, "Dll_MemIniReadSec_W", ini.c_str(),
                                                   buf.data());
  return buf.data();
}

std::wstring iniString(const std::wstring& ini, const std::wstring& section, const std::wstring& key) {
  std::vector<wchar_t> buf(ini.size() + 1, L'\0');
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_MemIniReadString_W", ini.c_str(), section.c_str(), key.c_str(), buf.data());
  return buf.data();
}

}  // namespace

void AppendLibRuleItems(const std::wstring& kind, const std::wstring& ruleText, StringArray& out) {
  StringArray lines;
  SplitLines(ruleText, lines);
  for (const std::wstring& raw : lines) {
    std::wstring line = TrimWhite(raw);
    if (line.empty()) continue;
    StringArray f;
    SplitToArray(line, L"=", f);
    if (f.size() <= 5) continue;
    out.push_back(kind + L":" + f[0] + L":" + f[1] + L":" + f[2] + L"=" + f[5]);
  }
}

void BuildCalcItemsFrom(const std::wstring& kind, const std::wstring& normText, const StringArray& libItems,
                        StringArray& items) {
  items.clear();
  if (normText.empty()) return;
  StringArray sections;
  SplitLines(iniSections(normText), sections);
  for (const std::wstring& s : sections) {
    if (s.empty()) continue;
    std::wstring flag = iniString(normText, s, L"标志");
    if (flag.empty()) flag = L"定额";
    std::wstring type = iniString(normText, s, L"类型");
    std::wstring formula = iniString(normText, s, L"公式");
    std::wstring key = kind + L":" + flag + L":" + type + L":";
    for (const std::wstring& item : libItems) {
      if (item.compare(0, key.size(), key) != 0) continue;
      size_t eq = item.find(L'=');
      if (eq == std::wstring::npos) continue;
      StringArray f;
      SplitToArray(item.substr(0, eq), L":", f);
      if (f.size() <= 3 || f[2] != type) continue;
      if (formula.empty())
        items.push_back(s + item.substr(item.find(L':')));
      else
        items.push_back(s + L":" + flag + L":" + type + L":" + f[3] + L"=" + formula);
      break;
    }
  }
}

void BuildCalcItems(const std::wstring& kind, StringArray& items) {
  items.clear();
  if (!g_floorGjTable) return;
  BuildCalcItemsFrom(kind, g_floorGjTable->field(L"定额"), g_libRuleItems, items);
}
