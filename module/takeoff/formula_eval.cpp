#include "module/takeoff/formula_eval.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/suite_call.h"

namespace {

// While a formula is worked on, each value's name is one character of the
// private use plane, standing for the name in a side list: operators and
// brackets inside names then never take part in the term scans.
constexpr wchar_t kNameMarkBase = 0xF0000;

bool isNameMark(wchar_t c) { return c >= kNameMarkBase && c < kNameMarkBase + 0xFFFD; }

// What a mark stands for: a given value's name, without its first character
// for a deduction or addition.
struct MarkRef {
  const std::wstring* name;
  size_t from;
};

// The buffers of one evaluation, kept between evaluations: a take-off
// evaluates millions of items, each a handful of short texts.
struct Scratch {
  std::wstring text;  // the formula being worked on, values followed by marks
  std::vector<MarkRef> marks;
  std::wstring plain, eval, result, head, param;

  wchar_t mark(const std::wstring& name, size_t from) {
    marks.push_back({&name, from});
    return static_cast<wchar_t>(kNameMarkBase + marks.size() - 1);
  }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

double numberOf(const std::wstring& text) { return ReadNumber(text); }

// The text read as a number is below 0 (only a text whose first character
// after blanks is "-" can be).
bool isNegative(const std::wstring& text) {
  size_t p = text.find_first_not_of(L" \t\r\n\v\f");
  return p != std::wstring::npos && text[p] == L'-' && numberOf(text) < 0;
}

// Removes the term around the "0" at p: from the operator before it (or the
// bracket or start) to the operator or closing bracket after it.
void removeTermAt(std::wstring& t, size_t p) {
  size_t start = 0;
  for (size_t k = p; k-- > 0;) {
    wchar_t c = t[k];
    if (c == L'(' || c == L')') {
      start = p;
      break;
    }
    if (c == L'+' || c == L'-') {
      start = k;
      break;
    }
  }
  size_t end = t.size() - 1;
  for (size_t k = p + 1; k < t.size(); ++k) {
    wchar_t c = t[k];
    if (c == L'(') {
      end = p;
      break;
    }
    if (c == L'+' || c == L'-' || c == L')') {
      end = k - 1;
      break;
    }
  }
  if (end + 1 > start) t.erase(start, end + 1 - start);
}

void repairBrackets(std::wstring& t) {
  size_t p = t.find(L"()");
  if (p != std::wstring::npos) t.insert(p + 1, 1, L'0');
  p = t.find(L"(+");
  if (p != std::wstring::npos) t.erase(p + 1, 1);
}

// Replaces the reference at [p, p + len) by "0" and removes its term.
void dropReference(std::wstring& t, size_t p, size_t len) {
  t.replace(p, len, 1, L'0');
  removeTermAt(t, p);
  repairBrackets(t);
}

// The first reference open..close from the start: its position and length
// (npos when none is left).
size_t findReference(const std::wstring& t, wchar_t open, wchar_t close, size_t& len) {
  size_t a = t.find(open);
  if (a == std::wstring::npos) return a;
  size_t b = t.find(close, a + 1);
  if (b == std::wstring::npos) return b;
  len = b - a + 1;
  return a;
}

bool isAsciiAlnum(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// The text the base library evaluates, into out: values without their
// names, no ">0.3" condition, and no annotation (a run starting at a
// character of code 160 or above over such characters and ASCII letters and
// digits).
void evaluationText(const std::wstring& t, std::wstring& plain, std::wstring& out) {
  plain.clear();
  for (wchar_t c : t)
    if (!isNameMark(c)) plain += c;
  for (size_t p = plain.find(L">0.3"); p != std::wstring::npos; p = plain.find(L">0.3", p)) {
    wchar_t next = p + 4 < plain.size() ? plain[p + 4] : L'\0';
    if ((next >= L'0' && next <= L'9') || next == L'.') {
      ++p;
      continue;
    }
    plain.erase(p, 4);
  }
  out.clear();
  for (size_t i = 0; i < plain.size();) {
    if (static_cast<unsigned>(plain[i]) >= 160) {
      ++i;
      while (i < plain.size() && (static_cast<unsigned>(plain[i]) >= 160 || isAsciiAlnum(plain[i]))) ++i;
      continue;
    }
    out += plain[i++];
  }
}

// Appends the worked text with every mark written out as its name.
void appendDisplayText(const Scratch& w, std::wstring& out) {
  for (wchar_t c : w.text) {
    if (isNameMark(c)) {
      const MarkRef& m = w.marks[c - kNameMarkBase];
      out.append(*m.name, m.from, std::wstring::npos);
    } else {
      out += c;
    }
  }
}

double evaluate(const std::wstring& expression) {
  // On the stack: a heap block of this size per evaluation makes the
  // allocator sweep its small free blocks each time.
  wchar_t buf[256] = {};
  SuiteCall<int(const wchar_t*, wchar_t*, int)>::call(SuiteModule::Base, "Dll_ExpressMath_W", 0,
                                                       expression.c_str(), buf, 0);
  buf[255] = L'\0';
  return ReadNumber(std::wstring_view(buf, std::wcslen(buf)));
}

// The formula with the values put in, evaluated: line := head "=" the
// expression "=" the result. False for an empty formula (no line).
bool formulaLine(const std::wstring& formula, const StringArray& names, const StringArray& values,
                 const std::wstring& head, std::wstring& line) {
  if (formula.empty()) return false;
  const size_t n = std::min(names.size(), values.size());
  Scratch& w = scratch();
  w.text.clear();
  w.marks.clear();
  for (wchar_t c : formula)
    if (!isNameMark(c)) w.text += c;

  // The first name equal to the text between a pair of brackets at [a, b).
  auto nameAt = [&](size_t a, size_t b) -> int {
    for (size_t i = 0; i < n; ++i)
      if (names[i].size() == b - a && w.text.compare(a, b - a, names[i]) == 0) return static_cast<int>(i);
    return -1;
  };
  // Walks the references open..close from the start; each that names a given
  // value is handed to use (position, length, index), which answers where the
  // walk goes on.
  auto eachReference = [&](wchar_t open, wchar_t close, auto&& use) {
    for (size_t p = w.text.find(open); p != std::wstring::npos; p = w.text.find(open, p)) {
      size_t end = w.text.find(close, p + 1);
      if (end == std::wstring::npos) break;
      int i = nameAt(p + 1, end);
      p = i < 0 ? p + 1 : use(p, end + 1 - p, static_cast<size_t>(i));
    }
  };
  auto insertValue = [&](size_t p, size_t len, const std::wstring& value, const std::wstring& name, size_t from) {
    const wchar_t m = w.mark(name, from);
    w.text.replace(p, len, value);
    w.text.insert(p + value.size(), 1, m);
    return p + value.size() + 1;
  };
  if (w.text.find(L'{') != std::wstring::npos) {
    // Each reference to a given name becomes its value and the name's mark.
    eachReference(L'{', L'}', [&](size_t p, size_t len, size_t i) { return insertValue(p, len, values[i], names[i], 0); });
    size_t len = 0;
    for (size_t p; (p = findReference(w.text, L'{', L'}', len)) != std::wstring::npos;)
      dropReference(w.text, p, len);
  }
  eachReference(L'[', L']', [&](size_t p, size_t len, size_t i) {
    const std::wstring& v = values[i];
    if (!v.empty() && v[0] >= L'0' && v[0] <= L'9' && numberOf(v) < 0.001) {
      dropReference(w.text, p, len);
      return p;
    }
    const std::wstring& name = names[i];
    const size_t from = !name.empty() && (name[0] == L'扣' || name[0] == L'加') ? 1 : 0;
    return insertValue(p, len, v, name, from);
  });
  // A deduction or addition that names no given value does not apply.
  size_t len = 0;
  for (size_t p; (p = findReference(w.text, L'[', L']', len)) != std::wstring::npos;)
    dropReference(w.text, p, len);

  evaluationText(w.text, w.plain, w.eval);
  double result = evaluate(w.eval);
  if (result < 0.003) result = 0;
  PrecStrTo(result, 5, w.result);
  line.clear();
  line.reserve(head.size() + w.text.size() + w.result.size() + 64);
  line += head;
  line += L'=';
  appendDisplayText(w, line);
  line += L'=';
  line += w.result;
  return true;
}

// The result text at the end of a quantity line (it holds no "=").
std::wstring resultOf(const std::wstring& line) { return line.substr(line.rfind(L'=') + 1); }

}  // namespace

void EvaluateCalcFormula(const std::wstring& type, const std::wstring& formula, StringArray& names,
                         StringArray& values, StringArray& lines) {
  std::wstring line;
  const std::wstring head = names.empty() ? std::wstring() : names[0];
  if (!formulaLine(formula, names, values, head, line)) return;
  names.push_back(type);
  values.push_back(resultOf(line));
  lines.push_back(std::move(line));
}

bool ParseCalcItem(const std::wstring& item, CalcItemParts& out) {
  size_t eq = item.find(L'=');
  if (eq == std::wstring::npos) return false;
  StringArray f;
  SplitToArray(item.substr(0, eq), L":", f);
  if (f.size() < 4) return false;
  out.section = f[0];
  out.flag = f[1];
  out.type = f[2];
  out.param = f[3];
  for (size_t i = 4; i < f.size(); ++i) out.param += L":" + f[i];
  out.formula = item.substr(eq + 1);
  return true;
}

void EvaluateCalcItem(const std::wstring& kind, const std::wstring& item, StringArray& names,
                      StringArray& values, StringArray& lines) {
  (void)kind;
  CalcItemParts parts;
  if (ParseCalcItem(item, parts)) EvaluateCalcParts(parts, names, values, lines);
}

bool EvaluateCalcPartsLine(const CalcItemParts& item, StringArray& names, StringArray& values, std::wstring& line) {
  Scratch& w = scratch();
  // The new head: label, the item's section, flag, type and parameter, and
  // the location, from the given head "label=…=location".
  std::wstring& head = w.head;
  head.clear();
  std::wstring_view label, tail;
  if (!names.empty()) {
    const std::wstring& h = names[0];
    size_t first = h.find(L'=');
    if (first == std::wstring::npos) return false;
    label = std::wstring_view(h).substr(0, first);
    size_t second = h.find(L'=', first + 1);
    tail = std::wstring_view(h).substr((second == std::wstring::npos ? first : second) + 1);
  }
  std::wstring& param = w.param;
  param = item.param;
  if (!param.empty()) {
    // The first name equal to the parameter (an exact search, as the base
    // library's line lookup does).
    int i = static_cast<int>(std::find(names.begin(), names.end(), param) - names.begin());
    if (i == static_cast<int>(names.size())) i = -1;
    if (i < 0 || i >= static_cast<int>(values.size())) {
      param.clear();
    } else if (values[i] != L"默认" && !values[i].empty()) {
      param = values[i];
    } else {
      if (param.find(L"砼等级") != std::wstring::npos) param = g_runConcreteGrade;
      if (param.find(L"砂浆等级") != std::wstring::npos) param = g_runMortarGrade;
    }
  }
  for (size_t i = 1; i < values.size(); ++i)
    if (isNegative(values[i])) values[i] = L"0";
  head.reserve(label.size() + item.section.size() + item.flag.size() + item.type.size() + param.size() +
               tail.size() + 5);
  head.append(label);
  (((head += L'=') += item.section) += L'=') += item.flag;
  (((head += L'=') += item.type) += L'=') += param;
  head += L'=';
  head.append(tail);
  if (names.empty()) {
    names.push_back(head);
    values.emplace_back();
  } else {
    names[0].swap(head);
  }
  return formulaLine(item.formula, names, values, names[0], line);
}

void EvaluateCalcParts(const CalcItemParts& item, StringArray& names, StringArray& values, StringArray& lines) {
  std::wstring line;
  if (!EvaluateCalcPartsLine(item, names, values, line)) return;
  names.push_back(item.type);
  values.push_back(resultOf(line));
  lines.push_back(std::move(line));
}
