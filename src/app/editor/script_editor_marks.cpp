// The script editor's mark dialogs: the context menu, the pause, repeat and
// media choices, wrapping a selection, and editing a mark in place.
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

namespace {

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

}  // namespace aurisona
