#include "platform/suite/core/archive.h"

#include <zip.h>

#include <fstream>
#include <memory>

#include "platform/os/os.h"
#include "platform/suite/core/files.h"
#include "platform/suite/core/text.h"

namespace suite {

std::vector<std::wstring> matchFiles(std::wstring_view pattern) {
  std::vector<std::wstring> out;
  std::wstring dir = os::directoryOf(pattern);
  std::wstring mask = os::fileNameOf(pattern);
  if (mask.empty()) return out;
  auto entries = os::listDirectory(dir.empty() ? std::wstring_view(L".") : std::wstring_view(dir), mask);
  if (!entries) return out;
  for (const auto& e : *entries) {
    if (e.isDirectory) continue;
    out.push_back(dir.empty() ? e.name : dir + L"\\" + e.name);
  }
  return out;
}

namespace {
struct ZipCloser {
  void operator()(zip_t* z) const {
    if (z) zip_discard(z);
  }
};
std::string zipError(zip_t* z) {
  const char* m = z ? zip_strerror(z) : nullptr;
  return m ? m : "zip error";
}
}  // namespace

bool zipFiles(std::wstring_view archive, const std::vector<std::wstring>& files, std::string& error) {
  std::string path = os::nativePathUtf8(archive);
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    error = std::string("cannot create ") + path + ": " + zip_error_strerror(&ze);
    zip_error_fini(&ze);
    return false;
  }
  std::unique_ptr<zip_t, ZipCloser> guard(z);
  for (const auto& f : files) {
    std::string native = os::nativePathUtf8(f);
    zip_source_t* src = zip_source_file(z, native.c_str(), 0, -1);
    if (!src) {
      error = "cannot read " + native + ": " + zipError(z);
      return false;
    }
    std::string name = narrow(os::fileNameOf(f));
    if (zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(src);
      error = "cannot add " + name + ": " + zipError(z);
      return false;
    }
  }
  guard.release();
  if (zip_close(z) < 0) {
    error = "cannot write " + path + ": " + zipError(z);
    zip_discard(z);
    return false;
  }
  return true;
}

bool listArchive(std::wstring_view archive, std::vector<std::wstring>& names, std::string& error) {
  names.clear();
  std::string path = os::nativePathUtf8(archive);
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!z) {
    error = "cannot open archive " + path;
    return false;
  }
  std::unique_ptr<zip_t, ZipCloser> guard(z);
  zip_int64_t n = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    if (name) names.push_back(widen(name));
  }
  return true;
}

bool unzipMember(std::wstring_view archive, std::wstring_view member, std::wstring_view folder,
                 std::string& error) {
  std::string path = os::nativePathUtf8(archive);
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!z) {
    error = "cannot open archive " + path;
    return false;
  }
  std::unique_ptr<zip_t, ZipCloser> guard(z);
  std::wstring want(member);
  for (auto& c : want)
    if (c == L'\\') c = L'/';
  zip_int64_t index = zip_name_locate(z, narrow(want).c_str(), ZIP_FL_ENC_UTF_8);
  if (index < 0) {
    zip_int64_t n = zip_get_num_entries(z, 0);
    zip_int64_t byBase = -1;
    for (zip_int64_t i = 0; i < n && index < 0; ++i) {
      const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
      if (!name) continue;
      std::wstring w = widen(name);
      if (os::iequals(w, want)) index = i;
      else if (byBase < 0 && os::iequals(os::fileNameOf(w), os::fileNameOf(want)) && !w.empty() &&
               w.back() != L'/')
        byBase = i;
    }
    if (index < 0) index = byBase;
  }
  if (index < 0) {
    error = "no member " + narrow(member) + " in " + path;
    return false;
  }
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(z, static_cast<zip_uint64_t>(index), 0, &st) < 0) {
    error = zipError(z);
    return false;
  }
  zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(index), 0);
  if (!f) {
    error = "cannot read member: " + zipError(z);
    return false;
  }
  std::string bytes;
  char buf[65536];
  zip_int64_t got;
  while ((got = zip_fread(f, buf, sizeof buf)) > 0) bytes.append(buf, static_cast<size_t>(got));
  zip_fclose(f);
  if (got < 0) {
    error = "cannot read member";
    return false;
  }
  if (!os::createDirectories(folder)) {
    error = "cannot create folder " + narrow(folder);
    return false;
  }
  std::wstring target = std::wstring(folder) + L"\\" + os::fileNameOf(want);
  // The member replaces the file (a table template, say) whole.
  return replaceFile(
      os::nativePath(target),
      [&](const std::filesystem::path& tmp, std::string& err) {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) err = "cannot write " + narrow(target);
        return static_cast<bool>(out);
      },
      error);
}

}  // namespace suite
