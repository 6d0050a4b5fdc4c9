// The shell's small commands: the object snap switches, the distance check,
// the line chain on the current component's layer and the launchers of the
// window library's rule and piece windows and of the conversion dialogs.
// Their handlers are declared in command_table.h; this header only names the
// texts they use.
#pragma once

// The strings queued for the host by the two snap switches.
inline constexpr const wchar_t* kInputSnapAllString = L"'InputSnapAll\n";
inline constexpr const wchar_t* kInputSnapPartString = L"'InputSnapPart\n";

// The prompts of KivLineLen.
inline constexpr const wchar_t* kLineLenFirstPrompt = L"\n请点取第一点:";
inline constexpr const wchar_t* kLineLenSecondPrompt = L"\n请点取第二点:";

// The prompts of KivPickupElev.
inline constexpr const wchar_t* kChainFirstPrompt = L"\n指定第一点: ";
inline constexpr const wchar_t* kChainNextPrompt = L"\n指定下一点或[撤销U]:";
inline constexpr const wchar_t* kChainNextOrClosePrompt = L"\n指定下一点或[闭合C/撤销U]:";
