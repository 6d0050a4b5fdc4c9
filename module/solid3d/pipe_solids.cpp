// Pipe solids and pipe-fitting solids.
#include "module/solid3d/pipe_solids.h"

#include <algorithm>
#include <cmath>

#include "module/model/params.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/body3d.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

constexpr double kPi = 3.14159265;
constexpr double kCapture = 10.0;

bool isRunKind(const std::wstring& kind) { return kind == L"斜管" || kind == L"立管" || kind == L"贯通管"; }

bool parallel(const Vector3d& a, const Vector3d& b) { return std::fabs(a.normal().dot(b.normal())) > 1 - 1e-6; }

double angleBetween(const Vector3d& a, const Vector3d& b) {
  double c = std::clamp(a.normal().dot(b.normal()), -1.0, 1.0);
  return std::acos(c);
}

bool blockPosition(cad::ObjectId id, Point3d& at) {
  cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
  if (ref.status() != cad::Status::Ok) return false;
  at = ref->position();
  return true;
}

// A frustum of the given height centred on c along a: radius rBack at the
// end against a, rFront at the end along a.
solid::Body frustumAt(const Point3d& c, const Vector3d& a, double h, double rBack, double rFront) {
  Vector3d u = a.normal();
  return solid::Body::cone(c - u * (h / 2), u * h, rBack, rFront);
}

std::unique_ptr<cad::Body3d> twinOf(solid::Body body, const std::wstring& number, const std::wstring& key) {
  auto e = std::make_unique<cad::Body3d>(std::move(body));
  StampTwin(e.get(), number, key);
  return e;
}

}  // namespace

double RunElevationAt(const Point3d& p, const Point3d& a, const Point3d& b, double s, double e) {
  if (std::fabs(e - s) < 1.0) return s;
  Vector3d chord(b.x - a.x, b.y - a.y, 0);
  double len = chord.length();
  if (len <= 0) return s;
  return s + (e - s) * ((p.x - a.x) * chord.x + (p.y - a.y) * chord.y) / (len * len);
}

bool ReadFittingArms(cad::ObjectId fitting, std::vector<FittingArm>& arms) {
  arms.clear();
  StringArray rows;
  GetXdataLines(fitting, L"图形参数", rows);
  if (rows.empty() || rows.size() > 4) return false;
  for (const std::wstring& row : rows) {
    StringArray parts;
    SplitToArray(row, L",", parts);
    if (parts.size() != 4) return false;
    FittingArm a;
    a.dir = {std::wcstod(parts[0].c_str(), nullptr), std::wcstod(parts[1].c_str(), nullptr),
             std::wcstod(parts[2].c_str(), nullptr)};
    a.diameter = std::wcstod(parts[3].c_str(), nullptr);
    if (a.dir.isZeroLength()) return false;
    a.dir = a.dir.normal();
    arms.push_back(a);
  }
  return true;
}

bool FittingTrimLength(const std::vector<FittingArm>& arms, const Vector3d& d, double& trim) {
  std::size_t n = arms.size();
  if (n == 1) {
    trim = arms[0].diameter * 0.125;
    return true;
  }
  if (n == 2) {
    double d0 = arms[0].diameter, d1 = arms[1].diameter;
    if (parallel(arms[0].dir, arms[1].dir)) {
      if (!parallel(d, arms[0].dir)) return false;
      trim = std::fabs(d1 - d0) < 1.0 ? d0 * 1.2 * 0.5 : ((d0 + d1) / 2 + std::fabs(d1 - d0)) * 0.5;
      return true;
    }
    double theta = angleBetween(arms[0].dir, arms[1].dir);
    if (theta < 0.001) return false;
    trim = 0.5 * std::max(d0, d1) / std::tan(theta / 2) + 0.5 * (d0 + d1) / 2;
    return true;
  }
  if (n == 3) {
    trim = std::max({arms[0].diameter, arms[1].diameter, arms[2].diameter});
    return true;
  }
  if (n == 4) {
    trim = (arms[0].diameter + arms[1].diameter + arms[2].diameter + arms[3].diameter) * 0.25;
    return true;
  }
  return false;
}

cad::ObjectIdArray LinkedFittings(cad::ObjectId id) {
  cad::ObjectIdArray out;
  StringArray handles;
  GetXdataLines(id, L"管件", handles);
  if (handles.empty()) return out;
  cad::Database* db = nullptr;
  {
    cad::ObjectPtr<cad::DbObject> o(id, cad::OpenMode::ForRead);
    if (o.status() != cad::Status::Ok) return out;
    db = o->database();
  }
  if (!db) return out;
  for (const std::wstring& h : handles) {
    cad::ObjectId f = db->getObjectId(h);
    if (!f.isNull()) out.push_back(f);
  }
  return out;
}

void TrimPipeEndsAtFittings(cad::ObjectId id, Point3d& p0, Point3d& p1) {
  for (cad::ObjectId f : LinkedFittings(id)) {
    Point3d at;
    if (!blockPosition(f, at)) continue;
    at.z += g_floorBaseElev;
    Point3d* end = nullptr;
    Vector3d d;
    if ((p0 - at).length() < kCapture) {
      end = &p0;
      d = p1 - p0;
    } else if ((p1 - at).length() < kCapture) {
      end = &p1;
      d = p0 - p1;
    } else {
      continue;
    }
    if (d.isZeroLength()) continue;
    d = d.normal();
    std::vector<FittingArm> arms;
    if (!ReadFittingArms(f, arms)) continue;
    double trim = 0;
    if (!FittingTrimLength(arms, d, trim)) {
      if (arms.size() == 2 && !parallel(arms[0].dir, arms[1].dir)) return;  // an elbow without angle ends it
      continue;
    }
    *end = *end + d * trim;
  }
}

std::wstring MakePipeSolid(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  if (number.empty() || attrs.size() < 2) return L"";
  std::wstring figure = SectionFigure(id, number, rows);
  if (figure.empty()) return L"编号" + number + L"没有截面图形";
  PointList fig;
  BulgeList figBulges;
  ParseCoordList(figure, fig, figBulges);
  double width = 0, height = 0;
  GetOutlineSize(fig, figBulges, width, height);
  if (width <= 0) return L"截面图形没有宽度";
  const double r = width / 2;

  std::wstring kind;
  double start = 0, end = 0;
  GetGjSpecial(id, &kind, &start, &end);
  if (!isRunKind(kind)) return L"缺少特殊数据(类型)";
  start += g_floorBaseElev;
  end += g_floorBaseElev;

  if (kind == L"斜管") {
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(id, pts, bulges);
    if (pts.size() < 2) return L"管段少于两个顶点";
    Point3d p0 = pts[0], p1 = pts[1];
    double b = bulges.empty() ? 0 : bulges[0];
    if (b == 0) {
      p0.z = start;
      p1.z = end;
      TrimPipeEndsAtFittings(id, p0, p1);
      if ((p1 - p0).length() < 1.0) return L"";
      out.push_back(twinOf(solid::Body::cone(p0, p1 - p0, r, r), number, attrs[0]));
      return L"";
    }
    // An arc run: the section swept exactly along the arc (a turn about the
    // arc's axis when level), with no corner at any division of it.
    if (std::hypot(p1.x - p0.x, p1.y - p0.y) <= 0) return L"弧形管段的起点与终点重合";
    p0.z = start;
    p1.z = std::fabs(end - start) < 1.0 ? start : end;
    RoundPoints(fig, 1);
    solid::Profile section;
    for (const Point3d& q : fig) section.vertices.push_back(Point3d(q.x, q.y, 0));
    section.bulges = figBulges;
    out.push_back(twinOf(solid::Body::sweepArc(section, p0, p1, b), number, attrs[0]));
    return L"";
  }
  // A riser or through pipe stands on its plan position, from the lower to
  // the upper elevation; the block's scale and z play no part.
  Point3d at;
  if (!blockPosition(id, at)) return L"立管不是块参照";
  Point3d p0(at.x, at.y, start), p1(at.x, at.y, end);
  TrimPipeEndsAtFittings(id, p0, p1);
  double lo = std::min(p0.z, p1.z), h = std::fabs(p1.z - p0.z);
  if (h <= 0) return L"立管高度为0";
  out.push_back(twinOf(solid::Body::cone(Point3d(at.x, at.y, lo), Vector3d(0, 0, h), r, r), number, attrs[0]));
  return L"";
}

std::wstring MakePipeFittingSolid(const std::wstring& type, cad::ObjectId id, const TypeRows&, TwinList& out) {
  Point3d f;
  if (!blockPosition(id, f)) return L"";
  f.z += g_floorBaseElev;
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  if (attrs.empty()) return L"";
  std::vector<FittingArm> arms;
  if (!ReadFittingArms(id, arms)) return L"管件的图形参数不对";
  // A fitting among pipes whose numbers give no size has nothing to be made of.
  for (const FittingArm& a : arms)
    if (!(a.diameter > 0)) return L"所接管道没有管径";
  std::vector<double> r;
  double dmax = 0, dsum = 0;
  for (const FittingArm& a : arms) {
    r.push_back(a.diameter / 2);
    dmax = std::max(dmax, a.diameter);
    dsum += a.diameter;
  }
  solid::Body body;
  const std::size_t n = arms.size();
  if (n == 1) {
    body = frustumAt(f, arms[0].dir, arms[0].diameter * 0.25, r[0], r[0]);
  } else if (n == 2 && parallel(arms[0].dir, arms[1].dir)) {
    double d0 = arms[0].diameter, d1 = arms[1].diameter, dd = std::fabs(d1 - d0);
    if (dd < 1.0) {
      body = frustumAt(f, arms[0].dir, d0 * 1.2, r[0], r[0]);
    } else {
      double len = (d0 + d1) / 2 + dd;
      solid::Profile p;
      p.vertices = {{0, 0, -len / 2}, {r[1], 0, -len / 2}, {r[1], 0, -dd / 2},
                    {r[0], 0, dd / 2},  {r[0], 0, len / 2},  {0, 0, len / 2}};
      p.bulges.assign(6, 0);
      p.normal = {0, 1, 0};
      body = solid::Body::revolve(p, {0, 0, -len / 2}, {0, 0, 1}, 6.2831853);
      body.transformBy(geom::planeToWorld(f, arms[0].dir));
    }
  } else if (n == 2) {
    const Vector3d a0 = arms[0].dir, a1 = arms[1].dir;
    Vector3d nrm = a0.cross(a1).normal();
    double theta = angleBetween(a0, a1);
    if (theta < 0.001) return L"弯头两臂没有夹角";
    double phi = kPi - theta;
    double davg = dsum / 2;
    double rb = 0.5 * dmax / std::tan(theta / 2);
    double larm = davg / 2 + rb;
    const bool tapered = std::fabs(r[1] - r[0]) > 1e-9;
    // The section's two half circles meet above and below the bend's plane:
    // a vertex on the bend's inner line, which the bend of radius Dmax/2
    // shrinks to a point, leaves the modeller without an edge there.
    solid::Profile section;
    section.vertices = {{0, 0, -r[0]}, {0, 0, r[0]}};
    section.bulges = {1, 1};
    section.normal = Vector3d(-1, 0, 0);
    if (!tapered) {
      // The same path as below, built as its pieces: the legs as cylinders
      // and the bend as the section turned about the bend's centre, held
      // together without a boolean (they only touch).
      const double bend = dmax / 2;
      const Vector3d second(std::cos(theta), std::sin(theta), 0);
      body = solid::Body::compound(
          {solid::Body::cone({rb, 0, 0}, {larm - rb, 0, 0}, r[0], r[0]),
           solid::Body::torus({rb, bend, 0}, {0, 0, -1}, {0, -1, 0}, bend, r[0], phi),
           solid::Body::cone(Point3d(0, 0, 0) + second * rb, second * (larm - rb), r[1], r[1])});
    } else {
      // The path: the first leg, the bend (a tapering section placed at every
      // 22.5 degrees of it), the second leg.
      const double bulge = -std::tan(phi / 4);
      std::vector<Point3d> path{{larm, 0, 0}};
      std::vector<double> bulges{0};
      PointList arc{{rb, 0, 0}, {rb * std::cos(theta), rb * std::sin(theta), 0}};
      BulgeList arcBulges{bulge, 0};
      TessellateSegment(arc[0], arc[1], bulge, arc, arcBulges, 16);
      for (const Point3d& q : arc) {
        path.push_back(q);
        bulges.push_back(0);
      }
      path.push_back({larm * std::cos(theta), larm * std::sin(theta), 0});
      bulges.push_back(0);
      body = solid::Body::sweep(section, path, r[1] / r[0], bulges);
    }
    body.transformBy(Matrix3d::alignCoordSys(f, a0, nrm.cross(a0), nrm));
  } else if (n == 3) {
    static const int kPairs[3][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}};
    const int* pair = nullptr;
    for (const auto& p : kPairs)
      if (parallel(arms[std::size_t(p[0])].dir, arms[std::size_t(p[1])].dir)) {
        pair = p;
        break;
      }
    if (pair) {
      std::size_t a = std::size_t(pair[0]), s = std::size_t(pair[1]), b = std::size_t(pair[2]);
      body = frustumAt(f, arms[s].dir, 2 * dmax, r[a], r[s]);
      body += solid::Body::cone(f, arms[b].dir * dmax, r[b], r[b]);
    } else {
      for (std::size_t i = 0; i < 3; ++i) body += solid::Body::cone(f, arms[i].dir * dmax, r[i], r[i]);
    }
  } else {
    static const int kPairs[3][4] = {{0, 1, 2, 3}, {0, 2, 1, 3}, {0, 3, 1, 2}};
    const int* pair = nullptr;
    for (const auto& p : kPairs)
      if (parallel(arms[std::size_t(p[0])].dir, arms[std::size_t(p[1])].dir) &&
          parallel(arms[std::size_t(p[2])].dir, arms[std::size_t(p[3])].dir)) {
        pair = p;
        break;
      }
    if (!pair) return L"四通的臂两两不共线";
    double davg4 = dsum / 4;
    for (int k = 0; k < 4; k += 2) {
      std::size_t first = std::size_t(pair[k]), partner = std::size_t(pair[k + 1]);
      body += frustumAt(f, arms[first].dir, 2 * davg4, r[partner], r[first]);
    }
  }
  if (body.isNull()) return L"三维造型失败";
  out.push_back(twinOf(std::move(body), number, attrs[0]));
  return L"";
}
