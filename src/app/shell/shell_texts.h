// The texts the application shell shows, in one place.
#pragma once

#include <array>

namespace aurisona::shell::text {

inline constexpr const char16_t* kAppTitle = u"澄聆听力合成系统 2.2";
inline constexpr const char16_t* kDocumentTypeName = u"澄聆听力合成系统文件";

// Status bar: the first pane (its width is that of this text), the last pane.
inline constexpr const char16_t* kReady = u"就绪                    ";
inline constexpr const char16_t* kNotice = u"Linux 版";
// In the status bar when setup.ini cannot be written; the reason follows.
inline constexpr const char16_t* kSettingsNotSaved = u"设置未能保存：";

inline constexpr std::array<const char16_t*, 12> kTips = {
    u"中文由eSpeak NG的普通话语音朗读，英文首选Flite的美式英语语音，英式英语由eSpeak NG朗读，都可在设置面板中选择。",
    u"Sound文件夹存放提示音，放入WAV或MP3的提示音就会自动显示在菜单中。",
    u"Music文件夹存放音乐，可以方便快速的加入到听力合成中。",
    u"Record文件夹存放录音，可以将录音与文本混合制作后输出听力。",
    u"在音乐、男女声、重复等图标上双击，可以重新设置它们的属性。",
    u"点击工具栏上的设置按钮，可以方便的显示或隐藏设置面板。",
    u"工具栏播放按钮右边的下拦菜单中，可以方便的从光标位置开始试听。",
    u"软件智能识别中英文，如果一句有出现中文，则以中文方式朗读，否则识别为英文。",
    u"文本TTS合成的默认音量会偏轻，通过文本自动增益功能，在输出MP3时音量会自动调整到最佳值。",
    u"音乐自动增益，可以将加入的音乐在输出时自动调整到最佳音量。",
    u"如果自己录制的声音较轻时，通过录音自动增益功能会将输出音量调整到最佳值。",
    u"中文语音合成输出时，有时会出现一个词组被不合理的断句的情况，这时可尝试用同音字代替。",
};

inline constexpr const char16_t* kWelcomeTitle = u"欢迎";
inline constexpr const char16_t* kWelcome =
    u"欢迎您第一次使用澄聆英语听力合成系统，您可以在“帮助”菜单下点击“显示样稿”来随时显示样稿。";

// 计算节目时长: its dialog, its message, and the status bar's length once the
// script has changed since.
inline constexpr const char16_t* kMeasureTitle = u"计算节目时长";
inline constexpr const char16_t* kMeasureProgress = u"正在计算节目时长…";
inline constexpr const char16_t* kLengthStale = u"（内容已修改）";
inline constexpr const char16_t* kLengthStaleToolTip = u"脚本在计算之后已修改，请重新计算节目时长。";

// 文件 › 存为模板.
inline constexpr const char16_t* kSaveAsTemplateTitle = u"存为模板";
inline constexpr const char16_t* kTemplateNameLabel = u"模板名称：";
inline constexpr const char16_t* kTemplateReplace = u"已有名为“%1”的模板，要用当前文档替换它吗？";
inline constexpr const char16_t* kTemplateSaved = u"已存为模板：%1";
inline constexpr const char16_t* kTemplateEmpty = u"当前内容为空，不能存为模板！";

// The name of a document that has none yet.
inline constexpr const char16_t* kUntitled = u"无标题";

// 文件 › 最近打开: the last documents, newest first.
inline constexpr const char16_t* kRecentMenu = u"最近打开(&R)";
inline constexpr const char16_t* kRecentEmpty = u"（无）";
inline constexpr const char16_t* kRecentMissing = u"文件不存在，已从“最近打开”列表中删除：";
inline constexpr int kRecentCount = 8;
// setup.ini, section "设置": the list (keys 最近打开1 ... 最近打开8) and the
// folder the file dialogs start in.
inline constexpr const char16_t* kRecentKeyPrefix = u"最近打开";
inline constexpr const char16_t* kLastFolderKey = u"最近文件夹";

// A damaged listening document: what can still be read is offered.
inline constexpr const char16_t* kRecoverTitle = u"文件已损坏";
inline constexpr const char16_t* kRecoverQuestion = u"是否打开其中可以读取的内容？";
inline constexpr const char16_t* kRecoverReadable = u"可以读取：";
inline constexpr const char16_t* kRecoverTextWhole = u"听力文字内容";
inline constexpr const char16_t* kRecoverTextCut = u"听力文字内容的前%1个字";
inline constexpr const char16_t* kRecoverMedia = u"%1个音乐或录音文件";
inline constexpr const char16_t* kRecoverLost = u"已丢失：";
inline constexpr const char16_t* kRecoverLostTextEnd = u"听力文字内容的末尾部分";
inline constexpr const char16_t* kRecoverLostBytes = u"%1字节无法识别的内容";
inline constexpr const char16_t* kRecoverSaveHint = u"恢复的内容将作为一个未保存的新文档打开，请另存为一个新文件。";
inline constexpr const char16_t* kRecoveredSuffix = u"(恢复)";

inline constexpr const char16_t* kSaveTitle = u"保存";
inline constexpr const char16_t* kSaveChangesQuestion = u"是否保存当前内容？";

inline constexpr const char16_t* kOpenDialogTitle = u"打开...";
inline constexpr const char16_t* kOpenFilter =
    u"听力或文本文件(*.lsn *.txt);;听力文件(*.lsn);;文本文件(*.txt);;所有文件(*)";
inline constexpr const char16_t* kSaveDialogTitle = u"保存...";
inline constexpr const char16_t* kSaveFilter = u"听力文件(*.lsn);;文本文件(*.txt)";
inline constexpr const char16_t* kDefaultSuffix = u"lsn";

inline constexpr const char16_t* kAboutTitle = u"关于";
inline constexpr const char16_t* kAboutProduct = u"澄聆听力合成系统 v2.2";
// Two plain lines: what the program does and what it is built on (the Qt
// version is the one running).
inline constexpr const char16_t* kAboutPurpose = u"英语听力材料的语音合成、试听与MP3输出";
inline constexpr const char16_t* kAboutBuiltOn = u"语音：eSpeak NG、Flite　MP3：LAME、mpg123　界面：Qt %1";
inline constexpr const char16_t* kAboutOk = u"确认";

inline constexpr const char16_t* kPaneCloseToolTip = u"关闭";

// Message box buttons.
inline constexpr const char16_t* kYes = u"是(&Y)";
inline constexpr const char16_t* kNo = u"否(&N)";
inline constexpr const char16_t* kCancel = u"取消";
inline constexpr const char16_t* kOk = u"确定";

// Preview.
inline constexpr const char16_t* kPreviewEmpty = u"当前内容为空，不能试听！";
inline constexpr const char16_t* kToneFailedTitle = u"提示音";
inline constexpr const char16_t* kToneFailed = u"提示音播放失败,请检查Sound文件夹中的提示音文件是否存在!";
inline constexpr const char16_t* kMusicFailed = u"音乐播放失败,请检查音乐文件是否存在!";
inline constexpr const char16_t* kRecordingFailed = u"音录音播放失败,请检查录音文件是否存在!";
inline constexpr const char16_t* kPreviewRangeRestored = u"试听部分(&T)";
inline constexpr const char16_t* kSkipPause = u"跳过暂停";
inline constexpr const char16_t* kCountdownFont = u"黑体";

}  // namespace aurisona::shell::text
