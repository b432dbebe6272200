// aurisona-cli play and record: the sound file player and the recorder.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "audio-io/recording_file.h"
#include "audio-io/sound_file_player.h"
#include "audio-io/wave_recorder.h"
#include "cli/cli.h"
#include "cli/signals.h"
#include "core/util/text.h"

namespace aurisona::cli {
namespace {

// A number of seconds from the command line: finite, 0 or more.
std::optional<double> ParseSeconds(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value) || value < 0) return std::nullopt;
  return value;
}

// Whole seconds for the player: 0..86400.
bool WholeSeconds(const Args& args, const std::string& name, int32_t* out) {
  *out = 0;
  const auto option = args.Option(name);
  if (!option) return true;
  const auto value = ParseSeconds(*option);
  if (!value || *value > 86400 || *value != std::floor(*value)) return false;
  *out = static_cast<int32_t>(*value);
  return true;
}

// Waits for one event from another thread.
class Signal {
 public:
  void Raise() {
    std::lock_guard<std::mutex> guard(mutex_);
    raised_ = true;
    condition_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait(lock, [this] { return raised_; });
  }
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return condition_.wait_for(lock, timeout, [this] { return raised_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool raised_ = false;
};

}  // namespace

int PlayCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir", "--play-time", "--fade"}, {}, &args, &error)) return Fail(error);
  if (args.positional.size() != 1) {
    return Fail("usage: aurisona-cli play FILE [--play-time S] [--fade S] [--data-dir DIR]");
  }
  int32_t playTime = 0;
  int32_t fade = 0;
  if (!WholeSeconds(args, "--play-time", &playTime)) return Fail("--play-time takes whole seconds, 0 or more");
  if (!WholeSeconds(args, "--fade", &fade)) return Fail("--fade takes whole seconds, 0 or more");
  const std::filesystem::path file = args.positional[0];

  Signal ended;
  PlaybackEnd result = PlaybackEnd::kNotPlayed;
  StopScope stop([&] { ended.Raise(); });
  SoundFilePlayer player;
  if (player.Play(file, [&](PlaybackEnd end) {
        result = end;
        ended.Raise();
      }, playTime, fade) != 0) {
    return Fail(file.string() + ": cannot play (not a playable WAV or MP3 file, or no sound output)");
  }
  ended.Wait();
  player.Stop();
  if (stop.requested()) return kInterruptedExit;
  if (result != PlaybackEnd::kPlayed) {
    return Fail(file.string() + ": cannot play (no MP3 audio in the file, or no sound output)");
  }
  return 0;
}

int RecordCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir", "--seconds"}, {}, &args, &error)) return Fail(error);
  const auto secondsText = args.Option("--seconds");
  if (args.positional.size() != 1 || !secondsText) {
    return Fail("usage: aurisona-cli record NAME --seconds S [--data-dir DIR]");
  }
  const auto seconds = ParseSeconds(*secondsText);
  if (!seconds || *seconds <= 0 || *seconds > 86400) return Fail("--seconds takes a number of seconds above 0");

  std::u16string name = Utf8ToUtf16(args.positional[0]);
  if (name.size() < 4 || !EqualsIgnoreAsciiCase(std::u16string_view(name).substr(name.size() - 4), u".wav")) {
    name += u".wav";
  }
  const DataDirectory directory = OpenDataDirectory(args);

  // The nearest whole number of buffers (0.125 s each), at least one.
  const double bufferSeconds = double(WaveRecorder::kRecordingBufferBytes) / (2.0 * WaveRecorder::kRecordingSampleRate);
  const uint64_t wanted = std::max<uint64_t>(1, static_cast<uint64_t>(std::llround(*seconds / bufferSeconds)));

  RecordingFile file;
  std::mutex fileLock;
  uint64_t buffers = 0;
  bool writeFailed = false;
  Signal done;
  WaveRecorder recorder;
  recorder.SetBufferSize(WaveRecorder::kRecordingBufferBytes);
  recorder.SetBitsPerSample(16);
  recorder.SetSampleRate(WaveRecorder::kRecordingSampleRate);
  recorder.SetChannels(1);
  recorder.SetHandler([&](std::span<const int16_t> samples) {
    std::lock_guard<std::mutex> guard(fileLock);
    if (buffers >= wanted || writeFailed || !file.IsRecording()) return;
    if (!file.Append(samples.data(), samples.size())) writeFailed = true;
    if (++buffers >= wanted || writeFailed) done.Raise();
  });

  // The file is created only once capture runs: a missing device changes nothing.
  if (!recorder.Begin()) return Fail("cannot record: no sound input");
  RecordingStart started;
  {
    std::lock_guard<std::mutex> guard(fileLock);
    started = file.Start(directory.Record(), name);
  }
  if (started != RecordingStart::kStarted) {
    recorder.End();
    if (started == RecordingStart::kBadName) {
      return Fail(args.positional[0] + ": a recording name is a plain file name without <, > or a path");
    }
    return Fail(args.positional[0] + ": " + Utf16ToUtf8(u"录音文件创建错误！") + " (" + file.Error() + ")");
  }
  // Capture that stalls (the sound server went away) ends the recording too.
  // A stop signal ends it early: what was recorded is kept, the header complete.
  const auto limit = std::chrono::milliseconds(static_cast<int64_t>(*seconds * 1000)) + std::chrono::seconds(5);
  bool complete = false;
  bool interrupted = false;
  {
    StopScope stop([&] { done.Raise(); });
    complete = done.WaitFor(limit);
    recorder.End();
    std::lock_guard<std::mutex> guard(fileLock);
    interrupted = stop.requested();
    const bool finished = file.Finish();
    if (writeFailed || !finished) return Fail(file.path().string() + ": cannot write the recording (" + file.Error() + ")");
  }
  if (interrupted) {
    std::fprintf(stderr, "aurisona-cli: interrupted; %s holds what was recorded\n", file.path().string().c_str());
    return kInterruptedExit;
  }
  if (!complete) return Fail(file.path().string() + ": the sound input stopped; the recording is shorter");
  return 0;
}

}  // namespace aurisona::cli
