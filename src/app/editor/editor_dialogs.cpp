#include "app/editor/editor_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/editor/editor_commands.h"
#include "core/script/marks.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

constexpr int kPauseEntryMax = 100;
constexpr int kRepeatEntryMax = 260;

int LeadingIntOf(const QString& text) {
  const QString trimmed = text.left(kRepeatEntryMax);
  return LeadingInt(std::u16string_view(reinterpret_cast<const char16_t*>(trimmed.utf16()),
                                        static_cast<size_t>(trimmed.size())));
}

QDialogButtonBox* AddButtons(QDialog* dialog, QVBoxLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return buttons;
}

// An editable list completes typed text inline from its entries, and the
// first Enter then only takes the completion: "5" became "5秒" and needed a
// second Enter, and "1" in the repeat count became "10". Without the
// completer, Enter presses OK at once with what was typed.
void DropInlineCompletion(QComboBox* entry) { entry->setCompleter(nullptr); }

}  // namespace

std::optional<int> ParsePauseEntry(const QString& text) {
  const QString entry = text.left(kPauseEntryMax);
  if (entry.startsWith(QStringLiteral("0."))) {
    if (entry.size() < 3) return std::nullopt;
    const QChar digit = entry.at(2);
    if (digit < QLatin1Char('1') || digit > QLatin1Char('9')) return std::nullopt;
    return digit.unicode() - u'0';
  }
  const int seconds = LeadingIntOf(entry);
  if (seconds < 1 || seconds > 30) return std::nullopt;
  return seconds + 9;
}

int ParseRepeatEntry(const QString& text) { return LeadingIntOf(text); }

PauseTimeDialog::PauseTimeDialog(QWidget* parent, int initialCode) : QDialog(parent) {
  setWindowTitle(editor_text::kPauseDialogTitle);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("请输入或选择暂停的时间："), this));
  entry_ = new QComboBox(this);
  entry_->setEditable(true);
  entry_->setInsertPolicy(QComboBox::NoInsert);
  entry_->lineEdit()->setMaxLength(kPauseEntryMax);
  DropInlineCompletion(entry_);
  for (int tenths = 1; tenths <= 9; ++tenths) entry_->addItem(QStringLiteral("0.%1秒").arg(tenths));
  for (int seconds = 1; seconds <= 30; ++seconds) entry_->addItem(QStringLiteral("%1秒").arg(seconds));
  entry_->setMaxVisibleItems(12);
  if (IsValidPauseCode(initialCode)) {
    entry_->setCurrentIndex(initialCode - 1);  // codes run along the list in order
  } else {
    entry_->setCurrentIndex(-1);
    entry_->setEditText(QString());
  }
  layout->addWidget(entry_);
  AddButtons(this, layout);
  setFixedSize(sizeHint().expandedTo(QSize(240, 0)));
}

void PauseTimeDialog::accept() {
  const std::optional<int> code = ParsePauseEntry(entry_->currentText());
  if (!code) {
    QMessageBox::critical(this, editor_text::kErrorTitle, editor_text::kBadPause);
    entry_->setFocus();
    return;
  }
  code_ = *code;
  QDialog::accept();
}

RepeatCountDialog::RepeatCountDialog(QWidget* parent, int count) : QDialog(parent) {
  setWindowTitle(editor_text::kRepeatDialogTitle);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("请输入或选择重复朗读的次数："), this));
  entry_ = new QComboBox(this);
  entry_->setEditable(true);
  entry_->setInsertPolicy(QComboBox::NoInsert);
  entry_->lineEdit()->setMaxLength(kRepeatEntryMax);
  DropInlineCompletion(entry_);
  for (int n = 2; n <= 10; ++n) entry_->addItem(QString::number(n));
  entry_->setEditText(QString::number(count));
  layout->addWidget(entry_);
  AddButtons(this, layout);
  setFixedSize(sizeHint().expandedTo(QSize(240, 0)));
}

int RepeatCountDialog::count() const { return ParseRepeatEntry(entry_->currentText()); }

}  // namespace aurisona
