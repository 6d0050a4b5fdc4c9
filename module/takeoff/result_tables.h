// What the writers of the derived result tables share: the norm texts of the
// components (INI form, one section per norm or bill item), the run's floors,
// the project's table paths, and the rows of 001.DB kept in memory by the
// norm writer for the writers that follow it in the same run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/toolkit/strings.h"
#include "module/toolkit/table_lib.h"
#include "platform/os/os.h"

// The separator of the parts of a computation line.
inline constexpr wchar_t kCalcSep = L'\uE02F';

// A number written as text into a float field: enough digits to read back
// the same value.
std::wstring FloatFieldText(double v);

// The section names of a norm text, in text order.
void NormTextSections(const std::wstring& ini, StringArray& sections);
// The key=value lines of one section.
void NormTextSectionLines(const std::wstring& ini, const std::wstring& section, StringArray& lines);

// Floor i of the run's floor list: its name and identical-floor count (a
// count that is missing or below 1 counts 1, as the run counted it); false
// for an empty entry.
bool RunFloorAt(size_t i, std::wstring& floor, int& count);
// The floor's header text in the component quantity table: "■floor=count".
std::wstring FloorHeaderText(const std::wstring& floor, int count);

// A result table: in the run's work folder while a run builds its set (see
// result_set.h), else in the project folder.
std::wstring ProjectTablePath(const std::wstring& name);

// What keeps a run from putting its tables in place: a cancel at the
// progress window, or a failure (a table that cannot be read or written, a
// template that cannot be had), each said on the command line where it is met.
// BeginRunChecks forgets what an earlier run met.
void BeginRunChecks();
// Says the message and counts the run as failed (callable on any thread).
void NoteRunFailure(const std::wstring& message);
void NoteRunCancel();
bool RunCancelled();
bool RunFailed();
// Says each table the table library could not write since BeginRunChecks,
// each counting as a failure.
void CheckRunWrites();
// At the end of a run (after its set was put in place or not): says on the
// command line that the run was cancelled or could not finish and that the
// previous results were kept, and marks the command as failed.
void EndRun(const std::wstring& what);
// Opens an input table of a run; 0, with the failure said and counted, when
// the table is there but cannot be read (a missing table opens as an empty
// one, as before).
tablelib::Handle OpenRunInput(const std::wstring& path);
// Extracts the template members name.DB and name.MB (when the archive has
// it) from the template archive into folder; false, with no message, when
// name.DB could not be extracted.
bool UnzipTemplate(const std::wstring& name, const std::wstring& folder);
// The same into the result folder; false (with the failure said and
// counted) when the table could not be extracted.
bool ExtractTemplate(const std::wstring& name);
// That message.
std::wstring TemplateMissingText(const std::wstring& name);
// Copies the template "<base>\系统文件\<templ>.DB" (and its .MB when there is
// one) over the result table; false (with the failure said and counted) when
// it failed.
bool CopyTemplate(const std::wstring& templ, const std::wstring& target);
// One update of the take-off's progress window; false (and the run counted
// as cancelled) when the user cancelled.
bool TakeoffProgress(const std::wstring& message);
// The take-off's mode: in modes 2 and 3 only rows of this component name are
// taken (empty: every row).
std::wstring TakenComponentName();

// Lines held as one text joined with "\r\n" (as the table stores them),
// with the end of each line: a row of 001.DB collects hundreds of thousands
// of computation lines in a large project.
class JoinedLines {
 public:
  JoinedLines() = default;
  JoinedLines(const JoinedLines& other);
  JoinedLines(JoinedLines&& other) noexcept;
  JoinedLines& operator=(const JoinedLines& other);
  JoinedLines& operator=(JoinedLines&& other) noexcept;
  ~JoinedLines();

  bool empty() const { return ends_.empty(); }
  size_t size() const { return ends_.size(); }
  // The lines joined, "\r\n" between them, zero-terminated.
  const wchar_t* c_str() const { return block_.data() ? data() : L""; }
  std::wstring_view text() const { return std::wstring_view(c_str(), length_); }
  std::wstring_view operator[](size_t i) const {
    const size_t b = i == 0 ? 0 : ends_[i - 1] + 2;
    return text().substr(b, ends_[i] - b);
  }
  void push_back(std::wstring_view line);
  // Room for lines of this many characters with their separators, and for
  // this many lines.
  void reserve(size_t chars, size_t lines);

 private:
  void append(std::wstring_view s);
  void grow(size_t capacity);
  wchar_t* data() const { return static_cast<wchar_t*>(block_.data()); }
  size_t capacity() const { return block_.capacity() / sizeof(wchar_t); }
  // The text: a block of its own, as it may hold hundreds of megabytes.
  os::LargeBlock block_;
  size_t length_ = 0;
  std::vector<size_t> ends_;
};

// One row of 001.DB.
struct NormQtyRow {
  std::wstring code, name, keep1, unit, note, material, kind;
  StringArray fees;  // the eight fees, in kFeeFields order
  std::wstring standardUnit;
  double standardQty = 0, quantity = 0;
  bool hasQuantity = false;
  JoinedLines lines;  // 算式工程量
  // Order keys: the sort code and the bill item current when the row was made.
  std::wstring sortCode, billName;
  // A chapter row not yet written into the table.
  bool inserted = false;
};
extern const wchar_t* const kFeeFields[8];

// Reads 001.DB into rows (a computation text is read whole only as far as
// the table library returns it).
void ReadNormQtyTable(std::vector<NormQtyRow>& rows);
// The comparison key of a code: the code from its first digit on (the code
// itself when it starts with a digit).
std::wstring CodeKey(const std::wstring& code);
// Chapter rows of a library (names and codes sorted by code) inserted in
// front of the first row of each chapter among the rows of the kind (marked
// inserted).
void InsertChapterRows(std::vector<NormQtyRow>& rows, const std::wstring& kind, const StringArray& names,
                       const StringArray& codes);
// The 001.DB rows kept by the norm writer of this run (the writers that
// follow it read them instead of the table, whose computation texts may be
// larger than a field read returns); null when no norm writer ran since the
// run began.
const std::vector<NormQtyRow>* NormQtyRowsOfRun();
void ForgetNormQtyRows();
// The kept rows are not in 001.DB yet (within a writer run the chapter
// writer writes them); set by the norm writer, cleared when they are written.
bool NormQtyRowsPending();
void SetNormQtyRowsPending(bool pending);
// Writes pending rows into 001.DB (nothing when none are pending).
void FlushPendingNormQtyTable();
// Hands the kept rows over (none are kept afterwards).
std::vector<NormQtyRow> TakeNormQtyRows();
void KeepNormQtyRows(std::vector<NormQtyRow>&& rows);
