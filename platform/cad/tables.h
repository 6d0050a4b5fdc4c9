// Symbol tables and their records, dictionaries and xrecords.
//
// Table names compare case-insensitively (ASCII and the full Unicode simple
// case folding the C library gives); records keep the case they were given.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/cad/color.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"

namespace cad {

// Case-insensitive comparison of names.
bool namesEqual(std::wstring_view a, std::wstring_view b);
std::wstring foldName(std::wstring_view name);
// A valid record name: not empty, at most 255 characters, valid Unicode, and
// none of < > / \ " : ; ? * | , = `. Anonymous block names ("*U12") are valid for blocks only.
bool isValidSymbolName(std::wstring_view name, bool allowLeadingStar = false);

class SymbolTableRecord : public DbObject {
 public:
  const std::wstring& name() const { return name_; }
  Status setName(std::wstring_view name);  // InvalidSymbolName, DuplicateRecordName
  Status getName(std::wstring& name) const { name = name_; return Status::Ok; }

 protected:
  SymbolTableRecord() = default;

 private:
  friend class Database;
  std::wstring name_;
};

class LayerRecord : public SymbolTableRecord {
  KIV_CAD_OBJECT(LayerRecord, LayerRecord)
 public:
  LayerRecord() = default;
  // A new layer is white (index 7), on, thawed, unlocked, CONTINUOUS.
  Color color() const { return color_; }
  Status setColor(const Color& c);  // by-layer/by-block are refused (InvalidInput)
  bool isOff() const { return off_; }
  Status setIsOff(bool v);
  bool isFrozen() const { return frozen_; }
  Status setIsFrozen(bool v);  // CannotFreezeCurrent for the current layer
  bool isLocked() const { return locked_; }
  Status setIsLocked(bool v);
  bool VPDFLT() const { return vpdflt_; }
  Status setVPDFLT(bool v);
  bool isPlottable() const { return plot_; }
  Status setIsPlottable(bool v);
  const std::wstring& linetype() const { return linetype_; }
  Status setLinetype(std::wstring_view name);
  int lineWeight() const { return lineWeight_; }
  Status setLineWeight(int w);

 private:
  Color color_ = Color::fromIndex(7);
  bool off_ = false, frozen_ = false, locked_ = false, vpdflt_ = false, plot_ = true;
  std::wstring linetype_ = L"Continuous";
  int lineWeight_ = -3;
};

class LinetypeRecord : public SymbolTableRecord {
  KIV_CAD_OBJECT(LinetypeRecord, LinetypeRecord)
 public:
  LinetypeRecord() = default;
  const std::wstring& description() const { return description_; }
  Status setDescription(std::wstring_view d);
  // Dash lengths: positive dash, negative gap, zero dot.
  const std::vector<double>& dashes() const { return dashes_; }
  Status setDashes(std::vector<double> d);
  double patternLength() const;

 private:
  std::wstring description_;
  std::vector<double> dashes_;
};

class TextStyleRecord : public SymbolTableRecord {
  KIV_CAD_OBJECT(TextStyleRecord, TextStyleRecord)
 public:
  TextStyleRecord() = default;
  const std::wstring& fileName() const { return file_; }
  Status setFileName(std::wstring_view f);
  const std::wstring& bigFontFileName() const { return bigFont_; }
  Status setBigFontFileName(std::wstring_view f);
  double textSize() const { return size_; }
  Status setTextSize(double h);
  double xScale() const { return xScale_; }
  Status setXScale(double w);
  double obliquingAngle() const { return oblique_; }
  Status setObliquingAngle(double a);
  // A system font by face name (empty face: the font file holds).
  struct Font {
    std::wstring face;
    bool bold = false, italic = false;
    int charset = 0, pitchAndFamily = 0;
    bool operator==(const Font&) const = default;
  };
  const Font& font() const { return font_; }
  Status setFont(std::wstring_view face, bool bold, bool italic, int charset, int pitchAndFamily);

 private:
  std::wstring file_ = L"txt", bigFont_;
  double size_ = 0, xScale_ = 1, oblique_ = 0;
  Font font_;
};

class RegAppRecord : public SymbolTableRecord {
  KIV_CAD_OBJECT(RegAppRecord, RegAppRecord)
 public:
  RegAppRecord() = default;
};

// A block definition (also model space "*Model_Space" and paper space "*Paper_Space").
class BlockRecord : public SymbolTableRecord {
  KIV_CAD_OBJECT(BlockRecord, BlockRecord)
  friend class SymbolTable;
 public:
  BlockRecord() = default;
  const Point3d& origin() const { return origin_; }
  Status setOrigin(const Point3d& p);
  bool isLayout() const;       // model or paper space
  bool isAnonymous() const;    // "*..." other than the layouts
  bool hasAttributeDefinitions() const;
  const std::wstring& comments() const { return comments_; }
  Status setComments(std::wstring_view c);

  // The entities in insertion order. skipErased leaves erased ones out.
  ObjectIdArray entityIds(bool skipErased = true) const;
  std::size_t entityCount(bool skipErased = true) const;
  // Takes ownership of a non-resident entity; the block must be resident and
  // open for write. The entity is then open for write until the caller
  // closes it. On failure the caller keeps the entity.
  Status appendEntity(Entity* ent, ObjectId* id = nullptr);
  // The same, closing the entity at once.
  Status appendEntity(std::unique_ptr<Entity> ent, ObjectId* id = nullptr);
  ObjectIdArray& entitiesMutable() { return entities_; }  // for the database's file code

 private:
  friend class Database;
  Point3d origin_;
  std::wstring comments_;
  ObjectIdArray entities_;
};

// A symbol table: records by name, in the order they were added.
class SymbolTable : public DbObject {
 public:
  bool has(std::wstring_view name) const;
  bool has(ObjectId id) const;
  Status getAt(std::wstring_view name, ObjectId& id, bool getErased = false) const;
  ObjectId getAt(std::wstring_view name) const;  // null when absent
  // Takes ownership of a non-resident record; the table must be open for
  // write. The record is then open for write until closed.
  Status add(SymbolTableRecord* rec, ObjectId* id = nullptr);
  Status add(std::unique_ptr<SymbolTableRecord> rec, ObjectId* id = nullptr);
  ObjectIdArray recordIds(bool skipErased = true) const;
  std::vector<std::wstring> names(bool skipErased = true) const;
  ObjectIdArray& recordsMutable() { return records_; }  // for the database's file code

 protected:
  SymbolTable() = default;
  virtual bool accepts(const SymbolTableRecord& rec) const = 0;

 private:
  friend class Database;
  ObjectIdArray records_;
  // Name lookups: a hash of the folded name to the record found for it last
  // (checked before it answers).
  mutable std::unordered_map<std::uint64_t, ObjectId> found_;
};

class LayerTable : public SymbolTable {
  KIV_CAD_OBJECT(LayerTable, LayerTable)
 public:
  LayerTable() = default;
 protected:
  bool accepts(const SymbolTableRecord& r) const override { return r.kind() == Kind::LayerRecord; }
};
class LinetypeTable : public SymbolTable {
  KIV_CAD_OBJECT(LinetypeTable, LinetypeTable)
 public:
  LinetypeTable() = default;
 protected:
  bool accepts(const SymbolTableRecord& r) const override { return r.kind() == Kind::LinetypeRecord; }
};
class TextStyleTable : public SymbolTable {
  KIV_CAD_OBJECT(TextStyleTable, TextStyleTable)
 public:
  TextStyleTable() = default;
 protected:
  bool accepts(const SymbolTableRecord& r) const override { return r.kind() == Kind::TextStyleRecord; }
};
class RegAppTable : public SymbolTable {
  KIV_CAD_OBJECT(RegAppTable, RegAppTable)
 public:
  RegAppTable() = default;
 protected:
  bool accepts(const SymbolTableRecord& r) const override { return r.kind() == Kind::RegAppRecord; }
};
class BlockTable : public SymbolTable {
  KIV_CAD_OBJECT(BlockTable, BlockTable)
 public:
  BlockTable() = default;
 protected:
  bool accepts(const SymbolTableRecord& r) const override { return r.kind() == Kind::BlockRecord; }
};

// A dictionary: owned objects by key (keys compare case-insensitively), in insertion order.
class Dictionary : public DbObject {
  KIV_CAD_OBJECT(Dictionary, Dictionary)
 public:
  Dictionary() = default;
  bool has(std::wstring_view key) const;
  Status getAt(std::wstring_view key, ObjectId& id) const;  // KeyNotFound
  ObjectId getAt(std::wstring_view key) const;
  // Takes ownership of a non-resident object (it is then open for write
  // until closed) or re-owns a resident one. An existing entry of that key
  // is replaced and its object erased. The dictionary must be resident and
  // open for write.
  Status setAt(std::wstring_view key, DbObject* obj, ObjectId* id = nullptr);
  Status setAt(std::wstring_view key, std::unique_ptr<DbObject> obj, ObjectId* id = nullptr);
  // Removes the entry (the object is not erased).
  Status remove(std::wstring_view key, ObjectId* removed = nullptr);
  Status nameAt(ObjectId id, std::wstring& key) const;
  std::size_t numEntries() const { return entries_.size(); }
  struct Entry {
    std::wstring key;
    ObjectId id;
    bool operator==(const Entry&) const = default;
  };
  // Live entries (the object not erased).
  std::vector<Entry> entries() const;
  bool hardOwnership() const { return hardOwner_; }
  std::vector<Entry>& entriesMutable() { return entries_; }  // for the database's copy and file code

 private:
  friend class Database;
  std::vector<Entry> entries_;
  bool hardOwner_ = true;
};

// A record of group-coded values: codes 1..369 and 1000+ as the file format allows.
class Xrecord : public DbObject {
  KIV_CAD_OBJECT(Xrecord, Xrecord)
 public:
  Xrecord() = default;
  const ValueChain& data() const { return data_; }
  ValueChain rbChain() const { return data_; }
  // BadXData for a code outside the allowed ranges or a value of the wrong type.
  Status setFromRbChain(const ValueChain& chain);

 private:
  ValueChain data_;
};

// An object kind this database does not model, read from a file: kept and written back.
class UnknownObject : public DbObject {
  KIV_CAD_OBJECT(UnknownObject, UnknownObject)
 public:
  UnknownObject() = default;
  std::string dxfType;
  std::vector<RawTag> tags;
};

}  // namespace cad
