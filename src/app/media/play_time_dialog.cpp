#include "app/media/play_time_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/media/media_common.h"
#include "app/media/media_texts.h"
#include "core/util/text.h"

namespace aurisona::media {
namespace {

constexpr int kEditMax = 99;

}  // namespace

QString PlayTimeText(int seconds) {
  return seconds >= 1 ? Q(media_text::kSecondsFormat).arg(seconds) : Q(media_text::kWhole);
}

PlayTimeDialog::PlayTimeDialog(QWidget* parent, int playTime) : QDialog(parent) {
  setWindowTitle(Q(media_text::kPlayTimeTitle));
  auto* layout = new QVBoxLayout(this);
  check_ = new QCheckBox(Q(media_text::kPlayTimeCheck), this);
  layout->addWidget(check_);
  layout->addWidget(new QLabel(Q(media_text::kPlayTimeLabel), this));
  edit_ = new QLineEdit(this);
  edit_->setAlignment(Qt::AlignCenter);
  edit_->setMaxLength(kEditMax);
  edit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit_));
  layout->addWidget(edit_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Q(media_text::kOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(Q(media_text::kCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  if (playTime < 1) {
    edit_->setText(QStringLiteral("0"));
    edit_->setEnabled(false);
  } else {
    edit_->setText(QString::number(playTime));
    check_->setChecked(true);
  }
  connect(check_, &QCheckBox::toggled, edit_, &QLineEdit::setEnabled);
  setFixedSize(sizeHint());
}

void PlayTimeDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOverParent(this);
}

void PlayTimeDialog::accept() {
  playTime_ = 0;
  if (check_->isChecked()) {
    const QString text = edit_->text().left(kEditMax);
    playTime_ = LeadingInt(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                               static_cast<size_t>(text.size())));
  }
  QDialog::accept();
}

}  // namespace aurisona::media
