// The library's attach and detach, the entry point with its init and unload
// work, and the binding of the suite.
#include <string>
#include <vector>

#include "module/layout/command_frame.h"
#include "module/layout/rebuild_gj.h"
#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/shell/module.h"
#include "module/toolkit/window_lib.h"
#include "platform/editor/app.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"
#include "platform/editor/status.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

#define KIV_EXPORT __attribute__((visibility("default")))

namespace {

void* ownModule() {
  return os::moduleOfAddress(reinterpret_cast<const void*>(&acrxEntryPoint));
}

// A module that the host has already loaded (the sibling modules). The
// library layer knows the ones it loaded itself; a module the host loaded by
// other means is bound through its file, which only adds a reference.
os::ModuleHandle findLoadedModule(const wchar_t* name) {
  if (os::ModuleHandle h = os::moduleHandle(name)) return h;
  for (const auto& m : ed::loadedModules())
    if (os::iequals(m.name, name)) return os::loadLibrary(os::fromUtf8(m.path.string()));
  return nullptr;
}

// A suite library by its bare name, as the host's library search finds it;
// failing that, in the suite's system folder that the host was started with.
os::ModuleHandle loadSuiteLibrary(const wchar_t* name) {
  if (os::ModuleHandle h = os::loadLibrary(name)) return h;
  const auto& suite = ed::hostOptions().suiteDir;
  if (suite.empty()) return nullptr;
  return os::loadLibrary(os::fromUtf8((suite / u8"系统文件").string()) + L"/" + name);
}

void freeSuiteLibrary(os::ModuleHandle& h) {
  if (h) os::freeLibrary(h);
  h = nullptr;
}

// Commands that read or write the project's tables or floor drawings: they
// do nothing useful without an open project, and say so instead of running
// silently on empty paths.
bool needsProject(const std::wstring& name) {
  static const wchar_t* const kNames[] = {
      L"ZebTotalAll", L"ZebTotalCur", L"ZebTotalGj",    L"ZebTotal3d",     L"ZebTotalArea",  L"ZebAllArea",
      L"KivSwitchFloor", L"GjRebuildAll", L"GjRebuildCur", L"KivSaveAs",   L"LayPFittings",  L"FloorPFittings",
      L"LayWPFittings", L"FloorWPFittings", L"DeviceConv", L"PipeConv",    L"PipeLineConv",  L"WaterPipeConv",
      L"AirDuctConv",  L"TableConv",     L"Coil",         L"LineToCoil"};
  for (const wchar_t* n : kNames)
    if (name == n) return true;
  const LayoutCommandRow* row = FindLayoutCommandRow(name);
  return row && row->form != LayoutForm::Nothing && *row->types;
}

bool projectIsOpen() { return !g_projectName.empty() && os::isDirectory(ProjectFolderPath()); }

// The handler of a command that needs a project: without one the command
// says so and counts as failed.
ed::CommandFn guardedHandler(const std::wstring& name, CommandHandler handler) {
  if (!needsProject(name)) return handler;
  return [name, handler] {
    if (projectIsOpen()) return handler();
    const std::wstring message = L"没有打开的工程，" + name + L"未执行";
    ed::printText(L"\n" + message + L"\n");
    ed::failActiveCommand(message);
  };
}

}  // namespace

// ---------------------------------------------------------------------------
// Attach and detach
// ---------------------------------------------------------------------------

void ModuleProcessAttach() {
  if (!g_dllInstance) g_dllInstance = ownModule();
  if (g_arxModule.attached) return;  // attached once per process
  g_arxModule.attached = true;
  g_arxModule.resourceInstance = g_dllInstance;
  ++g_arxModule.attachCount;
}

void ModuleProcessDetach() {
  if (!g_arxModule.attached) return;
  g_arxModule.attached = false;
}

__attribute__((constructor)) static void onLibraryAttach() { ModuleProcessAttach(); }
__attribute__((destructor)) static void onLibraryDetach() { ModuleProcessDetach(); }

// ---------------------------------------------------------------------------
// Suite binding
// ---------------------------------------------------------------------------

void* HostMainWindow() {
  // The headless host has no main frame window of its own; the libraries
  // accept a null window.
  return nullptr;
}

std::wstring BaseDirFromLibraryFolder(const std::wstring& folder) {
  std::wstring upper = os::toUpper(folder);
  size_t pos = upper.find(L"\\系统文件");
  if (pos == std::wstring::npos) return {};
  return upper.substr(0, pos);
}

void InitSuiteBinding() {
  ResetSuiteMissReports();

  g_siblingArx = findLoadedModule(L"Zeb.Arx");
  g_siblingConvArx = findLoadedModule(L"ZebConv.Arx");

  g_hostBaseLib = loadSuiteLibrary(L"Tolm.dll");
  g_hostTableLib = loadSuiteLibrary(L"Ravn.dll");
  g_hostWindowLib = loadSuiteLibrary(L"Pelk.dll");
  g_hostEstimateLib = loadSuiteLibrary(L"Kwor.dll");

  // Say at once which of the modules that the commands call is missing; the
  // calls into it then give neutral answers and stay silent.
  for (SuiteModule m : {SuiteModule::Base, SuiteModule::Table, SuiteModule::Window,
                        SuiteModule::Sibling})
    if (!SuiteModuleHandle(m)) FindSuiteFunction(m, "");

  // The base directory: the base library's folder, upper-cased, cut before
  // "\系统文件". Without the base library there is no folder to read.
  g_baseDir.clear();
  if (g_hostBaseLib) {
    std::wstring file = os::moduleFileName(g_hostBaseLib);
    std::vector<wchar_t> dir(file.size() + 261, L'\0');
    if (SuiteCall<decltype(Dll_ExtractFileDir_W)>::call(SuiteModule::Base, "Dll_ExtractFileDir_W",
                                                         file.c_str(), dir.data())) {
      dir.back() = L'\0';
      g_baseDir = BaseDirFromLibraryFolder(dir.data());
    }
  }

  if (g_hostBaseLib)
    SuiteCall<decltype(Dll_InitVar)>::call(SuiteModule::Base, "Dll_InitVar", HostMainWindow());
  if (g_hostWindowLib) winlib::InitVar(HostMainWindow(), g_baseDir);

  BuildGjCategoryTable();
}

// ---------------------------------------------------------------------------
// Init and unload
// ---------------------------------------------------------------------------

void RegisterCommands() {
  ed::CommandStack& stack = ed::commandStack();
  for (const wchar_t* name : kReplacedSiblingCommands) stack.removeCommand(kSiblingGroup, name);

  const CommandEntry* table = CommandTable();
  for (size_t i = 0; i < CommandTableSize(); ++i) {
    const CommandEntry& e = table[i];
    stack.addCommand(e.group, e.globalName, e.localName,
                     e.flags == kTransparent ? ed::kCmdTransparent : ed::kCmdModal,
                     guardedHandler(e.globalName, e.handler));
  }

  InitSuiteBinding();
  // The rebuild commands and the exported rebuild reach the discipline
  // rebuild routines through the component model's seams.
  InstallRebuildSeams();

  // The background drawing of the installation. Without a base directory the
  // name would point at the root of the file system: nothing is opened then.
  if (!g_baseDir.empty()) {
    std::wstring back = g_baseDir + L"\\BACK.DWG";
    if (os::isFile(back)) {
      std::wstring error;
      ed::docManager().openDocument(os::fromUtf8(os::nativePath(back).string()), error);
    }
  }

  // Open the project as if the user had typed DaMain.
  if (ed::runCommand(L"DaMain") == ed::kReject) CmdDaMain();
}

void UnloadModule() {
  // Whatever could still call into the suite goes first.
  RunUnloadHooks();

  freeSuiteLibrary(g_hostBaseLib);
  freeSuiteLibrary(g_hostTableLib);
  freeSuiteLibrary(g_hostWindowLib);
  freeSuiteLibrary(g_hostEstimateLib);

  ed::CommandStack& stack = ed::commandStack();
  stack.removeGroup(kGroupKivZeb);
  stack.removeGroup(kGroupAcZeb);
  stack.removeGroup(kGroupKivXeb);
}

// ---------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------

extern "C" KIV_EXPORT int acrxEntryPoint(int msg, void* appId) {
  switch (msg) {
    case 1:  // init
      if (!g_dllInstance) g_dllInstance = ownModule();
      if (!g_dllInstance) g_dllInstance = appId;
      if (!g_arxModule.resourceInstance) g_arxModule.resourceInstance = g_dllInstance;
      RegisterCommands();
      break;
    case 2:  // unload
      UnloadModule();
      break;
    default:
      break;
  }
  return 0;
}

extern "C" KIV_EXPORT int acrxGetApiVersion() { return 0x120000; }
