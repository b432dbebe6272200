// Helpers for the output tests: fixtures written by the tests themselves, an
// independent check of the MP3 frame headers, a decoder, a tone analysis and
// a speech engine whose sentences are tones.
#pragma once

#include <mpg123.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "audio/piece_encoder.h"
#include "speech/speech_engine.h"
#include "util/text.h"

namespace aurisona::testing {

// A RIFF WAVE file of 16-bit PCM (interleaved when stereo).
inline std::string WavBytes(const std::vector<int16_t>& samples, int rate, int channels) {
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
  const auto data = uint32_t(samples.size() * 2);
  std::string out = "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16) + u16(1) + u16(uint32_t(channels)) +
                    u32(uint32_t(rate)) + u32(uint32_t(rate * channels * 2)) + u16(uint32_t(channels * 2)) + u16(16) +
                    "data" + u32(data);
  for (int16_t s : samples) out += u16(uint16_t(s));
  return out;
}

// A sine tone of `frames` frames at `amplitude`, both channels alike.
inline std::vector<int16_t> Sine(size_t frames, int channels, double hz, int rate, double amplitude) {
  std::vector<int16_t> out(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i) {
    const auto v = int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate)));
    for (int c = 0; c < channels; ++c) out[i * size_t(channels) + size_t(c)] = v;
  }
  return out;
}

// 44100 Hz stereo PCM encoded as the output job encodes a piece.
inline std::string Mp3Of(const std::vector<int16_t>& stereo44100) {
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
inline FrameWalk WalkFrames(const std::string& mp3) {
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

struct DecodedMp3 {
  long rate = 0;
  int channels = 0;
  int errors = 0;                // decoder errors met
  std::vector<int16_t> samples;  // interleaved
  size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};

// Decodes a whole stream with libmpg123, forcing 16-bit output.
inline DecodedMp3 DecodeMp3Bytes(const std::string& mp3) {
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

// A stretch of the left channel louder than the threshold, with its pitch.
struct Burst {
  size_t start = 0;  // frames
  size_t end = 0;
  double hz = 0;
  double seconds() const { return double(end - start) / 44100.0; }
};

// Bursts found by the RMS of blocks of 256 frames; the pitch comes from the
// crossings of the burst's signal.
inline std::vector<Burst> FindBursts(const DecodedMp3& audio, double threshold = 1500) {
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

// Largest absolute value of the left channel in frames [from, to).
inline int PeakOf(const DecodedMp3& audio, size_t from, size_t to) {
  const size_t ch = size_t(std::max(audio.channels, 1));
  int peak = 0;
  for (size_t i = from; i < std::min(to, audio.frames()); ++i) peak = std::max(peak, std::abs(int(audio.samples[i * ch])));
  return peak;
}

// The first sample (in seconds) of each stretch of sound after at least 30 ms
// of quiet in the left channel of 44100 Hz audio: a piece ends and the next
// begins with about 38 ms of it.
inline std::vector<double> SoundOnsets(const DecodedMp3& audio) {
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

// A speech engine whose sentences are sine tones at 22050 Hz: the voice sets
// the pitch (male 300 Hz, female 600 Hz; voice set 1: 450 and 900 Hz), the
// text the length (40 ms per UTF-16 unit). Voice names: "ZhM", "ZhF", "EnM",
// "EnF", "ZhM1", "ZhF1", "EnM1", "EnF1"; "Fail" fails. Every call is logged
// as "voice:text" (in the order they came, from any thread).
class ToneSpeechEngine : public SpeechEngine {
 public:
  static double PitchOf(std::u16string_view voice) {
    const bool set1 = !voice.empty() && voice.back() == u'1';
    const bool female = voice.find(u'F') != std::u16string_view::npos && voice != u"Fail";
    return (set1 ? 450.0 : 300.0) * (female ? 2 : 1);
  }
  std::vector<Voice> ListVoices() override {
    std::vector<Voice> voices;
    for (const char16_t* name : {u"ZhM", u"ZhF", u"EnM", u"EnF", u"ZhM1", u"ZhF1", u"EnM1", u"EnF1", u"Fail"}) {
      voices.push_back(Voice{name, u"Tone 22kHz", "en-US", VoiceGender::kMale, 22050, u"Tone"});
    }
    return voices;
  }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int, int,
                             const SpeechSink& sink, Voice* used_voice) override {
    {
      std::lock_guard lock(mutex_);
      calls.push_back(Utf16ToUtf8(voice_name) + ":" + Utf16ToUtf8(text));
    }
    if (voice_name == u"Fail") return SynthesisStatus::kFailed;
    if (text.empty()) return SynthesisStatus::kEmptyText;
    if (used_voice) *used_voice = Voice{std::u16string(voice_name), u"Tone 22kHz", "en-US", VoiceGender::kMale, 22050, u"Tone"};
    const std::vector<int16_t> pcm = Sine(text.size() * 882, 1, PitchOf(voice_name), 22050, 12000);
    SpeechChunk chunk;
    chunk.sample_rate = 22050;
    chunk.samples = pcm;
    sink(chunk);
    return SynthesisStatus::kOk;
  }
  bool IsReady() const override { return true; }
  std::vector<std::string> calls;

 private:
  std::mutex mutex_;
};

}  // namespace aurisona::testing
