// What the main window needs of its script editor.
#pragma once

#include <QObject>

#include "core/script/script_document.h"

class QWidget;

namespace aurisona::shell {

class EditorPort : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~EditorPort() override = default;

  // The editor widget (the splitter's right pane).
  virtual QWidget* Widget() = 0;
  virtual ScriptDocument& Document() = 0;

  // Carries out an editor command (editor/editor_commands.h).
  virtual void ExecuteCommand(int editorCommand) = 0;
  // Inserts a pause mark with the code; `remember` makes it the last pause code
  // (reported through PauseCodeRemembered).
  virtual void InsertPause(int code, bool remember) = 0;

  virtual bool IsReadOnly() const = 0;
  virtual void SetReadOnlyPreview(bool readOnly) = 0;
  virtual bool CanUndo() const = 0;
  virtual bool HasSelection() const = 0;
  virtual bool IsModified() const = 0;
  virtual void SetModified(bool modified) = 0;
  // Puts the caret at `position` (no selection), shows it and gives the
  // editor the focus.
  virtual void MoveCaret(int position) = 0;

 signals:
  // Something the enabled states depend on changed: the modified flag, the
  // selection, the undo stack or read-only.
  void StateChanged();
  // A pause was inserted with `remember` set.
  void PauseCodeRemembered(int code);
  // The script changed (text or a mark's record).
  void ScriptChanged();
};

}  // namespace aurisona::shell
