// Stopping a command on SIGINT, SIGTERM, SIGHUP or SIGQUIT without leaving
// temporary files behind.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace aurisona::cli {

// Exit status of a command that was interrupted.
inline constexpr int kInterruptedExit = 130;

// Blocks the stop signals in the calling thread (call it before any other
// thread starts, so that all of them inherit the mask) and starts a thread
// that receives them. A signal that arrives while no StopScope lives removes
// every registered temporary file and folder and ends the process with 130.
// Calling it again does nothing.
void HandleStopSignals();

// While a StopScope lives, the command stops by itself: the first signal sets
// the flag and calls `wake` (on the signal thread). A second signal, or a
// command still running `grace` after the first, ends the process as above.
class StopScope {
 public:
  explicit StopScope(std::function<void()> wake = {},
                     std::chrono::milliseconds grace = std::chrono::seconds(10));
  ~StopScope();
  StopScope(const StopScope&) = delete;
  StopScope& operator=(const StopScope&) = delete;

  const std::atomic<bool>& flag() const;
  bool requested() const { return flag().load(); }
};

}  // namespace aurisona::cli
