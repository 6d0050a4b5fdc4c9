// Ravn.dll: the table library. Each handle is a cursor over one table file.
// Reads walk the file through one SQLite statement, so a handle holds the
// record it stands on, never the table. The first change copies the file to a
// work file beside it and every change is written through into that copy;
// Close renames the copy over the table. The file on disk is thus always the
// old table or the new one, whole: a killed writer leaves the old table and
// no journal. Rules in README.md.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/os/os.h"
#include "platform/suite/core/files.h"
#include "platform/suite/core/table.h"
#include "platform/suite/core/text.h"
#include "platform/suite/suite_abi.h"

#define KIV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using suite::Cell;
using suite::FieldType;

constexpr int kMaxRead = 1024000;  // the largest buffer any caller passes

void notice(const std::string& text) { std::fprintf(stderr, "Ravn.dll: %s\n", text.c_str()); }

bool exec(sqlite3* db, const char* sql, std::string& error) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
  error = msg ? msg : sqlite3_errmsg(db);
  sqlite3_free(msg);
  return false;
}

struct Cursor {
  // Held for each call on the handle; closed once the handle is closed.
  std::mutex mutex;
  bool closed = false;
  std::filesystem::path file;
  sqlite3* db = nullptr;       // the table file, the work copy once changed, or a private temporary table
  std::filesystem::path work;  // the work copy (empty until the first change)
  bool missing = false;        // no readable file: an empty table that is never written
  // The file the table was opened from (device and inode): its work copy
  // may be made by copying the file only while the path still names it.
  dev_t openedDevice = 0;
  ino_t openedInode = 0;
  bool dirty = false;
  bool failed = false;  // a change could not be written: Close keeps the old table
  suite::Table meta;    // the fields (no records): text and number conversions
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::wstring_view s) const { return std::hash<std::wstring_view>()(s); }
  };
  std::unordered_map<std::wstring, int, NameHash, std::equal_to<>> names;

  long long count = 0;
  long long cur = 0;  // index of the current record (valid when count > 0)
  bool eof = true;
  bool bof = true;
  enum class State { Browse, Edit, Insert } state = State::Browse;
  // The record being changed: each field's value and whether it has one.
  // The strings keep their room from record to record.
  std::vector<std::string> values;
  std::vector<unsigned char> present;
  // A number field written as text or number also keeps the number, so that
  // storing it does not read its text again.
  std::vector<double> numbers;
  std::vector<unsigned char> numbered;
  std::string utf8;  // the text being written into a number field, as UTF-8
  long long insertAt = 0;
  bool modified = false;
  int readLimit = kMaxRead;

  // Prepared once per connection. scan reads the records from a position on,
  // in order; scanAt is the record number it stands on (0: none).
  sqlite3_stmt* scan = nullptr;
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* update = nullptr;
  sqlite3_stmt* remove = nullptr;
  sqlite3_stmt* shiftOut = nullptr;
  sqlite3_stmt* shiftBack = nullptr;
  long long scanAt = 0;

  // Records appended at the end wait here and are stored together, many
  // rows to one statement (rowsPerInsert of them, prepared when first
  // needed); whatever reads or changes stored records, and Close, stores
  // them first. Entries past pendingCount keep their room for the next ones.
  struct PendingRecord {
    std::vector<std::string> values;
    std::vector<unsigned char> present, numbered;
    std::vector<double> numbers;
  };
  std::vector<PendingRecord> pending;
  size_t pendingCount = 0;
  long long pendingFrom = 0;  // record number of the first waiting record
  sqlite3_stmt* insertMany = nullptr;
  size_t rowsPerInsert = 0;
  std::string scratch;  // the text of a number field being read

  ~Cursor() { drop(); }

  // Lets the table go unchanged: the work copy, if any, is thrown away.
  void drop() {
    finalize();
    if (db) sqlite3_close(db);
    db = nullptr;
    if (!work.empty()) {
      std::error_code ec;
      std::filesystem::remove(work, ec);
      work.clear();
    }
  }

  void finalize() {
    for (sqlite3_stmt** s : {&scan, &insert, &update, &remove, &shiftOut, &shiftBack, &insertMany}) {
      sqlite3_finalize(*s);
      *s = nullptr;
    }
    scanAt = 0;
  }

  bool prepare(std::string& error) {
    const std::string cols = suite::selectColumns(meta.fields);
    std::string set;
    for (size_t i = 0; i < meta.fields.size(); ++i)
      set += (i ? ", " : "") + suite::quoteIdent(meta.fields[i].name) + " = ?" + std::to_string(i + 1);
    const std::string sqlScan =
        "SELECT _ord" + (cols.empty() ? "" : ", " + cols) + " FROM records WHERE _ord >= ?1 ORDER BY _ord";
    const std::string sqlUpdate = set.empty() ? "UPDATE records SET _ord = _ord WHERE _ord = ?1"
                                              : "UPDATE records SET " + set + " WHERE _ord = ?" +
                                                    std::to_string(meta.fields.size() + 1);
    const std::string sqlInsert = suite::insertSql(meta.fields);
    const std::pair<sqlite3_stmt**, const char*> all[] = {
        {&scan, sqlScan.c_str()},
        {&insert, sqlInsert.c_str()},
        {&update, sqlUpdate.c_str()},
        {&remove, "DELETE FROM records WHERE _ord = ?1"},
        // Record numbers move in two steps, through negative numbers, so
        // that no number is taken twice on the way.
        {&shiftOut, "UPDATE records SET _ord = -(_ord + ?2) WHERE _ord >= ?1"},
        {&shiftBack, "UPDATE records SET _ord = -_ord WHERE _ord < 0"},
    };
    for (const auto& [st, sql] : all)
      if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, st, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
      }
    return true;
  }

  // Puts the scan on the current record; false on an empty table.
  bool seek() {
    if (count == 0 || !scan) return false;
    if (pendingCount > 0) storePending();
    const long long ord = cur + 1;
    if (scanAt == ord) return true;
    if (scanAt == 0 || scanAt + 1 != ord) {
      sqlite3_reset(scan);
      sqlite3_bind_int64(scan, 1, ord);
    }
    if (sqlite3_step(scan) != SQLITE_ROW || sqlite3_column_int64(scan, 0) != ord) {
      sqlite3_reset(scan);
      scanAt = 0;
      return false;
    }
    scanAt = ord;
    return true;
  }

  // Before the table changes the scan lets go of its record.
  void release() {
    if (scan) sqlite3_reset(scan);
    scanAt = 0;
  }

  // Callers read and write a record's fields in the same order record after
  // record: the field after the last one found is tried first.
  std::vector<std::wstring> wideNames;
  int guess = 0;
  static bool sameName(const std::wstring& known, const wchar_t* name) {
    size_t i = 0;
    while (i < known.size() && known[i] == name[i]) ++i;
    return i == known.size() && name[i] == L'\0';
  }
  int field(const wchar_t* name) {
    if (!name) return -1;
    const int n = static_cast<int>(wideNames.size());
    if (guess >= n) guess = 0;
    if (n > 0 && sameName(wideNames[guess], name)) return guess++;
    auto it = names.find(std::wstring_view(name));
    if (it == names.end()) return -1;
    guess = it->second + 1;
    return it->second;
  }

  bool hasRecord() const { return state != State::Browse || count > 0; }

  // The field's text in the record reads see: the one being changed, else
  // the current one.
  std::string_view text(int f) {
    if (state != State::Browse)
      return !present[f] || meta.fields[f].type == FieldType::Blob ? std::string_view() : std::string_view(values[f]);
    if (!seek()) return {};
    const int col = f + 1;
    const int ct = sqlite3_column_type(scan, col);
    const FieldType type = meta.fields[f].type;
    if (ct == SQLITE_NULL || type == FieldType::Blob) return {};
    if (type == FieldType::String || type == FieldType::Memo) return suite::columnText(scan, col);
    const bool has = suite::columnInto(scan, col, meta, f, scratch);
    return has ? std::string_view(scratch) : std::string_view();
  }

  double number(int f) {
    if (state != State::Browse)
      return present[f] && meta.fields[f].type != FieldType::Blob
                 ? suite::parseNumberPrefix(std::string_view(values[f])).value_or(0)
                 : 0;
    if (!seek()) return 0;
    const int col = f + 1;
    const int ct = sqlite3_column_type(scan, col);
    const FieldType type = meta.fields[f].type;
    if (ct == SQLITE_NULL || type == FieldType::Blob) return 0;
    if (type == FieldType::Float && ct == SQLITE_FLOAT) return sqlite3_column_double(scan, col);
    return meta.cellNumber(f, suite::columnCell(scan, col, meta, f));
  }

  std::string bytes(int f) {
    if (state != State::Browse) return present[f] ? values[f] : std::string();
    if (!seek()) return {};
    return suite::columnCell(scan, f + 1, meta, f).value_or(std::string());
  }

  // The first change: the table is copied to a work file beside it, which
  // takes every change from now on and is put in place at Close.
  bool writable() {
    if (failed) return false;
    if (missing || !work.empty()) return true;
    std::string err;
    std::filesystem::path w = suite::temporaryPathFor(file);
    release();
    // A table read from its own file (no write-ahead log beside it) is
    // copied as a file, in large blocks; else page by page through SQLite.
    std::error_code ec;
    const char* from = sqlite3_db_filename(db, "main");
    struct stat now {};
    const bool plainFile = from && *from && std::filesystem::equivalent(from, file, ec) &&
                           ::stat(file.c_str(), &now) == 0 && now.st_dev == openedDevice &&
                           now.st_ino == openedInode &&
                           !std::filesystem::exists(std::filesystem::path(from).string() + "-wal", ec);
    bool copied = plainFile && std::filesystem::copy_file(file, w, std::filesystem::copy_options::overwrite_existing, ec);
    if (copied) {
      // The copy takes the table's permissions; the work file must be writable.
      std::filesystem::permissions(w, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ec);
      copied = !ec;
    }
    if (plainFile && !copied) std::filesystem::remove(w, ec);  // a part copied is not a table
    sqlite3* copy = nullptr;
    bool ok = sqlite3_open_v2(w.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    if (ok && !copied) {
      sqlite3_backup* b = sqlite3_backup_init(copy, "main", db, "main");
      ok = b && sqlite3_backup_step(b, -1) == SQLITE_DONE;
      if (sqlite3_backup_finish(b) != SQLITE_OK) ok = false;
    }
    // The work file needs no journal of its own: when anything fails it is
    // thrown away, and the table is untouched.
    ok = ok && exec(copy, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN EXCLUSIVE", err);
    if (ok) {
      finalize();
      sqlite3_close(db);
      db = copy;
      work = w;
      ok = prepare(err);
      if (ok) return true;
    }
    if (err.empty()) err = copy ? sqlite3_errmsg(copy) : "cannot create the work file";
    notice("cannot write table " + file.string() + ": " + err + "; it stays as it was");
    if (db != copy) {
      sqlite3_close(copy);
      std::error_code ec;
      std::filesystem::remove(w, ec);
    }
    failed = true;
    return false;
  }

  bool step(sqlite3_stmt* st) {
    const bool ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok && !failed) {
      notice("cannot write table " + file.string() + ": " + sqlite3_errmsg(db) + "; it stays as it was");
      failed = true;
    }
    sqlite3_reset(st);
    return ok;
  }

  // Moves the numbers of the records from `from` on by delta.
  bool shift(long long from, long long delta) {
    sqlite3_bind_int64(shiftOut, 1, from);
    sqlite3_bind_int64(shiftOut, 2, delta);
    return step(shiftOut) && step(shiftBack);
  }

  void bindRecord(sqlite3_stmt* st, int first, const std::vector<std::string>& v,
                  const std::vector<unsigned char>& has, const std::vector<double>& num,
                  const std::vector<unsigned char>& isNum) {
    for (size_t i = 0; i < meta.fields.size(); ++i) {
      const int col = first + static_cast<int>(i);
      if (has[i] && isNum[i] && meta.fields[i].type == FieldType::Float)
        sqlite3_bind_double(st, col, num[i]);
      else
        suite::bindCell(st, col, meta.fields[i].type, has[i] ? &v[i] : nullptr);
    }
  }
  void bindRecord(sqlite3_stmt* st, int first) { bindRecord(st, first, values, present, numbers, numbered); }

  // Rows of one multi-row insert: as many as fit the statement's parameter
  // limit, at most 64; 1 means every record is stored on its own.
  size_t batchRows() {
    if (rowsPerInsert == 0) {
      const size_t perRow = meta.fields.size() + 1;
      const size_t limit = static_cast<size_t>(std::max(1, sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, -1)));
      rowsPerInsert = std::clamp<size_t>(limit / perRow, 1, 64);
      if (rowsPerInsert > 1) {
        std::string one = "(?";
        for (size_t i = 0; i < meta.fields.size(); ++i) one += ", ?";
        one += ")";
        std::string sql = "INSERT INTO records VALUES" + one;
        for (size_t r = 1; r < rowsPerInsert; ++r) sql += ", " + one;
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &insertMany, nullptr) != SQLITE_OK) {
          sqlite3_finalize(insertMany);
          insertMany = nullptr;
          rowsPerInsert = 1;
        }
      }
    }
    return rowsPerInsert;
  }

  // Takes the record being inserted at the end into the waiting records.
  void holdForStoring() {
    if (pendingCount == pending.size()) pending.emplace_back();
    PendingRecord& p = pending[pendingCount++];
    p.values.swap(values);
    p.present.swap(present);
    p.numbers.swap(numbers);
    p.numbered.swap(numbered);
    if (pendingCount == 1) pendingFrom = count + 1;
    ++count;
  }

  // Stores the waiting records; false when they cannot be written (the
  // table then stays as it was at Close, as after any failed write).
  bool storePending() {
    if (pendingCount == 0) return true;
    release();
    const size_t batch = batchRows();
    const int perRow = static_cast<int>(meta.fields.size()) + 1;
    bool ok = true;
    for (size_t done = 0; ok && done < pendingCount;) {
      const size_t rows = batch > 1 && pendingCount - done >= batch ? batch : 1;
      sqlite3_stmt* st = rows > 1 ? insertMany : insert;
      for (size_t r = 0; r < rows; ++r) {
        const PendingRecord& p = pending[done + r];
        const int first = static_cast<int>(r) * perRow + 1;
        sqlite3_bind_int64(st, first, pendingFrom + static_cast<long long>(done + r));
        bindRecord(st, first + 1, p.values, p.present, p.numbers, p.numbered);
      }
      ok = step(st);
      done += rows;
    }
    pendingCount = 0;
    return ok;
  }

  void post() {
    if (state == State::Browse) return;
    release();
    if (writable()) {
      const int n = static_cast<int>(meta.fields.size());
      if (state == State::Insert && insertAt + 1 > count) {
        // At the end: stored with the next ones.
        holdForStoring();
        cur = insertAt;
        if (pendingCount >= batchRows()) storePending();
      } else if (!storePending()) {
        // The waiting records could not be stored: the table is failed.
      } else if (state == State::Edit) {
        bindRecord(update, 1);
        sqlite3_bind_int64(update, n + 1, cur + 1);
        step(update);
      } else {
        const long long ord = insertAt + 1;
        if (ord > count || shift(ord, 1)) {
          sqlite3_bind_int64(insert, 1, ord);
          bindRecord(insert, 2);
          if (step(insert)) {
            ++count;
            cur = insertAt;
          }
        }
      }
      dirty = true;
    }
    state = State::Browse;
    modified = false;
    eof = count == 0;
    bof = count == 0;
  }

  void cancel() {
    state = State::Browse;
    modified = false;
  }

  // Leaving the record being changed by any other call: kept when written to.
  void settle() {
    if (state == State::Browse) return;
    if (modified) post();
    else cancel();
  }

  void first() {
    settle();
    cur = 0;
    eof = bof = count == 0;
  }
  void last() {
    settle();
    cur = std::max(0LL, count - 1);
    eof = bof = count == 0;
  }
  int moveBy(int n) {
    settle();
    if (count == 0) {
      eof = bof = true;
      return 0;
    }
    if (n == 0) return 0;
    const long long target = cur + n;
    long long moved;
    if (target >= count) {  // past the last record: stay on it, at the end
      moved = count - 1 - cur;
      cur = count - 1;
      eof = true;
      bof = false;
    } else if (target < 0) {  // before the first: stay on it, at the beginning
      moved = -cur;
      cur = 0;
      bof = true;
      eof = false;
    } else {
      moved = n;
      cur = target;
      eof = bof = false;
    }
    return static_cast<int>(moved);
  }

  void beginChange(State s) {
    settle();
    state = s;
    modified = false;
    const size_t n = meta.fields.size();
    values.resize(n);
    present.assign(n, 0);
    numbers.resize(n);
    numbered.assign(n, 0);
    if (s != State::Edit || !seek()) return;
    for (size_t i = 0; i < n; ++i)
      present[i] = suite::columnInto(scan, static_cast<int>(i) + 1, meta, static_cast<int>(i), values[i]) ? 1 : 0;
  }

  // Number of the first record whose field reads as the text, 0 when none.
  long long find(int f, const std::string& want) {
    storePending();
    const FieldType type = meta.fields[f].type;
    if (type == FieldType::String || type == FieldType::Memo) {
      // Text is stored as written: SQLite compares it byte for byte.
      std::string sql = "SELECT _ord FROM records WHERE " + suite::quoteIdent(meta.fields[f].name) +
                        (want.empty() ? " IS NULL OR " + suite::quoteIdent(meta.fields[f].name) + " = ''" : " = ?1") +
                        " ORDER BY _ord LIMIT 1";
      sqlite3_stmt* st = nullptr;
      long long ord = 0;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, want.data(), static_cast<int>(want.size()), SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW) ord = sqlite3_column_int64(st, 0);
      }
      sqlite3_finalize(st);
      return ord;
    }
    for (cur = 0; cur < count; ++cur)
      if (text(f) == want) return cur + 1;
    return 0;
  }
};

// The open handles. The lock guards the map only: each cursor has its own,
// so that threads working on different tables do not wait for each other.
std::mutex g_mutex;
std::map<int, std::shared_ptr<Cursor>> g_cursors;
int g_nextHandle = 1;

// The handle a thread used last, so that a run of calls on one handle skips
// the map. In the thread's static block (the library is loaded at run time):
// one lookup per call must not go through the dynamic thread storage.
struct LastCursor {
  int handle = 0;
  std::shared_ptr<Cursor> cursor;
};
thread_local LastCursor t_last __attribute__((tls_model("initial-exec")));

// The cursor of a handle, locked for one call; null when the handle is not
// open.
class Use {
 public:
  explicit Use(int h) {
    if (h != t_last.handle || !t_last.cursor) {
      std::lock_guard lock(g_mutex);
      auto it = g_cursors.find(h);
      t_last.handle = h;
      t_last.cursor = it == g_cursors.end() ? nullptr : it->second;
    }
    if (!t_last.cursor) return;
    lock_ = std::unique_lock(t_last.cursor->mutex);
    if (!t_last.cursor->closed) c_ = t_last.cursor.get();
  }
  Cursor* get() const { return c_; }

 private:
  std::unique_lock<std::mutex> lock_;
  Cursor* c_ = nullptr;
};

// A table file in the library's own layout with record numbers 1..N is read
// in place; any other (made by hand, numbers with gaps) is first copied in
// that layout into a private temporary table.
bool openCursor(Cursor& c, sqlite3* file, const suite::TableLayout& layout, std::string& error) {
  c.meta.fields = layout.fields;
  c.meta.rebuildIndex();
  bool inPlace = layout.standard();
  if (inPlace) {
    sqlite3_stmt* st = nullptr;
    inPlace = sqlite3_prepare_v2(file, "SELECT count(*), ifnull(min(_ord), 1), ifnull(max(_ord), 0) FROM records", -1,
                                 &st, nullptr) == SQLITE_OK &&
              sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int64(st, 1) == 1 &&
              sqlite3_column_int64(st, 0) == sqlite3_column_int64(st, 2);
    if (inPlace) c.count = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  if (inPlace) {
    c.db = file;
    return c.prepare(error);
  }
  sqlite3* tmp = nullptr;
  std::string sql = "INSERT INTO main.records SELECT row_number() OVER (ORDER BY " +
                    std::string(layout.hasOrd ? "_ord" : "rowid") + ")" +
                    (layout.fields.empty() ? "" : ", " + suite::selectColumns(layout.fields)) + " FROM src.records";
  sqlite3_stmt* attach = nullptr;
  bool ok = sqlite3_open_v2("", &tmp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
            suite::createLayout(tmp, layout.fields, error) &&
            sqlite3_prepare_v2(tmp, "ATTACH DATABASE ?1 AS src", -1, &attach, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_bind_text(attach, 1, c.file.c_str(), -1, SQLITE_STATIC);
    ok = sqlite3_step(attach) == SQLITE_DONE && exec(tmp, sql.c_str(), error);
    c.count = sqlite3_changes64(tmp);
    std::string ignored;
    exec(tmp, "DETACH DATABASE src", ignored);
  }
  sqlite3_finalize(attach);
  sqlite3_close(file);
  if (ok) {
    c.db = tmp;
    return c.prepare(error);
  }
  if (error.empty()) error = tmp ? sqlite3_errmsg(tmp) : "cannot make a temporary table";
  sqlite3_close(tmp);
  return false;
}

void readString(int h, const wchar_t* field, wchar_t* out, long capacity) {
  Use use(h);
  Cursor* c = use.get();
  if (!out || capacity < 1) return;
  out[0] = L'\0';
  if (!c) return;
  int f = c->field(field);
  if (f < 0 || !c->hasRecord()) return;
  const suite::Field& fd = c->meta.fields[f];
  long long cap = std::min<long long>(capacity, c->readLimit);
  if (fd.type == FieldType::String) cap = std::min<long long>(cap, fd.size + 1LL);
  suite::copyOutUtf8(c->text(f), out, static_cast<size_t>(cap));
}

// Writes into the record being changed; false when none is or no such field.
// convert(value buffer) fills the field's value and answers whether it has one.
// A number the conversion read goes into number (NaN: none).
template <class Convert>
bool writeCell(Cursor* c, int f, Convert convert) {
  if (!c || c->state == Cursor::State::Browse || f < 0) return false;
  double number = std::numeric_limits<double>::quiet_NaN();
  c->present[f] = convert(c->values[f], number) ? 1 : 0;
  c->numbers[f] = number;
  c->numbered[f] = number == number ? 1 : 0;
  c->modified = true;
  return true;
}

}  // namespace

KIV_EXPORT int DbDll_OpenDb_W(const wchar_t* path) {
  auto c = std::make_unique<Cursor>();
  std::wstring p(suite::wview(path));
  c->file = os::nativePath(p);
  std::string err;
  sqlite3* file = nullptr;
  suite::TableLayout layout;
  bool missing = p.empty();
  if (p.empty()) err = "no path";
  bool ok = !p.empty() && suite::openTableFile(c->file, &file, layout, err, missing) && openCursor(*c, file, layout, err);
  if (ok) {
    struct stat opened {};
    if (::stat(c->file.c_str(), &opened) == 0) {
      c->openedDevice = opened.st_dev;
      c->openedInode = opened.st_ino;
    }
  }
  if (!ok) {
    // An empty table with no fields in a private temporary database.
    c->finalize();
    if (c->db) sqlite3_close(c->db);
    c->db = nullptr;
    layout = suite::TableLayout();
    c->count = 0;
    c->missing = true;
    c->meta = suite::Table();
    std::string ignored;
    if (sqlite3_open_v2("", &c->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK ||
        !suite::createLayout(c->db, {}, ignored) || !c->prepare(ignored))
      notice("cannot make an empty table: " + ignored);
    notice((missing ? "table " + suite::narrow(p) + " does not exist"
                    : "table " + suite::narrow(p) + " cannot be read (" + err + ")") +
           "; it reads as an empty table and is not written");
  }
  for (size_t i = 0; i < c->meta.fields.size(); ++i) {
    c->wideNames.push_back(suite::widen(c->meta.fields[i].name));
    c->names.emplace(c->wideNames.back(), static_cast<int>(i));
  }
  c->eof = c->bof = c->count == 0;
  std::lock_guard lock(g_mutex);
  int h = g_nextHandle++;
  if (g_nextHandle <= 0) g_nextHandle = 1;
  g_cursors[h] = std::move(c);
  return h;
}

KIV_EXPORT unsigned char DbDll_Close(int h) {
  std::shared_ptr<Cursor> c;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_cursors.find(h);
    if (it == g_cursors.end()) return 0;
    c = std::move(it->second);
    g_cursors.erase(it);
  }
  if (t_last.handle == h) t_last = LastCursor();
  // A call on the handle under way on another thread ends first; later ones
  // find it closed.
  std::lock_guard lock(c->mutex);
  c->closed = true;
  c->settle();
  if (!c->dirty || c->missing) {
    c->drop();
    return 1;
  }
  if (!c->storePending() || c->failed) {
    c->drop();
    return 0;
  }
  c->finalize();
  std::string err;
  bool ok = exec(c->db, "COMMIT", err);
  if (sqlite3_close(c->db) != SQLITE_OK && ok) {
    ok = false;
    err = "cannot close the work file";
  }
  c->db = nullptr;
  if (ok && suite::commitReplacement(c->work, c->file, err)) {
    c->work.clear();
    return 1;
  }
  notice("cannot write table " + c->file.string() + ": " + err + "; it stays as it was");
  c->drop();
  return 0;
}

KIV_EXPORT void DbDll_First(int h) {
  Use use(h);
  if (Cursor* c = use.get()) c->first();
}
KIV_EXPORT void DbDll_Last(int h) {
  Use use(h);
  if (Cursor* c = use.get()) c->last();
}
KIV_EXPORT void DbDll_Next(int h) {
  Use use(h);
  if (Cursor* c = use.get()) c->moveBy(1);
}
KIV_EXPORT void DbDll_Prior(int h) {
  Use use(h);
  if (Cursor* c = use.get()) c->moveBy(-1);
}
KIV_EXPORT int DbDll_MoveBy(int h, int distance) {
  Use use(h);
  Cursor* c = use.get();
  return c ? c->moveBy(distance) : 0;
}
KIV_EXPORT unsigned char DbDll_Eof(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 1;
  if (c->state != Cursor::State::Browse) return 0;
  return c->eof || c->count == 0 ? 1 : 0;
}
KIV_EXPORT unsigned char DbDll_Bof(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 1;
  if (c->state != Cursor::State::Browse) return 0;
  return c->bof || c->count == 0 ? 1 : 0;
}
KIV_EXPORT int DbDll_RecNo(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  if (c->state == Cursor::State::Insert) return static_cast<int>(c->insertAt + 1);
  return c->count == 0 ? 0 : static_cast<int>(c->cur + 1);
}
KIV_EXPORT int DbDll_RecordCount(int h) {
  Use use(h);
  Cursor* c = use.get();
  return c ? static_cast<int>(c->count) : 0;
}

KIV_EXPORT unsigned char DbDll_Locate_W(int h, const wchar_t* field, const wchar_t* value) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  c->settle();
  int f = c->field(field);
  long long found = f >= 0 ? c->find(f, suite::narrow(suite::wview(value))) : 0;
  if (found > 0) {
    c->cur = found - 1;
    c->eof = c->bof = false;
    return 1;
  }
  // Not found: as after a search that walked past the end.
  c->cur = std::max(0LL, c->count - 1);
  c->eof = true;
  return 0;
}

KIV_EXPORT unsigned char DbDll_FindFirst(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  c->first();
  return c->count == 0 ? 0 : 1;
}
KIV_EXPORT unsigned char DbDll_FindNext(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  c->moveBy(1);
  return c->eof || c->count == 0 ? 0 : 1;
}

KIV_EXPORT int DbDll_FieldCount(int h) {
  Use use(h);
  Cursor* c = use.get();
  return c ? static_cast<int>(c->meta.fields.size()) : 0;
}
KIV_EXPORT void DbDll_GetFieldName_W(int h, int index, wchar_t* out) {
  Use use(h);
  if (!out) return;
  out[0] = L'\0';
  Cursor* c = use.get();
  if (!c || index < 0 || index >= static_cast<int>(c->meta.fields.size())) return;
  suite::copyOutUtf8(c->meta.fields[index].name, out, 260);
}
KIV_EXPORT unsigned char DbDll_FindField_W(int h, const wchar_t* name) {
  Use use(h);
  Cursor* c = use.get();
  return c && c->field(name) >= 0 ? 1 : 0;
}

KIV_EXPORT void DbDll_FieldByName_AsString_W(int h, const wchar_t* field, wchar_t* out) {
  readString(h, field, out, kMaxRead);
}
KIV_EXPORT void DbDll_FieldByName_AsStringN_W(int h, const wchar_t* field, wchar_t* out, int capacity) {
  readString(h, field, out, capacity);
}
KIV_EXPORT void DbDll_SetReadLimit(int h, int capacity) {
  Use use(h);
  if (Cursor* c = use.get()) c->readLimit = std::clamp(capacity, 1, kMaxRead);
}
KIV_EXPORT void DbDll_FieldByName_AsFloat_W(int h, const wchar_t* field, double* out) {
  Use use(h);
  if (!out) return;
  *out = 0;
  Cursor* c = use.get();
  if (!c) return;
  int f = c->field(field);
  if (f < 0 || !c->hasRecord()) return;
  *out = c->number(f);
}
KIV_EXPORT void DbDll_FieldByName_AsInteger_W(int h, const wchar_t* field, int* out) {
  double v = 0;
  DbDll_FieldByName_AsFloat_W(h, field, &v);
  if (!out) return;
  if (v > 2147483647.0 || v < -2147483648.0) v = 0;
  *out = static_cast<int>(v);
}

KIV_EXPORT unsigned char DbDll_FieldByName_SaveToFile_W(int h, const wchar_t* field, const wchar_t* path) {
  std::string bytes;
  {
    Use use(h);
    Cursor* c = use.get();
    if (!c) return 0;
    int f = c->field(field);
    if (f < 0 || !c->hasRecord()) return 0;
    bytes = c->bytes(f);
  }
  return os::writeFile(suite::wview(path), bytes) ? 1 : 0;
}
KIV_EXPORT unsigned char DbDll_FieldByName_LoadFromFile_W(int h, const wchar_t* field, const wchar_t* path) {
  auto bytes = os::readFile(suite::wview(path));
  if (!bytes) return 0;
  Use use(h);
  Cursor* c = use.get();
  return c && writeCell(c, c->field(field), [&](std::string& v, double&) {
           v = std::move(*bytes);
           return true;
         })
             ? 1
             : 0;
}

KIV_EXPORT unsigned char DbDll_WriteByName_AsString_W(int h, const wchar_t* field, const wchar_t* text) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  int f = c->field(field);
  if (f < 0) return 0;
  const FieldType type = c->meta.fields[f].type;
  if (type == FieldType::Float || type == FieldType::Integer) {
    suite::narrowInto(suite::wview(text), c->utf8);
    return writeCell(c, f, [&](std::string& v, double& n) { return c->meta.convertTextInto(f, c->utf8, v, &n); }) ? 1 : 0;
  }
  // A text goes straight into the record's value: a computation text of many
  // megabytes is not copied on the way.
  return writeCell(c, f, [&](std::string& v, double&) {
           suite::narrowInto(suite::wview(text), v);
           c->meta.fitText(f, v);
           return true;
         })
             ? 1
             : 0;
}
KIV_EXPORT unsigned char DbDll_WriteByName_AsFloat_W(int h, const wchar_t* field, double value) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  int f = c->field(field);
  if (f < 0) return 0;
  return writeCell(c, f, [&](std::string& v, double& n) {
           n = value;
           return c->meta.convertNumberInto(f, value, v);
         })
             ? 1
             : 0;
}
KIV_EXPORT unsigned char DbDll_WriteByName_AsInteger_W(int h, const wchar_t* field, int value) {
  return DbDll_WriteByName_AsFloat_W(h, field, static_cast<double>(value));
}

KIV_EXPORT unsigned char DbDll_Edit(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  if (c->state == Cursor::State::Edit) return 1;  // already editing the current record
  c->settle();
  if (c->count == 0) return 0;
  c->beginChange(Cursor::State::Edit);
  return 1;
}
KIV_EXPORT unsigned char DbDll_Append(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  c->beginChange(Cursor::State::Insert);
  c->insertAt = c->count;
  return 1;
}
KIV_EXPORT unsigned char DbDll_Insert(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  c->beginChange(Cursor::State::Insert);
  c->insertAt = c->count == 0 ? 0 : c->cur;
  return 1;
}
KIV_EXPORT unsigned char DbDll_Post(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c || c->state == Cursor::State::Browse) return 0;
  c->post();
  return c->failed ? 0 : 1;
}
KIV_EXPORT unsigned char DbDll_Cancel(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c || c->state == Cursor::State::Browse) return 0;
  c->cancel();
  return 1;
}
KIV_EXPORT unsigned char DbDll_Delete(int h) {
  Use use(h);
  Cursor* c = use.get();
  if (!c) return 0;
  if (c->state != Cursor::State::Browse) {
    // Deleting a record not yet stored drops it.
    bool wasInsert = c->state == Cursor::State::Insert;
    c->cancel();
    if (wasInsert) return 1;
  }
  if (c->count == 0) return 0;
  c->release();
  if (!c->writable()) return 0;
  if (!c->storePending()) return 0;
  sqlite3_bind_int64(c->remove, 1, c->cur + 1);
  if (!c->step(c->remove) || (c->cur + 2 <= c->count && !c->shift(c->cur + 2, -1))) return 0;
  --c->count;
  c->dirty = true;
  if (c->cur >= c->count) c->cur = std::max(0LL, c->count - 1);
  c->eof = c->bof = c->count == 0;
  return 1;
}
