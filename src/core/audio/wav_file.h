// Opening a WAV file for libsndfile: regular files only, and a header whose
// sizes were never completed (a recording that was interrupted) is read with
// the data that is there.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace aurisona {

class WavFile {
 public:
  // Opens `path` when it is a regular file that libsndfile can read. A RIFF or
  // data chunk size of 0, or one larger than the file, is taken as "up to the
  // end of the file" (what is there is read). Nothing when it cannot be opened.
  static std::unique_ptr<WavFile> Open(const std::filesystem::path& path, SF_INFO* info);
  ~WavFile();
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  SNDFILE* get() const { return file_; }

  struct Source;  // the file as libsndfile sees it

 private:
  WavFile() = default;
  std::unique_ptr<Source> source_;
  SNDFILE* file_ = nullptr;
};

// The channels of a WAV file as one (mono) or two: a file with more than two
// is mixed down, every channel in (left and right channels to their side, the
// others to both at -3 dB, scaled so that channels of unrelated sound keep
// their loudness together), after its channel map or else the WAVE order.
class ChannelMixer {
 public:
  ChannelMixer(SNDFILE* file, uint32_t channels);
  uint32_t keep() const { return channels_ == 1 ? 1 : 2; }
  // `frames` interleaved frames of the file's channels into keep() channels.
  void Mix(const float* in, size_t frames, float* out) const;

 private:
  uint32_t channels_;
  std::vector<float> left_;
  std::vector<float> right_;
};

}  // namespace aurisona
