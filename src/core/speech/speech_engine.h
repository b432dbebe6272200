// The program's adapter to a speech synthesiser.
//
// A backend lists its voices and turns a sentence into 16-bit mono PCM with word-boundary
// events. Speaking into a WAV file is built on that here, the same for every backend.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/speech/voice.h"

namespace aurisona {

// A word starts being heard at `sample` (counted from the start of the sentence's
// audio); it is `length` UTF-16 units of the caller's text from `offset`.
struct WordBoundary {
  int offset = 0;
  int length = 0;
  int64_t sample = 0;

  bool operator==(const WordBoundary&) const = default;
};

// One piece of synthesised audio as it is produced. A word's sample position may lie
// beyond the samples delivered so far.
struct SpeechChunk {
  int sample_rate = 0;
  std::span<const int16_t> samples;       // 16-bit mono
  std::span<const WordBoundary> words;    // in order of their sample positions
};

// Receives the chunks of one synthesis; return false to stop it. It runs while the
// engine is locked and must not call into any SpeechEngine.
using SpeechSink = std::function<bool(const SpeechChunk&)>;

// A whole sentence's audio.
struct SpeechAudio {
  Voice voice;  // the voice that spoke it
  int sample_rate = 0;
  std::vector<int16_t> samples;
  std::vector<WordBoundary> words;
};

enum class SynthesisStatus {
  kOk,
  kEmptyText,  // nothing to speak; no audio
  kNoEngine,   // the synthesiser cannot be initialised or has no voice
  kFailed,     // the synthesiser failed part way; the audio delivered may be incomplete
  kStopped,    // the sink asked to stop
};

enum class SpeakOutcome {
  kWritten,          // the file holds the sentence, complete and closed
  kNothingToSpeak,   // empty text: the file was not touched
  kNoEngine,         // no synthesiser: the file was not touched
  kSynthesisFailed,  // the file was not touched
  kWriteFailed,      // the file could not be written; an earlier file of that name is unchanged
};

class SpeechEngine {
 public:
  virtual ~SpeechEngine() = default;

  // The installed voices, in a stable order.
  virtual std::vector<Voice> ListVoices() = 0;

  // Speaks `text` into the sink. `voice_name` is matched exactly and case-sensitively
  // against the voices' names; without a match (or with an empty name) the voice of the
  // last call that matched speaks, or the default voice when none did. `rate` is -10
  // (slowest) .. 0 (normal) .. 10 (fastest); `volume` is 10..100 percent. Values outside
  // these ranges are clamped. `used_voice`, when given, receives the voice that spoke.
  virtual SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name,
                                     int rate, int volume, const SpeechSink& sink,
                                     Voice* used_voice) = 0;

  // True once the synthesiser has been initialised by this engine.
  virtual bool IsReady() const = 0;

  // The whole sentence at once.
  SynthesisStatus SynthesizeAll(std::u16string_view text, std::u16string_view voice_name,
                                int rate, int volume, SpeechAudio* audio);

  // Speaks `text` into a RIFF WAVE file: 16-bit mono PCM at the sample rate of the voice
  // that speaks. The file is complete and closed when this returns; it replaces an
  // existing file only once it is fully written, so a failure leaves the old one as it was.
  // Returns false when no synthesiser can be initialised, or when the text is empty and
  // the synthesiser has not been initialised yet; true otherwise, also when nothing was
  // written: `outcome` tells whether the file now holds this sentence.
  bool Speak(std::u16string_view text, const std::filesystem::path& file,
             std::u16string_view voice_name, int rate, int volume,
             SpeakOutcome* outcome = nullptr);
};

// Why the last synthesis on this thread failed, in one line naming the voice, and forgets
// it; empty when the engine that failed gave no reason. Engines call ReportSpeechFailure
// before they return kFailed.
std::string TakeSpeechFailure();
void ReportSpeechFailure(std::string reason);

// Puts the C library's random generator, which Flite and eSpeak NG draw their noise from,
// back to the same state: an engine calls it before each sentence, so that a sentence
// sounds the same whatever was said before it in the process.
void ResetSpeechRandomness();

// How much longer speech at `rate` (-10..10, clamped) lasts than at rate 0: 3^(-rate/10).
// Every backend follows this curve.
double SpeechDurationFactor(int rate);

// A 44-byte-header RIFF WAVE file of 16-bit mono PCM.
std::string EncodeWavMono16(std::span<const int16_t> samples, int sample_rate);

// Linear-interpolation resampling of 16-bit mono PCM.
std::vector<int16_t> ResampleMono16(std::span<const int16_t> samples, int from_rate, int to_rate);

// Band-limited resampling of 16-bit mono PCM (a Blackman-windowed sinc): nothing above
// the lower rate's Nyquist frequency folds back. floor(size * to / from) samples.
std::vector<int16_t> ResampleBandLimited(std::span<const int16_t> samples, int from_rate, int to_rate);

}  // namespace aurisona
