#include "support/mp3.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/audio/piece_encoder.h"

namespace aurisona::testing {

std::string Mp3Of(const std::vector<int16_t>& stereo44100) {
  MemorySink sink;
  PieceEncoder encoder(sink);
  if (encoder.Open(44100) != SinkStatus::Ok) return {};
  for (size_t at = 0; at < stereo44100.size(); at += PieceEncoder::kChunkSamples) {
    const size_t n = std::min(PieceEncoder::kChunkSamples, stereo44100.size() - at);
    if (encoder.Write(stereo44100.data() + at, n) != SinkStatus::Ok) return {};
  }
  if (encoder.Close() != SinkStatus::Ok) return {};
  return std::string(sink.bytes().begin(), sink.bytes().end());
}

FrameWalk WalkFrames(const std::string& mp3) {
  FrameWalk walk;
  size_t at = 0;
  auto fault = [&](const std::string& what) {
    walk.problem = what + " at byte " + std::to_string(at) + " (frame " + std::to_string(walk.frames) + ")";
    return walk;
  };
  while (at < mp3.size()) {
    if (mp3.size() - at < 4) return fault("a partial header");
    const auto b = [&](size_t k) { return uint8_t(mp3[at + k]); };
    // sync, MPEG-1, Layer III, no CRC
    if (b(0) != 0xFF || b(1) != 0xFB) return fault("not an MPEG-1 Layer III frame without CRC");
    // 128 kbit/s, 44100 Hz, private bit clear
    if ((b(2) & 0xFD) != 0x90) return fault("not 128 kbit/s at 44100 Hz");
    // joint stereo, no copyright, original, no emphasis
    if ((b(3) & 0xCF) != 0x44) return fault("not joint stereo with the original bit");
    const size_t size = 417 + ((b(2) >> 1) & 1);
    if (mp3.size() - at < size) return fault("a partial frame");
    // A Xing or Info tag stands after the 32 bytes of stereo side information.
    const std::string tag = mp3.substr(at + 4 + 32, 4);
    if (tag == "Xing" || tag == "Info") return fault("a " + tag + " frame");
    at += size;
    ++walk.frames;
  }
  return walk;
}

DecodedMp3 DecodeMp3Bytes(const std::string& mp3) {
  DecodedMp3 out;
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  if (!h) return out;
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(h);
  const long* rates;
  size_t count;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  mpg123_open_feed(h);
  std::vector<int16_t> buffer(16384);
  size_t done = 0;
  int r = mpg123_decode(h, reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size(),
                        reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * 2, &done);
  for (;;) {
    if (r == MPG123_NEW_FORMAT) {
      int encoding;
      mpg123_getformat(h, &out.rate, &out.channels, &encoding);
    }
    out.samples.insert(out.samples.end(), buffer.begin(), buffer.begin() + long(done / 2));
    if (r == MPG123_ERR) ++out.errors;
    if (r == MPG123_NEED_MORE || r == MPG123_DONE || out.errors > 100) break;
    r = mpg123_decode(h, nullptr, 0, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * 2, &done);
  }
  mpg123_delete(h);
  return out;
}

std::vector<Burst> FindBursts(const DecodedMp3& audio, double threshold) {
  constexpr size_t kBlock = 256;
  const size_t ch = size_t(std::max(audio.channels, 1));
  const size_t frames = audio.frames();
  std::vector<Burst> bursts;
  bool in = false;
  for (size_t b = 0; b * kBlock < frames; ++b) {
    const size_t from = b * kBlock, to = std::min(frames, from + kBlock);
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(audio.samples[i * ch]) * audio.samples[i * ch];
    const bool loud = std::sqrt(sum / double(to - from)) > threshold;
    if (loud && !in) bursts.push_back({from, to, 0});
    if (loud) bursts.back().end = to;
    in = loud;
  }
  // Rising crossings with hysteresis, so that the low noise at the edges adds
  // none; the pitch is measured between the first and the last.
  const double h = threshold / 2;
  for (Burst& burst : bursts) {
    size_t rises = 0, first = 0, last = 0;
    bool high = true;
    for (size_t i = burst.start; i < burst.end; ++i) {
      const int16_t s = audio.samples[i * ch];
      if (!high && s > h) {
        high = true;
        if (rises++ == 0) first = i;
        last = i;
      } else if (high && s < -h) {
        high = false;
      }
    }
    if (rises > 1) burst.hz = double(rises - 1) * 44100.0 / double(last - first);
  }
  return bursts;
}

int PeakOf(const DecodedMp3& audio, size_t from, size_t to) {
  const size_t ch = size_t(std::max(audio.channels, 1));
  int peak = 0;
  for (size_t i = from; i < std::min(to, audio.frames()); ++i) peak = std::max(peak, std::abs(int(audio.samples[i * ch])));
  return peak;
}

std::vector<double> SoundOnsets(const DecodedMp3& audio) {
  const size_t ch = size_t(std::max(audio.channels, 1));
  const int threshold = std::max(PeakOf(audio, 0, audio.frames()) / 20, 64);
  std::vector<double> onsets;
  size_t quiet = 44100;
  for (size_t i = 0; i < audio.frames(); ++i) {
    if (std::abs(int(audio.samples[ch * i])) >= threshold) {
      if (quiet >= 1323) onsets.push_back(double(i) / 44100);
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return onsets;
}

}  // namespace aurisona::testing
