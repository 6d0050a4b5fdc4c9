#include "platform/editor/app.h"

#include <dlfcn.h>

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
  // RTLD_GLOBAL: the plug-in and its siblings see one another's exports,
  // as modules loaded into one host process do.
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!h) {
    const char* e = ::dlerror();
    error = L"cannot load " + os::fromUtf8(path.string()) + L": " + os::fromUtf8(e ? e : "");
    return false;
  }
  auto entry = reinterpret_cast<EntryPointFn>(::dlsym(h, kEntryPointSymbol));
  if (!entry) {
    error = L"no entry point in " + os::fromUtf8(path.string());
    ::dlclose(h);
    return false;
  }
  LoadedModule m;
  m.path = path;
  m.name = os::fromUtf8(path.filename().string());
  m.handle = h;
  m.entry = entry;
  if (auto ver = reinterpret_cast<ApiVersionFn>(::dlsym(h, kApiVersionSymbol))) m.apiVersion = ver();
  mods().push_back(m);
  int r = entry(kInitApp, h);
  if (r != kRetOk) {
    error = L"the module " + m.name + L" refused to initialise";
    entry(kUnloadApp, h);
    mods().pop_back();
    ::dlclose(h);
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
