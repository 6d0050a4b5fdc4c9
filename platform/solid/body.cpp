// The body modeller on the exact-geometry kernel.
#include "platform/solid/body.h"

#include <BRepAlgoAPI_Common.hxx>
#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_GTransform.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepGProp.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepOffsetAPI_MakePipeShell.hxx>
#include <BRepOffsetAPI_ThruSections.hxx>
#include <BRepPrimAPI_MakeCone.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakeHalfSpace.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepPrimAPI_MakeRevol.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GC_MakeArcOfCircle.hxx>
#include <GProp_GProps.hxx>
#include <Poly_HArray1OfTriangle.hxx>
#include <Poly_Triangulation.hxx>
#include <TColgp_HArray1OfPnt.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Shape.hxx>
#include <TopoDS_Wire.hxx>
#include <gp_Ax2.hxx>
#include <gp_GTrsf.hxx>
#include <gp_Pln.hxx>
#include <gp_Trsf.hxx>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <sstream>

namespace solid {

struct Body::Impl {
  TopoDS_Shape shape;
  // The quick box, found on first use.
  mutable std::once_flag boxOnce;
  mutable bool boxed = false;
  mutable double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
};

namespace {

// Adds the time from its making to its end to the modeller's time.
class ModelTime {
 public:
  ModelTime() : t0_(std::chrono::steady_clock::now()) {}
  ~ModelTime() { Stats().modelSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0_).count(); }
  ModelTime(const ModelTime&) = delete;
  ModelTime& operator=(const ModelTime&) = delete;

 private:
  std::chrono::steady_clock::time_point t0_;
};

std::atomic<int> g_failures{0};

// Throws when a test asked for a failure.
void checkInjected(const char* what) {
  int n = g_failures.load();
  while (n > 0) {
    if (g_failures.compare_exchange_weak(n, n - 1)) throw ModelError(std::string(what) + ": failure injected");
  }
}

gp_Pnt P(const Point3d& p) { return gp_Pnt(p.x, p.y, p.z); }
gp_Vec V(const Vector3d& v) { return gp_Vec(v.x, v.y, v.z); }
gp_Dir D(const Vector3d& v) {
  if (v.isZeroLength()) throw ModelError("zero direction");
  return gp_Dir(v.x, v.y, v.z);
}

// Runs a kernel step; its exceptions become ModelError.
template <class F>
auto guarded(const char* what, F&& f) -> decltype(f()) {
  ModelTime timed;
  checkInjected(what);
  try {
    return f();
  } catch (const ModelError&) {
    throw;
  } catch (const Standard_Failure& e) {
    throw ModelError(std::string(what) + ": " + (e.GetMessageString() ? e.GetMessageString() : "kernel failure"));
  }
}

// The centre of the arc from a to b (apart) with bulge (not 0) about n.
Point3d arcCentre(const Point3d& a, const Point3d& b, double bulge, const Vector3d& n) {
  Vector3d chord = b - a;
  double c = chord.length();
  double theta = 4 * std::atan(bulge);
  double r = c / (2 * std::sin(std::fabs(theta) / 2));
  Vector3d u = chord / c;
  Vector3d left = n.normal().cross(u);  // centre side of a counter-clockwise arc
  double h = r * std::cos(theta / 2);   // signed: beyond a half turn the centre crosses the chord
  Point3d mid = a + chord * 0.5;
  return bulge > 0 ? mid + left * h : mid - left * h;
}

// The point at fraction t of the arc from a to b with bulge about n.
Point3d arcPoint(const Point3d& a, const Point3d& b, double bulge, const Vector3d& n, double t) {
  Vector3d chord = b - a;
  if (bulge == 0 || chord.length() == 0) return a + chord * t;
  Matrix3d rot = Matrix3d::rotation(4 * std::atan(bulge) * t, n, arcCentre(a, b, bulge, n));
  return rot * a;
}

TopoDS_Edge makeEdge(const Point3d& a, const Point3d& b, double bulge, const Vector3d& n) {
  if (bulge == 0) return BRepBuilderAPI_MakeEdge(P(a), P(b)).Edge();
  Point3d m = arcPoint(a, b, bulge, n, 0.5);
  Handle(Geom_TrimmedCurve) arc = GC_MakeArcOfCircle(P(a), P(m), P(b)).Value();
  return BRepBuilderAPI_MakeEdge(arc).Edge();
}

bool samePoint(const Point3d& a, const Point3d& b) { return (a - b).length() < 1e-6; }

TopoDS_Wire makeWire(const Profile& p) {
  std::size_t n = p.vertices.size();
  if (n < 2) throw ModelError("an outline needs two vertices");
  std::size_t count = p.closed ? n : n - 1;
  BRepBuilderAPI_MakeWire w;
  for (std::size_t i = 0; i < count; ++i) {
    const Point3d& a = p.vertices[i];
    const Point3d& b = p.vertices[(i + 1) % n];
    if (samePoint(a, b)) continue;
    double bulge = i < p.bulges.size() ? p.bulges[i] : 0;
    w.Add(makeEdge(a, b, bulge, p.normal));
    if (!w.IsDone()) throw ModelError("an outline does not join up");
  }
  if (!w.IsDone()) throw ModelError("an outline has no edge");
  return w.Wire();
}

TopoDS_Face makeFace(const Profile& p) {
  if (!p.closed) throw ModelError("a face needs a closed outline");
  BRepBuilderAPI_MakeFace f(makeWire(p), Standard_True);
  if (!f.IsDone()) throw ModelError("an outline is not flat");
  return f.Face();
}

// The profile with edge i split into pieces[i] equal parts.
Profile splitEdges(const Profile& p, const std::vector<int>& pieces) {
  Profile r;
  r.normal = p.normal;
  r.closed = p.closed;
  std::size_t n = p.vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point3d& a = p.vertices[i];
    const Point3d& b = p.vertices[(i + 1) % n];
    double bulge = i < p.bulges.size() ? p.bulges[i] : 0;
    int k = i < pieces.size() ? std::max(1, pieces[i]) : 1;
    double piece = bulge == 0 ? 0 : std::tan(std::atan(bulge) / k);
    for (int j = 0; j < k; ++j) {
      r.vertices.push_back(j == 0 ? a : arcPoint(a, b, bulge, p.normal, double(j) / k));
      r.bulges.push_back(piece);
    }
  }
  return r;
}

// The profile without repeated vertices (a closing vertex equal to the first
// one included), so that its edges are counted as the modeller makes them.
Profile cleaned(const Profile& p) {
  Profile r;
  r.normal = p.normal;
  r.closed = p.closed;
  for (std::size_t i = 0; i < p.vertices.size(); ++i) {
    if (!r.vertices.empty() && samePoint(r.vertices.back(), p.vertices[i])) {
      r.bulges.back() = i < p.bulges.size() ? p.bulges[i] : 0;
      continue;
    }
    r.vertices.push_back(p.vertices[i]);
    r.bulges.push_back(i < p.bulges.size() ? p.bulges[i] : 0);
  }
  if (r.closed && r.vertices.size() > 1 && samePoint(r.vertices.front(), r.vertices.back())) {
    r.vertices.pop_back();
    r.bulges.pop_back();
  }
  return r;
}

gp_Trsf similarity(const Matrix3d& m, bool& ok) {
  gp_Trsf t;
  ok = false;
  Vector3d cx(m.m[0][0], m.m[1][0], m.m[2][0]), cy(m.m[0][1], m.m[1][1], m.m[2][1]),
      cz(m.m[0][2], m.m[1][2], m.m[2][2]);
  double s = cx.length();
  if (s < 1e-12) return t;
  const double tol = 1e-9 * s * s;
  if (std::fabs(cy.length() - s) > 1e-9 * s || std::fabs(cz.length() - s) > 1e-9 * s) return t;
  if (std::fabs(cx.dot(cy)) > tol || std::fabs(cx.dot(cz)) > tol || std::fabs(cy.dot(cz)) > tol) return t;
  try {
    t.SetValues(m.m[0][0], m.m[0][1], m.m[0][2], m.m[0][3], m.m[1][0], m.m[1][1], m.m[1][2], m.m[1][3], m.m[2][0],
                m.m[2][1], m.m[2][2], m.m[2][3]);
    ok = true;
  } catch (const Standard_Failure&) {
  }
  return t;
}

TopoDS_Shape transformed(const TopoDS_Shape& s, const Matrix3d& m) {
  bool ok = false;
  gp_Trsf t = similarity(m, ok);
  // A move, turn or uniform scale: the shape is placed anew, its geometry
  // shared (bodies never change in place).
  if (ok) return BRepBuilderAPI_Transform(s, t, Standard_False).Shape();
  gp_GTrsf g;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) g.SetValue(r + 1, c + 1, m.m[std::size_t(r)][std::size_t(c)]);
    g.SetValue(r + 1, 4, m.m[std::size_t(r)][3]);
  }
  BRepBuilderAPI_GTransform gt(s, g, Standard_True);
  if (!gt.IsDone()) throw ModelError("the matrix cannot be applied");
  return gt.Shape();
}

template <class Op>
TopoDS_Shape boolean(const TopoDS_Shape& a, const TopoDS_Shape& b, const char* what) {
  auto t0 = std::chrono::steady_clock::now();
  TopoDS_Shape r = guarded(what, [&] {
    Op op(a, b);
    if (!op.IsDone() || op.HasErrors()) throw ModelError(std::string(what) + " failed");
    return op.Shape();
  });
  Stats().count++;
  Stats().seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

bool hasSolid(const TopoDS_Shape& s) {
  if (s.IsNull()) return false;
  TopExp_Explorer ex(s, TopAbs_SOLID);
  return ex.More();
}

}  // namespace

int Profile::edgeCount() const {
  Profile c = cleaned(*this);
  int n = int(c.vertices.size());
  if (n < 2) return 0;
  return closed ? n : n - 1;
}

Body::Body() = default;
Body::~Body() = default;
Body::Body(const Body&) = default;
Body& Body::operator=(const Body&) = default;
Body::Body(Body&&) noexcept = default;
Body& Body::operator=(Body&&) noexcept = default;
Body::Body(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

static Body fromShape(const TopoDS_Shape& s);

Body Body::cone(const Point3d& base, const Vector3d& axis, double r1, double r2) {
  return fromShape(guarded("cone", [&] {
    double h = axis.length();
    if (h <= 0 || r1 < 0 || r2 < 0 || (r1 <= 0 && r2 <= 0)) throw ModelError("cone: bad size");
    gp_Ax2 ax(P(base), D(axis));
    if (std::fabs(r1 - r2) < 1e-9) return BRepPrimAPI_MakeCylinder(ax, r1, h).Shape();
    return BRepPrimAPI_MakeCone(ax, r1, r2, h).Shape();
  }));
}

Body Body::sphere(const Point3d& centre, double radius) {
  return fromShape(guarded("sphere", [&] {
    if (radius <= 0) throw ModelError("sphere: bad radius");
    return BRepPrimAPI_MakeSphere(P(centre), radius).Shape();
  }));
}

Body Body::torus(const Point3d& centre, const Vector3d& axis, const Vector3d& start, double bend, double r,
                 double angle) {
  return fromShape(guarded("torus", [&] {
    if (!(r > 0) || bend < r || !(angle > 0)) throw ModelError("torus: bad size");
    Vector3d x = start - axis.normal() * start.dot(axis.normal());
    return BRepPrimAPI_MakeTorus(gp_Ax2(P(centre), D(axis), D(x)), bend, r, std::min(angle, 2 * M_PI)).Shape();
  }));
}

Body Body::extrusion(const Profile& profile, const Vector3d& v) {
  return fromShape(guarded("extrusion", [&] {
    if (v.isZeroLength()) throw ModelError("extrusion: zero length");
    BRepPrimAPI_MakePrism prism(makeFace(cleaned(profile)), V(v));
    if (!prism.IsDone()) throw ModelError("extrusion failed");
    return prism.Shape();
  }));
}

Body Body::face(const Profile& profile) {
  return fromShape(guarded("face", [&] { return TopoDS_Shape(makeFace(cleaned(profile))); }));
}

Body Body::sweep(const Profile& profile, const std::vector<Point3d>& path, double endScale,
                 const std::vector<double>& pathBulges, const Vector3d& pathNormal) {
  return fromShape(guarded("sweep", [&] {
    std::vector<Point3d> pts;
    std::vector<double> bulges;
    for (std::size_t i = 0; i < path.size(); ++i) {
      double b = i < pathBulges.size() ? pathBulges[i] : 0;
      if (!pts.empty() && samePoint(pts.back(), path[i])) {
        bulges.back() = b;
        continue;
      }
      pts.push_back(path[i]);
      bulges.push_back(b);
    }
    if (pts.size() < 2) throw ModelError("sweep: the path has no length");
    Profile moved = cleaned(profile);
    for (Point3d& v : moved.vertices) v = v + pts.front().asVector();
    if (std::fabs(endScale - 1) < 1e-12) {
      Profile spine;
      spine.vertices = pts;
      spine.bulges = bulges;
      spine.normal = pathNormal;
      spine.closed = false;
      BRepOffsetAPI_MakePipeShell pipe(makeWire(spine));
      pipe.SetMode(Standard_False);
      pipe.SetTransitionMode(BRepBuilderAPI_RightCorner);
      pipe.Add(makeWire(moved));
      pipe.Build();
      if (!pipe.IsDone() || !pipe.MakeSolid()) throw ModelError("sweep failed");
      return pipe.Shape();
    }
    // A changing section: sections at every path point, turned with the
    // path and scaled about it, lofted one to the next.
    BRepOffsetAPI_ThruSections loft(Standard_True, Standard_False);
    double total = 0;
    for (std::size_t i = 1; i < pts.size(); ++i) total += (pts[i] - pts[i - 1]).length();
    Vector3d first = (pts[1] - pts[0]).normal();
    double run = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
      if (i > 0) run += (pts[i] - pts[i - 1]).length();
      Vector3d in = i > 0 ? (pts[i] - pts[i - 1]).normal() : first;
      Vector3d out = i + 1 < pts.size() ? (pts[i + 1] - pts[i]).normal() : in;
      Vector3d tangent = (in + out).isZeroLength() ? in : (in + out).normal();
      Matrix3d turn;
      Vector3d axis = first.cross(tangent);
      if (axis.length() > 1e-12) turn = Matrix3d::rotation(std::atan2(axis.length(), first.dot(tangent)), axis);
      double k = 1 + (endScale - 1) * run / total;
      Matrix3d place = Matrix3d::translation(pts[i].asVector()) * Matrix3d::scaling(k) * turn *
                       Matrix3d::translation(-pts[0].asVector());
      Profile sec = moved;
      for (Point3d& v : sec.vertices) v = place * v;
      sec.normal = turn * moved.normal;
      loft.AddWire(makeWire(sec));
    }
    loft.Build();
    if (!loft.IsDone()) throw ModelError("sweep failed");
    return loft.Shape();
  }));
}

Body Body::loft(const Profile& start, const Profile& end, const MorphingMap& map) {
  return fromShape(guarded("loft", [&] {
    Profile a = cleaned(start), b = cleaned(end);
    if (!map.isNull()) {
      std::vector<int> pa(a.vertices.size(), 0), pb(b.vertices.size(), 0);
      // Each edge is split into as many pieces as the edges it is paired with.
      std::vector<std::vector<int>> toB(a.vertices.size()), toA(b.vertices.size());
      for (auto [i, j] : map.pairs)
        if (i >= 0 && j >= 0 && i < int(pa.size()) && j < int(pb.size())) {
          toB[std::size_t(i)].push_back(j);
          toA[std::size_t(j)].push_back(i);
        }
      for (std::size_t i = 0; i < pa.size(); ++i) pa[i] = std::max<int>(1, int(toB[i].size()));
      for (std::size_t j = 0; j < pb.size(); ++j) pb[j] = std::max<int>(1, int(toA[j].size()));
      // An edge paired with several on the other side is split; the others keep one piece.
      for (std::size_t i = 0; i < pa.size(); ++i)
        if (toB[i].size() > 1)
          for (int j : toB[i]) pb[std::size_t(j)] = 1;
      a = splitEdges(a, pa);
      b = splitEdges(b, pb);
    }
    BRepOffsetAPI_ThruSections loft(Standard_True, Standard_True);
    loft.AddWire(makeWire(a));
    loft.AddWire(makeWire(b));
    loft.Build();
    if (!loft.IsDone()) throw ModelError("loft failed");
    return loft.Shape();
  }));
}

Body Body::revolve(const Profile& profile, const Point3d& axisPoint, const Vector3d& axisDir, double angle) {
  return fromShape(guarded("revolve", [&] {
    BRepPrimAPI_MakeRevol rev(makeFace(cleaned(profile)), gp_Ax1(P(axisPoint), D(axisDir)), angle);
    if (!rev.IsDone()) throw ModelError("revolve failed");
    return rev.Shape();
  }));
}

Body Body::sweepArc(const Profile& profile, const Point3d& a, const Point3d& b, double bulge) {
  return fromShape(guarded("arc sweep", [&] {
    const Vector3d up(0, 0, 1);
    const Point3d a0(a.x, a.y, 0), b0(b.x, b.y, 0);
    const double c = (b0 - a0).length();
    if (bulge == 0 || !(c > 0)) throw ModelError("arc sweep: not an arc");
    const double angle = 4 * std::atan(std::fabs(bulge));
    const Point3d centre = arcCentre(a0, b0, bulge, up);
    // The plan direction at the start, and the height's rise along it.
    Vector3d along = up.cross(a0 - centre).normal();
    if (bulge < 0) along = -along;
    const Vector3d slope = (b0 - a0) * ((b.z - a.z) / (c * c));
    Vector3d start = along + up * slope.dot(along);
    Profile placed = cleaned(profile);
    Matrix3d place = geom::planeToWorld(a, start.normal());
    for (Point3d& v : placed.vertices) v = place * v;
    placed.normal = (place * profile.normal).normal();
    if (slope.isZeroLength()) {
      // A round section about the path: a ring, whose box the kernel finds at once.
      const Profile local = cleaned(profile);
      if (local.vertices.size() == 2 && local.bulges.size() == 2 && std::fabs(std::fabs(local.bulges[0]) - 1) < 1e-12 &&
          local.bulges[0] == local.bulges[1] && (local.vertices[0].asVector() + local.vertices[1].asVector()).length() < 1e-9 &&
          std::fabs(local.vertices[0].z) < 1e-12) {
        const double r = local.vertices[0].asVector().length();
        const double bend = (a0 - centre).length();
        if (r > 0 && bend >= r)
          return BRepPrimAPI_MakeTorus(gp_Ax2(gp_Pnt(centre.x, centre.y, a.z), D(bulge > 0 ? up : -up), D(a0 - centre)),
                                       bend, r, angle)
              .Shape();
      }
      BRepPrimAPI_MakeRevol rev(makeFace(placed), gp_Ax1(gp_Pnt(centre.x, centre.y, a.z), D(bulge > 0 ? up : -up)),
                                angle);
      if (!rev.IsDone()) throw ModelError("arc sweep failed");
      return rev.Shape();
    }
    // The level arc lifted onto the sloping plane through a along the chord:
    // an affine map, under which the kernel keeps the curve exact.
    TopoDS_Edge level = makeEdge(a0, b0, bulge, up);
    gp_GTrsf lift;
    lift.SetValue(3, 1, slope.x);
    lift.SetValue(3, 2, slope.y);
    lift.SetValue(3, 4, a.z - slope.x * a.x - slope.y * a.y);
    BRepBuilderAPI_GTransform lifted(level, lift, Standard_True);
    if (!lifted.IsDone()) throw ModelError("arc sweep: the path cannot be lifted");
    BRepOffsetAPI_MakePipeShell pipe(BRepBuilderAPI_MakeWire(TopoDS::Edge(lifted.Shape())).Wire());
    pipe.SetMode(Standard_False);
    pipe.Add(makeWire(placed));
    pipe.Build();
    if (!pipe.IsDone() || !pipe.MakeSolid()) throw ModelError("arc sweep failed");
    return pipe.Shape();
  }));
}

Body Body::compound(const std::vector<Body>& parts) {
  return fromShape(guarded("compound", [&] {
    BRep_Builder b;
    TopoDS_Compound all;
    b.MakeCompound(all);
    int n = 0;
    for (const Body& part : parts)
      if (!part.isNull()) {
        b.Add(all, part.impl_->shape);
        ++n;
      }
    if (n == 0) throw ModelError("compound: no part");
    return TopoDS_Shape(all);
  }));
}

static Body fromShape(const TopoDS_Shape& s) {
  auto impl = std::make_shared<Body::Impl>();
  impl->shape = s;
  return Body(std::move(impl));
}

Body& Body::operator+=(const Body& other) {
  if (other.isNull()) return *this;
  if (isNull()) return *this = other;
  *this = fromShape(boolean<BRepAlgoAPI_Fuse>(impl_->shape, other.impl_->shape, "union"));
  return *this;
}

Body& Body::operator*=(const Body& other) {
  if (isNull()) return *this;
  if (other.isNull()) return *this = Body();
  *this = fromShape(boolean<BRepAlgoAPI_Common>(impl_->shape, other.impl_->shape, "intersection"));
  return *this;
}

Body& Body::operator-=(const Body& other) {
  if (isNull() || other.isNull()) return *this;
  *this = fromShape(boolean<BRepAlgoAPI_Cut>(impl_->shape, other.impl_->shape, "subtraction"));
  return *this;
}

void Body::cut(const Point3d& point, const Vector3d& normal) {
  if (isNull()) return;
  TopoDS_Shape half = guarded("plane cut", [&] {
    TopoDS_Face plane = BRepBuilderAPI_MakeFace(gp_Pln(P(point), D(normal))).Face();
    return BRepPrimAPI_MakeHalfSpace(plane, P(point + normal.normal())).Solid();
  });
  *this = fromShape(boolean<BRepAlgoAPI_Cut>(impl_->shape, half, "plane cut"));
}

void Body::transformBy(const Matrix3d& m) {
  if (isNull()) return;
  *this = fromShape(guarded("transform", [&] { return transformed(impl_->shape, m); }));
}


bool Body::isNull() const { return !impl_ || impl_->shape.IsNull() || edgeCount() == 0; }

int Body::edgeCount() const {
  if (!impl_ || impl_->shape.IsNull()) return 0;
  TopTools_IndexedMapOfShape edges;
  TopExp::MapShapes(impl_->shape, TopAbs_EDGE, edges);
  return edges.Extent();
}

int Body::faceCount() const {
  if (!impl_ || impl_->shape.IsNull()) return 0;
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(impl_->shape, TopAbs_FACE, faces);
  return faces.Extent();
}

double Body::volume() const {
  ModelTime timed;
  if (!impl_ || !hasSolid(impl_->shape)) return 0;
  GProp_GProps props;
  BRepGProp::VolumeProperties(impl_->shape, props);
  return std::fabs(props.Mass());
}

double Body::area() const {
  if (!impl_ || impl_->shape.IsNull()) return 0;
  GProp_GProps props;
  BRepGProp::SurfaceProperties(impl_->shape, props);
  return props.Mass();
}

bool Body::extents(Point3d& lo, Point3d& hi) const {
  ModelTime timed;
  if (isNull()) return false;
  Bnd_Box box;
  BRepBndLib::AddOptimal(impl_->shape, box, Standard_False, Standard_False);
  if (box.IsVoid()) return false;
  double x0, y0, z0, x1, y1, z1;
  box.Get(x0, y0, z0, x1, y1, z1);
  lo = {x0, y0, z0};
  hi = {x1, y1, z1};
  return true;
}

bool Body::box(Point3d& lo, Point3d& hi) const {
  if (!impl_ || impl_->shape.IsNull()) return false;
  const Impl& d = *impl_;
  std::call_once(d.boxOnce, [&] {
    ModelTime timed;
    if (isNull()) return;
    Bnd_Box b;
    try {
      BRepBndLib::Add(d.shape, b, Standard_False);
    } catch (const Standard_Failure&) {
      return;
    }
    if (b.IsVoid()) return;
    b.Get(d.lo[0], d.lo[1], d.lo[2], d.hi[0], d.hi[1], d.hi[2]);
    d.boxed = true;
  });
  if (!d.boxed) return false;
  lo = {d.lo[0], d.lo[1], d.lo[2]};
  hi = {d.hi[0], d.hi[1], d.hi[2]};
  return true;
}

Mesh Body::mesh(double deflection) const {
  ModelTime timed;
  Mesh out;
  if (isNull()) return out;
  TopoDS_Shape s = impl_->shape;
  try {
    BRepMesh_IncrementalMesh(s, deflection, Standard_False, 0.35, Standard_True);
  } catch (const Standard_Failure&) {
    return out;
  }
  for (TopExp_Explorer ex(s, TopAbs_FACE); ex.More(); ex.Next()) {
    const TopoDS_Face& f = TopoDS::Face(ex.Current());
    TopLoc_Location loc;
    Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(f, loc);
    if (tri.IsNull()) continue;
    int base = int(out.vertices.size());
    gp_Trsf t = loc.Transformation();
    Handle(TColgp_HArray1OfPnt) nodes = tri->MapNodeArray();
    Handle(Poly_HArray1OfTriangle) triangles = tri->MapTriangleArray();
    if (nodes.IsNull() || triangles.IsNull()) continue;
    for (int i = nodes->Lower(); i <= nodes->Upper(); ++i) {
      gp_Pnt p = nodes->Value(i).Transformed(t);
      out.vertices.push_back({p.X(), p.Y(), p.Z()});
    }
    bool reversed = f.Orientation() == TopAbs_REVERSED;
    for (int i = triangles->Lower(); i <= triangles->Upper(); ++i) {
      int a, b, c;
      triangles->Value(i).Get(a, b, c);
      if (reversed) std::swap(b, c);
      out.triangles.push_back({base + a - 1, base + b - 1, base + c - 1});
    }
  }
  return out;
}

std::string Body::save() const {
  if (isNull()) return {};
  std::ostringstream os;
  BRepTools::Write(impl_->shape, os, Standard_False, Standard_False, TopTools_FormatVersion_VERSION_1);
  return os.str();
}

Body Body::load(const std::string& text) {
  if (text.empty()) return Body();
  return fromShape(guarded("load", [&] {
    std::istringstream is(text);
    TopoDS_Shape s;
    BRep_Builder b;
    BRepTools::Read(s, is, b);
    if (s.IsNull()) throw ModelError("load: damaged body text");
    return s;
  }));
}

void FailNextOperations(int n) { g_failures = n; }

BooleanStats& Stats() {
  static BooleanStats s;
  return s;
}

}  // namespace solid
