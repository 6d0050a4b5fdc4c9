#include "module/conversion/segment_index.h"

#include <algorithm>
#include <cmath>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include "module/model/linear_entities.h"
#include "module/toolkit/entities.h"

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace {

using BPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using BBox = bg::model::box<BPoint>;
using Value = std::pair<BBox, std::size_t>;

// How far a segment lying on this one may stray from it in plan: the
// distance-sum test with tolerance 1 admits an offset of about
// sqrt(length / 2) at the middle.
double strayMargin(const GjSegment& s) { return std::sqrt(s.start.distanceTo(s.end) / 2 + 0.25) + 1.0; }

BBox boxOf(const geom::Point3d& a, const geom::Point3d& b, double margin) {
  return BBox(BPoint(std::min(a.x, b.x) - margin, std::min(a.y, b.y) - margin),
              BPoint(std::max(a.x, b.x) + margin, std::max(a.y, b.y) + margin));
}

}  // namespace

struct SegmentIndex::Tree {
  bgi::rtree<Value, bgi::rstar<16>> tree;
  std::vector<BBox> boxes;
};

SegmentIndex::SegmentIndex() : tree_(std::make_unique<Tree>()) {}

SegmentIndex::SegmentIndex(const GjSegmentArray& segments) : tree_(std::make_unique<Tree>()) {
  std::vector<Value> values;
  values.reserve(segments.size());
  for (const GjSegment& s : segments) {
    const std::size_t slot = segs_.size();
    segs_.push_back(s);
    alive_.push_back(true);
    byId_.emplace(s.id, slot);
    tree_->boxes.push_back(boxOf(s.start, s.end, strayMargin(s)));
    values.emplace_back(tree_->boxes.back(), slot);
  }
  live_ = segs_.size();
  tree_->tree = bgi::rtree<Value, bgi::rstar<16>>(values.begin(), values.end());  // bulk load
}

SegmentIndex::~SegmentIndex() = default;

std::size_t SegmentIndex::append(const GjSegment& seg) {
  const std::size_t slot = segs_.size();
  segs_.push_back(seg);
  alive_.push_back(true);
  byId_.emplace(seg.id, slot);
  tree_->boxes.push_back(boxOf(seg.start, seg.end, strayMargin(seg)));
  tree_->tree.insert({tree_->boxes.back(), slot});
  ++live_;
  return slot;
}

void SegmentIndex::unindex(std::size_t slot) {
  tree_->tree.remove(Value(tree_->boxes[slot], slot));
  auto range = byId_.equal_range(segs_[slot].id);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second == slot) {
      byId_.erase(it);
      break;
    }
}

void SegmentIndex::remove(std::size_t slot) {
  if (!alive(slot)) return;
  alive_[slot] = false;
  --live_;
  unindex(slot);
}

void SegmentIndex::update(std::size_t slot, const GjSegment& seg) {
  if (!alive(slot)) return;
  unindex(slot);
  segs_[slot] = seg;
  byId_.emplace(seg.id, slot);
  tree_->boxes[slot] = boxOf(seg.start, seg.end, strayMargin(seg));
  tree_->tree.insert({tree_->boxes[slot], slot});
}

long SegmentIndex::find(cad::ObjectId id) const {
  long best = -1;
  auto range = byId_.equal_range(id);
  for (auto it = range.first; it != range.second; ++it)
    if (best < 0 || long(it->second) < best) best = long(it->second);
  return best;
}

std::vector<std::size_t> SegmentIndex::query(const geom::Point3d& a, const geom::Point3d& b,
                                             double margin) const {
  std::vector<Value> hits;
  tree_->tree.query(bgi::intersects(boxOf(a, b, margin)), std::back_inserter(hits));
  std::vector<std::size_t> slots;
  slots.reserve(hits.size());
  for (const Value& v : hits) slots.push_back(v.second);
  std::sort(slots.begin(), slots.end());
  return slots;
}

GjSegmentArray SegmentIndex::segments() const {
  GjSegmentArray out;
  out.reserve(live_);
  for (std::size_t i = 0; i < segs_.size(); ++i)
    if (alive_[i]) out.push_back(segs_[i]);
  return out;
}

bool RemoveOverlappedIndexed(SegmentIndex& list, const geom::Point3d& start, const geom::Point3d& end,
                             double bulge, const std::unordered_map<cad::ObjectId, double>* arcs) {
  const double margin = std::sqrt(start.distanceTo(end) / 2 + 0.25) + 1.0;
  for (std::size_t slot : list.query(start, end, margin)) {
    if (!list.alive(slot)) continue;
    const GjSegment& s = list.at(slot);
    double listed = 0.0;
    if (arcs)
      if (auto it = arcs->find(s.id); it != arcs->end()) listed = it->second;
    if (bulge != 0.0 || listed != 0.0) {
      const bool same = s.start.distanceTo(start) < 1.0 && s.end.distanceTo(end) < 1.0 &&
                        std::fabs(listed - bulge) < 1e-6;
      const bool swapped = s.start.distanceTo(end) < 1.0 && s.end.distanceTo(start) < 1.0 &&
                           std::fabs(listed + bulge) < 1e-6;
      if (same || swapped) return false;
      continue;
    }
    if (!IsSegmentNotOnSegment(s.start, s.end, start, end)) return false;
    if (!IsSegmentNotOnSegment(start, end, s.start, s.end)) {
      EraseEntity(s.id);
      list.remove(slot);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Crossing selections
// ---------------------------------------------------------------------------

namespace {

using BPolygon = bg::model::polygon<BPoint, false, false>;
using BSegment = bg::model::segment<BPoint>;

struct CrossingEntry {
  cad::ObjectId id;
  std::size_t order = 0;
  bool isSegment = false;
  BPoint a, b;
  bool alive = true;
};

}  // namespace

struct CrossingIndex::Impl {
  bgi::rtree<Value, bgi::rstar<16>> tree;
  std::vector<CrossingEntry> entries;
  std::unordered_multimap<cad::ObjectId, std::size_t> byId;
  std::size_t live = 0;

  void add(CrossingEntry e, const BBox& box) {
    e.order = entries.size();
    const std::size_t slot = entries.size();
    entries.push_back(e);
    tree.insert({box, slot});
    byId.emplace(e.id, slot);
    ++live;
  }
};

CrossingIndex::CrossingIndex() : impl_(std::make_unique<Impl>()) {}
CrossingIndex::~CrossingIndex() = default;

void CrossingIndex::addSegment(cad::ObjectId id, const geom::Point3d& a, const geom::Point3d& b) {
  CrossingEntry e;
  e.id = id;
  e.isSegment = true;
  e.a = BPoint(a.x, a.y);
  e.b = BPoint(b.x, b.y);
  impl_->add(e, boxOf(a, b, 0));
}

void CrossingIndex::addBox(cad::ObjectId id, const geom::Point3d& min, const geom::Point3d& max) {
  CrossingEntry e;
  e.id = id;
  e.a = BPoint(std::min(min.x, max.x), std::min(min.y, max.y));
  e.b = BPoint(std::max(min.x, max.x), std::max(min.y, max.y));
  impl_->add(e, BBox(e.a, e.b));
}

void CrossingIndex::remove(cad::ObjectId id) {
  auto range = impl_->byId.equal_range(id);
  for (auto it = range.first; it != range.second; ++it) {
    CrossingEntry& e = impl_->entries[it->second];
    if (!e.alive) continue;
    e.alive = false;
    --impl_->live;
    const BBox box = e.isSegment ? BBox(BPoint(std::min(e.a.get<0>(), e.b.get<0>()), std::min(e.a.get<1>(), e.b.get<1>())),
                                        BPoint(std::max(e.a.get<0>(), e.b.get<0>()), std::max(e.a.get<1>(), e.b.get<1>())))
                                 : BBox(e.a, e.b);
    impl_->tree.remove(Value(box, it->second));
  }
  impl_->byId.erase(id);
}

std::size_t CrossingIndex::size() const { return impl_->live; }

cad::ObjectIdArray CrossingIndex::crossing(const std::vector<geom::Point3d>& polygon) const {
  cad::ObjectIdArray out;
  if (polygon.size() < 3) return out;
  BPolygon poly;
  for (const auto& p : polygon) poly.outer().push_back(BPoint(p.x, p.y));
  bg::correct(poly);
  BBox env;
  bg::envelope(poly, env);
  std::vector<Value> hits;
  impl_->tree.query(bgi::intersects(env), std::back_inserter(hits));
  std::vector<std::size_t> slots;
  for (const Value& v : hits) {
    const CrossingEntry& e = impl_->entries[v.second];
    if (!e.alive) continue;
    const bool meets = e.isSegment ? bg::intersects(BSegment(e.a, e.b), poly) : bg::intersects(BBox(e.a, e.b), poly);
    if (meets) slots.push_back(v.second);
  }
  std::sort(slots.begin(), slots.end());
  for (std::size_t s : slots) {
    const cad::ObjectId id = impl_->entries[s].id;
    if (std::find(out.begin(), out.end(), id) == out.end()) out.push_back(id);
  }
  return out;
}
