#include "core/media/bundled_media.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/audio/piece_encoder.h"
#include "core/speech/speech_engine.h"
#include "core/util/atomic_file.h"

namespace aurisona {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

int16_t ToSample(double v) { return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32000.0)); }

// A struck note: partials (frequency ratio, level) under an exponential decay.
double Struck(double t, double frequency, double decay, std::initializer_list<std::pair<double, double>> partials) {
  if (t < 0) return 0;
  const double attack = std::min(1.0, t / 0.004);
  double v = 0;
  for (const auto& [ratio, level] : partials) v += level * std::sin(kTwoPi * frequency * ratio * t);
  return attack * std::exp(-t / decay) * v;
}

std::string Ding() {
  constexpr int rate = 22050;
  std::vector<int16_t> pcm(static_cast<size_t>(rate * 0.9));
  for (size_t i = 0; i < pcm.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    pcm[i] = ToSample(0.7 * Struck(t, 1046.5, 0.22, {{1.0, 0.8}, {2.0, 0.15}, {3.0, 0.05}}));
  }
  return EncodeWavMono16(pcm, rate);
}

std::string Chime() {
  constexpr int rate = 22050;
  std::vector<int16_t> pcm(static_cast<size_t>(rate * 1.3));
  for (size_t i = 0; i < pcm.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double v = Struck(t, 1318.5, 0.3, {{1.0, 0.7}, {2.0, 0.2}}) +
                     Struck(t - 0.4, 1046.5, 0.35, {{1.0, 0.7}, {2.0, 0.2}});
    pcm[i] = ToSample(0.55 * v);
  }
  return EncodeWavMono16(pcm, rate);
}

// Encodes 44100 Hz stereo PCM with the program's own MP3 piece encoder.
std::string EncodeMp3(const std::vector<int16_t>& stereo) {
  MemorySink sink;
  PieceEncoder encoder(sink);
  if (encoder.Open(44100) != SinkStatus::Ok) return {};
  for (size_t at = 0; at < stereo.size(); at += PieceEncoder::kChunkSamples) {
    const size_t n = std::min(PieceEncoder::kChunkSamples, stereo.size() - at);
    if (encoder.Write(stereo.data() + at, n) != SinkStatus::Ok) return {};
  }
  if (encoder.Close() != SinkStatus::Ok) return {};
  const auto& bytes = sink.bytes();
  return std::string(bytes.begin(), bytes.end());
}

std::string Bell() {
  constexpr int rate = 44100;
  const size_t frames = static_cast<size_t>(rate * 1.6);
  std::vector<int16_t> pcm(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double v = 0.6 * Struck(t, 784.0, 0.45, {{1.0, 0.6}, {2.76, 0.25}, {5.4, 0.1}, {8.93, 0.05}});
    pcm[2 * i] = ToSample(v);
    pcm[2 * i + 1] = ToSample(v * 0.92);
  }
  return EncodeMp3(pcm);
}

// A short, calm theme: a I-V-vi-IV progression in C with a melody on top.
std::string Theme() {
  constexpr int rate = 44100;
  constexpr double beat = 0.5;
  // Chord roots per bar (two bars a chord) and the melody, one note a beat (0 = rest).
  const double chords[4][3] = {{261.63, 329.63, 392.00}, {196.00, 246.94, 293.66},
                               {220.00, 261.63, 329.63}, {174.61, 220.00, 261.63}};
  const double melody[] = {659.25, 587.33, 523.25, 587.33, 659.25, 659.25, 659.25, 0,
                           587.33, 587.33, 587.33, 0,      659.25, 783.99, 783.99, 0,
                           659.25, 587.33, 523.25, 587.33, 659.25, 659.25, 659.25, 659.25,
                           587.33, 587.33, 659.25, 587.33, 523.25, 0,      0,      0};
  const size_t beats = std::size(melody);
  const double length = beats * beat + 1.5;
  const size_t frames = static_cast<size_t>(rate * length);
  std::vector<int16_t> pcm(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const size_t b = std::min(static_cast<size_t>(t / beat), beats - 1);
    const double inBeat = t - static_cast<double>(b) * beat;
    double pad = 0;
    const size_t bar = static_cast<size_t>(t / (8 * beat));
    if (bar < 4) {
      const double inBar = t - static_cast<double>(bar) * 8 * beat;
      for (double f : chords[bar]) pad += Struck(inBar, f / 2, 1.6, {{1.0, 0.5}, {2.0, 0.12}});
    }
    double lead = 0;
    if (t < beats * beat && melody[b] > 0) lead = Struck(inBeat, melody[b], 0.35, {{1.0, 0.6}, {2.0, 0.2}, {3.0, 0.06}});
    const double fadeOut = std::clamp((length - t) / 1.5, 0.0, 1.0);
    const double left = fadeOut * (0.28 * pad + 0.45 * lead);
    const double right = fadeOut * (0.32 * pad + 0.38 * lead);
    pcm[2 * i] = ToSample(left);
    pcm[2 * i + 1] = ToSample(right);
  }
  return EncodeMp3(pcm);
}

int WriteMissing(const std::filesystem::path& folder, const std::vector<BundledFile>& files) {
  int written = 0;
  for (const auto& file : files) {
    std::error_code ec;
    const auto target = folder / file.name;
    if (file.bytes.empty() || std::filesystem::exists(target, ec)) continue;
    if (WriteFileAtomically(target, file.bytes)) ++written;
  }
  return written;
}

}  // namespace

std::vector<BundledFile> BundledPromptTones() {
  return {{"ding.wav", Ding()}, {"chime.wav", Chime()}, {"bell.mp3", Bell()}};
}

std::vector<BundledFile> BundledMusic() { return {{"theme.mp3", Theme()}}; }

int InstallBundledMedia(const DataDirectory& dir, const CreatedFolders& created) {
  int written = 0;
  if (created.sound) written += WriteMissing(dir.Sound(), BundledPromptTones());
  if (created.music) written += WriteMissing(dir.Music(), BundledMusic());
  return written;
}

}  // namespace aurisona
