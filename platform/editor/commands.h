// The command stack: commands registered by modules in named groups, looked
// up by global or local name, and run by name from the command line, from a
// script, from queued command strings or nested inside another command.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ed {

// Command flags.
constexpr int kCmdModal = 0x00;        // may only start at the idle prompt
constexpr int kCmdTransparent = 0x01;  // may start inside another command ("'" prefix)
constexpr int kCmdUsePickSet = 0x02;   // keeps the pickfirst set for the command
constexpr int kCmdRedraw = 0x04;
constexpr int kCmdNoPaperSpace = 0x08;
constexpr int kCmdNoMultiple = 0x10;
constexpr int kCmdSession = 0x200000;  // runs in the application context

using CommandFn = std::function<void()>;

struct CommandInfo {
  std::wstring group;
  std::wstring globalName;
  std::wstring localName;
  int flags = kCmdModal;
  CommandFn fn;
  bool builtIn = false;  // one of the host's own commands
};

class CommandStack {
 public:
  // Adds a command to a group (the group is created on first use). Fails
  // (returns false) when the group already has a command of that global
  // name, or the name is empty or the handler null.
  bool addCommand(const std::wstring& group, const std::wstring& globalName,
                  const std::wstring& localName, int flags, CommandFn fn);
  // Removes one command; false when it is not there.
  bool removeCommand(const std::wstring& group, const std::wstring& globalName);
  // Removes a whole group; false when there is no such group.
  bool removeGroup(const std::wstring& group);

  // Finds a command by global or local name, without regard to case. Leading
  // "'" (transparent), "_" (global name) and "." (the host's own) prefixes are
  // accepted. Groups added later take precedence; null when unknown.
  const CommandInfo* lookup(const std::wstring& name) const;
  const CommandInfo* lookupInGroup(const std::wstring& group, const std::wstring& globalName) const;

  // Every command in registration order (groups in order of creation).
  std::vector<CommandInfo> commands() const;
  std::vector<std::wstring> groups() const;

 private:
  struct Group {
    std::wstring name;
    std::vector<CommandInfo> cmds;
  };
  std::vector<Group> groups_;
};

CommandStack& commandStack();

// Runs a command by name as if typed. At the idle prompt any command runs;
// inside a command only a transparent one (the host prints a refusal for a
// modal one and returns kReject). An unknown name prints the host's
// unknown-command message and returns kError. The editor reactors see the
// start and the end or cancellation. Returns kNormal when the command ran to
// its end, kCancel when it was cancelled.
int runCommand(const std::wstring& name);

// True while any command runs; the running commands, outermost first.
bool isCommandActive();
std::vector<std::wstring> activeCommands();
// Marks the innermost running command as cancelled (the prompts do this on
// Escape); the reactors then see it cancelled rather than ended.
void cancelActiveCommand();

// The message printed for an unknown command name.
std::wstring unknownCommandMessage(const std::wstring& name);

// Counts commands that ended in failure or cancellation, for cadhost's exit
// code. A command reports failure with failActiveCommand(message).
void failActiveCommand(const std::wstring& message);
struct CommandFailure {
  std::wstring command;
  std::wstring message;
  int line = 0;  // script line of the last input read
};
const std::vector<CommandFailure>& commandFailures();
void clearCommandFailures();

}  // namespace ed
