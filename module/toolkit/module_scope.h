// What every layer of the module needs of the module's frame: the resource
// scope of commands that open dialogs, and the teardown hooks that run at
// unload before the suite's libraries are freed.
#pragma once

#include <functional>

// Teardown work that must happen before the suite libraries are freed at
// unload (point filters and monitors, editor reactors, modeless dialogs that
// call into the suite). Parts that install such things add a hook; a hook
// runs once, at unload.
void AddUnloadHook(std::function<void()> hook);
// Runs the hooks added so far, newest first, and forgets them (the unload
// work of the shell calls it).
void RunUnloadHooks();

// Makes this module's resources current for a command that opens a dialog,
// and restores the host's when the command's work returns.
class ModuleResourceScope {
 public:
  ModuleResourceScope();
  ~ModuleResourceScope();
  ModuleResourceScope(const ModuleResourceScope&) = delete;
  ModuleResourceScope& operator=(const ModuleResourceScope&) = delete;
};
