#include <numbers>

#include "fixture.h"
#include "platform/editor/detail.h"
#include "platform/os/os.h"

using namespace edtest;
using ed::TokenKind;

namespace {

class Prompts : public EditorTest {};

TEST_F(Prompts, KeywordMatching) {
  struct Case {
    const wchar_t* keywords;
    const wchar_t* typed;
    const wchar_t* expect;  // global keyword, or "" for no match
  };
  const Case cases[] = {
      {L"Undo Close", L"U", L"Undo"},       {L"Undo Close", L"u", L"Undo"},
      {L"Undo Close", L"undo", L"Undo"},    {L"Undo Close", L"clo", L"Close"},
      {L"Undo Close", L"x", L""},           {L"eXit Undo", L"X", L"eXit"},
      {L"eXit Undo", L"E", L""},            {L"A U", L"a", L"A"},
      {L"Left LIne", L"LI", L"LIne"},       {L"Left LIne", L"L", L"Left"},
      {L"撤销 关闭", L"关闭", L"关闭"},       {L"Yes No _Oui Non", L"n", L"Non"},
  };
  for (const auto& c : cases) {
    ed::initGet(0, c.keywords);
    auto ig = ed::detail::takeInitGet();
    EXPECT_EQ(ed::detail::matchKeyword(ig, c.typed), std::wstring(c.expect))
        << "keywords \"" << os::toUtf8(c.keywords) << "\" typed \"" << os::toUtf8(c.typed) << "\"";
  }
}

TEST_F(Prompts, PointResults) {
  geom::Point3d base(10, 10, 0), p;
  std::wstring kw;
  feed({point(1, 2), text(L"3,4,5"), text(L"@1,1"), key(TokenKind::Enter), key(TokenKind::Escape)});
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, geom::Point3d(1, 2, 0));
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, geom::Point3d(3, 4, 5));
  EXPECT_EQ(ed::getPoint(&base, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, geom::Point3d(11, 11, 0));
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNone);
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kCancel);
  // An empty queue answers like Escape and is counted.
  int before = ed::inputQueue().exhaustedCount();
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kCancel);
  EXPECT_EQ(ed::inputQueue().exhaustedCount(), before + 1);
}

TEST_F(Prompts, InitGetHoldsForOnePromptOnly) {
  geom::Point3d p;
  std::wstring kw;
  feed({text(L"u"), text(L"u"), point(0, 0)});
  ed::initGet(0, L"Undo");
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kKeyword);
  ASSERT_EQ(ed::getInput(kw), ed::kNormal);
  EXPECT_EQ(kw, L"Undo");
  // The next prompt has no keywords: "u" is an invalid point, re-prompted.
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_NE(ed::transcript().find(L"点无效"), std::wstring::npos);
}

TEST_F(Prompts, ArbitraryInputAndNoNull) {
  geom::Point3d p;
  std::wstring kw;
  // kNoNull: Enter re-prompts; 0x80 with no keywords: any text is a keyword.
  feed({key(TokenKind::Enter), text(L"甲乙 丙")});
  ed::initGet(ed::kNoNull | ed::kArbitraryInput, L"");
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kKeyword);
  ASSERT_EQ(ed::getInput(kw), ed::kNormal);
  EXPECT_EQ(kw, L"甲乙 丙");
  // A point still comes back as a point.
  feed({text(L"5,6")});
  ed::initGet(ed::kArbitraryInput, L"");
  EXPECT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, geom::Point3d(5, 6, 0));
}

TEST_F(Prompts, NumbersRejectBadTextAndFlaggedValues) {
  int i = 0;
  double r = 0;
  feed({text(L"abc"), text(L"2.5"), text(L"0"), text(L"-3"), text(L"7")});
  ed::initGet(ed::kNoZero | ed::kNoNegative);
  EXPECT_EQ(ed::getInt(L"\n数:", i), ed::kNormal);
  EXPECT_EQ(i, 7);
  feed({key(TokenKind::Enter), text(L"1e3")});
  EXPECT_EQ(ed::getReal(L"\n数:", r), ed::kNone);
  EXPECT_EQ(ed::getReal(L"\n数:", r), ed::kNormal);
  EXPECT_DOUBLE_EQ(r, 1000);
}

TEST_F(Prompts, DistanceAndAngleFromPoints) {
  geom::Point3d base(0, 0, 0);
  double d = 0, a = 0;
  feed({point(3, 4), point(1, 1), point(4, 5), text(L"90"), point(0, 5)});
  EXPECT_EQ(ed::getDist(&base, L"\n距离:", d), ed::kNormal);
  EXPECT_DOUBLE_EQ(d, 5);
  // Without a base the first point asks for a second.
  EXPECT_EQ(ed::getDist(nullptr, L"\n距离:", d), ed::kNormal);
  EXPECT_DOUBLE_EQ(d, 5);
  EXPECT_EQ(ed::getAngle(&base, L"\n角度:", a), ed::kNormal);
  EXPECT_NEAR(a, std::numbers::pi / 2, 1e-12);
  EXPECT_EQ(ed::getAngle(&base, L"\n角度:", a), ed::kNormal);
  EXPECT_NEAR(a, std::numbers::pi / 2, 1e-12);
}

TEST_F(Prompts, StringWithAndWithoutSpaces) {
  std::wstring s;
  feed({text(L"a b"), text(L"a b"), key(TokenKind::Space), key(TokenKind::RightClick)});
  EXPECT_EQ(ed::getString(true, L"\n文字:", s), ed::kNormal);
  EXPECT_EQ(s, L"a b");
  EXPECT_EQ(ed::getString(false, L"\n文字:", s), ed::kNormal);
  EXPECT_EQ(s, L"a");
  EXPECT_EQ(ed::getString(false, L"\n文字:", s), ed::kNormal);
  EXPECT_EQ(s, L"");
  EXPECT_EQ(ed::getString(true, L"\n文字:", s), ed::kNormal);
  EXPECT_EQ(s, L"");
}

TEST_F(Prompts, GetKeywordRepromptsOnWrongWord) {
  std::wstring kw;
  feed({text(L"Q"), text(L"p")});
  ed::initGet(0, L"Polar Rectangular");
  EXPECT_EQ(ed::getKeyword(L"\n类型:", kw), ed::kNormal);
  EXPECT_EQ(kw, L"Polar");
  EXPECT_NE(ed::transcript().find(L"无效选项关键字"), std::wstring::npos);
}

TEST_F(Prompts, CommandLineWindowTextAndFormat) {
  EXPECT_EQ(ed::commandWindowText().substr(0, 3), L"命令:");
  // Wide "%s" as the modules write it.
  EXPECT_EQ(ed::format(L"■%s=%d|%.2f|%c", L"层", 3, 1.5, L'甲'), L"■层=3|1.50|甲");
  ed::print(L"\n选中%d个，总计%d个", 2, 5);
  EXPECT_NE(ed::transcript().find(L"选中2个，总计5个"), std::wstring::npos);
}

}  // namespace
