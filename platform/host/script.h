// cadhost's script reader and runner. A script has one input per line: a
// command name, a point "x,y[,z]", a number, a keyword or text, an empty
// line for Enter, and directives that begin with '.'; lines beginning with
// '#' are comments.
#pragma once

#include <string>
#include <vector>

#include "platform/editor/input.h"

namespace host {

struct ScriptError {
  int line = 0;
  std::wstring message;
  std::wstring text() const;  // "line N: message"
};

// Parses one script line (lineNo counts from 1). Appends its tokens (none
// for a comment). False with a message for an unknown directive or a
// malformed argument.
bool parseLine(const std::wstring& line, int lineNo, std::vector<ed::InputToken>& out, std::wstring& error);
// Parses a whole script; stops at the first bad line.
bool parseScript(const std::wstring& text, std::vector<ed::InputToken>& out, ScriptError& error);

// Registers the host's own directives (.save .saveas .open .commands .dump
// .echo .expect .render) with the input layer. Called once by the runner.
void registerHostDirectives();

// Writes every model-space entity of the current drawing as one JSON line
// (handle, type, layer, geometry, extended data). False with a message when
// the file cannot be written.
bool dumpDrawing(const std::wstring& path, std::wstring& error);
// The JSON line of one entity.
std::string entityJson(const void* entity);

// Runs tokens: at the idle prompt a text token runs a command; each command
// reads its inputs from the queue. Between inputs the idle hook runs.
// Returns the errors met (a failed command, input running out inside a
// command, a failed directive); it stops at the first one.
std::vector<ScriptError> runTokens(const std::vector<ed::InputToken>& tokens);

// The transcript position where the current top-level command began (.expect).
size_t lastCommandMark();

}  // namespace host
