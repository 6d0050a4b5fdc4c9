// Work of the take-off writers done on a worker thread while the main thread
// goes on: wait() (or the destructor) waits for it, and wait() passes on what
// it threw.
#pragma once

#include <exception>
#include <functional>
#include <thread>
#include <utility>

class BackgroundWork {
 public:
  explicit BackgroundWork(std::function<void()> work)
      : thread_([this, work = std::move(work)] {
          try {
            work();
          } catch (...) {
            error_ = std::current_exception();
          }
        }) {}
  ~BackgroundWork() {
    if (thread_.joinable()) thread_.join();
  }
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  void wait() {
    if (thread_.joinable()) thread_.join();
    if (std::exception_ptr e = std::exchange(error_, nullptr)) std::rethrow_exception(e);
  }

 private:
  std::exception_ptr error_;
  std::thread thread_;
};
