// The picture commands: scanned or exported plans laid under the drawing as
// raster images on the layer "轴网", which stays locked while no picture
// command runs. Their files live in the project folder.
#pragma once

#include <string>

#include "module/model/image_dialogs.h"
#include "module/toolkit/picture_layer.h"
#include "platform/cad/ids.h"

// The entity last picked by KivImageHide (kept even when it is erased later).
extern cad::ObjectId g_lastHiddenImage;

// The picture file of a chosen path: the project folder, a backslash and the
// file's name.
std::wstring ProjectPicturePath(const std::wstring& chosenPath);

// The command handlers are declared with the command table (command_table.h).
