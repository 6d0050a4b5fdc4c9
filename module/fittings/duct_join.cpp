// DuctJoin: drop joints in horizontal air ducts. Split mode replaces a duct
// by two pieces meeting at a point at two elevations, joined there by a
// vertical duct, and repeats; join mode (keyword D) joins two ducts where
// their centre lines meet with a vertical duct, drawing a duct that stops
// short again up to that point. New ducts keep the name and number of the
// duct they come from; each joint is one transaction, so Escape at any of
// its prompts leaves the drawing as it was.
#include <cmath>
#include <cwchar>
#include <cwctype>

#include "module/fittings/duct_frame.h"
#include "module/fittings/fittings_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/layout/run_edit.h"
#include "module/model/component_types.h"
#include "module/model/picking.h"
#include "module/model/special_data.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/points.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/ui/dialog.h"

namespace {

constexpr const wchar_t* kNotVertical = L"不支持垂直风管";
constexpr const wchar_t* kStraightOnly = L"\n只支持两点的直风管!";

// One picked duct of a joint.
struct JointDuct {
  cad::ObjectIdArray picked;
  cad::ObjectId primary;
  std::wstring name, number;
  geom::Point3d s, e, at;
  double startElev = 0, endElev = 0;
};

// Picks a horizontal straight duct. False when the command ends (the pick
// unhighlighted; a message said why unless the user ended it).
bool pickDuct(const std::wstring& layers, const std::wstring& prompt, JointDuct& duct) {
  cad::ObjectIdArray sameNumber, onLayers;
  if (PickGj(layers, duct.picked, sameNumber, onLayers, duct.at, prompt, false) != ed::kNormal) {
    HighlightEntities(duct.picked, 0);
    return false;
  }
  cad::ObjectIdArray primaries;
  FilterPrimaryGjIds(primaries, duct.picked);
  if (primaries.empty()) {
    HighlightEntities(duct.picked, 0);
    return false;
  }
  duct.primary = primaries.front();
  std::wstring kind;
  GetGjSpecial(duct.primary, &kind, &duct.startElev, &duct.endElev);
  if (kind == L"立管" || kind == L"贯通管" || std::fabs(duct.startElev - duct.endElev) > 1e-05) {
    ui::AfxMessageBox(kNotVertical);
    HighlightEntities(duct.picked, 0);
    return false;
  }
  PointList points;
  BulgeList bulges;
  GetEntityVertices(duct.primary, points, bulges);
  if (points.size() != 2 || (!bulges.empty() && bulges[0] != 0)) {
    // An arc or a run of several segments would lose its shape in two chords.
    ed::print(kStraightOnly);
    HighlightEntities(duct.picked, 0);
    return false;
  }
  duct.s = AtElevation(points[0], 0);
  duct.e = AtElevation(points[1], 0);
  GetEntityLayer(duct.primary, duct.name);
  StringArray attrs;
  GetGjNumberAndAttrs(duct.primary, duct.number, attrs);
  return true;
}

// The leading number of a reply; the fallback for an empty reply. False on
// Escape.
bool askElevation(const std::wstring& prompt, double fallback, double& out) {
  std::wstring reply;
  if (ed::getString(false, prompt, reply) != ed::kNormal) return false;
  out = reply.empty() ? fallback : std::wcstod(reply.c_str(), nullptr);
  return true;
}

// The vertical duct of a joint (none when the elevations differ by less
// than 1).
void addVertical(const JointDuct& duct, const geom::Point3d& at, double from, double to) {
  const cad::ObjectId id = CreateDuctGj(duct.name, duct.number, AtElevation(at, from), AtElevation(at, to), 0, 1);
  if (!id.isNull()) DecorateDuctGj(duct.name, id);
}

// Split mode at a point: false when the command ends.
bool splitAt(JointDuct& d1, const geom::Point3d& p) {
  const geom::Vector3d dir = PlanDir(d1.s, d1.e);
  const double angle = AngleFromXAxis(dir, geom::Vector3d(0, 0, 1));
  const geom::Vector3d perp = dir.perpVector();
  double z1 = 0, z2 = 0;
  cad::ObjectId arrow = DrawDirArrowSmall(p, 1, angle, perp);
  const bool first = askElevation(ed::format(L"\n请输入第一根管标高 <默认标高=%f>:", d1.endElev), d1.endElev, z1);
  EraseEntity(arrow);
  if (!first) {
    HighlightEntities(d1.picked, 0);
    return false;
  }
  arrow = DrawDirArrowSmall(p, 0, angle, perp);
  const bool second = askElevation(ed::format(L"\n请输入第二根管标高 <默认标高=%f>:", d1.endElev), d1.endElev, z2);
  EraseEntity(arrow);
  HighlightEntities(d1.picked, 0);
  if (!second) return false;
  // Replies 0.01 apart or closer are one elevation (with room for the
  // binary form of decimal replies).
  if (std::fabs(z1 - z2) <= 0.01 + 1e-9) {
    ed::alert(L"两管标高一样，无法生成扣管!");
    return false;
  }
  FittingEdit edit;
  if (!edit.ok()) return false;
  EraseEntities(d1.picked);
  const cad::ObjectId a = RedrawDuct(d1.name, d1.number, AtElevation(p, z1), AtElevation(d1.s, z1));
  const cad::ObjectId b = RedrawDuct(d1.name, d1.number, AtElevation(p, z2), AtElevation(d1.e, z2));
  if (a.isNull() || b.isNull()) {
    ed::print(kFittingFailed);
    return false;
  }
  addVertical(d1, p, z2, z1);
  edit.commit();
  return true;
}

// A duct drawn again from the meeting point to its far end.
bool redrawToPoint(const JointDuct& duct, const geom::Point3d& x, double z) {
  geom::Point3d far;
  geom::Vector3d dir;
  FarEndToward(duct.e, duct.s, x, far, dir);
  EraseEntities(duct.picked);
  return !RedrawDuct(duct.name, duct.number, AtElevation(x, z), AtElevation(far, z)).isNull();
}

// Join mode: one joint, then the command ends.
void joinTwo(const std::wstring& layers, JointDuct& d1) {
  std::wstring word;
  if (ed::getInput(word) != ed::kNormal) {
    HighlightEntities(d1.picked, 0);
    return;
  }
  for (auto& c : word) c = wchar_t(std::towupper(c));
  JointDuct d2;
  if (word != L"D" || !pickDuct(layers, L"\n请选择扣弯管道:", d2)) {
    HighlightEntities(d1.picked, 0);
    return;
  }
  auto unhighlight = [&] {
    HighlightEntities(d1.picked, 0);
    HighlightEntities(d2.picked, 0);
  };
  if (d2.primary == d1.primary) {
    ed::alert(L"选择了相同的管线");
    unhighlight();
    return;
  }
  double z1 = d1.endElev, z2 = d2.endElev;
  geom::Point3d x;
  int mode = -1;
  {
    cad::ObjectPtr<cad::Entity> a(d1.primary, cad::OpenMode::ForRead);
    cad::ObjectPtr<cad::Entity> b(d2.primary, cad::OpenMode::ForRead);
    const geom::Vector3d u = PlanDir(d1.s, d1.e), v = PlanDir(d2.s, d2.e);
    const cad::Intersect modes[] = {cad::Intersect::OnBothOperands, cad::Intersect::ExtendThis,
                                    cad::Intersect::ExtendArg, cad::Intersect::ExtendBoth};
    for (int m = 0; a && b && !u.isParallelTo(v, 1e-4) && m < 4 && mode < 0; ++m) {
      std::vector<geom::Point3d> points;
      if (a->intersectWith(*b, modes[m], points) == cad::Status::Ok && !points.empty()) {
        x = AtElevation(points.front(), 0);
        mode = m;
      }
    }
  }
  if (mode < 0) {
    unhighlight();
    ed::alert(L"管道平行不可生成扣管!");
    return;
  }
  // With equal elevations the user is asked for the elevations of the ducts
  // that are drawn again; Escape ends the command unchanged.
  auto askReal = [](const wchar_t* prompt, double& z) {
    double value = 0;
    const int rc = ed::getReal(prompt, value);
    if (rc == ed::kNormal) z = value;
    return rc;
  };
  const bool equal = std::fabs(z2 - z1) < 0.001;
  if (equal && (mode == 1 || mode == 3)) {
    const int rc = askReal(L"\n第一根管的标高：", z1);
    if (rc == ed::kCancel) {
      unhighlight();
      return;
    }
    if (mode == 3 && rc == ed::kNormal && askReal(L"\n第二根管的标高：", z2) == ed::kCancel) {
      unhighlight();
      return;
    }
  }
  if (equal && mode == 2 && askReal(L"\n第二根管的标高：", z2) == ed::kCancel) {
    unhighlight();
    return;
  }
  unhighlight();
  FittingEdit edit;
  if (!edit.ok()) return;
  if ((mode == 1 || mode == 3) && !redrawToPoint(d1, x, z1)) {
    ed::print(kFittingFailed);
    return;
  }
  if ((mode == 2 || mode == 3) && !redrawToPoint(d2, x, z2)) {
    ed::print(kFittingFailed);
    return;
  }
  addVertical(d1, x, z1, z2);
  edit.commit();
}

}  // namespace

void CmdDuctJoin() {
  const std::wstring layers = GetGjLayersOfTypes(winlib::CmbGetName(winlib::kComboName), L"图层");
  for (;;) {
    JointDuct d1;
    if (!pickDuct(layers, L"\n请选择管道:", d1)) return;
    ed::initGet(1, L"D");
    geom::Point3d p;
    const int rc = GetPointWithOffset(L"\n指定扣弯点[选择第二个管道(D)]:", p, L"");
    if (rc == ed::kKeyword) {
      joinTwo(layers, d1);
      return;
    }
    if (rc == ed::kCancel) {
      HighlightEntities(d1.picked, 0);
      return;
    }
    if (rc == ed::kNormal) {
      if (!IsNearSegment(p, d1.s, d1.e, 0, 100.0)) {
        ui::AfxMessageBox(L"选择扣弯点不在所选管道上");
        HighlightEntities(d1.picked, 0);
        continue;
      }
      EraseLayerEntities(L"LayerTmp");
    } else {
      p = d1.at;  // Enter: the point at which the duct was picked
    }
    p = AtElevation(p, 0);
    if (IsEqualPointXY(p, d1.s, 1.0) || IsEqualPointXY(p, d1.e, 1.0)) {
      HighlightEntities(d1.picked, 0);
      continue;
    }
    if (!splitAt(d1, p)) return;
  }
}
