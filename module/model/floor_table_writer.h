// Writing the drawing's components into the current floor's component table.
//
// For every numbered component entity of the given types the floor's table
// gets a row of the entity's name and number: a new row (or the name's
// template row, one with an empty 编号) is filled with the category, the
// library's default parameters, the figure and the rule items; an existing
// row keeps its fields and takes over the values of the entity's attribute
// lines. The entity's "属性" is then reduced to the primary marking (its own
// handle and "主键"), so a second run finds the rows and changes nothing.
#pragma once

#include <string>

#include "module/toolkit/strings.h"

// The component types the whole-drawing writer handles, in its order.
const StringArray& FloorTableGjTypes();

// Every type of FloorTableGjTypes; rule items of a row are built (with their
// "编号=" lines, passed through the window library) only while its 定额 is
// empty.
void WriteAllGjToFloorTables();
// The types of the comma list; rule items are always rebuilt.
void WriteGjToFloorTable(const std::wstring& types);

// The rule items of a row from the library lines of the quantity-rule mode:
// for each line of four or more "="-separated parts an index line "[001]",
// "标志=" part 1, "类型=" part 2, and with withNumbers the line "编号=" and
// the text after "||" of part 4 (when part 4 holds one "||" after its first
// character). Lines with fewer parts are left out.
// withNamesAndUnits adds, after a code, the name before its "||" ("名称=")
// and the unit after it ("单位=", when the line gives one).
std::wstring BuildRuleItems(const StringArray& libraryLines, bool withNumbers, bool withNamesAndUnits = false);
