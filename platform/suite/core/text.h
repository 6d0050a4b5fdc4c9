// Text helpers shared by the suite's libraries: UTF-8 and wide text, copies
// into caller buffers that never overrun, number text both ways, line lists.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace suite {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// A wide C string that may be null, as a view (null reads as empty).
inline std::wstring_view wview(const wchar_t* s) { return s ? std::wstring_view(s) : std::wstring_view(); }

// Copies text into out with its terminating zero, writing at most capacity
// characters (zero included); longer text is cut at a whole character.
// Nothing is written when out is null or capacity < 1. Answers the full length.
size_t copyOut(std::wstring_view text, wchar_t* out, size_t capacity);
// Same for UTF-8 text (converted on the way).
size_t copyOutUtf8(std::string_view utf8, wchar_t* out, size_t capacity);

// Cuts UTF-8 text to at most n code points; utf8Prefix is the byte length
// of that cut.
std::string cutUtf8(std::string_view s, size_t n);
size_t utf8Prefix(std::string_view s, size_t n);
// narrow into a text the caller reuses (no allocation once it is large
// enough); characters without a scalar value become U+FFFD.
void narrowInto(std::wstring_view wide, std::string& out);
size_t utf8Length(std::string_view s);

// The longest decimal number at the start of the text after blanks, as the C
// runtime's atof reads it (sign, digits, point, digits, exponent). nullopt
// when the text starts with no number.
std::optional<double> parseNumberPrefix(std::string_view s);
std::optional<double> parseNumberPrefix(std::wstring_view s);
// The shortest decimal text that reads back as the same double, never in
// exponent form ("3", "2.5", "-0.125", "1000000"). -0 gives "0".
std::string formatNumber(double v);
void formatNumberInto(double v, std::string& out);
// Plain decimal text rounded to at most 10 decimals, no trailing zeros.
std::string formatPrec(double v);

// Splits at "\r\n" (a lone "\n" also ends a line); a trailing line break adds
// no empty line, and an empty text has no lines.
std::vector<std::wstring> splitLines(std::wstring_view text);
std::wstring joinLines(const std::vector<std::wstring>& lines);
std::vector<std::wstring> splitOn(std::wstring_view text, wchar_t sep);
std::wstring trim(std::wstring_view s);

}  // namespace suite
