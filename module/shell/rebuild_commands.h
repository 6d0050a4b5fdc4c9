// The rebuild commands; the rebuild routines of the discipline layout
// commands that they run are reached through the component model's seams
// (module/model/seams.h).
#pragma once
