// The script editor: a QTextEdit holding a listening script with control marks.
//
// A control mark is one inline object in the QTextDocument (U+FFFC in the plain
// text) whose character format carries the index of its record in the editor's
// append-only record list; MarkObjectHandler draws it from that record. The
// editor implements ScriptDocument on its document, so tagged text, the files
// and the compiler work on it directly: positions count UTF-16 units, one per
// mark, and paragraph separators read as CR.
//
// Everything leaving or entering the editor as text (copy, cut, paste, drag and
// drop) is tagged text, so marks survive the clipboard. The preview makes the
// editor read-only; then no command changes the document.
#pragma once

#include <QTextCursor>
#include <QTextEdit>
#include <functional>
#include <optional>
#include <vector>

#include "core/media/media_lists.h"
#include "core/script/script_document.h"

class QMenu;

namespace aurisona {

class MarkObjectHandler;

// Character format keys of a mark object.
inline constexpr int kMarkObjectType = QTextFormat::UserObject + 1;
inline constexpr int kMarkRecordProperty = QTextFormat::UserProperty + 1;

class ScriptEditor : public QTextEdit, public ScriptDocument {
  Q_OBJECT

 public:
  // What the editor asks of the application. Each returns nothing on cancel.
  // Unset dialogs default as noted; unset media hooks make their commands do
  // nothing.
  struct Hooks {
    // The music dialog: an index into the music list, starting from `current`
    // (-1 when inserting).
    std::function<std::optional<int>(int current)> chooseMusic;
    // The recording dialog, likewise for the recording list.
    std::function<std::optional<int>(int current)> chooseRecording;
    // Music from a file: copies the file into the Music folder, asks its play
    // time, updates the lists and returns the music index.
    std::function<std::optional<int>()> musicFromFile;
    // Pause time (default: PauseTimeDialog). `initial` is a code or 0.
    std::function<std::optional<int>(int initial)> askPauseCode;
    // Repeat count (default: RepeatCountDialog); the editor raises it to 2.
    std::function<std::optional<int>(int current)> askRepeatCount;
  };

  explicit ScriptEditor(QWidget* parent = nullptr);
  ~ScriptEditor() override;

  // The main window's media lists, read by tags and written by nobody here.
  // May be null (then treated as empty lists).
  void SetMediaLists(MediaLists* lists) { media_ = lists; }
  const MediaLists& Media() const;
  Hooks& hooks() { return hooks_; }

  // --- ScriptDocument ----------------------------------------------------
  int Length() const override;
  std::u16string Text(int start, int end) const override;
  std::optional<MarkRecord> MarkAt(int position) const override;
  std::pair<int, int> Selection() const override;
  void SetSelection(int start, int end) override;
  // Not undoable edits clear the undo history (its positions would be wrong).
  void ReplaceSelection(std::u16string_view text, bool undoable) override;
  void InsertMark(const MarkRecord& record, bool undoable) override;
  void ClearMarks() override;
  // Moves the caret to the start and scrolls to the first line.
  void ScrollToTop() override;

  // --- Marks and records -------------------------------------------------
  const std::vector<MarkRecord>& Records() const { return records_; }
  // The record index of the mark at a position, or -1 (no mark or no record).
  int RecordIndexAt(int position) const;
  // The record of a mark object's format, or nullptr.
  const MarkRecord* RecordOfFormat(const QTextFormat& format) const;
  // Entry `index` of a media list (music or recording marks, by `kind`) has
  // been removed: marks on later entries move up one place, so that every mark
  // keeps its file; marks on the removed entry read as a tag naming a file
  // that is no longer listed does (entry 0).
  void MediaEntryRemoved(int kind, int index);

  // --- Commands ------------------------------------------------------------
  // Inserts a mark at the selection as a user command: undoable, modified.
  // Refused (false) while read-only.
  bool InsertMarkCommand(int kind, int param);
  // Inserts a pause mark (code 1..39); `remember` makes it the last pause code.
  bool InsertPause(int code, bool remember);
  // Runs an editor command (ids in editor_commands.h). False when the id is
  // unknown, refused (read-only, disabled) or cancelled.
  bool ExecuteCommand(int id);
  // The editor's part of the idle update: whether a command can run now.
  bool IsCommandEnabled(int id) const;
  // The context menu with its grey rules; its actions run ExecuteCommand.
  QMenu* CreateContextMenu(QWidget* parent);
  // Edits the mark at `position` as a double-click on it does; `menuPos` is
  // where the voice menu opens (global). False when no editable mark is there.
  bool EditMarkAt(int position, const QPoint& menuPos);
  // Moves the selected stretch to `dropPosition` through tagged text, as a
  // drag inside the editor does; the moved stretch ends up selected.
  bool MoveSelectionTo(int dropPosition);

  // --- State ---------------------------------------------------------------
  // Read-only during a preview: typing, commands, paste and drops are refused.
  void SetReadOnlyPreview(bool readOnly);
  bool IsReadOnly() const { return isReadOnly(); }
  bool IsModified() const { return modified_; }
  void SetModified(bool modified);
  int LastPauseCode() const { return lastPauseCode_; }
  // Start of the selection, 0 when negative.
  int SelectionStart() const;
  void SelectRange(int start, int end) { SetSelection(start, end); }
  bool CanPaste() const;

  // --- Tagged text -----------------------------------------------------------
  // Tagged text of [start, end) (end -1: to the end).
  std::u16string TaggedText(int start, int end) const;
  // Reads tagged text at the selection in one batch (one undo step when undoable).
  void ReadTaggedText(std::u16string_view text, bool scrollToTop, bool undoable);
  // Replaces everything by the tagged text, as opening a document does: record
  // list emptied, no undo, caret at the top, not modified.
  void LoadTaggedText(std::u16string_view text);
  // An empty document with an empty record list, not modified.
  void NewDocument();

  // Batches ScriptDocument edits: the widget's cursor is updated, the layout
  // refreshed and the undo step closed only when the outermost batch ends.
  // ScriptDocument edits made outside a batch open one that ends when control
  // returns to the event loop (or at the next event or command of the
  // editor), so a bulk edit through the core functions costs one layout and
  // makes one undo step. Call FlushPendingEdits before reading textCursor()
  // right after such edits.
  void BeginBatch();
  void EndBatch();
  void FlushPendingEdits();
  class Batch {
   public:
    explicit Batch(ScriptEditor& editor) : editor_(editor) { editor_.BeginBatch(); }
    ~Batch() { editor_.EndBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    ScriptEditor& editor_;
  };

  // The editor's font: a CJK serif found through fontconfig.
  static QFont EditorFont();

 signals:
  void modifiedChanged(bool modified);
  // A pause inserted with `remember`: the toolbar's pause button shows it.
  void lastPauseCodeChanged(int code);
  // Selection, read-only state or undo availability changed: recompute the
  // enabled states of the commands.
  void commandStateChanged();
  // The script changed: its text, or a mark's record (a repeat count, a clip).
  void scriptChanged();

 protected:
  QMimeData* createMimeDataFromSelection() const override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QTextCursor& EditCursor();
  // Opens the batch that ends with the current event loop turn, unless a
  // batch is open already.
  void OpenPendingBatch();
  QTextCharFormat MarkFormat(int recordIndex) const;
  QTextCharFormat PlainFormat() const;
  void InsertRecordIndex(int recordIndex);
  bool Copy();
  bool Cut();
  bool Paste();
  bool Wrap(int beginKind);
  bool AskPause();
  bool ChooseMedia(int kind);
  // The mark whose picture is under a viewport point, or -1.
  int MarkUnderPoint(const QPoint& viewportPoint) const;
  void RefreshMark(int position);
  void ResetTypingFormat();
  // Runs a key or input-method edit so that the text it types is plain; when
  // it replaces the selection, the selection is removed first (one undo step).
  void RunTypingEdit(bool replacesSelection, const std::function<void()>& edit);
  bool RunChangingUserEdit(const std::function<void()>& edit);
  // What a dialog's answer is checked against: the document's contents and
  // its record list as they were when the dialog opened.
  struct Stamp {
    unsigned changes;
    unsigned generation;
  };
  Stamp CurrentStamp() const;
  bool Unchanged(const Stamp& stamp) const;

  std::vector<MarkRecord> records_;
  MediaLists* media_ = nullptr;
  Hooks hooks_;
  MarkObjectHandler* handler_ = nullptr;
  bool modified_ = false;
  int lastPauseCode_ = 0;
  unsigned changeCount_ = 0;
  unsigned marksGeneration_ = 0;  // counts ClearMarks
  bool undoAvailable_ = false;

  int batchDepth_ = 0;
  QTextCursor batchCursor_;
  bool batchClearsUndo_ = false;
  bool batchScrollsToTop_ = false;
  bool pendingBatch_ = false;
};

}  // namespace aurisona
