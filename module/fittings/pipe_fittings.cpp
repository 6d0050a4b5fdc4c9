#include "module/fittings/pipe_fittings.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <unordered_map>
#include <unordered_set>

#include "module/fittings/fitting_common.h"
#include "module/fittings/pipe_break.h"
#include "module/model/point_blocks.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"

namespace {

using geom::Point3d;
using geom::Vector3d;

// Ends closer than or at this meet; old fittings and taps closer than this
// (strictly) belong to an end.
constexpr double kJunctionReach = 10.0;
constexpr double kBarLength = 50.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBarDistance = 50.0;
inline constexpr const wchar_t* kDiameterKey = L"公称管径D_0(mm)";

struct Junction {
  Point3d point;
  std::vector<Vector3d> directions;
  std::vector<double> diameters;
  cad::ObjectIdArray members;
  std::size_t tapArms = 0;  // the leading arms that point into taps
  void addArm(const Vector3d& v, double d, cad::ObjectId member) {
    directions.push_back(v);
    diameters.push_back(d);
    members.push_back(member);
  }
};

// The plan angle of a direction, counter-clockwise from -x, in [0, 2pi).
double armAngle(const Vector3d& v) {
  const double a = std::atan2(v.y, v.x) + kPi;
  return a >= 2 * kPi ? a - 2 * kPi : a;
}

// The pipe arms of a junction in an order of their own, whatever order the
// pipes came in (their handles, the collection order): the larger diameter
// first, then counter-clockwise from -x, then downwards before upwards. A
// tap arm stays first. So a second run over the same pipes gives the same
// fittings the same numbers.
void orderArms(Junction& jn) {
  const std::size_t n = jn.directions.size();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  constexpr double eps = 1e-9;
  std::stable_sort(order.begin() + std::ptrdiff_t(std::min(jn.tapArms, n)), order.end(),
                   [&](std::size_t a, std::size_t b) {
                     const double da = jn.diameters[a], db = jn.diameters[b];
                     if (std::fabs(da - db) > eps) return da > db;
                     const double aa = armAngle(jn.directions[a]), ab = armAngle(jn.directions[b]);
                     if (std::fabs(aa - ab) > eps) return aa < ab;
                     return jn.directions[a].z < jn.directions[b].z - eps;
                   });
  std::vector<Vector3d> directions(n);
  std::vector<double> diameters(n);
  for (std::size_t i = 0; i < n; ++i) {
    directions[i] = jn.directions[order[i]];
    diameters[i] = jn.diameters[order[i]];
  }
  jn.directions.swap(directions);
  jn.diameters.swap(diameters);
}

struct Tap {
  cad::ObjectId id;
  Point3d position;
  double rotation = 0;
  bool used = false;
};

struct OldFitting {
  cad::ObjectId id;
  std::wstring handle;
  bool erased = false;
};

// The nominal diameter of a pipe number; 0 when its row has none.
double diameterOf(FloorParams& params, const std::wstring& layer, const std::wstring& number) {
  const StringArray* lines = params.of(layer, number);
  if (!lines) return 0.0;
  const std::wstring text = GetAttrValue(*lines, kDiameterKey);
  return text.empty() ? 0.0 : std::wcstod(text.c_str(), nullptr);
}

std::wstring numberOf(cad::ObjectId id) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  return number;
}

// Replaces the entity's fitting links by the lines.
void writeLinks(cad::ObjectId id, StringArray lines) {
  ClearXdata(id, kXdataFittingLinks);
  if (!lines.empty()) SetXdataLines(id, kXdataFittingLinks, lines, nullptr);
}

}  // namespace

std::wstring FittingWord(std::size_t arms) {
  switch (arms) {
    case 1: return L"堵头";
    case 2: return L"弯头";
    case 3: return L"三通";
    case 4: return L"四通";
    default: return L"";
  }
}

cad::ObjectId CreatePipeFitting(const std::vector<Vector3d>& directions, const std::vector<double>& diameters,
                                const std::wstring& word, cad::Database* db, const Point3d& point) {
  const std::size_t n = directions.size();
  if (n != diameters.size() || FittingWord(n).empty()) return {};
  const std::wstring type = word + FittingWord(n);
  const std::wstring blockName = L"sys$" + type;
  const double k = n == 1 ? 0.0 : kBarDistance;
  EnsureGjBlockDef(type, blockName, 0);
  GetOrCreateLayer(type, db);
  const cad::ObjectId fitting =
      InsertBlockRef(blockName, point, 0.0, cad::Scale3d{}, Vector3d(0, 0, 1), type, db);

  StringArray rows;
  std::wstring number = type + L"-";
  cad::ObjectIdArray bars;
  for (std::size_t i = 0; i < n; ++i) {
    const Vector3d& v = directions[i];
    wchar_t row[160];
    // (+ 0.0 writes a negative zero as 0.000000)
    std::swprintf(row, 160, L"%f,%f,%f,%f", v.x + 0.0, v.y + 0.0, v.z + 0.0, diameters[i] + 0.0);
    rows.push_back(row);
    number += FormatNumber(diameters[i], 0) + (i + 1 < n ? L"*" : L"");
    const Vector3d u = v.perpVector().normal() * (kBarLength / 2);
    const Point3d o = point + v * k;
    bars.push_back(AddLine(o + u, o - u, type + L"边线", db));
  }

  const std::wstring handle = GetHandleText(fitting);
  if (fitting.isNull() || !SetGjXdata(fitting, number, handle, db)) {
    EraseEntity(fitting);
    EraseEntities(bars);
    return {};
  }
  for (cad::ObjectId bar : bars) SetGjXdata(bar, number, handle, db);
  SetXdataLines(fitting, kXdataFittingArms, rows, db);
  // The elevation of the junction too, so that the fitting reads back as a
  // point component where it stands.
  wchar_t elev[64];
  std::swprintf(elev, 64, L"标高=%.1f", point.z);
  StringArray special{std::wstring(L"类型=") + kGjKindPoint, elev};
  SetXdataLines(fitting, kXdataSpecial, special, db);
  RefreshSolid3dOfEntity(type, fitting, db);
  return fitting;
}

int GeneratePipeFittings(const std::wstring& word, cad::ObjectIdArray ids) {
  // 1. The pipes by layer, in the order of first appearance.
  StringArray layers;
  std::vector<cad::ObjectIdArray> groups;
  std::vector<std::pair<cad::ObjectId, std::wstring>> pipes;
  {
    std::unordered_set<cad::ObjectId> seen;
    for (cad::ObjectId id : ids) {
      if (!seen.insert(id).second) continue;
      const std::wstring layer = LayerOf(id);
      if (layer.empty()) continue;
      auto it = std::find(layers.begin(), layers.end(), layer);
      if (it == layers.end()) {
        layers.push_back(layer);
        groups.emplace_back();
        it = layers.end() - 1;
      }
      groups[std::size_t(it - layers.begin())].push_back(id);
      pipes.emplace_back(id, layer);
    }
  }
  std::unordered_set<cad::ObjectId> chosen;
  for (const auto& p : pipes) chosen.insert(p.first);

  // 2. Diameters from the floor's component table.
  FloorParams params(winlib::CmbGetName(winlib::kComboFloor));

  // 3. The fittings already there, with their cross bars.
  const std::wstring fittingTypes = CategoryTypeList(word + L"配件");
  std::vector<OldFitting> old;
  PointGrid3d oldGrid(kJunctionReach);
  {
    cad::ObjectIdArray found;
    CollectIdsByLayerAndNumber(fittingTypes, L"", found, nullptr);
    for (cad::ObjectId id : found) {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (!ref) continue;
      oldGrid.add(ref->position(), old.size());
      old.push_back({id, GetHandleText(id), false});
    }
  }
  std::unordered_map<std::wstring, cad::ObjectIdArray> decorations;
  if (!old.empty()) {
    StringArray types, decoLayers;
    SplitToArray(fittingTypes, L",", types);
    for (const std::wstring& t : types)
      for (const wchar_t* suffix : {L"边线", L"名", L"3D"}) decoLayers.push_back(t + suffix);
    std::wstring list;
    JoinArray(decoLayers, L",", list);
    cad::ObjectIdArray found;
    CollectIdsByLayerAndNumber(list, L"", found, nullptr);
    for (cad::ObjectId id : found) {
      std::wstring owner = FirstAttrLine(id);
      if (!owner.empty()) decorations[owner].push_back(id);
    }
  }
  std::unordered_set<std::wstring> erasedHandles;
  auto eraseOldNear = [&](const Point3d& p) {
    for (std::size_t i : oldGrid.near(p, kJunctionReach, true)) {
      OldFitting& f = old[i];
      if (f.erased) continue;
      f.erased = true;
      EraseEntity(f.id);
      auto d = decorations.find(f.handle);
      if (d != decorations.end()) EraseEntities(d->second);
      erasedHandles.insert(f.handle);
    }
  };

  // 4. The taps.
  std::vector<Tap> taps;
  PointGrid3d tapGrid(kJunctionReach);
  {
    cad::ObjectIdArray found;
    CollectIdsByLayerAndNumber(kTapTypes, L"", found, nullptr);
    for (cad::ObjectId id : found) {
      Point3d p;
      if (!IsPointGj(id, p)) continue;
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (!ref) continue;
      tapGrid.add(p, taps.size());
      taps.push_back({id, p, ref->rotation(), false});
    }
  }

  // 5, 6. The junctions.
  std::vector<Junction> junctions;
  PointGrid3d junctionGrid(kJunctionReach);
  auto junctionAt = [&](const Point3d& p) -> Junction* {
    const auto near = junctionGrid.near(p, kJunctionReach, false);
    return near.empty() ? nullptr : &junctions[near.front()];
  };
  auto openJunction = [&](const Point3d& p) -> Junction& {
    junctionGrid.add(p, junctions.size());
    junctions.push_back(Junction{p, {}, {}, {}});
    return junctions.back();
  };
  {
    MeterScope meter(L"生成配件", int(pipes.size()));
    for (std::size_t j = 0; j < pipes.size(); ++j) {
      meter.at(int(j));
      const cad::ObjectId pipe = pipes[j].first;
      Point3d s, e;
      if (!GetGjEndPoints3d(pipe, s, e)) continue;
      eraseOldNear(s);
      eraseOldNear(e);
      ClearXdata(pipe, kXdataFittingLinks);
      const double d = diameterOf(params, pipes[j].second, numberOf(pipe));

      std::vector<std::size_t> nearTaps = tapGrid.near(s, kJunctionReach, true);
      for (std::size_t t : tapGrid.near(e, kJunctionReach, true)) nearTaps.push_back(t);
      std::sort(nearTaps.begin(), nearTaps.end());
      nearTaps.erase(std::unique(nearTaps.begin(), nearTaps.end()), nearTaps.end());
      for (auto it = nearTaps.rbegin(); it != nearTaps.rend(); ++it) {
        Tap& tap = taps[*it];
        if (tap.used) continue;
        const Point3d at = s.distanceTo(tap.position) < kJunctionReach ? s : e;
        Junction& jn = openJunction(at);
        jn.addArm(Vector3d(0, 1, 0).rotatedBy(tap.rotation, Vector3d(0, 0, 1)), d, pipe);
        jn.members.push_back(tap.id);
        jn.tapArms = 1;
        tap.used = true;
      }

      const bool zeroLength = s.distanceTo(e) == 0;
      for (int end = 0; end < 2; ++end) {
        const Point3d& p = end == 0 ? s : e;
        const Vector3d v = zeroLength ? Vector3d(0, 0, 0) : end == 0 ? (e - s).normal() : (s - e).normal();
        if (Junction* jn = junctionAt(p))
          jn->addArm(v, d, pipe);
        else
          openJunction(p).addArm(v, d, pipe);
      }
    }
  }

  // Ends of the discipline's other pipes that reach a junction of these.
  std::unordered_set<cad::ObjectId> neighbours;
  if (!junctions.empty()) {
    struct End {
      cad::ObjectId pipe;
      std::wstring layer;
      Point3d at, other;
      bool used = false;
    };
    std::vector<End> ends;
    PointGrid3d endGrid(kJunctionReach);
    cad::ObjectIdArray found;
    CollectIdsByLayerAndNumber(CategoryTypeList(word), L"", found, nullptr);
    for (cad::ObjectId id : found) {
      if (chosen.count(id)) continue;
      Point3d s, e;
      if (!GetGjEndPoints3d(id, s, e) || s.distanceTo(e) == 0) continue;
      const std::wstring layer = LayerOf(id);
      endGrid.add(s, ends.size());
      ends.push_back({id, layer, s, e, false});
      endGrid.add(e, ends.size());
      ends.push_back({id, layer, e, s, false});
    }
    for (Junction& jn : junctions)
      for (std::size_t k : endGrid.near(jn.point, kJunctionReach, false)) {
        End& end = ends[k];
        if (end.used) continue;
        end.used = true;
        jn.addArm((end.other - end.at).normal(), diameterOf(params, end.layer, numberOf(end.pipe)), end.pipe);
        neighbours.insert(end.pipe);
      }
  }

  // 8. The links start afresh on the members; a neighbour only loses its
  // links to the fittings replaced here.
  std::unordered_set<cad::ObjectId> relinked;
  for (const Junction& jn : junctions)
    for (cad::ObjectId m : jn.members) {
      if (!relinked.insert(m).second) continue;
      if (!neighbours.count(m)) {
        ClearXdata(m, kXdataFittingLinks);
        continue;
      }
      StringArray kept, lines;
      GetXdataLines(m, kXdataFittingLinks, lines);
      for (std::wstring& h : lines)
        if (!erasedHandles.count(h)) kept.push_back(std::move(h));
      writeLinks(m, std::move(kept));
    }

  // 9. The fittings.
  int made = 0;
  for (Junction& jn : junctions) {
    orderArms(jn);
    const cad::ObjectId fitting = CreatePipeFitting(jn.directions, jn.diameters, word, nullptr, jn.point);
    const std::wstring handle = GetHandleText(fitting);
    if (handle.empty()) continue;
    ++made;
    for (cad::ObjectId m : jn.members) SetXdataString(m, kXdataFittingLinks, handle, nullptr);
  }

  // 10. The 3D twins of the pipes.
  for (std::size_t g = 0; g < layers.size(); ++g) RefreshSolid3dOfType(layers[g], groups[g], nullptr);
  return made;
}
