// System variables: read and set by name, without regard to case.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/geom/geom.h"

namespace ed {

// A variable holds an integer (short), a real, a string or a point.
using SysValue = std::variant<int, double, std::wstring, geom::Point3d>;

// kNormal, or kError for an unknown name, a read-only variable (CMDNAMES),
// a value of the wrong kind (an int is accepted for a real) or one out of range.
int getVar(const std::wstring& name, SysValue& out);
int setVar(const std::wstring& name, const SysValue& value);

// Shorthands: the value, or nullopt when the variable is unknown or of
// another kind.
std::optional<int> getVarInt(const std::wstring& name);
std::optional<double> getVarReal(const std::wstring& name);
std::optional<std::wstring> getVarString(const std::wstring& name);

// Every known variable name (upper case, sorted).
std::vector<std::wstring> sysVarNames();

// Restores every variable to its start value (tests use it).
void resetSysVars();

}  // namespace ed
