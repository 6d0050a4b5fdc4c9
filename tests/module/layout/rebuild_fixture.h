// A sandbox floor for the coil and rebuild tests: a library and a first
// floor with coils, valves, conduits and pipes, the host combos, and readers
// of what a command left in the drawing.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "tests/module/shell/project_fixture.h"

namespace rebuildtest {

using geom::Point3d;

inline const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
    "水暖设备\t地暖盘管\t地暖盘管\t地暖盘管=32767\\r\\n地暖盘管名=255\n"
    "管道附件\t阀门\t阀门\t阀门=65280\n"
    "管线\t导管\t导管\t导管=255\n"
    "管道\t给水管\t给水管\t给水管=16711680\n";
inline const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n";
// DN2's base elevation and F2's section width are no numbers; G1's section
// is 20 wide.
inline const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "地暖盘管\tDN1\t水暖设备\t底标高=50\t\n"
    "地暖盘管\tDN2\t水暖设备\t底标高=abc\t\n"
    "阀门\tF1\t管道附件\t图形=阀门\t-60,-40|60,-40|60,40\n"
    "阀门\tF2\t管道附件\t图形=阀门\\r\\n宽=abc\t-宽/2,0|宽/2,0\n"
    "导管\tG1\t管线\t管径=20\t0,0|20,0\n"
    "导管\tG2\t管线\t管径=32\t0,0|32,0\n"
    "给水管\tJ1\t管道\t管径=25\t\n";

class RebuildSandbox : public kivtest::ProjectSandbox {
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
    show(L"地暖盘管", L"DN1");
    LoadCurFloorLevels();
  }
  void TearDown() override {
    g_checkGjOverlap = savedCheck_;
    g_floorHeight = savedFloorHeight_;
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
  // The value the user types into the open elevation window.
  void typeInWindow(double v) {
    os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette")(v, 0, 0, 1);
  }
  bool windowOpen() {
    double v[3] = {};
    return os::findFunction<KivPelk_GetPalette_fn>(g_hostWindowLib, "KivPelk_GetPalette")(v) != 0;
  }
  static void escape() { push(ed::TokenKind::Escape); }

  static cad::Database& db() { return *ed::curDatabase(); }
  static std::vector<cad::ObjectId> onLayer(const std::wstring& layer) {
    std::vector<cad::ObjectId> out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) out.push_back(id);
    }
    return out;
  }
  static int entityCount() { return int(db().modelSpaceEntities().size()); }
  static StringArray xdata(cad::ObjectId id, const std::wstring& app) {
    StringArray lines;
    GetXdataLines(id, app, lines);
    return lines;
  }
  static StringArray attrsOf(cad::ObjectId id) { return xdata(id, kXdataAttrs); }
  static std::vector<Point3d> vertices(cad::ObjectId id) {
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(id, pts, bulges);
    return pts;
  }
  static BulgeList bulgesOf(cad::ObjectId id) {
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(id, pts, bulges);
    return bulges;
  }
  static Point3d positionOf(cad::ObjectId id) {
    cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
    if (r) return r->position();
    cad::ObjectPtr<cad::Text> t(id, cad::OpenMode::ForRead);
    return t ? t->alignmentPoint() : Point3d();
  }
  static std::wstring textOf(cad::ObjectId id) {
    cad::ObjectPtr<cad::Text> t(id, cad::OpenMode::ForRead);
    return t ? t->textString() : L"";
  }
  static std::wstring blockOf(cad::ObjectId id) {
    cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
    return r ? r->blockName() : L"";
  }
  static bool alive(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return bool(e);
  }

  // A component's data as a rebuild must keep it: layer, number, every
  // application but the handle in the first attribute line.
  static std::wstring dataOf(cad::ObjectId id) {
    StringArray apps, values;
    ReadAllXdata(id, apps, values);
    std::map<std::wstring, std::wstring> sorted;
    for (size_t i = 0; i < apps.size(); ++i) {
      std::wstring v = values[i];
      if (apps[i] == kXdataAttrs) v = v.substr(std::min(v.size(), v.find(L"\r\n")));
      sorted[apps[i]] = v;
    }
    std::wstring layer;
    GetEntityLayer(id, layer);
    std::wstring out = layer;
    for (auto& [app, v] : sorted) out += L"|" + app + L":" + v;
    return out;
  }

  int savedCheck_ = 1;
  double savedFloorHeight_ = 0;
};

}  // namespace rebuildtest
