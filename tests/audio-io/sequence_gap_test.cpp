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
#include "core/speech/engines/espeak/espeak_engine.h"
#include "support/heard_sounds.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using testing::SoundRun;

constexpr int kThreshold = 600;

// Milliseconds of quiet before the first and after the last loud sample.
std::pair<double, double> QuietEnds(const std::vector<int16_t>& mono, int rate) {
  size_t first = 0, last = mono.size();
  while (first < mono.size() && std::abs(mono[first]) <= kThreshold) ++first;
  while (last > first && std::abs(mono[last - 1]) <= kThreshold) --last;
  return {first * 1000.0 / rate, (mono.size() - last) * 1000.0 / rate};
}

using SequenceGapTest = testing::DeviceTest;

TEST_F(SequenceGapTest, GapsAtTheMonitorAreTheScriptsGaps) {
  const auto tone = Wav("tone.wav", testing::Sine(17640, 2, 523, 44100, 9000));
  const auto low = Wav("low.wav", testing::Sine(6615, 1, 523, 22050, 9000), 22050, 1);
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
  testing::MonitorRecording monitor(0);
  ASSERT_TRUE(monitor.started());
  std::this_thread::sleep_for(2200ms);

  testing::Completions played;
  std::atomic<int> spoken{0};
  SoundFilePlayer files;
  SpeechPlayer speech(engine, {nullptr, [&](SpeechEnd) { ++spoken; }});
  const auto play = [&](const std::filesystem::path& path) {
    const int seen = played.count;
    ASSERT_EQ(files.Play(path, played.Callback(), 0, 0), 0);
    ASSERT_TRUE(played.Wait(seen));
    files.Stop();
  };
  play(tone);                                   // tone, then at once
  ASSERT_TRUE(speech.Speak(word, voice, 0, 100));  // a word, then
  ASSERT_TRUE(testing::WaitUntil([&] { return spoken.load() > 0; }, 10s));
  std::this_thread::sleep_for(1000ms);          // a pause of one second, then
  play(low);                                    // a low-rate mono tone, then at once
  play(tone);                                   // the tone again
  const std::vector<SoundRun> runs = testing::SoundRuns(monitor.Finish(2500ms), kThreshold);

  std::vector<std::pair<double, double>> spans;
  for (const SoundRun& run : runs) spans.emplace_back(run.start, run.end);
  // Sounds that follow each other closely are heard as one run.
  const testing::HeardSounds heard = testing::MatchSounds(spans, {400, speechLength, 300, 400});
  for (const SoundRun& run : runs) std::printf("heard %.1f .. %.1f ms\n", run.start, run.end);
  ASSERT_TRUE(heard.matched) << runs.size() << " runs for tone, word, tone, tone";
  const double scripted[] = {speechLead, speechTail + 1000, 0};
  for (int k = 0; k < 3; ++k) {
    // Nothing starts early or is cut, nothing waits on the server (whose
    // buffering would add up to two seconds), and what follows a sound is
    // heard within 100 ms of its end.
    EXPECT_GT(heard.gaps[size_t(k)], scripted[k] - 20) << "gap " << k;
    EXPECT_LT(heard.gaps[size_t(k)], scripted[k] + 100) << "gap " << k;
  }
  // Every sound is heard whole.
  const double whole[] = {400, speechLength, 300, 400};
  for (size_t k = 0; k < 4; ++k) {
    if (!std::isnan(heard.lengths[k])) {
      EXPECT_NEAR(heard.lengths[k], whole[k], k == 1 ? 15 : 10) << "sound " << k;
    }
  }
}

}  // namespace
}  // namespace aurisona
