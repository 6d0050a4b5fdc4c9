// The drawing database, its transactions, the working database, and files.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"

namespace cad {

class Database;
class TransactionManager;

// Names of the standard records.
inline constexpr const wchar_t* kModelSpace = L"*Model_Space";
inline constexpr const wchar_t* kPaperSpace = L"*Paper_Space";
inline constexpr const wchar_t* kLayerZero = L"0";
inline constexpr const wchar_t* kContinuous = L"Continuous";
inline constexpr const wchar_t* kStandardStyle = L"Standard";

// A transaction: an undo log of object snapshots. Every object first opened
// for write (or created, or erased) while it is the innermost open
// transaction of its database is recorded, whatever call made the change.
class Transaction {
 public:
  // Opens an object for the life of the transaction (closed at end or abort).
  Status getObject(DbObject*& obj, ObjectId id, OpenMode mode, bool openErased = false);
  template <class T>
  Status getObject(T*& obj, ObjectId id, OpenMode mode, bool openErased = false) {
    obj = nullptr;
    DbObject* o = nullptr;
    Status s = getObject(o, id, mode, openErased);
    if (s != Status::Ok) return s;
    obj = dynamic_cast<T*>(o);
    return obj ? Status::Ok : Status::WrongObjectType;
  }
  // Hands an open object to the transaction, which closes it at end or abort.
  Status addNewlyOpenedObject(DbObject* obj);
  std::size_t numRecorded() const;

  struct Impl;
  explicit Transaction(std::unique_ptr<Impl> impl);
  ~Transaction();

 private:
  friend class TransactionManager;
  friend class Database;
  std::unique_ptr<Impl> impl_;
};

class TransactionManager {
 public:
  // Transactions nest; they stay open until ended or aborted (also across prompts).
  Transaction* startTransaction();
  // Commits the newest transaction into its parent (or for good when it is the outermost).
  Status endTransaction();
  // Rolls back every change recorded in the newest transaction: created
  // objects vanish, changed and erased objects return to their state at its start.
  Status abortTransaction();
  int numActiveTransactions() const;
  Transaction* topTransaction() const;
  // Ends (commit) or aborts every open transaction, newest first.
  void endAll();
  void abortAll();

 private:
  friend class Database;
  explicit TransactionManager(Database* db) : db_(db) {}
  Database* db_;
  std::vector<std::unique_ptr<Transaction>> stack_;
};

// The map of ids made by deepCloneObjects or insert: source id to clone id.
class IdMapping {
 public:
  struct Pair {
    ObjectId key, value;
    bool isCloned = true;
    bool isPrimary = true;  // one of the ids asked for, not an owned object
  };
  const std::vector<Pair>& pairs() const { return pairs_; }
  bool compute(ObjectId key, ObjectId& value) const;
  void assign(const Pair& p);
  Database* destDb() const { return dest_; }

 private:
  friend class Database;
  std::vector<Pair> pairs_;
  Database* dest_ = nullptr;
};

// Header values kept by the database.
struct DatabaseHeader {
  ObjectId clayer;      // the current layer
  ObjectId textstyle;   // the current text style
  ObjectId celtype;     // null: by layer
  double ltscale = 1.0;
  std::wstring dimtxsty = L"Standard";
  int insunits = 4;     // millimetres
  bool operator==(const DatabaseHeader&) const = default;
};

class Database {
 public:
  // A database with the standard records: layer "0", linetypes ByBlock,
  // ByLayer and Continuous, text style "Standard", the application "ACAD",
  // model and paper space, and the named objects dictionary. With
  // buildDefaultDrawing false the same records are made (a file read then
  // replaces them).
  explicit Database(bool buildDefaultDrawing = true);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Ids and handles.
  ObjectId getObjectId(Handle h) const;                // null when unknown or vanished
  Status getObjectId(ObjectId& id, bool createIfNotFound, Handle h) const;
  ObjectId getObjectId(std::wstring_view hexHandle) const;
  Handle handseed() const;

  // Standard objects.
  ObjectId layerTableId() const;
  ObjectId linetypeTableId() const;
  ObjectId textStyleTableId() const;
  ObjectId regAppTableId() const;
  ObjectId blockTableId() const;
  ObjectId namedObjectsDictionaryId() const;
  ObjectId modelSpaceId() const;
  ObjectId paperSpaceId() const;
  ObjectId layerZeroId() const;
  ObjectId continuousLinetypeId() const;

  // Header values. Setting needs no open; the change is recorded in the
  // innermost open transaction.
  const DatabaseHeader& header() const;
  ObjectId clayer() const { return header().clayer; }
  Status setClayer(ObjectId layerId);   // a frozen layer is refused (InvalidInput)
  ObjectId textstyle() const { return header().textstyle; }
  Status setTextstyle(ObjectId styleId);
  Status setDimtxsty(std::wstring_view name);
  Status setLtscale(double s);
  Status setCeltype(ObjectId linetypeId);

  // Loads a linetype by name from the built-in definitions (DASHED, DASHED2,
  // CENTER, CENTERX2, HIDDEN, DOT, DASHDOT, PHANTOM, BORDER, DIVIDE and their
  // 2 and X2 variants, all of the metric file's lengths). The file name is
  // accepted for form; "*" loads them all. KeyNotFound for an unknown name,
  // DuplicateRecordName when it is loaded already.
  Status loadLineTypeFile(std::wstring_view name, std::wstring_view fileName = L"acadiso.lin");

  // Convenience lookups by name (case-insensitive); null when absent.
  ObjectId layerId(std::wstring_view name) const;
  ObjectId blockId(std::wstring_view name) const;
  ObjectId textStyleId(std::wstring_view name) const;
  ObjectId linetypeId(std::wstring_view name) const;
  bool isRegApp(std::wstring_view name) const;
  // Registers an application name when absent (needs no open).
  Status registerApp(std::wstring_view name);

  // Appends a non-resident entity to model space (opening and closing it):
  // a convenience for tests and tools. The entity is closed on return.
  Status appendToModelSpace(std::unique_ptr<Entity> ent, ObjectId* id = nullptr);
  // Adds a non-resident object owned by the given object (for objects that
  // live outside tables, blocks and dictionaries). The object is closed.
  Status addObject(std::unique_ptr<DbObject> obj, ObjectId ownerId, ObjectId* id = nullptr);

  // Model space entities in order, leaving out erased ones.
  ObjectIdArray modelSpaceEntities() const;
  // What changed, for indexes kept beside the database: the ids of objects
  // created, opened for write (they may change until closed) or restored by
  // an abort since the cursor (repeats possible), moving the cursor on. A
  // cursor starts default-made. False, handing nothing, when the cursor
  // belongs to an older log (a file read replaced the contents, the log was
  // restarted, or the cursor is new): the caller must look at everything.
  struct ChangeCursor {
    std::uint64_t log = 0;
    std::size_t pos = 0;
  };
  bool changesSince(ChangeCursor& cursor, std::vector<ObjectId>& ids) const;
  // Every live object of the database, in handle order.
  ObjectIdArray allObjects(bool skipErased = true) const;
  std::size_t numObjects() const;
  // How many objects are open now (tests check it is zero after a command).
  std::size_t numOpenObjects() const;
  std::vector<ObjectId> openObjectIds() const;

  // Copies objects (with their extended data, attributes and extension
  // dictionaries) into the owner block (of this database), recording source
  // to copy in the mapping. All ids must belong to one database.
  Status deepCloneObjects(const ObjectIdArray& ids, ObjectId ownerId, IdMapping& mapping);
  // Makes source's model space a new block of this database named blockName
  // (layers, linetypes, styles, applications and nested blocks it uses are
  // copied when absent).
  Status insert(ObjectId& blockId, std::wstring_view blockName, Database& source,
                bool preserveSourceDatabase = true);

  // Files (DXF text, whatever the extension). readDxfFile parses into a fresh
  // database and swaps it in only when the whole file is good: on any error
  // this database is left as it was (a number out of its group code's range
  // is such an error, named with its line). Ids of this database's objects
  // become invalid after a successful read. Notices (skipped records,
  // repairs such as dictionary entries dropped because they name an object
  // owned elsewhere, the dictionary itself or a table) are kept in
  // lastFileNotices(); lastFileError() holds the error text.
  Status readDxfFile(const std::filesystem::path& path);
  // Alias used by callers that speak of drawing files.
  Status readDwgFile(const std::filesystem::path& path) { return readDxfFile(path); }
  // Writes to a temporary file beside the target, flushed to disk, then
  // renames it over it. What a file held that the database does not model
  // (header variables, classes, layouts and page setups, viewport, view,
  // coordinate system and dimension style tables, objects of other kinds) is
  // written back as it came. Refused, leaving the old file, when the target
  // is read-only (FileAccessError) or the database cannot be written as a
  // file that loads again (BadFile); lastFileError() tells why.
  Status saveAs(const std::filesystem::path& path) const;
  Status readDxfText(std::string_view text);
  std::string dxfText() const;
  const std::vector<std::string>& lastFileNotices() const;
  const std::string& lastFileError() const;
  const std::filesystem::path& fileName() const;

  TransactionManager& transactionManager();

  // Internal state: used by the implementation files only.
  struct Impl;
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  Status readText(std::string_view text, bool mapped);
  std::unique_ptr<Impl> impl_;
};

// The working database (the current document's); null when none.
Database* workingDatabase();
void setWorkingDatabase(Database* db);

}  // namespace cad
