// The dialogs of the reading step: the readings dictionary (设置) and the view of
// what the speech engine is handed for each sentence of the selection (查看).
#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/reading/reading_engine.h"
#include "core/reading/readings_dictionary.h"
#include "core/settings/settings_record.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace aurisona {
struct MediaLists;
class ScriptDocument;
class SpeechPlayer;
}  // namespace aurisona

namespace aurisona::shell {

class DialogProvider;

// A reason of the dictionary's parser or CheckEntry, as the dialog shows it.
QString DictionaryReasonText(const std::string& reason);

// Lists, adds, edits and removes the entries of the readings file; OK writes the
// file atomically and hands the new dictionary to `applied`. Lines of the file
// that could not be read are listed, and kept as comments when the file is saved.
class ReadingsDictionaryDialog final : public QDialog {
  Q_OBJECT

 public:
  using VoiceOf = std::function<std::optional<VoiceSlot>(int slot)>;
  ReadingsDictionaryDialog(std::filesystem::path path, DialogProvider& dialogs, VoiceOf voiceOf,
                           QWidget* parent);
  ~ReadingsDictionaryDialog() override;

  // Called after a successful save with the dictionary as saved.
  std::function<void(std::shared_ptr<const ReadingDictionary>)> applied;
  // Called when an entry is played: the voice slot and what the engine is handed.
  std::function<void(int slot, const std::u16string& spoken)> played;

  QTableWidget* Table() const { return table_; }
  QLineEdit* WrittenEdit() const { return written_; }
  QLineEdit* SpokenEdit() const { return spoken_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* ChangeButton() const { return change_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* PlayButton() const { return play_; }
  QPushButton* OkButton() const { return ok_; }
  QListWidget* ProblemList() const { return problemList_; }
  std::vector<ReadingDictionary::Entry> Entries() const;

  // The slot an entry is played with: Chinese male for a written form with a
  // Chinese character, else English male.
  static int SlotFor(const std::u16string& written);

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Load();
  void FillFields();
  void UpdateButtons();
  // The entry of the two fields, checked; nullopt after the refusal was shown.
  std::optional<ReadingDictionary::Entry> CheckedFields(int replacingRow);
  void Add();
  void Change();
  void Remove();
  void Play();
  void SetRow(int row, const ReadingDictionary::Entry& entry);

  std::filesystem::path path_;
  DialogProvider& dialogs_;
  VoiceOf voiceOf_;
  std::vector<DictionaryProblem> problems_;
  std::string unreadable_;               // why the file as a whole could not be read
  std::vector<std::string> damagedLines_;  // the text of each problem's line, to keep

  QTableWidget* table_;
  QLineEdit* written_;
  QLineEdit* spoken_;
  QPushButton* add_;
  QPushButton* change_;
  QPushButton* remove_;
  QPushButton* play_;
  QPushButton* ok_;
  QLabel* problemLabel_;
  QListWidget* problemList_;

  std::unique_ptr<ReadingSpeechEngine> playEngine_;
  std::unique_ptr<SpeechPlayer> player_;
};

// One sentence as the engine will read it.
struct SpokenRow {
  int slot = 0;
  bool chinese = false;
  std::u16string written;
  std::u16string spoken;
};

// The sentences of the speech runs that meet [start, end) of the document (all of
// them when start == end), compiled from a copy so the document is not touched.
std::vector<SpokenRow> SpokenRows(const ScriptDocument& doc, const MediaLists& lists,
                                  const ReadingDictionary* dictionary, int start, int end);

// "3 英文男声" for slot 3.
QString VoiceSlotText(int slot);

// A read-only table of the rows: 声部, 语言, 原文, 朗读. Ctrl+C copies the selected
// rows as tab-separated text.
class SpokenTextDialog final : public QDialog {
  Q_OBJECT

 public:
  SpokenTextDialog(const std::vector<SpokenRow>& rows, bool wholeScript, QWidget* parent);
  QTableWidget* Table() const { return table_; }
  // The selected rows (all when none is selected) as tab-separated lines.
  QString SelectedText() const;

 private:
  QTableWidget* table_;
};

}  // namespace aurisona::shell
