#include <gtest/gtest.h>

#include "platform/os/os.h"

namespace {

TEST(Utf8, RoundTripsEveryPlane) {
  const std::wstring cases[] = {L"", L"Tolm.dll", L"系统文件\\示例工程", L"é ß Ω", L"\U0001F600x"};
  for (const auto& w : cases) {
    EXPECT_TRUE(os::isValidUtf8(os::toUtf8(w)));
    EXPECT_EQ(os::fromUtf8(os::toUtf8(w)), w);
  }
  EXPECT_EQ(os::toUtf8(L"系"), "\xE7\xB3\xBB");
  EXPECT_EQ(os::toUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Utf8, MalformedInputBecomesReplacementAndLosesNothingElse) {
  struct Case {
    std::string bytes;
    std::wstring text;
  } cases[] = {
      {"a\xFF" "b", L"a\uFFFDb"},          // invalid lead byte
      {"\xE7\xB3", L"\uFFFD\uFFFD"},        // truncated sequence
      {"\xC0\xAF", L"\uFFFD\uFFFD"},        // overlong '/'
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // UTF-16 surrogate
      {"ok\xE7\xB3\xBB", L"ok系"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(os::fromUtf8(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(os::isValidUtf8(c.bytes), c.text.find(L'\uFFFD') == std::wstring::npos) << c.bytes;
  }
}

TEST(CodePage, GbkIsTheDefaultAndRoundTrips) {
  EXPECT_EQ(os::codePage(), "GBK");
  const std::string gbk = "\xCF\xB5\xCD\xB3\xCE\xC4\xBC\xFE";  // 系统文件
  EXPECT_EQ(os::fromCodePage(gbk), L"系统文件");
  EXPECT_EQ(os::toCodePage(L"系统文件"), gbk);
  EXPECT_EQ(os::toCodePage(L"A1"), "A1");
}

TEST(CodePage, BadTextIsMarkedNotDropped) {
  // A character GBK cannot hold becomes '?'; a broken byte pair becomes U+FFFD.
  EXPECT_EQ(os::toCodePage(L"a\U0001F600b"), "a?b");
  std::wstring w = os::fromCodePage("x\xCF");
  EXPECT_EQ(w.substr(0, 1), L"x");
  EXPECT_NE(w.find(L'\uFFFD'), std::wstring::npos);
}

TEST(CodePage, UnknownNameIsRefusedAndOtherNamesWork) {
  EXPECT_FALSE(os::setCodePage("NO-SUCH-CODE-PAGE"));
  EXPECT_FALSE(os::lastError().empty());
  EXPECT_EQ(os::codePage(), "GBK");
  ASSERT_TRUE(os::setCodePage("ISO-8859-1"));
  EXPECT_EQ(os::fromCodePage("\xE9"), L"é");
  ASSERT_TRUE(os::setCodePage("GBK"));
  EXPECT_FALSE(os::decode("x", "NO-SUCH").has_value());
  EXPECT_EQ(os::encode(L"A", "UTF-16LE").value(), std::string("A\0", 2));
}

TEST(Case, UpperLowerAndCompare) {
  EXPECT_EQ(os::toUpper(L"/work/Tolm.dll"), L"/WORK/TOLM.DLL");
  EXPECT_EQ(os::toUpper(L"系统文件\\a"), L"系统文件\\A");
  EXPECT_EQ(os::toLower(L"ZEB.ARX"), L"zeb.arx");
  EXPECT_TRUE(os::iequals(L"KivZeb.arx", L"KIVZEB.ARX"));
  EXPECT_FALSE(os::iequals(L"Zeb.Arx", L"Zeb.Ar"));
}

TEST(Wildcard, Patterns) {
  struct Case {
    const wchar_t* name;
    const wchar_t* pattern;
    bool match;
  } cases[] = {
      {L"A.DWG", L"*.dwg", true},    {L"a.dwg.bak", L"*.dwg", false}, {L"首层.DWG", L"*.DWG", true},
      {L"x", L"*.*", true},          {L"abc", L"a?c", true},          {L"ac", L"a?c", false},
      {L"aXbXc", L"a*b*c", true},    {L"aXbX", L"a*b*c", false},     {L"", L"*", true},
      {L"007.DB", L"0??.db", true},
  };
  for (const auto& c : cases) EXPECT_EQ(os::wildcardMatch(c.name, c.pattern), c.match) << c.name << " " << c.pattern;
}

}  // namespace
