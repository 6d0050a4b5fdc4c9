// Placeholders of the solid3d commands that are not built yet: each says so
// on the command line. A command's real handler replaces its line here.
#include "module/solid3d/solid3d_commands.h"
#include "module/toolkit/not_built.h"

KIV_COMMAND_NOT_BUILT(KivSolid3d)
KIV_COMMAND_NOT_BUILT(KivSolidAll3d)
KIV_COMMAND_NOT_BUILT(KivSolid2d)
