// Tracing circuits from the boxes through the wiring to the lamps.
#include "tests/module/conversion/circuit_fixture.h"

namespace {

using geom::Point3d;
using Ids = cad::ObjectIdArray;

class CircuitTracing : public convtest::CircuitDrawing {};

TEST_F(CircuitTracing, SmallLayoutsGiveTheirCircuits) {
  const cad::ObjectId b = box({0, 0, 0});
  const cad::ObjectId l1 = lamp({5000, 0, 0});
  const cad::ObjectId l2 = lamp({5000, 5000, 0});
  const cad::ObjectId l3 = lamp({20000, 0, 0});
  // box -> l1 straight; l1 -> l2 with a gap of 1000 on the way; l1 -> l3
  // with a gap of 1600 (not bridged).
  const cad::ObjectId w1 = wire({0, 0, 0}, {5000, 0, 0});
  const cad::ObjectId w2 = wire({5000, 0, 0}, {5000, 2000, 0});
  const cad::ObjectId w3 = wire({5000, 3000, 0}, {5000, 5000, 0});
  const cad::ObjectId w4 = wire({5000, -100, 0}, {12000, -100, 0});
  const cad::ObjectId w5 = wire({13600, -100, 0}, {20000, -100, 0});
  ASSERT_TRUE(trace({w1, w2, w3, w4, w5}).ok);
  std::vector<Ids> expected{{b, w1, l1}, {l1, w2, w3, l2}, {l1, w4, cad::ObjectId()}, {cad::ObjectId(), w5, l3}};
  auto found = g_tracedCircuits;
  for (const Ids& e : expected) {
    Ids reversed(e.rbegin(), e.rend());
    EXPECT_TRUE(std::find(found.begin(), found.end(), e) != found.end() ||
                std::find(found.begin(), found.end(), reversed) != found.end())
        << testing::PrintToString(e) << " in " << testing::PrintToString(found);
  }
  EXPECT_EQ(found.size(), expected.size());
  EXPECT_TRUE(g_untracedPieceIds.empty());
}

TEST_F(CircuitTracing, PolylinesAndLampsOnAWireAreCutIntoPieces) {
  const cad::ObjectId b = box({0, 0, 0});
  const cad::ObjectId mid = lamp({3000, 0, 0});
  const cad::ObjectId end = lamp({6000, 3000, 0});
  const cad::ObjectId nearEnd = lamp({6000, 30, 0});  // within 1.1 x 50 of the corner: no cut
  const cad::ObjectId pl = polyline(L"ZEB_照明", {{0, 0, 0}, {6000, 0, 0}, {6000, 3000, 0}});
  const CircuitTraceResult r = trace({pl});
  ASSERT_TRUE(r.ok);
  // The polyline is gone, replaced by its pieces, the first one cut at the lamp.
  cad::ObjectPtr<cad::Entity> gone(pl, cad::OpenMode::ForRead);
  EXPECT_FALSE(gone);
  gone.close();
  ASSERT_EQ(r.replaced.size(), 1u);
  EXPECT_EQ(r.replaced[0].first, pl);
  EXPECT_EQ(r.replaced[0].second.size(), 3u);
  EXPECT_EQ(g_circuitPieceIds.size(), 3u);
  for (cad::ObjectId piece : g_circuitPieceIds) {
    cad::ObjectPtr<cad::Entity> e(piece, cad::OpenMode::ForRead);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->layer(), L"ZEB_照明");
  }
  // box -> mid lamp -> the lamp at the corner -> the lamp at the end.
  ASSERT_EQ(g_tracedCircuits.size(), 3u);
  const auto hasEnds = [&](cad::ObjectId a, cad::ObjectId z) {
    return std::any_of(g_tracedCircuits.begin(), g_tracedCircuits.end(), [&](const Ids& c) {
      return (c.front() == a && c.back() == z) || (c.front() == z && c.back() == a);
    });
  };
  EXPECT_TRUE(hasEnds(b, mid));
  EXPECT_TRUE(hasEnds(mid, nearEnd));
  EXPECT_TRUE(hasEnds(nearEnd, end));
}

TEST_F(CircuitTracing, EdgeLinesOfLampsOnAWireDoNotCut) {
  const cad::ObjectId b = box({0, 0, 0});
  const cad::ObjectId l = lamp({6000, 0, 0});
  // An edge line of the lamp lying across the wire: a lamp entity without
  // an insertion point.
  const cad::ObjectId edge = line(L"点状灯具边线", {3000, -100, 0}, {3000, 100, 0});
  SetGjXdata(edge, L"灯1", GetHandleText(l), nullptr);
  const cad::ObjectId w = wire({0, 0, 0}, {6000, 0, 0});
  ASSERT_TRUE(trace({w}).ok);
  ASSERT_EQ(g_tracedCircuits.size(), 1u);
  EXPECT_EQ(g_tracedCircuits[0], (Ids{b, w, l}));
  EXPECT_TRUE(IsDeviceEntity(edge));
  EXPECT_EQ(DevicePrimaryOf(edge), l);
}

TEST_F(CircuitTracing, DevicesInTargetSpaceMeetTheirSourceWiring) {
  // The device conversion put the devices 100000 to the right of the design.
  const cad::ObjectId b = box({100000, 0, 0});
  const cad::ObjectId l = lamp({106000, 0, 0});
  const cad::ObjectId w = wire({0, 0, 0}, {6000, 0, 0});
  CircuitTraceOptions o;
  o.shift = geom::Vector3d(100000, 0, 0);
  ASSERT_TRUE(TraceCircuits({w}, o).ok);
  ASSERT_EQ(g_tracedCircuits.size(), 1u);
  EXPECT_EQ(g_tracedCircuits[0], (Ids{b, w, l}));
}

TEST_F(CircuitTracing, ClosedLoopTakesEveryPieceOnceAndBranchesEndWithNull) {
  box({-5000, 0, 0});
  lamp({-5000, 5000, 0});
  const Ids loop{wire({0, 0, 0}, {1000, 0, 0}), wire({1000, 0, 0}, {1000, 1000, 0}),
                 wire({1000, 1000, 0}, {0, 1000, 0}), wire({0, 1000, 0}, {0, 0, 0})};
  ASSERT_TRUE(trace(loop).ok);
  ASSERT_EQ(g_tracedCircuits.size(), 1u);
  Ids pieces;
  for (cad::ObjectId id : g_tracedCircuits[0])
    if (!id.isNull()) pieces.push_back(id);
  std::sort(pieces.begin(), pieces.end());
  Ids sortedLoop = loop;
  std::sort(sortedLoop.begin(), sortedLoop.end());
  EXPECT_EQ(pieces, sortedLoop);

  // A T junction without a device: every run meeting there ends with null.
  freshDrawing();
  box({-5000, 0, 0});
  lamp({-5000, 5000, 0});
  const Ids tee{wire({0, 0, 0}, {1000, 0, 0}), wire({1000, 0, 0}, {2000, 0, 0}), wire({1000, 0, 0}, {1000, 1000, 0})};
  ASSERT_TRUE(trace(tee).ok);
  ASSERT_EQ(g_tracedCircuits.size(), 3u);
  for (const Ids& c : g_tracedCircuits) EXPECT_TRUE(c.front().isNull() && c.back().isNull());
}

TEST_F(CircuitTracing, LongRunsAreFollowedWithoutRecursion) {
  const cad::ObjectId b = box({0, 0, 0});
  Ids wiring;
  const int n = 3000;
  // A zigzag of pieces from the box at (0, 1000).
  for (int i = 0; i < n; ++i)
    wiring.push_back(wire({i * 1000.0, (i % 2) ? 0.0 : 1000.0, 0}, {(i + 1) * 1000.0, (i % 2) ? 1000.0 : 0.0, 0}));
  {
    cad::ObjectPtr<cad::BlockReference> ref(b, cad::OpenMode::ForWrite);
    ref->setPosition({0, 1000, 0});
  }
  const cad::ObjectId l = lamp({n * 1000.0, 1000.0, 0});
  ASSERT_TRUE(trace(wiring).ok);
  ASSERT_EQ(g_tracedCircuits.size(), 1u);
  const Ids& c = g_tracedCircuits[0];
  EXPECT_EQ(c.size(), std::size_t(n + 2));
  EXPECT_TRUE((c.front() == b && c.back() == l) || (c.front() == l && c.back() == b));
}

TEST_F(CircuitTracing, FewerThanTwoDevicesOrNoWiringChangeNothing) {
  box({0, 0, 0});
  const cad::ObjectId pl = polyline(L"ZEB_照明", {{0, 0, 0}, {6000, 0, 0}, {6000, 3000, 0}});
  const std::size_t before = db()->modelSpaceEntities().size();
  CircuitTraceResult r = trace({pl});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(L"不足两个"), std::wstring::npos);
  EXPECT_EQ(db()->modelSpaceEntities().size(), before);
  r = trace({});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(L"提取管线"), std::wstring::npos);
}

TEST_F(CircuitTracing, RowsGatherTheCircuitsOfABox) {
  const cad::ObjectId b = box({0, 0, 0});
  const cad::ObjectId l1 = lamp({1000, 0, 0}), l2 = lamp({2000, 0, 0}), l3 = lamp({9000, 0, 0});
  const cad::ObjectId l4 = lamp({9500, 0, 0});
  const auto p = [](int i) { return cad::ObjectId::fromRaw(std::uint64_t(900000 + i)); };
  g_devicePrimaryIds = {b, l1, l2, l3, l4};
  g_tracedCircuits = {
      {l1, p(1), l2},                   // continues from the box's lamp
      {b, p(2), l1},                    // the box circuit
      {cad::ObjectId(), p(3), cad::ObjectId()},  // nulls at both ends: dropped
      {l3, p(4), l4},                   // no box: a row of its own
      {l2, p(5), cad::ObjectId()},      // open end after l2: joins through l2
  };
  const std::vector<Ids> rows = BuildCircuitRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Ids{b, p(2), l1, l1, p(1), l2, l2, p(5), cad::ObjectId()}));
  EXPECT_EQ(rows[1], (Ids{l3, p(4), l4}));
  EXPECT_TRUE(g_tracedCircuits.empty());
}

}  // namespace
