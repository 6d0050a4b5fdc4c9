// GPS_ValidCheck and DQ_ValidCheck: every loose point of the floor's plumbing
// or electrical drawing gets a red warning marker (an exclamation mark in a
// rounded triangle) on the check's own layer; each run first erases the
// markers of the one before.
//
// A point is loose when nothing that should connect to it lies closer than
// 30 (3D). A device (fixture, equipment, box, lamp) serves every end that
// reaches it; it is marked only when no end reaches it.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "module/fittings/valid_check.h"

#include "module/fittings/fittings_commands.h"
#include "module/fittings/fitting_common.h"
#include "module/model/point_blocks.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/color.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"

namespace {

using geom::Point3d;

constexpr double kReach = 30.0;
constexpr int kRed = 1;

// The primary entities of the categories' types.
cad::ObjectIdArray primariesOf(const std::wstring& categories) {
  cad::ObjectIdArray ids, primaries;
  CollectIdsByLayerAndNumber(CategoryTypeList(categories), L"", ids, nullptr);
  FilterPrimaryGjIds(primaries, ids);
  return primaries;
}

// The points of a category's point components, in collection order.
struct Points {
  std::vector<Point3d> at;
  std::vector<bool> reached;
  PointGrid3d grid{kReach};
  explicit Points(const std::wstring& categories) {
    for (cad::ObjectId id : primariesOf(categories)) {
      Point3d p;
      if (!IsPointGj(id, p)) continue;
      grid.add(p, at.size());
      at.push_back(p);
    }
    reached.assign(at.size(), false);
  }
  // Every point closer than 30 counts as reached; true when there is one.
  bool reach(const Point3d& p) {
    const auto near = grid.near(p, kReach, true);
    for (std::size_t i : near) reached[i] = true;
    return !near.empty();
  }
};

// The two ends of the category's runs.
struct Ends {
  std::vector<Point3d> start, end;
  PointGrid3d grid{kReach};  // slot 2k: start of run k, 2k + 1: its end
  explicit Ends(const std::wstring& categories) {
    for (cad::ObjectId id : primariesOf(categories)) {
      Point3d s, e;
      if (!GetGjEndPoints3d(id, s, e)) continue;
      grid.add(s, 2 * start.size());
      grid.add(e, 2 * start.size() + 1);
      start.push_back(s);
      end.push_back(e);
    }
  }
  // An end of a run other than k closer than 30 to p.
  bool otherEndNear(const Point3d& p, std::size_t k) const {
    for (std::size_t slot : grid.near(p, kReach, true))
      if (slot / 2 != k) return true;
    return false;
  }
};

std::unique_ptr<cad::Polyline> markerPolyline(std::initializer_list<std::pair<geom::Point2d, double>> verts,
                                              bool closed, double width) {
  auto pl = std::make_unique<cad::Polyline>();
  unsigned i = 0;
  for (const auto& [p, bulge] : verts) pl->addVertexAt(i++, p, bulge);
  pl->setClosed(closed);
  if (width >= 0) pl->setConstantWidth(width);
  pl->setColorIndex(kRed);
  return pl;
}

// The marker's layer (red) and block, made once per drawing.
void ensureMarker(const std::wstring& name) {
  cad::Database* db = cad::workingDatabase();
  if (!db) return;
  if (db->layerId(name).isNull()) {
    GetOrCreateLayer(name, db);
    SetLayerColor(name, cad::Color::fromIndex(kRed), db);
  }
  if (!db->blockId(name).isNull() || EnsureGjBlockDef(L"", name, 0) != 1) return;
  cad::ObjectPtr<cad::BlockRecord> block(db->blockId(name), cad::OpenMode::ForWrite);
  if (!block) return;
  const double b = 2.0 / 3.0;
  block->appendEntity(markerPolyline({{{30, -20}, b},
                                      {{32.3205, -15.9808}, 0},
                                      {{2.3205, 35.9808}, b},
                                      {{-2.3205, 35.9808}, 0},
                                      {{-32.3205, -15.9808}, b},
                                      {{-30, -20}, 0},
                                      {{30, -20}, 0}},
                                     true, 2));
  block->appendEntity(markerPolyline({{{2, 20}, 1}, {{-2, 20}, 1}, {{2, 20}, 0}}, true, 4));
  auto wedge = markerPolyline({{{0, 20}, 0}, {{0, -4}, 0}}, false, -1);
  wedge->setWidthsAt(0, 8, 0);
  block->appendEntity(std::move(wedge));
  block->appendEntity(markerPolyline({{{2, -10}, 1}, {{-2, -10}, 1}, {{2, -10}, 0}}, true, 4));
}

}  // namespace

void InsertPromptMarker(const std::wstring& name, const Point3d& point) {
  ensureMarker(name);
  const cad::ObjectId id = InsertBlockRef(name, point, 0.0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), name, nullptr);
  if (id.isNull()) return;
  cad::ObjectPtr<cad::Entity> ref(id, cad::OpenMode::ForWrite);
  if (ref) ref->setColorIndex(kRed);
}

void CmdGPS_ValidCheck() {
  const std::wstring marker = L"marl_gps_prompt";
  EraseLayerEntities(marker);
  Ends pipes(L"管道");
  Points fittings(L"管道配件"), accessories(L"管道附件"), equipment(L"设备"), fixtures(L"卫生器具");
  auto testEnd = [&](const Point3d& p) {
    // Every kind is asked, so that a device learns that an end reached it.
    bool ok = fittings.reach(p);
    ok = accessories.reach(p) || ok;
    ok = equipment.reach(p) || ok;
    ok = fixtures.reach(p) || ok;
    if (!ok) InsertPromptMarker(marker, p);
  };
  for (const Point3d& s : pipes.start) testEnd(s);
  for (const Point3d& e : pipes.end) testEnd(e);

  // An accessory that no end reached is still in line when it sits on a run.
  SegmentBoxIndex runs;
  double longest = 0;
  for (std::size_t k = 0; k < pipes.start.size(); ++k) {
    runs.add(pipes.start[k], pipes.end[k], k);
    longest = std::max(longest, pipes.start[k].distanceTo(pipes.end[k]));
  }
  const double reach = DetourReach(longest, kReach);
  for (std::size_t i = 0; i < accessories.at.size(); ++i) {
    if (accessories.reached[i]) continue;
    const Point3d& a = accessories.at[i];
    bool inLine = false;
    for (std::size_t k : runs.query(a, a, reach)) {
      const Point3d &s = pipes.start[k], &e = pipes.end[k];
      if (std::abs(a.distanceTo(s) + a.distanceTo(e) - s.distanceTo(e)) <= kReach) {
        inLine = true;
        break;
      }
    }
    if (!inLine) InsertPromptMarker(marker, a);
  }
  // Fittings, equipment and fixtures that no end reached.
  for (Points* kind : {&fittings, &equipment, &fixtures})
    for (std::size_t i = 0; i < kind->at.size(); ++i)
      if (!kind->reached[i]) InsertPromptMarker(marker, kind->at[i]);
}

void CmdDQ_ValidCheck() {
  const std::wstring marker = L"marl_dq_prompt";
  EraseLayerEntities(marker);
  Ends lines(L"管线");
  Points boxes(L"设备、箱柜"), lighting(L"照明器具");
  auto testEnd = [&](const Point3d& p, std::size_t k) {
    bool ok = boxes.reach(p);
    ok = lighting.reach(p) || ok;
    if (!ok && !lines.otherEndNear(p, k)) InsertPromptMarker(marker, p);
  };
  for (std::size_t k = 0; k < lines.start.size(); ++k) testEnd(lines.start[k], k);
  for (std::size_t k = 0; k < lines.end.size(); ++k) testEnd(lines.end[k], k);
  for (Points* kind : {&boxes, &lighting})
    for (std::size_t i = 0; i < kind->at.size(); ++i)
      if (!kind->reached[i]) InsertPromptMarker(marker, kind->at[i]);
}
