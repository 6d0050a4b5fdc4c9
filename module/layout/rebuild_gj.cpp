// Component rebuild: the dispatch by type, the rebuild of every type, the
// family routines and the in-place rebuild of wires and conduits.
#include "module/layout/rebuild_gj.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "module/layout/heating_coil.h"
#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/pipe_outline.h"
#include "module/model/point_blocks.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/progress.h"
#include "platform/editor/prompts.h"

namespace {

// Which definition a family reads its section or figure from, so that the
// dispatch can refuse numbers that have none.
enum class Definition { Linear, Point, None };

struct Family {
  GjRebuildFn fn;
  Definition definition;
};

// The dispatch table: every type name in one row.
struct DispatchRow {
  GjRebuildFn fn;
  const wchar_t* types;
};
const DispatchRow kDispatch[] = {
    {&RebuildPipeGj,
     L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道,热供水管,热回水管(暖通),"
     L"冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管,接地母线"},
    {&RebuildWireGj, L"照明导线,动力导线,消防导线,其它导线,导线·导管"},
    // Lightning bands are decorated like conduits (their create routine is
    // the pipes', their decoration the run decoration), so they are rebuilt
    // in place like conduits.
    {&RebuildConduitGj, L"导管,线槽,软导管,避雷带"},
    {&RebuildCableGj, L"电缆,母线馈线"},
    {&RebuildBridgeGj, L"桥架,组合式桥架"},
    {&RebuildTrayGj, L"托盘"},
    {&RebuildDuctGj, L"送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"},
    {&RebuildGrooveGj, L"管道沟槽,暖通管道沟槽"},
    {&RebuildCableGrooveGj, L"电缆沟槽"},
    {&RebuildCoilGj, L"地暖盘管"},
    // Point components; 喷头 and 应急灯 are laid by the accessory and lamp
    // commands and are rebuilt like their kin.
    {&RebuildPointGjs,
     L"阀门,法兰,喷淋头,喷头,普通水嘴,冷热水嘴,排水附件,管道补偿器,管道仪器,管道套管,浴盆,洗脸盆,淋浴器,大便器,"
     L"小便器,其它卫生器具,给排水设备,消防设备,其它设备,检查井,管道支架,点状灯具,块状灯具,应急灯,插座,开关,"
     L"其它电器具,接线盒,管线套管,动力设备,电消防设备,其它电设备,配电箱,配电柜,配电盘,元件装置,接地极,"
     L"接地跨接线,避雷针,避雷引下线,电缆井,电气支架,设备基础,送风口,新风口,回风口,排风口,排烟口,其它风口,"
     L"空调机组,风机盘管,通风机,除尘设备,其它风设备,风阀,风法兰,导流片,风帽,静压箱,消声器,过滤器,水阀,水法兰,"
     L"水管补偿器,水管仪器,暖通套管,冷水机组,锅炉,水泵,冷却塔,散热器,暖风机,其它暖设备,风管支架,水管支架,"
     L"暖通检查井,暖通设备基础"},
};

// The order of the rebuild of all types, each group followed by its meter
// position (105 is skipped, as it always was).
const GjRebuildGroup kOrder[] = {
    {L"给水管,热给水管,热回水管,污水管,废水管", 5},
    {L"雨水管,中水管,消防管,喷淋管,软管道", 10},
    {L"其它管道,照明导线,动力导线,消防导线,其它导线,导管", 15},
    {L"线槽,软导管,导线·导管,电缆,母线馈线", 20},
    {L"桥架,托盘,组合式桥架,送风管,新风管", 25},
    {L"回风管,排风管,除尘排烟管,柔性风管,其它风管", 30},
    {L"热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管", 35},
    {L"软水管,其它水管,法兰,阀门,喷淋头,喷头,排水附件,普通水嘴,冷热水嘴,管道补偿器", 40},
    {L"管道仪器,管道套管,浴盆", 45},
    {L"洗脸盆,淋浴器,大便器", 50},
    {L"小便器,其它卫生器具,给排水设备", 55},
    {L"消防设备,其它设备,检查井,管道支架,管道沟槽,点状灯具,块状灯具,应急灯", 60},
    {L"插座,开关,其它电器具,接线盒,管线套管", 65},
    {L"动力设备,电消防设备,其它电设备,配电箱,配电柜", 70},
    {L"配电盘,元件装置,接地极,接地跨接线,避雷针,避雷带", 75},
    {L"避雷引下线,接地母线,电缆井,电气支架,设备基础,电缆沟槽,送风口", 80},
    {L"新风口,回风口,排风口,排烟口,其它风口", 85},
    {L"空调机组,风机盘管,通风机,除尘设备,其它风设备", 90},
    {L"风阀,风法兰,导流片,风帽,静压箱", 95},
    {L"消声器,过滤器,水阀,水法兰,水管补偿器", 100},
    {L"水管仪器,暖通套管,冷水机组,锅炉,水泵", 110},
    {L"冷却塔,散热器,暖风机,其它暖设备,地暖盘管", 115},
    {L"风管支架,水管支架,暖通设备基础,暖通检查井,暖通管道沟槽", 120},
};

const std::unordered_map<std::wstring, GjRebuildFn>& dispatchMap() {
  static const std::unordered_map<std::wstring, GjRebuildFn> map = [] {
    std::unordered_map<std::wstring, GjRebuildFn> m;
    for (const DispatchRow& row : kDispatch) {
      StringArray types;
      SplitToArray(row.types, L",", types);
      for (const std::wstring& t : types) m.emplace(t, row.fn);
    }
    return m;
  }();
  return map;
}

Definition definitionOf(GjRebuildFn fn) {
  if (fn == &RebuildCoilGj) return Definition::None;
  if (fn == &RebuildPointGjs) return Definition::Point;
  return Definition::Linear;
}

// ---------------------------------------------------------------------------
// What the dispatch does before a family routine
// ---------------------------------------------------------------------------

// Adds the labels and outlines of the listed primary entities that the list
// does not hold: a rebuild of the list draws them afresh, so the old ones
// must go with it.
void addDecorationsOfListed(const std::wstring& name, cad::ObjectIdArray& ids) {
  std::unordered_set<std::wstring> owners;
  std::unordered_set<cad::ObjectId> listed(ids.begin(), ids.end());
  for (cad::ObjectId id : ids) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.size() >= 2) owners.insert(GetHandleText(id));
  }
  if (owners.empty()) return;
  cad::ObjectIdArray decorations;
  CollectIdsByLayerAndNumber(name + kLabelLayerSuffix + L"," + name + kEdgeLayerSuffix, L"", decorations, nullptr);
  for (cad::ObjectId id : decorations) {
    if (listed.count(id)) continue;
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.size() == 1 && owners.count(attrs.front())) ids.push_back(id);
  }
}

// The x and y of every piece of every line of a coordinate text are
// numbers, and so is a value after ":"; bad = the first piece that is not.
bool coordinatesAreNumbers(const std::wstring& text, std::wstring& bad) {
  StringArray lines;
  SplitLines(text, lines);
  for (const std::wstring& line : lines) {
    StringArray pieces;
    SplitToArray(line, L"|", pieces);
    for (std::wstring piece : pieces) {
      if (piece.empty()) continue;
      const std::wstring whole = piece;
      if (size_t dots = piece.find(L".."); dots != std::wstring::npos) piece.erase(dots);
      std::wstring value;
      if (size_t colon = piece.find(L':'); colon != std::wstring::npos) {
        value = piece.substr(colon + 1);
        piece.erase(colon);
      }
      StringArray xyz;
      SplitToArray(piece, L",", xyz);
      double v = 0;
      if (xyz.size() < 2 || !ed::parseReal(xyz[0], v) || !ed::parseReal(xyz[1], v) ||
          (!value.empty() && !ed::parseReal(value, v))) {
        bad = whole;
        return false;
      }
    }
  }
  return true;
}

// Leaves out of the list every entity of a number that the definition
// cannot draw: a number without a row in the floor's component table, or
// whose section coordinates hold a value that is no number (a parameter
// missing or not a number). Says so once per number.
void dropUndrawableNumbers(const std::wstring& name, Definition definition, cad::ObjectIdArray& ids) {
  if (definition == Definition::None || ids.empty()) return;
  std::map<std::wstring, bool> drawable;
  std::vector<std::wstring> numbers(ids.size());
  bool loaded = false;
  const CurrentGj* def = nullptr;
  for (size_t i = 0; i < ids.size(); ++i) {
    StringArray attrs;
    GetGjNumberAndAttrs(ids[i], numbers[i], attrs);
    if (attrs.size() < 2 || drawable.count(numbers[i])) continue;
    if (!loaded) {
      // The family routine loads the definition again, forced, as it
      // always has; this load only answers which numbers it can draw.
      if (definition == Definition::Point) {
        LoadPointGjByName(name, L"", true);
        def = &g_curPointGj;
      } else {
        LoadGjDefineByName(name, true);
        def = &g_curLineGj;
      }
      loaded = true;
    }
    const std::wstring& number = numbers[i];
    const bool defined = std::any_of(def->params.begin(), def->params.end(), [&](const std::wstring& item) {
      return item.size() > number.size() && item.compare(0, number.size(), number) == 0 &&
             item[number.size()] == L'=';
    });
    std::wstring bad;
    if (!defined) {
      ed::print(L"\n%s %s 在构件表中没有定义,未重建\n", name.c_str(), number.c_str());
      drawable[number] = false;
    } else if (!coordinatesAreNumbers(GetAttrValue(def->coords, number), bad)) {
      ed::print(L"\n%s %s 的截面坐标\"%s\"中有参数缺少或不是数值,未重建\n", name.c_str(), number.c_str(),
                bad.c_str());
      drawable[number] = false;
    } else {
      drawable[number] = true;
    }
  }
  cad::ObjectIdArray kept;
  kept.reserve(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    auto it = drawable.find(numbers[i]);
    if (it == drawable.end() || it->second) kept.push_back(ids[i]);
  }
  ids.swap(kept);
}

// The entities of model space by layer name, in model-space order: one pass
// for the rebuild of every type instead of one per type.
class LayerIndex {
 public:
  LayerIndex() {
    cad::Database* db = cad::workingDatabase();
    if (!db) return;
    std::unordered_map<cad::ObjectId, std::wstring> layerNames;
    {
      cad::ObjectPtr<cad::LayerTable> table(db->layerTableId(), cad::OpenMode::ForRead);
      if (table)
        for (cad::ObjectId rid : table->recordIds()) {
          cad::ObjectPtr<cad::LayerRecord> rec(rid, cad::OpenMode::ForRead);
          if (rec) layerNames.emplace(rid, rec->name());
        }
    }
    CollectIdsByLayerAndNumber(L"", L"", all_, db);
    for (size_t i = 0; i < all_.size(); ++i) {
      cad::ObjectPtr<cad::Entity> ent(all_[i], cad::OpenMode::ForRead);
      if (!ent) continue;
      auto it = layerNames.find(ent->layerId());
      if (it != layerNames.end()) byLayer_[it->second].push_back(i);
    }
  }

  // The entities on the three layers of the name, in model-space order.
  cad::ObjectIdArray idsOf(const std::wstring& name) const {
    std::vector<size_t> order;
    for (const std::wstring& layer : {name, name + kLabelLayerSuffix, name + kEdgeLayerSuffix}) {
      auto it = byLayer_.find(layer);
      if (it != byLayer_.end()) order.insert(order.end(), it->second.begin(), it->second.end());
    }
    std::sort(order.begin(), order.end());
    cad::ObjectIdArray ids;
    ids.reserve(order.size());
    for (size_t i : order) ids.push_back(all_[i]);
    return ids;
  }

 private:
  cad::ObjectIdArray all_;
  std::unordered_map<std::wstring, std::vector<size_t>> byLayer_;
};

// One type: the entities to rebuild, checked, then the family routine.
void rebuildType(GjRebuildFn fn, const std::wstring& type, const std::wstring& number,
                 const cad::ObjectIdArray& given, const LayerIndex* index) {
  cad::ObjectIdArray ids = given;
  if (ids.empty()) {
    ids = index ? index->idsOf(type) : GjRebuildIds(type, number, given);
    // Nothing on the layers: the routine still colours them.
    if (ids.empty()) return fn(type, number, ids);
  } else {
    addDecorationsOfListed(type, ids);
  }
  dropUndrawableNumbers(type, definitionOf(fn), ids);
  // Everything left out: nothing to rebuild (an empty list would make the
  // routine collect again).
  if (ids.empty()) return;
  fn(type, number, ids);
}

bool rebuildGjByTypeSeam(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids) {
  return RebuildGjByType(type, number, ids);
}

bool rebuildAllGjTypesSeam() {
  RebuildAllGjTypes();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Dispatch
// ---------------------------------------------------------------------------

GjRebuildFn FindGjRebuild(const std::wstring& type) {
  auto it = dispatchMap().find(type);
  return it == dispatchMap().end() ? nullptr : it->second;
}

const GjRebuildGroup* GjRebuildOrder(size_t& count) {
  count = std::size(kOrder);
  return kOrder;
}

bool RebuildGjByType(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids) {
  GjRebuildFn fn = FindGjRebuild(type);
  if (!fn) return false;
  rebuildType(fn, type, number, ids, nullptr);
  return true;
}

void RebuildAllGjTypes() {
  ed::setStatusBarProgressMeter(L"重建", 0, 120);
  const LayerIndex index;
  for (const GjRebuildGroup& group : kOrder) {
    StringArray types;
    SplitToArray(group.types, L",", types);
    for (const std::wstring& type : types)
      if (GjRebuildFn fn = FindGjRebuild(type)) rebuildType(fn, type, L"", {}, &index);
    ed::setStatusBarProgressMeterPos(group.meter);
  }
  ed::restoreStatusBar();
}

void InstallRebuildSeams() {
  Seams().rebuildGjByType = &rebuildGjByTypeSeam;
  Seams().rebuildAllGjTypes = &rebuildAllGjTypesSeam;
}

// ---------------------------------------------------------------------------
// Shared steps
// ---------------------------------------------------------------------------

std::wstring GjLayerList(const std::wstring& name) {
  return name + L"," + name + kLabelLayerSuffix + L"," + name + kEdgeLayerSuffix;
}

cad::ObjectIdArray GjRebuildIds(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  if (!ids.empty()) return ids;
  cad::ObjectIdArray collected;
  CollectIdsByLayerAndNumber(GjLayerList(name), number, collected, nullptr);
  return collected;
}

void RestampGjPrimary(cad::ObjectId id, StringArray& attrs) {
  attrs.front() = GetHandleText(id);
  ClearXdata(id, kXdataAttrs);
  SetXdataLines(id, kXdataAttrs, attrs, nullptr);
}

void ColourGjLayers(const std::wstring& name, std::uint32_t colour, std::uint32_t labelColour) {
  SetLayerColorRGB(name, colour, nullptr);
  SetLayerColorRGB(name + kEdgeLayerSuffix, colour, nullptr);
  SetLayerColorRGB(name + kLabelLayerSuffix, labelColour, nullptr);
}

void WalkRebuildIds(const cad::ObjectIdArray& work, cad::ObjectIdArray& decorations, const GjPrimaryVisit& primary) {
  for (cad::ObjectId id : work) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.size() < 2) {
      decorations.push_back(id);
      continue;
    }
    RestampGjPrimary(id, attrs);
    primary(id, number, attrs);
  }
}

// ---------------------------------------------------------------------------
// Family routines
// ---------------------------------------------------------------------------

void RebuildPipeGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreatePipeGj, &DecoratePipeGj, ids);
}

void RebuildWireGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildConduitGj(name, number, ids);
}

void RebuildConduitGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  LoadGjDefineByName(name, true);
  ColourGjLayers(name, g_curLineGj.colour, g_curLineGj.labelColour);

  cad::ObjectIdArray toErase, kept;
  {
    OverlapCheckOff rebuilding;
    WalkRebuildIds(GjRebuildIds(name, number, ids), toErase, [&](cad::ObjectId id, const std::wstring& num,
                                                                 const StringArray&) {
      bool isRun = false;
      {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        if (!ent) return;  // left as it is
        isRun = cad::isKindOf<cad::Polyline>(ent.get()) || cad::isKindOf<cad::BlockReference>(ent.get());
      }
      if (!isRun) {
        // A primary entity that is neither a run nor a riser: left, named.
        ReportGjNotRebuilt(name, num, id);
        return;
      }
      DecorateConduitGj(name, id);
      kept.push_back(id);
    });
  }
  EraseEntities(toErase);
  RefreshSolid3dOfType(name, kept, ed::curDatabase());
}

void RebuildCableGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreateCableGj, &DecorateCableGj, ids);
}

void RebuildBridgeGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreateBridgeGj, &DecorateBridgeGj, ids);
}

void RebuildTrayGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreateTrayGj, &DecorateTrayGj, ids);
}

void RebuildCableGrooveGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreateGrooveGj, &DecorateTrayGj, ids);
}

void RebuildDuctGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreateDuctGj, &DecorateDuctGj, ids);
}

void RebuildGrooveGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  RebuildGjByName(name, number, &CreateGrooveGj, &DecorateGrooveGj, ids);
}
