// Placeholders of the layout commands that are not built yet: each says so
// on the command line. A command's real handler replaces its line here.
#include "module/layout/layout_commands.h"
#include "module/toolkit/not_built.h"

KIV_COMMAND_NOT_BUILT(PipeJoin)
KIV_COMMAND_NOT_BUILT(PGradient)
KIV_COMMAND_NOT_BUILT(BreakPipeLine)
KIV_COMMAND_NOT_BUILT(JoinPipeLine)
KIV_COMMAND_NOT_BUILT(LBand_Auto)
KIV_COMMAND_NOT_BUILT(DownLead)
KIV_COMMAND_NOT_BUILT(WaterPJoin)
KIV_COMMAND_NOT_BUILT(WPGradient)
KIV_COMMAND_NOT_BUILT(Coil)
KIV_COMMAND_NOT_BUILT(LineToCoil)
