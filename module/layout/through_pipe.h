// Through pipes (贯通管): one vertical component per segment in every floor
// whose height band the pipe crosses. The current floor's part goes into the
// open drawing; every other floor's drawing file is read, changed and saved
// back once per base point (with a .BAK of the old file). Each floor reached
// gets, when its component table lacks the component, a copy of the current
// floor's record. Elevations are building elevations in the dialog and
// floor-relative in each floor's drawing.
#pragma once

#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"
#include "platform/geom/geom.h"

// One string per record of the floor table: "楼层||标高||层高".
void ReadFloorLevelRows(StringArray& rows);

// A floor's band and whether a segment lies on it: start < base + height and
// end > base (both strict).
struct FloorBand {
  std::wstring floor;
  double base = 0;
  double height = 0;  // without sign
};
bool ParseFloorLevelRow(const std::wstring& row, FloorBand& band);
bool SegmentOnFloor(double start, double end, const FloorBand& band);
// The segment's floor-relative elevations: cut to [0, height].
void FloorRelativeSpan(double start, double end, const FloorBand& band, double& zs, double& ze);

// The callbacks of a through pipe, into the given database (null: the
// working one). Create: a red block reference of the number's marker block
// at start (z 0) on the layer name, stamped as primary with "特殊" 贯通管 and
// the two floor-relative elevations; null when they differ by less than 1.
cad::ObjectId CreateThroughPipeGj(const std::wstring& name, const std::wstring& number,
                                  const geom::Point3d& start, const geom::Point3d& end, cad::Database* db);
// Decorate: erases the new pipe when it duplicates one in the same drawing
// (while the overlap check is on); else red section outlines on name+"边线"
// and a red label on name+"名".
void DecorateThroughPipeGj(const std::wstring& name, cad::ObjectId id, cad::Database* db);

// One base point: the segments of the dialog rows into every floor of the
// floor rows (ReadFloorLevelRows) that they cross; the current floor is the
// one the combo "楼层" shows. Each other floor's drawing is read and saved
// once.
void LayThroughPipeAt(const StringArray& dialogRows, const StringArray& floorRows, const geom::Point3d& base);

// The engine of ThroughPipe.
void LayThroughPipeGj();
