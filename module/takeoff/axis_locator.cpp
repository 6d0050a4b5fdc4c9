#include "module/takeoff/axis_locator.h"

#include "module/toolkit/xdata.h"

namespace {

// How far from a grid axis a point may lie and still be on it.
constexpr double kAxisReach = 300.0;

}  // namespace

AxisLocator::AxisLocator(const cad::ObjectIdArray& axisIds) {
  for (cad::ObjectId id : axisIds) {
    Axis a;
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent || ent->getGeomExtents(a.ext) != cad::Status::Ok || !a.ext.isValid()) continue;
      // The axes stay as they are while a floor is taken off: each one's
      // plan curve is made once.
      a.curve = MakeGeCurve2d(ent.get());
    }
    StringArray lines;
    GetXdataLines(id, kXdataSpecial, lines);
    if (lines.empty()) continue;
    a.label = GetAttrValue(lines, L"轴号");
    axes_.push_back(std::move(a));
  }
}

void AxisLocator::appendLabels(const geom::Point3d& p, std::wstring& out) const {
  const std::wstring* first = nullptr;
  for (const Axis& a : axes_) {
    bool inBox = p.x > a.ext.minPoint.x - kAxisReach && p.x < a.ext.maxPoint.x + kAxisReach &&
                 p.y > a.ext.minPoint.y - kAxisReach && p.y < a.ext.maxPoint.y + kAxisReach;
    if (!inBox || !a.curve || !a.curve->isOn(p.toPlan(), kAxisReach)) continue;
    if (!first) {
      first = &a.label;
      out += a.label;
    } else if (a.label != *first) {
      (out += L",") += a.label;
      return;
    }
  }
}

void AxisLocator::appendLocation(const PointList& vertices, std::wstring& out) const {
  // The first point and, when there is another, the last.
  const size_t start = out.size();
  if (vertices.empty()) return;
  appendLabels(vertices.front(), out);
  if (vertices.size() < 2) return;
  if (out.size() > start) out += L"~";
  appendLabels(vertices.back(), out);
}

std::wstring AxisLocator::locate(const PointList& vertices) const {
  std::wstring out;
  appendLocation(vertices, out);
  return out;
}
