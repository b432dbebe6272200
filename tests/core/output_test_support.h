// Helpers for the output tests: the shared WAV and MP3 fixtures, segments and
// voice settings for a job, and a speech engine whose sentences are tones.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/script/compiler.h"
#include "core/settings/settings_record.h"
#include "core/speech/speech_engine.h"
#include "core/speech/voice.h"
#include "support/mp3.h"
#include "support/wav.h"
#include "core/util/text.h"

namespace aurisona::testing {

// A segment as the compiler makes it, with no place in the editor's text.
inline Segment Seg(int32_t kind, int32_t param, std::u16string text = {}, int32_t chinese = 0) {
  return Segment{kind, param, chinese, 0, 1, std::move(text)};
}

// Settings whose voice slots take the first voice the engine offers each.
inline SettingsRecord FirstVoices(SpeechEngine& engine) {
  SettingsRecord record;
  const VoiceSlotLists lists = DistributeVoices(engine.ListVoices());
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    record.SlotAt(slot)->voice = lists[size_t(slot - 1)].empty() ? u"" : lists[size_t(slot - 1)].front();
  }
  return record;
}

// A speech engine whose sentences are sine tones at 22050 Hz: the voice sets
// the pitch (male 300 Hz, female 600 Hz; voice set 1: 450 and 900 Hz), the
// text the length (40 ms per UTF-16 unit). Voice names: "ZhM", "ZhF", "EnM",
// "EnF", "ZhM1", "ZhF1", "EnM1", "EnF1"; "Fail" fails. Every call is logged
// as "voice:text" (in the order they came, from any thread).
class ToneSpeechEngine : public SpeechEngine {
 public:
  static double PitchOf(std::u16string_view voice) {
    const bool set1 = !voice.empty() && voice.back() == u'1';
    const bool female = voice.find(u'F') != std::u16string_view::npos && voice != u"Fail";
    return (set1 ? 450.0 : 300.0) * (female ? 2 : 1);
  }
  std::vector<Voice> ListVoices() override {
    std::vector<Voice> voices;
    for (const char16_t* name : {u"ZhM", u"ZhF", u"EnM", u"EnF", u"ZhM1", u"ZhF1", u"EnM1", u"EnF1", u"Fail"}) {
      voices.push_back(Voice{name, u"Tone 22kHz", "en-US", VoiceGender::kMale, 22050, u"Tone"});
    }
    return voices;
  }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int, int,
                             const SpeechSink& sink, Voice* used_voice) override {
    {
      std::lock_guard lock(mutex_);
      calls.push_back(Utf16ToUtf8(voice_name) + ":" + Utf16ToUtf8(text));
    }
    if (voice_name == u"Fail") return SynthesisStatus::kFailed;
    if (text.empty()) return SynthesisStatus::kEmptyText;
    if (used_voice) *used_voice = Voice{std::u16string(voice_name), u"Tone 22kHz", "en-US", VoiceGender::kMale, 22050, u"Tone"};
    const std::vector<int16_t> pcm = Sine(text.size() * 882, 1, PitchOf(voice_name), 22050, 12000);
    SpeechChunk chunk;
    chunk.sample_rate = 22050;
    chunk.samples = pcm;
    sink(chunk);
    return SynthesisStatus::kOk;
  }
  bool IsReady() const override { return true; }
  std::vector<std::string> calls;

 private:
  std::mutex mutex_;
};

}  // namespace aurisona::testing
