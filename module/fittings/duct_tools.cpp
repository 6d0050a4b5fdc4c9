// Two small air-duct commands: DuctRotate turns one duct component about the
// first vertex of its centre line; LinkOpening joins each air opening lying
// on a duct's centre line to that duct with a vertical duct.
#include <cmath>
#include <cwchar>
#include <map>
#include <utility>

#include "module/fittings/duct_frame.h"
#include "module/fittings/fittings_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/component_types.h"
#include "module/model/floor_table_writer.h"
#include "module/model/picking.h"
#include "module/model/project_tables.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"

void CmdDuctRotate() {
  PrepareGjCombos(L"送风管,新风管,回风管,排风管,除尘排烟管,其它风管,柔性风管", L"送风管");
  const std::wstring layers = GetGjLayersOfTypes(winlib::CmbGetName(winlib::kComboName), L"图层");
  cad::ObjectIdArray picked, sameNumber, onLayers;
  geom::Point3d at;
  if (PickGj(layers, picked, sameNumber, onLayers, at, L"\n请选择旋转风管:", false) != ed::kNormal) {
    HighlightEntities(picked, 0);
    return;
  }
  std::wstring reply;
  const int rc = ed::getString(false, L"\n请输入旋转角度:", reply);
  cad::ObjectIdArray primaries;
  FilterPrimaryGjIds(primaries, picked);
  PointList points;
  BulgeList bulges;
  if (rc == ed::kNormal && !primaries.empty())
    GetEntityVertices(primaries.front(), points, bulges);
  // Escape at the angle, or nothing to turn about: the duct stays.
  if (!points.empty()) {
    const double angle = std::wcstod(reply.c_str(), nullptr) * kFitPi / 180;
    for (cad::ObjectId id : picked) RotateEntity(id, angle, points.front(), geom::Vector3d(0, 0, 1));
  }
  HighlightEntities(picked, 0);
}

namespace {

constexpr const wchar_t* kOpeningLayers = L"送风口,新风口,回风口,排风口,其它风口";

// A vertical duct already standing somewhere.
struct Riser {
  std::wstring layer;
  geom::Point3d at;
  double low = 0, high = 0;
};

bool linked(const std::vector<Riser>& risers, const std::wstring& layer, const geom::Point3d& at, double z1,
            double z2) {
  const double low = std::min(z1, z2), high = std::max(z1, z2);
  for (const Riser& r : risers)
    if (r.layer == layer && IsEqualPointXY(r.at, at, 1.0) && std::fabs(r.low - low) < 0.5 &&
        std::fabs(r.high - high) < 0.5)
      return true;
  return false;
}

}  // namespace

void CmdLinkOpening() {
  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  StringArray ductTypes;
  ExpandGjCategories(L"风管", ductTypes);
  std::wstring ductLayers;
  JoinArray(ductTypes, L",", ductLayers);
  cad::ObjectIdArray ducts, openings;
  CollectIdsByLayerAndNumber(ductLayers, L"", ducts, nullptr);
  if (ducts.empty()) return;
  CollectIdsByLayerAndNumber(kOpeningLayers, L"", openings, nullptr);
  if (openings.empty()) return;

  // The vertical ducts there are, so that a second run adds no copies.
  std::vector<Riser> risers;
  for (cad::ObjectId id : ducts) {
    std::wstring kind;
    Riser r;
    GetGjSpecial(id, &kind, &r.low, &r.high);
    geom::Point3d s, e;
    if (kind != L"立管" || !GetGjEndPoints3d(id, s, e)) continue;
    GetEntityLayer(id, r.layer);
    r.at = s;
    if (r.low > r.high) std::swap(r.low, r.high);
    risers.push_back(r);
  }

  // Parameter lines of each opening number, read once.
  std::map<std::pair<std::wstring, std::wstring>, StringArray> sizes;
  auto sizeLines = [&](const std::wstring& layer, const std::wstring& number) -> const StringArray& {
    auto [it, added] = sizes.try_emplace({layer, number});
    if (added) {
      StringArray params;
      ReadFloorGjParams(params, floor, layer, number, L"参数");
      SplitLines(GetAttrValue(params, number), it->second);
    }
    return it->second;
  };

  std::vector<std::pair<std::wstring, cad::ObjectId>> made;
  for (cad::ObjectId duct : ducts) {
    std::wstring ductNumber;
    StringArray ductAttrs;
    GetGjNumberAndAttrs(duct, ductNumber, ductAttrs);
    geom::Point3d s, e;
    if (ductAttrs.empty() || !GetGjEndPoints3d(duct, s, e) || IsEqualPointXY(s, e, 1.0)) continue;
    std::wstring ductLayer;
    GetEntityLayer(duct, ductLayer);
    for (cad::ObjectId opening : openings) {
      std::wstring number;
      StringArray attrs;
      GetGjNumberAndAttrs(opening, number, attrs);
      if (attrs.empty()) continue;
      geom::Point3d q;
      std::wstring openingLayer;
      {
        cad::ObjectPtr<cad::BlockReference> ref(opening, cad::OpenMode::ForRead);
        if (!ref) continue;
        q = ref->position();
        openingLayer = ref->layer();
      }
      if (!IsNearSegment(q, s, e, 0.0, 1.0)) continue;
      const StringArray& lines = sizeLines(openingLayer, number);
      // L and W (R for a round opening); the library's B and H where the
      // opening gives neither.
      std::wstring l = GetAttrValue(lines, L"L"), w;
      if (!l.empty()) {
        w = GetAttrValue(lines, L"W");
        if (w.empty()) w = l;
      } else {
        l = w = GetAttrValue(lines, L"R");
      }
      if (l.empty()) {
        l = GetAttrValue(lines, L"B");
        w = GetAttrValue(lines, L"H");
        if (w.empty()) w = l;
      }
      const std::wstring newNumber = !l.empty() && !w.empty() ? ductLayer + l + L"*" + w : ductLayer;
      double elev = 0;
      GetPointGjSpecial(opening, nullptr, &elev, nullptr);
      if (linked(risers, ductLayer, q, elev, s.z)) continue;
      const cad::ObjectId id =
          CreateDuctGj(ductLayer, newNumber, AtElevation(q, elev), AtElevation(q, s.z), 0, 1);
      if (id.isNull()) continue;
      std::wstring ignored;
      StringArray newAttrs;
      GetGjNumberAndAttrs(id, ignored, newAttrs);
      newAttrs.push_back(L"B=" + l);
      newAttrs.push_back(L"H=" + w);
      ClearXdata(id, kXdataAttrs);
      SetXdataLines(id, kXdataAttrs, newAttrs, nullptr);
      risers.push_back({ductLayer, q, std::min(elev, s.z), std::max(elev, s.z)});
      made.emplace_back(ductLayer, id);
    }
  }
  WriteGjToFloorTable(ductLayers);
  for (const auto& [name, id] : made) DecorateDuctGj(name, id);
  RefreshAfterFitting(made);
}
