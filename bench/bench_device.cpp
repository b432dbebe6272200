// The sound device: how soon a WAV file's first sample reaches the device after
// Play (target: under 50 ms), the CPU time an MP3 costs while it plays, as a
// fraction of its duration, how soon speech aloud starts and stops, and the
// gaps heard at the monitor in a 10 s WAV and a 10 s MP3 played while three
// busy loops spin (target: none over 5 ms). Each kind of private null sink is
// measured in a process of its own.
#include <benchmark/benchmark.h>

#include "private_sound_server.h"
#include <sys/resource.h>
#include <unistd.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "audio-io/audio_system.h"
#include "audio-io/sound_file_player.h"
#include "audio-io/speech_player.h"
#include "core/speech/engines/espeak/espeak_engine.h"
#include "support/files.h"
#include "support/mp3.h"
#include "support/wav.h"

extern char** environ;

namespace aurisona {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;

std::filesystem::path Scratch() {
  static const std::filesystem::path dir = [] {
    char name[] = "/tmp/aurisona-bench-XXXXXX";
    return std::filesystem::path(mkdtemp(name) != nullptr ? name : "/tmp");
  }();
  return dir;
}

// Sine on the left, cosine on the right: never silent in both at once.
std::vector<int16_t> Sine(double seconds) {
  std::vector<int16_t> out;
  for (size_t i = 0; i < size_t(seconds * kRate); ++i) {
    const double phase = 2 * M_PI * 440.0 * double(i) / kRate;
    out.push_back(int16_t(10000 * std::sin(phase)));
    out.push_back(int16_t(10000 * std::cos(phase)));
  }
  return out;
}

std::filesystem::path WavFile(double seconds = 2.0) {
  const auto path = Scratch() / "clip.wav";
  testing::WriteWav(path, Sine(seconds), kRate, 2);
  return path;
}

std::filesystem::path Mp3File(double seconds) {
  const auto path = Scratch() / "music.mp3";
  testing::WriteBytes(path, testing::Mp3Of(Sine(seconds)));
  return path;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_WavPlayToFirstSample(benchmark::State& state) {
  EnsureAudioSystem();  // once per process, as a program does at start-up
  const auto path = WavFile();
  SoundFilePlayer player;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (player.Play(path, nullptr, 0, 0) != 0) {
      state.SkipWithError("no sound output");
      return;
    }
    while (player.device().FirstConsumedAt() == Clock::time_point{}) std::this_thread::sleep_for(std::chrono::microseconds(200));
    state.SetIterationTime(std::chrono::duration<double>(player.device().FirstConsumedAt() - start).count());
    player.Stop();
  }
}
BENCHMARK(BM_WavPlayToFirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_Mp3PlaybackCpu(benchmark::State& state) {
  EnsureAudioSystem();
  const double seconds = 10.0;
  const auto path = Mp3File(seconds);
  SoundFilePlayer player;
  double cpu = 0, wall = 0, first = 0;
  for (auto _ : state) {
    std::atomic<bool> done{false};
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    if (player.Play(path, [&](PlaybackEnd) { done = true; }, 0, 0) != 0) {
      state.SkipWithError("cannot play");
      return;
    }
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    player.Stop();
    wall = std::chrono::duration<double>(Clock::now() - start).count();
    first = std::chrono::duration<double>(player.device().FirstConsumedAt() - start).count();
    cpu = CpuSeconds() - cpuStart;
  }
  state.counters["clip_s"] = seconds;
  state.counters["wall_s"] = wall;
  state.counters["cpu_s"] = cpu;
  state.counters["cpu_fraction"] = cpu / seconds;
  state.counters["first_sample_ms"] = first * 1000;
}
BENCHMARK(BM_Mp3PlaybackCpu)->Unit(benchmark::kSecond)->Iterations(1);

// Speech aloud: how long Speak takes to return (it synthesises on a thread of
// its own; target: under 50 ms), and how long ReleaseVoice takes to silence a
// sentence being heard (target: under 200 ms).
void BM_SpeechSpeakAndRelease(benchmark::State& state) {
  EnsureAudioSystem();
  EspeakSpeechEngine engine;
  std::atomic<int> words{0};
  SpeechPlayer player(engine, {[&](const WordBoundary&) { ++words; }, nullptr});
  const std::u16string text = u"This sentence is long enough to keep speaking for several seconds if nobody stops it.";
  double speak = 0, release = 0;
  for (auto _ : state) {
    words = 0;
    auto start = Clock::now();
    if (!player.Speak(text, u"美音男声", 0, 100)) {
      state.SkipWithError("cannot speak");
      return;
    }
    speak = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    for (const auto until = Clock::now() + std::chrono::seconds(10); words < 2 && Clock::now() < until;)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    start = Clock::now();
    player.ReleaseVoice();
    release = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.SetIterationTime((speak + release) / 1000);
  }
  state.counters["speak_ms"] = speak;
  state.counters["release_ms"] = release;
}
BENCHMARK(BM_SpeechSpeakAndRelease)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Processes that spin until they are killed (started with exec, so that they
// share nothing of this process's sound connections).
class BusyLoops {
 public:
  explicit BusyLoops(int count) {
    for (int i = 0; i < count; ++i) {
      pid_t pid = -1;
      char sh[] = "sh", c[] = "-c", loop[] = "while :; do :; done";
      char* argv[] = {sh, c, loop, nullptr};
      if (posix_spawnp(&pid, "sh", nullptr, nullptr, argv, environ) == 0) pids_.push_back(pid);
    }
  }
  ~BusyLoops() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
  }
  BusyLoops(const BusyLoops&) = delete;
  BusyLoops& operator=(const BusyLoops&) = delete;

 private:
  std::vector<pid_t> pids_;
};

// Plays `path` while three busy loops spin and reports the silences inside
// the clip as heard at the monitor.
void GapsUnderLoad(const char* name, const std::filesystem::path& path) {
  // A long recording latency, so that the recorder, starved by the busy
  // loops as well, does not drop what the sink played.
  testing::MonitorRecording monitor(1000);
  std::atomic<bool> done{false};
  SoundFilePlayer player;
  {
    BusyLoops loops(3);
    if (player.Play(path, [&](PlaybackEnd) { done = true; }, 0, 0) != 0) {
      std::printf("%-22s cannot play\n", name);
      return;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!done && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    player.Stop();
  }
  const std::vector<int16_t> heard = monitor.Finish(std::chrono::milliseconds(2000));
  // Silent frames (both channels at most 2) between the first and last sound.
  size_t first = heard.size(), last = 0;
  for (size_t i = 0; i + 1 < heard.size(); i += 2) {
    if (std::abs(heard[i]) > 2 || std::abs(heard[i + 1]) > 2) {
      first = std::min(first, i / 2);
      last = i / 2;
    }
  }
  int gaps = 0;
  size_t longest = 0, run = 0;
  for (size_t f = first; f <= last && first < heard.size(); ++f) {
    const bool silent = std::abs(heard[2 * f]) <= 2 && std::abs(heard[2 * f + 1]) <= 2;
    if (silent) {
      ++run;
      continue;
    }
    if (run >= size_t(kRate / 1000)) ++gaps;
    longest = std::max(longest, run);
    run = 0;
  }
  const double heardSeconds = first < heard.size() ? double(last - first + 1) / kRate : 0.0;
  std::printf("%-22s heard %.2f s  gaps over 1 ms: %d  longest silence %.1f ms  (target: none over 5 ms)\n", name,
              heardSeconds, gaps, double(longest) * 1000.0 / kRate);
}

}  // namespace
}  // namespace aurisona

int main(int argc, char** argv) {
  std::string kind;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kind=", 7) == 0) {
      kind = argv[i] + 7;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  }
  if (kind.empty()) return aurisona::bench::RunPerKind(argv[0]);
  const aurisona::testing::PrivateSoundServer server(kind);
  if (!server.ok()) {
    std::printf("no %s sound server\n", kind.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  aurisona::EnsureAudioSystem();
  aurisona::GapsUnderLoad("10 s WAV, 3 busy loops", aurisona::WavFile(10.0));
  aurisona::GapsUnderLoad("10 s MP3, 3 busy loops", aurisona::Mp3File(10.0));
  std::filesystem::remove_all(aurisona::Scratch());
  return 0;
}
