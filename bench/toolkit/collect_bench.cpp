// Collecting components by layer and number over drawings of 10,000 and
// 100,000 components: ten component layers, each component a line stamped
// with its number (1 to 50) and its attribute lines, as the layout commands
// leave them. The cost should grow with the drawing: compare the two sizes.
// By number also the first collection in a drawing and one after a
// component was renumbered.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "module/toolkit/collect.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"

namespace {

constexpr int kLayers = 10;
constexpr int kNumbers = 50;

std::wstring layerName(int i) { return L"给水管" + std::to_wstring(i); }

std::unique_ptr<cad::Database> makeDrawing(int components) {
    auto d = std::make_unique<cad::Database>();
    {
      cad::ObjectPtr<cad::LayerTable> t(d->layerTableId(), cad::OpenMode::ForWrite);
      for (int i = 0; i < kLayers; ++i) {
        auto rec = std::make_unique<cad::LayerRecord>();
        rec->setName(layerName(i));
        t->add(std::move(rec));
      }
    }
    d->registerApp(kXdataNumber);
    d->registerApp(kXdataAttrs);
    cad::ObjectPtr<cad::BlockRecord> space(d->modelSpaceId(), cad::OpenMode::ForWrite);
    for (int k = 0; k < components; ++k) {
      double y = 100.0 * k;
      auto line = std::make_unique<cad::Line>(geom::Point3d(0, y), geom::Point3d(1000, y));
      line->setLayer(layerName(k % kLayers));
      cad::Entity* raw = line.get();
      cad::ObjectId id;
      if (space->appendEntity(raw, &id) != cad::Status::Ok) continue;
      line.release();
      StringArray attrs{id.handle().text(), L"主键", L"管径=DN100", L"材质=钢管"};
      StringArray number{std::to_wstring(1 + k % kNumbers)};
      WriteXdataLines(raw, kXdataNumber, number, d.get());
      WriteXdataLines(raw, kXdataAttrs, attrs, d.get());
      raw->close();
    }
    return d;
}

cad::Database& drawing(int components) {
  static std::map<int, std::unique_ptr<cad::Database>> drawings;
  auto& slot = drawings[components];
  if (!slot) slot = makeDrawing(components);
  return *slot;
}

void run(benchmark::State& state, const std::wstring& layers, const std::wstring& numbers) {
  const int components = int(state.range(0));
  cad::Database& db = drawing(components);
  size_t found = 0;
  for (auto _ : state) {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(layers, numbers, ids, &db);
    found = ids.size();
    benchmark::DoNotOptimize(ids.data());
  }
  state.counters["found"] = double(found);
  state.counters["entities/s"] =
      benchmark::Counter(double(components) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CollectAll(benchmark::State& state) { run(state, L"", L""); }
void BM_CollectByLayer(benchmark::State& state) { run(state, layerName(3) + L"," + layerName(7), L""); }
void BM_CollectByLayerAndNumber(benchmark::State& state) {
  run(state, layerName(3) + L"," + layerName(7), L"4,8,13");
}
void BM_CollectByNumber(benchmark::State& state) { run(state, L"", L"4,8,13"); }

// The first collection by number in a drawing (nothing known of it yet).
void BM_CollectByNumberFirst(benchmark::State& state) {
  const int components = int(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto db = makeDrawing(components);
    cad::ObjectIdArray ids;
    state.ResumeTiming();
    CollectIdsByLayerAndNumber(L"", L"4,8,13", ids, db.get());
    benchmark::DoNotOptimize(ids.data());
    state.PauseTiming();
    db.reset();
    state.ResumeTiming();
  }
}

// A collection by number after one component was renumbered.
void BM_CollectByNumberAfterEdit(benchmark::State& state) {
  const int components = int(state.range(0));
  cad::Database& db = drawing(components);
  cad::ObjectId edited;
  {
    cad::ObjectPtr<cad::BlockRecord> space(db.modelSpaceId(), cad::OpenMode::ForRead);
    edited = space->entityIds()[size_t(components / 2)];
  }
  bool flip = false;
  for (auto _ : state) {
    {
      cad::ObjectPtr<cad::Entity> e(edited, cad::OpenMode::ForWrite);
      StringArray number{flip ? L"4" : L"5"};
      e->setXData(cad::xdataStrings(kXdataNumber, number));
    }
    flip = !flip;
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(L"", L"4,8,13", ids, &db);
    benchmark::DoNotOptimize(ids.data());
  }
}

BENCHMARK(BM_CollectAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollectByLayer)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollectByLayerAndNumber)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollectByNumber)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollectByNumberFirst)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CollectByNumberAfterEdit)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
