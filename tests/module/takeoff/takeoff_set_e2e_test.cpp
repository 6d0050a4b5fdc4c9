// The result tables of a take-off are one set, end to end through cadhost on
// copies of the demo project: a run that is cancelled, cannot write, or finds
// an input table damaged leaves every previous result table as it was, names
// what happened and exits 1; a run killed at any moment leaves, once the
// project is opened again, the previous set or the new one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "tests/module/shell/project_fixture.h"

namespace {

namespace fs = std::filesystem;
using kivtest::quoted;
using kivtest::runShell;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kHost = kBuild / "bin" / "cadhost";
const std::string kProjectName = "示例工程";

bool haveHost() {
  return fs::exists(kHost) && fs::exists(kBuild / "bin" / "KivZeb.arx") && fs::exists(kBuild / "demo" / kProjectName) &&
         !runShell("command -v sqlite3").empty();
}

std::string hostCommand(const fs::path& root, const fs::path& projects, const fs::path& script) {
  return quoted(kHost) + " --suite " + quoted(root / "suite") + " --projects " + quoted(projects) + " --project " +
         kProjectName + " --script " + quoted(script);
}

std::string runHost(const fs::path& root, const std::string& script, int* status,
                    const fs::path& projects = fs::path()) {
  const fs::path file = root / "run.scr";
  std::ofstream(file) << script;
  return runShell(hostCommand(root, projects.empty() ? root / "projects" : projects, file), status);
}

std::string bytesOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file of the project folder (not its folders) with its bytes.
std::map<std::string, std::string> filesOf(const fs::path& project) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(project))
    if (e.is_regular_file()) out[e.path().filename().string()] = bytesOf(e.path());
  return out;
}

// The tables of a project by their records (a table written twice with the
// same records is the same table), the drawings left out.
std::map<std::string, std::string> tablesOf(const fs::path& project) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(project)) {
    const std::string name = e.path().filename().string();
    if (!e.is_regular_file() || name.size() < 3 || name.compare(name.size() - 3, 3, ".DB") != 0) continue;
    out[name] = runShell("sqlite3 " + quoted(e.path()) + " 'SELECT * FROM records ORDER BY _ord'");
  }
  return out;
}

void overwrite4k(const fs::path& table) {
  std::mt19937 random(34);
  std::string junk(4096, '\0');
  for (char& c : junk) c = static_cast<char>(random() & 0xff);
  std::fstream f(table, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(0);
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

class TakeoffSet : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!haveHost()) return;
    // The previous set: a take-off of the current floor; the new one (for the
    // kills) of all floors, so that the two differ.
    base_ = kivtest::MakeDemoSandbox("kiv_takeoff_set_");
    int status = -1;
    const std::string out = runHost(base_, ".combo 楼层 1层\nKivSwitchFloor\nZebTotalCur\n", &status);
    ASSERT_EQ(status, 0) << out;
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (!base_.empty()) fs::remove_all(base_, ec);
  }
  void SetUp() override {
    if (!haveHost()) GTEST_SKIP() << "cadhost, the plug-in, the demo data or sqlite3 missing";
  }
  // A copy of the sandbox with the previous set.
  fs::path copyOfBase(const std::string& tag) {
    const fs::path root = fs::temp_directory_path() / ("kiv_takeoff_set_" + tag + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::copy(base_, root, fs::copy_options::recursive);
    return root;
  }
  static fs::path base_;
};
fs::path TakeoffSet::base_;

TEST_F(TakeoffSet, ARunThatCannotFinishKeepsEveryPreviousTableAndFails) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& root, const fs::path& project)> setup;
    std::string script;
    std::string said;
  };
  const std::string all = ".combo 楼层 1层\nZebTotalAll\n";
  const std::string cancelled = "工程量计算已取消，原有的计算结果未改动。";
  auto none = [](const fs::path&, const fs::path&) {};
  std::vector<Case> cases = {
      {"cancel in the floor loop", none, ".cancelprogress [2层]\n" + all, cancelled},
      {"cancel while 构件参数.DB is written", none, ".cancelprogress 正在写入工程量参数表\n" + all, cancelled},
      {"cancel while 001.DB is written", none, ".cancelprogress 正在汇总\n" + all, cancelled},
      {"cancel while 工程量表.DB is written", none, ".cancelprogress 正在写入工程量计算表\n" + all, cancelled},
      {"cancel in the floor detail tables", none, ".cancelprogress 正在写入[定额楼层明细]\n" + all, cancelled},
      {"cancel in the method summaries", none, ".cancelprogress 正在写入[构件做法汇总]\n" + all, cancelled},
      {"cancel in the circuit details", none, ".cancelprogress 正在写入[电气回路明细]\n" + all, cancelled},
      {"cancel in the circuit summary", none, ".cancelprogress 正在写入[电气回路汇总]\n" + all, cancelled},
      {"cancel in the region writer", none, ".cancelprogress 正在写入区域工程量定额表\nZebAllArea\n",
       "区域工程量计算已取消，原有的计算结果未改动。"},
      {"damaged floor table", [](const fs::path&, const fs::path& p) { overwrite4k(p / "007.DB"); }, all,
       "007.DB(表已损坏或无法打开)"},
      {"damaged rule table", [](const fs::path&, const fs::path& p) { overwrite4k(p / "计算规则.DB"); }, all,
       "计算规则.DB(表已损坏或无法打开)"},
      {"damaged component library",
       [](const fs::path& root, const fs::path&) { overwrite4k(root / "suite" / "系统文件" / "构件库.DB"); }, all,
       "构件库.DB(表已损坏或无法打开)"},
      {"damaged floor component table", [](const fs::path&, const fs::path& p) { overwrite4k(p / "2层.DB"); }, all,
       "[2层]的构件表"},
      {"a folder in place of 001.DB",
       [](const fs::path&, const fs::path& p) {
         fs::remove(p / "001.DB");
         fs::create_directory(p / "001.DB");
       },
       all, "001.DB：那里是一个文件夹"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path root = copyOfBase("case_");
    const fs::path project = root / "projects" / kProjectName;
    c.setup(root, project);
    const auto before = filesOf(project);
    int status = -1;
    const std::string out = runHost(root, c.script, &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find(c.said), std::string::npos) << out;
    EXPECT_NE(out.find("原有的计算结果未改动"), std::string::npos) << out;
    EXPECT_TRUE(filesOf(project) == before) << out;
    EXPECT_FALSE(fs::exists(project / "~takeoff") || fs::exists(project / "~region"));
    fs::remove_all(root);
  }
}

TEST_F(TakeoffSet, AFullDiskKeepsThePreviousTables) {
  if (::geteuid() != 0) GTEST_SKIP() << "a small disk (tmpfs) needs root";
  const fs::path root = copyOfBase("disk_");
  const fs::path disk = root / "disk";
  fs::create_directories(disk);
  if (::mount("kivtest", disk.c_str(), "tmpfs", 0, "size=2m") != 0) {
    fs::remove_all(root);
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  fs::copy(root / "projects", disk / "projects", fs::copy_options::recursive);
  const fs::path project = disk / "projects" / kProjectName;
  // Fill the disk up to 16 KB.
  {
    std::ofstream fill(disk / "fill", std::ios::binary);
    const std::string block(4096, 'x');
    while (fill.write(block.data(), static_cast<std::streamsize>(block.size())) && fill.flush()) {
    }
  }
  fs::resize_file(disk / "fill", fs::file_size(disk / "fill") > 16384 ? fs::file_size(disk / "fill") - 16384 : 0);
  const auto before = filesOf(project);
  int status = -1;
  const std::string out = runHost(root, ".combo 楼层 1层\nZebTotalAll\n", &status, disk / "projects");
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("工程量计算未能完成，原有的计算结果未改动。"), std::string::npos) << out;
  EXPECT_TRUE(filesOf(project) == before) << out;
  ::umount(disk.c_str());
  fs::remove_all(root);
}

TEST_F(TakeoffSet, AKilledRunLeavesThePreviousOrTheNewSetOnceTheProjectOpens) {
  // The new set, and how long a whole run takes.
  const fs::path whole = copyOfBase("whole_");
  int status = -1;
  const auto start = std::chrono::steady_clock::now();
  std::string out = runHost(whole, ".combo 楼层 1层\nZebTotalAll\n", &status);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(status, 0) << out;
  const auto previous = tablesOf(base_ / "projects" / kProjectName);
  const auto fresh = tablesOf(whole / "projects" / kProjectName);
  ASSERT_NE(previous, fresh);
  fs::remove_all(whole);

  const unsigned seed = static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
  std::mt19937 random(seed);
  const long span = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  int sawPrevious = 0, sawNew = 0;
  for (int kill = 0; kill < 5; ++kill) {
    const long delay = std::uniform_int_distribution<long>(span / 3, span)(random);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", kill after " + std::to_string(delay) + " ms");
    const fs::path root = copyOfBase("kill_");
    const fs::path project = root / "projects" / kProjectName;
    std::ofstream(root / "run.scr") << ".combo 楼层 1层\nZebTotalAll\n";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      ::execl("/bin/sh", "sh", "-c", ("exec " + hostCommand(root, root / "projects", root / "run.scr")).c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    ::kill(child, SIGKILL);
    int ignored = 0;
    ::waitpid(child, &ignored, 0);
    // The project opens again (the module loads with it), with no command.
    out = runHost(root, "", &status);
    EXPECT_EQ(status, 0) << out;
    const auto now = tablesOf(project);
    EXPECT_TRUE(now == previous || now == fresh) << out;
    sawPrevious += now == previous;
    sawNew += now == fresh;
    EXPECT_FALSE(fs::exists(project / "~takeoff"));
    for (const auto& e : fs::directory_iterator(project))
      EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    fs::remove_all(root);
  }
  std::printf("kills that left the previous set: %d, the new set: %d\n", sawPrevious, sawNew);
}

}  // namespace
