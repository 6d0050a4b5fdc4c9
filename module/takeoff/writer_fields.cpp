#include "module/takeoff/writer_fields.h"

#include <algorithm>
#include <cwchar>

#include "module/toolkit/strings.h"
#include "module/toolkit/suite_call.h"

namespace writerio {

void ReadField(tablelib::Handle h, const wchar_t* field, std::wstring& out) {
  // Fields are read into a buffer kept between calls, large enough for the
  // quantity lines of a component (the library copies only the text, whatever
  // the room); only a text that fills it is read again with the largest size.
  static std::vector<wchar_t> small(65536), large;
  std::vector<wchar_t>* buf = &small;
  for (;;) {
    (*buf)[0] = L'\0';
    const int cap = static_cast<int>(buf->size());
    if (!SuiteCall<void(int, const wchar_t*, wchar_t*, int)>::call(SuiteModule::Table, "DbDll_FieldByName_AsStringN_W",
                                                                   h, field, buf->data(), cap)) {
      out.clear();
      return;
    }
    buf->back() = L'\0';
    const size_t len = std::char_traits<wchar_t>::length(buf->data());
    if (len + 1 < buf->size() || buf == &large) {
      out.assign(buf->data(), len);
      return;
    }
    if (large.empty()) large.resize(tablelib::kMaxFieldChars);
    buf = &large;
  }
}

void Put(tablelib::Handle h, const wchar_t* field, const wchar_t* text) {
  SuiteCall<unsigned char(int, const wchar_t*, const wchar_t*)>::call(SuiteModule::Table, "DbDll_WriteByName_AsString_W",
                                                          static_cast<unsigned char>(0), h, field, text);
}

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
