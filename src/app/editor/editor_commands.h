// The editor's command ids, what each one does, and the editor's own texts.
// The main window forwards its menu and toolbar commands to these ids.
#pragma once

#include <QString>

namespace aurisona {

enum EditorCommandId : int {
  kCmdUndo = 199,
  kCmdCut = 768,
  kCmdCopy = 769,
  kCmdPaste = 770,
  kCmdDelete = 771,
  kCmdSelectAll = 29696,
  kCmdMale = 33792,
  kCmdFemale = 33793,
  kCmdMale1 = 33794,
  kCmdFemale1 = 33795,
  kCmdPromptTone = 33796,
  kCmdPause03 = 33797,
  kCmdPause05 = 33798,
  kCmdPause1 = 33799,
  kCmdPause2 = 33800,
  kCmdPause3 = 33801,
  kCmdPause5 = 33808,
  kCmdPause10 = 33809,
  kCmdOtherPause = 33810,
  kCmdMusicFromList = 33811,
  kCmdRecording = 33812,
  kCmdRepeat = 33813,
  kCmdAltRepeat = 33814,
  kCmdNoRead = 33815,
  kCmdMusicFromFile = 33816,
};

// Commands from this id on insert or change marks; none of them runs while the
// editor is read-only.
inline constexpr int kFirstInsertCommand = kCmdMale;

enum class EditorAction {
  kUndo,
  kCut,
  kCopy,
  kPaste,
  kDelete,
  kSelectAll,
  kInsertMark,   // param = mark kind
  kInsertPause,  // param = pause code, remembered as the last one
  kAskPause,
  kMusicFromList,
  kRecording,
  kWrap,  // param = begin kind; the end kind follows it
  kMusicFromFile,
};

struct EditorCommand {
  int id;
  EditorAction action;
  int param;
};

// The command of an id, or nullptr.
const EditorCommand* FindEditorCommand(int id);
// Every command, in id order.
const EditorCommand* EditorCommandsBegin();
const EditorCommand* EditorCommandsEnd();

// User-visible texts of the editor.
namespace editor_text {
inline const QString kErrorTitle = QStringLiteral("错误");
inline const QString kSelectForRepeat = QStringLiteral("请选中需要重复朗读的内容后，再使用重复功能！");
inline const QString kSelectForNoRead = QStringLiteral("请选中需要禁止朗读的内容后，再使用该功能！");
// A pair of marks that would not pair as written is refused with one of these.
inline const QString kRepeatInsideNoRead =
    QStringLiteral("选中的内容在禁读范围之内，不会被朗读，不能设置重复！");
inline const QString kNoReadInsideNoRead = QStringLiteral("选中的内容已经在禁读范围之内，不会被朗读！");
inline const QString kRepeatOverlapsRepeat = QStringLiteral(
    "重复不能嵌套或交叉：选中的内容与已有的重复范围重叠，请重新选择！\n要修改重复次数，请双击重复开始标记。");
inline const QString kRepeatAfterOpenRepeat = QStringLiteral(
    "选中的内容前面有一个没有结束标记的重复标记，请先删除它或为它加上结束标记！");
inline const QString kNoReadCrossesRepeat = QStringLiteral(
    "禁读范围不能与重复范围交叉：请只选中重复范围之内的内容，或者选中整个重复范围！");
inline const QString kNoReadAfterOpenNoRead = QStringLiteral(
    "选中的内容前面有一个没有结束标记的禁读标记，请先删除它或为它加上结束标记！");
inline const QString kBadPause = QStringLiteral("输入的数值错误，请输入0.1到30之间的数值！");
inline const QString kPauseDialogTitle = QStringLiteral("暂停时间");
inline const QString kRepeatDialogTitle = QStringLiteral("重复次数");
}  // namespace editor_text

}  // namespace aurisona
