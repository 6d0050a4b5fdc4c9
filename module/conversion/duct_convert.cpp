// The components of one group of duct source entities.
#include <algorithm>
#include <cmath>
#include <memory>

#include "module/conversion/linear_conv.h"
#include "module/model/linear_entities.h"
#include "module/model/picking.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/progress.h"

namespace {

// The section of a duct as the drawing gives it.
struct Section {
  double b = 0, h = 0;
};

// Moves a made duct by the translation and adds its size lines when the
// size came from the drawing; a duct whose lines cannot be written is erased
// again. True when it stays.
bool finishDuct(cad::ObjectId id, const geom::Vector3d& t, const Section* size) {
  if (id.isNull()) return false;
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
    if (ent) ent->transformBy(geom::Matrix3d::translation(t));
  }
  if (!size) return true;
  StringArray lines;
  GetXdataLines(id, kXdataAttrs, lines);
  lines.push_back(L"B=" + SizeText(size->b));
  lines.push_back(L"H=" + SizeText(size->h));
  ClearXdata(id, kXdataAttrs);
  if (!SetXdataLines(id, kXdataAttrs, lines, nullptr)) {
    EraseEntity(id);
    return false;
  }
  return true;
}

// The section text beside a run (an arc searched along the arc).
bool sectionBeside(const DrawingTexts& texts, const geom::Point3d& p, const geom::Point3d& q, double bulge,
                   std::wstring& label, Section& section) {
  const PointList pts = LabelSearchPoints(p, q, bulge);
  for (std::size_t i = 0; i + 1 < pts.size(); ++i)
    if (texts.ductSection(pts[i], pts[i + 1], 300.0, label, section.b, section.h)) return true;
  return false;
}

// A run for the command line: its two ends in plan.
std::wstring runText(const geom::Point3d& a, const geom::Point3d& b) {
  return L"(" + FormatNumber(a.x, 0) + L"," + FormatNumber(a.y, 0) + L")-(" + FormatNumber(b.x, 0) + L"," +
         FormatNumber(b.y, 0) + L")";
}

}  // namespace

int BuildDuctGroup(CLinearConv* dlg, const cad::ObjectIdArray* ids, const std::wstring& name,
                   const std::wstring& number, int riser, double z1, double z2, int& skipped) {
  if (!ids) return 0;
  const geom::Vector3d t(dlg->targetX - dlg->sourceX, dlg->targetY - dlg->sourceY, 0);
  const bool automatic = number == kAutoNumber;
  // A chosen number brings its own size from its row of the floor table:
  // the ducts carry no size lines, so that a rebuild keeps the number's
  // definition. With "自动识别" the size comes from the section texts.
  std::unique_ptr<DrawingTexts> texts;
  if (automatic) texts = std::make_unique<DrawingTexts>();
  int made = 0;
  StringArray unsized;
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
        Section section;
        bool sized = false;
        if (automatic) {
          label.clear();
          sized = sectionBeside(*texts, p, q, bulge, label, section);
          // Without a section text the run takes the type's template row.
          if (!sized) label = name;
        }
        cad::ObjectId id;
        CreateLinearGjEntity(id, name, label, p, q, bulge, 0);
        if (finishDuct(id, t, sized ? &section : nullptr)) {
          ++made;
          if (automatic && !sized) unsized.push_back(runText(p + t, q + t));
        }
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
    // A riser's size is its outline's, or a section text beside it.
    Section section{2 * radius, 2 * radius};
    const geom::Point3d p(centre.x, centre.y, z1), q(centre.x, centre.y, z2);
    std::wstring label = number;
    if (automatic) {
      label.clear();
      Section written;
      std::wstring sectionLabel;
      if (texts->ductSection(p, q, radius + 300, sectionLabel, written.b, written.h)) {
        label = sectionLabel;
        section = written;
      } else {
        FindSegmentLabel(L"", p, q, radius + 300, label);
      }
    }
    const bool sized = automatic && section.b > 0 && section.h > 0;
    if (label.empty()) label = L"垂直" + name;
    cad::ObjectId id;
    CreateLinearGjEntity(id, name, label, p, q, 0.0, 1);
    if (finishDuct(id, t, sized ? &section : nullptr)) ++made;
  }
  ed::restoreStatusBar();
  HighlightEntities(*ids, 0);
  if (!unsized.empty()) {
    ed::printText(L"\n" + std::to_wstring(unsized.size()) + L"段" + name +
                  L"旁没有可读的截面标注(如800x400、Φ400)，编号取构件名称，尺寸取构件库的默认值:");
    const std::size_t shown = std::min<std::size_t>(unsized.size(), 10);
    for (std::size_t i = 0; i < shown; ++i) ed::printText(L"\n  " + unsized[i]);
    if (shown < unsized.size()) ed::printText(L"\n  ……另有" + std::to_wstring(unsized.size() - shown) + L"段");
  }
  return made;
}
