// A plain QTextEdit behind the editor port: control marks are object
// characters carrying their record index, drawn by nothing. It stands in for
// the script editor until that one is built into the shell.
#pragma once

#include <QTextEdit>
#include <vector>

#include "shell/editor_port.h"

namespace aurisona::shell {

class InterimEditor final : public EditorPort, private ScriptDocument {
  Q_OBJECT

 public:
  explicit InterimEditor(QWidget* parent = nullptr);

  QWidget* Widget() override { return edit_; }
  ScriptDocument& Document() override { return *this; }
  void ExecuteCommand(int editorCommand) override;
  void InsertPause(int code, bool remember) override;
  bool IsReadOnly() const override { return edit_->isReadOnly(); }
  void SetReadOnlyPreview(bool readOnly) override;
  bool CanUndo() const override;
  bool HasSelection() const override;
  bool IsModified() const override;
  void SetModified(bool modified) override;

 private:
  int Length() const override;
  std::u16string Text(int start, int end) const override;
  std::optional<MarkRecord> MarkAt(int position) const override;
  std::pair<int, int> Selection() const override;
  void SetSelection(int start, int end) override;
  void ReplaceSelection(std::u16string_view text, bool undoable) override;
  void InsertMark(const MarkRecord& record, bool undoable) override;
  void ClearMarks() override { records_.clear(); }
  void ScrollToTop() override;

  void ClearUndoUnless(bool undoable);

  QTextEdit* edit_;
  std::vector<MarkRecord> records_;
};

}  // namespace aurisona::shell
