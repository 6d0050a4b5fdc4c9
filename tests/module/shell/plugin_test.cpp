// The built plug-in loaded by the editor as the host loads it: its commands
// on the real command stack, the sibling's commands it replaces, unload.
#include <gtest/gtest.h>

#include <filesystem>

#include <map>
#include <set>

#include "platform/editor/editor.h"
#include "platform/os/os.h"

namespace {

const std::filesystem::path kPlugin = KIV_BINARY_DIR "/bin/KivZeb.arx";
const wchar_t* const kSiblingCommands[] = {
    L"DaMain",      L"GjRebuildAll", L"DwgRebuild", L"GjRebuildCur", L"GjParaDisp",
    L"ZebTotalAll", L"ZebTotalCur",  L"ZebTotalGj", L"ZebTotal3d",
};

std::vector<ed::CommandInfo> commandsOf(const std::wstring& group) {
  std::vector<ed::CommandInfo> out;
  for (const auto& c : ed::commandStack().commands())
    if (c.group == group) out.push_back(c);
  return out;
}

class Plugin : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kPlugin)) GTEST_SKIP() << "plug-in not built";
    ed::resetEditor();
    os::clearLibrarySearchDirs();
    // The sibling module's group as the sibling registers it.
    for (const wchar_t* name : kSiblingCommands) siblingAdd(name);
    siblingAdd(L"SwitchFloor");
  }
  void TearDown() override {
    ed::unloadAllModules();
    os::clearLibrarySearchDirs();
  }
  void siblingAdd(const std::wstring& name) {
    ed::commandStack().addCommand(L"Zeb", name, name, ed::kCmdModal,
                                  [this, name] { siblingRan_.push_back(name); });
  }
  void load() {
    std::wstring error;
    ASSERT_TRUE(ed::loadModule(kPlugin, error)) << testing::PrintToString(error);
  }
  std::vector<std::wstring> siblingRan_;
};

TEST_F(Plugin, RegistersTheCommandTableInItsThreeGroups) {
  load();
  auto kiv = commandsOf(L"KivZeb"), ac = commandsOf(L"AcZeb"), xeb = commandsOf(L"KivXeb");
  EXPECT_EQ(kiv.size() + ac.size() + xeb.size(), 189u);
  std::set<std::wstring> acNames, xebNames, transparent;
  std::map<std::wstring, std::wstring> local;
  for (const auto* group : {&kiv, &ac, &xeb})
    for (const auto& c : *group) {
      if (c.flags & ed::kCmdTransparent) transparent.insert(c.globalName);
      if (c.localName != c.globalName) local[c.globalName] = c.localName;
    }
  for (const auto& c : ac) acNames.insert(c.globalName);
  for (const auto& c : xeb) xebNames.insert(c.globalName);
  EXPECT_EQ(acNames, (std::set<std::wstring>{L"OpeningRect", L"OpenningSector", L"OpeningSide",
                                             L"SideOnLine", L"Ventilate"}));
  EXPECT_EQ(xebNames, std::set<std::wstring>{L"DuctFittings"});
  EXPECT_EQ(transparent, (std::set<std::wstring>{L"KivPickupElev", L"GPS_Acc", L"KivInputSnapAll",
                                                 L"KivInputSnapPart"}));
  EXPECT_EQ(local, (std::map<std::wstring, std::wstring>{{L"DuctRotate", L"DuctRoate"}}));
  // A few names from each owner of the table.
  for (const wchar_t* name : {L"DaMain", L"KivSwitchFloor", L"KivSaveAs", L"LayPipe", L"NT_EquipFoundation",
                              L"ZebAllArea", L"DuctReducer", L"KivSolid2d", L"LeadingWire", L"TableConv",
                              L"KivImageShowAll", L"KivGjType"})
    EXPECT_NE(ed::commandStack().lookupInGroup(L"KivZeb", name), nullptr)
        << testing::PrintToString(std::wstring(name));
  EXPECT_NE(ed::commandStack().lookup(L"DuctRoate"), nullptr);
}

TEST_F(Plugin, TakesOverTheSiblingsNineCommands) {
  load();
  auto zeb = commandsOf(L"Zeb");
  ASSERT_EQ(zeb.size(), 1u);
  EXPECT_EQ(zeb[0].globalName, L"SwitchFloor");
  for (const wchar_t* name : kSiblingCommands) {
    const ed::CommandInfo* c = ed::commandStack().lookup(name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->group, L"KivZeb");
  }
  // DaMain ran at load, and typing it runs this module's command.
  EXPECT_EQ(ed::runCommand(L"DaMain"), ed::kNormal);
  EXPECT_TRUE(siblingRan_.empty());
}

TEST_F(Plugin, TransparentCommandsStartInsideAnotherCommandModalOnesDoNot) {
  load();
  std::map<std::wstring, int> results;
  ed::commandStack().addCommand(L"Test", L"Outer", L"Outer", ed::kCmdModal, [&] {
    for (const wchar_t* name : {L"'KivPickupElev", L"'GPS_Acc", L"'KivInputSnapAll",
                                L"'KivInputSnapPart", L"LayPipe", L"DaMain"})
      results[name] = ed::runCommand(name);
  });
  ed::runCommand(L"Outer");
  EXPECT_NE(results[L"'KivPickupElev"], ed::kReject);
  EXPECT_NE(results[L"'GPS_Acc"], ed::kReject);
  EXPECT_NE(results[L"'KivInputSnapAll"], ed::kReject);
  EXPECT_NE(results[L"'KivInputSnapPart"], ed::kReject);
  EXPECT_EQ(results[L"LayPipe"], ed::kReject);
  EXPECT_EQ(results[L"DaMain"], ed::kReject);
}

TEST_F(Plugin, UnloadRemovesEveryCommandAndLeavesTheSibling) {
  load();
  ed::unloadAllModules();
  EXPECT_TRUE(commandsOf(L"KivZeb").empty());
  EXPECT_TRUE(commandsOf(L"AcZeb").empty());
  EXPECT_TRUE(commandsOf(L"KivXeb").empty());
  for (const auto& g : ed::commandStack().groups())
    EXPECT_TRUE(g != L"KivZeb" && g != L"AcZeb" && g != L"KivXeb") << testing::PrintToString(g);
  EXPECT_EQ(ed::commandStack().lookup(L"LayPipe"), nullptr);
  EXPECT_EQ(ed::commandStack().lookup(L"DuctRoate"), nullptr);
  EXPECT_NE(ed::commandStack().lookupInGroup(L"Zeb", L"SwitchFloor"), nullptr);
}

TEST_F(Plugin, MissingSuiteLibrariesAreToldOnceAndNothingBreaks) {
  size_t mark = ed::transcriptMark();
  load();  // no library search folder: none of the suite's libraries is found
  for (const wchar_t* name : {L"DaMain", L"GjRebuildCur", L"KivSwitchFloor", L"LayPipe"})
    EXPECT_EQ(ed::runCommand(name), ed::kNormal) << testing::PrintToString(std::wstring(name));
  std::wstring printed = ed::transcriptSince(mark);
  for (const wchar_t* lib : {L"Tolm.dll", L"Ravn.dll", L"Pelk.dll", L"Zeb.Arx"}) {
    std::wstring msg = std::wstring(L"缺少 ") + lib;
    size_t first = printed.find(msg);
    EXPECT_NE(first, std::wstring::npos) << testing::PrintToString(msg);
    EXPECT_EQ(printed.find(msg, first + 1), std::wstring::npos) << testing::PrintToString(msg);
  }
}

}  // namespace
