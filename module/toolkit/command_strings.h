// Talking to the CAD host from code that runs outside a command, or that
// must start or finish one of the host's commands:
//
// - IsAcadBusy: is the host inside a command?
// - SendCommandToAcad: types text into the host as the user would, first
//   cancelling a running command with two Escapes where needed.
// - QueueLispCommand: queues command tokens for the host's next prompt.
// - RunAcedCmd: runs command tokens at once in the current document.
// - CAcEditorReactor: follows one named command, so that a caller can hand a
//   host command to the user and wait until it ends (InstallEditorReactor,
//   WaitForWatchedCommand, RemoveEditorReactor, called in this order).
//
// Command token text: tokens separated by "\n", e.g. "zoom\nw\n0,0,0\n9,9,0\n".
#pragma once

#include <string>

#include "platform/editor/reactor.h"

// True while the host runs a command: CMDNAMES is not empty, or the command
// line shows anything but the idle prompt ("命令:" or "Command:", trailing
// blanks ignored).
bool IsAcadBusy();

// Types text into the host's main window (a copy-data message of kind 1
// holding the wide text and its terminating zero). Two Escape characters go
// first unless the text is not empty and either begins with "'" (a
// transparent command) or the host is idle; an empty prefix is sent as an
// empty text. With no main window nothing is sent.
void SendCommandToAcad(const std::wstring& text);

// The Lisp expression that runs the tokens as one command call:
// (Command "a" "b"). Backslashes and double quotes inside a token are escaped,
// so any token text arrives as written. Trailing white space of the text is
// removed first; an empty text gives an empty expression.
std::wstring BuildCommandExpression(const std::wstring& tokens);

// Sets CMDECHO to 0 (not restored), queues BuildCommandExpression(tokens) for
// the next prompt and sends the host its two Escapes so that the prompt comes
// back and the expression runs. An empty text does nothing more than the
// CMDECHO change.
void QueueLispCommand(const std::wstring& tokens);

// Runs the tokens at once as one command call in the current document,
// under a write lock, with CMDECHO 0 (not restored). An empty text (after the
// trailing white space is removed) does nothing.
void RunAcedCmd(const std::wstring& tokens);

// Follows one command by its global name.
class CAcEditorReactor : public ed::EditorReactor {
 public:
  // Not started yet, started, ended, cancelled.
  static constexpr int kNotStarted = -1, kStarted = 0, kEnded = 1, kCancelled = 2;

  CAcEditorReactor() = default;
  ~CAcEditorReactor() override = default;

  void commandWillStart(const std::wstring& cmdName) override;
  void commandEnded(const std::wstring& cmdName) override;
  void commandCancelled(const std::wstring& cmdName) override;

  // The watched name is kept upper-cased; events are compared upper-cased.
  void setWatchedName(const std::wstring& name);
  const std::wstring& watchedName() const { return watched_; }
  int state() const { return state_; }

 private:
  void onEvent(const std::wstring& cmdName, int newState);

  std::wstring watched_;
  int state_ = kNotStarted;
};

// The one reactor that exists at a time, or null.
extern CAcEditorReactor* g_editorReactor;

// Makes a reactor watching the named command and adds it to the editor's
// reactors. A reactor still installed from before is removed first.
void InstallEditorReactor(const std::wstring& cmdName);
// RTCAN at once when the watched command never started; otherwise passes one
// pause at a time to the running command until it ends (RTNORM) or is
// cancelled (RTCAN). A pause that the host refuses while the command is still
// running ends the wait with RTCAN instead of asking again forever. Without
// an installed reactor: RTCAN.
int WaitForWatchedCommand(const std::wstring& cmdName);
// Removes g_editorReactor from the editor's reactors, deletes it and clears
// the pointer. Harmless when none is installed.
void RemoveEditorReactor();
