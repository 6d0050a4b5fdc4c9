// An ordered list of pipe segments with a plan R-tree over it, for the
// network passes: the list keeps its order (slots are only appended, a
// removed segment leaves a dead slot), and the index answers which live
// segments' plan boxes meet a box, in list order.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "module/model/records.h"

class SegmentIndex {
 public:
  SegmentIndex();
  explicit SegmentIndex(const GjSegmentArray& segments);
  ~SegmentIndex();
  SegmentIndex(const SegmentIndex&) = delete;
  SegmentIndex& operator=(const SegmentIndex&) = delete;

  std::size_t append(const GjSegment& seg);
  void remove(std::size_t slot);
  // Replaces the segment of a live slot (its box is indexed again).
  void update(std::size_t slot, const GjSegment& seg);
  bool alive(std::size_t slot) const { return slot < alive_.size() && alive_[slot]; }
  const GjSegment& at(std::size_t slot) const { return segs_[slot]; }
  std::size_t slotCount() const { return segs_.size(); }
  std::size_t size() const { return live_; }
  // The first live slot of the id, or -1.
  long find(cad::ObjectId id) const;
  // Live slots whose plan boxes meet the box grown by margin, ascending.
  std::vector<std::size_t> query(const geom::Point3d& a, const geom::Point3d& b, double margin) const;
  // The live segments in list order.
  GjSegmentArray segments() const;

 private:
  // Takes a slot out of the tree and the id map.
  void unindex(std::size_t slot);
  struct Tree;
  std::unique_ptr<Tree> tree_;
  GjSegmentArray segs_;
  std::vector<bool> alive_;
  std::unordered_multimap<cad::ObjectId, std::size_t> byId_;
  std::size_t live_ = 0;
};

// The overlap rule of the network passes on an indexed list: false at the
// first listed segment (in list order) on which start-end lies; every
// listed segment that lies on start-end and comes before that is erased
// (entity and slot). The result of the whole-list scan, found by the index.
// An arc (bulge not 0, the listed arcs given by their bulges) lies on
// another run only as its duplicate: the same ends with the same bulge, or
// the ends swapped with the bulge negated; a straight run and an arc never
// lie on each other.
bool RemoveOverlappedIndexed(SegmentIndex& list, const geom::Point3d& start, const geom::Point3d& end,
                             double bulge = 0.0, const std::unordered_map<cad::ObjectId, double>* arcs = nullptr);

// The crossing-polygon selection of the circuit tracing over the entities it
// looks at (wiring pieces and device entities), in plan: an entity is found
// when its shape meets the polygon (a piece by its straight segment, any
// other entity by its extents box). Answers in the order the entities were
// added, as the host's selection answers in drawing order.
class CrossingIndex {
 public:
  CrossingIndex();
  ~CrossingIndex();
  CrossingIndex(const CrossingIndex&) = delete;
  CrossingIndex& operator=(const CrossingIndex&) = delete;

  void addSegment(cad::ObjectId id, const geom::Point3d& a, const geom::Point3d& b);
  void addBox(cad::ObjectId id, const geom::Point3d& min, const geom::Point3d& max);
  // Takes an entity out (all its entries).
  void remove(cad::ObjectId id);
  // The entities meeting the convex polygon, in adding order, each once.
  cad::ObjectIdArray crossing(const std::vector<geom::Point3d>& polygon) const;
  std::size_t size() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
