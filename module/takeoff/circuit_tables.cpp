#include "module/takeoff/circuit_tables.h"

#include "module/takeoff/circuit_rows.h"
#include "module/takeoff/result_tables.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {


// A fresh copy of the template pair (memo file first); 0 when the table
// cannot be had, which the command line is told.
tablelib::Handle freshTable(const std::wstring& name) {
  const std::wstring from = g_baseDir + L"\\系统文件\\" + name, to = ProjectTablePath(name);
  bool ok = os::copyFile(from + L".MB", to + L".MB") || !os::isFile(from + L".MB");
  ok = ok && os::copyFile(from + L".DB", to + L".DB");
  if (!ok) {
    NoteRunFailure(L"\n无法从" + from + L".DB复制[" + name + L"]表，此表未写入。\n");
    return 0;
  }
  return tablelib::OpenDb(to + L".DB");
}

std::wstring reference(const CircuitRow& r) { return r.layer + L":" + r.handle; }

// The references of the rows from i on that agree with row i.
template <class Same>
std::wstring references(const std::vector<CircuitRow>& rows, size_t i, Same same) {
  StringArray refs;
  for (size_t j = i; j < rows.size() && same(rows[i], rows[j]); ++j) refs.push_back(reference(rows[j]));
  std::wstring out;
  JoinLines(refs, out);
  return out;
}

void appendRow(tablelib::Handle t, std::initializer_list<std::pair<const wchar_t*, std::wstring>> fields) {
  tablelib::Append(t);
  for (const auto& [field, text] : fields) tablelib::WriteAsString(t, field, text);
  tablelib::Post(t);
}

}  // namespace

void WriteCircuitRows(tablelib::Handle t, const std::vector<CircuitRow>& rows, bool detail) {
  CircuitRow prev;
  StringArray parts;
  for (size_t i = 0; i < rows.size(); ++i) {
    const CircuitRow& r = rows[i];
    bool higher = false;
    if (r.floor != prev.floor) {
      appendRow(t, {{L"回路", r.floor}, {L"标志", L"楼层"}});
      higher = true;
    }
    if (r.circuitKey != prev.circuitKey || higher) {
      // The key is layer,编号,handle; a box number may hold commas itself.
      const size_t first = r.circuitKey.find(L','), last = r.circuitKey.rfind(L',');
      if (first != std::wstring::npos && last != first) {
        const std::wstring layer = r.circuitKey.substr(0, first);
        std::wstring refs = references(rows, i, [](const CircuitRow& a, const CircuitRow& b) {
          return a.floor == b.floor && a.circuitKey == b.circuitKey;
        });
        refs += L"\r\n" + layer + L":" + r.circuitKey.substr(last + 1);
        appendRow(t, {{L"回路", L"  " + layer + L":" + r.circuitKey.substr(first + 1, last - first - 1)},
                      {L"实体", refs},
                      {L"标志", L"配电箱"}});
        higher = true;
      }
    }
    if (detail && (r.ordinal != prev.ordinal || higher)) {
      appendRow(t, {{L"回路", L"    回路"},
                    {L"实体", references(rows, i,
                                         [](const CircuitRow& a, const CircuitRow& b) {
                                           return a.circuitKey == b.circuitKey && a.ordinal == b.ordinal;
                                         })},
                    {L"标志", L"回路"}});
      higher = true;
    }
    if (r.layer != prev.layer || higher) {
      appendRow(t, {{L"编码", r.layer},
                    {L"实体", references(rows, i,
                                         [detail](const CircuitRow& a, const CircuitRow& b) {
                                           return a.floor == b.floor && a.circuitKey == b.circuitKey &&
                                                  a.layer == b.layer && (!detail || a.ordinal == b.ordinal);
                                         })},
                    {L"标志", L"构件"}});
      higher = true;
    }
    if (r.number != prev.number || higher)
      appendRow(t, {{L"编码", L"  " + r.number}, {L"实体", reference(r)}, {L"标志", L"编号"}});
    for (const std::wstring& item : r.items) {
      SplitCircuitItem(item, parts);
      if (parts.size() != 5) continue;
      appendRow(t, {{L"编码", L"    " + parts[0]},
                    {L"名称", parts[1]},
                    {L"工程量", parts[2]},
                    {L"单位", parts[3]},
                    {L"标志", parts[4]}});
    }
    prev = r;
  }
}

namespace circuits {

void WriteCircuitDetailTable(const std::vector<CircuitRow>& rows) {
  if (!TakeoffProgress(L"正在写入[电气回路明细]表...")) return;
  tablelib::Handle t = freshTable(L"电气回路明细表");
  if (!t) return;
  WriteCircuitRows(t, rows, true);
  tablelib::Close(t);
}

void WriteCircuitSummaryTable(std::vector<CircuitRow>& rows) {
  if (!TakeoffProgress(L"正在写入[电气回路汇总]表...")) return;
  MergeCircuitRowsByKey(rows);
  tablelib::Handle t = freshTable(L"电气回路汇总表");
  if (!t) return;
  WriteCircuitRows(t, rows, false);
  tablelib::Close(t);
}

void WriteCircuitTables(std::vector<CircuitRow>& rows) {
  circuits::AttributeCircuitQuantities(rows);
  circuits::WriteCircuitDetailTable(rows);
  circuits::WriteCircuitSummaryTable(rows);
}

}  // namespace circuits
