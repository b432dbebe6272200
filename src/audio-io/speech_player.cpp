#include "audio-io/speech_player.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace aurisona {

namespace {
constexpr std::chrono::milliseconds kPollStep{10};
// How long the end of a sentence may lag behind the device's report that it
// consumed the last buffer (its latency), before the end is reported anyway.
constexpr std::chrono::milliseconds kMaxTail{1500};
}  // namespace

// A sentence synthesised ahead.
struct SpeechPlayer::Ahead {
  std::u16string text;
  std::u16string voice;
  int rate = 0;
  int volume = 0;
  std::atomic<bool> cancel{false};
  SynthesisStatus status = SynthesisStatus::kStopped;  // set by its thread
  SpeechAudio audio;

  bool Matches(std::u16string_view t, std::u16string_view v, int r, int vol) const {
    return text == t && voice == v && rate == r && volume == vol;
  }
};

SpeechPlayer::SpeechPlayer(SpeechEngine& engine, SpeechEvents events)
    : engine_(engine), events_(std::move(events)) {}

SpeechPlayer::~SpeechPlayer() {
  Stop();
  DropPrefetch();
}

void SpeechPlayer::DropPrefetch() {
  {
    // Under the lock its thread waits with, so that the wake-up is not lost.
    std::lock_guard<std::mutex> guard(engineTurn_);
    if (ahead_) ahead_->cancel = true;
  }
  engineFree_.notify_all();
  if (aheadThread_.joinable()) aheadThread_.join();
  ahead_.reset();
}

void SpeechPlayer::Synthesised() {
  {
    std::lock_guard<std::mutex> guard(engineTurn_);
    synthesising_ = false;
  }
  engineFree_.notify_all();
}

void SpeechPlayer::Prefetch(std::u16string_view text, std::u16string_view voiceName, int rate, int volume) {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) return;
  if (ahead_ && ahead_->Matches(text, voiceName, rate, volume)) return;
  DropPrefetch();
  if (text.empty()) return;
  auto ahead = std::make_shared<Ahead>();
  ahead->text.assign(text);
  ahead->voice.assign(voiceName);
  ahead->rate = rate;
  ahead->volume = volume;
  ahead_ = ahead;
  aheadThread_ = std::thread([this, ahead] {
    // After the sentence being synthesised now, which is heard first.
    {
      std::unique_lock<std::mutex> lock(engineTurn_);
      engineFree_.wait(lock, [&] { return !synthesising_ || ahead->cancel.load(); });
    }
    if (ahead->cancel) return;
    const SpeechSink sink = [&](const SpeechChunk& chunk) {
      if (ahead->cancel) return false;
      ahead->audio.sample_rate = chunk.sample_rate;
      ahead->audio.samples.insert(ahead->audio.samples.end(), chunk.samples.begin(), chunk.samples.end());
      ahead->audio.words.insert(ahead->audio.words.end(), chunk.words.begin(), chunk.words.end());
      return true;
    };
    ahead->status = engine_.Synthesize(ahead->text, ahead->voice, ahead->rate, ahead->volume, sink, nullptr);
  });
}

void SpeechPlayer::Stop() {
  stop_ = true;
  if (!thread_.joinable()) {
    stop_ = false;
    return;
  }
  if (thread_.get_id() == std::this_thread::get_id()) return;  // from an event: the thread ends itself
  thread_.join();
  stop_ = false;
}

void SpeechPlayer::ReleaseVoice() {
  Stop();
  DropPrefetch();
  speaking_ = false;
}

bool SpeechPlayer::Speak(std::u16string_view text, std::u16string_view voiceName, int rate, int volume) {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) return false;
  Stop();
  speaking_ = false;
  // The sentence prefetched for this Speak is taken (once its synthesis is
  // done); any other is of no more use.
  std::shared_ptr<Ahead> ready;
  if (ahead_ && !text.empty() && ahead_->Matches(text, voiceName, rate, volume)) {
    if (aheadThread_.joinable()) aheadThread_.join();
    if (ahead_->status == SynthesisStatus::kOk) ready = ahead_;
    ahead_.reset();
  } else {
    DropPrefetch();
  }
  if (text.empty()) return everSpoke_;
  text_.assign(text);
  speaking_ = true;
  everSpoke_ = true;
  if (!ready) {
    // A Prefetch made after this waits until this sentence is synthesised.
    std::lock_guard<std::mutex> guard(engineTurn_);
    synthesising_ = true;
  }
  thread_ = std::thread(&SpeechPlayer::Run, this, std::u16string(text), std::u16string(voiceName), rate, volume,
                        std::move(ready));
  return true;
}

void SpeechPlayer::Run(std::u16string text, std::u16string voice, int rate, int volume,
                       std::shared_ptr<Ahead> ready) {
  std::vector<int16_t> samples;
  std::vector<WordBoundary> words;
  size_t written = 0;    // samples handed to the device
  size_t nextWord = 0;
  bool opened = false;

  // Hands the device what it takes now, without waiting.
  const auto feed = [&] {
    const size_t room = player_.WritableBytes() / 2;
    const size_t take = std::min(room, samples.size() - written);
    if (take > 0 && player_.Write(samples.data() + written, take * 2)) written += take;
    return take > 0;
  };
  // Reports the words whose first sample has been heard.
  const auto report = [&](bool all) {
    const uint64_t heard = all ? UINT64_MAX : player_.HeardBytes() / 2;
    while (nextWord < words.size() && uint64_t(words[nextWord].sample) <= heard && Live()) {
      if (events_.word) events_.word(words[nextWord]);
      ++nextWord;
    }
  };

  // The device opens while the first words are synthesised, at the rate the
  // last sentence was spoken at (a parked stream of that rate is taken again);
  // a voice of another rate opens it again.
  player_.SetFormat(1, openRate_);
  player_.SetBufferCount(kBufferCount);
  opened = player_.Open();
  const SpeechSink sink = [&](const SpeechChunk& chunk) {
    if (!Live()) return false;
    const auto chunkRate = static_cast<uint32_t>(chunk.sample_rate);
    if (samples.empty() && (!opened || player_.sampleRate() != chunkRate)) {
      player_.Abort();
      player_.SetFormat(1, chunkRate);
      opened = player_.Open();
      openRate_ = chunkRate;
    }
    if (!opened) return false;
    samples.insert(samples.end(), chunk.samples.begin(), chunk.samples.end());
    words.insert(words.end(), chunk.words.begin(), chunk.words.end());
    feed();
    report(false);
    return Live();
  };
  if (ready) {
    sink(SpeechChunk{ready->audio.sample_rate, ready->audio.samples, ready->audio.words});
  } else {
    engine_.Synthesize(text, voice, rate, volume, sink, nullptr);
    Synthesised();
  }

  if (opened && Live()) {
    while (written < samples.size() && Live()) {
      if (!feed()) std::this_thread::sleep_for(kPollStep);
      report(false);
    }
    player_.Flush();
    while (player_.QueuedCount() > 0 && Live()) {
      std::this_thread::sleep_for(kPollStep);
      report(false);
    }
    // Ended when the last sample will have been heard by the time a sample
    // written now is: what follows is then heard without a gap.
    player_.Finish(std::chrono::steady_clock::now() + kMaxTail, [&] {
      report(false);
      return Live();
    });
  } else {
    player_.Abort();
  }
  if (!Live()) return;
  report(true);
  if (events_.end) events_.end(opened && !samples.empty() ? SpeechEnd::kSpoken : SpeechEnd::kNotSpoken);
}

}  // namespace aurisona
