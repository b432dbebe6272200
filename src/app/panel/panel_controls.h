// Control identifiers and texts of the voice settings panel, in one place.
//
// Every control that carries an identifier gets it as its objectName (in
// decimal), so that the shell, the preview and the tests find it by id.
#pragma once

#include <array>
#include <string_view>

#include "core/settings/settings_keys.h"

namespace aurisona::panel {

// The control identifiers below are fixed numbers (setup.ini and the shell's
// tables use them); code and tests use their names.

// The panel's resource id, kept for the command tables of the shell.
inline constexpr int kPanelDialogId = 201;

// The three buttons and the commands they send.
inline constexpr int kPreviewAllId = 1008;
inline constexpr int kPreviewFromCaretId = 1026;
inline constexpr int kOutputId = 1009;

struct ButtonEntry {
  int id;
  std::u16string_view text;
};

inline constexpr std::array<ButtonEntry, 3> kButtons{{
    {kPreviewAllId, u"试听全部(&T)"},
    {kPreviewFromCaretId, u"试听部分(&T)"},
    {kOutputId, u"输出MP3(&S)"},
}};

// Texts the preview gives the buttons while it runs and when it ends.
inline constexpr std::u16string_view kStopButtonText = u"停止(&X)";
inline constexpr std::u16string_view kPreviewAllRestoredText = u"试听全部(&A)";

// The four group boxes of voice rows, top to bottom.
inline constexpr std::array<std::u16string_view, 4> kVoiceGroupTitles{
    u"中文:", u"英文:", u"中文:", u"英文:"};

inline constexpr std::u16string_view kSpeedCaption = u"语速:";
inline constexpr std::u16string_view kVolumeCaption = u"音量:";

// The lists of the voice rows by name: Cn/En is the group's language, 1 the
// second voice set.
inline constexpr int kCnMaleVoice = 1004, kCnMaleSpeed = 1005, kCnMaleVolume = 1012;
inline constexpr int kCnFemaleVoice = 1006, kCnFemaleSpeed = 1007, kCnFemaleVolume = 1013;
inline constexpr int kEnMaleVoice = 1000, kEnMaleSpeed = 1001, kEnMaleVolume = 1010;
inline constexpr int kEnFemaleVoice = 1002, kEnFemaleSpeed = 1003, kEnFemaleVolume = 1011;
inline constexpr int kCnMale1Voice = 1020, kCnMale1Speed = 1021, kCnMale1Volume = 1022;
inline constexpr int kCnFemale1Voice = 1023, kCnFemale1Speed = 1024, kCnFemale1Volume = 1025;
inline constexpr int kEnMale1Voice = 1014, kEnMale1Speed = 1015, kEnMale1Volume = 1016;
inline constexpr int kEnFemale1Voice = 1017, kEnFemale1Speed = 1018, kEnFemale1Volume = 1019;

// One voice row: the slot it edits and the ids of its three lists.
struct VoiceRowEntry {
  int slot;   // 1..8
  int group;  // index into kVoiceGroupTitles
  std::u16string_view label;
  int voiceList;
  int speedList;
  int volumeList;
};

// In slot order; rows of the same group are adjacent.
inline constexpr std::array<VoiceRowEntry, kVoiceSlotCount> kVoiceRows{{
    {1, 0, u"男声:", kCnMaleVoice, kCnMaleSpeed, kCnMaleVolume},
    {2, 0, u"女声:", kCnFemaleVoice, kCnFemaleSpeed, kCnFemaleVolume},
    {3, 1, u"男声:", kEnMaleVoice, kEnMaleSpeed, kEnMaleVolume},
    {4, 1, u"女声:", kEnFemaleVoice, kEnFemaleSpeed, kEnFemaleVolume},
    {5, 2, u"男声1:", kCnMale1Voice, kCnMale1Speed, kCnMale1Volume},
    {6, 2, u"女声1:", kCnFemale1Voice, kCnFemale1Speed, kCnFemale1Volume},
    {7, 3, u"男声1:", kEnMale1Voice, kEnMale1Speed, kEnMale1Volume},
    {8, 3, u"女声1:", kEnFemale1Voice, kEnFemale1Speed, kEnFemale1Volume},
}};

// Speed list entries: "慢速:%d" for rate -10..-1 (absolute value), "正常" for
// 0, "快速:%d" for 1..10. Entry position = rate + 10.
inline constexpr std::u16string_view kSlowFormatPrefix = u"慢速:";
inline constexpr std::u16string_view kNormalSpeedText = u"正常";
inline constexpr std::u16string_view kFastFormatPrefix = u"快速:";
inline constexpr int kSpeedEntryCount = 21;
// Volume list entries: "%d%%" for 10, 20, ... 100. Position = volume / 10 - 1.
inline constexpr int kVolumeEntryCount = 10;

inline constexpr std::u16string_view kOutputGroupTitle = u"MP3输出音量设置:";

enum class GainKind { kText, kMusic, kRecording };

struct GainRowEntry {
  GainKind kind;
  int automaticBox;
  std::u16string_view automaticText;
  int fixedBox;
  std::u16string_view fixedText;
  int percentEdit;
  int percentLabel;
};

inline constexpr std::u16string_view kPercentSign = u"%";

// The gain rows' controls by name: the automatic box, the fixed box, the
// percent edit and its sign.
inline constexpr int kTextAutoGain = 1028, kTextGain = 1030, kTextGainEdit = 1027, kTextGainSign = 1033;
inline constexpr int kMusicAutoGain = 1029, kMusicGain = 1032, kMusicGainEdit = 1031, kMusicGainSign = 1034;
inline constexpr int kRecordingAutoGain = 1037, kRecordingGain = 1040, kRecordingGainEdit = 1038,
                     kRecordingGainSign = 1039;

inline constexpr std::array<GainRowEntry, 3> kGainRows{{
    {GainKind::kText, kTextAutoGain, u"文本自动增益", kTextGain, u"文本增益(1%-999%)", kTextGainEdit, kTextGainSign},
    {GainKind::kMusic, kMusicAutoGain, u"音乐自动增益", kMusicGain, u"音乐增益(1%-999%)", kMusicGainEdit,
     kMusicGainSign},
    {GainKind::kRecording, kRecordingAutoGain, u"录音自动增益", kRecordingGain, u"录音增益(1%-999%)",
     kRecordingGainEdit, kRecordingGainSign},
}};

inline constexpr int kFadeBoxId = 1035;
inline constexpr std::u16string_view kFadeBoxText = u"音乐淡入淡出,过渡时间( 1秒－10秒):";
inline constexpr int kFadeEditId = 1036;

// Loudness normalisation (replaces the three gains while on) and subtitles
// written beside every MP3.
inline constexpr int kLoudnessBoxId = 1041;
inline constexpr std::u16string_view kLoudnessBoxText = u"响度均衡(EBU R128):";
inline constexpr int kLoudnessTargetId = 1042;
inline constexpr std::u16string_view kLoudnessUnit = u" LUFS";
inline constexpr int kSubtitlesBoxId = 1043;
inline constexpr std::u16string_view kSubtitlesBoxText = u"同时输出字幕文件(LRC、SRT)";

}  // namespace aurisona::panel
