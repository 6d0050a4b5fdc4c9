// The electrical circuit tables 电气回路明细表.DB (per floor, box, circuit,
// component type and number, with each number's quantity items) and
// 电气回路汇总表.DB (the same without the circuit level, the rows of one box
// merged per component number), each a fresh copy of its template from the
// installation's 系统文件 folder.
#pragma once

#include <vector>

#include "module/takeoff/result_writers.h"
#include "module/toolkit/table_lib.h"

// Writes the rows' levels into an open table. detail: with the circuit level.
void WriteCircuitRows(tablelib::Handle table, const std::vector<CircuitRow>& rows, bool detail);

namespace circuits {
void WriteCircuitDetailTable(const std::vector<CircuitRow>& rows);
// Merges the rows per box first, so it runs after the detail table.
void WriteCircuitSummaryTable(std::vector<CircuitRow>& rows);
// What the take-off does with its circuit rows after the other writers: the
// quantity items, then both tables.
void WriteCircuitTables(std::vector<CircuitRow>& rows);
}  // namespace circuits
