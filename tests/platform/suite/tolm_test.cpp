// Contract tests of Tolm.dll, the base library.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cwchar>

#include "platform/editor/input.h"
#include "tests/platform/suite/suite_test_util.h"

using namespace suitetest;

namespace {

Lib& tolm() {
  static Lib lib("Tolm.dll");
  return lib;
}
Lib& ravn() {
  static Lib lib("Ravn.dll");
  return lib;
}

std::wstring math(const wchar_t* expr, int* ok = nullptr) {
  wchar_t out[256];
  std::fill(std::begin(out), std::end(out), L'#');
  int r = SUITE(tolm(), Dll_ExpressMath_W)(expr, out, 0);
  if (ok) *ok = r;
  return out;
}

}  // namespace

TEST(Tolm, EvaluatesTheTakeOffArithmetic) {
  struct Case { const wchar_t* expr; const wchar_t* value; } cases[] = {
      {L"1+2*3", L"7"},           {L"(1+2)*3", L"9"},         {L"10/4", L"2.5"},
      {L"7-2-1", L"4"},           {L"8/2/2", L"2"},           {L"+2.5", L"2.5"},
      {L"-300", L"-300"},         {L"(0)", L"0"},             {L"((3+0.5)+0.4)*4", L"15.6"},
      {L" 1.5 * ( 2 - -1 ) ", L"4.5"}, {L"2*-3", L"-6"},      {L"-(2+3)", L"-5"},
      {L".5+1.", L"1.5"},         {L"0.1+0.2", L"0.3"},       {L"3000-100", L"2900"},
  };
  for (const auto& c : cases) {
    int ok = -1;
    EXPECT_EQ(math(c.expr, &ok), c.value) << c.expr;
    EXPECT_EQ(ok, 1) << c.expr;
  }
}

TEST(Tolm, BadFormulasGiveAnErrorResultNeverACrash) {
  std::wstring deep(100000, L'(');
  std::wstring signs(100000, L'-');
  signs += L"1";
  const std::wstring bad[] = {L"",    L"   ",   L"()",    L"2.5()", L"[名称]*2", L"=A",   L"DN25",
                              L"1+",  L"(1+2",  L"1+2)",  L"1/0",   L"1/(2-2)",  L"3 4",  L"1..2",
                              L"1e5", L"长度*2", deep,     signs};
  for (const auto& b : bad) {
    int ok = -1;
    EXPECT_EQ(math(b.c_str(), &ok), L"0") << b.substr(0, 20);
    EXPECT_EQ(ok, 0) << b.substr(0, 20);
  }
}

TEST(Tolm, PrecStrWritesPlainDecimalText) {
  struct Case { double v; const wchar_t* text; } cases[] = {
      {3, L"3"}, {3.0001, L"3.0001"}, {-0.125, L"-0.125"}, {2.675, L"2.675"}, {1e-12, L"0"},
      {-0.0, L"0"}, {1234567.5, L"1234567.5"}, {1e20, L"100000000000000000000"}, {0.1 + 0.2, L"0.3"},
  };
  for (const auto& c : cases) {
    wchar_t out[100];
    SUITE(tolm(), Dll_PrecStr_W)(out, c.v);
    EXPECT_STREQ(out, c.text) << c.v;
    // The text reads back through the evaluator.
    EXPECT_EQ(math(out), c.text);
  }
}

// A number whose text does not fit the caller's buffer of 100 characters is
// never cut to another number: the text is empty, and a notice says why. The
// longest text that fits is written whole.
TEST(Tolm, PrecStrNeverCutsANumberToFitItsBuffer) {
  struct Case { double v; bool fits; } cases[] = {{1e120, false}, {-1e200, false}, {1e98, true}, {-1e97, true}};
  for (const auto& c : cases) {
    wchar_t out[100];
    std::fill(std::begin(out), std::end(out), L'#');
    ::testing::internal::CaptureStderr();
    SUITE(tolm(), Dll_PrecStr_W)(out, c.v);
    const std::string notice = ::testing::internal::GetCapturedStderr();
    if (c.fits) {
      EXPECT_EQ(std::wcstod(out, nullptr), c.v);
      EXPECT_EQ(notice, "");
    } else {
      EXPECT_STREQ(out, L"") << c.v;
      EXPECT_NE(notice.find("more than the 99 a number text holds"), std::string::npos) << notice;
    }
  }
}

TEST(Tolm, ReadsIniFilesAndIniTextInMemory) {
  auto dir = scratch();
  writeText(dir / "000.GC", "[工程档案]\r\n工程名称 = 示例工程\r\n工程量规则=清单\r\n[其它]\r\n键=值\r\n");
  wchar_t out[256];
  struct Case { const wchar_t* section; const wchar_t* key; const wchar_t* value; } cases[] = {
      {L"工程档案", L"工程量规则", L"清单"}, {L"工程档案", L"工程名称", L"示例工程"},
      {L"工程档案", L"没有", L""}, {L"没有", L"工程量规则", L""}, {L"其它", L"键", L"值"},
  };
  for (const auto& c : cases) {
    SUITE(tolm(), Dll_ReadIni_W)(os::toUpper(W(dir / "000.GC")).c_str(), c.section, c.key, out);
    EXPECT_STREQ(out, c.value) << c.section << "/" << c.key;
  }
  SUITE(tolm(), Dll_ReadIni_W)(W(dir / "missing.ini").c_str(), L"a", L"b", out);
  EXPECT_STREQ(out, L"");

  const wchar_t* ini = L"[给水定额]\r\n标志=定额\r\n类型=长度\r\n; 注释\r\n工程量=L*1.1\r\n\r\n[清单]\r\n工程量=N";
  std::vector<wchar_t> buf(200);
  SUITE(tolm(), Dll_MemIniReadSec_W)(ini, buf.data());
  EXPECT_STREQ(buf.data(), L"给水定额\r\n清单");
  SUITE(tolm(), Dll_MemIniRead_W)(ini, L"给水定额", buf.data());
  EXPECT_STREQ(buf.data(), L"标志=定额\r\n类型=长度\r\n工程量=L*1.1");
  SUITE(tolm(), Dll_MemIniRead_W)(ini, L"没有", buf.data());
  EXPECT_STREQ(buf.data(), L"");
  SUITE(tolm(), Dll_MemIniReadString_W)(ini, L"清单", L"工程量", buf.data());
  EXPECT_STREQ(buf.data(), L"N");
  SUITE(tolm(), Dll_MemIniReadString_W)(ini, L"清单", L"类型", buf.data());
  EXPECT_STREQ(buf.data(), L"");
}

TEST(Tolm, StringListLookups) {
  const wchar_t* lines = L"类型=给水\r\n规格=DN25\r\n颜色\r\n规格=DN32";
  wchar_t out[100];
  SUITE(tolm(), Dll_TStrsGet_W)(lines, L"规格", out);
  EXPECT_STREQ(out, L"DN25");
  SUITE(tolm(), Dll_TStrsGet_W)(lines, L"材质", out);
  EXPECT_STREQ(out, L"");
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOf_W)(lines, L"颜色"), 2);
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOf_W)(lines, L"类型"), -1);
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOf_W)(L"", L""), -1);
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOfName_W)(lines, L"规格"), 1);
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOfName_W)(lines, L"颜色"), 2);
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOfName_W)(lines, L"规"), -1);
  std::vector<wchar_t> picked(200);
  EXPECT_EQ(SUITE(tolm(), Dll_TStrsIndexOfNames_W)(lines, L"规格,类型", picked.data()), 3);
  EXPECT_STREQ(picked.data(), L"类型=给水\r\n规格=DN25\r\n规格=DN32");
}

// A result holds 99 characters: a value whose text is longer is an error,
// never a number cut short.
TEST(Tolm, ValuesTooLongForTheResultAreAnError) {
  const std::wstring e98 = L"1" + std::wstring(98, L'0');
  struct Case { std::wstring expr; bool ok; } cases[] = {
      {e98, true}, {e98 + L"*100", false}, {L"-" + e98, true}, {L"-" + e98 + L"*100", false},
      {L"(" + e98 + L")*(" + e98 + L")", false}, {e98 + L"/10", true},
  };
  for (const auto& c : cases) {
    int ok = -1;
    std::wstring v = math(c.expr.c_str(), &ok);
    EXPECT_EQ(ok, c.ok ? 1 : 0) << c.expr.size();
    if (c.ok) {
      EXPECT_EQ(math(v.c_str()), v) << "the text reads back as the same value";
    } else {
      EXPECT_EQ(v, L"0");
    }
  }
}

TEST(Tolm, ExtractFileDir) {
  struct Case { const wchar_t* path; const wchar_t* dir; } cases[] = {
      {L"D:\\Est\\系统文件\\Tolm.dll", L"D:\\Est\\系统文件"}, {L"/work/suite/系统文件/Tolm.dll", L"/work/suite/系统文件"},
      {L"C:\\Tolm.dll", L"C:\\"}, {L"Tolm.dll", L""},
  };
  for (const auto& c : cases) {
    wchar_t out[260];
    SUITE(tolm(), Dll_ExtractFileDir_W)(c.path, out);
    EXPECT_STREQ(out, c.dir) << c.path;
  }
}

TEST(Tolm, ZipRoundTripCopyAndDelete) {
  auto dir = scratch();
  writeText(dir / "工程" / "首层.DB", "floor table bytes");
  writeText(dir / "工程" / "000.GC", "[工程档案]\r\n");
  // Copy the project into a work folder that does not exist yet, pack it, delete the copies.
  std::wstring copy = W(dir / "TMP" / "工程_1") + L"\\*.*";
  EXPECT_TRUE(SUITE(tolm(), Dll_CopyFiles_W)((W(dir / "工程") + L"\\*.*").c_str(), copy.c_str(), 0));
  EXPECT_EQ(readText(dir / "TMP" / "工程_1" / "首层.DB"), "floor table bytes");
  EXPECT_TRUE(SUITE(tolm(), Dll_ZipDir_W)(W(dir / "工程.GCK").c_str(), copy.c_str()));
  EXPECT_TRUE(SUITE(tolm(), Dll_DelFiles_W)(copy.c_str()));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "TMP" / "工程_1"));
  // Extract one member, replacing an older file of that name.
  writeText(dir / "out" / "首层.DB", "old");
  EXPECT_TRUE(SUITE(tolm(), Dll_UnZipFile_W)(W(dir / "工程.GCK").c_str(), L"首层.DB", W(dir / "out").c_str()));
  EXPECT_EQ(readText(dir / "out" / "首层.DB"), "floor table bytes");
  EXPECT_FALSE(SUITE(tolm(), Dll_UnZipFile_W)(W(dir / "工程.GCK").c_str(), L"没有.DB", W(dir / "out").c_str()));
  EXPECT_FALSE(SUITE(tolm(), Dll_UnZipFile_W)(W(dir / "none.zip").c_str(), L"a", W(dir / "out").c_str()));
  // One file to one file.
  EXPECT_TRUE(SUITE(tolm(), Dll_CopyFiles_W)(W(dir / "out" / "首层.DB").c_str(), W(dir / "p" / "x.DB").c_str(), 1));
  EXPECT_EQ(readText(dir / "p" / "x.DB"), "floor table bytes");
}

// A copy replaces its target as one step: one that runs out of room (here the
// file size limit stands in for a full disk) leaves the old target whole and
// no temporary file; one that succeeds drops the old file's stale journal.
TEST(Tolm, CopiesReplaceTheTargetWholeOrNotAtAll) {
  auto dir = scratch();
  const std::string rules(300000, 'r');
  writeText(dir / "规则" / "清单规则.DB", rules);
  writeText(dir / "工程" / "清单规则.DB", "old rules");
  auto copy = SUITE(tolm(), Dll_CopyFiles_W);
  const std::wstring from = W(dir / "规则" / "清单规则.DB"), to = W(dir / "工程" / "清单规则.DB");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(copy(from.c_str(), to.c_str(), 1) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "the cut copy is reported";
  EXPECT_EQ(readText(dir / "工程" / "清单规则.DB"), "old rules");
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir / "工程")) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u) << "no temporary file is left";

  writeText(dir / "工程" / "清单规则.DB-journal", "a journal of the old file");
  EXPECT_TRUE(copy(from.c_str(), to.c_str(), 1));
  EXPECT_EQ(readText(dir / "工程" / "清单规则.DB"), rules);
  EXPECT_FALSE(std::filesystem::exists(dir / "工程" / "清单规则.DB-journal"));
}

TEST(Tolm, CreatesTableStructuresTheTableLibraryOpens) {
  auto dir = scratch();
  auto path = dir / "工程量表.DB";
  writeText(path, "an older file");
  ASSERT_TRUE(SUITE(tolm(), Dll_DbCreateStru_W)(W(path).c_str(), L"编号:ftString:30\r\n名称:ftString:200\r\n工程量:ftFloat:0"));
  int h = SUITE(ravn(), DbDll_OpenDb_W)(W(path).c_str());
  EXPECT_EQ(SUITE(ravn(), DbDll_FieldCount)(h), 3);
  EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
  wchar_t name[260];
  SUITE(ravn(), DbDll_GetFieldName_W)(h, 2, name);
  EXPECT_STREQ(name, L"工程量");
  SUITE(ravn(), DbDll_Close)(h);
  // A bad structure leaves the file alone.
  EXPECT_FALSE(SUITE(tolm(), Dll_DbCreateStru_W)(W(path).c_str(), L"a:ftString:5\r\na:ftFloat:0"));
  EXPECT_FALSE(SUITE(tolm(), Dll_DbCreateStru_W)(W(path).c_str(), L":ftFloat:0"));
  h = SUITE(ravn(), DbDll_OpenDb_W)(W(path).c_str());
  EXPECT_EQ(SUITE(ravn(), DbDll_FieldCount)(h), 3);
  SUITE(ravn(), DbDll_Close)(h);
}

TEST(Tolm, ProgressWindowCancelsOnEscapeOrAtAGivenUpdate) {
  auto progress = SUITE(tolm(), Dll_ProgressWin_W);
  ed::inputQueue().clear();
  EXPECT_TRUE(progress(L"工程量计算", L"", 1, 10, 1, 0));
  EXPECT_TRUE(progress(L"工程量计算", L"正在计算", 1, 1, 2, 2));
  ed::InputToken esc;
  esc.kind = ed::TokenKind::Escape;
  ed::inputQueue().push(esc);
  EXPECT_FALSE(progress(L"工程量计算", L"正在计算", 1, 1, 3, 2));
  EXPECT_TRUE(ed::inputQueue().empty()) << "the window takes the Escape";
  // Other input waiting is not the window's.
  ed::InputToken text;
  text.text = L"LayPipe";
  ed::inputQueue().push(text);
  EXPECT_TRUE(progress(L"工程量计算", L"正在计算", 1, 1, 4, 2));
  EXPECT_EQ(ed::inputQueue().size(), 1u);
  ed::inputQueue().clear();
  SUITE(tolm(), KivTolm_CancelProgressAt)(2);
  EXPECT_TRUE(progress(L"a", L"", 1, 1, 5, 2));
  EXPECT_FALSE(progress(L"a", L"", 1, 1, 6, 2));
  EXPECT_TRUE(progress(L"a", L"", 1, 1, 7, 2));
  int open = -1, steps = -1, pos = -1;
  EXPECT_EQ(SUITE(tolm(), KivTolm_ProgressState)(&open, &steps, &pos), 6);
  EXPECT_EQ(open, 1);
  EXPECT_EQ(steps, 10);
  EXPECT_EQ(pos, 7);
  progress(L"a", L"", 0, 0, 0, 4);
  SUITE(tolm(), KivTolm_ProgressState)(&open, &steps, &pos);
  EXPECT_EQ(open, 0);
}
