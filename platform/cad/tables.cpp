// Symbol tables, block records, dictionaries and xrecords.
#include <algorithm>
#include <cwctype>

#include "platform/cad/internal.h"

#define KIV_WRITE                                              \
  if (Status s_ = assertWriteEnabled(); s_ != Status::Ok) \
  return s_

namespace cad {

std::wstring foldName(std::wstring_view name) {
  std::wstring r(name);
  for (auto& c : r) c = wchar_t(std::towupper(std::wint_t(c)));
  return r;
}

bool namesEqual(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && std::towupper(std::wint_t(a[i])) != std::towupper(std::wint_t(b[i]))) return false;
  return true;
}

bool isValidSymbolName(std::wstring_view name, bool allowLeadingStar) {
  if (name.empty() || name.size() > 255) return false;
  if (name.front() == L' ' || name.back() == L' ') return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    wchar_t c = name[i];
    if (c < 32 || c == 0xFFFD || (c >= 0xD800 && c <= 0xDFFF) || std::uint32_t(c) > 0x10FFFF) return false;
    if (c == L'*' && i == 0 && allowLeadingStar) continue;
    if (std::wstring_view(L"<>/\\\":;?*|,=`").find(c) != std::wstring_view::npos) return false;
  }
  return true;
}

// ---------------------------------------------------------------- records

Status SymbolTableRecord::setName(std::wstring_view name) {
  bool block = kind() == Kind::BlockRecord;
  if (!isValidSymbolName(name, block)) return Status::InvalidSymbolName;
  if (namesEqual(name, name_)) {
    KIV_WRITE;
    name_ = std::wstring(name);
    return Status::Ok;
  }
  if (!ownerId().isNull()) {
    Slot* t = slotOf(ownerId());
    if (t && static_cast<SymbolTable*>(t->obj.get())->has(name)) return Status::DuplicateRecordName;
    // The standard records keep their names.
    auto* d = implOf(objectId());
    ObjectId me = objectId();
    if (me == d->layerZero || me == d->modelSpace || me == d->paperSpace || me == d->continuous ||
        me == d->byLayerLt || me == d->byBlockLt)
      return Status::InvalidInput;
  }
  KIV_WRITE;
  name_ = std::wstring(name);
  return Status::Ok;
}

Status LayerRecord::setColor(const Color& c) {
  if (c.isByLayer() || c.isByBlock()) return Status::InvalidInput;
  KIV_WRITE;
  color_ = c;
  return Status::Ok;
}
Status LayerRecord::setIsOff(bool v) { return writeField(off_, v); }
Status LayerRecord::setIsFrozen(bool v) {
  if (v && !objectId().isNull()) {
    auto* d = implOf(objectId());
    if (d && d->header.clayer == objectId()) return Status::CannotFreezeCurrent;
  }
  KIV_WRITE;
  frozen_ = v;
  return Status::Ok;
}
Status LayerRecord::setIsLocked(bool v) { return writeField(locked_, v); }
Status LayerRecord::setVPDFLT(bool v) { return writeField(vpdflt_, v); }
Status LayerRecord::setIsPlottable(bool v) { return writeField(plot_, v); }
Status LayerRecord::setLinetype(std::wstring_view name) {
  if (name.empty()) return Status::InvalidInput;
  KIV_WRITE;
  linetype_ = std::wstring(name);
  return Status::Ok;
}
Status LayerRecord::setLineWeight(int w) { return writeField(lineWeight_, w); }

Status LinetypeRecord::setDescription(std::wstring_view d) { return writeField(description_, std::wstring(d)); }
Status LinetypeRecord::setDashes(std::vector<double> d) { return writeField(dashes_, std::move(d)); }
double LinetypeRecord::patternLength() const {
  double s = 0;
  for (double d : dashes_) s += std::abs(d);
  return s;
}

Status TextStyleRecord::setFileName(std::wstring_view f) { return writeField(file_, std::wstring(f)); }
Status TextStyleRecord::setBigFontFileName(std::wstring_view f) { return writeField(bigFont_, std::wstring(f)); }
Status TextStyleRecord::setTextSize(double h) { return writeFieldIf(h >= 0, Status::InvalidInput, size_, h); }
Status TextStyleRecord::setXScale(double w) { return writeFieldIf(w > 0, Status::InvalidInput, xScale_, w); }
Status TextStyleRecord::setObliquingAngle(double a) { return writeField(oblique_, a); }
Status TextStyleRecord::setFont(std::wstring_view face, bool bold, bool italic, int charset, int pitch) {
  KIV_WRITE;
  font_ = {std::wstring(face), bold, italic, charset, pitch};
  return Status::Ok;
}

// ---------------------------------------------------------------- blocks

Status BlockRecord::setOrigin(const Point3d& p) { return writeField(origin_, p); }
Status BlockRecord::setComments(std::wstring_view c) { return writeField(comments_, std::wstring(c)); }
bool BlockRecord::isLayout() const { return namesEqual(name(), kModelSpace) || namesEqual(name(), kPaperSpace); }
bool BlockRecord::isAnonymous() const { return !name().empty() && name()[0] == L'*' && !isLayout(); }
bool BlockRecord::hasAttributeDefinitions() const {
  for (ObjectId id : entities_) {
    Slot* s = slotOf(id);
    if (s && !s->vanished && !s->obj->isErased() && s->obj->kind() == Kind::AttributeDefinition) return true;
  }
  return false;
}

ObjectIdArray BlockRecord::entityIds(bool skipErased) const {
  if (!skipErased) return entities_;
  ObjectIdArray r;
  r.reserve(entities_.size());
  for (ObjectId id : entities_) {
    Slot* s = slotOf(id);
    if (s && !s->vanished && !s->obj->isErased()) r.push_back(id);
  }
  return r;
}
std::size_t BlockRecord::entityCount(bool skipErased) const {
  if (!skipErased) return entities_.size();
  std::size_t n = 0;
  for (ObjectId id : entities_) {
    Slot* s = slotOf(id);
    if (s && !s->vanished && !s->obj->isErased()) ++n;
  }
  return n;
}

// Prepares an entity for its database: layer and text style defaults,
// registered applications. Returns the status that refuses it.
static Status bindEntity(Database::Impl& d, Entity& e) {
  auto& pending = DbObject::Internal::pendingLayer(e);
  ObjectId& lid = DbObject::Internal::layerId(e);
  if (lid.isNull() || !d.slot(lid)) {
    if (pending.empty()) lid = d.header.clayer;
    else {
      ObjectId l = d.self->layerId(pending);
      if (l.isNull()) return Status::KeyNotFound;
      lid = l;
    }
  }
  for (const auto& app : e.xDataApps())
    if (!d.self->isRegApp(app)) return Status::RegAppNotRegistered;
  if (auto* t = dynamic_cast<Text*>(&e); t && (t->textStyle().isNull() || !d.slot(t->textStyle())))
    t->setTextStyle(d.header.textstyle);
  if (auto* m = dynamic_cast<MText*>(&e); m && (m->textStyle().isNull() || !d.slot(m->textStyle())))
    m->setTextStyle(d.header.textstyle);
  return Status::Ok;
}

Status BlockRecord::appendEntity(Entity* ent, ObjectId* id) {
  if (!ent) return Status::InvalidInput;
  if (ent->isDatabaseResident()) return Status::AlreadyInDb;
  if (objectId().isNull()) return Status::NotInDatabase;
  KIV_WRITE;
  auto* d = implOf(objectId());
  if (Status s = bindEntity(*d, *ent); s != Status::Ok) return s;
  ObjectId nid = d->add(std::unique_ptr<DbObject>(ent), objectId(), Handle(), true);
  DbObject::Internal::pendingLayer(*ent).clear();
  entities_.push_back(nid);
  if (id) *id = nid;
  return Status::Ok;
}

Status BlockRecord::appendEntity(std::unique_ptr<Entity> ent, ObjectId* id) {
  return appendOwned(ent, [&](Entity* e) { return appendEntity(e, id); });
}

// ---------------------------------------------------------------- tables

bool SymbolTable::has(std::wstring_view name) const { return !getAt(name).isNull(); }
bool SymbolTable::has(ObjectId id) const {
  return std::find(records_.begin(), records_.end(), id) != records_.end() && !id.isErased();
}
ObjectId SymbolTable::getAt(std::wstring_view name) const {
  ObjectId id;
  getAt(name, id, false);
  return id;
}
namespace {

// A hash of the name as namesEqual compares it (letters folded to upper case).
std::uint64_t nameKey(std::wstring_view name) {
  std::uint64_t h = 1469598103934665603ull;
  for (wchar_t c : name) {
    h ^= std::uint64_t(std::towupper(std::wint_t(c)));
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

Status SymbolTable::getAt(std::wstring_view name, ObjectId& id, bool getErased) const {
  id = {};
  // Every entity written names its layer and applications: the record found
  // last for a name answers again while it is still this table's, not erased
  // and of that name; otherwise the list is searched.
  const std::uint64_t key = nameKey(name);
  if (auto it = found_.find(key); it != found_.end()) {
    Slot* s = slotOf(it->second);
    if (s && !s->vanished && !s->obj->isErased() && s->obj->ownerId() == objectId() &&
        namesEqual(static_cast<SymbolTableRecord*>(s->obj.get())->name(), name)) {
      id = it->second;
      return Status::Ok;
    }
  }
  for (ObjectId r : records_) {
    Slot* s = slotOf(r);
    if (!s || s->vanished) continue;
    if (!getErased && s->obj->isErased()) continue;
    if (namesEqual(static_cast<SymbolTableRecord*>(s->obj.get())->name(), name)) {
      id = r;
      if (!s->obj->isErased()) {
        found_[key] = r;
        return Status::Ok;
      }
    }
  }
  return id.isNull() ? Status::KeyNotFound : Status::Ok;
}

Status SymbolTable::add(SymbolTableRecord* rec, ObjectId* id) {
  if (!rec) return Status::InvalidInput;
  if (rec->isDatabaseResident()) return Status::AlreadyInDb;
  if (!accepts(*rec)) return Status::WrongObjectType;
  if (objectId().isNull()) return Status::NotInDatabase;
  if (!isValidSymbolName(rec->name(), kind() == Kind::BlockTable)) return Status::InvalidSymbolName;
  if (has(rec->name())) return Status::DuplicateRecordName;
  KIV_WRITE;
  auto* d = implOf(objectId());
  ObjectId nid = d->add(std::unique_ptr<DbObject>(rec), objectId(), Handle(), true);
  records_.push_back(nid);
  if (id) *id = nid;
  return Status::Ok;
}

Status SymbolTable::add(std::unique_ptr<SymbolTableRecord> rec, ObjectId* id) {
  return appendOwned(rec, [&](SymbolTableRecord* r) { return add(r, id); });
}

ObjectIdArray SymbolTable::recordIds(bool skipErased) const {
  ObjectIdArray r;
  for (ObjectId id : records_) {
    Slot* s = slotOf(id);
    if (!s || s->vanished || (skipErased && s->obj->isErased())) continue;
    r.push_back(id);
  }
  return r;
}
std::vector<std::wstring> SymbolTable::names(bool skipErased) const {
  std::vector<std::wstring> r;
  for (ObjectId id : recordIds(skipErased)) r.push_back(static_cast<SymbolTableRecord*>(slotOf(id)->obj.get())->name());
  return r;
}

// ---------------------------------------------------------------- dictionaries

bool Dictionary::has(std::wstring_view key) const { return !getAt(key).isNull(); }
ObjectId Dictionary::getAt(std::wstring_view key) const {
  for (const auto& e : entries_)
    if (namesEqual(e.key, key) && !e.id.isErased()) return e.id;
  return {};
}
Status Dictionary::getAt(std::wstring_view key, ObjectId& id) const {
  id = getAt(key);
  return id.isNull() ? Status::KeyNotFound : Status::Ok;
}

Status Dictionary::setAt(std::wstring_view key, DbObject* obj, ObjectId* id) {
  if (!obj || key.empty()) return Status::InvalidInput;
  if (objectId().isNull()) return Status::NotInDatabase;
  auto* d = implOf(objectId());
  if (obj->isDatabaseResident() && obj->database() != d->self) return Status::WrongDatabase;
  if (!obj->isDatabaseResident())
    for (const auto& app : obj->xDataApps())
      if (!d->self->isRegApp(app)) return Status::RegAppNotRegistered;
  KIV_WRITE;
  ObjectId nid;
  if (obj->isDatabaseResident()) {
    nid = obj->objectId();
    if (obj->isWriteEnabled()) DbObject::Internal::setOwner(*obj, objectId());
  } else {
    nid = d->add(std::unique_ptr<DbObject>(obj), objectId(), Handle(), true);
  }
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (namesEqual(it->key, key)) {
      ObjectId old = it->id;
      entries_.erase(it);
      if (old != nid) {
        Slot* s = d->slot(old);
        if (s && !s->vanished && !s->obj->isErased() && !s->writer && s->readers == 0) {
          d->recordChange(slotIndexOf(old));
          DbObject::Internal::setErased(*s->obj, true);
        }
      }
      break;
    }
  }
  entries_.push_back({std::wstring(key), nid});
  if (id) *id = nid;
  return Status::Ok;
}

Status Dictionary::setAt(std::wstring_view key, std::unique_ptr<DbObject> obj, ObjectId* id) {
  return appendOwned(obj, [&](DbObject* o) { return setAt(key, o, id); });
}

Status Dictionary::remove(std::wstring_view key, ObjectId* removed) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (namesEqual(it->key, key)) {
      KIV_WRITE;
      if (removed) *removed = it->id;
      entries_.erase(it);
      return Status::Ok;
    }
  }
  return Status::KeyNotFound;
}

Status Dictionary::nameAt(ObjectId id, std::wstring& key) const {
  for (const auto& e : entries_)
    if (e.id == id) { key = e.key; return Status::Ok; }
  return Status::KeyNotFound;
}

std::vector<Dictionary::Entry> Dictionary::entries() const {
  std::vector<Entry> r;
  for (const auto& e : entries_)
    if (!e.id.isErased()) r.push_back(e);
  return r;
}

Status Xrecord::setFromRbChain(const ValueChain& chain) {
  for (const auto& v : chain) {
    if (v.code == 0 || v.code == 5 || v.code == 100 || v.code == 102 || v.code == 330 || v.code == 360) return Status::BadXData;
    ValueType t = valueTypeOf(v.code);
    bool ok = false;
    switch (t) {
      case ValueType::String:
      case ValueType::Handle: ok = v.isString(); break;
      case ValueType::Real: ok = v.isReal() || v.isInt(); break;
      case ValueType::Int: ok = v.isInt(); break;
      case ValueType::Point: ok = v.isPoint(); break;
      case ValueType::None: ok = false; break;
    }
    if (!ok) return Status::BadXData;
  }
  KIV_WRITE;
  data_ = chain;
  return Status::Ok;
}

}  // namespace cad
