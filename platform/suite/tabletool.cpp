// tabletool: a table of the table library to and from tab-separated text, so
// tables live in the repository as readable text (format in README.md).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/os/os.h"
#include "platform/suite/core/table.h"
#include "platform/suite/core/text.h"
#include "platform/suite/core/tsv.h"

namespace fs = std::filesystem;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: tabletool import IN.tsv TABLE.DB\n"
               "       tabletool export TABLE.DB [OUT.tsv] [--base64]\n"
               "       tabletool show TABLE.DB\n");
  return 2;
}

fs::path resolve(const char* arg) { return os::nativePath(os::fromUtf8(arg)); }

// Standard output that cannot be written (a full disk, a closed pipe) fails
// the command: the text the user asked for is not all there.
int outputWritten() {
  std::cout.flush();
  if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good()) return 0;
  std::fprintf(stderr, "tabletool: cannot write to standard output: %s\n", std::strerror(errno));
  return 1;
}

int doImport(const fs::path& in, const fs::path& table) {
  suite::Table t;
  std::string err;
  // The text is read whole, with a bound: a folder or an input with no end
  // (/dev/zero) is a wrong argument.
  auto text = os::readInput(in, suite::kMaxTsvBytes);
  if (!text) {
    std::fprintf(stderr, "tabletool: %s; a table's text is a file of at most %zu MB\n", os::lastError().c_str(),
                 suite::kMaxTsvBytes >> 20);
    return 2;
  }
  if (!suite::parseTsv(*text, in.parent_path().empty() ? fs::path(".") : in.parent_path(), t, err)) {
    std::fprintf(stderr, "tabletool: %s: %s\n", in.string().c_str(), err.c_str());
    return 1;
  }
  std::error_code ec;
  if (!table.parent_path().empty()) fs::create_directories(table.parent_path(), ec);
  if (!suite::replaceTableFile(table, t, err)) {
    std::fprintf(stderr, "tabletool: %s: %s\n", table.string().c_str(), err.c_str());
    return 1;
  }
  return 0;
}

int doExport(const fs::path& table, const char* out, bool base64) {
  suite::Table t;
  std::string err;
  if (!suite::loadTable(table, t, err)) {
    std::fprintf(stderr, "tabletool: %s: %s\n", table.string().c_str(), err.c_str());
    return 1;
  }
  suite::TsvWriteOptions opt;
  if (!out) {
    if (!suite::writeTsv(t, std::cout, opt, err) && std::cout.good()) {
      std::fprintf(stderr, "tabletool: %s\n", err.c_str());
      return 1;
    }
    return outputWritten();
  }
  fs::path outPath = resolve(out);
  if (!base64) {
    fs::path dir = outPath.parent_path();
    opt.refBase = dir.empty() ? fs::path(".") : dir;
    opt.blobDir = opt.refBase / (outPath.stem().string() + ".files");
  }
  std::ostringstream text;
  if (!suite::writeTsv(t, text, opt, err)) {
    std::fprintf(stderr, "tabletool: %s\n", err.c_str());
    return 1;
  }
  if (!os::replaceFileAtomically(outPath, text.str())) {
    std::fprintf(stderr, "tabletool: %s\n", os::lastError().c_str());
    return 1;
  }
  return 0;
}

int doShow(const fs::path& table) {
  suite::Table t;
  std::string err;
  if (!suite::loadTable(table, t, err)) {
    std::fprintf(stderr, "tabletool: %s: %s\n", table.string().c_str(), err.c_str());
    return 1;
  }
  std::printf("%s: %zu fields, %zu records\n", table.string().c_str(), t.fields.size(), t.records.size());
  for (size_t i = 0; i < t.fields.size(); ++i)
    std::printf("  %zu %s\n", i, suite::fieldSpec(t.fields[i]).c_str());
  // One block per record: field = value (escaped), blobs as their size.
  size_t n = 0;
  for (const auto& r : t.records) {
    std::printf("[%zu]\n", ++n);
    for (size_t i = 0; i < t.fields.size(); ++i) {
      std::string v;
      if (r[i]) {
        if (t.fields[i].type == suite::FieldType::Blob) v = "<" + std::to_string(r[i]->size()) + " bytes>";
        else v = suite::escapeCell(*r[i]);
      }
      std::printf("  %s = %s\n", t.fields[i].name.c_str(), v.c_str());
    }
  }
  return outputWritten();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string cmd = argv[1];
  if (cmd == "import" && argc == 4) return doImport(resolve(argv[2]), resolve(argv[3]));
  if (cmd == "export" && argc >= 3 && argc <= 5) {
    const char* out = nullptr;
    bool base64 = false;
    for (int i = 3; i < argc; ++i) {
      if (std::strcmp(argv[i], "--base64") == 0) base64 = true;
      else if (!out) out = argv[i];
      else return usage();
    }
    return doExport(resolve(argv[2]), out, base64);
  }
  if (cmd == "show" && argc == 3) return doShow(resolve(argv[2]));
  return usage();
}
