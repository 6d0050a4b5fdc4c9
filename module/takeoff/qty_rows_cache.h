// The rows of the component quantity table 构件算量.DB as the writers after
// the floor loop read them. While the writers of a take-off run work (a
// WriterRunScope lives), the table is read once and its rows are shared:
// the computation lines that the norm writer adds to the table are added to
// the shared rows too, so the writers after it see what the table holds.
// Without a scope each writer reads the table itself.
//
// Within the scope 001.DB is also written once: the norm writer leaves its
// rows to the chapter writer that follows it, which writes them with the
// chapter rows in place instead of inserting those into the written table
// (the scope writes rows that are still pending when it ends).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "module/toolkit/table_lib.h"

struct QuantityRow {
  std::wstring flag, name, number, note, params, quantity, norm, calc;

  // The norm lines of one kind in calc ("kind=code", name, quantity, unit),
  // taken apart once per kind.
  using Method = std::array<std::wstring, 4>;
  const std::vector<Method>& methodsOf(const std::wstring& kind) const;

 private:
  mutable std::wstring methodsKind_;
  mutable bool methodsValid_ = false;
  mutable std::vector<Method> methods_;
  friend void SetQuantityRowCalc(QuantityRow& row, std::wstring&& calc);
};

// Replaces a row's computation text (its parsed norm lines are dropped).
void SetQuantityRowCalc(QuantityRow& row, std::wstring&& calc);

// Reads the rows of an open table from its first record on; without
// normInputs, 工程量 and 定额 stay empty.
void ReadQuantityRows(tablelib::Handle table, std::vector<QuantityRow>& rows, bool normInputs = true);

// The writers of one take-off run, in their fixed order, while it lives.
class WriterRunScope {
 public:
  WriterRunScope();
  ~WriterRunScope();
  WriterRunScope(const WriterRunScope&) = delete;
  WriterRunScope& operator=(const WriterRunScope&) = delete;
};

// True while a WriterRunScope lives.
bool InWriterRun();

// Work on the shared rows that a writer leaves behind: while a scope lives it
// runs on a worker thread, and the next reading of the shared rows (or the
// scope's end) waits for it; else it runs now.
void LeaveRowWork(std::function<void()> work);
// Waits for the row work left behind (and passes on what it threw).
void WaitForRowWork();

// The rows of the project's 构件算量.DB without 工程量 and 定额, which only
// the norm writer reads, row by row: the shared rows while a scope lives
// (read at the first call), else a fresh reading into storage.
std::vector<QuantityRow>& QuantityRowsForWriter(std::vector<QuantityRow>& storage);
