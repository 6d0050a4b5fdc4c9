// Pipe solids trimmed at their fittings, and the fittings' own solids.
#include "module/solid3d/pipe_solids.h"

#include <cmath>

#include "module/model/project_tables.h"
#include "tests/module/solid3d/solid3d_fixture.h"

namespace {

using namespace s3dtest;

// A square section 50 wide for the number J1.
TypeRows rowsOfWidth50() {
  TypeRows rows;
  rows.coords = {L"J1=-25,-25|25,-25|25,25|-25,25"};
  return rows;
}

class PipeSolidsTest : public SolidDrawingTest {};

// The fitting's extent along each arm, read from the solid's extents, for
// every kind of fitting.
TEST_F(PipeSolidsTest, FittingSolidsReachAsFarAsThePipesAreTrimmed) {
  const double c135 = std::cos(3 * M_PI / 4), s135 = std::sin(3 * M_PI / 4);
  struct Case {
    const char* name;
    StringArray arms;
    double xmin, xmax, ymin, ymax;
  } cases[] = {
      {"plug", {L"1,0,0,50"}, -6.25, 6.25, -25, 25},
      {"coupling", {L"1,0,0,50", L"-1,0,0,50"}, -30, 30, -25, 25},
      {"reducer", {L"1,0,0,50", L"-1,0,0,32"}, -29.5, 29.5, -25, 25},
      {"elbow 90", {L"1,0,0,50", L"0,1,0,50"}, -25, 50, -25, 50},
      {"tee", {L"1,0,0,50", L"-1,0,0,50", L"0,1,0,32"}, -50, 50, -25, 50},
      {"cross", {L"1,0,0,50", L"-1,0,0,50", L"0,1,0,32", L"0,-1,0,32"}, -41, 41, -41, 41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cad::ObjectId f = fitting({0, 0, 0}, c.arms);
    TwinList twins;
    EXPECT_EQ(MakePipeFittingSolid(L"管道弯头", f, {}, twins), L"");
    cad::Extents3d e = bodyExtents(twins);
    EXPECT_NEAR(e.minPoint.x, c.xmin, 0.05);
    EXPECT_NEAR(e.maxPoint.x, c.xmax, 0.05);
    EXPECT_NEAR(e.minPoint.y, c.ymin, 0.05);
    EXPECT_NEAR(e.maxPoint.y, c.ymax, 0.05);
  }
  // A 45 degree bend (arms at 135 degrees) reaches 0.5 x 50 x tan 22.5 + 25 along its first arm.
  cad::ObjectId f = fitting({0, 0, 0}, {L"1,0,0,50", ed::format(L"%f,%f,0,50", c135, s135)});
  TwinList twins;
  EXPECT_EQ(MakePipeFittingSolid(L"管道弯头", f, {}, twins), L"");
  EXPECT_NEAR(bodyExtents(twins).maxPoint.x, 0.5 * 50 * std::tan(M_PI / 8) + 25, 0.05);
  // An elbow of 50 and 32 tapers: arms of 20.5 + 25 along both pipes, the second end 32 across.
  cad::ObjectId taper = fitting({0, 0, 0}, {L"1,0,0,50", L"0,1,0,32"});
  twins.clear();
  EXPECT_EQ(MakePipeFittingSolid(L"管道弯头", taper, {}, twins), L"");
  cad::Extents3d te = bodyExtents(twins);
  EXPECT_NEAR(te.maxPoint.x, 45.5, 0.05);
  EXPECT_NEAR(te.maxPoint.y, 45.5, 0.05);
  // The radius falls along the whole path: across the second leg it lies between 16 and 25.
  EXPECT_LT(te.minPoint.x, -16);
  EXPECT_GT(te.minPoint.x, -25);
  EXPECT_NEAR(te.minPoint.y, -25, 0.5);
  // A coupling is a cylinder 60 long: its volume.
  cad::ObjectId cpl = fitting({0, 0, 0}, {L"0,0,1,50", L"0,0,-1,50"});
  double v = 0;
  twins.clear();
  MakePipeFittingSolid(L"管道弯头", cpl, {}, twins);
  bodyExtents(twins, &v);
  EXPECT_NEAR(v, M_PI * 25 * 25 * 60, 1);
}

// Elbows of every size: the bend of radius D/2 between two legs of D/2
// each, for a right angle and a 45 degree bend. Volume: the legs plus the
// bend's turn (the section times the path of its centre).
TEST_F(PipeSolidsTest, ElbowsOfEverySizeGetTheirSolid) {
  const double kPi = 3.14159265;
  for (double d : {15.0, 20.0, 25.0, 32.0, 40.0, 50.0, 65.0, 80.0, 100.0, 125.0, 150.0, 200.0})
    for (double armsDeg : {90.0, 135.0}) {
      SCOPED_TRACE(testing::Message() << "DN" << d << " arms at " << armsDeg);
      const double theta = armsDeg * M_PI / 180, r = d / 2;
      cad::ObjectId f = fitting({1000, 2000, 300}, {ed::format(L"1,0,0,%g", d),
                                                    ed::format(L"%.12f,%.12f,0,%g", std::cos(theta), std::sin(theta), d)});
      TwinList twins;
      ASSERT_EQ(MakePipeFittingSolid(L"管道弯头", f, {}, twins), L"");
      double volume = 0;
      cad::Extents3d e = bodyExtents(twins, &volume);
      const double expected = M_PI * r * r * (d + r * (kPi - theta));
      EXPECT_NEAR(volume, expected, expected * 1e-4);
      // The first arm reaches as far as the pipe on it is trimmed.
      EXPECT_NEAR(e.maxPoint.x - 1000, 0.5 * d / std::tan(theta / 2) + d / 2, 0.01);
      EXPECT_NEAR(e.minPoint.z, 300 - r, 0.01);
      EXPECT_NEAR(e.maxPoint.z, 300 + r, 0.01);
    }
}

TEST_F(PipeSolidsTest, MalformedArmsGiveNoSolidAndSayWhy) {
  for (StringArray arms : {StringArray{}, StringArray{L"1,0,0"},
                           StringArray{L"1,0,0,50", L"1,0,0,50", L"1,0,0,5", L"0,1,0,5", L"0,0,1,5"}}) {
    cad::ObjectId f = blockRef({0, 0, 0}, L"管道三通");
    primary(f, L"F");
    if (!arms.empty()) {
      ASSERT_TRUE(SetXdataLines(f, L"图形参数", arms, nullptr));
    }
    TwinList twins;
    EXPECT_NE(MakePipeFittingSolid(L"管道三通", f, {}, twins), L"");
    EXPECT_TRUE(twins.empty());
  }
  // A fitting among pipes without a size (arms of diameter 0) says so.
  for (StringArray arms : {StringArray{L"1,0,0,0"}, StringArray{L"1,0,0,50", L"0,1,0,0"}}) {
    cad::ObjectId f = fitting({0, 0, 0}, arms);
    TwinList twins;
    EXPECT_EQ(MakePipeFittingSolid(L"管道弯头", f, {}, twins), L"所接管道没有管径");
    EXPECT_TRUE(twins.empty());
  }
}

// A run from (0,0) to (3000,0) at 2800 ends at a fitting: its solid is
// pulled back by the fitting's extent.
TEST_F(PipeSolidsTest, RunsAreTrimmedAtTheirFittings) {
  struct Case {
    const char* name;
    StringArray arms;
    Point3d at;
    double xmax;
  } cases[] = {
      {"elbow", {L"-1,0,0,50", L"0,1,0,50"}, {3000, 0, 2800}, 2950},
      {"tee", {L"-1,0,0,50", L"1,0,0,50", L"0,1,0,32"}, {3000, 0, 2800}, 2950},
      {"plug", {L"-1,0,0,50"}, {3000, 0, 2800}, 2993.75},
      {"cross", {L"-1,0,0,50", L"1,0,0,50", L"0,1,0,32", L"0,-1,0,32"}, {3000, 0, 2800}, 2959},
      {"10 away", {L"-1,0,0,50", L"0,1,0,50"}, {3010, 0, 2800}, 3000},
      {"9.9 away", {L"-1,0,0,50", L"0,1,0,50"}, {3009.9, 0, 2800}, 2950},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cad::ObjectId pipe = run({0, 0, 0}, {3000, 0, 0}, 2800, 2800);
    link(pipe, {fitting(c.at, c.arms)});
    TwinList twins;
    EXPECT_EQ(MakePipeSolid(L"给水管", pipe, rowsOfWidth50(), twins), L"");
    cad::Extents3d e = bodyExtents(twins);
    EXPECT_NEAR(e.minPoint.x, 0, 1e-6);
    EXPECT_NEAR(e.maxPoint.x, c.xmax, 1e-6);
    EXPECT_NEAR(e.minPoint.z, 2775, 1e-6);
    EXPECT_NEAR(e.maxPoint.y, 25, 1e-6);
  }
}

TEST_F(PipeSolidsTest, ShortRunsMissingDataAndRisers) {
  TwinList twins;
  // 0.8 long: no solid, nothing said; 1.0 long: a solid.
  EXPECT_EQ(MakePipeSolid(L"给水管", run({0, 0, 0}, {0.8, 0, 0}, 0, 0), rowsOfWidth50(), twins), L"");
  EXPECT_TRUE(twins.empty());
  EXPECT_EQ(MakePipeSolid(L"给水管", run({0, 0, 0}, {1.0, 0, 0}, 0, 0), rowsOfWidth50(), twins), L"");
  EXPECT_EQ(twins.size(), 1u);
  // A number without a figure is named.
  twins.clear();
  EXPECT_NE(MakePipeSolid(L"给水管", run({0, 0, 0}, {100, 0, 0}, 0, 0, L"J9"), rowsOfWidth50(), twins), L"");
  EXPECT_TRUE(twins.empty());
  // A riser of a scaled block stands on its plan position with the pipe's radius.
  cad::ObjectId riser = blockRef({500, 600, 777}, L"给水管", 0.3, 2.0);
  primary(riser, L"J1");
  std::wstring kind = L"立管";
  double z1 = 3000, z2 = 0;
  ASSERT_TRUE(SetGjSpecial(nullptr, &kind, riser, &z1, &z2));
  twins.clear();
  EXPECT_EQ(MakePipeSolid(L"给水管", riser, rowsOfWidth50(), twins), L"");
  cad::Extents3d e = bodyExtents(twins);
  EXPECT_NEAR(e.minPoint.z, 0, 1e-6);
  EXPECT_NEAR(e.maxPoint.z, 3000, 1e-6);
  EXPECT_NEAR(e.maxPoint.x, 525, 1e-6);
  EXPECT_NEAR(e.minPoint.y, 575, 1e-6);
  // The base elevation of the floor being built lifts it.
  g_floorBaseElev = 3600;
  twins.clear();
  MakePipeSolid(L"给水管", riser, rowsOfWidth50(), twins);
  EXPECT_NEAR(bodyExtents(twins).minPoint.z, 3600, 1e-6);
  g_floorBaseElev = 0;
}

TEST_F(PipeSolidsTest, ArcRunsAreSweptFlatOrClimbing) {
  for (double rise : {0.5, 500.0}) {
    SCOPED_TRACE(rise);
    // A quarter circle of radius 1000 about (0,1000).
    cad::ObjectId pipe = run({0, 0, 0}, {1000, 1000, 0}, 2800, 2800 + rise, L"J1", L"给水管", std::tan(M_PI / 8));
    TwinList twins;
    EXPECT_EQ(MakePipeSolid(L"给水管", pipe, rowsOfWidth50(), twins), L"");
    double volume = 0;
    cad::Extents3d e = bodyExtents(twins, &volume);
    EXPECT_NEAR(e.minPoint.z, 2775, 1);
    // The section stands across the slope: the top reaches a little past 25.
    EXPECT_NEAR(e.maxPoint.z, rise < 1 ? 2825 : 2800 + rise + 25, rise < 1 ? 2 : 10);
    // In plan it follows the arc exactly: out to the radius plus half the
    // section (a climbing square turns a little about the path on the way).
    EXPECT_NEAR(e.maxPoint.x, rise < 1 ? 1025 : 1030, rise < 1 ? 0.01 : 5.5);
    EXPECT_NEAR(e.minPoint.y, -25, rise < 1 ? 0.01 : 1);
    // The section (50 x 50) times the length of its path: the arc, lifted
    // along the chord when it climbs.
    double length = 0;
    geom::Point3d last(0, 0, 2800);
    for (int i = 1; i <= 20000; ++i) {
      double a = M_PI / 2 * i / 20000;
      geom::Point3d p(1000 * std::sin(a), 1000 - 1000 * std::cos(a), 0);
      p.z = rise < 1 ? 2800 : 2800 + rise * (p.x + p.y) / 2000;
      length += (p - last).length();
      last = p;
    }
    EXPECT_NEAR(volume, 2500 * length, 2500 * length * 1e-4);
  }
}

}  // namespace
