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

// Reads the lay window's elevations (mode 2). True when the window answered 1
// and zs/ze hold the elevations to use. A preview that read the user's new
// values at a cursor move keeps them until a step takes them (forStep), so
// that the preview and the step of the same click both see them.
bool ReadLayWindowElevations(double& zs, double& ze, bool forStep);
// Forgets what the preview kept (a run starts afresh).
void ForgetLayWindowElevations();
