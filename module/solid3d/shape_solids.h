// Point components whose 3D figure is described per component number by a
// small shape language (the 三维坐标 field): boxes, tapered prisms, lofts,
// cones, domes and sweeps united or subtracted into one body, plus flat
// outlines and hatches, placed where the component stands.
#pragma once

#include <string>

#include "module/solid3d/twins.h"
#include "platform/geom/geom.h"

// The placement of a component's local frame in the drawing: its block
// transform, then the tilt of its rotation vector about its position, then
// its elevation (plus the floor base elevation).
geom::Matrix3d ShapePlacement(cad::ObjectId id, const geom::Matrix3d& blockTransform, double rotation,
                              const geom::Point3d& position);

// Interprets a description (rows separated by "\r\n") into the body (first,
// when any) and the flat entities, in the local frame, stamped with number
// and key. Answers "" when it built what it describes (or nothing, when the
// guard row says so); otherwise why the component gets no twin (the out list
// is then emptied).
std::wstring InterpretShapeDescription(const std::wstring& description, const std::wstring& number,
                                       const std::wstring& key, TwinList& out);

std::wstring MakeShapeSolids(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out);
