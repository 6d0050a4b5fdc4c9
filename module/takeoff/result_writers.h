// What the take-off run calls beside the calculators: the floor's sundry
// works, and the writers of the derived result tables, which run
// after the floor loop in a fixed order, each answering true to go on.
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/strings.h"

// One row of the electrical circuit tables.
struct CircuitRow {
  std::wstring floor, layer, number, handle, circuitKey;
  int ordinal = -1;
  StringArray items;
};

void AddSundryWorks(const std::wstring& floor);

// The writers after the floor loop, in their fixed order, sharing one
// reading of 构件算量.DB; false when one of them answered false (a cancel).
bool RunResultWriters();

bool WriteGjParamTable();
bool WriteNormQtyTable();
bool AddChapterRows();
bool WriteQtyTable();
// kind "项" (bill items) or "定额" (norms); discipline 1 to 4.
bool WriteFloorDetailTable(const std::wstring& kind);
bool WriteDisciplineFloorDetailTable(const std::wstring& kind, int discipline);
bool WriteMethodSummary(const std::wstring& kind);
bool WriteDisciplineMethodSummary(const std::wstring& kind, int discipline);
