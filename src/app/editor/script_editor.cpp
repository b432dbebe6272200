#include "editor/script_editor.h"

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

#include "editor/editor_commands.h"
#include "editor/editor_dialogs.h"
#include "editor/mark_pictures.h"
#include "editor/mark_spans.h"
#include "script/tagged_text.h"

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

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

// The context menu, in order. Submenus open with kSubmenu (label) and close
// with kEnd.
enum class MenuEntry { kItem, kSeparator, kSubmenu, kEnd };
struct ContextMenuItem {
  MenuEntry entry;
  int id;
  const char16_t* label;
};
constexpr ContextMenuItem kContextMenu[] = {
    {MenuEntry::kItem, kCmdUndo, u"撤消(&U)"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdCopy, u"复制(&C)"},
    {MenuEntry::kItem, kCmdCut, u"剪切(&T)"},
    {MenuEntry::kItem, kCmdDelete, u"删除(&D)"},
    {MenuEntry::kItem, kCmdPaste, u"粘贴(&P)"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdSelectAll, u"全选(&A)"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdMale, u"男声(&M)"},
    {MenuEntry::kItem, kCmdFemale, u"女声(&W)"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdMale1, u"男声1(&1)"},
    {MenuEntry::kItem, kCmdFemale1, u"女声1(&2)"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdRecording, u"真人录音"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kSubmenu, 0, u"插入暂停"},
    {MenuEntry::kItem, kCmdPause03, u"暂停0.3秒"},
    {MenuEntry::kItem, kCmdPause05, u"暂停0.5秒"},
    {MenuEntry::kItem, kCmdPause1, u"暂停1秒"},
    {MenuEntry::kItem, kCmdPause2, u"暂停2秒"},
    {MenuEntry::kItem, kCmdPause3, u"暂停3秒"},
    {MenuEntry::kItem, kCmdPause5, u"暂停5秒"},
    {MenuEntry::kItem, kCmdPause10, u"暂停10秒"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdOtherPause, u"其它(O)..."},
    {MenuEntry::kEnd, 0, nullptr},
    {MenuEntry::kSubmenu, 0, u"插入音乐"},
    {MenuEntry::kItem, kCmdPromptTone, u"提示音"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdMusicFromList, u"来自列表"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdMusicFromFile, u"来自文件"},
    {MenuEntry::kEnd, 0, nullptr},
    {MenuEntry::kSubmenu, 0, u"插入重复"},
    {MenuEntry::kItem, kCmdRepeat, u"同声重复朗读"},
    {MenuEntry::kItem, kCmdAltRepeat, u"男女重复朗读"},
    {MenuEntry::kEnd, 0, nullptr},
};

// The menu a double-click on a voice mark opens.
constexpr ContextMenuItem kVoiceMenu[] = {
    {MenuEntry::kItem, kCmdMale, u"男声(&M)"},
    {MenuEntry::kItem, kCmdFemale, u"女声(&W)"},
    {MenuEntry::kSeparator, 0, nullptr},
    {MenuEntry::kItem, kCmdMale1, u"男声1(&1)"},
    {MenuEntry::kItem, kCmdFemale1, u"女声1(&2)"},
};

template <size_t N>
void FillMenu(QMenu* menu, const ContextMenuItem (&items)[N], ScriptEditor* editor) {
  QMenu* current = menu;
  for (const auto& item : items) {
    switch (item.entry) {
      case MenuEntry::kItem: {
        QAction* action = current->addAction(QString::fromUtf16(item.label));
        action->setData(item.id);
        action->setEnabled(editor->IsCommandEnabled(item.id));
        break;
      }
      case MenuEntry::kSeparator:
        current->addSeparator();
        break;
      case MenuEntry::kSubmenu:
        current = menu->addMenu(QString::fromUtf16(item.label));
        break;
      case MenuEntry::kEnd:
        current = menu;
        break;
    }
  }
}

bool IsRepeatBegin(int kind) { return kind == kMarkRepeatBegin || kind == kMarkAltRepeatBegin; }

QString WrapRefusalText(WrapVerdict verdict, bool repeat) {
  switch (verdict) {
    case WrapVerdict::kInsideNoRead:
      return repeat ? editor_text::kRepeatInsideNoRead : editor_text::kNoReadInsideNoRead;
    case WrapVerdict::kOverlapsRepeat:
      return editor_text::kRepeatOverlapsRepeat;
    case WrapVerdict::kAfterOpenRepeat:
      return editor_text::kRepeatAfterOpenRepeat;
    case WrapVerdict::kNoReadCrossesRepeat:
      return editor_text::kNoReadCrossesRepeat;
    case WrapVerdict::kAfterOpenNoRead:
      return editor_text::kNoReadAfterOpenNoRead;
    case WrapVerdict::kOk:
      break;
  }
  return {};
}

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

bool ScriptEditor::AskPause() {
  const Stamp stamp = CurrentStamp();
  std::optional<int> code;
  if (hooks_.askPauseCode) {
    code = hooks_.askPauseCode(0);
  } else {
    PauseTimeDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) code = dialog.code();
  }
  // A document opened while the dialog was open takes no pause meant for
  // the one before.
  return code && Unchanged(stamp) && InsertPause(*code, true);
}

void ScriptEditor::MediaEntryRemoved(int kind, int index) {
  // Every record, also those of marks only the undo history holds.
  for (MarkRecord& record : records_) {
    if (record.kind != kind) continue;
    if (record.param > index) {
      --record.param;
    } else if (record.param == index) {
      record.param = 0;
    }
  }
}

bool ScriptEditor::ChooseMedia(int kind) {
  const auto& hook = kind == kMarkMusic ? hooks_.chooseMusic : hooks_.chooseRecording;
  if (!hook) return false;
  const Stamp stamp = CurrentStamp();
  const std::optional<int> index = hook(-1);
  return index && Unchanged(stamp) && InsertMarkCommand(kind, *index);
}

bool ScriptEditor::Wrap(int beginKind) {
  const auto [start, end] = Selection();
  const bool repeat = IsRepeatBegin(beginKind);
  if (start == end) {
    QMessageBox::critical(this, editor_text::kErrorTitle,
                          repeat ? editor_text::kSelectForRepeat : editor_text::kSelectForNoRead);
    return false;
  }
  // The pair must pair as written: repeats never nest nor cross, a no-read
  // span never cuts a repeat, nothing is wrapped where nothing is read.
  const WrapPlan plan = PlanWrap(*this, beginKind, start, end);
  if (plan.verdict != WrapVerdict::kOk) {
    QMessageBox::critical(this, editor_text::kErrorTitle, WrapRefusalText(plan.verdict, repeat));
    return false;
  }
  int count = 0;
  const Stamp stamp = CurrentStamp();
  if (repeat) {
    std::optional<int> answer;
    if (hooks_.askRepeatCount) {
      answer = hooks_.askRepeatCount(2);
    } else {
      RepeatCountDialog dialog(this, 2);
      if (dialog.exec() == QDialog::Accepted) answer = dialog.count();
    }
    if (!answer) return false;
    count = std::max(2, *answer);
  }
  if (IsReadOnly() || !Unchanged(stamp)) return false;
  {
    Batch batch(*this);
    int wrapStart = plan.start;
    int wrapEnd = plan.end;
    // Marks that would pair with the new ones go first, from the back.
    for (auto it = plan.removals.rbegin(); it != plan.removals.rend(); ++it) {
      SetSelection(*it, *it + 1);
      ReplaceSelection(u"", true);
      --wrapEnd;
      if (*it < wrapStart) --wrapStart;
    }
    // The end mark first, so that the start stays where it is.
    SetSelection(wrapEnd, wrapEnd);
    InsertMark(MarkRecord{beginKind + 1, count}, true);
    SetSelection(wrapStart, wrapStart);
    InsertMark(MarkRecord{beginKind, count}, true);
    // The caret behind the end mark: typing on goes after the wrapped stretch.
    SetSelection(wrapEnd + 2, wrapEnd + 2);
  }
  SetModified(true);
  return true;
}

QMenu* ScriptEditor::CreateContextMenu(QWidget* parent) {
  FlushPendingEdits();
  auto* menu = new QMenu(parent);
  FillMenu(menu, kContextMenu, this);
  return menu;
}

bool ScriptEditor::EditMarkAt(int position, const QPoint& menuPos) {
  FlushPendingEdits();
  if (IsReadOnly()) return false;
  const int index = RecordIndexAt(position);
  if (index < 0) return false;
  const MarkRecord record = records_[static_cast<size_t>(index)];
  SetSelection(position, position + 1);
  FlushPendingEdits();
  // The dialogs and the menu run their own event loops: when the document
  // changed meanwhile (another document opened, say), the mark is no longer
  // there to edit and the answer is dropped.
  const Stamp stamp = CurrentStamp();
  const auto setParam = [&](std::optional<int> value) {
    if (!value || !Unchanged(stamp)) return false;
    records_[static_cast<size_t>(index)].param = *value;
    RefreshMark(position);
    SetModified(true);
    return true;
  };
  switch (record.kind) {
    case kMarkRepeatBegin:
    case kMarkAltRepeatBegin: {
      std::optional<int> count;
      if (hooks_.askRepeatCount) {
        count = hooks_.askRepeatCount(record.param);
      } else {
        RepeatCountDialog dialog(this, record.param);
        if (dialog.exec() == QDialog::Accepted) count = dialog.count();
      }
      if (count) count = std::max(2, *count);
      return setParam(count);
    }
    case kMarkMusic:
      return hooks_.chooseMusic && setParam(hooks_.chooseMusic(record.param));
    case kMarkRecording:
      return hooks_.chooseRecording && setParam(hooks_.chooseRecording(record.param));
    case kMarkPause: {
      std::optional<int> code;
      if (hooks_.askPauseCode) {
        code = hooks_.askPauseCode(record.param);
      } else {
        PauseTimeDialog dialog(this, record.param);
        if (dialog.exec() == QDialog::Accepted) code = dialog.code();
      }
      return code && Unchanged(stamp) && InsertPause(*code, true);
    }
    case kMarkMale:
    case kMarkFemale:
    case kMarkMale1:
    case kMarkFemale1: {
      QMenu menu(this);
      FillMenu(&menu, kVoiceMenu, this);
      const QAction* chosen = menu.exec(menuPos);
      return chosen && Unchanged(stamp) && ExecuteCommand(chosen->data().toInt());
    }
    default:
      return false;
  }
}

bool ScriptEditor::MoveSelectionTo(int dropPosition) {
  FlushPendingEdits();
  if (IsReadOnly()) return false;
  const auto [start, end] = Selection();
  if (start == end || dropPosition < 0 || dropPosition > Length()) return false;
  // Dropped onto itself: the stretch stays where it is.
  if (dropPosition >= start && dropPosition <= end) return false;
  const std::u16string tagged = TaggedText(start, end);
  int target = dropPosition;
  {
    Batch batch(*this);
    SetSelection(start, end);
    ReplaceSelection(u"", true);
    if (target > end) target -= end - start;
    SetSelection(target, target);
    TaggedTextReader(*this, Media(), tagged, false, true);
    SetSelection(target, Selection().second);
  }
  SetModified(true);
  return true;
}

void ScriptEditor::RefreshMark(int position) {
  document()->markContentsDirty(position, 1);
  viewport()->update();
  emit scriptChanged();
}

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

#include "script_editor.moc"
