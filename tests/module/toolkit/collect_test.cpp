// Collecting components by layer and number, selecting them through a
// filter, and picking a whole component with scripted input.
#include "module/toolkit/collect.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "drawing_fixture.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"

namespace {

using Ids = cad::ObjectIdArray;
using ed::TokenKind;

// One pipe component of three entities (primary, edge line, label), a second
// pipe numbered "01", a plain line among them, an entity on a layer whose
// name differs only in case, and a numbered entity in paper space.
class CollectTest : public tktest::DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    primary = line(0, 0, 1000, 0, L"给水管");
    const std::wstring handle = primary.handle().text();
    stamp(primary, L"1", {handle, L"主键", L"管径=DN100"});
    edge = line(0, 50, 1000, 50, L"给水管边线");
    stamp(edge, L"1", {handle, L"边线"});
    label = append(std::make_unique<cad::Text>(geom::Point3d(500, 100), L"DN100"), L"给水管名");
    stamp(label, L"1", {handle});
    plain = line(0, 500, 1000, 500, L"给水管");
    other = line(0, 1000, 1000, 1000, L"给水管");
    stamp(other, L"01", {other.handle().text(), L"主键"});
    upper = line(0, 2000, 1000, 2000, L"Pipe");
    paper = append(std::make_unique<cad::Line>(geom::Point3d(0, 0), geom::Point3d(5, 5)), L"给水管",
                   db().paperSpaceId());
    stamp(paper, L"1", {L"FF", L"主键"});
  }
  Ids collect(const std::wstring& layers, const std::wstring& numbers) {
    Ids ids;
    CollectIdsByLayerAndNumber(layers, numbers, ids, nullptr);
    return ids;
  }
  Ids select(const std::wstring& layers, const std::wstring& numbers) {
    Ids ids{cad::ObjectId()};
    SelectIdsByLayerAndNumber(layers, numbers, ids);
    return ids;
  }
  cad::ObjectId primary, edge, label, plain, other, upper, paper;
};

TEST_F(CollectTest, CollectsModelSpaceByExactLayerAndNumber) {
  struct Case {
    const char* name;
    std::wstring layers, numbers;
    Ids want;
  };
  const Case cases[] = {
      {"everything", L"", L"", {primary, edge, label, plain, other, upper}},
      {"one layer", L"给水管", L"", {primary, plain, other}},
      {"layer and number", L"给水管", L"1", {primary}},
      {"model-space order", L"给水管边线,给水管", L"1", {primary, edge}},
      {"any layer, numbers", L"", L"01,1", {primary, edge, label, other}},
      {"leading zero", L"给水管", L"01", {other}},
      {"empty pieces match no unnumbered entity", L"给水管", L",,", {}},
      {"trimmed as a whole", L" 给水管名 ", L" 1 ", {label}},
      {"case-sensitive layers", L"pipe", L"", {}},
      {"exact layer", L"Pipe", L"", {upper}},
      {"missing layer", L"无", L"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(collect(c.layers, c.numbers), c.want);
  }
  // Appends to what the array holds; a side database is walked instead.
  Ids ids{paper};
  CollectIdsByLayerAndNumber(L"给水管", L"1", ids, nullptr);
  EXPECT_EQ(ids, (Ids{paper, primary}));
  cad::Database side;
  cad::ObjectId s = AddLine({0, 0}, {1, 1}, L"给水管", &side);
  ids.clear();
  CollectIdsByLayerAndNumber(L"给水管", L"", ids, &side);
  EXPECT_EQ(ids, (Ids{s}));
  // Erased entities are left out.
  EraseEntity(plain);
  EXPECT_EQ(collect(L"给水管", L""), (Ids{primary, other}));
}

TEST_F(CollectTest, SelectsByLayerPatternInEverySpace) {
  struct Case {
    const char* name;
    std::wstring layers, numbers;
    Ids want;
  };
  const Case cases[] = {
      {"paper space too", L"给水管", L"1", {primary, paper}},
      {"case ignored", L"pipe", L"", {upper}},
      {"wildcards", L"给水*", L"1", {primary, edge, label, paper}},
      {"alternatives", L"Pipe,给水管边线", L"", {edge, upper}},
      {"numbers", L"*", L"01", {other}},
      {"nothing", L"无", L"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(select(c.layers, c.numbers), c.want);
  }
  EXPECT_EQ(ed::liveSelectionSetCount(), 0);
}

TEST_F(CollectTest, PickReturnsTheWholeComponentOnTheListedLayers) {
  // A plain line is no component: asked again; then the label is picked.
  feed({pickHandle(plain), pickHandle(label)});
  Ids ids{plain};
  double pt[3] = {-1, -1, -1};
  size_t mark = ed::transcriptMark();
  ASSERT_TRUE(PickGjEntities(L"给水管,给水管边线", ids, pt, L"\n请选择管道:"));
  EXPECT_EQ(ids, (Ids{primary, edge}));
  EXPECT_EQ(pt[0], 500);
  EXPECT_EQ(pt[1], 100);
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->isHighlighted());
  }
  std::wstring said = ed::transcriptSince(mark);
  EXPECT_NE(said.find(L"\n请选择管道:"), std::wstring::npos);
  EXPECT_TRUE(ed::inputQueue().empty());
  EXPECT_EQ(ed::liveSelectionSetCount(), 0);
}

TEST_F(CollectTest, PickWithoutLayersTakesUsableLayers) {
  // Locked and switched-off layers drop out, frozen ones stay.
  setLayerFlag(L"给水管边线", false, false, true);
  setLayerFlag(L"给水管", true, false, false);
  setLayerFlag(L"给水管名", false, true, false);
  feed({pickHandle(primary)});
  Ids ids;
  double pt[3];
  ASSERT_TRUE(PickGjEntities(L"", ids, pt, L""));
  EXPECT_EQ(ids, (Ids{label}));
}

TEST_F(CollectTest, PickEndsOnEnterSpaceRightClickAndEscape) {
  for (TokenKind k : {TokenKind::Enter, TokenKind::Space, TokenKind::RightClick, TokenKind::Escape}) {
    SCOPED_TRACE(int(k));
    feed({token(k), pickHandle(primary)});
    Ids ids{plain};
    double pt[3] = {7, 7, 7};
    EXPECT_FALSE(PickGjEntities(L"给水管", ids, pt, L""));
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(pt[0], 7);
    ed::inputQueue().clear();
  }
  // A run out of input answers like Escape.
  Ids ids;
  double pt[3];
  EXPECT_FALSE(PickGjEntities(L"给水管", ids, pt, L""));
}

TEST_F(CollectTest, MissesAskAgainAlsoUnderShift) {
  // A miss under Shift has no entity to take: the prompt repeats. So does a
  // component with no entity on the listed layers.
  feed({token(TokenKind::ShiftDown), pickAt(-5000, -5000), token(TokenKind::ShiftUp), pickAt(-5000, -5000),
        pickHandle(other), pickHandle(label)});
  Ids ids;
  double pt[3];
  size_t mark = ed::transcriptMark();
  ASSERT_TRUE(PickGjEntities(L"给水管边线", ids, pt, L""));
  EXPECT_EQ(ids, (Ids{edge}));
  std::wstring said = ed::transcriptSince(mark);
  size_t prompts = 0;
  for (size_t p = said.find(L"\n选择对象:"); p != std::wstring::npos; p = said.find(L"\n选择对象:", p + 1)) ++prompts;
  EXPECT_EQ(prompts, 4u);
}

class CollectManyTest : public tktest::DrawingTest {};

TEST_F(CollectManyTest, MoreThanOneGrowthStepOfIds) {
  // Past the array's growth step: every id once, none empty.
  constexpr size_t kCount = 100001;
  addLayer(L"给水管");
  {
    cad::ObjectPtr<cad::BlockRecord> space(db().modelSpaceId(), cad::OpenMode::ForWrite);
    cad::ObjectId layer = db().layerId(L"给水管");
    for (size_t k = 0; k < kCount; ++k) {
      auto l = std::make_unique<cad::Line>(geom::Point3d(0, double(k)), geom::Point3d(1, double(k)));
      l->setLayer(layer);
      ASSERT_EQ(space->appendEntity(std::move(l)), cad::Status::Ok);
    }
  }
  line(0, 0, 1, 1, L"其他");
  Ids ids{cad::ObjectId()};
  CollectIdsByLayerAndNumber(L"给水管", L"", ids, nullptr);
  ASSERT_EQ(ids.size(), kCount + 1);
  EXPECT_TRUE(ids.front().isNull());  // what the array held stays
  EXPECT_EQ(std::count(ids.begin() + 1, ids.end(), cad::ObjectId()), 0);
  Ids model = db().modelSpaceEntities();
  model.pop_back();
  EXPECT_TRUE(std::equal(ids.begin() + 1, ids.end(), model.begin(), model.end()));
}

TEST(WatchEntSelKeys, SetsTheFlagFromKeysAndClicks) {
  struct Case {
    unsigned message;
    unsigned wparam;
    int before, after;
  };
  const Case cases[] = {
      {ed::kWmChar, 13, 0, 1},          {ed::kWmChar, 32, 2, 1},
      {ed::kWmRButtonDown, 0, 0, 1},    {ed::kWmKeyDown, ed::kVkShift, 0, 2},
      {ed::kWmKeyUp, ed::kVkShift, 2, 0}, {ed::kWmChar, 'a', 2, 2},
      {ed::kWmKeyDown, ed::kVkReturn, 0, 0}, {ed::kWmLButtonDown, 0, 1, 1},
  };
  for (const auto& c : cases) {
    g_entSelWatchFlag = c.before;
    ed::Msg msg;
    msg.message = c.message;
    msg.wParam = c.wparam;
    WatchEntSelKeys(&msg);
    EXPECT_EQ(g_entSelWatchFlag, c.after) << std::hex << c.message << " " << c.wparam;
    EXPECT_EQ(msg.message, c.message);
  }
  g_entSelWatchFlag = 0;
}

}  // namespace
