// A sentence read again in one render (a repeat, or the same words later) with the same
// voice, rate and volume is synthesised once and its piece written again, byte for byte.
#include <gtest/gtest.h>

#include <atomic>

#include "core/output_test_support.h"
#include "core/test_util.h"
#include "core/output/output_job.h"
#include "core/speech/composite_engine.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::Seg;
using testing::TempDir;

// The program's engine, counting the sentences it synthesises.
class CountingEngine final : public SpeechEngine {
 public:
  std::vector<Voice> ListVoices() override { return engine_->ListVoices(); }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice, int rate,
                             int volume, const SpeechSink& sink, Voice* used) override {
    ++count;
    return engine_->Synthesize(text, voice, rate, volume, sink, used);
  }
  bool IsReady() const override { return engine_->IsReady(); }
  int count = 0;

 private:
  std::unique_ptr<SpeechEngine> engine_ = CreateSpeechEngine();
};

class SpeechRepeatOutputTest : public ::testing::Test {
 protected:
  std::string Render(std::vector<Segment> segments, int threads = 1, int* synthesised = nullptr) {
    OutputJob job;
    job.segments = std::move(segments);
    job.output = dir / "out.mp3";
    job.musicFolder = dir.path();
    job.recordFolder = dir.path();
    job.threads = threads;
    CountingEngine engine;
    const VoiceSlotLists lists = DistributeVoices(engine.ListVoices());  // the default voices
    job.settings.voices[2] = {lists[2].front(), 0, 100};
    job.settings.voices[3] = {lists[3].front(), 0, 100};
    std::atomic<bool> abort{false};
    EXPECT_EQ(RunOutputJob(std::move(job), engine, abort).status, OutputStatus::kFinished);
    if (synthesised) *synthesised = engine.count;
    return ReadBytes(dir / "out.mp3");
  }
  TempDir dir;
};

TEST_F(SpeechRepeatOutputTest, RepeatedSentencesAreSynthesisedOnceAndSoundTheSame) {
  const std::u16string line = u" The bus leaves at 9:15 from the school gate.";
  const size_t n = Render({Seg(kSegSpeech, 0, line)}).size();
  ASSERT_GT(n, 1000u);
  const size_t pause = Render({Seg(1000, 0)}).size();
  // Flite's voices add a little noise of their own, so two renders of a sentence are
  // alike in length but not in bytes; within one render the repeats are the same bytes.
  for (const int threads : {1, 2, 4}) {
    int count = 0;
    const std::string thrice = Render({Seg(kSegRepeatBegin, 2), Seg(kSegSpeech, 0, line), Seg(kSegRepeatEnd, 2),
                                       Seg(1000, 0), Seg(kSegSpeech, 0, line)},
                                      threads, &count);
    EXPECT_EQ(count, 1) << threads << " threads";
    ASSERT_EQ(thrice.size(), 3 * n + pause) << threads << " threads";
    EXPECT_TRUE(thrice.substr(0, n) == thrice.substr(n, n)) << threads << " threads";
    EXPECT_TRUE(thrice.substr(0, n) == thrice.substr(2 * n + pause, n)) << threads << " threads";
  }
}

}  // namespace
}  // namespace aurisona
