// Point component blocks: definitions, references, figures, labels and the
// rebuild of every point component of a type.
#include "module/model/point_blocks.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/params.h"
#include "module/model/pipe_outline.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "module/toolkit/vocabulary.h"

namespace {

constexpr double kFarDistance = 200.0;
constexpr double kLabelHeight = 120.0;
constexpr const wchar_t* kFigureParam = L"图形";
constexpr const wchar_t* kScaleParam = L"图形缩放";
constexpr const wchar_t* kLineWidthItem = L"线宽";
constexpr const wchar_t* kHatchItem = L"kXEQ";

// The definitions drawn in the innermost PointFiguresDrawnOnce scope; null
// outside every scope (each drawing draws).
std::unordered_set<std::wstring>* g_figuresDrawn = nullptr;

// The leading decimal number of a text; 0 when it starts with none.
double leadingNumber(const std::wstring& text) {
  const wchar_t* begin = text.c_str();
  wchar_t* end = nullptr;
  double v = std::wcstod(begin, &end);
  return end == begin ? 0.0 : v;
}

// One part of a scale text: "50%" is 0.5, "2" is 2.
double scalePart(std::wstring part) {
  if (!part.empty() && part.back() == L'%') {
    part.pop_back();
    return leadingNumber(part) / 100.0;
  }
  return leadingNumber(part);
}

bool isNumberedPointType(const std::wstring& name) {
  for (const std::wstring& t : g_numberedPointTypes)
    if (t == name) return true;
  return false;
}

std::wstring sanitizeBlockName(std::wstring name) {
  for (wchar_t& c : name) {
    if (std::wstring_view(L"<>/\\\":;?*|,=`").find(c) != std::wstring_view::npos) c = L'·';
  }
  return name;
}

// A solid or patterned hatch of one coordinate line, its loop through the
// points in plan, closed by the first point again when the line does not
// end there already. Null when the loop is refused.
std::unique_ptr<cad::Hatch> makeLineHatch(const std::vector<geom::Point3d>& points,
                                          const std::vector<double>& bulges, const std::wstring& pattern) {
  auto hatch = std::make_unique<cad::Hatch>();
  hatch->setNormal(geom::Vector3d(0, 0, 1));
  hatch->setElevation(0);
  hatch->setPattern(cad::Hatch::kPreDefined, pattern.empty() ? std::wstring(L"SOLID") : pattern);
  hatch->setAssociative(true);
  std::vector<geom::Point2d> loop;
  std::vector<double> loopBulges;
  for (std::size_t i = 0; i < points.size(); ++i) {
    loop.emplace_back(points[i].x, points[i].y);
    loopBulges.push_back(i < bulges.size() ? bulges[i] : 0.0);
  }
  if (!points.empty()) {
    const geom::Point3d& first = points.front();
    const geom::Point3d& last = points.back();
    if (std::fabs(last.x - first.x) >= 1 || std::fabs(last.y - first.y) >= 1) {
      loop.emplace_back(first.x, first.y);
      loopBulges.push_back(loopBulges.front());
    }
  }
  if (hatch->appendLoop(cad::Hatch::kExternal, loop, loopBulges) != cad::Status::Ok) return nullptr;
  hatch->evaluateHatch();
  return hatch;
}

// Draws the coordinate lines of the number (g_curPointGj) into the open
// definition: one polyline per line, and its hatch where the line asks.
void drawFigure(cad::BlockRecord* block, const std::wstring& number) {
  for (const std::wstring& line : GetGjCoordLines(g_curPointGj, number)) {
    std::vector<geom::Point3d> points;
    std::vector<double> bulges;
    ParseCoordList(line, points, bulges);
    StringArray items;
    SplitToArray(line, L",", items);
    const double lineWidth = leadingNumber(GetAttrValue(items, kLineWidthItem));
    std::unique_ptr<cad::Polyline> pl = MakePolyline(points, bulges, false, 0.0);
    if (!pl) continue;
    if (lineWidth > 1) pl->setConstantWidth(5 * lineWidth);
    std::unique_ptr<cad::Hatch> hatch;
    if (line.find(kHatchItem) != std::wstring::npos)
      hatch = makeLineHatch(points, bulges, GetAttrValue(items, kHatchItem));
    // A refused append leaves the entity with us; the unique_ptr deletes it.
    if (block->appendEntity(pl.get()) == cad::Status::Ok) pl.release()->close();
    if (hatch && block->appendEntity(hatch.get()) == cad::Status::Ok) hatch.release()->close();
  }
}

}  // namespace

bool IsFarFromPoints(const geom::Point3d& point, const std::vector<geom::Point3d>& points) {
  for (const geom::Point3d& p : points)
    if (point.distanceTo(p) < kFarDistance) return false;
  return true;
}

int EnsureGjBlockDef(const std::wstring& layer, const std::wstring& blockName, int mode) {
  cad::Database* db = cad::workingDatabase();
  if (!db) return 0;
  if (!layer.empty()) GetOrCreateLayer(layer, db);
  cad::ObjectId existing = db->blockId(blockName);
  if (!existing.isNull()) {
    if (mode != 1) return 0;
    cad::ObjectPtr<cad::BlockRecord> block(existing, cad::OpenMode::ForWrite);
    if (!block) return 0;
    for (cad::ObjectId e : block->entityIds()) {
      cad::ObjectPtr<cad::Entity> ent(e, cad::OpenMode::ForWrite);
      if (ent) ent->erase();
    }
    return 1;
  }
  cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForWrite);
  if (!table) return 0;
  auto record = std::make_unique<cad::BlockRecord>();
  if (record->setName(blockName) != cad::Status::Ok) return 0;
  cad::ObjectId blockId;
  if (table->add(std::move(record), &blockId) != cad::Status::Ok) return 0;
  cad::ObjectPtr<cad::BlockRecord> block(blockId, cad::OpenMode::ForWrite);  // closes the new record
  return 1;
}

std::wstring MakePointGjBlockName(const std::wstring& name, const std::wstring& number,
                                  const std::wstring& figure) {
  std::wstring fig = figure;
  if (fig.empty()) fig = GetAttrValue(GetGjParamLines(g_curPointGj, number), kFigureParam);
  return L"sys$" + name + L"$" + fig;
}

std::wstring PointGjBlockDefName(const std::wstring& name, const std::wstring& number) {
  std::wstring block = MakePointGjBlockName(name, number, L"");
  if (isNumberedPointType(name))
    block += L"$" + number;
  else
    block += L"$" + FigureKey(GetAttrValue(g_curPointGj.coords, number));
  return sanitizeBlockName(block);
}

std::wstring FigureKey(const std::wstring& coordText) {
  // FNV-1a over the characters: a short stable name for the figure's lines.
  std::uint32_t h = 2166136261u;
  for (wchar_t c : coordText) {
    h ^= static_cast<std::uint32_t>(c);
    h *= 16777619u;
  }
  wchar_t buf[9];
  std::swprintf(buf, 9, L"%08X", static_cast<unsigned>(h));
  return buf;
}

cad::Scale3d PointGjScaleOf(const std::wstring& text) {
  StringArray parts;
  SplitToArray(text, L",", parts);
  cad::Scale3d s;
  if (parts.size() == 2) {
    s.sx = scalePart(parts[0]);
    s.sy = scalePart(parts[1]);
  } else if (parts.size() == 1) {
    s.sx = s.sy = scalePart(parts[0]);
  }
  return s;
}

void InsertPointGjBlock(cad::ObjectId& id, const std::wstring& name, const std::wstring& number,
                        const geom::Point3d& position, double rotation) {
  id = cad::ObjectId();
  LoadPointGjByName(name, L"", false);
  const std::wstring blockName = PointGjBlockDefName(name, number);
  EnsureGjBlockDef(name, blockName, 0);
  id = InsertBlockRef(blockName, geom::Point3d(position.x, position.y, 0), rotation, cad::Scale3d{},
                      geom::Vector3d(0, 0, 1), name, nullptr);
}

void RebuildPointGjFigure(const std::wstring& name, cad::ObjectId id) {
  if (id.isNull()) return;
  if (g_checkGjOverlap == 1 && !CheckGjOverlap(name, id)) {
    EraseEntity(id);
    return;
  }
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  if (attrs.empty()) return;
  const bool visible = IsEntityVisible(id);

  // The definition of the number as the point definition is loaded now.
  const std::wstring blockName = PointGjBlockDefName(name, number);
  EnsureGjBlockDef(name, blockName, 0);
  cad::Database* db = cad::workingDatabase();
  if (!db) return;
  {
    cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForWrite);
    if (!table) return;
    const cad::ObjectId blockId = table->getAt(blockName);
    table.close();
    LoadPointGjByName(name, L"", false);
    if (!blockId.isNull()) {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForWrite);
      if (ref) {
        // A reference whose number changed moves to its new definition.
        if (ref->blockTableRecord() != blockId) ref->setBlockTableRecord(blockId);
        ref.close();
        const bool drawNow = !g_figuresDrawn || g_figuresDrawn->insert(blockName).second;
        cad::ObjectPtr<cad::BlockRecord> block(blockId, cad::OpenMode::ForWrite);
        if (block && drawNow) {
          // Emptied for every type, so a shared definition keeps one copy of
          // its figure instead of gaining another at every drawing.
          for (cad::ObjectId e : block->entityIds()) {
            cad::ObjectPtr<cad::Entity> ent(e, cad::OpenMode::ForWrite);
            if (ent) ent->erase();
          }
          drawFigure(block.get(), number);
        }
      }
    }
  }

  // Scale, then the label beside the scaled extents.
  cad::Extents3d ext;
  {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForWrite);
    if (!ref) return;
    ref->setScaleFactors(PointGjScaleOf(GetAttrValue(GetGjParamLines(g_curPointGj, number), kScaleParam)));
    if (ref->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) {
      ext = cad::Extents3d{};
      ext.add(ref->position());
    }
  }
  double elev = 0;
  GetPointGjSpecial(id, nullptr, &elev, nullptr);
  const geom::Point3d at(ext.maxPoint.x + 0.25 * (ext.maxPoint.x - ext.minPoint.x), ext.maxPoint.y + kLabelHeight,
                         elev);
  cad::ObjectId label = AddText(at, number, kLabelHeight, 0, 1, name + kLabelLayerSuffix, nullptr,
                                cad::Text::kMid, cad::Text::kVertMid);
  if (label.isNull()) return;
  SetGjXdata(label, number, attrs.front(), nullptr);
  SetEntityVisible(label, visible ? 1 : 0);
}

PointFiguresDrawnOnce::PointFiguresDrawnOnce() : outer_(g_figuresDrawn) { g_figuresDrawn = &drawn_; }

PointFiguresDrawnOnce::~PointFiguresDrawnOnce() { g_figuresDrawn = outer_; }

void RebuildPointGjs(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  LoadPointGjByName(name, L"", true);
  SetLayerColorRGB(name, g_curPointGj.colour, nullptr);
  SetLayerColorRGB(name + kLabelLayerSuffix, g_curPointGj.labelColour, nullptr);

  cad::ObjectIdArray work = ids;
  if (work.empty())
    CollectIdsByLayerAndNumber(name + L"," + name + kLabelLayerSuffix + L"," + name + kEdgeLayerSuffix, number,
                               work, nullptr);

  cad::ObjectIdArray toErase, rebuilt;
  {
    OverlapCheckOff rebuilding;
    PointFiguresDrawnOnce drawOnce;
    for (cad::ObjectId id : work) {
      std::wstring num;
      StringArray attrs;
      GetGjNumberAndAttrs(id, num, attrs);
      if (attrs.size() <= 1) {
        // Labels, edge lines and entities without component data.
        toErase.push_back(id);
        continue;
      }
      // A copy becomes the primary entity of its component.
      attrs.front() = GetHandleText(id);
      ClearXdata(id, kXdataAttrs);
      SetXdataLines(id, kXdataAttrs, attrs, nullptr);
      bool isBlockRef = false;
      {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        if (!ent) continue;  // cannot be opened: it keeps its old figure
        isBlockRef = cad::isKindOf<cad::BlockReference>(ent.get());
      }
      if (isBlockRef) {
        RebuildPointGjFigure(name, id);
        rebuilt.push_back(id);
      } else {
        // A primary entity that is no block reference (a run drawn on the
        // layer by mistake) has no figure to draw: it stays, named.
        ReportGjNotRebuilt(name, num, id);
      }
    }
  }
  EraseEntities(toErase);
  RefreshSolid3dOfType(name, rebuilt, cad::workingDatabase());
}

