// Sound fixtures written by the tests themselves: RIFF WAVE files of 16-bit PCM
// (or of any header fields and data, to lie with), tones, a test pattern that
// can be read back frame by frame, and a check of a WAV header's sizes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace aurisona::testing {

// A WAV file of `data` whose header says `declaredData` bytes of data, `format`
// and `bits` (the RIFF size counts what is there).
std::string RawWav(const std::string& data, uint32_t rate, uint16_t channels, uint32_t declaredData, uint16_t format = 1,
                   uint16_t bits = 16);
// A WAV file of 16-bit PCM samples (interleaved when stereo).
std::string WavBytes(const std::vector<int16_t>& samples, int rate, int channels);
void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, int rate, int channels);

// The first fault of a 16-bit PCM WAV file with a 44-byte header whose sizes
// must agree with the file's; empty when there is none.
std::string WavFault(const std::string& bytes);
struct Wav {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;
};
// The samples of a WAV file with a 44-byte header.
Wav ReadWav(const std::string& bytes);

// A sine tone of `frames` frames at `amplitude`, every channel alike.
std::vector<int16_t> Sine(size_t frames, int channels, double hz, int rate, double amplitude);

// The root mean square and the largest magnitude of some samples (0 for none).
double Rms(const std::vector<int16_t>& samples);
int Peak(const std::vector<int16_t>& samples);

// Interleaved stereo test pattern: frame i is (1000 + i % 500, -2000 - i % 300),
// never silent, and its index modulo 1500 can be read back.
std::vector<int16_t> Pattern(size_t frames);
// Frames of interleaved stereo that are not silent (both samples 0), in order.
std::vector<std::pair<int16_t, int16_t>> SoundingFrames(const std::vector<int16_t>& stereo);
// Empty when `frames` is the pattern from its start for exactly `count` frames,
// else what differs.
std::string PatternFault(const std::vector<std::pair<int16_t, int16_t>>& frames, size_t count);

}  // namespace aurisona::testing
