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

struct sqlite3;
struct sqlite3_stmt;

namespace suite {

enum class FieldType { String, Memo, Float, Integer, Blob };

const char* fieldTypeName(FieldType t);  // "ftString", ...
// "ftString", "ftMemo", "ftFloat", "ftInteger", "ftBlob" (case-insensitive;
// also "TEXT", "REAL", "INTEGER", "BLOB", "MEMO", "ftWideString", "ftSmallint",
// "ftWord", "ftLargeint", "ftBoolean", "ftCurrency", "ftGraphic").
std::optional<FieldType> parseFieldType(std::string_view name);

// The largest size an ftString field may declare: one below the largest
// buffer a caller reads into, so that size + 1 characters always fit.
constexpr int kMaxFieldSize = 1000000;

struct Field {
  std::string name;  // UTF-8
  FieldType type = FieldType::Memo;
  int size = 0;  // most characters kept by an ftString field (1..kMaxFieldSize); 0 otherwise
};

// Why a declared size cannot be used ("" when it can): an ftString field's
// size lies in 0..kMaxFieldSize (0: the default 255); other types ignore it.
std::string sizeProblem(std::string_view name, FieldType type, long long size);
// Why a name cannot be given to a new field ("" when it can): it is not
// empty and holds neither a control character nor a byte-order mark (U+FEFF,
// which a text reader takes for the file's own mark and drops).
std::string nameProblem(std::string_view name);

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
  // The same into a buffer the caller reuses; false for an empty value. A
  // number field also hands back the number read when number is given.
  bool convertTextInto(int field, std::string_view utf8, std::string& out, double* number = nullptr) const;
  // Cuts UTF-8 text written into a text field as convertTextInto does (an
  // ftString field keeps at most its size in characters).
  void fitText(int field, std::string& utf8) const;
  bool convertNumberInto(int field, double v, std::string& out) const;
  // The field's text as the text reader shows it ("" for empty and blobs).
  std::string cellText(int field, const Cell& c) const;
  double cellNumber(int field, const Cell& c) const;

 private:
  std::unordered_map<std::string, int> index_;
};

// How a table file is laid out: its fields, and whether it has the field
// table and the record order column of the library's own layout (a file made
// by hand may lack both).
struct TableLayout {
  std::vector<Field> fields;
  bool hasFieldTable = false;
  bool hasOrd = false;
  bool standard() const { return hasFieldTable && hasOrd; }
};

// Opens a table file for reading (and writing where the file allows, so that
// a journal left by a killed writer is played back). False with a reason
// that tells a missing file (missing = true) from one that cannot be read.
bool openTableFile(const std::filesystem::path& file, sqlite3** db, TableLayout& layout, std::string& error,
                   bool& missing);
// Reads the layout of an open table file; an SQLite result code (extended),
// SQLITE_OK on success.
int readLayout(sqlite3* db, TableLayout& out, std::string& error);
// Drops and creates the records and field tables of the library's layout.
bool createLayout(sqlite3* db, const std::vector<Field>& fields, std::string& error);
// SQL pieces: a quoted name, the fields' quoted names joined by ", ", and
// "INSERT INTO records VALUES(?, ...)" with _ord first.
std::string quoteIdent(std::string_view name);
std::string selectColumns(const std::vector<Field>& fields);
std::string insertSql(const std::vector<Field>& fields);
// A result column as the cell of field `field` of t holds it (numbers as
// their canonical text, blobs as bytes), and a cell bound as a parameter.
Cell columnCell(sqlite3_stmt* st, int col, const Table& t, int field);
bool columnInto(sqlite3_stmt* st, int col, const Table& t, int field, std::string& out);  // false: empty
std::string_view columnText(sqlite3_stmt* st, int col);
void bindCell(sqlite3_stmt* st, int col, FieldType type, const std::string* c);  // null: empty

// Reads a table file. False with a reason when the file is missing or is not
// a table.
bool loadTable(const std::filesystem::path& file, Table& out, std::string& error);
// Writes the table into the file (created when missing) in one transaction.
bool saveTable(const std::filesystem::path& file, const Table& t, std::string& error);
// Builds a table in a temporary file beside the target and renames it over
// the target (replaceFile), so a failure leaves the old file as it was and
// a stale journal of the old file is never played onto the new one.
bool replaceTableFile(const std::filesystem::path& file, const Table& t, std::string& error);

// Parses "name:type:size" lines (joined by "\r\n" or "\n"); a line "name" or
// "name:type" is accepted too. False with a reason on a bad line.
bool parseFieldList(std::wstring_view text, std::vector<Field>& out, std::string& error);
// One header cell "name:type[:size]".
bool parseFieldSpec(std::string_view spec, Field& out, std::string& error);
std::string fieldSpec(const Field& f);

}  // namespace suite
