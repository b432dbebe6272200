#include "core/speech/speech_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

#include "core/util/atomic_file.h"

namespace aurisona {
namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

thread_local std::string t_failure;

}  // namespace

std::string TakeSpeechFailure() { return std::exchange(t_failure, {}); }
void ReportSpeechFailure(std::string reason) { t_failure = std::move(reason); }

void ResetSpeechRandomness() { std::srand(1); }

SynthesisStatus SpeechEngine::SynthesizeAll(std::u16string_view text,
                                            std::u16string_view voice_name, int rate, int volume,
                                            SpeechAudio* audio) {
  *audio = SpeechAudio{};
  return Synthesize(
      text, voice_name, rate, volume,
      [audio](const SpeechChunk& chunk) {
        audio->sample_rate = chunk.sample_rate;
        audio->samples.insert(audio->samples.end(), chunk.samples.begin(), chunk.samples.end());
        audio->words.insert(audio->words.end(), chunk.words.begin(), chunk.words.end());
        return true;
      },
      &audio->voice);
}

bool SpeechEngine::Speak(std::u16string_view text, const std::filesystem::path& file,
                         std::u16string_view voice_name, int rate, int volume,
                         SpeakOutcome* outcome) {
  SpeakOutcome result = SpeakOutcome::kNothingToSpeak;
  bool ok = true;
  if (text.empty()) {
    ok = IsReady();  // stopping before the synthesiser exists is reported as failure
  } else {
    SpeechAudio audio;
    switch (SynthesizeAll(text, voice_name, rate, volume, &audio)) {
      case SynthesisStatus::kOk: {
        const int file_rate = audio.voice.sample_rate > 0 ? audio.voice.sample_rate : audio.sample_rate;
        if (audio.sample_rate > 0 && audio.sample_rate != file_rate) {
          audio.samples = ResampleBandLimited(audio.samples, audio.sample_rate, file_rate);
        }
        result = WriteFileAtomically(file, EncodeWavMono16(audio.samples, file_rate))
                     ? SpeakOutcome::kWritten
                     : SpeakOutcome::kWriteFailed;
        break;
      }
      case SynthesisStatus::kEmptyText:
        result = SpeakOutcome::kNothingToSpeak;
        break;
      case SynthesisStatus::kNoEngine:
        result = SpeakOutcome::kNoEngine;
        ok = false;
        break;
      case SynthesisStatus::kFailed:
      case SynthesisStatus::kStopped:
        result = SpeakOutcome::kSynthesisFailed;
        break;
    }
  }
  if (outcome) *outcome = result;
  return ok;
}

double SpeechDurationFactor(int rate) { return std::pow(3.0, -std::clamp(rate, -10, 10) / 10.0); }

std::string EncodeWavMono16(std::span<const int16_t> samples, int sample_rate) {
  const auto data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out;
  out.reserve(44 + data_bytes);
  out += "RIFF";
  PutLe(out, 36 + data_bytes, 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);                                     // fmt chunk size
  PutLe(out, 1, 2);                                      // PCM
  PutLe(out, 1, 2);                                      // channels
  PutLe(out, static_cast<uint32_t>(sample_rate), 4);
  PutLe(out, static_cast<uint32_t>(sample_rate) * 2, 4); // bytes per second
  PutLe(out, 2, 2);                                      // block align
  PutLe(out, 16, 2);                                     // bits per sample
  out += "data";
  PutLe(out, data_bytes, 4);
  for (const int16_t s : samples) PutLe(out, static_cast<uint16_t>(s), 2);
  return out;
}

std::vector<int16_t> ResampleMono16(std::span<const int16_t> samples, int from_rate, int to_rate) {
  if (from_rate <= 0 || to_rate <= 0 || from_rate == to_rate || samples.empty()) {
    return {samples.begin(), samples.end()};
  }
  const auto count = static_cast<size_t>(
      (static_cast<uint64_t>(samples.size()) * static_cast<uint64_t>(to_rate)) /
      static_cast<uint64_t>(from_rate));
  std::vector<int16_t> out(count);
  const double step = static_cast<double>(from_rate) / to_rate;
  for (size_t i = 0; i < count; ++i) {
    const double pos = static_cast<double>(i) * step;
    const auto left = std::min(static_cast<size_t>(pos), samples.size() - 1);
    const size_t right = std::min(left + 1, samples.size() - 1);
    const double frac = pos - static_cast<double>(left);
    out[i] = static_cast<int16_t>(std::lround(samples[left] * (1.0 - frac) + samples[right] * frac));
  }
  return out;
}

std::vector<int16_t> ResampleBandLimited(std::span<const int16_t> samples, int from_rate, int to_rate) {
  if (from_rate <= 0 || to_rate <= 0 || from_rate == to_rate || samples.empty()) {
    return {samples.begin(), samples.end()};
  }
  const auto count = static_cast<size_t>(
      (static_cast<uint64_t>(samples.size()) * static_cast<uint64_t>(to_rate)) / static_cast<uint64_t>(from_rate));
  const double step = static_cast<double>(from_rate) / to_rate;  // input samples per output sample
  // Cut-off as a fraction of the input's Nyquist frequency, a little below the lower rate's.
  const double cutoff = 0.95 * std::min(1.0, static_cast<double>(to_rate) / from_rate);
  constexpr double kZeroCrossings = 16;
  const double reach = kZeroCrossings / cutoff;  // input samples on each side
  // The kernel is even; it is tabulated at kSteps points per input sample and read with
  // linear interpolation (an error near -120 dB), which spares three transcendental
  // functions per tap and makes it about ten times faster than the exact sum.
  constexpr int kSteps = 1024;
  const auto tableSize = static_cast<size_t>(std::ceil(reach * kSteps)) + 2;
  std::vector<double> kernel(tableSize, 0.0);
  for (size_t k = 0; k < tableSize; ++k) {
    const double x = static_cast<double>(k) / kSteps;
    if (x >= reach) break;
    const double t = x / reach;  // 0..1
    const double window = 0.42 + 0.5 * std::cos(std::numbers::pi * t) + 0.08 * std::cos(2 * std::numbers::pi * t);
    const double arg = std::numbers::pi * cutoff * x;
    kernel[k] = cutoff * (arg == 0 ? 1.0 : std::sin(arg) / arg) * window;
  }
  const auto last = static_cast<int64_t>(samples.size()) - 1;
  std::vector<int16_t> out(count);
  for (size_t i = 0; i < count; ++i) {
    const double center = static_cast<double>(i) * step;
    const auto first = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(center - reach)));
    const auto end = std::min<int64_t>(last, static_cast<int64_t>(std::floor(center + reach)));
    double sum = 0;
    for (int64_t j = first; j <= end; ++j) {
      const double at = std::abs(static_cast<double>(j) - center) * kSteps;
      const auto k = std::min(static_cast<size_t>(at), tableSize - 2);
      const double frac = at - static_cast<double>(k);
      sum += samples[static_cast<size_t>(j)] * (kernel[k] + (kernel[k + 1] - kernel[k]) * frac);
    }
    out[i] = static_cast<int16_t>(std::clamp(std::lround(sum), -32768L, 32767L));
  }
  return out;
}

}  // namespace aurisona
