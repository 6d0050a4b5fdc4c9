// Readers of the project's tables: the floor table (levels of a floor), the
// floor component tables (parameter lines, coordinate lines, numbers), the
// component library (one field per component) and the section lookup of the
// graph library.
//
// Every reader opens its table, reads and closes it before it returns; no
// table stays open and nothing is cached. A table that cannot be opened reads
// as an empty table. Texts are read whole, whatever their length.
#pragma once

#include <string>

#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/strings.h"

// The current floor's height and base elevation in millimetres, set by
// LoadCurFloorLevels.
extern double g_floorHeight;
extern double g_floorBaseElev;

// The floor table row of a floor: its height (层高, without sign) and its base
// elevation (标高, with its sign: a basement lies below zero). Both 0 when the
// floor has no row; a text that is no number reads as 0.
void LoadFloorLevels(const std::wstring& floor, double& height, double& baseElev);
// Sets g_floorHeight and g_floorBaseElev for the floor shown in the combo
// "楼层".
void LoadCurFloorLevels();

// One item per row of the named components (a comma list) in the floor's
// component table: the row's 编号, "=" and the lines of the listed fields (a
// comma list, in order) joined by "\r\n", each value cut at its first ":".
// With a number, only the first row of each name that carries it. The rows of
// a name are those that follow its first row while 构件名称 stays the same.
void ReadFloorGjParams(StringArray& out, const std::wstring& floor, const std::wstring& names,
                       const std::wstring& number, const std::wstring& fields);

// One item per row of the named components whose field is not empty: the
// bare value when it equals the row's 编号 (so the field 编号 lists the
// numbers), else 编号 "=" value. Rows are walked as by ReadFloorGjParams.
// Empty when the table lacks the field.
void ReadFloorGjField(StringArray& out, const std::wstring& floor, const std::wstring& names,
                      const std::wstring& number, const std::wstring& field);

// The lines of one field of the component library for each named component,
// in the order of the names; a name the library lacks adds nothing.
void ReadGjLibraryField(StringArray& out, const std::wstring& names, const std::wstring& field);

// On a table that the caller keeps open (the graph library), puts the cursor
// on the row named item inside the section of that name: the rows after the
// header row "◆" + section up to the next header. True when found. A header
// is recognised with white space around its name tolerated, never by a
// longer name that merely contains the section's name. After false the
// cursor is at the table's end, on the next header, or on the first row when
// the section is missing.
bool LocateRuleItem(tablelib::Handle table, const std::wstring& section, const std::wstring& item);

// Cuts the value of every item name "=" value at its first ":" (the list of
// choices that may follow a parameter's value).
void TrimAttrValuesAtColon(StringArray& items);
