// tabletool's import on any text: a table file or a reason, never a crash.
// A text it takes is stored, read back, exported and imported again, and
// every step must give the same table.
#include <cctype>
#include <sstream>

#include "fuzz/fuzz_util.h"
#include "fuzz/table_compare.h"
#include "platform/suite/core/table.h"
#include "platform/suite/core/tsv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::asText(data, size);
  // A blob cell "@file" reads a file beside the text; keep the reads in the
  // scratch folder (a path out of it could name an endless device).
  if (text.find("..") != std::string_view::npos && text.find('@') != std::string_view::npos) return 0;
  const auto& dir = fuzz::scratchDir();
  const auto tsv = dir / "in.tsv", db = dir / "table.DB";
  fuzz::writeBytes(tsv, text);

  // What `tabletool import` does.
  suite::Table imported;
  std::string error;
  if (!suite::readTsvFile(tsv, imported, error)) {
    FUZZ_CHECK(!error.empty(), "refused without a reason");
    return 0;
  }
  // The reader refuses every name the table file cannot hold, so what it
  // takes is stored.
  FUZZ_CHECK(suite::replaceTableFile(db, imported, error), "an imported text cannot be stored: " + error);

  suite::Table stored;
  FUZZ_CHECK(suite::loadTable(db, stored, error), "the stored table cannot be read: " + error);
  std::string diff = fuzz::tableDifference(imported, stored);
  FUZZ_CHECK(diff.empty(), "the table changed when stored: " + diff);

  // `tabletool export --base64` and import again.
  std::ostringstream exported;
  FUZZ_CHECK(suite::writeTsv(stored, exported, {}, error), "the table cannot be exported: " + error);
  suite::Table again;
  FUZZ_CHECK(suite::parseTsv(exported.str(), dir, again, error), "the export cannot be imported: " + error);
  diff = fuzz::tableDifference(stored, again, true);
  FUZZ_CHECK(diff.empty(), "the table changed on export and import: " + diff);
  return 0;
}
