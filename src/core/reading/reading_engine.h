// A speech engine that reads through the reading step: every sentence is handed to the
// engine it wraps as ReadAloud() writes it out, and the word boundaries the engine
// reports are mapped back to the sentence as written, so highlighting and subtitle
// timing point at the written words.
#pragma once

#include <memory>
#include <mutex>

#include "core/reading/read_aloud.h"
#include "core/reading/readings_dictionary.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

class ReadingSpeechEngine : public SpeechEngine {
 public:
  explicit ReadingSpeechEngine(std::unique_ptr<SpeechEngine> inner);

  // The readings dictionary used from the next sentence on (none: rules only).
  void SetDictionary(std::shared_ptr<const ReadingDictionary> dictionary);
  std::shared_ptr<const ReadingDictionary> Dictionary() const;

  // What the wrapped engine is handed for `text`.
  SpokenText Spoken(std::u16string_view text) const;

  std::vector<Voice> ListVoices() override { return inner_->ListVoices(); }
  bool IsReady() const override { return inner_->IsReady(); }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                             int volume, const SpeechSink& sink, Voice* used_voice) override;

 private:
  std::unique_ptr<SpeechEngine> inner_;
  mutable std::mutex mutex_;
  std::shared_ptr<const ReadingDictionary> dictionary_;
};

}  // namespace aurisona
