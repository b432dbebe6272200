// The main window's commands: identifiers, menu texts, prompts, tooltips,
// enabled-state rules, the editor command each one is forwarded to, and the
// layout of the menu bar, the toolbar and its drop-down menus.
#pragma once

#include <span>

namespace aurisona::shell {

// Main window commands.
namespace cmd {
inline constexpr int kNew = 57600;
inline constexpr int kOpen = 57601;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
inline constexpr int kPreviewAll = 32826;
inline constexpr int kPreviewPart = 32825;
inline constexpr int kPreviewFromCaret = 32902;  // the same, named as the tips name it
inline constexpr int kPreviewButton = 32820;
inline constexpr int kOutputMp3 = 32822;
inline constexpr int kMeasureLength = 32901;  // the programme's length into the status bar
inline constexpr int kReadingsDictionary = 32904;
inline constexpr int kShowSpoken = 32905;  // how each sentence of the selection is read
inline constexpr int kNewFromTemplate = 32906;
inline constexpr int kSaveAsTemplate = 32907;
inline constexpr int kProgrammeView = 32908;  // the strip of the programme under the editor
inline constexpr int kPieceCache = 32909;  // the piece cache's size, and emptying it
inline constexpr int kExit = 57665;
inline constexpr int kUndo = 57643;
inline constexpr int kCut = 57635;
inline constexpr int kCopy = 57634;
inline constexpr int kPaste = 57637;
inline constexpr int kMale = 32788;
inline constexpr int kFemale = 32789;
inline constexpr int kMale1 = 32823;
inline constexpr int kFemale1 = 32824;
inline constexpr int kNoRead = 32818;
inline constexpr int kPromptTone = 32795;
inline constexpr int kMusicFromList = 32827;
inline constexpr int kMusicFromFile = 32829;
inline constexpr int kRecording = 32828;
inline constexpr int kLastPause = 32819;
inline constexpr int kPause03 = 32781;
inline constexpr int kPause05 = 32782;
inline constexpr int kPause1 = 32783;
inline constexpr int kPause2 = 32784;
inline constexpr int kPause3 = 32786;
inline constexpr int kPause5 = 32787;
inline constexpr int kPause10 = 32791;
inline constexpr int kPauseOther = 32792;
inline constexpr int kRepeatSame = 32816;
inline constexpr int kRepeatAlternate = 32817;
inline constexpr int kToneFirst = 35000;  // prompt tone n is kToneFirst + n
inline constexpr int kToneLast = 35100;
inline constexpr int kToneCheckedLast = 35009;  // check marks are kept up to here
inline constexpr int kSettingsPanel = 32774;
inline constexpr int kStatusBar = 59393;
inline constexpr int kSkinSystem = 32889;  // skin 1
inline constexpr int kSkinBlack = 32890;   // skin 2
inline constexpr int kSkinChina = 32891;   // skin 3
inline constexpr int kSkinGolden = 32892;  // skin 4
inline constexpr int kSkinMetal = 32893;   // skin 5
inline constexpr int kShowSample = 32775;
inline constexpr int kShowHelp = 32776;
inline constexpr int kAbout = 57664;
inline constexpr int kPaneClose = 57682;
}  // namespace cmd

// Skin n (1..5) is chosen by command kSkinSystem + n - 1.
inline constexpr int kSkinCount = 5;
inline constexpr int SkinCommand(int skin) { return cmd::kSkinSystem + skin - 1; }

// Commands of the settings panel that preview and output start with.
namespace panel_cmd {
inline constexpr int kPreviewAll = 1008;
inline constexpr int kPreviewFromCaret = 1026;
inline constexpr int kOutputMp3 = 1009;
inline constexpr int kMeasureLength = 1044;
inline constexpr int kReadingsDictionary = 1045;
inline constexpr int kShowSpoken = 1046;
inline constexpr int kPieceCache = 1047;
}  // namespace panel_cmd

// Controls of the shell's own dialogs; each carries its id as its object name.
namespace ctl {
inline constexpr int kOutputProgressBar = 1014;
inline constexpr int kOutputAbort = 1013;
inline constexpr int kCountdownDialog = 278;
inline constexpr int kCountdownLabel = 1039;
inline constexpr int kCountdownSkip = 1;
}  // namespace ctl

// When a command is enabled.
enum class EnableRule {
  kAlways,
  kEditable,   // the editor is not read-only
  kUndo,       // the editor can undo and is editable
  kSelection,  // the selection is not empty and the editor is editable
  kPaste,      // the clipboard holds text and the editor is editable
  kModified,   // the document is modified
};

struct CommandInfo {
  int id;
  const char16_t* menuText;  // the menu item's text; nullptr when it has none of its own
  const char16_t* prompt;    // status bar prompt; "" for none
  const char16_t* toolTip;   // nullptr: the toolbar label serves
  EnableRule enable;
  int editorCommand;  // the editor command (editor/editor_commands.h); 0: the main window's
};

std::span<const CommandInfo> CommandTable();
// The entry of a command; nullptr for ids not in the table (prompt tones).
const CommandInfo* FindCommand(int id);

// Menu layout. A kCommand entry without text uses the command's menu text.
enum class MenuEntryKind { kCommand, kSeparator, kBeginMenu, kEndMenu, kToneMenu, kRecentMenu };
struct MenuEntry {
  MenuEntryKind kind;
  int id;
  const char16_t* text;
};

// The menu bar: top-level menus are kBeginMenu ... kEndMenu at depth 0.
std::span<const MenuEntry> MenuBarLayout();

// The toolbar, left to right; id 0 is a separator. `dropMenu` is the index of
// the button's drop-down menu in DropMenus(), or -1.
struct ToolbarButton {
  int id;
  const char16_t* label;
  int dropMenu;
};
std::span<const ToolbarButton> ToolbarLayout();
inline constexpr int kToolbarButtonCount = 18;

// The drop-down menus of the toolbar (their entries are commands and separators).
std::span<const std::span<const MenuEntry>> DropMenus();

// Labels of the preview button.
inline constexpr const char16_t* kPreviewAllLabel = u"全部试听";
inline constexpr const char16_t* kPreviewPartLabel = u"部分试听";
inline constexpr const char16_t* kPreviewStopLabel = u"停止试听";
inline constexpr const char16_t* kPauseButtonLabel = u"暂停";

}  // namespace aurisona::shell
