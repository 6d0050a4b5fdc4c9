// The result tables derived from 构件算量.DB and 001.DB after the floors of
// a take-off: the component parameters, the flat quantity table, the floor
// detail tables and the method summaries; and the sundry works, which enter
// 构件算量.DB as component rows of their floor.
#include <cwchar>
#include <unordered_map>

#include "module/takeoff/qty_rows_cache.h"
#include "module/takeoff/result_set.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/result_writers.h"
#include "module/takeoff/takeoff_state.h"
#include "module/takeoff/writer_fields.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

const std::wstring kSep(1, kCalcSep);

// A floor's separator row (nothing in it) is no component.
bool isEmptyRow(const QuantityRow& r) { return r.name.empty() && r.number.empty() && r.flag.empty(); }

// A field of a new record and its text, passed through without copies (a
// temporary text lives until the row is appended).
struct FieldText {
  FieldText(const wchar_t* f, const std::wstring& t) : field(f), text(t.c_str()) {}
  FieldText(const wchar_t* f, const wchar_t* t) : field(f), text(t) {}
  const wchar_t* field;
  const wchar_t* text;
};

void appendRow(tablelib::Handle t, std::initializer_list<FieldText> fields) {
  tablelib::Append(t);
  for (const FieldText& f : fields)
    if (*f.text != L'\0') tablelib::WriteAsString(t, f.field, f.text);
  tablelib::Post(t);
}

// The parameter lines of a component packed into chunks of at most 70
// characters, ";" between the lines; a chunk is written out before a line
// that would make it longer (the first one possibly empty).
// lines: the lines of the text, kept for its buffer.
void paramChunks(const std::wstring& params, std::vector<std::wstring_view>& lines, StringArray& chunks) {
  writerio::LinesOf(params, lines);
  chunks.clear();
  std::wstring pending;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::wstring_view line = lines[i];
    size_t eq = line.find(L'=');
    size_t colon = eq == std::wstring::npos ? std::wstring::npos : line.find(L':', eq);
    if (colon != std::wstring::npos) line = line.substr(0, colon);
    if (pending.size() + line.size() + 1 > 70) {
      chunks.push_back(pending);
      pending.clear();
    }
    pending += line;
    if (i + 1 < lines.size()) pending += L";";
  }
  if (!pending.empty()) chunks.push_back(pending);
}

// The 001 rows of this run (kept by the norm writer, else read back).
const std::vector<NormQtyRow>& normRows(std::vector<NormQtyRow>& storage) {
  if (const std::vector<NormQtyRow>* kept = NormQtyRowsOfRun()) return *kept;
  ReadNormQtyTable(storage);
  return storage;
}

const wchar_t* const kDisciplinePrefix[5] = {L"", L"0302", L"0307", L"0308", L"0309"};
const wchar_t* const kDisciplineSuffix[5] = {L"", L"_电气", L"_消防", L"_给排水", L"_暖通"};

bool hasPrefix(const std::wstring& code, int discipline) {
  return discipline == 0 || code.compare(0, 4, kDisciplinePrefix[discipline]) == 0;
}

// Writes one floor detail table: per row of the kind (and discipline) its
// total row, then one row per floor of the run with its share, the floors'
// subtotals gathered in one pass over the row's lines.
bool writeFloorDetail(const std::wstring& kind, int discipline, const std::wstring& target) {
  if (!TakeoffProgress(L"正在写入[定额楼层明细]表...")) return false;
  if (!CopyTemplate(L"定额楼层明细", target)) return false;
  std::vector<NormQtyRow> storage;
  const std::vector<NormQtyRow>& rows = normRows(storage);
  tablelib::Table t(ProjectTablePath(target + L".DB"));
  StringArray floors;
  std::wstring floor;
  int count = 0;
  for (size_t i = 0; i < g_runFloorList.size(); ++i)
    if (RunFloorAt(i, floor, count)) floors.push_back(floor);
  int ordinal = 0;
  std::unordered_map<std::wstring, double> sums;
  std::vector<std::wstring_view> parts;
  std::wstring floorOfLine;
  for (const NormQtyRow& r : rows) {
    if (r.kind != kind || !hasPrefix(r.code, discipline)) continue;
    appendRow(t, {{L"序号", std::to_wstring(++ordinal)},
                  {L"编码", r.code},
                  {L"名称", r.name},
                  {L"单位", r.standardUnit},
                  {L"工程量", r.hasQuantity ? FloatFieldText(r.standardQty) : std::wstring()},
                  {L"标志", r.kind}});
    // A floor header line: "=//floor=count" before its first separator.
    sums.clear();
    for (size_t i = 0; i < r.lines.size(); ++i) {
      const std::wstring_view l = r.lines[i];
      if (l.compare(0, 3, L"=//") != 0) continue;
      size_t sep = l.find(kCalcSep);
      if (sep == std::wstring::npos) continue;
      size_t eq = l.rfind(L'=', sep);
      if (eq < 3) continue;
      writerio::PiecesOf(l, kCalcSep, parts);
      if (parts.size() < 3) continue;
      floorOfLine.assign(l.substr(3, eq - 3));
      sums[floorOfLine] += writerio::NumberOf(parts[2]);
    }
    for (const std::wstring& f : floors) {
      auto it = sums.find(f);
      if (it == sums.end()) continue;
      appendRow(t, {{L"名称", L"      " + f}, {L"单位", r.standardUnit}, {L"工程量", PrecStr(it->second, 3)},
                    {L"标志", L"楼层"}});
    }
  }
  return true;
}

bool writeMethodSummary(const std::wstring& kind, int discipline, const std::wstring& target) {
  if (!TakeoffProgress(L"正在写入[构件做法汇总]表...")) return false;
  if (!CopyTemplate(L"构件做法汇总", target)) return false;
  std::vector<QuantityRow> storage;
  const std::vector<QuantityRow>& rows = QuantityRowsForWriter(storage);
  tablelib::Table t(ProjectTablePath(target + L".DB"));
  // The component name of the last component row since the floor row.
  const std::wstring none;
  const std::wstring* lastName = &none;
  std::wstring text;
  std::vector<const QuantityRow::Method*> methods;
  for (const QuantityRow& r : rows) {
    if (r.flag == L"楼层") {
      lastName = &none;
      std::wstring floor = r.name.substr(0, r.name.find(L'='));
      ReplaceAll(floor, L"■", L"");
      appendRow(t, {{L"编码", floor}, {L"标志", r.flag}});
      continue;
    }
    if (isEmptyRow(r)) continue;
    // The component's norm lines of the kind: kind=code, name, quantity, unit.
    methods.clear();
    for (const QuantityRow::Method& m : r.methodsOf(kind))
      if (hasPrefix(m[0], discipline)) methods.push_back(&m);
    if (discipline != 0 && methods.empty()) continue;
    if (r.name != *lastName) {
      lastName = &r.name;
      tablelib::Append(t);
      text.assign(L"  ").append(r.name);
      writerio::PutIfAny(t, L"编码", text);
      tablelib::WriteAsString(t, L"标志", L"构件");
      tablelib::Post(t);
    }
    tablelib::Append(t);
    text.assign(L"    ").append(r.number);
    writerio::PutIfAny(t, L"编码", text);
    tablelib::WriteAsString(t, L"标志", L"编号");
    tablelib::Post(t);
    for (const QuantityRow::Method* m : methods) {
      tablelib::Append(t);
      text.assign(L"      ").append((*m)[0]);
      writerio::PutIfAny(t, L"编码", text);
      writerio::PutIfAny(t, L"名称", (*m)[1]);
      writerio::PutIfAny(t, L"工程量", (*m)[2]);
      writerio::PutIfAny(t, L"单位", (*m)[3]);
      writerio::PutIfAny(t, L"标志", kind);
      tablelib::Post(t);
    }
  }
  return true;
}

}  // namespace

std::wstring WriteGjParamTableOf(const std::vector<QuantityRow>& rows, const std::wstring& taken) {
  std::unordered_map<std::wstring, size_t> headers;
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].flag == L"楼层") headers.emplace(rows[i].name, i);
  if (!UnzipTemplate(L"构件参数", ResultFolderPath())) return TemplateMissingText(L"构件参数");
  tablelib::Table t(ProjectTablePath(L"构件参数.DB"));
  std::wstring floor;
  int count = 0;
  std::vector<std::wstring_view> lines;
  StringArray chunks;
  for (size_t i = 0; i < g_runFloorList.size(); ++i) {
    if (!RunFloorAt(i, floor, count)) continue;
    auto h = headers.find(FloorHeaderText(floor, count));
    if (h == headers.end()) continue;
    appendRow(t, {{L"构件名称", h->first}, {L"标志", L"楼层"}});
    for (size_t k = h->second + 1; k < rows.size() && rows[k].flag != L"楼层"; ++k) {
      const QuantityRow& r = rows[k];
      if (isEmptyRow(r) || (!taken.empty() && r.name != taken)) continue;
      paramChunks(r.params, lines, chunks);
      appendRow(t, {{L"构件名称", r.name}, {L"编号", r.number}, {L"说明", r.note},
                    {L"参数", chunks.empty() ? L"" : chunks[0].c_str()}});
      for (size_t c = 1; c < chunks.size(); ++c) appendRow(t, {{L"参数", chunks[c]}});
    }
    appendRow(t, {});
  }
  return {};
}

bool WriteGjParamTable() {
  if (!TakeoffProgress(L"正在写入工程量参数表...")) return false;
  std::vector<QuantityRow> storage;
  const std::wstring failure = WriteGjParamTableOf(QuantityRowsForWriter(storage), TakenComponentName());
  if (!failure.empty()) NoteRunFailure(failure);
  return failure.empty();
}

std::wstring WriteQtyTableOf(const std::vector<NormQtyRow>& rows) {
  const std::wstring path = ProjectTablePath(L"工程量表.DB");
  const std::wstring fields =
      L"编号:ftString:30\r\n名称:ftString:100\r\n单位:ftString:10\r\n工程量:ftFloat:0\r\n标准单位:ftString:10\r\n"
      L"标准工程量:ftFloat:0\r\n标志:ftString:20";
  if (!SuiteCall<unsigned char(const wchar_t*, const wchar_t*)>::call(SuiteModule::Base, "Dll_DbCreateStru_W",
                                                                      static_cast<unsigned char>(0), path.c_str(),
                                                                      fields.c_str()))
    return L"\n无法建立" + path + L"，此表未写入。\n";
  tablelib::Table t(path);
  static const wchar_t* const kPartFields[3] = {L"编号", L"名称", L"标准工程量"};
  std::vector<std::wstring_view> parts;
  std::wstring field;
  for (size_t i = 0; i < rows.size(); ++i) {
    const NormQtyRow& r = rows[i];
    if (r.kind == L"描述") continue;
    appendRow(t, {{L"编号", r.code},
                  {L"名称", r.name},
                  {L"单位", r.unit},
                  {L"工程量", r.hasQuantity ? FloatFieldText(r.quantity) : std::wstring()},
                  {L"标准单位", r.standardUnit},
                  {L"标准工程量", r.hasQuantity ? FloatFieldText(r.standardQty) : std::wstring()},
                  {L"标志", r.kind}});
    for (size_t d = i + 1; d < rows.size() && rows[d].kind == L"描述"; ++d)
      appendRow(t, {{L"名称", rows[d].name}, {L"标志", rows[d].kind}});
    // A computation line: its label head before the first "=", then the
    // parts of the rest.
    for (size_t k = 0; k < r.lines.size(); ++k) {
      const std::wstring_view l = r.lines[k];
      const size_t eq = l.find(L'=');
      writerio::PiecesOf(eq == std::wstring::npos ? l : l.substr(eq + 1), kCalcSep, parts);
      if (parts.size() < 3) continue;
      const bool floorLine = parts[0].find(L"//") != std::wstring::npos || parts[1].find(L"//") != std::wstring::npos;
      tablelib::Append(t);
      for (size_t p = 0; p < 3; ++p) {
        field.assign(parts[p]);
        writerio::PutIfAny(t, kPartFields[p], field);
      }
      if (floorLine)
        tablelib::WriteAsString(t, L"标志", L"解释");
      else if (eq != 0 && eq != std::wstring::npos)
        tablelib::WriteAsString(t, L"标志", field.assign(l.substr(0, eq)));
      tablelib::Post(t);
    }
  }
  return {};
}

bool WriteQtyTable() {
  if (!TakeoffProgress(L"正在写入工程量计算表...")) return false;
  std::vector<NormQtyRow> storage;
  const std::wstring failure = WriteQtyTableOf(normRows(storage));
  if (!failure.empty()) NoteRunFailure(failure);
  return failure.empty();
}

bool WriteFloorDetailTable(const std::wstring& kind) {
  return writeFloorDetail(kind, 0, kind == L"项" ? L"清单楼层明细" : L"定额楼层明细");
}

// Bill items have no discipline tables: the bill table of the run stays as
// its writer left it.
bool WriteDisciplineFloorDetailTable(const std::wstring& kind, int discipline) {
  if (kind == L"项" || discipline < 1 || discipline > 4) return true;
  return writeFloorDetail(kind, discipline, std::wstring(L"定额楼层明细") + kDisciplineSuffix[discipline]);
}

bool WriteMethodSummary(const std::wstring& kind) {
  return writeMethodSummary(kind, 0, kind == L"项" ? L"清单构件做法汇总" : L"定额构件做法汇总");
}

bool WriteDisciplineMethodSummary(const std::wstring& kind, int discipline) {
  if (kind == L"项" || discipline < 1 || discipline > 4) return true;
  return writeMethodSummary(kind, discipline, std::wstring(L"定额构件做法汇总") + kDisciplineSuffix[discipline]);
}

void AddSundryWorks(const std::wstring& floor) {
  const std::wstring path = ProjectFolderPath() + L"\\" + floor + L"_零星工程.DB";
  if (!os::isFile(path)) return;
  tablelib::Table t(path);
  StringArray sections, lines, items;
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    const std::wstring name = tablelib::FieldAsString(t, L"构件名称");
    const std::wstring number = tablelib::FieldAsString(t, L"构件编号");
    if (name.empty() || number.empty()) continue;
    const std::wstring norm = tablelib::FieldAsString(t, L"定额");
    NormTextSections(norm, sections);
    items.clear();
    // The item's section is the section's own name, which the norm writer
    // matches; the sections are numbered 001, 002, … by the suite.
    for (const std::wstring& s : sections) {
      NormTextSectionLines(norm, s, lines);
      std::wstring kind = GetAttrValue(lines, L"标志");
      if (kind.empty()) kind = L"定额";
      std::wstring q = GetAttrValue(lines, L"工程量");
      if (q.empty())
        ed::printText(L"\n[" + floor + L"]零星工程" + name + L" " + number + L"的[" + s + L"]没有工程量，按0计算。\n");
      // "=" would shift the fields of the quantity line.
      ReplaceAll(q, L"=", L"");
      items.push_back(L"零星工程=" + s + L"=" + kind + L"=" + GetAttrValue(lines, L"类型") + L"===" + q + L"=" + q);
    }
    std::wstring text;
    JoinLines(items, text);
    appendRow(g_quantityTable, {{L"构件名称", name}, {L"编号", number}, {L"说明", L"零星工程"}, {L"工程量", text},
                                {L"定额", norm}});
  }
}
