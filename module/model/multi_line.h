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

// One run. True when it ended with Enter or "U" took back the start point
// (the caller starts another); false when the rows are empty or the start
// point was not given. Escape at the next-point prompt does not end a run.
bool LayMultiLinearGj(const StringArray& rows);

// The entities of one step for every row, made with the callback pair.
// mode 0: the run segment before the newest point; 1: a riser of every row at
// that segment's start; 2: at its end. Answers the primary ids made, empty
// when the step failed (fewer than two run points, bulges not matching the
// points, an offset the geometry cannot make): then whatever the step made is
// erased again.
cad::ObjectIdArray BuildMultiLineStep(const StringArray& rows, int mode);

// The lay window's elevations for a step of a run: zs and ze are written
// when the window has values for the step (typed by the user, or kept by the
// preview from the same click) and keep what the caller put there otherwise.
void ReadRunElevations(double& zs, double& ze);

// Drops the run's newest point after a step that made nothing: the
// multi-line preview follows the newest remaining point, the newest bulge is
// dropped and the new newest bulge becomes 0.
void DropNewestRunPoint();
