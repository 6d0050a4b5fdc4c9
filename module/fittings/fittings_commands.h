// The fittings commands: pipe and duct fittings, the elevation change, the
// adaption of runs and the validity checks.
// The command table registers these handlers.
#pragma once

void CmdKivChangeElev();
void CmdGPS_ValidCheck();
void CmdDQ_ValidCheck();
void CmdGPS_Adaption();
void CmdNT_Adaption();
void CmdLayPFittings();
void CmdFloorPFittings();
void CmdLayWPFittings();
void CmdFloorWPFittings();
void CmdDuctJoin();
void CmdDuctRotate();
void CmdLinkOpening();
void CmdDuctBend();
void CmdDuctTee();
void CmdDuctCross();
void CmdDuctReducer();
void CmdDuctFittings();
