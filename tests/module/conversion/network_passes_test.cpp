// The pipe-network passes on small drawings: recognition, auto-connect,
// risers at fixtures, breaking at crossings and diameters from annotations,
// in both the pipe and the water-pipe form where they differ.
#include <cmath>
#include <random>

#include "module/conversion/segment_index.h"
#include "tests/module/conversion/network_fixture.h"

namespace {

using convtest::NetworkDrawing;
using geom::Point3d;

class Passes : public NetworkDrawing {
 protected:
  PipeNetwork net(NetworkVariant v = NetworkVariant::Pipe) {
    PipeNetwork n;
    n.variant = v;
    return n;
  }
  static void expectNear(const Point3d& a, const Point3d& b) {
    EXPECT_NEAR(a.x, b.x, 1e-6);
    EXPECT_NEAR(a.y, b.y, 1e-6);
    EXPECT_NEAR(a.z, b.z, 1e-6);
  }
};

TEST_F(Passes, PolylinePiecesSlopeAlongTheWholeOutlineAndMoveByTheTranslation) {
  cad::ObjectIdArray ids{polyline(L"ZEB_给水", {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {3000, 1000, 0}})};
  PipeNetwork n = net();
  n.targetX = 100;
  n.targetY = 50;
  RecognisePipeRuns(n, &ids, L"给水管", L"J1", false, 0, 3000);
  ASSERT_EQ(n.newSegments.size(), 3u);
  // One slope over 4000 of plan length: no steps at the vertices.
  expectNear(n.newSegments[0].start, {100, 50, 0});
  expectNear(n.newSegments[0].end, {1100, 50, 750});
  expectNear(n.newSegments[1].end, {1100, 1050, 1500});
  expectNear(n.newSegments[2].end, {3100, 1050, 3000});
  double s = 0, e = 0;
  GetGjSpecial(n.newSegments[1].id, nullptr, &s, &e);
  EXPECT_DOUBLE_EQ(s, 750);
  EXPECT_DOUBLE_EQ(e, 1500);
  EXPECT_EQ(numberOf(n.newSegments[0].id), L"J1");
  EXPECT_EQ(n.made.size(), 3u);
}

TEST_F(Passes, RiserRowsTakeCirclesAndClosedOutlines) {
  cad::ObjectIdArray ids{circle(L"ZEB_立管", {500, 500, 0}, 100),
                         polyline(L"ZEB_立管", {{0, 0, 0}, {200, 0, 0}, {200, 200, 0}, {0, 200, 0}, {0, 0, 0}}),
                         polyline(L"ZEB_立管", {{0, 0, 0}, {200, 0, 0}, {200, 200, 0}, {2, 0, 0}}),
                         line(L"ZEB_立管", {0, 0, 0}, {100, 0, 0})};
  PipeNetwork n = net();
  RecognisePipeRuns(n, &ids, L"给水管", L"JL", true, 0, 3900);
  ASSERT_EQ(n.newSegments.size(), 2u);
  expectNear(n.newSegments[0].start, {500, 500, 0});
  expectNear(n.newSegments[0].end, {500, 500, 3900});
  expectNear(n.newSegments[1].start, {100, 100, 0});
  EXPECT_EQ(n.skippedEntities, 2);  // the open outline and the line

  PipeNetwork flat = net();
  RecognisePipeRuns(flat, &ids, L"给水管", L"JL", true, 3000, 3000);
  EXPECT_TRUE(flat.newSegments.empty());  // equal elevations make no riser
}

TEST_F(Passes, OverlapRuleKeepsToTheConvertedNames) {
  const GjSegment longer = run(L"给水管", L"J1", {0, 0, 0}, {2000, 0, 0});
  const GjSegment shorter = run(L"给水管", L"J1", {3000, 0, 0}, {3500, 0, 0});
  const GjSegment other = run(L"热给水管", L"R1", {0, 0, 0}, {2000, 0, 0});
  PipeNetwork n = net();
  CollectLinearComponents(n, {L"给水管"});
  ASSERT_EQ(n.allSegments.size(), 2u);
  cad::ObjectIdArray ids{line(L"ZEB_给水", {500, 0, 0}, {1500, 0, 0}), line(L"ZEB_给水", {2900, 0, 0}, {3600, 0, 0})};
  RecognisePipeRuns(n, &ids, L"给水管", L"J2", false, 0, 0);
  // The first piece lies on an existing pipe: not made. The second covers
  // an existing pipe, which goes.
  ASSERT_EQ(n.newSegments.size(), 1u);
  expectNear(n.newSegments[0].start, {2900, 0, 0});
  EXPECT_FALSE(longer.id.isErased());
  EXPECT_TRUE(shorter.id.isErased());
  EXPECT_FALSE(other.id.isErased());  // another name is never touched
}

struct JoinCase {
  NetworkVariant variant;
  double gap;
  double degrees;  // turn of B against A
  const wchar_t* nameB;
  bool joined;
};

TEST_F(Passes, AutoConnectJoinsCollinearRunsAcrossSmallGaps) {
  const JoinCase cases[] = {
      {NetworkVariant::Pipe, 10.0, 0, L"给水管", false},   {NetworkVariant::Pipe, 10.5, 0, L"给水管", true},
      {NetworkVariant::Pipe, 1499, 0, L"给水管", true},    {NetworkVariant::Pipe, 1500, 0, L"给水管", false},
      {NetworkVariant::Pipe, 100, 4, L"给水管", true},     {NetworkVariant::Pipe, 100, 6, L"给水管", false},
      {NetworkVariant::Pipe, 100, 0, L"热给水管", false},  {NetworkVariant::Water, 10.5, 0, L"给水管", true},
      {NetworkVariant::Water, 1500, 0, L"给水管", false}, {NetworkVariant::Water, 100, 4, L"给水管", true},
  };
  for (const JoinCase& c : cases) {
    freshDrawing();
    SCOPED_TRACE(testing::Message() << "gap " << c.gap << " turn " << c.degrees << " water "
                                    << (c.variant == NetworkVariant::Water));
    PipeNetwork n = net(c.variant);
    const GjSegment a = run(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0});
    const double t = c.degrees * M_PI / 180;
    const Point3d bs(1000 + c.gap, 0, 0);
    const GjSegment b = run(c.nameB, L"J1", bs, {bs.x + 1000 * std::cos(t), 1000 * std::sin(t), 0});
    n.allSegments = {b, a};
    n.newSegments = {a};
    AutoConnectPipes(n);
    EXPECT_TRUE(n.newSegments.empty());
    const GjSegmentArray left = runsOn(L"给水管");
    if (c.joined) {
      // One run from end to end; both old ones are gone (also at a kink).
      ASSERT_EQ(left.size(), 1u);
      EXPECT_NEAR(left[0].start.distanceTo(left[0].end), 2000 + c.gap, 2.0);  // a chord at a kink
      EXPECT_TRUE(a.id.isErased());
      EXPECT_TRUE(b.id.isErased());
    } else {
      EXPECT_FALSE(a.id.isErased());
      EXPECT_FALSE(b.id.isErased());
    }
  }
}

TEST_F(Passes, StackedRisersOfOneNameBecomeOne) {
  PipeNetwork n = net();
  const GjSegment low = run(L"给水管", L"JL", {0, 0, 0}, {0, 0, 1000});
  const GjSegment high = run(L"给水管", L"JL", {0, 0, 1100}, {0, 0, 2000});
  n.allSegments = {low, high};
  n.newSegments = {high};
  AutoConnectPipes(n);
  ASSERT_EQ(n.allSegments.size(), 1u);
  EXPECT_NEAR(std::fabs(n.allSegments[0].end.z - n.allSegments[0].start.z), 2000, 1e-6);
}

TEST_F(Passes, CrossingRunsOfOneNameAreCutAndKeepTheirData) {
  const GjSegment a = run(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0});
  const GjSegment b = run(L"给水管", L"J1", {500, -500, 0}, {500, 500, 0});
  const GjSegment c = run(L"污水管", L"W1", {300, -500, 0}, {300, 500, 0});
  const GjSegment lone = run(L"给水管", L"J1", {0, 2000, 0}, {1000, 2000, 0});
  StringArray extra{L"公称管径D_0(mm)=25.000000"};
  SetXdataLines(a.id, kXdataAttrs, extra, nullptr);
  PipeNetwork n = net();
  n.allSegments = {a, b, c, lone};
  BreakPipesAtIntersections(n);
  EXPECT_EQ(n.allSegments.size(), 6u);  // 2 + 2 pieces, the other name and the lone run as they were
  EXPECT_TRUE(a.id.isErased());
  EXPECT_TRUE(b.id.isErased());
  EXPECT_FALSE(c.id.isErased());
  EXPECT_FALSE(lone.id.isErased());
  int pieces = 0;
  for (const GjSegment& s : runsOn(L"给水管")) {
    if (s.start.y == 0 && s.end.y == 0) {
      ++pieces;
      EXPECT_NEAR(planLength(s), 500, 1e-6);
      EXPECT_EQ(attrsOf(s.id).back(), L"公称管径D_0(mm)=25.000000");
    }
  }
  EXPECT_EQ(pieces, 2);
}

TEST_F(Passes, BranchEndingShortOfAMainIsAJunctionOnlyForPipes) {
  for (NetworkVariant v : {NetworkVariant::Pipe, NetworkVariant::Water}) {
    freshDrawing();
    const GjSegment main = run(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0});
    const GjSegment branch = run(L"给水管", L"J1", {400, 5, 0}, {400, 800, 0});
    PipeNetwork n = net(v);
    n.allSegments = {main, branch};
    BreakPipesAtIntersections(n);
    EXPECT_EQ(main.id.isErased(), v == NetworkVariant::Pipe);
    EXPECT_FALSE(branch.id.isErased());  // touched at its end only
    EXPECT_EQ(n.allSegments.size(), v == NetworkVariant::Pipe ? 3u : 2u);
  }
}

TEST_F(Passes, ThreeCrossingsCutARunInTheirOrderAlongIt) {
  const GjSegment main = run(L"给水管", L"J1", {0, 0, 0}, {1000, 0, 0});
  PipeNetwork n = net();
  n.allSegments = {main};
  for (double x : {700.0, 200.0, 450.0}) n.allSegments.push_back(run(L"给水管", L"J1", {x, -100, 0}, {x, 100, 0}));
  BreakPipesAtIntersections(n);
  std::vector<double> starts;
  for (const GjSegment& s : n.allSegments)
    if (s.start.y == 0 && s.end.y == 0) starts.push_back(std::min(s.start.x, s.end.x));
  std::sort(starts.begin(), starts.end());
  EXPECT_EQ(starts, (std::vector<double>{0, 200, 450, 700}));
}

TEST_F(Passes, LabelsBecomeNumbersAndDiameters) {
  struct Case {
    const wchar_t* text;
    const wchar_t* number;
    const wchar_t* diameterLine;
  };
  // Sizes are written as the user writes them; a label without a number
  // names the run but gives it no size.
  const Case cases[] = {{L"DN100", L"DN100", L"公称管径D_0(mm)=100"},
                        {L"de50", L"de50", L"公称管径D_0(mm)=50"},
                        {L"DN65 L=3", L"DN65", L"公称管径D_0(mm)=65"},
                        {L"de2.5", L"de2.5", L"公称管径D_0(mm)=2.5"},
                        {L"DNa", L"DNa", nullptr},
                        {L"DN", L"给水管", nullptr},
                        {L"其它", L"给水管", nullptr}};
  for (const Case& c : cases) {
    freshDrawing();
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    // Made 100 to the right of its source line: the label is found beside
    // the source.
    text(c.text, {300, 80, 0});
    const GjSegment r = run(L"给水管", kAutoNumber, {100, 0, 0}, {1100, 0, 0});
    StringArray extra{L"材质=PPR"};
    SetXdataLines(r.id, kXdataAttrs, extra, nullptr);
    PipeNetwork n = net();
    n.targetX = 100;
    n.allSegments = {r};
    n.made.insert(r.id);
    ApplyDiameterAnnotations(n);
    EXPECT_EQ(numberOf(r.id), c.number);
    const StringArray attrs = attrsOf(r.id);
    EXPECT_EQ(attrs[2], L"材质=PPR");  // the other lines stay
    if (c.diameterLine) {
      EXPECT_EQ(attrs.back(), c.diameterLine);
    } else {
      EXPECT_EQ(attrs.size(), 3u);
    }
    double s = 1, e = 1;
    GetGjSpecial(r.id, nullptr, &s, &e);
    EXPECT_EQ(s, 0);
  }
}

TEST_F(Passes, UnlabelledRunsTakeTheStraightestLabelledNeighbour) {
  text(L"DN50", {-800, 80, 0});
  text(L"DN25", {1080, 900, 0}, M_PI / 2);
  const GjSegment straight = run(L"给水管", kAutoNumber, {-1000, 0, 0}, {0, 0, 0});
  const GjSegment middle = run(L"给水管", kAutoNumber, {0, 0, 0}, {1000, 0, 0});
  const GjSegment square = run(L"给水管", kAutoNumber, {1000, 0, 0}, {1000, 1000, 0});
  const GjSegment drop = run(L"喷淋管", kAutoNumber, {-1000, 0, 0}, {-1000, 0, -500});
  text(L"DN80", {-3000, 80, 0}, 0);
  const GjSegment sprinkler = run(L"喷淋管", kAutoNumber, {-3000, 0, 0}, {-1000, 0, 0});
  const GjSegment alone = run(L"给水管", kAutoNumber, {5000, 5000, 0}, {6000, 5000, 0});
  const GjSegment existing = run(L"给水管", L"J9", {0, 0, 0}, {0, -1000, 0});
  PipeNetwork n = net();
  n.allSegments = {middle, square, straight, drop, sprinkler, alone, existing};
  for (const GjSegment& s : n.allSegments)
    if (s.id != existing.id) n.made.insert(s.id);
  ApplyDiameterAnnotations(n);
  EXPECT_EQ(numberOf(middle.id), L"DN50");  // 180 degrees beats 90
  EXPECT_EQ(numberOf(drop.id), L"DN25");    // a sprinkler drop
  EXPECT_EQ(numberOf(alone.id), L"给水管");  // nothing near: its name
  EXPECT_EQ(numberOf(existing.id), L"J9");   // not made here: left alone
  EXPECT_EQ(n.unlabelledRuns, 1);
}

TEST_F(Passes, FixturesBesideRunsGetRisers) {
  // K 8 from the start: the start case. K 12 from the start of another run:
  // the middle case. A fixture by an existing riser is served already.
  const GjSegment a = run(L"给水管", L"J1", {0, 0, 2800}, {2000, 0, 2800});
  const GjSegment b = run(L"给水管", L"J1", {0, 3000, 2800}, {2000, 3000, 2800});
  const GjSegment old = run(L"给水管", L"JL", {5000, 0, 0}, {5000, 0, 3000});
  StringArray extra{L"材质=PPR"};
  SetXdataLines(a.id, kXdataAttrs, extra, nullptr);
  const cad::ObjectId atStart = fixture(L"洗脸盆", {8, 150, 0}, 800);
  const cad::ObjectId beside = fixture(L"洗脸盆", {12, 3150, 0}, 800);
  const cad::ObjectId edge = line(L"洗脸盆边线", {12, 3150, 0}, {112, 3150, 0});
  SetGjXdata(edge, L"F1", GetHandleText(beside), nullptr);
  const cad::ObjectId served = fixture(L"洗脸盆", {5050, 0, 0}, 800);
  PipeNetwork n = net();
  n.allSegments = {a, b, old};
  GenerateRisersAtFixtures(n);
  int risers = 0;
  for (const GjSegment& s : n.allSegments)
    if (planLength(s) < 1 && s.id != old.id) ++risers;
  EXPECT_EQ(risers, 2);
  // The start case: the run now starts at the fixture, made before the old
  // one went, with its data; the riser goes down to the fixture's 800.
  EXPECT_TRUE(a.id.isErased());
  bool remade = false;
  for (const GjSegment& s : n.allSegments)
    if (s.start.x == 8 && s.start.y == 150 && planLength(s) >= 1) {
      remade = true;
      EXPECT_EQ(attrsOf(s.id).back(), L"材质=PPR");
    }
  EXPECT_TRUE(remade);
  bool down = false;
  for (const GjSegment& s : n.allSegments)
    if (planLength(s) < 1 && s.start.x == 8 && std::min(s.start.z, s.end.z) == 800) down = true;
  EXPECT_TRUE(down);
  // The middle case: the fixture moves onto the run.
  Point3d p;
  ASSERT_TRUE(IsPointGj(beside, p));
  EXPECT_NEAR(p.y, 3000, 1e-6);
  {
    cad::ObjectPtr<cad::Line> moved(edge, cad::OpenMode::ForRead);
    EXPECT_NEAR(moved->start().y, 3000, 1e-6);  // its edge line moved with it
  }
  ASSERT_TRUE(IsPointGj(served, p));
  EXPECT_NEAR(p.x, 5050, 1e-6);
  (void)atStart;
}

TEST_F(Passes, FixturesAreTakenTypeByTypeWhateverTheDrawingOrder) {
  // Two fixtures at one place beside the middle of a run, the wash basin
  // (卫生器具) drawn before the valve (管道附件). The fixtures go type by
  // type, the categories' types in order: the valve comes first, gets the
  // riser and moves onto the run; the basin's riser would lie on it, so the
  // basin stays where it is.
  const GjSegment a = run(L"给水管", L"J1", {0, 0, 2800}, {2000, 0, 2800});
  const cad::ObjectId basin = fixture(L"洗脸盆", {1000, 150, 0}, 800);
  const cad::ObjectId valve = fixture(L"阀门", {1000, 150, 0}, 600);
  const cad::ObjectId secondBasin = fixture(L"洗脸盆", {9000, 9000, 0}, 800);  // near no run
  PipeNetwork n = net();
  n.allSegments = {a};
  GenerateRisersAtFixtures(n);
  Point3d p;
  ASSERT_TRUE(IsPointGj(valve, p));
  EXPECT_NEAR(p.y, 0, 1e-6);
  ASSERT_TRUE(IsPointGj(basin, p));
  EXPECT_NEAR(p.y, 150, 1e-6);
  int risers = 0;
  for (const GjSegment& s : n.allSegments)
    if (planLength(s) < 1) {
      ++risers;
      EXPECT_EQ(std::min(s.start.z, s.end.z), 600);  // down to the valve
    }
  EXPECT_EQ(risers, 1);
  // The previous selection is the last type's that had fixtures: both
  // basins, in drawing order.
  EXPECT_EQ(ed::previousSelection(), (std::vector<cad::ObjectId>{basin, secondBasin}));
}

TEST(SegmentIndexRule, AgreesWithTheWholeListScan) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(0, 200), len(1, 60);
  for (int round = 0; round < 30; ++round) {
    ed::resetEditor();
    GjSegmentArray plain;
    for (int i = 0; i < 40; ++i) {
      const Point3d a(coord(rng), std::floor(coord(rng) / 20) * 20, 0);
      const double l = len(rng);
      plain.emplace_back(cad::ObjectId::fromRaw(0), a, Point3d(a.x + l, a.y + (i % 3) * 0.2, 0), L"给水管", L"J");
    }
    SegmentIndex indexed(plain);
    for (int k = 0; k < 20; ++k) {
      const Point3d a(coord(rng), std::floor(coord(rng) / 20) * 20, 0);
      const Point3d b(a.x + len(rng), a.y, 0);
      const bool plainResult = RemoveOverlappedSegments(plain, a, b);
      const bool indexedResult = RemoveOverlappedIndexed(indexed, a, b);
      ASSERT_EQ(plainResult, indexedResult);
      ASSERT_EQ(indexed.segments(), plain);
    }
  }
}

}  // namespace
