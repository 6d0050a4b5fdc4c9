// scripts/demo on the existing build, run twice: each run works on its own
// fresh copy of the installation and the project, both runs print the same
// command line (once the run folder's name is replaced), and build/suite and
// build/projects stay as the build made them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kSource = KIV_SOURCE_DIR;

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

// Every file and folder below dir with its size and modification time.
using Snapshot = std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>>;
Snapshot snapshot(const fs::path& dir) {
  Snapshot s;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::uintmax_t size = e.is_regular_file() ? e.file_size() : 0;
    s[fs::relative(e.path(), dir).string()] = {size, e.last_write_time()};
  }
  return s;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}

TEST(Demo, RunsAlikeOnFreshCopiesAndLeavesTheBuildAlone) {
  for (const fs::path& p : {kBuild / "bin" / "cadhost", kBuild / "bin" / "KivZeb.arx", kBuild / "suite",
                            kBuild / "demo" / u8"示例工程"})
    if (!fs::exists(p)) GTEST_SKIP() << p << " is not built";
  const fs::path tmp = fs::temp_directory_path() / ("kiv_demo_" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  fs::create_directories(tmp);
  const Snapshot suiteBefore = snapshot(kBuild / "suite");
  const Snapshot projectsBefore = snapshot(kBuild / "projects");

  std::vector<fs::path> runs;
  std::string outputs[2];
  for (auto& output : outputs) {
    int status = -1;
    std::string out = run("BUILD_DIR=" + q(kBuild) + " TMPDIR=" + q(tmp) + " " + q(kSource / "scripts" / "demo") +
                              " --no-build",
                          status);
    ASSERT_EQ(status, 0) << out;
    // The run folder is the one new folder in tmp.
    fs::path folder;
    for (const auto& e : fs::directory_iterator(tmp))
      if (std::find(runs.begin(), runs.end(), e.path()) == runs.end()) folder = e.path();
    ASSERT_FALSE(folder.empty()) << out;
    runs.push_back(folder);
    EXPECT_NE(out.find(">>> 演示在运行目录 " + folder.string() + " 中的安装和工程副本上进行"),
              std::string::npos)
        << out;
    EXPECT_TRUE(fs::is_regular_file(folder / u8"示例工程.GCK")) << out;
    // The copy's floor 2层 received the library's rows: the demo ran on a fresh project.
    EXPECT_GT(fs::file_size(folder / "projects" / u8"示例工程" / u8"2层.DB"),
              fs::file_size(kBuild / "demo" / u8"示例工程" / u8"2层.DB"));
    output = replaceAll(out, folder.string(), "RUN");
  }
  EXPECT_EQ(outputs[0], outputs[1]);
  for (const char* line : {">>> 已切换到 2层", "当前楼层: 2层", "当前楼层: 1层", ">>> 已保存工程库文件"})
    EXPECT_NE(outputs[0].find(line), std::string::npos) << line << "\n" << outputs[0];

  EXPECT_EQ(snapshot(kBuild / "suite"), suiteBefore);
  EXPECT_EQ(snapshot(kBuild / "projects"), projectsBefore);
  std::error_code ec;
  fs::remove_all(tmp, ec);
}

}  // namespace
