// Helpers shared by the fuzz targets: a scratch folder per process, input
// splitting, and checks that stop the run with a readable message.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// A folder of this process, made on first use and removed at exit (libFuzzer's
// workers and jobs are processes of their own). In memory where the system
// has such a folder: the table library syncs every file it writes.
inline const std::filesystem::path& scratchDir() {
  static const std::filesystem::path dir = [] {
    std::error_code ec;
    auto base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                               : std::filesystem::temp_directory_path();
    auto d = base / ("kiv-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratchDir(), ec);
    });
    return d;
  }();
  return dir;
}

inline void writeBytes(const std::filesystem::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string_view asText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at every occurrence of sep (n pieces for n-1 separators).
inline std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(sep, start);
    out.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return out;
    start = at + 1;
  }
}

// The first line where two texts differ, for check messages.
inline std::string firstDifference(std::string_view a, std::string_view b) {
  size_t line = 1, start = 0, i = 0;
  for (; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
    if (a[i] == '\n') ++line, start = i + 1;
  auto lineOf = [&](std::string_view s) {
    if (start >= s.size()) return std::string("<end>");
    size_t end = s.find('\n', start);
    return std::string(s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
  };
  return "line " + std::to_string(line) + ": \"" + lineOf(a) + "\" / \"" + lineOf(b) + "\"";
}

[[noreturn]] inline void fail(const char* check, const std::string& detail) {
  std::fprintf(stderr, "fuzz check failed: %s\n  %s\n", check, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz

// Stops the run (libFuzzer saves the input as a crash) when cond is false.
#define FUZZ_CHECK(cond, detail)                 \
  do {                                           \
    if (!(cond)) ::fuzz::fail(#cond, (detail)); \
  } while (0)
