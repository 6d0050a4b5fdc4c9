// The entity kinds of drawing files: for each, how its DXF record is read
// into the database and how it is written back, side by side, and the one
// table the reader and the writer dispatch through.
#include "platform/cad/dxf_kinds.h"

#include "platform/cad/dxf_body3d.h"

namespace cad::dxf {

namespace {

// ---------------------------------------------------------------- Lines.

std::unique_ptr<Entity> readLine(Fields& f) {
  std::unique_ptr<Entity> e;
  auto l = std::make_unique<Line>(f.pt(10), f.pt(11));
  l->setNormal(f.nrm());
  l->setThickness(f.get(39));
  e = std::move(l);
  return e;
}

void writeLine(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& l = static_cast<const Line&>(e);
  w.entityHead("LINE", me, e, owner, paper);
  w.str(100, "AcDbLine");
  if (l.thickness() != 0) w.real(39, l.thickness());
  w.point(10, l.start());
  w.point(11, l.end());
  w.normal(l.normal());
  w.xdata(e);
}

// ---------------------------------------------------------------- Lightweight polylines.

std::unique_ptr<Entity> readLwPolyline(Fields& f) {
  const auto& T = f.r.tags;
  std::unique_ptr<Entity> e;
  auto p = std::make_unique<Polyline>();
  Vector3d n = f.nrm();
  p->setNormal(n);
  p->setElevation(f.get(38));
  p->setThickness(f.get(39));
  int flags = f.geti(70);
  p->setClosed(flags & 1);
  double cw = f.get(43);
  std::vector<Polyline::Vertex> v;
  for (std::size_t i = 0; i < T.size(); ++i) {
    const Tag& t = T[i];
    if (t.code == 10) v.push_back({{Reader::num(t), 0}, 0, cw, cw});
    else if (v.empty()) continue;
    else if (t.code == 20) v.back().pt.y = Reader::num(t);
    else if (t.code == 40) v.back().startWidth = Reader::num(t);
    else if (t.code == 41) v.back().endWidth = Reader::num(t);
    else if (t.code == 42) v.back().bulge = Reader::num(t);
  }
  if (f.has(43)) p->setConstantWidth(cw);
  for (unsigned i = 0; i < v.size(); ++i) p->addVertexAt(i, v[i].pt, v[i].bulge, v[i].startWidth, v[i].endWidth);
  e = std::move(p);
  return e;
}

void writePolyline(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& p = static_cast<const Polyline&>(e);
  w.entityHead("LWPOLYLINE", me, e, owner, paper);
  w.str(100, "AcDbPolyline");
  w.integer(90, p.numVerts());
  w.integer(70, (p.isClosed() ? 1 : 0) | 128);
  double cw = 0;
  bool constant = p.getConstantWidth(cw) == Status::Ok;
  if (constant) w.real(43, cw);
  if (p.elevation() != 0) w.real(38, p.elevation());
  if (p.thickness() != 0) w.real(39, p.thickness());
  for (const auto& v : p.vertices()) {
    w.real(10, v.pt.x);
    w.real(20, v.pt.y);
    if (!constant && (v.startWidth != 0 || v.endWidth != 0)) {
      w.real(40, v.startWidth);
      w.real(41, v.endWidth);
    }
    if (v.bulge != 0) w.real(42, v.bulge);
  }
  w.normal(p.normal());
  w.xdata(e);
}

// ---------------------------------------------------------------- Old-style polylines: 2D and 3D polylines, polygon and face meshes (a 3D solid is written as a face mesh with its marker).

std::unique_ptr<Entity> readPolyline(Fields& f) {
  std::unique_ptr<Entity> e;
  int flags = f.geti(70);
  Vector3d n = f.nrm();
  double elev = f.get(30);
  struct V { Point3d p; double sw, ew, b; int flags; int idx[4]; };
  std::vector<V> verts;
  Tag t;
  while (f.rd.tok_.peek().code == 0 && f.rd.tok_.peek().value == "VERTEX") {
    f.rd.tok_.next(t);
    Record vr;
    vr.type = "VERTEX";
    f.rd.readRecord(vr);
    V v{{}, f.get(40), f.get(41), 0, 0, {0, 0, 0, 0}};
    for (const auto& x : vr.tags) {
      switch (x.code) {
        case 10: v.p.x = Reader::num(x); break;
        case 20: v.p.y = Reader::num(x); break;
        case 30: v.p.z = Reader::num(x); break;
        case 40: v.sw = Reader::num(x); break;
        case 41: v.ew = Reader::num(x); break;
        case 42: v.b = Reader::num(x); break;
        case 70: v.flags = Reader::inum32(x); break;
        case 71: case 72: case 73: case 74: v.idx[x.code - 71] = Reader::inum32(x); break;
        default: break;
      }
    }
    verts.push_back(v);
  }
  if (f.rd.tok_.peek().code == 0 && f.rd.tok_.peek().value == "SEQEND") {
    f.rd.tok_.next(t);
    Record sr;
    sr.type = "SEQEND";
    f.rd.readRecord(sr);
  } else {
    f.rd.fail("a POLYLINE lacks its SEQEND");
  }
  if (flags & 64) {
    std::vector<Point3d> pts;
    std::vector<PolyfaceMesh::Face> faces;
    for (const auto& v : verts) {
      if (v.flags & 64) pts.push_back(v.p);
      else if (v.flags & 128) faces.push_back({v.idx[0], v.idx[1], v.idx[2], v.idx[3]});
    }
    auto m = std::make_unique<PolyfaceMesh>();
    if (m->set(pts, faces) != Status::Ok) f.rd.fail("a polyface mesh refers to a missing vertex");
    e = std::move(m);
  } else if (flags & 16) {
    std::vector<Point3d> pts;
    for (const auto& v : verts) pts.push_back(v.p);
    auto m = std::make_unique<PolygonMesh>();
    int M = f.geti(71), N = f.geti(72);
    if (m->set(M, N, pts, flags & 1, flags & 32) != Status::Ok) f.rd.fail("a polygon mesh has the wrong vertex count");
    e = std::move(m);
  } else if (flags & 8) {
    std::vector<Point3d> pts;
    for (const auto& v : verts) if (!(v.flags & 16)) pts.push_back(v.p);
    e = std::make_unique<Polyline3d>(Polyline3d::Type::Simple, pts, flags & 1);
  } else {
    auto p = std::make_unique<Polyline2d>();
    p->setNormal(n);
    p->setElevation(elev);
    p->setClosed(flags & 1);
    p->setDefaultWidths(f.get(40), f.get(41));
    p->setThickness(f.get(39));
    for (const auto& v : verts)
      if (!(v.flags & 16)) p->appendVertex({{v.p.x, v.p.y, 0}, v.b, v.sw, v.ew});
    e = std::move(p);
  }
  return e;
}

void writePolyline2d(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& p = static_cast<const Polyline2d&>(e);
  w.entityHead("POLYLINE", me, e, owner, paper);
  w.str(100, "AcDb2dPolyline");
  w.integer(66, 1);
  w.point(10, {0, 0, p.elevation()});
  if (p.thickness() != 0) w.real(39, p.thickness());
  w.integer(70, p.isClosed() ? 1 : 0);
  if (p.defaultStartWidth() != 0) w.real(40, p.defaultStartWidth());
  if (p.defaultEndWidth() != 0) w.real(41, p.defaultEndWidth());
  w.integer(75, int(p.polyType()) == 0 ? 0 : int(p.polyType()) == 2 ? 5 : int(p.polyType()) == 3 ? 6 : 0);
  w.normal(p.normal());
  w.xdata(e);
  for (const auto& v : p.vertices()) {
    w.vertexHead(me, e, paper, "AcDb2dVertex");
    w.point(10, {v.position.x, v.position.y, p.elevation()});
    if (v.startWidth != 0) w.real(40, v.startWidth);
    if (v.endWidth != 0) w.real(41, v.endWidth);
    if (v.bulge != 0) w.real(42, v.bulge);
    w.integer(70, 0);
  }
  w.seqend(me, e, paper);
}

void writePolyline3d(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& p = static_cast<const Polyline3d&>(e);
  w.entityHead("POLYLINE", me, e, owner, paper);
  w.str(100, "AcDb3dPolyline");
  w.integer(66, 1);
  w.point(10, {});
  w.integer(70, 8 | (p.isClosed() ? 1 : 0));
  w.xdata(e);
  w.vertices(me, e, paper, p.vertices(), "AcDb3dPolylineVertex", 32);
  w.seqend(me, e, paper);
}

void writePolygonMesh(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& p = static_cast<const PolygonMesh&>(e);
  w.entityHead("POLYLINE", me, e, owner, paper);
  w.str(100, "AcDbPolygonMesh");
  w.integer(66, 1);
  w.point(10, {});
  w.integer(70, 16 | (p.isMClosed() ? 1 : 0) | (p.isNClosed() ? 32 : 0));
  w.integer(71, p.mSize());
  w.integer(72, p.nSize());
  w.xdata(e);
  w.vertices(me, e, paper, p.vertices(), "AcDbPolygonMeshVertex", 64);
  w.seqend(me, e, paper);
}

void writeFaceMesh(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  std::vector<Point3d> verts;
  std::vector<PolyfaceMesh::Face> faces;
  ValueChain marker;
  if (e.kind() == Kind::PolyfaceMesh) {
    auto& p = static_cast<const PolyfaceMesh&>(e);
    verts = p.vertices();
    faces = p.faces();
  } else {
    auto& s = static_cast<const Solid3d&>(e);
    const auto& b = s.body();
    verts = b.vertices;
    marker.emplace_back(1001, std::wstring(kShapeApp));
    marker.emplace_back(1000, std::wstring(L"Solid3d"));
    for (const auto& f : b.faces) {
      marker.emplace_back(1071, int(f.size()));
      for (int i : f) marker.emplace_back(1071, i);
      // Faces of more than four corners become fans; inner edges are hidden.
      std::size_t n = f.size();
      if (n <= 4) {
        PolyfaceMesh::Face face{};
        for (std::size_t j = 0; j < n; ++j) face[j] = f[j] + 1;
        faces.push_back(face);
        continue;
      }
      for (std::size_t i = 1; i + 1 < n; ++i) {
        PolyfaceMesh::Face face{f[0] + 1, f[i] + 1, f[i + 1] + 1, 0};
        if (i > 1) face[0] = -face[0];
        if (i + 1 < n - 1) face[2] = -face[2];
        faces.push_back(face);
      }
    }
  }
  w.entityHead("POLYLINE", me, e, owner, paper);
  w.str(100, "AcDbPolyFaceMesh");
  w.integer(66, 1);
  w.point(10, {});
  w.integer(70, 64);
  w.integer(71, int(verts.size()));
  w.integer(72, int(faces.size()));
  w.xdata(e, marker.empty() ? nullptr : &marker);
  w.vertices(me, e, paper, verts, "AcDbPolyFaceMeshVertex", 192);
  for (const auto& f : faces) {
    w.subHead("VERTEX", me, paper, layerName(e));
    w.str(100, "AcDbFaceRecord");
    w.point(10, {});
    w.integer(70, 128);
    for (int i = 0; i < 4; ++i)
      if (f[std::size_t(i)] != 0) w.integer(71 + i, f[std::size_t(i)]);
  }
  w.seqend(me, e, paper);
}

// ---------------------------------------------------------------- Circles and arcs.

std::unique_ptr<Entity> readCircleOrArc(Fields& f) {
  const std::string& type = f.r.type;
  std::unique_ptr<Entity> e;
  Vector3d n = f.nrm();
  Point3d c = ocsToWorld(n, f.pt(10));
  double rad = f.get(40);
  if (!(rad > 0)) { f.rd.notices_.push_back(type + " with no radius skipped"); return nullptr; }
  if (type == "CIRCLE") {
    auto ci = std::make_unique<Circle>(c, n, rad);
    ci->setThickness(f.get(39));
    e = std::move(ci);
  } else {
    auto a = std::make_unique<Arc>(c, n, rad, f.get(50) * kDegToRad, f.get(51) * kDegToRad);
    a->setThickness(f.get(39));
    e = std::move(a);
  }
  return e;
}

void writeCircle(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& c = static_cast<const Circle&>(e);
  w.entityHead("CIRCLE", me, e, owner, paper);
  w.circleBody(c.center(), c.normal(), c.radius(), c.thickness());
  w.xdata(e);
}

void writeArc(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& a = static_cast<const Arc&>(e);
  w.entityHead("ARC", me, e, owner, paper);
  w.circleBody(a.center(), a.normal(), a.radius(), a.thickness());
  w.str(100, "AcDbArc");
  w.real(50, a.startAngle() * kRadToDeg);
  w.real(51, a.endAngle() * kRadToDeg);
  w.xdata(e);
}

// ---------------------------------------------------------------- Ellipses.

std::unique_ptr<Entity> readEllipse(Fields& f) {
  std::unique_ptr<Entity> e;
  auto el = std::make_unique<Ellipse>();
  Vector3d major = f.pt(11).asVector();
  double ratio = f.get(40, 1);
  if (el->set(f.pt(10), f.nrm(), major, ratio, f.get(41, 0), f.get(42, 2 * geom::kPi)) != Status::Ok) {
    f.rd.notices_.push_back("degenerate ELLIPSE skipped");
    return nullptr;
  }
  e = std::move(el);
  return e;
}

void writeEllipse(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& el = static_cast<const Ellipse&>(e);
  w.entityHead("ELLIPSE", me, e, owner, paper);
  w.str(100, "AcDbEllipse");
  w.point(10, el.center());
  w.vec(11, el.majorAxis());
  w.vec(210, el.normal());
  w.real(40, el.radiusRatio());
  w.real(41, el.startParam());
  w.real(42, el.endParam());
  w.xdata(e);
}

// ---------------------------------------------------------------- Splines.

std::unique_ptr<Entity> readSpline(Fields& f) {
  const auto& T = f.r.tags;
  std::unique_ptr<Entity> e;
  auto s = std::make_unique<Spline>();
  s->normal = f.nrm();
  s->flags = f.geti(70);
  s->degree = f.geti(71, 3);
  for (std::size_t i = 0; i < T.size(); ++i) {
    const Tag& t = T[i];
    if (t.code == 40) s->knots.push_back(Reader::num(t));
    else if (t.code == 41) s->weights.push_back(Reader::num(t));
    else if (t.code == 10) s->controlPoints.push_back({Reader::num(t), 0, 0});
    else if (t.code == 20 && !s->controlPoints.empty()) s->controlPoints.back().y = Reader::num(t);
    else if (t.code == 30 && !s->controlPoints.empty()) s->controlPoints.back().z = Reader::num(t);
    else if (t.code == 11) s->fitPoints.push_back({Reader::num(t), 0, 0});
    else if (t.code == 21 && !s->fitPoints.empty()) s->fitPoints.back().y = Reader::num(t);
    else if (t.code == 31 && !s->fitPoints.empty()) s->fitPoints.back().z = Reader::num(t);
  }
  e = std::move(s);
  return e;
}

void writeSpline(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& s = static_cast<const Spline&>(e);
  w.entityHead("SPLINE", me, e, owner, paper);
  w.str(100, "AcDbSpline");
  w.vec(210, s.normal);
  w.integer(70, s.flags);
  w.integer(71, s.degree);
  w.integer(72, int(s.knots.size()));
  w.integer(73, int(s.controlPoints.size()));
  w.integer(74, int(s.fitPoints.size()));
  for (double k : s.knots) w.real(40, k);
  for (double weight : s.weights) w.real(41, weight);
  for (const auto& p : s.controlPoints) w.point(10, p);
  for (const auto& p : s.fitPoints) w.point(11, p);
  w.xdata(e);
}

// ---------------------------------------------------------------- Texts, attribute definitions and attributes.

std::unique_ptr<Entity> readText(Fields& f) {
  const std::string& type = f.r.type;
  std::unique_ptr<Entity> e;
  std::unique_ptr<Text> tx;
  if (type == "TEXT") tx = std::make_unique<Text>();
  else if (type == "ATTDEF") tx = std::make_unique<AttributeDefinition>();
  else tx = std::make_unique<Attribute>();
  Vector3d n = f.nrm();
  tx->setNormal(n);
  tx->setPosition(ocsToWorld(n, f.pt(10)));
  tx->setAlignmentPoint(f.has(11) ? ocsToWorld(n, f.pt(11)) : tx->position());
  if (f.get(40) > 0) tx->setHeight(f.get(40));
  tx->setTextString(f.text(1));
  tx->setRotation(f.get(50) * kDegToRad);
  if (f.get(41, 1) > 0) tx->setWidthFactor(f.get(41, 1));
  tx->setOblique(f.get(51) * kDegToRad);
  tx->setGenerationFlags(f.geti(71));
  int hm = f.geti(72), vm = f.geti(type == "TEXT" ? 73 : 74);
  if (hm >= 0 && hm <= 5) tx->setHorizontalMode(hm);
  if (vm >= 0 && vm <= 3) tx->setVerticalMode(vm);
  tx->setThickness(f.get(39));
  tx->setTextStyle(f.styleOf());
  if (auto* ad = dynamic_cast<AttributeDefinition*>(tx.get())) {
    ad->setTag(f.text(2));
    ad->setPrompt(f.text(3));
    ad->setAttributeFlags(f.geti(70));
  } else if (auto* at = dynamic_cast<Attribute*>(tx.get())) {
    at->setTag(f.text(2));
    at->setAttributeFlags(f.geti(70));
  }
  e = std::move(tx);
  return e;
}

void writeText(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  w.entityHead("TEXT", me, e, owner, paper);
  w.textBody(static_cast<const Text&>(e), 73);
  w.xdata(e);
}

void writeAttributeDefinition(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& a = static_cast<const AttributeDefinition&>(e);
  w.entityHead("ATTDEF", me, e, owner, paper);
  w.attributeBody(a, "AcDbAttributeDefinition", &a.prompt());
  w.xdata(e);
}

void writeAttribute(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& a = static_cast<const Attribute&>(e);
  w.entityHead("ATTRIB", me, e, owner, paper);
  w.attributeBody(a, "AcDbAttribute", nullptr);
  w.xdata(e);
}

// ---------------------------------------------------------------- Multiline texts.

std::unique_ptr<Entity> readMText(Fields& f) {
  const auto& T = f.r.tags;
  std::unique_ptr<Entity> e;
  auto m = std::make_unique<MText>();
  Vector3d n = f.nrm();
  m->setNormal(n);
  m->setLocation(f.pt(10));
  if (f.get(40) > 0) m->setTextHeight(f.get(40));
  m->setWidth(f.get(41));
  int att = f.geti(71, 1);
  if (att >= 1 && att <= 9) m->setAttachment(att);
  std::string contents;
  for (const auto& t : T) if (t.code == 3) contents += std::string(t.value);
  for (const auto& t : T) if (t.code == 1) contents += std::string(t.value);
  bool bad = false;
  m->setContents(fromUtf8(unescape(contents), &bad));
  if (bad) f.rd.notices_.push_back("invalid UTF-8 in MTEXT replaced");
  if (f.has(11)) { Vector3d d = f.pt(11).asVector(); if (!d.isZeroLength()) m->setDirection(d); }
  else if (f.has(50)) m->setRotation(f.get(50) * kDegToRad);
  if (f.get(44, 1) > 0) m->setLineSpacingFactor(f.get(44, 1));
  m->setTextStyle(f.styleOf());
  e = std::move(m);
  return e;
}

void writeMText(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& m = static_cast<const MText&>(e);
  w.entityHead("MTEXT", me, e, owner, paper);
  w.str(100, "AcDbMText");
  w.point(10, m.location());
  w.real(40, m.textHeight());
  w.real(41, m.width());
  w.integer(71, m.attachment());
  w.integer(72, 1);
  std::string text = escapeText(toUtf8(m.contents()));
  // Long contents go in pieces of 250 bytes (not splitting a character).
  std::size_t pos = 0;
  while (text.size() - pos > 250) {
    std::size_t cut = pos + 250;
    while (cut > pos && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    w.str(3, std::string_view(text).substr(pos, cut - pos));
    pos = cut;
  }
  w.str(1, std::string_view(text).substr(pos));
  w.wstr(7, w.styleName(m.textStyle()));
  w.normal(m.normal());
  w.vec(11, m.direction());
  w.integer(73, 1);
  w.real(44, m.lineSpacingFactor());
  w.xdata(e);
}

// ---------------------------------------------------------------- Block references with their attributes.

std::unique_ptr<Entity> readInsert(Fields& f) {
  std::unique_ptr<Entity> e;
  auto b = std::make_unique<BlockReference>();
  Vector3d n = f.nrm();
  b->setNormal(n);
  b->setPosition(ocsToWorld(n, f.pt(10)));
  Scale3d s{f.get(41, 1), f.get(42, 1), f.get(43, 1)};
  if (s.sx == 0 || s.sy == 0 || s.sz == 0) { f.rd.notices_.push_back("INSERT with a zero scale corrected"); s = {s.sx ? s.sx : 1, s.sy ? s.sy : 1, s.sz ? s.sz : 1}; }
  b->setScaleFactors(s);
  b->setRotation(f.get(50) * kDegToRad);
  std::wstring name = f.text(2);
  if (name.empty()) f.rd.fail("an INSERT names no block");
  e = std::move(b);
  // The name is resolved when the whole file is read (blocks may follow).
  f.rd.insertRefs_.push_back({ObjectId(), name});
  if (f.get(66) != 0 && f.attrs) {
    Tag t;
    while (f.rd.tok_.peek().code == 0 && f.rd.tok_.peek().value == "ATTRIB") {
      f.rd.tok_.next(t);
      Record ar;
      ar.type = "ATTRIB";
      auto a = f.rd.entity(ar, nullptr);
      if (!a) continue;
      f.rd.common(*a, ar);
      f.rd.applyXData(*a, ar, nullptr);
      f.attrs->push_back(std::unique_ptr<Attribute>(static_cast<Attribute*>(a.release())));
      f.rd.attrHandles_.push_back(ar.handle);
      f.rd.attrXdicts_.push_back(ar.xdict);
    }
    if (f.rd.tok_.peek().code == 0 && f.rd.tok_.peek().value == "SEQEND") {
      f.rd.tok_.next(t);
      Record sr;
      sr.type = "SEQEND";
      f.rd.readRecord(sr);
    }
  }
  return e;
}

void writeInsert(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& b = static_cast<const BlockReference&>(e);
  std::vector<const Attribute*> attrs;
  for (ObjectId a : b.attributeIds())
    if (auto* attr = w.get<Attribute>(a); attr && w.live(a)) attrs.push_back(attr);
  if (b.blockName().empty()) throw WriteError{"block reference " + Handle(me).textUtf8() + " names no block"};
  w.entityHead("INSERT", me, e, owner, paper);
  w.str(100, "AcDbBlockReference");
  if (!attrs.empty()) w.integer(66, 1);
  w.wstr(2, b.blockName());
  w.point(10, worldToOcs(b.normal(), b.position()));
  const Scale3d& s = b.scaleFactors();
  if (s.sx != 1) w.real(41, s.sx);
  if (s.sy != 1) w.real(42, s.sy);
  if (s.sz != 1) w.real(43, s.sz);
  if (b.rotation() != 0) w.real(50, normAngle(b.rotation()) * kRadToDeg);
  w.normal(b.normal());
  w.xdata(e);
  if (!attrs.empty()) {
    for (auto* a : attrs) w.entity(*a, me, paper);
    w.seqend(me, e, paper);
  }
}

// ---------------------------------------------------------------- Hatches.

std::unique_ptr<Entity> readHatch(Fields& f) {
  const auto& T = f.r.tags;
  std::unique_ptr<Entity> e;
  auto h = std::make_unique<Hatch>();
  h->setNormal(f.nrm());
  h->setElevation(f.get(30));
  std::wstring pattern = f.text(2);
  int patternType = f.geti(76, 1);
  h->setPattern(patternType >= 0 && patternType <= 2 ? patternType : 1, pattern.empty() ? L"SOLID" : pattern);
  h->setAssociative(f.get(71) != 0);
  if (f.get(41, 1) > 0) h->setPatternScale(f.get(41, 1));
  h->setPatternAngle(f.get(52) * kDegToRad);
  std::size_t i = 0;
  while (i < T.size() && T[i].code != 91) ++i;
  int loops = i < T.size() ? Reader::inum32(T[i++]) : 0;
  std::vector<Hatch::Loop> parsed;
  for (int L = 0; L < loops; ++L) {
    while (i < T.size() && T[i].code != 92) ++i;
    if (i >= T.size()) f.rd.fail("a HATCH loop is missing");
    Hatch::Loop loop;
    loop.type = Reader::inum32(T[i++]);
    std::vector<std::uint64_t> srcs;
    if (loop.type & Hatch::kPolyline) {
      bool bul = false;
      int n = 0;
      while (i < T.size() && T[i].code != 10) {
        if (T[i].code == 72) bul = Reader::inum(T[i]) != 0;
        if (T[i].code == 93) n = Reader::inum32(T[i]);
        ++i;
      }
      for (int k = 0; k < n && i < T.size(); ++k) {
        Point2d p{Reader::num(T[i]), 0};
        ++i;
        if (i < T.size() && T[i].code == 20) p.y = Reader::num(T[i++]);
        double bu = 0;
        if (bul && i < T.size() && T[i].code == 42) bu = Reader::num(T[i++]);
        loop.vertices.push_back(p);
        loop.bulges.push_back(bu);
      }
    } else {
      // Edge loops: lines and arcs become vertices with bulges.
      int edges = 0;
      while (i < T.size() && T[i].code != 93) ++i;
      if (i < T.size()) edges = Reader::inum32(T[i++]);
      for (int k = 0; k < edges; ++k) {
        while (i < T.size() && T[i].code != 72) ++i;
        if (i >= T.size()) break;
        int et = Reader::inum32(T[i++]);
        auto val = [&](int code) { while (i < T.size() && T[i].code != code) ++i; return i < T.size() ? Reader::num(T[i++]) : 0.0; };
        if (et == 1) {
          Point2d a{val(10), val(20)};
          val(11); val(21);
          loop.vertices.push_back(a);
          loop.bulges.push_back(0);
        } else if (et == 2) {
          Point2d c{val(10), val(20)};
          double rr = val(40), s0 = val(50) * kDegToRad, s1 = val(51) * kDegToRad;
          bool ccw = val(73) != 0;
          if (!ccw) { s0 = -s0; s1 = -s1; }
          double sweep = normAngle(s1 - s0);
          if (sweep == 0) sweep = 2 * geom::kPi;
          loop.vertices.push_back({c.x + rr * std::cos(s0), c.y + rr * std::sin(s0)});
          loop.bulges.push_back(std::tan(sweep / 4) * (ccw ? 1 : -1));
        } else {
          f.rd.notices_.push_back("a HATCH edge of a kind we do not model was skipped");
        }
      }
    }
    while (i < T.size() && T[i].code != 97) ++i;
    int ns = i < T.size() ? Reader::inum32(T[i++]) : 0;
    for (int k = 0; k < ns && i < T.size() && T[i].code == 330; ++k) srcs.push_back(Reader::hnum(T[i++]));
    parsed.push_back(loop);
    if (!srcs.empty()) f.rd.hatchRefs_.push_back({ObjectId(), parsed.size() - 1, srcs});
  }
  for (auto& l : parsed) {
    if (l.vertices.size() < 2) continue;
    h->appendLoop(l.type & ~Hatch::kPolyline, l.vertices, l.bulges);
  }
  e = std::move(h);
  return e;
}

void writeHatch(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& ht = static_cast<const Hatch&>(e);
  w.entityHead("HATCH", me, e, owner, paper);
  w.str(100, "AcDbHatch");
  w.point(10, {0, 0, ht.elevation()});
  w.vec(210, ht.normal());
  w.wstr(2, ht.patternName());
  w.integer(70, ht.isSolidFill() ? 1 : 0);
  bool assoc = ht.associative();
  for (const auto& l : ht.loops())
    for (ObjectId s : l.sources) assoc = assoc && w.live(s);
  w.integer(71, assoc ? 1 : 0);
  w.integer(91, ht.numLoops());
  for (const auto& l : ht.loops()) {
    w.integer(92, l.type | Hatch::kPolyline);
    bool bulges = false;
    for (double bu : l.bulges) bulges = bulges || bu != 0;
    w.integer(72, bulges ? 1 : 0);
    w.integer(73, 1);
    w.integer(93, int(l.vertices.size()));
    for (std::size_t i = 0; i < l.vertices.size(); ++i) {
      w.real(10, l.vertices[i].x);
      w.real(20, l.vertices[i].y);
      if (bulges) w.real(42, i < l.bulges.size() ? l.bulges[i] : 0);
    }
    int n = 0;
    for (ObjectId s : l.sources) n += (assoc && w.live(s)) ? 1 : 0;
    w.integer(97, n);
    if (assoc)
      for (ObjectId s : l.sources) w.handle(330, w.h(s));
  }
  w.integer(75, 1);
  w.integer(76, ht.patternType());
  if (!ht.isSolidFill()) {
    w.real(52, ht.patternAngle() * kRadToDeg);
    w.real(41, ht.patternScale());
    w.integer(77, 0);
    w.integer(78, 0);
  }
  w.integer(98, 0);
  w.xdata(e);
}

// ---------------------------------------------------------------- Filled triangles and quadrilaterals.

std::unique_ptr<Entity> readSolid(Fields& f) {
  std::unique_ptr<Entity> e;
  Vector3d n = f.nrm();
  auto s = std::make_unique<Solid2d>(ocsToWorld(n, f.pt(10)), ocsToWorld(n, f.pt(11)), ocsToWorld(n, f.pt(12)),
                                     f.has(13) ? ocsToWorld(n, f.pt(13)) : ocsToWorld(n, f.pt(12)));
  s->setNormal(n);
  s->setThickness(f.get(39));
  e = std::move(s);
  return e;
}

void writeSolid(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& s = static_cast<const Solid2d&>(e);
  w.entityHead("SOLID", me, e, owner, paper);
  w.str(100, "AcDbTrace");
  for (int i = 0; i < 4; ++i) {
    Point3d p;
    s.getPointAt(i, p);
    w.point(10 + i, worldToOcs(s.normal(), p));
  }
  if (s.thickness() != 0) w.real(39, s.thickness());
  w.normal(s.normal());
  w.xdata(e);
}

// ---------------------------------------------------------------- Raster images.

std::unique_ptr<Entity> readImage(Fields& f) {
  const auto& T = f.r.tags;
  std::unique_ptr<Entity> e;
  auto im = std::make_unique<RasterImage>();
  im->setOrientation(f.pt(10), f.pt(11).asVector(), f.pt(12).asVector());
  if (f.get(13) > 0 && f.get(23) > 0) im->setImageSize({f.get(13), f.get(23)});
  im->setDisplayOptions(f.geti(70, 7));
  for (const auto& t : T)
    if (t.code == 340) f.rd.imageRefs_.push_back({ObjectId(), Reader::hnum(t)});
  e = std::move(im);
  return e;
}

void writeImage(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& im = static_cast<const RasterImage&>(e);
  w.entityHead("IMAGE", me, e, owner, paper);
  w.str(100, "AcDbRasterImage");
  w.integer(90, 0);
  w.point(10, im.origin());
  w.vec(11, im.uVector());
  w.vec(12, im.vVector());
  w.real(13, im.imageSize().x);
  w.real(23, im.imageSize().y);
  w.handle(340, w.live(im.imageDefId()) ? w.h(im.imageDefId()) : 0);
  w.integer(70, im.displayOptions());
  w.integer(280, 0);
  w.integer(281, 50);
  w.integer(282, 50);
  w.integer(283, 0);
  w.integer(71, 1);
  w.integer(91, 2);
  w.real(14, -0.5);
  w.real(24, -0.5);
  w.real(14, im.imageSize().x - 0.5);
  w.real(24, im.imageSize().y - 0.5);
  w.xdata(e);
}

// ---------------------------------------------------------------- Points.

std::unique_ptr<Entity> readPoint(Fields& f) {
  std::unique_ptr<Entity> e;
  auto p = std::make_unique<PointEntity>(f.pt(10));
  p->setNormal(f.nrm());
  p->setThickness(f.get(39));
  e = std::move(p);
  return e;
}

void writePoint(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& p = static_cast<const PointEntity&>(e);
  w.entityHead("POINT", me, e, owner, paper);
  w.str(100, "AcDbPoint");
  w.point(10, p.position());
  if (p.thickness() != 0) w.real(39, p.thickness());
  w.normal(p.normal());
  w.xdata(e);
}

// ---------------------------------------------------------------- Regions: written as a closed polyline of the outer loop with the loops in a marker.

void writeRegion(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  // Shown as a closed polyline of its outer loop; the loops ride in the marker.
  auto& r = static_cast<const Region&>(e);
  ValueChain marker{{1001, std::wstring(kShapeApp)}, {1000, std::wstring(L"Region")}};
  marker.emplace_back(1010, Point3d(r.normal().x, r.normal().y, r.normal().z));
  for (const auto& l : r.loops()) {
    marker.emplace_back(1071, int(l.vertices.size()));
    for (std::size_t i = 0; i < l.vertices.size(); ++i) {
      marker.emplace_back(1010, l.vertices[i]);
      marker.emplace_back(1040, i < l.bulges.size() ? l.bulges[i] : 0.0);
    }
  }
  w.entityHead("LWPOLYLINE", me, e, owner, paper);
  w.str(100, "AcDbPolyline");
  const Region::Loop* outer = r.loops().empty() ? nullptr : &r.loops().front();
  w.integer(90, outer ? int(outer->vertices.size()) : 0);
  w.integer(70, 1);
  if (outer) {
    Point3d o0 = worldToOcs(r.normal(), outer->vertices.front());
    if (o0.z != 0) w.real(38, o0.z);
    for (std::size_t i = 0; i < outer->vertices.size(); ++i) {
      Point3d o = worldToOcs(r.normal(), outer->vertices[i]);
      w.real(10, o.x);
      w.real(20, o.y);
      double bu = i < outer->bulges.size() ? outer->bulges[i] : 0;
      if (bu != 0) w.real(42, bu);
    }
  }
  w.normal(r.normal());
  w.xdata(e, &marker);
}

std::unique_ptr<Entity> regionFromMarker(Reader& rd, std::unique_ptr<Entity> e, const ValueChain& shape) {
  auto reg = std::make_unique<Region>();
  reg->copyPropertiesFrom(*e);
  DbObject::Internal::layerId(*reg) = e->layerId();
  DbObject::Internal::xdata(*reg) = DbObject::Internal::xdata(*e);
  std::vector<Region::Loop> loops;
  std::size_t i = 2;
  if (i < shape.size() && shape[i].code == 1010) {
    Point3d n = shape[i++].point();
    reg->setNormal(Vector3d(n.x, n.y, n.z));
  }
  while (i < shape.size() && shape[i].code == 1071) {
    int n = int(shape[i++].integer());
    Region::Loop l;
    for (int k = 0; k < n && i + 1 < shape.size(); ++k) {
      l.vertices.push_back(shape[i++].point());
      l.bulges.push_back(shape[i++].real());
    }
    loops.push_back(std::move(l));
  }
  if (reg->setLoops(std::move(loops)) != Status::Ok) rd.fail("a region marker is damaged");
  return reg;
}

// ---------------------------------------------------------------- 3D solids: read back from the face mesh's marker.

std::unique_ptr<Entity> solidFromMarker(Reader& rd, std::unique_ptr<Entity> e, const ValueChain& shape) {
  auto* pf = dynamic_cast<PolyfaceMesh*>(e.get());
  if (!pf) rd.fail("a solid marker sits on the wrong entity");
  Solid3d::Body b;
  b.vertices = pf->vertices();
  std::size_t i = 2;
  while (i < shape.size()) {
    int n = int(shape[i++].integer());
    std::vector<int> f;
    for (int k = 0; k < n && i < shape.size(); ++k) f.push_back(int(shape[i++].integer()));
    b.faces.push_back(std::move(f));
  }
  auto s = std::make_unique<Solid3d>();
  s->copyPropertiesFrom(*e);
  DbObject::Internal::layerId(*s) = e->layerId();
  DbObject::Internal::xdata(*s) = DbObject::Internal::xdata(*e);
  if (s->setBody(std::move(b)) != Status::Ok) rd.fail("a solid marker is damaged");
  return s;
}

// ---------------------------------------------------------------- Entities of kinds we do not model, kept as they came.

void writeUnknown(Writer& w, const Entity& e, const Place& at) {
  [[maybe_unused]] std::uint64_t me = at.me, owner = at.owner;
  [[maybe_unused]] bool paper = at.paper;
  auto& u = static_cast<const UnknownEntity&>(e);
  w.str(0, u.dxfType);
  w.ownHandle(5, me);
  w.extDictRef(e);
  w.handle(330, owner);
  for (const auto& t : u.tags) w.str(t.code, t.value);
  w.xdata(e);
}

// Every entity kind: the DXF types read into it, how it is read and written,
// and the marker that turns a read stand-in into it. A new kind is one unit
// above and one row here.
const EntityKind kKinds[] = {
    {Kind::Line, {"LINE"}, readLine, writeLine},
    {Kind::Polyline, {"LWPOLYLINE"}, readLwPolyline, writePolyline},
    {Kind::Polyline2d, {"POLYLINE"}, readPolyline, writePolyline2d},
    {Kind::Polyline3d, {}, nullptr, writePolyline3d},
    {Kind::PolygonMesh, {}, nullptr, writePolygonMesh},
    {Kind::PolyfaceMesh, {}, nullptr, writeFaceMesh},
    {Kind::Circle, {"CIRCLE"}, readCircleOrArc, writeCircle},
    {Kind::Arc, {"ARC"}, readCircleOrArc, writeArc},
    {Kind::Ellipse, {"ELLIPSE"}, readEllipse, writeEllipse},
    {Kind::Spline, {"SPLINE"}, readSpline, writeSpline},
    {Kind::Text, {"TEXT"}, readText, writeText},
    {Kind::AttributeDefinition, {"ATTDEF"}, readText, writeAttributeDefinition},
    {Kind::Attribute, {"ATTRIB"}, readText, writeAttribute},
    {Kind::MText, {"MTEXT"}, readMText, writeMText},
    {Kind::BlockReference, {"INSERT"}, readInsert, writeInsert},
    {Kind::Hatch, {"HATCH"}, readHatch, writeHatch},
    {Kind::Solid2d, {"SOLID", "TRACE"}, readSolid, writeSolid},
    {Kind::Region, {}, nullptr, writeRegion, L"Region", regionFromMarker},
    {Kind::RasterImage, {"IMAGE"}, readImage, writeImage},
    {Kind::Point, {"POINT"}, readPoint, writePoint},
    {Kind::Solid3d, {}, nullptr, writeFaceMesh, L"Solid3d", solidFromMarker},
    {Kind::Body3d, {}, nullptr, writeBody3d, L"Body3d", body3dFromMarker},
    {Kind::UnknownEntity, {}, nullptr, writeUnknown},
};

}  // namespace

const EntityKind* kindForType(std::string_view dxfType) {
  for (const auto& k : kKinds)
    for (const char* t : k.types)
      if (t && dxfType == t) return &k;
  return nullptr;
}

const EntityKind* kindFor(Kind kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return &k;
  return nullptr;
}

const EntityKind* kindForMarker(std::wstring_view marker) {
  for (const auto& k : kKinds)
    if (k.marker && marker == k.marker) return &k;
  return nullptr;
}

}  // namespace cad::dxf
