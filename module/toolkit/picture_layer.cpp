#include "module/toolkit/picture_layer.h"

#include "module/toolkit/layers.h"
#include "platform/cad/object.h"
#include "platform/editor/sysvars.h"

bool IsPictureObject(const cad::DbObject* obj) { return obj && obj->kind() == cad::Kind::RasterImage; }

void OpenPictureLayer() {
  GetOrCreateLayer(kPictureLayerName, nullptr);
  bool locked = false;
  if (GetLayerFlags(kPictureLayerName, nullptr, nullptr, &locked, nullptr) && locked) {
    SetLayerLocked(kPictureLayerName, false, nullptr);
    SetLayerOff(kPictureLayerName, false, nullptr);
  }
}

void ClosePictureLayer() { SetLayerLocked(kPictureLayerName, true, nullptr); }

PictureLayerScope::PictureLayerScope(bool echoOff) : echoOff_(echoOff) {
  OpenPictureLayer();
  if (echoOff_) ed::setVar(L"CMDECHO", 0);
}

PictureLayerScope::~PictureLayerScope() {
  if (echoOff_) ed::setVar(L"CMDECHO", 1);
  ClosePictureLayer();
}
