// Text helpers of the result-table writers, which move hundreds of thousands
// of values per take-off: lines and pieces as views, no copies.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/toolkit/table_lib.h"

namespace writerio {

// Sets the field only when the text is not empty (a new record's fields are
// empty already).
inline void PutIfAny(tablelib::Handle h, const wchar_t* field, const std::wstring& text) {
  if (!text.empty()) tablelib::WriteAsString(h, field, text.c_str());
}

// The lines of a text as SplitLines cuts them (the whole text trimmed of
// white space, cut at every "\r\n", empty pieces kept; no line for an empty
// text), as views into the text.
void LinesOf(std::wstring_view text, std::vector<std::wstring_view>& out);
// The pieces of a text cut at sep as SplitString cuts them (trimmed first,
// empty pieces kept; none for an empty text), as views into the text.
void PiecesOf(std::wstring_view text, wchar_t sep, std::vector<std::wstring_view>& out);

// The number at the start of a text, as std::wcstod reads it (0 for none).
double NumberOf(std::wstring_view text);

}  // namespace writerio
