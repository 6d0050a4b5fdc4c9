// The calculator skeleton shared by the calculators and the run length of
// linear runs (pipes, conduits, trays, busways, grooves, earthing and
// lightning conductors, HVAC water pipes).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "module/toolkit/bulge.h"
#include "module/toolkit/strings.h"
#include "platform/cad/database.h"

// A run's length in millimetres: 斜管 the 3D length from the plan outline and
// the two elevations, 立管 and 贯通管 the elevation difference.
double LinearRunLength(const std::wstring& type, double planLength, double startElev, double endElev);

// A component entity's data, read once per entity: its number (first line of
// "编号"), attribute lines ("属性") and special lines ("特殊"), read as the
// xdata line readers read them.
struct GjData {
  cad::ObjectId id;
  std::wstring number;
  StringArray attrs, special;
};
void ReadGjData(cad::ObjectId id, GjData& out);

// One measured entity as the skeleton hands it to a calculator's quantity.
struct MeasuredGj {
  const GjData* data = nullptr;
  PointList vertices;
  BulgeList bulges;
};

// The quantity of one entity: its value name and its value text.
using GjQuantityFn = std::function<void(const MeasuredGj& gj, std::wstring& name, std::wstring& text)>;
// Which entities of the kind's list the calculator measures.
using GjFilterFn = std::function<bool(const GjData& gj)>;

// The record loop: finds the kind's records in the floor table, marks the
// kind done, measures the filtered entities of the kind's list per record
// number and appends one row per record (see the take-off's calculators).
void RunCalculatorSkeleton(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                           const GjQuantityFn& quantity);
