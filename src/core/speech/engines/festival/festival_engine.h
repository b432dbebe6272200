// The Festival backend of SpeechEngine.
//
// Voice: Festival's HTS voice of the speaker of Flite's "slt" (cmu_us_slt_arctic_hts,
// 32 kHz), the clearest US English female voice installed, named "美语女声".
//
// Festival keeps its state in globals and cannot share a process with Flite, so it runs
// in a helper process (aurisona-festival, see festival_protocol.h), started on first use
// or by StartFestivalEarly and shared by every instance, one sentence at a time. A
// helper that dies or hangs is ended, its sentence fails, and the next one starts a new
// helper. Text is handed over as plain ASCII (see SpeechAsciiText) and given to Festival
// as a quoted Scheme string, so nothing in it is ever evaluated.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/speech/speech_engine.h"

namespace aurisona {

class FestivalSpeechEngine final : public SpeechEngine {
 public:
  std::vector<Voice> ListVoices() override;
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                             int volume, const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override { return ready_; }

 private:
  bool ready_ = false;
};

// Starts the helper, which loads the voice, and returns at once: the first
// sentence then need not wait for it. Does nothing when the voice is not installed.
void StartFestivalEarly();

}  // namespace aurisona
