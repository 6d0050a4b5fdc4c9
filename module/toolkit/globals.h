// The module's globals: alive from load to unload, one instance each.
#pragma once

#include <string>

#include "module/toolkit/strings.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/suite_call.h"

// This module's own instance: its library handle when the library layer
// loaded it, else the application id the host gave at init. An opaque token
// for window classes and resources.
extern void* g_dllInstance;

// The extension-module record: attached once per process, and the module
// whose resources (dialog templates, strings) commands make current.
struct ArxModuleRecord {
  bool attached = false;
  void* resourceInstance = nullptr;
  int attachCount = 0;  // successful attaches (stays 1 however often loaded)
};
extern ArxModuleRecord g_arxModule;

// Path globals. g_baseDir is set at start-up from the base library's folder
// and replaced by the project-open command; the others are set by the
// project-open command and are empty before. An empty g_projectName means
// that no project is open.
extern std::wstring g_baseDir;
extern std::wstring g_systemDir;
extern std::wstring g_projectRoot;
extern std::wstring g_tempDir;
extern std::wstring g_projectName;

