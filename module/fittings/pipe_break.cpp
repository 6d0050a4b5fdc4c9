#include "module/fittings/pipe_break.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "module/fittings/fitting_common.h"
#include "module/model/component_types.h"
#include "module/model/draw_engine.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/document.h"
#include "platform/geom/curves.h"

namespace {

using geom::Point3d;

// How close two runs must pass to meet, and the nearest a cut may come to
// another cut point (a shorter piece would be no pipe at all).
constexpr double kMeetTol = 1e-6;
constexpr double kMinPiece = 1.0;
// A tap cuts a run when it stands closer than this to it.
constexpr double kTapReach = 10.0;

struct Run {
  cad::ObjectId id;
  Point3d start, end;
  std::wstring layer, number;
  bool straight = true;
};

// A linear component's run; false for anything else.
bool readRun(cad::ObjectId id, Run& run) {
  if (!GetGjEndPoints3d(id, run.start, run.end)) return false;
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return false;
  run.id = id;
  run.layer = ent->layer();
  if (auto* pl = dynamic_cast<cad::Polyline*>(ent.get()); pl && pl->numVerts() > 0) {
    double bulge = 0;
    pl->getBulgeAt(0, bulge);
    run.straight = bulge == 0;
  }
  ent.close();
  StringArray attrs;
  GetGjNumberAndAttrs(id, run.number, attrs);
  return true;
}

// Puts p among the cut points, which run in order from the start to the end
// of the run: before the first point farther from its predecessor than p.
// Points within kMinPiece of a cut point already there add nothing.
void insertCut(std::vector<Point3d>& cuts, const Point3d& p) {
  for (const Point3d& c : cuts)
    if (c.distanceTo(p) < kMinPiece) return;
  for (std::size_t m = 0; m + 1 < cuts.size(); ++m)
    if (cuts[m].distanceTo(cuts[m + 1]) > cuts[m].distanceTo(p)) {
      cuts.insert(cuts.begin() + std::ptrdiff_t(m + 1), p);
      return;
    }
}

double planDistance(const Point3d& a, const Point3d& b) { return a.toPlan().distanceTo(b.toPlan()); }

// The data of a component that its create routine does not write: its own
// component lines, its attribute lines after the primary stamp, and its kind
// when it runs through floors.
struct CarriedData {
  StringArray ownParams, extraAttrs;
  std::wstring kind;
};

CarriedData carriedData(cad::ObjectId id) {
  CarriedData d;
  GetXdataLines(id, kXdataExternalGj, d.ownParams);
  StringArray attrs;
  GetXdataLines(id, kXdataAttrs, attrs);
  if (attrs.size() > 2) d.extraAttrs.assign(attrs.begin() + 2, attrs.end());
  GetGjSpecial(id, &d.kind, nullptr, nullptr);
  return d;
}

void carryOver(cad::ObjectId piece, const CarriedData& d) {
  StringArray lines = d.ownParams;
  if (!lines.empty()) SetXdataLines(piece, kXdataExternalGj, lines, nullptr);
  lines = d.extraAttrs;
  if (!lines.empty()) SetXdataLines(piece, kXdataAttrs, lines, nullptr);
  if (d.kind == kGjKindThrough) SetGjSpecial(nullptr, &d.kind, piece, nullptr, nullptr);
}

// Makes the pieces of one cut run in place of it: its entities go, the
// pieces come. All or nothing: when a piece of a length that makes a pipe
// cannot be made, the run stays as it was and false is answered.
bool remakeRun(const Run& run, const std::vector<Point3d>& cuts,
               const std::unordered_map<std::wstring, cad::ObjectIdArray>& byOwner, cad::ObjectIdArray& pieces) {
  const CarriedData carried = carriedData(run.id);
  DrawingStep step;
  auto own = byOwner.find(FirstAttrLine(run.id));
  if (own != byOwner.end()) EraseEntities(own->second);
  EraseEntity(run.id);
  cad::ObjectIdArray made;
  for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
    const Point3d &p1 = cuts[k], &p2 = cuts[k + 1];
    const int vertical = planDistance(p1, p2) < 1.0 ? 1 : 0;
    const cad::ObjectId id = g_createGjCb(run.layer, run.number, p1, p2, 0.0, vertical);
    if (id.isNull()) {
      if (p1.distanceTo(p2) >= kMinPiece) return false;  // the step rolls back
      continue;
    }
    carryOver(id, carried);
    g_decorateGjCb(run.layer, id);
    made.push_back(id);
  }
  if (made.empty()) return false;
  step.keep();
  for (cad::ObjectId id : made) {
    RefreshSolid3dOfEntity(run.layer, id, ed::curDatabase());
    pieces.push_back(id);
  }
  return true;
}

}  // namespace

void BreakPipesAtIntersections(const std::wstring& types, cad::ObjectIdArray& out, cad::ObjectIdArray chosen) {
  if (!g_createGjCb || !g_decorateGjCb) return;
  out.clear();

  // The chosen runs, each once.
  std::vector<Run> runs;
  {
    std::unordered_set<cad::ObjectId> seen;
    for (cad::ObjectId id : chosen) {
      Run r;
      if (seen.insert(id).second && readRun(id, r)) runs.push_back(std::move(r));
    }
  }

  // Every straight run of the types on the floor, under its box.
  std::vector<Run> floor;
  SegmentBoxIndex floorIndex;
  {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(types, L"", ids, nullptr);
    for (cad::ObjectId id : ids) {
      Run r;
      if (!readRun(id, r) || !r.straight) continue;
      floorIndex.add(r.start, r.end, floor.size());
      floor.push_back(std::move(r));
    }
  }

  // The taps.
  std::vector<Point3d> taps;
  SegmentBoxIndex tapIndex;
  {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(kTapTypes, L"", ids, nullptr);
    for (cad::ObjectId id : ids) {
      Point3d p;
      if (!IsPointGj(id, p)) continue;
      tapIndex.add(p, p, taps.size());
      taps.push_back(p);
    }
  }

  MeterScope meter(L"相交打断", int(2 * runs.size()));
  // Cut points of each chosen run. An arc is neither cut nor cuts: its chord
  // is not where the pipe lies.
  std::vector<std::vector<Point3d>> cuts(runs.size());
  for (std::size_t n = runs.size(); n-- > 0;) {
    meter.at(int(runs.size() - 1 - n));
    const Run& r = runs[n];
    cuts[n] = {r.start, r.end};
    if (!r.straight) continue;
    const geom::LineSeg3d line(r.start, r.end);
    for (std::size_t j : floorIndex.query(r.start, r.end, kMeetTol)) {
      const Run& o = floor[j];
      if (o.id == r.id || o.layer != r.layer) continue;
      if (auto p = line.intersectWith(geom::LineSeg3d(o.start, o.end), kMeetTol)) insertCut(cuts[n], *p);
    }
    for (std::size_t t : tapIndex.query(r.start, r.end, kTapReach)) {
      const Point3d foot = line.closestPointTo(taps[t]);
      if (taps[t].distanceTo(foot) < kTapReach) insertCut(cuts[n], foot);
    }
  }

  // The decorations of every cut run, by the handle of their primary.
  std::unordered_map<std::wstring, cad::ObjectIdArray> byOwner;
  {
    std::unordered_set<std::wstring> owners;
    for (std::size_t i = 0; i < runs.size(); ++i)
      if (cuts[i].size() > 2) owners.insert(FirstAttrLine(runs[i].id));
    if (!owners.empty()) {
      cad::ObjectIdArray ids;
      CollectIdsByLayerAndNumber(GetGjLayersOfTypes(types, L"图层"), L"", ids, nullptr);
      for (cad::ObjectId id : ids) {
        std::wstring owner = FirstAttrLine(id);
        if (owners.count(owner) && owner != GetHandleText(id)) byOwner[owner].push_back(id);
      }
    }
  }

  for (std::size_t i = 0; i < runs.size(); ++i) {
    meter.at(int(runs.size() + i));
    if (cuts[i].size() <= 2 || !remakeRun(runs[i], cuts[i], byOwner, out)) out.push_back(runs[i].id);
  }
}
