// Laying linear components point by point, and the callback pair through
// which the layout commands supply the kind-specific work.
//
// A layout command (LayPipe and its kin) stores its create and decorate
// callbacks in g_createGjCb / g_decorateGjCb, opens the lay window and calls
// LayLinearGjByPoints again while it answers true. Each run lets the user
// pick a start point and then next points, arcs ("A", drawn with the host's
// ARC) and undos ("U"); every segment is one step made in its own
// transaction, left open while the run goes on, so that "U" aborts the
// newest step with everything it made. When the run ends every step still
// open is ended and stays in the drawing.
#pragma once

#include "module/model/neighbour_services.h"
#include <functional>
#include <string>
#include <vector>

#include "module/model/input_hooks.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

namespace cad {
class Database;
}

// Makes the primary entity of one segment (vertical 0, from start to end
// with the bulge) or of a riser (vertical 1, at start's x and y from start's
// z to end's z); answers its id, or the null id when nothing was made.
using CreateGjCb = cad::ObjectId (*)(const std::wstring& name, const std::wstring& number,
                                     const geom::Point3d& start, const geom::Point3d& end, double bulge,
                                     int vertical);
// Draws the decorations of the segment the create callback made (nothing
// for the null id).
using DecorateGjCb = void (*)(const std::wstring& name, cad::ObjectId id);

// The current pair; null after load, kept after a command ends.
extern CreateGjCb g_createGjCb;
extern DecorateGjCb g_decorateGjCb;

// The run being drawn.
struct LinearRun {
  std::vector<geom::Point3d> points;  // in input order
  std::vector<double> bulges;         // multi-line runs only: bulge from point i to i+1, last 0
  // One entry per step transaction still open, newest last: 0 for a step that
  // ended at a new run point, 1 for one that added none (a riser).
  std::vector<int> segMarks;
  // True from the start of a run to its finish: steps may be added to the
  // run (and its transactions) only then.
  bool active = false;
};
extern LinearRun g_linearRun;

// False in a draw-by-points run, true in a multi-line run.
extern bool g_multiLineInput;

// The hooks installed by InstallLinearInputHooks; null when none.
extern CKivInputPointFilter* g_kivPointFilter;
extern CKivInputPointMonitor* g_kivPointMonitor;
extern CKivMlineMonitor* g_kivMlineMonitor;

// CMDECHO 1, the offset filter and the monitor that g_multiLineInput names
// (snap layers "轴网,辅助轴网,砼墙,砖墙", active). Always true.
bool InstallLinearInputHooks();
// Removes and deletes them, CMDECHO 0; answers status == RTNORM.
bool RemoveLinearInputHooks(int status);

// One run. True when it ended normally (Enter, or "U" took back the start
// point): the caller starts another. False when the user cancelled.
bool LayLinearGjByPoints();

// One step of a linear run, for every linear engine: starts the step
// transaction, calls create, decorate and the 3D refresh, and records the
// step in g_linearRun.segMarks with the mark (0 or 1). Answers the id the
// create callback gave (null when there is no create callback).
cad::ObjectId MakeLinearGjStep(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                               const geom::Point3d& end, double bulge, int vertical, int mark);
// Aborts the newest open step and drops its mark; false when none is open.
bool AbortNewestLinearGjStep();
// Makes the layers of a linear component type (its own, "名" and "边线"),
// coloured from the current line definition.
void PrepareLinearGjLayers(const std::wstring& name, cad::Database* db);
// Asks for the first point of a run: a right click there is Escape; from then
// on right clicks are swallowed until the run removes the filter.
int GetRunStartPoint(const wchar_t* prompt, geom::Point3d& first);

// "U" during a run: takes back the newest point (through dropPoint, when no
// riser ends the run there) and the newest step. True when no point is left,
// so the run ends.
bool UndoNewestRunStep(const std::function<void()>& dropPoint);
// The end of a run, whichever way it came: ends the open steps and removes
// the run's input hooks; answers as RemoveLinearInputHooks.
bool FinishLinearRun(int status);

// Ends every step still open, newest first, and empties the marks.
void EndOpenLinearGjSteps();

