// Dialogs answered by a test: answers come from queues, every message box is
// recorded.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>

#include "shell/dialogs.h"

namespace aurisona::shell {

class ScriptedDialogs final : public DialogProvider {
 public:
  std::deque<SaveAnswer> saveAnswers;
  std::deque<QString> openPaths;
  std::deque<QString> savePaths;
  QStringList errors;
  QStringList informations;
  int saveQuestions = 0;

  SaveAnswer AskSaveChanges(QWidget*) override {
    ++saveQuestions;
    if (saveAnswers.empty()) return SaveAnswer::kCancel;
    const SaveAnswer answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  std::deque<bool> yesNoAnswers;  // an empty queue answers No
  QStringList questions;          // "title|text"
  QStringList openFolders;        // where each open dialog started
  QStringList saveProposals;      // what each save dialog proposed

  QString AskOpenPath(QWidget*, const QString& folder) override {
    openFolders << folder;
    return Pop(openPaths);
  }
  QString AskSavePath(QWidget*, const QString& proposed) override {
    saveProposals << proposed;
    return Pop(savePaths);
  }
  bool AskYesNo(QWidget*, const QString& title, const QString& text) override {
    questions << title + u'|' + text;
    if (yesNoAnswers.empty()) return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
  }
  void ShowError(QWidget*, const QString& text) override { errors << text; }
  void ShowInformation(QWidget*, const QString& title, const QString& text) override {
    informations << title + u'|' + text;
  }
  void ShowAbout(QWidget*) override {}

 private:
  static QString Pop(std::deque<QString>& queue) {
    if (queue.empty()) return {};
    QString value = queue.front();
    queue.pop_front();
    return value;
  }
};

}  // namespace aurisona::shell
