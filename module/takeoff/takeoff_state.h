// The state of one take-off run, read by the calculators, the row functions
// and the writers while the run goes on. The floor list and the rule lists
// stay filled until the next run rebuilds them.
#pragma once

#include <string>

#include "module/takeoff/gj_buckets.h"
#include "module/takeoff/quantity_table.h"
#include "module/toolkit/strings.h"

enum TotalMode { kTotalAll = 0, kTotalCurFloor = 1, kTotalCurGj = 2, kTotal3d = 3 };

extern int g_totalMode;
// One entry per floor of the run: 楼层||相同层||层高||砼强度等级||砌筑砂浆.
extern StringArray g_runFloorList;
// Per row of the project rule table: 属性=定额值 and 属性=清单值.
extern StringArray g_ruleNormValues;
extern StringArray g_ruleBillValues;
// The library's calculation rules of the rule set: kind:flag:type:param=formula.
extern StringArray g_libRuleItems;

// The floor being processed.
extern std::wstring g_runFloorName;
extern std::wstring g_workFloorName;
extern int g_runFloorCount;
extern std::wstring g_runConcreteGrade;
extern std::wstring g_runMortarGrade;

// The open component quantity table and the floor's component table (in
// memory), and the floor's per-kind lists; valid inside the floor loop.
extern tablelib::Handle g_quantityTable;
extern FloorGjTable* g_floorGjTable;
extern GjBuckets* g_gjBuckets;
// The 3D window's item filter (mode 3 only).
extern std::wstring g_total3dFilter;
