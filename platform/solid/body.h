// The body modeller: closed solids with exact faces (planes, cylinders,
// cones, spheres, swept and lofted surfaces), built from primitives and
// profiles, combined by booleans, cut by planes and moved by matrices.
//
// A Body is a value: copies share the modeller's data until one of them is
// changed. Every operation that the modeller cannot carry out throws
// ModelError and leaves the bodies as they were. Tests make operations fail
// on purpose with FailNextOperations.
#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/geom/geom.h"

namespace solid {

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

struct ModelError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A planar outline: vertices in world coordinates, one bulge per vertex (the
// arc from that vertex to the next, tan of a quarter of its angle, positive
// counter-clockwise about the normal; 0 a straight edge). A closed outline
// runs back from its last vertex to the first; an open one ends at its last
// vertex (its last bulge is not used).
struct Profile {
  std::vector<Point3d> vertices;
  std::vector<double> bulges;
  Vector3d normal{0, 0, 1};
  bool closed = true;
  // Its straight and arc edges, as many as the modeller makes of it.
  int edgeCount() const;
};

// Pairs the edges of a loft's start outline with those of its end outline:
// (start edge, end edge). Empty: the outlines have as many edges each and
// edge i meets edge i.
struct MorphingMap {
  std::vector<std::pair<int, int>> pairs;
  void add(int from, int to) { pairs.emplace_back(from, to); }
  bool isNull() const { return pairs.empty(); }
};

// The surface of a body as triangles, each counter-clockwise seen from outside.
struct Mesh {
  std::vector<Point3d> vertices;
  std::vector<std::array<int, 3>> triangles;
};

class Body {
 public:
  Body();  // the null body
  ~Body();
  Body(const Body&);
  Body& operator=(const Body&);
  Body(Body&&) noexcept;
  Body& operator=(Body&&) noexcept;

  // Truncated cone (a cylinder for r1 == r2) from base along axis (its
  // length is the height): radius r1 at the base, r2 at the far end. Either
  // radius may be 0 (not both).
  static Body cone(const Point3d& base, const Vector3d& axis, double r1, double r2);
  static Body sphere(const Point3d& centre, double radius);
  // A ring of a circle of radius r whose centre runs round a circle of
  // radius bend (r may equal bend): about the axis through centre, from the
  // direction start (across the axis) counter-clockwise about axis by angle.
  static Body torus(const Point3d& centre, const Vector3d& axis, const Vector3d& start, double bend, double r,
                    double angle);
  // The closed profile's face moved along v.
  static Body extrusion(const Profile& profile, const Vector3d& v);
  // The closed profile as a flat face (a body without volume, for lofts
  // and for counting a profile's edges).
  static Body face(const Profile& profile);
  // The closed profile swept along the open path. The profile is taken
  // relative to the path's first point: its vertices are moved by that
  // point, so a profile drawn about the origin starts the sweep at the path
  // start. Its radius may change linearly from 1 to endScale along the path.
  // With pathBulges (one per path point, about pathNormal) the path's arcs
  // are exact; a changing section is then placed at the path points only.
  static Body sweep(const Profile& profile, const std::vector<Point3d>& path, double endScale = 1.0,
                    const std::vector<double>& pathBulges = {}, const Vector3d& pathNormal = {0, 0, 1});
  // Ruled loft between two closed profiles, both in world coordinates.
  // With a map, each end edge is joined to the start edge it names; start
  // edges named by several end edges are split into as many pieces (and the
  // other way round).
  static Body loft(const Profile& start, const Profile& end, const MorphingMap& map = {});
  // The closed profile turned through angle (radians) about an axis.
  static Body revolve(const Profile& profile, const Point3d& axisPoint, const Vector3d& axisDir, double angle);
  // The closed profile swept along one arc: in plan the arc from a to b
  // with the bulge (counter-clockwise about +z when positive), its height
  // rising linearly along the chord from a.z to b.z. The profile is taken
  // relative to a, as for sweep. The path is exact: a level arc is a turn
  // of the profile about the arc's vertical axis, a climbing one a sweep
  // along the arc's image on the sloping plane.
  static Body sweepArc(const Profile& profile, const Point3d& a, const Point3d& b, double bulge);

  // The bodies held together as one, without a boolean: for parts that
  // only touch one another (a bend between its two straight legs).
  static Body compound(const std::vector<Body>& parts);

  Body& operator+=(const Body& other);  // union
  Body& operator*=(const Body& other);  // intersection
  Body& operator-=(const Body& other);  // subtraction
  // Removes the half-space on the normal's side of the plane.
  void cut(const Point3d& point, const Vector3d& normal);
  void transformBy(const Matrix3d& m);

  bool isNull() const;
  int edgeCount() const;
  int faceCount() const;
  double volume() const;
  double area() const;
  // The smallest box around the body. False for a null body.
  bool extents(Point3d& lo, Point3d& hi) const;
  // A box around the body, quick to find and possibly a little larger than
  // extents() (curved faces are boxed by their defining geometry); found
  // once per body and kept with it. False for a null body.
  bool box(Point3d& lo, Point3d& hi) const;
  // Triangles within the given chord deviation (drawing units).
  Mesh mesh(double deflection = 2.0) const;

  // Text that load() turns back into the same body ("" for the null body).
  std::string save() const;
  static Body load(const std::string& text);  // ModelError for damaged text

  struct Impl;
  const Impl* impl() const { return impl_.get(); }
  explicit Body(std::shared_ptr<const Impl> impl);

 private:
  std::shared_ptr<const Impl> impl_;
};

// Makes the next n operations of the modeller throw ModelError (for tests).
void FailNextOperations(int n);
// Counts the booleans carried out and the time they took, and the time
// spent in the modeller altogether (building, combining, moving, measuring
// and meshing bodies), for benchmarks.
struct BooleanStats {
  long count = 0;
  double seconds = 0;
  double modelSeconds = 0;
};
BooleanStats& Stats();

}  // namespace solid
