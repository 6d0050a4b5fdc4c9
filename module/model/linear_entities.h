// Linear component entities: one entity per straight or arc segment of a
// pipe, duct, wire, conduit, tray, cable or groove, and the guards against
// drawing a component twice.
//
// A segment in plan is a two-vertex lightweight polyline at elevation 0; a
// vertical segment is a reference to a small marker block (one point at the
// origin) shared by every riser of the same number. Either entity then gets
// the special data with its two elevations and the primary stamp of its
// number.
#pragma once

#include <string>

#include "module/model/records.h"
#include "platform/cad/database.h"
#include "platform/editor/winmsg.h"
#include "platform/geom/geom.h"

// 1 while the decorate steps check each new component for a duplicate; the
// rebuild routines hold it at 0 while they recreate components.
extern int g_checkGjOverlap;
// Written by WatchClickProc: 0 after the caller resets it, 1 after a left
// button press, 2 after a right button press or Enter.
extern int g_clickWatchFlag;

// Makes the primary entity of one segment on the layer name (created when
// missing). vertical 0: a polyline from start to end in plan with the bulge;
// vertical 1: a riser block reference at start, when the elevations differ
// by 1 or more. The out id is the new entity, or null when nothing was made
// (also when the entity could not be stamped: it is removed again rather
// than left behind without its data).
void CreateLinearGjEntity(cad::ObjectId& id, const std::wstring& name, const std::wstring& number,
                          const geom::Point3d& start, const geom::Point3d& end, double bulge,
                          int vertical);

// The name of the marker block of a riser number: the number with "*" and
// every other character a block name may not hold replaced by "·"; "·" for
// an empty number.
std::wstring VertGjBlockName(const std::wstring& number);

// Makes sure the marker block exists (one point at the origin) and the layer
// exists. Mode 0 leaves an existing block as it is; mode 1 empties it and
// puts one new point at its origin. A null database means the working one.
void EnsureVertGjBlock(const std::wstring& layer, const std::wstring& blockName, cad::Database* db,
                       int mode);

// False exactly when segment B lies on segment A: parallel within 3 degrees
// and both ends of B within 1 of A (3D distances).
bool IsSegmentNotOnSegment(const geom::Point3d& aStart, const geom::Point3d& aEnd,
                           const geom::Point3d& bStart, const geom::Point3d& bEnd);

// Checks a new segment against those already made in a run: false when the
// new one lies on one of them (rejected); segments that lie on the new one
// are erased and dropped from the list. True: the caller makes the new one.
bool RemoveOverlappedSegments(GjSegmentArray& segments, const geom::Point3d& start,
                              const geom::Point3d& end);

// False when the entity duplicates another component entity on the layer:
// the same point block within 10, a riser within 10 in plan with the same
// span within 10, or a sloped segment with both ends within 3 (either way).
// False too when the entity itself cannot be read. Candidates that cannot be
// read are passed over.
bool CheckGjOverlap(const std::wstring& layer, cad::ObjectId id);

// The message watch of the click pick loops: sets g_clickWatchFlag.
void WatchClickProc(const ed::Msg* msg);
