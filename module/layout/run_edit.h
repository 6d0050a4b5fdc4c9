// Editing laid runs: the slope of a pipe run, the drop joint between two
// elevations, breaking and joining wire runs, the lightning band along the
// outer walls and the down leads, with the shared rules of replacing a run.
//
// A pick of a component returns every entity sharing its number and first
// 属性 line: the run, its labels and outlines, and host copies of the run
// (which still name the original). The editors act on the entity the user
// picked, erase only it and the decorations, and carry every piece of the
// old run's component data over to the new runs: the 属性 lines after the
// primary stamp, "构件" and the data of other applications.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "module/model/draw_engine.h"
#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

namespace runedit {

// The parts of one picked component.
struct PickedRun {
  cad::ObjectId run;               // the entity picked: the nearest with two 属性 lines or more
  cad::ObjectIdArray decorations;  // labels and outlines (fewer than two 属性 lines)
  cad::ObjectIdArray others;       // other runs of the component (host copies): left standing
};
// Sorts the picked entities; false when none has two 属性 lines.
bool SplitPicked(const cad::ObjectIdArray& ids, const geom::Point3d& pickPoint, PickedRun& out);

// The component data a remade run takes over from the run it replaces.
struct CarriedData {
  std::vector<std::pair<std::wstring, StringArray>> apps;  // whole applications
  StringArray extraAttrs;                                  // 属性 lines after [handle, 主键]
};
CarriedData CaptureCarriedData(cad::ObjectId run);
// Writes the carried data onto a new primary (before it is decorated, so
// that "构件" draws it ByLayer).
void ApplyCarriedData(cad::ObjectId id, const CarriedData& data);

// Erases the picked run and every decoration of the pick; the other runs of
// the component are made primaries of their own and decorated again (their
// labels were among the decorations), without the duplicate check.
void ErasePickedRun(const std::wstring& name, const PickedRun& picked, DecorateGjCb decorate);

// The two picks of an edit that replaces two runs: both runs and every
// decoration go; the other runs of either component stay.
PickedRun MergePicked(const PickedRun& first, const PickedRun& second);

// Runs a pipe editor as its commands do: the combos show one of the types,
// the pipe callbacks are stored, and the engine gets the type list.
void RunPipeEditor(const wchar_t* types, const wchar_t* defaultType, void (*engine)(const std::wstring& types));

// Creates one replacement run with the create routine, carries the data
// over, decorates it and refreshes its 3D twin. The new id (null when none
// was made).
cad::ObjectId RemakeRun(CreateGjCb create, DecorateGjCb decorate, const std::wstring& name,
                        const std::wstring& number, const geom::Point3d& start, const geom::Point3d& end,
                        double bulge, int vertical, const CarriedData& data);

}  // namespace runedit

// The slope engine of PGradient and WPGradient: the callback pair must be set.
void SetPipeSlope(const std::wstring& types);
// The slope-direction sign beside a run (see run_slope.cpp); the caller
// erases it again.
cad::ObjectId DrawSlopeArrow(const geom::Point3d& point, double angle, geom::Vector3d axis, int flip);
// The small direction wedge of the elevation prompts of drop joints.
cad::ObjectId DrawDirArrowSmall(const geom::Point3d& point, int flip, double angle, geom::Vector3d direction);

// The drop-joint engine of PipeJoin and WaterPJoin: the pair must be set.
void JoinPipesWithBend(const std::wstring& types);

// The lightning band along the inward offset of the outer walls.
void LayLBandAlongOuterWalls();
