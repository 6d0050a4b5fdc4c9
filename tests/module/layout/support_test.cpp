// Supports along runs: where they stand, how they are turned and raised, and
// the dialog's rows and placement on a copy of the demo project.
#include "module/layout/support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/module_resources.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/ui/ui.h"
#include "tests/module/layout/layout_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;

constexpr double kPi = 3.14159265358979323846;

TEST(SupportPlaces, EverySpacingAlongTheRunTheEndIncluded) {
  EXPECT_EQ(SupportDistances(6000, 1500), (std::vector<double>{1500, 3000, 4500, 6000}));
  EXPECT_EQ(SupportDistances(7600, 2500), (std::vector<double>{2500, 5000, 7500}));
  EXPECT_TRUE(SupportDistances(2000, 2500).empty());
  // Spacings that could never reach the end are refused.
  for (double s : {0.0, -1500.0, 0.5, std::nan("")}) EXPECT_TRUE(SupportDistances(6000, s).empty()) << s;
}

TEST(SupportPlaces, TurnedAlongTheRunUprightAndAtTheRunsElevation) {
  const struct {
    Point3d start, end;
    double rotation;
  } cases[] = {
      {{0, 0, 0}, {6000, 0, 0}, 0},
      {{6000, 0, 0}, {0, 0, 0}, kPi + 3.14159265},  // east to west: turned a further half round
      {{0, 0, 0}, {0, 6000, 0}, kPi / 2 + 3.14159265},
      {{0, 0, 0}, {0, -6000, 0}, 3 * kPi / 2},
  };
  for (const auto& c : cases) {
    const auto places = OrientSupports({Point3d(c.start.x + (c.end.x - c.start.x) / 2,
                                                c.start.y + (c.end.y - c.start.y) / 2, 0)},
                                       c.start, c.end, 0, 3000, 2700);
    ASSERT_EQ(places.size(), 1u);
    EXPECT_NEAR(places[0].rotation, c.rotation, 1e-9);
    EXPECT_NEAR(places[0].position.z, 2850, 1e-9);  // half way down the slope
  }
  EXPECT_TRUE(OrientSupports({Point3d(0, 0, 0)}, Point3d(5, 5, 0), Point3d(5, 5, 100), 0, 0, 0).empty());
  // A quarter arc (bulge tan(pi/8)) from (1000,0) to (0,1000) about the origin:
  // at its middle the tangent points north-west, 135 degrees, turned upright.
  const double b = std::tan(kPi / 8);
  const auto arc = OrientSupports({Point3d(1000 / std::sqrt(2.0), 1000 / std::sqrt(2.0), 0)}, Point3d(1000, 0, 0),
                                  Point3d(0, 1000, 0), b, 0, 0);
  ASSERT_EQ(arc.size(), 1u);
  EXPECT_NEAR(arc[0].rotation, 3 * kPi / 4 + 3.14159265, 1e-6);
}

class SupportDialog : public kivtest::DemoLayoutSandbox {
 protected:
  void SetUp() override {
    DemoLayoutSandbox::SetUp();
    if (IsSkipped()) return;
    addNumber("1层", "管道支架", "ZJ1");  // the demo has only the template row
    showFloor(L"1层");
    g_curLineGj = CurrentGj{};
  }
  void TearDown() override {
    g_curLineGj = CurrentGj{};
    DemoLayoutSandbox::TearDown();
  }
  cad::ObjectId run(const std::wstring& number, Point3d s, Point3d e) {
    cad::ObjectId id;
    CreateLinearGjEntity(id, L"给水管", number, s, e, 0, 0);
    return id;
  }
  // The supports of the drawing: position (z = its stored elevation) and
  // block rotation, in drawing order.
  static std::vector<SupportPlace> supports() {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(L"管道支架", L"ZJ1", ids, nullptr);
    std::vector<SupportPlace> out;
    for (cad::ObjectId id : ids) {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (!ref) continue;
      double z = 0;
      GetPointGjSpecial(id, nullptr, &z, nullptr);
      out.push_back({Point3d(ref->position().x, ref->position().y, z), ref->rotation()});
    }
    return out;
  }
};

TEST_F(SupportDialog, SupportsEvery1500AlongA6000Pipe) {
  run(L"J1", Point3d(0, 0, 3000), Point3d(6000, 0, 2700));
  run(L"J2", Point3d(0, 1000, 3000), Point3d(2000, 1000, 3000));
  UiResourceScope resources;
  CSupportWnd dlg;
  dlg.SetPipeCategory(L"管道");
  dlg.SetSupportCategory(L"管道支架");
  ASSERT_TRUE(dlg.LoadPipeTypes());
  ASSERT_TRUE(dlg.LoadSupportNumbers());
  ASSERT_TRUE(dlg.Create(support_ids::kTemplate));
  CGridCtrl& grid = dlg.grid();
  ASSERT_EQ(grid.GetRowCount(), 3);  // heading, J1, J2
  EXPECT_EQ(grid.GetItemText(1, 0), L"J1");
  EXPECT_EQ(grid.GetItemText(1, 1), L"2500");
  EXPECT_EQ(grid.GetItemText(1, 2), L"ZJ1");
  EXPECT_EQ(grid.GetItemText(1, 3), L"整个图形");
  EXPECT_EQ(dlg.rowRuns(1).size(), 1u);
  grid.SetItemText(1, 1, L"1500");
  grid.SetItemText(2, 1, L"0");  // refused: the row is skipped, nothing loops
  dlg.PlaceSupports();
  const auto placed = supports();
  ASSERT_EQ(placed.size(), 4u);
  for (size_t i = 0; i < placed.size(); ++i) {
    EXPECT_NEAR(placed[i].position.x, 1500.0 * double(i + 1), 1e-6);
    EXPECT_NEAR(placed[i].position.y, 0, 1e-6);
    EXPECT_NEAR(placed[i].position.z, 3000 - 75.0 * double(i + 1), 0.051);
    EXPECT_NEAR(placed[i].rotation, 0, 1e-9);
  }
  EXPECT_NE(ed::transcript().find(L"J2的间距无效"), std::wstring::npos);
  dlg.DestroyWindow();
}

TEST_F(SupportDialog, CancelPlacesNothingAndNoSupportNumberOpensNoDialog) {
  run(L"J1", Point3d(0, 0, 0), Point3d(6000, 0, 0));
  directive(L".click", {L"2"});
  CmdPipeSupport_Auto();
  EXPECT_TRUE(supports().empty());
  // HVAC water-pipe supports have no number on this floor.
  ui::clearMessageBoxLog();
  CmdPipeRack_Auto();
  ASSERT_FALSE(ui::messageBoxLog().empty());
  EXPECT_EQ(ui::messageBoxLog().back().text, L"没有定义构件!");
}

TEST_F(SupportDialog, OkPlacesAtTheDefaultSpacing) {
  run(L"J1", Point3d(0, 0, 0), Point3d(6000, 0, 0));
  directive(L".click", {L"1"});
  CmdPipeSupport_Auto();
  const auto placed = supports();
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_NEAR(placed[1].position.x, 5000, 1e-6);
}

}  // namespace
