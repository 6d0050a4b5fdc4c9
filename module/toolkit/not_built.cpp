#include "module/toolkit/not_built.h"

#include "platform/editor/cmdline.h"

void ReportCommandNotBuilt(const wchar_t* command) { ed::print(L"\n命令 %s 尚未实现。\n", command); }
