// Layers, entity properties and the text style on a real drawing database.
#include "module/toolkit/layers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/editor/editor.h"

namespace {

class LayersTest : public testing::Test {
 protected:
  void SetUp() override {
    ed::resetEditor();
    db_ = ed::curDatabase();
    ASSERT_NE(db_, nullptr);
    ASSERT_EQ(cad::workingDatabase(), db_);
  }
  cad::ObjectId addLine(cad::Database* db, const std::wstring& layer = L"0") {
    auto line = std::make_unique<cad::Line>(geom::Point3d(0, 0), geom::Point3d(100, 0));
    line->setLayer(layer);
    cad::ObjectId id;
    EXPECT_EQ(db->appendToModelSpace(std::move(line), &id), cad::Status::Ok);
    return id;
  }
  std::wstring currentLayerName(cad::Database* db) {
    cad::ObjectPtr<cad::LayerRecord> rec(db->clayer(), cad::OpenMode::ForRead);
    return rec ? rec->name() : L"";
  }
  cad::Database* db_ = nullptr;
};

TEST_F(LayersTest, GetOrCreateLayerCreatesWhiteLayerAndMakesItCurrent) {
  cad::ObjectId id = GetOrCreateLayer(L"给水管", nullptr);
  ASSERT_FALSE(id.isNull());
  EXPECT_EQ(currentLayerName(db_), L"给水管");
  cad::ObjectPtr<cad::LayerRecord> rec(id, cad::OpenMode::ForRead);
  EXPECT_TRUE(rec->color().isByRgb());
  EXPECT_EQ(rec->color().rgb(), (cad::Rgb{255, 255, 255}));
  EXPECT_FALSE(rec->isOff() || rec->isFrozen() || rec->isLocked() || rec->VPDFLT());
  rec.close();
  EXPECT_EQ(GetOrCreateLayer(L"给水管", nullptr), id);  // the same layer, not a second one
  StringArray names;
  GetLayerNames(names, nullptr);
  EXPECT_EQ(std::count(names.begin(), names.end(), L"给水管"), 1);
}

TEST_F(LayersTest, ExistingFrozenLockedLayerKeepsItsFlags) {
  GetOrCreateLayer(L"风管", nullptr);
  SetCurrentLayer(L"0", nullptr);
  SetLayerFrozen(L"风管", true, nullptr);
  SetLayerLocked(L"风管", true, nullptr);
  GetOrCreateLayer(L"风管", nullptr);
  bool off = true, frozen = false, locked = false;
  ASSERT_TRUE(GetLayerFlags(L"风管", &off, &frozen, &locked, nullptr));
  EXPECT_FALSE(off);
  EXPECT_TRUE(frozen);
  EXPECT_TRUE(locked);
  // A frozen layer cannot be current: the current layer stays.
  EXPECT_EQ(currentLayerName(db_), L"0");
}

TEST_F(LayersTest, SideDatabaseLayerIsMadeCurrentInTheWorkingDrawingOnlyWhenItExistsThere) {
  cad::Database side;
  GetOrCreateLayer(L"电缆", &side);
  EXPECT_FALSE(side.layerId(L"电缆").isNull());
  EXPECT_TRUE(db_->layerId(L"电缆").isNull());
  EXPECT_EQ(currentLayerName(db_), L"0");
  GetOrCreateLayer(L"桥架", nullptr);
  GetOrCreateLayer(L"照明导线", nullptr);
  GetOrCreateLayer(L"桥架", &side);
  EXPECT_EQ(currentLayerName(db_), L"桥架");
}

TEST_F(LayersTest, FlagsOfMissingLayersAndEmptyNames) {
  bool off = true;
  EXPECT_FALSE(GetLayerFlags(L"", &off, nullptr, nullptr, nullptr));
  EXPECT_FALSE(GetLayerFlags(L"无此图层", &off, nullptr, nullptr, nullptr));
  EXPECT_TRUE(off);  // untouched
  SetLayerOff(L"无此图层", true, nullptr);
  SetLayerLocked(L"", true, nullptr);
  EXPECT_FALSE(SetCurrentLayer(L"无此图层", nullptr));
  cad::Color c = cad::Color::fromIndex(3);
  GetLayerColor(L"无此图层", c, nullptr);
  EXPECT_EQ(c, cad::Color::fromIndex(0));
  GetOrCreateLayer(L"A", nullptr);
  SetLayerOff(L"a", true, nullptr);  // names match without regard to case
  ASSERT_TRUE(GetLayerFlags(L"A", &off, nullptr, nullptr, nullptr));
  EXPECT_TRUE(off);
}

TEST_F(LayersTest, LayerColorFromValuePrefersStandardIndexes) {
  GetOrCreateLayer(L"L", nullptr);
  struct Case {
    ColorRef value;
    cad::Color want;
  };
  const cad::Rgb red = cad::aciToRgb(1);
  const Case cases[] = {
      {red.colorRef(), cad::Color::fromIndex(1)},
      {cad::aciToRgb(5).colorRef(), cad::Color::fromIndex(5)},
      {cad::Rgb{1, 2, 3}.colorRef(), cad::Color::fromRgb(1, 2, 3)},
      {0, cad::Color::fromIndex(7)},  // a layer has no colour by layer or by block
  };
  for (const auto& c : cases) {
    SetLayerColorRGB(L"L", c.value, nullptr);
    cad::Color got;
    GetLayerColor(L"L", got, nullptr);
    EXPECT_EQ(got, c.want) << std::hex << c.value;
  }
}

TEST_F(LayersTest, EntityColorFromValueIsTrueColourOrByLayer) {
  cad::ObjectId id = addLine(db_);
  SetEntityColorRGB(id, cad::aciToRgb(1).colorRef());
  cad::Color c;
  GetEntityColor(id, c);
  EXPECT_TRUE(c.isByRgb());
  EXPECT_EQ(c.rgb(), cad::aciToRgb(1));
  SetEntityColorRGB(id, 0);
  GetEntityColor(id, c);
  EXPECT_TRUE(c.isByLayer());
  SetEntityColor(id, cad::Color::fromIndex(3));
  GetEntityColor(id, c);
  EXPECT_EQ(c.colorIndex(), 3);
}

TEST_F(LayersTest, VisibilityAndShowAll) {
  cad::ObjectId a = addLine(db_), b = addLine(db_);
  SetEntityVisible(a, 0);
  EXPECT_FALSE(IsEntityVisible(a));
  EXPECT_TRUE(IsEntityVisible(b));
  ShowAllEntities(2, nullptr);
  EXPECT_FALSE(IsEntityVisible(a));
  ShowAllEntities(1, nullptr);
  EXPECT_TRUE(IsEntityVisible(a));
  ShowAllEntities(0, nullptr);
  EXPECT_FALSE(IsEntityVisible(a));
  EXPECT_FALSE(IsEntityVisible(b));
  EXPECT_FALSE(IsEntityVisible(cad::ObjectId()));
  EXPECT_EQ(db_->numOpenObjects(), 0u);
}

TEST_F(LayersTest, LayerHandleAndHighlight) {
  GetOrCreateLayer(L"插座", nullptr);
  cad::ObjectId id = addLine(db_, L"插座");
  std::wstring layer = L"stale";
  GetEntityLayer(id, layer);
  EXPECT_EQ(layer, L"插座");
  GetEntityLayer(cad::ObjectId(), layer);
  EXPECT_EQ(layer, L"");
  EXPECT_EQ(GetHandleText(id), id.handle().text());
  EXPECT_EQ(GetHandleText(cad::ObjectId()), L"");
  HighlightEntity(id, 1);
  {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->isHighlighted());
  }
  HighlightEntity(id, 2);
  cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
  EXPECT_FALSE(e->isHighlighted());
}

TEST_F(LayersTest, LinetypeFallsBackToContinuous) {
  cad::ObjectId id = addLine(db_);
  SetEntityLinetype(id, L"DASHED", 10);
  {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(cad::namesEqual(e->linetype(), L"DASHED"));
    EXPECT_DOUBLE_EQ(e->linetypeScale(), 10);
  }
  SetEntityLinetype(id, L"DASHED", 5);  // already loaded: still works
  SetEntityLinetype(id, L"NO_SUCH_TYPE", 2);
  cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
  EXPECT_TRUE(cad::namesEqual(e->linetype(), L"CONTINUOUS"));
  EXPECT_DOUBLE_EQ(e->linetypeScale(), 2);
}

TEST_F(LayersTest, TextStyles) {
  EXPECT_TRUE(GetOrCreateTextStyle(L"", L"simplex.shx", L"").isNull());
  EXPECT_TRUE(GetOrCreateTextStyle(L"无字体", L"", L"").isNull());
  cad::ObjectId tt = GetOrCreateTextStyle(L"宋体样式", L"宋体", L"");
  ASSERT_FALSE(tt.isNull());
  {
    cad::ObjectPtr<cad::TextStyleRecord> rec(tt, cad::OpenMode::ForRead);
    EXPECT_EQ(rec->font().face, L"宋体");
    EXPECT_EQ(rec->font().charset, 134);
    EXPECT_DOUBLE_EQ(rec->textSize(), 10);
  }
  SetDefaultTextStyle();
  cad::ObjectId sys = db_->textStyleId(kSystemTextStyle);
  ASSERT_FALSE(sys.isNull());
  {
    cad::ObjectPtr<cad::TextStyleRecord> rec(sys, cad::OpenMode::ForRead);
    EXPECT_EQ(rec->fileName(), L"simplex.shx");
    EXPECT_EQ(rec->bigFontFileName(), L"hztxt.shx");
  }
  EXPECT_EQ(ed::getVarString(L"TEXTSTYLE").value_or(L""), kSystemTextStyle);
  EXPECT_EQ(ed::getVarString(L"DIMTXSTY").value_or(L""), kSystemTextStyle);
  EXPECT_EQ(GetOrCreateTextStyle(kSystemTextStyle, L"", L""), sys);
}

TEST_F(LayersTest, HostDisplayQueries) {
  std::wstring line;
  GetCmdLineText(line);
  EXPECT_EQ(line.rfind(ed::kIdlePrompt, 0), 0u) << testing::PrintToString(line);
  ed::setViewUnitsPerPixel(2.5);
  EXPECT_DOUBLE_EQ(GetPixelSize(), 2.5);
}

}  // namespace
