// Text encodings and case mapping.
#include <iconv.h>

#include <cerrno>
#include <cwctype>
#include <mutex>

#include "platform/os/detail.h"
#include "platform/os/os.h"

namespace os {

namespace {
thread_local std::string t_lastError;

std::mutex g_cpMutex;
std::string g_codePage = "GBK";

constexpr wchar_t kReplacement = 0xFFFD;

bool isScalar(char32_t c) { return c < 0x110000 && (c < 0xD800 || c > 0xDFFF); }

// A wide character as the scalar value it encodes; what is none reads as U+FFFD.
char32_t scalarOf(wchar_t wc) {
  char32_t c = static_cast<char32_t>(wc);
  return isScalar(c) ? c : kReplacement;
}

// Bytes the scalar value c takes in UTF-8.
size_t utf8Size(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Decodes the UTF-8 sequence at s[i] into cp and answers its length in bytes;
// 0 when no well-formed sequence (shortest form, a scalar value) starts there.
size_t decodeUtf8At(std::string_view s, size_t i, char32_t& cp) {
  unsigned char c = s[i];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F, min = 0x80;
  else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F, min = 0x800;
  else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07, min = 0x10000;
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = s[i + k];
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  return cp >= min && isScalar(cp) ? len : 0;
}

// Runs iconv over the whole input. With `lossy`, an undecodable input unit is
// skipped and `onBad` is appended to the output instead.
bool convert(const char* to, const char* from, std::string_view in, std::string& out,
             std::string_view onBad, bool* hadBad = nullptr) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    detail::setError(std::string("unknown encoding ") + from + " or " + to);
    return false;
  }
  out.clear();
  char* inp = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char buf[4096];
  while (true) {
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = inLeft ? iconv(cd, &inp, &inLeft, &outp, &outLeft) : iconv(cd, nullptr, nullptr, &outp, &outLeft);
    out.append(buf, outp - buf);
    if (r != static_cast<size_t>(-1)) {
      if (inLeft == 0) {
        // Flush any shift state, then stop.
        outp = buf;
        outLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, &outp, &outLeft);
        out.append(buf, outp - buf);
        break;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (truncated tail): skip one unit and mark it.
    if (hadBad) *hadBad = true;
    out.append(onBad);
    size_t skip = 1;
    // Wide input is skipped a whole character at a time.
    if (std::string_view(from) == "WCHAR_T") skip = sizeof(wchar_t);
    if (skip > inLeft) skip = inLeft;
    inp += skip;
    inLeft -= skip;
    if (inLeft == 0) break;
  }
  iconv_close(cd);
  return true;
}

std::string wideBytes(std::wstring_view w) {
  return std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
}
std::wstring fromWideBytes(const std::string& b) {
  return std::wstring(reinterpret_cast<const wchar_t*>(b.data()), b.size() / sizeof(wchar_t));
}
std::string replacementWide() {
  wchar_t r = kReplacement;
  return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}
}  // namespace

namespace detail {
void setError(std::string message) { t_lastError = std::move(message); }
void clearError() { t_lastError.clear(); }
}  // namespace detail

const std::string& lastError() { return t_lastError; }

std::wstring fromUtf8(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp = 0;
    size_t len = decodeUtf8At(s, i, cp);
    out.push_back(len ? static_cast<wchar_t>(cp) : kReplacement);
    i += len ? len : 1;
  }
  return out;
}

std::string toUtf8(std::wstring_view w) {
  // Every table write passes here: size the result first, then encode into it.
  size_t n = 0;
  for (wchar_t wc : w) n += utf8Size(scalarOf(wc));
  std::string out;
  out.reserve(n);
  for (wchar_t wc : w) {
    char32_t c = scalarOf(wc);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp = 0;
    size_t len = decodeUtf8At(s, i, cp);
    if (!len) return false;
    i += len;
  }
  return true;
}

const std::string& codePage() {
  std::lock_guard lock(g_cpMutex);
  return g_codePage;
}

bool setCodePage(const std::string& name) {
  iconv_t cd = iconv_open("WCHAR_T", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return detail::fail("unknown code page " + name);
  iconv_close(cd);
  std::lock_guard lock(g_cpMutex);
  g_codePage = name;
  return true;
}

std::optional<std::wstring> decode(std::string_view bytes, const char* encoding) {
  std::string out;
  if (!convert("WCHAR_T", encoding, bytes, out, replacementWide())) return std::nullopt;
  return fromWideBytes(out);
}

std::optional<std::string> encode(std::wstring_view text, const char* encoding) {
  std::string out;
  if (!convert(encoding, "WCHAR_T", wideBytes(text), out, "?")) return std::nullopt;
  return out;
}

std::wstring fromCodePage(std::string_view s) {
  std::string cp = codePage();
  auto r = decode(s, cp.c_str());
  if (r) return *r;
  // The code page was checked when set; fall back to Latin-1 rather than lose text.
  return std::wstring(s.begin(), s.end());
}

std::string toCodePage(std::wstring_view w) {
  std::string cp = codePage();
  auto r = encode(w, cp.c_str());
  return r ? *r : toUtf8(w);
}

std::wstring toUpper(std::wstring_view w) {
  std::wstring r(w);
  for (auto& c : r) c = static_cast<wchar_t>(std::towupper(c));
  return r;
}

std::wstring toLower(std::wstring_view w) {
  std::wstring r(w);
  for (auto& c : r) c = static_cast<wchar_t>(std::towlower(c));
  return r;
}

bool iequals(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

bool wildcardMatch(std::wstring_view name, std::wstring_view pattern) {
  if (pattern == L"*.*" || pattern == L"*") return true;
  // Iterative matcher with backtracking to the last '*'.
  size_t n = 0, p = 0, starP = std::wstring_view::npos, starN = 0;
  auto same = [](wchar_t a, wchar_t b) { return a == b || std::towlower(a) == std::towlower(b); };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || same(pattern[p], name[n]))) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::wstring_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

}  // namespace os
