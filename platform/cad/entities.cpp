// Entity properties, setters, transforms, extents and explode.
#include <algorithm>
#include <cmath>

#include "platform/cad/geomutil.h"
#include "platform/cad/internal.h"
#include "platform/geom/region.h"
#include "platform/os/os.h"

#define KIV_WRITE                                              \
  if (Status s_ = assertWriteEnabled(); s_ != Status::Ok) \
  return s_

namespace cad {

using namespace gu;

void Extents3d::add(const Point3d& p) {
  minPoint = {std::min(minPoint.x, p.x), std::min(minPoint.y, p.y), std::min(minPoint.z, p.z)};
  maxPoint = {std::max(maxPoint.x, p.x), std::max(maxPoint.y, p.y), std::max(maxPoint.z, p.z)};
}
void Extents3d::add(const Extents3d& e) {
  if (!e.isValid()) return;
  add(e.minPoint);
  add(e.maxPoint);
}

const char* kindName(Kind k) {
  switch (k) {
    case Kind::Line: return "Line";
    case Kind::Polyline: return "Polyline";
    case Kind::Polyline2d: return "Polyline2d";
    case Kind::Polyline3d: return "Polyline3d";
    case Kind::Circle: return "Circle";
    case Kind::Arc: return "Arc";
    case Kind::Ellipse: return "Ellipse";
    case Kind::Spline: return "Spline";
    case Kind::Text: return "Text";
    case Kind::AttributeDefinition: return "AttributeDefinition";
    case Kind::Attribute: return "Attribute";
    case Kind::MText: return "MText";
    case Kind::BlockReference: return "BlockReference";
    case Kind::Hatch: return "Hatch";
    case Kind::Solid2d: return "Solid2d";
    case Kind::Region: return "Region";
    case Kind::PolygonMesh: return "PolygonMesh";
    case Kind::PolyfaceMesh: return "PolyfaceMesh";
    case Kind::Solid3d: return "Solid3d";
    case Kind::Body3d: return "Body3d";
    case Kind::RasterImage: return "RasterImage";
    case Kind::Point: return "Point";
    case Kind::UnknownEntity: return "UnknownEntity";
    case Kind::Dictionary: return "Dictionary";
    case Kind::Xrecord: return "Xrecord";
    case Kind::RasterImageDef: return "RasterImageDef";
    case Kind::UnknownObject: return "UnknownObject";
    case Kind::LayerTable: return "LayerTable";
    case Kind::LinetypeTable: return "LinetypeTable";
    case Kind::TextStyleTable: return "TextStyleTable";
    case Kind::RegAppTable: return "RegAppTable";
    case Kind::BlockTable: return "BlockTable";
    case Kind::LayerRecord: return "LayerRecord";
    case Kind::LinetypeRecord: return "LinetypeRecord";
    case Kind::TextStyleRecord: return "TextStyleRecord";
    case Kind::RegAppRecord: return "RegAppRecord";
    case Kind::BlockRecord: return "BlockRecord";
  }
  return "?";
}

const char* dxfTypeName(Kind k) {
  switch (k) {
    case Kind::Line: return "LINE";
    case Kind::Polyline: return "LWPOLYLINE";
    case Kind::Polyline2d: case Kind::Polyline3d: case Kind::PolygonMesh: case Kind::PolyfaceMesh:
      return "POLYLINE";
    case Kind::Solid3d: return "POLYLINE";
    case Kind::Body3d: return "POLYLINE";
    case Kind::Circle: return "CIRCLE";
    case Kind::Arc: return "ARC";
    case Kind::Ellipse: return "ELLIPSE";
    case Kind::Spline: return "SPLINE";
    case Kind::Text: return "TEXT";
    case Kind::AttributeDefinition: return "ATTDEF";
    case Kind::Attribute: return "ATTRIB";
    case Kind::MText: return "MTEXT";
    case Kind::BlockReference: return "INSERT";
    case Kind::Hatch: return "HATCH";
    case Kind::Solid2d: return "SOLID";
    case Kind::Region: return "LWPOLYLINE";
    case Kind::RasterImage: return "IMAGE";
    case Kind::Point: return "POINT";
    case Kind::Dictionary: return "DICTIONARY";
    case Kind::Xrecord: return "XRECORD";
    case Kind::RasterImageDef: return "IMAGEDEF";
    case Kind::LayerRecord: return "LAYER";
    case Kind::LinetypeRecord: return "LTYPE";
    case Kind::TextStyleRecord: return "STYLE";
    case Kind::RegAppRecord: return "APPID";
    case Kind::BlockRecord: return "BLOCK_RECORD";
    default: return "";
  }
}

// ---------------------------------------------------------------- helpers

double gu::determinant(const Matrix3d& m) {
  const auto& a = m.m;
  return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
         a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}
bool gu::isUniformScale(const Matrix3d& m, double* scale) {
  Vector3d x = m * Vector3d::xAxis(), y = m * Vector3d::yAxis(), z = m * Vector3d::zAxis();
  double lx = x.length(), ly = y.length(), lz = z.length();
  if (scale) *scale = lx;
  double tol = 1e-9 * std::max(1.0, lx);
  return std::fabs(lx - ly) < tol && std::fabs(lx - lz) < tol && std::fabs(x.dot(y)) < tol * lx &&
         std::fabs(x.dot(z)) < tol * lx && std::fabs(y.dot(z)) < tol * lx && lx > 0;
}
Vector3d gu::transformNormal(const Matrix3d& m, const Vector3d& n) {
  Matrix3d p = geom::planeToWorld(n);
  Vector3d ax = p * Vector3d::xAxis(), ay = p * Vector3d::yAxis();
  Vector3d r = (m * ax).cross(m * ay).normal();
  return r.isZeroLength(1e-14) ? n : r;
}
// The first or the last of n points as at(i) gives them: the start or end
// point of a vertex list (an open one's end is its last vertex, a closed
// one's its first). DegenerateGeometry when there are none.
template <class At>
static Status listEnd(unsigned n, bool last, At at, Point3d& p) {
  if (n == 0) return Status::DegenerateGeometry;
  p = at(last ? n - 1 : 0);
  return Status::Ok;
}
static Status listEnd(const std::vector<Point3d>& pts, bool last, Point3d& p) {
  return listEnd(unsigned(pts.size()), last, [&](unsigned i) { return pts[i]; }, p);
}

// Only a uniform scale keeps arcs round: a planar shape with arcs (bulges)
// refuses any other transform.
template <class V>
static bool anyBulge(const std::vector<V>& verts) {
  return std::any_of(verts.begin(), verts.end(), [](const V& v) { return v.bulge != 0; });
}
template <class L>
static bool anyLoopArc(const std::vector<L>& loops) {
  for (const auto& l : loops)
    for (double b : l.bulges)
      if (b != 0) return true;
  return false;
}

// A point of the plane of normal `from` (x, y at elevation z) carried through
// m, in the coordinates of the plane of normal `to`.
static Point3d mapInPlane(const Matrix3d& m, const Vector3d& from, const Vector3d& to, double x, double y,
                          double z) {
  return worldToOcs(to, m * ocsToWorld(from, Point3d(x, y, z)));
}
static void setXY(Point2d& p, const Point3d& o) { p = {o.x, o.y}; }
static void setXY(Point3d& p, const Point3d& o) { p = {o.x, o.y, 0}; }

// Carries a planar polyline's vertices (position member pos, in the plane of
// normal at elevation) through m so that it stays planar: normal becomes the
// carried normal and elevation the new plane's (the first vertex's, or the
// carried origin's when there is none). Widths scale by k unless k is 0.
template <class V, class P>
static void transformPlanar(std::vector<V>& verts, P V::*pos, const Matrix3d& m, double k, Vector3d& normal,
                            double& elevation) {
  Vector3d nn = transformNormal(m, normal);
  double z = verts.empty() ? mapInPlane(m, normal, nn, 0, 0, elevation).z : 0;
  for (std::size_t i = 0; i < verts.size(); ++i) {
    V& v = verts[i];
    Point3d o = mapInPlane(m, normal, nn, (v.*pos).x, (v.*pos).y, elevation);
    setXY(v.*pos, o);
    if (i == 0) z = o.z;
    if (k != 0) { v.startWidth *= k; v.endWidth *= k; }
  }
  elevation = z;
  normal = nn;
}

// Angle of a world direction in the plane of normal n.
static double ocsAngle(const Vector3d& n, const Vector3d& worldDir) {
  Vector3d v = worldToOcs(n, worldDir);
  return normAngle(std::atan2(v.y, v.x));
}

// ---------------------------------------------------------------- entity

std::wstring Entity::layer() const {
  if (!layerId_.isNull()) {
    Slot* s = slotOf(layerId_);
    if (s && !s->vanished) return static_cast<SymbolTableRecord*>(s->obj.get())->name();
  }
  return pendingLayer_;
}

Status Entity::setLayer(std::wstring_view name, bool) {
  if (name.empty()) return Status::InvalidInput;
  if (Database* db = database()) {
    ObjectId l = db->layerId(name);
    if (l.isNull()) return Status::KeyNotFound;
    KIV_WRITE;
    layerId_ = l;
    return Status::Ok;
  }
  pendingLayer_ = std::wstring(name);
  layerId_ = {};
  return Status::Ok;
}

Status Entity::setLayer(ObjectId id, bool) {
  Slot* s = slotOf(id);
  if (!s || s->vanished || s->obj->kind() != Kind::LayerRecord) return Status::InvalidInput;
  if (Database* db = database(); db && id.database() != db) return Status::WrongDatabase;
  KIV_WRITE;
  layerId_ = id;
  pendingLayer_.clear();
  return Status::Ok;
}

Status Entity::setColor(const Color& c, bool) { return writeField(color_, c); }
Rgb Entity::effectiveRgb() const {
  if (color_.isByLayer()) {
    Slot* s = slotOf(layerId_);
    if (s && !s->vanished) return static_cast<LayerRecord*>(s->obj.get())->color().rgb();
    return {255, 255, 255};
  }
  return color_.rgb();
}
Status Entity::setLinetype(std::wstring_view name, bool) {
  if (name.empty()) return Status::InvalidInput;
  if (Database* db = database(); db && !namesEqual(name, L"ByLayer") && !namesEqual(name, L"ByBlock") &&
                                 db->linetypeId(name).isNull())
    return Status::KeyNotFound;
  KIV_WRITE;
  linetype_ = std::wstring(name);
  return Status::Ok;
}
Status Entity::setLinetypeScale(double s, bool) { return writeFieldIf(s > 0, Status::InvalidInput, ltScale_, s); }
Status Entity::setLineWeight(int w) { return writeField(lineWeight_, w); }
Status Entity::setVisibility(bool v, bool) { return writeField(visible_, v); }

void Entity::copyPropertiesFrom(const Entity& o) {
  if (!o.layerId_.isNull() && (database() == nullptr || o.database() == database())) {
    layerId_ = o.layerId_;
    if (!isDatabaseResident()) pendingLayer_ = o.layer();
  } else {
    pendingLayer_ = o.layer();
  }
  color_ = o.color_;
  linetype_ = o.linetype_;
  ltScale_ = o.ltScale_;
  lineWeight_ = o.lineWeight_;
  visible_ = o.visible_;
}

Status Entity::transformBy(const Matrix3d&) { return Status::NotApplicable; }

// ---------------------------------------------------------------- simple curves

Status Line::setStartPoint(const Point3d& p) { return writeField(start_, p); }
Status Line::setEndPoint(const Point3d& p) { return writeField(end_, p); }
Status Line::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Line::setThickness(double t) { return writeField(thickness_, t); }
Status Line::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  start_ = m * start_;
  end_ = m * end_;
  normal_ = transformNormal(m, normal_);
  return Status::Ok;
}

Status Circle::setCenter(const Point3d& c) { return writeField(center_, c); }
Status Circle::setRadius(double r) { return writeFieldIf(r > 0, Status::DegenerateGeometry, radius_, r); }
Status Circle::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Circle::setThickness(double t) { return writeField(thickness_, t); }
Status Circle::getStartPoint(Point3d& p) const {
  p = center_ + ocsToWorld(normal_, Vector3d(radius_, 0, 0));
  return Status::Ok;
}
Status Circle::getEndPoint(Point3d& p) const { return getStartPoint(p); }
Status Circle::transformBy(const Matrix3d& m) {
  double k;
  if (!isUniformScale(m, &k)) return Status::NotApplicable;
  KIV_WRITE;
  center_ = m * center_;
  normal_ = transformNormal(m, normal_);
  radius_ *= k;
  return Status::Ok;
}

Status Arc::setCenter(const Point3d& c) { return writeField(center_, c); }
Status Arc::setRadius(double r) { return writeFieldIf(r > 0, Status::DegenerateGeometry, radius_, r); }
Status Arc::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Arc::setStartAngle(double a) { return writeField(start_, a); }
Status Arc::setEndAngle(double a) { return writeField(end_, a); }
Status Arc::setThickness(double t) { return writeField(thickness_, t); }
double Arc::totalAngle() const {
  double s = normAngle(end_ - start_);
  return s == 0 && end_ != start_ ? kTwoPi : s;
}
Status Arc::getStartPoint(Point3d& p) const {
  p = center_ + ocsToWorld(normal_, Vector3d(radius_ * std::cos(start_), radius_ * std::sin(start_), 0));
  return Status::Ok;
}
Status Arc::getEndPoint(Point3d& p) const {
  p = center_ + ocsToWorld(normal_, Vector3d(radius_ * std::cos(end_), radius_ * std::sin(end_), 0));
  return Status::Ok;
}
Status Arc::transformBy(const Matrix3d& m) {
  double k;
  if (!isUniformScale(m, &k)) return Status::NotApplicable;
  Point3d s = startPoint(), e = endPoint();
  KIV_WRITE;
  double sweep = totalAngle();
  center_ = m * center_;
  normal_ = transformNormal(m, normal_);
  radius_ *= k;
  start_ = ocsAngle(normal_, (m * s) - center_);
  end_ = normAngle(start_ + sweep);
  (void)e;
  return Status::Ok;
}

Vector3d Ellipse::minorAxis() const { return normal_.cross(major_) * ratio_; }
Status Ellipse::set(const Point3d& c, const Vector3d& n, const Vector3d& majorAxis, double ratio, double p0, double p1) {
  if (majorAxis.isZeroLength() || !(ratio > 0 && ratio <= 1) || n.isZeroLength()) return Status::DegenerateGeometry;
  KIV_WRITE;
  center_ = c;
  normal_ = n.normal();
  major_ = majorAxis;
  ratio_ = ratio;
  p0_ = p0;
  p1_ = p1;
  return Status::Ok;
}
Point3d Ellipse::pointAtParam(double t) const { return center_ + major_ * std::cos(t) + minorAxis() * std::sin(t); }
bool Ellipse::isClosed() const { return std::fabs(normAngle(p1_ - p0_)) < 1e-12 || std::fabs(p1_ - p0_ - kTwoPi) < 1e-12; }
Status Ellipse::getStartPoint(Point3d& p) const { p = pointAtParam(p0_); return Status::Ok; }
Status Ellipse::getEndPoint(Point3d& p) const { p = pointAtParam(p1_); return Status::Ok; }
Status Ellipse::transformBy(const Matrix3d& m) {
  double k;
  if (!isUniformScale(m, &k)) return Status::NotApplicable;
  KIV_WRITE;
  center_ = m * center_;
  Vector3d minor = m * minorAxis();
  major_ = m * major_;
  normal_ = major_.cross(minor).normal();
  return Status::Ok;
}

Status Spline::getStartPoint(Point3d& p) const {
  return listEnd(controlPoints.empty() ? fitPoints : controlPoints, false, p);
}
Status Spline::getEndPoint(Point3d& p) const {
  return listEnd(controlPoints.empty() ? fitPoints : controlPoints, !isClosed(), p);
}
Status Spline::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  for (auto& p : controlPoints) p = m * p;
  for (auto& p : fitPoints) p = m * p;
  normal = transformNormal(m, normal);
  return Status::Ok;
}

// ---------------------------------------------------------------- polylines

Status Polyline::addVertexAt(unsigned i, const Point2d& pt, double bulge, double sw, double ew) {
  if (i > verts_.size()) return Status::OutOfRange;
  KIV_WRITE;
  Vertex v{pt, bulge, sw < 0 ? constWidth_ : sw, ew < 0 ? constWidth_ : ew};
  verts_.insert(verts_.begin() + i, v);
  return Status::Ok;
}
Status Polyline::removeVertexAt(unsigned i) { return eraseItem(verts_, i); }
Status Polyline::reset(bool reuse, unsigned n) {
  KIV_WRITE;
  if (!reuse) verts_.clear();
  else if (n < verts_.size()) verts_.resize(n);
  return Status::Ok;
}
Status Polyline::getPointAt(unsigned i, Point2d& pt) const {
  if (i >= verts_.size()) return Status::OutOfRange;
  pt = verts_[i].pt;
  return Status::Ok;
}
Status Polyline::getPointAt(unsigned i, Point3d& pt) const {
  if (i >= verts_.size()) return Status::OutOfRange;
  pt = ocsToWorld(normal_, Point3d(verts_[i].pt.x, verts_[i].pt.y, elevation_));
  return Status::Ok;
}
Point3d Polyline::pointAt(unsigned i) const {
  Point3d p;
  getPointAt(i, p);
  return p;
}
Status Polyline::setPointAt(unsigned i, const Point2d& pt) {
  if (i >= verts_.size()) return Status::OutOfRange;
  return writeField(verts_[i].pt, pt);
}
Status Polyline::getBulgeAt(unsigned i, double& b) const {
  if (i >= verts_.size()) return Status::OutOfRange;
  b = verts_[i].bulge;
  return Status::Ok;
}
double Polyline::bulgeAt(unsigned i) const { return i < verts_.size() ? verts_[i].bulge : 0; }
Status Polyline::setBulgeAt(unsigned i, double b) {
  if (i >= verts_.size()) return Status::OutOfRange;
  return writeField(verts_[i].bulge, b);
}
Status Polyline::getWidthsAt(unsigned i, double& s, double& e) const {
  if (i >= verts_.size()) return Status::OutOfRange;
  s = verts_[i].startWidth;
  e = verts_[i].endWidth;
  return Status::Ok;
}
Status Polyline::setWidthsAt(unsigned i, double s, double e) {
  if (i >= verts_.size()) return Status::OutOfRange;
  if (s < 0 || e < 0) return Status::InvalidInput;
  KIV_WRITE;
  verts_[i].startWidth = s;
  verts_[i].endWidth = e;
  return Status::Ok;
}
Status Polyline::getConstantWidth(double& w) const {
  w = constWidth_;
  for (const auto& v : verts_)
    if (v.startWidth != verts_.front().startWidth || v.endWidth != verts_.front().startWidth) return Status::NotApplicable;
  if (!verts_.empty()) w = verts_.front().startWidth;
  return Status::Ok;
}
Status Polyline::setConstantWidth(double w) {
  if (w < 0) return Status::InvalidInput;
  KIV_WRITE;
  constWidth_ = w;
  for (auto& v : verts_) v.startWidth = v.endWidth = w;
  return Status::Ok;
}
Status Polyline::setClosed(bool c) { return writeField(closed_, c); }
Status Polyline::setElevation(double z) { return writeField(elevation_, z); }
Status Polyline::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Polyline::setThickness(double t) { return writeField(thickness_, t); }
unsigned Polyline::numSegments() const {
  if (verts_.size() < 2) return 0;
  return unsigned(verts_.size()) - (closed_ ? 0 : 1);
}
SegType Polyline::segType(unsigned i) const {
  if (verts_.empty()) return SegType::Empty;
  if (verts_.size() == 1) return SegType::Point;
  if (i >= numSegments()) return SegType::Empty;
  const Point2d& a = verts_[i].pt;
  const Point2d& b = verts_[(i + 1) % verts_.size()].pt;
  if (a.isEqualTo(b)) return SegType::Coincident;
  return verts_[i].bulge == 0 ? SegType::Line : SegType::Arc;
}
Status Polyline::getLineSegAt(unsigned i, LineSegment& seg) const {
  if (i >= numSegments()) return Status::OutOfRange;
  seg.start = pointAt(i);
  seg.end = pointAt((i + 1) % numVerts());
  return Status::Ok;
}
Status Polyline::getArcSegAt(unsigned i, ArcSegment& seg) const {
  if (i >= numSegments()) return Status::OutOfRange;
  if (segType(i) != SegType::Arc) return Status::WrongObjectType;
  Seg s = bulgeSeg(normal_, elevation_, verts_[i].pt, verts_[(i + 1) % verts_.size()].pt, verts_[i].bulge);
  seg.center = s.c;
  seg.radius = s.r;
  seg.start = s.p0;
  seg.end = s.p1;
  seg.clockwise = s.sweep < 0;
  seg.normal = normal_;
  seg.startAngle = normAngle(s.sweep > 0 ? s.a0 : s.a0 + s.sweep);
  seg.endAngle = normAngle(s.sweep > 0 ? s.a0 + s.sweep : s.a0);
  return Status::Ok;
}
Status Polyline::getStartPoint(Point3d& p) const {
  return listEnd(numVerts(), false, [&](unsigned i) { return pointAt(i); }, p);
}
Status Polyline::getEndPoint(Point3d& p) const {
  return listEnd(numVerts(), !closed_, [&](unsigned i) { return pointAt(i); }, p);
}
Status Polyline::transformBy(const Matrix3d& m) {
  double k;
  bool uniform = isUniformScale(m, &k);
  if (!uniform && anyBulge(verts_)) return Status::NotApplicable;
  KIV_WRITE;
  transformPlanar(verts_, &Vertex::pt, m, uniform ? k : 0, normal_, elevation_);
  if (uniform) constWidth_ *= k;
  return Status::Ok;
}

Polyline2d::Polyline2d(Type t, const std::vector<Point3d>& pts, double elevation, bool closed, double dsw,
                       double dew, const std::vector<double>& bulges)
    : type_(t), closed_(closed), elevation_(elevation), defStartW_(dsw), defEndW_(dew) {
  for (std::size_t i = 0; i < pts.size(); ++i)
    verts_.push_back({pts[i], i < bulges.size() ? bulges[i] : 0.0, dsw, dew});
}
Status Polyline2d::setPolyType(Type t) { return writeField(type_, t); }
Status Polyline2d::appendVertex(const Vertex& v) { KIV_WRITE; verts_.push_back(v); return Status::Ok; }
Status Polyline2d::setVertexAt(unsigned i, const Vertex& v) { return writeItem(verts_, i, v); }
Status Polyline2d::removeVertexAt(unsigned i) { return eraseItem(verts_, i); }
Point3d Polyline2d::vertexWorld(unsigned i) const {
  if (i >= verts_.size()) return {};
  return ocsToWorld(normal_, Point3d(verts_[i].position.x, verts_[i].position.y, elevation_));
}
Status Polyline2d::setClosed(bool c) { return writeField(closed_, c); }
Status Polyline2d::setElevation(double z) { return writeField(elevation_, z); }
Status Polyline2d::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Polyline2d::setDefaultWidths(double s, double e) { KIV_WRITE; defStartW_ = s; defEndW_ = e; return Status::Ok; }
Status Polyline2d::setThickness(double t) { return writeField(thickness_, t); }
Status Polyline2d::getStartPoint(Point3d& p) const {
  return listEnd(numVerts(), false, [&](unsigned i) { return vertexWorld(i); }, p);
}
Status Polyline2d::getEndPoint(Point3d& p) const {
  return listEnd(numVerts(), !closed_, [&](unsigned i) { return vertexWorld(i); }, p);
}
Status Polyline2d::transformBy(const Matrix3d& m) {
  double k;
  bool uniform = isUniformScale(m, &k);
  if (!uniform && anyBulge(verts_)) return Status::NotApplicable;
  KIV_WRITE;
  transformPlanar(verts_, &Vertex::position, m, uniform ? k : 0, normal_, elevation_);
  return Status::Ok;
}

Status Polyline3d::setPolyType(Type t) { return writeField(type_, t); }
Status Polyline3d::appendVertex(const Point3d& p) { KIV_WRITE; pts_.push_back(p); return Status::Ok; }
Status Polyline3d::setVertexAt(unsigned i, const Point3d& p) { return writeItem(pts_, i, p); }
Status Polyline3d::removeVertexAt(unsigned i) { return eraseItem(pts_, i); }
Status Polyline3d::setClosed(bool c) { return writeField(closed_, c); }
Status Polyline3d::getStartPoint(Point3d& p) const { return listEnd(pts_, false, p); }
Status Polyline3d::getEndPoint(Point3d& p) const { return listEnd(pts_, !closed_, p); }
Status Polyline3d::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  for (auto& p : pts_) p = m * p;
  return Status::Ok;
}

// ---------------------------------------------------------------- text

Text::Text(const Point3d& pos, std::wstring_view text, ObjectId style, double height, double rotation)
    : position_(pos), align_(pos), text_(text), height_(height > 0 ? height : 2.5), rotation_(rotation), style_(style) {}

Status Text::setPosition(const Point3d& p) { return writeField(position_, p); }
Status Text::setAlignmentPoint(const Point3d& p) { return writeField(align_, p); }
Status Text::setTextString(std::wstring_view s) { return writeField(text_, std::wstring(s)); }
Status Text::setHeight(double h) { return writeFieldIf(h > 0, Status::InvalidInput, height_, h); }
Status Text::setRotation(double a) { return writeField(rotation_, a); }
Status Text::setWidthFactor(double w) { return writeFieldIf(w > 0, Status::InvalidInput, widthFactor_, w); }
Status Text::setOblique(double a) { return writeField(oblique_, a); }
Status Text::setHorizontalMode(int m) { return writeFieldIf(m >= 0 && m <= 5, Status::InvalidInput, horz_, m); }
Status Text::setVerticalMode(int m) { return writeFieldIf(m >= 0 && m <= 3, Status::InvalidInput, vert_, m); }
Status Text::setTextStyle(ObjectId s) {
  if (!s.isNull()) {
    Slot* sl = slotOf(s);
    if (!sl || sl->obj->kind() != Kind::TextStyleRecord) return Status::InvalidInput;
  }
  KIV_WRITE;
  style_ = s;
  return Status::Ok;
}
Status Text::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Text::setThickness(double t) { return writeField(thickness_, t); }
Status Text::setGenerationFlags(int f) { return writeField(genFlags_, f); }

static double textWidth(const std::wstring& s, double height, double widthFactor) {
  double w = 0;
  for (wchar_t c : s) {
    auto u = std::uint32_t(c);
    bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
                (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                (u >= 0xFFE0 && u <= 0xFFE6) || u >= 0x20000;
    w += wide ? 1.0 : 0.7;
  }
  return w * height * widthFactor;
}

std::array<Point3d, 4> Text::boundingBox() const {
  double w = textWidth(text_, height_, widthFactor_), h = height_;
  double x0 = 0, y0 = 0;  // lower-left of the box relative to the anchor, in text axes
  Point3d anchor = position_;
  if (!isDefaultAlignment()) {
    anchor = align_;
    switch (horz_) {
      case kCenter: case kMid: x0 = -w / 2; break;
      case kRight: x0 = -w; break;
      default: break;
    }
    if (horz_ == kAligned || horz_ == kFit) { anchor = position_; x0 = 0; }
    switch (vert_) {
      case kBottom: y0 = 0; break;
      case kVertMid: y0 = -h / 2; break;
      case kTop: y0 = -h; break;
      default: y0 = 0; break;
    }
    if (horz_ == kMid && vert_ == kBase) y0 = -h / 2;
  }
  Vector3d ax = ocsToWorld(normal_, Vector3d(std::cos(rotation_), std::sin(rotation_), 0));
  Vector3d ay = normal_.cross(ax).normal();
  auto at = [&](double x, double y) { return anchor + ax * x + ay * y; };
  return {at(x0, y0), at(x0 + w, y0), at(x0 + w, y0 + h), at(x0, y0 + h)};
}

Status Text::getGeomExtents(Extents3d& ext) const {
  ext = {};
  for (const auto& p : boundingBox()) ext.add(p);
  return Status::Ok;
}
Status Text::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  Vector3d dir = ocsToWorld(normal_, Vector3d(std::cos(rotation_), std::sin(rotation_), 0));
  Vector3d up = normal_.cross(dir);
  Vector3d nd = m * dir, nu = m * up;
  position_ = m * position_;
  align_ = m * align_;
  normal_ = transformNormal(m, normal_);
  rotation_ = ocsAngle(normal_, nd);
  double sy = nu.length();
  if (sy > 0) height_ *= sy;
  double sx = nd.length();
  if (sy > 0 && std::fabs(sx / sy - 1) > 1e-9) widthFactor_ *= sx / sy;
  return Status::Ok;
}
Status Text::explode(std::vector<std::unique_ptr<Entity>>&) const { return Status::NotApplicable; }

Status AttributeDefinition::setTag(std::wstring_view t) { return writeField(tag_, std::wstring(t)); }
Status AttributeDefinition::setPrompt(std::wstring_view p) { return writeField(prompt_, std::wstring(p)); }
Status AttributeDefinition::setInvisible(bool v) { return writeField(flags_, v ? flags_ | 1 : flags_ & ~1); }
Status AttributeDefinition::setConstant(bool v) { return writeField(flags_, v ? flags_ | 2 : flags_ & ~2); }
Status AttributeDefinition::setAttributeFlags(int f) { return writeField(flags_, f); }

Status Attribute::setTag(std::wstring_view t) { return writeField(tag_, std::wstring(t)); }
Status Attribute::setInvisible(bool v) { return writeField(flags_, v ? flags_ | 1 : flags_ & ~1); }
Status Attribute::setAttributeFlags(int f) { return writeField(flags_, f); }
Status Attribute::setAttributeFromBlock(const AttributeDefinition& def, const Matrix3d& bt) {
  KIV_WRITE;
  Attribute tmp;
  static_cast<Text&>(tmp) = static_cast<const Text&>(def);
  DbObject::Internal::setId(tmp, {});
  tmp.transformBy(bt);
  ObjectId id = objectId(), owner = ownerId(), ext = extensionDictionary();
  ValueChain xd = DbObject::Internal::xdata(*this);
  static_cast<Text&>(*this) = static_cast<const Text&>(tmp);
  DbObject::Internal::setId(*this, id);
  DbObject::Internal::setOwner(*this, owner);
  DbObject::Internal::setExtDict(*this, ext);
  DbObject::Internal::xdata(*this) = std::move(xd);
  tag_ = def.tag();
  flags_ = def.attributeFlags();
  return Status::Ok;
}

Status MText::setLocation(const Point3d& p) { return writeField(location_, p); }
Status MText::setContents(std::wstring_view s) { return writeField(contents_, std::wstring(s)); }
std::wstring MText::text() const {
  std::wstring r;
  for (std::size_t i = 0; i < contents_.size(); ++i) {
    wchar_t c = contents_[i];
    if (c == L'\\' && i + 1 < contents_.size()) {
      wchar_t k = contents_[i + 1];
      if (k == L'P') { r += L'\n'; ++i; continue; }
      if (k == L'\\' || k == L'{' || k == L'}') { r += k; ++i; continue; }
      if (k == L'~') { r += L' '; ++i; continue; }
      // Codes with an argument run to ';'.
      if (std::wstring_view(L"ACFfHQTWpc").find(k) != std::wstring_view::npos) {
        auto semi = contents_.find(L';', i);
        if (semi != std::wstring::npos) { i = semi; continue; }
      }
      if (std::wstring_view(L"LlOoKkN").find(k) != std::wstring_view::npos) { ++i; continue; }
      if (k == L'S') {
        auto semi = contents_.find(L';', i);
        if (semi != std::wstring::npos) {
          for (std::size_t j = i + 2; j < semi; ++j)
            if (contents_[j] != L'^' && contents_[j] != L'#') r += contents_[j];
            else r += L'/';
          i = semi;
          continue;
        }
      }
      continue;
    }
    if (c == L'{' || c == L'}') continue;
    r += c;
  }
  return r;
}
Status MText::setTextHeight(double h) { return writeFieldIf(h > 0, Status::InvalidInput, height_, h); }
Status MText::setWidth(double w) { return writeField(width_, w); }
double MText::rotation() const { return ocsAngle(normal_, direction_); }
Status MText::setRotation(double a) {
  KIV_WRITE;
  direction_ = ocsToWorld(normal_, Vector3d(std::cos(a), std::sin(a), 0));
  return Status::Ok;
}
Status MText::setDirection(const Vector3d& d) { return writeUnitVector(direction_, d); }
Status MText::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status MText::setAttachment(int a) { return writeFieldIf(a >= 1 && a <= 9, Status::InvalidInput, attachment_, a); }
Status MText::setTextStyle(ObjectId s) { return writeField(style_, s); }
Status MText::setLineSpacingFactor(double f) { return writeField(spacing_, f); }
Status MText::getGeomExtents(Extents3d& ext) const {
  std::wstring t = text();
  int lines = 1;
  double w = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= t.size(); ++i) {
    if (i == t.size() || t[i] == L'\n') {
      w = std::max(w, textWidth(t.substr(start, i - start), height_, 1.0));
      if (i < t.size()) ++lines;
      start = i + 1;
    }
  }
  if (width_ > 0) w = std::max(w, width_);
  double h = height_ * (lines + (lines - 1) * 0.667 * spacing_);
  int col = (attachment_ - 1) % 3, row = (attachment_ - 1) / 3;
  double x0 = col == 0 ? 0 : col == 1 ? -w / 2 : -w;
  double y1 = row == 0 ? 0 : row == 1 ? h / 2 : h;  // top edge relative to the location
  Vector3d ax = direction_.normal(), ay = normal_.cross(ax).normal();
  ext = {};
  for (double x : {x0, x0 + w})
    for (double y : {y1, y1 - h}) ext.add(location_ + ax * x + ay * y);
  return Status::Ok;
}
Status MText::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  Vector3d nd = m * direction_;
  Vector3d up = m * normal_.cross(direction_);
  location_ = m * location_;
  normal_ = transformNormal(m, normal_);
  double k = up.length();
  height_ *= k;
  width_ *= nd.length();
  direction_ = nd.normal();
  return Status::Ok;
}
Status MText::explode(std::vector<std::unique_ptr<Entity>>& out) const {
  std::wstring t = text();
  std::size_t start = 0;
  int line = 0;
  Vector3d ax = direction_.normal(), ay = normal_.cross(ax).normal();
  // Each line sits where the extents put it: the attachment point names the
  // corner, edge middle or centre of the text's box that the location is.
  int lines = 1 + static_cast<int>(std::count(t.begin(), t.end(), L'\n'));
  double h = height_ * (lines + (lines - 1) * 0.667 * spacing_);
  int col = (attachment_ - 1) % 3, row = (attachment_ - 1) / 3;
  double top = row == 0 ? 0 : row == 1 ? h / 2 : h;
  for (std::size_t i = 0; i <= t.size(); ++i) {
    if (i == t.size() || t[i] == L'\n') {
      std::wstring piece = t.substr(start, i - start);
      double w = textWidth(piece, height_, 1.0);
      double x = col == 0 ? 0 : col == 1 ? -w / 2 : -w;
      double y = top - height_ * (1 + line * (1 + 0.667 * spacing_));
      auto tx = std::make_unique<Text>(location_ + ax * x + ay * y, piece, style_, height_, rotation());
      tx->setNormal(normal_);
      tx->copyPropertiesFrom(*this);
      out.push_back(std::move(tx));
      ++line;
      start = i + 1;
    }
  }
  return Status::Ok;
}

// ---------------------------------------------------------------- block references

Status BlockReference::setBlockTableRecord(ObjectId b) {
  Slot* s = slotOf(b);
  if (!s || s->vanished || s->obj->kind() != Kind::BlockRecord) return Status::InvalidInput;
  KIV_WRITE;
  block_ = b;
  return Status::Ok;
}
std::wstring BlockReference::blockName() const {
  Slot* s = slotOf(block_);
  return s && !s->vanished ? static_cast<BlockRecord*>(s->obj.get())->name() : std::wstring();
}
Status BlockReference::setPosition(const Point3d& p) { return writeField(position_, p); }
Status BlockReference::setRotation(double a) { return writeField(rotation_, a); }
Status BlockReference::setScaleFactors(const Scale3d& s) {
  return writeFieldIf(s.sx != 0 && s.sy != 0 && s.sz != 0, Status::InvalidInput, scale_, s);
}
Status BlockReference::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Matrix3d BlockReference::blockTransform() const {
  Point3d origin;
  if (Slot* s = slotOf(block_); s && !s->vanished) origin = static_cast<BlockRecord*>(s->obj.get())->origin();
  return Matrix3d::translation(position_.asVector()) * geom::planeToWorld(normal_) *
         Matrix3d::rotation(rotation_, Vector3d::zAxis()) * Matrix3d::scaling(scale_.sx, scale_.sy, scale_.sz) *
         Matrix3d::translation(-origin.asVector());
}
Status BlockReference::setBlockTransform(const Matrix3d& mIn) {
  Point3d origin;
  if (Slot* s = slotOf(block_); s && !s->vanished) origin = static_cast<BlockRecord*>(s->obj.get())->origin();
  Matrix3d m = mIn * Matrix3d::translation(origin.asVector());
  Vector3d cx = m * Vector3d::xAxis(), cy = m * Vector3d::yAxis(), cz = m * Vector3d::zAxis();
  double sx = cx.length(), sy = cy.length(), sz = cz.length();
  if (sx < 1e-14 || sy < 1e-14 || sz < 1e-14) return Status::DegenerateGeometry;
  Vector3d n = cx.cross(cy).normal();
  if (std::fabs(cx.dot(cy)) > 1e-9 * sx * sy) return Status::NotApplicable;  // shear
  KIV_WRITE;
  normal_ = n;
  scale_ = {sx, sy, cz.dot(n) < 0 ? -sz : sz};
  rotation_ = ocsAngle(n, cx);
  position_ = m * Point3d(0, 0, 0);
  return Status::Ok;
}

Status BlockReference::appendAttribute(Attribute* attr, ObjectId* id) {
  if (!attr) return Status::InvalidInput;
  if (attr->isDatabaseResident()) return Status::AlreadyInDb;
  if (objectId().isNull()) return Status::NotInDatabase;
  KIV_WRITE;
  auto* d = implOf(objectId());
  auto& pending = DbObject::Internal::pendingLayer(*attr);
  ObjectId& lid = DbObject::Internal::layerId(*attr);
  if (lid.isNull()) {
    lid = pending.empty() ? layerId() : d->self->layerId(pending);
    if (lid.isNull()) lid = d->header.clayer;
  }
  pending.clear();
  if (attr->textStyle().isNull()) attr->setTextStyle(d->header.textstyle);
  ObjectId nid = d->add(std::unique_ptr<DbObject>(attr), objectId(), Handle(), true);
  attributes_.push_back(nid);
  if (id) *id = nid;
  return Status::Ok;
}
Status BlockReference::appendAttribute(std::unique_ptr<Attribute> attr, ObjectId* id) {
  return appendOwned(attr, [&](Attribute* a) { return appendAttribute(a, id); });
}

Status BlockReference::transformBy(const Matrix3d& m) {
  Matrix3d nt = m * blockTransform();
  // Check the result first so that a failed transform changes nothing.
  Vector3d cx = nt * Vector3d::xAxis(), cy = nt * Vector3d::yAxis();
  if (std::fabs(cx.dot(cy)) > 1e-9 * cx.length() * cy.length()) return Status::NotApplicable;
  KIV_WRITE;
  if (Status s = setBlockTransform(nt); s != Status::Ok) return s;
  for (ObjectId a : attributes_) {
    Slot* s = slotOf(a);
    if (!s || s->vanished) continue;
    auto* d = implOf(a);
    d->recordChange(slotIndexOf(a));
    bool w = s->writer;
    s->writer = true;
    static_cast<Attribute*>(s->obj.get())->transformBy(m);
    s->writer = w;
  }
  return Status::Ok;
}

Status BlockReference::getGeomExtents(Extents3d& ext) const {
  ext = {};
  Slot* bs = slotOf(block_);
  if (!bs || bs->vanished) {
    ext.add(position_);
    return Status::Ok;
  }
  auto* block = static_cast<BlockRecord*>(bs->obj.get());
  Matrix3d bt = blockTransform();
  bool any = false;
  for (ObjectId id : block->entityIds(true)) {
    Slot* s = slotOf(id);
    auto* e = static_cast<Entity*>(s->obj.get());
    if (e->kind() == Kind::AttributeDefinition) continue;
    auto c = e->copy();
    auto* ce = static_cast<Entity*>(c.get());
    DbObject::Internal::setId(*ce, {});
    Extents3d ee;
    if (ce->transformBy(bt) == Status::Ok) {
      if (ce->getGeomExtents(ee) != Status::Ok) continue;
    } else {
      // A transform the entity cannot take (a non-uniform scale of an arc):
      // the corners of its own box, transformed.
      Extents3d own;
      if (e->getGeomExtents(own) != Status::Ok) continue;
      for (int i = 0; i < 8; ++i)
        ee.add(bt * Point3d(i & 1 ? own.maxPoint.x : own.minPoint.x, i & 2 ? own.maxPoint.y : own.minPoint.y,
                            i & 4 ? own.maxPoint.z : own.minPoint.z));
    }
    ext.add(ee);
    any = true;
  }
  for (ObjectId a : attributes_) {
    Slot* s = slotOf(a);
    if (!s || s->vanished || s->obj->isErased()) continue;
    Extents3d ee;
    if (static_cast<Entity*>(s->obj.get())->getGeomExtents(ee) == Status::Ok) { ext.add(ee); any = true; }
  }
  if (!any) ext.add(position_);
  return Status::Ok;
}

Status BlockReference::explode(std::vector<std::unique_ptr<Entity>>& out) const {
  Slot* bs = slotOf(block_);
  if (!bs || bs->vanished) return Status::InvalidInput;
  auto* block = static_cast<BlockRecord*>(bs->obj.get());
  Matrix3d bt = blockTransform();
  Status result = Status::Ok;
  for (ObjectId id : block->entityIds(true)) {
    auto* e = static_cast<Entity*>(slotOf(id)->obj.get());
    if (e->kind() == Kind::AttributeDefinition) continue;
    auto c = std::unique_ptr<Entity>(static_cast<Entity*>(e->clone().release()));
    // Entities on layer 0 and by-block properties take the reference's.
    if (namesEqual(e->layer(), L"0")) DbObject::Internal::layerId(*c) = layerId();
    if (e->color().isByBlock()) DbObject::Internal::setColorRaw(*c, color());
    if (c->transformBy(bt) != Status::Ok) {
      result = Status::NotApplicable;
      continue;
    }
    out.push_back(std::move(c));
  }
  for (ObjectId a : attributes_) {
    Slot* s = slotOf(a);
    if (!s || s->vanished || s->obj->isErased()) continue;
    auto* attr = static_cast<Attribute*>(s->obj.get());
    if (attr->isInvisible()) continue;
    auto t = std::make_unique<Text>();
    static_cast<Text&>(*t) = static_cast<const Text&>(*attr);
    DbObject::Internal::setId(*t, {});
    DbObject::Internal::setOwner(*t, {});
    DbObject::Internal::setExtDict(*t, {});
    DbObject::Internal::xdata(*t).clear();
    out.push_back(std::move(t));
  }
  return result;
}

Status BlockReference::erase(bool yes) {
  if (Status s = Entity::erase(yes); s != Status::Ok) return s;
  for (ObjectId a : attributes_) {
    Slot* s = slotOf(a);
    if (!s || s->vanished) continue;
    implOf(a)->recordChange(slotIndexOf(a));
    DbObject::Internal::setErased(*s->obj, yes);
  }
  return Status::Ok;
}

// ---------------------------------------------------------------- hatch

Status Hatch::setPattern(int type, std::wstring_view name) {
  if (type < 0 || type > 2 || name.empty()) return Status::InvalidInput;
  KIV_WRITE;
  patternType_ = type;
  patternName_ = std::wstring(name);
  solid_ = namesEqual(name, L"SOLID");
  return Status::Ok;
}
Status Hatch::setPatternAngle(double a) { return writeField(angle_, a); }
Status Hatch::setPatternScale(double s) { return writeFieldIf(s > 0, Status::InvalidInput, scale_, s); }
Status Hatch::setAssociative(bool a) { return writeField(associative_, a); }
Status Hatch::setElevation(double z) { return writeField(elevation_, z); }
Status Hatch::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Hatch::appendLoop(int type, const std::vector<Point2d>& vertices, const std::vector<double>& bulges) {
  std::vector<Point2d> v = vertices;
  std::vector<double> b = bulges;
  b.resize(v.size(), 0.0);
  if (v.size() > 1 && v.front().isEqualTo(v.back(), 1e-9)) {
    v.pop_back();
    b.pop_back();
  }
  if (v.size() < 2 || (v.size() == 2 && b[0] == 0 && b[1] == 0)) return Status::InvalidInput;
  KIV_WRITE;
  Loop l;
  l.type = type | kPolyline;
  l.vertices = std::move(v);
  l.bulges = std::move(b);
  loops_.push_back(std::move(l));
  return Status::Ok;
}
Status Hatch::appendLoop(int type, const ObjectIdArray& ids) {
  if (ids.empty()) return Status::InvalidInput;
  Loop l;
  l.type = type;
  l.sources = ids;
  // One closed boundary entity makes the loop (several pieces are not joined).
  if (ids.size() != 1) return Status::InvalidInput;
  Slot* s = slotOf(ids[0]);
  if (!s || s->vanished || s->obj->isErased()) return Status::InvalidInput;
  const DbObject* o = s->obj.get();
  auto toHatch = [&](const Point3d& w) {
    Point3d p = worldToOcs(normal_, w);
    return Point2d(p.x, p.y);
  };
  if (auto* pl = dynamic_cast<const Polyline*>(o)) {
    if (pl->numVerts() < 2) return Status::InvalidInput;
    bool closed = pl->isClosed() || pl->pointAt(0).isEqualTo(pl->pointAt(pl->numVerts() - 1), 1e-9);
    if (!closed) return Status::InvalidInput;
    double flip = pl->normal().dot(normal_) < 0 ? -1 : 1;
    for (unsigned i = 0; i < pl->numVerts(); ++i) {
      l.vertices.push_back(toHatch(pl->pointAt(i)));
      l.bulges.push_back(pl->bulgeAt(i) * flip);
    }
    if (!pl->isClosed()) { l.vertices.pop_back(); l.bulges.pop_back(); }
  } else if (auto* c = dynamic_cast<const Circle*>(o)) {
    Point3d cc = worldToOcs(normal_, c->center());
    l.vertices = {{cc.x - c->radius(), cc.y}, {cc.x + c->radius(), cc.y}};
    l.bulges = {1, 1};
  } else if (auto* p2 = dynamic_cast<const Polyline2d*>(o)) {
    if (!p2->isClosed() || p2->numVerts() < 2) return Status::InvalidInput;
    for (unsigned i = 0; i < p2->numVerts(); ++i) {
      l.vertices.push_back(toHatch(p2->vertexWorld(i)));
      l.bulges.push_back(p2->vertices()[i].bulge);
    }
  } else {
    return Status::InvalidInput;
  }
  KIV_WRITE;
  l.type |= kPolyline;
  loops_.push_back(std::move(l));
  return Status::Ok;
}
Status Hatch::removeLoopAt(int i) { return i < 0 ? Status::OutOfRange : eraseItem(loops_, unsigned(i)); }
static double loopArea(const std::vector<Point2d>& v, const std::vector<double>& b) {
  double a = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const Point2d& p = v[i];
    const Point2d& q = v[(i + 1) % v.size()];
    a += (p.x * q.y - q.x * p.y) / 2;
    double bu = i < b.size() ? b[i] : 0;
    if (bu != 0) {
      double d = p.distanceTo(q);
      double sweep = 4 * std::atan(bu);
      double r = d * (1 + bu * bu) / (4 * std::fabs(bu));
      double seg = r * r / 2 * (std::fabs(sweep) - std::sin(std::fabs(sweep)));
      a += bu > 0 ? seg : -seg;
    }
  }
  return a;
}
double Hatch::area() const {
  double a = 0;
  for (const auto& l : loops_) a += std::fabs(loopArea(l.vertices, l.bulges)) * ((l.type & kExternal) || &l == &loops_.front() ? 1 : -1);
  return std::fabs(a);
}
Status Hatch::evaluateHatch() {
  if (loops_.empty()) return Status::DegenerateGeometry;
  for (const auto& l : loops_)
    if (l.vertices.size() < 2 || std::fabs(loopArea(l.vertices, l.bulges)) < 1e-12) return Status::DegenerateGeometry;
  return Status::Ok;
}
Status Hatch::getGeomExtents(Extents3d& ext) const {
  if (loops_.empty()) return Status::NotApplicable;
  ext = {};
  for (const auto& l : loops_)
    for (std::size_t i = 0; i < l.vertices.size(); ++i)
      segExtents(bulgeSeg(normal_, elevation_, l.vertices[i], l.vertices[(i + 1) % l.vertices.size()],
                          i < l.bulges.size() ? l.bulges[i] : 0),
                 ext);
  return Status::Ok;
}
Status Hatch::transformBy(const Matrix3d& m) {
  double k;
  bool uniform = isUniformScale(m, &k);
  if (!uniform && anyLoopArc(loops_)) return Status::NotApplicable;
  Vector3d nn = transformNormal(m, normal_);
  KIV_WRITE;
  double z = mapInPlane(m, normal_, nn, 0, 0, elevation_).z;
  for (auto& l : loops_)
    for (auto& v : l.vertices) {
      Point3d o = mapInPlane(m, normal_, nn, v.x, v.y, elevation_);
      v = {o.x, o.y};
      z = o.z;
    }
  elevation_ = z;
  normal_ = nn;
  if (uniform) scale_ *= k;
  return Status::Ok;
}

// ---------------------------------------------------------------- other entities

Status Solid2d::getPointAt(int i, Point3d& p) const {
  if (i < 0 || i > 3) return Status::OutOfRange;
  p = pts_[std::size_t(i)];
  return Status::Ok;
}
Status Solid2d::setPointAt(int i, const Point3d& p) {
  if (i < 0 || i > 3) return Status::OutOfRange;
  KIV_WRITE;
  pts_[std::size_t(i)] = p;
  return Status::Ok;
}
Status Solid2d::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status Solid2d::setThickness(double t) { return writeField(thickness_, t); }
Status Solid2d::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  for (auto& p : pts_) p = m * p;
  normal_ = transformNormal(m, normal_);
  return Status::Ok;
}

Status Region::setLoops(std::vector<Loop> loops) {
  for (auto& l : loops) {
    if (l.vertices.size() < 2) return Status::DegenerateGeometry;
    l.bulges.resize(l.vertices.size(), 0.0);
  }
  KIV_WRITE;
  loops_ = std::move(loops);
  return Status::Ok;
}
Status Region::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
namespace gu {
std::vector<geom::Polyline2d> planLoops(const std::vector<Region::Loop>& loops, const Vector3d& n,
                                        double* elevation) {
  std::vector<geom::Polyline2d> out;
  for (const auto& l : loops) {
    geom::Polyline2d p;
    p.closed = true;
    for (const auto& v : l.vertices) {
      Point3d o = worldToOcs(n, v);
      if (elevation && out.empty() && p.points.empty()) *elevation = o.z;
      p.points.push_back({o.x, o.y});
    }
    p.bulges = l.bulges;
    out.push_back(std::move(p));
  }
  return out;
}
std::vector<Region::Loop> worldLoops(const std::vector<geom::Polyline2d>& loops, const Vector3d& n, double elevation) {
  std::vector<Region::Loop> out;
  for (const auto& p : loops) {
    Region::Loop l;
    for (int i = 0; i < p.vertexCount(); ++i) {
      l.vertices.push_back(ocsToWorld(n, Point3d(p.points[i].x, p.points[i].y, elevation)));
      l.bulges.push_back(p.bulgeAt(i));
    }
    out.push_back(std::move(l));
  }
  return out;
}
}  // namespace gu

double Region::area() const { return geom::regionArea(planLoops(loops_, normal_)); }
double Region::perimeter() const { return geom::regionPerimeter(planLoops(loops_, normal_)); }
Status Region::booleanOper(BoolOp op, Region& other) {
  if (&other == this) return Status::InvalidInput;
  if (!isNull() && !other.isNull()) {
    // Both must lie in one plane (either normal direction).
    if (std::fabs(std::fabs(normal_.dot(other.normal_)) - 1) > 1e-9) return Status::NotApplicable;
    double z = 0;
    planLoops(loops_, normal_, &z);
    for (const auto& l : other.loops_)
      for (const auto& v : l.vertices)
        if (std::fabs(worldToOcs(normal_, v).z - z) > 1e-9 * std::max(1.0, v.asVector().length()))
          return Status::NotApplicable;
  }
  Vector3d n = isNull() ? other.normal_ : normal_;
  double z = 0;
  auto a = planLoops(loops_, n, &z);
  auto b = planLoops(other.loops_, n, isNull() ? &z : nullptr);
  geom::RegionOp gop = op == BoolOp::Unite       ? geom::RegionOp::Unite
                       : op == BoolOp::Intersect ? geom::RegionOp::Intersect
                                                 : geom::RegionOp::Subtract;
  auto result = geom::regionBoolean(a, b, gop);
  if (!result) return Status::DegenerateGeometry;
  KIV_WRITE;
  normal_ = n;
  loops_ = worldLoops(*result, n, z);
  // The other operand is used up, as the host does.
  if (other.isWriteEnabled()) other.loops_.clear();
  return Status::Ok;
}
Status Region::explode(std::vector<std::unique_ptr<Entity>>& out) const {
  double z = 0;
  std::vector<std::size_t> faces;
  auto loops = geom::arrangeFaces(planLoops(loops_, normal_, &z), &faces);
  if (faces.size() > 1) {
    for (std::size_t f = 0; f < faces.size(); ++f) {
      std::size_t end = f + 1 < faces.size() ? faces[f + 1] : loops.size();
      auto r = std::make_unique<Region>();
      r->normal_ = normal_;
      r->loops_ = worldLoops({loops.begin() + std::ptrdiff_t(faces[f]), loops.begin() + std::ptrdiff_t(end)}, normal_, z);
      r->copyPropertiesFrom(*this);
      out.push_back(std::move(r));
    }
    return Status::Ok;
  }
  for (const auto& l : loops) {
    for (int i = 0; i < l.segmentCount(); ++i) {
      Seg s = bulgeSeg(normal_, z, l.points[i], l.points[(i + 1) % l.vertexCount()], l.bulgeAt(i));
      std::unique_ptr<Entity> e;
      if (!s.arc) {
        e = std::make_unique<Line>(s.p0, s.p1);
      } else {
        double a0 = s.sweep > 0 ? s.a0 : s.a0 + s.sweep;
        e = std::make_unique<Arc>(s.c, normal_, s.r, normAngle(a0), normAngle(a0 + std::fabs(s.sweep)));
      }
      e->copyPropertiesFrom(*this);
      out.push_back(std::move(e));
    }
  }
  return Status::Ok;
}
Status Region::transformBy(const Matrix3d& m) {
  if (!isUniformScale(m) && anyLoopArc(loops_)) return Status::NotApplicable;
  KIV_WRITE;
  for (auto& l : loops_)
    for (auto& p : l.vertices) p = m * p;
  normal_ = transformNormal(m, normal_);
  return Status::Ok;
}

Status PolygonMesh::set(int m, int n, const std::vector<Point3d>& v, bool mc, bool nc) {
  if (m < 2 || n < 2 || v.size() != std::size_t(m) * std::size_t(n)) return Status::InvalidInput;
  KIV_WRITE;
  m_ = m;
  n_ = n;
  verts_ = v;
  mClosed_ = mc;
  nClosed_ = nc;
  return Status::Ok;
}
Status PolygonMesh::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  for (auto& p : verts_) p = m * p;
  return Status::Ok;
}

Status PolyfaceMesh::set(std::vector<Point3d> v, std::vector<Face> f) {
  for (const auto& face : f)
    for (int i : face)
      if (i < -int(v.size()) || i > int(v.size())) return Status::InvalidInput;
  for (const auto& face : f)
    if (face[0] == 0 || face[1] == 0 || face[2] == 0) return Status::InvalidInput;
  KIV_WRITE;
  verts_ = std::move(v);
  faces_ = std::move(f);
  return Status::Ok;
}
Status PolyfaceMesh::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  for (auto& p : verts_) p = m * p;
  return Status::Ok;
}
Status PolyfaceMesh::explode(std::vector<std::unique_ptr<Entity>>& out) const {
  for (const auto& f : faces_) {
    int n = f[3] == 0 ? 3 : 4;
    for (int i = 0; i < n; ++i) {
      int a = f[std::size_t(i)], b = f[std::size_t((i + 1) % n)];
      if (a < 0) continue;
      auto l = std::make_unique<Line>(verts_[std::size_t(std::abs(a) - 1)], verts_[std::size_t(std::abs(b) - 1)]);
      l->copyPropertiesFrom(*this);
      out.push_back(std::move(l));
    }
  }
  return Status::Ok;
}

Status Solid3d::setBody(Body b) {
  for (const auto& f : b.faces) {
    if (f.size() < 3) return Status::InvalidInput;
    for (int i : f)
      if (i < 0 || i >= int(b.vertices.size())) return Status::InvalidInput;
  }
  KIV_WRITE;
  body_ = std::move(b);
  return Status::Ok;
}
double Solid3d::volume() const {
  double v = 0;
  for (const auto& f : body_.faces)
    for (std::size_t i = 1; i + 1 < f.size(); ++i) {
      const Point3d& a = body_.vertices[std::size_t(f[0])];
      const Point3d& b = body_.vertices[std::size_t(f[i])];
      const Point3d& c = body_.vertices[std::size_t(f[i + 1])];
      v += a.asVector().dot(b.asVector().cross(c.asVector())) / 6;
    }
  return std::fabs(v);
}
Status Solid3d::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  for (auto& p : body_.vertices) p = m * p;
  if (determinant(m) < 0)
    for (auto& f : body_.faces) std::reverse(f.begin(), f.end());
  return Status::Ok;
}

Status RasterImageDef::setSourceFileName(std::wstring_view p) { return writeField(source_, std::wstring(p)); }
Status RasterImageDef::load() {
  // Source names come Windows style from the module (backslashes, any case).
  if (!os::isFile(source_)) return Status::FileNotFound;
  KIV_WRITE;
  loaded_ = true;
  return Status::Ok;
}
Status RasterImageDef::unload() { return writeField(loaded_, false); }
Status RasterImageDef::setSize(const Vector2d& px) {
  return writeFieldIf(px.x > 0 && px.y > 0, Status::InvalidInput, size_, px);
}
Status RasterImageDef::setResolution(const Vector2d& r) { return writeField(pixelSize_, r); }

Status RasterImage::setImageDefId(ObjectId d) {
  if (!d.isNull()) {
    Slot* s = slotOf(d);
    if (!s || s->obj->kind() != Kind::RasterImageDef) return Status::InvalidInput;
  }
  KIV_WRITE;
  def_ = d;
  if (Slot* s = slotOf(d)) size_ = static_cast<RasterImageDef*>(s->obj.get())->size();
  return Status::Ok;
}
Status RasterImage::setOrientation(const Point3d& o, const Vector3d& u, const Vector3d& v) {
  if (u.isZeroLength(1e-14) || v.isZeroLength(1e-14)) return Status::DegenerateGeometry;
  KIV_WRITE;
  origin_ = o;
  u_ = u;
  v_ = v;
  return Status::Ok;
}
Status RasterImage::setImageSize(const Vector2d& px) {
  return writeFieldIf(px.x > 0 && px.y > 0, Status::InvalidInput, size_, px);
}
Status RasterImage::place(const Point3d& o, double width, double height) {
  if (!(width > 0) || !(height > 0)) return Status::InvalidInput;
  KIV_WRITE;
  origin_ = o;
  u_ = {width / size_.x, 0, 0};
  v_ = {0, height / size_.y, 0};
  return Status::Ok;
}
Status RasterImage::setDisplayOptions(int f) { return writeField(display_, f); }
Status RasterImage::getGeomExtents(Extents3d& ext) const {
  ext = {};
  Vector3d w = u_ * size_.x, h = v_ * size_.y;
  ext.add(origin_);
  ext.add(origin_ + w);
  ext.add(origin_ + h);
  ext.add(origin_ + w + h);
  return Status::Ok;
}
Status RasterImage::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  origin_ = m * origin_;
  u_ = m * u_;
  v_ = m * v_;
  return Status::Ok;
}

Status PointEntity::setPosition(const Point3d& p) { return writeField(pos_, p); }
Status PointEntity::setNormal(const Vector3d& n) { return writeUnitVector(normal_, n); }
Status PointEntity::setThickness(double t) { return writeField(thickness_, t); }
Status PointEntity::transformBy(const Matrix3d& m) {
  KIV_WRITE;
  pos_ = m * pos_;
  normal_ = transformNormal(m, normal_);
  return Status::Ok;
}

}  // namespace cad
