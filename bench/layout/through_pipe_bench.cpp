// A through pipe from the bottom to the top of a project of 10 and of 50
// floors: every floor's drawing is read, given its part and saved once per
// base point, and its table gets the component's record. The time per floor
// should stay the same at both sizes.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "bench/layout/demo_sandbox.h"
#include "module/layout/through_pipe.h"
#include "module/model/current_gj.h"
#include "platform/cad/database.h"

namespace {

using kivbench::DemoSandbox;

// The demo project grown to the given number of floors of 3000 each: the
// first is the demo's 1层 (the current floor, with 给水管 J1), the others
// copies of its 2层 (drawing and table).
struct Tower {
  explicit Tower(int floors) : box("through") {
    std::string rows = "DELETE FROM records;";
    for (int i = 1; i <= floors; ++i)
      rows += "INSERT INTO records(_ord,楼层,层高,标高) VALUES(" + std::to_string(i) + ",'F" + std::to_string(i) +
              "','3000','" + std::to_string((i - 1) * 3000) + "');";
    box.sql("007.DB", rows);
    const auto p = box.project();
    for (int i = 1; i <= floors; ++i) {
      const std::string f = "F" + std::to_string(i);
      const std::string source = i == 1 ? "1层" : "2层";
      std::filesystem::copy_file(p / (source + ".DB"), p / (f + ".DB"));
      std::filesystem::copy_file(p / (source + ".DWG"), p / (f + ".DWG"));
    }
    box.showFloor(L"F1");
    ReadFloorLevelRows(floorRows);
    dialogRows = {L"给水管,J1,0," + std::to_wstring(floors * 3000)};
  }
  DemoSandbox box;
  StringArray floorRows, dialogRows;
};

void BM_ThroughPipeAcrossFloors(benchmark::State& state) {
  const int floors = int(state.range(0));
  Tower tower(floors);
  kivbench::freshDrawing();
  g_curLineGj = CurrentGj{};
  double x = 0;
  for (auto _ : state) {
    LayThroughPipeAt(tower.dialogRows, tower.floorRows, geom::Point3d(x, 0, 0));
    x += 1000;
  }
  state.counters["floors"] = floors;
  state.counters["per_floor"] =
      benchmark::Counter(double(state.iterations()) * floors, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ThroughPipeAcrossFloors)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
