// GjRebuildCur, GjRebuildAll and DwgRebuild: the sibling module rebuilds its
// own components first (to its end), then the discipline rebuild routines
// rebuild ours.
#include "module/shell/rebuild_commands.h"

#include "module/model/floor_table_writer.h"
#include "module/model/seams.h"
#include "module/shell/command_table.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/suite_call.h"
#include "platform/editor/cmdline.h"

namespace {

// The sibling's rebuild of its own components of a type and number; three
// empty texts rebuild all of them. Its answer is not used.
void siblingRebuild(const std::wstring& type, const std::wstring& number) {
  SuiteCall<int(const wchar_t*, const wchar_t*, const wchar_t*)>::call(
      SuiteModule::Sibling, "ZebArx_Rebuild_W", 0, type.c_str(), number.c_str(), L"");
}

}  // namespace

void CmdGjRebuildCur() {
  const std::wstring type = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  siblingRebuild(type, number);
  // The completion is reported only over a rebuild that ran; otherwise the
  // rebuild has said why it did not.
  if (Seams().rebuildGjByType(type, number, cad::ObjectIdArray{})) ed::print(L"%s重建完成!\n", type.c_str());
}

void CmdGjRebuildAll() {
  WriteAllGjToFloorTables();
  siblingRebuild(L"", L"");
  if (Seams().rebuildAllGjTypes()) ed::print(L"\n安装重建完成!\n");
}


