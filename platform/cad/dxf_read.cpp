// Reading DXF text into a fresh database. Any structural fault fails the
// whole read with a message; records of kinds we do not model are kept
// (entities, objects) or skipped (table records) with a notice.
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <algorithm>

#include "platform/cad/geomutil.h"
#include "platform/cad/internal.h"

namespace cad {

extern const wchar_t* const kShapeApp;

namespace {

using namespace gu;
constexpr double kDegToRad = geom::kPi / 180.0;

struct Tag {
  int code = 0;
  std::uint32_t line = 0;  // the line of the value
  std::string_view value;
};

struct BadFile {
  std::string message;
};

class Tokens {
 public:
  explicit Tokens(std::string_view t) : text_(t) {
    if (text_.size() >= 3 && std::memcmp(text_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }
  bool next(Tag& t) {
    if (hasPeek_) { t = peek_; hasPeek_ = false; return true; }
    return read(t);
  }
  const Tag& peek() {
    if (!hasPeek_) {
      if (!read(peek_)) peek_ = Tag{-1, 0, {}};
      hasPeek_ = true;
    }
    return peek_;
  }
  std::size_t line() const { return line_; }

 private:
  bool readLine(std::string_view& out) {
    if (pos_ >= text_.size()) return false;
    const char* start = text_.data() + pos_;
    const void* nl = std::memchr(start, '\n', text_.size() - pos_);
    std::size_t len = nl ? std::size_t(static_cast<const char*>(nl) - start) : text_.size() - pos_;
    out = std::string_view(start, len);
    if (!out.empty() && out.back() == '\r') out.remove_suffix(1);
    pos_ += len + (nl ? 1 : 0);
    ++line_;
    return true;
  }
  bool read(Tag& t) {
    std::string_view c, v;
    if (!readLine(c)) return false;
    while (!c.empty() && (c.front() == ' ' || c.front() == '\t')) c.remove_prefix(1);
    while (!c.empty() && (c.back() == ' ' || c.back() == '\t')) c.remove_suffix(1);
    int code = 0;
    auto [p, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
    if (ec != std::errc() || p != c.data() + c.size())
      throw BadFile{"line " + std::to_string(line_) + ": a group code was expected, found \"" + std::string(c.substr(0, 40)) + "\""};
    if (!readLine(v)) throw BadFile{"line " + std::to_string(line_) + ": the file ends after a group code"};
    t.code = code;
    t.line = std::uint32_t(line_);
    t.value = v;
    return true;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 0;
  Tag peek_;
  bool hasPeek_ = false;
};

std::string unescape(std::string_view v) {
  if (v.find('^') == std::string_view::npos) return std::string(v);
  std::string r;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '^' && i + 1 < v.size()) {
      char n = v[i + 1];
      if (n == ' ') { r += '^'; ++i; continue; }
      if (n >= '@' && n <= '_') { r += char(n - 64); ++i; continue; }
    }
    r += v[i];
  }
  return r;
}

// One record (entity or object): its tags, split into the parts we read.
struct Record {
  std::string type;
  std::vector<Tag> tags;      // data tags, without 5, 330, 102 groups and extended data
  std::uint64_t handle = 0;
  std::uint64_t owner = 0;
  std::uint64_t xdict = 0;
  std::vector<std::uint64_t> reactors;
  std::vector<Tag> xdata;     // from the first 1001
  std::size_t line = 0;
};

class Reader {
 public:
  Reader(Database& db, std::string_view text, std::vector<std::string>& notices)
      : db_(db), d_(db.impl()), tok_(text), notices_(notices) {
    // The standard records exist before the file names them (or does not).
    layers_[foldName(kLayerZero)] = d_.layerZero;
    styles_[foldName(kStandardStyle)] = d_.standardStyle;
    linetypes_[foldName(L"ByBlock")] = d_.byBlockLt;
    linetypes_[foldName(L"ByLayer")] = d_.byLayerLt;
    linetypes_[foldName(kContinuous)] = d_.continuous;
    blocks_[foldName(kModelSpace)] = d_.modelSpace;
    blocks_[foldName(kPaperSpace)] = d_.paperSpace;
  }
  void run();

 private:
  Database& db_;
  Database::Impl& d_;
  Tokens tok_;
  std::vector<std::string>& notices_;
  std::unordered_map<std::uint64_t, ObjectId> byFileHandle_;
  std::unordered_map<std::wstring, ObjectId> layers_, styles_, linetypes_, blocks_;
  std::unordered_map<std::wstring, std::uint64_t> blockRecordHandles_;
  std::unordered_map<std::uint32_t, int> stdIndex_;  // standard objects waiting for a file handle
  std::uint64_t handseed_ = 0;
  std::wstring clayer_, textstyle_, celtype_, dimtxsty_;
  double ltscale_ = 1;
  std::string version_;
  int unknownCount_ = 0;
  std::unordered_map<std::string, int> skipped_;

  // References resolved at the end.
  struct DictRef { ObjectId dict; std::wstring key; std::uint64_t h; };
  std::vector<DictRef> dictRefs_;
  struct XDictRef { ObjectId obj; std::uint64_t h; };
  std::vector<XDictRef> xdictRefs_;
  struct OwnerRef { ObjectId obj; std::uint64_t h; };
  std::vector<OwnerRef> ownerRefs_;
  struct InsertRef { ObjectId ref; std::wstring name; };
  std::vector<InsertRef> insertRefs_;
  struct ImageRef { ObjectId img; std::uint64_t h; };
  std::vector<ImageRef> imageRefs_;
  struct HatchRef { ObjectId hatch; std::size_t loop; std::vector<std::uint64_t> hs; };
  std::vector<HatchRef> hatchRefs_;
  ObjectId rootDict_;
  std::vector<std::uint64_t> attrHandles_, attrXdicts_;
  std::set<std::string> unknownTypes_;
  std::string lastLayerRaw_;
  ObjectId lastLayerId_;
  std::unordered_map<std::string, std::wstring> knownApps_;  // raw name -> registered name
  std::unordered_set<std::uint64_t> rawHandles_;  // handles of records kept as they are
  bool nodSeen_ = false;
  [[noreturn]] void fail(const std::string& m) { throw BadFile{"line " + std::to_string(tok_.line()) + ": " + m}; }
  std::wstring wtext(std::string_view v, const char* what) {
    bool bad = false;
    std::wstring r = fromUtf8(unescape(v), &bad);
    if (bad) notices_.push_back(std::string("invalid UTF-8 in ") + what + " replaced");
    return r;
  }
  std::wstring wname(std::string_view v, const char* what) {
    bool bad = false;
    std::wstring r = fromUtf8(unescape(v), &bad);
    if (bad) fail(std::string("invalid UTF-8 in ") + what + " name");
    return r;
  }
  [[noreturn]] static void badValue(const Tag& t, const char* expected) {
    throw BadFile{"line " + std::to_string(t.line) + ": group " + std::to_string(t.code) + ": " + expected +
                  " was expected, found \"" + std::string(t.value.substr(0, 40)) + "\""};
  }
  // A real value; infinities and NaN are refused.
  static double num(const Tag& t) {
    double v = 0;
    std::string_view s = t.value;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v)) badValue(t, "a number");
    return v;
  }
  // A whole number within the range of its group code's type (16, 32 or 64
  // bits; unsigned values of the width are accepted too).
  static std::int64_t inum(const Tag& t) {
    double v = num(t);
    int c = t.code;
    double lo = -9.2e18, hi = 9.2e18;
    if ((c >= 60 && c <= 79) || (c >= 170 && c <= 179) || (c >= 270 && c <= 289) || (c >= 370 && c <= 389) ||
        (c >= 400 && c <= 409) || (c >= 1060 && c <= 1070)) {
      lo = -32768;
      hi = 65535;
    } else if ((c >= 90 && c <= 99) || (c >= 420 && c <= 429) || (c >= 440 && c <= 449) || c == 1071) {
      lo = -2147483648.0;
      hi = 4294967295.0;
    }
    if (!(v >= lo && v <= hi)) badValue(t, "a whole number in range");
    return std::llround(v);
  }
  static int inum32(const Tag& t) { return int(inum(t)); }
  // A tag kept to be written back as it came: its value must be what its
  // group code says, so that the saved file reads again.
  static RawTag kept(const Tag& t) {
    switch (valueTypeOf(t.code)) {
      case ValueType::Point:
      case ValueType::Real: num(t); break;
      case ValueType::Int: inum(t); break;
      case ValueType::Handle: hnum(t); break;
      default: break;
    }
    return {t.code, std::string(t.value)};
  }
  static std::uint64_t hnum(const Tag& t) {
    auto h = Handle::parse(t.value);
    if (!h) badValue(t, "a handle");
    return h->value;
  }

  void expectSectionEnd(const Tag& t) {
    (void)t;
  }
  void readRecord(Record& r);
  ObjectId place(std::unique_ptr<DbObject> obj, const Record& r, ObjectId owner);
  void header();
  void tables();
  void blocksSection();
  void entitiesSection();
  void objectsSection();
  void skipSection();
  void classes();
  // Reads the tags of a record kept as it is (its handles are reserved).
  bool readRaw(std::vector<RawTag>& out);
  void reserveHandle(std::uint64_t h);
  // Keeps the tags of a modelled table record that are not in `modelled`.
  void keepExtras(ObjectId id, const Record& r, std::initializer_list<int> modelled);
  // Reads one entity starting at its type tag (already consumed into r.type);
  // follows VERTEX/ATTRIB sequences. Returns the entity or null when skipped.
  std::unique_ptr<Entity> entity(Record& r, std::vector<std::unique_ptr<Attribute>>* attrs);
  void common(Entity& e, const Record& r);
  void applyXData(DbObject& o, const Record& r, ValueChain* shape);
  void appendTo(ObjectId block, std::unique_ptr<Entity> e, const Record& r,
                std::vector<std::unique_ptr<Attribute>>* attrs);
  ObjectId layerFor(const std::wstring& name);
  std::unique_ptr<DbObject> object(Record& r, ObjectId& dictOut);
  void finish();
  // Gives every dictionary entry and extension dictionary reference of the
  // file an owner, repairing what would not load again: an object claimed
  // twice keeps its first (or its own recorded) owner, and entries naming
  // the dictionary itself, the named objects dictionary, tables, records or
  // entities are dropped, each with a notice.
  void resolveOwnership();
  void rekey(ObjectId id, std::uint64_t h);
};

void Reader::readRecord(Record& r) {
  r.tags.clear();
  r.xdata.clear();
  r.reactors.clear();
  r.handle = r.owner = r.xdict = 0;
  r.line = tok_.line();
  bool inXData = false;
  Tag t;
  while (tok_.peek().code != 0 && tok_.peek().code != -1) {
    tok_.next(t);
    if (inXData || t.code >= 1000) {
      inXData = true;
      r.xdata.push_back(t);
      continue;
    }
    if ((t.code == 5 || t.code == 105) && r.handle == 0) { r.handle = hnum(t); continue; }
    if (t.code == 330 && r.owner == 0 && r.tags.empty()) { r.owner = hnum(t); continue; }
    if (t.code == 102) {
      std::string_view v = t.value;
      if (v == "{ACAD_XDICTIONARY") {
        while (tok_.next(t) && !(t.code == 102)) if (t.code == 360) r.xdict = hnum(t);
        continue;
      }
      if (v == "{ACAD_REACTORS") {
        while (tok_.next(t) && !(t.code == 102)) if (t.code == 330) r.reactors.push_back(hnum(t));
        continue;
      }
      if (!v.empty() && v[0] == '{') {
        while (tok_.next(t) && !(t.code == 102)) {}
        continue;
      }
    }
    r.tags.push_back(t);
  }
  if (tok_.peek().code == -1) fail("the file ends inside a " + r.type + " record");
}

void Reader::rekey(ObjectId id, std::uint64_t h) {
  Slot* s = d_.slot(id);
  if ((byFileHandle_.count(h) && byFileHandle_[h] != id) || rawHandles_.count(h))
    fail("duplicate handle " + Handle(h).textUtf8());
  if (auto it = d_.byHandle.find(s->handle.value); it != d_.byHandle.end() && it->second == slotIndexOf(id))
    d_.byHandle.erase(it);
  if (auto it = d_.byHandle.find(h); it != d_.byHandle.end() && it->second != slotIndexOf(id)) {
    std::uint32_t other = it->second;
    d_.slots[other].handle = Handle(0xFFFFFFF00000ull + other);
    d_.byHandle[d_.slots[other].handle.value] = other;
  }
  s->handle = Handle(h);
  d_.byHandle[h] = slotIndexOf(id);
  byFileHandle_[h] = id;
  stdIndex_.erase(slotIndexOf(id));
}

ObjectId Reader::place(std::unique_ptr<DbObject> obj, const Record& r, ObjectId owner) {
  if (r.handle && (byFileHandle_.count(r.handle) || rawHandles_.count(r.handle))) fail("duplicate handle " + Handle(r.handle).textUtf8() + " (" + r.type + ")");
  if (r.handle && d_.byHandle.count(r.handle)) {
    // A standard object still holds that number: move it out of the way.
    std::uint32_t idx = d_.byHandle[r.handle];
    d_.byHandle.erase(r.handle);
    d_.slots[idx].handle = Handle(0xFFFFFFF00000ull + idx);
    d_.byHandle[d_.slots[idx].handle.value] = idx;
  }
  ObjectId id = d_.add(std::move(obj), owner, Handle(r.handle), true);
  if (r.handle) byFileHandle_[r.handle] = id;
  if (r.xdict) xdictRefs_.push_back({id, r.xdict});
  return id;
}

void Reader::header() {
  Tag t;
  std::string var;
  FileKeep::Var* var_ = nullptr;
  while (tok_.next(t)) {
    if (t.code == 0) {
      if (t.value == "ENDSEC") return;
      fail("unexpected " + std::string(t.value) + " in the header");
    }
    if (t.code == 9) {
      var = std::string(t.value);
      var_ = &d_.keep.header.emplace_back(FileKeep::Var{var, {}});
      continue;
    }
    if (!var_) fail("a header variable name was expected");
    // The variables the database holds must be good; others are only copied.
    if (var == "$ACADVER" && t.code == 1) version_ = std::string(t.value);
    else if (var == "$HANDSEED" && t.code == 5) handseed_ = hnum(t);
    else if (var == "$CLAYER" && t.code == 8) clayer_ = wtext(t.value, "$CLAYER");
    else if (var == "$TEXTSTYLE" && t.code == 7) textstyle_ = wtext(t.value, "$TEXTSTYLE");
    else if (var == "$CELTYPE" && t.code == 6) celtype_ = wtext(t.value, "$CELTYPE");
    else if (var == "$DIMTXSTY" && t.code == 7) dimtxsty_ = wtext(t.value, "$DIMTXSTY");
    else if (var == "$LTSCALE" && t.code == 40) ltscale_ = num(t);
    else if (var == "$INSUNITS" && t.code == 70) d_.header.insunits = inum32(t);
    try {
      var_->tags.push_back(kept(t));
    } catch (const BadFile& b) {
      notices_.push_back(b.message + "; header variable " + var + " was dropped");
      d_.keep.header.pop_back();
      var_ = nullptr;
      while (tok_.peek().code != 9 && tok_.peek().code != 0 && tok_.peek().code != -1) tok_.next(t);
    }
  }
  fail("the file ends inside the header");
}

bool Reader::readRaw(std::vector<RawTag>& out) {
  Tag t;
  std::string bad;
  while (tok_.peek().code != 0 && tok_.peek().code != -1) {
    tok_.next(t);
    if (!bad.empty()) continue;
    try {
      out.push_back(kept(t));
    } catch (const BadFile& b) {
      bad = b.message;
    }
  }
  if (tok_.peek().code == -1) fail("the file ends inside a record");
  if (!bad.empty()) {
    // Data we would only copy: dropped rather than written back damaged.
    notices_.push_back(bad + "; the record was dropped");
    out.clear();
    return false;
  }
  for (const auto& k : out)
    if (k.code == 5 || k.code == 105) reserveHandle(Handle::parse(k.value)->value);
  return true;
}

void Reader::reserveHandle(std::uint64_t h) {
  if (byFileHandle_.count(h) || !rawHandles_.insert(h).second) fail("duplicate handle " + Handle(h).textUtf8());
}

void Reader::classes() {
  Tag t;
  while (tok_.next(t)) {
    if (t.code != 0) fail("a class was expected");
    if (t.value == "ENDSEC") return;
    if (!readRaw(d_.keep.classes.emplace_back())) d_.keep.classes.pop_back();
  }
  fail("the file ends inside the classes");
}

void Reader::keepExtras(ObjectId id, const Record& r, std::initializer_list<int> modelled) {
  std::vector<RawTag> extras;
  for (const auto& t : r.tags)
    if (t.code != 100 && std::find(modelled.begin(), modelled.end(), t.code) == modelled.end())
      extras.push_back(kept(t));
  if (!extras.empty()) d_.keep.recordExtras[slotIndexOf(id)] = std::move(extras);
}

void Reader::skipSection() {
  Tag t;
  while (tok_.next(t))
    if (t.code == 0 && t.value == "ENDSEC") return;
  fail("the file ends inside a section");
}

ObjectId Reader::layerFor(const std::wstring& name) {
  std::wstring key = foldName(name.empty() ? L"0" : name);
  auto it = layers_.find(key);
  if (it != layers_.end()) return it->second;
  if (!isValidSymbolName(name)) fail("invalid layer name");
  // A layer the tables do not list: made, as the host does.
  auto rec = std::make_unique<LayerRecord>();
  rec->setName(name);
  auto* table = static_cast<SymbolTable*>(d_.slot(d_.layerTable)->obj.get());
  ObjectId id;
  if (table->add(rec.get(), &id) != Status::Ok) fail("layer \"" + toUtf8(name) + "\" cannot be added");
  rec.release();
  d_.slot(id)->writer = false;
  layers_[key] = id;
  notices_.push_back("layer \"" + toUtf8(name) + "\" was missing from the layer table and was added");
  return id;
}

void Reader::tables() {
  Tag t;
  std::string table;
  Record r;
  FileKeep::Table* raw = nullptr;  // a table kept as it is
  FileKeep::Table droppedTable;
  while (tok_.next(t)) {
    if (t.code != 0) fail("a record was expected in the tables");
    if (t.value == "ENDSEC") return;
    if (t.value == "TABLE") {
      if (tok_.peek().code != 2) fail("a table name was expected");
      table = std::string(tok_.peek().value);
      ObjectId tid = table == "LAYER" ? d_.layerTable : table == "LTYPE" ? d_.linetypeTable
                   : table == "STYLE" ? d_.textStyleTable : table == "APPID" ? d_.regAppTable
                   : table == "BLOCK_RECORD" ? d_.blockTable : ObjectId();
      if (tid.isNull()) {
        // Viewports, views, coordinate systems, dimension styles: kept as they are.
        raw = &d_.keep.tables.emplace_back(FileKeep::Table{table, {}, {}});
        if (!readRaw(raw->head)) {
          d_.keep.tables.pop_back();
          raw = &droppedTable;  // its records go with it
        }
        continue;
      }
      raw = nullptr;
      r.type = "TABLE";
      readRecord(r);
      if (r.handle) rekey(tid, r.handle);
      continue;
    }
    if (t.value == "ENDTAB") {
      r.type = "ENDTAB";
      readRecord(r);
      table.clear();
      raw = nullptr;
      continue;
    }
    if (raw) {
      auto& rec = raw->records.emplace_back(FileKeep::Record{std::string(t.value), {}});
      if (!readRaw(rec.tags) || raw == &droppedTable) raw->records.pop_back();
      continue;
    }
    r.type = std::string(t.value);
    readRecord(r);
    std::wstring name;
    int flags = 0;
    for (const auto& x : r.tags) {
      if (x.code == 2) name = wname(x.value, r.type.c_str());
      else if (x.code == 70) flags = inum32(x);
    }
    if (r.type == "LAYER") {
      if (!isValidSymbolName(name)) fail("invalid layer name \"" + toUtf8(name) + "\"");
      ObjectId id = namesEqual(name, L"0") ? d_.layerZero : ObjectId();
      std::unique_ptr<LayerRecord> fresh;
      LayerRecord* l;
      if (id.isNull()) {
        if (layers_.count(foldName(name))) fail("duplicate layer \"" + toUtf8(name) + "\"");
        fresh = std::make_unique<LayerRecord>();
        l = fresh.get();
        l->setName(name);
      } else {
        l = static_cast<LayerRecord*>(d_.slot(id)->obj.get());
        d_.slot(id)->writer = true;
      }
      int ci = 7;
      long long rgb = -1;
      for (const auto& x : r.tags) {
        switch (x.code) {
          case 62: ci = inum32(x); break;
          case 420: rgb = inum(x); break;
          case 6: l->setLinetype(wtext(x.value, "linetype")); break;
          case 290: l->setIsPlottable(inum(x) != 0); break;
          case 370: l->setLineWeight(inum32(x)); break;
          default: break;
        }
      }
      l->setIsOff(ci < 0);
      l->setIsFrozen((flags & 1) != 0);
      l->setIsLocked((flags & 4) != 0);
      l->setVPDFLT((flags & 2) != 0);
      if (rgb >= 0) l->setColor(Color::fromRgb(Rgb::fromPacked(std::uint32_t(rgb))));
      else l->setColor(Color::fromIndex(std::abs(ci) >= 1 && std::abs(ci) <= 255 ? std::abs(ci) : 7));
      if (fresh) {
        id = place(std::move(fresh), r, d_.layerTable);
        static_cast<SymbolTable*>(d_.slot(d_.layerTable)->obj.get())->recordsMutable().push_back(id);
      } else {
        d_.slot(id)->writer = false;
        if (r.handle) rekey(id, r.handle);
      }
      applyXData(*d_.slot(id)->obj, r, nullptr);
      keepExtras(id, r, {2, 70, 62, 420, 6, 290, 370});
      layers_[foldName(name)] = id;
    } else if (r.type == "LTYPE") {
      if (!isValidSymbolName(name)) fail("invalid linetype name \"" + toUtf8(name) + "\"");
      ObjectId id = namesEqual(name, L"ByBlock") ? d_.byBlockLt : namesEqual(name, L"ByLayer") ? d_.byLayerLt
                  : namesEqual(name, kContinuous) ? d_.continuous : ObjectId();
      if (!id.isNull()) {
        if (r.handle) rekey(id, r.handle);
      } else {
        if (linetypes_.count(foldName(name))) fail("duplicate linetype \"" + toUtf8(name) + "\"");
        auto rec = std::make_unique<LinetypeRecord>();
        rec->setName(name);
        std::vector<double> dashes;
        for (const auto& x : r.tags) {
          if (x.code == 3) rec->setDescription(wtext(x.value, "linetype description"));
          else if (x.code == 49) dashes.push_back(num(x));
        }
        rec->setDashes(dashes);
        id = place(std::move(rec), r, d_.linetypeTable);
        static_cast<SymbolTable*>(d_.slot(d_.linetypeTable)->obj.get())->recordsMutable().push_back(id);
      }
      linetypes_[foldName(name)] = id;
    } else if (r.type == "STYLE") {
      if (name.empty()) continue;  // shape files
      if (!isValidSymbolName(name)) fail("invalid text style name \"" + toUtf8(name) + "\"");
      ObjectId id = namesEqual(name, kStandardStyle) ? d_.standardStyle : ObjectId();
      std::unique_ptr<TextStyleRecord> fresh;
      TextStyleRecord* s;
      if (id.isNull()) {
        if (styles_.count(foldName(name))) fail("duplicate text style \"" + toUtf8(name) + "\"");
        fresh = std::make_unique<TextStyleRecord>();
        s = fresh.get();
        s->setName(name);
      } else {
        s = static_cast<TextStyleRecord*>(d_.slot(id)->obj.get());
        d_.slot(id)->writer = true;
      }
      for (const auto& x : r.tags) {
        switch (x.code) {
          case 40: s->setTextSize(std::max(0.0, num(x))); break;
          case 41: if (num(x) > 0) s->setXScale(num(x)); break;
          case 50: s->setObliquingAngle(num(x) * kDegToRad); break;
          case 3: s->setFileName(wtext(x.value, "font file")); break;
          case 4: s->setBigFontFileName(wtext(x.value, "big font file")); break;
          default: break;
        }
      }
      for (std::size_t i = 0; i + 1 < r.xdata.size(); ++i) {
        if (r.xdata[i].code == 1001 && r.xdata[i].value == "ACAD" && r.xdata[i + 1].code == 1000) {
          int bits = 0;
          if (i + 2 < r.xdata.size() && r.xdata[i + 2].code == 1071) bits = inum32(r.xdata[i + 2]);
          s->setFont(wtext(r.xdata[i + 1].value, "font face"), (bits & 0x2000000) != 0, (bits & 0x1000000) != 0,
                     (bits >> 8) & 0xFF, bits & 0xFF);
        }
      }
      if (fresh) {
        id = place(std::move(fresh), r, d_.textStyleTable);
        static_cast<SymbolTable*>(d_.slot(d_.textStyleTable)->obj.get())->recordsMutable().push_back(id);
      } else {
        d_.slot(id)->writer = false;
        if (r.handle) rekey(id, r.handle);
      }
      keepExtras(id, r, {2, 40, 41, 50, 3, 4});
      styles_[foldName(name)] = id;
    } else if (r.type == "APPID") {
      if (namesEqual(name, kShapeApp)) continue;
      if (!isValidSymbolName(name)) fail("invalid application name \"" + toUtf8(name) + "\"");
      ObjectId existing = db_.isRegApp(name) ? static_cast<SymbolTable*>(d_.slot(d_.regAppTable)->obj.get())->getAt(name) : ObjectId();
      if (!existing.isNull()) {
        if (r.handle) rekey(existing, r.handle);
        continue;
      }
      auto rec = std::make_unique<RegAppRecord>();
      rec->setName(name);
      ObjectId id = place(std::move(rec), r, d_.regAppTable);
      static_cast<SymbolTable*>(d_.slot(d_.regAppTable)->obj.get())->recordsMutable().push_back(id);
    } else if (r.type == "BLOCK_RECORD") {
      if (!isValidSymbolName(name, true)) fail("invalid block name \"" + toUtf8(name) + "\"");
      blockRecordHandles_[foldName(name)] = r.handle;
      ObjectId id = namesEqual(name, kModelSpace) ? d_.modelSpace : namesEqual(name, kPaperSpace) ? d_.paperSpace : ObjectId();
      if (!id.isNull()) {
        if (r.handle) rekey(id, r.handle);
      } else {
        if (blocks_.count(foldName(name))) fail("duplicate block \"" + toUtf8(name) + "\"");
        auto rec = std::make_unique<BlockRecord>();
        rec->setName(name);
        id = place(std::move(rec), r, d_.blockTable);
        static_cast<SymbolTable*>(d_.slot(d_.blockTable)->obj.get())->recordsMutable().push_back(id);
      }
      applyXData(*d_.slot(id)->obj, r, nullptr);
      keepExtras(id, r, {2});
      blocks_[foldName(name)] = id;
    } else {
      ++skipped_[r.type];
    }
  }
  fail("the file ends inside the tables");
}

void Reader::applyXData(DbObject& o, const Record& r, ValueChain* shape) {
  if (r.xdata.empty()) return;
  ValueChain chain;
  ValueChain* target = &chain;
  for (std::size_t i = 0; i < r.xdata.size(); ++i) {
    const Tag& t = r.xdata[i];
    if (t.code == 1001) {
      auto known = knownApps_.find(std::string(t.value));
      std::wstring app = known != knownApps_.end() ? known->second : wname(t.value, "application");
      bool isShape = namesEqual(app, kShapeApp);
      target = isShape ? shape : &chain;
      if (!target) { target = nullptr; continue; }
      target->emplace_back(1001, app);
      if (!isShape && known == knownApps_.end()) {
        if (!db_.isRegApp(app)) {
          if (db_.registerApp(app) != Status::Ok) fail("invalid application name in extended data");
          notices_.push_back("application \"" + toUtf8(app) + "\" was not registered and was added");
        }
        knownApps_.emplace(std::string(t.value), app);
      }
      continue;
    }
    if (!target) continue;
    if (t.code >= 1010 && t.code <= 1013) {
      Point3d p{num(t), 0, 0};
      if (i + 1 < r.xdata.size() && r.xdata[i + 1].code == t.code + 10) p.y = num(r.xdata[++i]);
      if (i + 1 < r.xdata.size() && r.xdata[i + 1].code == t.code + 20) p.z = num(r.xdata[++i]);
      target->emplace_back(t.code, p);
    } else if (t.code >= 1040 && t.code <= 1042) {
      target->emplace_back(t.code, num(t));
    } else if (t.code == 1070 || t.code == 1071) {
      target->emplace_back(t.code, std::int64_t(inum(t)));
    } else if (t.code >= 1000 && t.code <= 1005) {
      target->emplace_back(t.code, wtext(t.value, "extended data"));
    } else {
      notices_.push_back("extended data group " + std::to_string(t.code) + " skipped");
    }
  }
  if (!chain.empty()) {
    // Stored as read: the per-object limits guard the program's own writes.
    DbObject::Internal::xdata(o) = std::move(chain);
  }
}

void Reader::common(Entity& e, const Record& r) {
  std::string_view layerRaw = "0";
  for (const auto& t : r.tags) {
    switch (t.code) {
      case 8: layerRaw = t.value; break;
      case 6: DbObject::Internal::setLinetypeRaw(e, wtext(t.value, "linetype")); break;
      case 62: DbObject::Internal::setColorRaw(e, Color::fromIndex(inum32(t))); break;
      case 420: DbObject::Internal::setColorRaw(e, Color::fromRgb(Rgb::fromPacked(std::uint32_t(inum(t))))); break;
      case 370: DbObject::Internal::setLineWeightRaw(e, inum32(t)); break;
      case 48: if (num(t) > 0) DbObject::Internal::setLtScaleRaw(e, num(t)); break;
      case 60: DbObject::Internal::setVisibleRaw(e, inum(t) == 0); break;
      default: break;
    }
  }
  // Runs of entities on one layer are common: the last lookup is kept.
  if (layerRaw != lastLayerRaw_ || lastLayerId_.isNull()) {
    lastLayerId_ = layerFor(wname(layerRaw, "layer"));
    lastLayerRaw_ = std::string(layerRaw);
  }
  DbObject::Internal::layerId(e) = lastLayerId_;
}

// Collects the 10/20/30-style points of a record's tags.
struct Pts {
  explicit Pts(const std::vector<Tag>& tags) : tags_(tags) {}
  const std::vector<Tag>& tags_;
};

std::unique_ptr<Entity> Reader::entity(Record& r, std::vector<std::unique_ptr<Attribute>>* attrs) {
  readRecord(r);
  const auto& T = r.tags;
  auto get = [&](int code, double def = 0) {
    for (const auto& t : T) if (t.code == code) return num(t);
    return def;
  };
  // A whole number of the record (checked against its group code's range).
  auto geti = [&](int code, int def = 0) {
    for (const auto& t : T) if (t.code == code) return inum32(t);
    return def;
  };
  auto has = [&](int code) {
    for (const auto& t : T) if (t.code == code) return true;
    return false;
  };
  auto pt = [&](int code) { return Point3d(get(code), get(code + 10), get(code + 20)); };
  auto nrm = [&]() {
    Vector3d n(get(210, 0), get(220, 0), get(230, 1));
    return n.isZeroLength() ? Vector3d(0, 0, 1) : n.normal();
  };
  auto text = [&](int code) {
    for (const auto& t : T) if (t.code == code) return wtext(t.value, "text");
    return std::wstring();
  };
  auto styleOf = [&]() {
    std::wstring s = text(7);
    auto it = styles_.find(foldName(s.empty() ? std::wstring(kStandardStyle) : s));
    return it == styles_.end() ? d_.standardStyle : it->second;
  };
  std::unique_ptr<Entity> e;
  const std::string& type = r.type;
  if (type == "LINE") {
    auto l = std::make_unique<Line>(pt(10), pt(11));
    l->setNormal(nrm());
    l->setThickness(get(39));
    e = std::move(l);
  } else if (type == "LWPOLYLINE") {
    auto p = std::make_unique<Polyline>();
    Vector3d n = nrm();
    p->setNormal(n);
    p->setElevation(get(38));
    p->setThickness(get(39));
    int flags = geti(70);
    p->setClosed(flags & 1);
    double cw = get(43);
    std::vector<Polyline::Vertex> v;
    for (std::size_t i = 0; i < T.size(); ++i) {
      const Tag& t = T[i];
      if (t.code == 10) v.push_back({{num(t), 0}, 0, cw, cw});
      else if (v.empty()) continue;
      else if (t.code == 20) v.back().pt.y = num(t);
      else if (t.code == 40) v.back().startWidth = num(t);
      else if (t.code == 41) v.back().endWidth = num(t);
      else if (t.code == 42) v.back().bulge = num(t);
    }
    if (has(43)) p->setConstantWidth(cw);
    for (unsigned i = 0; i < v.size(); ++i) p->addVertexAt(i, v[i].pt, v[i].bulge, v[i].startWidth, v[i].endWidth);
    e = std::move(p);
  } else if (type == "POLYLINE") {
    int flags = geti(70);
    Vector3d n = nrm();
    double elev = get(30);
    struct V { Point3d p; double sw, ew, b; int flags; int idx[4]; };
    std::vector<V> verts;
    Tag t;
    while (tok_.peek().code == 0 && tok_.peek().value == "VERTEX") {
      tok_.next(t);
      Record vr;
      vr.type = "VERTEX";
      readRecord(vr);
      V v{{}, get(40), get(41), 0, 0, {0, 0, 0, 0}};
      for (const auto& x : vr.tags) {
        switch (x.code) {
          case 10: v.p.x = num(x); break;
          case 20: v.p.y = num(x); break;
          case 30: v.p.z = num(x); break;
          case 40: v.sw = num(x); break;
          case 41: v.ew = num(x); break;
          case 42: v.b = num(x); break;
          case 70: v.flags = inum32(x); break;
          case 71: case 72: case 73: case 74: v.idx[x.code - 71] = inum32(x); break;
          default: break;
        }
      }
      verts.push_back(v);
    }
    if (tok_.peek().code == 0 && tok_.peek().value == "SEQEND") {
      tok_.next(t);
      Record sr;
      sr.type = "SEQEND";
      readRecord(sr);
    } else {
      fail("a POLYLINE lacks its SEQEND");
    }
    if (flags & 64) {
      std::vector<Point3d> pts;
      std::vector<PolyfaceMesh::Face> faces;
      for (const auto& v : verts) {
        if (v.flags & 64) pts.push_back(v.p);
        else if (v.flags & 128) faces.push_back({v.idx[0], v.idx[1], v.idx[2], v.idx[3]});
      }
      auto m = std::make_unique<PolyfaceMesh>();
      if (m->set(pts, faces) != Status::Ok) fail("a polyface mesh refers to a missing vertex");
      e = std::move(m);
    } else if (flags & 16) {
      std::vector<Point3d> pts;
      for (const auto& v : verts) pts.push_back(v.p);
      auto m = std::make_unique<PolygonMesh>();
      int M = geti(71), N = geti(72);
      if (m->set(M, N, pts, flags & 1, flags & 32) != Status::Ok) fail("a polygon mesh has the wrong vertex count");
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
      p->setDefaultWidths(get(40), get(41));
      p->setThickness(get(39));
      for (const auto& v : verts)
        if (!(v.flags & 16)) p->appendVertex({{v.p.x, v.p.y, 0}, v.b, v.sw, v.ew});
      e = std::move(p);
    }
  } else if (type == "CIRCLE" || type == "ARC") {
    Vector3d n = nrm();
    Point3d c = ocsToWorld(n, pt(10));
    double rad = get(40);
    if (!(rad > 0)) { notices_.push_back(type + " with no radius skipped"); return nullptr; }
    if (type == "CIRCLE") {
      auto ci = std::make_unique<Circle>(c, n, rad);
      ci->setThickness(get(39));
      e = std::move(ci);
    } else {
      auto a = std::make_unique<Arc>(c, n, rad, get(50) * kDegToRad, get(51) * kDegToRad);
      a->setThickness(get(39));
      e = std::move(a);
    }
  } else if (type == "ELLIPSE") {
    auto el = std::make_unique<Ellipse>();
    Vector3d major = pt(11).asVector();
    double ratio = get(40, 1);
    if (el->set(pt(10), nrm(), major, ratio, get(41, 0), get(42, 2 * geom::kPi)) != Status::Ok) {
      notices_.push_back("degenerate ELLIPSE skipped");
      return nullptr;
    }
    e = std::move(el);
  } else if (type == "SPLINE") {
    auto s = std::make_unique<Spline>();
    s->normal = nrm();
    s->flags = geti(70);
    s->degree = geti(71, 3);
    for (std::size_t i = 0; i < T.size(); ++i) {
      const Tag& t = T[i];
      if (t.code == 40) s->knots.push_back(num(t));
      else if (t.code == 41) s->weights.push_back(num(t));
      else if (t.code == 10) s->controlPoints.push_back({num(t), 0, 0});
      else if (t.code == 20 && !s->controlPoints.empty()) s->controlPoints.back().y = num(t);
      else if (t.code == 30 && !s->controlPoints.empty()) s->controlPoints.back().z = num(t);
      else if (t.code == 11) s->fitPoints.push_back({num(t), 0, 0});
      else if (t.code == 21 && !s->fitPoints.empty()) s->fitPoints.back().y = num(t);
      else if (t.code == 31 && !s->fitPoints.empty()) s->fitPoints.back().z = num(t);
    }
    e = std::move(s);
  } else if (type == "TEXT" || type == "ATTDEF" || type == "ATTRIB") {
    std::unique_ptr<Text> tx;
    if (type == "TEXT") tx = std::make_unique<Text>();
    else if (type == "ATTDEF") tx = std::make_unique<AttributeDefinition>();
    else tx = std::make_unique<Attribute>();
    Vector3d n = nrm();
    tx->setNormal(n);
    tx->setPosition(ocsToWorld(n, pt(10)));
    tx->setAlignmentPoint(has(11) ? ocsToWorld(n, pt(11)) : tx->position());
    if (get(40) > 0) tx->setHeight(get(40));
    tx->setTextString(text(1));
    tx->setRotation(get(50) * kDegToRad);
    if (get(41, 1) > 0) tx->setWidthFactor(get(41, 1));
    tx->setOblique(get(51) * kDegToRad);
    tx->setGenerationFlags(geti(71));
    int hm = geti(72), vm = geti(type == "TEXT" ? 73 : 74);
    if (hm >= 0 && hm <= 5) tx->setHorizontalMode(hm);
    if (vm >= 0 && vm <= 3) tx->setVerticalMode(vm);
    tx->setThickness(get(39));
    tx->setTextStyle(styleOf());
    if (auto* ad = dynamic_cast<AttributeDefinition*>(tx.get())) {
      ad->setTag(text(2));
      ad->setPrompt(text(3));
      ad->setAttributeFlags(geti(70));
    } else if (auto* at = dynamic_cast<Attribute*>(tx.get())) {
      at->setTag(text(2));
      at->setAttributeFlags(geti(70));
    }
    e = std::move(tx);
  } else if (type == "MTEXT") {
    auto m = std::make_unique<MText>();
    Vector3d n = nrm();
    m->setNormal(n);
    m->setLocation(pt(10));
    if (get(40) > 0) m->setTextHeight(get(40));
    m->setWidth(get(41));
    int att = geti(71, 1);
    if (att >= 1 && att <= 9) m->setAttachment(att);
    std::string contents;
    for (const auto& t : T) if (t.code == 3) contents += std::string(t.value);
    for (const auto& t : T) if (t.code == 1) contents += std::string(t.value);
    bool bad = false;
    m->setContents(fromUtf8(unescape(contents), &bad));
    if (bad) notices_.push_back("invalid UTF-8 in MTEXT replaced");
    if (has(11)) { Vector3d d = pt(11).asVector(); if (!d.isZeroLength()) m->setDirection(d); }
    else if (has(50)) m->setRotation(get(50) * kDegToRad);
    if (get(44, 1) > 0) m->setLineSpacingFactor(get(44, 1));
    m->setTextStyle(styleOf());
    e = std::move(m);
  } else if (type == "INSERT") {
    auto b = std::make_unique<BlockReference>();
    Vector3d n = nrm();
    b->setNormal(n);
    b->setPosition(ocsToWorld(n, pt(10)));
    Scale3d s{get(41, 1), get(42, 1), get(43, 1)};
    if (s.sx == 0 || s.sy == 0 || s.sz == 0) { notices_.push_back("INSERT with a zero scale corrected"); s = {s.sx ? s.sx : 1, s.sy ? s.sy : 1, s.sz ? s.sz : 1}; }
    b->setScaleFactors(s);
    b->setRotation(get(50) * kDegToRad);
    std::wstring name = text(2);
    if (name.empty()) fail("an INSERT names no block");
    e = std::move(b);
    // The name is resolved when the whole file is read (blocks may follow).
    insertRefs_.push_back({ObjectId(), name});
    if (get(66) != 0 && attrs) {
      Tag t;
      while (tok_.peek().code == 0 && tok_.peek().value == "ATTRIB") {
        tok_.next(t);
        Record ar;
        ar.type = "ATTRIB";
        auto a = entity(ar, nullptr);
        if (!a) continue;
        common(*a, ar);
        applyXData(*a, ar, nullptr);
        attrs->push_back(std::unique_ptr<Attribute>(static_cast<Attribute*>(a.release())));
        attrHandles_.push_back(ar.handle);
        attrXdicts_.push_back(ar.xdict);
      }
      if (tok_.peek().code == 0 && tok_.peek().value == "SEQEND") {
        tok_.next(t);
        Record sr;
        sr.type = "SEQEND";
        readRecord(sr);
      }
    }
  } else if (type == "HATCH") {
    auto h = std::make_unique<Hatch>();
    h->setNormal(nrm());
    h->setElevation(get(30));
    std::wstring pattern = text(2);
    int patternType = geti(76, 1);
    h->setPattern(patternType >= 0 && patternType <= 2 ? patternType : 1, pattern.empty() ? L"SOLID" : pattern);
    h->setAssociative(get(71) != 0);
    if (get(41, 1) > 0) h->setPatternScale(get(41, 1));
    h->setPatternAngle(get(52) * kDegToRad);
    std::size_t i = 0;
    while (i < T.size() && T[i].code != 91) ++i;
    int loops = i < T.size() ? inum32(T[i++]) : 0;
    std::vector<Hatch::Loop> parsed;
    for (int L = 0; L < loops; ++L) {
      while (i < T.size() && T[i].code != 92) ++i;
      if (i >= T.size()) fail("a HATCH loop is missing");
      Hatch::Loop loop;
      loop.type = inum32(T[i++]);
      std::vector<std::uint64_t> srcs;
      if (loop.type & Hatch::kPolyline) {
        bool bul = false;
        int n = 0;
        while (i < T.size() && T[i].code != 10) {
          if (T[i].code == 72) bul = inum(T[i]) != 0;
          if (T[i].code == 93) n = inum32(T[i]);
          ++i;
        }
        for (int k = 0; k < n && i < T.size(); ++k) {
          Point2d p{num(T[i]), 0};
          ++i;
          if (i < T.size() && T[i].code == 20) p.y = num(T[i++]);
          double bu = 0;
          if (bul && i < T.size() && T[i].code == 42) bu = num(T[i++]);
          loop.vertices.push_back(p);
          loop.bulges.push_back(bu);
        }
      } else {
        // Edge loops: lines and arcs become vertices with bulges.
        int edges = 0;
        while (i < T.size() && T[i].code != 93) ++i;
        if (i < T.size()) edges = inum32(T[i++]);
        for (int k = 0; k < edges; ++k) {
          while (i < T.size() && T[i].code != 72) ++i;
          if (i >= T.size()) break;
          int et = inum32(T[i++]);
          auto val = [&](int code) { while (i < T.size() && T[i].code != code) ++i; return i < T.size() ? num(T[i++]) : 0.0; };
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
            notices_.push_back("a HATCH edge of a kind we do not model was skipped");
          }
        }
      }
      while (i < T.size() && T[i].code != 97) ++i;
      int ns = i < T.size() ? inum32(T[i++]) : 0;
      for (int k = 0; k < ns && i < T.size() && T[i].code == 330; ++k) srcs.push_back(hnum(T[i++]));
      parsed.push_back(loop);
      if (!srcs.empty()) hatchRefs_.push_back({ObjectId(), parsed.size() - 1, srcs});
    }
    for (auto& l : parsed) {
      if (l.vertices.size() < 2) continue;
      h->appendLoop(l.type & ~Hatch::kPolyline, l.vertices, l.bulges);
    }
    e = std::move(h);
  } else if (type == "SOLID" || type == "TRACE") {
    Vector3d n = nrm();
    auto s = std::make_unique<Solid2d>(ocsToWorld(n, pt(10)), ocsToWorld(n, pt(11)), ocsToWorld(n, pt(12)),
                                       has(13) ? ocsToWorld(n, pt(13)) : ocsToWorld(n, pt(12)));
    s->setNormal(n);
    s->setThickness(get(39));
    e = std::move(s);
  } else if (type == "IMAGE") {
    auto im = std::make_unique<RasterImage>();
    im->setOrientation(pt(10), pt(11).asVector(), pt(12).asVector());
    if (get(13) > 0 && get(23) > 0) im->setImageSize({get(13), get(23)});
    im->setDisplayOptions(geti(70, 7));
    for (const auto& t : T)
      if (t.code == 340) imageRefs_.push_back({ObjectId(), hnum(t)});
    e = std::move(im);
  } else if (type == "POINT") {
    auto p = std::make_unique<PointEntity>(pt(10));
    p->setNormal(nrm());
    p->setThickness(get(39));
    e = std::move(p);
  } else {
    auto u = std::make_unique<UnknownEntity>();
    u->dxfType = type;
    for (const auto& t : T) u->tags.push_back(kept(t));
    ++unknownCount_;
    ++skipped_[type];
    unknownTypes_.insert(type);
    e = std::move(u);
  }
  return e;
}

void Reader::appendTo(ObjectId block, std::unique_ptr<Entity> e, const Record& r,
                      std::vector<std::unique_ptr<Attribute>>* attrs) {
  common(*e, r);
  ValueChain shape;
  applyXData(*e, r, &shape);
  // Our markers: a region or a solid written as a viewer-friendly stand-in.
  if (shape.size() >= 2 && shape[1].str() == L"Region") {
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
    if (reg->setLoops(std::move(loops)) != Status::Ok) fail("a region marker is damaged");
    e = std::move(reg);
  } else if (shape.size() >= 2 && shape[1].str() == L"Solid3d") {
    auto* pf = dynamic_cast<PolyfaceMesh*>(e.get());
    if (!pf) fail("a solid marker sits on the wrong entity");
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
    if (s->setBody(std::move(b)) != Status::Ok) fail("a solid marker is damaged");
    e = std::move(s);
  }
  bool isInsert = e->kind() == Kind::BlockReference;
  bool isImage = e->kind() == Kind::RasterImage;
  bool isHatch = e->kind() == Kind::Hatch;
  ObjectId id = place(std::move(e), r, block);
  static_cast<BlockRecord*>(d_.slot(block)->obj.get())->entitiesMutable().push_back(id);
  if (isInsert) {
    insertRefs_.back().ref = id;
    if (attrs) {
      auto* br = static_cast<BlockReference*>(d_.slot(id)->obj.get());
      for (std::size_t k = 0; k < attrs->size(); ++k) {
        Record ar;
        ar.type = "ATTRIB";
        ar.handle = attrHandles_[k];
        ar.xdict = attrXdicts_[k];
        ObjectId aid = place(std::move((*attrs)[k]), ar, id);
        br->attributeIdsMutable().push_back(aid);
      }
      attrs->clear();
    }
  }
  attrHandles_.clear();
  attrXdicts_.clear();
  if (isImage && !imageRefs_.empty() && imageRefs_.back().img.isNull()) imageRefs_.back().img = id;
  if (isHatch)
    for (auto& hr : hatchRefs_)
      if (hr.hatch.isNull()) hr.hatch = id;
}

void Reader::entitiesSection() {
  Tag t;
  std::vector<std::unique_ptr<Attribute>> attrs;
  Record r;  // reused: its vectors keep their capacity
  while (tok_.next(t)) {
    if (t.code != 0) fail("an entity was expected");
    if (t.value == "ENDSEC") return;
    r.type.assign(t.value);
    auto e = entity(r, &attrs);
    if (!e) continue;
    bool paper = false;
    for (const auto& x : r.tags)
      if (x.code == 67 && inum(x) == 1) paper = true;
    appendTo(paper ? d_.paperSpace : d_.modelSpace, std::move(e), r, &attrs);
  }
  fail("the file ends inside the entities");
}

void Reader::blocksSection() {
  Tag t;
  std::vector<std::unique_ptr<Attribute>> attrs;
  ObjectId current;
  while (tok_.next(t)) {
    if (t.code != 0) fail("a block was expected");
    if (t.value == "ENDSEC") return;
    Record r;
    r.type = std::string(t.value);
    if (t.value == "BLOCK") {
      readRecord(r);
      std::wstring name;
      Point3d base;
      std::wstring comments;
      for (const auto& x : r.tags) {
        if (x.code == 2) name = wname(x.value, "block");
        else if (x.code == 10) base.x = num(x);
        else if (x.code == 20) base.y = num(x);
        else if (x.code == 30) base.z = num(x);
        else if (x.code == 4) comments = wtext(x.value, "block comments");
      }
      if (!isValidSymbolName(name, true)) fail("invalid block name \"" + toUtf8(name) + "\"");
      auto it = blocks_.find(foldName(name));
      if (it == blocks_.end()) {
        auto rec = std::make_unique<BlockRecord>();
        rec->setName(name);
        Record br;
        br.type = "BLOCK_RECORD";
        ObjectId id = place(std::move(rec), br, d_.blockTable);
        static_cast<SymbolTable*>(d_.slot(d_.blockTable)->obj.get())->recordsMutable().push_back(id);
        it = blocks_.emplace(foldName(name), id).first;
      }
      current = it->second;
      auto* b = static_cast<BlockRecord*>(d_.slot(current)->obj.get());
      b->setOrigin(base);
      b->setComments(comments);
      continue;
    }
    if (t.value == "ENDBLK") {
      readRecord(r);
      current = {};
      continue;
    }
    if (current.isNull()) fail("an entity outside any block");
    auto e = entity(r, &attrs);
    if (!e) continue;
    appendTo(current, std::move(e), r, &attrs);
  }
  fail("the file ends inside the blocks");
}

std::unique_ptr<DbObject> Reader::object(Record& r, ObjectId&) {
  readRecord(r);
  if (r.type == "DICTIONARY") {
    auto d = std::make_unique<Dictionary>();
    return d;
  }
  if (r.type == "XRECORD") {
    auto x = std::make_unique<Xrecord>();
    ValueChain chain;
    const auto& T = r.tags;
    std::size_t i = 0;
    // Data follows the subclass marker and the cloning flag.
    while (i < T.size() && !(T[i].code == 100 && T[i].value == "AcDbXrecord")) ++i;
    i = i < T.size() ? i + 1 : 0;  // a file without the marker: data from the start
    if (i < T.size() && T[i].code == 280) ++i;
    for (; i < T.size(); ++i) {
      const Tag& t = T[i];
      ValueType vt = valueTypeOf(t.code);
      switch (vt) {
        case ValueType::Point: {
          Point3d p{num(t), 0, 0};
          if (i + 1 < T.size() && T[i + 1].code == t.code + 10) p.y = num(T[++i]);
          if (i + 1 < T.size() && T[i + 1].code == t.code + 20) p.z = num(T[++i]);
          chain.emplace_back(t.code, p);
          break;
        }
        case ValueType::Real: chain.emplace_back(t.code, num(t)); break;
        case ValueType::Int: chain.emplace_back(t.code, std::int64_t(inum(t))); break;
        case ValueType::String:
        case ValueType::Handle: chain.emplace_back(t.code, wtext(t.value, "xrecord")); break;
        case ValueType::None: notices_.push_back("xrecord group " + std::to_string(t.code) + " skipped"); break;
      }
    }
    if (x->setFromRbChain(chain) != Status::Ok) fail("a damaged xrecord");
    return x;
  }
  if (r.type == "IMAGEDEF") {
    auto def = std::make_unique<RasterImageDef>();
    double sx = 1, sy = 1, rx = 1, ry = 1;
    for (const auto& t : r.tags) {
      switch (t.code) {
        case 1: def->setSourceFileName(wtext(t.value, "image file")); break;
        case 10: sx = num(t); break;
        case 20: sy = num(t); break;
        case 11: rx = num(t); break;
        case 21: ry = num(t); break;
        default: break;
      }
    }
    if (sx > 0 && sy > 0) def->setSize({sx, sy});
    def->setResolution({rx, ry});
    return def;
  }
  auto u = std::make_unique<UnknownObject>();
  u->dxfType = r.type;
  for (const auto& t : r.tags) u->tags.push_back(kept(t));
  return u;
}

void Reader::objectsSection() {
  Tag t;
  while (tok_.next(t)) {
    if (t.code != 0) fail("an object was expected");
    if (t.value == "ENDSEC") return;
    Record r;
    r.type = std::string(t.value);
    ObjectId dummy;
    auto o = object(r, dummy);
    bool loaded = false;
    if (r.type == "IMAGEDEF")
      for (const auto& x : r.tags) if (x.code == 280 && inum(x) != 0) loaded = true;
    if (auto* def = dynamic_cast<RasterImageDef*>(o.get())) def->markLoaded(loaded);
    ObjectId id;
    if (!nodSeen_ && r.type == "DICTIONARY") {
      // The named objects dictionary.
      id = d_.nod;
      if (r.handle) rekey(id, r.handle);
      if (r.xdict) xdictRefs_.push_back({id, r.xdict});
    } else {
      id = place(std::move(o), r, ObjectId());
      if (r.owner) ownerRefs_.push_back({id, r.owner});
    }
    nodSeen_ = true;
    applyXData(*d_.slot(id)->obj, r, nullptr);
    if (r.type == "DICTIONARY") {
      std::wstring key;
      for (const auto& x : r.tags) {
        if (x.code == 3) key = wtext(x.value, "dictionary key");
        else if ((x.code == 350 || x.code == 360) && !key.empty()) {
          dictRefs_.push_back({id, key, hnum(x)});
          key.clear();
        }
      }
    }
  }
  fail("the file ends inside the objects");
}

void Reader::resolveOwnership() {
  auto resolve = [&](std::uint64_t h) -> ObjectId {
    auto it = byFileHandle_.find(h);
    return it == byFileHandle_.end() ? ObjectId() : it->second;
  };
  std::unordered_map<std::uint32_t, std::uint64_t> fileOwner;  // object -> the owner handle it names
  for (const auto& ref : ownerRefs_) fileOwner[slotIndexOf(ref.obj)] = ref.h;
  std::unordered_set<std::uint32_t> owned;
  auto ownable = [&](ObjectId target) {
    Kind k = d_.slot(target)->obj->kind();
    return target != d_.nod &&
           (k == Kind::Dictionary || k == Kind::Xrecord || k == Kind::RasterImageDef || k == Kind::UnknownObject);
  };
  // True when the target names its claimant as owner in the file.
  auto ownClaim = [&](ObjectId target, ObjectId claimant) {
    auto it = fileOwner.find(slotIndexOf(target));
    return it != fileOwner.end() && it->second == claimant.handle().value;
  };
  struct Claim {
    ObjectId target;
    bool keep = false;
  };
  std::vector<Claim> entryClaims(dictRefs_.size()), xdictClaims(xdictRefs_.size());
  for (std::size_t i = 0; i < dictRefs_.size(); ++i) {
    const auto& ref = dictRefs_[i];
    ObjectId target = resolve(ref.h);
    std::string key = toUtf8(ref.key);
    if (target.isNull()) notices_.push_back("dictionary entry \"" + key + "\" points at nothing and was dropped");
    else if (target == ref.dict || !ownable(target))
      notices_.push_back("dictionary entry \"" + key + "\" names an object no dictionary may own and was dropped");
    else entryClaims[i].target = target;
  }
  for (std::size_t i = 0; i < xdictRefs_.size(); ++i) {
    const auto& ref = xdictRefs_[i];
    ObjectId target = resolve(ref.h);
    if (target.isNull() || target == ref.obj || !ownable(target) || d_.slot(target)->obj->kind() != Kind::Dictionary)
      notices_.push_back("an extension dictionary reference was dropped");
    else xdictClaims[i].target = target;
  }
  // Claims the file confirms from the owned side first, then the others in file order.
  auto take = [&](Claim& c, ObjectId claimant, bool confirmedOnly) {
    if (c.target.isNull() || c.keep) return;
    if (confirmedOnly && !ownClaim(c.target, claimant)) return;
    if (owned.insert(slotIndexOf(c.target)).second) c.keep = true;
  };
  for (bool confirmedOnly : {true, false}) {
    for (std::size_t i = 0; i < xdictRefs_.size(); ++i) take(xdictClaims[i], xdictRefs_[i].obj, confirmedOnly);
    for (std::size_t i = 0; i < dictRefs_.size(); ++i) take(entryClaims[i], dictRefs_[i].dict, confirmedOnly);
  }
  for (std::size_t i = 0; i < dictRefs_.size(); ++i) {
    const auto& ref = dictRefs_[i];
    const Claim& c = entryClaims[i];
    if (c.target.isNull()) continue;
    if (!c.keep) {
      notices_.push_back("dictionary entry \"" + toUtf8(ref.key) + "\" names an object owned elsewhere and was dropped");
      continue;
    }
    auto* d = static_cast<Dictionary*>(d_.slot(ref.dict)->obj.get());
    d->entriesMutable().push_back({ref.key, c.target});
    DbObject::Internal::setOwner(*d_.slot(c.target)->obj, ref.dict);
  }
  for (std::size_t i = 0; i < xdictRefs_.size(); ++i) {
    const Claim& c = xdictClaims[i];
    if (c.target.isNull()) continue;
    if (!c.keep) {
      notices_.push_back("an extension dictionary owned elsewhere was dropped");
      continue;
    }
    DbObject::Internal::setExtDict(*d_.slot(xdictRefs_[i].obj)->obj, c.target);
    DbObject::Internal::setOwner(*d_.slot(c.target)->obj, xdictRefs_[i].obj);
  }
  // Other objects keep the owner they name, when it exists.
  for (const auto& ref : ownerRefs_) {
    if (owned.count(slotIndexOf(ref.obj))) continue;
    ObjectId o = resolve(ref.h);
    if (!o.isNull()) DbObject::Internal::setOwner(*d_.slot(ref.obj)->obj, o);
  }
}

void Reader::finish() {
  auto resolve = [&](std::uint64_t h) -> ObjectId {
    auto it = byFileHandle_.find(h);
    return it == byFileHandle_.end() ? ObjectId() : it->second;
  };
  resolveOwnership();
  for (const auto& ref : insertRefs_) {
    if (ref.ref.isNull()) continue;
    auto it = blocks_.find(foldName(ref.name));
    ObjectId b;
    if (it == blocks_.end()) {
      if (!isValidSymbolName(ref.name, true)) fail("an INSERT names an invalid block");
      auto rec = std::make_unique<BlockRecord>();
      rec->setName(ref.name);
      Record br;
      br.type = "BLOCK_RECORD";
      b = place(std::move(rec), br, d_.blockTable);
      static_cast<SymbolTable*>(d_.slot(d_.blockTable)->obj.get())->recordsMutable().push_back(b);
      blocks_[foldName(ref.name)] = b;
      notices_.push_back("block \"" + toUtf8(ref.name) + "\" was missing and was added empty");
    } else {
      b = it->second;
    }
    static_cast<BlockReference*>(d_.slot(ref.ref)->obj.get())->blockIdMutable() = b;
  }
  for (const auto& ref : imageRefs_) {
    if (ref.img.isNull()) continue;
    ObjectId def = resolve(ref.h);
    if (def.isNull() || d_.slot(def)->obj->kind() != Kind::RasterImageDef) {
      notices_.push_back("an image without its definition");
      continue;
    }
    auto* im = static_cast<RasterImage*>(d_.slot(ref.img)->obj.get());
    Vector2d sz = im->imageSize();
    im->setImageDefId(def);
    im->setImageSize(sz);
  }
  for (const auto& ref : hatchRefs_) {
    if (ref.hatch.isNull()) continue;
    auto* h = static_cast<Hatch*>(d_.slot(ref.hatch)->obj.get());
    if (ref.loop >= h->loops().size()) continue;
    ObjectIdArray ids;
    for (auto hh : ref.hs) {
      ObjectId s = resolve(hh);
      if (!s.isNull()) ids.push_back(s);
    }
    h->loopsMutable()[ref.loop].sources = ids;
  }
  // Header values.
  if (!clayer_.empty()) {
    auto it = layers_.find(foldName(clayer_));
    if (it != layers_.end() && !static_cast<LayerRecord*>(d_.slot(it->second)->obj.get())->isFrozen()) d_.header.clayer = it->second;
  }
  if (!textstyle_.empty()) {
    auto it = styles_.find(foldName(textstyle_));
    if (it != styles_.end()) d_.header.textstyle = it->second;
  }
  if (!celtype_.empty()) {
    auto it = linetypes_.find(foldName(celtype_));
    if (it != linetypes_.end() && it->second != d_.byLayerLt) d_.header.celtype = it->second;
  }
  if (!dimtxsty_.empty() && styles_.count(foldName(dimtxsty_))) d_.header.dimtxsty = dimtxsty_;
  if (ltscale_ > 0) d_.header.ltscale = ltscale_;
  // Standard objects the file did not name get numbers above the file's.
  std::uint64_t next = std::max<std::uint64_t>(handseed_, 1);
  for (const auto& [h, id] : byFileHandle_) next = std::max(next, h + 1);
  for (std::uint64_t h : rawHandles_) next = std::max(next, h + 1);
  for (std::uint32_t i = 0; i < d_.slots.size(); ++i) {
    Slot& s = d_.slots[i];
    if (s.vanished) continue;
    auto fh = byFileHandle_.find(s.handle.value);
    if (fh == byFileHandle_.end() || fh->second != d_.idOf(i)) {
      if (auto it = d_.byHandle.find(s.handle.value); it != d_.byHandle.end() && it->second == i) d_.byHandle.erase(it);
      s.handle = Handle(next++);
      d_.byHandle[s.handle.value] = i;
    }
  }
  d_.nextHandle = next;
  for (const auto& [type, n] : skipped_)
    notices_.push_back(std::to_string(n) + " " + type + " record(s) of a kind we do not model " +
                       (unknownTypes_.count(type) ? "were kept as they are" : "were skipped"));
}

void Reader::run() {
  for (auto& sl : d_.slots) sl.writer = true;  // the reader fills objects through their setters
  Tag t;
  bool sawEof = false;
  bool any = false;
  while (tok_.next(t)) {
    if (t.code == 999) continue;
    if (t.code != 0) fail("a section was expected");
    if (t.value == "EOF") { sawEof = true; break; }
    if (t.value != "SECTION") fail("a section was expected, found \"" + std::string(t.value.substr(0, 40)) + "\"");
    if (!tok_.next(t) || t.code != 2) fail("a section name was expected");
    any = true;
    std::string name(t.value);
    if (name == "HEADER") header();
    else if (name == "TABLES") tables();
    else if (name == "BLOCKS") blocksSection();
    else if (name == "ENTITIES") entitiesSection();
    else if (name == "OBJECTS") objectsSection();
    else if (name == "CLASSES") classes();
    else skipSection();
  }
  if (!any) fail("not a drawing file");
  if (!sawEof) fail("the file is truncated (no EOF)");
  if (!version_.empty() && version_ < "AC1021")
    notices_.push_back("a drawing of version " + version_ + " was read as UTF-8 text");
  finish();
}

}  // namespace

Status readDxfInto(Database& db, std::string_view text, std::vector<std::string>& notices, std::string& error) {
  try {
    Reader r(db, text, notices);
    r.run();
  } catch (const BadFile& b) {
    error = b.message;
    return Status::BadFile;
  } catch (const std::exception& ex) {
    error = ex.what();
    return Status::BadFile;
  }
  // Every object starts closed.
  for (auto& s : db.impl().slots) {
    s.writer = false;
    s.readers = 0;
  }
  return Status::Ok;
}

}  // namespace cad
