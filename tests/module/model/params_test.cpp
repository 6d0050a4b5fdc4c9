// Coordinate lines computed through the window library, coordinate parsing
// and parameter expressions through the base library.
#include "module/model/params.h"

#include "module/model/project_tables.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;

class Params : public ProjectSandbox {};

TEST_F(Params, CoordinatesOfEveryNumberWithAFormula) {
  struct Case {
    const char* what;
    StringArray formulas, params, coords;
  };
  const Case cases[] = {
      {"the base point becomes the origin; the value after : is kept as written",
       {L"A=10,20..基点\r\n15,26|30,20:0.5"},
       {L"A=W=1"},
       {L"A=5.00,6.00|20.00,0.00:0.5"}},
      {"without a base line the lines stay as computed; [ lines and empty lines go",
       {L"A=W/2,H/2|0,0:0.5\r\n[COORD 0]\r\n\r\n1,1"},
       {L"A=W=600\r\nH=400"},
       {L"A=300,200|0,0:0.5\r\n1,1"}},
      {"a z is dropped by the rebasing; [ lines are not rebased but dropped",
       {L"A=1,2..基点\r\n2,4,9|5,5\r\n3,3|[x]\r\n[y]"},
       {L"A=W=1"},
       {L"A=1.00,2.00|4.00,3.00"}},
      {"a formula is computed only up to ********",
       {L"A=W,W********\r\n9,9"},
       {L"A=W=600"},
       {L"A=600,600"}},
      {"numbers without a formula, and items without =, give nothing",
       {L"A=1,1", L"C="},
       {L"B=W=1", L"A=W=2", L"no number", L"C=W=3"},
       {L"A=1,1"}},
  };
  for (const auto& c : cases) {
    StringArray params = c.params;
    StringArray out{L"stale"};
    ComputeGjCoords(c.formulas, params, out, 0);
    EXPECT_EQ(out, c.coords) << c.what;
    EXPECT_EQ(params, c.params) << "height 0 leaves the parameters as they were";
  }
}

TEST_F(Params, AFloorHeightIsWrittenIntoTheParameters) {
  StringArray formulas{L"A=H,0"};
  StringArray params{L"A=H=层高\r\nD=层高/2"};
  StringArray out;
  ComputeGjCoords(formulas, params, out, 3000);
  EXPECT_EQ(params, (StringArray{L"A=H=3000.000000\r\nD=3000.000000/2"}));
  EXPECT_EQ(out, (StringArray{L"A=3000,0"}));

  std::wstring one;
  ComputeGjCoordsOf({L"A=W,H", L"B=1,1"}, L"A", {L"W=5", L"H=7"}, one, 0);
  EXPECT_EQ(one, L"5,7");
  ComputeGjCoordsOf({L"B=1,1"}, L"A", {L"W=5"}, one, 0);
  EXPECT_EQ(one, L"");
}

TEST(ParseCoordList, PointsAndTheirValues) {
  struct Case {
    std::wstring text;
    std::vector<geom::Point3d> points;
    std::vector<double> values;
  };
  const Case cases[] = {
      {L"1,2|3,4,5:0.3|", {{1, 2, 0}, {3, 4, 5}}, {0, 0.3}},
      {L"1,2..3,4", {{1, 2, 0}}, {0}},
      {L"0,0:-0.5..基点|7:x", {{0, 0, 0}, {7, 0, 0}}, {-0.5, 0}},
      {L"  \r\n", {}, {}},
      {L"a,b||2.5,-1e2  \r\n", {{0, 0, 0}, {2.5, -100, 0}}, {0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<geom::Point3d> points{{9, 9, 9}};
    std::vector<double> values{9};
    ParseCoordList(c.text, points, values);
    ASSERT_EQ(points.size(), c.points.size()) << testing::PrintToString(c.text);
    for (size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(points[i].x, c.points[i].x);
      EXPECT_EQ(points[i].y, c.points[i].y);
      EXPECT_EQ(points[i].z, c.points[i].z);
    }
    EXPECT_EQ(values, c.values) << testing::PrintToString(c.text);
  }
}

TEST_F(Params, ParameterExpressionsUseTheFloorHeight) {
  const double saved = g_floorHeight;
  g_floorHeight = 3000;
  const StringArray attrs{L"底标高=层高", L"顶标高=层高-100", L"宽=2.5", L"偏移=-300", L"高=(100+20)*2",
                          L"文字=abc", L"空="};
  struct Case {
    const wchar_t* name;
    double value;
  };
  const Case cases[] = {{L"底标高", 3000}, {L"顶标高", 2900}, {L"宽", 2.5}, {L"偏移", -300},
                        {L"高", 240},      {L"文字", 0},      {L"空", 0},   {L"没有", 0}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(EvalParamExpression(c.name, attrs), c.value) << c.name;
  g_floorHeight = saved;
}

TEST_F(Params, WithoutTheLibrariesNothingIsComputedAndNothingBreaks) {
  for (os::ModuleHandle* h : {&g_hostBaseLib, &g_hostWindowLib}) {
    os::freeLibrary(*h);
    *h = nullptr;
  }
  // A plain number needs no library; an expression reads 0.
  EXPECT_EQ(EvalParamExpression(L"宽", {L"宽=2.5"}), 2.5);
  EXPECT_EQ(EvalParamExpression(L"宽", {L"宽=1+1"}), 0);
  StringArray params{L"A=W=1"};
  StringArray out;
  ComputeGjCoords({L"A=W,W"}, params, out, 0);
  EXPECT_EQ(out, (StringArray{L"A="}));
}

}  // namespace
