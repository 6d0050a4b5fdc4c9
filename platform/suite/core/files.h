// Replacing files as one step, so that a failure (a full disk, a killed
// process) leaves either the old file or the new one, never a part.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace suite {

// Writes the new content with write(tmp) into a temporary file beside the
// target, flushes it to the disk, removes the target's stale rollback journal
// (a table's "<name>-journal" would otherwise be played onto the new file)
// and renames the temporary file over the target. On failure the target is
// as before, no temporary file is left, and error says why.
bool replaceFile(const std::filesystem::path& target,
                 const std::function<bool(const std::filesystem::path& tmp, std::string& error)>& write,
                 std::string& error);

// The two halves of replaceFile for a writer that keeps its temporary file
// open for a while: a fresh temporary path beside the target, and putting a
// finished temporary file in place (flushed, stale journal removed, renamed;
// on failure the temporary file is removed and the target left alone).
std::filesystem::path temporaryPathFor(const std::filesystem::path& target);
bool commitReplacement(const std::filesystem::path& tmp, const std::filesystem::path& target, std::string& error);

// Copies a file's bytes over the target that way.
bool copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error);

// Removes the journal files SQLite keeps beside a table ("-journal", "-wal").
// False when one exists and cannot be removed.
bool removeTableJournal(const std::filesystem::path& table, std::string& error);

}  // namespace suite
