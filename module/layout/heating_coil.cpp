// Floor-heating coils: the two engines, their figures and their rebuild.
#include "module/layout/heating_coil.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <set>
#include <vector>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/rebuild_gj.h"
#include "module/model/component_types.h"
#include "module/model/current_gj.h"
#include "module/model/geom_helpers.h"
#include "module/model/linear_entities.h"
#include "module/model/point_blocks.h"
#include "module/model/point_steps.h"
#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"

namespace {

using geom::Point3d;

constexpr double kFigureWidth = 2.0;
constexpr double kLabelHeight = 80.0;
// Half the side of the square searched around a path end.
constexpr double kTouchReach = 0.1;

const std::wstring kStartKey = L"起点";
const std::wstring kEndKey = L"终点";
const std::wstring kPathKey = L"路径";
const std::wstring kBaseElevParam = L"底标高";

// ---------------------------------------------------------------------------
// Area data
// ---------------------------------------------------------------------------

std::wstring formatCorner(const Point3d& p) {
  wchar_t buf[128];
  std::swprintf(buf, 128, L"%f,%f,%f", RoundTo(p.x, 1), RoundTo(p.y, 1), RoundTo(p.z, 1));
  return buf;
}

// Pieces "x,y:bulge" joined by "|".
std::wstring formatPath(const PointList& path, const BulgeList& bulges) {
  std::wstring text;
  for (size_t i = 0; i < path.size(); ++i) {
    wchar_t buf[160];
    std::swprintf(buf, 160, L"%.6f,%.6f:%.12g", path[i].x, path[i].y, i < bulges.size() ? bulges[i] : 0.0);
    if (!text.empty()) text += L"|";
    text += buf;
  }
  return text;
}

// Every piece of the text a number, and exactly count of them.
bool parseNumbers(const std::wstring& text, const wchar_t* separator, size_t count, std::vector<double>& out) {
  StringArray parts;
  SplitToArray(text, separator, parts);
  if (parts.size() != count) return false;
  out.assign(count, 0.0);
  for (size_t i = 0; i < count; ++i)
    if (!ed::parseReal(parts[i], out[i])) return false;
  return true;
}

bool parseCorner(const std::wstring& text, Point3d& p) {
  std::vector<double> v;
  if (!parseNumbers(text, L",", 3, v)) return false;
  p = Point3d(v[0], v[1], v[2]);
  return true;
}

bool parsePath(const std::wstring& text, PointList& path, BulgeList& bulges) {
  path.clear();
  bulges.clear();
  StringArray pieces;
  SplitToArray(text, L"|", pieces);
  for (const std::wstring& piece : pieces) {
    std::wstring xy, bulgeText;
    SplitHeadTail(piece, L":", xy, bulgeText);
    std::vector<double> v;
    double bulge = 0;
    if (!parseNumbers(xy, L",", 2, v) || !ed::parseReal(bulgeText, bulge)) return false;
    path.emplace_back(v[0], v[1], 0.0);
    bulges.push_back(bulge);
  }
  return path.size() >= 2;
}

// Replaces the coil's area data; false when the coil cannot be written.
bool writeCoilArea(cad::ObjectId id, const Point3d& a, const Point3d& b, const std::wstring& pathText) {
  ClearXdata(id, kXdataFloorHeating);
  StringArray lines{kStartKey + L"=" + formatCorner(a), kEndKey + L"=" + formatCorner(b)};
  if (!pathText.empty()) lines.push_back(kPathKey + L"=" + pathText);
  return SetXdataLines(id, kXdataFloorHeating, lines, nullptr);
}

// The stored area of a coil: both corners, and the path of a coil laid along
// one. False when a corner or the path cannot be read.
struct CoilArea {
  Point3d a, b;
  PointList path;
  BulgeList bulges;
};
bool readCoilArea(cad::ObjectId id, CoilArea& area) {
  StringArray lines;
  GetXdataLines(id, kXdataFloorHeating, lines);
  if (!parseCorner(GetAttrValue(lines, kStartKey), area.a) || !parseCorner(GetAttrValue(lines, kEndKey), area.b))
    return false;
  const std::wstring pathText = GetAttrValue(lines, kPathKey);
  return pathText.empty() || parsePath(pathText, area.path, area.bulges);
}

// A coil laid along a path stands at the path's first vertex (its first
// corner), a rectangle coil at the centre of its corners. A path coil stored
// without its path cannot be drawn again.
bool isPathCoilWithoutPath(const CoilArea& area, const Point3d& position) {
  const Point3d centre((area.a.x + area.b.x) / 2, (area.a.y + area.b.y) / 2, 0);
  return area.path.empty() && IsEqualPointXY(position, area.a, 0.1) && !IsEqualPointXY(position, centre, 0.1);
}

// ---------------------------------------------------------------------------
// Figures
// ---------------------------------------------------------------------------

// The duplicate check of laying: while it is on, a coil repeating another is
// erased.
bool keepAsNewCoil(cad::ObjectId& id, const std::wstring& name) {
  if (id.isNull()) return false;
  if (g_checkGjOverlap == 1 && !CheckDuplicateInput(name, id, true)) {
    EraseEntity(id);
    id = cad::ObjectId();
    return false;
  }
  return true;
}

// A decoration of the coil: its number and first attribute line, its
// visibility.
void tagAsCoilDecoration(cad::ObjectId decoration, cad::ObjectId coil) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(coil, number, attrs);
  SetGjXdata(decoration, number, attrs.empty() ? GetHandleText(coil) : attrs.front(), nullptr);
  SetEntityVisible(decoration, IsEntityVisible(coil) ? 1 : 0);
}

void drawCoilFigure(cad::ObjectId coil, const std::wstring& name, const PointList& vertices,
                    const BulgeList& bulges, bool closed, double width, const Point3d& labelAt) {
  const cad::ObjectId figure = AddPolyline(vertices, bulges, closed, width, name + kEdgeLayerSuffix, nullptr);
  if (figure.isNull()) return;
  tagAsCoilDecoration(figure, coil);
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(coil, number, attrs);
  const cad::ObjectId label = AddText(labelAt, number, kLabelHeight, 0, 1, name + kLabelLayerSuffix, nullptr,
                                      cad::Text::kMid, cad::Text::kVertMid);
  if (!label.isNull()) tagAsCoilDecoration(label, coil);
}

// The parameter 底标高 of the number: "层高" is the floor height, nothing
// is 0; a text that is no number is refused with a message.
bool coilBaseElevation(const std::wstring& name, const std::wstring& number, double& z) {
  const std::wstring value = TrimWhite(GetAttrValue(GetGjParamLines(g_curPointGj, number), kBaseElevParam));
  z = 0;
  if (value.empty()) return true;
  if (value == L"层高") {
    z = g_floorHeight;
    return true;
  }
  if (ed::parseReal(value, z)) return true;
  ed::print(L"\n%s %s 的底标高\"%s\"不是数值,请在构件定义中改正\n", name.c_str(), number.c_str(), value.c_str());
  return false;
}

// The coil block reference with its component data at pos, in the open
// step; null (nothing left) when it cannot be made or stamped.
cad::ObjectId insertCoil(const std::wstring& name, const std::wstring& number, const Point3d& pos, double z) {
  const std::wstring block = CoilBlockName(name, number);
  EnsureGjBlockDef(name, block, 0);
  const cad::ObjectId id =
      InsertBlockRef(block, Point3d(pos.x, pos.y, 0), 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), name, nullptr);
  if (id.isNull()) {
    ed::print(L"\n无法建立地暖盘管的图块%s\n", block.c_str());
    return id;
  }
  const geom::Vector3d noTurn(0, 0, 0);
  if (!SetPointGjSpecial(&number, id, &z, &noTurn)) return cad::ObjectId();
  return id;
}

// One rectangle coil, made whole or not at all. False when the command must
// end (the area data cannot be written).
bool layRectCoil(const std::wstring& name, const std::wstring& number, const Point3d& lo, const Point3d& hi) {
  PlacementStep step;
  // The layers come with the first coil, so that a command ended before it
  // leaves the drawing as it was.
  PreparePointGjLayers(name);
  const Point3d centre((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, 0);
  cad::ObjectId id = insertCoil(name, number, centre, lo.z);
  if (id.isNull()) return true;
  if (!writeCoilArea(id, lo, hi, L"")) return false;
  DrawCoilGj(id, name, lo, hi);
  if (!id.isNull()) RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  step.keep();
  return true;
}

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

// Appends vertices with their bulges (bulge i from vertex i to i + 1); the
// path's last bulge belongs to the segment to the first appended vertex and
// is 0 (straight).
void appendToPath(PointList& path, BulgeList& bulges, const PointList& more, const BulgeList& moreBulges) {
  for (size_t i = 0; i < more.size(); ++i) {
    path.push_back(more[i]);
    bulges.push_back(i < moreBulges.size() ? moreBulges[i] : 0.0);
  }
  if (!bulges.empty()) bulges.back() = 0;
}

// The path the other way round: segments in reverse order, bulges negated.
void reversePath(PointList& path, BulgeList& bulges) {
  const size_t n = path.size();
  BulgeList reversed(n, 0.0);
  for (size_t j = 0; j + 1 < n; ++j) reversed[j] = -(n - 2 - j < bulges.size() ? bulges[n - 2 - j] : 0.0);
  std::reverse(path.begin(), path.end());
  bulges = std::move(reversed);
}

bool samePlanPoint(const Point3d& a, const Point3d& b) { return IsEqualPointXY(a, b, kTouchReach); }

// The vertices of a line or lightweight polyline; false for other entities
// and entities that cannot be opened.
bool curveVertices(cad::ObjectId id, PointList& points, BulgeList& bulges) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent || !(cad::isKindOf<cad::Line>(ent.get()) || cad::isKindOf<cad::Polyline>(ent.get()))) return false;
  GetEntityVerticesOpen(ent.get(), points, bulges);
  return points.size() >= 2;
}

enum class Walk { Open, Closed };

const wchar_t* const kClosedChainMessage = L"\n封闭多段线,不能处理!";

// Walks from the path's last vertex along the touching curves, appending
// them. Closed when the chain comes back to the path's first vertex or to a
// curve already taken.
Walk walkFromEnd(PointList& path, BulgeList& bulges, cad::ObjectId curve, std::set<cad::ObjectId>& taken) {
  for (;;) {
    const Point3d x = path.back();
    const bool found = FindTouchingCurves(x, curve);
    if (samePlanPoint(x, path.front())) return Walk::Closed;
    if (!found || curve.isNull()) return Walk::Open;
    if (!taken.insert(curve).second) return Walk::Closed;
    PointList more;
    BulgeList moreBulges;
    if (!curveVertices(curve, more, moreBulges)) return Walk::Open;
    // The curve is taken from its end at x.
    if (x.distanceTo(more.back()) < x.distanceTo(more.front())) reversePath(more, moreBulges);
    appendToPath(path, bulges, more, moreBulges);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Interfaces
// ---------------------------------------------------------------------------

std::wstring CoilBlockName(const std::wstring& name, const std::wstring& number) {
  // The riser blocks' character rules, applied to the whole name.
  return VertGjBlockName(name + L"_" + number);
}

PointList CoilSpiralVertices(const Point3d& a, const Point3d& b) {
  const Point3d p0(a.x, a.y, 0);
  const Point3d q(b.x, a.y, 0), r(b.x, b.y, 0), s(a.x, b.y, 0);
  auto unit = [](const Point3d& from, const Point3d& to) {
    geom::Vector3d v = to - from;
    const double len = v.length();
    return len > 0 ? v / len : geom::Vector3d(0, 0, 0);
  };
  const geom::Vector3d u1 = unit(p0, q), u2 = unit(q, r), u3 = unit(r, s), u4 = unit(s, p0);
  double l1 = std::fabs(b.x - a.x), l2 = std::fabs(b.y - a.y);

  PointList vertices{p0};
  Point3d v = p0;
  do {
    const Point3d v1 = v + u1 * l1;
    const Point3d v2 = v1 + u2 * l2;
    vertices.push_back(v1);
    vertices.push_back(v2);
    l1 -= kCoilSpacing;
    l2 -= kCoilSpacing;
    // A side with no length left would turn outwards, out of the rectangle.
    if (l1 <= 0) break;
    const Point3d v3 = v2 + u3 * l1;
    vertices.push_back(v3);
    if (l2 <= 0) break;
    const Point3d v4 = v3 + u4 * l2;
    vertices.push_back(v4);
    v = v4;
    l1 -= kCoilSpacing;
    l2 -= kCoilSpacing;
  } while (l1 > kCoilSpacing && l2 > kCoilSpacing);
  return vertices;
}

void DrawCoilGj(cad::ObjectId& id, const std::wstring& name, const Point3d& a, const Point3d& b) {
  if (!keepAsNewCoil(id, name)) return;
  drawCoilFigure(id, name, CoilSpiralVertices(a, b), {}, true, kFigureWidth,
                 Point3d((a.x + b.x) / 2, (a.y + b.y) / 2, a.z));
}

void DrawCoilGjAlongPath(cad::ObjectId& id, const PointList& path, const BulgeList& bulges,
                         const std::wstring& name) {
  if (path.empty() || !keepAsNewCoil(id, name)) return;
  drawCoilFigure(id, name, path, bulges, false, 0, path[path.size() / 2]);
}

bool FindTouchingCurves(const Point3d& x, cad::ObjectId& curve) {
  const std::vector<Point3d> square{{x.x - kTouchReach, x.y + kTouchReach, 0},
                                    {x.x - kTouchReach, x.y - kTouchReach, 0},
                                    {x.x + kTouchReach, x.y - kTouchReach, 0},
                                    {x.x + kTouchReach, x.y + kTouchReach, 0}};
  ed::SelSet ss = 0;
  cad::ObjectIdArray found;
  if (ed::ssGet(L"CP", square, ed::SelFilter{}, ss) == ed::kNormal) {
    SSToIds(ss, found);
    ed::ssFree(ss);
  }
  if (found.size() != 2) {
    ed::printText(L"\n搜索实体太多或者只有本身实体!");
    return false;
  }
  for (cad::ObjectId id : found) {
    if (id == curve) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    const bool isCurve = ent && (cad::isKindOf<cad::Line>(ent.get()) || cad::isKindOf<cad::Polyline>(ent.get()));
    curve = isCurve ? id : cad::ObjectId();
  }
  return true;
}

void LayCoilGj() {
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  double z = 0;
  if (!coilBaseElevation(name, number, z)) return;

  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  winlib::InputOneElev(winlib::kPaletteOpen, x, y, z);
  FocusDrawingView();
  ScopeExit closeWindow([] {
    double none = 0;
    winlib::InputOneElev(winlib::kPaletteClose, 0, 0, none);
  });

  for (;;) {
    Point3d first, second;
    if (ed::getPoint(nullptr, L"\nselect a point:", first) != ed::kNormal) return;
    if (ed::getCorner(first, L"\nSelect an area:", second) != ed::kNormal) continue;
    winlib::InputOneElev(winlib::kPalettePoll, 0, 0, z);
    const Point3d lo(std::min(first.x, second.x), std::min(first.y, second.y), z);
    const Point3d hi(std::max(first.x, second.x), std::max(first.y, second.y), z);
    if (!layRectCoil(name, number, lo, hi)) return;
  }
}

void LineToCoilGj() {
  if (!LoadCurPointGj()) return;
  cad::ObjectId picked;
  Point3d at;
  if (ed::entSel(L"\n选择一个实对象：", picked, at) != ed::kNormal) return;
  PointList path;
  BulgeList bulges;
  if (!curveVertices(picked, path, bulges)) return;

  // Beyond the picked curve's end, then (the path turned round) beyond its
  // start: the path runs from the free end beyond the start to the free end
  // beyond the end.
  std::set<cad::ObjectId> taken{picked};
  for (int pass = 0; pass < 2; ++pass) {
    if (walkFromEnd(path, bulges, picked, taken) == Walk::Closed) {
      ed::printText(kClosedChainMessage);
      return;
    }
    reversePath(path, bulges);
  }

  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);

  PlacementStep step;
  cad::ObjectId id = insertCoil(name, number, path.front(), 0);
  if (id.isNull()) return;
  const Point3d a(path.front().x, path.front().y, 0);
  const Point3d& far = path.size() > 2 ? path[2] : path[1];
  if (!writeCoilArea(id, a, Point3d(far.x, far.y, 0), formatPath(path, bulges))) return;
  DrawCoilGjAlongPath(id, path, bulges, name);
  if (!id.isNull()) RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  step.keep();
}

void RebuildCoilGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids) {
  LoadPointGjByName(name, L"", true);
  ColourGjLayers(name, g_curPointGj.colour, g_curPointGj.labelColour);

  cad::ObjectIdArray decorations, rebuilt;
  std::set<std::wstring> keptFigures;  // handles of coils whose old figure stays
  {
    // Every coil is redrawn where it stands: none is a duplicate of another.
    OverlapCheckOff rebuilding;
    WalkRebuildIds(GjRebuildIds(name, number, ids), decorations, [&](cad::ObjectId id, const std::wstring& num,
                                                                     const StringArray& attrs) {
      bool isRef = false;
      Point3d position;
      {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        if (!ent) return;  // left alone
        if (auto* ref = cad::cast<cad::BlockReference>(ent.get())) {
          isRef = true;
          position = ref->position();
        }
      }
      if (!isRef) {
        decorations.push_back(id);
        return;
      }
      CoilArea area;
      const bool readable = readCoilArea(id, area);
      if (!readable || isPathCoilWithoutPath(area, position)) {
        ed::print(readable ? L"\n%s %s 沿线布置但没有保存路径,保留原图形\n" : L"\n%s %s 的区域数据无法读取,保留原图形\n",
                  name.c_str(), num.c_str());
        keptFigures.insert(attrs.front());
        return;
      }
      cad::ObjectId coil = id;
      if (area.path.empty())
        DrawCoilGj(coil, name, area.a, area.b);
      else
        DrawCoilGjAlongPath(coil, area.path, area.bulges, name);
      rebuilt.push_back(id);
    });
  }
  cad::ObjectIdArray toErase;
  for (cad::ObjectId id : decorations) {
    std::wstring num;
    StringArray attrs;
    GetGjNumberAndAttrs(id, num, attrs);
    if (attrs.empty() || !keptFigures.count(attrs.front())) toErase.push_back(id);
  }
  EraseEntities(toErase);
  RefreshSolid3dOfType(name, rebuilt, ed::curDatabase());
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void CmdCoil() {
  PrepareGjCombos(kCoilType, kCoilType);
  if (!LayoutDefinitionAvailable(kCoilType, kCoilType, true)) return;
  LayCoilGj();
}

void CmdLineToCoil() {
  PrepareGjCombos(kCoilType, kCoilType);
  if (!LayoutDefinitionAvailable(kCoilType, kCoilType, true)) return;
  LineToCoilGj();
}
