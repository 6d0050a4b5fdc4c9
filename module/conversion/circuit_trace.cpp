#include "module/conversion/circuit_trace.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_set>

#include "module/conversion/segment_index.h"
#include "module/model/component_types.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/document.h"
#include "platform/editor/progress.h"

using geom::Point3d;
using geom::Vector3d;

std::vector<TracedCircuit> g_tracedCircuits;
cad::ObjectIdArray g_deviceEntityIds;
cad::ObjectIdArray g_devicePrimaryIds;
cad::ObjectIdArray g_untracedPieceIds;
cad::ObjectIdArray g_circuitPieceIds;
StringArray g_devicePrimaryHandles;
geom::Vector3d g_circuitShift;

namespace {

// Entity to primary device, first mapping kept.
std::unordered_map<cad::ObjectId, cad::ObjectId>& deviceMap() {
  static std::unordered_map<cad::ObjectId, cad::ObjectId> map;
  return map;
}

cad::Database* workingDb() { return ed::docManager().curDocument()->database(); }

std::wstring joined(const StringArray& items) {
  std::wstring s;
  for (const auto& i : items) s += (s.empty() ? L"" : L",") + i;
  return s;
}

std::wstring numberOf(cad::ObjectId id) {
  std::wstring n;
  StringArray attrs;
  GetGjNumberAndAttrs(id, n, attrs);
  return n;
}

Vector3d unitOr(const Vector3d& v, const Vector3d& fallback) {
  const double l = v.length();
  return l > 1e-12 ? v / l : fallback;
}

// The four corners of the band around start-end, half width w each side.
std::vector<Point3d> band(const Point3d& start, const Point3d& end, double w) {
  const Vector3d u = unitOr(end - start, Vector3d(1, 0, 0));
  const Vector3d n(-u.y, u.x, 0);
  return {start + n * w, end + n * w, end - n * w, start - n * w};
}

// The square of side 2d centred on p with two sides along the direction.
std::vector<Point3d> squareAlong(const Point3d& p, const Vector3d& dir, double d) {
  const Vector3d u = unitOr(dir, Vector3d(1, 0, 0));
  return band(p + u * d, p - u * d, d);
}

bool curveEnds(cad::ObjectId id, Point3d& s, Point3d& e) {
  cad::ObjectPtr<cad::Curve> c(id, cad::OpenMode::ForRead);
  if (!c) return false;
  return c->getStartPoint(s) == cad::Status::Ok && c->getEndPoint(e) == cad::Status::Ok;
}

cad::ObjectId appendPiece(std::unique_ptr<cad::Entity> piece, const std::wstring& layer) {
  cad::Entity* raw = piece.release();
  const cad::ObjectId id = AppendToModelSpace(raw, layer, workingDb());
  if (!id.isNull()) raw->close();
  return id;
}

// Splits a curve at the points; the pieces are added on its layer and the
// curve erased. Empty when the split gives nothing (the curve stays).
cad::ObjectIdArray splitCurve(cad::ObjectId id, const std::vector<Point3d>& at) {
  std::vector<std::unique_ptr<cad::Entity>> parts;
  std::wstring layer;
  {
    cad::ObjectPtr<cad::Curve> c(id, cad::OpenMode::ForRead);
    if (!c) return {};
    layer = c->layer();
    if (c->getSplitCurves(at, parts) != cad::Status::Ok || parts.size() < 2) return {};
  }
  cad::ObjectIdArray made;
  for (auto& p : parts) {
    const cad::ObjectId pid = appendPiece(std::move(p), layer);
    if (!pid.isNull()) made.push_back(pid);
  }
  if (made.empty()) return {};
  EraseEntity(id);
  return made;
}

// The ordered work list of untraced pieces with hash membership.
class WorkList {
 public:
  explicit WorkList(const cad::ObjectIdArray& ids) : ids_(ids) {
    for (std::size_t i = 0; i < ids_.size(); ++i) at_.emplace(ids_[i], i);
    taken_.assign(ids_.size(), false);
  }
  bool has(cad::ObjectId id) const {
    auto it = at_.find(id);
    return it != at_.end() && !taken_[it->second];
  }
  void take(cad::ObjectId id) {
    auto it = at_.find(id);
    if (it != at_.end() && !taken_[it->second]) {
      taken_[it->second] = true;
      ++takenCount_;
    }
  }
  // The first untaken piece, or null.
  cad::ObjectId first() {
    while (cursor_ < ids_.size() && taken_[cursor_]) ++cursor_;
    return cursor_ < ids_.size() ? ids_[cursor_] : cad::ObjectId();
  }
  std::size_t takenCount() const { return takenCount_; }
  cad::ObjectIdArray rest() const {
    cad::ObjectIdArray out;
    for (std::size_t i = 0; i < ids_.size(); ++i)
      if (!taken_[i]) out.push_back(ids_[i]);
    return out;
  }

 private:
  cad::ObjectIdArray ids_;
  std::unordered_map<cad::ObjectId, std::size_t> at_;  // first position of an id
  std::vector<bool> taken_;
  std::size_t cursor_ = 0, takenCount_ = 0;
};

class Tracer {
 public:
  Tracer(const CircuitTraceOptions& o, const CrossingIndex& devices, const CrossingIndex& pieces,
         const std::unordered_set<cad::ObjectId>& pieceSet, WorkList& untraced)
      : o_(o), devices_(devices), pieces_(pieces), pieceSet_(pieceSet), untraced_(untraced) {}

  // The first device entity meeting the square of side 2d around p, its
  // sides along p-q.
  cad::ObjectId deviceNear(const Point3d& p, const Point3d& q, double d) const {
    const cad::ObjectIdArray hits = devices_.crossing(squareAlong(p, q - p, d));
    return hits.empty() ? cad::ObjectId() : hits.front();
  }

  // Follows the run leaving `piece` at its end p (q the other end).
  cad::ObjectIdArray follow(cad::ObjectId piece, Point3d p, Point3d q) {
    cad::ObjectIdArray path;
    const double c = o_.connect;
    for (;;) {
      if (cad::ObjectId dev1 = deviceNear(p, q, c); !dev1.isNull()) {
        path.push_back(DevicePrimaryOf(dev1));
        return path;
      }
      const cad::ObjectId dev2 = deviceNear(p, q, 2 * c);
      cad::ObjectIdArray near = pieces_.crossing({Point3d(p.x - c, p.y + c, 0), Point3d(p.x - c, p.y - c, 0),
                                                  Point3d(p.x + c, p.y - c, 0), Point3d(p.x + c, p.y + c, 0)});
      near.erase(std::remove_if(near.begin(), near.end(),
                                [&](cad::ObjectId id) { return id == piece || !pieceSet_.count(id); }),
                 near.end());
      if (!near.empty() && !dev2.isNull()) {
        path.push_back(DevicePrimaryOf(dev2));
        return path;
      }
      if (near.size() >= 2) {
        path.push_back({});
        return path;
      }
      if (near.size() == 1) {
        Point3d s, e;
        if (curveEnds(near[0], s, e)) {
          Point3d nextP;
          Point3d nextQ;
          if (p.distanceTo(s) < c) {
            nextP = e;
            nextQ = s;
          } else if (p.distanceTo(e) < c) {
            nextP = s;
            nextQ = e;
          } else {
            path.push_back({});
            return path;
          }
          if (!untraced_.has(near[0])) {
            path.push_back({});
            return path;
          }
          path.push_back(near[0]);
          untraced_.take(near[0]);
          piece = near[0];
          p = nextP;
          q = nextQ;
          continue;
        }
      }
      // Gap search straight on beyond the end.
      const Vector3d w = unitOr(p - q, Vector3d(1, 0, 0));
      cad::ObjectIdArray candidates = pieces_.crossing(band(p, p + w * o_.merge, 30.0));
      candidates.erase(std::remove(candidates.begin(), candidates.end(), piece), candidates.end());
      if (candidates.empty()) {
        path.push_back({});
        return path;
      }
      double best = o_.merge + 1.0;
      cad::ObjectId chosen;
      Point3d cs, ce;
      for (cad::ObjectId k : candidates) {
        if (!untraced_.has(k)) continue;
        Point3d s, e;
        if (!curveEnds(k, s, e)) continue;
        if (!IsSameDirection(s - e, p - q, 0.05) && !IsSameDirection(e - s, p - q, 0.05)) continue;
        const double d = std::min(p.distanceTo(s), p.distanceTo(e));
        if (d < best) {
          best = d;
          chosen = k;
          cs = s;
          ce = e;
        }
      }
      if (!chosen.isNull() && best <= o_.merge) {
        const bool startNear = p.distanceTo(cs) < p.distanceTo(ce);
        const Point3d nb = startNear ? cs : ce, fb = startNear ? ce : cs;
        const cad::ObjectId dev3 = dev2.isNull() ? cad::ObjectId() : deviceNear(nb, fb, c);
        if (dev3.isNull()) {
          path.push_back(chosen);
          untraced_.take(chosen);
          piece = chosen;
          p = fb;
          q = nb;
          continue;
        }
        path.push_back(DevicePrimaryOf(dev2));
        if (dev3 != dev2) path.push_back(DevicePrimaryOf(dev3));
        return path;
      }
      path.push_back(dev2.isNull() ? cad::ObjectId() : DevicePrimaryOf(dev2));
      return path;
    }
  }

 private:
  const CircuitTraceOptions& o_;
  const CrossingIndex& devices_;
  const CrossingIndex& pieces_;
  const std::unordered_set<cad::ObjectId>& pieceSet_;
  WorkList& untraced_;
};

}  // namespace

void ClearCircuitState() {
  g_tracedCircuits.clear();
  g_deviceEntityIds.clear();
  g_devicePrimaryIds.clear();
  g_untracedPieceIds.clear();
  g_circuitPieceIds.clear();
  g_devicePrimaryHandles.clear();
  g_circuitShift = Vector3d();
  deviceMap().clear();
}

cad::ObjectId DevicePrimaryOf(cad::ObjectId entity) {
  auto it = deviceMap().find(entity);
  return it == deviceMap().end() ? cad::ObjectId() : it->second;
}

bool IsDeviceEntity(cad::ObjectId id) { return deviceMap().count(id) > 0; }

void CollectSameNumberIds(const cad::ObjectIdArray& ids, cad::ObjectIdArray& out) {
  out.clear();
  std::unordered_set<std::wstring> numbers;
  for (cad::ObjectId id : ids) {
    const std::wstring n = numberOf(id);
    if (!n.empty()) numbers.insert(n);
  }
  if (numbers.empty()) return;
  for (cad::ObjectId id : g_deviceEntityIds)
    if (numbers.count(numberOf(id))) out.push_back(id);
}

void CollectPrimaryDevices(const cad::ObjectIdArray& ids, StringArray* handles) {
  g_devicePrimaryIds.clear();
  if (handles) handles->clear();
  for (cad::ObjectId id : ids) {
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    const std::wstring own = GetHandleText(id);
    if (attrs.empty() || attrs[0] != own) continue;
    g_devicePrimaryIds.push_back(id);
    if (handles) handles->push_back(own);
  }
}

void SortPointsByDistance(std::vector<Point3d>* points, const Point3d& reference) {
  std::stable_sort(points->begin(), points->end(), [&](const Point3d& a, const Point3d& b) {
    return a.distanceTo(reference) < b.distanceTo(reference);
  });
}

CircuitTraceResult TraceCircuits(const cad::ObjectIdArray& wiring, const CircuitTraceOptions& options) {
  CircuitTraceResult result;
  ClearCircuitState();
  g_circuitShift = options.shift;
  if (wiring.empty()) {
    result.message = L"\n没有提取管线，请先用\"提取管线\"选择配线图层！\n";
    return result;
  }
  cad::Database* db = workingDb();
  const cad::ObjectId clayer = db->clayer();

  // Devices: boxes first, then lamps and the like.
  std::unordered_set<cad::ObjectId> boxEntities;
  cad::ObjectIdArray primaries, entities;
  for (const wchar_t* category : {L"设备、箱柜", L"照明器具"}) {
    StringArray types, edges;
    ExpandGjCategories(category, types);
    for (const auto& t : types) {
      SetLayerOff(t, false, nullptr);
      SetLayerOff(t + L"边线", false, nullptr);
      SetLayerOff(t + L"名", false, nullptr);
      edges.push_back(t + L"边线");
    }
    cad::ObjectIdArray onTypes, onEdges;
    if (!types.empty()) CollectIdsByLayerAndNumber(joined(types), L"", onTypes, nullptr);
    if (!edges.empty()) CollectIdsByLayerAndNumber(joined(edges), L"", onEdges, nullptr);
    primaries.insert(primaries.end(), onTypes.begin(), onTypes.end());
    entities.insert(entities.end(), onTypes.begin(), onTypes.end());
    entities.insert(entities.end(), onEdges.begin(), onEdges.end());
    if (category == std::wstring(L"设备、箱柜")) {
      boxEntities.insert(onTypes.begin(), onTypes.end());
      boxEntities.insert(onEdges.begin(), onEdges.end());
    }
  }
  CollectPrimaryDevices(primaries, &g_devicePrimaryHandles);
  if (g_devicePrimaryIds.size() < 2) {
    result.message = L"\n图中转换出的设备(配电箱、灯具等)不足两个，无法分析回路，请先转换设备！\n";
    ClearCircuitState();
    return result;
  }
  {
    std::unordered_map<std::wstring, cad::ObjectId> byHandle;
    for (std::size_t i = 0; i < g_devicePrimaryIds.size(); ++i)
      byHandle.emplace(g_devicePrimaryHandles[i], g_devicePrimaryIds[i]);
    g_devicePrimaryIds.clear();
    for (cad::ObjectId id : entities) {
      std::wstring n;
      StringArray attrs;
      GetGjNumberAndAttrs(id, n, attrs);
      if (attrs.empty()) continue;
      auto it = byHandle.find(attrs[0]);
      if (it == byHandle.end()) continue;
      g_deviceEntityIds.push_back(id);
      g_devicePrimaryIds.push_back(it->second);
      deviceMap().emplace(id, it->second);
    }
  }
  // Device entities in source space.
  CrossingIndex devices;
  for (cad::ObjectId id : g_deviceEntityIds) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    cad::Extents3d box;
    if (!ent || !ent->visible() || ent->getGeomExtents(box) != cad::Status::Ok) continue;
    devices.addBox(id, box.minPoint - options.shift, box.maxPoint - options.shift);
  }

  // Which wiring entity each piece stands for.
  std::unordered_map<cad::ObjectId, cad::ObjectId> originOf;
  std::unordered_map<cad::ObjectId, cad::ObjectIdArray> replacedBy;
  std::vector<cad::ObjectId> replacedOrder;
  auto replace = [&](cad::ObjectId piece, const cad::ObjectIdArray& parts) {
    auto it = originOf.find(piece);
    const cad::ObjectId origin = it == originOf.end() ? piece : it->second;
    if (!replacedBy.count(origin)) {
      replacedOrder.push_back(origin);
      replacedBy[origin] = {origin};
    }
    cad::ObjectIdArray& now = replacedBy[origin];
    auto at = std::find(now.begin(), now.end(), piece);
    if (at != now.end()) at = now.erase(at);
    now.insert(at, parts.begin(), parts.end());
    for (cad::ObjectId p : parts) originOf[p] = origin;
  };

  // Cut at vertices.
  const int total = int(wiring.size());
  ed::setStatusBarProgressMeter(L"分析回路", 0, total);
  cad::ObjectIdArray pieces;
  for (int i = total - 1; i >= 0; --i) {
    ed::setStatusBarProgressMeterPos(total - 1 - i);
    const cad::ObjectId id = wiring[std::size_t(i)];
    PointList pts;
    BulgeList bulges;
    {
      cad::ObjectPtr<cad::Curve> c(id, cad::OpenMode::ForRead);
      if (!c) continue;
      GetEntityVerticesOpen(c.get(), pts, bulges);
    }
    if (pts.size() < 3) {
      pieces.push_back(id);
      continue;
    }
    const cad::ObjectIdArray parts = splitCurve(id, std::vector<Point3d>(pts.begin(), pts.end()));
    if (parts.empty()) {
      pieces.push_back(id);
      continue;
    }
    replace(id, parts);
    pieces.insert(pieces.end(), parts.begin(), parts.end());
  }
  ed::restoreStatusBar();

  // Cut at lamps sitting on a piece.
  cad::ObjectIdArray cut;
  ed::setStatusBarProgressMeter(L"分析回路", 0, int(pieces.size()));
  const double c = options.connect;
  for (int i = int(pieces.size()) - 1; i >= 0; --i) {
    ed::setStatusBarProgressMeterPos(int(pieces.size()) - 1 - i);
    const cad::ObjectId id = pieces[std::size_t(i)];
    Point3d s, e;
    if (!curveEnds(id, s, e)) continue;
    const Vector3d u = unitOr(e - s, Vector3d(1, 0, 0));
    cad::ObjectIdArray lamps;
    for (cad::ObjectId d : devices.crossing(band(s + u * (1.1 * c), e - u * (1.1 * c), 30.0)))
      if (!boxEntities.count(d)) lamps.push_back(d);
    if (!lamps.empty()) {
      std::unordered_set<cad::ObjectId> atEnds;
      for (cad::ObjectId d : devices.crossing(squareAlong(s, u, c))) atEnds.insert(d);
      for (cad::ObjectId d : devices.crossing(squareAlong(e, u, c))) atEnds.insert(d);
      std::vector<Point3d> cuts;
      for (cad::ObjectId d : lamps) {
        if (atEnds.count(d)) continue;
        // Only a block reference has an insertion point; a lamp's edge line
        // is passed over.
        cad::ObjectPtr<cad::BlockReference> ref(d, cad::OpenMode::ForRead);
        if (!ref) continue;
        Point3d foot;
        if (GetPerpFootOnSegment(ref->position() - options.shift, s, e, 0, foot) < 0) continue;
        foot.z = s.z;
        if (std::none_of(cuts.begin(), cuts.end(), [&](const Point3d& q) { return q.isEqualTo(foot); }))
          cuts.push_back(foot);
      }
      if (!cuts.empty()) {
        cuts.insert(cuts.begin(), s);
        cuts.push_back(e);
        SortPointsByDistance(&cuts, s);
        const cad::ObjectIdArray parts = splitCurve(id, cuts);
        if (!parts.empty()) {
          replace(id, parts);
          cut.insert(cut.end(), parts.begin(), parts.end());
          continue;
        }
      }
    }
    cut.push_back(id);
  }
  ed::restoreStatusBar();
  db->setClayer(clayer);

  // Trace.
  g_circuitPieceIds = cut;
  const std::unordered_set<cad::ObjectId> pieceSet(cut.begin(), cut.end());
  CrossingIndex pieceIndex;
  for (cad::ObjectId id : cut) {
    Point3d s, e;
    if (curveEnds(id, s, e)) pieceIndex.addSegment(id, s, e);
  }
  WorkList untraced(cut);
  Tracer tracer(options, devices, pieceIndex, pieceSet, untraced);
  ed::setStatusBarProgressMeter(L"分析回路", 0, int(cut.size()));
  for (cad::ObjectId seed; !(seed = untraced.first()).isNull();) {
    // The seed leaves the work list before its runs are followed, so that a
    // closed loop coming back to it ends there instead of taking it twice.
    untraced.take(seed);
    Point3d s, e;
    if (!curveEnds(seed, s, e)) continue;
    cad::ObjectIdArray pathS = tracer.follow(seed, s, e);
    const cad::ObjectIdArray pathE = tracer.follow(seed, e, s);
    TracedCircuit circuit(pathS.rbegin(), pathS.rend());
    circuit.push_back(seed);
    circuit.insert(circuit.end(), pathE.begin(), pathE.end());
    g_tracedCircuits.push_back(std::move(circuit));
    ed::setStatusBarProgressMeterPos(int(untraced.takenCount()));
  }
  g_untracedPieceIds = untraced.rest();
  ed::restoreStatusBar();
  for (cad::ObjectId origin : replacedOrder) result.replaced.push_back({origin, replacedBy[origin]});
  result.ok = true;
  return result;
}
