// The create and decorate callbacks of the linear components: what a layout
// command stores in g_createGjCb / g_decorateGjCb before it runs the engine
// (signatures CreateGjCb / DecorateGjCb of the draw engine).
//
// Pipes, hoses and earth buses, wires, conduits, cables and bus ducts are
// decorated with number labels and section outlines; trays, bridges, ducts
// and grooves are drawn as a centre line with a band outline.
#pragma once

#include <string>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

// Pipes (plumbing and HVAC water pipes, hoses).
cad::ObjectId CreatePipeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecoratePipeGj(const std::wstring& name, cad::ObjectId id);
// Earth buses and lightning bands.
cad::ObjectId CreatePipeLineGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                               const geom::Point3d& end, double bulge, int vertical);
void DecoratePipeLineGj(const std::wstring& name, cad::ObjectId id);
// The wire-and-conduit family (wires, conduits, wire in conduit).
cad::ObjectId CreateWireGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecorateWireGj(const std::wstring& name, cad::ObjectId id);
void DecorateConduitGj(const std::wstring& name, cad::ObjectId id);
// Cables and bus ducts.
cad::ObjectId CreateCableGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                            const geom::Point3d& end, double bulge, int vertical);
void DecorateCableGj(const std::wstring& name, cad::ObjectId id);

// Cable trays.
cad::ObjectId CreateTrayGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecorateTrayGj(const std::wstring& name, cad::ObjectId id);
// Bridges (the tray commands' second pair).
cad::ObjectId CreateBridgeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical);
void DecorateBridgeGj(const std::wstring& name, cad::ObjectId id);
// Air ducts.
cad::ObjectId CreateDuctGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecorateDuctGj(const std::wstring& name, cad::ObjectId id);
// Grooves.
cad::ObjectId CreateGrooveGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical);
void DecorateGrooveGj(const std::wstring& name, cad::ObjectId id);
