// Linear components as polygon meshes: a cross-section placed across the run
// at every point of its path (conduits, trays, ducts, grooves), a flat strip
// for wires and conductors, and a conduit with its wires drawn through it.
#pragma once

#include <string>
#include <vector>

#include "module/solid3d/twins.h"
#include "platform/geom/geom.h"

// The path of a run entity: its first segment's points (an arc divided at
// 96 per full turn) with their elevations (flat below 1.0 of difference,
// else rising along the chord). False when the run has fewer than two
// vertices, its first segment is shorter than 1.0, or its ends meet in plan.
bool RunPath(cad::ObjectId id, double start, double end, std::vector<geom::Point3d>& path);

// The rows of a section swept along a path: the section (local x, y) placed
// in the plane through each path point across the direction to the next
// point (the last point uses the direction from the one before).
std::vector<geom::Point3d> SweepRows(const std::vector<geom::Point3d>& section,
                                     const std::vector<geom::Point3d>& path);

std::wstring MakeSweptSectionMesh(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out);
std::wstring MakeWireMesh(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out);
std::wstring MakeWireInConduitMeshes(const std::wstring& type, cad::ObjectId id, const TypeRows& rows,
                                     TwinList& out);
