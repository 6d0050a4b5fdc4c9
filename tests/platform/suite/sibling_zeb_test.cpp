// The sibling modules as cadhost loads them: Zeb.Arx registers its command
// group, reports the project paths and opens the floor drawing the floor
// combo names; ZebConv.Arx loads and answers its messages.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/editor/app.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"
#include "platform/os/os.h"
#include "platform/suite/sibling/zeb_abi.h"
#include "platform/suite/suite_abi.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBin = fs::path(KIV_BINARY_DIR) / "bin";
const fs::path kSuite = fs::path(KIV_BINARY_DIR) / "suite";
const fs::path kProjects = fs::path(KIV_BINARY_DIR) / "projects";
const std::wstring kProject = L"示例工程";

class ZebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& o = ed::hostOptions();
    saved_ = o;
    o.suiteDir = kSuite;
    o.projectsDir = kProjects;
    o.project = kProject;
    ASSERT_TRUE(fs::exists(kBin / "Zeb.Arx")) << "build the Zeb target first";
    std::wstring error;
    ASSERT_TRUE(ed::loadModule(kBin / "Zeb.Arx", error)) << os::toUtf8(error);
    zeb_ = ed::loadedModules().back().handle;
    pelk_ = os::loadLibrary(os::windowsPath(kSuite / u8"系统文件" / "Pelk.dll"));
    ASSERT_NE(pelk_, nullptr);
    setCombo_ = os::findFunction<KivPelk_SetCombo_W_fn>(pelk_, "KivPelk_SetCombo_W");
    ASSERT_NE(setCombo_, nullptr);
    ed::clearCommandFailures();
    ed::docManager().reset();
    reinterpret_cast<ZebArx_ClearCallLog_fn>(os::findFunction(static_cast<os::ModuleHandle>(zeb_), "ZebArx_ClearCallLog"))();
  }
  void TearDown() override {
    ed::unloadAllModules();
    if (pelk_) os::freeLibrary(pelk_);
    ed::docManager().reset();
    ed::hostOptions() = saved_;
  }
  template <class Fn>
  Fn fn(const char* name) {
    return reinterpret_cast<Fn>(os::findFunction(static_cast<os::ModuleHandle>(zeb_), name));
  }
  std::wstring log(wchar_t* out, int cap) {
    auto f = fn<ZebArx_CallLog_W_fn>("ZebArx_CallLog_W");
    if (!f) return {};
    wchar_t buf[4096] = {};
    f(out ? out : buf, out ? cap : 4096);
    return buf;
  }
  // Runs a command and answers the text it printed.
  std::wstring run(const std::wstring& cmd) {
    size_t mark = ed::transcriptMark();
    ed::runCommand(cmd);
    return ed::transcriptSince(mark);
  }

  ed::HostOptions saved_;
  void* zeb_ = nullptr;
  os::ModuleHandle pelk_ = nullptr;
  KivPelk_SetCombo_W_fn setCombo_ = nullptr;
};

TEST_F(ZebTest, RegistersItsGroupAndRemovesItAtUnload) {
  struct Case {
    const wchar_t* name;
    int flags;
  };
  const Case cases[] = {
      {L"DaMain", ed::kCmdModal},        {L"GjRebuildAll", ed::kCmdModal},
      {L"DwgRebuild", ed::kCmdModal},    {L"GjRebuildCur", ed::kCmdModal},
      {L"GjParaDisp", ed::kCmdModal},    {L"ZebTotalAll", ed::kCmdModal},
      {L"ZebTotalCur", ed::kCmdModal},   {L"ZebTotalGj", ed::kCmdModal},
      {L"ZebTotal3d", ed::kCmdModal},    {L"SwitchFloor", ed::kCmdModal},
      {L"GjType", ed::kCmdTransparent},  {L"InputSnapAll", ed::kCmdTransparent},
      {L"InputSnapPart", ed::kCmdTransparent}, {L"Solid3d", ed::kCmdModal},
      {L"Solid2d", ed::kCmdModal},
  };
  for (const auto& c : cases) {
    const ed::CommandInfo* info = ed::commandStack().lookupInGroup(L"Zeb", c.name);
    ASSERT_NE(info, nullptr) << os::toUtf8(c.name);
    EXPECT_EQ(info->flags & ed::kCmdTransparent, c.flags) << os::toUtf8(c.name);
  }
  // The plug-in replaces a command by removing it from the group: the others stay.
  EXPECT_TRUE(ed::commandStack().removeCommand(L"Zeb", L"DaMain"));
  EXPECT_NE(ed::commandStack().lookup(L"SwitchFloor"), nullptr);
  std::wstring out = run(L"ZebTotalAll");
  EXPECT_NE(out.find(L"ZebTotalAll"), std::wstring::npos);
  ed::unloadAllModules();
  for (const auto& c : cases)
    EXPECT_EQ(ed::commandStack().lookupInGroup(L"Zeb", c.name), nullptr) << os::toUtf8(c.name);
}

TEST_F(ZebTest, DaMainReportsTheProjectPaths) {
  auto daMain = fn<ZebArx_DaMain_W_fn>("ZebArx_DaMain_W");
  ASSERT_NE(daMain, nullptr);
  wchar_t b[5][kZebPathCapacity];
  for (auto& x : b) std::fill(std::begin(x), std::end(x), L'#');
  ASSERT_EQ(daMain(b[0], b[1], b[2], b[3], b[4]), 1);
  EXPECT_EQ(std::wstring(b[0]), os::windowsPath(kSuite));
  EXPECT_EQ(std::wstring(b[1]), os::windowsPath(kSuite));
  EXPECT_EQ(std::wstring(b[2]), L"");
  EXPECT_EQ(std::wstring(b[3]), os::windowsPath(kProjects));
  EXPECT_EQ(std::wstring(b[4]), kProject);
  // The module builds its paths from these: the system folder holds the
  // component library, the project folder its floor table.
  EXPECT_TRUE(os::isFile(std::wstring(b[1]) + L"\\系统文件\\构件库.DB"));
  EXPECT_TRUE(os::isFile(std::wstring(b[3]) + L"\\" + b[4] + L"\\007.DB"));
  // Null buffers are skipped.
  EXPECT_EQ(daMain(nullptr, b[1], nullptr, nullptr, nullptr), 1);
}

TEST_F(ZebTest, DaMainAnswersZeroWithoutAnOpenProject) {
  auto daMain = fn<ZebArx_DaMain_W_fn>("ZebArx_DaMain_W");
  ASSERT_NE(daMain, nullptr);
  const std::wstring projects[] = {L"", L"没有这个工程"};
  for (const auto& p : projects) {
    ed::hostOptions().project = p;
    wchar_t b[5][kZebPathCapacity];
    for (auto& x : b) std::fill(std::begin(x), std::end(x), L'#');
    EXPECT_EQ(daMain(b[0], b[1], b[2], b[3], b[4]), 0) << os::toUtf8(p);
    for (auto& x : b) EXPECT_EQ(x[0], 0) << os::toUtf8(p);
  }
}

TEST_F(ZebTest, DaMainCutsLongPathsToItsBuffers) {
  // A projects folder deeper than a buffer holds: the answer is cut, never
  // written past the 260 characters.
  fs::path root = fs::temp_directory_path() / "kiv_zeb_long";
  fs::path deep = root;
  while (os::fromUtf8(deep.string()).size() < 300) deep /= u8"很长的文件夹名称";
  fs::create_directories(deep / "P");
  ed::hostOptions().projectsDir = deep;
  ed::hostOptions().project = L"P";
  auto daMain = fn<ZebArx_DaMain_W_fn>("ZebArx_DaMain_W");
  wchar_t b[5][kZebPathCapacity + 8];
  for (auto& x : b) std::fill(std::begin(x), std::end(x), L'#');
  EXPECT_EQ(daMain(b[0], b[1], b[2], b[3], b[4]), 1);
  EXPECT_EQ(std::wstring(b[3]).size(), size_t(kZebPathCapacity - 1));
  EXPECT_EQ(b[3][kZebPathCapacity], L'#');
  fs::remove_all(root);
}

TEST_F(ZebTest, SwitchFloorOpensTheDrawingOfTheComboFloor) {
  for (const wchar_t* floor : {L"2层", L"地下1层"}) {
    ASSERT_TRUE(setCombo_(L"楼层", floor)) << os::toUtf8(floor);
    std::wstring out = run(L"SwitchFloor");
    EXPECT_TRUE(ed::commandFailures().empty()) << os::toUtf8(out);
    ed::Document* doc = ed::curDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(fs::equivalent(os::nativePath(doc->fileName()), kProjects / os::toUtf8(kProject) / os::toUtf8(std::wstring(floor) + L".DWG")))
        << os::toUtf8(doc->fileName());
    EXPECT_NE(out.find(std::wstring(L"当前楼层: ") + floor), std::wstring::npos);
  }
  // Switching back to a floor whose drawing is open activates it again.
  size_t open = ed::docManager().documents().size();
  ASSERT_TRUE(setCombo_(L"楼层", L"2层"));
  run(L"SwitchFloor");
  EXPECT_EQ(ed::docManager().documents().size(), open);
  EXPECT_TRUE(fs::equivalent(os::nativePath(ed::curDoc()->fileName()), kProjects / os::toUtf8(kProject) / u8"2层.DWG"));
  EXPECT_NE(log(nullptr, 0).find(L"SwitchFloor 2层"), std::wstring::npos);
}

TEST_F(ZebTest, SwitchFloorWithoutADrawingFailsAndKeepsTheCurrentDrawing) {
  // A copy of the project whose 3层 has no drawing.
  fs::path tmp = fs::temp_directory_path() / "kiv_zeb_switch";
  fs::remove_all(tmp);
  fs::create_directories(tmp);
  fs::copy(kProjects / os::toUtf8(kProject), tmp / os::toUtf8(kProject), fs::copy_options::recursive);
  fs::remove(tmp / os::toUtf8(kProject) / u8"3层.DWG");
  ed::hostOptions().projectsDir = tmp;
  ASSERT_TRUE(setCombo_(L"楼层", L"1层"));
  run(L"SwitchFloor");
  std::wstring before = ed::curDoc()->fileName();
  ASSERT_TRUE(setCombo_(L"楼层", L"3层"));
  std::wstring out = run(L"SwitchFloor");
  EXPECT_NE(out.find(L"楼层图形不存在"), std::wstring::npos) << os::toUtf8(out);
  EXPECT_FALSE(ed::commandFailures().empty());
  EXPECT_EQ(ed::curDoc()->fileName(), before);
  fs::remove_all(tmp);
}

TEST_F(ZebTest, RecordsWhatTheOtherCommandsAndRebuildWereAsked) {
  auto rebuild = fn<ZebArx_Rebuild_W_fn>("ZebArx_Rebuild_W");
  ASSERT_NE(rebuild, nullptr);
  EXPECT_EQ(rebuild(L"给水管", L"J1", L""), 1);
  EXPECT_EQ(rebuild(L"", L"", L""), 1);
  ASSERT_TRUE(setCombo_(L"楼层", L"1层"));
  setCombo_(L"构件", L"给水管");
  setCombo_(L"编号", L"J1");
  std::wstring out = run(L"GjType");
  for (const wchar_t* c : {L"InputSnapAll", L"Solid3d", L"Solid2d"}) run(c);
  std::wstring text = log(nullptr, 0);
  for (const wchar_t* line :
       {L"ZebArx_Rebuild_W 给水管,J1,", L"ZebArx_Rebuild_W ,,", L"InputSnapAll", L"Solid3d", L"Solid2d"})
    EXPECT_NE(text.find(line), std::wstring::npos) << os::toUtf8(line);
  EXPECT_NE(out.find(L"给水管"), std::wstring::npos) << os::toUtf8(out);
  // The call log answers its full length and cuts to the capacity given.
  wchar_t small[8];
  auto f = fn<ZebArx_CallLog_W_fn>("ZebArx_CallLog_W");
  EXPECT_EQ(f(small, 8), static_cast<int>(text.size()));
  EXPECT_EQ(std::wstring(small).size(), 7u);
}

TEST(ZebConv, LoadsAndAnswersEveryMessage) {
  std::wstring error;
  ASSERT_TRUE(ed::loadModule(kBin / "ZebConv.Arx", error)) << os::toUtf8(error);
  auto entry = ed::loadedModules().back().entry;
  for (int msg : {ed::kLoadDwgMsg, ed::kUnloadDwgMsg, ed::kSaveMsg}) EXPECT_EQ(entry(msg, nullptr), ed::kRetOk);
  ed::unloadAllModules();
}

}  // namespace
