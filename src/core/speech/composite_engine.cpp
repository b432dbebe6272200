#include "speech/composite_engine.h"

#include <optional>

#include "speech/espeak_engine.h"
#include "speech/flite_engine.h"
#if AURISONA_WITH_FESTIVAL
#include "speech/festival/festival_engine.h"
#endif

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
}

std::vector<Voice> CompositeSpeechEngine::ListVoices() {
  std::lock_guard lock(mutex_);
  EnsureListed();
  std::vector<Voice> voices;
  for (const Entry& e : voices_) voices.push_back(e.voice);
  return voices;
}

bool CompositeSpeechEngine::IsReady() const {
  std::lock_guard lock(mutex_);
  return ready_;
}

std::optional<Voice> CompositeSpeechEngine::SelectVoice(std::u16string_view voice_name) {
  std::lock_guard lock(mutex_);
  EnsureListed();
  if (voices_.empty()) return std::nullopt;
  for (size_t i = 0; i < voices_.size(); ++i) {
    if (voices_[i].voice.name == voice_name) chosen_ = static_cast<int>(i);
  }
  return voices_[chosen_ < 0 ? 0 : static_cast<size_t>(chosen_)].voice;
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
    if (voices_.empty()) return SynthesisStatus::kNoEngine;
    for (size_t i = 0; i < voices_.size(); ++i) {
      if (voices_[i].voice.name == voice_name) chosen_ = static_cast<int>(i);
    }
    const Entry& entry = voices_[chosen_ < 0 ? 0 : static_cast<size_t>(chosen_)];
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

std::unique_ptr<SpeechEngine> CreateSpeechEngine() {
  std::vector<std::unique_ptr<SpeechEngine>> engines;
#if AURISONA_WITH_FESTIVAL
  engines.push_back(std::make_unique<FestivalSpeechEngine>());
#endif
  engines.push_back(std::make_unique<FliteSpeechEngine>());
  engines.push_back(std::make_unique<EspeakSpeechEngine>());
  return std::make_unique<CompositeSpeechEngine>(std::move(engines));
}

void StartSpeechEnginesEarly() {
#if AURISONA_WITH_FESTIVAL
  StartFestivalEarly();
#endif
}

}  // namespace aurisona
