#include "platform/suite/core/initext.h"

#include "platform/os/os.h"
#include "platform/suite/core/text.h"

namespace suite {

namespace {

bool isSectionLine(const std::wstring& t, std::wstring& name) {
  if (t.size() < 2 || t.front() != L'[') return false;
  size_t close = t.find(L']');
  if (close == std::wstring::npos) return false;
  name = trim(std::wstring_view(t).substr(1, close - 1));
  return true;
}

bool isComment(const std::wstring& t) { return t.empty() || t[0] == L';'; }

}  // namespace

std::vector<std::wstring> iniSections(std::wstring_view ini) {
  std::vector<std::wstring> out;
  for (const auto& line : splitLines(ini)) {
    std::wstring t = trim(line), name;
    if (isSectionLine(t, name)) out.push_back(name);
  }
  return out;
}

std::optional<std::vector<std::wstring>> iniSectionLines(std::wstring_view ini, std::wstring_view section) {
  std::optional<std::vector<std::wstring>> out;
  bool in = false;
  std::wstring want = trim(section);
  for (const auto& line : splitLines(ini)) {
    std::wstring t = trim(line), name;
    if (isSectionLine(t, name)) {
      if (out) break;  // the first section of that name only
      in = name == want;
      if (in) out.emplace();
      continue;
    }
    if (in && !isComment(t)) out->push_back(line);
  }
  return out;
}

std::optional<std::wstring> iniValue(std::wstring_view ini, std::wstring_view section, std::wstring_view key) {
  auto lines = iniSectionLines(ini, section);
  if (!lines) return std::nullopt;
  std::wstring want = trim(key);
  for (const auto& line : *lines) {
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    if (trim(std::wstring_view(line).substr(0, eq)) == want) return trim(std::wstring_view(line).substr(eq + 1));
  }
  return std::nullopt;
}

std::wstring_view lineName(std::wstring_view line) {
  size_t eq = line.find(L'=');
  return eq == std::wstring_view::npos ? line : line.substr(0, eq);
}

std::optional<std::wstring> listValue(std::wstring_view lines, std::wstring_view key) {
  for (const auto& line : splitLines(lines)) {
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    if (std::wstring_view(line).substr(0, eq) == key) return line.substr(eq + 1);
  }
  return std::nullopt;
}

std::optional<std::wstring> readTextFile(std::wstring_view path) {
  auto bytes = os::readFile(path);
  if (!bytes) return std::nullopt;
  std::string_view b = *bytes;
  if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xFE)
    return os::decode(b.substr(2), "UTF-16LE");
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  if (os::isValidUtf8(b)) return os::fromUtf8(b);
  return os::fromCodePage(b);
}

}  // namespace suite
