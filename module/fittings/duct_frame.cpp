// The shared steps of the air-duct fitting commands.
#include "module/fittings/duct_frame.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "module/fittings/duct_fitting_geom.h"
#include "module/layout/run_callbacks.h"
#include "module/model/component_types.h"
#include "module/model/geom_helpers.h"
#include "module/model/params.h"
#include "module/model/picking.h"
#include "module/model/point_blocks.h"
#include "module/model/project_tables.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/status.h"

const std::wstring& DuctPick::key() const {
  static const std::wstring kNone;
  return attrs.empty() ? kNone : attrs.front();
}

DuctFittingJob::~DuctFittingJob() {
  for (DuctPick& duct : ducts) HighlightEntities(duct.picked, 0);
}

bool PrepareDuctFitting(const std::wstring& type, DuctFittingJob& job) {
  job.type = type;
  PrepareGjCombos(type, type);
  job.number = winlib::CmbGetName(winlib::kComboNumber);
  job.name = winlib::CmbGetName(winlib::kComboName);
  if (job.number.empty()) {
    SendCommandToAcad(L"GjType\n");
    return false;
  }
  job.floor = winlib::CmbGetName(winlib::kComboFloor);
  return true;
}

void DropPick(DuctPick& duct) {
  HighlightEntities(duct.picked, 0);
  duct = DuctPick{};
}

namespace {

std::wstring ductTypes() {
  StringArray list;
  ExpandGjCategories(L"风管", list);
  std::wstring joined;
  JoinArray(list, L",", joined);
  return joined;
}

}  // namespace

int PickDuct(const std::wstring& prompt, DuctPick& duct) {
  for (;;) {
    DropPick(duct);
    cad::ObjectIdArray sameNumber, onLayers;
    geom::Point3d at;
    // The pick searches the layers of the air-duct types (ducts, their edge
    // lines and labels), so that an edge line or label picked on top of a
    // duct still gives the whole duct.
    const int rc = PickGj(ductTypes(), duct.picked, sameNumber, onLayers, at, prompt, false);
    if (rc != ed::kNormal) {
      DropPick(duct);
      return ed::kCancel;
    }
    cad::ObjectIdArray primaries;
    FilterPrimaryGjIds(primaries, duct.picked);
    if (primaries.empty()) continue;
    duct.primary = primaries.front();
    GetEntityLayer(duct.primary, duct.layer);
    GetGjNumberAndAttrs(duct.primary, duct.number, duct.attrs);
    return ed::kNormal;
  }
}

int PickFirstDuct(DuctFittingJob& job, bool acceptRiser) {
  DuctPick& d1 = job.ducts[0];
  for (;;) {
    if (PickDuct(kPickDuctPrompt, d1) != ed::kNormal) return ed::kCancel;
    if (!ReadDuctData(job, d1)) {
      DropPick(d1);
      continue;
    }
    if (d1.kind == kKindSloped || (acceptRiser && d1.kind == kKindRiser)) return ed::kNormal;
    DropPick(d1);
    ed::print(kNeedHorizontal);
  }
}

int PickSecondDuct(DuctFittingJob& job, const SecondPickWords& words) {
  const DuctPick& d1 = job.ducts[0];
  DuctPick& d2 = job.ducts[1];
  for (;;) {
    if (PickDuct(kPickOtherDuctPrompt, d2) != ed::kNormal) return ed::kCancel;
    if (words.otherType && d2.layer != d1.layer) {
      ed::alert(words.otherType);
      DropPick(d2);
      continue;
    }
    if (d2.key() == d1.key()) {
      // The same component: its highlight belongs to the first pick.
      ed::alert(words.sameDuct);
      d2 = DuctPick{};
      continue;
    }
    if (ReadDuctData(job, d2)) return ed::kNormal;
    DropPick(d2);
  }
}

bool ReadDuctData(DuctFittingJob& job, DuctPick& duct) {
  if (!job.dataLoaded) {
    ReadFloorGjParams(job.params, job.floor, duct.layer, L"", L"参数");
    ReadFloorGjField(job.formulas, job.floor, duct.layer, L"", L"坐标");
    ComputeGjCoords(job.formulas, job.params, job.coords, 0);
    job.dataLoaded = true;
  }
  StringArray own;
  GetXdataLines(duct.primary, kXdataExternalGj, own);
  std::wstring coordText;
  if (!own.empty())
    ComputeGjCoordsOf(job.formulas, duct.number, own, coordText, 0);
  else
    coordText = GetAttrValue(job.coords, duct.number);
  std::vector<geom::Point3d> points;
  std::vector<double> values;
  ParseCoordList(coordText, points, values);
  GetOutlineSize(points, values, duct.width, duct.height);
  if (duct.width <= 0 || duct.height <= 0) {
    // No section figure for the number: the size parameters B and H.
    StringArray lines = own;
    if (lines.empty()) SplitLines(GetAttrValue(job.params, duct.number), lines);
    TrimAttrValuesAtColon(lines);
    duct.width = std::wcstod(GetAttrValue(lines, L"B").c_str(), nullptr);
    duct.height = std::wcstod(GetAttrValue(lines, L"H").c_str(), nullptr);
  }
  GetGjSpecial(duct.primary, &duct.kind, &duct.startElev, &duct.endElev);
  if (duct.width > 0 && duct.height > 0) return true;
  ed::print(kNoSection);
  return false;
}

bool ReadDuctEnds(DuctPick& duct) {
  cad::ObjectPtr<cad::Polyline> pl(duct.primary, cad::OpenMode::ForRead);
  if (!pl || pl->numVerts() < 2) return false;
  geom::Point2d s, e;
  pl->getPointAt(0, s);
  pl->getPointAt(pl->numVerts() - 1, e);
  duct.start = geom::Point3d(s.x, s.y, 0);
  duct.end = geom::Point3d(e.x, e.y, 0);
  return true;
}

geom::Vector3d PlanDir(const geom::Point3d& a, const geom::Point3d& b) {
  return geom::Vector3d(b.x - a.x, b.y - a.y, 0).normal();
}

geom::Point3d AtElevation(const geom::Point3d& p, double z) { return geom::Point3d(p.x, p.y, z); }

namespace {
double planDistance(const geom::Point3d& a, const geom::Point3d& b) { return std::hypot(a.x - b.x, a.y - b.y); }
}  // namespace

void FarEndToward(const geom::Point3d& a, const geom::Point3d& b, const geom::Point3d& p, geom::Point3d& far,
                  geom::Vector3d& dir) {
  far = planDistance(p, b) - planDistance(p, a) > 0.001 ? b : a;
  dir = PlanDir(far, p);
}

bool CutPoint(const geom::Point3d& x, const geom::Point3d& far, double t, geom::Point3d& out) {
  const double length = planDistance(x, far);
  if (t > length - 1.0) return false;
  const geom::Vector3d d = PlanDir(x, far);
  out = geom::Point3d(x.x + d.x * t, x.y + d.y * t, x.z);
  return true;
}

bool IntersectDucts(const DuctPick& d1, const DuctPick& d2, geom::Point3d& x, int& mode) {
  cad::ObjectPtr<cad::Entity> a(d1.primary, cad::OpenMode::ForRead);
  cad::ObjectPtr<cad::Entity> b(d2.primary, cad::OpenMode::ForRead);
  if (!a || !b) return false;
  // Ducts in one line (or parallel) have no corner, whatever the modes say.
  const geom::Vector3d u = PlanDir(d1.start, d1.end), v = PlanDir(d2.start, d2.end);
  if (u.isZeroLength() || v.isZeroLength() || u.isParallelTo(v, 1e-4)) return false;
  const cad::Intersect modes[] = {cad::Intersect::OnBothOperands, cad::Intersect::ExtendThis,
                                  cad::Intersect::ExtendArg, cad::Intersect::ExtendBoth};
  for (int m = 0; m < 4; ++m) {
    std::vector<geom::Point3d> points;
    if (a->intersectWith(*b, modes[m], points) == cad::Status::Ok && !points.empty()) {
      x = points.front();
      mode = m;
      return true;
    }
  }
  return false;
}

bool IsPointOnDuct(const geom::Point3d& p, const geom::Point3d& s, const geom::Point3d& e) {
  if (IsEqualPointXY(p, s, 1.0) || IsEqualPointXY(p, e, 1.0)) return true;
  const double length = planDistance(s, e);
  if (length < 1e-9) return false;
  const geom::Vector3d d = PlanDir(s, e);
  const double along = (p.x - s.x) * d.x + (p.y - s.y) * d.y;
  const double across = std::fabs((p.x - s.x) * d.y - (p.y - s.y) * d.x);
  return across < 1.0 && along > -1.0 && along < length + 1.0;
}

bool TurnsClockwise(const geom::Point3d& a, const geom::Point3d& b, const geom::Point3d& c) {
  return (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x) < 0;
}

FittingEdit::FittingEdit() {
  ed::Document* doc = ed::curDoc();
  cad::TransactionManager* tm = doc ? doc->transactionManager() : nullptr;
  cad::Database* db = ed::curDatabase();
  if (!tm || !db) return;
  savedLayer_ = db->clayer();
  tm->startTransaction();
  started_ = true;
}

FittingEdit::~FittingEdit() {
  if (!started_) return;
  ed::curDoc()->transactionManager()->abortTransaction();
  if (cad::Database* db = ed::curDatabase(); db && !savedLayer_.isNull()) db->setClayer(savedLayer_);
}

void FittingEdit::commit() {
  if (!started_) return;
  ed::curDoc()->transactionManager()->endTransaction();
  started_ = false;
}

cad::ObjectId RedrawDuct(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                         const geom::Point3d& end) {
  const cad::ObjectId id = CreateDuctGj(name, number, start, end, 0, 0);
  if (!id.isNull()) DecorateDuctGj(name, id);
  // The decoration's duplicate check may have taken the piece away again.
  cad::ObjectPtr<cad::Entity> check(id, cad::OpenMode::ForRead);
  return check ? id : cad::ObjectId();
}

cad::ObjectId InsertDuctFitting(const DuctFittingJob& job, const geom::Point3d& position, double elevation) {
  EnsureGjBlockDef(job.name, job.number, 0);
  const cad::ObjectId b = InsertBlockRef(job.number, position, 0, cad::Scale3d{1, 1, 1}, geom::Vector3d(0, 0, 1),
                                         job.name, nullptr);
  if (b.isNull()) return b;
  const geom::Vector3d noTurn(0, 0, 0);
  if (!SetPointGjSpecial(&job.number, b, &elevation, &noTurn)) return cad::ObjectId();
  if (!CheckDuplicateInput(job.name, b, true)) return cad::ObjectId();
  return b;
}

bool DrawDuctFittingFigure(const DuctFittingJob& job, cad::ObjectId fitting, const PointList& points,
                           const BulgeList& bulges, bool closed, const geom::Point3d& anchor,
                           const geom::Vector3d& direction, double labelWidth) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(fitting, number, attrs);
  const std::wstring owner = attrs.empty() ? L"" : attrs.front();
  const cad::ObjectId outline = AddPolyline(points, bulges, closed, 0.0, job.name + L"边线", nullptr);
  if (outline.isNull()) return false;
  SetGjXdata(outline, number, owner, nullptr);
  SetEntityVisible(outline, 1);
  double angle = AngleFromXAxis(direction, geom::Vector3d(0, 0, 1));
  if (angle >= kFitHalfPi && angle < 4.7123889750000005) angle += kFitPi;
  const double d = labelWidth * 0.5 + 200.0;
  const geom::Point3d at(anchor.x - std::sin(angle) * d, anchor.y + std::cos(angle) * d, anchor.z);
  const cad::ObjectId label =
      AddText(at, number, 200.0, angle, 1.0, job.name + L"名", nullptr, cad::Text::kMid, cad::Text::kVertMid);
  SetGjXdata(label, number, owner, nullptr);
  SetEntityVisible(label, 1);
  // The fitting's own layer stays current, as after the insert.
  GetOrCreateLayer(job.name, nullptr);
  return true;
}

bool WriteFittingRecord(const DuctFittingJob& job, cad::ObjectId fitting, const cad::ValueChain& chain) {
  return WriteDuctFittingGeom(job.name, fitting, chain);
}

bool FinishDuctFitting(const DuctFittingJob& job, cad::ObjectId fitting, const PointList& points,
                       const BulgeList& bulges, const geom::Point3d& anchor, const geom::Vector3d& direction,
                       const cad::ValueChain& chain) {
  if (DrawDuctFittingFigure(job, fitting, points, bulges, false, anchor, direction, job.ducts[0].width) &&
      WriteFittingRecord(job, fitting, chain))
    return true;
  ed::print(kFittingFailed);
  return false;
}

void RefreshAfterFitting(const std::vector<std::pair<std::wstring, cad::ObjectId>>& items) {
  for (const auto& [name, id] : items) RefreshSolid3dOfEntity(name, id, ed::curDatabase());
}
