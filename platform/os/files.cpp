// Files, folders, temporary names and the local clock.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/os/detail.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;

namespace os {

using detail::fail;

namespace {
std::string describe(std::wstring_view path, const char* what, const std::error_code& ec = {}) {
  std::string m = std::string(what) + ": " + toUtf8(path);
  if (ec) m += " (" + ec.message() + ")";
  return m;
}
}  // namespace

bool exists(std::wstring_view path) {
  std::error_code ec;
  return fs::exists(nativePath(path), ec);
}

bool isFile(std::wstring_view path) {
  std::error_code ec;
  return fs::is_regular_file(nativePath(path), ec);
}

bool isDirectory(std::wstring_view path) {
  std::error_code ec;
  return fs::is_directory(nativePath(path), ec);
}

std::optional<std::uintmax_t> fileSize(std::wstring_view path) {
  std::error_code ec;
  auto n = fs::file_size(nativePath(path), ec);
  if (ec) {
    fail(describe(path, "no file size", ec));
    return std::nullopt;
  }
  return n;
}

bool copyFile(std::wstring_view from, std::wstring_view to, bool failIfExists) {
  fs::path src = nativePath(from), dst = nativePath(to);
  std::error_code ec;
  if (!fs::is_regular_file(src, ec)) return fail(describe(from, "no such file"));
  if (fs::exists(dst, ec)) {
    if (failIfExists) return fail(describe(to, "target exists"));
    if (fs::equivalent(src, dst, ec)) return fail(describe(to, "copy onto itself"));
    if (fs::is_directory(dst, ec)) return fail(describe(to, "target is a folder"));
  }
  fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
  if (ec) return fail(describe(to, "cannot copy to", ec));
  return true;
}

bool deleteFile(std::wstring_view path) {
  fs::path p = nativePath(path);
  std::error_code ec;
  auto st = fs::symlink_status(p, ec);
  if (ec || !fs::exists(st)) return fail(describe(path, "no such file"));
  if (fs::is_directory(st)) return fail(describe(path, "is a folder"));
  if (!fs::remove(p, ec)) return fail(describe(path, "cannot delete", ec));
  return true;
}

bool renameFile(std::wstring_view from, std::wstring_view to, bool replace) {
  fs::path src = nativePath(from), dst = nativePath(to);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(src, ec))) return fail(describe(from, "no such file"));
  if (fs::exists(dst, ec) && !fs::equivalent(src, dst, ec)) {
    if (!replace) return fail(describe(to, "target exists"));
    if (fs::is_directory(dst, ec)) return fail(describe(to, "target is a folder"));
  }
  fs::rename(src, dst, ec);
  if (ec) return fail(describe(to, "cannot rename to", ec));
  return true;
}

bool createDirectory(std::wstring_view path) {
  fs::path p = nativePath(path);
  std::error_code ec;
  if (fs::exists(p, ec)) return fail(describe(path, "already exists"));
  if (!fs::create_directory(p, ec)) return fail(describe(path, "cannot create folder", ec));
  return true;
}

bool createDirectories(std::wstring_view path) {
  fs::path p = nativePath(path);
  std::error_code ec;
  if (fs::is_directory(p, ec)) return true;
  fs::create_directories(p, ec);
  if (ec || !fs::is_directory(p, ec)) return fail(describe(path, "cannot create folder", ec));
  return true;
}

bool removeDirectory(std::wstring_view path) {
  fs::path p = nativePath(path);
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(p, ec))) return fail(describe(path, "no such folder"));
  if (!fs::is_empty(p, ec)) return fail(describe(path, "folder not empty"));
  if (!fs::remove(p, ec)) return fail(describe(path, "cannot remove folder", ec));
  return true;
}

bool removeDirectoryRecursive(std::wstring_view path) {
  fs::path p = nativePath(path);
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(p, ec))) return fail(describe(path, "no such folder"));
  fs::remove_all(p, ec);
  if (ec) return fail(describe(path, "cannot remove folder", ec));
  return true;
}

std::optional<std::vector<DirEntry>> listDirectory(std::wstring_view path, std::wstring_view pattern) {
  fs::path p = nativePath(path);
  std::error_code ec;
  if (!fs::is_directory(p, ec)) {
    fail(describe(path, "no such folder"));
    return std::nullopt;
  }
  std::vector<std::pair<std::string, DirEntry>> found;
  fs::directory_iterator it(p, ec), end;
  if (ec) {
    fail(describe(path, "cannot read folder", ec));
    return std::nullopt;
  }
  for (; !ec && it != end; it.increment(ec)) {
    std::string raw = it->path().filename().string();
    DirEntry e;
    e.name = fromUtf8(raw);
    if (!wildcardMatch(e.name, pattern)) continue;
    std::error_code ec2;
    e.isDirectory = it->is_directory(ec2);
    if (!e.isDirectory) {
      auto sz = it->file_size(ec2);
      e.size = ec2 ? 0 : sz;
    }
    found.emplace_back(std::move(raw), std::move(e));
  }
  std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<DirEntry> out;
  out.reserve(found.size());
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

std::optional<std::string> readFile(std::wstring_view path) {
  fs::path p = nativePath(path);
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) {
    fail(describe(path, "no such file"));
    return std::nullopt;
  }
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    fail(describe(path, "cannot open"));
    return std::nullopt;
  }
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    fail(describe(path, "cannot read"));
    return std::nullopt;
  }
  return data;
}

namespace {
std::string sizeText(std::size_t bytes) {
  constexpr std::size_t kMB = std::size_t(1) << 20;
  if (bytes >= kMB && bytes % kMB == 0) return std::to_string(bytes / kMB) + " MB";
  return std::to_string(bytes) + " bytes";
}
}  // namespace

std::optional<std::string> readInputFrom(int fd, std::string_view name, std::size_t limit) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    fail(std::string(name) + " is a folder");
    return std::nullopt;
  }
  std::string data;
  if (S_ISREG(st.st_mode) && st.st_size > 0) data.reserve(std::min<std::size_t>(std::size_t(st.st_size), limit) + 1);
  char buf[1 << 16];
  for (;;) {
    // One byte beyond the limit tells an input of exactly limit bytes from a
    // longer one.
    const std::size_t room = std::min(sizeof buf, limit + 1 - data.size());
    ssize_t n = ::read(fd, buf, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      fail("cannot read " + std::string(name) + " (" + std::strerror(errno) + ")");
      return std::nullopt;
    }
    if (n == 0) return data;
    data.append(buf, std::size_t(n));
    if (data.size() > limit) {
      fail(std::string(name) + " holds more than " + sizeText(limit));
      return std::nullopt;
    }
  }
}

std::optional<std::string> readInput(const fs::path& file, std::size_t limit) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::error_code ec;
    fail(fs::is_directory(file, ec) ? file.string() + " is a folder"
                                    : "cannot read " + file.string() + " (" + std::strerror(errno) + ")");
    return std::nullopt;
  }
  // A named device is no input a user writes (/dev/zero would only end at
  // the bound); standard input, which may be a terminal, is read as it is.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
    ::close(fd);
    fail(file.string() + " is a device, not a file");
    return std::nullopt;
  }
  auto data = readInputFrom(fd, file.string(), limit);
  ::close(fd);
  return data;
}

bool writeFile(std::wstring_view path, std::string_view bytes) {
  return replaceFileAtomically(nativePath(path), bytes);
}

fs::path atomicTempPath(const fs::path& target) {
  fs::path tmp = target;
  tmp += ".kivtmp";
  return tmp;
}

namespace {
// Writes all bytes to a file descriptor, retrying short writes and signals.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(std::size_t(n));
  }
  return true;
}
// Flushes a folder's entries (the rename) to disk.
void syncFolder(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
std::string describeNative(const fs::path& p, const char* what, int err = 0) {
  std::string m = std::string(what) + ": " + p.string();
  if (err) m += std::string(" (") + std::strerror(err) + ")";
  return m;
}
}  // namespace

namespace {
// The file a path names: a symbolic link is followed, link after link, to the
// path it ends at (which may not exist yet). False after too many links.
bool followLinks(const fs::path& path, fs::path& out) {
  out = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(out, ec))) return true;
    fs::path next = fs::read_symlink(out, ec);
    if (ec) return false;
    out = next.is_absolute() ? next : out.parent_path() / next;
  }
  return false;
}
}  // namespace

bool replaceFileAtomically(const fs::path& named, std::string_view bytes) {
  std::error_code ec;
  // Saving onto a link writes the file it names; replacing the link itself
  // would leave that file as it was.
  fs::path target;
  if (!followLinks(named, target)) return fail(describeNative(named, "too many symbolic links at"));
  auto st = fs::status(target, ec);
  if (fs::is_directory(st)) return fail(describeNative(target, "is a folder"));
  // A device or a pipe would be replaced by an ordinary file.
  if (fs::exists(st) && !fs::is_regular_file(st))
    return fail(describeNative(target, "not a regular file (a device, a pipe or a socket), not written"));
  if (fs::exists(st) && (st.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                             fs::perms::others_write)) == fs::perms::none)
    return fail(describeNative(target, "the file is read-only"));
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  if (!fs::is_directory(dir, ec)) return fail(describeNative(target, "no such folder for"));
  fs::path tmp = atomicTempPath(target);
  ::unlink(tmp.c_str());  // a leftover of an interrupted save
  int fd = ::open(tmp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return fail(describeNative(target, "cannot write", errno));
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && fs::exists(st)) ::chmod(tmp.c_str(), static_cast<mode_t>(st.permissions() & fs::perms::mask));
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return fail(describeNative(target, "cannot write", err));
  }
  syncFolder(dir);
  return true;
}

std::wstring tempDirectory() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return windowsPath(dir);
}

std::wstring tempFileName(std::wstring_view dir, std::wstring_view prefix) {
  fs::path d = nativePath(dir);
  std::error_code ec;
  if (!fs::is_directory(d, ec)) {
    fail(describe(dir, "no such folder"));
    return {};
  }
  static std::atomic<unsigned> counter{0};
  unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u ^
                  static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 1000; ++attempt) {
    unsigned n = (seed + counter++) & 0xFFFFF;
    wchar_t hex[16];
    std::swprintf(hex, 16, L"%05X", n);
    std::wstring name = std::wstring(prefix) + hex + L".tmp";
    fs::path full = d / toUtf8(name);
    int fd = ::open(full.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd >= 0) {
      ::close(fd);
      std::wstring out(dir);
      if (!out.empty() && out.back() != L'\\' && out.back() != L'/') out += L'\\';
      return out + name;
    }
    if (errno != EEXIST) break;
  }
  fail(describe(dir, "cannot create a temporary file in"));
  return {};
}

namespace {
std::mutex g_clockMutex;
std::optional<LocalTime> g_fixedTime;
}  // namespace

LocalTime localTime() {
  {
    std::lock_guard lock(g_clockMutex);
    if (g_fixedTime) return *g_fixedTime;
  }
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalTime r;
  r.year = tm.tm_year + 1900;
  r.month = tm.tm_mon + 1;
  r.day = tm.tm_mday;
  r.hour = tm.tm_hour;
  r.minute = tm.tm_min;
  r.second = tm.tm_sec;
  r.millisecond = static_cast<int>(ms < 0 ? ms + 1000 : ms);
  r.dayOfWeek = tm.tm_wday;
  return r;
}

void setFixedLocalTime(std::optional<LocalTime> t) {
  std::lock_guard lock(g_clockMutex);
  g_fixedTime = t;
}

}  // namespace os
