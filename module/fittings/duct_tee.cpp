// DuctTee: a tee where a branch duct meets a main duct, or where three ducts
// meet in one point.
#include <cmath>
#include <utility>

#include "module/fittings/duct_fitting_geom.h"
#include "module/fittings/duct_frame.h"
#include "module/fittings/duct_outlines.h"
#include "module/fittings/fittings_commands.h"
#include "module/toolkit/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/status.h"

namespace {

constexpr const wchar_t* kSameDuct = L"选择了相同的管线";
constexpr const wchar_t* kNoMeeting = L"两管不相交!";

// One piece of the tee: drawn from the kept end to the cut point.
struct TeePiece {
  geom::Point3d from, to;
  const DuctPick* duct = nullptr;
};

void makeTee(const DuctFittingJob& job, DuctPick& d1, DuctPick& d2, DuctPick* d3) {
  if (!ReadDuctEnds(d1) || !ReadDuctEnds(d2) || (d3 && !ReadDuctEnds(*d3))) {
    ed::print(kNeedHorizontal);
    return;
  }
  geom::Point3d x;
  int mode = 0;
  if (!IntersectDucts(d1, d2, x, mode)) {
    ed::alert(kNoMeeting);
    return;
  }
  geom::Point3d f1, f2, f3;
  geom::Vector3d u1, u2, u3;
  FarEndToward(d1.end, d1.start, x, f1, u1);
  FarEndToward(d2.end, d2.start, x, f2, u2);
  if (d3) {
    if (!IsPointOnDuct(x, d3->start, d3->end)) {
      ed::alert(L"三风管不相交于同一点!");
      return;
    }
    FarEndToward(d3->end, d3->start, x, f3, u3);
  } else if (mode == 3) {
    ed::alert(kNoMeeting);
    return;
  }
  const double w = d2.width - d1.width > 0.001 ? d2.width : d1.width;
  const bool mainIsFirst = mode == 2;
  const DuctPick& main = mainIsFirst ? d1 : d2;
  const DuctPick& branch = mainIsFirst ? d2 : d1;
  const geom::Vector3d ub = mainIsFirst ? u2 : u1, um = mainIsFirst ? u1 : u2;
  const geom::Point3d fb = mainIsFirst ? f2 : f1;
  double widthB = d2.width, widthC = d3 ? d3->width : main.width;
  const double a = kFitPi - ub.angleTo(um);
  const double bulge = std::tan(a / 4);
  const double t = std::tan(a / 2) * 1.5 * w;

  geom::Point3d pa, pb, pc;
  TeePiece pieces[3];
  bool fits = true;
  if (d3) {
    fits = CutPoint(x, f1, t, pa) && CutPoint(x, f2, t, pb) && CutPoint(x, f3, t, pc);
    pieces[0] = {f1, pa, &d1};
    pieces[1] = {f2, pb, &d2};
    pieces[2] = {f3, pc, d3};
  } else {
    fits = CutPoint(x, fb, t, pb) && CutPoint(x, main.start, t, pa) && CutPoint(x, main.end, t, pc);
    pieces[0] = {fb, pb, &branch};
    pieces[1] = {main.start, pa, &main};
    pieces[2] = {main.end, pc, &main};
  }
  if (!fits) {
    ed::print(kDuctTooShort);
    return;
  }
  if (!TurnsClockwise(pa, pb, pc)) {
    std::swap(pb, pc);
    std::swap(widthB, widthC);
  }
  const geom::Vector3d ua = PlanDir(pa, x), ubb = PlanDir(pb, x), uc = PlanDir(pc, x);
  const double z = d1.startElev;
  pa.z = pb.z = pc.z = z;

  FittingEdit edit;
  if (!edit.ok()) return;
  if (d3) EraseEntities(d3->picked);
  EraseEntities(d2.picked);
  EraseEntities(d1.picked);
  std::vector<std::pair<std::wstring, cad::ObjectId>> made;
  for (const TeePiece& piece : pieces) {
    const double elev = piece.duct->startElev;
    const cad::ObjectId id =
        RedrawDuct(d1.layer, piece.duct->number, AtElevation(piece.from, elev), AtElevation(piece.to, elev));
    if (id.isNull()) {
      ed::print(kFittingFailed);
      return;
    }
    made.emplace_back(d1.layer, id);
  }
  const cad::ObjectId fitting = InsertDuctFitting(job, x, z);
  if (fitting.isNull()) {
    ed::print(kFittingFailed);
    return;
  }
  PointList points;
  BulgeList bulges;
  TeeOutline(pa, pb, pc, ua, ubb, uc, d1.width / 2, widthB / 2, points, bulges);
  const geom::Point3d mid((pa.x + pb.x) / 2, (pa.y + pb.y) / 2, z);
  const cad::ValueChain chain = {GeomVector(ua),     GeomVector(ubb),    GeomVector(uc),
                                 GeomReal(d1.width), GeomReal(widthB),   GeomReal(widthC),
                                 GeomReal(d1.height), GeomReal(d2.height), GeomReal(d3 ? d3->height : 0.0),
                                 GeomPoint(pa),      GeomPoint(pb),      GeomPoint(pc),
                                 GeomReal(bulge),    GeomInt(0)};
  if (!FinishDuctFitting(job, fitting, points, bulges, mid, pb - pa, chain)) return;
  edit.commit();
  made.emplace_back(job.name, fitting);
  RefreshAfterFitting(made);
}

}  // namespace

void CmdDuctTee() {
  DuctFittingJob job;
  if (!PrepareDuctFitting(L"三通", job)) return;
  DuctPick& d1 = job.ducts[0];
  DuctPick& d2 = job.ducts[1];
  DuctPick& d3 = job.ducts[2];
  if (PickFirstDuct(job, false) != ed::kNormal) return;
  for (;;) {
    if (PickSecondDuct(job, {nullptr, kSameDuct}) != ed::kNormal) return;
    if (d2.kind == kKindSloped) break;
    ed::print(kNeedHorizontal);
    DropPick(d2);
  }
  // A third duct is optional: Escape, Enter or a right click make a tee of two.
  if (PickDuct(kPickOtherDuctPrompt, d3) != ed::kNormal) {
    makeTee(job, d1, d2, nullptr);
    return;
  }
  if (d3.key() == d1.key() || d3.key() == d2.key()) {
    ed::alert(kSameDuct);
    return;
  }
  if (!ReadDuctData(job, d3)) return;
  if (d3.kind != kKindSloped) {
    ed::print(kNeedHorizontal);
    return;
  }
  makeTee(job, d1, d2, &d3);
}
