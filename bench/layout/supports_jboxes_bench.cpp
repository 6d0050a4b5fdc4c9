// Supports and junction boxes on a floor of 500 and of 5,000 runs: supports
// every 1500 along 6000 pipes (four each); junction boxes along chains of ten
// 4 m wire runs with a lamp at every other joint. Both should grow linearly:
// compare the time per run of the two sizes.
#include <benchmark/benchmark.h>

#include "bench/layout/demo_sandbox.h"
#include "module/layout/junction_box.h"
#include "module/layout/support.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/point_blocks.h"
#include "module/model/special_data.h"

namespace {

kivbench::DemoSandbox& sandbox() {
  static kivbench::DemoSandbox box("supports");
  return box;
}

void prepare() {
  static bool done = false;
  if (done) return;
  done = true;
  auto& box = sandbox();
  box.addNumber("1层.DB", "管道支架", "ZJ1");
  box.addNumber("1层.DB", "接线盒", "JB1");
  box.addNumber("1层.DB", "导线·导管", "WL1");
  box.showFloor(L"1层");
}

void BM_SupportsAlongRuns(benchmark::State& state) {
  prepare();
  const int runs = int(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    kivbench::freshDrawing();
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
    cad::ObjectIdArray ids;
    for (int k = 0; k < runs; ++k) {
      cad::ObjectId id;
      const double y = 1000.0 * k;
      CreateLinearGjEntity(id, L"给水管", L"J1", {0, y, 3000}, {6000, y, 2700}, 0, 0);
      ids.push_back(id);
    }
    state.ResumeTiming();
    benchmark::DoNotOptimize(PlaceSupportsOnRuns(ids, 1500, L"管道支架", L"ZJ1"));
  }
  state.counters["per_run"] =
      benchmark::Counter(double(state.iterations()) * runs, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SupportsAlongRuns)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_JunctionBoxesAlongChains(benchmark::State& state) {
  prepare();
  const int runs = int(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    kivbench::freshDrawing();
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
    const geom::Vector3d noTurn(0, 0, 0);
    for (int k = 0; k < runs; ++k) {
      // Chains of ten runs, shuffled in drawing order (every chain drawn
      // from its far end back), 4 m each.
      const int chain = k / 10, step = 9 - k % 10;
      const double y = 2000.0 * chain, x = 4000.0 * step;
      cad::ObjectId id;
      CreateLinearGjEntity(id, L"导线·导管", L"WL1", {x, y, 2800}, {x + 4000, y, 2800}, 0, 0);
      if (step % 2 == 0) {
        cad::ObjectId lamp;
        InsertPointGjBlock(lamp, L"点状灯具", L"", {x, y, 0}, 0);
        if (!lamp.isNull()) StampGjPrimary(lamp, L"D1");
      }
    }
    state.ResumeTiming();
    PlaceJBoxesInDrawing(L"JB1", L"JB1", L"", JBoxLengths{});
  }
  state.counters["per_run"] =
      benchmark::Counter(double(state.iterations()) * runs, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_JunctionBoxesAlongChains)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
