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

SpeechPlayer::SpeechPlayer(SpeechEngine& engine, SpeechEvents events)
    : engine_(engine), events_(std::move(events)) {}

SpeechPlayer::~SpeechPlayer() { Stop(); }

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
  speaking_ = false;
}

bool SpeechPlayer::Speak(std::u16string_view text, std::u16string_view voiceName, int rate, int volume) {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) return false;
  Stop();
  speaking_ = false;
  if (text.empty()) return everSpoke_;
  text_.assign(text);
  speaking_ = true;
  everSpoke_ = true;
  thread_ = std::thread(&SpeechPlayer::Run, this, std::u16string(text), std::u16string(voiceName), rate, volume);
  return true;
}

void SpeechPlayer::Run(std::u16string text, std::u16string voice, int rate, int volume) {
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
  engine_.Synthesize(text, voice, rate, volume, sink, nullptr);

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
    const auto deadline = std::chrono::steady_clock::now() + kMaxTail;
    // Ended when the last sample will have been heard by the time a sample
    // written now is: what follows is then heard without a gap.
    while (player_.HeardBytes(player_.OutputLatency()) / 2 < samples.size() && Live() &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(WavePlayer::kHeardPollStep);
      report(false);
    }
  }
  // Cut off when the wait above gave up (a stream that broke off); Close
  // would only wait again.
  if (Live() && player_.QueuedCount() == 0 && player_.HeardBytes(player_.OutputLatency()) / 2 >= samples.size()) {
    player_.Close();
  } else {
    player_.Abort();
  }
  if (!Live()) return;
  report(true);
  if (events_.end) events_.end(opened && !samples.empty() ? SpeechEnd::kSpoken : SpeechEnd::kNotSpoken);
}

}  // namespace aurisona
