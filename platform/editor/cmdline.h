// The command line: everything the host and the modules print goes into one
// transcript that cadhost copies to stdout and tests read.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>
#include <vector>

namespace ed {

// Prints formatted text. The format follows the wide-character printf of the
// platform the modules were written for: "%s" and "%c" take wide strings and
// characters ("%S" a narrow UTF-8 string), "%d", "%f", "%.*lf", "%x"... as usual.
void print(const wchar_t* fmt, ...);
void vprint(const wchar_t* fmt, va_list ap);
// Prints text as it is.
void printText(const std::wstring& text);
// Formats like print() into a string.
std::wstring format(const wchar_t* fmt, ...);
std::wstring vformat(const wchar_t* fmt, va_list ap);

// Shows a prompt: printed like printText, and remembered as the current
// prompt of the command line window.
void prompt(const std::wstring& text);
// An alert box: recorded, and printed on the command line as "** text **".
void alert(const std::wstring& text);
const std::vector<std::wstring>& alerts();

// The whole transcript since the start (or since clearTranscript()).
const std::wstring& transcript();
void clearTranscript();
// A position in the transcript, and the text printed since it.
size_t transcriptMark();
std::wstring transcriptSince(size_t mark);

// Called with every piece of printed text (cadhost prints it to stdout).
using OutputSink = std::function<void(const std::wstring&)>;
void setOutputSink(OutputSink sink);

// The idle prompt.
inline const std::wstring kIdlePrompt = L"命令:";
// The text of the command line window: the idle prompt followed by blanks
// when no command runs, otherwise the last prompt shown.
std::wstring commandWindowText();

}  // namespace ed
