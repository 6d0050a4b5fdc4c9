// Private to the kiv_cad library: the database's storage and the undo log.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/cad/database.h"

namespace cad {

struct Slot {
  std::unique_ptr<DbObject> obj;
  Handle handle;
  int readers = 0;
  bool writer = false;
  bool vanished = false;  // created in an aborted transaction
};

// What a drawing file held that the database does not model, kept so that a
// save writes it back as it came: header variables, classes, whole tables
// (viewports, views, coordinate systems, dimension styles) and the record
// data of modelled tables beyond what the records hold.
struct FileKeep {
  struct Var {
    std::string name;  // "$LUNITS"
    std::vector<RawTag> tags;
  };
  std::vector<Var> header;
  std::vector<std::vector<RawTag>> classes;  // each CLASS's tags
  struct Record {
    std::string type;
    std::vector<RawTag> tags;  // everything after the type, handle included
  };
  struct Table {
    std::string name;               // "VPORT"
    std::vector<RawTag> head;       // the TABLE record's tags after the type
    std::vector<Record> records;
  };
  std::vector<Table> tables;
  // Tags of modelled table records that the writer does not make itself
  // (a layer's plot style, a block record's layout and units), by slot.
  std::unordered_map<std::uint32_t, std::vector<RawTag>> recordExtras;
  bool empty() const { return header.empty() && classes.empty() && tables.empty() && recordExtras.empty(); }
};

struct Database::Impl {
  Database* self = nullptr;
  std::uint32_t serial = 0;
  std::deque<Slot> slots;
  std::unordered_map<std::uint64_t, std::uint32_t> byHandle;
  std::uint64_t nextHandle = 1;
  DatabaseHeader header;
  ObjectId layerTable, linetypeTable, textStyleTable, regAppTable, blockTable, nod;
  ObjectId modelSpace, paperSpace, layerZero, continuous, byLayerLt, byBlockLt, standardStyle;
  std::unique_ptr<TransactionManager> tm;
  std::vector<std::string> notices;
  std::string error;
  std::filesystem::path fileName;
  FileKeep keep;
  // Slots created, opened for write or restored by an abort, in that order,
  // for Database::changesSince. A fresh log (a new id) starts when this one
  // grows long; readers of the old one then look at everything again.
  std::vector<std::uint32_t> changeLog;
  std::uint64_t changeLogId = newChangeLogId();

  static std::uint64_t newChangeLogId();
  void logChange(std::uint32_t index);
  Slot* slot(ObjectId id);
  ObjectId idOf(std::uint32_t index) const;
  // Stores a non-resident object; it gets the given handle (or the next free
  // one) and becomes open for write when openForWrite. Records the creation
  // in the innermost transaction.
  ObjectId add(std::unique_ptr<DbObject> obj, ObjectId owner, Handle h = Handle(), bool openForWrite = false);
  Transaction* innermost() const;
  // Records obj's state in the innermost transaction, once per transaction.
  void recordChange(std::uint32_t index);
  void recordHeader();
  void buildStandard();
};

// Resolves an id to its database's storage (null when the database is gone).
Database::Impl* implOf(ObjectId id);
std::uint32_t slotIndexOf(ObjectId id);
Slot* slotOf(ObjectId id);
// Access to the private fields of objects for the library's own code.
struct DbObject::Internal {
  static void setId(DbObject& o, ObjectId id) { o.id_ = id; }
  static void setOwner(DbObject& o, ObjectId id) { o.owner_ = id; }
  static void setExtDict(DbObject& o, ObjectId id) { o.extDict_ = id; }
  static void setErased(DbObject& o, bool e) { o.erased_ = e; }
  static ValueChain& xdata(DbObject& o) { return o.xdata_; }
  static const ValueChain& xdata(const DbObject& o) { return o.xdata_; }
  static ObjectId& layerId(Entity& e) { return e.layerId_; }
  static std::wstring& pendingLayer(Entity& e) { return e.pendingLayer_; }
  static void setColorRaw(Entity& e, const Color& c) { e.color_ = c; }
  static void setLinetypeRaw(Entity& e, std::wstring lt) { e.linetype_ = std::move(lt); }
  static void setLtScaleRaw(Entity& e, double s) { e.ltScale_ = s; }
  static void setLineWeightRaw(Entity& e, int w) { e.lineWeight_ = w; }
  static void setVisibleRaw(Entity& e, bool v) { e.visible_ = v; }
};

// The owning overloads of the append calls: add(raw) appends the new object;
// on success the owner keeps it and it is closed (unless it was resident
// already), on failure the caller's pointer keeps it.
template <class T, class Add>
Status appendOwned(std::unique_ptr<T>& obj, Add add) {
  if (!obj) return Status::InvalidInput;
  T* raw = obj.get();
  bool wasResident = raw->isDatabaseResident();
  if (Status s = add(raw); s != Status::Ok) return s;
  obj.release();
  if (!wasResident) raw->close();
  return Status::Ok;
}

// Text conversions (UTF-8 files, wide strings in memory).
std::string toUtf8(std::wstring_view s);
// Decodes UTF-8; invalid sequences give U+FFFD and set *bad when given.
std::wstring fromUtf8(std::string_view s, bool* bad = nullptr);

// Reading and writing DXF text; the reader fills a fresh database. The
// writer refuses (BadFile, with the reason in error) a database that cannot be
// written as a file that loads again.
// mapped: text is a private read-only mapping of a file (its pages may be
// handed back to the kernel as the reader passes them).
Status readDxfInto(Database& db, std::string_view text, std::vector<std::string>& notices, std::string& error,
                   bool mapped = false);
Status writeDxf(const Database& db, std::string& out, std::string& error);

}  // namespace cad
