// Breaking a wire run in two at a point, and joining two collinear wire
// runs into one. New runs are made by the wire routines and take the
// number and the component data of the run they come from.
#include <algorithm>
#include <cmath>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/layout/run_edit.h"
#include "module/model/component_types.h"
#include "module/model/geom_helpers.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/status.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEndTolerance = 1.0;
constexpr double kParallelTolerance = 1e-9;

// The component of the combo "构件" and its library layer; empty (with a
// message) when the library gives it none, since an empty layer list would
// let any entity be picked.
std::wstring candidateLayer(const wchar_t* types, const wchar_t* defaultType, std::wstring& name) {
  PrepareGjCombos(types, defaultType);
  name = winlib::CmbGetName(winlib::kComboName);
  std::wstring layer = GetGjLayersOfTypes(name, L"图层");
  if (layer.empty()) ed::print(L"\n构件库中没有%s的图层\n", name.c_str());
  return layer;
}

// The plan run of a polyline entity: its ends and its first bulge.
bool runGeometry(cad::ObjectId id, geom::Point3d& s, geom::Point3d& e, double& bulge) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  auto* poly = ent ? dynamic_cast<const cad::Polyline*>(ent.get()) : nullptr;
  if (!poly) return false;
  s = poly->startPoint();
  e = poly->endPoint();
  bulge = poly->numVerts() > 0 ? poly->bulgeAt(0) : 0;
  return true;
}

// The signed angle from a to b about +Z, in (-2pi, 2pi) with the sign of
// the turn wanted.
double turnFrom(const geom::Vector3d& a, const geom::Vector3d& b, bool counterClockwise) {
  double t = std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y);
  if (counterClockwise && t < 0) t += 2 * kPi;
  if (!counterClockwise && t > 0) t -= 2 * kPi;
  return t;
}

// Where the run breaks for a picked point: the foot on the run (on its arc
// for an arc run) and the bulges of the two pieces P->S and P->E. False when
// the foot lies beyond the run's ends.
bool breakPoint(const geom::Point3d& s, const geom::Point3d& e, double bulge, const geom::Point3d& picked,
                geom::Point3d& p, double& bulgeToStart, double& bulgeToEnd) {
  bulgeToStart = bulgeToEnd = 0;
  if (std::fabs(bulge) < 1e-12) {
    const geom::Vector3d d(e.x - s.x, e.y - s.y, 0);
    const double len2 = d.x * d.x + d.y * d.y;
    if (len2 <= 0) return false;
    const double t = ((picked.x - s.x) * d.x + (picked.y - s.y) * d.y) / len2;
    if (t < 0 || t > 1) return false;
    p = geom::Point3d(s.x + t * d.x, s.y + t * d.y, 0);
    return true;
  }
  geom::Point3d centre;
  GetSegmentArcCenter(s, e, bulge, centre);
  if (GetPerpFootOnSegment(picked, s, e, bulge, p) < 0) return false;
  const double whole = 4 * std::atan(bulge);
  const bool ccw = bulge > 0;
  const double part = turnFrom(s - centre, p - centre, ccw);
  if (std::fabs(part) > std::fabs(whole)) return false;
  bulgeToStart = -std::tan(part / 4);
  bulgeToEnd = std::tan((whole - part) / 4);
  return true;
}

double planDistance(const geom::Point3d& a, const geom::Point3d& b) { return std::hypot(a.x - b.x, a.y - b.y); }

// 3D distance from a point to the segment a-b.
double distanceToSegment(const geom::Point3d& p, const geom::Point3d& a, const geom::Point3d& b) {
  const geom::Vector3d d = b - a;
  const double len2 = d.dot(d);
  double t = len2 > 0 ? (p - a).dot(d) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return p.distanceTo(a + d * t);
}

}  // namespace

void CmdBreakPipeLine() {
  std::wstring combo;
  const std::wstring layer = candidateLayer(layout_types::kWiresAndConduits, L"照明导线", combo);
  if (layer.empty()) return;
  for (;;) {
    cad::ObjectIdArray ids;
    double at[3] = {0, 0, 0};
    if (!PickGjEntities(layer, ids, at, L"\n请选择管道:")) return;
    runedit::PickedRun picked;
    if (!runedit::SplitPicked(ids, geom::Point3d(at[0], at[1], at[2]), picked)) {
      HighlightEntities(ids, 0);
      continue;
    }
    HighlightEntities(ids, 1);
    std::wstring number, name;
    StringArray attrs;
    GetGjNumberAndAttrs(picked.run, number, attrs);
    GetEntityLayer(picked.run, name);
    geom::Point3d s, e;
    double bulge = 0;
    if (!runGeometry(picked.run, s, e, bulge)) {
      HighlightEntities(ids, 0);
      continue;
    }
    std::wstring kind;
    double z1 = 0, z2 = 0;
    GetGjSpecial(picked.run, &kind, &z1, &z2);
    if (std::fabs(z1 - z2) > 0.01 || kind == kGjKindRiser || kind == kGjKindThrough) {
      ed::alert(L"此功能仅支持水平管线");
      HighlightEntities(ids, 0);
      continue;
    }
    geom::Point3d point;
    if (GetPointWithOffset(L"\n指定一个断点:", point, L"") != ed::kNormal) {
      HighlightEntities(ids, 0);
      return;
    }
    geom::Point3d p;
    double toStart = 0, toEnd = 0;
    if (!breakPoint(s, e, bulge, point, p, toStart, toEnd)) {
      // A foot beyond the run would lengthen it with overlapping pieces.
      ed::print(L"\n断点不在所选管线上，未打断");
      HighlightEntities(ids, 0);
      continue;
    }
    auto nearEnd = [&](const geom::Point3d& q) {
      return std::fabs(p.x - q.x) < kEndTolerance && std::fabs(p.y - q.y) < kEndTolerance;
    };
    if (nearEnd(s) || nearEnd(e)) {
      HighlightEntities(ids, 0);
      continue;
    }
    const runedit::CarriedData carried = runedit::CaptureCarriedData(picked.run);
    runedit::ErasePickedRun(name, picked, &DecorateWireGj);
    const geom::Point3d from(p.x, p.y, z1);
    runedit::RemakeRun(&CreateWireGj, &DecorateWireGj, name, number, from, geom::Point3d(s.x, s.y, z1), toStart,
                       0, carried);
    runedit::RemakeRun(&CreateWireGj, &DecorateWireGj, name, number, from, geom::Point3d(e.x, e.y, z1), toEnd, 0,
                       carried);
  }
}

namespace {

// One run picked for the join: its parts and 3D ends; false (with the
// highlight removed) when the pick holds no straight linear run.
struct JoinRun {
  cad::ObjectIdArray ids;
  runedit::PickedRun picked;
  geom::Point3d s, e;
};

// 0 picked, 1 nothing usable in the pick (ask again), -1 the pick ended.
int pickJoinRun(const std::wstring& layer, const wchar_t* prompt, JoinRun& run) {
  run = JoinRun{};
  double at[3] = {0, 0, 0};
  if (!PickGjEntities(layer, run.ids, at, prompt)) return -1;
  if (!runedit::SplitPicked(run.ids, geom::Point3d(at[0], at[1], at[2]), run.picked)) {
    HighlightEntities(run.ids, 0);
    return 1;
  }
  HighlightEntities(run.ids, 1);
  return 0;
}

bool isArcRun(cad::ObjectId id) {
  geom::Point3d s, e;
  double bulge = 0;
  return runGeometry(id, s, e, bulge) && std::fabs(bulge) > 1e-12;
}

}  // namespace

void CmdJoinPipeLine() {
  std::wstring name;
  const std::wstring layer = candidateLayer(layout_types::kWiresAndConduits, L"导线·导管", name);
  if (layer.empty()) return;
  for (;;) {
    JoinRun a;
    const int first = pickJoinRun(layer, L"\n请选择第一根管（右键退出）:", a);
    if (first < 0) return;
    if (first > 0) continue;
    const cad::ObjectId runA = a.picked.run;
    if (!GetGjEndPoints3d(runA, a.s, a.e) || isArcRun(runA)) {
      // An arc would lose its shape in a straight joined run.
      HighlightEntities(a.ids, 0);
      continue;
    }
    if (planDistance(a.s, a.e) <= 1.0) {
      ed::alert(L"此功能仅支持水平管线,请重新选择");
      HighlightEntities(a.ids, 0);
      continue;
    }
    for (;;) {
      JoinRun b;
      const int second = pickJoinRun(layer, L"\n请选择第二根管（右键可重新选择第一根管）:", b);
      if (second < 0) {
        HighlightEntities(a.ids, 0);
        break;
      }
      if (second > 0) {
        HighlightEntities(a.ids, 1);
        continue;
      }
      const cad::ObjectId runB = b.picked.run;
      auto refuse = [&](const wchar_t* alert) {
        if (alert) ed::alert(alert);
        HighlightEntities(b.ids, 0);
        HighlightEntities(a.ids, 1);
      };
      if (runB == runA) {
        refuse(L"选择了相同的管线，请重新选择第二根管");
        continue;
      }
      if (!GetGjEndPoints3d(runB, b.s, b.e) || isArcRun(runB)) {
        refuse(nullptr);
        continue;
      }
      if (planDistance(b.s, b.e) <= 1.0) {
        refuse(L"此功能仅支持水平管线，请重新选择第二根管");
        continue;
      }
      // Either end of B on A: a run drawn the other way round joins as well.
      const bool touches = distanceToSegment(b.s, a.s, a.e) <= 1.0 || distanceToSegment(b.e, a.s, a.e) <= 1.0;
      if (!touches || !(b.e - b.s).isParallelTo(a.e - a.s, kParallelTolerance)) {
        refuse(L"第二根管与第一根管不在同一直线上，请重新选择第二根管");
        continue;
      }
      std::wstring numberA, numberB;
      StringArray attrs;
      GetGjNumberAndAttrs(runA, numberA, attrs);
      GetGjNumberAndAttrs(runB, numberB, attrs);
      if (numberA != numberB)
        ed::print(L"\n两根管线编号不同（%s、%s），连接后的管线编号为%s", numberA.c_str(), numberB.c_str(),
                  numberA.c_str());
      geom::Point3d p1, p2;
      FarthestEndPoints(a.s, a.e, b.s, b.e, p1, p2);
      const runedit::CarriedData carried = runedit::CaptureCarriedData(runA);
      runedit::ErasePickedRun(name, runedit::MergePicked(a.picked, b.picked), &DecorateWireGj);
      runedit::RemakeRun(&CreateWireGj, &DecorateWireGj, name, numberA, p1, p2, 0, 0, carried);
      break;
    }
  }
}
