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

// A window-message hook registered for the scope.
template <class Fn, bool (*Register)(Fn), bool (*Remove)(Fn)>
class ScopedWinMsgHook {
 public:
  explicit ScopedWinMsgHook(Fn fn) : fn_(fn) { Register(fn_); }
  ~ScopedWinMsgHook() { Remove(fn_); }
  ScopedWinMsgHook(const ScopedWinMsgHook&) = delete;
  ScopedWinMsgHook& operator=(const ScopedWinMsgHook&) = delete;

 private:
  Fn fn_;
};
// A filter (which may swallow the message) and a watch (which only looks).
using ScopedWinMsgFilter = ScopedWinMsgHook<ed::FilterFn, &ed::registerFilterWinMsg, &ed::removeFilterWinMsg>;
using ScopedWinMsgWatch = ScopedWinMsgHook<ed::WatchFn, &ed::registerWatchWinMsg, &ed::removeWatchWinMsg>;

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
