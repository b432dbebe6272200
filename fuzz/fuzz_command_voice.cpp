// Fuzzes the parsers of command voices: a voices/NAME.ini description and the WAV a
// command writes. A description accepted is complete; decoded audio is never more
// samples than the bytes could hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/speech/engines/command/command_voice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const std::optional<aurisona::CommandVoice> voice = aurisona::ParseCommandVoice(bytes, u"stem", &error);
  if (voice.has_value() == !error.empty()) std::abort();
  if (voice && (voice->command.empty() || voice->voice.name.empty() || voice->voice.sample_rate < 8000 ||
                voice->voice.sample_rate > 192000 || voice->timeout_seconds < 1 || voice->timeout_seconds > 600)) {
    std::abort();
  }
  if (voice) (void)aurisona::ExpandVoiceCommand(voice->command, static_cast<int>(size % 21) - 10);
  std::vector<int16_t> samples;
  int rate = 0;
  if (aurisona::DecodeWav(bytes, &samples, &rate, &error) && samples.size() > size) std::abort();
  return 0;
}
