#include "module/takeoff/result_set.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <utility>
#include <vector>

#include "module/toolkit/project_paths.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

// The work folders of the take-off and of the region take-off.
const wchar_t* const kWorkFolders[] = {L"~takeoff", L"~region"};
// In a work folder: the commit record and the folder the previous tables
// are moved into.
const wchar_t* const kRecord = L"~commit.txt";
const wchar_t* const kPrevious = L"~previous";

std::wstring g_resultFolder;

// A table file: name.DB or name.MB (any case).
bool isTableFile(const std::wstring& name) {
  if (name.size() < 4 || name[name.size() - 3] != L'.') return false;
  const std::wstring ext = os::toUpper(name.substr(name.size() - 2));
  return ext == L"DB" || ext == L"MB";
}

struct Move {
  bool replaces = false;  // a previous table stands in the project folder
  std::wstring name;
};

std::string recordText(const std::vector<Move>& moves) {
  std::string text;
  for (const Move& m : moves) text += (m.replaces ? "R\t" : "N\t") + os::toUtf8(m.name) + "\n";
  return text;
}

bool readRecord(const std::wstring& path, std::vector<Move>& moves) {
  const std::optional<std::string> text = os::readFile(path);
  if (!text) return false;
  size_t at = 0;
  while (at < text->size()) {
    size_t end = text->find('\n', at);
    if (end == std::string::npos) return false;  // a record is written whole, so a cut one is not one
    const std::string line = text->substr(at, end - at);
    at = end + 1;
    if (line.size() < 3 || line[1] != '\t' || (line[0] != 'R' && line[0] != 'N')) return false;
    moves.push_back(Move{line[0] == 'R', os::fromUtf8(line.substr(2))});
  }
  return true;
}

// Puts the tables of the record in place, from where the moves stopped: each
// previous table goes into the work folder's previous folder, then the new
// one into the project folder.
bool moveIn(const std::wstring& project, const std::wstring& work, const std::vector<Move>& moves) {
  for (const Move& m : moves) {
    const std::wstring from = work + L"\\" + m.name, to = project + L"\\" + m.name,
                       previous = work + L"\\" + kPrevious + L"\\" + m.name;
    if (!os::isFile(from)) continue;  // moved in already
    if (m.replaces && os::exists(to) && !os::exists(previous) && !os::renameFile(to, previous, false)) return false;
    if (os::isFile(to + L"-journal")) os::deleteFile(to + L"-journal");
    if (!os::renameFile(from, to, true)) return false;
  }
  return true;
}

// Takes the moves back: each previous table returns; a table that had no
// previous one and was moved in goes.
bool moveBack(const std::wstring& project, const std::wstring& work, const std::vector<Move>& moves) {
  bool ok = true;
  for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
    const std::wstring from = work + L"\\" + it->name, to = project + L"\\" + it->name,
                       previous = work + L"\\" + kPrevious + L"\\" + it->name;
    if (os::isFile(previous))
      ok = os::renameFile(previous, to, true) && ok;
    else if (!it->replaces && !os::isFile(from) && os::isFile(to))
      ok = os::deleteFile(to) && ok;
  }
  return ok;
}

bool processAlive(long pid) {
  if (pid <= 0) return false;
  if (pid == static_cast<long>(::getpid())) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// "X.DB.tmp<pid>.<n>": the table library's temporary file; the writer's
// process id, or 0 when the name is not one.
long tempFileWriter(const std::wstring& name) {
  const size_t t = name.rfind(L".tmp");
  if (t == std::wstring::npos || t < 3 || !isTableFile(name.substr(0, t))) return 0;
  const wchar_t* p = name.c_str() + t + 4;
  wchar_t* end = nullptr;
  const long pid = std::wcstol(p, &end, 10);
  if (end == p || *end != L'.' || !std::iswdigit(end[1])) return 0;
  for (const wchar_t* q = end + 1; *q; ++q)
    if (!std::iswdigit(*q)) return 0;
  return pid;
}

}  // namespace

std::wstring ResultFolderPath() { return g_resultFolder.empty() ? ProjectFolderPath() : g_resultFolder; }

RunResultSet::RunResultSet(const wchar_t* name) : project_(ProjectFolderPath()), work_(project_ + L"\\" + name) {
  SettleLeftResultSets(project_);
  os::removeDirectoryRecursive(work_);
  ready_ = !os::exists(work_) && os::createDirectories(work_) && os::createDirectory(work_ + L"\\" + kPrevious);
  if (ready_) g_resultFolder = work_;
}

RunResultSet::~RunResultSet() {
  g_resultFolder.clear();
  // A record still here is one that could not be finished nor undone: the
  // previous tables it holds stay for the next open.
  if (!os::exists(work_ + L"\\" + kRecord)) os::removeDirectoryRecursive(work_);
}

bool RunResultSet::ready(std::wstring& failure) const {
  if (!ready_) failure = L"\n无法建立工作文件夹" + work_ + L"。\n";
  return ready_;
}

bool RunResultSet::commit(std::wstring& failure) {
  std::vector<Move> moves;
  const auto entries = os::listDirectory(work_);
  if (!entries) {
    failure = L"\n无法读取工作文件夹" + work_ + L"。\n";
    return false;
  }
  for (const os::DirEntry& e : *entries) {
    if (e.isDirectory || !isTableFile(e.name)) continue;
    const std::wstring to = project_ + L"\\" + e.name;
    if (os::exists(to) && !os::isFile(to)) {
      failure = L"\n无法写入" + to + L"：那里是一个文件夹，不是表文件。\n";
      return false;
    }
    moves.push_back(Move{os::exists(to), e.name});
  }
  if (!os::writeFile(work_ + L"\\" + kRecord, recordText(moves))) {
    failure = L"\n无法在" + work_ + L"中写入提交记录(" + os::fromUtf8(os::lastError()) + L")。\n";
    return false;
  }
  if (!moveIn(project_, work_, moves)) {
    failure = L"\n无法把新的计算结果放入" + project_ + L"(" + os::fromUtf8(os::lastError()) + L")。\n";
    if (moveBack(project_, work_, moves)) os::deleteFile(work_ + L"\\" + kRecord);
    return false;
  }
  os::deleteFile(work_ + L"\\" + kRecord);
  return true;
}

void SettleLeftResultSets(const std::wstring& project) {
  for (const wchar_t* name : kWorkFolders) {
    const std::wstring work = project + L"\\" + name, record = work + L"\\" + kRecord;
    if (!os::isDirectory(work)) continue;
    std::vector<Move> moves;
    if (os::isFile(record)) {
      if (readRecord(record, moves) && moveIn(project, work, moves)) {
        ed::printText(L"\n上次中断的计算已把新的计算结果全部放入工程。\n");
      } else if (moveBack(project, work, moves)) {
        ed::printText(L"\n上次中断的计算未能完成，原有的计算结果已恢复。\n");
      } else {
        ed::printText(L"\n上次中断的计算结果无法整理，请检查" + work + L"。\n");
        continue;  // the previous tables stay in the work folder
      }
    }
    os::removeDirectoryRecursive(work);
  }
  // Temporary files of table writers that no longer run.
  if (const auto entries = os::listDirectory(project, L"*.tmp*")) {
    for (const os::DirEntry& e : *entries) {
      const long pid = e.isDirectory ? 0 : tempFileWriter(e.name);
      if (pid > 0 && !processAlive(pid)) os::deleteFile(project + L"\\" + e.name);
    }
  }
}
