#include "module/toolkit/not_built.h"

#include "platform/editor/cmdline.h"

void ReportCommandNotBuilt(const wchar_t* command) { ed::print(L"\n命令 %s 尚未实现。\n", command); }

namespace {
std::vector<const wchar_t*>& notBuiltList() {
  static std::vector<const wchar_t*> list;
  return list;
}
}  // namespace

bool RegisterCommandNotBuilt(const wchar_t* command) {
  notBuiltList().push_back(command);
  return true;
}

const std::vector<const wchar_t*>& CommandsNotBuilt() { return notBuiltList(); }
