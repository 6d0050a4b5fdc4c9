#include "module/takeoff/quantity_table.h"

#include <algorithm>

#include "module/takeoff/takeoff_state.h"

namespace {

const std::wstring kEmpty;

// The fields of the open quantity table, read when it is bound.
StringArray g_quantityFields;

const StringArray& quantityFields() { return g_quantityFields; }

}  // namespace

void BindQuantityTable(tablelib::Handle h) {
  g_quantityTable = h;
  g_quantityFields.clear();
  int n = tablelib::FieldCount(h);
  for (int i = 0; i < n; ++i) g_quantityFields.push_back(tablelib::GetFieldName(h, i));
}

bool FloorGjTable::load(const std::wstring& path) {
  fields_.clear();
  index_.clear();
  rows_.clear();
  byKind_.clear();
  current = 0;
  tablelib::Table t(path);
  int n = tablelib::FieldCount(t);
  if (n <= 0) return false;
  for (int i = 0; i < n; ++i) {
    fields_.push_back(tablelib::GetFieldName(t, i));
    index_.emplace(fields_.back(), i);
  }
  int nameField = fieldIndex(L"构件名称"), numberField = fieldIndex(L"编号");
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    StringArray row;
    row.reserve(fields_.size());
    for (const std::wstring& f : fields_) row.push_back(tablelib::FieldAsString(t, f));
    if (nameField >= 0 && numberField >= 0 && !row[numberField].empty())
      byKind_[row[nameField]].push_back(static_cast<int>(rows_.size()));
    rows_.push_back(std::move(row));
  }
  return true;
}

int FloorGjTable::fieldIndex(const std::wstring& field) const {
  auto it = index_.find(field);
  return it == index_.end() ? -1 : it->second;
}

const std::wstring& FloorGjTable::value(int record, const std::wstring& field) const {
  int f = fieldIndex(field);
  if (f < 0 || record < 0 || record >= recordCount()) return kEmpty;
  return rows_[record][f];
}

const std::vector<int>& FloorGjTable::recordsOfKind(const std::wstring& kind) const {
  static const std::vector<int> none;
  auto it = byKind_.find(kind);
  return it == byKind_.end() ? none : it->second;
}

void FindFloorGjRecords(const std::wstring& names, StringArray& numbers, std::vector<int>& records) {
  numbers.clear();
  records.clear();
  if (!g_floorGjTable) return;
  StringArray list;
  SplitToArray(names, L",", list);
  std::vector<const std::vector<int>*> groups;
  for (const std::wstring& name : list) {
    bool repeated = false;
    for (size_t i = 0; i < groups.size() && !repeated; ++i) repeated = list[i] == name;
    groups.push_back(repeated ? nullptr : &g_floorGjTable->recordsOfKind(name));
  }
  // Table order over all the names.
  for (const auto* g : groups)
    if (g) records.insert(records.end(), g->begin(), g->end());
  if (groups.size() > 1) std::sort(records.begin(), records.end());
  for (int r : records) numbers.push_back(g_floorGjTable->value(r, L"编号"));
}

namespace {

void appendRow(const std::wstring& lines, int count) {
  tablelib::Append(g_quantityTable);
  if (g_floorGjTable) {
    for (const std::wstring& f : quantityFields()) {
      if (f == L"算式工程量" || g_floorGjTable->fieldIndex(f) < 0) continue;
      const std::wstring& v = g_floorGjTable->field(f);
      // A record must never read as a floor or region header.
      if (f == L"标志" && (v == L"楼层" || v == L"区域")) continue;
      tablelib::WriteAsString(g_quantityTable, f, v);
    }
  }
  tablelib::WriteAsString(g_quantityTable, L"数量", std::to_wstring(count));
  tablelib::WriteAsString(g_quantityTable, L"工程量", lines);
  tablelib::Post(g_quantityTable);
}

}  // namespace

void AppendQuantityRow(const StringArray& lines, int count) {
  // One block for the whole text: a row may hold thousands of lines, and
  // growing a large text step by step costs more than the lines themselves.
  size_t size = 0;
  for (const std::wstring& l : lines) size += l.size() + 2;
  std::wstring text;
  text.reserve(size);
  JoinLines(lines, text);
  appendRow(text, count);
}

void AppendQuantityRow(const QuantityLines& lines, int count) { appendRow(lines.text(), count); }

void AppendFloorHeaderRow(const std::wstring& floor, int count) {
  tablelib::Append(g_quantityTable);
  tablelib::WriteAsString(g_quantityTable, L"构件名称", L"■" + floor + L"=" + std::to_wstring(count));
  tablelib::WriteAsString(g_quantityTable, L"标志", L"楼层");
  tablelib::Post(g_quantityTable);
}

void AppendSeparatorRow() {
  tablelib::Append(g_quantityTable);
  tablelib::Post(g_quantityTable);
}
