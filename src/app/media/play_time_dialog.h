// The play-time dialog of a music clip: a check box that switches a number box
// on; unticked (or 0) plays the whole clip.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace aurisona::media {

class PlayTimeDialog final : public QDialog {
  Q_OBJECT

 public:
  // `playTime` below 1: the box is unticked and the edit disabled showing 0.
  PlayTimeDialog(QWidget* parent, int playTime);

  // The result after OK: the edit's number when ticked (text that is not a
  // number gives 0), else 0.
  int playTime() const { return playTime_; }
  QCheckBox* CheckBox() const { return check_; }
  QLineEdit* Edit() const { return edit_; }

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QCheckBox* check_;
  QLineEdit* edit_;
  int playTime_ = 0;
};

// The play time as the music list shows it: "15秒", or "全部" below 1.
QString PlayTimeText(int seconds);

}  // namespace aurisona::media
