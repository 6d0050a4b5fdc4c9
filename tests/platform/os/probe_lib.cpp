// A library the loader tests load by name: two exported functions, a
// counter of how often it was initialised, and a text each thread keeps.
#include <string>

extern "C" {
int probe_answer() { return 42; }
int probe_add(int a, int b) { return a + b; }
int probe_loads = 0;
}

namespace {
struct Init {
  Init() { ++probe_loads; }
} init;

thread_local std::string t_probeText;
}  // namespace

// Gives the calling thread's text a heap buffer; answers its length.
extern "C" int probe_keep_text(int n) {
  t_probeText.assign(static_cast<size_t>(n), 'k');
  return static_cast<int>(t_probeText.size());
}
