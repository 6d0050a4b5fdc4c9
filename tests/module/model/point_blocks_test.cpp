// Point component blocks: definition names, the figure drawn into the
// definition, scale and label, and the rebuild of a type.
#include "module/model/point_blocks.h"

#include <gtest/gtest.h>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "tests/module/shell/project_fixture.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using geom::Point3d;

// A box of 500 x 180 filled solid, a wide middle line, a thin line, a line of
// one point and a half circle filled with a pattern.
const wchar_t* const kBoxCoords =
    L"-250,-90|250,-90|250,90|-250,90|-250,-90,kXEQ=SOLID\r\n"
    L"-250,0|250,0,线宽=2\r\n"
    L"-100,50|100,50,线宽=1\r\n"
    L"5,5\r\n"
    L"0,-90:1|0,90,kXEQ=ANSI31";

class PointBlocksTest : public tktest::DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    savedNumbered_ = g_numberedPointTypes;
    savedCheck_ = g_checkGjOverlap;
    g_numberedPointTypes = {L"管道套管", L"配电箱"};
    g_checkGjOverlap = 0;
    // The definition as loaded from the floor table; the name is the cache
    // key, so the unforced loads of the code under test keep it.
    g_curPointGj = CurrentGj{};
    define(L"配电箱", {{L"AL1", L"图形=箱体\r\n图形缩放=100%", kBoxCoords},
                      {L"AL2", L"图形=箱体", L"-50,-50|50,50"}});
  }
  void TearDown() override {
    g_numberedPointTypes = savedNumbered_;
    g_checkGjOverlap = savedCheck_;
    g_curPointGj = CurrentGj{};
    DrawingTest::TearDown();
  }

  struct Row {
    std::wstring number, params, coords;
  };
  void define(const std::wstring& name, const std::vector<Row>& rows) {
    g_curPointGj = CurrentGj{};
    g_curPointGj.name = name;
    for (const Row& r : rows) {
      g_curPointGj.params.push_back(r.number + L"=" + r.params);
      if (!r.coords.empty()) g_curPointGj.coords.push_back(r.number + L"=" + r.coords);
    }
  }

  // Inserts a point component and stamps it as the placement engines do.
  cad::ObjectId place(const std::wstring& name, const std::wstring& number, Point3d at, double elev = 0,
                      double rotation = 0) {
    cad::ObjectId id;
    InsertPointGjBlock(id, name, number, at, rotation);
    if (id.isNull()) return id;
    EXPECT_TRUE(SetPointGjSpecial(&number, id, &elev, nullptr));
    return id;
  }
  std::wstring blockOf(cad::ObjectId ref) {
    cad::ObjectPtr<cad::BlockReference> r(ref, cad::OpenMode::ForRead);
    return r ? r->blockName() : L"";
  }
  std::vector<cad::ObjectId> blockEntities(const std::wstring& block) {
    cad::ObjectPtr<cad::BlockRecord> b(db().blockId(block), cad::OpenMode::ForRead);
    if (!b) return {};
    auto ids = b->entityIds();
    return {ids.begin(), ids.end()};
  }
  cad::ObjectIdArray onLayer(const std::wstring& layer) {
    cad::ObjectIdArray out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) out.push_back(id);
    }
    return out;
  }

 private:
  StringArray savedNumbered_;
  int savedCheck_ = 1;
};

TEST_F(PointBlocksTest, DefinitionNamesFollowFigureAndNumberedTypes) {
  define(L"配电箱", {{L"AL1", L"图形=箱体", L""}, {L"AL1/2", L"图形=箱体", L""}});
  EXPECT_EQ(PointGjBlockDefName(L"配电箱", L"AL1"), L"sys$配电箱$箱体$AL1");
  EXPECT_EQ(PointGjBlockDefName(L"配电箱", L"AL1/2"), L"sys$配电箱$箱体$AL1·2")
      << "a character a block name may not hold";
  EXPECT_EQ(MakePointGjBlockName(L"配电箱", L"AL1", L""), L"sys$配电箱$箱体") << "no number suffix";
  EXPECT_EQ(MakePointGjBlockName(L"配电箱", L"AL1", L"圆"), L"sys$配电箱$圆") << "a given figure wins";
  // Other types: one definition per figure name and figure lines.
  define(L"点状灯具", {{L"D1", L"图形=圆灯", L"0,0|10,0"},
                       {L"D7", L"图形=圆灯", L"0,0|10,0"},
                       {L"D8", L"图形=圆灯", L"0,0|20,0"}});
  const std::wstring d1 = PointGjBlockDefName(L"点状灯具", L"D1");
  EXPECT_EQ(d1, L"sys$点状灯具$圆灯$" + FigureKey(L"0,0|10,0"));
  EXPECT_EQ(PointGjBlockDefName(L"点状灯具", L"D7"), d1) << "the same lines share one definition";
  EXPECT_NE(PointGjBlockDefName(L"点状灯具", L"D8"), d1) << "other lines, another definition";
  EXPECT_EQ(FigureKey(L"0,0|10,0").size(), 8u);
}

TEST_F(PointBlocksTest, TwoNumbersSharingAFigureNameKeepTheirOwnSizes) {
  define(L"点状灯具", {{L"D600", L"图形=方灯", L"-300,-300|300,-300|300,300|-300,300|-300,-300"},
                       {L"D300", L"图形=方灯", L"-150,-150|150,-150|150,150|-150,150|-150,-150"}});
  cad::ObjectId big = place(L"点状灯具", L"D600", Point3d(0, 0, 0));
  RebuildPointGjFigure(L"点状灯具", big);
  cad::ObjectId small = place(L"点状灯具", L"D300", Point3d(5000, 0, 0));
  RebuildPointGjFigure(L"点状灯具", small);
  auto widthOf = [](cad::ObjectId ref) {
    cad::ObjectPtr<cad::Entity> e(ref, cad::OpenMode::ForRead);
    cad::Extents3d ext;
    if (!e || e->getGeomExtents(ext) != cad::Status::Ok) return -1.0;
    return ext.maxPoint.x - ext.minPoint.x;
  };
  EXPECT_NEAR(widthOf(big), 600, 1e-6) << "placing the second leaves the first as it was";
  EXPECT_NEAR(widthOf(small), 300, 1e-6);
  EXPECT_NE(blockOf(big), blockOf(small));
}

TEST_F(PointBlocksTest, ScaleFactorsOfTheFigureScaleParameter) {
  struct Case {
    std::wstring text;
    cad::Scale3d scale;
  } cases[] = {
      {L"50%,200%", {0.5, 2, 1}}, {L"2", {2, 2, 1}},  {L"1,2,3", {1, 1, 1}},
      {L"", {1, 1, 1}},           {L"100%", {1, 1, 1}}, {L"3,25%", {3, 0.25, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(PointGjScaleOf(c.text), c.scale) << os::toUtf8(c.text);
}

TEST_F(PointBlocksTest, FarFromPointsIsAt200OrMoreIn3d) {
  const std::vector<Point3d> list{{0, 0, 0}, {1000, 0, 0}};
  struct Case {
    Point3d p;
    bool far;
  } cases[] = {
      {{199.999, 0, 0}, false}, {{200, 0, 0}, true},   {{500, 0, 0}, true},
      {{1000, 199, 0}, false},  {{120, 0, 160}, true}, {{120, 0, 159}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsFarFromPoints(c.p, list), c.far) << c.p.x << "," << c.p.y << "," << c.p.z;
  EXPECT_TRUE(IsFarFromPoints(Point3d(0, 0, 0), {}));
}

TEST_F(PointBlocksTest, EnsureDefinitionCreatesKeepsOrEmpties) {
  EXPECT_EQ(EnsureGjBlockDef(L"配电箱", L"sys$配电箱$箱体$AL1", 0), 1);
  EXPECT_FALSE(db().blockId(L"sys$配电箱$箱体$AL1").isNull());
  EXPECT_EQ(db().clayer(), db().layerId(L"配电箱")) << "the layer is made and current";
  {
    cad::ObjectPtr<cad::BlockRecord> b(db().blockId(L"sys$配电箱$箱体$AL1"), cad::OpenMode::ForWrite);
    ASSERT_TRUE(b);
    ASSERT_EQ(b->appendEntity(std::make_unique<cad::Line>(Point3d(0, 0, 0), Point3d(1, 0, 0))), cad::Status::Ok);
  }
  EXPECT_EQ(EnsureGjBlockDef(L"配电箱", L"sys$配电箱$箱体$AL1", 0), 0);
  EXPECT_EQ(blockEntities(L"sys$配电箱$箱体$AL1").size(), 1u) << "mode 0 leaves it as it is";
  EXPECT_EQ(EnsureGjBlockDef(L"配电箱", L"sys$配电箱$箱体$AL1", 1), 1);
  EXPECT_TRUE(blockEntities(L"sys$配电箱$箱体$AL1").empty()) << "mode 1 empties it";
}

TEST_F(PointBlocksTest, InsertPlacesAFlatReferenceOnTheNameLayer) {
  cad::ObjectId id;
  InsertPointGjBlock(id, L"配电箱", L"AL1", Point3d(1000, 2000, 1500), 0.5);
  ASSERT_FALSE(id.isNull());
  cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->blockName(), L"sys$配电箱$箱体$AL1");
  EXPECT_EQ(r->position(), Point3d(1000, 2000, 0)) << "the elevation lives in the special data";
  EXPECT_EQ(r->rotation(), 0.5);
  EXPECT_EQ(r->normal(), geom::Vector3d(0, 0, 1));
  EXPECT_EQ(r->scaleFactors(), (cad::Scale3d{1, 1, 1}));
  EXPECT_EQ(r->layer(), L"配电箱");
  EXPECT_TRUE(blockEntities(L"sys$配电箱$箱体$AL1").empty()) << "the figure is drawn afterwards";
}

TEST_F(PointBlocksTest, FigureLinesBecomePolylinesWithWidthsAndHatches) {
  cad::ObjectId id = place(L"配电箱", L"AL1", Point3d(1000, 2000, 0), 1500);
  ASSERT_FALSE(id.isNull());
  RebuildPointGjFigure(L"配电箱", id);
  const auto ents = blockEntities(L"sys$配电箱$箱体$AL1");
  // Box polyline + its hatch, wide line, thin line, half circle + its hatch;
  // the one-point line draws nothing.
  ASSERT_EQ(ents.size(), 6u);
  struct Expect {
    bool hatch;
    unsigned verts;
    double width;            // polylines
    std::wstring pattern;    // hatches
  } expect[] = {
      {false, 5, 0, L""}, {true, 0, 0, L"SOLID"}, {false, 2, 10, L""},
      {false, 2, 0, L""}, {false, 2, 0, L""},     {true, 0, 0, L"ANSI31"},
  };
  for (std::size_t i = 0; i < ents.size(); ++i) {
    SCOPED_TRACE(i);
    if (expect[i].hatch) {
      cad::ObjectPtr<cad::Hatch> h(ents[i], cad::OpenMode::ForRead);
      ASSERT_TRUE(h);
      EXPECT_EQ(h->patternName(), expect[i].pattern);
      EXPECT_EQ(h->numLoops(), 1);
      EXPECT_TRUE(h->associative());
    } else {
      cad::ObjectPtr<cad::Polyline> pl(ents[i], cad::OpenMode::ForRead);
      ASSERT_TRUE(pl);
      EXPECT_EQ(pl->numVerts(), expect[i].verts);
      EXPECT_FALSE(pl->isClosed());
      double w = -1;
      EXPECT_EQ(pl->getConstantWidth(w), cad::Status::Ok);
      EXPECT_EQ(w, expect[i].width);
    }
  }
  {
    cad::ObjectPtr<cad::Polyline> arc(ents[4], cad::OpenMode::ForRead);
    EXPECT_EQ(arc->bulgeAt(0), 1.0);
  }
  // The open half circle's hatch is closed through its first point.
  cad::ObjectPtr<cad::Hatch> h(ents[5], cad::OpenMode::ForRead);
  EXPECT_GT(h->area(), 0);
}

TEST_F(PointBlocksTest, LabelSitsBesideTheScaledFigureTaggedAsTheComponent) {
  struct Case {
    const char* what;
    std::wstring scale;
    Point3d label;
  } cases[] = {
      // Extents 750..1250 x 1910..2090.
      {"unscaled", L"100%", {1375, 2210, 1500}},
      // Extents 875..1125 x 1820..2180.
      {"scaled", L"50%,200%", {1187.5, 2300, 1500}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    define(L"配电箱", {{L"AL1", L"图形=箱体\r\n图形缩放=" + c.scale, kBoxCoords}});
    cad::ObjectId id = place(L"配电箱", L"AL1", Point3d(1000, 2000, 0), 1500);
    const auto before = onLayer(L"配电箱名").size();
    RebuildPointGjFigure(L"配电箱", id);
    const auto labels = onLayer(L"配电箱名");
    ASSERT_EQ(labels.size(), before + 1);
    const cad::ObjectId label = labels.back();
    {
      cad::ObjectPtr<cad::Text> t(label, cad::OpenMode::ForRead);
      ASSERT_TRUE(t);
      EXPECT_EQ(t->textString(), L"AL1");
      EXPECT_EQ(t->height(), 120);
      EXPECT_EQ(t->horizontalMode(), cad::Text::kMid);
      EXPECT_EQ(t->verticalMode(), cad::Text::kVertMid);
      EXPECT_NEAR(t->alignmentPoint().x, c.label.x, 1e-6);
      EXPECT_NEAR(t->alignmentPoint().y, c.label.y, 1e-6);
      EXPECT_NEAR(t->alignmentPoint().z, c.label.z, 1e-6);
    }
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(label, number, attrs);
    EXPECT_EQ(number, L"AL1");
    EXPECT_EQ(attrs, StringArray{GetHandleText(id)}) << "one line: the primary handle";
    EraseEntity(id);
  }
}

TEST_F(PointBlocksTest, AnInvisibleComponentGetsAnInvisibleLabel) {
  cad::ObjectId id = place(L"配电箱", L"AL2", Point3d(0, 0, 0));
  SetEntityVisible(id, 0);
  RebuildPointGjFigure(L"配电箱", id);
  const auto labels = onLayer(L"配电箱名");
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_FALSE(IsEntityVisible(labels[0]));
}

TEST_F(PointBlocksTest, DefinitionsHoldOneCopyOfTheirFigure) {
  // Numbered type: its own definition, redrawn at every drawing.
  cad::ObjectId a = place(L"配电箱", L"AL2", Point3d(0, 0, 0));
  cad::ObjectId b = place(L"配电箱", L"AL2", Point3d(5000, 0, 0));
  RebuildPointGjFigure(L"配电箱", a);
  RebuildPointGjFigure(L"配电箱", b);
  EXPECT_EQ(blockEntities(L"sys$配电箱$箱体$AL2").size(), 1u);
  // Shared type: drawn twice, still one copy of the figure.
  define(L"点状灯具", {{L"D1", L"图形=圆灯", L"-150,0:1|150,0:1|-150,0"}});
  cad::ObjectId c = place(L"点状灯具", L"D1", Point3d(0, 3000, 0));
  cad::ObjectId d = place(L"点状灯具", L"D1", Point3d(3000, 3000, 0));
  RebuildPointGjFigure(L"点状灯具", c);
  RebuildPointGjFigure(L"点状灯具", d);
  EXPECT_EQ(blockOf(d), blockOf(c));
  EXPECT_EQ(blockEntities(blockOf(d)).size(), 1u);
}

TEST_F(PointBlocksTest, WithinADrawnOnceScopeADefinitionIsDrawnAtItsFirstComponentOnly) {
  define(L"点状灯具", {{L"D1", L"图形=圆灯", L"-150,0:1|150,0:1|-150,0"}});
  // Every entity the definition ever held, erased ones too.
  auto everHeld = [this](const std::wstring& block) {
    cad::ObjectPtr<cad::BlockRecord> b(db().blockId(block), cad::OpenMode::ForRead);
    return b ? b->entityCount(false) : 0u;
  };
  cad::ObjectIdArray lamps;
  for (int k = 0; k < 3; ++k) lamps.push_back(place(L"点状灯具", L"D1", Point3d(3000.0 * k, 0, 0)));
  const std::wstring block = blockOf(lamps[0]);
  {
    PointFiguresDrawnOnce once;
    for (cad::ObjectId id : lamps) RebuildPointGjFigure(L"点状灯具", id);
    EXPECT_EQ(everHeld(block), 1u) << "drawn at the first lamp only";
    {
      PointFiguresDrawnOnce inner;
      RebuildPointGjFigure(L"点状灯具", lamps[0]);
      RebuildPointGjFigure(L"点状灯具", lamps[1]);
      EXPECT_EQ(everHeld(block), 2u) << "an inner scope draws afresh, once";
    }
    RebuildPointGjFigure(L"点状灯具", lamps[2]);
    EXPECT_EQ(everHeld(block), 2u) << "the outer scope's record holds again";
  }
  RebuildPointGjFigure(L"点状灯具", lamps[2]);
  EXPECT_EQ(everHeld(block), 3u) << "outside every scope each drawing draws";
  EXPECT_EQ(blockEntities(block).size(), 1u);
  for (cad::ObjectId id : lamps) EXPECT_EQ(blockOf(id), block);
  EXPECT_EQ(onLayer(L"点状灯具名").size(), 7u) << "every drawing labels its component";
}

TEST_F(PointBlocksTest, AReferenceWhoseNumberChangedMovesToItsNewDefinition) {
  cad::ObjectId id = place(L"配电箱", L"AL1", Point3d(0, 0, 0));
  RebuildPointGjFigure(L"配电箱", id);
  ASSERT_EQ(blockOf(id), L"sys$配电箱$箱体$AL1");
  StringArray number{L"AL2"};
  ClearXdata(id, kXdataNumber);
  ASSERT_TRUE(SetXdataLines(id, kXdataNumber, number, nullptr));
  RebuildPointGjFigure(L"配电箱", id);
  EXPECT_EQ(blockOf(id), L"sys$配电箱$箱体$AL2");
  EXPECT_EQ(blockEntities(L"sys$配电箱$箱体$AL2").size(), 1u);
}

TEST_F(PointBlocksTest, OverlapCheckErasesADuplicateOnly) {
  cad::ObjectId first = place(L"配电箱", L"AL2", Point3d(0, 0, 0));
  RebuildPointGjFigure(L"配电箱", first);
  g_checkGjOverlap = 1;
  cad::ObjectId twin = place(L"配电箱", L"AL2", Point3d(5, 5, 0));
  cad::ObjectId other = place(L"配电箱", L"AL2", Point3d(3000, 0, 0));
  RebuildPointGjFigure(L"配电箱", twin);
  RebuildPointGjFigure(L"配电箱", other);
  EXPECT_TRUE(blockOf(twin).empty()) << "the duplicate is erased";
  EXPECT_EQ(blockOf(other), L"sys$配电箱$箱体$AL2");
  EXPECT_EQ(onLayer(L"配电箱名").size(), 2u) << "no label for the erased duplicate";
}

TEST_F(PointBlocksTest, NullIdsAndEntitiesWithoutDataDrawNothing) {
  const auto before = db().modelSpaceEntities().size();
  RebuildPointGjFigure(L"配电箱", cad::ObjectId());
  cad::ObjectId id;
  InsertPointGjBlock(id, L"配电箱", L"AL1", Point3d(0, 0, 0), 0);  // no component data
  RebuildPointGjFigure(L"配电箱", id);
  EXPECT_EQ(db().modelSpaceEntities().size(), before + 1) << "no label";
  EXPECT_TRUE(blockEntities(L"sys$配电箱$箱体$AL1").empty());
}

// ---------------------------------------------------------------------------
// Rebuilding a type from the project's tables
// ---------------------------------------------------------------------------

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
    "设备、箱柜\t配电箱\t配电箱\t配电箱=255\\r\\n配电箱名=65280\n";
const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n";
const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "配电箱\tAL1\t设备、箱柜\t图形=箱体\\r\\n图形缩放=100%\t-250,-90|250,-90|250,90|-250,90|-250,-90\n"
    "配电箱\tAL2\t设备、箱柜\t图形=箱体\t-50,-50|50,50\n";

class PointRebuildTest : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeTable(project() / "007.DB", kFloors);
    makeTable(project() / u8"1层.DB", kFloor1);
    showFloor(L"1层");
    savedNumbered_ = g_numberedPointTypes;
    g_numberedPointTypes = {L"配电箱"};
    g_curPointGj = CurrentGj{};
    g_checkGjOverlap = 1;
  }
  void TearDown() override {
    g_numberedPointTypes = savedNumbered_;
    g_curPointGj = CurrentGj{};
    g_checkGjOverlap = 1;
    ProjectSandbox::TearDown();
  }
  cad::Database& db() { return *cad::workingDatabase(); }

  cad::ObjectId place(const std::wstring& number, Point3d at) {
    cad::ObjectId id;
    InsertPointGjBlock(id, L"配电箱", number, at, 0);
    EXPECT_FALSE(id.isNull());
    double elev = 1500;
    EXPECT_TRUE(SetPointGjSpecial(&number, id, &elev, nullptr));
    RebuildPointGjFigure(L"配电箱", id);
    return id;
  }
  cad::ObjectId addLine(const std::wstring& layer, const std::wstring& number, StringArray attrs) {
    cad::ObjectId id = AddLine(Point3d(0, 0, 0), Point3d(100, 0, 0), layer, nullptr);
    if (!attrs.empty() || !number.empty()) {
      EXPECT_TRUE(SetGjXdataLines(id, number, attrs, nullptr));
    }
    return id;
  }
  bool alive(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return e.ok();
  }
  cad::ObjectIdArray labelsOf(cad::ObjectId primary) {
    cad::ObjectIdArray out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      std::wstring layer, number;
      StringArray attrs;
      GetEntityLayer(id, layer);
      GetGjNumberAndAttrs(id, number, attrs);
      if (layer == L"配电箱名" && attrs == StringArray{GetHandleText(primary)}) out.push_back(id);
    }
    return out;
  }

 private:
  StringArray savedNumbered_;
};

TEST_F(PointRebuildTest, RebuildRenewsLabelsErasesDecorationsAndMakesCopiesPrimary) {
  cad::ObjectId a = place(L"AL1", Point3d(0, 0, 0));
  cad::ObjectId b = place(L"AL2", Point3d(5000, 0, 0));
  const cad::ObjectIdArray oldLabels = labelsOf(a);
  ASSERT_EQ(oldLabels.size(), 1u);
  // A copy of a's reference carries a's handle first.
  cad::ObjectId copy;
  InsertPointGjBlock(copy, L"配电箱", L"AL1", Point3d(9000, 0, 0), 0);
  StringArray copiedAttrs{GetHandleText(a), L"主键", L"型号=AL"};
  ASSERT_TRUE(SetGjXdataLines(copy, L"AL1", copiedAttrs, nullptr));
  cad::ObjectId edge = addLine(L"配电箱边线", L"AL1", {GetHandleText(a)});
  cad::ObjectId strayLine = addLine(L"配电箱", L"AL1", {L"1A", L"主键"});
  cad::ObjectId bare = addLine(L"配电箱", L"", {});
  cad::ObjectId elsewhere = addLine(L"0", L"AL1", {L"1B"});

  RebuildPointGjs(L"配电箱", L"", {});

  EXPECT_TRUE(alive(a));
  EXPECT_TRUE(alive(b));
  EXPECT_TRUE(alive(copy));
  EXPECT_FALSE(alive(oldLabels[0])) << "old labels go";
  EXPECT_FALSE(alive(edge)) << "edge lines go";
  EXPECT_TRUE(alive(strayLine)) << "a component entity that is no reference cannot be placed: it stays";
  EXPECT_FALSE(alive(bare)) << "an entity without data on the layer goes";
  EXPECT_TRUE(alive(elsewhere)) << "other layers are not touched";
  EXPECT_EQ(labelsOf(a).size(), 1u);
  EXPECT_EQ(labelsOf(b).size(), 1u);
  EXPECT_EQ(labelsOf(copy).size(), 1u) << "the copy is labelled as its own component";

  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(copy, number, attrs);
  EXPECT_EQ(attrs, (StringArray{GetHandleText(copy), L"主键", L"型号=AL"})) << "the copy becomes primary";
  // The layer colours follow the library.
  cad::Color colour;
  GetLayerColor(L"配电箱", colour, nullptr);
  EXPECT_EQ(colour.colorIndex(), 1) << "255 is pure red";
  GetLayerColor(L"配电箱名", colour, nullptr);
  EXPECT_EQ(colour.colorIndex(), 3) << "65280 is pure green";
  EXPECT_EQ(g_checkGjOverlap, 1);
  EXPECT_EQ(db().numOpenObjects(), 0u);
}

TEST_F(PointRebuildTest, RebuildOfOneNumberOrOfGivenIdsLeavesTheRest) {
  cad::ObjectId a = place(L"AL1", Point3d(0, 0, 0));
  cad::ObjectId b = place(L"AL2", Point3d(5000, 0, 0));
  const cad::ObjectIdArray labelA = labelsOf(a), labelB = labelsOf(b);
  RebuildPointGjs(L"配电箱", L"AL1", {});
  EXPECT_FALSE(alive(labelA[0]));
  EXPECT_TRUE(alive(labelB[0])) << "another number is not touched";
  EXPECT_EQ(labelsOf(a).size(), 1u);

  const cad::ObjectIdArray labelA2 = labelsOf(a);
  RebuildPointGjs(L"配电箱", L"", {b});
  EXPECT_TRUE(alive(labelA2[0])) << "only the given ids are rebuilt";
  EXPECT_EQ(labelsOf(b).size(), 2u) << "the old label of b was not given, so it stays";
}

}  // namespace
