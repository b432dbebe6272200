#include "app/editor/editor_commands.h"

#include <iterator>

#include "core/script/marks.h"

namespace aurisona {
namespace {

constexpr EditorCommand kCommands[] = {
    {kCmdUndo, EditorAction::kUndo, 0},
    {kCmdCut, EditorAction::kCut, 0},
    {kCmdCopy, EditorAction::kCopy, 0},
    {kCmdPaste, EditorAction::kPaste, 0},
    {kCmdDelete, EditorAction::kDelete, 0},
    {kCmdSelectAll, EditorAction::kSelectAll, 0},
    {kCmdMale, EditorAction::kInsertMark, kMarkMale},
    {kCmdFemale, EditorAction::kInsertMark, kMarkFemale},
    {kCmdMale1, EditorAction::kInsertMark, kMarkMale1},
    {kCmdFemale1, EditorAction::kInsertMark, kMarkFemale1},
    {kCmdPromptTone, EditorAction::kInsertMark, kMarkPromptTone},
    {kCmdPause03, EditorAction::kInsertPause, 3},
    {kCmdPause05, EditorAction::kInsertPause, 5},
    {kCmdPause1, EditorAction::kInsertPause, 10},
    {kCmdPause2, EditorAction::kInsertPause, 11},
    {kCmdPause3, EditorAction::kInsertPause, 12},
    {kCmdPause5, EditorAction::kInsertPause, 14},
    {kCmdPause10, EditorAction::kInsertPause, 19},
    {kCmdOtherPause, EditorAction::kAskPause, 0},
    {kCmdMusicFromList, EditorAction::kMusicFromList, 0},
    {kCmdRecording, EditorAction::kRecording, 0},
    {kCmdRepeat, EditorAction::kWrap, kMarkRepeatBegin},
    {kCmdAltRepeat, EditorAction::kWrap, kMarkAltRepeatBegin},
    {kCmdNoRead, EditorAction::kWrap, kMarkNoReadBegin},
    {kCmdMusicFromFile, EditorAction::kMusicFromFile, 0},
};

}  // namespace

const EditorCommand* FindEditorCommand(int id) {
  for (const auto& command : kCommands) {
    if (command.id == id) return &command;
  }
  return nullptr;
}

const EditorCommand* EditorCommandsBegin() { return std::begin(kCommands); }
const EditorCommand* EditorCommandsEnd() { return std::end(kCommands); }

}  // namespace aurisona
