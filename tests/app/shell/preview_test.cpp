// Preview from the main window through the real sound device (the tests'
// private null sink): records play in script order and are heard, the spoken
// word is selected as it is heard, the countdown of a pause, stopping, the
// buttons and the read-only editor, failures, and playing a chosen tone.
#include <QSignalSpy>
#include <QLabel>
#include <QProcess>
#include <QToolButton>


#include "app_test_util.h"
#include "audio-io/sound_file_player.h"
#include "app/shell/pause_countdown_dialog.h"
#include "app/shell/preview_engine.h"
#include "app/shell/shell_texts.h"
#include "core/speech/composite_engine.h"
#include "core/speech/voice_slots.h"
#include "support/heard_sounds.h"
#include "support/sound_server.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

namespace {

bool SoundServerAnswers() {
  return QProcess::execute(QStringLiteral("bash"),
                           {QStringLiteral(AURISONA_SOURCE_DIR "/scripts/pulse-null-sink.sh"),
                            QStringLiteral("check")}) == 0;
}

using aurisona::testing::MonitorRecording;

// The sounding stretches (start, end in ms) the monitor heard, `tailMs` after now.
std::vector<std::pair<double, double>> Heard(MonitorRecording& monitor, int threshold, int tailMs) {
  std::vector<std::pair<double, double>> runs;
  for (const auto& run : aurisona::testing::SoundRuns(monitor.Finish(std::chrono::milliseconds(tailMs)), threshold)) {
    runs.emplace_back(run.start, run.end);
  }
  return runs;
}

// Milliseconds of sound in `runs` from the `from`th on.
double SoundingMs(const std::vector<std::pair<double, double>>& runs, size_t from = 0) {
  double ms = 0;
  for (size_t k = from; k < runs.size(); ++k) ms += runs[k].second - runs[k].first;
  return ms;
}

struct Started {
  int kind;
  qint64 ms;
};

}  // namespace

class PreviewTest : public WindowSuite {
  Q_OBJECT

 private:
  QElapsedTimer clock_;
  QList<Started> started_;
  QStringList words_;
  bool ended_ = false;

  PreviewEngine& Engine() { return panel_->Preview(); }
  QPushButton* Button(int id) { return Control<QPushButton>(id); }

  // Watches the preview afresh: what starts, the words selected, the end.
  void Observe() {
    started_.clear();
    words_.clear();
    ended_ = false;
    clock_.start();
    Engine().recordStarted = [this](const Segment& record, size_t) { started_.append({record.kind, clock_.elapsed()}); };
    Engine().wordSelected = [this](int start, int end) {
      words_ << Q(window_->Editor().Document().Text(start, end));
    };
    Engine().ended = [this] { ended_ = true; };
  }

  QList<int> Kinds() const {
    QList<int> kinds;
    for (const Started& s : started_) kinds << s.kind;
    return kinds;
  }

  void VerifyIdle(std::pair<int, int> selection) {
    QVERIFY(!Engine().InProgress());
    QVERIFY(!window_->Editor().IsReadOnly());
    QCOMPARE(Button(panel::kPreviewAllId)->text(), Q(panel::kPreviewAllRestoredText));
    QCOMPARE(Button(panel::kPreviewFromCaretId)->text(), QString::fromUtf16(text::kPreviewRangeRestored));
    for (int id : {panel::kPreviewAllId, panel::kPreviewFromCaretId, panel::kOutputId}) QVERIFY(Button(id)->isEnabled());
    for (int id : {cmd::kNew, cmd::kOutputMp3, cmd::kMale}) QVERIFY(window_->Actions(id).first()->isEnabled());
    QCOMPARE(window_->Editor().Document().Selection(), selection);
  }

 private slots:
  void init() {
    StartHome();
    StartWindow();
    Observe();
  }
  void cleanup() { StopWindow(); }

  void toneThenPauseThenSpeechAreHeardInOrder() {
    if (!SoundServerAnswers()) QSKIP("no sound server with the null sink (run through ctest)");
    Load(u"<提示音><暂停0.5秒>Hello world again");
    window_->Editor().Document().SetSelection(3, 5);
    window_->ExecuteCommand(cmd::kPreviewButton);
    QTRY_VERIFY_WITH_TIMEOUT(Engine().InProgress(), 2000);
    // While it plays: read-only editor, the stop button, the others disabled.
    QVERIFY(window_->Editor().IsReadOnly());
    QCOMPARE(Button(panel::kPreviewAllId)->text(), Q(panel::kStopButtonText));
    QVERIFY(!Button(panel::kPreviewFromCaretId)->isEnabled());
    QVERIFY(!Button(panel::kOutputId)->isEnabled());
    QCOMPARE(window_->ToolButton(cmd::kPreviewButton)->text(), QStringLiteral("停止试听"));
    QCOMPARE(window_->Editor().Document().Selection(), (std::pair<int, int>{0, 1}));

    QTRY_VERIFY_WITH_TIMEOUT(ended_, 20000);
    QCOMPARE(Kinds(), (QList<int>{1, 500, 0}));
    QVERIFY2(started_[2].ms - started_[1].ms >= 480, qPrintable(QString::number(started_[2].ms - started_[1].ms)));
    // Every word is found where it stands, in order.
    QCOMPARE(words_, (QStringList{QStringLiteral("Hello"), QStringLiteral("world"), QStringLiteral("again")}));
    VerifyIdle({3, 5});
    QVERIFY(dialogs_->errors.isEmpty());
  }

  void gapsAtTheMonitorFollowTheScript() {
    if (!SoundServerAnswers()) QSKIP("no sound server with the null sink (run through ctest)");
    // A steady tone of 0.4 s stands in for the prompt tone; the word is
    // spoken by the panel's English male voice, as the program's engine says it.
    QVERIFY(WriteFile(QString::fromStdString(window_->Media().currentPromptTone().string()),
                      WavBytes(Tone(523, 0.4, 9000, 44100, 2), 44100, 2)));
    const VoiceSlot voice = panel_->Panel().VoiceSlotQuery(VoiceSlotForSentence(0, false)).value_or(VoiceSlot{});
    SpeechAudio word;
    QCOMPARE(CreateSpeechEngine()->SynthesizeAll(u"Hello", voice.voice, voice.rate, voice.volume, &word),
             SynthesisStatus::kOk);
    size_t first = 0, last = word.samples.size();
    while (first < last && std::abs(word.samples[first]) <= 600) ++first;
    while (last > first && std::abs(word.samples[last - 1]) <= 600) --last;
    const double lead = first * 1000.0 / word.sample_rate;
    const double tail = (word.samples.size() - last) * 1000.0 / word.sample_rate;
    const double loud = (last - first) * 1000.0 / word.sample_rate;
    Load(u"<提示音>Hello<暂停1秒><提示音><提示音>");
    // Recorded as a user's recorder does, which leaves a sink that renders
    // ahead to its own latency; the window has kept the output awake since
    // it opened, and such a sink takes the short latency within two seconds.
    MonitorRecording monitor(0);
    QVERIFY(monitor.started());
    QTest::qWait(2200);
    // Started as a user does from the keyboard: Alt+F, then P (试听全部).
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_P);
    QTRY_VERIFY_WITH_TIMEOUT(ended_, 15000);
    QCOMPARE(Kinds(), (QList<int>{1, 0, 1000, 1, 1}));
    const auto runs = Heard(monitor, 600, 2500);
    // Sounds that follow each other closely (the last two tones) are heard as one run.
    const aurisona::testing::HeardSounds heard = aurisona::testing::MatchSounds(runs, {400, loud, 400, 400});
    QVERIFY2(heard.matched, qPrintable(QString::number(runs.size())));
    // Each gap within 100 ms of what the script and the sounds make, nothing
    // early or cut; a server's buffering would add up to two seconds.
    const double scripted[] = {lead, tail + 1000, 0};
    for (size_t k = 0; k < 3; ++k) {
      const QString what = QStringLiteral("gap %1: heard %2 ms, scripted %3 ms").arg(k).arg(heard.gaps[k]).arg(scripted[k]);
      qInfo("%s", qPrintable(what));
      QVERIFY2(heard.gaps[k] > scripted[k] - 20 && heard.gaps[k] < scripted[k] + 100, qPrintable(what));
    }
    const double whole[] = {400, loud, 400, 400};
    for (size_t k = 0; k < 4; ++k) {
      if (!std::isnan(heard.lengths[k])) {
        QVERIFY2(std::abs(heard.lengths[k] - whole[k]) < 15, qPrintable(QString::number(heard.lengths[k])));
      }
    }
  }

  void stopDuringPauseHidesTheCountdownForGood() {
    if (!SoundServerAnswers()) QSKIP("no sound server with the null sink (run through ctest)");
    Load(u"<暂停2秒>Never spoken");
    window_->Editor().Document().SetSelection(4, 4);
    panel_->HandleCommand(panel_cmd::kPreviewAll);
    QVERIFY(Engine().IsPausing());
    PauseCountdownDialog* countdown = Engine().Countdown();
    QVERIFY(countdown != nullptr);
    QVERIFY(countdown->isVisible());
    QCOMPARE(countdown->Label()->text(), QStringLiteral("2秒"));
    QTest::qWait(300);
    // Pressing the button that started it stops it.
    panel_->Panel().PostCommand(panel::kPreviewAllId);
    QTRY_VERIFY(!Engine().InProgress());
    QVERIFY(!countdown->isVisible());
    QTest::qWait(2300);
    QVERIFY(!countdown->isVisible());
    QCOMPARE(Kinds(), QList<int>{2000});
    QVERIFY(words_.isEmpty());
    VerifyIdle({4, 4});
  }

  // The countdown shows the whole seconds left; its skip button ends the
  // pause at once, the signal posted rather than sent from the click.
  void countdownCountsDownAndSkips() {
    PauseCountdownDialog dialog(window_.get(), window_.get());
    QSignalSpy done(&dialog, &PauseCountdownDialog::PauseDone);
    dialog.Start(2500);
    QCOMPARE(dialog.Label()->text(), QStringLiteral("2秒"));
    QTRY_COMPARE_WITH_TIMEOUT(dialog.Label()->text(), QStringLiteral("1秒"), 1500);
    dialog.SkipButton()->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(done.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 500);
    QTest::qWait(1200);
    QVERIFY(!dialog.isVisible() && done.count() == 1);  // both timers stopped
  }

  void fromTheCaretSkipsAndWalks() {
    // Pauses only: no sound is needed. Records: 100 | 200 | 300 at 0, 1, 2.
    Load(u"<暂停0.1秒><暂停0.2秒><暂停0.3秒>");
    window_->Editor().Document().SetSelection(1, 1);
    window_->ExecuteCommand(cmd::kPreviewPart);
    QTRY_VERIFY(Engine().InProgress());
    QCOMPARE(Button(panel::kPreviewFromCaretId)->text(), Q(panel::kStopButtonText));
    QVERIFY(!Button(panel::kPreviewAllId)->isEnabled());
    // The window's commands that would change the script or start another job
    // are greyed, and do nothing even when called directly.
    for (int id : {cmd::kNew, cmd::kOpen, cmd::kOutputMp3, cmd::kPreviewAll, cmd::kLastPause, cmd::kMusicFromFile,
                   cmd::kShowSample, cmd::kMale}) {
      QVERIFY2(!window_->Actions(id).first()->isEnabled(), qPrintable(QString::number(id)));
    }
    for (int id : {cmd::kPreviewButton, cmd::kSaveAs, cmd::kSettingsPanel, cmd::kSkinSystem, cmd::kExit}) {
      QVERIFY2(window_->Actions(id).first()->isEnabled(), qPrintable(QString::number(id)));
    }
    window_->ExecuteCommand(cmd::kNew);
    QCOMPARE(window_->Editor().Document().Length(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(ended_, 3000);
    QCOMPARE(Kinds(), (QList<int>{200, 300}));
    VerifyIdle({1, 1});

    // After the last record: from the first. At 0: as preview all.
    for (int caret : {3, 0}) {
      Observe();
      window_->Editor().Document().SetSelection(caret, caret);
      panel_->HandleCommand(panel_cmd::kPreviewFromCaret);
      QCOMPARE(Button(panel::kPreviewAllId)->text(), caret == 0 ? Q(panel::kStopButtonText) : Q(panel::kPreviewAllRestoredText));
      QTRY_VERIFY_WITH_TIMEOUT(ended_, 3000);
      QCOMPARE(Kinds(), (QList<int>{100, 200, 300}));
    }
  }

  // 试听从光标处开始, in the drop-down beside 全部试听: from the sentence or
  // mark the caret is in, even inside sentences of one voice merged into one record.
  void fromTheCaretStartsAtItsSentence() {
    Load(u"<男>One. Two three. Four<暂停1秒>Five.<男>Six");
    ScriptDocument& doc = window_->Editor().Document();
    const std::u16string text = doc.Text(0, -1);
    struct Case {
      int caret;
      size_t index;
      int start;
      std::u16string spoken;  // empty: as compiled
    };
    const Case cases[] = {
        {0, 0, 0, u""}, {3, 0, 0, u""}, {8, 0, 5, u" Two three. Four"}, {17, 0, 16, u" Four"},
        {30, 2, 27, u" Six"},
        {21, 1, 21, u""}, {22, 2, 22, u""}, {int(text.size()), 0, 0, u""},
    };
    for (const Case& c : cases) {
      std::vector<Segment> segments;
      ScriptCompiler(doc, window_->Media().lists(), segments);
      const std::vector<Segment> compiled = segments;
      QCOMPARE(StartPreviewAt(segments, text, c.caret), c.index);
      QCOMPARE(segments[c.index].start, c.start);
      QCOMPARE(Q(segments[c.index].text), Q(c.spoken.empty() ? compiled[c.index].text : c.spoken));
    }
  }

  void failuresAndEmptyScripts() {
    // Empty editor: the message, nothing starts.
    panel_->HandleCommand(panel_cmd::kPreviewAll);
    QCOMPARE(dialogs_->errors, QStringList{QString::fromUtf16(text::kPreviewEmpty)});
    QVERIFY(!Engine().InProgress());

    // A tone that is gone: its message; as the first record the preview does
    // not start. After a pause it ends the preview.
    dialogs_->errors.clear();
    for (const QString& tone : QDir(QString::fromStdString(data_.Sound().string())).entryList(QDir::Files)) {
      QFile::remove(QString::fromStdString((data_.Sound() / tone.toStdString()).string()));
    }
    Load(u"<提示音>");
    panel_->HandleCommand(panel_cmd::kPreviewAll);
    QCOMPARE(dialogs_->errors, QStringList{QString::fromUtf16(text::kToneFailed)});
    QVERIFY(!Engine().InProgress());
    QVERIFY(!window_->Editor().IsReadOnly());

    dialogs_->errors.clear();
    Load(u"<暂停0.1秒><提示音><暂停0.1秒>");
    window_->Editor().Document().SetSelection(2, 3);
    panel_->HandleCommand(panel_cmd::kPreviewAll);
    QVERIFY(Engine().InProgress());
    QTRY_VERIFY_WITH_TIMEOUT(ended_, 2000);
    QCOMPARE(dialogs_->errors, QStringList{QString::fromUtf16(text::kToneFailed)});
    QCOMPARE(Kinds(), QList<int>{100});
    VerifyIdle({2, 3});
  }

  void musicPlaysForItsPlayTimeAndAMissingClipSaysSo() {
    if (!SoundServerAnswers()) QSKIP("no sound server with the null sink (run through ctest)");
    QVERIFY(!window_->Media().lists().music.empty());
    QVERIFY(window_->Media().SetPlayTime(0, 1));
    const QString clip = Q(window_->Media().lists().music.front());
    Load(u"<音乐:" + clip.toStdU16String() + u">");
    MonitorRecording monitor;
    QVERIFY(monitor.started());
    panel_->HandleCommand(panel_cmd::kPreviewAll);
    QVERIFY(Engine().InProgress());
    QCOMPARE(window_->Editor().Document().Selection(), (std::pair<int, int>{0, 1}));
    QTRY_VERIFY_WITH_TIMEOUT(ended_, 5000);
    QCOMPARE(Kinds(), QList<int>{2});
    const double loud = SoundingMs(Heard(monitor, 64, 400));
    QVERIFY2(loud >= 850 && loud <= 1150, qPrintable(QString::number(loud)));  // one second

    QVERIFY(QFile::remove(QString::fromStdString(window_->Media().MusicPath(0).string())));
    panel_->HandleCommand(panel_cmd::kPreviewAll);
    QCOMPARE(dialogs_->errors, QStringList{QString::fromUtf16(text::kMusicFailed)});
    QVERIFY(!Engine().InProgress());
  }

  void choosingAToneStopsTheLastAndPlaysIt() {
    if (!SoundServerAnswers()) QSKIP("no sound server with the null sink (run through ctest)");
    QVERIFY(window_->Media().tones().size() >= 2);
    MonitorRecording monitor;
    QVERIFY(monitor.started());
    window_->ExecuteCommand(cmd::kToneFirst + 1);
    QVERIFY(window_->TonePlayer().IsRunning());
    QCOMPARE(window_->Media().promptToneIndex(), 1);
    window_->ExecuteCommand(cmd::kToneFirst);
    QVERIFY(window_->TonePlayer().IsRunning());
    QCOMPARE(IniStore(data_.SetupIni()).GetInt(kSettingsSection, setting_keys::kPromptTone, -1), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->TonePlayer().IsRunning(), 10000);
    QVERIFY(!Heard(monitor, 64, 400).empty());
  }
};

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"
