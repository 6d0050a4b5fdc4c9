// Pipe labels, riser outlines and the rebuild of linear components.
#include "module/model/pipe_outline.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/params.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"

namespace {

constexpr double kLabelHeight = 120.0;
constexpr double kLabelGap = 120.0;
constexpr const wchar_t* kXdataParams = L"构件";

// What every decoration of a segment shares with it.
struct SegmentLook {
  std::wstring number;
  std::wstring attrText;  // the first 属性 line of the segment
  bool visible = true;
  cad::Color colour;
};

void giveLook(cad::ObjectId id, const SegmentLook& look) {
  SetGjXdata(id, look.number, look.attrText, nullptr);
  SetEntityVisible(id, look.visible ? 1 : 0);
  SetEntityColor(id, look.colour);
}

void addLabel(const std::wstring& name, const geom::Point3d& at, double rotation, const SegmentLook& look) {
  cad::ObjectId label = AddText(at, look.number, kLabelHeight, rotation, 1, name + kLabelLayerSuffix, nullptr,
                                cad::Text::kMid, cad::Text::kVertMid);
  if (!label.isNull()) giveLook(label, look);
}

// Gives a remade primary entity what its old entity carried beyond the
// create stamp: the attribute lines after the first two (wire counts, sizes)
// and every other application (its own "构件" lines among them).
void carryGjData(cad::ObjectId newId, const StringArray& attrs, const StringArray& apps,
                 const StringArray& values) {
  if (attrs.size() > 2) {
    StringArray extra(attrs.begin() + 2, attrs.end());
    SetXdataLines(newId, kXdataAttrs, extra, nullptr);
  }
  for (size_t i = 0; i < apps.size() && i < values.size(); ++i) {
    if (apps[i] == kXdataNumber || apps[i] == kXdataAttrs || apps[i] == kXdataSpecial) continue;
    StringArray lines;
    SplitLines(values[i], lines);
    if (!lines.empty()) SetXdataLines(newId, apps[i], lines, nullptr);
  }
}

}  // namespace

void ReportGjNotRebuilt(const std::wstring& name, const std::wstring& number, cad::ObjectId id) {
  ed::print(L"\n%s %s 的实体(句柄 %s)无法重建,已原样保留\n", name.c_str(), number.c_str(), GetHandleText(id).c_str());
}

void DrawPipeOutline(const std::wstring& name, cad::ObjectId id) {
  if (id.isNull()) return;
  if (g_checkGjOverlap == 1 && !CheckGjOverlap(name, id)) {
    EraseEntity(id);
    return;
  }
  LoadGjDefineByName(name, false);

  SegmentLook look;
  StringArray attrs;
  GetGjNumberAndAttrs(id, look.number, attrs);
  if (!attrs.empty()) look.attrText = attrs.front();
  look.visible = IsEntityVisible(id);
  StringArray paramLines;
  GetXdataLines(id, kXdataParams, paramLines);
  // A component with parameter lines of its own is drawn ByLayer, and its
  // decorations with it.
  if (!paramLines.empty()) SetEntityColorRGB(id, 0);
  GetEntityColor(id, look.colour);
  double z1 = 0, z2 = 0;
  GetGjSpecial(id, nullptr, &z1, &z2);
  const double labelZ = (z1 + z2) / 2;

  bool isRun = false, isRiser = false;
  geom::Matrix3d blockTransform;
  geom::Point3d position;
  double rotation = 0;
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) return;
    if (cad::isKindOf<cad::Polyline>(ent.get())) {
      isRun = true;
    } else if (auto* ref = dynamic_cast<cad::BlockReference*>(ent.get())) {
      isRiser = true;
      blockTransform = ref->blockTransform();
      position = ref->position();
      rotation = ref->rotation();
    }
  }

  if (isRun) {
    PointList vertices;
    BulgeList bulges;
    if (GetEntityVertices(id, vertices, bulges) != cad::Status::Ok) return;
    for (size_t i = 0; i + 1 < vertices.size(); ++i) {
      const geom::Point3d mid = GetSegmentMidPoint(vertices[i], vertices[i + 1], 0);
      double a = AngleFromXAxis(vertices[i + 1] - vertices[i], geom::Vector3d(0, 0, 1));
      // Turned half round so that no label reads upside down.
      if (a >= 1.570796325 && a < 4.712388975) a += 3.14159265;
      addLabel(name, geom::Point3d(mid.x - std::sin(a) * kLabelGap, mid.y + std::cos(a) * kLabelGap, labelZ), a,
               look);
    }
    return;
  }
  if (!isRiser) return;

  std::wstring coordText;
  if (paramLines.empty())
    coordText = GetAttrValue(g_curLineGj.coords, look.number);
  else
    ComputeGjCoordsOf(g_curLineGj.coordFormulas, look.number, paramLines, coordText, 0);
  StringArray coordLines;
  SplitLines(coordText, coordLines);
  double h = 0;
  for (const std::wstring& line : coordLines) {
    std::vector<geom::Point3d> points;
    std::vector<double> values;
    ParseCoordList(line, points, values);
    cad::ObjectId outline = AddPolyline(points, values, true, 0, name + kEdgeLayerSuffix, nullptr);
    if (outline.isNull()) continue;
    giveLook(outline, look);
    cad::ObjectPtr<cad::Entity> ent(outline, cad::OpenMode::ForWrite);
    if (!ent) continue;
    cad::Extents3d ext;
    if (ent->getGeomExtents(ext) == cad::Status::Ok && ext.isValid()) h = std::max(h, ext.maxPoint.y);
    ent->transformBy(blockTransform);
  }
  addLabel(name,
           geom::Point3d(position.x - std::sin(rotation) * (h + kLabelGap),
                         position.y + std::cos(rotation) * (h + kLabelGap), labelZ),
           rotation, look);
}

void RebuildGjByName(const std::wstring& name, const std::wstring& number, CreateGjCb create,
                     DecorateGjCb decorate, const cad::ObjectIdArray& ids) {
  LoadGjDefineByName(name, true);
  SetLayerColorRGB(name, g_curLineGj.colour, nullptr);
  SetLayerColorRGB(name + kLabelLayerSuffix, g_curLineGj.labelColour, nullptr);

  cad::ObjectIdArray work = ids;
  cad::ObjectIdArray toErase, made;
  if (work.empty()) {
    CollectIdsByLayerAndNumber(name + L"," + name + kLabelLayerSuffix + L"," + name + kEdgeLayerSuffix, number,
                               work, nullptr);
  } else {
    // The labels and outlines of the listed components go too, or the new
    // ones would stand beside them.
    std::unordered_set<std::wstring> listed;
    for (cad::ObjectId id : work) listed.insert(GetHandleText(id));
    cad::ObjectIdArray decorations;
    CollectIdsByLayerAndNumber(name + kLabelLayerSuffix + L"," + name + kEdgeLayerSuffix, L"", decorations, nullptr);
    for (cad::ObjectId id : decorations) {
      std::wstring num;
      StringArray attrs;
      GetGjNumberAndAttrs(id, num, attrs);
      if (attrs.size() < 2 && !attrs.empty() && listed.count(attrs.front())) toErase.push_back(id);
    }
  }

  {
    OverlapCheckOff rebuilding;
    for (cad::ObjectId id : work) {
      std::wstring num;
      StringArray attrs;
      GetGjNumberAndAttrs(id, num, attrs);
      if (attrs.size() < 2) {
        // A label, an outline or an edge line: it goes once the new ones stand.
        toErase.push_back(id);
        continue;
      }
      // A copy still naming the entity it was copied from becomes primary.
      attrs.front() = GetHandleText(id);
      ClearXdata(id, kXdataAttrs);
      SetXdataLines(id, kXdataAttrs, attrs, nullptr);

      // What the create stamp does not write goes over to the new entity.
      StringArray apps, values;
      ReadAllXdata(id, apps, values);
      geom::Point3d start, end;
      if (!GetGjEndPoints3d(id, start, end)) {
        ReportGjNotRebuilt(name, num, id);
        continue;
      }
      std::wstring kind;
      GetGjSpecial(id, &kind, nullptr, nullptr);
      cad::Color colour;
      GetEntityColor(id, colour);
      double bulge = 0;
      int vertical = -1;
      {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        if (!ent) continue;
        if (auto* poly = dynamic_cast<cad::Polyline*>(ent.get())) {
          poly->getBulgeAt(0, bulge);
          vertical = 0;
        } else if (cad::isKindOf<cad::BlockReference>(ent.get())) {
          vertical = 1;
        }
      }
      // The new entity is made before the old one goes: what cannot be made
      // again stays as it is, named on the command line.
      cad::ObjectId newId;
      if (vertical >= 0 && create) newId = create(name, num, start, end, bulge, vertical);
      if (newId.isNull()) {
        ReportGjNotRebuilt(name, num, id);
        continue;
      }
      EraseEntity(id);
      // The component is made again from itself: its data stays with it
      // (the create stamp starts the new entity with its number, its
      // primary stamp and its elevations only), and so do its kind (a
      // through pipe stays one) and a colour of its own.
      carryGjData(newId, attrs, apps, values);
      std::wstring newKind;
      GetGjSpecial(newId, &newKind, nullptr, nullptr);
      if (!kind.empty() && kind != newKind) SetGjSpecial(nullptr, &kind, newId, nullptr, nullptr);
      if (!colour.isByLayer()) SetEntityColor(newId, colour);
      made.push_back(newId);
      if (decorate) decorate(name, newId);
    }
  }
  EraseEntities(toErase);
  RefreshSolid3dOfType(name, made, cad::workingDatabase());
}
