// The conductor calculators: wires and cables (照明导线, 动力导线, 消防导线,
// 其它导线, 电缆) and wire in conduit (导线·导管). A run's length counts once
// for conduit and tray items and once per conductor for wire items, and a
// vertical run that enters a box, a motor, a device, a switch or a socket
// gets the reserved length of the project's rules added for each of them.
#include <cmath>
#include <cwchar>
#include <algorithm>
#include <map>
#include <memory>
#include <unordered_set>

#include "module/model/special_data.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/linear_runs.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"

namespace {

// A device reached within this plan distance of a riser's insertion point...
constexpr double kDeviceReach = 16.0;
// ...whose elevation lies this close to one of the riser's ends.
constexpr double kDeviceElevReach = 10.0;

struct DeviceRule {
  const wchar_t* layer;
  const wchar_t* key;
};
constexpr DeviceRule kDeviceRules[] = {
    {L"配电箱", L"导线进出配电箱、配电柜、配电盘增加预留长度(mm)"},
    {L"配电柜", L"导线进出配电箱、配电柜、配电盘增加预留长度(mm)"},
    {L"配电盘", L"导线进出配电箱、配电柜、配电盘增加预留长度(mm)"},
    {L"动力设备", L"导线引至电动机增加预留长度(mm)"},
    {L"元件装置", L"导线进出电气元件装置预留长度(mm)"},
    {L"开关", L"导线进出开关盒预留长度(mm)"},
    {L"插座", L"导线进出插座盒预留长度(mm)"},
};

// One end device of the floor: a point component on a device layer.
struct Device {
  geom::Point3d position;
  double elev = 0;
  std::wstring number, normRule, billRule;
  const wchar_t* layer = nullptr;
};

// The floor's end devices with a plan grid of cells as large as the reach,
// so that a riser looks only at the devices of the nine cells around it.
class DeviceIndex {
 public:
  explicit DeviceIndex(cad::Database* db) {
    std::wstring layers;
    for (const DeviceRule& r : kDeviceRules) (layers += layers.empty() ? L"" : L",") += r.layer;
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(layers, L"", ids, db);
    for (cad::ObjectId id : ids) {
      std::wstring type;
      double elev = 0;
      GetPointGjSpecial(id, &type, &elev, nullptr);
      if (type != L"点构件") continue;
      Device d;
      d.elev = elev;
      std::wstring layer;
      {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        auto* ref = ent ? dynamic_cast<const cad::BlockReference*>(ent.get()) : nullptr;
        if (!ref) continue;
        d.position = ref->position();
        layer = ref->layer();
      }
      for (const DeviceRule& r : kDeviceRules)
        if (layer == r.layer) {
          d.layer = r.layer;
          d.normRule = GetAttrValue(g_ruleNormValues, r.key);
          d.billRule = GetAttrValue(g_ruleBillValues, r.key);
        }
      if (!d.layer) continue;
      StringArray attrs;
      GetGjNumberAndAttrs(id, d.number, attrs);
      cells_[cellOf(d.position)].push_back(devices_.size());
      devices_.push_back(std::move(d));
    }
  }

  // The devices a riser at p with the end elevations enters, in the floor's
  // model-space order.
  std::vector<const Device*> reachedBy(const geom::Point3d& p, double zs, double ze) const {
    std::vector<size_t> found;
    auto [cx, cy] = cellOf(p);
    for (long dx = -1; dx <= 1; ++dx)
      for (long dy = -1; dy <= 1; ++dy) {
        auto it = cells_.find({cx + dx, cy + dy});
        if (it == cells_.end()) continue;
        for (size_t i : it->second) {
          const Device& d = devices_[i];
          if (std::hypot(d.position.x - p.x, d.position.y - p.y) >= kDeviceReach) continue;
          if (std::fabs(zs - d.elev) < kDeviceElevReach || std::fabs(ze - d.elev) < kDeviceElevReach)
            found.push_back(i);
        }
      }
    std::sort(found.begin(), found.end());
    std::vector<const Device*> out;
    for (size_t i : found) out.push_back(&devices_[i]);
    return out;
  }

 private:
  using Cell = std::pair<long, long>;
  static Cell cellOf(const geom::Point3d& p) {
    return {static_cast<long>(std::floor(p.x / kDeviceReach)), static_cast<long>(std::floor(p.y / kDeviceReach))};
  }
  std::vector<Device> devices_;
  std::map<Cell, std::vector<size_t>> cells_;
};

class WirePass {
 public:
  WirePass(const std::wstring& kind, const wchar_t* countKey, cad::Database* db)
      : kind_(kind), countKey_(countKey), db_(db) {}

  void run(StringArray& doneKinds) {
    auto filter = [](const GjData& gj) { return IsRunType(gj.type); };
    auto quantity = [this](const MeasuredGj& gj, GjQuantity& q) { measure(gj, q); };
    auto itemValue = [this](const CalcItemParts& item, const GjQuantity& q, std::wstring& n, std::wstring& t) {
      pick(item, q, n, t);
    };
    RunCalculatorSkeleton(doneKinds, kind_, filter, quantity, itemValue);
  }

 private:
  // The conductor count of the record being computed after a "*" (its
  // number is the measured entity's: the skeleton measures each entity for
  // its record).
  const std::wstring& countFactor(const std::wstring& number) {
    auto it = counts_.find(number);
    if (it != counts_.end()) return it->second;
    StringArray lines;
    FloorGjParamLines(kind_, number, lines);
    const std::wstring v = GetAttrValue(lines, countKey_);
    if (v.empty()) say(number, L"没有参数" + std::wstring(countKey_) + L"，导线根数按0计算。");
    long n = std::wcstol(v.c_str(), nullptr, 10);
    return counts_[number] = L"*" + PrecStr(static_cast<double>(n), 0);
  }

  void say(const std::wstring& number, const std::wstring& what) {
    ed::printText(L"\n[" + g_runFloorName + L"]" + kind_ + L" " + number + L": " + what + L"\n");
  }

  // The reserve of a rule value at a device; empty for no reserve.
  std::wstring reserve(const std::wstring& rule, const Device& d) {
    if (rule.empty()) return {};
    if (rule == L"宽+高" || rule == L"高+宽") {
      StringArray lines;
      FloorGjParamLines(d.layer, d.number, lines);
      const std::wstring w = GetAttrValue(lines, L"构件宽度(mm)"), h = GetAttrValue(lines, L"构件高度(mm)");
      if ((w.empty() || h.empty()) && namedDevices_.insert(std::wstring(d.layer) + L"\n" + d.number).second)
        ed::printText(L"\n[" + g_runFloorName + L"]" + d.layer + L" " + d.number +
                      L": 没有参数构件宽度(mm)或构件高度(mm)，其预留长度按0计算。\n");
      return PrecStr(std::wcstod(w.c_str(), nullptr) / 1000.0 + std::wcstod(h.c_str(), nullptr) / 1000.0, 3);
    }
    return PrecStr(std::wcstod(rule.c_str(), nullptr) / 1000.0, 3);
  }

  void measure(const MeasuredGj& gj, GjQuantity& q) {
    const std::wstring& type = gj.data->type;
    q.text = PrecStr(MeasuredRunLength(gj) / 1000.0, 3);
    q.normText = q.billText = q.text;
    q.name = gj.data->number;  // the record's number, for the count
    if (type != L"立管" && type != L"贯通管") return;
    if (!gj.data->block) return;
    const geom::Point3d& p = gj.data->position;
    const double zs = gj.data->startElev, ze = gj.data->endElev;
    // The devices are collected at the first riser of the call.
    if (!devices_) devices_ = std::make_unique<DeviceIndex>(db_);
    for (const Device* d : devices_->reachedBy(p, zs, ze)) {
      std::wstring r = reserve(d->normRule, *d);
      if (!r.empty()) q.normText = L"(" + q.normText + L"+" + r + L")";
      r = reserve(d->billRule, *d);
      if (!r.empty()) q.billText = L"(" + q.billText + L"+" + r + L")";
    }
  }

  // Conduit and tray items count the run once; cable norm and bill items
  // take the reserves without the conductor count; every other wire item
  // counts each conductor.
  void pick(const CalcItemParts& item, const GjQuantity& q, std::wstring& name, std::wstring& text) {
    (name = item.type) += L"长";
    const bool cable = kind_ == L"电缆";
    if (item.type == L"导管" || item.type == L"线槽") {
      text = q.text;
    } else if (item.flag == L"定额") {
      text = q.normText;
      if (!cable) text += countFactor(q.name);
    } else if (item.flag == L"项") {
      text = q.billText;
      if (!cable) text += countFactor(q.name);
    } else {
      (text = q.text) += countFactor(q.name);
    }
  }

  std::wstring kind_;
  const wchar_t* countKey_;
  cad::Database* db_;
  std::unique_ptr<DeviceIndex> devices_;
  std::map<std::wstring, std::wstring> counts_;
  std::unordered_set<std::wstring> namedDevices_;
};

}  // namespace

void CalcWireQuantities(StringArray& doneKinds, const std::wstring& name, cad::Database* db) {
  if (KindCalculatorOf(name) != KindCalculator::Wire) {
    doneKinds.push_back(name);
    return;
  }
  WirePass(name, L"根数", db).run(doneKinds);
}

void CalcWireConduitQuantities(StringArray& doneKinds, const std::wstring& name, cad::Database* db) {
  if (KindCalculatorOf(name) != KindCalculator::WireConduit) {
    doneKinds.push_back(name);
    return;
  }
  WirePass(name, L"导线根数", db).run(doneKinds);
}
