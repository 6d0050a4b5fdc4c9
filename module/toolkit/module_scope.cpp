#include "module/toolkit/module_scope.h"

#include <vector>

#include "module/toolkit/globals.h"
#include "platform/editor/document.h"

namespace {

std::vector<std::function<void()>>& unloadHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

}  // namespace

void AddUnloadHook(std::function<void()> hook) { unloadHooks().push_back(std::move(hook)); }

void RunUnloadHooks() {
  auto hooks = std::move(unloadHooks());
  unloadHooks().clear();
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if (*it) (*it)();
}

ModuleResourceScope::ModuleResourceScope() {
  ed::docManager().pushResourceHandle(g_arxModule.resourceInstance);
}
ModuleResourceScope::~ModuleResourceScope() { ed::docManager().popResourceHandle(); }
