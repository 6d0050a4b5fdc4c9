// cadhost: the command-line CAD host. Loads the sibling modules and the
// plug-in from its own folder, opens a drawing, runs a script of commands
// and inputs, and prints the command line.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/editor/editor.h"
#include "platform/host/script.h"
#include "platform/os/os.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: cadhost [--suite DIR] [--projects DIR] [--project NAME] [--drawing FILE]\n"
    "               [--script FILE|-] [--echo] [--version]\n";

// The largest script read; far beyond any script written by hand or by a
// program driving the host.
constexpr std::size_t kMaxScriptBytes = std::size_t(256) << 20;

fs::path selfDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : exe.parent_path();
}

void err(const std::wstring& s) { std::fprintf(stderr, "%s\n", os::toUtf8(s).c_str()); }

bool g_outputFailed = false;

void noteOutputFailed() {
  if (g_outputFailed) return;
  g_outputFailed = true;
  std::fprintf(stderr, "cadhost: cannot write the command line to standard output: %s\n", std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
  auto& opt = ed::hostOptions();
  opt.hostDir = selfDir();
  opt.suiteDir = (opt.hostDir / ".." / "suite").lexically_normal();
  opt.projectsDir = (opt.hostDir / ".." / "projects").lexically_normal();
  std::string script;
  bool projectsGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "cadhost: %s needs a value\n%s", name, kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--suite") opt.suiteDir = fs::absolute(value("--suite"));
    else if (a == "--projects") {
      opt.projectsDir = fs::absolute(value("--projects"));
      projectsGiven = true;
    }
    else if (a == "--project") opt.project = os::fromUtf8(value("--project"));
    else if (a == "--drawing") opt.drawing = value("--drawing");
    else if (a == "--script") script = value("--script");
    else if (a == "--echo") opt.echo = true;
    else if (a == "--version") {
      std::printf("cadhost 1.0 (interface %#x)\n", ed::kApiVersion);
      return 0;
    } else if (a == "--help" || a == "-h") {
      std::printf("%s", kUsage);
      return 0;
    } else {
      std::fprintf(stderr, "cadhost: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }

  // A project that is not there is said at once: the module's commands that
  // need it refuse later, but the cause belongs at the start.
  {
    std::error_code ec;
    if (!fs::is_directory(opt.projectsDir, ec)) {
      if (projectsGiven || !opt.project.empty())
        err(L"cadhost: the projects folder " + os::fromUtf8(opt.projectsDir.string()) + L" does not exist");
    } else if (!opt.project.empty() && !fs::is_directory(opt.projectsDir / os::toUtf8(opt.project), ec)) {
      err(L"cadhost: the project " + opt.project + L" does not exist in " + os::fromUtf8(opt.projectsDir.string()));
    }
  }

  // The command line goes to stdout as it is printed. A write that fails (a
  // full disk, a closed pipe) is said once on stderr and fails the run.
  ed::setOutputSink([](const std::wstring& s) {
    std::string u = os::toUtf8(s);
    if (std::fwrite(u.data(), 1, u.size(), stdout) != u.size() || std::fflush(stdout) != 0) noteOutputFailed();
  });
  ed::setProgressToTerminal(::isatty(2));
  ed::registerHostCommands();
  host::registerHostDirectives();

  // The window layer: its directives, its lines on the command line, its
  // message queue pumped between inputs, and answers for open windows.
  ui::init();
  ui::setPrintHook([](const std::wstring& line) { ed::printText(line); });
  ed::setIdleHook([] { ui::pumpMessages(); });
  ed::setAnswerRouter([](const ed::InputToken& t, std::wstring& error) { return ui::applyAnswer(t, error); });

  // The suite's libraries are found by bare file name in its system folder.
  os::addLibrarySearchDir(os::fromUtf8((opt.suiteDir / u8"系统文件").string()));
  // The siblings first, then the plug-in; any of them may be missing.
  for (const char* name : {"Zeb.Arx", "ZebConv.Arx", "KivZeb.arx"}) {
    fs::path p = opt.hostDir / name;
    if (!fs::exists(p)) continue;
    std::wstring error;
    if (!ed::loadModule(p, error)) err(L"cadhost: " + error);
  }

  int exitCode = 0;
  if (!opt.drawing.empty()) {
    std::wstring error;
    if (!ed::docManager().openDocument(os::fromUtf8(opt.drawing.string()), error)) {
      err(L"cadhost: " + error);
      ed::unloadAllModules();
      return 1;
    }
    ed::broadcastAppMessage(ed::kLoadDwgMsg);
  }

  if (!script.empty()) {
    // A script is read whole before it runs, and no further than a bound: a
    // folder, or an input with no end (/dev/zero), is a wrong argument.
    auto read = script == "-" ? os::readInputFrom(0, "standard input", kMaxScriptBytes)
                              : os::readInput(script, kMaxScriptBytes);
    if (!read) {
      err(L"cadhost: the script cannot be read: " + os::fromUtf8(os::lastError()) +
          L"; a script is a file of at most " + std::to_wstring(kMaxScriptBytes >> 20) + L" MB");
      ed::unloadAllModules();
      return 2;
    }
    std::string text = std::move(*read);
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<ed::InputToken> tokens;
    host::ScriptError perr;
    if (!host::parseScript(os::fromUtf8(text), tokens, perr)) {
      err(L"cadhost: " + os::fromUtf8(script) + L": " + perr.text());
      exitCode = 1;
    } else {
      auto errors = host::runTokens(tokens);
      if (!errors.empty()) {
        err(L"\ncadhost: " + os::fromUtf8(script) + L": " + errors.front().text());
        exitCode = 1;
      }
    }
  }
  std::printf("\n");
  ed::broadcastAppMessage(ed::kUnloadDwgMsg);
  ed::unloadAllModules();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) noteOutputFailed();
  if (g_outputFailed && exitCode == 0) exitCode = 1;
  return exitCode;
}
