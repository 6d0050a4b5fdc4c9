#include "platform/suite/core/tsv.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/os/os.h"
#include "platform/suite/core/text.h"

namespace suite {

namespace {

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Splits one line into cells, undoing the escapes.
bool splitCells(std::string_view line, std::vector<std::string>& cells, std::string& error) {
  cells.clear();
  cells.emplace_back();
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      cells.emplace_back();
    } else if (c == '\\') {
      if (i + 1 >= line.size()) {
        error = "backslash at the end of the line";
        return false;
      }
      char e = line[++i];
      switch (e) {
        case 't': cells.back().push_back('\t'); break;
        case 'r': cells.back().push_back('\r'); break;
        case 'n': cells.back().push_back('\n'); break;
        case '\\': cells.back().push_back('\\'); break;
        case 'e': break;
        default:
          error = std::string("unknown escape \\") + e;
          return false;
      }
    } else {
      cells.back().push_back(c);
    }
  }
  return true;
}

// The table file stores each field as a column beside its own order column
// "_ord", and its column names ignore the case of ASCII letters: a name that
// meets "_ord" or an earlier field that way cannot be stored. "" when the
// last field of the table is free of both.
std::string columnClash(const Table& t, const std::string& name) {
  auto folded = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  const std::string key = folded(name);
  if (key == "_ord") return "field name \"" + name + "\" is taken by the table's own order column \"_ord\"";
  for (size_t i = 0; i + 1 < t.fields.size(); ++i)
    if (folded(t.fields[i].name) == key)
      return "field \"" + name + "\" differs from field \"" + t.fields[i].name +
             "\" only in case; field names must differ in more than case";
  return {};
}

}  // namespace

std::string escapeCell(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string base64Encode(std::string_view in) {
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    out += kB64[(v >> 18) & 63];
    out += kB64[(v >> 12) & 63];
    out += kB64[(v >> 6) & 63];
    out += kB64[v & 63];
  }
  if (i < in.size()) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    out += kB64[(v >> 18) & 63];
    out += kB64[(v >> 12) & 63];
    out += i + 1 < in.size() ? kB64[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool base64Decode(std::string_view text, std::string& out) {
  out.clear();
  unsigned v = 0;
  int bits = 0;
  size_t pad = 0;
  for (char c : text) {
    if (c == '=') {
      ++pad;
      continue;
    }
    if (pad) return false;
    const char* p = std::strchr(kB64, c);
    if (!p || !c) return false;
    v = (v << 6) | static_cast<unsigned>(p - kB64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((v >> bits) & 0xFF));
    }
  }
  return pad <= 2;
}

bool parseTsv(std::string_view text, const std::filesystem::path& baseDir, Table& out,
              std::string& error) {
  out = Table();
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (!os::isValidUtf8(text)) {
    error = "the text is not UTF-8";
    return false;
  }
  size_t pos = 0;
  int lineNo = 0;
  bool header = true;
  std::vector<std::string> cells;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    std::string err;
    if (!splitCells(line, cells, err)) {
      error = "line " + std::to_string(lineNo) + ": " + err;
      return false;
    }
    if (header) {
      header = false;
      for (const std::string& spec : cells) {
        Field f;
        if (!parseFieldSpec(spec, f, err)) {
          error = "line " + std::to_string(lineNo) + ": " + err;
          return false;
        }
        if (!out.addField(f)) {
          error = "line " + std::to_string(lineNo) + ": field \"" + f.name + "\" named twice";
          return false;
        }
        if (std::string why = columnClash(out, f.name); !why.empty()) {
          error = "line " + std::to_string(lineNo) + ": " + why;
          return false;
        }
      }
      continue;
    }
    if (cells.size() > out.fields.size()) {
      error = "line " + std::to_string(lineNo) + ": " + std::to_string(cells.size()) + " cells for " +
              std::to_string(out.fields.size()) + " fields";
      return false;
    }
    Record r(out.fields.size());
    for (size_t i = 0; i < cells.size(); ++i) {
      const std::string& c = cells[i];
      const Field& f = out.fields[i];
      if (f.type == FieldType::Blob) {
        if (c.empty()) continue;
        if (c[0] == '@') {
          std::wstring rel = widen(std::string_view(c).substr(1));
          auto full = os::nativePath(os::windowsPath(baseDir) + L"\\" + rel);
          // A name cut short by a zero byte, or naming a folder, would read
          // as an empty blob.
          if (rel.find(L'\0') != std::wstring::npos) {
            error = "line " + std::to_string(lineNo) + ": the blob file name in field \"" + f.name +
                    "\" holds a zero byte";
            return false;
          }
          std::error_code ec;
          std::ifstream in;
          if (std::filesystem::is_regular_file(full, ec)) in.open(full, std::ios::binary);
          if (!in.is_open()) {
            error = "line " + std::to_string(lineNo) + ": cannot read blob file " + full.string();
            return false;
          }
          std::ostringstream ss;
          ss << in.rdbuf();
          r[i] = ss.str();
        } else if (c.rfind("base64:", 0) == 0) {
          std::string bytes;
          if (!base64Decode(std::string_view(c).substr(7), bytes)) {
            error = "line " + std::to_string(lineNo) + ": bad base64 in field \"" + f.name + "\"";
            return false;
          }
          r[i] = std::move(bytes);
        } else {
          error = "line " + std::to_string(lineNo) + ": blob field \"" + f.name +
                  "\" needs @file or base64:";
          return false;
        }
        continue;
      }
      if (f.type == FieldType::Float || f.type == FieldType::Integer) {
        if (c.empty()) continue;
        std::string_view cv = c;
        auto v = parseNumberPrefix(cv);
        if (!v) {
          error = "line " + std::to_string(lineNo) + ": \"" + c + "\" is no number (field \"" + f.name + "\")";
          return false;
        }
        r[i] = out.convertNumber(static_cast<int>(i), *v);
        continue;
      }
      r[i] = out.convertText(static_cast<int>(i), c);
    }
    out.records.push_back(std::move(r));
  }
  if (header) {
    error = "no header line";
    return false;
  }
  return true;
}

bool readTsvFile(const std::filesystem::path& file, Table& out, std::string& error) {
  auto text = os::readInput(file, kMaxTsvBytes);
  if (!text) {
    error = os::lastError();
    return false;
  }
  if (!parseTsv(*text, file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path(), out,
                error)) {
    error = file.string() + ": " + error;
    return false;
  }
  return true;
}

bool writeTsv(const Table& t, std::ostream& out, const TsvWriteOptions& opt, std::string& error) {
  for (size_t i = 0; i < t.fields.size(); ++i) {
    if (i) out << '\t';
    out << escapeCell(fieldSpec(t.fields[i]));
  }
  out << '\n';
  size_t recNo = 0;
  for (const Record& r : t.records) {
    ++recNo;
    std::string line;
    for (size_t i = 0; i < t.fields.size(); ++i) {
      if (i) line += '\t';
      static const Cell kEmpty;
      const Cell& c = i < r.size() ? r[i] : kEmpty;
      if (!c) continue;
      if (t.fields[i].type == FieldType::Blob) {
        // An empty cell is no blob at all; a blob of no bytes (from an empty
        // file) is written so that it comes back as one.
        if (c->empty()) {
          line += "base64:";
          continue;
        }
        if (opt.blobDir.empty()) {
          line += "base64:" + base64Encode(*c);
          continue;
        }
        std::error_code ec;
        std::filesystem::create_directories(opt.blobDir, ec);
        std::string name = std::to_string(recNo) + "-" + t.fields[i].name + ".bin";
        for (char& ch : name)
          if (ch == '/' || ch == '\\' || ch == ':') ch = '_';
        std::ofstream f(opt.blobDir / name, std::ios::binary | std::ios::trunc);
        f.write(c->data(), static_cast<std::streamsize>(c->size()));
        if (!f) {
          error = "cannot write " + (opt.blobDir / name).string();
          return false;
        }
        std::filesystem::path rel = (opt.blobDir / name).lexically_relative(opt.refBase);
        line += "@" + escapeCell(rel.generic_string());
        continue;
      }
      line += escapeCell(*c);
    }
    if (line.empty()) line = "\\e";
    out << line << '\n';
  }
  if (!out) {
    error = "write failed";
    return false;
  }
  return true;
}

}  // namespace suite
