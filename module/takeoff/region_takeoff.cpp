#include "module/takeoff/region_takeoff.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/takeoff/calc_items.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/linear_runs.h"
#include "module/takeoff/result_set.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/run_floors.h"
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

void say(const std::wstring& text) { ed::printText(text); }

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

// Processes floor i; false when the user cancelled or the floor failed.
bool runFloor(size_t i, const std::wstring& currentFloor, const StringArray& libNames) {
  // The parts of runs that cross a region's outline; they outlive the lists.
  cad::Database pieces(true);
  RunFloorScope scope;
  std::wstring floor;
  const FloorOpen opened = OpenRunFloor(i, currentFloor, scope, floor);
  if (opened != FloorOpen::Opened) return opened == FloorOpen::Skipped;

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

  RegionGjList entities;
  ReadRegionGjList(scope.sideDb.get(), entities);
  std::vector<RegionShare> shares;
  {
    std::vector<RegionOutline> outlines;
    for (const Region& region : regions) outlines.push_back({region.vertices, region.bulges});
    ShareRegionGj(entities, outlines, true, shares);
  }

  const int libCount = static_cast<int>(libNames.size());
  for (size_t r = 0; r < regions.size(); ++r) {
    const Region& region = regions[r];
    if (!progress(kCaption, L"正在初始化[" + floor + L"][" + region.label + L"]的构件....", 1, 1, 0, 2))
      return false;
    StringArray doneKinds;
    appendRegionHeaderRow(region.label);
    SortRegionGjIntoBuckets(scope.buckets, entities, shares[r], &pieces);
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

void runCommand(int mode) {
  if (g_projectName.empty()) return;
  g_totalMode = mode;
  RunRegionTakeoff();
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

// A region's outline as the tests use it: the outline to cross (open: a
// closed region already ends on its first vertex), the area to lie in, and
// the extents of the area (its arcs included).
struct RegionTest {
  std::unique_ptr<cad::Polyline> outline, area;
  cad::Extents3d box;

  explicit RegionTest(const RegionOutline& r) {
    if (r.vertices.empty()) return;
    outline = MakePolyline(r.vertices, r.bulges, false, kDefaultWidth);
    area = MakePolyline(r.vertices, r.bulges, true, kDefaultWidth);
    for (const geom::Point3d& p : r.vertices) box.add(p);
    cad::Extents3d arcs;
    if (area && area->getGeomExtents(arcs) == cad::Status::Ok) box.add(arcs);
  }
  bool holds(const geom::Point3d& p) const { return area && IsPointInPolyline(area.get(), p); }
  // Whether the box, widened by the boundary's tolerance, meets other.
  bool near(const cad::Extents3d& other) const {
    const double tol = 1.0;
    return box.isValid() && !(other.minPoint.x > box.maxPoint.x + tol || other.maxPoint.x < box.minPoint.x - tol ||
                              other.minPoint.y > box.maxPoint.y + tol || other.maxPoint.y < box.minPoint.y - tol);
  }
};

// The straight or arc segment of a run between the fractions t0 and t1 of
// its length (the part of an arc keeps the arc's curvature).
std::unique_ptr<cad::Polyline> runPart(const cad::Polyline& run, double length, double bulge, double t0,
                                       double t1) {
  geom::Point3d a, b;
  if (run.getPointAtDist(t0 * length, a) != cad::Status::Ok || run.getPointAtDist(t1 * length, b) != cad::Status::Ok)
    return nullptr;
  return MakeSegmentPolyline(a, b, std::tan(std::atan(bulge) * (t1 - t0)), 0);
}

// The length in millimetres of a run as the calculators measure it.
double measuredLength(cad::ObjectId id) {
  GjData gj;
  ReadGjData(id, gj);
  PointList vertices;
  BulgeList bulges;
  GetEntityVertices(id, vertices, bulges);
  return LinearRunLength(gj.type, GetOutlineLength(vertices, bulges), gj.startElev, gj.endElev);
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

void ShareRegionGj(const RegionGjList& list, const std::vector<RegionOutline>& regions, bool cut,
                   std::vector<RegionShare>& shares) {
  shares.assign(regions.size(), RegionShare());
  std::vector<RegionTest> tests;
  tests.reserve(regions.size());
  for (const RegionOutline& r : regions) tests.emplace_back(r);
  auto firstHolding = [&](const geom::Point3d& p, const std::vector<size_t>& among) -> long {
    for (size_t r : among)
      if (tests[r].holds(p)) return static_cast<long>(r);
    return -1;
  };
  std::vector<size_t> all(regions.size());
  for (size_t r = 0; r < all.size(); ++r) all[r] = r;

  std::vector<size_t> near;
  std::vector<geom::Point3d> points;
  std::vector<double> bounds;
  std::vector<long> owners;
  for (size_t i = 0; i < list.size(); ++i) {
    const RegionGjEntity& e = list[i];
    if (e.shape == RegionGjEntity::Shape::Other) continue;
    std::unique_ptr<cad::Polyline> run;
    if (e.shape == RegionGjEntity::Shape::Run && !e.start.isEqualTo(e.end))
      run = MakeSegmentPolyline(e.start, e.end, e.bulge, 0);
    double length = 0;
    if (!run || run->getLength(length) != cad::Status::Ok || length <= 0) {
      // A point component or a riser: the first region it stands in.
      long r = firstHolding(e.start, all);
      if (r < 0 && !e.start.isEqualTo(e.end)) r = firstHolding(e.end, all);
      if (r >= 0) shares[r].whole.push_back(i);
      continue;
    }
    // The regions near the run, and where their outlines cross it.
    cad::Extents3d box;
    if (run->getGeomExtents(box) != cad::Status::Ok) {
      box = {};
      box.add(e.start);
      box.add(e.end);
    }
    near.clear();
    bounds.assign({0.0});
    for (size_t r = 0; r < tests.size(); ++r) {
      if (!tests[r].near(box)) continue;
      near.push_back(r);
      if (!tests[r].outline) continue;
      points.clear();
      tests[r].outline->intersectWith(*run, cad::Intersect::OnBothOperands, points);
      for (const geom::Point3d& p : points) {
        double d = 0;
        if (run->getDistAtPoint(p, d) == cad::Status::Ok && d > 1e-6 && d < length - 1e-6) bounds.push_back(d / length);
      }
    }
    if (near.empty()) continue;
    // The parts between the cuts, from 0 to 1; cuts closer together than a
    // millionth of a millimetre are one cut.
    std::sort(bounds.begin() + 1, bounds.end());
    size_t kept = 1;
    for (size_t k = 1; k < bounds.size(); ++k)
      if ((bounds[k] - bounds[kept - 1]) * length >= 1e-6) bounds[kept++] = bounds[k];
    bounds.resize(kept);
    if (kept > 1 && (1.0 - bounds.back()) * length < 1e-6)
      bounds.back() = 1.0;
    else
      bounds.push_back(1.0);
    // Each part goes to the first region its middle lies in.
    owners.clear();
    for (size_t k = 0; k + 1 < bounds.size(); ++k) {
      geom::Point3d mid;
      long owner = -1;
      if (run->getPointAtDist((bounds[k] + bounds[k + 1]) / 2 * length, mid) == cad::Status::Ok) {
        mid.z = 0;
        owner = firstHolding(mid, near);
      }
      owners.push_back(owner);
    }
    if (std::all_of(owners.begin(), owners.end(), [&](long o) { return o == owners[0]; })) {
      if (owners[0] >= 0) shares[owners[0]].whole.push_back(i);
      continue;
    }
    for (size_t k = 0; k < owners.size(); ++k) {
      if (owners[k] < 0) continue;
      RegionShare& share = shares[owners[k]];
      if (!cut) {
        if (share.whole.empty() || share.whole.back() != i) share.whole.push_back(i);
        continue;
      }
      if (share.cuts.empty() || share.cuts.back().entity != i) share.cuts.push_back({i, {}});
      auto& spans = share.cuts.back().spans;
      // Adjacent parts of one region make one span.
      if (!spans.empty() && spans.back().second == bounds[k])
        spans.back().second = bounds[k + 1];
      else
        spans.emplace_back(bounds[k], bounds[k + 1]);
    }
  }
}

void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const RegionShare& share,
                             cad::Database* pieces) {
  ClearGjBuckets(buckets);
  buckets.axes.reset();
  buckets.runLengths.clear();
  cad::ObjectIdArray& inside = buckets.slots[0];
  inside.clear();
  auto take = [&](cad::ObjectId id, int slot) {
    inside.push_back(id);
    if (slot > 0) buckets.slots[slot].push_back(id);
  };
  // The share's entities in list order: wholes and cuts merged.
  size_t w = 0, c = 0;
  while (w < share.whole.size() || c < share.cuts.size()) {
    const bool wholeNext =
        c == share.cuts.size() || (w < share.whole.size() && share.whole[w] < share.cuts[c].entity);
    if (wholeNext) {
      const RegionGjEntity& e = list[share.whole[w++]];
      take(e.id, e.slot);
      continue;
    }
    const RegionShare::Cut& cutRun = share.cuts[c++];
    const RegionGjEntity& e = list[cutRun.entity];
    if (!pieces || cutRun.spans.empty()) {
      take(e.id, e.slot);
      continue;
    }
    auto run = MakeSegmentPolyline(e.start, e.end, e.bulge, 0);
    double planLength = 0;
    if (!run || run->getLength(planLength) != cad::Status::Ok || planLength <= 0) continue;
    const auto [t0, t1] = cutRun.spans.front();
    auto part = runPart(*run, planLength, e.bulge, t0, t1);
    if (!part) continue;
    cad::ObjectId copy = appendRunPiece(e.id, std::move(part), t0, t1, pieces);
    if (copy.isNull()) continue;
    // Each span's length is the run's rounded length up to the span's end
    // less that up to its start, so that the spans of all regions add up
    // to the run's rounded length.
    const double length = measuredLength(e.id);
    auto upTo = [length](double t) { return t >= 1.0 ? RoundTo(length / 1000.0, 3) : RoundTo(length * t / 1000.0, 3); };
    double metres = 0;
    for (const auto& [a, b] : cutRun.spans) metres += upTo(b) - upTo(a);
    buckets.runLengths[copy] = metres * 1000.0;
    take(copy, e.slot);
  }
}

void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const PointList& vertices,
                             const BulgeList& bulges, cad::Database* pieces) {
  if (vertices.empty()) return;
  std::vector<RegionShare> shares;
  ShareRegionGj(list, {RegionOutline{vertices, bulges}}, pieces != nullptr, shares);
  SortRegionGjIntoBuckets(buckets, list, shares[0], pieces);
}

void RunRegionTakeoff() {
  if (g_projectName.empty()) return;
  const std::wstring currentFloor = winlib::CmbGetName(winlib::kComboFloor);
  BeginRunChecks();
  // Both region tables are built in a work folder and replace the project's
  // together, only when the run ends without a cancel or a failure.
  RunResultSet set(kWorkFolder);
  StringArray libNames;
  std::wstring failure;
  if (!set.ready(failure)) {
    NoteRunFailure(failure);
  } else if (LoadRunRules(RunRuleSet(), libNames) && LoadRunFloorList(currentFloor)) {
    for (const wchar_t* table : {kRegionNormTable, kRegionTable})
      if (!RunFailed() && !UnzipTemplate(table, set.folder())) NoteRunFailure(TemplateMissingText(table));
  }
  if (RunFailed()) {
    EndRun(L"区域工程量计算");
    return;
  }
  BindQuantityTable(tablelib::OpenDb(set.folder() + L"\\" + kRegionTable + L".DB"));

  progress(kRunCaption, L"", 1, static_cast<int>(libNames.size() * g_runFloorList.size()), 1, 0);
  bool stopped = false;
  {
    RunDrawingReader reader;
    for (size_t i = 0; i < g_runFloorList.size() && !stopped; ++i) stopped = !runFloor(i, currentFloor, libNames);
  }
  if (stopped && !RunFailed()) NoteRunCancel();
  if (!RunCancelled() && !RunFailed()) WriteRegionNormQtyTable();
  tablelib::Close(g_quantityTable);
  g_quantityTable = 0;
  CheckRunWrites();
  if (!RunCancelled() && !RunFailed() && !set.commit(failure)) NoteRunFailure(failure);
  EndRun(L"区域工程量计算");
  progress(kCaption, L"", 1, 1, 1, 4);
}

void CmdZebTotalArea() { runCommand(kTotalCurFloor); }
void CmdZebAllArea() { runCommand(kTotalAll); }
