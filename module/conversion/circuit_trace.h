// Tracing of electrical circuits in an imported drawing.
//
// The wiring (curves of the picked wiring layers) is cut into straight
// two-point pieces, at its vertices and where a lamp sits on it; then every
// run of pieces is followed from one device to the next, across junctions
// within the connection distance and straight gaps up to the merge
// distance. Each run becomes a traced circuit: [end device or null, the
// pieces in order, end device or null] (an end may hold two devices).
//
// Devices are the point components of the categories "设备、箱柜" (boxes and
// cabinets) and "照明器具" (lamps, switches, sockets). They were converted
// into target space, the wiring lies in source space: the tracing maps the
// devices back by the conversion area's shift.
//
// The crossing selections of the tracing go through a spatial index over
// the wiring pieces and device entities only; membership tests use hash
// sets, and runs are followed with a loop, not recursion.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

using TracedCircuit = cad::ObjectIdArray;

// The module-wide state of the circuit conversion, rebuilt by every tracing.
extern std::vector<TracedCircuit> g_tracedCircuits;
extern cad::ObjectIdArray g_deviceEntityIds;   // every entity of every device
extern cad::ObjectIdArray g_devicePrimaryIds;  // parallel: the device's primary entity
extern cad::ObjectIdArray g_untracedPieceIds;  // pieces not yet taken into a circuit
extern cad::ObjectIdArray g_circuitPieceIds;   // every piece after cutting
extern StringArray g_devicePrimaryHandles;     // handle texts of the distinct primaries
// Target minus source of the conversion area the tracing ran with.
extern geom::Vector3d g_circuitShift;
// Empties all of the above.
void ClearCircuitState();

// The primary device of a device entity (null when it is none).
cad::ObjectId DevicePrimaryOf(cad::ObjectId entity);
bool IsDeviceEntity(cad::ObjectId id);
// The device entities that share the number of one of the ids.
void CollectSameNumberIds(const cad::ObjectIdArray& ids, cad::ObjectIdArray& out);

// Keeps the ids whose first 属性 line is their own handle: g_devicePrimaryIds
// and the handle list are replaced by them.
void CollectPrimaryDevices(const cad::ObjectIdArray& ids, StringArray* handles);

// Ascending distance from the reference (stable among equals).
void SortPointsByDistance(std::vector<geom::Point3d>* points, const geom::Point3d& reference);

struct CircuitTraceOptions {
  double merge = 1500.0;   // the longest straight gap a run may jump
  double connect = 50.0;   // wire ends and devices within this touch
  geom::Vector3d shift;    // target minus source of the conversion area
};

struct CircuitTraceResult {
  bool ok = false;
  std::wstring message;  // why nothing was traced
  // Each wiring entity that was cut, with the pieces that replace it.
  std::vector<std::pair<cad::ObjectId, cad::ObjectIdArray>> replaced;
};

// Cuts the wiring, traces the circuits into g_tracedCircuits and fills the
// other globals. Fails with a message (and changes nothing) when there is no
// wiring or fewer than two devices.
CircuitTraceResult TraceCircuits(const cad::ObjectIdArray& wiring, const CircuitTraceOptions& options);
