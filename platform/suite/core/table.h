// A table of the table library: named, typed fields in order and records in
// order, held in memory and read from / written to one SQLite file (layout in
// platform/suite/README.md). The cursor of Ravn.dll works on this.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace suite {

enum class FieldType { String, Memo, Float, Integer, Blob };

const char* fieldTypeName(FieldType t);  // "ftString", ...
// "ftString", "ftMemo", "ftFloat", "ftInteger", "ftBlob" (case-insensitive;
// also "TEXT", "REAL", "INTEGER", "BLOB", "MEMO", "ftWideString", "ftSmallint",
// "ftWord", "ftLargeint", "ftBoolean", "ftCurrency", "ftGraphic").
std::optional<FieldType> parseFieldType(std::string_view name);

struct Field {
  std::string name;  // UTF-8
  FieldType type = FieldType::Memo;
  int size = 0;  // most characters kept by an ftString field; 0 otherwise
};

// A cell: nullopt is empty (NULL). Text fields hold UTF-8 text; number fields
// the canonical number text (formatNumber); blob fields the raw bytes.
using Cell = std::optional<std::string>;
using Record = std::vector<Cell>;

class Table {
 public:
  std::vector<Field> fields;
  std::vector<Record> records;

  // Index of the field, -1 when none (exact name).
  int findField(std::string_view name) const;
  void rebuildIndex();
  bool addField(Field f);  // false when the name is taken or empty

  // The value a field takes when text is written into it: text cut to the
  // size of an ftString, numbers parsed (nullopt when no number), blobs as is.
  Cell convertText(int field, std::string_view utf8) const;
  Cell convertNumber(int field, double v) const;
  // The field's text as the text reader shows it ("" for empty and blobs).
  std::string cellText(int field, const Cell& c) const;
  double cellNumber(int field, const Cell& c) const;

 private:
  std::unordered_map<std::string, int> index_;
};

// Reads a table file. False with a reason when the file is missing or is not
// a table.
bool loadTable(const std::filesystem::path& file, Table& out, std::string& error);
// Writes the table into the file (created when missing) in one transaction.
bool saveTable(const std::filesystem::path& file, const Table& t, std::string& error);
// Builds a table in a temporary file beside the target and renames it over
// the target, so a failure leaves the old file as it was.
bool replaceTableFile(const std::filesystem::path& file, const Table& t, std::string& error);

// Parses "name:type:size" lines (joined by "\r\n" or "\n"); a line "name" or
// "name:type" is accepted too. False with a reason on a bad line.
bool parseFieldList(std::wstring_view text, std::vector<Field>& out, std::string& error);
// One header cell "name:type[:size]".
bool parseFieldSpec(std::string_view spec, Field& out, std::string& error);
std::string fieldSpec(const Field& f);

}  // namespace suite
