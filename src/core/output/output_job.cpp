#include "core/output/output_job.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/audio/piece_encoder.h"
#include "core/audio/mp3_frame.h"
#include "core/output/job_cache.h"
#include "core/output/marker_walk.h"
#include "core/output/timeline.h"
#include "core/speech/voice_slots.h"
#include "core/util/atomic_file.h"
#include "core/util/temp_registry.h"
#include "core/util/text.h"

namespace aurisona {
namespace fs = std::filesystem;

OutputJobSettings OutputSettingsFrom(const SettingsRecord& record) {
  OutputJobSettings s;
  s.voices = record.voiceSlots;
  auto gain = [](const GainGroup& g) { return PieceGain{g.automatic, g.fixed, g.percent}; };
  s.pieces.text = gain(record.textGain);
  s.pieces.music = gain(record.musicGain);
  s.pieces.recording = gain(record.recordingGain);
  s.pieces.musicFade = record.fadeOn;
  s.pieces.fadeSeconds = record.fadeSeconds;
  s.pieces.loudness.on = record.loudnessOn;
  s.pieces.loudness.targetLufs = record.loudnessTarget;
  return s;
}

namespace {

// What one piece is made from.
struct PieceSpec {
  enum class Source { kSilence, kFile } source = Source::kSilence;
  int32_t milliseconds = 0;
  fs::path path;
  PieceKind kind = PieceKind::Speech;
  int32_t playTime = 0;
  int end = 0;  // progress position once the piece is written
  PieceTiming timing;
  // Speech: the sentence, synthesised into `path` when the piece is rendered.
  struct Sentence {
    std::u16string text;
    std::u16string voice;  // the exact name of the voice that speaks it
    int rate = 0;
    int volume = 100;
  };
  std::optional<Sentence> sentence;
};

struct Piece {
  PieceSpec spec;
  MemorySink bytes;
  RenderResult result = RenderResult::NothingAdded;
  bool done = false;
  bool measureOnly = false;
  PieceCount count;  // measure only: what reached the encoder
  // A sentence said again: the earlier piece, written again in place of this one.
  std::shared_ptr<const Piece> same;
  bool dropped = false;  // never started: the job was aborted first
  bool cached = false;   // written from the piece cache: nothing to make
  std::optional<PieceKey> cacheKey;  // kept in the piece cache once made
  std::string failure;   // why its sentence could not be synthesised; the job fails with it
};

std::string SpeechFailure(SpeakOutcome outcome, const std::u16string& text) {
  switch (outcome) {
    case SpeakOutcome::kWriteFailed:
      return "cannot write a synthesised sentence into the temporary folder (is TMPDIR full?): " +
             Utf16ToUtf8(text);
    case SpeakOutcome::kNoEngine:
      return "no speech engine can be started";
    default: {
      // The engine's own reason, naming the voice (a command voice that hangs, a worker that died).
      const std::string why = TakeSpeechFailure();
      return "the speech engine cannot say: " + Utf16ToUtf8(text) + (why.empty() ? "" : " (" + why + ")");
    }
  }
}

// Synthesises a piece's sentence into its file, on the thread that renders the piece, so
// that sentences are spoken side by side when the engine can. False when there is no
// sound to render: nothing to say, or a failure (kept in the piece).
bool Synthesise(Piece& piece, SpeechEngine& speech) {
  const PieceSpec::Sentence& s = *piece.spec.sentence;
  SpeakOutcome outcome = SpeakOutcome::kSynthesisFailed;
  if (!speech.Speak(s.text, piece.spec.path, s.voice, s.rate, s.volume, &outcome)) outcome = SpeakOutcome::kNoEngine;
  if (outcome == SpeakOutcome::kWritten) return true;
  // A sentence left out would make a wrong programme: the job fails.
  if (outcome != SpeakOutcome::kNothingToSpeak) piece.failure = SpeechFailure(outcome, s.text);
  return false;
}

RenderResult Render(Piece& piece, const PieceSettings& settings, SpeechEngine& speech) {
  if (piece.same) return RenderResult::NothingAdded;
  if (piece.cached) return RenderResult::Rendered;
  if (piece.spec.sentence && !Synthesise(piece, speech)) return RenderResult::NothingAdded;
  const PieceSpec& s = piece.spec;
  if (piece.measureOnly) {
    return CountPiece(s.source == PieceSpec::Source::kSilence, s.milliseconds, s.path, s.kind, s.playTime,
                      &piece.count);
  }
  if (s.source == PieceSpec::Source::kSilence) return RenderSilence(s.milliseconds, piece.bytes);
  return RenderSoundFile(s.path, s.kind, s.playTime, settings, piece.bytes);
}

// Private temporary files for synthesised sentences, one per piece in flight
// and one for the sentence being synthesised.
class SpeechFiles {
 public:
  explicit SpeechFiles(size_t count) : count_(count) {
    for (size_t k = 0; k < count; ++k) {
      std::error_code ec;
      const fs::path temp = fs::temp_directory_path(ec);
      if (ec) continue;  // TMPDIR names no folder
      std::string tmpl = (temp / "aurisona-speech-XXXXXX.wav").string();
      uint64_t ticket = 0;
      const int fd = CreateRegisteredTemp(tmpl, 4, false, &ticket);
      if (fd < 0) continue;
      ::close(fd);
      paths_.push_back(tmpl);
      tickets_.push_back(TempTicket::Adopt(ticket));
    }
  }
  ~SpeechFiles() {
    std::error_code ec;
    for (const auto& p : paths_) fs::remove(p, ec);
  }
  // Every file is needed: with fewer, a sentence would overwrite a file still being read.
  bool ok() const { return paths_.size() == count_; }
  // The file for piece number `n`; cleared so a failed sentence leaves nothing.
  const fs::path& Fresh(size_t n) {
    const fs::path& p = paths_[n % paths_.size()];
    std::error_code ec;
    fs::resize_file(p, 0, ec);
    return p;
  }
  size_t size() const { return paths_.size(); }

 private:
  size_t count_;
  std::vector<fs::path> paths_;
  std::vector<TempTicket> tickets_;  // removed by a front end that is stopped by a signal
};

// A sentence spoken again with the same voice, rate and volume (a repeat, or the same
// words elsewhere in the script) is synthesised and encoded once: its later readings
// write the first reading's piece again, so every pass sounds the same. A dry walk over
// a copy of the script counts the readings, and a piece is kept only while a reading of
// it is still to come.
class SentenceReuse {
 public:
  SentenceReuse(std::vector<Segment> segments, const OutputJobSettings& settings,
                const std::vector<Voice>& installed)
      : settings_(settings), installed_(installed) {
    MarkerWalk walk(segments);
    while (const Segment* r = walk.Next()) {
      if (auto key = Key(*r)) ++readings_[*key];
    }
    for (auto it = readings_.begin(); it != readings_.end();) {
      it = it->second > 1 ? std::next(it) : readings_.erase(it);
    }
  }

  // The key of a speech record; nullopt for any other record. A
  // voice name that is not installed is never reused: which voice speaks it depends on
  // the sentences before.
  std::optional<std::u16string> Key(const Segment& r) const {
    if (r.kind != kSegSpeech) return std::nullopt;
    const int slot = r.Slot();
    if (slot < 1) return std::nullopt;
    const VoiceSlot& voice = settings_.voices[static_cast<size_t>(slot - 1)];
    if (std::none_of(installed_.begin(), installed_.end(),
                     [&](const Voice& v) { return v.name == voice.voice; })) {
      return std::nullopt;
    }
    std::u16string key = voice.voice;
    key += u'\0';
    key += static_cast<char16_t>(voice.rate + 100);
    key += static_cast<char16_t>(voice.volume + 100);
    key += r.text;
    return key;
  }

  // The piece of an earlier reading of this sentence, if there is one. Counts the reading.
  std::shared_ptr<const Piece> Take(const std::u16string& key) {
    auto readings = readings_.find(key);
    if (readings == readings_.end()) return nullptr;
    auto found = pieces_.find(key);
    std::shared_ptr<const Piece> piece = found == pieces_.end() ? nullptr : found->second;
    if (--readings->second <= 0) {
      readings_.erase(readings);
      if (found != pieces_.end()) pieces_.erase(found);
    }
    return piece;
  }

  // Keeps a first reading's piece for the readings still to come.
  void Keep(const std::u16string& key, std::shared_ptr<const Piece> piece) {
    if (readings_.count(key)) pieces_[key] = std::move(piece);
  }

 private:
  const OutputJobSettings& settings_;
  const std::vector<Voice>& installed_;
  std::map<std::u16string, int> readings_;  // readings still to come, for sentences read twice or more
  std::map<std::u16string, std::shared_ptr<const Piece>> pieces_;
};

// Encodes pieces on worker threads and hands them back in order.
class PiecePipeline {
 public:
  PiecePipeline(const PieceSettings& settings, SpeechEngine& speech, int threads)
      : settings_(settings), speech_(speech) {
    for (int k = 0; k < threads; ++k) workers_.emplace_back([this] { Work(); });
  }
  ~PiecePipeline() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : workers_) t.join();
  }

  bool threaded() const { return !workers_.empty(); }

  void Submit(std::shared_ptr<Piece> piece) {
    if (!threaded()) {
      piece->result = Render(*piece, settings_, speech_);
      piece->done = true;
      order_.push_back(std::move(piece));
      return;
    }
    {
      std::lock_guard lock(mutex_);
      order_.push_back(piece);
      queue_.push_back(std::move(piece));
    }
    wake_.notify_one();
  }

  size_t InFlight() const { return order_.size(); }

  // Drops the pieces no worker has started; those being encoded finish.
  void DropWaiting() {
    {
      std::lock_guard lock(mutex_);
      for (auto& piece : queue_) {
        piece->dropped = true;
        piece->done = true;
      }
      queue_.clear();
    }
    done_.notify_all();
  }

  // The oldest piece, once it is done; waits for it when `wait` is set.
  std::shared_ptr<Piece> TakeFront(bool wait) {
    std::unique_lock lock(mutex_);
    if (order_.empty()) return nullptr;
    if (wait) done_.wait(lock, [&] { return order_.front()->done; });
    if (!order_.front()->done) return nullptr;
    auto piece = std::move(order_.front());
    order_.pop_front();
    return piece;
  }

 private:
  void Work() {
    for (;;) {
      std::shared_ptr<Piece> piece;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        piece = std::move(queue_.front());
        queue_.pop_front();
      }
      const RenderResult result = Render(*piece, settings_, speech_);
      {
        std::lock_guard lock(mutex_);
        piece->result = result;
        piece->done = true;
      }
      done_.notify_all();
    }
  }

  const PieceSettings& settings_;
  SpeechEngine& speech_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<std::shared_ptr<Piece>> queue_;  // waiting for a worker
  std::deque<std::shared_ptr<Piece>> order_;  // submitted, not yet written
  std::vector<std::thread> workers_;
  bool stopping_ = false;
};

class Job {
 public:
  Job(OutputJob& job, SpeechEngine& speech, const std::atomic<bool>& abort, const OutputCallbacks& callbacks)
      : job_(job), speech_(speech), abort_(abort), callbacks_(callbacks) {}

  OutputResult Run() {
    int threads = job_.threads > 0 ? job_.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 64);
    // One thread renders in line; more render on workers with a bounded window.
    // Pieces are written in order, so while a long piece (a music clip) holds
    // the front, the other workers go on only as far as the window lets them:
    // four pieces per thread keep them busy behind clips many times longer
    // than the sentences around them.
    const int workers = threads == 1 ? 0 : threads;
    const size_t window = threads == 1 ? 1 : static_cast<size_t>(4 * threads);

    std::optional<AtomicFileWriter> out;
    if (!job_.measureOnly) {
      out.emplace(job_.output);
      if (!out->ok()) return Fail(out->error());
    }
    visits_.assign(job_.segments.size(), 0);
    // A piece's file is written and read while the piece is in the window, and
    // its file is chosen before the window has room for it: one file more than
    // the window keeps it apart from every piece in flight.
    SpeechFiles speechFiles(window + 1);
    if (!speechFiles.ok()) return Fail("cannot create a temporary speech file");

    OutputResult result;
    installed_ = speech_.ListVoices();
    SentenceReuse reuse(job_.segments, job_.settings, installed_);
    JobCache cache(job_.cache, job_.settings, speech_, installed_, job_.measureOnly);
    cache_ = &cache;
    {
      PiecePipeline pipeline(job_.settings.pieces, speech_, workers);
      MarkerWalk walk(job_.segments);
      size_t submitted = 0;
      bool aborted = false;
      while (!failed_) {
        if (abort_.load()) {
          aborted = true;
          break;
        }
        Segment* r = walk.Next();
        if (!r) break;
        const std::optional<std::u16string> key = reuse.Key(*r);
        std::shared_ptr<const Piece> same = key ? reuse.Take(*key) : nullptr;
        // The piece cache is asked before a piece is made (before a sentence is synthesised).
        std::optional<PieceKey> cacheKey = same ? std::nullopt : cache.Key(*r, ClipPath(*r));
        std::optional<PieceEntry> hit = cacheKey ? cache.Find(*cacheKey, *r) : std::nullopt;
        std::optional<PieceSpec> spec = same || (hit && r->kind == kSegSpeech) ? SpeechSpec(*r)
                                                                                : Prepare(*r, speechFiles, submitted);
        if (spec) NoteTiming(*spec, *r, walk.index());
        Advance((r->start + r->end) / 2);
        if (abort_.load()) {
          aborted = true;
          break;
        }
        if (!spec) continue;
        // Make room in the window, writing what is done.
        while (pipeline.InFlight() >= window && !failed_) WriteFront(pipeline, out, true, result);
        auto piece = std::make_shared<Piece>();
        piece->spec = std::move(*spec);
        piece->measureOnly = job_.measureOnly;
        piece->same = std::move(same);
        if (hit) {
          piece->cached = true;
          piece->result = RenderResult::Rendered;
          piece->count.mp3Frames = hit->frames;
          piece->count.sampleRate = hit->sourceRate;
          if (!job_.measureOnly) piece->bytes.Append(hit->mp3.data(), hit->mp3.size());
        } else if (cacheKey) {
          piece->cacheKey = cacheKey;
        }
        if (key && !piece->same) reuse.Keep(*key, piece);
        pipeline.Submit(std::move(piece));
        ++submitted;
        while (!failed_ && WriteFront(pipeline, out, false, result)) {
        }
      }
      // An abort keeps only the pieces already being encoded (in order, up
      // to the first that was not started); otherwise every piece is written.
      // A failed job drops them as well: nothing more will be written.
      if (aborted || failed_) pipeline.DropWaiting();
      while (!failed_ && pipeline.InFlight() > 0 && WriteFront(pipeline, out, true, result)) {
      }
      result.status = aborted ? OutputStatus::kAborted : OutputStatus::kFinished;
    }
    cache.Finish();
    cache_ = nullptr;
    if (failed_) return Fail(error_);
    if (job_.requireSound && result.pieces == 0 && result.status == OutputStatus::kFinished) {
      OutputResult empty = Fail("nothing to render");
      empty.empty = true;
      return empty;
    }
    if (out && !out->Commit()) return Fail(out->error());
    result.frames = frames_;
    return result;
  }

 private:
  OutputResult Fail(std::string why) {
    OutputResult r;
    r.status = OutputStatus::kFailed;
    r.error = std::move(why);
    return r;
  }

  void Advance(int position) {
    if (position > high_) {
      high_ = position;
      if (callbacks_.progress) callbacks_.progress(position);
    }
  }

  void Select(int start, int end) {
    if (callbacks_.segment) callbacks_.segment(start, end);
  }

  // Writes the oldest piece if it is done (or waits for it). False when
  // nothing was written.
  bool WriteFront(PiecePipeline& pipeline, std::optional<AtomicFileWriter>& out, bool wait, OutputResult& result) {
    auto piece = pipeline.TakeFront(wait);
    if (!piece || piece->dropped) return false;
    // An earlier piece said again is written before this one is: it is done.
    const Piece& sound = piece->same ? *piece->same : *piece;
    if (!sound.failure.empty()) {
      failed_ = true;
      error_ = sound.failure;
      return false;
    }
    switch (sound.result) {
      case RenderResult::Rendered: {
        const auto& bytes = sound.bytes.bytes();
        if (out && !out->Write(bytes.data(), bytes.size())) {
          failed_ = true;
          error_ = out->error();
          return false;
        }
        ++result.pieces;
        ReportTiming(*piece, sound);
        if (piece->cacheKey) Keep(*piece);
        Advance(piece->spec.end);
        break;
      }
      case RenderResult::Undecodable:
      case RenderResult::UnsupportedType:
        // A piece left out would make a wrong programme: the job fails.
        failed_ = true;
        error_ = Unreadable(piece->spec, sound.result);
        return false;
      case RenderResult::NothingAdded:
        break;
      case RenderResult::OutOfMemory:
        failed_ = true;
        error_ = "out of memory";
        return false;
      case RenderResult::WriteFailed:
        failed_ = true;
        error_ = "cannot write the MP3 data";
        return false;
    }
    return true;
  }

  // A piece just made, into the piece cache with its length.
  void Keep(const Piece& piece) {
    PieceEntry entry;
    entry.hasMp3 = !piece.measureOnly;
    if (entry.hasMp3) entry.mp3 = piece.bytes.bytes();
    entry.frames = piece.spec.timing.frames;
    entry.sourceRate = piece.measureOnly ? piece.count.sampleRate : 0;
    // Taken once the piece is written: its sentence is synthesised by then.
    entry.note = cache_->Note(piece.spec.timing.segment);
    cache_->Store(*piece.cacheKey, entry);
  }

  // The file a clip, recording or prompt tone record plays; empty for others.
  fs::path ClipPath(const Segment& r) const {
    switch (r.kind) {
      case kSegPromptTone: return job_.promptTone;
      case kSegMusic: return MediaPath(job_.overlayMusicFolder, job_.musicFolder, r.text);
      case kSegRecording: return MediaPath(job_.overlayRecordFolder, job_.recordFolder, r.text);
      default: return {};
    }
  }

  // The piece of a speech record said again: selected as it is spoken, nothing to make.
  std::optional<PieceSpec> SpeechSpec(const Segment& r) {
    const bool leadingSpace = !r.text.empty() && r.text.front() == u' ';
    Select(leadingSpace ? r.start + 1 : r.start, r.end);
    PieceSpec spec;
    spec.end = r.end;
    return spec;
  }

  std::optional<PieceSpec> Prepare(const Segment& r, SpeechFiles& files, size_t number) {
    PieceSpec spec;
    spec.end = r.end;
    if (r.IsPause()) {
      Select(r.start, r.end);
      spec.milliseconds = r.PauseMilliseconds();
      return spec;
    }
    spec.source = PieceSpec::Source::kFile;
    switch (r.kind) {
      case kSegSpeech: {
        const int slot = r.Slot();
        if (slot < 1) return std::nullopt;
        const VoiceSlot& voice = job_.settings.voices[static_cast<size_t>(slot - 1)];
        const bool leadingSpace = !r.text.empty() && r.text.front() == u' ';
        Select(leadingSpace ? r.start + 1 : r.start, r.end);
        spec.path = files.Fresh(number);
        // The voice is chosen here, in the order of the script, for a name that is not
        // installed falls back on the voice chosen last.
        const int chosen = choice_.Choose(installed_, voice.voice);
        spec.sentence = PieceSpec::Sentence{
            r.text, chosen < 0 ? voice.voice : installed_[static_cast<size_t>(chosen)].name, voice.rate, voice.volume};
        spec.kind = PieceKind::Speech;
        return spec;
      }
      case kSegPromptTone:
        Select(r.start, r.end);
        if (job_.promptTone.empty()) return std::nullopt;
        spec.path = job_.promptTone;
        spec.kind = PieceKind::PromptTone;
        return spec;
      case kSegMusic:
        Select(r.start, r.end);
        spec.path = MediaPath(job_.overlayMusicFolder, job_.musicFolder, r.text);
        spec.kind = PieceKind::Music;
        spec.playTime = r.PlayTime();
        return spec;
      case kSegRecording:
        Select(r.start, r.end);
        spec.path = MediaPath(job_.overlayRecordFolder, job_.recordFolder, r.text);
        spec.kind = PieceKind::Recording;
        return spec;
      default:
        return std::nullopt;
    }
  }

  // The record and pass a piece comes from, kept with the piece until it is written.
  void NoteTiming(PieceSpec& spec, const Segment& r, size_t index) {
    if (index < visits_.size()) ++visits_[index];
    PieceTiming& t = spec.timing;
    t.record = index;
    t.segment = r;
    t.pass = index < visits_.size() ? visits_[index] : 1;
    t.voiceSlot = r.kind == kSegSpeech ? r.Slot() : 0;
    if (spec.source == PieceSpec::Source::kFile) t.source = spec.path;
  }

  // The piece's place in the MP3: its frames counted in the bytes written, or
  // as the encoder would write them when only measuring.
  // `sound` is the piece whose bytes were written (an earlier one for a
  // sentence said again).
  void ReportTiming(Piece& piece, const Piece& sound) {
    PieceTiming& t = piece.spec.timing;
    t.firstFrame = frames_;
    if (piece.measureOnly) {
      t.frames = sound.count.mp3Frames;
      t.sourceRate = sound.count.sampleRate;
    } else {
      const auto& bytes = sound.bytes.bytes();
      t.frames = ScanMp3Frames(bytes.data(), bytes.size()).frames.size();
    }
    frames_ += t.frames;
    if (callbacks_.piece) callbacks_.piece(t);
  }

  // Why a piece could not be made, naming its file.
  static std::string Unreadable(const PieceSpec& spec, RenderResult result) {
    const Segment& r = spec.timing.segment;
    if (r.kind == kSegSpeech) return "a synthesised sentence cannot be read back: " + Utf16ToUtf8(r.text);
    const std::string name =
        (r.kind == kSegMusic || r.kind == kSegRecording) ? Utf16ToUtf8(r.text) : spec.path.filename().string();
    std::error_code ec;
    if (!fs::exists(spec.path, ec)) return name + ": missing";
    if (result == RenderResult::UnsupportedType) return name + ": not a WAV or MP3 file";
    return name + ": cannot be decoded (damaged, a kind of data that is not read, or a sample rate outside 1 to 384 kHz)";
  }

  static fs::path MediaPath(const fs::path& overlay, const fs::path& folder, const std::u16string& name) {
    const fs::path file = PathFromU16(name);
    std::error_code ec;
    if (!overlay.empty() && fs::exists(overlay / file, ec)) return overlay / file;
    return folder / file;
  }

  OutputJob& job_;
  SpeechEngine& speech_;
  const std::atomic<bool>& abort_;
  const OutputCallbacks& callbacks_;
  std::vector<Voice> installed_;
  JobCache* cache_ = nullptr;  // while the job runs
  VoiceChoice choice_;
  int high_ = 0;
  uint64_t frames_ = 0;
  std::vector<int> visits_;  // times each record was reached by the walk
  bool failed_ = false;
  std::string error_;
};

}  // namespace

OutputResult RunOutputJob(OutputJob job, SpeechEngine& speech, const std::atomic<bool>& abort,
                          const OutputCallbacks& callbacks) {
  return Job(job, speech, abort, callbacks).Run();
}

}  // namespace aurisona
