// Result codes of the editor's prompts and host calls, and the flags that
// initGet() sets for the next prompt.
#pragma once

namespace ed {

// Results of prompts, selection calls and nested host commands.
constexpr int kNormal = 5100;    // a value was given
constexpr int kNone = 5000;      // Enter (null input)
constexpr int kError = -5001;    // failure, or a pick that hit nothing
constexpr int kCancel = -5002;   // Escape, or the input ran out
constexpr int kReject = -5003;   // the call was refused (e.g. a modal command inside a command)
constexpr int kKeyword = -5005;  // a keyword (or, with kArbitraryInput, any text) was typed

// initGet() flags: they hold for the next prompt only.
constexpr int kNoNull = 0x01;          // Enter is not accepted
constexpr int kNoZero = 0x02;          // zero is not accepted
constexpr int kNoNegative = 0x04;      // negative numbers are not accepted
constexpr int kNoLimits = 0x08;        // (drawing limits are never checked here)
constexpr int kUse3d = 0x10;           // distances measured in 3D
constexpr int kDashedLine = 0x20;      // rubber band drawn dashed (recorded only)
constexpr int kIgnoreZ = 0x40;         // distances measured in plan
constexpr int kArbitraryInput = 0x80;  // any typed text comes back as a keyword

inline const char* resultName(int r) {
  switch (r) {
    case kNormal: return "normal";
    case kNone: return "none";
    case kError: return "error";
    case kCancel: return "cancel";
    case kReject: return "reject";
    case kKeyword: return "keyword";
    default: return "unknown";
  }
}

}  // namespace ed
