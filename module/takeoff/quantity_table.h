// The component quantity table 构件算量.DB and the floor's component table as
// the calculators see them.
//
// 构件算量.DB holds per floor a header row (构件名称 "■floor=count", 标志
// "楼层"), one row per computed component record (a copy of the record, 数量 =
// the entities measured, 工程量 = the quantity lines joined by "\r\n") and an
// empty separator row. A quantity line has eight fields separated by "=":
// label, section, flag, type, parameter, location, expression, result.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "module/toolkit/strings.h"
#include "module/toolkit/table_lib.h"

// A floor's component table "<project>\<floor>.DB", read whole once per
// floor: the calculators look records up by kind and copy them without going
// back to the file. The current record stands for the table cursor of the
// record the calculator computes.
class FloorGjTable {
 public:
  // False when the table cannot be read (a damaged file has no fields).
  bool load(const std::wstring& path);
  const StringArray& fields() const { return fields_; }
  int recordCount() const { return static_cast<int>(rows_.size()); }
  // -1 when the table lacks the field.
  int fieldIndex(const std::wstring& field) const;
  const std::wstring& value(int record, const std::wstring& field) const;
  // The records whose 构件名称 is the kind and whose 编号 is not empty, in table order.
  const std::vector<int>& recordsOfKind(const std::wstring& kind) const;

  int current = 0;
  const std::wstring& field(const std::wstring& name) const { return value(current, name); }

 private:
  StringArray fields_;
  std::unordered_map<std::wstring, int> index_;
  std::vector<StringArray> rows_;
  std::unordered_map<std::wstring, std::vector<int>> byKind_;
};

// The 编号 and record numbers (from 0) of the records of the floor table
// whose 构件名称 is one of the names (a comma list) and whose 编号 is not
// empty, in table order.
void FindFloorGjRecords(const std::wstring& names, StringArray& numbers, std::vector<int>& records);

// Makes h the run's quantity table (g_quantityTable) and reads its fields.
void BindQuantityTable(tablelib::Handle h);

// The quantity lines of one row, joined by "\r\n" as they are made (one
// text that keeps its storage from row to row).
class QuantityLines {
 public:
  void clear() {
    text_.clear();
    count_ = 0;
  }
  void add(const std::wstring& line) {
    if (count_++ > 0) text_ += L"\r\n";
    text_ += line;
  }
  const std::wstring& text() const { return text_; }

 private:
  std::wstring text_;
  size_t count_ = 0;
};

// Appends a component row to g_quantityTable: every field of the quantity
// table that the floor table also has is copied from the floor table's current
// record (标志 only when it is no header mark, 算式工程量 never), then 数量 =
// count and 工程量 = the lines joined by "\r\n"; the row is posted.
void AppendQuantityRow(const StringArray& lines, int count);
void AppendQuantityRow(const QuantityLines& lines, int count);

// Appends the floor header row "■floor=count" / 楼层, or the empty separator row.
void AppendFloorHeaderRow(const std::wstring& floor, int count);
void AppendSeparatorRow();
