// The demo's first floor checked by hand: on a fresh copy of the installation
// and the project, a wire in conduit is laid as the demo lays it, the pipe
// fittings are generated and the floor is taken off; three norms of 001.DB
// are compared with figures worked out here from the drawing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = KIV_BINARY_DIR;

std::string run(const std::string& cmd, int& status) {
  std::string out;
  status = -1;
  if (FILE* p = ::popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = ::pclose(p);
    status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  return out;
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(DemoFirstFloor, NormsOf001AgreeWithTheHandComputation) {
  for (const fs::path& p : {kBuild / "bin" / "cadhost", kBuild / "bin" / "KivZeb.arx", kBuild / "suite",
                            kBuild / "demo" / u8"示例工程"})
    if (!fs::exists(p)) GTEST_SKIP() << p << " is not built";
  int status = -1;
  run("sqlite3 -version", status);
  if (status != 0) GTEST_SKIP() << "sqlite3 is not installed";
  const fs::path tmp = fs::temp_directory_path() / ("kiv_first_floor_" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  fs::create_directories(tmp / "projects");
  fs::copy(kBuild / "suite", tmp / "suite", fs::copy_options::recursive);
  fs::copy(kBuild / "demo" / u8"示例工程", tmp / "projects" / u8"示例工程", fs::copy_options::recursive);
  {
    std::ofstream s(tmp / "script.scr");
    s << ".combo 楼层 1层\nKivSwitchFloor\n"
         ".combo 分类 管线\n.combo 构件 导线·导管\n.combo 编号 WL2\n"
         "LayPipeLine\n.palette 3000 3000\n12000,1000\n20000,1000\n\n.esc\n"
         "FloorPFittings\n"
         "ZebTotalCur\n";
  }
  const std::string out = run(q(kBuild / "bin" / "cadhost") + " --suite " + q(tmp / "suite") + " --projects " +
                                  q(tmp / "projects") + " --project 示例工程 --script " + q(tmp / "script.scr"),
                              status);
  ASSERT_EQ(status, 0) << out;

  // 标准工程量 of the norm rows of 001.DB by code and name.
  std::map<std::string, double> norms;
  {
    const std::string rows =
        run("sqlite3 -separator '|' " + q(tmp / "projects" / u8"示例工程" / "001.DB") +
                " \"SELECT 编号, 名称, 标准工程量 FROM records WHERE 标志='定额';\"",
            status);
    ASSERT_EQ(status, 0) << rows;
    size_t a = 0;
    while (a < rows.size()) {
      size_t e = rows.find('\n', a);
      if (e == std::string::npos) e = rows.size();
      const std::string line = rows.substr(a, e - a);
      const size_t b1 = line.find('|'), b2 = line.rfind('|');
      if (b1 != std::string::npos && b2 > b1)
        norms[line.substr(0, b1) + " " + line.substr(b1 + 1, b2 - b1 - 1)] += std::atof(line.c_str() + b2 + 1);
      a = e + 1;
    }
  }
  auto norm = [&](const std::string& key) {
    for (const auto& [k, v] : norms)
      if (k.rfind(key, 0) == 0) return v;
    ADD_FAILURE() << "no norm " << key;
    return 0.0;
  };

  // The hot-water pipe RJ1 (PP-R DN25, outer diameter 32, insulation 20 thick):
  // two runs at 2900, 7200 and 5700 long. Its insulation is the volume
  // π·(D+δ)·δ·L per run, each run's figure to 5 decimals.
  const double pi = 3.14159265;
  auto layer = [&](double length) { return std::round(pi * (32 + 20) * 20 * length / 1e6 * 1e5) / 1e5; };
  EXPECT_NEAR(norm("030811-021 "), 7.2 + 5.7, 1e-9);
  EXPECT_NEAR(norm("030811-022 "), layer(7.2) + layer(5.7), 1e-9);
  // The wire in conduit WL2 (three wires in a 20 conduit) from 12000 to
  // 20000: 8 m of conduit, 24 m of wire.
  EXPECT_NEAR(norm("030217-072 "), 8.0, 1e-9);
  EXPECT_NEAR(norm("030217-071 "), 24.0, 1e-9);
  // The elbows: J1 at the top of its riser and at its corner, J1 into the arc
  // of J3, the arc of J3 into its riser, the corner of RJ1, and W1 into its
  // riser down.
  EXPECT_NEAR(norm("030816-021 "), 6, 1e-9);
  // No insulation row for the pipes without insulation (thickness 0).
  for (const auto& [k, v] : norms) EXPECT_EQ(k.find("δ=0mm"), std::string::npos) << k;

  std::error_code ec;
  fs::remove_all(tmp, ec);
}

}  // namespace
