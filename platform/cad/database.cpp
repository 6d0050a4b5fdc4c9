// The database's storage, ids and handles, opening and closing, transactions.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cad/internal.h"
#include "platform/os/os.h"

namespace cad {

namespace {

constexpr int kIndexBits = 40;
constexpr std::uint64_t kIndexMask = (std::uint64_t(1) << kIndexBits) - 1;

// Live databases by serial number (from 1); a destroyed database leaves a
// null entry so that its ids resolve to nothing. A database may be made or
// destroyed on one thread while ids are resolved on another (a drawing read
// ahead): the entries lie in blocks that never move, and only adding one
// takes the lock. Never destroyed: databases owned by other static objects
// (the document manager) close after this file's statics would be gone.
class Registry {
 public:
  std::uint32_t add(Database::Impl* d) {
    std::lock_guard lock(mutex_);
    const std::uint64_t serial = next_++;
    if (serial >= kBlocks * kBlockSize) throw std::length_error("too many drawings in one session");
    std::atomic<Database::Impl*>* block = blocks_[serial / kBlockSize].load(std::memory_order_acquire);
    if (!block) {
      block = new std::atomic<Database::Impl*>[kBlockSize]();
      blocks_[serial / kBlockSize].store(block, std::memory_order_release);
    }
    block[serial % kBlockSize].store(d, std::memory_order_release);
    return static_cast<std::uint32_t>(serial);
  }
  Database::Impl* get(std::uint64_t serial) const {
    if (serial >= kBlocks * kBlockSize) return nullptr;
    const std::atomic<Database::Impl*>* block = blocks_[serial / kBlockSize].load(std::memory_order_acquire);
    return block ? block[serial % kBlockSize].load(std::memory_order_acquire) : nullptr;
  }
  void remove(std::uint64_t serial) {
    if (serial >= kBlocks * kBlockSize) return;
    if (std::atomic<Database::Impl*>* block = blocks_[serial / kBlockSize].load(std::memory_order_acquire))
      block[serial % kBlockSize].store(nullptr, std::memory_order_release);
  }

 private:
  // The serial fills the bits of an id above the slot index.
  static constexpr std::uint64_t kBlockSize = 4096;
  static constexpr std::uint64_t kBlocks = (std::uint64_t(1) << (64 - kIndexBits)) / kBlockSize;
  std::mutex mutex_;
  std::uint64_t next_ = 1;
  std::atomic<std::atomic<Database::Impl*>*> blocks_[kBlocks] = {};
};

Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

std::atomic<Database*> g_working{nullptr};

}  // namespace

const ObjectId ObjectId::kNull{};

Database::Impl* implOf(ObjectId id) {
  if (id.isNull()) return nullptr;
  return registry().get(id.raw() >> kIndexBits);
}
std::uint32_t slotIndexOf(ObjectId id) { return std::uint32_t((id.raw() & kIndexMask) - 1); }
Slot* slotOf(ObjectId id) {
  auto* d = implOf(id);
  return d ? d->slot(id) : nullptr;
}

Slot* Database::Impl::slot(ObjectId id) {
  if (id.isNull() || (id.raw() >> kIndexBits) != serial) return nullptr;
  std::uint64_t i = (id.raw() & kIndexMask);
  if (i == 0 || i > slots.size()) return nullptr;
  return &slots[std::size_t(i - 1)];
}
ObjectId Database::Impl::idOf(std::uint32_t index) const {
  return ObjectId::fromRaw((std::uint64_t(serial) << kIndexBits) | (std::uint64_t(index) + 1));
}

// ---------------------------------------------------------------- ids

bool ObjectId::isValid() const {
  Slot* s = slotOf(*this);
  return s && !s->vanished;
}
bool ObjectId::isErased() const {
  Slot* s = slotOf(*this);
  return !s || s->vanished || s->obj->isErased();
}
Handle ObjectId::handle() const {
  Slot* s = slotOf(*this);
  return s ? s->handle : Handle();
}
Database* ObjectId::database() const {
  auto* d = implOf(*this);
  return d ? d->self : nullptr;
}

// Upper-case hexadecimal digits without leading zeros ("0" for zero): every
// component stamped writes its own handle.
template <class C>
static std::basic_string<C> hexText(std::uint64_t v) {
  C buf[16];
  C* p = buf + 16;
  do {
    const unsigned d = unsigned(v & 15);
    *--p = C(d < 10 ? '0' + d : 'A' + d - 10);
    v >>= 4;
  } while (v);
  return std::basic_string<C>(p, buf + 16);
}
std::wstring Handle::text() const { return hexText<wchar_t>(value); }
std::string Handle::textUtf8() const { return hexText<char>(value); }
template <class S>
static std::optional<Handle> parseHex(S s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  if (s.empty() || s.size() > 16) return std::nullopt;
  std::uint64_t v = 0;
  for (auto c : s) {
    int d;
    if (c >= '0' && c <= '9') d = int(c - '0');
    else if (c >= 'a' && c <= 'f') d = int(c - 'a') + 10;
    else if (c >= 'A' && c <= 'F') d = int(c - 'A') + 10;
    else return std::nullopt;
    v = v * 16 + std::uint64_t(d);
  }
  return Handle(v);
}
std::optional<Handle> Handle::parse(std::wstring_view hex) { return parseHex(hex); }
std::optional<Handle> Handle::parse(std::string_view hex) { return parseHex(hex); }

// ---------------------------------------------------------------- text

std::string toUtf8(std::wstring_view s) { return os::toUtf8(s); }

std::wstring fromUtf8(std::string_view s, bool* bad) {
  if (bad && !os::isValidUtf8(s)) *bad = true;
  std::wstring w = os::fromUtf8(s);
  // The conversion reserves a character per byte; texts outside ASCII keep
  // far less, and a drawing holds hundreds of thousands of them.
  if (w.capacity() > w.size() + 4) w.shrink_to_fit();
  return w;
}

// ---------------------------------------------------------------- opening

Status openObject(DbObject*& obj, ObjectId id, OpenMode mode, bool openErased) {
  obj = nullptr;
  if (id.isNull()) return Status::NullObjectId;
  auto* d = implOf(id);
  Slot* s = d ? d->slot(id) : nullptr;
  if (!s) return Status::InvalidObjectId;
  if (s->vanished) return Status::WasErased;
  if (s->obj->isErased() && !openErased) return Status::WasErased;
  if (mode == OpenMode::ForWrite) {
    if (s->writer) return Status::WasOpenForWrite;
    if (s->readers > 0) return Status::WasOpenForRead;
    if (auto* e = dynamic_cast<Entity*>(s->obj.get())) {
      Slot* ls = d->slot(e->layerId());
      if (ls && !ls->vanished) {
        auto* layer = static_cast<LayerRecord*>(ls->obj.get());
        if (layer->isLocked()) return Status::OnLockedLayer;
      }
    }
    s->writer = true;
    d->logChange(slotIndexOf(id));
    d->recordChange(slotIndexOf(id));
  } else if (mode == OpenMode::ForRead) {
    if (s->writer) return Status::WasOpenForWrite;
    ++s->readers;
  }
  obj = s->obj.get();
  return Status::Ok;
}

DbObject::~DbObject() = default;

std::unique_ptr<DbObject> DbObject::clone() const {
  auto c = copy();
  c->id_ = {};
  c->owner_ = {};
  c->extDict_ = {};
  c->erased_ = false;
  if (auto* br = dynamic_cast<BlockReference*>(c.get())) br->attributeIdsMutable().clear();
  return c;
}

Database* DbObject::database() const { return id_.database(); }

bool DbObject::isReadEnabled() const {
  if (id_.isNull()) return true;
  Slot* s = slotOf(id_);
  return s && (s->writer || s->readers > 0);
}
bool DbObject::isWriteEnabled() const {
  if (id_.isNull()) return true;
  Slot* s = slotOf(id_);
  return s && s->writer;
}
OpenMode DbObject::openMode() const {
  return isWriteEnabled() ? OpenMode::ForWrite : isReadEnabled() ? OpenMode::ForRead : OpenMode::ForNotify;
}

Status DbObject::close() {
  if (id_.isNull()) return Status::Ok;
  Slot* s = slotOf(id_);
  if (!s) return Status::InvalidObjectId;
  if (s->writer) s->writer = false;
  else if (s->readers > 0) --s->readers;
  else return Status::NotOpenForRead;
  return Status::Ok;
}

Status DbObject::upgradeOpen() {
  if (id_.isNull()) return Status::Ok;
  auto* d = implOf(id_);
  Slot* s = d ? d->slot(id_) : nullptr;
  if (!s) return Status::InvalidObjectId;
  if (s->writer) return Status::Ok;
  if (s->readers != 1) return s->readers == 0 ? Status::NotOpenForRead : Status::WasOpenForRead;
  if (auto* e = dynamic_cast<Entity*>(this)) {
    Slot* ls = d->slot(e->layerId());
    if (ls && !ls->vanished && static_cast<LayerRecord*>(ls->obj.get())->isLocked()) return Status::OnLockedLayer;
  }
  s->readers = 0;
  s->writer = true;
  d->logChange(slotIndexOf(id_));
  d->recordChange(slotIndexOf(id_));
  return Status::Ok;
}

Status DbObject::downgradeOpen() {
  if (id_.isNull()) return Status::Ok;
  Slot* s = slotOf(id_);
  if (!s) return Status::InvalidObjectId;
  if (!s->writer) return Status::NotOpenForWrite;
  s->writer = false;
  s->readers = 1;
  return Status::Ok;
}

Status DbObject::assertWriteEnabled() {
  if (id_.isNull()) return Status::Ok;
  auto* d = implOf(id_);
  Slot* s = d ? d->slot(id_) : nullptr;
  if (!s) return Status::InvalidObjectId;
  if (!s->writer) return Status::NotOpenForWrite;
  d->recordChange(slotIndexOf(id_));
  return Status::Ok;
}

Status DbObject::erase(bool yes) {
  if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
  if (yes && !id_.isNull()) {
    auto* d = implOf(id_);
    if (id_ == d->layerZero || id_ == d->header.clayer || id_ == d->modelSpace || id_ == d->paperSpace ||
        id_ == d->continuous || id_ == d->byLayerLt || id_ == d->byBlockLt || id_ == d->nod ||
        id_ == d->layerTable || id_ == d->linetypeTable || id_ == d->textStyleTable ||
        id_ == d->regAppTable || id_ == d->blockTable || id_ == d->standardStyle || id_ == d->header.textstyle)
      return Status::CannotBeErased;
  }
  erased_ = yes;
  return Status::Ok;
}

// ---------------------------------------------------------------- extended data

namespace {
// Splits a chain into its application groups: [begin, end) index ranges.
std::vector<std::pair<std::size_t, std::size_t>> groups(const ValueChain& c) {
  std::vector<std::pair<std::size_t, std::size_t>> g;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (c[i].code == xd::kAppName) {
      if (!g.empty()) g.back().second = i;
      g.push_back({i, c.size()});
    }
  }
  return g;
}
}  // namespace

std::span<const TypedValue> DbObject::xDataView(std::wstring_view app) const {
  const std::size_t n = xdata_.size();
  for (std::size_t b = 0; b < n; ++b) {
    if (xdata_[b].code != xd::kAppName || !namesEqual(xdata_[b].view(), app)) continue;
    std::size_t e = b + 1;
    while (e < n && xdata_[e].code != xd::kAppName) ++e;
    return std::span<const TypedValue>(xdata_.data() + b, e - b);
  }
  return {};
}
ValueChain DbObject::xData(std::wstring_view app) const {
  auto group = xDataView(app);
  return ValueChain(group.begin(), group.end());
}
ValueChain DbObject::xData() const { return xdata_; }
std::vector<std::wstring> DbObject::xDataApps() const {
  std::vector<std::wstring> r;
  for (auto [b, e] : groups(xdata_)) r.push_back(xdata_[b].str());
  return r;
}
std::size_t DbObject::xDataSize() const { return xdataSize(xdata_); }

Status DbObject::setXData(const ValueChain& chain) {
  if (Status s = checkXDataChain(chain); s != Status::Ok) return s;
  const auto parts = groups(chain);
  if (!id_.isNull()) {
    Database* db = database();
    for (auto [b, e] : parts)
      if (!db || !db->isRegApp(chain[b].str())) return Status::RegAppNotRegistered;
  }
  ValueChain merged;
  merged.reserve(xdata_.size() + chain.size());
  merged.assign(xdata_.begin(), xdata_.end());
  for (auto [b, e] : parts) {
    const std::wstring& app = chain[b].str();
    std::size_t at = merged.size();
    for (std::size_t ob = 0; ob < merged.size(); ++ob) {
      if (merged[ob].code != xd::kAppName || !namesEqual(merged[ob].view(), app)) continue;
      std::size_t oe = ob + 1;
      while (oe < merged.size() && merged[oe].code != xd::kAppName) ++oe;
      merged.erase(merged.begin() + std::ptrdiff_t(ob), merged.begin() + std::ptrdiff_t(oe));
      at = ob;
      break;
    }
    if (e - b > 1) {
      merged.insert(merged.begin() + std::ptrdiff_t(at), chain.begin() + std::ptrdiff_t(b),
                    chain.begin() + std::ptrdiff_t(e));
      // Application names are shared by every object that carries them (the
      // groups already here took theirs when they came).
      merged[at].value = appNameText(app);
    }
  }
  if (xdataSize(merged) > xd::kMaxBytesPerObject) return Status::XDataSizeExceeded;
  if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
  xdata_ = std::move(merged);
  return Status::Ok;
}

Status DbObject::createExtensionDictionary() {
  if (id_.isNull()) return Status::NotInDatabase;
  if (!extDict_.isNull() && !extDict_.isErased()) return Status::Ok;
  if (Status s = assertWriteEnabled(); s != Status::Ok) return s;
  auto* d = implOf(id_);
  auto dict = std::make_unique<Dictionary>();
  ObjectId did = d->add(std::move(dict), id_);
  extDict_ = did;
  return Status::Ok;
}

// ---------------------------------------------------------------- transactions

struct Transaction::Impl {
  Database::Impl* db = nullptr;
  struct Entry {
    std::uint32_t index;
    std::unique_ptr<DbObject> snapshot;  // null: created in this transaction
    // A block record's snapshot leaves its entity list out: the list only
    // ever grows, so its length at the snapshot is all an abort needs.
    std::size_t entityCount = 0;
  };
  std::vector<Entry> entries;
  std::unordered_map<std::uint32_t, std::size_t> recorded;
  DatabaseHeader header;
  bool headerChanged = false;
  std::vector<ObjectId> opened;  // opened through the transaction: closed at its end
};

Transaction::Transaction(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Transaction::~Transaction() = default;

Status Transaction::getObject(DbObject*& obj, ObjectId id, OpenMode mode, bool openErased) {
  obj = nullptr;
  Slot* s = slotOf(id);
  // An object this transaction already holds is handed out again, upgraded when needed.
  if (s && std::find(impl_->opened.begin(), impl_->opened.end(), id) != impl_->opened.end()) {
    if (s->vanished || (s->obj->isErased() && !openErased)) return Status::WasErased;
    if (mode == OpenMode::ForWrite && !s->writer) {
      Status st = s->obj->upgradeOpen();
      if (st != Status::Ok) return st;
    }
    obj = s->obj.get();
    return Status::Ok;
  }
  Status st = openObject(obj, id, mode, openErased);
  if (st == Status::Ok) impl_->opened.push_back(id);
  return st;
}
Status Transaction::addNewlyOpenedObject(DbObject* obj) {
  if (!obj || obj->objectId().isNull()) return Status::NotInDatabase;
  if (!obj->isReadEnabled()) return Status::NotOpenForRead;
  impl_->opened.push_back(obj->objectId());
  return Status::Ok;
}
std::size_t Transaction::numRecorded() const { return impl_->entries.size(); }

// Block records are snapshot without their entity lists (a list can hold
// every entity of the drawing, and every append records its block).
static Transaction::Impl::Entry snapshotOf(std::uint32_t index, DbObject& obj) {
  Transaction::Impl::Entry e{index, nullptr};
  auto* block = obj.kind() == Kind::BlockRecord ? static_cast<BlockRecord*>(&obj) : nullptr;
  if (!block) {
    e.snapshot = obj.copy();
    return e;
  }
  ObjectIdArray& list = block->entitiesMutable();
  ObjectIdArray held;
  held.swap(list);
  try {
    e.snapshot = obj.copy();
  } catch (...) {
    held.swap(list);
    throw;
  }
  held.swap(list);
  e.entityCount = list.size();
  return e;
}

static void restoreSnapshot(DbObject& obj, const Transaction::Impl::Entry& e) {
  auto* block = obj.kind() == Kind::BlockRecord ? static_cast<BlockRecord*>(&obj) : nullptr;
  if (!block) {
    obj.assignFrom(*e.snapshot);
    return;
  }
  ObjectIdArray list;
  list.swap(block->entitiesMutable());
  if (list.size() > e.entityCount) list.resize(e.entityCount);
  obj.assignFrom(*e.snapshot);
  list.swap(block->entitiesMutable());
}

static void closeOpened(Transaction::Impl& t) {
  for (auto it = t.opened.rbegin(); it != t.opened.rend(); ++it) {
    Slot* s = slotOf(*it);
    if (!s) continue;
    if (s->writer) s->writer = false;
    else if (s->readers > 0) --s->readers;
  }
  t.opened.clear();
}

Transaction* TransactionManager::startTransaction() {
  auto impl = std::make_unique<Transaction::Impl>();
  impl->db = &db_->impl();
  impl->header = db_->impl().header;
  stack_.push_back(std::make_unique<Transaction>(std::move(impl)));
  return stack_.back().get();
}

Status TransactionManager::endTransaction() {
  if (stack_.empty()) return Status::NoActiveTransaction;
  std::unique_ptr<Transaction> t = std::move(stack_.back());
  stack_.pop_back();
  auto& ti = *t->impl_;
  closeOpened(ti);
  if (!stack_.empty()) {
    auto& parent = *stack_.back()->impl_;
    for (auto& e : ti.entries) {
      if (parent.recorded.count(e.index)) continue;
      parent.recorded[e.index] = parent.entries.size();
      parent.entries.push_back(std::move(e));
    }
  }
  return Status::Ok;
}

Status TransactionManager::abortTransaction() {
  if (stack_.empty()) return Status::NoActiveTransaction;
  std::unique_ptr<Transaction> t = std::move(stack_.back());
  stack_.pop_back();
  auto& ti = *t->impl_;
  closeOpened(ti);
  auto& d = db_->impl();
  for (auto it = ti.entries.rbegin(); it != ti.entries.rend(); ++it) {
    Slot& s = d.slots[it->index];
    if (!it->snapshot) {
      s.vanished = true;
      DbObject::Internal::setErased(*s.obj, true);
      d.byHandle.erase(s.handle.value);
    } else {
      restoreSnapshot(*s.obj, *it);
    }
    d.logChange(it->index);
  }
  d.header = ti.header;
  return Status::Ok;
}

int TransactionManager::numActiveTransactions() const { return int(stack_.size()); }
Transaction* TransactionManager::topTransaction() const { return stack_.empty() ? nullptr : stack_.back().get(); }
void TransactionManager::endAll() { while (!stack_.empty()) endTransaction(); }
void TransactionManager::abortAll() { while (!stack_.empty()) abortTransaction(); }

Transaction* Database::Impl::innermost() const { return tm ? tm->topTransaction() : nullptr; }

void Database::Impl::recordChange(std::uint32_t index) {
  Transaction* t = innermost();
  if (!t) return;
  auto& ti = *t->impl_;
  if (ti.recorded.count(index)) return;
  ti.recorded[index] = ti.entries.size();
  ti.entries.push_back(snapshotOf(index, *slots[index].obj));
}

// ---------------------------------------------------------------- change log

std::uint64_t Database::Impl::newChangeLogId() {
  static std::atomic<std::uint64_t> next{0};
  return ++next;
}

void Database::Impl::logChange(std::uint32_t index) {
  // Restarted when it outgrows the drawing: a reader that lags that far
  // behind rebuilds for about the cost of reading the log.
  if (changeLog.size() >= 4096 + 2 * slots.size()) {
    changeLog.clear();
    changeLogId = newChangeLogId();
  }
  changeLog.push_back(index);
}

bool Database::changesSince(ChangeCursor& cursor, std::vector<ObjectId>& ids) const {
  const auto& d = *impl_;
  if (cursor.log != d.changeLogId || cursor.pos > d.changeLog.size()) {
    cursor = {d.changeLogId, d.changeLog.size()};
    return false;
  }
  for (std::size_t i = cursor.pos; i < d.changeLog.size(); ++i) ids.push_back(d.idOf(d.changeLog[i]));
  cursor.pos = d.changeLog.size();
  return true;
}

// ---------------------------------------------------------------- mapping

bool IdMapping::compute(ObjectId key, ObjectId& value) const {
  for (const auto& p : pairs_)
    if (p.key == key) { value = p.value; return true; }
  return false;
}
void IdMapping::assign(const Pair& p) { pairs_.push_back(p); }

// ---------------------------------------------------------------- database

ObjectId Database::Impl::add(std::unique_ptr<DbObject> obj, ObjectId owner, Handle h, bool openForWrite) {
  if (h.isNull() || byHandle.count(h.value)) h = Handle(nextHandle);
  if (h.value >= nextHandle) nextHandle = h.value + 1;
  std::uint32_t index = std::uint32_t(slots.size());
  slots.push_back(Slot{});
  Slot& s = slots.back();
  ObjectId id = idOf(index);
  DbObject::Internal::setId(*obj, id);
  DbObject::Internal::setOwner(*obj, owner);
  s.obj = std::move(obj);
  s.handle = h;
  s.writer = openForWrite;
  byHandle[h.value] = index;
  logChange(index);
  if (Transaction* t = innermost()) {
    auto& ti = *t->impl_;
    ti.recorded[index] = ti.entries.size();
    ti.entries.push_back({index, nullptr});
  }
  return id;
}

namespace {
template <class T>
T* raw(Database::Impl& d, ObjectId id) {
  Slot* s = d.slot(id);
  return s ? static_cast<T*>(s->obj.get()) : nullptr;
}
}  // namespace

void Database::Impl::buildStandard() {
  auto addTable = [&](std::unique_ptr<DbObject> t) { return add(std::move(t), ObjectId()); };
  blockTable = addTable(std::make_unique<BlockTable>());
  layerTable = addTable(std::make_unique<LayerTable>());
  textStyleTable = addTable(std::make_unique<TextStyleTable>());
  linetypeTable = addTable(std::make_unique<LinetypeTable>());
  regAppTable = addTable(std::make_unique<RegAppTable>());
  nod = add(std::make_unique<Dictionary>(), ObjectId());
  auto addRec = [&](ObjectId table, std::unique_ptr<SymbolTableRecord> r, const wchar_t* name) {
    r->name_ = name;
    ObjectId id = add(std::move(r), table);
    raw<SymbolTable>(*this, table)->records_.push_back(id);
    return id;
  };
  modelSpace = addRec(blockTable, std::make_unique<BlockRecord>(), kModelSpace);
  paperSpace = addRec(blockTable, std::make_unique<BlockRecord>(), kPaperSpace);
  layerZero = addRec(layerTable, std::make_unique<LayerRecord>(), kLayerZero);
  byBlockLt = addRec(linetypeTable, std::make_unique<LinetypeRecord>(), L"ByBlock");
  byLayerLt = addRec(linetypeTable, std::make_unique<LinetypeRecord>(), L"ByLayer");
  auto cont = std::make_unique<LinetypeRecord>();
  cont->setDescription(L"Solid line");
  continuous = addRec(linetypeTable, std::move(cont), kContinuous);
  standardStyle = addRec(textStyleTable, std::make_unique<TextStyleRecord>(), kStandardStyle);
  addRec(regAppTable, std::make_unique<RegAppRecord>(), L"ACAD");
  header.clayer = layerZero;
  header.textstyle = standardStyle;
}

Database::Database(bool) : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  impl_->serial = registry().add(impl_.get());
  impl_->tm.reset(new TransactionManager(this));
  impl_->buildStandard();
}

Database::~Database() {
  Database* self = this;
  g_working.compare_exchange_strong(self, nullptr);
  registry().remove(impl_->serial);
}

ObjectId Database::getObjectId(Handle h) const {
  auto it = impl_->byHandle.find(h.value);
  if (it == impl_->byHandle.end()) return {};
  return impl_->idOf(it->second);
}
Status Database::getObjectId(ObjectId& id, bool, Handle h) const {
  id = getObjectId(h);
  return id.isNull() ? Status::KeyNotFound : Status::Ok;
}
ObjectId Database::getObjectId(std::wstring_view hex) const {
  auto h = Handle::parse(hex);
  return h ? getObjectId(*h) : ObjectId();
}
Handle Database::handseed() const { return Handle(impl_->nextHandle); }

ObjectId Database::layerTableId() const { return impl_->layerTable; }
ObjectId Database::linetypeTableId() const { return impl_->linetypeTable; }
ObjectId Database::textStyleTableId() const { return impl_->textStyleTable; }
ObjectId Database::regAppTableId() const { return impl_->regAppTable; }
ObjectId Database::blockTableId() const { return impl_->blockTable; }
ObjectId Database::namedObjectsDictionaryId() const { return impl_->nod; }
ObjectId Database::modelSpaceId() const { return impl_->modelSpace; }
ObjectId Database::paperSpaceId() const { return impl_->paperSpace; }
ObjectId Database::layerZeroId() const { return impl_->layerZero; }
ObjectId Database::continuousLinetypeId() const { return impl_->continuous; }

const DatabaseHeader& Database::header() const { return impl_->header; }

void Database::Impl::recordHeader() {
  // The header is saved whole at each transaction's start; nothing to do per change.
}

Status Database::setClayer(ObjectId layerId) {
  auto* l = raw<LayerRecord>(*impl_, layerId);
  if (!l || l->kind() != Kind::LayerRecord || l->isErased()) return Status::InvalidInput;
  if (l->isFrozen()) return Status::InvalidInput;
  impl_->header.clayer = layerId;
  return Status::Ok;
}
Status Database::setTextstyle(ObjectId styleId) {
  auto* s = raw<DbObject>(*impl_, styleId);
  if (!s || s->kind() != Kind::TextStyleRecord || s->isErased()) return Status::InvalidInput;
  impl_->header.textstyle = styleId;
  return Status::Ok;
}
Status Database::setDimtxsty(std::wstring_view name) {
  if (textStyleId(name).isNull()) return Status::KeyNotFound;
  impl_->header.dimtxsty = std::wstring(name);
  return Status::Ok;
}
Status Database::setLtscale(double s) {
  if (!(s > 0)) return Status::InvalidInput;
  impl_->header.ltscale = s;
  return Status::Ok;
}
Status Database::setCeltype(ObjectId lt) {
  auto* s = raw<DbObject>(*impl_, lt);
  if (!lt.isNull() && (!s || s->kind() != Kind::LinetypeRecord)) return Status::InvalidInput;
  impl_->header.celtype = lt;
  return Status::Ok;
}

static ObjectId lookup(const Database::Impl& d, ObjectId table, std::wstring_view name) {
  Slot* s = const_cast<Database::Impl&>(d).slot(table);
  if (!s) return {};
  return static_cast<SymbolTable*>(s->obj.get())->getAt(name);
}
ObjectId Database::layerId(std::wstring_view n) const { return lookup(*impl_, impl_->layerTable, n); }
ObjectId Database::blockId(std::wstring_view n) const { return lookup(*impl_, impl_->blockTable, n); }
ObjectId Database::textStyleId(std::wstring_view n) const { return lookup(*impl_, impl_->textStyleTable, n); }
ObjectId Database::linetypeId(std::wstring_view n) const { return lookup(*impl_, impl_->linetypeTable, n); }
bool Database::isRegApp(std::wstring_view n) const { return !lookup(*impl_, impl_->regAppTable, n).isNull(); }

Status Database::registerApp(std::wstring_view name) {
  if (isRegApp(name)) return Status::Ok;
  if (!isValidSymbolName(name)) return Status::InvalidSymbolName;
  auto* table = raw<SymbolTable>(*impl_, impl_->regAppTable);
  impl_->recordChange(slotIndexOf(impl_->regAppTable));
  auto rec = std::make_unique<RegAppRecord>();
  rec->name_ = std::wstring(name);
  ObjectId id = impl_->add(std::move(rec), impl_->regAppTable);
  table->records_.push_back(id);
  return Status::Ok;
}

namespace {
struct LinetypeDef {
  const wchar_t* name;
  const wchar_t* description;
  std::vector<double> dashes;
};
// Metric lengths (millimetres) of the common linetypes.
const std::vector<LinetypeDef>& builtinLinetypes() {
  static const std::vector<LinetypeDef> defs = {
      {L"BORDER", L"Border __ __ . __ __ . __ __ . __ __ . __ __ .", {12.7, -6.35, 12.7, -6.35, 0, -6.35}},
      {L"BORDER2", L"Border (.5x) __.__.__.__.__.__.__.__.__.__.__.", {6.35, -3.175, 6.35, -3.175, 0, -3.175}},
      {L"BORDERX2", L"Border (2x) ____  ____  .  ____  ____  .  ___", {25.4, -12.7, 25.4, -12.7, 0, -12.7}},
      {L"CENTER", L"Center ____ _ ____ _ ____ _ ____ _ ____ _ ____", {31.75, -6.35, 6.35, -6.35}},
      {L"CENTER2", L"Center (.5x) ___ _ ___ _ ___ _ ___ _ ___ _ ___", {19.05, -3.175, 3.175, -3.175}},
      {L"CENTERX2", L"Center (2x) ________  __  ________  __  _____", {63.5, -12.7, 12.7, -12.7}},
      {L"DASHDOT", L"Dash dot __ . __ . __ . __ . __ . __ . __ . __", {12.7, -6.35, 0, -6.35}},
      {L"DASHDOT2", L"Dash dot (.5x) _._._._._._._._._._._._._._._.", {6.35, -3.175, 0, -3.175}},
      {L"DASHDOTX2", L"Dash dot (2x) ____  .  ____  .  ____  .  ___", {25.4, -12.7, 0, -12.7}},
      {L"DASHED", L"Dashed __ __ __ __ __ __ __ __ __ __ __ __ __ _", {12.7, -6.35}},
      {L"DASHED2", L"Dashed (.5x) _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _", {6.35, -3.175}},
      {L"DASHEDX2", L"Dashed (2x) ____  ____  ____  ____  ____  ___", {25.4, -12.7}},
      {L"DIVIDE", L"Divide ____ . . ____ . . ____ . . ____ . . ____", {12.7, -6.35, 0, -6.35, 0, -6.35}},
      {L"DIVIDE2", L"Divide (.5x) __..__..__..__..__..__..__..__.._", {6.35, -3.175, 0, -3.175, 0, -3.175}},
      {L"DIVIDEX2", L"Divide (2x) ________  .  .  ________  .  .  _", {25.4, -12.7, 0, -12.7, 0, -12.7}},
      {L"DOT", L"Dot . . . . . . . . . . . . . . . . . . . . . . . .", {0, -6.35}},
      {L"DOT2", L"Dot (.5x) ........................................", {0, -3.175}},
      {L"DOTX2", L"Dot (2x) .  .  .  .  .  .  .  .  .  .  .  .  .  .", {0, -12.7}},
      {L"HIDDEN", L"Hidden __ __ __ __ __ __ __ __ __ __ __ __ __ __", {6.35, -3.175}},
      {L"HIDDEN2", L"Hidden (.5x) _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _", {3.175, -1.5875}},
      {L"HIDDENX2", L"Hidden (2x) ____ ____ ____ ____ ____ ____ ____", {12.7, -6.35}},
      {L"PHANTOM", L"Phantom ______  __  __  ______  __  __  ______", {31.75, -6.35, 6.35, -6.35, 6.35, -6.35}},
      {L"PHANTOM2", L"Phantom (.5x) ___ _ _ ___ _ _ ___ _ _ ___ _ _", {15.875, -3.175, 3.175, -3.175, 3.175, -3.175}},
      {L"PHANTOMX2", L"Phantom (2x) ____________    ____    ____    _", {63.5, -12.7, 12.7, -12.7, 12.7, -12.7}},
  };
  return defs;
}
}  // namespace

Status Database::loadLineTypeFile(std::wstring_view name, std::wstring_view) {
  bool all = name == L"*";
  bool found = false;
  for (const auto& def : builtinLinetypes()) {
    if (!all && !namesEqual(def.name, name)) continue;
    found = true;
    if (!linetypeId(def.name).isNull()) {
      if (!all) return Status::DuplicateRecordName;
      continue;
    }
    auto* table = raw<SymbolTable>(*impl_, impl_->linetypeTable);
    impl_->recordChange(slotIndexOf(impl_->linetypeTable));
    auto rec = std::make_unique<LinetypeRecord>();
    rec->name_ = def.name;
    rec->setDescription(def.description);
    rec->setDashes(def.dashes);
    ObjectId id = impl_->add(std::move(rec), impl_->linetypeTable);
    table->records_.push_back(id);
  }
  return found ? Status::Ok : Status::KeyNotFound;
}

Status Database::appendToModelSpace(std::unique_ptr<Entity> ent, ObjectId* id) {
  BlockRecord* ms = nullptr;
  if (Status s = openObject(ms, impl_->modelSpace, OpenMode::ForWrite); s != Status::Ok) return s;
  Status s = ms->appendEntity(std::move(ent), id);
  ms->close();
  return s;
}

Status Database::addObject(std::unique_ptr<DbObject> obj, ObjectId ownerId, ObjectId* id) {
  if (!obj) return Status::InvalidInput;
  if (obj->isDatabaseResident()) return Status::AlreadyInDb;
  if (!ownerId.isNull() && !impl_->slot(ownerId)) return Status::WrongDatabase;
  for (const auto& app : obj->xDataApps())
    if (!isRegApp(app)) return Status::RegAppNotRegistered;
  ObjectId nid = impl_->add(std::move(obj), ownerId);
  if (id) *id = nid;
  return Status::Ok;
}

ObjectIdArray Database::modelSpaceEntities() const {
  return raw<BlockRecord>(*impl_, impl_->modelSpace)->entityIds(true);
}

ObjectIdArray Database::allObjects(bool skipErased) const {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> v(impl_->byHandle.begin(), impl_->byHandle.end());
  std::sort(v.begin(), v.end());
  ObjectIdArray r;
  r.reserve(v.size());
  for (auto [h, i] : v) {
    const Slot& s = impl_->slots[i];
    if (s.vanished || (skipErased && s.obj->isErased())) continue;
    r.push_back(impl_->idOf(i));
  }
  return r;
}
std::size_t Database::numObjects() const { return impl_->byHandle.size(); }
std::size_t Database::numOpenObjects() const {
  std::size_t n = 0;
  for (const auto& s : impl_->slots) n += (s.writer || s.readers > 0) ? 1 : 0;
  return n;
}
std::vector<ObjectId> Database::openObjectIds() const {
  std::vector<ObjectId> r;
  for (std::uint32_t i = 0; i < impl_->slots.size(); ++i)
    if (impl_->slots[i].writer || impl_->slots[i].readers > 0) r.push_back(impl_->idOf(i));
  return r;
}

TransactionManager& Database::transactionManager() { return *impl_->tm; }

const std::vector<std::string>& Database::lastFileNotices() const { return impl_->notices; }
const std::string& Database::lastFileError() const { return impl_->error; }
const std::filesystem::path& Database::fileName() const { return impl_->fileName; }

// ---------------------------------------------------------------- files

Status Database::readDxfText(std::string_view text) { return readText(text, false); }

Status Database::readText(std::string_view text, bool mapped) {
  Database fresh(false);
  std::vector<std::string> notices;
  std::string error;
  Status s = readDxfInto(fresh, text, notices, error, mapped);
  if (s != Status::Ok) {
    impl_->error = error;
    impl_->notices = std::move(notices);
    return s;
  }
  if (impl_->tm) impl_->tm->abortAll();
  // Swap storage: this database takes the fresh one's objects (and its
  // serial, so the new ids resolve to this database); the old storage dies
  // with `fresh`.
  std::swap(impl_, fresh.impl_);
  impl_->self = this;
  fresh.impl_->self = &fresh;
  std::swap(impl_->tm, fresh.impl_->tm);
  impl_->tm->db_ = this;
  fresh.impl_->tm->db_ = &fresh;
  Database* stale = &fresh;
  g_working.compare_exchange_strong(stale, this);
  impl_->notices = std::move(notices);
  impl_->error.clear();
  return Status::Ok;
}

Status Database::readDxfFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    impl_->error = "no such file: " + path.string();
    return Status::FileNotFound;
  }
  // The text is mapped, not copied: the reader parses it in place.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    impl_->error = "cannot open " + path.string();
    return Status::FileAccessError;
  }
  std::size_t size = std::size_t(st.st_size);
  void* map = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
  ::close(fd);
  if (size && map == MAP_FAILED) {
    impl_->error = "cannot read " + path.string();
    return Status::FileAccessError;
  }
  Status s = readText(std::string_view(static_cast<const char*>(map), size), size != 0);
  if (size) ::munmap(map, size);
  if (s == Status::Ok) impl_->fileName = path;
  else impl_->error = path.string() + ": " + impl_->error;
  return s;
}

std::string Database::dxfText() const {
  std::string text;
  if (writeDxf(*this, text, impl_->error) != Status::Ok) text.clear();
  return text;
}

Status Database::saveAs(const std::filesystem::path& path) const {
  std::string text;
  if (Status s = writeDxf(*this, text, impl_->error); s != Status::Ok) {
    impl_->error = "cannot save " + path.string() + ": " + impl_->error;
    return s;
  }
  if (!os::replaceFileAtomically(path, text)) {
    impl_->error = os::lastError();
    return Status::FileAccessError;
  }
  impl_->error.clear();
  impl_->fileName = path;
  return Status::Ok;
}

// ---------------------------------------------------------------- working database

Database* workingDatabase() { return g_working.load(); }
void setWorkingDatabase(Database* db) { g_working.store(db); }

}  // namespace cad
