// Fuzzes the messages between the program and its speech workers. A message accepted is
// within the limits and encodes back to the very same bytes; the words of a response lie
// inside the text and the audio, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/speech/worker_protocol.h"

namespace protocol = aurisona::speech_worker;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> message(data, size);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (const auto request = protocol::ParseRequest(message)) {
    if (request->rate < -10 || request->rate > 10 || request->volume < 10 || request->volume > 100 ||
        request->text.size() > protocol::kMaxTextUnits || protocol::EncodeRequest(*request) != bytes) {
      std::abort();
    }
  }
  const size_t text_units = size % 97;
  if (const auto response = protocol::ParseResponse(message, text_units)) {
    int64_t last = 0;
    for (const aurisona::WordBoundary& w : response->words) {
      if (w.offset < 0 || w.length < 0 || static_cast<size_t>(w.offset + w.length) > text_units || w.sample < last ||
          w.sample > static_cast<int64_t>(response->samples.size())) {
        std::abort();
      }
      last = w.sample;
    }
    if (protocol::EncodeResponse(*response) != bytes) std::abort();
  }
  return 0;
}
