#include "app/shell/script_editor_port.h"

#include <QTextDocument>

#include "app/shell/placeholder_marks.h"

namespace aurisona::shell {

ScriptEditorPort::ScriptEditorPort(MediaLists* lists, QWidget* parent)
    : EditorPort(parent), editor_(new ScriptEditor(parent)) {
  editor_->SetMediaLists(lists);
  connect(editor_, &ScriptEditor::modifiedChanged, this, &EditorPort::StateChanged);
  connect(editor_, &ScriptEditor::commandStateChanged, this, &EditorPort::StateChanged);
  connect(editor_, &ScriptEditor::lastPauseCodeChanged, this, &EditorPort::PauseCodeRemembered);
  connect(editor_, &ScriptEditor::scriptChanged, this, &EditorPort::ScriptChanged);
  new PlaceholderMarks(editor_);
}

void ScriptEditorPort::MoveCaret(int position) {
  editor_->SetSelection(position, position);
  editor_->FlushPendingEdits();
  editor_->ensureCursorVisible();
  editor_->setFocus(Qt::OtherFocusReason);
}

bool ScriptEditorPort::CanUndo() const { return editor_->document()->isUndoAvailable(); }

bool ScriptEditorPort::HasSelection() const {
  const auto [start, end] = editor_->Selection();
  return start != end;
}

}  // namespace aurisona::shell
