#include "support/wav.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "support/files.h"

namespace aurisona::testing {
namespace {

std::string Le(uint32_t v, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

}  // namespace

std::string RawWav(const std::string& data, uint32_t rate, uint16_t channels, uint32_t declaredData, uint16_t format,
                   uint16_t bits) {
  const uint32_t ch = channels, r = rate;
  const std::string body = "WAVEfmt " + Le(16, 4) + Le(format, 2) + Le(ch, 2) + Le(r, 4) + Le(r * ch * bits / 8, 4) +
                           Le(ch * bits / 8, 2) + Le(bits, 2) + "data" + Le(declaredData, 4) + data;
  return "RIFF" + Le(uint32_t(body.size()), 4) + body;
}

std::string WavBytes(const std::vector<int16_t>& samples, int rate, int channels) {
  std::string data(samples.size() * 2, '\0');
  if (!samples.empty()) std::memcpy(data.data(), samples.data(), data.size());
  return RawWav(data, uint32_t(rate), uint16_t(channels), uint32_t(data.size()));
}

void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, int rate, int channels) {
  WriteBytes(path, WavBytes(samples, rate, channels));
}

std::string WavFault(const std::string& b) {
  if (b.size() < 44) return "shorter than a header";
  if (b.substr(0, 4) != "RIFF" || b.substr(8, 8) != "WAVEfmt " || b.substr(36, 4) != "data") return "not RIFF WAVE";
  if (LittleEndian(b, 4) != b.size() - 8) return "RIFF size " + std::to_string(LittleEndian(b, 4));
  if (LittleEndian(b, 16) != 16 || LittleEndian(b, 20, 2) != 1 || LittleEndian(b, 34, 2) != 16) return "not 16-bit PCM";
  const uint32_t channels = LittleEndian(b, 22, 2), rate = LittleEndian(b, 24);
  if (LittleEndian(b, 28) != rate * channels * 2 || LittleEndian(b, 32, 2) != channels * 2) return "inconsistent rates";
  if (LittleEndian(b, 40) != b.size() - 44) return "data size " + std::to_string(LittleEndian(b, 40));
  return {};
}

Wav ReadWav(const std::string& bytes) {
  Wav wav;
  if (bytes.size() < 44) return wav;
  wav.channels = int(LittleEndian(bytes, 22, 2));
  wav.rate = int(LittleEndian(bytes, 24));
  wav.samples.resize((bytes.size() - 44) / 2);
  if (!wav.samples.empty()) std::memcpy(wav.samples.data(), bytes.data() + 44, wav.samples.size() * 2);
  return wav;
}

double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (const int16_t s : samples) sum += double(s) * s;
  return samples.empty() ? 0.0 : std::sqrt(sum / double(samples.size()));
}

int Peak(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (const int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
  return peak;
}

std::vector<int16_t> Sine(size_t frames, int channels, double hz, int rate, double amplitude) {
  std::vector<int16_t> out(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i) {
    const auto v = int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate)));
    for (int c = 0; c < channels; ++c) out[i * size_t(channels) + size_t(c)] = v;
  }
  return out;
}

std::vector<int16_t> Pattern(size_t frames) {
  std::vector<int16_t> out(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    out[2 * i] = static_cast<int16_t>(1000 + i % 500);
    out[2 * i + 1] = static_cast<int16_t>(-2000 - static_cast<int>(i % 300));
  }
  return out;
}

std::vector<std::pair<int16_t, int16_t>> SoundingFrames(const std::vector<int16_t>& stereo) {
  std::vector<std::pair<int16_t, int16_t>> frames;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    if (stereo[i] != 0 || stereo[i + 1] != 0) frames.emplace_back(stereo[i], stereo[i + 1]);
  }
  return frames;
}

std::string PatternFault(const std::vector<std::pair<int16_t, int16_t>>& frames, size_t count) {
  if (frames.size() != count) {
    return std::to_string(frames.size()) + " frames sounded, expected " + std::to_string(count);
  }
  // The pattern repeats after 1500 frames; a frame out of place is named by its place in it.
  const auto pattern = SoundingFrames(Pattern(1500));
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i] == pattern[i % 1500]) continue;
    const auto at = std::find(pattern.begin(), pattern.end(), frames[i]) - pattern.begin();
    return "frame " + std::to_string(i) + " is pattern frame " + (at < 1500 ? std::to_string(at) : "none");
  }
  return {};
}

}  // namespace aurisona::testing
