// The take-off of generated projects: floors of 20,000 linear components
// (water pipes of several diameters, conduits, trays and ducts; 100 numbers
// per kind, 50 runs per number, each with its number, attribute and special
// data and its floor-table row), taken off with ZebTotalAll, against only
// reading the same floor drawings. The second argument chooses the project:
// 0, the linear components alone; 1, the same floors plus 2,000 lamps, 400
// wire risers and the 400 distribution boxes at their feet (point kinds,
// wires and circuits). Compare the two at 50 floors (goal: the take-off of
// the linear project costs at most 3 times the reading) and each between 5
// and 50 floors (linear growth). BM_WriterShares reports each result-table
// writer's time as a share of one whole take-off of the mixed project. Each
// project is generated once into a temporary folder (one drawing, linked
// under every floor's name) and removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <chrono>

#include "module/takeoff/result_writers.h"
#include "module/takeoff/takeoff_commands.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/editor.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

namespace fs = std::filesystem;

constexpr int kComponents = 20000;
constexpr int kRunsPerNumber = 50;
constexpr int kNumbersPerKind = kComponents / kRunsPerNumber / 4;
// Point kinds and wires: lamps of 20 numbers, wire risers of 40 numbers
// (10 each), each standing on a distribution box of its own number.
constexpr int kLamps = 2000, kLampNumbers = 20;
constexpr int kRisers = 400, kWireNumbers = 40;

struct Kind {
  const char* name;
  const char* prefix;
  const char* params;  // parameter lines, "\r\n" written as the two characters
  const char* norm;    // the 定额 text
};
const Kind kKinds[] = {
    {"给水管", "J", "公称管径D_0(mm)=%d:15,20,25\\r\\n保温厚度(mm)=%d",
     "[001]\\r\\n标志=定额\\r\\n类型=长度\\r\\n编号=D11-011\\r\\n名称=室内给水管\\r\\n单位=10m\\r\\n[002]\\r\\n类型=保温"},
    {"导管", "SC", "导管材质=JDG管\\r\\n导管规格(mm)=%d\\r\\n敷设方式=暗敷%.0d",
     "[001]\\r\\n类型=长度\\r\\n编号=D17-041\\r\\n名称=暗配导管\\r\\n单位=10m"},
    {"桥架", "QJ", "材质=钢制槽式\\r\\nB=%d\\r\\nH=100%.0d",
     "[001]\\r\\n类型=长度\\r\\n编号=D20-031\\r\\n名称=桥架安装\\r\\n单位=10m"},
    {"送风管", "SF", "B=%d\\r\\nH=320%.0d", "[001]\\r\\n类型=面积\\r\\n编号=D22-011\\r\\n名称=风管\\r\\n单位=10m2"},
};

std::wstring w(const std::string& s) { return os::fromUtf8(s); }

void run(const std::string& cmd) {
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "bench: failed: %s\n", cmd.c_str());
}

// One floor drawing: 10 grid axes and the runs, each a stamped polyline.
void writeFloorDrawing(const fs::path& path, bool withPoints) {
  cad::Database db;
  {
    cad::ObjectPtr<cad::LayerTable> t(db.layerTableId(), cad::OpenMode::ForWrite);
    for (const char* layer : {"轴网", "给水管", "导管", "桥架", "送风管", "点状灯具", "照明导线", "配电箱"}) {
      auto rec = std::make_unique<cad::LayerRecord>();
      rec->setName(w(layer));
      t->add(std::move(rec));
    }
  }
  for (const wchar_t* app : {kXdataNumber, kXdataAttrs, kXdataSpecial}) db.registerApp(app);
  cad::ObjectId symbol;
  {
    cad::ObjectPtr<cad::BlockTable> bt(db.blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"符号");
    bt->add(std::move(rec), &symbol);
  }
  cad::ObjectPtr<cad::BlockRecord> space(db.modelSpaceId(), cad::OpenMode::ForWrite);
  auto add = [&](std::unique_ptr<cad::Entity> ent, const std::wstring& layer, auto&& stamp) {
    ent->setLayer(layer);
    cad::Entity* raw = ent.get();
    cad::ObjectId id;
    if (space->appendEntity(raw, &id) != cad::Status::Ok) return;
    ent.release();
    stamp(raw, id);
    raw->close();
  };
  for (int i = 0; i < 10; ++i) {
    bool vertical = i < 6;
    double c = vertical ? 6000.0 * i : 6000.0 * (i - 6);
    auto line = vertical ? std::make_unique<cad::Line>(geom::Point3d(c, -1000, 0), geom::Point3d(c, 200000, 0))
                         : std::make_unique<cad::Line>(geom::Point3d(-1000, c, 0), geom::Point3d(40000, c, 0));
    add(std::move(line), L"轴网", [&](cad::Entity* e, cad::ObjectId) {
      StringArray lines{L"轴号=" + (vertical ? std::to_wstring(i + 1) : std::wstring(1, L'A' + (i - 6)))};
      WriteXdataLines(e, kXdataSpecial, lines, &db);
    });
  }
  int k = 0;
  for (const Kind& kind : kKinds) {
    for (int n = 1; n <= kNumbersPerKind; ++n) {
      for (int r = 0; r < kRunsPerNumber; ++r, ++k) {
        double x = 300.0 * (k % 100), y = 1000.0 * (k / 100);
        auto pl = std::make_unique<cad::Polyline>();
        pl->addVertexAt(0, geom::Point2d(x, y), r % 5 == 0 ? 0.3 : 0);
        pl->addVertexAt(1, geom::Point2d(x + 250, y + 800));
        const std::wstring number = w(kind.prefix) + std::to_wstring(n);
        add(std::move(pl), w(kind.name), [&](cad::Entity* e, cad::ObjectId id) {
          StringArray num{number}, attrs{id.handle().text(), L"主键"};
          StringArray special{L"类型=斜管", L"起点标高=2800.0", L"终点标高=" + std::to_wstring(2800 - r % 3 * 100) + L".0"};
          WriteXdataLines(e, kXdataNumber, num, &db);
          WriteXdataLines(e, kXdataAttrs, attrs, &db);
          WriteXdataLines(e, kXdataSpecial, special, &db);
        });
      }
    }
  }
  // Point components and risers: block references with their number,
  // attributes and special data.
  auto block = [&](double x, double y, const wchar_t* layer, const std::wstring& number, StringArray special) {
    add(std::make_unique<cad::BlockReference>(geom::Point3d(x, y, 0), symbol), layer,
        [&](cad::Entity* e, cad::ObjectId id) {
          StringArray num{number}, attrs{id.handle().text(), L"主键"};
          WriteXdataLines(e, kXdataNumber, num, &db);
          WriteXdataLines(e, kXdataAttrs, attrs, &db);
          WriteXdataLines(e, kXdataSpecial, special, &db);
        });
  };
  const StringArray pointAt0{L"类型=点构件", L"标高=0.0", L"旋转=0,0,0"};
  for (int i = 0; withPoints && i < kLamps; ++i)
    block(400.0 * (i % 100), -2000.0 - 500.0 * (i / 100), L"点状灯具", L"L" + std::to_wstring(1 + i % kLampNumbers),
          pointAt0);
  for (int i = 0; withPoints && i < kRisers; ++i) {
    const double x = 500.0 * (i % 80), y = -20000.0 - 500.0 * (i / 80);
    const std::wstring n = std::to_wstring(1 + i % kWireNumbers);
    block(x, y, L"照明导线", L"W" + n, {L"类型=立管", L"起点标高=0.0", L"终点标高=3000.0"});
    block(x, y, L"配电箱", L"AL" + n, pointAt0);
  }
  space->close();
  if (db.saveAs(path) != cad::Status::Ok) std::fprintf(stderr, "bench: cannot write %s\n", path.c_str());
}

std::string floorTableTsv(bool withPoints) {
  std::string tsv = "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t定额\t坐标\n";
  char buf[1024];
  for (const Kind& kind : kKinds) {
    for (int n = 1; n <= kNumbersPerKind; ++n) {
      std::snprintf(buf, sizeof buf, kind.params, 15 + 5 * (n % 8), n % 2 ? 0 : 20);
      const bool duct = std::string(kind.name) == "送风管";
      tsv += std::string(kind.name) + "\t" + kind.prefix + std::to_string(n) + "\t\t" + buf + "\t" + kind.norm + "\t" +
             (duct ? "0,0|{B},0|{B},{H}|0,{H}|0,0" : "") + "\n";
    }
  }
  if (!withPoints) return tsv;
  for (int n = 1; n <= kLampNumbers; ++n)
    tsv += "点状灯具\tL" + std::to_string(n) + "\t\t构件规格=LED\t[001]\\r\\n类型=个数\\r\\n编号=D18-011\\r\\n名称=灯具"
           "\\r\\n单位=10套\t\n";
  for (int n = 1; n <= kWireNumbers; ++n) {
    tsv += "照明导线\tW" + std::to_string(n) + "\t\t根数=" + std::to_string(2 + n % 3) +
           "\t[001]\\r\\n类型=配线\\r\\n编号=D17-011\\r\\n名称=穿线\\r\\n单位=100m\t\n";
    tsv += "配电箱\tAL" + std::to_string(n) + "\t\t构件宽度(mm)=600\\r\\n构件高度(mm)=800\t[001]\\r\\n类型=个数"
           "\\r\\n编号=D19-041\\r\\n名称=配电箱\\r\\n单位=台\t\n";
  }
  return tsv;
}

// The generated installation and the projects of 5 and 50 floors, linear
// ("L5", "L50") and mixed ("M5", "M50").
class Generated {
 public:
  static Generated& get() {
    static Generated g;
    return g;
  }
  fs::path root;
  static std::string name(int floors, bool mixed) { return (mixed ? "M" : "L") + std::to_string(floors); }
  fs::path drawing(int floors, bool mixed, int i) const {
    return root / "projects" / name(floors, mixed) / ("F" + std::to_string(i) + ".DWG");
  }
  void use(int floors, bool mixed) {
    g_baseDir = os::windowsPath(root / "suite");
    g_systemDir = g_baseDir + L"\\系统文件";
    g_projectRoot = os::windowsPath(root / "projects");
    g_tempDir = g_baseDir + L"\\TMP";
    g_projectName = w(name(floors, mixed));
    if (auto set = os::findFunction<KivPelk_SetProject_W_fn>(g_hostWindowLib, "KivPelk_SetProject_W"))
      set(g_baseDir.c_str(), g_projectRoot.c_str(), g_projectName.c_str());
    if (auto combo = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W"))
      combo(L"楼层", L"F1");
    // The current floor's drawing is the open one.
    ed::docManager().curDocument()->database()->readDwgFile(drawing(floors, mixed, 1));
  }
  ~Generated() {
    // KIV_BENCH_KEEP keeps the project for a profiler to read the suite libraries.
    if (std::getenv("KIV_BENCH_KEEP")) return;
    std::error_code ec;
    fs::remove_all(root, ec);
  }

 private:
  Generated() {
    const fs::path build = KIV_BINARY_DIR;
    root = fs::temp_directory_path() / ("kiv_bench_takeoff_" + std::to_string(::getpid()));
    fs::create_directories(root / "projects");
    fs::copy(build / "suite", root / "suite", fs::copy_options::recursive);
    const fs::path sys = root / "suite" / u8"系统文件";
    ed::resetEditor();
    g_hostTableLib = os::loadLibrary(os::windowsPath(sys / "Ravn.dll"));
    g_hostBaseLib = os::loadLibrary(os::windowsPath(sys / "Tolm.dll"));
    g_hostWindowLib = os::loadLibrary(os::windowsPath(sys / "Pelk.dll"));
    const std::string tool = (build / "bin" / "tabletool").string();
    for (bool mixed : {false, true}) {
      const std::string tag = mixed ? "mixed" : "linear";
      const fs::path master = root / (tag + ".DWG");
      writeFloorDrawing(master, mixed);
      const fs::path tsv = root / (tag + ".tsv");
      std::ofstream(tsv) << floorTableTsv(mixed);
      const fs::path table = root / (tag + ".DB");
      run("'" + tool + "' import '" + tsv.string() + "' '" + table.string() + "' >/dev/null");
      for (int floors : {5, 50}) {
        const fs::path p = root / "projects" / name(floors, mixed);
        fs::create_directories(p);
        std::ofstream(p / "000.GC") << "[工程档案]\n工程量规则=定额\n";
        for (const char* ext : {".DB", ".MB"})
          fs::copy_file(sys / (std::string("计算规则") + ext), p / (std::string("计算规则") + ext));
        std::string list = "楼层:ftString:50\t相同层:ftString:20\t层高:ftString:20\t砼强度等级\t砌筑砂浆\n";
        for (int i = 1; i <= floors; ++i) {
          list += "F" + std::to_string(i) + "\t1\t3300\tC30\tM7.5\n";
          fs::create_hard_link(master, drawing(floors, mixed, i));
          fs::copy_file(table, p / ("F" + std::to_string(i) + ".DB"));
        }
        std::ofstream(p / "007.tsv") << list;
        run("'" + tool + "' import '" + (p / "007.tsv").string() + "' '" + (p / "007.DB").string() +
            "' >/dev/null");
      }
    }
  }
};

void BM_ReadFloorDrawings(benchmark::State& state) {
  const int floors = static_cast<int>(state.range(0));
  const bool mixed = state.range(1) != 0;
  Generated& g = Generated::get();
  for (auto _ : state) {
    size_t entities = 0;
    for (int i = 1; i <= floors; ++i) {
      cad::Database db(false);
      db.readDwgFile(g.drawing(floors, mixed, i));
      entities += db.modelSpaceEntities().size();
    }
    benchmark::DoNotOptimize(entities);
    state.counters["entities"] = double(entities);
  }
}

void BM_ZebTotalAll(benchmark::State& state) {
  const int floors = static_cast<int>(state.range(0));
  Generated::get().use(floors, state.range(1) != 0);
  for (auto _ : state) CmdZebTotalAll();
  state.counters["components"] = double(floors) * kComponents;
  ed::clearTranscript();
}

// Each writer run again after a whole take-off, its time a share of the take-off's.
void BM_WriterShares(benchmark::State& state) {
  Generated::get().use(static_cast<int>(state.range(0)), true);
  using Clock = std::chrono::steady_clock;
  auto seconds = [](auto&& f) {
    auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
  };
  for (auto _ : state) {
    const double total = seconds([] { CmdZebTotalAll(); });
    state.counters["param_table"] = seconds([] { WriteGjParamTable(); }) / total;
    state.counters["norm_table"] = seconds([] { WriteNormQtyTable(); }) / total;
    state.counters["chapters"] = seconds([] { AddChapterRows(); }) / total;
    state.counters["qty_table"] = seconds([] { WriteQtyTable(); }) / total;
    state.counters["floor_detail"] = seconds([] {
      WriteFloorDetailTable(L"定额");
      for (int d = 1; d <= 4; ++d) WriteDisciplineFloorDetailTable(L"定额", d);
    }) / total;
    state.counters["method_summary"] = seconds([] {
      WriteMethodSummary(L"定额");
      for (int d = 1; d <= 4; ++d) WriteDisciplineMethodSummary(L"定额", d);
    }) / total;
  }
  ed::clearTranscript();
}

BENCHMARK(BM_ReadFloorDrawings)->ArgsProduct({{5, 50}, {0, 1}})->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ZebTotalAll)->ArgsProduct({{5, 50}, {0, 1}})->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_WriterShares)->Arg(50)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
