#include "module/toolkit/table_lib.h"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "module/toolkit/suite_call.h"
#include "platform/suite/suite_abi.h"

namespace tablelib {

namespace {

template <class Sig, class R, class... A>
R callOr(const char* name, R neutral, A&&... args) {
  return SuiteCall<Sig>::call(SuiteModule::Table, name, neutral, std::forward<A>(args)...);
}

template <class Sig, class... A>
void callVoid(const char* name, A&&... args) {
  SuiteCall<Sig>::call(SuiteModule::Table, name, std::forward<A>(args)...);
}

// The path of each open handle, so that a table whose changes could not be
// written can be named; and the tables that could not be written.
struct OpenTables {
  std::mutex mutex;
  std::unordered_map<Handle, std::wstring> paths;
  std::vector<std::wstring> failed;
};
OpenTables& openTables() {
  static OpenTables* t = new OpenTables;
  return *t;
}

}  // namespace

Handle OpenDb(const std::wstring& path) {
  const Handle h = callOr<decltype(DbDll_OpenDb_W)>("DbDll_OpenDb_W", 0, path.c_str());
  if (h > 0) {
    OpenTables& t = openTables();
    std::lock_guard lock(t.mutex);
    t.paths[h] = path;
  }
  return h;
}

bool Close(Handle h) {
  if (h <= 0) return true;
  const bool ok = callOr<decltype(DbDll_Close)>("DbDll_Close", static_cast<unsigned char>(0), h) != 0;
  OpenTables& t = openTables();
  std::lock_guard lock(t.mutex);
  auto it = t.paths.find(h);
  if (it == t.paths.end()) return ok;
  if (!ok) t.failed.push_back(it->second);
  t.paths.erase(it);
  return ok;
}

size_t WriteFailureCount() {
  OpenTables& t = openTables();
  std::lock_guard lock(t.mutex);
  return t.failed.size();
}

std::wstring WriteFailureAt(size_t i) {
  OpenTables& t = openTables();
  std::lock_guard lock(t.mutex);
  return i < t.failed.size() ? t.failed[i] : std::wstring();
}

void First(Handle h) { callVoid<decltype(DbDll_First)>("DbDll_First", h); }
void Next(Handle h) { callVoid<decltype(DbDll_Next)>("DbDll_Next", h); }
void Last(Handle h) { callVoid<decltype(DbDll_Last)>("DbDll_Last", h); }

bool Eof(Handle h) {
  return callOr<decltype(DbDll_Eof)>("DbDll_Eof", static_cast<unsigned char>(1), h) != 0;
}

int RecordCount(Handle h) { return callOr<decltype(DbDll_RecordCount)>("DbDll_RecordCount", 0, h); }

bool Locate(Handle h, const std::wstring& field, const std::wstring& value) {
  return callOr<decltype(DbDll_Locate_W)>("DbDll_Locate_W", static_cast<unsigned char>(0), h,
                                          field.c_str(), value.c_str()) != 0;
}

int FieldCount(Handle h) { return callOr<decltype(DbDll_FieldCount)>("DbDll_FieldCount", 0, h); }

std::wstring GetFieldName(Handle h, int index) {
  std::vector<wchar_t> buf(kNameChars + 1, L'\0');
  callVoid<decltype(DbDll_GetFieldName_W)>("DbDll_GetFieldName_W", h, index, buf.data());
  buf.back() = L'\0';
  return buf.data();
}

bool FindField(Handle h, const std::wstring& field) {
  return callOr<decltype(DbDll_FindField_W)>("DbDll_FindField_W", static_cast<unsigned char>(0),
                                             h, field.c_str()) != 0;
}

void ReadFieldInto(Handle h, const wchar_t* field, std::wstring& out, int maxChars) {
  maxChars = std::clamp(maxChars, 1, kMaxFieldChars);
  // One buffer, kept from call to call (a run reads hundreds of thousands of
  // fields) and grown only when a text filled it; the library copies only
  // the text, whatever the room.
  thread_local std::vector<wchar_t> buf(4096);
  int cap = std::min(maxChars, static_cast<int>(buf.size()));
  for (;;) {
    if (buf.size() < static_cast<size_t>(cap)) buf.resize(static_cast<size_t>(cap));
    buf[0] = L'\0';
    if (!SuiteCall<decltype(DbDll_FieldByName_AsStringN_W)>::call(
            SuiteModule::Table, "DbDll_FieldByName_AsStringN_W", h, field, buf.data(), cap)) {
      out.clear();
      return;
    }
    buf[static_cast<size_t>(cap) - 1] = L'\0';
    const size_t n = std::wcslen(buf.data());
    if (n < static_cast<size_t>(cap) - 1 || cap == maxChars) {
      out.assign(buf.data(), n);
      return;
    }
    cap = maxChars;
  }
}

std::wstring FieldAsString(Handle h, const std::wstring& field, int maxChars) {
  std::wstring out;
  ReadFieldInto(h, field.c_str(), out, maxChars);
  return out;
}

void WriteAsString(Handle h, const wchar_t* field, const wchar_t* text) {
  callOr<decltype(DbDll_WriteByName_AsString_W)>("DbDll_WriteByName_AsString_W",
                                                 static_cast<unsigned char>(0), h, field, text);
}

void WriteAsString(Handle h, const std::wstring& field, const std::wstring& text) {
  WriteAsString(h, field.c_str(), text.c_str());
}

void Edit(Handle h) { callOr<decltype(DbDll_Edit)>("DbDll_Edit", static_cast<unsigned char>(0), h); }
void Append(Handle h) {
  callOr<decltype(DbDll_Append)>("DbDll_Append", static_cast<unsigned char>(0), h);
}
void Insert(Handle h) {
  callOr<decltype(DbDll_Insert)>("DbDll_Insert", static_cast<unsigned char>(0), h);
}
void Post(Handle h) { callOr<decltype(DbDll_Post)>("DbDll_Post", static_cast<unsigned char>(0), h); }
bool Delete(Handle h) {
  return callOr<decltype(DbDll_Delete)>("DbDll_Delete", static_cast<unsigned char>(0), h) != 0;
}

void LoadFromFile(Handle h, const std::wstring& field, const std::wstring& path) {
  callOr<decltype(DbDll_FieldByName_LoadFromFile_W)>("DbDll_FieldByName_LoadFromFile_W",
                                                     static_cast<unsigned char>(0), h,
                                                     field.c_str(), path.c_str());
}

}  // namespace tablelib
