// Placeholders of the fittings commands that are not built yet: each says so
// on the command line. A command's real handler replaces its line here.
#include "module/fittings/fittings_commands.h"
#include "module/toolkit/not_built.h"

KIV_COMMAND_NOT_BUILT(KivChangeElev)
KIV_COMMAND_NOT_BUILT(GPS_ValidCheck)
KIV_COMMAND_NOT_BUILT(DQ_ValidCheck)
KIV_COMMAND_NOT_BUILT(GPS_Adaption)
KIV_COMMAND_NOT_BUILT(NT_Adaption)
KIV_COMMAND_NOT_BUILT(LayPFittings)
KIV_COMMAND_NOT_BUILT(FloorPFittings)
KIV_COMMAND_NOT_BUILT(LayWPFittings)
KIV_COMMAND_NOT_BUILT(FloorWPFittings)
