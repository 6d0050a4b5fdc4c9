#include "module/model/geom_helpers.h"

#include <algorithm>

#include "module/toolkit/bulge.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/selection.h"

namespace {

// How far around a grid axis a point may lie and still be on it.
constexpr double kAxisReach = 300.0;
// Vertices this close in x and in y count as the same input.
constexpr double kDuplicateReach = 30.0;
// Half size of the search window around a component without plan extent.
constexpr double kRiserWindow = 10.0;

// The labels of the axes through the point, in axis order, each once.
StringArray axisLabelsAt(const cad::ObjectIdArray& axisIds, const geom::Point3d& p) {
  StringArray labels;
  for (cad::ObjectId axis : axisIds) {
    cad::Extents3d ext;
    {
      cad::ObjectPtr<cad::Entity> ent(axis, cad::OpenMode::ForRead);
      if (!ent || ent->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) continue;
    }
    bool inBox = p.x > ext.minPoint.x - kAxisReach && p.x < ext.maxPoint.x + kAxisReach &&
                 p.y > ext.minPoint.y - kAxisReach && p.y < ext.maxPoint.y + kAxisReach;
    if (!inBox || !IsPointOnCurve(p, axis, kAxisReach)) continue;
    StringArray lines;
    GetXdataLines(axis, kXdataSpecial, lines);
    if (lines.empty()) continue;
    std::wstring label = GetAttrValue(lines, L"轴号");
    if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
  }
  return labels;
}

}  // namespace

std::wstring JoinAxisLocation(const PointList& vertices,
                             const std::function<StringArray(const geom::Point3d&)>& labelsAt) {
  if (vertices.empty()) return {};
  PointList points;
  if (vertices.size() <= 2)
    points = vertices;
  else
    points = {vertices.front(), vertices.back()};

  std::wstring text;
  for (size_t i = 0; i < points.size(); ++i) {
    StringArray labels = labelsAt(points[i]);
    if (labels.size() > 2) labels.resize(2);
    std::wstring joined;
    JoinArray(labels, L",", joined);
    text += joined;
    if (i + 1 < points.size() && !text.empty()) text += L"~";
  }
  return text;
}

std::wstring GetAxisLocation(const cad::ObjectIdArray& axisIds, cad::ObjectId gjId) {
  PointList vertices;
  BulgeList bulges;
  GetEntityVertices(gjId, vertices, bulges);
  return JoinAxisLocation(vertices, [&](const geom::Point3d& p) { return axisLabelsAt(axisIds, p); });
}

bool CheckDuplicateInput(const std::wstring& layerFilter, cad::ObjectId newId, bool primaryOnly) {
  cad::Extents3d ext;
  {
    cad::ObjectPtr<cad::Entity> ent(newId, cad::OpenMode::ForRead);
    // Nothing to compare: no duplicate, so the caller keeps what it made.
    if (!ent || ent->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) return true;
  }
  geom::Point3d lo = ext.minPoint, hi = ext.maxPoint;
  if (IsEqualPointXY(lo, hi, 1.0)) {
    lo = {lo.x - kRiserWindow, lo.y - kRiserWindow, 0};
    hi = {hi.x + kRiserWindow, hi.y + kRiserWindow, 0};
  }
  PointList newVertices;
  BulgeList bulges;
  GetEntityVertices(newId, newVertices, bulges);
  if (newVertices.empty()) return true;

  ed::SelSet ss = 0;
  cad::ObjectIdArray candidates;
  if (ed::ssGet(L"C", {lo, hi}, ed::SelFilter{cad::TypedValue(8, layerFilter)}, ss) == ed::kNormal) {
    SSToIds(ss, candidates);
    ed::ssFree(ss);
  }
  for (cad::ObjectId c : candidates) {
    if (c.isNull() || c == newId) continue;
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(c, number, attrs);
    if (primaryOnly && attrs.size() < 2) continue;
    PointList cVertices;
    if (GetEntityVertices(c, cVertices, bulges) != cad::Status::Ok || cVertices.empty()) continue;
    bool all = std::all_of(newVertices.begin(), newVertices.end(), [&](const geom::Point3d& v) {
      return std::any_of(cVertices.begin(), cVertices.end(),
                         [&](const geom::Point3d& w) { return IsEqualPointXY(v, w, kDuplicateReach); });
    });
    if (all) {
      ed::printText(L"输入重复\n");
      return false;
    }
  }
  return true;
}

void ExplodeBlockRefs(cad::ObjectIdArray& ids) {
  for (size_t k = ids.size(); k-- > 0;) {
    cad::ObjectId id = ids[k];
    if (id.isNull()) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
    if (!ent) continue;
    auto* ref = cad::cast<cad::BlockReference>(ent.get());
    if (!ref) continue;
    std::vector<std::unique_ptr<cad::Entity>> parts;
    if (ref->explode(parts) == cad::Status::Ok) {
      for (auto& part : parts) {
        cad::Entity* raw = part.get();
        cad::ObjectId pid = AppendToModelSpace(std::move(part), L"", ref->database());
        if (pid.isNull()) continue;
        raw->close();
        ids.push_back(pid);
      }
    }
    ids.erase(ids.begin() + std::ptrdiff_t(k));
  }
}

void NearestEndPoints(const geom::Point3d& aStart, const geom::Point3d& aEnd, const geom::Point3d& bStart,
                      const geom::Point3d& bEnd, geom::Point3d& outA, geom::Point3d& outB) {
  // Copies: the outputs may be the caller's input points.
  const geom::Point3d as = aStart, ae = aEnd, bs = bStart, be = bEnd;
  const geom::Point3d* pairs[4][2] = {{&as, &bs}, {&as, &be}, {&ae, &bs}, {&ae, &be}};
  double best = 1e10;
  for (auto& p : pairs) {
    double d = p[0]->distanceTo(*p[1]);
    if (d < best) {
      best = d;
      outA = *p[0];
      outB = *p[1];
    }
  }
}

void FarthestEndPoints(const geom::Point3d& aStart, const geom::Point3d& aEnd, const geom::Point3d& bStart,
                       const geom::Point3d& bEnd, geom::Point3d& outFirst, geom::Point3d& outSecond) {
  const geom::Point3d as = aStart, ae = aEnd, bs = bStart, be = bEnd;
  const geom::Point3d* pairs[6][2] = {{&as, &ae}, {&as, &bs}, {&as, &be}, {&ae, &bs}, {&ae, &be}, {&bs, &be}};
  double best = -1;
  for (auto& p : pairs) {
    double d = p[0]->distanceTo(*p[1]);
    if (d > best) {
      best = d;
      outFirst = *p[0];
      outSecond = *p[1];
    }
  }
}
