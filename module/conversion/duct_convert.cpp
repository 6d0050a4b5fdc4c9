// The components of one group of duct source entities.
#include <cmath>

#include "module/conversion/linear_conv.h"
#include "module/model/linear_entities.h"
#include "module/model/picking.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/progress.h"

namespace {

// The size read from a label: the number from its first digit, else 32.
double sizeOfLabel(const std::wstring& label) {
  double d = 32.0;
  if (!label.empty() && DiameterOfLabel(label, d)) return d;
  return 32.0;
}

// Moves a made duct by the translation and adds its size lines; a duct whose
// lines cannot be written is erased again. True when it stays.
bool finishDuct(cad::ObjectId id, const geom::Vector3d& t, double size) {
  if (id.isNull()) return false;
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
    if (ent) ent->transformBy(geom::Matrix3d::translation(t));
  }
  StringArray lines;
  GetXdataLines(id, kXdataAttrs, lines);
  wchar_t buf[64];
  std::swprintf(buf, 64, L"B=%f", size);
  lines.push_back(buf);
  std::swprintf(buf, 64, L"H=%f", size);
  lines.push_back(buf);
  ClearXdata(id, kXdataAttrs);
  if (!SetXdataLines(id, kXdataAttrs, lines, nullptr)) {
    EraseEntity(id);
    return false;
  }
  return true;
}

}  // namespace

int BuildDuctGroup(CLinearConv* dlg, const cad::ObjectIdArray* ids, const std::wstring& name,
                   const std::wstring& number, int riser, double z1, double z2, int& skipped) {
  if (!ids) return 0;
  const geom::Vector3d t(dlg->targetX - dlg->sourceX, dlg->targetY - dlg->sourceY, 0);
  const bool automatic = number == kAutoNumber;
  int made = 0;
  ed::setStatusBarProgressMeter(L"转换", 0, int(ids->size()));
  int index = 0;
  for (cad::ObjectId src : *ids) {
    ed::setStatusBarProgressMeterPos(index++);
    PointList pts;
    BulgeList bulges;
    bool isCircle = false, isLinear = false;
    geom::Point3d centre;
    double radius = 0;
    {
      cad::ObjectPtr<cad::Entity> ent(src, cad::OpenMode::ForRead);
      if (!ent) {
        ++skipped;
        continue;
      }
      if (auto* c = cad::cast<cad::Circle>(ent.get())) {
        isCircle = true;
        centre = c->center();
        radius = c->radius();
      }
      isLinear = cad::isKindOf<cad::Line>(ent.get()) || cad::isKindOf<cad::Polyline>(ent.get()) ||
                 cad::isKindOf<cad::Arc>(ent.get());
      if (isLinear) GetEntityVerticesOpen(ent.get(), pts, bulges);
    }
    if (!riser) {
      if (!isLinear || pts.size() < 2) {
        ++skipped;
        continue;
      }
      // Every segment of a polyline becomes a duct, with its bulge; the
      // elevation runs from z1 to z2 along the whole outline.
      double total = 0;
      for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        total += GetSegmentLength(pts[i], pts[i + 1], i < bulges.size() ? bulges[i] : 0.0);
      double along = 0;
      for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const double bulge = i < bulges.size() ? bulges[i] : 0.0;
        const double len = GetSegmentLength(pts[i], pts[i + 1], bulge);
        const double za = total > 0 ? z1 + (z2 - z1) * along / total : z1;
        along += len;
        const double zb = total > 0 ? z1 + (z2 - z1) * along / total : z2;
        const geom::Point3d p(pts[i].x, pts[i].y, za), q(pts[i + 1].x, pts[i + 1].y, zb);
        std::wstring label = number;
        double size = 32.0;
        if (automatic) {
          FindSegmentLabel(L"DN", p, q, 300.0, label);
          size = sizeOfLabel(label);
        }
        if (label.empty()) label = name;
        cad::ObjectId id;
        CreateLinearGjEntity(id, name, label, p, q, bulge, 0);
        if (finishDuct(id, t, size)) ++made;
      }
      continue;
    }
    if (!isCircle) {
      if (pts.size() < 2 || !IsEqualPoint(pts.front(), pts.back(), 1.0) || !GetOutlineCentroid(pts, bulges, centre)) {
        ++skipped;
        continue;
      }
      radius = centre.distanceTo(geom::Point3d(pts[0].x, pts[0].y, 0));
    }
    double size = 2 * radius;
    const geom::Point3d p(centre.x, centre.y, z1), q(centre.x, centre.y, z2);
    std::wstring label = number;
    if (automatic) FindSegmentLabel(L"", p, q, size * 0.5 + 300, label);
    if (size <= 0) size = 32.0;
    if (label.empty()) label = L"垂直" + name;
    cad::ObjectId id;
    CreateLinearGjEntity(id, name, label, p, q, 0.0, 1);
    if (finishDuct(id, t, size)) ++made;
  }
  ed::restoreStatusBar();
  HighlightEntities(*ids, 0);
  return made;
}
