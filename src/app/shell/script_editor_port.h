// The script editor behind the editor port.
#pragma once

#include "app/editor/script_editor.h"
#include "app/shell/editor_port.h"

namespace aurisona::shell {

class ScriptEditorPort final : public EditorPort {
  Q_OBJECT

 public:
  // Creates the editor; it reads tags against `lists`.
  ScriptEditorPort(MediaLists* lists, QWidget* parent);

  ScriptEditor& editor() { return *editor_; }

  QWidget* Widget() override { return editor_; }
  ScriptDocument& Document() override { return *editor_; }
  void ExecuteCommand(int editorCommand) override { editor_->ExecuteCommand(editorCommand); }
  void InsertPause(int code, bool remember) override { editor_->InsertPause(code, remember); }
  bool IsReadOnly() const override { return editor_->IsReadOnly(); }
  void SetReadOnlyPreview(bool readOnly) override { editor_->SetReadOnlyPreview(readOnly); }
  bool CanUndo() const override;
  bool HasSelection() const override;
  bool IsModified() const override { return editor_->IsModified(); }
  void SetModified(bool modified) override { editor_->SetModified(modified); }
  void MoveCaret(int position) override;

 private:
  ScriptEditor* editor_;
};

}  // namespace aurisona::shell
