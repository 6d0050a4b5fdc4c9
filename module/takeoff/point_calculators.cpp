// The calculators of point components: counted items (valves, fixtures,
// lamps, boxes, equipment, air openings, fittings, most supports), counted
// once per number, and pipe supports, weighed per support entity.
#include <cwchar>
#include <unordered_map>
#include <unordered_set>

#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/linear_runs.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"

namespace {

void sayGap(const std::wstring& kind, const std::wstring& number, const std::wstring& what) {
  ed::printText(L"\n[" + g_runFloorName + L"]" + kind + L" " + number + L": " + what + L"\n");
}

}  // namespace

void CalcCountedItemQuantities(StringArray& doneKinds, const std::wstring& name) {
  std::vector<int> records;
  KindEntities entities;
  auto filter = [](const GjData& gj) { return IsBlockReferenceOrUnreadable(gj); };
  if (KindCalculatorOf(name) != KindCalculator::CountedItem) {
    doneKinds.push_back(name);
    return;
  }
  if (!CollectKindEntities(doneKinds, name, filter, records, entities)) return;
  const std::vector<GjData>& data = entities.data;
  // Every entity of a number is taken by the first record of that number, so
  // a number's entities are handed out as one group, once.
  std::unordered_map<std::wstring, std::vector<const GjData*>> byNumber;
  for (const GjData& d : data) byNumber[d.number].push_back(&d);

  const AxisLocator& axes = FloorAxisLocator(*g_gjBuckets);
  QuantityLines lines;
  StringArray names, values;
  RecordCalcItems items(name);
  for (int record : records) {
    g_floorGjTable->current = record;
    auto group = byNumber.find(g_floorGjTable->field(L"编号"));
    if (group == byNumber.end()) continue;
    // The counted entity nearest the front of the list labels the row;
    // decorations and copies (fewer than two attribute lines) are not counted.
    const GjData* counted = nullptr;
    int count = 0;
    for (const GjData* e : group->second) {
      if (e->attrCount < 2) continue;
      if (!counted) counted = e;
      ++count;
    }
    byNumber.erase(group);
    if (count == 0) continue;
    const std::vector<CalcItemParts>& parts = items.ofCurrentRecord();
    RecordValueLists(names, values);
    PointList vertices;
    BulgeList bulges;
    entities.outlineOf(*counted, vertices, bulges);
    const std::wstring head = counted->handle + L"==" + axes.locate(vertices);
    GjQuantity q;
    q.text = PrecStr(count, 3);
    auto itemValue = [&name](const CalcItemParts& item, const GjQuantity& qq, std::wstring& n, std::wstring& t) {
      n = item.type.empty() ? name : item.type;
      t = qq.text;
    };
    lines.clear();
    EvaluateItemsFor(parts, head, q, itemValue, names, values, lines);
    AppendQuantityRow(lines, count);
  }
}

void CalcSupportWeightQuantities(StringArray& doneKinds, const std::wstring& name) {
  if (KindCalculatorOf(name) != KindCalculator::SupportWeight) {
    doneKinds.push_back(name);
    return;
  }
  static const std::wstring kWeight = L"单体重量(kg)";
  auto filter = [](const GjData& gj) { return IsBlockReferenceOrUnreadable(gj); };
  // The numbers whose missing weight has been named on the command line.
  std::unordered_set<std::wstring> named;
  auto quantity = [&](const MeasuredGj& gj, GjQuantity& q) {
    // The support's own parameter lines first; a weight they lack comes from
    // the parameters of its number in the floor table.
    StringArray floor;
    std::wstring w = GetAttrValue(gj.data->own, kWeight);
    if (w.empty()) {
      FloorGjParamLines(name, gj.data->number, floor);
      w = GetAttrValue(floor, kWeight);
    }
    if (w.empty() && named.insert(gj.data->number).second)
      sayGap(name, gj.data->number, L"没有参数" + kWeight + L"，按0计算。");
    q.name = name;
    q.text = PrecStr(std::wcstod(w.c_str(), nullptr), 3);
  };
  RunCalculatorSkeleton(doneKinds, name, filter, quantity);
}
