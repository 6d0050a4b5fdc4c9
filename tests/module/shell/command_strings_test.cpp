// Command strings typed into the host, queued and run, and the reactor that
// follows one host command.
#include "module/toolkit/command_strings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/input.h"
#include "platform/editor/prompts.h"
#include "platform/editor/reactor.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"

namespace {

class CommandStrings : public testing::Test {
 protected:
  void SetUp() override {
    ed::resetEditor();
    ed::docManager().curDocument();
  }
  void TearDown() override {
    RemoveEditorReactor();
    ed::resetEditor();
  }

  // A command of our own whose body runs the given code.
  void addCommand(const std::wstring& name, std::function<void()> body) {
    ed::commandStack().addCommand(L"KIVTEST", name, name, ed::kCmdModal, std::move(body));
  }
  // Runs code inside a running command.
  void insideCommand(std::function<void()> body) {
    addCommand(L"KIVINSIDE", std::move(body));
    ed::runCommand(L"KIVINSIDE");
  }

  const std::vector<std::wstring>& sent() { return ed::docManager().sentStrings(); }

};

TEST_F(CommandStrings, BusyOnlyInsideACommand) {
  EXPECT_FALSE(IsAcadBusy()) << "the idle command line reads 命令: followed by blanks";
  bool busy = false;
  insideCommand([&] { busy = IsAcadBusy(); });
  EXPECT_TRUE(busy);
  EXPECT_FALSE(IsAcadBusy());
}

TEST_F(CommandStrings, EscapesGoFirstOnlyWhileACommandRuns) {
  struct Case {
    const char* what;
    bool inside;
    std::wstring text;
    std::vector<std::wstring> sent;
  };
  const std::wstring esc2 = L"\x1b\x1b";
  const Case cases[] = {
      {"idle, a command", false, L"KIVNOTHING\n", {L"", L"KIVNOTHING\n"}},
      {"idle, empty text", false, L"", {esc2}},
      {"running, a command", true, L"KIVNOTHING\n", {esc2, L"KIVNOTHING\n"}},
      {"running, empty text", true, L"", {esc2}},
      {"running, transparent", true, L"'ZOOM\n", {L"", L"'ZOOM\n"}},
  };
  for (const auto& c : cases) {
    ed::resetEditor();
    ed::docManager().curDocument();
    addCommand(L"KIVNOTHING", [] {});
    if (c.inside)
      insideCommand([&] { SendCommandToAcad(c.text); });
    else
      SendCommandToAcad(c.text);
    EXPECT_EQ(sent(), c.sent) << c.what;
  }
}

TEST_F(CommandStrings, TextSentDuringACommandRunsOnceAfterIt) {
  int runs = 0;
  bool outerRunningAtStart = true;
  addCommand(L"KIVLATER", [&] {
    ++runs;
    outerRunningAtStart = ed::activeCommands().size() > 1;
  });
  insideCommand([&] {
    SendCommandToAcad(L"KIVLATER\n");
    EXPECT_EQ(runs, 0) << "the host takes typed text at its next prompt";
  });
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(outerRunningAtStart);
}

TEST_F(CommandStrings, CommandExpressionsQuoteEveryTokenSafely) {
  struct Case {
    std::wstring tokens, expr;
  };
  const Case cases[] = {
      {L"zoom\nw\n", L"(Command \"zoom\" \"w\")"},
      {L"zoom\nw\n1,2,0\n3,4,0\n  ", L"(Command \"zoom\" \"w\" \"1,2,0\" \"3,4,0\")"},
      {L"text\n\n", L"(Command \"text\")"},
      {L"a\n\nb", L"(Command \"a\" \"\" \"b\")"},  // an empty token is an Enter
      {L"say\nhe said \"hi\"", L"(Command \"say\" \"he said \\\"hi\\\"\")"},
      {L"path\nC:\\dir\\", L"(Command \"path\" \"C:\\\\dir\\\\\")"},
      {L"", L""},
      {L" \n\t", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildCommandExpression(c.tokens), c.expr);
    if (c.expr.empty()) continue;
    // The host reads every token back exactly as it was given.
    std::vector<std::wstring> back;
    ASSERT_TRUE(ed::parseCommandExpr(c.expr, back)) << testing::PrintToString(c.expr);
    StringArray want;
    SplitToArray(TrimWhiteRight(c.tokens), L"\n", want);
    EXPECT_EQ(back, want);
  }
}

TEST_F(CommandStrings, QueuedTokensWaitForTheNextPromptWithEchoOff) {
  ed::setVar(L"CMDECHO", ed::SysValue{1});
  ed::inputQueue().clear();
  QueueLispCommand(L"KIVNOTHING\nabc\n");
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 0);
  // The two Escapes bring the prompt back; the tokens wait at the front.
  EXPECT_EQ(sent(), (std::vector<std::wstring>{L"\x1b\x1b"}));
  ASSERT_EQ(ed::inputQueue().size(), 2u);
  EXPECT_EQ(ed::inputQueue().peek()->text, L"KIVNOTHING");

  // An empty text only turns the echo off.
  ed::inputQueue().clear();
  ed::setVar(L"CMDECHO", ed::SysValue{1});
  QueueLispCommand(L"  \n");
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 0);
  EXPECT_TRUE(ed::inputQueue().empty());
  EXPECT_EQ(sent().size(), 1u);
}

TEST_F(CommandStrings, RunAcedCmdRunsTheTokensAtOnceUnderALock) {
  std::wstring answer;
  int lockDuring = -1;
  addCommand(L"KIVASK", [&] {
    lockDuring = ed::docManager().curDocument()->lockCount();
    ed::getString(true, L"\n文字:", answer);
  });
  ed::setVar(L"CMDECHO", ed::SysValue{1});
  RunAcedCmd(L"KIVASK\nhello world\n");
  EXPECT_EQ(answer, L"hello world");
  EXPECT_GT(lockDuring, 0);
  EXPECT_EQ(ed::docManager().curDocument()->lockCount(), 0) << "unlocked afterwards";
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 0);

  // Nothing runs, and the echo stays, for a text of blanks.
  ed::setVar(L"CMDECHO", ed::SysValue{1});
  answer.clear();
  RunAcedCmd(L" \r\n ");
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1);
}

TEST_F(CommandStrings, ReactorFollowsOnlyTheWatchedCommandInUpperCase) {
  InstallEditorReactor(L"rotate");
  ASSERT_NE(g_editorReactor, nullptr);
  EXPECT_EQ(g_editorReactor->watchedName(), L"ROTATE");
  EXPECT_EQ(g_editorReactor->state(), CAcEditorReactor::kNotStarted);
  EXPECT_EQ(WaitForWatchedCommand(L"rotate"), ed::kCancel) << "never started: no pause is passed";

  ed::fireCommandWillStart(L"ROTATE");
  EXPECT_EQ(g_editorReactor->state(), CAcEditorReactor::kStarted);
  ed::fireCommandEnded(L"LINE");
  ed::fireCommandCancelled(L"ZOOM");
  EXPECT_EQ(g_editorReactor->state(), CAcEditorReactor::kStarted) << "other commands change nothing";
  ed::fireCommandEnded(L"Rotate");
  EXPECT_EQ(WaitForWatchedCommand(L"rotate"), ed::kNormal);

  ed::fireCommandWillStart(L"ROTATE");
  ed::fireCommandCancelled(L"ROTATE");
  EXPECT_EQ(WaitForWatchedCommand(L"rotate"), ed::kCancel);

  CAcEditorReactor* r = g_editorReactor;
  RemoveEditorReactor();
  EXPECT_EQ(g_editorReactor, nullptr);
  for (auto* x : ed::reactors()) EXPECT_NE(x, r);
  RemoveEditorReactor();  // harmless a second time
}

TEST_F(CommandStrings, WaitEndsWhenTheRunningCommandCannotBeFedAnyMore) {
  InstallEditorReactor(L"ROTATE");
  ed::fireCommandWillStart(L"ROTATE");
  // The command has started but no input is left for its pauses: the wait
  // gives up with a cancel instead of passing pauses forever.
  ed::inputQueue().clear();
  EXPECT_EQ(WaitForWatchedCommand(L"ROTATE"), ed::kCancel);
}

TEST_F(CommandStrings, InstallingAgainReplacesTheOldReactor) {
  InstallEditorReactor(L"A");
  CAcEditorReactor* first = g_editorReactor;
  InstallEditorReactor(L"B");
  EXPECT_NE(g_editorReactor, nullptr);
  size_t ours = 0;
  for (auto* x : ed::reactors())
    if (dynamic_cast<CAcEditorReactor*>(x)) ++ours;
  EXPECT_EQ(ours, 1u) << "the first reactor left the editor's list";
  (void)first;
}

}  // namespace
