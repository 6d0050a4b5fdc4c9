// Drawing files from elsewhere: what a save keeps, damaged references
// repaired at load, hostile numbers refused, and saves that never lose the
// old file. Fixtures are in tests/fixtures/cad.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/dxf_canonical.h"
#include "platform/cad/body3d.h"
#include "platform/cad/cad.h"
#include "tests/platform/cad/dxf_test_support.h"

using namespace cad;
namespace fs = std::filesystem;

namespace {

fs::path fixture(const std::string& name) { return fs::path(KIV_SOURCE_DIR) / "tests/fixtures/cad" / name; }

fs::path tempDir() { return cadtest::scratchDir("cad_repair_tmp"); }
using cadtest::slurp;

// Runs a helper script of this folder with the system python (and its ezdxf).
int runPython(const std::string& script, const std::vector<fs::path>& args, std::string& out) {
  std::string cmd = "/usr/bin/python3 " + std::string(KIV_SOURCE_DIR) + "/tests/platform/cad/" + script;
  for (const auto& a : args) cmd += " '" + a.string() + "'";
  cmd += " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  return pclose(p);
}

bool mentions(const std::vector<std::string>& notices, const std::string& what) {
  for (const auto& n : notices)
    if (n.find(what) != std::string::npos) return true;
  return false;
}

std::vector<std::string> handles(const Database& db) {
  std::vector<std::string> r;
  for (ObjectId id : db.modelSpaceEntities()) r.push_back(id.handle().textUtf8());
  return r;
}

}  // namespace

// A drawing made by another program with a full header and page setups comes
// back from a save with every header variable and layout as it was.
TEST(DxfKeep, HeaderVariablesAndPageSetupsSurviveASave) {
  if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no system python";
  Database db;
  ASSERT_EQ(db.readDxfFile(fixture("ezdxf_pagesetup.dxf")), Status::Ok) << db.lastFileError();
  fs::path saved = tempDir() / "pagesetup.DWG";
  ASSERT_EQ(db.saveAs(saved), Status::Ok) << db.lastFileError();
  std::string out;
  EXPECT_EQ(runPython("ezdxf_compare.py", {fixture("ezdxf_pagesetup.dxf"), saved}, out), 0) << out;
  EXPECT_NE(out.find("differences 0"), std::string::npos) << out;
  out.clear();
  EXPECT_EQ(runPython("ezdxf_audit.py", {saved}, out), 0) << out;

  // What the database models still follows the database.
  Database back;
  ASSERT_EQ(back.readDxfFile(saved), Status::Ok) << back.lastFileError();
  EXPECT_EQ(handles(back), handles(db));
  ObjectId wall = back.layerId(L"墙");
  ASSERT_FALSE(wall.isNull());
  ASSERT_EQ(back.setClayer(wall), Status::Ok);
  ASSERT_EQ(back.setLtscale(50), Status::Ok);
  std::string text = back.dxfText();
  EXPECT_NE(text.find("$CLAYER\n  8\n墙\n"), std::string::npos);
  EXPECT_NE(text.find("$LTSCALE\n 40\n50.0\n"), std::string::npos);
  EXPECT_NE(text.find("$DWGCODEPAGE\n  3\nANSI_1252\n"), std::string::npos);
  EXPECT_EQ(text.find("$HANDSEED"), text.rfind("$HANDSEED"));
  // The extents are the drawing's own (the file said -100,-200 to 42100,29900).
  EXPECT_NE(text.find("$EXTMIN\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"), std::string::npos);
  EXPECT_NE(text.find("$EXTMAX\n 10\n42000.0\n 20\n29700.0\n 30\n0.0\n"), std::string::npos);
}

// A save writes where the drawing is into $EXTMIN and $EXTMAX, so that another
// program's zoom to extents finds it: a body by its faces, the header
// variables in their place; an empty drawing has the inverted box.
TEST(DxfKeep, ASaveWritesTheDrawingsExtents) {
  Database empty;
  std::string text = empty.dxfText();
  EXPECT_NE(text.find("$EXTMIN\n 10\n1e+20\n 20\n1e+20\n 30\n1e+20\n"), std::string::npos);
  EXPECT_NE(text.find("$EXTMAX\n 10\n-1e+20\n"), std::string::npos);

  Database db;
  db.appendToModelSpace(std::make_unique<Line>(Point3d(100, 200, 0), Point3d(30100, 18200, 0)));
  db.appendToModelSpace(std::make_unique<Circle>(Point3d(-400, 500, 0), Vector3d(0, 0, 1), 100));
  auto body = std::make_unique<Body3d>();
  ASSERT_EQ(body->setBody(solid::Body::cone(Point3d(1000, 1000, 2800), Vector3d(0, 0, 800), 100, 100)), Status::Ok);
  db.appendToModelSpace(std::move(body));
  fs::path saved = tempDir() / "extents.DWG";
  ASSERT_EQ(db.saveAs(saved), Status::Ok) << db.lastFileError();
  text = slurp(saved);
  EXPECT_NE(text.find("$EXTMIN\n 10\n-500.0\n 20\n200.0\n 30\n0.0\n"), std::string::npos);
  EXPECT_NE(text.find("$EXTMAX\n 10\n30100.0\n 20\n18200.0\n 30\n3600.0\n"), std::string::npos);
  EXPECT_EQ(text.find("$EXTMIN"), text.rfind("$EXTMIN"));
  // Read back and saved again, the variables stay where the file had them.
  Database back;
  ASSERT_EQ(back.readDxfFile(saved), Status::Ok) << back.lastFileError();
  std::string again = back.dxfText();
  EXPECT_EQ(again.find("$EXTMIN"), text.find("$EXTMIN"));
  EXPECT_NE(again.find("$EXTMAX\n 10\n30100.0\n 20\n18200.0\n 30\n3600.0\n"), std::string::npos);
}

// Dictionary references that would make the saved file unloadable (or the
// save crash or fail) are repaired at load with a notice, as is a record kept
// as it came that claims handle 0; the repaired drawing saves and loads
// again, and the independent reader accepts it.
TEST(DxfRepair, DamagedDictionaryReferencesAreRepairedAtLoad) {
  struct Case {
    const char* file;
    const char* notice;
  } cases[] = {
      {"dxf-shared-xrecord-saved-file-unreadable.dxf", "owned elsewhere"},
      {"dxf-shared-dictionary-entry-saved-file-unreadable-min.dxf", "owned elsewhere"},
      {"dxf-self-dictionary-save-stack-overflow.dxf", "no dictionary may own"},
      {"dxf-dictionary-names-layer-table-save-null-deref.dxf", "no dictionary may own"},
      {"dxf-kept-record-handle-zero-save-refused.dxf", "line 22: handle 0, which no record can have"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Database db;
    ASSERT_EQ(db.readDxfFile(fixture(c.file)), Status::Ok) << db.lastFileError();
    EXPECT_TRUE(mentions(db.lastFileNotices(), c.notice));
    EXPECT_FALSE(db.layerTableId().isErased());
    fs::path saved = tempDir() / (std::string(c.file) + ".DWG");
    ASSERT_EQ(db.saveAs(saved), Status::Ok) << db.lastFileError();
    Database back;
    ASSERT_EQ(back.readDxfFile(saved), Status::Ok) << back.lastFileError();
    EXPECT_EQ(back.lastFileNotices(), std::vector<std::string>()) << "a second load needs no repair";
    if (fs::exists("/usr/bin/python3")) {
      std::string out;
      EXPECT_EQ(runPython("ezdxf_audit.py", {saved}, out), 0) << out;
    }
  }
  // The shared xrecord stays with its first dictionary, once.
  Database db;
  ASSERT_EQ(db.readDxfFile(fixture("dxf-shared-xrecord-saved-file-unreadable.dxf")), Status::Ok);
  ObjectId x = db.getObjectId(L"D");
  ObjectPtr<Xrecord> xr(x, OpenMode::ForRead);
  ASSERT_TRUE(xr);
  EXPECT_EQ(xr->data(), (ValueChain{{1, L"hello"}}));
  EXPECT_EQ(xr->ownerId(), db.getObjectId(L"E"));
  ObjectPtr<Dictionary> f(db.getObjectId(L"F"), OpenMode::ForRead);
  EXPECT_FALSE(f->has(L"Y"));
  std::string text = db.dxfText();
  EXPECT_EQ(text.find("XRECORD\n  5\nD\n"), text.rfind("XRECORD\n  5\nD\n"));
}

// An entities-only file puts its layer-"0" entities on the standard layer "0".
TEST(DxfRepair, EntitiesOnlyFileKeepsLayerZero) {
  Database db;
  ASSERT_EQ(db.readDxfFile(fixture("dxf-layer0-wrong-layer-leak.dxf")), Status::Ok) << db.lastFileError();
  ObjectIdArray ids = db.modelSpaceEntities();
  ASSERT_EQ(ids.size(), 2u);
  ObjectPtr<Entity> a(ids[0], OpenMode::ForRead), zero(ids[1], OpenMode::ForRead);
  EXPECT_EQ(a->layer(), L"A");
  EXPECT_EQ(zero->layer(), L"0");
  EXPECT_EQ(zero->layerId(), db.layerZeroId());
  ObjectPtr<LayerTable> layers(db.layerTableId(), OpenMode::ForRead);
  EXPECT_EQ(layers->names(), (std::vector<std::wstring>{L"0", L"A"}));
}

// Numbers that do not fit their group code are refused with the line named,
// and the database is left as it was.
TEST(DxfRepair, OutOfRangeNumbersAreRefusedNamingTheLine) {
  struct Case {
    const char* file;
    const char* line;
  } cases[] = {
      {"dxf-int-cast-ubsan-hatch-76.dxf", "line 10:"},
      {"dxf-int-cast-ubsan-lwpolyline-70.dxf", "line 10:"},
      {"dxf-int-cast-ubsan-mtext-71-inf.dxf", "line 10:"},
      {"dxf-int-cast-ubsan-text-71-nan.dxf", "line 18:"},
      {"dxf-polyface-index-intmin-explode-segv.dxf", "line 54:"},
      {"dxf-int-cast-ubsan-fuzzer-crash-ad461d89.dxf", "line "},
      {"dxf-save-null-symboltable-fuzzer-artifact.dxf", "line 4040:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Database db;
    ObjectId keep;
    db.appendToModelSpace(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 1)), &keep);
    EXPECT_EQ(db.readDxfFile(fixture(c.file)), Status::BadFile);
    EXPECT_NE(db.lastFileError().find(c.line), std::string::npos) << db.lastFileError();
    EXPECT_EQ(db.modelSpaceEntities(), ObjectIdArray{keep});
  }
  // The mesh itself refuses such an index, so exploding stays in bounds.
  PolyfaceMesh m;
  EXPECT_EQ(m.set({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{1, 2, INT_MIN, 0}}), Status::InvalidInput);
  EXPECT_EQ(m.set({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{1, 2, -3, 0}}), Status::Ok);
  std::vector<std::unique_ptr<Entity>> pieces;
  EXPECT_EQ(m.explode(pieces), Status::Ok);
  EXPECT_EQ(pieces.size(), 2u);
}

// A saved file with the numbers a save makes afresh (handles of block
// begin and end, vertex and sequence end records; the handle seed) left out.
std::string withoutHandles(const std::string& text) {
  std::istringstream in(text);
  std::string code, value, out;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (code == "  5" || code == "330") value = "#";
    out += code + "\n" + value + "\n";
  }
  return out;
}

// Every fixture either loads, saves and loads again with the same entities
// (and a second save writes the same drawing, records in the same places),
// or is refused with a message naming the line.
TEST(DxfRepair, EveryFixtureRoundTripsOrIsRefused) {
  int loaded = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(KIV_SOURCE_DIR) / "tests/fixtures/cad")) {
    if (entry.path().extension() != ".dxf") continue;
    SCOPED_TRACE(entry.path().filename().string());
    Database db;
    if (db.readDxfFile(entry.path()) != Status::Ok) {
      EXPECT_NE(db.lastFileError().find("line "), std::string::npos) << db.lastFileError();
      continue;
    }
    ++loaded;
    fs::path saved = tempDir() / "every.DWG";
    ASSERT_EQ(db.saveAs(saved), Status::Ok) << db.lastFileError();
    Database back;
    ASSERT_EQ(back.readDxfFile(saved), Status::Ok) << back.lastFileError();
    EXPECT_EQ(handles(back), handles(db));
    std::string first = back.dxfText();
    EXPECT_EQ(fuzz::canonicalHandles(first), fuzz::canonicalHandles(slurp(saved)));
    Database again;
    ASSERT_EQ(again.readDxfText(first), Status::Ok) << again.lastFileError();
    EXPECT_EQ(again.numObjects(), back.numObjects());
    EXPECT_EQ(withoutHandles(again.dxfText()), withoutHandles(first));
  }
  EXPECT_GE(loaded, 7);
}

// A root dictionary without "ACAD_LAYOUT" (here the entry's name is damaged)
// gets a layout dictionary made up at the save, written where the next save
// writes it as read back; the damaged entry and its layouts stay.
TEST(DxfRepair, AMadeUpLayoutDictionaryKeepsItsPlaceOnTheNextSave) {
  Database db;
  ASSERT_EQ(db.readDxfFile(fixture("dxf-layout-dictionary-renamed-resave-moves-handles.dxf")), Status::Ok)
      << db.lastFileError();
  const std::string saved = db.dxfText();
  Database back;
  ASSERT_EQ(back.readDxfText(saved), Status::Ok) << back.lastFileError();
  EXPECT_EQ(fuzz::canonicalHandles(back.dxfText()), fuzz::canonicalHandles(saved));
  ObjectPtr<Dictionary> root(back.namedObjectsDictionaryId(), OpenMode::ForRead);
  ASSERT_TRUE(root);
  EXPECT_TRUE(root->has(L"ACAD_LAYOUT"));
  EXPECT_EQ(root->getAt(L"*CAD_LAYOUT"), back.getObjectId(L"D"));
  for (const wchar_t* h : {L"D", L"1A", L"1E"}) EXPECT_FALSE(back.getObjectId(h).isNull()) << h;
  EXPECT_EQ(back.numObjects(), db.numObjects() + 3);  // the dictionary and its two layouts
}

// A reference naming no record (here 30, the file's own handle seed) keeps
// naming none: the records a save makes up take handles above it.
TEST(DxfRepair, ADanglingReferenceIsNotGivenToANewRecord) {
  Database db;
  ASSERT_EQ(db.readDxfFile(fixture("dxf-dangling-reference-taken-by-new-record.dxf")), Status::Ok)
      << db.lastFileError();
  EXPECT_GT(db.handseed().value, 0x30u);
  const std::string saved = db.dxfText();
  EXPECT_EQ(saved.find("\n  5\n30\n"), std::string::npos) << "a record took the handle the reference names";
  EXPECT_NE(saved.find("\n340\n30\n"), std::string::npos);
  Database back;
  ASSERT_EQ(back.readDxfText(saved), Status::Ok) << back.lastFileError();
  EXPECT_TRUE(back.getObjectId(L"30").isNull());
  EXPECT_EQ(fuzz::canonicalHandles(back.dxfText()), fuzz::canonicalHandles(saved));
}

// A database that cannot be written as a loadable file is not saved, and the
// old file stays.
TEST(DxfSave, AnUnwritableDatabaseKeepsTheOldFile) {
  Database db;
  ObjectId line;
  db.appendToModelSpace(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 1)), &line);
  fs::path file = tempDir() / "kept.DWG";
  ASSERT_EQ(db.saveAs(file), Status::Ok);
  std::string before = slurp(file);
  {
    // The same entity listed in a second block would be written twice.
    ObjectPtr<BlockRecord> ps(db.paperSpaceId(), OpenMode::ForWrite);
    ps->entitiesMutable().push_back(line);
  }
  EXPECT_EQ(db.saveAs(file), Status::BadFile);
  EXPECT_NE(db.lastFileError().find("twice"), std::string::npos) << db.lastFileError();
  EXPECT_EQ(slurp(file), before);
  EXPECT_FALSE(fs::exists(file.string() + ".kivtmp"));
}

// A read-only drawing file is refused with a message and left as it was; a
// temporary file left by an interrupted save does not hinder the next one.
TEST(DxfSave, ReadOnlyTargetsAreRefusedAndLeftoversCleared) {
  Database db;
  db.appendToModelSpace(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 1)));
  fs::path file = tempDir() / "readonly.DWG";
  fs::remove(file);
  std::ofstream(file) << "old";
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(db.saveAs(file), Status::FileAccessError);
  EXPECT_NE(db.lastFileError().find("read-only"), std::string::npos) << db.lastFileError();
  EXPECT_EQ(slurp(file), "old");
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);

  fs::path tmp = file.string() + ".kivtmp";
  std::ofstream(tmp) << "half a drawing";
  fs::permissions(tmp, fs::perms::owner_read);
  ASSERT_EQ(db.saveAs(file), Status::Ok) << db.lastFileError();
  EXPECT_FALSE(fs::exists(tmp));
  Database back;
  ASSERT_EQ(back.readDxfFile(file), Status::Ok);
  EXPECT_EQ(back.modelSpaceEntities().size(), 1u);
}

// Blocks named in the BLOCKS section without a block record table are the
// standard spaces when their names say so, not second copies beside them.
TEST(DxfRepair, BlocksWithoutABlockTableMapOntoTheStandardSpaces) {
  Database db;
  ASSERT_EQ(db.readDxfFile(fixture("dxf-blocks-section-without-block-table.dxf")), Status::Ok) << db.lastFileError();
  Database back;
  ASSERT_EQ(back.readDxfText(db.dxfText()), Status::Ok) << back.lastFileError();
  for (Database* d : {&db, &back}) {
    ObjectPtr<BlockTable> bt(d->blockTableId(), OpenMode::ForRead);
    EXPECT_EQ(bt->recordIds().size(), 2u);
    EXPECT_EQ(d->modelSpaceEntities().size(), 1u);
  }
}
