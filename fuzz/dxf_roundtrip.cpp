// The DXF reader on any bytes: a file it takes is saved and read again, and
// the drawing read back must save to the same text (nothing lost on the way).
// The writer gives the records it makes up on the way out (the viewport,
// view and UCS tables, the dimension styles) fresh handles at every save, so
// handles are compared by the places they occur, not by their numbers.
#include <map>

#include "fuzz/fuzz_util.h"
#include "platform/cad/database.h"

namespace {

bool isHandleCode(int code) {
  return code == 5 || code == 105 || (code >= 320 && code <= 369) || (code >= 390 && code <= 399) ||
         code == 480 || code == 481 || code == 1005;
}

// The text with every handle value replaced by its number of first occurrence.
std::string canonicalHandles(std::string_view text) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& dir = fuzz::scratchDir();
  const auto in = dir / "in.dxf", out = dir / "out.dxf";
  fuzz::writeBytes(in, fuzz::asText(data, size));

  cad::Database db(false);
  if (db.readDxfFile(in) != cad::Status::Ok) return 0;
  const std::string saved = db.dxfText();
  FUZZ_CHECK(db.saveAs(out) == cad::Status::Ok, "the drawing read cannot be saved");

  cad::Database again(false);
  FUZZ_CHECK(again.readDxfFile(out) == cad::Status::Ok, "the saved drawing is refused: " + again.lastFileError());
  const std::string first = canonicalHandles(saved), second = canonicalHandles(again.dxfText());
  FUZZ_CHECK(first == second, "the drawing changed on its way through a file: " + fuzz::firstDifference(first, second));
  return 0;
}
