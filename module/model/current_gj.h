// The current component definition: what a layout engine, a create or
// decorate callback or a rebuild routine needs to know of the component it
// draws. There are two instances, one for linear components and one for
// point components, so that a point engine drawing a service pipe leaves the
// point definition alone.
#pragma once

#include <cstdint>
#include <string>

#include "module/toolkit/strings.h"

namespace cad {
class Database;
}

struct CurrentGj {
  std::wstring name;          // component name (type), also its layer name
  std::wstring number;        // number from the host combo "编号"; empty when none is chosen
  StringArray params;         // per row of the name on the floor: 编号 "=" 参数 lines joined by "\r\n"
  StringArray coordFormulas;  // per row with a 坐标: 编号 "=" formula text
  StringArray coords;         // per number with a formula: number "=" computed coordinate lines
  std::uint32_t colour = 16777215;       // layer colour, RGB with red in the low byte
  std::uint32_t labelColour = 16777215;  // colour of the label layer (name + "名")
};

extern CurrentGj g_curLineGj;   // linear components
extern CurrentGj g_curPointGj;  // point components

// Loads the component that the host combos show (floor, name, number) into
// g_curLineGj, every field. When no number is chosen, the rest is loaded
// all the same, "GjType\n" is sent to the host (so that the user picks a
// number) and the answer is false.
bool LoadCurGjDefine();
// The same for g_curPointGj.
bool LoadCurPointGj();

// Loads the named component of the floor in the combo "楼层" into
// g_curLineGj, every field but number. With force false nothing is read when
// the name is the one already loaded (the name is the cache key; pass force
// to read another floor's or changed tables).
void LoadGjDefineByName(const std::wstring& name, bool force);
// The same for g_curPointGj; an empty floor means the floor of the combo.
void LoadPointGjByName(const std::wstring& name, const std::wstring& floor, bool force);

// Makes the three layers of a component type, each current in turn, coloured
// from the definition: the name (its colour), name + "名" (its label colour)
// and name + "边线" (its colour), which stays the current layer.
void PrepareGjLayers(const std::wstring& name, const CurrentGj& def, cad::Database* db);

// The parameter lines of one number of a definition, split into lines.
StringArray GetGjParamLines(const CurrentGj& gj, const std::wstring& number);
// The computed coordinate lines of one number of a definition.
StringArray GetGjCoordLines(const CurrentGj& gj, const std::wstring& number);
