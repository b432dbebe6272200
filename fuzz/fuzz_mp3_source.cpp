// Arbitrary bytes as an MP3 piece source, rendered through the encoder into
// memory; the same bytes also go through the frame-header scanner.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/audio/mp3_frame.h"
#include "core/audio/render.h"

namespace {

std::string TempPath() {
  static const std::string path = "/tmp/fuzz_mp3_source_" + std::to_string(getpid()) + ".mp3";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace aurisona;
  const uint8_t variant = size > 0 ? data[0] : 0;
  const uint8_t* body = size > 0 ? data + 1 : data;
  const size_t bodySize = size > 0 ? size - 1 : 0;

  const Mp3FrameScan scan = ScanMp3Frames(body, bodySize);
  if (scan.bytesCovered > bodySize) std::abort();
  if (!scan.frames.empty()) IsXingOrInfoFrame(scan.frames[0], body, bodySize);

  const std::string path = TempPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(body, 1, bodySize, file);
  std::fclose(file);

  PieceSettings settings;
  settings.music = {(variant & 1) != 0, (variant & 2) != 0, 1 + (variant >> 4) * 60};
  settings.musicFade = (variant & 4) != 0;
  settings.fadeSeconds = 1 + (variant >> 6);
  const int32_t playTime = (variant & 8) != 0 ? 1 : 0;
  MemorySink sink;
  const RenderResult result = RenderMp3Source(path, PieceKind::Music, playTime, settings, sink);
  if (result != RenderResult::Rendered && !sink.bytes().empty()) std::abort();
  std::remove(path.c_str());
  return 0;
}
