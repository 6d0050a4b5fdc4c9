// Geometry helpers on component entities and points shared by the layout
// callbacks, the conversion passes, the fitting commands and the take-off:
// grid-axis locations, the duplicate-input check, exploding block references
// in an id list, and the nearest and farthest end-point pairs of two segments.
#pragma once

#include <functional>
#include <string>

#include "module/toolkit/bulge.h"
#include "module/toolkit/strings.h"

#include "platform/cad/database.h"
#include "platform/geom/geom.h"

// The location label of a component for result tables: for its first and
// last vertex (or its only one or two), the first two labels ("轴号" of the
// "特殊" data) of the grid axes through the point (within 300), joined with
// ",", the points joined by "~".
std::wstring GetAxisLocation(const cad::ObjectIdArray& axisIds, cad::ObjectId gjId);
// The same label from the component's vertices, with the labels of the axes
// through a point given by labelsAt (for callers that keep the axes read).
std::wstring JoinAxisLocation(const PointList& vertices,
                             const std::function<StringArray(const geom::Point3d&)>& labelsAt);

// True when no entity on the layers of the filter (a host layer pattern)
// repeats the new entity: a candidate repeats it when every vertex of the new
// entity lies within 30 in x and in y of a vertex of the candidate. With
// primaryOnly only primary component entities (two attribute lines or more)
// count. Prints "输入重复\n" and answers false at the first duplicate. A new
// entity that cannot be opened, or candidates that cannot be read, are no
// duplicates: a caller never erases a new component for want of a reading.
bool CheckDuplicateInput(const std::wstring& layerFilter, cad::ObjectId newId, bool primaryOnly);

// Replaces every block reference of the array by the entities of its
// explosion, appended to model space on their own layers and added at the end
// of the array; the references stay in the drawing. Nested references stay
// references. Null ids and entities that cannot be opened for write stay.
void ExplodeBlockRefs(cad::ObjectIdArray& ids);

// The closest pair of one end of segment A and one end of segment B (ties
// keep the earlier of (As,Bs), (As,Be), (Ae,Bs), (Ae,Be)).
void NearestEndPoints(const geom::Point3d& aStart, const geom::Point3d& aEnd, const geom::Point3d& bStart,
                      const geom::Point3d& bEnd, geom::Point3d& outA, geom::Point3d& outB);
// The farthest pair among the four points (possibly both ends of one segment;
// ties keep the earlier of (As,Ae), (As,Bs), (As,Be), (Ae,Bs), (Ae,Be), (Bs,Be)).
void FarthestEndPoints(const geom::Point3d& aStart, const geom::Point3d& aEnd, const geom::Point3d& bStart,
                       const geom::Point3d& bEnd, geom::Point3d& outFirst, geom::Point3d& outSecond);
