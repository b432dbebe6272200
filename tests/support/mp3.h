// MP3 for the tests: pieces encoded as the output job encodes them, an
// independent check of the frame headers, a decoder, and a tone analysis of
// what was decoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aurisona::testing {

// 44100 Hz stereo PCM encoded as the output job encodes a piece.
std::string Mp3Of(const std::vector<int16_t>& stereo44100);

// MP3 frames for a piece of `frames` stereo frames at 44100 Hz: LAME's start
// delay of 576 frames, then padding of at least 576 frames up to a whole MP3
// frame of 1152.
constexpr size_t PieceFrames(size_t frames) { return (576 + frames + 576 + 1151) / 1152; }

// Walks the file's frames, checking every header against the output format
// (MPEG-1 Layer III, 44100 Hz, 128 kbit/s, joint stereo, original, no CRC, no
// private or copyright bit, no emphasis) and that no frame is a Xing or Info
// tag. `problem` names the first fault; `frames` counts the good frames.
struct FrameWalk {
  size_t frames = 0;
  std::string problem;
};
FrameWalk WalkFrames(const std::string& mp3);

struct DecodedMp3 {
  long rate = 0;
  int channels = 0;
  int errors = 0;                // decoder errors met
  std::vector<int16_t> samples;  // interleaved
  size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};
// Decodes a whole stream with libmpg123, forcing 16-bit output; every sample
// counts, also those that come with the decoder's request for more input.
DecodedMp3 DecodeMp3Bytes(const std::string& mp3);

// A stretch of the left channel louder than the threshold, with its pitch.
struct Burst {
  size_t start = 0;  // frames
  size_t end = 0;
  double hz = 0;
  double seconds() const { return double(end - start) / 44100.0; }
};
// Bursts found by the RMS of blocks of 256 frames; the pitch comes from the
// crossings of the burst's signal.
std::vector<Burst> FindBursts(const DecodedMp3& audio, double threshold = 1500);

// Largest absolute value of the left channel in frames [from, to).
int PeakOf(const DecodedMp3& audio, size_t from, size_t to);

// The first sample (in seconds) of each stretch of sound after at least 30 ms
// of quiet in the left channel of 44100 Hz audio: a piece ends and the next
// begins with about 38 ms of it.
std::vector<double> SoundOnsets(const DecodedMp3& audio);

}  // namespace aurisona::testing
