// The region take-off: the quantities of the components inside each region of
// a floor. A region is a polyline on the layer "区域" with a number and
// attribute lines; its label is its number. For each region the floor's
// components inside it are sorted into the per-kind lists, the calculators run
// on them, and their rows go into 区域构件算量.DB after a region header row
// (构件名称 = the label, 标志 "区域"); then 区域001.DB is written from it.
//
// A component is inside a region when its insertion point (point components)
// or one of its run ends lies in the region, the boundary included, or when
// its run crosses the region's outline. A run that crosses the outline is
// measured by its parts inside the region only, so that regions that tile a
// floor add up to the floor's quantities; each part counts as one entity.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "module/takeoff/gj_buckets.h"
#include "module/toolkit/bulge.h"

// A floor's component entities as the regions test them, read once per floor.
struct RegionGjEntity {
  enum class Shape { Run, Point, Other };
  cad::ObjectId id;
  int slot = -1;  // the kind slot of its layer
  Shape shape = Shape::Other;
  geom::Point3d start, end;  // plan points (z 0); a point component has both at its position
  double bulge = 0;          // a run's arc
};
using RegionGjList = std::vector<RegionGjEntity>;

// Reads the entities on the kind layers of the buckets' database.
void ReadRegionGjList(cad::Database* db, RegionGjList& list);

// Fills the buckets with the listed entities inside the region (vertices and
// bulges as the region polyline gives them, a closed one ending on its first
// vertex): slot 0 and the kind slots. A run that crosses the outline stands
// there by the copies of its parts inside, appended to pieces (each with the
// run's layer and data and the elevations of its ends); without pieces it
// stands there whole. A region without vertices leaves the buckets as they
// are.
void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const PointList& vertices,
                             const BulgeList& bulges, cad::Database* pieces);

// The region run of the mode in g_totalMode (0 every floor, 1 the current one).
void RunRegionTakeoff();

// The writer of 区域001.DB from the open region quantity table (g_quantityTable),
// into the freshly extracted template; false when the user cancelled.
bool WriteRegionNormQtyTable();
