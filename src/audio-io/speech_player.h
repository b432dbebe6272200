// Speaking a sentence aloud: synthesised by a SpeechEngine on a thread of its
// own and played through a WavePlayer. Speak returns at once.
//
// Each word is reported when the device's playback position reaches it, that
// is when it is heard, and the end of the sentence once, after its last sample
// has been heard. Events are called on the speech thread; a window turns them
// into queued calls on its own thread. They must not call Speak, Stop or
// ReleaseVoice of the same player directly. Nothing is reported after Stop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "audio-io/wave_player.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

enum class SpeechEnd {
  kSpoken,     // the sentence has been heard to its end
  kNotSpoken,  // no synthesiser, nothing to say, or no output device
};

struct SpeechEvents {
  // A word of the spoken text starts being heard.
  std::function<void(const WordBoundary& word)> word;
  // The sentence has ended; called once per Speak with a text.
  std::function<void(SpeechEnd end)> end;
};

class SpeechPlayer {
 public:
  // Buffers of the speech device: about 1.9 s of 22050 Hz mono ahead.
  static constexpr int kBufferCount = 10;
  static constexpr uint32_t kUsualSampleRate = 22050;

  SpeechPlayer(SpeechEngine& engine, SpeechEvents events);
  ~SpeechPlayer();  // stops speech
  SpeechPlayer(const SpeechPlayer&) = delete;
  SpeechPlayer& operator=(const SpeechPlayer&) = delete;

  // Stops any speech, then speaks `text` aloud with the voice, rate (-10..10)
  // and volume (10..100) given, and returns at once. An empty text only stops
  // speech. Returns false when the text is empty and no sentence was ever
  // spoken, true otherwise (failures later are reported as SpeechEnd::kNotSpoken).
  bool Speak(std::u16string_view text, std::u16string_view voiceName, int rate, int volume);

  // Synthesises a sentence that is to be spoken next (the next record of a
  // preview) while something else plays, so that its Speak with the same
  // text, voice, rate and volume is heard at once instead of after its
  // synthesis. It waits for the sentence being synthesised now; a Speak of
  // other words, ReleaseVoice or another Prefetch discards it.
  void Prefetch(std::u16string_view text, std::u16string_view voiceName, int rate, int volume);

  // Silences speech at once; returns when the speech thread has released the
  // device. No event is reported after it returns.
  void Stop();

  // Ends speaking: stops, discards a prefetched sentence, and clears the
  // speaking flag.
  void ReleaseVoice();

  // From a Speak with a text until the next Speak or ReleaseVoice; the end of a
  // sentence leaves it set.
  bool IsSpeaking() const { return speaking_; }

  // The text of the current sentence (what word offsets refer to).
  const std::u16string& spokenText() const { return text_; }

 private:
  struct Ahead;
  // Speaks on the speech thread: `ready` holds the sentence's audio when it was
  // prefetched, else the engine synthesises it.
  void Run(std::u16string text, std::u16string voice, int rate, int volume, std::shared_ptr<Ahead> ready);
  void DropPrefetch();
  void Synthesised();
  bool Live() const { return !stop_.load(); }

  SpeechEngine& engine_;
  SpeechEvents events_;
  WavePlayer player_;
  std::u16string text_;
  bool speaking_ = false;
  bool everSpoke_ = false;
  uint32_t openRate_ = kUsualSampleRate;  // speech thread only
  std::atomic<bool> stop_{false};
  std::thread thread_;

  // The prefetched sentence, and its thread (started and joined by the owner).
  std::shared_ptr<Ahead> ahead_;
  std::thread aheadThread_;
  std::mutex engineTurn_;               // guards synthesising_
  std::condition_variable engineFree_;
  bool synthesising_ = false;           // the speech thread has the engine
};

}  // namespace aurisona
