// Pipe slope: a horizontal run is replaced by one with the same plan shape
// whose far end lies higher (or lower) by the slope times its plan length;
// and the two arrow glyphs that show a direction beside a run.
#include <cmath>
#include <cwctype>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/layout/run_edit.h"
#include "module/model/component_types.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDefaultSlope = 0.004;
constexpr const wchar_t* kNotSlopable = L"\n不能对立管起坡度";
constexpr const wchar_t* kOnlyTwoPoints = L"\n只能对两点的管段起坡度";
constexpr const wchar_t* kDirectionPrompt = L"\n选择起坡方向[反转方向(R)]<回车保持原方向>:";
constexpr const wchar_t* kSlopePrompt = L"\n请输入一个坡度值[0.004]:";

struct GlyphVertex {
  double x, y, startWidth, endWidth;
};

// A green open polyline through the vertices (relative to P), turned by the
// angle about +Z through P and, flipped, by half a turn about the axis.
cad::ObjectId drawGlyph(const geom::Point3d& p, const GlyphVertex* verts, int n, double angle,
                        const geom::Vector3d& axis, int flip) {
  auto poly = std::make_unique<cad::Polyline>();
  for (int i = 0; i < n; ++i)
    poly->addVertexAt(unsigned(i), geom::Point2d(p.x + verts[i].x, p.y + verts[i].y), 0, verts[i].startWidth,
                      verts[i].endWidth);
  poly->transformBy(geom::Matrix3d::rotation(angle, geom::Vector3d(0, 0, 1), p));
  if (flip == 1 && !axis.isZeroLength()) poly->transformBy(geom::Matrix3d::rotation(kPi, axis, p));
  poly->setColorIndex(3);
  cad::Polyline* raw = poly.release();
  const cad::ObjectId id = AppendToModelSpace(raw, L"", nullptr);
  if (!id.isNull()) raw->close();
  return id;
}

// Un-highlights the pick and erases the arrow (when there is one).
void dropPick(const cad::ObjectIdArray& ids, cad::ObjectId arrow) {
  HighlightEntities(ids, 0);
  if (!arrow.isNull()) EraseEntity(arrow);
}

}  // namespace

cad::ObjectId DrawSlopeArrow(const geom::Point3d& point, double angle, geom::Vector3d axis, int flip) {
  static const GlyphVertex kArrow[] = {
      {100, 0, 20, 20}, {0, 0, 20, 20}, {100, 100, 20, 30}, {100, 100, 30, 0.1}, {150, 150, 0.1, 0.1},
  };
  return drawGlyph(point, kArrow, 5, angle, axis, flip);
}

cad::ObjectId DrawDirArrowSmall(const geom::Point3d& point, int flip, double angle, geom::Vector3d direction) {
  const double tx = 50 * direction.x, ty = 50 * direction.y;
  const GlyphVertex wedge[] = {{tx, ty, 50, 0.1}, {tx + 250, ty, 0.1, 0.1}};
  return drawGlyph(point, wedge, 2, angle, direction, flip);
}

void SetPipeSlope(const std::wstring& types) {
  const std::wstring layers = GetGjLayersOfTypes(types, L"图层");
  if (layers.empty()) {
    // An empty layer list would let any entity of the drawing be picked.
    ed::print(L"\n构件库中没有%s的图层，无法起坡\n", types.c_str());
    return;
  }
  for (;;) {
    cad::ObjectIdArray ids;
    double at[3] = {0, 0, 0};
    if (!PickGjEntities(layers, ids, at, L"")) return;
    runedit::PickedRun picked;
    if (!runedit::SplitPicked(ids, geom::Point3d(at[0], at[1], at[2]), picked)) {
      HighlightEntities(ids, 0);
      continue;
    }
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(picked.run, pts, bulges);
    std::wstring kind;
    double z1 = 0, z2 = 0;
    GetGjSpecial(picked.run, &kind, &z1, &z2);
    if (pts.size() < 2 || kind != kGjKindSloped) {
      HighlightEntities(ids, 0);
      ed::print(kNotSlopable);
      continue;
    }
    geom::Point3d s, e;
    double bulge = 0;
    {
      cad::ObjectPtr<cad::Entity> ent(picked.run, cad::OpenMode::ForRead);
      if (!ent) return;
      auto* poly = dynamic_cast<const cad::Polyline*>(ent.get());
      if (!poly) {
        HighlightEntities(ids, 0);
        continue;
      }
      if (poly->numVerts() > 2) {
        // One sloped segment cannot follow several: refused rather than
        // collapsed to its chord.
        HighlightEntities(ids, 0);
        ed::print(kOnlyTwoPoints);
        continue;
      }
      s = poly->startPoint();
      e = poly->endPoint();
      bulge = poly->bulgeAt(0);
    }
    HighlightEntities(ids, 1);

    const double a = AngleFromXAxis(e - s, geom::Vector3d(0, 0, 1));
    const geom::Point3d m = GetSegmentMidPoint(s, e, 0);
    const geom::Point3d p = m + geom::Vector3d(-std::sin(a), std::cos(a), 0) * 40.0;
    const geom::Vector3d v = p - m;
    cad::ObjectId arrow = DrawSlopeArrow(p, a, v, 0);

    std::wstring reply;
    if (ed::getString(true, kDirectionPrompt, reply) == ed::kCancel) {
      dropPick(ids, arrow);
      return;
    }
    for (auto& c : reply) c = wchar_t(std::towupper(c));
    if (reply == L"R") {
      std::swap(s, e);
      bulge = -bulge;
      EraseEntity(arrow);
      arrow = DrawSlopeArrow(p, a, v, 1);
      z1 = z2;
    }
    double slope = kDefaultSlope;
    const int rc = ed::getReal(kSlopePrompt, slope);
    if (rc == ed::kNone) {
      slope = kDefaultSlope;
    } else if (rc != ed::kNormal) {
      dropPick(ids, arrow);
      return;
    }
    const double length = std::hypot(e.x - s.x, e.y - s.y);
    const double zEnd = z1 + slope * length;

    std::wstring number, layer;
    StringArray attrs;
    GetGjNumberAndAttrs(picked.run, number, attrs);
    GetEntityLayer(picked.run, layer);
    const runedit::CarriedData carried = runedit::CaptureCarriedData(picked.run);
    runedit::ErasePickedRun(layer, picked, g_decorateGjCb);
    EraseEntity(arrow);
    runedit::RemakeRun(g_createGjCb, g_decorateGjCb, layer, number, geom::Point3d(s.x, s.y, z1),
                       geom::Point3d(e.x, e.y, zEnd), bulge, 0, carried);
  }
}

void CmdPGradient() { runedit::RunPipeEditor(layout_types::kPlumbingPipes, L"给水管", &SetPipeSlope); }
void CmdWPGradient() { runedit::RunPipeEditor(layout_types::kWaterPipes, L"热供水管", &SetPipeSlope); }
