// Writing a database as DXF text (R2007 layout, UTF-8).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

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

// A database that cannot be written as a file that loads again.
struct WriteError {
  std::string message;
};

class Writer {
 public:
  explicit Writer(const Database& db) : db_(db), d_(db.impl()) {
    next_ = d_.nextHandle;
    out_.reserve(1 << 20);
  }

  void run();
  std::string take() { return std::move(out_); }

 private:
  const Database& db_;
  const Database::Impl& d_;
  std::string out_;
  std::uint64_t next_;
  char buf_[64];

  std::uint64_t fresh() { return next_++; }
  // Every record's own handle goes through here: no handle is written twice.
  void own(std::uint64_t h) {
    if (h == 0 || !written_.insert(h).second)
      throw WriteError{"handle " + Handle(h).textUtf8() + " would be written twice"};
  }
  void ownHandle(int c, std::uint64_t h) {
    own(h);
    handle(c, h);
  }
  // Tags kept from a file, as they came (their own handles are checked).
  void raw(const std::vector<RawTag>& tags) {
    for (const auto& t : tags) {
      if (t.code == 5 || t.code == 105) {
        auto hv = Handle::parse(t.value);
        own(hv ? hv->value : 0);
      }
      str(t.code, t.value);
    }
  }
  const std::vector<RawTag>* extrasOf(const DbObject& o) const {
    auto it = d_.keep.recordExtras.find(slotIndexOf(o.objectId()));
    return it == d_.keep.recordExtras.end() ? nullptr : &it->second;
  }
  // A standard object the file layout needs; its absence stops the save.
  template <class T>
  const T& required(ObjectId id, const char* what) const {
    const T* o = get<T>(id);
    if (!o || o->isErased()) throw WriteError{std::string("the drawing has no ") + what};
    return *o;
  }
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
    return s && !s->vanished ? dynamic_cast<const T*>(s->obj.get()) : nullptr;
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
  bool modelledVar(std::string_view name, std::string_view fileValue);
  void classes();
  void tables();
  void tableHead(const char* name, std::uint64_t handle, int count, const char* subclass = nullptr);
  void recordHead(const char* type, const DbObject& o, std::uint64_t table, const char* subclass);
  template <class R>
  std::vector<const R*> records(ObjectId table, const char* what) const;
  void extras(const DbObject& o, std::initializer_list<std::pair<int, const char*>> defaults);
  void blocks();
  void blockEntities(const BlockRecord& b, bool paper);
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
  void values(const ValueChain& chain);

  std::uint64_t groupDict_ = 0, layoutDict_ = 0, modelLayout_ = 0, paperLayout_ = 0, imageDict_ = 0;
  std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> imageReactors_;  // def -> images
  std::vector<ObjectId> looseImageDefs_;
  std::unordered_set<std::uint64_t> written_;     // handles of the records written so far
  std::unordered_set<std::uint32_t> objectsDone_;  // slots of the objects written so far
  bool makeLayouts_ = false;                       // the drawing has no layout dictionary of its own
  void objectTree(ObjectId id, std::uint64_t owner);
  const FileKeep::Table* keptTable(const char* name) const {
    for (const auto& t : d_.keep.tables)
      if (t.name == name) return &t;
    return nullptr;
  }
  // Writes a kept table; false when the file had none of that name.
  bool keptTableOut(const char* name) {
    const FileKeep::Table* t = keptTable(name);
    if (!t) return false;
    str(0, "TABLE");
    raw(t->head);
    for (const auto& r : t->records) {
      str(0, r.type);
      raw(r.tags);
    }
    str(0, "ENDTAB");
    return true;
  }
};

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

void Writer::header() {
  str(0, "SECTION");
  str(2, "HEADER");
  std::unordered_set<std::string_view> done;
  // A drawing read from a file keeps every variable in its order.
  for (const auto& v : d_.keep.header) {
    if (!done.insert(v.name).second) continue;
    std::string_view first = v.tags.empty() ? std::string_view() : std::string_view(v.tags.front().value);
    if (modelledVar(v.name, first)) continue;
    str(9, v.name);
    for (const auto& t : v.tags) str(t.code, t.value);
  }
  static constexpr std::string_view kModelled[] = {"$ACADVER", "$INSUNITS", "$LTSCALE", "$CLAYER", "$CELTYPE",
                                                    "$TEXTSTYLE", "$DIMTXSTY", "$HANDSEED"};
  for (std::string_view name : kModelled)
    if (!done.count(name)) modelledVar(name, "AC1021");
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

// The layer name written for an entity: "0" when it names none.
static std::wstring layerName(const Entity& e) {
  std::wstring layer = e.layer();
  return layer.empty() ? std::wstring(L"0") : layer;
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
        if (auto* attr = get<Attribute>(a); attr && live(a)) attrs.push_back(attr);
      if (b.blockName().empty()) throw WriteError{"block reference " + Handle(me).textUtf8() + " names no block"};
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
      ownHandle(5, me);
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

void Writer::objects() {
  str(0, "SECTION");
  str(2, "OBJECTS");
  std::uint64_t root = h(d_.nod);
  objectTree(d_.nod, 0);
  // The housekeeping dictionaries every drawing file carries, when the drawing has none.
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

}  // namespace

Status writeDxf(const Database& db, std::string& out, std::string& error) {
  try {
    Writer w(db);
    w.run();
    out = w.take();
    return Status::Ok;
  } catch (const WriteError& e) {
    error = e.message;
    return Status::BadFile;
  }
}

}  // namespace cad
