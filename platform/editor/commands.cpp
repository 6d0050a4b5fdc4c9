#include "platform/editor/commands.h"

#include <algorithm>
#include <exception>

#include "platform/editor/cmdline.h"
#include "platform/editor/detail.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/editor/reactor.h"
#include "platform/editor/status.h"
#include "platform/os/os.h"

namespace ed {

namespace {

struct Frame {
  std::wstring name;
  bool cancelled = false;
  bool failed = false;
};

struct RunState {
  std::vector<Frame> frames;
  std::vector<CommandFailure> failures;
};

RunState& run() {
  static RunState s;
  return s;
}

std::wstring upper(const std::wstring& s) { return os::toUpper(s); }

// Strips the prefixes a typed command name may carry: "'" (transparent),
// "_" (global name), "." (the host's own definition), in any order.
std::wstring bareName(const std::wstring& name, bool* transparent) {
  size_t i = 0;
  while (i < name.size() && (name[i] == L'\'' || name[i] == L'_' || name[i] == L'.')) {
    if (name[i] == L'\'' && transparent) *transparent = true;
    ++i;
  }
  std::wstring s = name.substr(i);
  while (!s.empty() && (s.back() == L' ' || s.back() == L'\t' || s.back() == L'\r')) s.pop_back();
  return s;
}

}  // namespace

bool CommandStack::addCommand(const std::wstring& group, const std::wstring& globalName,
                              const std::wstring& localName, int flags, CommandFn fn) {
  if (group.empty() || globalName.empty() || !fn) return false;
  auto g = std::find_if(groups_.begin(), groups_.end(),
                        [&](const Group& x) { return os::iequals(x.name, group); });
  if (g == groups_.end()) {
    groups_.push_back(Group{group, {}});
    g = groups_.end() - 1;
  }
  for (const auto& c : g->cmds)
    if (os::iequals(c.globalName, globalName)) return false;
  CommandInfo info;
  info.group = g->name;
  info.globalName = globalName;
  info.localName = localName.empty() ? globalName : localName;
  info.flags = flags;
  info.fn = std::move(fn);
  info.builtIn = os::iequals(group, L"ACAD");
  g->cmds.push_back(std::move(info));
  return true;
}

bool CommandStack::removeCommand(const std::wstring& group, const std::wstring& globalName) {
  for (auto& g : groups_) {
    if (!os::iequals(g.name, group)) continue;
    auto it = std::find_if(g.cmds.begin(), g.cmds.end(),
                           [&](const CommandInfo& c) { return os::iequals(c.globalName, globalName); });
    if (it == g.cmds.end()) return false;
    g.cmds.erase(it);
    return true;
  }
  return false;
}

bool CommandStack::removeGroup(const std::wstring& group) {
  auto it = std::find_if(groups_.begin(), groups_.end(),
                         [&](const Group& x) { return os::iequals(x.name, group); });
  if (it == groups_.end()) return false;
  groups_.erase(it);
  return true;
}

const CommandInfo* CommandStack::lookup(const std::wstring& name) const {
  std::wstring prefix = name.substr(0, std::min(name.size(), name.find_first_not_of(L"'._")));
  bool global = prefix.find(L'_') != std::wstring::npos;
  std::wstring n = bareName(name, nullptr);
  if (n.empty()) return nullptr;
  // Later groups take precedence: search from the newest group down.
  for (auto g = groups_.rbegin(); g != groups_.rend(); ++g)
    for (const auto& c : g->cmds)
      if (os::iequals(c.globalName, n)) return &c;
  if (!global)
    for (auto g = groups_.rbegin(); g != groups_.rend(); ++g)
      for (const auto& c : g->cmds)
        if (os::iequals(c.localName, n)) return &c;
  return nullptr;
}

const CommandInfo* CommandStack::lookupInGroup(const std::wstring& group,
                                               const std::wstring& globalName) const {
  for (const auto& g : groups_) {
    if (!os::iequals(g.name, group)) continue;
    for (const auto& c : g.cmds)
      if (os::iequals(c.globalName, globalName)) return &c;
  }
  return nullptr;
}

std::vector<CommandInfo> CommandStack::commands() const {
  std::vector<CommandInfo> out;
  for (const auto& g : groups_)
    for (const auto& c : g.cmds) out.push_back(c);
  return out;
}

std::vector<std::wstring> CommandStack::groups() const {
  std::vector<std::wstring> out;
  for (const auto& g : groups_) out.push_back(g.name);
  return out;
}

CommandStack& commandStack() {
  static CommandStack s;
  return s;
}

std::wstring unknownCommandMessage(const std::wstring& name) {
  return L"未知命令“" + upper(bareName(name, nullptr)) + L"”。按 F1 查看帮助。";
}

bool isCommandActive() { return !run().frames.empty(); }

std::vector<std::wstring> activeCommands() {
  std::vector<std::wstring> out;
  for (const auto& f : run().frames) out.push_back(f.name);
  return out;
}

void cancelActiveCommand() {
  if (!run().frames.empty()) run().frames.back().cancelled = true;
}

void failActiveCommand(const std::wstring& message) {
  auto& r = run();
  CommandFailure f;
  f.command = r.frames.empty() ? L"" : r.frames.back().name;
  f.message = message;
  f.line = inputQueue().lastLine();
  r.failures.push_back(f);
  if (!r.frames.empty()) r.frames.back().failed = true;
}

const std::vector<CommandFailure>& commandFailures() { return run().failures; }
void clearCommandFailures() { run().failures.clear(); }

namespace detail {
int runCommandNested(const std::wstring& typed, bool allowNested) {
  bool transparent = false;
  std::wstring bare = bareName(typed, &transparent);
  if (bare.empty()) return kNone;
  const CommandInfo* info = commandStack().lookup(typed);
  if (!info) {
    printText(L"\n" + unknownCommandMessage(typed));
    if (isCommandActive()) return kError;
    CommandFailure f;
    f.command = upper(bare);
    f.message = unknownCommandMessage(typed);
    f.line = inputQueue().lastLine();
    run().failures.push_back(f);
    return kError;
  }
  if (!allowNested && isCommandActive() && !(info->flags & kCmdTransparent)) {
    printText(L"\n** 不能透明地调用此命令 **");
    return kReject;
  }
  // Copy what we need: the handler may remove its own command.
  std::wstring name = info->globalName;
  CommandFn fn = info->fn;
  bool outermost = !isCommandActive();

  auto& r = run();
  r.frames.push_back(Frame{name});
  int exhaustedBefore = inputQueue().exhaustedCount();
  fireCommandWillStart(name);
  bool threw = false;
  try {
    fn();
  } catch (const std::exception& e) {
    threw = true;
    failActiveCommand(L"命令 " + name + L" 出错: " + os::fromUtf8(e.what()));
    printText(L"\n" + r.failures.back().message);
  } catch (...) {
    threw = true;
    failActiveCommand(L"命令 " + name + L" 出错");
    printText(L"\n" + r.failures.back().message);
  }
  Frame frame = r.frames.back();
  r.frames.pop_back();
  bool ranOut = inputQueue().exhaustedCount() > exhaustedBefore;
  if (ranOut && !frame.failed) {
    CommandFailure f;
    f.command = name;
    f.message = L"input ran out inside the command " + name;
    f.line = inputQueue().lastLine();
    r.failures.push_back(f);
    frame.failed = true;
  }
  int result = kNormal;
  if (threw) {
    fireCommandFailed(name);
    result = kError;
  } else if (frame.cancelled || ranOut) {
    fireCommandCancelled(name);
    result = kCancel;
  } else {
    fireCommandEnded(name);
  }
  if (outermost) docManager().runPendingStrings();
  return result;
}

}  // namespace detail

int runCommand(const std::wstring& typed) { return detail::runCommandNested(typed, false); }

}  // namespace ed
