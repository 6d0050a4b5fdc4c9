// Shell commands whose work is built in later steps (the small commands and
// launchers). Each is
// registered and does nothing yet; the step that builds a command moves its
// handler out of this file.
#include "module/shell/command_table.h"

void CmdKivLineLen() {}
void CmdKivTotalRule() {}
void CmdKivPiece() {}
void CmdKivPieceLoad() {}
void CmdKivPickupElev() {}
void CmdKivInputSnapAll() {}
void CmdKivInputSnapPart() {}
void CmdDeviceConv() {}
void CmdPipeConv() {}
void CmdPipeLineConv() {}
void CmdWaterPipeConv() {}
void CmdAirDuctConv() {}
void CmdTableConv() {}
