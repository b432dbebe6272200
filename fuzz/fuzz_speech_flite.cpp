// Fuzzes Flite synthesis of arbitrary sentences (UTF-16LE input, at most 200 units): the
// text Flite is given is one byte per unit, the engine never ends the process, and every
// word boundary lies inside the text and the audio, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/speech/ascii_text.h"
#include "core/speech/engines/flite/flite_engine.h"
#include "core/util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = aurisona::FromUtf16Le(std::string_view(reinterpret_cast<const char*>(data), size));
  if (text.size() > 200) text.resize(200);
  const std::string input = aurisona::SpeechAsciiText(text);
  if (input.size() != text.size()) std::abort();
  for (const char c : input) {
    if (c < 0x20 || c > 0x7E) std::abort();
  }
  static aurisona::FliteSpeechEngine engine;
  aurisona::SpeechAudio audio;
  const aurisona::SynthesisStatus status = engine.SynthesizeAll(text, u"美语男声", 0, 100, &audio);
  if (status == aurisona::SynthesisStatus::kOk && audio.words.empty()) std::abort();
  int64_t last = -1;
  int end = 0;
  for (const aurisona::WordBoundary& w : audio.words) {
    if (w.offset < end || w.length <= 0 || static_cast<size_t>(w.offset + w.length) > text.size()) std::abort();
    if (w.sample < last || static_cast<size_t>(w.sample) > audio.samples.size()) std::abort();
    end = w.offset + w.length;
    last = w.sample;
  }
  return 0;
}
