// The norm and bill quantity table 001.DB: one row per distinct norm or bill
// item of the project, its quantities summed over every component and floor,
// with the computation lines that list each contribution; the components'
// own rows of 构件算量.DB receive the same lines under a norm line each.
//
// The rows and their lines are gathered in memory and each row is written
// once at the end, so that a norm shared by thousands of components costs
// one append per contribution and not a rewrite of its whole text.
#include <algorithm>
#include <cmath>
#include <cwchar>
#include <unordered_map>

#include "module/takeoff/region_takeoff.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/result_writers.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

const std::wstring kSep(1, kCalcSep);

std::wstring readIni(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
  wchar_t buf[1024] = {};
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_ReadIni_W", file.c_str(), section.c_str(), key.c_str(), buf);
  buf[1023] = L'\0';
  return buf;
}

// One component row of 构件算量.DB as the writer reads it.
struct SourceRow {
  std::wstring flag, name, number, quantity, norm, calc;
  StringArray added;  // lines appended to 算式工程量
};

// One quantity line taken apart: label, section, flag, type, parameter,
// location, expression, result.
struct QtyLine {
  std::wstring label, section, type, param, location, expression;
  double value = 0;
};

// The fields of a quantity line. A line of more than eight fields has "="
// inside its expression: the result is the last field and the expression
// everything between the location and it. A line of seven fields has no
// result and counts 0.
bool parseQtyLine(const std::wstring& line, QtyLine& out) {
  StringArray f;
  SplitString(line, L"=", f);
  if (f.size() < 7) return false;
  out.label = f[0];
  out.section = f[1];
  out.type = f[3];
  out.param = f[4];
  out.location = f[5];
  if (f.size() == 7) {
    out.expression = f[6];
    out.value = 0;
    return true;
  }
  out.expression = f[6];
  for (size_t i = 7; i + 1 < f.size(); ++i) out.expression += L"=" + f[i];
  out.value = std::wcstod(f.back().c_str(), nullptr);
  return true;
}

// The values of one section of a component's norm text.
struct Section {
  std::wstring name, kind, type, code, title, unit, note, material;
  StringArray fees, adjustments;
};

void readSection(const std::wstring& ini, const std::wstring& name, Section& s) {
  StringArray lines;
  NormTextSectionLines(ini, name, lines);
  s.name = name;
  s.kind = GetAttrValue(lines, L"标志");
  if (s.kind.empty()) s.kind = L"定额";
  s.type = GetAttrValue(lines, L"类型");
  s.code = GetAttrValue(lines, L"编号");
  s.title = GetAttrValue(lines, L"名称");
  s.unit = GetAttrValue(lines, L"单位");
  s.note = GetAttrValue(lines, L"附注信息");
  s.fees.clear();
  for (const wchar_t* f : kFeeFields) s.fees.push_back(GetAttrValue(lines, f));
  // Materials and adjustments are numbered from 1 and end at the first gap.
  std::unordered_map<std::wstring, std::wstring> byKey;
  for (const std::wstring& l : lines) {
    size_t eq = l.find(L'=');
    if (eq != std::wstring::npos) byKey.emplace(l.substr(0, eq), l.substr(eq + 1));
  }
  auto numbered = [&](const wchar_t* key, StringArray& out) {
    out.clear();
    for (int i = 1; i <= 1000; ++i) {
      auto it = byKey.find(key + std::to_wstring(i));
      if (it == byKey.end() || it->second.empty()) break;
      out.push_back(it->second);
    }
  };
  StringArray materials;
  numbered(L"材料", materials);
  JoinLines(materials, s.material);
  numbered(L"增减", s.adjustments);
}

std::wstring standardUnitOf(const std::wstring& unit) {
  size_t p = 0;
  while (p < unit.size() && unit[p] >= L'0' && unit[p] <= L'9') ++p;
  return unit.substr(p);
}

double multiplierOf(const std::wstring& unit) {
  double m = std::wcstod(unit.c_str(), nullptr);
  return m == 0 ? 1.0 : m;
}

class NormQtyBuilder {
 public:
  NormQtyBuilder(bool billRules, bool suffix) : billRules_(billRules), suffix_(suffix) {
    rows_.emplace_back();  // the empty row that stays last
  }

  // The sections of one component row of a floor.
  void addComponent(SourceRow& src, const std::wstring& floor, int count) {
    StringArray raw;
    SplitLines(src.quantity, raw);
    std::vector<QtyLine> lines;
    for (const std::wstring& l : raw) {
      QtyLine q;
      if (parseQtyLine(l, q)) lines.push_back(std::move(q));
    }
    StringArray sections;
    NormTextSections(src.norm, sections);
    // A component's norms belong to its own bill items only: a component
    // without a bill section does not inherit the previous one's.
    billCode_.clear();
    billName_.clear();
    Section s;
    for (const std::wstring& name : sections) {
      readSection(src.norm, name, s);
      if (s.kind == L"项") {
        billCode_ = s.code;
        billName_ = s.title;
      }
      if (s.code.empty() || (raw.empty() && s.adjustments.empty())) continue;
      std::wstring title = s.title;
      if (suffix_)
        for (const QtyLine& q : lines)
          if (!q.param.empty() && q.section == s.name && q.type == s.type) {
            title += L"[" + q.param + L"]";
            break;
          }
      size_t row = findOrInsert(s, title);
      addQuantities(rows_[row], src, s, lines, floor, count);
    }
  }

  // A floor or region header: the empty last row takes the header text, a
  // new empty row follows, and rows are sorted and merged from there on.
  void addHeader(const std::wstring& text, const wchar_t* kind) {
    rows_.back().code = text;
    rows_.back().kind = kind;
    rows_.emplace_back();
    sectionStart_ = rows_.size() - 1;
  }

  std::vector<NormQtyRow>& rows() { return rows_; }

 private:
  size_t findOrInsert(const Section& s, const std::wstring& title) {
    const std::wstring sortCode = s.kind == L"定额" ? billCode_ + s.code : s.code;
    const std::wstring newKey = CodeKey(sortCode);
    const size_t n = rows_.size();
    size_t i = sectionStart_;
    for (; i < n; ++i) {
      const NormQtyRow& r = rows_[i];
      if (r.sortCode.empty()) continue;
      const std::wstring oldKey = CodeKey(r.sortCode);
      if (newKey > oldKey) continue;
      bool insert = false;
      if (billRules_ && s.kind == L"项" && r.kind == L"项") {
        insert = CodeKey(s.code) < CodeKey(r.sortCode);
      } else if (billRules_) {
        if (newKey != oldKey)
          insert = r.billName == billName_ || rows_[i == 0 ? 0 : i - 1].billName == billName_;
      } else {
        insert = newKey < oldKey;
      }
      if (insert) return insertAt(i, s, title, sortCode);
      if (r.code == s.code && r.keep1 == title && r.material == s.material &&
          (!billRules_ || r.billName.empty() || r.billName == billName_))
        return i;
    }
    return insertAt(n, s, title, sortCode);
  }

  // Inserts the row and its description rows at p; the empty last row stays last.
  size_t insertAt(size_t p, const Section& s, const std::wstring& title, const std::wstring& sortCode) {
    if (p >= rows_.size()) p = rows_.size() - 1;
    std::vector<NormQtyRow> made;
    NormQtyRow r;
    r.code = s.code;
    r.keep1 = title;
    r.unit = s.unit;
    r.note = s.note;
    r.material = s.material;
    r.kind = s.kind;
    r.fees = s.fees;
    r.sortCode = sortCode;
    r.billName = billName_;
    // The name's further lines (after each "\r" as two characters) go into
    // description rows.
    StringArray pieces;
    for (size_t a = 0;;) {
      size_t b = title.find(L"\\r", a);
      pieces.push_back(title.substr(a, b == std::wstring::npos ? std::wstring::npos : b - a));
      if (b == std::wstring::npos) break;
      a = b + 2;
    }
    r.name = pieces[0];
    made.push_back(std::move(r));
    for (size_t k = 1; k < pieces.size(); ++k) {
      NormQtyRow d;
      d.name = pieces[k];
      d.kind = L"描述";
      d.billName = billName_;
      made.push_back(std::move(d));
    }
    rows_.insert(rows_.begin() + static_cast<long>(p), std::make_move_iterator(made.begin()),
                 std::make_move_iterator(made.end()));
    return p;
  }

  void addQuantities(NormQtyRow& row, SourceRow& src, const Section& s, const std::vector<QtyLine>& lines,
                     const std::wstring& floor, int count) {
    const std::wstring floorText = L"//" + floor + L"=" + std::to_wstring(count);
    StringArray items;
    double itemSum = 0;
    for (const QtyLine& q : lines) {
      if (q.section != s.name || q.type != s.type) continue;
      if (items.empty()) items.emplace_back();  // the floor header, written below
      std::wstring label = src.name + L":" + q.label + L"=" + src.number;
      if (count >= 2) label += L"=" + std::to_wstring(count);
      if (!q.location.empty()) label += L":" + q.location;
      const double v = RoundTo(q.value * count, 5);
      items.push_back(label + kSep + q.expression + kSep + PrecStr(v, 5));
      itemSum += v;
    }
    if (!items.empty()) items[0] = L"=" + floorText + kSep + floorText + kSep + PrecStr(itemSum, 5);
    StringArray adjustments;
    double adjSum = 0;
    for (const std::wstring& a : s.adjustments) {
      StringArray parts;
      SplitString(a, kSep, parts);
      if (parts.size() < 3) continue;
      if (adjustments.empty()) adjustments.emplace_back();
      adjSum += std::wcstod(parts[2].c_str(), nullptr);
      adjustments.push_back(a);
    }
    if (!adjustments.empty()) adjustments[0] = L"=//增减量:://增减量::" + PrecStr(adjSum, 5);

    row.lines.insert(row.lines.end(), items.begin(), items.end());
    row.lines.insert(row.lines.end(), adjustments.begin(), adjustments.end());
    row.standardUnit = standardUnitOf(row.unit);
    row.standardQty += itemSum + adjSum;
    row.quantity = RoundTo(row.standardQty / multiplierOf(row.unit), 5);
    row.hasQuantity = true;

    src.added.push_back(s.kind + L"=" + s.code + kSep + row.keep1 + kSep + PrecStr(itemSum + adjSum, 5) + kSep +
                        row.standardUnit);
    src.added.insert(src.added.end(), items.begin(), items.end());
    src.added.insert(src.added.end(), adjustments.begin(), adjustments.end());
  }

  bool billRules_, suffix_;
  std::wstring billCode_, billName_;
  std::vector<NormQtyRow> rows_;
  size_t sectionStart_ = 0;  // rows before it belong to earlier floors or regions
};

void writeRow(tablelib::Handle t, const NormQtyRow& r) {
  tablelib::Append(t);
  auto put = [t](const wchar_t* f, const std::wstring& v) {
    if (!v.empty()) tablelib::WriteAsString(t, f, v);
  };
  put(L"编号", r.code);
  put(L"名称", r.name);
  put(L"Keep1", r.keep1);
  put(L"单位", r.unit);
  put(L"附注信息", r.note);
  put(L"材料", r.material);
  put(L"标志", r.kind);
  for (size_t i = 0; i < r.fees.size() && i < 8; ++i) put(kFeeFields[i], r.fees[i]);
  if (r.hasQuantity) {
    put(L"标准单位", r.standardUnit);
    tablelib::WriteAsString(t, L"标准工程量", FloatFieldText(r.standardQty));
    tablelib::WriteAsString(t, L"工程量", FloatFieldText(r.quantity));
  }
  if (!r.lines.empty()) {
    std::wstring text;
    JoinLines(r.lines, text);
    tablelib::WriteAsString(t, L"算式工程量", text);
  }
  tablelib::Post(t);
}

bool writeNormQtyFile(const std::vector<NormQtyRow>& rows, const wchar_t* table = L"001.DB") {
  tablelib::Table t(ProjectTablePath(table));
  if (tablelib::FieldCount(t) <= 0) {
    ed::printText(L"\n无法打开" + ProjectTablePath(table) + L"，此表未写入。\n");
    return false;
  }
  for (const NormQtyRow& r : rows) writeRow(t, r);
  return true;
}

// The norm or bill library: names and codes in code order. The suite keeps
// it in the system folder; an installation that nests it one folder deeper
// is read from there.
void readLibrary(const std::wstring& table, const wchar_t* nameField, const wchar_t* codeField, StringArray& names,
                 StringArray& codes) {
  std::wstring path = g_systemDir + L"\\" + table;
  if (!os::isFile(path)) path = g_systemDir + L"\\系统文件\\" + table;
  if (!os::isFile(path)) {
    ed::printText(L"\n找不到" + g_systemDir + L"\\" + table + L"，001.DB没有分部行。\n");
    return;
  }
  tablelib::Table t(path);
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    names.push_back(tablelib::FieldAsString(t, nameField));
    codes.push_back(tablelib::FieldAsString(t, codeField));
  }
}

bool billRulesInForce() {
  return readIni(ProjectFolderPath() + L"\\000.GC", L"工程档案", L"工程量规则") == L"清单";
}
bool normSuffixInForce() { return readIni(g_baseDir + L"\\INIT.INI", L"软件设置", L"定额换算").empty(); }

// Appends each row's new computation lines to its 算式工程量 in table t,
// whose rows are those of source in order.
void appendComputationLines(tablelib::Handle t, const std::vector<SourceRow>& source) {
  size_t k = 0;
  for (tablelib::First(t); !tablelib::Eof(t) && k < source.size(); tablelib::Next(t), ++k) {
    if (source[k].added.empty()) continue;
    StringArray lines;
    SplitLines(source[k].calc, lines);
    lines.insert(lines.end(), source[k].added.begin(), source[k].added.end());
    std::wstring text;
    JoinLines(lines, text);
    tablelib::Edit(t);
    tablelib::WriteAsString(t, L"算式工程量", text);
    tablelib::Post(t);
  }
}

SourceRow readSourceRow(tablelib::Handle q) {
  SourceRow r;
  r.flag = tablelib::FieldAsString(q, L"标志");
  r.name = tablelib::FieldAsString(q, L"构件名称");
  if (r.flag != L"楼层") {
    r.number = tablelib::FieldAsString(q, L"编号");
    r.quantity = tablelib::FieldAsString(q, L"工程量");
    r.norm = tablelib::FieldAsString(q, L"定额");
    r.calc = tablelib::FieldAsString(q, L"算式工程量");
  }
  return r;
}

}  // namespace

bool WriteNormQtyTable() {
  TakeoffProgress(L"正在写入工程量定额表...");
  const std::wstring taken = TakenComponentName();
  const bool billRules = billRulesInForce();
  const bool suffix = normSuffixInForce();

  // The component rows, read once.
  std::vector<SourceRow> source;
  std::unordered_map<std::wstring, size_t> headers;
  {
    tablelib::Table q(ProjectTablePath(L"构件算量.DB"));
    for (tablelib::First(q); !tablelib::Eof(q); tablelib::Next(q)) {
      SourceRow r = readSourceRow(q);
      if (r.flag == L"楼层") headers.emplace(r.name, source.size());
      source.push_back(std::move(r));
    }
  }
  if (!ExtractTemplate(L"001")) return false;

  NormQtyBuilder builder(billRules, suffix);
  bool done = true;
  std::wstring floor;
  int count = 0;
  for (size_t i = 0; i < g_runFloorList.size() && done; ++i) {
    if (!RunFloorAt(i, floor, count)) continue;
    auto h = headers.find(FloorHeaderText(floor, count));
    if (h == headers.end()) continue;
    for (size_t k = h->second + 1; k < source.size() && source[k].flag != L"楼层"; ++k) {
      SourceRow& r = source[k];
      if (!taken.empty() && r.name != taken) continue;
      if (!TakeoffProgress(L"正在汇总...[" + floor + L"] " + r.name + L" " + r.number)) {
        done = false;
        break;
      }
      builder.addComponent(r, floor, count);
    }
  }
  if (!writeNormQtyFile(builder.rows())) done = false;

  // The components' own computation lines, each row written once.
  {
    tablelib::Table q(ProjectTablePath(L"构件算量.DB"));
    appendComputationLines(q, source);
  }
  KeepNormQtyRows(std::move(builder.rows()));
  return done;
}

// The region twin: the open region quantity table (g_quantityTable) into
// 区域001.DB, which the region run has extracted. Each floor and each region
// gets a header row, and rows are sorted and merged within their own floor
// and region only.
bool WriteRegionNormQtyTable() {
  TakeoffProgress(L"正在写入区域工程量定额表...");
  std::vector<SourceRow> source;
  for (tablelib::First(g_quantityTable); !tablelib::Eof(g_quantityTable); tablelib::Next(g_quantityTable))
    source.push_back(readSourceRow(g_quantityTable));

  NormQtyBuilder builder(billRulesInForce(), normSuffixInForce());
  bool done = true;
  std::wstring floor;
  int count = 1;
  for (SourceRow& r : source) {
    if (r.flag == L"楼层") {
      // "■floor=count"
      const size_t eq = r.name.rfind(L'=');
      const size_t from = r.name.rfind(L'■', 0) == 0 ? 1 : 0;
      floor = r.name.substr(from, eq == std::wstring::npos ? std::wstring::npos : eq - from);
      count = eq == std::wstring::npos ? 1 : std::wcstol(r.name.c_str() + eq + 1, nullptr, 10);
      count = std::max(1, count);
      builder.addHeader(r.name, L"楼层");
      continue;
    }
    if (r.flag == L"区域") builder.addHeader(r.name, L"区域");
    if (!TakeoffProgress(L"正在汇总...[" + floor + L"] " + r.name + L" " + r.number)) {
      done = false;
      break;
    }
    builder.addComponent(r, floor, count);
  }
  if (!writeNormQtyFile(builder.rows(), L"区域001.DB")) done = false;
  appendComputationLines(g_quantityTable, source);
  return done;
}

bool AddChapterRows() {
  static StringArray normNames, normCodes, billNames, billCodes;
  if (normNames.empty()) readLibrary(L"定额库.DB", L"定额名称", L"定额编号", normNames, normCodes);
  if (billNames.empty()) readLibrary(L"项目库.DB", L"项目名称", L"项目编号", billNames, billCodes);

  std::vector<NormQtyRow> rows;
  if (const std::vector<NormQtyRow>* kept = NormQtyRowsOfRun())
    rows = *kept;
  else
    ReadNormQtyTable(rows);
  bool bill = false;
  for (const NormQtyRow& r : rows) bill = bill || r.kind == L"项";
  const size_t before = rows.size();
  InsertChapterRows(rows, bill ? L"项" : L"定额", bill ? billNames : normNames, bill ? billCodes : normCodes);
  if (rows.size() == before) {
    KeepNormQtyRows(std::move(rows));
    return true;
  }
  // The chapter rows go in front of their first rows: the table is walked
  // once and each chapter row inserted before the row it heads.
  {
    tablelib::Table t(ProjectTablePath(L"001.DB"));
    tablelib::First(t);
    for (const NormQtyRow& r : rows) {
      if (r.inserted) {
        tablelib::Insert(t);
        tablelib::WriteAsString(t, L"名称", r.name);
        tablelib::WriteAsString(t, L"标志", r.kind);
        tablelib::Post(t);
      }
      tablelib::Next(t);
    }
  }
  for (NormQtyRow& r : rows) r.inserted = false;
  KeepNormQtyRows(std::move(rows));
  return true;
}
