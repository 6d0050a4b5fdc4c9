// Appends 100,000 records of 20 fields (then closes, which writes the file)
// and reads them all back (open, walk, read every field, close).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kFields = 20;

struct Suite {
  os::ModuleHandle ravn = nullptr, tolm = nullptr;
  std::vector<std::wstring> names;
  std::wstring table;
  Suite() {
    auto sys = std::filesystem::path(KIV_BINARY_DIR) / "suite" / "系统文件";
    ravn = os::loadLibrary(os::windowsPath(sys / "Ravn.dll"));
    tolm = os::loadLibrary(os::windowsPath(sys / "Tolm.dll"));
    auto dir = std::filesystem::path(KIV_BINARY_DIR) / "tmp" / "bench-suite";
    std::filesystem::create_directories(dir);
    table = os::windowsPath(dir / "大表.DB");
    std::wstring structure;
    for (int i = 0; i < kFields; ++i) {
      names.push_back(L"字段" + std::to_wstring(i));
      structure += names.back() + (i % 4 == 3 ? L":ftFloat:0\r\n" : L":ftString:60\r\n");
    }
    os::findFunction<Dll_DbCreateStru_W_fn>(tolm, "Dll_DbCreateStru_W")(table.c_str(), structure.c_str());
  }
  template <class Fn>
  Fn fn(const char* name) const {
    return os::findFunction<Fn>(ravn, name);
  }
};

Suite& suite() {
  static Suite s;
  return s;
}

void BM_Append100kRecords(benchmark::State& state) {
  auto& s = suite();
  auto create = os::findFunction<Dll_DbCreateStru_W_fn>(s.tolm, "Dll_DbCreateStru_W");
  std::wstring structure;
  for (int i = 0; i < kFields; ++i) structure += s.names[i] + (i % 4 == 3 ? L":ftFloat:0\r\n" : L":ftString:60\r\n");
  auto open = s.fn<DbDll_OpenDb_W_fn>("DbDll_OpenDb_W");
  auto append = s.fn<DbDll_Append_fn>("DbDll_Append");
  auto write = s.fn<DbDll_WriteByName_AsString_W_fn>("DbDll_WriteByName_AsString_W");
  auto post = s.fn<DbDll_Post_fn>("DbDll_Post");
  auto close = s.fn<DbDll_Close_fn>("DbDll_Close");
  std::vector<std::wstring> values;
  for (int i = 0; i < kFields; ++i) values.push_back(i % 4 == 3 ? L"1234.5" : L"给水管 DN25 镀锌钢管 " + std::to_wstring(i));
  for (auto _ : state) {
    state.PauseTiming();
    create(s.table.c_str(), structure.c_str());
    state.ResumeTiming();
    int h = open(s.table.c_str());
    for (int r = 0; r < kRecords; ++r) {
      append(h);
      for (int f = 0; f < kFields; ++f) write(h, s.names[f].c_str(), values[f].c_str());
      post(h);
    }
    close(h);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Append100kRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Read100kRecords(benchmark::State& state) {
  auto& s = suite();
  auto open = s.fn<DbDll_OpenDb_W_fn>("DbDll_OpenDb_W");
  auto first = s.fn<DbDll_First_fn>("DbDll_First");
  auto eof = s.fn<DbDll_Eof_fn>("DbDll_Eof");
  auto next = s.fn<DbDll_Next_fn>("DbDll_Next");
  auto read = s.fn<DbDll_FieldByName_AsString_W_fn>("DbDll_FieldByName_AsString_W");
  auto count = s.fn<DbDll_RecordCount_fn>("DbDll_RecordCount");
  auto close = s.fn<DbDll_Close_fn>("DbDll_Close");
  std::vector<wchar_t> buf(1024000);
  for (auto _ : state) {
    int h = open(s.table.c_str());
    if (count(h) != kRecords) state.SkipWithError("the append benchmark must run first");
    for (first(h); !eof(h); next(h))
      for (int f = 0; f < kFields; ++f) read(h, s.names[f].c_str(), buf.data());
    close(h);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Read100kRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
