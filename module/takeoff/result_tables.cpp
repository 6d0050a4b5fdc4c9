#include "module/takeoff/result_tables.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <cwchar>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "module/takeoff/result_set.h"
#include "module/takeoff/takeoff_state.h"
#include "module/takeoff/writer_fields.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/os/os.h"

const wchar_t* const kFeeFields[8] = {L"定额人工费", L"定额材料费", L"定额机械费", L"综合费",
                                      L"管理费",     L"附加费",     L"其他费",     L"主材费"};

namespace {

// The base library's in-memory INI readers write at most as much as the INI
// text holds, so a buffer of its length is always enough.
std::wstring memIni(const char* fn, const std::wstring& ini, const std::wstring* section) {
  std::vector<wchar_t> buf(ini.size() + 1, L'\0');
  if (section)
    SuiteCall<void(const wchar_t*, const wchar_t*, wchar_t*)>::call(SuiteModule::Base, fn, ini.c_str(),
                                                                    section->c_str(), buf.data());
  else
    SuiteCall<void(const wchar_t*, wchar_t*)>::call(SuiteModule::Base, fn, ini.c_str(), buf.data());
  buf.back() = L'\0';
  return buf.data();
}

std::atomic<bool> g_runCancelled{false}, g_runFailed{false};
size_t g_writeFailuresSeen = 0;
std::mutex g_sayMutex;

std::vector<NormQtyRow> g_runRows;
bool g_runRowsValid = false;
bool g_runRowsPending = false;

}  // namespace

JoinedLines::JoinedLines(const JoinedLines& other) { *this = other; }

JoinedLines::JoinedLines(JoinedLines&& other) noexcept { *this = std::move(other); }

JoinedLines& JoinedLines::operator=(const JoinedLines& other) {
  if (this == &other) return *this;
  length_ = 0;
  ends_ = other.ends_;
  append(other.text());
  return *this;
}

JoinedLines& JoinedLines::operator=(JoinedLines&& other) noexcept {
  if (this == &other) return *this;
  block_ = std::move(other.block_);
  length_ = std::exchange(other.length_, 0);
  ends_ = std::move(other.ends_);
  other.ends_.clear();
  return *this;
}

JoinedLines::~JoinedLines() = default;

void JoinedLines::grow(size_t cap) {
  if (!block_.reserve(cap * sizeof(wchar_t), length_ ? (length_ + 1) * sizeof(wchar_t) : 0)) throw std::bad_alloc();
}

void JoinedLines::reserve(size_t chars, size_t lines) {
  if (chars + 1 > capacity()) grow(chars + 1);
  ends_.reserve(lines);
}

void JoinedLines::append(std::wstring_view s) {
  if (length_ + s.size() + 1 > capacity()) grow(std::max<size_t>({64, capacity() * 2, length_ + s.size() + 1}));
  wchar_t* text = data();
  std::wmemcpy(text + length_, s.data(), s.size());
  length_ += s.size();
  text[length_] = L'\0';
}

void JoinedLines::push_back(std::wstring_view line) {
  if (!ends_.empty()) append(L"\r\n");
  append(line);
  ends_.push_back(length_);
}

std::wstring FloatFieldText(double v) {
  wchar_t buf[64];
  std::swprintf(buf, 64, L"%.15g", v);
  return buf;
}

void NormTextSections(const std::wstring& ini, StringArray& sections) {
  sections.clear();
  if (ini.empty()) return;
  StringArray lines;
  SplitLines(memIni("Dll_MemIniReadSec_W", ini, nullptr), lines);
  for (std::wstring& s : lines)
    if (!s.empty()) sections.push_back(std::move(s));
}

void NormTextSectionLines(const std::wstring& ini, const std::wstring& section, StringArray& lines) {
  lines.clear();
  SplitLines(memIni("Dll_MemIniRead_W", ini, &section), lines);
}

bool RunFloorAt(size_t i, std::wstring& floor, int& count) {
  if (i >= g_runFloorList.size() || g_runFloorList[i].empty()) return false;
  StringArray f;
  SplitString(g_runFloorList[i], L"||", f);
  f.resize(2);
  floor = f[0];
  count = static_cast<int>(std::wcstol(f[1].c_str(), nullptr, 10));
  if (count < 1) count = 1;
  return true;
}

std::wstring FloorHeaderText(const std::wstring& floor, int count) {
  return L"■" + floor + L"=" + std::to_wstring(count);
}

std::wstring ProjectTablePath(const std::wstring& name) { return ResultFolderPath() + L"\\" + name; }

void BeginRunChecks() {
  g_runCancelled = false;
  g_runFailed = false;
  g_writeFailuresSeen = tablelib::WriteFailureCount();
}

void NoteRunFailure(const std::wstring& message) {
  g_runFailed = true;
  std::lock_guard lock(g_sayMutex);
  ed::printText(message);
}

void NoteRunCancel() { g_runCancelled = true; }
bool RunCancelled() { return g_runCancelled; }
bool RunFailed() { return g_runFailed; }

void CheckRunWrites() {
  const size_t n = tablelib::WriteFailureCount();
  for (; g_writeFailuresSeen < n; ++g_writeFailuresSeen)
    NoteRunFailure(L"\n无法写入" + tablelib::WriteFailureAt(g_writeFailuresSeen) + L"(磁盘已满或没有写入权限)。\n");
}

void EndRun(const std::wstring& what) {
  std::wstring text;
  if (RunCancelled())
    text = what + L"已取消，原有的计算结果未改动。";
  else if (RunFailed())
    text = what + L"未能完成，原有的计算结果未改动。";
  else
    return;
  ed::printText(L"\n" + text + L"\n");
  ed::failActiveCommand(text);
}

tablelib::Handle OpenRunInput(const std::wstring& path) {
  const tablelib::Handle h = tablelib::OpenDb(path);
  if (!os::exists(path) || tablelib::FieldCount(h) > 0) return h;
  tablelib::Close(h);
  NoteRunFailure(L"\n无法读取" + path + L"(表已损坏或无法打开)。\n");
  return 0;
}

bool UnzipTemplate(const std::wstring& name, const std::wstring& folder) {
  const std::wstring archive = g_baseDir + L"\\GZK.ZIP";
  auto unzip = [&](const std::wstring& member) {
    return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, const wchar_t*)>::call(
               SuiteModule::Base, "Dll_UnZipFile_W", static_cast<unsigned char>(0), archive.c_str(),
               member.c_str(), folder.c_str()) != 0;
  };
  if (!unzip(name + L".DB")) return false;
  unzip(name + L".MB");
  return true;
}

std::wstring TemplateMissingText(const std::wstring& name) {
  return L"\n无法从" + g_baseDir + L"\\GZK.ZIP取出" + name + L".DB的模板，此表未写入。\n";
}

bool ExtractTemplate(const std::wstring& name) {
  if (UnzipTemplate(name, ResultFolderPath())) return true;
  NoteRunFailure(TemplateMissingText(name));
  return false;
}

bool CopyTemplate(const std::wstring& templ, const std::wstring& target) {
  const std::wstring from = g_baseDir + L"\\系统文件\\" + templ, to = ProjectTablePath(target);
  if (!os::copyFile(from + L".DB", to + L".DB")) {
    NoteRunFailure(L"\n无法把模板" + from + L".DB复制为" + to + L".DB，此表未写入。\n");
    return false;
  }
  if (os::isFile(from + L".MB")) os::copyFile(from + L".MB", to + L".MB");
  return true;
}

bool TakeoffProgress(const std::wstring& message) {
  if (SuiteCall<unsigned char(const wchar_t*, const wchar_t*, int, int, int, int)>::call(
          SuiteModule::Base, "Dll_ProgressWin_W", static_cast<unsigned char>(1), L"工程量计算", message.c_str(), 1,
          1, 0, 2) != 0)
    return true;
  NoteRunCancel();
  return false;
}

std::wstring TakenComponentName() {
  if (g_totalMode != kTotalCurGj && g_totalMode != kTotal3d) return {};
  return winlib::CmbGetName(winlib::kComboName);
}

std::wstring CodeKey(const std::wstring& code) {
  // A letter prefix such as "A-" of "A-0101" or "D" of "D11-011" is left out,
  // so that the chapter and item numbers decide the order.
  size_t p = 0;
  while (p < code.size() && !(code[p] >= L'0' && code[p] <= L'9')) ++p;
  return p == 0 ? code : code.substr(p);
}

const std::vector<NormQtyRow>* NormQtyRowsOfRun() { return g_runRowsValid ? &g_runRows : nullptr; }

void ForgetNormQtyRows() {
  g_runRows.clear();
  g_runRowsValid = false;
  g_runRowsPending = false;
}

bool NormQtyRowsPending() { return g_runRowsValid && g_runRowsPending; }
void SetNormQtyRowsPending(bool pending) { g_runRowsPending = pending; }

std::vector<NormQtyRow> TakeNormQtyRows() {
  std::vector<NormQtyRow> rows = std::move(g_runRows);
  ForgetNormQtyRows();
  return rows;
}

// Kept for the writers that follow in the run.
void KeepNormQtyRows(std::vector<NormQtyRow>&& rows) {
  g_runRows = std::move(rows);
  g_runRowsValid = true;
  g_runRowsPending = false;
}

void ReadNormQtyTable(std::vector<NormQtyRow>& rows) {
  rows.clear();
  std::vector<std::wstring_view> lines;
  tablelib::Table t(ProjectTablePath(L"001.DB"));
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    NormQtyRow r;
    r.code = tablelib::FieldAsString(t, L"编号");
    r.name = tablelib::FieldAsString(t, L"名称");
    r.keep1 = tablelib::FieldAsString(t, L"Keep1");
    r.unit = tablelib::FieldAsString(t, L"单位");
    r.note = tablelib::FieldAsString(t, L"附注信息");
    r.material = tablelib::FieldAsString(t, L"材料");
    r.kind = tablelib::FieldAsString(t, L"标志");
    for (const wchar_t* f : kFeeFields) r.fees.push_back(tablelib::FieldAsString(t, f));
    r.standardUnit = tablelib::FieldAsString(t, L"标准单位");
    const std::wstring sq = tablelib::FieldAsString(t, L"标准工程量"), q = tablelib::FieldAsString(t, L"工程量");
    r.hasQuantity = !sq.empty();
    r.standardQty = std::wcstod(sq.c_str(), nullptr);
    r.quantity = std::wcstod(q.c_str(), nullptr);
    const std::wstring calc = tablelib::FieldAsString(t, L"算式工程量");
    writerio::LinesOf(calc, lines);
    for (std::wstring_view l : lines) r.lines.push_back(l);
    rows.push_back(std::move(r));
  }
}

void InsertChapterRows(std::vector<NormQtyRow>& rows, const std::wstring& kind, const StringArray& names,
                       const StringArray& codes) {
  StringArray unused = names;
  StringArray keys;
  for (const std::wstring& c : codes) keys.push_back(CodeKey(c));
  size_t start = 0;
  while (start < rows.size() && kind == L"项" && rows[start].kind != L"项") ++start;
  std::vector<NormQtyRow> out(std::make_move_iterator(rows.begin()),
                              std::make_move_iterator(rows.begin() + static_cast<long>(start)));
  out.reserve(rows.size() + names.size());
  for (size_t i = start; i < rows.size(); ++i) {
    NormQtyRow& row = rows[i];
    if (row.kind == kind && !row.code.empty()) {
      // The row's code and the library's are compared by their keys, so that
      // letter-prefixed codes on both sides meet.
      const std::wstring key = CodeKey(row.code);
      // The row's chapter is the first library entry whose range holds it
      // (a chapter comes before its own items in the library).
      for (size_t j = 0; j + 1 < keys.size() && j + 1 < unused.size(); ++j) {
        const std::wstring piece = key.substr(0, keys[j].size());
        if (!(keys[j] <= piece && piece < keys[j + 1])) continue;
        if (unused[j].empty()) break;
        NormQtyRow chapter;
        chapter.name = unused[j];
        chapter.kind = L"部";
        chapter.inserted = true;
        out.push_back(std::move(chapter));
        unused[j].clear();
        break;
      }
    }
    out.push_back(std::move(row));
  }
  rows = std::move(out);
}
