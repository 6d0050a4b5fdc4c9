#include "platform/editor/cmdline.h"

#include <cwchar>
#include <vector>

#include "platform/editor/commands.h"
#include "platform/os/os.h"

namespace ed {

namespace {

struct CmdLineState {
  std::wstring transcript;
  std::wstring lastPrompt;
  std::vector<std::wstring> alerts;
  OutputSink sink;
};

CmdLineState& state() {
  static CmdLineState s;
  return s;
}

// Rewrites a format written for the wide printf of the modules' platform
// (where "%s" takes a wide string) into the C library's ("%ls"). A "%S"
// (narrow string there) becomes "%s", and "%hs" stays narrow.
std::wstring portableFormat(const wchar_t* fmt) {
  std::wstring out;
  for (const wchar_t* p = fmt; *p; ++p) {
    out += *p;
    if (*p != L'%') continue;
    ++p;
    if (*p == L'%') {
      out += *p;
      continue;
    }
    // flags, width, precision
    while (*p && std::wcschr(L"-+ #0123456789.*", *p)) out += *p++;
    // length modifiers
    bool narrow = false, hasLength = false;
    while (*p && std::wcschr(L"hlLqjzt", *p)) {
      if (*p == L'h') narrow = true;
      if (*p == L'l') hasLength = true;
      out += *p++;
    }
    if (!*p) break;
    wchar_t conv = *p;
    if ((conv == L's' || conv == L'c') && !narrow && !hasLength) {
      out += L'l';
      out += conv;
    } else if (conv == L'S' || conv == L'C') {
      if (narrow) out += (conv == L'S' ? L's' : L'c');
      else out += (conv == L'S' ? L's' : L'c');
    } else if (conv == L's' && narrow) {
      out.pop_back();  // drop the 'h': the C library's %s is narrow already
      out += L's';
    } else {
      out += conv;
    }
  }
  return out;
}

}  // namespace

std::wstring vformat(const wchar_t* fmt, va_list ap) {
  if (!fmt) return {};
  std::wstring f = portableFormat(fmt);
  std::vector<wchar_t> buf(256);
  for (;;) {
    va_list copy;
    va_copy(copy, ap);
    int n = std::vswprintf(buf.data(), buf.size(), f.c_str(), copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < buf.size()) return std::wstring(buf.data(), n);
    if (buf.size() > (1u << 22)) return f;  // a format that cannot be printed
    buf.resize(buf.size() * 4);
  }
}

std::wstring format(const wchar_t* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::wstring s = vformat(fmt, ap);
  va_end(ap);
  return s;
}

void printText(const std::wstring& text) {
  if (text.empty()) return;
  auto& s = state();
  s.transcript += text;
  if (s.sink) s.sink(text);
}

void vprint(const wchar_t* fmt, va_list ap) { printText(vformat(fmt, ap)); }

void print(const wchar_t* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::wstring s = vformat(fmt, ap);
  va_end(ap);
  printText(s);
}

void prompt(const std::wstring& text) {
  state().lastPrompt = text;
  printText(text);
}

void alert(const std::wstring& text) {
  state().alerts.push_back(text);
  printText(L"\n** " + text + L" **\n");
}

const std::vector<std::wstring>& alerts() { return state().alerts; }

const std::wstring& transcript() { return state().transcript; }

void clearTranscript() {
  state().transcript.clear();
  state().alerts.clear();
}

size_t transcriptMark() { return state().transcript.size(); }

std::wstring transcriptSince(size_t mark) {
  const auto& t = state().transcript;
  if (mark >= t.size()) return {};
  return t.substr(mark);
}

void setOutputSink(OutputSink sink) { state().sink = std::move(sink); }

std::wstring commandWindowText() {
  if (!isCommandActive()) return kIdlePrompt + std::wstring(40, L' ');
  std::wstring p = state().lastPrompt;
  // The window shows the last line of the prompt.
  while (!p.empty() && p.front() == L'\n') p.erase(p.begin());
  auto nl = p.rfind(L'\n');
  if (nl != std::wstring::npos) p = p.substr(nl + 1);
  return p;
}

}  // namespace ed
