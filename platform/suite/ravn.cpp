// Ravn.dll: the table library. Each handle is a cursor over a table read
// whole into memory at open; changes are written back at close in one
// transaction. Rules in README.md.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>

#include "platform/os/os.h"
#include "platform/suite/core/table.h"
#include "platform/suite/core/text.h"
#include "platform/suite/suite_abi.h"

#define KIV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using suite::Cell;
using suite::FieldType;
using suite::Record;

constexpr int kMaxRead = 1024000;  // the largest buffer any caller passes

struct Cursor {
  suite::Table table;
  std::filesystem::path file;
  bool missing = false;
  bool dirty = false;
  int cur = 0;  // index of the current record (valid when records not empty)
  bool eof = true;
  bool bof = true;
  enum class State { Browse, Edit, Insert } state = State::Browse;
  Record buffer;
  int insertAt = 0;
  bool modified = false;
  int readLimit = kMaxRead;
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::wstring_view s) const { return std::hash<std::wstring_view>()(s); }
  };
  std::unordered_map<std::wstring, int, NameHash, std::equal_to<>> names;

  int count() const { return static_cast<int>(table.records.size()); }

  int field(const wchar_t* name) const {
    if (!name) return -1;
    auto it = names.find(std::wstring_view(name));
    return it == names.end() ? -1 : it->second;
  }

  // The record reads see: the one being changed, else the current one.
  const Record* current() const {
    if (state != State::Browse) return &buffer;
    if (table.records.empty()) return nullptr;
    return &table.records[cur];
  }

  void post() {
    if (state == State::Edit) {
      table.records[cur] = std::move(buffer);
      dirty = true;
    } else if (state == State::Insert) {
      table.records.insert(table.records.begin() + insertAt, std::move(buffer));
      cur = insertAt;
      dirty = true;
    }
    state = State::Browse;
    buffer.clear();
    modified = false;
    eof = false;
    bof = false;
  }

  void cancel() {
    state = State::Browse;
    buffer.clear();
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
    eof = bof = table.records.empty();
  }
  void last() {
    settle();
    cur = std::max(0, count() - 1);
    eof = table.records.empty();
    bof = table.records.empty();
  }
  int moveBy(int n) {
    settle();
    if (table.records.empty()) {
      eof = bof = true;
      return 0;
    }
    if (n == 0) return 0;
    long target = static_cast<long>(cur) + n;
    int moved;
    if (target >= count()) {  // past the last record: stay on it, at the end
      moved = count() - 1 - cur;
      cur = count() - 1;
      eof = true;
      bof = false;
    } else if (target < 0) {  // before the first: stay on it, at the beginning
      moved = -cur;
      cur = 0;
      bof = true;
      eof = false;
    } else {
      moved = n;
      cur = static_cast<int>(target);
      eof = bof = false;
    }
    return moved;
  }

  void beginChange(State s) {
    settle();
    state = s;
    modified = false;
    if (s == State::Edit) {
      buffer = table.records[cur];
    } else {
      buffer.assign(table.fields.size(), Cell());
    }
  }
};

std::mutex g_mutex;
std::map<int, std::unique_ptr<Cursor>> g_cursors;
int g_nextHandle = 1;

Cursor* get(int h) {
  auto it = g_cursors.find(h);
  return it == g_cursors.end() ? nullptr : it->second.get();
}

void notice(const std::string& text) { std::fprintf(stderr, "Ravn.dll: %s\n", text.c_str()); }

// Writes into the record being changed; false when none is or no such field.
bool writeCell(Cursor* c, const wchar_t* field, Cell value) {
  if (!c || c->state == Cursor::State::Browse) return false;
  int f = c->field(field);
  if (f < 0) return false;
  c->buffer[f] = std::move(value);
  c->modified = true;
  return true;
}

size_t readLimitOf(const Cursor* c, int f) {
  const suite::Field& fd = c->table.fields[f];
  if (fd.type == FieldType::String) return static_cast<size_t>(std::min(fd.size + 1, c->readLimit));
  return static_cast<size_t>(c->readLimit);
}

void readString(int h, const wchar_t* field, wchar_t* out, long capacity) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!out || capacity < 1) return;
  out[0] = L'\0';
  if (!c) return;
  int f = c->field(field);
  const Record* r = c->current();
  if (f < 0 || !r) return;
  size_t cap = std::min(static_cast<size_t>(capacity), readLimitOf(c, f));
  suite::copyOutUtf8(c->table.cellText(f, (*r)[f]), out, cap);
}

}  // namespace

KIV_EXPORT int DbDll_OpenDb_W(const wchar_t* path) {
  auto c = std::make_unique<Cursor>();
  std::wstring p(suite::wview(path));
  c->file = os::nativePath(p);
  std::string err;
  if (p.empty() || !suite::loadTable(c->file, c->table, err)) {
    c->table = suite::Table();
    c->missing = true;
    notice("cannot open table " + suite::narrow(p) + " (" + (p.empty() ? "no path" : err) +
           "); it is empty and will not be written");
  }
  for (size_t i = 0; i < c->table.fields.size(); ++i)
    c->names.emplace(suite::widen(c->table.fields[i].name), static_cast<int>(i));
  c->eof = c->bof = c->table.records.empty();
  std::lock_guard lock(g_mutex);
  int h = g_nextHandle++;
  if (g_nextHandle <= 0) g_nextHandle = 1;
  g_cursors[h] = std::move(c);
  return h;
}

KIV_EXPORT unsigned char DbDll_Close(int h) {
  std::unique_ptr<Cursor> c;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_cursors.find(h);
    if (it == g_cursors.end()) return 0;
    c = std::move(it->second);
    g_cursors.erase(it);
  }
  c->settle();
  if (!c->dirty || c->missing) return 1;
  std::string err;
  if (!suite::saveTable(c->file, c->table, err)) {
    notice("cannot write table " + c->file.string() + ": " + err);
    return 0;
  }
  return 1;
}

KIV_EXPORT void DbDll_First(int h) {
  std::lock_guard lock(g_mutex);
  if (Cursor* c = get(h)) c->first();
}
KIV_EXPORT void DbDll_Last(int h) {
  std::lock_guard lock(g_mutex);
  if (Cursor* c = get(h)) c->last();
}
KIV_EXPORT void DbDll_Next(int h) {
  std::lock_guard lock(g_mutex);
  if (Cursor* c = get(h)) c->moveBy(1);
}
KIV_EXPORT void DbDll_Prior(int h) {
  std::lock_guard lock(g_mutex);
  if (Cursor* c = get(h)) c->moveBy(-1);
}
KIV_EXPORT int DbDll_MoveBy(int h, int distance) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  return c ? c->moveBy(distance) : 0;
}
KIV_EXPORT unsigned char DbDll_Eof(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 1;
  if (c->state != Cursor::State::Browse) return 0;
  return c->eof || c->table.records.empty() ? 1 : 0;
}
KIV_EXPORT unsigned char DbDll_Bof(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 1;
  if (c->state != Cursor::State::Browse) return 0;
  return c->bof || c->table.records.empty() ? 1 : 0;
}
KIV_EXPORT int DbDll_RecNo(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  if (c->state == Cursor::State::Insert) return c->insertAt + 1;
  return c->table.records.empty() ? 0 : c->cur + 1;
}
KIV_EXPORT int DbDll_RecordCount(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  return c ? c->count() : 0;
}

KIV_EXPORT unsigned char DbDll_Locate_W(int h, const wchar_t* field, const wchar_t* value) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  c->settle();
  int f = c->field(field);
  std::string want = suite::narrow(suite::wview(value));
  if (f >= 0) {
    for (int i = 0; i < c->count(); ++i) {
      if (c->table.cellText(f, c->table.records[i][f]) == want) {
        c->cur = i;
        c->eof = c->bof = false;
        return 1;
      }
    }
  }
  // Not found: as after a search that walked past the end.
  c->cur = std::max(0, c->count() - 1);
  c->eof = true;
  return 0;
}

KIV_EXPORT unsigned char DbDll_FindFirst(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  c->first();
  return c->table.records.empty() ? 0 : 1;
}
KIV_EXPORT unsigned char DbDll_FindNext(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  c->moveBy(1);
  return c->eof || c->table.records.empty() ? 0 : 1;
}

KIV_EXPORT int DbDll_FieldCount(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  return c ? static_cast<int>(c->table.fields.size()) : 0;
}
KIV_EXPORT void DbDll_GetFieldName_W(int h, int index, wchar_t* out) {
  std::lock_guard lock(g_mutex);
  if (!out) return;
  out[0] = L'\0';
  Cursor* c = get(h);
  if (!c || index < 0 || index >= static_cast<int>(c->table.fields.size())) return;
  suite::copyOutUtf8(c->table.fields[index].name, out, 260);
}
KIV_EXPORT unsigned char DbDll_FindField_W(int h, const wchar_t* name) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  return c && c->field(name) >= 0 ? 1 : 0;
}

KIV_EXPORT void DbDll_FieldByName_AsString_W(int h, const wchar_t* field, wchar_t* out) {
  readString(h, field, out, kMaxRead);
}
KIV_EXPORT void DbDll_FieldByName_AsStringN_W(int h, const wchar_t* field, wchar_t* out, int capacity) {
  readString(h, field, out, capacity);
}
KIV_EXPORT void DbDll_SetReadLimit(int h, int capacity) {
  std::lock_guard lock(g_mutex);
  if (Cursor* c = get(h)) c->readLimit = std::clamp(capacity, 1, kMaxRead);
}
KIV_EXPORT void DbDll_FieldByName_AsFloat_W(int h, const wchar_t* field, double* out) {
  std::lock_guard lock(g_mutex);
  if (!out) return;
  *out = 0;
  Cursor* c = get(h);
  if (!c) return;
  int f = c->field(field);
  const Record* r = c->current();
  if (f < 0 || !r) return;
  *out = c->table.cellNumber(f, (*r)[f]);
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
    std::lock_guard lock(g_mutex);
    Cursor* c = get(h);
    if (!c) return 0;
    int f = c->field(field);
    const Record* r = c->current();
    if (f < 0 || !r) return 0;
    if ((*r)[f]) bytes = *(*r)[f];
  }
  return os::writeFile(suite::wview(path), bytes) ? 1 : 0;
}
KIV_EXPORT unsigned char DbDll_FieldByName_LoadFromFile_W(int h, const wchar_t* field, const wchar_t* path) {
  auto bytes = os::readFile(suite::wview(path));
  if (!bytes) return 0;
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  return writeCell(c, field, std::move(*bytes)) ? 1 : 0;
}

KIV_EXPORT unsigned char DbDll_WriteByName_AsString_W(int h, const wchar_t* field, const wchar_t* text) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  int f = c->field(field);
  if (f < 0) return 0;
  return writeCell(c, field, c->table.convertText(f, suite::narrow(suite::wview(text)))) ? 1 : 0;
}
KIV_EXPORT unsigned char DbDll_WriteByName_AsFloat_W(int h, const wchar_t* field, double value) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  int f = c->field(field);
  if (f < 0) return 0;
  return writeCell(c, field, c->table.convertNumber(f, value)) ? 1 : 0;
}
KIV_EXPORT unsigned char DbDll_WriteByName_AsInteger_W(int h, const wchar_t* field, int value) {
  return DbDll_WriteByName_AsFloat_W(h, field, static_cast<double>(value));
}

KIV_EXPORT unsigned char DbDll_Edit(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  if (c->state == Cursor::State::Edit) return 1;  // already editing the current record
  c->settle();
  if (c->table.records.empty()) return 0;
  c->beginChange(Cursor::State::Edit);
  return 1;
}
KIV_EXPORT unsigned char DbDll_Append(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  c->beginChange(Cursor::State::Insert);
  c->insertAt = c->count();
  return 1;
}
KIV_EXPORT unsigned char DbDll_Insert(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  c->beginChange(Cursor::State::Insert);
  c->insertAt = c->table.records.empty() ? 0 : c->cur;
  return 1;
}
KIV_EXPORT unsigned char DbDll_Post(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c || c->state == Cursor::State::Browse) return 0;
  c->post();
  return 1;
}
KIV_EXPORT unsigned char DbDll_Cancel(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c || c->state == Cursor::State::Browse) return 0;
  c->cancel();
  return 1;
}
KIV_EXPORT unsigned char DbDll_Delete(int h) {
  std::lock_guard lock(g_mutex);
  Cursor* c = get(h);
  if (!c) return 0;
  if (c->state != Cursor::State::Browse) {
    // Deleting a record not yet stored drops it.
    bool wasInsert = c->state == Cursor::State::Insert;
    c->cancel();
    if (wasInsert) return 1;
  }
  if (c->table.records.empty()) return 0;
  c->table.records.erase(c->table.records.begin() + c->cur);
  c->dirty = true;
  if (c->cur >= c->count()) c->cur = std::max(0, c->count() - 1);
  c->eof = c->bof = c->table.records.empty();
  return 1;
}
