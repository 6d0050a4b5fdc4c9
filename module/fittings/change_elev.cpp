// KivChangeElev: the user chooses components of one kind (point components,
// or runs: sloped runs, risers, runs through floors) and gives them new
// elevations in one step. The risers ending at a changed point component and
// the accessories lying on a changed run follow. Every changed component is
// rebuilt by its family's routine, which redraws its decorations and its 3D
// twin.
#include "module/fittings/change_elev.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "module/fittings/fittings_commands.h"
#include "module/fittings/fitting_common.h"
#include "module/layout/rebuild_gj.h"
#include "module/model/component_types.h"
#include "module/model/linear_entities.h"
#include "module/model/picking.h"
#include "module/model/point_steps.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/suite/suite_abi.h"

namespace {

using geom::Point3d;
using geom::Vector3d;

// A follower belongs to an end when it lies within these of it.
constexpr double kSameLevel = 10.0;
constexpr double kNearEnd = 300.0;
// Components already this close to the new elevation are left alone; an
// accessory lies on a run when its detour is at most this.
constexpr double kUnchanged = 10.0;
constexpr double kOnRun = 10.0;

std::wstring kindOf(cad::ObjectId id) {
  StringArray lines;
  GetXdataLines(id, kXdataSpecial, lines);
  std::wstring kind;
  FindAttrValue(lines, L"类型", kind);
  return kind;
}

void removeFirst(cad::ObjectIdArray& list, cad::ObjectId id) {
  auto it = std::find(list.begin(), list.end(), id);
  if (it != list.end()) list.erase(it);
}

bool contains(const cad::ObjectIdArray& list, cad::ObjectId id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

cad::ObjectIdArray primaries(const cad::ObjectIdArray& ids) {
  cad::ObjectIdArray out;
  FilterPrimaryGjIds(out, ids);
  return out;
}

// The components to rebuild, by layer in the order of first appearance.
struct RebuildGroups {
  StringArray layers;
  std::vector<cad::ObjectIdArray> ids;
  void add(cad::ObjectId id) {
    const std::wstring layer = LayerOf(id);
    auto it = std::find(layers.begin(), layers.end(), layer);
    if (it == layers.end()) {
      layers.push_back(layer);
      ids.emplace_back();
      it = layers.end() - 1;
    }
    ids[std::size_t(it - layers.begin())].push_back(id);
  }
};

// Erases the old decorations and twins of the changed components and rebuilds
// every group, the last first.
void eraseAndRebuild(const cad::ObjectIdArray& changed, const cad::ObjectIdArray& candidates,
                     const RebuildGroups& groups) {
  cad::ObjectIdArray doomed;
  CollectSameGjIds(changed, candidates, doomed);
  const std::unordered_set<cad::ObjectId> keep(changed.begin(), changed.end());
  doomed.erase(std::remove_if(doomed.begin(), doomed.end(), [&](cad::ObjectId id) { return keep.count(id) > 0; }),
               doomed.end());
  std::sort(doomed.begin(), doomed.end());
  doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
  EraseEntities(doomed);
  for (std::size_t g = groups.layers.size(); g-- > 0;) RebuildGjByType(groups.layers[g], L"", groups.ids[g]);
}

bool askTwoElevations(double& start, double& end) {
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  return SuiteCall<decltype(WinDll_ChangeTwoElev_W)>::call(SuiteModule::Window, "WinDll_ChangeTwoElev_W",
                                                           (unsigned char)0, 1, x, y, &start, &end) != 0;
}

}  // namespace

void ChangePointGjElev(cad::ObjectIdArray highlight, cad::ObjectIdArray chosen) {
  if (chosen.empty()) return;
  double elevation = 0;
  GetPointGjSpecial(chosen.front(), nullptr, &elevation, nullptr);
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  if (!winlib::ChangeOneElev(1, x, y, elevation)) return;

  // The risers of the follower types, under their two ends.
  StringArray types;
  ExpandGjCategories(L"管道,水管,风管,管线", types);
  types.push_back(L"电缆");
  std::wstring typeList;
  JoinArray(types, L",", typeList);
  struct Riser {
    cad::ObjectId id;
    Point3d s, e;
    double newS, newE;
    bool moved = false;
  };
  std::vector<Riser> risers;
  PointGrid3d riserEnds(kNearEnd);
  {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(typeList, L"", ids, nullptr);
    for (cad::ObjectId id : ids) {
      Point3d s, e;
      if (!GetGjEndPoints3d(id, s, e) || s.toPlan().distanceTo(e.toPlan()) >= 1) continue;
      riserEnds.add(s, risers.size());
      riserEnds.add(e, risers.size());
      risers.push_back({id, s, e, s.z, e.z, false});
    }
  }
  cad::ObjectIdArray candidates;
  {
    StringArray layers = types;
    for (std::size_t i = types.size(); i-- > 0;)
      for (const wchar_t* suffix : {L"名", L"边线", L"3D"}) layers.push_back(types[i] + suffix);
    std::wstring list;
    JoinArray(layers, L",", list);
    CollectIdsByLayerAndNumber(list, L"", candidates, nullptr);
    candidates.insert(candidates.end(), highlight.begin(), highlight.end());
  }

  MeterScope meter(L"重建构件", int(chosen.size()));
  RebuildGroups groups;
  cad::ObjectIdArray changed;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    meter.at(int(i));
    const cad::ObjectId c = chosen[i];
    Point3d p;
    if (!IsPointGj(c, p) || std::fabs(p.z - elevation) < kUnchanged) continue;
    std::vector<std::size_t> near = riserEnds.near(p, kNearEnd, true);
    near.erase(std::unique(near.begin(), near.end()), near.end());
    for (std::size_t r : near) {
      Riser& riser = risers[r];
      if (std::fabs(riser.s.z - p.z) < kSameLevel && riser.s.distanceTo(p) < kNearEnd)
        riser.newS = elevation;
      else if (std::fabs(riser.e.z - p.z) < kSameLevel && riser.e.distanceTo(p) < kNearEnd)
        riser.newE = elevation;
      else
        continue;
      riser.moved = true;
    }
    if (SetPointGjSpecial(nullptr, c, &elevation, nullptr)) {
      groups.add(c);
      changed.push_back(c);
    }
  }
  // Each riser is written once, with both of its ends as they now stand.
  for (Riser& r : risers)
    if (r.moved && SetGjSpecial(nullptr, nullptr, r.id, &r.newS, &r.newE)) {
      groups.add(r.id);
      changed.push_back(r.id);
    }
  eraseAndRebuild(changed, candidates, groups);
}

void ChangeLinearGjElev(const cad::ObjectIdArray& highlight, const cad::ObjectIdArray& chosen) {
  if (chosen.empty()) return;
  std::wstring kind;
  double start = 0, end = 0;
  GetGjSpecial(chosen.front(), &kind, &start, &end);
  if (!askTwoElevations(start, end)) return;

  struct Accessory {
    cad::ObjectId id;
    Point3d at;
    bool moved = false;
  };
  std::vector<Accessory> accessories;
  SegmentBoxIndex accessoryIndex;
  {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(CategoryTypeList(L"管道附件,水暖附件"), L"", ids, nullptr);
    for (cad::ObjectId id : ids) {
      Point3d p;
      if (!IsPointGj(id, p)) continue;
      accessoryIndex.add(p, p, accessories.size());
      accessories.push_back({id, p, false});
    }
  }

  MeterScope meter(L"重建构件", int(chosen.size()));
  RebuildGroups groups;
  cad::ObjectIdArray changed;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    meter.at(int(i));
    const cad::ObjectId c = chosen[i];
    Point3d s, e;
    if (!GetGjEndPoints3d(c, s, e)) continue;
    const double margin = kind == kGjKindRiser ? kNearEnd : DetourReach(s.distanceTo(e), kOnRun);
    for (std::size_t k : accessoryIndex.query(s, e, margin)) {
      Accessory& a = accessories[k];
      if (a.moved) continue;
      const Point3d& p = a.at;
      double z = 0;
      const Vector3d* rotation = nullptr;
      Vector3d direction;
      if (kind == kGjKindSloped) {
        if (p.distanceTo(e) + p.distanceTo(s) - s.distanceTo(e) > kOnRun) continue;
        const double length = s.toPlan().distanceTo(e.toPlan());
        // A sloped run with no plan length has no slope to follow: its
        // accessories take the start elevation.
        z = length > 0 ? start + s.toPlan().distanceTo(p.toPlan()) * (end - start) / length : start;
        direction = end > start ? Vector3d(e.x - s.x, e.y - s.y, end - start)
                                : Vector3d(s.x - e.x, s.y - e.y, start - end);
        rotation = &direction;
      } else if (kind == kGjKindRiser) {
        if (std::fabs(s.z - p.z) < kSameLevel && s.distanceTo(p) < kNearEnd)
          z = start;
        else if (std::fabs(e.z - p.z) < kSameLevel && e.distanceTo(p) < kNearEnd)
          z = end;
        else
          continue;
      } else {
        continue;  // runs through floors carry no accessories along
      }
      if (SetPointGjSpecial(nullptr, a.id, &z, rotation)) {
        a.moved = true;
        groups.add(a.id);
      }
    }
    if (SetGjSpecial(nullptr, nullptr, c, &start, &end)) {
      groups.add(c);
      changed.push_back(c);
    }
  }
  eraseAndRebuild(changed, highlight, groups);
}

void CmdKivChangeElev() {
  static const struct {
    const wchar_t* prompt;
    const wchar_t* keywords;
  } kModes[] = {
      {L"\n单选构件（再次选中已选构件，等同于删除选择）[按编号拾取(B)/按构件拾取(G)]:", L"B G A"},
      {L"\n按编号拾取（选中已选构件，等同于删除选择）[单选构件(S)/按构件拾取(G)]:", L"S G A"},
      {L"\n按构件拾取（选中已选构件，等同于删除选择）[单选构件(S)/按编号拾取(B)]:", L"S B A"},
  };
  int mode = 0;
  std::wstring chosenKind;
  cad::ObjectIdArray chosen, highlight;

  // The right button acts as Enter while picking; the user's setting comes
  // back afterwards.
  const std::optional<int> shortcutMenu = ed::getVarInt(L"SHORTCUTMENU");
  ScopeExit restoreMenu([&] {
    if (shortcutMenu) ed::setVar(L"SHORTCUTMENU", *shortcutMenu);
  });
  ScopedWinMsgWatch watch(WatchClickProc);
  for (;;) {
    g_clickWatchFlag = 0;
    ed::initGet(0, kModes[mode].keywords);
    ed::setVar(L"SHORTCUTMENU", 0);
    cad::ObjectIdArray picked, sameNumber, layerIds;
    Point3d point;
    const int rc = PickGj(L"", picked, sameNumber, layerIds, point, kModes[mode].prompt, false);
    if (shortcutMenu) ed::setVar(L"SHORTCUTMENU", *shortcutMenu);
    if (rc == ed::kCancel) break;
    if (rc == ed::kKeyword) {
      std::wstring kw;
      ed::getInput(kw);
      if (kw == L"S") mode = 0;
      if (kw == L"B") mode = 1;
      if (kw == L"G") mode = 2;
      continue;
    }
    if (rc != ed::kNormal) break;

    cad::ObjectIdArray prim = primaries(picked);
    // A component picked again is dropped from the choice (with its number
    // or layer in those modes).
    bool dropped = false;
    for (std::size_t i = prim.size(); i-- > 0;) {
      const cad::ObjectId p = prim[i];
      if (!contains(chosen, p)) continue;
      dropped = true;
      HighlightEntities(picked, 0);
      chosen.erase(std::remove(chosen.begin(), chosen.end(), p), chosen.end());
      prim.erase(prim.begin() + std::ptrdiff_t(i));
      for (cad::ObjectId id : picked) removeFirst(highlight, id);
      if (mode == 1) {
        cad::ObjectIdArray same;
        for (cad::ObjectId q : primaries(sameNumber))
          if (kindOf(q) == chosenKind) {
            same.push_back(q);
            chosen.erase(std::remove(chosen.begin(), chosen.end(), q), chosen.end());
          }
        cad::ObjectIdArray r;
        CollectSameGjIds(same, sameNumber, r);
        for (cad::ObjectId id : r) removeFirst(highlight, id);
        HighlightEntities(r, 0);
      } else if (mode == 2) {
        HighlightEntities(layerIds, 0);
        for (cad::ObjectId id : layerIds) {
          chosen.erase(std::remove(chosen.begin(), chosen.end(), id), chosen.end());
          removeFirst(highlight, id);
        }
      }
    }
    if (prim.empty()) {
      if (!dropped) HighlightEntities(picked, 0);
      continue;
    }

    const std::wstring kind = kindOf(prim.front());
    if (chosen.empty()) {
      chosenKind = kind;
    } else if (kind != chosenKind) {
      HighlightEntities(picked, 0);
      ed::print(L"\n已选择了%ls类型的构件，不支持选择%ls类型的构件同时进行修改！！！\n", chosenKind.c_str(),
                kind.c_str());
      continue;
    }
    // Each component is chosen once, however it was reached.
    auto choose = [&](cad::ObjectId p) {
      if (contains(chosen, p)) return false;
      chosen.push_back(p);
      return true;
    };
    for (cad::ObjectId p : prim) {
      if (kindOf(p) != chosenKind) {
        HighlightEntities(picked, 0);
        continue;
      }
      cad::ObjectIdArray r;
      CollectSameGjIdsOf(picked, p, r);
      HighlightEntities(r, 1);
      highlight.insert(highlight.end(), r.begin(), r.end());
      choose(p);
      removeFirst(sameNumber, p);
      removeFirst(layerIds, p);
    }
    if (mode == 1) {
      for (cad::ObjectId q : primaries(sameNumber))
        if (kindOf(q) == chosenKind) choose(q);
      cad::ObjectIdArray r;
      CollectSameGjIds(chosen, sameNumber, r);
      highlight.insert(highlight.end(), r.begin(), r.end());
      HighlightEntities(r, 1);
    } else if (mode == 2) {
      for (cad::ObjectId q : primaries(layerIds))
        if (kindOf(q) == chosenKind) choose(q);
      highlight.insert(highlight.end(), layerIds.begin(), layerIds.end());
      HighlightEntities(layerIds, 1);
    }
  }

  if (g_clickWatchFlag == 2 && !chosen.empty()) {
    if (chosenKind == kGjKindSloped || chosenKind == kGjKindRiser || chosenKind == kGjKindThrough)
      ChangeLinearGjElev(highlight, chosen);
    else if (chosenKind == kGjKindPoint)
      ChangePointGjElev(highlight, chosen);
  }
  HighlightEntities(highlight, 0);
}
