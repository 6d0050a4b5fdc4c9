// A small designer's drawing through the main road, end to end: cadhost runs
// the pipe and duct conversions on it, GjRebuildAll writes the converted
// components into the floor table, and ZebTotalAll measures them. The
// lengths and areas per number in 构件算量.DB are checked against the
// drawing's geometry computed here: a semicircle measured along its arc, two
// overlapping lines counted once, a drainage line labelled "de110", a duct
// labelled 800x400 measured by its section, and a duct converted with the
// chosen number SF1 measured by SF1's own 630 x 320.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using kivtest::quoted;
using kivtest::runShell;

const fs::path kBuild = KIV_BINARY_DIR;

// The drawing, written by ezdxf as the host reads floor drawings (DXF text
// under the ".DWG" name).
const char* kMakeDrawing = R"PY(
import sys
import ezdxf
doc = ezdxf.new("R2007")
msp = doc.modelspace()
for name in ("ZEB_给水", "ZEB_污水", "ZEB_风管", "ZEB_风管2", "ZEB_文字"):
    doc.layers.add(name)
def text(s, x, y):
    msp.add_text(s, dxfattribs={"height": 250, "layer": "ZEB_文字"}).set_placement((x, y))
# supply: 4000 straight, then a semicircle of radius 2000 (bulge 1)
msp.add_lwpolyline([(0, 0, 0, 0, 0), (4000, 0, 0, 0, 1), (8000, 0, 0, 0, 0)], format="xyseb",
                   dxfattribs={"layer": "ZEB_给水"})
text("DN25", 1500, 100)
# supply drawn twice over a stretch: 0-4000 and 2000-6000
msp.add_line((0, -4000), (4000, -4000), dxfattribs={"layer": "ZEB_给水"})
msp.add_line((2000, -4000), (6000, -4000), dxfattribs={"layer": "ZEB_给水"})
text("DN32", 500, -3900)
# drainage
msp.add_line((0, -7000), (5000, -7000), dxfattribs={"layer": "ZEB_污水"})
text("de110", 1000, -6900)
# a duct with its section text, and one converted with a chosen number
msp.add_line((0, -10000), (6000, -10000), dxfattribs={"layer": "ZEB_风管"})
text("800x400", 1000, -9900)
msp.add_line((0, -13000), (5000, -13000), dxfattribs={"layer": "ZEB_风管2"})
text("500x250", 1000, -12900)
doc.saveas(sys.argv[1], encoding="utf-8")
)PY";

const char* kScript = R"SCR(.combo 楼层 1层
KivSwitchFloor
PipeConv
.click 221
.window -1000,-14000 9000,2500

.click 1
.select 224 给水管
.set 225 自动识别
.set 200 2800
.set 201 2800
.click 364
.pick 2000,0
.pick 1000,-4000
.rclick
.select 224 污水管
.set 225 自动识别
.set 200 -400
.set 201 -400
.click 364
.pick 2500,-7000
.rclick
.click 366
.expect 转换结束
AirDuctConv
.select 224 送风管
.set 225 自动识别
.set 200 3200
.set 201 3200
.click 364
.pick 3000,-10000
.rclick
.set 225 SF1
.click 364
.pick 2500,-13000
.rclick
.click 366
.expect 转换结束
GjRebuildAll
ZebTotalAll
)SCR";

// The sum of the results ("...=value" at the end of each line) of the
// quantity lines of one kind ("长度", "面积").
double sumOf(const std::string& lines, const std::string& kind) {
  double total = 0;
  std::istringstream in(lines);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find("=" + kind + "=") == std::string::npos) continue;
    total += std::stod(line.substr(line.rfind('=') + 1));
  }
  return total;
}

TEST(DesignerFloorEndToEnd, ConvertedRebuiltAndMeasuredAsDrawn) {
  if (!fs::exists(kBuild / "bin" / "cadhost") || !fs::exists(kBuild / "bin" / "KivZeb.arx") ||
      !fs::exists(kBuild / "demo" / u8"示例工程") || runShell("command -v sqlite3").empty() ||
      runShell("/usr/bin/python3 -c 'import ezdxf' && echo yes").empty())
    GTEST_SKIP() << "cadhost, the plug-in, the demo data, sqlite3 or ezdxf missing";
  const fs::path root = kivtest::MakeDemoSandbox("kiv_designer_e2e_");
  const fs::path project = root / "projects" / u8"示例工程";
  std::ofstream(root / "make.py") << kMakeDrawing;
  int status = -1;
  const std::string made = runShell("/usr/bin/python3 " + quoted(root / "make.py") + " " + quoted(project / u8"1层.DWG"), &status);
  ASSERT_EQ(status, 0) << made;
  std::ofstream(root / "run.scr") << kScript;
  const std::string out = runShell(quoted(kBuild / "bin" / "cadhost") + " --suite " + quoted(root / "suite") +
                                       " --projects " + quoted(root / "projects") + " --project 示例工程 --script " +
                                       quoted(root / "run.scr"),
                                   &status);
  ASSERT_EQ(status, 0) << out;

  auto sql = [&](const fs::path& table, const std::string& query) {
    return runShell("sqlite3 " + quoted(table) + " \"" + query + "\"");
  };
  // SF1 keeps its definition: the rebuild found no size on its ducts.
  const std::string sf1 = sql(project / u8"1层.DB", "SELECT 参数 FROM records WHERE 构件名称='送风管' AND 编号='SF1'");
  EXPECT_NE(sf1.find("B=630"), std::string::npos) << sf1;
  EXPECT_NE(sf1.find("H=320"), std::string::npos) << sf1;
  // The converted numbers got rows with the sizes of the drawing.
  const std::string dn25 = sql(project / u8"1层.DB", "SELECT 参数 FROM records WHERE 构件名称='给水管' AND 编号='DN25'");
  EXPECT_NE(dn25.find("公称管径D_0(mm)=25"), std::string::npos) << dn25;
  EXPECT_EQ(dn25.find("25.000000"), std::string::npos) << dn25;
  const std::string duct = sql(project / u8"1层.DB", "SELECT 参数 FROM records WHERE 构件名称='送风管' AND 编号='800x400'");
  EXPECT_NE(duct.find("B=800"), std::string::npos) << duct;
  EXPECT_NE(duct.find("H=400"), std::string::npos) << duct;

  // The quantities of the first floor, per number, against the drawing.
  const fs::path quantities = project / u8"构件算量.DB";
  auto lines = [&](const std::string& name, const std::string& number) {
    return sql(quantities, "SELECT 工程量 FROM records WHERE 构件名称='" + name + "' AND 编号='" + number +
                               "' AND _ord > (SELECT _ord FROM records WHERE 构件名称='■1层=1') AND _ord < (SELECT "
                               "_ord FROM records WHERE 构件名称='■2层=1')");
  };
  const double pi = std::numbers::pi;
  const std::map<std::pair<std::string, std::string>, std::pair<std::string, double>> expected = {
      {{"给水管", "DN25"}, {"长度", (4000 + pi * 2000) / 1000}},  // the straight piece and the semicircle
      {{"给水管", "DN32"}, {"长度", 6000.0 / 1000}},              // 0-4000 and 2000-6000 drawn over each other
      {{"污水管", "de110"}, {"长度", 5000.0 / 1000}},
      {{"送风管", "800x400"}, {"面积", 2 * (0.8 + 0.4) * 6.0}},
      {{"送风管", "SF1"}, {"面积", 2 * (0.63 + 0.32) * 5.0}},
  };
  for (const auto& [key, want] : expected) {
    const std::string text = lines(key.first, key.second);
    EXPECT_NEAR(sumOf(text, want.first), want.second, 0.002) << key.first << " " << key.second << "\n" << text;
  }
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
