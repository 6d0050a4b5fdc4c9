// Numbers, splitting and joining, and attribute lists.
#include "module/toolkit/strings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "module/toolkit/suite_call.h"
#include "platform/editor/cmdline.h"

namespace {

TEST(RoundTo, HalvesGoUpTowardsPlusInfinity) {
  struct Case {
    double x;
    int n;
    double want;
  };
  const Case cases[] = {
      {1.25, 1, 1.3},    {-1.25, 1, -1.2},  {1234.0, -2, 1200.0}, {2.5, 0, 3.0},
      {-2.5, 0, -2.0},   {-2.6, 0, -3.0},   {0.0, 3, 0.0},        {1250.0, -2, 1300.0},
      {2.344, 2, 2.34},  {-0.5, 0, 0.0},    {7.0, 0, 7.0},        {0.125, 2, 0.13},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(RoundTo(c.x, c.n), c.want, 1e-9) << c.x << " at " << c.n;
  EXPECT_TRUE(std::isnan(RoundTo(NAN, 2)));
}

TEST(RoundTo, KeptPowersGiveTheScaledRoundingOfPow) {
  // Over and beyond the kept range of powers: the result is the one the
  // scaling by std::pow gives, to the bit.
  auto byPow = [](double x, int n) {
    const double a = x * std::pow(10.0, n);
    double f = std::floor(a);
    if (a - f >= 0.5) f += 1.0;
    return f * std::pow(10.0, -n);
  };
  for (int n : {-25, -21, -20, -3, 0, 1, 3, 5, 20, 21, 25})
    for (double x : {0.0015, 1.2345678, -7.77777, 123456.789, 1e-7, 2.5e12})
      EXPECT_EQ(RoundTo(x, n), byPow(x, n)) << x << " at " << n;
}

TEST(ReadNumber, ReadsAsWcstodReads) {
  const wchar_t* cases[] = {
      L"2800.0", L"-150", L"0.125", L"+3.5", L"-0", L"0.1", L"123456789.123456789",
      L"0.30000000000000004", L"5.", L".5", L"1e3", L"12abc", L" 7", L"", L"-", L"abc",
      L"1.7976931348623157e308", L"99999999999999999999999999999999999999999999999999999999999999999999.5",
  };
  for (const wchar_t* c : cases) {
    const double want = std::wcstod(c, nullptr), got = ReadNumber(c);
    EXPECT_EQ(std::signbit(got), std::signbit(want)) << c;
    EXPECT_EQ(got, want) << c;
  }
  // A text with a NUL inside is read up to the NUL.
  EXPECT_EQ(ReadNumber(std::wstring_view(L"12\0" L"34", 5)), 12.0);
}

TEST(FormatNumber, PrintfDecimalsAfterRounding) {
  struct Case {
    double x;
    int n;
    const wchar_t* want;
  };
  const Case cases[] = {
      {2.0, 2, L"2.00"}, {2.5, 0, L"3"},      {-2.5, 0, L"-2"},      {1.005, 1, L"1.0"},
      {1234.0, -2, L"1200"}, {0.125, 2, L"0.13"}, {-1.25, 1, L"-1.2"}, {3.14159, 4, L"3.1416"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatNumber(c.x, c.n), c.want) << c.x << " at " << c.n;
  EXPECT_EQ(FormatNumber(1e300, 2).size(), 304u);  // 301 digits, a point, 2 decimals
}

// The digits of a rounded value are printf's own, whatever the way to them:
// values around zero (signed zero included), halves, long fractions, the
// edge of the moderate range and beyond it.
TEST(FormatNumber, SameTextAsPrintfOfTheRoundedValue) {
  std::uint64_t state = 12345;
  auto next = [&] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return double(state >> 11) / double(1ull << 53);
  };
  std::vector<double> values = {0.0, -0.0, 0.04, -0.04, 0.05, -0.05, 0.95, 999999999.95, -999999999.95,
                                1e9, 123456789.123456, 2800.0, -400.0, 1e-7, 4.35, 0.1 + 0.2};
  for (int i = 0; i < 20000; ++i) values.push_back((next() - 0.5) * std::pow(10.0, int(next() * 22) - 8));
  for (double x : values)
    for (int n = 0; n <= 7; ++n) {
      const double r = RoundTo(x, n);
      wchar_t want[512];
      std::swprintf(want, 512, L"%.*lf", n, r);
      ASSERT_EQ(FormatNumber(x, n), want) << x << " at " << n;
    }
}

TEST(Join, SeparatorOnlyBetweenItems) {
  std::wstring out = L"stale";
  JoinArray({}, L",", out);
  EXPECT_EQ(out, L"");
  JoinArray({L"a"}, L",", out);
  EXPECT_EQ(out, L"a");
  JoinArray({L"", L""}, L",", out);
  EXPECT_EQ(out, L",");
  JoinLines({L"a=1", L"b=2"}, out);
  EXPECT_EQ(out, L"a=1\r\nb=2");
  JoinList({L"x", L"y", L"z"}, L"·", out);
  EXPECT_EQ(out, L"x·y·z");
}

TEST(Split, WholeTextTrimmedPiecesKept) {
  struct Case {
    const wchar_t* text;
    const wchar_t* sep;
    StringArray want;
  };
  const Case cases[] = {
      {L"", L",", {}},
      {L"   ", L",", {L""}},
      {L"a,,b,", L",", {L"a", L"", L"b", L""}},
      {L" a,b ", L",", {L"a", L"b"}},
      {L"a, b", L",", {L"a", L" b"}},
      {L"轴网,辅助轴网,砼墙", L",", {L"轴网", L"辅助轴网", L"砼墙"}},
      {L"a=1\r\nb=2\r\n", L"\r\n", {L"a=1", L"b=2"}},
      {L"\r\n a=1\r\n\r\nb=2", L"\r\n", {L"a=1", L"", L"b=2"}},
  };
  for (const auto& c : cases) {
    StringArray out{L"stale"};
    SplitToArray(c.text, c.sep, out);
    EXPECT_EQ(out, c.want) << "text: " << testing::PrintToString(std::wstring(c.text));
    StringList list{L"stale"};
    SplitToList(c.text, c.sep, list);
    EXPECT_EQ(StringArray(list.begin(), list.end()), c.want);
  }
  StringArray lines;
  SplitLines(L"x\r\ny", lines);
  EXPECT_EQ(lines, (StringArray{L"x", L"y"}));
}

TEST(SplitHeadTail, FirstSeparatorOnly) {
  struct Case {
    const wchar_t* text;
    const wchar_t* head;
    const wchar_t* tail;
  };
  const Case cases[] = {
      {L"管径=DN50", L"管径", L"DN50"},
      {L"公式=a=b", L"公式", L"a=b"},
      {L"no separator", L"", L""},
      {L"=value", L"", L"value"},
      {L"name=", L"name", L""},
  };
  for (const auto& c : cases) {
    std::wstring head = L"x", tail = L"y";
    SplitHeadTail(c.text, L"=", head, tail);
    EXPECT_EQ(head, c.head);
    EXPECT_EQ(tail, c.tail);
  }
}

TEST(ReplaceAll, SearchesAgainFromTheStart) {
  std::wstring t = L"a*b*c";
  ReplaceAll(t, L"*", L"·");
  EXPECT_EQ(t, L"a·b·c");
  t = L"■首层=1";
  ReplaceAll(t, L"■", L"");
  EXPECT_EQ(t, L"首层=1");
  // Text formed by a replacement is matched again.
  t = L"aaab";
  ReplaceAll(t, L"ab", L"b");
  EXPECT_EQ(t, L"b");
}

TEST(ReplaceAll, EndsWhenTheReplacementHoldsTheSearchedText) {
  std::wstring t = L"a-b-c";
  ReplaceAll(t, L"-", L"--");
  EXPECT_EQ(t, L"a--b--c");
  // The replacement forms a new occurrence with the text after it: the pass
  // carries on after what it inserted and ends.
  t = std::wstring(12, L'W') + std::wstring(20, L'&');
  ReplaceAll(t, L"W&", L"&WW");
  EXPECT_EQ(t, std::wstring(11, L'W') + L"&WW" + std::wstring(19, L'&'));
  // A shorter replacement leaves no occurrence at all.
  t = L"a|||||b||c";
  ReplaceAll(t, L"||", L"|");
  EXPECT_EQ(t, L"a|b|c");
  t = L"abc";
  ReplaceAll(t, L"", L"x");
  EXPECT_EQ(t, L"abc");
}

TEST(AttrValue, FirstExactNameWins) {
  const StringArray attrs = {L"no equals sign", L"管径=DN50", L"材质=镀锌钢管",
                             L"管径=DN80",      L"公式=a=b",  L"Name=upper"};
  struct Case {
    const wchar_t* key;
    const wchar_t* want;
  };
  const Case cases[] = {
      {L"管径", L"DN50"}, {L"公式", L"a=b"}, {L"name", L""},  {L"管径 ", L""},
      {L"no equals sign", L""}, {L"", L""}, {L"材质", L"镀锌钢管"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetAttrValue(attrs, c.key), c.want) << testing::PrintToString(std::wstring(c.key));
    std::wstring v = L"stale";
    FindAttrValue(attrs, c.key, v);
    EXPECT_EQ(v, c.want);
  }
}

// Without the base library the index lookups answer by an exact search, so
// SetAttrValue still replaces rather than adding a second item.
class WithoutBaseLibrary : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_hostBaseLib;
    g_hostBaseLib = nullptr;
    ResetSuiteMissReports();
    mark_ = ed::transcriptMark();
  }
  void TearDown() override { g_hostBaseLib = saved_; }
  std::wstring printed() const { return ed::transcriptSince(mark_); }
  os::ModuleHandle saved_ = nullptr;
  size_t mark_ = 0;
};

TEST_F(WithoutBaseLibrary, SetAttrValueReplacesInPlaceOrAppends) {
  StringArray attrs;
  SetAttrValue(attrs, L"管径", L"DN50");
  EXPECT_EQ(attrs, (StringArray{L"管径=DN50"}));
  attrs = {L"材质=钢", L"管径=DN50", L"长度=3"};
  SetAttrValue(attrs, L"管径", L"DN80");
  EXPECT_EQ(attrs, (StringArray{L"材质=钢", L"管径=DN80", L"长度=3"}));
  SetAttrValue(attrs, L"坡度", L"0.003");
  EXPECT_EQ(attrs.back(), L"坡度=0.003");
  EXPECT_EQ(attrs.size(), 4u);
}

TEST_F(WithoutBaseLibrary, LookupsAnswerAndTheMissIsToldOnce) {
  EXPECT_EQ(TStrsIndexOf({}, L"a"), -1);
  EXPECT_EQ(printed(), L"");  // an empty array never asks the library
  EXPECT_EQ(TStrsIndexOf({L"a", L"b"}, L"b"), 1);
  EXPECT_EQ(TStrsIndexOfName({L"a=1", L"b=2"}, L"b"), 1);
  EXPECT_EQ(TStrsIndexOfName({L"a=1"}, L"c"), -1);
  EXPECT_EQ(PrecStr(2.5, 1), L"");
  const std::wstring text = printed();
  const std::wstring msg = L"缺少 Tolm.dll";
  ASSERT_NE(text.find(msg), std::wstring::npos) << text;
  EXPECT_EQ(text.find(msg, text.find(msg) + 1), std::wstring::npos) << "told more than once";
}

}  // namespace
