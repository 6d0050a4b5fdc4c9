// The layer of the pictures: scanned or exported plans laid under the drawing
// as raster images on the layer "轴网", which stays locked while no picture
// command runs.
#pragma once

namespace cad {
class DbObject;
}

// The layer that holds the pictures.
inline constexpr const wchar_t* kPictureLayerName = L"轴网";

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
