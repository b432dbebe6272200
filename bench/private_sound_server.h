// For benches that play through the sound device: a private sound server with
// a null sink (scripts/pulse-null-sink.sh) of the kind asked for, started for
// the run and stopped again at the end. PULSE_SERVER points at it meanwhile.
// Without a kind, a server of the tests' kind that PULSE_SERVER names already
// is used as it is.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace aurisona::bench {

class PrivateSoundServer {
 public:
  explicit PrivateSoundServer(const std::string& kind = {}) {
    if (kind.empty() && std::system(("bash '" + script_ + "' check").c_str()) == 0) return;
    char dir[] = "/tmp/aurisona-pulse-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    const std::string command = "bash '" + script_ + "' start '" + std::string(dir) + "' " + kind + " >/dev/null";
    if (std::system(command.c_str()) != 0) return;
    started_ = dir;
    setenv("PULSE_SERVER", ("unix:" + started_ + "/native").c_str(), 1);
  }
  ~PrivateSoundServer() {
    if (started_.empty()) return;
    if (std::system(("bash '" + script_ + "' stop '" + started_ + "'").c_str()) == 0) {
      std::error_code ec;
      std::filesystem::remove_all(started_, ec);
    }
  }
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  bool ok() const { return !started_.empty() || std::getenv("PULSE_SERVER") != nullptr; }

 private:
  const std::string script_ = std::string(AURISONA_SOURCE_DIR) + "/scripts/pulse-null-sink.sh";
  std::string started_;
};

// The sink kinds a bench measures, each in a process of its own (PortAudio
// learns the devices once per process): norewinds, ordinary, and pipewire
// when it is installed.
inline std::vector<std::string> SinkKinds() {
  std::vector<std::string> kinds = {"norewinds", "ordinary"};
  if (std::system("command -v pipewire-pulse >/dev/null && command -v wireplumber >/dev/null") == 0) {
    kinds.push_back("pipewire");
  }
  return kinds;
}

// Runs this program again with `--kind=KIND` for each kind; 0 when all ran.
inline int RunPerKind(const char* self) {
  int failed = 0;
  for (const std::string& kind : SinkKinds()) {
    std::printf("== sink: %s\n", kind.c_str());
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
      const std::string arg = "--kind=" + kind;
      execl(self, self, arg.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
  }
  return failed == 0 ? 0 : 1;
}

// Records the null sink's monitor (44100 Hz stereo) through a pipe from
// parec, noting when each piece arrives: the time a sound is heard at the
// monitor. A latency of 0 leaves parec's own (which does not shorten the
// sink's latency).
class MonitorTap {
 public:
  using Clock = std::chrono::steady_clock;

  explicit MonitorTap(int latencyMs) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      const std::string latency = "--latency-msec=" + std::to_string(latencyMs);
      if (latencyMs > 0) {
        execlp("parec", "parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
               "--device=aurisona_null.monitor", latency.c_str(), static_cast<char*>(nullptr));
      } else {
        execlp("parec", "parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
               "--device=aurisona_null.monitor", static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    close(fds[1]);
    fd_ = fds[0];
    reader_ = std::thread([this] {
      char buffer[4096];
      for (;;) {
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got <= 0) break;
        std::lock_guard<std::mutex> guard(lock_);
        bytes_.insert(bytes_.end(), buffer, buffer + got);
        arrivals_.emplace_back(Clock::now(), bytes_.size());
      }
    });
    // Running once sound (silence) arrives.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Size() < 4410 * 4 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~MonitorTap() { Stop(); }
  MonitorTap(const MonitorTap&) = delete;
  MonitorTap& operator=(const MonitorTap&) = delete;

  size_t Size() {
    std::lock_guard<std::mutex> guard(lock_);
    return bytes_.size();
  }
  // Keeps recording `tail` of further sound, then stops.
  void Finish(std::chrono::milliseconds tail) {
    const size_t until = Size() + size_t(tail.count()) * 441 / 10 * 4;
    const auto deadline = Clock::now() + tail * 10;
    while (Size() < until && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Stop();
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // The samples so far (interleaved stereo), and the byte offset of now.
  std::vector<int16_t> Samples() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<int16_t> out(bytes_.size() / 2);
    std::memcpy(out.data(), bytes_.data(), out.size() * 2);
    return out;
  }
  // When the frame at `index` arrived (time_point{} if it has not).
  Clock::time_point ArrivalOf(size_t frame) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [when, total] : arrivals_) {
      if (total > frame * 4) return when;
    }
    return {};
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::thread reader_;
  std::mutex lock_;
  std::vector<char> bytes_;
  std::vector<std::pair<Clock::time_point, size_t>> arrivals_;
};

// Sounding stretches of interleaved stereo at 44100 Hz, in frames: samples
// louder than `threshold`, silences shorter than `bridgeFrames` bridged.
inline std::vector<std::pair<size_t, size_t>> SoundStretches(const std::vector<int16_t>& stereo, int threshold,
                                                              size_t bridgeFrames) {
  std::vector<std::pair<size_t, size_t>> runs;
  bool open = false;
  size_t first = 0, last = 0;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    if (std::abs(stereo[i]) <= threshold && std::abs(stereo[i + 1]) <= threshold) continue;
    const size_t frame = i / 2;
    if (open && frame - last > bridgeFrames) {
      runs.emplace_back(first, last + 1);
      open = false;
    }
    if (!open) first = frame;
    open = true;
    last = frame;
  }
  if (open) runs.emplace_back(first, last + 1);
  return runs;
}

}  // namespace aurisona::bench
