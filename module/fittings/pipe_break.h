// Cutting chosen pipe runs where other runs of the same component type cross
// or touch them in 3D, and at the feet of taps standing beside them, before
// fittings are generated at the pieces' ends.
#pragma once

#include <string>

#include "platform/cad/ids.h"

// The tap types: a tap at a pipe end adds an arm to its fitting.
inline constexpr const wchar_t* kTapTypes = L"普通水嘴,冷热水嘴";

// types: the pipe types (a comma list; their layers hold the floor's runs
// that may cut the chosen ones). Each chosen straight run is cut at every
// point where a run of its own layer meets it and at the foot of every tap
// closer than 10 to it; a cut run is erased with its decorations and made
// again piece by piece through the installed create and decorate callbacks,
// each piece carrying the run's number, its own component lines ("构件") and
// its attribute lines beyond the primary stamp. A run that nothing cuts stays
// as it is (an arc keeps its arc). A run whose pieces cannot all be made
// stays whole. out: the pipes after the cut, in the chosen order (the
// pieces of a cut run in place of it). Nothing happens, and out is left as
// it was, when either callback is missing.
void BreakPipesAtIntersections(const std::wstring& types, cad::ObjectIdArray& out, cad::ObjectIdArray chosen);
