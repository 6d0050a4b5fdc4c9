// Laying several parallel runs at once. The user draws one guide run point
// by point; every row "name,number,vertical offset,horizontal offset" becomes
// a run of its own component, offset sideways from the guide by the
// horizontal offset (millimetres; below 1 means on the guide) and raised by
// the vertical offset. A step makes the segment of every row that ends at
// the second-newest run point once the point after it is known, so the
// segment to the last point of a run is never made.
#pragma once

#include "module/model/draw_engine.h"
#include "module/toolkit/strings.h"

// Printed when a step of every row cannot be made at the point just entered
// (the point is dropped again).
inline constexpr const wchar_t* kMultiLineStepFailed = L"\n此处无法按各行的偏移生成管线，请重新指定该点";

// One run. True when it ended with Enter or "U" took back the start point
// (the caller starts another); false when the rows are empty or the start
// point was not given. Escape at the next-point prompt does not end a run.
bool LayMultiLinearGj(const StringArray& rows);

// The entities of one step for every row, made with the callback pair.
// mode 0: the run segment before the newest point; 1: a riser of every row at
// that segment's start; 2: at its end. Answers the primary ids made, empty
// when the step failed (fewer than two run points, bulges not matching the
// points, an offset the geometry cannot make): then whatever the step made is
// erased again. The rows lie at the run's elevations (the lay window's, typed
// or carried on from the step before, else the guide's own z) plus their
// vertical offsets; a step that stands carries the run on from where it ends.
cad::ObjectIdArray BuildMultiLineStep(const StringArray& rows, int mode);

// Drops the run's newest point after a step that made nothing: the
// multi-line preview follows the newest remaining point, the newest bulge is
// dropped and the new newest bulge becomes 0.
void DropNewestRunPoint();
