// What the application's suites share: text and file helpers, a scratch home
// and data directory, WAV clips, dialogs answered from queues, modal widgets
// and pop-ups handled as they show up, and the set-ups of the script editor
// and of the main window.
#pragma once

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/editor/script_editor.h"
#include "core/media/data_directory.h"
#include "core/output/output_job.h"
#include "app/panel/settings_panel.h"
#include "core/script/tagged_text.h"
#include "core/settings/ini_store.h"
#include "core/settings/settings_keys.h"
#include "app/shell/commands.h"
#include "app/shell/dialogs.h"
#include "app/shell/main_window.h"
#include "app/shell/panel_controller.h"
#include "app/shell/startup.h"
#include "support/wav.h"

namespace aurisona::app_test {

using shell::DialogProvider;
using shell::MainWindow;
using shell::PanelController;
using shell::SaveAnswer;

inline QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::filesystem::path P(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A 16-bit PCM WAV file of interleaved samples.
inline QByteArray WavBytes(const std::vector<int16_t>& samples, int rate = 22050, int channels = 1) {
  return QByteArray::fromStdString(testing::WavBytes(samples, rate, channels));
}

// A sine tone, the same in every channel.
inline std::vector<int16_t> Tone(double hz, double seconds, double amplitude, int rate = 22050, int channels = 1) {
  return testing::Sine(size_t(rate * seconds), channels, hz, rate, amplitude);
}

// A data directory with empty Music, Record and Sound folders.
struct DataDir {
  QTemporaryDir temp;
  DataDirectory dir;
  DataDir() : dir(P(temp.path())) { dir.EnsureMediaFolders(); }
  QString Music(const QString& name) const { return temp.path() + QStringLiteral("/Music/") + name; }
  QString Record(const QString& name) const { return temp.path() + QStringLiteral("/Record/") + name; }
  QString Ini() const { return temp.path() + QStringLiteral("/setup.ini"); }
};

// Runs `handle` once on the first widget that `find` gives and `accept` takes.
template <typename T>
void OnNext(std::function<T*()> find, std::function<void(T*)> handle, std::function<bool(T*)> accept = {}) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, find, handle, accept] {
    T* widget = find();
    if (widget && widget->isVisible() && (!accept || accept(widget))) {
      timer->stop();
      timer->deleteLater();
      handle(widget);
    }
  });
  timer->start();
}

// The next modal widget of type T (that `accept` takes, when given).
template <typename T>
void OnNextModal(std::function<void(T*)> handle, std::function<bool(T*)> accept = {}) {
  OnNext<T>([] { return qobject_cast<T*>(QApplication::activeModalWidget()); }, std::move(handle), std::move(accept));
}

// The next pop-up menu.
inline void OnNextPopup(std::function<void(QMenu*)> handle) {
  OnNext<QMenu>([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }, std::move(handle));
}

// Answers the next message box with `button` and keeps its title and text;
// with `only`, just the box of that text.
inline void AnswerMessageBox(QMessageBox::StandardButton button, QString* title = nullptr, QString* text = nullptr,
                             const QString& only = {}) {
  OnNextModal<QMessageBox>(
      [=](QMessageBox* box) {
        if (title) *title = box->windowTitle();
        if (text) *text = box->text();
        box->button(button)->click();
      },
      [only](QMessageBox* box) { return only.isEmpty() || box->text() == only; });
}

// Dialogs answered by a test: answers come from queues, every message box is
// recorded.
class ScriptedDialogs final : public DialogProvider {
 public:
  std::deque<SaveAnswer> saveAnswers;  // an empty queue answers Cancel
  std::deque<QString> openPaths;
  std::deque<QString> savePaths;
  std::deque<bool> yesNoAnswers;  // an empty queue answers No
  QStringList errors;
  QStringList informations;  // "title|text"
  QStringList questions;     // "title|text"
  QStringList openFolders;   // where each open dialog started
  QStringList saveProposals;  // what each save dialog proposed
  int saveQuestions = 0;

  SaveAnswer AskSaveChanges(QWidget*) override {
    ++saveQuestions;
    return Pop(saveAnswers, SaveAnswer::kCancel);
  }
  QString AskOpenPath(QWidget*, const QString& folder) override {
    openFolders << folder;
    return Pop(openPaths, QString());
  }
  QString AskSavePath(QWidget*, const QString& proposed) override {
    saveProposals << proposed;
    return Pop(savePaths, QString());
  }
  bool AskYesNo(QWidget*, const QString& title, const QString& text) override {
    questions << title + u'|' + text;
    return Pop(yesNoAnswers, false);
  }
  void ShowError(QWidget*, const QString& text) override { errors << text; }
  void ShowInformation(QWidget*, const QString& title, const QString& text) override {
    informations << title + u'|' + text;
  }
  void ShowAbout(QWidget*) override {}

 private:
  template <typename T>
  static T Pop(std::deque<T>& queue, T none) {
    if (queue.empty()) return none;
    T value = queue.front();
    queue.pop_front();
    return value;
  }
};

// Centre of the mark's picture at `position`, in viewport coordinates.
inline QPoint MarkCentre(ScriptEditor& editor, int position) {
  QTextCursor cursor(editor.document());
  cursor.setPosition(position);
  const QRect before = editor.cursorRect(cursor);
  cursor.setPosition(position + 1);
  const QRect after = editor.cursorRect(cursor);
  return QPoint((before.left() + after.left()) / 2, before.center().y());
}

// A suite on the script editor alone: a shown, focused editor over media
// lists of two clips (the second with a play time) and one recording.
class EditorSuite : public QObject {
 protected:
  MediaLists media_;
  std::unique_ptr<ScriptEditor> editor_;

  ScriptEditor& Fresh(std::u16string_view tagged = u"") {
    media_ = MediaLists{};
    media_.music = {u"A.MP3", u"b.mp3"};
    media_.playTimes = {0, 5};
    media_.recordings = {u"me.wav"};
    editor_ = std::make_unique<ScriptEditor>();
    editor_->SetMediaLists(&media_);
    editor_->resize(600, 300);
    editor_->show();
    editor_->activateWindow();
    editor_->setFocus();
    editor_->LoadTaggedText(tagged);
    return *editor_;
  }
};

// Replaces a window's whole script with a tagged one.
inline void LoadInto(MainWindow& window, std::u16string_view tagged) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(0, -1);
  TaggedTextReader(doc, window.Media().lists(), tagged, true, false);
  QCoreApplication::processEvents();
}

// A suite on the main window over a scratch home: StartHome() in init(),
// then MakeWindow() for bare windows or StartWindow() for the shown window
// with its settings panel; StopWindow() in cleanup().
class WindowSuite : public QObject {
 protected:
  std::unique_ptr<QTemporaryDir> temp_;
  DataDirectory data_;
  ScriptedDialogs* dialogs_ = nullptr;
  std::unique_ptr<MainWindow> window_;
  PanelController* panel_ = nullptr;

  // Points HOME, XDG_DATA_HOME and XDG_CACHE_HOME into a temporary folder, so
  // nothing of the user's setup is touched, and prepares a data directory there.
  void StartHome() {
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    qputenv("HOME", QFile::encodeName(temp_->path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("share"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(Path(QStringLiteral("cache"))));
    data_ = shell::PrepareDataDirectory(DataDirectory(QFile::encodeName(Path(QStringLiteral("data"))).toStdString()));
  }
  void StopWindow() {
    window_.reset();
    temp_.reset();
  }

  QString Path(const QString& name) const { return temp_->filePath(name); }
  IniStore Store() const { return IniStore(data_.SetupIni()); }

  // A window on the data directory with scripted dialogs; the first run is
  // already over unless `firstRun` is set.
  std::unique_ptr<MainWindow> MakeWindow(const QString& document = {}, bool firstRun = false) {
    if (!firstRun && !Store().SetInt(kSettingsSection, setting_keys::kFirstRun, 0)) qFatal("cannot write setup.ini");
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs_ = dialogs.get();
    return std::make_unique<MainWindow>(data_, document, std::move(dialogs));
  }

  void StartWindow(bool show = true) {
    window_ = MakeWindow();
    auto panel = std::make_unique<PanelController>(*window_);
    panel_ = panel.get();
    window_->InstallSettingsPanel(std::move(panel));
    if (show) window_->show();
  }

  template <typename T>
  T* Control(int id) const {
    return qobject_cast<T*>(panel_->Panel().Control(id));
  }

  void Load(std::u16string_view tagged) { LoadInto(*window_, tagged); }

  // Runs the window's output command into `target` and waits for the job to end.
  OutputResult Output(const QString& target) {
    panel_->askOutputPath = [target] { return target; };
    OutputResult result;
    bool done = false;
    panel_->outputFinished = [&](const OutputResult& r) {
      result = r;
      done = true;
    };
    window_->ExecuteCommand(shell::cmd::kOutputMp3);
    if (!QTest::qWaitFor([&] { return done; }, 120000)) qFatal("the output job did not end");
    return result;
  }
};

}  // namespace aurisona::app_test
