#include "module/takeoff/axis_locator.h"

#include <algorithm>

#include "module/model/geom_helpers.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/xdata.h"

namespace {

// How far from a grid axis a point may lie and still be on it.
constexpr double kAxisReach = 300.0;

}  // namespace

AxisLocator::AxisLocator(const cad::ObjectIdArray& axisIds) {
  for (cad::ObjectId id : axisIds) {
    Axis a;
    a.id = id;
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent || ent->getGeomExtents(a.ext) != cad::Status::Ok || !a.ext.isValid()) continue;
    }
    StringArray lines;
    GetXdataLines(id, kXdataSpecial, lines);
    if (lines.empty()) continue;
    a.label = GetAttrValue(lines, L"轴号");
    axes_.push_back(std::move(a));
  }
}

std::wstring AxisLocator::locate(const PointList& vertices) const {
  return JoinAxisLocation(vertices, [this](const geom::Point3d& p) {
    StringArray labels;
    for (const Axis& a : axes_) {
      bool inBox = p.x > a.ext.minPoint.x - kAxisReach && p.x < a.ext.maxPoint.x + kAxisReach &&
                   p.y > a.ext.minPoint.y - kAxisReach && p.y < a.ext.maxPoint.y + kAxisReach;
      if (!inBox || !IsPointOnCurve(p, a.id, kAxisReach)) continue;
      if (std::find(labels.begin(), labels.end(), a.label) == labels.end()) labels.push_back(a.label);
    }
    return labels;
  });
}
