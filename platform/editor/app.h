// The loadable-module interface between cadhost and the modules it loads
// (the plug-in and its sibling modules). A module is an ELF shared object
// loaded by file name; it exports
//     extern "C" int acrxEntryPoint(int msg, void* appId);
// and may export
//     extern "C" int acrxGetApiVersion();
// The host sends kInitApp after loading, kUnloadApp before unloading, and the
// drawing messages when a drawing is opened or closed. The entry point
// returns kRetOk (anything else from kInitApp makes the host unload it).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ed {

// Messages sent to a module's entry point.
enum AppMessage : int {
  kNullMsg = 0,
  kInitApp = 1,        // the module was loaded: register commands, reactors
  kUnloadApp = 2,      // the module is about to be unloaded: remove them
  kLoadDwgMsg = 3,     // a drawing was opened (the document is current)
  kUnloadDwgMsg = 4,   // a drawing is about to be closed
  kInvkSubrMsg = 5,    // reserved: an exported function is invoked
  kCfgMsg = 6,         // reserved: configuration
  kEndMsg = 7,         // the editor session ends
  kQuitMsg = 8,        // the host quits
  kSaveMsg = 9,        // the drawing is about to be saved
  kPreQuitMsg = 10,    // the host is about to quit
  kInitDialogMsg = 11, // reserved
  kEndDialogMsg = 12,  // reserved
  kSuspendMsg = 13,    // reserved
};

// Entry point results.
constexpr int kRetOk = 0;
constexpr int kRetError = 3;

// The interface version modules report from acrxGetApiVersion().
constexpr int kApiVersion = 0x120000;

// The names of the exported symbols.
inline constexpr const char* kEntryPointSymbol = "acrxEntryPoint";
inline constexpr const char* kApiVersionSymbol = "acrxGetApiVersion";

using EntryPointFn = int (*)(int msg, void* appId);
using ApiVersionFn = int (*)();

// The options cadhost was started with; the sibling module reads the suite
// and projects folders and the project name from here.
struct HostOptions {
  std::filesystem::path hostDir;      // the folder of the cadhost executable
  std::filesystem::path suiteDir;     // --suite (default: hostDir/../suite)
  std::filesystem::path projectsDir;  // --projects (default: hostDir/../projects)
  std::wstring project;               // --project (may be empty)
  std::filesystem::path drawing;      // --drawing (may be empty)
  bool echo = false;                  // --echo: print inputs as they are read
};
HostOptions& hostOptions();

// A module loaded by the host (see loadModule).
struct LoadedModule {
  std::filesystem::path path;
  std::wstring name;         // file name, e.g. L"KivZeb.arx"
  void* handle = nullptr;    // the library handle
  EntryPointFn entry = nullptr;
  int apiVersion = 0;        // 0 when the module does not report one
};

// Loads a module by path, looks up its entry point and sends kInitApp.
// Returns false (with a message in error) when the file cannot be loaded,
// has no entry point, or its init fails; nothing stays loaded then.
bool loadModule(const std::filesystem::path& path, std::wstring& error);
// Sends kUnloadApp to every loaded module (newest first) and unloads them.
void unloadAllModules();
// Sends a message to every loaded module, oldest first.
void broadcastAppMessage(int msg);
const std::vector<LoadedModule>& loadedModules();

}  // namespace ed
