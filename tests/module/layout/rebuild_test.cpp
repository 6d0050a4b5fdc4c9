// Component rebuild: the dispatch by type, the rebuild of every type, the
// families' routines, the data a rebuild keeps and the components it leaves.
#include "module/layout/rebuild_gj.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "module/layout/heating_coil.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/pipe_outline.h"
#include "module/model/point_blocks.h"
#include "module/model/point_steps.h"
#include "module/model/seams.h"
#include "module/toolkit/strings.h"
#include "platform/editor/progress.h"
#include "tests/module/layout/rebuild_fixture.h"

namespace {

using geom::Point3d;
using rebuildtest::RebuildSandbox;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Dispatch
// ---------------------------------------------------------------------------

struct FamilyRow {
  GjRebuildFn fn;
  const wchar_t* types;
};

TEST(RebuildDispatch, EveryTypeGoesToItsFamilyAndNoOtherNameIsRebuilt) {
  const FamilyRow rows[] = {
      {&RebuildPipeGj,
       L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道,热供水管,热回水管(暖通),"
       L"冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管,接地母线"},
      {&RebuildWireGj, L"照明导线,动力导线,消防导线,其它导线,导线·导管"},
      {&RebuildConduitGj, L"导管,线槽,软导管,避雷带"},
      {&RebuildCableGj, L"电缆,母线馈线"},
      {&RebuildBridgeGj, L"桥架,组合式桥架"},
      {&RebuildTrayGj, L"托盘"},
      {&RebuildDuctGj, L"送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"},
      {&RebuildGrooveGj, L"管道沟槽,暖通管道沟槽"},
      {&RebuildCableGrooveGj, L"电缆沟槽"},
      {&RebuildCoilGj, L"地暖盘管"},
      {&RebuildPointGjs,
       L"阀门,法兰,喷淋头,普通水嘴,冷热水嘴,排水附件,管道补偿器,管道仪器,管道套管,浴盆,洗脸盆,淋浴器,大便器,小便器,"
       L"其它卫生器具,给排水设备,消防设备,其它设备,检查井,管道支架,点状灯具,块状灯具,插座,开关,其它电器具,接线盒,"
       L"管线套管,动力设备,电消防设备,其它电设备,配电箱,配电柜,配电盘,元件装置,接地极,接地跨接线,避雷针,避雷引下线,"
       L"电缆井,电气支架,设备基础,送风口,新风口,回风口,排风口,排烟口,其它风口,空调机组,风机盘管,通风机,除尘设备,"
       L"其它风设备,风阀,风法兰,导流片,风帽,静压箱,消声器,过滤器,水阀,水法兰,水管补偿器,水管仪器,暖通套管,冷水机组,"
       L"锅炉,水泵,冷却塔,散热器,暖风机,其它暖设备,风管支架,水管支架,暖通检查井,暖通设备基础,"
       // laid by the accessory and lamp commands
       L"喷头,应急灯"},
  };
  size_t count = 0;
  for (const FamilyRow& row : rows) {
    StringArray types;
    SplitToArray(row.types, L",", types);
    for (const std::wstring& t : types) {
      EXPECT_EQ(FindGjRebuild(t), row.fn) << t;
      ++count;
    }
  }
  EXPECT_EQ(count, 119u + 3u);
  for (const wchar_t* t : {L"", L"轴网", L"砼墙", L"管道弯头", L"弯头", L"水管四通", L"来回弯", L"给水管 ", L"其他导线"}) {
    EXPECT_EQ(FindGjRebuild(t), nullptr) << t;
    EXPECT_FALSE(RebuildGjByType(t, L"", {})) << t;
  }
}

TEST(RebuildDispatch, TheRebuildOfAllTakesEveryTypeOnceInItsOrder) {
  size_t n = 0;
  const GjRebuildGroup* order = GjRebuildOrder(n);
  ASSERT_EQ(n, 23u);
  std::vector<std::wstring> all;
  int last = 0;
  for (size_t i = 0; i < n; ++i) {
    StringArray types;
    SplitToArray(order[i].types, L",", types);
    for (const auto& t : types) {
      EXPECT_NE(FindGjRebuild(t), nullptr) << t;
      all.push_back(t);
    }
    EXPECT_GT(order[i].meter, last);
    EXPECT_NE(order[i].meter, 105);
    last = order[i].meter;
  }
  EXPECT_EQ(last, 120);
  EXPECT_EQ(std::set<std::wstring>(all.begin(), all.end()).size(), all.size());
  EXPECT_EQ(all.size(), 122u);
  // The three places where the order differs from the table's.
  auto at = [&](const wchar_t* t) { return std::find(all.begin(), all.end(), t) - all.begin(); };
  EXPECT_LT(at(L"法兰"), at(L"阀门"));
  EXPECT_LT(at(L"排水附件"), at(L"普通水嘴"));
  EXPECT_LT(at(L"暖通设备基础"), at(L"暖通检查井"));
}

// ---------------------------------------------------------------------------
// A floor of components
// ---------------------------------------------------------------------------

class RebuildTest : public RebuildSandbox {
 protected:
  cad::ObjectId pipe(const wchar_t* number, Point3d s, Point3d e, int vertical = 0) {
    const cad::ObjectId id = CreatePipeGj(L"给水管", number, s, e, 0, vertical);
    DecoratePipeGj(L"给水管", id);
    return id;
  }
  cad::ObjectId conduit(const wchar_t* number, Point3d s, Point3d e) {
    const cad::ObjectId id = CreatePipeLineGj(L"导管", number, s, e, 0, 0);
    DecoratePipeLineGj(L"导管", id);
    return id;
  }
  cad::ObjectId valve(const wchar_t* number, Point3d at) {
    return PlacePointGjAt(L"阀门", number, at, 0, 1000, geom::Vector3d(0, 0, 0));
  }

  // Pipes (one with data of its own), conduits, valves and coils of both
  // kinds, each with its decorations.
  void layFloor() {
    const cad::ObjectId first = pipe(L"J1", {0, 0, 0}, {3000, 0, 0});
    pipe(L"J1", {3000, 0, 0}, {3000, 2000, 0});
    pipe(L"J1", {5000, 0, 0}, {5000, 0, 3000}, 1);
    // Wire counts in the attribute lines, own parameters, another
    // application's data.
    StringArray extra{L"根数=2"}, own{L"管径=32"}, foreign{L"来源=导入"};
    SetXdataLines(first, kXdataAttrs, extra, nullptr);
    SetXdataLines(first, kXdataExternalGj, own, nullptr);
    SetXdataLines(first, L"外部", foreign, nullptr);
    conduit(L"G1", {0, 1000, 0}, {2000, 1000, 0});
    conduit(L"G2", {0, 1500, 0}, {2000, 1500, 0});
    valve(L"F1", {500, 500, 0});
    valve(L"F1", {1500, 500, 0});
    show(L"地暖盘管", L"DN1");
    points({{0, 3000, 0}, {1000, 3800, 0}});
    escape();
    CmdCoil();
    pick(AddPolyline({{3000, 3000, 0}, {4000, 3000, 0}, {4000, 4000, 0}}, {0.3, 0}, false, 0, L"0", nullptr));
    CmdLineToCoil();
  }

  struct Snapshot {
    std::multiset<std::wstring> primaries;        // data and geometry of each
    std::map<std::wstring, int> decorationsByLayer;
    std::set<cad::ObjectId> decorationIds;
  };
  static std::wstring geometryOf(cad::ObjectId id) {
    std::wstring g;
    for (const Point3d& p : vertices(id)) g += ed::format(L"(%.3f,%.3f)", p.x, p.y);
    for (double b : bulgesOf(id)) g += ed::format(L"[%.6f]", b);
    return g;
  }
  static Snapshot snapshot() {
    Snapshot s;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      const StringArray attrs = attrsOf(id);
      if (attrs.size() >= 2) {
        s.primaries.insert(dataOf(id) + L"@" + geometryOf(id));
      } else if (attrs.size() == 1) {
        std::wstring layer;
        GetEntityLayer(id, layer);
        ++s.decorationsByLayer[layer];
        s.decorationIds.insert(id);
      }
    }
    return s;
  }
  // Every decoration names a live primary entity by its handle.
  static void expectDecorationsOwned() {
    std::set<std::wstring> handles;
    for (cad::ObjectId id : db().modelSpaceEntities())
      if (attrsOf(id).size() >= 2) handles.insert(GetHandleText(id));
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      const StringArray attrs = attrsOf(id);
      if (attrs.size() == 1) {
        EXPECT_TRUE(handles.count(attrs.front())) << textOf(id);
      }
    }
  }
  std::vector<cad::ObjectId> decorationsOf(cad::ObjectId primary) {
    std::vector<cad::ObjectId> out;
    const std::wstring handle = GetHandleText(primary);
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      const StringArray attrs = attrsOf(id);
      if (attrs.size() == 1 && attrs.front() == handle) out.push_back(id);
    }
    return out;
  }
};

TEST_F(RebuildTest, RebuildOfAllKeepsEveryComponentWithItsDataAndDrawsFreshDecorations) {
  layFloor();
  const Snapshot before = snapshot();
  ASSERT_EQ(before.primaries.size(), 9u);
  ASSERT_FALSE(before.decorationIds.empty());

  RebuildAllGjTypes();
  const Snapshot after = snapshot();
  EXPECT_EQ(after.primaries, before.primaries);
  EXPECT_EQ(after.decorationsByLayer, before.decorationsByLayer);
  for (cad::ObjectId id : before.decorationIds) EXPECT_FALSE(alive(id));
  expectDecorationsOwned();
  EXPECT_EQ(g_checkGjOverlap, 1);
  EXPECT_FALSE(ed::progressState().shown);

  // Again: nothing doubles.
  RebuildAllGjTypes();
  const Snapshot again = snapshot();
  EXPECT_EQ(again.primaries, before.primaries);
  EXPECT_EQ(again.decorationsByLayer, before.decorationsByLayer);
}

TEST_F(RebuildTest, ASavedFloorReadsTheSameToAnotherReaderAfterARebuildOfAll) {
  layFloor();
  const fs::path before = root_ / "before.dxf", after = root_ / "after.dxf";
  ASSERT_EQ(db().saveAs(before), cad::Status::Ok);
  RebuildAllGjTypes();
  ASSERT_EQ(db().saveAs(after), cad::Status::Ok);
  std::string out;
  const std::string cmd = "/usr/bin/python3 '" + std::string(KIV_SOURCE_DIR) + "/tests/module/layout/rebuild_dxf.py' '" +
                          before.string() + "' '" + after.string() + "' 2>&1";
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ASSERT_EQ(::pclose(p), 0) << out;
  }
  for (const char* word : {"same-primaries", "same-decorations", "fresh-decorations", "owner-ok"})
    EXPECT_NE(out.find(word), std::string::npos) << word << "\n" << out;
}

TEST_F(RebuildTest, RebuildOfOneNumberLeavesTheOtherNumbers) {
  const cad::ObjectId g1 = conduit(L"G1", {0, 0, 0}, {2000, 0, 0});
  const cad::ObjectId g2 = conduit(L"G2", {0, 500, 0}, {2000, 500, 0});
  const auto g1Labels = decorationsOf(g1), g2Labels = decorationsOf(g2);
  ASSERT_EQ(g1Labels.size(), 1u);
  ASSERT_TRUE(RebuildGjByType(L"导管", L"G1", {}));
  EXPECT_FALSE(alive(g1Labels[0]));
  EXPECT_EQ(decorationsOf(g1).size(), 1u);
  EXPECT_EQ(decorationsOf(g2), g2Labels);
}

TEST_F(RebuildTest, ConduitsKeepTheirEntitiesAndCopiesBecomeComponentsOfTheirOwn) {
  const cad::ObjectId g1 = conduit(L"G1", {0, 0, 0}, {2000, 0, 0});
  // A host copy: its first attribute line still names the original.
  cad::ObjectId copy;
  CreateLinearGjEntity(copy, L"导管", L"G1", {0, 800, 0}, {2000, 800, 0}, 0, 0);
  ClearXdata(copy, kXdataAttrs);
  StringArray copied{GetHandleText(g1), L"主键", L"根数=3"};
  SetXdataLines(copy, kXdataAttrs, copied, nullptr);
  // Drawn by hand on the label layer.
  const cad::ObjectId stray = AddLine({0, 0, 0}, {10, 10, 0}, L"导管名", nullptr);

  ASSERT_TRUE(RebuildGjByType(L"导管", L"", {}));
  EXPECT_TRUE(alive(g1));
  EXPECT_TRUE(alive(copy));
  EXPECT_FALSE(alive(stray));
  EXPECT_EQ(attrsOf(copy), (StringArray{GetHandleText(copy), L"主键", L"根数=3"}));
  EXPECT_EQ(decorationsOf(g1).size(), 1u);
  EXPECT_EQ(decorationsOf(copy).size(), 1u);
  EXPECT_EQ(g_checkGjOverlap, 1);
}

TEST_F(RebuildTest, ListedComponentsTakeTheirOldDecorationsAlong) {
  // A pipe remade by its callbacks, a valve redrawn in place.
  const cad::ObjectId p1 = pipe(L"J1", {0, 0, 0}, {3000, 0, 0});
  const cad::ObjectId p2 = pipe(L"J1", {0, 1000, 0}, {3000, 1000, 0});
  const cad::ObjectId v1 = valve(L"F1", {500, 2000, 0});
  const cad::ObjectId v2 = valve(L"F1", {2500, 2000, 0});
  const auto p2Labels = decorationsOf(p2), v2Labels = decorationsOf(v2), v1Labels = decorationsOf(v1);
  ASSERT_EQ(decorationsOf(p1).size(), 1u);

  ASSERT_TRUE(RebuildGjByType(L"给水管", L"", {p1}));
  ASSERT_TRUE(RebuildGjByType(L"阀门", L"", {v1}));
  EXPECT_EQ(onLayer(L"给水管").size(), 2u);
  EXPECT_EQ(onLayer(L"给水管名").size(), 2u);
  EXPECT_EQ(decorationsOf(p2), p2Labels);
  EXPECT_EQ(decorationsOf(v2), v2Labels);
  for (cad::ObjectId id : v1Labels) EXPECT_FALSE(alive(id));
  EXPECT_EQ(decorationsOf(v1).size(), v1Labels.size());
  expectDecorationsOwned();
}

TEST_F(RebuildTest, RemadePipesKeepTheirOwnData) {
  const cad::ObjectId p = pipe(L"J1", {0, 0, 0}, {3000, 0, 0});
  StringArray extra{L"根数=2"}, own{L"管径=32"}, foreign{L"来源=导入"};
  SetXdataLines(p, kXdataAttrs, extra, nullptr);
  SetXdataLines(p, kXdataExternalGj, own, nullptr);
  SetXdataLines(p, L"外部", foreign, nullptr);
  const std::wstring before = dataOf(p);
  ASSERT_TRUE(RebuildGjByType(L"给水管", L"", {}));
  const auto pipes = onLayer(L"给水管");
  ASSERT_EQ(pipes.size(), 1u);
  EXPECT_NE(pipes[0], p);
  EXPECT_EQ(dataOf(pipes[0]), before);
  EXPECT_EQ(attrsOf(pipes[0]), (StringArray{GetHandleText(pipes[0]), L"主键", L"根数=2"}));
}

TEST_F(RebuildTest, ComponentsTheDefinitionCannotDrawAreLeftWithAMessage) {
  const cad::ObjectId good = valve(L"F1", {500, 500, 0});
  const cad::ObjectId noNumber = valve(L"F9", {1500, 500, 0});  // no row on the floor
  const cad::ObjectId bad = valve(L"F2", {2500, 500, 0});       // its width is no number
  const cad::ObjectId noPipe = pipe(L"J9", {0, 0, 0}, {3000, 0, 0});
  const auto goodLabels = decorationsOf(good), noNumberLabels = decorationsOf(noNumber),
             badLabels = decorationsOf(bad), noPipeLabels = decorationsOf(noPipe);
  const size_t mark = ed::transcriptMark();
  RebuildAllGjTypes();
  const std::wstring said = ed::transcriptSince(mark);
  EXPECT_NE(said.find(L"阀门 F9 在构件表中没有定义"), std::wstring::npos) << said;
  EXPECT_NE(said.find(L"阀门 F2 的截面坐标"), std::wstring::npos) << said;
  EXPECT_NE(said.find(L"给水管 J9 在构件表中没有定义"), std::wstring::npos) << said;
  EXPECT_TRUE(alive(noPipe));
  EXPECT_EQ(decorationsOf(noNumber), noNumberLabels);
  EXPECT_EQ(decorationsOf(bad), badLabels);
  EXPECT_EQ(decorationsOf(noPipe), noPipeLabels);
  for (cad::ObjectId id : goodLabels) EXPECT_FALSE(alive(id));
  EXPECT_EQ(decorationsOf(good).size(), goodLabels.size());
}

TEST_F(RebuildTest, WhatCannotBeMadeAgainIsNamedAndLeft) {
  // A run drawn on the valve layer with a valve's number, a flat riser (its
  // two elevations the same: the create routine makes nothing of it) and a
  // primary line on a conduit layer.
  cad::ObjectId stray;
  CreateLinearGjEntity(stray, L"阀门", L"F1", {0, 3000, 0}, {1000, 3000, 0}, 0, 0);
  const cad::ObjectId riser = pipe(L"J1", {5000, 0, 3000}, {5000, 0, 3500}, 1);
  {
    const double z = 3000;
    ASSERT_TRUE(SetGjSpecial(nullptr, nullptr, riser, &z, &z));
  }
  const cad::ObjectId line = AddLine({0, 5000, 0}, {800, 5000, 0}, L"导管", nullptr);
  StampGjPrimary(line, L"G1");
  ASSERT_FALSE(stray.isNull());
  const size_t mark = ed::transcriptMark();
  RebuildAllGjTypes();
  const std::wstring said = ed::transcriptSince(mark);
  for (cad::ObjectId id : {stray, riser, line}) {
    EXPECT_TRUE(alive(id));
    EXPECT_NE(said.find(L"(句柄 " + GetHandleText(id) + L")无法重建,已原样保留"), std::wstring::npos) << said;
  }
  EXPECT_NE(said.find(L"阀门 F1 的实体"), std::wstring::npos) << said;
}

TEST_F(RebuildTest, AFigureSharedByManyComponentsIsDrawnOncePerRebuild) {
  std::vector<cad::ObjectId> valves;
  for (int i = 0; i < 5; ++i) valves.push_back(valve(L"F1", {1000.0 * i, 0, 0}));
  const std::wstring block = blockOf(valves[0]);
  auto count = [&](bool skipErased) {
    cad::ObjectPtr<cad::BlockRecord> b(db().blockId(block), cad::OpenMode::ForRead);
    return b ? b->entityIds(skipErased).size() : 0u;
  };
  const size_t live = count(true), all = count(false);
  ASSERT_GT(live, 0u);
  ASSERT_TRUE(RebuildGjByType(L"阀门", L"", {}));
  EXPECT_EQ(count(true), live);
  // One new copy of the figure, the old one erased: not one per valve.
  EXPECT_EQ(count(false), all + live);
  for (cad::ObjectId v : valves) EXPECT_EQ(blockOf(v), block);
}

// The 3D refresh of what a rebuild made or kept.
std::vector<std::pair<std::wstring, size_t>> g_refreshes;
void recordRefresh(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database*) {
  g_refreshes.emplace_back(type, ids.size());
}

TEST_F(RebuildTest, EveryFamilyRefreshesTheTwinsOfWhatItRebuilt) {
  GjSeams fakes = Seams();
  fakes.refreshSolid3dOfType = &recordRefresh;
  ScopedGjSeams scoped(fakes);
  layFloor();
  g_refreshes.clear();
  RebuildAllGjTypes();
  std::map<std::wstring, size_t> byType;
  for (auto& [type, n] : g_refreshes) byType[type] += n;
  EXPECT_EQ(byType[L"给水管"], 3u);
  EXPECT_EQ(byType[L"导管"], 2u);
  EXPECT_EQ(byType[L"阀门"], 2u);
  EXPECT_EQ(byType[L"地暖盘管"], 2u);
}

TEST_F(RebuildTest, TheInstalledSeamsRunTheRebuild) {
  ScopedGjSeams scoped(DefaultGjSeams());
  InstallRebuildSeams();
  const cad::ObjectId v = valve(L"F1", {500, 500, 0});
  const auto labels = decorationsOf(v);
  EXPECT_TRUE(Seams().rebuildGjByType(L"阀门", L"", {}));
  for (cad::ObjectId id : labels) EXPECT_FALSE(alive(id));
  EXPECT_FALSE(Seams().rebuildGjByType(L"轴网", L"", {}));
  EXPECT_TRUE(Seams().rebuildAllGjTypes());
}

}  // namespace
