#include "module/takeoff/region_takeoff.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/takeoff/calc_items.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/takeoff_commands.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

const wchar_t* const kRunCaption = L"工程量计算";
const wchar_t* const kCaption = L"区域工程量计算";
const wchar_t* const kRegionLayer = L"区域";
const wchar_t* const kRegionTable = L"区域构件算量";
const wchar_t* const kRegionNormTable = L"区域001";
// The work folder of a region run inside the project folder.
const wchar_t* const kWorkFolder = L"~region";

bool progress(const wchar_t* caption, const std::wstring& message, int a, int b, int c, int op) {
  return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, int, int, int, int)>::call(
             SuiteModule::Base, "Dll_ProgressWin_W", static_cast<unsigned char>(1), caption, message.c_str(), a, b,
             c, op) != 0;
}

bool unzip(const std::wstring& member, const std::wstring& folder) {
  return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, const wchar_t*)>::call(
             SuiteModule::Base, "Dll_UnZipFile_W", static_cast<unsigned char>(0),
             (g_baseDir + L"\\GZK.ZIP").c_str(), member.c_str(), folder.c_str()) != 0;
}

void say(const std::wstring& text) { ed::printText(text); }

std::wstring ruleSetOfProject() {
  wchar_t buf[260] = {};
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_ReadIni_W", (ProjectFolderPath() + L"\\000.GC").c_str(), L"工程档案", L"工程量规则",
      buf);
  return buf;
}

// The rule lists of the run state, and the library's kind names in order.
void loadRules(StringArray& libNames) {
  const std::wstring ruleSet = ruleSetOfProject();
  g_ruleNormValues.clear();
  g_ruleBillValues.clear();
  {
    tablelib::Table t(ProjectRulePath(L".DB"));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      const std::wstring attr = tablelib::FieldAsString(t, L"属性");
      g_ruleNormValues.push_back(attr + L"=" + tablelib::FieldAsString(t, L"定额值"));
      g_ruleBillValues.push_back(attr + L"=" + tablelib::FieldAsString(t, L"清单值"));
    }
  }
  g_libRuleItems.clear();
  libNames.clear();
  tablelib::Table lib(GjLibraryPath());
  for (tablelib::First(lib); !tablelib::Eof(lib); tablelib::Next(lib)) {
    std::wstring name = tablelib::FieldAsString(lib, L"构件名称");
    if (!ruleSet.empty()) AppendLibRuleItems(name, tablelib::FieldAsString(lib, ruleSet), g_libRuleItems);
    libNames.push_back(std::move(name));
  }
}

// The floors of the run: every floor (mode 0) or the current one; names that
// cannot name a file are left out with a message.
void loadFloors(const std::wstring& currentFloor) {
  g_runFloorList.clear();
  tablelib::Table t(FloorTablePath());
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    const std::wstring floor = tablelib::FieldAsString(t, L"楼层");
    if (g_totalMode != kTotalAll && floor != currentFloor) continue;
    if (floor.empty() || floor == L"." || floor == L".." || floor.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
      say(L"\n楼层名称[" + floor + L"]不能用作文件名，此楼层未计算。\n");
      continue;
    }
    std::wstring entry = floor;
    for (const wchar_t* f : {L"相同层", L"层高", L"砼强度等级", L"砌筑砂浆"}) {
      std::wstring v = tablelib::FieldAsString(t, f);
      ReplaceAll(v, L"||", L"|");
      entry += L"||" + v;
    }
    g_runFloorList.push_back(entry);
  }
}

struct Region {
  std::wstring label;
  PointList vertices;
  BulgeList bulges;
};

// The regions of the floor in model-space order: polylines on 区域 with a
// number and attribute lines.
void readRegions(cad::Database* db, std::vector<Region>& regions) {
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(kRegionLayer, L"", ids, db);
  std::wstring number;
  StringArray attrs;
  for (cad::ObjectId id : ids) {
    GetGjNumberAndAttrs(id, number, attrs);
    if (number.empty() || attrs.empty()) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || !cad::cast<cad::Polyline>(ent.get())) continue;
    Region r{number, {}, {}};
    GetEntityVerticesOpen(ent.get(), r.vertices, r.bulges);
    for (geom::Point3d& p : r.vertices) p.z = 0;
    regions.push_back(std::move(r));
  }
}

void appendRegionHeaderRow(const std::wstring& label) {
  tablelib::Append(g_quantityTable);
  tablelib::WriteAsString(g_quantityTable, L"构件名称", label);
  tablelib::WriteAsString(g_quantityTable, L"标志", L"区域");
  tablelib::Post(g_quantityTable);
}

// What one floor holds while its regions are computed.
struct FloorScope {
  std::unique_ptr<cad::Database> sideDb;
  // The parts of runs that cross a region's outline.
  cad::Database pieces{true};
  FloorGjTable table;
  GjBuckets buckets;
  ~FloorScope() {
    g_floorGjTable = nullptr;
    g_gjBuckets = nullptr;
  }
};

// Processes floor i; false when the user cancelled.
bool runFloor(size_t i, const std::wstring& currentFloor, const StringArray& libNames) {
  StringArray f;
  SplitString(g_runFloorList[i], L"||", f);
  f.resize(5);
  const std::wstring floor = f[0];
  g_floorBaseElev = 0;
  g_runFloorName = g_workFloorName = floor;
  g_floorHeight = std::fabs(std::wcstod(f[2].c_str(), nullptr));
  g_runFloorCount = static_cast<int>(std::wcstol(f[1].c_str(), nullptr, 10));
  g_runConcreteGrade = f[3];
  g_runMortarGrade = f[4];

  const std::wstring tablePath = FloorGjTablePath(floor);
  if (!os::isFile(tablePath)) {
    say(L"\n[" + floor + L"]没有构件表，此楼层未计算。\n");
    return true;
  }
  FloorScope scope;
  if (floor != currentFloor) {
    const std::wstring dwg = ProjectFolderPath() + L"\\" + floor + L".DWG";
    if (!os::isFile(dwg)) {
      say(L"\n[" + floor + L"]没有楼层图形，此楼层未计算。\n");
      return true;
    }
    scope.sideDb = std::make_unique<cad::Database>(false);
    if (scope.sideDb->readDwgFile(os::nativePath(dwg)) != cad::Status::Ok) {
      say(L"\n[" + floor + L"]的楼层图形无法读取(" + os::fromUtf8(scope.sideDb->lastFileError()) +
          L")，此楼层未计算。\n");
      return true;
    }
  }
  if (!scope.table.load(tablePath)) {
    say(L"\n[" + floor + L"]的构件表无法读取，此楼层未计算。\n");
    return true;
  }
  if (g_runFloorCount < 1) {
    say(L"\n[" + floor + L"]的相同层数[" + f[1] + L"]无效，按1层计算。\n");
    g_runFloorCount = 1;
  }
  AppendFloorHeaderRow(floor, g_runFloorCount);

  std::vector<Region> regions;
  {
    cad::ObjectIdArray any;
    CollectIdsByLayerAndNumber(kRegionLayer, L"", any, scope.sideDb.get());
    if (any.empty()) {
      say(L"\n[" + floor + L"]还没有划分区域，请先在此楼层布置区域构件\n");
      return true;
    }
    readRegions(scope.sideDb.get(), regions);
  }

  g_floorGjTable = &scope.table;
  scope.buckets.database = scope.sideDb.get();
  g_gjBuckets = &scope.buckets;
  RegionGjList entities;
  ReadRegionGjList(scope.sideDb.get(), entities);

  const int libCount = static_cast<int>(libNames.size());
  for (const Region& region : regions) {
    progress(kCaption, L"正在初始化[" + floor + L"][" + region.label + L"]的构件....", 1, 1, 0, 2);
    StringArray doneKinds;
    appendRegionHeaderRow(region.label);
    SortRegionGjIntoBuckets(scope.buckets, entities, region.vertices, region.bulges, &scope.pieces);
    for (int k = 0; k < libCount; ++k) {
      const std::wstring& name = libNames[k];
      if (!progress(kCaption, L"[" + floor + L"] " + name, 1, 1, libCount * static_cast<int>(i) + k + 1, 2))
        return false;
      if (std::find(doneKinds.begin(), doneKinds.end(), name) != doneKinds.end()) continue;
      DispatchKindCalculator(name, doneKinds, scope.sideDb.get());
    }
    ClearGjBuckets(scope.buckets);
  }
  AppendSeparatorRow();
  return true;
}

// Puts the run's region table in place of the project's (with its memo file
// when the template had one).
bool commitRegionTable(const std::wstring& work, const std::wstring& project) {
  for (const wchar_t* ext : {L".DB", L".MB"}) {
    const std::wstring from = work + L"\\" + kRegionTable + ext, to = project + L"\\" + kRegionTable + ext;
    if (!os::isFile(from)) {
      if (std::wstring(ext) == L".DB") return false;
      continue;
    }
    os::deleteFile(to + L"-journal");
    if (!os::renameFile(from, to, true)) return false;
  }
  return true;
}

void runCommand(int mode) {
  if (g_projectName.empty()) return;
  g_totalMode = mode;
  RunRegionTakeoff();
}

// Whether the plan segment a-b meets the outline polyline.
bool crossesOutline(const cad::Polyline* outline, const geom::Point3d& a, const geom::Point3d& b) {
  if (!outline) return false;
  auto seg = MakeSegmentPolyline(a, b, 0, 0);
  if (!seg) return false;
  std::vector<geom::Point3d> points;
  outline->intersectWith(*seg, cad::Intersect::OnBothOperands, points);
  return !points.empty();
}

// Appends the piece to db as a copy of the run: its layer and extended data,
// the elevations taken at the fractions t0 and t1 of the run's length.
cad::ObjectId appendRunPiece(cad::ObjectId runId, std::unique_ptr<cad::Polyline> piece, double t0, double t1,
                             cad::Database* db) {
  std::wstring layer;
  cad::ValueChain data;
  {
    cad::ObjectPtr<cad::Entity> run(runId, cad::OpenMode::ForRead);
    if (!run) return {};
    layer = run->layer();
    data = run->xData();
    for (const std::wstring& app : run->xDataApps()) RegisterAppInDb(db, app);
  }
  double zs = 0, ze = 0;
  GetGjSpecial(runId, nullptr, &zs, &ze);
  GetOrCreateLayer(layer, db);
  piece->setLayer(layer);
  piece->setXData(data);
  cad::ObjectId id;
  if (db->appendToModelSpace(std::move(piece), &id) != cad::Status::Ok) return {};
  const double z0 = zs + (ze - zs) * t0, z1 = zs + (ze - zs) * t1;
  SetGjSpecial(nullptr, nullptr, id, &z0, &z1);
  return id;
}

}  // namespace

void ReadRegionGjList(cad::Database* db, RegionGjList& list) {
  list.clear();
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(GjKindLayerList(), L"", ids, db);
  list.reserve(ids.size());
  std::wstring layer;
  for (cad::ObjectId id : ids) {
    RegionGjEntity e;
    e.id = id;
    GetEntityLayer(id, layer);
    e.slot = GjKindSlot(layer);
    if (GetGjEndPoints3d(id, e.start, e.end)) {
      e.shape = RegionGjEntity::Shape::Run;
      PointList pts;
      BulgeList bulges;
      if (GetEntityVertices(id, pts, bulges) == cad::Status::Ok && !bulges.empty()) e.bulge = bulges[0];
    } else if (IsPointGj(id, e.start)) {
      e.shape = RegionGjEntity::Shape::Point;
      e.end = e.start;
    }
    e.start.z = e.end.z = 0;
    list.push_back(e);
  }
}

void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const PointList& vertices,
                             const BulgeList& bulges, cad::Database* pieces) {
  if (vertices.empty()) return;
  ClearGjBuckets(buckets);
  buckets.axes.reset();
  cad::ObjectIdArray& inside = buckets.slots[0];
  inside.clear();

  // The outline to cross (open: a closed region already ends on its first
  // vertex), the area to lie in, and the exact extents of the vertices.
  auto outline = MakePolyline(vertices, bulges, false, kDefaultWidth);
  auto area = MakePolyline(vertices, bulges, true, kDefaultWidth);
  double minX = vertices[0].x, maxX = minX, minY = vertices[0].y, maxY = minY;
  for (const geom::Point3d& p : vertices) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  auto in = [&](const geom::Point3d& p) { return area && IsPointInPolyline(area.get(), p); };
  auto take = [&](cad::ObjectId id, int slot) {
    inside.push_back(id);
    if (slot > 0) buckets.slots[slot].push_back(id);
  };

  for (const RegionGjEntity& e : list) {
    if (e.shape == RegionGjEntity::Shape::Point) {
      if (in(e.start)) take(e.id, e.slot);
      continue;
    }
    if (e.shape != RegionGjEntity::Shape::Run) continue;
    // Runs beside the extents are out (an arc may bulge past its ends' box).
    if ((e.bulge == 0 || !pieces) &&
        (std::min(e.start.x, e.end.x) > maxX || std::max(e.start.x, e.end.x) < minX ||
         std::min(e.start.y, e.end.y) > maxY || std::max(e.start.y, e.end.y) < minY))
      continue;
    std::vector<geom::Point3d> cuts;
    std::unique_ptr<cad::Polyline> run;
    if (!e.start.isEqualTo(e.end)) {
      run = MakeSegmentPolyline(e.start, e.end, pieces ? e.bulge : 0, 0);
      if (run && outline) outline->intersectWith(*run, cad::Intersect::OnBothOperands, cuts);
    }
    if (cuts.empty()) {
      if (in(e.start) || in(e.end)) take(e.id, e.slot);
      continue;
    }
    if (!pieces) {
      take(e.id, e.slot);
      continue;
    }
    // A run across the outline: its parts inside, each a copy of the run cut
    // to that part, with the elevations of its ends.
    double length = 0;
    run->getLength(length);
    std::vector<std::unique_ptr<cad::Entity>> parts;
    if (run->getSplitCurves(cuts, parts) != cad::Status::Ok || parts.size() < 2) {
      // The outline meets the run only at its ends: the run lies on one side.
      geom::Point3d mid;
      if (run->getPointAtDist(length / 2, mid) == cad::Status::Ok && in(mid)) take(e.id, e.slot);
      continue;
    }
    std::vector<bool> inner(parts.size(), false);
    for (size_t k = 0; k < parts.size(); ++k) {
      auto* piece = cad::cast<cad::Polyline>(parts[k].get());
      double len = 0;
      geom::Point3d mid;
      inner[k] = piece && piece->getLength(len) == cad::Status::Ok &&
                 piece->getPointAtDist(len / 2, mid) == cad::Status::Ok && in(mid);
    }
    // A run that only touches the outline from inside stays whole.
    if (std::all_of(inner.begin(), inner.end(), [](bool b) { return b; })) {
      take(e.id, e.slot);
      continue;
    }
    for (size_t k = 0; k < parts.size(); ++k) {
      if (!inner[k]) continue;
      auto* piece = static_cast<cad::Polyline*>(parts[k].release());
      double from = 0, len = 0;
      piece->getLength(len);
      run->getDistAtPoint(piece->startPoint(), from);
      cad::ObjectId copy = appendRunPiece(e.id, std::unique_ptr<cad::Polyline>(piece), from / length,
                                          (from + len) / length, pieces);
      if (!copy.isNull()) take(copy, e.slot);
    }
  }
}

void RunRegionTakeoff() {
  if (g_projectName.empty()) return;
  const std::wstring currentFloor = winlib::CmbGetName(winlib::kComboFloor);
  const std::wstring project = ProjectFolderPath();
  StringArray libNames;
  loadRules(libNames);
  loadFloors(currentFloor);

  // The region table is built in a work folder and replaces the project's
  // only when the run ends without a cancel; 区域001.DB is rewritten only then.
  const std::wstring work = project + L"\\" + kWorkFolder;
  os::removeDirectoryRecursive(work);
  os::createDirectories(work);
  if (!unzip(std::wstring(kRegionTable) + L".DB", work)) {
    say(L"\n无法从" + g_baseDir + L"\\GZK.ZIP取出区域构件算量.DB的模板，区域工程量计算未进行。\n");
    os::removeDirectoryRecursive(work);
    return;
  }
  unzip(std::wstring(kRegionTable) + L".MB", work);
  BindQuantityTable(tablelib::OpenDb(work + L"\\" + kRegionTable + L".DB"));

  progress(kRunCaption, L"", 1, static_cast<int>(libNames.size() * g_runFloorList.size()), 1, 0);
  bool cancelled = false;
  for (size_t i = 0; i < g_runFloorList.size() && !cancelled; ++i) cancelled = !runFloor(i, currentFloor, libNames);
  tablelib::Close(g_quantityTable);
  g_quantityTable = 0;

  if (cancelled) {
    say(L"\n区域工程量计算已取消，原有的计算结果未改动。\n");
  } else if (!commitRegionTable(work, project)) {
    say(L"\n无法写入" + project + L"\\区域构件算量.DB，原有的计算结果未改动。\n");
  } else if (!unzip(std::wstring(kRegionNormTable) + L".DB", project)) {
    say(L"\n无法从" + g_baseDir + L"\\GZK.ZIP取出区域001.DB的模板，区域001.DB未写入。\n");
  } else {
    unzip(std::wstring(kRegionNormTable) + L".MB", project);
    BindQuantityTable(tablelib::OpenDb(project + L"\\" + kRegionTable + L".DB"));
    WriteRegionNormQtyTable();
    tablelib::Close(g_quantityTable);
    g_quantityTable = 0;
  }
  os::removeDirectoryRecursive(work);
  progress(kCaption, L"", 1, 1, 1, 4);
}

void CmdZebTotalArea() { runCommand(kTotalCurFloor); }
void CmdZebAllArea() { runCommand(kTotalAll); }
