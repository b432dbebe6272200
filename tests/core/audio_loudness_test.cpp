// Loudness normalisation, measured on the decoded MP3: the programme's
// integrated loudness with ffmpeg's EBU R128 meter (independent of ours), each
// sentence with libebur128, and the true peak.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <regex>

#include "core/audio/loudness.h"
#include "core/output_test_support.h"
#include "core/test_util.h"
#include "core/output/timeline.h"
#include "core/speech/engines/espeak/espeak_engine.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::Sine;
using testing::Seg;
using testing::TempDir;
using testing::WavBytes;
using testing::WriteBytes;

struct R128 {
  double integrated = 0;
  double truePeak = 0;
};

// ffmpeg's ebur128 filter on a file: the summary's integrated loudness and true peak.
R128 FfmpegR128(const fs::path& file) {
  const std::string out =
      testing::Shell("ffmpeg -nostats -hide_banner -i '" + file.string() + "' -af ebur128=peak=true -f null - 2>&1");
  R128 r{NAN, NAN};
  const size_t summary = out.find("Summary:");
  if (summary == std::string::npos) return r;
  const std::string tail = out.substr(summary);
  std::smatch m;
  if (std::regex_search(tail, m, std::regex(R"(I:\s+(-?[0-9.]+) LUFS)"))) r.integrated = std::stod(m[1]);
  if (std::regex_search(tail, m, std::regex(R"(True peak:\s+Peak:\s+(-?[0-9.]+) dBFS)"))) r.truePeak = std::stod(m[1]);
  return r;
}

// Speech at very different volumes and rates, with a quiet recording between.
// (A clip brought to the target: RobustAudioTest, at the renderer.)
class LoudnessTest : public ::testing::Test {
 protected:
  OutputJob Job() {
    OutputJob job;
    job.segments = {
        Seg(kSegSpeech, 0, u"Good morning, everyone. This is the listening test for grade nine.", 0),
        Seg(400, 0),
        Seg(kSegSpeech, 1, u"Please answer the questions on your paper as you listen.", 0),
        Seg(kSegRecording, 0, u"take.wav"),
        Seg(kSegSpeech, 0, u"请听第一段对话，回答第一小题。", 1),
        Seg(400, 0),
        Seg(kSegSpeech, 1, u"现在你有五秒钟的时间阅读题目。", 1),
        Seg(kSegSpeech, 2, u"Where does the man want to go this afternoon?", 0),
    };
    job.output = dir / "out.mp3";
    job.recordFolder = dir.path();
    WriteBytes(dir / "take.wav", WavBytes(Sine(2 * 22050, 1, 300, 22050, 2500), 22050, 1));
    SettingsRecord record = testing::FirstVoices(engine);  // the default gains: automatic, by the peak
    *record.SlotAt(3) = VoiceSlot{record.SlotAt(3)->voice, -3, 30};
    *record.SlotAt(4) = VoiceSlot{record.SlotAt(4)->voice, 5, 100};
    *record.SlotAt(1) = VoiceSlot{record.SlotAt(1)->voice, 0, 60};
    *record.SlotAt(7) = VoiceSlot{record.SlotAt(7)->voice, 8, 20};
    record.loudnessOn = true;
    job.settings = OutputSettingsFrom(record);
    return job;
  }

  // Loudness of every speech piece, from the decoded MP3.
  std::vector<double> SpeechLoudness(const Timeline& timeline) {
    const testing::DecodedMp3 audio = testing::DecodeMp3Bytes(testing::ReadBytes(dir / "out.mp3"));
    std::vector<double> out;
    for (const TimelineEntry& e : timeline.entries) {
      if (e.piece.segment.kind != kSegSpeech) continue;
      const size_t from = e.piece.firstFrame * 1152 * 2;
      const size_t count = e.piece.frames * 1152 * 2;
      if (from + count > audio.samples.size()) return {};
      out.push_back(MeasureLoudness(audio.samples.data() + from, count, 44100).lufs);
    }
    return out;
  }

  TempDir dir;
  EspeakSpeechEngine engine;
  std::atomic<bool> abort{false};
};

TEST_F(LoudnessTest, EveryPieceIsBroughtToTheTargetUnderTheCeiling) {
  Timeline normalised;
  ASSERT_EQ(RunOutputJobWithTimeline(Job(), engine, abort, {}, &normalised).status, OutputStatus::kFinished);
  const std::vector<double> after = SpeechLoudness(normalised);
  ASSERT_EQ(after.size(), 5u);
  const auto [low, high] = std::minmax_element(after.begin(), after.end());
  EXPECT_LE(*high - *low, 2.0) << "sentences from " << *low << " to " << *high << " LUFS";
  for (const double l : after) EXPECT_NEAR(l, -16.0, 2.0);

  const R128 programme = FfmpegR128(dir / "out.mp3");
  EXPECT_NEAR(programme.integrated, -16.0, 1.0);
  EXPECT_LE(programme.truePeak, -1.0);
}

TEST(Loudness, GainMeetsTheTargetAndTheLimiterHoldsTheCeiling) {
  const LoudnessSettings target{true, -16.0, -1.0};
  // (Raised without the limiter where there is room: RobustAudioTest's quiet tone.)
  EXPECT_EQ(ChooseLoudnessGain(Loudness{}, target).gain, 1.0);  // silence stays as it is
  // Peaky (speech): the full gain, its peaks limited under the ceiling.
  const LoudnessGain g = ChooseLoudnessGain(Loudness{-20.0, -2.0, true}, target);
  EXPECT_NEAR(20 * std::log10(g.gain), 4.0, 1e-6);
  EXPECT_TRUE(g.limit);
  EXPECT_LT(g.knee, g.ceiling);
  EXPECT_LT(g.ceiling, 32768 * std::pow(10.0, -1.0 / 20));
  // Its samples: under the knee only scaled, the loudest at or under the
  // ceiling, the order of values kept.
  std::vector<int16_t> out = {0, 1000, -1000, 8000, 20000, -26000, 32767, -32768};
  ApplyLoudnessGain(out.data(), out.size(), g);
  EXPECT_EQ(out[1], int16_t(std::lrint(1000 * g.gain)));
  EXPECT_EQ(out[2], -out[1]);
  for (size_t i = 3; i < out.size(); ++i) EXPECT_LE(std::abs(int(out[i])), std::lrint(g.ceiling)) << i;
  EXPECT_LT(out[3], out[4]);
  EXPECT_LT(out[4], out[6]);
  EXPECT_GT(out[5], out[7]);
  // Needing more than 6 dB of limiting: less gain instead.
  EXPECT_LT(20 * std::log10(ChooseLoudnessGain(Loudness{-40.0, -1.0, true}, target).gain), 24.0 - 10.0);

  // A tone shorter than one gating block still has a loudness, silence none.
  const std::vector<int16_t> tone = Sine(4410, 2, 1000, 44100, 16384);
  const Loudness shortTone = MeasureLoudness(tone.data(), tone.size(), 44100);
  EXPECT_TRUE(shortTone.measured);
  EXPECT_NEAR(shortTone.lufs, -6.0, 0.5);  // -6 dBFS at 1 kHz in both channels: about -6 LUFS
  EXPECT_NEAR(shortTone.peakDbtp, -6.0, 0.2);
  const std::vector<int16_t> silence(44100 * 2, 0);
  EXPECT_FALSE(MeasureLoudness(silence.data(), silence.size(), 44100).measured);
}

}  // namespace
}  // namespace aurisona
