// The Flite backend of SpeechEngine.
//
// Voices: Flite's US English clustergen voices "slt" (female) and "rms" (male), and the
// Scottish "awb" offered as the British English male, named "美语女声(Flite)", "美语男声" and
// "英语男声" (stored in setup.ini; they never change; slt was "美语女声" until
// Festival's clearer voice of the same speaker took that name). Flite speaks at 16 kHz.
//
// Flite's voices are registered once per process and shared; every instance shares one
// lock. Text is handed to Flite as plain ASCII (typographic punctuation and accented
// letters folded, anything else a space), so it never meets input it would reject.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/speech/speech_engine.h"

namespace aurisona {

class FliteSpeechEngine final : public SpeechEngine {
 public:
  std::vector<Voice> ListVoices() override;
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                             int volume, const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override { return ready_; }

 private:
  bool ready_ = false;
  VoiceChoice choice_;
};

}  // namespace aurisona
