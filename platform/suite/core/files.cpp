#include "platform/suite/core/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace suite {

namespace fs = std::filesystem;

namespace {

std::string reason(const fs::path& p, const char* what, int err) {
  return std::string(what) + " " + p.string() + ": " + std::strerror(err);
}

// Closes the descriptor on every way out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  bool close() {
    int r = ::close(fd);
    fd = -1;
    return r == 0;
  }
};

bool syncFile(const fs::path& p, std::string& error) {
  Fd f{::open(p.c_str(), O_RDONLY | O_CLOEXEC)};
  if (f.fd < 0 || ::fsync(f.fd) != 0) {
    error = reason(p, "cannot flush", errno);
    return false;
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced (some file
// systems refuse) is no error, the data already is.
void syncFolder(const fs::path& dir) {
  Fd d{::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (d.fd >= 0) ::fsync(d.fd);
}

}  // namespace

// Removes a temporary file and its journal; false, for the caller's return.
static bool discard(const fs::path& tmp) {
  std::error_code ec;
  std::string ignored;
  fs::remove(tmp, ec);
  removeTableJournal(tmp, ignored);
  return false;
}

bool removeTableJournal(const fs::path& table, std::string& error) {
  for (const char* suffix : {"-journal", "-wal"}) {
    fs::path j = table;
    j += suffix;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(j, ec))) continue;
    if (!fs::remove(j, ec) || ec) {
      error = "cannot remove the stale journal " + j.string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

fs::path temporaryPathFor(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path tmp = target;
  tmp += ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
  discard(tmp);
  return tmp;
}

bool commitReplacement(const fs::path& tmp, const fs::path& target, std::string& error) {
  std::error_code ec;
  if (!syncFile(tmp, error) || !removeTableJournal(target, error)) return discard(tmp);
  fs::rename(tmp, target, ec);
  if (ec) {
    error = "cannot replace " + target.string() + ": " + ec.message();
    return discard(tmp);
  }
  syncFolder(target.parent_path());
  return true;
}

bool replaceFile(const fs::path& target, const std::function<bool(const fs::path&, std::string&)>& write,
                 std::string& error) {
  fs::path tmp = temporaryPathFor(target);
  if (!write(tmp, error)) return discard(tmp);
  return commitReplacement(tmp, target, error);
}

bool copyFileAtomically(const fs::path& from, const fs::path& to, std::string& error) {
  return replaceFile(
      to,
      [&](const fs::path& tmp, std::string& err) {
        Fd in{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
        if (in.fd < 0) {
          err = reason(from, "cannot read", errno);
          return false;
        }
        Fd out{::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)};
        if (out.fd < 0) {
          err = reason(tmp, "cannot create", errno);
          return false;
        }
        char buf[1 << 16];
        for (;;) {
          ssize_t got = ::read(in.fd, buf, sizeof buf);
          if (got < 0 && errno == EINTR) continue;
          if (got < 0) {
            err = reason(from, "cannot read", errno);
            return false;
          }
          if (got == 0) break;
          for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out.fd, buf + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
              err = reason(to, "cannot write", errno);
              return false;
            }
            done += put;
          }
        }
        if (::fsync(out.fd) != 0 || !out.close()) {
          err = reason(to, "cannot write", errno);
          return false;
        }
        return true;
      },
      error);
}

}  // namespace suite
