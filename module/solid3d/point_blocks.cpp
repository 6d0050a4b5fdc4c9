// Point-component 3D blocks.
#include "module/solid3d/point_blocks.h"

#include <cmath>

#include "module/model/params.h"
#include "module/model/project_tables.h"
#include "module/solid3d/pipe_solids.h"
#include "module/solid3d/shape_solids.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/points.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/body3d.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/os/os.h"

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

bool codirectional(const Vector3d& a, const Vector3d& b) {
  return a.normal().dot(b.normal()) > std::cos(0.0174532925);
}

// The block of the working drawing with the figure, made from the graph
// library when missing; null when the library has no such figure or its
// drawing cannot be read.
cad::ObjectId figureBlock(const std::wstring& name, const std::wstring& type, const std::wstring& figure,
                          std::wstring& why) {
  cad::Database* work = cad::workingDatabase();
  if (!work) return {};
  {
    cad::ObjectPtr<cad::BlockTable> bt(work->blockTableId(), cad::OpenMode::ForRead);
    if (bt.status() == cad::Status::Ok) {
      cad::ObjectId id;
      if (bt->getAt(name, id) == cad::Status::Ok) return id;
    }
  }
  const std::wstring path = g_tempDir + L"\\Graph.dwg";
  {
    tablelib::Table lib(g_baseDir + L"\\系统文件\\图形库.DB");
    if (!LocateRuleItem(lib, type, figure)) {
      why = L"图形库中没有图形" + figure;
      return {};
    }
    SuiteCall<unsigned char(int, const wchar_t*, const wchar_t*)>::call(
        SuiteModule::Table, "DbDll_FieldByName_SaveToFile_W", static_cast<unsigned char>(0), lib.handle(),
        L"DWG图形", path.c_str());
  }
  cad::Database side(false);
  if (side.readDwgFile(os::nativePath(path)) != cad::Status::Ok) {
    why = L"图形" + figure + L"的图纸读不出";
    return {};
  }
  cad::ObjectId block;
  if (work->insert(block, name, side, true) != cad::Status::Ok) {
    why = L"图形" + figure + L"无法插入";
    return {};
  }
  return block;
}

// A box over the extents of the component's plan figure (all its lines), in
// the block's own coordinates; null without a figure.
std::unique_ptr<cad::Body3d> planFigureBox(cad::ObjectId id, const std::wstring& num, const TypeRows& rows) {
  StringArray lines;
  SplitLines(ComponentFigure(id, num, rows), lines);
  PointList all;
  for (const std::wstring& line : lines) {
    PointList pts;
    BulgeList bulges;
    ParseCoordList(line, pts, bulges);
    PointList flat;
    BulgeList flatBulges;
    TessellateOutline(pts, bulges, flat, flatBulges, 16);
    all.insert(all.end(), flat.begin(), flat.end());
  }
  if (all.size() < 2) return nullptr;
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const Point3d& p : all) {
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  double h = std::min(x1 - x0, y1 - y0);
  if (h < 1) return nullptr;
  solid::Profile base;
  base.vertices = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
  base.bulges.assign(4, 0);
  return std::make_unique<cad::Body3d>(solid::Body::extrusion(base, {0, 0, h}));
}

}  // namespace

double FigureScale(const std::wstring& value) {
  std::wstring v = value;
  while (!v.empty() && std::iswspace(v.back())) v.pop_back();
  if (v.empty()) return 1;
  double k = std::wcstod(v.c_str(), nullptr);
  if (v.back() == L'%') k /= 100;
  return k > 0 ? k : 1;
}

void PlaceTapOnFitting(cad::ObjectId tap, double rotation, Point3d& p) {
  const Vector3d v = Matrix3d::rotation(rotation, {0, 0, 1}) * Vector3d(0, 1, 0);
  for (cad::ObjectId f : LinkedFittings(tap)) {
    Point3d at;
    {
      cad::ObjectPtr<cad::BlockReference> ref(f, cad::OpenMode::ForRead);
      if (ref.status() != cad::Status::Ok) continue;
      at = ref->position();
    }
    if ((p - at).length() > 10) continue;
    std::vector<FittingArm> arms;
    if (!ReadFittingArms(f, arms)) continue;
    bool along = false;
    for (const FittingArm& a : arms) along = along || codirectional(a.dir, v);
    if (!along) continue;
    double s = 0;
    if (arms.size() == 1) {
      p = p - v * 10;
      continue;
    }
    if (!FittingTrimLength(arms, v, s)) {
      if (arms.size() == 2 && std::fabs(arms[0].dir.dot(arms[1].dir)) < 1 - 1e-6) return;
      continue;
    }
    p = p + v * (s - 10);
  }
}

void BuildPointBlockSolids(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db) {
  BuildTypeSolids({&MakePointBlock3d, L"坐标", true}, type, ids, db);
}

std::wstring MakePointBlock3d(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out) {
  out.clear();
  std::wstring num;
  StringArray attrs;
  GetGjNumberAndAttrs(id, num, attrs);
  if (num.empty() || attrs.size() < 2) return L"";
  Matrix3d transform;
  Point3d position;
  double rotation = 0;
  std::wstring blockName;
  {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (ref.status() != cad::Status::Ok) return L"";
    transform = ref->blockTransform();
    position = ref->position();
    rotation = ref->rotation();
    cad::ObjectPtr<cad::BlockRecord> rec(ref->blockTableRecord(), cad::OpenMode::ForRead);
    if (rec.status() == cad::Status::Ok) blockName = rec->name();
  }
  if (type == L"普通水嘴" || type == L"冷热水嘴") {
    Point3d moved = position;
    PlaceTapOnFitting(id, rotation, moved);
    transform = Matrix3d::translation(moved - position) * transform;
    position = moved;
  }
  Matrix3d place = ShapePlacement(id, transform, rotation, position);
  const StringArray lines = ComponentParameters(id, num, rows);
  const double scale = FigureScale(GetAttrValue(lines, L"图形缩放"));
  const std::wstring figure = GetAttrValue(lines, L"图形");
  if (figure.empty()) return L"编号" + num + L"缺少参数\"图形\"";
  std::wstring why;
  cad::ObjectId block = figureBlock(blockName + L"$" + type + L"$" + figure + L"$3d", type, figure, why);
  if (block.isNull()) {
    // Without a drawing of its own the figure stands as a box over its plan
    // outline, as high as the outline's shorter side.
    auto box = planFigureBox(id, num, rows);
    if (!box) return why;
    if (box->transformBy(place * Matrix3d::scaling(scale)) != cad::Status::Ok) return why;
    StampTwin(box.get(), num, attrs[0]);
    out.push_back(std::move(box));
    return L"";
  }
  auto ref = std::make_unique<cad::BlockReference>(position, block);
  if (ref->setBlockTransform(place * Matrix3d::scaling(scale)) != cad::Status::Ok)
    return L"无法放置三维图块";
  StampTwin(ref.get(), num, attrs[0]);
  out.push_back(std::move(ref));
  return L"";
}
