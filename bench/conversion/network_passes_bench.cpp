// The pipe-network passes over a generated design drawing: a square grid of
// water-supply lines, each line drawn as pieces of 1480 with gaps of 20 (so
// auto-connect joins every line into one run), every crossing of a
// horizontal and a vertical line to be broken, a "DN50"/"DN25" text beside
// the first piece of each line (the rest takes its label by propagation)
// and a wash basin at the end of every vertical line (a riser each).
//
// A tenth of the segments are what designer drawings hold besides: every
// twentieth piece is an arc (a bulged polyline) and every twentieth piece
// has a collinear duplicate overlapping it and the gap after it.
//
// Sizes 10,000 and 100,000 source segments. Each pass is timed on its own
// (counters in milliseconds); the cost of a pass should grow about tenfold
// with the drawing. GEOS's noding of the same segments is the reference.
//
// BM_BreakSquareGrid times the crossing pass alone on a square grid of
// whole runs, every line crossing every line of the other direction, and
// GEOS's noding of the same segments in the same iteration: the counter
// break_per_geos is the ratio of the two. It runs five times on a new
// drawing each: the first run also pays the process's warm-up (the heap
// growing, the libraries' symbols bound), so the medians are the figures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

#include "module/conversion/network_passes.h"
#include "module/model/linear_entities.h"
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
  std::size_t n = 0;
  for (const auto& [a, b] : segs) {
    const std::size_t k = n++ % 20;
    if (k == 3) {  // an arc bowing off the line
      sources.push_back(AddPolyline({a, b}, {0.2, 0.0}, false, kDefaultWidth, L"ZEB_给水", db));
      continue;
    }
    sources.push_back(AddLine(a, b, L"ZEB_给水", db));
    if (k == 13) {  // a duplicate over the piece's second half and the gap
      const geom::Vector3d d = (b - a) * (1.0 / kPiece);
      sources.push_back(AddLine(a + d * (kPiece / 2), b + d * (kGap + 200), L"ZEB_给水", db));
    }
  }
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

#ifdef KIV_WITH_GEOS
// The segments as one GEOS multi-line string (plan coordinates).
GEOSGeometry* geosLines(GEOSContextHandle_t ctx, const std::vector<std::pair<geom::Point3d, geom::Point3d>>& segs) {
  std::vector<GEOSGeometry*> lines;
  for (const auto& [a, b] : segs) {
    GEOSCoordSequence* cs = GEOSCoordSeq_create_r(ctx, 2, 2);
    GEOSCoordSeq_setXY_r(ctx, cs, 0, a.x, a.y);
    GEOSCoordSeq_setXY_r(ctx, cs, 1, b.x, b.y);
    lines.push_back(GEOSGeom_createLineString_r(ctx, cs));
  }
  return GEOSGeom_createCollection_r(ctx, GEOS_MULTILINESTRING, lines.data(), unsigned(lines.size()));
}
#endif

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
// A square grid of n whole runs per direction, 1000 apart, each crossing
// every run of the other direction: the crossing pass cuts them into 2n²
// pieces; GEOS nodes the same 2n segments.
void BM_BreakSquareGrid(benchmark::State& state) {
  const int n = int(state.range(0));
  const double span = n * 1000.0;
  std::vector<std::pair<geom::Point3d, geom::Point3d>> segs;
  for (int i = 0; i < n; ++i) {
    const double c = i * 1000.0 + 500;
    segs.push_back({{0, c, 2800}, {span, c, 2800}});
    segs.push_back({{c, 0, 2800}, {c, span, 2800}});
  }
  for (auto _ : state) {
    state.PauseTiming();
    ed::resetEditor();
    ed::docManager().curDocument();  // the empty drawing becomes the working one
    BuildGjCategoryTable();
    PipeNetwork net;
    for (const auto& [a, b] : segs) {
      cad::ObjectId id;
      CreateLinearGjEntity(id, L"给水管", L"DN25", a, b, 0.0, 0);
      net.allSegments.emplace_back(id, a, b, L"给水管", L"DN25");
    }
    GEOSContextHandle_t ctx = GEOS_init_r();
    GEOSGeometry* all = geosLines(ctx, segs);
    state.ResumeTiming();
    const double breakMs = millis([&] { BreakPipesAtIntersections(net); });
    double pieces = 0;
    const double geosMs = millis([&] {
      GEOSGeometry* noded = GEOSNode_r(ctx, all);
      pieces = GEOSGetNumGeometries_r(ctx, noded);
      GEOSGeom_destroy_r(ctx, noded);
    });
    state.PauseTiming();
    GEOSGeom_destroy_r(ctx, all);
    GEOS_finish_r(ctx);
    state.ResumeTiming();
    state.counters["break_ms"] = breakMs;
    state.counters["geos_ms"] = geosMs;
    state.counters["break_per_geos"] = breakMs / geosMs;
    state.counters["runs"] = double(net.allSegments.size());
    state.counters["geos_pieces"] = pieces;
  }
}
BENCHMARK(BM_BreakSquareGrid)
    ->Arg(50)
    ->Arg(150)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
#endif

#ifdef KIV_WITH_GEOS
// The reference: GEOS nodes the same segments (one multi-line string), which
// finds and splits every crossing.
void BM_GeosNoding(benchmark::State& state) {
  const auto segs = gridSegments(gridFor(int(state.range(0))));
  GEOSContextHandle_t ctx = GEOS_init_r();
  GEOSGeometry* all = geosLines(ctx, segs);
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
