// A sandbox for the point engines that lay components on runs and over
// areas: a library with point components and runs, a first floor with their
// numbers, runs made as the layout commands make them, and readers of what
// was placed.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "module/model/current_gj.h"
#include "module/model/layout_palettes.h"
#include "module/model/linear_entities.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/ui/dialog.h"
#include "tests/module/shell/project_fixture.h"

namespace pointtest {

using geom::Point3d;
using ed::TokenKind;

inline const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
    "电气\t灯具\t灯具\t\n"
    "电气\t开关\t开关\t\n"
    "给排水\t支架\t支架\t\n"
    "给排水\t阀门\t阀门\t\n"
    "给排水\t普通水嘴\t普通水嘴\t\n"
    "给排水\t给水管\t给水管\t\n"
    "暖通\t送风管\t送风管\t\n"
    "暖通\t风口\t风口\t\n";
inline const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n";
inline const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "灯具\tD1\t电气\t图形=方灯\\r\\n底标高=2800\t-100,-100|100,-100|100,100\n"
    "开关\tK1\t电气\t图形=开关\t0,0|10,0\n"
    "支架\tZJ1\t给排水\t图形=支架\t-50,0|50,0\n"
    "阀门\tF1\t给排水\t图形=阀门\t-60,-40|60,-40|60,40\n"
    "普通水嘴\tS1\t给排水\t图形=水嘴\t0,0|30,0\n"
    "给水管\tJL-1\t给排水\t管径=25\t\n"
    "送风管\tSF1\t暖通\t宽=400\\r\\n高=200\t\n"
    "风口\tFK1\t暖通\t图形=侧风口\\r\\n底标高=层高\t-200,0|200,0|200,150|-200,150|-200,0\n";

class PointEngines : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeTable(project() / "007.DB", kFloors);
    makeTable(project() / u8"1层.DB", kFloor1);
    g_curPointGj = CurrentGj{};
    g_curLineGj = CurrentGj{};
    savedCheck_ = g_checkGjOverlap;
    g_checkGjOverlap = 1;
    savedFloorHeight_ = g_floorHeight;
    savedFloorBaseElev_ = g_floorBaseElev;
    show(L"灯具", L"D1");
    LoadCurFloorLevels();
    ed::setAnswerRouter([](const ed::InputToken& t, std::wstring& error) { return ui::applyAnswer(t, error); });
    ui::clearMessageBoxLog();
  }
  void TearDown() override {
    ed::setAnswerRouter(nullptr);
    RunDlgLine(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr);
    RunDlgRect(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    RunDlgFan(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr);
    g_checkGjOverlap = savedCheck_;
    g_floorHeight = savedFloorHeight_;
    g_floorBaseElev = savedFloorBaseElev_;
    g_curPointGj = CurrentGj{};
    g_curLineGj = CurrentGj{};
    ed::inputQueue().clear();
    ProjectSandbox::TearDown();
  }
  void show(const std::wstring& name, const std::wstring& number) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"楼层", L"1层");
    set(L"构件", name.c_str());
    set(L"编号", number.c_str());
  }
  // The user types into an edit of the open palette when the input reaches it.
  static void typeInto(int control, const std::wstring& text) {
    ed::InputToken t;
    t.kind = TokenKind::Directive;
    t.text = L".set";
    t.args = {std::to_wstring(control), text};
    ed::inputQueue().push(t);
  }
  // The value the user types into the open suite window.
  void typeInWindow(double v1, double v2 = 0, int count = 1) {
    auto set = os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette");
    ASSERT_NE(set, nullptr);
    set(v1, v2, 0, count);
  }
  bool suiteWindowOpen() {
    double v[3] = {};
    return os::findFunction<KivPelk_GetPalette_fn>(g_hostWindowLib, "KivPelk_GetPalette")(v) != 0;
  }
  std::wstring pelkLog() {
    auto log = os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W");
    std::vector<wchar_t> buf(static_cast<std::size_t>(log(nullptr, 0)) + 1);
    log(buf.data(), static_cast<int>(buf.size()));
    return buf.data();
  }
  // A run as the layout commands make it: a primary polyline with its
  // elevations.
  cad::ObjectId run(const wchar_t* type, const wchar_t* number, Point3d start, Point3d end, double bulge = 0) {
    cad::ObjectId id;
    CreateLinearGjEntity(id, type, number, start, end, bulge, start.x == end.x && start.y == end.y ? 1 : 0);
    EXPECT_FALSE(id.isNull());
    return id;
  }
  // A placed component: position (plan), rotation, elevation, number.
  struct Placed {
    cad::ObjectId id;
    Point3d position;
    double rotation = 0, elevation = 0;
    geom::Vector3d direction;
    std::wstring number;
  };
  std::vector<Placed> placed(const std::wstring& layer) {
    std::vector<Placed> out;
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
      if (!r || r->layer() != layer) continue;
      Placed p;
      p.id = id;
      p.position = r->position();
      p.rotation = r->rotation();
      r.close();
      std::wstring kind;
      GetPointGjSpecial(id, &kind, &p.elevation, &p.direction);
      if (kind != kGjKindPoint) continue;
      StringArray attrs;
      GetGjNumberAndAttrs(id, p.number, attrs);
      out.push_back(p);
    }
    return out;
  }
  int entityCount() { return int(ed::curDatabase()->modelSpaceEntities().size()); }
  int openTransactions() { return ed::curDoc()->transactionManager()->numActiveTransactions(); }
  bool messageShown(const std::wstring& text) {
    for (const auto& m : ui::messageBoxLog())
      if (m.text == text) return true;
    return false;
  }

  int savedCheck_ = 1;
  double savedFloorHeight_ = 0;
  double savedFloorBaseElev_ = 0;
};

}  // namespace pointtest
