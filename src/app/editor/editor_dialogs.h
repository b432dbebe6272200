// The editor's two small dialogs: the pause time and the repeat count.
#pragma once

#include <QDialog>
#include <optional>

class QComboBox;

namespace aurisona {

// Reads a pause entry: "0.d..." gives the tenths digit d (1..9) as the code;
// anything else is read as whole seconds 1..30 (leading integer), code =
// seconds + 9. "0.35" gives code 3, "5.9秒" code 14; "0.0" and "31" nothing.
std::optional<int> ParsePauseEntry(const QString& text);

// Reads a repeat count: the leading decimal integer, 0 when there is none.
// Callers raise values below 2 to 2.
int ParseRepeatEntry(const QString& text);

// "暂停时间": an editable list "0.1秒" ... "0.9秒", "1秒" ... "30秒". OK with an
// invalid entry shows the error message and keeps the dialog open.
class PauseTimeDialog : public QDialog {
  Q_OBJECT
 public:
  // initialCode 1..39 shows that pause; anything else leaves the entry empty.
  explicit PauseTimeDialog(QWidget* parent = nullptr, int initialCode = 0);
  // The code accepted by OK (valid only after Accepted).
  int code() const { return code_; }
  QComboBox* entry() const { return entry_; }
  void accept() override;

 private:
  QComboBox* entry_;
  int code_ = 0;
};

// "重复次数": an editable list "2" ... "10" showing the current count.
class RepeatCountDialog : public QDialog {
  Q_OBJECT
 public:
  explicit RepeatCountDialog(QWidget* parent = nullptr, int count = 2);
  // The entry read as a decimal integer (not raised).
  int count() const;
  QComboBox* entry() const { return entry_; }

 private:
  QComboBox* entry_;
};

}  // namespace aurisona
