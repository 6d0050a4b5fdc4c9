// Shared by the pipe-fitting commands, the elevation change, the adaption and
// the checks: the near-point and segment-box indexes that keep their passes
// from comparing every pipe with every other, the status-bar meter, an
// all-or-nothing drawing step, and small readers of component data.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

// The types of the listed categories joined with ",".
std::wstring CategoryTypeList(const std::wstring& categories);

// Points in 3D cells of a fixed size; a query visits only the cells that a
// ball of the given radius can reach.
class PointGrid3d {
 public:
  explicit PointGrid3d(double cell) : cell_(cell) {}
  // Adds a point under a caller's slot number.
  void add(const geom::Point3d& p, std::size_t slot);
  // The slots whose points lie within radius of p (strictly closer when
  // strict), ascending.
  std::vector<std::size_t> near(const geom::Point3d& p, double radius, bool strict) const;
  std::size_t size() const { return points_.size(); }

 private:
  struct Key {
    long long x, y, z;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const {
      return std::size_t(k.x * 73856093LL ^ k.y * 19349663LL ^ k.z * 83492791LL);
    }
  };
  long long cellOf(double v) const;
  double cell_;
  std::vector<std::pair<geom::Point3d, std::size_t>> points_;
  std::unordered_map<Key, std::vector<std::size_t>, KeyHash> cells_;  // indexes into points_
};

// Straight segments under their 3D bounding boxes (an R-tree).
class SegmentBoxIndex {
 public:
  SegmentBoxIndex();
  ~SegmentBoxIndex();
  SegmentBoxIndex(const SegmentBoxIndex&) = delete;
  SegmentBoxIndex& operator=(const SegmentBoxIndex&) = delete;
  void add(const geom::Point3d& a, const geom::Point3d& b, std::size_t slot);
  // The slots whose boxes meet the box of a-b grown by margin, ascending.
  std::vector<std::size_t> query(const geom::Point3d& a, const geom::Point3d& b, double margin) const;

 private:
  struct Tree;
  std::unique_ptr<Tree> tree_;
};

// The status-bar meter for the time of a pass.
class MeterScope {
 public:
  MeterScope(const wchar_t* label, int max);
  ~MeterScope();
  MeterScope(const MeterScope&) = delete;
  MeterScope& operator=(const MeterScope&) = delete;
  void at(int pos);
};

// A change of the working drawing that stands whole or not at all: what is
// made, changed or erased between construction and keep() is rolled back
// when the object goes without keep().
class DrawingStep {
 public:
  DrawingStep();
  ~DrawingStep();
  DrawingStep(const DrawingStep&) = delete;
  DrawingStep& operator=(const DrawingStep&) = delete;
  void keep();

 private:
  bool open_ = false;
};

// How far from the axis of a straight segment of that length a point may lie
// whose detour |PS| + |PE| - |SE| is at most the given one.
double DetourReach(double length, double detour);

// The first "属性" line of an entity (the handle of its component's primary
// entity); empty when it has none.
std::wstring FirstAttrLine(cad::ObjectId id);
// The layer of an entity; empty when it cannot be opened.
std::wstring LayerOf(cad::ObjectId id);
// The value of a name in parameter lines, the text after the first ":" cut.
std::wstring ParamValue(const StringArray& lines, const std::wstring& name);
// The parameter lines of the component numbers of one floor's component
// table, read once per component name (ReadFloorGjParams, values cut at
// their first ":").
class FloorParams {
 public:
  explicit FloorParams(std::wstring floor) : floor_(std::move(floor)) {}
  // The lines of the first row of the number under the name; null when the
  // table has none.
  const StringArray* of(const std::wstring& name, const std::wstring& number);

 private:
  std::wstring floor_;
  std::unordered_map<std::wstring, std::unordered_map<std::wstring, StringArray>> byName_;
};

// The parameter lines of the component numbers, from rows of number "="
// lines (ReadFloorGjParams): the first row of a number wins.
std::unordered_map<std::wstring, StringArray> ParamsByNumber(const StringArray& rows);
