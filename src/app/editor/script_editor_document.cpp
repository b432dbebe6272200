// The script editor as a ScriptDocument: text, marks and selection by
// position, edits in batches, and tagged text in and out.
#include "app/editor/script_editor.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>

#include "app/editor/editor_commands.h"
#include "app/editor/editor_dialogs.h"
#include "app/editor/mark_pictures.h"
#include "app/editor/mark_spans.h"
#include "app/editor/script_editor_strings.h"
#include "core/script/tagged_text.h"

namespace aurisona {

using editor_detail::ToQString;
using editor_detail::ToU16;

// --- ScriptDocument ----------------------------------------------------------

int ScriptEditor::Length() const { return document()->characterCount() - 1; }

std::u16string ScriptEditor::Text(int start, int end) const {
  const int length = Length();
  if (end < 0 || end > length) end = length;
  start = std::clamp(start, 0, length);
  if (end <= start) return {};
  QTextCursor cursor(document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  std::u16string text = ToU16(cursor.selectedText());
  std::replace(text.begin(), text.end(), char16_t{0x2029}, u'\r');
  return text;
}

const MarkRecord* ScriptEditor::RecordOfFormat(const QTextFormat& format) const {
  if (format.objectType() != kMarkObjectType) return nullptr;
  const QVariant value = format.property(kMarkRecordProperty);
  if (!value.isValid()) return nullptr;
  const int index = value.toInt();
  if (index < 0 || index >= static_cast<int>(records_.size())) return nullptr;
  return &records_[static_cast<size_t>(index)];
}

int ScriptEditor::RecordIndexAt(int position) const {
  if (position < 0 || position >= Length()) return -1;
  if (document()->characterAt(position) != QChar::ObjectReplacementCharacter) return -1;
  const QTextBlock block = document()->findBlock(position);
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment fragment = it.fragment();
    if (!fragment.contains(position)) continue;
    const MarkRecord* record = RecordOfFormat(fragment.charFormat());
    return record ? static_cast<int>(record - records_.data()) : -1;
  }
  return -1;
}

std::optional<MarkRecord> ScriptEditor::MarkAt(int position) const {
  const int index = RecordIndexAt(position);
  if (index < 0) return std::nullopt;
  return records_[static_cast<size_t>(index)];
}

std::pair<int, int> ScriptEditor::Selection() const {
  const QTextCursor cursor = batchDepth_ > 0 ? batchCursor_ : textCursor();
  return {cursor.selectionStart(), cursor.selectionEnd()};
}

QTextCursor& ScriptEditor::EditCursor() { return batchCursor_; }

void ScriptEditor::SetSelection(int start, int end) {
  const int length = Length();
  if (end < 0 || end > length) end = length;
  start = std::clamp(start, 0, length);
  if (start > end) std::swap(start, end);
  OpenPendingBatch();
  BeginBatch();
  EditCursor().setPosition(start);
  EditCursor().setPosition(end, QTextCursor::KeepAnchor);
  EndBatch();
}

QTextCharFormat ScriptEditor::PlainFormat() const { return QTextCharFormat(); }

QTextCharFormat ScriptEditor::MarkFormat(int recordIndex) const {
  QTextCharFormat format;
  format.setObjectType(kMarkObjectType);
  format.setProperty(kMarkRecordProperty, recordIndex);
  format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
  return format;
}

void ScriptEditor::InsertRecordIndex(int recordIndex) {
  EditCursor().insertText(QString(QChar::ObjectReplacementCharacter), MarkFormat(recordIndex));
}

void ScriptEditor::ReplaceSelection(std::u16string_view text, bool undoable) {
  OpenPendingBatch();
  BeginBatch();
  QTextCursor& cursor = EditCursor();
  cursor.removeSelectedText();
  // Qt reads these as block or frame breaks; here they are ordinary text (a
  // paragraph separator is a paragraph break, the frame characters become
  // U+FFFD). A U+FFFC in the text is no mark: it is drawn as a mark without a
  // record.
  size_t pending = 0;
  QString piece;
  const QTextCharFormat plain = PlainFormat();
  auto flush = [&](size_t upTo) {
    if (upTo <= pending) return;
    piece = ToQString(text.substr(pending, upTo - pending));
    for (QChar& c : piece) {
      if (c.unicode() == 0x2029) c = QLatin1Char('\r');
      if (c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1) c = QChar(QChar::ReplacementCharacter);
    }
    cursor.insertText(piece, plain);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != kMarkChar) continue;
    flush(i);
    InsertRecordIndex(-1);
    pending = i + 1;
  }
  flush(text.size());
  if (!undoable) batchClearsUndo_ = true;
  EndBatch();
}

void ScriptEditor::InsertMark(const MarkRecord& record, bool undoable) {
  records_.push_back(record);
  OpenPendingBatch();
  BeginBatch();
  EditCursor().removeSelectedText();
  InsertRecordIndex(static_cast<int>(records_.size()) - 1);
  if (!undoable) batchClearsUndo_ = true;
  EndBatch();
}

void ScriptEditor::ClearMarks() {
  records_.clear();
  ++marksGeneration_;
  viewport()->update();
}

void ScriptEditor::ScrollToTop() {
  OpenPendingBatch();
  BeginBatch();
  EditCursor().setPosition(0);
  batchScrollsToTop_ = true;
  EndBatch();
}

void ScriptEditor::OpenPendingBatch() {
  if (batchDepth_ > 0) return;
  BeginBatch();
  pendingBatch_ = true;
  QMetaObject::invokeMethod(this, &ScriptEditor::FlushPendingEdits, Qt::QueuedConnection);
}

void ScriptEditor::FlushPendingEdits() {
  if (!pendingBatch_) return;
  pendingBatch_ = false;
  EndBatch();
}

void ScriptEditor::BeginBatch() {
  if (batchDepth_++ > 0) return;
  batchCursor_ = textCursor();
  batchCursor_.beginEditBlock();
  batchClearsUndo_ = false;
  batchScrollsToTop_ = false;
}

void ScriptEditor::EndBatch() {
  if (batchDepth_ <= 0 || --batchDepth_ > 0) return;
  batchCursor_.endEditBlock();
  if (batchClearsUndo_) document()->clearUndoRedoStacks();
  setTextCursor(batchCursor_);
  if (batchScrollsToTop_) {
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
  }
  batchCursor_ = QTextCursor();
}

// --- Tagged text -----------------------------------------------------------------

std::u16string ScriptEditor::TaggedText(int start, int end) const {
  return TaggedTextWriter(*this, Media(), start, end);
}

void ScriptEditor::ReadTaggedText(std::u16string_view text, bool scrollToTop, bool undoable) {
  Batch batch(*this);
  TaggedTextReader(*this, Media(), text, scrollToTop, undoable);
}

void ScriptEditor::LoadTaggedText(std::u16string_view text) {
  FlushPendingEdits();
  {
    Batch batch(*this);
    SetSelection(0, -1);
    ClearMarks();
    TaggedTextReader(*this, Media(), text, true, false);
  }
  SetModified(false);
}

void ScriptEditor::NewDocument() {
  FlushPendingEdits();
  {
    Batch batch(*this);
    SetSelection(0, -1);
    ReplaceSelection(u"", false);
    ClearMarks();
  }
  SetModified(false);
}

}  // namespace aurisona
