// Where a piece's audio goes: a PcmSink takes 16-bit interleaved stereo PCM;
// the PieceEncoder is the PcmSink that encodes it with LAME into MP3 frames
// (MPEG-1 Layer III, 44100 Hz, joint stereo, CBR 128 kbit/s, original flag,
// no CRC, no VBR/Info frame, bit reservoir off) and appends them to a ByteSink.
//
// Each piece is a complete MP3 stream that begins and ends on a frame
// boundary, so pieces can be encoded independently (also on several threads
// at once, each with its own PieceEncoder) and concatenated in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace aurisona {

// Receives encoded bytes. Append returns false on a write failure.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Append(const uint8_t* data, size_t size) = 0;
};

// Collects the bytes in memory. Append fails only when memory runs out.
class MemorySink final : public ByteSink {
 public:
  bool Append(const uint8_t* data, size_t size) override;
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

enum class SinkStatus {
  Ok,
  Unsupported,    // Open: the sample rate cannot be taken
  EncoderFailed,  // the encoder could not be set up or refused the data
  OutOfMemory,    // a buffer could not be allocated
  WriteFailed,    // the ByteSink reported a write failure
};

// Takes one piece of 16-bit interleaved stereo PCM.
// Call order: Open, Write any number of times, Close.
class PcmSink {
 public:
  virtual ~PcmSink() = default;
  virtual SinkStatus Open(uint32_t sampleRate) = 0;
  // Samples (both channels) one Write takes at most; even, valid after Open.
  virtual size_t ChunkCapacity() const = 0;
  // `count` samples, at most ChunkCapacity(); an odd last sample is ignored.
  virtual SinkStatus Write(const int16_t* samples, size_t count) = 0;
  // Ends the piece. A piece that never had a successful Write adds nothing.
  virtual SinkStatus Close() = 0;
};

// Sample rates a piece may have (the encoder resamples them to 44100 Hz).
inline constexpr uint32_t kMinPieceSampleRate = 8000;
inline constexpr uint32_t kMaxPieceSampleRate = 192000;

class PieceEncoder final : public PcmSink {
 public:
  static constexpr size_t kChunkSamples = 2304;      // 1152 stereo frames
  static constexpr size_t kOutputBufferBytes = 8640;  // 1.25 * 1152 + 7200
  static constexpr uint32_t kOutputSampleRate = 44100;

  explicit PieceEncoder(ByteSink& sink);
  ~PieceEncoder() override;  // releases an open stream without output
  PieceEncoder(const PieceEncoder&) = delete;
  PieceEncoder& operator=(const PieceEncoder&) = delete;

  // Unsupported for a rate outside kMinPieceSampleRate..kMaxPieceSampleRate,
  // EncoderFailed when LAME refuses the configuration, OutOfMemory when a
  // buffer or the LAME context cannot be allocated. Appends nothing.
  SinkStatus Open(uint32_t sampleRate) override;
  size_t ChunkCapacity() const override { return kChunkSamples; }
  SinkStatus Write(const int16_t* samples, size_t count) override;
  // Flushes the encoder (when anything was encoded), appends the last frames
  // and releases the stream.
  SinkStatus Close() override;

 private:
  void Release();

  ByteSink& sink_;
  void* lame_ = nullptr;  // lame_global_flags*
  uint8_t* output_ = nullptr;
  bool wroteSamples_ = false;
};

}  // namespace aurisona
