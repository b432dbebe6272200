// Which of the eight voice slots speaks a sentence.
//
// Slots: 1 Chinese male, 2 Chinese female, 3 English male, 4 English female of voice
// set 0, then 5 to 8 the same four of voice set 1.
#pragma once

namespace aurisona {

// A speech sentence's voice param, as the script compiler gives it.
enum SentenceVoice : int {
  kSentenceVoiceMale = 0,     // <男>
  kSentenceVoiceFemale = 1,   // <女>
  kSentenceVoiceMale1 = 2,    // <男1>
  kSentenceVoiceFemale1 = 3,  // <女1>
};

// The slot (1..8) for a sentence's voice param and its language; 0 for a param
// outside 0..3.
constexpr int VoiceSlotForSentence(int voice_param, bool chinese) {
  switch (voice_param) {
    case kSentenceVoiceMale: return chinese ? 1 : 3;
    case kSentenceVoiceFemale: return chinese ? 2 : 4;
    case kSentenceVoiceMale1: return chinese ? 5 : 7;
    case kSentenceVoiceFemale1: return chinese ? 6 : 8;
    default: return 0;
  }
}

}  // namespace aurisona
