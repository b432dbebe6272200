#include "core/audio/piece_encoder.h"

#include <lame/lame.h>

#include <cstdarg>
#include <mutex>
#include <new>
#include <shared_mutex>

namespace aurisona {

namespace {

// lame_init and lame_init_params (re)fill process-wide tables of libmp3lame
// (the log table and the quantizer's power tables) that encoding reads. They
// are written with the same values every time, but to keep that free of data
// races, set-up takes this lock exclusively and encoding shares it.
std::shared_mutex& LameTablesLock() {
  static std::shared_mutex lock;
  return lock;
}

void DiscardLameMessage(const char*, va_list) {}

lame_global_flags* Lame(void* handle) { return static_cast<lame_global_flags*>(handle); }

}  // namespace

bool MemorySink::Append(const uint8_t* data, size_t size) {
  try {
    bytes_.insert(bytes_.end(), data, data + size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

PieceEncoder::PieceEncoder(ByteSink& sink) : sink_(sink) {}

PieceEncoder::~PieceEncoder() { Release(); }

void PieceEncoder::Release() {
  if (lame_ != nullptr) {
    lame_close(Lame(lame_));
    lame_ = nullptr;
  }
  delete[] output_;
  output_ = nullptr;
  wroteSamples_ = false;
}

SinkStatus PieceEncoder::Open(uint32_t sampleRate) {
  Release();
  if (sampleRate < kMinPieceSampleRate || sampleRate > kMaxPieceSampleRate) {
    return SinkStatus::Unsupported;
  }
  output_ = new (std::nothrow) uint8_t[kOutputBufferBytes];
  if (output_ == nullptr) return SinkStatus::OutOfMemory;

  std::unique_lock lock(LameTablesLock());
  lame_global_flags* gfp = lame_init();
  if (gfp == nullptr) {
    lock.unlock();
    Release();
    return SinkStatus::OutOfMemory;
  }
  lame_ = gfp;
  lame_set_errorf(gfp, DiscardLameMessage);
  lame_set_debugf(gfp, DiscardLameMessage);
  lame_set_msgf(gfp, DiscardLameMessage);
  lame_set_in_samplerate(gfp, static_cast<int>(sampleRate));
  lame_set_out_samplerate(gfp, static_cast<int>(kOutputSampleRate));
  lame_set_num_channels(gfp, 2);
  lame_set_mode(gfp, JOINT_STEREO);
  lame_set_VBR(gfp, vbr_off);
  lame_set_brate(gfp, 128);
  lame_set_quality(gfp, 0);
  lame_set_original(gfp, 1);
  lame_set_copyright(gfp, 0);
  lame_set_extension(gfp, 0);
  lame_set_error_protection(gfp, 0);
  lame_set_emphasis(gfp, 0);
  lame_set_bWriteVbrTag(gfp, 0);
  lame_set_write_id3tag_automatic(gfp, 0);
  lame_set_disable_reservoir(gfp, 1);
  const int result = lame_init_params(gfp);
  lock.unlock();
  if (result < 0) {
    Release();
    return SinkStatus::EncoderFailed;
  }
  return SinkStatus::Ok;
}

SinkStatus PieceEncoder::Write(const int16_t* samples, size_t count) {
  if (lame_ == nullptr) return SinkStatus::EncoderFailed;
  if (count > kChunkSamples) count = kChunkSamples;
  const int frames = static_cast<int>(count / 2);
  if (frames == 0) return SinkStatus::Ok;
  int produced;
  {
    std::shared_lock lock(LameTablesLock());
    // LAME's interface takes a non-const buffer but does not change it.
    produced = lame_encode_buffer_interleaved(Lame(lame_), const_cast<int16_t*>(samples), frames,
                                              output_, static_cast<int>(kOutputBufferBytes));
  }
  if (produced == -2) return SinkStatus::OutOfMemory;
  if (produced < 0) return SinkStatus::EncoderFailed;
  wroteSamples_ = true;
  if (produced > 0 && !sink_.Append(output_, static_cast<size_t>(produced))) {
    return SinkStatus::WriteFailed;
  }
  return SinkStatus::Ok;
}

SinkStatus PieceEncoder::Close() {
  if (lame_ == nullptr) return SinkStatus::EncoderFailed;
  SinkStatus status = SinkStatus::Ok;
  if (wroteSamples_) {
    int produced;
    {
      std::shared_lock lock(LameTablesLock());
      produced = lame_encode_flush(Lame(lame_), output_, static_cast<int>(kOutputBufferBytes));
    }
    if (produced < 0) {
      status = SinkStatus::EncoderFailed;
    } else if (produced > 0 && !sink_.Append(output_, static_cast<size_t>(produced))) {
      status = SinkStatus::WriteFailed;
    }
  }
  Release();
  return status;
}

}  // namespace aurisona
