#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/os/os.h"
#include "tests/platform/os/tempdir.h"

namespace {

std::wstring W(const std::filesystem::path& p) { return os::fromUtf8(p.string()); }

class Files : public ::testing::Test {
 protected:
  kivtest::TempDir t;
  std::wstring root = W(t.path());
  std::wstring at(const std::wstring& rel) { return root + L"\\" + rel; }
};

TEST_F(Files, ExistsAndKinds) {
  t.write("工程/首层.DWG", "0");
  EXPECT_TRUE(os::exists(at(L"工程\\首层.dwg")));
  EXPECT_TRUE(os::isFile(at(L"工程\\首层.dwg")));
  EXPECT_FALSE(os::isDirectory(at(L"工程\\首层.dwg")));
  EXPECT_TRUE(os::isDirectory(at(L"工程")));
  EXPECT_FALSE(os::exists(at(L"工程\\二层.dwg")));
  EXPECT_EQ(os::fileSize(at(L"工程\\首层.DWG")).value(), 1u);
  EXPECT_FALSE(os::fileSize(at(L"missing")).has_value());
}

TEST_F(Files, CopyHonoursFailIfExists) {
  t.write("a.txt", "new");
  t.write("b.txt", "old");
  EXPECT_FALSE(os::copyFile(at(L"A.TXT"), at(L"B.TXT"), true));
  EXPECT_EQ(t.read("b.txt"), "old");
  EXPECT_TRUE(os::copyFile(at(L"A.TXT"), at(L"B.TXT"), false));
  EXPECT_EQ(t.read("b.txt"), "new");
  EXPECT_TRUE(os::copyFile(at(L"a.txt"), at(L"C.txt")));
  EXPECT_EQ(t.read("C.txt"), "new");
  EXPECT_FALSE(os::copyFile(at(L"a.txt"), at(L"A.txt")));  // onto itself
  EXPECT_EQ(t.read("a.txt"), "new");
  EXPECT_FALSE(os::copyFile(at(L"missing"), at(L"d.txt")));
  EXPECT_FALSE(os::lastError().empty());
  EXPECT_FALSE(os::copyFile(at(L"a.txt"), at(L"nodir\\d.txt")));
}

TEST_F(Files, DeleteAndRename) {
  t.write("a.txt", "1");
  t.write("b.txt", "2");
  EXPECT_FALSE(os::renameFile(at(L"a.txt"), at(L"B.TXT")));  // target exists
  EXPECT_TRUE(os::renameFile(at(L"a.txt"), at(L"B.TXT"), true));
  EXPECT_FALSE(os::exists(at(L"a.txt")));
  EXPECT_EQ(t.read("b.txt"), "1");
  EXPECT_TRUE(os::renameFile(at(L"b.txt"), at(L"c.txt")));
  EXPECT_TRUE(os::deleteFile(at(L"C.TXT")));
  EXPECT_FALSE(os::deleteFile(at(L"c.txt")));
  std::filesystem::create_directory(t.path() / "d");
  EXPECT_FALSE(os::deleteFile(at(L"d")));  // folders are not files
  EXPECT_TRUE(os::isDirectory(at(L"d")));
}

TEST_F(Files, FolderCreateAndRemove) {
  EXPECT_FALSE(os::createDirectory(at(L"x\\y")));  // parent missing
  EXPECT_TRUE(os::createDirectories(at(L"x\\y\\z")));
  EXPECT_TRUE(os::createDirectories(at(L"X\\Y\\Z")));  // already there, in another case
  EXPECT_FALSE(std::filesystem::exists(t.path() / "X"));
  EXPECT_FALSE(os::createDirectory(at(L"x")));  // exists
  t.write("x/y/z/f.txt", "1");
  EXPECT_FALSE(os::removeDirectory(at(L"x\\y\\z")));  // not empty
  EXPECT_TRUE(os::exists(at(L"x\\y\\z\\f.txt")));
  EXPECT_TRUE(os::removeDirectoryRecursive(at(L"X")));
  EXPECT_FALSE(os::exists(at(L"x")));
  EXPECT_FALSE(os::removeDirectory(at(L"x")));
  EXPECT_FALSE(os::removeDirectoryRecursive(at(L"x")));
  t.write("f.txt", "1");
  EXPECT_FALSE(os::removeDirectory(at(L"f.txt")));
}

TEST_F(Files, ListFolderSortedAndFiltered) {
  t.write("b.DWG", "12");
  t.write("a.dwg", "1");
  t.write("c.txt", "");
  std::filesystem::create_directory(t.path() / "sub.dwg");
  auto all = os::listDirectory(root);
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 4u);
  EXPECT_EQ((*all)[0].name, L"a.dwg");
  auto dwg = os::listDirectory(root, L"*.DWG");
  ASSERT_TRUE(dwg);
  ASSERT_EQ(dwg->size(), 3u);
  EXPECT_EQ((*dwg)[1].name, L"b.DWG");
  EXPECT_EQ((*dwg)[1].size, 2u);
  EXPECT_TRUE((*dwg)[2].isDirectory);
  EXPECT_FALSE(os::listDirectory(at(L"missing")).has_value());
}

TEST_F(Files, WholeFileReadWrite) {
  EXPECT_TRUE(os::writeFile(at(L"数据.bin"), std::string("a\0b", 3)));
  EXPECT_EQ(os::readFile(at(L"数据.BIN")).value(), std::string("a\0b", 3));
  EXPECT_TRUE(os::writeFile(at(L"数据.BIN"), "replaced"));
  EXPECT_EQ(t.read("数据.bin"), "replaced");
  EXPECT_EQ(os::listDirectory(root)->size(), 1u);  // no temporary left behind
  EXPECT_FALSE(os::writeFile(at(L"nodir\\x"), "x"));
  EXPECT_FALSE(os::readFile(at(L"missing")).has_value());
}

// A save onto a link writes the file the link names, whole, and the link
// stays; one onto a device or a folder is refused and leaves it alone.
TEST_F(Files, ReplacingFollowsLinksAndRefusesWhatIsNoRegularFile) {
  namespace fs = std::filesystem;
  const fs::path drawing = t.write("elsewhere/3层.DWG", "old");
  fs::create_directories(t.path() / "project");
  fs::create_symlink("../elsewhere/3层.DWG", t.path() / "project" / "3层.DWG");  // relative
  fs::create_symlink(t.path() / "project" / "3层.DWG", t.path() / "chain.DWG");  // a link to a link
  fs::create_symlink(t.path() / "elsewhere" / "new.DWG", t.path() / "dangling.DWG");
  struct Case { fs::path named, written; const char* bytes; } cases[] = {
      {t.path() / "project" / "3层.DWG", drawing, "saved through the link"},
      {t.path() / "chain.DWG", drawing, "saved through two links"},
      {t.path() / "dangling.DWG", t.path() / "elsewhere" / "new.DWG", "made where the link points"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named.string());
    ASSERT_TRUE(os::replaceFileAtomically(c.named, c.bytes)) << os::lastError();
    EXPECT_TRUE(fs::is_symlink(c.named));
    EXPECT_EQ(t.read(c.written.lexically_relative(t.path()).string()), c.bytes);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(t.path() / "elsewhere"), {}), 2);  // no temporary left
  fs::create_symlink("/dev/null", t.path() / "null.DWG");
  for (const fs::path& refused : {fs::path("/dev/null"), t.path() / "null.DWG", t.path() / "project"}) {
    SCOPED_TRACE(refused.string());
    EXPECT_FALSE(os::replaceFileAtomically(refused, "x"));
    EXPECT_FALSE(os::lastError().empty());
  }
  EXPECT_NE(os::lastError().find("is a folder"), std::string::npos) << os::lastError();
  EXPECT_FALSE(os::replaceFileAtomically("/dev/null", "x"));
  EXPECT_NE(os::lastError().find("not a regular file"), std::string::npos) << os::lastError();
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink(t.path() / "null.DWG"));
}

// Input given by the user is read whole up to a bound; a folder and an input
// with no end are refused with the reason.
TEST_F(Files, InputIsReadWithABound) {
  t.write("s.scr", std::string(1000, 'x'));
  EXPECT_EQ(os::readInput(t.path() / "s.scr", 1000).value(), std::string(1000, 'x'));
  struct Case { std::filesystem::path file; size_t limit; const char* reason; } cases[] = {
      {t.path() / "s.scr", 999, "holds more than 999 bytes"},
      {"/dev/zero", std::size_t(1) << 20, "/dev/zero is a device, not a file"},
      {t.path(), 1000, "is a folder"},
      {t.path() / "missing.scr", 1000, "No such file"},
      {"/dev/null", 1000, "/dev/null is a device, not a file"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(os::readInput(c.file, c.limit).has_value()) << c.file;
    EXPECT_NE(os::lastError().find(c.reason), std::string::npos) << os::lastError();
  }
  // Standard input with no end stops at the bound.
  const int zero = ::open("/dev/zero", O_RDONLY);
  ASSERT_GE(zero, 0);
  EXPECT_FALSE(os::readInputFrom(zero, "standard input", std::size_t(1) << 20).has_value());
  ::close(zero);
  EXPECT_EQ(os::lastError(), "standard input holds more than 1 MB");
}

TEST_F(Files, TemporaryNamesAreNewFiles) {
  std::wstring a = os::tempFileName(root, L"zb");
  std::wstring b = os::tempFileName(root, L"zb");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(os::isFile(a));
  EXPECT_EQ(os::fileNameOf(a).substr(0, 2), L"zb");
  EXPECT_EQ(os::extensionOf(a), L".tmp");
  EXPECT_TRUE(os::tempFileName(at(L"missing")).empty());
  EXPECT_TRUE(os::isDirectory(os::tempDirectory()));
}

TEST(LocalTime, RealAndFixed) {
  os::LocalTime now = os::localTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.dayOfWeek >= 0 && now.dayOfWeek <= 6);
  os::LocalTime fixed{2024, 3, 5, 14, 7, 9, 0, 2};
  os::setFixedLocalTime(fixed);
  EXPECT_EQ(os::localTime().minute, 7);
  EXPECT_EQ(os::localTime().year, 2024);
  os::setFixedLocalTime(std::nullopt);
  EXPECT_GE(os::localTime().year, 2020);
}

}  // namespace
