// tabletool: TSV text to table and back, with escapes, Chinese text, blobs
// and clear errors that leave the target alone.
#include <gtest/gtest.h>

#include "platform/suite/core/table.h"
#include "tests/platform/suite/suite_test_util.h"

using namespace suitetest;

namespace {

const char* kTable =
    "名称:ftString:40\t参数:ftMemo\t高度:ftFloat\t数量:ftInteger\t图形:ftBlob\n"
    "◆卷闸门\t宽=3000\\r\\n高=2400\t2.4\t3\t@图/门.DWG\n"
    "制表\\t符\t反斜杠\\\\n不是换行\t-0.5\t\tbase64:AAEC/w==\n"
    "空行后\t\t\t\t\n";

}  // namespace

TEST(Tabletool, RoundTripKeepsEveryCharacterAndBlob) {
  auto dir = scratch();
  writeText(dir / "src" / "图" / "门.DWG", std::string("0\nSECTION\n\0\xff", 12));
  writeText(dir / "src" / "t.tsv", kTable);
  auto db = dir / "T.DB";
  ASSERT_EQ(runTabletool("import \"" + (dir / "src" / "t.tsv").string() + "\" \"" + db.string() + "\""), 0);
  // Export with blob files, import that again, export embedded: both texts agree.
  ASSERT_EQ(runTabletool("export \"" + db.string() + "\" \"" + (dir / "out" / "t.tsv").string() + "\""), 0);
  std::string exported = readText(dir / "out" / "t.tsv");
  EXPECT_NE(exported.find("◆卷闸门\t宽=3000\\r\\n高=2400\t2.4\t3\t@t.files/1-图形.bin\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("制表\\t符\t反斜杠\\\\n不是换行\t-0.5"), std::string::npos) << exported;
  EXPECT_EQ(readText(dir / "out" / "t.files" / "1-图形.bin"), std::string("0\nSECTION\n\0\xff", 12));
  auto db2 = dir / "T2.DB";
  ASSERT_EQ(runTabletool("import \"" + (dir / "out" / "t.tsv").string() + "\" \"" + db2.string() + "\""), 0);
  ASSERT_EQ(runTabletool("export \"" + db.string() + "\"", dir / "a.tsv"), 0);
  ASSERT_EQ(runTabletool("export \"" + db2.string() + "\"", dir / "b.tsv"), 0);
  EXPECT_EQ(readText(dir / "a.tsv"), readText(dir / "b.tsv"));
  EXPECT_NE(readText(dir / "a.tsv").find("base64:AAEC/w=="), std::string::npos);
}

TEST(Tabletool, TheTableLibraryReadsWhatTabletoolWrote) {
  auto dir = scratch();
  auto db = dir / "T.DB";
  writeText(dir / "图" / "门.DWG", "x");
  writeText(dir / "t.tsv", kTable);
  ASSERT_EQ(runTabletool("import \"" + (dir / "t.tsv").string() + "\" \"" + db.string() + "\""), 0);
  Lib ravn("Ravn.dll");
  int h = SUITE(ravn, DbDll_OpenDb_W)(W(db).c_str());
  EXPECT_EQ(SUITE(ravn, DbDll_RecordCount)(h), 3);
  SUITE(ravn, DbDll_Next)(h);
  wchar_t buf[100];
  SUITE(ravn, DbDll_FieldByName_AsString_W)(h, L"名称", buf);
  EXPECT_STREQ(buf, L"制表\t符");
  SUITE(ravn, DbDll_FieldByName_AsString_W)(h, L"参数", buf);
  EXPECT_STREQ(buf, L"反斜杠\\n不是换行");
  SUITE(ravn, DbDll_Close)(h);
}

TEST(Tabletool, BadInputIsReportedWithItsLineAndLeavesTheTable) {
  auto dir = scratch();
  auto db = dir / "T.DB";
  writeText(dir / "good.tsv", "名称\nA\n");
  ASSERT_EQ(runTabletool("import \"" + (dir / "good.tsv").string() + "\" \"" + db.string() + "\""), 0);
  struct Case { const char* tsv; const char* message; } cases[] = {
      {"a\tb\nx\ty\tz\n", "line 2: 3 cells for 2 fields"},
      {"a\nx\\q\n", "line 2: unknown escape \\q"},
      {"a:ftFloat\n1\nabc\n", "line 3: \"abc\" is no number"},
      {"a:ftBlob\nplain\n", "line 2: blob field"},
      {"a:ftBlob\n@missing.bin\n", "line 2: cannot read blob file"},
      {"a:ftBlob\n@\n", "line 2: cannot read blob file"},
      {"a\ta\n", "line 1: field \"a\" named twice"},
      {"", "no header line"},
      {"a\n\xff\xfe\n", "not UTF-8"},
      {"名称:ftString:2147483647\n", "line 1: field \"名称\" declares size 2147483647; sizes run from 1 to 1000000"},
      {"a\t名称:ftString:99999999999999999999\n", "field \"名称\" declares size"},
      {"a\tb\\tc\n", "line 1: field name \"b\\x09c\" holds a control character"},
      {"a\t_ord\n", "line 1: field name \"_ord\" is taken by the table's own order column"},
      {"_ORD:ftInteger\n", "field name \"_ORD\" is taken"},
      {"b:ftString:10\tB\n", "line 1: field \"B\" differs from field \"b\" only in case"},
      {"a\tb\x01\n", "line 1: field name \"b\\x01\" holds a control character"},
  };
  for (const auto& c : cases) {
    writeText(dir / "bad.tsv", c.tsv);
    EXPECT_EQ(runTabletool("import \"" + (dir / "bad.tsv").string() + "\" \"" + db.string() + "\"", dir / "err.txt"), 1)
        << c.tsv;
    EXPECT_NE(readText(dir / "err.txt").find(c.message), std::string::npos) << readText(dir / "err.txt");
  }
  ASSERT_EQ(runTabletool("export \"" + db.string() + "\"", dir / "after.tsv"), 0);
  EXPECT_EQ(readText(dir / "after.tsv"), "名称:ftMemo\nA\n");
  EXPECT_EQ(runTabletool("frobnicate x"), 2);
  EXPECT_EQ(runTabletool("export \"" + (dir / "none.DB").string() + "\""), 1);
}

// An input that is no file (a folder, a device with no end) is a wrong
// argument (exit 2); an output that is no regular file, or standard output
// that cannot be written, fails the command (exit 1) with a message, and
// nothing is replaced.
TEST(Tabletool, InputsAndOutputsThatAreNoFilesAreRefused) {
  auto dir = scratch();
  auto db = dir / "T.DB";
  makeTable(db, "名称\nA\n");
  const std::string before = readText(db);
  struct Case {
    std::string args;
    const char* redirect;  // where standard output goes ("" : with the messages)
    int exit;
    const char* message;
  } cases[] = {
      {"import \"" + dir.string() + "\" \"" + db.string() + "\"", "", 2, "is a folder"},
      {"import /dev/zero \"" + db.string() + "\"", "", 2, "/dev/zero is a device, not a file"},
      {"export \"" + db.string() + "\" /dev/null", "", 1, "/dev/null"},
      {"show \"" + db.string() + "\"", "/dev/full", 1, "cannot write to standard output"},
      {"export \"" + db.string() + "\"", "/dev/full", 1, "cannot write to standard output"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const auto err = dir / "err.txt";
    std::string cmd = "\"" + tabletool().string() + "\" " + c.args;
    cmd += *c.redirect ? " > " + std::string(c.redirect) + " 2> \"" + err.string() + "\""
                       : " > \"" + err.string() + "\" 2>&1";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << "no clean exit: " << rc;
    EXPECT_EQ(WEXITSTATUS(rc), c.exit);
    EXPECT_NE(readText(err).find(c.message), std::string::npos) << readText(err);
    EXPECT_EQ(readText(db), before);
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// A field name holding U+FEFF would come back from its own export without it
// (a text reader drops a leading mark), or not come back at all: such a name
// is refused at import, and a name that starts after the mark is not renamed.
TEST(Tabletool, AFieldNameWithAByteOrderMarkIsRefusedAtImport) {
  auto dir = scratch();
  auto fixtures = std::filesystem::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "suite";
  for (const char* f : {"tsv-bom-fieldname-export-not-reimportable.tsv", "tsv-bom-fieldname-renamed-on-roundtrip.tsv"}) {
    auto db = dir / (std::string(f) + ".DB");
    EXPECT_EQ(runTabletool("import \"" + (fixtures / f).string() + "\" \"" + db.string() + "\"", dir / "err.txt"), 1) << f;
    EXPECT_NE(readText(dir / "err.txt").find("holds a byte-order mark (U+FEFF)"), std::string::npos)
        << readText(dir / "err.txt");
    EXPECT_FALSE(std::filesystem::exists(db)) << f;
  }
  // The file's own mark is no part of the first name: the round trip is exact.
  writeText(dir / "marked.tsv", "\xEF\xBB\xBF名称\t数量:ftInteger\nA\t1\n");
  ASSERT_EQ(runTabletool("import \"" + (dir / "marked.tsv").string() + "\" \"" + (dir / "M.DB").string() + "\""), 0);
  ASSERT_EQ(runTabletool("export \"" + (dir / "M.DB").string() + "\"", dir / "m.tsv"), 0);
  EXPECT_EQ(readText(dir / "m.tsv"), "名称:ftMemo\t数量:ftInteger\nA\t1\n");
}

// A table file whose field declares an impossible size is refused whole, with
// the field named, rather than read with a size that overflows.
TEST(Tabletool, ATableDeclaringAnOutOfRangeFieldSizeIsRefused) {
  auto dir = scratch();
  auto db = std::filesystem::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "suite" / "ravn-fieldsize-intmax-ubsan.DB";
  EXPECT_EQ(runTabletool("export \"" + db.string() + "\"", dir / "err.txt"), 1);
  EXPECT_NE(readText(dir / "err.txt").find("field \"楼层\" declares size 2147483647"), std::string::npos)
      << readText(dir / "err.txt");
}

// A blob of no bytes (a component drawing loaded from an empty file) and no
// blob at all stay apart through export and import, with blob files and
// embedded; a blob file name holding a zero byte is refused, not read as the
// folder it was cut down to.
TEST(Tabletool, AnEmptyBlobAndNoBlobStayApart) {
  auto dir = scratch();
  writeText(dir / "src" / "空.bin", "");
  writeText(dir / "src" / "t.tsv", "名称\t图:ftBlob\n文件\t@空.bin\n空\tbase64:\n无\t\n有\tbase64:AAEC\n");
  ASSERT_EQ(runTabletool("import \"" + (dir / "src" / "t.tsv").string() + "\" \"" + (dir / "T.DB").string() + "\""), 0);
  ASSERT_EQ(runTabletool("export \"" + (dir / "T.DB").string() + "\" \"" + (dir / "out" / "t.tsv").string() + "\""), 0);
  ASSERT_EQ(runTabletool("import \"" + (dir / "out" / "t.tsv").string() + "\" \"" + (dir / "T2.DB").string() + "\""), 0);
  ASSERT_EQ(runTabletool("export \"" + (dir / "T2.DB").string() + "\"", dir / "embedded.tsv"), 0);
  EXPECT_EQ(readText(dir / "embedded.tsv"), "名称:ftMemo\t图:ftBlob\n文件\tbase64:\n空\tbase64:\n无\t\n有\tbase64:AAEC\n");
  ASSERT_EQ(runTabletool("import \"" + (dir / "embedded.tsv").string() + "\" \"" + (dir / "T3.DB").string() + "\""), 0);
  for (const char* db : {"T.DB", "T2.DB", "T3.DB"}) {
    suite::Table t;
    std::string error;
    ASSERT_TRUE(suite::loadTable(dir / db, t, error)) << error;
    ASSERT_EQ(t.records.size(), 4u);
    EXPECT_EQ(t.records[0][1], std::string()) << db;
    EXPECT_EQ(t.records[1][1], std::string()) << db;
    EXPECT_EQ(t.records[2][1], std::nullopt) << db;
    EXPECT_EQ(t.records[3][1], std::string("\0\1\2", 3)) << db;
  }

  auto fixture = std::filesystem::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "suite" /
                 "tsv-blob-name-zero-byte-read-as-empty-blob.tsv";
  EXPECT_EQ(runTabletool("import \"" + fixture.string() + "\" \"" + (dir / "Z.DB").string() + "\"", dir / "err.txt"), 1);
  EXPECT_NE(readText(dir / "err.txt").find("line 5: the blob file name in field \"图\" holds a zero byte"),
            std::string::npos)
      << readText(dir / "err.txt");
  EXPECT_FALSE(std::filesystem::exists(dir / "Z.DB"));
}
