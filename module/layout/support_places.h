// The point components already standing on one layer, indexed by place, so
// that the support and junction-box engines can refuse a duplicate (the same
// block within 10 at the same elevation, the rule of the overlap check)
// without searching the whole drawing for every new component: the engines
// place thousands at once, and a drawing-wide search each would make them
// quadratic.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

class PointGjPlaces {
 public:
  // The point components on the layer now, read from the working drawing.
  explicit PointGjPlaces(const std::wstring& layer);
  // True when a component of that block stands within 10 of p (z: its
  // elevation), or any within the given distance whatever its block.
  bool taken(const std::wstring& blockName, const geom::Point3d& p, double anyBlockWithin = 0) const;
  void add(const std::wstring& blockName, const geom::Point3d& p);

 private:
  struct Entry {
    std::wstring block;
    geom::Point3d at;
  };
  static std::int64_t cell(double v);
  static std::uint64_t key(std::int64_t x, std::int64_t y, std::int64_t z);
  std::unordered_map<std::uint64_t, std::vector<Entry>> cells_;
};

// Makes one point component's figure and 3D twin as RebuildPointGjFigure and
// the 3D refresh do, but with the duplicate test against places instead of
// the drawing: a duplicate is erased (false); otherwise it is remembered.
bool FinishPointGj(PointGjPlaces& places, const std::wstring& type, const std::wstring& number, cad::ObjectId id,
                   const geom::Point3d& at);
