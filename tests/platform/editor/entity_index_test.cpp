// Picks and window selections through the spatial index of model space: the
// entities and their order must stay those of a look at every entity, while
// the drawing changes under the index (moves, erasures, aborts, blocks).
#include <algorithm>
#include <cmath>
#include <set>

#include "fixture.h"

using namespace edtest;
using geom::Point3d;

namespace {

struct Seg {
  Point3d a, b;
};

double segDist(const Point3d& p, const Seg& s) {
  double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y, l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? std::clamp(((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / l2, 0.0, 1.0) : 0;
  return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

bool inside(const Point3d& p, const Point3d& lo, const Point3d& hi) {
  return p.x > lo.x && p.x < hi.x && p.y > lo.y && p.y < hi.y;
}

// Whether a segment meets an open rectangle (clipping its parameter range).
bool crosses(const Seg& s, const Point3d& lo, const Point3d& hi) {
  double t0 = 0, t1 = 1;
  double d[2] = {s.b.x - s.a.x, s.b.y - s.a.y}, p[2] = {s.a.x, s.a.y};
  double l[2] = {lo.x, lo.y}, h[2] = {hi.x, hi.y};
  for (int k = 0; k < 2; ++k) {
    if (d[k] == 0) {
      if (p[k] <= l[k] || p[k] >= h[k]) return false;
      continue;
    }
    double ta = (l[k] - p[k]) / d[k], tb = (h[k] - p[k]) / d[k];
    t0 = std::max(t0, std::min(ta, tb));
    t1 = std::min(t1, std::max(ta, tb));
  }
  return t0 < t1;
}

// A small deterministic generator.
struct Lcg {
  unsigned long long s = 12345;
  double next(double lo, double hi) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + (hi - lo) * double(s >> 11) / double(1ULL << 53);
  }
};

class EntityIndex : public EditorTest {
 protected:
  // The lines of model space as the test knows them, in model-space order.
  std::vector<std::pair<cad::ObjectId, Seg>> lines() {
    std::vector<std::pair<cad::ObjectId, Seg>> out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Line> l(id, cad::OpenMode::ForRead);
      if (l) out.push_back({id, {l->start(), l->end()}});
    }
    return out;
  }
  std::vector<cad::ObjectId> ssGet(const wchar_t* mode, const Point3d& lo, const Point3d& hi) {
    ed::SelSet ss = 0;
    if (ed::ssGet(mode, {lo, hi}, {}, ss) != ed::kNormal) return {};
    auto ids = ed::ssIds(ss);
    ed::ssFree(ss);
    return ids;
  }
  // Every query agrees with a look at every line.
  void expectAgreement(Lcg& rng, int queries = 40) {
    auto all = lines();
    for (int q = 0; q < queries; ++q) {
      Point3d p(rng.next(-50, 1050), rng.next(-50, 1050));
      double aperture = rng.next(1, 40);
      std::vector<cad::ObjectId> near;
      cad::ObjectId at;
      double best = 1e300;
      for (auto& [id, s] : all) {
        double d = segDist(p, s);
        if (d > aperture) continue;
        near.push_back(id);
        if (d <= best) best = d, at = id;
      }
      EXPECT_EQ(ed::entitiesNear(p, aperture), near);
      EXPECT_EQ(ed::entityAt(p, aperture), at);
      Point3d lo(rng.next(-50, 900), rng.next(-50, 900));
      Point3d hi(lo.x + rng.next(5, 300), lo.y + rng.next(5, 300));
      std::vector<cad::ObjectId> window, crossing;
      for (auto& [id, s] : all) {
        if (inside(s.a, lo, hi) && inside(s.b, lo, hi)) window.push_back(id);
        if (crosses(s, lo, hi)) crossing.push_back(id);
      }
      EXPECT_EQ(ssGet(L"W", lo, hi), window);
      EXPECT_EQ(ssGet(L"C", hi, lo), crossing);
    }
  }
  cad::ObjectId randomLine(Lcg& rng) {
    double x = rng.next(0, 1000), y = rng.next(0, 1000);
    return addLine(x, y, x + rng.next(-60, 60), y + rng.next(-60, 60));
  }
};

}  // namespace

TEST_F(EntityIndex, PicksAndWindowsAgreeWithAFullLookWhileTheDrawingChanges) {
  Lcg rng;
  std::vector<cad::ObjectId> ids;
  for (int i = 0; i < 10; ++i) ids.push_back(randomLine(rng));
  expectAgreement(rng, 10);  // few entities: no grid yet
  for (int i = 0; i < 400; ++i) ids.push_back(randomLine(rng));
  expectAgreement(rng);
  // Moves, some long enough to span the whole drawing.
  for (int i = 0; i < 60; ++i) {
    cad::ObjectPtr<cad::Line> l(ids[std::size_t(i * 6)], cad::OpenMode::ForWrite);
    l->setEndPoint({rng.next(0, 1000), i % 10 ? rng.next(0, 1000) : 5000});
  }
  expectAgreement(rng);
  // Erasures, and some taken back.
  for (int i = 0; i < 80; ++i) {
    cad::ObjectPtr<cad::Line> l(ids[std::size_t(i * 5 + 1)], cad::OpenMode::ForWrite);
    l->erase();
  }
  expectAgreement(rng);
  for (int i = 0; i < 40; ++i) {
    cad::ObjectPtr<cad::Line> l(ids[std::size_t(i * 10 + 1)], cad::OpenMode::ForWrite, true);
    l->erase(false);
  }
  expectAgreement(rng);
  // Nested transactions: an aborted inner one, then an aborted outer one,
  // with picks in between (the index sees what they made before it goes).
  auto& tm = db().transactionManager();
  tm.startTransaction();
  for (int i = 0; i < 50; ++i) randomLine(rng);
  tm.startTransaction();
  for (int i = 0; i < 50; ++i) randomLine(rng);
  for (int i = 0; i < 30; ++i) {
    cad::ObjectPtr<cad::Line> l(ids[std::size_t(i * 3 + 2)], cad::OpenMode::ForWrite);
    if (!l) continue;  // erased above
    i % 2 ? l->erase() : l->setStartPoint({rng.next(0, 1000), rng.next(0, 1000)});
  }
  expectAgreement(rng, 10);
  tm.abortTransaction();
  expectAgreement(rng, 10);
  tm.abortTransaction();
  expectAgreement(rng);
  // Many more: the grid is laid out again.
  for (int i = 0; i < 1200; ++i) randomLine(rng);
  expectAgreement(rng);
}

TEST_F(EntityIndex, AnEntityOpenForWriteIsSkippedThenFoundWhereItWent) {
  Lcg rng;
  for (int i = 0; i < 100; ++i) randomLine(rng);
  cad::ObjectId id = addLine(2000, 2000, 2010, 2000);
  EXPECT_EQ(ed::entityAt({2005, 2000, 0}, 1), id);
  {
    cad::ObjectPtr<cad::Line> l(id, cad::OpenMode::ForWrite);
    EXPECT_EQ(ed::entityAt({2005, 2000, 0}, 1), cad::ObjectId());  // a look would skip it too
    l->setStartPoint({3000, 3000});
    l->setEndPoint({3010, 3000});
  }
  EXPECT_EQ(ed::entityAt({2005, 2000, 0}, 1), cad::ObjectId());
  EXPECT_EQ(ed::entityAt({3005, 3000, 0}, 1), id);
}

TEST_F(EntityIndex, AReferenceFollowsItsBlocksDefinition) {
  Lcg rng;
  for (int i = 0; i < 100; ++i) randomLine(rng);
  cad::ObjectId block;
  {
    cad::ObjectPtr<cad::BlockTable> bt(db().blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"B");
    ASSERT_EQ(bt->add(std::move(rec), &block), cad::Status::Ok);
    cad::ObjectPtr<cad::BlockRecord> b(block, cad::OpenMode::ForWrite);
    ASSERT_EQ(b->appendEntity(std::make_unique<cad::Line>(Point3d(0, 0), Point3d(10, 0))), cad::Status::Ok);
  }
  cad::ObjectId ref;
  ASSERT_EQ(db().appendToModelSpace(std::make_unique<cad::BlockReference>(Point3d(5000, 5000), block), &ref),
            cad::Status::Ok);
  EXPECT_EQ(ed::entityAt({5005, 5000, 0}, 1), ref);
  EXPECT_EQ(ed::entityAt({5505, 5500, 0}, 1), cad::ObjectId());
  {
    cad::ObjectPtr<cad::BlockRecord> b(block, cad::OpenMode::ForWrite);
    ASSERT_EQ(b->appendEntity(std::make_unique<cad::Line>(Point3d(500, 500), Point3d(510, 500))), cad::Status::Ok);
  }
  // The reference's box now reaches the new line; inside the box the pick hits it.
  EXPECT_EQ(ed::entitiesNear({5505, 5500, 0}, 1), std::vector<cad::ObjectId>{ref});
}

TEST_F(EntityIndex, AFileReadReplacesWhatTheIndexKnows) {
  Lcg rng;
  for (int i = 0; i < 100; ++i) randomLine(rng);
  cad::ObjectId id = addLine(2000, 2000, 2010, 2000);
  EXPECT_EQ(ed::entityAt({2005, 2000, 0}, 1), id);
  cad::Database other;
  ASSERT_EQ(other.appendToModelSpace(std::make_unique<cad::Line>(Point3d(-10, -10), Point3d(-20, -10))),
            cad::Status::Ok);
  ASSERT_EQ(db().readDxfText(other.dxfText()), cad::Status::Ok);
  EXPECT_EQ(ed::entityAt({2005, 2000, 0}, 1), cad::ObjectId());
  cad::ObjectId now = ed::entityAt({-15, -10, 0}, 1);
  EXPECT_FALSE(now.isNull());
  EXPECT_EQ(db().modelSpaceEntities(), cad::ObjectIdArray{now});
}
