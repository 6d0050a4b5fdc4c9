// Which calculator computes which component kind, and the hand-over of one
// kind of the component library to its calculator.
#pragma once

#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"

enum class KindCalculator { None, LinearRun, Wire, WireConduit, CountedItem, SupportWeight, DuctArea };

// The calculator of a kind name (exact, case-sensitive); None for the grid
// axes and any name that is no component kind.
KindCalculator KindCalculatorOf(const std::wstring& name);

// Runs the calculator of the name on the current floor; a name of no
// calculator does nothing (and is not marked done). db is the floor's side
// database (null for the open drawing), which the wire calculators use.
void DispatchKindCalculator(const std::wstring& name, StringArray& doneKinds, cad::Database* db);

// The calculators (linear runs in linear_runs.cpp; the others in their own files).
void CalcLinearRunQuantities(StringArray& doneKinds, const std::wstring& name);
void CalcWireQuantities(StringArray& doneKinds, const std::wstring& name, cad::Database* db);
void CalcWireConduitQuantities(StringArray& doneKinds, const std::wstring& name, cad::Database* db);
void CalcCountedItemQuantities(StringArray& doneKinds, const std::wstring& name);
void CalcSupportWeightQuantities(StringArray& doneKinds, const std::wstring& name);
void CalcDuctAreaQuantities(StringArray& doneKinds, const std::wstring& name);
