// Linear component entities and the duplicate guards.
#include "module/model/linear_entities.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "platform/editor/document.h"
#include "platform/editor/reactor.h"
#include "platform/editor/selection.h"

int g_checkGjOverlap = 1;
int g_clickWatchFlag = 0;

namespace {

// sin(3 degrees): the tolerance of "parallel" for overlapping segments.
const double kParallelTol = std::sin(0.0523598775);

// Removes an entity this module has just made but could not finish. A new
// entity on a locked layer cannot be opened for write, so the layer is
// unlocked for the erase and locked again.
void eraseUnfinished(cad::ObjectId id) {
  if (EraseEntity(id) == cad::Status::Ok) return;
  cad::ObjectId layerId;
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) return;
    layerId = ent->layerId();
  }
  cad::ObjectPtr<cad::LayerRecord> layer(layerId, cad::OpenMode::ForWrite);
  if (!layer || !layer->isLocked()) return;
  layer->setIsLocked(false);
  EraseEntity(id);
  layer->setIsLocked(true);
}

// Appends a point at the origin to an open block definition.
void appendOriginPoint(cad::BlockRecord* block) {
  block->appendEntity(std::make_unique<cad::PointEntity>(geom::Point3d(0, 0, 0)));
}

// The name of a block reference's definition; false when either cannot be
// read.
bool blockNameOf(const cad::BlockReference* ref, std::wstring& name) {
  cad::ObjectPtr<cad::BlockRecord> block(ref->blockTableRecord(), cad::OpenMode::ForRead);
  if (!block) return false;
  name = block->name();
  return true;
}

bool isRiserKind(const std::wstring& kind) { return kind == kGjKindRiser || kind == kGjKindThrough; }

// A grid over the plan extents of the current drawing's model-space
// entities, so that the duplicate check looks only at the entities near a
// new one instead of at the whole drawing. It narrows the candidates only:
// each is tested afterwards on its live state exactly as a crossing selection
// tests it. Entities made since the last look are added by their handles
// (handles grow with every new object); erased ones stay listed and are
// passed over by the test (an undo may bring them back). Entities changed in
// place may have moved, so the grid is dropped whenever a host command starts
// or ends and built again at the next look, and whenever the drawing changes.
class PlanGrid {
 public:
  // Model-space entities whose plan extents may meet the rectangle, in the
  // order they were made.
  cad::ObjectIdArray near(cad::Database* db, const geom::Point3d& lo, const geom::Point3d& hi) {
    keepWatching();
    const std::uint64_t key = db->modelSpaceId().raw();
    if (key != dbKey_ || stale_) {
      *this = PlanGrid();
      dbKey_ = key;
    }
    catchUp(db);
    cad::ObjectIdArray out = loose_;
    const Range r = range(lo.x, lo.y, hi.x, hi.y);
    for (std::int64_t ix = r.x0; ix <= r.x1; ++ix)
      for (std::int64_t iy = r.y0; iy <= r.y1; ++iy)
        if (auto it = cells_.find(cellKey(ix, iy)); it != cells_.end())
          out.insert(out.end(), it->second.begin(), it->second.end());
    std::sort(out.begin(), out.end(), [](cad::ObjectId a, cad::ObjectId b) { return a.raw() < b.raw(); });
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

 private:
  static constexpr double kCell = 1000.0;
  // An entity over more cells than this is listed once, for every look.
  static constexpr std::int64_t kMaxCells = 64;
  // Extents are widened by this before they are put in cells.
  static constexpr double kMargin = 1.0;

  struct Range {
    std::int64_t x0, y0, x1, y1;
  };
  static std::int64_t cellOf(double v) {
    return static_cast<std::int64_t>(std::floor(std::clamp(v / kCell, -1e9, 1e9)));
  }
  static Range range(double x0, double y0, double x1, double y1) {
    return {cellOf(x0 - kMargin), cellOf(y0 - kMargin), cellOf(x1 + kMargin), cellOf(y1 + kMargin)};
  }
  static std::uint64_t cellKey(std::int64_t ix, std::int64_t iy) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(ix)) << 32) | static_cast<std::uint32_t>(iy);
  }

  // Drops the grid when a host command starts or ends. The editor forgets
  // its reactors when it is reset, so the watch is put back at every look.
  struct CommandWatch : ed::EditorReactor {
    PlanGrid* grid = nullptr;
    void commandWillStart(const std::wstring&) override { grid->stale_ = true; }
    void commandEnded(const std::wstring&) override { grid->stale_ = true; }
    void commandCancelled(const std::wstring&) override { grid->stale_ = true; }
    void commandFailed(const std::wstring&) override { grid->stale_ = true; }
  };
  static void keepWatching();

  void catchUp(cad::Database* db) {
    const cad::ObjectId space = db->modelSpaceId();
    const std::uint64_t end = db->handseed().value;
    for (; nextHandle_ < end; ++nextHandle_) {
      const cad::ObjectId id = db->getObjectId(cad::Handle(nextHandle_));
      if (id.isNull()) continue;
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead, true);
      if (!ent) {
        // Not an entity, or open elsewhere right now: an entity is kept for
        // every look rather than missed.
        cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead, true);
        if (!obj) loose_.push_back(id);
        continue;
      }
      if (ent->ownerId() != space) continue;
      cad::Extents3d ext;
      if (ent->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) {
        loose_.push_back(id);
        continue;
      }
      const Range r = range(ext.minPoint.x, ext.minPoint.y, ext.maxPoint.x, ext.maxPoint.y);
      if ((r.x1 - r.x0 + 1) * (r.y1 - r.y0 + 1) > kMaxCells) {
        loose_.push_back(id);
        continue;
      }
      for (std::int64_t ix = r.x0; ix <= r.x1; ++ix)
        for (std::int64_t iy = r.y0; iy <= r.y1; ++iy) cells_[cellKey(ix, iy)].push_back(id);
    }
  }

  std::uint64_t dbKey_ = 0;
  std::uint64_t nextHandle_ = 1;
  bool stale_ = false;
  std::unordered_map<std::uint64_t, cad::ObjectIdArray> cells_;
  cad::ObjectIdArray loose_;
};

PlanGrid& planGrid() {
  static PlanGrid grid;
  return grid;
}

void PlanGrid::keepWatching() {
  static CommandWatch watch;
  watch.grid = &planGrid();
  ed::addReactor(&watch);  // adds nothing when it is there already
}

// The entities of the layer that a crossing selection of the rectangle would
// select in the current drawing, in model-space order.
cad::ObjectIdArray crossingOnLayer(const std::wstring& layer, const geom::Point3d& lo, const geom::Point3d& hi) {
  cad::Database* db = ed::curDatabase();
  if (!db) return {};
  const ed::SelFilter filter{cad::TypedValue(8, layer)};
  return ed::selectAmong(planGrid().near(db, lo, hi), true, lo, hi, filter);
}

}  // namespace

std::wstring VertGjBlockName(const std::wstring& number) {
  if (number.empty()) return L"·";
  std::wstring name = number;
  ReplaceAll(name, L"*", L"·");
  // The other characters a block name may not hold would make the block
  // impossible to create, and with it every riser of the number.
  for (wchar_t& c : name) {
    if (std::wstring_view(L"<>/\\\":;?|,=`").find(c) != std::wstring_view::npos) c = L'·';
  }
  return name;
}

void EnsureVertGjBlock(const std::wstring& layer, const std::wstring& blockName, cad::Database* db,
                       int mode) {
  if (!db) db = cad::workingDatabase();
  if (!db) return;
  GetOrCreateLayer(layer, db);
  cad::ObjectId existing = db->blockId(blockName);
  if (!existing.isNull()) {
    if (mode != 1) return;
    cad::ObjectPtr<cad::BlockRecord> block(existing, cad::OpenMode::ForWrite);
    if (!block) return;
    for (cad::ObjectId e : block->entityIds()) {
      cad::ObjectPtr<cad::Entity> ent(e, cad::OpenMode::ForWrite);
      if (ent) ent->erase();
    }
    appendOriginPoint(block.get());
    return;
  }
  cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForWrite);
  if (!table) return;
  auto record = std::make_unique<cad::BlockRecord>();
  if (record->setName(blockName) != cad::Status::Ok) return;
  cad::ObjectId blockId;
  if (table->add(std::move(record), &blockId) != cad::Status::Ok) return;
  cad::ObjectPtr<cad::BlockRecord> block(blockId, cad::OpenMode::ForWrite);
  if (block) appendOriginPoint(block.get());
}

void CreateLinearGjEntity(cad::ObjectId& id, const std::wstring& name, const std::wstring& number,
                          const geom::Point3d& start, const geom::Point3d& end, double bulge,
                          int vertical) {
  id = cad::ObjectId();
  const std::wstring* kind = nullptr;
  const std::wstring sloped = kGjKindSloped, riser = kGjKindRiser;
  cad::ObjectId made;
  if (vertical == 0) {
    made = AddPolyline({geom::Point3d(start.x, start.y, 0), geom::Point3d(end.x, end.y, 0)}, {bulge, 0.0},
                       false, 0.0, name, nullptr);
    kind = &sloped;
  } else if (vertical == 1) {
    if (std::fabs(end.z - start.z) < 1) return;
    const std::wstring blockName = VertGjBlockName(number);
    EnsureVertGjBlock(name, blockName, nullptr, 0);
    made = InsertBlockRef(blockName, geom::Point3d(start.x, start.y, 0), 0.0, cad::Scale3d{},
                          geom::Vector3d(0, 0, 1), name, nullptr);
    kind = &riser;
  }
  if (made.isNull()) return;
  if (!SetGjSpecial(&number, kind, made, &start.z, &end.z)) {
    eraseUnfinished(made);
    return;
  }
  id = made;
}

bool IsSegmentNotOnSegment(const geom::Point3d& aStart, const geom::Point3d& aEnd,
                           const geom::Point3d& bStart, const geom::Point3d& bEnd) {
  if (!(aEnd - aStart).isParallelTo(bEnd - bStart, kParallelTol)) return true;
  const double length = aStart.distanceTo(aEnd);
  auto onA = [&](const geom::Point3d& p) {
    return std::fabs(p.distanceTo(aStart) + p.distanceTo(aEnd) - length) < 1;
  };
  return !(onA(bStart) && onA(bEnd));
}

bool RemoveOverlappedSegments(GjSegmentArray& segments, const geom::Point3d& start,
                              const geom::Point3d& end) {
  for (std::size_t i = 0; i < segments.size();) {
    const GjSegment& s = segments[i];
    if (!IsSegmentNotOnSegment(s.start, s.end, start, end)) return false;
    if (!IsSegmentNotOnSegment(start, end, s.start, s.end)) {
      EraseEntity(s.id);
      segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
  return true;
}

bool CheckGjOverlap(const std::wstring& layer, cad::ObjectId id) {
  cad::Extents3d ext;
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) return false;
    // Without extents there is nothing to compare against: keep the entity.
    if (ent->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) return true;
  }
  geom::Point3d lo = ext.minPoint, hi = ext.maxPoint;
  if (IsEqualPointXY(lo, hi, 1)) {
    lo = geom::Point3d(lo.x - 10, lo.y - 10, 0);
    hi = geom::Point3d(hi.x + 10, hi.y + 10, 0);
  }
  const cad::ObjectIdArray candidates = crossingOnLayer(layer, lo, hi);

  std::wstring kind;
  double z1 = 0, z2 = 0;
  GetGjSpecial(id, &kind, &z1, &z2);

  if (kind == kGjKindPoint) {
    geom::Point3d p;
    std::wstring blockName;
    {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (!ref) return false;
      p = ref->position();
      if (!blockNameOf(ref.get(), blockName)) return false;
    }
    double z = 0;
    GetPointGjSpecial(id, nullptr, &z, nullptr);
    p.z = z;
    for (cad::ObjectId c : candidates) {
      if (c == id) continue;
      std::wstring ck;
      double cz = 0;
      GetPointGjSpecial(c, &ck, &cz, nullptr);
      if (ck != kGjKindPoint) continue;
      cad::ObjectPtr<cad::BlockReference> ref(c, cad::OpenMode::ForRead);
      if (!ref) continue;
      std::wstring cName;
      if (!blockNameOf(ref.get(), cName)) continue;
      geom::Point3d q = ref->position();
      q.z = cz;
      if (cName == blockName && p.distanceTo(q) < 10) return false;
    }
  } else if (isRiserKind(kind)) {
    geom::Point3d p;
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent) return false;
      // Risers are block references; a through-pipe drawn otherwise has no
      // insertion point to compare.
      auto* ref = cad::cast<cad::BlockReference>(ent.get());
      if (!ref) return true;
      p = ref->position();
    }
    for (cad::ObjectId c : candidates) {
      if (c == id) continue;
      std::wstring ck;
      double c1 = 0, c2 = 0;
      GetGjSpecial(c, &ck, &c1, &c2);
      if (!isRiserKind(ck)) continue;
      cad::ObjectPtr<cad::BlockReference> ref(c, cad::OpenMode::ForRead);
      if (!ref) continue;
      if (p.distanceTo(ref->position()) < 10 &&
          std::fabs(std::min(z1, z2) - std::min(c1, c2)) < 10 &&
          std::fabs(std::max(z1, z2) - std::max(c1, c2)) < 10)
        return false;
    }
  } else if (kind == kGjKindSloped) {
    geom::Point3d p0, p1;
    {
      cad::ObjectPtr<cad::Curve> curve(id, cad::OpenMode::ForRead);
      if (!curve) return false;
      p0 = curve->startPoint();
      p1 = curve->endPoint();
    }
    p0.z = z1;
    p1.z = z2;
    for (cad::ObjectId c : candidates) {
      if (c == id) continue;
      std::wstring ck;
      double c1 = 0, c2 = 0;
      GetGjSpecial(c, &ck, &c1, &c2);
      if (ck != kGjKindSloped) continue;
      cad::ObjectPtr<cad::Curve> curve(c, cad::OpenMode::ForRead);
      if (!curve) continue;
      geom::Point3d q0 = curve->startPoint(), q1 = curve->endPoint();
      q0.z = c1;
      q1.z = c2;
      if ((p0.distanceTo(q0) < 3 && p1.distanceTo(q1) < 3) ||
          (p0.distanceTo(q1) < 3 && p1.distanceTo(q0) < 3))
        return false;
    }
  }
  return true;
}

void WatchClickProc(const ed::Msg* msg) {
  if (!msg) return;
  if (msg->message == ed::kWmLButtonDown) {
    g_clickWatchFlag = 1;
  } else if (msg->message == ed::kWmRButtonDown ||
             (msg->message == ed::kWmChar && msg->wParam == 13)) {
    g_clickWatchFlag = 2;
  }
}
