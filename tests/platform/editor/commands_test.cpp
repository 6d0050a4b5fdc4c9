#include <stdexcept>

#include "fixture.h"
#include "platform/os/os.h"

using namespace edtest;
using ed::TokenKind;

namespace {

// Records the reactor events as "start X", "end X", "cancel X".
struct Recorder : ed::EditorReactor {
  std::vector<std::wstring> log;
  void commandWillStart(const std::wstring& n) override { log.push_back(L"start " + n); }
  void commandEnded(const std::wstring& n) override { log.push_back(L"end " + n); }
  void commandCancelled(const std::wstring& n) override { log.push_back(L"cancel " + n); }
  void commandFailed(const std::wstring& n) override { log.push_back(L"fail " + n); }
};

class Commands : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ed::addReactor(&rec);
  }
  Recorder rec;
};

TEST_F(Commands, AddLookupRemove) {
  auto& cs = ed::commandStack();
  int runs = 0;
  ASSERT_TRUE(cs.addCommand(L"KivZeb", L"GjType", L"构件类型", ed::kCmdModal, [&] { ++runs; }));
  EXPECT_FALSE(cs.addCommand(L"KivZeb", L"gjtype", L"x", ed::kCmdModal, [] {}));  // duplicate
  ASSERT_TRUE(cs.addCommand(L"KivZeb", L"GPS_Acc", L"GPS_Acc", ed::kCmdTransparent, [] {}));
  for (const wchar_t* name : {L"GJTYPE", L"gjtype", L"_GjType", L"构件类型", L"'GjType", L"._gjtype"})
    EXPECT_NE(cs.lookup(name), nullptr) << os::toUtf8(name);
  EXPECT_EQ(cs.lookup(L"_构件类型"), nullptr);  // "_" asks for the global name
  EXPECT_EQ(cs.lookup(L"nothing"), nullptr);
  EXPECT_EQ(ed::runCommand(L"构件类型"), ed::kNormal);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(cs.removeCommand(L"KivZeb", L"GjType"));
  EXPECT_FALSE(cs.removeCommand(L"KivZeb", L"GjType"));
  EXPECT_TRUE(cs.removeGroup(L"kivzeb"));
  EXPECT_EQ(cs.lookup(L"GPS_Acc"), nullptr);
  EXPECT_FALSE(cs.removeGroup(L"KivZeb"));
}

TEST_F(Commands, UnknownCommandPrintsTheHostMessage) {
  EXPECT_EQ(ed::runCommand(L"Solid2d"), ed::kError);
  EXPECT_NE(ed::transcript().find(L"未知命令“SOLID2D”。按 F1 查看帮助。"), std::wstring::npos);
  ASSERT_EQ(ed::commandFailures().size(), 1u);
  EXPECT_TRUE(rec.log.empty());
}

TEST_F(Commands, TransparentMayNestModalMayNot) {
  auto& cs = ed::commandStack();
  std::wstring namesInside;
  cs.addCommand(L"G", L"INNER", L"INNER", ed::kCmdTransparent, [&] { namesInside = *ed::getVarString(L"CMDNAMES"); });
  cs.addCommand(L"G", L"OTHER", L"OTHER", ed::kCmdModal, [] {});
  std::vector<int> results;
  cs.addCommand(L"G", L"OUTER", L"OUTER", ed::kCmdModal, [&] {
    results.push_back(ed::runCommand(L"OTHER"));
    results.push_back(ed::runCommand(L"'INNER"));
  });
  EXPECT_EQ(ed::runCommand(L"OUTER"), ed::kNormal);
  EXPECT_EQ(results, (std::vector<int>{ed::kReject, ed::kNormal}));
  EXPECT_EQ(namesInside, L"OUTER'INNER");
  EXPECT_EQ(*ed::getVarString(L"CMDNAMES"), L"");
  EXPECT_EQ(rec.log, (std::vector<std::wstring>{L"start OUTER", L"start INNER", L"end INNER", L"end OUTER"}));
  EXPECT_NE(ed::transcript().find(L"不能透明地调用此命令"), std::wstring::npos);
}

TEST_F(Commands, EscapeCancelsAndRunningOutIsAFailure) {
  ed::commandStack().addCommand(L"G", L"ASK", L"ASK", 0, [] {
    geom::Point3d p;
    ed::getPoint(nullptr, L"\n点:", p);
  });
  feed({key(TokenKind::Escape)});
  EXPECT_EQ(ed::runCommand(L"ASK"), ed::kCancel);
  EXPECT_TRUE(ed::commandFailures().empty());  // Escape is no failure
  EXPECT_EQ(ed::runCommand(L"ASK"), ed::kCancel);  // the queue is empty
  ASSERT_EQ(ed::commandFailures().size(), 1u);
  EXPECT_NE(ed::commandFailures()[0].message.find(L"input ran out"), std::wstring::npos);
  EXPECT_EQ(rec.log, (std::vector<std::wstring>{L"start ASK", L"cancel ASK", L"start ASK", L"cancel ASK"}));
}

TEST_F(Commands, ExceptionInACommandIsReportedNotFatal) {
  ed::commandStack().addCommand(L"G", L"BAD", L"BAD", 0, [] { throw std::runtime_error("boom"); });
  EXPECT_EQ(ed::runCommand(L"BAD"), ed::kError);
  EXPECT_EQ(rec.log, (std::vector<std::wstring>{L"start BAD", L"fail BAD"}));
  EXPECT_FALSE(ed::isCommandActive());
}

TEST_F(Commands, QueuedStringsRunAfterTheCurrentCommand) {
  std::vector<std::wstring> order;
  ed::commandStack().addCommand(L"G", L"Solid2d", L"Solid2d", 0, [&] { order.push_back(L"Solid2d"); });
  ed::commandStack().addCommand(L"G", L"FIRST", L"FIRST", 0, [&] {
    ed::docManager().sendStringToExecute(ed::curDoc(), L"Solid2d\n");
    order.push_back(L"FIRST");
  });
  ed::runCommand(L"FIRST");
  EXPECT_EQ(order, (std::vector<std::wstring>{L"FIRST", L"Solid2d"}));
  EXPECT_EQ(ed::docManager().sentStrings(), (std::vector<std::wstring>{L"Solid2d\n"}));
}

TEST_F(Commands, DocumentLocksAndResourceBalance) {
  auto& dm = ed::docManager();
  ed::Document* doc = dm.curDocument();
  EXPECT_FALSE(dm.unlockDocument(doc));
  EXPECT_TRUE(dm.lockDocument(doc, ed::LockMode::Write));
  EXPECT_TRUE(dm.lockDocument(doc));
  EXPECT_EQ(doc->lockCount(), 2);
  EXPECT_TRUE(dm.unlockDocument(doc));
  EXPECT_TRUE(dm.unlockDocument(doc));
  dm.pushResourceHandle(&doc);
  EXPECT_EQ(dm.resourceBalance(), 1);
  dm.popResourceHandle();
  EXPECT_EQ(dm.resourceBalance(), 0);
  EXPECT_EQ(cad::workingDatabase(), doc->database());
}

TEST_F(Commands, SystemVariables) {
  addLayer(L"给水");
  EXPECT_EQ(ed::setVar(L"clayer", std::wstring(L"给水")), ed::kNormal);
  EXPECT_EQ(*ed::getVarString(L"CLAYER"), L"给水");
  EXPECT_EQ(db().clayer(), db().layerId(L"给水"));
  EXPECT_EQ(ed::setVar(L"CLAYER", std::wstring(L"没有")), ed::kError);
  EXPECT_EQ(ed::setVar(L"CMDNAMES", std::wstring(L"X")), ed::kError);  // read-only
  EXPECT_EQ(ed::setVar(L"CMDECHO", 0), ed::kNormal);
  EXPECT_EQ(*ed::getVarInt(L"CMDECHO"), 0);
  EXPECT_EQ(ed::setVar(L"CMDECHO", 7), ed::kError);  // out of range
  EXPECT_EQ(ed::setVar(L"CMDECHO", std::wstring(L"1")), ed::kError);  // wrong kind
  EXPECT_EQ(ed::setVar(L"NOSUCHVAR", 1), ed::kError);
  EXPECT_EQ(ed::setVar(L"SHORTCUTMENU", 0), ed::kNormal);
  EXPECT_EQ(ed::setVar(L"DIMSCALE", 2), ed::kNormal);  // an int for a real
  EXPECT_DOUBLE_EQ(*ed::getVarReal(L"DIMSCALE"), 2.0);
}

}  // namespace
