// The developer test commands: the warning-sign block, the graph library's
// figure loaded from a file, the test xrecord in a copy of a drawing and the
// line appended to the component library's backgrounds.
#include <cmath>
#include <fstream>

#include "module/shell/dev_commands.h"
#include "module/toolkit/project_paths.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;
namespace fs = std::filesystem;

class DevCommands : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    saved_ = devDrawingFiles();
    devDrawingFiles().graph = os::windowsPath(root_ / "Graph.Dwg");
    devDrawingFiles().graph33 = os::windowsPath(root_ / "Graph33.Dwg");
  }
  void TearDown() override {
    devDrawingFiles() = saved_;
    ProjectSandbox::TearDown();
  }
  DevDrawingFiles saved_;
};

cad::ObjectIdArray blockEntities(cad::Database* db, const wchar_t* name) {
  cad::ObjectPtr<cad::BlockTable> blocks(db->blockTableId(), cad::OpenMode::ForRead);
  cad::ObjectPtr<cad::BlockRecord> block(blocks->getAt(name), cad::OpenMode::ForRead);
  return block ? block->entityIds() : cad::ObjectIdArray{};
}

TEST_F(DevCommands, GetPointMakesLayerBlockAndOneReferencePerRun) {
  cad::Database* db = cad::workingDatabase();
  ASSERT_NE(db, nullptr);
  CmdKivGetPoint();
  CmdKivGetPoint();

  {
    cad::ObjectPtr<cad::LayerTable> layers(db->layerTableId(), cad::OpenMode::ForRead);
    cad::ObjectPtr<cad::LayerRecord> layer(layers->getAt(kPromptRecordName), cad::OpenMode::ForRead);
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->color().colorIndex(), 1);
    EXPECT_FALSE(layer->isOff());
    EXPECT_FALSE(layer->isLocked());
    EXPECT_FALSE(layer->isFrozen());
    EXPECT_FALSE(layer->VPDFLT());
  }

  // The block is made once: the triangle, the stroke and two dots.
  cad::ObjectIdArray parts = blockEntities(db, kPromptRecordName);
  ASSERT_EQ(parts.size(), 4u);
  {
    cad::ObjectPtr<cad::Polyline> tri(parts[0], cad::OpenMode::ForRead);
    ASSERT_TRUE(tri);
    EXPECT_TRUE(tri->isClosed());
    ASSERT_EQ(tri->numVerts(), 6u);
    int arcs = 0;
    for (unsigned i = 0; i < 6; ++i) {
      double sw = 0, ew = 0;
      tri->getWidthsAt(i, sw, ew);
      EXPECT_DOUBLE_EQ(sw, 2);
      const double b = tri->bulgeAt(i);
      if (b != 0) {
        EXPECT_NEAR(b, 2.0 / 3.0, 1e-12);
        ++arcs;
      } else {
        // A straight side is 60 long.
        EXPECT_NEAR(tri->pointAt(i).distanceTo(tri->pointAt((i + 1) % 6)), 60, 1e-9);
      }
    }
    EXPECT_EQ(arcs, 3);
    // The mark lies inside the sign.
    cad::Extents3d ext;
    ASSERT_EQ(tri->getGeomExtents(ext), cad::Status::Ok);
    EXPECT_LT(ext.minPoint.y, -14);
    EXPECT_GT(ext.maxPoint.y, 24);
  }
  {
    cad::ObjectPtr<cad::Polyline> stroke(parts[1], cad::OpenMode::ForRead);
    ASSERT_TRUE(stroke);
    double sw = 0, ew = 0;
    stroke->getWidthsAt(0, sw, ew);
    EXPECT_EQ(stroke->pointAt(0), geom::Point3d(0, 20, 0));
    EXPECT_EQ(stroke->pointAt(1), geom::Point3d(0, -4, 0));
    EXPECT_DOUBLE_EQ(sw, 8);
    EXPECT_DOUBLE_EQ(ew, 0);
  }
  for (int i : {2, 3}) {
    cad::ObjectPtr<cad::Polyline> dot(parts[size_t(i)], cad::OpenMode::ForRead);
    ASSERT_TRUE(dot);
    EXPECT_TRUE(dot->isClosed());
    ASSERT_EQ(dot->numVerts(), 2u);
    EXPECT_DOUBLE_EQ(dot->bulgeAt(0), 1);
    EXPECT_DOUBLE_EQ(dot->bulgeAt(1), 1);
    EXPECT_NEAR(dot->pointAt(0).distanceTo(dot->pointAt(1)), 4, 1e-12);
    const geom::Point3d mid((dot->pointAt(0).x + dot->pointAt(1).x) / 2, (dot->pointAt(0).y + dot->pointAt(1).y) / 2, 0);
    EXPECT_EQ(mid, geom::Point3d(0, i == 2 ? 20 : -12, 0));
  }

  int refs = 0;
  for (cad::ObjectId id : db->modelSpaceEntities()) {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (!ref) continue;
    ++refs;
    EXPECT_EQ(ref->position(), geom::Point3d(0, 0, 0));
    EXPECT_EQ(ref->layer(), kPromptRecordName);
  }
  EXPECT_EQ(refs, 2);
}

TEST_F(DevCommands, WriteDwgLoadsTheFileIntoTheFirstMatchingRowOnly) {
  const fs::path lib = suiteSystem() / u8"图形库.DB";
  makeTable(lib, "名称:ftString:50\t图形:ftBlob\n门\t\n  卷闸门#\t\n卷闸门#\t\n");
  { std::ofstream(root_ / "Graph.Dwg") << "FIGURE"; }
  CmdKivWriteDwg();
  EXPECT_EQ(column(lib, "图形"), "\nFIGURE\n\n");
}

TEST_F(DevCommands, WriteDwgWithoutMatchOrFileChangesNothing) {
  const fs::path lib = suiteSystem() / u8"图形库.DB";
  makeTable(lib, "名称:ftString:50\t图形:ftBlob\n门\t\n卷闸门\t\n");
  { std::ofstream(root_ / "Graph.Dwg") << "FIGURE"; }
  CmdKivWriteDwg();
  EXPECT_EQ(column(lib, "图形"), "\n\n");

  makeTable(lib, "名称:ftString:50\t图形:ftBlob\n卷闸门#\t\n");
  fs::remove(root_ / "Graph.Dwg");
  ed::clearTranscript();
  CmdKivWriteDwg();
  EXPECT_EQ(column(lib, "图形"), "\n");
  EXPECT_NE(ed::transcript().find(L"文件不存在"), std::wstring::npos);
}

TEST_F(DevCommands, ReadDwgWritesTheTestXrecordIntoACopy) {
  {
    cad::Database source;
    ASSERT_EQ(source.saveAs(root_ / "Graph33.Dwg"), cad::Status::Ok);
  }
  CmdKivReadDwg();
  ASSERT_TRUE(fs::exists(root_ / "Graph.Dwg"));

  cad::Database copy(false);
  ASSERT_EQ(copy.readDwgFile(root_ / "Graph.Dwg"), cad::Status::Ok);
  cad::ObjectPtr<cad::Dictionary> nod(copy.namedObjectsDictionaryId(), cad::OpenMode::ForRead);
  ASSERT_TRUE(nod);
  cad::ObjectPtr<cad::Dictionary> dict(nod->getAt(kTestXrecordKey), cad::OpenMode::ForRead);
  ASSERT_TRUE(dict);
  cad::ObjectPtr<cad::Xrecord> xrec(dict->getAt(kTestXrecordKey), cad::OpenMode::ForRead);
  ASSERT_TRUE(xrec);
  const cad::ValueChain& chain = xrec->data();
  ASSERT_EQ(chain.size(), 6u);
  const int codes[] = {1, 10, 40, 50, 62, 70};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(chain[i].code, codes[i]);
  EXPECT_EQ(chain[0].str(), L"This is a test Xrecord list");
  EXPECT_EQ(std::get<geom::Point3d>(chain[1].value), geom::Point3d(1, 2, 0));
  EXPECT_DOUBLE_EQ(std::get<double>(chain[2].value), 3.14159);
  EXPECT_EQ(std::get<std::int64_t>(chain[5].value), 180);
}

TEST_F(DevCommands, ReadDwgWithoutItsSourceWritesNothing) {
  ed::clearTranscript();
  CmdKivReadDwg();
  EXPECT_FALSE(fs::exists(root_ / "Graph.Dwg"));
  EXPECT_NE(ed::transcript().find(L"读取图形失败"), std::wstring::npos);
}

TEST_F(DevCommands, GjTypeAppendsTheLineToEveryRowEachRun) {
  const fs::path lib = suiteSystem() / u8"构件库.DB";
  makeTable(lib, "构件名称:ftString:50\t背景:ftMemo\nA\t\nB\tx\n");
  CmdKivGjType();
  CmdKivGjType();
  EXPECT_EQ(column(lib, "背景"), "\r\n区域\r\n区域\nx\r\n区域\r\n区域\n");
}

}  // namespace
