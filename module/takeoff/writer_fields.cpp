#include "module/takeoff/writer_fields.h"

#include <algorithm>
#include <cwchar>

#include "module/toolkit/strings.h"
#include "module/toolkit/suite_call.h"

namespace writerio {

void LinesOf(std::wstring_view text, std::vector<std::wstring_view>& out) {
  out.clear();
  if (text.empty()) return;
  text = TrimWhiteView(text);
  for (size_t start = 0;;) {
    const size_t pos = text.find(L"\r\n", start);
    if (pos == std::wstring_view::npos) {
      out.push_back(text.substr(start));
      return;
    }
    out.push_back(text.substr(start, pos - start));
    start = pos + 2;
  }
}

void PiecesOf(std::wstring_view text, wchar_t sep, std::vector<std::wstring_view>& out) {
  out.clear();
  if (text.empty()) return;
  text = TrimWhiteView(text);
  for (size_t start = 0;;) {
    const size_t pos = text.find(sep, start);
    if (pos == std::wstring_view::npos) {
      out.push_back(text.substr(start));
      return;
    }
    out.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

double NumberOf(std::wstring_view text) {
  // wcstod reads up to a zero: a short text is copied onto the stack.
  wchar_t small[64];
  if (text.size() < 64) {
    text.copy(small, text.size());
    small[text.size()] = L'\0';
    return std::wcstod(small, nullptr);
  }
  return std::wcstod(std::wstring(text).c_str(), nullptr);
}

}  // namespace writerio
