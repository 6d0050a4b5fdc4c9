// The rows of the electrical circuit tables: one row per numbered component
// of every traced circuit of a floor, then, after the norm writer has put the
// computation lines into 构件算量.DB, the quantity items of each row and the
// merge of the rows of one circuit (or of one box) that show the same
// component number.
//
// A quantity item holds five fields: code, name, quantity, unit and kind
// ("定额" or "项"). They are kept apart by U+E02F, which no field of a
// computation line can hold, so that names with commas stay whole.
#pragma once

#include <string>
#include <vector>

#include "module/takeoff/result_writers.h"
#include "module/toolkit/strings.h"

inline constexpr wchar_t kCircuitItemSep[] = L"\uE02F";

// Per floor, the components of 构件算量.DB the attribution looked at, as
// 构件名称 + "&" + 编号 in table order.
struct CircuitPairList {
  std::wstring floor;
  StringArray pairs;
};

// One component row of 构件算量.DB as the attribution reads it.
struct CircuitSourceRow {
  std::wstring name, flag, number, computation;
};

// The fields of an item (an item of another form gives other counts).
void SplitCircuitItem(const std::wstring& item, StringArray& fields);
std::wstring JoinCircuitItem(const StringArray& fields);

// Gives the rows their items from the component rows of 构件算量.DB, in table
// order, and collects the floors' pair lists. Rows of floors the table does
// not hold keep no items.
void AttributeCircuitItems(const std::vector<CircuitSourceRow>& table, const StringArray& runKinds,
                           const StringArray& deviceKinds, std::vector<CircuitRow>& rows,
                           std::vector<CircuitPairList>& pairLists);

// Merges the rows of one floor and circuit per component number, in the order
// of the floor's pair list: quantities of items with the same code add up, the
// handles are joined with ","; rows without items, and rows of no pair, go.
void MergeCircuitRowsByOrdinal(const std::vector<CircuitPairList>& pairLists, std::vector<CircuitRow>& rows);
// The same per floor and box, the pairs in order of first appearance.
void MergeCircuitRowsByKey(std::vector<CircuitRow>& rows);

// The entry points the take-off run calls.
namespace circuits {
// The rows of the traced circuits of the floor being processed (its per-kind
// lists in g_gjBuckets): rows of one box together, its circuits in order.
void BuildFloorCircuitRows(const std::wstring& floor, std::vector<CircuitRow>& rows);
// Reads the project's 构件算量.DB, attributes the items and merges per circuit.
void AttributeCircuitQuantities(std::vector<CircuitRow>& rows);
}  // namespace circuits
