#include "app/shell/pause_countdown_dialog.h"

#include <QFont>
#include <QGuiApplication>
#include <algorithm>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/shell/commands.h"
#include "app/shell/shell_texts.h"

namespace aurisona::shell {

PauseCountdownDialog::PauseCountdownDialog(QWidget* anchor, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), anchor_(anchor) {
  setObjectName(QString::number(ctl::kCountdownDialog));
  setModal(false);
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel(this);
  label_->setObjectName(QString::number(ctl::kCountdownLabel));
  label_->setAlignment(Qt::AlignCenter);
  QFont font(QString::fromUtf16(text::kCountdownFont));
  font.setPixelSize(36);
  font.setWeight(QFont::Bold);
  label_->setFont(font);
  label_->setMinimumSize(180, 60);
  skip_ = new QPushButton(QString::fromUtf16(text::kSkipPause), this);
  skip_->setObjectName(QString::number(ctl::kCountdownSkip));
  skip_->setAutoDefault(false);
  layout->addWidget(label_, 1);
  layout->addWidget(skip_, 0, Qt::AlignHCenter);
  // The pause must not end early; coarse timers may fire 5 % ahead.
  pauseTimer_.setTimerType(Qt::PreciseTimer);
  pauseTimer_.setSingleShot(true);
  secondTimer_.setInterval(1000);
  connect(&pauseTimer_, &QTimer::timeout, this, &PauseCountdownDialog::OnPauseOver);
  connect(&secondTimer_, &QTimer::timeout, this, &PauseCountdownDialog::OnSecond);
  connect(skip_, &QPushButton::clicked, this, &PauseCountdownDialog::Skip);
  adjustSize();
}

QString PauseCountdownDialog::StartText(int milliseconds) {
  if (milliseconds < 1000) return QStringLiteral("0.%1秒").arg(milliseconds / 100);
  return QStringLiteral("%1秒").arg(milliseconds / 1000);
}

void PauseCountdownDialog::Start(int milliseconds) {
  // The pause counts from now: showing the dialog the first time takes a
  // while, which must not lengthen it.
  pauseTimer_.start(std::max(milliseconds, 0));
  secondTimer_.start();
  remaining_ = milliseconds;
  label_->setText(StartText(milliseconds));
  CentreOverAnchor();
  if (anchor_ == nullptr || !anchor_->isMinimized()) show();
}

void PauseCountdownDialog::Cancel() {
  pauseTimer_.stop();
  secondTimer_.stop();
  hide();
}

void PauseCountdownDialog::OnPauseOver() {
  pauseTimer_.stop();
  secondTimer_.stop();
  hide();
  remaining_ = 0;
  QMetaObject::invokeMethod(this, &PauseCountdownDialog::PauseDone, Qt::QueuedConnection);
}

void PauseCountdownDialog::OnSecond() {
  remaining_ -= 1000;
  const QString shown = remaining_ >= 1000 ? QStringLiteral("%1秒").arg(remaining_ / 1000) : QString();
  if (isHidden()) show();
  label_->setText(shown);
}

void PauseCountdownDialog::Skip() {
  pauseTimer_.stop();
  secondTimer_.stop();
  QMetaObject::invokeMethod(this, &PauseCountdownDialog::PauseDone, Qt::QueuedConnection);
  hide();
}

void PauseCountdownDialog::keyPressEvent(QKeyEvent* event) {
  // Esc would hide the dialog without ending the pause.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void PauseCountdownDialog::CentreOverAnchor() {
  if (anchor_ == nullptr) return;
  const QRect over = anchor_->frameGeometry();
  QRect placed(QPoint(0, 0), size());
  placed.moveCenter(over.center());
  if (const QScreen* screen = anchor_->screen()) {
    const QRect work = screen->availableGeometry();
    placed.moveLeft(std::clamp(placed.left(), work.left(), std::max(work.left(), work.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), work.top(), std::max(work.top(), work.bottom() - placed.height())));
  }
  move(placed.topLeft());
}

}  // namespace aurisona::shell
