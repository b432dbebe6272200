#include "core/speech/engines/espeak/espeak_engine.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <mutex>

#include "core/speech/engine_registry.h"
#include "core/speech/ssml.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

struct LanguageEntry {
  const char* espeak_language;  // as eSpeak lists it; the first one found is used
  std::u16string_view label;    // in the voice name
  std::u16string_view english;  // in the display name
  std::string_view tag;
};
constexpr std::array<LanguageEntry, 4> kLanguages = {{
    // Mandarin that reads the pinyin it makes as Mandarin; older eSpeak NG has only "cmn",
    // whose latin letters (the pinyin included) are read as English.
    {"cmn-latn-pinyin", u"中文", u"Mandarin", "cmn"},
    {"cmn", u"中文", u"Mandarin", "cmn"},
    {"en-us", u"美音", u"US English", "en-US"},
    {"en-gb", u"英音", u"UK English", "en-GB"},
}};

struct VariantEntry {
  const char* espeak_variant;
  VoiceGender gender;
  std::u16string_view english;  // in the display name
  std::u16string_view label;    // in the voice name
};
constexpr std::array<VariantEntry, 2> kVariants = {
    {{"m3", VoiceGender::kMale, u"Male", u"男声"}, {"f3", VoiceGender::kFemale, u"Female", u"女声"}}};

constexpr int kBufferMilliseconds = 100;

struct EspeakVoice {
  Voice voice;
  std::string spec;  // what espeak_SetVoiceByName takes: "<identifier>+<variant>"
};

struct Synthesis {
  const SsmlText* ssml = nullptr;
  const SpeechSink* sink = nullptr;
  int sample_rate = 0;
  int last_end = 0;  // end of the last word reported
  int64_t last_sample = 0;
  bool stopped = false;
  std::vector<WordBoundary> words;
};

// eSpeak's global state and ours, guarded by g_mutex.
std::mutex g_mutex;
bool g_initialised = false;
int g_sample_rate = 0;
std::vector<EspeakVoice> g_voices;
std::vector<Voice> g_listed;  // the voices of g_voices
std::string g_loaded_spec;
Synthesis* g_synthesis = nullptr;

// The voice file eSpeak prefers for a language: an exact language entry with the
// lowest priority number, the first listed on a tie.
const espeak_VOICE* FindEspeakVoice(const espeak_VOICE** list, const char* language) {
  const espeak_VOICE* best = nullptr;
  int best_priority = 0;
  for (; list && *list; ++list) {
    const char* entry = (*list)->languages;
    if (!entry || !(*list)->identifier) continue;
    // Pairs of a priority byte and a NUL-terminated name, ended by an empty name.
    while (entry[0] != 0 && entry[1] != 0) {
      const int priority = static_cast<unsigned char>(entry[0]);
      const char* name = entry + 1;
      if (strcasecmp(name, language) == 0 && (!best || priority < best_priority)) {
        best = *list;
        best_priority = priority;
      }
      entry = name + std::strlen(name) + 1;
    }
  }
  return best;
}

bool LoadVoice(const std::string& spec);

std::vector<EspeakVoice> FindVoices() {
  std::vector<EspeakVoice> voices;
  const espeak_VOICE** list = espeak_ListVoices(nullptr);
  std::u16string_view done;  // the label of the language last added
  for (const LanguageEntry& language : kLanguages) {
    if (language.label == done) continue;
    const espeak_VOICE* found = FindEspeakVoice(list, language.espeak_language);
    if (!found) continue;
    done = language.label;

    for (const VariantEntry& variant : kVariants) {
      EspeakVoice v;
      v.spec = std::string(found->identifier) + "+" + variant.espeak_variant;
      if (!LoadVoice(v.spec)) continue;
      // Short Chinese names: they are stored in setup.ini and shown in the
      // narrow voice lists of the settings panel.
      v.voice.name = std::u16string(language.label) + std::u16string(variant.label);
      v.voice.gender = variant.gender;
      v.voice.language = language.tag;
      v.voice.display_name = std::u16string(u"eSpeak NG ") + std::u16string(language.english) +
                             u" " + std::u16string(variant.english) + u" 22kHz";
      v.voice.sample_rate = g_sample_rate;
      v.voice.engine = u"eSpeak NG";
      v.voice.carries_state = true;
      voices.push_back(std::move(v));
    }
  }
  return voices;
}

// Makes `spec` the loaded voice. Call with g_mutex held.
bool LoadVoice(const std::string& spec) {
  if (g_loaded_spec == spec) return true;
  g_loaded_spec.clear();
  if (espeak_SetVoiceByName(spec.c_str()) != EE_OK) return false;
  g_loaded_spec = spec;
  return true;
}

// Call with g_mutex held.
bool EnsureInitialised() {
  if (g_initialised) return true;
  espeak_ng_InitializePath(nullptr);
  espeak_ng_ERROR_CONTEXT context = nullptr;
  const espeak_ng_STATUS status = espeak_ng_Initialize(&context);
  espeak_ng_ClearErrorContext(&context);
  if (status != ENS_OK) return false;
  if (espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, kBufferMilliseconds, nullptr) != ENS_OK) {
    return false;
  }
  g_sample_rate = espeak_ng_GetSampleRate();
  if (g_sample_rate <= 0) return false;
  espeak_SetSynthCallback(nullptr);
  g_voices = FindVoices();
  for (const EspeakVoice& v : g_voices) g_listed.push_back(v.voice);
  g_initialised = true;
  return true;
}

int OnSynthesised(short* wav, int count, espeak_EVENT* events) {
  Synthesis* s = g_synthesis;
  if (!s) return 0;
  s->words.clear();
  for (const espeak_EVENT* ev = events; ev && ev->type != espeakEVENT_LIST_TERMINATED; ++ev) {
    if (ev->type != espeakEVENT_WORD || ev->length <= 0) continue;
    int offset = 0;
    int length = 0;
    // eSpeak counts code points of its input from 1.
    if (!s->ssml->MapToSource(static_cast<int64_t>(ev->text_position) - 1, ev->length, &offset,
                              &length)) {
      continue;
    }
    // Words are reported once each, in text order; eSpeak also reports the parts of a
    // number it reads in pieces, which start inside the word already reported.
    if (offset < s->last_end) continue;
    s->last_end = offset + length;
    const int64_t sample = std::max<int64_t>(
        s->last_sample, static_cast<int64_t>(ev->audio_position) * s->sample_rate / 1000);
    s->last_sample = sample;
    s->words.push_back({offset, length, sample});
  }
  if (count <= 0 && s->words.empty()) return 0;
  SpeechChunk chunk;
  chunk.sample_rate = s->sample_rate;
  if (wav && count > 0) chunk.samples = {wav, static_cast<size_t>(count)};
  chunk.words = s->words;
  if (!(*s->sink)(chunk)) {
    s->stopped = true;
    return 1;
  }
  return 0;
}

}  // namespace

std::u16string MandarinDecimals(std::u16string_view text) {
  std::u16string out(text);
  auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  for (size_t i = 1; i + 1 < out.size(); ++i) {
    if (out[i] == u'.' && digit(out[i - 1]) && digit(out[i + 1])) out[i] = u'\u70B9';
  }
  return out;
}

int EspeakWordsPerMinute(int rate) {
  const double wpm = espeakRATE_NORMAL / SpeechDurationFactor(rate);
  // Above espeakRATE_MAXIMUM eSpeak NG speeds up with its own time stretching.
  return std::max(static_cast<int>(std::lround(wpm)), espeakRATE_MINIMUM);
}

int EspeakWordGap(int rate) {
  // eSpeak NG speaks no slower than espeakRATE_MINIMUM words per minute; below that the
  // words are spaced out so the sentence lasts as the speed curve says. One unit of gap
  // at that speed adds about 34 ms a word, and eSpeak's slowest speed speaks a word in
  // about 0.58 s: the gap makes up for the words per minute still missing.
  const double wpm = espeakRATE_NORMAL / SpeechDurationFactor(rate);
  if (wpm >= espeakRATE_MINIMUM) return 0;
  return static_cast<int>(std::lround(23.0 * (espeakRATE_MINIMUM / wpm - 1.0)));
}

int EspeakVolume(int percent) { return std::clamp(percent, 10, 100); }

std::vector<Voice> EspeakSpeechEngine::ListVoices() {
  std::lock_guard lock(g_mutex);
  if (!EnsureInitialised()) return {};
  return g_listed;
}

std::string EspeakSpeechEngine::Phonemes(std::u16string_view text,
                                         std::u16string_view voice_name) {
  std::lock_guard lock(g_mutex);
  if (!EnsureInitialised()) return {};
  const auto voice = std::find_if(g_voices.begin(), g_voices.end(),
                                  [&](const EspeakVoice& v) { return v.voice.name == voice_name; });
  if (voice == g_voices.end()) return {};
  if (!LoadVoice(voice->spec)) return {};
  const std::string utf8 = Utf16ToUtf8(IsChineseVoice(voice->voice) ? MandarinDecimals(text)
                                                                     : std::u16string(text));
  std::string phonemes;
  const void* at = utf8.c_str();
  while (at) {
    const char* clause = espeak_TextToPhonemes(&at, espeakCHARS_UTF8, espeakPHONEMES_SHOW);
    if (!clause) break;
    if (!phonemes.empty()) phonemes += ' ';
    phonemes += clause;
  }
  return phonemes;
}

SynthesisStatus EspeakSpeechEngine::Synthesize(std::u16string_view text,
                                               std::u16string_view voice_name, int rate,
                                               int volume, const SpeechSink& sink,
                                               Voice* used_voice) {
  if (text.empty()) return SynthesisStatus::kEmptyText;
  std::lock_guard lock(g_mutex);
  if (!EnsureInitialised()) return SynthesisStatus::kNoEngine;
  const int chosen = choice_.Choose(g_listed, voice_name);
  if (chosen < 0) return SynthesisStatus::kNoEngine;
  ready_ = true;
  const EspeakVoice& voice = g_voices[static_cast<size_t>(chosen)];
  if (used_voice) *used_voice = voice.voice;
  if (!LoadVoice(voice.spec)) return SynthesisStatus::kFailed;
  espeak_SetParameter(espeakRATE, EspeakWordsPerMinute(rate), 0);
  espeak_SetParameter(espeakWORDGAP, EspeakWordGap(rate), 0);
  espeak_SetParameter(espeakVOLUME, EspeakVolume(volume), 0);

  const SsmlText ssml = PrepareSsml(IsChineseVoice(voice.voice) ? MandarinDecimals(text)
                                                                 : std::u16string(text));
  Synthesis synthesis;
  synthesis.ssml = &ssml;
  synthesis.sink = &sink;
  synthesis.sample_rate = g_sample_rate;
  g_synthesis = &synthesis;
  espeak_SetSynthCallback(&OnSynthesised);
  ResetSpeechRandomness();
  const espeak_ERROR error =
      espeak_Synth(ssml.utf8.c_str(), ssml.utf8.size() + 1, 0, POS_CHARACTER, 0,
                   espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
  espeak_SetSynthCallback(nullptr);
  g_synthesis = nullptr;
  if (synthesis.stopped) return SynthesisStatus::kStopped;
  return error == EE_OK ? SynthesisStatus::kOk : SynthesisStatus::kFailed;
}

extern const SpeechEngineRegistration kSpeechEngine_espeak = {
    "espeak", [](const SpeechEngineOptions&) -> std::unique_ptr<SpeechEngine> {
      return std::make_unique<EspeakSpeechEngine>();
    },
    nullptr};

}  // namespace aurisona
