#include "module/toolkit/command_strings.h"

#include <vector>

#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/os/os.h"
#include "platform/ui/wnd.h"

CAcEditorReactor* g_editorReactor = nullptr;

namespace {

// Kind of the copy-data block that carries typed text.
constexpr std::uintptr_t kTypedTextData = 1;

// Types one text into the host through its main window. A main window that
// does not take typed text itself (the answer 0) hands it on to the editor's
// queue of command strings, which reads Escape characters as Escapes and
// runs the rest at the next prompt.
void typeIntoHost(ui::Wnd* mainWnd, const std::wstring& text) {
  ui::CopyDataStruct data;
  data.dwData = kTypedTextData;
  data.cbData = static_cast<unsigned>((text.size() + 1) * sizeof(wchar_t));
  data.lpData = text.c_str();
  ui::LResult taken =
      mainWnd->SendMessage(ui::wm::CopyData, ui::ToWParam(mainWnd->GetSafeHwnd()), ui::ToLParam(&data));
  if (taken) return;
  auto& dm = ed::docManager();
  dm.sendStringToExecute(dm.curDocument(), text, true, false, true);
}

void setCmdEchoOff() { ed::setVar(L"CMDECHO", ed::SysValue{0}); }

// Escapes the characters that end or change a Lisp string.
std::wstring lispString(const std::wstring& token) {
  std::wstring out = L"\"";
  for (wchar_t c : token) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
  out += L'"';
  return out;
}

}  // namespace

bool IsAcadBusy() {
  if (auto names = ed::getVarString(L"CMDNAMES"); names && !names->empty()) return true;
  std::wstring line;
  GetCmdLineText(line);
  line = TrimWhiteRight(line);
  return !(line == L"命令:" || line == L"Command:");
}

void SendCommandToAcad(const std::wstring& text) {
  ui::Wnd* mainWnd = ui::mainFrame();
  if (!mainWnd || !mainWnd->GetSafeHwnd()) return;
  std::wstring prefix = L"\x1b\x1b";
  if (!text.empty() && (text[0] == L'\'' || !IsAcadBusy())) prefix.clear();
  typeIntoHost(mainWnd, prefix);
  if (!text.empty()) typeIntoHost(mainWnd, text);
}

std::wstring BuildCommandExpression(const std::wstring& tokens) {
  std::wstring text = TrimWhiteRight(tokens);
  if (text.empty()) return {};
  StringArray parts;
  SplitToArray(text, L"\n", parts);
  std::wstring expr = L"(Command";
  for (const auto& p : parts) expr += L" " + lispString(p);
  expr += L")";
  return expr;
}

void QueueLispCommand(const std::wstring& tokens) {
  setCmdEchoOff();
  std::wstring expr = BuildCommandExpression(tokens);
  if (expr.empty()) return;
  ed::queueExpr(expr);
  SendCommandToAcad(L"");
}

void RunAcedCmd(const std::wstring& tokens) {
  std::wstring text = TrimWhiteRight(tokens);
  if (text.empty()) return;
  setCmdEchoOff();
  StringArray parts;
  SplitToArray(text, L"\n", parts);
  std::vector<ed::CmdArg> args;
  args.reserve(parts.size());
  // One text per token; the host reads the text "\\" as a pause.
  for (const auto& p : parts) args.emplace_back(p);
  auto& dm = ed::docManager();
  ed::Document* doc = dm.curDocument();
  dm.activateDocument(doc, false);
  dm.lockDocument(doc, ed::LockMode::Write, nullptr, nullptr, true);
  ed::command(args);
  dm.unlockDocument(doc);
}

// ---------------------------------------------------------------------------
// The editor reactor
// ---------------------------------------------------------------------------

void CAcEditorReactor::setWatchedName(const std::wstring& name) { watched_ = os::toUpper(name); }

void CAcEditorReactor::onEvent(const std::wstring& cmdName, int newState) {
  if (os::toUpper(cmdName) == watched_) state_ = newState;
}

void CAcEditorReactor::commandWillStart(const std::wstring& cmdName) { onEvent(cmdName, kStarted); }
void CAcEditorReactor::commandEnded(const std::wstring& cmdName) { onEvent(cmdName, kEnded); }
void CAcEditorReactor::commandCancelled(const std::wstring& cmdName) { onEvent(cmdName, kCancelled); }

void InstallEditorReactor(const std::wstring& cmdName) {
  // Only one reactor exists at a time: one left behind would otherwise stay
  // in the editor's list after its pointer is overwritten.
  if (g_editorReactor) RemoveEditorReactor();
  g_editorReactor = new CAcEditorReactor();
  ed::addReactor(g_editorReactor);
  g_editorReactor->setWatchedName(cmdName);
}

int WaitForWatchedCommand(const std::wstring&) {
  CAcEditorReactor* r = g_editorReactor;
  if (!r || r->state() == CAcEditorReactor::kNotStarted) return ed::kCancel;
  while (r->state() != CAcEditorReactor::kEnded && r->state() != CAcEditorReactor::kCancelled) {
    // One pause lets the user give the running command its next input. A
    // pause the host refuses can never move the command on: stop waiting.
    int rc = ed::command({ed::CmdArg::pause()});
    if (rc != ed::kNormal && r->state() != CAcEditorReactor::kEnded &&
        r->state() != CAcEditorReactor::kCancelled)
      return ed::kCancel;
  }
  return r->state() == CAcEditorReactor::kEnded ? ed::kNormal : ed::kCancel;
}

void RemoveEditorReactor() {
  if (!g_editorReactor) return;
  ed::removeReactor(g_editorReactor);
  delete g_editorReactor;
  g_editorReactor = nullptr;
}
