// Per-kind component lists of one floor: every component entity of the
// floor's model space sorted, once per floor, into one id list per component
// kind, so that each calculator reads only its own kind's entities.
//
// The kind of a component is the name of its layer. Slot 0 holds every entity
// on one of the kind layers (model-space order); slots 1 to 137 the ids of
// slot 0 per kind, in slot-0 order. The grid-axis layers 轴网 and 辅助轴网
// share slot 1; slots 24, 28 and 29 belong to no kind.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "module/takeoff/axis_locator.h"
#include "platform/cad/database.h"

constexpr int kGjSlotCount = 138;
constexpr int kGjAxisSlot = 1;

// The slot of a kind name (exact, case-sensitive); -1 for any other name.
int GjKindSlot(const std::wstring& name);
// The 135 kind names in slot order, joined with ",".
const std::wstring& GjKindLayerList();

struct GjBuckets {
  GjBuckets() : slots(kGjSlotCount) {}
  // The drawing whose components are sorted; null means the working drawing.
  cad::Database* database = nullptr;
  std::vector<cad::ObjectIdArray> slots;
  // The floor's grid axes (slot 1), read at their first use after a sorting.
  std::unique_ptr<AxisLocator> axes;
  // The measured lengths (mm) of the runs that stand in a region's lists for
  // the parts of a cut run (see the region take-off); any other run is
  // measured by its own outline.
  std::unordered_map<cad::ObjectId, double> runLengths;
};

const AxisLocator& FloorAxisLocator(GjBuckets& buckets);

// Empties the slots of every kind; slot 0 and the unused slots stay.
void ClearGjBuckets(GjBuckets& buckets);
// Fills the buckets from their database: slot 0 is replaced by the model-space
// entities on the kind layers, and each of them is appended to its kind's slot.
void SortFloorGjIntoBuckets(GjBuckets& buckets);
