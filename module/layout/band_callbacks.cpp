// The callbacks of the components drawn as a centre line with a band
// outline: cable trays and bridges, air ducts and grooves.
#include <vector>

#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/params.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"

namespace {

constexpr double kLabelGap = 120.0;
constexpr double kLinetypeScale = 10.0;
constexpr ColorRef kBlue = 0x00FF0000;  // red 0, green 0, blue 255

// How a band component's section gives its width.
enum class WidthRule {
  // A three-point section (an open channel drawn by its side, bottom and
  // other side) is as wide as its first two points; otherwise the x extent
  // of its outline.
  FirstSideOfThree,
  // Always the x extent of the section's outline.
  OutlineExtent,
};

double bandWidth(const std::wstring& coordText, WidthRule rule) {
  std::vector<geom::Point3d> points;
  std::vector<double> bulges;
  ParseCoordList(coordText, points, bulges);
  if (rule == WidthRule::FirstSideOfThree && points.size() == 3) return points[0].distanceTo(points[1]);
  double w = 0, h = 0;
  GetOutlineSize(points, bulges, w, h);
  return w;
}

cad::ObjectId createStyled(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical, const wchar_t* linetype,
                           bool blue) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, name, number, start, end, bulge, vertical);
  if (id.isNull()) return id;
  if (linetype) SetEntityLinetype(id, linetype, kLinetypeScale);
  if (blue) SetEntityColorRGB(id, kBlue);
  return id;
}

// The decoration of the band components. measureRiser: a riser's label
// stands beyond its section outlines, else 120 from its position.
void decorateBand(const std::wstring& name, cad::ObjectId id, WidthRule rule, bool measureRiser) {
  if (id.isNull()) return;
  if (g_checkGjOverlap == 1 && !CheckGjOverlap(name, id)) {
    EraseEntity(id);
    return;
  }
  LoadGjDefineByName(name, false);
  gjdeco::Look look;
  const std::wstring coordText = gjdeco::ReadLook(id, look);

  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return;
  if (cad::isKindOf<cad::Polyline>(ent.get())) {
    ent.close();
    const double w = bandWidth(coordText, rule);
    const double z = gjdeco::MidElevation(id);
    PointList vertices;
    BulgeList bulges;
    if (GetEntityVertices(id, vertices, bulges) != cad::Status::Ok) return;
    for (size_t i = 0; i + 1 < vertices.size(); ++i) {
      PointList band;
      BulgeList bandBulges;
      GetSegmentBandOutline(vertices[i], vertices[i + 1], i < bulges.size() ? bulges[i] : 0.0, w / 2, w / 2, band,
                            bandBulges);
      cad::ObjectId outline = AddPolyline(band, bandBulges, false, 0, name + kEdgeLayerSuffix, nullptr);
      if (!outline.isNull()) gjdeco::Tag(outline, look);
      gjdeco::AddSegmentLabel(name, vertices[i], vertices[i + 1], w / 2 + kLabelGap, z, look);
    }
  } else if (auto* riser = cad::cast<cad::BlockReference>(ent.get())) {
    const geom::Matrix3d transform = riser->blockTransform();
    const geom::Point3d position = riser->position();
    const double rotation = riser->rotation();
    ent.close();
    const double z = gjdeco::MidElevation(id);
    const double ymax = gjdeco::AddRiserOutlines(name, coordText, transform, look);
    gjdeco::AddRiserLabel(name, position, rotation, (measureRiser ? ymax : 0.0) + kLabelGap, z, look);
  }
}

}  // namespace

cad::ObjectId CreateBridgeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical) {
  return createStyled(name, number, start, end, bulge, vertical, L"DASHED", false);
}

cad::ObjectId CreateTrayGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical) {
  return createStyled(name, number, start, end, bulge, vertical, nullptr, true);
}

cad::ObjectId CreateDuctGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical) {
  return createStyled(name, number, start, end, bulge, vertical, L"CENTERX2", true);
}

cad::ObjectId CreateGrooveGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical) {
  return createStyled(name, number, start, end, bulge, vertical, L"DASHED2", false);
}

void DecorateBridgeGj(const std::wstring& name, cad::ObjectId id) {
  decorateBand(name, id, WidthRule::FirstSideOfThree, true);
}

void DecorateTrayGj(const std::wstring& name, cad::ObjectId id) { DecorateBridgeGj(name, id); }

void DecorateDuctGj(const std::wstring& name, cad::ObjectId id) {
  decorateBand(name, id, WidthRule::OutlineExtent, true);
}

void DecorateGrooveGj(const std::wstring& name, cad::ObjectId id) {
  decorateBand(name, id, WidthRule::FirstSideOfThree, false);
}
