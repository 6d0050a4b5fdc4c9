// The drawing database in one include.
#pragma once

#include "platform/cad/color.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/ids.h"
#include "platform/cad/object.h"
#include "platform/cad/status.h"
#include "platform/cad/tables.h"
#include "platform/cad/values.h"
