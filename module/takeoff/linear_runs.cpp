#include "module/takeoff/linear_runs.h"

#include <cmath>
#include <cwchar>
#include <unordered_map>

#include "module/takeoff/calc_items.h"
#include "module/takeoff/formula_eval.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"

namespace {

// Parameter lines as named values, each value cut at its first ":" (the
// choices that follow it).
void paramLists(const std::wstring& text, StringArray& names, StringArray& values) {
  names.clear();
  values.clear();
  StringArray lines;
  SplitLines(text, lines);
  for (const std::wstring& line : lines) {
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos || eq == 0) continue;
    std::wstring v = line.substr(eq + 1);
    size_t colon = v.find(L':');
    if (colon != std::wstring::npos) v.erase(colon);
    names.push_back(line.substr(0, eq));
    values.push_back(v);
  }
}

double elevation(const StringArray& special, const wchar_t* key) {
  const std::wstring text = GetAttrValue(special, key);
  return text.empty() ? 0.0 : std::wcstod(text.c_str(), nullptr);
}

}  // namespace

bool IsRunType(const std::wstring& type) { return type == L"斜管" || type == L"立管" || type == L"贯通管"; }

double MeasuredRunLength(const MeasuredGj& gj) {
  const StringArray& special = gj.data->special;
  return LinearRunLength(GetAttrValue(special, L"类型"), GetOutlineLength(gj.vertices, gj.bulges),
                         elevation(special, L"起点标高"), elevation(special, L"终点标高"));
}

void ReadGjData(cad::ObjectId id, GjData& out) {
  out.id = id;
  out.number.clear();
  out.attrs.clear();
  out.special.clear();
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
  if (!obj) return;
  // The groups of the three applications, each read as the xdata line
  // readers read a value: its items (a record ending in the continuation
  // marker goes on in the next), trimmed, split into lines.
  StringArray numbers;
  StringArray* target = nullptr;
  std::wstring value;
  auto finish = [&] {
    if (!target) return;
    StringArray split;
    SplitLines(TrimWhiteRight(value), split);
    target->insert(target->end(), split.begin(), split.end());
    target = nullptr;
  };
  const size_t marker = std::wcslen(kXdataContinuation);
  for (const cad::TypedValue& v : obj->xData()) {
    if (v.code == cad::xd::kAppName) {
      finish();
      const std::wstring& app = v.str();
      target = app == kXdataNumber ? &numbers
               : app == kXdataAttrs ? &out.attrs
               : app == kXdataSpecial ? &out.special
                                      : nullptr;
      value.clear();
    } else if (target && (v.code == cad::xd::kString || v.code == cad::xd::kHandle)) {
      const std::wstring& text = v.str();
      if (text.size() >= marker && text.compare(text.size() - marker, marker, kXdataContinuation) == 0)
        value.append(text, 0, text.size() - marker);
      else
        (value += text) += L"\r\n";
    }
  }
  finish();
  if (!numbers.empty()) out.number = numbers.front();
}

double LinearRunLength(const std::wstring& type, double planLength, double startElev, double endElev) {
  double dz = endElev - startElev;
  if (type == L"斜管") return std::sqrt(dz * dz + planLength * planLength);
  if (type == L"立管" || type == L"贯通管") return std::fabs(dz);
  return 0;
}

bool CollectKindEntities(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                         std::vector<int>& records, std::vector<GjData>& data) {
  StringArray numbers;
  FindFloorGjRecords(kind, numbers, records);
  doneKinds.push_back(kind);
  data.clear();
  if (records.empty() || !g_gjBuckets) return false;
  int slot = GjKindSlot(kind);
  if (slot <= 0) return false;
  data.reserve(g_gjBuckets->slots[slot].size());
  for (cad::ObjectId id : g_gjBuckets->slots[slot]) {
    data.emplace_back();
    ReadGjData(id, data.back());
    if (!filter(data.back())) data.pop_back();
  }
  return !data.empty();
}

void RecordCalcParts(const std::wstring& kind, std::vector<CalcItemParts>& parts) {
  StringArray items;
  BuildCalcItems(kind, items);
  const bool filterItems = g_totalMode == kTotal3d;
  const std::wstring itemFilter = g_total3dFilter + L":";
  parts.clear();
  for (const std::wstring& item : items) {
    if (filterItems && item.find(itemFilter) == std::wstring::npos) continue;
    parts.emplace_back();
    if (!ParseCalcItem(item, parts.back())) parts.pop_back();
  }
}

void RecordValueLists(StringArray& names, StringArray& values) {
  StringArray paramNames, paramValues;
  paramLists(g_floorGjTable->field(L"参数"), paramNames, paramValues);
  names.assign({L"", L""});
  values.assign({L"", L""});
  names.insert(names.end(), paramNames.begin(), paramNames.end());
  values.insert(values.end(), paramValues.begin(), paramValues.end());
}

void EvaluateItemsFor(const std::vector<CalcItemParts>& parts, const std::wstring& head, const GjQuantity& q,
                      const GjItemValueFn& itemValue, StringArray& names, StringArray& values,
                      StringArray& lines) {
  // An evaluation rewrites the head, turns negative values into "0" (for
  // good: the parameters stay the record's) and appends its result, which is
  // taken off again for the next item.
  const size_t base = names.size();
  for (const CalcItemParts& item : parts) {
    names.resize(base);
    values.resize(base);
    names[0] = head;
    values[0].clear();
    if (itemValue) {
      itemValue(item, q, names[1], values[1]);
    } else {
      names[1] = q.name;
      values[1] = q.text;
    }
    EvaluateCalcParts(item, names, values, lines);
  }
}

bool IsBlockReferenceOrUnreadable(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  return !ent || dynamic_cast<const cad::BlockReference*>(ent.get()) != nullptr;
}

void FloorGjParamLines(const std::wstring& kind, const std::wstring& number, StringArray& lines) {
  lines.clear();
  if (!g_floorGjTable) return;
  for (int r : g_floorGjTable->recordsOfKind(kind)) {
    if (g_floorGjTable->value(r, L"编号") != number) continue;
    StringArray names, values;
    paramLists(g_floorGjTable->value(r, L"参数"), names, values);
    for (size_t i = 0; i < names.size(); ++i) lines.push_back(names[i] + L"=" + values[i]);
    return;
  }
}

void RunCalculatorSkeleton(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                           const GjQuantityFn& quantity, const GjItemValueFn& itemValue) {
  // The kind's entities that the calculator measures, each read once, grouped
  // by number: a record reads only the entities of its number, in list order.
  std::vector<int> records;
  std::vector<GjData> data;
  if (!CollectKindEntities(doneKinds, kind, filter, records, data)) return;
  std::unordered_map<std::wstring, std::vector<const GjData*>> byNumber;
  for (const GjData& d : data)
    if (d.attrs.size() >= 2) byNumber[d.number].push_back(&d);

  const AxisLocator& axes = FloorAxisLocator(*g_gjBuckets);

  // Measured once per entity, whatever the number of records naming it.
  struct Measure {
    std::wstring head;
    GjQuantity q;
  };
  std::unordered_map<std::uint64_t, Measure> measured;

  StringArray lines, names, values;
  std::vector<CalcItemParts> parts;
  for (int record : records) {
    g_floorGjTable->current = record;
    const std::wstring& number = g_floorGjTable->field(L"编号");
    RecordCalcParts(kind, parts);
    lines.clear();
    int count = 0;
    auto group = byNumber.find(number);
    if (group != byNumber.end()) {
      RecordValueLists(names, values);
      for (const GjData* e : group->second) {
        auto [it, fresh] = measured.try_emplace(e->id.raw());
        Measure& m = it->second;
        if (fresh) {
          MeasuredGj gj;
          gj.data = e;
          GetEntityVertices(e->id, gj.vertices, gj.bulges);
          quantity(gj, m.q);
          m.head = e->attrs[0] + L"==" + axes.locate(gj.vertices);
        }
        EvaluateItemsFor(parts, m.head, m.q, itemValue, names, values, lines);
        ++count;
      }
    }
    AppendQuantityRow(lines, count);
  }
}

void CalcLinearRunQuantities(StringArray& doneKinds, const std::wstring& name) {
  if (KindCalculatorOf(name) != KindCalculator::LinearRun) {
    doneKinds.push_back(name);
    return;
  }
  // An entity that cannot be read has no data: it would match no record.
  auto filter = [](const GjData& gj) { return IsRunType(GetAttrValue(gj.special, L"类型")); };
  auto quantity = [&name](const MeasuredGj& gj, GjQuantity& q) {
    q.name = name + L"长";
    q.text = PrecStr(MeasuredRunLength(gj) / 1000.0, 3);
  };
  RunCalculatorSkeleton(doneKinds, name, filter, quantity);
}
