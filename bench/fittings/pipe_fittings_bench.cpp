// FloorPFittings on a floor of 1,000 and of 10,000 water pipes: a lattice of
// runs meeting end to end (elbows at the corners, tees on the sides, crosses
// inside, caps nowhere) with one short run in ten laid across the middle of
// a lattice run, which the command cuts. The reference of each size is
// laying its floor (creating and decorating the same pipes through the pipe
// callbacks): compare the command's time to it, and the time per pipe of the
// two sizes, which should stay about the same if the passes grow with n.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/layout/demo_sandbox.h"
#include "module/fittings/fittings_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/scope_guards.h"

namespace {

kivbench::DemoSandbox& sandbox() {
  static kivbench::DemoSandbox s("fittings");
  return s;
}

void layFloor(int pipes) {
  kivbench::freshDrawing();
  sandbox().showFloor(L"1层");
  OverlapCheckOff laying;
  const int columns = int(std::sqrt(pipes / 2.0)) + 1;
  auto lay = [](double x1, double y1, double x2, double y2) {
    DecoratePipeGj(L"给水管", CreatePipeGj(L"给水管", L"J1", {x1, y1, 2800}, {x2, y2, 2800}, 0, 0));
  };
  for (int k = 0, laid = 0; laid < pipes; ++k) {
    const double x = 1000.0 * (k % columns), y = 1000.0 * (k / columns);
    lay(x, y, x + 1000, y);
    if (++laid == pipes) break;
    lay(x, y, x, y + 1000);
    if (++laid == pipes) break;
    if (k % 5 == 0) {
      lay(x + 500, y - 300, x + 500, y + 300);
      ++laid;
    }
  }
}

void BM_LayFloor(benchmark::State& state) {
  for (auto _ : state) layFloor(int(state.range(0)));
  state.counters["pipes"] = double(state.range(0));
}

void BM_FloorPFittings(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    layFloor(int(state.range(0)));
    state.ResumeTiming();
    CmdFloorPFittings();
  }
  state.counters["pipes"] = double(state.range(0));
}

BENCHMARK(BM_LayFloor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FloorPFittings)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
