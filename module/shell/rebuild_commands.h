// The rebuild commands and the rebuild routines of the discipline layout
// commands that they run.
#pragma once

#include <string>

#include "platform/cad/ids.h"

#include "module/model/neighbour_services.h"
