// Plan areas: loop nesting, measures and booleans.
//
// The booleans cut both operands' boundaries at every point where they meet,
// keep each piece by where it lies against the other operand, and trace the
// kept pieces into loops. All loops are first oriented with the area on their
// left (outer boundaries counter-clockwise, holes clockwise), so a kept piece
// can be followed end to start without looking at which operand it came from.
#include "platform/geom/region.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace geom {

namespace {

// The loop as a closed polyline without repeated vertices.
Polyline2d cleaned(const Polyline2d& in) {
  Polyline2d out;
  out.closed = true;
  int n = in.vertexCount();
  for (int i = 0; i < n; ++i) {
    if (!out.points.empty() && in.points[i].isEqualTo(out.points.back())) {
      // A repeated vertex: the segment from it carries the bulge.
      out.bulges.back() = in.bulgeAt(i);
      continue;
    }
    out.points.push_back(in.points[i]);
    out.bulges.push_back(in.bulgeAt(i));
  }
  while (out.points.size() > 1 && out.points.back().isEqualTo(out.points.front())) {
    out.points.pop_back();
    out.bulges.pop_back();
  }
  return out;
}

// A point inside the loop's boundary that lies on no other loop: the middle
// of one of its segments.
Point2d probePoint(const std::vector<Polyline2d>& loops, std::size_t i) {
  const Polyline2d& l = loops[i];
  for (int s = 0; s < l.segmentCount(); ++s) {
    Point2d m = l.segmentAt(s).midPoint();
    bool touches = false;
    for (std::size_t j = 0; j < loops.size() && !touches; ++j)
      touches = j != i && loops[j].classify(m) == Containment::OnBoundary;
    if (!touches) return m;
  }
  return l.segmentAt(0).midPoint();
}

Polyline2d oriented(const Polyline2d& l, bool counterClockwise) {
  return l.isCounterClockwise() == counterClockwise ? l : l.reversed();
}

// Size of the coordinates, for tolerances that follow the drawing's units.
double scaleOf(const std::vector<Polyline2d>& a, const std::vector<Polyline2d>& b) {
  double s = 1;
  for (const auto* set : {&a, &b})
    for (const auto& l : *set)
      for (const auto& p : l.points) s = std::max({s, std::fabs(p.x), std::fabs(p.y)});
  return s;
}

// One piece of a cut boundary, between two points of the shared vertex list.
struct Piece {
  Curve2d c;
  int s = 0, e = 0;
};

class Boolean {
 public:
  Boolean(const std::vector<Polyline2d>& a, const std::vector<Polyline2d>& b)
      : a_(arrangeFaces(a)), b_(arrangeFaces(b)), eps_(1e-9 * scaleOf(a, b)) {}

  std::optional<std::vector<Polyline2d>> run(RegionOp op) {
    std::vector<Curve2d> ea = edges(a_), eb = edges(b_);
    std::vector<std::vector<std::pair<double, int>>> cutsA(ea.size()), cutsB(eb.size());
    for (std::size_t i = 0; i < ea.size(); ++i) {
      Extents2d xa = ea[i].extents();
      for (std::size_t j = 0; j < eb.size(); ++j) {
        Extents2d xb = eb[j].extents();
        if (xa.max.x < xb.min.x - eps_ || xb.max.x < xa.min.x - eps_ || xa.max.y < xb.min.y - eps_ ||
            xb.max.y < xa.min.y - eps_)
          continue;
        for (const Point2d& p : intersect(ea[i], eb[j], Extend::None, eps_)) {
          int v = vertex(p);
          cutsA[i].push_back({ea[i].distanceAlong(p), v});
          cutsB[j].push_back({eb[j].distanceAlong(p), v});
        }
      }
    }
    std::vector<Piece> pa = cut(ea, cutsA), pb = cut(eb, cutsB);

    std::vector<Piece> kept;
    for (const Piece& p : pa) {
      Side s = sideOf(p, eb);
      bool keep = op == RegionOp::Unite       ? s == Side::Outside || s == Side::SharedSame
                  : op == RegionOp::Intersect ? s == Side::Inside || s == Side::SharedSame
                                              : s == Side::Outside || s == Side::SharedOpposite;
      if (keep) kept.push_back(p);
    }
    for (const Piece& p : pb) {
      Side s = sideOf(p, ea);
      if (s == Side::SharedSame || s == Side::SharedOpposite) continue;  // A's copy decides
      if (op == RegionOp::Unite && s == Side::Outside) kept.push_back(p);
      if (op == RegionOp::Intersect && s == Side::Inside) kept.push_back(p);
      if (op == RegionOp::Subtract && s == Side::Inside) kept.push_back({p.c.reversed(), p.e, p.s});
    }

    std::vector<std::vector<Piece>> loops;
    if (!trace(kept, loops)) return std::nullopt;
    std::vector<Polyline2d> out;
    for (auto& l : loops) {
      joinNeighbours(l);
      Polyline2d pl;
      pl.closed = true;
      for (const Piece& p : l) {
        pl.points.push_back(verts_[p.s]);
        pl.bulges.push_back(p.c.bulge());
      }
      if (pl.vertexCount() >= 2 && pl.area() > eps_ * std::max(1.0, pl.length())) out.push_back(std::move(pl));
    }
    return arrangeFaces(out);
  }

 private:
  enum class Side { Inside, Outside, SharedSame, SharedOpposite };

  static std::vector<Curve2d> edges(const std::vector<Polyline2d>& loops) {
    std::vector<Curve2d> out;
    for (const auto& l : loops)
      for (int i = 0; i < l.segmentCount(); ++i) out.push_back(l.segmentAt(i));
    return out;
  }

  // The index of p in the vertex list, points within eps being one vertex.
  // Vertices are found through a grid of cells eps wide, so that a point
  // looks only at its own and the neighbouring cells.
  int vertex(const Point2d& p) {
    auto cellOf = [&](double v) { return static_cast<long long>(std::floor(v / eps_)); };
    long long cx = cellOf(p.x), cy = cellOf(p.y);
    for (long long dx = -1; dx <= 1; ++dx)
      for (long long dy = -1; dy <= 1; ++dy) {
        auto it = grid_.find(key(cx + dx, cy + dy));
        if (it == grid_.end()) continue;
        for (int i : it->second)
          if (verts_[i].isEqualTo(p, eps_)) return i;
      }
    verts_.push_back(p);
    int i = int(verts_.size()) - 1;
    grid_[key(cx, cy)].push_back(i);
    return i;
  }
  static std::uint64_t key(long long x, long long y) {
    return (static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(y);
  }

  // Each edge cut at its cut points into pieces that run between vertices.
  std::vector<Piece> cut(const std::vector<Curve2d>& edges, std::vector<std::vector<std::pair<double, int>>>& cuts) {
    std::vector<Piece> out;
    for (std::size_t i = 0; i < edges.size(); ++i) {
      const Curve2d& c = edges[i];
      double len = c.length();
      auto& list = cuts[i];
      list.push_back({0.0, vertex(c.startPoint())});
      list.push_back({len, vertex(c.endPoint())});
      std::sort(list.begin(), list.end());
      std::size_t from = 0;
      for (std::size_t k = 1; k < list.size(); ++k) {
        if (list[k].second == list[from].second || list[k].first - list[from].first <= eps_) continue;
        // Pieces of an arc keep its circle; the vertices are their ends.
        double bulge = 0;
        if (c.isArc()) {
          double sweep = (list[k].first - list[from].first) / c.arc().radius * (c.arc().sweep < 0 ? -1 : 1);
          bulge = std::tan(sweep / 4);
        }
        int s = list[from].second, e = list[k].second;
        out.push_back({Curve2d::fromBulge(verts_[s], verts_[e], bulge), s, e});
        from = k;
      }
    }
    return out;
  }

  // Where a piece lies against the other operand, given by its edges.
  Side sideOf(const Piece& p, const std::vector<Curve2d>& otherEdges) const {
    double half = p.c.length() / 2;
    Point2d m = p.c.pointAtDistance(half);
    for (const Curve2d& e : otherEdges) {
      if (e.distanceTo(m) > 10 * eps_) continue;
      double along = p.c.tangentAt(half).dot(e.tangentAt(e.distanceAlong(m)));
      return along > 0 ? Side::SharedSame : Side::SharedOpposite;
    }
    int crossings = 0;
    for (const Curve2d& e : otherEdges) crossings += crossingsTowardNegX(m, e);
    return crossings % 2 ? Side::Inside : Side::Outside;
  }

  // Follows the pieces end to start into closed loops. Where several pieces
  // leave a vertex, the one turning furthest left is taken, so that areas
  // meeting at a single point stay separate loops.
  bool trace(const std::vector<Piece>& pieces, std::vector<std::vector<Piece>>& loops) const {
    std::vector<std::vector<int>> leaving(verts_.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) leaving[pieces[i].s].push_back(int(i));
    std::vector<bool> used(pieces.size(), false);
    for (std::size_t first = 0; first < pieces.size(); ++first) {
      if (used[first]) continue;
      std::vector<Piece> loop{pieces[first]};
      used[first] = true;
      while (loop.back().e != loop.front().s) {
        const Piece& last = loop.back();
        Vector2d in = last.c.tangentAt(last.c.length());
        int best = -1;
        double bestTurn = -10;
        for (int k : leaving[last.e]) {
          if (used[k]) continue;
          Vector2d out = pieces[k].c.tangentAt(0);
          double turn = std::atan2(in.cross(out), in.dot(out));
          if (turn > bestTurn) bestTurn = turn, best = k;
        }
        if (best < 0) return false;
        used[best] = true;
        loop.push_back(pieces[best]);
      }
      loops.push_back(std::move(loop));
    }
    return true;
  }

  // Joins consecutive pieces on one line or one circle (keeping at least two
  // pieces, and arcs short of a full circle).
  void joinNeighbours(std::vector<Piece>& loop) const {
    bool joined = true;
    while (joined && loop.size() > 2) {
      joined = false;
      for (std::size_t i = 0; i < loop.size() && loop.size() > 2; ++i) {
        std::size_t j = (i + 1) % loop.size();
        const Curve2d &a = loop[i].c, &b = loop[j].c;
        std::optional<Curve2d> both;
        if (a.isLine() && b.isLine()) {
          Vector2d u = a.line().direction(), v = b.line().direction();
          if (std::fabs(u.cross(v)) <= 1e-9 && u.dot(v) > 0)
            both = Curve2d(LineSeg2d(verts_[loop[i].s], verts_[loop[j].e]));
        } else if (a.isArc() && b.isArc()) {
          const CircArc2d &x = a.arc(), &y = b.arc();
          double sweep = x.sweep + y.sweep;
          if (x.center.isEqualTo(y.center, 10 * eps_) && std::fabs(x.radius - y.radius) <= 10 * eps_ &&
              (x.sweep > 0) == (y.sweep > 0) && std::fabs(sweep) < 2 * kPi - 1e-6)
            both = Curve2d::fromBulge(verts_[loop[i].s], verts_[loop[j].e], std::tan(sweep / 4));
        }
        if (!both) continue;
        loop[i] = {*both, loop[i].s, loop[j].e};
        loop.erase(loop.begin() + std::ptrdiff_t(j));
        joined = true;
      }
    }
  }

  std::vector<Polyline2d> a_, b_;
  double eps_;
  std::vector<Point2d> verts_;
  std::unordered_map<std::uint64_t, std::vector<int>> grid_;
};

}  // namespace

std::vector<int> loopDepths(const std::vector<Polyline2d>& loops) {
  std::vector<Polyline2d> closedLoops;
  for (const auto& l : loops) closedLoops.push_back(cleaned(l));
  std::vector<int> depth(loops.size(), 0);
  for (std::size_t i = 0; i < closedLoops.size(); ++i) {
    if (closedLoops[i].segmentCount() == 0) continue;
    Point2d p = probePoint(closedLoops, i);
    for (std::size_t j = 0; j < closedLoops.size(); ++j)
      if (j != i && closedLoops[j].vertexCount() >= 2 && closedLoops[j].classify(p) == Containment::Inside) ++depth[i];
  }
  return depth;
}

std::vector<Polyline2d> arrangeFaces(const std::vector<Polyline2d>& loops, std::vector<std::size_t>* faceStarts) {
  std::vector<Polyline2d> kept;
  for (const auto& l : loops) {
    Polyline2d c = cleaned(l);
    if (c.vertexCount() >= 2 && c.area() > 0) kept.push_back(std::move(c));
  }
  std::vector<int> depth = loopDepths(kept);
  std::vector<Polyline2d> out;
  if (faceStarts) faceStarts->clear();
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (depth[i] % 2) continue;
    if (faceStarts) faceStarts->push_back(out.size());
    out.push_back(oriented(kept[i], true));
    for (std::size_t j = 0; j < kept.size(); ++j) {
      if (depth[j] != depth[i] + 1) continue;
      if (kept[i].classify(probePoint(kept, j)) == Containment::Inside) out.push_back(oriented(kept[j], false));
    }
  }
  return out;
}

double regionArea(const std::vector<Polyline2d>& loops) {
  double a = 0;
  for (const auto& l : arrangeFaces(loops)) a += l.signedArea();
  return a;
}

double regionPerimeter(const std::vector<Polyline2d>& loops) {
  double len = 0;
  for (const auto& l : loops) len += cleaned(l).length();
  return len;
}

Containment classifyInRegion(const std::vector<Polyline2d>& loops, const Point2d& p, double tol) {
  int crossings = 0;
  for (const auto& l : loops) {
    Polyline2d c = cleaned(l);
    for (int i = 0; i < c.segmentCount(); ++i) {
      Curve2d s = c.segmentAt(i);
      if (s.isOn(p, tol)) return Containment::OnBoundary;
      crossings += crossingsTowardNegX(p, s);
    }
  }
  return crossings % 2 ? Containment::Inside : Containment::Outside;
}

std::optional<std::vector<Polyline2d>> regionBoolean(const std::vector<Polyline2d>& a,
                                                     const std::vector<Polyline2d>& b, RegionOp op) {
  return Boolean(a, b).run(op);
}

}  // namespace geom
