// The table and window library wrappers: against the real libraries, and
// with the libraries missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "module/shell/module.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "platform/editor/editor.h"
#include "platform/suite/suite_abi.h"

namespace {

const std::wstring kSystemDir = os::fromUtf8(KIV_BINARY_DIR "/suite/系统文件");

class MissingSuite : public testing::Test {
 protected:
  void SetUp() override {
    ed::resetEditor();
    os::clearLibrarySearchDirs();
    UnloadModule();
    ResetSuiteMissReports();
    mark_ = ed::transcriptMark();
  }
  size_t occurrences(const std::wstring& what) const {
    std::wstring t = ed::transcriptSince(mark_);
    size_t n = 0;
    for (size_t p = t.find(what); p != std::wstring::npos; p = t.find(what, p + 1)) ++n;
    return n;
  }
  size_t mark_ = 0;
};

TEST_F(MissingSuite, CallsGiveNeutralAnswersAndSayOnceWhatIsMissing) {
  for (int round = 0; round < 2; ++round) {
    tablelib::Handle h = tablelib::OpenDb(L"C:\\no\\007.DB");
    EXPECT_EQ(h, 0);
    EXPECT_TRUE(tablelib::Eof(h));  // read loops end at once
    EXPECT_FALSE(tablelib::Locate(h, L"楼层", L"首层"));
    EXPECT_EQ(tablelib::RecordCount(h), 0);
    EXPECT_EQ(tablelib::FieldCount(h), 0);
    EXPECT_EQ(tablelib::GetFieldName(h, 0), L"");
    EXPECT_EQ(tablelib::FieldAsString(h, L"楼层"), L"");
    tablelib::Append(h);
    tablelib::WriteAsString(h, L"楼层", L"x");
    tablelib::Post(h);
    tablelib::Close(h);

    EXPECT_EQ(winlib::CmbGetName(winlib::kComboFloor), L"");
    double dx = 7, dy = 7;
    EXPECT_FALSE(winlib::GetOffset(dx, dy));
    EXPECT_EQ(dx, 0.0);
    EXPECT_EQ(dy, 0.0);
    double a = 1, b = 2;
    EXPECT_FALSE(winlib::LayLinearGj(winlib::kPalettePoll, 0, 0, a, b));
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(b, 2.0);
    EXPECT_EQ(winlib::TBarBtnStatus(L"BtnGjHint"), 0);
    winlib::Tooltip(winlib::kTipShow, L"提示");
  }
  EXPECT_EQ(occurrences(L"缺少 Ravn.dll"), 1u);
  EXPECT_EQ(occurrences(L"缺少 Pelk.dll"), 1u);
}

TEST_F(MissingSuite, BindingWithoutLibrariesSaysSoAndBuildsTheTables) {
  InitSuiteBinding();
  EXPECT_EQ(g_baseDir, L"");
  EXPECT_EQ(g_gjCategories.size(), 31u);
  for (const wchar_t* lib : {L"Tolm.dll", L"Ravn.dll", L"Pelk.dll", L"Zeb.Arx"})
    EXPECT_EQ(occurrences(std::wstring(L"缺少 ") + lib), 1u) << testing::PrintToString(std::wstring(lib));
  // Later calls stay silent.
  PrecStr(1, 1);
  tablelib::OpenDb(L"x.DB");
  CmdDaMain();
  EXPECT_EQ(occurrences(L"缺少"), 4u);
  EXPECT_EQ(g_projectName, L"");
}

// The wrappers against the real table library, on a table made by the base
// library in a temporary folder.
class RealTables : public testing::Test {
 protected:
  void SetUp() override {
    if (!os::isFile(kSystemDir + L"/Tolm.dll")) GTEST_SKIP() << "suite libraries not built";
    ed::resetEditor();
    os::clearLibrarySearchDirs();
    os::addLibrarySearchDir(kSystemDir);
    InitSuiteBinding();
    dir_ = std::filesystem::temp_directory_path() / ("kiv_frame_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    path_ = os::windowsPath(dir_ / "构件.DB");
    std::wstring fields = L"构件名称:ftString:50\r\n编号:ftString:30\r\n参数:ftMemo";
    ASSERT_EQ((SuiteCall<decltype(Dll_DbCreateStru_W)>::call(
                  SuiteModule::Base, "Dll_DbCreateStru_W", static_cast<unsigned char>(0),
                  path_.c_str(), fields.c_str())),
              1);
  }
  void TearDown() override {
    UnloadModule();
    os::clearLibrarySearchDirs();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_;
  std::wstring path_;
};

TEST_F(RealTables, WriteThenReadBackInOrder) {
  const std::wstring longText(10000, L'参');  // longer than the first read buffer
  {
    tablelib::Table t(path_);
    ASSERT_GT(t.handle(), 0);
    EXPECT_EQ(tablelib::FieldCount(t), 3);
    EXPECT_EQ(tablelib::GetFieldName(t, 1), L"编号");
    EXPECT_TRUE(tablelib::FindField(t, L"参数"));
    EXPECT_FALSE(tablelib::FindField(t, L"颜色"));
    EXPECT_TRUE(tablelib::Eof(t));
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {{L"给水管", L"GS-1"}, {L"污水管", L"WS-1"}};
    for (const auto& [name, number] : rows) {
      tablelib::Append(t);
      tablelib::WriteAsString(t, L"构件名称", name);
      tablelib::WriteAsString(t, L"编号", number);
      tablelib::WriteAsString(t, L"参数", longText);
      tablelib::Post(t);
    }
    tablelib::First(t);
    tablelib::Insert(t);  // before the first record
    tablelib::WriteAsString(t, L"构件名称", L"***给排水***");
    tablelib::Post(t);
  }
  tablelib::Table t(path_);
  EXPECT_EQ(tablelib::RecordCount(t), 3);
  StringArray names;
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t))
    names.push_back(tablelib::FieldAsString(t, L"构件名称"));
  EXPECT_EQ(names, (StringArray{L"***给排水***", L"给水管", L"污水管"}));
  ASSERT_TRUE(tablelib::Locate(t, L"编号", L"WS-1"));
  EXPECT_EQ(tablelib::FieldAsString(t, L"构件名称"), L"污水管");
  EXPECT_EQ(tablelib::FieldAsString(t, L"参数"), longText);
  EXPECT_EQ(tablelib::FieldAsString(t, L"参数", 101), longText.substr(0, 100));
  EXPECT_FALSE(tablelib::Locate(t, L"编号", L"无"));
  EXPECT_TRUE(tablelib::Eof(t));
}

// The base library writes no text for a number too long for its buffer;
// the number's own exact text stands in, so it reads back unchanged.
TEST_F(RealTables, PrecStrKeepsNumbersTooLongForTheLibrarysBuffer) {
  struct Case { double v; int n; } cases[] = {{2.5, 1}, {1e120, 3}, {-1e200, 0}, {-2.0e300, 5}};
  for (const auto& c : cases) {
    const std::wstring text = PrecStr(c.v, c.n);
    EXPECT_EQ(std::wcstod(text.c_str(), nullptr), RoundTo(c.v, c.n)) << text;
    EXPECT_EQ(text.find_first_not_of(L"-0123456789."), std::wstring::npos) << text;
    EXPECT_NE(text.back(), L'.');
  }
}

TEST_F(RealTables, WindowLibraryCombosAndPalette) {
  EXPECT_TRUE((SuiteCall<decltype(KivPelk_SetCombo_W)>::call(
                  SuiteModule::Window, "KivPelk_SetCombo_W", static_cast<unsigned char>(0),
                  L"编号", L"GS-1")) != 0);
  EXPECT_EQ(winlib::CmbGetName(winlib::kComboNumber), L"GS-1");
  double a = 100, b = 200;
  winlib::LayLinearGj(winlib::kPaletteOpen, 10, 20, a, b);
  EXPECT_FALSE(winlib::LayLinearGj(winlib::kPalettePoll, 0, 0, a, b));
  SuiteCall<decltype(KivPelk_SetPalette)>::call(SuiteModule::Window, "KivPelk_SetPalette", 300.0,
                                                400.0, 0.0, 2);
  EXPECT_TRUE(winlib::LayLinearGj(winlib::kPalettePoll, 0, 0, a, b));
  EXPECT_EQ(a, 300.0);
  EXPECT_EQ(b, 400.0);
  winlib::LayLinearGj(winlib::kPaletteClose, 0, 0, a, b);
}

}  // namespace
