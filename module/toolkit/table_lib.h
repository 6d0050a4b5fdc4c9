// The suite's table library (Ravn.dll): the project's tables as cursors over
// records with named fields. Each function looks its export up by name at the
// call. Without the library every call gives a neutral answer: no handle, an
// empty table at its end (so read loops end at once), empty texts, false.
//
// Calling order: OpenDb; First/Next/Last or Locate; read; for a change Edit,
// Append or Insert, then one write per field, then Post; Close. Loops read
// First, then while not Eof: read, Next.
#pragma once

#include <string>

namespace tablelib {

using Handle = int;  // > 0; 0 means none

// The largest text a field is read with unless the caller asks for less.
constexpr int kMaxFieldChars = 1024000;
// Field and table names.
constexpr int kNameChars = 260;

Handle OpenDb(const std::wstring& path);
// False when the library could not write the table's changes (the table
// then stays as it was before it was opened).
bool Close(Handle h);
// The tables whose changes could not be written at their close, in order:
// a caller marks the count before its work and asks what failed since.
size_t WriteFailureCount();
std::wstring WriteFailureAt(size_t i);
void First(Handle h);
void Next(Handle h);
void Last(Handle h);
// True when the table is empty or a move went past the last record.
bool Eof(Handle h);
int RecordCount(Handle h);
// Moves to the first record whose field equals the value; false when none.
bool Locate(Handle h, const std::wstring& field, const std::wstring& value);
int FieldCount(Handle h);
std::wstring GetFieldName(Handle h, int index);
bool FindField(Handle h, const std::wstring& field);
// The field of the current record as text, at most maxChars - 1 characters.
std::wstring FieldAsString(Handle h, const std::wstring& field, int maxChars = kMaxFieldChars);
// The same into out, whose room is reused (for loops over many records).
void ReadFieldInto(Handle h, const wchar_t* field, std::wstring& out, int maxChars = kMaxFieldChars);
// The field of the record being edited or added takes the text.
void WriteAsString(Handle h, const std::wstring& field, const std::wstring& text);
void WriteAsString(Handle h, const wchar_t* field, const wchar_t* text);
inline void WriteAsString(Handle h, const wchar_t* field, const std::wstring& text) {
  WriteAsString(h, field, text.c_str());
}
void Edit(Handle h);
void Append(Handle h);
void Insert(Handle h);
void Post(Handle h);
// Deletes the current record; the next one (or the new last) becomes current.
bool Delete(Handle h);
// The file's bytes become the field's content (a field that holds a drawing).
void LoadFromFile(Handle h, const std::wstring& field, const std::wstring& path);

// Opens a table and closes it when the scope ends.
class Table {
 public:
  explicit Table(const std::wstring& path) : h_(OpenDb(path)) {}
  // Takes over a handle already open (0: none).
  explicit Table(Handle h) : h_(h) {}
  ~Table() { Close(h_); }
  // Closes the table before the scope ends; false as Close.
  bool close() {
    const bool ok = Close(h_);
    h_ = 0;
    return ok;
  }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  Handle handle() const { return h_; }
  operator Handle() const { return h_; }

 private:
  Handle h_;
};

}  // namespace tablelib
