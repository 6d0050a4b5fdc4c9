#include "module/toolkit/strings.h"

#include <charconv>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "module/toolkit/suite_call.h"
#include "platform/suite/suite_abi.h"

namespace {

bool isWhite(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

// A writable, zero-terminated copy of a text for the base library, which takes
// its texts through writable buffers.
std::vector<wchar_t> writableCopy(const std::wstring& s) {
  std::vector<wchar_t> b(s.begin(), s.end());
  b.push_back(L'\0');
  return b;
}

template <class Out>
void splitInto(const std::wstring& text, const std::wstring& sep, Out& out) {
  out.clear();
  if (text.empty()) return;
  std::wstring rest = TrimWhite(text);
  if (sep.empty()) {
    out.push_back(rest);
    return;
  }
  size_t start = 0;
  for (size_t pos; (pos = rest.find(sep, start)) != std::wstring::npos; start = pos + sep.size())
    out.push_back(rest.substr(start, pos - start));
  out.push_back(rest.substr(start));
}

template <class In>
void joinFrom(const In& items, const std::wstring& sep, std::wstring& out) {
  out.clear();
  bool first = true;
  for (const auto& s : items) {
    if (!first) out += sep;
    out += s;
    first = false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------

namespace {

// The powers of ten RoundTo scales by, computed once by std::pow itself so
// that a kept power is the very value a call would give.
constexpr int kKeptPowers = 20;

struct PowersOfTen {
  double p[2 * kKeptPowers + 1];
  PowersOfTen() {
    for (int k = -kKeptPowers; k <= kKeptPowers; ++k) p[k + kKeptPowers] = std::pow(10.0, k);
  }
};

double powerOfTen(int n) {
  static const PowersOfTen kept;
  if (n < -kKeptPowers || n > kKeptPowers) return std::pow(10.0, n);
  return kept.p[n + kKeptPowers];
}

}  // namespace

double RoundTo(double x, int n) {
  const double p = powerOfTen(n);
  const double a = x * p;
  double f = std::floor(a);
  const double d = a - f;
  if (d >= 0.5) f += 1.0;  // false for a not-a-number d
  return f * powerOfTen(-n);
}

double ReadNumber(std::wstring_view text) {
  char digits[64];
  size_t n = 0, i = 0;
  const bool negative = !text.empty() && text[0] == L'-';
  if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) ++i;
  auto takeDigits = [&] {
    const size_t from = i;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && n < sizeof digits) digits[n++] = char(text[i++]);
    return i > from;
  };
  bool plain = takeDigits();
  if (plain && i < text.size() && text[i] == L'.' && n < sizeof digits) {
    digits[n++] = '.';
    ++i;
    plain = takeDigits();
  }
  if (plain && i == text.size()) {
    double v = 0;
    auto [end, ec] = std::from_chars(digits, digits + n, v, std::chars_format::fixed);
    if (ec == std::errc() && end == digits + n) return negative ? -v : v;
  }
  thread_local std::wstring buf;
  buf.assign(text);
  return std::wcstod(buf.c_str(), nullptr);
}

std::wstring FormatNumber(double x, int n) {
  const double r = RoundTo(x, n);
  // Numbers are formatted for every component written. A rounded value of
  // moderate size is a whole number of its last decimal: its digits come
  // straight from that integer, as printf would write them.
  if (n >= 0 && n <= 6 && std::fabs(r) < 1e9) {
    const long long units = std::llround(std::fabs(r) * powerOfTen(n));
    wchar_t buf[32];
    wchar_t* p = buf + 32;
    long long v = units;
    for (int k = 0; k < n; ++k, v /= 10) *--p = wchar_t(L'0' + v % 10);
    if (n > 0) *--p = L'.';
    do {
      *--p = wchar_t(L'0' + v % 10);
      v /= 10;
    } while (v > 0);
    if (std::signbit(r)) *--p = L'-';
    return std::wstring(p, buf + 32);
  }
  // Large values or many decimals need more room than usual: grow until the
  // text fits.
  for (size_t size = 128;; size *= 4) {
    std::vector<wchar_t> buf(size, L'\0');
    int len = n > 0 ? std::swprintf(buf.data(), size, L"%.*lf", n, r)
                    : std::swprintf(buf.data(), size, L"%.lf", r);
    if (len >= 0 && static_cast<size_t>(len) < size) return std::wstring(buf.data(), len);
    if (size > (1u << 20)) return {};
  }
}

std::wstring PrecStr(double x, int n) {
  std::wstring out;
  PrecStrTo(x, n, out);
  return out;
}

void PrecStrTo(double x, int n, std::wstring& out) {
  // The library writes into a buffer of 100 characters; a larger one keeps a
  // careless library from writing past it.
  // On the stack: numbers are formatted in the hot loops of the take-off,
  // and a heap block of this size each time makes the allocator sweep its
  // small free blocks.
  wchar_t buf[256] = {};
  out.clear();
  const double r = RoundTo(x, n);
  if (!SuiteCall<decltype(Dll_PrecStr_W)>::call(SuiteModule::Base, "Dll_PrecStr_W", buf, r)) return;
  buf[255] = L'\0';
  out.assign(buf);
  // The library writes no text for a number whose text would not fit its
  // buffer (from about 1e99 on) rather than a different number: the exact
  // decimal text of the rounded value stands in, without trailing zeros.
  if (out.empty() && std::isfinite(r)) {
    out = FormatNumber(r, n);
    if (out.find(L'.') != std::wstring::npos) {
      while (!out.empty() && out.back() == L'0') out.pop_back();
      if (!out.empty() && out.back() == L'.') out.pop_back();
    }
  }
}

// ---------------------------------------------------------------------------
// Joining and splitting
// ---------------------------------------------------------------------------

void JoinArray(const StringArray& items, const std::wstring& sep, std::wstring& out) {
  joinFrom(items, sep, out);
}
void JoinList(const StringList& items, const std::wstring& sep, std::wstring& out) {
  joinFrom(items, sep, out);
}
void JoinLines(const StringArray& items, std::wstring& out) { joinFrom(items, L"\r\n", out); }

void SplitToArray(const std::wstring& text, const std::wstring& sep, StringArray& out) {
  splitInto(text, sep, out);
}
void SplitToList(const std::wstring& text, const std::wstring& sep, StringList& out) {
  splitInto(text, sep, out);
}
void SplitLines(const std::wstring& text, StringArray& out) { splitInto(text, L"\r\n", out); }
void SplitString(const std::wstring& text, const std::wstring& sep, StringArray& out) {
  splitInto(text, sep, out);
}

void SplitHeadTail(const std::wstring& text, const std::wstring& sep, std::wstring& head,
                   std::wstring& tail) {
  head.clear();
  tail.clear();
  if (sep.empty()) return;
  size_t pos = text.find(sep);
  if (pos == std::wstring::npos) return;
  head = text.substr(0, pos);
  tail = text.substr(pos + sep.size());
}

void ReplaceAll(std::wstring& text, const std::wstring& searched, const std::wstring& replacement) {
  if (searched.empty()) return;
  // Each pass goes once through the text and carries on after each inserted
  // replacement, so it never matches its own output: a replacement that
  // forms a new occurrence with the text after it ("W&" by "&WW" before
  // another "&") would otherwise grow the text without end. A shorter
  // replacement shortens the text, so passes repeat until no occurrence is
  // left, as when every search starts again at the beginning ("|||" by "|"
  // gives "|").
  std::wstring out;
  for (size_t pos = text.find(searched); pos != std::wstring::npos; pos = text.find(searched)) {
    out.clear();
    size_t from = 0;
    for (; pos != std::wstring::npos; pos = text.find(searched, from)) {
      out.append(text, from, pos - from);
      out += replacement;
      from = pos + searched.size();
    }
    out.append(text, from, std::wstring::npos);
    text.swap(out);
    if (replacement.size() >= searched.size()) return;
  }
}

std::wstring_view TrimWhiteView(std::wstring_view text) {
  size_t b = 0, e = text.size();
  while (b < e && isWhite(text[b])) ++b;
  while (e > b && isWhite(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::wstring TrimWhite(const std::wstring& text) { return std::wstring(TrimWhiteView(text)); }

std::wstring TrimWhiteRight(const std::wstring& text) {
  size_t e = text.size();
  while (e > 0 && isWhite(text[e - 1])) --e;
  return text.substr(0, e);
}

// ---------------------------------------------------------------------------
// Lookups and attribute lists
// ---------------------------------------------------------------------------

int TStrsIndexOf(const StringArray& items, const std::wstring& text) {
  if (items.empty()) return -1;
  std::wstring joined;
  JoinLines(items, joined);
  auto a = writableCopy(joined), b = writableCopy(text);
  if (auto fn = reinterpret_cast<Dll_TStrsIndexOf_W_fn>(
          FindSuiteFunction(SuiteModule::Base, "Dll_TStrsIndexOf_W")))
    return fn(a.data(), b.data());
  // Without the base library an exact search keeps callers working.
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == text) return static_cast<int>(i);
  return -1;
}

int TStrsIndexOfName(const StringArray& attrs, const std::wstring& name) {
  std::wstring joined;
  JoinLines(attrs, joined);
  auto a = writableCopy(joined), b = writableCopy(name);
  if (auto fn = reinterpret_cast<Dll_TStrsIndexOfName_W_fn>(
          FindSuiteFunction(SuiteModule::Base, "Dll_TStrsIndexOfName_W")))
    return fn(a.data(), b.data());
  // Without the base library an exact search of the names keeps SetAttrValue
  // from adding a second item of the same name.
  for (size_t i = 0; i < attrs.size(); ++i) {
    size_t eq = attrs[i].find(L'=');
    if (eq != std::wstring::npos && attrs[i].compare(0, eq, name) == 0 && eq == name.size())
      return static_cast<int>(i);
  }
  return -1;
}

void FindAttrValue(const StringArray& attrs, const std::wstring& key, std::wstring& value) {
  value.clear();
  for (const auto& item : attrs) {
    size_t eq = item.find(L'=');
    if (eq == std::wstring::npos) continue;
    if (item.compare(0, eq, key) == 0 && eq == key.size()) {
      value = item.substr(eq + 1);
      return;
    }
  }
}

std::wstring GetAttrValue(const StringArray& attrs, const std::wstring& key) {
  std::wstring v;
  FindAttrValue(attrs, key, v);
  return v;
}

void SetAttrValue(StringArray& attrs, const std::wstring& name, const std::wstring& value) {
  int i = TStrsIndexOfName(attrs, name);
  std::wstring item = name + L"=" + value;
  if (i < 0 || i >= static_cast<int>(attrs.size()))
    attrs.push_back(item);
  else
    attrs[static_cast<size_t>(i)] = item;
}
