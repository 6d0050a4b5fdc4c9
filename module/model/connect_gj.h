// Connecting point components already in the drawing (sanitary fixtures,
// sprinkler heads, lamps, switches, boxes) or points the user gives, node
// after node, with a linear component run. Each leg between two nodes is a
// horizontal segment at the elevation of the suite's connect-by-pipe window
// and, while its riser switch is on, a riser at each end to the node's own
// elevation; a leg is one step that "U" takes back. A riser that would lie on
// an existing riser of the same component name and number is not made (a
// shorter one of that system lying on it is replaced); risers of other
// systems are never compared or erased.
#pragma once

#include <string>

// The fixture layers: legs stop 15 short of a fixture's insertion point.
inline constexpr const wchar_t* kFixtureLayers =
    L"点状灯具,块状灯具,开关,其它电器具,动力设备,电消防设备,其它电设备,配电箱,配电盘,配电柜,元件装置,接线盒";

// types: comma list of the component types that may be picked (empty: any
// component). The create and decorate callbacks of the command make the
// entities.
void ConnectGjByPipe(const std::wstring& types);
