#include "platform/editor/progress.h"

#include <cstdio>

#include "platform/os/os.h"

namespace ed {

namespace {
ProgressState& st() {
  static ProgressState s;
  return s;
}
bool& toTerminal() {
  static bool b = false;
  return b;
}
void drawLine() {
  if (!toTerminal()) return;
  const auto& s = st();
  int span = s.maxPos - s.minPos;
  int pct = span > 0 ? int(100.0 * (s.pos - s.minPos) / span) : 100;
  if (pct < 0) pct = 0;
  if (pct > 100) pct = 100;
  std::string bar(20, ' ');
  for (int i = 0; i < pct / 5; ++i) bar[i] = '#';
  std::fprintf(stderr, "\r%s [%s] %3d%%", os::toUtf8(s.label).c_str(), bar.c_str(), pct);
  std::fflush(stderr);
}
}  // namespace

int setStatusBarProgressMeter(const std::wstring& label, int minPos, int maxPos) {
  auto& s = st();
  s.shown = true;
  s.label = label;
  s.minPos = minPos;
  s.maxPos = maxPos;
  s.pos = minPos;
  s.updates = 0;
  drawLine();
  return 0;
}

int setStatusBarProgressMeterPos(int pos) {
  auto& s = st();
  if (!s.shown) return -1;
  if (pos < s.minPos) pos = s.minPos;
  if (pos > s.maxPos) pos = s.maxPos;
  s.pos = pos;
  ++s.updates;
  drawLine();
  return 0;
}

void restoreStatusBar() {
  auto& s = st();
  if (s.shown && toTerminal()) {
    std::fprintf(stderr, "\r%*s\r", 40, "");
    std::fflush(stderr);
  }
  s.shown = false;
}

const ProgressState& progressState() { return st(); }
void setProgressToTerminal(bool on) { toTerminal() = on; }

}  // namespace ed
