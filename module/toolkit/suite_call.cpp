#include "module/toolkit/suite_call.h"

#include <set>
#include <string>

#include "platform/editor/cmdline.h"

os::ModuleHandle g_siblingArx = nullptr;
os::ModuleHandle g_siblingConvArx = nullptr;
os::ModuleHandle g_hostBaseLib = nullptr;
os::ModuleHandle g_hostTableLib = nullptr;
os::ModuleHandle g_hostWindowLib = nullptr;
os::ModuleHandle g_hostEstimateLib = nullptr;

namespace {

// Misses already reported: module file names, and "file!function" keys.
std::set<std::wstring>& reportedMisses() {
  static std::set<std::wstring> s;
  return s;
}

}  // namespace

const wchar_t* SuiteModuleFileName(SuiteModule m) {
  switch (m) {
    case SuiteModule::Base: return L"Tolm.dll";
    case SuiteModule::Table: return L"Ravn.dll";
    case SuiteModule::Window: return L"Pelk.dll";
    case SuiteModule::Estimate: return L"Kwor.dll";
    case SuiteModule::Sibling: return L"Zeb.Arx";
    case SuiteModule::SiblingConv: return L"ZebConv.Arx";
  }
  return L"";
}

os::ModuleHandle SuiteModuleHandle(SuiteModule m) {
  switch (m) {
    case SuiteModule::Base: return g_hostBaseLib;
    case SuiteModule::Table: return g_hostTableLib;
    case SuiteModule::Window: return g_hostWindowLib;
    case SuiteModule::Estimate: return g_hostEstimateLib;
    case SuiteModule::Sibling: return g_siblingArx;
    case SuiteModule::SiblingConv: return g_siblingConvArx;
  }
  return nullptr;
}

void* FindSuiteFunction(SuiteModule m, const char* name) {
  os::ModuleHandle h = SuiteModuleHandle(m);
  const wchar_t* file = SuiteModuleFileName(m);
  if (!h) {
    if (reportedMisses().insert(file).second)
      ed::print(L"\n缺少 %s，相关功能不可用\n", file);
    return nullptr;
  }
  void* fn = os::findFunction(h, name);
  if (!fn) {
    std::wstring key = file + (L"!" + os::fromUtf8(name));
    if (reportedMisses().insert(key).second)
      ed::print(L"\n%s 中没有函数 %S，相关功能不可用\n", file, name);
  }
  return fn;
}

void ResetSuiteMissReports() { reportedMisses().clear(); }
