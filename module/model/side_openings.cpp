// Side openings (see side_openings.h).
#include "module/model/side_openings.h"

#include <cmath>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/geom_helpers.h"
#include "module/model/params.h"
#include "module/model/point_blocks.h"
#include "module/model/point_layout.h"
#include "module/model/point_steps.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"

namespace {

using geom::Point3d;
using geom::Vector3d;

constexpr double kQuarterTurn = 1.570796325;
constexpr double kPi = 3.14159265;

// The computed coordinate lines of the opening: its own parameter lines
// ("构件") when it carries them, else those of its number on the floor.
StringArray openingCoordLines(const std::wstring& name, const std::wstring& number, const StringArray& own) {
  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  StringArray params, formulas, coords;
  ReadFloorGjParams(params, floor, name, L"", L"参数");
  ReadFloorGjField(formulas, floor, name, L"", L"坐标");
  std::wstring text;
  if (!own.empty()) {
    ComputeGjCoordsOf(formulas, number, own, text, 0);
  } else {
    ComputeGjCoords(formulas, params, coords, 0);
    text = GetAttrValue(coords, number);
  }
  StringArray lines;
  SplitLines(text, lines);
  return lines;
}

// Tags a decoration of the opening: number and primary handle, the block's
// visibility, ByLayer colour when the opening has its own parameters.
void tagDecoration(cad::ObjectId id, const std::wstring& number, const std::wstring& handle, bool visible,
                   bool own) {
  SetGjXdata(id, number, handle, nullptr);
  SetEntityVisible(id, visible ? 1 : 0);
  if (own) SetEntityColorRGB(id, 0);
}

bool isLive(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  return bool(ent);
}

// One opening: block, special data, plan figure, side figure, 3D twin.
void placeOpening(const std::wstring& name, const std::wstring& number, const Point3d& at, double angle,
                  double elevation, const Vector3d& direction) {
  const cad::ObjectId id = PlacePointGjAt(name, number, at, angle, elevation, direction);
  if (id.isNull() || !isLive(id)) return;
  DrawSideOpeningFigure(name, id, angle);
}

}  // namespace

void DrawSideOpeningFigure(const std::wstring& name, cad::ObjectId id, double angle) {
  if (id.isNull()) return;
  if (!CheckDuplicateInput(name, id, true)) {
    EraseEntity(id);
    return;
  }
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  const std::wstring handle = attrs.empty() ? std::wstring() : attrs[0];
  const bool visible = IsEntityVisible(id);
  cad::Extents3d box;
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || ent->getGeomExtents(box) != cad::Status::Ok || !box.isValid()) box.add(Point3d(0, 0, 0));
  }
  const double midX = (box.minPoint.x + box.maxPoint.x) / 2, topY = box.maxPoint.y;
  double highest = topY;

  StringArray own;
  GetXdataLines(id, L"构件", own);
  cad::Database* db = ed::curDatabase();
  const std::wstring edgeLayer = name + kEdgeLayerSuffix;
  for (const std::wstring& line : openingCoordLines(name, number, own)) {
    std::vector<Point3d> points;
    std::vector<double> bulges;
    ParseCoordList(line, points, bulges);
    const cad::ObjectId pl = AddPolyline(points, bulges, false, 0, edgeLayer, db);
    if (pl.isNull()) continue;
    RotateEntity(pl, kQuarterTurn, Point3d(0, 0, 0), Vector3d(1, 0, 0));
    tagDecoration(pl, number, handle, visible, !own.empty());
    RotateEntity(pl, angle, Point3d(0, 0, 0), Vector3d(0, 0, 1));
    MoveEntity(pl, Vector3d(midX, topY, 0));
    {
      cad::ObjectPtr<cad::Entity> ent(pl, cad::OpenMode::ForRead);
      cad::Extents3d ext;
      if (ent && ent->getGeomExtents(ext) == cad::Status::Ok && ext.isValid() && ext.maxPoint.y > highest)
        highest = ext.maxPoint.y;
    }
    if (line.find(L"kXEQ") != std::wstring::npos) {
      const cad::ObjectId hatch = AddSolidHatch(pl, edgeLayer, db);
      if (!hatch.isNull()) tagDecoration(hatch, number, handle, visible, !own.empty());
    }
  }
  const cad::ObjectId label = AddText(Point3d(midX, highest + 50, 0), number, 80, 0, 1, name + kLabelLayerSuffix, db,
                                      cad::Text::kMid, cad::Text::kVertMid);
  if (label.isNull()) return;
  SetGjXdata(label, number, handle, nullptr);
  RotateEntity(label, angle, Point3d(midX, topY, 0), Vector3d(0, 0, 1));
  SetEntityVisible(label, visible ? 1 : 0);
  if (!own.empty()) SetEntityColorRGB(label, 0);
}

void LaySideOpening() {
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PreparePointGjLayers(name);
  double elevation = InitialPointGjElevation(number);
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  winlib::InputOneElev(1, x, y, elevation);
  FocusDrawingView();
  for (;;) {
    Point3d point;
    if (GetPointWithOffset(L"\n请选择布置基点:", point, L"") != ed::kNormal) break;
    winlib::InputOneElev(2, 0, 0, elevation);
    PlacementStep step;
    placeOpening(name, number, Point3d(point.x, point.y, 0), 0, elevation, Vector3d(0, 0, 0));
    step.keep();
  }
  winlib::InputOneElev(4, 0, 0, elevation);
}

void LaySideOpeningsOnDuct(const std::wstring& prompt, const std::wstring& ductTypes) {
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PreparePointGjLayers(name);
  double spacing = 2500;
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  winlib::InputOneElev(1, x, y, spacing);
  FocusDrawingView();
  for (;;) {
    cad::ObjectIdArray ids;
    double at[3] = {0, 0, 0};
    if (!PickGjEntities(ductTypes, ids, at, prompt)) break;
    Point3d confirm;
    cad::ObjectIdArray primary;
    if (ed::getPoint(nullptr, L"\n", confirm) != ed::kNormal || (FilterPrimaryGjIds(primary, ids), primary.empty())) {
      HighlightEntities(ids, 0);
      continue;
    }
    winlib::InputOneElev(2, 0, 0, spacing);
    HighlightEntities(ids, 0);
    if (!IsUsableSpacing(spacing)) {
      ed::print(kSideSpacingNotPositive);
      continue;
    }
    double z1 = 0, z2 = 0;
    GetGjSpecial(primary[0], nullptr, &z1, &z2);
    Point3d s, e;
    {
      cad::ObjectPtr<cad::Polyline> duct(primary[0], cad::OpenMode::ForRead);
      if (!duct) {
        ed::print(L"\n所选风管不是水平或斜向的风管，无法布置侧风口。");
        continue;
      }
      s = duct->startPoint();
      e = duct->endPoint();
    }
    // Stepped in plan; the elevation follows the duct's slope.
    Vector3d planDir(e.x - s.x, e.y - s.y, 0);
    const double length = planDir.length();
    if (length <= 0) continue;
    planDir = planDir * (1 / length);
    const Vector3d direction = Vector3d(e.x - s.x, e.y - s.y, z2 - z1).normal();
    const double angle = kPi - planDir.angleTo(Vector3d(1, 0, 0));
    PlacementStep step;
    for (double d = spacing / 2; length > d; d += spacing) {
      if (!LoadCurPointGj()) break;
      const double z = z1 + (z2 - z1) * d / length;
      placeOpening(name, number, Point3d(s.x + planDir.x * d, s.y + planDir.y * d, 0), angle, z, direction);
    }
    step.keep();
  }
  winlib::InputOneElev(4, 0, 0, spacing);
}
