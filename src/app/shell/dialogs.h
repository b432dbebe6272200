// The message boxes and file dialogs of the shell, behind an interface so
// that tests can answer them.
#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QFileDialog;
class QWidget;

namespace aurisona::shell {

enum class SaveAnswer { kYes, kNo, kCancel };

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  // "是否保存当前内容？" with Yes, No and Cancel.
  virtual SaveAnswer AskSaveChanges(QWidget* parent) = 0;
  // The open and save-as file dialogs; an empty path when cancelled. The open
  // dialog starts in `folder`, the save dialog proposes `proposed` (a folder,
  // or a file name in its folder); either may be empty.
  virtual QString AskOpenPath(QWidget* parent, const QString& folder) = 0;
  virtual QString AskSavePath(QWidget* parent, const QString& proposed) = 0;
  // A question with Yes and No and the question icon; true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
  // A message box: the error icon and title "错误", or the information icon.
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
  virtual void ShowInformation(QWidget* parent, const QString& title, const QString& text) = 0;
  // The error icon with a title of the caller's (a file that does not play).
  virtual void ShowErrorTitled(QWidget* parent, const QString& title, const QString& text) {
    (void)title;
    ShowError(parent, text);
  }
  virtual void ShowAbout(QWidget* parent) = 0;
};

// The real dialogs, modal.
class QtDialogs final : public DialogProvider {
 public:
  SaveAnswer AskSaveChanges(QWidget* parent) override;
  QString AskOpenPath(QWidget* parent, const QString& folder) override;
  QString AskSavePath(QWidget* parent, const QString& proposed) override;
  bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
  void ShowError(QWidget* parent, const QString& text) override;
  void ShowInformation(QWidget* parent, const QString& title, const QString& text) override;
  void ShowErrorTitled(QWidget* parent, const QString& title, const QString& text) override;
  void ShowAbout(QWidget* parent) override;
};

// The dialogs themselves, not yet shown (the caller owns them).
QMessageBox* CreateMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                              QWidget* parent);
QMessageBox* CreateSaveChangesBox(QWidget* parent);
QFileDialog* CreateOpenDialog(QWidget* parent, const QString& folder = {});
QFileDialog* CreateSaveDialog(QWidget* parent, const QString& proposed = {});
QMessageBox* CreateQuestionBox(QWidget* parent, const QString& title, const QString& text);
// Starts a file dialog in `proposed` (a folder), or in its folder with its
// file name filled in.
void ProposeFile(QFileDialog* dialog, const QString& proposed);
QDialog* CreateAboutDialog(QWidget* parent);

}  // namespace aurisona::shell
