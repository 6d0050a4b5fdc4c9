// Writing a database as DXF text (R2007 layout, UTF-8).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/cad/geomutil.h"
#include "platform/cad/internal.h"

namespace cad {

using namespace gu;

// The application name of the markers that carry what standard DXF cannot
// say (region loops, solid bodies).
extern const wchar_t* const kShapeApp;
const wchar_t* const kShapeApp = L"KIV_SHAPE";

namespace {

constexpr double kRadToDeg = 180.0 / geom::kPi;

// Text values may not hold line breaks: control characters are written in
// caret form (^J), and a caret itself as "^ ".
std::string escapeText(const std::string& s) {
  std::string r;
  bool needs = false;
  for (char c : s)
    if (static_cast<unsigned char>(c) < 32 || c == '^') { needs = true; break; }
  if (!needs) return s;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32) { r += '^'; r += char(u + 64); }
    else if (c == '^') r += "^ ";
    else r += c;
  }
  return r;
}

class Writer {
 public:
  explicit Writer(const Database& db) : db_(db), d_(db.impl()) {
    next_ = d_.nextHandle;
    out_.reserve(1 << 20);
  }

  std::string run();

 private:
  const Database& db_;
  const Database::Impl& d_;
  std::string out_;
  std::uint64_t next_;
  char buf_[64];

  std::uint64_t fresh() { return next_++; }
  void code(int c) {
    int n = std::snprintf(buf_, sizeof buf_, "%3d\n", c);
    out_.append(buf_, std::size_t(n));
  }
  void str(int c, std::string_view v) {
    code(c);
    out_.append(v);
    out_ += '\n';
  }
  void wstr(int c, const std::wstring& v) { str(c, escapeText(toUtf8(v))); }
  void integer(int c, long long v) {
    code(c);
    int n = std::snprintf(buf_, sizeof buf_, "%lld\n", v);
    out_.append(buf_, std::size_t(n));
  }
  void real(int c, double v) {
    code(c);
    if (v == 0) v = 0;  // no "-0"
    int n = std::snprintf(buf_, sizeof buf_, "%.17g", v);
    // Keep a decimal point so that readers see a real.
    if (!std::memchr(buf_, '.', std::size_t(n)) && !std::memchr(buf_, 'e', std::size_t(n)) &&
        !std::memchr(buf_, 'n', std::size_t(n)) && !std::memchr(buf_, 'i', std::size_t(n))) {
      buf_[n++] = '.';
      buf_[n++] = '0';
    }
    buf_[n++] = '\n';
    out_.append(buf_, std::size_t(n));
  }
  void point(int c, const Point3d& p, bool z = true) {
    real(c, p.x);
    real(c + 10, p.y);
    if (z) real(c + 20, p.z);
  }
  void vec(int c, const Vector3d& v) { point(c, Point3d(v.x, v.y, v.z)); }
  void handle(int c, std::uint64_t h) {
    code(c);
    int n = std::snprintf(buf_, sizeof buf_, "%llX\n", static_cast<unsigned long long>(h));
    out_.append(buf_, std::size_t(n));
  }
  void normal(const Vector3d& n) {
    if (!isZAxis(n)) vec(210, n);
  }

  std::uint64_t h(ObjectId id) const { return id.handle().value; }
  template <class T>
  const T* get(ObjectId id) const {
    Slot* s = const_cast<Database::Impl&>(d_).slot(id);
    return s && !s->vanished ? static_cast<const T*>(s->obj.get()) : nullptr;
  }
  bool live(ObjectId id) const {
    Slot* s = const_cast<Database::Impl&>(d_).slot(id);
    return s && !s->vanished && !s->obj->isErased();
  }
  std::wstring styleName(ObjectId id) const {
    auto* s = get<TextStyleRecord>(id);
    return s && s->kind() == Kind::TextStyleRecord ? s->name() : std::wstring(kStandardStyle);
  }

  void header();
  void classes();
  void tables();
  void tableHead(const char* name, std::uint64_t handle, int count, const char* subclass = nullptr);
  void blocks();
  void entities();
  void objects();
  void xdata(const DbObject& o, const ValueChain* extra = nullptr);
  void extDictRef(const DbObject& o);
  void entityHead(const char* type, std::uint64_t handle, const Entity& e, std::uint64_t owner, bool paper);
  void entity(const Entity& e, std::uint64_t owner, bool paper);
  void textBody(const Text& t, int vertCode);
  void seqend(std::uint64_t owner, const Entity& e, bool paper);
  void vertexHead(std::uint64_t owner, const Entity& e, bool paper, const char* sub);
  void subHead(const char* type, std::uint64_t owner, bool paper, const std::wstring& layer);
  void vertices(std::uint64_t owner, const Entity& e, bool paper, const std::vector<Point3d>& pts, const char* sub,
                int flags);
  void circleBody(const Point3d& center, const Vector3d& n, double radius, double thickness);
  template <class A>
  void attributeBody(const A& a, const char* sub, const std::wstring* prompt);
  void object(const DbObject& o, std::uint64_t owner);

  std::uint64_t groupDict_ = 0, layoutDict_ = 0, modelLayout_ = 0, paperLayout_ = 0, imageDict_ = 0;
  std::uint64_t vportTable_ = 0, viewTable_ = 0, ucsTable_ = 0, dimTable_ = 0, dimStandard_ = 0, vportActive_ = 0;
  std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> imageReactors_;  // def -> images
  std::vector<ObjectId> looseImageDefs_;
};

void Writer::header() {
  str(0, "SECTION");
  str(2, "HEADER");
  str(9, "$ACADVER");
  str(1, "AC1021");
  str(9, "$DWGCODEPAGE");
  str(3, "ANSI_936");
  str(9, "$INSBASE");
  point(10, {});
  str(9, "$INSUNITS");
  integer(70, d_.header.insunits);
  str(9, "$MEASUREMENT");
  integer(70, 1);
  str(9, "$LTSCALE");
  real(40, d_.header.ltscale);
  auto* cl = get<LayerRecord>(d_.header.clayer);
  str(9, "$CLAYER");
  wstr(8, cl ? cl->name() : std::wstring(L"0"));
  str(9, "$CELTYPE");
  auto* lt = get<LinetypeRecord>(d_.header.celtype);
  wstr(6, lt ? lt->name() : std::wstring(L"ByLayer"));
  str(9, "$TEXTSTYLE");
  wstr(7, styleName(d_.header.textstyle));
  str(9, "$DIMTXSTY");
  wstr(7, d_.header.dimtxsty);
  str(9, "$HANDSEED");
  handle(5, 0);  // patched at the end
  str(0, "ENDSEC");
}

void Writer::classes() {
  str(0, "SECTION");
  str(2, "CLASSES");
  str(0, "CLASS");
  str(1, "IMAGE");
  str(2, "AcDbRasterImage");
  str(3, "ISM");
  integer(90, 2175);
  integer(91, 0);
  integer(280, 0);
  integer(281, 1);
  str(0, "CLASS");
  str(1, "IMAGEDEF");
  str(2, "AcDbRasterImageDef");
  str(3, "ISM");
  integer(90, 0);
  integer(91, 0);
  integer(280, 0);
  integer(281, 0);
  str(0, "ENDSEC");
}

void Writer::tableHead(const char* name, std::uint64_t handle_, int count, const char* subclass) {
  str(0, "TABLE");
  str(2, name);
  handle(5, handle_);
  handle(330, 0);
  str(100, "AcDbSymbolTable");
  integer(70, count);
  if (subclass) str(100, subclass);
}

void Writer::tables() {
  str(0, "SECTION");
  str(2, "TABLES");

  vportTable_ = fresh();
  vportActive_ = fresh();
  tableHead("VPORT", vportTable_, 1);
  str(0, "VPORT");
  handle(5, vportActive_);
  handle(330, vportTable_);
  str(100, "AcDbSymbolTableRecord");
  str(100, "AcDbViewportTableRecord");
  str(2, "*Active");
  integer(70, 0);
  point(10, {0, 0}, false);
  point(11, {1, 1}, false);
  point(12, {0, 0}, false);
  point(13, {0, 0}, false);
  point(14, {10, 10}, false);
  point(15, {10, 10}, false);
  vec(16, {0, 0, 1});
  point(17, {0, 0, 0});
  real(40, 1000);
  real(41, 1.5);
  real(42, 50);
  real(43, 0);
  real(44, 0);
  real(50, 0);
  real(51, 0);
  integer(71, 0);
  integer(72, 1000);
  integer(73, 1);
  integer(74, 3);
  integer(75, 0);
  integer(76, 0);
  integer(77, 0);
  integer(78, 0);
  str(0, "ENDTAB");

  auto records = [&](ObjectId table) {
    std::vector<const SymbolTableRecord*> r;
    for (ObjectId id : get<SymbolTable>(table)->recordIds(true)) r.push_back(get<SymbolTableRecord>(id));
    return r;
  };

  auto lts = records(d_.linetypeTable);
  tableHead("LTYPE", h(d_.linetypeTable), int(lts.size()));
  for (auto* r : lts) {
    auto* l = static_cast<const LinetypeRecord*>(r);
    str(0, "LTYPE");
    handle(5, h(l->objectId()));
    handle(330, h(d_.linetypeTable));
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbLinetypeTableRecord");
    wstr(2, l->name());
    integer(70, 0);
    wstr(3, l->description());
    integer(72, 65);
    integer(73, int(l->dashes().size()));
    real(40, l->patternLength());
    for (double dash : l->dashes()) {
      real(49, dash);
      integer(74, 0);
    }
  }
  str(0, "ENDTAB");

  auto layers = records(d_.layerTable);
  tableHead("LAYER", h(d_.layerTable), int(layers.size()));
  for (auto* r : layers) {
    auto* l = static_cast<const LayerRecord*>(r);
    str(0, "LAYER");
    handle(5, h(l->objectId()));
    extDictRef(*l);
    handle(330, h(d_.layerTable));
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbLayerTableRecord");
    wstr(2, l->name());
    integer(70, (l->isFrozen() ? 1 : 0) | (l->isLocked() ? 4 : 0) | (l->VPDFLT() ? 2 : 0));
    int ci = l->color().colorIndex();
    if (ci < 1 || ci > 255) ci = 7;
    integer(62, l->isOff() ? -ci : ci);
    if (l->color().isByRgb()) integer(420, l->color().rgb().packed());
    ObjectId ltId = db_.linetypeId(l->linetype());
    wstr(6, ltId.isNull() ? std::wstring(kContinuous) : get<LinetypeRecord>(ltId)->name());
    if (!l->isPlottable()) integer(290, 0);
    integer(370, l->lineWeight());
    handle(390, 0);
    xdata(*l);
  }
  str(0, "ENDTAB");

  auto styles = records(d_.textStyleTable);
  tableHead("STYLE", h(d_.textStyleTable), int(styles.size()));
  for (auto* r : styles) {
    auto* s = static_cast<const TextStyleRecord*>(r);
    str(0, "STYLE");
    handle(5, h(s->objectId()));
    handle(330, h(d_.textStyleTable));
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbTextStyleTableRecord");
    wstr(2, s->name());
    integer(70, 0);
    real(40, s->textSize());
    real(41, s->xScale());
    real(50, s->obliquingAngle() * kRadToDeg);
    integer(71, 0);
    real(42, s->textSize() > 0 ? s->textSize() : 2.5);
    wstr(3, s->fileName());
    wstr(4, s->bigFontFileName());
    const auto& f = s->font();
    if (!f.face.empty()) {
      str(1001, "ACAD");
      wstr(1000, f.face);
      integer(1071, (f.italic ? 0x1000000 : 0) | (f.bold ? 0x2000000 : 0) | ((f.charset & 0xFF) << 8) | (f.pitchAndFamily & 0xFF));
    }
  }
  str(0, "ENDTAB");

  viewTable_ = fresh();
  tableHead("VIEW", viewTable_, 0);
  str(0, "ENDTAB");
  ucsTable_ = fresh();
  tableHead("UCS", ucsTable_, 0);
  str(0, "ENDTAB");

  auto apps = records(d_.regAppTable);
  bool hasShape = false;
  for (auto* a : apps) hasShape = hasShape || namesEqual(a->name(), kShapeApp);
  std::uint64_t appTable = h(d_.regAppTable);
  tableHead("APPID", appTable, int(apps.size()) + (hasShape ? 0 : 1));
  for (auto* a : apps) {
    str(0, "APPID");
    handle(5, h(a->objectId()));
    handle(330, appTable);
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbRegAppTableRecord");
    wstr(2, a->name());
    integer(70, 0);
  }
  if (!hasShape) {
    str(0, "APPID");
    handle(5, fresh());
    handle(330, appTable);
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbRegAppTableRecord");
    wstr(2, kShapeApp);
    integer(70, 0);
  }
  str(0, "ENDTAB");

  dimTable_ = fresh();
  dimStandard_ = fresh();
  tableHead("DIMSTYLE", dimTable_, 1, "AcDbDimStyleTable");
  integer(71, 0);
  str(0, "DIMSTYLE");
  handle(105, dimStandard_);
  handle(330, dimTable_);
  str(100, "AcDbSymbolTableRecord");
  str(100, "AcDbDimStyleTableRecord");
  str(2, "Standard");
  integer(70, 0);
  handle(340, h(d_.standardStyle));
  str(0, "ENDTAB");

  auto blocks = records(d_.blockTable);
  tableHead("BLOCK_RECORD", h(d_.blockTable), int(blocks.size()));
  for (auto* r : blocks) {
    auto* b = static_cast<const BlockRecord*>(r);
    str(0, "BLOCK_RECORD");
    handle(5, h(b->objectId()));
    extDictRef(*b);
    handle(330, h(d_.blockTable));
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbBlockTableRecord");
    wstr(2, b->name());
    if (b->objectId() == d_.modelSpace) handle(340, modelLayout_);
    else if (b->objectId() == d_.paperSpace) handle(340, paperLayout_);
    else handle(340, 0);
    integer(70, d_.header.insunits);
    integer(280, 1);
    integer(281, 0);
    xdata(*b);
  }
  str(0, "ENDTAB");
  str(0, "ENDSEC");
}

void Writer::extDictRef(const DbObject& o) {
  if (!live(o.extensionDictionary())) return;
  str(102, "{ACAD_XDICTIONARY");
  handle(360, h(o.extensionDictionary()));
  str(102, "}");
}

void Writer::xdata(const DbObject& o, const ValueChain* extra) {
  auto emit = [&](const ValueChain& c) {
    for (const auto& v : c) {
      if (v.isPoint()) point(v.code, v.point());
      else if (v.isReal()) real(v.code, v.real());
      else if (v.isInt()) integer(v.code, v.integer());
      else wstr(v.code, v.str());
    }
  };
  emit(DbObject::Internal::xdata(o));
  if (extra) emit(*extra);
}

// The layer name written for an entity: "0" when it names none.
static std::wstring layerName(const Entity& e) {
  std::wstring layer = e.layer();
  return layer.empty() ? std::wstring(L"0") : layer;
}

void Writer::entityHead(const char* type, std::uint64_t handle_, const Entity& e, std::uint64_t owner, bool paper) {
  str(0, type);
  handle(5, handle_);
  extDictRef(e);
  handle(330, owner);
  str(100, "AcDbEntity");
  if (paper) integer(67, 1);
  wstr(8, layerName(e));
  if (!namesEqual(e.linetype(), L"ByLayer")) wstr(6, e.linetype());
  const Color& c = e.color();
  if (!c.isByLayer()) integer(62, c.colorIndex());
  if (c.isByRgb()) integer(420, c.rgb().packed());
  if (e.lineWeight() != -1) integer(370, e.lineWeight());
  if (e.linetypeScale() != 1.0) real(48, e.linetypeScale());
  if (!e.visible()) integer(60, 1);
}

// The head of a record that belongs to another (vertex, sequence end, block
// begin and end): a fresh handle, the owner, the layer.
void Writer::subHead(const char* type, std::uint64_t owner, bool paper, const std::wstring& layer) {
  str(0, type);
  handle(5, fresh());
  handle(330, owner);
  str(100, "AcDbEntity");
  if (paper) integer(67, 1);
  wstr(8, layer);
}

void Writer::vertexHead(std::uint64_t owner, const Entity& e, bool paper, const char* sub) {
  subHead("VERTEX", owner, paper, layerName(e));
  str(100, "AcDbVertex");
  str(100, sub);
}

void Writer::seqend(std::uint64_t owner, const Entity& e, bool paper) { subHead("SEQEND", owner, paper, layerName(e)); }

// The VERTEX records of a polyline, mesh or face mesh, all with the same flags.
void Writer::vertices(std::uint64_t owner, const Entity& e, bool paper, const std::vector<Point3d>& pts,
                      const char* sub, int flags) {
  for (const auto& v : pts) {
    vertexHead(owner, e, paper, sub);
    point(10, v);
    integer(70, flags);
  }
}

// The circle part of CIRCLE and ARC.
void Writer::circleBody(const Point3d& center, const Vector3d& n, double radius, double thickness) {
  str(100, "AcDbCircle");
  if (thickness != 0) real(39, thickness);
  point(10, worldToOcs(n, center));
  real(40, radius);
  normal(n);
}

// ATTDEF (with its prompt) and ATTRIB after their text part.
template <class A>
void Writer::attributeBody(const A& a, const char* sub, const std::wstring* prompt) {
  textBody(a, 0);
  str(100, sub);
  integer(280, 0);
  if (prompt) wstr(3, *prompt);
  wstr(2, a.tag());
  integer(70, a.attributeFlags());
  if (a.verticalMode()) integer(74, a.verticalMode());
}

void Writer::textBody(const Text& t, int vertCode) {
  str(100, "AcDbText");
  if (t.thickness() != 0) real(39, t.thickness());
  point(10, worldToOcs(t.normal(), t.position()));
  real(40, t.height());
  wstr(1, t.textString());
  if (t.rotation() != 0) real(50, normAngle(t.rotation()) * kRadToDeg);
  if (t.widthFactor() != 1) real(41, t.widthFactor());
  if (t.oblique() != 0) real(51, t.oblique() * kRadToDeg);
  wstr(7, styleName(t.textStyle()));
  if (t.generationFlags()) integer(71, t.generationFlags());
  if (t.horizontalMode()) integer(72, t.horizontalMode());
  if (!t.isDefaultAlignment()) point(11, worldToOcs(t.normal(), t.alignmentPoint()));
  normal(t.normal());
  if (vertCode == 73) {
    str(100, "AcDbText");
    if (t.verticalMode()) integer(73, t.verticalMode());
  }
}

void Writer::entity(const Entity& e, std::uint64_t owner, bool paper) {
  std::uint64_t me = h(e.objectId());
  switch (e.kind()) {
    case Kind::Line: {
      auto& l = static_cast<const Line&>(e);
      entityHead("LINE", me, e, owner, paper);
      str(100, "AcDbLine");
      if (l.thickness() != 0) real(39, l.thickness());
      point(10, l.start());
      point(11, l.end());
      normal(l.normal());
      xdata(e);
      break;
    }
    case Kind::Polyline: {
      auto& p = static_cast<const Polyline&>(e);
      entityHead("LWPOLYLINE", me, e, owner, paper);
      str(100, "AcDbPolyline");
      integer(90, p.numVerts());
      integer(70, (p.isClosed() ? 1 : 0) | 128);
      double cw = 0;
      bool constant = p.getConstantWidth(cw) == Status::Ok;
      if (constant) real(43, cw);
      if (p.elevation() != 0) real(38, p.elevation());
      if (p.thickness() != 0) real(39, p.thickness());
      for (const auto& v : p.vertices()) {
        real(10, v.pt.x);
        real(20, v.pt.y);
        if (!constant && (v.startWidth != 0 || v.endWidth != 0)) {
          real(40, v.startWidth);
          real(41, v.endWidth);
        }
        if (v.bulge != 0) real(42, v.bulge);
      }
      normal(p.normal());
      xdata(e);
      break;
    }
    case Kind::Polyline2d: {
      auto& p = static_cast<const Polyline2d&>(e);
      entityHead("POLYLINE", me, e, owner, paper);
      str(100, "AcDb2dPolyline");
      integer(66, 1);
      point(10, {0, 0, p.elevation()});
      if (p.thickness() != 0) real(39, p.thickness());
      integer(70, p.isClosed() ? 1 : 0);
      if (p.defaultStartWidth() != 0) real(40, p.defaultStartWidth());
      if (p.defaultEndWidth() != 0) real(41, p.defaultEndWidth());
      integer(75, int(p.polyType()) == 0 ? 0 : int(p.polyType()) == 2 ? 5 : int(p.polyType()) == 3 ? 6 : 0);
      normal(p.normal());
      xdata(e);
      for (const auto& v : p.vertices()) {
        vertexHead(me, e, paper, "AcDb2dVertex");
        point(10, {v.position.x, v.position.y, p.elevation()});
        if (v.startWidth != 0) real(40, v.startWidth);
        if (v.endWidth != 0) real(41, v.endWidth);
        if (v.bulge != 0) real(42, v.bulge);
        integer(70, 0);
      }
      seqend(me, e, paper);
      break;
    }
    case Kind::Polyline3d: {
      auto& p = static_cast<const Polyline3d&>(e);
      entityHead("POLYLINE", me, e, owner, paper);
      str(100, "AcDb3dPolyline");
      integer(66, 1);
      point(10, {});
      integer(70, 8 | (p.isClosed() ? 1 : 0));
      xdata(e);
      vertices(me, e, paper, p.vertices(), "AcDb3dPolylineVertex", 32);
      seqend(me, e, paper);
      break;
    }
    case Kind::PolygonMesh: {
      auto& p = static_cast<const PolygonMesh&>(e);
      entityHead("POLYLINE", me, e, owner, paper);
      str(100, "AcDbPolygonMesh");
      integer(66, 1);
      point(10, {});
      integer(70, 16 | (p.isMClosed() ? 1 : 0) | (p.isNClosed() ? 32 : 0));
      integer(71, p.mSize());
      integer(72, p.nSize());
      xdata(e);
      vertices(me, e, paper, p.vertices(), "AcDbPolygonMeshVertex", 64);
      seqend(me, e, paper);
      break;
    }
    case Kind::PolyfaceMesh:
    case Kind::Solid3d: {
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
      entityHead("POLYLINE", me, e, owner, paper);
      str(100, "AcDbPolyFaceMesh");
      integer(66, 1);
      point(10, {});
      integer(70, 64);
      integer(71, int(verts.size()));
      integer(72, int(faces.size()));
      xdata(e, marker.empty() ? nullptr : &marker);
      vertices(me, e, paper, verts, "AcDbPolyFaceMeshVertex", 192);
      for (const auto& f : faces) {
        subHead("VERTEX", me, paper, layerName(e));
        str(100, "AcDbFaceRecord");
        point(10, {});
        integer(70, 128);
        for (int i = 0; i < 4; ++i)
          if (f[std::size_t(i)] != 0) integer(71 + i, f[std::size_t(i)]);
      }
      seqend(me, e, paper);
      break;
    }
    case Kind::Circle: {
      auto& c = static_cast<const Circle&>(e);
      entityHead("CIRCLE", me, e, owner, paper);
      circleBody(c.center(), c.normal(), c.radius(), c.thickness());
      xdata(e);
      break;
    }
    case Kind::Arc: {
      auto& a = static_cast<const Arc&>(e);
      entityHead("ARC", me, e, owner, paper);
      circleBody(a.center(), a.normal(), a.radius(), a.thickness());
      str(100, "AcDbArc");
      real(50, a.startAngle() * kRadToDeg);
      real(51, a.endAngle() * kRadToDeg);
      xdata(e);
      break;
    }
    case Kind::Ellipse: {
      auto& el = static_cast<const Ellipse&>(e);
      entityHead("ELLIPSE", me, e, owner, paper);
      str(100, "AcDbEllipse");
      point(10, el.center());
      vec(11, el.majorAxis());
      vec(210, el.normal());
      real(40, el.radiusRatio());
      real(41, el.startParam());
      real(42, el.endParam());
      xdata(e);
      break;
    }
    case Kind::Spline: {
      auto& s = static_cast<const Spline&>(e);
      entityHead("SPLINE", me, e, owner, paper);
      str(100, "AcDbSpline");
      vec(210, s.normal);
      integer(70, s.flags);
      integer(71, s.degree);
      integer(72, int(s.knots.size()));
      integer(73, int(s.controlPoints.size()));
      integer(74, int(s.fitPoints.size()));
      for (double k : s.knots) real(40, k);
      for (double w : s.weights) real(41, w);
      for (const auto& p : s.controlPoints) point(10, p);
      for (const auto& p : s.fitPoints) point(11, p);
      xdata(e);
      break;
    }
    case Kind::Text: {
      entityHead("TEXT", me, e, owner, paper);
      textBody(static_cast<const Text&>(e), 73);
      xdata(e);
      break;
    }
    case Kind::AttributeDefinition: {
      auto& a = static_cast<const AttributeDefinition&>(e);
      entityHead("ATTDEF", me, e, owner, paper);
      attributeBody(a, "AcDbAttributeDefinition", &a.prompt());
      xdata(e);
      break;
    }
    case Kind::Attribute: {
      auto& a = static_cast<const Attribute&>(e);
      entityHead("ATTRIB", me, e, owner, paper);
      attributeBody(a, "AcDbAttribute", nullptr);
      xdata(e);
      break;
    }
    case Kind::MText: {
      auto& m = static_cast<const MText&>(e);
      entityHead("MTEXT", me, e, owner, paper);
      str(100, "AcDbMText");
      point(10, m.location());
      real(40, m.textHeight());
      real(41, m.width());
      integer(71, m.attachment());
      integer(72, 1);
      std::string text = escapeText(toUtf8(m.contents()));
      // Long contents go in pieces of 250 bytes (not splitting a character).
      std::size_t pos = 0;
      while (text.size() - pos > 250) {
        std::size_t cut = pos + 250;
        while (cut > pos && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        str(3, std::string_view(text).substr(pos, cut - pos));
        pos = cut;
      }
      str(1, std::string_view(text).substr(pos));
      wstr(7, styleName(m.textStyle()));
      normal(m.normal());
      vec(11, m.direction());
      integer(73, 1);
      real(44, m.lineSpacingFactor());
      xdata(e);
      break;
    }
    case Kind::BlockReference: {
      auto& b = static_cast<const BlockReference&>(e);
      std::vector<const Attribute*> attrs;
      for (ObjectId a : b.attributeIds())
        if (live(a)) attrs.push_back(get<Attribute>(a));
      entityHead("INSERT", me, e, owner, paper);
      str(100, "AcDbBlockReference");
      if (!attrs.empty()) integer(66, 1);
      wstr(2, b.blockName());
      point(10, worldToOcs(b.normal(), b.position()));
      const Scale3d& s = b.scaleFactors();
      if (s.sx != 1) real(41, s.sx);
      if (s.sy != 1) real(42, s.sy);
      if (s.sz != 1) real(43, s.sz);
      if (b.rotation() != 0) real(50, normAngle(b.rotation()) * kRadToDeg);
      normal(b.normal());
      xdata(e);
      if (!attrs.empty()) {
        for (auto* a : attrs) entity(*a, me, paper);
        seqend(me, e, paper);
      }
      break;
    }
    case Kind::Hatch: {
      auto& ht = static_cast<const Hatch&>(e);
      entityHead("HATCH", me, e, owner, paper);
      str(100, "AcDbHatch");
      point(10, {0, 0, ht.elevation()});
      vec(210, ht.normal());
      wstr(2, ht.patternName());
      integer(70, ht.isSolidFill() ? 1 : 0);
      bool assoc = ht.associative();
      for (const auto& l : ht.loops())
        for (ObjectId s : l.sources) assoc = assoc && live(s);
      integer(71, assoc ? 1 : 0);
      integer(91, ht.numLoops());
      for (const auto& l : ht.loops()) {
        integer(92, l.type | Hatch::kPolyline);
        bool bulges = false;
        for (double bu : l.bulges) bulges = bulges || bu != 0;
        integer(72, bulges ? 1 : 0);
        integer(73, 1);
        integer(93, int(l.vertices.size()));
        for (std::size_t i = 0; i < l.vertices.size(); ++i) {
          real(10, l.vertices[i].x);
          real(20, l.vertices[i].y);
          if (bulges) real(42, i < l.bulges.size() ? l.bulges[i] : 0);
        }
        int n = 0;
        for (ObjectId s : l.sources) n += (assoc && live(s)) ? 1 : 0;
        integer(97, n);
        if (assoc)
          for (ObjectId s : l.sources) handle(330, h(s));
      }
      integer(75, 1);
      integer(76, ht.patternType());
      if (!ht.isSolidFill()) {
        real(52, ht.patternAngle() * kRadToDeg);
        real(41, ht.patternScale());
        integer(77, 0);
        integer(78, 0);
      }
      integer(98, 0);
      xdata(e);
      break;
    }
    case Kind::Solid2d: {
      auto& s = static_cast<const Solid2d&>(e);
      entityHead("SOLID", me, e, owner, paper);
      str(100, "AcDbTrace");
      for (int i = 0; i < 4; ++i) {
        Point3d p;
        s.getPointAt(i, p);
        point(10 + i, worldToOcs(s.normal(), p));
      }
      if (s.thickness() != 0) real(39, s.thickness());
      normal(s.normal());
      xdata(e);
      break;
    }
    case Kind::Region: {
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
      entityHead("LWPOLYLINE", me, e, owner, paper);
      str(100, "AcDbPolyline");
      const Region::Loop* outer = r.loops().empty() ? nullptr : &r.loops().front();
      integer(90, outer ? int(outer->vertices.size()) : 0);
      integer(70, 1);
      if (outer) {
        Point3d o0 = worldToOcs(r.normal(), outer->vertices.front());
        if (o0.z != 0) real(38, o0.z);
        for (std::size_t i = 0; i < outer->vertices.size(); ++i) {
          Point3d o = worldToOcs(r.normal(), outer->vertices[i]);
          real(10, o.x);
          real(20, o.y);
          double bu = i < outer->bulges.size() ? outer->bulges[i] : 0;
          if (bu != 0) real(42, bu);
        }
      }
      normal(r.normal());
      xdata(e, &marker);
      break;
    }
    case Kind::RasterImage: {
      auto& im = static_cast<const RasterImage&>(e);
      entityHead("IMAGE", me, e, owner, paper);
      str(100, "AcDbRasterImage");
      integer(90, 0);
      point(10, im.origin());
      vec(11, im.uVector());
      vec(12, im.vVector());
      real(13, im.imageSize().x);
      real(23, im.imageSize().y);
      handle(340, live(im.imageDefId()) ? h(im.imageDefId()) : 0);
      integer(70, im.displayOptions());
      integer(280, 0);
      integer(281, 50);
      integer(282, 50);
      integer(283, 0);
      integer(71, 1);
      integer(91, 2);
      real(14, -0.5);
      real(24, -0.5);
      real(14, im.imageSize().x - 0.5);
      real(24, im.imageSize().y - 0.5);
      xdata(e);
      break;
    }
    case Kind::Point: {
      auto& p = static_cast<const PointEntity&>(e);
      entityHead("POINT", me, e, owner, paper);
      str(100, "AcDbPoint");
      point(10, p.position());
      if (p.thickness() != 0) real(39, p.thickness());
      normal(p.normal());
      xdata(e);
      break;
    }
    case Kind::UnknownEntity: {
      auto& u = static_cast<const UnknownEntity&>(e);
      str(0, u.dxfType);
      handle(5, me);
      extDictRef(e);
      handle(330, owner);
      for (const auto& t : u.tags) str(t.code, t.value);
      xdata(e);
      break;
    }
    default:
      break;
  }
}

void Writer::blocks() {
  str(0, "SECTION");
  str(2, "BLOCKS");
  for (ObjectId bid : get<SymbolTable>(d_.blockTable)->recordIds(true)) {
    auto* b = get<BlockRecord>(bid);
    bool paper = bid == d_.paperSpace;
    subHead("BLOCK", h(bid), paper, L"0");
    str(100, "AcDbBlockBegin");
    wstr(2, b->name());
    integer(70, b->hasAttributeDefinitions() ? 2 : (b->isAnonymous() ? 1 : 0));
    point(10, b->origin());
    wstr(3, b->name());
    str(1, "");
    if (!b->comments().empty()) wstr(4, b->comments());
    if (bid != d_.modelSpace) {
      for (ObjectId eid : b->entityIds(true)) entity(*get<Entity>(eid), h(bid), paper);
    }
    subHead("ENDBLK", h(bid), paper, L"0");
    str(100, "AcDbBlockEnd");
  }
  str(0, "ENDSEC");
}

void Writer::entities() {
  str(0, "SECTION");
  str(2, "ENTITIES");
  auto* ms = get<BlockRecord>(d_.modelSpace);
  for (ObjectId eid : ms->entityIds(true)) entity(*get<Entity>(eid), h(d_.modelSpace), false);
  str(0, "ENDSEC");
}

void Writer::object(const DbObject& o, std::uint64_t owner) {
  std::uint64_t me = h(o.objectId());
  switch (o.kind()) {
    case Kind::Dictionary: {
      auto& d = static_cast<const Dictionary&>(o);
      str(0, "DICTIONARY");
      handle(5, me);
      extDictRef(o);
      handle(330, owner);
      str(100, "AcDbDictionary");
      integer(281, 1);
      auto entries = d.entries();
      bool root = o.objectId() == d_.nod;
      if (root) {
        str(3, "ACAD_GROUP");
        handle(350, groupDict_);
        str(3, "ACAD_LAYOUT");
        handle(350, layoutDict_);
        if (imageDict_) {
          str(3, d.has(L"ACAD_IMAGE_DICT") ? "KIV_IMAGE_DICT" : "ACAD_IMAGE_DICT");
          handle(350, imageDict_);
        }
      }
      for (const auto& en : entries) {
        wstr(3, en.key);
        handle(350, h(en.id));
      }
      xdata(o);
      for (const auto& en : entries) object(*get<DbObject>(en.id), me);
      break;
    }
    case Kind::Xrecord: {
      auto& x = static_cast<const Xrecord&>(o);
      str(0, "XRECORD");
      handle(5, me);
      extDictRef(o);
      handle(330, owner);
      str(100, "AcDbXrecord");
      integer(280, 1);
      for (const auto& v : x.data()) {
        if (v.isPoint()) point(v.code, v.point());
        else if (v.isReal()) real(v.code, v.real());
        else if (v.isInt()) integer(v.code, v.integer());
        else wstr(v.code, v.str());
      }
      xdata(o);
      break;
    }
    case Kind::RasterImageDef: {
      auto& def = static_cast<const RasterImageDef&>(o);
      str(0, "IMAGEDEF");
      handle(5, me);
      auto it = imageReactors_.find(me);
      if (it != imageReactors_.end()) {
        str(102, "{ACAD_REACTORS");
        for (auto img : it->second) handle(330, img);
        str(102, "}");
      }
      handle(330, owner);
      str(100, "AcDbRasterImageDef");
      integer(90, 0);
      wstr(1, def.sourceFileName());
      real(10, def.size().x);
      real(20, def.size().y);
      real(11, def.resolution().x);
      real(21, def.resolution().y);
      integer(280, def.isLoaded() ? 1 : 0);
      integer(281, 0);
      xdata(o);
      break;
    }
    case Kind::UnknownObject: {
      auto& u = static_cast<const UnknownObject&>(o);
      str(0, u.dxfType);
      handle(5, me);
      handle(330, owner);
      for (const auto& t : u.tags) str(t.code, t.value);
      break;
    }
    default:
      break;
  }
}

void Writer::objects() {
  str(0, "SECTION");
  str(2, "OBJECTS");
  std::uint64_t root = h(d_.nod);
  object(*get<DbObject>(d_.nod), 0);
  // The housekeeping dictionaries every drawing file carries.
  str(0, "DICTIONARY");
  handle(5, groupDict_);
  handle(330, root);
  str(100, "AcDbDictionary");
  integer(281, 1);
  str(0, "DICTIONARY");
  handle(5, layoutDict_);
  handle(330, root);
  str(100, "AcDbDictionary");
  integer(281, 1);
  str(3, "Model");
  handle(350, modelLayout_);
  str(3, "Layout1");
  handle(350, paperLayout_);
  auto layout = [&](std::uint64_t hnd, const char* name, int tab, ObjectId block) {
    str(0, "LAYOUT");
    handle(5, hnd);
    handle(330, layoutDict_);
    str(100, "AcDbPlotSettings");
    str(1, "");
    str(2, "none_device");
    str(4, "");
    str(6, "");
    real(40, 0);
    real(41, 0);
    real(42, 0);
    real(43, 0);
    real(44, 0);
    real(45, 0);
    real(46, 0);
    real(47, 0);
    real(48, 0);
    real(49, 0);
    real(140, 0);
    real(141, 0);
    real(142, 1);
    real(143, 1);
    integer(70, 688);
    integer(72, 1);
    integer(73, 0);
    integer(74, 5);
    str(7, "");
    integer(75, 16);
    integer(147, 1);
    real(148, 0);
    real(149, 0);
    str(100, "AcDbLayout");
    str(1, name);
    integer(70, 1);
    integer(71, tab);
    point(10, {0, 0}, false);
    point(11, {420, 297}, false);
    point(12, {0, 0, 0});
    point(14, {0, 0, 0});
    point(15, {420, 297, 0});
    real(146, 0);
    point(13, {0, 0, 0});
    vec(16, {1, 0, 0});
    vec(17, {0, 1, 0});
    integer(76, 1);
    handle(330, h(block));
  };
  layout(modelLayout_, "Model", 0, d_.modelSpace);
  layout(paperLayout_, "Layout1", 1, d_.paperSpace);
  if (imageDict_) {
    str(0, "DICTIONARY");
    handle(5, imageDict_);
    handle(330, root);
    str(100, "AcDbDictionary");
    integer(281, 1);
    int n = 0;
    for (ObjectId id : looseImageDefs_) {
      str(3, "IMAGE" + std::to_string(++n));
      handle(350, h(id));
    }
    for (ObjectId id : looseImageDefs_) object(*get<DbObject>(id), imageDict_);
  }
  // Extension dictionaries of objects, wherever their owners are.
  for (std::uint32_t i = 0; i < d_.slots.size(); ++i) {
    const Slot& s = d_.slots[i];
    if (s.vanished || s.obj->isErased() || s.obj->kind() != Kind::Dictionary) continue;
    ObjectId owner = s.obj->ownerId();
    if (owner.isNull()) continue;
    Slot* os = const_cast<Database::Impl&>(d_).slot(owner);
    if (!os || os->vanished || os->obj->isErased()) continue;
    if (os->obj->extensionDictionary() != d_.idOf(i)) continue;
    // Dictionaries inside the named objects tree are written with it.
    if (os->obj->kind() == Kind::Dictionary) {
      auto* od = static_cast<const Dictionary*>(os->obj.get());
      std::wstring key;
      if (od->nameAt(d_.idOf(i), key) == Status::Ok) continue;
    }
    object(*s.obj, h(owner));
  }
  str(0, "ENDSEC");
}

std::string Writer::run() {
  groupDict_ = fresh();
  layoutDict_ = fresh();
  modelLayout_ = fresh();
  paperLayout_ = fresh();
  // Image definitions: which images use each, and those no dictionary holds.
  for (std::uint32_t i = 0; i < d_.slots.size(); ++i) {
    const Slot& s = d_.slots[i];
    if (s.vanished || s.obj->isErased()) continue;
    if (s.obj->kind() == Kind::RasterImage) {
      auto* im = static_cast<const RasterImage*>(s.obj.get());
      if (live(im->imageDefId())) imageReactors_[h(im->imageDefId())].push_back(s.handle.value);
    } else if (s.obj->kind() == Kind::RasterImageDef) {
      Slot* os = const_cast<Database::Impl&>(d_).slot(s.obj->ownerId());
      bool owned = os && !os->vanished && os->obj->kind() == Kind::Dictionary;
      if (owned) {
        std::wstring key;
        owned = static_cast<const Dictionary*>(os->obj.get())->nameAt(d_.idOf(i), key) == Status::Ok;
      }
      if (!owned) looseImageDefs_.push_back(d_.idOf(i));
    }
  }
  auto* nod = get<Dictionary>(d_.nod);
  (void)nod;
  if (!looseImageDefs_.empty()) imageDict_ = fresh();
  header();
  classes();
  tables();
  blocks();
  entities();
  objects();
  str(0, "EOF");
  // Patch the handle seed.
  std::string seed = "$HANDSEED\n  5\n0\n";
  auto pos = out_.find(seed);
  if (pos != std::string::npos) {
    char b[32];
    std::snprintf(b, sizeof b, "%llX", static_cast<unsigned long long>(next_));
    out_.replace(pos + seed.size() - 2, 1, b);
  }
  return std::move(out_);
}

}  // namespace

std::string writeDxf(const Database& db) { return Writer(db).run(); }

}  // namespace cad
