// GPS_Adaption and NT_Adaption: every pipe accessory lying on a pipe takes
// the pipe's nominal size. An accessory whose size grade (构件规格) is not
// "DN" + the pipe's diameter gets the number of its base number followed by
// that size, and the floor's component table a row for that number (a copy
// of the old number's row with the new grade) unless it has one; the
// accessory types renumbered are rebuilt so their figures and labels follow.
#include <algorithm>
#include <cmath>
#include <cwctype>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "module/fittings/fittings_commands.h"
#include "module/fittings/fitting_common.h"
#include "module/layout/rebuild_gj.h"
#include "module/model/component_types.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"

namespace {

using geom::Point3d;

constexpr double kOnPipe = 10.0;
inline constexpr const wchar_t* kGradeKey = L"构件规格";
inline constexpr const wchar_t* kDiameterKey = L"公称管径D_0(mm)";

struct Adaption {
  const wchar_t* accessories;  // category
  const wchar_t* pipes;        // category
  const wchar_t* word;         // 构件分类 of the rows written
};

struct Accessory {
  cad::ObjectId id;
  std::wstring layer, number, grade;
  Point3d at;
  bool done = false;
};

std::wstring upper(std::wstring s) {
  for (wchar_t& c : s) c = wchar_t(std::towupper(c));
  return s;
}

// The number an accessory had before any adaption: a trailing "DN" and
// digits that an earlier run added are taken off (when something is left).
std::wstring baseNumber(const std::wstring& number) {
  std::size_t end = number.size();
  while (end > 0 && std::iswdigit(number[end - 1])) --end;
  if (end == number.size() || end < 3 || number.compare(end - 2, 2, L"DN") != 0) return number;
  return number.substr(0, end - 2);
}

std::wstring floorTablePath(const std::wstring& floor) {
  return g_projectRoot + L"\\" + g_projectName + L"\\" + floor + L".DB";
}

// Makes sure the floor's table has a row of newNumber under the type: a copy
// of the row of oldNumber (the last one of that number) with the
// grade given (the text after a ":" of the old one kept), placed after
// the type's rows. True when the row is there afterwards.
bool ensureRow(const std::wstring& floor, const std::wstring& type, const std::wstring& oldNumber,
               const std::wstring& newNumber, const std::wstring& grade, const wchar_t* category) {
  static const wchar_t* const kCopied[] = {L"定额", L"坐标", L"标注", L"三维坐标", L"图形宽", L"图形高"};
  tablelib::Table table(floorTablePath(floor));
  if (!table || !tablelib::Locate(table, L"构件名称", type)) return false;
  bool found = false;
  std::wstring params;
  std::map<std::wstring, std::wstring> copied;
  while (!tablelib::Eof(table) && tablelib::FieldAsString(table, L"构件名称") == type) {
    const std::wstring number = tablelib::FieldAsString(table, L"编号");
    if (number == newNumber) return true;
    if (number == oldNumber) {
      found = true;
      params = tablelib::FieldAsString(table, L"参数");
      for (const wchar_t* f : kCopied) copied[f] = tablelib::FieldAsString(table, f);
    }
    tablelib::Next(table);
  }
  if (!found) return false;
  StringArray lines;
  SplitLines(params, lines);
  const std::wstring old = GetAttrValue(lines, kGradeKey);
  const auto colon = old.find(L':');
  SetAttrValue(lines, kGradeKey, colon == std::wstring::npos ? grade : grade + old.substr(colon));
  JoinLines(lines, params);
  if (tablelib::Eof(table))
    tablelib::Append(table);
  else
    tablelib::Insert(table);
  tablelib::WriteAsString(table, L"构件分类", category);
  tablelib::WriteAsString(table, L"构件名称", type);
  tablelib::WriteAsString(table, L"编号", newNumber);
  tablelib::WriteAsString(table, L"参数", params);
  for (const auto& [field, value] : copied) tablelib::WriteAsString(table, field, value);
  tablelib::Post(table);
  return true;
}

void adapt(const Adaption& a) {
  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  FloorParams rows(floor);

  // The accessories with their grades.
  std::vector<Accessory> accessories;
  SegmentBoxIndex accessoryIndex;
  {
    cad::ObjectIdArray ids, primaries;
    CollectIdsByLayerAndNumber(CategoryTypeList(a.accessories), L"", ids, nullptr);
    FilterPrimaryGjIds(primaries, ids);
    for (cad::ObjectId id : primaries) {
      Accessory acc;
      StringArray attrs, own;
      if (!IsPointGj(id, acc.at)) continue;
      GetGjNumberAndAttrs(id, acc.number, attrs);
      if (acc.number.empty()) continue;
      acc.id = id;
      acc.layer = LayerOf(id);
      GetXdataLines(id, kXdataExternalGj, own);
      acc.grade = ParamValue(own, kGradeKey);
      if (acc.grade.empty())
        if (const StringArray* lines = rows.of(acc.layer, acc.number)) acc.grade = ParamValue(*lines, kGradeKey);
      accessoryIndex.add(acc.at, acc.at, accessories.size());
      accessories.push_back(std::move(acc));
    }
  }

  // What this run made of each (type, old number, size): the new number, or
  // empty when no row could be had.
  std::map<std::tuple<std::wstring, std::wstring, std::wstring>, std::wstring> memo;
  std::set<std::wstring> renumberedTypes;
  cad::ObjectIdArray pipes;
  {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(CategoryTypeList(a.pipes), L"", ids, nullptr);
    FilterPrimaryGjIds(pipes, ids);
  }
  for (cad::ObjectId pipe : pipes) {
    Point3d s, e;
    if (!GetGjEndPoints3d(pipe, s, e)) continue;
    std::wstring number;
    StringArray attrs, own;
    GetGjNumberAndAttrs(pipe, number, attrs);
    const std::wstring layer = LayerOf(pipe);
    const StringArray* row = number.empty() ? nullptr : rows.of(layer, number);
    if (!row) continue;
    GetXdataLines(pipe, kXdataExternalGj, own);
    std::wstring text = ParamValue(own, kDiameterKey);
    if (text.empty()) text = ParamValue(*row, kDiameterKey);
    if (text.empty()) {
      ed::print(L"\n%ls没有公称管径\n", number.c_str());
      continue;
    }
    const std::wstring size = L"DN" + FormatNumber(std::wcstod(text.c_str(), nullptr), 0);

    const double length = s.distanceTo(e);
    std::vector<std::size_t> near = accessoryIndex.query(s, e, DetourReach(length, kOnPipe));
    for (auto it = near.rbegin(); it != near.rend(); ++it) {
      Accessory& acc = accessories[*it];
      if (acc.done || std::abs(acc.at.distanceTo(e) + acc.at.distanceTo(s) - length) > kOnPipe) continue;
      acc.done = true;
      if (upper(acc.grade) == size) continue;
      const StringArray* accRow = rows.of(acc.layer, acc.number);
      if (accRow && ParamValue(*accRow, kGradeKey) == size) continue;
      const auto key = std::make_tuple(acc.layer, acc.number, size);
      auto made = memo.find(key);
      if (made == memo.end()) {
        const std::wstring newNumber = baseNumber(acc.number) + size;
        const bool ok = ensureRow(floor, acc.layer, acc.number, newNumber, size, a.word);
        if (!ok) ed::print(L"\n%ls在本层构件表中没有记录，未改编号\n", acc.number.c_str());
        made = memo.emplace(key, ok ? newNumber : std::wstring()).first;
      }
      if (made->second.empty() || made->second == acc.number) continue;
      ClearXdata(acc.id, kXdataNumber);
      SetXdataString(acc.id, kXdataNumber, made->second, nullptr);
      renumberedTypes.insert(acc.layer);
    }
  }
  for (const std::wstring& type : renumberedTypes) RebuildGjByType(type, L"", {});
}

}  // namespace

void CmdGPS_Adaption() { adapt({L"管道附件", L"管道", L"管道附件"}); }
void CmdNT_Adaption() { adapt({L"水暖附件", L"水管", L"水暖附件"}); }
