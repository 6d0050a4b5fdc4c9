#include "module/toolkit/globals.h"

void* g_dllInstance = nullptr;
ArxModuleRecord g_arxModule;

std::wstring g_baseDir;
std::wstring g_systemDir;
std::wstring g_projectRoot;
std::wstring g_tempDir;
std::wstring g_projectName;
