#include "module/takeoff/gj_buckets.h"

#include <unordered_map>

#include "module/toolkit/strings.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"

namespace {

struct KindSlot {
  const wchar_t* name;
  int slot;
};

// The kinds in slot order; 轴网 and 辅助轴网 share slot 1.
constexpr KindSlot kKinds[] = {
    {L"轴网", 1}, {L"辅助轴网", 1},
    {L"给水管", 2}, {L"热给水管", 3}, {L"热回水管", 4}, {L"污水管", 5}, {L"废水管", 6}, {L"雨水管", 7},
    {L"中水管", 8}, {L"消防管", 9}, {L"喷淋管", 10}, {L"软管道", 11}, {L"其它管道", 12}, {L"阀门", 13},
    {L"法兰", 14}, {L"喷淋头", 15}, {L"普通水嘴", 16}, {L"冷热水嘴", 17}, {L"管道补偿器", 18},
    {L"管道仪器", 19}, {L"管道套管", 20}, {L"排水附件", 21}, {L"浴盆", 22}, {L"洗脸盆", 23},
    {L"淋浴器", 25}, {L"大便器", 26}, {L"小便器", 27}, {L"其它卫生器具", 30}, {L"给排水设备", 31},
    {L"消防设备", 32}, {L"其它设备", 33}, {L"管道沟槽", 34}, {L"检查井", 35}, {L"管道支架", 36},
    {L"管道堵头", 37}, {L"管道弯头", 38}, {L"管道三通", 39}, {L"管道四通", 40},
    {L"照明导线", 41}, {L"动力导线", 42}, {L"消防导线", 43}, {L"导管", 44}, {L"线槽", 45},
    {L"软导管", 46}, {L"导线·导管", 47}, {L"电缆", 48}, {L"母线馈线", 49}, {L"桥架", 50}, {L"托盘", 51},
    {L"组合式桥架", 52}, {L"其它导线", 53}, {L"点状灯具", 54}, {L"块状灯具", 55}, {L"插座", 56},
    {L"开关", 57}, {L"接线盒", 58}, {L"管线套管", 59}, {L"其它电器具", 60}, {L"动力设备", 61},
    {L"电消防设备", 62}, {L"配电箱", 63}, {L"配电柜", 64}, {L"配电盘", 65}, {L"元件装置", 66},
    {L"其它电设备", 67}, {L"接地极", 68}, {L"接地母线", 69}, {L"接地跨接线", 70}, {L"避雷针", 71},
    {L"避雷引下线", 72}, {L"避雷带", 73}, {L"电缆沟槽", 74}, {L"电缆井", 75}, {L"电气支架", 76},
    {L"设备基础", 77},
    {L"送风管", 78}, {L"新风管", 79}, {L"回风管", 80}, {L"排风管", 81}, {L"除尘排烟管", 82},
    {L"柔性风管", 83}, {L"其它风管", 84}, {L"热供水管", 85}, {L"热回水管(暖通)", 86}, {L"冷供水管", 87},
    {L"冷回水管", 88}, {L"冷却水管", 89}, {L"凝结水管", 90}, {L"软水管", 91}, {L"其它水管", 92},
    {L"送风口", 93}, {L"新风口", 94}, {L"回风口", 95}, {L"排风口", 96}, {L"排烟口", 97},
    {L"其它风口", 98}, {L"空调机组", 99}, {L"风机盘管", 100}, {L"通风机", 101}, {L"除尘设备", 102},
    {L"其它风设备", 103}, {L"风阀", 104}, {L"风法兰", 105}, {L"导流片", 106}, {L"风帽", 107},
    {L"静压箱", 108}, {L"消声器", 109}, {L"过滤器", 110}, {L"水阀", 111}, {L"水法兰", 112},
    {L"水管补偿器", 113}, {L"水管仪器", 114}, {L"暖通套管", 115}, {L"冷水机组", 116}, {L"锅炉", 117},
    {L"水泵", 118}, {L"冷却塔", 119}, {L"散热器", 120}, {L"暖风机", 121}, {L"其它暖设备", 122},
    {L"地暖盘管", 123}, {L"风管支架", 124}, {L"水管支架", 125}, {L"暖通设备基础", 126},
    {L"暖通检查井", 127}, {L"暖通管道沟槽", 128}, {L"弯头", 129}, {L"三通", 130}, {L"四通", 131},
    {L"来回弯", 132}, {L"大小头", 133}, {L"水管堵头", 134}, {L"水管弯头", 135}, {L"水管三通", 136},
    {L"水管四通", 137},
};
static_assert(std::size(kKinds) == 135);

// The kinds by name, and their names joined into one layer list.
struct KindIndex {
  std::unordered_map<std::wstring, int> slotByName;
  std::wstring layerList;
  KindIndex() {
    for (const KindSlot& k : kKinds) {
      slotByName.emplace(k.name, k.slot);
      if (!layerList.empty()) layerList += L",";
      layerList += k.name;
    }
  }
};

const KindIndex& kindIndex() {
  static const KindIndex index;
  return index;
}

bool isUnusedSlot(int slot) { return slot == 24 || slot == 28 || slot == 29; }

}  // namespace

int GjKindSlot(const std::wstring& name) {
  auto it = kindIndex().slotByName.find(name);
  return it == kindIndex().slotByName.end() ? -1 : it->second;
}

const std::wstring& GjKindLayerList() { return kindIndex().layerList; }

void ClearGjBuckets(GjBuckets& buckets) {
  for (int slot = 1; slot < kGjSlotCount; ++slot)
    if (!isUnusedSlot(slot)) buckets.slots[slot].clear();
}

const AxisLocator& FloorAxisLocator(GjBuckets& buckets) {
  if (!buckets.axes) buckets.axes = std::make_unique<AxisLocator>(buckets.slots[kGjAxisSlot]);
  return *buckets.axes;
}

void SortFloorGjIntoBuckets(GjBuckets& buckets) {
  ClearGjBuckets(buckets);
  buckets.axes.reset();
  cad::ObjectIdArray& all = buckets.slots[0];
  all.clear();
  cad::Database* db = buckets.database ? buckets.database : cad::workingDatabase();
  if (!db) return;
  // The kind layers by id, each with its slot (names compared exactly), so
  // that one pass over model space sorts every entity by the layer it is on.
  std::unordered_map<cad::ObjectId, int> slotOfLayer;
  {
    cad::ObjectPtr<cad::LayerTable> layers(db->layerTableId(), cad::OpenMode::ForRead);
    if (!layers) return;
    for (cad::ObjectId rid : layers->recordIds()) {
      cad::ObjectPtr<cad::LayerRecord> rec(rid, cad::OpenMode::ForRead);
      if (!rec) continue;
      const int slot = GjKindSlot(rec->name());
      if (slot > 0) slotOfLayer.emplace(rid, slot);
    }
  }
  cad::ObjectPtr<cad::BlockTable> blocks(db->blockTableId(), cad::OpenMode::ForRead);
  if (!blocks) return;
  cad::ObjectPtr<cad::BlockRecord> space(blocks->getAt(cad::kModelSpace), cad::OpenMode::ForRead);
  if (!space) return;
  // Model space's own list in its order; an erased entity refuses the open.
  for (cad::ObjectId id : space->entitiesMutable()) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) continue;
    auto it = slotOfLayer.find(ent->layerId());
    if (it == slotOfLayer.end()) continue;
    all.push_back(id);
    buckets.slots[it->second].push_back(id);
  }
}
