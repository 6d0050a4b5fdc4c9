// The 3D model commands: the current floor in 3D, all floors in 3D and back
// to the plan view.
// The command table registers these handlers.
#pragma once

void CmdKivSolid3d();
void CmdKivSolidAll3d();
void CmdKivSolid2d();
