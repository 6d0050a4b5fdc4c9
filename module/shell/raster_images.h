// The picture commands: scanned or exported plans laid under the drawing as
// raster images on the layer "轴网", which stays locked while no picture
// command runs. Their files live in the project folder.
#pragma once

#include <string>

#include "platform/cad/ids.h"

namespace cad {
class DbObject;
}

// The layer that holds the pictures.
inline constexpr const wchar_t* kPictureLayerName = L"轴网";

// The entity last picked by KivImageHide (kept even when it is erased later).
extern cad::ObjectId g_lastHiddenImage;

// Whether an object is a raster picture.
bool IsPictureObject(const cad::DbObject* obj);

// Opening the picture layer: creates "轴网" when it is missing (it becomes
// the current layer), and when it is locked unlocks it and switches it on.
// Closing locks it again, whatever it was before.
void OpenPictureLayer();
void ClosePictureLayer();

// The picture layer opened for one command's run and, with echo, "CMDECHO"
// set to 0; on every way out the layer is locked and "CMDECHO" set to 1.
class PictureLayerScope {
 public:
  explicit PictureLayerScope(bool echoOff);
  ~PictureLayerScope();
  PictureLayerScope(const PictureLayerScope&) = delete;
  PictureLayerScope& operator=(const PictureLayerScope&) = delete;

 private:
  bool echoOff_;
};

// The picture file of a chosen path: the project folder, a backslash and the
// file's name.
std::wstring ProjectPicturePath(const std::wstring& chosenPath);

// The dialogs of the picture commands (built with the window layer, in the
// component model's folder).
// The picture file dialog: true with the chosen full path.
bool ChoosePictureFile(std::wstring& path);
// The dialog "设置比例": true with the typed length after OK, false on Cancel.
bool AskRealLength(double& length);
// KivImageManage's work: opens "控制图片显示" unless it is open already.
void OpenViewImagesDialog();
// Destroys "控制图片显示" when it is open (at unload).
void CloseViewImagesDialog();

// The command handlers are declared with the command table (command_table.h).
