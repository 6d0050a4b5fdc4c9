#include "module/layout/support_places.h"

#include <cmath>

#include "module/model/linear_entities.h"
#include "module/model/point_blocks.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"

namespace {

constexpr double kSameBlockWithin = 10.0;

}  // namespace

std::int64_t PointGjPlaces::cell(double v) { return std::int64_t(std::floor(v / kSameBlockWithin)); }

std::uint64_t PointGjPlaces::key(std::int64_t x, std::int64_t y, std::int64_t z) {
  return (std::uint64_t(x) * 73856093u) ^ (std::uint64_t(y) * 19349663u) ^ (std::uint64_t(z) * 83492791u);
}

PointGjPlaces::PointGjPlaces(const std::wstring& layer) {
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(layer, L"", ids, nullptr);
  for (cad::ObjectId id : ids) {
    geom::Point3d p;
    if (!IsPointGj(id, p)) continue;
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (!ref) continue;
    cad::ObjectPtr<cad::BlockRecord> block(ref->blockTableRecord(), cad::OpenMode::ForRead);
    if (block) add(block->name(), p);
  }
}

bool PointGjPlaces::taken(const std::wstring& blockName, const geom::Point3d& p, double anyBlockWithin) const {
  const std::int64_t cx = cell(p.x), cy = cell(p.y), cz = cell(p.z);
  for (std::int64_t i = cx - 1; i <= cx + 1; ++i)
    for (std::int64_t j = cy - 1; j <= cy + 1; ++j)
      for (std::int64_t k = cz - 1; k <= cz + 1; ++k) {
        auto it = cells_.find(key(i, j, k));
        if (it == cells_.end()) continue;
        for (const Entry& e : it->second) {
          const double d = e.at.distanceTo(p);
          if ((e.block == blockName && d < kSameBlockWithin) || d < anyBlockWithin) return true;
        }
      }
  return false;
}

void PointGjPlaces::add(const std::wstring& blockName, const geom::Point3d& p) {
  cells_[key(cell(p.x), cell(p.y), cell(p.z))].push_back({blockName, p});
}

bool FinishPointGj(PointGjPlaces& places, const std::wstring& type, const std::wstring& number, cad::ObjectId id,
                   const geom::Point3d& at) {
  const std::wstring block = PointGjBlockDefName(type, number);
  if (g_checkGjOverlap == 1 && places.taken(block, at)) {
    EraseEntity(id);
    return false;
  }
  {
    // Checked above against the index; the figure itself needs no search.
    OverlapCheckOff off;
    RebuildPointGjFigure(type, id);
  }
  RefreshSolid3dOfEntity(type, id, nullptr);
  places.add(block, at);
  return true;
}
