// The host's input queue: every prompt, dialog and message box takes its
// answer from here. Scripts and tests fill it; an empty queue answers like
// Escape, so nothing can wait for input that never comes.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/geom/geom.h"

namespace ed {

enum class TokenKind {
  Text,        // a typed word: command name, keyword, number, free text
  Point,       // a picked point (p1)
  Enter,       // Enter key
  Escape,      // Escape key
  Space,       // Space bar
  RightClick,  // right mouse button
  ShiftDown,   // Shift pressed
  ShiftUp,     // Shift released
  Pick,        // entity pick: by handle (text) or at a point (p1)
  Window,      // window selection p1..p2
  Crossing,    // crossing selection p1..p2
  Hover,       // cursor moved to p1 without picking
  Key,         // a named key (text), e.g. "F8", "DEL"
  Directive,   // any other host directive: name in text, arguments in args
};

struct InputToken {
  TokenKind kind = TokenKind::Text;
  std::wstring text;
  geom::Point3d p1, p2;
  std::vector<std::wstring> args;
  int line = 0;  // script line the token came from (0 when not from a script)
};

// A token of the kind with its text and point, the other fields as a new
// token has them.
inline InputToken makeToken(TokenKind kind, std::wstring text = {}, geom::Point3d p = {}) {
  InputToken t;
  t.kind = kind;
  t.text = std::move(text);
  t.p1 = p;
  return t;
}

class InputQueue {
 public:
  void push(InputToken t);
  void pushFront(InputToken t);
  bool empty() const { return tokens_.empty(); }
  size_t size() const { return tokens_.size(); }
  const InputToken* peek() const { return tokens_.empty() ? nullptr : &tokens_.front(); }
  // Takes the next token; nullopt when the queue is empty (the caller treats
  // that as Escape and may report that the input ran out).
  std::optional<InputToken> next();
  void clear() { tokens_.clear(); }
  // Counts how often a reader found the queue empty (tests and cadhost read it).
  int exhaustedCount() const { return exhausted_; }
  void resetExhausted() { exhausted_ = 0; }
  // Line of the last token handed out.
  int lastLine() const { return lastLine_; }

 private:
  std::deque<InputToken> tokens_;
  int exhausted_ = 0;
  int lastLine_ = 0;
};

// The queue of the host session (one command stream, as a script is).
InputQueue& inputQueue();

// Immediate directives: host directives that act when the input reaches them
// (".combo", ".palette", ".png", ...), wherever that is, at the idle prompt or
// inside a command. Layers register them by name (with the leading dot); the
// handler returns false and fills error when it cannot act.
using DirectiveHandler = std::function<bool(const InputToken&, std::wstring& error)>;
void registerDirective(const std::wstring& name, DirectiveHandler handler);
void unregisterDirective(const std::wstring& name);
bool isImmediateDirective(const std::wstring& name);
// Every directive name the script reader accepts: the immediate ones and the
// answer directives that dialogs, menus and message boxes take (".set",
// ".click", ...). Registering an answer name makes the reader accept it.
void registerAnswerDirective(const std::wstring& name);
bool isKnownDirective(const std::wstring& name);

// Takes the next token for a reader (prompt, dialog, message box): runs the
// immediate directives it meets on the way and returns the first other token.
// A failing immediate directive is reported through lastDirectiveError() and
// directiveErrorLine(); then reading goes on, or, while stopAtDirectiveError
// is on, the input ends there: the rest of the queue is dropped and the
// reader gets nullopt (Escape), so nothing after the failing line runs.
// nullopt when the queue runs out.
std::optional<InputToken> nextInput();
// Whether a failing immediate directive ends the input (the script runner
// turns it on for its run). Returns the previous setting.
bool setStopAtDirectiveError(bool on);

// Where answer directives go when the reader that meets them is not a dialog
// (the idle prompt, a command's prompt while a modeless window is open): the
// window layer installs its router here. Returns false with error filled
// when nothing takes the answer.
void setAnswerRouter(DirectiveHandler router);
bool routeAnswer(const InputToken& t, std::wstring& error);
const std::wstring& lastDirectiveError();
// The script line of the last failing immediate directive (0 when none).
int directiveErrorLine();
// How many immediate directives have failed so far, and forgetting the last error.
int directiveErrorCount();
void clearDirectiveError();

}  // namespace ed
