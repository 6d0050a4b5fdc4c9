// Drawing files: round trips of every kind, damaged input, and checks
// against an independent reader and writer (ezdxf).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/cad/cad.h"
#include "tests/platform/cad/dxf_test_support.h"

using namespace cad;
namespace fs = std::filesystem;

namespace {

fs::path tempDir() { return cadtest::scratchDir("cad_tmp"); }
using cadtest::slurp;

template <class T>
T* first(Database& db, std::vector<ObjectPtr<Entity>>& keep) {
  for (ObjectId id : db.modelSpaceEntities()) {
    keep.emplace_back(id, OpenMode::ForRead);
    if (auto* t = cast<T>(keep.back().get())) return t;
  }
  return nullptr;
}

// A drawing with one entity of each kind, tables, extended data, an
// extension dictionary and xrecords.
void fill(Database& db) {
  db.registerApp(L"编号");
  db.loadLineTypeFile(L"DASHED");
  ObjectId layer, block, style;
  {
    ObjectPtr<LayerTable> lt(db.layerTableId(), OpenMode::ForWrite);
    auto l = std::make_unique<LayerRecord>();
    l->setName(L"给水3D");
    l->setColor(Color::fromRgb(10, 20, 30));
    l->setIsLocked(true);
    l->setLinetype(L"DASHED");
    lt->add(std::move(l), &layer);
    ObjectPtr<TextStyleTable> st(db.textStyleTableId(), OpenMode::ForWrite);
    auto s = std::make_unique<TextStyleRecord>();
    s->setName(L"marlfont001");
    s->setFileName(L"simplex.shx");
    s->setBigFontFileName(L"hztxt.shx");
    s->setTextSize(10);
    s->setFont(L"宋体", false, false, 134, 49);
    st->add(std::move(s), &style);
    ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
    auto b = std::make_unique<BlockRecord>();
    b->setName(L"sys$给水·1");
    bt->add(std::move(b), &block);
    ObjectPtr<BlockRecord> br(block, OpenMode::ForWrite);
    br->appendEntity(std::make_unique<PointEntity>(Point3d(0, 0, 0)));
    auto ad = std::make_unique<AttributeDefinition>();
    ad->setTag(L"NO");
    ad->setPrompt(L"编号");
    br->appendEntity(std::move(ad));
  }
  db.setTextstyle(style);
  auto add = [&](std::unique_ptr<Entity> e) {
    ObjectId id;
    EXPECT_EQ(db.appendToModelSpace(std::move(e), &id), Status::Ok);
    return id;
  };
  auto pl = std::make_unique<Polyline>();
  pl->addVertexAt(0, {0, 0}, 0.5, 1, 2);
  pl->addVertexAt(1, {100, 0});
  pl->addVertexAt(2, {100, 50});
  pl->setClosed(true);
  pl->setElevation(3);
  pl->setColor(Color::fromIndex(3));
  pl->setXData(xdataStrings(L"编号", {L"WL-1", L"中文 含空格 "}));
  ObjectId plId = add(std::move(pl));
  auto line = std::make_unique<Line>(Point3d(1, 2, 3), Point3d(4, 5, 6));
  line->setLinetype(L"DASHED");
  line->setLinetypeScale(10);
  line->setVisibility(false);
  add(std::move(line));
  add(std::make_unique<Polyline2d>(Polyline2d::Type::Simple, std::vector<Point3d>{{0, 0}, {5, 0}, {5, 5}}, 2.0, true,
                                   0, 0, std::vector<double>{0, 0.3, 0}));
  add(std::make_unique<Polyline3d>(Polyline3d::Type::Simple, std::vector<Point3d>{{0, 0, 0}, {1, 2, 3}}, false));
  add(std::make_unique<Circle>(Point3d(1, 1, 0), Vector3d(1, 0, 0), 4));
  add(std::make_unique<Arc>(Point3d(10, 0, 0), Vector3d(0, 0, -1), 5, 0.25, 2.0));
  add(std::make_unique<Ellipse>(Point3d(0, 0, 0), Vector3d(0, 0, 1), Vector3d(10, 0, 0), 0.5, 0, 3));
  auto text = std::make_unique<Text>(Point3d(5, 6), L"给水管 DN100", ObjectId(), 120, 0.3);
  text->setHorizontalMode(Text::kMid);
  text->setVerticalMode(Text::kVertMid);
  text->setAlignmentPoint({5, 6, 0});
  add(std::move(text));
  auto mt = std::make_unique<MText>();
  mt->setContents(L"第一行\\P" + std::wstring(200, L'长'));
  mt->setLocation({1, 1, 0});
  add(std::move(mt));
  auto ref = std::make_unique<BlockReference>(Point3d(30, 40, 0), block);
  ref->setRotation(0.5);
  ref->setScaleFactors({2, 3, 1});
  ObjectId refId = add(std::move(ref));
  {
    ObjectPtr<BlockReference> r(refId, OpenMode::ForWrite);
    auto a = std::make_unique<Attribute>();
    a->setTag(L"NO");
    a->setTextString(L"V-1");
    r->appendAttribute(std::move(a));
  }
  auto h = std::make_unique<Hatch>();
  h->setAssociative(true);
  ObjectId hatchId = add(std::move(h));
  {
    ObjectPtr<Hatch> hw(hatchId, OpenMode::ForWrite);
    EXPECT_EQ(hw->appendLoop(Hatch::kExternal, ObjectIdArray{plId}), Status::Ok);
  }
  add(std::make_unique<Solid2d>(Point3d(0, 0), Point3d(1, 0), Point3d(0, 1), Point3d(1, 1)));
  auto reg = std::make_unique<Region>();
  reg->setLoops({{{{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}, {0, 0.2, 0}}, {{{20, 0, 0}, {30, 0, 0}, {30, 5, 0}}, {}}});
  add(std::move(reg));
  add(std::make_unique<PolygonMesh>(2, 2, std::vector<Point3d>{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}));
  auto pf = std::make_unique<PolyfaceMesh>();
  pf->set({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 2, 3, 0}, {1, 2, -4, 0}});
  add(std::move(pf));
  auto solid = std::make_unique<Solid3d>();
  Solid3d::Body body;  // a unit cube: six quadrilaterals and one pentagon-free body
  body.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  body.faces = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  solid->setBody(body);
  add(std::move(solid));
  ObjectId defId;
  {
    auto def = std::make_unique<RasterImageDef>();
    def->setSourceFileName(L"C:\\图片\\底图.png");
    def->setSize({640, 480});
    db.addObject(std::move(def), db.namedObjectsDictionaryId(), &defId);
  }
  auto img = std::make_unique<RasterImage>();
  img->setImageDefId(defId);
  img->place({0, 0, 0}, 640, 480);
  add(std::move(img));
  add(std::make_unique<PointEntity>(Point3d(7, 8, 9)));
  {
    ObjectPtr<Polyline> p(plId, OpenMode::ForWrite);
    p->createExtensionDictionary();
    ObjectPtr<Dictionary> ext(p->extensionDictionary(), OpenMode::ForWrite);
    auto x = std::make_unique<Xrecord>();
    x->setFromRbChain({{1, L"弯头"}, {10, Point3d(1, 2, 3)}, {40, 2.5}, {50, 0.1}, {62, 3}, {70, 1}, {90, 100000}});
    ext->setAt(L"弯头", std::move(x));
  }
  ObjectPtr<LayerRecord> l(layer, OpenMode::ForWrite);  // lock last: entities on it stay writable above
}

}  // namespace

TEST(Dxf, EveryKindSurvivesARoundTrip) {
  Database db;
  fill(db);
  fs::path file = tempDir() / "roundtrip.DWG";
  ASSERT_EQ(db.saveAs(file), Status::Ok) << db.lastFileError();
  Database back(false);
  ASSERT_EQ(back.readDxfFile(file), Status::Ok) << back.lastFileError();

  ObjectIdArray a = db.modelSpaceEntities(), b = back.modelSpaceEntities();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ObjectPtr<Entity> x(a[i], OpenMode::ForRead), y(b[i], OpenMode::ForRead);
    ASSERT_TRUE(x && y);
    EXPECT_EQ(x->kind(), y->kind()) << i;
    EXPECT_EQ(a[i].handle(), b[i].handle()) << x->className();
    EXPECT_EQ(x->layer(), y->layer()) << x->className();
    EXPECT_EQ(x->color(), y->color()) << x->className();
    EXPECT_EQ(x->visible(), y->visible()) << x->className();
    EXPECT_EQ(x->xData(), y->xData()) << x->className();
    Extents3d ex, ey;
    if (x->getGeomExtents(ex) == Status::Ok) {
      ASSERT_EQ(y->getGeomExtents(ey), Status::Ok) << x->className();
      EXPECT_TRUE(ex.minPoint.isEqualTo(ey.minPoint, 1e-9) && ex.maxPoint.isEqualTo(ey.maxPoint, 1e-9)) << x->className();
    }
  }
  // Details the extents do not show.
  std::vector<ObjectPtr<Entity>> keep;
  auto* pl = first<Polyline>(back, keep);
  ASSERT_NE(pl, nullptr);
  double w0, w1;
  pl->getWidthsAt(0, w0, w1);
  EXPECT_EQ(w1, 2);
  EXPECT_EQ(pl->xData(L"编号"), xdataStrings(L"编号", {L"WL-1", L"中文 含空格 "}));
  ObjectPtr<Dictionary> ext(pl->extensionDictionary(), OpenMode::ForRead);
  ASSERT_TRUE(ext);
  ObjectPtr<Xrecord> x(ext->getAt(L"弯头"), OpenMode::ForRead);
  ASSERT_TRUE(x);
  EXPECT_EQ(x->data()[6], TypedValue(90, 100000));
  EXPECT_EQ(x->data()[1], TypedValue(10, Point3d(1, 2, 3)));
  auto* text = first<Text>(back, keep);
  EXPECT_EQ(text->textString(), L"给水管 DN100");
  EXPECT_EQ(text->horizontalMode(), Text::kMid);
  EXPECT_EQ(back.textStyleId(L"marlfont001"), text->textStyle());
  auto* mt = first<MText>(back, keep);
  EXPECT_EQ(mt->contents(), L"第一行\\P" + std::wstring(200, L'长'));
  auto* br = first<BlockReference>(back, keep);
  EXPECT_EQ(br->blockName(), L"sys$给水·1");
  EXPECT_EQ(br->scaleFactors(), (Scale3d{2, 3, 1}));
  ASSERT_EQ(br->attributeIds().size(), 1u);
  ObjectPtr<Attribute> attr(br->attributeIds()[0], OpenMode::ForRead);
  EXPECT_EQ(attr->textString(), L"V-1");
  auto* hatch = first<Hatch>(back, keep);
  ASSERT_EQ(hatch->numLoops(), 1);
  EXPECT_EQ(hatch->loops()[0].sources, ObjectIdArray{pl->objectId()});
  auto* solid = first<Solid3d>(back, keep);
  EXPECT_EQ(solid->body().faces.size(), 6u);
  EXPECT_NEAR(solid->volume(), 1.0, 1e-12);
  auto* region = first<Region>(back, keep);
  EXPECT_EQ(region->loops().size(), 2u);
  auto* img = first<RasterImage>(back, keep);
  ObjectPtr<RasterImageDef> def(img->imageDefId(), OpenMode::ForRead);
  ASSERT_TRUE(def);
  EXPECT_EQ(def->sourceFileName(), L"C:\\图片\\底图.png");
  ObjectPtr<LayerRecord> layer(back.layerId(L"给水3d"), OpenMode::ForRead);
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->color(), Color::fromRgb(10, 20, 30));
  EXPECT_EQ(layer->linetype(), L"DASHED");
  ObjectPtr<TextStyleRecord> style(back.textStyleId(L"marlfont001"), OpenMode::ForRead);
  EXPECT_EQ(style->bigFontFileName(), L"hztxt.shx");
  EXPECT_EQ(style->font().face, L"宋体");
  EXPECT_EQ(style->font().charset, 134);
  // Writing the read drawing again gives the same entities section, up to
  // the numbers of vertex and sequence-end records (made afresh on each save).
  auto body = [](const std::string& s) {
    std::size_t from = s.find("ENTITIES\n") + 9;
    std::istringstream in(s.substr(from, s.find("OBJECTS") - from));
    std::string code, value, out;
    while (std::getline(in, code) && std::getline(in, value))
      if (code != "  5" && code != "330") out += code + "\n" + value + "\n";
    return out;
  };
  EXPECT_EQ(body(db.dxfText()), body(back.dxfText()));
}

// A file of several megabytes: the reader hands back the pages it has passed
// and shares repeated texts, and every value still comes back as written.
TEST(Dxf, ALargeFileReadsBackEveryExtendedDataValue) {
  constexpr int kLines = 20000;
  Database db;
  for (auto app : {L"编号", L"属性"}) db.registerApp(app);
  std::vector<ObjectId> ids;
  for (int i = 0; i < kLines; ++i) {
    auto line = std::make_unique<Line>(Point3d(i, 0), Point3d(i, 10));
    ASSERT_EQ(line->setXData(xdataStrings(L"编号", {L"GS-" + std::to_wstring(i)})), Status::Ok);
    ValueChain attrs = xdataStrings(L"属性", {L"主键", i % 2 ? L"管径=DN100" : L"材质=镀锌钢管", L"7"});
    attrs.emplace_back(xd::kReal, 0.5 * i);
    ASSERT_EQ(line->setXData(attrs), Status::Ok);
    ObjectId id;
    ASSERT_EQ(db.appendToModelSpace(std::move(line), &id), Status::Ok);
    ids.push_back(id);
  }
  fs::path file = tempDir() / "large.dxf";
  ASSERT_EQ(db.saveAs(file), Status::Ok);
  ASSERT_GT(fs::file_size(file), 3u << 20);  // well past the first pages handed back
  Database back(false);
  ASSERT_EQ(back.readDxfFile(file), Status::Ok) << back.lastFileError();
  ObjectIdArray loaded = back.modelSpaceEntities();
  ASSERT_EQ(loaded.size(), ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    ObjectPtr<Entity> a(ids[i], OpenMode::ForRead), b(loaded[i], OpenMode::ForRead);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(b->xData(), a->xData()) << "entity " << i;
  }
}

TEST(Dxf, DamagedInputFailsAndLeavesTheDatabaseAsItWas) {
  Database good;
  fill(good);
  std::string text = good.dxfText();
  std::string dupHandle = text;
  {
    // Give the second model space entity the first one's handle.
    std::string h1 = good.modelSpaceEntities()[0].handle().textUtf8();
    std::string h2 = good.modelSpaceEntities()[1].handle().textUtf8();
    auto pos = dupHandle.find("\n  5\n" + h2 + "\n");
    dupHandle.replace(pos, 6 + h2.size(), "\n  5\n" + h1);
  }
  std::string badLayer = text;
  badLayer.replace(badLayer.find("给水3D"), std::string("给水3D").size(), "\xff\xfe");
  struct Case {
    const char* what;
    std::string content;
  } cases[] = {
      {"empty", ""},
      {"not a drawing", "hello\nworld\n"},
      {"truncated", text.substr(0, text.size() / 2)},
      {"no group code", "  0\nSECTION\nxx\nHEADER\n"},
      {"bad number", [&] { std::string t = text; t.replace(t.find("\n 40\n") + 5, 1, "x"); return t; }()},
      {"duplicate handle", dupHandle},
      {"invalid UTF-8 layer name", badLayer},
  };
  fs::path file = tempDir() / "damaged.dxf";
  for (const auto& c : cases) {
    Database db;
    ObjectId keep;
    db.appendToModelSpace(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 1)), &keep);
    std::ofstream(file, std::ios::binary) << c.content;
    EXPECT_EQ(db.readDxfFile(file), Status::BadFile) << c.what;
    EXPECT_FALSE(db.lastFileError().empty()) << c.what;
    EXPECT_EQ(db.modelSpaceEntities(), ObjectIdArray{keep}) << c.what;
    EXPECT_FALSE(keep.isErased()) << c.what;
  }
  Database db;
  EXPECT_EQ(db.readDxfFile(tempDir() / "no such file.dwg"), Status::FileNotFound);
}

TEST(Dxf, UnknownEntityKindsAreKeptWithANotice) {
  Database db;
  db.appendToModelSpace(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 1)));
  std::string text = db.dxfText();
  std::string unknown = "  0\nWIPEOUT\n  5\nABC\n330\n1F\n100\nAcDbEntity\n  8\n0\n 10\n1.5\n";
  text.insert(text.find("  0\nENDSEC", text.find("ENTITIES")) + 1, unknown);
  Database back;
  ASSERT_EQ(back.readDxfText(text), Status::Ok) << back.lastFileError();
  ASSERT_EQ(back.modelSpaceEntities().size(), 2u);
  ObjectPtr<UnknownEntity> u(back.modelSpaceEntities()[1], OpenMode::ForRead);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->dxfType, "WIPEOUT");
  bool noticed = false;
  for (const auto& n : back.lastFileNotices()) noticed = noticed || n.find("WIPEOUT") != std::string::npos;
  EXPECT_TRUE(noticed);
  EXPECT_NE(back.dxfText().find("WIPEOUT"), std::string::npos);
}

TEST(Dxf, SaveReplacesTheOldFileAtomically) {
  Database db;
  fs::path file = tempDir() / "atomic.DWG";
  std::ofstream(file) << "old";
  ASSERT_EQ(db.saveAs(file), Status::Ok);
  EXPECT_NE(slurp(file).find("AC1021"), std::string::npos);
  EXPECT_FALSE(fs::exists(file.string() + ".kivtmp"));
  EXPECT_EQ(db.saveAs(tempDir() / "no dir" / "x.dwg"), Status::FileAccessError);
}

// The independent reader: runs ezdxf's audit on a file we write.
TEST(Dxf, FilesWePassTheIndependentAudit) {
  if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no system python";
  Database db;
  fill(db);
  fs::path file = tempDir() / "audit.dxf";
  ASSERT_EQ(db.saveAs(file), Status::Ok);
  std::string cmd = "/usr/bin/python3 " + std::string(KIV_SOURCE_DIR) + "/tests/platform/cad/ezdxf_audit.py '" +
                    file.string() + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  int rc = pclose(p);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("errors 0"), std::string::npos) << out;
  EXPECT_NE(out.find("entities " + std::to_string(db.modelSpaceEntities().size())), std::string::npos) << out;
}

// The independent writer: a drawing ezdxf made reads with its content intact.
TEST(Dxf, ReadsADrawingWrittenByAnotherProgram) {
  Database db;
  ASSERT_EQ(db.readDxfFile(fs::path(KIV_SOURCE_DIR) / "tests/fixtures/cad/ezdxf_drawing.dxf"), Status::Ok)
      << db.lastFileError();
  ObjectIdArray ids = db.modelSpaceEntities();
  ASSERT_EQ(ids.size(), 12u);
  std::vector<ObjectPtr<Entity>> keep;
  auto* pl = first<Polyline>(db, keep);
  ASSERT_NE(pl, nullptr);
  EXPECT_EQ(pl->layer(), L"管线");
  EXPECT_EQ(pl->numVerts(), 3u);
  EXPECT_DOUBLE_EQ(pl->bulgeAt(0), 0.5);
  EXPECT_EQ(pl->xData(L"属性"), xdataStrings(L"属性", {L"1A", L"主键", L"管径=DN100"}));
  EXPECT_EQ(pl->xData(L"特殊").size(), 4u);
  auto* text = first<Text>(db, keep);
  EXPECT_EQ(text->textString(), L"给水管 DN100");
  EXPECT_DOUBLE_EQ(text->height(), 120);
  auto* mt = first<MText>(db, keep);
  EXPECT_EQ(mt->text(), L"第一行\n第二行");
  auto* br = first<BlockReference>(db, keep);
  EXPECT_EQ(br->blockName(), L"阀门");
  EXPECT_NEAR(br->rotation(), geom::kPi / 6, 1e-12);
  EXPECT_EQ(br->attributeIds().size(), 1u);
  auto* circle = first<Circle>(db, keep);
  EXPECT_EQ(circle->layer(), L"设备");
  ObjectPtr<LayerRecord> layer(db.layerId(L"设备"), OpenMode::ForRead);
  EXPECT_TRUE(layer->isLocked());
  EXPECT_EQ(layer->color().colorIndex(), 1);
  ObjectPtr<Dictionary> nod(db.namedObjectsDictionaryId(), OpenMode::ForRead);
  ObjectPtr<Xrecord> x(nod->getAt(L"KIV_TEST"), OpenMode::ForRead);
  ASSERT_TRUE(x);
  EXPECT_EQ(x->data()[0], TypedValue(1, L"弯头"));
  EXPECT_EQ(x->data()[3], TypedValue(10, Point3d(1, 2, 3)));
  // And what we write from it passes the audit too.
  fs::path file = tempDir() / "from_ezdxf.dxf";
  ASSERT_EQ(db.saveAs(file), Status::Ok);
  std::string cmd = "/usr/bin/python3 " + std::string(KIV_SOURCE_DIR) + "/tests/platform/cad/ezdxf_audit.py '" +
                    file.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
}
