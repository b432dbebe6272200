#include "core/speech/engine_registry.h"

namespace aurisona {

#define AURISONA_SPEECH_ENGINE(id) extern const SpeechEngineRegistration kSpeechEngine_##id;
#include "speech_engines.inc"
#undef AURISONA_SPEECH_ENGINE

const std::vector<const SpeechEngineRegistration*>& RegisteredSpeechEngines() {
  static const std::vector<const SpeechEngineRegistration*> engines = {
#define AURISONA_SPEECH_ENGINE(id) &kSpeechEngine_##id,
#include "speech_engines.inc"
#undef AURISONA_SPEECH_ENGINE
  };
  return engines;
}

}  // namespace aurisona
