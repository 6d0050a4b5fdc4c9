// Body modelling helpers.
#include "module/solid3d/body_helpers.h"

#include <cmath>

#include "module/toolkit/bulge.h"
#include "module/toolkit/points.h"
#include "platform/editor/cmdline.h"

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

// A closed outline a polyline can be made of: two points, an area of 1.
bool outlineUsable(const PointList& points, const BulgeList& bulges) {
  return points.size() >= 2 && GetOutlineArea(points, bulges) >= 1;
}

solid::Body safely(solid::Body (*make)(const solid::Profile&, const Vector3d&), const solid::Profile& p,
                   const Vector3d& v) {
  try {
    return make(p, v);
  } catch (const solid::ModelError&) {
    return {};
  }
}

}  // namespace

solid::Body MakeConeBody(const Point3d& p, double r1, double r2, double h) {
  if (h <= 0) return {};
  return solid::Body::cone(p, {0, 0, h}, r1, r2);
}

solid::Body MakeSphereBody(const Point3d& p, double r) {
  if (r <= 0) return {};
  return solid::Body::sphere(p + Vector3d(0, 0, r), r);
}

solid::Body MakeDomeBody(const Point3d& p, double a, double h) {
  if (h <= 0) return {};
  double r = (a * a + h * h) / (2 * h);
  solid::Body b = MakeSphereBody(p, r);
  CutBodyByPlane(b, p + Vector3d(0, 0, h), {0, 0, 1});
  return b;
}

void CutBodyByPlane(solid::Body& body, const Point3d& q, const Vector3d& n) {
  if (!body.isNull()) body.cut(q, n);
}

void CombineBodies(solid::Body& first, const solid::Body& second, BodyOp op) {
  if (first.isNull() || second.isNull()) return;
  switch (op) {
    case BodyOp::Union: first += second; break;
    case BodyOp::Intersection: first *= second; break;
    case BodyOp::Subtraction: first -= second; break;
  }
}

bool CombineBodiesWithRetry(solid::Body& first, const solid::Body& second, BodyOp op) {
  if (first.isNull() || second.isNull()) return true;
  static const int kPlan[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  for (int attempt = 0; attempt < 24; ++attempt) {
    solid::Body c1 = first, c2 = second;
    try {
      if (attempt > 0) {
        const int* d = kPlan[(attempt - 1) % 8];
        int dz = attempt <= 7 ? 0 : attempt <= 15 ? -1 : 1;
        c2.transformBy(Matrix3d::translation(Vector3d(d[0], d[1], dz) * 0.5));
      }
      CombineBodies(c1, c2, op);
      first = std::move(c1);
      return true;
    } catch (const solid::ModelError&) {
    }
  }
  ed::printText(L"集合计算!\n");
  return false;
}

bool OutlineToProfile(const PointList& points, const BulgeList& bulges, bool closed, const Vector3d& normal,
                      solid::Profile& profile) {
  if (points.empty()) return false;
  std::size_t n = points.size();
  if (n > 1 && IsEqualPoint(points.back(), points.front(), 1.0)) --n;
  Matrix3d place = geom::planeToWorld(normal.normal());
  profile = {};
  profile.normal = normal.normal();
  profile.closed = true;
  for (std::size_t i = 0; i < n; ++i) {
    profile.vertices.push_back(place * points[i]);
    double b = i < bulges.size() ? bulges[i] : 0;
    if (!closed && i + 1 == n) b = 0;
    profile.bulges.push_back(b);
  }
  return true;
}

solid::Body MakeExtrusionBody(const PointList& points, const BulgeList& bulges, double h) {
  if (h == 0) return {};
  solid::Profile p;
  if (!OutlineToProfile(points, bulges, true, {0, 0, 1}, p)) return {};
  return safely(&solid::Body::extrusion, p, p.normal * h);
}

solid::Body MakePathSweepBody(const PointList& profile, const BulgeList& bulges, const Vector3d& n,
                              const PointList& path) {
  if (profile.empty() || path.size() < 2 || n.isZeroLength()) return {};
  solid::Profile p;
  if (!OutlineToProfile(profile, bulges, true, n, p)) return {};
  try {
    return solid::Body::sweep(p, path);
  } catch (const solid::ModelError&) {
    return {};
  }
}

solid::MorphingMap MakeEdgeMorphingMap(int nA, int nB) {
  solid::MorphingMap map;
  if (nA <= 0 || nB <= 0) return map;
  if (nB > nA)
    for (int i = 0; i < nB; ++i) map.add(std::min(i, nA - 1), i);
  else
    for (int i = 0; i < nA; ++i) map.add(i, std::min(i, nB - 1));
  return map;
}

solid::Body MakeTransitionSolid(const Point3d& p, PointList bottom, BulgeList bottomBulges, PointList top,
                                BulgeList topBulges, double h) {
  if (h <= 0) return {};
  if (!IsOutlineCounterClockwise(bottom, bottomBulges)) ReverseOutline(bottom, bottomBulges);
  if (!IsOutlineCounterClockwise(top, topBulges)) ReverseOutline(top, topBulges);
  if (!outlineUsable(bottom, bottomBulges) || !outlineUsable(top, topBulges)) return {};
  solid::Profile a, b;
  OutlineToProfile(bottom, bottomBulges, true, {0, 0, 1}, a);
  OutlineToProfile(top, topBulges, true, {0, 0, 1}, b);
  for (Point3d& v : b.vertices) v.z += h;
  int na = a.edgeCount(), nb = b.edgeCount();
  solid::Body body;
  try {
    body = solid::Body::loft(a, b, na == nb ? solid::MorphingMap{} : MakeEdgeMorphingMap(na, nb));
  } catch (const solid::ModelError&) {
    return {};
  }
  body.transformBy(Matrix3d::translation(p.asVector()));
  return body;
}

solid::Body MakeSectionSolid(const Point3d& p, PointList points, BulgeList bulges, double h, double g) {
  if (h <= 0) return {};
  if (!IsOutlineCounterClockwise(points, bulges)) ReverseOutline(points, bulges);
  PointList top;
  BulgeList topBulges;
  OffsetOutline(points, bulges, top, topBulges, g);
  if (top.empty()) return {};
  return MakeTransitionSolid(p, points, bulges, top, topBulges, h);
}
