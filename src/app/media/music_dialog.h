// The music dialog: the clips of the Music folder with their play times; it
// plays a clip for checking, sets its play time, deletes it, and returns the
// chosen clip's index into the music list.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "app/media/clip_player.h"

class QPushButton;
class QTableWidget;

namespace aurisona {
class MediaLibrary;
}

namespace aurisona::media {

class MusicDialog final : public QDialog {
  Q_OBJECT

 public:
  // Starts at `initial` when it lies inside the music list, else at 0.
  // Clips play with their own play time and `fadeSeconds`.
  MusicDialog(MediaLibrary& media, int initial, int fadeSeconds, QWidget* parent);
  ~MusicDialog() override;

  // The chosen index (read after insert).
  int selection() const { return selection_; }

  // Called after music entry `index` has been removed from the lists.
  std::function<void(int index)> entryRemoved;
  // The play-time question (default: PlayTimeDialog).
  std::function<std::optional<int>(int playTime)> askPlayTime;

  QTableWidget* List() const { return list_; }
  QPushButton* Button(int id) const;
  bool IsPlaying() const { return player_.IsRunning(); }

  // The actions of the buttons and the list, as the user triggers them.
  void PlayClicked();
  void DeleteClicked();
  void EditPlayTime(int row);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SelectionChanged();
  int FirstSelectedRow() const;
  bool PlaySelection();
  void PlaybackEnded(bool played);

  MediaLibrary& media_;
  int fade_;
  int selection_ = 0;
  QTableWidget* list_;
  QPushButton* insert_;
  QPushButton* cancel_;
  QPushButton* delete_;
  QPushButton* play_;
  ClipPlayer player_;
};

}  // namespace aurisona::media
