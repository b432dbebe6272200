// The MP3 output from the main window: the empty-editor message, the job on
// its worker thread behind the progress dialog, the completion and failure
// messages, the editor restored, and the same bytes as aurisona-cli render;
// the panel's loudness and subtitle switches and the programme length, used
// as the teacher uses them (real clicks, the files beside the MP3, the status bar).
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QStatusBar>

#include "app_test_util.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

class OutputCommandTest : public WindowSuite {
  Q_OBJECT

 private:
  void Click(QWidget* w) {
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
  }

 private slots:
  void init() {
    StartHome();
    StartWindow();
  }
  void cleanup() { StopWindow(); }

  void emptyEditorIsRefusedBeforeAnyDialog() {
    bool asked = false;
    panel_->askOutputPath = [&] {
      asked = true;
      return QString();
    };
    window_->ExecuteCommand(cmd::kOutputMp3);
    QTRY_COMPARE(dialogs_->errors.size(), 1);
    QCOMPARE(dialogs_->errors.first(), Q(kOutputEmptyMessage));
    QVERIFY(!asked);
  }

  void outputMatchesTheCommandLineByteForByte() {
    // Tone, music and pauses: sources whose encoding is fully determined.
    const std::u16string script = u"<提示音><暂停0.5秒><音乐:theme.mp3><暂停1秒><提示音>";
    Load(script);
    window_->Editor().Document().SetSelection(2, 3);
    const QString fromWindow = Path(QStringLiteral("window.mp3"));
    const OutputResult result = Output(fromWindow);
    QCOMPARE(result.status, OutputStatus::kFinished);
    QCOMPARE(result.pieces, 5);
    // The completion message names the file and tells the programme's length, that of the file.
    QCOMPARE(dialogs_->informations, QStringList{Q(kOutputDoneTitle) + u'|' + Q(kOutputDoneMessage) + u'\n' +
                                                 fromWindow + u'\n' +
                                                 ProgrammeLengthText(double(result.frames) * 1152 / 44100)});
    QVERIFY(!panel_->ProgressDialog()->isVisible());
    // The editor's selection is back where it was.
    QCOMPARE(window_->Editor().Document().Selection(), (std::pair<int, int>{2, 3}));

    const QString scriptFile = Path(QStringLiteral("script.txt"));
    QVERIFY(WriteFile(scriptFile, QString::fromStdU16String(script).toUtf8()));
    const QString fromCli = Path(QStringLiteral("cli.mp3"));
    QProcess cli;
    cli.start(QStringLiteral(AURISONA_CLI_PATH),
              {QStringLiteral("render"), scriptFile, QStringLiteral("-o"), fromCli, QStringLiteral("--quiet"),
               QStringLiteral("--data-dir"), QString::fromStdString(data_.root().string())});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    const QByteArray a = ReadFile(fromWindow);
    QVERIFY(a.size() > 10000);
    QCOMPARE(a, ReadFile(fromCli));
  }

  void aFailedJobSaysSoAndLeavesNoFile() {
    Load(u"<暂停1秒>");
    const QString target = Path(QStringLiteral("missing/folder/out.mp3"));
    const OutputResult result = Output(target);
    QCOMPARE(result.status, OutputStatus::kFailed);
    // The message, then the file and the reason on a line of their own.
    QCOMPARE(dialogs_->errors.size(), 1);
    QVERIFY2(dialogs_->errors[0].startsWith(Q(kOutputFailedMessage) + u'\n' + target + QStringLiteral("：")),
             qPrintable(dialogs_->errors[0]));
    QVERIFY(dialogs_->informations.isEmpty());
    QVERIFY(!QFile::exists(target));
  }

  void abortKeepsAPlayableFileAndShowsNoCompletion() {
    // Without the piece cache: pauses found there would end the job before the abort.
    QVERIFY(IniStore(data_.SetupIni()).SetInt(kSettingsSection, setting_keys::kPieceCacheLimit, 0));
    std::u16string script;
    for (int i = 0; i < 40; ++i) script += u"<暂停5秒>";
    Load(script);
    panel_->askOutputPath = [this] { return Path(QStringLiteral("aborted.mp3")); };
    bool done = false;
    OutputResult result;
    panel_->outputFinished = [&](const OutputResult& r) {
      result = r;
      done = true;
    };
    window_->ExecuteCommand(cmd::kOutputMp3);
    QTRY_VERIFY(panel_->ProgressDialog() != nullptr && panel_->ProgressDialog()->isVisible());
    // Enter and Esc leave the dialog and its abort button in place.
    QTest::keyClick(panel_->ProgressDialog(), Qt::Key_Escape);
    QVERIFY(panel_->ProgressDialog()->isVisible());
    panel_->ProgressDialog()->AbortButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return done; }, 120000));
    QCOMPARE(result.status, OutputStatus::kAborted);
    QVERIFY(result.pieces < 40);
    QVERIFY(dialogs_->informations.isEmpty());
    QVERIFY(QFile::exists(Path(QStringLiteral("aborted.mp3"))));
  }

  // The loudness switch sets every gain itself: the automatic gains grey out,
  // and stay greyed at the next start.
  void loudnessGreysTheAutomaticGains() {
    QVERIFY(Control<QCheckBox>(panel::kGainRows[0].automaticBox)->isEnabled());
    Click(Control<QCheckBox>(panel::kLoudnessBoxId));
    QVERIFY(!Control<QCheckBox>(panel::kGainRows[0].automaticBox)->isEnabled());
    panel_->SaveSettings();
    window_.reset();
    StartWindow();
    QVERIFY(Control<QCheckBox>(panel::kLoudnessBoxId)->isChecked());
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
    QVERIFY(QTest::qWaitFor([&] { return measured >= 0; }, 60000));
    QVERIFY(measured > 2.0);
    QVERIFY(pane->isVisible());
    QCOMPARE(pane->text(), ProgrammeLengthText(measured));
    // The result in a message as well as in the status bar.
    QCOMPARE(dialogs_->informations, QStringList{QStringLiteral("计算节目时长|") + ProgrammeLengthText(measured)});
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
    QCOMPARE(pane->text(), ProgrammeLengthText(seconds));
    QVERIFY(!window_->IsProgrammeLengthStale());
    // What the subtitle files hold is the output suites' (core) business.
    QVERIFY(ReadFile(Path(QStringLiteral("exam.lrc"))).contains("Good morning."));
    QVERIFY(ReadFile(Path(QStringLiteral("exam.srt"))).startsWith("1\n00:00:00,"));
  }

  // 设置 › 片段缓存: the size, then a question whether to empty it.
  void pieceCacheEntryShowsTheSizeAndEmptiesTheCache() {
    Load(u"<提示音><暂停0.5秒><提示音>");
    QCOMPARE(Output(Path(QStringLiteral("a.mp3"))).status, OutputStatus::kFinished);
    QVERIFY(window_->statusBar()->currentMessage().isEmpty());  // no warning
    dialogs_->yesNoAnswers = {true};
    window_->Actions(cmd::kPieceCache).first()->trigger();
    QTRY_COMPARE(dialogs_->questions.size(), 1);
    // The same tone twice is one piece: two entries.
    QVERIFY2(dialogs_->questions[0].contains(QStringLiteral("（2 个片段）。")), qPrintable(dialogs_->questions[0]));
    QCOMPARE(window_->statusBar()->currentMessage(), QStringLiteral("片段缓存已清空"));
    window_->ExecuteCommand(cmd::kPieceCache);
    QTRY_COMPARE(dialogs_->informations.size(), 2);  // after the output's, the empty cache's
    QVERIFY(dialogs_->informations[1].startsWith(QStringLiteral("片段缓存|") + PieceCacheText(0, 0)));
  }
};

QTEST_MAIN(OutputCommandTest)
#include "output_command_test.moc"
