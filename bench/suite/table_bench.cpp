// Appends 100,000 records of 20 fields and reads them all back, and opens a
// small and a large table (open, first record, close), through
// Ravn.dll (loaded by file name as the module loads it) and, as the
// reference, through the sqlite3 C API directly: one transaction, one
// prepared statement reused, the same table layout. Files go into a fresh
// temporary folder that is removed at the end.
//
// Counters: rss_MB is how much the process grew while the records were being
// appended or read (measured before the table is closed), so it shows the
// memory a handle holds, not the process's whole footprint.
//
// Both readers read one table, filled once through the C API; the appends
// write tables of their own. So the benchmarks may run in any order, and the
// figures are best taken alternating on a busy machine:
//
//   bench_suite_tables --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true
//       --benchmark_report_aggregates_only=true
//
// and each library median divided by the sqlite3 median of the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kFields = 20;

bool isFloat(int f) { return f % 4 == 3; }

// Resident memory of the process in MB.
double residentMB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Suite {
  os::ModuleHandle ravn = nullptr, tolm = nullptr;
  std::filesystem::path dir;
  std::vector<std::wstring> names, values;
  std::vector<std::string> names8, values8;
  std::wstring table, structure;
  std::filesystem::path rawTable, readTable;

  Suite() {
    auto sys = std::filesystem::path(KIV_BINARY_DIR) / "suite" / "系统文件";
    ravn = os::loadLibrary(os::windowsPath(sys / "Ravn.dll"));
    tolm = os::loadLibrary(os::windowsPath(sys / "Tolm.dll"));
    std::string tmpl = (std::filesystem::temp_directory_path() / "kiv-bench-suite-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir = tmpl;
    table = os::windowsPath(dir / "大表.DB");
    rawTable = dir / "raw.DB";
    readTable = dir / "读表.DB";
    for (int i = 0; i < kFields; ++i) {
      names.push_back(L"字段" + std::to_wstring(i));
      structure += names.back() + (isFloat(i) ? L":ftFloat:0\r\n" : L":ftString:60\r\n");
      values.push_back(isFloat(i) ? L"1234.5" : L"给水管 DN25 镀锌钢管 " + std::to_wstring(i));
      names8.push_back(os::toUtf8(names.back()));
      values8.push_back(os::toUtf8(values.back()));
    }
  }
  ~Suite() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  template <class Fn>
  Fn fn(const char* name) const {
    return os::findFunction<Fn>(ravn, name);
  }
  void create(const std::wstring& path) const {
    os::findFunction<Dll_DbCreateStru_W_fn>(tolm, "Dll_DbCreateStru_W")(path.c_str(), structure.c_str());
  }
};

Suite& suite() {
  static Suite s;
  return s;
}

void BM_RavnAppend100k(benchmark::State& state) {
  auto& s = suite();
  auto open = s.fn<DbDll_OpenDb_W_fn>("DbDll_OpenDb_W");
  auto append = s.fn<DbDll_Append_fn>("DbDll_Append");
  auto write = s.fn<DbDll_WriteByName_AsString_W_fn>("DbDll_WriteByName_AsString_W");
  auto post = s.fn<DbDll_Post_fn>("DbDll_Post");
  auto close = s.fn<DbDll_Close_fn>("DbDll_Close");
  double grew = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.create(s.table);
    state.ResumeTiming();
    double before = residentMB();
    int h = open(s.table.c_str());
    for (int r = 0; r < kRecords; ++r) {
      append(h);
      for (int f = 0; f < kFields; ++f) write(h, s.names[f].c_str(), s.values[f].c_str());
      post(h);
    }
    grew = std::max(grew, residentMB() - before);
    close(h);
  }
  state.counters["rss_MB"] = grew;
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_RavnAppend100k)->Unit(benchmark::kMillisecond)->Iterations(2);

// The reference append: one transaction, one prepared statement reused.
// Answers the growth of the process while appending, in MB; error gets
// SQLite's message of a failed step.
double sqliteAppend(const Suite& s, const std::filesystem::path& file, std::string& error, int records = kRecords) {
  double before = residentMB();
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  std::string sql = "INSERT INTO records VALUES(?";
  for (int f = 0; f < kFields; ++f) sql += ",?";
  sql += ")";
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  for (int r = 0; r < records; ++r) {
    sqlite3_bind_int64(st, 1, r + 1);
    for (int f = 0; f < kFields; ++f) {
      if (isFloat(f)) sqlite3_bind_double(st, f + 2, std::atof(s.values8[f].c_str()));
      else sqlite3_bind_text(st, f + 2, s.values8[f].data(), static_cast<int>(s.values8[f].size()), SQLITE_STATIC);
    }
    if (sqlite3_step(st) != SQLITE_DONE && error.empty()) error = sqlite3_errmsg(db);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  double grew = residentMB() - before;
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return grew;
}

// The table both read benchmarks read, made once.
const std::filesystem::path& readTable() {
  static const bool made = [] {
    auto& s = suite();
    s.create(os::windowsPath(s.readTable));
    std::string error;
    sqliteAppend(s, s.readTable, error);
    return error.empty();
  }();
  if (!made) std::abort();
  return suite().readTable;
}

void BM_SqliteAppend100k(benchmark::State& state) {
  auto& s = suite();
  double grew = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.create(os::windowsPath(s.rawTable));
    state.ResumeTiming();
    std::string error;
    grew = std::max(grew, sqliteAppend(s, s.rawTable, error));
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
  state.counters["rss_MB"] = grew;
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SqliteAppend100k)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_RavnRead100k(benchmark::State& state) {
  auto& s = suite();
  auto open = s.fn<DbDll_OpenDb_W_fn>("DbDll_OpenDb_W");
  auto first = s.fn<DbDll_First_fn>("DbDll_First");
  auto eof = s.fn<DbDll_Eof_fn>("DbDll_Eof");
  auto next = s.fn<DbDll_Next_fn>("DbDll_Next");
  auto read = s.fn<DbDll_FieldByName_AsString_W_fn>("DbDll_FieldByName_AsString_W");
  auto count = s.fn<DbDll_RecordCount_fn>("DbDll_RecordCount");
  auto close = s.fn<DbDll_Close_fn>("DbDll_Close");
  std::vector<wchar_t> buf(1024000);
  const std::wstring table = os::windowsPath(readTable());
  double grew = 0;
  for (auto _ : state) {
    double before = residentMB();
    int h = open(table.c_str());
    if (count(h) != kRecords) state.SkipWithError("the table to read is incomplete");
    for (first(h); !eof(h); next(h))
      for (int f = 0; f < kFields; ++f) read(h, s.names[f].c_str(), buf.data());
    grew = std::max(grew, residentMB() - before);
    close(h);
  }
  state.counters["rss_MB"] = grew;
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_RavnRead100k)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_SqliteRead100k(benchmark::State& state) {
  auto& s = suite();
  std::vector<char> buf(1024000);
  double grew = 0;
  std::string sql = "SELECT ";
  for (int f = 0; f < kFields; ++f) sql += (f ? ",\"" : "\"") + s.names8[f] + "\"";
  sql += " FROM records ORDER BY _ord";
  for (auto _ : state) {
    double before = residentMB();
    sqlite3* db = nullptr;
    sqlite3_open_v2(readTable().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      ++rows;
      for (int f = 0; f < kFields; ++f) {
        const unsigned char* t = sqlite3_column_text(st, f);
        size_t n = static_cast<size_t>(sqlite3_column_bytes(st, f));
        if (t) std::memcpy(buf.data(), t, n + 1);
      }
    }
    if (rows != kRecords) state.SkipWithError("the table to read is incomplete");
    sqlite3_finalize(st);
    grew = std::max(grew, residentMB() - before);
    sqlite3_close(db);
  }
  state.counters["rss_MB"] = grew;
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SqliteRead100k)->Unit(benchmark::kMillisecond)->Iterations(2);

// Opening a table: the library checks every page of the file before it
// hands out a handle (a record stored over its neighbour would otherwise be
// found only after a change had spread it). A take-off opens many small
// tables (rule, template and floor tables of some hundred records) and a few
// large ones. Each iteration opens the table, reads a field of its first
// record and closes it; the reference does the same through the C API
// (open, read the field list, one row, close) without any check.
const std::filesystem::path& smallTable() {
  static const bool made = [] {
    auto& s = suite();
    s.create(os::windowsPath(s.dir / "小表.DB"));
    std::string error;
    sqliteAppend(s, s.dir / "小表.DB", error, 300);
    return error.empty();
  }();
  if (!made) std::abort();
  static const std::filesystem::path p = suite().dir / "小表.DB";
  return p;
}

void ravnOpen(benchmark::State& state, const std::filesystem::path& file) {
  auto& s = suite();
  auto open = s.fn<DbDll_OpenDb_W_fn>("DbDll_OpenDb_W");
  auto read = s.fn<DbDll_FieldByName_AsString_W_fn>("DbDll_FieldByName_AsString_W");
  auto close = s.fn<DbDll_Close_fn>("DbDll_Close");
  std::vector<wchar_t> buf(1024);
  const std::wstring table = os::windowsPath(file);
  for (auto _ : state) {
    int h = open(table.c_str());
    read(h, s.names[0].c_str(), buf.data());
    if (buf[0] == L'\0') state.SkipWithError("the table reads as empty");
    close(h);
  }
}

void sqliteOpen(benchmark::State& state, const std::filesystem::path& file) {
  auto& s = suite();
  const std::string sql = "SELECT \"" + s.names8[0] + "\" FROM records ORDER BY _ord";
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    int fields = 0;
    sqlite3_prepare_v2(db, "SELECT name, type, size FROM kiv_fields ORDER BY pos", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) ++fields;
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    if (fields != kFields || sqlite3_step(st) != SQLITE_ROW) state.SkipWithError("the table reads as empty");
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
}

void BM_RavnOpenSmall(benchmark::State& state) { ravnOpen(state, smallTable()); }
void BM_SqliteOpenSmall(benchmark::State& state) { sqliteOpen(state, smallTable()); }
void BM_RavnOpen100k(benchmark::State& state) { ravnOpen(state, readTable()); }
void BM_SqliteOpen100k(benchmark::State& state) { sqliteOpen(state, readTable()); }
BENCHMARK(BM_RavnOpenSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteOpenSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RavnOpen100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteOpen100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
