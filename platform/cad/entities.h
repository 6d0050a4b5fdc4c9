// Entities: the drawable objects of model space, paper space and blocks.
//
// Every setter of a database-resident entity needs it open for write; the
// change is recorded in the innermost open transaction of its database.
// Angles are radians. Planar entities keep their geometry in their object
// coordinate system (the plane of their normal, X axis by the arbitrary-axis
// rule: geom::planeToWorld); getters named "World" return world coordinates.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/cad/color.h"
#include "platform/cad/object.h"
#include "platform/geom/geom.h"

namespace cad {

using geom::Matrix3d;
using geom::Point2d;
using geom::Point3d;
using geom::Vector2d;
using geom::Vector3d;

struct Extents3d {
  Point3d minPoint{1e300, 1e300, 1e300};
  Point3d maxPoint{-1e300, -1e300, -1e300};
  bool isValid() const { return minPoint.x <= maxPoint.x; }
  void add(const Point3d& p);
  void add(const Extents3d& e);
};

struct Scale3d {
  double sx = 1, sy = 1, sz = 1;
  bool operator==(const Scale3d&) const = default;
};

// How intersectWith treats the two curves' ends.
enum class Intersect { OnBothOperands, ExtendThis, ExtendArg, ExtendBoth };

class Entity : public DbObject {
 public:
  // Layer: a non-resident entity keeps the name until it is appended (empty
  // means the database's current layer). setLayer of a resident entity fails
  // with KeyNotFound when no such layer exists.
  std::wstring layer() const;
  ObjectId layerId() const { return layerId_; }
  Status setLayer(std::wstring_view name, bool doSubents = true);
  Status setLayer(ObjectId layerId, bool doSubents = true);

  Color color() const { return color_; }
  int colorIndex() const { return color_.colorIndex(); }
  Status setColor(const Color& c, bool doSubents = true);
  Status setColorIndex(int index, bool doSubents = true) { return setColor(Color::fromIndex(index), doSubents); }
  // The colour shown: by-layer resolved through the layer (by-block gives white).
  Rgb effectiveRgb() const;

  // Linetype name: "ByLayer" (the default), "ByBlock", or a loaded linetype.
  const std::wstring& linetype() const { return linetype_; }
  Status setLinetype(std::wstring_view name, bool doSubents = true);
  double linetypeScale() const { return ltScale_; }
  Status setLinetypeScale(double s, bool doSubents = true);
  // Line weight in 1/100 mm; -1 by layer, -2 by block, -3 default.
  int lineWeight() const { return lineWeight_; }
  Status setLineWeight(int w);

  bool visible() const { return visible_; }
  Status setVisibility(bool visible, bool doSubents = true);

  // Highlighting is display state: it needs no write open and no undo.
  bool isHighlighted() const { return highlighted_; }
  void highlight() const { highlighted_ = true; }
  void unhighlight() const { highlighted_ = false; }

  // Geometry operations. Those a kind does not support return NotApplicable.
  virtual Status transformBy(const Matrix3d& m);
  virtual Status getGeomExtents(Extents3d& ext) const;
  // New, non-resident entities that together make this one (a polyline gives
  // lines and arcs; a block reference gives its block's entities transformed).
  virtual Status explode(std::vector<std::unique_ptr<Entity>>& out) const;
  // Intersection points with another entity, computed in plan (XY); each
  // point gets the Z of this entity at that place.
  Status intersectWith(const Entity& other, Intersect mode, std::vector<Point3d>& points) const;

  // Copies layer, colour, linetype, scale, weight and visibility from another entity.
  void copyPropertiesFrom(const Entity& other);

 protected:
  Entity() = default;
  // A normal or direction: a zero vector is refused (DegenerateGeometry), any
  // other is kept as a unit vector. One of unit length to the last bits is
  // kept as it is: dividing it by its length again could move those bits,
  // and a value read back from a saved file would drift at every save.
  Status writeUnitVector(Vector3d& field, const Vector3d& v) {
    if (v.isZeroLength()) return Status::DegenerateGeometry;
    return writeField(field, std::abs(v.length() - 1) <= 1e-15 ? v : v.normal());
  }
  // Item i of a list (vertices, loops): OutOfRange past the end.
  template <class T, class V>
  Status writeItem(std::vector<T>& items, unsigned i, V&& value) {
    if (i >= items.size()) return Status::OutOfRange;
    return writeField(items[i], std::forward<V>(value));
  }
  template <class T>
  Status eraseItem(std::vector<T>& items, unsigned i) {
    if (i >= items.size()) return Status::OutOfRange;
    if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
    items.erase(items.begin() + i);
    return Status::Ok;
  }

 private:
  friend class Database;
  friend struct DbObject::Internal;
  ObjectId layerId_;
  std::wstring pendingLayer_;
  Color color_;
  std::wstring linetype_ = L"ByLayer";
  double ltScale_ = 1.0;
  int lineWeight_ = -1;
  bool visible_ = true;
  mutable bool highlighted_ = false;
};

// The shape of one piece of a curve.
enum class SegType { Line, Arc, Coincident, Point, Empty };

struct LineSegment {
  Point3d start, end;
};
struct ArcSegment {
  Point3d center;
  Vector3d normal{0, 0, 1};
  double radius = 0;
  double startAngle = 0, endAngle = 0;  // counter-clockwise about normal, in its plane's axes
  Point3d start, end;                   // world end points, in the direction of travel
  bool clockwise = false;               // travel runs clockwise seen from +normal
};

// Curves: lines, arcs, circles, ellipses, polylines of all three kinds, splines.
class Curve : public Entity {
 public:
  virtual bool isClosed() const { return false; }
  virtual Status getStartPoint(Point3d& p) const;
  virtual Status getEndPoint(Point3d& p) const;
  Point3d startPoint() const;
  Point3d endPoint() const;
  virtual Status getLength(double& len) const;
  Status getDistAtPoint(const Point3d& p, double& dist) const;       // the point must be on the curve
  Status getPointAtDist(double dist, Point3d& p) const;              // OutOfRange past the ends
  Status getClosestPointTo(const Point3d& p, Point3d& out, bool extend = false) const;
  // Area enclosed (closing chord added for open curves).
  virtual Status getArea(double& area) const;
  // Parallel curves at distance d in the curve's plane. For a curve
  // travelling counter-clockwise (seen from +normal) a positive d goes
  // outward, that is to the right of the direction of travel; a negative d
  // goes to the left. Polylines are offset as a whole with their corners
  // extended to meet; the result keeps the vertex count or the call fails.
  virtual Status getOffsetCurves(double d, std::vector<std::unique_ptr<Entity>>& out) const;
  // The pieces between the given points (projected onto the curve, sorted
  // along it; points at the ends give no zero-length pieces).
  virtual Status getSplitCurves(const std::vector<Point3d>& points,
                                std::vector<std::unique_ptr<Entity>>& out) const;

 protected:
  Curve() = default;
};

class Line : public Curve {
  KIV_CAD_OBJECT(Line, Line)
 public:
  Line() = default;
  Line(const Point3d& s, const Point3d& e) : start_(s), end_(e) {}
  Point3d startPointValue() const { return start_; }
  const Point3d& start() const { return start_; }
  const Point3d& end() const { return end_; }
  Status setStartPoint(const Point3d& p);
  Status setEndPoint(const Point3d& p);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  Status getStartPoint(Point3d& p) const override { p = start_; return Status::Ok; }
  Status getEndPoint(Point3d& p) const override { p = end_; return Status::Ok; }
  Status transformBy(const Matrix3d& m) override;

 private:
  Point3d start_, end_;
  Vector3d normal_{0, 0, 1};
  double thickness_ = 0;
};

// The lightweight polyline: planar vertices with bulges and widths.
class Polyline : public Curve {
  KIV_CAD_OBJECT(Polyline, Polyline)
 public:
  struct Vertex {
    Point2d pt;
    double bulge = 0;
    double startWidth = 0, endWidth = 0;
    bool operator==(const Vertex&) const = default;
  };
  Polyline() = default;

  unsigned numVerts() const { return unsigned(verts_.size()); }
  const std::vector<Vertex>& vertices() const { return verts_; }
  // Inserts before index i (i == numVerts appends). A width of -1 takes the constant width.
  Status addVertexAt(unsigned i, const Point2d& pt, double bulge = 0, double startWidth = -1,
                     double endWidth = -1);
  Status removeVertexAt(unsigned i);
  Status reset(bool reuse, unsigned n);  // keeps the first n vertices when reuse, else clears
  Status getPointAt(unsigned i, Point2d& pt) const;
  Status getPointAt(unsigned i, Point3d& pt) const;  // world point at the elevation
  Point3d pointAt(unsigned i) const;                 // world; origin when out of range
  Status setPointAt(unsigned i, const Point2d& pt);
  Status getBulgeAt(unsigned i, double& bulge) const;
  double bulgeAt(unsigned i) const;
  Status setBulgeAt(unsigned i, double bulge);
  Status getWidthsAt(unsigned i, double& startWidth, double& endWidth) const;
  Status setWidthsAt(unsigned i, double startWidth, double endWidth);
  // The constant width; getConstantWidth fails (NotApplicable) when the widths differ.
  Status getConstantWidth(double& w) const;
  Status setConstantWidth(double w);

  bool isClosed() const override { return closed_; }
  Status setClosed(bool c);
  double elevation() const { return elevation_; }
  Status setElevation(double z);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  void minimizeMemory() {}
  void maximizeMemory() {}

  // Segment i runs from vertex i to vertex i+1 (the last one back to 0 when closed).
  unsigned numSegments() const;
  SegType segType(unsigned i) const;
  Status getLineSegAt(unsigned i, LineSegment& seg) const;   // world
  Status getArcSegAt(unsigned i, ArcSegment& seg) const;     // world

  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  std::vector<Vertex> verts_;
  bool closed_ = false;
  double elevation_ = 0;
  Vector3d normal_{0, 0, 1};
  double thickness_ = 0;
  double constWidth_ = 0;
};

// The older 2D polyline: vertices in its plane, with bulges and widths.
class Polyline2d : public Curve {
  KIV_CAD_OBJECT(Polyline2d, Polyline2d)
 public:
  enum class Type { Simple, FitCurve, QuadSpline, CubicSpline };
  struct Vertex {
    Point3d position;  // in the plane's coordinates; z is ignored (the elevation holds)
    double bulge = 0;
    double startWidth = 0, endWidth = 0;
    bool operator==(const Vertex&) const = default;
  };
  Polyline2d() = default;
  Polyline2d(Type t, const std::vector<Point3d>& pts, double elevation = 0, bool closed = false,
             double defaultStartWidth = 0, double defaultEndWidth = 0,
             const std::vector<double>& bulges = {});

  Type polyType() const { return type_; }
  Status setPolyType(Type t);
  const std::vector<Vertex>& vertices() const { return verts_; }
  Status appendVertex(const Vertex& v);
  Status setVertexAt(unsigned i, const Vertex& v);
  Status removeVertexAt(unsigned i);
  unsigned numVerts() const { return unsigned(verts_.size()); }
  Point3d vertexWorld(unsigned i) const;
  bool isClosed() const override { return closed_; }
  Status setClosed(bool c);
  double elevation() const { return elevation_; }
  Status setElevation(double z);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double defaultStartWidth() const { return defStartW_; }
  double defaultEndWidth() const { return defEndW_; }
  Status setDefaultWidths(double s, double e);
  double thickness() const { return thickness_; }
  Status setThickness(double t);

  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  Type type_ = Type::Simple;
  std::vector<Vertex> verts_;
  bool closed_ = false;
  double elevation_ = 0;
  Vector3d normal_{0, 0, 1};
  double defStartW_ = 0, defEndW_ = 0;
  double thickness_ = 0;
};

class Polyline3d : public Curve {
  KIV_CAD_OBJECT(Polyline3d, Polyline3d)
 public:
  enum class Type { Simple, QuadSpline, CubicSpline };
  Polyline3d() = default;
  Polyline3d(Type t, const std::vector<Point3d>& pts, bool closed = false)
      : type_(t), pts_(pts), closed_(closed) {}
  Type polyType() const { return type_; }
  Status setPolyType(Type t);
  const std::vector<Point3d>& vertices() const { return pts_; }
  unsigned numVerts() const { return unsigned(pts_.size()); }
  Status appendVertex(const Point3d& p);
  Status setVertexAt(unsigned i, const Point3d& p);
  Status removeVertexAt(unsigned i);
  bool isClosed() const override { return closed_; }
  Status setClosed(bool c);

  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  Type type_ = Type::Simple;
  std::vector<Point3d> pts_;
  bool closed_ = false;
};

class Circle : public Curve {
  KIV_CAD_OBJECT(Circle, Circle)
 public:
  Circle() = default;
  Circle(const Point3d& c, const Vector3d& n, double r) : center_(c), normal_(n.normal()), radius_(r) {}
  const Point3d& center() const { return center_; }
  Status setCenter(const Point3d& c);
  double radius() const { return radius_; }
  Status setRadius(double r);  // DegenerateGeometry when r <= 0
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  bool isClosed() const override { return true; }
  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  Point3d center_;
  Vector3d normal_{0, 0, 1};
  double radius_ = 0;
  double thickness_ = 0;
};

// An arc runs counter-clockwise about its normal from the start angle to the
// end angle; angles are measured in its plane from the arbitrary-axis X.
class Arc : public Curve {
  KIV_CAD_OBJECT(Arc, Arc)
 public:
  Arc() = default;
  Arc(const Point3d& c, double r, double a0, double a1) : center_(c), radius_(r), start_(a0), end_(a1) {}
  Arc(const Point3d& c, const Vector3d& n, double r, double a0, double a1)
      : center_(c), normal_(n.normal()), radius_(r), start_(a0), end_(a1) {}
  const Point3d& center() const { return center_; }
  Status setCenter(const Point3d& c);
  double radius() const { return radius_; }
  Status setRadius(double r);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double startAngle() const { return start_; }
  double endAngle() const { return end_; }
  Status setStartAngle(double a);
  Status setEndAngle(double a);
  double totalAngle() const;  // 0..2pi
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  Point3d center_;
  Vector3d normal_{0, 0, 1};
  double radius_ = 0;
  double start_ = 0, end_ = 0;
  double thickness_ = 0;
};

class Ellipse : public Curve {
  KIV_CAD_OBJECT(Ellipse, Ellipse)
 public:
  Ellipse() = default;
  Ellipse(const Point3d& c, const Vector3d& n, const Vector3d& majorAxis, double ratio,
          double startParam = 0, double endParam = 2 * geom::kPi)
      : center_(c), normal_(n.normal()), major_(majorAxis), ratio_(ratio), p0_(startParam), p1_(endParam) {}
  const Point3d& center() const { return center_; }
  const Vector3d& normal() const { return normal_; }
  const Vector3d& majorAxis() const { return major_; }  // from centre to the end of the major axis
  Vector3d minorAxis() const;
  double radiusRatio() const { return ratio_; }
  double startParam() const { return p0_; }
  double endParam() const { return p1_; }
  Status set(const Point3d& c, const Vector3d& n, const Vector3d& majorAxis, double ratio,
             double startParam = 0, double endParam = 2 * geom::kPi);
  Point3d pointAtParam(double t) const;
  bool isClosed() const override;
  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  Point3d center_;
  Vector3d normal_{0, 0, 1};
  Vector3d major_{1, 0, 0};
  double ratio_ = 1;
  double p0_ = 0, p1_ = 2 * geom::kPi;
};

// Splines come only from imported drawings: kept and written back, drawn as
// their control polygon (or fit points).
class Spline : public Curve {
  KIV_CAD_OBJECT(Spline, Spline)
 public:
  Spline() = default;
  int degree = 3;
  int flags = 8;  // planar
  Vector3d normal{0, 0, 1};
  std::vector<double> knots;
  std::vector<double> weights;
  std::vector<Point3d> controlPoints;
  std::vector<Point3d> fitPoints;
  bool isClosed() const override { return (flags & 1) != 0; }
  Status getStartPoint(Point3d& p) const override;
  Status getEndPoint(Point3d& p) const override;
  Status transformBy(const Matrix3d& m) override;
};

// Single-line text. Left/baseline text is placed by its position; every
// other alignment by its alignment point.
class Text : public Entity {
  KIV_CAD_OBJECT(Text, Text)
 public:
  enum HorzMode { kLeft = 0, kCenter = 1, kRight = 2, kAligned = 3, kMid = 4, kFit = 5 };
  enum VertMode { kBase = 0, kBottom = 1, kVertMid = 2, kTop = 3 };
  Text() = default;
  Text(const Point3d& pos, std::wstring_view text, ObjectId style = {}, double height = 0, double rotation = 0);

  const Point3d& position() const { return position_; }
  Status setPosition(const Point3d& p);
  const Point3d& alignmentPoint() const { return align_; }
  Status setAlignmentPoint(const Point3d& p);
  bool isDefaultAlignment() const { return horz_ == kLeft && vert_ == kBase; }
  const std::wstring& textString() const { return text_; }
  Status setTextString(std::wstring_view s);
  double height() const { return height_; }
  Status setHeight(double h);
  double rotation() const { return rotation_; }
  Status setRotation(double a);
  double widthFactor() const { return widthFactor_; }
  Status setWidthFactor(double w);
  double oblique() const { return oblique_; }
  Status setOblique(double a);
  int horizontalMode() const { return horz_; }
  Status setHorizontalMode(int m);
  int verticalMode() const { return vert_; }
  Status setVerticalMode(int m);
  // Null: the database's current text style at append.
  ObjectId textStyle() const { return style_; }
  Status setTextStyle(ObjectId style);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  bool isMirroredInX() const { return (genFlags_ & 2) != 0; }
  bool isMirroredInY() const { return (genFlags_ & 4) != 0; }
  int generationFlags() const { return genFlags_; }
  Status setGenerationFlags(int f);

  // Extents by a fixed font model: a wide (East Asian) character is one
  // height wide, any other 0.7 of the height, both times the width factor;
  // the box runs from the baseline up to the height.
  Status getGeomExtents(Extents3d& ext) const override;
  Status transformBy(const Matrix3d& m) override;
  Status explode(std::vector<std::unique_ptr<Entity>>& out) const override;
  // The four corners of the text box (baseline left, baseline right, top right, top left), world.
  std::array<Point3d, 4> boundingBox() const;

 private:
  Point3d position_, align_;
  std::wstring text_;
  double height_ = 2.5;
  double rotation_ = 0;
  double widthFactor_ = 1;
  double oblique_ = 0;
  int horz_ = kLeft, vert_ = kBase;
  int genFlags_ = 0;
  ObjectId style_;
  Vector3d normal_{0, 0, 1};
  double thickness_ = 0;
};

// An attribute definition inside a block.
class AttributeDefinition : public Text {
  KIV_CAD_OBJECT(AttributeDefinition, AttributeDefinition)
 public:
  AttributeDefinition() = default;
  const std::wstring& tag() const { return tag_; }
  Status setTag(std::wstring_view t);
  const std::wstring& prompt() const { return prompt_; }
  Status setPrompt(std::wstring_view p);
  bool isInvisible() const { return (flags_ & 1) != 0; }
  Status setInvisible(bool v);
  bool isConstant() const { return (flags_ & 2) != 0; }
  Status setConstant(bool v);
  int attributeFlags() const { return flags_; }
  Status setAttributeFlags(int f);

 private:
  std::wstring tag_, prompt_;
  int flags_ = 0;
};

// An attribute of a block reference (owned by the reference).
class Attribute : public Text {
  KIV_CAD_OBJECT(Attribute, Attribute)
 public:
  Attribute() = default;
  const std::wstring& tag() const { return tag_; }
  Status setTag(std::wstring_view t);
  bool isInvisible() const { return (flags_ & 1) != 0; }
  Status setInvisible(bool v);
  bool isConstant() const { return (flags_ & 2) != 0; }
  int attributeFlags() const { return flags_; }
  Status setAttributeFlags(int f);
  // Takes the definition's text, tag and placement transformed by the reference's transform.
  Status setAttributeFromBlock(const AttributeDefinition& def, const Matrix3d& blockTransform);

 private:
  std::wstring tag_;
  int flags_ = 0;
};

class MText : public Entity {
  KIV_CAD_OBJECT(MText, MText)
 public:
  enum Attachment { kTopLeft = 1, kTopCenter, kTopRight, kMiddleLeft, kMiddleCenter, kMiddleRight,
                    kBottomLeft, kBottomCenter, kBottomRight };
  MText() = default;
  const Point3d& location() const { return location_; }
  Status setLocation(const Point3d& p);
  const std::wstring& contents() const { return contents_; }
  Status setContents(std::wstring_view s);
  // The contents without formatting codes (\P becomes a line break).
  std::wstring text() const;
  double textHeight() const { return height_; }
  Status setTextHeight(double h);
  double width() const { return width_; }
  Status setWidth(double w);
  double rotation() const;
  Status setRotation(double a);
  const Vector3d& direction() const { return direction_; }
  Status setDirection(const Vector3d& d);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  int attachment() const { return attachment_; }
  Status setAttachment(int a);
  ObjectId textStyle() const { return style_; }
  Status setTextStyle(ObjectId s);
  double lineSpacingFactor() const { return spacing_; }
  Status setLineSpacingFactor(double f);

  Status getGeomExtents(Extents3d& ext) const override;
  Status transformBy(const Matrix3d& m) override;
  Status explode(std::vector<std::unique_ptr<Entity>>& out) const override;

 private:
  Point3d location_;
  std::wstring contents_;
  double height_ = 2.5, width_ = 0, spacing_ = 1;
  Vector3d direction_{1, 0, 0};
  Vector3d normal_{0, 0, 1};
  int attachment_ = kTopLeft;
  ObjectId style_;
};

class BlockReference : public Entity {
  KIV_CAD_OBJECT(BlockReference, BlockReference)
 public:
  BlockReference() = default;
  BlockReference(const Point3d& position, ObjectId blockId) : position_(position), block_(blockId) {}

  ObjectId blockTableRecord() const { return block_; }
  Status setBlockTableRecord(ObjectId blockId);
  std::wstring blockName() const;
  const Point3d& position() const { return position_; }
  Status setPosition(const Point3d& p);
  double rotation() const { return rotation_; }
  Status setRotation(double a);
  const Scale3d& scaleFactors() const { return scale_; }
  Status setScaleFactors(const Scale3d& s);  // InvalidInput for a zero factor
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  // Block coordinates (relative to the block's base point) to world.
  Matrix3d blockTransform() const;
  // Sets position, rotation, scale and normal from a matrix (no shear).
  Status setBlockTransform(const Matrix3d& m);

  // Attributes, in order. appendAttribute takes ownership of a
  // non-resident attribute (the reference must be resident and open for
  // write); the attribute is then open for write until closed.
  const ObjectIdArray& attributeIds() const { return attributes_; }
  ObjectIdArray& attributeIdsMutable() { return attributes_; }  // for the database's copy code
  ObjectId& blockIdMutable() { return block_; }                  // for the database's file code
  Status appendAttribute(Attribute* attr, ObjectId* id = nullptr);
  Status appendAttribute(std::unique_ptr<Attribute> attr, ObjectId* id = nullptr);

  Status transformBy(const Matrix3d& m) override;
  // A reference to an empty block gives a zero-size box at its position.
  Status getGeomExtents(Extents3d& ext) const override;
  // The block's entities transformed (attribute definitions are left out;
  // the reference's attributes come out as texts).
  Status explode(std::vector<std::unique_ptr<Entity>>& out) const override;
  Status erase(bool yes = true) override;  // erases the attributes too

 private:
  friend class Database;
  Point3d position_;
  ObjectId block_;
  double rotation_ = 0;
  Scale3d scale_;
  Vector3d normal_{0, 0, 1};
  ObjectIdArray attributes_;
};

// A hatch: a pattern (or solid fill) bounded by loops.
class Hatch : public Entity {
  KIV_CAD_OBJECT(Hatch, Hatch)
 public:
  enum PatternType { kUserDefined = 0, kPreDefined = 1, kCustomDefined = 2 };
  enum LoopType { kDefault = 0, kExternal = 1, kPolyline = 2, kDerived = 4, kTextbox = 8, kOutermost = 16 };
  struct Loop {
    int type = kExternal;
    std::vector<Point2d> vertices;  // in the hatch plane; the loop closes itself
    std::vector<double> bulges;     // one per vertex (empty: all straight)
    ObjectIdArray sources;          // the boundary entities of an associative hatch
    bool operator==(const Loop&) const = default;
  };
  Hatch() = default;
  int patternType() const { return patternType_; }
  const std::wstring& patternName() const { return patternName_; }
  Status setPattern(int type, std::wstring_view name);  // "SOLID" makes a solid fill
  bool isSolidFill() const { return solid_; }
  double patternAngle() const { return angle_; }
  double patternScale() const { return scale_; }
  Status setPatternAngle(double a);
  Status setPatternScale(double s);
  bool associative() const { return associative_; }
  Status setAssociative(bool a);
  double elevation() const { return elevation_; }
  Status setElevation(double z);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  const std::vector<Loop>& loops() const { return loops_; }
  std::vector<Loop>& loopsMutable() { return loops_; }  // for the database's file code
  int numLoops() const { return int(loops_.size()); }
  // A loop from closed boundary entities (closed polylines, circles); fails
  // with InvalidInput when they do not make a closed loop.
  Status appendLoop(int type, const ObjectIdArray& ids);
  // A loop of vertices with bulges (a repeated first point at the end is dropped).
  Status appendLoop(int type, const std::vector<Point2d>& vertices, const std::vector<double>& bulges = {});
  Status removeLoopAt(int i);
  // Checks the loops; fails with DegenerateGeometry when a loop has fewer than 2 points or no area.
  Status evaluateHatch();
  double area() const;
  Status getGeomExtents(Extents3d& ext) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  int patternType_ = kPreDefined;
  std::wstring patternName_ = L"SOLID";
  bool solid_ = true;
  double angle_ = 0, scale_ = 1;
  bool associative_ = false;
  double elevation_ = 0;
  Vector3d normal_{0, 0, 1};
  std::vector<Loop> loops_;
};

// A filled triangle or quadrilateral. Points 0,1,2,3 in file order (the
// fill runs 0-1-3-2).
class Solid2d : public Entity {
  KIV_CAD_OBJECT(Solid2d, Solid2d)
 public:
  Solid2d() = default;
  Solid2d(const Point3d& p0, const Point3d& p1, const Point3d& p2, const Point3d& p3) : pts_{p0, p1, p2, p3} {}
  Solid2d(const Point3d& p0, const Point3d& p1, const Point3d& p2) : pts_{p0, p1, p2, p2} {}
  Status getPointAt(int i, Point3d& p) const;
  Status setPointAt(int i, const Point3d& p);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  Status transformBy(const Matrix3d& m) override;

 private:
  std::array<Point3d, 4> pts_{};
  Vector3d normal_{0, 0, 1};
  double thickness_ = 0;
};

// A planar area bounded by closed loops that neither cross nor overlap. A
// loop inside an even number of the others is an outer boundary, inside an
// odd number a hole; the region's own operations keep each outer boundary
// first (counter-clockwise about the normal) and its holes after it
// (clockwise). A region of several outer boundaries has several faces.
class Region : public Entity {
  KIV_CAD_OBJECT(Region, Region)
 public:
  struct Loop {
    std::vector<Point3d> vertices;  // world
    std::vector<double> bulges;     // one per vertex, about the normal
    bool operator==(const Loop&) const = default;
  };
  Region() = default;
  // Regions from closed loops of the curves: every closed curve (closed
  // polylines of each kind, circles, ellipses, an open polyline whose ends
  // meet) gives one region, and open curves (lines, arcs, open polylines)
  // meeting end to end around a loop give one together. Loops must be
  // planar; curves that close no loop are left out. InvalidInput when no
  // region comes out.
  static Status createFromCurves(const std::vector<const Curve*>& curves,
                                 std::vector<std::unique_ptr<Region>>& regions);
  enum class BoolOp { Unite, Intersect, Subtract };
  // This region becomes this op other (Subtract: this less other) and other
  // is emptied. The result may be empty (isNull), have several faces, and
  // have holes. NotApplicable when the two do not lie in one plane,
  // InvalidInput for the region itself as other, DegenerateGeometry when the
  // boundaries cannot be traced; on failure both stay as they were.
  Status booleanOper(BoolOp op, Region& other);
  const std::vector<Loop>& loops() const { return loops_; }
  Status setLoops(std::vector<Loop> loops);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double area() const;       // outer boundaries less holes
  double perimeter() const;  // all boundaries
  bool isNull() const { return loops_.empty(); }
  // A region of several faces explodes into one region per face (with its
  // holes); a region of one face into the lines and arcs of all its loops.
  Status explode(std::vector<std::unique_ptr<Entity>>& out) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  std::vector<Loop> loops_;
  Vector3d normal_{0, 0, 1};
};

class PolygonMesh : public Entity {
  KIV_CAD_OBJECT(PolygonMesh, PolygonMesh)
 public:
  PolygonMesh() = default;
  PolygonMesh(int m, int n, const std::vector<Point3d>& vertices, bool mClosed = false, bool nClosed = false)
      : m_(m), n_(n), mClosed_(mClosed), nClosed_(nClosed), verts_(vertices) {}
  int mSize() const { return m_; }
  int nSize() const { return n_; }
  bool isMClosed() const { return mClosed_; }
  bool isNClosed() const { return nClosed_; }
  const std::vector<Point3d>& vertices() const { return verts_; }  // row-major, m rows of n
  Status set(int m, int n, const std::vector<Point3d>& vertices, bool mClosed = false, bool nClosed = false);
  Status transformBy(const Matrix3d& m) override;

 private:
  int m_ = 0, n_ = 0;
  bool mClosed_ = false, nClosed_ = false;
  std::vector<Point3d> verts_;
};

class PolyfaceMesh : public Entity {
  KIV_CAD_OBJECT(PolyfaceMesh, PolyfaceMesh)
 public:
  // A face lists 3 or 4 vertex numbers from 1; a negative number hides the edge that starts there.
  using Face = std::array<int, 4>;
  PolyfaceMesh() = default;
  const std::vector<Point3d>& vertices() const { return verts_; }
  const std::vector<Face>& faces() const { return faces_; }
  Status set(std::vector<Point3d> vertices, std::vector<Face> faces);  // InvalidInput for a bad index
  Status transformBy(const Matrix3d& m) override;
  Status explode(std::vector<std::unique_ptr<Entity>>& out) const override;  // one Solid2d-free face set: lines

 private:
  std::vector<Point3d> verts_;
  std::vector<Face> faces_;
};

// A 3D solid. Its body is kept as a polygon mesh (vertices and faces of any
// number of corners); files store it as a polyface mesh that any viewer shows.
class Solid3d : public Entity {
  KIV_CAD_OBJECT(Solid3d, Solid3d)
 public:
  struct Body {
    std::vector<Point3d> vertices;
    std::vector<std::vector<int>> faces;  // vertex indices from 0, counter-clockwise seen from outside
    bool operator==(const Body&) const = default;
  };
  Solid3d() = default;
  const Body& body() const { return body_; }
  Status setBody(Body b);  // InvalidInput for a bad index
  bool isNull() const { return body_.faces.empty(); }
  double volume() const;
  Status transformBy(const Matrix3d& m) override;

 private:
  Body body_;
};

// The file behind a raster image.
class RasterImageDef : public DbObject {
  KIV_CAD_OBJECT(RasterImageDef, RasterImageDef)
 public:
  RasterImageDef() = default;
  const std::wstring& sourceFileName() const { return source_; }
  Status setSourceFileName(std::wstring_view path);
  bool isLoaded() const { return loaded_; }
  // Marks the image loaded when its file exists (FileNotFound otherwise).
  Status load();
  Status unload();
  void markLoaded(bool loaded) { loaded_ = loaded; }  // as a file says, without checking the file
  // Size in pixels, and the size of one pixel in drawing units.
  Vector2d size() const { return size_; }
  Status setSize(const Vector2d& pixels);
  Vector2d resolution() const { return pixelSize_; }
  Status setResolution(const Vector2d& unitsPerPixel);

 private:
  std::wstring source_;
  bool loaded_ = false;
  Vector2d size_{1, 1};
  Vector2d pixelSize_{1, 1};
};

class RasterImage : public Entity {
  KIV_CAD_OBJECT(RasterImage, RasterImage)
 public:
  RasterImage() = default;
  ObjectId imageDefId() const { return def_; }
  Status setImageDefId(ObjectId def);
  // The lower-left corner and the vectors of one pixel along the image's width and height.
  const Point3d& origin() const { return origin_; }
  const Vector3d& uVector() const { return u_; }
  const Vector3d& vVector() const { return v_; }
  Vector2d imageSize() const { return size_; }
  Status setOrientation(const Point3d& origin, const Vector3d& u, const Vector3d& v);
  Status setImageSize(const Vector2d& pixels);
  // Placement by corner, total width and height, as an insertion does.
  Status place(const Point3d& origin, double width, double height);
  int displayOptions() const { return display_; }
  Status setDisplayOptions(int flags);
  Status getGeomExtents(Extents3d& ext) const override;
  Status transformBy(const Matrix3d& m) override;

 private:
  ObjectId def_;
  Point3d origin_;
  Vector3d u_{1, 0, 0}, v_{0, 1, 0};
  Vector2d size_{1, 1};
  int display_ = 7;
};

class PointEntity : public Entity {
  KIV_CAD_OBJECT(PointEntity, Point)
 public:
  PointEntity() = default;
  explicit PointEntity(const Point3d& p) : pos_(p) {}
  const Point3d& position() const { return pos_; }
  Status setPosition(const Point3d& p);
  const Vector3d& normal() const { return normal_; }
  Status setNormal(const Vector3d& n);
  double thickness() const { return thickness_; }
  Status setThickness(double t);
  Status transformBy(const Matrix3d& m) override;

 private:
  Point3d pos_;
  Vector3d normal_{0, 0, 1};
  double thickness_ = 0;
};

// Raw group-coded data of a record read from a file.
struct RawTag {
  int code = 0;
  std::string value;  // as written, UTF-8
  bool operator==(const RawTag&) const = default;
};

// An entity kind this database does not model, read from a file: kept with
// its data and written back unchanged (its extents are unknown).
class UnknownEntity : public Entity {
  KIV_CAD_OBJECT(UnknownEntity, UnknownEntity)
 public:
  UnknownEntity() = default;
  std::string dxfType;
  std::vector<RawTag> tags;  // everything after the common entity data
  Status transformBy(const Matrix3d& m) override { return Status::NotApplicable; }
};

}  // namespace cad
