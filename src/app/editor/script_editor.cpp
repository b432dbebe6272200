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
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <QToolTip>
#include <algorithm>

#include "app/editor/editor_commands.h"
#include "app/editor/editor_dialogs.h"
#include "app/editor/mark_pictures.h"
#include "app/editor/mark_spans.h"
#include "core/script/tagged_text.h"

namespace aurisona {

// Draws mark objects from the records of their editor.
class MarkObjectHandler : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  explicit MarkObjectHandler(ScriptEditor* editor) : QObject(editor), editor_(editor) {}

  QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
    return MarkPictureSize(editor_->RecordOfFormat(format));
  }

  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat& format) override {
    PaintMarkPicture(*painter, rect, editor_->RecordOfFormat(format));
  }

 private:
  ScriptEditor* editor_;
};

namespace {

const MediaLists kNoMedia;

}  // namespace

ScriptEditor::ScriptEditor(QWidget* parent) : QTextEdit(parent) {
  setAcceptRichText(false);
  setLineWrapMode(QTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  const QFont font = EditorFont();
  setFont(font);
  document()->setDefaultFont(font);
  // The selection stays visible while another window has the focus: the
  // preview shows the sentence being spoken this way.
  QPalette pal = palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);

  handler_ = new MarkObjectHandler(this);
  document()->documentLayout()->registerHandler(kMarkObjectType, handler_);

  connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
    if (removed != 0 || added != 0) {
      ++changeCount_;
      emit scriptChanged();
    }
  });
  connect(this, &QTextEdit::selectionChanged, this, &ScriptEditor::commandStateChanged);
  connect(this, &QTextEdit::undoAvailable, this, [this](bool available) {
    undoAvailable_ = available;
    emit commandStateChanged();
  });
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    connect(clipboard, &QClipboard::dataChanged, this, &ScriptEditor::commandStateChanged);
  }
}

ScriptEditor::~ScriptEditor() { FlushPendingEdits(); }

QFont ScriptEditor::EditorFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC"),
                    QStringLiteral("Noto Serif CJK"), QStringLiteral("AR PL UMing CN"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
  font.setStyleHint(QFont::Serif);
  font.setPixelSize(15);
  font.setWeight(QFont::Normal);
  return font;
}

const MediaLists& ScriptEditor::Media() const { return media_ ? *media_ : kNoMedia; }

// --- State ---------------------------------------------------------------------

void ScriptEditor::SetModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  emit modifiedChanged(modified);
}

void ScriptEditor::SetReadOnlyPreview(bool readOnly) {
  FlushPendingEdits();
  if (readOnly == isReadOnly()) return;
  setReadOnly(readOnly);
  emit commandStateChanged();
}

int ScriptEditor::SelectionStart() const { return std::max(0, Selection().first); }

bool ScriptEditor::CanPaste() const {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
  return mime && mime->hasText() && !mime->text().isEmpty();
}

// --- Commands --------------------------------------------------------------------

bool ScriptEditor::InsertMarkCommand(int kind, int param) {
  if (IsReadOnly() || !IsKnownMarkKind(kind)) return false;
  InsertMark(MarkRecord{kind, param}, true);
  SetModified(true);
  return true;
}

bool ScriptEditor::InsertPause(int code, bool remember) {
  if (IsReadOnly() || !IsValidPauseCode(code)) return false;
  InsertMarkCommand(kMarkPause, code);
  if (remember) {
    lastPauseCode_ = code;
    emit lastPauseCodeChanged(code);
  }
  return true;
}

bool ScriptEditor::IsCommandEnabled(int id) const {
  const bool editable = !IsReadOnly();
  const auto [selStart, selEnd] = Selection();
  const bool selected = selStart != selEnd;
  switch (id) {
    case kCmdUndo:
      return editable && document()->isUndoAvailable();
    case kCmdCut:
    case kCmdDelete:
      return editable && selected;
    case kCmdCopy:
      return selected;
    case kCmdPaste:
      return editable && CanPaste();
    case kCmdSelectAll: {
      const auto [start, end] = Selection();
      return Length() > 0 && !(start == 0 && end == Length());
    }
    default:
      return FindEditorCommand(id) != nullptr && editable;
  }
}

bool ScriptEditor::ExecuteCommand(int id) {
  FlushPendingEdits();
  const EditorCommand* command = FindEditorCommand(id);
  if (!command) return false;
  if (id >= kFirstInsertCommand && IsReadOnly()) return false;
  switch (command->action) {
    case EditorAction::kUndo:
      if (IsReadOnly() || !document()->isUndoAvailable()) return false;
      undo();
      SetModified(true);
      return true;
    case EditorAction::kCut:
      return Cut();
    case EditorAction::kCopy:
      return Copy();
    case EditorAction::kPaste:
      return Paste();
    case EditorAction::kDelete:
      if (IsReadOnly() || !textCursor().hasSelection()) return false;
      ReplaceSelection(u"", true);
      SetModified(true);
      return true;
    case EditorAction::kSelectAll:
      selectAll();
      return true;
    case EditorAction::kInsertMark:
      return InsertMarkCommand(command->param, 0);
    case EditorAction::kInsertPause:
      return InsertPause(command->param, true);
    case EditorAction::kAskPause:
      return AskPause();
    case EditorAction::kMusicFromList:
      return ChooseMedia(kMarkMusic);
    case EditorAction::kRecording:
      return ChooseMedia(kMarkRecording);
    case EditorAction::kWrap:
      return Wrap(command->param);
    case EditorAction::kMusicFromFile: {
      if (!hooks_.musicFromFile) return false;
      const Stamp stamp = CurrentStamp();
      const std::optional<int> index = hooks_.musicFromFile();
      return index && Unchanged(stamp) && InsertMarkCommand(kMarkMusic, *index);
    }
  }
  return false;
}

bool ScriptEditor::Copy() {
  if (!textCursor().hasSelection()) return false;
  QMimeData* mime = createMimeDataFromSelection();
  if (!mime || mime->text().isEmpty()) {
    delete mime;
    return false;
  }
  QGuiApplication::clipboard()->setMimeData(mime);
  return true;
}

bool ScriptEditor::Cut() {
  if (IsReadOnly() || !Copy()) return false;
  ReplaceSelection(u"", true);
  SetModified(true);
  return true;
}

bool ScriptEditor::Paste() {
  if (IsReadOnly() || !CanPaste()) return false;
  insertFromMimeData(QGuiApplication::clipboard()->mimeData());
  return true;
}

ScriptEditor::Stamp ScriptEditor::CurrentStamp() const { return Stamp{changeCount_, marksGeneration_}; }

bool ScriptEditor::Unchanged(const Stamp& stamp) const {
  return stamp.changes == changeCount_ && stamp.generation == marksGeneration_;
}

}  // namespace aurisona

#include "script_editor.moc"
