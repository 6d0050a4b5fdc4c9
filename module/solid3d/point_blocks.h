// Point components with a drawn 3D figure: the figure comes from the graph
// library as a drawing, becomes a block of the working drawing once, and
// each component gets a reference of it placed, tilted, lifted and scaled
// like the component. Taps move to the end of the pipe fitting they sit on.
#pragma once

#include <string>

#include "module/solid3d/twins.h"
#include "platform/geom/geom.h"

void BuildPointBlockSolids(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db);
std::wstring MakePointBlock3d(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out);

// The scale of a 图形缩放 value: a number, or a number followed by "%"
// (hundredths); empty, 0 or negative gives 1.
double FigureScale(const std::wstring& value);

// Moves a tap's position to where its figure starts on a linked fitting
// (within 10 of it, with an arm along the tap's direction); unchanged when
// no fitting qualifies.
void PlaceTapOnFitting(cad::ObjectId tap, double rotation, geom::Point3d& position);
