// Commands whose subsystem is not built yet say so when typed, instead of
// silently doing nothing.
#include <gtest/gtest.h>

#include <string>

#include "module/conversion/conversion_dialogs.h"
#include "module/shell/command_table.h"
#include "platform/editor/cmdline.h"

namespace {

CommandHandler handlerOf(const std::wstring& name) {
  for (std::size_t i = 0; i < CommandTableSize(); ++i)
    if (CommandTable()[i].globalName == name) return CommandTable()[i].handler;
  return nullptr;
}

std::wstring notBuilt(const std::wstring& name) { return L"命令 " + name + L" 尚未实现。"; }

TEST(NotBuilt, EachSubsystemsCommandsSayTheyAreNotBuilt) {
  // The first and last rows of each owner in the command table.
  for (const wchar_t* name : {L"LayPipe", L"GPS_Acc", L"NT_EquipFoundation", L"ZebTotalArea", L"ZebAllArea",
                              L"KivChangeElev", L"DuctRotate", L"DuctFittings", L"KivSolid3d", L"KivSolid2d"}) {
    CommandHandler handler = handlerOf(name);
    ASSERT_NE(handler, nullptr) << testing::PrintToString(std::wstring(name));
    const std::size_t mark = ed::transcriptMark();
    handler();
    EXPECT_NE(ed::transcriptSince(mark).find(notBuilt(name)), std::wstring::npos)
        << testing::PrintToString(ed::transcriptSince(mark));
  }
}

TEST(NotBuilt, ConversionLaunchersSayTheirDialogIsNotBuilt) {
  const struct {
    void (*show)();
    const wchar_t* command;
  } kCases[] = {{&ShowDeviceConv, L"DeviceConv"},
                {&ShowPipeConv, L"PipeConv"},
                {&ShowPipeLineConv, L"PipeLineConv"},
                {&ShowAirDuctConv, L"AirDuctConv"},
                {&ShowWaterPipeConv, L"WaterPipeConv"}};
  for (const auto& c : kCases) {
    const std::size_t mark = ed::transcriptMark();
    c.show();
    const std::wstring said = ed::transcriptSince(mark);
    EXPECT_NE(said.find(notBuilt(c.command)), std::wstring::npos) << testing::PrintToString(said);
  }
  DestroyFloorConvDialogs();
  DestroyConvArea();
}

}  // namespace
