// Commands whose subsystem is not built yet say so when typed, instead of
// silently doing nothing.
#include <gtest/gtest.h>

#include <string>

#include "module/shell/command_table.h"
#include "module/toolkit/not_built.h"
#include "platform/editor/cmdline.h"

namespace {

CommandHandler handlerOf(const std::wstring& name) {
  for (std::size_t i = 0; i < CommandTableSize(); ++i)
    if (CommandTable()[i].globalName == name) return CommandTable()[i].handler;
  return nullptr;
}

std::wstring notBuilt(const std::wstring& name) { return L"命令 " + name + L" 尚未实现。"; }

TEST(NotBuilt, EveryPlaceholderIsACommandThatSaysItIsNotBuilt) {
  for (const wchar_t* name : CommandsNotBuilt()) {
    CommandHandler handler = handlerOf(name);
    ASSERT_NE(handler, nullptr) << testing::PrintToString(std::wstring(name));
    const std::size_t mark = ed::transcriptMark();
    handler();
    EXPECT_NE(ed::transcriptSince(mark).find(notBuilt(name)), std::wstring::npos)
        << testing::PrintToString(ed::transcriptSince(mark));
  }
}

}  // namespace
