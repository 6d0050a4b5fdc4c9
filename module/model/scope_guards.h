// Guards for the paired calls and switches of the engines: each holds what
// it installed or switched for its scope and undoes it on every way out,
// an early return or an exception (the command runner catches those and
// goes on), so that nothing stays installed or switched off.
#pragma once

#include <string>
#include <utility>

#include "module/model/input_hooks.h"
#include "module/model/linear_entities.h"
#include "platform/editor/winmsg.h"

// A window-message filter registered for the scope.
class ScopedWinMsgFilter {
 public:
  explicit ScopedWinMsgFilter(ed::FilterFn fn) : fn_(fn) { ed::registerFilterWinMsg(fn_); }
  ~ScopedWinMsgFilter() { ed::removeFilterWinMsg(fn_); }
  ScopedWinMsgFilter(const ScopedWinMsgFilter&) = delete;
  ScopedWinMsgFilter& operator=(const ScopedWinMsgFilter&) = delete;

 private:
  ed::FilterFn fn_;
};

// A window-message watch registered for the scope.
class ScopedWinMsgWatch {
 public:
  explicit ScopedWinMsgWatch(ed::WatchFn fn) : fn_(fn) { ed::registerWatchWinMsg(fn_); }
  ~ScopedWinMsgWatch() { ed::removeWatchWinMsg(fn_); }
  ScopedWinMsgWatch(const ScopedWinMsgWatch&) = delete;
  ScopedWinMsgWatch& operator=(const ScopedWinMsgWatch&) = delete;

 private:
  ed::WatchFn fn_;
};

// A nested host command followed by name for the scope (BeginWatchCommand
// ... EndWatchCommand).
class WatchedCommand {
 public:
  explicit WatchedCommand(std::wstring name) : name_(std::move(name)) { BeginWatchCommand(name_); }
  ~WatchedCommand() { EndWatchCommand(); }
  WatchedCommand(const WatchedCommand&) = delete;
  WatchedCommand& operator=(const WatchedCommand&) = delete;
  // RTNORM when the command ended, RTCAN when it was cancelled or never ran.
  int wait() { return WaitWatchedCommand(name_); }

 private:
  std::wstring name_;
};

// The duplicate check switched off while components are made again from
// their stored data; the previous setting comes back after.
class OverlapCheckOff {
 public:
  OverlapCheckOff() : saved_(g_checkGjOverlap) { g_checkGjOverlap = 0; }
  ~OverlapCheckOff() { g_checkGjOverlap = saved_; }
  OverlapCheckOff(const OverlapCheckOff&) = delete;
  OverlapCheckOff& operator=(const OverlapCheckOff&) = delete;

 private:
  int saved_;
};

// Runs the closing call of a pairing (a window closed, a system variable set
// back) when the scope ends, unless released.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() {
    if (armed_) f_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  void release() { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};
