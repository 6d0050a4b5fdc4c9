// Through pipes on a copy of the demo project: the dialog's rows, the part of
// the pipe in each crossed floor's drawing and the record in each floor's
// table; a floor drawing that cannot be read is left as it was.
#include "module/layout/through_pipe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "module/layout/layout_commands.h"
#include "module/layout/list_edit.h"
#include "module/layout/rebuild_gj.h"
#include "module/layout/through_pipe_dialog.h"
#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/sysvars.h"
#include "platform/ui/ui.h"
#include "tests/module/layout/layout_fixture.h"

namespace {

namespace fs = std::filesystem;
using geom::Point3d;


struct Part {
  std::wstring floor;
  double zs, ze;
};

class ThroughPipes : public kivtest::DemoLayoutSandbox {
 protected:
  void SetUp() override {
    DemoLayoutSandbox::SetUp();
    if (IsSkipped()) return;
    g_throughRowsPipe.clear();
    g_throughRowsWater.clear();
    showFloor(L"地下1层");
    showCategory(L"管道");
    combo(L"构件", L"消防管");
    combo(L"编号", L"XH1");
  }
  // Three segments of 消防管 XH1 chained by the dialog, the first starting
  // in the basement at -4200 and the last ending at the top of 3层 (10500).
  void basementToThirdFloor() {
    for (int i = 0; i < 3; ++i) {
      directive(L".click", {L"2213", L"消防管/XH1"});
      directive(L".click", {L"2214"});
    }
    // Rows are named by their labels 1, 2, 3.
    directive(L".click", {L"2212", L"1", L"3"});  // one click opens the first start
    directive(L".set", {L"2212", L"-4200"});
    directive(L".click", {L"2212", L"3", L"4"});
    directive(L".click", {L"2212", L"3", L"4"});  // the second click opens the last end
    directive(L".set", {L"2212", L"10500"});
    directive(L".click", {L"1"});
  }

  // The through pipes of a drawing: floor-relative spans, in order.
  static std::vector<std::pair<double, double>> pipesIn(cad::Database* db) {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(L"消防管", L"XH1", ids, db);
    std::vector<std::pair<double, double>> spans;
    for (cad::ObjectId id : ids) {
      std::wstring kind;
      double a = 0, b = 0;
      GetGjSpecial(id, &kind, &a, &b);
      if (kind == L"贯通管") spans.emplace_back(a, b);
    }
    return spans;
  }
  std::vector<std::pair<double, double>> pipesInFile(const std::string& floor) {
    cad::Database side(false);
    EXPECT_EQ(side.readDwgFile(project() / (floor + ".DWG")), cad::Status::Ok) << floor;
    return pipesIn(&side);
  }
  // How many records of 消防管 XH1 the floor's table holds.
  int records(const std::string& floor) {
    const std::string rows = column(project() / (floor + ".DB"), "编号");
    int n = 0;
    for (size_t p = rows.find("XH1\n"); p != std::string::npos; p = rows.find("XH1\n", p + 1)) ++n;
    return n;
  }
};

using Spans = std::vector<std::pair<double, double>>;

TEST_F(ThroughPipes, BasementToThirdFloorLandsInEachCrossedFloor) {
  ASSERT_EQ(records("2层"), 0);
  ed::setVar(L"CMDECHO", 0);
  basementToThirdFloor();
  point(Point3d(1000, 2000, 0));
  push(ed::TokenKind::Enter);
  CmdThroughPipe();

  EXPECT_EQ(g_throughRowsPipe, (StringArray{L"消防管,XH1,-4200,3000", L"消防管,XH1,3000,6000",
                                            L"消防管,XH1,6000,10500"}));
  EXPECT_EQ(pipesIn(ed::curDatabase()), (Spans{{0, 4200}}));
  EXPECT_EQ(pipesInFile("1层"), (Spans{{0, 3000}, {3000, 3900}}));
  EXPECT_EQ(pipesInFile("2层"), (Spans{{0, 2100}, {2100, 3300}}));
  EXPECT_EQ(pipesInFile("3层"), (Spans{{0, 3300}}));
  for (const char* floor : {"1层", "2层", "3层"}) {
    EXPECT_TRUE(fs::exists(project() / (std::string(floor) + ".BAK"))) << floor;
    EXPECT_EQ(records(floor), 1) << floor;
  }
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 0);  // as it was before the command
}

TEST_F(ThroughPipes, PipeIsAStampedRedBlockWithLabelAndOutline) {
  basementToThirdFloor();
  point(Point3d(500, 500, 0));
  push(ed::TokenKind::Enter);
  CmdThroughPipe();
  cad::ObjectIdArray all;
  CollectIdsByLayerAndNumber(L"", L"XH1", all, nullptr);
  int pipes = 0, labels = 0;
  for (cad::ObjectId id : all) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(ent);
    if (ent->layer() == L"消防管") {
      ++pipes;
      EXPECT_EQ(attrs.size(), 2u);
      EXPECT_EQ(attrs.at(1), L"主键");
      EXPECT_EQ(ent->color().rgb().r, 255);
    } else if (ent->layer() == L"消防管名") {
      ++labels;
      EXPECT_EQ(attrs.size(), 1u);
      EXPECT_EQ(ent->color().rgb().r, 255);
    }
  }
  EXPECT_EQ(pipes, 1);
  EXPECT_EQ(labels, 1);
}

TEST_F(ThroughPipes, ARebuildKeepsAThroughPipeRedAndOfItsKind) {
  basementToThirdFloor();
  point(Point3d(500, 500, 0));
  push(ed::TokenKind::Enter);
  CmdThroughPipe();
  ASSERT_EQ(pipesIn(ed::curDatabase()), (Spans{{0, 4200}}));
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "all types" : "the type");
    if (pass == 0)
      RebuildAllGjTypes();
    else
      ASSERT_TRUE(RebuildGjByType(L"消防管", L"", {}));
    EXPECT_EQ(pipesIn(ed::curDatabase()), (Spans{{0, 4200}})) << "still one through pipe, not a riser";
    cad::ObjectIdArray all;
    CollectIdsByLayerAndNumber(L"消防管,消防管名", L"XH1", all, nullptr);
    int pipes = 0, labels = 0;
    for (cad::ObjectId id : all) {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      ASSERT_TRUE(ent);
      (ent->layer() == L"消防管" ? pipes : labels) += 1;
      EXPECT_TRUE(ent->color().isByRgb()) << ent->layer();
      EXPECT_EQ(ent->color().rgb().r, 255) << ent->layer();
      EXPECT_EQ(ent->color().rgb().g, 0) << ent->layer();
    }
    EXPECT_EQ(pipes, 1);
    EXPECT_EQ(labels, 1);
  }
}

TEST_F(ThroughPipes, UnreadableFloorDrawingIsSkippedAndNeverSavedOver) {
  const fs::path broken = project() / u8"2层.DWG";
  { std::ofstream(broken, std::ios::binary | std::ios::trunc) << "0\nSECTION\n2\nENTITIES\nnot a drawing"; }
  const auto before = fs::file_size(broken);
  fs::remove(project() / u8"3层.DWG");  // missing: skipped too
  basementToThirdFloor();
  point(Point3d(1000, 2000, 0));
  push(ed::TokenKind::Enter);
  CmdThroughPipe();
  EXPECT_EQ(fs::file_size(broken), before);
  EXPECT_FALSE(fs::exists(project() / u8"2层.BAK"));
  EXPECT_FALSE(fs::exists(project() / u8"3层.DWG"));
  EXPECT_EQ(pipesInFile("1层"), (Spans{{0, 3000}, {3000, 3900}}));  // later floors still done
  const std::wstring line = ed::transcript();
  EXPECT_NE(line.find(L"楼层图形无法读取，跳过"), std::wstring::npos);
  EXPECT_NE(line.find(L"找不到楼层图形，跳过"), std::wstring::npos);
}

TEST_F(ThroughPipes, EscapeAtTheBasePointOrCancelLeavesEverythingAsItWas) {
  const auto before = fs::last_write_time(project() / u8"1层.DWG");
  basementToThirdFloor();
  push(ed::TokenKind::Escape);
  CmdThroughPipe();
  directive(L".click", {L"2"});
  CmdThroughPipe();
  EXPECT_TRUE(pipesIn(ed::curDatabase()).empty());
  EXPECT_EQ(fs::last_write_time(project() / u8"1层.DWG"), before);
  EXPECT_EQ(records("2层"), 0);
}

TEST_F(ThroughPipes, DeletingARowKeepsTheChainClosedAndRowsAreRemembered) {
  for (int i = 0; i < 3; ++i) {
    directive(L".click", {L"2213", L"消防管/XH1"});
    directive(L".click", {L"2214"});
  }
  directive(L".click", {L"2212", L"2"});
  directive(L".click", {L"2215"});  // the middle row goes
  directive(L".click", {L"2212", L"1"});
  directive(L".click", {L"2215"});  // then the first: its start stays
  directive(L".click", {L"1"});
  push(ed::TokenKind::Escape);
  CmdThroughPipe();
  EXPECT_EQ(g_throughRowsPipe, (StringArray{L"消防管,XH1,0,9000"}));
  // Offered again: one more add chains onto the remembered row.
  directive(L".click", {L"2213", L"消防管/XH1"});
  directive(L".click", {L"2214"});
  directive(L".click", {L"1"});
  push(ed::TokenKind::Escape);
  CmdThroughPipe();
  EXPECT_EQ(g_throughRowsPipe, (StringArray{L"消防管,XH1,0,9000", L"消防管,XH1,9000,12000"}));
}

TEST(ThroughPipeFloors, SegmentsAreCutToEachFloorsBand) {
  const struct {
    double start, end, base, height;
    bool on;
    double zs, ze;
  } cases[] = {
      {0, 3000, 0, 3000, true, 0, 3000},      {0, 3000, 3000, 3000, false, 0, 0},
      {3000, 9000, 3000, 3000, true, 0, 3000}, {3000, 9000, 6000, 3000, true, 0, 3000},
      {-500, 1000, 0, 3000, true, 0, 1000},   {-4200, 3000, -4200, 4200, true, 0, 4200},
  };
  for (const auto& c : cases) {
    FloorBand band{L"F", c.base, c.height};
    EXPECT_EQ(SegmentOnFloor(c.start, c.end, band), c.on) << c.start << " " << c.end << " " << c.base;
    if (!c.on) continue;
    double zs = -1, ze = -1;
    FloorRelativeSpan(c.start, c.end, band, zs, ze);
    EXPECT_EQ(zs, c.zs);
    EXPECT_EQ(ze, c.ze);
  }
  FloorBand band;
  ASSERT_TRUE(ParseFloorLevelRow(L"1层||0||-3900", band));
  EXPECT_EQ(band.height, 3900);  // a negative height counts by its size
}

}  // namespace

namespace {

// The built host on a copy of the demo installation and project: a script
// lays a through pipe from the basement to the 3rd floor.
TEST(ThroughPipeHost, ScriptLaysAPipeFromTheBasementToTheThirdFloor) {
  const fs::path build = KIV_BINARY_DIR;
  if (!fs::exists(build / "bin" / "cadhost") || !fs::exists(build / "bin" / "KivZeb.arx") ||
      !fs::exists(build / "demo" / u8"示例工程"))
    GTEST_SKIP() << "cadhost, the plug-in or the demo data not built";
  const fs::path root = fs::temp_directory_path() / ("kiv_through_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "projects");
  fs::copy(build / "suite", root / "suite", fs::copy_options::recursive);
  fs::copy(build / "demo" / u8"示例工程", root / "projects" / u8"示例工程", fs::copy_options::recursive);
  std::ofstream(root / "run.scr") << ".combo 楼层 地下1层\nKivSwitchFloor\n.combo 构件 消防管\n.combo 编号 XH1\n"
                                     "ThroughPipe\n"
                                     ".click 2213 消防管/XH1\n.click 2214\n.click 2213 消防管/XH1\n.click 2214\n"
                                     ".click 2213 消防管/XH1\n.click 2214\n"
                                     ".click 2212 1 3\n.set 2212 -4200\n"
                                     ".click 2212 3 4\n.click 2212 3 4\n.set 2212 10500\n.click 1\n"
                                     "1000,2000\n\n.save\n";
  const std::string cmd = "'" + (build / "bin" / "cadhost").string() + "' --suite '" + (root / "suite").string() +
                          "' --projects '" + (root / "projects").string() + "' --project 示例工程 --script '" +
                          (root / "run.scr").string() + "' 2>&1";
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << out;
  }
  const fs::path project = root / "projects" / u8"示例工程";
  const std::vector<std::pair<std::string, Spans>> expected = {
      {"地下1层", {{0, 4200}}}, {"1层", {{0, 3000}, {3000, 3900}}}, {"2层", {{0, 2100}, {2100, 3300}}},
      {"3层", {{0, 3300}}}};
  for (const auto& [floor, spans] : expected) {
    cad::Database side(false);
    ASSERT_EQ(side.readDwgFile(project / (floor + ".DWG")), cad::Status::Ok) << floor;
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(L"消防管", L"XH1", ids, &side);
    Spans found;
    for (cad::ObjectId id : ids) {
      std::wstring kind;
      double a = 0, b = 0;
      GetGjSpecial(id, &kind, &a, &b);
      if (kind == L"贯通管") found.emplace_back(a, b);
    }
    EXPECT_EQ(found, spans) << floor << "\n" << out;
    const std::string sql = "sqlite3 '" + (project / (floor + ".DB")).string() +
                            "' \"SELECT count(*) FROM records WHERE 构件名称='消防管' AND 编号='XH1'\"";
    std::string count;
    if (FILE* p = ::popen(sql.c_str(), "r")) {
      char buf[64];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) count.append(buf, n);
      ::pclose(p);
    }
    EXPECT_EQ(count, "1\n") << floor;
  }
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
