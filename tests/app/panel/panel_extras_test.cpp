// The panel's loudness and subtitle switches and the programme length, used
// as the teacher uses them: real clicks, the output from the main window, the
// files beside the MP3 and the status bar.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "output/output_job.h"
#include "panel/settings_panel.h"
#include "script/tagged_text.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "shell/commands.h"
#include "shell/main_window.h"
#include "shell/panel_controller.h"
#include "shell/scripted_dialogs.h"
#include "shell/shell_test_util.h"

using namespace aurisona;
using namespace aurisona::shell;

class PanelExtrasTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> temp_;
  DataDirectory data_;
  ScriptedDialogs* dialogs_ = nullptr;
  std::unique_ptr<MainWindow> window_;
  PanelController* panel_ = nullptr;

  QString Path(const QString& name) const { return temp_->filePath(name); }

  void MakeWindow() {
    IniStore(data_.SetupIni()).SetInt(kSettingsSection, setting_keys::kFirstRun, 0);
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs_ = dialogs.get();
    window_ = std::make_unique<MainWindow>(data_, QString(), std::move(dialogs));
    auto panel = std::make_unique<PanelController>(*window_);
    panel_ = panel.get();
    window_->InstallSettingsPanel(std::move(panel));
    window_->show();
  }

  template <typename T>
  T* Control(int id) const {
    return qobject_cast<T*>(panel_->Panel().Control(id));
  }

  void Click(QWidget* w) {
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
  }

  void Load(const std::u16string& tagged) { LoadTagged(*window_, tagged); }

  OutputResult Output(const QString& target) { return RunOutput(*window_, *panel_, target); }

 private slots:
  void init() {
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    data_ = PrepareTestHome(*temp_);
    MakeWindow();
  }

  void cleanup() {
    window_.reset();
    temp_.reset();
  }

  void switchesAreKeptInSetupIni() {
    auto* loudness = Control<QCheckBox>(panel::kLoudnessBoxId);
    auto* target = Control<QSpinBox>(panel::kLoudnessTargetId);
    auto* subtitles = Control<QCheckBox>(panel::kSubtitlesBoxId);
    auto* automatic = Control<QCheckBox>(panel::kGainRows[0].automaticBox);
    QVERIFY(loudness && target && subtitles && automatic);
    // Off by default: the original's settings, the original's output.
    QVERIFY(!loudness->isChecked());
    QVERIFY(!subtitles->isChecked());
    QCOMPARE(target->value(), -16);
    QVERIFY(automatic->isEnabled());

    Click(loudness);
    QVERIFY(loudness->isChecked());
    QVERIFY(!automatic->isEnabled());  // the loudness sets every gain itself
    target->setFocus();
    target->selectAll();
    QTest::keyClicks(target, QStringLiteral("-20"));
    QTest::keyClick(target, Qt::Key_Tab);
    QCOMPARE(target->value(), -20);
    Click(subtitles);
    QVERIFY(subtitles->isChecked());
    panel_->SaveSettings();

    IniStore store(data_.SetupIni());
    QCOMPARE(store.GetInt(kSettingsSection, setting_keys::kLoudnessOn, -1), 1);
    QCOMPARE(store.GetInt(kSettingsSection, setting_keys::kLoudnessTarget, 0), -20);
    QCOMPARE(store.GetInt(kSettingsSection, setting_keys::kSubtitlesOn, -1), 1);
    // The original's keys are all still there.
    QCOMPARE(store.GetInt(kSettingsSection, setting_keys::kTextAutoGain, -1), 1);

    window_.reset();
    MakeWindow();
    QVERIFY(Control<QCheckBox>(panel::kLoudnessBoxId)->isChecked());
    QCOMPARE(Control<QSpinBox>(panel::kLoudnessTargetId)->value(), -20);
    QVERIFY(Control<QCheckBox>(panel::kSubtitlesBoxId)->isChecked());
    QVERIFY(!Control<QCheckBox>(panel::kGainRows[0].automaticBox)->isEnabled());
  }

  void lengthIsMeasuredThenShownWithTheOutput() {
    Load(u"<男>Good morning. How are you today?<暂停0.5秒><提示音><暂停1秒>");
    QLabel* pane = window_->LengthPane();
    QVERIFY(!pane->isVisible());

    double measured = -1;
    panel_->lengthMeasured = [&](const OutputResult& r, double seconds) {
      QCOMPARE(r.status, OutputStatus::kFinished);
      measured = seconds;
    };
    window_->ExecuteCommand(cmd::kMeasureLength);
    // A dialog of its own says what is going on.
    QTRY_VERIFY(panel_->ProgressDialog() && panel_->ProgressDialog()->isVisible());
    QCOMPARE(panel_->ProgressDialog()->Text(), QStringLiteral("正在计算节目时长…"));
    QCOMPARE(panel_->ProgressDialog()->windowTitle(), QStringLiteral("计算节目时长"));
    QVERIFY(QTest::qWaitFor([&] { return measured >= 0; }, 60000));
    QVERIFY(measured > 2.0);
    QVERIFY(pane->isVisible());
    QCOMPARE(pane->text(), ProgrammeLengthText(measured));
    // The result in a message as well as in the status bar.
    QCOMPARE(dialogs_->informations, QStringList{QStringLiteral("计算节目时长|") + ProgrammeLengthText(measured)});
    dialogs_->informations.clear();
    QCOMPARE(QDir(temp_->path()).entryList({QStringLiteral("*.mp3")}, QDir::Files).size(), 0);
    // A key typed into the script makes the length shown an old one.
    QVERIFY(!window_->IsProgrammeLengthStale());
    QTest::keyClick(window_->Editor().Widget(), Qt::Key_X);
    QVERIFY(window_->IsProgrammeLengthStale());
    QCOMPARE(pane->text(), ProgrammeLengthText(measured) + QStringLiteral("（内容已修改）"));
    QTest::keyClick(window_->Editor().Widget(), Qt::Key_Backspace);

    // With subtitles on, the output writes them beside the MP3 and tells its length.
    Click(Control<QCheckBox>(panel::kSubtitlesBoxId));
    const OutputResult result = Output(Path(QStringLiteral("exam.mp3")));
    QCOMPARE(result.status, OutputStatus::kFinished);
    const double seconds = double(result.frames) * 1152 / 44100;
    QVERIFY(std::abs(seconds - measured) < 0.2);  // eSpeak NG varies a sentence by a few ms
    QCOMPARE(dialogs_->informations, QStringList{Q(kOutputDoneTitle) + u'|' + Q(kOutputDoneMessage) + u'\n' +
                                                 Path(QStringLiteral("exam.mp3")) + u'\n' +
                                                 ProgrammeLengthText(seconds)});
    QCOMPARE(pane->text(), ProgrammeLengthText(seconds));
    QVERIFY(!window_->IsProgrammeLengthStale());
    const QString lrc = QString::fromUtf8(ReadFile(Path(QStringLiteral("exam.lrc"))));
    QVERIFY2(lrc.contains(QRegularExpression(QStringLiteral("^\\[00:00\\.\\d\\d\\]Good morning\\.$"),
                                             QRegularExpression::MultilineOption)),
             qPrintable(lrc));
    QVERIFY(lrc.contains(QStringLiteral("]How are you today?\n")));
    const QString srt = QString::fromUtf8(ReadFile(Path(QStringLiteral("exam.srt"))));
    QVERIFY2(srt.startsWith(QStringLiteral("1\n00:00:00,")), qPrintable(srt));
    QVERIFY(srt.contains(QStringLiteral("\n2\n00:00:0")));
  }
};

QTEST_MAIN(PanelExtrasTest)
#include "panel_extras_test.moc"
