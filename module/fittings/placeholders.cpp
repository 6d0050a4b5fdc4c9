// Placeholders of the fittings commands that are not built yet: each says so
// on the command line. A command's real handler replaces its line here.
#include "module/fittings/fittings_commands.h"
#include "module/toolkit/not_built.h"

KIV_COMMAND_NOT_BUILT(DuctJoin)
KIV_COMMAND_NOT_BUILT(DuctRotate)
KIV_COMMAND_NOT_BUILT(LinkOpening)
KIV_COMMAND_NOT_BUILT(DuctBend)
KIV_COMMAND_NOT_BUILT(DuctTee)
KIV_COMMAND_NOT_BUILT(DuctCross)
KIV_COMMAND_NOT_BUILT(DuctReducer)
KIV_COMMAND_NOT_BUILT(DuctFittings)
