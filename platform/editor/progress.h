// The status-bar progress meter.
#pragma once

#include <string>

namespace ed {

// Shows the meter with a label and a range; returns 0.
int setStatusBarProgressMeter(const std::wstring& label, int minPos, int maxPos);
// Moves the meter; returns 0, or -1 when no meter is shown.
int setStatusBarProgressMeterPos(int pos);
// Hides the meter.
void restoreStatusBar();

struct ProgressState {
  bool shown = false;
  std::wstring label;
  int minPos = 0, maxPos = 0, pos = 0;
  int updates = 0;   // position changes since the meter was shown
};
const ProgressState& progressState();

// When set, the meter is drawn as a progress line ("label [####    ] 42%")
// on the terminal (cadhost sets it when stdout is a terminal).
void setProgressToTerminal(bool on);

}  // namespace ed
