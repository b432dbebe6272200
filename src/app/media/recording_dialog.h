// The recording dialog: the recordings of the Record folder; it records a new
// one or an existing one again, plays one, deletes one, shows the input level
// all the time it is open, and returns the chosen recording's index.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "audio-io/recording_file.h"
#include "audio-io/wave_recorder.h"
#include "app/media/clip_player.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace aurisona {
class MediaLibrary;
}

namespace aurisona::media {

class LevelMeter;

// Asks the name of a new recording. Empty names, names with "<" or ">", and
// names that would leave the Record folder are refused with a message.
class RecordingNameDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit RecordingNameDialog(QWidget* parent);
  QString name() const { return name_; }
  QLineEdit* Edit() const { return edit_; }
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* edit_;
  QString name_;
};

// Why a typed recording name is refused; nullptr when it is good.
const char16_t* RecordingNameProblem(const QString& name);

class RecordingDialog final : public QDialog {
  Q_OBJECT

 public:
  // Starts at `initial` when it lies inside the recording list, else at 0.
  // Capture from the default input starts now and runs until the dialog ends.
  RecordingDialog(MediaLibrary& media, int initial, QWidget* parent);
  ~RecordingDialog() override;

  int selection() const { return selection_; }
  bool IsCapturing() const { return recorder_.IsBegun(); }
  bool IsRecording() const { return file_.IsRecording(); }
  bool IsPlaying() const { return player_.IsRunning(); }
  uint64_t BuffersSeen() const { return buffersSeen_; }

  // Called after recording entry `index` has been removed from the list.
  std::function<void(int index)> entryRemoved;
  // The name question (default: RecordingNameDialog); nothing on cancel.
  std::function<std::optional<QString>()> askName;

  QListWidget* List() const { return list_; }
  QPushButton* Button(int id) const;
  LevelMeter* Meter() const { return meter_; }

  // The actions of the buttons and the list, as the user triggers them.
  void RecordClicked();
  void PlayClicked();
  void DeleteClicked();
  void RecordAgain();

  // Insert and cancel: a recording in progress is finished and capture ends.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BufferArrived(const std::vector<int16_t>& samples);
  bool StartRecordingFile(const std::u16string& name, bool isNew);
  void FinishRecordingFile();
  void SetRecordingControls(bool recording);
  void SetPlayingControls(bool playing);
  void SelectionChanged();
  bool PlaySelection();
  void PlaybackEnded(bool played);
  void EndCapture();

  MediaLibrary& media_;
  int selection_ = 0;
  QListWidget* list_;
  QPushButton* insert_;
  QPushButton* cancel_;
  QPushButton* record_;
  QPushButton* play_;
  QPushButton* delete_;
  LevelMeter* meter_;
  ClipPlayer player_;
  WaveRecorder recorder_;
  RecordingFile file_;
  uint64_t buffersSeen_ = 0;
};

}  // namespace aurisona::media
