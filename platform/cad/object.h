// The base of every database object, opening and closing, and the kinds.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/cad/ids.h"
#include "platform/cad/status.h"
#include "platform/cad/values.h"

namespace cad {

enum class OpenMode { ForRead, ForWrite, ForNotify };

// Every concrete object class. Each has a stable name string (kindName).
enum class Kind {
  // entities
  Line, Polyline, Polyline2d, Polyline3d, Circle, Arc, Ellipse, Spline, Text, AttributeDefinition,
  Attribute, MText, BlockReference, Hatch, Solid2d, Region, PolygonMesh, PolyfaceMesh, Solid3d,
  RasterImage, Body3d, Point, UnknownEntity,
  // non-entities
  Dictionary, Xrecord, RasterImageDef, UnknownObject,
  LayerTable, LinetypeTable, TextStyleTable, RegAppTable, BlockTable,
  LayerRecord, LinetypeRecord, TextStyleRecord, RegAppRecord, BlockRecord,
};
// "Line", "Polyline", "Polyline2d", "RasterImage", ... (also in messages).
const char* kindName(Kind k);
// The DXF entity or object type written for the kind ("LINE", "LWPOLYLINE", ...).
const char* dxfTypeName(Kind k);

class DbObject {
 public:
  virtual ~DbObject();
  DbObject(const DbObject&) = default;
  DbObject& operator=(const DbObject&) = default;

  virtual Kind kind() const = 0;
  const char* className() const { return kindName(kind()); }
  // A new, non-resident copy of this object with its extended data (no id,
  // no owner, no extension dictionary, not erased).
  std::unique_ptr<DbObject> clone() const;
  // The exact copy behind clone() and transaction snapshots.
  virtual std::unique_ptr<DbObject> copy() const = 0;
  // Replaces this object's state with another of the same class (used to
  // restore a snapshot in place, so open pointers stay valid).
  virtual void assignFrom(const DbObject& other) = 0;

  ObjectId objectId() const { return id_; }
  ObjectId ownerId() const { return owner_; }
  Handle handle() const { return id_.handle(); }
  Database* database() const;
  bool isDatabaseResident() const { return !id_.isNull(); }

  // Open state. A non-resident object counts as open for write.
  bool isReadEnabled() const;
  bool isWriteEnabled() const;
  OpenMode openMode() const;
  // Closes one open of this object (for a non-resident object: nothing).
  Status close();
  // From read to write (only when this is the only open); applies the same checks as a write open.
  Status upgradeOpen();
  Status downgradeOpen();

  bool isErased() const { return erased_; }
  // Erases (or unerases with false). Needs a write open.
  virtual Status erase(bool yes = true);

  // Extended data. xData(app) gives that application's group (1001 first) or
  // an empty chain; xData() gives all groups in order. setXData replaces only
  // the applications present in the chain; a 1001 with nothing after it
  // removes that application's group. Applications must be registered in the
  // object's database (a non-resident object checks on append).
  ValueChain xData(std::wstring_view app) const;
  ValueChain xData() const;
  // The same without a copy, for readers that only look: valid until the
  // object's extended data changes or the object goes.
  std::span<const TypedValue> xDataView(std::wstring_view app) const;
  std::span<const TypedValue> xDataView() const { return xdata_; }
  Status setXData(const ValueChain& chain);
  std::vector<std::wstring> xDataApps() const;
  std::size_t xDataSize() const;

  // The extension dictionary (null when none). Creating needs a write open and a database.
  ObjectId extensionDictionary() const { return extDict_; }
  Status createExtensionDictionary();

  // Internal: set by the database.
  struct Internal;

 protected:
  DbObject() = default;
  // Every setter calls this first: checks the write open, and records the
  // object's previous state in the innermost open transaction.
  Status assertWriteEnabled();
  // The body of a plain setter: the write check, then the field takes the value.
  template <class T, class V>
  Status writeField(T& field, V&& value) {
    if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
    field = std::forward<V>(value);
    return Status::Ok;
  }
  // The same for a checked value: unless valid, answers refusal and changes nothing.
  template <class T, class V>
  Status writeFieldIf(bool valid, Status refusal, T& field, V&& value) {
    return valid ? writeField(field, std::forward<V>(value)) : refusal;
  }

 private:
  friend class Database;
  friend struct Internal;
  ObjectId id_;
  ObjectId owner_;
  ObjectId extDict_;
  bool erased_ = false;
  ValueChain xdata_;  // all groups, each beginning with 1001
};

// Kind tests and casts, for DbObject pointers (nullptr stays nullptr).
template <class T>
T* cast(DbObject* o) { return dynamic_cast<T*>(o); }
template <class T>
const T* cast(const DbObject* o) { return dynamic_cast<const T*>(o); }
template <class T>
bool isKindOf(const DbObject* o) { return dynamic_cast<const T*>(o) != nullptr; }

// Opens an object by id. On success obj points at it and the caller must
// close it (obj->close()) or wrap it in ObjectPtr. Statuses: NullObjectId,
// InvalidObjectId, WasErased (unless openErased), WasOpenForWrite,
// WasOpenForRead, OnLockedLayer (write open of an entity on a locked layer).
Status openObject(DbObject*& obj, ObjectId id, OpenMode mode, bool openErased = false);

template <class T>
Status openObject(T*& obj, ObjectId id, OpenMode mode, bool openErased = false) {
  obj = nullptr;
  DbObject* o = nullptr;
  Status s = openObject(o, id, mode, openErased);
  if (s != Status::Ok) return s;
  obj = dynamic_cast<T*>(o);
  if (!obj) {
    o->close();
    return Status::WrongObjectType;
  }
  return Status::Ok;
}

// An open object that closes itself when it goes out of scope.
template <class T>
class ObjectPtr {
 public:
  ObjectPtr() = default;
  ObjectPtr(ObjectId id, OpenMode mode, bool openErased = false) { open(id, mode, openErased); }
  ~ObjectPtr() { close(); }
  ObjectPtr(const ObjectPtr&) = delete;
  ObjectPtr& operator=(const ObjectPtr&) = delete;
  ObjectPtr(ObjectPtr&& o) noexcept : p_(o.p_), status_(o.status_) { o.p_ = nullptr; }
  ObjectPtr& operator=(ObjectPtr&& o) noexcept {
    if (this != &o) { close(); p_ = o.p_; status_ = o.status_; o.p_ = nullptr; }
    return *this;
  }

  Status open(ObjectId id, OpenMode mode, bool openErased = false) {
    close();
    status_ = openObject(p_, id, mode, openErased);
    return status_;
  }
  Status close() {
    Status s = Status::Ok;
    if (p_) s = p_->close();
    p_ = nullptr;
    return s;
  }
  // Gives up the close duty: the caller closes the object.
  T* release() { T* p = p_; p_ = nullptr; return p; }

  Status status() const { return status_; }
  bool ok() const { return p_ != nullptr; }
  explicit operator bool() const { return p_ != nullptr; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }

 private:
  T* p_ = nullptr;
  Status status_ = Status::NullObjectId;
};

// Implements copy() and assignFrom() of a concrete class through its copy
// constructor and assignment: put KIV_CAD_OBJECT(Class, Kind) in the class body.
#define KIV_CAD_OBJECT(Class, K)                                                   \
 public:                                                                          \
  static constexpr ::cad::Kind kKind = ::cad::Kind::K;                            \
  ::cad::Kind kind() const override { return kKind; }                             \
  std::unique_ptr<::cad::DbObject> copy() const override {                        \
    return std::make_unique<Class>(*this);                                        \
  }                                                                               \
  void assignFrom(const ::cad::DbObject& o) override {                            \
    *this = static_cast<const Class&>(o);                                         \
  }

}  // namespace cad
