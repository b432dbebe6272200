// The script compiler: turns a script into the segment list that preview and
// output walk, repairing faulty repeat and no-read marks on the way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/media/media_lists.h"
#include "core/script/script_document.h"
#include "core/speech/voice_slots.h"

namespace aurisona {

enum SegmentKind : int32_t {
  kSegSpeech = 0,
  kSegPromptTone = 1,
  kSegMusic = 2,
  kSegRecording = 3,
  kSegRepeatBegin = 4,
  kSegRepeatEnd = 5,
  kSegAltRepeatBegin = 6,
  kSegAltRepeatEnd = 7,
  kSegNoReadBegin = 8,
  kSegNoReadEnd = 9,
  kSegPauseMin = 100,  // kinds of 100 and more are pauses of that many ms
};

inline constexpr int32_t kMinPauseMs = 100;
inline constexpr int32_t kMaxPauseMs = 60000;

inline bool IsPauseSegment(int32_t kind) { return kind >= kSegPauseMin; }

// One record of the compiled script. The two numbers are stored as the segment
// list has always been written (`compile` prints them as they stand): a pause
// has no kind of its own, its length in milliseconds is its kind, and `param`
// means something else for each kind. Read them through the accessors.
struct Segment {
  int32_t kind = 0;     // a SegmentKind, or a pause's length in ms (kSegPauseMin and more)
  int32_t param = 0;    // see the accessors
  int32_t chinese = 0;  // speech: 1 when the run holds a Chinese character
  int32_t start = 0;    // document position of the first character
  int32_t end = 0;      // one past the last
  std::u16string text;  // speech: the sentence; music, recording: the file name

  bool IsPause() const { return IsPauseSegment(kind); }
  // A pause's length; 0 for every other kind.
  int32_t PauseMilliseconds() const { return IsPause() ? kind : 0; }
  // Speech: the sentence voice (kSentenceVoiceMale … kSentenceVoiceFemale1).
  int32_t SentenceVoice() const { return param; }
  bool IsChinese() const { return chinese != 0; }
  // Speech: the voice slot (1 to 8) that reads it, 0 for an unknown voice.
  int Slot() const { return VoiceSlotForSentence(param, chinese != 0); }
  // Music: seconds of the clip played (0: the whole clip).
  int32_t PlayTime() const { return param; }
  // Repeat ends: the readings still to come, counted down by the walk.
  int32_t RepeatCount() const { return param; }

  friend bool operator==(const Segment&, const Segment&) = default;
};

enum class CompilerMessage { kFaultyNoReadMark, kFaultyRepeatMark, kRepeatCountCapped };

// Largest repeat count the compiler lets through; a larger one is lowered to
// it (the mark in the document too) with kRepeatCountCapped.
inline constexpr int32_t kMaxRepeatCount = 99;

// The text shown for a compiler message.
std::u16string_view CompilerMessageText(CompilerMessage message);

using CompilerReport = std::function<void(CompilerMessage message, int position)>;

// Appends the segments of the whole document to `segments` (callers clear it
// first). Faulty repeat and no-read marks are replaced by a space in the
// document, and `report` is called once per faulty mark, in document order.
void ScriptCompiler(ScriptDocument& doc, const MediaLists& media, std::vector<Segment>& segments,
                    const CompilerReport& report = {});

// Sets of characters the compiler splits and judges text by.
bool IsSentenceEnd(char16_t c);
bool IsIgnorablePunctuation(char16_t c);
bool IsChineseCharacter(char16_t c);

}  // namespace aurisona
