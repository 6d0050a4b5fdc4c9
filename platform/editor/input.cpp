#include "platform/editor/input.h"

#include <utility>

namespace ed {

void InputQueue::push(InputToken t) { tokens_.push_back(std::move(t)); }

void InputQueue::pushFront(InputToken t) { tokens_.push_front(std::move(t)); }

std::optional<InputToken> InputQueue::next() {
  if (tokens_.empty()) {
    ++exhausted_;
    return std::nullopt;
  }
  InputToken t = std::move(tokens_.front());
  tokens_.pop_front();
  lastLine_ = t.line;
  return t;
}

InputQueue& inputQueue() {
  static InputQueue q;
  return q;
}

namespace {
std::map<std::wstring, DirectiveHandler>& immediate() {
  static std::map<std::wstring, DirectiveHandler> m;
  return m;
}
std::map<std::wstring, bool>& answers() {
  static std::map<std::wstring, bool> m;
  return m;
}
std::wstring& directiveError() {
  static std::wstring e;
  return e;
}
int& directiveErrors() {
  static int n = 0;
  return n;
}
int& failedDirectiveLine() {
  static int n = 0;
  return n;
}
bool& stopAtError() {
  static bool on = false;
  return on;
}
}  // namespace

void registerDirective(const std::wstring& name, DirectiveHandler handler) {
  immediate()[name] = std::move(handler);
}
void unregisterDirective(const std::wstring& name) { immediate().erase(name); }
bool isImmediateDirective(const std::wstring& name) { return immediate().count(name) != 0; }
void registerAnswerDirective(const std::wstring& name) { answers()[name] = true; }
bool isKnownDirective(const std::wstring& name) {
  return isImmediateDirective(name) || answers().count(name) != 0;
}

std::optional<InputToken> nextInput() {
  for (;;) {
    auto t = inputQueue().next();
    if (!t) return t;
    if (t->kind == TokenKind::Directive) {
      auto it = immediate().find(t->text);
      if (it != immediate().end()) {
        std::wstring err;
        if (!it->second(*t, err)) {
          directiveError() = err;
          failedDirectiveLine() = t->line;
          ++directiveErrors();
          if (stopAtError()) {
            inputQueue().clear();
            return std::nullopt;
          }
        }
        continue;
      }
    }
    return t;
  }
}
const std::wstring& lastDirectiveError() { return directiveError(); }
int directiveErrorLine() { return failedDirectiveLine(); }
bool setStopAtDirectiveError(bool on) { return std::exchange(stopAtError(), on); }

namespace {
DirectiveHandler& answerRouter() {
  static DirectiveHandler r;
  return r;
}
}  // namespace

void setAnswerRouter(DirectiveHandler router) { answerRouter() = std::move(router); }

bool routeAnswer(const InputToken& t, std::wstring& error) {
  if (!answerRouter()) {
    error = L"no window takes " + t.text;
    return false;
  }
  return answerRouter()(t, error);
}
int directiveErrorCount() { return directiveErrors(); }
void clearDirectiveError() { directiveError().clear(); }

}  // namespace ed
