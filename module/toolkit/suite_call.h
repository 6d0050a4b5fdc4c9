// Calls into the suite's libraries and the sibling modules.
//
// The module handles are bound once at start-up (InitSuiteBinding in the
// shell) and stay until unload. Every call looks the exported function up by
// name in the handle at the moment of the call and calls it at once; no
// function pointer is kept between calls, so a library that is replaced or
// freed is never called through a stale pointer. (The loaded library keeps
// the names it has resolved, and they go with it when it is freed, so a
// repeated lookup costs no symbol search.)
//
// A library or sibling module that is not there, or a function that it does
// not export, gives the caller's neutral result instead of a call through a
// null pointer; the command line says once which library (or function) is
// missing, so the user learns why a feature does nothing.
#pragma once

#include <string>
#include <utility>

#include "platform/os/os.h"

// The six module handles; each is null when its module is absent.
extern os::ModuleHandle g_siblingArx;       // Zeb.Arx (looked up, never freed)
extern os::ModuleHandle g_siblingConvArx;   // ZebConv.Arx (looked up, never freed)
extern os::ModuleHandle g_hostBaseLib;      // Tolm.dll
extern os::ModuleHandle g_hostTableLib;     // Ravn.dll
extern os::ModuleHandle g_hostWindowLib;    // Pelk.dll
extern os::ModuleHandle g_hostEstimateLib;  // Kwor.dll (bound and freed, never called)

enum class SuiteModule { Base, Table, Window, Estimate, Sibling, SiblingConv };

// The file name of a suite module ("Tolm.dll", "Zeb.Arx", ...).
const wchar_t* SuiteModuleFileName(SuiteModule m);
// The current handle of a suite module (one of the globals above).
os::ModuleHandle SuiteModuleHandle(SuiteModule m);

// Looks the function up now. Null when the module or the function is missing;
// the first miss of each module (and of each function of a loaded module) is
// reported on the command line.
void* FindSuiteFunction(SuiteModule m, const char* name);

// Forgets which misses were already reported (start-up binds afresh).
void ResetSuiteMissReports();

// Calls a suite function of the given signature by name:
//   int n = SuiteCall<int(const wchar_t*)>::call(SuiteModule::Base, "Dll_X", -1, text);
// The neutral result is returned when the function cannot be reached.
template <class Sig>
struct SuiteCall;

template <class R, class... P>
struct SuiteCall<R(P...)> {
  using Fn = R (*)(P...);
  template <class... A>
  static R call(SuiteModule m, const char* name, R neutral, A&&... args) {
    auto fn = reinterpret_cast<Fn>(FindSuiteFunction(m, name));
    if (!fn) return neutral;
    return fn(std::forward<A>(args)...);
  }
};

template <class... P>
struct SuiteCall<void(P...)> {
  using Fn = void (*)(P...);
  // Answers whether the function was reached.
  template <class... A>
  static bool call(SuiteModule m, const char* name, A&&... args) {
    auto fn = reinterpret_cast<Fn>(FindSuiteFunction(m, name));
    if (!fn) return false;
    fn(std::forward<A>(args)...);
    return true;
  }
};
