// The 3D twins of one floor of 2,000 components: 800 pipe runs meeting in
// pairs at 400 elbows, 400 air ducts and 400 distribution boxes described as
// a box less a box. Each kind is built as the per-type pass builds it (the
// builder per component, the twin appended to the drawing, the drawing's
// spatial index brought up to date, as the next pick does); the reference is
// reading every component's number and attribute lines once, the least work
// the pass does per component. Beside the floor: 400 straight runs against
// 400 runs of one arc each, and a fitted floor of 400 L-shaped runs (two
// pipes trimmed at their elbow, the elbow and a cap at either free end).
// Each kind reports the share of its time spent in the body modeller.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

#include "module/model/special_data.h"
#include "module/solid3d/pipe_solids.h"
#include "module/solid3d/shape_solids.h"
#include "module/solid3d/swept_meshes.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/editor.h"
#include "platform/editor/entity_index.h"
#include "platform/solid/body.h"

namespace {

using geom::Point3d;
using geom::Vector3d;

constexpr int kPairs = 400;

struct Floor {
  cad::ObjectIdArray pipes, elbows, ducts, boxes;
  cad::ObjectIdArray straight, arcs;             // single runs
  cad::ObjectIdArray lPipes, lElbows, lCaps;     // the fitted L runs
};

void primary(cad::ObjectId id, const std::wstring& number) {
  StringArray attrs{GetHandleText(id), L"主键"};
  SetGjXdataLines(id, number, attrs, nullptr);
}

void special(cad::ObjectId id, const wchar_t* kind, double z1, double z2) {
  std::wstring k = kind;
  SetGjSpecial(nullptr, &k, id, &z1, &z2);
}

cad::ObjectId block(const Point3d& at, const std::wstring& layer) {
  return InsertBlockRef(L"M", at, 0, cad::Scale3d{}, Vector3d(0, 0, 1), layer, nullptr);
}

// A fresh drawing holding the floor.
Floor makeFloor() {
  ed::resetEditor();
  cad::Database& db = *ed::curDatabase();
  {
    cad::ObjectPtr<cad::BlockTable> t(db.blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"M");
    t->add(std::move(rec));
  }
  for (const wchar_t* layer : {L"给水管", L"管道弯头", L"管道堵头", L"送风管", L"配电箱"}) GetOrCreateLayer(layer, nullptr);
  Floor f;
  auto fittingAt = [&](const Point3d& at, const wchar_t* layer, StringArray arms) {
    cad::ObjectId id = block(at, layer);
    primary(id, std::wstring(L"sys$") + layer);
    SetXdataLines(id, L"图形参数", arms, nullptr);
    return id;
  };
  auto pipe = [&](const Point3d& a, const Point3d& b, double bulge, const std::vector<cad::ObjectId>& fittings) {
    cad::ObjectId p = AddPolyline({a, b}, {bulge, 0}, false, 0, L"给水管", nullptr);
    primary(p, L"J1");
    special(p, L"斜管", 2800, 2800);
    StringArray links;
    for (cad::ObjectId id : fittings) links.push_back(GetHandleText(id));
    if (!links.empty()) SetXdataLines(p, L"管件", links, nullptr);
    return p;
  };
  for (int i = 0; i < kPairs; ++i) {
    double x = (i % 20) * 5000.0, y = 200000 + (i / 20) * 5000.0;
    f.straight.push_back(pipe({x, y, 0}, {x + 3000, y, 0}, 0, {}));
    // A quarter circle of radius 1500.
    f.arcs.push_back(pipe({x, y + 1000, 0}, {x + 1500, y + 2500, 0}, std::tan(M_PI / 8), {}));
    double ly = y + 400000;
    cad::ObjectId e = fittingAt({x + 3000, ly, 2800}, L"管道弯头", {L"-1,0,0,50", L"0,1,0,50"});
    cad::ObjectId c0 = fittingAt({x, ly, 2800}, L"管道堵头", {L"1,0,0,50"});
    cad::ObjectId c1 = fittingAt({x + 3000, ly + 3000, 2800}, L"管道堵头", {L"0,-1,0,50"});
    f.lPipes.push_back(pipe({x, ly, 0}, {x + 3000, ly, 0}, 0, {c0, e}));
    f.lPipes.push_back(pipe({x + 3000, ly, 0}, {x + 3000, ly + 3000, 0}, 0, {e, c1}));
    f.lElbows.push_back(e);
    f.lCaps.push_back(c0);
    f.lCaps.push_back(c1);
  }
  for (int i = 0; i < kPairs; ++i) {
    double x = (i % 20) * 5000.0, y = (i / 20) * 5000.0;
    Point3d corner(x + 3000, y, 2800);
    cad::ObjectId a = AddPolyline({{x, y, 0}, {x + 3000, y, 0}}, {}, false, 0, L"给水管", nullptr);
    cad::ObjectId b = AddPolyline({{x + 3000, y, 0}, {x + 3000, y + 3000, 0}}, {}, false, 0, L"给水管", nullptr);
    cad::ObjectId e = block(corner, L"管道弯头");
    primary(e, L"sys$管道弯头");
    StringArray arms{L"-1,0,0,50", L"0,1,0,50"};
    SetXdataLines(e, L"图形参数", arms, nullptr);
    for (cad::ObjectId p : {a, b}) {
      primary(p, L"J1");
      special(p, L"斜管", 2800, 2800);
      StringArray link{GetHandleText(e)};
      SetXdataLines(p, L"管件", link, nullptr);
      f.pipes.push_back(p);
    }
    f.elbows.push_back(e);
    cad::ObjectId d = AddPolyline({{x, y + 1000, 0}, {x + 3000, y + 1000, 0}}, {}, false, 0, L"送风管", nullptr);
    primary(d, L"SF1");
    special(d, L"斜管", 3200, 3200);
    f.ducts.push_back(d);
    cad::ObjectId box = block({x + 1000, y + 2000, 0}, L"配电箱");
    primary(box, L"AL1");
    double elev = 1400;
    Vector3d flat(1, 0, 0);
    SetPointGjSpecial(nullptr, box, &elev, &flat);
    f.boxes.push_back(box);
  }
  return f;
}

TypeRows rowsFor(const std::wstring& number, const std::wstring& figure) {
  TypeRows rows;
  rows.coords = {number + L"=" + figure};
  return rows;
}

const TypeRows kPipeRows = rowsFor(L"J1", L"-25,0:1|25,0:1|-25,0");
const TypeRows kDuctRows = rowsFor(L"SF1", L"-200,-100|200,-100|200,100|-200,100");
const TypeRows kBoxRows = rowsFor(L"AL1", L"1..高\r\n0,0,0|600|200|800..矩形\r\n0,0,50|500|150|700..矩形差集");

// The plan box the spatial index keeps of an entity: its extents.
bool extentsBox(const cad::Entity& ent, ed::detail::PlanBox& box) {
  cad::Extents3d e;
  if (ent.getGeomExtents(e) != cad::Status::Ok || !e.isValid()) return false;
  box = {e.minPoint.x, e.minPoint.y, e.maxPoint.x, e.maxPoint.y};
  return true;
}

// Builds and appends the twins of the ids as the pass does, and brings the
// drawing's spatial index up to date.
void build(SolidBuilder builder, const std::wstring& type, const cad::ObjectIdArray& ids, const TypeRows& rows) {
  for (cad::ObjectId id : ids) {
    TwinList out;
    try {
      builder(type, id, rows, out);
    } catch (const solid::ModelError&) {
      continue;
    }
    for (auto& e : out) {
      cad::Entity* raw = e.release();
      if (!AppendToModelSpace(raw, L"", nullptr).isNull()) raw->close();
    }
  }
  benchmark::DoNotOptimize(ed::detail::modelSpaceCandidates(*ed::curDatabase(), {0, 0, 1, 1}, &extentsBox));
}

enum Kind { kReference, kPipes, kFittings, kDucts, kBoxes, kWhole, kStraightRuns, kArcRuns, kFittedLRuns };

void BM_Floor3d(benchmark::State& state) {
  const Kind kind = Kind(state.range(0));
  double booleanSeconds = 0, modelSeconds = 0, wallSeconds = 0;
  long components = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Floor f = makeFloor();
    // The index as it stands before the twins come.
    benchmark::DoNotOptimize(ed::detail::modelSpaceCandidates(*ed::curDatabase(), {0, 0, 1, 1}, &extentsBox));
    solid::Stats() = {};
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    switch (kind) {
      case kReference:
        for (const auto* ids : {&f.pipes, &f.elbows, &f.ducts, &f.boxes})
          for (cad::ObjectId id : *ids) {
            std::wstring number;
            StringArray attrs;
            GetGjNumberAndAttrs(id, number, attrs);
            benchmark::DoNotOptimize(attrs);
          }
        components = 5 * kPairs;
        break;
      case kPipes: build(&MakePipeSolid, L"给水管", f.pipes, kPipeRows), components = 2 * kPairs; break;
      case kFittings: build(&MakePipeFittingSolid, L"管道弯头", f.elbows, {}), components = kPairs; break;
      case kDucts: build(&MakeSweptSectionMesh, L"送风管", f.ducts, kDuctRows), components = kPairs; break;
      case kBoxes: build(&MakeShapeSolids, L"配电箱", f.boxes, kBoxRows), components = kPairs; break;
      case kWhole:
        build(&MakePipeSolid, L"给水管", f.pipes, kPipeRows);
        build(&MakePipeFittingSolid, L"管道弯头", f.elbows, {});
        build(&MakeSweptSectionMesh, L"送风管", f.ducts, kDuctRows);
        build(&MakeShapeSolids, L"配电箱", f.boxes, kBoxRows);
        components = 5 * kPairs;
        break;
      case kStraightRuns: build(&MakePipeSolid, L"给水管", f.straight, kPipeRows), components = kPairs; break;
      case kArcRuns: build(&MakePipeSolid, L"给水管", f.arcs, kPipeRows), components = kPairs; break;
      case kFittedLRuns:
        build(&MakePipeSolid, L"给水管", f.lPipes, kPipeRows);
        build(&MakePipeFittingSolid, L"管道弯头", f.lElbows, {});
        build(&MakePipeFittingSolid, L"管道堵头", f.lCaps, {});
        components = 5 * kPairs;
        break;
    }
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    booleanSeconds += solid::Stats().seconds;
    modelSeconds += solid::Stats().modelSeconds;
  }
  state.counters["components"] = double(components);
  state.counters["us_per_component"] =
      benchmark::Counter(double(components) * double(state.iterations()), benchmark::Counter::kIsRate |
                                                                              benchmark::Counter::kInvert);
  state.counters["boolean_s"] = booleanSeconds / double(state.iterations());
  state.counters["modeller_share"] = wallSeconds > 0 ? modelSeconds / wallSeconds : 0;
}

BENCHMARK(BM_Floor3d)
    ->ArgName("kind")
    ->Arg(kReference)
    ->Arg(kPipes)
    ->Arg(kFittings)
    ->Arg(kDucts)
    ->Arg(kBoxes)
    ->Arg(kWhole)
    ->Arg(kStraightRuns)
    ->Arg(kArcRuns)
    ->Arg(kFittedLRuns)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
