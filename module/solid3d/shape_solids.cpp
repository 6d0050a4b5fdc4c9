// The shape description interpreter.
#include "module/solid3d/shape_solids.h"

#include <cmath>
#include <cwctype>

#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/solid3d/body_helpers.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/body3d.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"

using geom::Matrix3d;
using geom::Point3d;
using geom::Vector3d;

namespace {

const wchar_t* const kTooFew = L"\n参数不够!";

std::wstring upper(const std::wstring& s) {
  std::wstring r = s;
  for (wchar_t& c : r)
    if (c < 128) c = wchar_t(std::towupper(c));
  return r;
}

bool has(const std::wstring& s, const wchar_t* what) { return s.find(what) != std::wstring::npos; }

double number(const std::wstring& s) { return std::wcstod(s.c_str(), nullptr); }

// The text before the first "..".
std::wstring beforeDots(const std::wstring& s) { return s.substr(0, s.find(L"..")); }

StringArray split(const std::wstring& s, const wchar_t* sep) {
  StringArray out;
  std::wstring t = s;
  std::size_t at = 0, n = std::wcslen(sep);
  while (true) {
    std::size_t k = t.find(sep, at);
    out.push_back(t.substr(at, k == std::wstring::npos ? std::wstring::npos : k - at));
    if (k == std::wstring::npos) break;
    at = k + n;
  }
  return out;
}

// A point list: items by "|", in each item the text before ".."; "x,y[,z]"
// with an optional ":bulge".
void points(const std::wstring& text, PointList& pts, BulgeList& bulges) {
  pts.clear();
  bulges.clear();
  for (const std::wstring& raw : split(text, L"|")) {
    std::wstring item = beforeDots(raw);
    if (item.find_first_not_of(L" \t") == std::wstring::npos) continue;
    double b = 0;
    if (std::size_t c = item.find(L':'); c != std::wstring::npos) {
      b = number(item.substr(c + 1));
      item = item.substr(0, c);
    }
    StringArray v = split(item, L",");
    Point3d p(number(v[0]), v.size() > 1 ? number(v[1]) : 0, v.size() > 2 ? number(v[2]) : 0);
    RoundPoint(p, 1);
    pts.push_back(p);
    bulges.push_back(b);
  }
}

// A base point of at least three values.
bool basePoint(const std::wstring& text, Point3d& p) {
  StringArray v = split(beforeDots(text), L",");
  if (v.size() < 3) return false;
  p = {number(v[0]), number(v[1]), number(v[2])};
  RoundPoint(p, 1);
  return true;
}

// Arcs every 10 degrees, all segments straight after.
void tessellate(PointList& pts, BulgeList& bulges) {
  PointList out;
  BulgeList outB;
  TessellateOutline(pts, bulges, out, outB, 36);
  pts = std::move(out);
  bulges.assign(pts.size(), 0);
}

struct Row {
  std::wstring text;     // upper-cased, after the rotation prefix
  bool subtract = false;
  Vector3d axis;
  double angle = 0;
};

enum class Outcome { Built, Skip, Stop, Bad };

}  // namespace

Matrix3d ShapePlacement(cad::ObjectId id, const Matrix3d& blockTransform, double rotation, const Point3d& position) {
  double e = 0;
  Vector3d v;
  GetPointGjSpecial(id, nullptr, &e, &v);
  e += g_floorBaseElev;
  Vector3d k;
  double t = 0;
  if (!v.isZeroLength() && v.normal().cross(Vector3d(0, 0, 1)).length() < 0.01) {
    k = DirectionFromAngle(rotation, {0, 0, 1}).perpVector();
    t = 1.570796325;
  } else {
    k = v.perpVector();
    if (v.z != 0) t = std::atan2(std::fabs(v.z), std::hypot(v.x, v.y));
  }
  // The twin stands at the component's elevation whatever height its
  // reference is inserted at: the reference's own z is taken out before the
  // elevation is added.
  const Point3d plan(position.x, position.y, 0);
  Matrix3d tilt;
  if (t != 0 && !k.isZeroLength()) tilt = Matrix3d::rotation(t, -k, plan);
  return Matrix3d::translation({0, 0, e}) * tilt * Matrix3d::translation({0, 0, -position.z}) * blockTransform;
}

std::wstring InterpretShapeDescription(const std::wstring& description, const std::wstring& num,
                                       const std::wstring& key, TwinList& out) {
  out.clear();
  StringArray lines = split(description, L"\r\n");
  const std::wstring* guard = nullptr;
  for (const std::wstring& l : lines)
    if (has(l, L"..高")) {
      guard = &l;
      break;
    }
  if (!guard || number(*guard) == 0) return L"";

  solid::Body held;
  TwinList flats;
  for (const std::wstring& line : lines) {
    Row row;
    row.text = upper(line);
    row.subtract = has(line, L"差集");
    if (std::size_t bang = row.text.find(L"!!"); bang != std::wstring::npos) {
      PointList p;
      BulgeList b;
      points(row.text.substr(0, bang), p, b);
      if (!p.empty()) {
        row.axis = p[0].asVector();
        row.angle = b[0];
      }
      row.text = row.text.substr(bang + 2);
    }
    const std::wstring& t = row.text;
    if (has(t, L"..高") || t.empty()) continue;

    if (has(t, L"..平面")) {
      std::size_t bar = t.find(L'|');
      if (bar == std::wstring::npos) continue;
      Point3d at;
      if (!basePoint(t.substr(0, bar), at)) continue;
      std::wstring rest = t.substr(bar + 1);
      PointList pts;
      BulgeList bulges;
      points(rest, pts, bulges);
      StringArray options = split(rest, L",");
      auto pl = MakePolyline(pts, bulges, false, 0);
      if (!pl) continue;
      StampTwin(pl.get(), num, key);
      double w = number(GetAttrValue(options, L"线宽"));
      if (w > 1) pl->setConstantWidth(5 * w);
      pl->transformBy(Matrix3d::translation(at.asVector()));
      flats.push_back(std::move(pl));
      if (has(t, L"填充")) {
        auto hatch = std::make_unique<cad::Hatch>();
        hatch->setNormal({0, 0, 1});
        hatch->setElevation(0);
        std::wstring pattern = GetAttrValue(options, L"填充");
        hatch->setPattern(cad::Hatch::kPreDefined, pattern.empty() ? L"SOLID" : pattern);
        hatch->setAssociative(true);
        std::vector<geom::Point2d> loop;
        std::vector<double> loopBulges = bulges;
        for (const Point3d& p : pts) loop.push_back({p.x, p.y});
        if (!IsEqualPointXY(pts.back(), pts.front(), 1.0)) {
          loop.push_back(loop.front());
          loopBulges.push_back(bulges.front());
        }
        if (hatch->appendLoop(cad::Hatch::kExternal, loop, loopBulges) == cad::Status::Ok) {
          hatch->evaluateHatch();
          StampTwin(hatch.get(), num, key);
          hatch->transformBy(Matrix3d::translation(at.asVector()));
          flats.push_back(std::move(hatch));
        }
      }
      continue;
    }

    solid::Body body;
    Point3d base;
    Point3d centre;
    const std::wstring values = beforeDots(t);
    // Too few parts, or a base point of fewer than three values.
    auto tooFew = [&](const StringArray& parts, std::size_t n) {
      return parts.size() < n || !basePoint(parts[0], base);
    };
    // A row with too few values is named and skipped; the rows after it are read.
    auto notEnough = [] { ed::printText(kTooFew); };
    if (has(t, L"..矩形")) {
      StringArray parts = split(values, L"|");
      if (tooFew(parts, 4)) {
        notEnough();
        continue;
      }
      double l = number(parts[1]), w = number(parts[2]), h = number(parts[3]);
      PointList rect{{-l / 2, -w / 2, 0}, {l / 2, -w / 2, 0}, {l / 2, w / 2, 0}, {-l / 2, w / 2, 0}};
      body = MakeExtrusionBody(rect, BulgeList(4, 0), h);
    } else if (has(t, L"..截面") && has(t, L"||")) {
      StringArray halves = split(values, L"||");
      StringArray parts = split(halves.size() > 1 ? halves[1] : L"", L"|");
      if (tooFew(parts, 4)) {
        notEnough();
        continue;
      }
      PointList pts, bottom;
      BulgeList bulges, bottomBulges;
      points(halves[0], pts, bulges);
      double h = number(parts[1]), d1 = number(parts[2]), d2 = number(parts[3]);
      OffsetOutline(pts, bulges, bottom, bottomBulges, d1);
      body = MakeSectionSolid({0, 0, 0}, bottom, bottomBulges, h, d2 - d1);
    } else if (has(t, L"..切面")) {
      StringArray parts = split(values, L"||");
      if (parts.size() < 3) continue;
      StringArray last = split(parts[2], L"|");
      if (tooFew(last, 2)) {
        notEnough();
        continue;
      }
      PointList a, b;
      BulgeList ab, bb;
      points(parts[0], a, ab);
      points(parts[1], b, bb);
      double h = number(last[1]);
      body = MakeTransitionSolid({0, 0, 0}, a, ab, b, bb, h);
      centre = Point3d(0, 0, h / 2);
    } else if (has(t, L"..圆形")) {
      StringArray parts = split(values, L"|");
      if (tooFew(parts, 4)) {
        notEnough();
        continue;
      }
      body = MakeConeBody({0, 0, 0}, number(parts[1]), number(parts[2]), number(parts[3]));
    } else if (has(t, L"..球缺")) {
      StringArray parts = split(values, L"|");
      if (tooFew(parts, 3)) {
        notEnough();
        continue;
      }
      body = MakeDomeBody({0, 0, 0}, number(parts[1]), number(parts[2]));
    } else if (has(t, L"..圆面")) {
      StringArray parts = split(values, L"||");
      if (parts.size() < 2) continue;
      StringArray last = split(parts[1], L"|");
      if (last.size() < 2) {
        ed::printText(L"\n参数不足");
        return L"形状描述参数不足";
      }
      if (tooFew(last, 1)) {
        notEnough();
        continue;
      }
      double r = number(last[1]);
      if (r <= 0) {
        ed::printText(L"\n圆半径不能为零");
        return L"圆半径不能为零";
      }
      PointList path, prof{{-r, 0, 0}, {r, 0, 0}, {-r, 0, 0}};
      BulgeList pathB, profB{1, 1, 0};
      points(parts[0], path, pathB);
      tessellate(path, pathB);
      tessellate(prof, profB);
      if (!IsOutlineCounterClockwise(prof, profB)) ReverseOutline(prof, profB);
      if (path.size() < 2) return L"圆面的路径少于两点";
      body = MakePathSweepBody(prof, profB, path[1] - path[0], path);
      if (body.isNull()) return L"圆面扫掠失败";
    } else if (has(t, L"..多边形")) {
      StringArray parts = split(values, L"||");
      if (parts.size() < 4 || !basePoint(parts[1], base)) continue;
      PointList path, prof;
      BulgeList pathB, profB;
      points(parts[0], path, pathB);
      points(parts[2], prof, profB);
      tessellate(path, pathB);
      tessellate(prof, profB);
      if (path.size() < 2 || prof.size() < 2) return L"多边形的路径或截面少于两点";
      body = MakePathSweepBody(prof, profB, path[1] - path[0], path);
      if (body.isNull()) return L"多边形扫掠失败";
    } else {
      continue;
    }
    if (body.isNull()) continue;
    body.transformBy(Matrix3d::translation(base.asVector()));
    if (row.angle != 0 && !row.axis.isZeroLength())
      body.transformBy(Matrix3d::rotation(row.angle, row.axis, base + centre.asVector()));
    if (held.isNull()) {
      held = std::move(body);
    } else if (!CombineBodiesWithRetry(held, body, row.subtract ? BodyOp::Subtraction : BodyOp::Union)) {
      return L"实体合并失败";
    }
  }
  if (!held.isNull()) {
    auto e = std::make_unique<cad::Body3d>(std::move(held));
    StampTwin(e.get(), num, key);
    out.push_back(std::move(e));
  }
  for (auto& f : flats) out.push_back(std::move(f));
  return L"";
}

std::wstring MakeShapeSolids(const std::wstring&, cad::ObjectId id, const TypeRows& rows, TwinList& out) {
  out.clear();
  std::wstring num;
  StringArray attrs;
  GetGjNumberAndAttrs(id, num, attrs);
  if (num.empty() || attrs.size() < 2) return L"";
  std::wstring description = ComponentFigure(id, num, rows);
  if (description.empty()) return L"编号" + num + L"没有三维描述";
  Matrix3d transform;
  Point3d position;
  double rotation = 0;
  {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (ref.status() != cad::Status::Ok) return L"";
    transform = ref->blockTransform();
    position = ref->position();
    rotation = ref->rotation();
  }
  std::wstring why = InterpretShapeDescription(description, num, attrs[0], out);
  if (!why.empty()) {
    out.clear();
    return why;
  }
  Matrix3d place = ShapePlacement(id, transform, rotation, position);
  for (auto& e : out)
    if (e->transformBy(place) != cad::Status::Ok) {
      out.clear();
      return L"无法放置三维实体";
    }
  return L"";
}
