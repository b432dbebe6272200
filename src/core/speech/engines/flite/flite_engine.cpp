#include "core/speech/engines/flite/flite_engine.h"

#include <flite/flite.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <mutex>

#include "core/speech/ascii_text.h"
#include "core/speech/engine_registry.h"

extern "C" {
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
}

namespace aurisona {
namespace {

constexpr int kFliteSampleRate = 16000;  // of all three voices

struct FliteVoiceEntry {
  cst_voice* (*registrar)(const char*);
  std::u16string_view name;
  VoiceGender gender;
  std::string_view language;
  std::u16string_view display_name;
};
// The order of the lists: the first voice of each kind is the default one.
constexpr std::array<FliteVoiceEntry, 3> kFliteVoices = {{
    {&register_cmu_us_slt, u"美语女声(Flite)", VoiceGender::kFemale, "en-US", u"Flite US English Female (slt) 16kHz"},
    {&register_cmu_us_rms, u"美语男声", VoiceGender::kMale, "en-US", u"Flite US English Male (rms) 16kHz"},
    {&register_cmu_us_awb, u"英语男声", VoiceGender::kMale, "en-GB", u"Flite Scottish English Male (awb) 16kHz"},
}};

struct FliteVoice {
  Voice voice;
  cst_voice* flite = nullptr;
  float duration_stretch = 1.0f;  // the voice's own
};

std::mutex g_mutex;
bool g_initialised = false;
std::vector<FliteVoice> g_voices;
std::vector<Voice> g_listed;  // the voices of g_voices

// Call with g_mutex held.
void EnsureInitialised() {
  if (g_initialised) return;
  g_initialised = true;
  flite_init();
  for (const FliteVoiceEntry& entry : kFliteVoices) {
    cst_voice* v = entry.registrar(nullptr);
    if (!v) continue;
    FliteVoice fv;
    fv.flite = v;
    fv.duration_stretch = flite_get_param_float(v->features, "duration_stretch", 1.0f);
    fv.voice = {std::u16string(entry.name), std::u16string(entry.display_name), std::string(entry.language),
                entry.gender, kFliteSampleRate, u"Flite"};
    g_listed.push_back(fv.voice);
    g_voices.push_back(std::move(fv));
  }
}

// Flite's utterance, freed on every path.
struct Utterance {
  cst_utterance* u = nullptr;
  ~Utterance() {
    if (u) delete_utterance(u);
  }
};

// Flite ends the process on an internal error unless a jump target is set: synthesis
// runs here, with nothing on this frame that needs destroying.
cst_utterance* SynthesiseGuarded(const char* text, cst_voice* voice) {
  jmp_buf target;
  jmp_buf* previous = cst_errjmp;
  cst_errjmp = &target;
  cst_utterance* volatile u = nullptr;
  ResetSpeechRandomness();  // the noise of unvoiced sounds
  if (setjmp(target) == 0) u = flite_synth_text(text, voice);
  else u = nullptr;  // the utterance Flite was building is lost with the error
  cst_errjmp = previous;
  return u;
}

// Where the first segment of a word starts, in seconds; negative when it has none.
float WordStart(cst_item* word) {
  cst_item* syllable = item_daughter(item_as(word, "SylStructure"));
  cst_item* segment = syllable ? item_daughter(syllable) : nullptr;
  if (!segment) return -1.0f;
  cst_item* previous = item_prev(item_as(segment, "Segment"));
  return previous ? item_feat_float(previous, "end") : 0.0f;
}

}  // namespace

std::vector<Voice> FliteSpeechEngine::ListVoices() {
  std::lock_guard lock(g_mutex);
  EnsureInitialised();
  return g_listed;
}

SynthesisStatus FliteSpeechEngine::Synthesize(std::u16string_view text,
                                              std::u16string_view voice_name, int rate,
                                              int volume, const SpeechSink& sink,
                                              Voice* used_voice) {
  if (text.empty()) return SynthesisStatus::kEmptyText;
  std::lock_guard lock(g_mutex);
  EnsureInitialised();
  const int chosen = choice_.Choose(g_listed, voice_name);
  if (chosen < 0) return SynthesisStatus::kNoEngine;
  ready_ = true;
  const FliteVoice& voice = g_voices[static_cast<size_t>(chosen)];
  if (used_voice) *used_voice = voice.voice;

  const std::string input = SpeechAsciiText(text);
  if (std::none_of(input.begin(), input.end(), IsAsciiWordByte)) return SynthesisStatus::kEmptyText;

  flite_feat_set_float(voice.flite->features, "duration_stretch",
                       static_cast<float>(voice.duration_stretch * SpeechDurationFactor(rate)));
  // The noise of Flite's voiced and unvoiced excitation comes from the C library's rand():
  // started from one seed, a sentence sounds the same whatever was synthesised before it,
  // so a sentence said again, or kept in the piece cache, is the sentence as made now.
  std::srand(1);
  Utterance utt;
  utt.u = SynthesiseGuarded(input.c_str(), voice.flite);
  if (!utt.u) return SynthesisStatus::kFailed;
  const cst_wave* wave = utt_wave(utt.u);
  if (!wave || wave->sample_rate <= 0 || wave->num_samples < 0) return SynthesisStatus::kFailed;

  // Words: each token that has sound, found in the text in order.
  std::vector<WordBoundary> words;
  size_t cursor = 0;
  int64_t last_sample = 0;
  for (cst_item* token = relation_head(utt_relation(utt.u, "Token")); token;
       token = item_next(token)) {
    const std::string name = item_feat_string(token, "name");
    if (name.empty()) continue;
    const size_t at = input.find(name, cursor);
    if (at == std::string::npos) continue;
    cursor = at + name.size();
    float start = -1.0f;
    for (cst_item* word = item_daughter(item_as(token, "Token")); word && start < 0;
         word = item_next(word)) {
      start = WordStart(word);
    }
    if (start < 0) continue;
    // Leading and trailing punctuation that Flite kept in the name is not highlighted.
    size_t begin = at;
    size_t end = at + name.size();
    while (begin < end && !IsAsciiWordByte(input[begin])) ++begin;
    while (end > begin && !IsAsciiWordByte(input[end - 1])) --end;
    if (begin == end) continue;
    const int64_t sample =
        std::max(last_sample, static_cast<int64_t>(std::lround(start * wave->sample_rate)));
    last_sample = sample;
    words.push_back({static_cast<int>(begin), static_cast<int>(end - begin), sample});
  }
  if (words.empty()) return SynthesisStatus::kEmptyText;

  std::vector<int16_t> samples(wave->samples, wave->samples + wave->num_samples);
  const double gain = std::clamp(volume, 10, 100) / 100.0;
  if (gain != 1.0) {
    for (int16_t& s : samples) s = static_cast<int16_t>(std::lround(s * gain));
  }
  SpeechChunk chunk;
  chunk.sample_rate = wave->sample_rate;
  chunk.samples = samples;
  chunk.words = words;
  return sink(chunk) ? SynthesisStatus::kOk : SynthesisStatus::kStopped;
}

extern const SpeechEngineRegistration kSpeechEngine_flite = {
    "flite", [](const SpeechEngineOptions&) -> std::unique_ptr<SpeechEngine> {
      return std::make_unique<FliteSpeechEngine>();
    },
    nullptr};

}  // namespace aurisona
