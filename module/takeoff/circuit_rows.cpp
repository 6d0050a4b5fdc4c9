#include "module/takeoff/circuit_rows.h"

#include <cwchar>
#include <unordered_map>

#include "module/model/component_types.h"
#include "module/takeoff/circuit_trace.h"
#include "module/takeoff/gj_buckets.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/xdata.h"

namespace {

// The kinds of the circuit tracing, each list in this order.
const wchar_t* const kRunKinds[] = {L"照明导线", L"动力导线", L"消防导线", L"导管",   L"线槽",
                                    L"软导管",   L"导线·导管", L"其它导线", L"电缆",   L"母线馈线",
                                    L"桥架",     L"托盘",     L"组合式桥架"};
const wchar_t* const kDeviceKinds[] = {L"点状灯具", L"块状灯具",   L"插座",       L"开关",    L"其它电器具",
                                       L"动力设备", L"电消防设备", L"其它电设备", L"元件装置"};
const wchar_t* const kBoxKinds[] = {L"配电箱", L"配电柜", L"配电盘"};

const wchar_t kSep = L'\uE02F';

template <size_t N>
void idsOfKinds(const GjBuckets& buckets, const wchar_t* const (&kinds)[N], cad::ObjectIdArray& out) {
  for (const wchar_t* kind : kinds) {
    int slot = GjKindSlot(kind);
    if (slot > 0) out.insert(out.end(), buckets.slots[slot].begin(), buckets.slots[slot].end());
  }
}

bool contains(const StringArray& list, const std::wstring& text) { return TStrsIndexOf(list, text) >= 0; }

bool startsWith(const std::wstring& text, const std::wstring& head) { return text.compare(0, head.size(), head) == 0; }

// The row kind of a norm line ("定额=…" or "项=…"); empty for other lines.
std::wstring normLineKind(const std::wstring& line) {
  if (startsWith(line, L"定额=")) return L"定额";
  if (startsWith(line, L"项=")) return L"项";
  return L"";
}

// A floor header of 构件算量.DB is "■floor=count": the floor is the text
// before the last "=", so that a floor name may hold "=" itself.
std::wstring floorOfHeader(const std::wstring& name) {
  std::wstring floor = name.substr(0, name.rfind(L'='));
  ReplaceAll(floor, L"■", L"");
  return floor;
}

std::wstring pairOf(const CircuitRow& r) { return r.layer + L"&" + r.number; }

std::wstring formatSum(double v) {
  wchar_t buf[64];
  std::swprintf(buf, 64, L"%f", v);
  return buf;
}

// Adds the further row's items to the merged row's: per item of five fields,
// the first unused item of the further row with the same code adds its
// quantity; items of the further row that find no partner are appended.
void mergeInto(CircuitRow& merged, const CircuitRow& further) {
  std::vector<bool> used(further.items.size(), false);
  StringArray a, b;
  for (std::wstring& item : merged.items) {
    SplitCircuitItem(item, a);
    if (a.size() != 5) continue;
    for (size_t j = 0; j < further.items.size(); ++j) {
      if (used[j]) continue;
      SplitCircuitItem(further.items[j], b);
      if (b.size() != 5 || b[0] != a[0]) continue;
      used[j] = true;
      a[2] = formatSum(std::wcstod(a[2].c_str(), nullptr) + std::wcstod(b[2].c_str(), nullptr));
      item = JoinCircuitItem(a);
      break;
    }
  }
  for (size_t j = 0; j < further.items.size(); ++j)
    if (!used[j]) merged.items.push_back(further.items[j]);
  merged.handle += L"," + further.handle;
}

// Merges each group [g, end) in the order of its pairs (a pair listed twice
// is merged once).
template <class SameGroup, class PairsOf>
void mergeGroups(std::vector<CircuitRow>& rows, SameGroup same, PairsOf pairsOf) {
  std::vector<CircuitRow> out;
  size_t g = 0;
  while (g < rows.size()) {
    size_t end = g + 1;
    while (end < rows.size() && same(rows[g], rows[end])) ++end;
    std::unordered_map<std::wstring, std::vector<size_t>> rowsOfPair;
    for (size_t i = g; i < end; ++i) rowsOfPair[pairOf(rows[i])].push_back(i);
    for (const std::wstring& pair : pairsOf(g, end)) {
      auto found = rowsOfPair.find(pair);
      if (found == rowsOfPair.end()) continue;
      CircuitRow* merged = nullptr;
      for (size_t i : found->second) {
        if (!merged) {
          if (rows[i].items.empty()) continue;
          out.push_back(rows[i]);
          merged = &out.back();
        } else {
          mergeInto(*merged, rows[i]);
        }
      }
      rowsOfPair.erase(found);
    }
    g = end;
  }
  rows = std::move(out);
}

}  // namespace

void SplitCircuitItem(const std::wstring& item, StringArray& fields) {
  fields.clear();
  size_t from = 0;
  for (;;) {
    size_t at = item.find(kSep, from);
    fields.push_back(item.substr(from, at == std::wstring::npos ? std::wstring::npos : at - from));
    if (at == std::wstring::npos) break;
    from = at + 1;
  }
}

std::wstring JoinCircuitItem(const StringArray& fields) {
  std::wstring out;
  JoinArray(fields, kCircuitItemSep, out);
  return out;
}

void AttributeCircuitItems(const std::vector<CircuitSourceRow>& table, const StringArray& runKinds,
                           const StringArray& deviceKinds, std::vector<CircuitRow>& rows,
                           std::vector<CircuitPairList>& pairLists) {
  // The circuit rows of each floor, component by component.
  std::unordered_map<std::wstring, std::vector<CircuitRow*>> byComponent;
  for (CircuitRow& r : rows) byComponent[r.floor + L"\n" + pairOf(r)].push_back(&r);

  CircuitPairList* floor = nullptr;
  StringArray lines, fields;
  for (const CircuitSourceRow& src : table) {
    if (src.flag == L"楼层") {
      pairLists.push_back({floorOfHeader(src.name), {}});
      floor = &pairLists.back();
      continue;
    }
    if (!floor) continue;
    const bool device = contains(deviceKinds, src.name);
    if (!device && !contains(runKinds, src.name)) continue;
    if (src.number.empty() || src.computation.empty()) continue;
    floor->pairs.push_back(src.name + L"&" + src.number);
    auto found = byComponent.find(floor->floor + L"\n" + src.name + L"&" + src.number);
    if (found == byComponent.end()) continue;
    SplitLines(src.computation, lines);

    // Per norm line: its fields, and the value of each handle's item line
    // among the lines up to the next norm line (only lines of three parts).
    const std::wstring itemHead = src.name + L":";
    for (size_t j = 0; j < lines.size(); ++j) {
      const std::wstring kind = normLineKind(lines[j]);
      if (kind.empty()) continue;
      SplitString(lines[j].substr(kind.size() + 1), std::wstring(1, kSep), fields);
      if (fields.size() < 4) continue;
      std::unordered_map<std::wstring, std::wstring> valueOf;
      std::unordered_map<std::wstring, bool> seen;
      size_t k = j + 1;
      for (; k < lines.size() && normLineKind(lines[k]).empty(); ++k) {
        if (!startsWith(lines[k], itemHead)) continue;
        size_t eq = lines[k].find(L'=', itemHead.size());
        if (eq == std::wstring::npos) continue;
        std::wstring handle = lines[k].substr(itemHead.size(), eq - itemHead.size());
        if (!seen.emplace(handle, true).second) continue;
        StringArray parts;
        SplitString(lines[k], std::wstring(1, kSep), parts);
        if (parts.size() == 3) valueOf.emplace(handle, parts[2]);
      }
      for (CircuitRow* r : found->second) {
        StringArray item = fields;
        if (device) {
          item[2] = L"1";
        } else {
          auto v = valueOf.find(r->handle);
          if (v == valueOf.end()) continue;
          item[2] = v->second;
        }
        item.push_back(kind);
        r->items.push_back(JoinCircuitItem(item));
      }
      j = k - 1;
    }
  }
}

void MergeCircuitRowsByOrdinal(const std::vector<CircuitPairList>& pairLists, std::vector<CircuitRow>& rows) {
  auto same = [](const CircuitRow& a, const CircuitRow& b) { return a.floor == b.floor && a.ordinal == b.ordinal; };
  // A floor the pair lists do not know has no pairs: its rows carry no items.
  auto pairsOf = [&](size_t g, size_t) -> const StringArray& {
    static const StringArray none;
    for (const CircuitPairList& p : pairLists)
      if (p.floor == rows[g].floor) return p.pairs;
    return none;
  };
  mergeGroups(rows, same, pairsOf);
}

void MergeCircuitRowsByKey(std::vector<CircuitRow>& rows) {
  auto same = [](const CircuitRow& a, const CircuitRow& b) {
    return a.floor == b.floor && a.circuitKey == b.circuitKey;
  };
  auto pairsOf = [&](size_t g, size_t end) {
    StringArray pairs;
    for (size_t i = g; i < end; ++i) pairs.push_back(pairOf(rows[i]));
    return pairs;
  };
  mergeGroups(rows, same, pairsOf);
}

namespace circuits {

void BuildFloorCircuitRows(const std::wstring& floor, std::vector<CircuitRow>& rows) {
  rows.clear();
  if (!g_gjBuckets) return;
  cad::ObjectIdArray runIds, deviceIds, boxIds;
  idsOfKinds(*g_gjBuckets, kBoxKinds, boxIds);
  if (boxIds.empty()) return;  // no box, no circuit
  idsOfKinds(*g_gjBuckets, kRunKinds, runIds);
  idsOfKinds(*g_gjBuckets, kDeviceKinds, deviceIds);
  std::vector<cad::ObjectIdArray> traced;
  TraceCircuits(runIds, deviceIds, boxIds, traced);

  std::vector<CircuitRow> working;
  int ordinal = 0;
  std::wstring layer, number;
  StringArray attrs;
  for (const cad::ObjectIdArray& c : traced) {
    if (c.size() < 2 || c.back().isNull()) continue;
    GetEntityLayer(c.back(), layer);
    GetGjNumberAndAttrs(c.back(), number, attrs);
    if (layer.empty() || number.empty() || attrs.empty()) continue;
    const std::wstring key = layer + L"," + number + L"," + attrs[0];
    ++ordinal;
    for (size_t i = 0; i + 1 < c.size(); ++i) {
      GetEntityLayer(c[i], layer);
      if (layer.empty()) continue;
      GetGjNumberAndAttrs(c[i], number, attrs);
      if (number.empty() || attrs.empty()) continue;
      working.push_back({floor, layer, number, attrs[0], key, ordinal, {}});
    }
  }
  // The rows of one box together, in the order of the box's first circuit.
  std::vector<std::wstring> keys;
  std::unordered_map<std::wstring, std::vector<size_t>> rowsOfKey;
  for (size_t i = 0; i < working.size(); ++i) {
    auto [it, fresh] = rowsOfKey.try_emplace(working[i].circuitKey);
    if (fresh) keys.push_back(working[i].circuitKey);
    it->second.push_back(i);
  }
  for (const std::wstring& key : keys)
    for (size_t i : rowsOfKey[key]) rows.push_back(std::move(working[i]));
}

void AttributeCircuitQuantities(std::vector<CircuitRow>& rows) {
  StringArray runKinds, deviceKinds;
  ExpandGjCategories(L"管线,电缆桥架", runKinds);
  ExpandGjCategories(L"设备、箱柜,照明器具", deviceKinds);
  std::vector<CircuitSourceRow> table;
  {
    tablelib::Table t(ProjectTablePath(L"构件算量.DB"));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      CircuitSourceRow r{tablelib::FieldAsString(t, L"构件名称"), tablelib::FieldAsString(t, L"标志"), {}, {}};
      if (r.flag != L"楼层" && !contains(runKinds, r.name) && !contains(deviceKinds, r.name)) continue;
      r.number = tablelib::FieldAsString(t, L"编号");
      r.computation = tablelib::FieldAsString(t, L"算式工程量");
      table.push_back(std::move(r));
    }
  }
  std::vector<CircuitPairList> pairLists;
  AttributeCircuitItems(table, runKinds, deviceKinds, rows, pairLists);
  MergeCircuitRowsByOrdinal(pairLists, rows);
}

}  // namespace circuits
