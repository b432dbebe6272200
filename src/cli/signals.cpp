#include "cli/signals.h"

#include <pthread.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "core/util/temp_registry.h"

namespace aurisona::cli {
namespace {

struct State {
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool scope = false;            // a StopScope lives
  uint64_t scopeNumber = 0;      // which one
  std::function<void()> wake;
  std::chrono::milliseconds grace{0};
  std::atomic<bool> stop{false};
};

State& GetState() {
  static auto* state = new State();  // used by a detached thread until the process ends
  return *state;
}

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, s);
  return set;
}

[[noreturn]] void EndProcess() {
  RemoveRegisteredTempsForExit();
  // Files other threads had created but not yet registered are removed as
  // they register them.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  RemoveRegisteredTempsAndExit(kInterruptedExit, "aurisona-cli: interrupted\n");
}

void ReceiveSignals() {
  const sigset_t set = StopSignals();
  State& state = GetState();
  for (;;) {
    int received = 0;
    if (sigwait(&set, &received) != 0) continue;
    std::unique_lock lock(state.mutex);
    if (!state.scope || state.stop.load()) EndProcess();
    state.stop.store(true);
    if (state.wake) state.wake();
    // The command has `grace` to stop by itself; a further signal is handled
    // by a thread of its own meanwhile.
    const uint64_t number = state.scopeNumber;
    std::thread([number] {
      State& s = GetState();
      std::unique_lock wait(s.mutex);
      if (!s.changed.wait_for(wait, s.grace, [&] { return !s.scope || s.scopeNumber != number; })) EndProcess();
    }).detach();
  }
}

}  // namespace

void HandleStopSignals() {
  State& state = GetState();
  std::lock_guard lock(state.mutex);
  if (state.started) return;
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // Programs started from here (a sound server the client library spawns)
  // must not inherit the blocked signals.
  pthread_atfork(nullptr, nullptr, [] {
    const sigset_t stops = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
  });
  std::thread(ReceiveSignals).detach();
  state.started = true;
}

StopScope::StopScope(std::function<void()> wake, std::chrono::milliseconds grace) {
  State& state = GetState();
  std::lock_guard lock(state.mutex);
  state.scope = true;
  ++state.scopeNumber;
  state.wake = std::move(wake);
  state.grace = grace;
  state.stop.store(false);
}

StopScope::~StopScope() {
  State& state = GetState();
  {
    std::lock_guard lock(state.mutex);
    state.scope = false;
    state.wake = nullptr;
  }
  state.changed.notify_all();
}

const std::atomic<bool>& StopScope::flag() const { return GetState().stop; }

}  // namespace aurisona::cli
