// The two changers of KivChangeElev: point components with the risers that
// end at them, and runs with the accessories that lie on them.
#pragma once

#include "platform/cad/ids.h"

// Asks one elevation (the host's window, showing that of the first chosen
// component) and gives it to the chosen point components; a riser whose end
// stood at a changed component (within 10 in elevation and 300 in space)
// follows with that end. Components already within 10 of it stay.
void ChangePointGjElev(cad::ObjectIdArray highlight, cad::ObjectIdArray chosen);
// Asks a start and an end elevation and gives them to the chosen runs; the
// accessories on a sloped run take its slope, those at a riser's end follow
// that end.
void ChangeLinearGjElev(const cad::ObjectIdArray& highlight, const cad::ObjectIdArray& chosen);
