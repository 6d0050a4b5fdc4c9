// The formula evaluator of the base library on any text: an answer or an
// error, never a crash or a hang; an answer is finite, reported the same way
// by the library's export, and its text evaluates back to the same number.
#include <algorithm>
#include <cmath>

#include "fuzz/fuzz_util.h"
#include "platform/os/os.h"
#include "platform/suite/core/expr.h"
#include "platform/suite/suite_abi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring expression = os::fromUtf8(fuzz::asText(data, size));
  expression = expression.substr(0, expression.find(L'\0'));  // what a C caller can pass

  const suite::ExprResult r = suite::evaluate(expression);
  FUZZ_CHECK(r.value || !r.error.empty(), "an error without a reason");
  wchar_t out[128];
  std::fill(std::begin(out), std::end(out), L'#');
  const int ok = Dll_ExpressMath_W(expression.c_str(), out, 0);
  FUZZ_CHECK(std::find(std::begin(out), std::end(out), L'\0') != std::end(out), "unterminated answer");
  // A value whose text does not fit the caller's 100 characters is refused
  // by the export, not cut short.
  const bool fits = r.value && std::fabs(*r.value) < 1e80;
  FUZZ_CHECK(ok == 0 || r.value.has_value(), "the export answers what the evaluator refuses");
  FUZZ_CHECK(!fits || ok != 0, "the export refuses a value the evaluator holds");
  if (!ok) {
    FUZZ_CHECK(std::wstring(out) == L"0", "a failed formula answers " + os::toUtf8(out));
    return 0;
  }
  const double v = *r.value;
  FUZZ_CHECK(std::isfinite(v), "a value out of range");
  if (std::fabs(v) < 1e15) {
    // The answer is text with at most 10 decimals; read back it is the value.
    const suite::ExprResult back = suite::evaluate(out);
    FUZZ_CHECK(back.value.has_value(), "the answer " + os::toUtf8(out) + " does not evaluate: " + back.error);
    FUZZ_CHECK(std::fabs(*back.value - v) <= 1e-9 * std::max(1.0, std::fabs(v)),
               "the answer " + os::toUtf8(out) + " is not the value");
  }
  return 0;
}
