#include "module/shell/dev_commands.h"

#include <memory>

#include "module/shell/command_table.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/strings.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

DevDrawingFiles& devDrawingFiles() {
  static DevDrawingFiles files;
  return files;
}

namespace {

using geom::Point2d;
using geom::Point3d;

// The bulge of the warning sign's rounded corners.
constexpr double kCornerBulge = 2.0 / 3.0;
constexpr double kSideLength = 60.0;
// Chord of each rounded corner, and the height of the bottom side: the sign
// sits about the block origin with the exclamation mark inside it.
constexpr double kCornerChord = 10.0;
constexpr double kBottomY = -17.0;

std::unique_ptr<cad::Polyline> warningTriangle() {
  // Sides run counter-clockwise at 0, 120 and 240 degrees; each corner is an
  // arc whose chord points halfway between the two sides, so the outline
  // closes and the arcs bulge outwards.
  const double c60 = 0.5, s60 = 0.8660254037844386;
  Point2d p0(-kSideLength / 2, kBottomY);
  Point2d p1(kSideLength / 2, kBottomY);
  Point2d p2(p1.x + kCornerChord * c60, p1.y + kCornerChord * s60);
  Point2d p3(p2.x - kSideLength * c60, p2.y + kSideLength * s60);
  Point2d p4(p3.x - kCornerChord, p3.y);
  Point2d p5(p4.x - kSideLength * c60, p4.y - kSideLength * s60);
  auto pl = std::make_unique<cad::Polyline>();
  const Point2d pts[] = {p0, p1, p2, p3, p4, p5};
  const double bulges[] = {0, kCornerBulge, 0, kCornerBulge, 0, kCornerBulge};
  for (unsigned i = 0; i < 6; ++i) pl->addVertexAt(i, pts[i], bulges[i], 2, 2);
  pl->setClosed(true);
  return pl;
}

std::unique_ptr<cad::Polyline> stroke() {
  auto pl = std::make_unique<cad::Polyline>();
  pl->addVertexAt(0, Point2d(0, 20), 0, 8, 0);
  pl->addVertexAt(1, Point2d(0, -4), 0, 0, 0);
  return pl;
}

// A filled dot: a closed polyline of two half circles of diameter 4, width 4.
std::unique_ptr<cad::Polyline> dot(double y) {
  auto pl = std::make_unique<cad::Polyline>();
  pl->addVertexAt(0, Point2d(-2, y), 1, 4, 4);
  pl->addVertexAt(1, Point2d(2, y), 1, 4, 4);
  pl->setClosed(true);
  return pl;
}

void ensurePromptLayer(cad::Database* db) {
  cad::ObjectPtr<cad::LayerTable> layers(db->layerTableId(), cad::OpenMode::ForRead);
  if (!layers || layers->has(kPromptRecordName)) return;
  if (layers.get()->upgradeOpen() != cad::Status::Ok) return;
  auto rec = std::make_unique<cad::LayerRecord>();
  rec->setName(kPromptRecordName);
  rec->setColor(cad::Color::fromIndex(1));
  rec->setIsOff(false);
  rec->setIsFrozen(false);
  rec->setIsLocked(false);
  rec->setVPDFLT(false);
  cad::ObjectId id;
  cad::LayerRecord* raw = rec.get();
  if (layers->add(std::move(rec), &id) == cad::Status::Ok) raw->close();
}

void ensurePromptBlock(cad::Database* db) {
  cad::ObjectId blockId;
  {
    cad::ObjectPtr<cad::BlockTable> blocks(db->blockTableId(), cad::OpenMode::ForRead);
    if (!blocks || blocks->has(kPromptRecordName)) return;
    if (blocks.get()->upgradeOpen() != cad::Status::Ok) return;
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(kPromptRecordName);
    cad::BlockRecord* raw = rec.get();
    if (blocks->add(std::move(rec), &blockId) != cad::Status::Ok) return;
    raw->close();
  }
  cad::ObjectPtr<cad::BlockRecord> block(blockId, cad::OpenMode::ForWrite);
  if (!block) return;
  std::unique_ptr<cad::Polyline> parts[] = {warningTriangle(), stroke(), dot(20), dot(-12)};
  for (auto& part : parts) {
    cad::Polyline* raw = part.get();
    if (block->appendEntity(std::move(part)) == cad::Status::Ok) raw->close();
  }
}

std::wstring withoutLeadingBlanks(const std::wstring& s) {
  size_t i = s.find_first_not_of(L" \t\r\n\f\v");
  return i == std::wstring::npos ? std::wstring() : s.substr(i);
}

}  // namespace

void CmdKivGetPoint() {
  cad::Database* db = cad::workingDatabase();
  if (!db) return;
  ensurePromptLayer(db);
  ensurePromptBlock(db);
  cad::ObjectId blockId;
  {
    cad::ObjectPtr<cad::BlockTable> blocks(db->blockTableId(), cad::OpenMode::ForRead);
    if (blocks) blockId = blocks->getAt(kPromptRecordName);
  }
  if (blockId.isNull()) return;
  auto* ref = new cad::BlockReference(Point3d(0, 0, 0), blockId);
  if (!AppendToModelSpace(ref, kPromptRecordName, db).isNull()) ref->close();
}

void CmdKivWriteDwg() {
  const std::wstring source = devDrawingFiles().graph;
  tablelib::Handle h = tablelib::OpenDb(GraphLibraryPath());
  if (!h) return;
  bool edited = false;
  for (tablelib::First(h); !tablelib::Eof(h); tablelib::Next(h)) {
    if (withoutLeadingBlanks(tablelib::FieldAsString(h, L"名称")) != L"卷闸门#") continue;
    // A missing file would empty the row's figure: leave the row alone.
    if (!os::isFile(source)) {
      ed::print(L"\n文件不存在: %s", source.c_str());
      break;
    }
    tablelib::Edit(h);
    tablelib::LoadFromFile(h, L"图形", source);
    edited = true;
    break;
  }
  if (edited) tablelib::Post(h);
  tablelib::Close(h);
}

void CmdKivReadDwg() {
  const DevDrawingFiles& files = devDrawingFiles();
  auto side = std::make_unique<cad::Database>(false);
  if (side->readDwgFile(os::nativePath(files.graph33)) != cad::Status::Ok) {
    ed::print(L"\n读取图形失败: %s", files.graph33.c_str());
    return;
  }
  {
    cad::ObjectPtr<cad::Dictionary> nod(side->namedObjectsDictionaryId(), cad::OpenMode::ForWrite);
    if (!nod) return;
    cad::ObjectId dictId = nod->getAt(kTestXrecordKey);
    if (dictId.isNull()) {
      auto created = std::make_unique<cad::Dictionary>();
      cad::Dictionary* raw = created.get();
      if (nod->setAt(kTestXrecordKey, std::move(created), &dictId) == cad::Status::Ok) raw->close();
    }
    nod.close();
    cad::ObjectPtr<cad::Dictionary> dict(dictId, cad::OpenMode::ForWrite);
    if (!dict) return;
    auto xrec = std::make_unique<cad::Xrecord>();
    xrec->setFromRbChain({cad::TypedValue(1, L"This is a test Xrecord list"),
                          cad::TypedValue(10, Point3d(1, 2, 0)), cad::TypedValue(40, 3.14159),
                          cad::TypedValue(50, 3.14159), cad::TypedValue(62, 1), cad::TypedValue(70, 180)});
    cad::Xrecord* raw = xrec.get();
    cad::ObjectId xid;
    if (dict->setAt(kTestXrecordKey, std::move(xrec), &xid) == cad::Status::Ok) raw->close();
  }
  if (side->saveAs(os::nativePath(files.graph)) != cad::Status::Ok)
    ed::print(L"\n保存图形失败: %s", files.graph.c_str());
}

void CmdKivGjType() {
  tablelib::Handle h = tablelib::OpenDb(GjLibraryPath());
  if (!h) return;
  constexpr int kBackgroundChars = 409600;
  for (tablelib::First(h); !tablelib::Eof(h); tablelib::Next(h)) {
    std::wstring text = tablelib::FieldAsString(h, L"背景", kBackgroundChars);
    text += L"\r\n区域";
    tablelib::Edit(h);
    tablelib::WriteAsString(h, L"背景", text);
    tablelib::Post(h);
  }
  tablelib::Close(h);
}
