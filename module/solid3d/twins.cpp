// The per-type pass, the full pass and the refresh of the 3D twins.
#include "module/solid3d/twins.h"

#include <set>
#include <unordered_map>
#include <unordered_set>

#include "module/model/params.h"
#include "module/model/project_tables.h"
#include "module/model/seams.h"
#include "module/solid3d/duct_fitting_meshes.h"
#include "module/solid3d/pipe_solids.h"
#include "module/solid3d/point_blocks.h"
#include "module/solid3d/shape_solids.h"
#include "module/solid3d/swept_meshes.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/reactor.h"
#include "platform/editor/selection.h"
#include "platform/solid/body.h"

namespace {

enum class Pass { Pipe, Wire, Swept, WireInConduit, DuctFitting, PipeFitting, PointBlock, Shape };

struct TypeRun {
  Pass pass;
  const wchar_t* types;
};

// The build order of the twins.
const TypeRun kTypeTable[] = {
    {Pass::Pipe, L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道"},
    {Pass::Wire, L"照明导线,动力导线,消防导线,其它导线"},
    {Pass::Swept, L"导管,线槽,软导管"},
    {Pass::WireInConduit, L"导线·导管"},
    {Pass::Wire, L"电缆,母线馈线"},
    {Pass::Swept, L"桥架,托盘,组合式桥架,送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"},
    {Pass::DuctFitting, L"弯头,三通,四通,来回弯,大小头"},
    {Pass::PipeFitting, L"管道堵头,管道弯头,管道三通,管道四通,水管堵头,水管弯头,水管三通,水管四通"},
    {Pass::Pipe, L"热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管"},
    {Pass::PointBlock, L"阀门,法兰,喷淋头,普通水嘴,冷热水嘴,排水附件"},
    {Pass::Shape, L"管道补偿器"},
    {Pass::PointBlock, L"管道仪器"},
    {Pass::Shape, L"管道套管"},
    {Pass::PointBlock, L"浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具,给排水设备,消防设备,其它设备"},
    {Pass::Swept, L"管道沟槽"},
    {Pass::Shape, L"检查井"},
    {Pass::PointBlock, L"管道支架,点状灯具,块状灯具,插座,开关,接线盒"},
    {Pass::Shape, L"管线套管"},
    {Pass::PointBlock, L"其它电器具,动力设备,电消防设备"},
    {Pass::Shape, L"配电箱,配电柜,配电盘"},
    {Pass::PointBlock, L"元件装置,其它电设备,接地极"},
    {Pass::Wire, L"接地母线"},
    {Pass::PointBlock, L"接地跨接线,避雷针"},
    {Pass::Wire, L"避雷引下线,避雷带"},
    {Pass::Swept, L"电缆沟槽"},
    {Pass::Shape, L"电缆井"},
    {Pass::PointBlock, L"电气支架"},
    {Pass::Shape, L"设备基础,送风口,新风口,回风口,排风口,排烟口,其它风口"},
    {Pass::PointBlock, L"空调机组,风机盘管,通风机,除尘设备,其它风设备,风阀,风法兰,导流片,风帽"},
    {Pass::Shape, L"静压箱"},
    {Pass::PointBlock, L"消声器,过滤器,水阀,水法兰"},
    {Pass::Shape, L"水管补偿器"},
    {Pass::PointBlock, L"水管仪器,冷水机组,锅炉,水泵,冷却塔,散热器,暖风机"},
    {Pass::Shape, L"暖通套管,地暖盘管"},
    {Pass::PointBlock, L"其它暖设备,风管支架,水管支架"},
    {Pass::Shape, L"暖通检查井"},
    {Pass::Swept, L"暖通管道沟槽"},
    {Pass::Shape, L"暖通设备基础"},
};

struct TableIndex {
  std::vector<std::pair<std::size_t, std::wstring>> order;  // (run, type) in build order
  std::unordered_map<std::wstring, std::size_t> slot;       // type -> index in order
};

const TableIndex& tableIndex() {
  static const TableIndex index = [] {
    TableIndex t;
    for (std::size_t r = 0; r < std::size(kTypeTable); ++r) {
      StringArray types;
      SplitToArray(kTypeTable[r].types, L",", types);
      for (const std::wstring& type : types) {
        t.slot.emplace(type, t.order.size());
        t.order.emplace_back(r, type);
      }
    }
    return t;
  }();
  return index;
}

void runPass(Pass pass, const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db) {
  if (ids.empty()) return;
  switch (pass) {
    case Pass::Pipe: BuildTypeSolids({&MakePipeSolid, L"坐标", true}, type, ids, db); break;
    case Pass::Wire: BuildTypeSolids({&MakeWireMesh, L"坐标", true}, type, ids, db); break;
    case Pass::Swept: BuildTypeSolids({&MakeSweptSectionMesh, L"坐标", true}, type, ids, db); break;
    case Pass::WireInConduit: BuildTypeSolids({&MakeWireInConduitMeshes, L"坐标", true}, type, ids, db); break;
    case Pass::DuctFitting: BuildDuctFittingSolids(type, ids); break;
    case Pass::PipeFitting: BuildTypeSolids({&MakePipeFittingSolid, nullptr, false}, type, ids, db); break;
    case Pass::PointBlock: BuildPointBlockSolids(type, ids, db); break;
    case Pass::Shape: BuildTypeSolids({&MakeShapeSolids, L"三维坐标", true}, type, ids, db); break;
  }
}

bool entityAlive(const std::wstring& handle) {
  if (handle.empty()) return false;
  cad::ObjectId id = ed::idFromHandle(handle);
  if (id.isNull()) return false;
  cad::ObjectPtr<cad::DbObject> o(id, cad::OpenMode::ForRead);
  return o.status() == cad::Status::Ok;
}

std::wstring numberOf(cad::ObjectId id) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  return number;
}

// Told of the end of every command while the one-floor 3D view is on: the
// twins of the components a command erased (the host's ERASE as much as the
// module's own commands) are erased with them. It looks at what changed in
// the drawing since the last command, so its cost follows the command's work.
class EraseWatch : public ed::EditorReactor {
 public:
  ~EraseWatch() override { ed::removeReactor(this); }

  // Starts watching the current drawing from now on.
  void start() {
    ed::addReactor(this);
    db_ = ed::curDatabase();
    cursor_ = {};
    pending_.clear();
    std::vector<cad::ObjectId> none;
    if (db_) db_->changesSince(cursor_, none);
  }

  void commandEnded(const std::wstring&) override { sweep(); }
  void commandCancelled(const std::wstring&) override { sweep(); }
  void commandFailed(const std::wstring&) override { sweep(); }

 private:
  void sweep() {
    cad::Database* db = ed::curDatabase();
    if (!db) return;
    if (db != db_ || g_solidMode != SolidMode::Floor3d) {
      // Another drawing, or the view is no longer the one-floor model: what
      // changed meanwhile has no twins to follow.
      start();
      return;
    }
    std::vector<cad::ObjectId> changed;
    if (!db->changesSince(cursor_, changed)) return;
    changed.insert(changed.end(), pending_.begin(), pending_.end());
    pending_.clear();
    std::unordered_set<cad::ObjectId> seen;
    std::set<std::wstring> types;
    for (cad::ObjectId id : changed) {
      if (!seen.insert(id).second) continue;
      cad::DbObject* obj = nullptr;
      cad::Status st = cad::openObject(obj, id, cad::OpenMode::ForRead, true);
      if (st == cad::Status::WasOpenForWrite) {
        pending_.push_back(id);  // still being changed: looked at after the next command
        continue;
      }
      if (st != cad::Status::Ok) continue;
      if (obj->isErased())
        if (auto* ent = dynamic_cast<cad::Entity*>(obj); ent && HasSolidPass(ent->layer())) types.insert(ent->layer());
      obj->close();
    }
    for (const std::wstring& type : types) {
      const std::wstring twinLayer = type + kTwinLayerSuffix;
      bool locked = false;
      GetLayerFlags(twinLayer, nullptr, nullptr, &locked, nullptr);
      SetLayerLocked(twinLayer, false, nullptr);
      EraseSolidTwins(type, {}, nullptr);
      SetLayerLocked(twinLayer, locked, nullptr);
    }
  }

  cad::Database* db_ = nullptr;
  cad::Database::ChangeCursor cursor_;
  std::vector<cad::ObjectId> pending_;
};

// The watch takes itself off the editor's list when the module goes. The
// list is made before the watch, so that it ends after it (statics end in
// the reverse order of their making).
EraseWatch& eraseWatch() {
  static const std::size_t listFirst = ed::reactors().size();
  static EraseWatch watch;
  (void)listFirst;
  return watch;
}

// Installs the refresh in the seams of the component model when the module loads.
[[maybe_unused]] const bool kSeamsInstalled = [] {
  Seams().refreshSolid3dOfEntity = &RefreshSolidTwinsOfEntity;
  Seams().refreshSolid3dOfType = &RefreshSolidTwinsOfType;
  return true;
}();

}  // namespace

std::wstring TwinKey(cad::ObjectId id) {
  StringArray lines;
  GetXdataLines(id, L"属性", lines);
  return lines.empty() ? std::wstring() : lines.front();
}

void StampTwin(cad::Entity* twin, const std::wstring& number, const std::wstring& key) {
  SetGjXdataOpen(twin, number, key, nullptr);
}

std::wstring ComponentFigure(cad::ObjectId id, const std::wstring& number, const TypeRows& rows) {
  StringArray own;
  GetXdataLines(id, L"构件", own);
  if (!own.empty()) {
    std::wstring out;
    ComputeGjCoordsOf(rows.formulas, number, own, out, 0);
    return out;
  }
  return GetAttrValue(rows.coords, number);
}

StringArray ComponentParameters(cad::ObjectId id, const std::wstring& number, const TypeRows& rows) {
  StringArray lines;
  GetXdataLines(id, L"构件", lines);
  if (lines.empty()) SplitLines(GetAttrValue(rows.params, number), lines);
  return lines;
}

std::wstring SectionFigure(cad::ObjectId id, const std::wstring& number, const TypeRows& rows) {
  std::wstring figure = ComponentFigure(id, number, rows);
  if (!figure.empty()) return figure;
  const StringArray lines = ComponentParameters(id, number, rows);
  auto value = [&](const wchar_t* key) { return std::wcstod(GetAttrValue(lines, key).c_str(), nullptr); };
  double d = value(L"公称管径D_0(mm)");
  if (d <= 0) d = value(L"导管规格(mm)");
  if (d > 0) return ed::format(L"%g,0:1|%g,0:1|%g,0", -d / 2, d / 2, -d / 2);
  double b = value(L"B"), h = value(L"H");
  if (b > 0 && h > 0)
    return ed::format(L"%g,%g|%g,%g|%g,%g|%g,%g|%g,%g", -b / 2, -h / 2, b / 2, -h / 2, b / 2, h / 2, -b / 2, h / 2,
                      -b / 2, -h / 2);
  return L"";
}

bool HasSolidPass(const std::wstring& type) { return tableIndex().slot.count(type) > 0; }

void WatchErasedComponents() { eraseWatch().start(); }

void BuildTypeSolids(const SolidPass& pass, const std::wstring& type, const cad::ObjectIdArray& idsIn,
                     cad::Database* db) {
  const cad::ObjectIdArray ids = idsIn;
  if (ids.empty()) return;
  const std::wstring twinLayer = type + kTwinLayerSuffix;
  GetOrCreateLayer(twinLayer, nullptr);
  if (pass.copyLayerColour) {
    cad::Color colour;
    GetLayerColor(type, colour, db);
    SetLayerColor(twinLayer, colour, nullptr);
  }
  TypeRows rows;
  if (pass.figureField) {
    ReadFloorGjParams(rows.params, g_workFloorName, type, L"", L"参数");
    ReadFloorGjField(rows.formulas, g_workFloorName, type, L"", pass.figureField);
    ComputeGjCoords(rows.formulas, rows.params, rows.coords, 0);
  }
  for (cad::ObjectId id : ids) {
    if (!IsEntityVisible(id)) continue;
    TwinList twins;
    std::wstring why;
    try {
      why = pass.builder(type, id, rows, twins);
    } catch (const solid::ModelError&) {
      why = L"三维造型失败";
    }
    if (!why.empty()) {
      ed::print(L"\n%s %s(%s) 未生成三维实体: %s", type.c_str(), numberOf(id).c_str(), GetHandleText(id).c_str(),
                why.c_str());
      continue;
    }
    for (auto& twin : twins) {
      if (!twin) continue;
      cad::Entity* raw = twin.release();
      if (!AppendToModelSpace(raw, L"", nullptr).isNull()) raw->close();
    }
  }
}

void BuildSolidsOfTypes(const StringArray& types, const cad::ObjectIdArray& idsIn, cad::Database* db) {
  cad::ObjectIdArray ids = idsIn;
  if (ids.empty()) {
    std::wstring layers;
    JoinArray(types, L",", layers);
    if (layers.empty()) return;
    CollectIdsByLayerAndNumber(layers, L"", ids, db);
  }
  const TableIndex& table = tableIndex();
  std::vector<cad::ObjectIdArray> buckets(table.order.size());
  for (cad::ObjectId id : ids) {
    std::wstring layer;
    GetEntityLayer(id, layer);
    auto it = table.slot.find(layer);
    if (it != table.slot.end()) buckets[it->second].push_back(id);
  }
  for (std::size_t i = 0; i < table.order.size(); ++i)
    runPass(kTypeTable[table.order[i].first].pass, table.order[i].second, buckets[i], db);
}

void EraseSolidTwins(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db) {
  if (g_solidMode != SolidMode::Floor3d) return;
  cad::ObjectIdArray twins;
  CollectIdsByLayerAndNumber(type + kTwinLayerSuffix, L"", twins, db);
  if (twins.empty()) return;
  std::unordered_set<std::wstring> keys;
  for (cad::ObjectId id : ids)
    if (std::wstring k = TwinKey(id); !k.empty()) keys.insert(k);
  cad::ObjectIdArray doomed;
  std::unordered_map<std::wstring, bool> alive;
  for (cad::ObjectId t : twins) {
    std::wstring k = TwinKey(t);
    if (k.empty()) continue;
    auto it = alive.find(k);
    if (it == alive.end()) it = alive.emplace(k, entityAlive(k)).first;
    if (keys.count(k) || !it->second) doomed.push_back(t);
  }
  EraseEntities(doomed);
}

void RefreshSolidTwinsOfType(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db) {
  if (g_solidMode != SolidMode::Floor3d) return;
  const std::wstring twinLayer = type + kTwinLayerSuffix;
  bool locked = false;
  GetLayerFlags(twinLayer, nullptr, nullptr, &locked, nullptr);
  SetLayerLocked(twinLayer, false, nullptr);
  EraseSolidTwins(type, ids, nullptr);
  const TableIndex& table = tableIndex();
  if (auto it = table.slot.find(type); it != table.slot.end())
    runPass(kTypeTable[table.order[it->second].first].pass, type, ids, db);
  SetLayerLocked(twinLayer, locked, nullptr);
}

void RefreshSolidTwinsOfEntity(const std::wstring& type, cad::ObjectId id, cad::Database* db) {
  RefreshSolidTwinsOfType(type, cad::ObjectIdArray{id}, db);
}
