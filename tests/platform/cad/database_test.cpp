// The database: ids and handles, opening rules, extended data, transactions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/cad/cad.h"

using namespace cad;

namespace {

ObjectId addLine(Database& db, double x = 0) {
  ObjectId id;
  EXPECT_EQ(db.appendToModelSpace(std::make_unique<Line>(Point3d(x, 0), Point3d(x + 10, 0)), &id), Status::Ok);
  return id;
}

ObjectId addLayer(Database& db, const wchar_t* name) {
  ObjectPtr<LayerTable> t(db.layerTableId(), OpenMode::ForWrite);
  auto rec = std::make_unique<LayerRecord>();
  EXPECT_EQ(rec->setName(name), Status::Ok);
  ObjectId id;
  EXPECT_EQ(t->add(std::move(rec), &id), Status::Ok);
  return id;
}

ObjectId addBlock(Database& db, const wchar_t* name) {
  ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
  auto rec = std::make_unique<BlockRecord>();
  rec->setName(name);
  ObjectId id;
  EXPECT_EQ(bt->add(std::move(rec), &id), Status::Ok);
  return id;
}

// Two extended data groups: "编号" with one line, then attrGroup().
ValueChain attrGroup() { return xdataStrings(L"属性", {L"A", L"主键"}); }
ValueChain numberAndAttrs() {
  ValueChain both = xdataStrings(L"编号", {L"N1"});
  ValueChain attr = attrGroup();
  both.insert(both.end(), attr.begin(), attr.end());
  return both;
}

}  // namespace

TEST(Database, HandlesAreUpperHexAndResolveBackToIds) {
  Database db;
  ObjectId a = addLine(db), b = addLine(db, 20);
  EXPECT_NE(a, b);
  std::wstring text = a.handle().text();
  for (wchar_t c : text) EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << int(c);
  EXPECT_NE(text.front(), L'0');
  EXPECT_EQ(db.getObjectId(text), a);
  std::wstring lower = text;
  for (auto& c : lower) c = wchar_t(std::towlower(c));
  EXPECT_EQ(db.getObjectId(lower), a);
  EXPECT_TRUE(db.getObjectId(L"XYZ").isNull());
  EXPECT_TRUE(db.getObjectId(L"FFFFFF").isNull());
  // The text of a handle reads back as that handle, at both ends of its range.
  for (std::uint64_t v : {0ull, 9ull, 10ull, 0x1Full, 0x20ull, 0xABCDEFull, 0x8000000000000000ull, ~0ull}) {
    const Handle h(v);
    char want[24];
    std::snprintf(want, sizeof want, "%llX", static_cast<unsigned long long>(v));
    EXPECT_EQ(h.textUtf8(), want);
    EXPECT_EQ(h.text(), std::wstring(want, want + std::strlen(want)));
    if (v) {
      EXPECT_EQ(Handle::parse(h.text()), h);
    }
  }
}

TEST(Database, OpenStatuses) {
  Database db;
  ObjectId id = addLine(db);
  DbObject* o = nullptr;
  EXPECT_EQ(openObject(o, ObjectId(), OpenMode::ForRead), Status::NullObjectId);
  Circle* c = nullptr;
  EXPECT_EQ(openObject(c, id, OpenMode::ForRead), Status::WrongObjectType);
  EXPECT_EQ(db.numOpenObjects(), 0u);
  {
    ObjectPtr<Line> w(id, OpenMode::ForWrite);
    ASSERT_TRUE(w);
    EXPECT_EQ(openObject(o, id, OpenMode::ForRead), Status::WasOpenForWrite);
    EXPECT_EQ(openObject(o, id, OpenMode::ForWrite), Status::WasOpenForWrite);
  }
  {
    ObjectPtr<Line> r(id, OpenMode::ForRead);
    EXPECT_EQ(openObject(o, id, OpenMode::ForWrite), Status::WasOpenForRead);
    EXPECT_EQ(r->setStartPoint({1, 1}), Status::NotOpenForWrite);
    EXPECT_EQ(r->upgradeOpen(), Status::Ok);
    EXPECT_EQ(r->setStartPoint({1, 1}), Status::Ok);
  }
  EXPECT_EQ(db.numOpenObjects(), 0u);
  {
    ObjectPtr<Line> w(id, OpenMode::ForWrite);
    EXPECT_EQ(w->erase(), Status::Ok);
  }
  EXPECT_EQ(openObject(o, id, OpenMode::ForRead), Status::WasErased);
  EXPECT_TRUE(id.isErased());
  EXPECT_EQ(id, ObjectId::fromRaw(id.raw()));  // still comparable
  EXPECT_EQ(db.modelSpaceEntities().size(), 0u);
  ASSERT_EQ(openObject(o, id, OpenMode::ForWrite, true), Status::Ok);
  EXPECT_EQ(o->erase(false), Status::Ok);
  o->close();
  EXPECT_EQ(db.modelSpaceEntities().size(), 1u);
}

TEST(Database, IdsOfADestroyedDatabaseFailCleanly) {
  ObjectId id;
  {
    Database db;
    id = addLine(db);
  }
  DbObject* o = nullptr;
  EXPECT_EQ(openObject(o, id, OpenMode::ForRead), Status::InvalidObjectId);
  EXPECT_TRUE(id.isErased());
  EXPECT_EQ(id.database(), nullptr);
}

TEST(Database, DrawingsReadAndDestroyedOnAnotherThreadLeaveThisThreadsIdsAlone) {
  // This thread keeps using its drawing while another one makes, fills and
  // destroys drawings, as a drawing read ahead is.
  Database mine;
  std::vector<ObjectId> lines;
  for (int i = 0; i < 50; ++i) lines.push_back(addLine(mine, i * 20));
  std::atomic<bool> done{false};
  std::vector<ObjectId> gone;
  std::thread other([&] {
    for (int i = 0; i < 3000; ++i) {
      Database db(false);
      ASSERT_EQ(db.readDxfText("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\nA\n10\n0\n20\n0\n11\n5\n21\n0\n0\nENDSEC\n0\nEOF\n"),
                Status::Ok);
      if (i % 1000 == 0) gone.push_back(addLine(db));
    }
    done = true;
  });
  size_t rounds = 0;
  while (!done || rounds == 0) {
    for (ObjectId id : lines) {
      ASSERT_EQ(id.database(), &mine);
      ASSERT_TRUE(id.isValid());
    }
    ++rounds;
  }
  other.join();
  for (ObjectId id : gone) EXPECT_EQ(id.database(), nullptr);
  ObjectPtr<Line> line(lines.back(), OpenMode::ForRead);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->startPoint(), Point3d(980, 0));
}

TEST(Database, LockedLayerRefusesWriteOpenButAllowsRead) {
  Database db;
  ObjectId layer = addLayer(db, L"管线");
  ObjectId id = addLine(db);
  {
    ObjectPtr<Line> w(id, OpenMode::ForWrite);
    ASSERT_EQ(w->setLayer(L"管线"), Status::Ok);
  }
  {
    ObjectPtr<LayerRecord> l(layer, OpenMode::ForWrite);
    l->setIsLocked(true);
  }
  DbObject* o = nullptr;
  EXPECT_EQ(openObject(o, id, OpenMode::ForWrite), Status::OnLockedLayer);
  ObjectPtr<Line> r(id, OpenMode::ForRead);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->upgradeOpen(), Status::OnLockedLayer);
}

TEST(Database, LayerNamesAreCaseInsensitiveAndCurrentLayerCannotFreeze) {
  Database db;
  ObjectId l = addLayer(db, L"Pipe3D");
  EXPECT_EQ(db.layerId(L"PIPE3d"), l);
  ObjectPtr<LayerTable> t(db.layerTableId(), OpenMode::ForWrite);
  auto dup = std::make_unique<LayerRecord>();
  dup->setName(L"pipe3d");
  EXPECT_EQ(t->add(std::move(dup)), Status::DuplicateRecordName);
  auto bad = std::make_unique<LayerRecord>();
  EXPECT_EQ(bad->setName(L"a<b"), Status::InvalidSymbolName);
  t.close();
  EXPECT_EQ(db.setClayer(l), Status::Ok);
  ObjectPtr<LayerRecord> rec(l, OpenMode::ForWrite);
  EXPECT_EQ(rec->setIsFrozen(true), Status::CannotFreezeCurrent);
  EXPECT_EQ(rec->erase(), Status::CannotBeErased);
}

// A name looked up once is answered again without a search; what happens to
// the record afterwards must show in the next answer.
TEST(Database, NameLookupsFollowRenamesErasesAndUndo) {
  Database db;
  ObjectId a = addLayer(db, L"给水");
  ObjectId b = addLayer(db, L"污水");
  EXPECT_EQ(db.layerId(L"给水"), a);
  EXPECT_EQ(db.layerId(L"污水"), b);
  {  // renamed: the old name is free, the new one finds it
    ObjectPtr<LayerRecord> rec(a, OpenMode::ForWrite);
    ASSERT_EQ(rec->setName(L"Supply"), Status::Ok);
  }
  EXPECT_TRUE(db.layerId(L"给水").isNull());
  EXPECT_EQ(db.layerId(L"SUPPLY"), a);
  {  // erased: gone, and its name can be taken by a new record
    ObjectPtr<LayerRecord> rec(b, OpenMode::ForWrite);
    ASSERT_EQ(rec->erase(), Status::Ok);
  }
  EXPECT_TRUE(db.layerId(L"污水").isNull());
  ObjectId c = addLayer(db, L"污水");
  EXPECT_EQ(db.layerId(L"污水"), c);
  // Undone: a record made in the transaction is no longer found, the one
  // renamed in it is found by its old name again.
  auto& tm = db.transactionManager();
  ASSERT_NE(tm.startTransaction(), nullptr);
  ObjectId d = addLayer(db, L"风管");
  EXPECT_EQ(db.layerId(L"风管"), d);
  {
    ObjectPtr<LayerRecord> rec(c, OpenMode::ForWrite);
    ASSERT_EQ(rec->setName(L"Drain"), Status::Ok);
  }
  EXPECT_EQ(db.layerId(L"drain"), c);
  ASSERT_EQ(tm.abortTransaction(), Status::Ok);
  EXPECT_TRUE(db.layerId(L"风管").isNull());
  EXPECT_TRUE(db.layerId(L"Drain").isNull());
  EXPECT_EQ(db.layerId(L"污水"), c);
  EXPECT_FALSE(db.isRegApp(L"编号"));
  ASSERT_EQ(db.registerApp(L"编号"), Status::Ok);
  EXPECT_TRUE(db.isRegApp(L"编号"));
}

TEST(Database, NewEntitiesTakeTheCurrentLayerAndStyle) {
  Database db;
  ObjectId l = addLayer(db, L"文字");
  db.setClayer(l);
  ObjectId id;
  ASSERT_EQ(db.appendToModelSpace(std::make_unique<Text>(Point3d(1, 2), L"标注"), &id), Status::Ok);
  ObjectPtr<Text> t(id, OpenMode::ForRead);
  EXPECT_EQ(t->layer(), L"文字");
  EXPECT_EQ(t->textStyle(), db.textstyle());
  auto bad = std::make_unique<Line>();
  bad->setLayer(L"没有");
  EXPECT_EQ(db.appendToModelSpace(std::move(bad)), Status::KeyNotFound);
}

TEST(XData, ReplacesOnlyTheAppsInTheChainAndRemovesBareApps) {
  Database db;
  for (auto app : {L"编号", L"属性", L"特殊"}) db.registerApp(app);
  ObjectId id = addLine(db);
  ObjectPtr<Line> e(id, OpenMode::ForWrite);
  const ValueChain attr = attrGroup();
  ASSERT_EQ(e->setXData(numberAndAttrs()), Status::Ok);
  ASSERT_EQ(e->setXData(xdataStrings(L"编号", {L"N2"})), Status::Ok);
  EXPECT_EQ(e->xData(L"编号"), xdataStrings(L"编号", {L"N2"}));
  EXPECT_EQ(e->xData(L"属性"), attr);
  EXPECT_EQ(e->xDataApps(), (std::vector<std::wstring>{L"编号", L"属性"}));
  ASSERT_EQ(e->setXData({{xd::kAppName, L"编号"}}), Status::Ok);
  EXPECT_TRUE(e->xData(L"编号").empty());
  EXPECT_EQ(e->xData(), attr);
}

TEST(XData, TextValuesReadTheSameShortOrLongAndCopiesKeepThem) {
  struct Case {
    const wchar_t* text;
  } cases[] = {{L""}, {L"1"}, {L"编号"}, {L"GS-"}, {L"GS-1"}, {L"材质=镀锌钢管"}};
  for (const auto& c : cases) {
    TypedValue v(xd::kString, std::wstring(c.text));
    TypedValue copy = v;
    v = TypedValue(xd::kReal, 2.0);  // the copy outlives the value it came from
    EXPECT_TRUE(copy.isString());
    EXPECT_EQ(copy.str(), c.text);
    EXPECT_EQ(copy.view(), c.text);
    EXPECT_EQ(copy, TypedValue(xd::kString, c.text));
    EXPECT_NE(copy, TypedValue(xd::kString, std::wstring(c.text) + L"x"));
  }
  EXPECT_TRUE(TypedValue(xd::kReal, 1.5).view().empty());
}

TEST(XData, GroupViewsMatchTheCopiesWithoutCopying) {
  Database db;
  for (auto app : {L"编号", L"属性"}) db.registerApp(app);
  ObjectId id = addLine(db);
  ObjectPtr<Line> e(id, OpenMode::ForWrite);
  const ValueChain both = numberAndAttrs();
  ASSERT_EQ(e->setXData(both), Status::Ok);
  for (const wchar_t* app : {L"编号", L"属性", L"编号 ", L"特殊"}) {
    auto view = e->xDataView(app);
    EXPECT_EQ(ValueChain(view.begin(), view.end()), e->xData(app));
  }
  auto all = e->xDataView();
  EXPECT_EQ(ValueChain(all.begin(), all.end()), both);
  EXPECT_EQ(e->xDataView(L"属性").data(), e->xDataView().data() + 2);  // in place, not a copy
}

TEST(XData, RefusesBadChainsAndLeavesDataUnchanged) {
  Database db;
  db.registerApp(L"编号");
  ObjectId id = addLine(db);
  ObjectPtr<Line> e(id, OpenMode::ForWrite);
  ValueChain good = xdataStrings(L"编号", {L"keep"});
  ASSERT_EQ(e->setXData(good), Status::Ok);
  struct Case {
    const char* what;
    ValueChain chain;
    Status expected;
  };
  std::vector<Case> cases = {
      {"unregistered", xdataStrings(L"未注册", {L"x"}), Status::RegAppNotRegistered},
      {"no app first", {{xd::kString, L"x"}}, Status::BadXData},
      {"string too long", xdataStrings(L"编号", {std::wstring(256, L'a')}), Status::StringTooLong},
      {"unbalanced brace", {{xd::kAppName, L"编号"}, {xd::kControl, L"{"}}, Status::BadXData},
      {"wrong value type", {{xd::kAppName, L"编号"}, {xd::kReal, L"1.0"}}, Status::BadXData},
      {"over 16 KB", xdataStrings(L"编号", std::vector<std::wstring>(80, std::wstring(250, L'x'))), Status::XDataSizeExceeded},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(e->setXData(c.chain), c.expected) << c.what;
    EXPECT_EQ(e->xData(), good) << c.what;
  }
  EXPECT_EQ(e->setXData(xdataStrings(L"编号", {std::wstring(255, L'中')})), Status::Ok);
}

TEST(Transactions, AbortRestoresEveryKindOfChange) {
  Database db;
  db.registerApp(L"编号");
  ObjectId kept = addLine(db);
  ObjectId erased = addLine(db, 50);
  ObjectId layer = addLayer(db, L"A");
  auto& tm = db.transactionManager();
  ASSERT_NE(tm.startTransaction(), nullptr);
  ObjectId created = addLine(db, 100);
  ObjectId newLayer = addLayer(db, L"B");
  db.setClayer(newLayer);
  {
    ObjectPtr<Line> e(kept, OpenMode::ForWrite);
    e->setEndPoint({99, 99});
    e->setXData(xdataStrings(L"编号", {L"T"}));
  }
  { ObjectPtr<Line> e(erased, OpenMode::ForWrite); e->erase(); }
  { ObjectPtr<LayerRecord> l(layer, OpenMode::ForWrite); l->setColor(Color::fromIndex(1)); l->setIsOff(true); }
  db.registerApp(L"临时");
  ASSERT_EQ(tm.abortTransaction(), Status::Ok);

  EXPECT_TRUE(created.isErased());
  EXPECT_TRUE(db.getObjectId(created.handle()).isNull());
  EXPECT_TRUE(db.layerId(L"B").isNull());
  EXPECT_TRUE(newLayer.isErased());
  EXPECT_EQ(db.clayer(), db.layerZeroId());
  EXPECT_FALSE(db.isRegApp(L"临时"));
  ObjectPtr<Line> e(kept, OpenMode::ForRead);
  EXPECT_EQ(e->end(), Point3d(10, 0));
  EXPECT_TRUE(e->xData().empty());
  EXPECT_FALSE(erased.isErased());
  ObjectPtr<LayerRecord> l(layer, OpenMode::ForRead);
  EXPECT_EQ(l->color().colorIndex(), 7);
  EXPECT_FALSE(l->isOff());
  EXPECT_EQ(db.modelSpaceEntities(), (ObjectIdArray{kept, erased}));
}

TEST(Transactions, NestedEndMergesIntoTheParentAndAbortGoesNewestFirst) {
  Database db;
  ObjectId id = addLine(db);
  auto& tm = db.transactionManager();
  tm.startTransaction();
  { ObjectPtr<Line> e(id, OpenMode::ForWrite); e->setEndPoint({1, 1}); }
  tm.startTransaction();
  { ObjectPtr<Line> e(id, OpenMode::ForWrite); e->setEndPoint({2, 2}); }
  ObjectId inner = addLine(db, 5);
  tm.startTransaction();
  { ObjectPtr<Line> e(id, OpenMode::ForWrite); e->setEndPoint({3, 3}); }
  EXPECT_EQ(tm.numActiveTransactions(), 3);
  tm.abortTransaction();  // back to (2,2)
  { ObjectPtr<Line> e(id, OpenMode::ForRead); EXPECT_EQ(e->end(), Point3d(2, 2)); }
  tm.endTransaction();    // the inner change now belongs to the outer one
  EXPECT_FALSE(inner.isErased());
  tm.abortTransaction();
  ObjectPtr<Line> e(id, OpenMode::ForRead);
  EXPECT_EQ(e->end(), Point3d(10, 0));
  EXPECT_TRUE(inner.isErased());
  EXPECT_EQ(tm.abortTransaction(), Status::NoActiveTransaction);
}

TEST(Transactions, ChangesMadeOnObjectsOpenedBeforeTheStartAreRecorded) {
  Database db;
  ObjectId id = addLine(db);
  Line* e = nullptr;
  ASSERT_EQ(openObject(e, id, OpenMode::ForWrite), Status::Ok);
  db.transactionManager().startTransaction();
  e->setStartPoint({-5, -5});
  e->close();
  db.transactionManager().abortTransaction();
  ObjectPtr<Line> r(id, OpenMode::ForRead);
  EXPECT_EQ(r->start(), Point3d(0, 0));
}

TEST(Dictionaries, NamedObjectsExtensionDictionariesAndXrecords) {
  Database db;
  ObjectId line = addLine(db);
  ValueChain data{{1, L"弯头"}, {10, Point3d(1, 2, 3)}, {40, 2.5}, {50, 0.5}, {62, 3}, {70, 1}, {90, 70000}};
  {
    ObjectPtr<Dictionary> nod(db.namedObjectsDictionaryId(), OpenMode::ForWrite);
    auto x = std::make_unique<Xrecord>();
    ASSERT_EQ(x->setFromRbChain(data), Status::Ok);
    ASSERT_EQ(nod->setAt(L"KIV_SETTINGS", std::move(x)), Status::Ok);
  }
  {
    ObjectPtr<Line> e(line, OpenMode::ForWrite);
    ASSERT_EQ(e->createExtensionDictionary(), Status::Ok);
    ObjectPtr<Dictionary> ext(e->extensionDictionary(), OpenMode::ForWrite);
    auto x1 = std::make_unique<Xrecord>();
    x1->setFromRbChain({{40, 1.0}});
    ObjectId first;
    ext->setAt(L"三通", std::move(x1), &first);
    auto x2 = std::make_unique<Xrecord>();
    x2->setFromRbChain({{40, 2.0}});
    ext->setAt(L"三通", std::move(x2));  // replaces
    EXPECT_TRUE(first.isErased());
    EXPECT_EQ(ext->numEntries(), 1u);
  }
  ObjectPtr<Dictionary> nod(db.namedObjectsDictionaryId(), OpenMode::ForRead);
  ObjectPtr<Xrecord> x(nod->getAt(L"kiv_settings"), OpenMode::ForRead);
  ASSERT_TRUE(x);
  EXPECT_EQ(x->data(), data);
  auto bad = std::make_unique<Xrecord>();
  EXPECT_EQ(bad->setFromRbChain({{10, L"not a point"}}), Status::BadXData);
}

TEST(Database, DeepCloneCopiesGeometryXDataAndAttributes) {
  Database db;
  db.registerApp(L"编号");
  ObjectId block = addBlock(db, L"user$阀门$1");
  ObjectId ref;
  {
    auto br = std::make_unique<BlockReference>(Point3d(5, 5), block);
    br->setXData(xdataStrings(L"编号", {L"V1"}));
    ASSERT_EQ(db.appendToModelSpace(std::move(br), &ref), Status::Ok);
    ObjectPtr<BlockReference> w(ref, OpenMode::ForWrite);
    auto a = std::make_unique<Attribute>();
    a->setTag(L"NO");
    a->setTextString(L"1#");
    ASSERT_EQ(w->appendAttribute(std::move(a)), Status::Ok);
  }
  IdMapping map;
  ASSERT_EQ(db.deepCloneObjects({ref}, db.modelSpaceId(), map), Status::Ok);
  ObjectId copy;
  ASSERT_TRUE(map.compute(ref, copy));
  ObjectPtr<BlockReference> c(copy, OpenMode::ForRead);
  EXPECT_EQ(c->position(), Point3d(5, 5));
  EXPECT_EQ(c->blockTableRecord(), block);
  EXPECT_EQ(c->xData(L"编号"), xdataStrings(L"编号", {L"V1"}));
  ASSERT_EQ(c->attributeIds().size(), 1u);
  ObjectPtr<BlockReference> orig(ref, OpenMode::ForRead);
  EXPECT_NE(c->attributeIds()[0], orig->attributeIds()[0]);
  EXPECT_EQ(db.modelSpaceEntities().back(), copy);
}

TEST(Color, PaletteAndTrueColour) {
  EXPECT_EQ(aciToRgb(1), (Rgb{255, 0, 0}));
  EXPECT_EQ(aciToRgb(7), (Rgb{255, 255, 255}));
  EXPECT_EQ(aciToRgb(10), (Rgb{255, 0, 0}));
  EXPECT_EQ(aciToRgb(21), (Rgb{255, 159, 127}));
  EXPECT_EQ(nearestAci({0, 255, 0}), 3);
  Color c = Color::fromRgb(255, 255, 255);
  EXPECT_TRUE(c.isByRgb());
  EXPECT_EQ(c.colorIndex(), 7);
  EXPECT_TRUE(Color::fromIndex(256).isByLayer());
  EXPECT_TRUE(Color::fromIndex(0).isByBlock());
  EXPECT_EQ(Rgb::fromColorRef(0x0000FF).r, 255);
}

// Undo of block records: the entity lists come back exactly (erased entries
// included) whatever mix of nested ends and aborts follows the appends.
TEST(Transactions, BlockListsComeBackAfterAppendsInNestedTransactions) {
  struct Case {
    const char* name;
    bool endInner, endOuter;
    std::size_t kept;  // entities of model space's list after both
  };
  for (const Case& c : {Case{"abort inner, end outer", false, true, 3}, Case{"end inner, abort outer", true, false, 2},
                        Case{"abort both", false, false, 2}, Case{"end both", true, true, 4}}) {
    SCOPED_TRACE(c.name);
    Database db;
    ObjectId first = addLine(db);
    ObjectId gone = addLine(db, 10);
    { ObjectPtr<Line> e(gone, OpenMode::ForWrite); e->erase(); }
    auto& tm = db.transactionManager();
    tm.startTransaction();
    ObjectId outer = addLine(db, 20);
    {
      ObjectPtr<BlockRecord> ms(db.modelSpaceId(), OpenMode::ForWrite);
      ms->setComments(L"outer");
    }
    tm.startTransaction();
    ObjectId inner = addLine(db, 30);
    { ObjectPtr<Line> e(gone, OpenMode::ForWrite, true); e->erase(false); }
    c.endInner ? tm.endTransaction() : tm.abortTransaction();
    c.endOuter ? tm.endTransaction() : tm.abortTransaction();

    ObjectIdArray all{first, gone, outer, inner};
    all.resize(c.kept);
    ObjectPtr<BlockRecord> ms(db.modelSpaceId(), OpenMode::ForRead);
    EXPECT_EQ(ms->entityIds(false), all);
    EXPECT_EQ(ms->comments(), c.endOuter ? L"outer" : L"");
    EXPECT_EQ(gone.isErased(), !(c.endInner && c.endOuter));
    EXPECT_EQ(inner.isErased(), !(c.endInner && c.endOuter));
    EXPECT_EQ(outer.isErased(), !c.endOuter);
    // New appends after the abort go on after what was kept.
    ms.close();
    ObjectId later = addLine(db, 40);
    all.push_back(later);
    ObjectPtr<BlockRecord> again(db.modelSpaceId(), OpenMode::ForRead);
    EXPECT_EQ(again->entityIds(false), all);
  }
}

TEST(Transactions, AbortOfAUserBlocksAppendsAndEraseOfItsEntity) {
  Database db;
  ObjectId block = addBlock(db, L"B");
  ObjectId kept;
  {
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    ASSERT_EQ(b->appendEntity(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 0)), &kept), Status::Ok);
  }
  auto& tm = db.transactionManager();
  tm.startTransaction();
  ObjectId added;
  {
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    b->setOrigin({5, 5});
    ASSERT_EQ(b->appendEntity(std::make_unique<Line>(Point3d(0, 0), Point3d(2, 0)), &added), Status::Ok);
  }
  { ObjectPtr<Line> e(kept, OpenMode::ForWrite); e->erase(); }
  ASSERT_EQ(tm.abortTransaction(), Status::Ok);
  ObjectPtr<BlockRecord> b(block, OpenMode::ForRead);
  EXPECT_EQ(b->entityIds(false), ObjectIdArray{kept});
  EXPECT_EQ(b->origin(), Point3d(0, 0));
  EXPECT_FALSE(kept.isErased());
  EXPECT_TRUE(added.isErased());
}

TEST(Database, ChangeLogNamesWhatWasCreatedWrittenOrRestored) {
  Database db;
  Database::ChangeCursor cursor;
  std::vector<ObjectId> ids;
  EXPECT_FALSE(db.changesSince(cursor, ids));  // a new cursor: look at everything
  EXPECT_TRUE(ids.empty());
  ObjectId line = addLine(db);
  ASSERT_TRUE(db.changesSince(cursor, ids));
  EXPECT_NE(std::find(ids.begin(), ids.end(), line), ids.end());
  ids.clear();
  { ObjectPtr<Line> e(line, OpenMode::ForRead); }
  ASSERT_TRUE(db.changesSince(cursor, ids));
  EXPECT_TRUE(ids.empty());  // reading changes nothing
  auto& tm = db.transactionManager();
  tm.startTransaction();
  { ObjectPtr<Line> e(line, OpenMode::ForWrite); e->setEndPoint({5, 5}); }
  ObjectId temp = addLine(db, 9);
  ASSERT_TRUE(db.changesSince(cursor, ids));
  EXPECT_NE(std::find(ids.begin(), ids.end(), line), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), temp), ids.end());
  ids.clear();
  tm.abortTransaction();  // a reader that saw them must hear of the restore
  ASSERT_TRUE(db.changesSince(cursor, ids));
  EXPECT_NE(std::find(ids.begin(), ids.end(), line), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), temp), ids.end());
  ids.clear();
  ASSERT_EQ(db.readDxfText(db.dxfText()), Status::Ok);
  EXPECT_FALSE(db.changesSince(cursor, ids));  // new contents
}
