// Internal links between the editor's parts (not for other layers).
#pragma once

#include <string>

#include "platform/geom/geom.h"

namespace ed::detail {

// The current layer and text style of the current database (dbglue.cpp).
std::wstring currentLayer();
bool setCurrentLayer(const std::wstring& name);
std::wstring currentTextStyle();
bool setCurrentTextStyle(const std::wstring& name);
std::wstring currentDrawingName();
std::wstring currentDrawingFolder();

// Where prompts record the last point given (the LASTPOINT variable).
void setLastPoint(const geom::Point3d& p);

// Resets of the parts' global state (editor.cpp calls them).
void resetWinMsgHooks();
void resetPrompts();
void resetDocuments();

}  // namespace ed::detail

#include <deque>
#include <optional>

#include "platform/cad/ids.h"
#include "platform/editor/input.h"

namespace ed::detail {

// One input event after the window-message hooks and the input point
// manager have seen it.
struct Event {
  enum Kind { Point, Text, Enter, Escape, Space, RightClick, Pick, Window, Crossing, SelSet, Key } kind = Escape;
  std::wstring text;      // Text; Pick by handle; Key name
  geom::Point3d p1, p2;   // Point, Pick by point, Window/Crossing corners
  bool byHandle = false;  // Pick given by handle text
  bool ranOut = false;    // Escape because the queue was empty
};

struct ReadOptions {
  const geom::Point3d* base = nullptr;  // the prompt's base point (for the point manager)
  bool textSpaceIsChar = false;         // getString(allowSpaces): Space is text
};

// Reads the next event for a prompt (arguments of a nested host command
// first). Escape marks the running command cancelled.
Event readEvent(const ReadOptions& opt = {});
// readEvent, with the replies that give nothing (Enter, Space, a right
// click) all told as Enter.
Event readReply(const ReadOptions& opt = {});

// Arguments of nested host commands: a stack of token lists; a token of kind
// Directive with text ".pause" reads one token from the queue.
void pushArgFeed(std::deque<InputToken> tokens);
void popArgFeed();
size_t argFeedDepth();
// Takes the next argument of the innermost feed (nullopt when none left).
std::optional<InputToken> argFeedFront();

// The initGet state for the current prompt (taken once per prompt).
struct InitGetState {
  int flags = 0;
  std::vector<std::wstring> local, global;
  bool any() const { return !local.empty(); }
};
InitGetState takeInitGet();
// Matches text against the keywords; the global keyword or empty.
std::wstring matchKeyword(const InitGetState& ig, const std::wstring& text);
void setLastKeyword(const std::wstring& kw);
void clearLastKeyword();

// A point that stands for an entity (start point, centre, position...).
geom::Point3d entityReferencePoint(cad::ObjectId id);

// Runs a command; with allowNested a modal command may start inside
// another (the host's own commands run by command()).
int runCommandNested(const std::wstring& name, bool allowNested);

// Selection set tokens (hostcmd passes a set as an argument).
constexpr wchar_t kSelSetDirective[] = L".selset";
constexpr wchar_t kPauseDirective[] = L".pause";

}  // namespace ed::detail
