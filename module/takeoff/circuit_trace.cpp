#include "module/takeoff/circuit_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <queue>

#include "module/takeoff/linear_runs.h"
#include "platform/cad/entities.h"

namespace {

// Points hashed into square plan cells at least as wide as the largest
// distance asked for, so that a query looks at the 3 x 3 cells around it.
// All points are added first; the first query files them by cell (in the
// order they were added) into one list with an open-addressed index of the
// cells.
class PointGrid {
 public:
  void add(const geom::Point3d& p, int index) {
    pending_.push_back({key(cellOf(p.x), cellOf(p.y)), {p, index}});
    built_ = false;
  }

  // Calls f(index) for every point closer than reach to p (reach <= the cell).
  template <class F>
  void near(const geom::Point3d& p, double reach, F&& f) {
    if (!built_) build();
    if (entries_.empty()) return;
    const std::int64_t cx = cellOf(p.x), cy = cellOf(p.y);
    for (std::int64_t dx = -1; dx <= 1; ++dx)
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const Cell* c = find(key(cx + dx, cy + dy));
        if (!c) continue;
        for (std::uint32_t i = c->begin; i < c->end; ++i)
          if (entries_[i].point.distanceTo(p) < reach) f(entries_[i].index);
      }
  }

 private:
  static constexpr double kCell = kCircuitNodeReach;
  struct Entry {
    geom::Point3d point;
    int index;
  };
  struct Pending {
    std::uint64_t key;
    Entry entry;
  };
  struct Cell {
    std::uint64_t key;
    std::uint32_t begin, end;  // its entries; end == 0 marks a free place
  };
  static std::int64_t cellOf(double v) { return static_cast<std::int64_t>(std::floor(v / kCell)); }
  static std::uint64_t key(std::int64_t cx, std::int64_t cy) {
    return (static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(cy);
  }
  static std::uint64_t mix(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xFF51AFD7ED558CCDull;
    k ^= k >> 33;
    return k;
  }

  void build() {
    built_ = true;
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Pending& a, const Pending& b) { return a.key < b.key; });
    entries_.clear();
    entries_.reserve(pending_.size());
    size_t cells = 0;
    for (size_t i = 0; i < pending_.size(); ++i)
      if (i == 0 || pending_[i].key != pending_[i - 1].key) ++cells;
    size_t size = 16;
    while (size < 2 * cells) size *= 2;
    table_.assign(size, Cell{0, 0, 0});
    mask_ = size - 1;
    for (size_t i = 0; i < pending_.size();) {
      size_t j = i;
      while (j < pending_.size() && pending_[j].key == pending_[i].key) entries_.push_back(pending_[j++].entry);
      size_t at = mix(pending_[i].key) & mask_;
      while (table_[at].end != 0) at = (at + 1) & mask_;
      table_[at] = Cell{pending_[i].key, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)};
      i = j;
    }
  }

  const Cell* find(std::uint64_t k) const {
    for (size_t at = mix(k) & mask_;; at = (at + 1) & mask_) {
      const Cell& c = table_[at];
      if (c.end == 0) return nullptr;
      if (c.key == k) return &c;
    }
  }

  std::vector<Pending> pending_;
  std::vector<Entry> entries_;
  std::vector<Cell> table_;
  size_t mask_ = 0;
  bool built_ = false;
};

class Tracer {
 public:
  Tracer(const GjSegmentArray& runs, const GjNodeArray& devices, const GjNodeArray& boxes)
      : runs_(runs), devices_(devices), boxes_(boxes), boxSide_(runs.size(), false), taken_(runs.size(), false),
        touchMark_(runs.size(), -1), deviceTaken_(devices.size(), false) {
    for (int b = 0; b < static_cast<int>(boxes.size()); ++b) boxGrid_.add(boxes[b].position, b);
    for (int i = 0; i < static_cast<int>(runs.size()); ++i) {
      bool onBox = false;
      for (const geom::Point3d* e : {&runs[i].start, &runs[i].end})
        boxGrid_.near(*e, kCircuitNodeReach, [&](int) { onBox = true; });
      boxSide_[i] = onBox;
      PointGrid& grid = onBox ? boxSideGrid_ : runGrid_;
      grid.add(runs[i].start, i);
      grid.add(runs[i].end, i);
    }
    for (int d = 0; d < static_cast<int>(devices.size()); ++d) deviceGrid_.add(devices[d].position, d);
  }

  void trace(std::vector<cad::ObjectIdArray>& out) {
    // Chains of the other runs, each grown from the last run left.
    for (int seed = static_cast<int>(runs_.size()) - 1; seed >= 0; --seed) {
      if (boxSide_[seed] || taken_[seed]) continue;
      startCircuit();
      join(seed, true);
      while (!candidates_.empty()) {
        int y = candidates_.top();
        candidates_.pop();
        if (!taken_[y]) join(y, touchMark_[y] == circuit_);
      }
      joinBoxSideRuns();
      close(out);
    }
    // A box-side run no chain took is a circuit of its own.
    for (int seed = 0; seed < static_cast<int>(runs_.size()); ++seed) {
      if (!boxSide_[seed] || taken_[seed]) continue;
      startCircuit();
      join(seed, true);
      close(out);
    }
  }

 private:
  void startCircuit() {
    ++circuit_;
    chain_.clear();
    attached_.clear();
    ids_.clear();
    candidates_ = {};
  }

  // Appends run y to the chain. A run that touches the chain (or starts it)
  // brings the free devices at its ends, in falling list order; one that
  // joined only through a device of the chain brings none.
  void join(int y, bool touching) {
    const GjSegment& s = runs_[y];
    taken_[y] = true;
    chain_.push_back(y);
    ids_.push_back(s.id);
    if (!boxSide_[y])
      for (const geom::Point3d* e : {&s.start, &s.end})
        runGrid_.near(*e, kCircuitRunTouch, [&](int i) {
          if (taken_[i]) return;
          touchMark_[i] = circuit_;
          candidates_.push(i);
        });
    if (!touching) return;
    std::vector<int> near;
    for (const geom::Point3d* e : {&s.start, &s.end})
      deviceGrid_.near(*e, kCircuitNodeReach, [&](int d) {
        if (!deviceTaken_[d]) near.push_back(d);
      });
    std::sort(near.begin(), near.end(), std::greater<int>());
    near.erase(std::unique(near.begin(), near.end()), near.end());
    for (int d : near) {
      deviceTaken_[d] = true;
      attached_.push_back(d);
      ids_.push_back(devices_[d].id);
      runGrid_.near(devices_[d].position, kCircuitNodeReach, [&](int i) {
        if (!taken_[i]) candidates_.push(i);
      });
    }
  }

  // The box-side runs that touch a run of the chain which is not itself a
  // box-side run, in rising list order (the box-side list is made walking
  // the runs backward and is read backward): two chains whose box-side runs
  // meet at the box keep one each.
  void joinBoxSideRuns() {
    std::vector<int> found;
    for (int c : chain_)
      for (const geom::Point3d* e : {&runs_[c].start, &runs_[c].end})
        boxSideGrid_.near(*e, kCircuitRunTouch, [&](int i) {
          if (!taken_[i]) found.push_back(i);
        });
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (int i : found) {
      taken_[i] = true;
      chain_.push_back(i);
      ids_.push_back(runs_[i].id);
    }
  }

  // The first box (in box order) at the first run (in chain order) that has
  // one closes the circuit; without a box the chain's devices are freed.
  void close(std::vector<cad::ObjectIdArray>& out) {
    for (int c : chain_) {
      int box = -1;
      for (const geom::Point3d* e : {&runs_[c].start, &runs_[c].end})
        boxGrid_.near(*e, kCircuitNodeReach, [&](int b) {
          if (box < 0 || b < box) box = b;
        });
      if (box >= 0) {
        ids_.push_back(boxes_[box].id);
        out.push_back(ids_);
        return;
      }
    }
    for (int d : attached_) deviceTaken_[d] = false;
  }

  const GjSegmentArray& runs_;
  const GjNodeArray& devices_;
  const GjNodeArray& boxes_;
  std::vector<bool> boxSide_, taken_;
  std::vector<int> touchMark_;  // the circuit in which a run was found touching the chain
  std::vector<bool> deviceTaken_;
  PointGrid runGrid_, boxSideGrid_, deviceGrid_, boxGrid_;
  std::priority_queue<int> candidates_;
  int circuit_ = -1;
  std::vector<int> chain_, attached_;
  cad::ObjectIdArray ids_;
};

// The point components among the ids, each at its insertion point with z its
// elevation 标高.
void readNodes(const cad::ObjectIdArray& ids, GjNodeArray& nodes) {
  GjData gj;
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (!ref) continue;
    ReadGjDataOpen(ref.get(), gj);
    if (gj.type != L"点构件") continue;
    GjNode n;
    n.id = id;
    n.position = ref->position();
    n.position.z = gj.elev;
    nodes.push_back(std::move(n));
  }
}

}  // namespace

void TraceCircuitGeometry(const GjSegmentArray& runs, const GjNodeArray& devices, const GjNodeArray& boxes,
                          std::vector<cad::ObjectIdArray>& circuits) {
  circuits.clear();
  Tracer(runs, devices, boxes).trace(circuits);
}

void TraceCircuits(const cad::ObjectIdArray& runIds, const cad::ObjectIdArray& deviceIds,
                   const cad::ObjectIdArray& boxIds, std::vector<cad::ObjectIdArray>& circuits) {
  circuits.clear();
  // Only a box closes a circuit: without one no run needs reading.
  GjNodeArray boxes;
  readNodes(boxIds, boxes);
  if (boxes.empty()) return;
  // The runs with 3D ends: a polyline's first and last vertex or a block
  // reference's insertion point, z the start and end elevations.
  GjSegmentArray runs;
  runs.reserve(runIds.size());
  GjData gj;
  for (cad::ObjectId id : runIds) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) continue;
    geom::Point3d s, e;
    if (auto* pl = cad::cast<cad::Polyline>(ent.get())) {
      if (pl->numVerts() == 0) continue;
      s = pl->startPoint();
      e = pl->endPoint();
    } else if (auto* ref = cad::cast<cad::BlockReference>(ent.get())) {
      s = e = ref->position();
    } else {
      continue;
    }
    ReadGjDataOpen(ent.get(), gj);
    if (!IsRunType(gj.type)) continue;
    s.z = gj.startElev;
    e.z = gj.endElev;
    runs.emplace_back(id, s, e, std::wstring(), std::wstring());
  }
  GjNodeArray devices;
  readNodes(deviceIds, devices);
  TraceCircuitGeometry(runs, devices, boxes, circuits);
}
