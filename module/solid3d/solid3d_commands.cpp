// The 3D commands: the model of the current floor, of every floor stacked
// by its levels, and back to the plan.
#include "module/solid3d/solid3d_commands.h"

#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <memory>

#include "module/model/project_tables.h"
#include "module/solid3d/twins.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/selection.h"
#include "platform/editor/sysvars.h"
#include "platform/os/os.h"

namespace {

const wchar_t* const kLayer3d = L"Layer3d";

// The component types of the category table, in table order.
StringArray componentTypes() {
  StringArray all;
  for (const std::wstring& entry : g_gjCategoryTypes) {
    StringArray types;
    SplitToArray(entry, L",", types);
    all.insert(all.end(), types.begin(), types.end());
  }
  return all;
}

bool layerIsOff(const std::wstring& name) {
  bool off = false;
  GetLayerFlags(name, &off, nullptr, nullptr, nullptr);
  return off;
}

// The current layer and command echo as the user had them, put back when
// the build ends (a layer the build froze stays unusable: "0" is kept then).
class KeepUserVars {
 public:
  KeepUserVars() : layer_(ed::getVarString(L"CLAYER")), echo_(ed::getVarInt(L"CMDECHO")) {}
  ~KeepUserVars() {
    if (layer_) SetCurrentLayer(*layer_, nullptr);
    if (echo_) ed::setVar(L"CMDECHO", *echo_);
  }
  KeepUserVars(const KeepUserVars&) = delete;
  KeepUserVars& operator=(const KeepUserVars&) = delete;

 private:
  std::optional<std::wstring> layer_;
  std::optional<int> echo_;
};

// Freezes the 2D layers of the types whose layer is on (they are the build
// list) and empties the 3D layers: all of them, or with a selection only the
// twins of the selected components.
StringArray prepareLayers(const cad::ObjectIdArray& selection) {
  ed::setVar(L"CLAYER", std::wstring(L"0"));
  StringArray types = componentTypes(), build, twinLayers;
  for (const std::wstring& type : types) {
    twinLayers.push_back(type + kTwinLayerSuffix);
    if (layerIsOff(type)) continue;
    build.push_back(type);
    SetLayerFrozen(type, true, nullptr);
    SetLayerFrozen(type + kEdgeLayerSuffix, true, nullptr);
  }
  twinLayers.push_back(kLayer3d);
  std::wstring layers;
  JoinArray(twinLayers, L",", layers);
  if (selection.empty()) {
    EraseLayerEntities(layers);
    return build;
  }
  std::set<std::wstring> keys;
  for (cad::ObjectId id : selection)
    if (std::wstring k = TwinKey(id); !k.empty()) keys.insert(k);
  cad::ObjectIdArray twins, doomed;
  CollectIdsByLayerAndNumber(layers, L"", twins, nullptr);
  for (cad::ObjectId t : twins)
    if (keys.count(TwinKey(t))) doomed.push_back(t);
  for (const std::wstring& layer : twinLayers) SetLayerLocked(layer, false, nullptr);
  EraseEntities(doomed);
  return build;
}

void showIsometric() {
  ed::command({L"Vpoint", geom::Point3d(1, -1, 1)});
  ed::command({L"-View", L"_seiso"});
  ed::command({L"ShadeMode", L"G"});
}

struct Storey {
  std::wstring floor;
  double height = 0;
  double base = 0;
};

// The storeys of the floor table from the lowest up: a row counted 相同层
// times, the basements below 0.
std::vector<Storey> readStoreys() {
  std::vector<Storey> storeys;
  tablelib::Table table(ProjectFolderPath() + L"\\007.DB");
  auto row = [&](std::wstring& floor, int& n, double& h) {
    floor = tablelib::FieldAsString(table, L"楼层");
    n = int(std::wcstol(tablelib::FieldAsString(table, L"相同层").c_str(), nullptr, 10));
    h = std::wcstod(tablelib::FieldAsString(table, L"层高").c_str(), nullptr);
  };
  double start = 0;
  std::wstring floor;
  int n = 0;
  double h = 0;
  for (; !tablelib::Eof(table); tablelib::Next(table)) {
    row(floor, n, h);
    if (!floor.empty() && h < 0 && n > 0) start += n * h;
  }
  tablelib::First(table);
  for (; !tablelib::Eof(table); tablelib::Next(table)) {
    row(floor, n, h);
    h = std::fabs(h);
    if (floor.empty() || n <= 0) continue;
    for (int i = 0; i < n; ++i) {
      storeys.push_back({floor, h, start});
      start += h;
    }
  }
  return storeys;
}

bool progress(const std::wstring& message, int a, int b, int c, int op) {
  return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, int, int, int, int)>::call(
             SuiteModule::Base, "Dll_ProgressWin_W", static_cast<unsigned char>(1), L"建筑三维实体",
             message.c_str(), a, b, c, op) != 0;
}

// The work floor as it stood before an all-floors build, put back after it.
class KeepWorkFloor {
 public:
  KeepWorkFloor() : floor_(g_workFloorName), base_(g_floorBaseElev), height_(g_floorHeight) {}
  ~KeepWorkFloor() {
    g_workFloorName = floor_;
    g_floorBaseElev = base_;
    g_floorHeight = height_;
  }
  KeepWorkFloor(const KeepWorkFloor&) = delete;
  KeepWorkFloor& operator=(const KeepWorkFloor&) = delete;

 private:
  std::wstring floor_;
  double base_, height_;
};

}  // namespace

void BuildFloorSolids() {
  if (g_projectName.empty() || g_solidMode != SolidMode::Floor3d) return;
  KeepUserVars keep;
  cad::ObjectIdArray selection = ed::pickfirstIds();
  ed::ssSetFirst(0);
  StringArray build = prepareLayers(selection);
  LoadCurFloorLevels();
  g_workFloorName = winlib::CmbGetName(winlib::kComboFloor);
  g_floorBaseElev = 0;
  RunAcedCmd(L"Solid3d");
  BuildSolidsOfTypes(build, selection, nullptr);
}

void BuildAllFloorSolids() {
  if (g_projectName.empty() || g_solidMode != kSolidAllFloors3d) return;
  KeepUserVars keep;
  KeepWorkFloor keepFloor;
  StringArray build = prepareLayers({});
  std::vector<Storey> storeys = readStoreys();
  RunAcedCmd(L"Solid3d");
  const std::wstring current = winlib::CmbGetName(winlib::kComboFloor);
  progress(L"", 1, int(storeys.size()), 1, 0);
  // A floor's drawing is read once, however many storeys repeat it.
  std::map<std::wstring, std::unique_ptr<cad::Database>> drawings;
  for (std::size_t i = 0; i < storeys.size(); ++i) {
    const Storey& s = storeys[i];
    if (!progress(ed::format(L"正在生成楼层.....%s", s.floor.c_str()), 0, 0, int(i + 1), 2)) break;
    const std::wstring path = ProjectFolderPath() + L"\\" + s.floor + L".DWG";
    if (!os::isFile(path)) continue;
    cad::Database* db = nullptr;
    if (s.floor == current) {
      db = cad::workingDatabase();
    } else {
      auto it = drawings.find(s.floor);
      if (it == drawings.end()) {
        auto side = std::make_unique<cad::Database>(false);
        if (side->readDwgFile(os::nativePath(path)) != cad::Status::Ok) side.reset();
        it = drawings.emplace(s.floor, std::move(side)).first;
      }
      if (!it->second) {
        ed::print(L"\n读取%s楼层文件出错！", s.floor.c_str());
        continue;
      }
      db = it->second.get();
    }
    g_floorHeight = s.height;
    g_floorBaseElev = s.base;
    g_workFloorName = s.floor;
    BuildSolidsOfTypes(build, {}, db);
  }
  progress(L"", 0, 0, 0, 4);
}

void CmdKivSolid3d() {
  g_solidMode = SolidMode::Floor3d;
  BuildFloorSolids();
  showIsometric();
  WatchErasedComponents();
}

void CmdKivSolidAll3d() {
  g_solidMode = kSolidAllFloors3d;
  BuildAllFloorSolids();
  showIsometric();
}

void CmdKivSolid2d() {
  g_solidMode = SolidMode::BackToPlan;
  for (const std::wstring& type : componentTypes()) {
    if (layerIsOff(type)) continue;
    SetLayerFrozen(type, false, nullptr);
    SetLayerFrozen(type + kEdgeLayerSuffix, false, nullptr);
  }
  auto& dm = ed::docManager();
  dm.sendStringToExecute(dm.curDocument(), L"Solid2d\n", true, false, true);
}
