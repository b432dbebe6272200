// The speech engines built into the program (see cmake/speech_engines.cmake).
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "core/speech/speech_engine.h"

namespace aurisona {

// What an engine may need to know to start.
struct SpeechEngineOptions {
  std::filesystem::path data_directory;  // empty when there is none
};

// What an engine's folder defines, as kSpeechEngine_ID.
struct SpeechEngineRegistration {
  std::string_view id;
  std::unique_ptr<SpeechEngine> (*create)(const SpeechEngineOptions& options);
  void (*start_early)();  // starts what takes a while, in the background; may be null
};

// In the order their voices are listed.
const std::vector<const SpeechEngineRegistration*>& RegisteredSpeechEngines();

}  // namespace aurisona
