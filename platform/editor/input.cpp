#include "platform/editor/input.h"

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

}  // namespace ed
