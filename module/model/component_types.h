// Component types and the host combos.
//
// A component type (构件 name, e.g. "给水管") names a kind of component and
// the layer of its entities. Types are grouped into the categories of the
// category table (g_gjCategories, g_gjCategoryTypes). The host shows the
// current floor, category, type and number in four named combos ("楼层",
// "分类", "构件", "编号"), which are read anew at every use.
//
// A type list or category list is names joined by "," without blanks.
#pragma once

#include <string>

#include "module/toolkit/strings.h"

// Makes the host's type combo show one of the types of the list. When the
// combo already shows one of them (exact comparison with the pieces of the
// list; an empty piece matches an empty combo) nothing changes. Otherwise
// the combos switch to the default type: category (from the component
// library), type, and the default type's first number on the current floor
// (empty when it has none), set in that order. A default type that the
// component library does not know leaves every combo as it was.
void PrepareGjCombos(const std::wstring& typeList, const std::wstring& defaultType);

// The types of the listed categories, in order; a category named twice is
// expanded twice, a name that is no category adds nothing.
void ExpandGjCategories(const std::wstring& categoryList, StringArray& types);

// The lines of one component library field of every listed type, joined by
// ",". With the field "图层": the layer names of the types. Unknown types add
// nothing.
std::wstring GetGjLayersOfTypes(const std::wstring& typeList, const std::wstring& field);
