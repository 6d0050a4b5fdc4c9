// The editor's reads and writes of the current drawing's header values.
#include <filesystem>

#include "platform/cad/database.h"
#include "platform/editor/detail.h"
#include "platform/editor/document.h"
#include "platform/os/os.h"

namespace ed::detail {

namespace {
std::wstring recordName(cad::ObjectId id) {
  cad::ObjectPtr<cad::SymbolTableRecord> rec(id, cad::OpenMode::ForRead);
  return rec ? rec->name() : std::wstring();
}
}  // namespace

std::wstring currentLayer() {
  cad::Database* db = curDatabase();
  std::wstring n = db ? recordName(db->clayer()) : std::wstring();
  return n.empty() ? L"0" : n;
}

bool setCurrentLayer(const std::wstring& name) {
  cad::Database* db = curDatabase();
  if (!db) return false;
  cad::ObjectId id = db->layerId(name);
  if (!id) return false;
  return db->setClayer(id) == cad::Status::Ok;
}

std::wstring currentTextStyle() {
  cad::Database* db = curDatabase();
  return db ? recordName(db->textstyle()) : std::wstring();
}

bool setCurrentTextStyle(const std::wstring& name) {
  cad::Database* db = curDatabase();
  if (!db) return false;
  cad::ObjectId id = db->textStyleId(name);
  if (!id) return false;
  return db->setTextstyle(id) == cad::Status::Ok;
}

std::wstring currentDrawingName() { return curDoc()->docTitle(); }

std::wstring currentDrawingFolder() {
  const std::wstring& f = curDoc()->fileName();
  if (f.empty()) return L"";
  auto p = std::filesystem::path(os::toUtf8(f)).parent_path();
  return os::windowsPath(p) + L"\\";
}

}  // namespace ed::detail
