// cadhost's script reader on any text: a list of inputs or the line of the
// first bad one, never a crash; every input carries the line it came from.
#include "fuzz/fuzz_util.h"
#include "platform/host/script.h"
#include "platform/os/os.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (host::registerHostDirectives(), true);
  (void)registered;
  const std::wstring text = os::fromUtf8(fuzz::asText(data, size));
  int lines = 0;
  for (wchar_t c : text) lines += c == L'\n';
  lines += !text.empty() && text.back() != L'\n';

  std::vector<ed::InputToken> tokens;
  host::ScriptError error;
  if (host::parseScript(text, tokens, error)) {
    FUZZ_CHECK(tokens.size() <= static_cast<size_t>(lines), "more inputs than lines");
  } else {
    FUZZ_CHECK(error.line >= 1 && error.line <= lines, "error on line " + std::to_string(error.line));
    FUZZ_CHECK(!error.message.empty(), "an error without a message");
  }
  int last = 0;
  for (const auto& t : tokens) {
    FUZZ_CHECK(t.line >= last && t.line >= 1 && t.line <= lines, "input of line " + std::to_string(t.line));
    last = t.line;
  }
  return 0;
}
