// Parameters and coordinates of components.
//
// A component number's row in the floor's component table holds parameter
// lines (name "=" value) and coordinate formulas over the parameter names.
// The window library computes the formulas into coordinate lines; a
// coordinate line is pieces separated by "|", each "x,y[,z]" optionally
// followed by ":" and a value (e.g. the bulge of the segment that starts
// there) and by ".." and text that is ignored. A line holding "[" is no
// coordinate line; a line holding "基点" gives the figure's base point.
//
// Lists used here:
// - parameter list: items number "=" that number's parameter lines joined by
//   "\r\n";
// - formula list: items number "=" coordinate formula text;
// - coordinate list: items number "=" computed coordinate lines joined by
//   "\r\n".
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/geom/geom.h"

// Computes the coordinate lines of every number of params that has a
// formula. With a height other than 0 every "层高" in params is first
// replaced by the height ("%f") and params keeps the replaced text. out is
// emptied first; numbers without a formula give no item. A formula is cut
// before "********". When the computed text holds a "基点" line, that line is
// removed and every point of the other coordinate lines is moved so that the
// base point becomes the origin, written "%.2f,%.2f" (a z is dropped, a value
// after ":" kept as written). Lines holding "[" and empty lines are dropped.
void ComputeGjCoords(const StringArray& formulas, StringArray& params, StringArray& out, double floorHeight);

// The computed coordinate lines of one number with the given parameter lines;
// empty when the number has no formula.
void ComputeGjCoordsOf(const StringArray& formulas, const std::wstring& number, const StringArray& lines,
                       std::wstring& out, double floorHeight);

// Parses a coordinate line into its points (a missing coordinate is 0) and
// the value of each point (0 when it has none). Empty pieces add nothing, so
// both arrays always have the same length.
void ParseCoordList(const std::wstring& text, std::vector<geom::Point3d>& points, std::vector<double>& values);

// The value of the named parameter of an attribute list as a number: "层高"
// stands for the current floor height (g_floorHeight); a value with an
// arithmetic operator or a parenthesis is evaluated by the base library,
// anything else read as a decimal number. A missing parameter reads 0.
double EvalParamExpression(const std::wstring& name, const StringArray& attrs);
