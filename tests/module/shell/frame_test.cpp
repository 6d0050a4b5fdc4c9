// The frame in-process: base directory, attach, resource scope, and the
// binding of the real suite libraries.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "module/shell/module.h"
#include "platform/editor/editor.h"

namespace {

const std::wstring kSystemDir = os::fromUtf8(KIV_BINARY_DIR "/suite/系统文件");

TEST(BaseDir, FolderBeforeSystemFolderUpperCased) {
  struct Case {
    const wchar_t* folder;
    const wchar_t* want;
  };
  const Case cases[] = {
      {L"D:\\Est\\系统文件", L"D:\\EST"},
      {L"\\work\\build\\suite\\系统文件", L"\\WORK\\BUILD\\SUITE"},
      {L"D:\\a\\系统文件\\b\\系统文件", L"D:\\A"},  // the first occurrence
      {L"D:\\Est\\Other", L""},
      {L"D:\\Est系统文件", L""},
      {L"", L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BaseDirFromLibraryFolder(c.folder), c.want) << testing::PrintToString(std::wstring(c.folder));
}

TEST(Attach, OncePerProcess) {
  ModuleProcessAttach();
  ModuleProcessAttach();
  EXPECT_TRUE(g_arxModule.attached);
  EXPECT_EQ(g_arxModule.attachCount, 1);
}

TEST(ResourceScope, PushesTheModuleAndRestores) {
  ed::resetEditor();
  const int before = ed::docManager().resourceBalance();
  void* saved = g_arxModule.resourceInstance;
  int token = 0;
  g_arxModule.resourceInstance = &token;
  {
    ModuleResourceScope scope;
    EXPECT_EQ(ed::docManager().resourceBalance(), before + 1);
    EXPECT_EQ(ed::docManager().currentResourceHandle(), &token);
  }
  EXPECT_EQ(ed::docManager().resourceBalance(), before);
  g_arxModule.resourceInstance = saved;
}

TEST(CommandTable, RowsAreUniqueAndTheSharedHandlerIsShared) {
  std::set<std::wstring> names;
  const CommandEntry* t = CommandTable();
  CommandHandler rebuildAll = nullptr, dwgRebuild = nullptr;
  int nothing = 0;
  for (size_t i = 0; i < CommandTableSize(); ++i) {
    EXPECT_TRUE(names.insert(t[i].globalName).second) << testing::PrintToString(std::wstring(t[i].globalName));
    ASSERT_NE(t[i].handler, nullptr);
    if (std::wstring(t[i].globalName) == L"GjRebuildAll") rebuildAll = t[i].handler;
    if (std::wstring(t[i].globalName) == L"DwgRebuild") dwgRebuild = t[i].handler;
    if (t[i].handler == &CmdNothing) ++nothing;
  }
  EXPECT_EQ(CommandTableSize(), 189u);
  EXPECT_EQ(rebuildAll, dwgRebuild);
  EXPECT_EQ(nothing, 7);
}

// Binding with the suite's real libraries found by name.
class RealSuite : public testing::Test {
 protected:
  void SetUp() override {
    if (!os::isFile(kSystemDir + L"/Tolm.dll")) GTEST_SKIP() << "suite libraries not built";
    ed::resetEditor();
    os::clearLibrarySearchDirs();
    os::addLibrarySearchDir(kSystemDir);
  }
  void TearDown() override {
    UnloadModule();
    os::clearLibrarySearchDirs();
  }
};

TEST_F(RealSuite, BaseDirectoryComesFromTheBaseLibrarysFolder) {
  size_t mark = ed::transcriptMark();
  InitSuiteBinding();
  EXPECT_NE(g_hostBaseLib, nullptr);
  EXPECT_NE(g_hostTableLib, nullptr);
  EXPECT_NE(g_hostWindowLib, nullptr);
  EXPECT_NE(g_hostEstimateLib, nullptr);
  const std::wstring suite = os::windowsPath(std::filesystem::path(KIV_BINARY_DIR "/suite"));
  EXPECT_EQ(g_baseDir, os::toUpper(suite));
  EXPECT_TRUE(os::isDirectory(g_baseDir));  // upper-cased, still found
  EXPECT_EQ(g_gjCategories.size(), 31u);
  // Only the absent sibling module is reported.
  std::wstring printed = ed::transcriptSince(mark);
  EXPECT_EQ(printed.find(L"Tolm.dll"), std::wstring::npos) << printed;
  EXPECT_NE(printed.find(L"缺少 Zeb.Arx"), std::wstring::npos) << printed;

  // Unload frees the libraries and forgets their handles: later calls give
  // neutral answers instead of reaching freed code.
  UnloadModule();
  EXPECT_EQ(g_hostBaseLib, nullptr);
  EXPECT_EQ(g_hostTableLib, nullptr);
  EXPECT_EQ(PrecStr(1.5, 1), L"");
}

TEST_F(RealSuite, UnloadRunsTheTeardownHooksBeforeFreeingTheLibraries) {
  InitSuiteBinding();
  std::vector<std::wstring> order;
  AddUnloadHook([&] {
    order.push_back(L"first");
  });
  AddUnloadHook([&] {
    // The libraries are still there while the hooks run.
    order.push_back(g_hostBaseLib ? L"second with library" : L"second without library");
    order.push_back(PrecStr(2.5, 1));
  });
  UnloadModule();
  EXPECT_EQ(order, (std::vector<std::wstring>{L"second with library", L"2.5", L"first"}));
  UnloadModule();  // a second unload runs no hook again
  EXPECT_EQ(order.size(), 3u);
}

}  // namespace
