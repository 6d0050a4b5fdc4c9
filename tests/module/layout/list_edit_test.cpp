// The rules of the editable row lists: which click edits which cell, what
// the end of an edit writes, and which texts are refused.
#include "module/layout/list_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<StringArray> chain() {
  return {{L"1", L"给水管", L"J1", L"0", L"3000"},
          {L"2", L"给水管", L"J1", L"3000", L"6000"},
          {L"3", L"给水管", L"J2", L"6000", L"9000"}};
}

TEST(EditListRules, FirstClickSelectsSecondClickOnAnEditableCellEdits) {
  const struct {
    EditListKind kind;
    int row, col;
    ListClickAction first, second;
  } cases[] = {
      {EditListKind::MultiLine, 1, 3, ListClickAction::Select, ListClickAction::Edit},
      {EditListKind::MultiLine, 1, 4, ListClickAction::Select, ListClickAction::Edit},
      {EditListKind::MultiLine, 1, 2, ListClickAction::Select, ListClickAction::Select},
      {EditListKind::Through, 0, 3, ListClickAction::Edit, ListClickAction::Edit},  // one click
      {EditListKind::Through, 1, 3, ListClickAction::Select, ListClickAction::Select},
      {EditListKind::Through, 2, 4, ListClickAction::Select, ListClickAction::Edit},
      {EditListKind::Through, 0, 1, ListClickAction::Select, ListClickAction::Select},
  };
  for (const auto& c : cases) {
    EditListRules rules(c.kind);
    EXPECT_EQ(rules.click(c.row, c.col, false), c.first) << c.row << "," << c.col;
    EXPECT_EQ(rules.click(c.row, c.col, false), c.second) << c.row << "," << c.col;
  }
  // Another cell in between starts over; a click outside every row clears
  // the selection unless an edit is open.
  EditListRules rules(EditListKind::MultiLine);
  rules.click(0, 3, false);
  rules.click(1, 3, false);
  EXPECT_EQ(rules.click(0, 3, false), ListClickAction::Select);
  rules.click(-1, 0, true);
  EXPECT_TRUE(rules.cellSelected());
  rules.click(-1, 0, false);
  EXPECT_FALSE(rules.cellSelected());
}

TEST(EditListRules, AnEditedEndCarriesIntoTheNextStart) {
  EditListRules rules(EditListKind::Through);
  auto rows = chain();
  rules.click(0, 4, false);
  const std::wstring text = L"4500";
  std::wstring why;
  ASSERT_TRUE(rules.endEdit(rows, &text, why));
  EXPECT_EQ(rows[0][4], L"4500");
  EXPECT_EQ(rows[1][3], L"4500");
  // Escape brings no text back: nothing changes.
  EXPECT_FALSE(rules.endEdit(rows, nullptr, why));
  EXPECT_EQ(rows[0][4], L"4500");
  // On the last row only the cell itself changes.
  rules.click(2, 4, false);
  const std::wstring top = L"12000";
  ASSERT_TRUE(rules.endEdit(rows, &top, why));
  EXPECT_EQ(rows[2][4], L"12000");
  EXPECT_EQ(rows.size(), 3u);
}

TEST(EditListRules, TextsThatAreNoNumberOrBreakTheChainAreRefused) {
  const struct {
    EditListKind kind;
    int row, col;
    const wchar_t* text;
    bool accepted;
  } cases[] = {
      {EditListKind::MultiLine, 0, 4, L"abc", false},      {EditListKind::MultiLine, 0, 4, L"1,5", false},
      {EditListKind::MultiLine, 0, 4, L"", false},         {EditListKind::MultiLine, 0, 3, L"-150.5", true},
      {EditListKind::MultiLine, 0, 4, L" 200 ", true},      {EditListKind::MultiLine, 0, 4, L"inf", false},
      {EditListKind::Through, 0, 3, L"-4200", true},        {EditListKind::Through, 0, 3, L"3000", false},
      {EditListKind::Through, 0, 4, L"0", false},           {EditListKind::Through, 0, 4, L"9000", false},
      {EditListKind::Through, 1, 4, L"8999", true},         {EditListKind::Through, 1, 4, L"3000", false},
  };
  for (const auto& c : cases) {
    EditListRules rules(c.kind);
    auto rows = chain();
    const auto before = rows;
    rules.click(c.row, c.col, false);
    if (!(c.kind == EditListKind::Through && c.row == 0 && c.col == 3)) rules.click(c.row, c.col, false);
    const std::wstring text = c.text;
    std::wstring why;
    EXPECT_EQ(rules.endEdit(rows, &text, why), c.accepted) << c.text;
    if (!c.accepted) {
      EXPECT_EQ(rows, before) << c.text;
      EXPECT_FALSE(why.empty()) << c.text;
    }
  }
}

TEST(EditListRules, RowsAreCheckedBeforeTheyAreHandedOn) {
  std::wstring why;
  EXPECT_TRUE(CheckDialogRows(chain(), true, why));
  auto gap = chain();
  gap[1][3] = L"3500";
  EXPECT_FALSE(CheckDialogRows(gap, true, why));
  EXPECT_NE(why.find(L"第2行"), std::wstring::npos);
  auto comma = chain();
  comma[2][2] = L"J,2";
  EXPECT_FALSE(CheckDialogRows(comma, false, why));
  auto empty = chain();
  empty[0][3] = L"";  // the first row's start emptied
  EXPECT_FALSE(CheckDialogRows(empty, true, why));
  EXPECT_TRUE(CheckDialogRows({}, true, why));
}

TEST(EditListRules, TypeGroupOfTheTree) {
  EXPECT_EQ(LayoutDialogTypeGroup(L"给水管").substr(0, 4), L"给水管,");
  EXPECT_EQ(LayoutDialogTypeGroup(L"冷却水管").substr(0, 5), L"热供水管,");
  EXPECT_EQ(LayoutDialogTypeGroup(L"电缆").substr(0, 5), L"照明导线,");
  EXPECT_EQ(LayoutDialogTypeGroup(L"线槽"), L"线槽");
  EXPECT_EQ(LayoutDialogTypeGroup(L"").substr(0, 4), L"给水管,");
}

}  // namespace
