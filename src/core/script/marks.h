// Control marks: the kinds, their tags and the pause codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace aurisona {

// One control mark in a script: what it does and its parameter.
struct MarkRecord {
  int32_t kind = 0;
  int32_t param = 0;
  friend bool operator==(const MarkRecord&, const MarkRecord&) = default;
};

enum MarkKind : int32_t {
  kMarkMale = 0,
  kMarkFemale = 1,
  kMarkMale1 = 2,
  kMarkFemale1 = 3,
  kMarkPromptTone = 4,
  kMarkNoReadBegin = 5,
  kMarkNoReadEnd = 6,
  kMarkRepeatBegin = 7,     // same voice; param = count
  kMarkRepeatEnd = 8,
  kMarkAltRepeatBegin = 9,  // alternating male/female; param = count
  kMarkAltRepeatEnd = 10,
  kMarkMusic = 11,          // param = index into the music list
  kMarkRecording = 12,      // param = index into the recording list
  kMarkPause = 100,         // param = pause code 1..39
};

// The character that stands for a control mark in the plain text.
inline constexpr char16_t kMarkChar = u'\uFFFC';

struct MarkKindInfo {
  int32_t kind;
  const char* name;  // short English identifier, for tools and tests
  const char16_t* tag;  // the tag as written; for kinds with a parameter, its fixed part
};

// Every mark kind, once. Music, recording, pause and repeat begins are written
// with their parameter (see TagFor).
const MarkKindInfo* FindMarkKind(int32_t kind);
bool IsKnownMarkKind(int32_t kind);

// Pause codes: 1..9 are 0.1..0.9 s, 10..39 are 1..30 s.
inline constexpr int kMinPauseCode = 1;
inline constexpr int kMaxPauseCode = 39;
bool IsValidPauseCode(int code);
int PauseCodeToMilliseconds(int code);  // unclamped: code*100 below 10, (code-9)*1000 from 10
// The pause code for a length in seconds, or nothing outside 0.1..30 s.
std::optional<int> PauseCodeFromSeconds(double seconds);
// "<暂停0.7秒>" / "<暂停2秒>"
std::u16string PauseTag(int code);

// The tags without parameters.
inline constexpr std::u16string_view kTagMale = u"<男>";
inline constexpr std::u16string_view kTagFemale = u"<女>";
inline constexpr std::u16string_view kTagMale1 = u"<男1>";
inline constexpr std::u16string_view kTagFemale1 = u"<女1>";
inline constexpr std::u16string_view kTagPromptTone = u"<提示音>";
inline constexpr std::u16string_view kTagNoReadBegin = u"<禁读>";
inline constexpr std::u16string_view kTagNoReadEnd = u"<结束>";
inline constexpr std::u16string_view kTagRepeatEnd = u"<结束1>";
inline constexpr std::u16string_view kTagAltRepeatEnd = u"<结束2>";
inline constexpr std::u16string_view kTagMusicEmpty = u"<音乐>";
inline constexpr std::u16string_view kTagRecordingEmpty = u"<录音>";
inline constexpr std::u16string_view kTagPausePrefix = u"<暂停";
inline constexpr std::u16string_view kTagRepeatPrefix = u"<重复1:";
inline constexpr std::u16string_view kTagAltRepeatPrefix = u"<重复2:";
inline constexpr std::u16string_view kTagMusicPrefix = u"<音乐:";
inline constexpr std::u16string_view kTagRecordingPrefix = u"<录音:";

}  // namespace aurisona
