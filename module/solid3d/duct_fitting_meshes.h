// Air-duct fittings as polygon meshes, made from the geometry record that
// the fitting commands keep in each fitting's extension dictionary (under
// the fitting type's name): bends and riser elbows as swept rectangular
// tubes, tees and crosses as walls with a top and a bottom, reducers as a
// tube, offset bends as four walls of reverse curves.
#pragma once

#include <string>
#include <vector>

#include "module/solid3d/twins.h"
#include "platform/cad/values.h"

// The twins of the fittings of one type (弯头, 三通, 四通, 大小头, 来回弯),
// hidden ones included, in the working drawing. A fitting without a usable
// record is named on the command line and skipped; the others are built.
void BuildDuctFittingSolids(const std::wstring& type, const cad::ObjectIdArray& ids);

// The meshes of one record (its items in order, points relative to the
// floor), raised by the base elevation; "" when made, else why not.
std::wstring MakeDuctFittingMeshes(const std::wstring& type, const cad::ValueChain& record, double baseElev,
                                   TwinList& out);
