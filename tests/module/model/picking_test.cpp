// Picking whole components, the selection loop with Shift to remove,
// grouping by component, erasing whole components and finding the label
// text of a segment.
#include "module/model/picking.h"

#include <gtest/gtest.h>

#include <cmath>

#include "module/model/project_tables.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/prompts.h"
#include "platform/editor/sysvars.h"
#include "tests/module/shell/project_fixture.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using ed::TokenKind;
using geom::Point3d;
using Ids = cad::ObjectIdArray;

// Two pipes of number 1 (the first with an edge line and a label), a pipe of
// number 2 and an entity without component data.
class PickingTest : public tktest::DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    pipe1 = line(0, 0, 1000, 0, L"给水管");
    stamp(pipe1, L"1", {pipe1.handle().text(), L"主键"});
    edge1 = line(0, 50, 1000, 50, L"给水管边线");
    stamp(edge1, L"1", {pipe1.handle().text(), L"边线"});
    label1 = AddText(Point3d(400, 200, 0), L"JL-1", 100, 0, 1, L"给水管名", nullptr);
    stamp(label1, L"1", {pipe1.handle().text()});
    pipe1b = line(0, 1000, 1000, 1000, L"给水管");
    stamp(pipe1b, L"1", {pipe1b.handle().text(), L"主键"});
    pipe2 = line(0, 2000, 1000, 2000, L"给水管");
    stamp(pipe2, L"2", {pipe2.handle().text(), L"主键"});
    plain = line(0, 3000, 1000, 3000, L"给水管");
  }
  void TearDown() override {
    g_pickWatchFlag = 0;
    DrawingTest::TearDown();
  }
  static bool highlighted(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return e && e->isHighlighted();
  }
  int pick(const std::wstring& types, bool asLayers) {
    point = Point3d(-1, -1, -1);
    return PickGj(types, gjIds, sameIds, layerIds, point, L"", asLayers);
  }
  const std::wstring allLayers = L"给水管\r\n给水管边线\r\n给水管名";
  cad::ObjectId pipe1, edge1, label1, pipe1b, pipe2, plain;
  Ids gjIds, sameIds, layerIds;
  Point3d point;
};

TEST_F(PickingTest, PickKeysWatch) {
  struct Case {
    unsigned message;
    std::uintptr_t wParam;
    int flag;
  } cases[] = {
      {ed::kWmChar, 13, 1},    {ed::kWmChar, 32, 1},           {ed::kWmRButtonDown, 0, 1},
      {ed::kWmKeyDown, ed::kVkShift, 2}, {ed::kWmKeyUp, ed::kVkShift, 0}, {ed::kWmChar, 65, 7},
      {ed::kWmLButtonDown, 0, 7}, {ed::kWmKeyDown, ed::kVkReturn, 7},
  };
  for (const auto& c : cases) {
    g_pickWatchFlag = 7;
    ed::Msg msg;
    msg.message = c.message;
    msg.wParam = c.wParam;
    WatchPickKeys(&msg);
    EXPECT_EQ(g_pickWatchFlag, c.flag) << c.message << " " << c.wParam;
  }
}

TEST_F(PickingTest, PickingALabelGivesTheWholeComponent) {
  feed({pickHandle(label1)});
  ASSERT_EQ(pick(allLayers, true), ed::kNormal);
  EXPECT_EQ(gjIds, (Ids{pipe1, edge1, label1}));
  EXPECT_EQ(sameIds, (Ids{pipe1, edge1, label1, pipe1b}));
  EXPECT_EQ(layerIds, (Ids{pipe1, edge1, label1, pipe1b, pipe2, plain}));
  EXPECT_TRUE(highlighted(pipe1) && highlighted(edge1) && highlighted(label1));
  EXPECT_FALSE(highlighted(pipe1b));

  // Without types the picked entity's layer alone is searched.
  HighlightEntities(gjIds, 0);
  feed({pickHandle(label1)});
  ASSERT_EQ(pick(L"", true), ed::kNormal);
  EXPECT_EQ(gjIds, (Ids{label1}));
  EXPECT_EQ(layerIds, (Ids{label1}));

  // Layers all off or locked: the picked entity's layer instead.
  SetLayerLocked(L"给水管边线", true, nullptr);
  SetLayerOff(L"给水管名", true, nullptr);
  feed({pickHandle(pipe1)});
  ASSERT_EQ(pick(L"给水管边线\r\n给水管名", true), ed::kNormal);
  EXPECT_EQ(gjIds, (Ids{pipe1}));
  EXPECT_EQ(sameIds, (Ids{pipe1, pipe1b}));
  HighlightEntities(gjIds, 0);
}

TEST_F(PickingTest, PickEndsOrAsksAgain) {
  struct Case {
    const char* what;
    std::vector<ed::InputToken> input;
    int result;
    Ids component;
  } cases[] = {
      {"Enter", {token(TokenKind::Enter)}, ed::kCancel, {}},
      {"Space", {token(TokenKind::Space)}, ed::kCancel, {}},
      {"right click", {token(TokenKind::RightClick)}, ed::kCancel, {}},
      {"Escape", {token(TokenKind::Escape), pickHandle(pipe2)}, ed::kCancel, {}},
      {"input runs out", {}, ed::kCancel, {}},
      {"beside everything, then a pipe", {pickAt(-9000, -9000), pickHandle(pipe2)}, ed::kNormal, {pipe2}},
      {"no component data, then Enter", {pickHandle(plain), token(TokenKind::Enter)}, ed::kCancel, {}},
      {"a label finds its pipe on the searched layers", {pickHandle(label1)}, ed::kNormal, {pipe1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ed::inputQueue().clear();
    feed(c.input);
    EXPECT_EQ(pick(L"给水管", true), c.result);
    EXPECT_EQ(gjIds, c.component);
    HighlightEntities(gjIds, 0);
  }
  ed::inputQueue().clear();
  ed::initGet(0, L"Undo");
  ed::InputToken u = token(TokenKind::Text);
  u.text = L"U";
  feed({u});
  EXPECT_EQ(pick(L"给水管", true), ed::kKeyword);
}

TEST_F(PickingTest, SelectionAddsWholeComponentsAndShiftRemoves) {
  // An empty spot opens a window; one that selects nothing asks again.
  ed::setVar(L"PICKADD", 2);
  feed({pickHandle(label1), pickHandle(pipe2), token(TokenKind::ShiftDown), pickHandle(edge1),
        token(TokenKind::ShiftUp), pickAt(-9000, -9000), pickAt(-8000, -8000), token(TokenKind::Enter)});
  Ids ids{plain};
  EXPECT_TRUE(SelectGjObjects(L"", L"", L"", false, false, 0, ids));
  EXPECT_EQ(ids, (Ids{plain, pipe2}));
  EXPECT_FALSE(highlighted(pipe1) || highlighted(edge1) || highlighted(label1));
  EXPECT_TRUE(highlighted(pipe2));
  EXPECT_EQ(ed::getVarInt(L"PICKADD"), 1);
  HighlightEntities(ids, 0);

  // Escape cancels and removes the highlight.
  ids.clear();
  feed({pickHandle(pipe1), token(TokenKind::Escape)});
  EXPECT_FALSE(SelectGjObjects(L"给水管,给水管名", L"", L"", false, false, 0, ids));
  EXPECT_EQ(ids, (Ids{pipe1, label1}));
  EXPECT_FALSE(highlighted(pipe1));
}

TEST_F(PickingTest, SelectionKeepsToNumberAndLayer) {
  struct Case {
    const char* what;
    std::wstring number;
    bool sameLayer, sameNumber;
    int stop;
    std::vector<cad::ObjectId> picks;
    Ids want;
  } cases[] = {
      {"given number", L"1", false, false, 0, {pipe2, pipe1b}, {pipe1b}},
      {"same number as the first", L"", false, true, 0, {pipe1b, pipe2, label1}, {pipe1b, pipe1, edge1, label1}},
      {"same layer as the first's primary", L"", true, false, 0, {label1, pipe2}, {pipe1, pipe2}},
      {"stop after the first", L"", false, false, 1, {pipe2, pipe1}, {pipe2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ed::inputQueue().clear();
    for (cad::ObjectId id : c.picks) feed({pickHandle(id)});
    feed({token(TokenKind::Enter)});
    Ids ids;
    EXPECT_TRUE(SelectGjObjects(L"", c.number, L"", c.sameLayer, c.sameNumber, c.stop, ids));
    EXPECT_EQ(ids, c.want);
    HighlightEntities(ids, 0);
  }
}

TEST_F(PickingTest, SameComponentNeverReturnsEntitiesWithoutData) {
  Ids out{plain};
  CollectSameGjIds(Ids{label1, plain, pipe2}, Ids{plain, pipe1, edge1, pipe1b, pipe2, label1}, out);
  EXPECT_EQ(out, (Ids{pipe1, edge1, pipe2, label1}));
  CollectSameGjIds(Ids{plain}, Ids{plain, pipe1}, out);
  EXPECT_TRUE(out.empty());
  CollectSameGjIdsOf(Ids{pipe1b, edge1, pipe1}, pipe1, out);
  EXPECT_EQ(out, (Ids{edge1, pipe1}));
}

TEST_F(PickingTest, SegmentLabel) {
  const double pi = 3.14159265358979;
  struct Case {
    const char* what;
    std::wstring prefix, text;
    Point3d at;
    double rotation;
    std::wstring want;
  } cases[] = {
      {"beside, parallel", L"dn", L"DN100 L=3.0", {500, 100, 0}, 0, L"DN100"},
      {"own case kept", L"DN", L"dn25", {500, -100, 0}, 0, L"dn25"},
      {"upside down is parallel", L"DN", L"DN80=x", {500, 100, 0}, pi, L"DN80"},
      {"at 30 degrees", L"DN", L"DN100", {500, 100, 0}, pi / 6, L""},
      {"cut right after the prefix", L"DN", L"DN=100", {500, 100, 0}, 0, L""},
      {"other prefix", L"DN", L"DE100", {500, 100, 0}, 0, L""},
      {"too far", L"DN", L"DN100", {500, 600, 0}, 0, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cad::ObjectId t = AddText(c.at, c.text, 50, c.rotation, 1, L"标注", nullptr);
    std::wstring out = L"stale";
    FindSegmentLabel(c.prefix, Point3d(0, 0, 300), Point3d(1000, 0, 300), 300, out);
    EXPECT_EQ(out, c.want);
    EraseEntity(t);
  }
  // The nearest wins; a short segment searches a square around its start.
  AddText(Point3d(500, 250, 0), L"DN150", 50, 0, 1, L"标注", nullptr);
  AddText(Point3d(500, 60, 0), L"DN50", 50, 0, 1, L"标注", nullptr);
  std::wstring out;
  FindSegmentLabel(L"DN", Point3d(0, 0, 0), Point3d(1000, 0, 0), 300, out);
  EXPECT_EQ(out, L"DN50");
  AddText(Point3d(3000, 3050, 0), L"DN20", 50, pi / 6, 1, L"标注", nullptr);
  FindSegmentLabel(L"DN", Point3d(3000, 3000, 0), Point3d(3000, 3000, 500), 300, out);
  EXPECT_EQ(out, L"DN20");
}

// Erasing whole components reads the component library for the layers.
class EraseWholeTest : public kivtest::ProjectSandbox {};

TEST_F(EraseWholeTest, ErasesEveryEntityOfTheComponentsOnExactLayers) {
  makeTable(suiteSystem() / u8"构件库.DB",
            "构件分类:ftString:50\t构件名称:ftString:50\t图层\n"
            "管道\t热给水管\t热给水管\\r\\n热给水管名\n"
            "管道\t给水管\t给水管\\r\\n给水管名\n");
  cad::Database& db = *ed::curDatabase();
  auto add = [&](const wchar_t* layer, const std::wstring& number, StringArray attrs, double y) {
    cad::ObjectId id = AddLine(Point3d(0, y, 0), Point3d(100, y, 0), layer, &db);
    if (attrs.empty()) attrs = {id.handle().text(), L"主键"};
    EXPECT_TRUE(SetGjXdataLines(id, number, attrs, &db));
    return id;
  };
  cad::ObjectId hot = add(L"热给水管", L"1", {}, 0);
  cad::ObjectId hotLabel = add(L"热给水管名", L"1", {hot.handle().text()}, 10);
  cad::ObjectId cold = add(L"给水管", L"1", {}, 20);
  cad::ObjectId coldLabel = add(L"给水管名", L"1", {cold.handle().text()}, 30);
  cad::ObjectId keep = add(L"给水管", L"1", {}, 40);
  EraseWholeGjs(Ids{hot, cold});
  EXPECT_TRUE(hot.isErased());
  EXPECT_TRUE(hotLabel.isErased());
  EXPECT_TRUE(cold.isErased());
  EXPECT_TRUE(coldLabel.isErased());
  EXPECT_FALSE(keep.isErased());
  EXPECT_EQ(db.numOpenObjects(), 0u);
}

TEST_F(EraseWholeTest, PickByComponentNamesUsesTheLibraryLayers) {
  makeTable(suiteSystem() / u8"构件库.DB",
            "构件分类:ftString:50\t构件名称:ftString:50\t图层\n"
            "管道\t给水管\t给水管\\r\\n给水管名\n");
  cad::Database& db = *ed::curDatabase();
  cad::ObjectId pipe = AddLine(Point3d(0, 0, 0), Point3d(100, 0, 0), L"给水管", &db);
  StringArray mark{pipe.handle().text(), L"主键"};
  ASSERT_TRUE(SetGjXdataLines(pipe, L"1", mark, &db));
  cad::ObjectId label = AddText(Point3d(50, 50, 0), L"DN20", 10, 0, 1, L"给水管名", &db);
  ASSERT_TRUE(SetGjXdata(label, L"1", pipe.handle().text(), &db));
  cad::ObjectId edge = AddLine(Point3d(0, 5, 0), Point3d(100, 5, 0), L"给水管边线", &db);
  ASSERT_TRUE(SetGjXdata(edge, L"1", pipe.handle().text(), &db));
  struct Case {
    const wchar_t* types;
    cad::ObjectId picked;
    int result;
    Ids want;
  } cases[] = {
      {L"给水管", label, ed::kNormal, {pipe, label}},
      // Without types the picked entity's layer names the component.
      {L"", pipe, ed::kNormal, {pipe, label}},
      // A label layer names no component: nothing to search, ask again.
      {L"", label, ed::kCancel, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.want.size()));
    ed::inputQueue().clear();
    ed::InputToken t;
    t.kind = TokenKind::Pick;
    t.text = c.picked.handle().text();
    ed::inputQueue().push(t);
    Ids gj, same, layer;
    Point3d at;
    EXPECT_EQ(PickGj(c.types, gj, same, layer, at, L"", false), c.result);
    EXPECT_EQ(gj, c.want);
    HighlightEntities(gj, 0);
  }
}

}  // namespace
