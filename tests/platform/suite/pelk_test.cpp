// Contract tests of Pelk.dll: host combos, palettes, modal windows, buttons,
// tooltip and coordinate formulas, driven as scripts and the module drive them.
#include <gtest/gtest.h>

#include "platform/editor/input.h"
#include "tests/platform/suite/suite_test_util.h"

using namespace suitetest;

namespace {

Lib& pelk() {
  static Lib lib("Pelk.dll");
  return lib;
}

std::wstring combo(const wchar_t* name) {
  wchar_t out[100];
  SUITE(pelk(), WinDll_CmbGetName_W)(name, out);
  return out;
}

std::wstring list(const wchar_t* name) {
  std::vector<wchar_t> out(4096);
  SUITE(pelk(), KivPelk_GetComboList_W)(name, out.data(), static_cast<int>(out.size()));
  return out.data();
}

ed::InputToken directive(const std::wstring& name, std::vector<std::wstring> args) {
  ed::InputToken t;
  t.kind = ed::TokenKind::Directive;
  t.text = name;
  t.args = std::move(args);
  return t;
}

class Pelk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratch();
    auto fixtures = std::filesystem::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "suite" / "project" / "示例";
    for (const char* t : {"007", "首层"})
      makeTable(dir / "示例" / (std::string(t) + ".DB"), readText(fixtures / (std::string(t) + ".tsv")));
    SUITE(pelk(), KivPelk_Reset)();
    // The installation as built from demo/: its component library fills the
    // category and component combos.
    SUITE(pelk(), KivPelk_SetProject_W)(W(systemDir().parent_path()).c_str(), W(dir).c_str(), L"示例");
    ed::inputQueue().clear();
  }
  void TearDown() override { ed::inputQueue().clear(); }
  std::filesystem::path dir;
};

}  // namespace

TEST_F(Pelk, CombosAreFilledAsTheSuiteFillsThem) {
  EXPECT_EQ(list(L"楼层"), L"地下一层\r\n首层\r\n二层");
  EXPECT_EQ(combo(L"楼层"), L"地下一层") << "an open project shows its first floor";
  SUITE(pelk(), WinDll_CmbFloor_W)(L"首层", 0);
  // The module's PrepareGjCombos order: category, component, number.
  SUITE(pelk(), WinDll_CmbGjType_W)(L"管道");
  EXPECT_EQ(combo(L"构件"), L"给水管") << "the component follows the category";
  EXPECT_EQ(list(L"构件").substr(0, 13), L"给水管\r\n热给水管\r\n热回");
  EXPECT_EQ(list(L"编号"), L"JL-1\r\nJL-2") << "numbers of the component on the floor, once each";
  EXPECT_EQ(combo(L"编号"), L"JL-1");
  SUITE(pelk(), WinDll_CmbGjName_W)(L"污水管");
  EXPECT_EQ(combo(L"编号"), L"WL-1");
  SUITE(pelk(), WinDll_CmbGjBh_W)(L"");
  EXPECT_EQ(combo(L"编号"), L"");
  EXPECT_EQ(list(L"分类").substr(0, 6), L"轴网\r\n基础");
  SUITE(pelk(), WinDll_CmbFloor_W)(L"二层", 0);
  EXPECT_EQ(list(L"编号"), L"") << "a floor without a table has no numbers";
  EXPECT_EQ(combo(L"没有"), L"");
}

TEST_F(Pelk, CategoryCombosFollowTheInstallationsComponentLibrary) {
  // Without a component library in the suite folder the lists are empty, and
  // a notice says which library is missing.
  ::testing::internal::CaptureStderr();
  SUITE(pelk(), KivPelk_SetProject_W)(W(dir).c_str(), nullptr, nullptr);
  SUITE(pelk(), WinDll_CmbGjType_W)(L"风口设备");
  std::string notice = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(list(L"分类"), L"");
  EXPECT_EQ(list(L"构件"), L"");
  EXPECT_EQ(combo(L"构件"), L"");
  EXPECT_NE(notice.find("构件库.DB cannot be read (no such table file)"), std::string::npos) << notice;
  makeTable(dir / "系统文件" / "构件库.DB",
            "构件分类:ftString:50\t构件名称:ftString:50\t图层:ftString:50\n"
            "轴网\t轴网\tAXIS\n"
            "***给排水***\t\t\n"
            "风口设备\t送风口\tA\n"
            "管道\t给水管\tB\n"
            "风口设备\t排烟口\tC\n");
  SUITE(pelk(), KivPelk_SetProject_W)(W(dir).c_str(), nullptr, nullptr);
  EXPECT_EQ(list(L"分类"), L"轴网\r\n风口设备\r\n管道") << "in table order; a row without a name lists nothing";
  SUITE(pelk(), WinDll_CmbGjType_W)(L"风口设备");
  EXPECT_EQ(list(L"构件"), L"送风口\r\n排烟口");
  EXPECT_EQ(combo(L"构件"), L"送风口");
  SUITE(pelk(), WinDll_CmbGjType_W)(L"墙");
  EXPECT_EQ(combo(L"构件"), L"") << "a category the library does not list has no types";
}

TEST_F(Pelk, ScriptDirectivesSetCombosButtonsAndOffset) {
  for (auto t : {directive(L".combo", {L"楼层", L"首层"}), directive(L".combo", {L"构件", L"给水管"}),
                 directive(L".button", {L"BtnGjHint", L"1"}), directive(L".offset", {L"100", L"-50"})})
    ed::inputQueue().push(t);
  ed::InputToken word;
  word.text = L"LayPipe";
  ed::inputQueue().push(word);
  auto t = ed::nextInput();  // the directives act on the way to the next input
  ASSERT_TRUE(t);
  EXPECT_EQ(t->text, L"LayPipe");
  EXPECT_EQ(combo(L"构件"), L"给水管");
  EXPECT_EQ(combo(L"编号"), L"JL-1");
  EXPECT_NE(SUITE(pelk(), WinDll_TBarBtnStatus_W)(L"BtnGjHint"), 0);
  EXPECT_EQ(SUITE(pelk(), WinDll_TBarBtnStatus_W)(L"BtnZebHint"), 0);
  double dx = 0, dy = 0;
  EXPECT_TRUE(SUITE(pelk(), WinDll_GetOffset_W)(&dx, &dy));
  EXPECT_EQ(dx, 100);
  EXPECT_EQ(dy, -50);
  // Bad directives are refused with a message and change nothing.
  ed::inputQueue().push(directive(L".combo", {L"层", L"x"}));
  ed::inputQueue().push(directive(L".palette", {L"abc"}));
  EXPECT_FALSE(ed::nextInput());
  EXPECT_NE(ed::lastDirectiveError().find(L".palette"), std::wstring::npos);
}

TEST_F(Pelk, ElevationPaletteOpensPollsAndCloses) {
  auto lay = SUITE(pelk(), WinDll_LayLinearGj_W);
  double zs = 0, ze = 3000;
  EXPECT_TRUE(lay(1, 300, 200, &zs, &ze));
  double shown[3];
  EXPECT_EQ(SUITE(pelk(), KivPelk_GetPalette)(shown), 1);
  EXPECT_EQ(shown[1], 3000);
  EXPECT_FALSE(lay(2, 0, 0, &zs, &ze)) << "nothing typed yet";
  ed::inputQueue().push(directive(L".palette", {L"-500", L"2800"}));
  ed::nextInput();
  EXPECT_TRUE(lay(2, 0, 0, &zs, &ze));
  EXPECT_EQ(zs, -500);
  EXPECT_EQ(ze, 2800);
  EXPECT_FALSE(lay(2, 0, 0, &zs, &ze)) << "a change is handed over once";
  EXPECT_TRUE(lay(4, 0, 0, nullptr, nullptr));
  EXPECT_EQ(SUITE(pelk(), KivPelk_GetPalette)(shown), 0);

  // The service-pipe palette carries the flag as its second value.
  double elev = 100;
  int flag = 1;
  wchar_t number[100] = L"JL-1";
  SUITE(pelk(), WinDll_LayServicePipe_W)(1, 10, 10, &elev, L"管道", L"给水管", number, &flag);
  SUITE(pelk(), KivPelk_SetPalette)(-1200, 0, 0, 2);
  EXPECT_TRUE(SUITE(pelk(), WinDll_LayServicePipe_W)(2, 10, 10, &elev, nullptr, nullptr, number, &flag));
  EXPECT_EQ(elev, -1200);
  EXPECT_EQ(flag, 0);
  SUITE(pelk(), WinDll_LayServicePipe_W)(4, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(Pelk, ModalWindowsTakeTheirAnswerOrAreCancelled) {
  double z = 5;
  EXPECT_FALSE(SUITE(pelk(), WinDll_ChangeOneElev_W)(1, 0, 0, &z)) << "no answer: cancelled";
  EXPECT_EQ(z, 5);
  ed::inputQueue().push(directive(L".palette", {L"1500"}));
  EXPECT_TRUE(SUITE(pelk(), WinDll_ChangeOneElev_W)(1, 0, 0, &z));
  EXPECT_EQ(z, 1500);
  ed::inputQueue().push(directive(L".dialog", {L"1"}));
  wchar_t name[100] = L"送风管", number[100] = L"SF-1";
  EXPECT_NE(SUITE(pelk(), WinDll_SelectDuctPipe_W)(1, 0, 0, name, number), 0);
  EXPECT_EQ(SUITE(pelk(), WinDll_SelectDuctPipe_W)(1, 0, 0, name, number), 0);
  ed::inputQueue().push(directive(L".dialog", {L"1", L"给水管"}));
  EXPECT_TRUE(SUITE(pelk(), WinDll_TotalShow_W)(3, nullptr, nullptr, nullptr, nullptr));
  wchar_t filter[100];
  SUITE(pelk(), WinDll_TotalShow_W)(1001, nullptr, nullptr, nullptr, filter);
  EXPECT_STREQ(filter, L"给水管");
  EXPECT_TRUE(ed::inputQueue().empty());
}

TEST_F(Pelk, TooltipAndRecordedWindows) {
  SUITE(pelk(), WinDll_Tooltip_W)(1, nullptr);
  SUITE(pelk(), WinDll_Tooltip_W)(2, L"给水管 JL-1\r\nDN25");
  wchar_t text[100];
  EXPECT_EQ(SUITE(pelk(), KivPelk_GetTooltip_W)(text, 100), 2);
  EXPECT_STREQ(text, L"给水管 JL-1\r\nDN25");
  SUITE(pelk(), WinDll_Tooltip_W)(3, nullptr);
  EXPECT_EQ(SUITE(pelk(), KivPelk_GetTooltip_W)(text, 100), 3);
  EXPECT_STREQ(text, L"");
  SUITE(pelk(), WinDll_TotalRule_W)();
  SUITE(pelk(), WinDll_PieceMain_W)(1);
  EXPECT_EQ(SUITE(pelk(), WinDll_GjPicture_W)(1, 3, 5), 1);
  std::vector<wchar_t> log(4096);
  SUITE(pelk(), KivPelk_CallLog_W)(log.data(), 4096);
  std::wstring l = log.data();
  EXPECT_NE(l.find(L"WinDll_TotalRule_W()\r\nWinDll_PieceMain_W(1)\r\nWinDll_GjPicture_W(1,3,5)"), std::wstring::npos) << l;
}

TEST_F(Pelk, MathCoordComputesTheFormulaInPlace) {
  struct Case { const wchar_t* params; const wchar_t* formula; const wchar_t* result; } cases[] = {
      {L"宽=600\r\n高=400", L"0,0|宽,0|宽,高:0.5|0,高", L"0,0|600,0|600,400:0.5|0,400"},
      {L"宽=600\r\n宽度=10", L"宽度*2,宽/2", L"20,300"},
      {L"L=1000\r\nH=L/4", L"L-H,H..基点", L"750,250..基点"},
      {L"D=100", L"[标注]\r\nD/2,-D/2", L"[标注]\r\n50,-50"},
      {L"规格=DN25", L"规格,1", L"规格,1"},
      // Names in braces, as the component library writes its figures.
      {L"型号=AL\r\n构件宽度(mm)=500\r\n构件厚度(mm)=180\r\n安装方式=暗装:明装,暗装,落地",
       L"-({构件宽度(mm)})/2,-({构件厚度(mm)})/2|({构件宽度(mm)})/2,-({构件厚度(mm)})/2|({构件宽度(mm)})/2,0",
       L"-250,-90|250,-90|250,0"},
      {L"构件宽度(mm)=500\r\n构件厚度(mm)=180", L"-({构件宽度(mm)})/2,({构件厚度(mm)})/2,kXEQ=SOLID",
       L"-250,90,kXEQ=SOLID"},
      {L"W=600\r\nH={W}/4", L"{H}*2,{W}-{H}:1|0,0", L"300,450:1|0,0"},
      {L"宽=600", L"{未知}/2,{宽}/2|{宽,1", L"{未知}/2,300|{宽,1"},
      {L"构件宽度(mm)=800", L"-80,0:1|80,0:1|-80,0", L"-80,0:1|80,0:1|-80,0"},
  };
  for (const auto& c : cases) {
    std::vector<wchar_t> buf(51200);
    std::wcscpy(buf.data(), c.formula);
    SUITE(pelk(), WinDll_MathCoord_W)(c.params, buf.data());
    EXPECT_STREQ(buf.data(), c.result) << c.formula;
  }
}
