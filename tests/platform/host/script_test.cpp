#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/cad/database.h"
#include "platform/editor/editor.h"
#include "platform/host/script.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;

namespace {

TEST(ScriptParse, BadLinesGiveLineNumberedErrors) {
  ed::resetEditor();
  struct Case {
    const wchar_t* script;
    int line;
    const wchar_t* fragment;
  };
  const Case cases[] = {
      {L"LINE\n0,0\n.bogus 1\n", 3, L"unknown directive .bogus"},
      {L"# c\n.pick 10,abc\n", 2, L"malformed point"},
      {L"\n\n.window 1,2\n", 3, L".window takes 2 arguments"},
      {L".hover 1;2\n", 1, L"malformed point"},
      {L"LINE\n10,x\n", 2, L"malformed point"},
      {L".pick G12\n", 1, L"malformed handle"},
      {L".key NOKEY\n", 1, L"unknown key"},
      {L".esc now\n", 1, L"takes no argument"},
  };
  for (const auto& c : cases) {
    std::vector<ed::InputToken> tokens;
    host::ScriptError err;
    EXPECT_FALSE(host::parseScript(c.script, tokens, err)) << os::toUtf8(c.script);
    EXPECT_EQ(err.line, c.line) << os::toUtf8(c.script);
    EXPECT_NE(err.text().find(c.fragment), std::wstring::npos) << os::toUtf8(err.text());
  }
}

std::wstring fixture(const char* name) {
  std::ifstream f(fs::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "host" / name, std::ios::binary);
  std::stringstream text;
  text << f.rdbuf();
  return os::fromUtf8(text.str());
}

// Function key numbers are read with range checks: a number too large for
// an int is refused, not wrapped onto a real key.
TEST(ScriptParse, KeyNumbersOutOfRangeAreRefused) {
  ed::resetEditor();
  std::vector<ed::InputToken> tokens;
  host::ScriptError err;
  EXPECT_FALSE(host::parseScript(fixture("script-key-fnumber-int-overflow-ubsan.scr"), tokens, err));
  EXPECT_EQ(err.line, 1);
  EXPECT_NE(err.text().find(L"F11111111111\" out of range"), std::wstring::npos) << os::toUtf8(err.text());

  for (const wchar_t* key : {L"F4294967297", L"F2147483648", L"f25", L"F0", L"F99999999999999999999"}) {
    tokens.clear();
    EXPECT_FALSE(host::parseScript(std::wstring(L"# keys\n.key ") + key + L"\n", tokens, err)) << os::toUtf8(key);
    EXPECT_EQ(err.line, 2);
    EXPECT_NE(err.message.find(L"out of range"), std::wstring::npos) << os::toUtf8(err.message);
  }
  for (const wchar_t* key : {L"F1", L"f24", L"F08"}) {
    tokens.clear();
    EXPECT_TRUE(host::parseScript(std::wstring(L".key ") + key + L"\n", tokens, err)) << os::toUtf8(err.text());
  }
  EXPECT_EQ(ed::virtualKeyFromName(L"F4294967297"), 0);
  EXPECT_EQ(ed::virtualKeyFromName(L"F24"), ed::virtualKeyFromName(L"F1") + 23);
}

TEST(ScriptParse, TokensOfEveryLineKind) {
  ed::resetEditor();
  host::registerHostDirectives();
  ed::registerAnswerDirective(L".set");
  std::vector<ed::InputToken> t;
  host::ScriptError err;
  ASSERT_TRUE(host::parseScript(
      L"LINE\n1,2\n3,4,5\n\n# note\n.pick 1A\n.pick 5,6\n.window 0,0 9,9\n.hover 1,1\n.rclick\n"
      L".shift-down\n.key f8\n.set 名称 \"a b\"\n.echo hello  world\n12.5\n",
      t, err))
      << os::toUtf8(err.text());
  ASSERT_EQ(t.size(), 14u);
  EXPECT_EQ(t[0].kind, ed::TokenKind::Text);
  EXPECT_EQ(t[1].kind, ed::TokenKind::Point);
  EXPECT_EQ(t[2].p1, geom::Point3d(3, 4, 5));
  EXPECT_EQ(t[3].kind, ed::TokenKind::Enter);
  EXPECT_EQ(t[4].text, L"1A");
  EXPECT_EQ(t[4].line, 6);
  EXPECT_EQ(t[5].p1, geom::Point3d(5, 6, 0));
  EXPECT_EQ(t[6].kind, ed::TokenKind::Window);
  EXPECT_EQ(t[7].kind, ed::TokenKind::Hover);
  EXPECT_EQ(t[8].kind, ed::TokenKind::RightClick);
  EXPECT_EQ(t[9].kind, ed::TokenKind::ShiftDown);
  EXPECT_EQ(t[10].kind, ed::TokenKind::Key);
  EXPECT_EQ(t[11].args, (std::vector<std::wstring>{L"名称", L"a b"}));
  EXPECT_EQ(t[12].args, (std::vector<std::wstring>{L"hello  world"}));
  EXPECT_EQ(t[13].text, L"12.5");
}

// Parses and runs a script on a fresh editor with the host's directives;
// the errors the run met.
std::vector<host::ScriptError> runScript(const std::wstring& text) {
  ed::resetEditor();
  host::registerHostDirectives();
  std::vector<ed::InputToken> t;
  host::ScriptError err;
  EXPECT_TRUE(host::parseScript(text, t, err)) << os::toUtf8(err.text());
  return host::runTokens(t);
}

TEST(ScriptRun, ExpectAndFailuresStopWithTheLine) {
  auto errors = runScript(L"LINE\n0,0\n10,0\n\n.expect 指定下一点\nNOSUCH\n.echo never\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 6);
  EXPECT_NE(errors[0].message.find(L"未知命令"), std::wstring::npos);
  EXPECT_EQ(ed::curDatabase()->modelSpaceEntities().size(), 1u);
  EXPECT_EQ(ed::transcript().find(L"never"), std::wstring::npos);

  errors = runScript(L"LINE\n0,0\n.expect 没有这段文字\n");
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].line, 3);

  // Input that runs out inside a command is a failure too.
  errors = runScript(L"CIRCLE\n0,0\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find(L"input ran out"), std::wstring::npos);
  EXPECT_EQ(errors[0].line, 2);
}

// A failing directive is reported on its own line and nothing after it runs,
// at the idle prompt and inside a command (which it cancels like Escape).
TEST(ScriptRun, FailingDirectiveStopsOnItsLine) {
  auto errors = runScript(fixture("directive-error-next-line.scr"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_NE(ed::transcript().find(L"one"), std::wstring::npos);
  EXPECT_EQ(ed::transcript().find(L"three"), std::wstring::npos) << os::toUtf8(ed::transcript());
  EXPECT_TRUE(ed::inputQueue().empty());

  errors = runScript(L"LINE\n0,0\n.saveas /nonexistent-dir/x.dxf\n10,0\n\n.echo after\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 3);
  EXPECT_TRUE(ed::curDatabase()->modelSpaceEntities().empty());
  EXPECT_EQ(ed::transcript().find(L"after"), std::wstring::npos);
}

// The built cadhost rewrites a drawing: open, draw, erase by handle, save as.
TEST(Cadhost, EndToEndRewritesADrawing) {
  fs::path dir = fs::path(KIV_BINARY_DIR) / "tests" / "host_e2e";
  fs::remove_all(dir);
  fs::create_directories(dir);
  cad::ObjectId keep, drop;
  std::string dropHandle;
  {
    cad::Database db;
    db.appendToModelSpace(std::make_unique<cad::Line>(geom::Point3d(0, 0, 0), geom::Point3d(10, 0, 0)), &keep);
    db.appendToModelSpace(std::make_unique<cad::Circle>(geom::Point3d(50, 50, 0), geom::Vector3d(0, 0, 1), 5), &drop);
    ASSERT_EQ(db.saveAs(dir / "in.dxf"), cad::Status::Ok);
    dropHandle = drop.handle().textUtf8();  // ids die with their database
  }
  {
    std::ofstream s(dir / "s.scr");
    s << "# draw and erase\nLINE\n0,0\n5,5\n\nERASE\n.pick " << dropHandle << "\n\n"
      << ".expect 找到 1 个\n.commands\n.dump " << (dir / "dump.jsonl").string() << "\n"
      << ".saveas " << (dir / "out.dxf").string() << "\n";
  }
  std::string cmd = std::string(KIV_BINARY_DIR) + "/bin/cadhost --drawing " + (dir / "in.dxf").string() +
                    " --script " + (dir / "s.scr").string() + " > " + (dir / "out.txt").string() + " 2>&1";
  int rc = std::system(cmd.c_str());
  std::ifstream out(dir / "out.txt");
  std::stringstream text;
  text << out.rdbuf();
  ASSERT_EQ(rc, 0) << text.str();
  EXPECT_NE(text.str().find("ACAD ROTATE ROTATE 0"), std::string::npos);

  cad::Database back(false);
  ASSERT_EQ(back.readDxfFile(dir / "out.dxf"), cad::Status::Ok);
  auto ids = back.modelSpaceEntities();
  ASSERT_EQ(ids.size(), 2u);  // the old line and the new one; the circle is gone
  cad::ObjectPtr<cad::Line> l(ids[1], cad::OpenMode::ForRead);
  ASSERT_TRUE(l);
  EXPECT_EQ(l->end(), geom::Point3d(5, 5, 0));
  std::ifstream dump(dir / "dump.jsonl");
  std::string first;
  std::getline(dump, first);
  EXPECT_NE(first.find("\"type\":\"LINE\""), std::string::npos) << first;

  // A bad script line fails the run with its number.
  {
    std::ofstream s(dir / "bad.scr");
    s << "LINE\n.nonsense\n";
  }
  cmd = std::string(KIV_BINARY_DIR) + "/bin/cadhost --script " + (dir / "bad.scr").string() + " > " +
        (dir / "bad.txt").string() + " 2>&1";
  EXPECT_NE(std::system(cmd.c_str()), 0);
  std::ifstream bad(dir / "bad.txt");
  std::stringstream badText;
  badText << bad.rdbuf();
  EXPECT_NE(badText.str().find("line 2: unknown directive .nonsense"), std::string::npos) << badText.str();
}

struct HostRun {
  int exit = -1;  // -1: no clean exit (an abort, a signal)
  std::string output;
};

// Runs the built cadhost with the arguments; the messages (and standard
// output unless stdoutTo names a file for it) are handed back.
HostRun cadhost(const std::string& args, const fs::path& dir, const std::string& stdoutTo = "") {
  const fs::path out = dir / "run.txt";
  std::string cmd = std::string(KIV_BINARY_DIR) + "/bin/cadhost " + args;
  cmd += stdoutTo.empty() ? " > \"" + out.string() + "\" 2>&1" : " > " + stdoutTo + " 2> \"" + out.string() + "\"";
  const int rc = std::system(cmd.c_str());
  std::ifstream f(out);
  std::stringstream text;
  text << f.rdbuf();
  return HostRun{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, text.str()};
}

// A script that is a folder or has no end is a wrong argument: a message and
// exit 2, never an abort; standard output that cannot be written fails the
// run with a message.
TEST(Cadhost, ScriptsThatAreNoFilesAndAFullStandardOutputFailClearly) {
  fs::path dir = fs::path(KIV_BINARY_DIR) / "tests" / "host_inputs";
  fs::remove_all(dir);
  fs::create_directories(dir / "folder.scr");
  const std::string ok = (fs::path(KIV_SOURCE_DIR) / "tests" / "fixtures" / "host" / "ok.scr").string();
  struct Case {
    std::string args, stdoutTo;
    int exit;
    const char* message;
  } cases[] = {
      {"--script " + (dir / "folder.scr").string(), "", 2, "folder.scr is a folder"},
      {"--script /dev/zero", "", 2, "/dev/zero is a device, not a file"},
      {"--script " + (dir / "missing.scr").string(), "", 2, "missing.scr (No such file"},
      {"--script " + ok, "/dev/full", 1, "cannot write the command line to standard output"},
      {"--script " + ok, "/dev/null", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args + " > " + c.stdoutTo);
    HostRun r = cadhost(c.args, dir, c.stdoutTo);
    EXPECT_EQ(r.exit, c.exit) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
  }
}

// A save onto a link writes the drawing the link names and keeps the link; a
// save onto a device is refused, and the device stays.
TEST(Cadhost, SavesWriteThroughLinksAndRefuseDevices) {
  fs::path dir = fs::path(KIV_BINARY_DIR) / "tests" / "host_links";
  fs::remove_all(dir);
  fs::create_directories(dir / "elsewhere");
  {
    cad::Database db;
    db.appendToModelSpace(std::make_unique<cad::Line>(geom::Point3d(0, 0, 0), geom::Point3d(10, 0, 0)));
    ASSERT_EQ(db.saveAs(dir / "elsewhere" / "3层.DWG"), cad::Status::Ok);
  }
  fs::create_symlink("elsewhere/3层.DWG", dir / "3层.DWG");
  {
    std::ofstream s(dir / "save.scr");
    s << "LINE\n0,0\n5,5\n\n.save\n";
    std::ofstream d(dir / "device.scr");
    d << "LINE\n0,0\n5,5\n\n.saveas /dev/null\n";
  }
  HostRun r = cadhost("--drawing " + (dir / "3层.DWG").string() + " --script " + (dir / "save.scr").string(), dir);
  ASSERT_EQ(r.exit, 0) << r.output;
  EXPECT_TRUE(fs::is_symlink(dir / "3层.DWG"));
  cad::Database back(false);
  ASSERT_EQ(back.readDxfFile(dir / "elsewhere" / "3层.DWG"), cad::Status::Ok);
  EXPECT_EQ(back.modelSpaceEntities().size(), 2u);  // the new line is in the drawing the link names
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "elsewhere"), {}), 1);

  r = cadhost("--drawing " + (dir / "3层.DWG").string() + " --script " + (dir / "device.scr").string(), dir);
  EXPECT_EQ(r.exit, 1) << r.output;
  EXPECT_NE(r.output.find("not a regular file"), std::string::npos) << r.output;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
