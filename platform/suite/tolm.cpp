// Tolm.dll: the suite's base library. INI and line lists, formulas, number
// text, files and archives, table creation, and the progress, offset and
// input windows (headless: their answers come from the host's input queue
// and the shared window state).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cwchar>
#include <mutex>

#include "platform/editor/input.h"
#include "platform/os/os.h"
#include "platform/suite/core/archive.h"
#include "platform/suite/core/expr.h"
#include "platform/suite/core/files.h"
#include "platform/suite/core/hoststate.h"
#include "platform/suite/core/initext.h"
#include "platform/suite/core/table.h"
#include "platform/suite/core/text.h"
#include "platform/suite/suite_abi.h"

#define KIV_EXPORT extern "C" __attribute__((visibility("default")))

using suite::copyOut;
using suite::wview;

namespace {

constexpr size_t kPathCap = 260;
constexpr size_t kPrecCap = 100;
constexpr size_t kIniValueCap = 256;
constexpr size_t kNamesCap = 20480;
constexpr size_t kMaxOut = 1024000;

// Outputs derived from an input text are never longer than the input.
size_t capFor(const wchar_t* input) { return std::min(wview(input).size() + 1, kMaxOut); }

void notice(const std::string& text) { std::fprintf(stderr, "Tolm.dll: %s\n", text.c_str()); }

struct Progress {
  bool open = false;
  int steps = 0;
  int position = 0;
  int updates = 0;
  int cancelAt = 0;
  std::wstring cancelOn;  // cancel at the first update whose message starts so
  std::wstring caption, message;
};
std::mutex g_progressMutex;
Progress g_progress;

}  // namespace


KIV_EXPORT void Dll_InitVar(void* mainWindow) { suite::logCall(L"Dll_InitVar"); }

KIV_EXPORT void Dll_ExtractFileDir_W(const wchar_t* path, wchar_t* outDir) {
  std::wstring_view p = wview(path);
  size_t cut = p.find_last_of(L"\\/");
  std::wstring dir;
  if (cut != std::wstring_view::npos) {
    dir = std::wstring(p.substr(0, cut));
    // The root keeps its separator ("C:\", "\").
    if (dir.empty() || (dir.size() == 2 && dir[1] == L':')) dir = std::wstring(p.substr(0, cut + 1));
  }
  copyOut(dir, outDir, kPathCap);
}

namespace {

// A file copy replaces the target as one step (temporary file, flushed, then
// renamed), so a full disk or a killed process never leaves a cut table.
bool copyOne(const std::wstring& from, const std::wstring& to) {
  std::filesystem::path src = os::nativePath(from), dst = os::nativePath(to);
  std::error_code ec;
  std::string err;
  if (!std::filesystem::is_regular_file(src, ec)) err = "no such file";
  else if (std::filesystem::equivalent(src, dst, ec)) err = "copy onto itself";
  else if (std::filesystem::is_directory(dst, ec)) err = "the target is a folder";
  else if (suite::copyFileAtomically(src, dst, err)) return true;
  notice("cannot copy " + suite::narrow(from) + " to " + suite::narrow(to) + ": " + err);
  return false;
}

}  // namespace

KIV_EXPORT unsigned char Dll_CopyFiles_W(const wchar_t* from, const wchar_t* to, int flag) {
  std::wstring src(wview(from)), dst(wview(to));
  std::wstring dir = os::directoryOf(dst);
  if (!dir.empty() && !os::createDirectories(dir)) {
    notice("cannot create " + suite::narrow(dir));
    return 0;
  }
  if (flag == 1) return copyOne(src, dst) ? 1 : 0;
  bool ok = true;
  for (const auto& f : suite::matchFiles(src))
    if (!copyOne(f, (dir.empty() ? L"" : dir + L"\\") + os::fileNameOf(f))) ok = false;
  return ok ? 1 : 0;
}

KIV_EXPORT unsigned char Dll_DelFiles_W(const wchar_t* pattern) {
  bool ok = true;
  for (const auto& f : suite::matchFiles(wview(pattern)))
    if (!os::deleteFile(f)) ok = false;
  return ok ? 1 : 0;
}

KIV_EXPORT unsigned char Dll_ZipDir_W(const wchar_t* archive, const wchar_t* pattern) {
  std::string err;
  auto files = suite::matchFiles(wview(pattern));
  std::wstring dir = os::directoryOf(wview(archive));
  if (!dir.empty()) os::createDirectories(dir);
  if (!suite::zipFiles(wview(archive), files, err)) {
    notice(err);
    return 0;
  }
  return 1;
}

KIV_EXPORT unsigned char Dll_UnZipFile_W(const wchar_t* archive, const wchar_t* member, const wchar_t* folder) {
  std::string err;
  if (!suite::unzipMember(wview(archive), wview(member), wview(folder), err)) {
    notice(err);
    return 0;
  }
  return 1;
}

// A number whose text does not fit the caller's buffer of 100 characters
// (from about 1e99 on) gets an empty text and a notice: cut short it would
// read back as another number.
KIV_EXPORT void Dll_PrecStr_W(wchar_t* out, double value) {
  if (!out) return;
  const std::string text = suite::formatPrec(value);
  if (text.size() >= kPrecCap) {
    char shortest[64];
    const char* end = std::to_chars(shortest, shortest + sizeof shortest, value).ptr;
    notice("the text of " + std::string(shortest, static_cast<size_t>(end - shortest)) + " has " + std::to_string(text.size()) +
           " characters, more than the " + std::to_string(kPrecCap - 1) + " a number text holds; none written");
    out[0] = L'\0';
    return;
  }
  suite::copyOutUtf8(text, out, kPrecCap);
}

// The value's text, or an error when it does not fit the caller's buffer of
// 100 characters: a number cut short would be a wrong result.
KIV_EXPORT int Dll_ExpressMath_W(const wchar_t* expression, wchar_t* out, int flag) {
  auto r = suite::evaluate(wview(expression));
  std::string text = r.value ? suite::formatPrec(*r.value) : "";
  if (r.value && text.size() >= kPrecCap) {
    notice("the value of " + suite::narrow(wview(expression).substr(0, 200)) + " has " +
           std::to_string(text.size()) + " characters, more than the " + std::to_string(kPrecCap - 1) +
           " a result holds");
    r.value.reset();
  }
  if (!r.value) {
    copyOut(L"0", out, kPrecCap);
    return 0;
  }
  suite::copyOutUtf8(text, out, kPrecCap);
  return 1;
}

KIV_EXPORT int Dll_TStrsIndexOf_W(const wchar_t* lines, const wchar_t* text) {
  auto ls = suite::splitLines(wview(lines));
  std::wstring_view want = wview(text);
  for (size_t i = 0; i < ls.size(); ++i)
    if (ls[i] == want) return static_cast<int>(i);
  return -1;
}

KIV_EXPORT int Dll_TStrsIndexOfName_W(const wchar_t* lines, const wchar_t* name) {
  auto ls = suite::splitLines(wview(lines));
  std::wstring_view want = wview(name);
  for (size_t i = 0; i < ls.size(); ++i)
    if (suite::lineName(ls[i]) == want) return static_cast<int>(i);
  return -1;
}

KIV_EXPORT int Dll_TStrsIndexOfNames_W(const wchar_t* lines, const wchar_t* names, wchar_t* out) {
  auto wanted = suite::splitOn(wview(names), L',');
  std::vector<std::wstring> picked;
  for (const auto& l : suite::splitLines(wview(lines))) {
    std::wstring_view n = suite::lineName(l);
    for (const auto& w : wanted)
      if (!w.empty() && n == w) {
        picked.push_back(l);
        break;
      }
  }
  copyOut(suite::joinLines(picked), out, kNamesCap);
  return static_cast<int>(picked.size());
}

KIV_EXPORT void Dll_TStrsGet_W(const wchar_t* lines, const wchar_t* key, wchar_t* out) {
  copyOut(suite::listValue(wview(lines), wview(key)).value_or(L""), out, capFor(lines));
}

KIV_EXPORT void Dll_ReadIni_W(const wchar_t* file, const wchar_t* section, const wchar_t* key, wchar_t* out) {
  std::wstring value;
  if (auto text = suite::readTextFile(wview(file)))
    value = suite::iniValue(*text, wview(section), wview(key)).value_or(L"");
  copyOut(value, out, kIniValueCap);
}

KIV_EXPORT void Dll_MemIniReadSec_W(const wchar_t* ini, wchar_t* out) {
  copyOut(suite::joinLines(suite::iniSections(wview(ini))), out, capFor(ini));
}

KIV_EXPORT void Dll_MemIniRead_W(const wchar_t* ini, const wchar_t* section, wchar_t* out) {
  auto lines = suite::iniSectionLines(wview(ini), wview(section));
  copyOut(lines ? suite::joinLines(*lines) : L"", out, capFor(ini));
}

KIV_EXPORT void Dll_MemIniReadString_W(const wchar_t* ini, const wchar_t* section, const wchar_t* key,
                                       wchar_t* out) {
  copyOut(suite::iniValue(wview(ini), wview(section), wview(key)).value_or(L""), out, capFor(ini));
}

KIV_EXPORT unsigned char Dll_ProgressWin_W(const wchar_t* caption, const wchar_t* message, int a, int b, int c,
                                           int op) {
  std::lock_guard lock(g_progressMutex);
  Progress& p = g_progress;
  switch (op) {
    case 0:
      p.open = true;
      p.steps = b;
      p.position = c;
      if (p.cancelAt) p.cancelAt = std::max(1, p.cancelAt - p.updates);  // stays counted from the request
      p.updates = 0;
      p.caption = wview(caption);
      p.message = wview(message);
      return 1;
    case 2: {
      p.message = wview(message);
      p.position = c;
      ++p.updates;
      bool cancelled = (p.cancelAt > 0 && p.updates >= p.cancelAt) ||
                       (!p.cancelOn.empty() && p.message.compare(0, p.cancelOn.size(), p.cancelOn) == 0);
      // The user presses Escape: an Escape waiting in the input queue is
      // taken by the window.
      const ed::InputToken* t = ed::inputQueue().peek();
      if (!cancelled && t && t->kind == ed::TokenKind::Escape) {
        ed::inputQueue().next();
        cancelled = true;
      }
      if (cancelled) {
        p.cancelAt = 0;
        p.cancelOn.clear();
      }
      return cancelled ? 0 : 1;
    }
    case 4:
      p.open = false;
      return 1;
    default:
      return 1;
  }
}

KIV_EXPORT void KivTolm_CancelProgressAt(int k) {
  std::lock_guard lock(g_progressMutex);
  g_progress.cancelAt = k > 0 ? g_progress.updates + k : 0;
}

namespace {
// The script's way to the same: ".cancelprogress K" (0 clears), or
// ".cancelprogress TEXT": at the first update whose message starts with TEXT.
struct CancelProgressDirective {
  CancelProgressDirective() {
    ed::registerDirective(L".cancelprogress", [](const ed::InputToken& t, std::wstring& error) {
      if (t.args.size() != 1 || t.args[0].empty()) {
        error = L".cancelprogress: a count or the start of a progress message expected";
        return false;
      }
      wchar_t* end = nullptr;
      const long k = std::wcstol(t.args[0].c_str(), &end, 10);
      if (end && !*end && k >= 0) {
        KivTolm_CancelProgressAt(static_cast<int>(k));
        return true;
      }
      std::lock_guard lock(g_progressMutex);
      g_progress.cancelOn = t.args[0];
      return true;
    });
  }
  ~CancelProgressDirective() { ed::unregisterDirective(L".cancelprogress"); }
} g_cancelProgressDirective;
}  // namespace

KIV_EXPORT int KivTolm_ProgressState(int* open, int* steps, int* position) {
  std::lock_guard lock(g_progressMutex);
  if (open) *open = g_progress.open ? 1 : 0;
  if (steps) *steps = g_progress.steps;
  if (position) *position = g_progress.position;
  return g_progress.updates;
}

KIV_EXPORT unsigned char Dll_DbCreateStru_W(const wchar_t* path, const wchar_t* fields) {
  suite::Table t;
  std::string err;
  if (!suite::parseFieldList(wview(fields), t.fields, err)) {
    notice("table structure of " + suite::narrow(wview(path)) + ": " + err);
    return 0;
  }
  t.rebuildIndex();
  std::wstring dir = os::directoryOf(wview(path));
  if (!dir.empty()) os::createDirectories(dir);
  if (!suite::replaceTableFile(os::nativePath(wview(path)), t, err)) {
    notice("cannot create table " + suite::narrow(wview(path)) + ": " + err);
    return 0;
  }
  return 1;
}

KIV_EXPORT unsigned char Dll_OffsetWin(int mode, int x, int y, double* dx, double* dy, double* z) {
  auto& s = suite::hostState();
  std::lock_guard lock(s.mutex);
  if (dx) *dx = s.offset[0];
  if (dy) *dy = s.offset[1];
  if (z) *z = s.offset[2];
  return 1;
}

KIV_EXPORT int Dll_InputWinShow_W(int mode, const wchar_t* text, int a, int b, wchar_t* buffer) { return 1; }
