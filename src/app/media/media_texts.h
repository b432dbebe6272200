// The user-visible texts of the music and recording dialogs, and the ids of
// their buttons.
#pragma once

namespace aurisona::media_text {

// Button ids, as the dialogs' result and for finding the buttons.
inline constexpr int kInsertId = 1;
inline constexpr int kCancelId = 2;
inline constexpr int kPlayId = 3;
inline constexpr int kRecordId = 4;
inline constexpr int kDeleteId = 6;

inline constexpr const char16_t* kInsert = u"插入(&I)";
inline constexpr const char16_t* kCancel = u"取消(&N)";
inline constexpr const char16_t* kDelete = u"删除(&D)";
inline constexpr const char16_t* kPlay = u"试播(&P)";
inline constexpr const char16_t* kStop = u"停止(&S)";
inline constexpr const char16_t* kRecord = u"录音(&R)";
inline constexpr const char16_t* kOk = u"确定(&Y)";
inline constexpr const char16_t* kYes = u"是(&Y)";
inline constexpr const char16_t* kNo = u"否(&N)";
inline constexpr const char16_t* kErrorTitle = u"错误";

// The music dialog and the play-time dialog.
inline constexpr const char16_t* kMusicTitle = u"选择音乐";
inline constexpr const char16_t* kMusicLabel = u"音乐文件列表(双击可设置播放时间):";
inline constexpr const char16_t* kColumnNumber = u"No.";
inline constexpr const char16_t* kColumnName = u"文件名";
inline constexpr const char16_t* kColumnTime = u"播放时间";
inline constexpr const char16_t* kSecondsFormat = u"%1秒";
inline constexpr const char16_t* kWhole = u"全部";
inline constexpr const char16_t* kDeleteMusic = u"删除后将无法恢复，是否删除当前选中的音乐?";
inline constexpr const char16_t* kPlayTimeTitle = u"设置音乐播放时间";
inline constexpr const char16_t* kPlayTimeCheck = u"播放指定的时间(不选为全部播放)";
inline constexpr const char16_t* kPlayTimeLabel = u"播放时间设置(单位:秒)";

// Music from a file.
inline constexpr const char16_t* kOpenTitle = u"打开...";
// A filter whose name ends in its own "(patterns)" is shown as written; the
// first names no patterns of its own, so they follow it.
inline constexpr const char16_t* kOpenFilter = u"音乐文件(mp3,wav) (*.mp3 *.wav);;mp3文件(*.mp3);;wav文件(*.wav)";
inline constexpr const char16_t* kOverwriteMusic = u"Music文件夹中已经存在这个文件，是否要覆盖它?";
inline constexpr const char16_t* kCopyFailed = u"复制失败,可能文件正在使用中,请检查后重试!";

// The recording dialog and the name dialog.
inline constexpr const char16_t* kRecordingTitle = u"选择录音";
inline constexpr const char16_t* kRecordingBusyTitle = u"录音进行中...";
inline constexpr const char16_t* kRecordingLabel = u"录音文件列表(双击可重新录制):";
inline constexpr const char16_t* kLevelLabel = u"电平";
inline constexpr const char16_t* kNameExistsTitle = u"名称已存在";
inline constexpr const char16_t* kNameExists = u"当前已经存在相同的录音，是否覆盖旧的录音!";
inline constexpr const char16_t* kMp3NoRerecord = u"录音只支持wav格式，不能对mp3格式进行重新录音!";
inline constexpr const char16_t* kRerecord = u"是否在对当前选中的录音重新进行录制!";
inline constexpr const char16_t* kDeleteRecording = u"删除后将无法恢复，是否删除当前选中的录音?";
inline constexpr const char16_t* kCreateFailed = u"录音文件创建错误！";
inline constexpr const char16_t* kNameTitle = u"录音名称";
inline constexpr const char16_t* kNameLabel = u"输入该录音的名称:";
inline constexpr const char16_t* kNameEmpty = u"您必须要输入一个录音的名称!";
inline constexpr const char16_t* kNameAngle = u"录音的名称中不能含<与>符号!";
// A name that would leave the Record folder.
inline constexpr const char16_t* kNameUnsafe = u"录音的名称中不能含/与\\符号，也不能以..开头!";

// A play button whose file cannot be played.
inline constexpr const char16_t* kCannotPlay = u"无法播放这个文件，它可能已被删除或者格式不正确!";

}  // namespace aurisona::media_text
