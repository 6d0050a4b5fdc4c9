#include "module/takeoff/run_floors.h"

#include <cmath>
#include <condition_variable>
#include <cwchar>
#include <deque>
#include <mutex>
#include <thread>

#include "module/model/project_tables.h"
#include "module/takeoff/calc_items.h"
#include "module/takeoff/result_tables.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/table_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

void say(const std::wstring& text) { ed::printText(text); }

// A floor name is used as a file name and as a field of the run's floor list.
bool isUsableFloorName(const std::wstring& floor) {
  return !floor.empty() && floor != L"." && floor != L".." &&
         floor.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::wstring floorDrawingPath(const std::wstring& floor) { return ProjectFolderPath() + L"\\" + floor + L".DWG"; }

// The drawing file of floor i of the run list; empty when the floor is the
// working drawing.
std::wstring drawingPathOf(size_t i, const std::wstring& currentFloor) {
  if (i >= g_runFloorList.size()) return {};
  const std::wstring floor = g_runFloorList[i].substr(0, g_runFloorList[i].find(L"||"));
  return floor == currentFloor ? std::wstring() : floorDrawingPath(floor);
}

RunDrawingReader::Impl* g_reader = nullptr;

}  // namespace

// One worker thread takes the jobs in order: reading a drawing, destroying one.
struct RunDrawingReader::Impl {
  struct Read {
    std::wstring path;
    std::unique_ptr<cad::Database> db;
    cad::Status status = cad::Status::Ok;
    bool done = false;
  };

  std::mutex mutex;
  std::condition_variable wake, readDone;
  std::deque<std::unique_ptr<cad::Database>> discards;
  std::unique_ptr<Read> pending;  // the read asked for, while not taken
  bool started = false, stopping = false;
  std::thread worker;

  Impl() : worker([this] { run(); }) {}
  ~Impl() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    worker.join();
  }

  void run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [&] { return stopping || !discards.empty() || (pending && !started); });
      if (!discards.empty()) {
        std::unique_ptr<cad::Database> db = std::move(discards.front());
        discards.pop_front();
        lock.unlock();
        db.reset();
        lock.lock();
        continue;
      }
      if (pending && !started && !stopping) {
        started = true;
        Read* r = pending.get();
        lock.unlock();
        std::unique_ptr<cad::Database> db;
        cad::Status status = cad::Status::Ok;
        try {
          db = std::make_unique<cad::Database>(false);
          status = db->readDwgFile(os::nativePath(r->path));
        } catch (...) {
          db.reset();  // read again when the floor is opened, where a failure is reported
        }
        lock.lock();
        r->db = std::move(db);
        r->status = status;
        r->done = true;
        readDone.notify_all();
        continue;
      }
      if (stopping) return;
    }
  }

  // Reads path ahead. A read of another drawing that was not taken (its
  // floor was not computed) gives way, unless it is under way.
  void readAhead(const std::wstring& path) {
    if (path.empty()) return;
    {
      std::lock_guard lock(mutex);
      if (pending && pending->path == path) return;
      if (pending && started && !pending->done) return;
      if (pending && pending->db) discards.push_back(std::move(pending->db));
      pending = std::make_unique<Read>();
      pending->path = path;
      started = false;
    }
    wake.notify_all();
  }

  // The drawing of path when it was read ahead (waiting for the read to end);
  // null when another one was, which is dropped, or when none was read.
  std::unique_ptr<cad::Database> take(const std::wstring& path, cad::Status& status) {
    std::unique_lock lock(mutex);
    if (!pending) return nullptr;
    readDone.wait(lock, [&] { return !started || pending->done; });
    std::unique_ptr<Read> r = std::move(pending);
    lock.unlock();
    if (r->path != path) {
      discard(std::move(r->db));
      return nullptr;
    }
    status = r->status;
    return std::move(r->db);
  }

  void discard(std::unique_ptr<cad::Database> db) {
    if (!db) return;
    {
      std::lock_guard lock(mutex);
      discards.push_back(std::move(db));
    }
    wake.notify_all();
  }
};

RunDrawingReader::RunDrawingReader() : impl_(std::make_unique<Impl>()) { g_reader = impl_.get(); }
RunDrawingReader::~RunDrawingReader() {
  g_reader = nullptr;
  impl_.reset();
}

void RunDrawingDelete::operator()(cad::Database* db) const {
  if (g_reader)
    g_reader->discard(std::unique_ptr<cad::Database>(db));
  else
    delete db;
}

std::wstring RunRuleSet() {
  wchar_t buf[260] = {};
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_ReadIni_W", (ProjectFolderPath() + L"\\000.GC").c_str(), L"工程档案", L"工程量规则",
      buf);
  return buf;
}

bool LoadRunRules(const std::wstring& ruleSet, StringArray& libNames) {
  g_ruleNormValues.clear();
  g_ruleBillValues.clear();
  g_libRuleItems.clear();
  libNames.clear();
  {
    tablelib::Table t(OpenRunInput(ProjectRulePath(L".DB")));
    if (!t) return false;
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      const std::wstring attr = tablelib::FieldAsString(t, L"属性");
      g_ruleNormValues.push_back(attr + L"=" + tablelib::FieldAsString(t, L"定额值"));
      g_ruleBillValues.push_back(attr + L"=" + tablelib::FieldAsString(t, L"清单值"));
    }
  }
  tablelib::Table lib(OpenRunInput(GjLibraryPath()));
  if (!lib) return false;
  for (tablelib::First(lib); !tablelib::Eof(lib); tablelib::Next(lib)) {
    std::wstring name = tablelib::FieldAsString(lib, L"构件名称");
    if (!ruleSet.empty()) AppendLibRuleItems(name, tablelib::FieldAsString(lib, ruleSet), g_libRuleItems);
    libNames.push_back(std::move(name));
  }
  return true;
}

bool LoadRunFloorList(const std::wstring& currentFloor) {
  g_runFloorList.clear();
  tablelib::Table t(OpenRunInput(FloorTablePath()));
  if (!t) return false;
  for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
    const std::wstring floor = tablelib::FieldAsString(t, L"楼层");
    if (g_totalMode != kTotalAll && floor != currentFloor) continue;
    if (!isUsableFloorName(floor)) {
      say(L"\n楼层名称[" + floor + L"]不能用作文件名，此楼层未计算。\n");
      continue;
    }
    // The result tables write a floor as "name=count".
    if (floor.find(L'=') != std::wstring::npos) {
      say(L"\n楼层名称[" + floor + L"]含有\"=\"，计算结果无法区分此楼层，此楼层未计算。\n");
      continue;
    }
    std::wstring entry = floor;
    for (const wchar_t* f : {L"相同层", L"层高", L"砼强度等级", L"砌筑砂浆"}) {
      std::wstring v = tablelib::FieldAsString(t, f);
      ReplaceAll(v, L"||", L"|");
      entry += L"||" + v;
    }
    g_runFloorList.push_back(entry);
  }
  return true;
}

FloorOpen OpenRunFloor(size_t i, const std::wstring& currentFloor, RunFloorScope& scope, std::wstring& floor) {
  // However this floor turns out, the next floor's drawing is read while it
  // is computed.
  struct ReadNext {
    size_t next;
    const std::wstring& currentFloor;
    ~ReadNext() {
      if (g_reader) g_reader->readAhead(drawingPathOf(next, currentFloor));
    }
  } readNext{i + 1, currentFloor};
  StringArray f;
  SplitString(g_runFloorList[i], L"||", f);
  f.resize(5);
  floor = f[0];
  g_floorBaseElev = 0;
  g_runFloorName = g_workFloorName = floor;
  g_floorHeight = std::fabs(std::wcstod(f[2].c_str(), nullptr));
  g_runFloorCount = static_cast<int>(std::wcstol(f[1].c_str(), nullptr, 10));
  g_runConcreteGrade = f[3];
  g_runMortarGrade = f[4];

  const std::wstring tablePath = FloorGjTablePath(floor);
  if (!os::exists(tablePath)) {
    say(L"\n[" + floor + L"]没有构件表，此楼层未计算。\n");
    return FloorOpen::Skipped;
  }
  if (floor != currentFloor) {
    const std::wstring dwg = floorDrawingPath(floor);
    if (!os::exists(dwg)) {
      say(L"\n[" + floor + L"]没有楼层图形，此楼层未计算。\n");
      return FloorOpen::Skipped;
    }
    cad::Status status = cad::Status::Ok;
    if (g_reader) scope.sideDb.reset(g_reader->take(dwg, status).release());
    if (!scope.sideDb) {
      scope.sideDb.reset(new cad::Database(false));
      status = scope.sideDb->readDwgFile(os::nativePath(dwg));
    }
    if (status != cad::Status::Ok) {
      NoteRunFailure(L"\n[" + floor + L"]的楼层图形" + dwg + L"无法读取(" +
                     os::fromUtf8(scope.sideDb->lastFileError()) + L")。\n");
      return FloorOpen::Failed;
    }
  }
  if (!scope.table.load(tablePath)) {
    NoteRunFailure(L"\n[" + floor + L"]的构件表" + tablePath + L"无法读取(表已损坏或无法打开)。\n");
    return FloorOpen::Failed;
  }
  if (g_runFloorCount < 1) {
    say(L"\n[" + floor + L"]的相同层数[" + f[1] + L"]无效，按1层计算。\n");
    g_runFloorCount = 1;
  }
  AppendFloorHeaderRow(floor, g_runFloorCount);
  g_floorGjTable = &scope.table;
  scope.buckets.database = scope.sideDb.get();
  g_gjBuckets = &scope.buckets;
  return FloorOpen::Opened;
}

