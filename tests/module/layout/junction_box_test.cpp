// Junction boxes: the chain walk's rules, the joining of runs into chains,
// and the dialog placing boxes on a copy of the demo project.
#include "module/layout/junction_box.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "module/layout/layout_commands.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/ui/ui.h"
#include "tests/module/layout/layout_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;


// A chain along the x axis through the given run lengths (metres).
JBoxChain straightChain(std::vector<double> metres, StringArray numbers) {
  JBoxChain c;
  double x = 0;
  c.points.push_back(Point3d(0, 0, 0));
  for (double m : metres) {
    x += m * 1000;
    c.points.push_back(Point3d(x, 0, 0));
  }
  c.numbers = std::move(numbers);
  return c;
}

std::vector<double> walk(const JBoxChain& c) {
  std::vector<double> at;
  WalkJBoxChain(c, JBoxLengths{}, [&](const Point3d& p) {
    at.push_back(p.x / 1000);
    return true;
  });
  return at;
}

TEST(JBoxWalk, RulesOfTheChain) {
  const struct {
    const char* what;
    std::vector<double> runs;
    StringArray numbers;
    std::vector<double> boxes;  // metres along the path
  } cases[] = {
      {"70 m straight", {70}, {L"A"}, {30, 60}},
      {"60 m straight", {60}, {L"A"}, {30, 60}},
      {"rule 1", {25, 10}, {L"A", L"A"}, {25}},
      {"rule 3", {12, 12}, {L"A", L"A"}, {20}},
      {"rule 2", {5, 5}, {L"A", L"B"}, {5}},
      {"rule 6", {6, 6, 6}, {L"A", L"A", L"A"}, {15}},
      {"rule 10", {1.5, 1.5, 1.5, 1.5}, {L"A", L"A", L"A", L"A"}, {6}},
  };
  for (const auto& c : cases) EXPECT_EQ(walk(straightChain(c.runs, c.numbers)), c.boxes) << c.what;
}

TEST(JBoxWalk, LengthsThatAreNotPositiveWalkNothing) {
  int calls = 0;
  JBoxLengths zero;
  zero.l0 = 0;
  WalkJBoxChain(straightChain({70}, {L"A"}), zero, [&](const Point3d&) { return ++calls, true; });
  EXPECT_EQ(calls, 0);
}

TEST(JBoxChains, RunsJoinEndToEndWithinTheTolerance) {
  const std::vector<JBoxRun> runs = {
      {Point3d(0, 0, 3000), Point3d(1000, 0, 3000), L"A"},
      {Point3d(2000, 0, 3000), Point3d(1000.5, 0, 3000), L"B"},  // drawn backwards, within 1
      {Point3d(0, 500, 3000), Point3d(0, 0, 3000), L"C"},        // before the start
      {Point3d(2000, 0, 2998), Point3d(3000, 0, 2998), L"D"},    // 2 lower: not joined
      {Point3d(5000, 0, 0), Point3d(5000, 0, 0), L"E"},          // no length: left out
  };
  const auto chains = BuildJBoxChains(runs);
  ASSERT_EQ(chains.size(), 2u);
  ASSERT_EQ(chains[0].points.size(), 4u);
  EXPECT_EQ(chains[0].points.front(), Point3d(0, 500, 3000));
  EXPECT_EQ(chains[0].points.back(), Point3d(2000, 0, 3000));
  EXPECT_EQ(chains[0].numbers, (StringArray{L"C", L"A", L"B"}));
  EXPECT_EQ(chains[1].numbers, (StringArray{L"D"}));
}

class JBoxDialog : public kivtest::DemoLayoutSandbox {
 protected:
  void SetUp() override {
    DemoLayoutSandbox::SetUp();
    if (IsSkipped()) return;
    addNumber("1层", "接线盒", "JB1");
    showFloor(L"1层");
  }
  static std::vector<Point3d> boxes() {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(L"接线盒", L"", ids, nullptr);
    std::vector<Point3d> out;
    for (cad::ObjectId id : ids) {
      Point3d p;
      if (IsPointGj(id, p)) out.push_back(p);
    }
    return out;
  }
};

TEST_F(JBoxDialog, BoxesAlongA70MetreRunOnceOnly) {
  cad::ObjectId run;
  CreateLinearGjEntity(run, L"导线·导管", L"WL1", Point3d(0, 0, 2800), Point3d(70000, 0, 2800), 0, 0);
  ASSERT_FALSE(run.isNull());
  directive(L".click", {L"1"});
  CmdJBox_Auto();
  EXPECT_EQ(boxes(), (std::vector<Point3d>{Point3d(30000, 0, 2800), Point3d(60000, 0, 2800)}));
  // A second run of the command adds no box where one stands.
  directive(L".click", {L"1"});
  CmdJBox_Auto();
  EXPECT_EQ(boxes().size(), 2u);
}

// A device as a primary point component at p with its 标高.
cad::ObjectId device(const std::wstring& layer, const Point3d& p, double elevation) {
  EnsureVertGjBlock(layer, L"D1", nullptr, 0);
  cad::ObjectId id = InsertBlockRef(L"D1", p, 0, cad::Scale3d{1, 1, 1}, geom::Vector3d(0, 0, 1), layer, nullptr);
  StampGjPrimary(id, L"D1");
  const std::wstring number = L"D1";
  const geom::Vector3d noTurn(0, 0, 0);
  SetPointGjSpecial(&number, id, &elevation, &noTurn);
  return id;
}

TEST_F(JBoxDialog, BoxesAtSocketsAtTheirHeightAndAtLampsOnARun) {
  cad::ObjectId run;
  CreateLinearGjEntity(run, L"导线·导管", L"WL1", Point3d(0, 0, 2800), Point3d(10000, 0, 2800), 0, 0);
  ASSERT_FALSE(device(L"插座", Point3d(500, 500, 0), 1300).isNull());
  ASSERT_FALSE(device(L"点状灯具", Point3d(10000, 0, 0), 0).isNull());
  ASSERT_FALSE(device(L"块状灯具", Point3d(4000, 3000, 0), 0).isNull());  // on no run: no box
  StampGjPrimary(AddLine(Point3d(0, 0, 0), Point3d(100, 0, 0), L"插座", nullptr), L"X");  // no block: passed over
  directive(L".click", {L"1"});
  CmdJBox_Auto();
  EXPECT_EQ(boxes(), (std::vector<Point3d>{Point3d(500, 500, 1300), Point3d(10000, 0, 2800)}));
}

TEST_F(JBoxDialog, LengthThatIsNotPositiveIsRefusedAndPlacesNothing) {
  cad::ObjectId run;
  CreateLinearGjEntity(run, L"导线·导管", L"WL1", Point3d(0, 0, 0), Point3d(70000, 0, 0), 0, 0);
  directive(L".set", {L"319", L"0"});
  directive(L".click", {L"1"});
  CmdJBox_Auto();
  EXPECT_TRUE(boxes().empty());
  EXPECT_NE(ed::transcript().find(L"管长必须大于0"), std::wstring::npos);
}

}  // namespace
