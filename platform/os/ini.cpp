// INI files: read, changed key by key and written back with their comments,
// order, encoding and line endings kept.
#include <cwctype>

#include "platform/os/detail.h"
#include "platform/os/os.h"

namespace os {

namespace {
std::wstring_view trim(std::wstring_view s) {
  size_t a = 0, b = s.size();
  while (a < b && std::iswspace(s[a])) ++a;
  while (b > a && std::iswspace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

std::wstring valueOf(std::wstring_view raw) {
  size_t eq = raw.find(L'=');
  std::wstring_view v = trim(raw.substr(eq + 1));
  if (v.size() >= 2 && v.front() == L'"' && v.back() == L'"') v = v.substr(1, v.size() - 2);
  return std::wstring(v);
}
}  // namespace

void IniFile::parse(std::wstring_view text) {
  lines_.clear();
  eol_ = text.find(L"\r\n") != std::wstring_view::npos || text.find(L'\n') == std::wstring_view::npos
             ? L"\r\n"
             : L"\n";
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find(L'\n', i);
    if (j == std::wstring_view::npos) j = text.size();
    std::wstring_view raw = text.substr(i, j - i);
    if (!raw.empty() && raw.back() == L'\r') raw.remove_suffix(1);
    Line line;
    line.raw = std::wstring(raw);
    std::wstring_view t = trim(raw);
    if (!t.empty() && t.front() == L'[') {
      size_t close = t.find(L']');
      line.isSection = true;
      line.section = std::wstring(trim(t.substr(1, close == std::wstring_view::npos ? t.npos : close - 1)));
    } else if (!t.empty() && t.front() != L';' && t.front() != L'#') {
      size_t eq = t.find(L'=');
      if (eq != std::wstring_view::npos) {
        std::wstring_view k = trim(t.substr(0, eq));
        if (!k.empty()) {
          line.isKey = true;
          line.key = std::wstring(k);
        }
      }
    }
    lines_.push_back(std::move(line));
    i = j + 1;
  }
}

bool IniFile::load(std::wstring_view path) {
  path_ = std::wstring(path);
  lines_.clear();
  encoding_ = Encoding::Utf8;
  eol_ = L"\r\n";
  auto bytes = readFile(path);
  if (!bytes) return false;
  std::string_view b = *bytes;
  std::wstring text;
  if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xFE) {
    encoding_ = Encoding::Utf16Le;
    text = decode(b.substr(2), "UTF-16LE").value_or(L"");
  } else if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") {
    encoding_ = Encoding::Utf8Bom;
    text = fromUtf8(b.substr(3));
  } else if (isValidUtf8(b)) {
    encoding_ = Encoding::Utf8;
    text = fromUtf8(b);
  } else {
    encoding_ = Encoding::CodePage;
    text = fromCodePage(b);
  }
  parse(text);
  return true;
}

std::wstring IniFile::text() const {
  std::wstring out;
  for (const auto& l : lines_) {
    out += l.raw;
    out += eol_;
  }
  return out;
}

bool IniFile::save(std::wstring_view path) const {
  std::wstring target = path.empty() ? path_ : std::wstring(path);
  if (target.empty()) return detail::fail("INI file has no path");
  std::wstring t = text();
  std::string bytes;
  switch (encoding_) {
    case Encoding::Utf8:
      bytes = toUtf8(t);
      break;
    case Encoding::Utf8Bom:
      bytes = "\xEF\xBB\xBF" + toUtf8(t);
      break;
    case Encoding::CodePage:
      bytes = toCodePage(t);
      break;
    case Encoding::Utf16Le:
      bytes = "\xFF\xFE" + encode(t, "UTF-16LE").value_or("");
      break;
  }
  return writeFile(target, bytes);
}

// Index of the first header of the section; -1 stands for the lines before
// any header (the unnamed section ""); -2 when there is no such section.
int IniFile::findSection(std::wstring_view section) const {
  std::wstring_view s = trim(section);
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].isSection && iequals(lines_[i].section, s)) return static_cast<int>(i);
  return s.empty() ? -1 : -2;
}

int IniFile::findKey(int sectionLine, std::wstring_view key) const {
  std::wstring_view k = trim(key);
  for (size_t i = sectionLine + 1; i < lines_.size() && !lines_[i].isSection; ++i)
    if (lines_[i].isKey && iequals(lines_[i].key, k)) return static_cast<int>(i);
  return -1;
}

std::optional<std::wstring> IniFile::get(std::wstring_view section, std::wstring_view key) const {
  int s = findSection(section);
  if (s == -2) return std::nullopt;
  int k = findKey(s, key);
  if (k < 0) return std::nullopt;
  return valueOf(lines_[k].raw);
}

std::wstring IniFile::get(std::wstring_view section, std::wstring_view key,
                          std::wstring_view fallback) const {
  auto v = get(section, key);
  return v ? *v : std::wstring(fallback);
}

void IniFile::set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  std::wstring k(trim(key));
  Line line;
  line.isKey = true;
  line.key = k;
  line.raw = k + L"=" + std::wstring(value);
  int s = findSection(section);
  if (s == -2) {
    Line header;
    header.isSection = true;
    header.section = std::wstring(trim(section));
    header.raw = L"[" + header.section + L"]";
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(line));
    return;
  }
  int existing = findKey(s, k);
  if (existing >= 0) {
    // Keep the key as spelt in the file.
    lines_[existing].raw = lines_[existing].key + L"=" + std::wstring(value);
    return;
  }
  size_t insertAt = static_cast<size_t>(s + 1);
  for (size_t i = s + 1; i < lines_.size() && !lines_[i].isSection; ++i)
    if (lines_[i].isKey) insertAt = i + 1;
  lines_.insert(lines_.begin() + static_cast<long>(insertAt), std::move(line));
}

bool IniFile::removeKey(std::wstring_view section, std::wstring_view key) {
  int s = findSection(section);
  if (s == -2) return false;
  int k = findKey(s, key);
  if (k < 0) return false;
  lines_.erase(lines_.begin() + k);
  return true;
}

bool IniFile::removeSection(std::wstring_view section) {
  int s = findSection(section);
  if (s < 0) return false;
  size_t e = static_cast<size_t>(s) + 1;
  while (e < lines_.size() && !lines_[e].isSection) ++e;
  lines_.erase(lines_.begin() + s, lines_.begin() + static_cast<long>(e));
  return true;
}

bool IniFile::hasSection(std::wstring_view section) const { return findSection(section) >= 0; }

std::vector<std::wstring> IniFile::sections() const {
  std::vector<std::wstring> out;
  for (const auto& l : lines_) {
    if (!l.isSection) continue;
    bool seen = false;
    for (const auto& o : out) seen = seen || iequals(o, l.section);
    if (!seen) out.push_back(l.section);
  }
  return out;
}

std::vector<std::wstring> IniFile::keys(std::wstring_view section) const {
  std::vector<std::wstring> out;
  int s = findSection(section);
  if (s == -2) return out;
  for (size_t i = s + 1; i < lines_.size() && !lines_[i].isSection; ++i) {
    if (!lines_[i].isKey) continue;
    bool seen = false;
    for (const auto& o : out) seen = seen || iequals(o, lines_[i].key);
    if (!seen) out.push_back(lines_[i].key);
  }
  return out;
}

std::wstring iniRead(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                     std::wstring_view fallback) {
  IniFile f;
  if (!f.load(path)) return std::wstring(fallback);
  return f.get(section, key, fallback);
}

bool iniWrite(std::wstring_view path, std::wstring_view section, std::wstring_view key,
              std::wstring_view value) {
  IniFile f;
  // A missing file is created; one that exists but cannot be read is left
  // alone rather than replaced by a file of one key.
  if (!f.load(path) && exists(path)) return false;
  f.set(section, key, value);
  return f.save(path);
}

}  // namespace os
