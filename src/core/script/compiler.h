// The script compiler: turns a script into the segment list that preview and
// output walk, repairing faulty repeat and no-read marks on the way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "media/media_lists.h"
#include "script/script_document.h"

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

struct Segment {
  int32_t kind = 0;
  int32_t param = 0;    // speech: voice 0..3; music: play time; repeats: count
  int32_t chinese = 0;  // speech: 1 when the run holds a Chinese character
  int32_t start = 0;    // document position of the first character
  int32_t end = 0;      // one past the last
  std::u16string text;  // speech: the sentence; music, recording: the file name
  friend bool operator==(const Segment&, const Segment&) = default;
};

inline bool IsPauseSegment(int32_t kind) { return kind >= kSegPauseMin; }

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
