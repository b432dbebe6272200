// The main window on real widgets and real files: documents, the save-changes
// prompt, damaged files, drops, the first run, skins, the settings pane and
// the enabled states while a preview holds the editor.
#include <QAction>
#include <QToolButton>
#include <QUrl>
#include <cerrno>
#include <cstring>

#include "app_test_util.h"
#include "app/editor/editor_commands.h"
#include "app/editor/editor_dialogs.h"
#include "core/files/document_files.h"
#include "core/script/marks.h"
#include "app/shell/shell_texts.h"
#include "support/lsn.h"
#include "core/util/text.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

namespace {

const QString kAppTitle = QStringLiteral("澄聆听力合成系统 2.2");
// The title of a document; "[*]" turns into "*" while it has unsaved changes.
QString Titled(const QString& name) { return kAppTitle + QStringLiteral(" - [") + name + QStringLiteral("][*]"); }

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

class MainWindowTest : public WindowSuite {
  Q_OBJECT

 private slots:
  void init() { StartHome(); }
  void cleanup() { StopWindow(); }

  void saveAsSaveAndTitle() {
    auto window = MakeWindow();
    QCOMPARE(window->windowTitle(), Titled(QStringLiteral("无标题")));
    QVERIFY(!Enabled(*window, cmd::kSave) && !window->isWindowModified());
    TypeText(*window, QStringLiteral("听第一段对话。"));
    QVERIFY(Enabled(*window, cmd::kSave) && window->isWindowModified());

    // Save without a name asks for one; a cancelled dialog saves nothing.
    window->ExecuteCommand(cmd::kSave);
    QVERIFY(window->Editor().IsModified());
    dialogs_->savePaths.push_back(Path(QStringLiteral("exam.lsn")));
    window->ExecuteCommand(cmd::kSave);
    QCOMPARE(window->windowTitle(), Titled(QStringLiteral("exam.lsn")));
    QVERIFY(!window->isWindowModified());
    QVERIFY(ReadFile(Path(QStringLiteral("exam.lsn"))).startsWith(QByteArray("lsn\x01", 4)));

    // Save again goes to the same file without a dialog.
    TypeText(*window, QStringLiteral("Go on."));
    window->ExecuteCommand(cmd::kSave);
    QVERIFY(!window->Editor().IsModified());

    // Save As under a name without .lsn writes a UTF-16 text file.
    dialogs_->savePaths.push_back(Path(QStringLiteral("exam.TXT.bak")));
    window->ExecuteCommand(cmd::kSaveAs);
    QVERIFY(ReadFile(Path(QStringLiteral("exam.TXT.bak"))).startsWith("\xFF\xFE"));
    QCOMPARE(window->windowTitle(), Titled(QStringLiteral("exam.TXT.bak")));
  }

  void saveChangesPromptGuardsNewOpenAndClose() {
    const QString other = Path(QStringLiteral("other.txt"));
    QVERIFY(WriteFile(other, QByteArray("<女>Hello.")));
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
    QVERIFY(!window->Editor().IsModified());

    // Yes saves under the current name before the new document.
    TypeText(*window, QStringLiteral(" Bye."));
    dialogs_->saveAnswers = {SaveAnswer::kYes};
    window->ExecuteCommand(cmd::kNew);
    QCOMPARE(DocText(*window), QString());
    QCOMPARE(window->windowTitle(), Titled(QStringLiteral("无标题")));
    QVERIFY(ReadFile(other).startsWith("\xFF\xFE"));

    // Yes, and the save fails: the error shows and the content stays.
    TypeText(*window, QStringLiteral("unsaved"));
    dialogs_->saveAnswers = {SaveAnswer::kYes};
    dialogs_->savePaths = {Path(QStringLiteral("missing-folder/x.lsn"))};
    window->ExecuteCommand(cmd::kShowHelp);
    // The message, then the path and the system's reason on a line of their own.
    const QString error = dialogs_->errors.value(0);
    QVERIFY2(dialogs_->errors.size() == 1 && error.contains(QString::fromLocal8Bit(std::strerror(ENOENT))) &&
                 error.startsWith(Q(kCreateFailedMessage) + u'\n' + Path(QStringLiteral("missing-folder/x.lsn")) + u'：'),
             qPrintable(error));
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
    QVERIFY(WriteFile(damaged, QByteArray("lsn\x01\x07\x00\x00\x00junk", 12)));
    QVERIFY(!window->OpenDocumentFile(damaged));
    QCOMPARE(dialogs_->errors, (QStringList{Q(kOpenFailedMessage), Q(kOpenFailedMessage), Q(kDamagedMessage)}));
    QCOMPARE(DocText(*window), QStringLiteral("kept text more"));
    QVERIFY(window->Editor().IsModified());
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->CurrentPath(), Path(QStringLiteral("kept.lsn")));

    // A later Save still goes to the old file, never to the damaged one.
    window->ExecuteCommand(cmd::kSave);
    QCOMPARE(ReadFile(damaged).size(), 12);

    // Cut short inside a record with its script text behind it: after the
    // message, what can be read is offered, naming what was lost.
    const QString cut = Path(QStringLiteral("cut.lsn"));
    std::string recording = testing::LsnMedia(3, u"a.wav", "");
    recording.replace(recording.size() - 4, 4, testing::Le32(255));  // 255 bytes that are not there
    QVERIFY(WriteFile(cut, QByteArray::fromStdString(testing::Lsn(recording, u"听第一段对话。"))));
    dialogs_->errors.clear();
    dialogs_->yesNoAnswers = {false};
    QVERIFY(!window->OpenDocumentFile(cut));
    QCOMPARE(dialogs_->errors, QStringList{Q(kDamagedMessage)});
    QCOMPARE(dialogs_->questions.size(), 1);
    QVERIFY2(dialogs_->questions[0].contains(QStringLiteral("已丢失：a.wav")), qPrintable(dialogs_->questions[0]));
    QCOMPARE(DocText(*window), QStringLiteral("kept text more"));
    QCOMPARE(window->CurrentPath(), Path(QStringLiteral("kept.lsn")));

    dialogs_->yesNoAnswers = {true};
    QVERIFY(window->OpenDocumentFile(cut));
    QCOMPARE(DocText(*window), QStringLiteral("听第一段对话。"));
    // An unsaved document of its own: Save asks where, proposing a new name beside it.
    QVERIFY(window->CurrentPath().isEmpty());
    QVERIFY(window->Editor().IsModified());
    QCOMPARE(window->windowTitle(), Titled(QStringLiteral("无标题")));
    dialogs_->saveProposals.clear();
    window->ExecuteCommand(cmd::kSave);
    QCOMPARE(dialogs_->saveProposals, QStringList{Path(QStringLiteral("cut(恢复).lsn"))});
    QCOMPARE(ReadFile(cut).size(), 16 + 12 + 8 + 8 + 14 + 2);
  }

  // 最近打开, the title and the folders the file dialogs start in, through
  // real key and mouse events where the user has them.
  void recentDocumentsTitleAndFolders() {
    auto window = MakeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(!window->RecentMenu()->actions().first()->isEnabled());  // "（无）"
    QTest::keyClicks(window->Editor().Widget(), "Hello");
    QVERIFY(window->isWindowModified());

    // Saved, then nine documents opened: the list keeps the last eight, newest first.
    const QString folder = QFileInfo(Path(QStringLiteral("a.lsn"))).absolutePath();
    dialogs_->savePaths = {Path(QStringLiteral("a.lsn"))};
    window->ExecuteCommand(cmd::kSave);
    QCOMPARE(dialogs_->saveProposals, QStringList{QString()});
    QStringList expected{Path(QStringLiteral("a.lsn"))};
    for (char c = 'b'; c <= 'j'; ++c) {
      const QString path = Path(QStringLiteral("%1.txt").arg(c));
      QVERIFY(WriteFile(path, QByteArray(1, c)));
      dialogs_->openPaths = {path};
      window->ExecuteCommand(cmd::kOpen);
      QCOMPARE(dialogs_->openFolders.last(), folder);
      expected.prepend(path);
    }
    expected = expected.mid(0, 8);
    QCOMPARE(window->RecentDocuments(), expected);

    // A file that is gone leaves the list with a message; one that is there
    // opens, clicked in the menu.
    QFile::remove(expected[2]);
    window->OpenRecent(expected[2]);
    QVERIFY(dialogs_->errors.size() == 1 && dialogs_->errors[0].endsWith(expected[2]));
    expected.removeAt(2);
    QCOMPARE(window->RecentDocuments(), expected);
    QMenu* menu = window->RecentMenu();
    menu->popup(window->mapToGlobal(QPoint(20, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QAction* item = menu->actions().value(4);
    QVERIFY(item != nullptr && item->data().toString() == expected[4]);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_COMPARE(window->CurrentPath(), expected[4]);
    expected.move(4, 0);
    QCOMPARE(window->RecentDocuments(), expected);

    // The list is back at the next start (kept in setup.ini, with the folder);
    // 输出MP3 proposes the document's name.
    window.reset();
    window = MakeWindow();
    QCOMPARE(window->RecentDocuments(), expected);
    QCOMPARE(window->ProposedOutputPath(), QDir(folder).filePath(QStringLiteral("无标题.mp3")));
    window->OpenRecent(Path(QStringLiteral("a.lsn")));
    QCOMPARE(window->ProposedOutputPath(), Path(QStringLiteral("a.mp3")));
  }

  void clipsTheDocumentCannotWriteAreReported() {
    auto window = MakeWindow();
    // A clip whose name a tag cannot carry is not put into the Music folder.
    const QString path = Path(QStringLiteral("clip.lsn"));
    QVERIFY(WriteFile(path, QByteArray::fromStdString(testing::Lsn(testing::LsnMedia(2, u"a>b.mp3", "CLIP"), u"Hello."))));
    QVERIFY(window->OpenDocumentFile(path));
    QVERIFY(dialogs_->errors.size() == 1 && dialogs_->errors[0].startsWith(Q(kMediaNotWrittenMessage)) &&
            dialogs_->errors[0].contains(QStringLiteral("a>b.mp3")));
    QCOMPARE(DocText(*window), QStringLiteral("Hello."));
    QCOMPARE(window->CurrentPath(), path);
  }

  void droppedFilesOpenWithoutPrompt() {
    const QString script = Path(QStringLiteral("Drop.LSN"));
    QVERIFY(WriteFile(script, QByteArray::fromStdString(testing::Lsn("", u"dropped"))));
    auto window = MakeWindow();
    TypeText(*window, QStringLiteral("unsaved"));
    window->DropFiles({QUrl::fromLocalFile(Path(QStringLiteral("a.wav"))), QUrl::fromLocalFile(script)});
    QCOMPARE(DocText(*window), QStringLiteral("unsaved"));  // only the first file counts
    window->DropFiles({QUrl::fromLocalFile(script), QUrl::fromLocalFile(Path(QStringLiteral("b.txt")))});
    QCOMPARE(DocText(*window), QStringLiteral("dropped"));
    QCOMPARE(dialogs_->saveQuestions, 0);
    QCOMPARE(window->windowTitle(), Titled(QStringLiteral("Drop.LSN")));
  }

  // The first run shows the sample and the welcome, once; a document given on
  // the command line skips it and leaves setup.ini alone.
  void firstRunShowsSampleAndWelcomeOnce() {
    {
      auto window = MakeWindow({}, true);
      QVERIFY(window->FirstRunTimer().isActive());
      QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kFirstRun, 1), 0);
      QTRY_COMPARE(dialogs_->informations.size(), 1);
      QVERIFY(dialogs_->informations.first().startsWith(QStringLiteral("欢迎|")));
      QTRY_VERIFY(DocText(*window).startsWith(QStringLiteral("\uFFFC演示样稿\uFFFC")));
      QVERIFY(!window->Editor().IsModified());
    }
    auto again = std::make_unique<MainWindow>(data_, QString(), std::make_unique<ScriptedDialogs>());
    QVERIFY(!again->FirstRunTimer().isActive());

    const QString script = Path(QStringLiteral("my exam.txt"));
    QVERIFY(WriteFile(script, QByteArray("From the command line.")));
    QFile::remove(QString::fromStdString(data_.SetupIni().string()));
    const QString document = CommandLineDocument({QStringLiteral("\"") + temp_->path() + QStringLiteral("/my"),
                                                  QStringLiteral("exam.txt\"")});
    auto window = std::make_unique<MainWindow>(data_, document, std::make_unique<ScriptedDialogs>());
    QCOMPARE(DocText(*window), QStringLiteral("From the command line."));
    QVERIFY(!window->FirstRunTimer().isActive());
    QVERIFY(Store().Snapshot().Find(kSettingsSection, setting_keys::kFirstRun) == std::nullopt);
  }

  // The pane's close button hides the panel for this run only; the panel
  // command's choice is kept for the next start.
  void paneCloseAndPanelCommand() {
    {
      auto window = MakeWindow();
      QVERIFY(window->IsPanelShown() && window->ToolButton(cmd::kSettingsPanel)->isChecked());
      window->ExecuteCommand(cmd::kPaneClose);
      QVERIFY(!window->IsPanelShown() && !Checked(*window, cmd::kSettingsPanel));
      QVERIFY(!Store().Snapshot().Find(kSettingsSection, setting_keys::kPanelShown));
      window->ExecuteCommand(cmd::kSettingsPanel);
      QVERIFY(window->IsPanelShown());
      window->ExecuteCommand(cmd::kSettingsPanel);
      QVERIFY(!window->ToolButton(cmd::kSettingsPanel)->isChecked());
    }
    QVERIFY(!MakeWindow()->IsPanelShown());
  }

  // The pause button inserts the last pause chosen, by the editor or by the
  // button (a code that is no pause is ignored).
  void pauseButtonInsertsTheLastPause() {
    auto window = MakeWindow();
    window->ExecuteCommand(cmd::kPause05);
    window->SetPauseButton(40);
    window->ExecuteCommand(cmd::kLastPause);
    window->SetPauseButton(39);
    window->ExecuteCommand(cmd::kLastPause);
    ScriptDocument& doc = window->Editor().Document();
    QCOMPARE(doc.Length(), 3);
    for (int i = 0; i < 3; ++i) QCOMPARE(*doc.MarkAt(i), (MarkRecord{kMarkPause, i == 2 ? 39 : 5}));
  }

  // A pair of marks around a selection made with Shift+arrows, by a click on
  // its toolbar button, against every kind of span boundary: the pair comes out
  // properly nested (widened over no-read text), or it is refused with a
  // message that says why.
  void pairsOfMarksStayNested() {
    struct Row {
      const char* name;
      int command;
      int start;
      int end;
      QString expected;  // the tagged text after it, or the refusal's message
      QString script;    // empty: the script below
    };
    // 0 <禁读> 1 a 2 b 3 <结束> 4 c 5 d 6 CR 7 <重复1:2> 8 e 9 f 10 <禁读> 11 g 12 h 13 <结束>
    // 14 i 15 j 16 <结束1> 17 k 18 l 19 CR 20 <重复2:2> 21 m 22 n 23 <结束2> 24 o 25 p
    const QString l1 = QStringLiteral("<禁读>ab<结束>cd\r"), l2 = QStringLiteral("<重复1:2>ef<禁读>gh<结束>ij<结束1>kl\r");
    const QString l3 = QStringLiteral("<重复2:2>mn<结束2>op");
    const int same = cmd::kRepeatSame, alt = cmd::kRepeatAlternate, noRead = cmd::kNoRead;
    const QString overlap = editor_text::kRepeatOverlapsRepeat, cross = editor_text::kNoReadCrossesRepeat;
    const Row rows[] = {
        {"同声 from a no-read span on", same, 2, 6, QStringLiteral("<重复1:2><禁读>ab<结束>cd<结束1>\r") + l2 + l3, {}},
        {"男女 from a no-read span on", alt, 2, 6, QStringLiteral("<重复2:2><禁读>ab<结束>cd<结束2>\r") + l2 + l3, {}},
        {"禁读 from a no-read span on", noRead, 2, 6, QStringLiteral("<禁读>abcd<结束>\r") + l2 + l3, {}},
        {"同声 in a no-read span", same, 1, 2, editor_text::kRepeatInsideNoRead, {}},
        {"禁读 in a no-read span", noRead, 1, 2, editor_text::kNoReadInsideNoRead, {}},
        {"同声 around a no-read span", same, 0, 4, QStringLiteral("<重复1:2><禁读>ab<结束><结束1>cd\r") + l2 + l3, {}},
        {"禁读 around a no-read span", noRead, 0, 4, l1 + l2 + l3, {}},
        {"同声 from a repeat on", same, 14, 18, overlap, {}},
        {"男女 into a repeat", alt, 4, 9, overlap, {}},
        {"禁读 from a repeat on", noRead, 14, 18, cross, {}},
        {"禁读 in a repeat", noRead, 8, 10,
         l1 + QStringLiteral("<重复1:2><禁读>ef<结束><禁读>gh<结束>ij<结束1>kl\r") + l3, {}},
        {"禁读 around a repeat and its no-read span", noRead, 7, 17,
         l1 + QStringLiteral("<禁读><重复1:2>efghij<结束1><结束>kl\r") + l3, {}},
        {"禁读 from a no-read span in a repeat out of both", noRead, 12, 18, cross, {}},
        {"禁读 from a no-read span to the rest of its repeat", noRead, 11, 15,
         l1 + QStringLiteral("<重复1:2>ef<禁读>ghi<结束>j<结束1>kl\r") + l3, {}},
        {"同声 on plain text", same, 24, 26, l1 + l2 + QStringLiteral("<重复2:2>mn<结束2><重复1:2>op<结束1>"), {}},
        {"禁读 on plain text", noRead, 24, 26, l1 + l2 + QStringLiteral("<重复2:2>mn<结束2><禁读>op<结束>"), {}},
        {"同声 after a repeat without its end", same, 4, 6, editor_text::kRepeatAfterOpenRepeat,
         QStringLiteral("<重复1:2>ab cd")},
        {"禁读 after a no-read begin without its end", noRead, 4, 6, editor_text::kNoReadAfterOpenNoRead,
         QStringLiteral("<禁读>ab cd")},
        {"同声 over a repeat end without its begin", same, 0, 5, QStringLiteral("<重复1:2>abcd<结束1>"),
         QStringLiteral("ab<结束1>cd")},
    };
    auto window = MakeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    ScriptDocument& doc = window->Editor().Document();
    QWidget* editor = window->Editor().Widget();
    for (const Row& row : rows) {
      const QString script = row.script.isEmpty() ? l1 + l2 + l3 : row.script;
      window->Editor().SetModified(false);
      LoadInto(*window, script.toStdU16String());
      editor->setFocus();
      doc.SetSelection(row.start, row.start);
      for (int i = row.start; i < row.end; ++i) QTest::keyClick(editor, Qt::Key_Right, Qt::ShiftModifier);
      QVERIFY2(doc.Selection() == std::make_pair(row.start, row.end), row.name);

      const bool refused = !row.expected.startsWith(u'<');
      QString message;
      if (refused) {
        AnswerMessageBox(QMessageBox::Ok, nullptr, &message);
      } else if (row.command != noRead) {
        OnNextModal<RepeatCountDialog>([](RepeatCountDialog* d) { QTest::keyClick(d, Qt::Key_Return); });
      }
      QTest::mouseClick(window->ToolButton(row.command), Qt::LeftButton, {}, QPoint(8, 8));
      if (refused) QTRY_VERIFY2(!message.isEmpty(), row.name);
      QCOMPARE(message, refused ? row.expected : QString());
      const QString after = Q(TaggedTextWriter(doc, window->Media().lists(), 0, -1));
      QVERIFY2(after == (refused ? script : row.expected), qPrintable(QString::fromUtf8(row.name) + u' ' + after));
      QVERIFY2(window->Editor().IsModified() != refused, row.name);
    }
    window->Editor().SetModified(false);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
