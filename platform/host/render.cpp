// Rendering a drawing's model space in plan to a PNG file with cairo.
//
// One walk over model space turns every shown entity into plan primitives in
// world units (strokes, filled areas, hatched areas, texts, dots); block
// contents are transformed on the way, with their by-block colours and their
// layer-0 entities resolved through the reference. The primitives' extents
// fit the view, then cairo draws them in drawing order.
#include "platform/host/render.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <limits>
#include <unordered_map>
#include <vector>

#include "platform/cad/body3d.h"
#include "platform/cad/database.h"
#include "platform/editor/editor.h"
#include "platform/editor/hostcmd.h"
#include "platform/geom/curves.h"
#include "platform/os/os.h"
#include "platform/ui/render.h"

namespace host {

namespace {

namespace fs = std::filesystem;
using cad::Rgb;
using geom::Matrix3d;
using geom::Point2d;
using geom::Point3d;
using geom::Vector2d;
using geom::Vector3d;

// Curves are drawn as chords of at most 2 degrees: within a quarter pixel of
// the curve for radii up to 800 pixels.
constexpr double kArcStep = geom::kPi / 90;
constexpr int kMaxBlockDepth = 16;       // nested references deeper than this (or cycles) are cut
constexpr double kMargin = 0.05;         // of the picture's width and height on each side
constexpr double kHairline = 1.5;        // pixels: lines without a width
constexpr double kHatchSpacing = 3.175;  // drawing units at pattern scale 1
constexpr double kMinHatchPixels = 4;
constexpr char kFontFace[] = "WenQuanYi Micro Hei";

using Loop = std::vector<Point2d>;

// One thing to draw, in world plan coordinates.
struct Prim {
  enum class Kind { Stroke, Area, Hatch, Text, Dot } kind = Kind::Stroke;
  Rgb color;
  // Stroke: one path; Area and Hatch: boundary loops (even-odd); Dot: the
  // point; Text: the baseline's start and end and the top of its start.
  std::vector<Loop> loops{};
  bool closed = false;  // Stroke
  double width = 0;     // Stroke: width in drawing units (0: a hairline); Hatch: line spacing
  double angle = 0;     // Hatch: direction of the lines
  std::wstring text{};
  double depth = std::numeric_limits<double>::infinity();  // shaded faces: towards the viewer is larger
};

struct LayerState {
  bool off = false, frozen = false;
  Rgb color{255, 255, 255};
};

// Where an entity is drawn: block coordinates to world, what by-block
// colours show, and the layer that layer-0 entities take inside a block.
struct Frame {
  Matrix3d m;
  Rgb byBlock{255, 255, 255};
  cad::ObjectId insertLayer;
  int depth = 0;
};

// A plane's own coordinates to world plan.
struct PlaneMap {
  Matrix3d m;
  Point2d operator()(const Point2d& p) const {
    Point3d w = m * Point3d(p.x, p.y, 0);
    return {w.x, w.y};
  }
  Loop operator()(const Loop& l) const {
    Loop out;
    out.reserve(l.size());
    for (const auto& p : l) out.push_back((*this)(p));
    return out;
  }
  // How lengths in the plane show in plan (the mean of the two axes).
  double scale() const {
    Vector3d a = m * Vector3d(1, 0, 0), b = m * Vector3d(0, 1, 0);
    return std::sqrt(std::fabs(a.x * b.y - a.y * b.x));
  }
};
// An object coordinate system: the plane of normal n at an elevation.
PlaneMap ocsMap(const Matrix3d& m, const Vector3d& n, double elevation) {
  return {m * geom::planeToWorld(n) * Matrix3d::translation({0, 0, elevation})};
}
// The plane of normal n through a world point (circles, arcs).
PlaneMap centredMap(const Matrix3d& m, const Vector3d& n, const Point3d& centre) {
  return {m * geom::planeToWorld(centre, n)};
}

// Appends the points of the bulge segment a-b, a included and b not.
void sampleBulge(const Point2d& a, const Point2d& b, double bulge, Loop& out) {
  out.push_back(a);
  auto arc = geom::CircArc2d::fromBulge(a, b, bulge);
  if (!arc) return;
  int n = std::max(2, int(std::ceil(std::fabs(arc->sweep) / kArcStep)));
  for (int i = 1; i < n; ++i) out.push_back(arc->pointAtAngle(arc->startAngle + arc->sweep * i / n));
}
// An arc about the origin, both ends included.
Loop sampleArc(double radius, double start, double sweep) {
  int n = std::max(2, int(std::ceil(std::fabs(sweep) / kArcStep)));
  Loop out;
  for (int i = 0; i <= n; ++i) {
    double a = start + sweep * i / n;
    out.push_back({radius * std::cos(a), radius * std::sin(a)});
  }
  return out;
}
// A closed loop of vertices with bulges (one per vertex, missing ones straight).
Loop bulgeLoop(const std::vector<Point2d>& v, const std::vector<double>& bulges) {
  Loop out;
  for (size_t i = 0; i < v.size(); ++i) sampleBulge(v[i], v[(i + 1) % v.size()], i < bulges.size() ? bulges[i] : 0, out);
  return out;
}

// The outline of a path of varying width: its points moved half the width to
// either side, the width running linearly from w0 to w1.
Loop band(const Loop& l, double w0, double w1) {
  size_t n = l.size();
  Loop left, right;
  for (size_t k = 0; k < n; ++k) {
    Vector2d along = (l[std::min(k + 1, n - 1)] - l[k > 0 ? k - 1 : 0]).normal();
    double half = (w0 + (w1 - w0) * (n > 1 ? double(k) / double(n - 1) : 0)) / 2;
    left.push_back(l[k] + along.perp() * half);
    right.push_back(l[k] - along.perp() * half);
  }
  left.insert(left.end(), right.rbegin(), right.rend());
  return left;
}

// A vertex of either kind of bulge polyline.
struct BulgeVertex {
  Point2d p;
  double bulge = 0, w0 = 0, w1 = 0;
};

// A fresh text with the placement of another (to show other words in its place).
cad::Text placedLike(const cad::Text& t, std::wstring_view words) {
  cad::Text r(t.position(), words, {}, t.height(), t.rotation());
  r.setAlignmentPoint(t.alignmentPoint());
  r.setNormal(t.normal());
  r.setWidthFactor(t.widthFactor());
  r.setHorizontalMode(t.horizontalMode());
  r.setVerticalMode(t.verticalMode());
  r.setGenerationFlags(t.generationFlags());
  return r;
}

class Walker {
 public:
  explicit Walker(const cad::Database& db, bool shaded = false) : db_(db), shaded_(shaded) {}

  void walk(const cad::ObjectIdArray& ids, const Frame& f) {
    for (auto id : ids) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e) entity(*e, f);
    }
  }

  std::vector<Prim> prims;

 private:
  const LayerState& layer(cad::ObjectId id) {
    auto it = layers_.find(id);
    if (it != layers_.end()) return it->second;
    LayerState s;
    cad::ObjectPtr<cad::LayerRecord> l(id, cad::OpenMode::ForRead);
    if (l) s = {l->isOff(), l->isFrozen(), l->color().rgb()};
    return layers_[id] = s;
  }

  void add(Prim p) {
    for (const auto& l : p.loops)
      for (const auto& q : l)
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
    if (!p.loops.empty() && !p.loops[0].empty()) prims.push_back(std::move(p));
  }
  void stroke(Rgb c, Loop l, bool closed, double width = 0) {
    if (l.size() == 1) return add({Prim::Kind::Dot, c, {std::move(l)}});
    add({Prim::Kind::Stroke, c, {std::move(l)}, closed, width});
  }
  Point2d plan(const Matrix3d& m, const Point3d& p) const {
    Point3d w = m * p;
    return {w.x, w.y};
  }
  Loop plan(const Matrix3d& m, const std::vector<Point3d>& pts) const {
    Loop out;
    for (const auto& p : pts) out.push_back(plan(m, p));
    return out;
  }

  void entity(const cad::Entity& e, const Frame& f) {
    if (!e.visible()) return;
    cad::ObjectId lid = e.layerId();
    if (!f.insertLayer.isNull() && lid == db_.layerZeroId()) lid = f.insertLayer;
    const LayerState& ls = layer(lid);
    if (ls.frozen) return;
    Rgb c = e.color().isByLayer() ? ls.color : e.color().isByBlock() ? f.byBlock : e.color().rgb();
    // A reference on a layer that is off still shows what it holds on other
    // layers; its layer-0 entities take its layer and stay hidden.
    if (auto* r = cad::cast<const cad::BlockReference>(&e)) return reference(*r, lid, c, f);
    if (ls.off) return;

    const Matrix3d& m = f.m;
    using K = cad::Kind;
    switch (e.kind()) {
      case K::Line: {
        auto& l = static_cast<const cad::Line&>(e);
        stroke(c, {plan(m, l.start()), plan(m, l.end())}, false);
        break;
      }
      case K::Polyline: {
        auto& p = static_cast<const cad::Polyline&>(e);
        std::vector<BulgeVertex> v;
        for (const auto& x : p.vertices()) v.push_back({x.pt, x.bulge, x.startWidth, x.endWidth});
        bulgePolyline(v, p.isClosed(), ocsMap(m, p.normal(), p.elevation()), c);
        break;
      }
      case K::Polyline2d: {
        auto& p = static_cast<const cad::Polyline2d&>(e);
        std::vector<BulgeVertex> v;
        for (const auto& x : p.vertices()) {
          bool own = x.startWidth != 0 || x.endWidth != 0;
          v.push_back({{x.position.x, x.position.y}, x.bulge, own ? x.startWidth : p.defaultStartWidth(),
                       own ? x.endWidth : p.defaultEndWidth()});
        }
        bulgePolyline(v, p.isClosed(), ocsMap(m, p.normal(), p.elevation()), c);
        break;
      }
      case K::Polyline3d: {
        auto& p = static_cast<const cad::Polyline3d&>(e);
        stroke(c, plan(m, p.vertices()), p.isClosed());
        break;
      }
      case K::Circle: {
        auto& ci = static_cast<const cad::Circle&>(e);
        stroke(c, centredMap(m, ci.normal(), ci.center())(sampleArc(ci.radius(), 0, 2 * geom::kPi)), true);
        break;
      }
      case K::Arc: {
        auto& a = static_cast<const cad::Arc&>(e);
        stroke(c, centredMap(m, a.normal(), a.center())(sampleArc(a.radius(), a.startAngle(), a.totalAngle())), false);
        break;
      }
      case K::Ellipse: {
        auto& el = static_cast<const cad::Ellipse&>(e);
        double p0 = el.startParam(), p1 = el.endParam();
        if (p1 <= p0) p1 += 2 * geom::kPi;
        int n = std::max(2, int(std::ceil((p1 - p0) / kArcStep)));
        Loop l;
        for (int i = 0; i <= n; ++i) l.push_back(plan(m, el.pointAtParam(p0 + (p1 - p0) * i / n)));
        stroke(c, std::move(l), el.isClosed());
        break;
      }
      case K::Spline: {
        auto& s = static_cast<const cad::Spline&>(e);
        stroke(c, plan(m, s.fitPoints.empty() ? s.controlPoints : s.fitPoints), s.isClosed());
        break;
      }
      case K::Text:
        text(static_cast<const cad::Text&>(e), c, m);
        break;
      case K::Attribute:
        if (!static_cast<const cad::Attribute&>(e).isInvisible()) text(static_cast<const cad::Text&>(e), c, m);
        break;
      case K::AttributeDefinition: {
        // Shown by its tag where it stands in model space; inside blocks the
        // references' attributes show instead.
        auto& d = static_cast<const cad::AttributeDefinition&>(e);
        if (f.depth == 0 && !d.isInvisible()) text(placedLike(d, d.tag()), c, m);
        break;
      }
      case K::MText:
        mtext(static_cast<const cad::MText&>(e), c, m);
        break;
      case K::Hatch:
        hatch(static_cast<const cad::Hatch&>(e), c, m);
        break;
      case K::Solid2d: {
        auto& s = static_cast<const cad::Solid2d&>(e);
        Point3d p[4];
        for (int i = 0; i < 4; ++i) s.getPointAt(i, p[i]);
        add({Prim::Kind::Area, c, {plan(m, {p[0], p[1], p[3], p[2]})}});
        break;
      }
      case K::Region: {
        auto& r = static_cast<const cad::Region&>(e);
        Matrix3d toPlane = geom::worldToPlane(r.normal());
        for (const auto& loop : r.loops()) {
          if (loop.vertices.empty()) continue;
          std::vector<Point2d> v;
          for (const auto& p : loop.vertices) v.push_back((toPlane * p).toPlan());
          double z = (toPlane * loop.vertices[0]).z;
          stroke(c, ocsMap(m, r.normal(), z)(bulgeLoop(v, loop.bulges)), true);
        }
        break;
      }
      case K::PolygonMesh: {
        auto& g = static_cast<const cad::PolygonMesh&>(e);
        const auto& v = g.vertices();
        int rows = g.mSize(), cols = g.nSize();
        if (rows <= 0 || cols <= 0 || v.size() < size_t(rows) * size_t(cols)) break;
        if (shaded_) {
          auto at = [&](int i, int j) { return v[size_t(i % rows) * cols + size_t(j % cols)]; };
          for (int i = 0; i + 1 < rows + (g.isMClosed() ? 1 : 0); ++i)
            for (int j = 0; j + 1 < cols + (g.isNClosed() ? 1 : 0); ++j)
              face(c, m, {at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
          break;
        }
        for (int i = 0; i < rows; ++i)
          stroke(c, plan(m, std::vector<Point3d>(v.begin() + i * cols, v.begin() + (i + 1) * cols)), g.isNClosed());
        for (int j = 0; j < cols; ++j) {
          Loop l;
          for (int i = 0; i < rows; ++i) l.push_back(plan(m, v[size_t(i) * cols + j]));
          stroke(c, std::move(l), g.isMClosed());
        }
        break;
      }
      case K::PolyfaceMesh: {
        auto& g = static_cast<const cad::PolyfaceMesh&>(e);
        const auto& v = g.vertices();
        if (shaded_) {
          for (const auto& fc : g.faces()) {
            std::vector<Point3d> pts;
            for (int k : fc)
              if (k != 0 && size_t(std::abs(k)) <= v.size()) pts.push_back(v[size_t(std::abs(k) - 1)]);
            face(c, m, pts);
          }
          break;
        }
        for (const auto& face : g.faces()) {
          std::vector<int> idx;
          for (int k : face)
            if (k != 0 && size_t(std::abs(k)) <= v.size()) idx.push_back(k);
          for (size_t k = 0; k < idx.size(); ++k)
            if (idx[k] > 0)  // a negative number hides the edge starting there
              stroke(c, {plan(m, v[size_t(idx[k] - 1)]), plan(m, v[size_t(std::abs(idx[(k + 1) % idx.size()]) - 1)])},
                     false);
        }
        break;
      }
      case K::Solid3d:
      case K::Body3d: {
        const auto& body = e.kind() == K::Solid3d ? static_cast<const cad::Solid3d&>(e).body()
                                                  : static_cast<const cad::Body3d&>(e).faces();
        for (const auto& fc : body.faces) {
          std::vector<Point3d> pts;
          for (int k : fc)
            if (k >= 0 && size_t(k) < body.vertices.size()) pts.push_back(body.vertices[size_t(k)]);
          if (shaded_) {
            face(c, m, pts);
          } else {
            stroke(c, plan(m, pts), true);
          }
        }
        break;
      }
      case K::RasterImage: {
        auto& im = static_cast<const cad::RasterImage&>(e);
        Vector3d u = im.uVector() * im.imageSize().x, w = im.vVector() * im.imageSize().y;
        const Point3d& o = im.origin();
        stroke(c, plan(m, {o, o + u, o + u + w, o + w}), true);
        break;
      }
      case K::Point:
        add({Prim::Kind::Dot, c, {{plan(m, static_cast<const cad::PointEntity&>(e).position())}}});
        break;
      case K::UnknownEntity: {
        // Kinds kept only as read from a file: the 3D faces of figures drawn
        // elsewhere (a graph library's 3D drawings are made of them).
        auto& u = static_cast<const cad::UnknownEntity&>(e);
        if (u.dxfType == "3DFACE") face3d(u, c, m);
        break;
      }
      default:
        break;
    }
  }

  // A 3DFACE: three or four corners (codes 10 to 13), filled when shaded,
  // else its edges but those flagged invisible (code 70, one bit an edge).
  void face3d(const cad::UnknownEntity& u, Rgb c, const Matrix3d& m) {
    Point3d corner[4];
    int edgeFlags = 0;
    for (const auto& t : u.tags) {
      const double v = std::strtod(t.value.c_str(), nullptr);
      if (t.code >= 10 && t.code <= 13) corner[t.code - 10].x = v;
      else if (t.code >= 20 && t.code <= 23) corner[t.code - 20].y = v;
      else if (t.code >= 30 && t.code <= 33) corner[t.code - 30].z = v;
      else if (t.code == 70) edgeFlags = int(v);
    }
    std::vector<Point3d> pts{corner[0], corner[1], corner[2]};
    if (!corner[3].isEqualTo(corner[2])) pts.push_back(corner[3]);
    if (shaded_) return face(c, m, pts);
    for (size_t k = 0; k < pts.size(); ++k)
      if (!(edgeFlags & (1 << k))) stroke(c, {plan(m, pts[k]), plan(m, pts[(k + 1) % pts.size()])}, false);
  }

  void reference(const cad::BlockReference& r, cad::ObjectId layerId, Rgb c, const Frame& f) {
    if (f.depth >= kMaxBlockDepth) return;
    cad::ObjectIdArray ids;
    {
      cad::ObjectPtr<cad::BlockRecord> b(r.blockTableRecord(), cad::OpenMode::ForRead);
      if (b && !b->isLayout()) ids = b->entityIds();
    }
    walk(ids, {f.m * r.blockTransform(), c, layerId, f.depth + 1});
    // Attributes stand in the reference's frame already, not in the block's.
    walk(r.attributeIds(), {f.m, c, layerId, f.depth + 1});
  }

  // Lightweight and 2D polylines. Without widths, or with one width all
  // along, the polyline is one stroke (wide ones with mitred corners); with
  // widths that vary, each segment is its own band.
  void bulgePolyline(const std::vector<BulgeVertex>& v, bool closed, const PlaneMap& pm, Rgb c) {
    if (v.empty()) return;
    size_t segs = closed ? v.size() : v.size() - 1;
    bool uniform = true;
    for (size_t i = 0; i < segs; ++i) uniform = uniform && v[i].w0 == v[0].w0 && v[i].w1 == v[0].w0;
    if (uniform) {
      Loop l;
      for (size_t i = 0; i < segs; ++i) sampleBulge(v[i].p, v[(i + 1) % v.size()].p, v[i].bulge, l);
      if (!closed) l.push_back(v.back().p);
      stroke(c, pm(l), closed && v.size() > 1, segs ? std::max(0.0, v[0].w0) * pm.scale() : 0);
      return;
    }
    for (size_t i = 0; i < segs; ++i) {
      Loop l;
      const Point2d& b = v[(i + 1) % v.size()].p;
      sampleBulge(v[i].p, b, v[i].bulge, l);
      l.push_back(b);
      if (v[i].w0 <= 0 && v[i].w1 <= 0) stroke(c, pm(l), false);
      else add({Prim::Kind::Area, c, {pm(band(l, std::max(0.0, v[i].w0), std::max(0.0, v[i].w1)))}});
    }
  }

  // A text fills the box the drawing gives it: the glyphs are stretched along
  // the baseline to the box's width, and the box's height is the em height.
  void text(const cad::Text& t, Rgb c, const Matrix3d& m) {
    const std::wstring& s = t.textString();
    if (s.empty()) return;
    auto b = t.boundingBox();
    Point3d o = b[0];
    Vector3d run = b[1] - b[0], up = b[3] - b[0];
    int h = t.horizontalMode();
    if ((h == cad::Text::kAligned || h == cad::Text::kFit) && !t.alignmentPoint().isEqualTo(t.position())) {
      // Between the position and the alignment point; aligned text keeps its proportions.
      Vector3d span = t.alignmentPoint() - t.position();
      if (h == cad::Text::kAligned && run.length() > 0) up = up * (span.length() / run.length());
      o = t.position();
      run = span;
    }
    if (t.isMirroredInX()) {
      o = o + run;
      run = -run;
    }
    if (t.isMirroredInY()) {
      o = o + up;
      up = -up;
    }
    add({Prim::Kind::Text, c, {{plan(m, o), plan(m, o + run), plan(m, o + up)}}, false, 0, 0, s});
  }

  // Multiline text: one text per line, placed as the drawing's extents of it
  // reckon (line pitch 1.667 heights times the spacing factor, each line
  // aligned by the attachment's column).
  void mtext(const cad::MText& t, Rgb c, const Matrix3d& m) {
    std::wstring all = t.text();
    std::vector<std::wstring> lines(1);
    for (wchar_t ch : all) {
      if (ch == L'\n') lines.emplace_back();
      else lines.back() += ch;
    }
    double h = t.textHeight(), pitch = 1.667 * t.lineSpacingFactor();
    double total = h * (double(lines.size()) + double(lines.size() - 1) * 0.667 * t.lineSpacingFactor());
    int col = (t.attachment() - 1) % 3, row = (t.attachment() - 1) / 3;
    double top = row == 0 ? 0 : row == 1 ? total / 2 : total;
    Vector3d ax = t.direction().normal(), ay = t.normal().cross(ax).normal();
    for (size_t k = 0; k < lines.size(); ++k) {
      Point3d anchor = t.location() + ay * (top - h * (1 + double(k) * pitch));
      cad::Text line(anchor, lines[k], {}, h, t.rotation());
      line.setNormal(t.normal());
      line.setAlignmentPoint(anchor);
      line.setHorizontalMode(col == 0 ? cad::Text::kLeft : col == 1 ? cad::Text::kCenter : cad::Text::kRight);
      text(line, c, m);
    }
  }

  // Solid hatches fill; pattern hatches show as parallel lines 45 degrees
  // off the pattern angle, 3.175 units times the pattern scale apart.
  void hatch(const cad::Hatch& h, Rgb c, const Matrix3d& m) {
    PlaneMap pm = ocsMap(m, h.normal(), h.elevation());
    Prim p{h.isSolidFill() ? Prim::Kind::Area : Prim::Kind::Hatch, c};
    for (const auto& l : h.loops())
      if (l.vertices.size() >= 2) p.loops.push_back(pm(bulgeLoop(l.vertices, l.bulges)));
    if (p.loops.empty()) return;
    double a = h.patternAngle() + geom::kPi / 4;
    Point2d dir = pm({std::cos(a), std::sin(a)}), o = pm({0, 0});
    p.angle = std::atan2(dir.y - o.y, dir.x - o.x);
    p.width = kHatchSpacing * h.patternScale() * pm.scale();
    add(std::move(p));
  }

  // A face of a mesh or body: filled and lit in a shaded view, its outline
  // otherwise. The frame matrix carries the view, so z is the depth.
  void face(Rgb c, const Matrix3d& m, const std::vector<Point3d>& pts) {
    if (pts.size() < 3) return;
    if (!shaded_) return stroke(c, plan(m, pts), true);
    std::vector<Point3d> v;
    double depth = 0;
    for (const auto& p : pts) {
      v.push_back(m * p);
      depth += v.back().z;
    }
    Vector3d n = (v[1] - v[0]).cross(v[2] - v[0]);
    for (size_t i = 3; i < v.size() && n.isZeroLength(); ++i) n = (v[1] - v[0]).cross(v[i] - v[0]);
    if (n.isZeroLength()) return;
    const Vector3d light = Vector3d(-0.35, 0.55, 1).normal();
    double k = 0.3 + 0.7 * std::fabs(n.normal().dot(light));
    Rgb lit{std::uint8_t(c.r * k), std::uint8_t(c.g * k), std::uint8_t(c.b * k)};
    Prim p{Prim::Kind::Area, lit, {plan(m, pts)}};
    p.depth = depth / double(v.size());
    add(std::move(p));
  }

  const cad::Database& db_;
  bool shaded_ = false;
  std::unordered_map<cad::ObjectId, LayerState> layers_;
};

// World plan to pixels: the extents centred, scaled to fit inside the margin.
struct View {
  double scale = 1, cx = 0, cy = 0, w = 0, h = 0;
  Point2d operator()(const Point2d& p) const { return {w / 2 + (p.x - cx) * scale, h / 2 - (p.y - cy) * scale}; }
};

View fitView(const std::vector<Prim>& prims, int width, int height) {
  double inf = std::numeric_limits<double>::infinity();
  double x0 = inf, y0 = inf, x1 = -inf, y1 = -inf;
  auto add = [&](const Point2d& p) {
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  };
  for (const auto& p : prims) {
    for (const auto& l : p.loops)
      for (const auto& q : l) add(q);
    if (p.kind == Prim::Kind::Text) add(p.loops[0][2] + (p.loops[0][1] - p.loops[0][0]));
  }
  View v;
  v.w = width, v.h = height;
  if (x0 > x1) return v;
  v.cx = (x0 + x1) / 2, v.cy = (y0 + y1) / 2;
  double sx = x1 - x0 > 0 ? width * (1 - 2 * kMargin) / (x1 - x0) : inf;
  double sy = y1 - y0 > 0 ? height * (1 - 2 * kMargin) / (y1 - y0) : inf;
  v.scale = std::min(sx, sy);
  if (!std::isfinite(v.scale) || v.scale <= 0) v.scale = 1;  // a single point
  return v;
}

void setColor(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void pathOf(cairo_t* cr, const View& v, const Loop& l, bool closed) {
  for (size_t i = 0; i < l.size(); ++i) {
    Point2d d = v(l[i]);
    if (i == 0) cairo_move_to(cr, d.x, d.y);
    else cairo_line_to(cr, d.x, d.y);
  }
  if (closed) cairo_close_path(cr);
}

void drawHatchLines(cairo_t* cr, const View& v, const Prim& p) {
  cairo_save(cr);
  for (const auto& l : p.loops) pathOf(cr, v, l, true);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  double bx0, by0, bx1, by1;
  cairo_path_extents(cr, &bx0, &by0, &bx1, &by1);
  cairo_clip(cr);
  double spacing = std::max(kMinHatchPixels, p.width * v.scale);
  Vector2d dir(std::cos(p.angle), -std::sin(p.angle));  // pixels run downwards
  Vector2d across = dir.perp();
  Point2d mid{(bx0 + bx1) / 2, (by0 + by1) / 2};
  double reach = std::hypot(bx1 - bx0, by1 - by0) / 2 + 1;
  for (double t = -std::floor(reach / spacing) * spacing; t <= reach; t += spacing) {
    Point2d base = mid + across * t;
    Point2d a = base - dir * reach, b = base + dir * reach;
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
  }
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void drawText(cairo_t* cr, const View& v, const Prim& p) {
  Point2d o = v(p.loops[0][0]), x = v(p.loops[0][1]), y = v(p.loops[0][2]);
  if (std::hypot(y.x - o.x, y.y - o.y) < 0.5) return;  // under half a pixel tall
  const double em = 100;  // measured at this size, free of hinting
  std::string u = os::toUtf8(p.text);
  cairo_text_extents_t te;
  cairo_set_font_size(cr, em);
  cairo_text_extents(cr, u.c_str(), &te);
  if (te.x_advance <= 0) return;
  cairo_matrix_t mm;
  cairo_matrix_init(&mm, (x.x - o.x) / te.x_advance, (x.y - o.y) / te.x_advance, (o.x - y.x) / em,
                    (o.y - y.y) / em, o.x, o.y);
  if (std::fabs(mm.xx * mm.yy - mm.yx * mm.xy) < 1e-9) return;
  cairo_save(cr);
  cairo_set_matrix(cr, &mm);
  cairo_move_to(cr, 0, 0);
  cairo_show_text(cr, u.c_str());
  cairo_restore(cr);
}

void draw(cairo_t* cr, const View& v, const Prim& p) {
  setColor(cr, p.color);
  switch (p.kind) {
    case Prim::Kind::Stroke:
      pathOf(cr, v, p.loops[0], p.closed);
      if (p.width > 0) {
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
      } else {
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      }
      cairo_set_line_width(cr, std::max(kHairline, p.width * v.scale));
      cairo_stroke(cr);
      break;
    case Prim::Kind::Area:
      for (const auto& l : p.loops) pathOf(cr, v, l, true);
      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
      cairo_fill(cr);
      break;
    case Prim::Kind::Hatch:
      drawHatchLines(cr, v, p);
      break;
    case Prim::Kind::Text:
      drawText(cr, v, p);
      break;
    case Prim::Kind::Dot: {
      Point2d d = v(p.loops[0][0]);
      cairo_rectangle(cr, d.x - 1.5, d.y - 1.5, 3, 3);
      cairo_fill(cr);
      break;
    }
  }
}

bool parseSide(const std::wstring& s, int& out) {
  if (s.empty() || s.size() > 5 || !std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
    return false;
  out = std::stoi(s);
  return out >= 1 && out <= kRenderMaxSide;
}

// World to view: x to the right, y up, z towards the viewer who looks from
// the direction dir (the vpoint) at the drawing.
Matrix3d viewMatrix(const Vector3d& dir) {
  Vector3d z = dir.normal();
  Vector3d x = Vector3d(0, 0, 1).cross(z);
  x = x.isZeroLength() ? Vector3d(1, 0, 0) : x.normal();
  Vector3d y = z.cross(x);
  Matrix3d m;
  m.m[0] = {x.x, x.y, x.z, 0};
  m.m[1] = {y.x, y.y, y.z, 0};
  m.m[2] = {z.x, z.y, z.z, 0};
  return m;
}

// The view that fills the picture with the window's rectangle, seen as the
// matrix m shows the plan (its corners at elevation 0).
View windowView(const RenderWindow& w, const Matrix3d& m, int width, int height) {
  double inf = std::numeric_limits<double>::infinity();
  double x0 = inf, y0 = inf, x1 = -inf, y1 = -inf;
  for (Point3d c : {Point3d(w.a.x, w.a.y, 0), Point3d(w.b.x, w.a.y, 0), Point3d(w.a.x, w.b.y, 0),
                    Point3d(w.b.x, w.b.y, 0)}) {
    Point3d p = m * c;
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  View v;
  v.w = width, v.h = height;
  v.cx = (x0 + x1) / 2, v.cy = (y0 + y1) / 2;
  v.scale = std::min(x1 > x0 ? width / (x1 - x0) : inf, y1 > y0 ? height / (y1 - y0) : inf);
  if (!std::isfinite(v.scale) || v.scale <= 0) v.scale = 1;
  return v;
}

// "x,y": two numbers, the whole text.
bool parseCorner(const std::wstring& s, Point2d& out) {
  auto comma = s.find(L',');
  if (comma == std::wstring::npos) return false;
  auto number = [](const std::wstring& t, double& v) {
    if (t.empty()) return false;
    wchar_t* end = nullptr;
    v = std::wcstod(t.c_str(), &end);
    return end == t.c_str() + t.size() && std::isfinite(v);
  };
  return number(s.substr(0, comma), out.x) && number(s.substr(comma + 1), out.y);
}

bool renderPng(const cad::Database& db, const fs::path& file, int width, int height, const Vector3d& viewDir,
               bool shaded, std::wstring& error, const RenderWindow* window);

}  // namespace

bool renderDrawingToPng(const cad::Database& db, const fs::path& file, int width, int height, std::wstring& error) {
  return renderPng(db, file, width, height, {0, 0, 1}, false, error, nullptr);
}

bool renderViewToPng(const cad::Database& db, const fs::path& file, int width, int height,
                     const geom::Vector3d& viewDir, bool shaded, std::wstring& error, const RenderWindow* window) {
  if (viewDir.isZeroLength()) {
    error = L"the view direction is zero";
    return false;
  }
  if (window && (window->a.x == window->b.x || window->a.y == window->b.y)) {
    error = L"the window has no width or no height";
    return false;
  }
  return renderPng(db, file, width, height, viewDir, shaded, error, window);
}

namespace {

bool renderPng(const cad::Database& db, const fs::path& file, int width, int height, const Vector3d& viewDir,
               bool shaded, std::wstring& error, const RenderWindow* window) {
  std::wstring name = os::fromUtf8(file.string());
  if (width < 1 || height < 1 || width > kRenderMaxSide || height > kRenderMaxSide) {
    error = L"the picture size " + std::to_wstring(width) + L"x" + std::to_wstring(height) + L" is not within 1 to " +
            std::to_wstring(kRenderMaxSide) + L" pixels a side";
    return false;
  }
  std::error_code ec;
  if (file.has_parent_path() && !fs::is_directory(file.parent_path(), ec)) {
    error = L"cannot write " + name + L": the folder " + os::fromUtf8(file.parent_path().string()) +
            L" does not exist";
    return false;
  }

  Walker walker(db, shaded);
  Frame root;
  root.m = viewMatrix(viewDir);
  walker.walk(db.modelSpaceEntities(), root);
  // Far faces first, nearer ones over them; lines and texts on top.
  if (shaded)
    std::stable_sort(walker.prims.begin(), walker.prims.end(),
                     [](const Prim& a, const Prim& b) { return a.depth < b.depth; });
  View view = window ? windowView(*window, root.m, width, height) : fitView(walker.prims, width, height);

  ui::releaseFontCachesAtExit();
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(s);
  setColor(cr, kRenderBackground);
  cairo_paint(cr);
  cairo_select_font_face(cr, kFontFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, fo);
  cairo_font_options_destroy(fo);
  for (const auto& p : walker.prims) draw(cr, view, p);
  cairo_status_t st = cairo_status(cr);
  cairo_destroy(cr);
  if (st == CAIRO_STATUS_SUCCESS) st = cairo_surface_write_to_png(s, file.string().c_str());
  cairo_surface_destroy(s);
  if (st != CAIRO_STATUS_SUCCESS) {
    error = L"cannot write " + name + L": " + os::fromUtf8(cairo_status_to_string(st));
    return false;
  }
  return true;
}

}  // namespace

void registerRenderDirective() {
  ed::registerDirective(L".render", [](const ed::InputToken& t, std::wstring& error) -> bool {
    // PATH, then the size and the window, each optional (a window's corners
    // hold a comma, a size does not).
    std::size_t n = t.args.size();
    bool windowed = n >= 3 && t.args[n - 2].find(L',') != std::wstring::npos;
    bool sized = n - (windowed ? 2 : 0) == 3;
    if (n < 1 || n - (windowed ? 2 : 0) - (sized ? 2 : 0) != 1) {
      error = L".render needs: PATH [WIDTH HEIGHT] [x1,y1 x2,y2]";
      return false;
    }
    int w = kRenderDefaultWidth, h = kRenderDefaultHeight;
    if (sized && !(parseSide(t.args[1], w) && parseSide(t.args[2], h))) {
      error = L".render: the size \"" + t.args[1] + L" " + t.args[2] + L"\" is not two whole numbers from 1 to " +
              std::to_wstring(kRenderMaxSide);
      return false;
    }
    RenderWindow window;
    if (windowed && !(parseCorner(t.args[n - 2], window.a) && parseCorner(t.args[n - 1], window.b))) {
      error = L".render: the window \"" + t.args[n - 2] + L" " + t.args[n - 1] + L"\" is not two points x,y";
      return false;
    }
    cad::Database* db = ed::curDatabase();
    if (!db) {
      error = L".render: no drawing is open";
      return false;
    }
    // After a vpoint the picture shows that view: shaded for the shade modes
    // that fill faces, wireframe for the others.
    const ed::ViewState& view = ed::viewState();
    const std::wstring& mode = view.shadeMode;
    bool shaded = mode == L"G" || mode == L"F" || mode == L"L" || mode == L"O";
    if (renderViewToPng(*db, os::nativePath(t.args[0]), w, h, view.viewDir, shaded, error, windowed ? &window : nullptr))
      return true;
    error = L".render: " + error;
    return false;
  });
}

}  // namespace host
