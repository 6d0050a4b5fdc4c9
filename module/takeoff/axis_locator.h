// Grid locations of component entities for the quantity lines.
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/bulge.h"
#include "platform/cad/database.h"

// The grid location label of component entities on the current floor, with
// the axes of the floor read once: for the first and last vertex, the 轴号
// labels of the grid axes within 300 (at most two, "," between them), the two
// points joined by "~".
class AxisLocator {
 public:
  explicit AxisLocator(const cad::ObjectIdArray& axisIds);
  std::wstring locate(const PointList& vertices) const;

 private:
  struct Axis {
    cad::ObjectId id;
    cad::Extents3d ext;
    std::wstring label;
  };
  std::vector<Axis> axes_;
};

