#include "app/media/media_common.h"

#include <QAbstractButton>
#include <QDialog>
#include <QScreen>
#include <algorithm>

#include "app/media/media_texts.h"

namespace aurisona::media {

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(Q(u"确定"));
  box.exec();
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(Q(media_text::kYes));
  box.button(QMessageBox::No)->setText(Q(media_text::kNo));
  return box.exec() == QMessageBox::Yes;
}

void CentreOverParent(QDialog* dialog) {
  QWidget* parent = dialog->parentWidget();
  if (parent == nullptr) return;
  const QRect owner = parent->window()->frameGeometry();
  QRect frame = dialog->frameGeometry();
  frame.moveCenter(owner.center());
  if (QScreen* screen = parent->screen()) {
    const QRect work = screen->availableGeometry();
    frame.moveLeft(std::clamp(frame.left(), work.left(), std::max(work.left(), work.right() - frame.width())));
    frame.moveTop(std::clamp(frame.top(), work.top(), std::max(work.top(), work.bottom() - frame.height())));
  }
  dialog->move(frame.topLeft());
}

}  // namespace aurisona::media
