// The multi-line dialog: rows with their offsets, delete and renumber, rows
// remembered per category, and refused texts.
#include "module/layout/multi_line_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "module/layout/through_pipe_dialog.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/ui/ui.h"
#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDemoProject = fs::path(KIV_BINARY_DIR) / "demo" / u8"示例工程";
const fs::path kDemoSystem = fs::path(KIV_BINARY_DIR) / "suite" / u8"系统文件";

class MultiLineDialog : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    if (!fs::exists(kDemoProject) || !fs::exists(kDemoSystem)) GTEST_SKIP() << "demo data not built";
    ui::init();
    fs::copy(kDemoSystem, suiteSystem(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy(kDemoProject, project(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    g_multiRowsPipe.clear();
    showFloor(L"1层");
    showCategory(L"管道");
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    set(L"构件", L"给水管");
  }
  void TearDown() override {
    ed::inputQueue().clear();
    ProjectSandbox::TearDown();
  }
  static void directive(const std::wstring& name, std::vector<std::wstring> args) {
    ed::InputToken t;
    t.kind = ed::TokenKind::Directive;
    t.text = name;
    t.args = std::move(args);
    ed::inputQueue().push(t);
  }
  static void add(const std::wstring& item) {
    directive(L".click", {L"1206", item});
    directive(L".click", {L"209"});
  }
};

TEST_F(MultiLineDialog, OffsetsStayApartAfterDeleteAndRowsAreRemembered) {
  add(L"给水管/J1");
  add(L"给水管/J2");
  add(L"给水管/J1");
  directive(L".click", {L"1207", L"2"});
  directive(L".click", {L"210"});  // the second row goes; the rest renumbered
  add(L"给水管/J2");
  directive(L".click", {L"1207", L"1", L"3"});
  directive(L".click", {L"1207", L"1", L"3"});
  directive(L".set", {L"1207", L"-300"});
  directive(L".click", {L"1"});
  StringArray rows;
  ASSERT_TRUE(RunMultiPipeDlg(rows, L"多管布置"));
  EXPECT_EQ(rows, (StringArray{L"给水管,J1,-300,100", L"给水管,J1,0,300", L"给水管,J2,0,400"}));
  EXPECT_EQ(g_multiRowsPipe, rows);

  // Offered again; Cancel keeps the remembered rows and hands back nothing.
  directive(L".click", {L"2"});
  StringArray none;
  EXPECT_FALSE(RunMultiPipeDlg(none, L"多管布置"));
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(g_multiRowsPipe, rows);
}

TEST_F(MultiLineDialog, TextThatIsNoNumberIsRefusedAndATypeItemAddsNothing) {
  directive(L".click", {L"1206", L"给水管"});
  directive(L".click", {L"209"});
  add(L"给水管/J1");
  directive(L".click", {L"1207", L"1", L"4"});
  directive(L".click", {L"1207", L"1", L"4"});
  directive(L".set", {L"1207", L"abc"});
  directive(L".click", {L"1"});
  StringArray rows;
  ASSERT_TRUE(RunMultiPipeDlg(rows, L"多管布置"));
  EXPECT_EQ(rows, (StringArray{L"给水管,J1,0,100"}));
  EXPECT_NE(ed::transcript().find(L"请输入数值：abc"), std::wstring::npos);
}

}  // namespace
