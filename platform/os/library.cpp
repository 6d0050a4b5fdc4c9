// Shared libraries loaded by file name, with a registry by base name so that
// a library loaded once is found again by its name alone.
#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/os/detail.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;

namespace os {

struct Module {
  void* dl = nullptr;     // dlopen handle; null for the program itself
  fs::path path;          // the file as loaded
  std::wstring baseName;  // file name part, for lookups by name
  int refs = 0;
  // Functions looked up by name (null for a name the library lacks); the
  // cache goes with the module, so nothing found in a library outlives it.
  std::map<std::string, void*, std::less<>> functions;
};

namespace {
std::mutex g_mutex;
std::vector<std::unique_ptr<Module>> g_modules;  // load order
std::vector<std::wstring> g_searchDirs;
Module g_program;
// Counts the modules that left the registry: a function found before a
// module left may belong to it, and a handle may be reused by a later load.
std::atomic<std::uint64_t> g_unloads{0};

// The functions a thread found last, so that a module calling the same
// function a million times asks the registry once. An entry holds while no
// module has left the registry since it was made.
struct FoundFunction {
  ModuleHandle module = nullptr;
  std::uint64_t unloads = 0;
  std::string name;
  void* fn = nullptr;
};
constexpr size_t kFoundSlots = 128;
// In the thread's static block: kiv_os is loaded with the program, and a
// lookup made for every call must not go through the dynamic thread storage.
thread_local std::array<FoundFunction, kFoundSlots> t_found __attribute__((tls_model("initial-exec")));

FoundFunction& foundSlot(ModuleHandle h, const char* name) {
  // The name's address picks the slot (callers pass literals); its text decides.
  const auto key = reinterpret_cast<std::uintptr_t>(name) ^ (reinterpret_cast<std::uintptr_t>(h) >> 4);
  return t_found[(key ^ (key >> 7)) % kFoundSlots];
}

Module* findByBaseName(std::wstring_view base) {
  for (auto& m : g_modules)
    if (iequals(m->baseName, base)) return m.get();
  return nullptr;
}

Module* findByPath(const fs::path& p) {
  std::error_code ec;
  for (auto& m : g_modules) {
    if (m->path == p || fs::equivalent(m->path, p, ec)) return m.get();
  }
  return nullptr;
}

Module* findByDl(void* dl) {
  for (auto& m : g_modules)
    if (m->dl == dl) return m.get();
  return nullptr;
}

bool isLoaded(ModuleHandle h) {
  for (auto& m : g_modules)
    if (m.get() == h) return true;
  return false;
}

bool hasSeparator(std::wstring_view s) { return s.find_first_of(L"\\/") != std::wstring_view::npos; }

// Where a bare library name is found on disk: the search folders, the
// program's folder, the current folder.
std::optional<fs::path> searchBareName(std::wstring_view name, const std::vector<std::wstring>& dirs) {
  std::vector<std::wstring> all = dirs;
  all.push_back(directoryOf(programPath()));
  all.push_back(L".");
  std::error_code ec;
  for (const auto& d : all) {
    if (d.empty()) continue;
    fs::path p = nativePath(d + L"\\" + std::wstring(name));
    if (fs::is_regular_file(p, ec)) return fs::absolute(p, ec).lexically_normal();
  }
  return std::nullopt;
}
}  // namespace

ModuleHandle loadLibrary(std::wstring_view fileName) {
  if (fileName.empty()) {
    detail::setError("empty library name");
    return nullptr;
  }
  fs::path path;
  std::vector<std::wstring> dirs;
  {
    std::lock_guard lock(g_mutex);
    if (!hasSeparator(fileName)) {
      if (Module* m = findByBaseName(fileName)) {
        ++m->refs;
        return m;
      }
    }
    dirs = g_searchDirs;
  }
  std::error_code ec;
  if (hasSeparator(fileName)) {
    path = nativePath(fileName);
    if (!fs::is_regular_file(path, ec)) {
      detail::setError("library not found: " + toUtf8(fileName));
      return nullptr;
    }
    path = fs::absolute(path, ec).lexically_normal();
  } else {
    auto found = searchBareName(fileName, dirs);
    if (!found) {
      detail::setError("library not found: " + toUtf8(fileName));
      return nullptr;
    }
    path = *found;
  }
  // dlopen runs the library's initialisers, which may call back into this
  // layer, so no lock is held around it.
  void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    const char* e = dlerror();
    detail::setError(std::string("cannot load ") + path.string() + ": " + (e ? e : "unknown error"));
    return nullptr;
  }
  std::lock_guard lock(g_mutex);
  if (Module* m = findByDl(dl)) {
    // The same file under another name: one more reference, one dlopen too many.
    dlclose(dl);
    ++m->refs;
    return m;
  }
  auto m = std::make_unique<Module>();
  m->dl = dl;
  m->path = path;
  m->baseName = fromUtf8(path.filename().string());
  m->refs = 1;
  g_modules.push_back(std::move(m));
  return g_modules.back().get();
}

bool freeLibrary(ModuleHandle h) {
  void* dl = nullptr;
  {
    std::lock_guard lock(g_mutex);
    if (!h || !isLoaded(h)) return detail::fail("not a loaded library");
    if (--h->refs > 0) return true;
    dl = h->dl;
    g_unloads.fetch_add(1, std::memory_order_acq_rel);
    g_modules.erase(std::find_if(g_modules.begin(), g_modules.end(),
                                 [h](auto& m) { return m.get() == h; }));
  }
  if (dlclose(dl) != 0) {
    const char* e = dlerror();
    return detail::fail(std::string("cannot unload: ") + (e ? e : "unknown error"));
  }
  return true;
}

ModuleHandle moduleHandle(std::wstring_view name) {
  if (name.empty()) return &g_program;
  std::lock_guard lock(g_mutex);
  if (!hasSeparator(name)) {
    if (Module* m = findByBaseName(name)) return m;
    detail::setError("library not loaded: " + toUtf8(name));
    return nullptr;
  }
  if (Module* m = findByPath(nativePath(name))) return m;
  detail::setError("library not loaded: " + toUtf8(name));
  return nullptr;
}

ModuleHandle programModule() { return &g_program; }

void* findFunction(ModuleHandle h, const char* name) {
  if (!name) return nullptr;
  FoundFunction& slot = foundSlot(h, name);
  const std::uint64_t unloads = g_unloads.load(std::memory_order_acquire);
  if (slot.fn && slot.module == h && slot.unloads == unloads && slot.name == name) return slot.fn;
  std::lock_guard lock(g_mutex);
  if (!h || !isLoaded(h)) {
    detail::setError("not a loaded library");
    return nullptr;
  }
  auto it = h->functions.find(std::string_view(name));
  if (it == h->functions.end()) {
    // dlsym runs no code of the library, so the lock may stay held.
    dlerror();
    it = h->functions.emplace(name, dlsym(h->dl, name)).first;
  }
  if (!it->second) {
    detail::setError(std::string("no function ") + name);
    return nullptr;
  }
  // Read under the lock: a module leaving now has not been counted yet, and
  // the entry made here is then out of date at once.
  slot.module = h;
  slot.unloads = g_unloads.load(std::memory_order_acquire);
  slot.name = name;
  slot.fn = it->second;
  return it->second;
}

std::wstring moduleFileName(ModuleHandle h) {
  if (!h || h == &g_program) return programPath();
  std::lock_guard lock(g_mutex);
  if (!isLoaded(h)) {
    detail::setError("not a loaded library");
    return {};
  }
  return windowsPath(h->path);
}

ModuleHandle moduleOfAddress(const void* address) {
  Dl_info info{};
  if (!address || !dladdr(address, &info) || !info.dli_fname) return nullptr;
  void* dl = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (!dl) return nullptr;
  ModuleHandle found = nullptr;
  {
    std::lock_guard lock(g_mutex);
    found = findByDl(dl);
  }
  dlclose(dl);  // balances the RTLD_NOLOAD reference
  return found;
}

void addLibrarySearchDir(std::wstring_view dir) {
  std::lock_guard lock(g_mutex);
  g_searchDirs.emplace_back(dir);
}

void clearLibrarySearchDirs() {
  std::lock_guard lock(g_mutex);
  g_searchDirs.clear();
}

std::vector<std::wstring> loadedLibraries() {
  std::lock_guard lock(g_mutex);
  std::vector<std::wstring> out;
  for (auto& m : g_modules) out.push_back(windowsPath(m->path));
  return out;
}

}  // namespace os
