// Linear component entities and the duplicate guards.
#include "module/model/linear_entities.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
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
  cad::ObjectIdArray candidates;
  {
    ed::SelFilter filter{cad::TypedValue(8, layer)};
    ed::SelSet ss = 0;
    if (ed::ssGet(L"C", {lo, hi}, filter, ss) == ed::kNormal) {
      SSToIds(ss, candidates);
      ed::ssFree(ss);
    }
  }

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
