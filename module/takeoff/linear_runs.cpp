#include "module/takeoff/linear_runs.h"

#include <cmath>
#include <cwchar>
#include <unordered_map>

#include "module/takeoff/calc_items.h"
#include "module/takeoff/formula_eval.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/xdata.h"

namespace {

bool isRunType(const std::wstring& type) {
  return type == L"斜管" || type == L"立管" || type == L"贯通管";
}

// The record's parameter lines as named values, each value cut at its first
// ":" (the choices that follow it).
void recordParams(StringArray& names, StringArray& values) {
  names.clear();
  values.clear();
  StringArray lines;
  SplitLines(g_floorGjTable->field(L"参数"), lines);
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

void RunCalculatorSkeleton(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                           const GjQuantityFn& quantity) {
  StringArray numbers;
  std::vector<int> records;
  FindFloorGjRecords(kind, numbers, records);
  doneKinds.push_back(kind);
  if (records.empty() || !g_gjBuckets) return;
  int slot = GjKindSlot(kind);
  if (slot <= 0) return;

  // The kind's entities that the calculator measures, each read once, grouped
  // by number: a record reads only the entities of its number, in list order.
  std::vector<GjData> data;
  data.reserve(g_gjBuckets->slots[slot].size());
  for (cad::ObjectId id : g_gjBuckets->slots[slot]) {
    data.emplace_back();
    ReadGjData(id, data.back());
    if (!filter(data.back())) data.pop_back();
  }
  if (data.empty()) return;
  std::unordered_map<std::wstring, std::vector<const GjData*>> byNumber;
  for (const GjData& d : data)
    if (d.attrs.size() >= 2) byNumber[d.number].push_back(&d);

  const AxisLocator& axes = FloorAxisLocator(*g_gjBuckets);

  // Measured once per entity, whatever the number of records naming it.
  struct Measure {
    std::wstring head, name, text;
  };
  std::unordered_map<std::uint64_t, Measure> measured;

  const bool filterItems = g_totalMode == kTotal3d;
  const std::wstring itemFilter = g_total3dFilter + L":";
  StringArray items, lines, names, values, paramNames, paramValues;
  std::vector<CalcItemParts> parts;
  for (int record : records) {
    g_floorGjTable->current = record;
    const std::wstring& number = g_floorGjTable->field(L"编号");
    BuildCalcItems(kind, items);
    // Taken apart once per record; in the 3D window's mode only the items
    // that hold its filter text.
    parts.clear();
    for (const std::wstring& item : items) {
      if (filterItems && item.find(itemFilter) == std::wstring::npos) continue;
      parts.emplace_back();
      if (!ParseCalcItem(item, parts.back())) parts.pop_back();
    }
    lines.clear();
    int count = 0;
    auto group = byNumber.find(number);
    if (group != byNumber.end()) {
      // The record's values: the head and the quantity (set per entity),
      // then the parameters. An evaluation rewrites the head, turns negative
      // values into "0" (for good: the parameters stay the record's) and
      // appends its result, which is taken off again for the next item.
      recordParams(paramNames, paramValues);
      names.assign({L"", L""});
      values.assign({L"", L""});
      names.insert(names.end(), paramNames.begin(), paramNames.end());
      values.insert(values.end(), paramValues.begin(), paramValues.end());
      const size_t base = names.size();
      for (const GjData* e : group->second) {
        auto [it, fresh] = measured.try_emplace(e->id.raw());
        Measure& m = it->second;
        if (fresh) {
          MeasuredGj gj;
          gj.data = e;
          GetEntityVertices(e->id, gj.vertices, gj.bulges);
          quantity(gj, m.name, m.text);
          m.head = e->attrs[0] + L"==" + axes.locate(gj.vertices);
        }
        for (const CalcItemParts& item : parts) {
          names.resize(base);
          values.resize(base);
          names[0] = m.head;
          names[1] = m.name;
          values[0].clear();
          values[1] = m.text;
          EvaluateCalcParts(item, names, values, lines);
        }
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
  auto filter = [](const GjData& gj) { return isRunType(GetAttrValue(gj.special, L"类型")); };
  auto quantity = [&name](const MeasuredGj& gj, std::wstring& qName, std::wstring& qText) {
    const StringArray& special = gj.data->special;
    const std::wstring type = GetAttrValue(special, L"类型");
    const double zs = elevation(special, L"起点标高"), ze = elevation(special, L"终点标高");
    double plan = GetOutlineLength(gj.vertices, gj.bulges);
    qName = name + L"长";
    qText = PrecStr(LinearRunLength(type, plan, zs, ze) / 1000.0, 3);
  };
  RunCalculatorSkeleton(doneKinds, name, filter, quantity);
}
