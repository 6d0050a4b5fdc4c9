// Vertical components (risers): one plan point, two elevations.
//
// LayVerticalGj places a riser at every base point the user picks, between
// the two elevations of the two-elevation window. CreateVerticalGj is called
// from the lay window while a linear run waits for a point and adds a riser
// at the run's current end; it belongs to the run (its step stays open, "U"
// takes it back). PickupElev lets an elevation window take an elevation from
// a component in the drawing.
#pragma once

// Elevations (millimetres) closer than this count as equal.
inline constexpr double kElevTolerance = 0.1;

// The vertical layout commands' engine: loads the current definition, opens
// the two-elevation window (from the number's 底标高, or 0 for "层高", to the
// floor height) and makes risers until the base-point prompt gets anything
// but a point. CMDECHO is 0 afterwards on every way out.
void LayVerticalGj();

// A riser at the run in progress: where 1 at the start of the run's newest
// segment, any other value at its end. Nothing when the run has no point or
// the run is not in progress.
void CreateVerticalGj(int where);

// Picks components until one gives an elevation: a level linear component
// (斜管, 立管, 贯通管 with equal ends) or a point component. True with the
// elevation written; false when the user cancelled. The run's preview
// monitor is switched off while it picks and on again afterwards.
bool PickupElev(double& elevation);
