// Services of the subsystems built later that this part of the module calls:
// the rebuild routines of the discipline layout commands and the 3D refresh.
// Until a subsystem lands, neighbour_services_stubs.cpp holds placeholders that do
// nothing; the subsystem defines the real ones with these signatures.
#pragma once

#include <string>

#include "platform/cad/ids.h"

namespace cad {
class Database;
}

// Rebuilds the components of a type from their stored data with the family
// routine of the type: one number (an empty text for every number), and the
// given entities (an empty list for every entity of the type).
void RebuildGjByType(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids);
// Rebuilds every installation component type of the working drawing.
void RebuildAllGjTypes();

// Brings the 3D twin of a component entity up to date (acts only while the
// one-floor 3D view is on).
void RefreshSolid3dOfEntity(const std::wstring& type, cad::ObjectId id, cad::Database* db);
// The same for every id of one component type.
void RefreshSolid3dOfType(const std::wstring& name, const cad::ObjectIdArray& ids, cad::Database* db);
