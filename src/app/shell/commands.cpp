#include "app/shell/commands.h"

#include <array>

#include "app/editor/editor_commands.h"

namespace aurisona::shell {
namespace {

using R = EnableRule;

constexpr CommandInfo kCommands[] = {
    // File
    {cmd::kNew, u"新建(&N)\tCtrl+N", u"建立新文档", u"新建", R::kEditable, 0},
    {cmd::kOpen, u"打开(&O)...\tCtrl+O", u"打开一个现有文档", u"打开", R::kEditable, 0},
    {cmd::kSave, u"保存(&S)\tCtrl+S", u"保存活动文档", u"保存", R::kModified, 0},
    {cmd::kSaveAs, u"另存为(&A)...", u"将活动文档以一个新文件名保存", u"另存为", R::kAlways, 0},
    {cmd::kNewFromTemplate, u"从模板新建(&T)...", u"从一份考试模板（自带的或自己保存的）建立新文档", nullptr,
     R::kEditable, 0},
    {cmd::kSaveAsTemplate, u"存为模板(&M)...", u"把当前文档保存为自己的模板，以后可从模板新建", nullptr,
     R::kAlways, 0},
    {cmd::kPreviewAll, u"试听全部(&P)", u"试听当前完整的内容", u"试听", R::kEditable, 0},
    {cmd::kPreviewPart, u"试听部分(&N)", u"从光标所在位置的内容开始试听。", nullptr, R::kEditable, 0},
    {cmd::kPreviewFromCaret, u"试听从光标处开始(&C)", u"从光标所在的句子或标记开始试听到结尾。", nullptr, R::kEditable, 0},
    {cmd::kPreviewButton, nullptr, u"试用当前完整的内容", u"试听", R::kAlways, 0},
    {cmd::kOutputMp3, u"输出MP3(&O)...", u"将完整的内容输出到一个MP3文件。", nullptr, R::kEditable, 0},
    {cmd::kMeasureLength, u"计算节目时长(&L)", u"计算输出MP3的总时长，显示在状态栏。", nullptr, R::kEditable, 0},
    {cmd::kExit, u"退出(&X)", u"退出应用程序；提示保存文档", u"退出", R::kAlways, 0},
    // Edit
    {cmd::kUndo, u"撤消(&U)\tCtrl+Z", u"撤消最后一步操作", u"撤消", R::kUndo, kCmdUndo},
    {cmd::kCut, u"剪切(&T)\tCtrl+X", u"剪切被选对象并将其置于剪贴板上", u"剪切", R::kSelection, kCmdCut},
    {cmd::kCopy, u"复制(&C)\tCtrl+C", u"复制被选对象并将其置于剪贴板上", u"复制", R::kSelection, kCmdCopy},
    {cmd::kPaste, u"粘贴(&P)\tCtrl+V", u"插入剪贴板内容", u"粘贴", R::kPaste, kCmdPaste},
    // Insert
    {cmd::kMale, u"男声(&M)", u"插入男声控制符", u"男声", R::kEditable, kCmdMale},
    {cmd::kFemale, u"女声(&W)", u"插入女声控制符", u"女声", R::kEditable, kCmdFemale},
    {cmd::kMale1, u"男声1(&1)", u"插入男声控制符1", u"男声1", R::kEditable, kCmdMale1},
    {cmd::kFemale1, u"女声1(&2)", u"插入女声控制符1", u"女声1", R::kEditable, kCmdFemale1},
    {cmd::kNoRead, u"禁止朗读(&J)", u"禁止选中的内容的朗读", u"禁止朗读", R::kEditable, kCmdNoRead},
    {cmd::kPromptTone, u"提示音(&S)", u"插入提示音的控制符", u"提示音", R::kEditable, kCmdPromptTone},
    {cmd::kMusicFromList, u"来自列表(&L)", u"插入一个来自列表的音乐片段", u"插入音乐", R::kEditable,
     kCmdMusicFromList},
    {cmd::kMusicFromFile, u"来自文件(&F)", u"插入一个来自文件的音乐片段", u"插入音乐文件", R::kEditable,
     kCmdMusicFromFile},
    {cmd::kRecording, u"真人录音(&R)", u"选择一个录音文件或直接录制一个音乐", u"真人录音", R::kEditable,
     kCmdRecording},
    {cmd::kLastPause, u"前一次(&F)", u"插入前一次暂停时间的控制符", u"暂停", R::kEditable, 0},
    {cmd::kPause03, u"暂停0.3秒", u"插入暂停0.3秒的控制符", u"暂停0.3秒", R::kEditable, kCmdPause03},
    {cmd::kPause05, u"暂停0.5秒", u"插入暂停0.5秒的控制符", u"暂停0.5秒", R::kEditable, kCmdPause05},
    {cmd::kPause1, u"暂停1秒", u"插入暂停1秒的控制符", u"暂停1秒", R::kEditable, kCmdPause1},
    {cmd::kPause2, u"暂停2秒", u"插入暂停2秒的控制符", u"暂停2秒", R::kEditable, kCmdPause2},
    {cmd::kPause3, u"暂停3秒", u"插入暂停3秒的控制符", u"暂停3秒", R::kEditable, kCmdPause3},
    {cmd::kPause5, u"暂停5秒", u"插入暂停5秒的控制符", u"暂停5秒", R::kEditable, kCmdPause5},
    {cmd::kPause10, u"暂停10秒", u"插入暂停10秒的控制符", u"暂停10秒", R::kEditable, kCmdPause10},
    {cmd::kPauseOther, u"其它(&O)...", u"手动输入需要暂停的时间", u"输入暂停时间", R::kEditable,
     kCmdOtherPause},
    {cmd::kRepeatSame, u"同声重复", u"使用同一个男声或女声进行重复朗读", u"同声重复", R::kEditable,
     kCmdRepeat},
    {cmd::kRepeatAlternate, u"男女重复", u"重复时分别使用男声与女声进行一次朗读", u"男女重复", R::kEditable,
     kCmdAltRepeat},
    // Settings
    {cmd::kSettingsPanel, u"语音参数设置(&S)", u"显示或隐藏左侧语音设置面板", u"显隐设置面板", R::kAlways, 0},
    {cmd::kReadingsDictionary, u"朗读词典(&D)...", u"指定词语的读法，并试听", nullptr, R::kAlways, 0},
    {cmd::kPieceCache, u"片段缓存(&C)...", u"显示片段缓存占用的空间，可清空", nullptr, R::kAlways, 0},
    // View
    {cmd::kStatusBar, u"状态栏(&S)", u"显示或隐藏状态栏", u"显隐状态栏", R::kAlways, 0},
    {cmd::kProgrammeView, u"节目视图(&G)", u"显示或隐藏编辑区下方的节目视图：各段语音、暂停、提示音和音乐按时间排成一条",
     nullptr, R::kAlways, 0},
    {cmd::kShowSpoken, u"查看朗读文本(&R)...", u"列出所选内容（未选时全部内容）每一句实际朗读的文字", nullptr,
     R::kAlways, 0},
    {cmd::kSkinSystem, u"系统默认(&N)", u"使用WINDOWS系统界面", nullptr, R::kAlways, 0},
    {cmd::kSkinBlack, u"神秘黑色(&1)", u"", nullptr, R::kAlways, 0},
    {cmd::kSkinChina, u"喜庆中国(&2)", u"", nullptr, R::kAlways, 0},
    {cmd::kSkinGolden, u"金色年华(&3)", u"", nullptr, R::kAlways, 0},
    {cmd::kSkinMetal, u"拉丝金属(&4)", u"", nullptr, R::kAlways, 0},
    // Help
    {cmd::kShowSample, u"显示样稿(&Y)", u"显示一个听力合成的样稿", nullptr, R::kEditable, 0},
    {cmd::kShowHelp, u"使用说明(&U)", u"显示使用说明", nullptr, R::kEditable, 0},
    {cmd::kAbout, u"关于(&A)...", u"显示程序信息，版本号和版权", u"关于", R::kAlways, 0},
    // The close button of the settings panel's pane
    {cmd::kPaneClose, nullptr, u"", nullptr, R::kAlways, 0},
};

using K = MenuEntryKind;
constexpr MenuEntry Item(int id) { return {K::kCommand, id, nullptr}; }
constexpr MenuEntry Item(int id, const char16_t* text) { return {K::kCommand, id, text}; }
constexpr MenuEntry Separator() { return {K::kSeparator, 0, nullptr}; }
constexpr MenuEntry Begin(const char16_t* text) { return {K::kBeginMenu, 0, text}; }
constexpr MenuEntry End() { return {K::kEndMenu, 0, nullptr}; }

constexpr MenuEntry kMenuBar[] = {
    Begin(u"文件(&F)"),
    Item(cmd::kNew), Item(cmd::kNewFromTemplate), Item(cmd::kOpen), {K::kRecentMenu, 0, u"最近打开(&R)"},
    Item(cmd::kSave), Item(cmd::kSaveAs), Item(cmd::kSaveAsTemplate),
    Separator(),
    Item(cmd::kPreviewAll), Item(cmd::kOutputMp3), Item(cmd::kMeasureLength), Separator(),
    Item(cmd::kExit),
    End(),
    Begin(u"编辑(&E)"),
    Item(cmd::kUndo), Separator(), Item(cmd::kCut), Item(cmd::kCopy), Item(cmd::kPaste),
    End(),
    Begin(u"插入(&I)"),
    Item(cmd::kMale), Item(cmd::kFemale), Item(cmd::kMale1), Item(cmd::kFemale1), Separator(),
    Begin(u"暂停(&D)"),
    Item(cmd::kLastPause), Separator(),
    Item(cmd::kPause03), Item(cmd::kPause05), Item(cmd::kPause1), Item(cmd::kPause2), Item(cmd::kPause3),
    Item(cmd::kPause5), Item(cmd::kPause10), Separator(),
    Item(cmd::kPauseOther),
    End(),
    Item(cmd::kPromptTone),
    Begin(u"音乐片段(&C)"), Item(cmd::kMusicFromList), Item(cmd::kMusicFromFile), End(),
    Item(cmd::kRecording), Separator(),
    Begin(u"重复(&R)"), Item(cmd::kRepeatSame), Item(cmd::kRepeatAlternate), End(),
    Item(cmd::kNoRead),
    End(),
    Begin(u"设置(&S)"),
    {K::kToneMenu, 0, u"选择提示音(&T)"},
    Item(cmd::kSettingsPanel),
    Item(cmd::kReadingsDictionary),
    Item(cmd::kPieceCache),
    End(),
    Begin(u"查看(&V)"),
    Item(cmd::kStatusBar),
    Item(cmd::kProgrammeView),
    Item(cmd::kShowSpoken),
    Begin(u"界面皮肤(&S)"),
    Item(cmd::kSkinSystem), Item(cmd::kSkinBlack), Item(cmd::kSkinChina), Item(cmd::kSkinGolden),
    Item(cmd::kSkinMetal),
    End(),
    End(),
    Begin(u"帮助(&H)"),
    Item(cmd::kShowSample), Item(cmd::kShowHelp), Separator(), Item(cmd::kAbout),
    End(),
};

// Drop-down menus of the toolbar, in the order of kDropMenus.
constexpr MenuEntry kPreviewMenu[] = {Item(cmd::kPreviewAll),      Item(cmd::kPreviewPart),
                                      Item(cmd::kPreviewFromCaret), Item(cmd::kOutputMp3),
                                      Item(cmd::kMeasureLength)};
constexpr MenuEntry kMaleMenu[] = {Item(cmd::kMale), Item(cmd::kMale1)};
constexpr MenuEntry kFemaleMenu[] = {Item(cmd::kFemale), Item(cmd::kFemale1, u"女声1(&1)")};
constexpr MenuEntry kPauseMenu[] = {
    Item(cmd::kPause03), Item(cmd::kPause05), Item(cmd::kPause1), Item(cmd::kPause2),
    Item(cmd::kPause3),  Item(cmd::kPause5),  Item(cmd::kPause10), Separator(), Item(cmd::kPauseOther)};
constexpr MenuEntry kMusicMenu[] = {Item(cmd::kMusicFromList), Item(cmd::kMusicFromFile)};

enum DropMenu { kDropPreview, kDropMale, kDropFemale, kDropPause, kDropMusic };
constexpr std::array<std::span<const MenuEntry>, 5> kDropMenus = {
    std::span<const MenuEntry>(kPreviewMenu), std::span<const MenuEntry>(kMaleMenu),
    std::span<const MenuEntry>(kFemaleMenu), std::span<const MenuEntry>(kPauseMenu),
    std::span<const MenuEntry>(kMusicMenu)};

constexpr ToolbarButton kToolbar[] = {
    {cmd::kNew, u"新建", -1},
    {cmd::kOpen, u"打开", -1},
    {cmd::kSave, u"保存", -1},
    {0, nullptr, -1},
    {cmd::kCut, u"剪切", -1},
    {cmd::kCopy, u"复制", -1},
    {cmd::kPaste, u"粘贴", -1},
    {cmd::kUndo, u"撤销", -1},
    {0, nullptr, -1},
    {cmd::kPreviewButton, kPreviewAllLabel, kDropPreview},
    {cmd::kSettingsPanel, u"设置", -1},
    {0, nullptr, -1},
    {cmd::kMale, u"男声", kDropMale},
    {cmd::kFemale, u"女声", kDropFemale},
    {cmd::kLastPause, kPauseButtonLabel, kDropPause},
    {0, nullptr, -1},
    {cmd::kPromptTone, u"提示音", -1},
    {cmd::kMusicFromList, u"音乐", kDropMusic},
    {cmd::kRecording, u"录音", -1},
    {0, nullptr, -1},
    {cmd::kNoRead, u"禁读", -1},
    {cmd::kRepeatSame, u"同声", -1},
    {cmd::kRepeatAlternate, u"男女", -1},
};

}  // namespace

std::span<const CommandInfo> CommandTable() { return kCommands; }

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

std::span<const MenuEntry> MenuBarLayout() { return kMenuBar; }
std::span<const ToolbarButton> ToolbarLayout() { return kToolbar; }
std::span<const std::span<const MenuEntry>> DropMenus() { return kDropMenus; }

}  // namespace aurisona::shell
