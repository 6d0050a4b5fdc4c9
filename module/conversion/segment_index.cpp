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

bool RemoveOverlappedIndexed(SegmentIndex& list, const geom::Point3d& start, const geom::Point3d& end) {
  const double margin = std::sqrt(start.distanceTo(end) / 2 + 0.25) + 1.0;
  for (std::size_t slot : list.query(start, end, margin)) {
    if (!list.alive(slot)) continue;
    const GjSegment& s = list.at(slot);
    if (!IsSegmentNotOnSegment(s.start, s.end, start, end)) return false;
    if (!IsSegmentNotOnSegment(start, end, s.start, s.end)) {
      EraseEntity(s.id);
      list.remove(slot);
    }
  }
  return true;
}
