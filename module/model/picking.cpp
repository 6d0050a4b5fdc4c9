// Picking and selecting whole components.
#include "module/model/picking.h"

#include "module/model/scope_guards.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <set>
#include <unordered_map>

#include "module/model/project_tables.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/sysvars.h"

int g_pickWatchFlag = 0;

namespace {

constexpr const wchar_t* kLayerField = L"图层";

bool contains(const cad::ObjectIdArray& ids, cad::ObjectId id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The layers that are neither off nor locked, as a comma list; layers the
// drawing lacks are left out.
std::wstring usableLayers(const StringArray& layers) {
  StringArray kept;
  for (const auto& name : layers) {
    bool off = false, locked = false;
    if (!GetLayerFlags(name, &off, nullptr, &locked, nullptr)) continue;
    if (!off && !locked && std::find(kept.begin(), kept.end(), name) == kept.end()) kept.push_back(name);
  }
  std::wstring joined;
  JoinArray(kept, L",", joined);
  return joined;
}

// The pick layers named by a list: its lines as layers, or the library
// layers of the component names of a comma list.
std::wstring pickLayers(const std::wstring& list, bool asLayers) {
  StringArray layers;
  if (asLayers) {
    SplitLines(list, layers);
  } else {
    ReadGjLibraryField(layers, list, kLayerField);
  }
  return usableLayers(layers);
}

std::wstring firstAttr(cad::ObjectId id) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  return attrs.empty() ? std::wstring() : attrs.front();
}

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// What the selection loop keeps of each candidate.
struct Candidate {
  cad::ObjectId id;
  std::wstring first;   // first attribute line (empty: no component)
  std::wstring number;
  std::wstring layer;
};

}  // namespace

void WatchPickKeys(const ed::Msg* msg) {
  if (!msg) return;
  switch (msg->message) {
    case ed::kWmChar:
      if (msg->wParam == 13 || msg->wParam == 32) g_pickWatchFlag = 1;
      break;
    case ed::kWmRButtonDown:
      g_pickWatchFlag = 1;
      break;
    case ed::kWmKeyDown:
      if (msg->wParam == static_cast<std::uintptr_t>(ed::kVkShift)) g_pickWatchFlag = 2;
      break;
    case ed::kWmKeyUp:
      if (msg->wParam == static_cast<std::uintptr_t>(ed::kVkShift)) g_pickWatchFlag = 0;
      break;
    default:
      break;
  }
}

int PickGj(const std::wstring& types, cad::ObjectIdArray& gjIds, cad::ObjectIdArray& sameNumberIds,
           cad::ObjectIdArray& layerIds, geom::Point3d& pickPoint, const std::wstring& prompt,
           bool typesAreLayers) {
  gjIds.clear();
  sameNumberIds.clear();
  layerIds.clear();
  const std::wstring ask = prompt.empty() ? std::wstring(L"\n选择构件:") : prompt;

  const std::wstring typeLayers = types.empty() ? std::wstring() : pickLayers(types, typesAreLayers);
  cad::ObjectIdArray typeCandidates;
  if (!typeLayers.empty()) CollectIdsByLayerAndNumber(typeLayers, L"", typeCandidates, nullptr);

  for (;;) {
    g_pickWatchFlag = 0;
    cad::ObjectId picked;
    geom::Point3d point;
    int rc;
    {
      ScopedWinMsgWatch watch(WatchPickKeys);
      rc = ed::entSel(ask, picked, point);
    }
    if (rc == ed::kCancel) return ed::kCancel;
    if (rc == ed::kKeyword) return ed::kKeyword;
    if (rc != ed::kNormal) {
      if (g_pickWatchFlag == 1) return ed::kCancel;
      continue;
    }

    cad::ObjectIdArray candidates;
    if (typeLayers.empty()) {
      std::wstring layer;
      GetEntityLayer(picked, layer);
      const std::wstring layers = pickLayers(layer, typesAreLayers);
      if (!layers.empty()) CollectIdsByLayerAndNumber(layers, L"", candidates, nullptr);
    } else {
      candidates = typeCandidates;
    }

    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(picked, number, attrs);
    if (attrs.empty()) continue;

    // Each pick gives its own results: nothing of a pick that found no
    // component stays in the out arrays.
    gjIds.clear();
    sameNumberIds.clear();
    layerIds.clear();
    for (cad::ObjectId c : candidates) {
      std::wstring cNumber;
      StringArray cAttrs;
      GetGjNumberAndAttrs(c, cNumber, cAttrs);
      if (cAttrs.empty() || cNumber != number) continue;
      if (!contains(sameNumberIds, c)) sameNumberIds.push_back(c);
      if (cAttrs.front() == attrs.front() && !contains(gjIds, c)) gjIds.push_back(c);
    }
    layerIds = candidates;
    pickPoint = point;
    HighlightEntities(gjIds, 1);
    if (!gjIds.empty()) return ed::kNormal;
  }
}

bool SelectGjObjects(const std::wstring& layers, const std::wstring& number, const std::wstring& prompt,
                     bool sameLayer, bool sameNumber, int stopAfterFirst, cad::ObjectIdArray& ids) {
  const std::wstring ask = prompt.empty() ? std::wstring(L"\n选择对象:") : prompt;
  std::wstring layerList = layers;
  if (layerList.empty()) {
    StringArray all;
    GetLayerNames(all, nullptr);
    layerList = usableLayers(all);
  }

  std::vector<Candidate> candidates;
  {
    cad::ObjectIdArray found;
    if (!layerList.empty()) CollectIdsByLayerAndNumber(layerList, L"", found, nullptr);
    for (cad::ObjectId id : found) {
      Candidate c;
      c.id = id;
      StringArray attrs;
      GetGjNumberAndAttrs(id, c.number, attrs);
      if (!attrs.empty()) c.first = attrs.front();
      GetEntityLayer(id, c.layer);
      candidates.push_back(std::move(c));
    }
  }

  ed::setVar(L"PICKADD", 0);
  std::wstring refLayer, refNumber;
  bool haveRef = false;
  bool finished = false;
  for (;;) {
    g_pickWatchFlag = 0;
    ed::SelSet ss = 0;
    int rc;
    {
      ScopedWinMsgWatch watch(WatchPickKeys);
      rc = ed::ssGetWithPrompts(L":S:$", ask, L"", {}, ss);
    }
    if (rc == ed::kCancel) break;
    if (rc != ed::kNormal) {
      if (g_pickWatchFlag == 1) {
        finished = true;
        break;
      }
      continue;
    }
    cad::ObjectIdArray members;
    SSToIds(ss, members);
    ed::ssFree(ss);

    struct Member {
      cad::ObjectId id;
      std::wstring first, number, layer;
    };
    std::vector<Member> picked;  // last member first
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
      Member m;
      m.id = *it;
      StringArray attrs;
      GetGjNumberAndAttrs(m.id, m.number, attrs);
      if (attrs.empty()) continue;
      if (!number.empty() && m.number != number) continue;
      m.first = attrs.front();
      GetEntityLayer(m.id, m.layer);
      picked.push_back(std::move(m));
    }

    // A member stands for its component: its layer is that of the
    // component's primary entity among the candidates (else its own), so a
    // label or edge line picked counts on the layer of its segment.
    auto componentLayer = [&](const Member& m) {
      for (const auto& c : candidates)
        if (c.id.handle().text() == m.first) return c.layer;
      return m.layer;
    };
    if (!haveRef && !picked.empty()) {
      const Member& m = picked.front();
      refLayer = componentLayer(m);
      refNumber = m.number;
      haveRef = true;
    }

    std::set<std::wstring> seen;
    for (const auto& m : picked) {
      if (sameLayer && componentLayer(m) != refLayer) continue;
      if (sameNumber && m.number != refNumber) continue;
      seen.insert(m.first);
    }

    const bool removing = g_pickWatchFlag == 2;
    for (const auto& c : candidates) {
      if (c.first.empty() || !seen.count(c.first)) continue;
      if (sameLayer && c.layer != refLayer) continue;
      if (sameNumber && c.number != refNumber) continue;
      if (!number.empty() && c.number != number) continue;
      if (removing) {
        auto it = std::find(ids.begin(), ids.end(), c.id);
        if (it != ids.end()) {
          ids.erase(it);
          HighlightEntity(c.id, 0);
        }
      } else if (!contains(ids, c.id)) {
        ids.push_back(c.id);
      }
    }
    HighlightEntities(ids, 1);
    if (stopAfterFirst == 1 && !ids.empty()) {
      finished = true;
      break;
    }
  }
  ed::setVar(L"PICKADD", 1);
  if (!finished) HighlightEntities(ids, 0);
  return finished;
}

void CollectSameGjIds(const cad::ObjectIdArray& seeds, const cad::ObjectIdArray& candidates,
                      cad::ObjectIdArray& out) {
  out.clear();
  std::set<std::wstring> components;
  for (cad::ObjectId s : seeds) {
    std::wstring first = firstAttr(s);
    if (!first.empty()) components.insert(std::move(first));
  }
  if (components.empty()) return;
  for (cad::ObjectId c : candidates) {
    const std::wstring first = firstAttr(c);
    if (!first.empty() && components.count(first)) out.push_back(c);
  }
}

void CollectSameGjIdsOf(const cad::ObjectIdArray& candidates, cad::ObjectId seed, cad::ObjectIdArray& out) {
  CollectSameGjIds(cad::ObjectIdArray{seed}, candidates, out);
}

void EraseWholeGjs(const cad::ObjectIdArray& ids) {
  // Distinct layer names, compared whole: a name that merely contains
  // another ("热给水管" and "给水管") is a layer of its own.
  StringArray names;
  for (cad::ObjectId id : ids) {
    std::wstring layer;
    GetEntityLayer(id, layer);
    if (!layer.empty() && std::find(names.begin(), names.end(), layer) == names.end())
      names.push_back(layer);
  }
  if (names.empty()) return;
  std::wstring nameList;
  JoinArray(names, L",", nameList);
  StringArray layers;
  ReadGjLibraryField(layers, nameList, kLayerField);
  if (layers.empty()) return;
  std::wstring layerList;
  JoinArray(layers, L",", layerList);
  cad::ObjectIdArray collected;
  CollectIdsByLayerAndNumber(layerList, L"", collected, nullptr);
  cad::ObjectIdArray doomed;
  CollectSameGjIds(ids, collected, doomed);
  EraseEntities(doomed);
}

void FindSegmentLabel(const std::wstring& prefix, const geom::Point3d& start, const geom::Point3d& end,
                      double halfWidth, std::wstring& out) {
  out.clear();
  const std::wstring head = upper(prefix);
  const geom::Point3d s(start.x, start.y, 0), e(end.x, end.y, 0);
  const bool isLong = s.distanceTo(e) > 1;

  std::vector<geom::Point3d> polygon;
  if (isLong) {
    PointList band;
    BulgeList bulges;
    GetSegmentBandOutline(s, e, 0.0, halfWidth, halfWidth, band, bulges);
    if (band.size() != 5) return;
    polygon.assign(band.begin(), band.end() - 1);
  } else {
    polygon = {geom::Point3d(s.x - halfWidth, s.y - halfWidth, 0), geom::Point3d(s.x + halfWidth, s.y - halfWidth, 0),
               geom::Point3d(s.x + halfWidth, s.y + halfWidth, 0), geom::Point3d(s.x - halfWidth, s.y + halfWidth, 0)};
  }
  cad::ObjectIdArray texts;
  {
    ed::SelSet ss = 0;
    if (ed::ssGet(L"CP", polygon, ed::SelFilter{cad::TypedValue(0, L"TEXT")}, ss) == ed::kNormal) {
      SSToIds(ss, texts);
      ed::ssFree(ss);
    }
  }

  const double parallelTol = std::sin(0.174532925);
  const geom::Vector3d direction = e - s;
  double best = halfWidth;
  std::wstring winner;
  bool found = false;
  for (cad::ObjectId id : texts) {
    cad::ObjectPtr<cad::Text> text(id, cad::OpenMode::ForRead);
    if (!text) continue;
    const std::wstring string = text->textString();
    if (upper(string).compare(0, head.size(), head) != 0 || string.size() < head.size()) continue;
    geom::Point3d at = text->position();
    cad::Extents3d ext;
    if (text->getGeomExtents(ext) == cad::Status::Ok && ext.isValid())
      at = geom::Point3d((ext.minPoint.x + ext.maxPoint.x) / 2, (ext.minPoint.y + ext.maxPoint.y) / 2,
                         (ext.minPoint.z + ext.maxPoint.z) / 2);
    double distance;
    if (isLong) {
      if (!IsParallel(DirectionFromAngle(text->rotation(), geom::Vector3d(0, 0, 1)), direction, parallelTol))
        continue;
      geom::Point3d foot;
      distance = GetPerpFootOnSegment(at, s, e, 0.0, foot);
      if (distance < 0) continue;
    } else {
      distance = at.distanceTo(s);
    }
    distance -= text->height() / 2;
    if (distance < best) {
      best = distance;
      winner = string;
      found = true;
    }
  }
  if (!found) return;
  const std::size_t cut = winner.find_first_of(L" =", head.size());
  if (cut == head.size()) return;
  out = cut == std::wstring::npos ? winner : winner.substr(0, cut);
}
