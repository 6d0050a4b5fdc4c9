// Shared steps of the point engines that lay components on runs and over
// areas (supports, on-pipe components, rectangles, fans, along a line, side
// openings): layers, one placement, the upright rule, the elevation along a
// run, and the transaction that makes each step one undo step.
#pragma once

#include <string>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

namespace cad {
class TransactionManager;
}

// Makes the layers of a point component name (its own, "名" and "边线"),
// coloured from the current point definition.
void PreparePointGjLayers(const std::wstring& name);

// The drawing view's client origin in screen coordinates ((0, 0) without a
// view), where the engines open their palettes.
void GetDrawingViewOrigin(int& x, int& y);
// Gives the keyboard focus back to the drawing view.
void FocusDrawingView();

// One component of the current point definition: the block reference at
// (x, y, 0) turned by the angle, its special data (elevation, direction),
// its figure and its 3D twin. A reference whose special data cannot be
// written is erased again; the answer is then the null id.
cad::ObjectId PlacePointGjAt(const std::wstring& name, const std::wstring& number, const geom::Point3d& at,
                             double angle, double elevation, const geom::Vector3d& direction);

// A component turned along a run reads upright: pi is added to angles in
// [pi/2, 3pi/2).
double UprightGjAngle(double angle);

// The elevation of a run from start to end (their z the run's elevations) at
// the plan point p: the run's plane, level across it, met straight up from
// p. start's z when the run has no plan length.
double ElevationAlongRun(const geom::Point3d& start, const geom::Point3d& end, const geom::Point3d& p);

// A spacing the engines can step by: a finite number above 0.
bool IsUsableSpacing(double spacing);

// The transaction of one placement step on the current document: started at
// construction; keep() ends it (what it made stays, one undo step), and a
// step that is not kept is aborted, taking back everything it made.
class PlacementStep {
 public:
  PlacementStep();
  ~PlacementStep();
  PlacementStep(const PlacementStep&) = delete;
  PlacementStep& operator=(const PlacementStep&) = delete;
  void keep();

 private:
  cad::TransactionManager* tm_ = nullptr;
  bool open_ = false;
};
