#include "shell/interim_editor.h"

#include <algorithm>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "script/marks.h"
#include "shell/commands.h"

namespace aurisona::shell {
namespace {

constexpr int kRecordProperty = QTextFormat::UserProperty + 1;

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

struct InsertCommand {
  int command;
  MarkRecord record;
};

constexpr InsertCommand kInserts[] = {
    {editor_cmd::kMale, {kMarkMale, 0}},          {editor_cmd::kFemale, {kMarkFemale, 0}},
    {editor_cmd::kMale1, {kMarkMale1, 0}},        {editor_cmd::kFemale1, {kMarkFemale1, 0}},
    {editor_cmd::kPromptTone, {kMarkPromptTone, 0}},
};

constexpr std::pair<int, int> kPauses[] = {
    {editor_cmd::kPause03, 3},  {editor_cmd::kPause05, 5},  {editor_cmd::kPause1, 10},
    {editor_cmd::kPause2, 11},  {editor_cmd::kPause3, 12},  {editor_cmd::kPause5, 14},
    {editor_cmd::kPause10, 19},
};

}  // namespace

InterimEditor::InterimEditor(QWidget* parent) : EditorPort(parent), edit_(new QTextEdit(parent)) {
  edit_->setAcceptRichText(false);
  edit_->setFrameShape(QFrame::StyledPanel);
  edit_->setFrameShadow(QFrame::Sunken);
  connect(edit_, &QTextEdit::selectionChanged, this, &EditorPort::StateChanged);
  connect(edit_, &QTextEdit::undoAvailable, this, &EditorPort::StateChanged);
  connect(edit_->document(), &QTextDocument::modificationChanged, this, &EditorPort::StateChanged);
}

void InterimEditor::ExecuteCommand(int editorCommand) {
  const bool editable = !edit_->isReadOnly();
  switch (editorCommand) {
    case editor_cmd::kUndo:
      if (editable) edit_->undo();
      return;
    case editor_cmd::kCut:
      if (editable) edit_->cut();
      return;
    case editor_cmd::kCopy:
      edit_->copy();
      return;
    case editor_cmd::kPaste:
      if (editable) edit_->paste();
      return;
    case editor_cmd::kSelectAll:
      edit_->selectAll();
      return;
    default:
      break;
  }
  if (!editable) return;
  for (const InsertCommand& insert : kInserts) {
    if (insert.command == editorCommand) {
      InsertMark(insert.record, true);
      return;
    }
  }
  for (const auto& [command, code] : kPauses) {
    if (command == editorCommand) {
      InsertPause(code, true);
      return;
    }
  }
}

void InterimEditor::InsertPause(int code, bool remember) {
  if (!IsValidPauseCode(code) || edit_->isReadOnly()) return;
  InsertMark({kMarkPause, code}, true);
  if (remember) emit PauseCodeRemembered(code);
}

void InterimEditor::SetReadOnlyPreview(bool readOnly) {
  edit_->setReadOnly(readOnly);
  emit StateChanged();
}

bool InterimEditor::CanUndo() const { return edit_->document()->isUndoAvailable(); }
bool InterimEditor::HasSelection() const { return edit_->textCursor().hasSelection(); }
bool InterimEditor::IsModified() const { return edit_->document()->isModified(); }

void InterimEditor::SetModified(bool modified) {
  edit_->document()->setModified(modified);
  emit StateChanged();
}

int InterimEditor::Length() const { return edit_->document()->characterCount() - 1; }

std::u16string InterimEditor::Text(int start, int end) const {
  const int length = Length();
  if (end < 0 || end > length) end = length;
  start = std::clamp(start, 0, end);
  QTextCursor cursor(edit_->document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  QString text = cursor.selectedText();
  text.replace(QChar::ParagraphSeparator, QChar(u'\r'));
  return text.toStdU16String();
}

std::optional<MarkRecord> InterimEditor::MarkAt(int position) const {
  if (position < 0 || position >= Length()) return std::nullopt;
  if (edit_->document()->characterAt(position) != QChar(kMarkChar)) return std::nullopt;
  QTextCursor cursor(edit_->document());
  cursor.setPosition(position + 1);
  const QVariant index = cursor.charFormat().property(kRecordProperty);
  if (!index.isValid()) return std::nullopt;
  const int i = index.toInt();
  if (i < 0 || i >= static_cast<int>(records_.size())) return std::nullopt;
  return records_[static_cast<size_t>(i)];
}

std::pair<int, int> InterimEditor::Selection() const {
  const QTextCursor cursor = edit_->textCursor();
  return {cursor.selectionStart(), cursor.selectionEnd()};
}

void InterimEditor::SetSelection(int start, int end) {
  const int length = Length();
  if (end < 0 || end > length) end = length;
  start = std::clamp(start, 0, length);
  QTextCursor cursor(edit_->document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  edit_->setTextCursor(cursor);
}

void InterimEditor::ReplaceSelection(std::u16string_view text, bool undoable) {
  QString normalised = ToQString(text);
  normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  normalised.replace(QChar(u'\r'), QChar(u'\n'));
  normalised.replace(QChar(kMarkChar), QChar(u' '));
  QTextCursor cursor = edit_->textCursor();
  QTextCharFormat plain;
  cursor.insertText(normalised, plain);
  edit_->setTextCursor(cursor);
  ClearUndoUnless(undoable);
}

void InterimEditor::InsertMark(const MarkRecord& record, bool undoable) {
  records_.push_back(record);
  QTextCharFormat format;
  format.setProperty(kRecordProperty, static_cast<int>(records_.size() - 1));
  QTextCursor cursor = edit_->textCursor();
  cursor.insertText(QString(QChar(kMarkChar)), format);
  cursor.setCharFormat(QTextCharFormat());
  edit_->setTextCursor(cursor);
  ClearUndoUnless(undoable);
}

void InterimEditor::ScrollToTop() { edit_->verticalScrollBar()->setValue(0); }

void InterimEditor::ClearUndoUnless(bool undoable) {
  if (undoable) return;
  QTextDocument* doc = edit_->document();
  const bool modified = doc->isModified();
  doc->clearUndoRedoStacks();
  doc->setModified(modified);
}

}  // namespace aurisona::shell
