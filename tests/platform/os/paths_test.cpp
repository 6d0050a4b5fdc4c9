#include <gtest/gtest.h>

#include "platform/os/os.h"
#include "tests/platform/os/tempdir.h"

namespace {

std::wstring W(const std::filesystem::path& p) { return os::fromUtf8(p.string()); }

TEST(NativePath, ResolvesEachComponentIgnoringCase) {
  kivtest::TempDir t;
  t.write("Suite/系统文件/Tolm.dll", "x");
  t.write("Suite/INIT.INI", "x");
  std::wstring root = W(t.path());
  std::wstring upRoot = os::toUpper(root);
  auto resolved = [&](const std::string& rel) { return (t.path() / rel).string(); };
  struct Case {
    std::wstring in;
    std::string out;
  } cases[] = {
      // The module upper-cases the base folder and appends with backslashes.
      {upRoot + L"\\SUITE\\系统文件\\TOLM.DLL", resolved("Suite/系统文件/Tolm.dll")},
      {root + L"/suite/init.ini", resolved("Suite/INIT.INI")},
      {root + L"\\\\Suite\\.\\x\\..\\系统文件\\tolm.DLL", resolved("Suite/系统文件/Tolm.dll")},
      // A new file keeps its name inside its case-resolved folder.
      {upRoot + L"\\SUITE\\New.DB", resolved("Suite/New.DB")},
      {upRoot + L"\\SUITE\\NewDir\\Sub\\a.txt", resolved("Suite/NewDir/Sub/a.txt")},
  };
  for (const auto& c : cases) EXPECT_EQ(os::nativePathUtf8(c.in), c.out) << os::toUtf8(c.in);
}

TEST(NativePath, ExactNameWinsOverOtherCase) {
  kivtest::TempDir t;
  t.write("a/x.txt", "lower");
  t.write("A/x.txt", "upper");
  std::wstring root = W(t.path());
  EXPECT_EQ(os::nativePathUtf8(root + L"\\A\\x.txt"), (t.path() / "A/x.txt").string());
  EXPECT_EQ(os::nativePathUtf8(root + L"\\a\\x.txt"), (t.path() / "a/x.txt").string());
}

TEST(NativePath, DriveAndEdgeForms) {
  EXPECT_EQ(os::nativePathUtf8(L"C:\\"), "/");
  EXPECT_EQ(os::nativePathUtf8(L"\\"), "/");
  EXPECT_EQ(os::nativePathUtf8(L""), "");
  EXPECT_EQ(os::nativePathUtf8(L"\\..\\.."), "/");
  EXPECT_EQ(os::nativePathUtf8(L"no_such_dir_kiv\\a.txt"), "no_such_dir_kiv/a.txt");
}

TEST(PathText, SplitAndWindowsForm) {
  EXPECT_EQ(os::windowsPath("/work/build/suite/系统文件/Tolm.dll"), L"\\work\\build\\suite\\系统文件\\Tolm.dll");
  EXPECT_EQ(os::fileNameOf(L"a\\b/c.Dll"), L"c.Dll");
  EXPECT_EQ(os::fileNameOf(L"c.Dll"), L"c.Dll");
  EXPECT_EQ(os::directoryOf(L"a\\b/c.Dll"), L"a\\b");
  EXPECT_EQ(os::directoryOf(L"\\c.dll"), L"\\");
  EXPECT_EQ(os::directoryOf(L"c.dll"), L"");
  EXPECT_EQ(os::extensionOf(L"x\\首层.DWG"), L".DWG");
  EXPECT_EQ(os::extensionOf(L"a.b\\noext"), L"");
  EXPECT_EQ(os::extensionOf(L".hidden"), L"");
}

TEST(PathText, ProgramAndCurrentFolder) {
  std::wstring prog = os::programPath();
  EXPECT_EQ(os::fileNameOf(prog), L"test_platform_os");
  EXPECT_TRUE(os::isFile(prog));
  EXPECT_TRUE(os::isDirectory(os::currentDirectory()));
}

}  // namespace
