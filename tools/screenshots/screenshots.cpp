// aurisona-screenshots: pictures of the main window in every skin and of
// every dialog and menu, for checking the look by eye.
//
//   aurisona-screenshots DIR        saves PNG files into DIR (created when missing)
//
// Runs on the data directory the program would use; scripts/screenshots.sh
// gives it a throw-away one under a virtual X server.
#include <QApplication>
#include <QProgressBar>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QVBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <cstdio>
#include <functional>

#include "app/editor/editor_dialogs.h"
#include "app/editor/script_editor.h"
#include "core/files/document_files.h"
#include "app/media/play_time_dialog.h"
#include "app/media/recording_dialog.h"
#include "core/output/output_job.h"
#include "app/media/music_dialog.h"
#include "app/panel/settings_panel.h"
#include "core/speech/voice.h"
#include "app/shell/commands.h"
#include "app/shell/dialogs.h"
#include "app/shell/main_window.h"
#include "app/shell/panel_controller.h"
#include "app/shell/pause_countdown_dialog.h"
#include "app/shell/preview_engine.h"
#include "app/shell/programme_view.h"
#include "app/shell/template_dialog.h"
#include "app/shell/reading_dialogs.h"
#include "core/script/tagged_text.h"
#include "app/shell/shell_texts.h"
#include "app/shell/resources.h"
#include "app/shell/skins.h"
#include "app/shell/startup.h"

namespace aurisona::shell {
namespace {

void Settle(int ms = 250) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

class Shooter {
 public:
  explicit Shooter(QString dir) : dir_(std::move(dir)) {}

  void Save(QWidget* widget, const QString& name) {
    Settle();
    const QString path = dir_ + u'/' + name + QStringLiteral(".png");
    if (widget->grab().save(path)) {
      std::printf("%s\n", QFile::encodeName(path).constData());
    } else {
      std::fprintf(stderr, "aurisona: could not save %s\n", QFile::encodeName(path).constData());
      failed_ = true;
    }
  }

  // Shows a dialog without running its loop, pictures it, and deletes it.
  void SaveDialog(QDialog* dialog, const QString& name) {
    dialog->show();
    Save(dialog, name);
    dialog->hide();
    delete dialog;
  }

  // The window with a top-level window of its own drawn where it stands over it.
  void SaveWithOverlay(QWidget* window, QWidget* overlay, const QString& name) {
    Settle();
    QPixmap picture = window->grab();
    if (overlay != nullptr && overlay->isVisible()) {
      QPainter painter(&picture);
      painter.drawPixmap(overlay->geometry().topLeft() - window->geometry().topLeft(), overlay->grab());
    }
    const QString path = dir_ + u'/' + name + QStringLiteral(".png");
    if (picture.save(path)) {
      std::printf("%s\n", QFile::encodeName(path).constData());
    } else {
      std::fprintf(stderr, "aurisona: could not save %s\n", QFile::encodeName(path).constData());
      failed_ = true;
    }
  }

  void SaveMenu(QMenu* menu, const QPoint& at, const QString& name) {
    menu->popup(at);
    Save(menu, name);
    menu->hide();
  }

  bool failed() const { return failed_; }

 private:
  QString dir_;
  bool failed_ = false;
};

// The program's questions and messages as the tool meets them: answered No,
// messages written to standard error. A modal box would wait for a click that
// never comes (a preview without a sound device says so in one).
class QuietDialogs final : public DialogProvider {
 public:
  SaveAnswer AskSaveChanges(QWidget*) override { return SaveAnswer::kNo; }
  QString AskOpenPath(QWidget*, const QString&) override { return {}; }
  QString AskSavePath(QWidget*, const QString&) override { return {}; }
  bool AskYesNo(QWidget*, const QString&, const QString&) override { return false; }
  void ShowError(QWidget*, const QString& text) override { Tell(text); }
  void ShowInformation(QWidget*, const QString&, const QString& text) override { Tell(text); }
  void ShowAbout(QWidget*) override {}

 private:
  static void Tell(const QString& text) { std::fprintf(stderr, "aurisona-screenshots: %s\n", text.toUtf8().constData()); }
};

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// Waits for `done` while the event loop runs, at most `ms`.
bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// A preview in progress: a spoken word selected (when a sound device speaks),
// then the countdown of the pause that follows.
void SavePreviewPictures(Shooter& shooter, MainWindow& window, PanelController& controller) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(0, -1);
  TaggedTextReader(doc, window.Media().lists(),
                   u"<提示音><男>Good morning everyone. Listen to the dialogue carefully.<暂停5秒><女>Thank you.", true,
                   false);
  doc.SetSelection(0, 0);
  PreviewEngine& preview = controller.Preview();
  int words = 0;
  preview.wordSelected = [&words](int, int) { ++words; };
  controller.HandleCommand(panel_cmd::kPreviewAll);
  WaitFor([&] { return words >= 3 || preview.IsPausing() || !preview.InProgress(); }, 8000);
  shooter.Save(&window, QStringLiteral("main-preview-word"));
  WaitFor([&] { return preview.IsPausing() || !preview.InProgress(); }, 15000);
  if (preview.IsPausing()) {
    shooter.SaveWithOverlay(&window, preview.Countdown(), QStringLiteral("main-preview-pause"));
    shooter.Save(preview.Countdown(), QStringLiteral("dialog-pause-countdown"));
  }
  if (preview.InProgress()) controller.HandleCommand(panel_cmd::kPreviewAll);
  preview.wordSelected = nullptr;
}

// Voices with longer names than the installed ones, as other engines give
// them: the panel's lists must show the chosen one whole.
std::vector<Voice> LongNamedVoices() {
  return {
      {u"普通话男声(eSpeak)", u"eSpeak NG Mandarin Male", "cmn", VoiceGender::kMale, 22050, u"eSpeak NG"},
      {u"普通话女声(eSpeak)", u"eSpeak NG Mandarin Female", "cmn", VoiceGender::kFemale, 22050, u"eSpeak NG"},
      {u"美音男声(Flite)", u"Flite US English Male", "en-US", VoiceGender::kMale, 16000, u"Flite"},
      {u"美音女声(Flite)", u"Flite US English Female", "en-US", VoiceGender::kFemale, 16000, u"Flite"},
  };
}

// The settings panel in the pane's width with long voice names, as a preview
// shows it (buttons disabled but the stop button) and with the automatic
// gains off and on.
void SavePanelPictures(Shooter& shooter, QWidget* pane, int skin) {
  const QString suffix = QStringLiteral("-skin%1").arg(skin);
  // In a frame like the window's pane, which carries the skin's background.
  QFrame frame;
  frame.setObjectName(pane->parentWidget() != nullptr ? pane->parentWidget()->objectName() : QString());
  auto* layout = new QVBoxLayout(&frame);
  layout->setContentsMargins(1, 1, 1, 1);
  auto* panel = new SettingsPanel(LongNamedVoices(), std::filesystem::path("/nonexistent/setup.ini"), &frame);
  layout->addWidget(panel);
  frame.resize(frame.sizeHint().expandedTo(QSize(pane->width(), pane->height())));
  frame.show();
  panel->SetButtonEnabled(panel::kPreviewFromCaretId, false);
  panel->SetButtonEnabled(panel::kOutputId, false);
  shooter.Save(&frame, QStringLiteral("panel-long-names-previewing") + suffix);
  frame.hide();
}

// The readings dictionary (with a line it could not read) and the spoken form of the script.
void SaveReadingPictures(Shooter& shooter, MainWindow& window, PanelController& controller, int skin) {
  const QString suffix = QStringLiteral("-skin%1").arg(skin);
  const QString readings = QString::fromStdString(window.Media().directory().Readings().string());
  const bool made = !QFile::exists(readings);
  if (made) {
    QFile file(readings);
    if (file.open(QIODevice::WriteOnly)) file.write("Dr = Doctor\nPE = P E\n\xE9\x87\x8D\xE5\xBA\x86 = \xE5\xB4\x87\xE5\xBA\x86\nbroken line\n");
  }
  window.ExecuteCommand(cmd::kReadingsDictionary);
  if (WaitFor([&] { return controller.DictionaryDialog() != nullptr; }, 2000)) {
    shooter.Save(controller.DictionaryDialog(), QStringLiteral("dialog-readings") + suffix);
    controller.DictionaryDialog()->reject();
  }
  if (made) QFile::remove(readings);
  window.Editor().Document().SetSelection(0, 0);
  window.ExecuteCommand(cmd::kShowSpoken);
  if (WaitFor([&] { return controller.SpokenDialog() != nullptr; }, 2000)) {
    shooter.Save(controller.SpokenDialog(), QStringLiteral("dialog-spoken") + suffix);
    controller.SpokenDialog()->close();
  }
  Settle();
}

// The questions and messages of documents, marks, the length and the
// output, with their longest texts, and 文件 › 最近打开 with documents in it.
void SaveMessagePictures(Shooter& shooter, MainWindow& window, int skin) {
  const QString suffix = QStringLiteral("-skin%1").arg(skin);
  const QString folder = QDir::homePath() + QStringLiteral("/听力/2024期末");
  shooter.SaveDialog(
      CreateQuestionBox(&window, QString::fromUtf16(text::kRecoverTitle),
                        QString::fromUtf16(text::kRecoverQuestion) + u'\n' + QString::fromUtf16(text::kRecoverReadable) +
                            QString::fromUtf16(text::kRecoverTextCut).arg(1234) + u'、' +
                            QString::fromUtf16(text::kRecoverMedia).arg(3) + u'\n' +
                            QString::fromUtf16(text::kRecoverLost) + QString::fromUtf16(text::kRecoverLostTextEnd) +
                            QStringLiteral("、theme.mp3、") + QString::fromUtf16(text::kRecoverLostBytes).arg(52311) +
                            u'\n' + QString::fromUtf16(text::kRecoverSaveHint)),
      QStringLiteral("dialog-recover") + suffix);
  shooter.SaveDialog(CreateMessageBox(QMessageBox::Critical, Q(kErrorTitle),
                                      QStringLiteral("重复不能嵌套或交叉：选中的内容与已有的重复范围重叠，请重新选择！\n"
                                                     "要修改重复次数，请双击重复开始标记。"),
                                      &window),
                     QStringLiteral("dialog-wrap-refused") + suffix);
  shooter.SaveDialog(CreateMessageBox(QMessageBox::Critical, Q(kErrorTitle),
                                      Q(kCreateFailedMessage) + u'\n' + folder +
                                          QStringLiteral("/第一单元.lsn：Permission denied"),
                                      &window),
                     QStringLiteral("dialog-create-failed-reason") + suffix);
  shooter.SaveDialog(CreateMessageBox(QMessageBox::Information, QString::fromUtf16(text::kMeasureTitle),
                                      ProgrammeLengthText(1234.5), &window),
                     QStringLiteral("dialog-length") + suffix);
  shooter.SaveDialog(CreateMessageBox(QMessageBox::Information, Q(kOutputDoneTitle),
                                      Q(kOutputDoneMessage) + u'\n' + folder + QStringLiteral("/第一单元.mp3\n") +
                                          ProgrammeLengthText(1234.5),
                                      &window),
                     QStringLiteral("dialog-output-done") + suffix);
  auto* measuring = new OutputProgressDialog(&window);
  measuring->ShowMeasuring(true);
  measuring->Bar()->setRange(0, 100);
  measuring->Bar()->setValue(40);
  shooter.SaveDialog(measuring, QStringLiteral("dialog-measure-progress") + suffix);
  if (window.RecentMenu() != nullptr) {
    shooter.SaveMenu(window.RecentMenu(), window.mapToGlobal(QPoint(200, 60)), QStringLiteral("menu-recent") + suffix);
  }
  window.ShowProgrammeLength(ProgrammeLengthText(1234.5));
  window.Editor().Document().SetSelection(0, 0);
  window.Editor().Document().ReplaceSelection(u" ", true);
  shooter.Save(&window, QStringLiteral("main-length-stale") + suffix);
  window.Editor().Document().SetSelection(0, 1);
  window.Editor().Document().ReplaceSelection(u"", true);
  window.Editor().SetModified(false);
}

// A few documents in 文件 › 最近打开.
void FillRecentDocuments(MainWindow& window) {
  const QString folder = QDir::homePath() + QStringLiteral("/听力/2024期末");
  QDir().mkpath(folder);
  for (const QString& name : {QStringLiteral("第三单元 听力测试.txt"), QStringLiteral("第二单元.txt"),
                              QStringLiteral("Unit 1 listening.txt")}) {
    QFile file(folder + u'/' + name);
    if (file.open(QIODevice::WriteOnly)) file.write("<男>Hello.");
    file.close();
    window.OpenDocumentFile(file.fileName());
  }
}

// The editor with every kind of mark, its context menu, the pause and repeat
// dialogs, the play-time dialog and the recording dialog.
void SaveEditorPictures(Shooter& shooter, MainWindow& window) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(0, -1);
  TaggedTextReader(doc, window.Media().lists(),
                   u"<男>男声 <女>女声 <男1>男声1 <女1>女声1 <提示音>提示音 <录音>录音\r"
                   u"<重复1:3>同声重复<结束1> <重复2:2>男女重复<结束2> <禁读>禁读<结束>\r"
                   u"<暂停0.1秒><暂停0.5秒><暂停1秒><暂停5秒><暂停10秒><暂停30秒> 暂停\r",
                   true, false);
  window.Editor().SetModified(false);
  shooter.Save(&window, QStringLiteral("main-marks"));
  auto* editor = qobject_cast<ScriptEditor*>(window.Editor().Widget());
  if (editor != nullptr) {
    std::unique_ptr<QMenu> menu(editor->CreateContextMenu(&window));
    shooter.SaveMenu(menu.get(), editor->mapToGlobal(QPoint(40, 40)), QStringLiteral("menu-editor-context"));
  }
  shooter.SaveDialog(new PauseTimeDialog(&window, 5), QStringLiteral("dialog-pause"));
  shooter.SaveDialog(new RepeatCountDialog(&window, 3), QStringLiteral("dialog-repeat"));
  shooter.SaveDialog(new media::PlayTimeDialog(&window, 20), QStringLiteral("dialog-play-time"));
  shooter.SaveDialog(new media::RecordingDialog(window.Media(), 0, &window), QStringLiteral("dialog-recording"));
}

int TakeScreenshots(const DataDirectory& dataDirectory, const QString& outDir) {
  QDir().mkpath(outDir);
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  Shooter shooter(outDir);

  MainWindow window(dataDirectory, QString(), std::make_unique<QuietDialogs>());
  auto panel = std::make_unique<PanelController>(window);
  PanelController* controller = panel.get();
  window.InstallSettingsPanel(std::move(panel));
  window.FirstRunTimer().stop();
  window.move(0, 0);
  window.show();
  FillRecentDocuments(window);
  window.ExecuteCommand(cmd::kShowSample);
  for (int skin = 1; skin <= kSkinCount; ++skin) {
    // The programme view measured, so that every skin shows its blocks.
    window.Programme()->MeasureNow();
    QElapsedTimer measuring;
    measuring.start();
    while ((window.Programme()->IsMeasuring() || window.Programme()->IsStale()) && measuring.elapsed() < 120000) {
      Settle(100);
    }
    window.ExecuteCommand(SkinCommand(skin));
    shooter.Save(&window, QStringLiteral("main-skin%1").arg(skin));
    SavePanelPictures(shooter, controller->Widget(), skin);
    // The smallest window: the toolbar's overflow button at its end.
    const QSize size = window.size();
    window.resize(window.minimumSize());
    shooter.Save(&window, QStringLiteral("main-minimum-skin%1").arg(skin));
    window.resize(size);
    media::MusicDialog music(window.Media(), 0, 0, &window);
    music.show();
    shooter.Save(&music, QStringLiteral("dialog-music-skin%1").arg(skin));
    music.hide();
    SaveReadingPictures(shooter, window, *controller, skin);
    shooter.Save(window.Programme(), QStringLiteral("programme-skin%1").arg(skin));
    TemplateDialog templates(ListTemplates(window.Media().directory().Templates()), &window);
    templates.show();
    shooter.Save(&templates, QStringLiteral("dialog-templates-skin%1").arg(skin));
    templates.hide();
    SaveMessagePictures(shooter, window, skin);
  }

  for (int skin : {kSystemSkin, kFirstBuiltInSkin + 1}) {
    window.ExecuteCommand(SkinCommand(skin));
    const QString suffix = QStringLiteral("-skin%1").arg(skin);
    shooter.SaveDialog(CreateAboutDialog(&window), QStringLiteral("dialog-about") + suffix);
    shooter.SaveDialog(CreateSaveChangesBox(&window), QStringLiteral("dialog-save-changes") + suffix);
    shooter.SaveDialog(CreateMessageBox(QMessageBox::Information, QString::fromUtf16(text::kWelcomeTitle),
                                        QString::fromUtf16(text::kWelcome), &window),
                       QStringLiteral("dialog-welcome") + suffix);
    shooter.SaveDialog(CreateMessageBox(QMessageBox::Critical, Q(kErrorTitle), Q(kOpenFailedMessage), &window),
                       QStringLiteral("dialog-open-failed") + suffix);
    shooter.SaveDialog(CreateMessageBox(QMessageBox::Critical, Q(kErrorTitle), Q(kDamagedMessage), &window),
                       QStringLiteral("dialog-damaged") + suffix);
    shooter.SaveDialog(CreateMessageBox(QMessageBox::Critical, Q(kErrorTitle), Q(kCreateFailedMessage), &window),
                       QStringLiteral("dialog-create-failed") + suffix);
    shooter.SaveDialog(CreateOpenDialog(&window), QStringLiteral("dialog-open") + suffix);
    shooter.SaveDialog(CreateSaveDialog(&window), QStringLiteral("dialog-save-as") + suffix);

    int index = 0;
    for (QAction* top : window.menuBar()->actions()) {
      if (top->menu() == nullptr) continue;
      const QPoint at = window.mapToGlobal(window.menuBar()->actionGeometry(top).bottomLeft());
      shooter.SaveMenu(top->menu(), at, QStringLiteral("menu-%1").arg(++index) + suffix);
      // Submenus of the menu, opened beside it.
      int sub = 0;
      for (QAction* item : top->menu()->actions()) {
        if (item->menu() == nullptr) continue;
        shooter.SaveMenu(item->menu(), at + QPoint(200, 0), QStringLiteral("menu-%1-%2").arg(index).arg(++sub) + suffix);
      }
    }
    for (int id : {cmd::kPreviewButton, cmd::kMale, cmd::kFemale, cmd::kLastPause, cmd::kMusicFromList}) {
      QToolButton* button = window.ToolButton(id);
      if (button == nullptr || button->menu() == nullptr) continue;
      shooter.SaveMenu(button->menu(), button->mapToGlobal(button->rect().bottomLeft()),
                       QStringLiteral("toolbar-menu-%1").arg(id) + suffix);
    }
  }

  window.ExecuteCommand(SkinCommand(kFirstBuiltInSkin));
  auto* progress = new OutputProgressDialog(&window);
  progress->Bar()->setRange(0, 100);
  progress->Bar()->setValue(40);
  shooter.SaveDialog(progress, QStringLiteral("dialog-output-progress"));
  shooter.Save(controller->Widget(), QStringLiteral("panel"));
  SaveEditorPictures(shooter, window);
  SavePreviewPictures(shooter, window, *controller);
  window.ExecuteCommand(cmd::kShowHelp);
  shooter.Save(&window, QStringLiteral("main-help"));
  window.SetPreviewState(0);
  window.SetPauseButton(5);
  window.ExecuteCommand(cmd::kPaneClose);
  shooter.Save(&window, QStringLiteral("main-no-panel-previewing"));
  window.SetPreviewState(1);
  return shooter.failed() ? 1 : 0;
}

}  // namespace
}  // namespace aurisona::shell

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  aurisona::shell::UseChineseFormats();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("aurisona"));
  QApplication::setApplicationDisplayName(QString());
  aurisona::shell::InstallQtChineseTexts();
  const QStringList arguments = QApplication::arguments().mid(1);
  if (arguments.size() != 1) {
    std::fprintf(stderr, "usage: aurisona-screenshots DIR\n");
    return 2;
  }
  if (!aurisona::shell::EnsureResources()) {
    const QString message = aurisona::shell::ResourceProblemMessage(aurisona::shell::ProcessResources());
    std::fprintf(stderr, "aurisona-screenshots: %s\n", message.toUtf8().constData());
    return 1;
  }
  const aurisona::DataDirectory dataDirectory =
      aurisona::shell::PrepareDataDirectory(aurisona::DataDirectory::Resolve());
  return aurisona::shell::TakeScreenshots(dataDirectory, arguments.constFirst());
}
