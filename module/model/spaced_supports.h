// Supports (or any point component) along one picked pipe or duct at a
// fixed spacing: the first one spacing from the run's start, the last at
// most at its end, each turned along the run so that it reads upright and
// at the run's elevation where it stands.
#pragma once

#include <string>

// Spacing prompt and the message when the spacing leaves no support.
inline constexpr const wchar_t* kSupportSpacingPrompt = L"\n指定支架间距[2500]:";
inline constexpr const wchar_t* kSupportSpacingTooLarge = L"支架间距太大！";
inline constexpr const wchar_t* kSupportSpacingNotPositive = L"\n支架间距必须大于0！";

// Picks one run of the types (comma list) with the prompt (empty: the pick's
// default), asks for the spacing (Enter: 2500; 0, negative values are
// refused and asked again) and places the supports in one step. Escape at
// either prompt places nothing.
void LaySupportsOnPipe(const std::wstring& runTypes, const std::wstring& prompt);
