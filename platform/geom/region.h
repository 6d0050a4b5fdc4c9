// Plan areas bounded by closed bulge polylines: how the loops nest, area,
// perimeter, containment, and the booleans (union, intersection, difference).
//
// A set of loops describes an area when the loops neither cross nor overlap:
// a loop inside an even number of the others is an outer boundary, a loop
// inside an odd number is a hole. Every loop is taken as closed, whatever its
// closed flag.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/geom/polyline.h"

namespace geom {

enum class RegionOp { Unite, Intersect, Subtract };

// For each loop, how many of the other loops enclose it.
std::vector<int> loopDepths(const std::vector<Polyline2d>& loops);

// The loops face by face: each outer boundary, counter-clockwise, followed by
// the holes directly inside it, clockwise. faceStarts (when given) receives
// the index of every face's outer boundary in the result. Repeated vertices
// (a closing vertex equal to the first, zero-length segments) are dropped, and
// so are loops of fewer than two vertices or without area.
std::vector<Polyline2d> arrangeFaces(const std::vector<Polyline2d>& loops,
                                     std::vector<std::size_t>* faceStarts = nullptr);

// Enclosed area: the outer boundaries' less the holes'.
double regionArea(const std::vector<Polyline2d>& loops);
// Length of all boundaries, holes included.
double regionPerimeter(const std::vector<Polyline2d>& loops);
// Where p lies: on a boundary (within tol), inside the area or outside.
Containment classifyInRegion(const std::vector<Polyline2d>& loops, const Point2d& p,
                             double tol = defaultTol().equalPoint);

// The area a op b (Subtract: a less b), as loops arranged by arrangeFaces.
// Boundary parts the operands share are kept once where the result lies on
// one side of them and dropped where it lies on both or neither; straight
// pieces on one line and arc pieces on one circle that meet end to end are
// joined again. An empty list is an empty area (disjoint operands
// intersected, an operand subtracted from itself). nullopt when the result's
// boundaries could not be traced into closed loops.
std::optional<std::vector<Polyline2d>> regionBoolean(const std::vector<Polyline2d>& a,
                                                     const std::vector<Polyline2d>& b,
                                                     RegionOp op);

}  // namespace geom
