// Point component blocks: lamps, switches, sockets, boxes, fixtures, valves,
// air openings, sleeves and the like are block references on the layer of
// their component name.
//
// - The definition of a point component is named "sys$" + name + "$" +
//   figure, the figure being the parameter "图形" of its number. The types of
//   g_numberedPointTypes (sleeves, compensators, manholes, distribution boxes,
//   air openings...) append "$" + number, so each number has its own
//   definition; the other types share one definition per figure.
// - The figure is drawn into the definition from the computed coordinate
//   lines of the number (g_curPointGj): one polyline per line, "线宽" giving
//   a constant width of 5 times its value when it is above 1, and "kXEQ" a
//   hatch with that pattern ("SOLID" when empty).
// - The reference lies at (x, y, 0) with the normal +Z; its scale comes from
//   the parameter "图形缩放"; its elevation lives in the special data.
// - A label (the number, height 120) sits beside the reference on the layer
//   name + "名", tagged with the number and the component's primary handle.
//
// Every drawing of a component empties its definition and draws it afresh,
// so a definition always holds exactly one copy of its figure, the one of
// the coordinate lines loaded at the last drawing.
#pragma once

#include "module/model/neighbour_services.h"
#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"
#include "platform/geom/geom.h"

// True when the point is at least 200 away (3D distance) from every point of
// the list; true for an empty list.
bool IsFarFromPoints(const geom::Point3d& point, const std::vector<geom::Point3d>& points);

// Makes the layer (current) and makes sure the working drawing has the block
// definition. Mode 0 leaves an existing definition as it is and answers 0;
// mode 1 erases every entity of an existing definition and answers 1. A
// missing definition is created empty (1). 0 too when it cannot be created.
int EnsureGjBlockDef(const std::wstring& layer, const std::wstring& blockName, int mode);

// "sys$" + name + "$" + figure, without the number suffix; an empty figure is
// the parameter "图形" of the number in g_curPointGj.
std::wstring MakePointGjBlockName(const std::wstring& name, const std::wstring& number,
                                  const std::wstring& figure);

// The full definition name of a component as loaded in g_curPointGj: the
// figure's name, with "$" + number for the numbered point types. Characters
// a block name may not hold are written "·", so that a number such as
// "AL1/2" still gets a definition of its own.
std::wstring PointGjBlockDefName(const std::wstring& name, const std::wstring& number);

// The scale factors of the parameter "图形缩放": "50%,200%" gives (0.5, 2, 1),
// "2" gives (2, 2, 1); anything else (absent, three parts) gives (1, 1, 1).
cad::Scale3d PointGjScaleOf(const std::wstring& text);

// Loads the point definition of the name, makes its block definition and
// appends a reference at (x, y, 0) with the rotation (radians) to model
// space on the layer name. id = the reference, or null when the definition
// is missing. The figure is drawn afterwards by RebuildPointGjFigure.
void InsertPointGjBlock(cad::ObjectId& id, const std::wstring& name, const std::wstring& number,
                        const geom::Point3d& position, double rotation);

// Draws the figure of a point component into its definition (pointing the
// reference at the definition of its own number), sets its scale and adds
// its label. The definition of the name must be loaded in g_curPointGj.
// With g_checkGjOverlap 1, a component that duplicates another is erased.
void RebuildPointGjFigure(const std::wstring& name, cad::ObjectId id);

// Rebuilds every point component of the name (and number; empty = all) from
// its stored data: decorations are erased, references are redrawn with new
// labels, copies become primary. With an empty id array the components are
// collected from the layers name, name + "名" and name + "边线".
void RebuildPointGjs(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);

