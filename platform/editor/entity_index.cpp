#include "platform/editor/entity_index.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace ed::detail {

namespace {

// An entity spanning more cells than this is kept aside and looked at by
// every query.
constexpr std::int64_t kMaxCellsPerEntity = 64;
// Below this many entities a list is as quick as a grid.
constexpr std::size_t kFirstGrid = 32;
// Cell numbers stay well inside 32 bits (they are packed into one key).
constexpr double kMaxCellNumber = 1e9;

bool finite(const PlanBox& b) {
  return std::isfinite(b.x0) && std::isfinite(b.y0) && std::isfinite(b.x1) && std::isfinite(b.y1);
}
bool meets(const PlanBox& a, const PlanBox& b) {
  return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

// Room for rounding: the tests measure along segments whose computed points
// may stray an ulp or so outside the box of their ends.
PlanBox widened(PlanBox b) {
  double m = 1e-9 * (1 + std::max({std::fabs(b.x0), std::fabs(b.y0), std::fabs(b.x1), std::fabs(b.y1)}));
  return {b.x0 - m, b.y0 - m, b.x1 + m, b.y1 + m};
}

enum class Place { None, Grid, Wide };

struct Entry {
  PlanBox box;
  Place place = Place::None;
  std::uint32_t stamp = 0;
};

struct CellRange {
  std::int64_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // empty
  std::int64_t count() const { return (x1 - x0 + 1) * (y1 - y0 + 1); }
};

class EntityIndex {
 public:
  std::vector<cad::ObjectId> query(cad::Database& db, const PlanBox& box, PlanBoxFn boxOf) {
    if (boxOf != boxOf_) {
      boxOf_ = boxOf;
      cursor_ = {};
    }
    refresh(db);
    // A list out of creation order cannot be sorted back by id: every entity is a candidate.
    if (!ordered_) return db.modelSpaceEntities();
    std::vector<cad::ObjectId> out;
    ++stamp_;
    auto take = [&](cad::ObjectId id) {
      Entry& e = entries_.at(id);
      if (e.stamp == stamp_) return;
      e.stamp = stamp_;
      if (!finite(e.box) || meets(e.box, box)) out.push_back(id);
    };
    CellRange r;
    if (cellRange(box, r) && std::size_t(r.count()) <= entries_.size()) {
      for (std::int64_t x = r.x0; x <= r.x1; ++x)
        for (std::int64_t y = r.y0; y <= r.y1; ++y) {
          auto it = grid_.find(cellKey(x, y));
          if (it != grid_.end())
            for (cad::ObjectId id : it->second) take(id);
        }
      for (cad::ObjectId id : wide_) take(id);
    } else {
      for (auto& [id, e] : entries_)
        if (e.place != Place::None) take(id);
    }
    // Ids grow with creation, and model space's list runs in creation order.
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  void rebuild(cad::Database& db) {
    entries_.clear();
    dirty_.clear();
    blockRefs_.clear();
    wide_.clear();
    grid_.clear();
    cell_ = 0;
    placed_ = tunedAt_ = 0;
    cad::ObjectIdArray ids = db.modelSpaceEntities();
    ordered_ = std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()) == ids.end();
    if (!ordered_) return;
    bool blocks = false;
    const cad::ObjectId ms = db.modelSpaceId();
    for (cad::ObjectId id : ids) examine(id, ms, blocks);
    retune();
  }

  void refresh(cad::Database& db) {
    std::vector<cad::ObjectId> changed;
    if (!db.changesSince(cursor_, changed)) {
      rebuild(db);
      return;
    }
    if (!ordered_) return;
    const cad::ObjectId ms = db.modelSpaceId();
    // Model space's own record changes with every append; its entities say what changed.
    for (cad::ObjectId id : changed)
      if (id != ms) dirty_.insert(id);
    if (dirty_.empty()) return;
    bool blocks = false;
    examineDirty(ms, blocks);
    // A block's definition or a reference's attributes changed: the
    // references' boxes may have moved.
    if (blocks && !blockRefs_.empty()) {
      dirty_.insert(blockRefs_.begin(), blockRefs_.end());
      examineDirty(ms, blocks);
    }
    retune();
  }

  void examineDirty(cad::ObjectId ms, bool& blocks) {
    std::vector<cad::ObjectId> ids(dirty_.begin(), dirty_.end());
    dirty_.clear();
    for (cad::ObjectId id : ids) examine(id, ms, blocks);
  }

  // Brings the entry of a changed object up to date. An object open for
  // write may change until it is closed: it stays dirty, and out of the
  // grid (the selection skips what it cannot open for read).
  void examine(cad::ObjectId id, cad::ObjectId ms, bool& blocks) {
    cad::DbObject* obj = nullptr;
    cad::Status st = cad::openObject(obj, id, cad::OpenMode::ForRead, true);
    auto it = entries_.find(id);
    if (st == cad::Status::WasOpenForWrite) {
      if (it != entries_.end()) unplace(id, it->second);
      else blocks = true;  // not known what it is
      dirty_.insert(id);
      return;
    }
    if (st != cad::Status::Ok) {  // gone with an aborted transaction
      if (it != entries_.end()) forget(it);
      else blocks = true;
      return;
    }
    auto* ent = dynamic_cast<cad::Entity*>(obj);
    if (!ent || obj->ownerId() != ms || obj->isErased()) {
      if (it != entries_.end()) forget(it);
      else if ((ent && obj->ownerId() != ms) || obj->kind() == cad::Kind::BlockRecord) blocks = true;
      obj->close();
      return;
    }
    Entry& e = it != entries_.end() ? it->second : entries_[id];
    unplace(id, e);
    PlanBox b;
    if (boxOf_(*ent, b)) {
      e.box = finite(b) ? widened(b) : b;
      place(id, e);
    }
    if (ent->kind() == cad::Kind::BlockReference) blockRefs_.insert(id);
    obj->close();
  }

  void forget(std::unordered_map<cad::ObjectId, Entry>::iterator it) {
    unplace(it->first, it->second);
    blockRefs_.erase(it->first);
    entries_.erase(it);
  }

  static std::uint64_t cellKey(std::int64_t x, std::int64_t y) {
    return (std::uint64_t(std::uint32_t(std::int32_t(x))) << 32) | std::uint32_t(std::int32_t(y));
  }

  bool cellRange(const PlanBox& b, CellRange& r) const {
    if (cell_ <= 0 || !finite(b) || b.x0 > b.x1 || b.y0 > b.y1) return false;
    double v[4] = {std::floor(b.x0 / cell_), std::floor(b.y0 / cell_), std::floor(b.x1 / cell_),
                   std::floor(b.y1 / cell_)};
    for (double c : v)
      if (!(std::fabs(c) < kMaxCellNumber)) return false;
    r = {std::int64_t(v[0]), std::int64_t(v[1]), std::int64_t(v[2]), std::int64_t(v[3])};
    return true;
  }

  void place(cad::ObjectId id, Entry& e) {
    CellRange r;
    if (finite(e.box) && cellRange(e.box, r) && r.count() <= kMaxCellsPerEntity) {
      for (std::int64_t x = r.x0; x <= r.x1; ++x)
        for (std::int64_t y = r.y0; y <= r.y1; ++y) grid_[cellKey(x, y)].push_back(id);
      e.place = Place::Grid;
    } else {
      wide_.insert(id);
      e.place = Place::Wide;
    }
    ++placed_;
  }

  void unplace(cad::ObjectId id, Entry& e) {
    if (e.place == Place::Grid) {
      CellRange r;
      cellRange(e.box, r);
      for (std::int64_t x = r.x0; x <= r.x1; ++x)
        for (std::int64_t y = r.y0; y <= r.y1; ++y) {
          auto it = grid_.find(cellKey(x, y));
          if (it == grid_.end()) continue;
          auto& v = it->second;
          v.erase(std::remove(v.begin(), v.end(), id), v.end());
          if (v.empty()) grid_.erase(it);
        }
    } else if (e.place == Place::Wide) {
      wide_.erase(id);
    }
    if (e.place != Place::None) --placed_;
    e.place = Place::None;
  }

  // Picks the cell size from what the index holds (about one entity per
  // cell, cells no smaller than a typical entity) and places every entity
  // again; done when the number of entities has doubled since the last time.
  void retune() {
    if (placed_ < kFirstGrid || (cell_ > 0 && placed_ <= 2 * tunedAt_)) return;
    std::vector<double> sizes;
    PlanBox all{1e300, 1e300, -1e300, -1e300};
    for (const auto& [id, e] : entries_) {
      if (e.place == Place::None || !finite(e.box)) continue;
      sizes.push_back(std::max(e.box.x1 - e.box.x0, e.box.y1 - e.box.y0));
      all = {std::min(all.x0, e.box.x0), std::min(all.y0, e.box.y0), std::max(all.x1, e.box.x1),
             std::max(all.y1, e.box.y1)};
    }
    double cell = 1;
    if (!sizes.empty()) {
      std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(sizes.size() / 2), sizes.end());
      double typical = sizes[sizes.size() / 2];
      double spread = std::sqrt((all.x1 - all.x0) * (all.y1 - all.y0) / double(sizes.size()));
      cell = std::max(typical, spread);
      if (!(cell > 0) || !std::isfinite(cell)) cell = std::max({1.0, all.x1 - all.x0, all.y1 - all.y0});
      if (!std::isfinite(cell)) cell = 1;
    }
    std::vector<cad::ObjectId> ids;
    for (auto& [id, e] : entries_)
      if (e.place != Place::None) {
        ids.push_back(id);
        e.place = Place::None;
      }
    grid_.clear();
    wide_.clear();
    placed_ = 0;
    cell_ = cell;
    for (cad::ObjectId id : ids) place(id, entries_.at(id));
    tunedAt_ = placed_;
  }

  cad::Database::ChangeCursor cursor_;
  PlanBoxFn boxOf_ = nullptr;
  bool ordered_ = true;
  std::unordered_map<cad::ObjectId, Entry> entries_;  // model space's live entities
  std::unordered_set<cad::ObjectId> dirty_;           // to look at again
  std::unordered_set<cad::ObjectId> blockRefs_;
  std::unordered_set<cad::ObjectId> wide_;
  std::unordered_map<std::uint64_t, std::vector<cad::ObjectId>> grid_;
  double cell_ = 0;  // 0: no grid yet, every entity is wide
  std::size_t placed_ = 0, tunedAt_ = 0;
  std::uint32_t stamp_ = 0;
};

}  // namespace

std::vector<cad::ObjectId> modelSpaceCandidates(cad::Database& db, const PlanBox& box, PlanBoxFn boxOf) {
  // An index per database; a database gone leaves a stale one, which a new
  // database at the same address rebuilds (its change log is another).
  static std::unordered_map<const cad::Database*, std::unique_ptr<EntityIndex>> indexes;
  if (indexes.size() >= 8 && !indexes.count(&db)) indexes.clear();
  auto& index = indexes[&db];
  if (!index) index = std::make_unique<EntityIndex>();
  return index->query(db, box, boxOf);
}

}  // namespace ed::detail
