// Zip archives and file patterns of the base library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace suite {

// The files (not folders) that a pattern "dir\*.DB" names, as Windows-style
// paths "dir\name", sorted by name. The folder part is resolved as os does.
std::vector<std::wstring> matchFiles(std::wstring_view pattern);

// Writes a new archive (replacing the file) holding the given files under
// their file names. False with a reason on failure.
bool zipFiles(std::wstring_view archive, const std::vector<std::wstring>& files, std::string& error);
// Extracts the member (exact name first, then case-insensitively, then by
// its file name within a folder of the archive) into folder, replacing a
// file of that name. The folder is created when missing.
bool unzipMember(std::wstring_view archive, std::wstring_view member, std::wstring_view folder,
                 std::string& error);
// The member names of an archive.
bool listArchive(std::wstring_view archive, std::vector<std::wstring>& names, std::string& error);

}  // namespace suite
