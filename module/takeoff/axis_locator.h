// Grid locations of component entities for the quantity lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "module/toolkit/bulge.h"
#include "module/toolkit/curve_queries.h"
#include "platform/cad/database.h"

// The grid location label of component entities on the current floor, with
// the axes of the floor read once: for the first and last vertex, the 轴号
// labels of the grid axes within 300 (at most two, "," between them), the two
// points joined by "~".
class AxisLocator {
 public:
  explicit AxisLocator(const cad::ObjectIdArray& axisIds);
  std::wstring locate(const PointList& vertices) const;
  // The same appended to out.
  void appendLocation(const PointList& vertices, std::wstring& out) const;

 private:
  struct Axis {
    cad::Extents3d ext;
    std::optional<PlanCurve> curve;
    std::wstring label;
  };
  // Appends the labels of the axes near p (at most two, each once).
  void appendLabels(const geom::Point3d& p, std::wstring& out) const;
  std::vector<Axis> axes_;
};
