// A spatial index of model space for the picks and window selections: the
// plan boxes of the entities in a uniform grid, kept current from the
// database's change log, so that a pick looks at the entities near it rather
// than at the whole drawing.
#pragma once

#include <vector>

#include "platform/cad/database.h"

namespace ed::detail {

// An axis-aligned box in plan.
struct PlanBox {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The plan box of what the selection tests look at for an entity. False when
// there is nothing to hit (the tests never select the entity).
using PlanBoxFn = bool (*)(const cad::Entity& ent, PlanBox& box);

// The model-space entities of db whose box (as boxOf gives it) may meet box,
// in model-space order: a superset of the entities a test confined to box
// selects, among those that can be opened for read now. The caller runs its
// exact test on each. boxOf must stay the same function for a database.
std::vector<cad::ObjectId> modelSpaceCandidates(cad::Database& db, const PlanBox& box, PlanBoxFn boxOf);

}  // namespace ed::detail
