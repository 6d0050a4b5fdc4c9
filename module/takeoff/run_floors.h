// The steps the take-off and the region take-off share: the rule lists and
// the library's kind names, the run's floor list, opening one floor of the
// list (its drawing and component table) and putting a finished result table
// in place of the project's.
#pragma once

#include <memory>
#include <string>

#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/strings.h"
#include "platform/cad/database.h"

// The project's rule set (工程量规则 of 000.GC): "定额" or "清单".
std::wstring RunRuleSet();

// Fills the rule lists of the run state from the project's rule table and the
// library's rule items of ruleSet; libNames gets the library's kind names in
// order. False, with the failure said and counted, when the rule table or the
// library is there but cannot be read.
bool LoadRunRules(const std::wstring& ruleSet, StringArray& libNames);

// The floors of the run (every floor, or the current one unless g_totalMode
// is kTotalAll), each "name||相同层||层高||砼强度等级||砌筑砂浆"; a name that
// cannot name a file is left out with a message. False, with the failure said
// and counted, when the floor table is there but cannot be read.
bool LoadRunFloorList(const std::wstring& currentFloor);

// While it lives, the floor drawings of a run are read one floor ahead on a
// worker thread, while the current floor is computed, and a floor's drawing is
// destroyed there when the floor is done. Without one every drawing is read
// when its floor is opened.
class RunDrawingReader {
 public:
  RunDrawingReader();
  ~RunDrawingReader();
  RunDrawingReader(const RunDrawingReader&) = delete;
  RunDrawingReader& operator=(const RunDrawingReader&) = delete;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Destroys a floor drawing of a run: on the reader's worker while a
// RunDrawingReader lives.
struct RunDrawingDelete {
  void operator()(cad::Database* db) const;
};

// What one floor of a run holds while it is processed; the floor's table and
// per-kind lists are released however the floor ends, before its drawing.
struct RunFloorScope {
  std::unique_ptr<cad::Database, RunDrawingDelete> sideDb;  // null: the floor is the working drawing
  FloorGjTable table;
  GjBuckets buckets;
  ~RunFloorScope() {
    g_floorGjTable = nullptr;
    g_gjBuckets = nullptr;
  }
};

// Opens floor i of the run list: sets the run state of the floor, reads its
// drawing (unless it is currentFloor) and its component table, and appends its
// header row. A floor without a component table or (another floor) without a
// drawing is skipped with a message naming it, and the run goes on; a floor
// whose table or drawing is there but cannot be read fails the run (said and
// counted).
enum class FloorOpen { Opened, Skipped, Failed };
FloorOpen OpenRunFloor(size_t i, const std::wstring& currentFloor, RunFloorScope& scope, std::wstring& floor);
