// The colour manager driven as a person would: tab and tree clicks, the
// swatch's colour dialog and the pick button answered from the input queue,
// OK and "恢复默认"; the layers and the component library afterwards.
#include "module/model/colour_manager.h"

#include "module/model/project_tables.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/ui/ui.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;

using ed::makeToken;
namespace fs = std::filesystem;

const char* const kLibraryHeader = "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n";

class ColourManager : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    ui::init();
    BuildGjCategoryTable();
    makeTable(project() / "007.DB", "楼层:ftString:50\t层高\t标高\n1层\t3000\t0\n");
    makeTable(suiteSystem() / u8"构件库.DB",
              std::string(kLibraryHeader) +
                  "管道\t给水管\t给水管\\r\\n给水管名\t给水管=65280\\r\\n给水管名=16777215\n"
                  "管道附件\t阀门\t阀门\t阀门=255\n");
    showCategory(L"管道");
  }
  void TearDown() override {
    CloseColorManager();
    ProjectSandbox::TearDown();
  }

  CColorManager& open() {
    OpenColorManager();
    EXPECT_NE(g_colorManagerDlg, nullptr);
    return *g_colorManagerDlg;
  }
  static ui::HTreeItem find(ui::TreeCtrl& t, const std::wstring& text) {
    std::function<ui::HTreeItem(ui::HTreeItem)> walk = [&](ui::HTreeItem first) -> ui::HTreeItem {
      for (ui::HTreeItem c = first; c; c = t.GetNextSiblingItem(c)) {
        if (t.GetItemText(c) == text) return c;
        if (ui::HTreeItem f = walk(t.GetChildItem(c))) return f;
      }
      return nullptr;
    };
    return walk(t.GetRootItem());
  }
  static void type(const std::wstring& text) { ed::inputQueue().push(makeToken(ed::TokenKind::Text, text)); }
  static ui::Color rgb(int index) { return cad::aciToRgb(index).colorRef(); }
};

TEST(ColourManagerTabs, CategoryOfTheComboChoosesTheTab) {
  struct Case {
    const wchar_t* category;
    int tab;
  };
  const Case cases[] = {{L"管道", 0}, {L"排水零星", 0}, {L"照明器具", 1}, {L"附件、零星", 1},
                        {L"风管", 2},  {L"暖通零星", 2},  {L"轴网", 1},     {L"墙", 1}, {L"", 1}};
  for (const auto& c : cases)
    EXPECT_EQ(CColorManager::TabOfCategory(c.category), c.tab) << testing::PrintToString(std::wstring(c.category));
}

TEST_F(ColourManager, OpensOnceWithTheTreeOfTheCombosDiscipline) {
  CColorManager& dlg = open();
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.tabs().GetItemCount(), 3);
  EXPECT_EQ(dlg.tabs().GetCurSel(), 0);
  ui::HTreeItem root = dlg.tree().GetRootItem();
  EXPECT_EQ(dlg.tree().GetItemText(root), L"给排水构件");
  EXPECT_NE(find(dlg.tree(), L"热给水管"), nullptr);
  EXPECT_FALSE(dlg.swatch().IsWindowEnabled());
  EXPECT_FALSE(dlg.pickButton().IsWindowEnabled());
  // A second open while it is visible keeps the same dialog.
  CColorManager* first = g_colorManagerDlg;
  OpenColorManager();
  EXPECT_EQ(g_colorManagerDlg, first);

  // Another tab lists its own categories.
  ASSERT_TRUE(dlg.tabs().userSelect(2));
  EXPECT_EQ(dlg.tree().GetItemText(dlg.tree().GetRootItem()), L"暖通构件");
  EXPECT_NE(find(dlg.tree(), L"送风管"), nullptr);
  EXPECT_EQ(find(dlg.tree(), L"给水管"), nullptr);

  CloseColorManager();
  EXPECT_EQ(g_colorManagerDlg, nullptr);
}

TEST_F(ColourManager, TreeClicksEnableAndResetTheSwatch) {
  CColorManager& dlg = open();
  GetOrCreateLayer(L"给水管", nullptr);
  SetLayerColor(L"给水管", cad::Color::fromIndex(4), nullptr);
  dlg.tree().userClick(find(dlg.tree(), L"给水管"));
  EXPECT_EQ(dlg.currentName(), L"给水管");
  EXPECT_EQ(dlg.currentColor().colorIndex(), 4);
  EXPECT_EQ(dlg.swatch().color(), rgb(4));
  EXPECT_TRUE(dlg.swatch().IsWindowEnabled());
  EXPECT_TRUE(dlg.pickButton().IsWindowEnabled());

  dlg.tree().userClick(find(dlg.tree(), L"管道"));  // a category
  EXPECT_FALSE(dlg.swatch().IsWindowEnabled());
  EXPECT_FALSE(dlg.pickButton().IsWindowEnabled());
  EXPECT_EQ(dlg.swatch().color(), rgb(9));
}

TEST_F(ColourManager, ColourChosenTwiceStaysOnePendingEntry) {
  CColorManager& dlg = open();
  dlg.tree().userClick(find(dlg.tree(), L"给水管"));
  type(L"3");
  ASSERT_TRUE(dlg.swatch().userClick());
  type(L"5");
  ASSERT_TRUE(dlg.swatch().userClick());
  EXPECT_EQ(dlg.pendingNames(), (StringArray{L"给水管"}));
  EXPECT_EQ(dlg.pendingColors(), (std::vector<int>{5}));
  EXPECT_EQ(dlg.swatch().color(), rgb(5));
  // A cancelled colour dialog changes nothing; the tree shows the pending one.
  ed::inputQueue().push(makeToken(ed::TokenKind::Escape));
  dlg.swatch().userClick();
  EXPECT_EQ(dlg.pendingColors(), (std::vector<int>{5}));
  dlg.tree().userClick(find(dlg.tree(), L"阀门"));
  dlg.tree().userClick(find(dlg.tree(), L"给水管"));
  EXPECT_EQ(dlg.currentColor().colorIndex(), 5);
}

TEST_F(ColourManager, PickedEntityByLayerTakesTheLayersColour) {
  cad::Database* db = ed::docManager().curDocument()->database();
  GetOrCreateLayer(L"绿线", db);
  SetLayerColor(L"绿线", cad::Color::fromIndex(3), db);
  auto line = std::make_unique<cad::Line>(geom::Point3d(0, 0, 0), geom::Point3d(100, 0, 0));
  line->setLayer(L"绿线");
  ASSERT_EQ(db->appendToModelSpace(std::move(line)), cad::Status::Ok);

  CColorManager& dlg = open();
  dlg.tree().userClick(find(dlg.tree(), L"阀门"));
  ed::inputQueue().push(makeToken(ed::TokenKind::Pick, L"", geom::Point3d(50, 0, 0)));
  ASSERT_TRUE(dlg.pickButton().userClick());
  EXPECT_EQ(dlg.pendingNames(), (StringArray{L"阀门"}));
  EXPECT_EQ(dlg.pendingColors(), (std::vector<int>{3}));
  EXPECT_FALSE(dlg.inEditorCommand());
  EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST_F(ColourManager, OkAppliesToLayersAndLibraryAndSaves) {
  const fs::path drawing = root_ / "plan.dwg";
  ed::docManager().curDocument()->setFileName(os::fromUtf8(drawing.string()));
  CColorManager& dlg = open();
  dlg.tree().userClick(find(dlg.tree(), L"给水管"));
  type(L"1");
  dlg.swatch().userClick();
  ASSERT_TRUE(static_cast<ui::Button*>(dlg.GetDlgItem(ui::IDOK))->userClick());

  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_TRUE(dlg.pendingNames().empty());
  for (const wchar_t* layer : {L"给水管", L"给水管名"}) {
    cad::Color c;
    GetLayerColor(layer, c, nullptr);
    EXPECT_EQ(c.colorIndex(), 1) << testing::PrintToString(std::wstring(layer));
  }
  // Both lines of the component get the colour's value, red in the low byte.
  EXPECT_EQ(column(suiteSystem() / u8"构件库.DB", "颜色"), "给水管=255\r\n给水管名=255\n阀门=255\n");
  EXPECT_TRUE(fs::exists(drawing));

  // OK with nothing pending still saves the drawing; a hidden dialog is
  // replaced by a new one.
  fs::remove(drawing);
  OpenColorManager();
  static_cast<ui::Button*>(g_colorManagerDlg->GetDlgItem(ui::IDOK))->userClick();
  EXPECT_TRUE(fs::exists(drawing));
}

TEST_F(ColourManager, RestoreDefaultsTakesTheInstalledColoursLineByLine) {
  // The project uses a suite folder of its own; the installation's library
  // holds the defaults.
  const fs::path ownSystem = root_ / "own" / u8"系统文件";
  fs::create_directories(ownSystem);
  g_systemDir = os::windowsPath(root_ / "own") + L"\\系统文件";
  makeTable(ownSystem / u8"构件库.DB",
            std::string(kLibraryHeader) +
                "管道\t给水管\t给水管\\r\\n给水管名\t给水管=255\\r\\n给水管名=255\n"
                "管道\t热给水管\t热给水管\t热给水管=255\\r\\n热给水管名=255\n"
                "管道附件\t阀门\t阀门\t阀门=16711680\n"
                "管道\t中水管\t中水管\t中水管=65280\n");
  makeTable(suiteSystem() / u8"构件库.DB",
            std::string(kLibraryHeader) +
                "管道\t给水管\t给水管\\r\\n给水管名\t给水管=65280\\r\\n给水管名=16777215\n"
                "管道\t热给水管\t热给水管\t\n"          // no default lines at all
                "管道\t中水管\t中水管\t中水管=65280\n");  // unchanged; 阀门 missing

  CColorManager& dlg = open();
  dlg.tree().userClick(find(dlg.tree(), L"给水管"));
  ASSERT_TRUE(static_cast<ui::Button*>(dlg.GetDlgItem(colour_ids::kRestore))->userClick());

  EXPECT_EQ(column(ownSystem / u8"构件库.DB", "颜色"),
            "给水管=65280\r\n给水管名=16777215\n"
            "热给水管=255\r\n热给水管名=255\n"  // nothing to restore from: kept
            "阀门=16711680\n"
            "中水管=65280\n");
  cad::Color c;
  GetLayerColor(L"给水管", c, nullptr);
  EXPECT_EQ(c.colorIndex(), 3);
  GetLayerColor(L"给水管名", c, nullptr);
  EXPECT_EQ(c.colorIndex(), 7);
  GetLayerColor(L"给水管3D", c, nullptr);
  EXPECT_EQ(c.colorIndex(), 3);
  EXPECT_EQ(dlg.swatch().color(), ui::Color(65280));
  EXPECT_TRUE(dlg.IsWindowVisible());
}

}  // namespace
