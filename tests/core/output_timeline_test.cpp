// The programme timeline against the MP3 the job writes: frame counts of every
// kind of piece, resampled ones too.
#include <gtest/gtest.h>

#include <atomic>

#include "core/audio/mp3_frame.h"
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

// Frames PieceEncoder writes for `frames` stereo frames at `rate`, handed over
// in uneven chunks as a decoder hands them.
size_t EncodedFrames(uint32_t rate, size_t frames) {
  MemorySink sink;
  PieceEncoder encoder(sink);
  if (encoder.Open(rate) != SinkStatus::Ok) return 0;
  const std::vector<int16_t> pcm = Sine(frames, 2, 440, int(rate), 8000);
  const size_t chunks[] = {1152, 577, 1000, 3, 1152, 64};
  size_t at = 0;
  for (size_t k = 0; at < frames; ++k) {
    const size_t n = std::min(chunks[k % 6], frames - at);
    if (encoder.Write(pcm.data() + 2 * at, 2 * n) != SinkStatus::Ok) return 0;
    at += n;
  }
  if (encoder.Close() != SinkStatus::Ok) return 0;
  return ScanMp3Frames(sink.bytes().data(), sink.bytes().size()).frames.size();
}

TEST(OutputTimeline, FrameCountIsWhatTheEncoderWritesAtEveryRate) {
  for (const uint32_t rate : {8000u, 11025u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
    // Around the boundaries: the resampler's window, a frame's worth of input,
    // lengths whose padding just fits or spills into another frame.
    for (const size_t frames : {size_t{1}, size_t{16}, size_t{17}, size_t{575}, size_t{1152}, size_t{1729},
                                size_t{rate / 3 + 11}, size_t{rate + 577}}) {
      EXPECT_EQ(Mp3FramesForPiece(rate, frames), EncodedFrames(rate, frames)) << rate << " Hz, " << frames;
    }
  }
  EXPECT_EQ(Mp3FramesForPiece(44100, 0), 0u);
  EXPECT_EQ(Mp3FramesForPiece(44100, 132300), (576u + 132300 + 576 + 1151) / 1152);
}

TEST(OutputTimeline, SentencesSplitAtTheirEndsWithMarksAndBreaksRemoved) {
  const auto spans = SplitSentences(u" Good morning. It costs 3.5 yuan!\r\nWhy?\"Yes.\" 你好。\uFFFC再见 ");
  std::vector<std::u16string> texts;
  for (const auto& s : spans) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Good morning.", u"It costs 3.5 yuan!", u"Why?\"", u"Yes.\"",
                                                u"你好。", u"再见"}));
  EXPECT_EQ(spans[0].offset, 0);
  EXPECT_TRUE(SplitSentences(u" \r\n\uFFFC ").empty());
  texts.clear();
  for (const auto& s : SplitSentences(u"Where is Mr.  Smith going? Ask Dr. Li. I am Mr.")) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Where is Mr. Smith going?", u"Ask Dr. Li.", u"I am Mr."}));
  EXPECT_EQ(FormatDuration(59.5), "1:00");
  EXPECT_EQ(FormatDuration(3725), "1:02:05");
}

class OutputTimelineJob : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "Music");
    fs::create_directories(dir / "Record");
    // A tone at 16000 Hz mono, a clip at 32000 Hz stereo, an MP3 cut to 1 s,
    // a recording at 22050 Hz mono: four sample rates.
    WriteBytes(dir / "tone.wav", WavBytes(Sine(5000, 1, 880, 16000, 9000), 16000, 1));
    WriteBytes(dir / "Music" / "clip.wav", WavBytes(Sine(40000, 2, 220, 32000, 9000), 32000, 2));
    WriteBytes(dir / "Music" / "long.mp3", testing::Mp3Of(Sine(3 * 44100, 2, 330, 44100, 9000)));
    WriteBytes(dir / "Record" / "take.wav", WavBytes(Sine(30000, 1, 500, 22050, 9000), 22050, 1));
  }

  OutputJob Job() {
    OutputJob job;
    job.segments = {
        Seg(kSegSpeech, 0, u" Good morning everyone. Please listen carefully to the dialogue.", 0),
        Seg(700, 0),
        Seg(kSegPromptTone, 0),
        Seg(kSegMusic, 0, u"clip.wav"),
        Seg(kSegMusic, 1, u"long.mp3"),
        Seg(kSegAltRepeatBegin, 2),
        Seg(kSegSpeech, 0, u"Where is the station?", 0),
        Seg(400, 0),
        Seg(kSegAltRepeatEnd, 2),
        Seg(kSegRecording, 0, u"take.wav"),
        Seg(kSegSpeech, 1, u"请听第一段对话。", 1),
    };
    job.output = dir / "out.mp3";
    job.musicFolder = dir / "Music";
    job.recordFolder = dir / "Record";
    job.promptTone = dir / "tone.wav";
    job.settings = OutputSettingsFrom(testing::FirstVoices(engine));
    job.threads = 2;
    return job;
  }

  TempDir dir;
  EspeakSpeechEngine engine;
  std::atomic<bool> abort{false};
};

TEST_F(OutputTimelineJob, MeasuredTimelineIsTheRenderedOne) {
  OutputJob measure = Job();
  measure.measureOnly = true;
  Timeline measured;
  ASSERT_EQ(RunOutputJobWithTimeline(std::move(measure), engine, abort, {}, &measured).status,
            OutputStatus::kFinished);
  EXPECT_FALSE(fs::exists(dir / "out.mp3"));  // measuring writes nothing

  Timeline rendered;
  const OutputResult result = RunOutputJobWithTimeline(Job(), engine, abort, {}, &rendered);
  ASSERT_EQ(result.status, OutputStatus::kFinished);
  const std::string mp3 = testing::ReadBytes(dir / "out.mp3");
  const testing::FrameWalk walk = testing::WalkFrames(mp3);
  ASSERT_EQ(walk.problem, "");
  EXPECT_EQ(rendered.frames, walk.frames);
  EXPECT_EQ(result.frames, walk.frames);

  // speech, pause, tone, two clips, the repeat twice (speech + pause), recording, speech
  ASSERT_EQ(measured.entries.size(), 11u);
  ASSERT_EQ(rendered.entries.size(), measured.entries.size());
  // eSpeak NG speaks a sentence a few milliseconds longer or shorter after
  // other sentences of the same process (the CLI test compares a timeline and a
  // render, each in a process of its own, frame for frame); every other piece
  // has exactly the frames the encoder writes.
  uint64_t at = 0;
  for (size_t k = 0; k < measured.entries.size(); ++k) {
    const TimelineEntry& m = measured.entries[k];
    const TimelineEntry& r = rendered.entries[k];
    EXPECT_EQ(m.piece.segment.kind, r.piece.segment.kind) << k;
    if (m.piece.segment.kind == kSegSpeech) {
      EXPECT_NEAR(double(m.piece.frames), double(r.piece.frames), 3) << k;
    } else {
      EXPECT_EQ(m.piece.frames, r.piece.frames) << k;
    }
    EXPECT_EQ(r.piece.firstFrame, at) << k;
    EXPECT_NEAR(r.start, double(at) * 1152 / 44100, 1e-9);
    at += r.piece.frames;
  }
  EXPECT_EQ(at, walk.frames);
  EXPECT_EQ(measured.entries[4].piece.frames, (576u + 44100 + 576 + 1151) / 1152);  // cut to its play time
  // (Sentence times against the sound, voices and passes: SubtitlesCliTest.)
}

}  // namespace
}  // namespace aurisona
