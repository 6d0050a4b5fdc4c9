// Zeb.Arx: the suite's sibling module. It reports the open project's paths to
// the plug-in, registers the command group "Zeb" whose nine project and
// take-off commands the plug-in replaces, and the commands that the plug-in
// sends as strings but does not define itself (SwitchFloor, GjType,
// InputSnapAll, InputSnapPart, Solid3d, Solid2d), each with the least effect
// that makes sense without the rest of the suite.
#include "platform/suite/sibling/zeb_abi.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/editor/app.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

const wchar_t* const kGroup = L"Zeb";

// The commands the plug-in removes from this group and registers itself.
const wchar_t* const kReplacedCommands[] = {
    L"DaMain",     L"GjRebuildAll", L"DwgRebuild", L"GjRebuildCur", L"GjParaDisp",
    L"ZebTotalAll", L"ZebTotalCur", L"ZebTotalGj",  L"ZebTotal3d"};

std::vector<std::wstring>& callLog() {
  static std::vector<std::wstring> log;
  return log;
}

void record(const std::wstring& line) { callLog().push_back(line); }

// The window library, held from init to unload so that its combos keep their
// state while the sibling uses them.
os::ModuleHandle g_windowLib = nullptr;

std::filesystem::path systemDir() { return ed::hostOptions().suiteDir / u8"系统文件"; }

os::ModuleHandle windowLib() {
  if (g_windowLib) return g_windowLib;
  if (auto h = os::moduleHandle(L"Pelk.dll")) return h;
  return nullptr;
}

// The text of a host combo, read through the window library's export.
std::wstring comboText(const wchar_t* combo) {
  auto get = os::findFunction<WinDll_CmbGetName_W_fn>(windowLib(), "WinDll_CmbGetName_W");
  if (!get) return {};
  wchar_t buf[128] = {};
  get(combo, buf);
  buf[127] = 0;
  return buf;
}

bool projectOpen() {
  const auto& o = ed::hostOptions();
  if (o.project.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(o.projectsDir / os::toUtf8(o.project), ec);
}

void copyOut(wchar_t* dst, const std::wstring& src) {
  if (!dst) return;
  size_t n = std::min<size_t>(src.size(), kZebPathCapacity - 1);
  std::wmemcpy(dst, src.data(), n);
  dst[n] = 0;
}

// Command handlers -----------------------------------------------------------

void cmdReplaced(const std::wstring& name) {
  record(name);
  ed::print(L"\n%s: Zeb 模块的命令已运行\n", name.c_str());
}

// Opens the drawing of the floor that the floor combo shows:
// "%s\%s\%s.DWG" of projects root, project and floor.
void cmdSwitchFloor() {
  std::wstring floor = comboText(L"楼层");
  record(L"SwitchFloor " + floor);
  if (!projectOpen()) {
    ed::print(L"\n没有打开的工程\n");
    ed::failActiveCommand(L"没有打开的工程");
    return;
  }
  if (floor.empty()) {
    ed::print(L"\n楼层未选定\n");
    ed::failActiveCommand(L"楼层未选定");
    return;
  }
  const auto& o = ed::hostOptions();
  std::wstring winPath = ed::format(L"%s\\%s\\%s.DWG", os::windowsPath(o.projectsDir).c_str(),
                                    o.project.c_str(), floor.c_str());
  std::filesystem::path native = os::nativePath(winPath);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(native, ec)) {
    ed::print(L"\n楼层图形不存在: %s\n", winPath.c_str());
    ed::failActiveCommand(L"楼层图形不存在: " + winPath);
    return;
  }
  auto& dm = ed::docManager();
  for (ed::Document* doc : dm.documents()) {
    if (doc->fileName().empty()) continue;
    std::error_code e2;
    if (std::filesystem::equivalent(os::nativePath(doc->fileName()), native, e2)) {
      dm.activateDocument(doc);
      ed::print(L"\n当前楼层: %s\n", floor.c_str());
      return;
    }
  }
  std::wstring error;
  if (!dm.openDocument(os::fromUtf8(native.string()), error)) {
    ed::print(L"\n楼层图形打不开: %s %s\n", winPath.c_str(), error.c_str());
    ed::failActiveCommand(L"楼层图形打不开: " + winPath);
    return;
  }
  ed::print(L"\n当前楼层: %s\n", floor.c_str());
}

// The suite's component-type window: here it only reports what it was asked.
void cmdGjType() {
  std::wstring name = comboText(L"构件"), number = comboText(L"编号");
  record(L"GjType " + name + L"," + number);
  ed::print(L"\n构件类型定义: %s %s\n", name.c_str(), number.empty() ? L"(无编号)" : number.c_str());
}

void cmdRecorded(const wchar_t* name, const wchar_t* message) {
  record(name);
  ed::print(L"\n%s\n", message);
}

}  // namespace

extern "C" {

int ZebArx_DaMain_W(wchar_t* installDir, wchar_t* suiteDir, wchar_t* unused,
                    wchar_t* projectsRoot, wchar_t* projectName) {
  record(L"ZebArx_DaMain_W");
  copyOut(unused, L"");
  if (!projectOpen()) {
    for (wchar_t* b : {installDir, suiteDir, projectsRoot, projectName}) copyOut(b, L"");
    return 0;
  }
  const auto& o = ed::hostOptions();
  std::wstring suite = os::windowsPath(o.suiteDir);
  copyOut(installDir, suite);
  copyOut(suiteDir, suite);
  copyOut(projectsRoot, os::windowsPath(o.projectsDir));
  copyOut(projectName, o.project);
  return 1;
}

int ZebArx_Rebuild_W(const wchar_t* type, const wchar_t* number, const wchar_t* extra) {
  auto s = [](const wchar_t* t) { return std::wstring(t ? t : L""); };
  record(L"ZebArx_Rebuild_W " + s(type) + L"," + s(number) + L"," + s(extra));
  return 1;
}

int ZebArx_CallLog_W(wchar_t* out, int capacity) {
  std::wstring text;
  for (const auto& line : callLog()) {
    if (!text.empty()) text += L"\r\n";
    text += line;
  }
  if (out && capacity > 0) {
    size_t n = std::min<size_t>(text.size(), static_cast<size_t>(capacity) - 1);
    std::wmemcpy(out, text.data(), n);
    out[n] = 0;
  }
  return static_cast<int>(text.size());
}

void ZebArx_ClearCallLog(void) { callLog().clear(); }

int acrxEntryPoint(int msg, void* /*appId*/) {
  auto& stack = ed::commandStack();
  if (msg == ed::kInitApp) {
    for (const wchar_t* name : kReplacedCommands) {
      std::wstring n = name;
      stack.addCommand(kGroup, n, n, ed::kCmdModal, [n] { cmdReplaced(n); });
    }
    stack.addCommand(kGroup, L"SwitchFloor", L"SwitchFloor", ed::kCmdModal, cmdSwitchFloor);
    stack.addCommand(kGroup, L"GjType", L"GjType", ed::kCmdTransparent, cmdGjType);
    stack.addCommand(kGroup, L"InputSnapAll", L"InputSnapAll", ed::kCmdTransparent,
                     [] { cmdRecorded(L"InputSnapAll", L"捕捉: 全部构件"); });
    stack.addCommand(kGroup, L"InputSnapPart", L"InputSnapPart", ed::kCmdTransparent,
                     [] { cmdRecorded(L"InputSnapPart", L"捕捉: 当前构件"); });
    stack.addCommand(kGroup, L"Solid3d", L"Solid3d", ed::kCmdModal,
                     [] { cmdRecorded(L"Solid3d", L"三维显示"); });
    stack.addCommand(kGroup, L"Solid2d", L"Solid2d", ed::kCmdModal,
                     [] { cmdRecorded(L"Solid2d", L"二维显示"); });
    // Bind the window library and tell it which project is open, so that its
    // combos list the project's floors before the plug-in asks for them.
    if (!g_windowLib) {
      g_windowLib = os::loadLibrary(L"Pelk.dll");
      if (!g_windowLib)
        g_windowLib = os::loadLibrary(os::windowsPath(systemDir() / u8"Pelk.dll"));
    }
    if (auto setProject =
            os::findFunction<KivPelk_SetProject_W_fn>(g_windowLib, "KivPelk_SetProject_W")) {
      const auto& o = ed::hostOptions();
      std::wstring suite = os::windowsPath(o.suiteDir), root = os::windowsPath(o.projectsDir);
      setProject(suite.c_str(), root.c_str(), projectOpen() ? o.project.c_str() : L"");
    }
  } else if (msg == ed::kUnloadApp) {
    stack.removeGroup(kGroup);
    if (g_windowLib) {
      os::freeLibrary(g_windowLib);
      g_windowLib = nullptr;
    }
  }
  return ed::kRetOk;
}

}  // extern "C"
