// KivSaveAs: packs the open project into one archive file (".GCK") that the
// user names. The drawing is saved first; the project folder is copied into a
// time-stamped folder under the temporary directory, the copy is packed by the
// base library and removed again, whether or not the user confirmed.
#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "module/model/model_services.h"
#include "module/shell/project_open.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/hostcmd.h"
#include "platform/suite/suite_abi.h"

namespace {

constexpr unsigned char kFailed = 0;

}  // namespace

std::wstring ArchiveStamp(const os::LocalTime& t) {
  return ed::format(L"%2d_%2d_%2d", t.hour, t.minute, t.second);
}

std::wstring ArchiveCopyFolder(const std::wstring& stamp) {
  return g_tempDir + L"\\" + g_projectName + L"_" + stamp;
}

void CmdKivSaveAs() {
  // Without a project every path would start at the root of the file system:
  // nothing is copied, packed or deleted then.
  if (g_projectName.empty() || g_projectRoot.empty() || g_tempDir.empty()) {
    ed::print(L"\n没有打开的工程,不能保存工程库文件。\n");
    return;
  }
  const std::wstring stamp = ArchiveStamp(os::localTime());
  ed::command({L"qsave"});

  const std::wstring source = ProjectFolderPath() + L"\\*.*";
  const std::wstring folder = ArchiveCopyFolder(stamp);
  const std::wstring copy = folder + L"\\*.*";
  bool copied = SuiteCall<decltype(Dll_CopyFiles_W)>::call(SuiteModule::Base, "Dll_CopyFiles_W",
                                                           kFailed, source.c_str(), copy.c_str(),
                                                           0) != kFailed;
  if (!copied) {
    // An archive of a partial copy would look whole and miss files: say so
    // and write none.
    ed::print(L"\n工程文件复制失败,未保存工程库文件。\n");
  } else {
    std::wstring chosen;
    const std::wstring suggested = ProjectFolderPath() + L".GCK";
    if (AskArchivePath(suggested, chosen) && !chosen.empty()) {
      if (SuiteCall<decltype(Dll_ZipDir_W)>::call(SuiteModule::Base, "Dll_ZipDir_W", kFailed,
                                                  chosen.c_str(), copy.c_str()) == kFailed)
        ed::print(L"\n工程库文件保存失败: %s\n", chosen.c_str());
    }
  }

  SuiteCall<decltype(Dll_DelFiles_W)>::call(SuiteModule::Base, "Dll_DelFiles_W", kFailed,
                                            copy.c_str());
  os::removeDirectory(folder);
}
