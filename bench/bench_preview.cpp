// Preview as heard at the sink's monitor, on each kind of private null sink (a
// process of its own per kind):
//  - the gaps of a script of a tone, a word, a pause of one second, a music
//    clip and a word again: each gap heard minus the gap the script and the
//    sounds themselves make (target: |error| <= 100 ms);
//  - the time from the preview command to the first sound of a prompt tone
//    arriving at the monitor, and to the first sound of a sentence of the
//    English female voice, less its own leading silence (targets: under 150 ms).
// Runs the main window offscreen; the sounds are steady tones, so that where
// each begins and ends is plain.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio-io/audio_system.h"
#include "app/panel/settings_panel.h"
#include "private_sound_server.h"
#include "core/script/tagged_text.h"
#include "core/settings/ini_store.h"
#include "core/settings/settings_keys.h"
#include "app/shell/commands.h"
#include "app/shell/main_window.h"
#include "app/shell/panel_controller.h"
#include "app/shell/preview_engine.h"
#include "app/shell/startup.h"
#include "core/speech/composite_engine.h"
#include "core/speech/voice_slots.h"
#include "support/heard_sounds.h"
#include "support/wav.h"
#include "core/util/text.h"

using namespace aurisona;
using namespace aurisona::shell;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 10;
constexpr int kThreshold = 600;

void Load(MainWindow& window, const std::u16string& tagged) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(0, -1);
  TaggedTextReader(doc, window.Media().lists(), tagged, true, false);
}

bool WriteTone(const std::filesystem::path& path, double seconds) {
  testing::WriteWav(path, testing::Sine(size_t(seconds * 44100), 2, 523, 44100, 9000), 44100, 2);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return !ec && size > 44;
}

void Report(const char* name, std::vector<double> values, const char* unit) {
  if (values.empty()) {
    std::printf("%-44s no sound\n", name);
    return;
  }
  std::sort(values.begin(), values.end());
  std::printf("%-44s runs %zu  median %6.1f %s  min %6.1f  max %6.1f\n", name, values.size(), values[values.size() / 2],
              unit, values.front(), values.back());
}

// Milliseconds of quiet before the first and after the last loud sample.
std::pair<double, double> QuietEnds(const std::vector<int16_t>& mono, int rate) {
  size_t first = 0, last = mono.size();
  while (first < mono.size() && std::abs(mono[first]) <= kThreshold) ++first;
  while (last > first && std::abs(mono[last - 1]) <= kThreshold) --last;
  return {first * 1000.0 / rate, (mono.size() - last) * 1000.0 / rate};
}

int Run(MainWindow& window, PanelController& panel) {
  PreviewEngine& engine = panel.Preview();
  bool ended = false;
  engine.ended = [&] { ended = true; };

  // The word as the panel's English male voice says it, with the program's engine.
  const std::u16string word = u"Hello";
  const VoiceSlot voice = panel.Panel().VoiceSlotQuery(VoiceSlotForSentence(0, false)).value_or(VoiceSlot{});
  const std::unique_ptr<SpeechEngine> speech = CreateSpeechEngine();
  SpeechAudio audio;
  if (speech->SynthesizeAll(word, voice.voice, voice.rate, voice.volume, &audio) != SynthesisStatus::kOk) return 1;
  const auto [lead, tail] = QuietEnds(audio.samples, audio.sample_rate);
  const double loud = audio.samples.size() * 1000.0 / audio.sample_rate - lead - tail;

  // Gaps: tone, word, 1 s pause, music, word.
  std::vector<double> errors[3];
  for (int i = 0; i < kRuns; ++i) {
    Load(window, u"<提示音>Hello<暂停1秒><音乐:steady.wav>Hello");
    testing::MonitorRecording monitor(0);
    QTest::qWait(300);
    ended = false;
    window.ExecuteCommand(cmd::kPreviewButton);
    (void)QTest::qWaitFor([&] { return ended; }, 15000);
    const auto runs = testing::SoundRuns(monitor.Finish(std::chrono::milliseconds(2500)), kThreshold);
    std::vector<std::pair<double, double>> spans;
    for (const auto& run : runs) spans.emplace_back(run.start, run.end);
    // Sounds that follow each other closely are heard as one run.
    const testing::HeardSounds heard = testing::MatchSounds(spans, {400, loud, 600, loud});
    if (!heard.matched) {
      std::printf("run %d: %zu runs of sound do not match the four sounds\n", i, runs.size());
      continue;
    }
    const double scripted[] = {lead, tail + 1000, lead};
    for (size_t k = 0; k < 3; ++k) errors[k].push_back(heard.gaps[k] - scripted[k]);
  }
  Report("gap error tone -> word", errors[0], "ms");
  Report("gap error word -> 1 s pause -> music", errors[1], "ms");
  Report("gap error music -> word", errors[2], "ms");

  // Preview command to the first sound at the monitor: of a prompt tone, and of a
  // sentence of the English female voice (Festival's, which says a whole sentence
  // before it gives any sound), less the silence the voice itself begins with.
  const auto firstSound = [&](const std::u16string& script, double leadMs) {
    std::vector<double> first;
    Load(window, script);
    for (int i = 0; i < kRuns; ++i) {
      testing::MonitorRecording monitor(10);
      QTest::qWait(500);
      ended = false;
      const size_t before = monitor.Size() / 4;
      const auto start = Clock::now();
      window.ExecuteCommand(cmd::kPreviewButton);
      (void)QTest::qWaitFor([&] { return ended; }, 5000);
      for (const auto& run : testing::SoundRuns(monitor.Finish(std::chrono::milliseconds(300)), kThreshold, 100)) {
        const auto frame = size_t(run.start * 44.1);
        if (frame < before) continue;
        first.push_back(std::chrono::duration<double, std::milli>(monitor.ArrivalOf(frame) - start).count() - leadMs);
        break;
      }
    }
    return first;
  };
  const std::vector<double> first = firstSound(u"<提示音>", 0);
  Report("preview command to first sound at the monitor", first, "ms");
  const std::u16string sentence = u"Good morning, everyone.";
  const VoiceSlot female = panel.Panel().VoiceSlotQuery(VoiceSlotForSentence(1, false)).value_or(VoiceSlot{});
  SpeechAudio spoken;
  if (speech->SynthesizeAll(sentence, female.voice, female.rate, female.volume, &spoken) == SynthesisStatus::kOk) {
    const double leadMs = QuietEnds(spoken.samples, spoken.sample_rate).first;
    Report(("first sound of " + Utf16ToUtf8(female.voice) + " (target 150 ms)").c_str(),
           firstSound(u"<女>" + sentence, leadMs), "ms");
  }
  engine.ended = nullptr;
  return errors[0].empty() || first.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kind=", 7) == 0) kind = argv[i] + 7;
  }
  if (kind.empty()) return bench::RunPerKind(argv[0]);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const testing::PrivateSoundServer server(kind);
  if (!server.ok()) return 1;
  int code = 0;
  {
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QTemporaryDir temp;
    const DataDirectory data = PrepareDataDirectory(DataDirectory(QFile::encodeName(temp.filePath("data")).toStdString()));
    if (!IniStore(data.SetupIni()).SetInt(kSettingsSection, setting_keys::kFirstRun, 0)) return 1;
    if (!WriteTone(data.Music() / "steady.wav", 0.6)) return 1;
    EnsureAudioSystem();  // once per process, at start-up
    MainWindow window(data, QString());
    if (!WriteTone(window.Media().currentPromptTone(), 0.4)) return 1;
    auto owned = std::make_unique<PanelController>(window);
    PanelController& panel = *owned;
    window.InstallSettingsPanel(std::move(owned));
    window.show();
    // The window keeps the output awake from its start; a sink that renders
    // ahead takes the short latency within two seconds.
    QTest::qWait(2500);
    code = Run(window, panel);
  }
  return code;
}
