// A distribution box of the demo installation placed end to end: its figure's
// coordinate lines are formulas of the box's own sizes, and the block the
// point engine makes must carry those sizes.
#include <gtest/gtest.h>

#include <cmath>

#include "module/model/current_gj.h"
#include "module/model/point_layout.h"
#include "module/model/project_tables.h"
#include "module/toolkit/window_lib.h"
#include "module/model/linear_entities.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;

const fs::path kDemoSystem = KIV_BINARY_DIR "/suite/系统文件";
const fs::path kDemoProject = KIV_BINARY_DIR "/demo/示例工程";

// The sandbox gets copies of the demo's tables and project; the built
// installation and the pristine project are only read.
class DemoBox : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    if (!fs::exists(kDemoSystem / u8"构件库.DB") || !fs::exists(kDemoProject / u8"1层.DB"))
      GTEST_SKIP() << "demo installation or project not built";
    for (const auto& e : fs::directory_iterator(kDemoSystem))
      if (e.path().extension() == ".DB") fs::copy_file(e.path(), suiteSystem() / e.path().filename());
    fs::copy(kDemoProject, project(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    g_curPointGj = CurrentGj{};
    savedCheck_ = g_checkGjOverlap;
    g_checkGjOverlap = 0;
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"楼层", L"1层");
    set(L"分类", L"设备、箱柜");
    set(L"构件", L"配电箱");
    set(L"编号", L"AL1");
    LoadCurFloorLevels();
  }
  void TearDown() override {
    g_checkGjOverlap = savedCheck_;
    g_curPointGj = CurrentGj{};
    ProjectSandbox::TearDown();
  }
  // Extents of the drawn figure (polylines and hatches) of a block.
  static cad::Extents3d figureExtents(cad::ObjectId blockId) {
    cad::Extents3d ext;
    cad::ObjectPtr<cad::BlockRecord> block(blockId, cad::OpenMode::ForRead);
    EXPECT_TRUE(block);
    if (!block) return ext;
    for (cad::ObjectId id : block->entityIds()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (!e || (!dynamic_cast<const cad::Polyline*>(e.get()) && !dynamic_cast<const cad::Hatch*>(e.get()))) continue;
      cad::Extents3d one;
      if (e->getGeomExtents(one) == cad::Status::Ok) ext.add(one);
    }
    return ext;
  }
  int savedCheck_ = 0;
};

TEST_F(DemoBox, TheFigureOfAPlacedBoxHasTheBoxsSize) {
  // The definition as the demo stores it: the name's own row (the library's
  // 500 x 180) and the project's AL1, which is 600 wide.
  ASSERT_TRUE(LoadCurPointGj());
  const std::wstring defaults = GetAttrValue(g_curPointGj.coords, L"");
  EXPECT_NE(defaults.find(L"-250,-90|250,-90|250,90|-250,90"), std::wstring::npos) << defaults;

  ed::InputToken at;
  at.kind = ed::TokenKind::Point;
  at.p1 = Point3d(10000, 5000, 0);
  ed::inputQueue().push(at);
  ed::InputToken enter;
  enter.kind = ed::TokenKind::Enter;
  ed::inputQueue().push(enter);
  LayPointGj();

  std::vector<cad::ObjectId> boxes;
  for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
    cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
    if (r && r->layer() == L"配电箱") boxes.push_back(r->blockTableRecord());
  }
  ASSERT_EQ(boxes.size(), 1u);
  const cad::Extents3d ext = figureExtents(boxes[0]);
  EXPECT_NEAR(ext.maxPoint.x - ext.minPoint.x, 600, 1e-6);
  EXPECT_NEAR(ext.maxPoint.y - ext.minPoint.y, 180, 1e-6);
  EXPECT_NEAR(ext.minPoint.x, -300, 1e-6) << "centred on the base point";
  EXPECT_NEAR(ext.minPoint.y, -90, 1e-6);
}

}  // namespace
