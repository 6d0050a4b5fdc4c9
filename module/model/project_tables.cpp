#include "module/model/project_tables.h"

#include <cmath>
#include <cwchar>
#include <cwctype>

#include "module/toolkit/window_lib.h"
#include "module/toolkit/vocabulary.h"

double g_floorHeight = 0.0;
double g_floorBaseElev = 0.0;

namespace {

constexpr const wchar_t* kHeaderMark = L"◆";

// A decimal number at the start of the text (blanks first); 0 when none.
double readNumber(const std::wstring& text) {
  const wchar_t* begin = text.c_str();
  wchar_t* end = nullptr;
  double v = std::wcstod(begin, &end);
  if (end == begin || !std::isfinite(v)) return 0.0;
  return v;
}

// Walks the rows of one component name in an open component table and calls
// visit(number) for each row that passes the number filter. visit answers
// whether the row counted as the row of the given number (the walk then
// stops for that name).
template <class Visit>
void walkRowsOfName(tablelib::Handle h, const std::wstring& name, const std::wstring& number,
                    Visit visit) {
  tablelib::First(h);
  if (!tablelib::Locate(h, kFieldName, name)) return;
  while (!tablelib::Eof(h)) {
    if (tablelib::FieldAsString(h, kFieldName) != name) return;
    std::wstring rowNumber = tablelib::FieldAsString(h, kFieldNumber);
    if (!number.empty() && rowNumber != number) {
      tablelib::Next(h);
      continue;
    }
    if (visit(rowNumber) && !number.empty()) return;
    tablelib::Next(h);
  }
}

std::wstring trimLeft(const std::wstring& s) {
  size_t i = 0;
  while (i < s.size() && std::iswspace(s[i])) ++i;
  return s.substr(i);
}

// Whether a 名称 text (already trimmed at its start) is a section header.
bool isHeader(const std::wstring& text) { return text.find(kHeaderMark) != std::wstring::npos; }

// Whether a header text names the section: "◆" then the name, white space
// around the name ignored.
bool headerNames(const std::wstring& text, const std::wstring& section) {
  const std::wstring mark = kHeaderMark;
  std::wstring t = TrimWhite(text);
  if (t.compare(0, mark.size(), mark) != 0) return false;
  return TrimWhite(t.substr(mark.size())) == TrimWhite(section);
}

}  // namespace

void LoadFloorLevels(const std::wstring& floor, double& height, double& baseElev) {
  height = 0.0;
  baseElev = 0.0;
  tablelib::Table t(FloorTablePath());
  if (t.handle() <= 0) return;
  if (!tablelib::Locate(t, L"楼层", floor)) return;
  height = std::fabs(readNumber(tablelib::FieldAsString(t, L"层高")));
  // The base elevation keeps its sign: a basement starts below zero.
  baseElev = readNumber(tablelib::FieldAsString(t, L"标高"));
}

void LoadCurFloorLevels() {
  LoadFloorLevels(winlib::CmbGetName(winlib::kComboFloor), g_floorHeight, g_floorBaseElev);
}

void ReadFloorGjParams(StringArray& out, const std::wstring& floor, const std::wstring& names,
                       const std::wstring& number, const std::wstring& fields) {
  out.clear();
  tablelib::Table t(FloorGjTablePath(floor));
  if (t.handle() <= 0) return;
  StringArray fieldList, nameList;
  SplitString(fields, L",", fieldList);
  SplitString(names, L",", nameList);
  for (const auto& name : nameList) {
    walkRowsOfName(t, name, number, [&](const std::wstring& rowNumber) {
      StringArray lines;
      for (const auto& f : fieldList) {
        StringArray part;
        SplitLines(TrimWhiteRight(tablelib::FieldAsString(t, f)), part);
        lines.insert(lines.end(), part.begin(), part.end());
      }
      TrimAttrValuesAtColon(lines);
      std::wstring joined;
      JoinLines(lines, joined);
      out.push_back(rowNumber + L"=" + joined);
      return true;
    });
  }
}

void ReadFloorGjField(StringArray& out, const std::wstring& floor, const std::wstring& names,
                      const std::wstring& number, const std::wstring& field) {
  out.clear();
  tablelib::Table t(FloorGjTablePath(floor));
  if (t.handle() <= 0) return;
  if (!tablelib::FindField(t, field)) return;
  StringArray nameList;
  SplitString(names, L",", nameList);
  for (const auto& name : nameList) {
    walkRowsOfName(t, name, number, [&](const std::wstring& rowNumber) {
      std::wstring value = tablelib::FieldAsString(t, field);
      // An empty value adds nothing and the walk goes on.
      if (value.empty()) return false;
      out.push_back(value == rowNumber ? value : rowNumber + L"=" + value);
      return true;
    });
  }
}

void ReadGjLibraryField(StringArray& out, const std::wstring& names, const std::wstring& field) {
  out.clear();
  StringArray nameList;
  SplitString(names, L",", nameList);
  tablelib::Table t(GjLibraryPath());
  if (t.handle() <= 0) return;
  for (const auto& name : nameList) {
    tablelib::First(t);
    if (!tablelib::Locate(t, kFieldName, name)) continue;
    StringArray lines;
    SplitLines(tablelib::FieldAsString(t, field), lines);
    out.insert(out.end(), lines.begin(), lines.end());
  }
}

bool LocateRuleItem(tablelib::Handle h, const std::wstring& section, const std::wstring& item) {
  if (h <= 0) return false;
  const std::wstring field = L"名称";
  tablelib::First(h);
  if (!tablelib::Locate(h, field, kHeaderMark + section)) {
    // The header may carry white space around the name. Only when no header
    // names the section itself does the first header that contains its name
    // ("其它风管" for "风管") stand for it.
    auto findHeader = [&](auto&& matches) {
      tablelib::First(h);
      while (!tablelib::Eof(h)) {
        const std::wstring text = trimLeft(tablelib::FieldAsString(h, field));
        if (matches(text)) return true;
        tablelib::Next(h);
      }
      return false;
    };
    const bool found =
        findHeader([&](const std::wstring& text) { return headerNames(text, section); }) ||
        findHeader([&](const std::wstring& text) {
          return isHeader(text) && text.find(section) != std::wstring::npos;
        });
    if (!found) {
      tablelib::First(h);
      return false;
    }
  }
  tablelib::Next(h);
  while (!tablelib::Eof(h)) {
    std::wstring text = trimLeft(tablelib::FieldAsString(h, field));
    if (isHeader(text)) return false;
    if (text == item) return true;
    tablelib::Next(h);
  }
  return false;
}

void TrimAttrValuesAtColon(StringArray& items) {
  for (auto& item : items) {
    std::wstring name, value;
    SplitHeadTail(item, L"=", name, value);
    if (item.find(L'=') == std::wstring::npos) continue;
    size_t colon = value.find(L':');
    if (colon == std::wstring::npos) continue;
    item = name + L"=" + value.substr(0, colon);
  }
}
