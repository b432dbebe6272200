#include "app/shell/dialogs.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/files/document_files.h"
#include "app/shell/icons.h"
#include "app/shell/shell_texts.h"

namespace aurisona::shell {
namespace {

QString Q(const char16_t* text) { return QString::fromUtf16(text); }

// Runs a dialog and deletes it, also when its parent goes first.
int RunAndDelete(QDialog* dialog) {
  QPointer<QDialog> guard(dialog);
  const int result = dialog->exec();
  delete guard.data();
  return result;
}

// The chosen file of a file dialog; empty when cancelled.
QString RunFileDialog(QFileDialog* dialog) {
  QPointer<QFileDialog> guard(dialog);
  QString path;
  if (dialog->exec() == QDialog::Accepted && guard && !guard->selectedFiles().isEmpty()) {
    path = guard->selectedFiles().constFirst();
  }
  delete guard.data();
  return path;
}

// The buttons speak Chinese whatever the system's language.
void LabelButtons(QMessageBox* box) {
  const std::pair<QMessageBox::StandardButton, const char16_t*> labels[] = {
      {QMessageBox::Yes, text::kYes}, {QMessageBox::No, text::kNo},
      {QMessageBox::Cancel, text::kCancel}, {QMessageBox::Ok, text::kOk}};
  for (const auto& [which, label] : labels) {
    if (QAbstractButton* button = box->button(which)) button->setText(Q(label));
  }
}

}  // namespace

QMessageBox* CreateMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                              QWidget* parent) {
  auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
  LabelButtons(box);
  return box;
}

QMessageBox* CreateSaveChangesBox(QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::Question, Q(text::kSaveTitle), Q(text::kSaveChangesQuestion),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box->setDefaultButton(QMessageBox::Yes);
  LabelButtons(box);
  return box;
}

QFileDialog* CreateOpenDialog(QWidget* parent, const QString& folder) {
  auto* dialog = new QFileDialog(parent, Q(text::kOpenDialogTitle), folder, Q(text::kOpenFilter));
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  return dialog;
}

QFileDialog* CreateSaveDialog(QWidget* parent, const QString& proposed) {
  auto* dialog = new QFileDialog(parent, Q(text::kSaveDialogTitle), QString(), Q(text::kSaveFilter));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setDefaultSuffix(Q(text::kDefaultSuffix));
  ProposeFile(dialog, proposed);
  return dialog;
}

void ProposeFile(QFileDialog* dialog, const QString& proposed) {
  if (proposed.isEmpty()) return;
  const QFileInfo info(proposed);
  if (info.isDir()) {
    dialog->setDirectory(proposed);
    return;
  }
  dialog->setDirectory(info.absolutePath());
  dialog->selectFile(info.fileName());
}

QMessageBox* CreateQuestionBox(QWidget* parent, const QString& title, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box->setDefaultButton(QMessageBox::Yes);
  LabelButtons(box);
  return box;
}

QDialog* CreateAboutDialog(QWidget* parent) {
  auto* dialog = new QDialog(parent);
  dialog->setWindowTitle(Q(text::kAboutTitle));
  auto* icon = new QLabel(dialog);
  icon->setPixmap(QPixmap::fromImage(AppIconImage(48)));
  icon->setAlignment(Qt::AlignTop);
  auto* product = new QLabel(Q(text::kAboutProduct), dialog);
  QFont bold = product->font();
  bold.setBold(true);
  product->setFont(bold);
  auto* purpose = new QLabel(Q(text::kAboutPurpose), dialog);
  auto* builtOn = new QLabel(Q(text::kAboutBuiltOn).arg(QString::fromLatin1(qVersion())), dialog);
  for (QLabel* line : {purpose, builtOn}) line->setTextFormat(Qt::PlainText);
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(Q(text::kAboutOk), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);

  auto* grid = new QGridLayout(dialog);
  grid->setHorizontalSpacing(16);
  grid->addWidget(icon, 0, 0, 3, 1);
  grid->addWidget(product, 0, 1);
  grid->addWidget(purpose, 1, 1);
  grid->addWidget(builtOn, 2, 1);
  grid->addWidget(buttons, 3, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  return dialog;
}

SaveAnswer QtDialogs::AskSaveChanges(QWidget* parent) {
  switch (RunAndDelete(CreateSaveChangesBox(parent))) {
    case QMessageBox::Yes:
      return SaveAnswer::kYes;
    case QMessageBox::No:
      return SaveAnswer::kNo;
    default:
      return SaveAnswer::kCancel;
  }
}

QString QtDialogs::AskOpenPath(QWidget* parent, const QString& folder) {
  return RunFileDialog(CreateOpenDialog(parent, folder));
}

QString QtDialogs::AskSavePath(QWidget* parent, const QString& proposed) {
  return RunFileDialog(CreateSaveDialog(parent, proposed));
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& title, const QString& text) {
  return RunAndDelete(CreateQuestionBox(parent, title, text)) == QMessageBox::Yes;
}

void QtDialogs::ShowError(QWidget* parent, const QString& message) {
  const QString title = QString::fromUtf16(kErrorTitle.data(), static_cast<qsizetype>(kErrorTitle.size()));
  RunAndDelete(CreateMessageBox(QMessageBox::Critical, title, message, parent));
}

void QtDialogs::ShowErrorTitled(QWidget* parent, const QString& title, const QString& message) {
  RunAndDelete(CreateMessageBox(QMessageBox::Critical, title, message, parent));
}

void QtDialogs::ShowInformation(QWidget* parent, const QString& title, const QString& message) {
  RunAndDelete(CreateMessageBox(QMessageBox::Information, title, message, parent));
}

void QtDialogs::ShowAbout(QWidget* parent) { RunAndDelete(CreateAboutDialog(parent)); }

}  // namespace aurisona::shell
