// DaMain: opens the project that the sibling module reports, sets the path
// globals, gives the project its rule table, reads the current floor's levels
// and copies the library's installation rows into the floor's component table
// the first time that floor is opened; then re-points the project's pictures.
#include <algorithm>
#include <vector>

#include "module/shell/command_table.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/toolkit/globals.h"
#include "module/model/model_services.h"
#include "module/shell/project_open.h"
#include "module/takeoff/result_set.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"
#include "platform/editor/sysvars.h"
#include "platform/suite/sibling/zeb_abi.h"
#include "platform/suite/suite_abi.h"

namespace {

constexpr size_t kPathChars = 260;
constexpr const wchar_t* kPictureLayer = L"轴网";
constexpr const wchar_t* kCategoryField = L"构件分类";
// The library fields copied into a floor's table: the first two, which hold
// the category and the component name.
constexpr int kSeedFieldCount = 2;

}  // namespace

int SeedProjectRuleTables() {
  int copied = 0;
  for (const wchar_t* ext : {L".DB", L".MB"}) {
    const std::wstring target = ProjectRulePath(ext);
    // The project's own rule table holds the user's rules: it is never
    // replaced by the template.
    if (os::exists(target)) continue;
    const std::wstring source = RuleTemplatePath(ext);
    if (!os::isFile(source)) continue;
    if (SuiteCall<decltype(Dll_CopyFiles_W)>::call(SuiteModule::Base, "Dll_CopyFiles_W",
                                                   static_cast<unsigned char>(0), source.c_str(),
                                                   target.c_str(), 1))
      ++copied;
  }
  return copied;
}

bool CheckFloorGjTable(const std::wstring& floor) {
  const std::wstring path = FloorGjTablePath(floor);
  if (floor.empty() || !os::exists(path)) return true;
  tablelib::Table table(path);
  if (tablelib::FieldCount(table) > 0) return true;
  ed::printText(L"\n[" + floor + L"]的构件表" + path + L"无法读取(表已损坏或无法打开)，此楼层的构件表未改动。\n");
  return false;
}

bool SeedFloorGjTable(const std::wstring& floor) {
  tablelib::Table table(FloorGjTablePath(floor));
  if (table.handle() <= 0) return false;
  // A table that already holds the section, or holds nothing at all, stays.
  if (tablelib::Locate(table, kCategoryField, kInstallSectionMarker)) return false;
  if (tablelib::RecordCount(table) < 1) return false;

  tablelib::Table library(GjLibraryPath());
  if (library.handle() <= 0) return false;
  if (!tablelib::Locate(library, kCategoryField, kInstallSectionMarker)) return false;

  // The fields to copy: the library's first ones, by name, where the floor
  // table has a field of that name.
  std::vector<std::wstring> fields;
  const int n = std::min(tablelib::FieldCount(library), kSeedFieldCount);
  for (int i = 0; i < n; ++i) {
    std::wstring name = tablelib::GetFieldName(library, i);
    if (!name.empty() && tablelib::FindField(table, name)) fields.push_back(name);
  }

  int appended = 0;
  tablelib::Last(table);
  // From the marker row through the last row of the library, each once.
  while (!tablelib::Eof(library)) {
    tablelib::Append(table);
    for (const auto& f : fields) tablelib::WriteAsString(table, f, tablelib::FieldAsString(library, f));
    tablelib::Post(table);
    ++appended;
    tablelib::Next(library);
  }
  return appended > 0;
}

void RelinkProjectImages() {
  GetOrCreateLayer(kPictureLayer, nullptr);
  bool locked = false;
  if (GetLayerFlags(kPictureLayer, nullptr, nullptr, &locked, nullptr) && locked) {
    SetLayerLocked(kPictureLayer, false, nullptr);
    SetLayerOff(kPictureLayer, false, nullptr);
  }
  cad::ObjectIdArray ids;
  SelectIdsByLayerAndNumber(kPictureLayer, L"", ids);
  if (ids.empty()) return;

  const std::wstring folder = ProjectFolderPath();
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
    if (!obj || obj->kind() != cad::Kind::RasterImage) continue;
    cad::ObjectId defId = static_cast<cad::RasterImage*>(obj.get())->imageDefId();
    obj.close();
    cad::ObjectPtr<cad::RasterImageDef> def(defId, cad::OpenMode::ForWrite);
    if (!def) continue;
    const std::wstring& source = def->sourceFileName();
    size_t slash = source.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    std::wstring target = folder + L"\\" + name;
    if (!name.empty() && os::isFile(target)) {
      def->setSourceFileName(target);
      def->load();
    } else {
      ed::print(L"\n图片不在当前工程目录下,请检查!");
    }
  }
  ed::print(L"\n修改完成!");
  SetLayerLocked(kPictureLayer, true, nullptr);
}

void CmdDaMain() {
  // Five buffers of 260 characters: installation folder, suite folder, (not
  // used), projects root, project name. Room to spare keeps a careless writer
  // inside them.
  std::vector<std::vector<wchar_t>> b(5, std::vector<wchar_t>(kPathChars + 1, L'\0'));
  int open = SuiteCall<decltype(ZebArx_DaMain_W)>::call(
      SuiteModule::Sibling, "ZebArx_DaMain_W", 0, b[0].data(), b[1].data(), b[2].data(),
      b[3].data(), b[4].data());
  if (open == 0) return;
  for (auto& v : b) v.back() = L'\0';

  g_baseDir = b[0].data();
  g_systemDir = std::wstring(b[1].data()) + L"\\系统文件";
  g_projectRoot = b[3].data();
  g_tempDir = g_baseDir + L"\\TMP";
  g_projectName = b[4].data();

  // A take-off killed while it put its result tables in place is finished
  // (or undone) before anything reads them.
  SettleLeftResultSets(ProjectFolderPath());
  DestroyConvArea();
  SeedProjectRuleTables();

  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  LoadCurFloorLevels();
  if (!CheckFloorGjTable(floor) || !SeedFloorGjTable(floor)) return;

  // The floor's table gained the library's rows: let the combos read them.
  winlib::CmbFloor(winlib::CmbGetName(winlib::kComboFloor));
  winlib::CmbGjType(winlib::CmbGetName(winlib::kComboCategory));
  RelinkProjectImages();
  ed::setVar(L"MBUTTONPAN", 1);
}
