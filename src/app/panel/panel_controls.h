// Control identifiers and texts of the voice settings panel, in one place.
//
// Every control that carries an identifier gets it as its objectName (in
// decimal), so that the shell, the preview and the tests find it by id.
#pragma once

#include <array>
#include <string_view>

#include "settings/settings_keys.h"

namespace aurisona::panel {

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
    {1, 0, u"男声:", 1004, 1005, 1012},
    {2, 0, u"女声:", 1006, 1007, 1013},
    {3, 1, u"男声:", 1000, 1001, 1010},
    {4, 1, u"女声:", 1002, 1003, 1011},
    {5, 2, u"男声1:", 1020, 1021, 1022},
    {6, 2, u"女声1:", 1023, 1024, 1025},
    {7, 3, u"男声1:", 1014, 1015, 1016},
    {8, 3, u"女声1:", 1017, 1018, 1019},
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

inline constexpr std::array<GainRowEntry, 3> kGainRows{{
    {GainKind::kText, 1028, u"文本自动增益", 1030, u"文本增益(1%-999%)", 1027, 1033},
    {GainKind::kMusic, 1029, u"音乐自动增益", 1032, u"音乐增益(1%-999%)", 1031, 1034},
    {GainKind::kRecording, 1037, u"录音自动增益", 1040, u"录音增益(1%-999%)", 1038, 1039},
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
