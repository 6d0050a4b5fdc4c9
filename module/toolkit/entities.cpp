#include "module/toolkit/entities.h"

#include <cmath>

#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "platform/editor/cmdline.h"

namespace {

cad::Database* dbOrWorking(cad::Database* db) { return db ? db : cad::workingDatabase(); }

// Closed polylines smaller than this (square drawing units) are refused.
constexpr double kMinClosedArea = 1.0;

}  // namespace

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

cad::ObjectId AppendToModelSpace(cad::Entity* ent, const std::wstring& layer, cad::Database* db) {
  return AppendToModelSpace(std::unique_ptr<cad::Entity>(ent), layer, db);
}

cad::ObjectId AppendToModelSpace(std::unique_ptr<cad::Entity> ent, const std::wstring& layer,
                                 cad::Database* db) {
  cad::ObjectId id;
  if (!ent) return id;
  db = dbOrWorking(db);
  if (!db) return id;  // the entity is deleted with ent
  if (!layer.empty()) {
    cad::ObjectId layerId = GetOrCreateLayer(layer, db);
    if (!layerId.isNull()) ent->setLayer(layerId);
  }
  cad::ObjectPtr<cad::BlockRecord> space(db->modelSpaceId(), cad::OpenMode::ForWrite);
  if (!space) return id;
  cad::Entity* raw = ent.get();
  if (space->appendEntity(raw, &id) != cad::Status::Ok) return cad::ObjectId();
  ent.release();  // the database owns it now; it stays open for the caller
  return id;
}

cad::ObjectId AddLine(const geom::Point3d& start, const geom::Point3d& end, const std::wstring& layer,
                      cad::Database* db) {
  auto* line = new cad::Line(start, end);
  cad::ObjectId id = AppendToModelSpace(line, layer, db);
  if (!id.isNull()) line->close();
  return id;
}

std::unique_ptr<cad::Curve> MakeSegmentCurve(const geom::Point3d& start, const geom::Point3d& end,
                                             double bulge) {
  if (bulge == 0.0) return std::make_unique<cad::Line>(start, end);
  geom::Point3d centre;
  double radius = 0;
  GetSegmentArcCenter(start, end, bulge, centre, &radius);
  geom::Vector3d normal(0, 0, bulge > 0 ? 1 : -1);
  double a0 = AngleFromXAxis(start - centre, normal);
  double a1 = AngleFromXAxis(end - centre, normal);
  return std::make_unique<cad::Arc>(centre, normal, radius, a0, a1);
}

std::unique_ptr<cad::Polyline> MakePolyline(const PointList& points, const BulgeList& bulges,
                                            bool closed, double width) {
  if (points.size() < 2) return nullptr;
  auto pl = std::make_unique<cad::Polyline>();
  for (size_t i = 0; i < points.size(); ++i) {
    double b = i < bulges.size() ? bulges[i] : 0.0;
    pl->addVertexAt(unsigned(i), points[i].toPlan(), b, width, width);
  }
  pl->minimizeMemory();
  pl->setClosed(closed);
  if (closed) {
    double area = 0;
    if (pl->getArea(area) != cad::Status::Ok || std::fabs(area) < kMinClosedArea) return nullptr;
  }
  return pl;
}

std::unique_ptr<cad::Polyline> MakeSegmentPolyline(const geom::Point3d& start, const geom::Point3d& end,
                                                   double bulge, double width) {
  return MakePolyline({start, end}, {bulge, 0.0}, false, width);
}

cad::ObjectId AddPolyline(const PointList& points, const BulgeList& bulges, bool closed, double width,
                          const std::wstring& layer, cad::Database* db) {
  auto pl = MakePolyline(points, bulges, closed, width);
  if (!pl) return cad::ObjectId();
  cad::Polyline* raw = pl.get();
  cad::ObjectId id = AppendToModelSpace(std::move(pl), layer, db);
  if (!id.isNull()) raw->close();
  return id;
}

cad::ObjectId AddText(const geom::Point3d& position, const std::wstring& text, double height,
                      double rotation, double widthFactor, const std::wstring& layer, cad::Database* db,
                      int horizontalMode, int verticalMode) {
  auto* t = new cad::Text(position, text, cad::ObjectId(), height, rotation);
  t->setHorizontalMode(horizontalMode);
  t->setVerticalMode(verticalMode);
  t->setAlignmentPoint(position);
  t->setWidthFactor(widthFactor);
  cad::ObjectId id = AppendToModelSpace(t, layer, db);
  if (!id.isNull()) t->close();
  return id;
}

cad::ObjectId InsertBlockRef(const std::wstring& blockName, const geom::Point3d& position,
                             double rotation, const cad::Scale3d& scale, const geom::Vector3d& normal,
                             const std::wstring& layer, cad::Database* db) {
  cad::ObjectId id;
  db = dbOrWorking(db);
  if (!db) return id;
  cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForWrite);
  if (!table) return id;
  cad::ObjectId blockId = table->getAt(blockName);
  if (blockId.isNull()) return id;
  auto ref = std::make_unique<cad::BlockReference>(position, blockId);
  ref->setRotation(rotation);
  ref->setScaleFactors(scale);
  ref->setNormal(normal);
  if (!layer.empty()) {
    cad::ObjectId layerId = db->layerId(layer);  // not created: a missing layer leaves the default
    if (!layerId.isNull()) ref->setLayer(layerId);
  }
  cad::ObjectPtr<cad::BlockRecord> space(db->modelSpaceId(), cad::OpenMode::ForWrite);
  if (!space) return id;
  if (space->appendEntity(std::move(ref), &id) != cad::Status::Ok) return cad::ObjectId();
  return id;
}

cad::ObjectId AddSolidHatch(cad::ObjectId boundary, const std::wstring& layer, cad::Database* db) {
  auto hatch = std::make_unique<cad::Hatch>();
  hatch->setNormal(geom::Vector3d(0, 0, 1));
  hatch->setElevation(0.0);
  hatch->setPattern(cad::Hatch::kPreDefined, L"SOLID");
  hatch->setAssociative(true);
  if (hatch->appendLoop(cad::Hatch::kExternal, cad::ObjectIdArray{boundary}) != cad::Status::Ok) {
    ed::printText(kHatchFailedMessage);
    return cad::ObjectId();
  }
  hatch->evaluateHatch();
  cad::Hatch* raw = hatch.get();
  cad::ObjectId id = AppendToModelSpace(std::move(hatch), layer, db);
  if (!id.isNull()) raw->close();
  return id;
}

// ---------------------------------------------------------------------------
// Editing and selection
// ---------------------------------------------------------------------------

cad::Status EraseEntity(cad::ObjectId id) {
  cad::Entity* ent = nullptr;
  cad::Status s = cad::openObject(ent, id, cad::OpenMode::ForWrite);
  if (s != cad::Status::Ok) return s;
  cad::Status erased = ent->erase();
  cad::Status closed = ent->close();
  return erased != cad::Status::Ok ? erased : closed;
}

int EraseEntities(const cad::ObjectIdArray& ids) {
  int n = 0;
  for (cad::ObjectId id : ids)
    if (EraseEntity(id) == cad::Status::Ok) ++n;
  return n;
}

void EraseLayerEntities(const std::wstring& layers) {
  StringArray names;
  SplitString(layers, L",", names);
  std::vector<int> wasLocked(names.size(), -1);  // -1: no such layer
  for (size_t i = 0; i < names.size(); ++i) {
    bool locked = false;
    if (!GetLayerFlags(names[i], nullptr, nullptr, &locked, nullptr)) continue;
    wasLocked[i] = locked ? 1 : 0;
    SetLayerLocked(names[i], false, nullptr);
  }
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(layers, L"", ids, nullptr);
  EraseEntities(ids);
  for (size_t i = 0; i < names.size(); ++i)
    if (wasLocked[i] >= 0) SetLayerLocked(names[i], wasLocked[i] == 1, nullptr);
}

void RotateEntity(cad::ObjectId id, double angle, const geom::Point3d& base, const geom::Vector3d& axis) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (ent) ent->transformBy(geom::Matrix3d::rotation(angle, axis, base));
}

void MoveEntity(cad::ObjectId id, const geom::Vector3d& offset) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (ent) ent->transformBy(geom::Matrix3d::translation(offset));
}

void HighlightEntities(const cad::ObjectIdArray& ids, int flag) {
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) continue;
    if (flag == 1)
      ent->highlight();
    else
      ent->unhighlight();
  }
}

int IdsToSS(const cad::ObjectIdArray& ids, ed::SelSet& ss) {
  ss = 0;
  if (ed::ssAdd(cad::ObjectId(), 0, ss) != ed::kNormal) return 0;
  int added = 0;
  for (cad::ObjectId id : ids) {
    if (id.isNull() || id.isErased()) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);  // only entities convert
    if (!ent) continue;
    ent.close();
    if (ed::ssMember(ss, id)) continue;
    ed::SelSet same = ss;
    if (ed::ssAdd(id, ss, same) == ed::kNormal) ++added;
  }
  return added;
}

void SSToIds(ed::SelSet ss, cad::ObjectIdArray& ids) {
  ids.clear();
  std::int32_t n = 0;
  if (ss == 0 || ed::ssLength(ss, n) != ed::kNormal || n <= 0) return;
  ids.resize(size_t(n));
  for (std::int32_t i = 0; i < n; ++i) {
    cad::ObjectId id;
    if (ed::ssName(ss, i, id) == ed::kNormal) ids[size_t(i)] = id;
  }
}
