// Circuit tracing over a generated floor: every circuit is a distribution
// box and one wiring polyline of 50 pieces (a flat zigzag of 500 long
// pieces), with a lamp at every tenth vertex and at the end, so each circuit
// is followed through five runs. Sizes 20 and 200 circuits (1,000 and
// 10,000 pieces).
//
// The tracing (cutting the polylines, the device map, following the runs) is
// timed against a reference measured in the same run: adding as many
// two-point lines to a drawing as the tracing cuts pieces (the work the cut
// cannot avoid). Both are means over three runs. The ratio trace / reference should stay
// about the same from 20 to 200 circuits when the tracing grows like the
// drawing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>

#include "module/conversion/circuit_trace.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"

namespace {

constexpr int kPieces = 50, kLampEvery = 10;
constexpr double kPiece = 500, kRowSpacing = 2000;

void blockDef(cad::Database* db, const std::wstring& name) {
  cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForWrite);
  if (table->has(name)) return;
  auto rec = std::make_unique<cad::BlockRecord>();
  rec->setName(name);
  cad::ObjectId recId;
  table->add(std::move(rec), &recId);
  cad::ObjectPtr<cad::BlockRecord> open(recId, cad::OpenMode::ForWrite);
  open->appendEntity(MakePolyline({{-150, -150, 0}, {150, -150, 0}, {150, 150, 0}, {-150, 150, 0}}, {}, true,
                                  kDefaultWidth));
}

cad::ObjectId device(cad::Database* db, const std::wstring& type, const geom::Point3d& at, const std::wstring& number) {
  blockDef(db, L"设备_" + type);
  GetOrCreateLayer(type, db);
  const cad::ObjectId id = InsertBlockRef(L"设备_" + type, at, 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), type, db);
  const double elev = 3000;
  const geom::Vector3d none(0, 0, 0);
  SetPointGjSpecial(&number, id, &elev, &none);
  return id;
}

struct Floor {
  cad::ObjectIdArray wiring, devices;
};

Floor buildFloor(int circuits) {
  ed::resetEditor();
  cad::Database* db = ed::docManager().curDocument()->database();
  BuildGjCategoryTable();
  Floor f;
  for (int c = 0; c < circuits; ++c) {
    const double y0 = c * kRowSpacing;
    PointList pts;
    for (int k = 0; k <= kPieces; ++k) pts.push_back({k * kPiece, y0 + ((k % 2) ? 150.0 : 0.0), 0});
    f.devices.push_back(device(db, L"配电箱", pts.front(), L"AL" + std::to_wstring(c)));
    for (int k = kLampEvery; k <= kPieces; k += kLampEvery)
      f.devices.push_back(device(db, L"点状灯具", pts[std::size_t(k)], L"灯" + std::to_wstring(c)));
    f.wiring.push_back(AddPolyline(pts, {}, false, kDefaultWidth, L"ZEB_照明", db));
  }
  return f;
}

double millis(const std::function<void()>& fn) {
  const auto t0 = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_TraceCircuits(benchmark::State& state) {
  const int circuits = int(state.range(0));
  double trace = 0, reference = 0;
  std::size_t traced = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // The reference: adding as many two-point lines to a drawing as the
    // tracing cuts pieces.
    ed::resetEditor();
    {
      cad::Database* db = ed::docManager().curDocument()->database();
      GetOrCreateLayer(L"ZEB_照明", db);
      reference += millis([&] {
        for (int i = 0; i < circuits * kPieces; ++i)
          AddLine({i * 10.0, 0, 0}, {i * 10.0 + 5, 100, 0}, L"ZEB_照明", db);
      });
    }
    Floor f = buildFloor(circuits);
    state.ResumeTiming();
    CircuitTraceOptions options;
    trace += millis([&] { TraceCircuits(f.wiring, options); });
    traced = g_tracedCircuits.size();
    ClearCircuitState();
  }
  state.counters["pieces"] = double(circuits * kPieces);
  state.counters["traced_runs"] = double(traced);
  trace /= double(state.iterations());
  reference /= double(state.iterations());
  state.counters["trace_ms"] = trace;
  state.counters["reference_ms"] = reference;
  state.counters["trace_over_reference"] = reference > 0 ? trace / reference : 0;
}
BENCHMARK(BM_TraceCircuits)->Arg(20)->Arg(200)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
