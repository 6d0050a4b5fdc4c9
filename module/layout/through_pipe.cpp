#include "module/layout/through_pipe.h"

#include <cmath>
#include <memory>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/layout/through_pipe_dialog.h"
#include "module/model/component_types.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/params.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/os/os.h"

namespace {

constexpr ColorRef kRed = 0x0000FF;  // RGB(255, 0, 0)
constexpr double kSamePlace = 10.0;

// Makes a database the working one for a scope (the helpers that take no
// database then act on it) and puts the previous one back after.
class WorkingDatabaseScope {
 public:
  explicit WorkingDatabaseScope(cad::Database* db) : saved_(cad::workingDatabase()) {
    if (db) cad::setWorkingDatabase(db);
  }
  ~WorkingDatabaseScope() { cad::setWorkingDatabase(saved_); }
  WorkingDatabaseScope(const WorkingDatabaseScope&) = delete;
  WorkingDatabaseScope& operator=(const WorkingDatabaseScope&) = delete;

 private:
  cad::Database* saved_;
};

struct ThroughRow {
  std::wstring name, number;
  double start = 0, end = 0;
};

bool parseThroughRow(const std::wstring& text, ThroughRow& row) {
  StringArray f;
  SplitString(text, L",", f);
  if (f.size() < 4) return false;
  row.name = f[0];
  row.number = f[1];
  row.start = std::wcstod(f[2].c_str(), nullptr);
  row.end = std::wcstod(f[3].c_str(), nullptr);
  return !row.name.empty() && row.start < row.end;
}

// A pipe of the same layer in the same drawing within 10 in plan whose span
// overlaps: the new one is a duplicate.
bool duplicatesAnother(const std::wstring& name, cad::ObjectId id, cad::Database* db) {
  geom::Point3d p;
  {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (!ref) return false;
    p = ref->position();
  }
  double z1 = 0, z2 = 0;
  GetGjSpecial(id, nullptr, &z1, &z2);
  cad::ObjectIdArray others;
  CollectIdsByLayerAndNumber(name, L"", others, db);
  for (cad::ObjectId other : others) {
    if (other == id) continue;
    std::wstring kind;
    double a = 0, b = 0;
    GetGjSpecial(other, &kind, &a, &b);
    if (kind != kGjKindThrough && kind != kGjKindRiser) continue;
    cad::ObjectPtr<cad::BlockReference> ref(other, cad::OpenMode::ForRead);
    if (!ref) continue;
    const geom::Point3d q = ref->position();
    if (std::hypot(q.x - p.x, q.y - p.y) > kSamePlace) continue;
    if (std::min(a, b) < std::max(z1, z2) && std::max(a, b) > std::min(z1, z2)) return true;
  }
  return false;
}

// Finds the record of (name, number) in an open table; the cursor stays on
// it. Otherwise false, with the cursor where a copy belongs: on the first
// record after the name's records, or at the end.
bool locateRecord(tablelib::Handle t, const std::wstring& name, const std::wstring& number) {
  if (!tablelib::Locate(t, L"构件名称", name)) {
    tablelib::Last(t);
    tablelib::Next(t);
    return false;
  }
  while (!tablelib::Eof(t) && tablelib::FieldAsString(t, L"构件名称") == name) {
    if (tablelib::FieldAsString(t, L"编号") == number) return true;
    tablelib::Next(t);
  }
  return false;
}

// Copies the source's current record into the target where locateRecord
// left it: every field both tables have, by name.
void copyRecord(tablelib::Handle source, tablelib::Handle target) {
  if (tablelib::Eof(target)) tablelib::Append(target);
  else {
    tablelib::Edit(target);
    tablelib::Insert(target);
  }
  const int n = tablelib::FieldCount(source);
  for (int i = 0; i < n; ++i) {
    const std::wstring field = tablelib::GetFieldName(source, i);
    if (tablelib::FindField(target, field))
      tablelib::WriteAsString(target, field, tablelib::FieldAsString(source, field));
  }
  tablelib::Post(target);
}

// One floor's drawing for the time of its work: the open drawing for the
// current floor, else the floor's file read into a side database.
struct FloorDrawing {
  std::unique_ptr<cad::Database> side;
  cad::Database* db = nullptr;
  std::wstring path;
};

bool openFloorDrawing(const FloorBand& band, const std::wstring& currentFloor, FloorDrawing& out) {
  if (band.floor == currentFloor) {
    out.db = cad::workingDatabase();
    return out.db != nullptr;
  }
  out.path = ProjectFolderPath() + L"\\" + band.floor + L".DWG";
  if (!os::isFile(out.path)) {
    ed::printText(L"\n找不到楼层图形，跳过: " + out.path);
    return false;
  }
  out.side = std::make_unique<cad::Database>(false);
  if (out.side->readDwgFile(os::nativePath(out.path)) != cad::Status::Ok) {
    // Never saved over: the file stays as it is.
    ed::printText(L"\n楼层图形无法读取，跳过: " + out.path);
    out.side.reset();
    return false;
  }
  out.db = out.side.get();
  return true;
}

bool saveFloorDrawing(FloorDrawing& drawing) {
  if (!drawing.side) return true;
  os::copyFile(drawing.path, os::directoryOf(drawing.path) + L"\\" +
                                 os::fileNameOf(drawing.path).substr(0, os::fileNameOf(drawing.path).size() - 4) +
                                 L".BAK");
  if (drawing.side->saveAs(os::nativePath(drawing.path)) != cad::Status::Ok) {
    ed::printText(L"\n楼层图形保存失败: " + drawing.path);
    return false;
  }
  return true;
}

// Every row on one floor at the base point.
void layOnFloor(const FloorBand& band, const std::vector<ThroughRow>& rows, const geom::Point3d& base,
                tablelib::Handle source, const std::wstring& currentFloor) {
  bool onFloor = false;
  for (const ThroughRow& r : rows) onFloor = onFloor || SegmentOnFloor(r.start, r.end, band);
  if (!onFloor) return;
  FloorDrawing drawing;
  if (!openFloorDrawing(band, currentFloor, drawing)) return;
  tablelib::Table target(FloorGjTablePath(band.floor));
  {
    WorkingDatabaseScope working(drawing.db);
    for (const ThroughRow& r : rows) {
      if (!SegmentOnFloor(r.start, r.end, band)) continue;
      if (!locateRecord(source, r.name, r.number)) {
        ed::printText(L"\n当前楼层没有构件 " + r.name + L" " + r.number);
        continue;
      }
      if (target && band.floor != currentFloor && !locateRecord(target, r.name, r.number))
        copyRecord(source, target);
      double zs = 0, ze = 0;
      FloorRelativeSpan(r.start, r.end, band, zs, ze);
      cad::ObjectId id = CreateThroughPipeGj(r.name, r.number, geom::Point3d(base.x, base.y, zs),
                                             geom::Point3d(base.x, base.y, ze), drawing.db);
      DecorateThroughPipeGj(r.name, id, drawing.db);
      if (!id.isNull() && !id.isErased()) RefreshSolid3dOfEntity(r.name, id, drawing.db);
    }
  }
  saveFloorDrawing(drawing);
}

}  // namespace

void ReadFloorLevelRows(StringArray& rows) {
  rows.clear();
  tablelib::Table t(FloorTablePath());
  if (!t) return;
  tablelib::First(t);
  while (!tablelib::Eof(t)) {
    rows.push_back(tablelib::FieldAsString(t, L"楼层", 100) + L"||" + tablelib::FieldAsString(t, L"标高", 100) +
                   L"||" + tablelib::FieldAsString(t, L"层高", 100));
    tablelib::Next(t);
  }
}

bool ParseFloorLevelRow(const std::wstring& row, FloorBand& band) {
  StringArray f;
  SplitString(row, L"||", f);
  if (f.size() < 3 || f[0].empty()) return false;
  band.floor = f[0];
  band.base = std::wcstod(f[1].c_str(), nullptr);
  band.height = std::fabs(std::wcstod(f[2].c_str(), nullptr));
  return true;
}

bool SegmentOnFloor(double start, double end, const FloorBand& band) {
  return start < band.base + band.height && end > band.base;
}

void FloorRelativeSpan(double start, double end, const FloorBand& band, double& zs, double& ze) {
  zs = std::max(0.0, start - band.base);
  ze = std::min(band.height, end - band.base);
}

cad::ObjectId CreateThroughPipeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                                  const geom::Point3d& end, cad::Database* db) {
  if (std::fabs(end.z - start.z) < 1) return {};
  WorkingDatabaseScope working(db);
  const std::wstring block = VertGjBlockName(number);
  EnsureVertGjBlock(name, block, db, 0);
  cad::ObjectId id = InsertBlockRef(block, geom::Point3d(start.x, start.y, 0), 0, cad::Scale3d{1, 1, 1},
                                    geom::Vector3d(0, 0, 1), name, db);
  if (id.isNull()) return id;
  SetEntityColorRGB(id, kRed);
  const std::wstring kind = kGjKindThrough;
  if (!SetGjSpecial(&number, &kind, id, &start.z, &end.z)) {
    EraseEntity(id);
    return {};
  }
  return id;
}

void DecorateThroughPipeGj(const std::wstring& name, cad::ObjectId id, cad::Database* db) {
  if (id.isNull()) return;
  WorkingDatabaseScope working(db);
  if (g_checkGjOverlap && duplicatesAnother(name, id, db)) {
    EraseEntity(id);
    return;
  }
  LoadGjDefineByName(name, false);
  gjdeco::Look look;
  const std::wstring coordText = gjdeco::ReadLook(id, look);
  {
    cad::ObjectPtr<cad::Entity> ref(id, cad::OpenMode::ForRead);
    if (!ref) return;
    gjdeco::DecorateRiser(name, ref, coordText, look, true);
  }
  if (look.byLayer) return;
  // A through pipe's decorations are red like the pipe.
  cad::ObjectIdArray decorations;
  CollectIdsByLayerAndNumber(name + kEdgeLayerSuffix + L"," + name + kLabelLayerSuffix, look.number, decorations, db);
  for (cad::ObjectId d : decorations) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(d, number, attrs);
    if (!attrs.empty() && attrs.front() == look.owner) SetEntityColorRGB(d, kRed);
  }
}

void LayThroughPipeAt(const StringArray& dialogRows, const StringArray& floorRows, const geom::Point3d& base) {
  const std::wstring currentFloor = winlib::CmbGetName(L"楼层");
  std::vector<ThroughRow> rows;
  for (const std::wstring& text : dialogRows) {
    ThroughRow r;
    if (parseThroughRow(text, r)) rows.push_back(r);
    else ed::printText(L"\n贯通管段无效: " + text);
  }
  if (rows.empty()) return;
  tablelib::Table source(FloorGjTablePath(currentFloor));
  for (const std::wstring& text : floorRows) {
    FloorBand band;
    if (ParseFloorLevelRow(text, band)) layOnFloor(band, rows, base, source, currentFloor);
  }
}

void LayThroughPipeGj() {
  const int echo = ed::getVarInt(L"CMDECHO").value_or(0);
  ScopeExit restoreEcho([echo] { ed::setVar(L"CMDECHO", echo); });
  ed::setVar(L"CMDECHO", 1);
  if (!LoadCurGjDefine()) return;
  StringArray floorRows, dialogRows;
  ReadFloorLevelRows(floorRows);
  if (!RunThroughPipeDlg(dialogRows) || dialogRows.empty()) return;
  for (;;) {
    geom::Point3d base;
    if (GetPointWithOffset(L"\n请选择基点:", base, L"") != ed::kNormal) break;
    LayThroughPipeAt(dialogRows, floorRows, base);
  }
}

void CmdThroughPipe() {
  if (const LayoutCommandRow* row = FindLayoutCommandRow(L"ThroughPipe")) PrepareGjCombos(row->types, row->defaultType);
  LayThroughPipeGj();
}
