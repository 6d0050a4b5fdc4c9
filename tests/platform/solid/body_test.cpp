#include "platform/solid/body.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace solid;
using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

const double kPi = 3.14159265358979323846;

Profile rect(double w, double h, const Point3d& at = {}, const Vector3d& n = {0, 0, 1}) {
  Profile p;
  p.vertices = {{-w / 2, -h / 2, 0}, {w / 2, -h / 2, 0}, {w / 2, h / 2, 0}, {-w / 2, h / 2, 0}};
  p.bulges = {0, 0, 0, 0};
  Matrix3d m = geom::planeToWorld(at, n);
  for (Point3d& v : p.vertices) v = m * v;
  p.normal = n;
  return p;
}

Profile circle(double r, const Point3d& at = {}, const Vector3d& n = {0, 0, 1}) {
  Profile p;
  p.vertices = {{-r, 0, 0}, {r, 0, 0}};
  p.bulges = {1, 1};
  Matrix3d m = geom::planeToWorld(at, n);
  for (Point3d& v : p.vertices) v = m * v;
  p.normal = n;
  return p;
}

void expectWithin(double got, double want, double share) {
  EXPECT_NEAR(got, want, std::fabs(want) * share) << "got " << got << " want " << want;
}

}  // namespace

// A worked table of bodies and their volumes by formula, within 1 %.
TEST(SolidBody, VolumesOfWorkedCases) {
  struct Case {
    const char* name;
    Body body;
    double volume;
  };
  // Domed cap: base radius 300, height 100 on a sphere of radius 500.
  Body dome = Body::sphere({0, 0, 500}, 500);
  dome.cut({0, 0, 100}, {0, 0, 1});
  // Swept duct: a 400 x 250 section swept along a quarter circle of radius 2000.
  std::vector<Point3d> arc;
  for (int i = 0; i <= 24; ++i) {
    double a = kPi / 2 * i / 24;
    arc.push_back({2000 * std::sin(a), 2000 - 2000 * std::cos(a), 0});
  }
  Body duct = Body::sweep(rect(250, 400, {}, {1, 0, 0}), arc);
  // The path is a polygon through the arc: its length is the chord sum.
  double pathLength = 0;
  for (std::size_t i = 1; i < arc.size(); ++i) pathLength += (arc[i] - arc[i - 1]).length();
  // Lofted reducer: a circle of radius 100 to a 300 x 200 rectangle over 500.
  Body reducer = Body::loft(circle(100), rect(300, 200, {0, 0, 500}));
  // The same loft as a frustum of radius 100 to 50 over 400.
  Body frustum = Body::loft(circle(100), circle(50, {0, 0, 400}));
  const Case cases[] = {
      {"cylinder", Body::cone({0, 0, 0}, {0, 0, 1000}, 50, 50), kPi * 50 * 50 * 1000},
      {"cone", Body::cone({10, 20, 30}, {0, 1000, 0}, 100, 0), kPi * 100 * 100 * 1000 / 3},
      {"sphere", Body::sphere({0, 0, 0}, 200), 4.0 / 3 * kPi * 200 * 200 * 200},
      {"domed cap", dome, kPi * 100 * 100 * (3 * 500 - 100) / 3},
      {"box", Body::extrusion(rect(300, 200), {0, 0, 100}), 300.0 * 200 * 100},
      {"swept duct", duct, 400.0 * 250 * pathLength},
      {"frustum loft", frustum, kPi * 400 / 3 * (100 * 100 + 100 * 50 + 50 * 50)},
      // A ruled loft from a circle to a rectangle is no prismatoid; the
      // reference is the prismatoid rule with the mid section measured.
      {"lofted reducer", reducer, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.body.isNull());
    if (c.volume > 0) expectWithin(c.body.volume(), c.volume, 0.01);
  }
  // The reducer lies between the circle's and the rectangle's prisms.
  double v = reducer.volume();
  EXPECT_GT(v, kPi * 100 * 100 * 500 * 0.99);
  EXPECT_LT(v, 300.0 * 200 * 500);
  Point3d lo, hi;
  ASSERT_TRUE(dome.extents(lo, hi));
  EXPECT_NEAR(hi.z, 100, 0.5);
  EXPECT_NEAR(hi.x, 300, 1);
}

TEST(SolidBody, BooleansAndPlaneCut) {
  Body a = Body::extrusion(rect(100, 100), {0, 0, 100});
  Body b = Body::extrusion(rect(100, 100, {50, 0, 0}), {0, 0, 100});
  Body u = a, i = a, s = a;
  u += b;
  i *= b;
  s -= b;
  expectWithin(u.volume(), 1.5e6, 1e-6);
  expectWithin(i.volume(), 0.5e6, 1e-6);
  expectWithin(s.volume(), 0.5e6, 1e-6);
  // The plane cut removes the side the normal points to.
  Body c = a;
  c.cut({0, 0, 30}, {0, 0, 1});
  expectWithin(c.volume(), 0.3e6, 1e-6);
  Point3d lo, hi;
  ASSERT_TRUE(c.extents(lo, hi));
  EXPECT_NEAR(hi.z, 30, 1e-6);
  // Disjoint intersection: a null body.
  Body far = Body::extrusion(rect(10, 10, {1000, 0, 0}), {0, 0, 10});
  Body none = a;
  none *= far;
  EXPECT_TRUE(none.isNull());
  EXPECT_EQ(none.volume(), 0);
  EXPECT_TRUE(Body().isNull());
}

TEST(SolidBody, EdgeCountsOfExactPrimitivesAndFaces) {
  // Exact primitives: a box has 12 edges, a cylinder 3 (two circles and its seam).
  EXPECT_EQ(Body::extrusion(rect(10, 10), {0, 0, 5}).edgeCount(), 12);
  EXPECT_EQ(Body::cone({0, 0, 0}, {0, 0, 5}, 2, 2).edgeCount(), 3);
  // A face counts one edge per straight side and per arc.
  EXPECT_EQ(Body::face(rect(10, 10)).edgeCount(), 4);
  EXPECT_EQ(Body::face(circle(5)).edgeCount(), 2);
  EXPECT_EQ(rect(10, 10).edgeCount(), 4);
  // A closing vertex repeating the first one adds no edge.
  Profile closedTwice = rect(10, 10);
  closedTwice.vertices.push_back(closedTwice.vertices.front());
  closedTwice.bulges.push_back(0);
  EXPECT_EQ(closedTwice.edgeCount(), 4);
  EXPECT_EQ(Body::face(closedTwice).edgeCount(), 4);
}

TEST(SolidBody, LoftWithEdgeMapJoinsSurplusEdgesToTheLastEdge) {
  Profile square = rect(100, 100);
  Profile hexagon;
  for (int k = 0; k < 6; ++k)
    hexagon.vertices.push_back({80 * std::cos(k * kPi / 3), 80 * std::sin(k * kPi / 3), 200});
  hexagon.bulges.assign(6, 0);
  MorphingMap map;
  for (int i = 0; i < 6; ++i) map.add(std::min(i, 3), i);
  Body withMap = Body::loft(square, hexagon, map);
  Body plain = Body::loft(square, hexagon);
  ASSERT_FALSE(withMap.isNull());
  ASSERT_FALSE(plain.isNull());
  Point3d lo, hi;
  ASSERT_TRUE(withMap.extents(lo, hi));
  EXPECT_NEAR(lo.z, 0, 1e-6);
  EXPECT_NEAR(hi.z, 200, 1e-6);
  EXPECT_GT(withMap.volume(), 0);
}

TEST(SolidBody, TaperedSweepAndRevolve) {
  // A cylinder swept straight with its radius halving: a frustum.
  Body t = Body::sweep(circle(100, {}, {1, 0, 0}), {{0, 0, 0}, {1000, 0, 0}}, 0.5);
  expectWithin(t.volume(), kPi * 1000 / 3 * (100 * 100 + 100 * 50 + 50 * 50), 0.01);
  // A rectangle 0..50 x 0..100 in the xz plane turned about z: a cylinder.
  Profile p;
  p.vertices = {{0, 0, 0}, {50, 0, 0}, {50, 0, 100}, {0, 0, 100}};
  p.bulges.assign(4, 0);
  p.normal = {0, 1, 0};
  Body r = Body::revolve(p, {0, 0, 0}, {0, 0, 1}, 2 * kPi);
  expectWithin(r.volume(), kPi * 50 * 50 * 100, 0.001);
}

TEST(SolidBody, TransformsKeepOrScaleTheVolume) {
  Body b = Body::cone({0, 0, 0}, {0, 0, 100}, 10, 10);
  double v = b.volume();
  b.transformBy(Matrix3d::rotation(0.7, {1, 1, 0}, {5, 5, 5}) * Matrix3d::translation({100, 0, 0}));
  expectWithin(b.volume(), v, 1e-9);
  b.transformBy(Matrix3d::scaling(2));
  expectWithin(b.volume(), 8 * v, 1e-9);
  // A stretch along one axis (not a similarity).
  Body box = Body::extrusion(rect(10, 10), {0, 0, 10});
  box.transformBy(Matrix3d::scaling(1, 1, 3));
  expectWithin(box.volume(), 3000, 1e-6);
}

TEST(SolidBody, InjectedFailuresThrowAndLeaveTheBodyAsItWas) {
  Body a = Body::extrusion(rect(100, 100), {0, 0, 100});
  Body b = Body::cone({0, 0, 0}, {0, 0, 200}, 10, 10);
  FailNextOperations(1);
  EXPECT_THROW(a -= b, ModelError);
  expectWithin(a.volume(), 1e6, 1e-9);
  a -= b;  // the next one works again
  EXPECT_LT(a.volume(), 1e6);
  FailNextOperations(1);
  EXPECT_THROW(Body::sphere({0, 0, 0}, 5), ModelError);
  EXPECT_THROW(Body::cone({0, 0, 0}, {0, 0, 0}, 1, 1), ModelError);
  EXPECT_THROW(Body::sphere({0, 0, 0}, 0), ModelError);
  Profile line;
  line.vertices = {{0, 0, 0}};
  EXPECT_THROW(Body::face(line), ModelError);
}

TEST(SolidBody, SavedTextRestoresTheBody) {
  Body b = Body::sphere({10, 20, 30}, 40);
  b.cut({10, 20, 30}, {0, 0, 1});
  std::string text = b.save();
  ASSERT_FALSE(text.empty());
  Body r = Body::load(text);
  expectWithin(r.volume(), b.volume(), 1e-9);
  EXPECT_EQ(r.edgeCount(), b.edgeCount());
  EXPECT_TRUE(Body::load("").isNull());
  EXPECT_THROW(Body::load("not a body"), ModelError);
  // The mesh encloses about the body's volume, its triangles facing out.
  Mesh m = r.mesh(0.2);
  ASSERT_GT(m.triangles.size(), 10u);
  double v = 0;
  for (const auto& t : m.triangles)
    v += m.vertices[std::size_t(t[0])].asVector().dot(
             m.vertices[std::size_t(t[1])].asVector().cross(m.vertices[std::size_t(t[2])].asVector())) / 6;
  expectWithin(v, r.volume(), 0.02);
}

namespace {

// An arc run of a pipe: the section swept along the exact arc, level (a turn
// about the arc's axis) or climbing along its chord; both ways and either
// direction of turn, the volume is the section times the path's length and
// no boolean is used.
TEST(SolidBody, ArcSweepsFollowTheExactArc) {
  const double r = 1000, t = std::tan(kPi / 8);  // a quarter turn
  for (double bulge : {t, -t})
    for (double rise : {0.0, 600.0}) {
      SCOPED_TRACE(testing::Message() << "bulge " << bulge << " rise " << rise);
      Stats() = {};
      const Point3d a(0, 0, 100), b(r, bulge > 0 ? r : -r, 100 + rise);
      Body pipe = Body::sweepArc(circle(20), a, b, bulge);
      EXPECT_EQ(Stats().count, 0);
      // The length of the arc lifted linearly along its chord.
      double length = 0;
      Point3d last = a;
      for (int i = 1; i <= 20000; ++i) {
        double u = kPi / 2 * i / 20000;
        Point3d p(r * std::sin(u), (bulge > 0 ? 1 : -1) * (r - r * std::cos(u)), 0);
        p.z = 100 + rise * (p.x + std::fabs(p.y)) / (2 * r);
        length += (p - last).length();
        last = p;
      }
      expectWithin(pipe.volume(), kPi * 400 * length, 1e-4);
      Point3d lo, hi;
      ASSERT_TRUE(pipe.extents(lo, hi));
      EXPECT_NEAR(hi.x, r + 20, rise > 0 ? 1 : 1e-3);
      EXPECT_NEAR(std::min(std::fabs(lo.y), std::fabs(hi.y)), 20, rise > 0 ? 1 : 1e-3);
    }
  EXPECT_THROW(Body::sweepArc(circle(20), {0, 0, 0}, {100, 0, 0}, 0), ModelError);
}

// The quick box holds the body, a little larger at most, and stays with it.
TEST(SolidBody, QuickBoxHoldsTheBody) {
  Body bodies[] = {Body::cone({10, 20, 30}, {300, 400, 0}, 25, 25),
                   Body::sweepArc(circle(25), {0, 0, 0}, {1000, 1000, 500}, std::tan(kPi / 8)),
                   Body::sphere({5, 5, 5}, 50)};
  for (const Body& b : bodies) {
    Point3d lo, hi, qlo, qhi;
    ASSERT_TRUE(b.extents(lo, hi));
    ASSERT_TRUE(b.box(qlo, qhi));
    auto at = [](const Point3d& p, int k) { return k == 0 ? p.x : k == 1 ? p.y : p.z; };
    const double span = hi.x - lo.x + hi.y - lo.y + hi.z - lo.z;
    for (int k = 0; k < 3; ++k) {
      EXPECT_LE(at(qlo, k), at(lo, k) + 1e-6);
      EXPECT_GE(at(qhi, k), at(hi, k) - 1e-6);
      EXPECT_LT(at(qhi, k) - at(qlo, k), at(hi, k) - at(lo, k) + 0.1 * span);
    }
    // Asked again (or of a copy), the box is the same and costs nothing new.
    Body copy = b;
    Point3d again, againHi;
    ASSERT_TRUE(copy.box(again, againHi));
    EXPECT_EQ(again.x, qlo.x);
    EXPECT_EQ(againHi.z, qhi.z);
  }
  Point3d lo, hi;
  EXPECT_FALSE(Body().box(lo, hi));
}

}  // namespace
