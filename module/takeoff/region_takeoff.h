// The region take-off: the quantities of the components inside each region of
// a floor. A region is a polyline on the layer "区域" with a number and
// attribute lines; its label is its number. For each region the floor's
// components inside it are sorted into the per-kind lists, the calculators run
// on them, and their rows go into 区域构件算量.DB after a region header row
// (构件名称 = the label, 标志 "区域"); then 区域001.DB is written from it.
//
// A component is inside a region when its insertion point (point components)
// or the middle of a run's part lies in the region, the boundary included. A
// run that region outlines cross is cut there, and each part counts in the
// region its middle lies in. A component or a part on the border of several
// regions counts in the first of them (in the order the regions are read)
// only, so that regions that tile a floor add up to the floor's quantities.
#pragma once

#include <memory>
#include <string>
#include <utility>
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

// A region's outline: the vertices and bulges of its polyline (a closed one
// ending on its first vertex).
struct RegionOutline {
  PointList vertices;
  BulgeList bulges;
};

// What one region holds of a floor's listed entities (indices into the list,
// in list order): the entities that are wholly its own, and the runs that
// region outlines cut, each with the spans of the run (fractions of its
// length from its start, in order) that fall to the region.
struct RegionShare {
  struct Cut {
    size_t entity = 0;
    std::vector<std::pair<double, double>> spans;
  };
  std::vector<size_t> whole;
  std::vector<Cut> cuts;
};

// Shares the listed entities among the regions, in the order given: a point
// component (or a riser) goes to the first region it lies in; a run is cut
// wherever a region's outline crosses it, and each part goes to the first
// region its middle lies in; a run whose parts all go to one region is that
// region's whole. With cut false a run goes whole to every region that one
// of its parts goes to.
void ShareRegionGj(const RegionGjList& list, const std::vector<RegionOutline>& regions, bool cut,
                   std::vector<RegionShare>& shares);

// Fills the buckets with a region's share: slot 0 and the kind slots, in
// list order. A cut run stands there by one copy of its first part in the
// region, appended to pieces (with the run's layer and data and the
// elevations of the part's ends), whose measured length is that of all its
// parts in the region. The lengths of the parts are rounded as the run's
// length is, stepwise along the run (each part gets the rounded length up to
// its end less the rounded length up to its start), so that the parts of a
// run add up to the run's rounded length. Without pieces a cut run stands
// there whole.
void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const RegionShare& share,
                             cad::Database* pieces);
// The same for one region on its own (its border belongs to it).
void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const PointList& vertices,
                             const BulgeList& bulges, cad::Database* pieces);

// The region run of the mode in g_totalMode (0 every floor, 1 the current one).
void RunRegionTakeoff();

// The writer of 区域001.DB from the open region quantity table (g_quantityTable),
// into the freshly extracted template; false when the user cancelled.
bool WriteRegionNormQtyTable();
