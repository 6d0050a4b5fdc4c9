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
#include <cstdint>
#include <cwchar>
#include <map>
#include <unordered_map>

#include "module/takeoff/qty_rows_cache.h"
#include "module/takeoff/region_takeoff.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/result_writers.h"
#include "module/takeoff/takeoff_state.h"
#include "module/takeoff/writer_fields.h"
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

// One quantity line taken apart: label, section, flag, type, parameter,
// location, expression, result; views into the component's 工程量 text.
struct QtyLine {
  std::wstring_view label, section, type, param, location, expression;
  double value = 0;
};

// The fields of a quantity line (fields holds its pieces afterwards). A line
// of more than eight fields has "=" inside its expression: the result is the
// last field and the expression everything between the location and it. A
// line of seven fields has no result and counts 0.
bool parseQtyLine(std::wstring_view line, QtyLine& out, std::vector<std::wstring_view>& f) {
  writerio::PiecesOf(line, L'=', f);
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
  // The pieces lie in the line in order, so the expression is the stretch
  // from the seventh piece to the end of the last but one.
  const std::wstring_view& last = f[f.size() - 2];
  out.expression = std::wstring_view(f[6].data(), static_cast<size_t>(last.data() + last.size() - f[6].data()));
  out.value = writerio::NumberOf(f.back());
  return true;
}

// The values of one section of a component's norm text.
struct Section {
  std::wstring name, kind, type, code, title, unit, note, material;
  StringArray fees;
  // The numbered adjustments as stored, and those of them that count (three
  // parts or more) as computation lines: their header first, then each entry.
  size_t adjustmentCount = 0;
  StringArray adjustmentLines;
  double adjustmentSum = 0;
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
  StringArray adjustments;
  numbered(L"增减", adjustments);
  s.adjustmentCount = adjustments.size();
  s.adjustmentLines.clear();
  s.adjustmentSum = 0;
  std::vector<std::wstring_view> parts;
  for (const std::wstring& a : adjustments) {
    writerio::PiecesOf(a, kCalcSep, parts);
    if (parts.size() < 3) continue;
    if (s.adjustmentLines.empty()) s.adjustmentLines.emplace_back();
    s.adjustmentSum += writerio::NumberOf(parts[2]);
    s.adjustmentLines.push_back(a);
  }
  if (!s.adjustmentLines.empty()) s.adjustmentLines[0] = L"=//增减量:://增减量::" + PrecStr(s.adjustmentSum, 5);
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

// Gathers the rows of 001.DB. The rows form a list in table order (inserting
// in the middle costs nothing), with the empty row that stays last at its
// tail. A row is found or made per section of every component: under the bill
// rules by the scan of the rows of the current floor or region that decides
// between insertion and match row by row; otherwise, where the rows stand in
// the order of their code keys, by a lookup of the match and of the first row
// with a greater key.
class NormQtyBuilder {
 public:
  // added: per component row, the lines its own 算式工程量 receives ("\r\n"
  // between lines); the 001 rows take their lines from these texts.
  NormQtyBuilder(bool billRules, bool suffix, std::vector<std::wstring>& added)
      : billRules_(billRules), suffix_(suffix), added_(added) {
    head_ = tail_ = newNode();  // the empty row that stays last
  }

  // The sections of component row k of a floor.
  void addComponent(const QuantityRow& src, size_t k, const std::wstring& floor, int count) {
    // The component's added text grows in a buffer kept between components
    // and is stored once, at its final size.
    text_.assign(added_[k]);
    addSections(src, k, floor, count);
    if (text_.size() != added_[k].size()) added_[k] = std::wstring(text_);
    text_.clear();
  }

  void addSections(const QuantityRow& src, size_t k, const std::wstring& floor, int count) {
    writerio::LinesOf(src.quantity, raw_);
    lines_.clear();
    for (std::wstring_view l : raw_) {
      QtyLine q;
      if (parseQtyLine(l, q, pieces_)) lines_.push_back(q);
    }
    floorText_.assign(L"//").append(floor).append(L"=").append(std::to_wstring(count));
    countText_ = std::to_wstring(count);
    // A component's norms belong to its own bill items only: a component
    // without a bill section does not inherit the previous one's.
    billCode_.clear();
    billName_.clear();
    for (const Section& s : sectionsOf(src.norm)) {
      if (s.kind == L"项") {
        billCode_ = s.code;
        billName_ = s.title;
      }
      if (s.code.empty() || (s.adjustmentCount == 0 && !givesQuantity(s))) continue;
      title_ = s.title;
      if (suffix_)
        for (const QtyLine& q : lines_)
          if (!q.param.empty() && q.section == s.name && q.type == s.type) {
            title_.append(L"[").append(q.param).append(L"]");
            break;
          }
      const uint32_t row = findOrInsert(s, title_);
      addQuantities(row, src, k, s, count);
    }
  }

  // Whether a line of the section's items has a quantity: a section whose
  // items come to nothing for the component (no line, or only zeros, as an
  // insulation of thickness 0) makes no row.
  bool givesQuantity(const Section& s) const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const QtyLine& q) { return q.section == s.name && q.type == s.type && q.value != 0; });
  }

  // A floor or region header: the empty last row takes the header text, a
  // new empty row follows, and rows are sorted and merged from there on.
  void addHeader(const std::wstring& text, const wchar_t* kind) {
    nodes_[tail_].row.code = text;
    nodes_[tail_].row.kind = kind;
    const uint32_t n = newNode();
    link(n, tail_, kNone);
    sectionHeader_ = tail_;
    tail_ = n;
    firstOfKey_.clear();
    match_.clear();
  }

  // The rows in table order, each with its computation lines gathered into
  // one block of its final size; the builder is empty afterwards.
  std::vector<NormQtyRow> takeRows() {
    std::vector<NormQtyRow> out;
    out.reserve(nodes_.size());
    // Each row's text at its final size first, then the lines in the order
    // they were made, which walks the components' texts once, in order.
    for (Node& n : nodes_)
      if (n.lineCount != 0) n.row.lines.reserve(n.chars, n.lineCount);
    for (const LineRef& l : lineRefs_)
      nodes_[l.node].row.lines.push_back(std::wstring_view(added_[l.component]).substr(l.begin, l.length));
    std::vector<LineRef>().swap(lineRefs_);
    for (uint32_t i = head_; i != kNone; i = nodes_[i].next) out.push_back(std::move(nodes_[i].row));
    nodes_.clear();
    return out;
  }

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  // A computation line of a row: where it stands in a component's text.
  struct LineRef {
    uint32_t node, component, begin, length;
  };
  struct Node {
    NormQtyRow row;
    std::wstring key;  // comparison key of the sort code
    double multiplier = 1;  // of the unit
    uint32_t prev = kNone, next = kNone;
    // Its computation lines: their number and characters with separators.
    size_t chars = 0, lineCount = 0;
  };

  uint32_t newNode() {
    nodes_.emplace_back();
    return static_cast<uint32_t>(nodes_.size() - 1);
  }
  void link(uint32_t n, uint32_t prev, uint32_t next) {
    nodes_[n].prev = prev;
    nodes_[n].next = next;
    if (prev != kNone) nodes_[prev].next = n;
    else head_ = n;
    if (next != kNone) nodes_[next].prev = n;
  }

  // The sections of a norm text, read once per distinct text (components of
  // one kind mostly carry the same text).
  const std::vector<Section>& sectionsOf(const std::wstring& norm) {
    auto it = sectionCache_.find(norm);
    if (it != sectionCache_.end()) return it->second;
    std::vector<Section>& out = sectionCache_[norm];
    StringArray names;
    NormTextSections(norm, names);
    out.resize(names.size());
    for (size_t i = 0; i < names.size(); ++i) readSection(norm, names[i], out[i]);
    return out;
  }

  bool matches(const NormQtyRow& r, const Section& s, const std::wstring& title) const {
    return r.code == s.code && r.keep1 == title && r.material == s.material &&
           (!billRules_ || r.billName.empty() || r.billName == billName_);
  }

  void probeOf(const std::wstring& key, const Section& s, const std::wstring& title) {
    probe_.assign(key).append(1, L'\0').append(s.code).append(1, L'\0').append(title).append(1, L'\0').append(
        s.material);
  }

  uint32_t findOrInsert(const Section& s, const std::wstring& title) {
    sortCode_ = s.kind == L"定额" ? billCode_ + s.code : s.code;
    const std::wstring newKey = CodeKey(sortCode_);
    if (!billRules_) {
      // The rows of the section stand in key order: a row with the same key,
      // code, name and materials is the section's row; else the new row goes
      // in front of the first row with a greater key.
      probeOf(newKey, s, title);
      auto m = match_.find(probe_);
      if (m != match_.end()) return m->second;
      auto greater = firstOfKey_.upper_bound(newKey);
      const uint32_t row = insertBefore(greater == firstOfKey_.end() ? tail_ : greater->second, s, title, newKey);
      firstOfKey_.emplace(newKey, row);
      match_.emplace(probe_, row);
      return row;
    }
    const uint32_t first = sectionHeader_ == kNone ? head_ : nodes_[sectionHeader_].next;
    for (uint32_t i = first; i != kNone; i = nodes_[i].next) {
      const Node& n = nodes_[i];
      const NormQtyRow& r = n.row;
      if (r.sortCode.empty()) continue;
      const std::wstring& oldKey = n.key;
      if (newKey > oldKey) continue;
      bool insert = false;
      if (s.kind == L"项" && r.kind == L"项") {
        insert = newKey < oldKey;
      } else if (newKey != oldKey) {
        const NormQtyRow& before = n.prev == kNone ? r : nodes_[n.prev].row;
        insert = r.billName == billName_ || before.billName == billName_;
      }
      if (insert) return insertBefore(i, s, title, newKey);
      if (matches(r, s, title)) return i;
    }
    return insertBefore(tail_, s, title, newKey);
  }

  // Inserts the row and its description rows in front of row `before`.
  uint32_t insertBefore(uint32_t before, const Section& s, const std::wstring& title, const std::wstring& key) {
    const uint32_t id = newNode();
    Node& n = nodes_[id];
    n.key = key;
    NormQtyRow& r = n.row;
    r.code = s.code;
    r.keep1 = title;
    r.unit = s.unit;
    r.note = s.note;
    r.material = s.material;
    r.kind = s.kind;
    r.fees = s.fees;
    r.sortCode = sortCode_;
    r.billName = billName_;
    r.standardUnit = standardUnitOf(r.unit);
    n.multiplier = multiplierOf(r.unit);
    link(id, nodes_[before].prev, before);
    // The name's further lines (after each "\r" as two characters) go into
    // description rows.
    size_t b = title.find(L"\\r");
    r.name = title.substr(0, b);
    while (b != std::wstring::npos) {
      const size_t a = b + 2;
      b = title.find(L"\\r", a);
      const uint32_t d = newNode();
      nodes_[d].row.name = title.substr(a, b == std::wstring::npos ? std::wstring::npos : b - a);
      nodes_[d].row.kind = L"描述";
      nodes_[d].row.billName = billName_;
      link(d, nodes_[before].prev, before);
    }
    return id;
  }

  // The section's lines of the component: its item lines under their floor
  // header, and the section's adjustments. They go into the component's own
  // text after the norm line; the row refers to them there.
  void addQuantities(uint32_t id, const QuantityRow& src, size_t k, const Section& s, int count) {
    Node& node = nodes_[id];
    NormQtyRow& row = node.row;
    double itemSum = 0;
    items_.clear();
    itemEnds_.clear();
    for (const QtyLine& q : lines_) {
      if (q.section != s.name || q.type != s.type) continue;
      items_.append(L"\r\n").append(src.name).append(1, L':').append(q.label).append(1, L'=').append(src.number);
      if (count >= 2) items_.append(1, L'=').append(countText_);
      if (!q.location.empty()) items_.append(1, L':').append(q.location);
      const double v = RoundTo(q.value * count, 5);
      PrecStrTo(v, 5, number_);
      items_.append(1, kCalcSep).append(q.expression).append(1, kCalcSep).append(number_);
      itemSum += v;
      itemEnds_.push_back(items_.size());
    }
    const double adjSum = s.adjustmentLines.empty() ? 0 : s.adjustmentSum;
    row.standardQty += itemSum + adjSum;
    row.quantity = RoundTo(row.standardQty / node.multiplier, 5);
    row.hasQuantity = true;

    std::wstring& added = text_;
    if (!added.empty()) added.append(L"\r\n");
    added.append(s.kind).append(1, L'=').append(s.code).append(1, kCalcSep).append(row.keep1).append(1, kCalcSep);
    PrecStrTo(itemSum + adjSum, 5, number_);
    added.append(number_).append(1, kCalcSep).append(row.standardUnit);
    auto ref = [&](size_t begin, size_t length) {
      lineRefs_.push_back({id, static_cast<uint32_t>(k), static_cast<uint32_t>(begin), static_cast<uint32_t>(length)});
      node.chars += length + 2;
      ++node.lineCount;
    };
    auto line = [&](size_t begin) { ref(begin, added.size() - begin); };
    if (!itemEnds_.empty()) {
      // The floor header (with the items' sum) goes before the items.
      added.append(L"\r\n");
      size_t b = added.size();
      added.append(1, L'=').append(floorText_).append(1, kCalcSep).append(floorText_).append(1, kCalcSep);
      PrecStrTo(itemSum, 5, number_);
      added.append(number_);
      line(b);
      const size_t itemsAt = added.size();
      added.append(items_);
      for (size_t i = 0, e = 0; i < itemEnds_.size(); e = itemEnds_[i++])
        ref(itemsAt + e + 2, itemEnds_[i] - e - 2);
    }
    for (const std::wstring& a : s.adjustmentLines) {
      added.append(L"\r\n");
      const size_t b = added.size();
      added.append(a);
      line(b);
    }
  }

  bool billRules_, suffix_;
  std::vector<std::wstring>& added_;
  std::wstring billCode_, billName_;
  std::vector<Node> nodes_;
  uint32_t head_ = kNone, tail_ = kNone;
  // The header row of the current floor or region (none before the first):
  // the rows up to it belong to earlier floors or regions.
  uint32_t sectionHeader_ = kNone;
  // Outside the bill rules: the first row of each key, and each row by its
  // key, code, name and materials, within the current floor or region.
  std::map<std::wstring, uint32_t> firstOfKey_;
  std::unordered_map<std::wstring, uint32_t> match_;
  std::unordered_map<std::wstring, std::vector<Section>> sectionCache_;
  // Every row's computation lines, in the order they were made.
  std::vector<LineRef> lineRefs_;
  // Per component and section, kept for their buffers.
  std::vector<QtyLine> lines_;
  std::vector<std::wstring_view> raw_, pieces_;
  std::wstring floorText_, countText_, title_, sortCode_, probe_, number_;
  // The text added to the current component (stored into added_ at its end).
  std::wstring text_;
  // The component's item lines of a section, each after "\r\n", and where
  // each ends.
  std::wstring items_;
  std::vector<size_t> itemEnds_;
};

void writeRow(tablelib::Handle t, const NormQtyRow& r) {
  tablelib::Append(t);
  using writerio::PutIfAny;
  PutIfAny(t, L"编号", r.code);
  PutIfAny(t, L"名称", r.name);
  PutIfAny(t, L"Keep1", r.keep1);
  PutIfAny(t, L"单位", r.unit);
  PutIfAny(t, L"附注信息", r.note);
  PutIfAny(t, L"材料", r.material);
  PutIfAny(t, L"标志", r.kind);
  for (size_t i = 0; i < r.fees.size() && i < 8; ++i) PutIfAny(t, kFeeFields[i], r.fees[i]);
  if (r.hasQuantity) {
    PutIfAny(t, L"标准单位", r.standardUnit);
    tablelib::WriteAsString(t, L"标准工程量", FloatFieldText(r.standardQty));
    tablelib::WriteAsString(t, L"工程量", FloatFieldText(r.quantity));
  }
  if (!r.lines.empty()) tablelib::WriteAsString(t, L"算式工程量", r.lines.c_str());
  tablelib::Post(t);
}

bool writeNormQtyFile(const std::vector<NormQtyRow>& rows, const wchar_t* table = L"001.DB") {
  tablelib::Table t(ProjectTablePath(table));
  if (tablelib::FieldCount(t) <= 0) {
    NoteRunFailure(L"\n无法打开" + ProjectTablePath(table) + L"，此表未写入。\n");
    return false;
  }
  for (const NormQtyRow& r : rows) writeRow(t, r);
  return true;
}

bool normQtyFileOpens() {
  tablelib::Table t(ProjectTablePath(L"001.DB"));
  if (tablelib::FieldCount(t) > 0) return true;
  NoteRunFailure(L"\n无法打开" + ProjectTablePath(L"001.DB") + L"，此表未写入。\n");
  return false;
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

// Reads the 工程量 and 定额 of record k of the component table into a row
// for the time it is used, in two texts whose room serves every row.
class NormInputReader {
 public:
  explicit NormInputReader(tablelib::Handle t) : t_(t) {}
  void lend(size_t k, QuantityRow& row) {
    moveTo(k);
    tablelib::ReadFieldInto(t_, L"工程量", quantity_);
    tablelib::ReadFieldInto(t_, L"定额", norm_);
    row.quantity.swap(quantity_);
    row.norm.swap(norm_);
  }
  void takeBack(QuantityRow& row) {
    row.quantity.swap(quantity_);
    row.norm.swap(norm_);
  }

 private:
  // The rows are mostly asked for in table order: a step forward each.
  void moveTo(size_t k) {
    if (k < at_ || !started_) {
      tablelib::First(t_);
      at_ = 0;
      started_ = true;
    }
    for (; at_ < k && !tablelib::Eof(t_); ++at_) tablelib::Next(t_);
  }
  tablelib::Handle t_;
  size_t at_ = 0;
  bool started_ = false;
  std::wstring quantity_, norm_;
};

// Appends to each row's 算式工程量, in table t (whose rows are those of
// source, in order) and in source, the lines that the norm writer made for
// it (added[k] for row k, empty for none).
void appendComputationLines(tablelib::Handle t, std::vector<QuantityRow>& source, std::vector<std::wstring>& added) {
  size_t k = 0;
  for (tablelib::First(t); !tablelib::Eof(t) && k < source.size(); tablelib::Next(t), ++k) {
    if (added[k].empty()) continue;
    // The row's own lines as SplitLines and JoinLines leave them (the text
    // trimmed), then the new ones.
    std::wstring text;
    if (!source[k].calc.empty()) {
      const std::wstring_view old = TrimWhiteView(source[k].calc);
      text.reserve(old.size() + 2 + added[k].size());
      text.append(old).append(L"\r\n").append(added[k]);
    } else {
      text = std::move(added[k]);
    }
    tablelib::Edit(t);
    tablelib::WriteAsString(t, L"算式工程量", text);
    tablelib::Post(t);
    SetQuantityRowCalc(source[k], std::move(text));
    std::wstring().swap(added[k]);
  }
}

}  // namespace

bool WriteNormQtyTable() {
  if (!TakeoffProgress(L"正在写入工程量定额表...")) return false;
  const std::wstring taken = TakenComponentName();
  const bool billRules = billRulesInForce();
  const bool suffix = normSuffixInForce();

  // The component rows, read once (shared with the other writers of a run).
  std::vector<QuantityRow> storage;
  std::vector<QuantityRow>& source = QuantityRowsForWriter(storage);
  // Their 工程量 and 定额, the largest texts, are read here row by row, as
  // each is used, and not kept.
  tablelib::Table q(ProjectTablePath(L"构件算量.DB"));
  NormInputReader inputs(q);
  std::unordered_map<std::wstring, size_t> headers;
  for (size_t k = 0; k < source.size(); ++k)
    if (source[k].flag == L"楼层") headers.emplace(source[k].name, k);
  if (!ExtractTemplate(L"001")) return false;

  std::vector<std::wstring> added(source.size());
  NormQtyBuilder builder(billRules, suffix, added);
  bool done = true;
  std::wstring floor, message;
  int count = 0;
  for (size_t i = 0; i < g_runFloorList.size() && done; ++i) {
    if (!RunFloorAt(i, floor, count)) continue;
    auto h = headers.find(FloorHeaderText(floor, count));
    if (h == headers.end()) continue;
    for (size_t k = h->second + 1; k < source.size() && source[k].flag != L"楼层"; ++k) {
      const QuantityRow& r = source[k];
      if (!taken.empty() && r.name != taken) continue;
      message.assign(L"正在汇总...[").append(floor).append(L"] ").append(r.name).append(L" ").append(r.number);
      if (!TakeoffProgress(message)) {
        done = false;
        break;
      }
      inputs.lend(k, source[k]);
      builder.addComponent(r, k, floor, count);
      inputs.takeBack(source[k]);
    }
  }
  std::vector<NormQtyRow> rows = builder.takeRows();
  // In a writer run the chapter writer, which comes next, writes the rows
  // (unless this run ends here).
  const bool defer = done && InWriterRun();
  if (defer ? !normQtyFileOpens() : !writeNormQtyFile(rows)) done = false;

  // The components' own computation lines, each row written once: in a
  // writer run, while the writers that need no component rows go on.
  q.close();
  LeaveRowWork([&source, added = std::move(added)]() mutable {
    tablelib::Table t(ProjectTablePath(L"构件算量.DB"));
    appendComputationLines(t, source, added);
  });
  KeepNormQtyRows(std::move(rows));
  SetNormQtyRowsPending(defer && done);
  return done;
}

// The region twin: the open region quantity table (g_quantityTable) into
// 区域001.DB, which the region run has extracted. Each floor and each region
// gets a header row, and rows are sorted and merged within their own floor
// and region only.
bool WriteRegionNormQtyTable() {
  if (!TakeoffProgress(L"正在写入区域工程量定额表...")) return false;
  std::vector<QuantityRow> source;
  ReadQuantityRows(g_quantityTable, source);

  std::vector<std::wstring> added(source.size());
  NormQtyBuilder builder(billRulesInForce(), normSuffixInForce(), added);
  bool done = true;
  std::wstring floor;
  int count = 1;
  for (size_t k = 0; k < source.size(); ++k) {
    const QuantityRow& r = source[k];
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
    builder.addComponent(r, k, floor, count);
  }
  if (!writeNormQtyFile(builder.takeRows(), L"区域001.DB")) done = false;
  appendComputationLines(g_quantityTable, source, added);
  return done;
}

void FlushPendingNormQtyTable() {
  if (!NormQtyRowsPending()) return;
  SetNormQtyRowsPending(false);
  writeNormQtyFile(*NormQtyRowsOfRun());
}

ChapterRows PlaceChapterRows() {
  static StringArray normNames, normCodes, billNames, billCodes;
  if (normNames.empty()) readLibrary(L"定额库.DB", L"定额名称", L"定额编号", normNames, normCodes);
  if (billNames.empty()) readLibrary(L"项目库.DB", L"项目名称", L"项目编号", billNames, billCodes);

  // The rows kept by the norm writer are taken over (and kept again below)
  // rather than copied with all their computation lines.
  std::vector<NormQtyRow> rows;
  ChapterRows placed;
  placed.pending = NormQtyRowsPending();
  if (NormQtyRowsOfRun())
    rows = TakeNormQtyRows();
  else
    ReadNormQtyTable(rows);
  bool bill = false;
  for (const NormQtyRow& r : rows) bill = bill || r.kind == L"项";
  const size_t before = rows.size();
  InsertChapterRows(rows, bill ? L"项" : L"定额", bill ? billNames : normNames, bill ? billCodes : normCodes);
  placed.added = rows.size() != before;
  KeepNormQtyRows(std::move(rows));
  return placed;
}

void WriteChapterRows(const ChapterRows& placed) {
  const std::vector<NormQtyRow>& rows = *NormQtyRowsOfRun();
  // The norm writer's rows are not written yet: all rows in one pass.
  if (placed.pending) {
    writeNormQtyFile(rows);
    return;
  }
  if (!placed.added) return;
  // The chapter rows go in front of their first rows: the table is walked
  // once and each chapter row inserted before the row it heads.
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

void SettleChapterRows() {
  std::vector<NormQtyRow> rows = TakeNormQtyRows();
  for (NormQtyRow& r : rows) r.inserted = false;
  KeepNormQtyRows(std::move(rows));
}

bool AddChapterRows() {
  WriteChapterRows(PlaceChapterRows());
  SettleChapterRows();
  return true;
}
