// The create and decorate callbacks of the linear components: what a layout
// command stores in g_createGjCb / g_decorateGjCb before it runs the engine
// (signatures CreateGjCb / DecorateGjCb of the draw engine), and what the
// rebuild, the lightning band, the wire break and join and the circuit
// conversion call directly.
//
// Every create routine makes the primary entity of one segment through
// CreateLinearGjEntity (a polyline run, or a riser block reference) and
// answers its id, null when nothing was made. Every decorate routine does
// nothing for the null id. Decorations are number labels on the layer
// name + "名" and outlines on name + "边线"; each carries 编号 = the
// component's number and 属性 = [the primary's handle], takes the
// component's visibility and, when the component carries its own "构件"
// parameter lines, is drawn ByLayer like the component itself.
#pragma once

#include <string>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

// Pipes and hoses, earth buses, lightning bands: a plain segment entity.
cad::ObjectId CreatePipeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
// Pipes, hoses and earth buses: duplicate check, labels and riser outlines
// of the pipe outline routine.
void DecoratePipeGj(const std::wstring& name, cad::ObjectId id);

// The wire-and-conduit family (照明导线, 动力导线, 消防导线, 其它导线, 导管,
// 线槽, 软导管, 导线·导管) and, for the multi-line rows, 电缆 and 母线馈线:
// dispatch by name; any other name makes nothing / draws nothing.
cad::ObjectId CreatePipeLineGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                               const geom::Point3d& end, double bulge, int vertical);
void DecoratePipeLineGj(const std::wstring& name, cad::ObjectId id);
// Wires (also called by the break and join of wire runs and the circuit
// conversion).
cad::ObjectId CreateWireGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecorateWireGj(const std::wstring& name, cad::ObjectId id);
// The run decoration of electrical runs: the run polyline gets the section
// width and one number label per segment; a riser gets its section outlines
// and one label. No duplicate check.
void DecorateConduitGj(const std::wstring& name, cad::ObjectId id);
// Cables and bus ducts (and the decoration of lightning bands).
cad::ObjectId CreateCableGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                            const geom::Point3d& end, double bulge, int vertical);
void DecorateCableGj(const std::wstring& name, cad::ObjectId id);

// Trays (托盘): a blue centre line. DecorateTrayGj also serves 电缆沟槽.
cad::ObjectId CreateTrayGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecorateTrayGj(const std::wstring& name, cad::ObjectId id);
// Bridges (桥架, 组合式桥架): a dashed centre line; the decoration scheme of
// the band components: duplicate check, per segment a band outline of the
// section width and a label, at a riser its section outlines and a label.
cad::ObjectId CreateBridgeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical);
void DecorateBridgeGj(const std::wstring& name, cad::ObjectId id);
// Air ducts: a blue centre line in CENTERX2; the band is the section's x
// extent wide. Also called by the duct fittings to redraw trimmed ducts.
cad::ObjectId CreateDuctGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical);
void DecorateDuctGj(const std::wstring& name, cad::ObjectId id);
// Grooves (电缆沟槽, 管道沟槽, 暖通管道沟槽): a DASHED2 centre line; the riser
// label of 管道沟槽 and 暖通管道沟槽 stands 120 from the riser.
cad::ObjectId CreateGrooveGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical);
void DecorateGrooveGj(const std::wstring& name, cad::ObjectId id);

// ---------------------------------------------------------------------------
// Shared by the decorate routines (decoration_callbacks.cpp).
// ---------------------------------------------------------------------------
namespace gjdeco {

// What every decoration of a component takes over from it.
struct Look {
  std::wstring number;  // 编号 of the component
  std::wstring owner;   // its first 属性 line: the primary's handle
  bool visible = true;
  bool byLayer = false;  // the component carries "构件" lines
};

// Reads the look of a component entity; with "构件" lines the entity is set
// ByLayer. Answers the section coordinate text of its number: computed from
// the "构件" lines when it has them, else the number's computed coordinates
// in g_curLineGj (which must hold the name's definition); empty when none.
// A component without 属性 lines lends its own handle to its decorations.
std::wstring ReadLook(cad::ObjectId id, Look& look);
// Tags a new decoration with the look: 编号, 属性, visibility, ByLayer.
void Tag(cad::ObjectId decoration, const Look& look);
// The middle of the component's two elevations (0 for a missing one).
double MidElevation(cad::ObjectId id);
// The number label of one run segment: at the chord's midpoint, offset to the
// left of the reading direction by offset, turned to read rightwards, at z.
void AddSegmentLabel(const std::wstring& name, const geom::Point3d& from, const geom::Point3d& to, double offset,
                     double z, const Look& look);
// One label beside a riser block at position, turned by rotation, offset
// along (-sin, cos) of the rotation, at z.
void AddRiserLabel(const std::wstring& name, const geom::Point3d& position, double rotation, double offset,
                   double z, const Look& look);
// Each coordinate line as a closed outline on name + "边线", drawn in the
// block's own coordinates and moved by the block transform; lines that make
// no outline are skipped. Answers the largest y of the outlines' extents in
// the block's coordinates, at least 0.
double AddRiserOutlines(const std::wstring& name, const std::wstring& coordText, const geom::Matrix3d& transform,
                        const Look& look);

}  // namespace gjdeco
