// The shared rules of replacing a picked run (see run_edit.h).
#include "module/layout/run_edit.h"

#include <algorithm>
#include <limits>

#include "module/layout/command_frame.h"
#include "module/model/component_types.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"

namespace runedit {

namespace {

// How far the pick lies from an entity in plan: the curve, or the insertion
// point of a riser block.
double distanceFrom(cad::ObjectId id, const geom::Point3d& p) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return std::numeric_limits<double>::max();
  if (auto* ref = dynamic_cast<const cad::BlockReference*>(ent.get())) {
    const geom::Point3d at = ref->position();
    return std::hypot(at.x - p.x, at.y - p.y);
  }
  return GetPointToCurveDistance(geom::Point3d(p.x, p.y, 0), ent.get());
}

}  // namespace

bool SplitPicked(const cad::ObjectIdArray& ids, const geom::Point3d& pickPoint, PickedRun& out) {
  out = PickedRun{};
  cad::ObjectIdArray runs;
  for (cad::ObjectId id : ids) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    (attrs.size() >= 2 ? runs : out.decorations).push_back(id);
  }
  if (runs.empty()) return false;
  // The nearest run; on a tie the primary (whose stamp names itself).
  double best = std::numeric_limits<double>::max();
  bool bestPrimary = false;
  for (cad::ObjectId id : runs) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    const bool primary = attrs.front() == GetHandleText(id);
    const double d = distanceFrom(id, pickPoint);
    if (out.run.isNull() || d < best - 1e-6 || (d <= best + 1e-6 && primary && !bestPrimary)) {
      out.run = id;
      best = d;
      bestPrimary = primary;
    }
  }
  for (cad::ObjectId id : runs)
    if (id != out.run) out.others.push_back(id);
  return true;
}

CarriedData CaptureCarriedData(cad::ObjectId run) {
  CarriedData data;
  StringArray names, values;
  ReadAllXdata(run, names, values);
  for (const auto& app : names) {
    if (app == kXdataNumber || app == kXdataSpecial) continue;
    StringArray lines;
    GetXdataLines(run, app, lines);
    if (app == kXdataAttrs) {
      if (lines.size() > 2) data.extraAttrs.assign(lines.begin() + 2, lines.end());
      continue;
    }
    if (!lines.empty()) data.apps.emplace_back(app, std::move(lines));
  }
  return data;
}

void ApplyCarriedData(cad::ObjectId id, const CarriedData& data) {
  if (id.isNull()) return;
  for (const auto& [app, lines] : data.apps) {
    StringArray copy = lines;
    ClearXdata(id, app);
    SetXdataLines(id, app, copy, nullptr);
  }
  if (!data.extraAttrs.empty()) {
    StringArray copy = data.extraAttrs;
    SetXdataLines(id, kXdataAttrs, copy, nullptr);
  }
}

void ErasePickedRun(const std::wstring& name, const PickedRun& picked, DecorateGjCb decorate) {
  cad::ObjectIdArray gone = picked.decorations;
  gone.push_back(picked.run);
  EraseEntities(gone);
  OverlapCheckOff keepCopies;
  for (cad::ObjectId id : picked.others) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.empty()) continue;
    attrs.front() = GetHandleText(id);
    ClearXdata(id, kXdataAttrs);
    SetXdataLines(id, kXdataAttrs, attrs, nullptr);
    if (decorate) decorate(name, id);
  }
}

PickedRun MergePicked(const PickedRun& first, const PickedRun& second) {
  PickedRun both = first;
  auto add = [](cad::ObjectIdArray& to, cad::ObjectId id) {
    if (std::find(to.begin(), to.end(), id) == to.end()) to.push_back(id);
  };
  for (cad::ObjectId id : second.decorations) add(both.decorations, id);
  add(both.decorations, second.run);
  for (cad::ObjectId id : second.others) add(both.others, id);
  std::erase_if(both.others, [&](cad::ObjectId id) { return id == first.run || id == second.run; });
  return both;
}

void RunPipeEditor(const wchar_t* types, const wchar_t* defaultType, void (*engine)(const std::wstring& types)) {
  PrepareGjCombos(types, defaultType);
  const GjPair pair = LayoutPairOf(GjPairKind::Pipe);
  g_createGjCb = pair.create;
  g_decorateGjCb = pair.decorate;
  engine(types);
}

cad::ObjectId RemakeRun(CreateGjCb create, DecorateGjCb decorate, const std::wstring& name,
                        const std::wstring& number, const geom::Point3d& start, const geom::Point3d& end,
                        double bulge, int vertical, const CarriedData& data) {
  if (!create) return {};
  const cad::ObjectId id = create(name, number, start, end, bulge, vertical);
  if (id.isNull()) return id;
  ApplyCarriedData(id, data);
  if (decorate) decorate(name, id);
  RefreshSolid3dOfEntity(name, id, cad::workingDatabase());
  return id;
}

}  // namespace runedit
