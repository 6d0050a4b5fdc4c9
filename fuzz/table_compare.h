// Compares two tables of the table library field by field and cell by cell.
#pragma once

#include <string>

#include "platform/suite/core/table.h"
#include "platform/suite/core/tsv.h"

namespace fuzz {

// Empty when equal, else where they first differ. With textNullIsEmpty an
// empty text cell and an empty (NULL) one of a text field count as equal: the
// text form writes both as nothing, and every reader sees "" for both.
inline std::string tableDifference(const suite::Table& a, const suite::Table& b, bool textNullIsEmpty = false) {
  if (a.fields.size() != b.fields.size())
    return std::to_string(a.fields.size()) + " fields / " + std::to_string(b.fields.size());
  for (size_t i = 0; i < a.fields.size(); ++i)
    if (suite::fieldSpec(a.fields[i]) != suite::fieldSpec(b.fields[i]))
      return "field " + std::to_string(i) + ": " + suite::escapeCell(suite::fieldSpec(a.fields[i])) + " / " +
             suite::escapeCell(suite::fieldSpec(b.fields[i]));
  if (a.records.size() != b.records.size())
    return std::to_string(a.records.size()) + " records / " + std::to_string(b.records.size());
  for (size_t r = 0; r < a.records.size(); ++r)
    for (size_t i = 0; i < a.fields.size(); ++i) {
      const suite::Cell& x = a.records[r].at(i);
      const suite::Cell& y = b.records[r].at(i);
      const bool text = a.fields[i].type == suite::FieldType::String || a.fields[i].type == suite::FieldType::Memo;
      if (textNullIsEmpty && text && x.value_or("").empty() && y.value_or("").empty()) continue;
      if (x != y)
        return "record " + std::to_string(r + 1) + " field " + a.fields[i].name + ": " +
               (x ? "\"" + suite::escapeCell(*x) + "\"" : "empty") + " / " +
               (y ? "\"" + suite::escapeCell(*y) + "\"" : "empty");
    }
  return {};
}

}  // namespace fuzz
