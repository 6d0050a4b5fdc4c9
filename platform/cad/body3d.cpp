// The 3D body entity and its DXF form.
#include "platform/cad/body3d.h"

#include "platform/cad/dxf_body3d.h"
#include "platform/cad/internal.h"

namespace cad {

Status Body3d::setBody(solid::Body body) {
  if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
  body_ = std::move(body);
  faces_.reset();
  return Status::Ok;
}

const Solid3d::Body& Body3d::faces() const {
  if (!faces_) {
    auto f = std::make_shared<Solid3d::Body>();
    solid::Mesh m = body_.mesh(1.0);
    f->vertices = std::move(m.vertices);
    for (const auto& t : m.triangles) f->faces.push_back({t[0], t[1], t[2]});
    faces_ = std::move(f);
  }
  return *faces_;
}

Status Body3d::transformBy(const Matrix3d& m) {
  if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
  solid::Body moved = body_;
  try {
    moved.transformBy(m);
  } catch (const solid::ModelError&) {
    return Status::NotApplicable;
  }
  return setBody(std::move(moved));
}

Status Body3d::getGeomExtents(Extents3d& ext) const {
  ext = {};
  // The body's quick box, kept with the body: asked for by the drawing's
  // spatial index after every change and by every dump, so never the
  // modeller's slow smallest box.
  Point3d lo, hi;
  if (!body_.box(lo, hi)) return Status::NotApplicable;
  ext.add(lo);
  ext.add(hi);
  return Status::Ok;
}

namespace dxf {

namespace {

// The body's text goes into the marker in pieces that DXF can carry: line
// ends become ';' and no piece starts or ends with a space.
constexpr std::size_t kPiece = 240;

void appendText(ValueChain& marker, const std::string& text) {
  std::wstring all;
  all.reserve(text.size());
  for (char c : text) all.push_back(c == '\n' ? L';' : wchar_t(static_cast<unsigned char>(c)));
  std::size_t at = 0;
  while (at < all.size()) {
    std::size_t end = std::min(all.size(), at + kPiece);
    while (end < all.size() && end > at + 1 && (all[end - 1] == L' ' || all[end] == L' ')) --end;
    marker.emplace_back(1000, all.substr(at, end - at));
    at = end;
  }
}

}  // namespace

void writeBody3d(Writer& w, const Entity& e, const Place& at) {
  auto& b = static_cast<const Body3d&>(e);
  const Solid3d::Body& f = b.faces();
  ValueChain marker;
  marker.emplace_back(1001, std::wstring(kShapeApp));
  marker.emplace_back(1000, std::wstring(L"Body3d"));
  appendText(marker, b.body().save());
  w.entityHead("POLYLINE", at.me, e, at.owner, at.paper);
  w.str(100, "AcDbPolyFaceMesh");
  w.integer(66, 1);
  w.point(10, {});
  w.integer(70, 64);
  w.integer(71, int(f.vertices.size()));
  w.integer(72, int(f.faces.size()));
  w.xdata(e, &marker);
  w.vertices(at.me, e, at.paper, f.vertices, "AcDbPolyFaceMeshVertex", 192);
  for (const auto& face : f.faces) {
    w.subHead("VERTEX", at.me, at.paper, layerName(e));
    w.str(100, "AcDbFaceRecord");
    w.point(10, {});
    w.integer(70, 128);
    for (std::size_t i = 0; i < face.size() && i < 4; ++i) w.integer(71 + int(i), face[i] + 1);
  }
  w.seqend(at.me, e, at.paper);
}

std::unique_ptr<Entity> body3dFromMarker(Reader& rd, std::unique_ptr<Entity> e, const ValueChain& shape) {
  if (!dynamic_cast<PolyfaceMesh*>(e.get())) rd.fail("a body marker sits on the wrong entity");
  std::string text;
  for (std::size_t i = 2; i < shape.size(); ++i)
    for (wchar_t c : shape[i].str()) text.push_back(c == L';' ? '\n' : char(c));
  auto b = std::make_unique<Body3d>();
  try {
    b->setBody(solid::Body::load(text));
  } catch (const solid::ModelError&) {
    rd.fail("a body marker is damaged");
  }
  b->copyPropertiesFrom(*e);
  DbObject::Internal::layerId(*b) = e->layerId();
  DbObject::Internal::xdata(*b) = DbObject::Internal::xdata(*e);
  return b;
}

}  // namespace dxf

}  // namespace cad
