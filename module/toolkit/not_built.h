// Commands whose subsystem is not built yet. Each one is a plain handler in
// the folder of the subsystem that owns it and says so on the command line,
// so that typing it is never silently a no-op, and so that the real handler
// landing beside a leftover placeholder fails the link.
#pragma once

#include <vector>

// Prints "命令 NAME 尚未实现。" on the command line.
void ReportCommandNotBuilt(const wchar_t* command);
// Records NAME as a placeholder; answers true.
bool RegisterCommandNotBuilt(const wchar_t* command);
// Every placeholder defined in the plug-in, in no particular order.
const std::vector<const wchar_t*>& CommandsNotBuilt();

// Defines the handler CmdNAME of the command NAME as a placeholder.
#define KIV_COMMAND_NOT_BUILT(name)                                                \
  void Cmd##name() { ReportCommandNotBuilt(L"" #name); }                           \
  [[maybe_unused]] static const bool kNotBuilt##name = RegisterCommandNotBuilt(L"" #name);
