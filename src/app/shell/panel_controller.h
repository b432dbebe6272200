// The settings panel in the main window's left pane, and the commands posted
// to it: the MP3 output runs here, on a worker thread, behind a progress
// dialog; preview runs in the preview engine.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/output/output_job.h"
#include "core/output/piece_cache.h"
#include "core/reading/reading_engine.h"
#include "app/shell/settings_panel_port.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace aurisona {
class SettingsPanel;
class SpeechEngine;
}  // namespace aurisona

namespace aurisona::shell {

class MainWindow;
class PreviewEngine;
class ReadingsDictionaryDialog;
class SpokenTextDialog;

// The modeless progress dialog of the output: its text, the abort button and
// the progress bar. Enter and Esc are ignored, so the abort button stays.
class OutputProgressDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit OutputProgressDialog(QWidget* parent);
  QProgressBar* Bar() const { return bar_; }
  // What the dialog says: the output's text, or that the length is being measured.
  void ShowMeasuring(bool measuring);
  QString Text() const;
  QPushButton* AbortButton() const { return abort_; }

 signals:
  void AbortRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* text_;
  QProgressBar* bar_;
  QPushButton* abort_;
};

// "节目总长度：m:ss", as the status bar and the completion message show it.
QString ProgrammeLengthText(double seconds);
// "片段缓存占用 1.5 MB（12 个片段）。"
QString PieceCacheText(uint64_t bytes, uint64_t entries);

class PanelController final : public QObject, public SettingsPanelPort {
  Q_OBJECT

 public:
  explicit PanelController(MainWindow& window);
  ~PanelController() override;

  QWidget* Widget() override;
  void HandleCommand(int panelCommand) override;
  void SaveSettings() override;
  int MusicFadeSeconds() const override;
  bool PrepareProgramme(ProgrammeRequest* request) override;

  SettingsPanel& Panel() { return *panel_; }
  bool IsOutputRunning() const { return worker_.joinable(); }
  OutputProgressDialog* ProgressDialog() const { return progress_; }
  PreviewEngine& Preview() { return *preview_; }
  ReadingSpeechEngine& Speech() { return *speech_; }
  // The dialogs of the reading commands while they are open.
  ReadingsDictionaryDialog* DictionaryDialog() const;
  SpokenTextDialog* SpokenDialog() const;
  // The MP3 path to write; by default the save dialog. Tests replace it.
  std::function<QString()> askOutputPath;
  // Called on the user-interface thread when an output job has ended.
  std::function<void(const OutputResult&)> outputFinished;
  // Called on the user-interface thread when the programme's length is known.
  std::function<void(const OutputResult&, double seconds)> lengthMeasured;

 private:
  void StartOutput();
  void FinishOutput(const OutputResult& result, double seconds, const QString& subtitleError);
  // Runs the job without encoding to find the programme's length.
  void StartMeasure();
  void FinishMeasure(const OutputResult& result, double seconds);
  // Compiles the editor's script into a job and shows the progress dialog;
  // the callbacks follow the job in the editor and the bar.
  OutputJob PrepareJob(OutputCallbacks* callbacks);
  // Lists the clips and recordings the script names that are not there; true
  // when there are any (then nothing is output).
  bool ShowMissingMedia(const std::vector<Segment>& segments);
  void RestoreEditor();
  QString AskOutputPathWithDialog();
  void ShowDictionaryDialog();
  void ShowSpokenDialog();
  // 设置 › 片段缓存: its size and place, and a question whether to empty it.
  void ShowPieceCacheDialog();
  // The status bar says once why the last job's piece cache was turned off.
  void ShowCacheWarning();
  static constexpr int kCacheWarningMs = 15000;

  MainWindow& window_;
  std::unique_ptr<ReadingSpeechEngine> speech_;  // the panel and the preview: in this process, streamed
  // Render and the length measure: sentences spoken side by side in worker processes.
  std::unique_ptr<ReadingSpeechEngine> outputSpeech_;
  std::unique_ptr<SettingsPanel> panel_;
  PreviewEngine* preview_ = nullptr;  // a child of the panel
  OutputProgressDialog* progress_ = nullptr;
  QPointer<ReadingsDictionaryDialog> dictionaryDialog_;
  QPointer<SpokenTextDialog> spokenDialog_;
  std::atomic<bool> abort_{false};
  std::thread worker_;
  std::shared_ptr<PieceCache> cache_;  // the last job's
  int savedStart_ = 0;
  int savedEnd_ = 0;
  int savedScroll_ = 0;
  int progressScale_ = 1;
  QString outputPath_;  // the MP3 being written, absolute
};

}  // namespace aurisona::shell
