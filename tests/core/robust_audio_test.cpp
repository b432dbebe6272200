// Sources that lie or never end: a recording whose header was never completed
// plays what it holds; a FIFO or a device adds nothing and blocks nobody.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <future>

#include "core/audio/piece_encoder.h"
#include "core/audio/render.h"
#include "core/output_test_support.h"
#include "core/test_util.h"
#include "support/lsn.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::Le32;
using testing::TempDir;
using testing::WriteBytes;

std::vector<uint8_t> Render(const fs::path& path, PieceKind kind = PieceKind::Recording) {
  MemorySink sink;
  const PieceSettings settings;
  const RenderResult result = RenderSoundFile(path, kind, 0, settings, sink);
  if (result != RenderResult::Rendered) return {};
  return sink.bytes();
}

TEST(RobustAudioTest, AnUnfinishedRecordingPlaysTheDataThatIsThere) {
  TempDir dir;
  const std::string whole = testing::WavBytes(testing::Sine(22050, 1, 440, 22050, 8000), 22050, 1);
  ASSERT_EQ(whole.size(), 44u + 44100u);
  WriteBytes(dir / "whole.wav", whole);
  const std::vector<uint8_t> expected = Render(dir / "whole.wav");
  ASSERT_FALSE(expected.empty());

  // The RIFF and data sizes an interrupted recorder leaves, and sizes beyond
  // the end of the file.
  const auto sized = [&](const std::string& bytes, uint32_t riff, uint32_t data) {
    return std::string(bytes).replace(4, 4, Le32(riff)).replace(40, 4, Le32(data));
  };
  WriteBytes(dir / "zero.wav", sized(whole, 36, 0));
  EXPECT_EQ(Render(dir / "zero.wav"), expected);
  WriteBytes(dir / "large.wav", sized(whole, 0xFFFFFFF0u, 0xFFFFFFD0u));
  EXPECT_EQ(Render(dir / "large.wav"), expected);

  // A really empty recording stays empty.
  WriteBytes(dir / "empty.wav", sized(whole.substr(0, 44), 36, 0));
  EXPECT_TRUE(Render(dir / "empty.wav").empty());
}

TEST(RobustAudioTest, FifosAndDevicesAddNothingAndBlockNobody) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  // Keep a writer open, so that a reader that opens them would wait for data.
  const int keepMp3 = ::open((dir / "pipe.mp3").c_str(), O_RDWR);
  const int keepWav = ::open((dir / "pipe.wav").c_str(), O_RDWR);
  ASSERT_GE(keepMp3, 0);
  ASSERT_GE(keepWav, 0);
  fs::create_symlink("/dev/zero", dir / "zero.mp3");
  fs::create_symlink("/dev/zero", dir / "zero.wav");
  fs::create_symlink("/dev/urandom", dir / "random.mp3");
  auto renders = std::async(std::launch::async, [&] {
    size_t bytes = 0;
    for (const char* name : {"pipe.mp3", "pipe.wav", "zero.mp3", "zero.wav", "random.mp3"}) {
      bytes += Render(dir / name, PieceKind::Music).size();
    }
    return bytes;
  });
  const bool finished = renders.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  // Let a blocked reader go before failing, so the test can end.
  ::close(keepMp3);
  ::close(keepWav);
  ASSERT_TRUE(finished) << "a render waited on a FIFO or read a device";
  EXPECT_EQ(renders.get(), 0u);
}


TEST(RobustAudioTest, EverySampleRateFrom1To384kHzAndEveryCodecLibsndfileReadsIsHeard) {
  TempDir dir;
  struct Case {
    std::string name;
    int rate;
    int format;  // libsndfile's sub-format
  };
  const Case cases[] = {
      {"1k.wav", 1000, SF_FORMAT_PCM_16},      {"4k.wav", 4000, SF_FORMAT_PCM_16},
      {"7999.wav", 7999, SF_FORMAT_PCM_16},    {"8k.wav", 8000, SF_FORMAT_PCM_16},
      {"192k.wav", 192000, SF_FORMAT_PCM_16},  {"200k.wav", 200000, SF_FORMAT_FLOAT},
      {"384k.wav", 384000, SF_FORMAT_PCM_24},  {"gsm.wav", 8000, SF_FORMAT_GSM610},
      {"IMA.WAV", 22050, SF_FORMAT_IMA_ADPCM}, {"ulaw.wav", 11025, SF_FORMAT_ULAW},
  };
  for (const Case& c : cases) {  // (an ending in capitals is a WAV file too)
    // One second of 300 Hz.
    std::vector<double> tone(size_t(c.rate));
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.37 * std::sin(2 * M_PI * 300 * double(i) / c.rate);
    SF_INFO info{};
    info.samplerate = c.rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | c.format;
    SNDFILE* file = sf_open((dir / c.name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << c.name << ": " << sf_strerror(nullptr);
    sf_write_double(file, tone.data(), sf_count_t(tone.size()));
    sf_close(file);
    MemorySink sink;
    ASSERT_EQ(RenderSoundFile(dir / c.name, PieceKind::Recording, 0, PieceSettings{}, sink), RenderResult::Rendered)
        << c.name;
    const auto audio = testing::DecodeMp3Bytes(std::string(sink.bytes().begin(), sink.bytes().end()));
    const auto bursts = testing::FindBursts(audio);
    ASSERT_EQ(bursts.size(), 1u) << c.name;
    EXPECT_NEAR(bursts[0].seconds(), 1.0, 0.05) << c.name;  // GSM rings on a little
    EXPECT_NEAR(bursts[0].hz, 300, 6) << c.name;
  }
}

TEST(RobustAudioTest, DcAndInfrasoundAreNotRaisedByAMeasuredGain) {
  TempDir dir;
  auto wave = [](double dc, double hz, double amplitude) {
    std::vector<int16_t> samples(44100);
    for (size_t i = 0; i < samples.size(); ++i) {
      samples[i] = int16_t(std::lround(32768 * (dc + amplitude * std::sin(2 * M_PI * hz * double(i) / 44100))));
    }
    return samples;
  };
  PieceSettings automatic;
  automatic.recording.automatic = true;
  PieceSettings loudness;
  loudness.loudness.on = true;
  struct Case {
    const char* what;
    std::vector<int16_t> samples;
    const PieceSettings* settings;
    int maxPeak;     // of the output
    int minPeak;
  };
  const Case cases[] = {
      {"DC at -40 dBFS", wave(0.01, 0, 0), &automatic, 50, 0},
      {"5 Hz at -26 dBFS", wave(0, 5, 0.05), &automatic, 1640, 0},
      {"5 Hz at -26 dBFS, loudness", wave(0, 5, 0.05), &loudness, 1640, 0},
      {"DC at -40 dBFS, loudness", wave(0.01, 0, 0), &loudness, 50, 0},
      {"1 kHz at -40 dBFS, loudness: raised to -16 LUFS", wave(0, 1000, 0.01), &loudness, 6500, 4000},
      // What is heard is raised to full scale; the offset under it is gone.
      {"1 kHz at -12 dBFS over DC at -12 dBFS", wave(0.25, 1000, 0.25), &automatic, 32767, 30000},
  };
  for (const Case& c : cases) {
    WriteBytes(dir / "r.wav", testing::WavBytes(c.samples, 44100, 1));
    MemorySink sink;
    const RenderResult result = RenderSoundFile(dir / "r.wav", PieceKind::Recording, 0, *c.settings, sink);
    ASSERT_EQ(result, RenderResult::Rendered) << c.what;
    const auto audio = testing::DecodeMp3Bytes(std::string(sink.bytes().begin(), sink.bytes().end()));
    ASSERT_GT(audio.frames(), 40000u) << c.what;
    const int peak = testing::PeakOf(audio, 0, audio.frames());
    EXPECT_LE(peak, c.maxPeak) << c.what;
    EXPECT_GE(peak, c.minPeak) << c.what;
    double sum = 0;
    for (const int16_t v : audio.samples) sum += v;
    EXPECT_LT(std::abs(sum / double(audio.samples.size())), 100) << c.what << ": what remains of the offset";
  }
}

}  // namespace
}  // namespace aurisona
