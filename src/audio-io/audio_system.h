// PortAudio for the whole process: initialised once, on first use, and kept until
// the process ends.
//
// Probing the host APIs makes ALSA and JACK print diagnostics on standard error;
// none of them reaches the user's terminal: ALSA's go to a handler that drops them,
// standard error is pointed at /dev/null while PortAudio probes, and JACK is told
// not to start a server of its own.
//
// The output is kept awake between the sounds played one after another. A sound
// server may render far ahead while no stream plays (an ordinary PulseAudio null
// sink renders two seconds of silence ahead when idle, and a stream that connects
// then waits behind that silence: every item of a preview would start up to two
// seconds late). While the output is held, and for a few seconds after the last
// hold ends, one silent stream stays connected, so the server keeps its short
// latency and each new stream is heard at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

namespace aurisona {

// True when PortAudio is ready. The first call probes the devices (about 0.15 s);
// later calls return at once. A failed initialisation is tried again next time.
bool EnsureAudioSystem();

// The silent stream that keeps the output awake: opened in the background on
// the first hold (and tried again at later holds while it is not open), closed
// once no hold has been taken for kOutputLinger.
inline constexpr std::chrono::milliseconds kOutputLinger{5000};
void HoldSoundOutput();
void ReleaseSoundOutput();
// Whether the silent stream is open now (for tests).
bool SoundOutputKeptAwake();

class SoundOutputHold {
 public:
  SoundOutputHold() { HoldSoundOutput(); }
  ~SoundOutputHold() { ReleaseSoundOutput(); }
  SoundOutputHold(const SoundOutputHold&) = delete;
  SoundOutputHold& operator=(const SoundOutputHold&) = delete;
};

// A player's stream that stays connected after its sound has been handed over,
// playing silence: the next sound of the same format goes into it at once,
// without the time a new stream takes to open and to be heard. Parked streams
// are kept as long as the silent stream above (and at most kParkedIdle unused),
// kMaxParkedStreams of them, the oldest let go first.
class ParkedStream {
 public:
  virtual ~ParkedStream() = default;  // lets the stream go, once what it holds has been heard
  virtual int channels() const = 0;
  virtual uint32_t sampleRate() const = 0;
  // False once the stream has broken off.
  virtual bool Running() const = 0;
  // True while sound given to it has yet to be heard.
  virtual bool Sounding() const = 0;
  // Lets the stream go at once when it is destroyed, without playing out.
  virtual void Kill() = 0;
};
inline constexpr size_t kMaxParkedStreams = 4;
inline constexpr std::chrono::seconds kParkedIdle{120};
void ParkStream(std::unique_ptr<ParkedStream> stream);
// The newest parked stream of this format that still runs, or null.
std::unique_ptr<ParkedStream> TakeParkedStream(int channels, uint32_t sampleRate);
// Parked streams now (for tests).
size_t ParkedStreamCount();
// Silences at once what parked streams still hold (the end of the last sound,
// reported ended a moment before it is heard): a user's Stop.
void SilenceParkedStreams();

// Serialises opening and closing of PortAudio streams across the process.
std::mutex& StreamSetupLock();

// Raises the calling thread to the lowest real-time priority when the system
// permits it (a device callback, so that a busy machine does not starve it);
// otherwise leaves it as it is. Returns whether it was raised.
bool RaiseToRealtimePriority();

}  // namespace aurisona
