#include "platform/suite/core/table.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

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

Cell Table::convertText(int field, std::string_view utf8) const {
  const Field& f = fields[field];
  switch (f.type) {
    case FieldType::String:
      return cutUtf8(utf8, static_cast<size_t>(f.size));
    case FieldType::Memo:
    case FieldType::Blob:
      return std::string(utf8);
    case FieldType::Float:
    case FieldType::Integer: {
      auto v = parseNumberPrefix(utf8);
      if (!v) return std::nullopt;
      return convertNumber(field, *v);
    }
  }
  return std::nullopt;
}

Cell Table::convertNumber(int field, double v) const {
  const Field& f = fields[field];
  if (!std::isfinite(v)) return std::nullopt;
  switch (f.type) {
    case FieldType::Integer: {
      double r = std::round(v);
      if (r > 9.2e18 || r < -9.2e18) return std::nullopt;
      return std::to_string(static_cast<long long>(r));
    }
    case FieldType::Float:
      return formatNumber(v);
    case FieldType::String:
      return cutUtf8(formatNumber(v), static_cast<size_t>(f.size));
    case FieldType::Memo:
      return formatNumber(v);
    case FieldType::Blob:
      return formatNumber(v);
  }
  return std::nullopt;
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

std::string quoteIdent(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += "\"\"";
    else q.push_back(c);
  }
  q += '"';
  return q;
}

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

bool hasTable(sqlite3* db, const char* name) {
  Stmt s;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1, &s.st,
                         nullptr) != SQLITE_OK)
    return false;
  sqlite3_bind_text(s.st, 1, name, -1, SQLITE_STATIC);
  return sqlite3_step(s.st) == SQLITE_ROW;
}

}  // namespace

bool loadTable(const std::filesystem::path& file, Table& out, std::string& error) {
  out = Table();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    error = "no such table file";
    return false;
  }
  Db d;
  if (sqlite3_open_v2(file.c_str(), &d.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    error = d.db ? sqlite3_errmsg(d.db) : "cannot open";
    return false;
  }
  if (!hasTable(d.db, "records")) {
    error = "not a table file (no table \"records\")";
    return false;
  }
  bool hasOrd = false;
  std::vector<std::string> columns;
  {
    Stmt s;
    if (sqlite3_prepare_v2(d.db, "PRAGMA table_info(records)", -1, &s.st, nullptr) != SQLITE_OK) {
      error = sqlite3_errmsg(d.db);
      return false;
    }
    while (sqlite3_step(s.st) == SQLITE_ROW) {
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1));
      const char* decl = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 2));
      std::string n = name ? name : "";
      if (n == "_ord") {
        hasOrd = true;
        continue;
      }
      columns.push_back(n);
      if (!hasTable(d.db, "kiv_fields")) {
        Field f;
        f.name = n;
        f.type = typeFromDeclared(decl ? decl : "");
        out.fields.push_back(f);
      }
    }
  }
  if (hasTable(d.db, "kiv_fields")) {
    Stmt s;
    if (sqlite3_prepare_v2(d.db, "SELECT name, type, size FROM kiv_fields ORDER BY pos", -1, &s.st,
                           nullptr) != SQLITE_OK) {
      error = sqlite3_errmsg(d.db);
      return false;
    }
    while (sqlite3_step(s.st) == SQLITE_ROW) {
      Field f;
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 0));
      const char* type = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1));
      f.name = name ? name : "";
      f.type = parseFieldType(type ? type : "").value_or(FieldType::Memo);
      f.size = sqlite3_column_int(s.st, 2);
      if (f.type == FieldType::String && f.size <= 0) f.size = 255;
      if (f.type != FieldType::String) f.size = 0;
      if (std::find(columns.begin(), columns.end(), f.name) == columns.end()) {
        error = "field \"" + f.name + "\" has no column in records";
        return false;
      }
      out.fields.push_back(f);
    }
  }
  out.rebuildIndex();
  if (out.fields.empty()) return true;

  std::string sql = "SELECT ";
  for (size_t i = 0; i < out.fields.size(); ++i) {
    if (i) sql += ", ";
    sql += quoteIdent(out.fields[i].name);
  }
  sql += " FROM records ORDER BY ";
  sql += hasOrd ? "_ord" : "rowid";
  Stmt s;
  if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &s.st, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(d.db);
    return false;
  }
  const int n = static_cast<int>(out.fields.size());
  int rc;
  while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
    Record r(n);
    for (int i = 0; i < n; ++i) {
      int ct = sqlite3_column_type(s.st, i);
      if (ct == SQLITE_NULL) continue;
      const Field& f = out.fields[i];
      switch (f.type) {
        case FieldType::Blob: {
          const void* p = sqlite3_column_blob(s.st, i);
          int len = sqlite3_column_bytes(s.st, i);
          r[i] = std::string(static_cast<const char*>(p), static_cast<size_t>(len));
          break;
        }
        case FieldType::Float:
        case FieldType::Integer:
          if (ct == SQLITE_INTEGER || ct == SQLITE_FLOAT) {
            r[i] = out.convertNumber(i, sqlite3_column_double(s.st, i));
            if (f.type == FieldType::Integer && ct == SQLITE_INTEGER)
              r[i] = std::to_string(sqlite3_column_int64(s.st, i));
          } else {
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(s.st, i));
            r[i] = out.convertText(i, t ? t : "");
          }
          break;
        default: {
          const char* t = reinterpret_cast<const char*>(sqlite3_column_text(s.st, i));
          int len = sqlite3_column_bytes(s.st, i);
          r[i] = std::string(t ? t : "", static_cast<size_t>(len));
        }
      }
    }
    out.records.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(d.db);
    return false;
  }
  return true;
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
  if (!exec(d.db, "DROP TABLE IF EXISTS records; DROP TABLE IF EXISTS kiv_fields;"
                  "CREATE TABLE kiv_fields(pos INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                  " type TEXT NOT NULL, size INTEGER NOT NULL)",
            error))
    return fail();
  std::string create = "CREATE TABLE records(_ord INTEGER PRIMARY KEY";
  std::string insert = "INSERT INTO records VALUES(?";
  for (const Field& f : t.fields) {
    create += ", " + quoteIdent(f.name) + " " + affinity(f.type);
    insert += ", ?";
  }
  create += ")";
  insert += ")";
  if (!exec(d.db, create.c_str(), error)) return fail();
  {
    Stmt s;
    if (sqlite3_prepare_v2(d.db, "INSERT INTO kiv_fields VALUES(?,?,?,?)", -1, &s.st, nullptr) !=
        SQLITE_OK) {
      error = sqlite3_errmsg(d.db);
      return fail();
    }
    for (size_t i = 0; i < t.fields.size(); ++i) {
      const Field& f = t.fields[i];
      sqlite3_bind_int(s.st, 1, static_cast<int>(i));
      sqlite3_bind_text(s.st, 2, f.name.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(s.st, 3, fieldTypeName(f.type), -1, SQLITE_STATIC);
      sqlite3_bind_int(s.st, 4, f.type == FieldType::String ? f.size : 0);
      if (sqlite3_step(s.st) != SQLITE_DONE) {
        error = sqlite3_errmsg(d.db);
        return fail();
      }
      sqlite3_reset(s.st);
    }
  }
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
        static const Cell kEmpty;
        const Cell& c = i < r.size() ? r[i] : kEmpty;
        if (!c) {
          sqlite3_bind_null(s.st, col);
          continue;
        }
        switch (t.fields[i].type) {
          case FieldType::Blob:
            sqlite3_bind_blob(s.st, col, c->data(), static_cast<int>(c->size()), SQLITE_STATIC);
            break;
          case FieldType::Float:
            sqlite3_bind_double(s.st, col, parseNumberPrefix(std::string_view(*c)).value_or(0));
            break;
          case FieldType::Integer:
            sqlite3_bind_int64(s.st, col, std::strtoll(c->c_str(), nullptr, 10));
            break;
          default:
            sqlite3_bind_text(s.st, col, c->data(), static_cast<int>(c->size()), SQLITE_STATIC);
        }
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
  std::filesystem::path tmp = file;
  tmp += ".tmp" + std::to_string(::getpid());
  std::error_code ec;
  std::filesystem::remove(tmp, ec);
  if (!saveTable(tmp, t, error)) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  std::filesystem::rename(tmp, file, ec);
  if (ec) {
    error = "cannot replace " + file.string() + ": " + ec.message();
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
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
  int size = 0;
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
          size = last.size() > 9 ? 1000000000 : std::stoi(last);
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
  out.size = out.type == FieldType::String ? (size > 0 ? size : 255) : 0;
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
