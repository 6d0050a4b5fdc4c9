// Tracing the electrical circuits of a floor: wire and conduit runs that touch
// end to end form a chain, the devices at the chain's ends belong to it, and
// the distribution box the chain arrives at closes it.
//
// Runs touch when two of their ends lie closer than 3.0; a device or a box is
// on a run when its position lies closer than 30.0 to one of the run's ends
// (both strict, in 3D with z the elevations). Runs with an end on a box are
// the box-side runs: they join a chain last, after its other runs.
//
// A chain grows from the last run not yet taken; the next run to join is
// always the one of the highest list index that touches a run of the chain or
// lies at a device of the chain. A box-side run left over once every other run
// has been traced (a single wire from a box to a device) is a circuit of its
// own. A chain that reaches no box gives no circuit, and its devices stay free
// for the chains traced after it.
#pragma once

#include <vector>

#include "module/model/records.h"
#include "platform/cad/ids.h"

// Distances (drawing units) below which two run ends touch, and a run end
// meets a device or a box.
constexpr double kCircuitRunTouch = 3.0;
constexpr double kCircuitNodeReach = 30.0;

// The circuits of the given runs, devices and boxes: one id list per circuit,
// its runs and devices in the order they joined, the closing box last. The
// output is emptied first.
void TraceCircuitGeometry(const GjSegmentArray& runs, const GjNodeArray& devices, const GjNodeArray& boxes,
                          std::vector<cad::ObjectIdArray>& circuits);

// The same from entity ids: runs are the ids that have 3D end points (斜管,
// 立管, 贯通管), devices and boxes the ids that are point components; other
// ids are left out.
void TraceCircuits(const cad::ObjectIdArray& runIds, const cad::ObjectIdArray& deviceIds,
                   const cad::ObjectIdArray& boxIds, std::vector<cad::ObjectIdArray>& circuits);
