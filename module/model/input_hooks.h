// The hooks of a linear run and the runner of nested host commands.
//
// While a run is drawn the input point manager calls an offset filter (the
// offset of the lay window, the point laid at z 0) and a monitor that
// previews what the next click makes: the length of the pending segment, its
// 3D line in the one-floor 3D view, or, in a multi-line run, the parallel
// line of every row. The engines install them through
// InstallLinearInputHooks (draw_engine.h).
//
// A host command run in the middle of an engine's prompts (ARC, ROTATE) is
// followed by an editor reactor, so that the engine can wait until it has
// ended or was cancelled:
//   BeginWatchCommand(L"arc");
//   ed::command({L"arc", point, L"\\"});
//   int rc = WaitWatchedCommand(L"arc");
//   EndWatchCommand();
#pragma once

#include <string>

#include "module/toolkit/offset_input.h"
#include "module/toolkit/strings.h"
#include "platform/editor/reactor.h"

namespace cad {
class Database;
}

// Follows one command by name: -1 not started, 0 started, 1 ended,
// 2 cancelled.
class CInputReactor : public ed::EditorReactor {
 public:
  static constexpr int kNotStarted = -1, kStarted = 0, kEnded = 1, kCancelled = 2;
  ~CInputReactor() override = default;
  void commandWillStart(const std::wstring& cmdName) override;
  void commandEnded(const std::wstring& cmdName) override;
  void commandCancelled(const std::wstring& cmdName) override;

  std::wstring watchedName;  // upper case
  int state = kNotStarted;

 private:
  void onEvent(const std::wstring& cmdName, int newState);
};

// The watcher of the nested command being followed; null when none.
extern CInputReactor* g_commandWatcher;

// Starts following the command (a watch still open from before is ended
// first: one watch at a time).
void BeginWatchCommand(const std::wstring& cmdName);
// RTNORM when the watched command has ended; RTCAN when it was cancelled or
// never started. While it still runs, the user's next input goes to it one
// pause at a time; a pause the host refuses ends the wait with RTCAN.
int WaitWatchedCommand(const std::wstring& cmdName);
// Stops following and deletes the watcher. Harmless without one.
void EndWatchCommand();

// The offset filter of a linear run: the lay window's offset (dx, dy) moves
// the computed point, which then lies at z 0.
class CKivInputPointFilter : public CAcEdInputPointFilter {
 public:
  int processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint, geom::Point3d& newPoint,
                        bool& displayOsnapGlyph, std::wstring& toolTip) override;
};

// The preview of a draw-by-points run.
class CKivInputPointMonitor : public CAcEdInputPointMonitor {
 public:
  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& appendToTooltip,
                        std::wstring& additionalTooltip) override;
  int active = 0;  // 1 draws the preview
};

// The preview of a multi-line run: the run's newest segment and the rubber
// band, offset for every row of g_multiLineRows.
class CKivMlineMonitor : public CAcEdInputPointMonitor {
 public:
  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& appendToTooltip,
                        std::wstring& additionalTooltip) override;
  int active = 0;
  geom::Point3d lastInputPoint;  // the last run point or arc middle point entered
};

// The rows of a multi-line run, each "name,number,vertical offset,horizontal
// offset" (the multi-line engine fills it; the preview reads it).
extern StringArray g_multiLineRows;

// The lay window's elevations as a linear run sees them. The window answers
// a read with its values only after the user typed new ones; otherwise the
// run goes on with what it knows: the values the window opened with, then,
// after every step, the height where that step ended (written back to the
// window too). Unknown (a window opened elsewhere and never changed) means
// the run lies at its points' own z.
struct LayWindowState {
  bool known = false;
  double zs = 0, ze = 0;
  const cad::Database* db = nullptr;  // the drawing the values belong to
};

// Opens the lay window (mode 1) at the screen point with both elevations and
// makes them the run's; CloseLayWindow closes it (mode 4) and forgets them.
void OpenLayWindow(int x, int y, double elevation);
void CloseLayWindow();
// Reads the window (mode 2): new values typed there become the run's. True
// with zs/ze when the run knows its elevations.
bool ReadLayWindowElevations(double& zs, double& ze);
// After a step that ended at z: the next one starts there (both values z,
// also written back to the window).
void CarryLayWindowElevations(double z);
// What the run knows now, and back to it (an undone step; the window shows
// the values again).
LayWindowState LayWindowSnapshot();
void RestoreLayWindow(const LayWindowState& state);
// Forgets what the run knows.
void ForgetLayWindowElevations();
