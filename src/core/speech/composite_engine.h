// Several speech engines behind one SpeechEngine: their voices in one list, each
// sentence spoken by the engine that owns the voice.
//
// CreateSpeechEngine() is the program's engine: the voices of every engine built in, in
// the order of their registration (speech/engine_registry.h): Festival's and Flite's
// first (the default English voices, the first of each kind in the lists), then eSpeak
// NG's (Mandarin, British English, and every name stored by earlier versions), then the
// command voices of the data directory. An engine that cannot start simply lists no
// voices; the others keep working.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/speech/engine_registry.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

class CompositeSpeechEngine final : public SpeechEngine {
 public:
  explicit CompositeSpeechEngine(std::vector<std::unique_ptr<SpeechEngine>> engines);

  std::vector<Voice> ListVoices() override;
  // Speech with no word in it (punctuation only, or characters the voice's engine does
  // not read) delivers nothing and returns kEmptyText.
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                             int volume, const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override;

  // The voice a call with `voice_name` would speak with (the same matching and fallback
  // as Synthesize, which it records); nullopt when there is no voice at all.
  std::optional<Voice> SelectVoice(std::u16string_view voice_name);

 private:
  struct Entry {
    Voice voice;
    SpeechEngine* engine = nullptr;
  };
  void EnsureListed();  // with mutex_ held

  std::vector<std::unique_ptr<SpeechEngine>> engines_;
  mutable std::mutex mutex_;
  bool listed_ = false;
  std::vector<Entry> voices_;
  std::vector<Voice> listed_voices_;
  VoiceChoice choice_;
  bool ready_ = false;
};

// Every engine built in together.
std::unique_ptr<SpeechEngine> CreateSpeechEngine(const SpeechEngineOptions& options = {});
std::unique_ptr<CompositeSpeechEngine> CreateCompositeSpeechEngine(const SpeechEngineOptions& options = {});

// Starts, in the background, the engines that take a while to load, so that the first
// sentence spoken need not wait for them. Returns at once.
void StartSpeechEnginesEarly();

}  // namespace aurisona
