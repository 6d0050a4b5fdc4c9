// The module's frame: process attach and detach, the init and unload work of
// the entry point, the binding of the suite, and the resource scope of
// commands that open dialogs.
#pragma once

#include <string>

#include "module/toolkit/module_scope.h"

// Process attach and detach of this library (run by the loader; tests may
// call them again). Attach saves the instance and attaches the extension
// module once per process, however often it runs.
void ModuleProcessAttach();
void ModuleProcessDetach();

// The work of the init message: removes the sibling's nine commands from its
// group "Zeb", registers the command table, binds the suite, opens the
// background drawing and runs DaMain once.
void RegisterCommands();
// The work of the unload message: takes down what could still call into the
// suite (hooks registered with AddUnloadHook, newest first), frees the four
// suite libraries and removes the three command groups.
void UnloadModule();

// Binds the sibling modules and the four suite libraries, finds the base
// directory, runs the libraries' start-up calls and builds the category table.
void InitSuiteBinding();

// The base directory for a base library file name: the library's folder,
// upper-cased, cut before the first "\系统文件"; empty when the folder holds
// no such component (or when the base library is absent).
std::wstring BaseDirFromLibraryFolder(const std::wstring& folder);

// The host's main window as the suite's libraries receive it at start-up.
void* HostMainWindow();

// The entry points this library exports.
extern "C" int acrxEntryPoint(int msg, void* appId);
extern "C" int acrxGetApiVersion();
