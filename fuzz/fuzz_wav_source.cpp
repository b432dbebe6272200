// Arbitrary bytes as a WAV piece source, rendered through the encoder into memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/audio/render.h"

namespace {

std::string TempPath() {
  static const std::string path = "/tmp/fuzz_wav_source_" + std::to_string(getpid()) + ".wav";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace aurisona;
  const uint8_t variant = size > 0 ? data[0] : 0;
  const std::string path = TempPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  if (size > 1) std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);

  PieceSettings settings;
  settings.text = {(variant & 1) != 0, (variant & 2) != 0, 1 + (variant >> 4) * 60};
  settings.music = settings.text;
  settings.recording = settings.text;
  settings.musicFade = (variant & 4) != 0;
  settings.fadeSeconds = 1 + (variant >> 5);
  const PieceKind kind = (variant & 8) != 0 ? PieceKind::Music : PieceKind::Speech;
  MemorySink sink;
  const RenderResult result = RenderWavSource(path, kind, settings, sink);
  if (result != RenderResult::Rendered && !sink.bytes().empty()) std::abort();
  std::remove(path.c_str());
  return 0;
}
