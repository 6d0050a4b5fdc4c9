// DaMain with the real sibling module: the path globals follow its report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "platform/editor/editor.h"

namespace {

const std::filesystem::path kSibling = KIV_BINARY_DIR "/bin/Zeb.Arx";

class DaMain : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kSibling)) GTEST_SKIP() << "sibling module not built";
    ed::resetEditor();
    root_ = std::filesystem::temp_directory_path() / ("kiv_damain_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_ / "suite");
    std::filesystem::create_directories(root_ / "projects" / "ProjectA");
    saved_ = ed::hostOptions();
    ed::hostOptions().suiteDir = root_ / "suite";
    ed::hostOptions().projectsDir = root_ / "projects";
    g_siblingArx = os::loadLibrary(kSibling.wstring());
    ASSERT_NE(g_siblingArx, nullptr);
    g_baseDir = L"BEFORE";
    g_projectName.clear();
  }
  void TearDown() override {
    if (g_siblingArx) os::freeLibrary(g_siblingArx);
    g_siblingArx = nullptr;
    ed::hostOptions() = saved_;
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::filesystem::path root_;
  ed::HostOptions saved_;
};

TEST_F(DaMain, PathGlobalsFollowTheSiblingsReport) {
  ed::hostOptions().project = L"ProjectA";
  CmdDaMain();
  const std::wstring suite = os::windowsPath(root_ / "suite");
  EXPECT_EQ(g_baseDir, suite);
  EXPECT_EQ(g_systemDir, suite + L"\\系统文件");
  EXPECT_EQ(g_tempDir, suite + L"\\TMP");
  EXPECT_EQ(g_projectRoot, os::windowsPath(root_ / "projects"));
  EXPECT_EQ(g_projectName, L"ProjectA");
}

TEST_F(DaMain, NoProjectChangesNothing) {
  ed::hostOptions().project.clear();
  CmdDaMain();
  EXPECT_EQ(g_baseDir, L"BEFORE");
  EXPECT_EQ(g_projectName, L"");
}

}  // namespace
