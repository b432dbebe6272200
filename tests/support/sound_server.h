// The private sound server of the device tests and benches, and a recorder of
// its null sink's monitor: what was really played, and when it arrived.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace aurisona::testing {

// The monitor records at this rate, in stereo.
inline constexpr int kSinkRate = 44100;

// A private sound server with a null sink (scripts/pulse-null-sink.sh) of
// `kind` (norewinds, ordinary, pipewire), started for the object's life;
// PULSE_SERVER points at it meanwhile. Without a kind, a server with the sink
// that PULSE_SERVER names already is used as it is.
class PrivateSoundServer {
 public:
  explicit PrivateSoundServer(const std::string& kind = {});
  ~PrivateSoundServer();
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;
  bool ok() const;

 private:
  std::string started_;
};

// Records the null sink's monitor (44100 Hz stereo) with parec while it lives,
// noting when each piece arrives. A short latency (the default, 10 ms) keeps a
// rendering-ahead sink's latency short as well; 0 records with parec's own, as
// a user's recorder does.
class MonitorRecording {
 public:
  using Clock = std::chrono::steady_clock;
  explicit MonitorRecording(int latencyMs = 10);
  ~MonitorRecording();
  MonitorRecording(const MonitorRecording&) = delete;
  MonitorRecording& operator=(const MonitorRecording&) = delete;
  // False when parec did not start delivering sound (silence).
  bool started() const { return started_; }
  // Bytes recorded so far.
  size_t Size();
  // Keeps recording for `tail` of further sound (so that what was just played
  // has passed the monitor), stops, and gives the interleaved stereo samples.
  std::vector<int16_t> Finish(std::chrono::milliseconds tail = std::chrono::milliseconds(400));
  // When the frame at `frame` arrived (time_point{} if it has not).
  Clock::time_point ArrivalOf(size_t frame);

 private:
  void Stop();
  pid_t pid_ = -1;
  int fd_ = -1;
  bool started_ = false;
  std::thread reader_;
  std::mutex lock_;
  std::vector<char> bytes_;
  std::vector<std::pair<Clock::time_point, size_t>> arrivals_;
};

// Sounding stretches of a monitor recording, in milliseconds from its start:
// frames louder than `threshold`, silences shorter than `bridge` ms bridged.
struct SoundRun {
  double start = 0;
  double end = 0;
};
std::vector<SoundRun> SoundRuns(const std::vector<int16_t>& stereo, int threshold, double bridge = 30);

}  // namespace aurisona::testing
