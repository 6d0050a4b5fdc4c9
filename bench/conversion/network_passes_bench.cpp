// The pipe-network passes over a generated design drawing: a square grid of
// water-supply lines, each line drawn as pieces of 1480 with gaps of 20 (so
// auto-connect joins every line into one run), every crossing of a
// horizontal and a vertical line to be broken, a "DN50"/"DN25" text beside
// the first piece of each line (the rest takes its label by propagation)
// and a wash basin at the end of every vertical line (a riser each).
//
// Sizes 10,000 and 100,000 source segments. Each pass is timed on its own
// (counters in milliseconds); the cost of a pass should grow about tenfold
// with the drawing. GEOS's noding of the same segments is the reference.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

#include "module/conversion/network_passes.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"

#ifdef KIV_WITH_GEOS
#include <geos_c.h>
#endif

namespace {

constexpr double kSpacing = 3000, kPiece = 1480, kGap = 20;

struct Grid {
  int lines;   // per direction
  int pieces;  // per line
  double length() const { return pieces * (kPiece + kGap); }
};

Grid gridFor(int segments) {
  const int lines = int(std::lround(std::sqrt(segments / 2.0 * kSpacing / (kPiece + kGap)) ));
  return {lines, segments / (2 * lines)};
}

// Source segments (plan) of the grid, horizontal lines first.
std::vector<std::pair<geom::Point3d, geom::Point3d>> gridSegments(const Grid& g) {
  std::vector<std::pair<geom::Point3d, geom::Point3d>> out;
  for (int dir = 0; dir < 2; ++dir)
    for (int i = 0; i < g.lines; ++i)
      for (int k = 0; k < g.pieces; ++k) {
        const double a = k * (kPiece + kGap) - g.length() / 2 + 7, b = a + kPiece;
        const double c = (i - g.lines / 2) * kSpacing + 11;
        if (dir == 0)
          out.push_back({{a, c, 0}, {b, c, 0}});
        else
          out.push_back({{c, a, 0}, {c, b, 0}});
      }
  return out;
}

cad::ObjectIdArray buildDrawing(const Grid& g) {
  ed::resetEditor();
  cad::Database* db = ed::docManager().curDocument()->database();
  BuildGjCategoryTable();
  cad::ObjectIdArray sources;
  const auto segs = gridSegments(g);
  for (const auto& [a, b] : segs) sources.push_back(AddLine(a, b, L"ZEB_给水", db));
  for (int dir = 0; dir < 2; ++dir)
    for (int i = 0; i < g.lines; ++i) {
      const auto& [a, b] = segs[std::size_t((dir * g.lines + i) * g.pieces)];
      const geom::Point3d at = dir == 0 ? geom::Point3d(a.x + 200, a.y + 80, 0) : geom::Point3d(a.x - 80, a.y + 200, 0);
      AddText(at, dir == 0 ? L"DN50" : L"DN25", 250, dir == 0 ? 0 : M_PI / 2, 1.0, L"ZEB_给水", db, 0, 0);
    }
  // A wash basin at the far end of every vertical line.
  {
    cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"洗脸盆");
    cad::ObjectId recId;
    table->add(std::move(rec), &recId);
    cad::ObjectPtr<cad::BlockRecord> open(recId, cad::OpenMode::ForWrite);
    open->appendEntity(MakePolyline({{-250, -200, 0}, {250, -200, 0}, {250, 200, 0}, {-250, 200, 0}}, {}, true, kDefaultWidth));
  }
  GetOrCreateLayer(L"洗脸盆", db);
  for (int i = 0; i < g.lines; ++i) {
    const auto& [a, b] = segs[std::size_t((g.lines + i) * g.pieces + g.pieces - 1)];
    cad::ObjectId id = InsertBlockRef(L"洗脸盆", b, 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), L"洗脸盆", db);
    const std::wstring number = L"XL1";
    const double elev = 800;
    SetPointGjSpecial(&number, id, &elev, nullptr);
  }
  return sources;
}

template <class F>
double millis(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_NetworkPasses(benchmark::State& state) {
  const Grid g = gridFor(int(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    const cad::ObjectIdArray sources = buildDrawing(g);
    PipeNetwork net;
    state.ResumeTiming();
    state.counters["recognise_ms"] =
        millis([&] { RecognisePipeRuns(net, &sources, L"给水管", kAutoNumber, false, 2800, 2800); });
    net.allSegments.insert(net.allSegments.end(), net.newSegments.begin(), net.newSegments.end());
    state.counters["autoconnect_ms"] = millis([&] { AutoConnectPipes(net); });
    state.counters["risers_ms"] = millis([&] { GenerateRisersAtFixtures(net); });
    state.counters["break_ms"] = millis([&] { BreakPipesAtIntersections(net); });
    const std::size_t runs = net.allSegments.size();
    state.counters["diameters_ms"] = millis([&] { ApplyDiameterAnnotations(net); });
    state.counters["runs"] = double(runs);
    state.counters["unlabelled"] = net.unlabelledRuns;
  }
  state.counters["segments"] = double(2 * g.lines * g.pieces);
}
BENCHMARK(BM_NetworkPasses)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

#ifdef KIV_WITH_GEOS
// The reference: GEOS nodes the same segments (one multi-line string), which
// finds and splits every crossing.
void BM_GeosNoding(benchmark::State& state) {
  const auto segs = gridSegments(gridFor(int(state.range(0))));
  GEOSContextHandle_t ctx = GEOS_init_r();
  std::vector<GEOSGeometry*> lines;
  for (const auto& [a, b] : segs) {
    GEOSCoordSequence* cs = GEOSCoordSeq_create_r(ctx, 2, 2);
    GEOSCoordSeq_setXY_r(ctx, cs, 0, a.x, a.y);
    GEOSCoordSeq_setXY_r(ctx, cs, 1, b.x, b.y);
    lines.push_back(GEOSGeom_createLineString_r(ctx, cs));
  }
  GEOSGeometry* all = GEOSGeom_createCollection_r(ctx, GEOS_MULTILINESTRING, lines.data(), unsigned(lines.size()));
  for (auto _ : state) {
    GEOSGeometry* noded = GEOSNode_r(ctx, all);
    benchmark::DoNotOptimize(noded);
    state.counters["pieces"] = GEOSGetNumGeometries_r(ctx, noded);
    GEOSGeom_destroy_r(ctx, noded);
  }
  GEOSGeom_destroy_r(ctx, all);
  GEOS_finish_r(ctx);
}
BENCHMARK(BM_GeosNoding)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
