#include "support/sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/process.h"

namespace aurisona::testing {
namespace {

const std::string kScript = std::string(AURISONA_SOURCE_DIR) + "/scripts/pulse-null-sink.sh";

}  // namespace

PrivateSoundServer::PrivateSoundServer(const std::string& kind) {
  if (kind.empty() && std::system(("bash '" + kScript + "' check").c_str()) == 0) return;
  char dir[] = "/tmp/aurisona-pulse-XXXXXX";
  if (mkdtemp(dir) == nullptr) return;
  if (std::system(("bash '" + kScript + "' start '" + dir + "' " + kind + " >/dev/null").c_str()) != 0) return;
  started_ = dir;
  setenv("PULSE_SERVER", ("unix:" + started_ + "/native").c_str(), 1);
}

PrivateSoundServer::~PrivateSoundServer() {
  if (started_.empty() || std::system(("bash '" + kScript + "' stop '" + started_ + "'").c_str()) != 0) return;
  std::error_code ec;
  std::filesystem::remove_all(started_, ec);
}

bool PrivateSoundServer::ok() const { return !started_.empty() || std::getenv("PULSE_SERVER") != nullptr; }

MonitorRecording::MonitorRecording(int latencyMs) {
  std::vector<std::string> argv = {"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                   "--device=aurisona_null.monitor"};
  if (latencyMs > 0) argv.push_back("--latency-msec=" + std::to_string(latencyMs));
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  ChildOptions options;
  options.outFd = fds[1];
  pid_ = StartChild(argv, options);
  close(fds[1]);
  fd_ = fds[0];
  reader_ = std::thread([this] {
    char buffer[4096];
    for (ssize_t got; (got = read(fd_, buffer, sizeof buffer)) > 0;) {
      std::lock_guard<std::mutex> guard(lock_);
      bytes_.insert(bytes_.end(), buffer, buffer + got);
      arrivals_.emplace_back(Clock::now(), bytes_.size());
    }
  });
  // The monitor is running once sound (silence) arrives.
  started_ = pid_ > 0 && WaitUntil([this] { return Size() >= 4410 * 4; }, std::chrono::seconds(10));
}

MonitorRecording::~MonitorRecording() { Stop(); }

void MonitorRecording::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (reader_.joinable()) reader_.join();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

size_t MonitorRecording::Size() {
  std::lock_guard<std::mutex> guard(lock_);
  return bytes_.size();
}

std::vector<int16_t> MonitorRecording::Finish(std::chrono::milliseconds tail) {
  const size_t until = Size() + size_t(tail.count()) * kSinkRate / 1000 * 4;
  WaitUntil([&] { return Size() >= until; }, tail * 10);
  Stop();
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<int16_t> samples(bytes_.size() / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes_.data(), samples.size() * 2);
  return samples;
}

MonitorRecording::Clock::time_point MonitorRecording::ArrivalOf(size_t frame) {
  std::lock_guard<std::mutex> guard(lock_);
  for (const auto& [when, total] : arrivals_) {
    if (total > frame * 4) return when;
  }
  return {};
}

std::vector<SoundRun> SoundRuns(const std::vector<int16_t>& stereo, int threshold, double bridge) {
  std::vector<SoundRun> runs;
  const size_t bridgeFrames = size_t(bridge * kSinkRate / 1000);
  size_t first = 0, last = 0;
  bool open = false;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    if (std::abs(stereo[i]) <= threshold && std::abs(stereo[i + 1]) <= threshold) continue;
    const size_t frame = i / 2;
    if (open && frame - last > bridgeFrames) {
      runs.push_back({first * 1000.0 / kSinkRate, (last + 1) * 1000.0 / kSinkRate});
      open = false;
    }
    if (!open) first = frame;
    open = true;
    last = frame;
  }
  if (open) runs.push_back({first * 1000.0 / kSinkRate, (last + 1) * 1000.0 / kSinkRate});
  return runs;
}

}  // namespace aurisona::testing
