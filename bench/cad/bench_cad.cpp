// Loading and saving a drawing of 100,000 components: two-vertex polylines
// and block references, each with the "编号", "属性" and "特殊" groups; and a
// mixed floor drawing of 100,000 entities (polylines with bulges, lines,
// circles, arcs, texts, block references with attributes, extended data on
// most), made the same way on every run.
//
//   bench_cad [--benchmark_filter=...]      the figures
//   bench_cad --write FILE                  writes the component drawing (to time other readers on it)
//   bench_cad --write-mixed FILE            writes the mixed floor drawing
//   bench_cad --read FILE                   loads FILE once: "load_s=..." and the entity count
//   bench_cad --save IN OUT                 loads IN, then saves it as OUT once: "save_s=..."
//
// compare_ezdxf.py beside this file times the last two against ezdxf.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/cad/cad.h"

using namespace cad;
namespace fs = std::filesystem;

namespace {

constexpr int kComponents = 100000;

void build(Database& db) {
  for (auto app : {L"编号", L"属性", L"特殊"}) db.registerApp(app);
  ObjectId block;
  {
    ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
    auto rec = std::make_unique<BlockRecord>();
    rec->setName(L"阀门");
    bt->add(std::move(rec), &block);
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    b->appendEntity(std::make_unique<Circle>(Point3d(0, 0, 0), Vector3d(0, 0, 1), 50));
  }
  ObjectPtr<BlockRecord> ms(db.modelSpaceId(), OpenMode::ForWrite);
  wchar_t num[32];
  for (int i = 0; i < kComponents; ++i) {
    std::unique_ptr<Entity> e;
    double x = (i % 1000) * 100.0, y = (i / 1000) * 100.0;
    if (i % 2 == 0) {
      auto p = std::make_unique<Polyline>();
      p->addVertexAt(0, {x, y});
      p->addVertexAt(1, {x + 80, y});
      p->setConstantWidth(5);
      e = std::move(p);
    } else {
      auto r = std::make_unique<BlockReference>(Point3d(x, y, 0), block);
      r->setRotation(0.25);
      e = std::move(r);
    }
    std::swprintf(num, 32, L"%d", i + 1);
    Entity* raw = e.get();
    ObjectId id;
    ms->appendEntity(std::move(e), &id);
    Entity* w = nullptr;
    openObject(w, id, OpenMode::ForWrite);
    (void)raw;
    w->setXData(xdataStrings(L"编号", {std::wstring(L"GS-") + num}));
    w->setXData(xdataStrings(L"属性", {id.handle().text(), L"主键", L"管径=DN100", L"材质=镀锌钢管"}));
    w->setXData(xdataStrings(L"特殊", {L"类型=斜管", L"起点标高=3.0", L"终点标高=3.0"}));
    w->close();
  }
}

// The mixed floor drawing: a deterministic sequence of kinds and values.
void buildMixed(Database& db, int n = kComponents) {
  for (auto app : {L"编号", L"属性", L"特殊"}) db.registerApp(app);
  ObjectId block;
  {
    ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
    auto rec = std::make_unique<BlockRecord>();
    rec->setName(L"插座");
    bt->add(std::move(rec), &block);
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    b->appendEntity(std::make_unique<Circle>(Point3d(0, 0, 0), Vector3d(0, 0, 1), 50));
    auto ad = std::make_unique<AttributeDefinition>();
    ad->setTag(L"NO");
    b->appendEntity(std::move(ad));
  }
  ObjectPtr<BlockRecord> ms(db.modelSpaceId(), OpenMode::ForWrite);
  wchar_t num[32];
  for (int i = 0; i < n; ++i) {
    double x = (i % 1000) * 100.0, y = (i / 1000) * 100.0;
    std::unique_ptr<Entity> e;
    switch (i % 6) {
      case 0: {
        auto p = std::make_unique<Polyline>();
        p->addVertexAt(0, {x, y}, 0.25);
        p->addVertexAt(1, {x + 40, y + 10}, -0.5);
        p->addVertexAt(2, {x + 80, y});
        e = std::move(p);
        break;
      }
      case 1: e = std::make_unique<Line>(Point3d(x, y, 0), Point3d(x + 90, y + 30, 0)); break;
      case 2: e = std::make_unique<Circle>(Point3d(x, y, 0), Vector3d(0, 0, 1), 12.5); break;
      case 3: e = std::make_unique<Arc>(Point3d(x, y, 0), 20.0, 0.3, 2.1); break;
      case 4: {
        std::swprintf(num, 32, L"给水管 DN%d", 15 + i % 10 * 5);
        e = std::make_unique<Text>(Point3d(x, y, 0), num, ObjectId(), 3.5, 0.1);
        break;
      }
      default: e = std::make_unique<BlockReference>(Point3d(x, y, 0), block); break;
    }
    ObjectId id;
    ms->appendEntity(std::move(e), &id);
    Entity* w = nullptr;
    openObject(w, id, OpenMode::ForWrite);
    if (auto* r = cast<BlockReference>(w)) {
      auto a = std::make_unique<Attribute>();
      a->setTag(L"NO");
      std::swprintf(num, 32, L"C-%d", i);
      a->setTextString(num);
      r->appendAttribute(std::move(a));
    }
    if (i % 5 != 4) {
      std::swprintf(num, 32, L"%d", i + 1);
      w->setXData(xdataStrings(L"编号", {std::wstring(L"GS-") + num}));
      w->setXData(xdataStrings(L"属性", {id.handle().text(), L"主键", L"管径=DN100", L"材质=镀锌钢管"}));
      ValueChain special = xdataStrings(L"特殊", {L"类型=斜管"});
      special.emplace_back(1040, 3.0 + i % 7);
      special.emplace_back(1070, i % 100);
      special.emplace_back(1010, Point3d(x, y, 3000));
      w->setXData(special);
    }
    w->close();
  }
}

fs::path tempFolder() {
  static fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("kiv_bench_cad." + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

fs::path mixedDrawing() {
  static fs::path file = [] {
    fs::path f = tempFolder() / "mixed.dxf";
    Database db;
    buildMixed(db);
    db.saveAs(f);
    return f;
  }();
  return file;
}

void BM_LoadMixed(benchmark::State& state) {
  fs::path f = mixedDrawing();
  for (auto _ : state) {
    Database db(false);
    if (db.readDxfFile(f) != Status::Ok) state.SkipWithError(db.lastFileError().c_str());
    benchmark::DoNotOptimize(db.numObjects());
  }
  state.counters["bytes"] = double(fs::file_size(f));
}
BENCHMARK(BM_LoadMixed)->Unit(benchmark::kMillisecond);

void BM_SaveMixed(benchmark::State& state) {
  Database db(false);
  db.readDxfFile(mixedDrawing());
  fs::path f = tempFolder() / "mixed_save.dxf";
  for (auto _ : state)
    if (db.saveAs(f) != Status::Ok) state.SkipWithError("save failed");
  state.counters["bytes"] = double(fs::file_size(f));
}
BENCHMARK(BM_SaveMixed)->Unit(benchmark::kMillisecond);

fs::path drawing() {
  static fs::path file = [] {
    fs::path f = tempFolder() / "components.dxf";
    Database db;
    build(db);
    db.saveAs(f);
    return f;
  }();
  return file;
}

void BM_Save(benchmark::State& state) {
  Database db;
  build(db);
  fs::path f = tempFolder() / "components_save.dxf";
  for (auto _ : state) {
    if (db.saveAs(f) != Status::Ok) state.SkipWithError("save failed");
  }
  state.counters["bytes"] = double(fs::file_size(f));
  state.counters["components"] = kComponents;
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
  fs::path f = drawing();
  for (auto _ : state) {
    Database db(false);
    if (db.readDxfFile(f) != Status::Ok) state.SkipWithError(db.lastFileError().c_str());
    benchmark::DoNotOptimize(db.numObjects());
  }
  state.counters["bytes"] = double(fs::file_size(f));
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
    Database db;
    build(db);
    Status s = db.saveAs(argv[2]);
    std::printf("%s: %s\n", argv[2], statusText(s));
    return s == Status::Ok ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "--write-mixed") == 0) {
    Database db;
    buildMixed(db);
    Status s = db.saveAs(argv[2]);
    std::printf("%s: %s\n", argv[2], statusText(s));
    return s == Status::Ok ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "--read") == 0) {
    Database db(false);
    auto t0 = std::chrono::steady_clock::now();
    Status s = db.readDxfFile(argv[2]);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
    std::printf("%s: %s, %zu entities\nload_s=%.6f\n", argv[2], statusText(s), db.modelSpaceEntities().size(),
                took.count());
    return s == Status::Ok ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "--save") == 0) {
    Database db(false);
    Status s = db.readDxfFile(argv[2]);
    if (s != Status::Ok) {
      std::printf("%s: %s %s\n", argv[2], statusText(s), db.lastFileError().c_str());
      return 1;
    }
    auto t0 = std::chrono::steady_clock::now();
    s = db.saveAs(argv[3]);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
    std::printf("%s: %s\nsave_s=%.6f\n", argv[3], statusText(s), took.count());
    return s == Status::Ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(tempFolder(), ec);
  return 0;
}
