// Picking and selecting whole components.
//
// An entity belongs to a component when its component data holds at least
// one attribute line; all entities of one component (primary entity, edge
// lines, labels, outlines) share its first attribute line, the handle of
// the primary entity, and its number.
#pragma once

#include <string>

#include "platform/cad/database.h"
#include "platform/editor/winmsg.h"
#include "platform/geom/geom.h"

// Written by WatchPickKeys while a pick waits: 0 nothing seen (each loop
// resets it before it waits), 1 the user asked to finish (Enter, Space, a
// right click), 2 the Shift key is held.
extern int g_pickWatchFlag;

// The message watch of the pick loops: sets g_pickWatchFlag.
void WatchPickKeys(const ed::Msg* msg);

// Asks for a component until one is picked. The layers searched are the
// lines of types (typesAreLayers) or the library layers ("图层") of the
// component names in the comma list types; layers that are off or locked
// are left out. With no such layer, the picked entity's layer (or the
// library layers of the component named like it) is searched instead.
// gjIds: the picked component's entities; sameNumberIds: every component
// entity of its number on those layers; layerIds: every entity on them.
// Returns ed::kNormal, ed::kCancel (Escape, or Enter/Space/right click) or
// ed::kKeyword (a keyword the caller allowed with initGet). An empty prompt
// becomes "\n选择构件:".
int PickGj(const std::wstring& types, cad::ObjectIdArray& gjIds, cad::ObjectIdArray& sameNumberIds,
           cad::ObjectIdArray& layerIds, geom::Point3d& pickPoint, const std::wstring& prompt,
           bool typesAreLayers);

// A selection loop adding the whole components picked to ids (removing them
// while Shift is held) until the user finishes. layers: a comma list (empty:
// every layer neither off nor locked); number: only components of it (empty:
// any). sameLayer / sameNumber keep to the layer and number of the first
// component picked. stopAfterFirst 1 ends at the first non-empty result.
// True when finished, false when cancelled (the highlight is removed then).
// "PICKADD" is 1 afterwards.
bool SelectGjObjects(const std::wstring& layers, const std::wstring& number, const std::wstring& prompt,
                     bool sameLayer, bool sameNumber, int stopAfterFirst, cad::ObjectIdArray& ids);

// out = the candidates (in order) that belong to a component of one of the
// seeds.
void CollectSameGjIds(const cad::ObjectIdArray& seeds, const cad::ObjectIdArray& candidates,
                      cad::ObjectIdArray& out);
void CollectSameGjIdsOf(const cad::ObjectIdArray& candidates, cad::ObjectId seed, cad::ObjectIdArray& out);

// Erases every entity of the components the ids belong to, on the library
// layers of the component names that are the ids' layers.
void EraseWholeGjs(const cad::ObjectIdArray& ids);

// The label text beside a segment of an imported drawing: the nearest TEXT
// within halfWidth of the segment that starts with the prefix (either case),
// runs parallel to the segment (within 10 degrees) when the segment is longer
// than 1, cut before the first space or "=" after the prefix. Empty when none.
void FindSegmentLabel(const std::wstring& prefix, const geom::Point3d& start, const geom::Point3d& end,
                      double halfWidth, std::wstring& out);
