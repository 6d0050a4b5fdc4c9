// Calculation items and their evaluation into quantity lines.
#include <gtest/gtest.h>

#include "module/takeoff/calc_items.h"
#include "module/takeoff/formula_eval.h"
#include "module/takeoff/gj_buckets.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/takeoff_state.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {
namespace {

using Formula = TakeoffProject;

struct FormulaCase {
  const wchar_t* formula;
  StringArray names, values;  // from element 1 on
  const wchar_t* text;        // the expression of the quantity line
  double result;
};

TEST_F(Formula, SubstitutesDropsTermsAndEvaluates) {
  const FormulaCase cases[] = {
      {L"{管长}*2", {L"管长"}, {L"2.5"}, L"2.5管长*2", 5},
      {L"{管长}+{未知}*2", {L"管长"}, {L"2.5"}, L"2.5管长", 2.5},
      {L"10-[扣门窗面积]", {L"扣门窗面积"}, {L"0.0005"}, L"10", 10},
      {L"10-[扣门窗面积]", {L"扣门窗面积"}, {L"2"}, L"10-2门窗面积", 8},
      {L"{管长}>0.3", {L"管长"}, {L"2.5"}, L"2.5管长>0.3", 2.5},
      {L"0.002+{管长}*0", {L"管长"}, {L"1"}, L"0.002+1管长*0", 0},  // below 0.003
      {L"{管长}-6", {L"管长"}, {L"2"}, L"2管长-6", 0},                  // negative
      // Names with brackets, ASCII letters and operators stay out of the arithmetic.
      {L"{热回水管(暖通)长}*2", {L"热回水管(暖通)长"}, {L"2.5"}, L"2.5热回水管(暖通)长*2", 5},
      {L"{B}*{H}/1000000", {L"B", L"H"}, {L"630", L"320"}, L"630B*320H/1000000", 0.2016},
      {L"[保温厚度(mm)]*{给水管长}/1000", {L"给水管长", L"保温厚度(mm)"}, {L"12.5", L"20"},
       L"20保温厚度(mm)*12.5给水管长/1000", 0.25},
      {L"[保温厚度(mm)]*{给水管长}/1000", {L"给水管长", L"保温厚度(mm)"}, {L"12.5", L"0"}, L"", 0},
      // A deduction naming no given value does not apply.
      {L"{管长}-[扣套管]", {L"管长"}, {L"3"}, L"3管长", 3},
      {L"({管长}+{未知})*2", {L"管长"}, {L"3"}, L"(3管长)*2", 6},
      {L"({未知})*2+1", {L"管长"}, {L"3"}, L"(0)*2+1", 1},
      {L"{未知}+{管长}", {L"管长"}, {L"3"}, L"+3管长", 3},  // unary plus left
      // Unpaired braces end.
      {L"}{管长", {L"管长"}, {L"3"}, L"}{管长", 0},
  };
  for (const FormulaCase& c : cases) {
    SCOPED_TRACE(c.formula);
    StringArray names{L"H==loc"}, values{L""}, lines;
    names.insert(names.end(), c.names.begin(), c.names.end());
    values.insert(values.end(), c.values.begin(), c.values.end());
    EvaluateCalcItem(L"给水管", std::wstring(L"001:定额:长度:=") + c.formula, names, values, lines);
    ASSERT_EQ(lines.size(), 1u);
    const std::wstring want = L"H=001=定额=长度==loc=" + std::wstring(c.text) + L"=" + PrecStr(c.result, 5);
    EXPECT_EQ(lines[0], want);
    EXPECT_EQ(names.back(), L"长度");
    EXPECT_EQ(values.back(), PrecStr(c.result, 5));
  }
}

TEST_F(Formula, ParameterResolvesAmongTheValuesAndTheFloorGrades) {
  g_runConcreteGrade = L"C30";
  g_runMortarGrade = L"M7.5";
  struct Case {
    const wchar_t* param;
    const wchar_t* value;
    const wchar_t* want;
  } cases[] = {
      {L"公称管径D_0(mm)", L"25", L"25"},
      {L"砼等级", L"默认", L"C30"},
      {L"砂浆等级", L"", L"M7.5"},
      {L"材质", L"默认", L"材质"},
      {L"未知参数", nullptr, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.param);
    StringArray names{L"H==", L"长"}, values{L"", L"1"}, lines;
    if (c.value) {
      names.push_back(c.param);
      values.push_back(c.value);
    }
    EvaluateCalcItem(L"砼墙", std::wstring(L"001:定额:体积:") + c.param + L"={长}", names, values, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::wstring(L"H=001=定额=体积=") + c.want + L"==1长=1");
  }
}

TEST_F(Formula, ItemsJoinTheRecordSectionsWithTheLibraryRules) {
  StringArray lib;
  AppendLibRuleItems(L"给水管",
                     L"定额=长度=公称管径D_0(mm)=给水管安装||D1=m={给水管长}\r\n"
                     L"定额=长度=材质=第二条||D2=m={给水管长}*2\r\n"
                     L"项=长度=公称管径D_0(mm)=给水管||Q1=m={给水管长}\r\n"
                     L" 定额=短行=p=x \r\n",
                     lib);
  AppendLibRuleItems(L"给水管道", L"定额=保温=p=x||D9=m3={x}", lib);
  EXPECT_EQ(lib, (StringArray{L"给水管:定额:长度:公称管径D_0(mm)={给水管长}", L"给水管:定额:长度:材质={给水管长}*2",
                              L"给水管:项:长度:公称管径D_0(mm)={给水管长}", L"给水管道:定额:保温:p={x}"}));
  struct Case {
    const wchar_t* ini;
    StringArray items;
  } cases[] = {
      {L"[001]\r\n类型=长度", {L"001:定额:长度:公称管径D_0(mm)={给水管长}"}},
      {L"[001]\r\n标志=项\r\n类型=长度", {L"001:项:长度:公称管径D_0(mm)={给水管长}"}},
      {L"[001]\r\n类型=长度\r\n公式={给水管长}*1.02", {L"001:定额:长度:公称管径D_0(mm)={给水管长}*1.02"}},
      {L"[001]\r\n类型=保温", {}},  // only 给水管道 has it
      {L"[A]\r\n类型=长度\r\n[B]\r\n类型=无此类型\r\n[C]\r\n标志=项\r\n类型=长度",
       {L"A:定额:长度:公称管径D_0(mm)={给水管长}", L"C:项:长度:公称管径D_0(mm)={给水管长}"}},
      {L"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    StringArray items;
    BuildCalcItemsFrom(L"给水管", c.ini, lib, items);
    EXPECT_EQ(items, c.items);
  }
}

TEST(KindDispatch, NamesChooseTheirCalculator) {
  struct Case {
    const wchar_t* name;
    KindCalculator calc;
  } cases[] = {
      {L"给水管", KindCalculator::LinearRun},      {L"热回水管(暖通)", KindCalculator::LinearRun},
      {L"暖通管道沟槽", KindCalculator::LinearRun}, {L"其它导线", KindCalculator::Wire},
      {L"导线·导管", KindCalculator::WireConduit}, {L"管道支架", KindCalculator::SupportWeight},
      {L"送风管", KindCalculator::DuctArea},        {L"暖通检查井", KindCalculator::CountedItem},
      {L"轴网", KindCalculator::None},              {L"辅助轴网", KindCalculator::None},
      {L"给水管 ", KindCalculator::None},           {L"", KindCalculator::None},
  };
  for (const Case& c : cases) EXPECT_EQ(KindCalculatorOf(c.name), c.calc) << c.name;
  // The grid axes call nothing and are not marked done.
  StringArray done;
  DispatchKindCalculator(L"轴网", done, nullptr);
  EXPECT_TRUE(done.empty());
}

TEST(GjBucketsSort, KindLayersOnlyAndAxesTogether) {
  EXPECT_EQ(GjKindSlot(L"轴网"), 1);
  EXPECT_EQ(GjKindSlot(L"辅助轴网"), 1);
  EXPECT_EQ(GjKindSlot(L"水管四通"), 137);
  EXPECT_EQ(GjKindSlot(L"给水管名"), -1);
  cad::Database db;
  auto add = [&](const wchar_t* layer) {
    GetOrCreateLayer(layer, &db);
    auto line = std::make_unique<cad::Line>(geom::Point3d(0, 0, 0), geom::Point3d(1, 0, 0));
    line->setLayer(layer);
    cad::ObjectId id;
    db.appendToModelSpace(std::move(line), &id);
    return id;
  };
  cad::ObjectId a = add(L"辅助轴网"), b = add(L"给水管"), c = add(L"给水管名"), d = add(L"轴网"), e = add(L"0");
  (void)c;
  (void)e;
  GjBuckets buckets;
  buckets.database = &db;
  SortFloorGjIntoBuckets(buckets);
  EXPECT_EQ(buckets.slots[0], (cad::ObjectIdArray{a, b, d}));
  EXPECT_EQ(buckets.slots[1], (cad::ObjectIdArray{a, d}));
  EXPECT_EQ(buckets.slots[2], (cad::ObjectIdArray{b}));
  ClearGjBuckets(buckets);
  EXPECT_TRUE(buckets.slots[1].empty());
  EXPECT_EQ(buckets.slots[0].size(), 3u);
}

}  // namespace
}  // namespace kivtest
