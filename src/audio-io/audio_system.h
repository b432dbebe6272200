// PortAudio for the whole process: initialised once, on first use, and kept until
// the process ends.
//
// Probing the host APIs makes ALSA and JACK print diagnostics on standard error;
// none of them reaches the user's terminal: ALSA's go to a handler that drops them,
// standard error is pointed at /dev/null while PortAudio probes, and JACK is told
// not to start a server of its own.
#pragma once

namespace aurisona {

// True when PortAudio is ready. The first call probes the devices (about 0.15 s);
// later calls return at once. A failed initialisation is tried again next time.
bool EnsureAudioSystem();

}  // namespace aurisona
