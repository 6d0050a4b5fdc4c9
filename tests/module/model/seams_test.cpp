// The seams of the component model: fakes put in the table see the calls of
// a scripted run, and a run left by an exception leaves nothing installed,
// open or switched off.
#include "module/model/seams.h"

#include <stdexcept>

#include "module/model/pipe_outline.h"
#include "module/model/point_blocks.h"
#include "module/model/scope_guards.h"
#include "tests/module/model/run_fixture.h"

namespace {

using namespace runtest;

std::vector<std::wstring> g_calls;
int g_engineCalls = 0;

void FakeRefresh(const std::wstring& type, cad::ObjectId id, cad::Database*) {
  g_calls.push_back(L"refresh " + type + (id.isNull() ? L" null" : L" id"));
}

// The command's engine as the frame calls it: the real run the first time,
// then "the user cancelled".
bool FakeEngine() {
  g_calls.push_back(L"engine");
  return ++g_engineCalls == 1 && LayLinearGjByPoints();
}

cad::ObjectId ThrowingCreate(const std::wstring&, const std::wstring&, const Point3d&, const Point3d&, double,
                             int) {
  throw std::runtime_error("create failed");
}

class SeamsTest : public RunSandbox {
 protected:
  void SetUp() override {
    RunSandbox::SetUp();
    g_calls.clear();
    g_engineCalls = 0;
  }
  void expectNothingLeft() {
    ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
    EXPECT_EQ(ipm.currentPointFilter(), nullptr);
    EXPECT_TRUE(ipm.monitors().empty());
    EXPECT_EQ(openTransactions(), 0);
    EXPECT_FALSE(g_linearRun.active);
    EXPECT_EQ(ed::getVarInt(L"CMDECHO").value_or(-1), 0);
    double shown[3] = {};
    auto get = os::findFunction<KivPelk_GetPalette_fn>(g_hostWindowLib, "KivPelk_GetPalette");
    EXPECT_EQ(get(shown), 0) << "the lay window is closed";
  }
};

TEST_F(SeamsTest, AFakeEngineAndAFakeRefreshSeeTheCallsOfAScriptedRun) {
  GjSeams fakes = DefaultGjSeams();
  fakes.layLinearGjByPoints = &FakeEngine;
  fakes.refreshSolid3dOfEntity = &FakeRefresh;
  ScopedGjSeams installed(fakes);
  points({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}});
  push(TokenKind::Enter);
  RunLinearGjByPoints(&RecordCreate, &RecordDecorate, 3000);
  EXPECT_EQ(g_calls, (std::vector<std::wstring>{L"engine", L"refresh 给水管 id", L"refresh 给水管 id", L"engine"}));
  ASSERT_EQ(made().size(), 2u);
  for (const auto& m : made()) {
    EXPECT_EQ(m.start.z, 3000) << "the window opened with the command's elevation";
    EXPECT_EQ(m.end.z, 3000);
  }
  expectNothingLeft();
}

TEST_F(SeamsTest, TheDefaultsRefreshNothingAndSayARebuildIsNotBuilt) {
  const GjSeams defaults = DefaultGjSeams();
  EXPECT_EQ(Seams().layLinearGjByPoints, defaults.layLinearGjByPoints);
  const size_t mark = ed::transcriptMark();
  RefreshSolid3dOfEntity(L"给水管", cad::ObjectId(), nullptr);
  EXPECT_FALSE(Seams().rebuildGjByType(L"给水管", L"", {}));
  EXPECT_FALSE(Seams().rebuildAllGjTypes());
  EXPECT_EQ(ed::transcriptSince(mark), L"\n给水管的重建尚未提供\n\n各类构件的重建尚未提供\n");
}

TEST_F(SeamsTest, ARunLeftByAnExceptionLeavesNothingInstalledOrOpen) {
  g_createGjCb = &ThrowingCreate;
  points({{0, 0, 0}, {1000, 0, 0}});
  push(TokenKind::Enter);
  EXPECT_THROW(RunLinearGjByPoints(&ThrowingCreate, &RecordDecorate, 2900), std::runtime_error);
  expectNothingLeft();
  ed::inputQueue().clear();
}

TEST_F(SeamsTest, TheOverlapSwitchComesBackAfterAnException) {
  ASSERT_EQ(g_checkGjOverlap, 1);
  try {
    OverlapCheckOff rebuilding;
    EXPECT_EQ(g_checkGjOverlap, 0);
    throw std::runtime_error("rebuild failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(g_checkGjOverlap, 1);
}

}  // namespace
