// Commands whose subsystem is not built yet. Each one is a plain handler in
// the folder of the subsystem that owns it and says so on the command line,
// so that typing it is never silently a no-op, and so that the real handler
// landing beside a leftover placeholder fails the link.
#pragma once

// Prints "命令 NAME 尚未实现。" on the command line.
void ReportCommandNotBuilt(const wchar_t* command);

// Defines the handler CmdNAME of the command NAME as a placeholder.
#define KIV_COMMAND_NOT_BUILT(name) \
  void Cmd##name() { ReportCommandNotBuilt(L"" #name); }
