// Internal helpers shared by the files of the os layer.
#pragma once

#include <string>

namespace os::detail {

void setError(std::string message);
void clearError();
// Returns false after recording the message: `return fail("...")`.
inline bool fail(std::string message) {
  setError(std::move(message));
  return false;
}

}  // namespace os::detail
