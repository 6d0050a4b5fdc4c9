// Rebuilding every component of a floor of 2,000 and of 20,000 components:
// pipe runs (remade through their callbacks), conduits (redecorated in
// place), valves (figures redrawn) and floor-heating coils, each with its
// labels and outlines, as the layout commands leave them. The floor table and
// the library are real tables read through Ravn.dll; the suite's window
// library computes the sections. The rebuild should grow with the floor:
// compare the time per component of the two sizes.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "module/layout/heating_coil.h"
#include "module/layout/rebuild_gj.h"
#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/point_blocks.h"
#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

namespace fs = std::filesystem;

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
    "水暖设备\t地暖盘管\t地暖盘管\t地暖盘管=32767\\r\\n地暖盘管名=255\n"
    "管道附件\t阀门\t阀门\t阀门=65280\n"
    "管线\t导管\t导管\t导管=255\n"
    "管道\t给水管\t给水管\t给水管=16711680\n";
const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n";
const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "地暖盘管\tDN1\t水暖设备\t底标高=50\t\n"
    "阀门\tF1\t管道附件\t图形=阀门\\r\\n宽=120\t-宽/2,-40|宽/2,-40|宽/2,40|-宽/2,40|-宽/2,-40\n"
    "导管\tG1\t管线\t管径=20\t0,0|管径,0\n"
    "给水管\tJ1\t管道\t管径=25\t\n";

// A suite and project in a temporary folder, the suite's libraries bound and
// the floor shown in the host combo.
class Sandbox {
 public:
  Sandbox() {
    const fs::path built = fs::path(KIV_BINARY_DIR) / "suite" / "系统文件";
    std::string tmpl = (fs::temp_directory_path() / "kiv-bench-rebuild-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    root_ = tmpl;
    fs::create_directories(root_ / "suite" / "系统文件");
    fs::create_directories(root_ / "projects" / "P");
    g_baseDir = os::windowsPath(root_ / "suite");
    g_systemDir = g_baseDir + L"\\系统文件";
    g_projectRoot = os::windowsPath(root_ / "projects");
    g_projectName = L"P";
    g_hostTableLib = os::loadLibrary(os::windowsPath(built / "Ravn.dll"));
    g_hostBaseLib = os::loadLibrary(os::windowsPath(built / "Tolm.dll"));
    g_hostWindowLib = os::loadLibrary(os::windowsPath(built / "Pelk.dll"));
    if (!g_hostTableLib || !g_hostWindowLib) std::abort();
    os::findFunction<KivPelk_SetProject_W_fn>(g_hostWindowLib, "KivPelk_SetProject_W")(
        g_baseDir.c_str(), g_projectRoot.c_str(), g_projectName.c_str());
    makeTable(root_ / "suite" / "系统文件" / "构件库.DB", kLibrary);
    makeTable(root_ / "projects" / "P" / "007.DB", kFloors);
    makeTable(root_ / "projects" / "P" / "1层.DB", kFloor1);
    os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W")(L"楼层", L"1层");
    LoadCurFloorLevels();
  }
  ~Sandbox() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

 private:
  static void makeTable(const fs::path& db, const char* tsv) {
    fs::path text = db;
    text.replace_extension(".tsv");
    std::ofstream(text, std::ios::binary) << tsv;
    const std::string cmd = "'" + (fs::path(KIV_BINARY_DIR) / "bin" / "tabletool").string() + "' import '" +
                            text.string() + "' '" + db.string() + "' >/dev/null";
    if (std::system(cmd.c_str()) != 0) std::abort();
  }
  fs::path root_;
};

Sandbox& sandbox() {
  static Sandbox s;
  return s;
}

// A fresh drawing with the floor's components on a grid 1000 apart, in
// groups of ten: four pipe segments, two conduits, three valves and a coil,
// laid kind after kind. The valves' shared figure is drawn once, as in a
// drawing read from its file (drawing it per valve while laying would leave
// every erased copy in the definition until the drawing is saved).
void layFloor(int components) {
  ed::resetEditor();
  ed::docManager().curDocument();
  g_curLineGj = CurrentGj{};
  g_curPointGj = CurrentGj{};
  const geom::Vector3d noTurn(0, 0, 0);
  // Laid apart from each other: the duplicate checks of laying are not what
  // is measured.
  OverlapCheckOff laying;
  auto at = [](int k) { return geom::Point3d(1000.0 * (k % 200), 1000.0 * (k / 200), 0); };
  for (int k = 0; k < components; ++k) {
    const geom::Point3d p = at(k);
    if (k % 10 < 4) DecoratePipeGj(L"给水管", CreatePipeGj(L"给水管", L"J1", p, p + geom::Vector3d(800, 0, 0), 0, 0));
  }
  for (int k = 0; k < components; ++k) {
    const geom::Point3d p = at(k);
    if (k % 10 == 4 || k % 10 == 5)
      DecoratePipeLineGj(L"导管", CreatePipeLineGj(L"导管", L"G1", p, p + geom::Vector3d(800, 0, 0), 0, 0));
  }
  const std::wstring valve = L"F1", coil = L"DN1";
  for (int k = 0; k < components; ++k) {
    if (k % 10 < 6 || k % 10 == 9) continue;
    cad::ObjectId id;
    const double z = 1000;
    InsertPointGjBlock(id, L"阀门", valve, at(k), 0);
    SetPointGjSpecial(&valve, id, &z, &noTurn);
  }
  RebuildPointGjs(L"阀门", L"", {});
  for (int k = 0; k < components; ++k) {
    if (k % 10 != 9) continue;
    const geom::Point3d lo = at(k) + geom::Vector3d(0, 0, 50), hi = lo + geom::Vector3d(800, 800, 0);
    cad::ObjectId id;
    InsertPointGjBlock(id, L"地暖盘管", coil, lo + geom::Vector3d(400, 400, -50), 0);
    SetPointGjSpecial(&coil, id, &lo.z, &noTurn);
    StringArray area{L"起点=" + ed::format(L"%f,%f,50.000000", lo.x, lo.y),
                     L"终点=" + ed::format(L"%f,%f,50.000000", hi.x, hi.y)};
    SetXdataLines(id, kXdataFloorHeating, area, nullptr);
    DrawCoilGj(id, L"地暖盘管", lo, hi);
  }
}

void BM_RebuildAllGjTypes(benchmark::State& state) {
  sandbox();
  const int components = int(state.range(0));
  layFloor(components);
  const size_t entities = ed::curDatabase()->modelSpaceEntities().size();
  for (auto _ : state) RebuildAllGjTypes();
  state.counters["entities"] = double(entities);
  state.SetItemsProcessed(state.iterations() * components);
}
BENCHMARK(BM_RebuildAllGjTypes)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
