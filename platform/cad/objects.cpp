// Copying objects between and within databases.
#include <functional>
#include <unordered_map>

#include "platform/cad/internal.h"

namespace cad {

namespace {

// Copies one object (and what it owns: attributes, extension dictionary and
// its entries) into database d under owner; ids are remapped where known.
ObjectId cloneInto(Database::Impl& d, const DbObject& src, ObjectId owner, IdMapping& map, bool primary) {
  auto c = src.clone();
  // Layers and other references by id: when the source lives in another
  // database, map by name.
  if (auto* e = dynamic_cast<Entity*>(c.get())) {
    Database* srcDb = src.database();
    if (srcDb && srcDb->impl().serial != d.serial) {
      ObjectId lid = d.self->layerId(static_cast<const Entity&>(src).layer());
      if (lid.isNull()) lid = d.layerZero;
      DbObject::Internal::layerId(*e) = lid;
      if (auto* t = dynamic_cast<Text*>(e)) {
        ObjectId st;
        if (Slot* ss = slotOf(t->textStyle()); ss && !ss->vanished)
          st = d.self->textStyleId(static_cast<SymbolTableRecord*>(ss->obj.get())->name());
        t->setTextStyle(st.isNull() ? d.header.textstyle : st);
      }
    } else {
      DbObject::Internal::layerId(*e) = static_cast<const Entity&>(src).layerId();
    }
  }
  for (const auto& app : c->xDataApps()) d.self->registerApp(app);
  ObjectId nid = d.add(std::move(c), owner);
  map.assign({src.objectId(), nid, true, primary});
  DbObject* obj = d.slot(nid)->obj.get();
  if (auto* br = dynamic_cast<const BlockReference*>(&src)) {
    auto* nbr = static_cast<BlockReference*>(obj);
    for (ObjectId a : br->attributeIds()) {
      Slot* s = slotOf(a);
      if (!s || s->vanished || s->obj->isErased()) continue;
      ObjectId na = cloneInto(d, *s->obj, nid, map, false);
      // Attributes belong to the copy directly.
      nbr->attributeIdsMutable().push_back(na);
    }
  }
  if (!src.extensionDictionary().isNull()) {
    Slot* s = slotOf(src.extensionDictionary());
    if (s && !s->vanished && !s->obj->isErased()) {
      ObjectId nd = cloneInto(d, *s->obj, nid, map, false);
      DbObject::Internal::setExtDict(*obj, nd);
    }
  }
  if (auto* dict = dynamic_cast<const Dictionary*>(&src)) {
    auto* nd = static_cast<Dictionary*>(obj);
    nd->entriesMutable().clear();
    for (const auto& en : dict->entries()) {
      Slot* s = slotOf(en.id);
      if (!s || s->vanished) continue;
      ObjectId ne = cloneInto(d, *s->obj, nid, map, false);
      nd->entriesMutable().push_back({en.key, ne});
    }
  }
  return nid;
}

}  // namespace

Status Database::deepCloneObjects(const ObjectIdArray& ids, ObjectId ownerId, IdMapping& mapping) {
  mapping.dest_ = this;
  Slot* os = impl_->slot(ownerId);
  if (!os || os->vanished) return Status::InvalidInput;
  auto* owner = dynamic_cast<BlockRecord*>(os->obj.get());
  if (!owner) return Status::WrongObjectType;
  for (ObjectId id : ids) {
    Slot* s = slotOf(id);
    if (!s || s->vanished) return Status::InvalidObjectId;
    if (!dynamic_cast<Entity*>(s->obj.get())) return Status::WrongObjectType;
  }
  impl_->recordChange(slotIndexOf(ownerId));
  for (ObjectId id : ids) {
    Slot* s = slotOf(id);
    if (s->obj->isErased()) continue;
    ObjectId nid = cloneInto(*impl_, *s->obj, ownerId, mapping, true);
    owner->entities_.push_back(nid);
  }
  return Status::Ok;
}

Status Database::insert(ObjectId& blockId, std::wstring_view blockName, Database& source, bool) {
  blockId = {};
  if (!isValidSymbolName(blockName, true)) return Status::InvalidSymbolName;
  if (!this->blockId(blockName).isNull()) return Status::DuplicateRecordName;
  // Layers and text styles the source uses are copied when absent here.
  auto* srcLayers = static_cast<SymbolTable*>(source.impl().slot(source.layerTableId())->obj.get());
  for (ObjectId lid : srcLayers->recordIds()) {
    auto* l = static_cast<LayerRecord*>(slotOf(lid)->obj.get());
    if (!layerId(l->name()).isNull()) continue;
    auto* table = static_cast<SymbolTable*>(impl_->slot(impl_->layerTable)->obj.get());
    impl_->recordChange(slotIndexOf(impl_->layerTable));
    auto nl = l->clone();
    ObjectId nid = impl_->add(std::move(nl), impl_->layerTable);
    table->records_.push_back(nid);
  }
  auto* srcStyles = static_cast<SymbolTable*>(source.impl().slot(source.textStyleTableId())->obj.get());
  for (ObjectId sid : srcStyles->recordIds()) {
    auto* st = static_cast<TextStyleRecord*>(slotOf(sid)->obj.get());
    if (!textStyleId(st->name()).isNull()) continue;
    auto* table = static_cast<SymbolTable*>(impl_->slot(impl_->textStyleTable)->obj.get());
    impl_->recordChange(slotIndexOf(impl_->textStyleTable));
    ObjectId nid = impl_->add(st->clone(), impl_->textStyleTable);
    table->records_.push_back(nid);
  }
  auto* bt = static_cast<SymbolTable*>(impl_->slot(impl_->blockTable)->obj.get());
  impl_->recordChange(slotIndexOf(impl_->blockTable));
  auto rec = std::make_unique<BlockRecord>();
  static_cast<SymbolTableRecord&>(*rec).name_ = std::wstring(blockName);
  ObjectId nb = impl_->add(std::move(rec), impl_->blockTable);
  bt->records_.push_back(nb);
  IdMapping map;
  Status s = deepCloneObjects({}, nb, map);
  if (s != Status::Ok) return s;
  auto* block = static_cast<BlockRecord*>(impl_->slot(nb)->obj.get());
  auto* srcMs = static_cast<BlockRecord*>(source.impl().slot(source.modelSpaceId())->obj.get());
  for (ObjectId id : srcMs->entityIds(true)) {
    Slot* es = slotOf(id);
    ObjectId nid = cloneInto(*impl_, *es->obj, nb, map, true);
    block->entities_.push_back(nid);
  }
  // Nested references point at blocks of the source: copy those blocks by name.
  std::function<ObjectId(ObjectId)> copyBlock = [&](ObjectId srcBlock) -> ObjectId {
    Slot* s = slotOf(srcBlock);
    if (!s || s->vanished) return {};
    auto* b = static_cast<BlockRecord*>(s->obj.get());
    ObjectId here = this->blockId(b->name());
    if (!here.isNull()) return here;
    auto nr = std::make_unique<BlockRecord>();
    static_cast<SymbolTableRecord&>(*nr).name_ = b->name();
    nr->origin_ = b->origin();
    ObjectId nid = impl_->add(std::move(nr), impl_->blockTable);
    bt->records_.push_back(nid);
    for (ObjectId eid : b->entityIds(true)) {
      ObjectId ne = cloneInto(*impl_, *slotOf(eid)->obj, nid, map, false);
      static_cast<BlockRecord*>(impl_->slot(nid)->obj.get())->entities_.push_back(ne);
      if (auto* br = dynamic_cast<BlockReference*>(impl_->slot(ne)->obj.get())) br->block_ = copyBlock(br->block_);
    }
    return nid;
  };
  for (ObjectId eid : block->entities_)
    if (auto* br = dynamic_cast<BlockReference*>(impl_->slot(eid)->obj.get())) {
      if (br->block_.database() != this) br->block_ = copyBlock(br->block_);
    }
  blockId = nb;
  return Status::Ok;
}

}  // namespace cad
