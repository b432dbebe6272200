// Helpers of the sound device tests: the private sound server, a recorder of
// the null sink's monitor (what was really played), child processes, and WAV
// fixtures made on the fly.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace aurisona::testing {

// The monitor and the tests' stereo fixtures run at this rate.
inline constexpr int kSinkRate = 44100;

// True in the child process that runs without a sound server.
bool InNoServerChild();

// A child process. Its standard output and error go to files.
struct ChildRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs `argv` with `extraEnv` ("NAME=value") added to this process's
// environment and waits for it (at most `timeout`; then it is killed).
ChildRun RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                  const std::filesystem::path& scratch,
                  std::chrono::seconds timeout = std::chrono::seconds(60));

// Records the null sink's monitor (44100 Hz stereo) with parec while it lives.
// A short latency (the default, 10 ms) keeps a rendering-ahead sink's latency
// short as well; 0 records with parec's own, as a user's recorder does.
class MonitorRecording {
 public:
  explicit MonitorRecording(const std::filesystem::path& scratch, int latencyMs = 10);
  ~MonitorRecording();
  MonitorRecording(const MonitorRecording&) = delete;
  MonitorRecording& operator=(const MonitorRecording&) = delete;
  // False when parec did not start delivering sound.
  bool started() const { return started_; }
  // Keeps recording for `tail` of further sound (so that what was just played
  // has passed the monitor), stops, and gives the interleaved stereo samples.
  std::vector<int16_t> Finish(std::chrono::milliseconds tail = std::chrono::milliseconds(400));

 private:
  size_t Size() const;
  std::filesystem::path file_;
  pid_t pid_ = -1;
  bool started_ = false;
};

// Interleaved stereo test pattern: frame i is (1000 + i % 500, -2000 - i % 300),
// never silent, and its index modulo 1500 can be read back.
std::vector<int16_t> Pattern(size_t frames, size_t first = 0);
// Index modulo 1500 of a pattern frame, -1 for anything else.
int PatternIndex(int16_t left, int16_t right);

// Frames of `stereo` that are not silent (both samples 0), in order.
std::vector<std::pair<int16_t, int16_t>> SoundingFrames(const std::vector<int16_t>& stereo);

// True when `frames` is the pattern from 0 for exactly `count` frames.
::testing::AssertionResult IsPatternRun(const std::vector<std::pair<int16_t, int16_t>>& frames, size_t count);

// A 16-bit PCM WAV file.
std::string WavBytes(const std::vector<int16_t>& samples, int channels, int rate);
void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, int channels, int rate);

// The kind of sink the tests play into: "norewinds" (the default: its monitor
// is byte-exact), "ordinary" or "pipewire" (AURISONA_SINK_KIND).
std::string SinkKind();

// Sounding stretches of a monitor recording, in milliseconds from its start:
// frames louder than `threshold`, silences shorter than `bridge` ms bridged.
struct SoundRun {
  double start = 0;
  double end = 0;
};
std::vector<SoundRun> SoundRuns(const std::vector<int16_t>& stereo, int threshold, double bridge = 30);

// Polls `done` every 5 ms for at most `timeout`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

}  // namespace aurisona::testing
