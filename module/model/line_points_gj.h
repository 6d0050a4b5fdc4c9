// Point components spread evenly along a line, an arc or the first segment
// of a polyline that the user picks, or along a line or arc drawn for the
// purpose ("D"; the drawn curve is erased afterwards in every outcome).
// Count, edge distance, elevation and rotation come from the along-line
// palette, read again for every curve. The components of one curve are one
// placement step.
#pragma once

#include <string>

inline constexpr const wchar_t* kLineOnlyFirstSegment = L"此功能只在多义线的第一段布置！";
inline constexpr const wchar_t* kLineMarginTooLarge = L"您输入的边距过大，无法布置构件！";

// The caption titles the palette (e.g. "沿线布灯", "沿线布喷头").
void LayPointGjOnLine(const std::wstring& caption);
