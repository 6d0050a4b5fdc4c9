// The operating-system layer: shared libraries loaded by file name, Windows-
// style paths mapped onto the file system, text encodings, files and folders,
// INI files and the local clock.
//
// Conventions for the whole layer:
// - Paths come in as wide text in Windows style: '\' or '/' separate the
//   components, an optional drive prefix "X:" is dropped, and every existing
//   component is matched case-insensitively (see nativePath).
// - Nothing throws across this API. Functions answer a bool, an optional or an
//   empty value; lastError() tells the reason of the latest failure on this
//   thread in words, for messages and tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace os {

// Reason of the latest failing call on this thread (empty when none failed).
const std::string& lastError();

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// UTF-8 <-> wide (UTF-32 wchar_t). Malformed UTF-8 becomes U+FFFD per bad byte;
// wide characters that are not Unicode scalar values become U+FFFD.
std::wstring fromUtf8(std::string_view s);
std::string toUtf8(std::wstring_view w);
bool isValidUtf8(std::string_view s);

// The system code page of the 8-bit ("_A") entry points. "GBK" unless changed;
// any name iconv knows works. An unknown name is refused (false).
const std::string& codePage();
bool setCodePage(const std::string& name);

// System code page <-> wide. Bytes that do not decode become U+FFFD; characters
// the code page cannot hold become '?'.
std::wstring fromCodePage(std::string_view s);
std::string toCodePage(std::wstring_view w);
// Same with a named encoding (e.g. "GBK", "UTF-16LE"); nullopt when iconv does
// not know it.
std::optional<std::wstring> decode(std::string_view bytes, const char* encoding);
std::optional<std::string> encode(std::wstring_view text, const char* encoding);

// Case mapping as the host does for file names and keys (towupper/towlower on
// every character; CJK text is unchanged).
std::wstring toUpper(std::wstring_view w);
std::wstring toLower(std::wstring_view w);
bool iequals(std::wstring_view a, std::wstring_view b);
// Wildcard match of a name against a pattern with '*' and '?', case-insensitive
// ("*.*" and "*" match every name).
bool wildcardMatch(std::wstring_view name, std::wstring_view pattern);

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

// Maps a Windows-style path onto the file system. Separators '\' and '/' are
// both accepted, runs of them count as one, "." and ".." are applied, a drive
// prefix "X:" is dropped. Each component that exists under its parent with a
// different letter case is replaced by the name on disk (an exact match wins
// over a case-insensitive one); the first component that does not exist and
// everything after it are kept as given, so a file about to be created keeps
// its new name inside its case-resolved parent folder. A path not starting with
// a separator is relative to the current directory (and is returned relative).
std::filesystem::path nativePath(std::wstring_view winPath);
// The same, as UTF-8 text.
std::string nativePathUtf8(std::wstring_view winPath);
// A native path in the Windows style the module expects from the host: UTF-8
// decoded, every '/' turned into '\'. "/work/a/b.dll" -> "\work\a\b.dll".
std::wstring windowsPath(const std::filesystem::path& p);
// Splitting helpers on Windows-style text (either separator).
std::wstring fileNameOf(std::wstring_view winPath);   // "a\b\c.dll" -> "c.dll"
std::wstring directoryOf(std::wstring_view winPath);  // "a\b\c.dll" -> "a\b"
std::wstring extensionOf(std::wstring_view winPath);  // "c.Dll" -> ".Dll" ("" if none)

// ---------------------------------------------------------------------------
// Files and folders (all paths Windows style, resolved through nativePath)
// ---------------------------------------------------------------------------

bool exists(std::wstring_view path);  // a file or a folder
bool isFile(std::wstring_view path);
bool isDirectory(std::wstring_view path);
std::optional<std::uintmax_t> fileSize(std::wstring_view path);

// Copies a file; with failIfExists an existing target makes it fail, else the
// target is overwritten. Copying a file onto itself fails.
bool copyFile(std::wstring_view from, std::wstring_view to, bool failIfExists = false);
bool deleteFile(std::wstring_view path);  // files only; a missing file fails
// Renames or moves a file or folder. With replace an existing target file is
// replaced; without it an existing target makes it fail.
bool renameFile(std::wstring_view from, std::wstring_view to, bool replace = false);

// One folder; fails when it exists or its parent does not.
bool createDirectory(std::wstring_view path);
// The folder and any missing parents; true when it already exists as a folder.
bool createDirectories(std::wstring_view path);
// Removes an empty folder; fails when it is missing, not a folder or not empty.
bool removeDirectory(std::wstring_view path);
// Removes a folder with everything in it.
bool removeDirectoryRecursive(std::wstring_view path);

struct DirEntry {
  std::wstring name;  // file name only, as on disk
  bool isDirectory = false;
  std::uintmax_t size = 0;  // 0 for folders
};
// The entries of a folder whose names match the wildcard pattern, sorted by
// name (byte order of the UTF-8 names), "." and ".." excluded. nullopt when the
// folder cannot be read.
std::optional<std::vector<DirEntry>> listDirectory(std::wstring_view path,
                                                   std::wstring_view pattern = L"*");

// Whole-file reading and writing (bytes as they are). writeFile writes to a
// temporary file beside the target and renames it over the target.
std::optional<std::string> readFile(std::wstring_view path);
bool writeFile(std::wstring_view path, std::string_view bytes);
// Reads an input given by the user (a script, a text to import) whole, with a
// bound: at most limit bytes. A folder or a device (/dev/zero, which never
// ends) is refused, and so is an input that holds more than limit bytes,
// which is read no further than the limit. readInputFrom reads an open
// descriptor (standard input, which may be a pipe or a terminal) to its end
// with the same bound; name is what the messages call it. nullopt with the
// reason in lastError() ("... is a folder", "... is a device, not a file",
// "... holds more than 256 MB", the system's error).
std::optional<std::string> readInput(const std::filesystem::path& file, std::size_t limit);
std::optional<std::string> readInputFrom(int fd, std::string_view name, std::size_t limit);
// The same on a native path, as a drawing or table save needs it: the bytes go
// to "<target>.kivtmp" beside the target (a leftover of an interrupted save is
// removed first), the file and then its folder are flushed to disk before and
// after the rename, so that a crash leaves either the old file or the new one.
// A symbolic link is followed: the file it names is replaced (its temporary
// file beside that file), and the link stays. A read-only target (no write
// permission bit) is refused and left alone, as is a target that is a folder
// or anything else but a regular file (a device, a pipe). On failure the
// target is unchanged and the temporary file removed.
bool replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);
// The temporary file replaceFileAtomically writes beside a target.
std::filesystem::path atomicTempPath(const std::filesystem::path& target);

// The folder for temporary files (TMPDIR or /tmp), in Windows style.
std::wstring tempDirectory();
// Creates a new empty file "<prefix><unique>.tmp" in dir and returns its path
// (Windows style, as dir was given plus '\' and the name); empty on failure.
std::wstring tempFileName(std::wstring_view dir, std::wstring_view prefix = L"kiv");

// The running program's full path and the current directory, Windows style.
std::wstring programPath();
std::wstring currentDirectory();

// ---------------------------------------------------------------------------
// Local time
// ---------------------------------------------------------------------------

struct LocalTime {
  int year = 0, month = 0, day = 0;           // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 0;                          // 0 = Sunday
};
LocalTime localTime();
// Tests and scripts may fix the clock; nullopt returns to the real one.
void setFixedLocalTime(std::optional<LocalTime> t);

// ---------------------------------------------------------------------------
// Shared libraries
// ---------------------------------------------------------------------------

// An opaque handle of a loaded library. Null means "none".
struct Module;
using ModuleHandle = Module*;

// Loads a shared library by file name. A name with a folder is resolved with
// nativePath. A bare name ("Tolm.dll") is first looked up among the libraries
// already loaded (by base name, case-insensitively), then in the folders of
// addLibrarySearchDir (in the order added), then beside the running program,
// then in the current directory, each case-insensitively. Loading an already
// loaded file again answers the same handle and counts one more reference.
// Null when the file is missing or is no loadable library (see lastError()).
ModuleHandle loadLibrary(std::wstring_view fileName);
// Drops one reference; the library is unloaded when none remain. False for a
// handle that is not loaded.
bool freeLibrary(ModuleHandle h);
// The handle of an already loaded library by its base name ("Zeb.Arx") or
// full path, case-insensitively; does not load and counts no reference. An
// empty name answers the running program's handle.
ModuleHandle moduleHandle(std::wstring_view name);
// The running program's handle (never null; it is not a library and has no
// functions through findFunction).
ModuleHandle programModule();
// The exported function or object `name` of a loaded library; null when the
// handle is not loaded or the library has no such symbol.
void* findFunction(ModuleHandle h, const char* name);
template <class Fn>
Fn findFunction(ModuleHandle h, const char* name) {
  return reinterpret_cast<Fn>(findFunction(h, name));
}
// The full file name of a loaded library in Windows style (every separator
// '\'), e.g. "\work\build\suite\系统文件\Tolm.dll"; for programModule() or null
// the running program's path. Empty for a handle that is not loaded.
std::wstring moduleFileName(ModuleHandle h);
// The loaded library that contains the given code or data address (a library
// finds its own handle this way); null when it is none loaded by loadLibrary.
ModuleHandle moduleOfAddress(const void* address);
// Extra folders searched for bare library names (Windows style or native).
void addLibrarySearchDir(std::wstring_view dir);
void clearLibrarySearchDirs();
// Libraries currently loaded through loadLibrary (full file names as by
// moduleFileName, in load order).
std::vector<std::wstring> loadedLibraries();

// ---------------------------------------------------------------------------
// Large blocks
// ---------------------------------------------------------------------------

// The memory of one large buffer that grows, such as a text of many
// megabytes. From a megabyte on, a block is mapped on its own and marked for
// large pages, and it grows in place where it can: filling it then takes a
// fraction of the page faults that heap memory would. Smaller blocks come
// from the heap.
class LargeBlock {
 public:
  LargeBlock() = default;
  LargeBlock(const LargeBlock&) = delete;
  LargeBlock& operator=(const LargeBlock&) = delete;
  LargeBlock(LargeBlock&& other) noexcept;
  LargeBlock& operator=(LargeBlock&& other) noexcept;
  ~LargeBlock();

  void* data() const { return data_; }
  size_t capacity() const { return capacity_; }  // in bytes
  // Room for at least `bytes`, the first `keep` bytes kept; false, with the
  // block as it was, when the memory could not be had.
  bool reserve(size_t bytes, size_t keep);

 private:
  void release();
  void* data_ = nullptr;
  size_t capacity_ = 0;
  bool mapped_ = false;
};

// ---------------------------------------------------------------------------
// INI files
// ---------------------------------------------------------------------------

// An INI file in memory. Section and key names match case-insensitively after
// trimming blanks; values are trimmed, and one pair of surrounding double
// quotes is removed on reading. The first of duplicate sections or keys wins.
// Lines starting with ';' or '#' are comments. Setting a key changes only its
// line; a new key goes after the last key of its section, a new section at the
// end; comments, blank lines and order stay as they were.
class IniFile {
 public:
  enum class Encoding { Utf8, Utf8Bom, CodePage, Utf16Le };

  IniFile() = default;
  // Reads the file: UTF-16LE with its byte-order mark, UTF-8 (with or without
  // a mark) when the bytes are valid UTF-8, else the system code page. False
  // when the file cannot be read; the object is then empty and a later save()
  // creates it (UTF-8).
  bool load(std::wstring_view path);
  // Parses text already in memory.
  void parse(std::wstring_view text);
  // Writes back in the encoding and line ending it was read with (UTF-8 and
  // "\r\n" for a new file); to the path it was loaded from unless one is given.
  bool save(std::wstring_view path = {}) const;

  std::optional<std::wstring> get(std::wstring_view section, std::wstring_view key) const;
  std::wstring get(std::wstring_view section, std::wstring_view key,
                   std::wstring_view fallback) const;
  void set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  bool removeKey(std::wstring_view section, std::wstring_view key);
  bool removeSection(std::wstring_view section);
  bool hasSection(std::wstring_view section) const;
  std::vector<std::wstring> sections() const;
  std::vector<std::wstring> keys(std::wstring_view section) const;
  // All the file as text, lines joined with the file's line ending.
  std::wstring text() const;

  Encoding encoding() const { return encoding_; }
  void setEncoding(Encoding e) { encoding_ = e; }

 private:
  struct Line {
    std::wstring raw;      // the line as read (without its line ending)
    std::wstring section;  // section header name, when a header
    std::wstring key;      // key name, when a key line
    bool isSection = false;
    bool isKey = false;
  };
  int findSection(std::wstring_view section) const;
  int findKey(int sectionLine, std::wstring_view key) const;
  std::vector<Line> lines_;
  std::wstring path_;
  Encoding encoding_ = Encoding::Utf8;
  std::wstring eol_ = L"\r\n";
};

// One-call helpers in the manner of the host's profile functions.
std::wstring iniRead(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                     std::wstring_view fallback = {});
// Writes one key, creating the file and the section as needed.
bool iniWrite(std::wstring_view path, std::wstring_view section, std::wstring_view key,
              std::wstring_view value);

}  // namespace os
