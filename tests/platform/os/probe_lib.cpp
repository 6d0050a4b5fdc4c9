// A library the loader tests load by name: two exported functions and a
// counter of how often it was initialised.
extern "C" {
int probe_answer() { return 42; }
int probe_add(int a, int b) { return a + b; }
int probe_loads = 0;
}

namespace {
struct Init {
  Init() { ++probe_loads; }
} init;
}  // namespace
