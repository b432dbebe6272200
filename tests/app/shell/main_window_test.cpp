// The main window on real widgets and real files: documents, the save-changes
// prompt, damaged files, drops, the first run, skins, the settings pane and
// the enabled states while a preview holds the editor.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest>
#include <deque>

#include "shell/shell_test_util.h"
#include "files/document_files.h"
#include "script/marks.h"
#include "settings/ini_store.h"
#include "settings/settings_keys.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/scripted_dialogs.h"
#include "util/text.h"

using namespace aurisona;
using namespace aurisona::shell;

namespace {

const QString kAppTitle = QStringLiteral("澄聆听力合成系统 2.2");

QString DocText(MainWindow& window) { return Q(window.Editor().Document().Text(0, -1)); }

void TypeText(MainWindow& window, const QString& text) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(doc.Length(), doc.Length());
  doc.ReplaceSelection(text.toStdU16String(), true);
  window.Editor().SetModified(true);
}

bool Enabled(MainWindow& window, int id) {
  const QList<QAction*> actions = window.Actions(id);
  if (actions.isEmpty()) return false;
  for (QAction* action : actions) {
    if (action->isEnabled() != actions.first()->isEnabled()) qFatal("actions of one command disagree");
  }
  return actions.first()->isEnabled();
}

bool Checked(MainWindow& window, int id) { return window.Actions(id).first()->isChecked(); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> temp_;
  DataDirectory data_;
  ScriptedDialogs* dialogs_ = nullptr;

  QString Path(const QString& name) const { return temp_->filePath(name); }
  IniStore Store() const { return IniStore(data_.SetupIni()); }

  // A window on the test's data directory; the first run is already over
  // unless `firstRun` is set.
  std::unique_ptr<MainWindow> MakeWindow(const QString& document = {}, bool firstRun = false) {
    if (!firstRun) Store().SetInt(kSettingsSection, setting_keys::kFirstRun, 0);
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs_ = dialogs.get();
    return std::make_unique<MainWindow>(data_, document, std::move(dialogs));
  }

 private slots:
  void init() {
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    data_ = PrepareTestHome(*temp_);
  }

  void saveAsSaveAndTitle() {
    auto window = MakeWindow();
    QCOMPARE(window->windowTitle(), kAppTitle);
    QVERIFY(!Enabled(*window, cmd::kSave));
    TypeText(*window, QStringLiteral("听第一段对话。"));
    window->Editor().Document().InsertMark({kMarkMale, 0}, true);
    QVERIFY(Enabled(*window, cmd::kSave));

    // Save without a name asks for one; a cancelled dialog saves nothing.
    window->ExecuteCommand(cmd::kSave);
    QVERIFY(window->Editor().IsModified());
    QCOMPARE(window->windowTitle(), kAppTitle);

    dialogs_->savePaths.push_back(Path(QStringLiteral("exam.lsn")));
    window->ExecuteCommand(cmd::kSave);
    QVERIFY(!window->Editor().IsModified());
    QCOMPARE(window->windowTitle(), kAppTitle + QStringLiteral(" - [exam.lsn]"));
    QVERIFY(ReadFile(Path(QStringLiteral("exam.lsn"))).startsWith(QByteArray("lsn\x01", 4)));

    // Save again goes to the same file without a dialog.
    TypeText(*window, QStringLiteral("Go on."));
    window->ExecuteCommand(cmd::kSave);
    QVERIFY(dialogs_->savePaths.empty());
    QVERIFY(!window->Editor().IsModified());

    // Save As under a name without .lsn writes a UTF-16 text file of tagged text.
    dialogs_->savePaths.push_back(Path(QStringLiteral("exam.TXT.bak")));
    window->ExecuteCommand(cmd::kSaveAs);
    const QByteArray text = ReadFile(Path(QStringLiteral("exam.TXT.bak")));
    QVERIFY(text.startsWith("\xFF\xFE"));
    QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData() + 2), (text.size() - 2) / 2)
                .contains(QStringLiteral("对话。<男>Go on.")));
    QCOMPARE(window->windowTitle(), kAppTitle + QStringLiteral(" - [exam.TXT.bak]"));
    QVERIFY(dialogs_->errors.isEmpty());
  }

  void saveChangesPromptGuardsNewOpenAndClose() {
    const QString other = Path(QStringLiteral("other.txt"));
    {
      QFile file(other);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("<女>Hello.");
    }
    auto window = MakeWindow();
    TypeText(*window, QStringLiteral("draft"));

    // Cancel keeps everything; No discards.
    dialogs_->saveAnswers = {SaveAnswer::kCancel};
    window->ExecuteCommand(cmd::kNew);
    QCOMPARE(DocText(*window), QStringLiteral("draft"));
    dialogs_->saveAnswers = {SaveAnswer::kNo};
    dialogs_->openPaths = {other};
    window->ExecuteCommand(cmd::kOpen);
    QCOMPARE(DocText(*window), QStringLiteral("\uFFFCHello."));
    QCOMPARE(window->Editor().Document().MarkAt(0)->kind, kMarkFemale);
    QVERIFY(!window->Editor().IsModified());
    QCOMPARE(window->windowTitle(), kAppTitle + QStringLiteral(" - [other.txt]"));

    // Yes saves under the current name before the new document.
    TypeText(*window, QStringLiteral(" Bye."));
    dialogs_->saveAnswers = {SaveAnswer::kYes};
    window->ExecuteCommand(cmd::kNew);
    QCOMPARE(DocText(*window), QString());
    QCOMPARE(window->windowTitle(), kAppTitle);
    QCOMPARE(window->CurrentPath(), QString());
    QVERIFY(ReadFile(other).startsWith("\xFF\xFE"));

    // Yes without a name, and the save-as dialog cancelled: nothing happens.
    TypeText(*window, QStringLiteral("unsaved"));
    dialogs_->saveAnswers = {SaveAnswer::kYes};
    window->ExecuteCommand(cmd::kShowSample);
    QCOMPARE(DocText(*window), QStringLiteral("unsaved"));

    // Yes, and the save fails: the error shows and the content stays.
    dialogs_->saveAnswers = {SaveAnswer::kYes};
    dialogs_->savePaths = {Path(QStringLiteral("missing-folder/x.lsn"))};
    window->ExecuteCommand(cmd::kShowHelp);
    QCOMPARE(dialogs_->errors, QStringList{Q(kCreateFailedMessage)});
    QCOMPARE(DocText(*window), QStringLiteral("unsaved"));

    // The close request asks the same question; Cancel keeps the window.
    window->show();
    dialogs_->saveAnswers = {SaveAnswer::kCancel};
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    dialogs_->saveAnswers = {SaveAnswer::kNo};
    QVERIFY(window->close());
  }

  void failedOpensLeaveEditorAndTitle() {
    auto window = MakeWindow();
    dialogs_->savePaths = {Path(QStringLiteral("kept.lsn"))};
    TypeText(*window, QStringLiteral("kept text"));
    window->ExecuteCommand(cmd::kSaveAs);
    TypeText(*window, QStringLiteral(" more"));
    const QString title = window->windowTitle();

    QVERIFY(!window->OpenDocumentFile(Path(QStringLiteral("nowhere.lsn"))));
    QVERIFY(!window->OpenDocumentFile(temp_->path()));  // a folder
    // A listening document whose records break off before its text.
    const QString damaged = Path(QStringLiteral("damaged.lsn"));
    {
      QFile file(damaged);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QByteArray("lsn\x01\x07\x00\x00\x00junk", 12));
    }
    QVERIFY(!window->OpenDocumentFile(damaged));
    QCOMPARE(dialogs_->errors, (QStringList{Q(kOpenFailedMessage), Q(kOpenFailedMessage), Q(kDamagedMessage)}));
    QCOMPARE(DocText(*window), QStringLiteral("kept text more"));
    QVERIFY(window->Editor().IsModified());
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->CurrentPath(), Path(QStringLiteral("kept.lsn")));

    // A later Save still goes to the old file, never to the damaged one.
    window->ExecuteCommand(cmd::kSave);
    QCOMPARE(ReadFile(damaged).size(), 12);
  }

  void clipsTheDocumentCannotWriteAreReported() {
    auto window = MakeWindow();
    // A clip whose name a tag cannot carry is not put into the Music folder.
    const std::u16string name = u"a>b.mp3", text = u"Hello.";
    const std::string clip = "CLIP";
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const std::string bytes = std::string("lsn\x01", 4) + u32(2) + u32(0) + u32(uint32_t(2 * name.size() + 2)) +
                              ToUtf16Le(name) + std::string(2, '\0') + u32(0) + u32(uint32_t(clip.size())) + clip +
                              u32(0) + u32(uint32_t(2 * text.size() + 2)) + ToUtf16Le(text) + std::string(2, '\0');
    const QString path = Path(QStringLiteral("clip.lsn"));
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(bytes.data(), qint64(bytes.size()));
    }
    QVERIFY(window->OpenDocumentFile(path));
    QCOMPARE(dialogs_->errors.size(), 1);
    QVERIFY(dialogs_->errors[0].startsWith(Q(kMediaNotWrittenMessage)));
    QVERIFY(dialogs_->errors[0].contains(QStringLiteral("a>b.mp3")));
    QCOMPARE(DocText(*window), QStringLiteral("Hello."));
    QCOMPARE(window->CurrentPath(), path);
  }

  void droppedFilesOpenWithoutPrompt() {
    const QString script = Path(QStringLiteral("Drop.LSN"));
    {
      auto writer = MakeWindow();
      TypeText(*writer, QStringLiteral("dropped"));
      dialogs_->savePaths = {script};
      writer->ExecuteCommand(cmd::kSaveAs);
    }
    auto window = MakeWindow();
    TypeText(*window, QStringLiteral("unsaved"));
    window->DropFiles({QUrl::fromLocalFile(Path(QStringLiteral("a.wav"))), QUrl::fromLocalFile(script)});
    QCOMPARE(DocText(*window), QStringLiteral("unsaved"));  // only the first file counts
    window->DropFiles({QUrl::fromLocalFile(script), QUrl::fromLocalFile(Path(QStringLiteral("b.txt")))});
    QCOMPARE(DocText(*window), QStringLiteral("dropped"));
    QCOMPARE(dialogs_->saveQuestions, 0);
    QCOMPARE(window->windowTitle(), kAppTitle + QStringLiteral(" - [Drop.LSN]"));
  }

  void firstRunShowsSampleAndWelcomeOnce() {
    {
      auto window = MakeWindow({}, true);
      QVERIFY(window->FirstRunTimer().isActive());
      QCOMPARE(window->FirstRunTimer().interval(), 500);
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kFirstRun, 1), 0);
      QTRY_COMPARE(dialogs_->informations.size(), 1);
      QVERIFY(dialogs_->informations.first().startsWith(QStringLiteral("欢迎|欢迎您第一次使用")));
      QTRY_VERIFY(DocText(*window).startsWith(QStringLiteral("\uFFFC演示样稿\uFFFC")));
      QVERIFY(!window->Editor().IsModified());
    }
    auto again = std::make_unique<MainWindow>(data_, QString(), std::make_unique<ScriptedDialogs>());
    QVERIFY(!again->FirstRunTimer().isActive());
  }

  void commandLineDocumentSkipsFirstRun() {
    const QString script = Path(QStringLiteral("my exam.txt"));
    {
      QFile file(script);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("From the command line.");
    }
    QFile::remove(QString::fromStdString(data_.SetupIni().string()));
    const QString document = CommandLineDocument({QStringLiteral("\"") + temp_->path() + QStringLiteral("/my"),
                                                  QStringLiteral("exam.txt\"")});
    auto window = std::make_unique<MainWindow>(data_, document, std::make_unique<ScriptedDialogs>());
    QCOMPARE(DocText(*window), QStringLiteral("From the command line."));
    QVERIFY(!window->FirstRunTimer().isActive());
    QVERIFY(Store().Snapshot().Find(kSettingsSection, setting_keys::kFirstRun) == std::nullopt);
  }

  void skinAndPanelCommandsWriteSetupIni() {
    {
      auto window = MakeWindow();
      QCOMPARE(window->SkinNumber(), 2);
      QVERIFY(Checked(*window, cmd::kSkinBlack));
      window->ExecuteCommand(cmd::kSkinMetal);
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kSkin, 0), 5);
      QVERIFY(Checked(*window, cmd::kSkinMetal) && !Checked(*window, cmd::kSkinBlack));
      window->ExecuteCommand(cmd::kSkinSystem);
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kSkin, 0), 1);
      // Already the system look: nothing is written (the value planted here stays).
      Store().SetInt(kSettingsSection, setting_keys::kSkin, 4);
      window->ExecuteCommand(cmd::kSkinSystem);
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kSkin, 0), 4);
      QVERIFY(Checked(*window, cmd::kSkinSystem));

      // The pane's close button hides the panel for this run only.
      QVERIFY(window->IsPanelShown() && Checked(*window, cmd::kSettingsPanel));
      QVERIFY(window->ToolButton(cmd::kSettingsPanel)->isChecked());
      window->ExecuteCommand(cmd::kPaneClose);
      QVERIFY(!window->IsPanelShown() && !Checked(*window, cmd::kSettingsPanel));
      QVERIFY(!Store().Snapshot().Find(kSettingsSection, setting_keys::kPanelShown));
      window->ExecuteCommand(cmd::kSettingsPanel);
      QVERIFY(window->IsPanelShown());
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kPanelShown, -1), 1);
      window->ExecuteCommand(cmd::kSettingsPanel);
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kPanelShown, -1), 0);
      QVERIFY(!window->ToolButton(cmd::kSettingsPanel)->isChecked());
    }
    auto window = MakeWindow();
    QCOMPARE(window->SkinNumber(), 4);
    QVERIFY(!window->IsPanelShown());
    QVERIFY(!Checked(*window, cmd::kSettingsPanel));
  }

  void readOnlyEditorGreysCommands() {
    auto window = MakeWindow();
    window->ExecuteCommand(cmd::kShowSample);
    window->Editor().Document().SetSelection(0, 3);
    QCoreApplication::processEvents();  // the editor reports its state when its edits settle
    QVERIFY(Enabled(*window, cmd::kCopy) && Enabled(*window, cmd::kMale) && Enabled(*window, cmd::kNew));
    QVERIFY(!Enabled(*window, cmd::kSave));

    TypeText(*window, QStringLiteral("x"));
    window->Editor().Document().SetSelection(0, 3);
    window->Editor().SetReadOnlyPreview(true);
    QCoreApplication::processEvents();
    for (int id : {cmd::kNew, cmd::kOpen, cmd::kOutputMp3, cmd::kPreviewAll, cmd::kPreviewPart, cmd::kMale,
                   cmd::kFemale1, cmd::kLastPause, cmd::kPause10, cmd::kPauseOther, cmd::kRepeatSame,
                   cmd::kNoRead, cmd::kMusicFromFile, cmd::kShowSample, cmd::kShowHelp, cmd::kUndo, cmd::kCut,
                   cmd::kCopy, cmd::kPaste}) {
      QVERIFY2(!Enabled(*window, id), qPrintable(QString::number(id)));
    }
    for (int id : {cmd::kPreviewButton, cmd::kSave, cmd::kSaveAs, cmd::kSettingsPanel, cmd::kStatusBar,
                   cmd::kSkinSystem, cmd::kAbout, cmd::kExit}) {
      QVERIFY2(Enabled(*window, id), qPrintable(QString::number(id)));
    }
    // A disabled command does nothing even when called directly.
    const QString before = DocText(*window);
    window->ExecuteCommand(cmd::kMale);
    window->ExecuteCommand(cmd::kNew);
    QCOMPARE(DocText(*window), before);

    window->Editor().SetReadOnlyPreview(false);
    QCoreApplication::processEvents();
    QVERIFY(Enabled(*window, cmd::kNew) && Enabled(*window, cmd::kCut) && Enabled(*window, cmd::kUndo));
  }

  void previewAndPauseButtons() {
    auto window = MakeWindow();
    QToolButton* preview = window->ToolButton(cmd::kPreviewButton);
    QToolButton* pause = window->ToolButton(cmd::kLastPause);
    QCOMPARE(preview->text(), QStringLiteral("全部试听"));
    window->ExecuteCommand(cmd::kPreviewPart);
    QCOMPARE(window->PreviewMode(), 0);
    window->SetPreviewState(0);
    QCOMPARE(preview->text(), QStringLiteral("停止试听"));
    window->SetPreviewState(1);
    QCOMPARE(preview->text(), QStringLiteral("部分试听"));
    window->ExecuteCommand(cmd::kPreviewAll);
    window->SetPreviewState(1);
    QCOMPARE(preview->text(), QStringLiteral("全部试听"));

    QCOMPARE(pause->text(), QStringLiteral("暂停"));
    window->ExecuteCommand(cmd::kPause05);  // remembered by the editor
    QCOMPARE(window->LastPauseCode(), 5);
    QCOMPARE(pause->text(), QStringLiteral("0.5秒"));
    window->SetPauseButton(39);
    QCOMPARE(pause->text(), QStringLiteral("30秒"));
    window->SetPauseButton(40);  // no such code
    QCOMPARE(window->LastPauseCode(), 39);
    window->ExecuteCommand(cmd::kLastPause);
    ScriptDocument& doc = window->Editor().Document();
    QCOMPARE(doc.Length(), 2);
    QCOMPARE(*doc.MarkAt(0), (MarkRecord{kMarkPause, 5}));
    QCOMPARE(*doc.MarkAt(1), (MarkRecord{kMarkPause, 39}));
    QCOMPARE(PauseCodeText(1), QStringLiteral("0.1秒"));
    QCOMPARE(PauseCodeText(10), QStringLiteral("1秒"));
  }

  void windowLayout() {
    auto window = MakeWindow();
    QCOMPARE(window->size(), QSize(1000, 638));
    QCOMPARE(window->minimumSize(), QSize(720, 630));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->Splitter()->sizes().first(), 285);
    QCOMPARE(window->TipTimer().interval(), 20000);
    QVERIFY(!window->TipPane()->text().isEmpty());
    // Eighteen toolbar buttons, five with drop-down menus, all visible at the start size.
    int buttons = 0, menus = 0;
    for (const ToolbarButton& b : ToolbarLayout()) {
      if (b.id == 0) continue;
      ++buttons;
      QToolButton* button = window->ToolButton(b.id);
      QVERIFY(button != nullptr && button->isVisible());
      if (button->menu() != nullptr) ++menus;
    }
    QCOMPARE(buttons, 18);
    QCOMPARE(menus, 5);
    // The prompt tones of the Sound folder, the current one checked.
    QVERIFY(!window->ToneMenu()->actions().isEmpty());
    QVERIFY(window->ToneMenu()->actions().first()->isChecked());
    window->ExecuteCommand(cmd::kToneFirst + 1);
    QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kPromptTone, 0), 1);
    QVERIFY(!window->ToneMenu()->actions().first()->isChecked());
  }

  void realSavePromptBox() {
    QtDialogs dialogs;
    QString title, text, noText;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      title = box->windowTitle();
      text = box->text();
      buttons = box->buttons().size();
      noText = box->button(QMessageBox::No)->text();
      box->button(QMessageBox::No)->click();
    });
    QCOMPARE(dialogs.AskSaveChanges(nullptr), SaveAnswer::kNo);
    QCOMPARE(title, QStringLiteral("保存"));
    QCOMPARE(text, QStringLiteral("是否保存当前内容？"));
    QCOMPARE(buttons, 3);
    QCOMPARE(noText, QStringLiteral("否(&N)"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
