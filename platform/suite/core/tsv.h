// Tab-separated text of a table (format in platform/suite/README.md).
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/suite/core/table.h"

namespace suite {

// Reads the TSV text; blob references "@path" are read relative to baseDir.
// False with "line N: reason" on bad input.
bool parseTsv(std::string_view text, const std::filesystem::path& baseDir, Table& out,
              std::string& error);
// The largest text read as a table: far beyond the text of any table the
// suite keeps (blobs embedded as base64 included).
constexpr std::size_t kMaxTsvBytes = std::size_t(256) << 20;
// Reads a file of at most kMaxTsvBytes (a folder or an input with no end is
// refused) and parses it.
bool readTsvFile(const std::filesystem::path& file, Table& out, std::string& error);

struct TsvWriteOptions {
  // Blobs are embedded as base64 when empty; otherwise written as files in
  // this folder and referenced relative to refBase.
  std::filesystem::path blobDir;
  std::filesystem::path refBase;
};
bool writeTsv(const Table& t, std::ostream& out, const TsvWriteOptions& opt, std::string& error);

std::string escapeCell(std::string_view s);
std::string base64Encode(std::string_view bytes);
bool base64Decode(std::string_view text, std::string& out);

}  // namespace suite
