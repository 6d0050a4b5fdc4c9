#include "module/model/component_types.h"

#include "module/model/project_tables.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/vocabulary.h"

void PrepareGjCombos(const std::wstring& typeList, const std::wstring& defaultType) {
  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  const std::wstring current = winlib::CmbGetName(winlib::kComboName);

  StringArray types;
  SplitToArray(typeList, L",", types);
  for (const auto& t : types)
    if (t == current) return;

  StringArray category;
  ReadGjLibraryField(category, defaultType, kFieldCategory);
  if (category.empty()) return;

  winlib::CmbGjType(category.front());
  winlib::CmbGjName(defaultType);
  StringArray numbers;
  ReadFloorGjField(numbers, floor, defaultType, L"", kFieldNumber);
  winlib::CmbGjBh(numbers.empty() ? std::wstring() : numbers.front());
}

void ExpandGjCategories(const std::wstring& categoryList, StringArray& types) {
  types.clear();
  StringArray wanted;
  SplitString(categoryList, L",", wanted);
  for (const auto& piece : wanted) {
    for (size_t i = 0; i < g_gjCategories.size(); ++i) {
      if (g_gjCategories[i] != piece) continue;
      if (i < g_gjCategoryTypes.size()) {
        StringArray ofCategory;
        SplitString(g_gjCategoryTypes[i], L",", ofCategory);
        types.insert(types.end(), ofCategory.begin(), ofCategory.end());
      }
      break;
    }
  }
}

std::wstring GetGjLayersOfTypes(const std::wstring& typeList, const std::wstring& field) {
  StringArray types;
  SplitToArray(typeList, L",", types);
  StringArray collected;
  for (const auto& t : types) {
    StringArray lines;
    ReadGjLibraryField(lines, t, field);
    collected.insert(collected.end(), lines.begin(), lines.end());
  }
  std::wstring out;
  JoinArray(collected, L",", out);
  return out;
}
