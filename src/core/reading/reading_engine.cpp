#include "core/reading/reading_engine.h"

namespace aurisona {

ReadingSpeechEngine::ReadingSpeechEngine(std::unique_ptr<SpeechEngine> inner) : inner_(std::move(inner)) {}

void ReadingSpeechEngine::SetDictionary(std::shared_ptr<const ReadingDictionary> dictionary) {
  std::lock_guard lock(mutex_);
  dictionary_ = std::move(dictionary);
}

std::shared_ptr<const ReadingDictionary> ReadingSpeechEngine::Dictionary() const {
  std::lock_guard lock(mutex_);
  return dictionary_;
}

SpokenText ReadingSpeechEngine::Spoken(std::u16string_view text) const {
  const std::shared_ptr<const ReadingDictionary> dictionary = Dictionary();
  return ReadAloud(text, dictionary.get());
}

SynthesisStatus ReadingSpeechEngine::Synthesize(std::u16string_view text, std::u16string_view voice_name,
                                                int rate, int volume, const SpeechSink& sink,
                                                Voice* used_voice) {
  const SpokenText spoken = Spoken(text);
  if (spoken.text == text) return inner_->Synthesize(text, voice_name, rate, volume, sink, used_voice);
  if (spoken.text.empty()) return SynthesisStatus::kEmptyText;
  std::vector<WordBoundary> mapped;
  int last_offset = -1;
  auto remap = [&](const SpeechChunk& chunk) {
    mapped.clear();
    for (const WordBoundary& w : chunk.words) {
      WordBoundary m = w;
      if (!spoken.MapToWritten(w.offset, w.length, &m.offset, &m.length)) continue;
      // A number read in several words is one written word: report it once.
      if (m.offset == last_offset) continue;
      last_offset = m.offset;
      mapped.push_back(m);
    }
    SpeechChunk out = chunk;
    out.words = mapped;
    return sink(out);
  };
  return inner_->Synthesize(spoken.text, voice_name, rate, volume, remap, used_voice);
}

}  // namespace aurisona
