// Finding the entities of components: by layer and component number over
// model space, over the whole drawing through a selection filter, and by an
// interactive pick that returns every entity of the picked component.
//
// An entity belongs to a component when its component data holds at least
// one attribute line; all entities of one component (primary entity, edge
// lines, labels) share the component number and the first attribute line
// (the primary entity's handle).
//
// Layer and number lists are comma lists cut by SplitToList: the whole text
// is trimmed, the names are not; empty names stay and match nothing.
#pragma once

#include <string>

#include "platform/cad/database.h"
#include "platform/editor/winmsg.h"
#include "platform/geom/geom.h"

// What WatchEntSelKeys reports to PickGjEntities while it waits for a pick:
// 0 nothing, 1 the user asked to finish (Enter, Space, right click), 2 the
// Shift key is held.
extern int g_entSelWatchFlag;

// Entities of model space (in model-space order, erased ones left out) whose
// layer is one of the layer list (an empty text: any layer) and whose
// component number is one of the number list (an empty text: any entity,
// with or without a number). Names and numbers compare exactly. Appends to
// ids. A null database means the working database; nothing is appended when
// its model space cannot be opened.
void CollectIdsByLayerAndNumber(const std::wstring& layers, const std::wstring& numbers,
                                cad::ObjectIdArray& ids, cad::Database* db);

// The same choice over the whole current drawing (model and paper space)
// through a selection filter: the layer list is a host layer pattern
// (wildcards, comma alternatives, case ignored). ids is emptied first.
void SelectIdsByLayerAndNumber(const std::wstring& layers, const std::wstring& numbers,
                               cad::ObjectIdArray& ids);

// Asks for a pick (an empty prompt becomes "\n选择对象:") and returns in ids
// every entity of the picked component that lies in model space on the
// layer list (an empty list: every layer that is neither off nor locked),
// each once and highlighted; point gets the pick point. Picks of entities
// that are no component, or whose component has no entity on the layers,
// ask again. False with an empty array on Escape, Enter, Space or a right
// click. The caller removes the highlight.
bool PickGjEntities(const std::wstring& layers, cad::ObjectIdArray& ids, double point[3],
                    const std::wstring& prompt);

// The window-message watch PickGjEntities registers while it waits: Enter or
// Space characters and right clicks set g_entSelWatchFlag to 1, Shift down to
// 2, Shift up to 0. The message itself goes on unchanged.
void WatchEntSelKeys(const ed::Msg* msg);
