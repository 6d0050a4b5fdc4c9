#include "platform/suite/core/expr.h"

#include <cmath>
#include <string>

namespace suite {

namespace {

// Recursive descent over the grammar
//   expr  := term (('+' | '-') term)*
//   term  := unary (('*' | '/') unary)*
//   unary := ('+' | '-') unary | '(' expr ')' | number
// with a nesting limit, so deep brackets or long sign runs end in an error.
class Parser {
 public:
  explicit Parser(std::wstring_view s) : s_(s) {}

  ExprResult run() {
    ExprResult r;
    skip();
    if (pos_ >= s_.size()) return fail("empty expression");
    double v = expr(0);
    if (!error_.empty()) return fail(error_);
    skip();
    if (pos_ < s_.size()) return fail("unexpected '" + narrowChar(s_[pos_]) + "' at " + std::to_string(pos_ + 1));
    if (!std::isfinite(v)) return fail("result out of range");
    r.value = v;
    return r;
  }

 private:
  static constexpr int kMaxDepth = 256;

  static std::string narrowChar(wchar_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    return "U+" + std::to_string(static_cast<unsigned>(c));
  }

  ExprResult fail(std::string why) {
    ExprResult r;
    r.error = std::move(why);
    return r;
  }

  void skip() {
    while (pos_ < s_.size() && (s_[pos_] == L' ' || s_[pos_] == L'\t' || s_[pos_] == L'\r' ||
                                s_[pos_] == L'\n' || s_[pos_] == 0x3000))
      ++pos_;
  }

  bool setError(const std::string& e) {
    if (error_.empty()) error_ = e;
    return false;
  }

  double expr(int depth) {
    if (depth > kMaxDepth) return setError("nested too deep"), 0;
    double v = term(depth);
    for (;;) {
      if (!error_.empty()) return 0;
      skip();
      if (pos_ < s_.size() && (s_[pos_] == L'+' || s_[pos_] == L'-')) {
        wchar_t op = s_[pos_++];
        double r = term(depth);
        v = op == L'+' ? v + r : v - r;
      } else {
        return v;
      }
    }
  }

  double term(int depth) {
    double v = unary(depth);
    for (;;) {
      if (!error_.empty()) return 0;
      skip();
      if (pos_ < s_.size() && (s_[pos_] == L'*' || s_[pos_] == L'/')) {
        wchar_t op = s_[pos_++];
        double r = unary(depth);
        if (!error_.empty()) return 0;
        if (op == L'*') {
          v *= r;
        } else {
          if (r == 0) return setError("division by zero"), 0;
          v /= r;
        }
      } else {
        return v;
      }
    }
  }

  double unary(int depth) {
    if (depth > kMaxDepth) return setError("nested too deep"), 0;
    skip();
    if (pos_ >= s_.size()) return setError("expression ends too early"), 0;
    wchar_t c = s_[pos_];
    if (c == L'+' || c == L'-') {
      ++pos_;
      double v = unary(depth + 1);
      return c == L'-' ? -v : v;
    }
    if (c == L'(') {
      ++pos_;
      double v = expr(depth + 1);
      if (!error_.empty()) return 0;
      skip();
      if (pos_ >= s_.size() || s_[pos_] != L')') return setError("missing ')'"), 0;
      ++pos_;
      return v;
    }
    return number();
  }

  double number() {
    size_t start = pos_;
    std::string text;
    while (pos_ < s_.size() && s_[pos_] >= L'0' && s_[pos_] <= L'9') text.push_back(static_cast<char>(s_[pos_++]));
    if (pos_ < s_.size() && s_[pos_] == L'.') {
      text.push_back('.');
      ++pos_;
      while (pos_ < s_.size() && s_[pos_] >= L'0' && s_[pos_] <= L'9') text.push_back(static_cast<char>(s_[pos_++]));
    }
    if (text.empty() || text == ".") {
      pos_ = start;
      if (pos_ >= s_.size()) return setError("expression ends too early"), 0;
      return setError("unexpected '" + narrowChar(s_[pos_]) + "' at " + std::to_string(pos_ + 1)), 0;
    }
    return std::strtod(text.c_str(), nullptr);
  }

  std::wstring_view s_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

ExprResult evaluate(std::wstring_view expression) { return Parser(expression).run(); }

}  // namespace suite
