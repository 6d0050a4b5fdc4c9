// INI text and "name=value" line lists, read the way the base library does:
// section and key names compared exactly after trimming blanks, the first of
// duplicates wins, lines starting with ';' are comments.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace suite {

std::vector<std::wstring> iniSections(std::wstring_view ini);
// The lines of the section (blank and comment lines left out), as written;
// nullopt when there is no such section.
std::optional<std::vector<std::wstring>> iniSectionLines(std::wstring_view ini, std::wstring_view section);
std::optional<std::wstring> iniValue(std::wstring_view ini, std::wstring_view section, std::wstring_view key);

// Name part of a line: the text before its first '=' (the whole line without).
std::wstring_view lineName(std::wstring_view line);
// Value of the first line "key=value" whose name equals key exactly.
std::optional<std::wstring> listValue(std::wstring_view lines, std::wstring_view key);

// Reads a text file as the base library reads INI files: UTF-16LE with its
// mark, UTF-8 (with or without a mark), else the system code page.
std::optional<std::wstring> readTextFile(std::wstring_view path);

}  // namespace suite
