// The eSpeak NG backend of SpeechEngine.
//
// Voices: the installed Mandarin (the pinyin-reading "cmn-latn-pinyin", else "cmn"), American English ("en-us") and British English
// ("en-gb") eSpeak voices, each as a male and a female variant, named
// "中文男声", "中文女声", "美音男声", ... "英音女声" (names are stored in
// setup.ini and never change).
// eSpeak speaks at 22050 Hz.
//
// eSpeak NG keeps global state: every instance shares one lock and one initialisation,
// done on first use with the default data folder. Each instance remembers the voice its
// last matching call chose; before any match the default voice is the first one listed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/speech/speech_engine.h"

namespace aurisona {

class EspeakSpeechEngine final : public SpeechEngine {
 public:
  std::vector<Voice> ListVoices() override;
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                             int volume, const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override { return ready_; }

  // eSpeak NG's phonemes for `text` in the voice named `voice_name` (exactly; empty when
  // there is no such voice), as its -x option shows them: a change of language rules
  // shows as "(en)", and back as "(cmn)". Text is read as the voice reads it.
  std::string Phonemes(std::u16string_view text, std::u16string_view voice_name);

 private:
  bool ready_ = false;
  VoiceChoice choice_;
};

// Rate -10..10 as eSpeak words per minute: 175 * 3^(rate/10), at least 80.
int EspeakWordsPerMinute(int rate);
// The gap between words (eSpeak's units) that slows speech below 80 words per minute.
int EspeakWordGap(int rate);
// The Mandarin voice reads "1.5" as "1 5": a point between two digits becomes "点"
// (one UTF-16 unit for one, so offsets into the text stay valid).
std::u16string MandarinDecimals(std::u16string_view text);
// Volume percent 10..100 as eSpeak's volume (100 is its normal volume).
int EspeakVolume(int percent);

}  // namespace aurisona
