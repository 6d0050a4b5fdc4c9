// Side air openings: besides its plan block, each opening gets a side
// figure — its outline stood upright in a vertical plane at the top edge of
// the block — and its number as a label above it.
// - LaySideOpening: one opening at each picked base point (OpeningSide);
// - LaySideOpeningsOnDuct: openings at a spacing along a picked duct
//   (SideOnLine), the first half a spacing from the duct's start.
// Every opening, or the openings of one duct, is one placement step.
#pragma once

#include <string>

#include "platform/cad/ids.h"

inline constexpr const wchar_t* kSideSpacingNotPositive = L"\n风口间距必须大于0！";

void LaySideOpening();
// The prompt of the duct pick and the comma list of the duct types.
void LaySideOpeningsOnDuct(const std::wstring& prompt, const std::wstring& ductTypes);

// The side figure of the opening (block reference id) turned by the angle
// (radians). An opening that duplicates an existing component is erased and
// gets no figure.
void DrawSideOpeningFigure(const std::wstring& name, cad::ObjectId id, double angle);
