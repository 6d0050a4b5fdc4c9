// The main road through cadhost on a designer's floor of 4,000 and of 40,000
// labelled pipe runs (make_floor.py draws it): open the floor, convert its
// supply and drainage runs (PipeConv over a window of the whole floor, numbers
// read from the labels), rebuild every component (GjRebuildAll) and take the
// quantities off (ZebTotalAll).
//
// Each size runs four scripts, each one step longer than the one before, on
// a fresh copy of the demo installation and project with the floor drawn as
// 1层.DWG; a step's time is the difference between the script that ends with
// it and the one before, so opening the floor (the first script alone) is the
// reference every step is measured net of. Every script is run --reps times
// (default 3), the rounds interleaving sizes and scripts so that the load of
// a shared machine falls on all of them alike; the least time of each is
// kept, and the spread (largest over least) is shown beside it. The same
// table follows for cadhost's processor time (user and system), which the
// load of other programs disturbs less than the wall time.
//
//   bench_mainroad [--reps R] [--sizes 4000,40000] [--keep]
//
// --keep leaves the sandbox folders (their paths are printed) to run a
// script again by hand, e.g. under perf.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = KIV_BINARY_DIR;
const fs::path kSource = KIV_SOURCE_DIR;

// The rooms are 12 x 9 m on a square grid (see make_floor.py); the window
// takes the whole floor with a margin.
std::string wholeFloorWindow(int runs) {
  const int rooms = (runs + 9) / 10;
  int cols = 1;
  while (cols * cols < rooms) ++cols;
  const int rows = (rooms + cols - 1) / cols;
  return "-1000,-1000 " + std::to_string(cols * 12000 + 1000) + "," + std::to_string(rows * 9000 + 1000);
}

const char* const kOpen = ".combo 楼层 1层\nKivSwitchFloor\n";

// The conversion: the whole floor as the area, then the supply runs (a line
// and a polyline piece of the first room picked: a pick gathers the pieces
// of its own kind) and the drainage runs (the same), all numbered from their
// labels.
std::string convertScript(int runs) {
  return "PipeConv\n"
         ".click 221\n"
         ".window " + wholeFloorWindow(runs) + "\n"
         "\n"
         ".click 1\n"
         ".select 224 给水管\n"
         ".set 225 自动识别\n"
         ".set 200 2800\n"
         ".set 201 2800\n"
         ".click 364\n"
         ".pick 1500,3400\n"
         ".pick 2000,1000\n"
         ".rclick\n"
         ".select 224 污水管\n"
         ".set 225 自动识别\n"
         ".set 200 -400\n"
         ".set 201 -400\n"
         ".click 364\n"
         ".pick 9000,6000\n"
         ".pick 9000,3000\n"
         ".rclick\n"
         ".click 366\n"
         ".expect 转换结束\n";
}

const char* const kStepNames[] = {"open", "PipeConv", "GjRebuildAll", "ZebTotalAll"};
constexpr int kSteps = 4;

// The script that runs the first `steps` steps.
std::string script(int runs, int steps) {
  std::string s = kOpen;
  if (steps >= 2) s += convertScript(runs);
  if (steps >= 3) s += "GjRebuildAll\n";
  if (steps >= 4) s += "ZebTotalAll\n";
  return s;
}

void run(const std::string& cmd) {
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    std::exit(1);
  }
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// One size's sandbox: the floor drawing made once, and a fresh copy of the
// installation and project for every run.
struct Floor {
  int runs = 0;
  fs::path root;

  void make() {
    std::string tmpl = (fs::temp_directory_path() / ("kiv-bench-mainroad-" + std::to_string(runs) + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) std::abort();
    root = tmpl;
    run("/usr/bin/python3 " + quoted(kSource / "bench" / "mainroad" / "make_floor.py") + " " + std::to_string(runs) +
        " " + quoted(root / "floor.dwg"));
    for (int steps = 1; steps <= kSteps; ++steps)
      std::ofstream(root / ("steps" + std::to_string(steps) + ".scr")) << script(runs, steps);
  }
  void freshCopy() const {
    std::error_code ec;
    fs::remove_all(root / "suite", ec);
    fs::remove_all(root / "projects", ec);
    fs::create_directories(root / "projects");
    fs::copy(kBuild / "suite", root / "suite", fs::copy_options::recursive);
    fs::copy(kBuild / "demo" / "示例工程", root / "projects" / "示例工程", fs::copy_options::recursive);
    fs::copy_file(root / "floor.dwg", root / "projects" / "示例工程" / "1层.DWG",
                  fs::copy_options::overwrite_existing);
  }
  // Runs the script of the first `steps` steps on a fresh copy: the wall
  // time and cadhost's processor time in seconds. Stops the benchmark when
  // cadhost fails.
  std::pair<double, double> time(int steps) const {
    freshCopy();
    const fs::path scr = root / ("steps" + std::to_string(steps) + ".scr");
    const fs::path log = root / ("steps" + std::to_string(steps) + ".log");
    const std::string cadhost = (kBuild / "bin" / "cadhost").string();
    const std::string suite = (root / "suite").string(), projects = (root / "projects").string();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      FILE* out = std::fopen(log.c_str(), "w");
      if (!out) _exit(127);
      dup2(fileno(out), 1);
      dup2(fileno(out), 2);
      execl(cadhost.c_str(), cadhost.c_str(), "--suite", suite.c_str(), "--projects", projects.c_str(), "--project",
            "示例工程", "--script", scr.c_str(), (char*)nullptr);
      _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "cadhost failed on %d runs, %d steps; its output: %s\n", runs, steps, log.c_str());
      std::exit(1);
    }
    return {seconds, cpu};
  }
  void remove() const {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

std::vector<int> parseSizes(const char* text) {
  std::vector<int> sizes;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) sizes.push_back(std::stoi(item));
  return sizes;
}

// The table of one measure: each step's net time (the least time of the
// script that ends with it less that of the script before; the open alone
// for the first), the spread of its script's rounds, and the growth from the
// first size to the last.
void report(const char* title, const std::vector<Floor>& floors,
            const std::vector<std::vector<std::vector<double>>>& times) {
  auto least = [](const std::vector<double>& t) { return *std::min_element(t.begin(), t.end()); };
  auto most = [](const std::vector<double>& t) { return *std::max_element(t.begin(), t.end()); };
  std::vector<std::vector<double>> net(floors.size(), std::vector<double>(kSteps));
  std::printf("\n%s\n%-14s", title, "step");
  for (const Floor& fl : floors) std::printf("  %10d runs (spread)", fl.runs);
  if (floors.size() > 1) std::printf("  growth %d/%d", floors.back().runs, floors.front().runs);
  std::printf("\n");
  for (int s = 0; s < kSteps; ++s) {
    std::printf("%-14s", kStepNames[s]);
    for (size_t f = 0; f < floors.size(); ++f) {
      const auto& t = times[f][s];
      net[f][s] = least(t) - (s == 0 ? 0 : least(times[f][s - 1]));
      std::printf("  %13.3f s (x%.2f)", net[f][s], most(t) / least(t));
    }
    if (floors.size() > 1) std::printf("  x%.1f", net.back()[s] / net.front()[s]);
    std::printf("\n");
  }
  if (floors.size() > 1) {
    double first = 0, last = 0;
    for (int s = 1; s < kSteps; ++s) first += net.front()[s], last += net.back()[s];
    std::printf("%-14s  %13.3f s         %13.3f s          x%.1f\n", "road (net)", first, last, last / first);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int reps = 3;
  bool keep = false;
  std::vector<int> sizes{4000, 40000};
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--reps") && i + 1 < argc)
      reps = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--sizes") && i + 1 < argc)
      sizes = parseSizes(argv[++i]);
    else if (!std::strcmp(argv[i], "--keep"))
      keep = true;
    else {
      std::fprintf(stderr, "usage: %s [--reps R] [--sizes N1,N2,...] [--keep]\n", argv[0]);
      return 2;
    }
  }
  if (sizes.empty()) return 2;
  std::vector<Floor> floors;
  for (int n : sizes) {
    floors.push_back(Floor{n, {}});
    floors.back().make();
  }
  // wall[f][s], cpu[f][s]: the script of s + 1 steps on floor f, every round.
  using Times = std::vector<std::vector<std::vector<double>>>;
  Times wall(floors.size(), std::vector<std::vector<double>>(kSteps)), cpu = wall;
  for (int r = 0; r < reps; ++r)
    for (size_t f = 0; f < floors.size(); ++f)
      for (int s = 0; s < kSteps; ++s) {
        const auto [w, c] = floors[f].time(s + 1);
        wall[f][s].push_back(w);
        cpu[f][s].push_back(c);
        std::fprintf(stderr, "round %d: %d runs, %d steps: %.3f s (processor %.3f s)\n", r + 1, floors[f].runs,
                     s + 1, w, c);
      }
  report("wall time", floors, wall);
  report("processor time", floors, cpu);
  for (const Floor& fl : floors) {
    if (keep)
      std::printf("kept: %s\n", fl.root.c_str());
    else
      fl.remove();
  }
  return 0;
}
