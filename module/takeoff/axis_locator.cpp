#include "module/takeoff/axis_locator.h"

#include <algorithm>

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
  if (vertices.empty()) return {};
  PointList points;
  if (vertices.size() <= 2)
    points = vertices;
  else
    points = {vertices.front(), vertices.back()};
  std::wstring text;
  for (size_t i = 0; i < points.size(); ++i) {
    const geom::Point3d& p = points[i];
    StringArray labels;
    for (const Axis& a : axes_) {
      bool inBox = p.x > a.ext.minPoint.x - kAxisReach && p.x < a.ext.maxPoint.x + kAxisReach &&
                   p.y > a.ext.minPoint.y - kAxisReach && p.y < a.ext.maxPoint.y + kAxisReach;
      if (!inBox || !IsPointOnCurve(p, a.id, kAxisReach)) continue;
      if (std::find(labels.begin(), labels.end(), a.label) == labels.end()) labels.push_back(a.label);
    }
    if (labels.size() > 2) labels.resize(2);
    std::wstring joined;
    JoinArray(labels, L",", joined);
    text += joined;
    if (i + 1 < points.size() && !text.empty()) text += L"~";
  }
  return text;
}

