#include "platform/editor/reactor.h"

#include <algorithm>

namespace ed {

namespace {
std::vector<EditorReactor*>& list() {
  static std::vector<EditorReactor*> v;
  return v;
}

// Calls f on a copy of the list, skipping reactors removed meanwhile, so a
// reactor may remove itself (or another) from inside its callback.
template <class F>
void each(F f) {
  auto copy = list();
  for (EditorReactor* r : copy) {
    auto& cur = list();
    if (std::find(cur.begin(), cur.end(), r) == cur.end()) continue;
    f(r);
  }
}
}  // namespace

void addReactor(EditorReactor* r) {
  if (!r) return;
  auto& v = list();
  if (std::find(v.begin(), v.end(), r) == v.end()) v.push_back(r);
}

void removeReactor(EditorReactor* r) {
  auto& v = list();
  v.erase(std::remove(v.begin(), v.end(), r), v.end());
}

std::vector<EditorReactor*> reactors() { return list(); }

void fireCommandWillStart(const std::wstring& n) {
  each([&](EditorReactor* r) { r->commandWillStart(n); });
}
void fireCommandEnded(const std::wstring& n) {
  each([&](EditorReactor* r) { r->commandEnded(n); });
}
void fireCommandCancelled(const std::wstring& n) {
  each([&](EditorReactor* r) { r->commandCancelled(n); });
}
void fireCommandFailed(const std::wstring& n) {
  each([&](EditorReactor* r) { r->commandFailed(n); });
}
void fireBeginSave(const std::wstring& f) {
  each([&](EditorReactor* r) { r->beginSave(f); });
}
void fireSaveComplete(const std::wstring& f) {
  each([&](EditorReactor* r) { r->saveComplete(f); });
}

}  // namespace ed
