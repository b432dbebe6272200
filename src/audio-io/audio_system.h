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

// Serialises opening and closing of PortAudio streams across the process.
std::mutex& StreamSetupLock();

// Raises the calling thread to the lowest real-time priority when the system
// permits it (a device callback, so that a busy machine does not starve it);
// otherwise leaves it as it is. Returns whether it was raised.
bool RaiseToRealtimePriority();

}  // namespace aurisona
