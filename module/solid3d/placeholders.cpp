// Placeholders of the solid3d commands that are not built yet: each says so
// on the command line. A command's real handler replaces its line here.
#include "module/solid3d/solid3d_commands.h"
#include "module/toolkit/not_built.h"
