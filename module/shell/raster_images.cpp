#include "module/shell/raster_images.h"

#include <algorithm>
#include <cmath>

#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "module/shell/module.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/os/os.h"

cad::ObjectId g_lastHiddenImage;

namespace {

constexpr const wchar_t* kPickPicturePrompt = L"\n选择一图片:";
constexpr const wchar_t* kNotAPicture = L"\n你选择的不是图片!";

// Asks for an entity until one is picked; a miss, Enter or a right click asks
// again. False on cancel. With picturesOnly, a pick of anything else says so
// and asks again.
bool pickEntity(bool picturesOnly, cad::ObjectId& id, geom::Point3d& at) {
  for (;;) {
    int r = ed::entSel(kPickPicturePrompt, id, at);
    if (r == ed::kCancel) return false;
    if (r != ed::kNormal) continue;
    if (!picturesOnly) return true;
    cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
    if (obj && IsPictureObject(obj.get())) return true;
    ed::printText(kNotAPicture);
  }
}

// The pictures on the picture layer in the whole drawing.
cad::ObjectIdArray picturesOnLayer() {
  cad::ObjectIdArray ids, pictures;
  SelectIdsByLayerAndNumber(kPictureLayerName, L"", ids);
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
    if (obj && IsPictureObject(obj.get())) pictures.push_back(id);
  }
  return pictures;
}

void drawOrder(const wchar_t* option) {
  PictureLayerScope layer(true);
  cad::ObjectId id;
  geom::Point3d at;
  if (!pickEntity(false, id, at)) return;
  ed::command({L"draworder", id, L"", option, L""});
}

}  // namespace

std::wstring ProjectPicturePath(const std::wstring& chosenPath) {
  return ProjectFolderPath() + L"\\" + os::fileNameOf(chosenPath);
}

void CmdKivInPutImages() {
  ModuleResourceScope resources;
  PictureLayerScope layer(true);
  // Without an open project there is no folder to keep the picture in.
  if (g_projectName.empty()) {
    ed::printText(L"\n没有打开的工程,无法插入图片!");
    return;
  }
  std::wstring chosen;
  if (!ChoosePictureFile(chosen) || os::fileNameOf(chosen).empty()) return;
  const std::wstring target = ProjectPicturePath(chosen);
  if (os::isFile(target)) {
    ed::printText(L"\n文件在当前工程目录下!");
  } else if (!os::copyFile(chosen, target, true)) {
    ed::printText(L"\n文件拷贝不成功!");
    return;
  } else {
    ed::printText(L"\n文件拷贝成功!");
  }
  geom::Point3d first, second;
  if (ed::getPoint(nullptr, L"\n请选择一个插入点:", first) != ed::kNormal) return;
  if (ed::getCorner(first, L"\n选择一个区域:", second) != ed::kNormal) return;
  const geom::Point3d at(std::min(first.x, second.x), std::min(first.y, second.y), 0);
  const double width = std::fabs(first.x - second.x);
  // The host refuses a zero scale and would wait for another: say so instead.
  if (!(width > 0)) {
    ed::printText(L"\n区域宽度为零,未插入图片!");
    return;
  }
  ed::command({L"_.image", L"a", target, at, width, 0.0});
}

void CmdKivClearImage() {
  PictureLayerScope layer(false);
  for (cad::ObjectId id : picturesOnLayer()) EraseEntity(id);
}

void CmdKivImageScale() {
  ModuleResourceScope resources;
  PictureLayerScope layer(true);
  cad::ObjectId id;
  geom::Point3d pickedAt;
  // Only pictures: scaling a component would put its geometry out of step
  // with its stored data.
  if (!pickEntity(true, id, pickedAt)) return;
  geom::Point3d from;
  if (ed::getPoint(nullptr, L"\n请选择点：", from) != ed::kNormal) return;
  double distance = 0;
  if (ed::getDist(&from, L"\n距离:", distance) != ed::kNormal) return;
  if (!(distance > 0)) {
    ed::printText(L"\n距离必须大于零!");
    return;
  }
  double length = 0;
  // Cancelling the dialog leaves the picture as it was.
  if (!AskRealLength(length)) return;
  if (!(length > 0)) {
    ed::printText(L"\n实际长度必须大于零!");
    return;
  }
  ed::command({L"SCALE", id, L"", pickedAt, L"R", distance, length});
}

void CmdKivImageFront() { drawOrder(L"F"); }
void CmdKivImageBack() { drawOrder(L"B"); }

void CmdKivImageManage() {
  ModuleResourceScope resources;
  OpenViewImagesDialog();
}

void CmdKivImageHide() {
  ModuleResourceScope resources;
  PictureLayerScope layer(true);
  cad::ObjectId id;
  geom::Point3d at;
  if (!pickEntity(false, id, at)) return;
  g_lastHiddenImage = id;
  if (id.isNull()) {
    ed::printText(L"图片打开失败!");
    return;
  }
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) {
    ed::printText(L"图片打开失败!");
    return;
  }
  if (!IsPictureObject(ent.get())) {
    ed::printText(kNotAPicture);
    return;
  }
  if (ent.get()->upgradeOpen() != cad::Status::Ok) {
    ed::printText(L"图片打开失败!");
    return;
  }
  ent->setVisibility(false, true);
  ed::printText(L"\n图片隐藏成功!");
}

void CmdKivImageShow() {
  if (g_lastHiddenImage.isNull()) {
    ed::printText(L"\nID为空!");
    return;
  }
  PictureLayerScope layer(false);
  cad::ObjectPtr<cad::Entity> ent(g_lastHiddenImage, cad::OpenMode::ForWrite);
  if (!ent) return;
  if (!IsPictureObject(ent.get())) {
    ed::printText(kNotAPicture);
    return;
  }
  ent->setVisibility(true, true);
  ed::printText(L"\n图片显示成功!");
}

void CmdKivImageShowAll() {
  PictureLayerScope layer(false);
  for (cad::ObjectId id : picturesOnLayer()) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
    if (ent) ent->setVisibility(true, true);
  }
}
