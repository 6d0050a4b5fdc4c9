// Evaluation of calculation items into quantity lines.
//
// A formula is arithmetic over named values: {name} is replaced by the
// value (a name not given removes its whole term); [name] likewise, but a
// value below 0.001 removes the term (deductions and additions that do not
// apply), and so does a name not given. The expression text of the quantity
// line keeps each value followed by its name ("2.5给水管长*2"); the text the
// base library evaluates holds the values alone, so names made of any
// characters (brackets, ASCII letters, operators) never reach the arithmetic.
#pragma once

#include <string>

#include "module/toolkit/strings.h"

// One item (section:flag:type:parameter=formula) for one measured entity.
// names[0] is the head "label==location" (values[0] empty); names[i] and
// values[i] from 1 on are the values the formula may use. The item's
// parameter is resolved among them (a value "默认" or empty gives the floor's
// concrete or mortar grade for those parameters). Negative values become "0";
// names[0] becomes the head of the quantity line, the result is appended as a
// named value, and the line is appended to lines.
void EvaluateCalcItem(const std::wstring& kind, const std::wstring& item, StringArray& names,
                      StringArray& values, StringArray& lines);
// An item taken apart once (section:flag:type:parameter=formula; a parameter
// may hold ":"), and its evaluation; false when the item has no "=" or fewer
// than four fields.
struct CalcItemParts {
  std::wstring section, flag, type, param, formula;
};
bool ParseCalcItem(const std::wstring& item, CalcItemParts& out);
void EvaluateCalcParts(const CalcItemParts& item, StringArray& names, StringArray& values, StringArray& lines);
// The same without growing the lists: the quantity line is written into line,
// and the result is not appended as a named value (the calculators evaluate
// every item of an entity with the same values). False when the item gives
// no line; names[0] and the negative values change as above all the same.
bool EvaluateCalcPartsLine(const CalcItemParts& item, StringArray& names, StringArray& values, std::wstring& line);
void EvaluateCalcFormula(const std::wstring& type, const std::wstring& formula, StringArray& names,
                         StringArray& values, StringArray& lines);
