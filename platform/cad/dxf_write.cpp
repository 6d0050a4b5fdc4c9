// Writing a database as DXF text (R2007 layout, UTF-8).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/cad/geomutil.h"
#include "platform/cad/body3d.h"
#include "platform/cad/dxf_kinds.h"

namespace cad {

using namespace gu;

// The application name of the markers that carry what standard DXF cannot
// say (region loops, solid bodies).
const wchar_t* const kShapeApp = L"KIV_SHAPE";

namespace dxf {

// The header variables the database holds; false for any other name.
bool Writer::modelledVar(std::string_view name, std::string_view fileValue) {
  if (name == "$ACADVER") {
    str(9, name);
    // The file is written as UTF-8 text, which needs 2007 or later.
    str(1, fileValue >= "AC1021" ? fileValue : "AC1021");
  } else if (name == "$INSUNITS") {
    str(9, name);
    integer(70, d_.header.insunits);
  } else if (name == "$LTSCALE") {
    str(9, name);
    real(40, d_.header.ltscale);
  } else if (name == "$CLAYER") {
    auto* cl = get<LayerRecord>(d_.header.clayer);
    str(9, name);
    wstr(8, cl ? cl->name() : std::wstring(L"0"));
  } else if (name == "$CELTYPE") {
    auto* lt = get<LinetypeRecord>(d_.header.celtype);
    str(9, name);
    wstr(6, lt ? lt->name() : std::wstring(L"ByLayer"));
  } else if (name == "$TEXTSTYLE") {
    str(9, name);
    wstr(7, styleName(d_.header.textstyle));
  } else if (name == "$DIMTXSTY") {
    str(9, name);
    wstr(7, d_.header.dimtxsty);
  } else if (name == "$HANDSEED") {
    str(9, name);
    handle(5, 0);  // patched at the end
  } else {
    return false;
  }
  return true;
}

// The extents of what model space holds now (a body by its mesh, which is
// at hand, rather than by the modeller's exact box); invalid when it holds
// nothing with extents.
Extents3d Writer::modelExtents() const {
  Extents3d all;
  for (ObjectId id : required<BlockRecord>(d_.modelSpace, "model space").entityIds(true)) {
    auto* e = get<Entity>(id);
    if (!e) continue;
    Extents3d one;
    if (e->kind() == Kind::Body3d) {
      for (const Point3d& p : static_cast<const Body3d*>(e)->faces().vertices) one.add(p);
    } else if (e->getGeomExtents(one) != Status::Ok) {
      continue;
    }
    if (one.isValid()) all.add(one);
  }
  return all;
}

// $EXTMIN and $EXTMAX say where the drawing is, so that another program's zoom
// to extents finds it. False (nothing written) when model space is empty.
bool Writer::extentsVar(std::string_view name) {
  if (name != "$EXTMIN" && name != "$EXTMAX") return false;
  if (!extents_) extents_ = modelExtents();
  if (!extents_->isValid()) return false;
  str(9, name);
  point(10, name == "$EXTMIN" ? extents_->minPoint : extents_->maxPoint);
  return true;
}

void Writer::header() {
  str(0, "SECTION");
  str(2, "HEADER");
  std::unordered_set<std::string_view> done;
  // A drawing read from a file keeps every variable in its order.
  for (const auto& v : d_.keep.header) {
    if (!done.insert(v.name).second) continue;
    std::string_view first = v.tags.empty() ? std::string_view() : std::string_view(v.tags.front().value);
    if (modelledVar(v.name, first) || extentsVar(v.name)) continue;
    str(9, v.name);
    for (const auto& t : v.tags) str(t.code, t.value);
  }
  static constexpr std::string_view kModelled[] = {"$ACADVER", "$INSUNITS", "$LTSCALE", "$CLAYER", "$CELTYPE",
                                                    "$TEXTSTYLE", "$DIMTXSTY", "$HANDSEED"};
  for (std::string_view name : kModelled)
    if (!done.count(name)) modelledVar(name, "AC1021");
  for (std::string_view name : {"$EXTMIN", "$EXTMAX"})
    if (!done.count(name) && !extentsVar(name)) {
      // An empty drawing: the customary inverted box.
      str(9, name);
      double v = name == "$EXTMIN" ? 1e20 : -1e20;
      point(10, {v, v, v});
    }
  if (!done.count("$DWGCODEPAGE")) {
    str(9, "$DWGCODEPAGE");
    str(3, "ANSI_936");
  }
  if (!done.count("$INSBASE")) {
    str(9, "$INSBASE");
    point(10, {});
  }
  if (!done.count("$MEASUREMENT")) {
    str(9, "$MEASUREMENT");
    integer(70, 1);
  }
  str(0, "ENDSEC");
}

void Writer::classes() {
  str(0, "SECTION");
  str(2, "CLASSES");
  bool image = false, imageDef = false;
  for (const auto& c : d_.keep.classes) {
    for (const auto& t : c)
      if (t.code == 1) {
        image = image || t.value == "IMAGE";
        imageDef = imageDef || t.value == "IMAGEDEF";
      }
    str(0, "CLASS");
    raw(c);
  }
  if (!image) {
    str(0, "CLASS");
    str(1, "IMAGE");
    str(2, "AcDbRasterImage");
    str(3, "ISM");
    integer(90, 2175);
    integer(91, 0);
    integer(280, 0);
    integer(281, 1);
  }
  if (!imageDef) {
    str(0, "CLASS");
    str(1, "IMAGEDEF");
    str(2, "AcDbRasterImageDef");
    str(3, "ISM");
    integer(90, 0);
    integer(91, 0);
    integer(280, 0);
    integer(281, 0);
  }
  str(0, "ENDSEC");
}

void Writer::tableHead(const char* name, std::uint64_t handle_, int count, const char* subclass) {
  str(0, "TABLE");
  str(2, name);
  ownHandle(5, handle_);
  handle(330, 0);
  str(100, "AcDbSymbolTable");
  integer(70, count);
  if (subclass) str(100, subclass);
}

// The head of a modelled table record: type, handle, extension dictionary, owner, subclasses.
void Writer::recordHead(const char* type, const DbObject& o, std::uint64_t table, const char* subclass) {
  str(0, type);
  ownHandle(5, h(o.objectId()));
  extDictRef(o);
  handle(330, table);
  str(100, "AcDbSymbolTableRecord");
  str(100, subclass);
}

// The live records of a modelled table, each of the table's own kind.
template <class R>
std::vector<const R*> Writer::records(ObjectId table, const char* what) const {
  std::vector<const R*> r;
  for (ObjectId id : required<SymbolTable>(table, what).recordIds(true))
    if (auto* rec = get<R>(id)) r.push_back(rec);
  return r;
}

// Kept record data the writer does not make, then the defaults of the codes
// it did not hold (in a fixed order, so a second save writes the same). A
// reference is written only when it is null or names a live object.
void Writer::extras(const DbObject& o, std::initializer_list<std::pair<int, const char*>> defaults) {
  const auto* x = extrasOf(o);
  std::uint32_t have = 0;  // bit i: defaults[i] came from the file
  if (x)
    for (const auto& t : *x) {
      if (valueTypeOf(t.code) == ValueType::Handle) {
        auto hv = Handle::parse(t.value);
        if (!hv || (hv->value != 0 && !live(db_.getObjectId(*hv)))) continue;
      }
      str(t.code, t.value);
      std::uint32_t i = 0;
      for (const auto& d : defaults) {
        if (d.first == t.code) have |= 1u << i;
        ++i;
      }
    }
  std::uint32_t i = 0;
  for (const auto& d : defaults)
    if (!(have & (1u << i++))) str(d.first, d.second);
}

void Writer::tables() {
  str(0, "SECTION");
  str(2, "TABLES");

  if (!keptTableOut("VPORT")) {
    std::uint64_t table = fresh();
    tableHead("VPORT", table, 1);
    str(0, "VPORT");
    ownHandle(5, fresh());
    handle(330, table);
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
  }

  auto lts = records<LinetypeRecord>(d_.linetypeTable, "linetype table");
  tableHead("LTYPE", h(d_.linetypeTable), int(lts.size()));
  for (auto* l : lts) {
    recordHead("LTYPE", *l, h(d_.linetypeTable), "AcDbLinetypeTableRecord");
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

  auto layers = records<LayerRecord>(d_.layerTable, "layer table");
  tableHead("LAYER", h(d_.layerTable), int(layers.size()));
  for (auto* l : layers) {
    recordHead("LAYER", *l, h(d_.layerTable), "AcDbLayerTableRecord");
    wstr(2, l->name());
    integer(70, (l->isFrozen() ? 1 : 0) | (l->isLocked() ? 4 : 0) | (l->VPDFLT() ? 2 : 0));
    int ci = l->color().colorIndex();
    if (ci < 1 || ci > 255) ci = 7;
    integer(62, l->isOff() ? -ci : ci);
    if (l->color().isByRgb()) integer(420, l->color().rgb().packed());
    auto* lt = get<LinetypeRecord>(db_.linetypeId(l->linetype()));
    wstr(6, lt ? lt->name() : std::wstring(kContinuous));
    if (!l->isPlottable()) integer(290, 0);
    integer(370, l->lineWeight());
    extras(*l, {{390, "0"}});
    xdata(*l);
  }
  str(0, "ENDTAB");

  auto styles = records<TextStyleRecord>(d_.textStyleTable, "text style table");
  tableHead("STYLE", h(d_.textStyleTable), int(styles.size()));
  for (auto* st : styles) {
    recordHead("STYLE", *st, h(d_.textStyleTable), "AcDbTextStyleTableRecord");
    wstr(2, st->name());
    real(40, st->textSize());
    real(41, st->xScale());
    real(50, st->obliquingAngle() * kRadToDeg);
    wstr(3, st->fileName());
    wstr(4, st->bigFontFileName());
    extras(*st, {{70, "0"}, {71, "0"}, {42, "2.5"}});
    const auto& f = st->font();
    if (!f.face.empty()) {
      str(1001, "ACAD");
      wstr(1000, f.face);
      integer(1071, (f.italic ? 0x1000000 : 0) | (f.bold ? 0x2000000 : 0) | ((f.charset & 0xFF) << 8) | (f.pitchAndFamily & 0xFF));
    }
  }
  str(0, "ENDTAB");

  if (!keptTableOut("VIEW")) {
    tableHead("VIEW", fresh(), 0);
    str(0, "ENDTAB");
  }
  if (!keptTableOut("UCS")) {
    tableHead("UCS", fresh(), 0);
    str(0, "ENDTAB");
  }

  auto apps = records<RegAppRecord>(d_.regAppTable, "application table");
  bool hasShape = false;
  for (auto* a : apps) hasShape = hasShape || namesEqual(a->name(), kShapeApp);
  std::uint64_t appTable = h(d_.regAppTable);
  tableHead("APPID", appTable, int(apps.size()) + (hasShape ? 0 : 1));
  for (auto* a : apps) {
    recordHead("APPID", *a, appTable, "AcDbRegAppTableRecord");
    wstr(2, a->name());
    integer(70, 0);
  }
  if (!hasShape) {
    str(0, "APPID");
    ownHandle(5, fresh());
    handle(330, appTable);
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbRegAppTableRecord");
    wstr(2, kShapeApp);
    integer(70, 0);
  }
  str(0, "ENDTAB");

  if (!keptTableOut("DIMSTYLE")) {
    std::uint64_t table = fresh();
    tableHead("DIMSTYLE", table, 1, "AcDbDimStyleTable");
    integer(71, 0);
    str(0, "DIMSTYLE");
    ownHandle(105, fresh());
    handle(330, table);
    str(100, "AcDbSymbolTableRecord");
    str(100, "AcDbDimStyleTableRecord");
    str(2, "Standard");
    integer(70, 0);
    handle(340, h(d_.standardStyle));
    str(0, "ENDTAB");
  }

  auto blocks = records<BlockRecord>(d_.blockTable, "block table");
  tableHead("BLOCK_RECORD", h(d_.blockTable), int(blocks.size()));
  for (auto* b : blocks) {
    recordHead("BLOCK_RECORD", *b, h(d_.blockTable), "AcDbBlockTableRecord");
    wstr(2, b->name());
    std::string layout = "0", units = std::to_string(d_.header.insunits);
    if (makeLayouts_ && b->objectId() == d_.modelSpace) layout = Handle(modelLayout_).textUtf8();
    else if (makeLayouts_ && b->objectId() == d_.paperSpace) layout = Handle(paperLayout_).textUtf8();
    extras(*b, {{340, layout.c_str()}, {70, units.c_str()}, {280, "1"}, {281, "0"}});
    xdata(*b);
  }
  str(0, "ENDTAB");
  // Tables of other kinds a file held.
  for (const auto& t : d_.keep.tables) {
    static constexpr std::string_view kWritten[] = {"VPORT", "VIEW", "UCS", "DIMSTYLE"};
    if (std::find(std::begin(kWritten), std::end(kWritten), t.name) == std::end(kWritten)) keptTableOut(t.name.c_str());
  }
  str(0, "ENDSEC");
}

void Writer::extDictRef(const DbObject& o) {
  if (!live(o.extensionDictionary())) return;
  str(102, "{ACAD_XDICTIONARY");
  handle(360, h(o.extensionDictionary()));
  str(102, "}");
}

void Writer::values(const ValueChain& chain) {
  for (const auto& v : chain) {
    if (v.isPoint()) point(v.code, v.point());
    else if (v.isReal()) real(v.code, v.real());
    else if (v.isInt()) integer(v.code, v.integer());
    else wstr(v.code, v.str());
  }
}

void Writer::xdata(const DbObject& o, const ValueChain* extra) {
  values(DbObject::Internal::xdata(o));
  if (extra) values(*extra);
}

void Writer::entityHead(const char* type, std::uint64_t handle_, const Entity& e, std::uint64_t owner, bool paper) {
  str(0, type);
  ownHandle(5, handle_);
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
  ownHandle(5, fresh());
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
template void Writer::attributeBody(const AttributeDefinition&, const char*, const std::wstring*);
template void Writer::attributeBody(const Attribute&, const char*, const std::wstring*);

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
  if (const EntityKind* k = kindFor(e.kind()))
    if (k->write) k->write(*this, e, Place{h(e.objectId()), owner, paper});
}

void Writer::blockEntities(const BlockRecord& b, bool paper) {
  for (ObjectId eid : b.entityIds(true))
    if (auto* e = get<Entity>(eid)) entity(*e, h(b.objectId()), paper);
}

void Writer::blocks() {
  str(0, "SECTION");
  str(2, "BLOCKS");
  for (const BlockRecord* b : records<BlockRecord>(d_.blockTable, "block table")) {
    ObjectId bid = b->objectId();
    bool paper = bid == d_.paperSpace;
    subHead("BLOCK", h(bid), paper, L"0");
    str(100, "AcDbBlockBegin");
    wstr(2, b->name());
    integer(70, b->hasAttributeDefinitions() ? 2 : (b->isAnonymous() ? 1 : 0));
    point(10, b->origin());
    wstr(3, b->name());
    str(1, "");
    if (!b->comments().empty()) wstr(4, b->comments());
    if (bid != d_.modelSpace) blockEntities(*b, paper);
    subHead("ENDBLK", h(bid), paper, L"0");
    str(100, "AcDbBlockEnd");
  }
  str(0, "ENDSEC");
}

void Writer::entities() {
  str(0, "SECTION");
  str(2, "ENTITIES");
  blockEntities(required<BlockRecord>(d_.modelSpace, "model space"), false);
  str(0, "ENDSEC");
}

// Writes one object and, for a dictionary, the entries it owns (each object
// once, following ownership: an entry naming an object owned elsewhere is
// written as a reference only).
void Writer::objectTree(ObjectId id, std::uint64_t owner) {
  const DbObject* o = get<DbObject>(id);
  if (!o || o->isErased() || !objectsDone_.insert(slotIndexOf(id)).second) return;
  object(*o, owner);
  if (id == d_.nod) madeUpObjects();
  if (o->kind() != Kind::Dictionary) return;
  for (const auto& en : static_cast<const Dictionary*>(o)->entries()) {
    const DbObject* target = get<DbObject>(en.id);
    if (target && target->ownerId() == id) objectTree(en.id, h(id));
  }
}

void Writer::object(const DbObject& o, std::uint64_t owner) {
  std::uint64_t me = h(o.objectId());
  switch (o.kind()) {
    case Kind::Dictionary: {
      auto& d = static_cast<const Dictionary&>(o);
      str(0, "DICTIONARY");
      ownHandle(5, me);
      extDictRef(o);
      handle(330, owner);
      str(100, "AcDbDictionary");
      integer(281, 1);
      bool root = o.objectId() == d_.nod;
      if (root) {
        if (groupDict_) {
          str(3, "ACAD_GROUP");
          handle(350, groupDict_);
        }
        if (makeLayouts_) {
          str(3, "ACAD_LAYOUT");
          handle(350, layoutDict_);
        }
        if (imageDict_) {
          str(3, d.has(L"ACAD_IMAGE_DICT") ? "KIV_IMAGE_DICT" : "ACAD_IMAGE_DICT");
          handle(350, imageDict_);
        }
      }
      for (const auto& en : d.entries()) {
        if (!live(en.id)) continue;
        wstr(3, en.key);
        handle(350, h(en.id));
      }
      xdata(o);
      break;
    }
    case Kind::Xrecord: {
      auto& x = static_cast<const Xrecord&>(o);
      str(0, "XRECORD");
      ownHandle(5, me);
      extDictRef(o);
      handle(330, owner);
      str(100, "AcDbXrecord");
      integer(280, 1);
      values(x.data());
      xdata(o);
      break;
    }
    case Kind::RasterImageDef: {
      auto& def = static_cast<const RasterImageDef&>(o);
      str(0, "IMAGEDEF");
      ownHandle(5, me);
      auto it = imageReactors_.find(me);
      if (it != imageReactors_.end()) {
        str(102, "{ACAD_REACTORS");
        for (auto img : it->second) handle(330, img);
        str(102, "}");
      }
      extDictRef(o);
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
      ownHandle(5, me);
      extDictRef(o);
      handle(330, owner);
      for (const auto& t : u.tags) str(t.code, t.value);
      xdata(o);
      break;
    }
    default:
      break;
  }
}

// The housekeeping dictionaries every drawing file carries, when the drawing
// has none: right after the root dictionary and in the order it names them,
// which is where the entries read back from the file are written next time.
void Writer::madeUpObjects() {
  std::uint64_t root = h(d_.nod);
  if (groupDict_) {
    str(0, "DICTIONARY");
    ownHandle(5, groupDict_);
    handle(330, root);
    str(100, "AcDbDictionary");
    integer(281, 1);
  }
  if (makeLayouts_) {
    str(0, "DICTIONARY");
    ownHandle(5, layoutDict_);
    handle(330, root);
    str(100, "AcDbDictionary");
    integer(281, 1);
    str(3, "Model");
    handle(350, modelLayout_);
    str(3, "Layout1");
    handle(350, paperLayout_);
    auto layout = [&](std::uint64_t hnd, const char* name, int tab, ObjectId block) {
      str(0, "LAYOUT");
      ownHandle(5, hnd);
      handle(330, layoutDict_);
      str(100, "AcDbPlotSettings");
      str(1, "");
      str(2, "none_device");
      str(4, "");
      str(6, "");
      for (int c = 40; c <= 49; ++c) real(c, 0);
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
  }
  if (imageDict_) {
    str(0, "DICTIONARY");
    ownHandle(5, imageDict_);
    handle(330, root);
    str(100, "AcDbDictionary");
    integer(281, 1);
    int n = 0;
    for (ObjectId id : looseImageDefs_) {
      str(3, "IMAGE" + std::to_string(++n));
      handle(350, h(id));
    }
    for (ObjectId id : looseImageDefs_) objectTree(id, imageDict_);
  }
}

void Writer::objects() {
  str(0, "SECTION");
  str(2, "OBJECTS");
  objectTree(d_.nod, 0);
  // Every other object: extension dictionaries wherever their owners are,
  // and objects a file held outside the named objects tree. Objects whose
  // owner is gone went with it.
  for (std::uint32_t i = 0; i < d_.slots.size(); ++i) {
    const Slot& s = d_.slots[i];
    if (s.vanished || s.obj->isErased() || objectsDone_.count(i)) continue;
    Kind k = s.obj->kind();
    if (k != Kind::Dictionary && k != Kind::Xrecord && k != Kind::RasterImageDef && k != Kind::UnknownObject) continue;
    ObjectId owner = s.obj->ownerId();
    if (!owner.isNull() && !live(owner)) continue;
    objectTree(d_.idOf(i), owner.isNull() ? 0 : h(owner));
  }
  str(0, "ENDSEC");
}

void Writer::run() {
  const auto& nod = required<Dictionary>(d_.nod, "named objects dictionary");
  required<BlockRecord>(d_.modelSpace, "model space");
  required<BlockRecord>(d_.paperSpace, "paper space");
  if (!nod.has(L"ACAD_GROUP")) groupDict_ = fresh();
  makeLayouts_ = !nod.has(L"ACAD_LAYOUT");
  if (makeLayouts_) {
    layoutDict_ = fresh();
    modelLayout_ = fresh();
    paperLayout_ = fresh();
  }
  // Image definitions: which images use each, and those no dictionary holds.
  for (std::uint32_t i = 0; i < d_.slots.size(); ++i) {
    const Slot& s = d_.slots[i];
    if (s.vanished || s.obj->isErased()) continue;
    if (s.obj->kind() == Kind::RasterImage) {
      auto* im = static_cast<const RasterImage*>(s.obj.get());
      if (live(im->imageDefId())) imageReactors_[h(im->imageDefId())].push_back(s.handle.value);
    } else if (s.obj->kind() == Kind::RasterImageDef) {
      auto* od = get<Dictionary>(s.obj->ownerId());
      std::wstring key;
      bool owned = od && live(od->objectId()) && od->nameAt(d_.idOf(i), key) == Status::Ok;
      if (!owned) looseImageDefs_.push_back(d_.idOf(i));
    }
  }
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
}

}  // namespace dxf

Status writeDxf(const Database& db, std::string& out, std::string& error) {
  try {
    dxf::Writer w(db);
    w.run();
    out = w.take();
    return Status::Ok;
  } catch (const dxf::WriteError& e) {
    error = e.message;
    return Status::BadFile;
  }
}

}  // namespace cad
