// DaMain: opens the project that the sibling module reports and sets the path
// globals. The rest of the project open (rule tables, floor seeding, pictures)
// and the floor switch come with the project-open work.
#include <vector>

#include "module/shell/command_table.h"
#include "module/shell/globals.h"
#include "platform/suite/sibling/zeb_abi.h"

namespace {

constexpr size_t kPathChars = 260;

}  // namespace

void CmdDaMain() {
  // Five buffers of 260 characters: installation folder, suite folder, (not
  // used), projects root, project name. Room to spare keeps a careless writer
  // inside them.
  std::vector<std::vector<wchar_t>> b(5, std::vector<wchar_t>(kPathChars + 1, L'\0'));
  int open = SuiteCall<decltype(ZebArx_DaMain_W)>::call(
      SuiteModule::Sibling, "ZebArx_DaMain_W", 0, b[0].data(), b[1].data(), b[2].data(),
      b[3].data(), b[4].data());
  if (open == 0) return;
  for (auto& v : b) v.back() = L'\0';

  g_baseDir = b[0].data();
  g_systemDir = std::wstring(b[1].data()) + L"\\系统文件";
  g_projectRoot = b[3].data();
  g_tempDir = g_baseDir + L"\\TMP";
  g_projectName = b[4].data();
}
