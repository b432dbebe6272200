#include "core/speech/composite_engine.h"

#include <optional>


namespace aurisona {

CompositeSpeechEngine::CompositeSpeechEngine(std::vector<std::unique_ptr<SpeechEngine>> engines)
    : engines_(std::move(engines)) {}

void CompositeSpeechEngine::EnsureListed() {
  if (listed_) return;
  listed_ = true;
  for (const auto& engine : engines_) {
    for (Voice& v : engine->ListVoices()) {
      bool taken = false;  // a name already listed keeps its first engine
      for (const Entry& e : voices_) taken = taken || e.voice.name == v.name;
      if (!taken) voices_.push_back({std::move(v), engine.get()});
    }
  }
  for (const Entry& e : voices_) listed_voices_.push_back(e.voice);
}

std::vector<Voice> CompositeSpeechEngine::ListVoices() {
  std::lock_guard lock(mutex_);
  EnsureListed();
  return listed_voices_;
}

bool CompositeSpeechEngine::IsReady() const {
  std::lock_guard lock(mutex_);
  return ready_;
}

std::optional<Voice> CompositeSpeechEngine::SelectVoice(std::u16string_view voice_name) {
  std::lock_guard lock(mutex_);
  EnsureListed();
  const int chosen = choice_.Choose(listed_voices_, voice_name);
  if (chosen < 0) return std::nullopt;
  return voices_[static_cast<size_t>(chosen)].voice;
}

SynthesisStatus CompositeSpeechEngine::Synthesize(std::u16string_view text,
                                                  std::u16string_view voice_name, int rate,
                                                  int volume, const SpeechSink& sink,
                                                  Voice* used_voice) {
  if (text.empty()) return SynthesisStatus::kEmptyText;
  SpeechEngine* engine = nullptr;
  std::u16string name;
  {
    std::lock_guard lock(mutex_);
    EnsureListed();
    const int chosen = choice_.Choose(listed_voices_, voice_name);
    if (chosen < 0) return SynthesisStatus::kNoEngine;
    const Entry& entry = voices_[static_cast<size_t>(chosen)];
    engine = entry.engine;
    name = entry.voice.name;
    ready_ = true;
  }
  // Audio is held back until the first word: a sentence without one adds nothing.
  std::vector<int16_t> held;
  bool spoken = false;
  const SynthesisStatus status = engine->Synthesize(
      text, name, rate, volume,
      [&](const SpeechChunk& chunk) {
        if (!spoken && chunk.words.empty()) {
          held.insert(held.end(), chunk.samples.begin(), chunk.samples.end());
          return true;
        }
        if (!spoken && !held.empty()) {
          spoken = true;
          held.insert(held.end(), chunk.samples.begin(), chunk.samples.end());
          SpeechChunk joined = chunk;
          joined.samples = held;
          return sink(joined);
        }
        spoken = true;
        return sink(chunk);
      },
      used_voice);
  if (!spoken && (status == SynthesisStatus::kOk || status == SynthesisStatus::kEmptyText)) {
    return SynthesisStatus::kEmptyText;
  }
  return status;
}

std::unique_ptr<SpeechEngine> CreateSpeechEngine(const SpeechEngineOptions& options) {
  return CreateCompositeSpeechEngine(options);
}

std::unique_ptr<CompositeSpeechEngine> CreateCompositeSpeechEngine(const SpeechEngineOptions& options) {
  std::vector<std::unique_ptr<SpeechEngine>> engines;
  for (const SpeechEngineRegistration* engine : RegisteredSpeechEngines()) engines.push_back(engine->create(options));
  return std::make_unique<CompositeSpeechEngine>(std::move(engines));
}

void StartSpeechEnginesEarly() {
  for (const SpeechEngineRegistration* engine : RegisteredSpeechEngines()) {
    if (engine->start_early) engine->start_early();
  }
}

}  // namespace aurisona
