// The 3D model commands: the current floor in 3D, all floors in 3D and back
// to the plan view.
// The command table registers these handlers.
#pragma once

void CmdKivSolid3d();
void CmdKivSolidAll3d();
void CmdKivSolid2d();

// The 3D model of the current floor (its base at elevation 0) in the
// current drawing; only in the one-floor 3D mode with a project open. With a
// pickfirst selection only the selected components are built again.
void BuildFloorSolids();
// The 3D model of every storey of the floor table, each at its stacked base
// elevation; only in the all-floors 3D mode with a project open.
void BuildAllFloorSolids();
