// Internal to the audio sources: the PCM buffer of one piece and its way to
// the PcmSink (fade, mono widening, gain, write), with the mapping of sink
// statuses to the piece's RenderResult.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/audio/render.h"

namespace aurisona {

struct PieceShape {
  uint32_t channels = 2;    // 1 = mono, widened before writing; 2 = stereo
  uint64_t totalBytes = 0;  // T: bytes of source PCM the piece takes
  uint32_t fadeLength = 0;  // F in source samples, 0 = no fade
  int32_t gainPercent = 100;
};

class PieceOutput {
 public:
  explicit PieceOutput(PcmSink& sink) : sink_(sink) {}
  PieceOutput(const PieceOutput&) = delete;
  PieceOutput& operator=(const PieceOutput&) = delete;

  // Opens the sink at `sampleRate` and allocates the PCM buffer. On failure
  // returns the piece's result (the sink is left unopened or unused).
  std::optional<RenderResult> Open(uint32_t sampleRate);

  int16_t* buffer() { return buffer_.get(); }
  // Samples the buffer holds (C, even).
  size_t capacity() const { return capacity_; }
  // Source samples that fit one chunk: C / 2 for mono, C for stereo.
  size_t SourceRoom(uint32_t channels) const { return channels == 1 ? capacity_ / 2 : capacity_; }

  // Processes `sourceSamples` samples at the start of the buffer (source
  // layout, clip index position / 2) and writes them. Advances `position` by
  // their bytes. False: the piece stops here.
  bool Emit(const PieceShape& shape, size_t sourceSamples, uint64_t& position);
  // Writes `count` stereo samples of the buffer unchanged. False: stop.
  bool Write(size_t count);

  // Closes the sink and gives the piece's result.
  RenderResult Finish();

 private:
  PcmSink& sink_;
  std::unique_ptr<int16_t[]> buffer_;
  size_t capacity_ = 0;
  bool opened_ = false;
  bool wrote_ = false;
  std::optional<RenderResult> failure_;  // ends the job: OutOfMemory or WriteFailed
};

// A piece's gain group and whether the music fade applies to it.
bool FadeApplies(const PieceSettings& settings, PieceKind kind);
// Whether a piece loses its DC and infrasound: clips and recordings whose
// gain is measured, before it is.
bool RemovesInfrasound(const PieceSettings& settings, PieceKind kind);

}  // namespace aurisona
