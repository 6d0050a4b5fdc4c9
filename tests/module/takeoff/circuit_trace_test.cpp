// Circuit tracing on scripted geometry: the ids of each circuit in join order,
// the touch and reach limits, the circuits that a box-side wire alone, a shared
// box-side end or a chain without a box would otherwise lose, and a random
// floor traced against a plain step-by-step walk of the same rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "module/takeoff/circuit_trace.h"

namespace {

using Ids = std::vector<std::uint64_t>;

struct Floor {
  GjSegmentArray runs;
  GjNodeArray devices, boxes;
  // Ids: runs 1.., devices 101.., boxes 201..
  void run(geom::Point3d a, geom::Point3d b) {
    runs.emplace_back(cad::ObjectId::fromRaw(1 + runs.size()), a, b, L"", L"");
  }
  void node(GjNodeArray& list, std::uint64_t base, geom::Point3d p) {
    GjNode n;
    n.id = cad::ObjectId::fromRaw(base + list.size());
    n.position = p;
    list.push_back(n);
  }
  void lamp(geom::Point3d p) { node(devices, 101, p); }
  void box(geom::Point3d p) { node(boxes, 201, p); }

  std::vector<Ids> trace() const {
    std::vector<cad::ObjectIdArray> out;
    TraceCircuitGeometry(runs, devices, boxes, out);
    std::vector<Ids> ids;
    for (const auto& c : out) {
      ids.emplace_back();
      for (cad::ObjectId id : c) ids.back().push_back(id.raw());
    }
    return ids;
  }
};

TEST(CircuitTrace, ChainJoinsFromItsFarEndAndClosesAtTheBox) {
  Floor f;
  f.box({0, 0, 3000});
  f.run({10, 0, 3000}, {1000, 0, 3000});     // W1 at the box
  f.run({1000, 0, 3000}, {2000, 0, 3000});   // W2
  f.run({2000, 0, 3000}, {3000, 0, 3000});   // W3 at the lamp
  f.lamp({3010, 0, 3000});
  EXPECT_EQ(f.trace(), (std::vector<Ids>{{3, 101, 2, 1, 201}}));
}

TEST(CircuitTrace, SingleWireFromTheBoxIsACircuit) {
  Floor f;
  f.box({0, 0, 0});
  f.run({5, 0, 0}, {2000, 0, 0});
  f.lamp({2000, 20, 0});
  EXPECT_EQ(f.trace(), (std::vector<Ids>{{1, 101, 201}}));
}

TEST(CircuitTrace, TwoChainsOfOneBox) {
  for (double gap : {0.0, 10.0}) {
    SCOPED_TRACE(gap);
    Floor f;
    f.box({0, 0, 0});
    f.run({0, 5, 0}, {0, 1000, 0});          // chain A: box side
    f.run({0, 1000, 0}, {0, 2000, 0});
    f.run({gap, 5, 0}, {1000, 0, 0});        // chain B: box side, at the same point when gap is 0
    f.run({1000, 0, 0}, {2000, 0, 0});
    f.lamp({0, 2000, 0});
    f.lamp({2000, 0, 0});
    // B is traced first (its far run is last); each keeps its own box-side run.
    EXPECT_EQ(f.trace(), (std::vector<Ids>{{4, 102, 3, 201}, {2, 101, 1, 201}}));
  }
}

TEST(CircuitTrace, ChainsMeetingAtALampAreOneCircuit) {
  Floor f;
  f.box({0, 0, 0});
  f.box({5000, 0, 0});
  f.run({10, 0, 0}, {1000, 0, 0});          // box 201 side
  f.run({1000, 0, 0}, {2490, 0, 0});
  f.run({2510, 0, 0}, {4000, 0, 0});        // the other chain, 20 from the lamp
  f.run({4000, 0, 0}, {4990, 0, 0});        // box 202 side
  f.lamp({2500, 0, 0});
  // Run 3 starts, run 2 joins through the lamp (bringing no device); both
  // box-side runs join, the lower first, and the first box in chain order
  // (201, at run 1) closes.
  EXPECT_EQ(f.trace(), (std::vector<Ids>{{3, 101, 2, 1, 4, 201}}));
}

TEST(CircuitTrace, TouchAndReachAreStrict) {
  struct Case {
    double wireGap, lampGap;
    std::vector<Ids> expected;
  } cases[] = {
      {2.9, 29.9, {{2, 101, 1, 201}}},
      // Run 2 no longer touches run 1: it reaches no box and is dropped; run 1
      // alone is a circuit, the lamp beyond its reach.
      {3.0, 29.9, {{1, 201}}},
      {2.9, 30.0, {{2, 1, 201}}},  // the lamp is out of reach
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.wireGap << " " << c.lampGap);
    Floor f;
    f.box({0, 0, 0});
    f.run({1000, 0, 0}, {20, 0, 0});
    f.run({1000 + c.wireGap, 0, 0}, {2000, 0, 0});
    f.lamp({2000 + c.lampGap, 0, 0});
    EXPECT_EQ(f.trace(), c.expected);
  }
}

TEST(CircuitTrace, ChainWithoutABoxLeavesItsLampsToOthers) {
  Floor f;
  f.box({0, 0, 0});
  f.run({10, 0, 0}, {1000, 0, 0});          // box side, ends at the lamp
  f.lamp({1010, 0, 0});
  f.run({1020, 0, 0}, {3000, 0, 0});        // loose chain from the lamp, 10 apart: no touch with run 1
  f.run({3000, 0, 0}, {4000, 0, 0});
  // Runs 3 and 2 are traced first, take the lamp, reach no box: nothing; the
  // lamp goes to the box-side run.
  EXPECT_EQ(f.trace(), (std::vector<Ids>{{1, 101, 201}}));
}

TEST(CircuitTrace, RisersMeetInThreeDimensions) {
  Floor f;
  f.box({0, 0, 1500});
  f.run({0, 10, 1500}, {0, 10, 3000});      // riser up from the box
  f.run({0, 10, 3000}, {2000, 10, 3000});   // along the ceiling
  f.run({0, 10, 0}, {500, 10, 0});          // on the floor below the riser's foot: 1500 apart
  f.lamp({2000, 10, 3000});
  EXPECT_EQ(f.trace(), (std::vector<Ids>{{2, 101, 1, 201}}));
}

// The same rules walked step by step over shrinking lists, as a check of the
// grid and candidate order on a random floor.
std::vector<Ids> walk(const Floor& f) {
  auto near = [](const geom::Point3d& a, const geom::Point3d& b, double r) { return a.distanceTo(b) < r; };
  auto endNear = [&](const GjSegment& s, const geom::Point3d& p, double r) {
    return near(s.start, p, r) || near(s.end, p, r);
  };
  auto touch = [&](const GjSegment& a, const GjSegment& b) {
    return endNear(a, b.start, 3.0) || endNear(a, b.end, 3.0);
  };
  auto boxOf = [&](const GjSegment& s) {
    for (size_t b = 0; b < f.boxes.size(); ++b)
      if (endNear(s, f.boxes[b].position, 30.0)) return static_cast<int>(b);
    return -1;
  };
  std::vector<int> list, boxSide, devices;
  for (int i = static_cast<int>(f.runs.size()) - 1; i >= 0; --i)
    (boxOf(f.runs[i]) >= 0 ? boxSide : list).push_back(i);
  std::reverse(list.begin(), list.end());
  for (size_t d = 0; d < f.devices.size(); ++d) devices.push_back(static_cast<int>(d));
  std::vector<Ids> out;
  auto attach = [&](const GjSegment& s, std::vector<int>& att, Ids& ids) {
    for (int d = static_cast<int>(devices.size()) - 1; d >= 0; --d)
      if (endNear(s, f.devices[devices[d]].position, 30.0)) {
        att.push_back(devices[d]);
        ids.push_back(f.devices[devices[d]].id.raw());
        devices.erase(devices.begin() + d);
      }
  };
  auto close = [&](const std::vector<int>& chain, std::vector<int>& att, Ids& ids) {
    for (int c : chain)
      if (int b = boxOf(f.runs[c]); b >= 0) {
        ids.push_back(f.boxes[b].id.raw());
        out.push_back(ids);
        return;
      }
    devices.insert(devices.end(), att.begin(), att.end());
    std::sort(devices.begin(), devices.end());
  };
  while (!list.empty()) {
    std::vector<int> chain, att;
    Ids ids;
    for (int y = static_cast<int>(list.size()) - 1; y >= 0;) {
      const GjSegment& s = f.runs[list[y]];
      int rule = 0;
      if (chain.empty()) rule = 1;
      for (int c : chain)
        if (!rule && touch(s, f.runs[c])) rule = 2;
      for (int d : att)
        if (!rule && endNear(s, f.devices[d].position, 30.0)) rule = 3;
      if (!rule) {
        --y;
        continue;
      }
      chain.push_back(list[y]);
      ids.push_back(s.id.raw());
      list.erase(list.begin() + y);
      if (rule < 3) attach(s, att, ids);
      y = static_cast<int>(list.size()) - 1;
    }
    const size_t plain = chain.size();
    for (int y = static_cast<int>(boxSide.size()) - 1; y >= 0;) {
      bool joins = false;
      for (size_t c = 0; c < plain; ++c) joins = joins || touch(f.runs[boxSide[y]], f.runs[chain[c]]);
      if (!joins) {
        --y;
        continue;
      }
      chain.push_back(boxSide[y]);
      ids.push_back(f.runs[boxSide[y]].id.raw());
      boxSide.erase(boxSide.begin() + y);
      y = static_cast<int>(boxSide.size()) - 1;
    }
    close(chain, att, ids);
  }
  for (int y = static_cast<int>(boxSide.size()) - 1; y >= 0; --y) {
    std::vector<int> chain{boxSide[y]}, att;
    Ids ids{f.runs[boxSide[y]].id.raw()};
    attach(f.runs[boxSide[y]], att, ids);
    close(chain, att, ids);
  }
  return out;
}

TEST(CircuitTrace, RandomFloorMatchesTheStepwiseWalk) {
  std::mt19937 rng(7);
  for (int floor = 0; floor < 20; ++floor) {
    SCOPED_TRACE(floor);
    Floor f;
    // Wires between the points of a coarse lattice, shuffled; lamps and boxes
    // on lattice points, some a little off.
    std::uniform_int_distribution<int> cell(0, 7), jitter(-20, 20), coin(0, 3);
    auto at = [&](int i, int j) { return geom::Point3d(i * 500.0 + (coin(rng) ? 0 : 2), j * 500.0, 2800); };
    for (int k = 0; k < 60; ++k) {
      int i = cell(rng), j = cell(rng);
      bool horizontal = coin(rng) < 2;
      f.run(at(i, j), horizontal ? at(i + 1, j) : at(i, j + 1));
    }
    for (int k = 0; k < 15; ++k)
      f.lamp({cell(rng) * 500.0 + jitter(rng), cell(rng) * 500.0 + jitter(rng), 2800});
    for (int k = 0; k < 3; ++k) f.box({cell(rng) * 500.0 + jitter(rng), cell(rng) * 500.0, 2800});
    EXPECT_EQ(f.trace(), walk(f));
  }
}

}  // namespace
