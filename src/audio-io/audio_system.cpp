#include "audio-io/audio_system.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace aurisona {
namespace {

void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// Points standard error at /dev/null for the lifetime of the object.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

std::mutex gMutex;
bool gReady = false;

}  // namespace

bool EnsureAudioSystem() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gReady) return true;
  snd_lib_error_set_handler(DropAlsaMessage);
  setenv("JACK_NO_START_SERVER", "1", 0);
  {
    QuietStderr quiet;
    gReady = Pa_Initialize() == paNoError;
  }
  return gReady;
}

}  // namespace aurisona
