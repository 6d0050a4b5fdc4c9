// The DXF form of the 3D body entity (a polyface mesh with the body's text
// in our marker). Private to the kiv_cad library.
#pragma once

#include "platform/cad/dxf_kinds.h"

namespace cad::dxf {

void writeBody3d(Writer& w, const Entity& e, const Place& at);
std::unique_ptr<Entity> body3dFromMarker(Reader& rd, std::unique_ptr<Entity> e, const ValueChain& shape);

}  // namespace cad::dxf
