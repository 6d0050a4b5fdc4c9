#include "module/takeoff/linear_runs.h"

#include <cmath>
#include <cwchar>
#include <string_view>
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

// Calls f with each line of an application's value as the xdata line
// readers split it: the value trimmed of white space at both ends, then cut
// at every "\r\n" (nothing for a blank value).
template <class F>
void eachXdataLine(std::wstring_view value, F&& f) {
  value = TrimWhiteView(value);
  if (value.empty()) return;
  for (size_t start = 0;;) {
    const size_t at = value.find(L"\r\n", start);
    if (at == std::wstring_view::npos) {
      f(value.substr(start));
      return;
    }
    f(value.substr(start, at - start));
    start = at + 2;
  }
}

// The value of a line name=value when its name is key.
bool lineValue(std::wstring_view line, std::wstring_view key, std::wstring_view& value) {
  const size_t eq = line.find(L'=');
  if (eq == std::wstring_view::npos || line.substr(0, eq) != key) return false;
  value = line.substr(eq + 1);
  return true;
}

}  // namespace

bool IsRunType(const std::wstring& type) { return type == L"斜管" || type == L"立管" || type == L"贯通管"; }

double MeasuredRunLength(const MeasuredGj& gj) {
  const GjData& d = *gj.data;
  // A region's stand-in for the parts of a cut run carries their length.
  if (g_gjBuckets && !g_gjBuckets->runLengths.empty()) {
    auto it = g_gjBuckets->runLengths.find(d.id);
    if (it != g_gjBuckets->runLengths.end()) return it->second;
  }
  return LinearRunLength(d.type, GetOutlineLength(gj.vertices, gj.bulges), d.startElev, d.endElev);
}

void ReadGjDataOpen(const cad::Entity* ent, GjData& out) {
  out.readable = ent != nullptr;
  out.block = false;
  out.position = {};
  out.number.clear();
  out.handle.clear();
  out.attrCount = 0;
  out.type.clear();
  out.startElev = out.endElev = out.elev = 0;
  out.own.clear();
  out.firstVertex = out.vertexCount = 0;
  if (!ent) return;
  if (auto* ref = dynamic_cast<const cad::BlockReference*>(ent)) {
    out.block = true;
    out.position = ref->position();
  }
  // The groups of the applications, each read as the xdata line readers
  // read a value: its items (a record ending in the continuation marker goes
  // on in the next), trimmed, split into lines. Where an application has
  // several groups, their lines follow one another.
  enum class App { None, Number, Attrs, Special, Own };
  static std::wstring value;
  bool haveNumber = false, haveType = false, haveStart = false, haveEnd = false, haveElev = false;
  auto finish = [&](App app) {
    switch (app) {
      case App::None: break;
      case App::Number:
        eachXdataLine(value, [&](std::wstring_view line) {
          if (!haveNumber) out.number.assign(line);
          haveNumber = true;
        });
        break;
      case App::Attrs:
        eachXdataLine(value, [&](std::wstring_view line) {
          if (out.attrCount++ == 0) out.handle.assign(line);
        });
        break;
      case App::Special:
        eachXdataLine(value, [&](std::wstring_view line) {
          std::wstring_view v;
          if (!haveType && lineValue(line, L"类型", v)) {
            out.type.assign(v);
            haveType = true;
          } else if (!haveStart && lineValue(line, L"起点标高", v)) {
            out.startElev = ReadNumber(v);
            haveStart = true;
          } else if (!haveEnd && lineValue(line, L"终点标高", v)) {
            out.endElev = ReadNumber(v);
            haveEnd = true;
          } else if (!haveElev && lineValue(line, L"标高", v)) {
            out.elev = ReadNumber(v);
            haveElev = true;
          }
        });
        break;
      case App::Own:
        eachXdataLine(value, [&](std::wstring_view line) { out.own.emplace_back(line); });
        break;
    }
  };
  const std::wstring_view marker(kXdataContinuation);
  App app = App::None;
  for (const cad::TypedValue& v : ent->xDataView()) {
    if (v.code == cad::xd::kAppName) {
      finish(app);
      static const std::wstring_view numberApp(kXdataNumber), attrsApp(kXdataAttrs), specialApp(kXdataSpecial),
          ownApp(kXdataExternalGj);
      const std::wstring_view name = v.view();
      app = name == numberApp ? App::Number
            : name == attrsApp ? App::Attrs
            : name == specialApp ? App::Special
            : name == ownApp ? App::Own
                             : App::None;
      value.clear();
    } else if (app != App::None && (v.code == cad::xd::kString || v.code == cad::xd::kHandle)) {
      const std::wstring_view text = v.view();
      if (text.size() >= marker.size() && text.substr(text.size() - marker.size()) == marker)
        value.append(text.substr(0, text.size() - marker.size()));
      else
        (value += text) += L"\r\n";
    }
  }
  finish(app);
}

void ReadGjData(cad::ObjectId id, GjData& out) {
  out.id = id;
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  ReadGjDataOpen(ent.get(), out);
}

void KindEntities::outlineOf(const GjData& gj, PointList& vertices, BulgeList& vertexBulges) const {
  vertices.assign(points.begin() + gj.firstVertex, points.begin() + gj.firstVertex + gj.vertexCount);
  vertexBulges.assign(bulges.begin() + gj.firstVertex, bulges.begin() + gj.firstVertex + gj.vertexCount);
}

double LinearRunLength(const std::wstring& type, double planLength, double startElev, double endElev) {
  double dz = endElev - startElev;
  if (type == L"斜管") return std::sqrt(dz * dz + planLength * planLength);
  if (type == L"立管" || type == L"贯通管") return std::fabs(dz);
  return 0;
}

bool CollectKindEntities(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                         std::vector<int>& records, KindEntities& entities) {
  StringArray numbers;
  FindFloorGjRecords(kind, numbers, records);
  doneKinds.push_back(kind);
  std::vector<GjData>& data = entities.data;
  data.clear();
  entities.points.clear();
  entities.bulges.clear();
  if (records.empty() || !g_gjBuckets) return false;
  int slot = GjKindSlot(kind);
  if (slot <= 0) return false;
  data.reserve(g_gjBuckets->slots[slot].size());
  PointList vertices;
  BulgeList bulges;
  for (cad::ObjectId id : g_gjBuckets->slots[slot]) {
    data.emplace_back();
    GjData& gj = data.back();
    gj.id = id;
    // One open per entity for its data and its outline.
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    ReadGjDataOpen(ent.get(), gj);
    if (!filter(gj)) {
      data.pop_back();
      continue;
    }
    if (!ent) continue;
    GetEntityVerticesOpen(ent.get(), vertices, bulges);
    gj.firstVertex = entities.points.size();
    gj.vertexCount = vertices.size();
    entities.points.insert(entities.points.end(), vertices.begin(), vertices.end());
    entities.bulges.insert(entities.bulges.end(), bulges.begin(), bulges.end());
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

const std::vector<CalcItemParts>& RecordCalcItems::ofCurrentRecord() {
  const std::wstring& text = g_floorGjTable->field(L"定额");
  auto [it, fresh] = byNormText_.try_emplace(text);
  if (fresh) RecordCalcParts(kind_, it->second);
  return it->second;
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
                      QuantityLines& lines) {
  // An evaluation rewrites the head and turns negative values into "0" (for
  // good: the parameters stay the record's); the head and the quantity are
  // set again for each item. The texts keep their storage from item to item.
  static std::wstring line;
  for (const CalcItemParts& item : parts) {
    names[0] = head;
    values[0].clear();
    if (itemValue) {
      itemValue(item, q, names[1], values[1]);
    } else {
      names[1] = q.name;
      values[1] = q.text;
    }
    if (EvaluateCalcPartsLine(item, names, values, line)) lines.add(line);
  }
}

bool IsBlockReferenceOrUnreadable(const GjData& gj) { return !gj.readable || gj.block; }

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
  KindEntities entities;
  if (!CollectKindEntities(doneKinds, kind, filter, records, entities)) return;
  const std::vector<GjData>& data = entities.data;
  std::unordered_map<std::wstring, std::vector<size_t>> byNumber;
  for (size_t i = 0; i < data.size(); ++i)
    if (data[i].attrCount >= 2) byNumber[data[i].number].push_back(i);

  const AxisLocator& axes = FloorAxisLocator(*g_gjBuckets);

  // Measured once per entity, whatever the number of records naming it.
  struct Measure {
    std::wstring head;
    GjQuantity q;
  };
  std::vector<Measure> measured(data.size());
  std::vector<bool> done(data.size(), false);
  MeasuredGj gj;

  RecordCalcItems items(kind);
  QuantityLines lines;
  StringArray names, values;
  for (int record : records) {
    g_floorGjTable->current = record;
    const std::wstring& number = g_floorGjTable->field(L"编号");
    const std::vector<CalcItemParts>& parts = items.ofCurrentRecord();
    lines.clear();
    int count = 0;
    auto group = byNumber.find(number);
    if (group != byNumber.end()) {
      RecordValueLists(names, values);
      for (size_t i : group->second) {
        Measure& m = measured[i];
        if (!done[i]) {
          done[i] = true;
          gj.data = &data[i];
          entities.outlineOf(data[i], gj.vertices, gj.bulges);
          quantity(gj, m.q);
          (m.head = data[i].handle) += L"==";
          axes.appendLocation(gj.vertices, m.head);
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
  auto filter = [](const GjData& gj) { return IsRunType(gj.type); };
  const std::wstring lengthName = name + L"长";
  auto quantity = [&lengthName](const MeasuredGj& gj, GjQuantity& q) {
    q.name = lengthName;
    PrecStrTo(MeasuredRunLength(gj) / 1000.0, 3, q.text);
  };
  RunCalculatorSkeleton(doneKinds, name, filter, quantity);
}
