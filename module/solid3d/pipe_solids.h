// Pipe runs and risers as solids, pulled back at the pipe fittings on their
// ends, and the pipe fittings' own solids built from their arms.
#pragma once

#include <string>
#include <vector>

#include "module/solid3d/twins.h"
#include "platform/geom/geom.h"

// One arm of a pipe fitting (its "图形参数" rows): the direction from the
// junction along the pipe and the pipe's nominal diameter.
struct FittingArm {
  geom::Vector3d dir;
  double diameter = 0;
};

// The arms of a fitting; false unless there are 1 to 4 rows of exactly four
// numbers (and no zero direction).
bool ReadFittingArms(cad::ObjectId fitting, std::vector<FittingArm>& arms);

// How far a pipe ending at the fitting is pulled back along direction d
// (from the end towards the pipe's other end): the fitting's extent along
// that arm. False when the fitting does not trim this end (a straight
// fitting across the pipe, or an elbow without angle).
bool FittingTrimLength(const std::vector<FittingArm>& arms, const geom::Vector3d& d, double& trim);

// The fittings linked to a run ("管件" handles, found in the run's own
// drawing) that lie within 10 of an end pull that end back.
void TrimPipeEndsAtFittings(cad::ObjectId id, geom::Point3d& start, geom::Point3d& end);

std::wstring MakePipeSolid(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out);
std::wstring MakePipeFittingSolid(const std::wstring& type, cad::ObjectId id, const TypeRows& rows, TwinList& out);

// The z of plan point p on the slope of a run from a (elevation s) to b
// (elevation e): flat at s below 1.0 of difference, else rising linearly
// along the chord.
double RunElevationAt(const geom::Point3d& p, const geom::Point3d& a, const geom::Point3d& b, double s, double e);

// The fitting ids linked to an entity, resolved in the entity's own drawing.
cad::ObjectIdArray LinkedFittings(cad::ObjectId id);
