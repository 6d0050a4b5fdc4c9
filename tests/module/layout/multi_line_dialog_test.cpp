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
#include "tests/module/layout/layout_fixture.h"

namespace {

namespace fs = std::filesystem;


class MultiLineDialog : public kivtest::DemoLayoutSandbox {
 protected:
  void SetUp() override {
    DemoLayoutSandbox::SetUp();
    if (IsSkipped()) return;
    g_multiRowsPipe.clear();
    showFloor(L"1层");
    showCategory(L"管道");
    combo(L"构件", L"给水管");
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
