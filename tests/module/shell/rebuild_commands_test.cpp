// The rebuild commands: the sibling module is asked first, with the combos'
// type and number or with three empty texts, and the completion message
// follows.
#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "module/model/seams.h"
#include "module/shell/command_table.h"
#include "module/shell/rebuild_commands.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"
#include "platform/suite/sibling/zeb_abi.h"
#include "tests/module/shell/project_fixture.h"

namespace {

// A rebuild of the layout commands that stands in for theirs: it records
// what it was asked and answers that it ran.
std::vector<std::wstring> g_rebuilds;
bool FakeRebuildOfType(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids) {
  g_rebuilds.push_back(type + L"," + number + L"," + std::to_wstring(ids.size()));
  return true;
}
bool FakeRebuildOfAll() {
  g_rebuilds.push_back(L"all");
  return true;
}
GjSeams FakeRebuilds() {
  GjSeams s = DefaultGjSeams();
  s.rebuildGjByType = &FakeRebuildOfType;
  s.rebuildAllGjTypes = &FakeRebuildOfAll;
  return s;
}

const std::filesystem::path kSibling = KIV_BINARY_DIR "/bin/Zeb.Arx";

class RebuildCommands : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    if (!std::filesystem::exists(kSibling)) GTEST_SKIP() << "sibling module not built";
    g_siblingArx = os::loadLibrary(kSibling.wstring());
    ASSERT_NE(g_siblingArx, nullptr);
    if (auto clear = os::findFunction<ZebArx_ClearCallLog_fn>(g_siblingArx, "ZebArx_ClearCallLog")) clear();
    ed::clearTranscript();
  }
  void TearDown() override {
    if (g_siblingArx) os::freeLibrary(g_siblingArx);
    g_siblingArx = nullptr;
    ProjectSandbox::TearDown();
  }

  void showCombo(const std::wstring& combo, const std::wstring& value) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(combo.c_str(), value.c_str());
  }
  // The sibling's requests since SetUp, one per line.
  std::wstring siblingLog() {
    auto log = os::findFunction<ZebArx_CallLog_W_fn>(g_siblingArx, "ZebArx_CallLog_W");
    if (!log) return L"?";
    std::vector<wchar_t> buf(static_cast<std::size_t>(log(nullptr, 0)) + 1);
    log(buf.data(), static_cast<int>(buf.size()));
    return buf.data();
  }
  static CommandHandler handlerOf(const std::wstring& name) {
    for (std::size_t i = 0; i < CommandTableSize(); ++i)
      if (CommandTable()[i].globalName == name) return CommandTable()[i].handler;
    return nullptr;
  }
};

TEST_F(RebuildCommands, RebuildCurPassesTheCombosTypeAndNumber) {
  ScopedGjSeams fake(FakeRebuilds());
  g_rebuilds.clear();
  struct Case {
    std::wstring number;
    std::wstring request;
  } cases[] = {
      {L"AL1", L"ZebArx_Rebuild_W 配电箱,AL1,"},
      {L"", L"ZebArx_Rebuild_W 配电箱,,"},  // an empty number goes on as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.number));
    showCombo(L"构件", L"配电箱");
    showCombo(L"编号", c.number);
    if (auto clear = os::findFunction<ZebArx_ClearCallLog_fn>(g_siblingArx, "ZebArx_ClearCallLog")) clear();
    const size_t mark = ed::transcriptMark();
    CommandHandler h = handlerOf(L"GjRebuildCur");
    ASSERT_NE(h, nullptr);
    h();
    EXPECT_EQ(siblingLog(), c.request);
    EXPECT_EQ(ed::transcriptSince(mark), L"配电箱重建完成!\n");
  }
  EXPECT_EQ(g_rebuilds, (std::vector<std::wstring>{L"配电箱,AL1,0", L"配电箱,,0"}));
}

TEST_F(RebuildCommands, NoCompletionIsReportedOverARebuildThatIsNotBuilt) {
  showCombo(L"构件", L"配电箱");
  showCombo(L"编号", L"AL1");
  size_t mark = ed::transcriptMark();
  CmdGjRebuildCur();
  EXPECT_EQ(ed::transcriptSince(mark), L"\n配电箱的重建尚未提供\n");
  mark = ed::transcriptMark();
  CmdGjRebuildAll();
  const std::wstring said = ed::transcriptSince(mark);
  EXPECT_NE(said.find(L"\n各类构件的重建尚未提供\n"), std::wstring::npos) << os::toUtf8(said);
  EXPECT_EQ(said.find(L"安装重建完成!"), std::wstring::npos);
}

TEST_F(RebuildCommands, RebuildAllAndDwgRebuildAreOneCommand) {
  ScopedGjSeams fake(FakeRebuilds());
  g_rebuilds.clear();
  for (const wchar_t* name : {L"GjRebuildAll", L"DwgRebuild"}) {
    SCOPED_TRACE(os::toUtf8(name));
    if (auto clear = os::findFunction<ZebArx_ClearCallLog_fn>(g_siblingArx, "ZebArx_ClearCallLog")) clear();
    const size_t mark = ed::transcriptMark();
    CommandHandler h = handlerOf(name);
    ASSERT_EQ(h, &CmdGjRebuildAll);
    h();
    EXPECT_EQ(siblingLog(), L"ZebArx_Rebuild_W ,,") << "three empty texts rebuild all of the sibling's";
    EXPECT_NE(ed::transcriptSince(mark).find(L"\n安装重建完成!\n"), std::wstring::npos);
  }
  EXPECT_EQ(g_rebuilds, (std::vector<std::wstring>{L"all", L"all"}));
}

TEST_F(RebuildCommands, RebuildAllFirstWritesTheComponentsIntoTheFloorTable) {
  makeTable(suiteSystem() / u8"构件库.DB",
            "构件分类:ftString:50\t构件名称:ftString:50\t图层\t参数\n"
            "管道\t给水管\t给水管\t管径=25\n");
  makeTable(project() / u8"1层.DB",
            "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\n"
            "给水管\tJ1\t管道\t管径=20\n");
  {
    std::ofstream f(project() / "000.GC", std::ios::binary);
    f << "[工程档案]\n工程名称=P\n工程量规则=定额\n";
  }
  showFloor(L"1层");
  cad::ObjectId pipe = AddLine(geom::Point3d(0, 0, 0), geom::Point3d(1000, 0, 0), L"给水管", nullptr);
  StringArray attrs{pipe.handle().text(), L"主键", L"管径=32"};
  ASSERT_TRUE(SetGjXdataLines(pipe, L"J1", attrs, nullptr));
  CmdGjRebuildAll();
  std::wstring number;
  GetGjNumberAndAttrs(pipe, number, attrs);
  EXPECT_EQ(attrs, (StringArray{pipe.handle().text(), L"主键"})) << "its values went into the table";
  EXPECT_NE(column(project() / u8"1层.DB", "参数").find("管径=32"), std::string::npos);
}

TEST_F(RebuildCommands, WithoutTheSiblingTheOwnRebuildStillRuns) {
  os::freeLibrary(g_siblingArx);
  g_siblingArx = nullptr;
  showCombo(L"构件", L"配电箱");
  ScopedGjSeams fake(FakeRebuilds());
  const size_t mark = ed::transcriptMark();
  CmdGjRebuildCur();
  EXPECT_NE(ed::transcriptSince(mark).find(L"配电箱重建完成!\n"), std::wstring::npos);
}

}  // namespace
