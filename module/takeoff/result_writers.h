// What the take-off run calls beside the calculators: the floor's sundry
// works, and the writers of the derived result tables, which run
// after the floor loop in a fixed order, each answering true to go on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "module/toolkit/strings.h"

struct NormQtyRow;
struct QuantityRow;

// One row of the electrical circuit tables.
struct CircuitRow {
  std::wstring floor, layer, number, handle, circuitKey;
  int ordinal = -1;
  StringArray items;
};

void AddSundryWorks(const std::wstring& floor);

// The writers after the floor loop, in their fixed order, sharing one
// reading of 构件算量.DB; false when one of them answered false (a cancel).
// 工程量表.DB is written on a worker thread meanwhile; alongside, when given,
// runs here after the last writer, while that table may still be written.
bool RunResultWriters(const std::function<void()>& alongside = {});

bool WriteGjParamTable();
// The rows of 构件参数.DB from the component rows (only those of the kind
// taken, when one is); the message to show when the table cannot be had
// (empty when it was written). Reads only the rows' 标志, 构件名称, 编号, 说明
// and 参数, and touches no other table, so that it may run beside the norm
// writer.
std::wstring WriteGjParamTableOf(const std::vector<QuantityRow>& rows, const std::wstring& taken);
bool WriteNormQtyTable();
// The chapter rows of 001.DB: placed among the norm rows of the run, written
// into the table, and then no longer marked as new. AddChapterRows does the
// three steps; a run writes 工程量表.DB from the placed rows meanwhile.
struct ChapterRows {
  bool pending = false;  // the norm rows themselves are not written yet
  bool added = false;    // chapter rows were placed
};
ChapterRows PlaceChapterRows();
void WriteChapterRows(const ChapterRows& placed);
void SettleChapterRows();
bool AddChapterRows();
bool WriteQtyTable();
// The rows of 工程量表.DB from the norm rows; the message to show when the
// table cannot be made (empty when it was written). Touches nothing but the
// table, so that it may run beside the other writers.
std::wstring WriteQtyTableOf(const std::vector<NormQtyRow>& rows);
// kind "项" (bill items) or "定额" (norms); discipline 1 to 4.
bool WriteFloorDetailTable(const std::wstring& kind);
bool WriteDisciplineFloorDetailTable(const std::wstring& kind, int discipline);
bool WriteMethodSummary(const std::wstring& kind);
bool WriteDisciplineMethodSummary(const std::wstring& kind, int discipline);
