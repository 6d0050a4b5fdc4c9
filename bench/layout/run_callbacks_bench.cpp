// Laying pipe runs of 10 points (9 segments each) through the draw-by-points
// engine with the pipe callbacks (entity, component data, duplicate check,
// labels), on an empty drawing: 100 runs against 1,000. Every new segment is
// checked against the drawing for a duplicate, so the time per run must not
// grow with the number of runs already laid: compare the per-run figures of
// the two sizes. BM_PipeRunSteps makes the same runs through the engine's
// step (step transaction, create, decorate, 3D refresh) without the prompts,
// whose point tracking in the host looks at every entity of the drawing for
// each point; BM_PipeCallbacks calls the pair alone, without the step
// transactions, whose undo record in the host copies model space's entity
// list once per step.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/input_hooks.h"
#include "module/toolkit/globals.h"
#include "platform/cad/database.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/editor/input.h"
#include "platform/editor/status.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

constexpr int kPointsPerRun = 10;

// The host's window library, as the module binds it, with the component
// chosen in its combos.
bool bindHost() {
  static bool bound = [] {
    const auto sys = std::filesystem::path(KIV_BINARY_DIR) / "suite" / "系统文件";
    g_hostWindowLib = os::loadLibrary(os::windowsPath(sys / "Pelk.dll"));
    if (!g_hostWindowLib) return false;
    if (auto reset = os::findFunction<KivPelk_Reset_fn>(g_hostWindowLib, "KivPelk_Reset")) reset();
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    if (!set) return false;
    set(L"构件", L"给水管");
    set(L"编号", L"J1");
    return true;
  }();
  return bound;
}

void push(ed::TokenKind kind, const geom::Point3d& p = {}) {
  ed::InputToken t;
  t.kind = kind;
  t.p1 = p;
  ed::inputQueue().push(t);
}

geom::Point3d runPoint(int run, int i) { return geom::Point3d(1000.0 * i, 1000.0 * run + 300.0 * (i % 2), 0); }

// A fresh drawing with the pipe's definition loaded.
void freshDrawing() {
  ed::resetEditor();
  ed::docManager().curDocument();
  ForgetLayWindowElevations();
  g_curLineGj = CurrentGj{};
  g_curLineGj.name = L"给水管";
  g_curLineGj.number = L"J1";
  g_curLineGj.coords = {L"J1=-16,-16|16,-16|16,16|-16,16"};
  g_createGjCb = &CreatePipeGj;
  g_decorateGjCb = &DecoratePipeGj;
}

// The input of the runs: zigzags one above the other, each ended by Enter;
// Escape ends the command.
void prepare(int runs) {
  freshDrawing();
  for (int k = 0; k < runs; ++k) {
    for (int i = 0; i < kPointsPerRun; ++i) push(ed::TokenKind::Point, runPoint(k, i));
    push(ed::TokenKind::Enter);
  }
  push(ed::TokenKind::Escape);
}


// Times work() for the runs of state.range(0) on what setup(runs) prepares.
template <class Setup, class Work>
void measureRuns(benchmark::State& state, Setup setup, Work work) {
  if (!bindHost()) {
    state.SkipWithError("window library not built");
    return;
  }
  const int runs = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    setup(runs);
    state.ResumeTiming();
    work(runs);
  }
  // What the last pass left: a segment and a label per step.
  state.counters["entities"] = static_cast<double>(ed::curDatabase()->modelSpaceEntities().size());
  // Seconds per run (the inverse of runs per second).
  state.counters["s_per_run"] = benchmark::Counter(
      static_cast<double>(runs), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LayPipeRuns(benchmark::State& state) {
  measureRuns(state, prepare, [](int) { RunLinearGjByPoints(&CreatePipeGj, &DecoratePipeGj, 3000); });
}
BENCHMARK(BM_LayPipeRuns)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PipeRunSteps(benchmark::State& state) {
  measureRuns(state, [](int) { freshDrawing(); }, [](int runs) {
    for (int k = 0; k < runs; ++k) {
      LinearRunScope run;
      for (int i = 0; i + 1 < kPointsPerRun; ++i)
        MakeLinearGjStep(L"给水管", L"J1", runPoint(k, i), runPoint(k, i + 1), 0, 0, 0, LayWindowSnapshot());
      run.finish(ed::kNormal);
    }
  });
}
BENCHMARK(BM_PipeRunSteps)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PipeCallbacks(benchmark::State& state) {
  measureRuns(state, [](int) { freshDrawing(); }, [](int runs) {
    for (int k = 0; k < runs; ++k)
      for (int i = 0; i + 1 < kPointsPerRun; ++i)
        DecoratePipeGj(L"给水管", CreatePipeGj(L"给水管", L"J1", runPoint(k, i), runPoint(k, i + 1), 0, 0));
  });
}
BENCHMARK(BM_PipeCallbacks)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
