// Contract tests of Ravn.dll: the cursor as the module's callers use it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#include "tests/platform/suite/suite_test_util.h"

using namespace suitetest;

namespace {

Lib& ravn() {
  static Lib lib("Ravn.dll");
  return lib;
}

// The text of one field of the current record.
std::wstring get(int h, const wchar_t* field) {
  std::vector<wchar_t> buf(4096, L'#');
  SUITE(ravn(), DbDll_FieldByName_AsString_W)(h, field, buf.data());
  return buf.data();
}

// Every record's field, walked the way the callers walk: First, read, Next.
std::vector<std::wstring> column(int h, const wchar_t* field) {
  std::vector<std::wstring> out;
  SUITE(ravn(), DbDll_First)(h);
  while (!SUITE(ravn(), DbDll_Eof)(h)) {
    out.push_back(get(h, field));
    SUITE(ravn(), DbDll_Next)(h);
  }
  return out;
}

int open(const std::filesystem::path& p) { return SUITE(ravn(), DbDll_OpenDb_W)(W(p).c_str()); }

const char* kPipes =
    "构件名称:ftString:20\t编号:ftString:10\t长度:ftFloat\t参数\n"
    "给水管\tGS-1\t1200\tDN=25\n"
    "给水管\tGS-2\t800.5\tDN=32\n"
    "污水管\tWS-1\t\tDN=100\n";

class Ravn : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratch();
    db = dir / "首层.DB";
    makeTable(db, kPipes);
  }
  std::filesystem::path dir, db;
};

}  // namespace

TEST_F(Ravn, WalksRecordsInOrderAndStopsAtTheEnd) {
  int h = open(db);
  ASSERT_GT(h, 0);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 3);
  EXPECT_EQ(column(h, L"编号"), (std::vector<std::wstring>{L"GS-1", L"GS-2", L"WS-1"}));
  // Past the end the cursor stays on the last record.
  EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
  EXPECT_EQ(get(h, L"编号"), L"WS-1");
  SUITE(ravn(), DbDll_Last)(h);
  EXPECT_FALSE(SUITE(ravn(), DbDll_Eof)(h));
  EXPECT_EQ(SUITE(ravn(), DbDll_RecNo)(h), 3);
  SUITE(ravn(), DbDll_First)(h);
  SUITE(ravn(), DbDll_Prior)(h);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecNo)(h), 1);
  EXPECT_FALSE(SUITE(ravn(), DbDll_Eof)(h));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, MoveByClampsAndReportsTheEnd) {
  int h = open(db);
  struct Case { int from, by, recNo; bool eof; } cases[] = {
      {1, 1, 2, false}, {1, 2, 3, false}, {1, 5, 3, true}, {3, -1, 2, false}, {3, -7, 1, false}, {2, 0, 2, false},
  };
  for (const auto& c : cases) {
    SUITE(ravn(), DbDll_First)(h);
    SUITE(ravn(), DbDll_MoveBy)(h, c.from - 1);
    SUITE(ravn(), DbDll_MoveBy)(h, c.by);
    EXPECT_EQ(SUITE(ravn(), DbDll_RecNo)(h), c.recNo) << c.from << " by " << c.by;
    EXPECT_EQ(SUITE(ravn(), DbDll_Eof)(h) != 0, c.eof) << c.from << " by " << c.by;
  }
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, LocateFindsTheFirstMatchOrEndsAtEof) {
  int h = open(db);
  EXPECT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"构件名称", L"给水管"));
  EXPECT_EQ(get(h, L"编号"), L"GS-1");
  EXPECT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"WS-1"));
  EXPECT_EQ(SUITE(ravn(), DbDll_RecNo)(h), 3);
  // Exact comparison: no trimming, no case folding.
  for (const wchar_t* miss : {L"给水管 ", L"gs-1", L""}) {
    EXPECT_FALSE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", miss)) << miss;
    EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
  }
  EXPECT_FALSE(SUITE(ravn(), DbDll_Locate_W)(h, L"没有的字段", L"GS-1"));
  EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, InsertGoesBeforeTheCurrentRecordAndStaysCurrent) {
  int h = open(db);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"WS-1"));
  SUITE(ravn(), DbDll_Insert)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"构件名称", L"给水管");
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"GS-3");
  SUITE(ravn(), DbDll_Post)(h);
  EXPECT_EQ(get(h, L"编号"), L"GS-3");
  EXPECT_EQ(SUITE(ravn(), DbDll_RecNo)(h), 3);
  // Edit the record just inserted, then append one at the end.
  SUITE(ravn(), DbDll_Edit)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"参数", L"DN=40\r\n材质=钢塑");
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Append)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"YS-1");
  SUITE(ravn(), DbDll_Post)(h);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecNo)(h), 5);
  SUITE(ravn(), DbDll_Close)(h);

  h = open(db);
  EXPECT_EQ(column(h, L"编号"), (std::vector<std::wstring>{L"GS-1", L"GS-2", L"GS-3", L"WS-1", L"YS-1"}));
  ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"GS-3"));
  EXPECT_EQ(get(h, L"参数"), L"DN=40\r\n材质=钢塑");
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, AnUnwrittenAppendIsDroppedButAPostedOneIsKept) {
  int h = open(db);
  SUITE(ravn(), DbDll_Append)(h);  // begun, never written or posted
  SUITE(ravn(), DbDll_Append)(h);  // posted empty, then filled by Edit
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Edit)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"X-1");
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Append)(h);  // written, left open: kept at close
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"X-2");
  SUITE(ravn(), DbDll_Close)(h);
  h = open(db);
  EXPECT_EQ(column(h, L"编号"), (std::vector<std::wstring>{L"GS-1", L"GS-2", L"WS-1", L"X-1", L"X-2"}));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, PostDoesNotWriteTheFileCloseDoes) {
  int writer = open(db);
  SUITE(ravn(), DbDll_Append)(writer);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(writer, L"编号", L"N-1");
  SUITE(ravn(), DbDll_Post)(writer);
  int reader = open(db);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(reader), 3);
  SUITE(ravn(), DbDll_Close)(reader);
  SUITE(ravn(), DbDll_Close)(writer);
  reader = open(db);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(reader), 4);
  SUITE(ravn(), DbDll_Close)(reader);
}

TEST_F(Ravn, AHandleChangesTheTableItOpenedEvenWhenAnotherHasReplacedIt) {
  // Both open the table as it was; the first closes with a record deleted.
  // The second then changes the table it has been reading all along: it
  // still sees three records, and its Close puts those with its change in
  // place (the last to close wins, whole).
  int first = open(db), second = open(db);
  SUITE(ravn(), DbDll_First)(first);
  SUITE(ravn(), DbDll_Delete)(first);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Close)(first));
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(second), 3);
  SUITE(ravn(), DbDll_Last)(second);
  SUITE(ravn(), DbDll_Edit)(second);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(second, L"编号", L"WS-9");
  SUITE(ravn(), DbDll_Post)(second);
  EXPECT_EQ(column(second, L"编号"), (std::vector<std::wstring>{L"GS-1", L"GS-2", L"WS-9"}));
  ASSERT_TRUE(SUITE(ravn(), DbDll_Close)(second));
  int h = open(db);
  EXPECT_EQ(column(h, L"编号"), (std::vector<std::wstring>{L"GS-1", L"GS-2", L"WS-9"}));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, AMissingFileIsAnEmptyTableAtItsEndAndIsNotCreated) {
  auto missing = dir / "没有" / "007.DB";
  int h = open(missing);
  ASSERT_GT(h, 0);
  EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 0);
  EXPECT_EQ(SUITE(ravn(), DbDll_FieldCount)(h), 0);
  EXPECT_FALSE(SUITE(ravn(), DbDll_Locate_W)(h, L"楼层", L"首层"));
  EXPECT_FALSE(SUITE(ravn(), DbDll_FindFirst)(h));
  EXPECT_EQ(get(h, L"楼层"), L"");
  SUITE(ravn(), DbDll_Append)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"楼层", L"首层");
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Close)(h);
  EXPECT_FALSE(std::filesystem::exists(missing));
  // A file that is no table reads the same way.
  writeText(dir / "junk.DB", "not a database at all");
  h = open(dir / "junk.DB");
  EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
  SUITE(ravn(), DbDll_Close)(h);
  EXPECT_EQ(readText(dir / "junk.DB"), "not a database at all");
}

TEST_F(Ravn, PathsAreResolvedWindowsStyle) {
  // Upper-cased folders and backslashes, as the module builds them.
  std::wstring p = os::toUpper(W(dir)) + L"\\首层.db";
  int h = SUITE(ravn(), DbDll_OpenDb_W)(p.c_str());
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 3);
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, FieldMetadata) {
  int h = open(db);
  ASSERT_EQ(SUITE(ravn(), DbDll_FieldCount)(h), 4);
  const wchar_t* names[] = {L"构件名称", L"编号", L"长度", L"参数"};
  for (int i = 0; i < 4; ++i) {
    wchar_t name[260] = L"junk";
    SUITE(ravn(), DbDll_GetFieldName_W)(h, i, name);
    EXPECT_STREQ(name, names[i]);
    EXPECT_TRUE(SUITE(ravn(), DbDll_FindField_W)(h, names[i]));
  }
  wchar_t name[260] = L"junk";
  SUITE(ravn(), DbDll_GetFieldName_W)(h, 4, name);
  EXPECT_STREQ(name, L"");
  EXPECT_FALSE(SUITE(ravn(), DbDll_FindField_W)(h, L"长度 "));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, NumbersAndTextConvertBothWays) {
  int h = open(db);
  SUITE(ravn(), DbDll_First)(h);
  double v = -1;
  SUITE(ravn(), DbDll_FieldByName_AsFloat_W)(h, L"长度", &v);
  EXPECT_EQ(v, 1200);
  SUITE(ravn(), DbDll_Append)(h);
  v = -1;
  SUITE(ravn(), DbDll_FieldByName_AsFloat_W)(h, L"长度", &v);
  EXPECT_EQ(v, 0) << "a new record reads 0";
  struct Case { const wchar_t* written; const wchar_t* read; double value; } cases[] = {
      {L"3", L"3", 3}, {L" 2.50", L"2.5", 2.5}, {L"-0.125mm", L"-0.125", -0.125}, {L"1e3", L"1000", 1000},
      {L"abc", L"", 0}, {L"", L"", 0},
  };
  for (const auto& c : cases) {
    SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"长度", c.written);
    EXPECT_EQ(get(h, L"长度"), c.read) << c.written;
    SUITE(ravn(), DbDll_FieldByName_AsFloat_W)(h, L"长度", &v);
    EXPECT_EQ(v, c.value) << c.written;
  }
  SUITE(ravn(), DbDll_WriteByName_AsFloat_W)(h, L"参数", 0.1 + 0.2);
  EXPECT_EQ(get(h, L"参数"), L"0.30000000000000004");
  SUITE(ravn(), DbDll_WriteByName_AsInteger_W)(h, L"编号", 42);
  EXPECT_EQ(get(h, L"编号"), L"42");
  // A field the table lacks: nothing written, nothing read.
  EXPECT_FALSE(SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"没有", L"x"));
  EXPECT_EQ(get(h, L"没有"), L"");
  SUITE(ravn(), DbDll_Cancel)(h);
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, ReadsNeverPassTheFieldSizeOrTheGivenCapacity) {
  int h = open(db);
  SUITE(ravn(), DbDll_First)(h);
  SUITE(ravn(), DbDll_Edit)(h);
  // 编号 is ftString:10: longer text is cut at ten characters.
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"一二三四五六七八九十十一");
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"参数", std::wstring(5000, L'长').c_str());
  SUITE(ravn(), DbDll_Post)(h);
  std::vector<wchar_t> buf(64, L'#');
  SUITE(ravn(), DbDll_FieldByName_AsString_W)(h, L"编号", buf.data());
  EXPECT_EQ(std::wstring(buf.data()), L"一二三四五六七八九十");
  EXPECT_EQ(buf[11], L'#') << "written past the field's size";
  buf.assign(64, L'#');
  SUITE(ravn(), DbDll_FieldByName_AsStringN_W)(h, L"参数", buf.data(), 8);
  EXPECT_EQ(std::wstring(buf.data()), std::wstring(7, L'长'));
  EXPECT_EQ(buf[8], L'#');
  SUITE(ravn(), DbDll_SetReadLimit)(h, 5);
  buf.assign(64, L'#');
  SUITE(ravn(), DbDll_FieldByName_AsString_W)(h, L"参数", buf.data());
  EXPECT_EQ(std::wstring(buf.data()), std::wstring(4, L'长'));
  EXPECT_EQ(buf[5], L'#');
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, TextsOfEveryCharacterWidthComeBackAsWrittenWhateverCameBefore) {
  // One record's text field written again and again: a long text, then
  // shorter ones, characters of one to four bytes, and a lone surrogate,
  // which is no character and is stored as U+FFFD.
  int h = open(db);
  SUITE(ravn(), DbDll_First)(h);
  SUITE(ravn(), DbDll_Edit)(h);
  const std::wstring longText = std::wstring(300000, L'系') + L"end";
  auto read = [](int h, const wchar_t* field) {
    std::vector<wchar_t> buf(400000, L'#');
    SUITE(ravn(), DbDll_FieldByName_AsStringN_W)(h, field, buf.data(), static_cast<int>(buf.size()));
    return std::wstring(buf.data());
  };
  struct Case { std::wstring written, read; } cases[] = {
      {longText, longText}, {L"a", L"a"}, {L"", L""}, {L"é系\U0001F600x", L"é系\U0001F600x"},
      {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"z", L"\uFFFDz"}, {longText + L"后", longText + L"后"},
      {L"短", L"短"},
  };
  for (const auto& c : cases) {
    SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"参数", c.written.c_str());
    EXPECT_EQ(read(h, L"参数"), c.read) << c.written.size();
    // 编号 (ftString:10) keeps its first ten characters of the same text.
    SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", c.written.c_str());
    EXPECT_EQ(get(h, L"编号"), c.read.substr(0, 10)) << c.written.size();
  }
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Close)(h);
  h = open(db);
  SUITE(ravn(), DbDll_First)(h);
  EXPECT_EQ(get(h, L"参数"), L"短");
  EXPECT_EQ(get(h, L"编号"), L"短");
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, FindFirstAndFindNextWalkEveryRecord) {
  int h = open(db);
  std::vector<std::wstring> seen;
  for (bool more = SUITE(ravn(), DbDll_FindFirst)(h); more; more = SUITE(ravn(), DbDll_FindNext)(h))
    seen.push_back(get(h, L"编号"));
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"GS-1", L"GS-2", L"WS-1"}));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, DeleteRemovesTheCurrentRecord) {
  int h = open(db);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"GS-2"));
  SUITE(ravn(), DbDll_Delete)(h);
  EXPECT_EQ(get(h, L"编号"), L"WS-1");
  SUITE(ravn(), DbDll_Close)(h);
  h = open(db);
  EXPECT_EQ(column(h, L"编号"), (std::vector<std::wstring>{L"GS-1", L"WS-1"}));
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, ADrawingBlobRoundTripsThroughFiles) {
  auto lib = dir / "图形库.DB";
  makeTable(lib, "名称:ftString:40\tDWG图形:ftBlob\n◆卷闸门\t\n");
  std::string drawing("0\nSECTION\n\0binary\xff\n", 20);
  writeText(dir / "in.dwg", drawing);
  int h = open(lib);
  SUITE(ravn(), DbDll_Edit)(h);
  EXPECT_TRUE(SUITE(ravn(), DbDll_FieldByName_LoadFromFile_W)(h, L"DWG图形", W(dir / "in.dwg").c_str()));
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Close)(h);
  h = open(lib);
  EXPECT_TRUE(SUITE(ravn(), DbDll_FieldByName_SaveToFile_W)(h, L"DWG图形", W(dir / "out.dwg").c_str()));
  EXPECT_EQ(readText(dir / "out.dwg"), drawing);
  EXPECT_EQ(get(h, L"DWG图形"), L"");
  SUITE(ravn(), DbDll_Close)(h);
}

TEST_F(Ravn, CloseWritesOneTransactionReadableWithSqlite) {
  int h = open(db);
  SUITE(ravn(), DbDll_First)(h);
  SUITE(ravn(), DbDll_Insert)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"A-0");
  SUITE(ravn(), DbDll_WriteByName_AsFloat_W)(h, L"长度", 2.5);
  SUITE(ravn(), DbDll_Post)(h);
  SUITE(ravn(), DbDll_Close)(h);
  sqlite3* s = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &s), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(s, "SELECT 编号, 长度 FROM records ORDER BY _ord", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "A-0");
  EXPECT_EQ(sqlite3_column_type(st, 1), SQLITE_FLOAT);
  EXPECT_EQ(sqlite3_column_double(st, 1), 2.5);
  sqlite3_finalize(st);
  sqlite3_close(s);
}

TEST_F(Ravn, ThreadsWritingTheirOwnTablesKeepEveryRecordAndAClosedHandleIsGone) {
  // Each thread appends to its own table while the other does, then closes
  // it; a handle closed on one thread is unknown to the other afterwards.
  makeTable(dir / "二层.DB", kPipes);
  const int first = open(db), second = open(dir / "二层.DB");
  auto fill = [](int h, const wchar_t* prefix) {
    for (int i = 0; i < 3000; ++i) {
      SUITE(ravn(), DbDll_Append)(h);
      SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", (prefix + std::to_wstring(i)).c_str());
      SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"参数", std::wstring(200, prefix[0]).c_str());
      SUITE(ravn(), DbDll_Post)(h);
    }
  };
  std::atomic<bool> seen{false};
  std::thread other([&] {
    fill(second, L"B");
    while (!seen) std::this_thread::yield();
    EXPECT_TRUE(SUITE(ravn(), DbDll_Close)(second));
  });
  fill(first, L"A");
  // This thread uses the other's handle last before it is closed there.
  EXPECT_GE(SUITE(ravn(), DbDll_RecordCount)(second), 3);
  seen = true;
  other.join();
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(second), 0);
  EXPECT_FALSE(SUITE(ravn(), DbDll_Close)(second));
  ASSERT_TRUE(SUITE(ravn(), DbDll_Close)(first));
  for (auto [file, prefix] : {std::pair{db, L"A"}, {dir / "二层.DB", L"B"}}) {
    const int h = open(file);
    const std::vector<std::wstring> numbers = column(h, L"编号");
    ASSERT_EQ(numbers.size(), 3003u);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(numbers[3 + i], prefix + std::to_wstring(i));
    SUITE(ravn(), DbDll_Close)(h);
  }
}

TEST_F(Ravn, UnknownHandlesAreHarmless) {
  EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(987654));
  SUITE(ravn(), DbDll_Next)(987654);
  EXPECT_EQ(get(987654, L"编号"), L"");
  EXPECT_FALSE(SUITE(ravn(), DbDll_Post)(987654));
  EXPECT_FALSE(SUITE(ravn(), DbDll_Close)(987654));
}

// A damaged field list makes the table unreadable: it is refused with the
// field named and never written. A size out of range would overflow the
// reads; one column named for two fields would lose an edit of the first,
// overwritten by the second when the record is stored. A record stored over
// its neighbour reads without an error, but the first change spreads the
// damage and the table then reads as empty: the open walks the file and
// refuses it while it still is as it was.
TEST_F(Ravn, ADamagedTableIsRefusedAtOpenAndNeverWritten) {
  struct Case {
    const char* file;
    const wchar_t* field;
    const char* notice;
  } cases[] = {
      {"ravn-fieldsize-intmax-ubsan.DB", L"楼层", "field \"楼层\" declares size 2147483647"},
      {"ravn-field-listed-twice-edit-lost.DB", L"数量", "cannot be read (field \"数量\" is listed twice)"},
      {"ravn-hidden-damage-edit-then-empty.DB", L"属性", "cannot be read (damaged: Multiple uses for byte"},
      {"ravn-hidden-damage-edit-then-empty-2.DB", L"属性", "cannot be read (damaged: Multiple uses for byte"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto table = dir / c.file;
    std::filesystem::copy_file(std::filesystem::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "suite" / c.file, table);
    const std::string before = readText(table);
    ::testing::internal::CaptureStderr();
    int h = open(table);
    std::string notice = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(notice.find(c.notice), std::string::npos) << notice;
    EXPECT_EQ(SUITE(ravn(), DbDll_FieldCount)(h), 0);
    EXPECT_TRUE(SUITE(ravn(), DbDll_Eof)(h));
    EXPECT_EQ(get(h, c.field), L"");
    EXPECT_FALSE(SUITE(ravn(), DbDll_Edit)(h));
    SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, c.field, L"改");
    SUITE(ravn(), DbDll_Append)(h);
    SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, c.field, L"新");
    SUITE(ravn(), DbDll_Post)(h);
    SUITE(ravn(), DbDll_Close)(h);
    EXPECT_EQ(readText(table), before);
    for (const auto& e : std::filesystem::directory_iterator(dir))
      EXPECT_EQ(e.path().filename().string().find(std::string(c.file) + ".tmp"), std::string::npos) << e.path();
  }
}

// A writer killed in the middle of its changes leaves the table as it was
// before it began, whole, and the next writer carries on.
TEST_F(Ravn, AKilledWriterLeavesTheTableWhole) {
  auto append = SUITE(ravn(), DbDll_Append);
  auto write = SUITE(ravn(), DbDll_WriteByName_AsString_W);
  auto post = SUITE(ravn(), DbDll_Post);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const std::wstring path = W(db);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int h = SUITE(ravn(), DbDll_OpenDb_W)(path.c_str());
    for (long n = 0;; ++n) {
      append(h);
      write(h, L"编号", (L"K-" + std::to_wstring(n)).c_str());
      write(h, L"参数", std::wstring(200, L'长').c_str());
      post(h);
      if (n == 2000 && ::write(ready[1], "x", 1) != 1) _exit(2);
    }
  }
  char x = 0;
  ASSERT_EQ(::read(ready[0], &x, 1), 1);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_FALSE(std::filesystem::exists(db.string() + "-journal"));
  int h = open(db);
  EXPECT_EQ(column(h, L"编号"), (std::vector<std::wstring>{L"GS-1", L"GS-2", L"WS-1"}));
  SUITE(ravn(), DbDll_Append)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", L"N-1");
  EXPECT_TRUE(SUITE(ravn(), DbDll_Close)(h));
  h = open(db);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 4);
  SUITE(ravn(), DbDll_Close)(h);
}

// A table with a journal left by a writer of another kind that was killed:
// opening plays the journal back; replacing the table drops the journal, so
// it is never played onto the new table.
TEST_F(Ravn, AHotJournalIsPlayedBackAtOpenAndDroppedWhenTheTableIsReplaced) {
  auto fixtures = std::filesystem::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "suite" / "hot-journal";
  auto hot = dir / "hot.DB";
  auto placeHot = [&]() {
    for (const char* f : {"hot.DB", "hot.DB-journal"}) {
      std::filesystem::copy_file(fixtures / f, dir / f, std::filesystem::copy_options::overwrite_existing);
      std::filesystem::permissions(dir / f, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    }
  };
  placeHot();
  int h = open(hot);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 150);
  EXPECT_EQ(SUITE(ravn(), DbDll_FieldCount)(h), 14);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"J1"));
  EXPECT_EQ(get(h, L"构件名称"), L"给水管");
  SUITE(ravn(), DbDll_Close)(h);
  EXPECT_FALSE(std::filesystem::exists(dir / "hot.DB-journal"));

  placeHot();
  makeTable(hot, "楼层:ftString:20\t层高:ftFloat\n首层\t3.6\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "hot.DB-journal"));
  h = open(hot);
  EXPECT_EQ(column(h, L"楼层"), (std::vector<std::wstring>{L"首层"}));
  SUITE(ravn(), DbDll_Close)(h);
  sqlite3* s = nullptr;
  ASSERT_EQ(sqlite3_open(hot.c_str(), &s), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(s, "PRAGMA integrity_check", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(s);

  // Changed after the playback: the change goes onto the table as played
  // back, and nothing of the journal's writer comes back.
  placeHot();
  h = open(hot);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"J1"));
  SUITE(ravn(), DbDll_Edit)(h);
  SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"构件名称", L"排水管");
  SUITE(ravn(), DbDll_Post)(h);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Close)(h));
  EXPECT_FALSE(std::filesystem::exists(dir / "hot.DB-journal"));
  h = open(hot);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 150);
  ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", L"J1"));
  EXPECT_EQ(get(h, L"构件名称"), L"排水管");
  SUITE(ravn(), DbDll_Close)(h);
  ASSERT_EQ(sqlite3_open(hot.c_str(), &s), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(s, "PRAGMA integrity_check", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(s);
}

// The notice tells a missing table from one that cannot be read.
TEST_F(Ravn, NoticesTellAMissingTableFromAnUnreadableOne) {
  writeText(dir / "junk.DB", "not a database at all, but long enough to be looked at by the reader........");
  struct Case { std::filesystem::path file; const char* notice; } cases[] = {
      {dir / "没有.DB", "没有.DB does not exist; it reads as an empty table and is not written"},
      {dir / "junk.DB", "junk.DB cannot be read (not a table file"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    SUITE(ravn(), DbDll_Close)(open(c.file));
    std::string notice = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(notice.find(c.notice), std::string::npos) << notice;
  }
}

// Inserts and deletes anywhere keep the record order and number the records
// 1..N in the file, as readers with sqlite3 expect.
TEST_F(Ravn, InsertsAndDeletesKeepTheOrderNumberedWithoutGaps) {
  int h = open(db);
  struct Step { const wchar_t* at; bool insert; const wchar_t* number; } steps[] = {
      {L"GS-1", true, L"A"}, {L"WS-1", true, L"B"}, {L"GS-2", false, nullptr},
      {L"A", false, nullptr}, {L"B", true, L"C"}, {L"WS-1", false, nullptr},
  };
  for (const auto& s : steps) {
    ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", s.at)) << s.at;
    if (s.insert) {
      SUITE(ravn(), DbDll_Insert)(h);
      SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", s.number);
      SUITE(ravn(), DbDll_Post)(h);
      EXPECT_EQ(get(h, L"编号"), s.number);
    } else {
      SUITE(ravn(), DbDll_Delete)(h);
    }
  }
  const std::vector<std::wstring> expected{L"GS-1", L"C", L"B"};
  EXPECT_EQ(column(h, L"编号"), expected) << "the handle sees its changes";
  EXPECT_TRUE(SUITE(ravn(), DbDll_Close)(h));
  h = open(db);
  EXPECT_EQ(column(h, L"编号"), expected);
  SUITE(ravn(), DbDll_Close)(h);
  sqlite3* s = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &s), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(s, "SELECT _ord, 编号 FROM records ORDER BY _ord", -1, &st, nullptr), SQLITE_OK);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), i + 1);
    EXPECT_EQ(os::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))), expected[i]);
  }
  EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
  sqlite3_finalize(st);
  sqlite3_close(s);
}

// A table made by hand (no field table, no record numbers, rowids with a
// gap) reads in rowid order and, once changed, is written in the library's
// layout.
TEST_F(Ravn, AHandMadeTableReadsInRowidOrderAndIsWrittenInTheLibrarysLayout) {
  auto hand = dir / "手工.DB";
  sqlite3* s = nullptr;
  ASSERT_EQ(sqlite3_open(hand.c_str(), &s), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(s,
                         "CREATE TABLE records(名称 TEXT, 数量 INTEGER, 长度 REAL);"
                         "INSERT INTO records VALUES('甲', 1, 2.5), ('乙', 2, NULL), ('丙', 3, 7);"
                         "DELETE FROM records WHERE 名称 = '乙';",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(s);
  int h = open(hand);
  EXPECT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), 2);
  EXPECT_EQ(column(h, L"名称"), (std::vector<std::wstring>{L"甲", L"丙"}));
  SUITE(ravn(), DbDll_Last)(h);
  EXPECT_EQ(get(h, L"长度"), L"7");
  SUITE(ravn(), DbDll_Edit)(h);
  SUITE(ravn(), DbDll_WriteByName_AsFloat_W)(h, L"数量", 30);
  EXPECT_TRUE(SUITE(ravn(), DbDll_Close)(h));
  ASSERT_EQ(sqlite3_open(hand.c_str(), &s), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(s, "SELECT r._ord, r.数量, f.type FROM records r, kiv_fields f WHERE f.name = '数量' ORDER BY r._ord",
                               -1, &st, nullptr),
            SQLITE_OK);
  for (int want : {1, 30}) {
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 1), want);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)), "ftInteger");
  }
  EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
  sqlite3_finalize(st);
  sqlite3_close(s);
}

// Appends at the end are stored many at a time; whatever else the handle
// does in between (reads, edits, inserts, deletes, searches) sees every
// record posted before it, in its place, and Close stores them all. A fixed
// mix of operations is checked against a plain list.
TEST_F(Ravn, AppendsMixedWithOtherChangesKeepEveryRecordInItsPlace) {
  int h = open(db);
  std::vector<std::wstring> expected = column(h, L"编号");
  std::mt19937 rng(7);
  auto pick = [&](size_t n) { return static_cast<int>(rng() % n); };
  auto goTo = [&](int index) {
    SUITE(ravn(), DbDll_First)(h);
    SUITE(ravn(), DbDll_MoveBy)(h, index);
  };
  int next = 0;
  for (int step = 0; step < 600; ++step) {
    const int op = pick(20);
    const std::wstring number = L"N" + std::to_wstring(next++);
    if (op < 14 || expected.empty()) {
      SUITE(ravn(), DbDll_Append)(h);
      SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", number.c_str());
      SUITE(ravn(), DbDll_Post)(h);
      expected.push_back(number);
      continue;
    }
    const int at = pick(expected.size());
    goTo(at);
    switch (op) {
      case 14:
      case 15:
        ASSERT_EQ(get(h, L"编号"), expected[at]) << "step " << step;
        break;
      case 16:
        SUITE(ravn(), DbDll_Edit)(h);
        SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", number.c_str());
        SUITE(ravn(), DbDll_Post)(h);
        expected[at] = number;
        break;
      case 17:
        SUITE(ravn(), DbDll_Insert)(h);
        SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", number.c_str());
        SUITE(ravn(), DbDll_Post)(h);
        expected.insert(expected.begin() + at, number);
        break;
      case 18:
        ASSERT_TRUE(SUITE(ravn(), DbDll_Delete)(h)) << "step " << step;
        expected.erase(expected.begin() + at);
        break;
      default:
        ASSERT_TRUE(SUITE(ravn(), DbDll_Locate_W)(h, L"编号", expected[at].c_str())) << "step " << step;
        ASSERT_EQ(SUITE(ravn(), DbDll_RecNo)(h), at + 1);
    }
    ASSERT_EQ(SUITE(ravn(), DbDll_RecordCount)(h), static_cast<int>(expected.size()));
  }
  EXPECT_EQ(column(h, L"编号"), expected) << "the handle sees its changes";
  // The last appends are still waiting when the table closes.
  for (int i = 0; i < 5; ++i) {
    const std::wstring number = L"L" + std::to_wstring(i);
    SUITE(ravn(), DbDll_Append)(h);
    SUITE(ravn(), DbDll_WriteByName_AsString_W)(h, L"编号", number.c_str());
    SUITE(ravn(), DbDll_Post)(h);
    expected.push_back(number);
  }
  EXPECT_TRUE(SUITE(ravn(), DbDll_Close)(h));
  h = open(db);
  EXPECT_EQ(column(h, L"编号"), expected);
  SUITE(ravn(), DbDll_Close)(h);
}
