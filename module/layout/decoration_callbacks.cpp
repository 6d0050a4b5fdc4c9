// What the decorate routines of every linear family share: the look that a
// component lends its labels and outlines, the run labels and the riser
// outlines with their label.
#include <algorithm>
#include <cmath>
#include <vector>

#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/params.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"

namespace gjdeco {

namespace {

constexpr double kLabelHeight = 120.0;
constexpr double kLabelWidthFactor = 1.0;

void addLabel(const std::wstring& name, const geom::Point3d& at, double rotation, const Look& look) {
  cad::ObjectId label = AddText(at, look.number, kLabelHeight, rotation, kLabelWidthFactor, name + kLabelLayerSuffix,
                                nullptr, cad::Text::kMid, cad::Text::kVertMid);
  if (!label.isNull()) Tag(label, look);
}

}  // namespace

std::wstring ReadLook(cad::ObjectId id, Look& look) {
  StringArray attrs;
  GetGjNumberAndAttrs(id, look.number, attrs);
  look.owner = attrs.empty() ? GetHandleText(id) : attrs.front();
  look.visible = IsEntityVisible(id);
  StringArray ownParams;
  GetXdataLines(id, kXdataExternalGj, ownParams);
  look.byLayer = !ownParams.empty();
  if (look.byLayer) SetEntityColorRGB(id, 0);

  std::wstring coordText;
  if (look.byLayer)
    ComputeGjCoordsOf(g_curLineGj.coordFormulas, look.number, ownParams, coordText, 0);
  else
    coordText = GetAttrValue(g_curLineGj.coords, look.number);
  return coordText;
}

void Tag(cad::ObjectId decoration, const Look& look) {
  SetGjXdata(decoration, look.number, look.owner, nullptr);
  SetEntityVisible(decoration, look.visible ? 1 : 0);
  if (look.byLayer) SetEntityColorRGB(decoration, 0);
}

double MidElevation(cad::ObjectId id) {
  double z1 = 0, z2 = 0;
  GetGjSpecial(id, nullptr, &z1, &z2);
  return (z1 + z2) / 2;
}

void AddSegmentLabel(const std::wstring& name, const geom::Point3d& from, const geom::Point3d& to, double offset,
                     double z, const Look& look) {
  // The chord's midpoint: an arc segment is labelled along its chord.
  const double mx = (from.x + to.x) / 2, my = (from.y + to.y) / 2;
  double a = AngleFromXAxis(to - from, geom::Vector3d(0, 0, 1));
  // Turned half round so that every label reads rightwards (one along the
  // y axis reads downwards, whichever way its segment runs).
  if (a >= 1.570796325 && a < 4.7123889750000005) a += 3.14159265;
  addLabel(name, geom::Point3d(mx - std::sin(a) * offset, my + std::cos(a) * offset, z), a, look);
}

void AddRiserLabel(const std::wstring& name, const geom::Point3d& position, double rotation, double offset,
                   double z, const Look& look) {
  addLabel(name,
           geom::Point3d(position.x - std::sin(rotation) * offset, position.y + std::cos(rotation) * offset, z),
           rotation, look);
}

double AddRiserOutlines(const std::wstring& name, const std::wstring& coordText, const geom::Matrix3d& transform,
                        const Look& look) {
  double ymax = 0;
  StringArray lines;
  SplitLines(coordText, lines);
  for (const std::wstring& line : lines) {
    std::vector<geom::Point3d> points;
    std::vector<double> bulges;
    ParseCoordList(line, points, bulges);
    cad::ObjectId outline = AddPolyline(points, bulges, true, 0, name + kEdgeLayerSuffix, nullptr);
    if (outline.isNull()) continue;
    Tag(outline, look);
    cad::ObjectPtr<cad::Entity> ent(outline, cad::OpenMode::ForWrite);
    if (!ent) continue;
    cad::Extents3d ext;
    if (ent->getGeomExtents(ext) == cad::Status::Ok && ext.isValid()) ymax = std::max(ymax, ext.maxPoint.y);
    ent->transformBy(transform);
  }
  return ymax;
}

}  // namespace gjdeco
