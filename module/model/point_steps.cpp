// Shared steps of the point engines (see point_steps.h).
#include "module/model/point_steps.h"

#include <cmath>

#include "module/model/current_gj.h"
#include "module/model/point_blocks.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/database.h"
#include "platform/editor/document.h"
#include "platform/ui/wnd.h"

namespace {
constexpr double kHalfPi = 1.570796325;
constexpr double kThreeHalfPi = 4.712388975;
constexpr double kPi = 3.14159265;
}  // namespace

void PreparePointGjLayers(const std::wstring& name) { PrepareGjLayers(name, g_curPointGj, ed::curDatabase()); }

void GetDrawingViewOrigin(int& x, int& y) {
  ui::Point origin{0, 0};
  if (ui::Wnd* view = ui::drawingView()) view->ClientToScreen(&origin);
  x = origin.x;
  y = origin.y;
}

void FocusDrawingView() {
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
}

cad::ObjectId PlacePointGjAt(const std::wstring& name, const std::wstring& number, const geom::Point3d& at,
                             double angle, double elevation, const geom::Vector3d& direction) {
  cad::ObjectId id;
  InsertPointGjBlock(id, name, number, at, angle);
  if (id.isNull()) return id;
  if (!SetPointGjSpecial(&number, id, &elevation, &direction)) {
    EraseEntity(id);
    return cad::ObjectId();
  }
  RebuildPointGjFigure(name, id);
  RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  return id;
}

double UprightGjAngle(double angle) {
  return (angle >= kHalfPi && angle < kThreeHalfPi) ? angle + kPi : angle;
}

double ElevationAlongRun(const geom::Point3d& start, const geom::Point3d& end, const geom::Point3d& p) {
  const double dx = end.x - start.x, dy = end.y - start.y;
  const double len2 = dx * dx + dy * dy;
  if (len2 <= 0) return start.z;
  const double t = ((p.x - start.x) * dx + (p.y - start.y) * dy) / len2;
  return start.z + t * (end.z - start.z);
}

bool IsUsableSpacing(double spacing) { return std::isfinite(spacing) && spacing > 0; }

PlacementStep::PlacementStep() {
  if (ed::Document* doc = ed::curDoc()) tm_ = doc->transactionManager();
  if (tm_) {
    tm_->startTransaction();
    open_ = true;
  }
}

PlacementStep::~PlacementStep() {
  if (open_) tm_->abortTransaction();
}

void PlacementStep::keep() {
  if (!open_) return;
  tm_->endTransaction();
  open_ = false;
}
