// Duct-fitting meshes.
#include "module/solid3d/duct_fitting_meshes.h"

#include <algorithm>
#include <cmath>

#include "module/model/project_tables.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

constexpr double kPi = 3.14159265;

struct Layout {
  const wchar_t* type;
  std::size_t items;
};
const Layout kLayouts[] = {{L"弯头", 12}, {L"三通", 14}, {L"四通", 11}, {L"大小头", 8}, {L"来回弯", 9}};

// The record's items, 1-based; points raised by the base elevation.
class Items {
 public:
  Items(const cad::ValueChain& chain, double base) : chain_(chain), base_(base) {}
  Point3d pt(std::size_t i) const {
    Point3d p = chain_[i - 1].point();
    p.z += base_;
    return p;
  }
  Vector3d vec(std::size_t i) const { return chain_[i - 1].point().asVector(); }
  double num(std::size_t i) const { return chain_[i - 1].real(); }
  double elev(std::size_t i) const { return chain_[i - 1].real() + base_; }

 private:
  const cad::ValueChain& chain_;
  double base_;
};

// A duct corner at top (+1) or bottom (-1) of its section.
Point3d level(const Point3d& p, double half, int side) { return {p.x, p.y, p.z + side * half}; }

// count points of the plan arc from s to e with the bulge (turning about the
// arc's centre), both ends included; z and heights are the caller's.
std::vector<Point3d> arcSamples(const Point3d& s, const Point3d& e, double bulge, int count) {
  std::vector<Point3d> out;
  Point3d c;
  GetSegmentArcCenter(s, e, bulge, c);
  double theta = 4 * std::atan(bulge);
  for (int k = 0; k < count; ++k) {
    if (bulge == 0) {
      out.push_back(s + (e - s) * (double(k) / (count - 1)));
      continue;
    }
    Matrix3d r = Matrix3d::rotation(theta * k / (count - 1), {0, 0, 1}, {c.x, c.y, s.z});
    out.push_back(r * s);
  }
  return out;
}

// A row of points, each raised or lowered by its own half-height.
std::vector<Point3d> shifted(const std::vector<Point3d>& pts, const std::vector<double>& half, int side) {
  std::vector<Point3d> r;
  for (std::size_t i = 0; i < pts.size(); ++i) r.push_back(level(pts[i], half[i], side));
  return r;
}

std::vector<double> ramp(double from, double to, std::size_t n) {
  std::vector<double> r;
  for (std::size_t i = 0; i < n; ++i) r.push_back(from + (to - from) * double(i) / double(n - 1));
  return r;
}

void addMesh(TwinList& out, const std::vector<std::vector<Point3d>>& rows) {
  std::vector<Point3d> all;
  for (const auto& r : rows) all.insert(all.end(), r.begin(), r.end());
  out.push_back(std::make_unique<cad::PolygonMesh>(int(rows.size()), int(rows.front().size()), all));
}

std::wstring bendMesh(const Items& it, TwinList& out) {
  Point3d t1 = it.pt(1), t2 = it.pt(2);
  double a = it.num(3);
  Vector3d u1 = it.vec(4), u2 = it.vec(5);
  double w1 = it.num(6), w2 = it.num(7), h1 = it.num(8), h2 = it.num(9);
  double b = std::tan(a / 4);
  if (it.num(10) == 1) b = -b;
  Vector3d q1 = u1.perpVector(), q2 = u2.perpVector();
  Point3d s1 = t1 + q1 * (w1 / 2), e1 = t2 - q2 * (w2 / 2);
  Point3d s2 = t1 - q1 * (w1 / 2), e2 = t2 + q2 * (w2 / 2);
  // Walked counter-clockwise: from the T1 end, or from the T2 end for a right turn.
  bool fromT1 = b > 0;
  std::vector<Point3d> arc1 = fromT1 ? arcSamples(s1, e1, b, 16) : arcSamples(e1, s1, -b, 16);
  std::vector<Point3d> arc2 = fromT1 ? arcSamples(s2, e2, b, 16) : arcSamples(e2, s2, -b, 16);
  double hs = fromT1 ? h1 : h2, he = fromT1 ? h2 : h1;
  std::vector<double> half;
  for (int k = 0; k < 16; ++k) half.push_back(hs / 2 + k * (he - hs) / 30);
  auto top1 = shifted(arc1, half, 1), bot1 = shifted(arc1, half, -1);
  auto top2 = shifted(arc2, half, 1), bot2 = shifted(arc2, half, -1);
  addMesh(out, {top1, bot1, bot2, top2, top1});
  return L"";
}

std::wstring riserElbowMesh(const Items& it, TwinList& out) {
  Point3d s = it.pt(1), e = it.pt(2), p = it.pt(4);
  double w = it.num(7), h = it.num(9), z = it.elev(12);
  int f = int(it.num(10));
  Vector3d d(e.x - s.x, e.y - s.y, 0);
  if (d.isZeroLength() || h <= 0) return L"立管弯头的方向或高度为0";
  d = d.normal();
  double sg = f == 0 ? -1 : 1;
  Vector3d side = d.cross(Vector3d(0, 0, 1));
  if (f == 1) side = -side;
  Point3d base(p.x, p.y, z);
  Point3d o = base + d * h + Vector3d(0, 0, sg * h);
  auto arc = [&](const Point3d& first) {
    std::vector<Point3d> pts;
    for (int k = 0; k < 16; ++k) pts.push_back(Matrix3d::rotation(1.570796325 / 15 * k, side, o) * first);
    return pts;
  };
  auto inner = arc(base + d * h + Vector3d(0, 0, sg * h / 2));
  auto outer = arc(base + d * h + Vector3d(0, 0, -sg * h / 2));
  auto moved = [](std::vector<Point3d> pts, const Vector3d& v) {
    for (Point3d& q : pts) q = q + v;
    return pts;
  };
  auto r1 = moved(inner, side * (w / 2));
  addMesh(out, {r1, moved(inner, side * (-w / 2)), moved(outer, side * (-w / 2)), moved(outer, side * (w / 2)), r1});
  return L"";
}

std::wstring teeMesh(const Items& it, TwinList& out) {
  Vector3d v1 = it.vec(1), v2 = it.vec(2), v3 = it.vec(3);
  double w1 = it.num(4), w2 = it.num(5), w3 = it.num(6);
  double hA = it.num(7), hB = it.num(8), hC = it.num(9) > 0 ? it.num(9) : it.num(8);
  Point3d pa = it.pt(10), pb = it.pt(11), pc = it.pt(12);
  Vector3d qa = v1.perpVector(), qb = v2.perpVector(), qc = v3.perpVector();
  Point3d aP = pa + qa * (w1 / 2), aM = pa - qa * (w1 / 2);
  Point3d bP = pb + qb * (w2 / 2), bM = pb - qb * (w2 / 2);
  Point3d cP = pc + qc * (w3 / 2), cM = pc - qc * (w3 / 2);
  auto lv = [](const Point3d& q, double hh, int side) { return level(q, hh / 2, side); };
  addMesh(out, {{lv(aP, hA, 1), lv(bM, hB, 1)}, {lv(aP, hA, -1), lv(bM, hB, -1)}});
  addMesh(out, {{lv(bP, hB, 1), lv(cM, hC, 1)}, {lv(bP, hB, -1), lv(cM, hC, -1)}});
  addMesh(out, {{lv(cP, hC, 1), lv(aM, hA, 1)}, {lv(cP, hC, -1), lv(aM, hA, -1)}});
  for (int side : {1, -1})
    addMesh(out, {{lv(aP, hA, side), lv(bM, hB, side)},
                  {lv(aM, hA, side), lv(bP, hB, side)},
                  {lv(cP, hC, side), lv(cM, hC, side)}});
  return L"";
}

std::wstring crossMesh(const Items& it, TwinList& out) {
  Point3d qa = it.pt(1), qb = it.pt(2), qc = it.pt(3), qd = it.pt(4);
  double b = it.num(7), w1 = it.num(8), w2 = it.num(9), h1 = it.num(10), h2 = it.num(11);
  if (h2 <= 0) h2 = h1;
  Vector3d d1 = qa - qb, d2 = qc - qd;
  if (d1.isZeroLength() || d2.isZeroLength()) return L"四通的端点重合";
  Vector3d q1 = d1.normal().perpVector(), q2 = d2.normal().perpVector();
  // Each arc runs from a corner of one duct to a corner of the other: its
  // z and half-height pass from the one duct's to the other's.
  struct Corner {
    Point3d p;
    double half;
  };
  auto arc = [&](Corner s, Corner e) {
    std::vector<Point3d> pts = arcSamples(s.p, e.p, b, 16);
    std::vector<double> half;
    for (int k = 0; k < 16; ++k) {
      double t = k / 15.0;
      pts[std::size_t(k)].z = s.p.z + (e.p.z - s.p.z) * t;
      half.push_back(s.half + (e.half - s.half) * t);
    }
    return std::make_pair(pts, half);
  };
  auto a1 = arc({qa - q1 * (w1 / 2), h1 / 2}, {qc + q2 * (w2 / 2), h2 / 2});
  auto a2 = arc({qc - q2 * (w2 / 2), h2 / 2}, {qb - q1 * (w1 / 2), h1 / 2});
  auto a3 = arc({qb + q1 * (w1 / 2), h1 / 2}, {qd - q2 * (w2 / 2), h2 / 2});
  auto a4 = arc({qd + q2 * (w2 / 2), h2 / 2}, {qa + q1 * (w1 / 2), h1 / 2});
  for (const auto* a : {&a1, &a2, &a3, &a4})
    addMesh(out, {shifted(a->first, a->second, 1), shifted(a->first, a->second, -1)});
  for (int side : {1, -1}) {
    std::vector<Point3d> row1 = shifted(a1.first, a1.second, side), r2 = shifted(a2.first, a2.second, side);
    row1.insert(row1.end(), r2.begin(), r2.end());
    std::vector<Point3d> row2 = shifted(a4.first, a4.second, side), r3 = shifted(a3.first, a3.second, side);
    std::reverse(row2.begin(), row2.end());
    std::reverse(r3.begin(), r3.end());
    row2.insert(row2.end(), r3.begin(), r3.end());
    addMesh(out, {row1, row2});
  }
  return L"";
}

std::wstring reducerMesh(const Items& it, TwinList& out) {
  Point3d p1 = it.pt(1), p2 = it.pt(2);
  Vector3d q1 = it.vec(3).perpVector(), q2 = it.vec(4).perpVector();
  double w1 = it.num(5), w2 = it.num(6), h1 = it.num(7), h2 = it.num(8);
  Point3d aP = p1 + q1 * (w1 / 2), aM = p1 - q1 * (w1 / 2), bP = p2 + q2 * (w2 / 2), bM = p2 - q2 * (w2 / 2);
  std::vector<Point3d> r1{level(aP, h1 / 2, 1), level(bM, h2 / 2, 1)};
  addMesh(out, {r1,
                {level(aP, h1 / 2, -1), level(bM, h2 / 2, -1)},
                {level(aM, h1 / 2, -1), level(bP, h2 / 2, -1)},
                {level(aM, h1 / 2, 1), level(bP, h2 / 2, 1)},
                r1});
  return L"";
}

std::wstring offsetBendMesh(const Items& it, TwinList& out) {
  Point3d p1 = it.pt(1), p2 = it.pt(2);
  Vector3d u = it.vec(3);
  double w1 = it.num(5), w2 = it.num(6), h1 = it.num(7), h2 = it.num(8);
  if (u.isZeroLength()) return L"来回弯的方向为0";
  Vector3d q = u.perpVector().normal();
  Point3d aP = p1 + q * (w1 / 2), aM = p1 - q * (w1 / 2), bP = p2 + q * (w2 / 2), bM = p2 - q * (w2 / 2);
  double len = (p2 - p1).length();
  auto folded = [&](const Vector3d& v) {
    if (v.isZeroLength()) return 0.0;
    double a = std::acos(std::clamp(v.normal().dot(u.normal()), -1.0, 1.0));
    return std::min(a, kPi - a);
  };
  double al1 = folded(aP - bP), al2 = folded(aM - bM);
  if (al1 < 1e-9 || al2 < 1e-9) return L"来回弯没有横向偏移";
  double t1 = std::tan(al1 / 2), t2 = std::tan(al2 / 2);
  double j = 2 * std::sin(al1) * (len / 4 / std::sin(al1) + w1 / 2);
  Vector3d toP1 = p1 - p2;
  bool flag = !toP1.isZeroLength() && std::acos(std::clamp(toP1.normal().dot(q), -1.0, 1.0)) > 1.570796325;
  auto along = [&](const Point3d& from, const Point3d& to) {
    Vector3d v(to.x - from.x, to.y - from.y, 0);
    return v.isZeroLength() ? from : from + v.normal() * j;
  };
  Point3d m1 = flag ? along(bP, aP) : along(aP, bP);
  Point3d m2 = flag ? along(aM, bM) : along(bM, aM);
  double sg = flag ? 1 : -1;
  // B+ ... M1 is the arc M1 -> B+ walked back, M1 ... A+ the arc A+ -> M1 walked back.
  std::vector<Point3d> side1 = arcSamples(m1, bP, -sg * t1, 16);
  std::reverse(side1.begin(), side1.end());
  std::vector<Point3d> tail1 = arcSamples(aP, m1, sg * t1, 16);
  std::reverse(tail1.begin(), tail1.end());
  side1.insert(side1.end(), tail1.begin(), tail1.end());
  std::vector<Point3d> side2 = arcSamples(bM, m2, sg * t2, 16), tail2 = arcSamples(m2, aM, -sg * t2, 16);
  side2.insert(side2.end(), tail2.begin(), tail2.end());
  std::vector<double> half = ramp(h2 / 2, h1 / 2, 32), zs = ramp(p2.z, p1.z, 32);
  for (std::size_t i = 0; i < 32; ++i) side1[i].z = side2[i].z = zs[i];
  auto top1 = shifted(side1, half, 1), bot1 = shifted(side1, half, -1);
  auto top2 = shifted(side2, half, 1), bot2 = shifted(side2, half, -1);
  addMesh(out, {top1, bot1});
  addMesh(out, {bot1, bot2});
  addMesh(out, {bot2, top2});
  addMesh(out, {top2, top1});
  return L"";
}

}  // namespace

std::wstring MakeDuctFittingMeshes(const std::wstring& type, const cad::ValueChain& record, double baseElev,
                                   TwinList& out) {
  out.clear();
  const Layout* layout = nullptr;
  for (const Layout& l : kLayouts)
    if (type == l.type) layout = &l;
  if (!layout) return L"";
  if (record.size() < layout->items) return L"管件的几何记录不全";
  Items it(record, baseElev);
  if (type == L"弯头") return it.num(11) == 1 ? riserElbowMesh(it, out) : bendMesh(it, out);
  if (type == L"三通") return teeMesh(it, out);
  if (type == L"四通") return crossMesh(it, out);
  if (type == L"大小头") return reducerMesh(it, out);
  return offsetBendMesh(it, out);
}

void BuildDuctFittingSolids(const std::wstring& type, const cad::ObjectIdArray& ids) {
  bool known = false;
  for (const Layout& l : kLayouts) known = known || type == l.type;
  if (!known || ids.empty()) return;
  GetOrCreateLayer(type + kTwinLayerSuffix, nullptr);
  for (cad::ObjectId id : ids) {
    std::wstring num;
    StringArray attrs;
    GetGjNumberAndAttrs(id, num, attrs);
    cad::ValueChain record;
    std::wstring why;
    cad::ObjectId dict;
    {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e.status() == cad::Status::Ok) dict = e->extensionDictionary();
    }
    if (attrs.empty()) {
      why = L"缺少属性";
    } else if (dict.isNull()) {
      why = L"没有几何记录";
    } else {
      cad::ObjectPtr<cad::Dictionary> d(dict, cad::OpenMode::ForRead);
      cad::ObjectId rec = d.status() == cad::Status::Ok ? d->getAt(type) : cad::ObjectId();
      cad::ObjectPtr<cad::Xrecord> x(rec, cad::OpenMode::ForRead);
      if (x.status() == cad::Status::Ok) record = x->rbChain();
      if (record.empty()) why = L"没有几何记录";
    }
    TwinList meshes;
    if (why.empty()) why = MakeDuctFittingMeshes(type, record, g_floorBaseElev, meshes);
    if (!why.empty()) {
      ed::print(L"\n%s %s(%s) 未生成三维实体: %s", type.c_str(), num.c_str(), GetHandleText(id).c_str(), why.c_str());
      continue;
    }
    for (auto& m : meshes) {
      StampTwin(m.get(), num, attrs[0]);
      cad::Entity* raw = m.release();
      if (!AppendToModelSpace(raw, L"", nullptr).isNull()) raw->close();
    }
  }
}
