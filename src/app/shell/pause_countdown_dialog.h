// The countdown shown while a pause of the preview runs: a borderless dialog
// with the seconds left in large letters and a button that skips the pause.
//
// Two timers: one for the whole pause, one that ticks every second and counts
// the label down. When the pause is over, or skipped, PauseDone is emitted from
// the event loop (never from inside Start or a click handler).
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace aurisona::shell {

class PauseCountdownDialog final : public QDialog {
  Q_OBJECT

 public:
  // `anchor` is the window the dialog is centred over.
  PauseCountdownDialog(QWidget* anchor, QWidget* parent);

  // Starts counting down `milliseconds`; shows the dialog unless the anchor
  // window is minimised.
  void Start(int milliseconds);
  // Stops both timers and hides the dialog; nothing is emitted.
  void Cancel();

  // "0.3秒" for less than a second, else whole seconds: "2秒".
  static QString StartText(int milliseconds);

  int Remaining() const { return remaining_; }
  QLabel* Label() const { return label_; }
  QPushButton* SkipButton() const { return skip_; }
  bool IsCounting() const { return pauseTimer_.isActive(); }

 signals:
  void PauseDone();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnPauseOver();
  void OnSecond();
  void Skip();
  void CentreOverAnchor();

  QWidget* anchor_;
  QLabel* label_;
  QPushButton* skip_;
  QTimer pauseTimer_;   // the whole pause
  QTimer secondTimer_;  // every second
  int remaining_ = 0;
};

}  // namespace aurisona::shell
