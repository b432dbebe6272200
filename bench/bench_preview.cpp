// Preview: how soon the first sound reaches the device after the preview
// command (target: under 150 ms). Two scripts: one that opens with a prompt
// tone (time until the device first consumes the tone's samples) and one that
// opens with speech (time until the first word is heard, which includes the
// synthesis and the device's latency). Runs the main window offscreen and
// plays into the sound server PULSE_SERVER names, or into a private null sink
// started for the run.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio-io/audio_system.h"
#include "script/tagged_text.h"
#include "private_sound_server.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "shell/commands.h"
#include "shell/main_window.h"
#include "shell/panel_controller.h"
#include "shell/preview_engine.h"
#include "shell/startup.h"

using namespace aurisona;
using namespace aurisona::shell;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 20;

void Load(MainWindow& window, const std::u16string& tagged) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(0, -1);
  TaggedTextReader(doc, window.Media().lists(), tagged, true, false);
}

void Report(const char* name, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%-28s no sound\n", name);
    return;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-28s runs %zu  median %.1f ms  min %.1f ms  max %.1f ms\n", name, ms.size(), ms[ms.size() / 2],
              ms.front(), ms.back());
}

// Preview command (as the toolbar posts it) to the first tone sample consumed.
std::vector<double> ToneFirst(MainWindow& window, PanelController& panel) {
  Load(window, u"<提示音>Afterwards some speech");
  std::vector<double> out;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    window.ExecuteCommand(cmd::kPreviewButton);
    const SoundFilePlayer& player = panel.Preview().Player();
    const bool heard = QTest::qWaitFor([&] { return player.device().FirstConsumedAt() > start; }, 3000);
    if (heard) out.push_back(std::chrono::duration<double, std::milli>(player.device().FirstConsumedAt() - start).count());
    panel.HandleCommand(panel_cmd::kPreviewAll);  // stop
    (void)QTest::qWaitFor([&] { return !panel.Preview().InProgress(); }, 3000);
  }
  return out;
}

// Preview command to the first word heard.
std::vector<double> SpeechFirst(MainWindow& window, PanelController& panel) {
  Load(window, u"Good morning everyone");
  std::vector<double> out;
  for (int i = 0; i < kRuns; ++i) {
    Clock::time_point heard{};
    panel.Preview().wordSelected = [&](int, int) {
      if (heard == Clock::time_point{}) heard = Clock::now();
    };
    const auto start = Clock::now();
    window.ExecuteCommand(cmd::kPreviewButton);
    if (QTest::qWaitFor([&] { return heard != Clock::time_point{}; }, 5000)) {
      out.push_back(std::chrono::duration<double, std::milli>(heard - start).count());
    }
    panel.HandleCommand(panel_cmd::kPreviewAll);
    (void)QTest::qWaitFor([&] { return !panel.Preview().InProgress(); }, 3000);
  }
  panel.Preview().wordSelected = nullptr;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const aurisona::bench::PrivateSoundServer server;
  int code = 0;
  {
    QApplication app(argc, argv);
    QTemporaryDir temp;
    const DataDirectory data = PrepareDataDirectory(DataDirectory(QFile::encodeName(temp.filePath("data")).toStdString()));
    IniStore(data.SetupIni()).SetInt(kSettingsSection, setting_keys::kFirstRun, 0);
    EnsureAudioSystem();  // once per process, at start-up
    MainWindow window(data, QString());
    auto owned = std::make_unique<PanelController>(window);
    PanelController& panel = *owned;
    window.InstallSettingsPanel(std::move(owned));
    window.show();
    QTest::qWait(100);
    const auto tone = ToneFirst(window, panel);
    const auto speech = SpeechFirst(window, panel);
    Report("preview to first tone sample", tone);
    Report("preview to first word heard", speech);
    code = tone.empty() || speech.empty() ? 1 : 0;
  }
  return code;
}
