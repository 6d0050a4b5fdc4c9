// Calculation items: the library says per kind and rule set how each type of
// quantity is computed (flag=type=parameter=name||code=unit=formula lines);
// a component record names in its 定额 text (INI form, one section per norm
// or bill item) the items that apply to it. The two joined give one item
// text per section: section:flag:type:parameter=formula.
#pragma once

#include <string>

#include "module/toolkit/strings.h"

// The library items of one library row: kind:f0:f1:f2=f5 for every rule line
// of more than 5 "="-fields (each line trimmed first). Appended to out.
void AppendLibRuleItems(const std::wstring& kind, const std::wstring& ruleText, StringArray& out);

// The items of a record whose 定额 text is given, matched against the rule
// items (first match of kind:flag:type: wins; a section without 标志 is
// "定额"; the section's 公式 overrides the library's formula).
void BuildCalcItemsFrom(const std::wstring& kind, const std::wstring& normText, const StringArray& libItems,
                        StringArray& items);
// The same for the current record of the floor table and g_libRuleItems.
void BuildCalcItems(const std::wstring& kind, StringArray& items);
