// The duct-fitting geometry record in the fitting's extension dictionary.
#include "module/fittings/duct_fitting_geom.h"

#include <memory>

#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"

bool WriteDuctFittingGeom(const std::wstring& key, cad::ObjectId fitting, const cad::ValueChain& chain) {
  cad::ObjectId dictId;
  {
    cad::ObjectPtr<cad::DbObject> obj(fitting, cad::OpenMode::ForWrite);
    if (!obj) {
      ed::print(L"\n实体打开失败!");
      return false;
    }
    if (obj->extensionDictionary().isNull() && obj->createExtensionDictionary() != cad::Status::Ok) {
      ed::print(L"\n实体扩展记录打开失败!");
      return false;
    }
    dictId = obj->extensionDictionary();
  }
  cad::ObjectPtr<cad::Dictionary> dict(dictId, cad::OpenMode::ForWrite);
  if (!dict) {
    ed::print(L"\n实体扩展记录打开失败!");
    return false;
  }
  // The record is filled before it goes into the dictionary, so that a
  // refused chain leaves neither an empty entry nor an orphan record.
  auto record = std::make_unique<cad::Xrecord>();
  if (record->setFromRbChain(chain) != cad::Status::Ok) {
    ed::print(L"\n实体扩展记录打开失败!");
    return false;
  }
  if (dict->setAt(key, std::move(record)) != cad::Status::Ok) {
    ed::print(L"\n实体扩展记录打开失败!");
    return false;
  }
  return true;
}

bool ReadDuctFittingGeom(const std::wstring& key, cad::ObjectId fitting, cad::ValueChain& chain) {
  chain.clear();
  cad::ObjectId dictId;
  {
    cad::ObjectPtr<cad::DbObject> obj(fitting, cad::OpenMode::ForRead);
    if (!obj) return false;
    dictId = obj->extensionDictionary();
  }
  cad::ObjectPtr<cad::Dictionary> dict(dictId, cad::OpenMode::ForRead);
  if (!dict) return false;
  cad::ObjectId recordId;
  if (dict->getAt(key, recordId) != cad::Status::Ok) return false;
  cad::ObjectPtr<cad::Xrecord> record(recordId, cad::OpenMode::ForRead);
  if (!record) return false;
  chain = record->rbChain();
  return true;
}
