// The functions the suite's other modules call in the plug-in: each of the
// 26 names is found in the built KivZeb.arx through the OS layer, the 8-bit
// forms take GBK text, the command-line text respects the caller's
// capacity, and DispEnt shows the components it is given.
#include "module/shell/exports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/editor/input.h"
#include "platform/editor/selection.h"
#include "platform/editor/sysvars.h"
#include "platform/os/os.h"
#include "platform/ui/wnd.h"
#include "tests/module/shell/project_fixture.h"

namespace {

const std::wstring kPlugin = os::fromUtf8(KIV_BINARY_DIR "/bin/KivZeb.arx");

const char* const kExportNames[] = {
    "CadEnter", "CadCancel", "ShowWindow", "CadSetFocus", "sendStringToExecute", "IsCmdRun", "GetCmdText",
    "Rebuild",  "CreateVerticalGj", "PickupElev", "GjRotate", "GraphicSystem", "DispEnt",
};

// The plug-in loaded as another module of the suite loads it: by file name,
// its functions looked up by name.
class PluginExports : public testing::Test {
 protected:
  void SetUp() override {
    if (!os::isFile(kPlugin)) GTEST_SKIP() << "plug-in not built";
    ed::resetEditor();
    ed::docManager().curDocument();
    plugin_ = os::loadLibrary(kPlugin);
    ASSERT_NE(plugin_, nullptr);
  }
  void TearDown() override {
    if (plugin_) os::freeLibrary(plugin_);
    ed::inputQueue().clear();
    ui::clearMessageQueue();
    ed::resetEditor();
  }
  template <typename Fn>
  Fn* fn(const char* name) {
    auto* f = os::findFunction<Fn*>(plugin_, name);
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  os::ModuleHandle plugin_ = nullptr;
};

TEST_F(PluginExports, EveryPairIsFoundByName) {
  for (const char* stem : kExportNames)
    for (const char* suffix : {"_A", "_W"}) {
      const std::string name = std::string("ZebKivArx_") + stem + suffix;
      EXPECT_NE(os::findFunction<void (*)()>(plugin_, name.c_str()), nullptr) << name;
    }
}

TEST_F(PluginExports, KeysFocusAndTheForegroundGoToTheHostsWindows) {
  const size_t before = ui::queuedMessageCount();
  EXPECT_EQ(fn<int()>("ZebKivArx_CadEnter_A")(), 1);
  EXPECT_EQ(fn<int()>("ZebKivArx_CadCancel_W")(), 1);
  EXPECT_EQ(ui::queuedMessageCount(), before + 2);
  EXPECT_EQ(fn<int()>("ZebKivArx_ShowWindow_W")(), 1);
  EXPECT_EQ(ui::Wnd::GetForegroundWindow(), ui::mainFrame());
  fn<void()>("ZebKivArx_CadSetFocus_A")();
  EXPECT_EQ(ui::Wnd::GetFocus(), ui::mainFrame());
}

TEST_F(PluginExports, EightBitTextArrivesInTheSystemCodePage) {
  const std::string gbk = os::toCodePage(L"楼层切换\n");
  ASSERT_EQ(gbk.size(), 9u) << "two bytes per GBK character";
  fn<void(const char*)>("ZebKivArx_sendStringToExecute_A")(gbk.c_str());
  EXPECT_EQ(fn<int(const wchar_t*)>("ZebKivArx_sendStringToExecute_W")(L"ZOOM\n"), 1);
  const auto& sent = ed::docManager().sentStrings();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2], L"楼层切换\n");
  EXPECT_EQ(sent.back(), L"ZOOM\n");
}

TEST_F(PluginExports, CommandLineTextKeepsToTheCallersCapacity) {
  EXPECT_EQ(fn<unsigned char()>("ZebKivArx_IsCmdRun_A")(), 0);
  std::wstring line;
  GetCmdLineText(line);
  ASSERT_FALSE(line.empty());
  const std::string gbk = os::toCodePage(line);

  auto getA = fn<int(char*, int)>("ZebKivArx_GetCmdText_A");
  auto getW = fn<int(wchar_t*, int)>("ZebKivArx_GetCmdText_W");
  // Asking with no buffer tells the size.
  EXPECT_EQ(getA(nullptr, 0), int(gbk.size()));
  EXPECT_EQ(getW(nullptr, 0), int(line.size()));
  char big[256];
  EXPECT_EQ(getA(big, sizeof big), int(gbk.size()));
  EXPECT_EQ(std::string(big), gbk);
  wchar_t wide[256];
  getW(wide, 256);
  EXPECT_EQ(std::wstring(wide), line);
  // A small buffer gets what fits and its terminating zero, nothing beyond.
  char small[4] = {'x', 'x', 'x', 'x'};
  char guard = 'g';
  getA(small, 3);
  EXPECT_EQ(small[2], '\0');
  EXPECT_EQ(std::string(small, 2), gbk.substr(0, 2));
  EXPECT_EQ(small[3], 'x');
  EXPECT_EQ(guard, 'g');
}

// DispEnt on a drawing of the project.
class DispEnt : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB",
              "构件分类:ftString:50\t构件名称:ftString:50\t图层\n"
              "给排水\t给水管\t给水管\\r\\n给水管边线\\r\\n给水管轴网\n"
              "给排水\t排水管\t排水管\n");
  }
  cad::ObjectId pipe(const wchar_t* layer, double y) {
    cad::ObjectId id;
    CreateLinearGjEntity(id, layer, L"JL-1", {0, y, 3000}, {1000, y, 3000}, 0, 0);
    EXPECT_FALSE(id.isNull());
    return id;
  }
  cad::ObjectId edgeOf(cad::ObjectId owner, const wchar_t* layer, double y) {
    cad::ObjectId id = AddLine({0, y, 0}, {500, y, 0}, layer, nullptr);
    SetGjXdata(id, L"JL-1", GetHandleText(owner), nullptr);
    return id;
  }
};

TEST_F(DispEnt, SelectsTheComponentsTurnsTheirLayersOnAndZooms) {
  const cad::ObjectId a = pipe(L"给水管", 0), b = pipe(L"给水管", 2000), other = pipe(L"排水管", 5000);
  const cad::ObjectId edge = edgeOf(a, L"给水管边线", 100);
  const cad::ObjectId grid = edgeOf(b, L"给水管轴网", 2100);
  SetLayerOff(L"给水管边线", true, nullptr);
  SetLayerOff(L"给水管轴网", true, nullptr);
  // Entities on a locked layer still count for the zoom box.
  SetLayerLocked(L"给水管", true, nullptr);

  const std::wstring text = L"给水管:" + GetHandleText(a) + L"," + os::toLower(GetHandleText(b)) +
                            L"\r\n排水管\r\n";
  ed::inputQueue().clear();
  ZebKivArx_DispEnt_A(os::toCodePage(text).c_str());

  const auto first = ed::pickfirstIds();
  EXPECT_EQ(std::set<cad::ObjectId>(first.begin(), first.end()),
            (std::set<cad::ObjectId>{a, b, edge, grid}));
  bool off = true;
  GetLayerFlags(L"给水管边线", &off, nullptr, nullptr, nullptr);
  EXPECT_FALSE(off);
  GetLayerFlags(L"给水管轴网", &off, nullptr, nullptr, nullptr);
  EXPECT_TRUE(off) << "a grid layer is never turned on";
  (void)other;
  // zoom w, with the box grown by 300.
  std::vector<std::wstring> tokens;
  while (auto t = ed::inputQueue().next()) tokens.push_back(t->text);
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[0], L"zoom");
  EXPECT_EQ(tokens[2].substr(0, 20), L"-300.000000,-300.000");
  EXPECT_EQ(tokens[3].substr(0, 22), L"1300.000000,2400.00000");
}

TEST_F(DispEnt, NoMatchClearsThePickfirstSelection) {
  const cad::ObjectId a = pipe(L"给水管", 0);
  ed::SelSet ss = 0;
  IdsToSS({a}, ss);
  ed::ssSetFirst(ss);
  ed::ssFree(ss);
  ZebKivArx_DispEnt_W(L"给水管:FFFFF\r\n");
  EXPECT_TRUE(ed::pickfirstIds().empty());
  EXPECT_TRUE(ed::inputQueue().empty()) << "nothing to zoom to";
}

}  // namespace

namespace {

ed::InputToken escape() {
  ed::InputToken t;
  t.kind = ed::TokenKind::Escape;
  return t;
}

// The exports that hand work to the component model, with nothing to do.
TEST_F(DispEnt, PickAndRiserExportsDoNothingWhenThereIsNothingToDo) {
  const cad::ObjectId a = pipe(L"给水管", 0);
  double elevation = 1234;
  ed::inputQueue().push(escape());
  EXPECT_EQ(ZebKivArx_PickupElev_A(&elevation), 0);
  EXPECT_EQ(elevation, 1234);
  EXPECT_EQ(ZebKivArx_CreateVerticalGj_W(1), 0) << "no run in progress";
  // GjRotate cancelled at its first pick rotates nothing.
  ed::inputQueue().push(escape());
  ZebKivArx_GjRotate_W();
  cad::ObjectPtr<cad::Polyline> pl(a, cad::OpenMode::ForRead);
  ASSERT_TRUE(pl);
  EXPECT_EQ(pl->endPoint(), geom::Point3d(1000, 0, 0));
}

}  // namespace
