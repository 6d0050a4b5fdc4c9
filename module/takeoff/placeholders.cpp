// Placeholders of the takeoff commands that are not built yet: each says so
// on the command line. A command's real handler replaces its line here.
#include "module/takeoff/takeoff_commands.h"
#include "module/toolkit/not_built.h"

