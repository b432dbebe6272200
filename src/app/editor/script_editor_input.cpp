// The script editor's input events: the clipboard's mime data, the mouse,
// the keyboard, input methods and drag and drop.
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

// --- Events ------------------------------------------------------------------------

QMimeData* ScriptEditor::createMimeDataFromSelection() const {
  auto* mime = new QMimeData;
  const auto [start, end] = Selection();
  if (start < end) {
    // Plain text on a Linux desktop breaks lines with LF; the editor reads
    // LF, CR and CR LF alike, so the marks come back the same.
    std::u16string text = TaggedText(start, end);
    std::replace(text.begin(), text.end(), u'\r', u'\n');
    mime->setText(ToQString(text));
  }
  return mime;
}

bool ScriptEditor::canInsertFromMimeData(const QMimeData* source) const {
  // Dropped files are the main window's business.
  if (IsReadOnly() || !source || source->hasUrls()) return false;
  return source->hasText();
}

void ScriptEditor::insertFromMimeData(const QMimeData* source) {
  if (!canInsertFromMimeData(source)) return;
  const QString text = source->text();
  if (text.isEmpty()) return;
  ReadTaggedText(ToU16(text), false, true);
  SetModified(true);
  ensureCursorVisible();
}

void ScriptEditor::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu(this);
  const QAction* chosen = menu->exec(event->globalPos());
  const int id = chosen ? chosen->data().toInt() : 0;
  delete menu;
  if (id != 0) ExecuteCommand(id);
}

int ScriptEditor::MarkUnderPoint(const QPoint& viewportPoint) const {
  const int position = cursorForPosition(viewportPoint).position();
  for (const int candidate : {position, position - 1}) {
    if (RecordIndexAt(candidate) < 0) continue;
    QTextCursor cursor(document());
    cursor.setPosition(candidate);
    const QRect before = cursorRect(cursor);
    cursor.setPosition(candidate + 1);
    const QRect after = cursorRect(cursor);
    if (before.top() != after.top()) continue;  // not on one line
    if (viewportPoint.x() >= before.left() && viewportPoint.x() <= after.left() &&
        viewportPoint.y() >= before.top() && viewportPoint.y() <= before.bottom()) {
      return candidate;
    }
  }
  return -1;
}

void ScriptEditor::mouseDoubleClickEvent(QMouseEvent* event) {
  if (IsReadOnly() || event->button() != Qt::LeftButton) {
    QTextEdit::mouseDoubleClickEvent(event);
    return;
  }
  // A double-click never selects a word here; on a mark it edits the mark.
  event->accept();
  const int position = MarkUnderPoint(event->position().toPoint());
  if (position >= 0) EditMarkAt(position, event->globalPosition().toPoint());
}

void ScriptEditor::ResetTypingFormat() {
  // With a selection Qt applies the format to every selected character, which
  // would strip the marks in it of their records: only the caret's typing
  // format is reset here.
  const QTextCursor cursor = textCursor();
  if (cursor.hasSelection()) return;
  const QTextCharFormat current = cursor.charFormat();
  if (current.objectType() == kMarkObjectType || current.hasProperty(kMarkRecordProperty)) {
    setCurrentCharFormat(PlainFormat());
  }
}

void ScriptEditor::RunTypingEdit(bool replacesSelection, const std::function<void()>& edit) {
  QTextCursor cursor = textCursor();
  if (!replacesSelection || !cursor.hasSelection()) {
    ResetTypingFormat();
    edit();
    return;
  }
  // Text typed over a selection would take the format of its last character,
  // a mark's perhaps. The selection goes first, in the same undo step, so that
  // the typed text gets the plain format of the caret.
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  setTextCursor(cursor);
  ResetTypingFormat();
  edit();
  cursor.endEditBlock();
}

bool ScriptEditor::RunChangingUserEdit(const std::function<void()>& edit) {
  const unsigned before = changeCount_;
  edit();
  if (changeCount_ == before) return false;
  SetModified(true);
  return true;
}

namespace {

// Whether a key typed into the editor inserts text (replacing the selection).
bool TypesText(const QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return true;
  const QString text = event->text();
  return !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == QLatin1Char('\t'));
}

// The editor command a clipboard key stands for, or 0.
int ClipboardCommandOf(const QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return kCmdCopy;
  if (event->matches(QKeySequence::Cut)) return kCmdCut;
  if (event->matches(QKeySequence::Paste)) return kCmdPaste;
  return 0;
}

}  // namespace

void ScriptEditor::keyPressEvent(QKeyEvent* event) {
  FlushPendingEdits();
  // Copy, cut and paste keys (Ctrl+C, Ctrl+Ins, Ctrl+X, Shift+Del, Ctrl+V,
  // Shift+Ins) run the editor's commands, as the menus do.
  if (const int id = ClipboardCommandOf(event)) {
    ExecuteCommand(id);
    event->accept();
    return;
  }
  if (IsReadOnly()) {
    QTextEdit::keyPressEvent(event);
    return;
  }
  RunChangingUserEdit([&] { RunTypingEdit(TypesText(event), [&] { QTextEdit::keyPressEvent(event); }); });
}

void ScriptEditor::inputMethodEvent(QInputMethodEvent* event) {
  FlushPendingEdits();
  if (IsReadOnly()) {
    QTextEdit::inputMethodEvent(event);
    return;
  }
  const bool typesText = !event->commitString().isEmpty() || !event->preeditString().isEmpty() ||
                         event->replacementLength() > 0;
  RunChangingUserEdit([&] { RunTypingEdit(typesText, [&] { QTextEdit::inputMethodEvent(event); }); });
}

void ScriptEditor::dragEnterEvent(QDragEnterEvent* event) {
  if (!canInsertFromMimeData(event->mimeData())) {
    event->ignore();
    return;
  }
  QTextEdit::dragEnterEvent(event);
}

void ScriptEditor::dragMoveEvent(QDragMoveEvent* event) {
  if (!canInsertFromMimeData(event->mimeData())) {
    event->ignore();
    return;
  }
  QTextEdit::dragMoveEvent(event);
}

void ScriptEditor::dropEvent(QDropEvent* event) {
  const QObject* source = event->source();
  if ((source == this || source == viewport()) && canInsertFromMimeData(event->mimeData())) {
    // A drag inside the editor is a move, done here through tagged text.
    // Reporting a copy keeps the drag source from removing anything itself.
    const int position = cursorForPosition(event->position().toPoint()).position();
    QDragLeaveEvent leave;
    QTextEdit::dragLeaveEvent(&leave);  // clears the drop caret
    MoveSelectionTo(position);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return;
  }
  QTextEdit::dropEvent(event);
}

bool ScriptEditor::event(QEvent* event) {
  FlushPendingEdits();
  return QTextEdit::event(event);
}

bool ScriptEditor::viewportEvent(QEvent* event) {
  FlushPendingEdits();
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int position = MarkUnderPoint(help->pos());
    if (position >= 0) {
      const auto record = MarkAt(position);
      QToolTip::showText(help->globalPos(), ToQString(TagFor(*record, Media())), viewport());
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QTextEdit::viewportEvent(event);
}

}  // namespace aurisona
