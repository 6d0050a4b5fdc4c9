// Editor reactors: told when a command starts, ends, is cancelled or fails,
// for module commands and the host's own nested commands alike.
#pragma once

#include <string>
#include <vector>

namespace ed {

class EditorReactor {
 public:
  virtual ~EditorReactor() = default;
  // cmdName is the command's global name as registered (host commands in
  // upper case, e.g. L"ROTATE").
  virtual void commandWillStart(const std::wstring& cmdName) {}
  virtual void commandEnded(const std::wstring& cmdName) {}
  virtual void commandCancelled(const std::wstring& cmdName) {}
  virtual void commandFailed(const std::wstring& cmdName) {}
  // A drawing was opened / is about to be saved.
  virtual void databaseConstructed() {}
  virtual void beginSave(const std::wstring& fileName) {}
  virtual void saveComplete(const std::wstring& fileName) {}
};

// Reactors are called in the order they were added; adding one twice has no
// effect, removing one that is not there is harmless. A reactor may remove
// itself while it is being called.
void addReactor(EditorReactor* r);
void removeReactor(EditorReactor* r);
std::vector<EditorReactor*> reactors();

// Fire the events (the command runner and the host commands call these).
void fireCommandWillStart(const std::wstring& name);
void fireCommandEnded(const std::wstring& name);
void fireCommandCancelled(const std::wstring& name);
void fireCommandFailed(const std::wstring& name);
void fireBeginSave(const std::wstring& fileName);
void fireSaveComplete(const std::wstring& fileName);

}  // namespace ed
