// Windows-style paths on the POSIX file system.
#include <system_error>

#include "platform/os/detail.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;

namespace os {

namespace {
bool isSep(wchar_t c) { return c == L'\\' || c == L'/'; }

// The name on disk of `comp` inside folder `dir`: the exact name when it
// exists, else the first (in byte order) whose name equals it ignoring case.
std::optional<std::string> findOnDisk(const fs::path& dir, const std::wstring& comp) {
  std::error_code ec;
  std::string exact = toUtf8(comp);
  if (fs::exists(dir / exact, ec)) return exact;
  std::optional<std::string> best;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (iequals(fromUtf8(name), comp) && (!best || name < *best)) best = name;
  }
  return best;
}
}  // namespace

fs::path nativePath(std::wstring_view winPath) {
  std::vector<std::wstring> comps;
  size_t i = 0;
  bool absolute = false;
  // Drop a drive prefix "X:".
  if (winPath.size() >= 2 && winPath[1] == L':' &&
      ((winPath[0] >= L'A' && winPath[0] <= L'Z') || (winPath[0] >= L'a' && winPath[0] <= L'z'))) {
    i = 2;
    absolute = true;
  }
  if (i < winPath.size() && isSep(winPath[i])) absolute = true;
  while (i < winPath.size()) {
    while (i < winPath.size() && isSep(winPath[i])) ++i;
    size_t j = i;
    while (j < winPath.size() && !isSep(winPath[j])) ++j;
    if (j > i) comps.emplace_back(winPath.substr(i, j - i));
    i = j;
  }
  if (comps.empty() && !absolute) return {};

  fs::path base = absolute ? fs::path("/") : fs::path(".");
  std::vector<std::string> out;  // resolved components
  bool resolving = true;
  std::vector<bool> resolvedFlags;
  for (const auto& c : comps) {
    if (c == L".") continue;
    if (c == L"..") {
      if (!out.empty() && out.back() != "..") {
        out.pop_back();
        resolvedFlags.pop_back();
        // Resolution may go on once we are back inside resolved folders.
        resolving = resolvedFlags.empty() || resolvedFlags.back();
      } else if (!absolute) {
        out.push_back("..");
        resolvedFlags.push_back(true);
      }
      continue;
    }
    if (resolving) {
      fs::path dir = base;
      for (const auto& o : out) dir /= o;
      if (auto name = findOnDisk(dir, c)) {
        out.push_back(*name);
        resolvedFlags.push_back(true);
        continue;
      }
      resolving = false;
    }
    out.push_back(toUtf8(c));
    resolvedFlags.push_back(false);
  }
  fs::path result = absolute ? fs::path("/") : fs::path();
  for (const auto& o : out) result /= o;
  if (result.empty()) result = ".";
  return result;
}

std::string nativePathUtf8(std::wstring_view winPath) { return nativePath(winPath).string(); }

std::wstring windowsPath(const fs::path& p) {
  std::wstring w = fromUtf8(p.string());
  for (auto& c : w)
    if (c == L'/') c = L'\\';
  return w;
}

std::wstring fileNameOf(std::wstring_view p) {
  size_t k = p.find_last_of(L"\\/");
  return std::wstring(k == std::wstring_view::npos ? p : p.substr(k + 1));
}

std::wstring directoryOf(std::wstring_view p) {
  size_t k = p.find_last_of(L"\\/");
  if (k == std::wstring_view::npos) return {};
  if (k == 0) return std::wstring(p.substr(0, 1));
  return std::wstring(p.substr(0, k));
}

std::wstring extensionOf(std::wstring_view p) {
  std::wstring name = fileNameOf(p);
  size_t k = name.find_last_of(L'.');
  if (k == std::wstring::npos || k == 0) return {};
  return name.substr(k);
}

std::wstring programPath() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::wstring() : windowsPath(p);
}

std::wstring currentDirectory() {
  std::error_code ec;
  fs::path p = fs::current_path(ec);
  return ec ? std::wstring() : windowsPath(p);
}

}  // namespace os
