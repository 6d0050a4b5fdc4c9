// The decorate step of pipes and the rebuild of linear components by name.
//
// DrawPipeOutline labels every segment of a run with its component number
// (on the layer name + "名", 120 to the left of each chord, kept upright) and
// draws the section outline of a riser on the layer name + "边线".
// RebuildGjByName erases and remakes the linear components of one name (and
// number) from their own end points through a kind's create and decorate
// routines, then removes the old decorations. A component keeps its kind
// (a through pipe stays one) and a colour of its own; one that cannot be
// made again (no end points, not a run or riser, the create routine makes
// nothing) is left as it is and named on the command line.
#pragma once
#include <string>

#include "module/model/draw_engine.h"
#include "platform/cad/ids.h"

// A DecorateGjCb: nothing for the null id; a duplicate segment (while
// g_checkGjOverlap is 1) is erased without a message.
void DrawPipeOutline(const std::wstring& name, cad::ObjectId id);

// Says on the command line that the entity of the name and number could not
// be made again and was left as it is (named by its handle).
void ReportGjNotRebuilt(const std::wstring& name, const std::wstring& number, cad::ObjectId id);

// number: one component number, or empty for every number of the name.
// ids: the entities to rebuild, or empty to take what lies on the layers
// name, name + "名" and name + "边线" in the working drawing.
void RebuildGjByName(const std::wstring& name, const std::wstring& number, CreateGjCb create,
                     DecorateGjCb decorate, const cad::ObjectIdArray& ids);
