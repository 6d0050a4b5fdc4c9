// The category table and the numbered point types.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "module/toolkit/globals.h"

namespace {

StringArray typesOf(size_t category) {
  StringArray types;
  SplitToArray(g_gjCategoryTypes.at(category), L",", types);
  return types;
}

bool listed(const std::wstring& type) {
  for (size_t i = 0; i < g_gjCategoryTypes.size(); ++i) {
    auto t = typesOf(i);
    if (std::find(t.begin(), t.end(), type) != t.end()) return true;
  }
  return false;
}

TEST(CategoryTable, BuiltOnceWhateverTheNumberOfBuilds) {
  BuildGjCategoryTable();
  BuildGjCategoryTable();
  EXPECT_EQ(g_gjCategories.size(), 31u);
  EXPECT_EQ(g_gjCategoryTypes.size(), 31u);
  EXPECT_EQ(g_numberedPointTypes.size(), 20u);
}

TEST(CategoryTable, EveryTypeBelongsToOneCategory) {
  BuildGjCategoryTable();
  std::set<std::wstring> seen;
  size_t count = 0;
  for (size_t i = 0; i < g_gjCategoryTypes.size(); ++i)
    for (const auto& t : typesOf(i)) {
      EXPECT_FALSE(t.empty());
      EXPECT_EQ(t.find(L' '), std::wstring::npos);
      EXPECT_TRUE(seen.insert(t).second) << "twice: " << testing::PrintToString(t);
      ++count;
    }
  EXPECT_EQ(count, 183u);
}

TEST(CategoryTable, PositionsAndSpellings) {
  BuildGjCategoryTable();
  // Position, category, and its first and last type.
  struct Case {
    size_t index;
    const wchar_t* category;
    const wchar_t* first;
    const wchar_t* last;
  };
  const Case cases[] = {
      {0, L"轴网", L"轴网", L"轴网"},
      {9, L"多义构件", L"线构件", L"体构件"},
      {10, L"管道", L"给水管", L"其它管道"},      // plumbing starts
      {15, L"管道配件", L"管道堵头", L"管道四通"},  // plumbing ends
      {16, L"管线", L"照明导线", L"其它导线"},     // electrical starts
      {21, L"附件、零星", L"接线盒", L"设备基础"},  // electrical ends
      {22, L"风管", L"送风管", L"其它风管"},       // HVAC starts
      {30, L"水管配件", L"水管堵头", L"水管四通"},  // HVAC ends
  };
  for (const auto& c : cases) {
    EXPECT_EQ(g_gjCategories[c.index], c.category);
    auto t = typesOf(c.index);
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.front(), c.first);
    EXPECT_EQ(t.back(), c.last);
  }
  // Compared exactly as written: ASCII parentheses, a middle dot, "其它".
  EXPECT_TRUE(listed(L"热回水管(暖通)"));
  EXPECT_FALSE(listed(L"热回水管（暖通）"));
  EXPECT_TRUE(listed(L"导线·导管"));
  EXPECT_TRUE(listed(L"其它卫生器具"));
  EXPECT_FALSE(listed(L"其他卫生器具"));
}

TEST(CategoryTable, NumberedPointTypes) {
  BuildGjCategoryTable();
  EXPECT_EQ(g_numberedPointTypes.front(), L"管道补偿器");
  EXPECT_EQ(g_numberedPointTypes.back(), L"暖通设备基础");
  for (const auto& t : g_numberedPointTypes) {
    if (t == L"排烟口") {
      EXPECT_FALSE(listed(t)) << "排烟口 stands in no category";
    } else {
      EXPECT_TRUE(listed(t)) << testing::PrintToString(t);
    }
  }
  EXPECT_NE(std::find(g_numberedPointTypes.begin(), g_numberedPointTypes.end(), L"排烟口"),
            g_numberedPointTypes.end());
}

}  // namespace
