// Placeholders of the services declared in neighbour_services.h: they do
// nothing until the subsystems that own them land.
#include "module/model/neighbour_services.h"

#define KIV_PLACEHOLDER __attribute__((weak))

// Services: the layout commands' rebuild routines and the 3D refresh.
KIV_PLACEHOLDER void RebuildGjByType(const std::wstring&, const std::wstring&, const cad::ObjectIdArray&) {}
KIV_PLACEHOLDER void RebuildAllGjTypes() {}
KIV_PLACEHOLDER void RefreshSolid3dOfEntity(const std::wstring&, cad::ObjectId, cad::Database*) {}
KIV_PLACEHOLDER void RefreshSolid3dOfType(const std::wstring&, const cad::ObjectIdArray&, cad::Database*) {}
