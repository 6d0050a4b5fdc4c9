// The quantity take-off commands: all floors, the current floor, one component,
// the 3D take-off and the area take-offs.
// The command table registers these handlers.
#pragma once

void CmdZebTotalAll();
void CmdZebTotalCur();
void CmdZebTotalGj();
void CmdZebTotal3d();
void CmdZebTotalArea();
void CmdZebAllArea();

// The take-off of the mode in g_totalMode (run by the commands above).
void RunQuantityTakeoff();
