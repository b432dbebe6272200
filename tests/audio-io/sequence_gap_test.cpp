// Sounds played one after another, as a preview plays them: each starts when
// the end of the one before is reported (or a pause after it), and the gaps
// heard at the sink's monitor are the gaps of the script. Run against every
// kind of sink (AURISONA_SINK_KIND); the monitor is recorded with parec's own
// latency, so that the recorder does not shorten the sink's.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "audio-io/audio_system.h"
#include "audio-io/device_test_util.h"
#include "audio-io/sound_file_player.h"
#include "audio-io/speech_player.h"
#include "core/test_util.h"
#include "speech/espeak_engine.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using testing::SoundRun;

constexpr int kThreshold = 600;

std::vector<int16_t> Tone(double seconds, int channels, int rate) {
  std::vector<int16_t> out;
  for (size_t i = 0; i < size_t(seconds * rate); ++i) {
    const auto s = int16_t(9000 * std::sin(2 * M_PI * 523.0 * double(i) / rate));
    for (int c = 0; c < channels; ++c) out.push_back(s);
  }
  return out;
}

// Milliseconds of quiet before the first and after the last loud sample.
std::pair<double, double> QuietEnds(const std::vector<int16_t>& mono, int rate) {
  size_t first = 0, last = mono.size();
  while (first < mono.size() && std::abs(mono[first]) <= kThreshold) ++first;
  while (last > first && std::abs(mono[last - 1]) <= kThreshold) --last;
  return {first * 1000.0 / rate, (mono.size() - last) * 1000.0 / rate};
}

class SequenceGapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::InNoServerChild()) GTEST_SKIP();
  }
  testing::TempDir dir_;
};

TEST_F(SequenceGapTest, GapsAtTheMonitorAreTheScriptsGaps) {
  const auto tone = dir_.path() / "tone.wav";
  const auto low = dir_.path() / "low.wav";
  testing::WriteWav(tone, Tone(0.4, 2, 44100), 2, 44100);
  testing::WriteWav(low, Tone(0.3, 1, 22050), 1, 22050);
  const std::u16string word = u"Hello";
  const std::u16string voice = u"美音男声";
  EspeakSpeechEngine engine;
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(word, voice, 0, 100, &audio), SynthesisStatus::kOk);
  const auto [speechLead, speechTail] = QuietEnds(audio.samples, audio.sample_rate);
  const double speechLength = audio.samples.size() * 1000.0 / audio.sample_rate - speechLead - speechTail;

  // The program holds the output from its start; a rendering-ahead sink then
  // needs up to two seconds to take the short latency.
  SoundOutputHold hold;
  testing::MonitorRecording monitor(dir_.path(), 0);
  ASSERT_TRUE(monitor.started());
  std::this_thread::sleep_for(2200ms);

  std::atomic<int> played{0};
  std::atomic<int> spoken{0};
  SoundFilePlayer files;
  SpeechPlayer speech(engine, {nullptr, [&](SpeechEnd) { ++spoken; }});
  const auto play = [&](const std::filesystem::path& path) {
    const int before = played.load();
    ASSERT_EQ(files.Play(path, [&](PlaybackEnd) { ++played; }, 0, 0), 0);
    ASSERT_TRUE(testing::WaitUntil([&] { return played.load() > before; }, 10s));
    files.Stop();
  };
  play(tone);                                   // tone, then at once
  ASSERT_TRUE(speech.Speak(word, voice, 0, 100));  // a word, then
  ASSERT_TRUE(testing::WaitUntil([&] { return spoken.load() > 0; }, 10s));
  std::this_thread::sleep_for(1000ms);          // a pause of one second, then
  play(low);                                    // a low-rate mono tone, then at once
  play(tone);                                   // the tone again
  const std::vector<SoundRun> runs = testing::SoundRuns(monitor.Finish(2500ms), kThreshold);

  ASSERT_EQ(runs.size(), 4u) << "tone, word, tone, tone";
  const double gaps[] = {runs[1].start - runs[0].end, runs[2].start - runs[1].end, runs[3].start - runs[2].end};
  const double scripted[] = {speechLead, speechTail + 1000, 0};
  // Each new sound is heard after a lead-in of silence and the time a stream
  // takes to open; a loaded two-core machine adds to that. PipeWire starts
  // streams on its graph's next cycle. A server's buffering (up to two
  // seconds) would be far beyond either bound.
  const double late = testing::SinkKind() == "pipewire" ? 200 : 150;
  for (int k = 0; k < 3; ++k) {
    std::printf("gap %d: heard %.1f ms, scripted %.1f ms\n", k, gaps[k], scripted[k]);
    // Nothing starts early or is cut, and nothing waits on the server.
    EXPECT_GT(gaps[k], scripted[k] - 20) << "gap " << k;
    EXPECT_LT(gaps[k], scripted[k] + late) << "gap " << k;
  }
  // Every sound is heard whole.
  EXPECT_NEAR(runs[0].end - runs[0].start, 400, 10);
  EXPECT_NEAR(runs[1].end - runs[1].start, speechLength, 15);
  EXPECT_NEAR(runs[2].end - runs[2].start, 300, 10);
  EXPECT_NEAR(runs[3].end - runs[3].start, 400, 10);
}

}  // namespace
}  // namespace aurisona
