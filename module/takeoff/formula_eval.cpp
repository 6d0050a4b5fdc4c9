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

struct Work {
  std::wstring text;
  StringArray marks;  // name of mark k

  wchar_t mark(const std::wstring& name) {
    marks.push_back(name);
    return static_cast<wchar_t>(kNameMarkBase + marks.size() - 1);
  }
};

double numberOf(const std::wstring& text) { return std::wcstod(text.c_str(), nullptr); }

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
  if (p != std::wstring::npos) t.insert(p + 1, L"0");
  p = t.find(L"(+");
  if (p != std::wstring::npos) t.erase(p + 1, 1);
}

// Replaces the reference at [p, p + len) by "0" and removes its term.
void dropReference(std::wstring& t, size_t p, size_t len) {
  t.replace(p, len, L"0");
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

// The text the base library evaluates: values without their names, no
// ">0.3" condition, and no annotation (a run starting at a character of code
// 160 or above over such characters and ASCII letters and digits).
std::wstring evaluationText(const std::wstring& t) {
  std::wstring s;
  for (wchar_t c : t)
    if (!isNameMark(c)) s += c;
  for (size_t p = s.find(L">0.3"); p != std::wstring::npos; p = s.find(L">0.3", p)) {
    wchar_t next = p + 4 < s.size() ? s[p + 4] : L'\0';
    if ((next >= L'0' && next <= L'9') || next == L'.') {
      ++p;
      continue;
    }
    s.erase(p, 4);
  }
  std::wstring out;
  for (size_t i = 0; i < s.size();) {
    if (static_cast<unsigned>(s[i]) >= 160) {
      ++i;
      while (i < s.size() && (static_cast<unsigned>(s[i]) >= 160 || isAsciiAlnum(s[i]))) ++i;
      continue;
    }
    out += s[i++];
  }
  return out;
}

std::wstring displayText(const Work& w) {
  std::wstring s;
  for (wchar_t c : w.text) {
    if (isNameMark(c))
      s += w.marks[c - kNameMarkBase];
    else
      s += c;
  }
  return s;
}

double evaluate(const std::wstring& expression) {
  // On the stack: a heap block of this size per evaluation makes the
  // allocator sweep its small free blocks each time.
  wchar_t buf[256] = {};
  SuiteCall<int(const wchar_t*, wchar_t*, int)>::call(SuiteModule::Base, "Dll_ExpressMath_W", 0,
                                                       expression.c_str(), buf, 0);
  buf[255] = L'\0';
  return numberOf(buf);
}

}  // namespace

void EvaluateCalcFormula(const std::wstring& type, const std::wstring& formula, StringArray& names,
                         StringArray& values, StringArray& lines) {
  if (formula.empty()) return;
  const size_t n = std::min(names.size(), values.size());
  Work w;
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
  auto insertValue = [&](size_t p, size_t len, const std::wstring& value, const std::wstring& name) {
    std::wstring insert = value;
    insert += w.mark(name);
    w.text.replace(p, len, insert);
    return p + insert.size();
  };
  if (w.text.find(L'{') != std::wstring::npos) {
    // Each reference to a given name becomes its value and the name's mark.
    eachReference(L'{', L'}', [&](size_t p, size_t len, size_t i) { return insertValue(p, len, values[i], names[i]); });
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
    std::wstring name = names[i];
    if (!name.empty() && (name[0] == L'扣' || name[0] == L'加')) name.erase(0, 1);
    return insertValue(p, len, v, name);
  });
  // A deduction or addition that names no given value does not apply.
  size_t len = 0;
  for (size_t p; (p = findReference(w.text, L'[', L']', len)) != std::wstring::npos;)
    dropReference(w.text, p, len);

  double result = evaluate(evaluationText(w.text));
  if (result < 0.003) result = 0;
  const std::wstring resultText = PrecStr(result, 5);
  const std::wstring head = names.empty() ? std::wstring() : names[0];
  names.push_back(type);
  values.push_back(resultText);
  lines.push_back(head + L"=" + displayText(w) + L"=" + resultText);
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

void EvaluateCalcParts(const CalcItemParts& item, StringArray& names, StringArray& values, StringArray& lines) {
  std::wstring head, tail;
  if (!names.empty()) {
    const std::wstring& h = names[0];
    size_t first = h.find(L'=');
    if (first == std::wstring::npos) return;
    head = h.substr(0, first);
    size_t second = h.find(L'=', first + 1);
    tail = h.substr((second == std::wstring::npos ? first : second) + 1);
  }
  std::wstring param = item.param;
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
  std::wstring newHead = head + L"=" + item.section + L"=" + item.flag + L"=" + item.type + L"=" + param + L"=" + tail;
  if (names.empty()) {
    names.push_back(newHead);
    values.push_back(L"");
  } else {
    names[0] = newHead;
  }
  EvaluateCalcFormula(item.type, item.formula, names, values, lines);
}
