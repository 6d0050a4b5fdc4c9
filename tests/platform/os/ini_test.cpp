#include <gtest/gtest.h>

#include "platform/os/os.h"
#include "tests/platform/os/tempdir.h"

namespace {

std::wstring W(const std::filesystem::path& p) { return os::fromUtf8(p.string()); }
const std::filesystem::path kFixtures = std::filesystem::path(KIV_SOURCE_DIR) / "tests/fixtures/os";

TEST(Ini, ReadsSectionsKeysAndValues) {
  os::IniFile ini;
  ASSERT_TRUE(ini.load(W(kFixtures / "project.ini")));
  EXPECT_EQ(ini.encoding(), os::IniFile::Encoding::Utf8);
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    std::optional<std::wstring> value;
  } cases[] = {
      {L"工程档案", L"工程名称", L"示例工程"},  // blanks around key and value trimmed
      {L"工程档案", L"工程量规则", L"清单"},
      {L" 软件设置 ", L"定额换算", L""},        // present but empty
      {L"软件设置", L"quoted", L" padded "},    // quotes removed, inside kept
      {L"软件设置", L"Name", L"first"},          // first duplicate wins
      {L"软件设置", L"missing", std::nullopt},
      {L"no section", L"name", std::nullopt},
      {L"软件设置", L"; software", std::nullopt},  // comments are no keys
  };
  for (const auto& c : cases) EXPECT_EQ(ini.get(c.section, c.key), c.value) << os::toUtf8(c.key);
  EXPECT_EQ(ini.sections(), (std::vector<std::wstring>{L"工程档案", L"软件设置"}));
  EXPECT_EQ(ini.keys(L"软件设置"), (std::vector<std::wstring>{L"定额换算", L"Quoted", L"name"}));
  EXPECT_EQ(ini.get(L"软件设置", L"missing", L"dflt"), L"dflt");
}

TEST(Ini, WritingAKeyKeepsEverythingElse) {
  kivtest::TempDir t;
  std::filesystem::copy_file(kFixtures / "project.ini", t.path() / "000.GC");
  std::string before = t.read("000.GC");
  std::wstring path = W(t.path()) + L"\\000.gc";

  ASSERT_TRUE(os::iniWrite(path, L"工程档案", L"工程量规则", L"纯清单"));
  ASSERT_TRUE(os::iniWrite(path, L"工程档案", L"新键", L"1"));
  ASSERT_TRUE(os::iniWrite(path, L"新节", L"k", L"v"));
  std::string after = t.read("000.GC");
  std::string expected = before;
  expected.replace(expected.find("工程量规则=清单"), std::string("工程量规则=清单").size(),
                   "工程量规则=纯清单\r\n新键=1");
  expected += "[新节]\r\nk=v\r\n";
  EXPECT_EQ(after, expected);
  EXPECT_EQ(os::iniRead(path, L"工程档案", L"工程量规则"), L"纯清单");
}

TEST(Ini, CodePageFileIsReadAndWrittenInItsEncoding) {
  kivtest::TempDir t;
  std::filesystem::copy_file(kFixtures / "gbk.ini", t.path() / "gbk.ini");
  std::wstring path = W(t.path() / "gbk.ini");
  os::IniFile ini;
  ASSERT_TRUE(ini.load(path));
  EXPECT_EQ(ini.encoding(), os::IniFile::Encoding::CodePage);
  EXPECT_EQ(ini.get(L"工程档案", L"工程量规则"), L"定额");
  ini.set(L"工程档案", L"工程量规则", L"清单");
  ASSERT_TRUE(ini.save());
  // GBK bytes of 清单, and the file's own "\n" line ends.
  EXPECT_EQ(t.read("gbk.ini"), "[\xB9\xA4\xB3\xCC\xB5\xB5\xB0\xB8]\n\xB9\xA4\xB3\xCC\xC1\xBF\xB9\xE6\xD4\xF2=\xC7\xE5\xB5\xA5\n");
}

TEST(Ini, MissingFileAndRemoval) {
  kivtest::TempDir t;
  std::wstring path = W(t.path() / "new.ini");
  EXPECT_EQ(os::iniRead(path, L"a", L"b", L"fallback"), L"fallback");
  os::IniFile ini;
  EXPECT_FALSE(ini.load(path));
  ini.set(L"s1", L"a", L"1");
  ini.set(L"s1", L"b", L"2");
  ini.set(L"s2", L"c", L"3");
  EXPECT_TRUE(ini.removeKey(L"S1", L"A"));
  EXPECT_FALSE(ini.removeKey(L"s1", L"a"));
  EXPECT_TRUE(ini.removeSection(L"s2"));
  EXPECT_FALSE(ini.hasSection(L"s2"));
  ASSERT_TRUE(ini.save());  // created where it was loaded from
  EXPECT_EQ(t.read("new.ini"), "[s1]\r\nb=2\r\n");
  EXPECT_FALSE(os::IniFile().save());  // no path to write to
  // A folder in the way is not overwritten.
  std::filesystem::create_directory(t.path() / "dir.ini");
  EXPECT_FALSE(os::iniWrite(W(t.path() / "dir.ini"), L"a", L"b", L"c"));
  EXPECT_TRUE(std::filesystem::is_directory(t.path() / "dir.ini"));
}

TEST(Ini, BomAndUtf16FilesKeepTheirForm) {
  kivtest::TempDir t;
  t.write("bom.ini", "\xEF\xBB\xBF[a]\nk=v\n");
  t.write("u16.ini", std::string("\xFF\xFE[\0a\0]\0\n\0k\0=\0v\0\n\0", 18));
  for (const char* name : {"bom.ini", "u16.ini"}) {
    std::wstring path = W(t.path() / name);
    EXPECT_EQ(os::iniRead(path, L"A", L"K"), L"v") << name;
    ASSERT_TRUE(os::iniWrite(path, L"a", L"k", L"w"));
    EXPECT_EQ(os::iniRead(path, L"a", L"k"), L"w") << name;
  }
  EXPECT_EQ(t.read("bom.ini"), "\xEF\xBB\xBF[a]\nk=w\n");
  EXPECT_EQ(t.read("u16.ini").substr(0, 2), "\xFF\xFE");
}

}  // namespace
