// The programme timeline: where every piece of the output stands in the MP3
// and when each spoken sentence begins, from a render or from a measuring run
// that synthesises and decodes but does not encode.
//
// Each piece is an MP3 stream of its own: LAME starts it with 576 samples of
// delay and pads its end with at least 576 samples up to a whole frame of
// 1152, after resampling the source to 44100 Hz. A decoder adds its own 529
// samples of delay before the first sound of the stream is heard.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/audio/render.h"
#include "core/output/output_job.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

inline constexpr uint32_t kMp3SampleRate = 44100;
inline constexpr uint64_t kMp3FrameSamples = 1152;
// Samples from a piece's first frame to the first sample of its source, as a
// decoder gives them: LAME's start delay (576) and the decoder's delay (529).
inline constexpr uint64_t kPieceSoundDelay = 576 + 529;

// MP3 frames LAME writes for `inputFrames` stereo frames at `sampleRate`
// (resampled to 44100 Hz when the rate differs). 0 input frames give none.
uint64_t Mp3FramesForPiece(uint32_t sampleRate, uint64_t inputFrames);

// What one piece hands the encoder, counted without encoding.
struct PieceCount {
  uint32_t sampleRate = 0;
  uint64_t inputFrames = 0;
  uint64_t mp3Frames = 0;
};

// Renders a piece (silence of `milliseconds`, or the sound file) up to the
// encoder and counts it. Rendered when the piece would add frames.
RenderResult CountPiece(bool silence, int32_t milliseconds, const std::filesystem::path& path,
                        PieceKind kind, int32_t playTimeSeconds, PieceCount* count);

// A spoken sentence in the MP3, in seconds from the start of the file.
struct SentenceTime {
  std::u16string text;  // marks removed, white space collapsed
  double start = 0;     // its first audible sample
  double end = 0;       // its last audible sample
};

struct TimelineEntry {
  PieceTiming piece;
  double start = 0;   // seconds from the start of the MP3 (a frame boundary)
  double length = 0;  // seconds of MP3 the piece fills
  std::vector<SentenceTime> sentences;  // speech only
};

struct Timeline {
  std::vector<TimelineEntry> entries;
  uint64_t frames = 0;
  double seconds() const { return double(frames * kMp3FrameSamples) / kMp3SampleRate; }
};

// The sentences of a speech record's text: split after sentence-ending
// punctuation (。？！； and . ? ! ; before a blank or the end; not the point of
// a title such as "Mr." or "Dr."); a line break
// inside a sentence is a blank; U+FFFC removed, blanks collapsed, empty
// sentences dropped. Offsets are UTF-16
// positions in `text`.
struct SentenceSpan {
  int offset = 0;
  int length = 0;
  std::u16string text;
};
std::vector<SentenceSpan> SplitSentences(std::u16string_view text);

// A speech engine that passes everything to another and keeps, for every
// sentence it synthesised, where each of its sentences sounds.
class SentenceTimingEngine final : public SpeechEngine {
 public:
  explicit SentenceTimingEngine(SpeechEngine& inner) : inner_(inner) {}

  std::vector<Voice> ListVoices() override { return inner_.ListVoices(); }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate, int volume,
                             const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override { return inner_.IsReady(); }

  // Seconds from the start of the synthesised audio to each sentence's first
  // and last audible sample; empty when the text was not synthesised here.
  struct Spoken {
    double seconds = 0;  // length of the audio
    std::vector<SentenceTime> sentences;
  };
  Spoken Find(std::u16string_view text, std::u16string_view voice_name, int rate, int volume) const;

  // What Find() knows of a sentence, as bytes kept with its piece in the piece
  // cache (empty when it knows nothing), and taken back for a piece written
  // from there. Recall is false for bytes that are not a note of `text`.
  std::string Note(std::u16string_view text, std::u16string_view voice_name, int rate, int volume) const;
  bool Recall(std::u16string_view text, std::u16string_view voice_name, int rate, int volume, std::string_view note);

  SpeechEngine& inner() const { return inner_; }

 private:
  SpeechEngine& inner_;
  mutable std::mutex mutex_;
  std::map<std::u16string, Spoken> spoken_;
};

// Collects the timeline of a job from its piece reports.
class TimelineBuilder {
 public:
  TimelineBuilder(const OutputJobSettings& settings, const SentenceTimingEngine& speech)
      : settings_(settings), speech_(speech) {}
  void Add(const PieceTiming& piece);
  const Timeline& timeline() const { return timeline_; }
  Timeline Take() { return std::move(timeline_); }

 private:
  OutputJobSettings settings_;
  const SentenceTimingEngine& speech_;
  Timeline timeline_;
};

// Runs the job with the timeline collected alongside (the job's own piece
// callback is called too). With job.measureOnly nothing is encoded or written.
OutputResult RunOutputJobWithTimeline(OutputJob job, SpeechEngine& speech, const std::atomic<bool>& abort,
                                      const OutputCallbacks& callbacks, Timeline* timeline);

// "m:ss" (or "h:mm:ss") for a length in seconds, rounded to whole seconds.
std::string FormatDuration(double seconds);

}  // namespace aurisona
