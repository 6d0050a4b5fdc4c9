#include "platform/suite/core/table.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/suite/core/files.h"
#include "platform/suite/core/text.h"

namespace suite {

const char* fieldTypeName(FieldType t) {
  switch (t) {
    case FieldType::String: return "ftString";
    case FieldType::Memo: return "ftMemo";
    case FieldType::Float: return "ftFloat";
    case FieldType::Integer: return "ftInteger";
    case FieldType::Blob: return "ftBlob";
  }
  return "ftMemo";
}

std::optional<FieldType> parseFieldType(std::string_view name) {
  std::string n;
  for (char c : name) n.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (n == "ftstring" || n == "ftwidestring" || n == "ftfixedchar" || n == "string") return FieldType::String;
  if (n == "ftmemo" || n == "ftwidememo" || n == "ftfmtmemo" || n == "memo" || n == "text")
    return FieldType::Memo;
  if (n == "ftfloat" || n == "ftcurrency" || n == "ftbcd" || n == "real" || n == "float" || n == "double")
    return FieldType::Float;
  if (n == "ftinteger" || n == "ftsmallint" || n == "ftword" || n == "ftlargeint" || n == "ftautoinc" ||
      n == "ftboolean" || n == "integer" || n == "int")
    return FieldType::Integer;
  if (n == "ftblob" || n == "ftgraphic" || n == "ftbytes" || n == "ftvarbytes" || n == "blob")
    return FieldType::Blob;
  return std::nullopt;
}

std::string sizeProblem(std::string_view name, FieldType type, long long size) {
  if (type != FieldType::String || (size >= 0 && size <= kMaxFieldSize)) return {};
  return "field \"" + std::string(name) + "\" declares size " + std::to_string(size) + "; sizes run from 1 to " +
         std::to_string(kMaxFieldSize);
}

namespace {

// The name as a message shows it: control characters as \xNN, the
// invisible mark as <U+FEFF>.
std::string printable(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (name.substr(i, 3) == "\xEF\xBB\xBF") {
      out += "<U+FEFF>";
      i += 2;
    } else if (c < 0x20 || c == 0x7F) {
      const char* hex = "0123456789ABCDEF";
      out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace

std::string nameProblem(std::string_view name) {
  if (name.empty()) return "empty field name";
  if (name.find("\xEF\xBB\xBF") != std::string_view::npos)
    return "field name \"" + printable(name) + "\" holds a byte-order mark (U+FEFF)";
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return "field name \"" + printable(name) + "\" holds a control character";
  return {};
}

int Table::findField(std::string_view name) const {
  if (index_.size() != fields.size()) const_cast<Table*>(this)->rebuildIndex();
  auto it = index_.find(std::string(name));
  return it == index_.end() ? -1 : it->second;
}

void Table::rebuildIndex() {
  index_.clear();
  for (size_t i = 0; i < fields.size(); ++i) index_.emplace(fields[i].name, static_cast<int>(i));
}

bool Table::addField(Field f) {
  if (f.name.empty() || findField(f.name) >= 0) return false;
  if (f.type == FieldType::String && f.size <= 0) f.size = 255;
  if (f.type != FieldType::String) f.size = 0;
  fields.push_back(std::move(f));
  rebuildIndex();
  for (auto& r : records) r.resize(fields.size());
  return true;
}

bool Table::convertTextInto(int field, std::string_view utf8, std::string& out, double* number) const {
  const Field& f = fields[field];
  switch (f.type) {
    case FieldType::String:
      out.assign(utf8);
      fitText(field, out);
      return true;
    case FieldType::Float:
    case FieldType::Integer: {
      auto v = parseNumberPrefix(utf8);
      if (v && number) *number = *v;
      return v && convertNumberInto(field, *v, out);
    }
    default:
      out.assign(utf8);
      return true;
  }
}

void Table::fitText(int field, std::string& utf8) const {
  const Field& f = fields[field];
  // A text of no more bytes than the size has no more characters either.
  if (f.type == FieldType::String && utf8.size() > static_cast<size_t>(f.size))
    utf8.resize(utf8Prefix(utf8, static_cast<size_t>(f.size)));
}

bool Table::convertNumberInto(int field, double v, std::string& out) const {
  const Field& f = fields[field];
  if (!std::isfinite(v)) return false;
  if (f.type == FieldType::Integer) {
    double r = std::round(v);
    if (r > 9.2e18 || r < -9.2e18) return false;
    char buf[32];
    auto end = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(r)).ptr;
    out.assign(buf, end);
    return true;
  }
  formatNumberInto(v, out);
  if (f.type == FieldType::String && out.size() > static_cast<size_t>(f.size))
    out.resize(utf8Prefix(out, static_cast<size_t>(f.size)));
  return true;
}

Cell Table::convertText(int field, std::string_view utf8) const {
  std::string out;
  if (!convertTextInto(field, utf8, out)) return std::nullopt;
  return out;
}

Cell Table::convertNumber(int field, double v) const {
  std::string out;
  if (!convertNumberInto(field, v, out)) return std::nullopt;
  return out;
}

std::string Table::cellText(int field, const Cell& c) const {
  if (!c || fields[field].type == FieldType::Blob) return {};
  return *c;
}

double Table::cellNumber(int field, const Cell& c) const {
  if (!c || fields[field].type == FieldType::Blob) return 0;
  return parseNumberPrefix(std::string_view(*c)).value_or(0);
}

// ---------------------------------------------------------------------------
// SQLite
// ---------------------------------------------------------------------------

namespace {

struct Db {
  sqlite3* db = nullptr;
  ~Db() {
    if (db) sqlite3_close(db);
  }
};

struct Stmt {
  sqlite3_stmt* st = nullptr;
  ~Stmt() {
    if (st) sqlite3_finalize(st);
  }
};

}  // namespace

std::string quoteIdent(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += "\"\"";
    else q.push_back(c);
  }
  q += '"';
  return q;
}

namespace {

const char* affinity(FieldType t) {
  switch (t) {
    case FieldType::String:
    case FieldType::Memo: return "TEXT";
    case FieldType::Float: return "REAL";
    case FieldType::Integer: return "INTEGER";
    case FieldType::Blob: return "BLOB";
  }
  return "TEXT";
}

FieldType typeFromDeclared(std::string decl) {
  for (auto& c : decl) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (decl.find("INT") != std::string::npos) return FieldType::Integer;
  if (decl.find("REAL") != std::string::npos || decl.find("FLOA") != std::string::npos ||
      decl.find("DOUB") != std::string::npos || decl.find("NUM") != std::string::npos)
    return FieldType::Float;
  if (decl.find("BLOB") != std::string::npos) return FieldType::Blob;
  return FieldType::Memo;
}

bool exec(sqlite3* db, const char* sql, std::string& error) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
    error = msg ? msg : "sqlite error";
    sqlite3_free(msg);
    return false;
  }
  return true;
}

// Damage that reading alone does not show: a record stored over its
// neighbour reads as one record fewer, and the first write then spreads the
// damage until the whole table reads as malformed. Every page of the file is
// walked once (SQLite's quick check) before the table is handed out, so such
// a file is refused while it still is as it was. "" when the file is sound.
std::string damage(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &st, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
  std::string why;
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    why = text ? text : "no answer";
    if (why == "ok") why.clear();
    // The answer begins with a heading line naming the database.
    const std::string_view heading = "*** in database main ***\n";
    if (why.rfind(heading, 0) == 0) why.erase(0, heading.size());
    if (auto nl = why.find('\n'); nl != std::string::npos) why.resize(nl);
  } else if (rc != SQLITE_DONE) {
    why = sqlite3_errmsg(db);
  }
  sqlite3_finalize(st);
  return why;
}

}  // namespace

bool openTableFile(const std::filesystem::path& file, sqlite3** db, TableLayout& layout, std::string& error,
                   bool& missing) {
  *db = nullptr;
  layout = TableLayout();
  std::error_code ec;
  missing = !std::filesystem::exists(file, ec);
  if (missing || !std::filesystem::is_regular_file(file, ec)) {
    error = missing ? "no such table file" : "not a file";
    return false;
  }
  // Read and write when the file allows it: a rollback journal left by a
  // writer that was killed is then played back at the first read, and the
  // table reads as it was before that writer began.
  Db d;
  if (sqlite3_open_v2(file.c_str(), &d.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    error = d.db ? sqlite3_errmsg(d.db) : "cannot open";
    return false;
  }
  sqlite3_busy_timeout(d.db, 5000);
  int rc = readLayout(d.db, layout, error);
  if (rc != SQLITE_OK) {
    if ((rc & 0xFF) == SQLITE_READONLY || (rc & 0xFF) == SQLITE_CANTOPEN)
      error = "an unfinished write left a journal that cannot be played back here (" + error + ")";
    else if (rc == SQLITE_NOTADB)
      error = "not a table file (" + error + ")";
    return false;
  }
  if (std::string why = damage(d.db); !why.empty()) {
    error = "damaged: " + why;
    return false;
  }
  *db = d.db;
  d.db = nullptr;
  return true;
}

int readLayout(sqlite3* db, TableLayout& out, std::string& error) {
  out = TableLayout();
  int rc = SQLITE_OK;
  auto failed = [&](int code) {
    error = sqlite3_errmsg(db);
    return code;
  };
  {
    Stmt s;
    if ((rc = sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' AND name IN ('records','kiv_fields')",
                                 -1, &s.st, nullptr)) != SQLITE_OK)
      return failed(sqlite3_extended_errcode(db));
    bool records = false;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
      std::string_view n = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 0));
      if (n == "records") records = true;
      else out.hasFieldTable = true;
    }
    if (rc != SQLITE_DONE) return failed(sqlite3_extended_errcode(db));
    if (!records) {
      error = "not a table file (no table \"records\")";
      return SQLITE_NOTFOUND;
    }
  }
  std::vector<std::string> columns;
  {
    Stmt s;
    if (sqlite3_prepare_v2(db, "PRAGMA table_info(records)", -1, &s.st, nullptr) != SQLITE_OK)
      return failed(sqlite3_extended_errcode(db));
    while (sqlite3_step(s.st) == SQLITE_ROW) {
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1));
      const char* decl = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 2));
      std::string n = name ? name : "";
      if (n == "_ord") {
        out.hasOrd = true;
        continue;
      }
      columns.push_back(n);
      if (!out.hasFieldTable) out.fields.push_back(Field{n, typeFromDeclared(decl ? decl : ""), 0});
    }
  }
  if (out.hasFieldTable) {
    Stmt s;
    if (sqlite3_prepare_v2(db, "SELECT name, type, size FROM kiv_fields ORDER BY pos", -1, &s.st, nullptr) !=
        SQLITE_OK)
      return failed(sqlite3_extended_errcode(db));
    while (sqlite3_step(s.st) == SQLITE_ROW) {
      Field f;
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 0));
      const char* type = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1));
      f.name = name ? name : "";
      f.type = parseFieldType(type ? type : "").value_or(FieldType::Memo);
      const long long size = sqlite3_column_int64(s.st, 2);
      if (std::string why = sizeProblem(f.name, f.type, size); !why.empty()) {
        error = why;
        return SQLITE_FORMAT;
      }
      f.size = static_cast<int>(size);
      if (f.type == FieldType::String && f.size <= 0) f.size = 255;
      if (f.type != FieldType::String) f.size = 0;
      if (std::find(columns.begin(), columns.end(), f.name) == columns.end()) {
        error = "field \"" + f.name + "\" has no column in records";
        return SQLITE_FORMAT;
      }
      // Two fields on one column: whatever is written into the first would
      // be overwritten by the second when the record is stored.
      if (std::any_of(out.fields.begin(), out.fields.end(), [&](const Field& g) { return g.name == f.name; })) {
        error = "field \"" + f.name + "\" is listed twice";
        return SQLITE_FORMAT;
      }
      out.fields.push_back(f);
    }
  }
  return SQLITE_OK;
}

std::string selectColumns(const std::vector<Field>& fields) {
  std::string sql;
  for (size_t i = 0; i < fields.size(); ++i) sql += (i ? ", " : "") + quoteIdent(fields[i].name);
  return sql;
}

bool columnInto(sqlite3_stmt* st, int col, const Table& t, int field, std::string& out) {
  const int ct = sqlite3_column_type(st, col);
  if (ct == SQLITE_NULL) return false;
  switch (t.fields[field].type) {
    case FieldType::Blob: {
      const char* p = static_cast<const char*>(sqlite3_column_blob(st, col));
      out.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, col)));
      return true;
    }
    case FieldType::Integer:
      if (ct == SQLITE_INTEGER) {
        char buf[32];
        out.assign(buf, std::to_chars(buf, buf + sizeof buf, sqlite3_column_int64(st, col)).ptr);
        return true;
      }
      [[fallthrough]];
    case FieldType::Float:
      if (ct == SQLITE_INTEGER || ct == SQLITE_FLOAT) return t.convertNumberInto(field, sqlite3_column_double(st, col), out);
      return t.convertTextInto(field, columnText(st, col), out);
    default:
      out.assign(columnText(st, col));
      return true;
  }
}

Cell columnCell(sqlite3_stmt* st, int col, const Table& t, int field) {
  std::string out;
  if (!columnInto(st, col, t, field, out)) return std::nullopt;
  return out;
}

std::string_view columnText(sqlite3_stmt* st, int col) {
  const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
  return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(st, col))) : std::string_view();
}

void bindCell(sqlite3_stmt* st, int col, FieldType type, const std::string* c) {
  if (!c) {
    sqlite3_bind_null(st, col);
    return;
  }
  switch (type) {
    case FieldType::Blob:
      sqlite3_bind_blob(st, col, c->data(), static_cast<int>(c->size()), SQLITE_STATIC);
      break;
    case FieldType::Float:
      sqlite3_bind_double(st, col, parseNumberPrefix(std::string_view(*c)).value_or(0));
      break;
    case FieldType::Integer:
      sqlite3_bind_int64(st, col, std::strtoll(c->c_str(), nullptr, 10));
      break;
    default:
      sqlite3_bind_text(st, col, c->data(), static_cast<int>(c->size()), SQLITE_STATIC);
  }
}

bool loadTable(const std::filesystem::path& file, Table& out, std::string& error) {
  out = Table();
  sqlite3* raw = nullptr;
  TableLayout layout;
  bool missing = false;
  if (!openTableFile(file, &raw, layout, error, missing)) return false;
  Db d;
  d.db = raw;
  out.fields = std::move(layout.fields);
  out.rebuildIndex();
  if (out.fields.empty()) return true;
  std::string sql = "SELECT " + selectColumns(out.fields) + " FROM records ORDER BY " + (layout.hasOrd ? "_ord" : "rowid");
  Stmt s;
  if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &s.st, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(d.db);
    return false;
  }
  const int n = static_cast<int>(out.fields.size());
  int rc;
  while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
    Record r(n);
    for (int i = 0; i < n; ++i) r[i] = columnCell(s.st, i, out, i);
    out.records.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(d.db);
    return false;
  }
  return true;
}

bool createLayout(sqlite3* db, const std::vector<Field>& fields, std::string& error) {
  if (!exec(db, "DROP TABLE IF EXISTS records; DROP TABLE IF EXISTS kiv_fields;"
                "CREATE TABLE kiv_fields(pos INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                " type TEXT NOT NULL, size INTEGER NOT NULL)",
            error))
    return false;
  std::string create = "CREATE TABLE records(_ord INTEGER PRIMARY KEY";
  for (const Field& f : fields) create += ", " + quoteIdent(f.name) + " " + affinity(f.type);
  create += ")";
  if (!exec(db, create.c_str(), error)) return false;
  Stmt s;
  if (sqlite3_prepare_v2(db, "INSERT INTO kiv_fields VALUES(?,?,?,?)", -1, &s.st, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    sqlite3_bind_int(s.st, 1, static_cast<int>(i));
    sqlite3_bind_text(s.st, 2, f.name.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(s.st, 3, fieldTypeName(f.type), -1, SQLITE_STATIC);
    sqlite3_bind_int(s.st, 4, f.type == FieldType::String ? f.size : 0);
    if (sqlite3_step(s.st) != SQLITE_DONE) {
      error = sqlite3_errmsg(db);
      return false;
    }
    sqlite3_reset(s.st);
  }
  return true;
}

std::string insertSql(const std::vector<Field>& fields) {
  std::string sql = "INSERT INTO records VALUES(?";
  for (size_t i = 0; i < fields.size(); ++i) sql += ", ?";
  return sql + ")";
}

bool saveTable(const std::filesystem::path& file, const Table& t, std::string& error) {
  Db d;
  if (sqlite3_open_v2(file.c_str(), &d.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    error = d.db ? sqlite3_errmsg(d.db) : "cannot open";
    return false;
  }
  sqlite3_busy_timeout(d.db, 5000);
  if (!exec(d.db, "BEGIN IMMEDIATE", error)) return false;
  auto fail = [&]() {
    std::string ignored;
    exec(d.db, "ROLLBACK", ignored);
    return false;
  };
  if (!createLayout(d.db, t.fields, error)) return fail();
  const std::string insert = insertSql(t.fields);
  {
    Stmt s;
    if (sqlite3_prepare_v2(d.db, insert.c_str(), -1, &s.st, nullptr) != SQLITE_OK) {
      error = sqlite3_errmsg(d.db);
      return fail();
    }
    long long ord = 0;
    for (const Record& r : t.records) {
      sqlite3_bind_int64(s.st, 1, ++ord);
      for (size_t i = 0; i < t.fields.size(); ++i) {
        int col = static_cast<int>(i) + 2;
        bindCell(s.st, col, t.fields[i].type, i < r.size() && r[i] ? &*r[i] : nullptr);
      }
      if (sqlite3_step(s.st) != SQLITE_DONE) {
        error = sqlite3_errmsg(d.db);
        return fail();
      }
      sqlite3_reset(s.st);
    }
  }
  if (!exec(d.db, "COMMIT", error)) return fail();
  return true;
}

bool replaceTableFile(const std::filesystem::path& file, const Table& t, std::string& error) {
  return replaceFile(
      file, [&](const std::filesystem::path& tmp, std::string& err) { return saveTable(tmp, t, err); }, error);
}

// ---------------------------------------------------------------------------
// Field lists
// ---------------------------------------------------------------------------

bool parseFieldSpec(std::string_view spec, Field& out, std::string& error) {
  out = Field();
  std::string s(spec);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  size_t a = 0;
  while (a < s.size() && (s[a] == ' ' || s[a] == '\t')) ++a;
  s = s.substr(a);
  // name[:type[:size]], read from the right so a name may hold ':'.
  std::string name = s;
  long long size = 0;
  std::optional<FieldType> type;
  size_t c1 = s.rfind(':');
  if (c1 != std::string::npos) {
    std::string last = s.substr(c1 + 1);
    bool digits = !last.empty() && std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
      size_t c2 = c1 == 0 ? std::string::npos : s.rfind(':', c1 - 1);
      if (c2 != std::string::npos) {
        type = parseFieldType(s.substr(c2 + 1, c1 - c2 - 1));
        if (type) {
          name = s.substr(0, c2);
          // Beyond 18 digits every size is out of range alike.
          size = last.size() > 18 ? std::numeric_limits<long long>::max() : std::stoll(last);
        }
      }
    } else if ((type = parseFieldType(last))) {
      name = s.substr(0, c1);
    }
  }
  if (name.empty()) {
    error = "empty field name in \"" + std::string(spec) + "\"";
    return false;
  }
  out.name = name;
  out.type = type.value_or(FieldType::Memo);
  if (std::string why = nameProblem(name); !why.empty()) {
    error = why;
    return false;
  }
  if (std::string why = sizeProblem(name, out.type, size); !why.empty()) {
    error = why;
    return false;
  }
  out.size = out.type == FieldType::String ? (size > 0 ? static_cast<int>(size) : 255) : 0;
  return true;
}

std::string fieldSpec(const Field& f) {
  std::string s = f.name + ":" + fieldTypeName(f.type);
  if (f.type == FieldType::String) s += ":" + std::to_string(f.size);
  return s;
}

bool parseFieldList(std::wstring_view text, std::vector<Field>& out, std::string& error) {
  out.clear();
  Table check;
  for (const std::wstring& line : splitLines(text)) {
    if (trim(line).empty()) continue;
    Field f;
    if (!parseFieldSpec(narrow(line), f, error)) return false;
    if (!check.addField(f)) {
      error = "field \"" + f.name + "\" named twice";
      return false;
    }
    out.push_back(check.fields.back());
  }
  return true;
}

}  // namespace suite
