// The DXF reader on any bytes: a file it takes is saved and read again, and
// the drawing read back must save to the same text (nothing lost on the way).
// The writer gives the records it makes up on the way out (the viewport,
// view and UCS tables, the dimension styles) fresh handles at every save, so
// handles are compared by the places they occur, not by their numbers.
#include "fuzz/dxf_canonical.h"
#include "fuzz/fuzz_util.h"
#include "platform/cad/database.h"

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
  const std::string first = fuzz::canonicalHandles(saved), second = fuzz::canonicalHandles(again.dxfText());
  FUZZ_CHECK(first == second, "the drawing changed on its way through a file: " + fuzz::firstDifference(first, second));
  return 0;
}
