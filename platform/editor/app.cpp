#include "platform/editor/app.h"

#include "platform/os/os.h"

namespace ed {

HostOptions& hostOptions() {
  static HostOptions o;
  return o;
}

namespace {
std::vector<LoadedModule>& mods() {
  static std::vector<LoadedModule> v;
  return v;
}
}  // namespace

bool loadModule(const std::filesystem::path& path, std::wstring& error) {
  // Loaded through the OS layer so that the plug-in finds its siblings by
  // module name, as modules of one host process do.
  os::ModuleHandle h = os::loadLibrary(os::fromUtf8(path.string()));
  if (!h) {
    error = L"cannot load " + os::fromUtf8(path.string()) + L": " + os::fromUtf8(os::lastError());
    return false;
  }
  auto entry = os::findFunction<EntryPointFn>(h, kEntryPointSymbol);
  if (!entry) {
    error = L"no entry point in " + os::fromUtf8(path.string());
    os::freeLibrary(h);
    return false;
  }
  LoadedModule m;
  m.path = path;
  m.name = os::fromUtf8(path.filename().string());
  m.handle = h;
  m.entry = entry;
  if (auto ver = os::findFunction<ApiVersionFn>(h, kApiVersionSymbol)) m.apiVersion = ver();
  mods().push_back(m);
  int r = entry(kInitApp, h);
  if (r != kRetOk) {
    error = L"the module " + m.name + L" refused to initialise";
    entry(kUnloadApp, h);
    mods().pop_back();
    os::freeLibrary(h);
    return false;
  }
  return true;
}

void unloadAllModules() {
  auto& v = mods();
  while (!v.empty()) {
    LoadedModule m = v.back();
    m.entry(kUnloadApp, m.handle);
    v.pop_back();
    // The library stays mapped: objects it handed out (reactors, hooks,
    // static destructors) may still be reached until the process ends.
  }
}

void broadcastAppMessage(int msg) {
  auto copy = mods();
  for (auto& m : copy) m.entry(msg, m.handle);
}

const std::vector<LoadedModule>& loadedModules() { return mods(); }

}  // namespace ed
