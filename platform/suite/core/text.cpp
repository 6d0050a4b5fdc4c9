#include "platform/suite/core/text.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/os/os.h"

namespace suite {

std::wstring widen(std::string_view utf8) { return os::fromUtf8(utf8); }
std::string narrow(std::wstring_view wide) { return os::toUtf8(wide); }

size_t copyOut(std::wstring_view text, wchar_t* out, size_t capacity) {
  if (!out || capacity < 1) return text.size();
  size_t n = std::min(text.size(), capacity - 1);
  if (n) std::memcpy(out, text.data(), n * sizeof(wchar_t));
  out[n] = L'\0';
  return text.size();
}

// Every field read passes here: well-formed UTF-8 is decoded straight into
// the caller's buffer; anything else goes through widen, which replaces bad
// bytes.
size_t copyOutUtf8(std::string_view utf8, wchar_t* out, size_t capacity) {
  if (!out || capacity < 1) return widen(utf8).size();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t size = utf8.size();
  size_t i = 0, n = 0;
  auto cont = [&](size_t k) { return i + k < size && (p[i + k] & 0xC0) == 0x80; };
  while (i < size) {
    const unsigned char c = p[i];
    char32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c, len = 1;
    } else if (c >= 0xC2 && c <= 0xDF && cont(1)) {
      cp = ((c & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu), len = 2;
    } else if (c >= 0xE0 && c <= 0xEF && cont(1) && cont(2) && !(c == 0xE0 && p[i + 1] < 0xA0) &&
               !(c == 0xED && p[i + 1] >= 0xA0)) {
      cp = ((c & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu), len = 3;
    } else if (c >= 0xF0 && c <= 0xF4 && cont(1) && cont(2) && cont(3) && !(c == 0xF0 && p[i + 1] < 0x90) &&
               !(c == 0xF4 && p[i + 1] >= 0x90)) {
      cp = ((c & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu), len = 4;
    } else {
      return copyOut(widen(utf8), out, capacity);
    }
    if (n + 1 < capacity) out[n] = static_cast<wchar_t>(cp);
    ++n;
    i += len;
  }
  out[std::min(n, capacity - 1)] = L'\0';
  return n;
}

size_t utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string cutUtf8(std::string_view s, size_t n) { return std::string(s.substr(0, utf8Prefix(s, n))); }

std::optional<double> parseNumberPrefix(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
  size_t start = i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  size_t numStart = i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  size_t mantEnd = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j, ++expDigits;
    if (expDigits) mantEnd = j;
  }
  (void)start;
  const std::string_view digitsText = s.substr(numStart, mantEnd - numStart);
  // The text is digits, a point and an exponent only: from_chars reads it as
  // strtod does, without a copy; strtod decides the rare numbers out of range.
  double quick = 0;
  auto [quickEnd, quickError] = std::from_chars(digitsText.data(), digitsText.data() + digitsText.size(), quick);
  if (quickError == std::errc() && quickEnd == digitsText.data() + digitsText.size() && std::isfinite(quick))
    return neg ? -quick : quick;
  // strtod needs a terminated text: short numbers (all real ones) are copied
  // onto the stack.
  char local[128];
  std::string heap;
  const char* text = local;
  if (digitsText.size() < sizeof local) {
    std::memcpy(local, digitsText.data(), digitsText.size());
    local[digitsText.size()] = '\0';
  } else {
    heap = std::string(digitsText);
    text = heap.c_str();
  }
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (!std::isfinite(v)) return std::nullopt;
  return neg ? -v : v;
}

std::optional<double> parseNumberPrefix(std::wstring_view s) {
  // Only ASCII can take part in a number; stop at the first other character.
  std::string a;
  a.reserve(std::min<size_t>(s.size(), 64));
  for (wchar_t c : s) {
    if (c > 0x7F) break;
    a.push_back(static_cast<char>(c));
    if (a.size() > 400) break;
  }
  return parseNumberPrefix(std::string_view(a));
}

std::string formatNumber(double v) {
  std::string out;
  formatNumberInto(v, out);
  return out;
}

void formatNumberInto(double v, std::string& out) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  if (!std::isfinite(v) || v == 0 || r.ec != std::errc()) out.assign(1, '0');
  else out.assign(buf, r.ptr);
}

namespace {

char32_t scalarOf(wchar_t wc) {
  const char32_t c = static_cast<char32_t>(wc);
  return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c;  // no scalar value: U+FFFD
}

size_t narrowSize(std::wstring_view wide) {
  size_t n = 0;
  for (wchar_t wc : wide) {
    const char32_t c = scalarOf(wc);
    n += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  }
  return n;
}

// Writes the UTF-8 of wide at out (narrowSize(wide) bytes).
void narrowAt(std::wstring_view wide, char* out) {
  char* p = out;
  for (wchar_t wc : wide) {
    const char32_t c = scalarOf(wc);
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      continue;
    }
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

void narrowInto(std::wstring_view wide, std::string& out) {
  // Every table write passes here: the text is measured first, so that a
  // text of many megabytes takes no more room than its own bytes. Room that
  // must grow is taken anew, not copied: the old bytes are overwritten.
  const size_t n = narrowSize(wide);
  if (out.capacity() < n) {
    std::string().swap(out);
    out.reserve(n);
  }
  out.resize(n);
  narrowAt(wide, out.data());
}

size_t utf8Prefix(std::string_view s, size_t n) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && count++ == n) return i;
  return s.size();
}

std::string formatPrec(double v) {
  if (!std::isfinite(v)) return "0";
  if (std::fabs(v) < 1e15) {
    double r = std::round(v * 1e10) / 1e10;
    if (std::fabs(r - v) <= 1e-9 * std::max(1.0, std::fabs(v))) v = r;
  }
  std::string s = formatNumber(v);
  // At most 10 decimals.
  auto dot = s.find('.');
  if (dot != std::string::npos && s.size() - dot - 1 > 10) {
    s.resize(dot + 11);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0" || s.empty()) s = "0";
  }
  return s;
}

std::vector<std::wstring> splitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t nl = text.find(L'\n', i);
    if (nl == std::wstring_view::npos) {
      std::wstring_view l = text.substr(i);
      if (!l.empty() && l.back() == L'\r') l.remove_suffix(1);
      lines.emplace_back(l);
      break;
    }
    std::wstring_view l = text.substr(i, nl - i);
    if (!l.empty() && l.back() == L'\r') l.remove_suffix(1);
    lines.emplace_back(l);
    i = nl + 1;
  }
  return lines;
}

std::wstring joinLines(const std::vector<std::wstring>& lines) {
  std::wstring out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += L"\r\n";
    out += lines[i];
  }
  return out;
}

std::vector<std::wstring> splitOn(std::wstring_view text, wchar_t sep) {
  std::vector<std::wstring> parts;
  size_t i = 0;
  for (;;) {
    size_t p = text.find(sep, i);
    if (p == std::wstring_view::npos) {
      parts.emplace_back(text.substr(i));
      return parts;
    }
    parts.emplace_back(text.substr(i, p - i));
    i = p + 1;
  }
}

std::wstring trim(std::wstring_view s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == L' ' || s[a] == L'\t' || s[a] == L'\r' || s[a] == L'\n' || s[a] == 0x3000)) ++a;
  while (b > a && (s[b - 1] == L' ' || s[b - 1] == L'\t' || s[b - 1] == L'\r' || s[b - 1] == L'\n' || s[b - 1] == 0x3000)) --b;
  return std::wstring(s.substr(a, b - a));
}

}  // namespace suite
