#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "core/audio/mp3_frame.h"
#include "core/audio/pcm.h"
#include "core/audio/piece_encoder.h"
#include "core/audio/render.h"
#include "core/test_util.h"
#include "support/mp3.h"
#include "support/wav.h"

namespace aurisona {
namespace {

using testing::DecodedMp3;
using testing::RawWav;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

// ---- fixtures -------------------------------------------------------------

// A tone of `frames` frames whose loudest sample is exactly `peak`.
std::vector<int16_t> Tone(size_t frames, int channels, int peak) {
  std::vector<int16_t> samples(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double v = std::sin(double(i) * 0.05) * peak;
    for (int c = 0; c < channels; ++c) samples[i * channels + c] = int16_t(std::lround(v * (c == 1 ? -1 : 1)));
  }
  if (!samples.empty()) samples[frames / 2 * channels] = int16_t(peak);
  return samples;
}

// Records what a piece hands to its encoder.
class CaptureSink : public PcmSink {
 public:
  SinkStatus Open(uint32_t sampleRate) override {
    rate = sampleRate;
    return SinkStatus::Ok;
  }
  size_t ChunkCapacity() const override { return 2304; }
  SinkStatus Write(const int16_t* s, size_t count) override {
    EXPECT_LE(count, 2304u);
    samples.insert(samples.end(), s, s + count);
    return SinkStatus::Ok;
  }
  SinkStatus Close() override { return SinkStatus::Ok; }
  uint32_t rate = 0;
  std::vector<int16_t> samples;
};

class FailingSink : public ByteSink {
 public:
  bool Append(const uint8_t*, size_t) override { return ++calls < 3; }
  int calls = 0;
};

std::vector<int16_t> Widened(const std::vector<int16_t>& mono) {
  std::vector<int16_t> out;
  for (int16_t s : mono) out.insert(out.end(), {s, s});
  return out;
}

PieceSettings NoGain() { return PieceSettings{}; }

// What a sound file hands to its encoder; nothing when it cannot be rendered.
std::vector<int16_t> Samples(const fs::path& path, PieceKind kind = PieceKind::Speech, int32_t playTime = 0,
                             const PieceSettings& settings = {}) {
  CaptureSink capture;
  const RenderResult result = path.extension() == ".mp3" ? RenderMp3Source(path, kind, playTime, settings, capture)
                                                          : RenderWavSource(path, kind, settings, capture);
  EXPECT_EQ(result, RenderResult::Rendered) << path;
  return capture.samples;
}

// ---- the encoder -------------------------------------------------------------

TEST(AudioRenderEncoder, WriteFailureIsReported) {
  FailingSink failing;
  EXPECT_EQ(RenderSilence(3000, failing), RenderResult::WriteFailed);
  EXPECT_EQ(failing.calls, 3);  // stopped at the failing write
  TempDir dir;
  testing::WriteWav(dir / "a.wav", Tone(22050 * 3, 1, 9000), 22050, 1);
  FailingSink failing2;
  EXPECT_EQ(RenderWavSource(dir / "a.wav", PieceKind::Speech, NoGain(), failing2), RenderResult::WriteFailed);
}

// ---- WAV -------------------------------------------------------------------

// The gain group and the fade follow the piece kind: a prompt tone takes the
// music group's gain but is never faded; a fade of 3 s is cut to half the clip.
TEST(AudioRenderWav, GainGroupAndFadeFollowThePieceKind) {
  TempDir dir;
  const std::vector<int16_t> stereo = Tone(5000, 2, 16383);
  testing::WriteWav(dir / "g.wav", stereo, 44100, 2);
  PieceSettings settings;
  settings.text = {true, true, 300};          // automatic wins: 3276700 / 16383 = 200
  settings.music = {false, true, 50};
  settings.recording = {false, false, 400};   // neither flag: unchanged
  settings.musicFade = true;
  settings.fadeSeconds = 3;
  const uint32_t n = uint32_t(stereo.size());
  const std::tuple<PieceKind, int32_t, bool> cases[] = {{PieceKind::Speech, 200, false},
                                                        {PieceKind::PromptTone, 50, false},
                                                        {PieceKind::Music, 50, true},
                                                        {PieceKind::Recording, 100, false}};
  for (auto [kind, percent, faded] : cases) {
    std::vector<int16_t> expected = stereo;
    if (faded) ApplyFade(n / 2, 0, expected.data(), n, n);
    ApplyGain(expected.data(), n, percent);
    EXPECT_EQ(Samples(dir / "g.wav", kind, 0, settings), expected) << int(kind);
  }
}

// Deeper, float and unsigned 8-bit data (written as the file's own values:
// 0x80 is an 8-bit file's silence).
TEST(AudioRenderWav, DeeperAndFloatDataIsConverted) {
  TempDir dir;
  const std::tuple<int, std::vector<double>, std::vector<int16_t>> cases[] = {
      {SF_FORMAT_PCM_24, {0x123456, -0x400000, 0x7FFFFF, -0x800000}, {0x1234, -0x4000, 32767, -32768}},
      {SF_FORMAT_FLOAT, {0.5, -0.25, 1.5, -3.0, 0.0, NAN}, {16384, -8192, 32767, -32768, 0, 0}},
      {SF_FORMAT_PCM_U8, {0, 1, -2}, {0, 256, -512}},
  };
  for (const auto& [format, values, expected] : cases) {
    SF_INFO info{0, 8000, 1, SF_FORMAT_WAV | format, 0, 0};
    SNDFILE* f = sf_open((dir / "d.wav").c_str(), SFM_WRITE, &info);
    sf_command(f, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    sf_write_double(f, values.data(), sf_count_t(values.size()));
    sf_close(f);
    EXPECT_EQ(Samples(dir / "d.wav"), Widened(expected)) << format;
  }
}

TEST(AudioRenderWav, EveryChannelOfALargerFileIsMixedIn) {
  TempDir dir;
  // Channels in the WAVE order FL FR FC LFE BL BR; one frame each, 8000 on one channel.
  struct Case {
    int channels;
    int loud;  // the channel that sounds
    int16_t left, right;
  };
  // Left and right channels their own side, the others both at -3 dB; all
  // scaled by 1/sqrt(summed squares of a side) so unrelated channels keep their loudness.
  const Case cases[] = {
      {4, 0, 5657, 0}, {4, 3, 4000, 4000}, {6, 2, 3266, 3266}, {6, 5, 0, 4619},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> frame(size_t(c.channels), 0);
    frame[size_t(c.loud)] = 8000;
    testing::WriteWav(dir / "q.wav", frame, 48000, c.channels);
    const std::vector<int16_t> mixed = Samples(dir / "q.wav");
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_NEAR(mixed[0], c.left, 1) << c.channels << " channels, " << c.loud;
    EXPECT_NEAR(mixed[1], c.right, 1) << c.channels << " channels, " << c.loud;
  }
}

TEST(AudioRenderWav, BadFilesAddNothingAndAreUndecodable) {
  TempDir dir;
  const std::string pcm(4000, '\x11');
  const auto undecodable = RenderResult::Undecodable;
  const std::tuple<const char*, std::string, RenderResult> files[] = {
      {"empty.wav", "", undecodable},
      {"header.wav", RawWav(pcm, 8000, 1, 4000).substr(0, 30), undecodable},
      {"nodata.wav", RawWav("", 8000, 1, 0), RenderResult::NothingAdded},  // a sound of no length
      {"zerochannels.wav", RawWav(pcm, 8000, 0, 4000), undecodable},
      {"zerorate.wav", RawWav(pcm, 0, 1, 4000), undecodable},
      {"999hz.wav", RawWav(pcm, 999, 1, 4000), undecodable},
      {"768khz.wav", RawWav(pcm, 768000, 1, 4000), undecodable},
      {"fastrate.wav", RawWav(pcm, 4000000000u, 2, 4000), undecodable},
      {"aiff.wav", "FORM\0\0\0\x20" "AIFFCOMM" + std::string(40, '\0'), undecodable},
  };
  for (const auto& [name, bytes, result] : files) {
    WriteBytes(dir / name, bytes);
    MemorySink sink;
    EXPECT_EQ(RenderWavSource(dir / name, PieceKind::Speech, NoGain(), sink), result) << name;
    EXPECT_TRUE(sink.bytes().empty()) << name;
  }
  MemorySink sink;
  EXPECT_EQ(RenderWavSource(dir / "missing.wav", PieceKind::Speech, NoGain(), sink), undecodable);
}

// ---- MP3 -------------------------------------------------------------------

class AudioRenderMp3 : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = Tone(10 * 44100, 2, 20000);
    mp3_ = testing::Mp3Of(source_);
    WriteBytes(dir_ / "clip.mp3", mp3_);
    reference_ = testing::DecodeMp3Bytes(mp3_);
    ASSERT_EQ(reference_.channels, 2);
    ASSERT_GT(reference_.samples.size(), source_.size());
  }
  std::vector<int16_t> Reference(size_t count) const {
    return {reference_.samples.begin(), reference_.samples.begin() + long(count)};
  }
  TempDir dir_;
  std::vector<int16_t> source_;
  std::string mp3_;
  DecodedMp3 reference_;
};

TEST_F(AudioRenderMp3, WholeClipDecodesLikeTheReference) {
  CaptureSink capture;
  ASSERT_EQ(RenderMp3Source(dir_ / "clip.mp3", PieceKind::Music, 0, NoGain(), capture), RenderResult::Rendered);
  EXPECT_EQ(capture.rate, 44100u);
  EXPECT_EQ(capture.samples, reference_.samples);
  // Every decoded sample counts, also those the decoder returns together with
  // its request for more input: all frames of 1152 stereo samples arrive.
  EXPECT_EQ(capture.samples.size(), testing::WalkFrames(mp3_).frames * 1152 * 2);
}

TEST_F(AudioRenderMp3, PlayTimeCutsExactlyAndFadesOutAtTheCut) {
  PieceSettings settings;
  settings.musicFade = true;
  settings.fadeSeconds = 2;
  const std::vector<int16_t> cut = Samples(dir_ / "clip.mp3", PieceKind::Music, 5, settings);
  const size_t n = 5 * 44100 * 2;  // 5 s x rate x channels samples (x 2 bytes)
  ASSERT_EQ(cut.size(), n);
  std::vector<int16_t> expected = Reference(n);
  ApplyFade(2 * 44100 * 2, 0, expected.data(), n, uint32_t(n));
  EXPECT_EQ(cut, expected);
  EXPECT_EQ(cut[n - 1], 0);
  // A play time beyond the clip plays it whole.
  EXPECT_EQ(Samples(dir_ / "clip.mp3", PieceKind::Music, 20), reference_.samples);
}

TEST_F(AudioRenderMp3, DamagedAndForeignDataIsSafe) {
  // Truncated in the middle of a frame: what decodes is used.
  WriteBytes(dir_ / "half.mp3", mp3_.substr(0, mp3_.size() / 2 + 100));
  const size_t half = Samples(dir_ / "half.mp3", PieceKind::Music).size();
  EXPECT_GT(half, reference_.samples.size() / 3);
  EXPECT_LT(half, reference_.samples.size() * 2 / 3);
  // A large ID3v2 tag in front is passed over.
  std::string tag = std::string("ID3\x04\x00\x00", 6) + std::string{0, 0x40, 0, 0} + std::string(1 << 20, 'x');
  WriteBytes(dir_ / "tagged.mp3", tag + mp3_);
  EXPECT_EQ(Samples(dir_ / "tagged.mp3", PieceKind::Music), reference_.samples);
  // No MP3 data at all.
  std::string noise(300000, '\0');
  std::srand(7);
  for (char& c : noise) c = char(std::rand());
  const std::pair<const char*, std::string> files[] = {
      {"empty.mp3", ""},       {"zeros.mp3", std::string(100000, '\0')}, {"noise.mp3", noise},
      {"tagonly.mp3", tag},    {"text.mp3", "ID3 is not here, this is text"},
      {"wave.mp3", RawWav(std::string(4000, '\x11'), 8000, 1, 4000)},
  };
  for (const auto& [name, bytes] : files) {
    WriteBytes(dir_ / name, bytes);
    MemorySink sink;
    EXPECT_EQ(RenderMp3Source(dir_ / name, PieceKind::Music, 0, NoGain(), sink), RenderResult::Undecodable) << name;
    EXPECT_TRUE(sink.bytes().empty()) << name;
  }
  MemorySink sink;
  EXPECT_EQ(RenderMp3Source(dir_ / "missing.mp3", PieceKind::Music, 0, NoGain(), sink), RenderResult::Undecodable);
}

TEST_F(AudioRenderMp3, MonoStreamIsWidened) {
  if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "lame command not installed";
  const std::vector<int16_t> mono = Tone(22050 * 2, 1, 15000);
  testing::WriteWav(dir_ / "mono.wav", mono, 22050, 1);
  const std::string command = "lame --quiet -m m -b 64 '" + (dir_ / "mono.wav").string() + "' '" +
                              (dir_ / "mono.mp3").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const DecodedMp3 monoRef = testing::DecodeMp3Bytes(testing::ReadBytes(dir_ / "mono.mp3"));
  ASSERT_EQ(monoRef.channels, 1);
  CaptureSink capture;
  ASSERT_EQ(RenderMp3Source(dir_ / "mono.mp3", PieceKind::Recording, 0, NoGain(), capture), RenderResult::Rendered);
  EXPECT_EQ(capture.rate, 22050u);
  EXPECT_EQ(capture.samples, Widened(monoRef.samples));
}

// ---- frame headers ---------------------------------------------------------

TEST(AudioMp3Frames, HeaderFieldsAndSizes) {
  const uint8_t lame[] = {0xFF, 0xFB, 0x92, 0x64};  // MPEG-1 L3 128k 44.1k padded, joint stereo, original
  auto h = ParseMp3FrameHeader(lame, 4);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->frameBytes, 418u);
  EXPECT_EQ(h->modeExtension, 2);
  const uint8_t mpeg2[] = {0xFF, 0xF3, 0x80, 0xC4};  // MPEG-2 L3 64k 22.05k mono
  h = ParseMp3FrameHeader(mpeg2, 4);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->version, 20);
  EXPECT_EQ(h->sampleRate, 22050);
  EXPECT_EQ(h->samplesPerFrame, 576);
  EXPECT_EQ(h->frameBytes, 208u);
  EXPECT_EQ(h->mode, Mp3ChannelMode::Mono);
  const uint8_t bad[][4] = {{0xFF, 0xFB, 0xF0, 0}, {0xFF, 0xFB, 0x0C, 0}, {0xFF, 0xF9, 0x90, 0},
                            {0xFF, 0xE9, 0x90, 0}, {0xFE, 0xFB, 0x90, 0}};
  for (const auto& b : bad) EXPECT_FALSE(ParseMp3FrameHeader(b, 4));
  EXPECT_FALSE(ParseMp3FrameHeader(lame, 3));
}

}  // namespace
}  // namespace aurisona
