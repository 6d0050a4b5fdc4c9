#include "module/model/module_resources.h"

#include <filesystem>

#include "platform/editor/cmdline.h"
#include "platform/editor/editor.h"
#include "platform/os/os.h"
#include "platform/ui/ui.h"

#ifndef KIV_MODULE_RESOURCE_DIR
#define KIV_MODULE_RESOURCE_DIR ""
#endif

namespace {

// The module's dialogs need the window layer's control classes, and a script
// that answers them needs the layer's answer directives registered before
// the host reads it: both are set up when the plug-in is loaded.
[[maybe_unused]] const bool g_windowLayerReady = (ui::init(), true);

std::filesystem::path resourceFolder() {
  std::error_code ec;
  std::wstring self = os::moduleFileName(os::moduleOfAddress(reinterpret_cast<const void*>(&ModuleUiResources)));
  if (!self.empty()) {
    std::filesystem::path beside = os::nativePath(self).parent_path() / "resources";
    if (std::filesystem::is_directory(beside, ec)) return beside;
  }
  return std::filesystem::path(KIV_MODULE_RESOURCE_DIR);
}

}  // namespace

const ui::Resources& ModuleUiResources() {
  static const ui::Resources resources = [] {
    ui::Resources r;
    std::filesystem::path folder = resourceFolder();
    if (!r.loadFolder(folder)) {
      ed::print(L"\n模块资源读取有误: %s\n", os::fromUtf8(folder.string()).c_str());
      for (const auto& e : r.errors()) ed::print(L"  %s\n", e.c_str());
    }
    return r;
  }();
  return resources;
}
