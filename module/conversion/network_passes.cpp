#include "module/conversion/network_passes.h"

#include <algorithm>
#include <cwctype>
#include <cmath>
#include <deque>
#include <set>
#include <unordered_map>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include "module/conversion/segment_index.h"
#include "module/model/component_types.h"
#include "module/model/linear_entities.h"
#include "module/model/picking.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/progress.h"
#include "platform/editor/selection.h"

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace {

using geom::Point3d;
using geom::Vector3d;

constexpr const wchar_t* kDiameterKey = L"公称管径D_0(mm)";
constexpr double kSin5 = 0.0871557427;  // sin(0.0872664625)

double planLength(const Point3d& a, const Point3d& b) { return std::hypot(b.x - a.x, b.y - a.y); }

Point3d moved(const Point3d& p, const Vector3d& t) { return {p.x + t.x, p.y + t.y, p.z + t.z}; }

// Progress on the status bar for the time of one pass.
class Progress {
 public:
  Progress(const wchar_t* label, int max) { ed::setStatusBarProgressMeter(label, 0, max); }
  ~Progress() { ed::restoreStatusBar(); }
  void at(int pos) { ed::setStatusBarProgressMeterPos(pos); }
};

cad::ObjectId createRun(const GjSegment& like, const Point3d& a, const Point3d& b, int vertical,
                        double bulge = 0.0) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, like.name, like.number, a, b, vertical ? 0.0 : bulge, vertical);
  return id;
}

// The plan reach along which two collinear runs share their line: the
// length of the overlap of b on a (0 or less when they do not overlap).
double sharedLength(const Point3d& as, const Point3d& ae, const Point3d& bs, const Point3d& be) {
  const Vector3d d = ae - as;
  const double len = d.length();
  if (len < 1e-9) return 0;
  const Vector3d u = d * (1.0 / len);
  const double t0 = (bs - as).dot(u), t1 = (be - as).dot(u);
  return std::min(len, std::max(t0, t1)) - std::max(0.0, std::min(t0, t1));
}

// The attribute lines of a component beyond its primary stamp (the handle
// and "主键"): what a re-made piece must carry on.
StringArray extraAttrs(cad::ObjectId id) {
  StringArray lines;
  GetXdataLines(id, kXdataAttrs, lines);
  if (lines.size() <= 2) return {};
  return StringArray(lines.begin() + 2, lines.end());
}

void appendAttrs(cad::ObjectId id, const StringArray& extra) {
  if (extra.empty()) return;
  StringArray lines = extra;
  SetXdataLines(id, kXdataAttrs, lines, nullptr);
}

// Collinearity of two lines as the geometry library tests it: parallel
// within the vector tolerance (sin 5°) and the second line's start point on
// the first line within the point tolerance (1.0).
bool collinear(const Point3d& as, const Point3d& ae, const Point3d& bs, const Point3d& be) {
  Vector3d u = ae - as, v = be - bs;
  const double lu = u.length(), lv = v.length();
  if (lu < 1e-9 || lv < 1e-9) return false;
  if (u.cross(v).length() > kSin5 * lu * lv) return false;
  return (bs - as).cross(u).length() / lu <= 1.0;
}

// Closest points of two 3D segments; false when they are parallel.
bool closestOnSegments(const Point3d& p1, const Point3d& q1, const Point3d& p2, const Point3d& q2, Point3d& c1,
                       Point3d& c2) {
  const Vector3d d1 = q1 - p1, d2 = q2 - p2, r = p1 - p2;
  const double a = d1.dot(d1), e = d2.dot(d2), f = d2.dot(r);
  if (a < 1e-12 || e < 1e-12) return false;
  const double c = d1.dot(r), b = d1.dot(d2);
  const double denom = a * e - b * b;
  if (denom <= 1e-12 * a * e) return false;  // parallel: no single crossing
  double s = std::clamp((b * f - c * e) / denom, 0.0, 1.0);
  double t = (b * s + f) / e;
  if (t < 0) {
    t = 0;
    s = std::clamp(-c / a, 0.0, 1.0);
  } else if (t > 1) {
    t = 1;
    s = std::clamp((b - c) / a, 0.0, 1.0);
  }
  c1 = p1 + d1 * s;
  c2 = p2 + d2 * t;
  return true;
}

// A crossing on a run, and how far along the run it lies.
struct Cut {
  double along;
  Point3d at;
};

Cut cutOn(const GjSegment& run, const Point3d& at) { return {(at - run.start).dot(run.end - run.start), at}; }

// The run's points with its crossings in order along it; a crossing within
// 1 of the start, the end or the crossing before it adds nothing, so a run
// touched at its end is not cut there.
std::vector<Point3d> cutPoints(const GjSegment& run, std::vector<Cut>& cuts) {
  std::vector<Point3d> pts{run.start};
  std::sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) { return a.along < b.along; });
  for (const Cut& c : cuts)
    if (c.at.distanceTo(pts.back()) >= 1.0 && c.at.distanceTo(run.end) >= 1.0) pts.push_back(c.at);
  pts.push_back(run.end);
  return pts;
}

// Writes the label as the run's number and its diameter line (the other
// attribute lines and the special data stay). False when the write failed.
bool relabel(cad::ObjectId id, const std::wstring& label, const double* diameter) {
  ClearXdata(id, kXdataNumber);
  StringArray number{label};
  if (!SetXdataLines(id, kXdataNumber, number, nullptr)) return false;
  if (!diameter) return true;
  StringArray attrs, kept;
  GetXdataLines(id, kXdataAttrs, attrs);
  const std::wstring key = std::wstring(kDiameterKey) + L"=";
  for (const auto& line : attrs)
    if (line.rfind(key, 0) != 0) kept.push_back(line);
  kept.push_back(std::wstring(kDiameterKey) + L"=" + SizeText(*diameter));
  ClearXdata(id, kXdataAttrs);
  return SetXdataLines(id, kXdataAttrs, kept, nullptr);
}

}  // namespace

const wchar_t* FixtureCategories(NetworkVariant v) {
  return v == NetworkVariant::Pipe ? L"管道附件,卫生器具" : L"水暖附件,水暖设备";
}

int FindSegmentIndex(const GjSegmentArray& segments, cad::ObjectId id) {
  for (std::size_t i = 0; i < segments.size(); ++i)
    if (segments[i].id == id) return int(i);
  return -1;
}

bool DiameterOfLabel(const std::wstring& label, double& diameter) {
  const auto digit = label.find_first_of(L"0123456789");
  if (digit == std::wstring::npos) return false;
  const double d = std::wcstod(label.c_str() + digit, nullptr);
  if (!(d > 0)) return false;
  diameter = d;
  return true;
}

std::wstring SizeText(double size) {
  std::wstring text = FormatNumber(size, 3);
  if (text.find(L'.') != std::wstring::npos) {
    while (!text.empty() && text.back() == L'0') text.pop_back();
    if (!text.empty() && text.back() == L'.') text.pop_back();
  }
  return text;
}

double RunBulge(const PipeNetwork& net, cad::ObjectId id) {
  auto it = net.bulges.find(id);
  return it == net.bulges.end() ? 0.0 : it->second;
}

void CollectLinearComponents(PipeNetwork& net, const StringArray& names) {
  ed::SelSet ss = 0;
  if (ed::ssGet(L"X", {}, {}, ss) != ed::kNormal) return;
  cad::ObjectIdArray ids;
  SSToIds(ss, ids);
  ed::ssFree(ss);
  for (cad::ObjectId id : ids) {
    std::wstring layer;
    GetEntityLayer(id, layer);
    if (std::find(names.begin(), names.end(), layer) == names.end()) continue;
    StringArray special;
    GetXdataLines(id, kXdataSpecial, special);
    const std::wstring kind = GetAttrValue(special, L"类型");
    if (kind != L"斜管" && kind != L"立管" && kind != L"贯通管") continue;
    Point3d s, e;
    if (!GetGjEndPoints3d(id, s, e)) continue;
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (kind == L"斜管") {
      cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
      if (pl && pl->numVerts() >= 2) {
        const double bulge = pl->bulgeAt(0);
        if (bulge != 0.0) net.bulges[id] = bulge;
      }
    }
    net.allSegments.emplace_back(id, s, e, layer, number);
  }
}

// ---------------------------------------------------------------------------
// Recognition
// ---------------------------------------------------------------------------

void RecognisePipeRuns(PipeNetwork& net, const cad::ObjectIdArray* rowIds, const std::wstring& name,
                       const std::wstring& number, bool riser, double startElev, double endElev) {
  if (!rowIds) return;
  const Vector3d t = net.translation();
  SegmentIndex all(net.allSegments), made(net.newSegments);
  Progress progress(L"识别", int(rowIds->size()));
  auto offer = [&](const Point3d& a, const Point3d& b, int vertical, double bulge) {
    if (!RemoveOverlappedIndexed(all, a, b, bulge, &net.bulges) ||
        !RemoveOverlappedIndexed(made, a, b, bulge, &net.bulges))
      return;
    GjSegment seg(cad::ObjectId(), a, b, name, number);
    seg.id = createRun(seg, a, b, vertical, bulge);
    if (seg.id.isNull()) return;
    if (bulge != 0.0) net.bulges[seg.id] = bulge;
    net.made.insert(seg.id);
    made.append(seg);
  };
  int index = 0;
  for (cad::ObjectId id : *rowIds) {
    progress.at(index++);
    PointList pts;
    BulgeList bulges;
    bool isCircle = false, isLinear = false;
    Point3d centre;
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent) {
        ++net.skippedEntities;
        continue;
      }
      if (auto* c = cad::cast<cad::Circle>(ent.get())) {
        isCircle = true;
        centre = c->center();
      }
      isLinear = cad::isKindOf<cad::Line>(ent.get()) || cad::isKindOf<cad::Polyline>(ent.get()) ||
                 cad::isKindOf<cad::Arc>(ent.get());
      if (isLinear) GetEntityVerticesOpen(ent.get(), pts, bulges);
    }
    if (riser) {
      if (!isCircle) {
        if (pts.size() < 2 || !IsEqualPoint(pts.front(), pts.back(), 1.0) ||
            !GetOutlineCentroid(pts, bulges, centre)) {
          ++net.skippedEntities;
          continue;
        }
      }
      offer(moved({centre.x, centre.y, startElev}, t), moved({centre.x, centre.y, endElev}, t), 1, 0.0);
      continue;
    }
    if (!isLinear || pts.size() < 2) {
      ++net.skippedEntities;
      continue;
    }
    // The elevation runs from the start to the end elevation along the
    // whole outline, so that the pieces of a polyline join without steps.
    // An arc piece keeps its bulge and is measured along the arc.
    auto bulgeAt = [&](std::size_t i) { return i < bulges.size() ? bulges[i] : 0.0; };
    double total = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) total += GetSegmentLength(pts[i], pts[i + 1], bulgeAt(i));
    double along = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
      const double len = GetSegmentLength(pts[i], pts[i + 1], bulgeAt(i));
      const double z0 = total > 0 ? startElev + (endElev - startElev) * along / total : startElev;
      along += len;
      const double z1 = total > 0 ? startElev + (endElev - startElev) * along / total : endElev;
      if (planLength(pts[i], pts[i + 1]) < 1e-9) continue;
      offer(moved({pts[i].x, pts[i].y, z0}, t), moved({pts[i + 1].x, pts[i + 1].y, z1}, t), 0, bulgeAt(i));
    }
  }
  HighlightEntities(*rowIds, 0);
  net.allSegments = all.segments();
  net.newSegments = made.segments();
}

// ---------------------------------------------------------------------------
// Auto-connect
// ---------------------------------------------------------------------------

void AutoConnectPipes(PipeNetwork& net) {
  SegmentIndex all(net.allSegments);
  std::deque<GjSegment> queue(net.newSegments.begin(), net.newSegments.end());
  // The queue's entries by id, to take a joined B out of it.
  std::unordered_multiset<cad::ObjectId> dropped;
  std::unordered_map<cad::ObjectId, int> queued;  // how often each id waits in the queue
  for (const GjSegment& s : queue) ++queued[s.id];
  Progress progress(L"自动连接", int(queue.size()));
  const int total = int(queue.size());
  const bool pipe = net.variant == NetworkVariant::Pipe;
  while (!queue.empty()) {
    GjSegment a = queue.front();
    queue.pop_front();
    --queued[a.id];
    progress.at(total - int(queue.size()));
    if (auto it = dropped.find(a.id); it != dropped.end()) {
      dropped.erase(it);
      continue;
    }
    if (a.id.isErased()) continue;  // a join before took it away
    if (all.size() == 0) continue;
    auto slots = all.query(a.start, a.end, net.gapLimit);
    for (auto it = slots.rbegin(); it != slots.rend(); ++it) {
      const std::size_t slot = *it;
      if (!all.alive(slot)) continue;
      const GjSegment b = all.at(slot);
      if (b.name != a.name || b.id == a.id) continue;
      // An arc keeps its ends: it is never joined into a straight run.
      if (RunBulge(net, a.id) != 0.0 || RunBulge(net, b.id) != 0.0) continue;
      if (!collinear(a.start, a.end, b.start, b.end)) continue;
      // Collinear runs that share a stretch of their line are one pipe
      // drawn twice: they merge end to end whatever the gap rule says, so
      // the shared stretch counts once.
      const bool overlapping = sharedLength(a.start, a.end, b.start, b.end) > 1.0;
      Point3d ja, jb, p, q;
      if (pipe || overlapping) {
        const Point3d pairs[4][2] = {{a.start, b.start}, {a.start, b.end}, {a.end, b.start}, {a.end, b.end}};
        double best = -1;
        for (const auto& pr : pairs) {
          const double d = pr[0].distanceTo(pr[1]);
          if (best < 0 || d < best) {
            best = d;
            ja = pr[0];
            jb = pr[1];
          }
        }
        const Point3d pts[4] = {a.start, a.end, b.start, b.end};
        const int order[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
        double far = -1;
        for (const auto& o : order) {
          const double d = pts[o[0]].distanceTo(pts[o[1]]);
          if (d > far) {
            far = d;
            p = pts[o[0]];
            q = pts[o[1]];
          }
        }
      } else {
        ja = a.end.distanceTo(b.start) > a.start.distanceTo(b.start) ? a.start : a.end;
        jb = b.end.distanceTo(ja) > b.start.distanceTo(ja) ? b.start : b.end;
        p = a.end.distanceTo(b.start) < a.start.distanceTo(b.start) ? a.start : a.end;
        q = b.end.distanceTo(p) < b.start.distanceTo(p) ? b.start : b.end;
      }
      const double gap = ja.distanceTo(jb);
      if (!overlapping && !(gap > 10.0 && gap < net.gapLimit)) continue;
      const int vertical = planLength(p, q) < 1.0 ? 1 : 0;
      // The joined run keeps A's number, or B's when A still waits for a
      // label of the drawing.
      GjSegment joined(cad::ObjectId(), p, q, a.name, a.number == kAutoNumber ? b.number : a.number);
      if (pipe || overlapping) {
        // A kinked join need not cover A and B by the overlap rule: make the
        // new run first and erase the two it replaces explicitly.
        joined.id = createRun(joined, p, q, vertical);
        if (joined.id.isNull()) continue;
        for (cad::ObjectId old : {a.id, b.id}) {
          long s = all.find(old);
          if (s >= 0) all.remove(std::size_t(s));
          EraseEntity(old);
        }
        RemoveOverlappedIndexed(all, p, q, 0.0, &net.bulges);  // third runs lying on the join
      } else {
        joined.id = createRun(joined, p, q, vertical);
        if (joined.id.isNull()) continue;
        all.remove(slot);
        EraseEntity(b.id);
        long s = all.find(a.id);
        if (s >= 0) all.remove(std::size_t(s));
        EraseEntity(a.id);
      }
      // B leaves the queue when it is still waiting there.
      if (queued[b.id] > 0) {
        dropped.insert(b.id);
        --queued[b.id];
      }
      net.made.insert(joined.id);
      queue.push_back(joined);
      ++queued[joined.id];
      all.append(joined);
      break;
    }
  }
  net.allSegments = all.segments();
  net.newSegments.clear();
}

// ---------------------------------------------------------------------------
// Risers at fixtures
// ---------------------------------------------------------------------------

namespace {

struct Fixture {
  GjNode node;
  bool live = true;
};

using BPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using BBox = bg::model::box<BPoint>;
using FixtureValue = std::pair<BBox, std::size_t>;

}  // namespace

void GenerateRisersAtFixtures(PipeNetwork& net) {
  StringArray types;
  ExpandGjCategories(FixtureCategories(net.variant), types);
  // The fixtures: the entities on each type's layer, type after type, each
  // type's in drawing order.
  auto selectOnLayer = [](const std::wstring& pattern, cad::ObjectIdArray& out) {
    ed::SelSet ss = 0;
    if (ed::ssGet(L"X", {}, {cad::TypedValue(8, pattern)}, ss) != ed::kNormal) return;
    cad::ObjectIdArray some;
    SSToIds(ss, some);
    ed::ssFree(ss);
    out.insert(out.end(), some.begin(), some.end());
  };
  cad::ObjectIdArray ids;
  for (const auto& type : types) SetLayerOff(type, false, nullptr);
  const bool plainNames = std::all_of(types.begin(), types.end(), [](const std::wstring& type) {
    return !type.empty() && type.find_first_of(L"*?#@.~[]`,") == std::wstring::npos;
  });
  if (plainNames && !types.empty()) {
    // One walk over the drawing for every type (a pattern of alternatives),
    // its entities then sorted out type by type.
    std::wstring anyType;
    for (const auto& type : types) anyType += (anyType.empty() ? L"" : L",") + type;
    cad::ObjectIdArray candidates;
    selectOnLayer(anyType, candidates);
    // Each candidate's layer read once, filed under the types of that name
    // (names compare as the selection compares them, letters in any case).
    std::unordered_map<std::wstring, std::vector<std::size_t>> typesNamed;
    for (std::size_t t = 0; t < types.size(); ++t) typesNamed[cad::foldName(types[t])].push_back(t);
    std::vector<cad::ObjectIdArray> ofType(types.size());
    for (cad::ObjectId id : candidates) {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent) continue;
      auto it = typesNamed.find(cad::foldName(ent->layer()));
      if (it == typesNamed.end()) continue;
      for (std::size_t t : it->second) ofType[t].push_back(id);
    }
    std::wstring lastFound;
    for (std::size_t t = 0; t < types.size(); ++t) {
      ids.insert(ids.end(), ofType[t].begin(), ofType[t].end());
      if (!ofType[t].empty()) lastFound = types[t];
    }
    // The previous selection stays what a selection per type leaves: the
    // last type's that found something.
    if (!lastFound.empty()) {
      cad::ObjectIdArray again;
      selectOnLayer(lastFound, again);
    }
  } else {
    for (const auto& type : types) selectOnLayer(type, ids);
  }
  // The entities of each fixture component (block, edge lines, labels) by
  // the handle of its primary entity, to move a fixture whole.
  std::unordered_map<std::wstring, cad::ObjectIdArray> parts;
  {
    std::wstring layers;
    for (const auto& type : types) layers += (layers.empty() ? L"" : L",") + type + L"," + type + L"边线," + type + L"名";
    cad::ObjectIdArray all;
    if (!layers.empty()) CollectIdsByLayerAndNumber(layers, L"", all, nullptr);
    for (cad::ObjectId id : all) {
      std::wstring number;
      StringArray attrs;
      GetGjNumberAndAttrs(id, number, attrs);
      if (!attrs.empty()) parts[attrs.front()].push_back(id);
    }
  }
  std::vector<Fixture> fixtures;
  for (cad::ObjectId id : ids) {
    Point3d pos;
    if (!IsPointGj(id, pos)) continue;
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (!ref) continue;
    Fixture f;
    f.node.id = id;
    f.node.position = pos;
    cad::Extents3d ext;
    if (ref->getGeomExtents(ext) == cad::Status::Ok && ext.isValid()) {
      f.node.boxMin = ext.minPoint;
      f.node.boxMax = ext.maxPoint;
    } else {
      f.node.boxMin = {pos.x - 300, pos.y - 300, 0};
      f.node.boxMax = {pos.x + 300, pos.y + 300, 0};
    }
    fixtures.push_back(f);
  }
  // Fixtures by insertion point, and by the reach of their boxes.
  std::vector<FixtureValue> atPoint, reach;
  for (std::size_t i = 0; i < fixtures.size(); ++i) {
    const GjNode& n = fixtures[i].node;
    atPoint.emplace_back(BBox(BPoint(n.position.x, n.position.y), BPoint(n.position.x, n.position.y)), i);
    const Point3d c = n.boxMin + (n.boxMax - n.boxMin) * 0.5;
    const double r = n.boxMin.distanceTo(n.boxMax) / 2 + 30.0;
    reach.emplace_back(BBox(BPoint(c.x - r, c.y - r), BPoint(c.x + r, c.y + r)), i);
  }
  bgi::rtree<FixtureValue, bgi::rstar<16>> pointTree(atPoint.begin(), atPoint.end());
  bgi::rtree<FixtureValue, bgi::rstar<16>> reachTree(reach.begin(), reach.end());
  auto queryFixtures = [&](const auto& tree, double x0, double y0, double x1, double y1) {
    std::vector<FixtureValue> hits;
    tree.query(bgi::intersects(BBox(BPoint(std::min(x0, x1), std::min(y0, y1)), BPoint(std::max(x0, x1), std::max(y0, y1)))),
               std::back_inserter(hits));
    std::vector<std::size_t> out;
    for (const auto& h : hits)
      if (fixtures[h.second].live) out.push_back(h.second);
    std::sort(out.begin(), out.end());
    return out;
  };

  // Fixtures that already have a riser.
  for (const GjSegment& s : net.allSegments) {
    if (planLength(s.start, s.end) >= 1.0) continue;
    auto near = queryFixtures(pointTree, s.start.x - 100, s.start.y - 100, s.start.x + 100, s.start.y + 100);
    for (std::size_t i : near) {
      const Point3d& p = fixtures[i].node.position;
      if (p.distanceTo(s.start) < 100.0 || p.distanceTo(s.end) < 100.0) {
        fixtures[i].live = false;
        break;
      }
    }
  }

  SegmentIndex all(net.allSegments), risers;
  Progress progress(L"生成立管", int(all.slotCount()));
  const std::size_t runs = all.slotCount();
  for (std::size_t slot = 0; slot < runs; ++slot) {
    progress.at(int(slot));
    if (!all.alive(slot)) continue;
    const GjSegment original = all.at(slot);
    const double length = planLength(original.start, original.end);
    if (length < 1.0) continue;
    const Point3d ls(original.start.x, original.start.y, 0), le(original.end.x, original.end.y, 0);
    for (std::size_t i : queryFixtures(reachTree, ls.x, ls.y, le.x, le.y)) {
      if (!fixtures[i].live || !all.alive(slot)) continue;
      const GjNode& n = fixtures[i].node;
      const Point3d centre = n.boxMin + (n.boxMax - n.boxMin) * 0.5;
      const Point3d c0(centre.x, centre.y, 0);
      const Vector3d dir = le - ls;
      const double u = std::clamp((c0 - ls).dot(dir) / dir.dot(dir), 0.0, 1.0);
      const Point3d k = ls + dir * u;
      const double r = n.boxMin.distanceTo(n.boxMax) / 2 + 30.0;
      if (c0.distanceTo(k) > r) continue;
      const Point3d& np = n.position;
      Point3d rs, re;
      int where;  // 0 start, 1 end, 2 middle
      if (k.distanceTo(ls) < 10.0) {
        where = 0;
        rs = {np.x, np.y, original.start.z};
        re = np;
      } else if (k.distanceTo(le) < 10.0) {
        where = 1;
        rs = np;
        re = {np.x, np.y, original.end.z};
      } else {
        where = 2;
        const double zk = original.start.z + (original.end.z - original.start.z) * k.distanceTo(ls) / length;
        rs = {k.x, k.y, zk};
        re = {k.x, k.y, np.z};
      }
      // An arc meets a fixture only at its ends.
      if (where == 2 && RunBulge(net, original.id) != 0.0) continue;
      if (!RemoveOverlappedIndexed(all, rs, re, 0.0, &net.bulges) ||
          !RemoveOverlappedIndexed(risers, rs, re, 0.0, &net.bulges))
        continue;
      GjSegment riser(cad::ObjectId(), rs, re, original.name, original.number);
      riser.id = createRun(riser, rs, re, 1);
      if (!riser.id.isNull()) {
        net.made.insert(riser.id);
        risers.append(riser);
      }
      if (where < 2 && all.alive(slot)) {
        GjSegment cur = all.at(slot);
        const Point3d a = where == 0 ? Point3d(np.x, np.y, original.start.z) : cur.start;
        const Point3d b = where == 0 ? cur.end : Point3d(np.x, np.y, original.end.z);
        const StringArray extra = extraAttrs(cur.id);
        const double bulge = RunBulge(net, cur.id);
        cad::ObjectId remade = createRun(cur, a, b, 0, bulge);
        if (!remade.isNull()) {
          // The replacement exists: only now the old run goes.
          appendAttrs(remade, extra);
          if (bulge != 0.0) {
            net.bulges.erase(cur.id);
            net.bulges[remade] = bulge;
          }
          if (net.made.erase(cur.id)) net.made.insert(remade);
          EraseEntity(cur.id);
          cur.id = remade;
          cur.start = a;
          cur.end = b;
          all.update(slot, cur);
        }
      } else if (where == 2 && !riser.id.isNull()) {
        // The fixture moves onto the run with its edge lines and labels.
        const Vector3d offset(k.x - np.x, k.y - np.y, 0);
        auto whole = parts.find(GetHandleText(n.id));
        if (whole == parts.end())
          MoveEntity(n.id, offset);
        else
          for (cad::ObjectId part : whole->second) MoveEntity(part, offset);
      }
      fixtures[i].live = false;
    }
  }
  net.allSegments = all.segments();
  GjSegmentArray made = risers.segments();
  net.allSegments.insert(net.allSegments.end(), made.begin(), made.end());
}

// ---------------------------------------------------------------------------
// Breaking at crossings
// ---------------------------------------------------------------------------

void BreakPipesAtIntersections(PipeNetwork& net) {
  GjSegmentArray& runs = net.allSegments;
  const double tol = net.variant == NetworkVariant::Pipe ? 10.0 : 1e-10;
  std::vector<std::vector<Cut>> cuts(runs.size());
  Progress progress(L"相交打断", int(2 * runs.size()));
  // Each crossing pair once: run i meets every other run of its name still
  // listed, then leaves the crossing test.
  SegmentIndex index(runs);
  for (std::size_t n = runs.size(); n-- > 0;) {
    progress.at(int(runs.size() - 1 - n));
    const GjSegment& ri = runs[n];
    if (ri.id.isNull()) continue;
    // An arc is not cut, and its chord is no pipe to cut another run at.
    if (RunBulge(net, ri.id) != 0.0) {
      index.remove(n);
      continue;
    }
    for (std::size_t j : index.query(ri.start, ri.end, tol)) {
      if (j == n) continue;
      const GjSegment& rj = runs[j];
      if (rj.name != ri.name || RunBulge(net, rj.id) != 0.0) continue;
      Point3d ci, cj;
      if (!closestOnSegments(ri.start, ri.end, rj.start, rj.end, ci, cj)) continue;
      if (ci.distanceTo(cj) > tol) continue;
      cuts[n].push_back(cutOn(ri, ci));
      cuts[j].push_back(cutOn(rj, cj));
    }
    index.remove(n);
  }
  std::size_t total = 0;
  for (const auto& c : cuts) total += c.size() + 1;
  GjSegmentArray out;
  out.reserve(total);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    progress.at(int(runs.size() + i));
    GjSegment& r = runs[i];
    const std::vector<Point3d> points = cuts[i].empty() ? std::vector<Point3d>() : cutPoints(r, cuts[i]);
    if (points.size() <= 2) {  // no crossing inside: the run stays as it is
      out.push_back(std::move(r));
      continue;
    }
    std::wstring kind;
    GetGjSpecial(r.id, &kind, nullptr, nullptr);
    const StringArray extra = extraAttrs(r.id);
    // The pieces go straight to the result; a failure takes them back.
    const std::size_t first = out.size();
    bool failed = false;
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
      const Point3d& a = points[k];
      const Point3d& b = points[k + 1];
      const cad::ObjectId id = createRun(r, a, b, planLength(a, b) < 1.0 ? 1 : 0);
      if (id.isNull()) {
        if (a.distanceTo(b) >= 1.0) failed = true;
        continue;
      }
      appendAttrs(id, extra);
      if (kind == L"贯通管") SetGjSpecial(nullptr, &kind, id, nullptr, nullptr);
      out.emplace_back(id, a, b, r.name, r.number);
    }
    if (failed) {  // keep the whole run rather than lose a part of it
      for (std::size_t p = first; p < out.size(); ++p) EraseEntity(out[p].id);
      out.resize(first);
      out.push_back(std::move(r));
      continue;
    }
    const bool wasMade = net.made.erase(r.id) > 0;
    EraseEntity(r.id);
    if (wasMade)
      for (std::size_t p = first; p < out.size(); ++p) net.made.insert(out[p].id);
  }
  runs = std::move(out);
}

// ---------------------------------------------------------------------------
// Diameters from the annotations
// ---------------------------------------------------------------------------

namespace {

// End points of the annotated runs, in a grid of 5 mm cells.
class EndGrid {
 public:
  void add(const Point3d& p, std::size_t run) { cells_[key(cell(p.x), cell(p.y))].push_back(run); }
  template <class F>
  void near(const Point3d& p, F&& f) const {
    const long cx = cell(p.x), cy = cell(p.y);
    for (long dx = -1; dx <= 1; ++dx)
      for (long dy = -1; dy <= 1; ++dy)
        if (auto it = cells_.find(key(cx + dx, cy + dy)); it != cells_.end())
          for (std::size_t r : it->second) f(r);
  }

 private:
  static long cell(double v) { return long(std::floor(v / 5.0)); }
  static std::uint64_t key(long x, long y) { return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y); }
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells_;
};

}  // namespace

// The TEXT entities of the drawing in a plan R-tree, to find the label
// beside a run as FindSegmentLabel does (the nearest text crossing the band
// of the half-width around the run, beginning with the prefix in any case,
// parallel within 10 degrees, by distance minus half its height) without a
// crossing selection over the whole drawing per run.
class LabelIndex {
 public:
  LabelIndex() {
    ed::SelSet ss = 0;
    if (ed::ssGet(L"X", {}, {cad::TypedValue(0, L"TEXT")}, ss) != ed::kNormal) return;
    cad::ObjectIdArray ids;
    SSToIds(ss, ids);
    ed::ssFree(ss);
    std::vector<Value> values;
    for (cad::ObjectId id : ids) {
      cad::ObjectPtr<cad::Text> text(id, cad::OpenMode::ForRead);
      if (!text) continue;
      Entry e;
      e.text = text->textString();
      e.upper = e.text;
      for (wchar_t& c : e.upper) c = wchar_t(std::towupper(c));
      e.height = text->height();
      e.rotation = text->rotation();
      e.at = text->position();
      cad::Extents3d ext;
      if (text->getGeomExtents(ext) == cad::Status::Ok && ext.isValid()) {
        e.at = Point3d((ext.minPoint.x + ext.maxPoint.x) / 2, (ext.minPoint.y + ext.maxPoint.y) / 2, 0);
        e.box = BBox(BPoint(ext.minPoint.x, ext.minPoint.y), BPoint(ext.maxPoint.x, ext.maxPoint.y));
      } else {
        e.box = BBox(BPoint(e.at.x, e.at.y), BPoint(e.at.x, e.at.y));
      }
      values.emplace_back(e.box, entries_.size());
      entries_.push_back(std::move(e));
    }
    tree_ = bgi::rtree<Value, bgi::rstar<16>>(values.begin(), values.end());
  }

  // The label and, through distance, how far it lies (distance minus half
  // its height); empty when none is within reach.
  std::wstring find(const std::wstring& prefix, const Point3d& start, const Point3d& end, double halfWidth,
                    double* distanceOut = nullptr) const {
    std::wstring head = prefix;
    for (wchar_t& c : head) c = wchar_t(std::towupper(c));
    double best = 0;
    const Entry* winner = nearest(
        [&](const Entry& t) { return t.upper.compare(0, head.size(), head) == 0 && t.text.size() >= head.size(); },
        start, end, halfWidth, best);
    if (!winner || winner->text.size() == head.size()) return L"";
    const std::size_t cut = winner->text.find_first_of(L" =", head.size());
    if (cut == head.size()) return L"";
    if (distanceOut) *distanceOut = best;
    return cut == std::wstring::npos ? winner->text : winner->text.substr(0, cut);
  }

  // The nearest text within reach that reads as a duct section, with its
  // sizes (see ParseSectionText); false when there is none.
  bool section(const Point3d& start, const Point3d& end, double halfWidth, std::wstring& label, double& b,
               double& h, double& distance) const {
    const Entry* winner = nearest(
        [&](const Entry& t) {
          double w, v;
          return ParseSectionText(t.text, w, v);
        },
        start, end, halfWidth, distance);
    if (!winner) return false;
    label = winner->text.substr(0, winner->text.find(L' '));
    return ParseSectionText(winner->text, b, h);
  }

 private:
  struct Entry;

 public:
  // The nearest accepted text whose box meets the band of the half-width
  // around the run, parallel to it within 10 degrees (any text for a run
  // shorter than 1), by distance minus half its height; null when none is
  // nearer than the half-width.
  template <class Accept>
  const Entry* nearest(Accept&& accept, const Point3d& start, const Point3d& end, double halfWidth,
                       double& bestOut) const {
    const Point3d s(start.x, start.y, 0), e(end.x, end.y, 0);
    const bool isLong = s.distanceTo(e) > 1;
    BPolygon band;
    if (isLong) {
      const Vector3d d = (e - s).normal();
      const Vector3d n(-d.y * halfWidth, d.x * halfWidth, 0);
      for (const Point3d& p : {s + n, s - n, e - n, e + n, s + n}) bg::append(band.outer(), BPoint(p.x, p.y));
    } else {
      for (const auto& [dx, dy] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}})
        bg::append(band.outer(), BPoint(s.x + dx * halfWidth, s.y + dy * halfWidth));
    }
    bg::correct(band);
    BBox reach;
    bg::envelope(band, reach);
    std::vector<Value> hits;
    tree_.query(bgi::intersects(reach), std::back_inserter(hits));
    std::sort(hits.begin(), hits.end(), [](const Value& a, const Value& b) { return a.second < b.second; });
    const double parallelTol = std::sin(0.174532925);
    const Vector3d direction = e - s;
    double best = halfWidth;
    const Entry* winner = nullptr;
    for (const Value& h : hits) {
      const Entry& t = entries_[h.second];
      if (!accept(t)) continue;
      if (!bg::intersects(band, t.box)) continue;
      double distance;
      if (isLong) {
        if (!IsParallel(DirectionFromAngle(t.rotation, Vector3d(0, 0, 1)), direction, parallelTol)) continue;
        Point3d foot;
        distance = GetPerpFootOnSegment(t.at, s, e, 0.0, foot);
        if (distance < 0) continue;
      } else {
        distance = t.at.distanceTo(s);
      }
      distance -= t.height / 2;
      if (distance < best) {
        best = distance;
        winner = &t;
      }
    }
    bestOut = best;
    return winner;
  }

  // The label of a run: of the "DN" and "de" texts within reach the nearest
  // (on a tie "DN"). An arc is searched piece by piece along the arc.
  std::wstring runLabel(const Point3d& start, const Point3d& end, double bulge) const {
    const PointList pts = LabelSearchPoints(start, end, bulge);
    std::wstring label;
    double best = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
      for (const wchar_t* prefix : {L"DN", L"de"}) {
        double d = 0;
        const std::wstring found = find(prefix, pts[i], pts[i + 1], 300.0, &d);
        if (found.empty() || found == kAutoNumber) continue;
        if (label.empty() || d < best) {
          label = found;
          best = d;
        }
      }
    }
    return label;
  }

 private:
  using BPoint = bg::model::point<double, 2, bg::cs::cartesian>;
  using BBox = bg::model::box<BPoint>;
  using BPolygon = bg::model::polygon<BPoint>;
  using Value = std::pair<BBox, std::size_t>;
  struct Entry {
    std::wstring text, upper;
    double height = 0, rotation = 0;
    Point3d at;
    BBox box;
  };
  std::vector<Entry> entries_;
  bgi::rtree<Value, bgi::rstar<16>> tree_;
};

DrawingTexts::DrawingTexts() : index_(std::make_unique<LabelIndex>()) {}
DrawingTexts::~DrawingTexts() = default;

std::wstring DrawingTexts::pipeLabel(const Point3d& start, const Point3d& end, double bulge) const {
  return index_->runLabel(start, end, bulge);
}

bool DrawingTexts::ductSection(const Point3d& start, const Point3d& end, double halfWidth, std::wstring& label,
                               double& b, double& h) const {
  double d = 0;
  return index_->section(start, end, halfWidth, label, b, h, d);
}

PointList LabelSearchPoints(const geom::Point3d& start, const geom::Point3d& end, double bulge) {
  if (bulge == 0.0) return {start, end};
  PointList pts;
  BulgeList bulges;
  TessellateSegment(start, end, bulge, pts, bulges, 32);
  return pts;
}

bool ParseSectionText(const std::wstring& text, double& b, double& h) {
  const std::wstring token = text.substr(0, text.find(L' '));
  if (token.empty()) return false;
  auto number = [&](std::size_t at, double& v, std::size_t& next) {
    if (at >= token.size() || !std::iswdigit(token[at])) return false;
    wchar_t* stop = nullptr;
    v = std::wcstod(token.c_str() + at, &stop);
    next = std::size_t(stop - token.c_str());
    return v > 0;
  };
  std::size_t next = 0;
  // A round duct: "Φ400" (either case of the letter) or "D400".
  if (token[0] == L'Φ' || token[0] == L'φ' || token[0] == L'D') {
    double d;
    if (!number(1, d, next) || next != token.size()) return false;
    b = h = d;
    return true;
  }
  // A rectangular one: "800x400", "800X400", "800×400", "800*400".
  double w, v;
  if (!number(0, w, next) || next >= token.size()) return false;
  const wchar_t sep = token[next];
  if (sep != L'x' && sep != L'X' && sep != L'×' && sep != L'*') return false;
  std::size_t last = 0;
  if (!number(next + 1, v, last) || last != token.size()) return false;
  b = w;
  h = v;
  return true;
}

namespace {

double unsignedAngle(const Vector3d& u, const Vector3d& v) {
  const double lu = u.length(), lv = v.length();
  if (lu < 1e-12 || lv < 1e-12) return 0;
  return std::acos(std::clamp(u.dot(v) / (lu * lv), -1.0, 1.0));
}

}  // namespace

void ApplyDiameterAnnotations(PipeNetwork& net) {
  const Vector3d t = net.translation();
  GjSegmentArray pending;
  GjSegmentArray annotated;
  GjSegmentArray untouched;  // runs this conversion did not make
  // Only the runs of this conversion that wait for a number of the drawing
  // take labels: a run converted with a chosen number keeps it and carries
  // no size of its own, which the number's row defines.
  for (const GjSegment& s : net.allSegments)
    (net.made.count(s.id) && s.number == kAutoNumber ? pending : untouched).push_back(s);

  // Own labels, last to first, searched beside the source lines.
  std::vector<bool> labelled(pending.size(), false);
  const DrawingTexts texts;
  for (std::size_t n = pending.size(); n-- > 0;) {
    GjSegment& s = pending[n];
    const Point3d a = s.start - t, b = s.end - t;
    const std::wstring label = texts.pipeLabel(a, b, RunBulge(net, s.id));
    if (label.empty()) continue;
    // A label without a number names the run but gives it no size.
    double d = 0;
    const bool hasDiameter = DiameterOfLabel(label, d);
    if (!relabel(s.id, label, hasDiameter ? &d : nullptr)) EraseEntity(s.id);
    s.number = label;
    labelled[n] = true;
  }
  // The annotated list in the order the runs were labelled (last to first).
  std::vector<std::size_t> queue;
  for (std::size_t n = pending.size(); n-- > 0;)
    if (labelled[n]) annotated.push_back(pending[n]);
  for (std::size_t n = 0; n < pending.size(); ++n)
    if (!labelled[n]) queue.push_back(n);

  if (!annotated.empty() && !queue.empty()) {
    // Propagation. The queue is visited in cyclic order; a run without an
    // annotated neighbour is passed over, and the walk ends after a whole
    // round without a label. Passing over changes nothing, so the walk can
    // jump from one run that has an annotated neighbour to the next one.
    EndGrid grid;
    for (std::size_t a = 0; a < annotated.size(); ++a) {
      grid.add(annotated[a].start, a);
      grid.add(annotated[a].end, a);
    }
    // Runs by their ends, to learn which queued runs a new label reaches.
    EndGrid queuedEnds;
    std::vector<std::size_t> order(pending.size(), 0);  // position in the cycle
    for (std::size_t q = 0; q < queue.size(); ++q) {
      order[queue[q]] = q;
      queuedEnds.add(pending[queue[q]].start, queue[q]);
      queuedEnds.add(pending[queue[q]].end, queue[q]);
    }
    std::set<std::size_t> waiting(queue.begin(), queue.end());
    auto cyclePos = [&](std::size_t run) { return order[run]; };
    std::set<std::size_t> ready;  // cycle positions of runs worth a visit
    auto touchesAnnotated = [&](std::size_t run) {
      bool any = false;
      const GjSegment& s = pending[run];
      for (const Point3d& p : {s.start, s.end})
        grid.near(p, [&](std::size_t a) {
          const GjSegment& A = annotated[a];
          if (p.distanceTo(A.start) < 5.0 || p.distanceTo(A.end) < 5.0) any = true;
        });
      return any;
    };
    for (std::size_t run : queue)
      if (touchesAnnotated(run)) ready.insert(cyclePos(run));
    std::size_t cursor = 0;
    Progress progress(L"识别标注", int(queue.size()));
    while (!ready.empty() && !waiting.empty()) {
      auto it = ready.lower_bound(cursor);
      if (it == ready.end()) it = ready.begin();
      const std::size_t pos = *it;
      ready.erase(it);
      const std::size_t run = queue[pos];
      cursor = pos + 1;
      if (!waiting.count(run)) continue;
      GjSegment& s = pending[run];
      // The straightest continuation among the annotated runs at its ends.
      std::vector<std::size_t> candidates;
      for (const Point3d& p : {s.start, s.end}) grid.near(p, [&](std::size_t a) { candidates.push_back(a); });
      std::sort(candidates.begin(), candidates.end());
      candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
      double best = 0;
      std::wstring label;
      for (std::size_t a : candidates) {
        const GjSegment& A = annotated[a];
        bool atStart, atAStart;
        if (s.start.distanceTo(A.start) < 5.0) atStart = true, atAStart = true;
        else if (s.start.distanceTo(A.end) < 5.0) atStart = true, atAStart = false;
        else if (s.end.distanceTo(A.start) < 5.0) atStart = false, atAStart = true;
        else if (s.end.distanceTo(A.end) < 5.0) atStart = false, atAStart = false;
        else continue;
        const Vector3d u = atStart ? s.end - s.start : s.start - s.end;
        const Vector3d v = atAStart ? A.end - A.start : A.start - A.end;
        const double angle = unsignedAngle(u, v);
        if (angle > best) {
          best = angle;
          label = A.number;
        }
      }
      if (best <= 0) continue;  // waits for a new neighbour
      if (s.name == L"喷淋管" && planLength(s.start, s.end) < 1.0) label = L"DN25";
      double d = 0;
      const bool hasDiameter = DiameterOfLabel(label, d);
      if (!relabel(s.id, label, hasDiameter ? &d : nullptr)) EraseEntity(s.id);
      s.number = label;
      waiting.erase(run);
      const std::size_t a = annotated.size();
      annotated.push_back(s);
      grid.add(s.start, a);
      grid.add(s.end, a);
      progress.at(int(queue.size() - waiting.size()));
      for (const Point3d& p : {s.start, s.end})
        queuedEnds.near(p, [&](std::size_t other) {
          if (!waiting.count(other)) return;
          const GjSegment& o = pending[other];
          if (p.distanceTo(o.start) < 5.0 || p.distanceTo(o.end) < 5.0) ready.insert(cyclePos(other));
        });
    }
    queue.assign(waiting.begin(), waiting.end());
    std::sort(queue.begin(), queue.end(), [&](std::size_t x, std::size_t y) { return order[x] < order[y]; });
  }
  // Runs that found no label keep a number of their own: the component name
  // stands for the placeholder.
  net.unlabelledRuns = 0;
  GjSegmentArray left;
  for (std::size_t run : queue) {
    GjSegment& s = pending[run];
    if (s.number == kAutoNumber) {
      relabel(s.id, s.name, nullptr);
      s.number = s.name;
    }
    ++net.unlabelledRuns;
    left.push_back(s);
  }
  net.allSegments = std::move(left);
}
