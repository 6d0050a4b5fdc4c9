// The two value records that carry geometry between the placement engines,
// the drawing conversion, the take-off and the fitting commands: one straight
// piece of a linear component or source line, and one point of a network (a
// device, a fixture, a pipe end). Kept by value in growable arrays; they own
// nothing but their two texts.
#pragma once

#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

struct GjSegment {
  cad::ObjectId id;      // the segment's entity (null when it has none yet)
  geom::Point3d start;   // z is the start elevation where the user sets it
  geom::Point3d end;
  std::wstring name;     // component name (the layer name)
  std::wstring number;   // component number

  GjSegment() = default;
  GjSegment(cad::ObjectId id_, const geom::Point3d& start_, const geom::Point3d& end_,
            std::wstring name_, std::wstring number_)
      : id(id_), start(start_), end(end_), name(std::move(name_)), number(std::move(number_)) {}
  bool operator==(const GjSegment&) const = default;
};

struct GjNode {
  cad::ObjectId id;        // the entity the node stands for
  geom::Point3d position;  // insertion point, pipe end
  geom::Point3d boxMin;    // lower corner of the node's extents
  geom::Point3d boxMax;    // upper corner
  std::wstring name;       // component name
  std::wstring number;     // component number
  double value = 0.0;      // travels with the node (a fixture's rotation; 0 for devices)

  GjNode() = default;
  bool operator==(const GjNode&) const = default;
};

using GjSegmentArray = std::vector<GjSegment>;
using GjNodeArray = std::vector<GjNode>;

// Constructs a record in place in uninitialised storage (as an array does
// when it grows by one element).
GjSegment* ConstructGjSegment(void* storage, cad::ObjectId id, const geom::Point3d& start,
                              const geom::Point3d& end, const std::wstring& name,
                              const std::wstring& number);
// The value comes right after the position, unlike its place among the fields.
GjNode* ConstructGjNode(void* storage, cad::ObjectId id, const geom::Point3d& position, double value,
                        const geom::Point3d& boxMin, const geom::Point3d& boxMax,
                        const std::wstring& name, const std::wstring& number);
// The same, as a value to append to an array.
GjNode MakeGjNode(cad::ObjectId id, const geom::Point3d& position, double value,
                  const geom::Point3d& boxMin, const geom::Point3d& boxMax, const std::wstring& name,
                  const std::wstring& number);
