// The table library on damaged files: any bytes as a table file are opened,
// walked and read field by field, changed and closed, never a crash. When the
// library writes its change back, the file reads back with the change.
#include <memory>

#include "fuzz/fuzz_util.h"
#include "platform/os/os.h"
#include "platform/suite/core/table.h"
#include "platform/suite/suite_abi.h"

namespace {

constexpr int kMaxRead = 1024000;  // the most a string read writes
constexpr int kMaxRecords = 64;    // walked in full; the rest by jumps

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto text = std::make_unique<wchar_t[]>(kMaxRead);
  const auto& dir = fuzz::scratchDir();
  const auto file = dir / "表.DB";
  std::error_code ec;
  for (const char* extra : {"-journal", "-wal", "-shm"})
    std::filesystem::remove(dir / (file.filename().string() + extra), ec);
  fuzz::writeBytes(file, fuzz::asText(data, size));
  const std::wstring path = os::windowsPath(file);

  // The file as the table reader sees it (from a copy: the library may
  // change the file).
  suite::Table before;
  std::string error;
  fuzz::writeBytes(dir / "orig.DB", fuzz::asText(data, size));
  const bool wasTable = suite::loadTable(dir / "orig.DB", before, error);

  int h = DbDll_OpenDb_W(path.c_str());
  FUZZ_CHECK(h > 0, "no handle");
  const int fields = DbDll_FieldCount(h);
  const int records = DbDll_RecordCount(h);
  FUZZ_CHECK(fields >= 0 && records >= 0, "negative counts");
  std::vector<std::wstring> names;
  for (int i = 0; i < fields; ++i) {
    DbDll_GetFieldName_W(h, i, text.get());
    names.emplace_back(text.get());
    FUZZ_CHECK(DbDll_FindField_W(h, names.back().c_str()), "a listed field is not found");
  }

  // Every field of the first records as text, number and integer.
  DbDll_First(h);
  for (int n = 0; n < kMaxRecords && !DbDll_Eof(h); ++n, DbDll_Next(h)) {
    FUZZ_CHECK(DbDll_RecNo(h) >= 1 && DbDll_RecNo(h) <= records, "record number out of range");
    for (const auto& name : names) {
      DbDll_FieldByName_AsString_W(h, name.c_str(), text.get());
      wchar_t small[8];
      DbDll_FieldByName_AsStringN_W(h, name.c_str(), small, 8);
      double d = 0;
      DbDll_FieldByName_AsFloat_W(h, name.c_str(), &d);
      int i = 0;
      DbDll_FieldByName_AsInteger_W(h, name.c_str(), &i);
    }
  }
  DbDll_MoveBy(h, records / 2);
  DbDll_Last(h);
  DbDll_Prior(h);
  if (!names.empty() && records > 0) {
    DbDll_First(h);
    DbDll_FieldByName_AsString_W(h, names[0].c_str(), text.get());
    const std::wstring first = text.get();
    // A text that reads back whole is found again (a damaged cell may hold
    // bytes that are no UTF-8, or be longer than its field and read cut).
    if (wasTable && !before.records.empty() && os::toUtf8(first) == before.cellText(0, before.records[0][0]))
      FUZZ_CHECK(DbDll_Locate_W(h, names[0].c_str(), first.c_str()), "the first record's value is not found");
  }

  // A change: the first field of the first record, and a record appended.
  bool edited = false, appended = false;
  if (!names.empty()) {
    DbDll_First(h);
    if (records > 0 && DbDll_Edit(h)) {
      DbDll_WriteByName_AsString_W(h, names[0].c_str(), L"改");
      edited = DbDll_Post(h);
    }
    if (DbDll_Append(h)) {
      DbDll_WriteByName_AsInteger_W(h, names.back().c_str(), 7);
      appended = DbDll_Post(h);
    }
  }
  const bool written = DbDll_Close(h);

  // When the file was a table and the change was written, it reads back.
  if (!wasTable || !(edited || appended) || !written) return 0;
  suite::Table after;
  FUZZ_CHECK(suite::loadTable(file, after, error), "the table written back cannot be read: " + error);
  FUZZ_CHECK(after.fields.size() == before.fields.size(), "the fields changed");
  FUZZ_CHECK(after.records.size() == before.records.size() + appended, "the appended record is missing");
  if (edited)
    FUZZ_CHECK(after.records[0][0] == after.convertText(0, os::toUtf8(L"改")), "the edited value is missing");
  return 0;
}
