// A drawing file's text with its handle numbers replaced by their order of
// first occurrence, so two saves compare equal when they hold the same
// records in the same places, whatever numbers the writer gave the records it
// makes up on the way out. Used by the round-trip fuzz target and its tests.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace fuzz {

inline bool isHandleCode(int code) {
  return code == 5 || code == 105 || (code >= 320 && code <= 369) || (code >= 390 && code <= 399) ||
         code == 480 || code == 481 || code == 1005;
}

inline std::string canonicalHandles(std::string_view text) {
  std::map<std::string_view, int> seen;
  std::string out;
  out.reserve(text.size());
  int code = -1;
  bool isValue = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (isValue && isHandleCode(code)) {
      auto [it, added] = seen.emplace(line, static_cast<int>(seen.size()));
      out += "#" + std::to_string(it->second);
    } else {
      out += line;
    }
    out += '\n';
    if (!isValue) {
      code = -1;
      size_t b = line.find_first_not_of(' ');
      if (b != std::string_view::npos) code = std::atoi(std::string(line.substr(b)).c_str());
    }
    isValue = !isValue;
  }
  return out;
}

}  // namespace fuzz
