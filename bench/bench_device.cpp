// The sound device: how soon a WAV file's first sample reaches the device after
// Play (target: under 50 ms), and the CPU time an MP3 costs while it plays, as a
// fraction of its duration. Plays into the sound server PULSE_SERVER names, or
// into a private null sink started for the run.
#include <benchmark/benchmark.h>

#include "private_sound_server.h"
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio-io/audio_system.h"
#include "audio-io/sound_file_player.h"
#include "audio/piece_encoder.h"

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

std::vector<int16_t> Sine(double seconds) {
  std::vector<int16_t> out;
  for (size_t i = 0; i < size_t(seconds * kRate); ++i) {
    const int16_t s = int16_t(10000 * std::sin(2 * M_PI * 440.0 * double(i) / kRate));
    out.push_back(s);
    out.push_back(s);
  }
  return out;
}

std::filesystem::path WavFile() {
  const auto path = Scratch() / "clip.wav";
  const auto samples = Sine(2.0);
  const uint32_t data = uint32_t(samples.size() * 2);
  std::ofstream out(path, std::ios::binary);
  const auto le = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(char((v >> (8 * i)) & 0xFF));
  };
  out << "RIFF";
  le(36 + data, 4);
  out << "WAVEfmt ";
  le(16, 4), le(1, 2), le(2, 2), le(kRate, 4), le(kRate * 4, 4), le(4, 2), le(16, 2);
  out << "data";
  le(data, 4);
  out.write(reinterpret_cast<const char*>(samples.data()), data);
  return path;
}

std::filesystem::path Mp3File(double seconds) {
  const auto path = Scratch() / "music.mp3";
  MemorySink sink;
  PieceEncoder encoder(sink);
  encoder.Open(kRate);
  const auto samples = Sine(seconds);
  for (size_t at = 0; at < samples.size(); at += PieceEncoder::kChunkSamples) {
    encoder.Write(samples.data() + at, std::min(PieceEncoder::kChunkSamples, samples.size() - at));
  }
  encoder.Close();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(sink.bytes().data()),
                                              std::streamsize(sink.bytes().size()));
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

}  // namespace
}  // namespace aurisona

int main(int argc, char** argv) {
  const aurisona::bench::PrivateSoundServer server;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(aurisona::Scratch());
  return 0;
}
