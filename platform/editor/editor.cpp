#include "platform/editor/editor.h"

#include "platform/editor/detail.h"

namespace ed {

namespace {
std::function<void()>& idleHook() {
  static std::function<void()> h;
  return h;
}
bool& inIdle() {
  static bool b = false;
  return b;
}
}  // namespace

void setIdleHook(std::function<void()> hook) { idleHook() = std::move(hook); }

void runIdleHook() {
  // The hook may itself read input (a dialog): do not re-enter it.
  if (!idleHook() || inIdle()) return;
  inIdle() = true;
  idleHook()();
  inIdle() = false;
}

void resetEditor() {
  docManager().reset();
  for (const auto& g : commandStack().groups()) commandStack().removeGroup(g);
  registerHostCommands();
  for (auto* r : reactors()) removeReactor(r);
  detail::resetWinMsgHooks();
  detail::resetPrompts();
  resetSysVars();
  resetSelection();
  resetViewState();
  restoreStatusBar();
  clearTranscript();
  clearCommandFailures();
  inputQueue().clear();
  inputQueue().resetExhausted();
  idleHook() = nullptr;
}

}  // namespace ed
