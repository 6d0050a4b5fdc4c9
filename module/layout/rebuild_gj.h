// The rebuild of components from their definitions: after the parameters,
// coordinates or colours of a component changed (or an editing command
// changed components), its decorations are erased and drawn again, and most
// linear families make their primary entities again through their create
// and decorate callbacks.
//
// - RebuildGjByType sends a type to the family routine of its row in the
//   dispatch table; RebuildAllGjTypes runs every row in a fixed order under
//   the status-bar meter "重建" (0 to 120).
// - Every family routine takes (component name, number or empty for every
//   number, ids or empty to collect the entities on the layers name,
//   name + "名" and name + "边线").
// - Before a family routine runs, the dispatch
//   - adds, for a given id list, the labels and outlines of the listed
//     primary entities, so that they are drawn once, afresh;
//   - leaves alone (with a message) the components whose number has no row
//     in the floor's component table, or whose section coordinates hold a
//     value that is no number: they keep their old look.
// - While a rebuild runs the overlap check is off; it is on again after.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"

using GjRebuildFn = void (*)(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);

// Dispatch by exact type name; a type outside the table does nothing. True
// when the type has a rebuild.
bool RebuildGjByType(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids);
// Every type of the table with an empty number and id list, under the meter.
void RebuildAllGjTypes();

// The family routine of a type; null when the type is not rebuilt.
GjRebuildFn FindGjRebuild(const std::wstring& type);
// The types of RebuildAllGjTypes in their order, each group followed by the
// meter position set after it.
struct GjRebuildGroup {
  const wchar_t* types;  // comma list
  int meter;
};
const GjRebuildGroup* GjRebuildOrder(size_t& count);

// Family routines.
void RebuildPipeGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildWireGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
// Wires and conduits keep their entities (handles and every piece of their
// data) and get new widths, labels and riser outlines.
void RebuildConduitGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildCableGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildBridgeGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildTrayGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildCableGrooveGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildDuctGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
void RebuildGrooveGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);

// The three layers of a component name as one comma list.
std::wstring GjLayerList(const std::wstring& name);
// The entities of a rebuild: the given ids, or those on the three layers of
// the name (of the number, when one is given) in model-space order.
cad::ObjectIdArray GjRebuildIds(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
// Makes the entity the primary entity of its own component: its first
// attribute line becomes its own handle (a copy still named the entity it
// was copied from), the other lines stay. attrs is the entity's attribute
// list and is updated.
void RestampGjPrimary(cad::ObjectId id, StringArray& attrs);
// Colours the layers name and name + "边线" with the colour and
// name + "名" with the label colour (missing layers stay missing).
void ColourGjLayers(const std::wstring& name, std::uint32_t colour, std::uint32_t labelColour);
// Walks the entities of a rebuild in order: those with fewer than two
// attribute lines (labels, outlines, strays) go to decorations; every other
// one is re-stamped as a primary (RestampGjPrimary) and handed to primary
// with its number and attribute lines.
using GjPrimaryVisit = std::function<void(cad::ObjectId id, const std::wstring& number, const StringArray& attrs)>;
void WalkRebuildIds(const cad::ObjectIdArray& work, cad::ObjectIdArray& decorations, const GjPrimaryVisit& primary);

// Makes the rebuild commands and the exported rebuild run these routines.
void InstallRebuildSeams();
