// A sandbox project for the take-off: the built template archive, a small
// component library with the rules of two pipe kinds, the floor table and
// helpers that draw stamped linear runs into a floor drawing.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/takeoff/takeoff_commands.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/editor.h"
#include "tests/module/shell/project_fixture.h"

namespace kivtest {

inline const std::string kPipeLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t定额\n"
    "轴网\t轴网\t\n"
    "管道\t给水管\t定额=长度=公称管径D_0(mm)=给水管安装||D11-011=m={给水管长}\\r\\n"
    "定额=保温=保温厚度(mm)=给水管保温||D11-011B=m3=[保温厚度(mm)]*{给水管长}/1000\n"
    "管道\t喷淋管\t定额=长度=公称管径D_0(mm)=喷淋管安装||D11-091=m={喷淋管长}\n"
    "管道附件\t阀门\t定额=个数=构件规格=阀门安装||D12-011=个={个数}\n";

// The 定额 text of a pipe record: length and insulation items.
inline const std::string kPipeNorm = "[001]\\r\\n类型=长度\\r\\n[002]\\r\\n类型=保温";

// The result (last "=" field) of each quantity line of a row.
inline StringArray QuantityResults(const std::wstring& lines) {
  StringArray out, split;
  SplitLines(lines, split);
  for (const std::wstring& l : split) out.push_back(l.substr(l.rfind(L'=') + 1));
  return out;
}

class TakeoffProject : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    fs::copy_file(fs::path(KIV_BINARY_DIR) / "suite" / "GZK.ZIP", root_ / "suite" / "GZK.ZIP");
    // The templates of the floor detail, summary and circuit tables: a run
    // without one cannot finish.
    for (const char8_t* t : {u8"定额楼层明细.DB", u8"构件做法汇总.DB", u8"电气回路明细表.DB", u8"电气回路明细表.MB",
                             u8"电气回路汇总表.DB", u8"电气回路汇总表.MB"})
      fs::copy_file(fs::path(KIV_BINARY_DIR) / "suite" / u8"系统文件" / t, suiteSystem() / t);
    makeTable(suiteSystem() / u8"构件库.DB", kPipeLibrary);
    std::ofstream(project() / "000.GC") << "[工程档案]\n工程量规则=定额\n";
  }

  void TearDown() override {
    ed::inputQueue().clear();
    ProjectSandbox::TearDown();
  }

  // Floors "name\t相同层\t层高" lines; makes the floor combo list follow.
  void makeFloors(const std::string& rows, const std::wstring& current) {
    makeTable(project() / "007.DB",
              "楼层:ftString:50\t相同层:ftString:20\t层高:ftString:20\t砼强度等级:ftString:20\t"
              "砌筑砂浆:ftString:20\n" + rows);
    if (auto setProject = os::findFunction<KivPelk_SetProject_W_fn>(g_hostWindowLib, "KivPelk_SetProject_W"))
      setProject(g_baseDir.c_str(), g_projectRoot.c_str(), g_projectName.c_str());
    showFloor(current);
  }

  // A floor's component table from "构件名称\t编号\t参数\t定额" lines.
  void makeFloorTable(const std::string& floor, const std::string& rows) {
    makeTable(project() / (floor + ".DB"),
              "构件名称:ftString:50\t编号:ftString:50\t参数\t定额\t标志:ftString:20\t数量:ftInteger\n" + rows);
  }

  static cad::Database* working() { return ed::docManager().curDocument()->database(); }

  // A stamped run of the kind on its layer: a polyline from a to b (bulge)
  // with the special type and elevations; returns its id.
  static cad::ObjectId run(cad::Database* db, const std::wstring& kind, const std::wstring& number,
                           const std::wstring& type, geom::Point3d a, geom::Point3d b, double bulge, double zs,
                           double ze) {
    GetOrCreateLayer(kind, db);
    auto pl = std::make_unique<cad::Polyline>();
    pl->addVertexAt(0, geom::Point2d(a.x, a.y), bulge);
    pl->addVertexAt(1, geom::Point2d(b.x, b.y));
    pl->setLayer(kind);
    cad::ObjectId id;
    EXPECT_EQ(db->appendToModelSpace(std::move(pl), &id), cad::Status::Ok);
    EXPECT_TRUE(SetGjSpecial(&number, &type, id, &zs, &ze));
    return id;
  }

  // A grid axis line with its label.
  static void axis(cad::Database* db, geom::Point3d a, geom::Point3d b, const std::wstring& label) {
    GetOrCreateLayer(L"轴网", db);
    auto line = std::make_unique<cad::Line>(a, b);
    line->setLayer(L"轴网");
    cad::ObjectId id;
    ASSERT_EQ(db->appendToModelSpace(std::move(line), &id), cad::Status::Ok);
    StringArray lines{L"轴号=" + label};
    ASSERT_TRUE(SetXdataLines(id, kXdataSpecial, lines, db));
  }

  fs::path quantityTable() const { return project() / u8"构件算量.DB"; }

  struct Row {
    std::wstring name, flag, number, count, lines;
  };
  std::vector<Row> rows() const {
    std::vector<Row> out;
    tablelib::Table t(os::windowsPath(quantityTable()));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t))
      out.push_back({tablelib::FieldAsString(t, L"构件名称"), tablelib::FieldAsString(t, L"标志"),
                     tablelib::FieldAsString(t, L"编号"), tablelib::FieldAsString(t, L"数量"),
                     tablelib::FieldAsString(t, L"工程量")});
    return out;
  }

  static std::wstring commandLine() { return ed::transcript(); }
};

}  // namespace kivtest
