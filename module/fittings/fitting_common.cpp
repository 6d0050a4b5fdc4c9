#include "module/fittings/fitting_common.h"

#include <algorithm>
#include <cmath>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include "module/model/component_types.h"
#include "module/model/project_tables.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/document.h"
#include "platform/editor/progress.h"

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

std::wstring CategoryTypeList(const std::wstring& categories) {
  StringArray types;
  ExpandGjCategories(categories, types);
  std::wstring out;
  JoinArray(types, L",", out);
  return out;
}

// ---------------------------------------------------------------------------
// PointGrid3d
// ---------------------------------------------------------------------------

long long PointGrid3d::cellOf(double v) const { return (long long)std::floor(v / cell_); }

void PointGrid3d::add(const geom::Point3d& p, std::size_t slot) {
  cells_[Key{cellOf(p.x), cellOf(p.y), cellOf(p.z)}].push_back(points_.size());
  points_.emplace_back(p, slot);
}

std::vector<std::size_t> PointGrid3d::near(const geom::Point3d& p, double radius, bool strict) const {
  std::vector<std::size_t> out;
  const long long x0 = cellOf(p.x - radius), x1 = cellOf(p.x + radius);
  const long long y0 = cellOf(p.y - radius), y1 = cellOf(p.y + radius);
  const long long z0 = cellOf(p.z - radius), z1 = cellOf(p.z + radius);
  for (long long x = x0; x <= x1; ++x)
    for (long long y = y0; y <= y1; ++y)
      for (long long z = z0; z <= z1; ++z) {
        auto it = cells_.find(Key{x, y, z});
        if (it == cells_.end()) continue;
        for (std::size_t i : it->second) {
          const double d = points_[i].first.distanceTo(p);
          if (strict ? d < radius : d <= radius) out.push_back(points_[i].second);
        }
      }
  std::sort(out.begin(), out.end());
  return out;
}

// ---------------------------------------------------------------------------
// SegmentBoxIndex
// ---------------------------------------------------------------------------

namespace {
using BPoint = bg::model::point<double, 3, bg::cs::cartesian>;
using BBox = bg::model::box<BPoint>;
using Value = std::pair<BBox, std::size_t>;

BBox boxOf(const geom::Point3d& a, const geom::Point3d& b, double margin) {
  return BBox(BPoint(std::min(a.x, b.x) - margin, std::min(a.y, b.y) - margin, std::min(a.z, b.z) - margin),
              BPoint(std::max(a.x, b.x) + margin, std::max(a.y, b.y) + margin, std::max(a.z, b.z) + margin));
}
}  // namespace

struct SegmentBoxIndex::Tree {
  bgi::rtree<Value, bgi::rstar<16>> tree;
};

SegmentBoxIndex::SegmentBoxIndex() : tree_(std::make_unique<Tree>()) {}
SegmentBoxIndex::~SegmentBoxIndex() = default;

void SegmentBoxIndex::add(const geom::Point3d& a, const geom::Point3d& b, std::size_t slot) {
  tree_->tree.insert(Value(boxOf(a, b, 0), slot));
}

std::vector<std::size_t> SegmentBoxIndex::query(const geom::Point3d& a, const geom::Point3d& b,
                                                 double margin) const {
  std::vector<Value> hits;
  tree_->tree.query(bgi::intersects(boxOf(a, b, margin)), std::back_inserter(hits));
  std::vector<std::size_t> out;
  out.reserve(hits.size());
  for (const Value& v : hits) out.push_back(v.second);
  std::sort(out.begin(), out.end());
  return out;
}

// ---------------------------------------------------------------------------
// MeterScope, DrawingStep
// ---------------------------------------------------------------------------

MeterScope::MeterScope(const wchar_t* label, int max) { ed::setStatusBarProgressMeter(label, 0, max); }
MeterScope::~MeterScope() { ed::restoreStatusBar(); }
void MeterScope::at(int pos) { ed::setStatusBarProgressMeterPos(pos); }

namespace {
cad::TransactionManager* stepTransactions() {
  ed::Document* doc = ed::curDoc();
  return doc ? doc->transactionManager() : nullptr;
}
}  // namespace

DrawingStep::DrawingStep() {
  if (cad::TransactionManager* tm = stepTransactions()) {
    tm->startTransaction();
    open_ = true;
  }
}

DrawingStep::~DrawingStep() {
  if (!open_) return;
  cad::TransactionManager* tm = stepTransactions();
  if (tm && tm->numActiveTransactions() > 0) tm->abortTransaction();
}

void DrawingStep::keep() {
  if (!open_) return;
  open_ = false;
  cad::TransactionManager* tm = stepTransactions();
  if (tm && tm->numActiveTransactions() > 0) tm->endTransaction();
}

// ---------------------------------------------------------------------------
// Component data
// ---------------------------------------------------------------------------

double DetourReach(double length, double detour) {
  return std::sqrt(detour * length + detour * detour) / 2 + 1.0;
}

std::wstring FirstAttrLine(cad::ObjectId id) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  return attrs.empty() ? std::wstring() : attrs.front();
}

std::wstring LayerOf(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  return ent ? ent->layer() : std::wstring();
}

std::wstring ParamValue(const StringArray& lines, const std::wstring& name) {
  std::wstring v = GetAttrValue(lines, name);
  const auto colon = v.find(L':');
  if (colon != std::wstring::npos) v.erase(colon);
  return v;
}

std::unordered_map<std::wstring, StringArray> ParamsByNumber(const StringArray& rows) {
  std::unordered_map<std::wstring, StringArray> out;
  for (const std::wstring& row : rows) {
    const auto eq = row.find(L'=');
    if (eq == std::wstring::npos) continue;
    const std::wstring number = row.substr(0, eq);
    if (out.count(number)) continue;
    StringArray lines;
    SplitLines(row.substr(eq + 1), lines);
    out.emplace(number, std::move(lines));
  }
  return out;
}

const StringArray* FloorParams::of(const std::wstring& name, const std::wstring& number) {
  auto it = byName_.find(name);
  if (it == byName_.end()) {
    StringArray rows;
    ReadFloorGjParams(rows, floor_, name, L"", L"参数");
    it = byName_.emplace(name, ParamsByNumber(rows)).first;
  }
  auto row = it->second.find(number);
  return row == it->second.end() ? nullptr : &row->second;
}
