// The project open's seeding of floor tables and rule tables, the pictures'
// relink, the floor switch and the archive's copy, on a sandbox project with
// the real suite libraries.
#include "module/shell/command_table.h"
#include "module/conversion/conv_base.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/shell/project_open.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/solid_mode.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;
namespace fs = std::filesystem;

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\n"
    "轴网\t轴网\t轴网\n"
    "砼墙\t砼墙\t砼墙\n"
    "***给排水***\t\t\n"
    "管道\t给水管\t给水管\n"
    "管道附件\t阀门\t阀门\n";

const char* const kFloorTableOneRow =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\n"
    "轴网\t\t轴网\t\n";

class ProjectCommands : public ProjectSandbox {
 protected:
  fs::path floorDb(const char* floor) { return project() / (std::string(floor) + ".DB"); }
};

TEST_F(ProjectCommands, SeedingCopiesTheInstallationSectionOnce) {
  makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
  makeTable(floorDb("F1"), kFloorTableOneRow);

  EXPECT_TRUE(SeedFloorGjTable(L"F1"));
  // The marker row and every row after it, in order, each once; only the
  // library's first two fields (构件分类, 构件名称) are copied.
  EXPECT_EQ(column(floorDb("F1"), "构件分类"), "轴网\n***给排水***\n管道\n管道附件\n");
  EXPECT_EQ(column(floorDb("F1"), "构件名称"), "轴网\n\n给水管\n阀门\n");

  // The marker row now stops every later seeding.
  EXPECT_FALSE(SeedFloorGjTable(L"F1"));
  EXPECT_EQ(column(floorDb("F1"), "构件名称"), "轴网\n\n给水管\n阀门\n");
}

TEST_F(ProjectCommands, SeedingLeavesTablesItMustNotTouch) {
  struct Case {
    const char* what;
    const char* library;
    const char* floorTable;
    bool seeded;
    const char* names;  // 构件名称 of the floor table afterwards
  };
  const Case cases[] = {
      {"empty floor table", kLibrary, "构件名称:ftString:50\t构件分类:ftString:50\n", false, ""},
      {"library without marker",
       "构件分类:ftString:50\t构件名称:ftString:50\n管道\t给水管\n", kFloorTableOneRow, false, "轴网\n"},
      // The library's third field is never copied; a field the floor table
      // lacks is skipped: here only 构件分类 arrives.
      {"three library fields",
       "构件分类:ftString:50\t库备注\t构件名称:ftString:50\n***给排水***\t甲\t\n管道\t乙\t给水管\n",
       kFloorTableOneRow, true, "轴网\n\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    makeTable(suiteSystem() / u8"构件库.DB", c.library);
    makeTable(floorDb("F2"), c.floorTable);
    EXPECT_EQ(SeedFloorGjTable(L"F2"), c.seeded);
    EXPECT_EQ(column(floorDb("F2"), "构件名称"), c.names);
  }
  // A floor without a table file at all.
  EXPECT_FALSE(SeedFloorGjTable(L"没有的楼层"));
  EXPECT_FALSE(fs::exists(floorDb("没有的楼层")));
}

TEST_F(ProjectCommands, RuleTableIsCopiedOnlyWhenTheProjectHasNone) {
  makeTable(suiteSystem() / u8"计算规则.DB", "属性\t定额值\n导线预留\t1.5\n");
  {
    std::ofstream(suiteSystem() / u8"计算规则.MB") << "";
  }
  EXPECT_EQ(SeedProjectRuleTables(), 2);
  const fs::path own = project() / u8"计算规则.DB";
  ASSERT_TRUE(fs::exists(own));
  // The user changes the project's rules; a second open keeps them.
  makeTable(own, "属性\t定额值\n导线预留\t2.5\n");
  EXPECT_EQ(SeedProjectRuleTables(), 0);
  EXPECT_EQ(column(own, "定额值"), "2.5\n");
}

TEST_F(ProjectCommands, PicturesPointAtTheProjectFolder) {
  cad::Database* db = ed::docManager().curDocument()->database();
  std::ofstream(project() / "plan.jpg") << "jpg";
  auto attach = [&](const std::wstring& source) {
    auto def = std::make_unique<cad::RasterImageDef>();
    def->setSourceFileName(source);
    cad::ObjectId defId;
    EXPECT_EQ(db->addObject(std::move(def), db->namedObjectsDictionaryId(), &defId), cad::Status::Ok);
    GetOrCreateLayer(L"轴网", db);
    auto img = std::make_unique<cad::RasterImage>();
    img->setImageDefId(defId);
    img->setLayer(L"轴网");
    EXPECT_EQ(db->appendToModelSpace(std::move(img)), cad::Status::Ok);
    return defId;
  };
  const cad::ObjectId present = attach(L"D:\\old\\place\\plan.jpg");
  const cad::ObjectId missing = attach(L"D:\\old\\place\\gone.jpg");
  SetLayerLocked(L"轴网", true, db);

  size_t mark = ed::transcriptMark();
  RelinkProjectImages();
  std::wstring printed = ed::transcriptSince(mark);

  cad::ObjectPtr<cad::RasterImageDef> p(present, cad::OpenMode::ForRead), m(missing, cad::OpenMode::ForRead);
  ASSERT_TRUE(p && m);
  EXPECT_EQ(p->sourceFileName(), ProjectFolderPath() + L"\\plan.jpg");
  EXPECT_EQ(m->sourceFileName(), L"D:\\old\\place\\gone.jpg");
  EXPECT_NE(printed.find(L"图片不在当前工程目录下,请检查!"), std::wstring::npos) << printed;
  EXPECT_NE(printed.find(L"修改完成!"), std::wstring::npos) << printed;
  bool locked = false;
  ASSERT_TRUE(GetLayerFlags(L"轴网", nullptr, nullptr, &locked, db));
  EXPECT_TRUE(locked);
}

TEST_F(ProjectCommands, NoPicturesPrintsNothing) {
  size_t mark = ed::transcriptMark();
  RelinkProjectImages();
  EXPECT_EQ(ed::transcriptSince(mark), L"");
}

TEST_F(ProjectCommands, FloorSwitchClosesTheFloorsDialogsSeedsAndThaws) {
  makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
  makeTable(project() / "007.DB", "楼层:ftString:50\t层高\t标高\nF1\t3000\t0\nF2\t3000\t3000\n");
  makeTable(floorDb("F2"), kFloorTableOneRow);
  showFloor(L"F2");
  BuildGjCategoryTable();

  cad::Database* db = ed::docManager().curDocument()->database();
  for (const wchar_t* l : {L"给水管", L"给水管边线", L"热给水管", L"热给水管边线"}) {
    GetOrCreateLayer(l, db);
  }
  SetCurrentLayer(L"0", db);
  for (const wchar_t* l : {L"给水管", L"给水管边线", L"热给水管边线"}) SetLayerFrozen(l, true, db);
  SetLayerOff(L"热给水管", true, db);  // a type whose layer is off stays as it is

  ConvAreaObject()->saved = 1;  // an area saved earlier: the dialogs open at once
  ShowDeviceConv();
  ShowPipeConv();
  ShowPipeLineConv();
  ShowAirDuctConv();
  ShowWaterPipeConv();
  ASSERT_NE(g_pipeLineSelDlg, nullptr);  // the circuit conversion opens at its first step
  ASSERT_NE(g_pipeConvDlg, nullptr);
  ASSERT_NE(g_airDuctConvDlg, nullptr);
  ASSERT_NE(g_waterPipeConvDlg, nullptr);
  g_solidMode = SolidMode::Floor3d;

  CmdKivSwitchFloor();

  const auto& sent = ed::docManager().sentStrings();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), L"SwitchFloor\n");
  EXPECT_EQ(g_solidMode, SolidMode::BackToPlan);
  EXPECT_EQ(g_convArea, nullptr);
  EXPECT_EQ(g_pipeConvDlg, nullptr);
  EXPECT_EQ(g_pipeLineConvDlg, nullptr);
  EXPECT_EQ(g_airDuctConvDlg, nullptr);
  EXPECT_EQ(g_waterPipeConvDlg, nullptr);
  EXPECT_NE(g_deviceConvDlg, nullptr);   // left open
  EXPECT_NE(g_pipeLineSelDlg, nullptr);  // left open
  // The conversion area comes back when a dialog that stayed open needs it.
  EXPECT_NE(ConvAreaObject(), nullptr);

  EXPECT_EQ(column(floorDb("F2"), "构件名称"), "轴网\n\n给水管\n阀门\n");
  bool frozen = true;
  GetLayerFlags(L"给水管", nullptr, &frozen, nullptr, db);
  EXPECT_FALSE(frozen);
  GetLayerFlags(L"给水管边线", nullptr, &frozen, nullptr, db);
  EXPECT_FALSE(frozen);
  GetLayerFlags(L"热给水管边线", nullptr, &frozen, nullptr, db);
  EXPECT_TRUE(frozen);

  DestroyConvArea();
  DestroyAllConvDialogs();
}

TEST(ArchiveStamp, BlankPaddedFields) {
  struct Case {
    int h, m, s;
    const wchar_t* stamp;
  };
  const Case cases[] = {{9, 5, 7, L" 9_ 5_ 7"}, {23, 59, 0, L"23_59_ 0"}, {0, 10, 30, L" 0_10_30"}};
  for (const auto& c : cases) {
    os::LocalTime t;
    t.hour = c.h;
    t.minute = c.m;
    t.second = c.s;
    EXPECT_EQ(ArchiveStamp(t), c.stamp);
  }
}

TEST_F(ProjectCommands, ArchiveCopyIsRemovedAndTheProjectKept) {
  std::ofstream(project() / "000.GC") << "[工程档案]\n";
  os::LocalTime t;
  t.hour = 9;
  t.minute = 5;
  t.second = 7;
  os::setFixedLocalTime(t);
  EXPECT_EQ(ArchiveCopyFolder(ArchiveStamp(t)), g_tempDir + L"\\P_ 9_ 5_ 7");
  // The shell alone has no save dialog: the copy is made and removed again.
  CmdKivSaveAs();
  os::setFixedLocalTime(std::nullopt);
  EXPECT_TRUE(fs::exists(project() / "000.GC"));
  EXPECT_FALSE(fs::exists(root_ / "suite" / "TMP" / "P_ 9_ 5_ 7"));
}

TEST_F(ProjectCommands, ArchiveWithoutProjectIsRefused) {
  g_projectName.clear();
  g_projectRoot.clear();
  size_t mark = ed::transcriptMark();
  CmdKivSaveAs();
  EXPECT_NE(ed::transcriptSince(mark).find(L"没有打开的工程"), std::wstring::npos);
  EXPECT_FALSE(fs::exists(root_ / "suite" / "TMP"));
}

}  // namespace
