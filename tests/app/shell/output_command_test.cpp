// The MP3 output from the main window: the empty-editor message, the job on
// its worker thread behind the progress dialog, the completion and failure
// messages, the editor restored, and the same bytes as aurisona-cli render.
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/shell_test_util.h"
#include "output/output_job.h"
#include "script/tagged_text.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "shell/commands.h"
#include "shell/main_window.h"
#include "shell/panel_controller.h"
#include "shell/scripted_dialogs.h"
#include "shell/startup.h"

using namespace aurisona;
using namespace aurisona::shell;

namespace {

}  // namespace

class OutputCommandTest : public QObject {
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
  }

  void Load(const std::u16string& tagged) { LoadTagged(*window_, tagged); }

  // Runs the output command and waits for the job to end.
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

    QFile scriptFile(Path(QStringLiteral("script.txt")));
    QVERIFY(scriptFile.open(QIODevice::WriteOnly));
    scriptFile.write(QString::fromStdU16String(script).toUtf8());
    scriptFile.close();
    const QString fromCli = Path(QStringLiteral("cli.mp3"));
    QProcess cli;
    cli.start(QStringLiteral(AURISONA_CLI_PATH),
              {QStringLiteral("render"), scriptFile.fileName(), QStringLiteral("-o"), fromCli, QStringLiteral("--quiet"),
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
    IniStore(data_.SetupIni()).SetInt(kSettingsSection, setting_keys::kPieceCacheLimit, 0);
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

  // 设置 › 片段缓存: the size, then a question whether to empty it; an output
  // again is written from the cache, the same bytes.
  void pieceCacheEntryShowsTheSizeAndEmptiesTheCache() {
    Load(u"<提示音><暂停0.5秒><提示音>");
    QCOMPARE(Output(Path(QStringLiteral("a.mp3"))).status, OutputStatus::kFinished);
    QCOMPARE(Output(Path(QStringLiteral("b.mp3"))).status, OutputStatus::kFinished);
    QCOMPARE(ReadFile(Path(QStringLiteral("b.mp3"))), ReadFile(Path(QStringLiteral("a.mp3"))));
    QVERIFY(window_->statusBar()->currentMessage().isEmpty());  // no warning
    for (const bool empty : {false, true}) {
      dialogs_->yesNoAnswers = {empty};
      dialogs_->questions.clear();
      window_->Actions(cmd::kPieceCache).first()->trigger();
      QTRY_COMPARE(dialogs_->questions.size(), 1);
      // The same tone twice is one piece: two entries.
      QVERIFY2(dialogs_->questions[0].startsWith(QStringLiteral("片段缓存|片段缓存占用 ")) &&
                   dialogs_->questions[0].contains(QStringLiteral("（2 个片段）。")),
               qPrintable(dialogs_->questions[0]));
    }
    QCOMPARE(window_->statusBar()->currentMessage(), QStringLiteral("片段缓存已清空"));
    dialogs_->informations.clear();
    window_->ExecuteCommand(cmd::kPieceCache);
    QTRY_COMPARE(dialogs_->informations.size(), 1);
    QVERIFY(dialogs_->informations[0].startsWith(QStringLiteral("片段缓存|") + PieceCacheText(0, 0)));
  }
};

QTEST_MAIN(OutputCommandTest)
#include "output_command_test.moc"
