// The demo's conversion leg end to end: cadhost runs the leg of
// demo/demo.scr on a copy of the demo installation and project, saves the
// converted first floor, and an independent reading of the design drawing
// and the result with ezdxf checks it (check_converted_floor.py): the runs
// add up per diameter to the design's lines, crossings are broken, fixtures
// have risers, ducts keep every segment, the design's entities stay.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string run(const std::string& cmd, int& status) {
  std::string out;
  if (FILE* p = ::popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    status = ::pclose(p);
  }
  return out;
}

// The lines of demo/demo.scr from the leg's opening marker to its end marker.
std::string demoLeg() {
  std::ifstream in(KIV_SOURCE_DIR "/demo/demo.scr");
  std::string line, leg;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("# ==== leg: converting the designer's drawing", 0) == 0) inside = true;
    if (inside) leg += line + "\n";
    if (line.rfind("# ==== end of leg: converting the designer's drawing", 0) == 0) break;
  }
  return leg;
}

TEST(DemoFloorConversion, ConvertedRunsMatchTheDesignDrawing) {
  const fs::path build = KIV_BINARY_DIR;
  if (!fs::exists(build / "bin/cadhost") || !fs::exists(build / "demo" / u8"示例工程") ||
      !fs::exists(build / "bin/KivZeb.arx"))
    GTEST_SKIP() << "cadhost, the plug-in or the demo project not built";
  if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no system python";
  const std::string leg = demoLeg();
  ASSERT_NE(leg.find("PipeConv"), std::string::npos) << "the conversion leg is missing from demo/demo.scr";

  const fs::path root = fs::temp_directory_path() / ("kiv_conv_demo_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "projects");
  fs::copy(build / "suite", root / "suite", fs::copy_options::recursive);
  fs::copy(build / "demo" / u8"示例工程", root / "projects" / u8"示例工程", fs::copy_options::recursive);
  const fs::path converted = root / "converted.dxf";
  {
    std::ofstream script(root / "leg.scr");
    script << ".combo 楼层 1层\nKivSwitchFloor\n" << leg << ".saveas " << converted.string() << "\n";
  }
  int status = 0;
  const std::string out = run("cd '" + root.string() + "' && '" + (build / "bin/cadhost").string() + "' --suite '" +
                                  (root / "suite").string() + "' --projects '" + (root / "projects").string() +
                                  "' --project 示例工程 --script '" + (root / "leg.scr").string() + "'",
                              status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("转换出的管段(按编号): DN25 5段 DN32 4段 de110 3段 de50 2段; 立管 7根"), std::string::npos) << out;
  EXPECT_NE(out.find("转换出的管段(按编号): SF1 4段"), std::string::npos) << out;

  const std::string check = run("/usr/bin/python3 '" KIV_SOURCE_DIR "/tests/module/conversion/check_converted_floor.py' '" +
                                    (build / "demo" / u8"示例工程" / u8"1层.DWG").string() + "' '" + converted.string() + "'",
                                status);
  EXPECT_EQ(status, 0) << check;
  fs::remove_all(root);
}

}  // namespace
