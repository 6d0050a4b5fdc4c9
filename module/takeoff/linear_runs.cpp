#include "module/takeoff/linear_runs.h"

#include <cmath>
#include <unordered_map>

#include "module/model/special_data.h"
#include "module/takeoff/calc_items.h"
#include "module/takeoff/formula_eval.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/xdata.h"

namespace {

bool isRunType(const std::wstring& type) {
  return type == L"斜管" || type == L"立管" || type == L"贯通管";
}

// The record's parameter lines as further named values, each value cut at
// its first ":" (the choices that follow it).
void appendRecordParams(StringArray& names, StringArray& values) {
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

}  // namespace

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

  // The kind's entities that the calculator measures, in list order.
  std::vector<cad::ObjectId> ids;
  for (cad::ObjectId id : g_gjBuckets->slots[slot])
    if (filter(id)) ids.push_back(id);
  if (ids.empty()) return;

  // Grouped by number once: a record reads only the entities of its number.
  struct Entity {
    cad::ObjectId id;
    std::wstring label;  // first attribute line
  };
  std::unordered_map<std::wstring, std::vector<Entity>> byNumber;
  for (cad::ObjectId id : ids) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.size() < 2) continue;
    byNumber[number].push_back({id, attrs[0]});
  }

  const AxisLocator& axes = FloorAxisLocator(*g_gjBuckets);

  // Measured once per entity, whatever the number of records naming it.
  struct Measure {
    std::wstring head, name, text;
  };
  std::unordered_map<std::uint64_t, Measure> measured;

  const bool filterItems = g_totalMode == kTotal3d;
  const std::wstring itemFilter = g_total3dFilter + L":";
  StringArray items, lines;
  for (int record : records) {
    g_floorGjTable->current = record;
    const std::wstring& number = g_floorGjTable->field(L"编号");
    BuildCalcItems(kind, items);
    lines.clear();
    int count = 0;
    auto group = byNumber.find(number);
    if (group != byNumber.end()) {
      for (const Entity& e : group->second) {
        auto [it, fresh] = measured.try_emplace(e.id.raw());
        Measure& m = it->second;
        if (fresh) {
          MeasuredGj gj;
          gj.id = e.id;
          GetEntityVertices(e.id, gj.vertices, gj.bulges);
          quantity(gj, m.name, m.text);
          m.head = e.label + L"==" + axes.locate(gj.vertices);
        }
        for (const std::wstring& item : items) {
          if (filterItems && item.find(itemFilter) == std::wstring::npos) continue;
          StringArray names{m.head, m.name}, values{L"", m.text};
          appendRecordParams(names, values);
          EvaluateCalcItem(kind, item, names, values, lines);
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
  auto filter = [](cad::ObjectId id) {
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent) return true;  // kept; it matches no record later
    }
    StringArray lines;
    GetXdataLines(id, kXdataSpecial, lines);
    return isRunType(GetAttrValue(lines, L"类型"));
  };
  auto quantity = [&name](const MeasuredGj& gj, std::wstring& qName, std::wstring& qText) {
    std::wstring type;
    double zs = 0, ze = 0;
    GetGjSpecial(gj.id, &type, &zs, &ze);
    double plan = GetOutlineLength(gj.vertices, gj.bulges);
    qName = name + L"长";
    qText = PrecStr(LinearRunLength(type, plan, zs, ze) / 1000.0, 3);
  };
  RunCalculatorSkeleton(doneKinds, name, filter, quantity);
}
