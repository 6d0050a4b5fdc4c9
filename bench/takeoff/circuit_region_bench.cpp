// Circuit tracing and the region take-off at floor scale.
//
// Tracing: generated floors of 500 and 5,000 wire runs in circuits of 20 runs
// (a box, lamps along the chain), traced with TraceCircuitGeometry, against a
// plain step-by-step walk that rescans every remaining run after each join
// (the reference: same circuits, quadratic work).
//
// Regions: one floor of 5,000 or 20,000 stamped pipe runs (one number per 50
// runs), cut into 5 or 20 rectangular regions; ZebTotalArea against
// ZebTotalCur on the same floor (the reference: the floor's own take-off).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "module/takeoff/circuit_trace.h"
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

// ---- circuits

struct CircuitFloor {
  GjSegmentArray runs;
  GjNodeArray lamps, boxes;
};

// Circuits of 20 runs zig-zagging away from their box, a lamp at every
// fourth joint; the runs of all circuits shuffled into one list.
CircuitFloor makeCircuitFloor(int runs) {
  CircuitFloor f;
  std::mt19937 rng(11);
  const int perCircuit = 20;
  std::uint64_t id = 1;
  for (int c = 0; c * perCircuit < runs; ++c) {
    const double x0 = 30000.0 * (c % 20), y0 = 30000.0 * (c / 20);
    GjNode box;
    box.id = cad::ObjectId::fromRaw(1000000 + c);
    box.position = {x0, y0, 1500};
    f.boxes.push_back(box);
    geom::Point3d at(x0 + 10, y0, 2800);
    for (int r = 0; r < perCircuit && static_cast<int>(f.runs.size()) < runs; ++r) {
      geom::Point3d next = at + geom::Vector3d(r % 2 ? 1200 : 0, r % 2 ? 0 : 1200, 0);
      f.runs.emplace_back(cad::ObjectId::fromRaw(id++), r == 0 ? geom::Point3d(x0, y0 + 10, 1500) : at, next,
                          L"", L"");
      if (r % 4 == 3) {
        GjNode lamp;
        lamp.id = cad::ObjectId::fromRaw(2000000 + f.lamps.size());
        lamp.position = next;
        f.lamps.push_back(lamp);
      }
      at = next;
    }
  }
  std::shuffle(f.runs.begin(), f.runs.end(), rng);
  return f;
}

// The reference: the walk over shrinking lists, rescanning after each join.
size_t walkCircuits(const CircuitFloor& f) {
  auto endNear = [](const GjSegment& s, const geom::Point3d& p, double r) {
    return s.start.distanceTo(p) < r || s.end.distanceTo(p) < r;
  };
  auto nearBox = [&](const GjSegment& s) {
    for (const GjNode& b : f.boxes)
      if (endNear(s, b.position, 30)) return true;
    return false;
  };
  std::vector<int> list, boxSide;
  for (int i = 0; i < static_cast<int>(f.runs.size()); ++i) (nearBox(f.runs[i]) ? boxSide : list).push_back(i);
  std::vector<int> lamps(f.lamps.size());
  for (size_t i = 0; i < lamps.size(); ++i) lamps[i] = static_cast<int>(i);
  size_t circuits = 0;
  while (!list.empty()) {
    std::vector<int> chain, att;
    for (int y = static_cast<int>(list.size()) - 1; y >= 0;) {
      const GjSegment& s = f.runs[list[y]];
      int rule = chain.empty() ? 1 : 0;
      for (int c : chain)
        if (!rule && (endNear(s, f.runs[c].start, 3) || endNear(s, f.runs[c].end, 3))) rule = 2;
      for (int d : att)
        if (!rule && endNear(s, f.lamps[d].position, 30)) rule = 3;
      if (!rule) {
        --y;
        continue;
      }
      chain.push_back(list[y]);
      list.erase(list.begin() + y);
      if (rule < 3)
        for (int d = static_cast<int>(lamps.size()) - 1; d >= 0; --d)
          if (endNear(s, f.lamps[lamps[d]].position, 30)) {
            att.push_back(lamps[d]);
            lamps.erase(lamps.begin() + d);
          }
      y = static_cast<int>(list.size()) - 1;
    }
    for (int y = static_cast<int>(boxSide.size()) - 1; y >= 0; --y)
      for (int c : chain)
        if (endNear(f.runs[boxSide[y]], f.runs[c].start, 3) || endNear(f.runs[boxSide[y]], f.runs[c].end, 3)) {
          boxSide.erase(boxSide.begin() + y);
          ++circuits;
          break;
        }
  }
  return circuits;
}

void BM_TraceCircuits(benchmark::State& state) {
  const CircuitFloor f = makeCircuitFloor(static_cast<int>(state.range(0)));
  std::vector<cad::ObjectIdArray> out;
  for (auto _ : state) {
    TraceCircuitGeometry(f.runs, f.lamps, f.boxes, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["circuits"] = double(out.size());
}

void BM_WalkCircuitsStepwise(benchmark::State& state) {
  const CircuitFloor f = makeCircuitFloor(static_cast<int>(state.range(0)));
  size_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(n = walkCircuits(f));
  state.counters["circuits"] = double(n);
}

// ---- regions

std::wstring w(const std::string& s) { return os::fromUtf8(s); }

void shell(const std::string& cmd) {
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "bench: failed: %s\n", cmd.c_str());
}

constexpr int kRunsPerNumber = 50;

// A floor of stamped 给水管 runs on a 100-wide lattice, cut into regions
// (columns x rows of equal rectangles covering the lattice).
void writeRegionFloor(const fs::path& path, int runs, int columns, int rows) {
  cad::Database db;
  {
    cad::ObjectPtr<cad::LayerTable> t(db.layerTableId(), cad::OpenMode::ForWrite);
    for (const char* layer : {"给水管", "区域"}) {
      auto rec = std::make_unique<cad::LayerRecord>();
      rec->setName(w(layer));
      t->add(std::move(rec));
    }
  }
  for (const wchar_t* app : {kXdataNumber, kXdataAttrs, kXdataSpecial}) db.registerApp(app);
  cad::ObjectPtr<cad::BlockRecord> space(db.modelSpaceId(), cad::OpenMode::ForWrite);
  auto add = [&](std::unique_ptr<cad::Entity> ent, const std::wstring& layer, const std::wstring& number,
                 StringArray* special) {
    ent->setLayer(layer);
    cad::Entity* raw = ent.get();
    cad::ObjectId id;
    if (space->appendEntity(raw, &id) != cad::Status::Ok) return;
    ent.release();
    StringArray num{number}, attrs{id.handle().text(), L"主键"};
    WriteXdataLines(raw, kXdataNumber, num, &db);
    WriteXdataLines(raw, kXdataAttrs, attrs, &db);
    if (special) WriteXdataLines(raw, kXdataSpecial, *special, &db);
    raw->close();
  };
  const double width = 300.0 * 100, height = 1000.0 * (runs / 100);
  for (int k = 0; k < runs; ++k) {
    double x = 300.0 * (k % 100), y = 1000.0 * (k / 100);
    auto pl = std::make_unique<cad::Polyline>();
    pl->addVertexAt(0, geom::Point2d(x, y));
    pl->addVertexAt(1, geom::Point2d(x + 250, y + 800));
    StringArray special{L"类型=斜管", L"起点标高=2800.0", L"终点标高=2800.0"};
    add(std::move(pl), L"给水管", L"J" + std::to_wstring(k / kRunsPerNumber + 1), &special);
  }
  for (int c = 0; c < columns; ++c)
    for (int r = 0; r < rows; ++r) {
      const double x0 = width * c / columns - 50, x1 = width * (c + 1) / columns - 50;
      const double y0 = height * r / rows - 50, y1 = height * (r + 1) / rows - 50;
      auto pl = std::make_unique<cad::Polyline>();
      pl->addVertexAt(0, geom::Point2d(x0, y0));
      pl->addVertexAt(1, geom::Point2d(x1, y0));
      pl->addVertexAt(2, geom::Point2d(x1, y1));
      pl->addVertexAt(3, geom::Point2d(x0, y1));
      pl->setClosed(true);
      add(std::move(pl), L"区域", L"R" + std::to_wstring(c * rows + r + 1), nullptr);
    }
  space->close();
  if (db.saveAs(path) != cad::Status::Ok) std::fprintf(stderr, "bench: cannot write %s\n", path.c_str());
}

// The generated installation and one project per (runs, regions) case.
class RegionProjects {
 public:
  static RegionProjects& get() {
    static RegionProjects g;
    return g;
  }
  void use(int runs, int regions) {
    const std::string name = "R" + std::to_string(runs) + "_" + std::to_string(regions);
    const fs::path p = root_ / "projects" / name;
    if (!fs::exists(p)) make(p, runs, regions);
    g_projectName = w(name);
    if (auto set = os::findFunction<KivPelk_SetProject_W_fn>(g_hostWindowLib, "KivPelk_SetProject_W"))
      set(g_baseDir.c_str(), g_projectRoot.c_str(), g_projectName.c_str());
    if (auto combo = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W"))
      combo(L"楼层", L"F1");
    ed::docManager().curDocument()->database()->readDwgFile(p / "F1.DWG");
  }
  ~RegionProjects() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

 private:
  RegionProjects() {
    root_ = fs::temp_directory_path() / ("kiv_bench_region_" + std::to_string(::getpid()));
    fs::create_directories(root_ / "projects");
    fs::copy(fs::path(KIV_BINARY_DIR) / "suite", root_ / "suite", fs::copy_options::recursive);
    const fs::path sys = root_ / "suite" / u8"系统文件";
    ed::resetEditor();
    g_hostTableLib = os::loadLibrary(os::windowsPath(sys / "Ravn.dll"));
    g_hostBaseLib = os::loadLibrary(os::windowsPath(sys / "Tolm.dll"));
    g_hostWindowLib = os::loadLibrary(os::windowsPath(sys / "Pelk.dll"));
    g_baseDir = os::windowsPath(root_ / "suite");
    g_systemDir = g_baseDir + L"\\系统文件";
    g_projectRoot = os::windowsPath(root_ / "projects");
    g_tempDir = g_baseDir + L"\\TMP";
  }
  void make(const fs::path& p, int runs, int regions) {
    fs::create_directories(p);
    const int columns = regions >= 20 ? 5 : regions, rows = regions / columns;
    writeRegionFloor(p / "F1.DWG", runs, columns, rows);
    std::ofstream(p / "000.GC") << "[工程档案]\n工程量规则=定额\n";
    std::string tsv = "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t定额\n";
    for (int n = 1; n <= runs / kRunsPerNumber; ++n)
      tsv += "给水管\tJ" + std::to_string(n) +
             "\t\t公称管径D_0(mm)=25\t[001]\\r\\n类型=长度\\r\\n编号=D11-011\\r\\n名称=室内给水管\\r\\n单位=10m\n";
    std::ofstream(p / "F1.tsv") << tsv;
    std::ofstream(p / "007.tsv") << "楼层:ftString:50\t相同层:ftString:20\t层高:ftString:20\t砼强度等级\t砌筑砂浆\n"
                                    "F1\t1\t3300\tC30\tM7.5\n";
    const std::string tool = (fs::path(KIV_BINARY_DIR) / "bin" / "tabletool").string();
    for (const char* t : {"F1", "007"})
      shell("'" + tool + "' import '" + (p / (std::string(t) + ".tsv")).string() + "' '" +
            (p / (std::string(t) + ".DB")).string() + "' >/dev/null");
  }
  fs::path root_;
};

void BM_ZebTotalCur(benchmark::State& state) {
  RegionProjects::get().use(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) CmdZebTotalCur();
  ed::clearTranscript();
}

void BM_ZebTotalArea(benchmark::State& state) {
  RegionProjects::get().use(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) CmdZebTotalArea();
  ed::clearTranscript();
}

BENCHMARK(BM_TraceCircuits)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkCircuitsStepwise)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ZebTotalCur)->Args({5000, 5})->Args({20000, 20})->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ZebTotalArea)
    ->Args({5000, 5})
    ->Args({20000, 5})
    ->Args({20000, 20})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
