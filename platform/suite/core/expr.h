// The arithmetic the take-off evaluates: numbers, + - * /, brackets, unary
// signs and blanks. Anything else is an error, never a crash or a hang.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace suite {

struct ExprResult {
  std::optional<double> value;  // nullopt on error
  std::string error;            // why, when there is no value
};

ExprResult evaluate(std::wstring_view expression);

}  // namespace suite
