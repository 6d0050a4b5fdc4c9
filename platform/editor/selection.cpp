#include "platform/editor/selection.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <limits>
#include <map>
#include <numbers>
#include <set>
#include <unordered_set>

#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/detail.h"
#include "platform/editor/document.h"
#include "platform/editor/entity_index.h"
#include "platform/editor/prompts.h"
#include "platform/os/os.h"

namespace ed {

namespace {

using geom::Point2d;
using geom::Point3d;

// ---------------------------------------------------------------------------
// Plan outlines of entities: polylines of points that stand for the shape.
// ---------------------------------------------------------------------------

struct Outline {
  std::vector<std::vector<Point2d>> paths;  // each an open polyline (closed ones repeat the start)
  bool area = false;                        // the shape covers its inside (texts, images, boxes)
};

void addArc(std::vector<Point2d>& path, const Point3d& c, double r, double a0, double a1, bool flipX) {
  double sweep = a1 - a0;
  while (sweep <= 0) sweep += 2 * std::numbers::pi;
  int n = std::max(4, int(std::ceil(sweep / (std::numbers::pi / 32))));
  for (int i = 0; i <= n; ++i) {
    double a = a0 + sweep * i / n;
    double x = std::cos(a) * r;
    path.push_back(Point2d(c.x + (flipX ? -x : x), c.y + std::sin(a) * r));
  }
}

void boxOutline(const cad::Extents3d& e, Outline& o) {
  if (!e.isValid()) return;
  Point2d a(e.minPoint.x, e.minPoint.y), b(e.maxPoint.x, e.minPoint.y), c(e.maxPoint.x, e.maxPoint.y),
      d(e.minPoint.x, e.maxPoint.y);
  o.paths.push_back({a, b, c, d, a});
  o.area = true;
}

Outline outlineOf(const cad::Entity* ent) {
  Outline o;
  if (auto* l = cad::cast<cad::Line>(ent)) {
    o.paths.push_back({Point2d(l->start().x, l->start().y), Point2d(l->end().x, l->end().y)});
  } else if (auto* pl = cad::cast<cad::Polyline>(ent)) {
    std::vector<Point2d> path;
    for (unsigned i = 0; i < pl->numSegments(); ++i) {
      if (pl->segType(i) == cad::SegType::Arc) {
        cad::ArcSegment s;
        if (pl->getArcSegAt(i, s) == cad::Status::Ok) {
          std::vector<Point2d> arc;
          double a0 = std::atan2(s.start.y - s.center.y, s.start.x - s.center.x);
          double a1 = std::atan2(s.end.y - s.center.y, s.end.x - s.center.x);
          if (s.clockwise) std::swap(a0, a1);
          addArc(arc, s.center, s.radius, a0, a1, false);
          if (s.clockwise) std::reverse(arc.begin(), arc.end());
          path.insert(path.end(), arc.begin(), arc.end());
          continue;
        }
      }
      cad::LineSegment s;
      if (pl->getLineSegAt(i, s) == cad::Status::Ok) {
        path.push_back(Point2d(s.start.x, s.start.y));
        path.push_back(Point2d(s.end.x, s.end.y));
      }
    }
    if (path.empty() && pl->numVerts() > 0) {
      Point3d p = pl->pointAt(0);
      path.push_back(Point2d(p.x, p.y));
    }
    o.paths.push_back(path);
  } else if (auto* c = cad::cast<cad::Circle>(ent)) {
    std::vector<Point2d> path;
    addArc(path, c->center(), c->radius(), 0, 2 * std::numbers::pi, false);
    o.paths.push_back(path);
  } else if (auto* a = cad::cast<cad::Arc>(ent)) {
    std::vector<Point2d> path;
    addArc(path, a->center(), a->radius(), a->startAngle(), a->endAngle(), a->normal().z < 0);
    o.paths.push_back(path);
  } else if (auto* p = cad::cast<cad::PointEntity>(ent)) {
    o.paths.push_back({Point2d(p->position().x, p->position().y)});
  } else if (auto* t = cad::cast<cad::Text>(ent)) {
    auto bb = t->boundingBox();
    std::vector<Point2d> path;
    for (const auto& q : bb) path.push_back(Point2d(q.x, q.y));
    path.push_back(path.front());
    o.paths.push_back(path);
    o.area = true;
  } else if (auto* curve = cad::cast<cad::Curve>(ent)) {
    // Other curves: sampled along their length.
    double len = 0;
    if (curve->getLength(len) == cad::Status::Ok && len > 0) {
      std::vector<Point2d> path;
      for (int i = 0; i <= 64; ++i) {
        Point3d q;
        if (curve->getPointAtDist(len * i / 64, q) == cad::Status::Ok) path.push_back(Point2d(q.x, q.y));
      }
      if (!path.empty()) o.paths.push_back(path);
    }
    if (o.paths.empty()) {
      cad::Extents3d e;
      if (ent->getGeomExtents(e) == cad::Status::Ok) boxOutline(e, o);
    }
  } else {
    cad::Extents3d e;
    if (ent->getGeomExtents(e) == cad::Status::Ok) {
      if (e.minPoint.x == e.maxPoint.x && e.minPoint.y == e.maxPoint.y)
        o.paths.push_back({Point2d(e.minPoint.x, e.minPoint.y)});
      else
        boxOutline(e, o);
    }
  }
  return o;
}

double segDist(const Point2d& p, const Point2d& a, const Point2d& b) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool insidePolygon(const Point2d& p, const std::vector<Point2d>& poly) {
  bool in = false;
  size_t n = poly.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const auto& a = poly[i];
    const auto& b = poly[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

double cross(const Point2d& o, const Point2d& a, const Point2d& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool segmentsCross(const Point2d& a, const Point2d& b, const Point2d& c, const Point2d& d) {
  double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
  auto on = [](const Point2d& p, const Point2d& q, const Point2d& r) {
    return std::min(p.x, q.x) - 1e-12 <= r.x && r.x <= std::max(p.x, q.x) + 1e-12 &&
           std::min(p.y, q.y) - 1e-12 <= r.y && r.y <= std::max(p.y, q.y) + 1e-12;
  };
  if (d1 == 0 && on(c, d, a)) return true;
  if (d2 == 0 && on(c, d, b)) return true;
  if (d3 == 0 && on(a, b, c)) return true;
  if (d4 == 0 && on(a, b, d)) return true;
  return false;
}

double distanceToOutline(const Outline& o, const Point2d& p) {
  double best = 1e300;
  for (const auto& path : o.paths) {
    if (path.size() == 1) best = std::min(best, p.distanceTo(path[0]));
    for (size_t i = 1; i < path.size(); ++i) best = std::min(best, segDist(p, path[i - 1], path[i]));
    if (o.area && path.size() >= 3 && insidePolygon(p, path)) best = 0;
  }
  return best;
}

// Inside: every point of the outline lies in the polygon. Crossing: inside,
// or any point in it, or any edge crossing it, or (for area shapes) the
// polygon lying inside the shape.
bool outlineInside(const Outline& o, const std::vector<Point2d>& poly) {
  bool any = false;
  for (const auto& path : o.paths)
    for (const auto& p : path) {
      any = true;
      if (!insidePolygon(p, poly)) return false;
    }
  return any;
}

bool outlineCrosses(const Outline& o, const std::vector<Point2d>& poly) {
  for (const auto& path : o.paths) {
    for (const auto& p : path)
      if (insidePolygon(p, poly)) return true;
    for (size_t i = 1; i < path.size(); ++i)
      for (size_t k = 0; k < poly.size(); ++k)
        if (segmentsCross(path[i - 1], path[i], poly[k], poly[(k + 1) % poly.size()])) return true;
    if (o.area && path.size() >= 3)
      for (const auto& q : poly)
        if (insidePolygon(q, path)) return true;
  }
  return false;
}

std::vector<Point2d> rectangle(const Point3d& a, const Point3d& b) {
  double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x), y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
  return {Point2d(x0, y0), Point2d(x1, y0), Point2d(x1, y1), Point2d(x0, y1)};
}

// Entities of model space that can be selected: visible, on a layer that is
// neither off nor frozen.
bool selectable(const cad::Entity* ent) {
  if (!ent->visible()) return false;
  cad::ObjectPtr<cad::LayerRecord> layer(ent->layerId(), cad::OpenMode::ForRead);
  if (layer && (layer->isOff() || layer->isFrozen())) return false;
  return true;
}

template <class F>
void forEachSelectable(F f) {
  cad::Database* db = curDatabase();
  if (!db) return;
  for (cad::ObjectId id : db->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || !selectable(ent.get())) continue;
    f(id, ent.get());
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr detail::PlanBox kNoBox{kInf, kInf, -kInf, -kInf};

void grow(detail::PlanBox& b, const Point2d& p) {
  b = {std::min(b.x0, p.x), std::min(b.y0, p.y), std::max(b.x1, p.x), std::max(b.y1, p.y)};
}

// The plan box of an entity's outline (NaN when a point of it is not finite).
bool outlineBox(const cad::Entity& ent, detail::PlanBox& box) {
  box = kNoBox;
  bool any = false;
  for (const auto& path : outlineOf(&ent).paths)
    for (const auto& p : path) {
      any = true;
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        box = {nan, nan, nan, nan};
        return true;
      }
      grow(box, p);
    }
  return any;
}

// forEachSelectable confined to the entities whose outline may meet a box
// (every test that uses it selects nothing outside the box), through the
// drawing's spatial index; same entities, same order.
template <class F>
void forEachSelectableIn(const detail::PlanBox& box, F f) {
  cad::Database* db = curDatabase();
  if (!db) return;
  for (cad::ObjectId id : detail::modelSpaceCandidates(*db, box, &outlineBox)) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || !selectable(ent.get())) continue;
    f(id, ent.get());
  }
}

detail::PlanBox apertureBox(const Point2d& q, double aperture) {
  return {q.x - aperture, q.y - aperture, q.x + aperture, q.y + aperture};
}

// ---------------------------------------------------------------------------
// Selection sets
// ---------------------------------------------------------------------------

struct SelState {
  std::map<SelSet, std::vector<cad::ObjectId>> sets;
  SelSet next = 1;
  std::vector<cad::ObjectId> pickfirst;
  std::vector<cad::ObjectId> previous;
};

SelState& sel() {
  static SelState s;
  return s;
}

SelSet makeSet(std::vector<cad::ObjectId> ids) {
  std::vector<cad::ObjectId> uniq;
  std::set<cad::ObjectId> seen;
  for (auto id : ids)
    if (id && seen.insert(id).second) uniq.push_back(id);
  SelSet s = sel().next++;
  sel().sets[s] = std::move(uniq);
  return s;
}

void addUnique(std::vector<cad::ObjectId>& v, cad::ObjectId id) {
  if (id && std::find(v.begin(), v.end(), id) == v.end()) v.push_back(id);
}

// ---------------------------------------------------------------------------
// Filters
// ---------------------------------------------------------------------------

struct EntityFacts {
  std::wstring type, layer, block;
  int color = 256;
  std::vector<std::wstring> apps;
};

bool facts(cad::ObjectId id, EntityFacts& f) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return false;
  f.type = os::fromUtf8(cad::dxfTypeName(ent->kind()));
  f.layer = ent->layer();
  f.color = ent->colorIndex();
  f.apps = ent->xDataApps();
  if (auto* br = cad::cast<cad::BlockReference>(ent.get())) f.block = br->blockName();
  return true;
}

std::wstring valueText(const cad::TypedValue& v) { return v.str(); }

bool itemMatches(const cad::TypedValue& v, const EntityFacts& f) {
  switch (v.code) {
    case 0: return matchWildcard(valueText(v), f.type);
    case 8: return matchWildcard(valueText(v), f.layer);
    case 2: return !f.block.empty() && matchWildcard(valueText(v), f.block);
    case 62: {
      long long want = 0;
      if (auto* i = std::get_if<std::int64_t>(&v.value)) want = *i;
      else if (auto* d = std::get_if<double>(&v.value)) want = (long long)*d;
      return f.color == want;
    }
    case 1001: {
      std::wstring pat = valueText(v);
      for (const auto& a : f.apps)
        if (matchWildcard(pat, a)) return true;
      return false;
    }
    default:
      return true;  // codes this filter does not know do not restrict
  }
}

// Evaluates filter items from pos until the closing marker of the group
// (or the end); op is "AND", "OR", "XOR" or "NOT".
bool evalGroup(const SelFilter& flt, size_t& pos, const std::wstring& op, const EntityFacts& f) {
  std::vector<bool> results;
  while (pos < flt.size()) {
    const auto& v = flt[pos];
    if (v.code == -4) {
      std::wstring m = os::toUpper(valueText(v));
      ++pos;
      if (!m.empty() && m[0] == L'<') {
        results.push_back(evalGroup(flt, pos, m.substr(1), f));
        continue;
      }
      if (m.size() > 1 && m.back() == L'>') break;  // end of this group
      continue;
    }
    results.push_back(itemMatches(v, f));
    ++pos;
  }
  if (op == L"OR") return std::any_of(results.begin(), results.end(), [](bool b) { return b; });
  if (op == L"XOR") return std::count(results.begin(), results.end(), true) == 1;
  if (op == L"NOT") return results.empty() || !results.front();
  return std::all_of(results.begin(), results.end(), [](bool b) { return b; });
}

// ---------------------------------------------------------------------------
// Wildcards
// ---------------------------------------------------------------------------

bool matchOne(const std::wstring& pat, size_t pi, const std::wstring& s, size_t si) {
  while (pi < pat.size()) {
    wchar_t c = pat[pi];
    if (c == L'*') {
      while (pi < pat.size() && pat[pi] == L'*') ++pi;
      if (pi == pat.size()) return true;
      for (size_t k = si; k <= s.size(); ++k)
        if (matchOne(pat, pi, s, k)) return true;
      return false;
    }
    if (si >= s.size()) return false;
    wchar_t ch = s[si];
    if (c == L'?') {
    } else if (c == L'#') {
      if (!std::iswdigit(ch)) return false;
    } else if (c == L'@') {
      if (!std::iswalpha(ch)) return false;
    } else if (c == L'.') {
      if (std::iswalnum(ch)) return false;
    } else if (c == L'[') {
      size_t end = pat.find(L']', pi + 1);
      if (end == std::wstring::npos) return false;
      std::wstring body = pat.substr(pi + 1, end - pi - 1);
      bool negate = !body.empty() && body[0] == L'~';
      if (negate) body.erase(0, 1);
      bool hit = false;
      for (size_t k = 0; k < body.size(); ++k) {
        if (k + 2 < body.size() && body[k + 1] == L'-') {
          if (std::towupper(ch) >= std::towupper(body[k]) && std::towupper(ch) <= std::towupper(body[k + 2]))
            hit = true;
          k += 2;
        } else if (std::towupper(ch) == std::towupper(body[k])) {
          hit = true;
        }
      }
      if (hit == negate) return false;
      pi = end;
    } else if (c == L'`' && pi + 1 < pat.size()) {
      ++pi;
      if (std::towupper(pat[pi]) != std::towupper(ch)) return false;
    } else {
      if (std::towupper(c) != std::towupper(ch)) return false;
    }
    ++pi;
    ++si;
  }
  return si == s.size();
}

// Splits at commas that are not escaped by a backquote.
std::vector<std::wstring> alternatives(const std::wstring& pattern) {
  std::vector<std::wstring> out;
  std::wstring cur;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'`' && i + 1 < pattern.size()) {
      cur += pattern[i];
      cur += pattern[++i];
    } else if (pattern[i] == L',') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += pattern[i];
    }
  }
  out.push_back(cur);
  return out;
}

}  // namespace

bool matchWildcard(const std::wstring& pattern, const std::wstring& text) {
  for (const auto& alt : alternatives(pattern)) {
    if (!alt.empty() && alt[0] == L'~') {
      if (!matchOne(alt, 1, text, 0)) return true;
    } else if (matchOne(alt, 0, text, 0)) {
      return true;
    }
  }
  return false;
}

bool entityMatchesFilter(cad::ObjectId id, const SelFilter& filter) {
  EntityFacts f;
  if (!facts(id, f)) return false;
  if (filter.empty()) return true;
  size_t pos = 0;
  return evalGroup(filter, pos, L"AND", f);
}

// ---------------------------------------------------------------------------
// Picks
// ---------------------------------------------------------------------------

std::vector<cad::ObjectId> entitiesNear(const Point3d& p, double aperture) {
  std::vector<cad::ObjectId> out;
  Point2d q(p.x, p.y);
  forEachSelectableIn(apertureBox(q, aperture), [&](cad::ObjectId id, const cad::Entity* ent) {
    if (distanceToOutline(outlineOf(ent), q) <= aperture) out.push_back(id);
  });
  return out;
}

cad::ObjectId entityAt(const Point3d& p, double aperture) {
  cad::ObjectId best;
  double bestD = 1e300;
  Point2d q(p.x, p.y);
  forEachSelectableIn(apertureBox(q, aperture), [&](cad::ObjectId id, const cad::Entity* ent) {
    double d = distanceToOutline(outlineOf(ent), q);
    // The later entity wins a tie: it is drawn on top.
    if (d <= aperture && d <= bestD) {
      bestD = d;
      best = id;
    }
  });
  return best;
}

cad::ObjectId entLast() {
  cad::Database* db = curDatabase();
  if (!db) return {};
  auto ids = db->modelSpaceEntities();
  return ids.empty() ? cad::ObjectId() : ids.back();
}

cad::ObjectId idFromHandle(const std::wstring& text) {
  cad::Database* db = curDatabase();
  if (!db) return {};
  cad::ObjectId id = db->getObjectId(std::wstring_view(text));
  if (!id || id.isErased()) return {};
  return id;
}

namespace detail {
geom::Point3d entityReferencePoint(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return {};
  if (auto* c = cad::cast<cad::Circle>(ent.get())) return c->center();
  if (auto* br = cad::cast<cad::BlockReference>(ent.get())) return br->position();
  if (auto* t = cad::cast<cad::Text>(ent.get())) return t->position();
  if (auto* p = cad::cast<cad::PointEntity>(ent.get())) return p->position();
  if (auto* cv = cad::cast<cad::Curve>(ent.get())) {
    Point3d s;
    if (cv->getStartPoint(s) == cad::Status::Ok) return s;
  }
  cad::Extents3d e;
  if (ent->getGeomExtents(e) == cad::Status::Ok && e.isValid())
    return Point3d((e.minPoint.x + e.maxPoint.x) / 2, (e.minPoint.y + e.maxPoint.y) / 2,
                   (e.minPoint.z + e.maxPoint.z) / 2);
  return {};
}
}  // namespace detail

int entSel(const std::wstring& promptText, cad::ObjectId& id, Point3d& pickPoint) {
  auto ig = detail::takeInitGet();
  id = {};
  // The object found (kNormal), or none (kError).
  auto take = [&id](cad::ObjectId hit) {
    if (!hit) {
      printText(L"\n未选择对象。");
      return kError;
    }
    id = hit;
    return kNormal;
  };
  prompt(promptText.empty() ? L"\n选择对象: " : promptText);
  for (;;) {
    detail::Event e = detail::readReply();
    switch (e.kind) {
      case detail::Event::Escape:
        return kCancel;
      case detail::Event::Enter:  // or Space, or a right click
        return kError;
      case detail::Event::Pick:
      case detail::Event::Point: {
        cad::ObjectId hit;
        if (e.kind == detail::Event::Pick && e.byHandle) {
          hit = idFromHandle(e.text);
          pickPoint = hit ? detail::entityReferencePoint(hit) : e.p1;
        } else {
          hit = entityAt(e.p1, pickAperture());
          pickPoint = e.p1;
        }
        return take(hit);
      }
      case detail::Event::Text: {
        std::wstring kw = detail::matchKeyword(ig, e.text);
        if (kw.empty() && (ig.flags & kArbitraryInput) && !ig.any()) kw = e.text;
        if (!kw.empty()) {
          detail::setLastKeyword(kw);
          return kKeyword;
        }
        // A typed point picks there.
        Point3d p;
        if (parsePoint(e.text, p)) {
          cad::ObjectId hit = entityAt(p, pickAperture());
          pickPoint = p;
          return take(hit);
        }
        printText(L"\n无效的选择。");
        return kError;
      }
      default:
        printText(L"\n无效的选择。");
        return kError;
    }
  }
}

int nEntSelP(const std::wstring& promptText, cad::ObjectId& id, Point3d& pickPoint, geom::Matrix3d& xform,
             std::vector<cad::ObjectId>& containers) {
  containers.clear();
  xform = geom::Matrix3d();
  int r = entSel(promptText, id, pickPoint);
  if (r != kNormal) return r;
  // Descend into block references: the entity of the block under the point.
  for (int depth = 0; depth < 16; ++depth) {
    cad::ObjectPtr<cad::BlockReference> br(id, cad::OpenMode::ForRead);
    if (!br) break;
    geom::Matrix3d m = br->blockTransform();
    geom::Matrix3d inv = m.inverse();
    Point3d local = inv * pickPoint;
    cad::ObjectPtr<cad::BlockRecord> block(br->blockTableRecord(), cad::OpenMode::ForRead);
    if (!block) break;
    cad::ObjectId inner;
    double bestD = 1e300;
    for (cad::ObjectId eid : block->entityIds()) {
      cad::ObjectPtr<cad::Entity> ent(eid, cad::OpenMode::ForRead);
      if (!ent) continue;
      double d = distanceToOutline(outlineOf(ent.get()), Point2d(local.x, local.y));
      if (d <= bestD) {
        bestD = d;
        inner = eid;
      }
    }
    if (!inner) break;
    containers.insert(containers.begin(), id);
    xform = xform * m;
    id = inner;
    pickPoint = local;
  }
  // The pick point is given back in world coordinates.
  if (!containers.empty()) pickPoint = xform * pickPoint;
  return kNormal;
}

// ---------------------------------------------------------------------------
// ssGet
// ---------------------------------------------------------------------------

namespace {

std::vector<cad::ObjectId> selectPolygon(const std::vector<Point2d>& poly, bool crossing, const SelFilter& flt) {
  std::vector<cad::ObjectId> out;
  if (poly.size() < 3) return out;
  detail::PlanBox box = kNoBox;
  bool nan = false;
  for (const auto& p : poly) {
    nan = nan || std::isnan(p.x) || std::isnan(p.y);
    grow(box, p);
  }
  // A corner that is not a number: no box bounds the test, every entity is looked at.
  if (nan) box = {-kInf, -kInf, kInf, kInf};
  forEachSelectableIn(box, [&](cad::ObjectId id, const cad::Entity* ent) {
    Outline o = outlineOf(ent);
    bool hit = crossing ? outlineCrosses(o, poly) : outlineInside(o, poly);
    if (hit && entityMatchesFilter(id, flt)) out.push_back(id);
  });
  return out;
}

// The newest entity that can be selected ("L" selects the last visible one).
cad::ObjectId lastSelectable() {
  cad::ObjectId last;
  forEachSelectable([&](cad::ObjectId id, const cad::Entity*) { last = id; });
  return last;
}

std::vector<Point2d> plan(const std::vector<Point3d>& pts) {
  std::vector<Point2d> out;
  for (const auto& p : pts) out.push_back(Point2d(p.x, p.y));
  return out;
}

std::vector<cad::ObjectId> selectAll(const SelFilter& flt, bool includePaper) {
  std::vector<cad::ObjectId> out;
  cad::Database* db = curDatabase();
  if (!db) return out;
  std::vector<cad::ObjectId> ids = db->modelSpaceEntities();
  if (includePaper) {
    cad::ObjectPtr<cad::BlockRecord> ps(db->paperSpaceId(), cad::OpenMode::ForRead);
    if (ps)
      for (auto id : ps->entityIds()) ids.push_back(id);
  }
  for (auto id : ids)
    if (entityMatchesFilter(id, flt)) out.push_back(id);
  return out;
}

// The interactive selection loop. single: one pick or window ends it.
int interactive(const std::wstring& addPrompt, const std::wstring& removePrompt, const SelFilter& flt,
                bool single, std::vector<cad::ObjectId>& result) {
  bool removing = false;
  std::wstring pendingMode;  // "W", "C", "WP", "CP" waiting for points
  // The members of the selection beside its ordered list, so that a window
  // of many entities is checked against the selection in constant time.
  std::unordered_set<cad::ObjectId> members(result.begin(), result.end());
  auto apply = [&](const std::vector<cad::ObjectId>& ids) {
    int n = 0;
    if (removing) {
      std::unordered_set<cad::ObjectId> gone;
      for (auto id : ids)
        if (members.erase(id)) gone.insert(id);
      if (!gone.empty())
        result.erase(std::remove_if(result.begin(), result.end(), [&](cad::ObjectId id) { return gone.count(id) > 0; }),
                     result.end());
      return;
    }
    for (auto id : ids) {
      if (members.insert(id).second) {
        result.push_back(id);
        ++n;
      }
    }
    print(L"\n找到 %d 个", n);
  };
  for (;;) {
    prompt(removing ? (removePrompt.empty() ? L"\n删除对象: " : removePrompt)
                    : (addPrompt.empty() ? L"\n选择对象: " : addPrompt));
    detail::Event e = detail::readReply();
    switch (e.kind) {
      case detail::Event::Escape:
        return kCancel;
      case detail::Event::Enter:  // or Space, or a right click
        return result.empty() ? kError : kNormal;
      case detail::Event::SelSet: {
        SelSet s = std::wcstoll(e.text.c_str(), nullptr, 10);
        std::vector<cad::ObjectId> ids;
        for (auto id : ssIds(s))
          if (entityMatchesFilter(id, flt)) ids.push_back(id);
        apply(ids);
        break;
      }
      case detail::Event::Window:
      case detail::Event::Crossing:
        apply(selectPolygon(rectangle(e.p1, e.p2), e.kind == detail::Event::Crossing, flt));
        break;
      case detail::Event::Pick:
      case detail::Event::Point: {
        cad::ObjectId hit = (e.kind == detail::Event::Pick && e.byHandle) ? idFromHandle(e.text)
                                                                         : entityAt(e.p1, pickAperture());
        if (hit && e.kind == detail::Event::Pick) {
          if (entityMatchesFilter(hit, flt)) apply({hit});
          else apply({});
          break;
        }
        if (hit && pendingMode.empty()) {
          if (entityMatchesFilter(hit, flt)) apply({hit});
          else apply({});
          break;
        }
        // An empty spot starts a window: right to left makes it a crossing.
        Point3d other;
        int r = getCorner(e.p1, L"\n指定对角点:", other);
        if (r == kCancel) return kCancel;
        if (r != kNormal) break;
        bool crossing = pendingMode == L"C" || (pendingMode.empty() && other.x < e.p1.x);
        apply(selectPolygon(rectangle(e.p1, other), crossing, flt));
        pendingMode.clear();
        break;
      }
      case detail::Event::Text: {
        std::wstring t = os::toUpper(e.text);
        Point3d p;
        if (parsePoint(e.text, p)) {
          Point3d other;
          int r = getCorner(p, L"\n指定对角点:", other);
          if (r == kCancel) return kCancel;
          if (r != kNormal) break;
          bool crossing = pendingMode == L"C" || (pendingMode.empty() && other.x < p.x);
          apply(selectPolygon(rectangle(p, other), crossing, flt));
          pendingMode.clear();
          break;
        }
        if (t == L"R" || t == L"REMOVE") {
          removing = true;
        } else if (t == L"A" || t == L"ADD") {
          removing = false;
        } else if (t == L"ALL") {
          apply(selectAll(flt, false));
        } else if (t == L"L" || t == L"LAST") {
          cad::ObjectId last = lastSelectable();
          apply(last && entityMatchesFilter(last, flt) ? std::vector<cad::ObjectId>{last}
                                                       : std::vector<cad::ObjectId>{});
        } else if (t == L"P" || t == L"PREVIOUS") {
          std::vector<cad::ObjectId> ids;
          for (auto id : sel().previous)
            if (!id.isErased() && entityMatchesFilter(id, flt)) ids.push_back(id);
          apply(ids);
        } else if (t == L"W" || t == L"C") {
          pendingMode = t;
        } else if (t == L"WP" || t == L"CP") {
          std::vector<Point3d> poly;
          for (;;) {
            Point3d q;
            const Point3d* base = poly.empty() ? nullptr : &poly.back();
            int r = getPoint(base, poly.empty() ? L"\n第一圈围点:" : L"\n指定直线的端点:", q);
            if (r == kCancel) return kCancel;
            if (r != kNormal) break;
            poly.push_back(q);
          }
          apply(selectPolygon(plan(poly), t == L"CP", flt));
        } else {
          printText(L"\n*无效选择*");
        }
        break;
      }
      default:
        break;
    }
    if (single && !result.empty()) return kNormal;
  }
}

}  // namespace

int ssGet(const std::wstring& modeIn, const std::vector<Point3d>& points, const SelFilter& flt, SelSet& out) {
  out = 0;
  if (liveSelectionSetCount() >= kMaxSelectionSets) {
    printText(L"\n** 选择集太多 **");
    return kError;
  }
  std::wstring mode = os::toUpper(modeIn);
  std::vector<cad::ObjectId> ids;
  if (mode == L"X") {
    ids = selectAll(flt, true);
  } else if (mode == L"W" || mode == L"C") {
    if (points.size() < 2) return kError;
    ids = selectPolygon(rectangle(points[0], points[1]), mode == L"C", flt);
  } else if (mode == L"WP" || mode == L"CP") {
    ids = selectPolygon(plan(points), mode == L"CP", flt);
  } else if (mode == L"L") {
    cad::ObjectId last = lastSelectable();
    if (last && entityMatchesFilter(last, flt)) ids.push_back(last);
  } else if (mode == L"P") {
    for (auto id : sel().previous)
      if (!id.isErased() && entityMatchesFilter(id, flt)) ids.push_back(id);
  } else if (mode == L"I") {
    for (auto id : sel().pickfirst)
      if (!id.isErased() && entityMatchesFilter(id, flt)) ids.push_back(id);
  } else if (mode.empty() || mode[0] == L':') {
    int r = interactive(L"", L"", flt, mode.find(L":S") != std::wstring::npos, ids);
    if (r == kCancel) return kCancel;
  } else {
    return kError;
  }
  if (ids.empty()) return kError;
  sel().previous = ids;
  out = makeSet(ids);
  return kNormal;
}

std::vector<cad::ObjectId> selectAmong(const std::vector<cad::ObjectId>& candidates, bool crossing,
                                       const Point3d& corner1, const Point3d& corner2, const SelFilter& flt) {
  std::vector<cad::ObjectId> out;
  cad::Database* db = curDatabase();
  if (!db) return out;
  const std::vector<Point2d> poly = rectangle(corner1, corner2);
  const cad::ObjectId space = db->modelSpaceId();
  for (cad::ObjectId id : candidates) {
    bool hit = false;
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent || ent->ownerId() != space || !selectable(ent.get())) continue;
      Outline o = outlineOf(ent.get());
      hit = crossing ? outlineCrosses(o, poly) : outlineInside(o, poly);
    }
    if (hit && entityMatchesFilter(id, flt)) out.push_back(id);
  }
  return out;
}

int ssGetWithPrompts(const std::wstring& modeIn, const std::wstring& addPrompt, const std::wstring& removePrompt,
                     const SelFilter& flt, SelSet& out) {
  std::wstring mode = os::toUpper(modeIn);
  if (!(mode.empty() || mode[0] == L':')) return ssGet(modeIn, {}, flt, out);
  out = 0;
  if (liveSelectionSetCount() >= kMaxSelectionSets) return kError;
  std::vector<cad::ObjectId> ids;
  int r = interactive(addPrompt, removePrompt, flt, mode.find(L":S") != std::wstring::npos, ids);
  if (r == kCancel) return kCancel;
  if (ids.empty()) return kError;
  sel().previous = ids;
  out = makeSet(ids);
  return kNormal;
}

SelSet ssFromIds(const std::vector<cad::ObjectId>& ids) { return makeSet(ids); }

int ssAdd(cad::ObjectId id, SelSet set, SelSet& out) {
  if (set == 0) {
    out = makeSet(id ? std::vector<cad::ObjectId>{id} : std::vector<cad::ObjectId>{});
    return kNormal;
  }
  auto it = sel().sets.find(set);
  if (it == sel().sets.end()) return kError;
  if (id) {
    if (id.isErased() || !id.isValid()) return kError;
    addUnique(it->second, id);
  }
  out = set;
  return kNormal;
}

int ssDel(cad::ObjectId id, SelSet set) {
  auto it = sel().sets.find(set);
  if (it == sel().sets.end()) return kError;
  auto& v = it->second;
  auto pos = std::find(v.begin(), v.end(), id);
  if (pos == v.end()) return kError;
  v.erase(pos);
  return kNormal;
}

int ssLength(SelSet set, std::int32_t& length) {
  auto it = sel().sets.find(set);
  if (it == sel().sets.end()) {
    length = 0;
    return kError;
  }
  length = std::int32_t(it->second.size());
  return kNormal;
}

int ssName(SelSet set, std::int32_t index, cad::ObjectId& id) {
  auto it = sel().sets.find(set);
  if (it == sel().sets.end() || index < 0 || size_t(index) >= it->second.size()) {
    id = {};
    return kError;
  }
  id = it->second[index];
  return kNormal;
}

bool ssMember(SelSet set, cad::ObjectId id) {
  auto it = sel().sets.find(set);
  return it != sel().sets.end() && std::find(it->second.begin(), it->second.end(), id) != it->second.end();
}

std::vector<cad::ObjectId> ssIds(SelSet set) {
  auto it = sel().sets.find(set);
  return it == sel().sets.end() ? std::vector<cad::ObjectId>{} : it->second;
}

int ssFree(SelSet set) { return sel().sets.erase(set) ? kNormal : kError; }

int liveSelectionSetCount() { return int(sel().sets.size()); }

int ssSetFirst(SelSet set, SelSet) {
  if (set == 0) {
    sel().pickfirst.clear();
    return kNormal;
  }
  auto it = sel().sets.find(set);
  if (it == sel().sets.end()) return kError;
  sel().pickfirst = it->second;
  return kNormal;
}

int ssGetFirst(SelSet& out) {
  out = 0;
  if (sel().pickfirst.empty()) return kError;
  out = makeSet(sel().pickfirst);
  return kNormal;
}

std::vector<cad::ObjectId> pickfirstIds() { return sel().pickfirst; }
std::vector<cad::ObjectId> previousSelection() { return sel().previous; }

void resetSelection() { sel() = SelState{}; }

}  // namespace ed
