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
#include "platform/cad/dxf_kinds.h"

namespace cad {

namespace dxf {

using namespace gu;

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
    } catch (const dxf::BadFile& b) {
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
    } catch (const dxf::BadFile& b) {
      bad = b.message;
      continue;
    }
    if ((t.code == 5 || t.code == 105) && Handle::parse(t.value)->value == 0)
      bad = "line " + std::to_string(tok_.line()) + ": handle 0, which no record can have";
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
  // One value per group, a point's y and z groups folded into its x: the chain
  // is kept with the object, so it is sized exactly.
  std::size_t values = 0;
  for (const Tag& t : r.xdata) values += !(t.code >= 1020 && t.code <= 1033);
  ValueChain chain;
  chain.reserve(values);
  ValueChain* target = &chain;
  for (std::size_t i = 0; i < r.xdata.size(); ++i) {
    const Tag& t = r.xdata[i];
    if (t.code == 1001) {
      auto known = knownApps_.find(std::string(t.value));
      SharedText app = known != knownApps_.end() ? known->second : appNameText(wname(t.value, "application"));
      bool isShape = namesEqual(app.str(), kShapeApp);
      target = isShape ? shape : &chain;
      if (!target) { target = nullptr; continue; }
      target->emplace_back(1001, app);
      if (!isShape && known == knownApps_.end()) {
        if (!db_.isRegApp(app.str())) {
          if (db_.registerApp(app.str()) != Status::Ok) fail("invalid application name in extended data");
          notices_.push_back("application \"" + toUtf8(app.str()) + "\" was not registered and was added");
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
      if (t.code == 1005)
        if (auto h = Handle::parse(t.value)) noteReference(h->value);
      target->emplace_back(t.code, sharedText(t.value, "extended data"));
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
  Fields f{*this, r, attrs};
  if (const EntityKind* k = kindForType(r.type)) return k->read(f);
  auto u = std::make_unique<UnknownEntity>();
  u->dxfType = r.type;
  for (const auto& t : r.tags) u->tags.push_back(kept(t));
  ++unknownCount_;
  ++skipped_[r.type];
  unknownTypes_.insert(r.type);
  return u;
}

void Reader::appendTo(ObjectId block, std::unique_ptr<Entity> e, const Record& r,
                      std::vector<std::unique_ptr<Attribute>>* attrs) {
  common(*e, r);
  ValueChain shape;
  applyXData(*e, r, &shape);
  // Our markers: a kind written as a viewer-friendly stand-in.
  if (shape.size() >= 2)
    if (const EntityKind* k = kindForMarker(shape[1].str())) e = k->fromMarker(*this, std::move(e), shape);
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
        case ValueType::Handle:
          if (auto h = Handle::parse(t.value)) noteReference(h->value);
          chain.emplace_back(t.code, sharedText(t.value, "xrecord"));
          break;
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
  next = std::max(next, referenced_);
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
  // A record takes a few hundred bytes of text: sizing the handle maps for
  // that up front spares rehashing them again and again while they grow.
  std::size_t expected = tok_.size() / 256;
  byFileHandle_.reserve(expected);
  d_.byHandle.reserve(d_.byHandle.size() + expected);
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

}  // namespace dxf

Status readDxfInto(Database& db, std::string_view text, std::vector<std::string>& notices, std::string& error,
                   bool mapped) {
  try {
    dxf::Reader r(db, text, notices, mapped);
    r.run();
  } catch (const dxf::BadFile& b) {
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
