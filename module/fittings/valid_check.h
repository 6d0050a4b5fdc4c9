// The warning markers of the validity checks (GPS_ValidCheck, DQ_ValidCheck).
#pragma once

#include <string>

#include "platform/geom/geom.h"

// Makes sure the working drawing has the red layer and the marker block of
// that name (an exclamation mark in a rounded triangle), then inserts the
// block at the point on that layer, in red.
void InsertPromptMarker(const std::wstring& name, const geom::Point3d& point);
