#include "core/output/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/reading/read_aloud.h"

namespace aurisona {

namespace {

// Counts what a piece hands the encoder.
class CountingSink final : public PcmSink {
 public:
  SinkStatus Open(uint32_t sampleRate) override {
    if (sampleRate < kMinPieceSampleRate || sampleRate > kMaxPieceSampleRate) return SinkStatus::Unsupported;
    rate_ = sampleRate;
    frames_ = 0;
    return SinkStatus::Ok;
  }
  size_t ChunkCapacity() const override { return PieceEncoder::kChunkSamples; }
  SinkStatus Write(const int16_t*, size_t count) override {
    frames_ += std::min(count, ChunkCapacity()) / 2;
    return SinkStatus::Ok;
  }
  SinkStatus Close() override { return SinkStatus::Ok; }
  uint32_t rate() const { return rate_; }
  uint64_t frames() const { return frames_; }

 private:
  uint32_t rate_ = 0;
  uint64_t frames_ = 0;
};

bool IsSentenceStop(char16_t c) {
  return c == u'。' || c == u'？' || c == u'！' || c == u'；' || c == u'.' || c == u'?' || c == u'!' || c == u';';
}
bool IsBreakChar(char16_t c) {
  return c == u'\r' || c == u'\n' || c == 0x85 || c == 0x2028 || c == 0x2029;
}
bool IsBlankChar(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0x3000 || c == 0xA0 || IsBreakChar(c);
}
// Full-width punctuation ends a sentence by itself; ASCII punctuation only
// before a blank or the end, so "3.5" and "e.g" stay whole.
bool EndsSentenceAt(std::u16string_view text, size_t i) {
  const char16_t c = text[i];
  if (!IsSentenceStop(c)) return false;
  if (c > 0x7F) return true;
  if (IsAbbreviationPoint(text, i)) return false;  // "Mr. Smith", "e.g. this"
  return i + 1 >= text.size() || IsBlankChar(text[i + 1]) || IsSentenceStop(text[i + 1]) || text[i + 1] == u'"';
}

std::u16string CleanSentence(std::u16string_view raw) {
  std::u16string out;
  bool blank = false;
  for (const char16_t c : raw) {
    if (c == 0xFFFC) continue;
    if (IsBlankChar(c) || c < 0x20 || c == 0x7F) {
      blank = !out.empty();
      continue;
    }
    if (blank) out.push_back(u' ');
    blank = false;
    out.push_back(c);
  }
  return out;
}

std::u16string SpokenKey(std::u16string_view text, std::u16string_view voice, int rate, int volume) {
  std::u16string key(text);
  key += u'\x1f';
  key += voice;
  key += u'\x1f';
  for (const char c : std::to_string(rate) + "," + std::to_string(volume)) key.push_back(char16_t(c));
  return key;
}

// Where each sentence of `text` sounds in the synthesised audio.
std::vector<SentenceTime> LocateSentences(std::u16string_view text, const std::vector<int16_t>& samples,
                                          const std::vector<WordBoundary>& words, int rate) {
  std::vector<SentenceTime> out;
  const std::vector<SentenceSpan> spans = SplitSentences(text);
  if (spans.empty() || samples.empty() || rate <= 0) return out;
  int32_t peak = 0;
  for (const int16_t s : samples) peak = std::max(peak, std::abs(int32_t{s}));
  // About 26 dB under the loudest sample: above breath and noise, below speech.
  const int32_t threshold = std::max(peak / 20, 64);
  auto audible = [&](size_t i) { return std::abs(int32_t{samples[i]}) >= threshold; };

  // The sample where each sentence's first word is reported.
  std::vector<size_t> from(spans.size(), 0);
  for (size_t k = 0; k < spans.size(); ++k) {
    const int begin = spans[k].offset;
    const int end = spans[k].offset + spans[k].length;
    size_t at = k == 0 ? 0 : from[k - 1];
    bool found = false;
    for (const WordBoundary& w : words) {
      if (w.offset >= begin && w.offset < end) {
        at = static_cast<size_t>(std::clamp<int64_t>(w.sample, 0, int64_t(samples.size())));
        found = true;
        break;
      }
    }
    if (!found && k > 0) {
      // No word reported in it: place it by its share of the text.
      at = static_cast<size_t>(double(samples.size()) * begin / std::max<size_t>(text.size(), 1));
    }
    from[k] = k == 0 ? 0 : std::max(at, from[k - 1]);
  }
  std::vector<size_t> onset(spans.size());
  for (size_t k = 0; k < spans.size(); ++k) {
    const size_t limit = k + 1 < spans.size() ? from[k + 1] : samples.size();
    size_t i = from[k];
    while (i < limit && !audible(i)) ++i;
    onset[k] = i < limit ? i : from[k];
  }
  for (size_t k = 0; k < spans.size(); ++k) {
    const size_t limit = k + 1 < spans.size() ? std::max(onset[k + 1], onset[k]) : samples.size();
    size_t last = limit;
    while (last > onset[k] && !audible(last - 1)) --last;
    if (last <= onset[k]) last = limit;
    out.push_back(SentenceTime{spans[k].text, double(onset[k]) / rate, double(last) / rate});
  }
  return out;
}

}  // namespace

uint64_t Mp3FramesForPiece(uint32_t sampleRate, uint64_t inputFrames) {
  if (inputFrames == 0 || sampleRate == 0) return 0;
  uint64_t samples = inputFrames;
  if (sampleRate != kMp3SampleRate) {
    // LAME's resampler makes an output sample for every 44100 Hz instant whose
    // filter window (16 input samples ahead) lies inside the input; the flush
    // then counts 16 input samples' worth of its delay.
    const double ratio = double(sampleRate) / kMp3SampleRate;
    samples = inputFrames > 16 ? static_cast<uint64_t>(std::ceil(double(inputFrames - 16) / ratio)) : 0;
    samples += static_cast<uint64_t>(16.0 / ratio);
  }
  return (576 + samples + 576 + kMp3FrameSamples - 1) / kMp3FrameSamples;
}

RenderResult CountPiece(bool silence, int32_t milliseconds, const std::filesystem::path& path, PieceKind kind,
                        int32_t playTimeSeconds, PieceCount* count) {
  *count = PieceCount{};
  CountingSink sink;
  // Gains and fades change no length: the plain settings spare a pass.
  const PieceSettings plain;
  RenderResult result = RenderResult::UnsupportedType;
  if (silence) {
    result = RenderSilence(milliseconds, sink);
  } else {
    switch (SourceTypeOf(path)) {
      case SourceType::Mp3: result = RenderMp3Source(path, kind, playTimeSeconds, plain, sink); break;
      case SourceType::Wav: result = RenderWavSource(path, kind, plain, sink); break;
      case SourceType::Unknown: break;
    }
  }
  if (result == RenderResult::Rendered) {
    count->sampleRate = sink.rate();
    count->inputFrames = sink.frames();
    count->mp3Frames = Mp3FramesForPiece(sink.rate(), sink.frames());
  }
  return result;
}

std::vector<SentenceSpan> SplitSentences(std::u16string_view text) {
  std::vector<SentenceSpan> spans;
  size_t start = 0;
  auto flush = [&](size_t end) {
    if (end > start) {
      std::u16string clean = CleanSentence(text.substr(start, end - start));
      if (!clean.empty()) {
        spans.push_back(SentenceSpan{static_cast<int>(start), static_cast<int>(end - start), std::move(clean)});
      }
    }
    start = end;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (EndsSentenceAt(text, i)) {
      // Closing quotes and brackets right after the punctuation stay with it;
      // so does the close of a placeholder (【…】), which the compiler may
      // have set one blank apart.
      size_t end = i + 1;
      while (end < text.size()) {
        if (IsSentenceStop(text[end]) || text[end] == u'"' || text[end] == u'”' || text[end] == u'’' ||
            text[end] == u')' || text[end] == u'）' || text[end] == u'】') {
          ++end;
        } else if (text[end] == u' ' && end + 1 < text.size() && text[end + 1] == u'】') {
          end += 2;
        } else {
          break;
        }
      }
      flush(end);
      i = end - 1;
    }
  }
  flush(text.size());
  return spans;
}

SynthesisStatus SentenceTimingEngine::Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                                                 int volume, const SpeechSink& sink, Voice* used_voice) {
  std::vector<int16_t> samples;
  std::vector<WordBoundary> words;
  int sampleRate = 0;
  const SynthesisStatus status = inner_.Synthesize(
      text, voice_name, rate, volume,
      [&](const SpeechChunk& chunk) {
        sampleRate = chunk.sample_rate;
        samples.insert(samples.end(), chunk.samples.begin(), chunk.samples.end());
        words.insert(words.end(), chunk.words.begin(), chunk.words.end());
        return sink ? sink(chunk) : true;
      },
      used_voice);
  if (status == SynthesisStatus::kOk && sampleRate > 0) {
    Spoken spoken;
    spoken.seconds = double(samples.size()) / sampleRate;
    spoken.sentences = LocateSentences(text, samples, words, sampleRate);
    std::lock_guard lock(mutex_);
    spoken_[SpokenKey(text, voice_name, rate, volume)] = std::move(spoken);
  }
  return status;
}

SentenceTimingEngine::Spoken SentenceTimingEngine::Find(std::u16string_view text, std::u16string_view voice_name,
                                                        int rate, int volume) const {
  std::lock_guard lock(mutex_);
  const auto it = spoken_.find(SpokenKey(text, voice_name, rate, volume));
  return it == spoken_.end() ? Spoken{} : it->second;
}

namespace {

void PutText(std::string& out, std::u16string_view text) {
  const auto n = static_cast<uint32_t>(text.size());
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
  out.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
}

void PutDouble(std::string& out, double v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }

// Reads what PutText and PutDouble wrote; false once the bytes run out.
class NoteReader {
 public:
  explicit NoteReader(std::string_view bytes) : bytes_(bytes) {}
  bool Text(std::u16string* text) {
    uint32_t n = 0;
    if (!Raw(&n, sizeof n) || n > (bytes_.size() - at_) / sizeof(char16_t)) return false;
    text->resize(n);
    return Raw(text->data(), n * sizeof(char16_t));
  }
  bool Double(double* v) { return Raw(v, sizeof *v) && std::isfinite(*v); }
  bool Count(uint32_t* n) { return Raw(n, sizeof *n); }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  bool Raw(void* to, size_t size) {
    if (size > bytes_.size() - at_) return false;
    std::memcpy(to, bytes_.data() + at_, size);
    at_ += size;
    return true;
  }
  std::string_view bytes_;
  size_t at_ = 0;
};

}  // namespace

std::string SentenceTimingEngine::Note(std::u16string_view text, std::u16string_view voice_name, int rate,
                                       int volume) const {
  std::lock_guard lock(mutex_);
  const auto it = spoken_.find(SpokenKey(text, voice_name, rate, volume));
  if (it == spoken_.end()) return {};
  std::string note;
  PutText(note, text);
  PutDouble(note, it->second.seconds);
  const auto n = static_cast<uint32_t>(it->second.sentences.size());
  note.append(reinterpret_cast<const char*>(&n), sizeof n);
  for (const SentenceTime& s : it->second.sentences) {
    PutText(note, s.text);
    PutDouble(note, s.start);
    PutDouble(note, s.end);
  }
  return note;
}

bool SentenceTimingEngine::Recall(std::u16string_view text, std::u16string_view voice_name, int rate, int volume,
                                  std::string_view note) {
  NoteReader in(note);
  std::u16string written;
  Spoken spoken;
  uint32_t n = 0;
  // The same words may be written otherwise (a reading made them alike): such a
  // note splits another text into sentences and is not taken.
  if (!in.Text(&written) || written != text || !in.Double(&spoken.seconds) || !in.Count(&n)) return false;
  for (uint32_t k = 0; k < n; ++k) {
    SentenceTime s;
    if (!in.Text(&s.text) || !in.Double(&s.start) || !in.Double(&s.end)) return false;
    spoken.sentences.push_back(std::move(s));
  }
  if (!in.AtEnd()) return false;
  std::lock_guard lock(mutex_);
  spoken_[SpokenKey(text, voice_name, rate, volume)] = std::move(spoken);
  return true;
}

void TimelineBuilder::Add(const PieceTiming& piece) {
  TimelineEntry entry;
  entry.piece = piece;
  entry.start = double(piece.firstFrame * kMp3FrameSamples) / kMp3SampleRate;
  entry.length = double(piece.frames * kMp3FrameSamples) / kMp3SampleRate;
  if (piece.segment.kind == kSegSpeech) {
    const double soundAt = entry.start + double(kPieceSoundDelay) / kMp3SampleRate;
    SentenceTimingEngine::Spoken spoken;
    if (piece.voiceSlot >= 1 && piece.voiceSlot <= kVoiceSlotCount) {
      const VoiceSlot& v = settings_.voices[static_cast<size_t>(piece.voiceSlot - 1)];
      spoken = speech_.Find(piece.segment.text, v.voice, v.rate, v.volume);
    }
    if (!spoken.sentences.empty()) {
      for (SentenceTime s : spoken.sentences) {
        s.start += soundAt;
        s.end += soundAt;
        entry.sentences.push_back(std::move(s));
      }
    } else {
      // Not synthesised where it could be watched: the whole piece, as one line.
      std::u16string text;
      for (const SentenceSpan& s : SplitSentences(piece.segment.text)) text += (text.empty() ? u"" : u" ") + s.text;
      if (!text.empty()) entry.sentences.push_back(SentenceTime{text, soundAt, entry.start + entry.length});
    }
  }
  timeline_.frames = piece.firstFrame + piece.frames;
  timeline_.entries.push_back(std::move(entry));
}

OutputResult RunOutputJobWithTimeline(OutputJob job, SpeechEngine& speech, const std::atomic<bool>& abort,
                                      const OutputCallbacks& callbacks, Timeline* timeline) {
  SentenceTimingEngine timed(speech);
  TimelineBuilder builder(job.settings, timed);
  OutputCallbacks watched = callbacks;
  watched.piece = [&](const PieceTiming& piece) {
    builder.Add(piece);
    if (callbacks.piece) callbacks.piece(piece);
  };
  OutputResult result = RunOutputJob(std::move(job), timed, abort, watched);
  *timeline = builder.Take();
  return result;
}

std::string FormatDuration(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

}  // namespace aurisona
