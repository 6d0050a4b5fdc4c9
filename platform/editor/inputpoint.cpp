#include "platform/editor/inputpoint.h"

#include <algorithm>

namespace ed {

void ViewportDraw::Traits::setColor(int colorIndex) {
  d_.color_ = colorIndex;
  DrawCall c;
  c.kind = DrawCall::Color;
  c.color = colorIndex;
  d_.calls_.push_back(c);
}

bool ViewportDraw::Geometry::polyline(int n, const geom::Point3d* pts) {
  if (n < 2 || !pts) return false;
  DrawCall c;
  c.kind = DrawCall::Polyline;
  c.color = d_.color_;
  c.pts.assign(pts, pts + n);
  d_.calls_.push_back(std::move(c));
  return true;
}

bool ViewportDraw::Geometry::text(const geom::Point3d& pos, const geom::Vector3d&, const geom::Vector3d&,
                                  double height, double, double, const std::wstring& str) {
  DrawCall c;
  c.kind = DrawCall::Text;
  c.color = d_.color_;
  c.pts = {pos};
  c.radius = height;
  c.text = str;
  d_.calls_.push_back(std::move(c));
  return true;
}

bool ViewportDraw::Geometry::circle(const geom::Point3d& center, double radius, const geom::Vector3d&) {
  DrawCall c;
  c.kind = DrawCall::Circle;
  c.color = d_.color_;
  c.center = center;
  c.radius = radius;
  d_.calls_.push_back(std::move(c));
  return true;
}

bool ViewportDraw::Geometry::circularArc(const geom::Point3d& s, const geom::Point3d& m, const geom::Point3d& e) {
  DrawCall c;
  c.kind = DrawCall::Arc;
  c.color = d_.color_;
  c.pts = {s, m, e};
  d_.calls_.push_back(std::move(c));
  return true;
}

bool ViewportDraw::Geometry::pline(const std::vector<geom::Point3d>& vertices, const std::vector<double>& bulges) {
  if (vertices.empty()) return false;
  DrawCall c;
  c.kind = DrawCall::Pline;
  c.color = d_.color_;
  c.pts = vertices;
  c.bulges = bulges;
  c.bulges.resize(vertices.size(), 0.0);
  d_.calls_.push_back(std::move(c));
  return true;
}

bool InputPointManager::registerPointFilter(InputPointFilter* f) {
  if (!f || (filter_ && filter_ != f)) return false;
  filter_ = f;
  return true;
}

bool InputPointManager::revokePointFilter() {
  if (!filter_) return false;
  filter_ = nullptr;
  return true;
}

bool InputPointManager::addPointMonitor(InputPointMonitor* m) {
  if (!m || std::find(monitors_.begin(), monitors_.end(), m) != monitors_.end()) return false;
  monitors_.push_back(m);
  return true;
}

bool InputPointManager::removePointMonitor(InputPointMonitor* m) {
  auto it = std::find(monitors_.begin(), monitors_.end(), m);
  if (it == monitors_.end()) return false;
  monitors_.erase(it);
  return true;
}

geom::Point3d InputPointManager::process(InputPointContext ctx) {
  ++processed_;
  draw_.clear();
  tooltip_.clear();
  glyph_ = false;
  // Object snap: a snap target offered by the entity under the cursor is
  // taken unless a monitor keeps that entity out of the calculation.
  if (ctx.snapEntity) {
    bool excluded = false;
    for (auto* m : std::vector<InputPointMonitor*>(monitors_))
      if (m->excludeFromOsnapCalculation({ctx.snapEntity}, 0)) excluded = true;
    if (excluded) {
      ctx.computedPoint = ctx.rawPoint;
      ctx.snapEntity = {};
    }
  }
  for (auto* m : std::vector<InputPointMonitor*>(monitors_)) {
    bool append = false;
    std::wstring tip;
    m->monitorInputPoint(ctx, draw_, append, tip);
    if (append && !tip.empty()) {
      if (!tooltip_.empty()) tooltip_ += L"\n";
      tooltip_ += tip;
    }
  }
  geom::Point3d result = ctx.computedPoint;
  if (filter_) {
    bool changed = false;
    geom::Point3d np = result;
    bool glyph = false;
    std::wstring tip;
    filter_->processInputPoint(ctx, changed, np, glyph, tip);
    if (changed) result = np;
    glyph_ = glyph;
    if (!tip.empty()) {
      if (!tooltip_.empty()) tooltip_ += L"\n";
      tooltip_ += tip;
    }
  }
  if (!tooltip_.empty()) tooltips_.push_back(tooltip_);
  return result;
}

}  // namespace ed
