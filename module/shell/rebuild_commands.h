// The rebuild commands and the rebuild routines of the discipline layout
// commands that they run.
#pragma once

#include <string>

#include "platform/cad/ids.h"

// Rebuilds the components of a type from their stored data with the family
// routine of the type: one number (an empty text for every number), and the
// given entities (an empty list for every entity of the type).
void RebuildGjByType(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids);
// Rebuilds every installation component type of the working drawing.
void RebuildAllGjTypes();
