// The lightning band along the outer walls: the wall curves become regions,
// united into the building's outline; the outline's curves are joined into
// closed loops, and each outer loop, offset inwards, gets one band segment
// per edge (arcs stay arcs).
#include <cmath>
#include <memory>
#include <vector>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/layout/run_edit.h"
#include "module/model/component_types.h"
#include "module/model/current_gj.h"
#include "module/model/seams.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/window_lib.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/ui/dialog.h"

namespace {

constexpr const wchar_t* kBandName = L"避雷带";
constexpr const wchar_t* kNoOutline = L"没有搜索到封闭的外墙边线！";
constexpr double kJoinTolerance = 1.0;

using Pieces = std::vector<std::unique_ptr<cad::Entity>>;

// The curves of an entity's explode; pieces that are regions again (the
// faces of a region of several) are exploded in turn, down to their lines
// and arcs.
void explodeToCurves(const cad::Entity& ent, Pieces& curves) {
  Pieces pieces;
  if (ent.explode(pieces) != cad::Status::Ok) return;
  for (auto& piece : pieces) {
    if (cad::isKindOf<cad::Region>(piece.get()))
      explodeToCurves(*piece, curves);
    else if (dynamic_cast<cad::Curve*>(piece.get()))
      curves.push_back(std::move(piece));
  }
}

// The outline of the walls, united; empty when the walls close no area.
Pieces wallOutline() {
  StringArray types;
  ExpandGjCategories(L"墙", types);
  std::wstring layers;
  JoinArray(types, L",", layers);
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(layers, L"", ids, nullptr);

  // The wall curves are only read, and closed again on every way out.
  std::vector<cad::ObjectPtr<cad::Entity>> open;
  std::vector<const cad::Curve*> curves;
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) continue;
    if (auto* c = dynamic_cast<const cad::Curve*>(ent.get())) {
      curves.push_back(c);
      open.push_back(std::move(ent));
    }
  }
  std::vector<std::unique_ptr<cad::Region>> regions;
  if (curves.empty() || cad::Region::createFromCurves(curves, regions) != cad::Status::Ok || regions.empty())
    return {};
  open.clear();
  for (size_t i = 1; i < regions.size(); ++i) regions.front()->booleanOper(cad::Region::BoolOp::Unite, *regions[i]);
  Pieces outline;
  explodeToCurves(*regions.front(), outline);
  return outline;
}

struct Loop {
  PointList pts;
  BulgeList bulges;  // one per point; the last starts no segment
};

bool same(const geom::Point3d& a, const geom::Point3d& b) {
  return std::hypot(a.x - b.x, a.y - b.y) <= kJoinTolerance;
}

void reverse(Loop& l) {
  const size_t n = l.pts.size();
  Loop r;
  for (size_t i = n; i-- > 0;) {
    r.pts.push_back(l.pts[i]);
    r.bulges.push_back(i > 0 ? -l.bulges[i - 1] : 0);
  }
  l = std::move(r);
}

// Appends c after l; c's start is l's end and is kept once.
void append(Loop& l, const Loop& c) {
  l.bulges.back() = c.bulges.front();
  for (size_t k = 1; k < c.pts.size(); ++k) {
    l.pts.push_back(c.pts[k]);
    l.bulges.push_back(c.bulges[k]);
  }
}

// Joins the curves' vertex lists into loops (first match wins, as the
// curves come).
std::vector<Loop> joinLoops(std::vector<Loop> curves) {
  std::vector<Loop> loops;
  while (!curves.empty()) {
    Loop loop = std::move(curves.front());
    curves.erase(curves.begin());
    if (loop.pts.size() < 2) continue;
    for (bool joined = true; joined;) {
      joined = false;
      for (size_t i = 0; i < curves.size(); ++i) {
        Loop c = curves[i];
        if (c.pts.size() < 2) continue;
        const geom::Point3d &ls = loop.pts.front(), &le = loop.pts.back();
        const geom::Point3d &cs = c.pts.front(), &ce = c.pts.back();
        if (same(cs, le)) {
          append(loop, c);
        } else if (same(cs, ls)) {
          reverse(loop);
          append(loop, c);
        } else if (same(ce, ls)) {
          append(c, loop);
          loop = std::move(c);
        } else if (same(ce, le)) {
          reverse(c);
          append(loop, c);
        } else {
          continue;
        }
        curves.erase(curves.begin() + long(i));
        joined = true;
        break;
      }
    }
    if (loop.pts.size() > 2 && same(loop.pts.front(), loop.pts.back())) {
      loop.pts.pop_back();
      loop.bulges.pop_back();
    }
    loops.push_back(std::move(loop));
  }
  return loops;
}

// A loop inside an odd number of the others bounds a hole of the outline
// (a courtyard, or the inner face of walls drawn as outlines): it gets no
// band of its own.
bool isHole(const std::vector<Loop>& loops, size_t i) {
  const Loop& l = loops[i];
  const geom::Point3d probe = GetSegmentMidPoint(l.pts[0], l.pts[1], l.bulges[0]);
  int inside = 0;
  for (size_t j = 0; j < loops.size(); ++j)
    if (j != i && loops[j].pts.size() > 2 && IsPointInOutline(loops[j].pts, loops[j].bulges, probe)) ++inside;
  return inside % 2 == 1;
}

// The band segments along one loop offset inwards by d at elevation z.
void layBand(const Loop& loop, double d, double z, const std::wstring& number) {
  std::unique_ptr<cad::Polyline> poly = MakePolyline(loop.pts, loop.bulges, true, kDefaultWidth);
  if (!poly) return;
  const double dist = IsOutlineCounterClockwise(loop.pts, loop.bulges) ? -d : d;
  Pieces offsets;
  if (poly->getOffsetCurves(dist, offsets) != cad::Status::Ok) return;
  for (const auto& curve : offsets) {
    PointList pts;
    BulgeList bulges;
    GetEntityVerticesOpen(curve.get(), pts, bulges);
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
      const cad::ObjectId id =
          CreatePipeGj(kBandName, number, geom::Point3d(pts[i].x, pts[i].y, z),
                       geom::Point3d(pts[i + 1].x, pts[i + 1].y, z), i < bulges.size() ? bulges[i] : 0, 0);
      DecorateConduitGj(kBandName, id);
      RefreshSolid3dOfEntity(kBandName, id, cad::workingDatabase());
    }
  }
}

// Asks for a real; Enter gives the default. False on cancel.
bool askReal(const wchar_t* prompt, double fallback, double& value) {
  const int rc = ed::getReal(prompt, value);
  if (rc == ed::kNone) value = fallback;
  return rc == ed::kNone || rc == ed::kNormal;
}

}  // namespace

void LayLBandAlongOuterWalls() {
  if (!LoadCurGjDefine()) return;
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);

  Pieces outline = wallOutline();
  if (outline.empty()) {
    ui::AfxMessageBox(kNoOutline);
    return;
  }
  // The outline is shown on the band's layer while the user answers.
  cad::ObjectIdArray shown;
  std::vector<Loop> curves;
  for (auto& curve : outline) {
    Loop c;
    GetEntityVerticesOpen(curve.get(), c.pts, c.bulges);
    c.bulges.resize(c.pts.size(), 0);
    curves.push_back(std::move(c));
    cad::Entity* raw = curve.get();
    const cad::ObjectId id = AppendToModelSpace(std::move(curve), kBandName, nullptr);
    if (id.isNull()) continue;
    raw->close();
    shown.push_back(id);
  }
  HighlightEntities(shown, 1);
  double z = 0, d = 120;
  const bool answered = askReal(L"\n指定避雷带标高<0>:", 0, z) && askReal(L"\n指定外墙中线向内偏移量<120>:", 120, d);
  HighlightEntities(shown, 0);
  EraseEntities(shown);
  if (!answered) return;

  const std::vector<Loop> loops = joinLoops(std::move(curves));
  for (size_t i = 0; i < loops.size(); ++i) {
    if (loops[i].pts.size() < 2 || isHole(loops, i)) continue;
    layBand(loops[i], d, z, number);
  }
}

void CmdLBand_Auto() {
  PrepareGjCombos(kBandName, kBandName);
  if (!LayoutDefinitionAvailable(kBandName, kBandName, false)) return;
  LayLBandAlongOuterWalls();
}
