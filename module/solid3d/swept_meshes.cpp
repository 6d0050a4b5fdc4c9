// Swept section meshes, wire strips and wire in conduit.
#include "module/solid3d/swept_meshes.h"

#include <cmath>

#include "module/model/params.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/solid3d/pipe_solids.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

struct RunData {
  std::wstring number;
  StringArray attrs;
  PointList figure;
  BulgeList figureBulges;
  std::wstring kind;
  double start = 0, end = 0;
};

// The component's number, figure and special data; "" when they are all
// there, else why not (an empty text with an empty number: not a primary
// component, no twin meant).
std::wstring readRun(cad::ObjectId id, const TypeRows& rows, RunData& r, bool figureRequired = true) {
  GetGjNumberAndAttrs(id, r.number, r.attrs);
  if (r.number.empty() || r.attrs.size() < 2) {
    r.number.clear();
    return L"";
  }
  std::wstring figure = SectionFigure(id, r.number, rows);
  if (figure.empty() && figureRequired) return L"编号" + r.number + L"没有截面图形";
  ParseCoordList(figure, r.figure, r.figureBulges);
  GetGjSpecial(id, &r.kind, &r.start, &r.end);
  if (r.kind != L"斜管" && r.kind != L"立管" && r.kind != L"贯通管") return L"缺少特殊数据(类型)";
  r.start += g_floorBaseElev;
  r.end += g_floorBaseElev;
  return L"";
}

// A riser's plan placement: its position and rotation (scale and z left out).
bool riserPlacement(cad::ObjectId id, Matrix3d& place, Point3d& at) {
  cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
  if (ref.status() != cad::Status::Ok) return false;
  at = ref->position();
  place = Matrix3d::translation({at.x, at.y, 0}) * Matrix3d::rotation(ref->rotation(), {0, 0, 1});
  return true;
}

// The mesh of the section swept along the run or standing as a riser prism.
std::wstring sweptMesh(cad::ObjectId id, const RunData& r, const std::vector<Point3d>& section,
                       std::unique_ptr<cad::PolygonMesh>& mesh) {
  if (r.kind == L"斜管") {
    std::vector<Point3d> path;
    if (!RunPath(id, r.start, r.end, path)) return L"";
    mesh = std::make_unique<cad::PolygonMesh>(int(path.size()), int(section.size()), SweepRows(section, path));
  } else {
    Matrix3d place;
    Point3d at;
    if (!riserPlacement(id, place, at)) return L"立管不是块参照";
    double lo = std::min(r.start, r.end), h = std::fabs(r.end - r.start);
    Point3d lift(0, 0, lo);
    RoundPoint(lift, 1);
    std::vector<Point3d> rows;
    for (const Point3d& q : section) rows.push_back(place * q + lift.asVector());
    for (const Point3d& q : section) rows.push_back(place * q + lift.asVector() + Vector3d(0, 0, h));
    mesh = std::make_unique<cad::PolygonMesh>(2, int(section.size()), rows);
  }
  StampTwin(mesh.get(), r.number, r.attrs[0]);
  return L"";
}

}  // namespace

bool RunPath(cad::ObjectId id, double start, double end, std::vector<Point3d>& path) {
  path.clear();
  PointList pts;
  BulgeList bulges;
  GetEntityVertices(id, pts, bulges);
  if (pts.size() < 2) return false;
  Point3d p0 = pts[0], p1 = pts[1];
  double b = bulges.empty() ? 0 : bulges[0];
  if (GetSegmentLength(p0, p1, b) < 1.0) return false;
  if (std::hypot(p1.x - p0.x, p1.y - p0.y) <= 0) return false;
  if (b == 0) {
    path = {p0, p1};
  } else {
    BulgeList pathBulges;
    TessellateSegment(p0, p1, b, path, pathBulges, 96);
  }
  for (Point3d& p : path) p.z = RunElevationAt(p, p0, p1, start, end);
  return path.size() >= 2;
}

std::vector<Point3d> SweepRows(const std::vector<Point3d>& section, const std::vector<Point3d>& path) {
  std::vector<Point3d> rows;
  rows.reserve(section.size() * path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    Vector3d dir = i + 1 < path.size() ? path[i + 1] - path[i] : path[i] - path[i - 1];
    if (dir.isZeroLength()) dir = Vector3d(1, 0, 0);
    Matrix3d place = geom::planeToWorld(path[i], dir.normal());
    for (const Point3d& q : section) rows.push_back(place * q);
  }
  return rows;
}

std::wstring MakeSweptSectionMesh(const std::wstring&, cad::ObjectId id, const TypeRows& rows, TwinList& out) {
  RunData r;
  std::wstring why = readRun(id, rows, r);
  if (!why.empty() || r.number.empty()) return why;
  PointList section;
  BulgeList sectionBulges;
  TessellateOutline(r.figure, r.figureBulges, section, sectionBulges, 8);
  RoundPoints(section, 1);
  if (section.size() < 2) return L"截面图形少于两点";
  for (Point3d& p : section) p.z = 0;
  std::unique_ptr<cad::PolygonMesh> mesh;
  why = sweptMesh(id, r, section, mesh);
  if (mesh) out.push_back(std::move(mesh));
  return why;
}

std::wstring MakeWireMesh(const std::wstring&, cad::ObjectId id, const TypeRows& rows, TwinList& out) {
  RunData r;
  std::wstring why = readRun(id, rows, r, false);
  if (!why.empty() || r.number.empty()) return why;
  // A wire without a figure of its own shows as a strip 10 wide.
  double w = 10, h = 0;
  if (!r.figure.empty()) GetOutlineSize(r.figure, r.figureBulges, w, h);
  std::vector<Point3d> strip{{-w / 2, 0, 0}, {w / 2, 0, 0}};
  RoundPoints(strip, 1);
  std::unique_ptr<cad::PolygonMesh> mesh;
  why = sweptMesh(id, r, strip, mesh);
  if (mesh) out.push_back(std::move(mesh));
  return why;
}

std::wstring MakeWireInConduitMeshes(const std::wstring& type, cad::ObjectId id, const TypeRows& rows,
                                     TwinList& out) {
  out.clear();
  std::wstring why = MakeSweptSectionMesh(type, id, rows, out);
  if (out.empty()) return why;
  RunData r;
  if (!readRun(id, rows, r).empty() || r.number.empty()) return L"";
  // The wire count and conduit size of the component's own floor rows.
  const StringArray lines = ComponentParameters(id, r.number, rows);
  int n = int(std::wcstol(GetAttrValue(lines, L"导线根数").c_str(), nullptr, 10));
  if (n < 1) return L"";
  double size = std::wcstod(GetAttrValue(lines, L"导管规格(mm)").c_str(), nullptr);
  double d = size / 10, s = d / (n + 1);
  auto wire = [&](std::vector<Point3d> pts) {
    auto pl = std::make_unique<cad::Polyline3d>(cad::Polyline3d::Type::Simple, pts);
    pl->setColor(cad::Color::fromRgb(255, 0, 0));
    StampTwin(pl.get(), r.number, r.attrs[0]);
    out.push_back(std::move(pl));
  };
  if (r.kind == L"斜管") {
    std::vector<Point3d> path;
    if (!RunPath(id, r.start, r.end, path)) return L"";
    for (int i = 1; i <= n; ++i) {
      double o = i * s - d / 2;
      std::vector<Point3d> pts;
      for (std::size_t k = 0; k < path.size(); ++k) {
        Vector3d dir = k + 1 < path.size() ? path[k + 1] - path[k] : path[k] - path[k - 1];
        Vector3d left(-dir.y, dir.x, 0);
        if (left.isZeroLength()) left = Vector3d(0, 1, 0);
        pts.push_back(path[k] + left.normal() * o);
      }
      wire(pts);
    }
    return L"";
  }
  Point3d at;
  {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (ref.status() != cad::Status::Ok) return L"";
    at = ref->position();
  }
  for (int i = 1; i <= n; ++i) {
    double o = i * s - d / 2;
    wire({{at.x + o, at.y, r.start}, {at.x + o, at.y, r.end}});
  }
  return L"";
}
