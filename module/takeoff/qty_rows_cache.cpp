#include "module/takeoff/qty_rows_cache.h"

#include <memory>

#include "module/takeoff/background_work.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/writer_fields.h"

namespace {

bool g_shared = false;
bool g_loaded = false;
std::vector<QuantityRow> g_rows;

// The row work left to a worker thread.
std::unique_ptr<BackgroundWork> g_rowWork;

}  // namespace

void WaitForRowWork() {
  if (!g_rowWork) return;
  std::unique_ptr<BackgroundWork> work = std::move(g_rowWork);
  work->wait();
}

const std::vector<QuantityRow::Method>& QuantityRow::methodsOf(const std::wstring& kind) const {
  if (methodsValid_ && methodsKind_ == kind) return methods_;
  methodsKind_ = kind;
  methodsValid_ = true;
  methods_.clear();
  // A norm line begins with the kind and "="; its four parts are cut at the
  // separator (missing parts empty, further ones dropped).
  std::vector<std::wstring_view> lines, parts;
  writerio::LinesOf(calc, lines);
  const size_t markSize = kind.size() + 1;
  for (std::wstring_view l : lines) {
    if (l.size() < markSize || l.compare(0, kind.size(), kind) != 0 || l[kind.size()] != L'=') continue;
    writerio::PiecesOf(l.substr(markSize), kCalcSep, parts);
    Method m;
    for (size_t i = 0; i < 4 && i < parts.size(); ++i) m[i] = parts[i];
    methods_.push_back(std::move(m));
  }
  return methods_;
}

void SetQuantityRowCalc(QuantityRow& row, std::wstring&& calc) {
  row.calc = std::move(calc);
  row.methodsValid_ = false;
  row.methods_.clear();
}

void ReadQuantityRows(tablelib::Handle t, std::vector<QuantityRow>& rows, bool normInputs) {
  rows.clear();
  rows.reserve(static_cast<size_t>(std::max(0, tablelib::RecordCount(t))));
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    QuantityRow& r = rows.emplace_back();
    tablelib::ReadFieldInto(t, L"标志", r.flag);
    tablelib::ReadFieldInto(t, L"构件名称", r.name);
    tablelib::ReadFieldInto(t, L"编号", r.number);
    tablelib::ReadFieldInto(t, L"说明", r.note);
    tablelib::ReadFieldInto(t, L"参数", r.params);
    if (normInputs) {
      tablelib::ReadFieldInto(t, L"工程量", r.quantity);
      tablelib::ReadFieldInto(t, L"定额", r.norm);
    }
    tablelib::ReadFieldInto(t, L"算式工程量", r.calc);
  }
}

WriterRunScope::WriterRunScope() {
  g_shared = true;
  g_loaded = false;
  g_rows.clear();
}

WriterRunScope::~WriterRunScope() {
  g_rowWork.reset();
  FlushPendingNormQtyTable();
  g_shared = false;
  g_loaded = false;
  std::vector<QuantityRow>().swap(g_rows);
}

bool InWriterRun() { return g_shared; }

void LeaveRowWork(std::function<void()> work) {
  if (!g_shared) {
    work();
    return;
  }
  WaitForRowWork();
  g_rowWork = std::make_unique<BackgroundWork>(std::move(work));
}

std::vector<QuantityRow>& QuantityRowsForWriter(std::vector<QuantityRow>& storage) {
  if (g_shared) WaitForRowWork();
  std::vector<QuantityRow>& rows = g_shared ? g_rows : storage;
  if (!g_shared || !g_loaded) {
    tablelib::Table t(ProjectTablePath(L"构件算量.DB"));
    ReadQuantityRows(t, rows, false);
    g_loaded = g_shared;
  }
  return rows;
}
